#pragma once

#include "core/analysis/analysis_state.h"
#include "core/analysis/suisho_params.h"
#include "core/odds/odds_arrays.h"
#include "core/study/race_archive.h"

#include <filesystem>
#include <string>
#include <vector>

namespace sorvantix {

// Alerts while the automatic acquisition runs: each newly fetched time point of a race
// is compared with the one before it.

// How far odds must fall between two announcements to be news: a share of the odds
// before, by band (short odds move less before it matters), and a floor in odds points
// below which a fall is noise (1.3 to 1.1 is 15 % but no news).
struct DropLevels
{
    double bandEdges[2]; // odds before: band 0 below the first, 2 from the second on
    double percent[3];   // the fall, in percent of the odds before, per band
    double floor;        // the fall in odds points at least
    // The band of `before` (0..2).
    int band(double before) const;
};

struct AlertSettings
{
    bool singularPair = true; // a pair becomes a singular point
    bool tokusho = true;      // a runner gets the ☆ mark
    double paLevel = 2.0;     // a PA ratio rises to this level or above; 0 = off
    bool oddsDrop = true;     // a runner's win or a pair's quinella odds fall sharply
    DropLevels winDrop{{10, 30}, {20, 30, 40}, 0.3};
    DropLevels quinellaDrop{{30, 100}, {25, 35, 45}, 1.0};
};

struct OddsAlert
{
    enum class Kind { SingularPair, Tokusho, PaLevel, WinDrop, QuinellaDrop };
    Kind kind = Kind::SingularPair;
    std::string raceKey;
    std::string raceText;  // race list text
    std::string timeKey;   // the new time point, MMDDhhmm
    int horse = 0;         // Tokusho: the runner; pairs: the lower runner
    int partner = 0;       // pairs: the higher runner
    double paRatio = 0;    // PaLevel and SingularPair: the new PA ratio
    double oddsBefore = 0; // WinDrop and QuinellaDrop: the odds of both announcements
    double oddsAfter = 0;

    // "東京 11R 15:10 特異点 3- 7 (PA比 1.42)" and the like.
    std::string text() const;
};

// What changed from `before` to `after` (analyses of consecutive time points).
std::vector<OddsAlert> compareAnalyses(const AnalysisState& before, const AnalysisState& after,
                                       const AlertSettings& settings);

// The sharp falls of win and quinella odds from `before` to `after`; runners and pairs
// without odds (not set, or no votes) in either are left out.
std::vector<OddsAlert> compareOdds(const OddsArrays& before, const OddsArrays& after,
                                   const AlertSettings& settings);

// The alerts of time points firstNew.. of a race's series, each against the one
// before it. With firstNew 0 (nothing was known before) only the newest time point is
// compared, so a race's first fetch does not announce the whole morning. A time point
// whose odds cannot be read is skipped, and so is the comparison across it.
std::vector<OddsAlert> seriesAlerts(const ArchivedRace& race, const RaceOddsSeries& series,
                                    size_t firstNew, const SuishoParams& params,
                                    const AlertSettings& settings);

// The day's alert log: <appRoot>/Alert/<yyyy年mm月dd日>.txt, CP932, one line per alert
// with the local time it was raised ("yyyy/mm/dd hh:mm:ss<TAB>text").
std::filesystem::path alertLogFile(const std::filesystem::path& appRoot, const DayName& day);
// Appends the lines (UTF-8) to the day's log, whole-file atomic. Throws Error when it
// cannot be written; the log stays as it was.
void appendAlertLog(const std::filesystem::path& appRoot, const DayName& day,
                    const std::vector<std::string>& lines);

// How the window announces a batch of alerts: the status bar's line (the count and
// the last alert) and the desktop notification's body (the first five, then how many
// more are in the alert log).
struct AlertAnnouncement
{
    std::string statusLine;
    std::string body;
};
AlertAnnouncement alertAnnouncement(const std::vector<OddsAlert>& alerts);

} // namespace sorvantix
