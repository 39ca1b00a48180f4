#include "core/present/grid_printer.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace sorvantix;

namespace {

// 600 dpi printer, 96 dpi screen (scale 6.25). Default margins take 236 + 118 pixels
// across and 236 + 236 down, so the printable area is 800 x 200: four 64-pixel columns
// (400 each) make two column bands, six 16-pixel rows (100 each) three row bands.
GridPrintMetrics twoByThree()
{
    GridPrintMetrics m;
    m.columnWidths = {64, 64, 64, 64};
    m.rowHeights = {16, 16, 16, 16, 16, 16};
    m.pageWidth = 800 + 236 + 118;
    m.pageHeight = 200 + 236 + 236;
    return m;
}

} // namespace

TEST(GridPrinter, MillimetresToPixels)
{
    struct Case
    {
        double mm;
        int dpi, expected;
    };
    for (const Case& k : {Case{10, 600, 236}, Case{5, 600, 118}, Case{12, 600, 283},
                          Case{25.4, 600, 600}, Case{12.7, 100, 50}, Case{0, 600, 0}})
        EXPECT_EQ(mmToPixels(k.mm, k.dpi), k.expected) << k.mm << "@" << k.dpi;
}

TEST(GridPrinter, Bands)
{
    struct Case
    {
        std::vector<int> sizes;
        double scale;
        int available;
        std::vector<Band> expected;
    };
    const Case cases[] = {
        {{10, 10, 10}, 1.0, 25, {{0, 1}, {2, 2}}},
        {{10, 10, 10}, 1.0, 30, {{0, 2}}}, // an exact fit stays in the band
        {{10, 50, 10}, 1.0, 30, {{0, 0}, {1, 1}, {2, 2}}},
        {{50, 10, 10}, 1.0, 30, {{0, 0}, {1, 2}}},
        {{10, 10}, 1.45, 29, {{0, 0}, {1, 1}}}, // 14.5 rounds up to 15
        {{10, 10}, 1.44, 29, {{0, 1}}},
        {{10, 10, -1, 1}, 1.0, 20, {{0, 2}, {3, 3}}}, // hidden entry takes no room
        {{5, 5}, 1.0, 0, {{0, 0}, {1, 1}}},
        {{}, 1.0, 100, {}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(gridBands(k.sizes, k.scale, k.available), k.expected)
            << k.sizes.size() << " sizes, available " << k.available;
}

TEST(GridPrinter, SheetsGoDownEachColumnBandFirst)
{
    const GridPrintMetrics m = twoByThree();
    const std::vector<GridSheet> expected = {
        {{0, 1}, {0, 1}}, {{0, 1}, {2, 3}}, {{0, 1}, {4, 5}},
        {{2, 3}, {0, 1}}, {{2, 3}, {2, 3}}, {{2, 3}, {4, 5}},
    };
    EXPECT_EQ(gridSheets(m), expected);

    GridPrintMetrics taller = m;
    taller.marginTopMm = 12; // 47 pixels less: one row per band
    EXPECT_EQ(gridSheets(taller).size(), 2u * 6u);

    GridPrintMetrics noRows = m;
    noRows.rowHeights.clear();
    EXPECT_TRUE(gridSheets(noRows).empty());
    GridPrintMetrics noColumns = m;
    noColumns.columnWidths.clear();
    EXPECT_TRUE(gridSheets(noColumns).empty());
}

TEST(GridPrinter, CellRectanglesFromTheMargins)
{
    GridPrintMetrics m = twoByThree();
    m.columnWidths = {64, 64, 10, 64};
    m.printerDpiX = 300; // scale 3.125 across: 200, 200, 31, 200
    m.pageWidth = 400 + 118 + 59;
    const std::vector<GridSheet> sheets = gridSheets(m);
    ASSERT_EQ(sheets.size(), 6u);
    ASSERT_EQ(sheets[4], (GridSheet{{2, 3}, {2, 3}}));

    const std::vector<GridCellRect> expected = {
        {2, 2, 118, 236, 31, 100},
        {3, 2, 149, 236, 200, 100},
        {2, 3, 118, 336, 31, 100},
        {3, 3, 149, 336, 200, 100},
    };
    EXPECT_EQ(gridSheetCells(m, sheets[4]), expected);
    EXPECT_EQ(gridTextOffset(m), (GridTextOffset{6, 13}));
}

TEST(GridPrinter, RejectsBadSheetsAndScreenResolutions)
{
    const GridPrintMetrics m = twoByThree();
    for (const GridSheet& bad : {GridSheet{{0, 4}, {0, 0}}, GridSheet{{0, 0}, {-1, 0}},
                                 GridSheet{{2, 1}, {0, 0}}, GridSheet{{0, 0}, {6, 6}}})
        EXPECT_THROW(gridSheetCells(m, bad), std::out_of_range);

    GridPrintMetrics noDpi = m;
    noDpi.screenDpiY = 0;
    EXPECT_THROW(gridSheets(noDpi), std::invalid_argument);
    EXPECT_THROW(gridSheetCells(noDpi, {{0, 0}, {0, 0}}), std::invalid_argument);
}
