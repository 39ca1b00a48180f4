#include "core/present/grid_printer.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace sorvantix {
namespace {

struct Scale
{
    double x, y;
};

Scale gridScale(const GridPrintMetrics& m)
{
    if (m.screenDpiX <= 0 || m.screenDpiY <= 0)
        throw std::invalid_argument("grid printer: screen dpi must be positive");
    return {static_cast<double>(m.printerDpiX) / m.screenDpiX,
            static_cast<double>(m.printerDpiY) / m.screenDpiY};
}

int scaled(int size, double scale)
{
    // A hidden column or row may report a negative size; it takes no room.
    return static_cast<int>(std::lround(std::max(size, 0) * scale));
}

void checkBand(const Band& band, std::size_t count, const char* what)
{
    if (band.first < 0 || band.last < band.first || static_cast<std::size_t>(band.last) >= count)
        throw std::out_of_range(std::string("gridSheetCells: ") + what + " band " +
                                std::to_string(band.first) + ".." + std::to_string(band.last) +
                                " outside 0.." + std::to_string(static_cast<long>(count) - 1));
}

} // namespace

int mmToPixels(double mm, int dpi)
{
    return static_cast<int>(std::lround(mm / 25.4 * dpi));
}

std::vector<Band> gridBands(const std::vector<int>& sizes, double scale, int available)
{
    std::vector<Band> bands;
    int sum = 0;
    for (int i = 0; i < static_cast<int>(sizes.size()); ++i) {
        const int s = scaled(sizes[static_cast<std::size_t>(i)], scale);
        // The first entry always opens a band, however large it is, so the walk
        // always moves on.
        if (bands.empty() || sum + s > available) {
            bands.push_back({i, i});
            sum = s;
        } else {
            bands.back().last = i;
            sum += s;
        }
    }
    return bands;
}

std::vector<GridSheet> gridSheets(const GridPrintMetrics& m)
{
    const Scale sc = gridScale(m);
    const int width = m.pageWidth - mmToPixels(m.marginLeftMm, m.printerDpiX) -
                      mmToPixels(m.marginRightMm, m.printerDpiX);
    const int height = m.pageHeight - mmToPixels(m.marginTopMm, m.printerDpiY) -
                       mmToPixels(m.marginBottomMm, m.printerDpiY);
    const std::vector<Band> columns = gridBands(m.columnWidths, sc.x, width);
    const std::vector<Band> rows = gridBands(m.rowHeights, sc.y, height);

    std::vector<GridSheet> sheets;
    if (columns.empty() || rows.empty())
        return sheets;
    sheets.reserve(columns.size() * rows.size());
    for (const Band& c : columns)
        for (const Band& r : rows)
            sheets.push_back({c, r});
    return sheets;
}

std::vector<GridCellRect> gridSheetCells(const GridPrintMetrics& m, const GridSheet& sheet)
{
    const Scale sc = gridScale(m);
    checkBand(sheet.columns, m.columnWidths.size(), "column");
    checkBand(sheet.rows, m.rowHeights.size(), "row");

    std::vector<GridCellRect> cells;
    const int left = mmToPixels(m.marginLeftMm, m.printerDpiX);
    int y = mmToPixels(m.marginTopMm, m.printerDpiY);
    for (int r = sheet.rows.first; r <= sheet.rows.last; ++r) {
        const int h = scaled(m.rowHeights[static_cast<std::size_t>(r)], sc.y);
        int x = left;
        for (int c = sheet.columns.first; c <= sheet.columns.last; ++c) {
            const int w = scaled(m.columnWidths[static_cast<std::size_t>(c)], sc.x);
            cells.push_back({c, r, x, y, w, h});
            x += w;
        }
        y += h;
    }
    return cells;
}

GridTextOffset gridTextOffset(const GridPrintMetrics& m)
{
    const Scale sc = gridScale(m);
    return {scaled(2, sc.x), scaled(2, sc.y)};
}

} // namespace sorvantix
