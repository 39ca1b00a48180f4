#include "core/present/cell_colours.h"
#include "core/store/racing_codes.h"

#include <gtest/gtest.h>

using namespace sorvantix;
namespace c = sorvantix::colours;

namespace {

const CellStyle kInfo{CellStyle::Fill::InfoBackground};

CellStyle rgb(std::uint32_t colour)
{
    return CellStyle::colour(colour);
}

// A square grid of `runners` with headers " 1".." n" (or the given rank order).
TextGrid squareGrid(int runners)
{
    TextGrid g(runners + 1, runners + 1);
    for (int r = 1; r <= runners; ++r) {
        g.setCell(0, r, std::to_string(r).insert(0, r < 10 ? " " : ""));
        g.setCell(r, 0, g.cell(0, r));
        g.setCell(r, r, "--");
    }
    return g;
}

} // namespace

TEST(CellColours, PaGridPickAndBlueText)
{
    struct Case
    {
        bool pick;
        double pa;
        CellStyle::Fill fill;
        std::uint32_t background;
        std::uint32_t text;
    };
    const Case cases[] = {
        {true, 1.6, CellStyle::Fill::Colour, c::Yellow, c::Blue},
        {true, 1.59, CellStyle::Fill::Colour, c::Aqua, c::Blue},
        {true, 1.2999, CellStyle::Fill::Colour, c::Aqua, c::Black},
        {false, 1.3, CellStyle::Fill::InfoBackground, 0, c::Blue},
        {false, 1.2999, CellStyle::Fill::InfoBackground, 0, c::Black},
    };
    for (const Case& k : cases) {
        AnalysisState s;
        RaceResults results;
        const int p = UmarenPairNo(" 3- 8");
        s.PairPick[p] = k.pick;
        s.PairPaRatio[p] = k.pa;
        s.PairPaRatioRev[p] = 9.0; // shown above the diagonal, never used for colour
        TextGrid g = squareGrid(10);
        g.setCell(8, 3, " 1.100");
        g.setCell(3, 8, " 1.000");
        for (auto [col, row] : {std::pair{8, 3}, std::pair{3, 8}}) {
            CellStyle st = paGridCellStyle(g, false, col, row, s, results);
            EXPECT_EQ(st.fill, k.fill) << k.pa;
            if (k.fill == CellStyle::Fill::Colour) {
                EXPECT_EQ(st.background, k.background) << k.pa;
            }
            EXPECT_EQ(st.textColour, k.text) << k.pa;
            EXPECT_TRUE(st.drawText);
        }
    }
}

TEST(CellColours, PaByShareRankReadsHorsesFromHeaders)
{
    AnalysisState s;
    RaceResults results;
    results.FinishPos[7] = 2;
    s.PairPick[UmarenPairNo(" 2- 7")] = 1;
    s.PairPaRatio[UmarenPairNo(" 2- 7")] = 2.0;
    TextGrid g(4, 4); // rank order: horse 7, 2, 5
    for (auto [k, h] : {std::pair{1, " 7"}, std::pair{2, " 2"}, std::pair{3, " 5"}}) {
        g.setCell(0, k, h);
        g.setCell(k, 0, h);
        g.setCell(k, k, "--");
    }
    g.setCell(1, 2, " 2.000");
    g.setCell(2, 1, " 2.010");
    EXPECT_EQ(paGridCellStyle(g, true, 1, 0, s, results), rgb(c::Orange));
    EXPECT_EQ(paGridCellStyle(g, true, 0, 1, s, results), rgb(c::Orange));
    EXPECT_EQ(paGridCellStyle(g, true, 2, 0, s, results), rgb(c::Silver));
    CellStyle hit = paGridCellStyle(g, true, 2, 1, s, results);
    EXPECT_EQ(hit.background, c::Yellow);
    EXPECT_EQ(hit.textColour, c::Blue);
    // StringGrid4 takes the horse from the index instead: column 1 is horse 1.
    EXPECT_EQ(paGridCellStyle(g, false, 1, 0, s, results), rgb(c::Silver));
    CellStyle diag = paGridCellStyle(g, true, 3, 3, s, results);
    EXPECT_EQ(diag.background, c::Grey);
    EXPECT_FALSE(diag.drawText);
    EXPECT_EQ(paGridCellStyle(g, true, 3, 1, s, results), rgb(c::Silver)); // blank
}

