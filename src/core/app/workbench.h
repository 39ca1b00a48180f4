#pragma once

#include "core/analysis/analysis_display.h"
#include "core/analysis/analysis_state.h"
#include "core/analysis/suisho_file.h"
#include "core/app/acquisition_requests.h"
#include "core/app/app_dir.h"
#include "core/app/auto_acquisition.h"
#include "core/app/card_acquisition.h"
#include "core/app/live_schedule.h"
#include "core/app/operation_boundary.h"
#include "core/app/request_queue.h"
#include "core/app/workbench_changes.h"
#include "core/jvlink/jv_link.h"
#include "core/odds/odds_arrays.h"
#include "core/odds/odds_files.h"
#include "core/odds/realtime_odds.h"
#include "core/present/grid_sort.h"
#include "core/present/pa_chart.h"
#include "core/present/print_page.h"
#include "core/results/hit_report.h"
#include "core/results/payout_acquisition.h"
#include "core/results/race_results.h"
#include "core/store/day_store.h"
#include "core/store/race_key.h"
#include "core/store/race_title.h"
#include "core/store/record_views.h"
#include "core/study/odds_alerts.h"
#include "core/text/clock.h"
#include "core/text/error_log.h"
#include "core/text/ini_file.h"
#include "core/text/outcome.h"
#include "core/text/person.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sorvantix {

// One row of the race list as the programs show it.
struct RaceListRow
{
    std::string text;     // DatList item text
    std::string raceKey;  // positions 12-27
    std::string postTime; // "hh:mm", "" without one
    std::string autoTime; // AutoOddsTime as "hh:mm", "" without one
    int slot = 0;
    std::string name;        // the race name, or its conditions when it has none
    bool hasOdds = false;    // its win-odds file is stored
    bool hasResults = false; // its payouts are loaded
};

// What the last hit report found and wrote.
struct HitRun
{
    std::vector<std::string> lines; // the hit lines of the page (UTF-8), title left out
    std::filesystem::path pageFile; // HPupload/TK<yyyymmdd>.txt, once written
    std::filesystem::path logFile;  // HPupload/Rezovuro.txt, once written
    int skippedRaces = 0;           // races that could not be analysed (no hits of theirs)
    bool written = false;           // the page, the clipboard, the viewer and the log
    bool pageReplaced = false;      // the day's page was there before (的中 then 穴的中)
};

// The main window's working state, under the names the window uses.
struct WorkbenchState
{
    // Left panel.
    std::vector<std::string> DateCombo; // day names, newest first
    int DateComboIndex = -1;
    std::vector<RaceListItem> DatList; // race list items with their slots
    int DatListIndex = -1;
    std::vector<std::string> TimeCombo; // "MM/DD hh:mm"
    int TimeComboIndex = -1;
    int UpDown1Max = 35;
    int UpDown1Position = 0;
    std::string DLlabel;
    // Damage found in the day files when the day was loaded (file, size, problem).
    std::vector<std::string> dayWarnings;

    // Day and race.
    DayStore store;
    std::filesystem::path RaFilePath;
    std::filesystem::path HrFilePath;
    int SelectedRace = 0;
    int LastRaceIndex = 0;
    // "最新" beside TimeCombo: a race opens at its latest announcement (and follows new
    // ones as they arrive) instead of the one nearest the default display time.
    bool LatestTime = false;
    bool Since2005 = false;
    bool UseUmaren = false;
    bool ShowAnalysisPanel = false;
    std::vector<std::string> O1Lines;
    std::vector<std::string> O2Lines;
    std::filesystem::path O1FilePath;
    std::filesystem::path O2FilePath;

    // Title panel and analysis panel.
    RaceTitle title;
    bool Panel3Visible = false;
    std::string Panel1Caption;
    std::string StaticText1;
    std::string BorderLabel4;

    // The automatic results acquisition runs quietly (no beeps).
    bool AutoResultMode = false;

    // Records received by the odds read loops.
    OddsRecvLists oddsLists;

    // Analysis run.
    OddsArrays odds;
    AnalysisState analysis;
    RaceResults results;
    AnalysisDisplay display;
    SortButton pressedSort = SortButton::HorseNumber;

