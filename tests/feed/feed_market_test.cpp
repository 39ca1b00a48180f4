#include "core/store/racing_codes.h"
#include "core/text/field.h"
#include "feed/feed_records.h"
#include "feed/feed_stats.h"
#include "feed/feed_writer.h"

#include <gtest/gtest.h>

namespace sorvantix::feed {
namespace {

std::vector<GeneratedRace> generate(FeedDate from, FeedDate to, std::uint64_t seed,
                                    bool oldStyle = false)
{
    FeedOptions o;
    o.from = from;
    o.to = to;
    o.seed = seed;
    o.oldStyle = oldStyle;
    const PeoplePool people = makePeoplePool(seed);
    std::vector<GeneratedRace> races;
    for (const RaceDay& day : raceCalendar(from, to))
        for (GeneratedRace& g : generateDay(day, o, people))
            races.push_back(std::move(g));
    return races;
}

const std::vector<GeneratedRace>& demoWeekend()
{
    static const std::vector<GeneratedRace> races = generate({2026, 11, 28}, {2026, 11, 29}, 7);
    return races;
}

MarketShares sharesAt(const GeneratedRace& g, const OddsSnapshot& s)
{
    return sharesFromRecords(o1Record(g.plan, g.market, s), o2Record(g.plan, g.market, s));
}

TEST(FeedMarket, SharesSumNearHundredAndRankingsAgree)
{
    int points = 0, winOff = 0, pairOff = 0, lowCorrelation = 0;
    for (const GeneratedRace& g : demoWeekend()) {
        for (const OddsSnapshot& s : g.market.snapshots) {
            const MarketShares m = sharesAt(g, s);
            ++points;
            winOff += std::abs(m.winShareSum - 100) > 5;
            pairOff += std::abs(m.pairShareSum - 100) > 5;
            std::vector<double> win, sum;
            for (int h = 1; h <= g.plan.registered(); ++h)
                if (m.winVoted[static_cast<size_t>(h)]) {
                    win.push_back(m.winShare(h));
                    sum.push_back(m.shareSum[static_cast<size_t>(h)]);
                }
            lowCorrelation += rankCorrelation(win, sum) < 0.8;
        }
    }
    ASSERT_GT(points, 3000);
    EXPECT_LE(winOff, points / 50) << "win share sums off by more than 5 %";
    EXPECT_LE(pairOff, points / 50) << "quinella share sums off by more than 5 %";
    EXPECT_LE(lowCorrelation, points / 50) << "win and quinella rankings disagree";
}

TEST(FeedMarket, OverBackedPairsStandOutTowardsPostTime)
{
    int pairs = 0, standOut = 0, singular = 0, grew = 0;
    double standing = 0;
    for (const GeneratedRace& g : demoWeekend()) {
        // Midway through the series against the last announcement.
        const MarketShares mid = sharesAt(g, g.market.snapshots[g.market.snapshots.size() / 2]);
        const MarketShares last = sharesAt(g, g.market.last());
        for (const auto& [o, f] : g.plan.informedPairs) {
            ++pairs;
            const double s = paStanding(last, o, f, g.plan.registered());
            standing += s;
            standOut += s >= 0.9;
            singular += last.pa(o, f) >= 1.3;
            grew += last.pa(o, f) > mid.pa(o, f);
        }
    }
    ASSERT_GE(pairs, 10);
    // By chance a pair's PA ratio beats about half of its runners' other pairs.
    EXPECT_GE(standing / pairs, 0.85);
    EXPECT_GE(standOut, pairs * 8 / 10);
    EXPECT_GE(singular, pairs * 8 / 10);
    EXPECT_GE(grew, pairs * 8 / 10);
}

TEST(FeedMarket, PairsWithoutInformedMoneyDoNotStandOut)
{
    // The favourite with a mid-field runner in races without informed money: about
    // as often above as below the other pairs.
    double standing = 0;
    int count = 0;
    for (const GeneratedRace& g : demoWeekend()) {
        if (!g.plan.informedPairs.empty() || g.plan.starters() < 8)
            continue;
        const MarketShares m = sharesAt(g, g.market.last());
        int favourite = 0, fifth = 0;
        std::vector<std::pair<double, int>> byOdds;
        for (int h = 1; h <= g.plan.registered(); ++h)
            if (m.winVoted[static_cast<size_t>(h)])
                byOdds.push_back({m.winOdds[static_cast<size_t>(h)], h});
        std::sort(byOdds.begin(), byOdds.end());
        favourite = byOdds[0].second;
        fifth = byOdds[4].second;
        standing += paStanding(m, fifth, favourite, g.plan.registered());
        ++count;
    }
    ASSERT_GE(count, 20);
    EXPECT_LT(standing / count, 0.75);
}

// A race of the demo weekend cut down to `runners` runners.
RacePlan smallField(int runners, bool oldStyle)
{
    RacePlan plan = demoWeekend().front().plan;
    plan.runners.resize(static_cast<size_t>(runners));
    for (RunnerPlan& r : plan.runners) {
        r.bracket = BracketNo(runners, r.number);
        r.scratch = Scratch::None;
    }
    plan.informedPairs.clear();
    plan.oldStyle = oldStyle;
    if (oldStyle)
        plan.date = {2004, 5, 29};
    return plan;
}

TEST(FeedMarket, SmallFieldsBeforeAndFrom2005)
{
    for (bool oldStyle : {false, true}) {
        SCOPED_TRACE(oldStyle ? "old style" : "from 2005");
        const RacePlan plan = smallField(7, oldStyle);
        const MarketSeries market = simulateMarket(plan, 7);
        const RaceOutcome outcome = runRace(plan, market, 7);
        EXPECT_EQ(market.quinellaSold, !oldStyle);
        EXPECT_EQ(market.bracketSold, oldStyle);
        const std::string o1 = o1Record(plan, market, market.last());
        EXPECT_EQ(field(o1, 42, 1), oldStyle ? "7" : "0");
        // Bracket 1-2 (combination 2) and 6-7 (combination 32); same-bracket 1-1 never.
        for (int k : {2, 32}) {
            const std::string odds = field(o1, 606 + 9 * (k - 1), 5);
            if (oldStyle)
                EXPECT_GT(toIntDef(odds, 0), 0) << k;
            else
                EXPECT_EQ(odds, "     ") << k;
        }
        EXPECT_EQ(field(o1, 606, 5), "     ");
        EXPECT_EQ(field(o1, 46 + 8 * 7, 4), "    ") << "horse 8 does not exist";
        // Quinella not sold: the payout's first entry is zeros.
        const std::string hr = hrRecord(plan, outcome, '2', plan.date);
        EXPECT_EQ(field(hr, 246, 4), oldStyle ? "0000" : field(hr, 246, 4));
        EXPECT_EQ(field(hr, 207, 2) == "00", !oldStyle);
    }
}

TEST(FeedMarket, ScratchesShowAsDashesOrStars)
{
    RacePlan plan = smallField(12, false);
    plan.runners[2].scratch = Scratch::BeforeSale;
    plan.runners[4].scratch = Scratch::AfterSale;
    plan.runners[4].scratchAt = 0.5;
    const MarketSeries market = simulateMarket(plan, 7);
    const RaceOutcome outcome = runRace(plan, market, 7);
    bool sawBefore = false, sawAfter = false;
    for (const OddsSnapshot& s : market.snapshots) {
        const std::string o1 = o1Record(plan, market, s), o2 = o2Record(plan, market, s);
        EXPECT_EQ(field(o1, 46 + 8 * 2, 4), "----");
        EXPECT_EQ(field(o2, 45 + 13 * (umarenPairNumber(1, 3) - 1), 6), "------");
        const std::string five = field(o1, 46 + 8 * 4, 4);
        if (five == "****") {
            sawAfter = true;
            EXPECT_EQ(field(o2, 45 + 13 * (umarenPairNumber(5, 9) - 1), 6), "******");
            EXPECT_EQ(fieldInt(o1, 38, 2), 10) << "starters";
        } else {
            EXPECT_FALSE(sawAfter) << "a scratched runner does not come back";
            EXPECT_GT(toIntDef(five, -1), 0);
            sawBefore = true;
        }
        const MarketShares m = sharesFromRecords(o1, o2);
        EXPECT_NEAR(m.winShareSum, 100, 5);
        EXPECT_NEAR(m.pairShareSum, 100, 5);
    }
    EXPECT_TRUE(sawBefore && sawAfter);
    // Results: both scratched, the later one refunded.
    EXPECT_EQ(outcome.runners[2].abnormality, 1);
    EXPECT_EQ(outcome.runners[4].abnormality, 1);
    EXPECT_EQ(outcome.refundedHorses, std::vector<int>{5});
    EXPECT_EQ(outcome.starters, 10);
    const std::string hr = hrRecord(plan, outcome, '2', plan.date);
    EXPECT_EQ(field(hr, 59 + 4, 1), "1") << "horse 5 refunded";
    EXPECT_EQ(field(hr, 59 + 2, 1), "0") << "horse 3 was never on sale";
}

TEST(FeedMarket, DeadHeatsShareThePlacing)
{
    int deadHeats = 0;
    for (std::uint64_t seed : {1, 2, 3}) {
        for (const GeneratedRace& g : generate({2026, 11, 28}, {2026, 11, 29}, seed)) {
            std::map<int, int> atPos;
            for (const RunnerResult& r : g.outcome.runners)
                if (r.finishPos > 0)
                    ++atPos[r.finishPos];
            for (const RunnerResult& r : g.outcome.runners) {
                if (r.finishPos == 0)
                    continue;
                EXPECT_EQ(r.deadHeatCount, atPos[r.finishPos] > 1 ? atPos[r.finishPos] : 0);
                if (r.margin == "D  ")
                    ++deadHeats;
            }
            // Placings skip after a dead heat: k horses at p, the next at p + k.
            int expected = 1;
            for (const auto& [pos, count] : atPos) {
                EXPECT_EQ(pos, expected) << g.plan.key();
                expected = pos + count;
            }
            const int winners = atPos[1];
            EXPECT_EQ(static_cast<int>(g.outcome.win.size()), winners);
        }
    }
    EXPECT_GE(deadHeats, 1) << "dead heats happen now and then";
}

} // namespace
} // namespace sorvantix::feed
