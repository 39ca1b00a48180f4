#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sorvantix {

// Bytes [pos, pos+len) of a CP932 record, pos 1-based. Bytes beyond the end of a
// short or damaged record read as blanks, so a field is always `len` bytes long.
std::string field(std::string_view record, int pos, int len);

// The same field decoded to UTF-8 for display.
std::string fieldText(std::string_view record, int pos, int len);

// Integer of the field by parseInt's rules; 0 when it is not a number.
int fieldInt(std::string_view record, int pos, int len);

// Replaces `len` = value.size() bytes at 1-based `pos` with `value`, growing the record
// with blanks when it is too short. A position below 1 is a caller's bug and throws
// std::out_of_range.
void setField(std::string& record, int pos, std::string_view value);

// Integer reading as the system does it: leading blanks skipped, an optional sign,
// then only digits to the end. Anything else (empty, blanks only, trailing
// characters, overflow) is not a number.
std::optional<int> parseInt(std::string_view text);

// parseInt, with `fallback` for text that is not a number.
int toIntDef(std::string_view text, int fallback);

// Real reading with the same rules (digits with an optional fraction).
std::optional<double> parseDouble(std::string_view text);

// True when the text is not empty and holds only ASCII digits.
bool isDigits(std::string_view text);

// Bytes for a message: printable ASCII as it is, anything else as \xNN, so damaged
// record bytes stay readable.
std::string printableBytes(std::string_view bytes);

// UTF-8 text for a terminal: control bytes (below 0x20 but tab and LF, and 0x7F) as
// \xNN, so a record's stray NUL or ESC cannot reach the screen; the rest as it is.
std::string withoutControls(std::string_view text);

// Text with leading and trailing blanks (ASCII space, tab, CR, LF) removed.
std::string_view trimmed(std::string_view text);

// Whether the bytes hold a CR or an LF. Two memchr scans: find_first_of("\r\n") calls
// memchr once per byte, which the bulk import paid for every record.
bool hasLineBreak(std::string_view bytes);

} // namespace sorvantix
