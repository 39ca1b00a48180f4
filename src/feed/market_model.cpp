#include "feed/market_model.h"

#include "core/store/racing_codes.h"
#include "core/text/format.h"

#include <algorithm>
#include <cmath>

namespace sorvantix::feed {
namespace {

// A period in which the tickets are on sale, minutes [from, to).
struct SaleWindow
{
    int from;
    int to;
};

constexpr double kSteadyRate = 1.0;   // money per open minute all day
constexpr double kLateRate = 10.0;    // and the rush before post time ...
constexpr double kLateMinutes = 45.0; // ... decaying with this many minutes
constexpr double kInformedMinutes = 35.0;

std::vector<int> announcementTimes(const RacePlan& race, FeedRng& rng,
                                   std::vector<SaleWindow>& windows)
{
    std::vector<int> times;
    const int post = race.postMinute;
    if (race.dayBeforeSales) {
        const int start = -1440 + 17 * 60 + rng.range(0, 5);
        const int end = -1440 + 20 * 60 + 30;
        windows.push_back({start, end});
        for (int t = start + rng.range(3, 8); t < end; t += rng.range(8, 15))
            times.push_back(t);
    }
    const int open = race.dayBeforeSales ? 7 * 60 + 30 + rng.range(0, 5) : 9 * 60 + rng.range(0, 6);
    windows.push_back({open, post});
    int t = std::min(open + rng.range(2, 5), post - 2);
    while (t <= post - 2) {
        times.push_back(t);
        const int tau = post - t;
        int gap = 1;
        if (tau > 180)
            gap = rng.range(6, 10);
        else if (tau > 90)
            gap = rng.range(4, 6);
        else if (tau > 40)
            gap = rng.range(2, 4);
        else if (tau > 15)
            gap = rng.range(1, 3);
        else
            gap = rng.range(1, 2);
        t += gap;
    }
    if (times.back() < post - 1 && rng.chance(0.5))
        times.push_back(post - 1);
    return times;
}

// Money that has come in by minute t, in arbitrary units.
double cumulativeMoney(const std::vector<SaleWindow>& windows, int post, int t)
{
    double total = 0;
    for (const SaleWindow& w : windows) {
        if (t <= w.from)
            continue;
        const int end = std::min(t, w.to);
        total += kSteadyRate * (end - w.from);
        total +=
            kLateRate * kLateMinutes *
            (std::exp(-(post - end) / kLateMinutes) - std::exp(-(post - w.from) / kLateMinutes));
    }
    return total;
}

double informedMoney(int post, int t)
{
    return std::exp(-(post - t) / kInformedMinutes);
}

// Multiplicative noise with mean 1: 1 + width * (triangular in [-1, 1]).
double noise(FeedRng& rng, double width)
{
    return 1.0 + width * (rng.uniform() + rng.uniform() - 1.0);
}

int pairNo(int a, int b)
{
    return a < b ? umarenPairNumber(a, b) : umarenPairNumber(b, a);
}

} // namespace

long long oddsTenths(long long pool, long long votes, int ratePercent, long long maxTenths)
{
    if (votes <= 0)
        return 0;
    const long long tenths = ratePercent * pool / (10 * votes);
    return std::clamp<long long>(tenths, 10, maxTenths);
}

std::pair<long long, long long> placeOddsRange(const OddsSnapshot& s, int horse, int placesPaid)
{
    const long long v = s.placeVotes[static_cast<size_t>(horse)];
    if (v <= 0 || placesPaid < 1)
        return {0, 0};
    std::vector<long long> others;
    for (int h = 1; h <= 18; ++h)
        if (h != horse && s.state[static_cast<size_t>(h)] == RunnerState::Running)
            others.push_back(s.placeVotes[static_cast<size_t>(h)]);
    std::sort(others.begin(), others.end());
    const size_t k = std::min(others.size(), static_cast<size_t>(placesPaid - 1));
    long long most = v, least = v;
    for (size_t i = 0; i < k; ++i) {
        most += others[others.size() - 1 - i];
        least += others[i];
    }
    // Payout per 100 yen = (80 % of the pool - the placed horses' votes) / places
    // / votes + 1, in tenths.
    auto tenths = [&](long long placedVotes) {
        const long long net = 8 * s.placePool - 10 * placedVotes;
        const long long t = net > 0 ? net / (placesPaid * v) + 10 : 10;
        return std::clamp<long long>(t, 10, 9999);
    };
    return {tenths(most), tenths(least)};
}

int popularityRank(long long votes, const long long* all, int count)
{
    int rank = 1;
    for (int i = 0; i < count; ++i)
        if (all[i] > votes)
            ++rank;
    return rank;
}

FeedDate announceDate(const FeedDate& raceDate, int minute)
{
    const int dayShift = minute >= 0 ? minute / 1440 : -((-minute + 1439) / 1440);
    return raceDate.plusDays(dayShift);
}

std::string announceTime(const FeedDate& raceDate, int minute)
{
    const FeedDate d = announceDate(raceDate, minute);
    const int inDay = minute - static_cast<int>(d.dayNumber() - raceDate.dayNumber()) * 1440;
    return d.monthDay() + format("%02d%02d", inDay / 60, inDay % 60);
}

MarketSeries simulateMarket(const RacePlan& race, std::uint64_t seed)
{
    const std::string key = race.key();
    FeedRng rng =
        FeedRng::stream(seed, "market", std::stoull(key.substr(0, 8)), std::stoull(key.substr(8)));
    const int n = race.registered();
    const int post = race.postMinute;

    MarketSeries m;
    m.quinellaSold = !(race.oldStyle && n <= 8);
    m.bracketSold = race.oldStyle || n >= 9;
    const int finalStarters = race.starters();
    m.placeSold = finalStarters >= 5;
    m.placesPaid = finalStarters >= 8 ? 3 : (finalStarters >= 5 ? 2 : 0);

    std::vector<SaleWindow> windows;
    const std::vector<int> times = announcementTimes(race, rng, windows);
    const double moneyTotal = cumulativeMoney(windows, post, post);
    const double winPool = static_cast<double>(race.winPool);
    const double placePool = 0.8 * winPool;
    const double quinellaPool = 1.8 * winPool;
    const double bracketPool = (race.oldStyle ? 1.0 : 0.25) * winPool;

    // Fixed tastes of the public for single pairs and bracket combinations.
    std::array<double, 154> pairBias{};
    for (double& b : pairBias)
        b = std::clamp(1.0 + 0.12 * rng.normal(), 0.6, 1.6);
    std::array<double, 37> bracketBias{};
    for (double& b : bracketBias)
        b = std::clamp(1.0 + 0.10 * rng.normal(), 0.6, 1.6);

    std::array<double, 19> view{}, drift{};
    std::array<int, 19> scratchIndex{};
    OddsSnapshot s;
    for (const RunnerPlan& r : race.runners) {
        const size_t h = static_cast<size_t>(r.number);
        // The public flattens the field: longshots are backed more than they deserve.
        view[h] = 0.85 * (r.strength - r.hiddenForm + r.publicError);
        s.state[h] =
            r.scratch == Scratch::BeforeSale ? RunnerState::ScratchedBefore : RunnerState::Running;
        scratchIndex[h] = r.scratch == Scratch::AfterSale
                              ? std::max(1, static_cast<int>(r.scratchAt * times.size()))
                              : -1;
    }

    // A few races have one time point in one series only.
    int missingIndex = -1;
    bool missingInO1 = false;
    if (times.size() >= 5 && rng.chance(0.04)) {
        missingIndex = rng.range(1, static_cast<int>(times.size()) - 2);
        missingInO1 = rng.chance(0.5);
    }

    std::array<double, 19> w{}, place{};
    std::array<double, 154> pairPref{};
    std::array<double, 37> bracketPref{};
    double lastMoney = 0, lastInformed = 0;
    int lastMinute = times.front();
    for (size_t k = 0; k < times.size(); ++k) {
        const int t = times[k];
        // Scratches while on sale: votes are refunded from this announcement on.
        for (int h = 1; h <= n; ++h) {
            const size_t i = static_cast<size_t>(h);
            if (scratchIndex[i] >= 0 && static_cast<int>(k) >= scratchIndex[i] &&
                s.state[i] == RunnerState::Running) {
                s.state[i] = RunnerState::ScratchedAfter;
                s.winVotes[i] = 0;
                s.placeVotes[i] = 0;
                for (int o = 1; o <= n; ++o)
                    if (o != h)
                        s.quinellaVotes[static_cast<size_t>(pairNo(h, o))] = 0;
            }
        }

        // The public's view drifts between announcements.
        const double step = 0.035 * std::sqrt(std::max(1, t - lastMinute) / 5.0);
        lastMinute = t;
        double sum = 0;
        for (int h = 1; h <= n; ++h) {
            const size_t i = static_cast<size_t>(h);
            drift[i] = 0.98 * drift[i] + step * rng.normal();
            w[i] = s.state[i] == RunnerState::Running ? std::exp(view[i] + drift[i]) : 0.0;
            sum += w[i];
        }
        double placeSum = 0;
        for (int h = 1; h <= n; ++h) {
            const size_t i = static_cast<size_t>(h);
            w[i] /= sum;
            const double out = 1.0 - w[i];
            place[i] = w[i] > 0 ? 1.0 - out * out * out : 0.0;
            placeSum += place[i];
        }
        // Harville: the chance that i and j fill the first two places.
        double pairSum = 0;
        pairPref.fill(0);
        for (int a = 1; a <= n; ++a)
            for (int b = a + 1; b <= n; ++b) {
                const double wa = w[static_cast<size_t>(a)], wb = w[static_cast<size_t>(b)];
                if (wa <= 0 || wb <= 0)
                    continue;
                const size_t p = static_cast<size_t>(umarenPairNumber(a, b));
                pairPref[p] = wa * wb * (1.0 / (1.0 - wa) + 1.0 / (1.0 - wb)) * pairBias[p];
                pairSum += pairPref[p];
            }
        bracketPref.fill(0);
        double bracketSum = 0;
        for (int a = 1; a <= n; ++a)
            for (int b = a + 1; b <= n; ++b) {
                const size_t p = static_cast<size_t>(umarenPairNumber(a, b));
                if (pairPref[p] <= 0)
                    continue;
                const size_t c = static_cast<size_t>(
                    wakurenPairNumber(race.runners[static_cast<size_t>(a - 1)].bracket,
                                      race.runners[static_cast<size_t>(b - 1)].bracket));
                bracketPref[c] += pairPref[p] * bracketBias[c];
                bracketSum += pairPref[p] * bracketBias[c];
            }

        const double money = cumulativeMoney(windows, post, t) / moneyTotal;
        const double dMoney = money - lastMoney;
        lastMoney = money;
        const double informed = informedMoney(post, t);
        const double dInformed = informed - lastInformed;
        lastInformed = informed;

        for (int h = 1; h <= n; ++h) {
            const size_t i = static_cast<size_t>(h);
            if (w[i] <= 0)
                continue;
            s.winVotes[i] += rng.roundRandom(winPool * dMoney * w[i] * noise(rng, 0.3));
            s.placeVotes[i] +=
                rng.roundRandom(placePool * dMoney * place[i] / placeSum * noise(rng, 0.3));
        }
        for (int a = 1; a <= n; ++a)
            for (int b = a + 1; b <= n; ++b) {
                const size_t p = static_cast<size_t>(umarenPairNumber(a, b));
                if (pairPref[p] > 0)
                    s.quinellaVotes[p] += rng.roundRandom(quinellaPool * dMoney * pairPref[p] /
                                                          pairSum * noise(rng, 0.5));
            }
        if (m.bracketSold)
            for (size_t c = 1; c <= 36; ++c)
                if (bracketPref[c] > 0)
                    s.bracketVotes[c] += rng.roundRandom(bracketPool * dMoney * bracketPref[c] /
                                                         bracketSum * noise(rng, 0.4));

        // Informed money: it knows the outsider will run well and backs it with the
        // favourites, more and more as post time comes.
        for (const auto& [outsider, favourite] : race.informedPairs) {
            const size_t o = static_cast<size_t>(outsider), f = static_cast<size_t>(favourite);
            if (s.state[o] != RunnerState::Running || s.state[f] != RunnerState::Running)
                continue;
            const size_t p = static_cast<size_t>(pairNo(outsider, favourite));
            const double share = pairPref[p] / pairSum;
            s.quinellaVotes[p] += rng.roundRandom((race.informedFactor - 1.0) * share *
                                                  quinellaPool * dInformed * noise(rng, 0.3));
            s.winVotes[o] += rng.roundRandom(0.15 * w[o] * winPool * dInformed);
        }

        s.minute = t;
        s.inO1 = !(static_cast<int>(k) == missingIndex && missingInO1);
        s.inO2 = !(static_cast<int>(k) == missingIndex && !missingInO1);
        s.winPool = s.placePool = s.bracketPool = s.quinellaPool = 0;
        for (int h = 1; h <= n; ++h) {
            s.winPool += s.winVotes[static_cast<size_t>(h)];
            s.placePool += s.placeVotes[static_cast<size_t>(h)];
        }
        for (size_t c = 1; c <= 36; ++c)
            s.bracketPool += s.bracketVotes[c];
        for (size_t p = 1; p <= 153; ++p)
            s.quinellaPool += s.quinellaVotes[p];
        m.snapshots.push_back(s);
    }
    m.finalPreference = w;
    return m;
}

} // namespace sorvantix::feed
