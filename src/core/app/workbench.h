#pragma once

#include "core/analysis/analysis_display.h"
#include "core/analysis/analysis_state.h"
#include "core/app/app_dir.h"
#include "core/app/auto_acquisition.h"
#include "core/text/clock.h"
#include "core/text/error_log.h"
#include "core/text/ini_file.h"
#include "core/text/person.h"
#include "core/app/request_queue.h"
#include "core/jvlink/jv_link.h"
#include "core/odds/odds_arrays.h"
#include "core/odds/realtime_odds.h"
#include "core/present/grid_sort.h"
#include "core/results/race_results.h"
#include "core/store/day_store.h"
#include "core/store/race_title.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sorvantix {

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

    // Automatic result timer (the timer itself belongs to the acquisition).
    int AutoResultIntervalMinutes = 15;
    bool AutoResultTimerEnabled = false;
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
};

// The main window's operations without a window: day list, day loading, race and
// time-point selection, odds loading and the analysis run, the batch, sorting and
// the copy text. Messages reach the person through `Person` with their exact texts;
// input faults of files (damaged, unreadable, unwritable) are reported the same way
// and end the current operation, never the program.
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

    // Rebuilds the day list from the .jvRA files in Data (newest first); nothing is
    // selected afterwards.
    void MakeDataListBtnClick();
    // Loads the day of DateCombo item `index` and selects a race.
    void DateComboChange(int index);
    // Selects the race of DatList item `index`: title, time points, default time
    // point, odds loading and the analysis run.
    void DatListClick(int index);
    // The arrows beside the race list.
    void UpDown1Click(int position);
    // Chooses time point `index` of TimeCombo and loads it.
    void TimeComboChange(int index);
    // Loads the odds of the chosen time point and runs the analysis.
    void ReadOddsBtnClick();
    // The analysis run's steps.
    void ClearBtnClick();
    void seiBtnClick();
    void CalcBtnClick();
    void HyojiBtnClick();
    // Analyses every race of the day at its default time point.
    void M1Click();
    // Sorts the analysis table by a sort button.
    void SpeedButton1Click(SortButton button);
    // The clipboard text of a tab's grid (tab caption as on the window).
    std::string ClipBtn1Click(std::string_view tabCaption) const;

    // "ｵｯｽﾞ取得": fetches the selected race's O1 and O2 series and selects the race
    // again so the new time points are listed. Nothing happens without a race.
    void SokuhoOddsBtnClick(JvLink& jvLink, const std::atomic<bool>* cancel = nullptr);
    // "結果情報": fetches the loaded day's results and payouts, merges them into the
    // day files and the day store, and shows the selected race again.
    void KekkaGetBtnClick(JvLink& jvLink, const std::atomic<bool>* cancel = nullptr);
    // "払戻取込": reloads the day's race cards and payouts into the day store.
    void HrReadBtnClick();
    // Shows a failure in the status label and appends it to the error log.
    void appendError(const std::string& message);
    ErrorLog& errorLog() { return m_errorLog; }

    // Connects the program's JV-Link, which this object does not own, and starts the
    // request queue. `post` hands a call to the thread that owns this object (the GUI's
    // event loop, a TaskInbox). From then on the requests below use `jvLink` on the
    // queue's worker thread only, so the owner must not use it while the queue lives.
    // Call once. The synchronous operations above work without it.
    void connectJvLink(JvLink& jvLink, PostToOwner post);
    // The queue, nullptr until connectJvLink.
    RequestQueue* queue() { return m_queue.get(); }
    // The automatic odds and results acquisition and the schedule window's opening
    // (OzGetBtnClick). The owner runs its timers: Timer2Timer every kTimer2IntervalMs
    // while controls().Timer2Enabled, Timer4Timer every AutoResultIntervalMinutes while
    // AutoResultTimerEnabled. Its fetches need connectJvLink.
    AutoAcquisition& autoAcquisition() { return m_auto; }

    // Queued "ｵｯｽﾞ取得" for the race of DatList item `index`; when it ran, the selected
    // race is selected again so its new time points are listed. `events` reach the
    // caller after the Workbench's own handling. Returns the request id, 0 when nothing
    // was queued (no queue, no such item).
    std::uint64_t requestOdds(int index, RequestEvents events = {});
    // Queued "結果情報" for the loaded day; `quiet` is the request's AutoResultMode (no
    // beeps, failures only logged). When it ran, the payouts are imported again (and,
    // unless quiet, the selected race is shown again). 0 when nothing was queued.
    std::uint64_t requestResults(bool quiet, RequestEvents events = {});
    // Queued "ｵｯｽﾞを今すぐ取得" of the schedule window: `events` carry its label and
    // progress bar (TOddsSchejForm::showStatus/showProgress). 0 without a queue.
    std::uint64_t requestScheduleFetch(ScheduleFetch fetch, RequestEvents events = {});
    // FormCloseQuery of the schedule window: the day is loaded again.
    void closeSchedule(TOddsSchejForm& form);
    // Requests queued here whose outcome has not been handled yet on the owner's thread.
    int pendingRequests() const { return m_pending; }

    // Convenience for the programs: selects the day by its name; false when it is
    // not in the day list.
    bool selectDay(const std::string& dayName);
    // The DatList index of a race key, -1 when the loaded day has no such race.
    int raceIndexOf(std::string_view raceKey) const;

private:
    class StatusPerson;
    class AcquisitionPort;
    template <class F> void guarded(F&& operation);
    void reportError(const std::string& message);
    void readOddsBtnClick();
    void datListClick(int index);
    void dateComboChange(int index);
    const std::string& selectedRa() const;
    void reportFailure(const RequestOutcome& outcome, bool quiet);
    ErrorLogAppend postedAppendError(Progress& progress);
    std::uint64_t submit(std::string name, RequestQueue::Work work, RequestEvents events);

    AppDir m_appDir;
    Person& m_person;
    const Clock& m_clock;
    TIniGT m_ini;
    ErrorLog m_errorLog;
    WorkbenchState m_state;
    std::unique_ptr<StatusPerson> m_statusPerson;
    std::unique_ptr<AcquisitionPort> m_autoPort;
    AutoAcquisition m_auto;
    JvLink* m_jvLink = nullptr;
    int m_pending = 0;
    // Cleared when this object goes: calls posted by requests check it before running.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::unique_ptr<RequestQueue> m_queue;
};

} // namespace sorvantix
