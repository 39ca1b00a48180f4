#include "core/app/workbench.h"

#include "core/analysis/analysis_computation.h"
#include "core/analysis/suisho_params.h"
#include "core/app/settings_keys.h"
#include "core/app/startup.h"
#include "core/odds/odds_files.h"
#include "core/odds/time_points.h"
#include "core/store/racing_codes.h"
#include "core/text/cp932.h"
#include "core/text/day_name.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>

namespace sorvantix {

namespace fs = std::filesystem;

// The person as the acquisitions see it: status texts land in DLlabel alone.
class Workbench::StatusPerson : public Person
{
public:
    explicit StatusPerson(Workbench& wb) : m_wb(wb) {}
    void beep() override { m_wb.m_person.beep(); }
    void information(const std::string& text) override { m_wb.m_person.information(text); }
    bool question(const std::string& text) override { return m_wb.m_person.question(text); }
    void status(const std::string& text) override { m_wb.setStatus(text); }
    void setClipboardText(const std::string& text) override
    {
        m_wb.m_person.setClipboardText(text);
    }
    void openFile(const std::filesystem::path& file) override { m_wb.m_person.openFile(file); }

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
    bool dayCardsAreFinal() const override { return CardsAreFinal(m_wb.m_state.store); }
    DayStore& dayStore() override { return m_wb.m_state.store; }
    std::vector<int> raceListSlots() const override
    {
        std::vector<int> slots;
        for (const auto& item : m_wb.m_state.DatList)
            slots.push_back(item.slot);
        return slots;
    }
    void selectRace(int index) override { m_wb.DatListClick(index); }
    void fetchOdds(int index) override { m_wb.requestOdds(index); }
    void fetchResults(bool AutoResultMode) override { m_wb.requestResults(AutoResultMode); }

private:
    Workbench& m_wb;
};

// The main window as its acquisition requests see it.
class Workbench::RequestPort : public AcquisitionOwner
{
public:
    explicit RequestPort(Workbench& wb) : m_wb(wb) {}

