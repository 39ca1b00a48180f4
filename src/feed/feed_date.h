#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace sorvantix::feed {

// A day of the Gregorian calendar, with the arithmetic the calendar of race days
// needs. Never taken from the wall clock: the feed depends only on its arguments.
struct FeedDate
{
    int year = 1970;
    int month = 1;
    int day = 1;

    // "yyyy-mm-dd" or "yyyymmdd" of a real day from 1900 to 2099; nullopt otherwise.
    static std::optional<FeedDate> parse(std::string_view text);

    // Days since 1970-01-01 (negative before).
    long dayNumber() const;
    static FeedDate fromDayNumber(long days);

    FeedDate plusDays(long days) const { return fromDayNumber(dayNumber() + days); }

    // 0 = Sunday .. 6 = Saturday.
    int weekday() const;

    // 1 = January 1st.
    int dayOfYear() const;

    // "yyyymmdd", "mmdd", "yyyy-mm-dd".
    std::string digits() const;
    std::string monthDay() const;
    std::string iso() const;

    auto operator<=>(const FeedDate&) const = default;
};

} // namespace sorvantix::feed
