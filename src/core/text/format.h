#pragma once

#include <string>

namespace sorvantix {

// printf-style formatting into a std::string ("%2d", "%6.3f", "%10.6f", "%8.4f" ...).
// The fixed-width texts of grids and files are built with it.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// format("%<width>.<precision>f", value) and format("%<width>d", value), the same bytes,
// without printf: the analysis writes some 700 numbers into its grids per time point,
// and glibc's %f costs a microsecond or so each. std::to_chars rounds the exact binary
// value as printf does.
std::string fixed(double value, int width, int precision);
// fixed() into an existing string, reusing its storage (a grid cell).
void assignFixed(std::string& out, double value, int width, int precision);
std::string padded(int value, int width);

// Integer formatted with at least two digits and leading zeros ("05", "12", "123").
std::string twoDigits(int value);

// An amount with thousands separators: "1,596,500", "-28,700", "0".
std::string grouped(long long value);
// fixed(value, 0, precision) with thousands separators in its whole part: "11,921.3".
std::string groupedFixed(double value, int precision);

} // namespace sorvantix
