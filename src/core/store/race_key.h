#pragma once

#include "core/text/day_name.h"

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace sorvantix {

// The 16-digit key of a race: year (4), month-day (4), venue code (2), meeting number
// (2), meeting day (2), race number (2), as at positions 12-27 of every race record.
// A RaceKey always holds exactly 16 ASCII digits: keys end up in file names and
// real-time requests, so anything else is refused when the key is made.
class RaceKey
{
public:
    // From 16 digits; throws Error naming the text otherwise.
    static RaceKey parse(std::string_view digits16);

    // The same, nullopt instead of an error.
    // nullopt unless 16 digits whose first eight are a possible date.
    static std::optional<RaceKey> tryParse(std::string_view digits16);

    // From positions 12-27 of a record; throws Error when the record is too short or
    // the key is not 16 digits.
    static RaceKey fromRecord(std::string_view record);
    static std::optional<RaceKey> tryFromRecord(std::string_view record);

    // The 16 digits.
    const std::string& text() const { return m_digits; }

    int year() const;       // 1-4
    int month() const;      // 5-6
    int day() const;        // 7-8
    int meeting() const;    // 11-12
    int meetingDay() const; // 13-14
    int raceNo() const;     // 15-16

    // "yyyymmdd".
    std::string dateDigits() const { return m_digits.substr(0, 8); }

    // The two-digit venue code ("05").
    std::string venue() const { return m_digits.substr(8, 2); }

    // The last 8 digits (venue, meeting, meeting day, race number): the stem of the
    // race's odds snapshot files.
    std::string oddsFileStem() const { return m_digits.substr(8, 8); }

    // The day file name "yyyy年mm月dd日" of the race's day.
    DayName dayName() const;

    bool operator==(const RaceKey&) const = default;
    std::strong_ordering operator<=>(const RaceKey&) const = default;

private:
    explicit RaceKey(std::string digits) : m_digits(std::move(digits)) {}
    int number(size_t pos, size_t len) const;

    std::string m_digits;
};

} // namespace sorvantix
