#include "core/text/error.h"
#include "feed/feed_writer.h"
#include "feed/race_calendar.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace sorvantix::feed {
namespace {

struct DateCase
{
    const char* text;
    bool valid;
    int weekday; // 0 Sunday .. 6 Saturday
};

class FeedDateParse : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(FeedDateParse, ReadsRealDaysOnly)
{
    const DateCase& c = GetParam();
    const auto d = FeedDate::parse(c.text);
    ASSERT_EQ(d.has_value(), c.valid) << c.text;
    if (!c.valid)
        return;
    EXPECT_EQ(d->weekday(), c.weekday) << c.text;
    EXPECT_EQ(FeedDate::fromDayNumber(d->dayNumber()), *d);
    EXPECT_EQ(*FeedDate::parse(d->digits()), *d);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FeedDateParse,
    ::testing::Values(DateCase{"2026-11-28", true, 6}, DateCase{"20261129", true, 0},
                      DateCase{"2024-02-29", true, 4}, DateCase{"2000-02-29", true, 2},
                      DateCase{"1970-01-01", true, 4}, DateCase{"1969-12-31", true, 3},
                      DateCase{"2023-02-29", false, 0}, DateCase{"1900-02-29", false, 0},
                      DateCase{"2026-13-01", false, 0}, DateCase{"2026-11-31", false, 0},
                      DateCase{"2026/11/28", false, 0}, DateCase{"2026-1-28", false, 0},
                      DateCase{"", false, 0}, DateCase{"20261x28", false, 0},
                      DateCase{"2100-01-01", false, 0}));

TEST(RaceCalendar, YearLooksLikeTheJraYear)
{
    const auto days = raceCalendar({2026, 1, 1}, {2026, 12, 31});
    int venueDays = 0;
    std::map<std::string, std::pair<int, int>> last; // venue -> meeting, day
    for (const RaceDay& day : days) {
        const int wd = day.date.weekday();
        EXPECT_TRUE((wd == 6 && day.weekdayCode == 1) || (wd == 0 && day.weekdayCode == 2) ||
                    (wd == 1 && day.weekdayCode == 3))
            << day.date.iso();
        EXPECT_FALSE((day.date.month == 1 && day.date.day < 5) ||
                     (day.date.month == 12 && day.date.day > 28))
            << day.date.iso();
        ASSERT_GE(day.venues.size(), 2u) << day.date.iso();
        ASSERT_LE(day.venues.size(), 3u) << day.date.iso();
        std::set<std::string> seen;
        for (const VenueMeeting& vm : day.venues) {
            EXPECT_TRUE(seen.insert(vm.venue).second) << day.date.iso();
            const int code = std::stoi(vm.venue);
            EXPECT_TRUE(code >= 1 && code <= 10) << vm.venue;
            // A meeting runs its days one after another; a new meeting starts at day 1.
            auto it = last.find(vm.venue);
            if (it == last.end() || it->second.first != vm.meeting) {
                EXPECT_EQ(vm.meetingDay, 1) << vm.venue << " " << day.date.iso();
                EXPECT_EQ(vm.meeting, it == last.end() ? 1 : it->second.first + 1);
            } else {
                EXPECT_EQ(vm.meetingDay, it->second.second + 1) << vm.venue;
            }
            EXPECT_LE(vm.meetingDay, 9);
            last[vm.venue] = {vm.meeting, vm.meetingDay};
            ++venueDays;
        }
    }
    // About 288 venue days (3,456 races) a year.
    EXPECT_GE(venueDays, 270);
    EXPECT_LE(venueDays, 305);
}

TEST(RaceCalendar, HolidaysAndRangesAgree)
{
    // 2026-09-21 is 敬老の日: a race day with weekday code 3; the same date gets the same
    // meetings in a short and a long range.
    const auto shortRange = raceCalendar({2026, 9, 19}, {2026, 9, 21});
    const auto longRange = raceCalendar({2026, 6, 1}, {2026, 10, 31});
    ASSERT_EQ(shortRange.size(), 3u);
    EXPECT_EQ(shortRange.back().weekdayCode, 3);
    for (const RaceDay& d : shortRange) {
        auto it = std::find_if(longRange.begin(), longRange.end(),
                               [&](const RaceDay& o) { return o.date == d.date; });
        ASSERT_NE(it, longRange.end());
        ASSERT_EQ(it->venues.size(), d.venues.size());
        for (size_t i = 0; i < d.venues.size(); ++i) {
            EXPECT_EQ(it->venues[i].venue, d.venues[i].venue);
            EXPECT_EQ(it->venues[i].meeting, d.venues[i].meeting);
            EXPECT_EQ(it->venues[i].meetingDay, d.venues[i].meetingDay);
        }
    }
    EXPECT_TRUE(raceCalendar({2026, 11, 30}, {2026, 12, 4}).empty()); // Monday to Friday
    EXPECT_TRUE(raceCalendar({2026, 12, 29}, {2027, 1, 4}).empty());  // New Year break
}

struct OptionsCase
{
    const char* from;
    const char* to;
    bool oldStyle;
    bool valid;
};

class FeedOptionsValidate : public ::testing::TestWithParam<OptionsCase>
{
};

TEST_P(FeedOptionsValidate, RefusesRangesThatMakeNoFeed)
{
    const OptionsCase& c = GetParam();
    FeedOptions o;
    o.from = *FeedDate::parse(c.from);
    o.to = *FeedDate::parse(c.to);
    o.oldStyle = c.oldStyle;
    if (c.valid)
        EXPECT_NO_THROW(o.validate());
    else
        EXPECT_THROW(o.validate(), Error);
}

INSTANTIATE_TEST_SUITE_P(Table, FeedOptionsValidate,
                         ::testing::Values(OptionsCase{"2026-11-28", "2026-11-29", false, true},
                                           OptionsCase{"2026-11-29", "2026-11-28", false, false},
                                           OptionsCase{"2004-05-29", "2004-05-30", true, true},
                                           OptionsCase{"2004-05-29", "2004-05-30", false, false},
                                           OptionsCase{"2004-12-25", "2005-01-09", true, false},
                                           OptionsCase{"2026-11-28", "2026-11-29", true, false}));

TEST(FeedOptions, OddsDays)
{
    FeedOptions o;
    parseOddsDays("none", o);
    EXPECT_FALSE(o.seriesOn({2026, 11, 28}));
    parseOddsDays("all", o);
    EXPECT_TRUE(o.seriesOn({2026, 11, 28}));
    parseOddsDays("2026-11-28,20261201", o);
    EXPECT_TRUE(o.seriesOn({2026, 11, 28}));
    EXPECT_FALSE(o.seriesOn({2026, 11, 29}));
    EXPECT_TRUE(o.seriesOn({2026, 12, 1}));
    for (const char* bad : {"", "2026-11-28,", "2026-11-28;2026-11-29", "some"})
        EXPECT_THROW(parseOddsDays(bad, o), Error) << bad;
}

} // namespace
} // namespace sorvantix::feed
