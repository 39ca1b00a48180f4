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

void assignPadded(std::string& out, const char* begin, const char* end, int width)
{
    const size_t length = static_cast<size_t>(end - begin);
    const size_t total = std::max(length, width > 0 ? static_cast<size_t>(width) : size_t{0});
    out.resize(total);
    std::memset(out.data(), ' ', total - length);
    std::memcpy(out.data() + (total - length), begin, length);
}

} // namespace

void assignFixed(std::string& out, double value, int width, int precision)
{
    // Most grid values: below 1e9 once scaled to an integer, and far enough from a half
    // that the scaling's rounding error (below 1e-7 there) cannot move the rounded
    // result. NaN and infinities fail the first test. Everything else, ties included,
    // goes through to_chars, which rounds exactly.
    static constexpr double kPowers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
    char buffer[64];
    char* const end = buffer + sizeof buffer;
    const double magnitude = std::fabs(value);
    if (precision >= 0 && precision <= 6 && width <= 32 && magnitude < 1e9) {
        const double scaled = magnitude * kPowers[precision];
        const auto whole = static_cast<unsigned>(std::min(scaled, 4e9));
        const double fraction = scaled - whole;
        if (scaled < 1e9 && std::fabs(fraction - 0.5) > 1e-6) {
            // Right to left: the decimals, the point, the rest, the sign, the padding.
            unsigned n = whole + (fraction > 0.5 ? 1 : 0);
            char* p = end;
            for (int i = 0; i < precision; ++i, n /= 10)
                *--p = static_cast<char>('0' + n % 10);
            if (precision > 0)
                *--p = '.';
            do {
                *--p = static_cast<char>('0' + n % 10);
                n /= 10;
            } while (n != 0);
            if (std::signbit(value))
                *--p = '-';
            while (end - p < width)
                *--p = ' ';
            out.clear(); // with append(), cheaper than assign() on short texts
            out.append(p, static_cast<size_t>(end - p));
            return;
        }
    }
    // Texts to_chars and printf spell differently stay with printf.
    if (!std::isfinite(value) || precision < 0 || precision > 20 || magnitude >= 1e30) {
        out = format("%*.*f", width, precision, value);
        return;
    }
    const auto result = std::to_chars(buffer, end, value, std::chars_format::fixed, precision);
    if (result.ec != std::errc())
        out = format("%*.*f", width, precision, value);
    else
        assignPadded(out, buffer, result.ptr, width);
}

std::string fixed(double value, int width, int precision)
{
    std::string out;
    assignFixed(out, value, width, precision);
    return out;
}

std::string padded(int value, int width)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string out;
    assignPadded(out, buffer, result.ptr, width);
    return out;
}

std::string twoDigits(int value)
{
    return format("%02d", value);
}

std::string grouped(long long value)
{
    const bool negative = value < 0;
    // Through unsigned, so the most negative value is no overflow.
    unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                            : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return negative ? "-" + digits : digits;
}

std::string groupedFixed(double value, int precision)
{
    std::string text = fixed(value, 0, precision);
    const size_t point = text.find('.');
    const size_t end = point == std::string::npos ? text.size() : point;
    const size_t begin = !text.empty() && text[0] == '-' ? 1 : 0;
    // Only digits are grouped: "inf" and "nan" stay as they are.
    if (end <= begin || text.find_first_not_of("0123456789", begin) < end)
        return text;
    for (size_t i = end; i > begin + 3; i -= 3)
        text.insert(i - 3, ",");
    return text;
}

} // namespace sorvantix
