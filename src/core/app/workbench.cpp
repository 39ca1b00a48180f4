#include "core/app/workbench.h"

#include "core/analysis/analysis_computation.h"
#include "core/app/settings_keys.h"
#include "core/odds/odds_files.h"
#include "core/present/clipboard_text.h"
#include "core/analysis/suisho_params.h"
#include "core/results/payout_acquisition.h"
#include "core/store/racing_codes.h"
#include "core/text/day_name.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNoOddsNotice = "当レースはオッズが未取得です。";

std::string raceKeyOf(std::string_view record)
{
    return field(record, 12, 16);
}

} // namespace

// The person as the acquisitions see it: status texts also land in DLlabel.
class Workbench::StatusPerson : public Person
{
public:
    explicit StatusPerson(Workbench& wb) : m_wb(wb) {}
    void beep() override { m_wb.m_person.beep(); }
    void information(const std::string& text) override { m_wb.m_person.information(text); }
    bool question(const std::string& text) override { return m_wb.m_person.question(text); }
    void status(const std::string& text) override
    {
        m_wb.m_state.DLlabel = text;
        m_wb.m_person.status(text);
    }

private:
    Workbench& m_wb;
};

// The main window as the automatic acquisition sees it.
class Workbench::AcquisitionPort : public AutoAcquisitionPort
{
public:
    explicit AcquisitionPort(Workbench& wb) : m_wb(wb) {}

    std::string dayComboText() const override
    {
        const WorkbenchState& s = m_wb.m_state;
        if (s.DateComboIndex < 0 || s.DateComboIndex >= static_cast<int>(s.DateCombo.size()))
            return "";
        return s.DateCombo[static_cast<size_t>(s.DateComboIndex)];
    }
    bool cardsAreFinal() const override { return CardsAreFinal(m_wb.m_state.store); }
    DayStore& dayStore() override { return m_wb.m_state.store; }
    std::vector<int> raceListSlots() const override
    {
        std::vector<int> slots;
        for (const auto& item : m_wb.m_state.DatList)
            slots.push_back(item.slot);
        return slots;
    }
    int autoResultIntervalMinutes() const override
    {
        return m_wb.m_state.AutoResultIntervalMinutes;
    }
    void selectRace(int index) override { m_wb.DatListClick(index); }
    void fetchOdds(int index) override { m_wb.requestOdds(index); }
    void fetchResults(bool AutoResultMode) override { m_wb.requestResults(AutoResultMode); }

private:
    Workbench& m_wb;
};

Workbench::Workbench(AppDir appDir, Person& person, const Clock& clock)
    : m_appDir(std::move(appDir)), m_person(person), m_clock(clock), m_ini(m_appDir.iniFile()),
      m_errorLog(m_appDir.errorLogFile(), clock,
                 [this](const std::string& message) {
                     m_state.DLlabel = message;
                     m_person.status(message);
                 }),
      m_statusPerson(std::make_unique<StatusPerson>(*this)),
      m_autoPort(std::make_unique<AcquisitionPort>(*this)),
      m_auto(*m_autoPort, *m_statusPerson, clock, m_ini)
{
}

Workbench::~Workbench()
{
    m_queue.reset();
    *m_alive = false;
}

void Workbench::connectJvLink(JvLink& jvLink, PostToOwner post)
{
    if (m_queue)
        throw std::logic_error("Workbench::connectJvLink called twice");
    m_jvLink = &jvLink;
    // Whatever a request posts runs only while this object still exists.
    m_queue = std::make_unique<RequestQueue>(
        [alive = m_alive, post = std::move(post)](std::function<void()> call) {
            post([alive, call = std::move(call)] {
                if (*alive)
                    call();
            });
        });
}

// The error log is the owner's: a request's failures are appended on its thread.
ErrorLogAppend Workbench::postedAppendError(Progress& progress)
{
    return [this, &progress](const std::string& message) {
        progress.post([this, message] { appendError(message); });
    };
}

