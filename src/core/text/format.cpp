#include "core/text/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace sorvantix {

std::string format(const char* fmt, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(copy);
        return out;
    }
    if (static_cast<size_t>(n) < sizeof buffer) {
        out.assign(buffer, static_cast<size_t>(n));
    } else {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, copy);
        out.resize(static_cast<size_t>(n));
    }
    va_end(copy);
    return out;
}

namespace {

std::string padLeftTo(const char* begin, const char* end, int width)
{
    const size_t length = static_cast<size_t>(end - begin);
    const size_t total = std::max(length, width > 0 ? static_cast<size_t>(width) : size_t{0});
    std::string out(total, ' ');
    std::memcpy(out.data() + (total - length), begin, length);
    return out;
}

} // namespace

std::string fixed(double value, int width, int precision)
{
    // Texts to_chars and printf spell differently stay with printf.
    if (!std::isfinite(value) || precision < 0 || precision > 20 || std::fabs(value) >= 1e30)
        return format("%*.*f", width, precision, value);
    char buffer[64];
    char* end = buffer;
    // Most grid values: scaled to an integer below 1e9, and far enough from a half that
    // the scaling's rounding error (below 1e-7 there) cannot move the rounded result.
    // Everything else, ties included, goes through to_chars, which rounds exactly.
    static constexpr double kPowers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
    const double scaled =
        precision <= 6 ? std::fabs(value) * kPowers[precision] : std::numeric_limits<double>::max();
    const double fraction = scaled - std::floor(scaled);
    if (scaled < 1e9 && std::fabs(fraction - 0.5) > 1e-6) {
        auto n = static_cast<unsigned>(scaled + 0.5);
        char digits[16];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n > 0 || count <= precision);
        if (std::signbit(value))
            *end++ = '-';
        for (int i = count - 1; i >= 0; --i) {
            *end++ = digits[i];
            if (i == precision && precision > 0)
                *end++ = '.';
        }
        return padLeftTo(buffer, end, width);
    }
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (result.ec != std::errc())
        return format("%*.*f", width, precision, value);
    return padLeftTo(buffer, result.ptr, width);
}

std::string padded(int value, int width)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return padLeftTo(buffer, result.ptr, width);
}

std::string twoDigits(int value)
{
    return format("%02d", value);
}

} // namespace sorvantix
