#pragma once

#include "core/text/clock.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

class BatchedCardWriter;
class JvLink;
class Person;
class TIniGT;

// "yyyy/mm/dd hh:nn:ss" (the stored "JvDataGet"/"LastTime"), also "yyyy/mm/dd" alone;
// nullopt for anything else or an impossible date or time.
std::optional<LocalDateTime> parseLastTime(std::string_view text);

// "yyyymmddhhnnss" (a JVOpen from-time or last file timestamp); nullopt for anything
// but 14 digits of a possible date and time.
std::optional<LocalDateTime> parseFromTime(std::string_view digits14);

// "yyyymmddhhnnss".
std::string fromTimeText(const LocalDateTime& t);

inline constexpr std::string_view kCardCancelledText = "JVCancel:キャンセルされました";
inline constexpr std::string_view kCardCancelQuestion = "データ取込を中止します。実行しますか？";

// The start message: the from-date as yyyy年mm月dd日hh時nn分ss秒 and the warning text.
std::string cardStartMessage(const LocalDateTime& from);

// JVSetUIProperties ("JVLink設定"): on a non-zero result beeps and shows
// "JVSetUIPropertiesエラー：" + JvResultText. Returns the result.
int setJvLinkProperties(JvLink& jvLink, Person& person);

// What the acquisition window shows, under the names of its controls. Texts are UTF-8.
struct GetDataFormView
{
    bool rbtSetup = false; // "セットアップデータ"; rbtNormal "通常データ" otherwise
    LocalDateTime DateTimePicker1;
    std::string Label5; // the from-date as "yyyy/mm/dd hh:nn:ss"
    std::string ProgressLabel;
    int ProgressBar1Position = 0; // download
    int ProgressBar1Max = 100;
    int ProgressBar2Position = 0; // reading (files)
    int ProgressBar2Max = 100;
    std::vector<std::string> ListBox1; // "作成済みデータ": one line per stored record
    bool busyCursor = false;
    bool TimerJVStatusEnabled = false;
};

// How the last run ended.
enum class CardRunOutcome {
    NotRun,
    Downloading,  // the download phase is on: poll TimerJVStatusTimer()
    NoNewData,    // "最新のデータがありません。"
    OpenFailed,   // "JVOpenエラー:"
    StatusFailed, // "JVStatusエラー:"
    ReadFailed,   // "JVReadエラー:"
    Cancelled,    // "JVCancel:キャンセルされました"
    StoreFailed,  // a day file could not be read or written
    Completed,    // the read loop reached the end of the data
};

// The race card acquisition window ("ＪＶデータ取込", TGetDataForm) without the window:
// downloads the "RACE" data since the from-date and stores RA, SE and HR records into
// the day files by the bulk rules. Every message reaches the person exactly as the
// window shows it; the view and the progress sink show the rest.
//
// Runs: ButtonStartClick() opens the data. Without files to download it reads, stores
// and closes at once. With downloads it enables TimerJVStatus and returns; the caller
// then calls TimerJVStatusTimer() every 10 ms while view().TimerJVStatusEnabled, and
// the tick that sees the download complete reads, stores and closes.
//
// Cancel: the stop flag (shared with the caller, who may set it from another thread or
// a signal handler) is checked before every read and at every tick. The step that sees
// it calls JVCancel, beeps, shows "JVCancel:キャンセルされました" (box and
// ProgressLabel) and closes the stream, in the download phase too, so that later
// requests can open. ButtonCancelClick() asks the window's question first.
//
// Storing: records go through one batched writer per run, whose files are written when
// the run moves to another day and at every end of the run (end of data, cancel, read
// error): the files are byte for byte those of storing the records one by one. Damaged
// records are passed over and counted in one message at the end of the read loop. A
// file failure ends the run: what can be written is written, JV-Link is closed, and the
// error is shown in a box.
//
// "JvDataGet"/"LastTime" is written only after a run without downloads whose read loop
// reached the end of the data (no cancel, no read error, no file failure), so the next
// run starts where an interrupted one did and nothing unread is skipped.
//
// Everything but the stop flag is used from one thread at a time.
class TGetDataForm
{
public:
    // Called after every visible change, on the thread of the run. ListBox1 grows by one
    // line per stored record: a sink that hands the view to another thread passes on
    // what changed (the label, the bars, the new lines), not the whole view.
    using ProgressSink = std::function<void(const GetDataFormView& view)>;

    // Keeps references to everything; `appDir` is the application folder.
    TGetDataForm(JvLink& jvLink, std::filesystem::path appDir, const TIniGT& ini,
                 const Clock& clock, Person& person, std::atomic<bool>& stopFlag,
                 ProgressSink progress = {});

    // Opening the window: first use (no "LastTime") checks set-up data; the from-date is
    // "LastTime", or now minus 366 days when it is missing or not a date.
    void FormCreate();

    // The user's choices.
    void setSetup(bool setup);
    void setFromDate(const LocalDateTime& from);
    // Whether Start shows the start message itself (default); an owner that shows it
    // before handing the run to a worker thread turns it off.
    void setAnnounceStart(bool announce) { m_announceStart = announce; }

    void ButtonStartClick();
    void TimerJVStatusTimer();
    // Asks "データ取込を中止します。実行しますか？" (of `asker`, or of the form's person);
    // on Yes sets the stop flag, and the running phase carries the cancel out at its
    // next step on its own thread. When no run is in progress the cancel's messages
    // are shown at once; JV-Link is not called then (there is no download to stop,
    // and another request may be using it). Returns the answer. A run queued on a
    // worker thread asks through the owner's person, which can answer.
    bool ButtonCancelClick();
    bool ButtonCancelClick(Person& asker);
    // "JVLink設定".
    void SpeedButton1Click();

    const GetDataFormView& view() const { return m_view; }
    CardRunOutcome outcome() const { return m_outcome; }
    // The last JVClose result of the run (0 when it closed fine or has not closed).
    int closeResult() const { return m_closeResult; }
    // Records stored by the last run, and damaged records passed over.
    int storedRecords() const { return m_stored; }
    int refusedRecords() const { return m_refused; }

private:
    enum class Phase { Idle, Downloading, Reading };

    void ReadRaceCards();
    void CloseRaceCards();
    void storeRecord(const std::string& record, BatchedCardWriter& writer);
    void readAndClose();
    void carryOutCancel(bool stopJvLink);
    void saveLastTime();
    void setProgressLabel(const std::string& text);
    void notify();

    JvLink& m_jvLink;
    std::filesystem::path m_appDir;
    const TIniGT& m_ini;
    const Clock& m_clock;
    Person& m_person;
    std::atomic<bool>& m_stop;
    ProgressSink m_progress;

    GetDataFormView m_view;
    std::atomic<Phase> m_phase = Phase::Idle;
    CardRunOutcome m_outcome = CardRunOutcome::NotRun;
    int m_readCount = 0;
    int m_downloadCount = 0;
    std::string m_lastFileTimestamp;
    int m_fromDate = 0; // yyyymmdd
    int m_fileCounter = 0;
    int m_closeResult = 0;
    int m_stored = 0;
    int m_refused = 0;
    bool m_announceStart = true;
    std::string m_firstRefusal;
    std::string m_storeError;
};

// Runs the window's Start to its end on the calling thread: ButtonStartClick, then
// TimerJVStatusTimer while the timer is enabled, calling `wait` between ticks (the
// timer's 10 ms; tests pass a function that returns at once). Returns the outcome.
CardRunOutcome runCardAcquisition(TGetDataForm& form, const std::function<void()>& wait);

} // namespace sorvantix
