#include "core/present/cell_colours.h"

#include "core/store/racing_codes.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>
#include <array>

namespace sorvantix {
namespace {

// Background of brackets 1..8 (index 0 unused).
constexpr std::array<std::uint32_t, 9> kBracketColours{0,
                                                       colours::White,
                                                       colours::Grey,
                                                       colours::Red,
                                                       colours::Blue,
                                                       colours::Yellow,
                                                       colours::Lime,
                                                       colours::Orange,
                                                       colours::Fuchsia};

bool isBlank(std::string_view text)
{
    return trimmed(text).empty();
}

int cellInt(std::string_view text)
{
    return toIntDef(trimmed(text), 0);
}

// Silver, then the finish colour of `horse` when the cell shows something.
CellStyle headerStyle(std::string_view text, int horse, const RaceResults& results)
{
    std::uint32_t bg = colours::Silver;
    if (!isBlank(text))
        bg = finishColour(results, horse).value_or(bg);
    return CellStyle::colour(bg);
}

// The "--" diagonal of the square grids is grey without text; blank cells silver.
void applyDiagonalAndBlank(std::string_view text, CellStyle& style)
{
    if (text == "--") {
        style.fill = CellStyle::Fill::Colour;
        style.background = colours::Grey;
        style.drawText = false;
    } else if (isBlank(text)) {
        style.fill = CellStyle::Fill::Colour;
        style.background = colours::Silver;
    }
}

} // namespace

std::optional<std::uint32_t> finishColour(const RaceResults& results, int horse)
{
    if (horse < 1 || horse > 18)
        return std::nullopt;
    return finishPlaceColour(results.FinishPos[static_cast<size_t>(horse)]);
}

std::optional<std::uint32_t> finishPlaceColour(int place)
{
    switch (place) {
    case 1:
        return colours::Red;
    case 2:
        return colours::Orange;
    case 3:
        return colours::Lime;
    default:
        return std::nullopt;
    }
}

CellStyle analysisTableCellStyle(const TextGrid& grid, int column, int row,
                                 const RaceResults& results, SortButton pressed)
{
    if (row == 0) {
        if (!isBlank(grid.cell(0, 0)) && column == sortHeaderColumn(pressed))
            return CellStyle::colour(colours::Teal);
        return CellStyle::colour(colours::Silver);
    }
    if (column == 0) {
        const int bracket = cellInt(grid.cell(column, row));
        if (bracket < 1 || bracket > 8)
            return {};
        CellStyle style = CellStyle::colour(kBracketColours[static_cast<size_t>(bracket)]);
        // Digits on the dark fills of brackets 2 to 4 (grey, red, blue) are white.
        if (bracket >= 2 && bracket <= 4)
            style.textColour = colours::White;
        return style;
    }
    if (column == 1) {
        CellStyle style{CellStyle::Fill::InfoBackground};
        const std::string& text = grid.cell(column, row);
        if (!isBlank(text))
            if (auto c = finishColour(results, cellInt(text)))
                style = CellStyle::colour(*c);
        return style;
    }
    return CellStyle::colour(colours::White);
}

CellStyle squareGridCellStyle(const TextGrid& grid, int column, int row, const RaceResults& results)
{
    const std::string& text = grid.cell(column, row);
    CellStyle style{CellStyle::Fill::InfoBackground};
    if (row == 0)
        style = headerStyle(text, column, results);
    else if (column == 0)
        style = headerStyle(text, row, results);
    applyDiagonalAndBlank(text, style);
    return style;
}

CellStyle paGridCellStyle(const TextGrid& grid, bool byShareRank, int column, int row,
                          const AnalysisState& state, const RaceResults& results)
{
    const std::string& text = grid.cell(column, row);
    CellStyle style{CellStyle::Fill::InfoBackground};
    if (row == 0 || column == 0) {
        const int horse = byShareRank ? cellInt(text) : (row == 0 ? column : row);
        style = headerStyle(text, horse, results);
    } else {
        const std::string& colHeader = grid.cell(column, 0);
        const std::string& rowHeader = grid.cell(0, row);
        if (!isBlank(colHeader) && !isBlank(rowHeader)) {
            const int a = cellInt(colHeader);
            const int b = cellInt(rowHeader);
            const int p =
                UmarenPairNo(format("%2d-", std::min(a, b)) + format("%2d", std::max(a, b)));
            if (p != 0) {
                const double pa = state.PairPaRatio[static_cast<size_t>(p)];
                if (state.PairPick[static_cast<size_t>(p)])
                    style = CellStyle::colour(pa < 1.6 ? colours::Aqua : colours::Yellow);
                if (pa >= 1.3)
                    style.textColour = colours::Blue;
            }
        }
    }
    applyDiagonalAndBlank(text, style);
    return style;
}

CellStyle betGridCellStyle(const TextGrid& grid, int column, int row, const RaceResults& results)
{
    const std::string& text = grid.cell(column, row);
    CellStyle style;
    if (row == 0) {
        style = CellStyle::colour(colours::Silver);
    } else if (column == 0) {
        style = CellStyle::colour(colours::Aqua);
    } else if (column == 2) {
        style = CellStyle::colour(colours::LightPink);
    } else if (column == 1) {
        style = CellStyle::colour(colours::LightYellow);
        if (!isBlank(text)) {
            auto hit = [&](const ComboPayout& r) { return text == r.text.substr(0, 5); };
            for (int i = 1; i <= 7; ++i)
                if (hit(results.WideResult[static_cast<size_t>(i)]))
                    style.background = colours::Fuchsia;
            for (int i = 1; i <= 3; ++i)
                if (hit(results.QuinellaResult[static_cast<size_t>(i)]))
                    style.background = colours::Red;
        }
    }
    style.diagonal = text.empty();
    return style;
}

CellStyle gridCellStyle(int gridNumber, const TextGrid& grid, int column, int row,
                        const AnalysisState& state, const RaceResults& results, SortButton pressed)
{
    switch (gridNumber) {
    case 1:
        return analysisTableCellStyle(grid, column, row, results, pressed);
    case 2:
    case 3:
        return squareGridCellStyle(grid, column, row, results);
    case 4:
        return paGridCellStyle(grid, false, column, row, state, results);
    case 5:
        return paGridCellStyle(grid, true, column, row, state, results);
    case 6:
    case 7:
    case 8:
        return betGridCellStyle(grid, column, row, results);
    default:
        return {};
    }
}

} // namespace sorvantix
