#pragma once

#include "feed/market_model.h"
#include "feed/race_plan.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sorvantix::feed {

// The result of one runner.
struct RunnerResult
{
    int number = 0;
    int abnormality = 0; // 0 none, 1 scratched, 4 did not finish (table 2101)
    int finishPos = 0;   // 0 without a placing
    int lineOrder = 0;
    int deadHeatCount = 0;        // horses sharing the placing, 0 without a dead heat
    int timeTenths = 0;           // race time in tenths of a second, 0 without a time
    std::string margin = "   ";   // margin code to the horse ahead (table 2102), 3 characters
    std::array<int, 4> corners{}; // positions at the corners, 0 = no such corner
    int last3f = 0;               // tenths of a second
    int last4f = 0;
    int timeGap = 0;         // tenths to the winner (winner: to the second, negative)
    long long prizeWon = 0;  // units of 100 yen
    long long finalOdds = 0; // final win odds in tenths, 0 = none
    int popularity = 0;
};

// One payout entry: combination text as in the HR record, yen per 100 yen,
// popularity.
struct PayoutEntry
{
    std::string combo;
    long long yen = 0;
    int popularity = 0;
};

struct RaceOutcome
{
    std::vector<RunnerResult> runners; // by horse number
    int starters = 0;
    int finishers = 0;
    int winnerTime = 0;    // tenths of a second
    std::vector<int> laps; // tenths of a second per 200 m (first may be shorter)
    int first3f = 0, first4f = 0, last3f = 0, last4f = 0;
    std::vector<std::pair<int, std::string>> cornerOrders; // corner number, order text

    bool placeSold = true, bracketSold = true, quinellaSold = true;
    bool exactaSold = true, trioSold = true, trifectaSold = true;
    std::vector<PayoutEntry> win, place, bracket, quinella, wide, exacta, trio, trifecta;
    std::vector<int> refundedHorses; // scratched while on sale
};

// Runs the race: the finishing order is drawn from the runners' true strengths (which
// the informed money knew, the public did not); times, margins and corner positions
// follow; payouts come from the final pools of the market, so the win and quinella
// payouts equal the final odds except after dead heats, which happen now and then.
RaceOutcome runRace(const RacePlan& race, const MarketSeries& market, std::uint64_t seed);

} // namespace sorvantix::feed
