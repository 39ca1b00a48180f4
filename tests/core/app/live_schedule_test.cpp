#include "core/app/live_schedule.h"
#include "core/app/temp_dir.h"
#include "core/text/ini_file.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace sorvantix;

namespace {

constexpr LocalDateTime at(int hour, int minute, int second = 0)
{
    return LocalDateTime{2026, 12, 6, hour, minute, second};
}

LiveRace race(const std::string& key, LocalDateTime post)
{
    LiveRace r;
    r.raceKey = key;
    r.post = post;
    return r;
}

// Runs the schedule minute by minute from `from` to `to` as the owner would: at most one
// request per step, each ending at once. Returns "hh:mm <race key tail><O|R>" per request.
std::vector<std::string> live(LiveSchedule& s, LocalDateTime from, LocalDateTime to,
                              long long stepSeconds = 60)
{
    std::vector<std::string> made;
    for (LocalDateTime now = from; !(to < now); now = now.addSeconds(stepSeconds)) {
        auto request = s.next(now);
        if (!request)
            continue;
        s.started(*request, now);
        char text[32];
        std::snprintf(text, sizeof text, "%02d:%02d %s%c", now.hour, now.minute,
                      s.races()[request->race].raceKey.c_str(),
                      request->kind == LiveRequest::Kind::Odds ? 'O' : 'R');
        made.emplace_back(text);
        if (request->kind == LiveRequest::Kind::Results)
            s.resultsStored(request->race, true);
    }
    return made;
}

} // namespace

TEST(LiveSchedule, FarThenEveryMinuteNearPostThenOnceAtPost)
{
    LiveSettings settings;
    settings.farEvery = 10;
    settings.nearMinutes = 30;
    settings.resultDelay = 10;
    LiveSchedule s(settings);
    s.setRaces({race("A", at(11, 0))});
    const auto made = live(s, at(9, 55), at(11, 20));
    // 09:55 first, every 10 minutes until 10:30, every minute to 10:59, once at post,
    // results ten minutes later.
    std::vector<std::string> expected{"09:55 AO", "10:05 AO", "10:15 AO", "10:25 AO"};
    for (int m = 30; m < 60; ++m)
        expected.push_back("10:" + std::to_string(m) + " AO");
    expected.push_back("11:00 AO");
    expected.push_back("11:10 AR");
    EXPECT_EQ(made, expected);
    EXPECT_TRUE(s.finished());
    EXPECT_FALSE(s.oddsDueAt(0));

    // The refresh at post comes at post, not a cadence after the last one.
    LiveSchedule offset(settings);
    offset.setRaces({race("A", at(11, 0))});
    offset.started({LiveRequest::Kind::Odds, 0}, at(10, 59, 30));
    EXPECT_EQ(offset.oddsDueAt(0), at(11, 0));
    settings.nearMinutes = 0;
    LiveSchedule farOnly(settings);
    farOnly.setRaces({race("A", at(11, 0))});
    farOnly.started({LiveRequest::Kind::Odds, 0}, at(10, 55));
    EXPECT_EQ(farOnly.oddsDueAt(0), at(11, 0));
    // And the far cadence gives way to the near one where it begins.
    settings.nearMinutes = 30;
    LiveSchedule crossing(settings);
    crossing.setRaces({race("A", at(11, 0))});
    crossing.started({LiveRequest::Kind::Odds, 0}, at(10, 25));
    EXPECT_EQ(crossing.oddsDueAt(0), at(10, 30));
}

