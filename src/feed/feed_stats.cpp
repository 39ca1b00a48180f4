#include "feed/feed_stats.h"

#include "core/odds/odds_files.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "feed/feed_records.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace sorvantix::feed {
namespace {

// Odds field as the loader reads it: -1 for blanks, "*", "-" and (for statistics)
// damage; 0 for no votes.
double fieldOdds(std::string_view text, const char* what, int index, int pos)
{
    try {
        const auto v = sorvantix::oddsTenths(text, what, index, pos);
        return v ? *v / 10.0 : -1.0;
    } catch (const Error&) {
        return -1.0;
    }
}

std::vector<double> ranks(const std::vector<double>& v)
{
    std::vector<size_t> idx(v.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::sort(idx.begin(), idx.end(), [&](size_t a, size_t b) { return v[a] < v[b]; });
    std::vector<double> r(v.size());
    for (size_t i = 0; i < idx.size();) {
        size_t j = i;
        while (j + 1 < idx.size() && v[idx[j + 1]] == v[idx[i]])
            ++j;
        for (size_t k = i; k <= j; ++k)
            r[idx[k]] = (static_cast<double>(i) + static_cast<double>(j)) / 2.0 + 1.0;
        i = j + 1;
    }
    return r;
}

double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))];
}

std::string clock(const RacePlan& race, int minute)
{
    const std::string t = announceTime(race.date, minute);
    return t.substr(0, 2) + "/" + t.substr(2, 2) + " " + t.substr(4, 2) + ":" + t.substr(6, 2);
}

void describeTimePoint(std::string& out, const GeneratedRace& g, size_t index)
{
    const RacePlan& plan = g.plan;
    const OddsSnapshot& s = g.market.snapshots[index];
    const MarketShares m =
        sharesFromRecords(o1Record(plan, g.market, s),
                          g.market.quinellaSold ? o2Record(plan, g.market, s) : std::string());
    const int n = plan.registered();
    out += format("  %s (announcement %zu of %zu)\n", clock(plan, s.minute).c_str(), index + 1,
                  g.market.snapshots.size());
    std::vector<int> horses;
    for (int h = 1; h <= n; ++h)
        if (m.winOdds[static_cast<size_t>(h)] > 0)
            horses.push_back(h);
    std::sort(horses.begin(), horses.end(), [&](int a, int b) {
        return m.winOdds[static_cast<size_t>(a)] < m.winOdds[static_cast<size_t>(b)];
    });
    out += "    horse  win odds  80/odds   quinella share sum\n";
    for (size_t i = 0; i < horses.size() && i < 6; ++i) {
        const int h = horses[i];
        out += format("    %5d  %8.1f  %6.2f %%  %6.2f %%\n", h, m.winOdds[static_cast<size_t>(h)],
                      m.winShare(h), m.shareSum[static_cast<size_t>(h)]);
    }
    std::vector<int> pairs;
    for (int p = 1; p <= 153; ++p)
        if (m.pairOdds[static_cast<size_t>(p)] > 0)
            pairs.push_back(p);
    std::sort(pairs.begin(), pairs.end(), [&](int a, int b) {
        return m.pairOdds[static_cast<size_t>(a)] < m.pairOdds[static_cast<size_t>(b)];
    });
    out += "    pair   quinella odds  75/odds   PA ratio\n";
    for (size_t i = 0; i < pairs.size() && i < 5; ++i) {
        const int p = pairs[i];
        const std::string label = UmarenPairText(p);
        const int a = std::stoi(label.substr(0, 2)), b = std::stoi(label.substr(3, 2));
        out += format("    %s  %13.1f  %6.2f %%  %8.4f\n", label.c_str(),
                      m.pairOdds[static_cast<size_t>(p)], m.pairShare(a, b), m.pa(a, b));
    }
    for (const auto& [o, f] : plan.informedPairs) {
        const int a = std::min(o, f), b = std::max(o, f);
        out += format("    over-backed %s: quinella odds %.1f, 75/odds %.2f %%, PA ratio %.4f\n",
                      UmarenPairText(umarenPairNumber(a, b)).c_str(),
                      m.pairOdds[static_cast<size_t>(umarenPairNumber(a, b))], m.pairShare(a, b),
                      m.pa(a, b));
    }
    out += format("    sum of 80/odds (win) %.2f %%, sum of 75/odds (quinella) %.2f %%\n",
                  m.winShareSum, m.pairShareSum);
}

} // namespace

