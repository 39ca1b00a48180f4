#pragma once

#include "core/store/day_store.h"
#include "core/store/realtime_cards.h"

#include <array>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

namespace sorvantix {

class JvLink;
class Person;
struct DayName;

struct DayResultsFetch
{
    bool ran = false;         // a day is loaded: the caller runs the payout import next
    int openResult = 0;       // JVRTOpen("0B12") result
    RealtimeCardsResult read; // the merge, when the open succeeded

    // The request opened, read to the end, was not cancelled, and every record it
    // delivered was whole and of the day asked for.
    bool complete() const
    {
        return openResult == 0 && read.readEnd == 0 && !read.cancelled && read.refused == 0 &&
               read.otherDay == 0;
    }
};

// The request of KekkaGetBtnClick ("結果情報"): the results of the loaded day, "0B12"
// with the date of race slot 0 (RA 12-19), merged into the day files by the real-time
// card reader. Does nothing (ran = false) when that date is not eight digits or is zero.
// Otherwise:
//   status "払戻データ取得中"; JVRTOpen("0B12", date); on failure beep (not in
//   `AutoResultMode`), "<venue><race>R:払戻データ取得エラー：" + JvResultText("JVRTOpen",
//   code) through `appendError` (venue and race number of slot `selectedRace`, blank
//   when it is no race) and CloseRealtimeCards; on success ReadRealtimeCards and
//   CloseRealtimeCards; finally status "" and CloseRealtimeCards once more.
// File failures throw Error after the final step. When `ran`, the caller runs
// importDayPayouts (HrReadBtnClick; also after a failed open) to reload what the day files hold.
DayResultsFetch fetchDayResults(JvLink& jvLink, const std::filesystem::path& appDir,
                                const DayStore& store, int selectedRace, bool AutoResultMode,
                                Person& person, const ErrorLogAppend& appendError,
                                const std::atomic<bool>* cancel = nullptr);

struct PayoutImport
{
    bool raFileFound = false;
    bool hrFileFound = false;
    int raceCount = 0; // race slots filled from the .jvRA file, at most 36
    // Slots whose HrMerged was set by this import and was not set before.
    std::array<bool, kRaceSlots> newlyMerged{};
    // Damage found in the day files (as the day loading reports it).
    std::vector<std::string> warnings;
};

// The import of HrReadBtnClick ("払戻取込"): reloads the day's race cards and payouts into `store`.
//  - .jvRA present: record i (1272 bytes, at most 36) into RaRecs slot i, the slot the
//    race list points at, and runners k < registered runners (at most 18) from the
//    venue's .jvSEr file, when it exists, into SeRecs; runner slots beyond keep what
//    they held.
//  - .jvHR present: every HrRecs blank, then each 719-byte record (at most 36) into the
//    first slot whose RA race key (12-27) equals its own, setting HrMerged; a payout
//    without its race is dropped.
// O1Recs and O2Recs (the loaded time point) are not touched. Throws Error when a file
// cannot be read.
PayoutImport importDayPayouts(const std::filesystem::path& appDir, const DayName& day,
                              DayStore& store);

// One race list item with what its payouts say, as the programs list them after
// "結果情報".
struct PayoutSummaryRow
{
    std::string text;     // race list item text
    bool merged = false;  // a payout record was merged into the race's slot
    std::string winHorse; // first win entry: horse number as stored ("" unless merged)
    long long winYen = 0; // and its payout in yen
};

// Rows in race list order. `items` are the day's race list items over `store`.
std::vector<PayoutSummaryRow> payoutSummary(const DayStore& store,
                                            const std::vector<RaceListItem>& items);

} // namespace sorvantix