std::uint64_t Workbench::submit(std::string name, RequestQueue::Work work, RequestEvents events)
{
    events.done = [this, done = std::move(events.done)](const RequestOutcome& outcome) {
        --m_pending;
        done(outcome);
    };
    ++m_pending;
    return m_queue->submit(std::move(name), std::move(work), std::move(events));
}

void Workbench::reportFailure(const RequestOutcome& outcome, bool quiet)
{
    if (outcome.end != RequestOutcome::End::Failed)
        return;
    if (quiet)
        appendError(outcome.error);
    else
        reportError(outcome.error);
}

std::uint64_t Workbench::requestOdds(int index, RequestEvents events)
{
    if (!m_queue || index < 0 || index >= static_cast<int>(m_state.DatList.size()))
        return 0;
    std::string ra = m_state.store.RaRecs.at(
        static_cast<size_t>(m_state.DatList[static_cast<size_t>(index)].slot));
    auto result = std::make_shared<SokuhoOddsResult>();
    RequestQueue::Work work = [this, ra = std::move(ra), result, root = m_appDir.root()](
                                  Progress& progress, const std::atomic<bool>& cancel) {
        OddsRecvLists lists;
        RelayPerson relay(progress, *m_statusPerson);
        *result = sorvantix::SokuhoOddsBtnClick(*m_jvLink, root, ra, lists, relay,
                                                postedAppendError(progress), &cancel);
    };
    events.done = [this, result, done = std::move(events.done)](const RequestOutcome& outcome) {
        reportFailure(outcome, false);
        if (outcome.end != RequestOutcome::End::Failed && result->ran)
            DatListClick(m_state.DatListIndex);
        if (done)
            done(outcome);
    };
    return submit("ｵｯｽﾞ取得", std::move(work), std::move(events));
}

std::uint64_t Workbench::requestResults(bool quiet, RequestEvents events)
{
    if (!m_queue || m_state.DateComboIndex < 0)
        return 0;
    auto store = std::make_shared<const DayStore>(m_state.store);
    int selected = m_state.DatListIndex < 0 ? -1 : m_state.SelectedRace;
    auto result = std::make_shared<KekkaGetResult>();
    RequestQueue::Work work = [this, store, selected, quiet, result, root = m_appDir.root()](
                                  Progress& progress, const std::atomic<bool>& cancel) {
        RelayPerson relay(progress, *m_statusPerson);
        *result = sorvantix::KekkaGetBtnClick(*m_jvLink, root, *store, selected, quiet, relay,
                                              postedAppendError(progress), &cancel);
    };
    events.done = [this, result, quiet,
                   done = std::move(events.done)](const RequestOutcome& outcome) {
        reportFailure(outcome, quiet);
        if (outcome.end != RequestOutcome::End::Failed && result->ran) {
            HrReadBtnClick();
            if (!quiet && m_state.DatListIndex >= 0)
                DatListClick(m_state.DatListIndex);
        }
        if (done)
            done(outcome);
    };
    return submit("結果情報", std::move(work), std::move(events));
}

std::uint64_t Workbench::requestScheduleFetch(ScheduleFetch fetch, RequestEvents events)
{
    if (!m_queue)
        return 0;
    auto shared = std::make_shared<ScheduleFetch>(std::move(fetch));
    RequestQueue::Work work = [this, shared, root = m_appDir.root()](
                                  Progress& progress, const std::atomic<bool>& cancel) {
        // The day is reloaded when the window closes, on the owner's thread.
        JvLinkOddsSchedule port(*m_jvLink, root, {});
        RelayPerson relay(progress, *m_statusPerson);
        shared->run(port, relay, progress, &cancel);
    };
    events.done = [this, done = std::move(events.done)](const RequestOutcome& outcome) {
        reportFailure(outcome, false);
        if (done)
            done(outcome);
    };
    return submit(std::string(schedule::kFetchButton), std::move(work), std::move(events));
}