double MarketShares::winShare(int h) const
{
    const double o = winOdds[static_cast<size_t>(h)];
    return o > 0 ? 80.0 / o : 0.0;
}

double MarketShares::pairShare(int a, int b) const
{
    const int p = a < b ? umarenPairNumber(a, b) : umarenPairNumber(b, a);
    const double o = p > 0 ? pairOdds[static_cast<size_t>(p)] : -1.0;
    return o > 0 ? 75.0 / o : 0.0;
}

double MarketShares::pa(int a, int b) const
{
    const double s = pairShare(a, b);
    const double sa = shareSum[static_cast<size_t>(a)], sb = shareSum[static_cast<size_t>(b)];
    if (s <= 0 || sa <= 0 || sb <= 0)
        return 0.0;
    return s * total / (sa * sb);
}

MarketShares sharesFromRecords(std::string_view o1, std::string_view o2)
{
    MarketShares m;
    m.winOdds.fill(-1.0);
    m.pairOdds.fill(-1.0);
    const O1View win(o1);
    for (int h = 1; h <= 18; ++h) {
        const double v = fieldOdds(win.winOdds(h), "単勝", h, 46 + 8 * (h - 1));
        if (v < 0)
            continue;
        const size_t i = static_cast<size_t>(h);
        m.winVoted[i] = v > 0;
        m.winOdds[i] = v > 0 ? v : 999.9;
        if (v > 0)
            m.winShareSum += 80.0 / v;
    }
    if (o2.empty())
        return m;
    const O2View quinella(o2);
    for (int p = 1; p <= 153; ++p) {
        const double v = fieldOdds(quinella.quinellaOdds(p), "馬連", p, 45 + 13 * (p - 1));
        if (v < 0)
            continue;
        const size_t i = static_cast<size_t>(p);
        m.pairVoted[i] = v > 0;
        m.pairOdds[i] = v > 0 ? v : 99999.9;
        if (v > 0)
            m.pairShareSum += 75.0 / v;
    }
    for (int a = 1; a <= 18; ++a)
        for (int b = a + 1; b <= 18; ++b) {
            const double s = m.pairShare(a, b);
            m.shareSum[static_cast<size_t>(a)] += s;
            m.shareSum[static_cast<size_t>(b)] += s;
        }
    for (int h = 1; h <= 18; ++h)
        m.total += m.shareSum[static_cast<size_t>(h)];
    return m;
}

double rankCorrelation(const std::vector<double>& a, const std::vector<double>& b)
{
    const size_t n = std::min(a.size(), b.size());
    if (n < 2)
        return 0;
    const std::vector<double> ra = ranks(a), rb = ranks(b);
    const double mean = (static_cast<double>(n) + 1) / 2;
    double cov = 0, va = 0, vb = 0;
    for (size_t i = 0; i < n; ++i) {
        cov += (ra[i] - mean) * (rb[i] - mean);
        va += (ra[i] - mean) * (ra[i] - mean);
        vb += (rb[i] - mean) * (rb[i] - mean);
    }
    return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0;
}

double paStanding(const MarketShares& m, int a, int b, int runners)
{
    const double own = m.pa(a, b);
    int below = 0, count = 0;
    for (int x = 1; x <= runners; ++x) {
        for (int y : {a, b}) {
            if (x == a || x == b)
                continue;
            const double v = m.pa(y, x);
            if (v <= 0)
                continue;
            ++count;
            if (v < own)
                ++below;
        }
    }
    return count > 0 ? static_cast<double>(below) / count : 0.0;
}

