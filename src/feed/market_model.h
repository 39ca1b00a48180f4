#pragma once

#include "feed/race_plan.h"

#include <array>
#include <cstdint>
#include <vector>

namespace sorvantix::feed {

// State of a horse number at an announcement.
enum class RunnerState : char {
    Absent = ' ',          // no such horse in the race
    Running = 'o',         // on sale
    ScratchedBefore = '-', // withdrawn before the sale opened
    ScratchedAfter = '*',  // withdrawn while on sale, votes refunded
};

// The betting pools of a race as they stood at one announcement: cumulative votes in
// units of 100 yen. Odds are derived from them exactly as the totalisator does.
struct OddsSnapshot
{
    int minute = 0; // minutes after midnight of the race day; negative: the day before
    bool inO1 = true;
    bool inO2 = true;
    std::array<RunnerState, 19> state{}; // by horse number, [0] unused
    std::array<long long, 19> winVotes{};
    std::array<long long, 19> placeVotes{};
    std::array<long long, 37> bracketVotes{};   // by bracket combination number
    std::array<long long, 154> quinellaVotes{}; // by quinella pair number
    long long winPool = 0;
    long long placePool = 0;
    long long bracketPool = 0;
    long long quinellaPool = 0;
};

// The odds time series of a race, from the opening of the sale to post time.
struct MarketSeries
{
    std::vector<OddsSnapshot> snapshots;      // in time order; the last one is the final odds
    std::array<double, 19> finalPreference{}; // the public's win probabilities at the close
    bool quinellaSold = true;                 // false on old-style days for fields of 8 or fewer
    bool bracketSold = true;                  // false for fields of 8 or fewer from 2005 on
    bool placeSold = true;
    int placesPaid = 3;

    const OddsSnapshot& last() const { return snapshots.back(); }
};

// Simulates the money of every pool announcement by announcement. The public backs
// each runner by its view of the runner's strength, which drifts over time; the
// quinella money follows the win market (Harville pair probabilities) with noise; in
// races with informed pairs, extra money on those pairs grows towards post time.
// Deterministic for the seed and the plan.
MarketSeries simulateMarket(const RacePlan& race, std::uint64_t seed);

// Odds in tenths as the totalisator computes them: rate (percent) x pool / votes,
// cut down to tenths, at least 1.0 (10) and at most `maxTenths`. 0 when nobody has
// voted.
long long oddsTenths(long long pool, long long votes, int ratePercent, long long maxTenths);

// Place odds range in tenths (low, high) of a runner: the payout when the other
// placed horses are the most and the least backed ones. {0, 0} without votes.
std::pair<long long, long long> placeOddsRange(const OddsSnapshot& s, int horse, int placesPaid);

// Popularity of `votes` among the values: 1 + the number of larger values.
int popularityRank(long long votes, const long long* all, int count);

// Text "MMDDhhmm" of an announcement minute on a race date; "yyyymmdd" of its day.
std::string announceTime(const FeedDate& raceDate, int minute);
FeedDate announceDate(const FeedDate& raceDate, int minute);

} // namespace sorvantix::feed
