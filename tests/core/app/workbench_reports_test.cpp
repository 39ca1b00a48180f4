#include "core/app/log_person.h"
#include "core/app/recording_person.h"
#include "core/app/report_day.h"
#include "core/app/settings_keys.h"
#include "core/app/suisho_table_model.h"
#include "core/app/temp_dir.h"
#include "core/app/workbench.h"
#include "core/results/hit_report.h"
#include "core/text/cp932.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::RecordingPerson;
using sorvantix::test::ReportPayouts;
using sorvantix::test::TempDir;

namespace fs = std::filesystem;

namespace {

// Expected files in tests/data/reports were written by hand from the payouts below and
// the bets of the day's analysis (race 1: 本命 2-3, 中穴 2-5 2-4 2-7, 大穴 4-5 5-7 4-7;
// race 3: 中穴 1-4; race 11: 本命 1-2 1-3 2-3, 中穴 1-6 1-8, 大穴 6-8). To refresh one,
// work the lines out again from the hit rules; never copy the program's output.
std::string golden(const std::string& name)
{
    return readFileBytes(fs::path(TEST_DATA_DIR) / "reports" / name);
}

const std::map<int, ReportPayouts> kPayouts{
    {1, {{{"0203", 1230}, {"0405", 5010}}, {{"0203", 480}, {"0205", 5600}, {"0305", 7200}}}},
    {3, {{{"0104", 5000}}, {{"0104", 3000}}}},
    {11, {{{"0608", 15400}}, {{"0608", 5010}, {"0106", 3010}, {"0108", 2990}}}},
};

class WorkbenchReportsTest : public testing::Test
{
protected:
    Workbench& openDay(const std::map<int, ReportPayouts>& payouts = kPayouts)
    {
        app.createFolders();
        test::storeReportDay(dir.path(), payouts);
        bench = std::make_unique<Workbench>(app, person, clock);
        bench->MakeDataListBtnClick();
        bench->DateComboChange(0);
        return *bench;
    }
    fs::path pageFile() const { return app.hpUploadDir() / "TK20040516.txt"; }
    fs::path logFile() const { return app.hpUploadDir() / "Rezovuro.txt"; }

    TempDir dir;
    AppDir app{dir.path()};
    RecordingPerson person;
    SettableClock clock{LocalDateTime{2004, 5, 17, 10, 0, 0}};
    std::unique_ptr<Workbench> bench;
};

} // namespace

TEST_F(WorkbenchReportsTest, HitPagesAndTheLogOfTwoRunsMatchTheHandWrittenFiles)
{
    Workbench& wb = openDay();
    ASSERT_TRUE(wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn).isDone());
    EXPECT_EQ(readFileBytes(pageFile()), golden("hits-teki-page.txt"));
    ASSERT_EQ(person.opened, std::vector<fs::path>{pageFile()});
    ASSERT_EQ(person.clipboard.size(), 1u);
    EXPECT_EQ(person.clipboard[0], fromCp932(golden("hits-teki-page.txt")));
    EXPECT_EQ(wb.lastHitRun().lines.size(), 10u);
    // The report selected every race; the race shown before is shown again.
    EXPECT_EQ(wb.state().DatListIndex, 0);
    EXPECT_TRUE(wb.state().Panel3Visible);

    EXPECT_EQ(readFileBytes(logFile()), golden("hits-log-teki.txt"));
    EXPECT_FALSE(wb.lastHitRun().pageReplaced);

    // A second click changes nothing: the log keeps one copy of the day's lines.
    ASSERT_TRUE(wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn).isDone());
    EXPECT_EQ(readFileBytes(logFile()), golden("hits-log-teki.txt"));
    EXPECT_TRUE(wb.lastHitRun().pageReplaced);

    ASSERT_TRUE(wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn2).isDone());
    // The page holds only the last run, and the log the last run's lines of the day; the
    // replaced page is said.
    EXPECT_EQ(readFileBytes(pageFile()), golden("hits-ana-page.txt"));
    EXPECT_EQ(readFileBytes(logFile()), golden("hits-log-two-runs.txt"));
    EXPECT_TRUE(wb.lastHitRun().pageReplaced);
    EXPECT_EQ(wb.state().DLlabel, "TK20040516.txt を置き換えました");
    EXPECT_EQ(person.clipboard.size(), 3u);
    EXPECT_TRUE(person.messages.empty());
}

