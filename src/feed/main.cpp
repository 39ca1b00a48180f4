// sorvantix-feed: writes a realistic JRA race-day feed for the replay JV-Link.

#include "core/text/error.h"
#include "feed/feed_stats.h"
#include "feed/feed_writer.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>

using namespace sorvantix;
using namespace sorvantix::feed;

namespace {

FeedDate parseDay(const std::string& text, const char* option)
{
    const auto day = FeedDate::parse(text);
    if (!day)
        throw Error(std::string(option) + ": \"" + text + "\" is not a date (yyyy-mm-dd)");
    return *day;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{
        "Writes a realistic feed of JRA race days for the replay JV-Link: race cards, odds\n"
        "time series, results and payouts of synthetic races, the same bytes for the same\n"
        "arguments.\n\n"
        "Feed folder layout (under --out):\n"
        "  RACE/<stamp>-<name>.jvd  stored data: per block of race days a schedule file (YS),\n"
        "                           race cards RA and SE (kind 2, stamped two days before),\n"
        "                           results RA and SE (kind 7) and payouts HR (stamped after)\n"
        "  0B41/<race key>.jvd      O1 odds series of a race (days with odds series)\n"
        "  0B42/<race key>.jvd      O2 odds series (not for old-style fields of 8 or fewer)\n"
        "  0B30/<race key>.jvd      latest O1 and O2 of every race\n"
        "  0B12/<yyyymmdd>.jvd      results of a day: RA, SE and HR\n"
        "  feed.ini                 the replay's settlement delay (with --settle-minutes)\n\n"
        "The replay publishes what the real service would have by the program's clock: the\n"
        "odds announced so far, and a race's results from its post time plus the settlement\n"
        "delay (10 minutes unless chosen).\n\n"
        "Example:\n"
        "  sorvantix-feed --out ~/.local/share/sorvantix/feed --from 2026-11-28 --to 2026-11-29 "
        "--seed 7",
        "sorvantix-feed"};
    std::string out, from, to, oddsDays = "all";
    unsigned long long seed = 1;
    bool oldStyle = false, stats = false;
    std::optional<int> settleMinutes;
    app.add_option("--out", out,
                   "Feed folder to write (created when missing; the feed's own "
                   "files are replaced, others left alone)");
    app.add_option("--from", from, "First day, yyyy-mm-dd")->required();
    app.add_option("--to", to, "Last day, yyyy-mm-dd (default: the first day)");
    app.add_option("--seed", seed, "Seed of the generator (default 1)");
    app.add_option("--odds-days", oddsDays,
                   "Days with full odds series: all (default), none, or a comma-separated "
                   "list of days; a year of race cards without series is quick to write");
    app.add_flag("--old-style", oldStyle,
                 "Days before 2005: fields of 8 or fewer runners get bracket-quinella odds "
                 "and no quinella records (required for, and only allowed for, days before "
                 "2005)");
    app.add_option("--settle-minutes", settleMinutes,
                   "Minutes after post before the replay publishes a race's results "
                   "(default 10)")
        ->check(CLI::Range(0, 24 * 60));
    app.add_flag("--stats", stats,
                 "Print market statistics of the range (share sums, rank correlations, "
                 "over-backed pairs, an example race); --out is then optional");
    CLI11_PARSE(app, argc, argv);

    try {
        if (out.empty() && !stats)
            throw Error("--out is required (or --stats alone)");
        FeedOptions options;
        options.from = parseDay(from, "--from");
        options.to = to.empty() ? options.from : parseDay(to, "--to");
        options.seed = seed;
        options.oldStyle = oldStyle;
        options.settleMinutes = settleMinutes;
        parseOddsDays(oddsDays, options);
        options.validate();
        if (!out.empty()) {
            const FeedSummary s = writeFeed(options, out);
            if (s.days == 0)
                std::printf("No JRA race days from %s to %s; nothing written.\n",
                            options.from.iso().c_str(), options.to.iso().c_str());
            else
                std::printf("Wrote %d race days, %d races (%d with odds series, %d with "
                            "over-backed pairs): %d files, %lld bytes in %s\n",
                            s.days, s.races, s.racesWithSeries, s.racesWithInformedPairs, s.files,
                            s.bytes, out.c_str());
        }
        if (stats)
            std::fputs(statsReport(options).c_str(), stdout);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sorvantix-feed: %s\n", e.what());
        return 1;
    }
    return 0;
}
