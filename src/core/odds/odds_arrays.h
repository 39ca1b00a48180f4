#pragma once

#include <array>

namespace sorvantix {

// The part of each pool paid back, in percent: a runner's or pair's share of the money
// is this over its odds (the analysis's shares and the money-flow estimates).
inline constexpr int kWinPayoutPercent = 80;
inline constexpr int kQuinellaPayoutPercent = 75;

// Odds of one race at one announcement time, as the odds loading fills them.
// Indexed from 1 so the code reads like the racing numbers: TanOdds by horse
// number 1..18, UmarenOdds by quinella pair number 1..153; index 0 is unused.
// -1.0 = not set; 999.9 (win) and 99999.9 / 9999.9 (quinella) = no votes.
struct OddsArrays
{
    static constexpr int kHorses = 18;
    static constexpr int kPairs = 153;

    std::array<double, kHorses + 1> TanOdds;
    std::array<double, kPairs + 1> UmarenOdds;

    OddsArrays() { reset(); }

    // Every entry back to -1.0 (not set).
    void reset()
    {
        TanOdds.fill(-1.0);
        UmarenOdds.fill(-1.0);
    }
};

} // namespace sorvantix