TEST(HitLog, ADayRunAgainReplacesItsLinesWhereTheyStood)
{
    const std::vector<std::string> log{"title", "20040515a", "20040516old1", "20040516old2",
                                       "20040517c"};
    EXPECT_EQ(replaceDayInHitLog(log, "20040516", {"20040516new"}),
              (std::vector<std::string>{"title", "20040515a", "20040516new", "20040517c"}));
    EXPECT_EQ(replaceDayInHitLog(log, "20040518", {"20040518x", "20040518y"}),
              (std::vector<std::string>{"title", "20040515a", "20040516old1", "20040516old2",
                                        "20040517c", "20040518x", "20040518y"}));
    // A day with no hits left loses its lines; the first line is never the day's.
    EXPECT_EQ(replaceDayInHitLog({"20040516 title"}, "20040516", {}),
              (std::vector<std::string>{"20040516 title"}));
    EXPECT_EQ(replaceDayInHitLog(log, "20040516", {}),
              (std::vector<std::string>{"title", "20040515a", "20040517c"}));
}

TEST_F(WorkbenchReportsTest, OneHitWritesNothingAndLeavesTheClipboard)
{
    Workbench& wb = openDay({{11, {{{"0608", 15400}}, {}}}});
    Outcome outcome = wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn);
    EXPECT_EQ(outcome.kind, Outcome::Kind::NothingToDo);
    EXPECT_EQ(wb.lastHitRun().lines.size(), 1u);
    EXPECT_FALSE(wb.lastHitRun().written);
    EXPECT_FALSE(fs::exists(app.hpUploadDir()));
    EXPECT_TRUE(person.clipboard.empty());
    EXPECT_TRUE(person.opened.empty());
}

// A race that cannot be analysed keeps the race before's bets and results in the
// state; it must not repeat that race's hits under its own name.
TEST_F(WorkbenchReportsTest, ARaceWithoutOddsAddsNoHitsOfTheRaceBefore)
{
    Workbench& wb = openDay();
    fs::remove(oddsFilePath(dir.path(), test::reportRaceKey(11), kO1Extension));
    ASSERT_TRUE(wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn).isDone());
    EXPECT_EQ(wb.lastHitRun().skippedRaces, 1);
    for (const auto& line : wb.lastHitRun().lines)
        EXPECT_EQ(line.find("東京11R"), std::string::npos) << line;
    EXPECT_EQ(wb.lastHitRun().lines.size(), 6u);
}

TEST_F(WorkbenchReportsTest, AFolderThatCannotBeMadeStopsTheRunWithItsName)
{
    Workbench& wb = openDay();
    writeFileAtomic(app.hpUploadDir(), "not a folder");
    Outcome outcome = wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn);
    ASSERT_TRUE(outcome.failed());
    EXPECT_NE(outcome.message.find("HPupload"), std::string::npos) << outcome.message;
    EXPECT_TRUE(person.clipboard.empty());
    EXPECT_TRUE(person.opened.empty());
    EXPECT_EQ(readFileBytes(app.hpUploadDir()), "not a folder");
}

// What cannot be read or written is named; nothing after it is published, and the
// log stays as it was.
TEST_F(WorkbenchReportsTest, AnUnusableFileStopsTheRunWithItsName)
{
    Workbench& wb = openDay();
    fs::create_directories(logFile()); // a folder where the log should be
    Outcome outcome = wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn);
    ASSERT_TRUE(outcome.failed());
    EXPECT_NE(outcome.message.find("Rezovuro.txt"), std::string::npos) << outcome.message;
    EXPECT_FALSE(fs::exists(pageFile()));
    fs::remove(logFile());

    fs::create_directories(pageFile());
    outcome = wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn);
    ASSERT_TRUE(outcome.failed());
    EXPECT_NE(outcome.message.find("TK20040516.txt"), std::string::npos) << outcome.message;
    EXPECT_FALSE(fs::exists(logFile()));
    EXPECT_TRUE(person.clipboard.empty());
    EXPECT_TRUE(person.opened.empty());
    EXPECT_FALSE(wb.lastHitRun().written);
}

