#include "core/app/acquisition_requests.h"

#include "core/app/study_settings.h"
#include "core/text/format.h"
#include "core/text/ini_file.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace sorvantix {

AcquisitionRequests::AcquisitionRequests(AppDir appDir, const TIniGT& ini, const Clock& clock,
                                         Person& person, OperationBoundary& boundary,
                                         AcquisitionOwner& owner)
    : m_appDir(std::move(appDir)), m_ini(ini), m_clock(clock), m_person(person),
      m_boundary(boundary), m_owner(owner)
{
}

AcquisitionRequests::~AcquisitionRequests()
{
    *m_cardStop = true;
    m_queue.reset();
    *m_alive = false;
}

void AcquisitionRequests::start(JvLink* jvLink, PostToOwner post)
{
    if (m_queue)
        throw std::logic_error("AcquisitionRequests::start called twice");
    m_jvLink = jvLink;
    m_queue = std::make_unique<RequestQueue>(m_boundary.poster(std::move(post), m_alive));
}

// The error log is the owner's: a request's failures are appended on its thread.
ErrorLogAppend AcquisitionRequests::postedAppendError(Progress& progress)
{
    return [this, &progress](const std::string& message) {
        progress.post([this, message] { m_owner.appendError(message); });
    };
}

void AcquisitionRequests::reportFailure(const RequestOutcome& outcome, bool quiet)
{
    if (outcome.end != RequestOutcome::End::Failed)
        return;
    if (quiet)
        m_owner.appendError(outcome.error);
    else
        m_boundary.fail(outcome.error);
}

std::uint64_t AcquisitionRequests::submit(std::string name, RequestQueue::Work work,
                                          RequestEvents events,
                                          std::shared_ptr<RequestMessages> messages, bool quiet)
{
    events.done = [this, messages, quiet,
                   done = std::move(events.done)](const RequestOutcome& outcome) {
        --m_pending;
        // `done` is the owner's own handling followed by the caller's (see the callers);
        // the request's messages come after both, in their order.
        try {
            if (done)
                done(outcome);
        } catch (...) {
            if (!quiet)
                messages->showTo(m_person);
            throw;
        }
        // A quiet request's failures are in the error log; its beeps and status texts
        // would only interrupt the person.
        if (!quiet)
            m_boundary.showMessages(*messages);
    };
    ++m_pending;
    return m_queue->submit(std::move(name), std::move(work), std::move(events));
}

// One "ｵｯｽﾞ取得": what the worker needs and what it brings back.
struct AcquisitionRequests::OddsRequest
{
    std::string raRecord;
    bool live = false;
    std::optional<ArchivedRace> watched; // checked for alerts after the fetch
    size_t knownTimePoints = 0;          // of `watched`, before the fetch
    RaceOddsFetch result;
    OddsRecvLists lists;
    std::shared_ptr<RequestMessages> messages = std::make_shared<RequestMessages>();
    std::function<void(const RequestOutcome&)> done; // the caller's
};

std::uint64_t AcquisitionRequests::requestOdds(int index, RequestEvents events, bool live)
{
    const std::optional<std::string> ra = m_owner.raceRecordOfItem(index);
    if (!m_queue || !m_jvLink || !ra)
        return 0;
    auto request = std::make_shared<OddsRequest>();
    request->raRecord = *ra;
    request->live = live;
    request->done = std::move(events.done);
    // While the automatic acquisition runs, what the fetch brings is compared with what
    // was stored before it.
    if (live || m_owner.watchingOdds()) {
        try {
            request->watched = m_owner.raceOfItem(index);
            if (request->watched)
                request->knownTimePoints = knownTimePoints(*request->watched);
        } catch (const std::exception&) {
            // An unreadable odds file: the fetch itself says what is wrong.
            request->watched.reset();
        }
    }
    events.done = [this, request](const RequestOutcome& outcome) {
        oddsRequestEnded(*request, outcome);
    };
    return submit(
        "ｵｯｽﾞ取得",
        [this, request](Progress& progress, const std::atomic<bool>& cancel) {
            runOddsRequest(*request, progress, cancel);
        },
        std::move(events), request->messages, live);
}

// On the worker.
void AcquisitionRequests::runOddsRequest(OddsRequest& request, Progress& progress,
                                         const std::atomic<bool>& cancel)
{
    request.messages->bind(progress);
    request.result =
        fetchRaceOdds(*m_jvLink, m_appDir.root(), request.raRecord, request.lists,
                      *request.messages, postedAppendError(progress), &cancel, request.live);
}

