#pragma once

#include "core/store/realtime_cards.h"

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

class JvLink;
class Person;
struct DayStore;

// The lines one read loop collects, records without CR LF: "O1" records into
// O1RecvList, "O2" records into O2RecvList. Every read loop fills both; a request clears
// only the list it is going to store.
struct OddsRecvLists
{
    std::vector<std::string> O1RecvList;
    std::vector<std::string> O2RecvList;
};

enum class OddsCollect {
    Collected, // appended to its list
    Ignored,   // another record type, data kind "0" or "9", or race number not positive
    Refused,   // an O1/O2 record of the wrong length or with a line break inside
};

// CollectOddsRecord: the acceptance rule for one delivered record (CP932 bytes with
// their CR LF). An "O1" or "O2" record whose data kind (3) is neither "0" nor "9" and
// whose race number (26-27) is positive is appended to its list with "0" as data kind
// and without its CR LF. A record that passes the rule but is not exactly 962 (O1) or
// 2042 (O2) bytes ending in CR LF is refused: it would break the fixed-size reading of
// the odds file, as is one whose race key (12-27) is not 16 digits; `reason` (may be
// null) then gets why.
OddsCollect CollectOddsRecord(std::string_view record, OddsRecvLists& lists,
                              std::string* reason = nullptr);

// How an odds read loop ended.
struct OddsReadResult
{
    int end = 0;            // 0 = end of data, or the JVRead error below -3
    bool cancelled = false; // the cancel flag ended the loop
    int refused = 0;        // damaged O1/O2 records passed over
    std::string firstRefusal;

    // The stream was read to its end: the lines collected are the whole series.
    bool complete() const { return end == 0 && !cancelled; }
};

// The odds read loop without its reporting (shared with the schedule window): JVRead
// with size 60000 until 0 or an error below -3; -1, -2 and -3 read on; each record goes
// through CollectOddsRecord. A record whose race key and announcement time were read
// already replaces the earlier one in its place, so each list holds one line per
// announcement. `cancel` (may be null) is checked before each read.
OddsReadResult readOddsRecords(JvLink& jvLink, OddsRecvLists& lists,
                               const std::atomic<bool>* cancel = nullptr);

// Stores the lines of one request for one race and record type (".jvO1"/".jvO2"). A
// stored series only grows: the lines are merged into the file by announcement time
// (positions 28-35), a line read now replacing the stored line of its time, every other
// stored line kept, one line per time (the last wins), the whole sorted. This holds for
// a whole read, a flash request's single record and a read cut short alike. No lines:
// nothing is written. Only lines of `raceKey`, the race requested, are stored: the file
// is named by it, and lines of any other race (or day) are dropped and counted in the
// return value. Holds the folder's write lock from reading the file to replacing it.
// Throws Error as SaveOddsSeries does, and when the stored file cannot be read.
int storeOddsSeries(const std::filesystem::path& appDir, std::string_view raceKey,
                    std::vector<std::string> lines, std::string_view extension);

// The message for lines of other races a request delivered and did not store.
std::string otherRaceLinesText(std::string_view raceKey, int count);

// The main window's odds close: JVClose; a non-zero result beeps and goes through
// `appendError` as "JVCloseエラー:" + JvResultText("JVClose", code). Returns the result.
int closeOdds(JvLink& jvLink, Person& person, const ErrorLogAppend& appendError);

// CardsAreFinal: true when no RA record and no SE record of the 36 race slots has data
// kind "1" (position 3); blank slots pass. A card of kind "1" is not the final card.
bool CardsAreFinal(const DayStore& store);

// The message both users of CardsAreFinal show when it fails.
inline constexpr std::string_view kCardsNotFinalMessage =
    "出走表データが最新でありません。JVデータ取得ボタンよりデータを取得してからオッズを取得し"
    "てください。";

// How one request ("0B41" or "0B42") ended.
enum class OddsRequestOutcome {
    NotRun,     // not made (no race, or the request before it was cancelled or failed to store)
    Stored,     // read to the end; merged into the file (kept when nothing was delivered)
    OpenFailed, // JVRTOpen failed; the file untouched
    NotYet,     // JVRTOpen found nothing published yet (-1) on a live refresh: no error
    ReadFailed, // JVRead failed; what was read merged into the file
    Cancelled,  // the cancel flag ended the read; what was read merged into the file
};

struct RaceOddsFetch
{
    bool ran = false; // the race slot holds a race: the caller re-runs its race selection
    OddsRequestOutcome o1 = OddsRequestOutcome::NotRun;
    OddsRequestOutcome o2 = OddsRequestOutcome::NotRun;
    int linesO1 = 0; // lines collected by each request
    int linesO2 = 0;
    // Records not stored: damaged ones and those of another race, in both requests.
    int refused = 0;

    // Both requests read to the end and stored every record they received.
    bool complete() const
    {
        return o1 == OddsRequestOutcome::Stored && o2 == OddsRequestOutcome::Stored && refused == 0;
    }
};

// The acquisition of SokuhoOddsBtnClick ("ｵｯｽﾞ取得") for the race whose RA record is
// `raRecord` (the selected race slot): when its race key (12-27) is 16 digits and not
// zero, the "0B41" request, then the "0B42" request, each:
//   status "<venue><race>オッズ取得中" (e.g. "中山11オッズ取得中"); JVRTOpen; on
//   failure beep, "<venue><race>R:ｵｯｽﾞ取得エラー：" + JvResultText("JVRTOpen", code)
//   through `appendError`, odds close; on success clear the list, read loop (an error
//   below -3: beep and JvResultText("JVRead", code) through `appendError`), odds close,
//   store; finally status "" and the odds close once more.
// A failed request does not stop the next one; a cancel does. File failures throw Error
// after the request's final step. Returns what happened; when `ran`, the caller re-runs
// the race selection (DatListClick) so the new time points are listed. A live refresh
// (`live`) takes an open's -1 for "nothing announced yet": NotYet, without beep or log.
RaceOddsFetch fetchRaceOdds(JvLink& jvLink, const std::filesystem::path& appDir,
                            std::string_view raRecord, OddsRecvLists& lists, Person& person,
                            const ErrorLogAppend& appendError,
                            const std::atomic<bool>* cancel = nullptr, bool live = false);

} // namespace sorvantix
