#include "feed/feed_rng.h"

#include <cmath>

namespace sorvantix::feed {
namespace {

std::uint64_t splitmix64(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}

// FNV-1a: a stable hash of the purpose text (std::hash may differ between libraries).
std::uint64_t hashText(std::string_view text)
{
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001B3ULL;
    }
    return h;
}

} // namespace

FeedRng::FeedRng(std::uint64_t seed)
{
    std::uint64_t state = seed;
    for (auto& s : m_s)
        s = splitmix64(state);
}

FeedRng FeedRng::stream(std::uint64_t seed, std::string_view purpose, std::uint64_t a,
                        std::uint64_t b)
{
    std::uint64_t state = seed;
    std::uint64_t mixed = splitmix64(state);
    state = mixed ^ hashText(purpose);
    mixed = splitmix64(state);
    state = mixed ^ a;
    mixed = splitmix64(state);
    state = mixed ^ b;
    return FeedRng(splitmix64(state));
}

std::uint64_t FeedRng::next()
{
    const std::uint64_t result = rotl(m_s[1] * 5, 7) * 9;
    const std::uint64_t t = m_s[1] << 17;
    m_s[2] ^= m_s[0];
    m_s[3] ^= m_s[1];
    m_s[1] ^= m_s[2];
    m_s[0] ^= m_s[3];
    m_s[2] ^= t;
    m_s[3] = rotl(m_s[3], 45);
    return result;
}

double FeedRng::uniform()
{
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

int FeedRng::below(int n)
{
    if (n <= 1)
        return 0;
    // Rejection keeps every value equally likely.
    const std::uint64_t bound = static_cast<std::uint64_t>(n);
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    std::uint64_t x;
    do
        x = next();
    while (x >= limit);
    return static_cast<int>(x % bound);
}

int FeedRng::range(int lo, int hi)
{
    return lo + below(hi - lo + 1);
}

bool FeedRng::chance(double p)
{
    return uniform() < p;
}

double FeedRng::normal()
{
    double sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += uniform();
    return sum - 6.0;
}

int FeedRng::weighted(std::span<const double> weights)
{
    double total = 0;
    for (double w : weights)
        total += w;
    double x = uniform() * total;
    for (size_t i = 0; i < weights.size(); ++i) {
        if (x < weights[i])
            return static_cast<int>(i);
        x -= weights[i];
    }
    return weights.empty() ? 0 : static_cast<int>(weights.size() - 1);
}

long long FeedRng::roundRandom(double x)
{
    if (!(x > 0))
        return 0;
    const double whole = std::floor(x);
    return static_cast<long long>(whole) + (uniform() < x - whole ? 1 : 0);
}

} // namespace sorvantix::feed