std::string statsReport(const FeedOptions& options)
{
    options.validate();
    const PeoplePool people = makePeoplePool(options.seed);
    std::vector<double> winSums, pairSums, correlations;
    int races = 0, informedRaces = 0, informedPairs = 0, topOfOutsider = 0, atLeast13 = 0;
    std::vector<double> standings;
    std::string example;
    for (const RaceDay& day : raceCalendar(options.from, options.to)) {
        for (const GeneratedRace& g : generateDay(day, options, people)) {
            ++races;
            const RacePlan& plan = g.plan;
            const int n = plan.registered();
            if (!plan.informedPairs.empty())
                ++informedRaces;
            if (!g.market.quinellaSold)
                continue;
            for (const OddsSnapshot& s : g.market.snapshots) {
                const MarketShares m =
                    sharesFromRecords(o1Record(plan, g.market, s), o2Record(plan, g.market, s));
                winSums.push_back(m.winShareSum);
                pairSums.push_back(m.pairShareSum);
                std::vector<double> win, sum;
                for (int h = 1; h <= n; ++h)
                    if (m.winVoted[static_cast<size_t>(h)]) {
                        win.push_back(m.winShare(h));
                        sum.push_back(m.shareSum[static_cast<size_t>(h)]);
                    }
                correlations.push_back(rankCorrelation(win, sum));
            }
            const OddsSnapshot& last = g.market.last();
            const MarketShares m =
                sharesFromRecords(o1Record(plan, g.market, last), o2Record(plan, g.market, last));
            for (const auto& [o, f] : plan.informedPairs) {
                ++informedPairs;
                standings.push_back(paStanding(m, o, f, n));
                const double own = m.pa(o, f);
                if (own >= 1.3)
                    ++atLeast13;
                bool top = true;
                for (int x = 1; x <= n; ++x)
                    if (x != o && x != f && m.pa(o, x) >= own)
                        top = false;
                if (top)
                    ++topOfOutsider;
            }
            if (example.empty() && !plan.informedPairs.empty() && plan.raceNo >= 10) {
                example = format("Example race %s: %s %d回%d日 %dR, %d runners%s%s\n",
                                 plan.key().c_str(), VenueShortName(plan.venue).c_str(),
                                 plan.meeting, plan.meetingDay, plan.raceNo, n,
                                 plan.named ? ", " : "", plan.named ? plan.name.title.c_str() : "");
                describeTimePoint(example, g, 0);
                describeTimePoint(example, g, g.market.snapshots.size() - 1);
            }
        }
    }
    std::string out =
        format("Feed statistics %s .. %s, seed %llu\n", options.from.iso().c_str(),
               options.to.iso().c_str(), static_cast<unsigned long long>(options.seed));
    out += format("Races: %d; with at least one over-backed pair: %d (%d pairs)\n", races,
                  informedRaces, informedPairs);
    if (informedPairs > 0)
        out += format("Over-backed pairs at the last announcement: PA ratio at least 1.3 in %d, "
                      "highest of the outsider's pairs in %d; on average above %.0f %% of the "
                      "other pairs of their runners\n",
                      atLeast13, topOfOutsider,
                      100.0 * std::accumulate(standings.begin(), standings.end(), 0.0) /
                          static_cast<double>(standings.size()));
    if (!winSums.empty()) {
        out += format("Announcements: %zu; sum of 80/odds (win) median %.2f %% (5 %%-95 %%: "
                      "%.2f-%.2f); sum of 75/odds (quinella) median %.2f %% (%.2f-%.2f)\n",
                      winSums.size(), percentile(winSums, 0.5), percentile(winSums, 0.05),
                      percentile(winSums, 0.95), percentile(pairSums, 0.5),
                      percentile(pairSums, 0.05), percentile(pairSums, 0.95));
        out += format("Rank correlation of win share and quinella share sum: median %.3f, "
                      "5 %% quantile %.3f\n",
                      percentile(correlations, 0.5), percentile(correlations, 0.05));
    }
    return out + example;
}

} // namespace sorvantix::feed
