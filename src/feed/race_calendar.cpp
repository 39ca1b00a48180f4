#include "feed/race_calendar.h"

#include <array>
#include <map>

namespace sorvantix::feed {
namespace {

// Venues of the thirteen four-weekend blocks of a year, main venues first.
const std::array<std::vector<std::string>, 13> kBlocks = {{
    {"06", "08"},       // January: 中山, 京都
    {"05", "08", "10"}, // February: 東京, 京都, 小倉
    {"06", "09", "07"}, // March: 中山, 阪神, 中京
    {"06", "09", "03"}, // April: 中山, 阪神, 福島
    {"05", "08", "04"}, // May: 東京, 京都, 新潟
    {"05", "09", "02"}, // June: 東京, 阪神, 函館
    {"03", "07", "02"}, // July: 福島, 中京, 函館
    {"04", "10", "01"}, // August: 新潟, 小倉, 札幌
    {"04", "10", "01"}, // late August to September: 新潟, 小倉, 札幌
    {"06", "09"},       // September: 中山, 阪神
    {"05", "08", "04"}, // October: 東京, 京都, 新潟
    {"05", "08", "03"}, // November: 東京, 京都, 福島
    {"06", "09", "07"}, // December: 中山, 阪神, 中京
}};

FeedDate nthMonday(int year, int month, int n)
{
    FeedDate first{year, month, 1};
    const int offset = (8 - first.weekday()) % 7; // days to the first Monday
    return first.plusDays(offset + 7 * (n - 1));
}

bool isRacingHoliday(const FeedDate& d)
{
    if (d.weekday() != 1)
        return false;
    return d == nthMonday(d.year, 1, 2) || (d.month == 2 && d.day == 11) ||
           d == nthMonday(d.year, 9, 3) || d == nthMonday(d.year, 10, 2);
}

bool inSeason(const FeedDate& d)
{
    return !((d.month == 1 && d.day < 5) || (d.month == 12 && d.day > 28));
}

struct PlannedDay
{
    FeedDate date;
    int weekdayCode;
    int block;
    std::vector<std::string> venues;
};

std::vector<RaceDay> yearCalendar(int year)
{
    std::vector<PlannedDay> planned;
    FeedDate saturday{year, 1, 1};
    saturday = saturday.plusDays((6 - saturday.weekday() + 7) % 7);
    for (int week = 1; saturday.year == year; ++week, saturday = saturday.plusDays(7)) {
        const int block = std::min((week - 1) / 4, 12);
        const auto& v = kBlocks[static_cast<size_t>(block)];
        const FeedDate sunday = saturday.plusDays(1), monday = saturday.plusDays(2);
        std::vector<std::vector<std::string>> byDay;
        std::vector<std::pair<FeedDate, int>> days = {{saturday, 1}, {sunday, 2}};
        if (isRacingHoliday(monday)) {
            days.push_back({monday, 3});
            if (v.size() == 3)
                byDay = {{v[0], v[1]}, {v[0], v[2]}, {v[1], v[2]}};
            else
                byDay = {v, v, v};
        } else {
            byDay = {v, v};
        }
        for (size_t i = 0; i < days.size(); ++i)
            if (days[i].first.year == year && inSeason(days[i].first))
                planned.push_back({days[i].first, days[i].second, block, byDay[i]});
    }

    std::vector<RaceDay> result;
    std::map<std::string, std::pair<int, int>> lastBlockAndMeeting; // venue -> block, meeting
    std::map<std::string, int> dayInMeeting;
    for (const PlannedDay& p : planned) {
        RaceDay day{p.date, p.weekdayCode, {}};
        for (const std::string& venue : p.venues) {
            auto it = lastBlockAndMeeting.find(venue);
            if (it == lastBlockAndMeeting.end() || it->second.first != p.block) {
                const int meeting = it == lastBlockAndMeeting.end() ? 1 : it->second.second + 1;
                lastBlockAndMeeting[venue] = {p.block, meeting};
                dayInMeeting[venue] = 0;
            }
            day.venues.push_back({venue, lastBlockAndMeeting[venue].second, ++dayInMeeting[venue]});
        }
        result.push_back(std::move(day));
    }
    return result;
}

} // namespace

std::vector<RaceDay> raceCalendar(FeedDate from, FeedDate to)
{
    std::vector<RaceDay> result;
    for (int year = from.year; year <= to.year; ++year)
        for (RaceDay& day : yearCalendar(year))
            if (day.date >= from && day.date <= to)
                result.push_back(std::move(day));
    return result;
}

} // namespace sorvantix::feed
