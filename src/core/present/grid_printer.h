#pragma once

#include <vector>

namespace sorvantix {

// What the grid printer needs to know about a grid and the printer page. Sizes of
// the grid are screen pixels at the grid's screen resolution; the page is printer
// pixels. The margins default to the grid printer's (the schedule window sets the top
// margin to 12).
struct GridPrintMetrics
{
    std::vector<int> columnWidths; // screen pixels
    std::vector<int> rowHeights;   // screen pixels
    int screenDpiX = 96, screenDpiY = 96;
    int printerDpiX = 600, printerDpiY = 600;
    int pageWidth = 0, pageHeight = 0; // printer pixels
    double marginLeftMm = 10, marginTopMm = 10, marginRightMm = 5, marginBottomMm = 10;
};

// An inclusive range of column or row indexes.
struct Band
{
    int first = 0;
    int last = 0;

    bool operator==(const Band&) const = default;
};

// The part of the grid one printed sheet shows.
struct GridSheet
{
    Band columns;
    Band rows;

    bool operator==(const GridSheet&) const = default;
};

// Millimetres as printer pixels: round(mm / 25.4 * dpi), halves away from zero.
int mmToPixels(double mm, int dpi);

// Splits consecutive sizes into bands that fit `available` pixels. Each size is
// scaled by `scale` and rounded (negative sizes count as 0); an entry that would make
// the running sum exceed `available` starts a new band, and the sum restarts with it.
// An entry larger than `available` gets a band of its own, so no band is ever empty.
// No sizes give no bands.
std::vector<Band> gridBands(const std::vector<int>& sizes, double scale, int available);

// The sheets that print the whole grid: for every column band in order, every row
// band in order. The bands fit the printable area (the page minus the margins) with
// the grid scaled by printer dpi / screen dpi in each direction. A grid without
// columns or rows gives no sheets. Throws std::invalid_argument when a screen dpi is
// not positive.
std::vector<GridSheet> gridSheets(const GridPrintMetrics& m);

// A cell's rectangle on the sheet, printer pixels.
struct GridCellRect
{
    int column, row;
    int x, y, width, height;

    bool operator==(const GridCellRect&) const = default;
};

// The rectangles of the sheet's cells, row by row and left to right within a row:
// laid rightwards from the left margin and downwards from the top margin, each column
// width and row height scaled and rounded as gridBands does. Throws
// std::invalid_argument when a screen dpi is not positive and std::out_of_range when
// the sheet's bands are empty or reach outside the grid.
std::vector<GridCellRect> gridSheetCells(const GridPrintMetrics& m, const GridSheet& sheet);

// Offset of a cell's text from the cell's top-left corner, printer pixels.
struct GridTextOffset
{
    int x = 0, y = 0;

    bool operator==(const GridTextOffset&) const = default;
};

// The text offset inside a cell: 2 screen pixels from the left and from the top,
// scaled like the grid. Throws std::invalid_argument when a screen dpi is not
// positive.
GridTextOffset gridTextOffset(const GridPrintMetrics& m);

} // namespace sorvantix
