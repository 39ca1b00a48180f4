#include "core/study/backtest.h"

#include "core/analysis/analysis_computation.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace sorvantix {

std::string Decision::label() const
{
    switch (kind) {
    case Kind::MinutesBefore:
        return format("発走%d分前", minutes);
    case Kind::DefaultTime:
        return "既定表示時刻 " + firstTime.substr(0, 2) + ":" + firstTime.substr(2, 2);
    case Kind::AutoTime:
        return format("自動取得時刻（発走%d分前）", lead - std::max(0, delay));
    }
    return {};
}

std::optional<Decision> Decision::parse(std::string_view text)
{
    Decision d;
    if (text == "default") {
        d.kind = Kind::DefaultTime;
        return d;
    }
    if (text == "auto") {
        d.kind = Kind::AutoTime;
        return d;
    }
    auto m = parseInt(text);
    if (!isDigits(text) || !m || *m > 24 * 60)
        return std::nullopt;
    d.minutes = *m;
    return d;
}

namespace {

// "MMDDhhmm" of a minute of the race day; before midnight it is the day's first minute,
// which only the day before's announcements precede.
std::string raceDayKey(const std::string& monthDay, int minute)
{
    minute = std::clamp(minute, 0, 24 * 60 - 1);
    return monthDay + twoDigits(minute / 60) + twoDigits(minute % 60);
}

} // namespace

std::optional<size_t> decisionTimePoint(const ArchivedRace& race, const RaceOddsSeries& series,
                                        const Decision& decision)
{
    if (series.empty())
        return std::nullopt;
    switch (decision.kind) {
    case Decision::Kind::DefaultTime:
        return series.nearestOnRaceDay(decision.firstTime);
    case Decision::Kind::MinutesBefore:
    case Decision::Kind::AutoTime: {
        if (race.postMinute < 0)
            return std::nullopt;
        const int before = decision.kind == Decision::Kind::MinutesBefore
                               ? decision.minutes
                               : decision.lead - std::max(0, decision.delay);
        const int minute = race.postMinute - before;
        // Earlier than the race day's first minute: only the day before's announcements.
        if (minute < 0) {
            auto k = series.latestAtOrBefore(raceDayKey(race.monthDay(), 0));
            if (k && series.timeKeys()[*k].substr(0, 4) == race.monthDay())
                return std::nullopt;
            return k;
        }
        return series.latestAtOrBefore(raceDayKey(race.monthDay(), minute));
    }
    }
    return std::nullopt;
}

std::string_view betCategoryCaption(BetCategory category)
{
    static constexpr std::array<std::string_view, kBetCategories> kCaptions{
        "単勝 本命", "単勝 穴", "馬連 本命", "馬連 中穴", "馬連 大穴", "★ 単勝", "☆ 単勝"};
    return kCaptions[static_cast<size_t>(category)];
}

std::string_view betCategoryKey(BetCategory category)
{
    static constexpr std::array<std::string_view, kBetCategories> kKeys{
        "tan_hon", "tan_ana", "ren_hon", "ren_chuana", "ren_ooana", "suisho", "tokusho"};
    return kKeys[static_cast<size_t>(category)];
}

RacePayouts readRacePayouts(std::string_view hrRecord)
{
    RacePayouts p;
    const HrView hr(hrRecord);
    if (hr.isBlank())
        return p;
    p.winVoid = hr.field(32, 1) == "1";
    p.quinellaVoid = hr.field(35, 1) == "1";
    for (int h = 1; h <= 18; ++h)
        p.refundedHorse[static_cast<size_t>(h)] = hr.field(58 + h, 1) == "1";
    for (int n = 1; n <= HrView::kWinEntries; ++n) {
        PayoutEntry e = hr.win(n);
        auto horse = parseInt(e.combination);
        auto yen = e.payoutYen();
        if (horse && *horse >= 1 && *horse <= 18 && yen && *yen > 0 && *yen < 1000000000)
            p.win[static_cast<size_t>(*horse)] = static_cast<int>(*yen);
    }
    for (int n = 1; n <= HrView::kQuinellaEntries; ++n) {
        PayoutEntry e = hr.quinella(n);
        auto a = parseInt(std::string_view(e.combination).substr(0, 2));
        auto b = parseInt(std::string_view(e.combination).substr(2, 2));
        auto yen = e.payoutYen();
        if (!a || !b || !yen || *yen <= 0 || *yen >= 1000000000)
            continue;
        int pair = *a < *b ? umarenPairNumber(*a, *b) : umarenPairNumber(*b, *a);
        if (pair > 0)
            p.quinella[static_cast<size_t>(pair)] = static_cast<int>(*yen);
    }
    return p;
}

