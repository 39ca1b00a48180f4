#pragma once

#include "feed/feed_writer.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix::feed {

// The market of one announcement as the analysis sees it, read back from the O1 and
// O2 record bytes: odds as reals (-1 none; a field of zeros counts as 999.9 or 99999.9
// and is not "voted"), shares 80 / odds and 75 / odds, share sums and PA ratios.
struct MarketShares
{
    std::array<double, 19> winOdds{};
    std::array<bool, 19> winVoted{};
    std::array<double, 154> pairOdds{};
    std::array<bool, 154> pairVoted{};
    std::array<double, 19> shareSum{}; // quinella share sum of a runner
    double total = 0;                  // sum of all share sums
    double winShareSum = 0;            // sum of 80 / odds over voted runners, percent
    double pairShareSum = 0;           // sum of 75 / odds over voted pairs, percent

    double winShare(int h) const;
    double pairShare(int a, int b) const;
    // Quinella share x total / (share sum of a x share sum of b); 0 when unpriced.
    double pa(int a, int b) const;
};

// Reads the odds fields of an O1 record and, when not empty, an O2 record (without an
// O2 record the quinella values stay unset).
MarketShares sharesFromRecords(std::string_view o1, std::string_view o2);

// Spearman rank correlation (average ranks for ties); 0 for fewer than 2 values.
double rankCorrelation(const std::vector<double>& a, const std::vector<double>& b);

// Of the other pairs of the two runners of pair (a, b), the fraction whose PA ratio
// is below the pair's own: near 1 for a pair that stands out, about 0.5 by chance.
double paStanding(const MarketShares& m, int a, int b, int runners);

// The statistics text of `--stats`: share sums and rank correlations over every
// announcement of the range, how the over-backed pairs stand out, and early and late
// odds of one example race.
std::string statsReport(const FeedOptions& options);

} // namespace sorvantix::feed
