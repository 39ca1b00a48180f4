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
