#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sorvantix {

// The day file name "yyyy年mm月dd日" (14 bytes in CP932, 17 in UTF-8). File names
// are UTF-8 on this platform, so every place that cuts a file name or a day text by
// CP932 bytes goes through these helpers instead of counting bytes.
struct DayName
{
    int year = 0;
    int month = 0;
    int day = 0;

    // "yyyy年mm月dd日" with zero-padded fields.
    std::string text() const;

    // Every constructor below refuses an impossible date (2026年13月45日, 2026年02月31日,
    // year 0): a day name is always a calendar day.
    static bool isPossible(int year, int month, int day);

    // From positions 12-19 of a record ("yyyy" "mmdd"); nullopt when they are not
    // eight digits of a possible date.
    static std::optional<DayName> fromRecord(std::string_view record);

    // From "yyyymmdd"; nullopt when not eight digits of a possible date.
    static std::optional<DayName> fromDigits(std::string_view yyyymmdd);

    // Parses the day name at the start of a text (a file name or a day list item);
    // nullopt when the text does not begin with one of a possible date.
    static std::optional<DayName> parse(std::string_view text);

    // A day as a person types it: "2026年11月29日", "20261129", "2026-11-29" or
    // "2026/11/29"; nullopt for anything else or an impossible date.
    static std::optional<DayName> fromArgument(std::string_view text);

    // "yyyymmdd".
    std::string digits() const;

    bool operator==(const DayName&) const = default;
};

// The first `bytes` CP932 bytes of a UTF-8 text, cut at the same characters
// ("the first 14 bytes" of a file name is its day name, "the first 6" the year
// and 年). A character that would be cut in half is left out.
std::string cp932Prefix(std::string_view utf8, int bytes);

} // namespace sorvantix
