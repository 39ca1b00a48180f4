#include "core/analysis/analysis_computation.h"
#include "core/app/temp_dir.h"
#include "core/study/backtest.h"
#include "core/study/study_day.h"

#include <gtest/gtest.h>

namespace sorvantix {
namespace {

using test::TempDir;

BacktestOptions options(Decision decision)
{
    BacktestOptions o;
    o.decision = decision;
    o.sets.push_back({"既定値", analysisDefaultParams()});
    o.resamples = 200;
    return o;
}

Decision minutesBefore(int minutes)
{
    Decision d;
    d.minutes = minutes;
    return d;
}

const BacktestRaceRow& rowOf(const BacktestReport& r, const std::string& key)
{
    for (const auto& row : r.sets.at(0).races)
        if (row.raceKey == key)
            return row;
    throw std::runtime_error("race not in the backtest: " + key);
}

std::vector<std::string> labels(const BacktestRaceRow& row)
{
    std::vector<std::string> out;
    for (const auto& b : row.bets)
        out.push_back(std::string(betCategoryKey(b.category)) + b.label());
    return out;
}

// The bets of race 11 analysed from its 15:00 quinella odds alone.
std::vector<std::string> betsAt1500(const test::PairTenths& tenths)
{
    const auto& r = test::race11();
    OddsArrays odds;
    fillOddsArrays(test::reportO1(r, "05161500"), test::studyO2(r, "05161500", tenths), true, odds);
    AnalysisState state;
    computeAnalysis(odds, analysisDefaultParams(), state);
    BacktestRaceRow row{"", "", settleBets(state, readRacePayouts(""))};
    return labels(row);
}

TEST(Backtest, LaterAnnouncementsDoNotLeakIntoTheDecision)
{
    const std::string key = test::reportRaceKey(11);
    // At 15:00 the informed pairs stand out; by 15:25 the market has gone flat.
    TempDir a;
    test::storeStudyDay(a.path(), test::markedTenths, test::flatTenths);
    const BacktestReport early = runBacktest(a.path(), {}, {}, options(minutesBefore(30)));
    ASSERT_EQ(rowOf(early, key).timeKey, "05161500");
    const std::vector<std::string> bets = labels(rowOf(early, key));
    EXPECT_FALSE(bets.empty());
    EXPECT_EQ(bets, betsAt1500(test::markedTenths));

    // The same race with other late odds: the decision at 15:00 cannot tell.
    TempDir b;
    test::storeStudyDay(b.path(), test::markedTenths, [](int x, int y) { return x * 100 + y; });
    EXPECT_EQ(labels(rowOf(runBacktest(b.path(), {}, {}, options(minutesBefore(30))), key)), bets);

    // Deciding at 15:25 does see the flat market: the check above could fail.
    const BacktestReport late = runBacktest(a.path(), {}, {}, options(minutesBefore(5)));
    EXPECT_EQ(rowOf(late, key).timeKey, "05161525");
    EXPECT_NE(labels(rowOf(late, key)), bets);
}

TEST(Backtest, DecisionTimes)
{
    TempDir dir;
    test::storeStudyDay(dir.path(), test::markedTenths, test::flatTenths);
    const std::string key = test::reportRaceKey(11);
    // Post 15:30: 31 minutes before is 14:59, before the 15:00 announcement.
    EXPECT_EQ(rowOf(runBacktest(dir.path(), {}, {}, options(minutesBefore(31))), key).timeKey,
              "05160920");
    // The automatic acquisition fetches lead - delay = 25 minutes before post.
    Decision automatic;
    automatic.kind = Decision::Kind::AutoTime;
    EXPECT_EQ(rowOf(runBacktest(dir.path(), {}, {}, options(automatic)), key).timeKey, "05161500");
    automatic.delay = 0; // 30 minutes before
    EXPECT_EQ(rowOf(runBacktest(dir.path(), {}, {}, options(automatic)), key).timeKey, "05161500");
    automatic.lead = 40; // 14:50
    EXPECT_EQ(rowOf(runBacktest(dir.path(), {}, {}, options(automatic)), key).timeKey, "05160920");
    // The window's default time point: nearest to 09:15, the earlier on a tie.
    Decision window;
    window.kind = Decision::Kind::DefaultTime;
    EXPECT_EQ(rowOf(runBacktest(dir.path(), {}, {}, options(window)), key).timeKey, "05160910");
    window.firstTime = "1510";
    EXPECT_EQ(rowOf(runBacktest(dir.path(), {}, {}, options(window)), key).timeKey, "05161500");

    // Races without payouts are counted, not settled: race 3 has none.
    const BacktestReport r = runBacktest(dir.path(), {}, {}, options(minutesBefore(30)));
    EXPECT_EQ(r.racesSeen, 3);
    EXPECT_EQ(r.racesNoPayouts, 1);
    // Race 1 (post 10:10) has no announcement 30 minutes before post... 09:20 is before
    // 09:40, so it has one; nothing is left without a time point here.
    EXPECT_EQ(r.racesNoDecision, 0);
    EXPECT_EQ(r.raceKeys.size(), 2u);

    EXPECT_FALSE(Decision::parse("ten"));
    EXPECT_FALSE(Decision::parse("-5"));
    EXPECT_EQ(Decision::parse("auto")->kind, Decision::Kind::AutoTime);
    EXPECT_EQ(Decision::parse("15")->minutes, 15);
}

// Builds a prepared race whose analysis marks what the odds say, paying `payouts`.
BacktestRace preparedRace(const std::string& key, const std::string& hr)
{
    BacktestRace race;
    race.raceKey = key;
    race.timeKey = "05161500";
    fillOddsArrays(test::reportO1(test::race11(), "05161500"),
                   test::studyO2(test::race11(), "05161500", test::markedTenths), true, race.odds);
    race.payouts = readRacePayouts(hr);
    return race;
}

TEST(Backtest, SettlesHitsRefundsAndStatistics)
{
    AnalysisState state;
    computeAnalysis(preparedRace("k", "").odds, analysisDefaultParams(), state);
    ASSERT_GE(state.KaiTanHon, 1);
    ASSERT_FALSE(state.KaiRenHon[1].empty());
    const int favourite = state.KaiTanHon;
    const int pair = UmarenPairNo(state.KaiRenHon[1]);

    // A race paying the reference win bet and the first quinella favourite pair.
    RecordBuilder hit(RecordType::HR);
    hit.setRaceKey(test::reportRaceKey(11)).set("registered", 10);
    hit.set("win_horse", 1, favourite).set("win_payout", 1, format("%09d", 350));
    const auto [x, y] = umarenPairHorses(pair);
    hit.set("quinella_combo", 1, format("%02d%02d", x, y))
        .set("quinella_payout", 1, format("%09d", 1230));
    // A race where the favourite was withdrawn: its win bets come back.
    RecordBuilder refund = RecordBuilder::fromRecord(hit.bytes());
    refund.clear("win_horse", 1).clear("win_payout", 1).clear("quinella_combo", 1);
    refund.clear("quinella_payout", 1);
    refund.set("refunded_horse", favourite, 1);
    // A race that paid nothing the method bought.
    RecordBuilder miss(RecordType::HR);
    miss.setRaceKey(test::reportRaceKey(11)).set("win_horse", 1, 18);
    miss.set("win_payout", 1, format("%09d", 9990));

    const std::vector<BacktestRace> races{
        preparedRace("a", miss.bytes()), preparedRace("b", miss.bytes()),
        preparedRace("c", hit.bytes()), preparedRace("d", refund.bytes())};
    const BacktestReport r = backtestRaces(races, options(minutesBefore(10)));
    const ParamSetReport& set = r.sets.at(0);
    const CategoryStats& tanHon = set.categories[static_cast<size_t>(BetCategory::TanHon)];
    EXPECT_EQ(tanHon.races, 4);
    EXPECT_EQ(tanHon.bets, 4);
    EXPECT_EQ(tanHon.hits, 1);
    EXPECT_EQ(tanHon.stake, 400);
    EXPECT_EQ(tanHon.returned, 350 + 100); // the hit and the refund
    EXPECT_EQ(tanHon.longestLosingRun, 2);
    EXPECT_DOUBLE_EQ(tanHon.roi(), 450.0 / 400.0);
    // Resampling the same four races can give anything from none to all of them paid.
    EXPECT_LE(tanHon.roiLow, tanHon.roi());
    EXPECT_GE(tanHon.roiHigh, tanHon.roi());
    EXPECT_GE(tanHon.roiLow, 0.0);
    const CategoryStats& renHon = set.categories[static_cast<size_t>(BetCategory::RenHon)];
    EXPECT_EQ(renHon.hits, 1);
    EXPECT_GE(renHon.returned, 1230);
    // The cumulative net return ends at what came back less what was staked.
    EXPECT_EQ(set.cumulative[static_cast<size_t>(BetCategory::TanHon)].back(), 450 - 400);
    // Totals add every category up.
    long long stake = 0;
    for (const auto& c : set.categories)
        stake += c.stake;
    EXPECT_EQ(set.total.stake, stake);

    // The same seed gives the same interval; another seed is allowed to differ.
    const BacktestReport again = backtestRaces(races, options(minutesBefore(10)));
    EXPECT_EQ(again.sets[0].total.roiLow, set.total.roiLow);
    EXPECT_EQ(again.sets[0].total.roiHigh, set.total.roiHigh);
}

TEST(Backtest, ComparesParameterSetsOnTheSameRaces)
{
    TempDir dir;
    test::storeStudyDay(dir.path(), test::markedTenths, test::flatTenths);
    BacktestOptions o = options(minutesBefore(30));
    SuishoParams strict = analysisDefaultParams();
    strict.SuiPaMin = 99; // no singular point is ever this strong
    strict.Toku1PaMin = 99;
    strict.Toku2PaMin = 99;
    o.sets.push_back({"厳しい", strict});
    const BacktestReport r = runBacktest(dir.path(), {}, {}, o);
    ASSERT_EQ(r.sets.size(), 2u);
    EXPECT_EQ(r.sets[0].races.size(), r.sets[1].races.size());
    EXPECT_GT(r.sets[0].categories[static_cast<size_t>(BetCategory::Suisho)].bets,
              r.sets[1].categories[static_cast<size_t>(BetCategory::Suisho)].bets);

    const std::string csv = backtestCsv(r);
    EXPECT_NE(csv.find("\"厳しい\",suisho,"), std::string::npos);
    EXPECT_NE(backtestTable(r).find("[厳しい]"), std::string::npos);
    const std::string svg = backtestSvg(r);
    EXPECT_EQ(svg.rfind("<svg", 0), 0u);
    EXPECT_NE(svg.find("厳しい: ★ 単勝"), std::string::npos);
}

} // namespace
} // namespace sorvantix