    // The tab "PA比ｸﾞﾗﾌ": built by every race selection from the loaded odds lines.
    PaChart chart;
};

// The main window's operations without a window: day list, day loading, race and
// time-point selection, odds loading and the analysis run, the batch, sorting, the
// copy text and the JV-Link requests. Messages reach the person through `Person`
// with their exact texts; the status label is state().DLlabel alone.
//
// Every public operation, and every call a request posts back, ends at one boundary:
// whatever it throws (an Error for an input fault, any std::exception for our own)
// becomes a beep and an information box, the operation returns Outcome::Failed with
// the message, and the program and its state stay usable. After the outermost
// operation the listeners hear which parts changed.
class Workbench
{
public:
    Workbench(AppDir appDir, Person& person, const Clock& clock);
    // Stops the request queue first: a running request is cancelled and waited for, and
    // nothing it still reports reaches this object.
    ~Workbench();
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    const WorkbenchState& state() const { return m_state; }
    const AppDir& appDir() const { return m_appDir; }
    const TIniGT& ini() const { return m_ini; }
    const Clock& clock() const { return m_clock; }

    // Adds a listener; returns its id for removeListener.
    int addListener(WorkbenchListener listener)
    {
        return m_changes.addListener(std::move(listener));
    }
    void removeListener(int id) { m_changes.removeListener(id); }

    // The start-up of the main window: the application folder, the error log's start
    // entry, the Data and Suisho folders, then the day list. Failed when a folder or
    // the log cannot be written (the person has been told).
    Outcome FormCreate();

    // Rebuilds the day list from the .jvRA files in Data whose names are day names
    // (newest first); nothing is selected afterwards.
    Outcome MakeDataListBtnClick();
    // Loads the day of DateCombo item `index` and selects a race. A day whose files
    // vanished leaves an empty race list and store, and fails.
    Outcome DateComboChange(int index);
    // Selects the race of DatList item `index`: title, time points, default time
    // point, odds loading and the analysis run. Failed when the race has no odds.
    Outcome DatListClick(int index);
    // The arrows beside the race list.
    Outcome UpDown1Click(int position);
    // Chooses time point `index` of TimeCombo and loads it.
    Outcome TimeComboChange(int index);
    // The choice beside TimeCombo: 0 "既定時刻" (the announcement nearest the default
    // display time), 1 "最新" (the latest, followed as new ones arrive). Kept in the
    // settings; the race shown is loaded again at the chosen time point. The batch and
    // the hit report always take the default time.
    Outcome TimeChoiceClick(int item);
    // Selects the race of DatList item `index` at its announcement of `hhmm` (the
    // latest one of that time), as the race-day board shows it; the default time point
    // when the race has none of that time.
    Outcome showRaceAtTime(int index, std::string_view hhmm);
    // Loads the odds of the chosen time point and runs the analysis.
    Outcome ReadOddsBtnClick();
    // The analysis run's steps (NothingToDo without a race).
    Outcome ClearBtnClick();
    Outcome seiBtnClick();
    Outcome CalcBtnClick();
    Outcome HyojiBtnClick();
    // Analyses every race of the day at its default time point. Failed when no race
    // could be analysed.
    Outcome M1Click();
    // "的中" / "穴的中": selects every race of the day in turn as the user would, checks
    // its reference quinella bets against the quinella and wide results with the
    // button's thresholds, and with at least two hits writes HPupload/TK<day>.txt, asks
    // the person to open it, puts the page on the clipboard and appends the hits to
    // HPupload/Rezovuro.txt. Fewer hits: nothing is written (NothingToDo). The day's
    // last race stays selected. Failed, with the file named, when the folder or a file
    // cannot be written; a file written before stays.
    Outcome TekiAnaBtnClick(TekiButton sender);
    const HitRun& lastHitRun() const { return m_hitRun; }
    // "レース印刷(&P)": lays out the report page of the selected race from what the
    // window shows (title, results, the analysis table in its current order, the PA
    // table by share order, the rate and the bets). When no race or no analysis is
    // shown: a beep, "データを読み込んでください。" and Failed; `page` is untouched.
    Outcome P1Click(PrintPage& page);
    // Sorts the analysis table by a sort button.
    Outcome SpeedButton1Click(SortButton button);
    // The tab "PA比ｸﾞﾗﾌ": builds the chart of horse list item `index` from the selected
    // race's odds lines (NothingToDo for an index outside the list).
    Outcome RadioGroup1Click(int index);
    // The axis choice (0 "対数軸", 1 "普通軸") and the marker choice (0 "表示",
    // 1 "非表示"), applied at once and saved as "Gpaph"/"jiku" and "marker". Other
    // items do nothing.
    Outcome RadioGroup2Click(int item);
    Outcome RadioGroup3Click(int item);
    // The chart's view of the odds lines of the selected race.
    ChartOdds chartOdds() const { return {m_state.O1Lines, m_state.O2Lines, m_state.UseUmaren}; }
    // The clipboard text of a tab's grid (tab caption as on the window).
    std::string ClipBtn1Click(std::string_view tabCaption) const;

