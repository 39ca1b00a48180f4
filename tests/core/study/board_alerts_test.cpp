#include "core/app/temp_dir.h"
#include "core/store/racing_codes.h"
#include "core/study/odds_alerts.h"
#include "core/study/race_board.h"
#include "core/study/study_day.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace sorvantix {
namespace {

using test::TempDir;

TEST(RaceBoard, EveryRaceOfTheDayAtItsLatestAnnouncement)
{
    TempDir dir;
    test::storeStudyDay(dir.path(), test::flatTenths, test::markedTenths);
    // Race 3 loses its odds: its cell says so and the others stand.
    std::filesystem::remove(oddsFilePath(dir.path(), test::reportRaceKey(3), kO1Extension));
    const RaceBoard board = buildRaceBoard(dir.path(), {2004, 5, 16}, analysisDefaultParams());
    ASSERT_EQ(board.venues.size(), 1u);
    EXPECT_EQ(board.venues[0].name, "東京");
    EXPECT_EQ(board.raceCount(), 3);
    const auto& races = board.venues[0].races;
    ASSERT_TRUE(races[0] && races[2] && races[10]);
    EXPECT_FALSE(races[1]);
    EXPECT_EQ(races[0]->latestTime, "09:20");
    EXPECT_EQ(races[10]->latestTime, "15:25");
    EXPECT_EQ(races[10]->postTime, "15:30");
    EXPECT_TRUE(races[10]->analysed);
    EXPECT_FALSE(races[10]->suisho.empty());
    EXPECT_GT(races[10]->singularPairs, 0);
    EXPECT_GT(races[10]->kasenPercent, 0);
    EXPECT_FALSE(races[10]->upset.empty());
    EXPECT_FALSE(races[2]->analysed);
    EXPECT_EQ(races[2]->problem, "オッズ未取得");
    // Runner h finished h-th: the first three take the analysis's finish colours.
    EXPECT_EQ(boardFinishColour(*races[10], 1), 0xFF0000u);
    EXPECT_EQ(boardFinishColour(*races[10], 3), 0x00FF00u);
    EXPECT_FALSE(boardFinishColour(*races[10], 4));
    // The list index lets a click select the race in the main window.
    EXPECT_EQ(races[10]->listIndex, 2);
    EXPECT_NE(raceBoardText(board).find("11R  15:30  15:25"), std::string::npos)
        << raceBoardText(board);
}

TEST(RaceBoard, WhereEachRaceStandsAtTheClocksTime)
{
    BoardCell cell;
    cell.raceKey = "2026112905050811";
    cell.postTime = "15:30";
    auto at = [](int hour, int minute) { return LocalDateTime{2026, 11, 29, hour, minute, 0}; };
    // No odds yet: waiting, late only within 30 minutes of post.
    EXPECT_EQ(boardLiveness(cell, at(9, 0), 30, 5).phase, BoardPhase::Waiting);
    EXPECT_FALSE(boardLiveness(cell, at(14, 59), 30, 5).late);
    EXPECT_TRUE(boardLiveness(cell, at(15, 0), 30, 5).late);
    // Odds announced the evening before count from then.
    cell.latestKey = "11281712";
    BoardLiveness l = boardLiveness(cell, at(9, 0), 30, 5);
    EXPECT_EQ(l.phase, BoardPhase::Live);
    EXPECT_EQ(l.ageMinutes, 15 * 60 + 48);
    cell.latestKey = "11291520";
    l = boardLiveness(cell, at(15, 25), 30, 5);
    EXPECT_EQ(l.ageMinutes, 5);
    EXPECT_FALSE(l.late);
    EXPECT_TRUE(boardLiveness(cell, at(15, 26), 30, 5).late);
    // Off at post, settled once a finishing place is known.
    l = boardLiveness(cell, at(15, 30), 30, 5);
    EXPECT_EQ(l.phase, BoardPhase::Off);
    EXPECT_FALSE(l.late);
    cell.finish[3] = 1;
    EXPECT_EQ(boardLiveness(cell, at(15, 31), 30, 5).phase, BoardPhase::Settled);
}

TEST(OddsAlerts, NewMarksAndCrossedLevelsOfAConstructedSeries)
{
    TempDir dir;
    // Flat at 15:00, the informed pairs at 15:25: the new time point raises alerts.
    test::storeStudyDay(dir.path(), test::flatTenths, test::markedTenths);
    auto races = archivedRaces(dir.path(), {2004, 5, 16});
    const ArchivedRace& race = races.at(2);
    const RaceOddsSeries series = RaceOddsSeries::read(race);
    ASSERT_EQ(series.size(), 4u);
    EXPECT_EQ(quinellaPoolYen(series.at(3).o2), 3000000);
    AlertSettings settings;
    settings.paLevel = 1.5;
    const auto alerts = seriesAlerts(race, series, 3, analysisDefaultParams(), settings);
    ASSERT_FALSE(alerts.empty());
    int singular = 0, crossed = 0;
    for (const auto& a : alerts) {
        EXPECT_EQ(a.timeKey, "05161525");
        EXPECT_EQ(a.raceKey, race.raceKey);
        singular += a.kind == OddsAlert::Kind::SingularPair;
        crossed += a.kind == OddsAlert::Kind::PaLevel;
        if (a.kind == OddsAlert::Kind::PaLevel) {
            EXPECT_GE(a.paRatio, 1.5);
        }
    }
    EXPECT_GT(singular, 0);
    EXPECT_GT(crossed, 0);
    EXPECT_NE(alerts[0].text().find("15:25"), std::string::npos);

    // The race's first fetch (nothing known before) compares only its newest point:
    // the same alerts, none of the earlier, flat points.
    const auto first = seriesAlerts(race, series, 0, analysisDefaultParams(), settings);
    ASSERT_EQ(first.size(), alerts.size());
    for (const auto& a : first)
        EXPECT_EQ(a.timeKey, "05161525");
    // From the second point on, an earlier change is announced as well.
    EXPECT_GT(seriesAlerts(race, series, 1, analysisDefaultParams(), settings).size(),
              first.size());

    // Switched off, nothing is said; a time point like the one before says nothing.
    AlertSettings off{false, false, 0};
    off.oddsDrop = false;
    EXPECT_TRUE(seriesAlerts(race, series, 3, analysisDefaultParams(), off).empty());
    TempDir same;
    test::storeStudyDay(same.path(), test::markedTenths, test::markedTenths);
    const ArchivedRace steady = archivedRaces(same.path(), {2004, 5, 16}).at(2);
    EXPECT_TRUE(
        seriesAlerts(steady, RaceOddsSeries::read(steady), 3, analysisDefaultParams(), settings)
            .empty());
}

TEST(OddsAlerts, SharpFallsByBandAboveTheFloor)
{
    OddsArrays before, after;
    auto win = [&](int horse, double was, double now) {
        before.TanOdds[static_cast<size_t>(horse)] = was;
        after.TanOdds[static_cast<size_t>(horse)] = now;
    };
    auto pair = [&](int i, int j, double was, double now) {
        before.UmarenOdds[static_cast<size_t>(umarenPairNumber(i, j))] = was;
        after.UmarenOdds[static_cast<size_t>(umarenPairNumber(i, j))] = now;
    };
    // Win bands: below 10 needs 20 %, 10 to 30 needs 30 %, 30 and up 40 %; 0.3 at least.
    win(1, 5.0, 3.9);   // 22 %: news
    win(2, 5.0, 4.1);   // 18 %
    win(3, 1.4, 1.1);   // 21 % and 0.3: news
    win(4, 1.3, 1.1);   // 15 %
    win(5, 20.0, 13.0); // 35 %: news
    win(6, 20.0, 15.0); // 25 %
    win(7, 50.0, 28.0); // 44 %: news
    win(8, 50.0, 32.0); // 36 %
    win(9, 999.9, 5.0); // from no votes: no odds to fall from
    win(10, 8.0, 12.0); // a rise
    win(11, 6.0, -1.0); // gone from the file
    // Quinella bands: below 30 needs 25 %, 30 to 100 needs 35 %, 100 and up 45 %; 1.0 at least.
    pair(1, 2, 40.0, 25.0);   // 37.5 %: news
    pair(1, 3, 40.0, 27.0);   // 32.5 %
    pair(2, 3, 20.0, 14.0);   // 30 %: news
    pair(2, 4, 2.0, 1.4);     // 30 % but 0.6 under the floor
    pair(3, 4, 9999.9, 50.0); // from no votes
    pair(5, 6, 300.0, 160.0); // 47 %: news
    AlertSettings settings;
    const auto alerts = compareOdds(before, after, settings);
    std::vector<std::string> said;
    for (OddsAlert a : alerts) {
        a.raceText = "阪神 11R";
        a.timeKey = "12061452";
        said.push_back(a.text());
    }
    EXPECT_EQ(said, (std::vector<std::string>{
                        "阪神 11R 14:52 単勝 1番 5.0→3.9（-22%）",
                        "阪神 11R 14:52 単勝 3番 1.4→1.1（-21%）",
                        "阪神 11R 14:52 単勝 5番 20.0→13.0（-35%）",
                        "阪神 11R 14:52 単勝 7番 50.0→28.0（-44%）",
                        "阪神 11R 14:52 馬連  1- 2 40.0→25.0（-38%）",
                        "阪神 11R 14:52 馬連  2- 3 20.0→14.0（-30%）",
                        "阪神 11R 14:52 馬連  5- 6 300.0→160.0（-47%）",
                    }));
    // A higher floor silences the short-odds fall; switched off, nothing is said.
    settings.winDrop.floor = 0.5;
    EXPECT_EQ(compareOdds(before, after, settings).size(), alerts.size() - 1);
    settings.oddsDrop = false;
    EXPECT_TRUE(compareOdds(before, after, settings).empty());
}

TEST(OddsAlerts, TheDayLogGrows)
{
    TempDir dir;
    const DayName day{2026, 12, 6};
    appendAlertLog(dir.path(), day, {"a ☆ 3番"});
    appendAlertLog(dir.path(), day, {"b", "c"});
    EXPECT_EQ(readLinesText(alertLogFile(dir.path(), day)),
              (std::vector<std::string>{"a ☆ 3番", "b", "c"}));
    EXPECT_EQ(alertLogFile(dir.path(), day).filename().string(), "2026年12月06日.txt");
}

TEST(AlertAnnouncement, TheStatusLineNamesTheLastAndTheBodyTheFirstFive)
{
    EXPECT_TRUE(alertAnnouncement({}).statusLine.empty());
    std::vector<OddsAlert> alerts;
    for (int h = 1; h <= 7; ++h) {
        OddsAlert a;
        a.kind = OddsAlert::Kind::Tokusho;
        a.raceText = "東京 11R";
        a.timeKey = "05161500";
        a.horse = h;
        alerts.push_back(a);
    }
    const AlertAnnouncement one = alertAnnouncement({alerts.front()});
    EXPECT_EQ(one.body, alerts.front().text());
    EXPECT_EQ(one.statusLine, "アラート 1件: " + alerts.front().text());
    const AlertAnnouncement seven = alertAnnouncement(alerts);
    EXPECT_EQ(seven.statusLine, "アラート 7件: " + alerts.back().text());
    EXPECT_EQ(std::count(seven.body.begin(), seven.body.end(), '\n'), 5);
    EXPECT_NE(seven.body.find(alerts[4].text()), std::string::npos);
    EXPECT_EQ(seven.body.find(alerts[5].text()), std::string::npos);
    EXPECT_NE(seven.body.find("ほか 2件（アラートログ）"), std::string::npos);
}

} // namespace
} // namespace sorvantix