std::string SettledBet::label() const
{
    return pair > 0 ? UmarenPairText(pair) : padded(horse, 2);
}

std::vector<SettledBet> settleBets(const AnalysisState& a, const RacePayouts& payouts)
{
    std::vector<SettledBet> bets;
    auto win = [&](BetCategory c, int horse) {
        if (horse < 1 || horse > 18)
            return;
        SettledBet b{c, horse, 0, false, false, 0};
        if (payouts.winVoid || payouts.refundedHorse[static_cast<size_t>(horse)]) {
            b.refunded = true;
            b.returnYen = kStakeYen;
        } else if (int yen = payouts.win[static_cast<size_t>(horse)]; yen > 0) {
            b.hit = true;
            b.returnYen = yen;
        }
        bets.push_back(b);
    };
    auto quinella = [&](BetCategory c, const std::string& text) {
        int pair = UmarenPairNo(text);
        if (pair == 0)
            return;
        const auto [x, y] = umarenPairHorses(pair);
        SettledBet b{c, 0, pair, false, false, 0};
        if (payouts.quinellaVoid || payouts.refundedHorse[static_cast<size_t>(x)] ||
            payouts.refundedHorse[static_cast<size_t>(y)]) {
            b.refunded = true;
            b.returnYen = kStakeYen;
        } else if (int yen = payouts.quinella[static_cast<size_t>(pair)]; yen > 0) {
            b.hit = true;
            b.returnYen = yen;
        }
        bets.push_back(b);
    };
    win(BetCategory::TanHon, a.KaiTanHon);
    for (size_t k = 1; k < a.KaiTanAan.size(); ++k)
        win(BetCategory::TanAna, a.KaiTanAan[k]);
    for (size_t k = 1; k < a.KaiRenHon.size(); ++k)
        quinella(BetCategory::RenHon, a.KaiRenHon[k]);
    for (size_t k = 1; k < a.KaiRenChuAna.size(); ++k)
        quinella(BetCategory::RenChuAna, a.KaiRenChuAna[k]);
    for (size_t k = 1; k < a.KaiRenOoAna.size(); ++k)
        quinella(BetCategory::RenOoAna, a.KaiRenOoAna[k]);
    for (int h = 1; h <= 18; ++h)
        if (a.SuishoMark[static_cast<size_t>(h)])
            win(BetCategory::Suisho, h);
    for (int h = 1; h <= 18; ++h)
        if (a.TokushoMark[static_cast<size_t>(h)])
            win(BetCategory::Tokusho, h);
    return bets;
}

namespace {

// Per race and category: stake and return, for the statistics and the bootstrap.
struct RaceMoney
{
    std::array<long long, kBetCategories + 1> stake{};
    std::array<long long, kBetCategories + 1> returned{};
};

void addRace(CategoryStats& s, int& losingRun, long long stake, long long returned, int bets,
             int hits)
{
    if (bets == 0)
        return;
    ++s.races;
    s.bets += bets;
    s.hits += hits;
    s.stake += stake;
    s.returned += returned;
    losingRun = hits > 0 ? 0 : losingRun + 1;
    s.longestLosingRun = std::max(s.longestLosingRun, losingRun);
}

// Percentile bounds of the ROI over races drawn with replacement. The generator's
// output is fixed by the standard, and the draw uses it directly, so a seed gives the
// same figures everywhere.
void bootstrap(const std::vector<RaceMoney>& money, std::uint64_t seed, int resamples,
               std::array<CategoryStats*, kBetCategories + 1> stats)
{
    const size_t n = money.size();
    if (n == 0 || resamples <= 0)
        return;
    std::mt19937_64 rng(seed);
    std::array<std::vector<double>, kBetCategories + 1> rois;
    for (auto& r : rois)
        r.reserve(static_cast<size_t>(resamples));
    for (int s = 0; s < resamples; ++s) {
        std::array<long long, kBetCategories + 1> stake{}, returned{};
        for (size_t i = 0; i < n; ++i) {
            const RaceMoney& m = money[rng() % n];
            for (size_t c = 0; c <= kBetCategories; ++c) {
                stake[c] += m.stake[c];
                returned[c] += m.returned[c];
            }
        }
        for (size_t c = 0; c <= kBetCategories; ++c)
            if (stake[c] > 0)
                rois[c].push_back(static_cast<double>(returned[c]) / stake[c]);
    }
    for (size_t c = 0; c <= kBetCategories; ++c) {
        auto& r = rois[c];
        if (r.empty() || stats[c]->stake == 0)
            continue;
        std::sort(r.begin(), r.end());
        auto at = [&r](double q) {
            size_t i = static_cast<size_t>(std::floor(q * static_cast<double>(r.size() - 1)));
            return r[std::min(i, r.size() - 1)];
        };
        stats[c]->roiLow = at(0.025);
        stats[c]->roiHigh = at(0.975);
    }
}

} // namespace

