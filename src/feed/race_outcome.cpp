#include "feed/race_outcome.h"

#include "core/store/racing_codes.h"
#include "core/text/format.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace sorvantix::feed {
namespace {

double classFactor(RaceClass c)
{
    switch (c) {
    case RaceClass::Newcomer:
        return 1.012;
    case RaceClass::Maiden:
        return 1.006;
    case RaceClass::Win1:
        return 1.002;
    case RaceClass::Win2:
        return 0.999;
    case RaceClass::Win3:
        return 0.996;
    case RaceClass::Open:
        return 0.994;
    case RaceClass::G3:
        return 0.992;
    case RaceClass::G2:
        return 0.990;
    case RaceClass::G1:
        return 0.988;
    default:
        return 1.0;
    }
}

// Winner's time in seconds.
double winnerSeconds(const RacePlan& race, FeedRng& rng)
{
    const double d = race.distance;
    double perFurlong = 0;
    if (race.jump)
        perFurlong = 13.4;
    else if (race.turf)
        perFurlong = 11.5 + 0.00028 * (d - 1200);
    else
        perFurlong =
            11.9 + 0.0009 * (std::min(d, 2100.0) - 1200) + 0.0003 * std::max(0.0, d - 2100);
    double going = 1.0;
    if (race.turf) {
        static constexpr double kTurf[] = {1.0, 1.006, 1.012, 1.02};
        going = kTurf[std::clamp(race.turfGoing, 1, 4) - 1];
    } else {
        static constexpr double kDirt[] = {1.0, 0.996, 0.992, 0.99};
        going = kDirt[std::clamp(race.dirtGoing, 1, 4) - 1];
    }
    const double young = race.raceType == "11" ? 1.006 : 1.0;
    return perFurlong * d / 200.0 * classFactor(race.raceClass) * going * young *
           (1.0 + 0.004 * rng.normal());
}

// Margin code (table 2102) of a gap in lengths.
std::string marginCode(double lengths)
{
    struct Step
    {
        double below;
        const char* code;
    };
    static constexpr Step kSteps[] = {
        {0.10, "H  "}, {0.20, "A  "}, {0.35, "K  "}, {0.60, " 12"}, {0.90, " 34"},
        {1.15, "1  "}, {1.40, "114"}, {1.65, "112"}, {1.90, "134"}, {2.25, "2  "},
        {2.75, "212"}, {3.25, "3  "}, {3.75, "312"}, {4.5, "4  "},  {5.5, "5  "},
        {6.5, "6  "},  {7.5, "7  "},  {8.5, "8  "},  {9.5, "9  "},  {12.5, "Z  "},
    };
    for (const Step& s : kSteps)
        if (lengths < s.below)
            return s.code;
    return "T  ";
}

struct Pools
{
    long long pool;
    int permille;
};

// Yen per 100 yen for one of `k` winning combinations with `votes`, the winning
// combinations having `winningVotes` together: (rate x pool - winning votes) / k /
// votes + 1, in 10-yen steps, at least 100 yen. With one winner this is the odds.
long long payoutYen(const Pools& p, long long winningVotes, int k, long long votes)
{
    votes = std::max(1LL, votes);
    const long long net = p.permille * p.pool / 10 - 100 * winningVotes; // yen x votes units
    if (net <= 0)
        return 100;
    const long long yen = net / (k * votes) + 100;
    return std::clamp(yen / 10 * 10, 100LL, 999999990LL);
}

std::string two(int h)
{
    return format("%02d", h);
}

} // namespace

