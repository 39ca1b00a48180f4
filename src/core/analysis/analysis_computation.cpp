#include "core/analysis/analysis_computation.h"

#include "core/store/racing_codes.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/sorted_text_list.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {
namespace {

constexpr int kHorses = AnalysisState::kHorses;

// Pair number of two different horse numbers in either order.
int pairOf(int a, int b)
{
    return a < b ? umarenPairNumber(a, b) : umarenPairNumber(b, a);
}

std::string pairText(int a, int b)
{
    return UmarenPairText(pairOf(a, b));
}

// Horse number in the last two characters of a list entry. Reading from the end
// keeps a runaway number (wider than its field) from shifting the horse number.
int trailingHorse(const std::string& entry)
{
    return toIntDef(std::string_view(entry).substr(entry.size() - 2), 0);
}

bool isHorse(int r)
{
    return r >= 1 && r <= kHorses;
}

void markRunner(AnalysisState::ByHorse<std::uint8_t>& marks, const std::string& entry)
{
    int r = trailingHorse(entry);
    if (isHorse(r))
        marks[static_cast<size_t>(r)] = 1;
}

// A ratio as printed to four decimals, in ten-thousandths; nullopt for a text that
// is not a number.
std::optional<double> printedTenThousandths(const std::string& entry)
{
    auto v = parseDouble(std::string_view(entry).substr(0, entry.size() - 2));
    if (!v || !std::isfinite(*v))
        return std::nullopt;
    return std::round(*v * 10000.0);
}

// Fills slots[1..] with characters 2-6 of the tagged pair texts in tag order.
template <size_t N> void fillPicks(const SortedTextList& tagged, std::array<std::string, N>& slots)
{
    for (size_t k = 0; k < tagged.size() && k + 1 < N; ++k)
        slots[k + 1] = tagged[k].substr(1, 5);
}

bool inTopThree(const AnalysisState& st, int r)
{
    return st.ShareRank[r] >= 1 && st.ShareRank[r] <= 3;
}

// Pair shares, summed per runner in pair-number order, and the win shares. Returns the
// total (twice the sum of all pair shares).
double computeShares(const OddsArrays& odds, AnalysisState& st)
{
    auto& share = st.UmarenShare;
    auto& sum = st.UmarenShareSum;
    for (int i = 1; i < kHorses; ++i) {
        for (int j = i + 1; j <= kHorses; ++j) {
            int p = pairOf(i, j);
            if (odds.UmarenOdds[p] > 0) {
                share[p] = kQuinellaPayoutPercent / odds.UmarenOdds[p];
                sum[i] += share[p];
                sum[j] += share[p];
            }
        }
    }
    double total = 0;
    for (int r = 1; r <= kHorses; ++r) {
        if (odds.TanOdds[r] > 0)
            st.TanShare[r] = kWinPayoutPercent / odds.TanOdds[r];
        total += sum[r];
    }
    return total;
}

// The runners by share rank: horseOfRank[1..count].
struct Ranking
{
    int count = 0;
    std::array<int, kHorses + 1> horseOfRank{};
};

// Overall share and share rank. Every horse number takes part, so equal sums (to six
// decimals) rank the higher horse number first.
Ranking rankByShare(AnalysisState& st, double total)
{
    SortedTextList scratch;
    for (int r = 1; r <= kHorses; ++r) {
        st.OverallShare[r] = st.UmarenShareSum[r] / total;
        scratch.add(fixed(st.UmarenShareSum[r], 10, 6) + padded(r, 2));
    }
    Ranking ranking;
    ranking.count = static_cast<int>(scratch.size());
    const int n = ranking.count;
    for (int k = 0; k < n; ++k) {
        int r = trailingHorse(scratch[static_cast<size_t>(k)]);
        if (isHorse(r)) {
            st.ShareRank[r] = n - k;
            ranking.horseOfRank[static_cast<size_t>(n - k)] = r;
        }
    }
    return ranking;
}

// PA ratios, 1-3PA, 全PA, PA≧1率 and the ratios to the favourite `t`.
void computePaRatios(const OddsArrays& odds, AnalysisState& st, int t)
{
    const auto& share = st.UmarenShare;
    const auto& sum = st.UmarenShareSum;
    // The divisions stay in this order so both triangles print as shown.
    for (int i = 1; i < kHorses; ++i) {
        for (int j = i + 1; j <= kHorses; ++j) {
            int p = pairOf(i, j);
            if (odds.UmarenOdds[p] > 0) {
                st.PairPaRatio[p] = share[p] / sum[i] / st.OverallShare[j];
                st.PairPaRatioRev[p] = share[p] / sum[j] / st.OverallShare[i];
            }
        }
    }
    for (int m = 1; m <= kHorses; ++m) {
        int pairs = 0;
        int overOne = 0;
        for (int o = 1; o <= kHorses; ++o) {
            if (o == m)
                continue;
            int p = pairOf(m, o);
            double v = st.PairPaRatio[p];
            if (v > 0) {
                st.PaAllSum[m] += v;
                if (inTopThree(st, o))
                    st.PaTop3Sum[m] += v;
            }
            if (odds.UmarenOdds[p] > 0) {
                ++pairs;
                if (v > 1)
                    ++overOne;
            }
        }
        // A top-3 runner has only two top-3 partners instead of three.
        if (inTopThree(st, m))
            st.PaTop3Sum[m] *= 1.5;
        if (pairs > 0)
            st.PaOverOneRate[m] = static_cast<double>(overOne) / pairs;
    }
    if (t == 0)
        return;
    for (int r = 1; r <= kHorses; ++r) {
        if (r == t)
            continue;
        if (st.PaTop3Sum[t] != 0)
            st.PaTop3Ratio[r] = st.PaTop3Sum[r] / st.PaTop3Sum[t];
        if (st.PaAllSum[t] != 0)
            st.PaAllRatio[r] = st.PaAllSum[r] / st.PaAllSum[t];
    }
}

// The marks of the rank conditions and the target groups (favourite `t`).
void markByRank(const SuishoParams& params, AnalysisState& st, int t)
{
    for (int r = 1; r <= kHorses; ++r) {
        int rank = st.ShareRank[r];
        if (rank == 0)
            continue;
        if (rank == 1) {
            if (st.PaOverOneRate[r] >= params.SuiRank1PaRate)
                st.SuishoMark[r] = 1;
            if (st.PaOverOneRate[r] >= params.TokuRank1PaRate)
                st.TokushoMark[r] = 1;
            st.TargetGroupB[r] = 1;
        }
        if (rank == 2 || rank == 3) {
            if (st.PaTop3Ratio[r] >= params.SuiRank23Top3Ratio ||
                st.PaAllRatio[r] >= params.SuiRank23AllRatio)
                st.SuishoMark[r] = 1;
            if (st.PaTop3Ratio[r] >= params.TokuRank23Top3Ratio ||
                st.PaAllRatio[r] >= params.TokuRank23AllRatio)
                st.TokushoMark[r] = 1;
        }
        if (rank >= 4 && st.OverallShare[r] * 100 >= params.GroupAMinSharePct)
            st.TargetGroupA[r] = 1;
        if (rank >= 2 && rank <= params.GroupBMaxRank &&
            st.OverallShare[r] >= st.OverallShare[t] * params.GroupBShareFactor)
            st.TargetGroupB[r] = 1;
    }
}

// Singular-point pairs: a group-A runner with a group-B runner, listed by the
// thresholds of ★ (S) and of the two ☆ rules (T1, T2); PairPick set on the way.
SingularPointLists findSingularPoints(const SuishoParams& params, AnalysisState& st)
{
    SortedTextList S, T1, T2;
    for (int a = 1; a <= kHorses; ++a) {
        if (!st.TargetGroupA[a])
            continue;
        for (int b = 1; b <= kHorses; ++b) {
            if (b == a || !st.TargetGroupB[b])
                continue;
            int p = pairOf(a, b);
            double v = st.PairPaRatio[p];
            if (v >= 1.3)
                st.PairPick[p] = 1;
            std::string entry = fixed(v, 8, 4) + padded(a, 2);
            if (v >= params.SuiPaMin)
                S.add(entry);
            if (v >= params.Toku1PaMin)
                T1.add(entry);
            if (v >= params.Toku2PaMin)
                T2.add(entry);
        }
    }
    return SingularPointLists{S.items(), T1.items(), T2.items()};
}

// Marks from the singular points; the last entries hold the highest ratios.
void markSingularPoints(const SuishoParams& params, const SingularPointLists& points,
                        AnalysisState& st)
{
    const auto& S = points.S;
    const auto& T1 = points.T1;
    const auto& T2 = points.T2;
    const size_t suiCount = std::min<size_t>(S.size(), std::max(0, params.SuiPaMaxCount));
    for (size_t k = S.size() - suiCount; k < S.size(); ++k)
        markRunner(st.SuishoMark, S[k]);
    if (!T1.empty() && T1.size() <= static_cast<size_t>(std::max(0, params.Toku1MaxCount))) {
        for (const auto& e : T1)
            markRunner(st.TokushoMark, e);
    }
    if (params.Toku2Count >= 0 && T2.size() == static_cast<size_t>(params.Toku2Count)) {
        for (const auto& e : T2)
            markRunner(st.TokushoMark, e);
    } else if (T2.size() >= 2 && T1.empty()) {
        // Compared as printed, in whole ten-thousandths, so a printed gap of exactly
        // the threshold counts whatever the binary rounding of the two ratios.
        auto last = printedTenThousandths(T2[T2.size() - 1]);
        auto prev = printedTenThousandths(T2[T2.size() - 2]);
        double need = std::ceil(params.Toku3PaGap * 10000.0 - 1e-6);
        if (last && prev && *last - *prev >= need)
            markRunner(st.TokushoMark, T2[T2.size() - 1]);
    }
}

// Reference win bets, in rank order.
void pickWinBets(AnalysisState& st)
{
    SortedTextList scratch;
    for (int r = 1; r <= kHorses; ++r) {
        if (st.TokushoMark[r] && inTopThree(st, r))
            scratch.add(padded(st.ShareRank[r], 2) + padded(r, 2));
    }
    if (!scratch.empty())
        st.KaiTanHon = trailingHorse(scratch[0]);
    scratch.clear();
    for (int r = 1; r <= kHorses; ++r) {
        if (st.TokushoMark[r] && st.ShareRank[r] >= 4)
            scratch.add(padded(st.ShareRank[r], 2) + padded(r, 2));
    }
    for (size_t k = 0; k < scratch.size() && k < 2; ++k)
        st.KaiTanAan[k + 1] = trailingHorse(scratch[k]);
}

// Reference quinella bets from the marked favourites (rank 1..3) and the marked
// longshots (rank 4 on, first five), in rank order; 0 for a missing one.
void pickQuinellaBets(const Ranking& ranking, AnalysisState& st)
{
    std::array<int, 4> f{};
    std::array<int, 6> l{};
    int favourites = 0;
    int longshots = 0;
    for (int rank = 1; rank <= ranking.count; ++rank) {
        int r = ranking.horseOfRank[static_cast<size_t>(rank)];
        if (r == 0 || !st.SuishoMark[r])
            continue;
        if (rank <= 3)
            f[static_cast<size_t>(++favourites)] = r;
        else if (longshots < 5)
            l[static_cast<size_t>(++longshots)] = r;
    }

    SortedTextList tagged;
    auto addPair = [&tagged](char tag, int a, int b) {
        if (a != 0 && b != 0)
            tagged.add(tag + pairText(a, b));
    };

    // Favourite pairs.
    addPair('1', f[1], f[2]);
    if (f[1] != 0 && f[2] != 0) {
        addPair('2', std::min(f[1], f[2]), f[3]);
        addPair('3', std::max(f[1], f[2]), f[3]);
    }
    fillPicks(tagged, st.KaiRenHon);

    // Medium longshots: the best marked favourite with each marked longshot.
    if (favourites > 0) {
        tagged.clear();
        for (int k = 1; k <= 5; ++k)
            addPair(static_cast<char>('0' + k), f[1], l[static_cast<size_t>(k)]);
        fillPicks(tagged, st.KaiRenChuAna);
    }

    // Longshots with each other; "A" sorts after "9".
    if (longshots >= 2) {
        tagged.clear();
        static constexpr struct
        {
            char tag;
            int x, y;
        } kOoAna[] = {{'1', 1, 2}, {'2', 1, 3}, {'3', 1, 4}, {'4', 1, 5}, {'5', 2, 3},
                      {'6', 2, 4}, {'7', 2, 5}, {'8', 3, 4}, {'9', 3, 5}, {'A', 4, 5}};
        for (const auto& c : kOoAna)
            addPair(c.tag, l[static_cast<size_t>(c.x)], l[static_cast<size_t>(c.y)]);
        fillPicks(tagged, st.KaiRenOoAna);
    }
}

} // namespace

void computeAnalysis(const OddsArrays& odds, const SuishoParams& params, AnalysisState& st,
                     SingularPointLists* lists)
{
    if (lists)
        *lists = SingularPointLists{};
    const double total = computeShares(odds, st);
    st.KasenRate = 0;
    if (!(total > 0))
        return;
    const Ranking ranking = rankByShare(st, total);
    const int favourite = ranking.horseOfRank[1];
    computePaRatios(odds, st, favourite);
    markByRank(params, st, favourite);
    SingularPointLists points = findSingularPoints(params, st);
    markSingularPoints(params, points, st);
    if (lists)
        *lists = std::move(points);
    pickWinBets(st);
    pickQuinellaBets(ranking, st);
    // Top oligopoly rate, summed in horse-number order.
    for (int r = 1; r <= kHorses; ++r) {
        if (inTopThree(st, r))
            st.KasenRate += st.OverallShare[r];
    }
}

} // namespace sorvantix
