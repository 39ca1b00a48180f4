#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sorvantix {

// The analysis of one race at one time point: what the computation derives from
// the odds and what the display, the grids, the hit report and the printout read.
// Arrays are indexed from 1 like the racing numbers (horse number 1..18, quinella
// pair number 1..153); index 0 is unused. Reals are -1.0 when not set (shares,
// PaOverOneRate) and 0 when not computed (sums, ratios, ranks); marks and flags are
// 0 or 1; pick texts are 5-character pair texts (" 3- 7") or "" for an empty slot.
struct AnalysisState
{
    static constexpr int kHorses = 18;
    static constexpr int kPairs = 153;

    template <typename T> using ByHorse = std::array<T, kHorses + 1>;
    template <typename T> using ByPair = std::array<T, kPairs + 1>;

    ByHorse<double> TanShare;           // win share in percent: 80 / TanOdds
    ByPair<double> UmarenShare;         // quinella share in percent: 75 / UmarenOdds
    ByHorse<double> UmarenShareSum;     // sum of the runner's priced pair shares
    ByHorse<double> OverallShare;       // UmarenShareSum / total, a fraction
    ByHorse<int> ShareRank;             // 1 = largest overall share, 0 = not ranked
    ByPair<double> PairPaRatio;         // PA ratio divided in the lower runner's order
    ByPair<double> PairPaRatioRev;      // the same in the higher runner's order
    ByPair<std::uint8_t> PairPick;      // singular-point pair
    ByHorse<double> PaTop3Sum;          // "1-3PA"
    ByHorse<double> PaAllSum;           // "全PA"
    ByHorse<double> PaOverOneRate;      // "PA≧1率", -1.0 when the runner has no priced pair
    ByHorse<double> PaTop3Ratio;        // "1-3PA/S1"
    ByHorse<double> PaAllRatio;         // "全/S1"
    ByHorse<std::uint8_t> SuishoMark;   // 推奨馬 "★"
    ByHorse<std::uint8_t> TokushoMark;  // 特奨馬 "☆"
    ByHorse<std::uint8_t> TargetGroupA; // 対象ｸﾞﾙｰﾌﾟA
    ByHorse<std::uint8_t> TargetGroupB; // 対象ｸﾞﾙｰﾌﾟB

    // 上位寡占率. A fraction after the computation; the display turns it into a
    // percentage in place. Not touched by reset().
    double KasenRate = 0;

    int KaiTanHon = 0;                       // reference win bet, favourite
    std::array<int, 3> KaiTanAan{};          // reference win bets, longshots 1..2
    std::array<std::string, 4> KaiRenHon;    // quinella, favourite pairs 1..3
    std::array<std::string, 6> KaiRenChuAna; // quinella, medium longshots 1..5
    std::array<std::string, 11> KaiRenOoAna; // quinella, longshots 1..10

    AnalysisState() { reset(); }

    // Back to the empty analysis: shares and PaOverOneRate -1.0, every other real,
    // rank, mark, flag and pick 0 or empty. KasenRate keeps its value.
    void reset();
};

} // namespace sorvantix
