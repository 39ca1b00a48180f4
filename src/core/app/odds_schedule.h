#pragma once

#include "core/store/day_store.h"
#include "core/text/clock.h"
#include "core/text/text_grid.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

class JvLink;
class Person;
class Progress;

// Texts of the schedule window "オッズ手動取得".
namespace schedule {

inline constexpr std::string_view kCaption = "オッズ手動取得";
inline constexpr std::string_view kGridHeading = "　指定ｵｯｽﾞ取得時刻";
inline constexpr std::string_view kKindCaption = "取得ｵｯｽﾞの種類";
inline constexpr std::string_view kSeriesItem = "時系列ｵｯｽﾞ"; // RadioGroup1 index 0
inline constexpr std::string_view kFlashItem = "速報ｵｯｽﾞ";    // RadioGroup1 index 1
inline constexpr std::string_view kFetchButton = "ｵｯｽﾞを今すぐ取得";
inline constexpr std::string_view kInstruction =
    "下のﾘｽﾄよりｵｯｽﾞを取得したいﾚｰｽをﾏｳｽでﾁｪｯｸし、「ｵｯｽﾞを今すぐ取得」ﾎﾞﾀﾝをｸﾘｯｸしてくだ"
    "さい。";
inline constexpr std::string_view kCheckAll = "全て選択";   // N1
inline constexpr std::string_view kUncheckAll = "全て解除"; // N2
inline constexpr std::string_view kPrintButton = "ｽｹｼﾞｭｰﾙ表印刷";
inline constexpr std::string_view kPrintTitle =
    "オッズソルヴァン法 for JRA-VAN Data Lab.　ｵｯｽﾞ取得ｽｹｼﾞｭｰﾙ表";
inline constexpr int kPrintTopMargin = 12;
inline constexpr std::string_view kHeaders[4] = {"レース", "発走時刻", "ﾃﾞﾌｫﾙﾄ時刻",
                                                 "自動取得時刻"};
inline constexpr int kColumnWidths[4] = {100, 70, 70, 105}; // pixels
inline constexpr int kRowHeight = 15;                       // pixels

inline constexpr std::string_view kNotRecentMessage =
    "本日または直近日のﾃﾞｰﾀを読み込んでください。";
inline constexpr std::string_view kNothingCheckedMessage =
    "オッズ取得するレースをチェックしてください。";
inline constexpr std::string_view kDoneMessage = "データ作成が完了しました。";
inline constexpr int kMaxDaysBack = 366;

} // namespace schedule

// Why the main window's "ｵｯｽﾞ手動取得" did not open the schedule window.
enum class ScheduleRefusal {
    None,          // the window may open
    NoDay,         // "ﾃﾞｰﾀを読み込んでください。"
    NotRecentDay,  // a future day, a day more than 366 days back, or no day name
    CardsNotFinal, // the race-card message; the caller also clears "ｵｯｽﾞ自動取得"
};

// The opening checks of the main window's OzGetBtnClick, with a beep and the
// information box of a refusal: a chosen day, from today back to 366 days (whole
// calendar days), race cards final.
ScheduleRefusal checkScheduleOpening(std::string_view dayComboText, const LocalDateTime& now,
                                     bool dayCardsAreFinal, Person& person);

// The "Time"/"First" value as the window shows it: "%4d", characters 1-2, ":",
// characters 3-4 (915 -> " 9:15", 1030 -> "10:30").
std::string scheduleDefaultTimeText(int first);

// The race text of the list and grid: VenueShortName (20-21), PadNumber of the meeting
// (22-23), "回", PadNumber of the meeting day (24-25), "日", PadNumber of the race
// number (26-27), "R" ("中山 5回 8日11R").
std::string scheduleRaceText(std::string_view raRecord);

// What one request of the window met at JV-Link: the reading without its reporting.
struct ScheduleRead
{
    int open = 0;           // JVRTOpen result; nothing was read unless 0
    int readEnd = 0;        // the JVRead result that ended the loop: 0 or below -3
    bool cancelled = false; // the cancel flag ended the loop
    int close = 0;          // JVClose result (the close runs in every case)
    // Accepted records without CR LF (CollectOddsRecord), by type.
    std::vector<std::string> o1Lines;
    std::vector<std::string> o2Lines;
    int refused = 0; // damaged O1/O2 records passed over
    std::string firstRefusal;
};

