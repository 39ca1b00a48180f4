#include "core/jvlink/replay_timeline.h"

#include <chrono>

namespace sorvantix {

namespace {

constexpr size_t kKeyPos = 11; // the race key, 16 digits, in every record's head
constexpr size_t kKeyLength = 16;
constexpr size_t kAnnouncePos = 27; // O1, O2: MMDDhhmm
constexpr size_t kPostPos = 873;    // RA: hhmm
constexpr long long kSecondsPerMinute = 60;
constexpr long long kSecondsPerDay = 24 * 60 * 60;

std::optional<int> digits(std::string_view text, size_t pos, size_t length)
{
    if (pos + length > text.size())
        return std::nullopt;
    int value = 0;
    for (char c : text.substr(pos, length)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<LocalDateTime> dateTime(int year, std::optional<int> month, std::optional<int> day,
                                      std::optional<int> hour, std::optional<int> minute)
{
    if (!month || !day || !hour || !minute || year < 1 || *hour > 23 || *minute > 59)
        return std::nullopt;
    std::chrono::year_month_day date{std::chrono::year(year),
                                     std::chrono::month(static_cast<unsigned>(*month)),
                                     std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok())
        return std::nullopt;
    return LocalDateTime{year, *month, *day, *hour, *minute, 0};
}

// The race's day at 00:00, from a record's race key.
std::optional<LocalDateTime> raceDay(std::string_view record)
{
    auto year = digits(record, kKeyPos, 4);
    if (!year)
        return std::nullopt;
    return dateTime(*year, digits(record, kKeyPos + 4, 2), digits(record, kKeyPos + 6, 2), 0, 0);
}

bool isOddsRecord(std::string_view record)
{
    return record.starts_with("O1") || record.starts_with("O2");
}

bool isResultRecord(std::string_view record)
{
    return record.starts_with("RA") || record.starts_with("SE") || record.starts_with("HR");
}

bool waitsForPost(char kind)
{
    return kind == '3' || kind == '4' || kind == '5';
}

std::optional<bool> oddsPublished(std::string_view record, const LocalDateTime& now,
                                  const PostTimes& posts)
{
    if (!isOddsRecord(record) || record.size() < kAnnouncePos + 8)
        return std::nullopt;
    auto announced =
        announcementMoment(record.substr(kKeyPos, kKeyLength), record.substr(kAnnouncePos, 8));
    if (!announced)
        return std::nullopt;
    if (*announced > now)
        return false;
    if (waitsForPost(record[2]))
        if (auto post = posts.find(record.substr(kKeyPos, kKeyLength)))
            return *post <= now;
    return true;
}

std::optional<bool> resultPublished(std::string_view record, const LocalDateTime& now,
                                    const PostTimes& posts, int settleMinutes)
{
    if (!isResultRecord(record) || record.size() < kKeyPos + kKeyLength)
        return std::nullopt;
    if (auto post = posts.find(record.substr(kKeyPos, kKeyLength)))
        return post->addSeconds(settleMinutes * kSecondsPerMinute) <= now;
    auto day = raceDay(record);
    if (!day)
        return std::nullopt;
    return day->addSeconds(kSecondsPerDay) <= now;
}

} // namespace

std::optional<LocalDateTime> announcementMoment(std::string_view raceKey,
                                                std::string_view monthDayTime)
{
    auto year = digits(raceKey, 0, 4);
    auto raceMonth = digits(raceKey, 4, 2);
    auto month = digits(monthDayTime, 0, 2);
    if (!year || !raceMonth || !month || monthDayTime.size() != 8)
        return std::nullopt;
    int announceYear = *month > *raceMonth ? *year - 1 : *year;
    return dateTime(announceYear, month, digits(monthDayTime, 2, 2), digits(monthDayTime, 4, 2),
                    digits(monthDayTime, 6, 2));
}

void PostTimes::addFrom(std::string_view bytes)
{
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        std::string_view record =
            bytes.substr(pos, end == std::string_view::npos ? end : end - pos);
        pos = end == std::string_view::npos ? bytes.size() : end + 1;
        if (!record.starts_with("RA"))
            continue;
        auto day = raceDay(record);
        if (!day)
            continue;
        if (auto post = dateTime(day->year, day->month, day->day, digits(record, kPostPos, 2),
                                 digits(record, kPostPos + 2, 2)))
            m_posts[std::string(record.substr(kKeyPos, kKeyLength))] = *post;
    }
}

std::optional<LocalDateTime> PostTimes::find(std::string_view raceKey) const
{
    auto it = m_posts.find(raceKey);
    if (it == m_posts.end())
        return std::nullopt;
    return it->second;
}

std::string publishedRecords(std::string_view bytes, std::string_view spec,
                             const LocalDateTime& now, const PostTimes& posts, int settleMinutes)
{
    const bool odds = spec == "0B41" || spec == "0B42" || spec == "0B30";
    const bool results = spec == "0B12";
    if (!odds && !results)
        return std::string(bytes);
    std::string kept;
    kept.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        // A rest without its line end is kept whole: the reader reports it.
        size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        std::string_view line = bytes.substr(pos, next - pos);
        pos = next;
        if (!line.ends_with("\r\n")) {
            kept.append(line); // no whole record: the reader reports it
            continue;
        }
        std::optional<bool> published = odds ? oddsPublished(line, now, posts)
                                             : resultPublished(line, now, posts, settleMinutes);
        if (published.value_or(true))
            kept.append(line);
    }
    return kept;
}

} // namespace sorvantix
