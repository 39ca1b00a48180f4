#include "core/analysis/analysis_computation.h"
#include "core/text/format.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <set>
#include <vector>

using namespace sorvantix;

namespace {

int pairNo(int a, int b)
{
    if (a > b)
        std::swap(a, b);
    return (a - 1) * (36 - a) / 2 + (b - a);
}

struct Share
{
    int i, j;
    double share; // UmarenShare wanted; the odds are 75 / share
};

OddsArrays oddsFromShares(std::initializer_list<Share> shares)
{
    OddsArrays odds;
    for (const auto& s : shares)
        odds.UmarenOdds[pairNo(s.i, s.j)] = 75.0 / s.share;
    return odds;
}

AnalysisState analyse(const OddsArrays& odds, const SuishoParams& params = analysisDefaultParams(),
                      SingularPointLists* lists = nullptr)
{
    AnalysisState st;
    computeAnalysis(odds, params, st, lists);
    return st;
}

std::vector<int> flagged(const AnalysisState::ByHorse<std::uint8_t>& flags)
{
    std::vector<int> out;
    for (int r = 1; r <= 18; ++r)
        if (flags[r])
            out.push_back(r);
    return out;
}

std::string f4(double v)
{
    return format("%.4f", v);
}

using Picks = std::vector<std::string>;

template <size_t N> Picks picks(const std::array<std::string, N>& slots)
{
    Picks out;
    for (size_t k = 1; k < N; ++k)
        if (!slots[k].empty())
            out.push_back(slots[k]);
    return out;
}

// Favourite 1 (share sum 50 of T = 200, so T / S1 = 4), second favourites 2 (30) and
// 3 (24), and six outsiders whose pair with 1 carries x of their share sum S:
//   horse  S   x    PA with 1 = x * T / (S * S1) = 4x / S   rank
//     4   15  4.5   1.2000                                  7
//     5   21  7.0   1.3333                                  4
//     6   12  4.5   1.5000                                  8
//     7   18  9.0   2.0000                                  6
//     8   20  7.0   1.4000                                  5
//     9   10  9.0   3.6000                                  9
// The rest of the outsiders' money goes to 2, 3 and the couples (4,5), (7,8).
// Group B is horse 1 alone: 30 and 24 stay below 0.7 * 50 = 35.
// Horse 1: PA with 2 = 6*200/(50*30) = 0.8, with 3 = 3*200/(50*24) = 0.5, with the six
// outsiders above 1, so PA≧1率 = 6/8 = 0.75 (推奨 at 0.6, not 特奨 at 0.8).
// PA(2,3) = 5*200/(30*24) = 1.388889; 1-3PA: horse 1 (0.8+0.5)*1.5 = 1.95, horse 2
// (0.8+1.388889)*1.5 = 3.283333 (ratio 1.6838), horse 3 (0.5+1.388889)*1.5 = 2.833333
// (ratio 1.4530): both above 1.04, so 2 and 3 carry both marks.
OddsArrays singularRace()
{
    OddsArrays odds = oddsFromShares({{1, 2, 6},
                                      {1, 3, 3},
                                      {2, 3, 5},
                                      {1, 4, 4.5},
                                      {1, 5, 7},
                                      {1, 6, 4.5},
                                      {1, 7, 9},
                                      {1, 8, 7},
                                      {1, 9, 9},
                                      {4, 5, 5},
                                      {7, 8, 5},
                                      {2, 4, 1},
                                      {2, 5, 9},
                                      {2, 8, 8},
                                      {2, 9, 1},
                                      {3, 4, 4.5},
                                      {3, 6, 7.5},
                                      {3, 7, 4}});
    odds.TanOdds[1] = 2.5;
    odds.TanOdds[9] = 999.9;
    return odds;
}

} // namespace

