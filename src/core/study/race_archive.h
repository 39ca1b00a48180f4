#pragma once

#include "core/odds/odds_arrays.h"
#include "core/odds/odds_files.h"
#include "core/store/day_store.h"
#include "core/text/day_name.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// The stored races under AppDir/Data read without the main window: what the backtest,
// the race-day board, the money flow and the export go over. Nothing here writes.

// The days with a race card file (.jvRA) in Data, oldest first, limited to
// [from, to] where given. A missing Data folder gives no days.
std::vector<DayName> archivedDays(const std::filesystem::path& appRoot,
                                  std::optional<DayName> from = std::nullopt,
                                  std::optional<DayName> to = std::nullopt);

// One race of a stored day, its records as the day store holds them (CP932).
struct ArchivedRace
{
    DayName day;
    int slot = 0;                         // slot in the day's .jvRA file
    std::string raceKey;                  // 16 digits
    std::string ra;                       // RA record
    std::array<std::string, 18> se;       // SE records by horse slot (blank when absent)
    std::string hr;                       // HR record, blank without payouts
    int registered = 0;                   // 0..18
    int postMinute = -1;                  // hh * 60 + mm of the post time, -1 without one
    bool useUmaren = false;               // quinella odds from the .jvO2 file
    std::filesystem::path o1File, o2File; // the race's odds files (may not exist)

    bool hasPayouts() const;
    // "MMDD" of the race day, the announcements of the day itself carry it.
    std::string monthDay() const;
    // The race list text ("東京   2回  4日11R").
    std::string listText() const;
};

// The race of a day store slot; nullopt when its RA record has no race key.
std::optional<ArchivedRace> archivedRace(const std::filesystem::path& appRoot, const DayName& day,
                                         const DayStore& store, int slot);

// The races of a day in slot order; records without a race key are left out. Damage
// of the day files is read as the day loading reads it and added to `warnings`.
// Throws Error when an existing file cannot be read.
std::vector<ArchivedRace> archivedRaces(const std::filesystem::path& appRoot, const DayName& day,
                                        std::vector<std::string>* warnings = nullptr);

// One announcement of a race: its time key and the O1 and O2 records that belong to
// it, as the window's odds loading pairs them (the win odds announced at or before the
// quinella odds' time when the series is the quinella one). Records come without
// CR LF; an empty record is missing.
struct TimePointRecords
{
    std::string timeKey; // MMDDhhmm
    std::string o1;
    std::string o2;
};

// A race's announcements read once from its odds files: the time points the window
// lists (the .jvO2 file's when the race uses quinella odds, else the .jvO1 file's),
// with the matching records. Damaged lines are no time points.
class RaceOddsSeries
{
public:
    // A race without its odds files gives an empty series. Throws Error when an
    // existing file cannot be read.
    static RaceOddsSeries read(const ArchivedRace& race);

    bool empty() const { return m_keys.empty(); }
    size_t size() const { return m_keys.size(); }
    const std::vector<std::string>& timeKeys() const { return m_keys; }
    const std::string& damage() const { return m_damage; }

    // The records of time point k (< size()).
    TimePointRecords at(size_t k) const;

    // The odds arrays of time point k. False, `arrays` reset and `problem` set, when
    // the records cannot be read (a garbage odds field, a missing record).
    bool oddsAt(size_t k, OddsArrays& arrays, std::string* problem = nullptr) const;

    // Index of the latest time point at or before `timeKey` announced on the race day
    // or before it (month 00, the final odds, never counts); nullopt when none.
    std::optional<size_t> latestAtOrBefore(std::string_view timeKey) const;
    // The window's default time point: nearest to `hhmm` among the race day's own
    // announcements, the earlier on a tie; time point 0 when the day has none.
    std::optional<size_t> nearestOnRaceDay(std::string_view hhmm) const;

private:
    std::string m_monthDay;
    bool m_useUmaren = false;
    std::vector<std::string> m_keys;
    std::vector<std::string_view> m_o1; // by time point, empty when missing
    std::vector<std::string_view> m_o2;
    std::vector<std::shared_ptr<const void>> m_storage; // what the views point into
    std::string m_damage;
};

// The money of the pools at an announcement, in yen: positions 928 (win, O1) and 2030
// (quinella, O2), 11 digits in units of 100 yen. nullopt when the field is not a number.
std::optional<long long> winPoolYen(std::string_view o1Record);
std::optional<long long> quinellaPoolYen(std::string_view o2Record);

} // namespace sorvantix