    // "払戻取込": reloads the day's race cards and payouts into the day store.
    Outcome HrReadBtnClick();
    // Shows a failure in the status label and appends it to the error log. A log that
    // cannot be written is said in the status label; this never throws.
    Outcome appendError(const std::string& message);
    ErrorLog& errorLog() { return m_errorLog; }

    // The race list with post and acquisition times.
    std::vector<RaceListRow> raceListRows() const;
    // Per race list item the marks its recommended-horse file holds after the last
    // M1Click (the batch's summary); a race that M1Click could not analyse has none,
    // whatever an earlier run left in the file. Throws Error when a file cannot be read.
    struct BatchRow
    {
        std::string text;      // DatList item text
        bool analysed = false; // the last M1Click analysed the race (else no marks)
        SuishoMarks marks;
    };
    std::vector<BatchRow> batchRows() const;

    // Starts the request queue and connects the program's JV-Link, which this object
    // does not own (null: the queue runs the long tasks only). `post` hands a call to
    // the thread that owns this object (the GUI's event loop, a TaskInbox). From then
    // on the requests below use `jvLink` on the queue's worker thread only, so the owner
    // must not use it while the queue lives. Call once.
    void connectJvLink(JvLink* jvLink, PostToOwner post);
    // The queue, nullptr until connectJvLink.
    RequestQueue* queue() { return m_requests.queue(); }
    // The automatic acquisition's controls: the box, the schedule button, the timers.
    // The owner runs the timers: Timer2Timer every kTimer2IntervalMs while
    // Timer2Enabled, Timer4Timer every AutoResultIntervalMinutes while
    // AutoResultTimerEnabled. Their fetches need a connected JV-Link.
    const AutoOddsControls& autoControls() const { return m_auto.controls(); }
    bool AutoOzCheckClick(bool checked);
    std::vector<int> Timer2Timer();
    bool Timer4Timer();
    // While "ｵｯｽﾞ自動取得" runs: the race the automatic acquisition fetches next and
    // when, "次回取得: 阪神 9R 14:24（あと 3分05秒）"; "" when it is off or every race of
    // the day is done.
    std::string nextFetchText() const;
    // "ライブ" beside "ｵｯｽﾞ自動取得" (kept in the settings as "Live"/"On"): while the
    // automatic acquisition runs, every race of the day is followed from its first
    // announcement to its post time (LiveSchedule) instead of fetched once at its
    // acquisition time, and each race's results are asked for once they can exist.
    bool liveChosen() const;
    Outcome LiveCheckClick(bool checked);
    // The same choice for this run only, not kept (the command line's --live).
    void chooseLive(bool live) { m_liveOn = live; }
    // The automatic acquisition runs live.
    bool liveRunning() const { return m_auto.controls().Timer2Enabled && m_liveOn; }
    // The live following's step: the owner calls it every second or so (more often
    // while the clock runs fast). When no request is pending and one is due within the
    // budget, it is queued: one request at a time, the race nearest its post first.
    // Returns what was queued.
    struct LiveStep
    {
        LiveRequest request;
        int index = -1;   // the race list item
        std::string text; // "阪神 11R" or "結果情報"
    };
    std::optional<LiveStep> liveTick();
    const LiveSchedule& liveSchedule() const { return m_live; }
    // The race list item of live race `i`'s latest announcement, as "hh:mm", "" while
    // it has none; and how many minutes old it is at the clock's time.
    std::string liveAnnouncementText(size_t i) const;
    // The status bar's line while live: "ライブ: 次回 阪神 11R 14:24（あと 1分05秒）", or
    // "ライブ: 全レース終了" once the day is done; "" when not live.
    std::string liveStatusText() const;