TEST(CellColours, SecondPlaceHorseOrangeInTableAndSquareGrids)
{
    RaceResults results;
    results.FinishPos[4] = 2;
    results.FinishPos[1] = 1;
    results.FinishPos[9] = 3;
    TextGrid table(15, 3);
    table.setCell(0, 0, "枠");
    table.setCell(1, 1, " 4");
    table.setCell(1, 2, " 6");
    EXPECT_EQ(analysisTableCellStyle(table, 1, 1, results, SortButton::None), rgb(c::Orange));
    EXPECT_EQ(analysisTableCellStyle(table, 1, 2, results, SortButton::None), kInfo);

    TextGrid g = squareGrid(10);
    g.setCell(4, 1, "  12.5");
    EXPECT_EQ(squareGridCellStyle(g, 4, 0, results), rgb(c::Orange));
    EXPECT_EQ(squareGridCellStyle(g, 0, 4, results), rgb(c::Orange));
    EXPECT_EQ(squareGridCellStyle(g, 1, 0, results), rgb(c::Red));
    EXPECT_EQ(squareGridCellStyle(g, 0, 9, results), rgb(c::Lime));
    EXPECT_EQ(squareGridCellStyle(g, 0, 0, results), rgb(c::Silver));
    EXPECT_EQ(squareGridCellStyle(g, 4, 1, results), kInfo);
    EXPECT_EQ(squareGridCellStyle(g, 5, 1, results), rgb(c::Silver)); // unpriced pair
    CellStyle diag = squareGridCellStyle(g, 4, 4, results);
    EXPECT_EQ(diag.background, c::Grey);
    EXPECT_FALSE(diag.drawText);
    EXPECT_EQ(paGridCellStyle(g, false, 4, 0, AnalysisState{}, results), rgb(c::Orange));
}

TEST(CellColours, AnalysisTableBracketsHeaderAndPlainColumns)
{
    RaceResults results;
    TextGrid t(15, 2);
    t.setCell(0, 0, "枠");
    const std::uint32_t brackets[] = {c::White,  c::Grey, c::Red,    c::Blue,
                                      c::Yellow, c::Lime, c::Orange, c::Fuchsia};
    for (int b = 1; b <= 8; ++b) {
        t.setCell(0, 1, std::to_string(b));
        CellStyle expected = rgb(brackets[b - 1]);
        // The digits of the dark fills (grey, red, blue) are white, the others black.
        if (b >= 2 && b <= 4)
            expected.textColour = c::White;
        EXPECT_EQ(analysisTableCellStyle(t, 0, 1, results, SortButton::None), expected);
    }
    for (const char* text : {"9", "", "x", "0"}) {
        t.setCell(0, 1, text);
        EXPECT_EQ(analysisTableCellStyle(t, 0, 1, results, SortButton::None), CellStyle{});
    }
    EXPECT_EQ(analysisTableCellStyle(t, 6, 0, results, SortButton::OverallShare), rgb(c::Teal));
    EXPECT_EQ(analysisTableCellStyle(t, 7, 0, results, SortButton::OverallShare), rgb(c::Silver));
    EXPECT_EQ(analysisTableCellStyle(t, 1, 0, results, SortButton::None), rgb(c::Silver));
    EXPECT_EQ(analysisTableCellStyle(t, 14, 1, results, SortButton::None), rgb(c::White));
    t.setCell(0, 0, " ");
    EXPECT_EQ(analysisTableCellStyle(t, 6, 0, results, SortButton::OverallShare), rgb(c::Silver));
}

TEST(CellColours, BetGridsHitsAndDiagonals)
{
    RaceResults results;
    results.WideResult[2].text = " 3- 7";
    results.WideResult[5].text = " 5-12";
    results.QuinellaResult[1].text = " 3- 7";
    TextGrid g(3, 4);
    g.setCell(0, 0, "No.");
    g.setCell(1, 0, "本命");
    g.setCell(2, 0, "オッズ");
    g.setCell(1, 1, " 3- 7");
    g.setCell(1, 2, " 5-12");
    g.setCell(1, 3, " 1- 2");
    EXPECT_EQ(betGridCellStyle(g, 1, 1, results), rgb(c::Red)); // quinella beats wide
    EXPECT_EQ(betGridCellStyle(g, 1, 2, results), rgb(c::Fuchsia));
    EXPECT_EQ(betGridCellStyle(g, 1, 0, results), rgb(c::Silver));

    CellStyle miss = betGridCellStyle(g, 1, 3, results);
    EXPECT_EQ(miss.background, c::LightYellow);
    EXPECT_FALSE(miss.diagonal);
    // An empty bet row: a diagonal through each of its three cells.
    TextGrid empty(3, 2);
    const std::uint32_t backgrounds[] = {c::Aqua, c::LightYellow, c::LightPink};
    for (int col = 0; col < 3; ++col) {
        CellStyle st = betGridCellStyle(empty, col, 1, results);
        EXPECT_TRUE(st.diagonal) << col;
        EXPECT_EQ(st.background, backgrounds[col]) << col;
    }
    empty.setCell(1, 1, " ");
    EXPECT_FALSE(betGridCellStyle(empty, 1, 1, results).diagonal); // only exactly empty
    EXPECT_EQ(gridCellStyle(7, g, 1, 1, AnalysisState{}, results, SortButton::None), rgb(c::Red));
}