BacktestReport backtestRaces(const std::vector<BacktestRace>& races, const BacktestOptions& options)
{
    BacktestReport report;
    report.decisionLabel = options.decision.label();
    for (const auto& race : races)
        report.raceKeys.push_back(race.raceKey);
    for (const ParamSet& set : options.sets) {
        ParamSetReport r;
        r.name = set.name;
        std::vector<RaceMoney> money;
        money.reserve(races.size());
        std::array<int, kBetCategories + 1> losing{};
        std::array<long long, kBetCategories> net{};
        AnalysisState state;
        for (const BacktestRace& race : races) {
            state.reset();
            computeAnalysis(race.odds, set.params, state);
            BacktestRaceRow row{race.raceKey, race.timeKey, settleBets(state, race.payouts)};
            RaceMoney m;
            std::array<int, kBetCategories + 1> bets{}, hits{};
            for (const SettledBet& b : row.bets) {
                for (size_t c : {static_cast<size_t>(b.category), size_t{kBetCategories}}) {
                    m.stake[c] += kStakeYen;
                    m.returned[c] += b.returnYen;
                    ++bets[c];
                    hits[c] += b.hit ? 1 : 0;
                }
            }
            for (size_t c = 0; c < kBetCategories; ++c) {
                addRace(r.categories[c], losing[c], m.stake[c], m.returned[c], bets[c], hits[c]);
                net[c] += m.returned[c] - m.stake[c];
                r.cumulative[c].push_back(net[c]);
            }
            addRace(r.total, losing[kBetCategories], m.stake[kBetCategories],
                    m.returned[kBetCategories], bets[kBetCategories], hits[kBetCategories]);
            money.push_back(m);
            r.races.push_back(std::move(row));
        }
        std::array<CategoryStats*, kBetCategories + 1> stats{};
        for (size_t c = 0; c < kBetCategories; ++c)
            stats[c] = &r.categories[c];
        stats[kBetCategories] = &r.total;
        bootstrap(money, options.seed, options.resamples, stats);
        report.sets.push_back(std::move(r));
    }
    return report;
}

std::optional<BacktestRace> prepareBacktestRace(const ArchivedRace& race, const Decision& decision,
                                                BacktestReport& report)
{
    ++report.racesSeen;
    if (!race.hasPayouts()) {
        ++report.racesNoPayouts;
        return std::nullopt;
    }
    const RaceOddsSeries series = RaceOddsSeries::read(race);
    if (!series.damage().empty())
        report.warnings.push_back(race.raceKey + ": " + series.damage());
    if (series.empty()) {
        ++report.racesNoOdds;
        return std::nullopt;
    }
    auto k = decisionTimePoint(race, series, decision);
    if (!k) {
        ++report.racesNoDecision;
        return std::nullopt;
    }
    BacktestRace out;
    out.raceKey = race.raceKey;
    out.timeKey = series.timeKeys()[*k];
    std::string problem;
    if (!series.oddsAt(*k, out.odds, &problem)) {
        ++report.racesUnreadable;
        report.warnings.push_back(race.raceKey + " " + out.timeKey + ": " + problem);
        return std::nullopt;
    }
    out.payouts = readRacePayouts(race.hr);
    return out;
}

