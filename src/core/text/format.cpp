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
    // Most grid values: scaled to an integer below 1e9, and far enough from a half that
    // the scaling's rounding error (below 1e-7 there) cannot move the rounded result.
    // Everything else, ties included, goes through to_chars, which rounds exactly.
    static constexpr double kPowers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
    const double scaled =
        precision <= 6 ? std::fabs(value) * kPowers[precision] : std::numeric_limits<double>::max();
    const double fraction = scaled - std::floor(scaled);
    if (scaled < 1e9 && std::fabs(fraction - 0.5) > 1e-6) {
        // Right to left into the end of the buffer, two digits at a time.
        static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324"
                                         "25262728293031323334353637383940414243444546474849"
                                         "50515253545556575859606162636465666768697071727374"
                                         "75767778798081828384858687888990919293949596979899";
        auto n = static_cast<unsigned>(scaled + 0.5);
        char* p = buffer + sizeof buffer;
        int digits = 0;
        auto put = [&](char c) {
            if (digits == precision && precision > 0)
                *--p = '.';
            *--p = c;
            ++digits;
        };
        while (n >= 100) {
            const unsigned two = n % 100;
            n /= 100;
            put(kPairs[2 * two + 1]);
            put(kPairs[2 * two]);
        }
        if (n >= 10) {
            put(kPairs[2 * n + 1]);
            put(kPairs[2 * n]);
        } else {
            put(static_cast<char>('0' + n));
        }
        while (digits <= precision)
            put('0');
        if (std::signbit(value))
            *--p = '-';
        return padLeftTo(p, buffer + sizeof buffer, width);
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
