#pragma once

#include "core/results/race_results.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// The hit report of the buttons "的中" (TekiAnaBtn) and "穴的中" (TekiAnaBtn2): the
// reference quinella bets of every race of a day checked against the quinella and
// wide results, published as HTML fragments (a per-day file, the clipboard, the
// desktop's viewer) and appended to one cumulative hit log.

enum class TekiButton {
    TekiAnaBtn,  // "的中": every paid hit
    TekiAnaBtn2, // "穴的中": long-shot hits only
};

// Payouts a hit must exceed, in yen.
struct HitThresholds
{
    int quinella = 0;
    int wide = 0;
};
HitThresholds hitThresholds(TekiButton button);

inline constexpr const char* kHitPageTitle =
    "<br /><img src=\"./image/balist.gif\"><font color=\"black\">"
    "【オッズソルヴァン法 for JRA-VAN Data Lab.】</font>";
inline constexpr const char* kHitLogFirstLine = " オッズソルヴァン法 for JRA-VAN Data Lab.";
inline constexpr const char* kQuinellaHitLabel = "R[馬連　]：　";
inline constexpr const char* kWideHitLabel = "R[ワイド]：　";
inline constexpr const char* kBlueText = "<font color=\"blue\">";
inline constexpr const char* kRedText = "<font color=\"red\">";
inline constexpr const char* kEndText = "</font>";
inline constexpr const char* kHitIcon1 = "<img src=\"./image/lis1.gif\">";
inline constexpr const char* kHitIcon2 = "<img src=\"./image/lis2.gif\">";

// The lines a run collects, as CP932 bytes (the race's short name is kept byte for
// byte as the record stores it).
struct HitLines
{
    std::vector<std::string> page; // the per-day page, its title first
    std::vector<std::string> log;  // the cumulative log, its existing lines first
};

// The reference quinella bets of one race: entries 1..3, 1..5 and 1..10 in order
// (pair labels such as " 3- 7", blank for an empty entry).
struct RaceBets
{
    std::span<const std::string> KaiRenHon;
    std::span<const std::string> KaiRenChuAna;
    std::span<const std::string> KaiRenOoAna;
};

// Adds the hits of one race to `lines`: for every bet that is not blank, in list order,
// one page line and one log line per quinella result entry (1..3) and then per wide
// result entry (1..7) whose pair label equals the bet exactly and whose payout exceeds
// the button's threshold. `raRecord` is the race's RA record (CP932; short or blank
// records read as blanks). Returns the number of hits added.
int collectRaceHits(std::string_view raRecord, const RaceBets& bets, const RaceResults& results,
                    TekiButton button, HitLines& lines);

// <hpUploadDir>/TK<yyyymmdd>.txt of the day, from positions 12-19 of `raRecord`; empty
// when they are not eight digits (no path is built from anything else).
std::filesystem::path hitPageFile(const std::filesystem::path& hpUploadDir,
                                  std::string_view raRecord);
// <hpUploadDir>/Rezovuro.txt.
std::filesystem::path hitLogFile(const std::filesystem::path& hpUploadDir);

// The log's lines to extend: the file's lines byte for byte when it exists, else its
// first line alone. Throws Error when an existing file cannot be read.
std::vector<std::string> loadHitLog(const std::filesystem::path& file);

// The log with one copy of a day's lines: the stored lines of the day (those after the
// first line that begin with `yyyymmdd`) are replaced by `dayLines`, placed where the
// day's first stored line stood (at the end when the day had none). Running a day's
// hits again therefore changes nothing.
std::vector<std::string> replaceDayInHitLog(std::vector<std::string> log, std::string_view yyyymmdd,
                                            const std::vector<std::string>& dayLines);

// The page of a hit run, written.
struct HitPage
{
    std::filesystem::path file; // <hpUploadDir>/TK<yyyymmdd>.txt
    bool replaced = false;      // the day's page was there before (的中 then 穴的中)
};
// Writes the page lines (CP932, the title first) to the day's page file: the day of
// `firstSlotRa` (race slot 0) names it, or, when that slot is blank, the day of
// `firstListedRa`. Creates the folder. Throws Error when no day can name the file or
// the folder or file cannot be written.
HitPage writeHitPage(const std::filesystem::path& hpUploadDir, const std::vector<std::string>& page,
                     std::string_view firstSlotRa, std::string_view firstListedRa);
// Writes `storedLog` (as loadHitLog read it) back to `logFile` with the day's lines of
// this run in place of the stored ones (replaceDayInHitLog). Throws Error when the
// file cannot be written.
void writeHitLog(const std::filesystem::path& logFile, std::vector<std::string> storedLog,
                 std::string_view yyyymmdd, const std::vector<std::string>& dayLines);

} // namespace sorvantix
