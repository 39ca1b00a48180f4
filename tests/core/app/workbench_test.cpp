#include "core/analysis/analysis_computation.h"
#include "core/analysis/suisho_params.h"
#include "core/app/recording_person.h"
#include "core/app/settings_keys.h"
#include "core/app/temp_dir.h"
#include "core/app/workbench.h"
#include "core/jvlink/scripted_jv_link.h"
#include "core/odds/odds_files.h"
#include "core/store/card_fixtures.h"
#include "core/store/race_card_files.h"
#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>
#include <thread>

using namespace sorvantix;
using sorvantix::test::RecordingPerson;
using sorvantix::test::TempDir;

namespace {

// A race of the fixture day: key digits, runners, post time.
struct RaceSpec
{
    std::string key; // 16 digits
    int runners;
    int postTime; // hhmm
};

std::string raRecord(const RaceSpec& r)
{
    RecordBuilder b(RecordType::RA);
    b.set("data_kind", "2").set("creation_date", 20261126).setRaceKey(r.key);
    b.set("weekday", "2").set("race_type", "13").set("race_symbol", "000");
    b.set("weight_rule", "3").set("condition_3yo", "016").set("condition_4yo", "010");
    b.set("condition_5yo_up", "010").set("distance", 1600).set("track", "11");
    b.set("post_time", r.postTime).set("registered", r.runners).set("grade", " ");
    return b.bytes();
}

std::string seRecord(const RaceSpec& r, int horse, int finish)
{
    RecordBuilder b(RecordType::SE);
    b.set("data_kind", "7").set("creation_date", 20261130).setRaceKey(r.key);
    b.set("bracket", BracketNo(r.runners, horse)).set("horse_no", horse);
    b.set("finish_pos", finish);
    b.set("race_time", finish == 1 ? 1345 : 0);
    b.set("margin", finish == 2 ? "K  " : "   ");
    return b.bytes();
}

// Win odds of horse h (tenths) and quinella odds of a pair, from a simple strength
// model so the analysis has something to rank.
int winTenths(int h)
{
    return 20 + 15 * h;
}
int pairTenths(int a, int b)
{
    return 30 * (a + b) + 7 * a * b;
}

std::string o1Line(const RaceSpec& r, const std::string& time, bool withBracket = false)
{
    RecordBuilder b(RecordType::O1);
    b.set("data_kind", "0").set("creation_date", 20261129).setRaceKey(r.key);
    b.set("announce_time", time).set("registered", r.runners);
    for (int h = 1; h <= r.runners; ++h) {
        b.set("win_horse", h, h);
        b.set("win_odds", h, winTenths(h));
    }
    if (withBracket) {
        for (int a = 1; a <= r.runners; ++a)
            for (int c = a + 1; c <= r.runners; ++c)
                b.set("bracket_odds", wakurenPairNumber(a, c), pairTenths(a, c));
    }
    std::string s = b.bytes();
    return s.substr(0, s.size() - 2);
}

std::string o2Line(const RaceSpec& r, const std::string& time)
{
    RecordBuilder b(RecordType::O2);
    b.set("data_kind", "0").set("creation_date", 20261129).setRaceKey(r.key);
    b.set("announce_time", time).set("registered", r.runners);
    for (int a = 1; a <= r.runners; ++a)
        for (int c = a + 1; c <= r.runners; ++c) {
            int k = umarenPairNumber(a, c);
            b.set("quinella_pair", k, format("%02d%02d", a, c));
            b.set("quinella_odds", k, pairTenths(a, c));
        }
    std::string s = b.bytes();
    return s.substr(0, s.size() - 2);
}

class WorkbenchTest : public testing::Test
{
protected:
    void SetUp() override { app.createFolders(); }

    void storeRace(const RaceSpec& r, bool results = true)
    {
        storeCardRecord(dir.path(), raRecord(r), CardWriter::Bulk);
        for (int h = 1; h <= r.runners; ++h)
            storeCardRecord(dir.path(), seRecord(r, h, results ? (h % r.runners) + 1 : 0),
                            CardWriter::Bulk);
    }

    // Races 1 and 11 with their odds series announced at `times` (MMDDhhmm).
    void storeTwoRaces(std::initializer_list<const char*> times);

    Workbench& open()
    {
        bench = std::make_unique<Workbench>(app, person, clock);
        bench->MakeDataListBtnClick();
        return *bench;
    }

    TempDir dir;
    AppDir app{dir.path()};
    RecordingPerson person;
    SettableClock clock{LocalDateTime{2026, 12, 1, 10, 0, 0}};
    std::unique_ptr<Workbench> bench;
};

const RaceSpec kRace1{"2026112905050801", 10, 1005};
const RaceSpec kRace11{"2026112905050811", 16, 1540};

void WorkbenchTest::storeTwoRaces(std::initializer_list<const char*> times)
{
    for (const RaceSpec* r : {&kRace1, &kRace11}) {
        storeRace(*r);
        std::vector<std::string> o1, o2;
        for (const char* time : times) {
            o1.push_back(o1Line(*r, time));
            o2.push_back(o2Line(*r, time));
        }
        SaveOddsSeries(dir.path(), o1, kO1Extension);
        SaveOddsSeries(dir.path(), o2, kO2Extension);
    }
}

} // namespace

