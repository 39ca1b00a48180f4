#pragma once

#include "core/analysis/suisho_params.h"
#include "core/study/race_archive.h"
#include "core/text/clock.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sorvantix {

// The race-day board: every race of a day, venue by venue, analysed at its latest
// announcement.

struct BoardCell
{
    std::string raceKey;
    int listIndex = -1; // the race's item in the main window's race list
    int raceNo = 0;
    std::string postTime;   // "hh:mm", "" without one
    std::string latestTime; // "hh:mm" of the latest announcement, "" without odds
    std::string latestKey;  // its MMDDhhmm
    bool analysed = false;
    double kasenPercent = 0;      // 上位寡占率
    std::string upset;            // "小", "中", "大" as 波乱度 reads
    std::vector<int> suisho;      // ★ horse numbers
    std::vector<int> tokusho;     // ☆ horse numbers
    int singularPairs = 0;        // pairs marked as singular points
    std::array<int, 19> finish{}; // finishing positions by horse number, when results are in
    std::string problem; // why the race is not analysed ("オッズ未取得", a read error)
};

struct BoardVenue
{
    std::string venueCode;                          // positions 20-21
    std::string name;                               // VenueGroupName, trimmed
    std::array<std::optional<BoardCell>, 12> races; // 1R..12R
};

struct RaceBoard
{
    DayName day;
    std::vector<BoardVenue> venues; // in the day file's order
    std::vector<std::string> warnings;

    int raceCount() const;
};

// Builds the board of a stored day under the parameter set. Throws Error when a day
// file cannot be read; a race whose odds cannot be read keeps its cell with the
// problem said.
RaceBoard buildRaceBoard(const std::filesystem::path& appRoot, const DayName& day,
                         const SuishoParams& params);

// Colours of the board, 0xRRGGBB: the upset degree as the analysis grades the top
// oligopoly rate, and a horse number by its finishing place (the analysis table's).
std::uint32_t upsetColour(const std::string& upset);
std::optional<std::uint32_t> boardFinishColour(const BoardCell& cell, int horse);

// Where a race of the board stands at `now`: its results in (Settled), off without
// them (Off), odds announced before post (Live) or none yet (Waiting); how old its
// latest announcement is (-1 without one); late when within the live following's near
// window before post and its latest announcement is older than its late minutes (or
// there is none).
enum class BoardPhase { Waiting, Live, Off, Settled };
struct BoardLiveness
{
    BoardPhase phase = BoardPhase::Waiting;
    int ageMinutes = -1;
    bool late = false;
};
BoardLiveness boardLiveness(const BoardCell& cell, const LocalDateTime& now, int nearMinutes,
                            int lateMinutes);

// The board as text: one block per venue, one line per race.
std::string raceBoardText(const RaceBoard& board);

} // namespace sorvantix
