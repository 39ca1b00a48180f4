#include "core/app/workbench.h"

#include "core/analysis/analysis_computation.h"
#include "core/analysis/suisho_params.h"
#include "core/app/settings_keys.h"
#include "core/app/startup.h"
#include "core/app/study_settings.h"
#include "core/odds/odds_files.h"
#include "core/present/clipboard_text.h"
#include "core/results/payout_acquisition.h"
#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/day_name.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNoOddsNotice = "当レースはオッズが未取得です。";

} // namespace

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

// The person of a request on the worker thread: beeps and boxes are kept, in order,
// and shown on the owner's thread once the request's completion has been handled;
// status texts are posted at once (they do not block). A request cannot wait for an
// answer, so question() throws std::logic_error.
class Workbench::CollectingPerson : public Person
{
public:
    void bind(Progress& progress) { m_progress = &progress; }

    void beep() override { add({true, {}}); }
    void information(const std::string& text) override { add({false, text}); }
    bool question(const std::string& text) override
    {
        throw std::logic_error("a queued request cannot ask: " + text);
    }
    void status(const std::string& text) override
    {
        if (m_progress)
            m_progress->status(text);
    }
    // No request publishes anything: these belong to the owner's commands.
    void setClipboardText(const std::string&) override
    {
        throw std::logic_error("a queued request cannot use the clipboard");
    }
    void openFile(const std::filesystem::path& file) override
    {
        throw std::logic_error("a queued request cannot open " + file.string());
    }

    // On the owner's thread, after the request's end was posted.
    void showTo(Person& person)
    {
        std::vector<Message> messages;
        {
            std::lock_guard lock(m_mutex);
            messages.swap(m_messages);
        }
        for (const auto& m : messages) {
            if (m.beep)
                person.beep();
            else
                person.information(m.text);
        }
    }

private:
    struct Message
    {
        bool beep;
        std::string text;
    };
    void add(Message m)
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(std::move(m));
    }

    Progress* m_progress = nullptr;
    std::mutex m_mutex;
    std::vector<Message> m_messages;
};

// What the views show, to tell which parts an operation changed.
struct Workbench::Snapshot
{
    std::vector<std::string> DateCombo;
    int DateComboIndex = -1;
    std::vector<std::pair<std::string, int>> DatList;
    int DatListIndex = -1;
    int UpDown1Max = 0;
    int UpDown1Position = 0;
    RaceTitle title;
    std::string Panel1Caption, StaticText1, BorderLabel4;
    std::vector<std::string> TimeCombo;
    int TimeComboIndex = -1;
    AnalysisDisplay display;
    ChartView chart;
    std::string DLlabel;
    unsigned statusSerial = 0;
    bool Panel3Visible = false;
    AutoOddsControls controls;
    int pending = 0;
    unsigned oddsSerial = 0;
    unsigned alertSerial = 0;
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
    void selectRace(int index) override { m_wb.DatListClick(index); }
    void fetchOdds(int index) override { m_wb.requestOdds(index); }
    void fetchResults(bool AutoResultMode) override { m_wb.requestResults(AutoResultMode); }

private:
    Workbench& m_wb;
};

Workbench::Workbench(AppDir appDir, Person& person, const Clock& clock)
    : m_appDir(std::move(appDir)), m_person(person), m_clock(clock), m_ini(m_appDir.iniFile()),
      m_errorLog(m_appDir.errorLogFile(), clock,
                 [this](const std::string& message) { setStatus(message); }),
      m_statusPerson(std::make_unique<StatusPerson>(*this)),
      m_autoPort(std::make_unique<AcquisitionPort>(*this)),
      m_auto(*m_autoPort, *m_statusPerson, clock, m_ini)
{
    // The chart's choices as they were left; an unreadable settings file keeps the
    // defaults here and is reported by the first operation that needs it.
    try {
        m_state.chart.setAxis(readSetting(m_ini, settings::kGraphAxis) == 1 ? ChartAxis::Linear
                                                                            : ChartAxis::Log);
        m_state.chart.setMarkers(readSetting(m_ini, settings::kGraphMarker) != 1);
    } catch (const std::exception&) {
    }
    m_shown = std::make_unique<Snapshot>(snapshot());
}

Workbench::~Workbench()
{
    *m_cardStop = true;
    m_queue.reset();
    *m_alive = false;
}

std::string Parts::text() const
{
    static constexpr std::pair<Part, const char*> kNames[] = {
        {Part::DayList, "DayList"},   {Part::RaceList, "RaceList"}, {Part::Title, "Title"},
        {Part::TimeList, "TimeList"}, {Part::Grids, "Grids"},       {Part::Labels, "Labels"},
        {Part::Chart, "Chart"},       {Part::Status, "Status"},     {Part::Enabled, "Enabled"},
        {Part::Odds, "Odds"},         {Part::Alerts, "Alerts"}};
    std::string out;
    for (const auto& [part, name] : kNames)
        if (has(part))
            out += (out.empty() ? "" : "|") + std::string(name);
    return out;
}

