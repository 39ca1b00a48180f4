#pragma once

#include "feed/feed_date.h"
#include "feed/market_model.h"
#include "feed/race_calendar.h"
#include "feed/race_outcome.h"
#include "feed/race_plan.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sorvantix::feed {

// Which race days carry the full odds time series (0B41/0B42). Every race gets its
// latest odds (0B30), results and payouts whatever is chosen.
enum class OddsDays { All, None, List };

struct FeedOptions
{
    FeedDate from;
    FeedDate to;
    std::uint64_t seed = 1;
    OddsDays oddsDays = OddsDays::All;
    std::vector<FeedDate> oddsDayList; // for OddsDays::List
    bool oldStyle = false;             // pre-2005 days: small fields get bracket-quinella odds only
    // Minutes after post before the replay publishes a race's results (feed.ini); the
    // replay's default (10) when not chosen.
    std::optional<int> settleMinutes;

    // Throws Error when the options do not make a feed: `to` before `from`, old-style
    // days from 2005 on, days before 2005 without old style.
    void validate() const;

    bool seriesOn(const FeedDate& day) const;
};

// Parses the --odds-days value: "all", "none" or a comma-separated list of dates
// ("2026-11-28,20261129"). Throws Error naming the bad item.
void parseOddsDays(std::string_view text, FeedOptions& options);

// One generated race: the plan, its market and its result.
struct GeneratedRace
{
    RacePlan plan;
    MarketSeries market;
    RaceOutcome outcome;
};

// Plans, simulates and runs every race of a day.
std::vector<GeneratedRace> generateDay(const RaceDay& day, const FeedOptions& options,
                                       const PeoplePool& people);

struct FeedSummary
{
    int days = 0;
    int races = 0;
    int racesWithSeries = 0;
    int racesWithInformedPairs = 0;
    int files = 0;
    long long bytes = 0;
};

// Writes the feed folder `feedDir` (created when missing):
//   RACE/<stamp>-<name>.jvd  one record type per file: per block of consecutive race
//                            days a schedule file (YS, a type the program skips), the
//                            race cards RA and SE (data kind 2, stamped two days before
//                            the first day), the results RA and SE (kind 7) and the
//                            payouts HR (kind 2), stamped the day after the last day;
//   0B41/<key>.jvd, 0B42/<key>.jvd  the O1 and O2 series of a race (days with series);
//   0B30/<key>.jvd           the latest O1 and O2 of every race;
//   0B12/<yyyymmdd>.jvd      the day's results: RA, SE (kind 6) and HR (kind 1);
//   feed.ini                 the replay's settlement delay, when one is chosen.
// Files the feed writes are replaced whole; a series file an earlier run left for a
// race that now has none (odds days, old style) is removed, so cards and odds always
// belong together; other files in the folder are left alone.
// The same options always give byte-identical files. Throws Error on bad options or
// when a file cannot be written.
FeedSummary writeFeed(const FeedOptions& options, const std::filesystem::path& feedDir);

} // namespace sorvantix::feed
