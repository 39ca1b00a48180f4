// The whole analysis run of the main window on the three-pair worked example:
// reset, results, odds, computation, display, sort, painting, copy.
#include "core/analysis/analysis_computation.h"
#include "core/analysis/analysis_display.h"
#include "core/present/cell_colours.h"
#include "core/present/clipboard_text.h"
#include "core/present/grid_sort.h"
#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/text_file.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace sorvantix;
namespace fs = std::filesystem;

TEST(AnalysisRun, WorkedExampleFromOddsToSortedPaintedTable)
{
    std::string pattern = (fs::temp_directory_path() / "sorvantix-run-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;

    RecordBuilder ra(RecordType::RA);
    ra.setRaceKey("2006122406050811").set("registered", 3);
    std::vector<std::string> se(18, std::string(555, ' '));
    for (auto [horse, pos] : {std::pair{1, 2}, std::pair{2, 1}, std::pair{3, 3}}) {
        RecordBuilder b(RecordType::SE);
        b.set("horse_no", horse).set("finish_pos", pos).set("race_time", "1345");
        b.set("margin", "K  ");
        se[static_cast<size_t>(horse - 1)] = b.bytes();
    }
    RecordBuilder hr(RecordType::HR);
    hr.set("quinella_combo", 1, "0102").set("quinella_popularity", 1, "001");
    hr.set("quinella_payout", 1, "000000250");

    AnalysisDisplay d;
    AnalysisState state;
    OddsArrays odds;
    RaceResults results;
    d.ClearBtnClick(ra.bytes(), state, odds, results);
    d.seiBtnClick(se, hr.bytes(), results);
    odds.TanOdds[1] = 5.0;
    odds.TanOdds[2] = 2.0;
    odds.TanOdds[3] = 3.0;
    odds.UmarenOdds[UmarenPairNo(" 1- 2")] = 2.5;
    odds.UmarenOdds[UmarenPairNo(" 1- 3")] = 5.0;
    odds.UmarenOdds[UmarenPairNo(" 2- 3")] = 7.5;
    computeAnalysis(odds, SuishoParams{}, state);
    EXPECT_EQ(d.HyojiBtnClick(ra.bytes(), state, odds, results, dir), "");

    const TextGrid& t = d.StringGrid1;
    EXPECT_EQ(t.cell(2, 1), "★");
    EXPECT_EQ(t.cell(3, 1), "☆");
    EXPECT_EQ(t.cell(6, 1), "40.909");
    EXPECT_EQ(t.cell(8, 1), " 4.950");
    EXPECT_EQ(t.cell(9, 2), " 2.933");
    EXPECT_EQ(t.cell(11, 3), "  0.78");
    EXPECT_EQ(t.cell(14, 2), "1.34.5");
    EXPECT_EQ(t.cell(14, 1), "クビ");
    EXPECT_EQ(d.StringGrid4.cell(2, 1), " 1.833");
    EXPECT_EQ(d.KaiTanHonLbl, (FilledLabel{" 1", kFinishSecondColour}));
    EXPECT_EQ(d.KasenLabel.text, "100.0 %");
    EXPECT_EQ(d.HaranLabel, "波乱度:小");
    std::vector<std::string> lines = readLinesRaw(dir / "2006年12月24日中山.sei");
    ASSERT_EQ(lines.size(), 61u);
    EXPECT_EQ(lines[50], "11R");
    EXPECT_EQ(lines[52], " 1 1");
    EXPECT_EQ(lines[53], " 1 1");

    TextGrid sorted = t;
    sortAnalysisTable(sorted, SortButton::WinOdds);
    EXPECT_EQ(sorted.cell(1, 1) + sorted.cell(1, 2) + sorted.cell(1, 3), " 2 3 1");
    sortAnalysisTable(sorted, SortButton::HorseNumber);
    EXPECT_EQ(sorted, t);

    EXPECT_EQ(gridCellStyle(1, t, 1, 2, state, results, SortButton::HorseNumber),
              CellStyle::colour(colours::Red));
    EXPECT_EQ(gridCellStyle(1, t, 1, 0, state, results, SortButton::HorseNumber),
              CellStyle::colour(colours::Teal));
    const std::string copied = clipboardText("11R", t);
    EXPECT_EQ(copied.substr(0, 5), "11R\r\n");
    EXPECT_NE(copied.find("\r\n1\t 1\t★\t☆\t  5.0\t 16.00\t40.909\t 1\t"), std::string::npos);
    fs::remove_all(dir);
}
