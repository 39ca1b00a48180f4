#include "core/present/pa_chart.h"
#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/format.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace sorvantix;

namespace {

using PairOdds = std::map<std::pair<int, int>, std::string>; // (a, b) -> 6-byte field

std::string strip(std::string record)
{
    return record.substr(0, record.size() - 2);
}

// An O2 line announced at MMDDhhmm with the given quinella fields.
std::string o2Line(const std::string& time, int runners, const PairOdds& odds)
{
    RecordBuilder b(RecordType::O2);
    b.set("data_kind", "1").set("creation_date", 20261206).setRaceKey("2026120606050211");
    b.set("announce_time", time).set("registered", runners);
    for (const auto& [pair, text] : odds) {
        int k = umarenPairNumber(pair.first, pair.second);
        b.set("quinella_pair", k, format("%02d%02d", pair.first, pair.second));
        b.set("quinella_odds", k, text);
    }
    return strip(b.bytes());
}

// Quinella odds of a field where the strength of horse h falls with h, skipping
// `scratched` (its fields stay blank).
PairOdds strengthOdds(int runners, int scratched = 0, double scale = 1.0)
{
    PairOdds odds;
    for (int a = 1; a <= runners; ++a)
        for (int b = a + 1; b <= runners; ++b)
            if (a != scratched && b != scratched)
                odds[{a, b}] = format("%06d", static_cast<int>((20 * a + 9 * b + a * b) * scale));
    return odds;
}

struct ChartFixture
{
    std::vector<std::string> O1Lines;
    std::vector<std::string> O2Lines;
    bool useUmaren = true;
    ChartOdds odds() const { return {O1Lines, O2Lines, useUmaren}; }

    // What the race selection does: latest record, horse list, chart of item 0.
    PaChart select(int runners) const
    {
        PaChart chart;
        const auto& lines = useUmaren ? O2Lines : O1Lines;
        chart.CgraphIniBtnClick(lines.empty() ? std::string_view() : lines.back(), useUmaren);
        chart.fillHorseList(runners);
        chart.RadioGroup1Click(0, odds(), runners);
        return chart;
    }
};

} // namespace

// Three runners with shares small enough to work out by hand: pair shares 75/odds are
// 30, 15 and 10, horse shares 45, 40 and 25 of 110.
TEST(PaChart, RatiosRanksAndPairListOfAHandWorkedRace)
{
    ChartFixture f;
    f.O2Lines = {
        o2Line("12060930", 3, {{{1, 2}, "000025"}, {{1, 3}, "000050"}, {{2, 3}, "000075"}})};
    PaChart chart = f.select(3);

    EXPECT_DOUBLE_EQ(chart.ChartPairPa[umarenPairNumber(1, 2)], 30.0 / 45 / (40.0 / 110));
    EXPECT_DOUBLE_EQ(chart.ChartPairPa[umarenPairNumber(1, 3)], 15.0 / 45 / (25.0 / 110));
    EXPECT_DOUBLE_EQ(chart.ChartPairPa[umarenPairNumber(2, 3)], 10.0 / 40 / (25.0 / 110));
    EXPECT_EQ(chart.view().RadioGroup1, (std::vector<std::string>{" 1番", " 2番", " 3番"}));
    EXPECT_EQ(chart.view().RadioGroup1Index, 0);
    // 1.8333.. and 1.4666.. in the partners' rank order.
    EXPECT_EQ(chart.view().pairList, (std::vector<std::string>{" 1- 2[ 1.833]", " 1- 3[ 1.467]"}));
    const ChartSeries& two = chart.view().series[1];
    ASSERT_EQ(two.points.size(), 1u);
    EXPECT_EQ(two.points[0].label, "09:30");
    EXPECT_EQ(two.title, " 1- 2");
    EXPECT_TRUE(two.inLegend);
    // Horses without a share rank behind the runners, the higher number first.
    EXPECT_EQ(chart.FinalRank[18], 4);
    EXPECT_EQ(chart.FinalRank[4], 18);
}