RaceOutcome runRace(const RacePlan& race, const MarketSeries& market, std::uint64_t seed)
{
    const std::string key = race.key();
    FeedRng rng =
        FeedRng::stream(seed, "result", std::stoull(key.substr(0, 8)), std::stoull(key.substr(8)));
    const int n = race.registered();
    const OddsSnapshot& fin = market.last();

    RaceOutcome out;
    out.runners.resize(static_cast<size_t>(n));
    std::vector<int> field;
    std::vector<long long> runningVotes;
    for (int h = 1; h <= n; ++h) {
        RunnerResult& r = out.runners[static_cast<size_t>(h - 1)];
        r.number = h;
        if (fin.state[static_cast<size_t>(h)] == RunnerState::Running) {
            field.push_back(h);
            runningVotes.push_back(fin.winVotes[static_cast<size_t>(h)]);
        } else {
            r.abnormality = 1;
            if (fin.state[static_cast<size_t>(h)] == RunnerState::ScratchedAfter)
                out.refundedHorses.push_back(h);
        }
    }
    for (int h : field) {
        RunnerResult& r = out.runners[static_cast<size_t>(h - 1)];
        r.finalOdds = oddsTenths(fin.winPool, fin.winVotes[static_cast<size_t>(h)], 80, 9999);
        r.popularity = popularityRank(fin.winVotes[static_cast<size_t>(h)], runningVotes.data(),
                                      static_cast<int>(runningVotes.size()));
    }
    out.starters = static_cast<int>(field.size());

    // A fall now and then over jumps.
    std::vector<int> contenders = field;
    if (race.jump && contenders.size() > 4 && rng.chance(0.08)) {
        const size_t i = static_cast<size_t>(rng.below(static_cast<int>(contenders.size())));
        out.runners[static_cast<size_t>(contenders[i] - 1)].abnormality = 4;
        contenders.erase(contenders.begin() + static_cast<long>(i));
    }

    // Finishing order from the true strengths (Plackett-Luce).
    std::vector<int> order;
    while (!contenders.empty()) {
        std::vector<double> weights;
        for (int h : contenders)
            weights.push_back(std::exp(race.runners[static_cast<size_t>(h - 1)].strength));
        const size_t i = static_cast<size_t>(rng.weighted(weights));
        order.push_back(contenders[i]);
        contenders.erase(contenders.begin() + static_cast<long>(i));
    }
    out.finishers = static_cast<int>(order.size());

    // Margins, placings and times.
    const double seconds = winnerSeconds(race, rng);
    out.winnerTime = static_cast<int>(std::lround(seconds * 10));
    double behind = 0; // lengths behind the winner
    std::vector<int> pos(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        RunnerResult& r = out.runners[static_cast<size_t>(order[i] - 1)];
        r.lineOrder = static_cast<int>(i) + 1;
        if (i == 0) {
            pos[i] = 1;
            r.margin = "   ";
        } else if (i < 5 && rng.chance(0.004)) {
            pos[i] = pos[i - 1];
            r.margin = "D  ";
        } else {
            const double mean = 0.7 + 0.1 * static_cast<double>(i);
            const double lengths = std::max(0.05, -mean * std::log(1.0 - rng.uniform()));
            behind += lengths;
            pos[i] = static_cast<int>(i) + 1;
            r.margin = marginCode(lengths);
        }
        r.finishPos = pos[i];
        // About 0.17 s a length; times are cut to tenths.
        r.timeTenths = static_cast<int>(std::lround(seconds * 10 + behind * 1.7));
    }
    for (size_t i = 0; i < order.size(); ++i) {
        int count = 0;
        for (size_t j = 0; j < order.size(); ++j)
            if (pos[j] == pos[i])
                ++count;
        if (count > 1)
            out.runners[static_cast<size_t>(order[i] - 1)].deadHeatCount = count;
    }
    for (size_t i = 0; i < order.size(); ++i) {
        RunnerResult& r = out.runners[static_cast<size_t>(order[i] - 1)];
        const int winnerTime = out.runners[static_cast<size_t>(order[0] - 1)].timeTenths;
        if (i == 0)
            r.timeGap =
                order.size() > 1
                    ? -(out.runners[static_cast<size_t>(order[1] - 1)].timeTenths - winnerTime)
                    : 0;
        else
            r.timeGap = r.timeTenths - winnerTime;
        // Prize money; a dead heat shares the prizes of the places it covers.
        const int p = r.finishPos, k = std::max(1, r.deadHeatCount);
        long long prize = 0;
        for (int j = p; j < p + k; ++j)
            if (j <= 5)
                prize += race.prize[static_cast<size_t>(j - 1)];
        r.prizeWon = prize / k;
    }

    // Laps of the winner: a quick start, a steadier middle and the final sprint.
    if (!race.jump) {
        const int full = race.distance / 200, partial = race.distance % 200;
        std::vector<double> shape;
        if (partial > 0)
            shape.push_back(1.1 * partial / 200.0);
        for (int j = 0; j < full; ++j) {
            double s = 1.02 + 0.012 * rng.normal();
            if (j == 0)
                s = partial > 0 ? 0.94 : 1.08;
            else if (j == 1)
                s = 0.93;
            else if (j == 2)
                s = 0.97;
            if (j >= full - 3 && full > 4)
                s = (j == full - 1 ? 1.0 : 0.975) + 0.01 * rng.normal();
            shape.push_back(s);
        }
        double total = 0;
        for (double s : shape)
            total += s;
        int sum = 0;
        for (size_t j = 0; j < shape.size(); ++j) {
            int lap = static_cast<int>(std::lround(shape[j] / total * out.winnerTime));
            if (j + 1 == shape.size())
                lap = out.winnerTime - sum;
            out.laps.push_back(lap);
            sum += lap;
        }
        // Time at a distance from the start, by linear interpolation within laps.
        auto timeAt = [&](int metres) {
            double t = 0;
            int covered = 0;
            for (size_t j = 0; j < out.laps.size(); ++j) {
                const int len = (j == 0 && partial > 0) ? partial : 200;
                if (covered + len >= metres)
                    return t + out.laps[j] * static_cast<double>(metres - covered) / len;
                t += out.laps[j];
                covered += len;
            }
            return t;
        };
        out.first3f = static_cast<int>(std::lround(timeAt(600)));
        out.first4f = static_cast<int>(std::lround(timeAt(800)));
        out.last3f = out.winnerTime - static_cast<int>(std::lround(timeAt(race.distance - 600)));
        out.last4f = out.winnerTime - static_cast<int>(std::lround(timeAt(race.distance - 800)));
    }

    // Corner positions and the runners' last furlongs.
    const bool straight = race.track == "10" || race.track == "29";
    const int corners = straight ? 0 : (race.jump || race.distance > 1600 ? 4 : 2);
    const double m = static_cast<double>(order.size());
    std::vector<std::vector<double>> cornerKeys(4);
    for (int c = 0; c < corners; ++c) {
        const int cornerNo = corners == 4 ? c + 1 : c + 3;
        const double progress = (c + 1.0) / (corners + 1.0);
        std::vector<std::pair<double, int>> keys;
        for (size_t i = 0; i < order.size(); ++i) {
            const int style = race.runners[static_cast<size_t>(order[i] - 1)].runningStyle;
            static constexpr double kEarly[] = {0.02, 0.25, 0.6, 0.9};
            const double early = kEarly[style - 1] * m;
            keys.push_back(
                {early * (1 - progress) + static_cast<double>(i) * progress + 1.5 * rng.normal(),
                 order[i]});
        }
        std::sort(keys.begin(), keys.end());
        std::string text;
        for (size_t i = 0; i < keys.size(); ++i) {
            out.runners[static_cast<size_t>(keys[i].second - 1)]
                .corners[static_cast<size_t>(cornerNo - 1)] = static_cast<int>(i) + 1;
            text += (i == 0 ? "" : (i == 1 ? "-" : ",")) + std::to_string(keys[i].second);
        }
        out.cornerOrders.push_back({cornerNo, text});
    }
    const int raceLast3f = race.jump ? 390 : out.last3f;
    for (size_t i = 0; i < order.size(); ++i) {
        RunnerResult& r = out.runners[static_cast<size_t>(order[i] - 1)];
        const int style = race.runners[static_cast<size_t>(order[i] - 1)].runningStyle;
        const double v = raceLast3f - 2 + 3.0 * static_cast<double>(i) + 2.0 * (style - 2.5) * -1 +
                         3 * rng.normal();
        r.last3f = std::clamp(static_cast<int>(std::lround(v)), 320, 480);
        r.last4f = r.last3f + rng.range(115, 128);
    }

    // Winning combinations, dead heats included: tuples whose placings match the
    // first placings of the finishing order.
    std::vector<int> byPos = order;
    auto posOf = [&](int h) { return out.runners[static_cast<size_t>(h - 1)].finishPos; };
    auto winningTuples = [&](size_t len) {
        std::vector<std::vector<int>> result;
        if (byPos.size() < len)
            return result;
        std::vector<int> tuple;
        std::function<void()> extend = [&]() {
            if (tuple.size() == len) {
                result.push_back(tuple);
                return;
            }
            const int wanted = posOf(byPos[tuple.size()]);
            for (int h : byPos)
                if (posOf(h) == wanted && std::find(tuple.begin(), tuple.end(), h) == tuple.end()) {
                    tuple.push_back(h);
                    extend();
                    tuple.pop_back();
                }
        };
        extend();
        return result;
    };

    const auto exactaTuples = winningTuples(2);
    const auto trifectaTuples = winningTuples(3);
    const std::array<double, 19>& w = market.finalPreference;
    const long long winPool = race.winPool;

    // Win.
    {
        std::vector<int> winners;
        for (int h : order)
            if (posOf(h) == 1)
                winners.push_back(h);
        long long total = 0;
        for (int h : winners)
            total += fin.winVotes[static_cast<size_t>(h)];
        for (int h : winners)
            out.win.push_back(
                {two(h),
                 payoutYen({fin.winPool, 800}, total, static_cast<int>(winners.size()),
                           fin.winVotes[static_cast<size_t>(h)]),
                 out.runners[static_cast<size_t>(h - 1)].popularity});
    }
    // Place.
    out.placeSold = market.placeSold && !order.empty();
    if (out.placeSold) {
        std::vector<int> paid;
        for (int h : order)
            if (posOf(h) <= market.placesPaid)
                paid.push_back(h);
        long long total = 0;
        std::vector<long long> votes;
        for (int h : field)
            votes.push_back(fin.placeVotes[static_cast<size_t>(h)]);
        for (int h : paid)
            total += fin.placeVotes[static_cast<size_t>(h)];
        for (int h : paid)
            out.place.push_back(
                {two(h),
                 payoutYen({fin.placePool, 800}, total, static_cast<int>(paid.size()),
                           fin.placeVotes[static_cast<size_t>(h)]),
                 popularityRank(fin.placeVotes[static_cast<size_t>(h)], votes.data(),
                                static_cast<int>(votes.size()))});
    }
    // Quinella and bracket quinella.
    std::set<std::pair<int, int>> quinellaPairs, bracketPairs;
    for (const auto& t : exactaTuples) {
        quinellaPairs.insert({std::min(t[0], t[1]), std::max(t[0], t[1])});
        const int a = race.runners[static_cast<size_t>(t[0] - 1)].bracket;
        const int b = race.runners[static_cast<size_t>(t[1] - 1)].bracket;
        bracketPairs.insert({std::min(a, b), std::max(a, b)});
    }
    out.quinellaSold = market.quinellaSold && !quinellaPairs.empty();
    if (out.quinellaSold) {
        long long total = 0;
        for (const auto& [a, b] : quinellaPairs)
            total += fin.quinellaVotes[static_cast<size_t>(umarenPairNumber(a, b))];
        for (const auto& [a, b] : quinellaPairs) {
            const long long v = fin.quinellaVotes[static_cast<size_t>(umarenPairNumber(a, b))];
            out.quinella.push_back({two(a) + two(b),
                                    payoutYen({fin.quinellaPool, 750}, total,
                                              static_cast<int>(quinellaPairs.size()), v),
                                    popularityRank(v, fin.quinellaVotes.data() + 1, 153)});
        }
    }
    out.bracketSold = market.bracketSold && !bracketPairs.empty();
    if (out.bracketSold) {
        long long total = 0;
        for (const auto& [a, b] : bracketPairs)
            total += fin.bracketVotes[static_cast<size_t>(wakurenPairNumber(a, b))];
        for (const auto& [a, b] : bracketPairs) {
            const long long v = fin.bracketVotes[static_cast<size_t>(wakurenPairNumber(a, b))];
            out.bracket.push_back(
                {std::to_string(a) + std::to_string(b),
                 payoutYen({fin.bracketPool, 750}, total, static_cast<int>(bracketPairs.size()), v),
                 popularityRank(v, fin.bracketVotes.data() + 1, 36)});
        }
    }

    // Exotic pools: the public's shares by Harville from the final win preferences,
    // indexed by horse numbers (a * 19 + b) * 19 + c; unordered bets at their sorted
    // index, the other entries 0.
    std::vector<double> trifectaShare(19 * 19 * 19), trioShare(19 * 19 * 19);
    std::vector<double> exactaShare(19 * 19), wideShare(19 * 19);
    auto index3 = [](int a, int b, int c) { return static_cast<size_t>((a * 19 + b) * 19 + c); };
    auto index2 = [](int a, int b) { return static_cast<size_t>(a * 19 + b); };
    for (int a : field)
        for (int b : field)
            for (int c : field) {
                if (a == b || b == c || a == c)
                    continue;
                const double wa = w[static_cast<size_t>(a)], wb = w[static_cast<size_t>(b)],
                             wc = w[static_cast<size_t>(c)];
                const double share =
                    wa * wb / std::max(1e-9, 1 - wa) * wc / std::max(1e-9, 1 - wa - wb);
                trifectaShare[index3(a, b, c)] = share;
                int t[3] = {a, b, c};
                std::sort(t, t + 3);
                trioShare[index3(t[0], t[1], t[2])] += share;
                exactaShare[index2(a, b)] += share;
                wideShare[index2(t[0], t[1])] += share / 3;
                wideShare[index2(t[0], t[2])] += share / 3;
                wideShare[index2(t[1], t[2])] += share / 3;
            }
    auto pay = [&](const std::vector<double>& shares, const std::set<std::vector<int>>& winners,
                   double poolFactor, int permille, std::vector<PayoutEntry>& entries) {
        const long long pool = static_cast<long long>(poolFactor * static_cast<double>(winPool));
        auto at = [&](const std::vector<int>& combo) {
            return combo.size() == 3 ? shares[index3(combo[0], combo[1], combo[2])]
                                     : shares[index2(combo[0], combo[1])];
        };
        std::vector<std::pair<std::vector<int>, long long>> votes;
        long long total = 0;
        for (const auto& combo : winners) {
            const double jitter = 1.0 + 0.4 * (rng.uniform() + rng.uniform() - 1.0);
            const long long v =
                std::max(1LL, std::llround(static_cast<double>(pool) * at(combo) * jitter));
            votes.push_back({combo, v});
            total += v;
        }
        for (const auto& [combo, v] : votes) {
            std::string text;
            for (int h : combo)
                text += two(h);
            const double s = at(combo);
            const int rank = 1 + static_cast<int>(std::count_if(shares.begin(), shares.end(),
                                                                [s](double x) { return x > s; }));
            entries.push_back(
                {text, payoutYen({pool, permille}, total, static_cast<int>(votes.size()), v),
                 rank});
        }
    };
    std::set<std::vector<int>> wideWinners, exactaWinners, trioWinners, trifectaWinners;
    for (const auto& t : trifectaTuples) {
        trifectaWinners.insert(t);
        std::vector<int> sorted = t;
        std::sort(sorted.begin(), sorted.end());
        trioWinners.insert(sorted);
        wideWinners.insert({sorted[0], sorted[1]});
        wideWinners.insert({sorted[0], sorted[2]});
        wideWinners.insert({sorted[1], sorted[2]});
    }
    for (const auto& t : exactaTuples)
        exactaWinners.insert(t);
    pay(wideShare, wideWinners, 0.9, 750, out.wide);
    out.exactaSold = race.date.year >= 2002 && !exactaWinners.empty();
    out.trioSold = race.date.year >= 2002 && !trioWinners.empty();
    out.trifectaSold = race.date.year >= 2004 && !trifectaWinners.empty();
    if (out.exactaSold)
        pay(exactaShare, exactaWinners, 1.3, 750, out.exacta);
    if (out.trioSold)
        pay(trioShare, trioWinners, 2.2, 750, out.trio);
    if (out.trifectaSold)
        pay(trifectaShare, trifectaWinners, 4.5, 725, out.trifecta);
    return out;
}

} // namespace sorvantix::feed
