#include "core/text/clock.h"

#include "core/text/format.h"

#include <ctime>

namespace sorvantix {

namespace {

// Calendar arithmetic on the fields alone: taken as UTC, no daylight-saving jumps.
std::time_t fieldSeconds(const LocalDateTime& t)
{
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    return ::timegm(&tm);
}

} // namespace

long long LocalDateTime::secondsUntil(const LocalDateTime& later) const
{
    return static_cast<long long>(fieldSeconds(later) - fieldSeconds(*this));
}

LocalDateTime LocalDateTime::addSeconds(long long seconds) const
{
    std::time_t t = fieldSeconds(*this) + static_cast<std::time_t>(seconds);
    std::tm out{};
    ::gmtime_r(&t, &out);
    return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
}

std::string dateTimeText(const LocalDateTime& t)
{
    return format("%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
}

std::string timeText(const LocalDateTime& t)
{
    return format("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

LocalDateTime SystemClock::now() const
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    // A leap second (60) is shown as 59 so texts stay two-digit fields in range.
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
            tm.tm_hour,        tm.tm_min,     tm.tm_sec > 59 ? 59 : tm.tm_sec};
}

} // namespace sorvantix