// On the owner's thread: the race is shown again and its new time points checked.
void AcquisitionRequests::oddsRequestEnded(OddsRequest& request, const RequestOutcome& outcome)
{
    m_lastOdds = request.result;
    reportFailure(outcome, request.live);
    if (outcome.end != RequestOutcome::End::Failed) {
        const std::string liveKey = request.live ? RaView(request.raRecord).raceKeyText() : "";
        m_owner.oddsFetched(std::move(request.lists), request.result.ran, liveKey);
        if (request.result.ran) {
            ++m_oddsSerial;
            if (request.watched)
                raiseAlerts(*request.watched, request.knownTimePoints);
        }
    }
    if (request.done)
        request.done(outcome);
}

namespace {

std::uintmax_t sizeOrZero(const std::filesystem::path& file)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    return ec ? 0 : size;
}

} // namespace

// The time points of a race's stored series, read again only when its files changed
// size (a live day asks this of every refresh; a series only grows).
size_t AcquisitionRequests::knownTimePoints(const ArchivedRace& race)
{
    const SeriesMark mark{sizeOrZero(race.o1File), sizeOrZero(race.o2File), 0};
    auto it = m_seriesMarks.find(race.raceKey);
    if (it != m_seriesMarks.end() && it->second.o1Size == mark.o1Size &&
        it->second.o2Size == mark.o2Size)
        return it->second.points;
    const size_t points = RaceOddsSeries::read(race).size();
    m_seriesMarks[race.raceKey] = SeriesMark{mark.o1Size, mark.o2Size, points};
    return points;
}

// `watched` is the race as it was when the fetch was asked for: another day may be
// shown by now.
void AcquisitionRequests::raiseAlerts(const ArchivedRace& watched, size_t knownTimePoints)
{
    m_boundary.run("raiseAlerts", [&] {
        const std::string& raceKey = watched.raceKey;
        const ArchivedRace* race = &watched;
        // Files of the same sizes hold no new time point: nothing to compare.
        if (const auto it = m_seriesMarks.find(raceKey);
            it != m_seriesMarks.end() && it->second.o1Size == sizeOrZero(race->o1File) &&
            it->second.o2Size == sizeOrZero(race->o2File))
            return Outcome::nothingToDo();
        const ParamSet set = activeParamSet(m_ini, m_appDir.userSetFile());
        const RaceOddsSeries series = RaceOddsSeries::read(*race);
        m_seriesMarks[raceKey] =
            SeriesMark{sizeOrZero(race->o1File), sizeOrZero(race->o2File), series.size()};
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
            m_owner.setStatus(std::string("アラートログに書き込めません: ") + e.what());
        }
        return Outcome::done();
    });
}

// One "結果情報": what the worker needs and what it brings back.
struct AcquisitionRequests::ResultsRequest
{
    DayStore store;
    int selectedSlot = -1;
    bool quiet = false;
    DayResultsFetch result;
    std::shared_ptr<RequestMessages> messages = std::make_shared<RequestMessages>();
    std::function<void(const RequestOutcome&)> done; // the caller's
};

std::uint64_t AcquisitionRequests::requestResults(bool quiet, RequestEvents events)
{
    std::optional<AcquisitionOwner::DayToFetch> day = m_owner.dayToFetch();
    if (!m_queue || !m_jvLink || !day)
        return 0;
    auto request = std::make_shared<ResultsRequest>();
    request->store = std::move(day->store);
    request->selectedSlot = day->selectedSlot;
    request->quiet = quiet;
    request->done = std::move(events.done);
    events.done = [this, request](const RequestOutcome& outcome) {
        resultsRequestEnded(*request, outcome);
    };
    return submit(
        "結果情報",
        [this, request](Progress& progress, const std::atomic<bool>& cancel) {
            runResultsRequest(*request, progress, cancel);
        },
        std::move(events), request->messages);
}

// On the worker.
void AcquisitionRequests::runResultsRequest(ResultsRequest& request, Progress& progress,
                                            const std::atomic<bool>& cancel)
{
    request.messages->bind(progress);
    request.result =
        fetchDayResults(*m_jvLink, m_appDir.root(), request.store, request.selectedSlot,
                        request.quiet, *request.messages, postedAppendError(progress), &cancel);
}

// On the owner's thread: the payouts are imported again.
void AcquisitionRequests::resultsRequestEnded(ResultsRequest& request,
                                              const RequestOutcome& outcome)
{
    m_lastResults = request.result;
    reportFailure(outcome, request.quiet);
    if (outcome.end != RequestOutcome::End::Failed)
        m_owner.resultsFetched(request.result.ran, request.quiet);
    if (request.done)
        request.done(outcome);
}

