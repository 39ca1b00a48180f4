#pragma once

#include "core/store/record_views.h"
#include "core/text/day_name.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// The per-day race card files under AppDir/Data and the rules by which the two
// acquisitions store RA, SE and HR records into them:
//   day + ".jvRA"            one line per race (RA without CR LF, positions 3-11 zeroed),
//                            sorted ascending as text
//   day + venue + ".jvSEr"   exactly 216 lines of 553 bytes, line (race-1)*18+(horse-1)
//   day + ".jvHR"            one line per race with payouts, sorted ascending as text
// Every file is CP932 with CR LF after each line and is rewritten whole and atomically,
// so line k starts at byte k * (record length) and the day loader reads the files as
// fixed-size records.

// Which acquisition stores the record: the bulk download of race cards, or the real-time
// reader of the day's results. The real-time writer never creates a .jvRA or .jvSEr
// file, stores HR records unchanged and drops a blank first line of the .jvRA file.
enum class CardWriter { Bulk, Realtime };

// What became of a record handed to a store function.
enum class StoreOutcome {
    Stored,        // the file was (re)written
    NoRaceNumber,  // race number (SE: or horse number) not positive; nothing stored
    NoFile,        // real-time writer and the file does not exist; nothing stored
    NotCardRecord, // not an RA, SE or HR record; nothing stored
};

enum class CardFileKind { Ra, Se, Hr };

// The record lengths are record_views.h's; the .jvSEr file's shape:
inline constexpr int kSeFileLines = 216; // 12 races x 18 horses
inline constexpr int kSeMaxRace = 12;
inline constexpr int kSeMaxHorse = 18;

// AppDir/Data.
std::filesystem::path cardDataDir(const std::filesystem::path& appDir);

// AppDir/Data/<day>.jvRA, .jvHR and <day><VenueShortName>.jvSEr. The venue code is the
// two-byte code of positions 20-21.
std::filesystem::path raFilePath(const std::filesystem::path& appDir, const DayName& day);
std::filesystem::path hrFilePath(const std::filesystem::path& appDir, const DayName& day);
std::filesystem::path seFilePath(const std::filesystem::path& appDir, const DayName& day,
                                 std::string_view venueCode);

// True for RA and SE records of data kind "A" or "B" (local and overseas races), which
// the bulk acquisition skips. HR records of any kind are stored. Every caller that
// replays a bulk acquisition filters with this one predicate.
bool bulkSkipsDataKind(std::string_view record);

// How a record is to be stored, worked out and checked before any file is touched.
struct CardStorePlan
{
    // Stored: the record is to be stored into `path` (the real-time writer may still
    // find the file missing); otherwise the reason nothing is stored and the fields
    // below are empty.
    StoreOutcome outcome = StoreOutcome::NotCardRecord;
    CardFileKind kind = CardFileKind::Ra;
    DayName day;
    std::string fileName;       // the day file's name in Data/
    std::filesystem::path path; // appDir/Data/fileName (empty from planCardRecord)
    std::string line;           // the stored line: record without CR LF, 3-11 zeroed where due
    std::string raceKey;        // positions 12-27
    int lineIndex = -1;         // SE only: (race - 1) * 18 + (horse - 1), 0..215
};

// Checks a record and plans its store. The record is CP932 bytes as JV-Link delivers
// it, with or without its closing CR LF. Throws Error, before any path is built, when
// an RA, SE or HR record has not exactly its type's length (1272/555/719 with CR LF),
// holds a CR or LF inside, has a race key (12-27) that is not 16 digits, or is an SE
// record of a race above 12 or a horse above 18 (no line of the .jvSEr file is its own).
CardStorePlan planCardStore(const std::filesystem::path& appDir, std::string_view record,
                            CardWriter writer);

// The same plan without its path, for a writer that keeps its files by name (building
// a path for every record costs the bulk import more than its checks).
CardStorePlan planCardRecord(std::string_view record, CardWriter writer);

// Stores one record into its file: loads the whole file, replaces or appends the line
// (RA, HR: first line with the same race key; SE: its fixed line), sorts RA and HR
// lines ascending as text, and writes the whole file atomically (creating
// AppDir/Data when missing). A missing .jvSEr file is created as 216 blank lines by
// the bulk writer; an existing one shorter than 216 lines is padded with blank lines.
// Throws Error for refused records (see planCardStore) and on file failures; a refused
// record leaves every file untouched.
StoreOutcome storeCardRecord(const std::filesystem::path& appDir, std::string_view record,
                             CardWriter writer);

// The store rules on a file's lines in memory, exactly as storeCardRecord applies them
// to the lines it loaded (an empty list for a missing file):
// RA/HR: replace the first line with the plan's race key or append, sort ascending as
// text (stable), and for the real-time RA writer drop the first line if it is blank.
void applyKeyedLine(std::vector<std::string>& lines, const CardStorePlan& plan, CardWriter writer);
// SE: pad to 216 lines with blank lines, then replace the plan's line.
void applySeLine(std::vector<std::string>& lines, const CardStorePlan& plan);

// A day file read as fixed-size records, the way the day loader and the writers both
// read it. A whole file is cut at every record length. A damaged one is cut at its
// CR LFs instead, so a byte too many or too few (a stray LF, a lost byte) damages
// only its own record and every other keeps its place: a piece of another length is
// fitted to the record length (cut, or padded with blanks) and marked in `damaged`;
// what follows the last CR LF (a file cut in the middle of a record) is left out.
// `damage` says what was found.
struct FixedRecordFile
{
    std::string bytes;         // `count` records of `size` bytes
    size_t size = 0;           // record length, CR LF included
    size_t count = 0;          // records
    std::string damage;        // "" or what is wrong with the file (naming it)
    std::vector<bool> damaged; // per record; empty for a whole file

    std::string record(size_t i) const { return bytes.substr(i * size, size); }
    bool isDamaged(size_t i) const { return i < damaged.size() && damaged[i]; }
};
// Throws Error when the file cannot be read.
FixedRecordFile readFixedRecordFile(const std::filesystem::path& path, int recordLength);

// The stored lines of an existing day file for a writer: each whole record without its
// last two bytes (its CR LF), so rewriting the file keeps every record at its place,
// damaged ones included, except RA and HR records without a valid race key of a race
// 1..12 (no delivered record can ever replace them; kept, they would push good races
// out of the day's 36 slots). Damage (a cut-off end, a line break inside a record,
// dropped records) is added to `damage`, one message per problem naming the file.
std::vector<std::string> readCardFileLines(const std::filesystem::path& path, CardFileKind kind,
                                           std::vector<std::string>& damage);

// File existence and creation of the file's folder, failures thrown as Error.
bool cardFileExists(const std::filesystem::path& path);
void ensureCardDataDir(const std::filesystem::path& file);

// A blank .jvSEr line: 553 blanks.
std::string blankSeLine();

// Whether the line's positions 12-27 are the race key.
bool lineHasRaceKey(std::string_view line, std::string_view raceKey);

} // namespace sorvantix
