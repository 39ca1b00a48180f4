#pragma once

#include "core/analysis/analysis_state.h"
#include "core/odds/odds_arrays.h"
#include "core/results/race_results.h"
#include "core/text/text_grid.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace sorvantix {

// Fill colours of the reference win-bet labels and KasenLabel, 0xRRGGBB.
inline constexpr std::uint32_t kLabelLightYellow = 0xFFFF80;
inline constexpr std::uint32_t kFinishFirstColour = 0xFF0000;  // red
inline constexpr std::uint32_t kFinishSecondColour = 0xFF8000; // orange
inline constexpr std::uint32_t kFinishThirdColour = 0x00FF00;  // lime

// A label with a fill colour.
struct FilledLabel
{
    std::string text;
    std::uint32_t colour = kLabelLightYellow;

    bool operator==(const FilledLabel&) const = default;
};

// What the main window shows of one race's analysis: the analysis table, the four
// square grids, the three reference-bet grids, the labels of the tab "参考買い目" and
// the boxes of the tab "結果". Texts are UTF-8. Painting is present/cell_colours'.
//
// The analysis run is, in this order: ClearBtnClick, seiBtnClick, filling the odds
// arrays, the computation, HyojiBtnClick, then sortAnalysisTable (present/grid_sort)
// for the pressed sort button. The sort belongs between the display's steps 5 and 7;
// it runs after them instead because steps 7 to 9 never touch StringGrid1, which
// gives the same grids.
class AnalysisDisplay
{
public:
    // Header captions of the analysis table, column 0..14.
    static constexpr int kTableColumns = 15;
    static const std::array<std::string_view, kTableColumns> kTableHeaders;

    AnalysisDisplay();

    TextGrid StringGrid1; // "分析表", one row per runner
    TextGrid StringGrid2; // "オッズ"
    TextGrid StringGrid3; // "個別シェア"
    TextGrid StringGrid4; // "PA比"
    TextGrid StringGrid5; // "PA比ソート"
    TextGrid StringGrid6; // "大穴"
    TextGrid StringGrid7; // "中穴"
    TextGrid StringGrid8; // "本命"

    FilledLabel KaiTanHonLbl;
    std::string KaiTanOzHonLbl;
    FilledLabel KaiTanAanLbl1;
    std::string KaiTanOzAanLbl1;
    FilledLabel KaiTanAanLbl2;
    std::string KaiTanOzAanLbl2;
    FilledLabel KasenLabel;
    std::string HaranLabel;

    ResultBoxes resultBoxes; // tab "結果"

    // The top oligopoly rate in percent as KasenLabel shows it: the display's own
    // value, so showing the same analysis twice shows the same rate.
    double KasenRate = 0;

    bool operator==(const AnalysisDisplay&) const = default;

    // The reset. `raRecord` is the selected race's RA record (n = registered runners
    // at 882-883 by registeredRunners).
    // Sizes the grids for n runners and empties them (headers of StringGrid1 and
    // StringGrid6..8 stay), resets the analysis state (KasenRate kept), the odds
    // arrays to -1.0, the results and the result boxes, and the labels.
    void ClearBtnClick(std::string_view raRecord, AnalysisState& state, OddsArrays& odds,
                       RaceResults& results);

    // The race results reading (readRaceResults into StringGrid1 and the boxes).
    void seiBtnClick(std::span<const std::string> seRecs, std::string_view hrRecord,
                     RaceResults& results);

    // The display and judgement: fills the analysis table from the state (step 1),
    // writes the race's lines of the recommended-horse file under `suishoDir`
    // (step 2), fills the square grids (3, 4), blank-fills columns 4, 7 and 13 (5),
    // the reference win bets (7), the reference quinella grids (8), and KasenLabel and
    // HaranLabel (9) from state.KasenRate (a fraction, left as it is). The caller sorts
    // afterwards (step 6, see the class comment).
    //
    // Returns "" or a notice for the user when the file was left alone (race number
    // outside 1..12, or a race key whose date is not eight digits); the display is
    // complete either way. Throws Error when the file cannot be read or written:
    // then only the analysis table is filled.
    std::string HyojiBtnClick(std::string_view raRecord, AnalysisState& state,
                              const OddsArrays& odds, const RaceResults& results,
                              const std::filesystem::path& suishoDir);
};

// The display's step 2 alone: the race's line of the recommended-horse file, from the
// marks of the computed analysis. What the batch does for the races it does not show.
// Returns and throws as HyojiBtnClick.
std::string recordRecommendedHorses(std::string_view raRecord, const AnalysisState& state,
                                    const OddsArrays& odds, const std::filesystem::path& suishoDir);

// Registered runner count of an RA record (882-883) by RaView::registered: 18 above
// 18, 0 for a blank or non-numeric field.
int registeredRunners(std::string_view raRecord);

} // namespace sorvantix
