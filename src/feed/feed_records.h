#pragma once

#include "feed/market_model.h"
#include "feed/race_outcome.h"
#include "feed/race_plan.h"

#include <string>

namespace sorvantix::feed {

// JV-Data records of the generated races, built field by field with the project's
// RecordBuilder. Each returns the CP932 bytes with the closing CR LF.

// RA race details. `kind` is the data kind ('2' race card, '6' flash result, '7'
// final result); `outcome` adds the result fields (starters, going, laps, corners)
// and may be null for race cards.
std::string raRecord(const RacePlan& race, char kind, const FeedDate& created,
                     const RaceOutcome* outcome);

// SE runner of horse number `horse`; with `outcome` the result fields are filled.
std::string seRecord(const RacePlan& race, int horse, char kind, const FeedDate& created,
                     const RaceOutcome* outcome);

// HR payouts ('1' flash, '2' final).
std::string hrRecord(const RacePlan& race, const RaceOutcome& outcome, char kind,
                     const FeedDate& created);

// O1 (win, place, bracket quinella) and O2 (quinella) odds of one announcement, data
// kind '1' (interim), created on the announcement's day.
std::string o1Record(const RacePlan& race, const MarketSeries& market, const OddsSnapshot& s);
std::string o2Record(const RacePlan& race, const MarketSeries& market, const OddsSnapshot& s);

} // namespace sorvantix::feed