    // "ｵｯｽﾞ手動取得": the schedule window's model for the loaded day after the opening
    // checks; nullopt (the person told why) when it cannot open.
    std::optional<TOddsSchejForm> OzGetBtnClick();

    // "ｵｯｽﾞ取得": queues the fetch of the selected race (requestOdds). 0 when nothing
    // was queued (no race, no JV-Link).
    std::uint64_t SokuhoOddsBtnClick(RequestEvents events = {});
    // "結果情報": queues the fetch of the loaded day's results (requestResults, not quiet).
    std::uint64_t KekkaGetBtnClick(RequestEvents events = {});

    // Queued "ｵｯｽﾞ取得" for the race of DatList item `index`; when it ran, the selected
    // race is selected again so its new time points are listed. `events` reach the
    // caller after the Workbench's own handling; messages the request raised are shown
    // after that. Returns the request id, 0 when nothing was queued (no queue, no
    // JV-Link, no such item).
    std::uint64_t requestOdds(int index, RequestEvents events = {});
    // Queued "結果情報" for the loaded day; `quiet` is the request's AutoResultMode (no
    // beeps, failures only logged). When it ran, the payouts are imported again (and,
    // unless quiet, the selected race is shown again). 0 when nothing was queued.
    std::uint64_t requestResults(bool quiet, RequestEvents events = {});
    // Queued "ｵｯｽﾞを今すぐ取得" of the schedule window: `events` carry its label and
    // progress bar (TOddsSchejForm::showStatus/showProgress). 0 without a queue.
    std::uint64_t requestScheduleFetch(ScheduleFetch fetch, RequestEvents events = {});
    // Queued race card acquisition (the acquisition window's Start): shows the start
    // message here, then downloads and stores on the worker. `view` receives the
    // window's view after every change, on the owner's thread, with only the ListBox1
    // lines added since the last call; `done` the run's end. 0 without a queue.
    // `setup`: "セットアップデータ" (true) or "通常データ" (false); nullopt keeps the
    // window's own choice (set-up data on first use). `from` defaults to the window's.
    using CardRequest = AcquisitionRequests::CardRequest;
    using CardEvents = AcquisitionRequests::CardEvents;
    using CardRun = AcquisitionRequests::CardRun;
    std::uint64_t requestCards(CardRequest request, CardEvents events = {});
    // The acquisition window's Cancel: asks "データ取込を中止します。実行しますか？"; on
    // Yes the running card request stops at its next step. NothingToDo when none runs.
    Outcome cancelCards() { return m_requests.cancelCards(); }
    // A long task on the queue (a backtest, an export): its progress and cancel are the
    // queue's, a failure is shown like a request's. 0 without a queue.
    std::uint64_t requestTask(std::string name, AcquisitionRequests::TaskWork work,
                              RequestEvents events = {});
    // FormCloseQuery of the schedule window: the day is loaded again.
    Outcome closeSchedule(TOddsSchejForm& form);
    // Requests queued here whose outcome has not been handled yet on the owner's thread.
    int pendingRequests() const { return m_requests.pending(); }
    // The last ended fetches, for the programs that print what they brought.
    const RaceOddsFetch& lastOddsFetch() const { return m_requests.lastOdds(); }
    const DayResultsFetch& lastResultsFetch() const { return m_requests.lastResults(); }

    // The alerts the last odds fetch of the automatic acquisition raised: each new time
    // point of the race against the one before it, under the active parameter set and
    // the alert settings. They are also appended to the day's alert log; a log that
    // cannot be written is said in the status label.
    const std::vector<OddsAlert>& lastAlerts() const { return m_requests.lastAlerts(); }

