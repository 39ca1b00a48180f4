#pragma once

#include "core/app/odds_schedule.h"
#include "core/store/day_store.h"
#include "core/text/clock.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

class Person;
class TIniGT;

inline constexpr int kTimer2IntervalMs = 40000;
inline constexpr std::string_view kNoDayMessage = "ﾃﾞｰﾀを読み込んでください。";
inline constexpr std::string_view kNotTodayMessage = "本日のﾃﾞｰﾀを読み込んでください。";
// The automatic results stop after this clock time ("hhnn", compared as text).
inline constexpr std::string_view kAutoResultLastTime = "1800";

// What the automatic acquisition needs of the main window. Called on the thread that
// owns the window's state.
class AutoAcquisitionPort
{
public:
    virtual ~AutoAcquisitionPort() = default;

    // The day chooser's text (a day name), "" when no day is chosen.
    virtual std::string dayComboText() const = 0;
    // CardsAreFinal over the loaded day.
    virtual bool dayCardsAreFinal() const = 0;
    // The loaded day: AutoOddsTime and RaRecs are read, AutoOddsDone is written.
    virtual DayStore& dayStore() = 0;
    // The race slot of each race list item, in list order.
    virtual std::vector<int> raceListSlots() const = 0;

    // Selects race list item `index` and runs the race selection (DatListClick).
    virtual void selectRace(int index) = 0;
    // SokuhoOddsBtnClick for the race of list item `index`, which selectRace has just
    // selected: fetches and stores both odds files, then runs the race selection again.
    // May return before the fetch is done (queued); its failures are its own to report.
    virtual void fetchOdds(int index) = 0;
    // KekkaGetBtnClick. `AutoResultMode` travels with the request: a failed open is
    // then reported without a beep. May return before the fetch is done (queued).
    virtual void fetchResults(bool AutoResultMode) = 0;
};

// The main-window controls the automatic acquisition switches, and its two timers:
// the one place their state is kept.
struct AutoOddsControls
{
    bool AutoOzCheck = false;    // "ｵｯｽﾞ自動取得"
    bool Timer2Enabled = false;  // the 40-second due-time timer
    bool OzGetBtnEnabled = true; // "ｵｯｽﾞ手動取得"
    // The results timer (Timer4), armed by each day load for today's day.
    bool AutoResultTimerEnabled = false;
    int AutoResultIntervalMinutes = 15; // "Time"/"AutoRdataGet"

    bool operator==(const AutoOddsControls&) const = default;
};

// The clock minute "hhnn".
std::string clockMinuteText(const LocalDateTime& t);

// The day name of the clock's date ("yyyy年mm月dd日").
std::string todayDayText(const LocalDateTime& t);

// The automatic odds and results acquisition of the main window, without timers of its
// own: the owner calls Timer2Timer every kTimer2IntervalMs while controls().
// Timer2Enabled, and Timer4Timer every controls().AutoResultIntervalMinutes while
// controls().AutoResultTimerEnabled. Settings are read from `ini` at each use. The references must
// outlive the object.
class AutoAcquisition
{
public:
    AutoAcquisition(AutoAcquisitionPort& port, Person& person, const Clock& clock,
                    const TIniGT& ini);

    const AutoOddsControls& controls() const { return m_controls; }

    // The day load's part: the results timer on or off, and its interval in minutes.
    void armResultsTimer(bool enabled, int intervalMinutes)
    {
        m_controls.AutoResultTimerEnabled = enabled;
        m_controls.AutoResultIntervalMinutes = intervalMinutes;
    }

    // The "ｵｯｽﾞ自動取得" box changed to `checked` (by the user or by the program).
    // Switching on is refused, with a beep, its information box and the box cleared
    // again, when no day is chosen, when the day is not today, or when the race cards
    // are not final. On: every AutoOddsDone cleared, Timer2 on, "ｵｯｽﾞ手動取得" off.
    // Off: Timer2 off, "ｵｯｽﾞ手動取得" on. Returns the box state afterwards.
    bool AutoOzCheckClick(bool checked);

    // The due-time check: with the clock minute moved back by "Time"/"delay" (default
    // 5, only when positive), every race list item whose AutoOddsTime equals it and
    // whose AutoOddsDone is clear is marked done, selected and fetched, in list order.
    // Does nothing while Timer2 is off or no day is chosen. Returns the list indexes
    // started.
    std::vector<int> Timer2Timer();

    // The results check: fetches the results quietly when the clock minute is not later
    // than "1800" and later than the first race's post time (RaRecs slot 0, 874-877)
    // minus the results interval and 30 minutes (always, when slot 0 has no post time).
    // Returns whether the results were requested.
    bool Timer4Timer();

    // OzGetBtnClick of the main window ("ｵｯｽﾞ手動取得"): the opening checks of the
    // schedule window; a refusal for race cards that are not final also clears
    // "ｵｯｽﾞ自動取得". Returns the prepared window, nullopt when refused or while the
    // button is disabled.
    std::optional<TOddsSchejForm> OzGetBtnClick();

private:
    void switchOff();

    AutoAcquisitionPort& m_port;
    Person& m_person;
    const Clock& m_clock;
    const TIniGT& m_ini;
    AutoOddsControls m_controls;
};

// A window timer for programs without an event loop (the CLI): fires at the first
// poll at least one interval after it was started or last fired. Intervals missed
// while the program was busy fire once, not in a burst, as window timers do. A clock
// set back restarts the interval from the new time.
class IntervalTicker
{
public:
    void start(const LocalDateTime& now, long long intervalSeconds);
    void stop() { m_enabled = false; }
    bool enabled() const { return m_enabled; }
    bool poll(const LocalDateTime& now);

private:
    bool m_enabled = false;
    long long m_interval = 0;
    LocalDateTime m_last;
};

} // namespace sorvantix