TEST(PaChart, SeriesOfHorseFourInATenRunnerRace)
{
    ChartFixture f;
    for (const char* t : {"12060900", "12060910", "12060920"})
        f.O2Lines.push_back(o2Line(t, 10, strengthOdds(10)));
    PaChart chart = f.select(10);
    const auto& items = chart.view().RadioGroup1;
    ASSERT_EQ(items.size(), 10u);
    auto four = std::find(items.begin(), items.end(), " 4番");
    ASSERT_NE(four, items.end());
    chart.RadioGroup1Click(static_cast<int>(four - items.begin()), f.odds(), 10);

    const auto& series = chart.view().series;
    for (int i = 1; i <= 18; ++i) {
        const ChartSeries& s = series[static_cast<size_t>(i - 1)];
        const bool partner = i <= 10 && i != 4;
        EXPECT_EQ(s.inLegend, partner) << "series " << i;
        EXPECT_EQ(s.points.size(), partner ? 3u : 0u) << "series " << i;
        if (partner) {
            EXPECT_EQ(s.title, UmarenPairText(umarenPairNumber(std::min(4, i), std::max(4, i))));
        }
    }
    EXPECT_EQ(series[0].title, " 1- 4");
    EXPECT_EQ(series[4].title, " 4- 5");
    EXPECT_EQ(series[9].title, " 4-10");
    // Titles stay from earlier builds (horse 1's chart named series 4); unused ones
    // keep their numbers.
    EXPECT_EQ(series[3].title, " 1- 4");
    EXPECT_EQ(series[10].title, "11");
    EXPECT_EQ(series[10].dash, ChartDash::Dot);
    EXPECT_EQ(series[10].colour, 0xFF0000u);
    EXPECT_EQ(series[9].colour, 0xFF00FFu);
    const ChartSeries& reference = series[18];
    EXPECT_EQ(reference.title, "目盛り1.5");
    EXPECT_FALSE(reference.inLegend);
    ASSERT_EQ(reference.points.size(), 3u);
    EXPECT_EQ(reference.points[2].x, 2);
    EXPECT_EQ(reference.points[2].label, "09:20");
    EXPECT_EQ(reference.points[2].y, 1.5);
    EXPECT_EQ(chart.view().pairList.size(), 9u);
}

// A runner scratched before the latest odds has no share and no item; the partners
// still run to the last horse number, which the item count would have dropped.
TEST(PaChart, ScratchedRunnerLeavesTheListButNotTheHighestPartner)
{
    ChartFixture f;
    f.O2Lines = {o2Line("12060900", 10, strengthOdds(10)),
                 o2Line("12060930", 10, strengthOdds(10, 7))};
    PaChart chart = f.select(10);
    const auto& items = chart.view().RadioGroup1;
    EXPECT_EQ(items.size(), 9u);
    EXPECT_EQ(std::count(items.begin(), items.end(), " 7番"), 0);
    EXPECT_EQ(items.front(), " 1番");

    const auto& series = chart.view().series;
    ASSERT_TRUE(series[9].inLegend);
    EXPECT_EQ(series[9].title, " 1-10");
    ASSERT_EQ(series[9].points.size(), 2u);
    EXPECT_GT(series[9].points[1].y, 0);
    // The scratched runner's pair had odds at 9:00 only.
    EXPECT_GT(series[6].points[0].y, 0);
    EXPECT_EQ(series[6].points[1].y, 0);
    EXPECT_EQ(chart.view().pairList.back(), " 1- 7[ 0.000]");
}

