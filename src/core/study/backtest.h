#pragma once

#include "core/analysis/analysis_state.h"
#include "core/analysis/suisho_params.h"
#include "core/study/race_archive.h"

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// The backtest of the method: every race with odds and payouts analysed as it stood at
// a decision time, its marks and reference bets settled against the payouts.

// When the bettor decides.
struct Decision
{
    enum class Kind {
        MinutesBefore, // the latest announcement at or before post time - minutes
        DefaultTime,   // the window's default time point ("Time"/"First")
        AutoTime,      // the automatic acquisition's fetch: post - lead + delay
    };
    Kind kind = Kind::MinutesBefore;
    int minutes = 10;               // MinutesBefore
    std::string firstTime = "0915"; // DefaultTime, "hhmm"
    int lead = 30;                  // AutoTime: "Time"/"AutoOzGet"
    int delay = 5;                  // AutoTime: "Time"/"delay"

    // "発走10分前", "既定表示時刻 09:15", "自動取得時刻（発走25分前）".
    std::string label() const;
    // "10" (minutes before post), "default" or "auto"; nullopt for anything else. The
    // settings of the other kinds keep their defaults.
    static std::optional<Decision> parse(std::string_view text);
};

// The time point the decision picks from a race's series; nullopt when there is none
// (no announcement early enough, or no post time for a time before post).
std::optional<size_t> decisionTimePoint(const ArchivedRace& race, const RaceOddsSeries& series,
                                        const Decision& decision);

// The bet categories, in report order.
enum class BetCategory { TanHon, TanAna, RenHon, RenChuAna, RenOoAna, Suisho, Tokusho };
inline constexpr int kBetCategories = 7;
// "単勝 本命", "単勝 穴", "馬連 本命", "馬連 中穴", "馬連 大穴", "★ 単勝", "☆ 単勝".
std::string_view betCategoryCaption(BetCategory category);
// "tan_hon", "tan_ana", "ren_hon", "ren_chuana", "ren_ooana", "suisho", "tokusho".
std::string_view betCategoryKey(BetCategory category);

inline constexpr int kStakeYen = 100; // one bet

// What a race paid, per 100 yen, read from its HR record.
struct RacePayouts
{
    std::array<int, 19> win{};       // by horse number; 0 = not paid
    std::array<int, 154> quinella{}; // by pair number
    std::bitset<19> refundedHorse;   // tickets on these horses are refunded
    bool winVoid = false;            // win bets refunded (no contest)
    bool quinellaVoid = false;
};
RacePayouts readRacePayouts(std::string_view hrRecord);

// One settled bet: a horse number (win) or a pair number (quinella).
struct SettledBet
{
    BetCategory category = BetCategory::TanHon;
    int horse = 0;
    int pair = 0;
    bool hit = false;
    bool refunded = false;
    int returnYen = 0; // payout, or the stake when refunded

    std::string label() const; // " 3" or " 3- 7"
};

// The bets of an analysis, in category order, settled against the payouts.
std::vector<SettledBet> settleBets(const AnalysisState& analysis, const RacePayouts& payouts);

struct CategoryStats
{
    int races = 0; // races with a bet of the category
    int bets = 0;
    int hits = 0;
    long long stake = 0;
    long long returned = 0;
    int longestLosingRun = 0; // races in a row with bets and no hit
    double roiLow = 0;        // 95 % interval of the ROI, bootstrap over races
    double roiHigh = 0;

    double hitRate() const { return bets > 0 ? static_cast<double>(hits) / bets : 0; }
    double roi() const { return stake > 0 ? static_cast<double>(returned) / stake : 0; }
};

struct ParamSet
{
    std::string name;
    SuishoParams params;
};

// One analysed race under one parameter set.
struct BacktestRaceRow
{
    std::string raceKey;
    std::string timeKey; // the decision's time point
    std::vector<SettledBet> bets;
};

struct ParamSetReport
{
    std::string name;
    std::array<CategoryStats, kBetCategories> categories;
    CategoryStats total;
    std::vector<BacktestRaceRow> races; // in race order
    // Cumulative net return (return - stake) in yen after each race, per category.
    std::array<std::vector<long long>, kBetCategories> cumulative;
};

struct BacktestOptions
{
    Decision decision;
    std::vector<ParamSet> sets; // at least one
    std::uint64_t seed = 20261209;
    int resamples = 1000;
};

struct BacktestReport
{
    std::string decisionLabel;
    std::string from, to;              // "yyyymmdd" of the first and last day gone over
    int days = 0;                      // days gone over
    int racesSeen = 0;                 // races of those days
    int racesNoOdds = 0;               // no odds series
    int racesNoPayouts = 0;            // no payouts yet
    int racesNoDecision = 0;           // no time point at the decision
    int racesUnreadable = 0;           // the chosen time point's odds could not be read
    std::vector<std::string> raceKeys; // the races analysed, in order
    std::vector<ParamSetReport> sets;
    std::vector<std::string> warnings;
};

// A race ready for the backtest: what it paid and its odds at the decision.
struct BacktestRace
{
    std::string raceKey;
    std::string timeKey;
    OddsArrays odds;
    RacePayouts payouts;
};

// Settles prepared races: the analysis computation under each set, bets, statistics
// and the bootstrap. Pure and quick; the figures depend only on the races and options.
BacktestReport backtestRaces(const std::vector<BacktestRace>& races,
                             const BacktestOptions& options);

// Progress of a backtest over stored days: days done of days.
using BacktestProgress = std::function<void(int done, int total)>;

// The backtest of the stored days in [from, to] (all days when not given): each race
// with odds and payouts is taken at the decision's time point (only what was
// announced by then is read), then backtestRaces. Throws Error when the Data folder
// cannot be read; a day or race that cannot be read is a warning, the others go on.
// Stops early (with what it had) when `cancel` is set.
BacktestReport runBacktest(const std::filesystem::path& appRoot, std::optional<DayName> from,
                           std::optional<DayName> to, const BacktestOptions& options,
                           const BacktestProgress& progress = {},
                           const std::atomic<bool>* cancel = nullptr);

// The race as the backtest takes it; nullopt (with the reason counted in `report`)
// when it has no odds, payouts or time point at the decision.
std::optional<BacktestRace> prepareBacktestRace(const ArchivedRace& race, const Decision& decision,
                                                BacktestReport& report);

// Output forms: the table (UTF-8, aligned) and CSV (one row per set and category).
std::string backtestTable(const BacktestReport& report);
std::string backtestCsv(const BacktestReport& report);
// The cumulative net return per race of every set and category with bets, as an SVG
// document of `width` x `height` pixels.
std::string backtestSvg(const BacktestReport& report, int width = 900, int height = 520);

} // namespace sorvantix
