#pragma once

#include "core/store/record_views.h"
#include "core/text/day_name.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace sorvantix {

inline constexpr int kRaceSlots = 36; // three venues of twelve races
inline constexpr int kHorseSlots = 18;

// The races of one loaded day. Slot i belongs to record i of the day's .jvRA file.
// Record slots hold CP932 bytes at their record's full length (CR LF included), all
// blanks when empty, so fields are read by record position (slot byte 1 = position 1).
struct DayStore
{
    DayStore();

    std::array<std::string, kRaceSlots> RaRecs;                          // 1272 bytes
    std::array<std::array<std::string, kHorseSlots>, kRaceSlots> SeRecs; // 18 x 555
    std::array<std::string, kRaceSlots> HrRecs;                          // 719
    std::array<std::string, kRaceSlots> O1Recs;                          // 962
    std::array<std::string, kRaceSlots> O2Recs;                          // 2042
    std::array<bool, kRaceSlots> HrMerged{};          // payout merged into the slot
    std::array<std::string, kRaceSlots> AutoOddsTime; // "hhmm", "" until computed
    std::array<bool, kRaceSlots> AutoOddsDone{};      // automatic acquisition fired

    // Fills RaRecs, SeRecs, HrRecs, O1Recs and O2Recs of every slot with blanks and
    // clears HrMerged: what loading a day resets. AutoOddsTime and AutoOddsDone are
    // kept (the race list recomputes the times, the automatic acquisition owns the
    // flags).
    void clearRecords();
};

// A race list item: "東京   2回  4日11R" (UTF-8) and the slot of its race. Slots of
// records with a blank year get no item, so item and slot indexes can differ.
struct RaceListItem
{
    std::string text;
    int slot = 0;
};

struct DayLoad
{
    DayStore store;
    std::vector<RaceListItem> items;
    int raceCount = 0;        // slots filled from the .jvRA file, at most 36
    bool raFileFound = false; // false: no .jvRA file, every record slot blank
    // Damage found while reading (a file that is not a whole number of records, more
    // records than slots, missing runner records), one message per problem naming the
    // file; the readable part was loaded.
    std::vector<std::string> warnings;
};

// The race list item text of an RA record: VenueGroupName + meeting number, "回 ",
// meeting day, "日", race number (each PadNumber of two places), "R".
std::string raceListItemText(std::string_view raRecord);

// Loads a day's race card files under AppDir/Data into a copy of `current`:
//  - clearRecords() on all 36 slots (AutoOddsTime and AutoOddsDone are kept as they
//    are in `current`);
//  - the .jvRA file as 1272-byte records, at most 36, slot by slot; a list item for
//    each record whose year (12-15) is neither blank nor "0000";
//  - for each slot, runner k < registered runners (882-883, 0..18) from record
//    (race - 1) * 18 + k of day + VenueShortName + ".jvSEr" (555-byte records), when
//    that file exists and the race number is 1..12;
//  - the .jvHR file as 719-byte records, at most 36, each into the first slot with
//    the same venue (20-21) and race number (26-27).
// Missing .jvSEr and .jvHR files leave those slots blank. A damaged file is read up
// to its last whole record and reported in `warnings`. Throws Error when an existing
// file cannot be read.
DayLoad loadDay(const std::filesystem::path& appDir, const DayName& day, const DayStore& current);

} // namespace sorvantix