    std::optional<std::string> raceRecordOfItem(int index) const override
    {
        const WorkbenchState& s = m_wb.m_state;
        if (index < 0 || index >= static_cast<int>(s.DatList.size()))
            return std::nullopt;
        return s.store.RaRecs.at(static_cast<size_t>(s.DatList[static_cast<size_t>(index)].slot));
    }
    std::optional<ArchivedRace> raceOfItem(int index) const override
    {
        return m_wb.raceOfItem(index);
    }
    int raceIndexOf(std::string_view raceKey) const override { return m_wb.raceIndexOf(raceKey); }
    std::optional<DayToFetch> dayToFetch() const override
    {
        const WorkbenchState& s = m_wb.m_state;
        if (s.DateComboIndex < 0)
            return std::nullopt;
        return DayToFetch{s.store, s.DatListIndex < 0 ? -1 : s.SelectedRace};
    }
    bool watchingOdds() const override { return m_wb.m_auto.controls().Timer2Enabled; }
    Outcome oddsFetched(OddsRecvLists lists, bool ran, std::string_view liveRaceKey) override
    {
        // A live refresh of another race leaves the race shown as it is.
        if (!liveRaceKey.empty() && (m_wb.m_state.DatListIndex < 0 ||
                                     m_wb.raceIndexOf(liveRaceKey) != m_wb.m_state.DatListIndex))
            return Outcome::nothingToDo();
        m_wb.m_state.oddsLists = std::move(lists);
        if (!ran)
            return Outcome::nothingToDo();
        // The race is listed again with its new time points; the person keeps the time
        // point they chose, unless "最新" follows the newest.
        const std::optional<ShownRace> before = m_wb.shownRace();
        Outcome shown = m_wb.showRace(m_wb.m_state.DatListIndex);
        if (before && !m_wb.m_state.LatestTime && shown.isDone())
            m_wb.chooseTimeItem(before->timeItem);
        if (!m_wb.lastOddsFetch().complete())
            return Outcome::failure("オッズを取得できませんでした");
        return shown;
    }
    Outcome resultsFetched(bool ran, bool quiet) override
    {
        if (!ran)
            return Outcome::nothingToDo();
        Outcome imported = m_wb.reimportPayouts();
        if (!quiet && m_wb.m_state.DatListIndex >= 0)
            m_wb.showRace(m_wb.m_state.DatListIndex);
        if (!m_wb.lastResultsFetch().complete())
            return Outcome::failure("結果情報を取得できませんでした");
        return imported;
    }
    void reloadDay() override { m_wb.loadDayAt(m_wb.m_state.DateComboIndex); }
    void appendError(const std::string& message) override { m_wb.appendError(message); }
    void setStatus(const std::string& text) override { m_wb.setStatus(text); }

private:
    Workbench& m_wb;
};

Workbench::Workbench(AppDir appDir, Person& person, const Clock& clock)
    : m_appDir(std::move(appDir)), m_person(person), m_clock(clock), m_ini(m_appDir.iniFile()),
      m_errorLog(m_appDir.errorLogFile(), clock,
                 [this](const std::string& message) { setStatus(message); }),
      m_boundary(person, [this] { notifyChanges(); }), m_changes(ShownState{}),
      m_statusPerson(std::make_unique<StatusPerson>(*this)),
      m_autoPort(std::make_unique<AcquisitionPort>(*this)),
      m_requestPort(std::make_unique<RequestPort>(*this)),
      m_auto(*m_autoPort, *m_statusPerson, clock, m_ini),
      m_requests(m_appDir, m_ini, clock, person, m_boundary, *m_requestPort)
{
    // The chart's choices as they were left; an unreadable settings file keeps the
    // defaults here and is reported by the first operation that needs it.
    try {
        m_state.chart.setAxis(readSetting(m_ini, settings::kGraphAxis) == 1 ? ChartAxis::Linear
                                                                            : ChartAxis::Log);
        m_state.chart.setMarkers(readSetting(m_ini, settings::kGraphMarker) != 1);
        m_state.LatestTime = readSetting(m_ini, settings::kTimeChoice) == 1;
        m_liveOn = readSetting(m_ini, settings::kLiveOn) == 1;
    } catch (const std::exception&) {
    }
    m_changes = ChangeTracker(shownState());
}

Workbench::~Workbench() = default;

ShownState Workbench::shownState() const
{
    const WorkbenchState& s = m_state;
    ShownState shown;
    shown.DateCombo = s.DateCombo;
    shown.DateComboIndex = s.DateComboIndex;
    for (const auto& item : s.DatList)
        shown.DatList.emplace_back(item.text, item.slot);
    shown.DatListIndex = s.DatListIndex;
    shown.UpDown1Max = s.UpDown1Max;
    shown.UpDown1Position = s.UpDown1Position;
    shown.title = s.title;
    shown.Panel1Caption = s.Panel1Caption;
    shown.StaticText1 = s.StaticText1;
    shown.BorderLabel4 = s.BorderLabel4;
    shown.TimeCombo = s.TimeCombo;
    shown.TimeComboIndex = s.TimeComboIndex;
    shown.LatestTime = s.LatestTime;
    // The last snapshots while the display and the chart stay as they were.
    if (!m_shownDisplay || !(*m_shownDisplay == s.display))
        m_shownDisplay = std::make_shared<const AnalysisDisplay>(s.display);
    if (!m_shownChart || !(*m_shownChart == s.chart.view()))
        m_shownChart = std::make_shared<const ChartView>(s.chart.view());
    shown.display = m_shownDisplay;
    shown.chart = m_shownChart;
    shown.DLlabel = s.DLlabel;
    shown.statusSerial = m_statusSerial;
    shown.Panel3Visible = s.Panel3Visible;
    shown.controls = m_auto.controls();
    shown.oddsSerial = m_requests.oddsSerial();
    shown.alertSerial = m_requests.alertSerial();
    shown.pending = m_requests.pending();
    return shown;
}

void Workbench::notifyChanges()
{
    m_changes.publish(shownState(), m_person);
}

void Workbench::setStatus(const std::string& text)
{
    m_state.DLlabel = text;
    ++m_statusSerial;
}

void Workbench::connectJvLink(JvLink* jvLink, PostToOwner post)
{
    m_requests.start(jvLink, std::move(post));
}

std::optional<DayName> Workbench::loadedDay() const
{
    const WorkbenchState& s = m_state;
    if (s.DateComboIndex < 0 || s.DateComboIndex >= static_cast<int>(s.DateCombo.size()))
        return std::nullopt;
    return DayName::parse(s.DateCombo[static_cast<size_t>(s.DateComboIndex)]);
}

std::optional<ArchivedRace> Workbench::raceOfItem(int index) const
{
    const WorkbenchState& s = m_state;
    if (index < 0 || index >= static_cast<int>(s.DatList.size()))
        return std::nullopt;
    auto day = loadedDay();
    if (!day)
        return std::nullopt;
    return archivedRace(m_appDir.root(), *day, s.store, s.DatList[static_cast<size_t>(index)].slot);
}

// A request was queued (id not 0): the views hear that one is pending. Inside an
// operation its boundary tells the listeners at its end.
std::uint64_t Workbench::queued(std::uint64_t id)
{
    if (id != 0 && !m_boundary.inside())
        notifyChanges();
    return id;
}

std::uint64_t Workbench::requestOdds(int index, RequestEvents events)
{
    return queued(m_requests.requestOdds(index, std::move(events)));
}

std::uint64_t Workbench::requestResults(bool quiet, RequestEvents events)
{
    return queued(m_requests.requestResults(quiet, std::move(events)));
}

std::uint64_t Workbench::requestScheduleFetch(ScheduleFetch fetch, RequestEvents events)
{
    return queued(m_requests.requestScheduleFetch(std::move(fetch), std::move(events)));
}

std::uint64_t Workbench::requestCards(CardRequest request, CardEvents events)
{
    std::uint64_t id = 0;
    m_boundary.run("requestCards", [&] {
        id = m_requests.requestCards(std::move(request), std::move(events));
        return id != 0 ? Outcome::done() : Outcome::nothingToDo();
    });
    return id;
}

std::uint64_t Workbench::requestTask(std::string name, AcquisitionRequests::TaskWork work,
                                     RequestEvents events)
{
    return queued(m_requests.requestTask(std::move(name), std::move(work), std::move(events)));
}

std::uint64_t Workbench::SokuhoOddsBtnClick(RequestEvents events)
{
    if (m_state.DatListIndex < 0 || m_state.DateComboIndex < 0) {
        m_person.information("オッズを取得するレースを選んでください。");
        return 0;
    }
    return requestOdds(m_state.DatListIndex, std::move(events));
}

std::uint64_t Workbench::KekkaGetBtnClick(RequestEvents events)
{
    if (m_state.DateComboIndex < 0) {
        m_person.information("結果情報を取得するレース日を選んでください。");
        return 0;
    }
    return requestResults(false, std::move(events));
}

bool Workbench::AutoOzCheckClick(bool checked)
{
    bool on = false;
    m_boundary.run("AutoOzCheckClick", [&] {
        on = m_auto.AutoOzCheckClick(checked);
        if (on && m_liveOn)
            startLive();
    });
    return on;
}

std::vector<int> Workbench::Timer2Timer()
{
    std::vector<int> started;
    m_boundary.run("Timer2Timer", [&] {
        // The fetches select their races as the window's steps do; the person stays
        // with the race they were looking at.
        if (liveRunning())
            return; // the live following fetches instead
        const std::optional<ShownRace> shown = shownRace();
        started = m_auto.Timer2Timer();
        if (!started.empty())
            showAgain(shown);
    });
    return started;
}

bool Workbench::Timer4Timer()
{
    bool asked = false;
    m_boundary.run("Timer4Timer", [&] {
        // While live, each race's results are asked for once they can exist; the timer
        // takes over when the following has done (or given up on) every race.
        if (!liveRunning() || m_live.finished())
            asked = m_auto.Timer4Timer();
    });
    return asked;
}

std::string Workbench::nextFetchText() const
{
    if (!m_auto.controls().Timer2Enabled)
        return "";
    if (m_liveOn)
        return liveStatusText();
    int delay = 0;
    try {
        delay = std::max(0, readSetting(m_ini, settings::kDelay));
    } catch (const std::exception&) {
        // The timer itself says what is wrong with the settings file.
    }
    const LocalDateTime now = m_clock.now();
    const int nowMinute = now.hour * 60 + now.minute;
    int bestMinute = -1;
    int bestSlot = -1;
    // A race is fetched in the minute its acquisition time plus the delay comes round.
    for (const auto& item : m_state.DatList) {
        const auto slot = static_cast<size_t>(item.slot);
        const std::string time(trimmed(m_state.store.AutoOddsTime.at(slot)));
        if (m_state.store.AutoOddsDone.at(slot) || time.size() != 4 || !isDigits(time))
            continue;
        const int due = std::stoi(time.substr(0, 2)) * 60 + std::stoi(time.substr(2, 2)) + delay;
        if (due >= nowMinute && (bestMinute < 0 || due < bestMinute)) {
            bestMinute = due;
            bestSlot = item.slot;
        }
    }
    if (bestSlot < 0)
        return "";
    const RaView ra(m_state.store.RaRecs.at(static_cast<size_t>(bestSlot)));
    const int left = bestMinute * 60 - (nowMinute * 60 + now.second);
    return format("次回取得: %s %dR %02d:%02d（あと %d分%02d秒）",
                  std::string(trimmed(VenueShortName(ra.venue()))).c_str(), ra.raceNo().value_or(0),
                  bestMinute / 60 % 24, bestMinute % 60, std::max(0, left) / 60,
                  std::max(0, left) % 60);
}

std::optional<TOddsSchejForm> Workbench::OzGetBtnClick()
{
    std::optional<TOddsSchejForm> form;
    m_boundary.run("OzGetBtnClick", [&] { form = m_auto.OzGetBtnClick(); });
    return form;
}

Outcome Workbench::closeSchedule(TOddsSchejForm& form)
{
    return m_boundary.run("closeSchedule", [&] {
        const std::optional<ShownRace> shown = shownRace();
        auto reload = [this, shown] {
            loadDayAt(m_state.DateComboIndex);
            showAgain(shown);
        };
        if (m_requests.jvLink() == nullptr) {
            reload();
            return Outcome::done();
        }
        JvLinkOddsSchedule port(*m_requests.jvLink(), m_appDir.root(), reload);
        form.FormCloseQuery(port);
        return Outcome::done();
    });
}

Outcome Workbench::appendError(const std::string& message)
{
    return m_boundary.counted([&] {
        try {
            m_errorLog.append(message);
        } catch (const std::exception& e) {
            // The message itself is in the status label already; say the log failed too.
            setStatus(message + "（エラーログに書き込めません: " + e.what() + "）");
            return Outcome::failure(e.what());
        }
        return Outcome::done();
    });
}

Outcome Workbench::HrReadBtnClick()
{
    return m_boundary.run("HrReadBtnClick", [&] { return reimportPayouts(); });
}

Outcome Workbench::reimportPayouts()
{
    auto day = loadedDay();
    if (!day)
        return Outcome::nothingToDo();
    PayoutImport import = importDayPayouts(m_appDir.root(), *day, m_state.store);
    m_state.dayWarnings = import.warnings;
    if (!import.warnings.empty()) {
        std::string text;
        for (const auto& w : import.warnings)
            text += (text.empty() ? "" : "\n") + w;
        setStatus(text);
    }
    return Outcome::done();
}

const std::string& Workbench::selectedRa() const
{
    return m_state.store.RaRecs.at(static_cast<size_t>(m_state.SelectedRace));
}

} // namespace sorvantix