TEST_F(WorkbenchTest, DayListIsNewestFirstAndNothingIsSelected)
{
    storeRace(kRace1);
    storeRace(RaceSpec{"2026112805050701", 12, 1005});
    Workbench& wb = open();
    EXPECT_EQ(wb.state().DateCombo, (std::vector<std::string>{"2026年11月29日", "2026年11月28日"}));
    EXPECT_EQ(wb.state().DateComboIndex, -1);
}

TEST_F(WorkbenchTest, LoadingADayListsRacesAndComputesAcquisitionTimes)
{
    storeRace(kRace1);
    storeRace(kRace11);
    writeLinesText(app.iniFile(), {"[Time]", "AutoOzGet=30"});
    Workbench& wb = open();
    wb.DateComboChange(0);
    const auto& s = wb.state();
    ASSERT_EQ(s.DatList.size(), 2u);
    EXPECT_EQ(s.DatList[0].text, "東京   5回  8日 1R");
    EXPECT_EQ(s.DatList[1].text, "東京   5回  8日11R");
    EXPECT_EQ(s.store.AutoOddsTime[0], "0935"); // 10:05 - 30, hour truncated
    EXPECT_EQ(s.store.AutoOddsTime[1], "1510");
    EXPECT_EQ(s.store.AutoOddsTime[2], ""); // no race, no time
    EXPECT_TRUE(s.Since2005);
    EXPECT_FALSE(wb.autoControls().AutoResultTimerEnabled); // the clock: 2026-12-01
    EXPECT_EQ(s.UpDown1Max, 1);
    // No odds yet: the selection stops with the notice and no panel.
    EXPECT_EQ(s.Panel1Caption, "当レースはオッズが未取得です。");
    EXPECT_FALSE(s.Panel3Visible);
    EXPECT_EQ(person.beeps, 1);
}

TEST_F(WorkbenchTest, ResultTimerRunsOnlyOnTodaysDay)
{
    storeRace(kRace1);
    clock.set(LocalDateTime{2026, 11, 29, 9, 0, 0});
    writeLinesText(app.iniFile(), {"[Time]", "AutoRdataGet=20"});
    Workbench& wb = open();
    wb.DateComboChange(0);
    EXPECT_TRUE(wb.autoControls().AutoResultTimerEnabled);
    EXPECT_EQ(wb.autoControls().AutoResultIntervalMinutes, 20);
}

