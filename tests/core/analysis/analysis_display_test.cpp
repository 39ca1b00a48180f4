#include "core/analysis/analysis_display.h"
#include "core/analysis/suisho_file.h"
#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/error.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

class Dir
{
public:
    Dir()
    {
        std::string pattern = (fs::temp_directory_path() / "sorvantix-display-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~Dir() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

std::string raRecord(int raceNo, int runners)
{
    RecordBuilder b(RecordType::RA);
    b.setRaceKey(format("20061224060508%02d", raceNo)).set("registered", runners);
    return b.bytes();
}

int pair(int a, int b)
{
    return UmarenPairNo(format("%2d-%2d", a, b));
}

// One analysis run's inputs, set up by hand.
struct DisplayRun
{
    AnalysisDisplay display;
    AnalysisState state;
    OddsArrays odds;
    RaceResults results;
    std::string ra;

    explicit DisplayRun(int raceNo = 5, int runners = 16) : ra(raRecord(raceNo, runners))
    {
        display.ClearBtnClick(ra, state, odds, results);
        for (int r = 1; r <= runners; ++r)
            odds.TanOdds[r] = 10.0 + r;
    }
    std::string show(const fs::path& dir)
    {
        return display.HyojiBtnClick(ra, state, odds, results, dir);
    }
};

const fs::path kRace5File = "2006年12月24日中山.sei";

} // namespace

TEST(AnalysisDisplay, ClearSizesGridsAndResetsEverything)
{
    Dir dir;
    DisplayRun run(5, 10);
    run.state.KaiRenHon[1] = " 1- 2";
    run.state.KasenRate = 0.5;
    run.state.KaiTanHon = 1;
    run.results.FinishPos[1] = 1;
    run.show(dir.path());
    ASSERT_EQ(run.display.StringGrid8.rowCount(), 2);
    ASSERT_EQ(run.display.KaiTanHonLbl.colour, kFinishFirstColour);

    run.state.KasenRate = 0.3;
    run.display.resultBoxes.box(ResultBoxes::Win, 1).result = " 1";
    run.display.ClearBtnClick(raRecord(6, 12), run.state, run.odds, run.results);
    const AnalysisDisplay& d = run.display;
    EXPECT_EQ(d.StringGrid1.rowCount(), 13);
    EXPECT_EQ(d.StringGrid1.cell(14, 0), "着差");
    EXPECT_EQ(d.StringGrid1.cell(1, 1), "");
    for (const TextGrid* g : {&d.StringGrid2, &d.StringGrid3, &d.StringGrid4, &d.StringGrid5}) {
        EXPECT_EQ(g->rowCount(), 13);
        EXPECT_EQ(g->columnCount(), 13);
        EXPECT_EQ(g->cell(1, 0), "");
        EXPECT_EQ(g->cell(1, 1), "");
    }
    EXPECT_EQ(d.StringGrid8.rowCount(), 2);
    EXPECT_EQ(d.StringGrid8.cell(1, 0), "本命");
    EXPECT_EQ(d.StringGrid8.cell(1, 1), "");
    EXPECT_EQ(d.StringGrid6.cell(1, 0), "大穴");
    EXPECT_EQ(run.state.KaiRenHon[1], "");
    EXPECT_EQ(run.state.KaiTanHon, 0);
    EXPECT_EQ(run.state.KasenRate, 0.3); // the reset leaves it alone
    EXPECT_EQ(run.odds.TanOdds[1], -1.0);
    EXPECT_EQ(run.odds.UmarenOdds[153], -1.0);
    EXPECT_EQ(run.results.FinishPos[1], 0);
    EXPECT_EQ(d.resultBoxes.box(ResultBoxes::Win, 1), ResultBox{});
    EXPECT_EQ(d.KaiTanHonLbl, (FilledLabel{"", kLabelLightYellow}));
    EXPECT_EQ(d.KaiTanOzHonLbl, "");
    EXPECT_EQ(d.KasenLabel, (FilledLabel{"", kLabelLightYellow}));
    EXPECT_EQ(d.HaranLabel, "");

    // A damaged runner count sizes the grids for no runners.
    run.display.ClearBtnClick(std::string("RA"), run.state, run.odds, run.results);
    EXPECT_EQ(d.StringGrid1.rowCount(), 1);
}

TEST(AnalysisDisplay, TableRowsAndRecommendedHorseFile)
{
    Dir dir;
    DisplayRun run(5, 16);
    AnalysisState& s = run.state;
    s.SuishoMark[4] = s.TokushoMark[4] = 1;
    s.ShareRank[4] = 2;
    s.SuishoMark[11] = 1;
    s.ShareRank[11] = 6;
    s.SuishoMark[16] = s.TokushoMark[16] = 1; // marked, but its win odds are not loaded
    run.odds.TanOdds[16] = -1.0;
    run.odds.TanOdds[4] = 3.5;
    s.TanShare[4] = 80 / 3.5;
    s.OverallShare[4] = 0.0512;
    s.PaTop3Sum[4] = 4.95;
    s.PaAllSum[4] = 12.3456;
    s.PaOverOneRate[4] = 0.5;
    s.PaTop3Ratio[4] = 0.8889;
    run.results.FinishPos[4] = 1;
    run.display.StringGrid1.setCell(13, 4, " 1");

    EXPECT_EQ(run.show(dir.path()), "");

    const TextGrid& t = run.display.StringGrid1;
    const std::vector<std::string> row4{"2",      " 4",     "★",  "☆",      "  3.5",
                                        " 22.86", " 5.120", " 2", " 4.950", "12.346",
                                        " 0.500", "  0.89", "",   " 1",     ""};
    for (int c = 0; c < 15; ++c)
        EXPECT_EQ(t.cell(c, 4), row4[static_cast<size_t>(c)]) << "column " << c;
    // No win odds: bracket and number only, no marks, blank fill in 4, 7 and 13.
    EXPECT_EQ(t.cell(0, 16), "8");
    EXPECT_EQ(t.cell(1, 16), "16");
    EXPECT_EQ(t.cell(2, 16), "");
    EXPECT_EQ(t.cell(3, 16), "");
    EXPECT_EQ(t.cell(4, 16), "　");
    EXPECT_EQ(t.cell(7, 16), "　");
    EXPECT_EQ(t.cell(13, 16), "　");
    EXPECT_EQ(t.cell(10, 16), "");
    EXPECT_EQ(t.cell(12, 11), ""); // ratios of 0 are not shown

    const std::string bytes = readFileBytes(dir.path() / kRace5File);
    std::vector<std::string> lines = splitLines(bytes);
    ASSERT_EQ(lines.size(), 61u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i < 20 || i > 23) {
            EXPECT_EQ(lines[i], "") << i;
        }
    }
    EXPECT_EQ(lines[20], " 5R");
    EXPECT_EQ(lines[21], "16\x93\xaa"); // 頭 in CP932
    EXPECT_EQ(lines[22], " 4 211 6");
    EXPECT_EQ(lines[23], " 4 2");
}

TEST(AnalysisDisplay, RecommendedHorseFileKeepsOtherLines)
{
    Dir dir;
    const fs::path file = dir.path() / kRace5File;

    // A shorter file is extended to 61 lines; its own lines stay byte for byte.
    writeFileAtomic(file, " 1R\r\n12\x93\xaa\r\n 3 1\r\n\r\n\xff\xfe\r\n");
    DisplayRun run(5, 16);
    run.show(dir.path());
    std::vector<std::string> lines = readLinesRaw(file);
    ASSERT_EQ(lines.size(), 61u);
    EXPECT_EQ(lines[0], " 1R");
    EXPECT_EQ(lines[2], " 3 1");
    EXPECT_EQ(lines[4], "\xff\xfe");
    EXPECT_EQ(lines[20], " 5R");
    EXPECT_EQ(lines[22], "");

    // Race 12 in a longer file: lines 55..58, the rest (and line 61 on) untouched.
    lines.resize(64, "x");
    writeLinesRaw(file, lines);
    EXPECT_EQ(writeSuishoLines(file, 12, 9, " 9 4", ""), "");
    std::vector<std::string> after = readLinesRaw(file);
    ASSERT_EQ(after.size(), 64u);
    EXPECT_EQ(after[55], "12R");
    EXPECT_EQ(after[56], " 9\x93\xaa");
    EXPECT_EQ(after[57], " 9 4");
    EXPECT_EQ(after[58], "");
    EXPECT_EQ(after[59], lines[59]);
    EXPECT_EQ(after[20], " 5R");
    EXPECT_EQ(after[63], "x");
}

TEST(AnalysisDisplay, RaceNumberWithoutLinesWritesNothingButShowsAll)
{
    for (int raceNo : {13, 0}) {
        Dir dir;
        DisplayRun run(raceNo, 8);
        run.odds.UmarenOdds[pair(1, 2)] = 4.5;
        run.state.KasenRate = 0.7;
        const std::string notice = run.show(dir.path());
        EXPECT_NE(notice.find(std::to_string(raceNo)), std::string::npos) << notice;
        EXPECT_TRUE(fs::is_empty(dir.path()));
        EXPECT_EQ(run.display.StringGrid2.cell(2, 1), "   4.5");
        EXPECT_EQ(run.display.KasenLabel.text, " 70.0 %");
    }
}

TEST(AnalysisDisplay, UnwritableFileEndsTheDisplayAfterTheTable)
{
    Dir dir;
    DisplayRun run(5, 8);
    run.odds.UmarenOdds[pair(1, 2)] = 4.5;
    run.state.KasenRate = 0.7;
    run.state.KaiTanHon = 1;
    EXPECT_THROW(run.show(dir.path() / "missing"), Error);
    EXPECT_EQ(run.display.StringGrid1.cell(4, 1), " 11.0");
    EXPECT_EQ(run.display.StringGrid2.cell(2, 1), "");
    EXPECT_EQ(run.display.StringGrid1.cell(13, 1), ""); // blank fill not reached either
    EXPECT_EQ(run.display.KaiTanHonLbl.text, "");
    EXPECT_EQ(run.display.KasenLabel.text, "");
}

TEST(AnalysisDisplay, SquareGridsAndShareRankGrid)
{
    Dir dir;
    DisplayRun run(5, 10);
    AnalysisState& s = run.state;
    const int p = pair(3, 8);
    run.odds.UmarenOdds[p] = 12.5;
    s.UmarenShare[p] = 6.0;
    s.PairPaRatio[p] = 1.2344;
    s.PairPaRatioRev[p] = 1.2356;
    s.ShareRank[3] = 1;
    s.ShareRank[8] = 2;
    run.show(dir.path());
    const AnalysisDisplay& d = run.display;
    EXPECT_EQ(d.StringGrid4.cell(8, 3), " 1.236"); // row 3, column 8: PairPaRatioRev
    EXPECT_EQ(d.StringGrid4.cell(3, 8), " 1.234"); // row 8, column 3: PairPaRatio
    EXPECT_EQ(d.StringGrid2.cell(8, 3), "  12.5");
    EXPECT_EQ(d.StringGrid2.cell(3, 8), "  12.5");
    EXPECT_EQ(d.StringGrid3.cell(3, 8), "  6.000");
    EXPECT_EQ(d.StringGrid2.cell(4, 3), ""); // unpriced pair
    for (const TextGrid* g : {&d.StringGrid2, &d.StringGrid3, &d.StringGrid4, &d.StringGrid5})
        EXPECT_EQ(g->cell(7, 7), "--");
    EXPECT_EQ(d.StringGrid4.cell(0, 10), "10");
    EXPECT_EQ(d.StringGrid4.cell(10, 0), "10");
    // StringGrid5 by share rank: horse 3 at rank 1, horse 8 at rank 2.
    EXPECT_EQ(d.StringGrid5.cell(0, 1), " 3");
    EXPECT_EQ(d.StringGrid5.cell(2, 0), " 8");
    EXPECT_EQ(d.StringGrid5.cell(1, 2), " 1.234");
    EXPECT_EQ(d.StringGrid5.cell(2, 1), " 1.236");
    EXPECT_EQ(d.StringGrid5.cell(0, 0), ""); // unranked runners take no header
}

TEST(AnalysisDisplay, TopOligopolyRateAndUpsetDegree)
{
    struct Case
    {
        double fraction;
        const char* label;
        const char* degree;
    };
    for (const Case& c : {Case{0.6, " 60.0 %", "波乱度:小"}, Case{0.4, " 40.0 %", "波乱度:大"},
                          Case{0.401, " 40.1 %", "波乱度:中"}, Case{0.0, "", ""},
                          Case{1.0, "100.0 %", "波乱度:小"}}) {
        Dir dir;
        DisplayRun run(5, 8);
        run.state.KasenRate = c.fraction;
        run.show(dir.path());
        EXPECT_EQ(run.display.KasenLabel.text, c.label) << c.fraction;
        EXPECT_EQ(run.display.KasenLabel.colour, kLabelLightYellow);
        EXPECT_EQ(run.display.HaranLabel, c.degree) << c.fraction;
        EXPECT_DOUBLE_EQ(run.display.KasenRate, c.fraction * 100);
        // The state keeps its fraction, so a second display shows the same rate.
        EXPECT_DOUBLE_EQ(run.state.KasenRate, c.fraction);
        run.show(dir.path());
        EXPECT_EQ(run.display.KasenLabel.text, c.label) << c.fraction;
    }
}

TEST(AnalysisDisplay, ReferenceBets)
{
    Dir dir;
    DisplayRun run(5, 12);
    AnalysisState& s = run.state;
    s.KaiTanHon = 3;
    s.KaiTanAan[1] = 9;
    run.odds.TanOdds[3] = 2.2;
    run.results.FinishPos[3] = 2;
    run.results.FinishPos[9] = 5;
    s.KaiRenHon[1] = " 3- 7";
    s.KaiRenHon[2] = " 1- 3";
    s.KaiRenChuAna[1] = " 3- 9";
    run.odds.UmarenOdds[pair(3, 7)] = 8.04;
    run.odds.UmarenOdds[pair(1, 3)] = 123.4;
    run.show(dir.path());
    const AnalysisDisplay& d = run.display;

    EXPECT_EQ(d.KaiTanHonLbl, (FilledLabel{" 3", kFinishSecondColour}));
    EXPECT_EQ(d.KaiTanOzHonLbl, "  2.2");
    EXPECT_EQ(d.KaiTanAanLbl1, (FilledLabel{" 9", kLabelLightYellow}));
    EXPECT_EQ(d.KaiTanOzAanLbl1, " 19.0");
    EXPECT_EQ(d.KaiTanAanLbl2, (FilledLabel{"", kLabelLightYellow}));
    EXPECT_EQ(d.KaiTanOzAanLbl2, "");

    ASSERT_EQ(d.StringGrid8.rowCount(), 3);
    EXPECT_EQ(d.StringGrid8.cell(0, 1), "1");
    EXPECT_EQ(d.StringGrid8.cell(1, 1), " 3- 7");
    EXPECT_EQ(d.StringGrid8.cell(2, 1), "   8.0");
    EXPECT_EQ(d.StringGrid8.cell(0, 2), "2");
    EXPECT_EQ(d.StringGrid8.cell(2, 2), " 123.4");
    EXPECT_EQ(d.StringGrid7.rowCount(), 2);
    EXPECT_EQ(d.StringGrid7.cell(2, 1), "  -1.0"); // pair without loaded odds
    EXPECT_EQ(d.StringGrid6.rowCount(), 2);
    EXPECT_EQ(d.StringGrid6.cell(0, 1), "");
    EXPECT_EQ(d.StringGrid6.cell(1, 0), "大穴");
}
