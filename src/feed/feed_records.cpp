#include "feed/feed_records.h"

#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/format.h"

#include <algorithm>

namespace sorvantix::feed {
namespace {

RecordBuilder head(RecordType type, const RacePlan& race, char kind, const FeedDate& created)
{
    RecordBuilder b(type);
    b.set("data_kind", std::string(1, kind));
    b.set("creation_date", created.digits());
    b.setRaceKey(race.key());
    return b;
}

std::string two(int v)
{
    return format("%02d", v);
}

std::string signedGap(int tenths)
{
    return format("%c%03d", tenths < 0 ? '-' : '+', std::min(999, std::abs(tenths)));
}

// Race time "mss t": minutes digit, seconds, tenths.
std::string raceTime(int tenths)
{
    const int minutes = tenths / 600;
    return format("%d%03d", std::min(9, minutes), tenths % 600);
}

int runningStarters(const OddsSnapshot& s)
{
    return static_cast<int>(std::count(s.state.begin(), s.state.end(), RunnerState::Running));
}

// Entries of a payout group; a bet type that was not sold gets a first entry of
// zeros.
void setPayouts(RecordBuilder& b, const char* combo, const char* payout, const char* popularity,
                int maxEntries, bool sold, const std::vector<PayoutEntry>& entries)
{
    if (!sold) {
        b.set(combo, 1, 0);
        b.set(payout, 1, 0);
        b.set(popularity, 1, 0);
        return;
    }
    const int count = std::min(maxEntries, static_cast<int>(entries.size()));
    for (int i = 0; i < count; ++i) {
        const PayoutEntry& e = entries[static_cast<size_t>(i)];
        b.set(combo, i + 1, e.combo);
        b.set(payout, i + 1, e.yen);
        b.set(popularity, i + 1, e.popularity);
    }
}

} // namespace

std::string raRecord(const RacePlan& race, char kind, const FeedDate& created,
                     const RaceOutcome* outcome)
{
    RecordBuilder b = head(RecordType::RA, race, kind, created);
    b.set("weekday", race.weekdayCode);
    if (race.named) {
        b.set("race_name", race.name.title);
        b.set("race_name_en", race.name.latin);
        b.set("short_name_10", race.name.short10);
        b.set("short_name_6", race.name.short6);
        b.set("short_name_3", race.name.short3);
    }
    if (race.edition > 0) {
        b.set("special_race_no", race.specialNo);
        b.set("edition_part", 1);
        b.set("edition", race.edition);
    }
    if (race.grade != ' ') {
        b.set("grade", std::string(1, race.grade));
        b.set("grade_before", std::string(1, race.grade));
    }
    b.set("race_type", race.raceType);
    b.set("race_symbol", race.symbol);
    b.set("weight_rule", std::string(1, race.weightRule));
    b.set("condition_2yo", race.conditions[0]);
    b.set("condition_3yo", race.conditions[1]);
    b.set("condition_4yo", race.conditions[2]);
    b.set("condition_5yo_up", race.conditions[3]);
    b.set("condition_youngest", race.conditionYoungest);
    b.set("distance", race.distance);
    b.set("track", race.track);
    b.set("course", race.course);
    for (int i = 0; i < 5; ++i)
        b.set("prize", i + 1, race.prize[static_cast<size_t>(i)]);
    b.set("post_time", format("%02d%02d", race.postMinute / 60, race.postMinute % 60));
    b.set("registered", race.registered());
    b.set("record_flag", 0);
    if (!outcome)
        return b.bytes();

    b.set("starters", outcome->starters);
    b.set("finishers", outcome->finishers);
    b.set("weather", race.weather);
    if (race.turf)
        b.set("turf_going", race.turfGoing);
    else
        b.set("dirt_going", race.dirtGoing);
    const int laps = std::min(25, static_cast<int>(outcome->laps.size()));
    for (int i = 0; i < laps; ++i)
        b.set("lap_time", i + 1, std::min(999, outcome->laps[static_cast<size_t>(i)]));
    if (!race.jump) {
        b.set("first_3f", outcome->first3f);
        b.set("first_4f", outcome->first4f);
        b.set("last_3f", outcome->last3f);
        b.set("last_4f", outcome->last4f);
    }
    for (size_t i = 0; i < outcome->cornerOrders.size() && i < 4; ++i) {
        const int entry = static_cast<int>(i) + 1;
        b.set("corner", entry, outcome->cornerOrders[i].first);
        b.set("corner_laps", entry, 1);
        b.set("corner_order", entry, outcome->cornerOrders[i].second);
    }
    return b.bytes();
}

std::string seRecord(const RacePlan& race, int horse, char kind, const FeedDate& created,
                     const RaceOutcome* outcome)
{
    const RunnerPlan& r = race.runners.at(static_cast<size_t>(horse - 1));
    RecordBuilder b = head(RecordType::SE, race, kind, created);
    b.set("bracket", r.bracket);
    b.set("horse_no", r.number);
    b.set("horse_id", r.horseId);
    b.set("horse_name", r.horseName);
    b.set("horse_symbol", "00");
    b.set("sex", r.sex);
    b.set("breed", 1);
    b.set("coat", r.coat);
    b.set("age", r.age);
    b.set("stable_region", r.region);
    b.set("trainer_code", r.trainerCode);
    b.set("trainer_name", r.trainerName);
    b.set("owner_code", r.ownerCode);
    b.set("owner_name", r.ownerName);
    b.set("silks", r.silks);
    b.set("weight_carried", r.weightCarried);
    b.set("blinkers", r.blinkers ? 1 : 0);
    b.set("jockey_code", r.jockeyCode);
    b.set("jockey_name", r.jockeyName);
    b.set("apprentice", r.apprentice);
    b.set("running_style", r.runningStyle);
    if (!outcome) {
        // The body weight is announced on the day.
        b.set("body_weight", "   ");
        b.set("weight_change", "   ");
        return b.bytes();
    }

    const RunnerResult& res = outcome->runners.at(static_cast<size_t>(horse - 1));
    b.set("abnormality", res.abnormality);
    if (res.abnormality == 1) {
        b.set("body_weight", 0);
        return b.bytes();
    }
    b.set("body_weight", r.bodyWeight);
    b.set("weight_change_sign", r.weightChange > 0 ? "+" : (r.weightChange < 0 ? "-" : " "));
    b.set("weight_change", std::abs(r.weightChange));
    b.set("win_odds", res.finalOdds);
    b.set("popularity", res.popularity);
    if (res.finishPos == 0)
        return b.bytes();
    b.set("line_order", res.lineOrder);
    b.set("finish_pos", res.finishPos);
    b.set("dead_heat", res.deadHeatCount > 0 ? 1 : 0);
    b.set("dead_heat_count", res.deadHeatCount);
    b.set("race_time", raceTime(res.timeTenths));
    b.set("margin", res.margin);
    for (int c = 0; c < 4; ++c)
        b.set("corner_pos", c + 1, res.corners[static_cast<size_t>(c)]);
    b.set("prize_won", res.prizeWon);
    b.set("last_4f", res.last4f);
    b.set("last_3f", res.last3f);
    b.set("time_gap", signedGap(res.timeGap));
    // The rival: the runner-up for the winner, the winner for everybody else.
    int rival = 0;
    for (const RunnerResult& o : outcome->runners)
        if (o.number != horse && o.lineOrder == (res.lineOrder == 1 ? 2 : 1))
            rival = o.number;
    if (rival > 0) {
        const RunnerPlan& rv = race.runners[static_cast<size_t>(rival - 1)];
        b.set("rival_id", 1, rv.horseId);
        b.set("rival_name", 1, rv.horseName);
    }
    return b.bytes();
}

std::string hrRecord(const RacePlan& race, const RaceOutcome& o, char kind, const FeedDate& created)
{
    RecordBuilder b = head(RecordType::HR, race, kind, created);
    b.set("registered", race.registered());
    b.set("starters", o.starters);
    for (int i = 1; i <= 9; ++i) {
        b.set("no_contest", i, 0);
        b.set("special_payout", i, 0);
        b.set("refund", i, 0);
    }
    if (!o.refundedHorses.empty())
        for (int bet : {1, 2, 4, 5, 7, 8, 9})
            b.set("refund", bet, 1);
    for (int i = 1; i <= 28; ++i)
        b.set("refunded_horse", i, 0);
    for (int h : o.refundedHorses)
        b.set("refunded_horse", h, 1);
    for (int i = 1; i <= 8; ++i) {
        b.set("refunded_bracket", i, 0);
        b.set("refunded_same_bracket", i, 0);
    }
    setPayouts(b, "win_horse", "win_payout", "win_popularity", 3, true, o.win);
    setPayouts(b, "place_horse", "place_payout", "place_popularity", 5, o.placeSold, o.place);
    setPayouts(b, "bracket_combo", "bracket_payout", "bracket_popularity", 3, o.bracketSold,
               o.bracket);
    setPayouts(b, "quinella_combo", "quinella_payout", "quinella_popularity", 3, o.quinellaSold,
               o.quinella);
    setPayouts(b, "wide_combo", "wide_payout", "wide_popularity", 7, true, o.wide);
    setPayouts(b, "exacta_combo", "exacta_payout", "exacta_popularity", 6, o.exactaSold, o.exacta);
    setPayouts(b, "trio_combo", "trio_payout", "trio_popularity", 3, o.trioSold, o.trio);
    setPayouts(b, "trifecta_combo", "trifecta_payout", "trifecta_popularity", 6, o.trifectaSold,
               o.trifecta);
    return b.bytes();
}

std::string o1Record(const RacePlan& race, const MarketSeries& market, const OddsSnapshot& s)
{
    RecordBuilder b = head(RecordType::O1, race, '1', announceDate(race.date, s.minute));
    b.set("announce_time", announceTime(race.date, s.minute));
    const int n = race.registered();
    b.set("registered", n);
    b.set("starters", runningStarters(s));
    b.set("win_sale", 7);
    b.set("place_sale", market.placeSold ? 7 : 0);
    b.set("bracket_sale", market.bracketSold ? 7 : 0);
    b.set("places_paid", market.placesPaid);

    std::vector<long long> running, runningPlace;
    for (int h = 1; h <= n; ++h)
        if (s.state[static_cast<size_t>(h)] == RunnerState::Running) {
            running.push_back(s.winVotes[static_cast<size_t>(h)]);
            runningPlace.push_back(s.placeVotes[static_cast<size_t>(h)]);
        }
    for (int h = 1; h <= n; ++h) {
        const size_t i = static_cast<size_t>(h);
        b.set("win_horse", h, two(h));
        b.set("place_horse", h, two(h));
        const RunnerState st = s.state[i];
        if (st != RunnerState::Running) {
            const char c = static_cast<char>(st);
            b.set("win_odds", h, std::string(4, c));
            b.set("win_popularity", h, std::string(2, c));
            if (market.placeSold) {
                b.set("place_odds_low", h, std::string(4, c));
                b.set("place_odds_high", h, std::string(4, c));
                b.set("place_popularity", h, std::string(2, c));
            }
            continue;
        }
        b.set("win_odds", h, oddsTenths(s.winPool, s.winVotes[i], 80, 9999));
        b.set("win_popularity", h,
              popularityRank(s.winVotes[i], running.data(), static_cast<int>(running.size())));
        if (market.placeSold) {
            const auto [low, high] = placeOddsRange(s, h, market.placesPaid);
            b.set("place_odds_low", h, low);
            b.set("place_odds_high", h, high);
            b.set("place_popularity", h,
                  popularityRank(s.placeVotes[i], runningPlace.data(),
                                 static_cast<int>(runningPlace.size())));
        }
    }

    if (market.bracketSold) {
        // Which combinations exist, and which still have a runner on sale.
        std::array<bool, 37> exists{}, alive{}, refunded{};
        for (int a = 1; a <= n; ++a)
            for (int c = a + 1; c <= n; ++c) {
                const size_t k = static_cast<size_t>(
                    wakurenPairNumber(race.runners[static_cast<size_t>(a - 1)].bracket,
                                      race.runners[static_cast<size_t>(c - 1)].bracket));
                exists[k] = true;
                const RunnerState sa = s.state[static_cast<size_t>(a)];
                const RunnerState sc = s.state[static_cast<size_t>(c)];
                if (sa == RunnerState::Running && sc == RunnerState::Running)
                    alive[k] = true;
                if (sa == RunnerState::ScratchedAfter || sc == RunnerState::ScratchedAfter)
                    refunded[k] = true;
            }
        std::vector<long long> votes;
        for (size_t k = 1; k <= 36; ++k)
            if (alive[k])
                votes.push_back(s.bracketVotes[k]);
        int k = 0;
        for (int x = 1; x <= 8; ++x)
            for (int y = x; y <= 8; ++y) {
                ++k;
                const size_t i = static_cast<size_t>(k);
                if (!exists[i])
                    continue;
                b.set("bracket_combo", k, std::to_string(x) + std::to_string(y));
                if (!alive[i]) {
                    const char c = refunded[i] ? '*' : '-';
                    b.set("bracket_odds", k, std::string(5, c));
                    b.set("bracket_popularity", k, std::string(2, c));
                    continue;
                }
                b.set("bracket_odds", k, oddsTenths(s.bracketPool, s.bracketVotes[i], 75, 99999));
                b.set("bracket_popularity", k,
                      popularityRank(s.bracketVotes[i], votes.data(),
                                     static_cast<int>(votes.size())));
            }
    }
    b.set("win_pool", s.winPool);
    b.set("place_pool", market.placeSold ? s.placePool : 0);
    b.set("bracket_pool", market.bracketSold ? s.bracketPool : 0);
    return b.bytes();
}

std::string o2Record(const RacePlan& race, const MarketSeries&, const OddsSnapshot& s)
{
    RecordBuilder b = head(RecordType::O2, race, '1', announceDate(race.date, s.minute));
    b.set("announce_time", announceTime(race.date, s.minute));
    const int n = race.registered();
    b.set("registered", n);
    b.set("starters", runningStarters(s));
    b.set("quinella_sale", 7);
    std::vector<long long> votes;
    for (int x = 1; x <= n; ++x)
        for (int y = x + 1; y <= n; ++y)
            if (s.state[static_cast<size_t>(x)] == RunnerState::Running &&
                s.state[static_cast<size_t>(y)] == RunnerState::Running)
                votes.push_back(s.quinellaVotes[static_cast<size_t>(umarenPairNumber(x, y))]);
    for (int x = 1; x <= n; ++x)
        for (int y = x + 1; y <= n; ++y) {
            const int p = umarenPairNumber(x, y);
            b.set("quinella_pair", p, two(x) + two(y));
            const RunnerState sx = s.state[static_cast<size_t>(x)];
            const RunnerState sy = s.state[static_cast<size_t>(y)];
            if (sx != RunnerState::Running || sy != RunnerState::Running) {
                const bool before =
                    sx == RunnerState::ScratchedBefore || sy == RunnerState::ScratchedBefore;
                const char c = before ? '-' : '*';
                b.set("quinella_odds", p, std::string(6, c));
                b.set("quinella_popularity", p, std::string(3, c));
                continue;
            }
            const long long v = s.quinellaVotes[static_cast<size_t>(p)];
            b.set("quinella_odds", p, oddsTenths(s.quinellaPool, v, 75, 999999));
            b.set("quinella_popularity", p,
                  popularityRank(v, votes.data(), static_cast<int>(votes.size())));
        }
    b.set("quinella_pool", s.quinellaPool);
    return b.bytes();
}

} // namespace sorvantix::feed
