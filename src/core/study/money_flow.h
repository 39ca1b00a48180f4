#pragma once

#include "core/study/race_archive.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace sorvantix {

// Where the money went between two announcements. From a pool and an odds figure the
// money on a runner or pair is about pool x payout rate / odds: the pools are in the
// records (positions 928 and 2030), the rates are kWinPayoutPercent and
// kQuinellaPayoutPercent. Odds fields read raw: zeros are no votes (no money), the
// cap (999.9 win, 99999.9 quinella) means "this or more", so the estimate is an upper
// bound and flagged.

// A pair is marked when its share of the interval's money is at least this many times
// its share of the money before, and it drew at least kFlowMarkMinShare of it.
inline constexpr double kFlowMarkRatio = 2.0;
inline constexpr double kFlowMarkMinShare = 0.01;

struct FlowEntry
{
    int horse = 0;            // runner, or the lower runner of a pair
    int partner = 0;          // the higher runner of a pair; 0 for a runner
    int pair = 0;             // pair number, 0 for a runner
    double before = 0;        // estimated money at the first announcement, yen
    double after = 0;         // at the second
    double inflow = 0;        // after - before (can dip below 0 by rounding of the odds)
    double shareBefore = 0;   // of all money at the first announcement
    double shareInterval = 0; // of the money that came in between (inflows below 0 count 0)
    double ratio = 0;         // shareInterval / shareBefore, 0 when shareBefore is 0
    double intervalPa = 0;    // pairs: PA ratio of the interval's money alone
    bool capped = false;      // odds at the cap at either end: money at most the estimate
    bool noVotes = false;     // no votes at the second announcement
    bool marked = false;      // pairs: late money (ratio and share above the marks)
};

struct MoneyFlow
{
    std::string fromKey, toKey;               // MMDDhhmm
    long long winPoolFrom = 0, winPoolTo = 0; // yen
    long long quinellaPoolFrom = 0, quinellaPoolTo = 0;
    std::vector<FlowEntry> runners; // by horse number, priced runners only
    std::vector<FlowEntry> pairs;   // by pair number, priced pairs only
    std::vector<std::string> notes; // caps, missing votes and pools, said plainly

    double winInflow() const { return double(winPoolTo - winPoolFrom); }
    double quinellaInflow() const { return double(quinellaPoolTo - quinellaPoolFrom); }
};

// The flow between two announcements of a race (`from` earlier than `to`). Throws
// Error when an odds field or a pool cannot be read, naming it.
MoneyFlow moneyFlow(const TimePointRecords& from, const TimePointRecords& to);

// The flow as text for the terminal: pools, the runners, the marked pairs first and
// then the twenty largest inflows, the notes.
std::string moneyFlowText(const MoneyFlow& flow);

// The window the money-flow tab opens on: the last hour of the market, as indexes
// into the time keys (MMDDhhmm, sorted): from the earliest announcement of the last
// one's day at most 60 minutes before it (the first of all when the one before the
// last is older), to the last. {0, -1} without keys.
std::pair<int, int> defaultFlowWindow(const std::vector<std::string>& timeKeys);

} // namespace sorvantix
