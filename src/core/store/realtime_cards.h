#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace sorvantix {

class JvLink;
class Person;

// The main window's report of a failed JV-Link request: shows the text in the status
// label under the race list and appends it to the error log ("【エラー】hh:nn:ss：" +
// text). ErrorLog::append with the status label as its sink does exactly this.
using ErrorLogAppend = std::function<void(const std::string& message)>;

// How a run of the real-time card reader ended.
struct RealtimeCardsResult
{
    int readEnd = 0;        // the JVRead result that ended the loop: 0, or an error below -3
    bool cancelled = false; // the cancel flag ended the loop
    int stored = 0;         // records merged into a day file
    int dropped = 0;        // RA/SE records of a day without its .jvRA/.jvSEr file
    int refused = 0;        // damaged records (wrong length, key not digits ...), not stored
    int otherDay = 0;       // of `dropped`: records of another day than the one asked for
};

// The report of damaged records a read loop passed over: how many, and why the first
// was refused ("取り込めないレコードを3件読み飛ばしました。最初のレコード: ...").
std::string refusedRecordsText(int count, const std::string& firstReason);

// ReadRealtimeCards: reads the open real-time stream (0B12) to its end and merges every
// RA, SE and HR record into the day files with the real-time rules: RA only into an
// existing .jvRA file (blank first line dropped after sorting), SE unchanged only into an
// existing .jvSEr file, HR unchanged into the .jvHR file (created when missing). No
// data-kind or date conditions; records with race number (SE: or horse number) not
// positive and records of other types are passed over.
//
// Results -1, -2 and -3 read on; 0 ends the loop; an error below -3 is reported through
// `appendError` with JvResultText("JVRead", code) (no beep) and ends the loop. Records
// merged before an error or a cancel stay merged: the files are written at every end.
// Damaged records are not stored; one error-log line tells how many and why the first
// was refused. `cancel` (may be null) is checked before each read. File failures throw
// Error after the records merged so far have been written where possible; the stream is
// left for the caller's close step.
//
// `day` ("yyyymmdd", may be empty for any day): the day the stream was opened for.
// Records of other days are not stored (their day's files stay as they are) and are
// counted in `dropped` and `otherDay`.
RealtimeCardsResult ReadRealtimeCards(JvLink& jvLink, const std::filesystem::path& appDir,
                                      const ErrorLogAppend& appendError,
                                      const std::atomic<bool>* cancel = nullptr,
                                      std::string_view day = {});

// CloseRealtimeCards: JVClose. A non-zero result goes through `appendError` as
// "JVCloseエラー:" + JvResultText("JVClose", code); a zero result beeps unless `AutoResultMode` is
// set (the automatic result acquisition runs quietly). Returns the JVClose result.
int CloseRealtimeCards(JvLink& jvLink, bool AutoResultMode, Person& person,
                       const ErrorLogAppend& appendError);

} // namespace sorvantix
