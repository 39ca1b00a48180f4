#pragma once

#include <string>
#include <string_view>

namespace sorvantix {

// Length of the UTF-8 sequence that starts with byte c (1 for a stray byte).
size_t utf8Length(unsigned char c);

// UTF-8 text -> CP932 bytes. Throws Error naming the first character CP932 cannot
// hold; nothing is returned half-converted.
std::string toCp932(std::string_view utf8);

// CP932 bytes -> UTF-8 text. Invalid or cut-off byte sequences become U+FFFD, so
// damaged record fields still display; never throws.
std::string fromCp932(std::string_view cp932);

// True when every character of the UTF-8 text has a CP932 form.
bool fitsCp932(std::string_view utf8);

// Display width of UTF-8 text in columns, counted as CP932 bytes: half-width
// characters (ASCII, half-width katakana) 1, everything else 2.
int displayWidth(std::string_view utf8);

// Pads with half-width blanks to the display width (left-aligned text); text already
// as wide or wider is returned unchanged.
std::string padRight(std::string_view utf8, int width);

// Pads with half-width blanks in front to the display width (right-aligned text).
std::string padLeft(std::string_view utf8, int width);

} // namespace sorvantix