TEST(LiveSchedule, NearestPostFirstWithinTheBudgetAndRaceOffAtStartFetchedOnce)
{
    LiveSettings settings;
    settings.budget = 2;
    LiveSchedule s(settings);
    s.setRaces(
        {race("L", at(15, 0)), race("E", at(10, 0)), race("P", at(9, 30)), race("M", at(12, 0))});
    // Every race is due at once, two a minute: the race already off first, and its
    // results, which can exist already, before the races still to run.
    auto made = live(s, at(9, 40), at(9, 41, 30), 10);
    EXPECT_EQ(made, (std::vector<std::string>{"09:40 PO", "09:40 PR", "09:41 EO", "09:41 MO"}));
    EXPECT_TRUE(s.races()[2].followedToPost); // began after its post: no more refreshes
    EXPECT_FALSE(s.oddsDueAt(2));
    EXPECT_EQ(s.requestsInLastMinute(at(9, 41, 30)), 2); // 09:41:00 and 09:41:10
    EXPECT_EQ(s.requestsInLastMinute(at(9, 42, 21)), 0);
    EXPECT_FALSE(s.next(at(9, 41, 30)));
    // At 09:42 the race 18 minutes from post is due for its minute refresh and goes
    // before the first refresh of the race at 15:00.
    const auto nearest = s.next(at(9, 42));
    ASSERT_TRUE(nearest);
    EXPECT_EQ(s.races()[nearest->race].raceKey, "E");
    s.started(*nearest, at(9, 42));
    const auto waiting = s.next(at(9, 42, 30));
    ASSERT_TRUE(waiting);
    EXPECT_EQ(s.races()[waiting->race].raceKey, "L");
}

TEST(LiveSchedule, ResultsNotYetThereAreAskedAgainAndLatenessFollowsTheAnnouncements)
{
    LiveSchedule s;
    s.setRaces({race("A", at(11, 0))});
    s.started({LiveRequest::Kind::Odds, 0}, at(10, 28));
    EXPECT_FALSE(s.isLate(0, at(10, 29, 59))); // not near post yet
    // Without an announcement, the following's start counts: five minutes allowed.
    EXPECT_FALSE(s.isLate(0, at(10, 33)));
    EXPECT_TRUE(s.isLate(0, at(10, 33, 1)));
    s.oddsStored(0, at(10, 29));
    s.oddsStored(0, at(10, 10)); // an older one does not move it back
    EXPECT_EQ(s.races()[0].lastAnnouncement, at(10, 29));
    EXPECT_FALSE(s.isLate(0, at(10, 34)));
    EXPECT_TRUE(s.isLate(0, at(10, 34, 1)));
    EXPECT_FALSE(s.isLate(0, at(11, 0))); // off
    s.started({LiveRequest::Kind::Odds, 0}, at(11, 0));
    s.started({LiveRequest::Kind::Results, 0}, at(11, 10));
    s.resultsStored(0, false);
    EXPECT_EQ(s.resultsDueAt(0), at(11, 12));
    EXPECT_EQ(s.nextDue(), at(11, 12));
    s.resultsStored(0, true);
    EXPECT_TRUE(s.finished());

    // Results that never come are asked for during an hour, then left alone.
    LiveSchedule never;
    never.setRaces({race("A", at(11, 0))});
    never.started({LiveRequest::Kind::Odds, 0}, at(11, 0));
    never.started({LiveRequest::Kind::Results, 0}, at(12, 9));
    EXPECT_EQ(never.resultsDueAt(0), at(12, 11));
    never.started({LiveRequest::Kind::Results, 0}, at(12, 10));
    EXPECT_FALSE(never.resultsDueAt(0));
    EXPECT_TRUE(never.finished());
}

TEST(LiveSettings, KeepsEachValueInItsRangeOrItsDefault)
{
    test::TempDir dir;
    TIniGT ini(dir.path() / "settings.ini");
    EXPECT_EQ(readLiveSettings(ini), LiveSettings{});
    LiveSettings chosen{5, 20, 2, 10, 15, 3};
    writeLiveSettings(ini, chosen);
    EXPECT_EQ(readLiveSettings(ini), chosen);
    ini.WriteString("Live", "Budget", "0");
    ini.WriteString("Live", "FarEvery", "often");
    ini.WriteString("Live", "NearMinutes", "181");
    LiveSettings read = readLiveSettings(ini);
    EXPECT_EQ(read.budget, LiveSettings{}.budget);
    EXPECT_EQ(read.farEvery, LiveSettings{}.farEvery);
    EXPECT_EQ(read.nearMinutes, LiveSettings{}.nearMinutes);
    EXPECT_EQ(read.nearEvery, 2);
}