    // The race of DatList item `index` as the studies read it; nullopt without one.
    std::optional<ArchivedRace> raceOfItem(int index) const;
    // The loaded day; nullopt before one is chosen.
    std::optional<DayName> loadedDay() const;

    // Convenience for the programs: selects the day by its name; NothingToDo when it
    // is not in the day list.
    Outcome selectDay(const std::string& dayName);
    // The day and race shown, kept in the settings when the window closes, and shown
    // again when it opens (NothingToDo when none was kept or it is gone).
    Outcome rememberSelection();
    Outcome restoreSelection();
    // The file name a saved page of the selected race gets: "2026年12月06日阪神11R.pdf";
    // "分析結果.pdf" without a race.
    std::string racePdfName() const;
    // "指定時刻分析で推奨馬表一括作成" as the window says it is done: how many races of
    // the day the last M1Click analysed.
    std::string batchSummary() const;
    // The DatList index of a race key, -1 when the loaded day has no such race.
    int raceIndexOf(std::string_view raceKey) const;
    // The race key of DatList item `index`, "" without one.
    std::string raceKeyOfItem(int index) const;
    // The RA record of the selected race; nullopt when none is selected.
    std::optional<std::string> selectedRaceRecord() const;
    // The registered runners of the selected race, 0 when none is selected.
    int selectedRunners() const;
    // The payouts of the loaded day per race list item.
    std::vector<PayoutSummaryRow> payoutRows() const;

private:
    class StatusPerson;
    class AcquisitionPort;
    class RequestPort;
    void setStatus(const std::string& text);
    void notifyChanges();
    std::uint64_t queued(std::uint64_t id);
    ShownState shownState() const;
    void startLive();
    void liveOddsEnded(size_t race);
    void liveResultsEnded();
    // The inner steps of the operations above, inside their boundary.
    Outcome loadDayAt(int index);
    Outcome showRace(int index);
    Outcome loadTimePoint();
    Outcome analysisRun(const std::string& key, const std::string& item);
    Outcome reimportPayouts();
    Outcome listTimePoints(const RaceKey& key);
    // The race and time point shown, to put the person back after an action that
    // selects other races (the batch, the hit report, the automatic acquisition).
    struct ShownRace
    {
        std::string raceKey;
        std::string timeItem;
    };
    std::optional<ShownRace> shownRace() const;
    void showAgain(const std::optional<ShownRace>& shown);
    // Chooses the time point of `timeItem` when the race shown has it.
    void chooseTimeItem(const std::string& timeItem);
    void fillChart();
    const std::string& selectedRa() const;

    AppDir m_appDir;
    Person& m_person;
    const Clock& m_clock;
    TIniGT m_ini;
    ErrorLog m_errorLog;
    WorkbenchState m_state;
    OperationBoundary m_boundary;
    ChangeTracker m_changes;
    std::unique_ptr<StatusPerson> m_statusPerson;
    std::unique_ptr<AcquisitionPort> m_autoPort;
    std::unique_ptr<RequestPort> m_requestPort;
    AutoAcquisition m_auto;
    unsigned m_statusSerial = 0;             // counts status texts, so a repeated text is heard
    std::vector<bool> m_batchAnalysed;       // per DatList item, by the last M1Click
    bool m_inBatch = false;                  // M1Click is selecting its races
    bool m_atDefaultTime = false;            // the batch or the hit report is selecting
    std::string m_timePointNotice;           // the status text of the last time point
    std::optional<OddsFile> m_selectionOdds; // the file a race selection is listing
    HitRun m_hitRun;
    bool m_liveOn = false;
    bool m_liveNeedsStart = false; // chosen while another day than today was shown
    mutable std::shared_ptr<const AnalysisDisplay> m_shownDisplay; // shownState's snapshots
    mutable std::shared_ptr<const ChartView> m_shownChart;
    LiveSchedule m_live;
    // Last: its queue stops first, while everything its requests use still exists.
    AcquisitionRequests m_requests;
};

} // namespace sorvantix
