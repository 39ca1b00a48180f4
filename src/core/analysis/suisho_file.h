#pragma once

#include "core/text/day_name.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorvantix {

// The recommended-horse file of a race day and venue: CP932 text, CR LF after every
// line, 61 lines when new. Race R (1..12) owns the lines 5(R-1) .. 5(R-1)+3 (0-based):
// "%2dR", "%2d頭" of the registered runners, the 推奨馬 list and the 特奨馬 list; a list
// is one "%2d%2d" group (horse number, share rank) per marked runner, in horse order.
inline constexpr int kSuishoFileLines = 61;
inline constexpr int kSuishoMaxRace = 12;

// <suishoDir>/<yyyy年mm月dd日><VenueShortName>.sei, e.g. 2006年12月24日中山.sei.
std::filesystem::path suishoFilePath(const std::filesystem::path& suishoDir, const DayName& day,
                                     std::string_view venueCode);

// Throws Error naming the first recommended-horse file of the races (RA records) that
// exists but cannot be read and written: a run that rewrites them would drop its
// venue's races. Races without a key are passed over.
void requireUsableSuishoFiles(const std::filesystem::path& suishoDir,
                              const std::vector<std::string>& raRecords);

// Replaces the four lines of race `raceNo` in the file and keeps every other line
// byte for byte; a missing file starts as 61 empty lines, a shorter one is extended
// with empty lines to 61 (longer files keep all their lines). The file is replaced
// atomically.
//
// Returns "" when written. A race number outside 1..12 has no lines in the file:
// nothing is read or written and the returned notice says why. Throws Error when the
// file cannot be read or written, or a list text has no CP932 form.
std::string writeSuishoLines(const std::filesystem::path& file, int raceNo, int runners,
                             std::string_view suishoList, std::string_view tokushoList);

// A race's marked runners as the file holds them: (horse number, share rank) pairs.
struct SuishoMarks
{
    std::vector<std::pair<int, int>> suisho;  // ★ (推奨馬)
    std::vector<std::pair<int, int>> tokusho; // ☆ (特奨馬)
};

// Reads race `raceNo`'s lists from the file; empty lists for a missing file, a race
// outside 1..12 or lines the file does not have. Groups that are not numbers are
// passed over. Throws Error when an existing file cannot be read.
SuishoMarks readSuishoMarks(const std::filesystem::path& file, int raceNo);

// " 3(1) 9(5)": each pair as horse(rank), a blank before each.
std::string markListText(const std::vector<std::pair<int, int>>& marks);

} // namespace sorvantix
