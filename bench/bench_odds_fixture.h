#pragma once

#include "core/odds/odds_arrays.h"
#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/format.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace bench {

// A 16-runner field as the odds screens show it: win odds from a clear favourite to
// long shots, quinella odds from the win chances (Harville, 77.5 % payback, rounded
// to 0.1 like announced odds) with a few outsider-favourite pairs backed twice as
// heavily, so the singular-point lists and the reference bets have work to do.
inline sorvantix::OddsArrays sixteenRunners()
{
    const double tan[17] = {0,    2.8,  4.5,  6.1,  8.3,  11.2,  14.6,  19.8, 24.5,
                            31.2, 42.0, 55.3, 68.9, 88.1, 120.5, 180.2, 250.7};
    sorvantix::OddsArrays odds;
    double p[17] = {};
    double total = 0;
    for (int r = 1; r <= 16; ++r) {
        odds.TanOdds[r] = tan[r];
        p[r] = 1.0 / tan[r];
        total += p[r];
    }
    for (int r = 1; r <= 16; ++r)
        p[r] /= total;
    for (int i = 1; i < 16; ++i) {
        for (int j = i + 1; j <= 16; ++j) {
            double chance = p[i] * p[j] / (1 - p[i]) + p[j] * p[i] / (1 - p[j]);
            if ((j == 7 || j == 9 || j == 11) && i <= 2)
                chance *= 2.0;
            odds.UmarenOdds[sorvantix::umarenPairNumber(i, j)] =
                std::max(1.0, std::round(0.775 / chance * 10) / 10);
        }
    }
    return odds;
}

// The O1 and O2 records (without CR LF) of sixteenRunners() announced at `time`
// (MMDDhhmm) for race `key`, the quinella odds scaled by `drift`.
inline std::pair<std::string, std::string>
sixteenRunnerRecords(const std::string& key, const std::string& time, double drift = 1.0)
{
    using namespace sorvantix;
    const OddsArrays base = sixteenRunners();
    RecordBuilder o1(RecordType::O1);
    o1.setRaceKey(key).set("announce_time", time).set("registered", 16);
    RecordBuilder o2(RecordType::O2);
    o2.setRaceKey(key).set("announce_time", time).set("registered", 16);
    for (int h = 1; h <= 16; ++h) {
        o1.set("win_horse", h, h);
        o1.set("win_odds", h, format("%04d", static_cast<int>(base.TanOdds[h] * 10)));
    }
    for (int p = 1; p <= 153; ++p) {
        if (base.UmarenOdds[p] <= 0)
            continue;
        const std::string label = UmarenPairText(p);
        o2.set("quinella_pair", p,
               format("%02d%02d", std::stoi(label.substr(0, 2)), std::stoi(label.substr(3, 2))));
        o2.set("quinella_odds", p,
               format("%06d", static_cast<int>(base.UmarenOdds[p] * 10 * drift)));
    }
    std::string a = o1.bytes(), b = o2.bytes();
    return {a.substr(0, a.size() - 2), b.substr(0, b.size() - 2)};
}

} // namespace bench