void Workbench::closeSchedule(TOddsSchejForm& form)
{
    auto reload = [this] { DateComboChange(m_state.DateComboIndex); };
    if (m_jvLink == nullptr) {
        reload();
        return;
    }
    JvLinkOddsSchedule port(*m_jvLink, m_appDir.root(), reload);
    form.FormCloseQuery(port);
}

void Workbench::appendError(const std::string& message)
{
    m_errorLog.append(message);
}

void Workbench::SokuhoOddsBtnClick(JvLink& jvLink, const std::atomic<bool>* cancel)
{
    guarded([&] {
        if (m_state.DatListIndex < 0 || m_state.DateComboIndex < 0)
            return;
        StatusPerson person(*this);
        SokuhoOddsResult result =
            sorvantix::SokuhoOddsBtnClick(jvLink, m_appDir.root(), selectedRa(), m_state.oddsLists,
                                          person, [this](const std::string& m) { appendError(m); },
                                          cancel);
        if (result.ran)
            datListClick(m_state.DatListIndex);
    });
}

void Workbench::KekkaGetBtnClick(JvLink& jvLink, const std::atomic<bool>* cancel)
{
    guarded([&] {
        if (m_state.DateComboIndex < 0)
            return;
        StatusPerson person(*this);
        int selected = m_state.DatListIndex < 0 ? -1 : m_state.SelectedRace;
        KekkaGetResult r = sorvantix::KekkaGetBtnClick(
            jvLink, m_appDir.root(), m_state.store, selected, m_state.AutoResultMode, person,
            [this](const std::string& m) { appendError(m); }, cancel);
        if (!r.ran)
            return;
        HrReadBtnClick();
        if (m_state.DatListIndex >= 0)
            datListClick(m_state.DatListIndex);
    });
}

void Workbench::HrReadBtnClick()
{
    guarded([&] {
        if (m_state.DateComboIndex < 0)
            return;
        auto day = DayName::parse(m_state.DateCombo[static_cast<size_t>(m_state.DateComboIndex)]);
        if (!day)
            return;
        PayoutImport import = sorvantix::HrReadBtnClick(m_appDir.root(), *day, m_state.store);
        if (!import.warnings.empty()) {
            std::string text;
            for (const auto& w : import.warnings)
                text += (text.empty() ? "" : "\n") + w;
            m_state.DLlabel = text;
            m_person.status(text);
        }
    });
}

// Input faults end the operation with a message, as the platform's error box would;
// the program and its state stay usable.
template <class F> void Workbench::guarded(F&& operation)
{
    try {
        operation();
    } catch (const Error& e) {
        reportError(e.what());
    } catch (const fs::filesystem_error& e) {
        reportError(e.what());
    }
}

void Workbench::reportError(const std::string& message)
{
    m_person.beep();
    m_person.information(message);
}

const std::string& Workbench::selectedRa() const
{
    return m_state.store.RaRecs.at(static_cast<size_t>(m_state.SelectedRace));
}