BacktestReport runBacktest(const std::filesystem::path& appRoot, std::optional<DayName> from,
                           std::optional<DayName> to, const BacktestOptions& options,
                           const BacktestProgress& progress, const std::atomic<bool>* cancel)
{
    BacktestReport counts;
    const std::vector<DayName> days = archivedDays(appRoot, from, to);
    std::vector<BacktestRace> races;
    int done = 0;
    for (const DayName& day : days) {
        if (cancel && cancel->load())
            break;
        try {
            for (const ArchivedRace& race : archivedRaces(appRoot, day, &counts.warnings)) {
                try {
                    if (auto r = prepareBacktestRace(race, options.decision, counts))
                        races.push_back(std::move(*r));
                } catch (const std::exception& e) {
                    ++counts.racesUnreadable;
                    counts.warnings.push_back(race.raceKey + ": " + e.what());
                }
            }
        } catch (const std::exception& e) {
            counts.warnings.push_back(day.text() + ": " + e.what());
        }
        ++done;
        if (progress)
            progress(done, static_cast<int>(days.size()));
    }
    BacktestReport report = backtestRaces(races, options);
    report.days = done;
    if (!days.empty()) {
        report.from = days.front().digits();
        report.to = days[static_cast<size_t>(std::max(0, done - 1))].digits();
    }
    report.racesSeen = counts.racesSeen;
    report.racesNoOdds = counts.racesNoOdds;
    report.racesNoPayouts = counts.racesNoPayouts;
    report.racesNoDecision = counts.racesNoDecision;
    report.racesUnreadable = counts.racesUnreadable;
    report.warnings = std::move(counts.warnings);
    return report;
}

namespace {

std::string percent(double fraction)
{
    return fixed(fraction * 100.0, 0, 1);
}

} // namespace

std::string backtestTable(const BacktestReport& report)
{
    std::string out;
    out +=
        "検証: " + report.decisionLabel + "  " + report.from + "-" + report.to + "  " +
        format("%d日 %dレース（分析 %d、オッズなし %d、払戻なし %d、時点なし %d、読めない %d）\n",
               report.days, report.racesSeen, static_cast<int>(report.raceKeys.size()),
               report.racesNoOdds, report.racesNoPayouts, report.racesNoDecision,
               report.racesUnreadable);
    for (const ParamSetReport& set : report.sets) {
        out += "\n[" + set.name + "]\n";
        out +=
            "区分        レース  点数  的中  的中率   投資額    払戻額     回収率  95%区間        "
            "最長連敗\n";
        auto row = [&out](std::string_view caption, const CategoryStats& s) {
            std::string name(caption);
            // The captions are two to five characters wide; pad by display width.
            int width = 0;
            for (size_t i = 0; i < name.size(); ++i)
                if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80)
                    width += static_cast<unsigned char>(name[i]) >= 0x80 ? 2 : 1;
            name += std::string(static_cast<size_t>(std::max(0, 12 - width)), ' ');
            out += name + format("%6d %5d %5d %7s%% %9lld %9lld %9s%%  %6s-%6s%% %6d\n", s.races,
                                 s.bets, s.hits, percent(s.hitRate()).c_str(), s.stake, s.returned,
                                 percent(s.roi()).c_str(), percent(s.roiLow).c_str(),
                                 percent(s.roiHigh).c_str(), s.longestLosingRun);
        };
        for (int c = 0; c < kBetCategories; ++c)
            row(betCategoryCaption(static_cast<BetCategory>(c)),
                set.categories[static_cast<size_t>(c)]);
        row("合計", set.total);
    }
    return out;
}

std::string backtestCsv(const BacktestReport& report)
{
    std::string out = "set,category,races,bets,hits,hit_rate,stake_yen,return_yen,roi,roi_low,"
                      "roi_high,longest_losing_run\n";
    auto quoted = [](const std::string& s) {
        std::string q = "\"";
        for (char c : s)
            q += c == '"' ? std::string("\"\"") : std::string(1, c);
        return q + "\"";
    };
    for (const ParamSetReport& set : report.sets) {
        auto row = [&](std::string_view key, const CategoryStats& s) {
            out += quoted(set.name) + "," + std::string(key) +
                   format(",%d,%d,%d,%.4f,%lld,%lld,%.4f,%.4f,%.4f,%d\n", s.races, s.bets, s.hits,
                          s.hitRate(), s.stake, s.returned, s.roi(), s.roiLow, s.roiHigh,
                          s.longestLosingRun);
        };
        for (int c = 0; c < kBetCategories; ++c)
            row(betCategoryKey(static_cast<BetCategory>(c)),
                set.categories[static_cast<size_t>(c)]);
        row("total", set.total);
    }
    return out;
}