// JV-Link and the store, as the schedule window uses them. read and store may run on a
// request thread; reloadDay runs on the main window's thread.
class OddsSchedulePort
{
public:
    virtual ~OddsSchedulePort() = default;

    // JVRTOpen(spec, raceKey); when open, the read loop; JVClose in every case.
    virtual ScheduleRead read(std::string_view spec, std::string_view raceKey,
                              const std::atomic<bool>* cancel) = 0;
    // Stores the lines of one request into the race's ".jvO1" or ".jvO2" file, merged
    // by announcement time (a stored series only grows); `complete` says whether the
    // read reached its end. No lines leave the file. Throws Error when it cannot be
    // written.
    virtual void store(const std::vector<std::string>& lines, std::string_view extension,
                       bool complete) = 0;
    // Appends a failure of the fetch to the error log.
    virtual void logError(const std::string& message) = 0;
    // The main window's day load (DateComboChange), which re-selects its race.
    virtual void reloadDay() = 0;
};

// The schedule window's port on the program's JV-Link: the odds read loop of the main
// window without its reporting, the odds store that merges an interrupted read, and
// `reloadDay` for the day load. The references must outlive the object.
class JvLinkOddsSchedule : public OddsSchedulePort
{
public:
    JvLinkOddsSchedule(JvLink& jvLink, std::filesystem::path appDir,
                       std::function<void()> reloadDay,
                       std::function<void(const std::string&)> appendError = {})
        : m_jvLink(jvLink), m_appDir(std::move(appDir)), m_reloadDay(std::move(reloadDay)),
          m_appendError(std::move(appendError))
    {
    }

    ScheduleRead read(std::string_view spec, std::string_view raceKey,
                      const std::atomic<bool>* cancel) override;
    void store(const std::vector<std::string>& lines, std::string_view extension,
               bool complete) override;
    void logError(const std::string& message) override;
    void reloadDay() override;

private:
    JvLink& m_jvLink;
    std::filesystem::path m_appDir;
    std::function<void()> m_reloadDay;
    std::function<void(const std::string&)> m_appendError;
};

// One JV-Link request of a fetch.
struct ScheduleRequest
{
    int item = 0;          // list item (0-based); the progress bar stands at item + 1
    std::string label;     // ProgressLabel while it runs
    std::string spec;      // "0B41", "0B42" or "0B30"
    std::string raceKey;   // RA 12-27 of the item's race
    std::string extension; // ".jvO1" or ".jvO2": the list it clears and stores
};

// How a fetch ended.
enum class ScheduleFetchEnd {
    Completed, // every request opened, read and closed without error
    Cancelled,
    Failed, // every request ran; some failed (failures(), failureSummary())
};

// The requests of one press of "ｵｯｽﾞを今すぐ取得", with the window's two record lists.
// A value: it can be moved into a queued request and run on its thread, reporting
// through `progress` and `person` (a RequestMessages there).
class ScheduleFetch
{
public:
    ScheduleFetch(int itemCount, std::vector<ScheduleRequest> requests)
        : m_itemCount(itemCount), m_requests(std::move(requests))
    {
    }

    int itemCount() const { return m_itemCount; }
    const std::vector<ScheduleRequest>& requests() const { return m_requests; }

    // Runs the requests in order. Per list item the bar moves to item + 1 (of the item
    // count), per request the label is shown, then: an accepted read clears the list
    // the request stores, adds the records to the O1 and O2 lists, reports damaged
    // records, and stores (merges) its list after the close. A failed open
    // ("JVRTOpenエラー:" + text), a read error below -3 ("JVReadエラー:" + text) and a
    // failed close ("JVCloseエラー:" + text) each beep and are shown on the label and
    // logged as "<label>: <text>"; the fetch goes on with the next request. At the end
    // the bar stands at 100 of 100 and a beep sounds; with no failure
    // "データ作成が完了しました。" is shown and Completed returned, else Failed (the
    // caller tells failureSummary()). A cancel stops before the next request, stores
    // what the interrupted request read, and skips the completion message. Store
    // failures (Error) end the fetch.
    ScheduleFetchEnd run(OddsSchedulePort& port, Person& person, Progress& progress,
                         const std::atomic<bool>* cancel = nullptr);

