#include "core/present/pa_chart.h"

#include "core/odds/odds_arrays.h"
#include "core/store/racing_codes.h"
#include "core/text/format.h"

#include <algorithm>
#include <cmath>

namespace sorvantix {

namespace {

constexpr int kPairs = 153;
constexpr int kBrackets = 36;
constexpr int kQuinellaPos = 45; // odds of pair 1 in an O2 record, 13 bytes apart
constexpr int kBracketPos = 606; // odds of combination 1 in an O1 record, 9 bytes apart

struct PairHorses
{
    int a = 0;
    int b = 0;
};

// Both runners of every pair number, and the pair number of every bracket combination
// (0 for a same-bracket combination, which has no quinella pair).
struct Tables
{
    std::array<PairHorses, kPairs + 1> horses{};
    std::array<int, kBrackets + 1> bracketPair{};
    std::array<std::string, kPairs + 1> labels;
    Tables()
    {
        for (int p = 1; p <= kPairs; ++p) {
            labels[p] = UmarenPairText(p);
            horses[p] = {std::stoi(labels[p].substr(0, 2)), std::stoi(labels[p].substr(3, 2))};
        }
        for (int c = 1; c <= kBrackets; ++c)
            bracketPair[c] = UmarenPairNo(WakurenPairText(c));
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

enum class Field { Absent, Zero, Value, Damaged };

// One odds field: blank, the markers of all "-" or all "*", and all zeros are told
// apart from a value; anything else is damage.
Field readField(std::string_view line, int pos, int len, long& tenths)
{
    const size_t start = static_cast<size_t>(pos - 1);
    std::string_view f =
        start < line.size() ? line.substr(start, static_cast<size_t>(len)) : std::string_view();
    while (!f.empty() && f.front() == ' ')
        f.remove_prefix(1);
    while (!f.empty() && f.back() == ' ')
        f.remove_suffix(1);
    if (f.empty())
        return Field::Absent;
    const bool full = f.size() == static_cast<size_t>(len);
    if (full && (f.find_first_not_of('-') == std::string_view::npos ||
                 f.find_first_not_of('*') == std::string_view::npos))
        return Field::Absent;
    long v = 0;
    for (char ch : f) {
        if (ch < '0' || ch > '9')
            return Field::Damaged;
        v = v * 10 + (ch - '0');
    }
    tenths = v;
    return full && v == 0 ? Field::Zero : Field::Value;
}

// Text order of "%10.6f%2d" (share, horse): numerically for shares that clearly differ,
// by the texts themselves where rounding to six decimals decides.
bool shareTextLess(double shareA, int horseA, double shareB, int horseB)
{
    if (std::fabs(shareA - shareB) > 1e-4)
        return shareA < shareB;
    std::string a = fixed(shareA, 10, 6) + padded(horseA, 2);
    std::string b = fixed(shareB, 10, 6) + padded(horseB, 2);
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

} // namespace

PaChart::PaChart()
{
    static constexpr std::array<std::uint32_t, 10> kColours{0xFF0000, 0x800000, 0x000000, 0x008000,
                                                            0x808000, 0x00FF00, 0x0000FF, 0x00FFFF,
                                                            0x008080, 0xFF00FF}; // red .. fuchsia
    for (int i = 0; i < kChartPartnerSeries; ++i) {
        ChartSeries& s = m_view.series[static_cast<size_t>(i)];
        s.title = std::to_string(i + 1);
        s.colour = kColours[static_cast<size_t>(i < 10 ? i : i - 10)];
        s.dash = i < 10 ? ChartDash::Solid : ChartDash::Dot;
    }
    ChartSeries& reference = m_view.series[kChartSeriesCount - 1];
    reference.title = kChartReferenceTitle;
    reference.colour = 0x808080;
    reference.dash = ChartDash::Dot;
    ChartPairOdds.fill(-1.0);
    ChartBracketOdds.fill(-1.0);
    ChartPairShare.fill(-1.0);
}

void PaChart::compute(std::string_view line, bool useUmaren, bool latest,
                      std::array<int, 19>& ranks)
{
    const Tables& t = tables();
    ChartPairPa.fill(0);
    ChartPairOdds.fill(-1.0);
    ChartBracketOdds.fill(-1.0);
    ChartPairShare.fill(-1.0);
    ChartHorseShare.fill(0);
    ChartHorseNorm.fill(0);
    ranks.fill(0);

    long tenths = 0;
    if (useUmaren) {
        for (int p = 1; p <= kPairs; ++p) {
            Field f = readField(line, kQuinellaPos + 13 * (p - 1), 6, tenths);
            if (f == Field::Damaged)
                m_damaged += latest ? 0 : 1;
            else if (f == Field::Value || (f == Field::Zero && latest))
                ChartPairOdds[p] = (f == Field::Zero ? 999999 : tenths) / 10.0;
        }
    } else {
        for (int c = 1; c <= kBrackets; ++c) {
            Field f = readField(line, kBracketPos + 9 * (c - 1), 5, tenths);
            if (f == Field::Damaged) {
                m_damaged += latest ? 0 : 1;
            } else if (f == Field::Value || (f == Field::Zero && latest)) {
                ChartBracketOdds[c] = (f == Field::Zero ? 99999 : tenths) / 10.0;
                if (int p = t.bracketPair[c]; p > 0)
                    ChartPairOdds[p] = ChartBracketOdds[c];
            }
        }
    }

    for (int p = 1; p <= kPairs; ++p) {
        if (ChartPairOdds[p] > 0) {
            ChartPairShare[p] = kQuinellaPayoutPercent / ChartPairOdds[p];
            ChartHorseShare[t.horses[p].a] += ChartPairShare[p];
            ChartHorseShare[t.horses[p].b] += ChartPairShare[p];
        }
    }
    double total = 0;
    for (int j = 1; j <= 18; ++j)
        total += ChartHorseShare[j];
    if (total > 0) {
        std::array<int, 18> order{};
        for (int j = 1; j <= 18; ++j) {
            ChartHorseNorm[j] = ChartHorseShare[j] / total;
            order[static_cast<size_t>(j - 1)] = j;
        }
        std::sort(order.begin(), order.end(), [this](int a, int b) {
            return shareTextLess(ChartHorseShare[a], a, ChartHorseShare[b], b);
        });
        // The largest share is rank 1; 18 distinct texts, so n = 18.
        for (size_t k = 0; k < order.size(); ++k)
            ranks[order[k]] = static_cast<int>(order.size() - k);
    }
    for (int p = 1; p <= kPairs; ++p) {
        if (ChartPairOdds[p] > 0) {
            const PairHorses h = t.horses[p];
            ChartPairPa[p] = ChartPairShare[p] / ChartHorseShare[h.a] / ChartHorseNorm[h.b];
        }
    }
}

void PaChart::CgraphClick(const ChartOdds& odds)
{
    const std::vector<std::string>& lines = odds.UseUmaren ? odds.O2Lines : odds.O1Lines;
    std::string_view line;
    if (ChartTimeIndex >= 0 && ChartTimeIndex < static_cast<int>(lines.size()))
        line = lines[static_cast<size_t>(ChartTimeIndex)];
    compute(line, odds.UseUmaren, false, ChartRank);
    auto at = [&](size_t pos) { return pos < line.size() ? line[pos] : ' '; };
    ChartTimeLabel.clear();
    ChartTimeLabel += at(31);
    ChartTimeLabel += at(32);
    ChartTimeLabel += ':';
    ChartTimeLabel += at(33);
    ChartTimeLabel += at(34);
}

void PaChart::CgraphIniBtnClick(std::string_view latestRecord, bool useUmaren)
{
    compute(latestRecord, useUmaren, true, FinalRank);
}

void PaChart::clearSeries()
{
    for (int i = 0; i < kChartSeriesCount; ++i) {
        ChartSeries& s = m_view.series[static_cast<size_t>(i)];
        if (i < kChartPartnerSeries)
            s.inLegend = false;
        s.points.clear();
    }
    m_view.pairList.clear();
}

void PaChart::clear()
{
    m_view.RadioGroup1.clear();
    m_view.RadioGroup1Index = -1;
    clearSeries();
    m_damaged = 0;
}

void PaChart::fillHorseList(int runners)
{
    runners = std::clamp(runners, 0, 18);
    m_view.RadioGroup1.clear();
    m_view.RadioGroup1Index = -1;
    for (int rank = 1; rank <= runners; ++rank)
        for (int k = 1; k <= runners; ++k)
            if (FinalRank[k] == rank)
                m_view.RadioGroup1.push_back(padded(k, 2) + "番");
}

void PaChart::RadioGroup1Click(int index, const ChartOdds& odds, int runners)
{
    clearSeries();
    m_damaged = 0;
    if (index < 0 || index >= static_cast<int>(m_view.RadioGroup1.size()))
        return;
    m_view.RadioGroup1Index = index;
    const std::string& item = m_view.RadioGroup1[static_cast<size_t>(index)];
    const int h = std::atoi(item.substr(0, 2).c_str());
    runners = std::clamp(runners, 0, 18);
    const Tables& t = tables();

    // Partners run over the registered runners, not the horse list: a scratched runner
    // has no item, and counting items would drop the highest horse number.
    const int T = odds.timePoints();
    for (auto& s : m_view.series)
        s.points.reserve(static_cast<size_t>(T));
    std::vector<std::string> lines;
    for (int time = 0; time < T; ++time) {
        ChartTimeIndex = time;
        CgraphClick(odds);
        for (int i = 1; i <= runners; ++i) {
            if (i == h)
                continue;
            const int p = umarenPairNumber(std::min(h, i), std::max(h, i));
            if (p == 0)
                continue;
            ChartSeries& s = m_view.series[static_cast<size_t>(i - 1)];
            s.inLegend = true;
            s.points.push_back({time, ChartTimeLabel, ChartPairPa[p]});
            s.title = t.labels[p];
            if (time == T - 1)
                lines.push_back(padded(ChartRank[i], 2) + t.labels[p] + "[" +
                                fixed(ChartPairPa[p], 6, 3) + "]");
        }
        m_view.series[kChartSeriesCount - 1].points.push_back(
            {time, ChartTimeLabel, kChartReferencePa});
    }
    std::sort(lines.begin(), lines.end());
    for (auto& line : lines)
        m_view.pairList.push_back(line.substr(2));
}

} // namespace sorvantix
