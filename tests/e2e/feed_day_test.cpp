#include "core/app/recording_person.h"
#include "core/app/suisho_table_model.h"
#include "core/app/temp_dir.h"
#include "core/app/workbench.h"
#include "core/odds/odds_files.h"
#include "core/store/race_card_files.h"
#include "core/store/racing_codes.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/text_file.h"
#include "feed/feed_writer.h"
#include "feed_import.h"
#include "folder_listing.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::RecordingPerson;
using sorvantix::test::TempDir;
namespace fs = std::filesystem;

using sorvantix::test::importFeed;
using sorvantix::test::sortedFiles;

namespace {

// The generated Sunday 2026-11-29 (seed 7), imported into a fresh application folder.
class FeedDay : public testing::Test
{
protected:
    FeedDay()
    {
        app.createFolders();
        test::importGeneratedSunday(dir.path() / "feed", app.root());
    }

    TempDir dir;
    AppDir app{dir.path() / "app"};
    RecordingPerson person;
    SettableClock clock{LocalDateTime{2026, 11, 30, 9, 0, 0}};
    Workbench wb{app, person, clock};
};

} // namespace

TEST_F(FeedDay, EveryGeneratedRaceCanBeAnalysed)
{
    wb.MakeDataListBtnClick();
    ASSERT_EQ(wb.state().DateCombo, std::vector<std::string>{"2026年11月29日"});
    wb.DateComboChange(0);
    const auto& s = wb.state();
    ASSERT_GE(s.DatList.size(), 24u);

    int racesWithMarks = 0;
    for (int i = 0; i < static_cast<int>(s.DatList.size()); ++i) {
        wb.DatListClick(i);
        ASSERT_TRUE(s.Panel3Visible) << s.DatList[static_cast<size_t>(i)].text;
        int runners = fieldInt(s.store.RaRecs[static_cast<size_t>(s.SelectedRace)], 882, 2);
        EXPECT_EQ(s.display.StringGrid1.rowCount(), runners + 1);
        // The ranks of the runners are a permutation of 1..runners.
        std::vector<int> ranks;
        for (int h = 1; h <= runners; ++h)
            ranks.push_back(s.analysis.ShareRank[static_cast<size_t>(h)]);
        std::sort(ranks.begin(), ranks.end());
        for (int k = 0; k < runners; ++k)
            EXPECT_EQ(ranks[static_cast<size_t>(k)], k + 1);
        EXPECT_GT(s.analysis.KasenRate, 0.0);
        // Results were fetched with the cards: somebody won.
        EXPECT_NE(std::count(s.results.FinishPos.begin(), s.results.FinishPos.end(), 1), 0);
        bool marked = false;
        for (int h = 1; h <= runners; ++h)
            marked = marked || s.analysis.SuishoMark[static_cast<size_t>(h)] != 0;
        racesWithMarks += marked ? 1 : 0;
    }
    EXPECT_GT(racesWithMarks, 0);
    EXPECT_TRUE(person.messages.empty()) << person.messages.front();

    // The batch, which shows none of the races it goes through, writes the same
    // recommended-horse files as showing each race did (the same time points: the
    // latest at or before the default time).
    std::vector<std::pair<std::string, std::string>> shown;
    for (const auto& file : sortedFiles(app.suishoDir()))
        shown.emplace_back(file.filename().string(), readFileBytes(file));
    ASSERT_FALSE(shown.empty());
    for (const auto& [name, bytes] : shown)
        std::filesystem::remove(app.suishoDir() / name);
    wb.M1Click();
    EXPECT_TRUE(person.messages.empty());
    std::vector<std::pair<std::string, std::string>> batched;
    for (const auto& file : sortedFiles(app.suishoDir()))
        batched.emplace_back(file.filename().string(), readFileBytes(file));
    EXPECT_EQ(batched, shown);
}

