#include "core/text/text_grid.h"

#include <gtest/gtest.h>

using namespace sorvantix;

TEST(TextGrid, ResizingKeepsRemainingCellsAndIgnoresOutsideAccess)
{
    TextGrid grid(3, 2);
    grid.setCell(0, 0, "枠");
    grid.setCell(2, 1, "x");
    grid.setCell(5, 5, "ignored");
    EXPECT_EQ(grid.cell(5, 5), "");
    grid.setRowCount(4);
    EXPECT_EQ(grid.cell(0, 0), "枠");
    EXPECT_EQ(grid.cell(2, 1), "x");
    EXPECT_EQ(grid.cell(2, 3), "");
    grid.setColumnCount(2);
    EXPECT_EQ(grid.cell(2, 1), "");
    EXPECT_EQ(grid.columnCount(), 2);
    grid.setColumnCount(3);
    EXPECT_EQ(grid.cell(2, 1), ""); // a cell that left the grid comes back empty
}

TEST(TextGrid, SwapsWholeRowsAndClearsFromARow)
{
    TextGrid grid(2, 3);
    grid.setCell(0, 1, "a");
    grid.setCell(1, 1, "b");
    grid.setCell(0, 2, "c");
    grid.swapRows(1, 2);
    EXPECT_EQ(grid.cell(0, 1), "c");
    EXPECT_EQ(grid.cell(1, 1), "");
    EXPECT_EQ(grid.cell(1, 2), "b");
    grid.setCell(0, 0, "head");
    grid.clearRows(1);
    EXPECT_EQ(grid.cell(0, 0), "head");
    EXPECT_EQ(grid.cell(0, 2), "");
}

TEST(TextGrid, WritesInPlaceEvenFromItsOwnCells)
{
    TextGrid grid(2, 2);
    grid.setCell(0, 0, "a long text that does not fit a short string");
    grid.setCell(1, 0, grid.cell(0, 0)); // another cell
    EXPECT_EQ(grid.cell(1, 0), "a long text that does not fit a short string");
    const std::string& own = grid.cell(0, 0);
    grid.setCell(0, 0, std::string_view(own).substr(2, 4)); // a part of itself
    EXPECT_EQ(grid.cell(0, 0), "long");
    grid.setCell(0, 0, grid.cell(0, 0));
    EXPECT_EQ(grid.cell(0, 0), "long");
    grid.setCell(0, 1, "");
    EXPECT_EQ(grid.cell(0, 1), "");
    EXPECT_EQ(grid.cellText(2, 0), nullptr);

    // A reset to the same size and to another empties every cell.
    grid.reset(2, 2);
    EXPECT_EQ(grid.cell(1, 0), "");
    grid.setCell(1, 1, "x");
    grid.reset(3, 1);
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.cell(1, 0), "");
    EXPECT_EQ(grid.cell(0, 0), "");
}

TEST(TextGrid, ReordersRowsOnlyByAPermutation)
{
    TextGrid grid(2, 3);
    for (int r = 0; r < 3; ++r) {
        grid.setCell(0, r, std::to_string(r));
        grid.setCell(1, r, "r" + std::to_string(r));
    }
    grid.reorderRows({0, 2, 1});
    EXPECT_EQ(grid.cell(0, 1), "2");
    EXPECT_EQ(grid.cell(1, 1), "r2");
    EXPECT_EQ(grid.cell(1, 2), "r1");
    const TextGrid before = grid;
    grid.reorderRows({0, 1, 1}); // a row twice
    grid.reorderRows({0, 1});    // too short
    grid.reorderRows({0, 1, 3}); // outside
    EXPECT_EQ(grid, before);
}
