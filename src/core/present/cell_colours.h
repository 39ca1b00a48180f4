#pragma once

#include "core/analysis/analysis_state.h"
#include "core/present/grid_sort.h"
#include "core/results/race_results.h"
#include "core/text/text_grid.h"

#include <cstdint>
#include <optional>

namespace sorvantix {

// Colours of the analysis grids, 0xRRGGBB.
namespace colours {
inline constexpr std::uint32_t Silver = 0xC0C0C0;
inline constexpr std::uint32_t Teal = 0x008080;
inline constexpr std::uint32_t Grey = 0x808080;
inline constexpr std::uint32_t White = 0xFFFFFF;
inline constexpr std::uint32_t Red = 0xFF0000;
inline constexpr std::uint32_t Orange = 0xFF8000;
inline constexpr std::uint32_t Lime = 0x00FF00;
inline constexpr std::uint32_t Blue = 0x0000FF;
inline constexpr std::uint32_t Yellow = 0xFFFF00;
inline constexpr std::uint32_t Fuchsia = 0xFF00FF;
inline constexpr std::uint32_t Aqua = 0x00FFFF;
inline constexpr std::uint32_t LightYellow = 0xFFFF80;
inline constexpr std::uint32_t LightPink = 0xFFC8FF;
inline constexpr std::uint32_t Black = 0x000000;
} // namespace colours

// How one grid cell is painted: the whole rectangle filled with the background,
// the text (unless drawText is false) centred at the top in textColour, then, where
// `diagonal` is set, a black line from the top-left to the bottom-right corner.
struct CellStyle
{
    enum class Fill {
        Colour,         // `background`
        GridDefault,    // the grid's ordinary cell colour
        InfoBackground, // the system's tooltip background
    };

    Fill fill = Fill::GridDefault;
    std::uint32_t background = 0; // only for Fill::Colour
    std::uint32_t textColour = colours::Black;
    bool drawText = true;
    bool diagonal = false;

    static CellStyle colour(std::uint32_t rgb) { return {Fill::Colour, rgb}; }
    bool operator==(const CellStyle&) const = default;
};

// Red, orange or lime for a horse number that finished 1st, 2nd or 3rd; nothing for
// any other horse number or position.
std::optional<std::uint32_t> finishColour(const RaceResults& results, int horse);
// The same colour of a finishing place (1, 2, 3; nothing for any other).
std::optional<std::uint32_t> finishPlaceColour(int place);

// StringGrid1 (analysis table): header row silver, the pressed button's header cell
// teal (only while the header of column 0 is not blank); column 0 by bracket 1..8;
// column 1 info background or the finish colour of its horse number; others white.
CellStyle analysisTableCellStyle(const TextGrid& grid, int column, int row,
                                 const RaceResults& results, SortButton pressed);

// StringGrid2 and StringGrid3 (quinella odds, pair shares).
CellStyle squareGridCellStyle(const TextGrid& grid, int column, int row,
                              const RaceResults& results);

// StringGrid4 (byShareRank false: headers are the row and column indexes) and
// StringGrid5 (byShareRank true: headers are read from the header cells). Data cells
// of a picked pair are aqua below a PA ratio of 1.6 and yellow from it; a PA ratio of
// 1.3 or more turns the text blue. Both triangles use PairPaRatio.
CellStyle paGridCellStyle(const TextGrid& grid, bool byShareRank, int column, int row,
                          const AnalysisState& state, const RaceResults& results);

// StringGrid6..8 (reference bets): a bet matching a wide result is fuchsia, one
// matching a quinella result red (red wins); empty cells get the diagonal line.
CellStyle betGridCellStyle(const TextGrid& grid, int column, int row, const RaceResults& results);

// Dispatch by grid number 1..8 (StringGrid1..StringGrid8); other numbers give the
// default style.
CellStyle gridCellStyle(int gridNumber, const TextGrid& grid, int column, int row,
                        const AnalysisState& state, const RaceResults& results, SortButton pressed);

} // namespace sorvantix