void Workbench::MakeDataListBtnClick()
{
    guarded([&] {
        std::vector<std::string> names;
        fs::path data = m_appDir.dataDir();
        if (fs::is_directory(data)) {
            for (const auto& entry : fs::directory_iterator(data)) {
                if (entry.is_regular_file() && entry.path().extension() == ".jvRA")
                    names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        m_state.DateCombo.clear();
        m_state.DatList.clear();
        m_state.TimeCombo.clear();
        m_state.DateComboIndex = -1;
        m_state.DatListIndex = -1;
        m_state.TimeComboIndex = -1;
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            m_state.DateCombo.push_back(cp932Prefix(*it, 14));
    });
}

void Workbench::DateComboChange(int index)
{
    guarded([&] { dateComboChange(index); });
}

void Workbench::dateComboChange(int index)
{
    if (index < 0 || index >= static_cast<int>(m_state.DateCombo.size()))
        return;
    WorkbenchState& s = m_state;
    s.DateComboIndex = index;
    const std::string& day = s.DateCombo[static_cast<size_t>(index)];
    s.Since2005 = toIntDef(day.substr(0, 4), 0) >= 2005;
    s.ShowAnalysisPanel = true;
    s.RaFilePath = m_appDir.dataDir() / (day + ".jvRA");
    s.HrFilePath = m_appDir.dataDir() / (day + ".jvHR");
    s.AutoResultTimerEnabled = false;
    s.DatList.clear();
    s.DatListIndex = -1;
    s.dayWarnings.clear();

    auto dayName = DayName::parse(day);
    if (dayName && fs::exists(s.RaFilePath)) {
        DayLoad load = loadDay(m_appDir.root(), *dayName, s.store);
        s.store = std::move(load.store);
        s.DatList = std::move(load.items);
        s.dayWarnings = load.warnings;
        if (!load.warnings.empty()) {
            std::string text;
            for (const auto& w : load.warnings)
                text += (text.empty() ? "" : "\n") + w;
            m_person.status(text);
            s.DLlabel = text;
        }
    }
    s.UpDown1Max = static_cast<int>(s.DatList.size()) - 1;
    s.UpDown1Position = 0;

    // A slot without a positive post time gets a blank time, never one left over
    // from an earlier day.
    int lead = toIntDef(readSetting(m_ini, settings::kAutoOzGet), 0);
    for (int slot = 0; slot < kRaceSlots; ++slot)
        s.store.AutoOddsTime[static_cast<size_t>(slot)] =
            autoOddsTimeOf(s.store.RaRecs[static_cast<size_t>(slot)], lead);

    s.AutoResultIntervalMinutes = readSetting(m_ini, settings::kAutoRdataGet);
    LocalDateTime now = m_clock.now();
    s.AutoResultTimerEnabled = day == DayName{now.year, now.month, now.day}.text();

    if (s.DatList.empty())
        return;
    int target = std::min(s.LastRaceIndex, static_cast<int>(s.DatList.size()) - 1);
    datListClick(target);
}

void Workbench::DatListClick(int index)
{
    guarded([&] { datListClick(index); });
}

void Workbench::datListClick(int index)
{
    WorkbenchState& s = m_state;
    if (index < 0 || index >= static_cast<int>(s.DatList.size()))
        return;
    s.Panel3Visible = false;
    s.DatListIndex = index;
    s.SelectedRace = s.DatList[static_cast<size_t>(index)].slot;
    const std::string& ra = selectedRa();

    std::string key = raceKeyOf(ra);
    bool keyOk = isDigits(key);
    s.O1FilePath = keyOk ? oddsFilePath(m_appDir.root(), key, kO1Extension) : fs::path();
    s.O2FilePath = keyOk ? oddsFilePath(m_appDir.root(), key, kO2Extension) : fs::path();
    s.title = raceTitle(ra);

    if (!keyOk || !fs::exists(s.O1FilePath)) {
        m_person.beep();
        s.Panel1Caption = kNoOddsNotice;
        return;
    }
    s.LastRaceIndex = index;
    s.TimeCombo.clear();
    s.TimeComboIndex = -1;
    std::string first = readSetting(m_ini, settings::kFirstTimeInRaceList);
    int target = toIntDef(field(first, 1, 2), 0) * 60 + toIntDef(field(first, 3, 2), 0);

    int runners = fieldInt(ra, 882, 2);
    s.UseUmaren = runners > 8 || s.Since2005;
    const std::vector<std::string>* lines = nullptr;
    if (s.UseUmaren) {
        if (!fs::exists(s.O2FilePath)) {
            m_person.beep();
            s.Panel1Caption = kNoOddsNotice;
            return;
        }
        s.O2Lines = readLinesRaw(s.O2FilePath);
        lines = &s.O2Lines;
    } else {
        s.O1Lines = readLinesRaw(s.O1FilePath);
        lines = &s.O1Lines;
    }

    std::string monthDay = field(ra, 16, 4);
    int best = 10000;
    int chosen = 0;
    for (size_t i = 0; i < lines->size(); ++i) {
        const std::string& line = (*lines)[i];
        s.TimeCombo.push_back(timeComboItem(line));
        int minutes = fieldInt(line, 32, 2) * 60 + fieldInt(line, 34, 2);
        int distance = std::abs(target - minutes);
        if (distance < best && field(line, 28, 4) == monthDay) {
            best = distance;
            chosen = static_cast<int>(i);
        }
    }
    s.TimeComboIndex = s.TimeCombo.empty() ? -1 : chosen;
    readOddsBtnClick();
    // The chart's horse list is filled here once the chart exists.
    s.UpDown1Position = index;
}

void Workbench::UpDown1Click(int position)
{
    if (m_state.DatList.size() < 2)
        return;
    DatListClick(position);
}

void Workbench::TimeComboChange(int index)
{
    if (index < 0 || index >= static_cast<int>(m_state.TimeCombo.size()))
        return;
    m_state.TimeComboIndex = index;
    ReadOddsBtnClick();
}

void Workbench::ReadOddsBtnClick()
{
    guarded([&] { readOddsBtnClick(); });
}

void Workbench::readOddsBtnClick()
{
    WorkbenchState& s = m_state;
    if (s.DatList.empty())
        return;
    size_t r = static_cast<size_t>(s.SelectedRace);
    const std::string& ra = selectedRa();
    std::string key = raceKeyOf(ra);
    if (!isDigits(key))
        throw Error("レースキーが不正です: \"" + key + "\"");
    fs::path o1File = oddsFilePath(m_appDir.root(), key, kO1Extension);
    fs::path o2File = oddsFilePath(m_appDir.root(), key, kO2Extension);
    std::string item = s.TimeComboIndex >= 0 && s.TimeComboIndex < static_cast<int>(s.TimeCombo.size())
                           ? s.TimeCombo[static_cast<size_t>(s.TimeComboIndex)]
                           : std::string();
    std::string timeKey = timeKeyOfItem(item);

    if (!fs::exists(o1File)) {
        m_person.beep();
        m_person.information("該当レースの単複枠オッズが見つかりません。");
        return;
    }
    if (auto rec = findOddsRecord(o1File, kO1RecordSize, timeKey)) {
        s.store.O1Recs[r] = *rec;
    } else if (s.UseUmaren && timeKey.size() == 8) {
        // The time list came from the quinella file: take the win odds announced last
        // before the chosen time, never whatever the slot held before.
        if (auto earlier = findOddsRecordAtOrBefore(o1File, timeKey)) {
            s.store.O1Recs[r] = *earlier;
            std::string note = "単勝オッズは " + field(*earlier, 32, 2) + ":" +
                               field(*earlier, 34, 2) + " 発表のものです。";
            s.DLlabel = note;
            m_person.status(note);
        } else {
            s.store.O1Recs[r] = std::string(kO1RecordSize, ' ');
            std::string note = "単勝オッズがありません（" + item.substr(std::min<size_t>(6, item.size())) +
                               " 以前の発表なし）。";
            s.DLlabel = note;
            m_person.status(note);
        }
    }
    if (fs::exists(o2File)) {
        if (auto rec = findOddsRecord(o2File, kO2RecordSize, timeKey))
            s.store.O2Recs[r] = *rec;
    } else if (s.UseUmaren) {
        m_person.beep();
        m_person.information("該当レースの馬連オッズが見つかりません。");
        return;
    }

    ClearBtnClick();
    seiBtnClick();

    int runners = fieldInt(ra, 882, 2);
    s.StaticText1 = field(ra, 12, 4) + "年" + field(ra, 16, 2) + "月" + field(ra, 18, 2) + "日" +
                    VenueShortName(field(ra, 20, 2)) + PadNumber(field(ra, 22, 2)) + "回" +
                    PadNumber(field(ra, 24, 2)) + "日" + PadNumber(field(ra, 26, 2)) + "R  " +
                    format("%2d頭", runners);
    s.BorderLabel4 = field(s.store.O2Recs[r], 32, 2) + ":" + field(s.store.O2Recs[r], 34, 2);

    try {
        fillOddsArrays(s.store.O1Recs[r], s.store.O2Recs[r], runners > 8 || s.Since2005, s.odds);
    } catch (const Error& e) {
        // The state stays reset: no analysis on half-filled arrays.
        throw Error("オッズを読み込めません: レース " + key + " 時刻 " + item + ": " + e.what());
    }
    CalcBtnClick();
    HyojiBtnClick();
    if (s.ShowAnalysisPanel)
        s.Panel3Visible = true;
}

void Workbench::ClearBtnClick()
{
    m_state.display.ClearBtnClick(selectedRa(), m_state.analysis, m_state.odds, m_state.results);
}

void Workbench::seiBtnClick()
{
    const auto& se = m_state.store.SeRecs.at(static_cast<size_t>(m_state.SelectedRace));
    m_state.display.seiBtnClick(se, m_state.store.HrRecs.at(static_cast<size_t>(m_state.SelectedRace)),
                                m_state.results);
}

void Workbench::CalcBtnClick()
{
    int setId = readSetting(m_ini, settings::kSetID);
    ActiveParams active = loadActiveParams(setId, m_appDir.userSetFile());
    if (active.warning) {
        m_state.DLlabel = *active.warning;
        m_person.status(*active.warning);
    }
    computeAnalysis(m_state.odds, active.params, m_state.analysis);
}

void Workbench::HyojiBtnClick()
{
    WorkbenchState& s = m_state;
    std::string notice =
        s.display.HyojiBtnClick(selectedRa(), s.analysis, s.odds, s.results, m_appDir.suishoDir());
    sortAnalysisTable(s.display.StringGrid1, s.pressedSort);
    if (!notice.empty()) {
        s.DLlabel = notice;
        m_person.status(notice);
    }
}

void Workbench::M1Click()
{
    WorkbenchState& s = m_state;
    std::string day = s.DateComboIndex >= 0 ? s.DateCombo[static_cast<size_t>(s.DateComboIndex)] : "";
    if (trimmed(day).empty()) {
        m_person.beep();
        m_person.information("データを読み込んでください。");
        return;
    }
    s.ShowAnalysisPanel = false;
    for (int i = 0; i < static_cast<int>(s.DatList.size()); ++i)
        DatListClick(i);
    s.ShowAnalysisPanel = true;
    DatListClick(0);
}

void Workbench::SpeedButton1Click(SortButton button)
{
    m_state.pressedSort = button;
    sortAnalysisTable(m_state.display.StringGrid1, button);
}

std::string Workbench::ClipBtn1Click(std::string_view tabCaption) const
{
    const AnalysisDisplay& d = m_state.display;
    const TextGrid* grids[] = {&d.StringGrid1, &d.StringGrid1, &d.StringGrid2, &d.StringGrid3,
                               &d.StringGrid4, &d.StringGrid5};
    int n = clipboardGridNumber(tabCaption);
    const TextGrid* grid = (n >= 1 && n <= 5) ? grids[n] : &d.StringGrid1;
    return clipboardText(m_state.title.TitleLabel1, *grid);
}

bool Workbench::selectDay(const std::string& dayName)
{
    auto it = std::find(m_state.DateCombo.begin(), m_state.DateCombo.end(), dayName);
    if (it == m_state.DateCombo.end())
        return false;
    DateComboChange(static_cast<int>(it - m_state.DateCombo.begin()));
    return true;
}

int Workbench::raceIndexOf(std::string_view raceKey) const
{
    for (size_t i = 0; i < m_state.DatList.size(); ++i) {
        const std::string& ra = m_state.store.RaRecs.at(static_cast<size_t>(m_state.DatList[i].slot));
        if (raceKeyOf(ra) == raceKey)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace sorvantix
