#include "feed/feed_writer.h"

#include "core/text/error.h"
#include "core/text/format.h"
#include "core/text/text_file.h"
#include "feed/feed_records.h"

#include <algorithm>
#include <system_error>

namespace sorvantix::feed {
namespace {

namespace fs = std::filesystem;

constexpr int kScheduleRecordLength = 382;

// A schedule record (YS): a stored record type the program does not read and must
// skip. Laid out as JV-Data does: the common head without the race number, the
// weekday code, then blanks.
std::string scheduleRecord(const RaceDay& day, const VenueMeeting& vm, const FeedDate& created)
{
    std::string r = "YS1" + created.digits() + day.date.digits() + vm.venue +
                    format("%02d%02d", vm.meeting, vm.meetingDay) + std::to_string(day.weekdayCode);
    r.resize(kScheduleRecordLength - 2, ' ');
    return r + "\r\n";
}

std::string stamp(const FeedDate& d, const char* hhnnss)
{
    return d.digits() + hhnnss;
}

class Output
{
public:
    explicit Output(fs::path root) : m_root(std::move(root)) {}

    // A generated feed is made again from its arguments: no flushes to disk.
    void write(const fs::path& relative, const std::string& bytes)
    {
        const fs::path path = m_root / relative;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        if (ec)
            throw Error("cannot create the folder " + path.parent_path().string() + ": " +
                        ec.message());
        writeFileAtomicUnsynced(path, bytes);
        ++m_summary.files;
        m_summary.bytes += static_cast<long long>(bytes.size());
    }

    // Removes a file an earlier run may have left for a race that now has no such
    // series, so a rewritten folder never pairs new cards with old odds.
    void removeStale(const fs::path& relative)
    {
        std::error_code ec;
        fs::remove(m_root / relative, ec);
        if (ec)
            throw Error("cannot remove the outdated " + (m_root / relative).string() + ": " +
                        ec.message());
    }