TEST_F(WorkbenchTest, SelectingARaceShowsTitlesAndPreselectsTheNearestTimePoint)
{
    storeRace(kRace1);
    // 09:15 of the day before does not qualify; 09:10 and 09:20 tie, the earlier wins.
    SaveOddsSeries(
        dir.path(),
        {o1Line(kRace1, "11280915"), o1Line(kRace1, "11290910"), o1Line(kRace1, "11290920")},
        kO1Extension);
    SaveOddsSeries(
        dir.path(),
        {o2Line(kRace1, "11280915"), o2Line(kRace1, "11290910"), o2Line(kRace1, "11290920")},
        kO2Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    const auto& s = wb.state();
    EXPECT_EQ(s.TimeCombo, (std::vector<std::string>{"11/28 09:15", "11/29 09:10", "11/29 09:20"}));
    EXPECT_EQ(s.TimeComboIndex, 1);
    EXPECT_EQ(s.title.TitleLabel1, "2026年11月29日(日)東京   5回 8日 1R   10.05発走  ");
    EXPECT_EQ(s.title.TitleLabel3.substr(0, 24), "10頭  1600ﾒｰﾄﾙ ");
    EXPECT_EQ(s.title.BashoLabel, "東京");
    EXPECT_EQ(s.title.RaceLabel, "1");
    EXPECT_EQ(s.title.Panel2Colour, kGreen);
    EXPECT_EQ(s.StaticText1, "2026年11月29日東京 5回 8日 1R  10頭");
    EXPECT_EQ(s.BorderLabel4, "09:10");
    EXPECT_TRUE(s.Panel3Visible);
    EXPECT_TRUE(person.messages.empty());

    // The analysis ran on the loaded arrays with the built-in parameters.
    EXPECT_DOUBLE_EQ(s.odds.TanOdds[3], winTenths(3) / 10.0);
    EXPECT_DOUBLE_EQ(s.odds.UmarenOdds[umarenPairNumber(2, 5)], pairTenths(2, 5) / 10.0);
    EXPECT_EQ(s.odds.TanOdds[11], -1.0);
    AnalysisState expected;
    expected.reset();
    computeAnalysis(s.odds, analysisDefaultParams(), expected);
    EXPECT_EQ(s.analysis.ShareRank, expected.ShareRank);
    EXPECT_EQ(s.analysis.ShareRank[1], 1);
    EXPECT_EQ(s.display.StringGrid1.rowCount(), 11);
    EXPECT_EQ(s.display.StringGrid1.cell(1, 1), " 1");
    EXPECT_EQ(s.display.StringGrid1.cell(4, 1), format("%5.1f", winTenths(1) / 10.0));

    // The results were read: horse h finished (h mod 10) + 1, so horse 10 won.
    EXPECT_EQ(s.results.FinishPos[10], 1);
    EXPECT_EQ(s.results.FinishPos[1], 2);

    // Choosing another time point reloads and re-runs.
    wb.TimeComboChange(2);
    EXPECT_EQ(wb.state().BorderLabel4, "09:20");

    // The recommended-horse file of the day and venue holds the race's lines.
    auto sei = readLinesText(app.suishoDir() / "2026年11月29日東京.sei");
    ASSERT_EQ(sei.size(), 61u);
    EXPECT_EQ(sei[0], " 1R");
    EXPECT_EQ(sei[1], "10頭");
}

// The race selection reads its odds file once for the list and the chosen time point;
// a later load reads it anew, so what an acquisition stored meanwhile is seen.
TEST_F(WorkbenchTest, ALaterLoadReadsTheOddsFileAgain)
{
    storeRace(kRace1);
    SaveOddsSeries(dir.path(), {o1Line(kRace1, "11290910")}, kO1Extension);
    SaveOddsSeries(dir.path(), {o2Line(kRace1, "11290910")}, kO2Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    const int pair = umarenPairNumber(2, 5);
    ASSERT_DOUBLE_EQ(wb.state().odds.UmarenOdds[pair], pairTenths(2, 5) / 10.0);

    std::string changed = o2Line(kRace1, "11290910");
    setField(changed, 45 + 13 * (pair - 1), "012345");
    SaveOddsSeries(dir.path(), {changed}, kO2Extension);
    EXPECT_FALSE(wb.ReadOddsBtnClick().failed());
    EXPECT_DOUBLE_EQ(wb.state().odds.UmarenOdds[pair], 1234.5);
}

TEST_F(WorkbenchTest, MissingQuinellaFileStopsTheLoadWithItsMessage)
{
    storeRace(kRace11);
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11291500")}, kO1Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    // The race list needs the quinella file for the time points.
    EXPECT_EQ(wb.state().Panel1Caption, "当レースはオッズが未取得です。");
    EXPECT_TRUE(wb.state().TimeCombo.empty());
}

TEST_F(WorkbenchTest, WinOddsMissingAtTheChosenTimeComeFromTheLatestEarlierAnnouncement)
{
    storeRace(kRace11);
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11290900"), o1Line(kRace11, "11290930")},
                   kO1Extension);
    SaveOddsSeries(
        dir.path(),
        {o2Line(kRace11, "11290900"), o2Line(kRace11, "11290914"), o2Line(kRace11, "11290930")},
        kO2Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    ASSERT_EQ(wb.state().TimeComboIndex, 1); // 09:14 is nearest to 09:15
    const auto& s = wb.state();
    EXPECT_EQ(field(s.store.O1Recs[0], 28, 8), "11290900");
    // The status label is the Workbench's own: DLlabel, heard through the listeners.
    EXPECT_EQ(s.DLlabel, "単勝オッズは 09:00 発表のものです。");
    EXPECT_TRUE(person.statuses.empty());
    EXPECT_GT(s.odds.TanOdds[1], 0);

    // A time point whose win odds are its own says nothing, and the notice of the one
    // before goes.
    wb.TimeComboChange(2);
    EXPECT_EQ(s.DLlabel, "");
    // A status that is not the time point's own stays.
    wb.TimeComboChange(1);
    wb.appendError("ログに書きました");
    wb.TimeComboChange(2);
    EXPECT_EQ(s.DLlabel, "ログに書きました");
}

TEST_F(WorkbenchTest, TheLatestChoiceOpensAtTheLastAnnouncementAndFollowsNewOnes)
{
    storeTwoRaces({"11290910", "11290915", "11291400"});
    Workbench& wb = open();
    wb.DateComboChange(0);
    const auto& s = wb.state();
    EXPECT_EQ(s.TimeComboIndex, 1); // 09:15, the default display time
    ASSERT_TRUE(wb.TimeChoiceClick(1).isDone());
    EXPECT_TRUE(s.LatestTime);
    EXPECT_EQ(s.TimeComboIndex, 2);
    EXPECT_EQ(s.BorderLabel4, "14:00");
    // A new announcement arrives (as a fetch stores it) and the race is shown again.
    storeOddsSeries(dir.path(), kRace1.key, {o1Line(kRace1, "11291430")}, kO1Extension);
    storeOddsSeries(dir.path(), kRace1.key, {o2Line(kRace1, "11291430")}, kO2Extension);
    wb.DatListClick(0);
    EXPECT_EQ(s.TimeComboIndex, 3);
    EXPECT_EQ(s.BorderLabel4, "14:30");
    // The choice is kept for the next start; the batch still takes the default time.
    Workbench again(app, person, clock);
    EXPECT_TRUE(again.state().LatestTime);
    wb.M1Click();
    EXPECT_EQ(s.TimeComboIndex, 3);
    const std::string seiAtDefault = readFileBytes(app.suishoDir() / "2026年11月29日東京.sei");
    wb.TimeChoiceClick(0);
    EXPECT_EQ(s.TimeComboIndex, 1);
    wb.M1Click();
    EXPECT_EQ(readFileBytes(app.suishoDir() / "2026年11月29日東京.sei"), seiAtDefault);
    EXPECT_TRUE(wb.TimeChoiceClick(5).kind == Outcome::Kind::NothingToDo);
}

TEST_F(WorkbenchTest, TheHitReportAndTheBoardKeepOrChooseTheRaceShown)
{
    storeRace(kRace1);
    storeRace(kRace11);
    for (const RaceSpec* r : {&kRace1, &kRace11}) {
        SaveOddsSeries(dir.path(), {o1Line(*r, "11290915"), o1Line(*r, "11291200")}, kO1Extension);
        SaveOddsSeries(dir.path(), {o2Line(*r, "11290915"), o2Line(*r, "11291200")}, kO2Extension);
    }
    Workbench& wb = open();
    wb.DateComboChange(0);
    wb.DatListClick(0);
    wb.TimeComboChange(1);
    wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn);
    // The hit report selected every race at its default time, then put this one back.
    EXPECT_EQ(wb.state().DatListIndex, 0);
    EXPECT_EQ(wb.state().TimeComboIndex, 1);
    // The board opens a race at the announcement it shows.
    ASSERT_TRUE(wb.showRaceAtTime(1, "12:00").isDone());
    EXPECT_EQ(wb.state().DatListIndex, 1);
    EXPECT_EQ(wb.state().BorderLabel4, "12:00");
    // A time the race has no announcement of: its default time point.
    wb.showRaceAtTime(0, "16:40");
    EXPECT_EQ(wb.state().DatListIndex, 0);
    EXPECT_EQ(wb.state().BorderLabel4, "09:15");
}

TEST_F(WorkbenchTest, TheDayAndRaceOfTheLastSessionComeBack)
{
    storeTwoRaces({"11290915"});
    {
        Workbench& wb = open();
        EXPECT_EQ(wb.restoreSelection().kind, Outcome::Kind::NothingToDo); // none kept
        wb.DateComboChange(0);
        wb.DatListClick(1);
        ASSERT_TRUE(wb.rememberSelection().isDone());
    }
    Workbench& next = open();
    EXPECT_EQ(next.racePdfName(), "分析結果.pdf"); // no race yet
    ASSERT_TRUE(next.restoreSelection().isDone());
    EXPECT_EQ(next.state().DateComboIndex, 0);
    EXPECT_EQ(next.state().DatListIndex, 1);
    // A saved page is named after the race.
    EXPECT_EQ(next.racePdfName(), "2026年11月29日東京11R.pdf");
    // A kept race that is gone leaves the day's own choice.
    writeSetting(next.ini(), settings::kLastRace, "2026112905050809");
    Workbench& later = open();
    EXPECT_TRUE(later.restoreSelection().isDone());
    EXPECT_EQ(later.state().DatListIndex, 0);
}

TEST_F(WorkbenchTest, AnOddsFieldThatIsNoNumberLeavesTheStateReset)
{
    storeRace(kRace11);
    std::string bad = o2Line(kRace11, "11290915");
    bad.replace(44 + 13 * 4, 6, "12x456"); // pair 5
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11290915")}, kO1Extension);
    SaveOddsSeries(dir.path(), {bad}, kO2Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_NE(person.messages[0].find("2026112905050811"), std::string::npos);
    EXPECT_NE(person.messages[0].find("11/29 09:15"), std::string::npos);
    EXPECT_NE(person.messages[0].find("馬連 5"), std::string::npos);
    for (int h = 1; h <= 18; ++h)
        EXPECT_EQ(wb.state().odds.TanOdds[static_cast<size_t>(h)], -1.0);
    EXPECT_EQ(wb.state().analysis.ShareRank[1], 0);
    EXPECT_FALSE(wb.state().Panel3Visible);
}

TEST_F(WorkbenchTest, SmallFieldsBefore2005UseBracketQuinellaOdds)
{
    RaceSpec old{"2004053005021101", 8, 1005};
    storeRace(old);
    SaveOddsSeries(dir.path(), {o1Line(old, "05300915", true)}, kO1Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    const auto& s = wb.state();
    EXPECT_FALSE(s.Since2005);
    EXPECT_FALSE(s.UseUmaren);
    EXPECT_EQ(s.TimeCombo, (std::vector<std::string>{"05/30 09:15"}));
    EXPECT_DOUBLE_EQ(s.odds.UmarenOdds[umarenPairNumber(1, 2)], pairTenths(1, 2) / 10.0);
    EXPECT_TRUE(person.messages.empty());
}

TEST_F(WorkbenchTest, BatchNeedsADayAndWritesEveryRacesLines)
{
    storeTwoRaces({"11290915"});
    Workbench& wb = open();
    wb.M1Click();
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0], "データを読み込んでください。");

    wb.DateComboChange(0);
    wb.DatListClick(1);
    wb.M1Click();
    auto sei = readLinesText(app.suishoDir() / "2026年11月29日東京.sei");
    ASSERT_EQ(sei.size(), 61u);
    EXPECT_EQ(sei[50], "11R");
    EXPECT_EQ(sei[51], "16頭");
    // The first race is selected at the end, and then the race shown before again.
    EXPECT_EQ(wb.state().DatListIndex, 1);
    EXPECT_TRUE(wb.state().Panel3Visible);
    EXPECT_EQ(wb.batchSummary(),
              "推奨馬表の一括作成が終わりました: 2レース中 2レースを分析しました。");
}

TEST_F(WorkbenchTest, ArrowsNeedTwoRacesAndSortsKeepTheirButton)
{
    storeRace(kRace11);
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11290915")}, kO1Extension);
    SaveOddsSeries(dir.path(), {o2Line(kRace11, "11290915")}, kO2Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    int before = person.beeps;
    wb.UpDown1Click(0);
    EXPECT_EQ(person.beeps, before);

    wb.SpeedButton1Click(SortButton::WinOdds);
    // Win odds rise with the horse number, so the order stays 1..16.
    EXPECT_EQ(wb.state().display.StringGrid1.cell(1, 1), " 1");
    wb.SpeedButton1Click(SortButton::Top3Pa);
    wb.TimeComboChange(0); // a new run keeps the pressed sort
    EXPECT_EQ(wb.state().pressedSort, SortButton::Top3Pa);
    const TextGrid& g = wb.state().display.StringGrid1;
    for (int row = 2; row < g.rowCount(); ++row)
        EXPECT_GE(g.cell(8, row - 1), g.cell(8, row)) << row;

    std::string copy = wb.ClipBtn1Click("分析表");
    EXPECT_EQ(std::count(copy.begin(), copy.end(), '\n'), 18); // title + header + 16 rows
}

TEST_F(WorkbenchTest, WorkedExampleThroughTheWindowsOperations)
{
    // Three priced pairs only: 1-2 at 2.5, 1-3 at 5.0, 2-3 at 7.5.
    RaceSpec r{"2026112905050805", 3, 1200};
    storeRace(r, false);
    RecordBuilder o1(RecordType::O1);
    o1.set("data_kind", "0").set("creation_date", 20261129).setRaceKey(r.key);
    o1.set("announce_time", "11290915");
    o1.set("win_odds", 1, "0020").set("win_odds", 2, "0030").set("win_odds", 3, "0060");
    RecordBuilder o2(RecordType::O2);
    o2.set("data_kind", "0").set("creation_date", 20261129).setRaceKey(r.key);
    o2.set("announce_time", "11290915");
    o2.set("quinella_odds", umarenPairNumber(1, 2), "000025");
    o2.set("quinella_odds", umarenPairNumber(1, 3), "000050");
    o2.set("quinella_odds", umarenPairNumber(2, 3), "000075");
    auto line = [](const RecordBuilder& b) { return b.bytes().substr(0, b.bytes().size() - 2); };
    SaveOddsSeries(dir.path(), {line(o1)}, kO1Extension);
    SaveOddsSeries(dir.path(), {line(o2)}, kO2Extension);

    Workbench& wb = open();
    wb.DateComboChange(0);
    const auto& s = wb.state();
    const AnalysisState& a = s.analysis;
    ASSERT_TRUE(s.Panel3Visible);
    EXPECT_DOUBLE_EQ(a.UmarenShare[1], 30.0);
    EXPECT_DOUBLE_EQ(a.UmarenShareSum[1], 45.0);
    EXPECT_EQ((std::array<int, 4>{a.ShareRank[1], a.ShareRank[2], a.ShareRank[3], a.ShareRank[18]}),
              (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_EQ(a.ShareRank[4], 18);

    // The analysis table as the window shows it.
    const TextGrid& g = s.display.StringGrid1;
    ASSERT_EQ(g.rowCount(), 4);
    EXPECT_EQ(g.cell(2, 1), "★");
    EXPECT_EQ(g.cell(3, 1), "☆");
    EXPECT_EQ(g.cell(2, 2), "");
    EXPECT_EQ(g.cell(6, 1), "40.909");
    EXPECT_EQ(g.cell(6, 3), "22.727");
    EXPECT_EQ(g.cell(8, 1), " 4.950");
    EXPECT_EQ(g.cell(8, 2), " 4.400");
    EXPECT_EQ(g.cell(8, 3), " 3.850");
    EXPECT_EQ(g.cell(9, 2), " 2.933");
    EXPECT_EQ(g.cell(10, 3), " 1.000");
    EXPECT_EQ(g.cell(11, 2), "  0.89");
    EXPECT_EQ(g.cell(12, 3), "  0.78");
    EXPECT_EQ(g.cell(11, 1), "");
    EXPECT_EQ(s.display.StringGrid4.cell(2, 1), " 1.833"); // pair 1-2 above the diagonal
    EXPECT_EQ(s.display.KaiTanHonLbl.text, " 1");
    EXPECT_EQ(s.display.KaiTanOzHonLbl, "  2.0");
    EXPECT_EQ(s.display.KasenLabel.text, "100.0 %");
    EXPECT_EQ(s.display.HaranLabel, "波乱度:小");
    EXPECT_EQ(s.display.StringGrid8.rowCount(), 2); // no quinella pick: one empty row
    EXPECT_EQ(s.display.StringGrid8.cell(1, 1), "");
}

TEST_F(WorkbenchTest, DamagedDayFilesAreReportedAndTheWholeRacesStillLoad)
{
    storeRace(kRace1);
    storeRace(kRace11);
    std::filesystem::path ra = app.dataDir() / "2026年11月29日.jvRA";
    std::filesystem::resize_file(ra, std::filesystem::file_size(ra) - 100);
    Workbench& wb = open();
    wb.DateComboChange(0);
    const auto& s = wb.state();
    ASSERT_EQ(s.DatList.size(), 1u); // the cut second race is left out
    ASSERT_EQ(s.dayWarnings.size(), 1u);
    EXPECT_NE(s.dayWarnings[0].find("2026年11月29日.jvRA"), std::string::npos);
    EXPECT_EQ(s.DLlabel, s.dayWarnings[0]);
}

namespace sorvantix {
namespace {

TEST_F(WorkbenchTest, ADamagedQuinellaLineIsNoTimePointAndIsSaid)
{
    storeRace(kRace11);
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11290900"), o1Line(kRace11, "11290914")},
                   kO1Extension);
    // The 09:14 line lost ten bytes: read as fixed records, as the odds loading reads
    // them, it is no time point, and the damage is said. Before, it was listed and
    // its quinella odds came from whatever the slot held.
    std::string cut = o2Line(kRace11, "11290914");
    cut.erase(500, 10);
    SaveOddsSeries(dir.path(), {o2Line(kRace11, "11290900"), cut}, kO2Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    ASSERT_EQ(wb.state().TimeCombo, std::vector<std::string>{"11/29 09:00"});
    EXPECT_TRUE(wb.state().Panel3Visible);
    EXPECT_EQ(field(wb.state().store.O2Recs[0], 28, 8), "11290900");
    EXPECT_NE(wb.state().DLlabel.find("壊れています"), std::string::npos) << wb.state().DLlabel;
}

TEST_F(WorkbenchTest, AnnouncementsOfAnotherRaceAreRefused)
{
    storeRace(kRace11);
    const RaceSpec other{"2026112905050812", 16, 1620};
    // The race's files hold another race's announcements (a file copied over).
    SaveOddsSeries(dir.path(), {o1Line(other, "11290914")}, kO1Extension);
    SaveOddsSeries(dir.path(), {o2Line(other, "11290914")}, kO2Extension);
    std::filesystem::rename(oddsFilePath(dir.path(), other.key, kO1Extension),
                            oddsFilePath(dir.path(), kRace11.key, kO1Extension));
    std::filesystem::rename(oddsFilePath(dir.path(), other.key, kO2Extension),
                            oddsFilePath(dir.path(), kRace11.key, kO2Extension));
    Workbench& wb = open();
    wb.DateComboChange(0);
    EXPECT_TRUE(wb.DatListClick(0).failed());
    EXPECT_TRUE(wb.state().TimeCombo.empty());
    EXPECT_FALSE(wb.state().Panel3Visible);
}

TEST_F(WorkbenchTest, OnlyDayNamesAreDaysAndAVanishedDayLeavesNothingBehind)
{
    storeRace(kRace1);
    storeRace(RaceSpec{"2026112805050701", 12, 1005});
    writeFileAtomic(app.dataDir() / "notes.jvRA", "x");
    writeFileAtomic(app.dataDir() / "2026年02月31日.jvRA", "x");
    writeFileAtomic(app.dataDir() / "2026年11月29日 copy.jvRA", "x");
    Workbench& wb = open();
    EXPECT_EQ(wb.state().DateCombo, (std::vector<std::string>{"2026年11月29日", "2026年11月28日"}));
    ASSERT_TRUE(wb.DateComboChange(0).isDone());
    ASSERT_EQ(wb.state().DatList.size(), 1u);

    std::filesystem::remove(app.dataDir() / "2026年11月28日.jvRA");
    Outcome outcome = wb.DateComboChange(1);
    EXPECT_TRUE(outcome.failed());
    EXPECT_TRUE(wb.state().DatList.empty());
    for (const auto& ra : wb.state().store.RaRecs)
        EXPECT_TRUE(trimmed(ra).empty());
    EXPECT_NE(wb.state().DLlabel.find("2026年11月28日.jvRA"), std::string::npos);
}

} // namespace
} // namespace sorvantix

namespace sorvantix {
namespace {

TEST_F(WorkbenchTest, ADamagedFileDuringEachHandlerEndsAsAMessage)
{
    storeRace(kRace11);
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11290914")}, kO1Extension);
    SaveOddsSeries(dir.path(), {o2Line(kRace11, "11290914")}, kO2Extension);
    const auto o2File = oddsFilePath(dir.path(), kRace11.key, kO2Extension);
    const auto hrFile = app.dataDir() / "2026年11月29日.jvHR";
    const auto seiFile = app.suishoDir() / "2026年11月29日東京.sei";
    // A folder where a file should be: reading or replacing it fails.
    auto spoil = [](const std::filesystem::path& p) {
        std::filesystem::remove_all(p);
        std::filesystem::create_directories(p);
    };
    auto heal = [](const std::filesystem::path& p) { std::filesystem::remove_all(p); };
    struct Case
    {
        const char* name;
        std::filesystem::path file;
        std::function<Outcome(Workbench&)> handler;
    };
    const std::vector<Case> cases{
        {"DateComboChange", hrFile, [](Workbench& wb) { return wb.DateComboChange(0); }},
        {"HrReadBtnClick", hrFile, [](Workbench& wb) { return wb.HrReadBtnClick(); }},
        {"DatListClick", o2File, [](Workbench& wb) { return wb.DatListClick(0); }},
        {"HyojiBtnClick", seiFile, [](Workbench& wb) { return wb.HyojiBtnClick(); }},
        {"ReadOddsBtnClick", seiFile, [](Workbench& wb) { return wb.ReadOddsBtnClick(); }},
        {"M1Click", seiFile, [](Workbench& wb) { return wb.M1Click(); }},
    };
    for (const Case& c : cases) {
        Workbench& wb = open();
        ASSERT_TRUE(wb.DateComboChange(0).isDone()) << c.name;
        ASSERT_TRUE(wb.state().Panel3Visible) << c.name;
        person.messages.clear();
        spoil(c.file);
        Outcome outcome = c.handler(wb);
        EXPECT_TRUE(outcome.failed()) << c.name;
        EXPECT_FALSE(person.messages.empty()) << c.name;
        EXPECT_FALSE(outcome.message.empty()) << c.name;
        heal(c.file);
        if (c.file == o2File)
            SaveOddsSeries(dir.path(), {o2Line(kRace11, "11290914")}, kO2Extension);
        // The same Workbench goes on with the file whole again.
        EXPECT_TRUE(wb.DateComboChange(0).isDone()) << c.name;
        EXPECT_TRUE(wb.state().Panel3Visible) << c.name;
    }
}

TEST_F(WorkbenchTest, DisplayingTheSameAnalysisTwiceShowsTheSameRate)
{
    storeRace(kRace11);
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11290914")}, kO1Extension);
    SaveOddsSeries(dir.path(), {o2Line(kRace11, "11290914")}, kO2Extension);
    Workbench& wb = open();
    ASSERT_TRUE(wb.DateComboChange(0).isDone());
    const std::string once = wb.state().display.KasenLabel.text;
    ASSERT_FALSE(once.empty());
    wb.HyojiBtnClick();
    EXPECT_EQ(wb.state().display.KasenLabel.text, once);
    EXPECT_LE(wb.state().display.KasenRate, 100.0);
}

// The race card acquisition queued like the odds: progress arrives on the owner's
// thread, and Cancel stops it in its download phase.
class QueuedCardsTest : public WorkbenchTest
{
protected:
    void connect()
    {
        Workbench& wb = open();
        wb.connectJvLink(&jv, inbox.poster());
    }
    void settle()
    {
        ASSERT_TRUE(inbox.runUntil([&] { return bench->pendingRequests() == 0; },
                                   std::chrono::seconds(30)));
    }
    test::ScriptedJvLink jv;
    TaskInbox inbox;
};

TEST_F(QueuedCardsTest, StoresTheCardsAndReportsTheListAsItGrows)
{
    jv.openResults.push_back({0, 1, 0, "20261129090000"});
    jv.queueRecord(raRecord(kRace11));
    jv.queueRead(jv::kReadEnd);
    connect();
    std::vector<std::string> lines;
    std::optional<CardRunOutcome> end;
    int stored = -1;
    Workbench::CardEvents events;
    events.view = [&](const GetDataFormView& v) {
        lines.insert(lines.end(), v.ListBox1.begin(), v.ListBox1.end());
    };
    events.done = [&](const Workbench::CardRun& run) {
        end = run.outcome;
        stored = run.stored;
    };
    ASSERT_NE(bench->requestCards({true, std::nullopt}, events), 0u);
    // The start message is shown on this thread before the run.
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_NE(person.messages[0].find("データ取込を開始します"), std::string::npos);
    settle();
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, CardRunOutcome::Completed);
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(app.dataDir() / "2026年11月29日.jvRA"));
    EXPECT_EQ(jv.calls.front().substr(0, 11), "JVOpen RACE");
    EXPECT_EQ(jv.calls.front().substr(jv.calls.front().size() - 2), " 3"); // set-up data
}

// On first use the window proposes set-up data; a run the user set to normal data
// opens with option 1 all the same.
TEST_F(QueuedCardsTest, NormalDataChosenOnFirstUseOpensWithOptionOne)
{
    jv.openResults.push_back({0, 1, 0, "20261129090000"});
    jv.queueRead(jv::kReadEnd);
    connect();
    std::optional<CardRunOutcome> end;
    Workbench::CardEvents events;
    events.done = [&](const Workbench::CardRun& run) { end = run.outcome; };
    ASSERT_NE(bench->requestCards({false, std::nullopt}, events), 0u);
    settle();
    ASSERT_TRUE(end);
    EXPECT_EQ(jv.calls.front().substr(jv.calls.front().size() - 2), " 1");
}

TEST_F(QueuedCardsTest, CancelStopsTheDownloadAndClosesTheStream)
{
    jv.openResults.push_back({0, 3, 3, "20261129090000"});
    for (int i = 0; i < 3000; ++i)
        jv.statusResults.push_back(0); // the download never moves on by itself
    connect();
    std::optional<CardRunOutcome> end;
    bool asked = false;
    Workbench::CardEvents events;
    events.view = [&](const GetDataFormView& v) {
        if (v.TimerJVStatusEnabled && !asked) {
            asked = true;
            EXPECT_TRUE(bench->cancelCards().isDone());
        }
    };
    events.done = [&](const Workbench::CardRun& run) { end = run.outcome; };
    ASSERT_NE(bench->requestCards({}, events), 0u);
    settle();
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, CardRunOutcome::Cancelled);
    EXPECT_EQ(person.questions, std::vector<std::string>{std::string(kCardCancelQuestion)});
    EXPECT_NE(std::find(jv.calls.begin(), jv.calls.end(), "JVCancel"), jv.calls.end());
    EXPECT_EQ(jv.calls.back(), "JVClose");
    EXPECT_NE(
        std::find(person.messages.begin(), person.messages.end(), std::string(kCardCancelledText)),
        person.messages.end());
    // Nothing runs any more: a second cancel has nothing to do.
    EXPECT_EQ(bench->cancelCards().kind, Outcome::Kind::NothingToDo);
}

} // namespace
} // namespace sorvantix

namespace sorvantix {
namespace {

TEST_F(WorkbenchTest, FailuresThatUsedToPassAsSuccess)
{
    storeRace(kRace11);
    // An empty quinella file has no time point: no analysis of stale slots.
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11290914")}, kO1Extension);
    writeFileAtomic(oddsFilePath(dir.path(), kRace11.key, kO2Extension), "");
    Workbench& wb = open();
    EXPECT_TRUE(wb.DateComboChange(0).isDone()); // the day itself loads
    Outcome shown = wb.DatListClick(0);
    EXPECT_TRUE(shown.failed());
    EXPECT_NE(shown.message.find(".jvO2"), std::string::npos) << shown.message;
    EXPECT_FALSE(wb.state().Panel3Visible);
    // The batch of a day whose every race fails is a failure, and its summary shows
    // no marks for the race, whatever an earlier run left in the file.
    writeLinesText(app.suishoDir() / "2026年11月29日東京.sei", {"11R", "16頭", " 5 1", " 9 2"});
    EXPECT_TRUE(wb.M1Click().failed());
    ASSERT_EQ(wb.batchRows().size(), 1u);
    EXPECT_FALSE(wb.batchRows()[0].analysed);
    EXPECT_TRUE(wb.batchRows()[0].marks.suisho.empty());
}

TEST_F(WorkbenchTest, FormCreatePreparesTheFolderTheLogAndTheDayList)
{
    storeRace(kRace1);
    Workbench wb(app, person, clock);
    ASSERT_TRUE(wb.FormCreate().isDone());
    EXPECT_TRUE(std::filesystem::is_directory(app.suishoDir()));
    ASSERT_FALSE(wb.errorLog().lines().empty());
    EXPECT_NE(wb.errorLog().lines()[0].find("ソフト起動"), std::string::npos);
    EXPECT_EQ(wb.state().DateCombo, std::vector<std::string>{"2026年11月29日"});

    // A log that cannot be written fails the start-up with a message, and the program
    // can still go on with the day list.
    std::filesystem::remove(app.errorLogFile());
    std::filesystem::create_directories(app.errorLogFile());
    person.messages.clear();
    Workbench broken(app, person, clock);
    EXPECT_TRUE(broken.FormCreate().failed());
    EXPECT_EQ(person.messages.size(), 1u);
    EXPECT_TRUE(broken.MakeDataListBtnClick().isDone());
    EXPECT_EQ(broken.state().DateCombo.size(), 1u);
}

TEST_F(QueuedCardsTest, AResultsFeedOfDamagedRecordsOnlyStoresNothingAndFails)
{
    storeRace(kRace11);
    std::string hr = testing_cards::hr(kRace11.key).bytes();
    jv.queueRecord(hr.substr(0, 300));
    jv.queueRead(jv::kReadEnd);
    connect();
    bench->DateComboChange(0); // the race has no odds: the day loads all the same
    ASSERT_EQ(bench->state().DateComboIndex, 0);
    ASSERT_NE(bench->KekkaGetBtnClick(), 0u);
    settle();
    const DayResultsFetch& fetched = bench->lastResultsFetch();
    EXPECT_TRUE(fetched.ran);
    EXPECT_EQ(fetched.read.stored, 0);
    EXPECT_GT(fetched.read.refused, 0);
    EXPECT_FALSE(fetched.complete());
    EXPECT_FALSE(bench->state().store.HrMerged[static_cast<size_t>(bench->state().SelectedRace)]);
}

TEST_F(QueuedCardsTest, ALongTaskReportsItsProgressItsCancelAndItsFailure)
{
    Workbench& unconnected = open();
    EXPECT_EQ(unconnected.requestTask("検証", [](Progress&, const std::atomic<bool>&) {}), 0u);
    bench.reset();
    connect();
    std::vector<std::string> seen;
    RequestEvents events;
    events.progress = [&](int done, int total) {
        seen.push_back(std::to_string(done) + "/" + std::to_string(total));
    };
    events.done = [&](const RequestOutcome& o) { seen.push_back("end " + o.name); };
    ASSERT_NE(bench->requestTask(
                  "検証",
                  [](Progress& progress, const std::atomic<bool>&) {
                      progress.progress(1, 2);
                      progress.progress(2, 2);
                  },
                  events),
              0u);
    EXPECT_EQ(bench->pendingRequests(), 1);
    settle();
    EXPECT_EQ(seen, (std::vector<std::string>{"1/2", "2/2", "end 検証"}));
    EXPECT_TRUE(person.messages.empty());

    // Cancel reaches the running task through the queue's flag.
    std::atomic<bool> started{false};
    std::optional<RequestOutcome::End> end;
    RequestEvents cancelled;
    cancelled.done = [&](const RequestOutcome& o) { end = o.end; };
    bench->requestTask(
        "書き出し",
        [&](Progress&, const std::atomic<bool>& cancel) {
            started = true;
            for (int i = 0; i < 3000 && !cancel; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        cancelled);
    // Nothing is posted while it waits: look at the flag itself.
    for (int i = 0; i < 10000 && !started; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(started);
    bench->queue()->cancelCurrent();
    settle();
    EXPECT_EQ(end, RequestOutcome::End::Cancelled);

    // A failure is said like a request's, and the task's end says so.
    bench->requestTask(
        "検証", [](Progress&, const std::atomic<bool>&) { throw Error("Dataを読めません"); },
        cancelled);
    settle();
    EXPECT_EQ(end, RequestOutcome::End::Failed);
    EXPECT_EQ(person.messages, std::vector<std::string>{"Dataを読めません"});
    EXPECT_EQ(person.beeps, 1);
}

TEST_F(WorkbenchTest, TheRaceListSaysWhatIsStoredAndTheRacesName)
{
    storeRace(kRace1);
    storeRace(kRace11);
    SaveOddsSeries(dir.path(), {o1Line(kRace11, "11290915")}, kO1Extension);
    Workbench& wb = open();
    wb.DateComboChange(0);
    const auto rows = wb.raceListRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[0].hasOdds);
    EXPECT_TRUE(rows[1].hasOdds);
    EXPECT_FALSE(rows[0].hasResults); // no payouts merged
    for (const auto& row : rows)
        EXPECT_FALSE(row.name.empty()) << row.text;
    // The item texts other code reads stay as they are.
    EXPECT_EQ(rows[0].text, wb.state().DatList[0].text);
}

} // namespace
} // namespace sorvantix
