#include "core/text/day_name.h"

#include "core/text/cp932.h"
#include "core/text/field.h"
#include "core/text/format.h"

namespace sorvantix {
namespace {

int number(std::string_view s)
{
    int v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    return v;
}

} // namespace

bool DayName::isPossible(int year, int month, int day)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// By hand, not through format(): the bulk import names a day file for every record.
std::string DayName::text() const
{
    if (year < 0 || year > 9999 || month < 0 || month > 99 || day < 0 || day > 99)
        return format("%04d年%02d月%02d日", year, month, day);
    const char digits[] = {char('0' + year / 1000),    char('0' + year / 100 % 10),
                           char('0' + year / 10 % 10), char('0' + year % 10),
                           char('0' + month / 10),     char('0' + month % 10),
                           char('0' + day / 10),       char('0' + day % 10)};
    std::string out;
    out.reserve(4 + 3 + 2 + 3 + 2 + 3);
    out.append(digits, 4).append("年").append(digits + 4, 2).append("月");
    out.append(digits + 6, 2).append("日");
    return out;
}

std::string DayName::digits() const
{
    return format("%04d%02d%02d", year, month, day);
}

std::optional<DayName> DayName::fromDigits(std::string_view s)
{
    if (s.size() != 8 || !isDigits(s))
        return std::nullopt;
    DayName d{number(s.substr(0, 4)), number(s.substr(4, 2)), number(s.substr(6, 2))};
    if (!isPossible(d.year, d.month, d.day))
        return std::nullopt;
    return d;
}

std::optional<DayName> DayName::fromRecord(std::string_view record)
{
    if (record.size() < 19)
        return std::nullopt;
    return fromDigits(record.substr(11, 8));
}

std::optional<DayName> DayName::parse(std::string_view t)
{
    // 4 digits, 年 (3 bytes), 2 digits, 月, 2 digits, 日 = 17 bytes of UTF-8.
    if (t.size() < 17)
        return std::nullopt;
    if (!isDigits(t.substr(0, 4)) || t.substr(4, 3) != "年" || !isDigits(t.substr(7, 2)) ||
        t.substr(9, 3) != "月" || !isDigits(t.substr(12, 2)) || t.substr(14, 3) != "日")
        return std::nullopt;
    return fromDigits(std::string(t.substr(0, 4)) + std::string(t.substr(7, 2)) +
                      std::string(t.substr(12, 2)));
}

std::optional<DayName> DayName::fromArgument(std::string_view text)
{
    if (auto d = parse(text); d && text.size() == 17)
        return d;
    std::string digits;
    for (char c : text)
        if (c != '-' && c != '/')
            digits += c;
    // "2026-11-29" and "2026/11/29", not "2026-1129" or "2-0261129".
    const bool separated =
        text.size() == 10 && text[4] == text[7] && (text[4] == '-' || text[4] == '/');
    if (text.size() != 8 && !separated)
        return std::nullopt;
    return fromDigits(digits);
}

std::string cp932Prefix(std::string_view utf8, int bytes)
{
    std::string out;
    int taken = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        size_t len = std::min(utf8Length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        std::string_view ch = utf8.substr(i, len);
        int w = displayWidth(ch);
        if (taken + w > bytes)
            break;
        out += ch;
        taken += w;
        i += len;
    }
    return out;
}

} // namespace sorvantix