    FeedSummary& summary() { return m_summary; }

private:
    fs::path m_root;
    FeedSummary m_summary;
};

void writeRaceBlock(const std::vector<RaceDay>& block, const FeedOptions& options,
                    const PeoplePool& people, Output& out)
{
    const FeedDate first = block.front().date, last = block.back().date;
    const FeedDate scheduleDate = first.plusDays(-4);
    const FeedDate cardDate = first.plusDays(-2);
    const FeedDate resultDate = last.plusDays(1);

    std::string schedule, raCards, seCards, raResults, seResults, hrResults;
    for (const RaceDay& day : block) {
        for (const VenueMeeting& vm : day.venues)
            schedule += scheduleRecord(day, vm, scheduleDate);
        const std::vector<GeneratedRace> races = generateDay(day, options, people);
        const bool series = options.seriesOn(day.date);
        std::string dayResults;
        for (const GeneratedRace& g : races) {
            const RacePlan& plan = g.plan;
            const int n = plan.registered();
            raCards += raRecord(plan, '2', cardDate, nullptr);
            raResults += raRecord(plan, '7', resultDate, &g.outcome);
            hrResults += hrRecord(plan, g.outcome, '2', resultDate);
            dayResults += raRecord(plan, '6', day.date, &g.outcome);
            for (int h = 1; h <= n; ++h) {
                seCards += seRecord(plan, h, '2', cardDate, nullptr);
                seResults += seRecord(plan, h, '7', resultDate, &g.outcome);
                dayResults += seRecord(plan, h, '6', day.date, &g.outcome);
            }
            dayResults += hrRecord(plan, g.outcome, '1', day.date);

            const std::string file = plan.key() + ".jvd";
            const OddsSnapshot& latest = g.market.last();
            std::string latestOdds = o1Record(plan, g.market, latest);
            if (g.market.quinellaSold)
                latestOdds += o2Record(plan, g.market, latest);
            out.write(fs::path("0B30") / file, latestOdds);
            if (series) {
                std::string o1, o2;
                for (const OddsSnapshot& s : g.market.snapshots) {
                    if (s.inO1)
                        o1 += o1Record(plan, g.market, s);
                    if (s.inO2 && g.market.quinellaSold)
                        o2 += o2Record(plan, g.market, s);
                }
                out.write(fs::path("0B41") / file, o1);
                if (g.market.quinellaSold)
                    out.write(fs::path("0B42") / file, o2);
                else
                    out.removeStale(fs::path("0B42") / file);
                ++out.summary().racesWithSeries;
            } else {
                out.removeStale(fs::path("0B41") / file);
                out.removeStale(fs::path("0B42") / file);
            }
            ++out.summary().races;
            if (!plan.informedPairs.empty())
                ++out.summary().racesWithInformedPairs;
        }
        out.write(fs::path("0B12") / (day.date.digits() + ".jvd"), dayResults);
        ++out.summary().days;
    }

    // Stored files in the order the service publishes them; the stamps order them.
    const fs::path race("RACE");
    out.write(race / (stamp(scheduleDate, "120000") + "-YS_schedule.jvd"), schedule);
    out.write(race / (stamp(cardDate, "160000") + "-RA_cards.jvd"), raCards);
    out.write(race / (stamp(cardDate, "160030") + "-SE_cards.jvd"), seCards);
    out.write(race / (stamp(resultDate, "170000") + "-RA_results.jvd"), raResults);
    out.write(race / (stamp(resultDate, "170030") + "-SE_results.jvd"), seResults);
    out.write(race / (stamp(resultDate, "170100") + "-HR_payouts.jvd"), hrResults);
}

} // namespace

void FeedOptions::validate() const
{
    if (to < from)
        throw Error("the last day " + to.iso() + " is before the first day " + from.iso());
    if (oldStyle && to.year >= 2005)
        throw Error("old-style days end in 2004; " + to.iso() + " is later");
    if (!oldStyle && from.year < 2005)
        throw Error("days before 2005 (" + from.iso() +
                    ") need the old style: small fields had no quinella odds then");
}

bool FeedOptions::seriesOn(const FeedDate& day) const
{
    switch (oddsDays) {
    case OddsDays::All:
        return true;
    case OddsDays::None:
        return false;
    case OddsDays::List:
        return std::find(oddsDayList.begin(), oddsDayList.end(), day) != oddsDayList.end();
    }
    return false;
}

void parseOddsDays(std::string_view text, FeedOptions& options)
{
    if (text == "all") {
        options.oddsDays = OddsDays::All;
        return;
    }
    if (text == "none") {
        options.oddsDays = OddsDays::None;
        return;
    }
    options.oddsDays = OddsDays::List;
    options.oddsDayList.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string_view item = text.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        const auto day = FeedDate::parse(item);
        if (!day)
            throw Error("odds days: \"" + std::string(item) +
                        "\" is not a date (yyyy-mm-dd), \"all\" or \"none\"");
        options.oddsDayList.push_back(*day);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
}

std::vector<GeneratedRace> generateDay(const RaceDay& day, const FeedOptions& options,
                                       const PeoplePool& people)
{
    std::vector<GeneratedRace> races;
    for (RacePlan& plan : planDay(day, options.seed, people, options.oldStyle)) {
        MarketSeries market = simulateMarket(plan, options.seed);
        RaceOutcome outcome = runRace(plan, market, options.seed);
        races.push_back({std::move(plan), std::move(market), std::move(outcome)});
    }
    return races;
}

FeedSummary writeFeed(const FeedOptions& options, const std::filesystem::path& feedDir)
{
    options.validate();
    const std::vector<RaceDay> days = raceCalendar(options.from, options.to);
    const PeoplePool people = makePeoplePool(options.seed);
    Output out(feedDir);
    std::vector<RaceDay> block;
    for (const RaceDay& day : days) {
        if (!block.empty() && block.back().date.plusDays(1) != day.date) {
            writeRaceBlock(block, options, people, out);
            block.clear();
        }
        block.push_back(day);
    }
    if (!block.empty())
        writeRaceBlock(block, options, people, out);
    // The replay's settlement delay: kept only when chosen, so a feed made without it
    // has the replay's default and no file of an earlier choice.
    const fs::path settings("feed.ini");
    if (options.settleMinutes)
        out.write(settings, format("[Replay]\r\nSettlementMinutes=%d\r\n", *options.settleMinutes));
    else
        out.removeStale(settings);
    return out.summary();
}

} // namespace sorvantix::feed