TEST(AnalysisState, ResetGivesTheEmptyAnalysisButKeepsKasenRate)
{
    AnalysisState st = analyse(singularRace());
    st.KasenRate = 52.0; // the display's percentage
    st.reset();
    for (int r = 1; r <= 18; ++r) {
        EXPECT_EQ(st.TanShare[r], -1.0);
        EXPECT_EQ(st.PaOverOneRate[r], -1.0);
        EXPECT_EQ(st.UmarenShareSum[r] + st.OverallShare[r] + st.PaTop3Sum[r] + st.PaAllSum[r] +
                      st.PaTop3Ratio[r] + st.PaAllRatio[r],
                  0.0);
        EXPECT_EQ(st.ShareRank[r], 0);
    }
    for (int p = 1; p <= 153; ++p) {
        EXPECT_EQ(st.UmarenShare[p], -1.0);
        EXPECT_EQ(st.PairPaRatio[p] + st.PairPaRatioRev[p], 0.0);
    }
    EXPECT_TRUE(flagged(st.SuishoMark).empty() && flagged(st.TokushoMark).empty());
    EXPECT_TRUE(flagged(st.TargetGroupA).empty() && flagged(st.TargetGroupB).empty());
    EXPECT_EQ(st.KaiTanHon + st.KaiTanAan[1] + st.KaiTanAan[2], 0);
    EXPECT_TRUE(picks(st.KaiRenHon).empty() && picks(st.KaiRenChuAna).empty() &&
                picks(st.KaiRenOoAna).empty());
    EXPECT_EQ(st.KasenRate, 52.0);
}

TEST(AnalysisComputation, WorkedExampleOfThreePricedPairs)
{
    OddsArrays odds;
    odds.UmarenOdds[pairNo(1, 2)] = 2.5;
    odds.UmarenOdds[pairNo(1, 3)] = 5.0;
    odds.UmarenOdds[pairNo(2, 3)] = 7.5;
    odds.TanOdds[1] = 2.0;
    odds.TanOdds[2] = 3.2;
    AnalysisState st = analyse(odds);

    EXPECT_EQ(st.UmarenShare[1], 30.0);
    EXPECT_EQ(st.UmarenShare[2], 15.0);
    EXPECT_EQ(st.UmarenShare[18], 10.0);
    EXPECT_EQ(st.UmarenShare[3], -1.0);
    EXPECT_EQ(st.UmarenShareSum[1], 45.0);
    EXPECT_EQ(st.UmarenShareSum[2], 40.0);
    EXPECT_EQ(st.UmarenShareSum[3], 25.0);
    EXPECT_EQ(st.TanShare[1], 40.0);
    EXPECT_EQ(st.TanShare[2], 25.0);
    EXPECT_EQ(st.TanShare[3], -1.0);
    EXPECT_EQ(format("%.6f", st.OverallShare[1]), "0.409091");
    EXPECT_EQ(format("%.6f", st.OverallShare[2]), "0.363636");
    EXPECT_EQ(format("%.6f", st.OverallShare[3]), "0.227273");

    const double expectedPa[] = {1.8333, 1.4667, 1.1000};
    const int pairs[] = {1, 2, 18};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(st.PairPaRatio[pairs[k]], expectedPa[k], 5e-5);
        EXPECT_NEAR(st.PairPaRatioRev[pairs[k]], expectedPa[k], 5e-5);
    }

    EXPECT_EQ(st.ShareRank[1], 1);
    EXPECT_EQ(st.ShareRank[2], 2);
    EXPECT_EQ(st.ShareRank[3], 3);
    for (int r = 4; r <= 18; ++r)
        EXPECT_EQ(st.ShareRank[r], 22 - r) << "horse " << r; // 18 -> 4 ... 4 -> 18

    EXPECT_EQ(format("%.2f", st.PaTop3Sum[1]), "4.95");
    EXPECT_EQ(format("%.2f", st.PaTop3Sum[2]), "4.40");
    EXPECT_EQ(format("%.2f", st.PaTop3Sum[3]), "3.85");
    EXPECT_EQ(f4(st.PaAllSum[1]), "3.3000");
    EXPECT_EQ(f4(st.PaAllSum[2]), "2.9333");
    EXPECT_EQ(f4(st.PaAllSum[3]), "2.5667");
    EXPECT_EQ(st.PaTop3Ratio[1], 0.0); // the favourite's own ratios stay 0
    EXPECT_EQ(st.PaAllRatio[1], 0.0);
    EXPECT_EQ(f4(st.PaTop3Ratio[2]), "0.8889");
    EXPECT_EQ(f4(st.PaAllRatio[2]), "0.8889");
    EXPECT_EQ(f4(st.PaTop3Ratio[3]), "0.7778");
    EXPECT_EQ(f4(st.PaAllRatio[3]), "0.7778");
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(st.PaOverOneRate[r], 1.0);
    EXPECT_EQ(st.PaOverOneRate[4], -1.0);
    EXPECT_EQ(format("%.6f", st.KasenRate), "1.000000");

    EXPECT_EQ(flagged(st.SuishoMark), std::vector<int>{1});
    EXPECT_EQ(flagged(st.TokushoMark), std::vector<int>{1});
    EXPECT_EQ(flagged(st.TargetGroupB), (std::vector<int>{1, 2})); // 0.3636 >= 0.7 * 0.4091
    EXPECT_TRUE(flagged(st.TargetGroupA).empty());
    EXPECT_EQ(st.KaiTanHon, 1);
    EXPECT_EQ(st.KaiTanAan[1], 0);
    EXPECT_TRUE(picks(st.KaiRenHon).empty());
    EXPECT_TRUE(picks(st.KaiRenChuAna).empty());
    EXPECT_TRUE(picks(st.KaiRenOoAna).empty());
}

