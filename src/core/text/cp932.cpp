#include "core/text/cp932.h"

#include "core/text/error.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace sorvantix {
namespace {

// One iconv descriptor per direction and thread: opening one costs far more than a
// conversion, and the analysis converts many short fields.
class Converter
{
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::logic_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as far as it can; returns false at the first unconvertible input,
    // leaving `in` at that position.
    bool convert(std::string_view& in, std::string& out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        char buffer[1024];
        bool ok = true;
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            size_t r = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) {
                ok = false;
                break;
            }
        }
        in = std::string_view(inPtr, inLeft);
        return ok;
    }

private:
    iconv_t m_cd;
};

Converter& toCp932Converter()
{
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

Converter& fromCp932Converter()
{
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

bool isAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

} // namespace

size_t utf8Length(unsigned char c)
{
    if (c < 0xC0)
        return 1;
    if (c < 0xE0)
        return 2;
    if (c < 0xF0)
        return 3;
    return 4;
}

std::string toCp932(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    std::string out;
    std::string_view rest = utf8;
    if (!toCp932Converter().convert(rest, out)) {
        std::string bad(rest.substr(0, std::min(rest.size(), utf8Length(rest[0]))));
        throw Error("CP932で表せない文字があります: \"" + bad + "\" in \"" + std::string(utf8) +
                    "\"");
    }
    return out;
}

std::string fromCp932(std::string_view cp932)
{
    if (isAscii(cp932))
        return std::string(cp932);
    std::string out;
    std::string_view rest = cp932;
    while (!fromCp932Converter().convert(rest, out)) {
        out += "\xEF\xBF\xBD"; // U+FFFD for the byte that does not decode
        unsigned char lead = static_cast<unsigned char>(rest[0]);
        bool twoByteLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
        size_t skip = (twoByteLead && rest.size() >= 2) ? 2 : 1;
        rest.remove_prefix(skip);
    }
    return out;
}

bool fitsCp932(std::string_view utf8)
{
    if (isAscii(utf8))
        return true;
    std::string out;
    std::string_view rest = utf8;
    return toCp932Converter().convert(rest, out);
}

int displayWidth(std::string_view utf8)
{
    int width = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t len = utf8Length(c);
        if (c < 0x80) {
            width += 1;
        } else if (len == 3 && i + 2 < utf8.size()) {
            // Half-width katakana U+FF61..U+FF9F are single CP932 bytes.
            unsigned cp = ((c & 0x0Fu) << 12) |
                          ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                          (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            width += (cp >= 0xFF61 && cp <= 0xFF9F) ? 1 : 2;
        } else {
            width += 2;
        }
        i += len;
    }
    return width;
}

std::string padRight(std::string_view utf8, int width)
{
    std::string out(utf8);
    int w = displayWidth(utf8);
    if (w < width)
        out.append(static_cast<size_t>(width - w), ' ');
    return out;
}

std::string padLeft(std::string_view utf8, int width)
{
    int w = displayWidth(utf8);
    std::string out;
    if (w < width)
        out.assign(static_cast<size_t>(width - w), ' ');
    out += utf8;
    return out;
}

} // namespace sorvantix