int Workbench::addListener(WorkbenchListener listener)
{
    m_listeners.emplace_back(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void Workbench::removeListener(int id)
{
    std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

Workbench::Snapshot Workbench::snapshot() const
{
    const WorkbenchState& s = m_state;
    Snapshot snap;
    snap.DateCombo = s.DateCombo;
    snap.DateComboIndex = s.DateComboIndex;
    for (const auto& item : s.DatList)
        snap.DatList.emplace_back(item.text, item.slot);
    snap.DatListIndex = s.DatListIndex;
    snap.UpDown1Max = s.UpDown1Max;
    snap.UpDown1Position = s.UpDown1Position;
    snap.title = s.title;
    snap.Panel1Caption = s.Panel1Caption;
    snap.StaticText1 = s.StaticText1;
    snap.BorderLabel4 = s.BorderLabel4;
    snap.TimeCombo = s.TimeCombo;
    snap.TimeComboIndex = s.TimeComboIndex;
    snap.display = s.display;
    snap.chart = s.chart.view();
    snap.DLlabel = s.DLlabel;
    snap.statusSerial = m_statusSerial;
    snap.Panel3Visible = s.Panel3Visible;
    snap.controls = m_auto.controls();
    snap.oddsSerial = m_oddsSerial;
    snap.alertSerial = m_alertSerial;
    snap.pending = m_pending;
    return snap;
}

void Workbench::notifyChanges()
{
    Snapshot now = snapshot();
    const Snapshot& was = *m_shown;
    Parts parts;
    if (now.DateCombo != was.DateCombo || now.DateComboIndex != was.DateComboIndex)
        parts |= Part::DayList;
    if (now.DatList != was.DatList || now.DatListIndex != was.DatListIndex ||
        now.UpDown1Max != was.UpDown1Max || now.UpDown1Position != was.UpDown1Position)
        parts |= Part::RaceList;
    if (!(now.title == was.title) || now.Panel1Caption != was.Panel1Caption ||
        now.StaticText1 != was.StaticText1 || now.BorderLabel4 != was.BorderLabel4)
        parts |= Part::Title;
    if (now.TimeCombo != was.TimeCombo || now.TimeComboIndex != was.TimeComboIndex)
        parts |= Part::TimeList;
    const AnalysisDisplay& a = now.display;
    const AnalysisDisplay& b = was.display;
    const bool gridsSame = a.StringGrid1 == b.StringGrid1 && a.StringGrid2 == b.StringGrid2 &&
                           a.StringGrid3 == b.StringGrid3 && a.StringGrid4 == b.StringGrid4 &&
                           a.StringGrid5 == b.StringGrid5 && a.StringGrid6 == b.StringGrid6 &&
                           a.StringGrid7 == b.StringGrid7 && a.StringGrid8 == b.StringGrid8 &&
                           a.resultBoxes == b.resultBoxes;
    if (!gridsSame)
        parts |= Part::Grids;
    // The labels are what remains of the display once the grids are equal.
    AnalysisDisplay labelsOnly = a;
    labelsOnly.StringGrid1 = b.StringGrid1;
    labelsOnly.StringGrid2 = b.StringGrid2;
    labelsOnly.StringGrid3 = b.StringGrid3;
    labelsOnly.StringGrid4 = b.StringGrid4;
    labelsOnly.StringGrid5 = b.StringGrid5;
    labelsOnly.StringGrid6 = b.StringGrid6;
    labelsOnly.StringGrid7 = b.StringGrid7;
    labelsOnly.StringGrid8 = b.StringGrid8;
    labelsOnly.resultBoxes = b.resultBoxes;
    if (!(labelsOnly == b))
        parts |= Part::Labels;
    if (!(now.chart == was.chart))
        parts |= Part::Chart;
    if (now.DLlabel != was.DLlabel || now.statusSerial != was.statusSerial)
        parts |= Part::Status;
    if (now.Panel3Visible != was.Panel3Visible || !(now.controls == was.controls) ||
        (now.pending > 0) != (was.pending > 0))
        parts |= Part::Enabled;
    if (now.oddsSerial != was.oddsSerial)
        parts |= Part::Odds;
    if (now.alertSerial != was.alertSerial)
        parts |= Part::Alerts;
    *m_shown = std::move(now);
    if (parts.empty())
        return;
    // A copy: a listener may add or remove listeners.
    auto listeners = m_listeners;
    for (const auto& [id, listener] : listeners) {
        try {
            listener(parts);
        } catch (const std::exception& e) {
            // A view's fault must not take the document down with it.
            m_person.information(std::string("画面の更新に失敗しました: ") + e.what());
        }
    }
}

void Workbench::setStatus(const std::string& text)
{
    m_state.DLlabel = text;
    ++m_statusSerial;
}

Outcome Workbench::fail(const std::string& message)
{
    m_person.beep();
    m_person.information(message);
    return Outcome::failure(message);
}

// The one error boundary: input faults (Error) are shown as they are, since they say
// what failed and where; anything else is our fault and says in which operation.
template <class F> Outcome Workbench::boundary(const char* where, F&& operation)
{
    ++m_depth;
    Outcome outcome;
    try {
        outcome = operation();
    } catch (const Error& e) {
        outcome = fail(e.what());
    } catch (const std::exception& e) {
        outcome = fail(std::string("内部エラー (") + where + "): " + e.what());
    } catch (...) {
        outcome = fail(std::string("内部エラー (") + where + ")");
    }
    if (--m_depth == 0)
        notifyChanges();
    return outcome;
}

void Workbench::runPosted(std::function<void()> call)
{
    if (m_showingMessages) {
        m_deferred.push_back(std::move(call));
        return;
    }
    boundary("posted", [&] {
        call();
        return Outcome::done();
    });
}

void Workbench::connectJvLink(JvLink& jvLink, PostToOwner post)
{
    if (m_queue)
        throw std::logic_error("Workbench::connectJvLink called twice");
    m_jvLink = &jvLink;
    // Whatever a request posts runs only while this object still exists, and inside
    // the boundary.
    m_queue = std::make_unique<RequestQueue>(
        [this, alive = m_alive, post = std::move(post)](std::function<void()> call) {
            post([this, alive, call = std::move(call)]() mutable {
                if (*alive)
                    runPosted(std::move(call));
            });
        });
}

void Workbench::requireOwnJvLink(const JvLink& jvLink, const char* operation) const
{
    if (m_queue && &jvLink == m_jvLink)
        throw std::logic_error(std::string(operation) +
                               ": the JV-Link belongs to the request queue; use its request");
}

// The error log is the owner's: a request's failures are appended on its thread.
ErrorLogAppend Workbench::postedAppendError(Progress& progress)
{
    return [this, &progress](const std::string& message) {
        progress.post([this, message] { appendError(message); });
    };
}

std::uint64_t Workbench::submit(std::string name, RequestQueue::Work work, RequestEvents events,
                                std::shared_ptr<CollectingPerson> messages)
{
    events.done = [this, messages, done = std::move(events.done)](const RequestOutcome& outcome) {
        --m_pending;
        // `done` is the Workbench's own handling followed by the caller's (see the
        // callers); the request's messages come after both, in their order.
        try {
            if (done)
                done(outcome);
        } catch (...) {
            if (messages)
                messages->showTo(m_person);
            throw;
        }
        if (messages) {
            // The calls that waited run afterwards even when showing a message fails.
            struct Resume
            {
                Workbench& wb;
                ~Resume()
                {
                    wb.m_showingMessages = false;
                    auto deferred = std::move(wb.m_deferred);
                    wb.m_deferred.clear();
                    try {
                        for (auto& call : deferred)
                            wb.runPosted(std::move(call));
                    } catch (...) {
                        // Only the person's own box can throw here; nothing to tell it.
                    }
                }
            };
            m_showingMessages = true;
            Resume resume{*this};
            messages->showTo(m_person);
        }
    };
    ++m_pending;
    const std::uint64_t id = m_queue->submit(std::move(name), std::move(work), std::move(events));
    // Inside an operation its boundary tells the listeners at its end.
    if (m_depth == 0)
        notifyChanges();
    return id;
}

void Workbench::reportFailure(const RequestOutcome& outcome, bool quiet)
{
    if (outcome.end != RequestOutcome::End::Failed)
        return;
    if (quiet)
        appendError(outcome.error);
    else
        fail(outcome.error);
}

Outcome Workbench::afterOdds(const SokuhoOddsResult& result, OddsRecvLists lists)
{
    m_state.oddsLists = std::move(lists);
    if (!result.ran)
        return Outcome::nothingToDo();
    Outcome shown = datListClick(m_state.DatListIndex);
    if (!result.complete())
        return Outcome::failure("オッズを取得できませんでした");
    return shown;
}

Outcome Workbench::afterResults(const KekkaGetResult& result, bool quiet)
{
    if (!result.ran)
        return Outcome::nothingToDo();
    Outcome imported = hrReadBtnClick();
    if (!quiet && m_state.DatListIndex >= 0)
        datListClick(m_state.DatListIndex);
    if (!result.complete())
        return Outcome::failure("結果情報を取得できませんでした");
    return imported;
}

std::uint64_t Workbench::requestOdds(int index, RequestEvents events)
{
    if (!m_queue || index < 0 || index >= static_cast<int>(m_state.DatList.size()))
        return 0;
    std::string ra = m_state.store.RaRecs.at(
        static_cast<size_t>(m_state.DatList[static_cast<size_t>(index)].slot));
    // While the automatic acquisition runs, what the fetch brings is compared with what
    // was stored before it.
    std::optional<ArchivedRace> watched;
    size_t known = 0;
    if (m_auto.controls().Timer2Enabled) {
        try {
            watched = raceOfItem(index);
            if (watched)
                known = RaceOddsSeries::read(*watched).size();
        } catch (const std::exception&) {
            watched.reset(); // an unreadable odds file: the fetch itself says what is wrong
        }
    }
    auto result = std::make_shared<SokuhoOddsResult>();
    auto lists = std::make_shared<OddsRecvLists>();
    auto messages = std::make_shared<CollectingPerson>();
    RequestQueue::Work work = [this, ra = std::move(ra), result, lists, messages,
                               root = m_appDir.root()](Progress& progress,
                                                       const std::atomic<bool>& cancel) {
        messages->bind(progress);
        *result = sorvantix::SokuhoOddsBtnClick(*m_jvLink, root, ra, *lists, *messages,
                                                postedAppendError(progress), &cancel);
    };
    events.done = [this, result, lists, watched, known,
                   done = std::move(events.done)](const RequestOutcome& outcome) {
        reportFailure(outcome, false);
        if (outcome.end != RequestOutcome::End::Failed) {
            afterOdds(*result, std::move(*lists));
            if (result->ran) {
                ++m_oddsSerial;
                if (watched)
                    raiseAlerts(watched->raceKey, known);
            }
        }
        if (done)
            done(outcome);
    };
    return submit("ｵｯｽﾞ取得", std::move(work), std::move(events), messages);
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

void Workbench::raiseAlerts(const std::string& raceKey, size_t knownTimePoints)
{
    boundary("raiseAlerts", [&] {
        int index = raceIndexOf(raceKey);
        std::optional<ArchivedRace> race = raceOfItem(index);
        if (!race)
            return Outcome::nothingToDo();
        const ParamSet set = activeParamSet(m_ini, m_appDir.userSetFile());
        const RaceOddsSeries series = RaceOddsSeries::read(*race);
        std::vector<OddsAlert> alerts =
            seriesAlerts(*race, series, knownTimePoints, set.params, readAlertSettings(m_ini));
        if (alerts.empty())
            return Outcome::nothingToDo();
        m_alerts = std::move(alerts);
        ++m_alertSerial;
        std::vector<std::string> lines;
        const std::string now = dateTimeText(m_clock.now());
        for (const auto& a : m_alerts)
            lines.push_back(now + "\t" + a.text());
        try {
            appendAlertLog(m_appDir.root(), race->day, lines);
        } catch (const std::exception& e) {
            setStatus(std::string("アラートログに書き込めません: ") + e.what());
        }
        return Outcome::done();
    });
}

std::uint64_t Workbench::requestResults(bool quiet, RequestEvents events)
{
    if (!m_queue || m_state.DateComboIndex < 0)
        return 0;
    auto store = std::make_shared<const DayStore>(m_state.store);
    int selected = m_state.DatListIndex < 0 ? -1 : m_state.SelectedRace;
    auto result = std::make_shared<KekkaGetResult>();
    auto messages = std::make_shared<CollectingPerson>();
    RequestQueue::Work work = [this, store, selected, quiet, result, messages,
                               root = m_appDir.root()](Progress& progress,
                                                       const std::atomic<bool>& cancel) {
        messages->bind(progress);
        *result = sorvantix::KekkaGetBtnClick(*m_jvLink, root, *store, selected, quiet, *messages,
                                              postedAppendError(progress), &cancel);
    };
    events.done = [this, result, quiet,
                   done = std::move(events.done)](const RequestOutcome& outcome) {
        reportFailure(outcome, quiet);
        if (outcome.end != RequestOutcome::End::Failed)
            afterResults(*result, quiet);
        if (done)
            done(outcome);
    };
    return submit("結果情報", std::move(work), std::move(events), messages);
}

std::uint64_t Workbench::requestScheduleFetch(ScheduleFetch fetch, RequestEvents events)
{
    if (!m_queue)
        return 0;
    auto shared = std::make_shared<ScheduleFetch>(std::move(fetch));
    auto messages = std::make_shared<CollectingPerson>();
    RequestQueue::Work work = [this, shared, messages, root = m_appDir.root()](
                                  Progress& progress, const std::atomic<bool>& cancel) {
        messages->bind(progress);
        // The day is reloaded when the window closes, on the owner's thread.
        JvLinkOddsSchedule port(*m_jvLink, root, {}, postedAppendError(progress));
        if (shared->run(port, *messages, progress, &cancel) == ScheduleFetchEnd::Failed)
            throw Error(shared->failureSummary());
    };
    events.done = [this, done = std::move(events.done)](const RequestOutcome& outcome) {
        reportFailure(outcome, false);
        if (done)
            done(outcome);
    };
    return submit(std::string(schedule::kFetchButton), std::move(work), std::move(events),
                  messages);
}

std::uint64_t Workbench::requestCards(CardRequest request, CardEvents events)
{
    if (!m_queue || m_cardsRunning)
        return 0;
    // The form is built here, where its from-date is chosen and the start message shown
    // (a box must not wait for the worker), and runs on the worker from then on.
    *m_cardStop = false;
    auto messages = std::make_shared<CollectingPerson>();
    auto viewSink = std::make_shared<std::function<void(const GetDataFormView&)>>();
    auto form =
        std::make_shared<TGetDataForm>(*m_jvLink, m_appDir.root(), m_ini, m_clock, *messages,
                                       *m_cardStop, [viewSink](const GetDataFormView& view) {
                                           if (*viewSink)
                                               (*viewSink)(view);
                                       });
    form->FormCreate();
    if (request.setup)
        form->setSetup(*request.setup);
    if (request.from)
        form->setFromDate(*request.from);
    m_person.information(cardStartMessage(form->view().DateTimePicker1));
    form->setAnnounceStart(false);
    m_cardsRunning = true;

    auto cancelledEarly = std::make_shared<bool>(false);
    RequestQueue::Work work = [form, messages, viewSink, cancelledEarly, stop = m_cardStop,
                               view = std::move(events.view)](Progress& progress,
                                                              const std::atomic<bool>& cancel) {
        messages->bind(progress);
        // Only what changed crosses to the owner: the list grows by one line a record,
        // so copying it whole at every step would make a year's import quadratic. And
        // at most every 40 ms (and at the end): a window that takes one event a record
        // spends a minute on a year's list.
        auto sent = std::make_shared<size_t>(0);
        auto lastPost = std::make_shared<std::chrono::steady_clock::time_point>();
        auto post = [&progress, sent, lastPost, view](const GetDataFormView& v, bool force) {
            if (!view)
                return;
            if (v.ListBox1.size() < *sent)
                *sent = 0; // a new run cleared the list
            const auto now = std::chrono::steady_clock::now();
            if (!force && now - *lastPost < std::chrono::milliseconds(40))
                return;
            *lastPost = now;
            GetDataFormView delta;
            delta.rbtSetup = v.rbtSetup;
            delta.DateTimePicker1 = v.DateTimePicker1;
            delta.Label5 = v.Label5;
            delta.ProgressLabel = v.ProgressLabel;
            delta.ProgressBar1Position = v.ProgressBar1Position;
            delta.ProgressBar1Max = v.ProgressBar1Max;
            delta.ProgressBar2Position = v.ProgressBar2Position;
            delta.ProgressBar2Max = v.ProgressBar2Max;
            delta.busyCursor = v.busyCursor;
            delta.TimerJVStatusEnabled = v.TimerJVStatusEnabled;
            delta.ListBox1.assign(v.ListBox1.begin() + static_cast<std::ptrdiff_t>(*sent),
                                  v.ListBox1.end());
            *sent = v.ListBox1.size();
            progress.post([view, delta = std::move(delta)] { view(delta); });
        };
        std::string lastLabel;
        *viewSink = [post, lastLabel](const GetDataFormView& v) mutable {
            // A new phase is shown at once.
            const bool changed = v.ProgressLabel != lastLabel;
            lastLabel = v.ProgressLabel;
            post(v, changed);
        };
        // Cancelled while it waited for its turn: it never opens JV-Link.
        if (stop->load() || cancel) {
            *viewSink = nullptr;
            *cancelledEarly = true;
            return;
        }
        runCardAcquisition(*form, [&] {
            if (cancel)
                *stop = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        *viewSink = nullptr;
        post(form->view(), true);
    };
    RequestEvents requestEvents;
    requestEvents.done = [this, form, cancelledEarly,
                          done = std::move(events.done)](const RequestOutcome& outcome) {
        m_cardsRunning = false;
        reportFailure(outcome, false);
        if (*cancelledEarly)
            setStatus(std::string(kCardCancelledText));
        if (done)
            done(*cancelledEarly ? CardRunOutcome::Cancelled : form->outcome(),
                 form->storedRecords());
    };
    return submit("ＪＶデータ取込", std::move(work), std::move(requestEvents), messages);
}

bool Workbench::AutoOzCheckClick(bool checked)
{
    bool on = false;
    boundary("AutoOzCheckClick", [&] {
        on = m_auto.AutoOzCheckClick(checked);
        return Outcome::done();
    });
    return on;
}

std::vector<int> Workbench::Timer2Timer()
{
    std::vector<int> started;
    boundary("Timer2Timer", [&] {
        started = m_auto.Timer2Timer();
        return Outcome::done();
    });
    return started;
}

bool Workbench::Timer4Timer()
{
    bool asked = false;
    boundary("Timer4Timer", [&] {
        asked = m_auto.Timer4Timer();
        return Outcome::done();
    });
    return asked;
}

Outcome Workbench::cancelCards()
{
    return boundary("cancelCards", [&] {
        if (!m_cardsRunning)
            return Outcome::nothingToDo();
        if (!m_person.question(std::string(kCardCancelQuestion)))
            return Outcome::nothingToDo();
        *m_cardStop = true;
        return Outcome::done();
    });
}

Outcome Workbench::closeSchedule(TOddsSchejForm& form)
{
    return boundary("closeSchedule", [&] {
        auto reload = [this] { dateComboChange(m_state.DateComboIndex); };
        if (m_jvLink == nullptr) {
            reload();
            return Outcome::done();
        }
        JvLinkOddsSchedule port(*m_jvLink, m_appDir.root(), reload);
        form.FormCloseQuery(port);
        return Outcome::done();
    });
}

Outcome Workbench::appendError(const std::string& message)
{
    ++m_depth;
    Outcome outcome;
    try {
        m_errorLog.append(message);
    } catch (const std::exception& e) {
        // The message itself is in the status label already; say the log failed too.
        setStatus(message + "（エラーログに書き込めません: " + e.what() + "）");
        outcome = Outcome::failure(e.what());
    }
    if (--m_depth == 0)
        notifyChanges();
    return outcome;
}

Outcome Workbench::SokuhoOddsBtnClick(JvLink& jvLink, const std::atomic<bool>* cancel)
{
    requireOwnJvLink(jvLink, "SokuhoOddsBtnClick");
    return boundary("SokuhoOddsBtnClick", [&] {
        if (m_state.DatListIndex < 0 || m_state.DateComboIndex < 0)
            return Outcome::nothingToDo();
        OddsRecvLists lists;
        SokuhoOddsResult result = sorvantix::SokuhoOddsBtnClick(
            jvLink, m_appDir.root(), selectedRa(), lists, *m_statusPerson,
            [this](const std::string& m) { appendError(m); }, cancel);
        return afterOdds(result, std::move(lists));
    });
}

Outcome Workbench::KekkaGetBtnClick(JvLink& jvLink, const std::atomic<bool>* cancel)
{
    requireOwnJvLink(jvLink, "KekkaGetBtnClick");
    return boundary("KekkaGetBtnClick", [&] {
        if (m_state.DateComboIndex < 0)
            return Outcome::nothingToDo();
        int selected = m_state.DatListIndex < 0 ? -1 : m_state.SelectedRace;
        KekkaGetResult r = sorvantix::KekkaGetBtnClick(
            jvLink, m_appDir.root(), m_state.store, selected, m_state.AutoResultMode,
            *m_statusPerson, [this](const std::string& m) { appendError(m); }, cancel);
        return afterResults(r, m_state.AutoResultMode);
    });
}

Outcome Workbench::HrReadBtnClick()
{
    return boundary("HrReadBtnClick", [&] { return hrReadBtnClick(); });
}

Outcome Workbench::hrReadBtnClick()
{
    if (m_state.DateComboIndex < 0)
        return Outcome::nothingToDo();
    auto day = DayName::parse(m_state.DateCombo[static_cast<size_t>(m_state.DateComboIndex)]);
    if (!day)
        return Outcome::nothingToDo();
    PayoutImport import = sorvantix::HrReadBtnClick(m_appDir.root(), *day, m_state.store);
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

Outcome Workbench::FormCreate()
{
    return boundary("FormCreate", [&] {
        prepareAppFolder(m_appDir, m_errorLog);
        return MakeDataListBtnClick();
    });
}

Outcome Workbench::MakeDataListBtnClick()
{
    return boundary("MakeDataListBtnClick", [&] {
        std::vector<std::string> names;
        fs::path data = m_appDir.dataDir();
        if (fs::is_directory(data)) {
            for (const auto& entry : fs::directory_iterator(data)) {
                if (!entry.is_regular_file() || entry.path().extension() != ".jvRA")
                    continue;
                // Only files named by a day are days: a stray notes.jvRA is not.
                auto day = DayName::parse(entry.path().stem().string());
                if (day && day->text() == entry.path().stem().string())
                    names.push_back(day->text());
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
            m_state.DateCombo.push_back(*it);
        return Outcome::done();
    });
}

Outcome Workbench::DateComboChange(int index)
{
    return boundary("DateComboChange", [&] { return dateComboChange(index); });
}

Outcome Workbench::dateComboChange(int index)
{
    if (index < 0 || index >= static_cast<int>(m_state.DateCombo.size()))
        return Outcome::nothingToDo();
    WorkbenchState& s = m_state;
    s.DateComboIndex = index;
    const std::string& day = s.DateCombo[static_cast<size_t>(index)];
    auto dayName = DayName::parse(day);
    s.Since2005 = dayName && dayName->year >= 2005;
    s.ShowAnalysisPanel = true;
    s.RaFilePath = m_appDir.dataDir() / (day + ".jvRA");
    s.HrFilePath = m_appDir.dataDir() / (day + ".jvHR");
    m_auto.armResultsTimer(false, m_auto.controls().AutoResultIntervalMinutes);
    s.DatList.clear();
    s.DatListIndex = -1;
    s.TimeCombo.clear();
    s.TimeComboIndex = -1;
    s.Panel3Visible = false;
    s.dayWarnings.clear();
    // Whatever happens below, no race of the previous day stays behind.
    s.store.clearRecords();
    m_batchAnalysed.clear();

    Outcome outcome = Outcome::done();
    if (dayName && fs::exists(s.RaFilePath)) {
        DayLoad load = loadDay(m_appDir.root(), *dayName, s.store);
        s.store = std::move(load.store);
        s.DatList = std::move(load.items);
        s.dayWarnings = load.warnings;
        if (!load.warnings.empty()) {
            std::string text;
            for (const auto& w : load.warnings)
                text += (text.empty() ? "" : "\n") + w;
            setStatus(text);
        }
    } else {
        const std::string text = "データがありません: " + s.RaFilePath.string();
        setStatus(text);
        outcome = Outcome::failure(text);
    }
    s.UpDown1Max = static_cast<int>(s.DatList.size()) - 1;
    s.UpDown1Position = 0;

    // A slot without a positive post time gets a blank time, never one left over
    // from an earlier day.
    int lead = toIntDef(readSetting(m_ini, settings::kAutoOzGet), 0);
    for (int slot = 0; slot < kRaceSlots; ++slot)
        s.store.AutoOddsTime[static_cast<size_t>(slot)] =
            autoOddsTimeOf(s.store.RaRecs[static_cast<size_t>(slot)], lead);

    LocalDateTime now = m_clock.now();
    m_auto.armResultsTimer(day == DayName{now.year, now.month, now.day}.text(),
                           readSetting(m_ini, settings::kAutoRdataGet));

    if (s.DatList.empty())
        return outcome;
    int target = std::min(s.LastRaceIndex, static_cast<int>(s.DatList.size()) - 1);
    // The day is loaded whether or not its race can be shown.
    datListClick(target);
    return outcome;
}

Outcome Workbench::DatListClick(int index)
{
    return boundary("DatListClick", [&] { return datListClick(index); });
}

Outcome Workbench::datListClick(int index)
{
    WorkbenchState& s = m_state;
    if (index < 0 || index >= static_cast<int>(s.DatList.size()))
        return Outcome::nothingToDo();
    s.Panel3Visible = false;
    s.DatListIndex = index;
    s.SelectedRace = s.DatList[static_cast<size_t>(index)].slot;
    // No chart of the previous race survives a selection, even one without odds.
    s.chart.clear();
    const RaView ra(selectedRa());

    std::optional<RaceKey> key = RaceKey::tryParse(ra.raceKeyText());
    s.O1FilePath = key ? oddsFilePath(m_appDir.root(), key->text(), kO1Extension) : fs::path();
    s.O2FilePath = key ? oddsFilePath(m_appDir.root(), key->text(), kO2Extension) : fs::path();
    s.title = raceTitle(selectedRa());

    if (!key || !fs::exists(s.O1FilePath)) {
        m_person.beep();
        s.Panel1Caption = kNoOddsNotice;
        return Outcome::failure(kNoOddsNotice);
    }
    s.LastRaceIndex = index;
    s.TimeCombo.clear();
    s.TimeComboIndex = -1;
    std::string first = readSetting(m_ini, settings::kFirstTimeInRaceList);
    int target = toIntDef(field(first, 1, 2), 0) * 60 + toIntDef(field(first, 3, 2), 0);

    s.UseUmaren = ra.registered() > 8 || s.Since2005;
    const std::vector<std::string>* lines = nullptr;
    std::string damage;
    // Kept for the loading of the chosen time point only: a later load reads anew.
    struct ForgetSelectionOdds
    {
        std::optional<OddsFile>& odds;
        ~ForgetSelectionOdds() { odds.reset(); }
    } forget{m_selectionOdds};
    if (s.UseUmaren) {
        if (!fs::exists(s.O2FilePath)) {
            m_person.beep();
            s.Panel1Caption = kNoOddsNotice;
            return Outcome::failure(kNoOddsNotice);
        }
        m_selectionOdds = OddsFile::read(s.O2FilePath, kO2RecordSize);
        s.O2Lines = m_selectionOdds->lines();
        lines = &s.O2Lines;
    } else {
        m_selectionOdds = OddsFile::read(s.O1FilePath, kO1RecordSize);
        s.O1Lines = m_selectionOdds->lines();
        lines = &s.O1Lines;
    }
    damage = m_selectionOdds->damage();
    if (!damage.empty())
        setStatus(damage);
    // Announcements of another race (a file copied or mixed up) are no time points of
    // this one.
    const size_t before = lines->size();
    std::erase_if(s.UseUmaren ? s.O2Lines : s.O1Lines, [&](const std::string& line) {
        return RecordView(line).raceKeyText() != key->text();
    });
    if (lines->size() != before)
        setStatus(format("%s: 他のレースの発表%zu件を除きました",
                         (s.UseUmaren ? s.O2FilePath : s.O1FilePath).filename().c_str(),
                         before - lines->size()));

    const std::string monthDay = key->text().substr(4, 4);
    int best = 10000;
    int chosen = 0;
    for (size_t i = 0; i < lines->size(); ++i) {
        const OddsView line((*lines)[i]);
        s.TimeCombo.push_back(timeComboItem((*lines)[i]));
        int distance = std::abs(target - line.announceMinuteOfDay());
        if (distance < best && line.announceMonthDay() == monthDay) {
            best = distance;
            chosen = static_cast<int>(i);
        }
    }
    if (s.TimeCombo.empty()) {
        // An empty series has no time point: analysing it would use whatever the slots
        // held before.
        m_person.beep();
        s.Panel1Caption = kNoOddsNotice;
        return Outcome::failure(std::string(kNoOddsNotice) + "（" +
                                (s.UseUmaren ? s.O2FilePath : s.O1FilePath).filename().string() +
                                " に発表がありません）");
    }
    s.TimeComboIndex = chosen;
    Outcome outcome = readOddsBtnClick();
    // The batch shows none of its races' charts: the race it selects at the end gets one.
    if (m_inBatch)
        s.chart.clear();
    else
        fillChart();
    s.UpDown1Position = index;
    return outcome;
}

void Workbench::fillChart()
{
    WorkbenchState& s = m_state;
    const std::vector<std::string>& lines = s.UseUmaren ? s.O2Lines : s.O1Lines;
    const int runners = RaView(selectedRa()).registered();
    s.chart.clear();
    s.chart.CgraphIniBtnClick(lines.empty() ? std::string_view() : lines.back(), s.UseUmaren);
    s.chart.fillHorseList(runners);
    s.chart.RadioGroup1Click(0, chartOdds(), runners);
    if (s.chart.damagedFields() > 0)
        setStatus(format("PA比ｸﾞﾗﾌ: 読めないオッズ欄%d件を除きました", s.chart.damagedFields()));
}

Outcome Workbench::RadioGroup1Click(int index)
{
    return boundary("RadioGroup1Click", [&] {
        const auto& items = m_state.chart.view().RadioGroup1;
        if (m_state.DatListIndex < 0 || index < 0 || index >= static_cast<int>(items.size()))
            return Outcome::nothingToDo();
        m_state.chart.RadioGroup1Click(index, chartOdds(), RaView(selectedRa()).registered());
        return Outcome::done();
    });
}

Outcome Workbench::RadioGroup2Click(int item)
{
    return boundary("RadioGroup2Click", [&] {
        if (item != 0 && item != 1)
            return Outcome::nothingToDo();
        m_state.chart.setAxis(item == 1 ? ChartAxis::Linear : ChartAxis::Log);
        writeSetting(m_ini, settings::kGraphAxis, item);
        return Outcome::done();
    });
}

Outcome Workbench::RadioGroup3Click(int item)
{
    return boundary("RadioGroup3Click", [&] {
        if (item != 0 && item != 1)
            return Outcome::nothingToDo();
        m_state.chart.setMarkers(item == 0);
        writeSetting(m_ini, settings::kGraphMarker, item);
        return Outcome::done();
    });
}

Outcome Workbench::UpDown1Click(int position)
{
    if (m_state.DatList.size() < 2)
        return boundary("UpDown1Click", [] { return Outcome::nothingToDo(); });
    return DatListClick(position);
}

Outcome Workbench::TimeComboChange(int index)
{
    return boundary("TimeComboChange", [&] {
        if (index < 0 || index >= static_cast<int>(m_state.TimeCombo.size()))
            return Outcome::nothingToDo();
        m_state.TimeComboIndex = index;
        return readOddsBtnClick();
    });
}

Outcome Workbench::ReadOddsBtnClick()
{
    return boundary("ReadOddsBtnClick", [&] { return readOddsBtnClick(); });
}

Outcome Workbench::readOddsBtnClick()
{
    WorkbenchState& s = m_state;
    if (s.DatList.empty())
        return Outcome::nothingToDo();
    size_t r = static_cast<size_t>(s.SelectedRace);
    const RaView ra(selectedRa());
    std::optional<RaceKey> raceKey = RaceKey::tryParse(ra.raceKeyText());
    if (!raceKey)
        throw Error("レースキーが不正です: \"" + fromCp932(ra.raceKeyText()) + "\"");
    const std::string key = raceKey->text();
    fs::path o1File = oddsFilePath(m_appDir.root(), key, kO1Extension);
    fs::path o2File = oddsFilePath(m_appDir.root(), key, kO2Extension);
    std::string item =
        s.TimeComboIndex >= 0 && s.TimeComboIndex < static_cast<int>(s.TimeCombo.size())
            ? s.TimeCombo[static_cast<size_t>(s.TimeComboIndex)]
            : std::string();
    std::string timeKey = timeKeyOfItem(item);

    // The file the race selection has just read exists; any other is looked up once.
    auto exists = [&](const fs::path& file) {
        return (m_selectionOdds && m_selectionOdds->path() == file) || fs::exists(file);
    };
    if (!exists(o1File))
        return fail("該当レースの単複枠オッズが見つかりません。");
    const bool o2Exists = exists(o2File);
    // A record found at the chosen time must be this race's own.
    auto otherRace = [&](const std::optional<std::string>& rec) {
        return rec && RecordView(*rec).raceKeyText() != key;
    };
    // The file the race selection has just listed is not read again.
    std::optional<OddsFile> read1, read2;
    auto oddsFile = [&](const fs::path& file, int size,
                        std::optional<OddsFile>& storage) -> const OddsFile& {
        if (m_selectionOdds && m_selectionOdds->path() == file)
            return *m_selectionOdds;
        return storage.emplace(OddsFile::read(file, size));
    };
    const OddsFile& o1 = oddsFile(o1File, kO1RecordSize, read1);
    auto o1Rec = o1.find(timeKey);
    auto o2Rec = o2Exists ? oddsFile(o2File, kO2RecordSize, read2).find(timeKey)
                          : std::optional<std::string>();
    for (const auto& [rec, file] : {std::pair{&o1Rec, &o1File}, std::pair{&o2Rec, &o2File}}) {
        if (otherRace(*rec)) {
            s.Panel3Visible = false;
            return fail("オッズファイルに他のレースの発表があります: " + file->filename().string() +
                        "（" + fromCp932(RecordView(**rec).raceKeyText()) + "）");
        }
    }
    if (auto rec = o1Rec) {
        s.store.O1Recs[r] = *rec;
    } else if (!o1.hasAnnouncements()) {
        // An empty win-odds file is no time point, as a missing one is none.
        s.Panel3Visible = false;
        return fail("該当レースの単複枠オッズが見つかりません。（" + o1File.filename().string() +
                    " に発表がありません）");
    } else if (s.UseUmaren && timeKey.size() == 8) {
        // The time list came from the quinella file: take the win odds announced last
        // before the chosen time, never whatever the slot held before.
        if (auto earlier = o1.findAtOrBefore(timeKey)) {
            s.store.O1Recs[r] = *earlier;
            const OddsView view(*earlier);
            setStatus("単勝オッズは " + view.announceHour() + ":" + view.announceMinute() +
                      " 発表のものです。");
        } else {
            s.store.O1Recs[r] = std::string(kO1RecordSize, ' ');
            setStatus("単勝オッズがありません（" + item.substr(std::min<size_t>(6, item.size())) +
                      " 以前の発表なし）。");
        }
    }
    if (o2Exists) {
        if (auto rec = o2Rec) {
            s.store.O2Recs[r] = *rec;
        } else if (s.UseUmaren && timeKey.size() == 8) {
            // A damaged quinella line at the chosen time: never keep another time's
            // quinella odds in the slot, which would mix two announcements.
            s.store.O2Recs[r] = std::string(kO2RecordSize, ' ');
            s.Panel3Visible = false; // what it shows is another time's analysis
            return fail("馬連オッズを読めません: レース " + key + " 時刻 " + item + "（" +
                        o2File.filename().string() + " の該当行が壊れています）");
        }
    } else if (s.UseUmaren) {
        return fail("該当レースの馬連オッズが見つかりません。");
    }
    return analysisRun(key, item);
}

Outcome Workbench::analysisRun(const std::string& key, const std::string& item)
{
    WorkbenchState& s = m_state;
    size_t r = static_cast<size_t>(s.SelectedRace);
    const RaView ra(selectedRa());
    ClearBtnClick();
    seiBtnClick();

    s.StaticText1 = fromCp932(ra.yearText()) + "年" + key.substr(4, 2) + "月" + key.substr(6, 2) +
                    "日" + VenueShortName(key.substr(8, 2)) + PadNumber(key.substr(10, 2)) + "回" +
                    PadNumber(key.substr(12, 2)) + "日" + PadNumber(key.substr(14, 2)) + "R  " +
                    format("%2d頭", ra.registered());
    const OddsView o2(s.store.O2Recs[r]);
    s.BorderLabel4 = o2.announceHour() + ":" + o2.announceMinute();

    try {
        fillOddsArrays(s.store.O1Recs[r], s.store.O2Recs[r], ra.registered() > 8 || s.Since2005,
                       s.odds);
    } catch (const Error& e) {
        // The state stays reset: no analysis on half-filled arrays.
        throw Error("オッズを読み込めません: レース " + key + " 時刻 " + item + ": " + e.what());
    }
    Outcome computed = CalcBtnClick();
    if (computed.failed())
        return computed;
    Outcome shown = HyojiBtnClick();
    if (shown.failed())
        return shown;
    if (s.ShowAnalysisPanel)
        s.Panel3Visible = true;
    return Outcome::done();
}

Outcome Workbench::ClearBtnClick()
{
    return boundary("ClearBtnClick", [&] {
        m_state.display.ClearBtnClick(selectedRa(), m_state.analysis, m_state.odds,
                                      m_state.results);
        return Outcome::done();
    });
}

Outcome Workbench::seiBtnClick()
{
    return boundary("seiBtnClick", [&] {
        const auto& se = m_state.store.SeRecs.at(static_cast<size_t>(m_state.SelectedRace));
        m_state.display.seiBtnClick(
            se, m_state.store.HrRecs.at(static_cast<size_t>(m_state.SelectedRace)),
            m_state.results);
        return Outcome::done();
    });
}

Outcome Workbench::CalcBtnClick()
{
    return boundary("CalcBtnClick", [&] {
        int setId = readSetting(m_ini, settings::kSetID);
        ActiveParams active = loadActiveParams(setId, m_appDir.userSetFile());
        if (active.warning)
            setStatus(*active.warning);
        computeAnalysis(m_state.odds, active.params, m_state.analysis);
        return Outcome::done();
    });
}

Outcome Workbench::HyojiBtnClick()
{
    return boundary("HyojiBtnClick", [&] {
        WorkbenchState& s = m_state;
        // The batch shows only the race it selects at the end: the others record their
        // recommended horses and leave the grids as the reset left them.
        if (m_inBatch) {
            const std::string notice =
                recordRecommendedHorses(selectedRa(), s.analysis, s.odds, m_appDir.suishoDir());
            if (!notice.empty())
                setStatus(notice);
            return Outcome::done();
        }
        std::string notice = s.display.HyojiBtnClick(selectedRa(), s.analysis, s.odds, s.results,
                                                     m_appDir.suishoDir());
        sortAnalysisTable(s.display.StringGrid1, s.pressedSort);
        if (!notice.empty())
            setStatus(notice);
        return Outcome::done();
    });
}

Outcome Workbench::M1Click()
{
    return boundary("M1Click", [&] {
        WorkbenchState& s = m_state;
        std::string day =
            s.DateComboIndex >= 0 ? s.DateCombo[static_cast<size_t>(s.DateComboIndex)] : "";
        if (trimmed(day).empty())
            return fail("データを読み込んでください。");
        s.ShowAnalysisPanel = false;
        int failed = 0;
        const int races = static_cast<int>(s.DatList.size());
        m_batchAnalysed.assign(static_cast<size_t>(races), false);
        {
            struct BatchFlag
            {
                bool& on;
                ~BatchFlag() { on = false; }
            } flag{m_inBatch = true};
            for (int i = 0; i < races; ++i) {
                const bool analysed = DatListClick(i).isDone();
                m_batchAnalysed[static_cast<size_t>(i)] = analysed;
                failed += analysed ? 0 : 1;
            }
        }
        s.ShowAnalysisPanel = true;
        DatListClick(0);
        if (races > 0 && failed == races)
            return Outcome::failure(format("%dレースのどれも分析できませんでした", races));
        return Outcome::done();
    });
}

Outcome Workbench::TekiAnaBtnClick(TekiButton sender)
{
    return boundary("TekiAnaBtnClick", [&] {
        WorkbenchState& s = m_state;
        m_hitRun = {};
        if (s.DateComboIndex < 0 || s.DatList.empty())
            return Outcome::nothingToDo("データを読み込んでください。");
        const fs::path dir = m_appDir.hpUploadDir();
        const fs::path logFile = hitLogFile(dir);
        // A recommended-horse file that cannot be read or written would drop its venue's
        // races from the page: nothing is written then.
        for (const auto& item : s.DatList) {
            const auto key =
                RaceKey::tryFromRecord(s.store.RaRecs.at(static_cast<size_t>(item.slot)));
            if (!key)
                continue;
            const fs::path suisho =
                suishoFilePath(m_appDir.suishoDir(), key->dayName(), key->venue());
            std::error_code ec;
            if (fs::exists(suisho, ec) &&
                (!fs::is_regular_file(suisho, ec) || ::access(suisho.c_str(), R_OK | W_OK) != 0))
                throw Error("推奨馬ファイルを読み書きできません: " + suisho.string());
        }
        // One run holds the folder: the log is read and written back whole.
        WriteLock lock;
        HitLines lines;
        lines.page.push_back(toCp932(kHitPageTitle));
        const std::vector<std::string> storedLog = loadHitLog(logFile);
        for (int i = 0; i < static_cast<int>(s.DatList.size()); ++i) {
            // A race that could not be analysed still holds the race before's bets and
            // results: it has no hits of its own.
            if (!DatListClick(i).isDone()) {
                ++m_hitRun.skippedRaces;
                continue;
            }
            const AnalysisState& a = s.analysis;
            RaceBets bets{std::span(a.KaiRenHon).subspan(1), std::span(a.KaiRenChuAna).subspan(1),
                          std::span(a.KaiRenOoAna).subspan(1)};
            collectRaceHits(selectedRa(), bets, s.results, sender, lines);
        }
        for (size_t i = 1; i < lines.page.size(); ++i)
            m_hitRun.lines.push_back(fromCp932(lines.page[i]));
        if (lines.page.size() <= 2)
            return Outcome::nothingToDo(
                format("的中が%zu件のため書き出しません", lines.page.size() - 1));

        // The day of the first slot names the page; a day whose first slot is blank
        // takes its first listed race.
        fs::path pageFile = hitPageFile(dir, s.store.RaRecs[0]);
        if (pageFile.empty())
            pageFile = hitPageFile(dir, s.store.RaRecs.at(static_cast<size_t>(s.DatList[0].slot)));
        if (pageFile.empty())
            throw Error("的中ファイル名を決められません: レースの日付が不正です");
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec || !fs::is_directory(dir))
            throw Error("フォルダを作成できません: " + dir.string() +
                        (ec ? ": " + ec.message() : std::string()));
        m_hitRun.pageReplaced = fs::exists(pageFile, ec);
        writeLinesRaw(pageFile, lines.page);
        m_hitRun.pageFile = pageFile;
        m_person.openFile(pageFile);
        std::string clipboard;
        for (const auto& line : lines.page)
            clipboard += fromCp932(line) + "\r\n";
        m_person.setClipboardText(clipboard);
        // A rerun of the day replaces its lines in the log instead of adding them again.
        const std::string day = pageFile.stem().string().substr(2);
        writeLinesRaw(logFile, replaceDayInHitLog(storedLog, day, lines.log));
        m_hitRun.logFile = logFile;
        m_hitRun.written = true;
        if (m_hitRun.pageReplaced)
            setStatus(pageFile.filename().string() + " を置き換えました");
        return Outcome::done();
    });
}

Outcome Workbench::P1Click(PrintPage& page)
{
    return boundary("P1Click", [&] {
        const WorkbenchState& s = m_state;
        AnalysisPageInput input;
        input.TitleLabel1 = s.title.TitleLabel1;
        input.TitleLabel2 = s.title.TitleLabel2;
        input.TitleLabel3 = s.title.TitleLabel3;
        input.TitleLabel4 = s.title.TitleLabel4;
        input.StringGrid1 = &s.display.StringGrid1;
        input.StringGrid5 = &s.display.StringGrid5;
        input.results = &s.results;
        input.analysis = &s.analysis;
        input.odds = &s.odds;
        input.KasenRatePercent = s.display.KasenRate;
        input.analysisShown = s.Panel3Visible && s.DatListIndex >= 0;
        if (input.analysisShown) {
            const RaView ra(selectedRa());
            input.venueCode = ra.venue();
            input.raceNumber = ra.raceNo().value_or(0);
            input.runners = ra.registered();
        }
        if (auto refusal = analysisPageRefusal(input))
            return fail(*refusal);
        page = buildAnalysisPage(input);
        return Outcome::done();
    });
}

Outcome Workbench::SpeedButton1Click(SortButton button)
{
    return boundary("SpeedButton1Click", [&] {
        m_state.pressedSort = button;
        sortAnalysisTable(m_state.display.StringGrid1, button);
        return Outcome::done();
    });
}

std::string Workbench::ClipBtn1Click(std::string_view tabCaption) const
{
    const AnalysisDisplay& d = m_state.display;
    const TextGrid* grids[] = {&d.StringGrid1, &d.StringGrid1, &d.StringGrid2,
                               &d.StringGrid3, &d.StringGrid4, &d.StringGrid5};
    int n = clipboardGridNumber(tabCaption);
    const TextGrid* grid = (n >= 1 && n <= 5) ? grids[n] : &d.StringGrid1;
    return clipboardText(m_state.title.TitleLabel1, *grid);
}

Outcome Workbench::selectDay(const std::string& dayName)
{
    auto it = std::find(m_state.DateCombo.begin(), m_state.DateCombo.end(), dayName);
    if (it == m_state.DateCombo.end())
        return Outcome::nothingToDo("データがありません: " + dayName);
    return DateComboChange(static_cast<int>(it - m_state.DateCombo.begin()));
}

int Workbench::raceIndexOf(std::string_view raceKey) const
{
    for (size_t i = 0; i < m_state.DatList.size(); ++i) {
        const RaView ra(m_state.store.RaRecs.at(static_cast<size_t>(m_state.DatList[i].slot)));
        if (ra.raceKeyText() == raceKey)
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<RaceListRow> Workbench::raceListRows() const
{
    auto hhmm = [](std::string_view text) -> std::string {
        if (text.size() < 4 || trimmed(text).empty())
            return "";
        return std::string(text.substr(0, 2)) + ":" + std::string(text.substr(2, 2));
    };
    std::vector<RaceListRow> rows;
    for (const auto& item : m_state.DatList) {
        const size_t slot = static_cast<size_t>(item.slot);
        const RaView ra(m_state.store.RaRecs.at(slot));
        rows.push_back({item.text, fromCp932(ra.raceKeyText()), hhmm(ra.postTime()),
                        hhmm(m_state.store.AutoOddsTime.at(slot)), item.slot});
    }
    return rows;
}

std::vector<Workbench::BatchRow> Workbench::batchRows() const
{
    std::vector<BatchRow> rows;
    for (size_t i = 0; i < m_state.DatList.size(); ++i) {
        const auto& item = m_state.DatList[i];
        const RaView ra(m_state.store.RaRecs.at(static_cast<size_t>(item.slot)));
        BatchRow row{item.text, i < m_batchAnalysed.size() && m_batchAnalysed[i], {}};
        if (!row.analysed) {
            rows.push_back(std::move(row));
            continue;
        }
        if (auto key = ra.raceKey())
            row.marks = readSuishoMarks(
                suishoFilePath(m_appDir.suishoDir(), key->dayName(), key->venue()), key->raceNo());
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace sorvantix