    // The failed requests of the last run, each "<label>: <what failed>".
    const std::vector<std::string>& failures() const { return m_failures; }
    // "N件のオッズを取得できませんでした:" and the failures, one a line.
    std::string failureSummary() const;

    const std::vector<std::string>& O1List() const { return m_o1List; }
    const std::vector<std::string>& O2List() const { return m_o2List; }

private:
    void runRequest(const ScheduleRequest& request, OddsSchedulePort& port, Person& person,
                    Progress& progress, const std::atomic<bool>* cancel);

    int m_itemCount = 0;
    std::vector<std::string> m_failures;
    std::vector<ScheduleRequest> m_requests;
    std::vector<std::string> m_o1List;
    std::vector<std::string> m_o2List;
};

// Background colours of StringGrid1's body cells.
enum class ScheduleCellColour {
    GridDefault, // header row and column 3: the grid's own background
    InfoTip,     // column 0: the system's info-tip background
    White,       // column 1
    LightCyan,   // column 2: red C1, green FF, blue FF
};
ScheduleCellColour StringGrid1CellColour(int column, int row);

// The schedule window TOddsSchejForm without a window: its list, timetable, choice of
// odds and progress, on the main window's thread.
class TOddsSchejForm
{
public:
    struct Item
    {
        std::string text;
        int slot = 0;
        bool checked = false;

        bool operator==(const Item&) const = default;
    };

    // FormCreate and the main window's preparation: DateLabel, one unchecked item and
    // one grid row per race list slot (post time, default time, AutoOddsTime as
    // "hh:mm"). `first` is "Time"/"First" read as an integer (default 914).
    TOddsSchejForm(std::string dayComboText, const DayStore& store,
                   const std::vector<int>& raceListSlots, int first);

    const std::string& DateLabel() const { return m_dateLabel; }
    const std::vector<Item>& CheckListBox1() const { return m_items; }
    const TextGrid& StringGrid1() const { return m_grid; }
    int RadioGroup1() const { return m_kind; }
    const std::string& ProgressLabel() const { return m_progressLabel; }
    int ProgressBarPosition() const { return m_progressPosition; }
    int ProgressBarMax() const { return m_progressMax; }

    // Checks or unchecks item `index` (ignored outside the list).
    void setChecked(int index, bool checked);
    // 0 "時系列ｵｯｽﾞ", 1 "速報ｵｯｽﾞ"; other values are ignored.
    void setRadioGroup1(int index);
    void N1Click(); // "全て選択"
    void N2Click(); // "全て解除"

    // The first half of "ｵｯｽﾞを今すぐ取得": with nothing checked a beep and
    // "オッズ取得するレースをチェックしてください。" and nullopt; otherwise the bar is
    // reset (0 of the item count) and the requests of the checked items in list order:
    // "0B41" then "0B42" per race for the time series, "0B30" alone for flash odds.
    std::optional<ScheduleFetch> fetchPlan(Person& person);

    // Shows a fetch's progress (the owner routes the fetch's reports here).
    void showStatus(const std::string& text) { m_progressLabel = text; }
    void showProgress(int position, int maximum);

    // OzGetBtnClick of the window, run at once on this thread: fetchPlan, then the
    // fetch with its reports shown here.
    void OzGetBtnClick(OddsSchedulePort& port, Person& person,
                       const std::atomic<bool>* cancel = nullptr);

    // FormCloseQuery: reloads the day in the main window; closing is never refused.
    bool FormCloseQuery(OddsSchedulePort& port);

private:
    std::string m_dateLabel;
    std::vector<Item> m_items;
    std::vector<std::string> m_raRecords; // of the items, for the requests
    TextGrid m_grid;
    int m_kind = 0;
    std::string m_progressLabel;
    int m_progressPosition = 0;
    int m_progressMax = 100;
};

} // namespace sorvantix
