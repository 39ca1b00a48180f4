#pragma once

#include "core/odds/odds_arrays.h"
#include "core/store/race_card_files.h"
#include "core/store/record_views.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// Odds snapshot files: AppDir/Data/<yyyymmdd>/<venue meeting day race>.jvO1 / .jvO2,
// one stored O1 (960 bytes) or O2 (2040 bytes) line per announcement, CR LF each,
// sorted ascending as text (= chronological).

inline constexpr int kO1RecordSize = kO1RecordLength;
inline constexpr int kO2RecordSize = kO2RecordLength;
inline constexpr const char* kO1Extension = ".jvO1";
inline constexpr const char* kO2Extension = ".jvO2";

// Odds file of a race: `raceKey` is the 16-digit race key; `extension` ".jvO1" or
// ".jvO2". Throws Error when the key is no RaceKey (16 digits of a possible date);
// no path is built from it then.
std::filesystem::path oddsFilePath(const std::filesystem::path& appDir, std::string_view raceKey,
                                   std::string_view extension);

// Stores the lines (records without CR LF) one acquisition request collected for one
// race and record type. Empty list: nothing happens and an existing file is kept.
// The first line's race key names the file; lines of another race are left out (the
// count of dropped lines is returned). The folder is created when missing. Throws
// Error for a first line without a race key of digits, or when writing fails.
int SaveOddsSeries(const std::filesystem::path& appDir, std::vector<std::string> lines,
                   std::string_view extension);

// The stored lines of an odds file read as fixed-size records of `recordSize` bytes
// (kO1RecordSize or kO2RecordSize), as findOddsRecord reads them: each record without
// its CR LF, so a byte too many or too few in one record never shifts the others
// (readFixedRecordFile). Damaged records are no time points and are left out, unless
// `keepDamaged` (a merge that rewrites the file keeps them in their places). A cut-off
// end is left out; `damage` (may be null) says what was found. Throws Error when the
// file cannot be read.
std::vector<std::string> readOddsLines(const std::filesystem::path& file, int recordSize,
                                       std::string* damage = nullptr, bool keepDamaged = false);

// "MM/DD hh:mm" item of the time-point list from a stored odds line (positions 28-35).
std::string timeComboItem(std::string_view oddsLine);

// Time key MMDDhhmm from a time-point item: characters 1-2, 4-5, 7-8, 10-11.
std::string timeKeyOfItem(std::string_view item);

// First fixed-size record of the file whose positions 28-35 equal `timeKey`, with
// its CR LF; nullopt when none matches. `damaged` is set when the file is not a whole
// number of records (the whole records are still searched).
std::optional<std::string> findOddsRecord(const std::filesystem::path& file, int recordSize,
                                          std::string_view timeKey, bool* damaged = nullptr);

// The O1 record announced latest at or before `timeKey` (MMDDhhmm) on the same month
// and day; nullopt when there is none.
std::optional<std::string> findOddsRecordAtOrBefore(const std::filesystem::path& file,
                                                    std::string_view timeKey);

// An odds file read once, for the readings above without reading it again (a race
// selection lists the time points and then loads one of them).
class OddsFile
{
public:
    // Throws Error when the file cannot be read.
    static OddsFile read(const std::filesystem::path& file, int recordSize);

    const std::filesystem::path& path() const { return m_path; }
    int recordSize() const { return static_cast<int>(m_records.size); }
    const std::string& damage() const { return m_records.damage; }
    std::vector<std::string> lines(bool keepDamaged = false) const;
    // Whether the file holds an announcement that can be read (an empty or wholly
    // damaged file has no time point).
    bool hasAnnouncements() const;
    std::optional<std::string> find(std::string_view timeKey) const;
    std::optional<std::string> findAtOrBefore(std::string_view timeKey) const;

private:
    std::filesystem::path m_path;
    FixedRecordFile m_records;
};

// The one reading of an odds field's text (odds x 10): nullopt when blank, all "*" or
// all "-"; the tenths otherwise (0 = no votes). Throws Error naming the field (`what`,
// its `index` and record position `pos`) for anything else.
std::optional<long> oddsTenths(std::string_view field, const char* what, int index, int pos);

// Converts the odds fields of the slot records into the arrays (which the caller has
// reset to -1.0). `useUmaren`: quinella odds from the O2 record, else from the
// bracket-quinella odds of the O1 record. A field that is blank, all "*" or all "-"
// gives no odds; all zeros give the no-vote odds (999.9 / 99999.9 / 9999.9). A field
// that is none of these throws Error naming the field; the arrays are then left as
// they were, so no analysis runs on half-filled arrays.
void fillOddsArrays(std::string_view o1Record, std::string_view o2Record, bool useUmaren,
                    OddsArrays& arrays);

} // namespace sorvantix