TEST(AnalysisComputation, FourteenRunnersLeaveTheLowestRanksToTheEmptyNumbers)
{
    OddsArrays odds;
    for (int i = 1; i <= 14; ++i)
        for (int j = i + 1; j <= 14; ++j)
            odds.UmarenOdds[pairNo(i, j)] = 2.0 * (i + j); // lower numbers better backed
    AnalysisState st = analyse(odds);
    for (int r = 1; r <= 14; ++r)
        EXPECT_EQ(st.ShareRank[r], r);
    EXPECT_EQ(st.ShareRank[18], 15); // equal sums: the higher number ranks first
    EXPECT_EQ(st.ShareRank[17], 16);
    EXPECT_EQ(st.ShareRank[16], 17);
    EXPECT_EQ(st.ShareRank[15], 18);
    EXPECT_EQ(st.OverallShare[15], 0.0);
    EXPECT_EQ(st.PaOverOneRate[15], -1.0);
    EXPECT_EQ(st.TargetGroupA[15], 0);
}

TEST(AnalysisComputation, ShareSumsEqualToSixDecimalsRankTheHigherNumberFirst)
{
    // Horse 2: 75/3000 + 10 = 10.025000000; horse 3: 75/3000.01 + 10 = 10.024999917.
    // Horse 2 has the larger sum, but both print as " 10.025000".
    OddsArrays odds;
    odds.UmarenOdds[pairNo(1, 2)] = 3000.0;
    odds.UmarenOdds[pairNo(1, 3)] = 3000.01;
    odds.UmarenOdds[pairNo(2, 3)] = 7.5;
    AnalysisState st = analyse(odds);
    EXPECT_GT(st.UmarenShareSum[2], st.UmarenShareSum[3]);
    EXPECT_EQ(st.ShareRank[3], 1);
    EXPECT_EQ(st.ShareRank[2], 2);
    EXPECT_EQ(st.ShareRank[1], 3);
}