// Race 3 (four runners, 2004) is charted from the bracket-quinella odds; its pair
// shares 25, 15, 10, 10, 5, 3 give the ratios worked out by hand.
TEST_F(WorkbenchReportsTest, RaceSelectionBuildsTheChartOfTheFirstHorse)
{
    Workbench& wb = openDay();
    std::vector<Parts> heard;
    wb.addListener([&](Parts parts) { heard.push_back(parts); });
    ASSERT_TRUE(wb.DatListClick(1).isDone());
    const ChartView& chart = wb.state().chart.view();
    EXPECT_FALSE(wb.state().UseUmaren);
    EXPECT_EQ(chart.RadioGroup1, (std::vector<std::string>{" 1番", " 2番", " 3番", " 4番"}));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_TRUE(heard[0].has(Part::Chart));

    ASSERT_TRUE(wb.RadioGroup1Click(2).isDone());
    std::vector<std::string> expected = splitLines(golden("chart-race3-pairs.txt"));
    std::vector<std::string> shown = [&] {
        wb.RadioGroup1Click(0);
        auto first = wb.state().chart.view().pairList;
        wb.RadioGroup1Click(2);
        first.push_back("");
        for (const auto& line : wb.state().chart.view().pairList)
            first.push_back(line);
        return first;
    }();
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(chart.series[2].points.size(), 0u); // horse 3 is not its own partner
    EXPECT_EQ(chart.series[3].points.size(), 2u);
    EXPECT_EQ(chart.series[3].points[1].label, "09:20");
    EXPECT_EQ(wb.RadioGroup1Click(4).kind, Outcome::Kind::NothingToDo);
}

TEST_F(WorkbenchReportsTest, AxisAndMarkerChoicesAreSavedAndRestored)
{
    Workbench& wb = openDay();
    EXPECT_EQ(wb.state().chart.view().axis, ChartAxis::Log);
    EXPECT_TRUE(wb.state().chart.view().markers);
    wb.RadioGroup2Click(1);
    wb.RadioGroup3Click(1);
    EXPECT_EQ(wb.state().chart.view().axis, ChartAxis::Linear);
    // A later race selection keeps the choice instead of resetting it.
    wb.DatListClick(0);
    EXPECT_EQ(wb.state().chart.view().axis, ChartAxis::Linear);
    EXPECT_EQ(readSetting(wb.ini(), settings::kGraphAxis), 1);
    EXPECT_EQ(readSetting(wb.ini(), settings::kGraphMarker), 1);

    Workbench again(app, person, clock);
    EXPECT_EQ(again.state().chart.view().axis, ChartAxis::Linear);
    EXPECT_FALSE(again.state().chart.view().markers);
}

TEST_F(WorkbenchReportsTest, ARaceWithoutOddsHasAnEmptyChart)
{
    Workbench& wb = openDay();
    ASSERT_FALSE(wb.state().chart.view().RadioGroup1.empty());
    fs::remove(oddsFilePath(dir.path(), test::reportRaceKey(1), kO1Extension));
    wb.DatListClick(0);
    EXPECT_TRUE(wb.state().chart.view().RadioGroup1.empty());
    for (const auto& s : wb.state().chart.view().series)
        EXPECT_TRUE(s.points.empty());
}

// The file and the expected text were both written by hand (tests/data/reports).
TEST(SuishoTableText, AHandWrittenFileShowsAsTheHandWrittenTable)
{
    TempDir dir;
    const fs::path suisho = dir.path() / "Suisho";
    fs::create_directories(suisho);
    const std::string name = "2004年05月16日東京.sei";
    fs::copy_file(fs::path(TEST_DATA_DIR) / "reports" / name, suisho / name);
    SuishoTableModel model(suisho);
    ASSERT_TRUE(model.open());
    EXPECT_TRUE(model.warnings().empty());
    EXPECT_EQ(suishoTableText(model),
              readFileBytes(fs::path(TEST_DATA_DIR) / "reports" / "suisho-table.txt"));
}

TEST_F(WorkbenchReportsTest, PrintingNeedsAShownAnalysis)
{
    app.createFolders();
    Workbench wb(app, person, clock);
    PrintPage page;
    page.width = 1;
    Outcome refused = wb.P1Click(page);
    ASSERT_TRUE(refused.failed());
    EXPECT_EQ(person.messages, std::vector<std::string>{"データを読み込んでください。"});
    EXPECT_EQ(person.beeps, 1);
    EXPECT_EQ(page.width, 1);

    Workbench& day = openDay();
    ASSERT_TRUE(day.DatListClick(2).isDone());
    ASSERT_TRUE(day.P1Click(page).isDone());
    auto textAt = [&](int x, int y) {
        for (const auto& item : page.items)
            if (item.kind == PageItem::Kind::Text && item.x1 == x && item.y1 == y)
                return item.text;
        return std::string();
    };
    // Race 11, ten runners: the quinella 6-8 (15400) is the long-shot bet's hit.
    EXPECT_EQ(textAt(105, 275), "11");
    EXPECT_EQ(textAt(100, 195), "東京");
    EXPECT_EQ(textAt(220, 465), " 6- 8[   15400]");
    EXPECT_EQ(textAt(1570, 2350), "◎");
    EXPECT_EQ(textAt(1600, 2350), " 6- 8");
    EXPECT_EQ(textAt(350, 220), day.state().title.TitleLabel1);
}