std::uint64_t AcquisitionRequests::requestScheduleFetch(ScheduleFetch fetch, RequestEvents events)
{
    if (!m_queue || !m_jvLink)
        return 0;
    auto shared = std::make_shared<ScheduleFetch>(std::move(fetch));
    auto messages = std::make_shared<RequestMessages>();
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

std::uint64_t AcquisitionRequests::requestTask(std::string name, TaskWork work,
                                               RequestEvents events)
{
    if (!m_queue)
        return 0;
    auto messages = std::make_shared<RequestMessages>();
    RequestQueue::Work queued =
        [messages, work = std::move(work)](Progress& progress, const std::atomic<bool>& cancel) {
            messages->bind(progress);
            work(progress, cancel);
        };
    events.done = [this, done = std::move(events.done)](const RequestOutcome& outcome) {
        reportFailure(outcome, false);
        if (done)
            done(outcome);
    };
    return submit(std::move(name), std::move(queued), std::move(events), messages);
}

std::uint64_t AcquisitionRequests::requestCards(CardRequest request, CardEvents events)
{
    if (!m_queue || !m_jvLink || m_cardsRunning)
        return 0;
    // The form is built here, where its from-date is chosen and the start message shown
    // (a box must not wait for the worker), and runs on the worker from then on.
    *m_cardStop = false;
    auto messages = std::make_shared<RequestMessages>();
    auto sink = std::make_shared<std::function<void(const GetDataFormView&)>>();
    auto form =
        std::make_shared<TGetDataForm>(*m_jvLink, m_appDir.root(), m_ini, m_clock, *messages,
                                       *m_cardStop, [sink](const GetDataFormView& view) {
                                           if (*sink)
                                               (*sink)(view);
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
    RequestQueue::Work work =
        cardWork(form, messages, sink, cancelledEarly, std::move(events.view));
    RequestEvents requestEvents;
    requestEvents.done = [this, form, cancelledEarly,
                          done = std::move(events.done)](const RequestOutcome& outcome) {
        m_cardsRunning = false;
        reportFailure(outcome, false);
        if (*cancelledEarly)
            m_owner.setStatus(std::string(kCardCancelledText));
        if (done)
            done({*cancelledEarly ? CardRunOutcome::Cancelled : form->outcome(),
                  form->storedRecords(), form->closeResult()});
    };
    return submit("ＪＶデータ取込", std::move(work), std::move(requestEvents), messages);
}

// Only what changed crosses to the owner: the list grows by one line a record, so
// copying it whole at every step would make a year's import quadratic. And at most every
// 40 ms (and at the end, and at each new phase): a window that takes one event a record
// spends a minute on a year's list.
class CardViewThrottle
{
public:
    CardViewThrottle(Progress& progress, std::function<void(const GetDataFormView&)> view)
        : m_progress(progress), m_view(std::move(view))
    {
    }

    void post(const GetDataFormView& v, bool force)
    {
        if (!m_view)
            return;
        if (v.ListBox1.size() < m_sent)
            m_sent = 0; // a new run cleared the list
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - m_lastPost < std::chrono::milliseconds(40))
            return;
        m_lastPost = now;
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
        delta.ListBox1.assign(v.ListBox1.begin() + static_cast<std::ptrdiff_t>(m_sent),
                              v.ListBox1.end());
        m_sent = v.ListBox1.size();
        m_progress.post([view = m_view, delta = std::move(delta)] { view(delta); });
    }
    // A new phase is shown at once.
    void changed(const GetDataFormView& v)
    {
        const bool newPhase = v.ProgressLabel != m_lastLabel;
        m_lastLabel = v.ProgressLabel;
        post(v, newPhase);
    }

private:
    Progress& m_progress;
    std::function<void(const GetDataFormView&)> m_view;
    size_t m_sent = 0;
    std::chrono::steady_clock::time_point m_lastPost;
    std::string m_lastLabel;
};

RequestQueue::Work AcquisitionRequests::cardWork(
    std::shared_ptr<TGetDataForm> form, std::shared_ptr<RequestMessages> messages,
    std::shared_ptr<std::function<void(const GetDataFormView&)>> sink,
    std::shared_ptr<bool> cancelledEarly, std::function<void(const GetDataFormView&)> view)
{
    return [form, messages, sink, cancelledEarly, stop = m_cardStop,
            view = std::move(view)](Progress& progress, const std::atomic<bool>& cancel) {
        messages->bind(progress);
        auto throttle = std::make_shared<CardViewThrottle>(progress, view);
        *sink = [throttle](const GetDataFormView& v) { throttle->changed(v); };
        // Cancelled while it waited for its turn: it never opens JV-Link.
        if (stop->load() || cancel) {
            *sink = nullptr;
            *cancelledEarly = true;
            return;
        }
        runCardAcquisition(*form, [&] {
            if (cancel)
                *stop = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        *sink = nullptr;
        throttle->post(form->view(), true);
    };
}

Outcome AcquisitionRequests::cancelCards()
{
    return m_boundary.run("cancelCards", [&] {
        if (!m_cardsRunning)
            return Outcome::nothingToDo();
        if (!m_person.question(std::string(kCardCancelQuestion)))
            return Outcome::nothingToDo();
        *m_cardStop = true;
        return Outcome::done();
    });
}

} // namespace sorvantix
