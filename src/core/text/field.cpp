#include "core/text/field.h"

#include "core/text/cp932.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace sorvantix {

std::string field(std::string_view record, int pos, int len)
{
    if (pos >= 1 && len > 0 &&
        static_cast<size_t>(pos - 1) + static_cast<size_t>(len) <= record.size())
        return std::string(record.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len)));
    std::string out(static_cast<size_t>(len > 0 ? len : 0), ' ');
    if (pos < 1 || len <= 0)
        return out;
    size_t start = static_cast<size_t>(pos - 1);
    if (start >= record.size())
        return out;
    size_t n = std::min(static_cast<size_t>(len), record.size() - start);
    out.replace(0, n, record.substr(start, n));
    return out;
}

std::string fieldText(std::string_view record, int pos, int len)
{
    return fromCp932(field(record, pos, len));
}

int fieldInt(std::string_view record, int pos, int len)
{
    // A field the record cuts short reads with trailing blanks, which are no number.
    if (pos < 1 || len <= 0 ||
        static_cast<size_t>(pos - 1) + static_cast<size_t>(len) > record.size())
        return 0;
    return toIntDef(record.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len)), 0);
}

void setField(std::string& record, int pos, std::string_view value)
{
    if (pos < 1)
        throw std::out_of_range("setField: position " + std::to_string(pos));
    size_t start = static_cast<size_t>(pos - 1);
    if (record.size() < start + value.size())
        record.resize(start + value.size(), ' ');
    record.replace(start, value.size(), value);
}

namespace {

// The number's text as from_chars reads it: leading blanks and one '+' left out.
std::string_view numberText(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    text.remove_prefix(i);
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    return text;
}

} // namespace

std::optional<int> parseInt(std::string_view text)
{
    text = numberText(text);
    if (text.empty())
        return std::nullopt;
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int toIntDef(std::string_view text, int fallback)
{
    return parseInt(text).value_or(fallback);
}

std::optional<double> parseDouble(std::string_view text)
{
    text = numberText(text);
    if (text.empty())
        return std::nullopt;
    double value = 0;
    auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool isDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string printableBytes(std::string_view bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

std::string_view trimmed(std::string_view text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool hasLineBreak(std::string_view bytes)
{
    return std::memchr(bytes.data(), '\r', bytes.size()) != nullptr ||
           std::memchr(bytes.data(), '\n', bytes.size()) != nullptr;
}

std::string withoutControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && c != '\t' && c != '\n') || b == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace sorvantix