// The reports of a generated day agree with the analysis they come from: every hit is
// one of its race's bets with the payout the record holds, the table shows the marks
// the analysis set, and the chart's last point is the analysis of the last time point.
TEST_F(FeedDay, ReportsAgreeWithTheAnalysis)
{
    wb.MakeDataListBtnClick();
    wb.DateComboChange(0);
    const auto& s = wb.state();

    // Hits: each line names a race, a bet of that race and the payout of the record.
    std::vector<std::string> expected;
    for (int i = 0; i < static_cast<int>(s.DatList.size()); ++i) {
        ASSERT_TRUE(wb.DatListClick(i).isDone());
        const std::string venueRace = s.title.BashoLabel + format("%2s", s.title.RaceLabel.c_str());
        auto add = [&](const std::string& bet) {
            if (trimmed(bet).empty())
                return;
            for (size_t q = 1; q < s.results.QuinellaResult.size(); ++q)
                if (s.results.QuinellaResult[q].text == bet &&
                    s.results.QuinellaResult[q].payout > 0)
                    expected.push_back(venueRace + "R[馬連　]：　" + bet +
                                       format("/配当 %7d円", s.results.QuinellaResult[q].payout));
            for (size_t w = 1; w < s.results.WideResult.size(); ++w)
                if (s.results.WideResult[w].text == bet && s.results.WideResult[w].payout > 0)
                    expected.push_back(venueRace + "R[ワイド]：　" + bet +
                                       format("/配当 %7d円", s.results.WideResult[w].payout));
        };
        for (size_t k = 1; k < s.analysis.KaiRenHon.size(); ++k)
            add(s.analysis.KaiRenHon[k]);
        for (size_t k = 1; k < s.analysis.KaiRenChuAna.size(); ++k)
            add(s.analysis.KaiRenChuAna[k]);
        for (size_t k = 1; k < s.analysis.KaiRenOoAna.size(); ++k)
            add(s.analysis.KaiRenOoAna[k]);
    }
    ASSERT_GE(expected.size(), 2u) << "the generated day should have hits";
    ASSERT_TRUE(wb.TekiAnaBtnClick(TekiButton::TekiAnaBtn).isDone());
    const auto& lines = wb.lastHitRun().lines;
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i] << "\n" << expected[i];

    // The chart of the selected race (the day's last) at its last time point.
    ASSERT_TRUE(wb.TimeComboChange(static_cast<int>(s.TimeCombo.size()) - 1).isDone());
    const ChartView& chart = s.chart.view();
    ASSERT_FALSE(chart.RadioGroup1.empty());
    const int h = std::stoi(chart.RadioGroup1[0].substr(0, 2));
    EXPECT_EQ(s.analysis.ShareRank[static_cast<size_t>(h)], 1);
    for (int i = 1; i <= 18; ++i) {
        const ChartSeries& series = chart.series[static_cast<size_t>(i - 1)];
        if (!series.inLegend)
            continue;
        const int p = umarenPairNumber(std::min(h, i), std::max(h, i));
        EXPECT_NEAR(series.points.back().y, s.analysis.PairPaRatio[static_cast<size_t>(p)], 1e-9)
            << series.title;
    }

    // The table of the last race's day and venue: its row holds the analysis's marks.
    SuishoTableModel table(app.suishoDir());
    ASSERT_TRUE(table.open());
    const std::string wanted = s.DateCombo[0] + s.title.BashoLabel;
    const auto& files = table.files();
    auto file = std::find(files.begin(), files.end(), wanted);
    ASSERT_NE(file, files.end()) << wanted;
    table.ListBox1Click(static_cast<int>(file - files.begin()));
    EXPECT_TRUE(table.warnings().empty());
    const int race = std::stoi(s.title.RaceLabel);
    for (int horse = 1; horse <= 18; ++horse) {
        const size_t k = static_cast<size_t>(horse);
        const int mark = s.analysis.TokushoMark[k] ? 2 : s.analysis.SuishoMark[k] ? 1 : 0;
        EXPECT_EQ(table.mark(race, horse), mark) << "horse " << horse;
        if (mark) {
            EXPECT_EQ(table.rank(race, horse), s.analysis.ShareRank[k]);
        }
    }
}