TEST(PaChart, BracketQuinellaFeedsPairsOfAnEightRunnerRace)
{
    RecordBuilder b(RecordType::O1);
    b.set("data_kind", "1").set("creation_date", 20040516).setRaceKey("2004051605030811");
    b.set("announce_time", "05161010").set("registered", 8);
    for (int a = 1; a <= 8; ++a)
        for (int c = a; c <= 8; ++c)
            b.set("bracket_odds", wakurenPairNumber(a, c), format("%05d", 50 * a + 10 * c));
    ChartFixture f;
    f.useUmaren = false;
    f.O1Lines = {strip(b.bytes())};
    PaChart chart;
    chart.ChartTimeIndex = 0;
    chart.CgraphClick(f.odds());
    EXPECT_DOUBLE_EQ(chart.ChartBracketOdds[wakurenPairNumber(2, 5)], 15.0);
    EXPECT_DOUBLE_EQ(chart.ChartPairOdds[umarenPairNumber(2, 5)], 15.0);
    EXPECT_DOUBLE_EQ(chart.ChartBracketOdds[wakurenPairNumber(3, 3)], 18.0);
    // 3-3 has no quinella pair: the 28 pairs of 8 runners are all the priced ones.
    EXPECT_EQ(std::count_if(chart.ChartPairOdds.begin() + 1, chart.ChartPairOdds.end(),
                            [](double o) { return o > 0; }),
              28);
    EXPECT_EQ(chart.ChartTimeLabel, "10:10");
    chart = f.select(8);
    EXPECT_EQ(chart.view().RadioGroup1.size(), 8u);
    EXPECT_EQ(chart.view().series[1].points.size(), 1u);
}

// Zeros are a pair without votes in the latest record but no odds at a time point;
// blanks and the markers are no odds in both; anything else is damage, left out.
TEST(PaChart, FieldsWithoutOddsAtATimePointAndInTheLatestRecord)
{
    PairOdds odds = strengthOdds(5);
    odds[{1, 2}] = "000000";
    odds[{1, 3}] = "------";
    odds[{1, 4}] = "******";
    odds[{1, 5}] = "      ";
    odds[{2, 3}] = "12a456";
    ChartFixture f;
    f.O2Lines = {o2Line("12061000", 5, odds)};
    PaChart chart;
    chart.CgraphIniBtnClick(f.O2Lines[0], true);
    EXPECT_DOUBLE_EQ(chart.ChartPairOdds[umarenPairNumber(1, 2)], 99999.9);
    chart.CgraphClick(f.odds());
    EXPECT_EQ(chart.ChartPairOdds[umarenPairNumber(1, 2)], -1.0);
    EXPECT_EQ(chart.ChartPairPa[umarenPairNumber(1, 2)], 0);
    for (auto [a, b] : {std::pair{1, 3}, {1, 4}, {1, 5}, {2, 3}})
        EXPECT_EQ(chart.ChartPairOdds[umarenPairNumber(a, b)], -1.0) << a << "-" << b;
    EXPECT_EQ(chart.damagedFields(), 1); // the time point's; the latest record is not counted
    EXPECT_GT(chart.ChartPairPa[umarenPairNumber(4, 5)], 0);
}

TEST(PaChart, EqualSharesRankTheHigherHorseNumberFirst)
{
    // Every pair at the same odds: all four runners share equally.
    PairOdds odds;
    for (int a = 1; a <= 4; ++a)
        for (int b = a + 1; b <= 4; ++b)
            odds[{a, b}] = "000100";
    ChartFixture f;
    f.O2Lines = {o2Line("12061000", 4, odds)};
    PaChart chart = f.select(4);
    EXPECT_EQ(chart.view().RadioGroup1, (std::vector<std::string>{" 4番", " 3番", " 2番", " 1番"}));
    EXPECT_EQ(chart.view().pairList,
              (std::vector<std::string>{" 3- 4[ 1.333]", " 2- 4[ 1.333]", " 1- 4[ 1.333]"}));
}

TEST(PaChart, NoOddsGiveAnEmptyHorseListAndChart)
{
    ChartFixture f;
    PaChart chart = f.select(12);
    EXPECT_TRUE(chart.view().RadioGroup1.empty());
    EXPECT_EQ(chart.view().RadioGroup1Index, -1);
    for (const auto& s : chart.view().series)
        EXPECT_TRUE(s.points.empty());
    EXPECT_TRUE(chart.view().pairList.empty());
    // A short or cut-off line reads as no odds, never past its end.
    f.O2Lines = {"O2"};
    chart = f.select(12);
    EXPECT_TRUE(chart.view().RadioGroup1.empty());
}