namespace {

std::string xmlEscaped(std::string_view s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::string backtestSvg(const BacktestReport& report, int width, int height)
{
    static constexpr std::array<const char*, kBetCategories> kColours{
        "#d62728", "#ff7f0e", "#1f77b4", "#2ca02c", "#9467bd", "#8c564b", "#e377c2"};
    static constexpr std::array<const char*, 4> kDashes{"", "6,3", "2,2", "8,3,2,3"};
    struct Line
    {
        std::string name;
        const std::vector<long long>* values;
        const char* colour;
        const char* dash;
    };
    std::vector<Line> lines;
    long long lo = 0, hi = 0;
    for (size_t s = 0; s < report.sets.size(); ++s) {
        const ParamSetReport& set = report.sets[s];
        for (size_t c = 0; c < kBetCategories; ++c) {
            if (set.categories[c].bets == 0)
                continue;
            std::string name(betCategoryCaption(static_cast<BetCategory>(c)));
            if (report.sets.size() > 1)
                name = set.name + ": " + name;
            lines.push_back({name, &set.cumulative[c], kColours[c], kDashes[s % kDashes.size()]});
            for (long long v : set.cumulative[c]) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
    }
    if (hi == lo)
        hi = lo + 1000;
    const size_t n = report.raceKeys.size();
    const double left = 90, right = width - 200.0, top = 40, bottom = height - 50.0;
    auto x = [&](size_t i) {
        return left + (right - left) * (n > 1 ? double(i) / double(n - 1) : 0);
    };
    auto y = [&](double v) { return bottom - (bottom - top) * (v - double(lo)) / double(hi - lo); };

    std::string svg = format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
                             "viewBox=\"0 0 %d %d\" font-family=\"IPAGothic, Noto Sans CJK JP, "
                             "sans-serif\" font-size=\"12\">\n",
                             width, height, width, height);
    svg += format("<rect width=\"%d\" height=\"%d\" fill=\"white\"/>\n", width, height);
    svg += format(
        "<text x=\"%g\" y=\"22\" font-size=\"15\">%s</text>\n", left,
        xmlEscaped("累積収支（円） " + report.decisionLabel + "  " + report.from + "-" + report.to)
            .c_str());
    // Value ticks: about five round steps.
    const double span = double(hi - lo);
    const double base = std::pow(10.0, std::floor(std::log10(span / 5)));
    double step = base * 10;
    for (double m : {1.0, 2.0, 5.0})
        if (span / (base * m) <= 8) {
            step = base * m;
            break;
        }
    for (double v = std::ceil(double(lo) / step) * step; v <= double(hi); v += step) {
        svg += format("<line x1=\"%g\" y1=\"%.1f\" x2=\"%g\" y2=\"%.1f\" stroke=\"%s\"/>\n", left,
                      y(v), right, y(v), v == 0 ? "#000" : "#ddd");
        svg += format("<text x=\"%g\" y=\"%.1f\" text-anchor=\"end\">%.0f</text>\n", left - 6,
                      y(v) + 4, v);
    }
    svg += format("<line x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\" stroke=\"#000\"/>\n", left, top,
                  left, bottom);
    svg += format("<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">レース（%zu）</text>\n",
                  (left + right) / 2, bottom + 32, n);
    svg += format("<text x=\"%g\" y=\"%g\">1</text>\n", left, bottom + 16);
    svg +=
        format("<text x=\"%g\" y=\"%g\" text-anchor=\"end\">%zu</text>\n", right, bottom + 16, n);
    for (size_t l = 0; l < lines.size(); ++l) {
        const Line& line = lines[l];
        std::string points;
        const auto& v = *line.values;
        // At most about two points per pixel keep a year's plot small.
        const size_t stride =
            std::max<size_t>(1, v.size() / static_cast<size_t>(2 * (right - left)));
        for (size_t i = 0; i < v.size(); i += stride)
            points += format("%.1f,%.1f ", x(i), y(double(v[i])));
        if (!v.empty())
            points += format("%.1f,%.1f", x(v.size() - 1), y(double(v.back())));
        svg += format(
            "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\"%s points=\"%s\"/>\n",
            line.colour, *line.dash ? format(" stroke-dasharray=\"%s\"", line.dash).c_str() : "",
            points.c_str());
        const double ly = top + 16.0 * double(l);
        svg += format("<line x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\" stroke=\"%s\" "
                      "stroke-width=\"2\"/>\n",
                      right + 12, ly, right + 32, ly, line.colour);
        svg += format("<text x=\"%g\" y=\"%g\">%s</text>\n", right + 38, ly + 4,
                      xmlEscaped(line.name + format(" %+lld", v.empty() ? 0 : v.back())).c_str());
    }
    svg += "</svg>\n";
    return svg;
}

} // namespace sorvantix
