#include "core/present/grid_sort.h"

#include <gtest/gtest.h>
#include <vector>

using namespace sorvantix;

namespace {

// A table whose rows are given column by column for the columns that matter; the
// last column (14) carries an id so the order can be read back.
TextGrid table(const std::vector<std::vector<std::pair<int, std::string>>>& rows)
{
    TextGrid g(15, static_cast<int>(rows.size()) + 1);
    g.setCell(0, 0, "枠");
    for (size_t r = 0; r < rows.size(); ++r) {
        for (const auto& [col, text] : rows[r])
            g.setCell(col, static_cast<int>(r) + 1, text);
        g.setCell(14, static_cast<int>(r) + 1, std::to_string(r + 1));
    }
    return g;
}

std::string order(const TextGrid& g)
{
    std::string ids;
    for (int r = 1; r < g.rowCount(); ++r)
        ids += g.cell(14, r) + (r + 1 < g.rowCount() ? "," : "");
    return ids;
}

} // namespace

TEST(GridSort, ButtonsCaptionsAndColumns)
{
    struct Case
    {
        SortButton button;
        const char* caption;
        int primary;
        bool descending;
        int tieBreak;
        int header;
    };
    for (const Case& c : {Case{SortButton::HorseNumber, "馬番", 1, false, 4, 1},
                          Case{SortButton::WinOdds, "単ｵｯｽﾞ", 4, false, 7, 4},
                          Case{SortButton::OverallShare, "全体ｼｪｱ", 7, false, 4, 6},
                          Case{SortButton::Top3Pa, "1-3PA", 8, true, 7, 8},
                          Case{SortButton::AllPa, "全PA", 9, true, 7, 9},
                          Case{SortButton::PaOverOneRate, "PA≧1率", 10, true, 7, 10},
                          Case{SortButton::FinishPos, "着順", 13, false, 7, 13}}) {
        EXPECT_EQ(sortButtonFromCaption(c.caption), c.button) << c.caption;
        EXPECT_EQ(sortButtonCaption(c.button), c.caption);
        SortOrder o = sortOrder(c.button);
        EXPECT_EQ(o.primaryColumn, c.primary) << c.caption;
        EXPECT_EQ(o.descending, c.descending) << c.caption;
        EXPECT_EQ(o.tieBreakColumn, c.tieBreak) << c.caption;
        EXPECT_EQ(sortHeaderColumn(c.button), c.header) << c.caption;
    }
    EXPECT_EQ(sortButtonFromCaption("馬番 "), SortButton::None);
    EXPECT_EQ(sortHeaderColumn(SortButton::None), -1);
}

TEST(GridSort, CellOrderIsUnsignedBytesOfShiftJis)
{
    EXPECT_GT(compareCells(" 1.200", " 0.950"), 0);
    EXPECT_LT(compareCells("12", "12 "), 0); // shorter prefix first
    EXPECT_EQ(compareCells("", ""), 0);
    EXPECT_GT(compareCells("　", "18"), 0); // full-width blank after every number
    EXPECT_GT(compareCells("\x7f", " "), 0);
    // UTF-8 would put Ω (CE A9) before the full-width blank (E3 80 80); Shift-JIS
    // bytes (83 B6 against 81 40) put it after.
    EXPECT_GT(compareCells("Ω", "　"), 0);
    EXPECT_GT(compareCells("-1.000", " 0.500"), 0); // '-' 0x2D after ' ' 0x20
}

TEST(GridSort, Top3PaDescendingThenRankWithBlankLast)
{
    // column 8 = 1-3PA, column 7 = share rank
    TextGrid g = table({{{8, " 0.950"}, {7, " 5"}},
                        {{8, " 1.200"}, {7, " 9"}},
                        {{8, " 0.950"}, {7, "　"}},
                        {{8, "12.500"}, {7, " 1"}},
                        {{8, " 0.950"}, {7, " 3"}},
                        {{8, " 1.200"}, {7, " 2"}}});
    sortAnalysisTable(g, SortButton::Top3Pa);
    EXPECT_EQ(order(g), "4,6,2,5,1,3");
    EXPECT_EQ(g.cell(0, 0), "枠"); // header row stays
}

TEST(GridSort, QuicksortLeavesEqualRowsInItsOwnOrder)
{
    // Keys 2,1,2,1: the pivot is row 2 ("1"); the first pass swaps rows 1 and 4,
    // then rows 3..4 are sorted and swap again. A stable sort would give 2,4,1,3.
    TextGrid g = table({{{13, " 2"}}, {{13, " 1"}}, {{13, " 2"}}, {{13, " 1"}}});
    quickSortRows(g, 13, 1, 4, false);
    EXPECT_EQ(order(g), "4,2,1,3");

    // The same table through the button: the tie-break column is equal as well, so
    // the groups keep the quicksort's order (each is re-sorted: two equal rows swap).
    TextGrid h = table({{{13, " 2"}}, {{13, " 1"}}, {{13, " 2"}}, {{13, " 1"}}});
    sortAnalysisTable(h, SortButton::FinishPos);
    EXPECT_EQ(order(h), "2,4,3,1");
}

TEST(GridSort, AscendingWithBlankCellsAndDegenerateTables)
{
    TextGrid g = table({{{4, "  5.6"}}, {{4, "　"}}, {{4, "  2.1"}}, {{4, " 12.0"}}});
    sortAnalysisTable(g, SortButton::WinOdds);
    EXPECT_EQ(order(g), "3,1,4,2");
    sortAnalysisTable(g, SortButton::None);
    EXPECT_EQ(order(g), "3,1,4,2");

    TextGrid headerOnly(15, 1);
    headerOnly.setCell(1, 0, "馬");
    sortAnalysisTable(headerOnly, SortButton::HorseNumber);
    EXPECT_EQ(headerOnly.cell(1, 0), "馬");
    TextGrid one = table({{{1, " 1"}}});
    sortAnalysisTable(one, SortButton::HorseNumber);
    EXPECT_EQ(order(one), "1");
    quickSortRows(g, 4, 3, 9, false); // range beyond the grid: left alone
    EXPECT_EQ(order(g), "3,1,4,2");
}
