#pragma once

#include "core/analysis/analysis_state.h"
#include "core/analysis/suisho_params.h"
#include "core/study/race_archive.h"

#include <filesystem>
#include <string>
#include <vector>

namespace sorvantix {

// Alerts while the automatic acquisition runs: each newly fetched time point of a race
// is compared with the one before it.

struct AlertSettings
{
    bool singularPair = true; // a pair becomes a singular point
    bool tokusho = true;      // a runner gets the ☆ mark
    double paLevel = 2.0;     // a PA ratio rises to this level or above; 0 = off
};

struct OddsAlert
{
    enum class Kind { SingularPair, Tokusho, PaLevel };
    Kind kind = Kind::SingularPair;
    std::string raceKey;
    std::string raceText; // race list text
    std::string timeKey;  // the new time point, MMDDhhmm
    int horse = 0;        // Tokusho: the runner; pairs: the lower runner
    int partner = 0;      // pairs: the higher runner
    double paRatio = 0;   // PaLevel and SingularPair: the new PA ratio

    // "東京 11R 15:10 特異点 3- 7 (PA比 1.42)" and the like.
    std::string text() const;
};

// What changed from `before` to `after` (analyses of consecutive time points).
std::vector<OddsAlert> compareAnalyses(const AnalysisState& before, const AnalysisState& after,
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
