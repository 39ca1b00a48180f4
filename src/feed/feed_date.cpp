#include "feed/feed_date.h"

#include "core/text/format.h"

namespace sorvantix::feed {
namespace {

bool isLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

std::optional<int> digitsValue(std::string_view s)
{
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

} // namespace

std::optional<FeedDate> FeedDate::parse(std::string_view text)
{
    std::string_view y, m, d;
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        y = text.substr(0, 4);
        m = text.substr(5, 2);
        d = text.substr(8, 2);
    } else if (text.size() == 8) {
        y = text.substr(0, 4);
        m = text.substr(4, 2);
        d = text.substr(6, 2);
    } else {
        return std::nullopt;
    }
    auto yy = digitsValue(y), mm = digitsValue(m), dd = digitsValue(d);
    if (!yy || !mm || !dd || *yy < 1900 || *yy > 2099 || *mm < 1 || *mm > 12 || *dd < 1 ||
        *dd > daysInMonth(*yy, *mm))
        return std::nullopt;
    return FeedDate{*yy, *mm, *dd};
}

// Civil-date conversions after H. Hinnant's days_from_civil / civil_from_days.
long FeedDate::dayNumber() const
{
    const int y = month <= 2 ? year - 1 : year;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

FeedDate FeedDate::fromDayNumber(long days)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long doe = days - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    return FeedDate{y, m, d};
}

int FeedDate::weekday() const
{
    const long n = dayNumber();
    return static_cast<int>(((n + 4) % 7 + 7) % 7); // 1970-01-01 was a Thursday
}

int FeedDate::dayOfYear() const
{
    return static_cast<int>(dayNumber() - FeedDate{year, 1, 1}.dayNumber()) + 1;
}

std::string FeedDate::digits() const
{
    return format("%04d%02d%02d", year, month, day);
}

std::string FeedDate::monthDay() const
{
    return format("%02d%02d", month, day);
}

std::string FeedDate::iso() const
{
    return format("%04d-%02d-%02d", year, month, day);
}

} // namespace sorvantix::feed
