#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace sorvantix::feed {

// Seeded pseudo-random numbers for the feed generator: xoshiro256** seeded through
// splitmix64. Only integer arithmetic and basic floating-point operations are used
// (no std distributions, no transcendental functions), so a seed gives the same
// numbers with every compiler and standard library.
//
// Each part of the feed draws from its own stream (`FeedRng::stream`), keyed by the
// seed, a purpose and up to two numbers (a date, a race key). A race therefore comes
// out the same whatever range of days it is generated in.
class FeedRng
{
public:
    explicit FeedRng(std::uint64_t seed);

    // An independent stream for `purpose` and the keys `a`, `b`.
    static FeedRng stream(std::uint64_t seed, std::string_view purpose, std::uint64_t a = 0,
                          std::uint64_t b = 0);

    std::uint64_t next();

    // Uniform in [0, 1), 53 bits.
    double uniform();

    // Uniform integer in [0, n); 0 when n <= 1.
    int below(int n);

    // Uniform integer in [lo, hi] (lo <= hi).
    int range(int lo, int hi);

    // True with probability p.
    bool chance(double p);

    // Approximately standard normal (sum of twelve uniforms minus six: mean 0,
    // standard deviation 1, bounded by +-6).
    double normal();
    double normal(double mean, double sd) { return mean + sd * normal(); }

    // Index drawn with the given non-negative weights (the last index when all are 0).
    int weighted(std::span<const double> weights);

    // Rounds x >= 0 up or down at random so the expected value is x.
    long long roundRandom(double x);

private:
    std::uint64_t m_s[4];
};

} // namespace sorvantix::feed