// Four runners, every share sum 20 (T = 80, overall share 0.25 each): pairs (1,2) and
// (3,4) at share 5 give PA 5/20/0.25 = 1.0 exactly, the other four at 7.5 give 1.5.
// Ranks by the tie rule: 4, 3, 2, 1. 1-3PA: horse 4 (1.0+1.5)*1.5 = 3.75, horse 3 the
// same (ratio 1.0), horse 2 (1.5+1.5)*1.5 = 4.5 (ratio 1.2), horse 1 1.5+1.5+1.0 = 4.0.
// Horse 1 (rank 4, 25 %) is group A; 2, 3, 4 are group B. Its pairs with 3 and 4 give
// the same text "  1.5000 1", stored once.
TEST(AnalysisComputation, SquareRaceWithRatiosOfExactlyOne)
{
    SingularPointLists lists;
    AnalysisState st = analyse(
        oddsFromShares({{1, 2, 5}, {3, 4, 5}, {1, 3, 7.5}, {1, 4, 7.5}, {2, 3, 7.5}, {2, 4, 7.5}}),
        analysisDefaultParams(), &lists);
    EXPECT_EQ(st.PairPaRatio[pairNo(1, 2)], 1.0);
    EXPECT_EQ(st.PairPaRatio[pairNo(1, 3)], 1.5);
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(st.ShareRank[r], 5 - r);
        EXPECT_EQ(f4(st.PaOverOneRate[r]), "0.6667"); // PA exactly 1 counts in N only
        EXPECT_EQ(st.PaAllSum[r], 4.0);
    }
    EXPECT_EQ(st.PaTop3Sum[4], 3.75);
    EXPECT_EQ(st.PaTop3Sum[2], 4.5);
    EXPECT_EQ(st.PaTop3Sum[1], 4.0);
    EXPECT_EQ(st.PaTop3Ratio[3], 1.0);
    EXPECT_EQ(st.PaAllRatio[3], 1.0);
    EXPECT_EQ(f4(st.PaTop3Ratio[1]), "1.0667");

    EXPECT_EQ(flagged(st.TargetGroupA), std::vector<int>{1});
    EXPECT_EQ(flagged(st.TargetGroupB), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(lists.S, Picks{"  1.5000 1"});
    EXPECT_TRUE(lists.T1.empty());
    EXPECT_EQ(lists.T2, Picks{"  1.5000 1"}); // one entry: rule ② marks horse 1
    EXPECT_EQ(st.PairPick[pairNo(1, 3)], 1);
    EXPECT_EQ(st.PairPick[pairNo(1, 4)], 1);
    EXPECT_EQ(st.PairPick[pairNo(1, 2)], 0);

    // Rank 1 at 0.6667: 推奨 only; rank 2 (horse 3) at ratio 1.0: 推奨 only; rank 3
    // (horse 2) at 1.2: both.
    EXPECT_EQ(flagged(st.SuishoMark), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(flagged(st.TokushoMark), (std::vector<int>{1, 2}));
    EXPECT_EQ(st.KaiTanHon, 2);
    EXPECT_EQ(st.KaiTanAan[1], 1);
    EXPECT_EQ(st.KaiTanAan[2], 0);
    // f1 = 4, f2 = 3, f3 = 2; the only longshot is horse 1.
    EXPECT_EQ(picks(st.KaiRenHon), (Picks{" 3- 4", " 2- 3", " 2- 4"}));
    EXPECT_EQ(picks(st.KaiRenChuAna), Picks{" 1- 4"});
    EXPECT_TRUE(picks(st.KaiRenOoAna).empty());
    EXPECT_EQ(st.KasenRate, 0.75);
}

TEST(AnalysisComputation, SingularRaceWithBuiltInParameters)
{
    SingularPointLists lists;
    OddsArrays odds = singularRace();
    AnalysisState st = analyse(odds, analysisDefaultParams(), &lists);

    EXPECT_EQ(st.TanShare[1], 32.0);
    EXPECT_EQ(format("%.6f", st.TanShare[9]), "0.080008");
    EXPECT_EQ(format("%.6f", st.OverallShare[1]), "0.250000");
    const int rank[] = {0, 1, 2, 3, 7, 4, 8, 6, 5, 9};
    for (int r = 1; r <= 9; ++r)
        EXPECT_EQ(st.ShareRank[r], rank[r]) << "horse " << r;
    EXPECT_EQ(f4(st.PairPaRatio[pairNo(2, 3)]), "1.3889");
    EXPECT_EQ(f4(st.PaOverOneRate[1]), "0.7500");
    EXPECT_EQ(f4(st.PaTop3Sum[1]), "1.9500");
    EXPECT_EQ(f4(st.PaTop3Ratio[2]), "1.6838");
    EXPECT_EQ(f4(st.PaTop3Ratio[3]), "1.4530");

    EXPECT_EQ(flagged(st.TargetGroupA), (std::vector<int>{4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(flagged(st.TargetGroupB), std::vector<int>{1});
    EXPECT_EQ(lists.S,
              (Picks{"  1.3333 5", "  1.4000 8", "  1.5000 6", "  2.0000 7", "  3.6000 9"}));
    EXPECT_EQ(lists.T1, (Picks{"  2.0000 7", "  3.6000 9"}));
    EXPECT_EQ(lists.T2, lists.S);
    for (int a = 5; a <= 9; ++a)
        EXPECT_EQ(st.PairPick[pairNo(1, a)], 1) << "horse " << a;
    EXPECT_EQ(st.PairPick[pairNo(1, 4)], 0); // 1.2
    EXPECT_EQ(st.PairPick[pairNo(3, 6)], 0); // 5.2 but 3 is not group B

    // S holds exactly SuiPaMaxCount (5) entries: all mark; T1 holds 2 (rule ①).
    EXPECT_EQ(flagged(st.SuishoMark), (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9}));
    EXPECT_EQ(flagged(st.TokushoMark), (std::vector<int>{2, 3, 7, 9}));
    EXPECT_EQ(st.KaiTanHon, 2);
    EXPECT_EQ(st.KaiTanAan[1], 7); // rank 6 before rank 9
    EXPECT_EQ(st.KaiTanAan[2], 9);
    EXPECT_EQ(picks(st.KaiRenHon), (Picks{" 1- 2", " 1- 3", " 2- 3"}));
    // Longshots in rank order: 5 (4), 8 (5), 7 (6), 6 (8), 9 (9).
    EXPECT_EQ(picks(st.KaiRenChuAna), (Picks{" 1- 5", " 1- 8", " 1- 7", " 1- 6", " 1- 9"}));
    EXPECT_EQ(picks(st.KaiRenOoAna), (Picks{" 5- 8", " 5- 7", " 5- 6", " 5- 9", " 7- 8", " 6- 8",
                                            " 8- 9", " 6- 7", " 7- 9", " 6- 9"}));
    EXPECT_EQ(format("%.6f", st.KasenRate), "0.520000"); // 0.25 + 0.15 + 0.12
}

struct ParamCase
{
    const char* name;
    void (*change)(SuishoParams&);
    std::vector<int> suisho; // marked runners of rank 4 on
    std::vector<int> tokusho;
    int kaiTanAan1, kaiTanAan2;
    Picks chuAna;
};

const Picks kAllFive{" 1- 5", " 1- 8", " 1- 7", " 1- 6", " 1- 9"};

class SingularRaceParams : public testing::TestWithParam<ParamCase>
{
};

TEST_P(SingularRaceParams, MarksFollowTheRules)
{
    const ParamCase& c = GetParam();
    SuishoParams params = analysisDefaultParams();
    c.change(params);
    AnalysisState st = analyse(singularRace(), params);
    std::vector<int> suisho, tokusho;
    for (int r = 4; r <= 9; ++r) {
        if (st.SuishoMark[r])
            suisho.push_back(r);
        if (st.TokushoMark[r])
            tokusho.push_back(r);
    }
    EXPECT_EQ(suisho, c.suisho);
    EXPECT_EQ(tokusho, c.tokusho);
    EXPECT_EQ(st.KaiTanAan[1], c.kaiTanAan1);
    EXPECT_EQ(st.KaiTanAan[2], c.kaiTanAan2);
    EXPECT_EQ(picks(st.KaiRenChuAna), c.chuAna);
}

INSTANTIATE_TEST_SUITE_P(
    AnalysisComputation, SingularRaceParams,
    testing::Values(
        // Six entries in S: the lowest (horse 4 at 1.2) is left out, unless six may mark;
        // then horse 9, sixth in rank order, is left out of the medium longshots.
        ParamCase{"OneMoreThanSuiPaMaxCount",
                  [](SuishoParams& p) { p.SuiPaMin = 1.15; },
                  {5, 6, 7, 8, 9},
                  {7, 9},
                  7,
                  9,
                  kAllFive},
        ParamCase{"SixMayMark",
                  [](SuishoParams& p) {
                      p.SuiPaMin = 1.15;
                      p.SuiPaMaxCount = 6;
                  },
                  {4, 5, 6, 7, 8, 9},
                  {7, 9},
                  7,
                  9,
                  Picks{" 1- 5", " 1- 8", " 1- 7", " 1- 4", " 1- 6"}},
        ParamCase{"TopThreeRatiosOnly",
                  [](SuishoParams& p) { p.SuiPaMaxCount = 3; },
                  {6, 7, 9},
                  {7, 9},
                  7,
                  9,
                  Picks{" 1- 7", " 1- 6", " 1- 9"}},
        ParamCase{"NegativeCountsMarkNothing",
                  [](SuishoParams& p) {
                      p.SuiPaMaxCount = -1;
                      p.Toku1MaxCount = -1;
                      p.Toku2Count = -1;
                  },
                  {},
                  {},
                  0,
                  0,
                  Picks{}},
        // Two entries in T1 but only one allowed: rule ① does not apply; neither does ③.
        ParamCase{"RuleOneTooMany",
                  [](SuishoParams& p) { p.Toku1MaxCount = 1; },
                  {5, 6, 7, 8, 9},
                  {},
                  0,
                  0,
                  kAllFive},
        ParamCase{"RuleTwoMarksAllOfT2",
                  [](SuishoParams& p) {
                      p.Toku1MaxCount = 1;
                      p.Toku2Count = 5;
                  },
                  {5, 6, 7, 8, 9},
                  {5, 6, 7, 8, 9},
                  5,
                  8,
                  kAllFive},
        // T1 empty, T2 of five: the top two print 3.6000 and 2.0000, a gap of 1.6.
        ParamCase{"RuleThreeAtTheGap",
                  [](SuishoParams& p) {
                      p.Toku1PaMin = 4.0;
                      p.Toku3PaGap = 1.6;
                  },
                  {5, 6, 7, 8, 9},
                  {9},
                  9,
                  0,
                  kAllFive},
        ParamCase{"RuleThreeBelowTheGap",
                  [](SuishoParams& p) {
                      p.Toku1PaMin = 4.0;
                      p.Toku3PaGap = 1.61;
                  },
                  {5, 6, 7, 8, 9},
                  {},
                  0,
                  0,
                  kAllFive},
        // Overall shares 4: 7.5 %, 5: 10.5, 6: 6, 7: 9, 8: 10, 9: 5; at 7 % horses 6 and
        // 9 leave group A and horse 4 (1.2) stays below SuiPaMin.
        ParamCase{"GroupAAtSevenPercent",
                  [](SuishoParams& p) { p.GroupAMinSharePct = 7.0; },
                  {5, 7, 8},
                  {7},
                  7,
                  0,
                  Picks{" 1- 5", " 1- 8", " 1- 7"}}),
    [](const testing::TestParamInfo<ParamCase>& info) { return std::string(info.param.name); });

TEST(AnalysisComputation, NoMarkedFavouriteLeavesOnlyTheLongshotPairs)
{
    SuishoParams params = analysisDefaultParams();
    params.SuiRank1PaRate = 0.9;
    params.SuiRank23Top3Ratio = 5;
    params.SuiRank23AllRatio = 5;
    AnalysisState st = analyse(singularRace(), params);
    EXPECT_EQ(flagged(st.SuishoMark), (std::vector<int>{5, 6, 7, 8, 9}));
    EXPECT_TRUE(picks(st.KaiRenHon).empty());
    EXPECT_TRUE(picks(st.KaiRenChuAna).empty());
    EXPECT_EQ(picks(st.KaiRenOoAna).size(), 10u);
}

// Favourite 1 (40 of T = 160, so T / S1 = 4); outsider 4 (S 20) has 16.5 on its pair
// with 1, outsider 5 (S 20) 6.5: PA 4*16.5/20 = 3.3 and 4*6.5/20 = 1.3. Horse 6 (S 15)
// has no pair with 1 (PA 0). With GroupBShareFactor 1.0 group B is horse 1 alone.
// In binary, 3.3 - 1.3 falls just short of 2.0; the printed ratios differ by 2.0000.
TEST(AnalysisComputation, RuleThreeComparesTheRatiosAsPrinted)
{
    OddsArrays odds = oddsFromShares({{1, 2, 10},
                                      {1, 3, 7},
                                      {2, 3, 18},
                                      {1, 4, 16.5},
                                      {1, 5, 6.5},
                                      {5, 6, 10},
                                      {2, 4, 3.5},
                                      {2, 5, 3.5},
                                      {3, 6, 5}});
    SuishoParams params = analysisDefaultParams();
    params.GroupBShareFactor = 1.0;
    params.Toku1PaMin = 9.0;  // T1 empty
    params.Toku2PaMin = 1.25; // T2: 1.3000 (5), 3.3000 (4)

    SingularPointLists lists;
    AnalysisState st = analyse(odds, params, &lists);
    ASSERT_EQ(lists.T2, (Picks{"  1.3000 5", "  3.3000 4"}));
    EXPECT_EQ(st.TokushoMark[4], 1);
    EXPECT_EQ(st.TokushoMark[5], 0);
    EXPECT_EQ(st.KaiTanAan[1], 4);

    params.Toku3PaGap = 2.01;
    st = analyse(odds, params);
    EXPECT_EQ(st.TokushoMark[4], 0);

    // T2 of one entry: rule ② marks it, whatever the gap.
    params.Toku2PaMin = 2.0;
    st = analyse(odds, params, &lists);
    EXPECT_EQ(lists.T2, Picks{"  3.3000 4"});
    EXPECT_EQ(st.TokushoMark[4], 1);
}

TEST(AnalysisComputation, FavouritePairsFollowTheTagOrder)
{
    // The worked example moved to horses 7, 3 and 1: ranks 7, 3, 1.
    OddsArrays odds;
    odds.UmarenOdds[pairNo(3, 7)] = 2.5;
    odds.UmarenOdds[pairNo(1, 7)] = 5.0;
    odds.UmarenOdds[pairNo(1, 3)] = 7.5;
    SuishoParams params = analysisDefaultParams();
    params.SuiRank23Top3Ratio = 0.5; // ratios 0.8889 and 0.7778 now mark
    AnalysisState st = analyse(odds, params);
    ASSERT_EQ(st.ShareRank[7], 1);
    ASSERT_EQ(st.ShareRank[3], 2);
    ASSERT_EQ(st.ShareRank[1], 3);
    EXPECT_EQ(picks(st.KaiRenHon), (Picks{" 3- 7", " 1- 3", " 1- 7"}));
    EXPECT_TRUE(picks(st.KaiRenChuAna).empty());
}

TEST(AnalysisComputation, NoPricedPairLeavesTheAnalysisEmpty)
{
    OddsArrays odds;
    odds.TanOdds[1] = 4.0;
    odds.TanOdds[2] = 999.9;
    odds.UmarenOdds[5] = 0.0; // not above 0: not priced
    AnalysisState st;
    st.KasenRate = 63.5; // left from the previous race
    SingularPointLists lists{{"x"}, {}, {}};
    computeAnalysis(odds, analysisDefaultParams(), st, &lists);
    EXPECT_EQ(st.TanShare[1], 20.0);
    EXPECT_EQ(st.TanShare[3], -1.0);
    EXPECT_EQ(st.KasenRate, 0.0);
    EXPECT_TRUE(lists.S.empty());
    AnalysisState empty;
    for (int r = 1; r <= 18; ++r) {
        EXPECT_EQ(st.ShareRank[r], 0);
        EXPECT_EQ(st.OverallShare[r], 0.0);
        EXPECT_EQ(st.PaOverOneRate[r], -1.0);
    }
    EXPECT_EQ(st.UmarenShare, empty.UmarenShare);
    EXPECT_EQ(st.PairPaRatio, empty.PairPaRatio);
    EXPECT_TRUE(flagged(st.SuishoMark).empty() && flagged(st.TokushoMark).empty());
    EXPECT_EQ(st.KaiTanHon, 0);
}

TEST(AnalysisComputation, AbsurdOddsStillRankEveryHorseOnce)
{
    // Odds of 0.001 give share sums above 999999, wider than their "%10.6f" field.
    OddsArrays odds;
    odds.UmarenOdds[pairNo(1, 2)] = 0.001;
    odds.UmarenOdds[pairNo(3, 4)] = 0.002;
    odds.UmarenOdds[pairNo(5, 6)] = 50.0;
    SuishoParams params = analysisDefaultParams();
    params.GroupAMinSharePct = 0;
    params.SuiPaMin = 0;
    AnalysisState st = analyse(odds, params);
    std::set<int> ranks;
    for (int r = 1; r <= 18; ++r)
        ranks.insert(st.ShareRank[r]);
    EXPECT_EQ(ranks.size(), 18u);
    EXPECT_EQ(*ranks.begin(), 1);
    EXPECT_EQ(*ranks.rbegin(), 18);
}
