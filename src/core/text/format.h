#pragma once

#include <string>

namespace sorvantix {

// printf-style formatting into a std::string ("%2d", "%6.3f", "%10.6f", "%8.4f" ...).
// The fixed-width texts of grids and files are built with it.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Integer formatted with at least two digits and leading zeros ("05", "12", "123").
std::string twoDigits(int value);

} // namespace sorvantix
