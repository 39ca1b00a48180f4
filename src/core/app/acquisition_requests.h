#pragma once

#include "core/app/app_dir.h"
#include "core/app/card_acquisition.h"
#include "core/app/odds_schedule.h"
#include "core/app/operation_boundary.h"
#include "core/app/request_queue.h"
#include "core/odds/realtime_odds.h"
#include "core/results/payout_acquisition.h"
#include "core/store/day_store.h"
#include "core/study/odds_alerts.h"
#include "core/study/race_archive.h"
#include "core/text/clock.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

class JvLink;
class TIniGT;

// What the acquisition requests need of the window they serve (the Workbench), on the
// owner's thread.
class AcquisitionOwner
{
public:
    virtual ~AcquisitionOwner() = default;
    // The RA record of race list item `index`; nullopt without one.
    virtual std::optional<std::string> raceRecordOfItem(int index) const = 0;
    virtual std::optional<ArchivedRace> raceOfItem(int index) const = 0;
    virtual int raceIndexOf(std::string_view raceKey) const = 0;
    // The loaded day for a results request: its store and the selected race's slot
    // (-1 without one); nullopt without a day.
    struct DayToFetch
    {
        DayStore store;
        int selectedSlot = -1;
    };
    virtual std::optional<DayToFetch> dayToFetch() const = 0;
    // The automatic acquisition runs: a fetch's new time points are checked for alerts.
    virtual bool watchingOdds() const = 0;
    // An odds fetch ended: the received records, and (when it ran) the selected race is
    // shown again so its new time points are listed; Failed when the fetch was not
    // whole or the race could not be shown. A live refresh names its race
    // (`liveRaceKey`): the race shown is shown again only when it is that race.
    virtual Outcome oddsFetched(OddsRecvLists lists, bool ran, std::string_view liveRaceKey) = 0;
    // A results fetch ended: the payouts are imported again and, unless `quiet`, the
    // selected race is shown again.
    virtual Outcome resultsFetched(bool ran, bool quiet) = 0;
    // The day is loaded again (the schedule window closed).
    virtual void reloadDay() = 0;
    virtual void appendError(const std::string& message) = 0;
    virtual void setStatus(const std::string& text) = 0;
};

// The JV-Link requests of the main window on the request queue: "ｵｯｽﾞ取得",
// "結果情報", the schedule window's fetch and the race card acquisition, with what
// happens after each (the race shown again, the payouts imported, the alerts) and the
// long tasks of the studies. Lives on the owner's thread; the work runs on the queue's
// worker, which alone uses the JV-Link while the queue lives.
class AcquisitionRequests
{
public:
    AcquisitionRequests(AppDir appDir, const TIniGT& ini, const Clock& clock, Person& person,
                        OperationBoundary& boundary, AcquisitionOwner& owner);
    // Stops the queue: a running request is cancelled and waited for, and nothing it
    // still reports reaches the owner.
    ~AcquisitionRequests();

    // Starts the queue; `jvLink` (may be null: no JV-Link requests then) is used on its
    // worker only from then on. Call once.
    void start(JvLink* jvLink, PostToOwner post);
    RequestQueue* queue() { return m_queue.get(); }
    bool hasJvLink() const { return m_jvLink != nullptr; }
    JvLink* jvLink() const { return m_jvLink; }

    // `live`: a refresh of the live following, quiet (failures only logged, nothing
    // announced yet no failure) and always checked for alerts.
    std::uint64_t requestOdds(int index, RequestEvents events, bool live = false);
    std::uint64_t requestResults(bool quiet, RequestEvents events);
    std::uint64_t requestScheduleFetch(ScheduleFetch fetch, RequestEvents events);

    struct CardRequest
    {
        std::optional<bool> setup;
        std::optional<LocalDateTime> from;
    };
    // How a race card acquisition ended.
    struct CardRun
    {
        CardRunOutcome outcome = CardRunOutcome::Completed;
        int stored = 0;      // records stored
        int closeResult = 0; // JVClose
    };
    struct CardEvents
    {
        std::function<void(const GetDataFormView& view)> view;
        std::function<void(const CardRun& run)> done;
    };
    std::uint64_t requestCards(CardRequest request, CardEvents events);
    Outcome cancelCards();

    // A long task without the JV-Link (a backtest, an export): `work` runs on the
    // worker with the queue's progress and cancel; its messages are shown after `done`.
    using TaskWork = std::function<void(Progress& progress, const std::atomic<bool>& cancel)>;
    std::uint64_t requestTask(std::string name, TaskWork work, RequestEvents events);

    int pending() const { return m_pending; }
    // The last ended fetches, for the callers that print what they brought.
    const RaceOddsFetch& lastOdds() const { return m_lastOdds; }
    const DayResultsFetch& lastResults() const { return m_lastResults; }
    const std::vector<OddsAlert>& lastAlerts() const { return m_alerts; }
    unsigned oddsSerial() const { return m_oddsSerial; }
    unsigned alertSerial() const { return m_alertSerial; }

private:
    struct OddsRequest;
    struct ResultsRequest;
    void runOddsRequest(OddsRequest& request, Progress& progress, const std::atomic<bool>& cancel);
    void oddsRequestEnded(OddsRequest& request, const RequestOutcome& outcome);
    void runResultsRequest(ResultsRequest& request, Progress& progress,
                           const std::atomic<bool>& cancel);
    void resultsRequestEnded(ResultsRequest& request, const RequestOutcome& outcome);
    void reportFailure(const RequestOutcome& outcome, bool quiet);
    ErrorLogAppend postedAppendError(Progress& progress);
    std::uint64_t submit(std::string name, RequestQueue::Work work, RequestEvents events,
                         std::shared_ptr<RequestMessages> messages, bool quiet = false);
    void raiseAlerts(const ArchivedRace& watched, size_t knownTimePoints);
    size_t knownTimePoints(const ArchivedRace& race);
    RequestQueue::Work cardWork(std::shared_ptr<TGetDataForm> form,
                                std::shared_ptr<RequestMessages> messages,
                                std::shared_ptr<std::function<void(const GetDataFormView&)>> sink,
                                std::shared_ptr<bool> cancelledEarly,
                                std::function<void(const GetDataFormView&)> view);

    AppDir m_appDir;
    const TIniGT& m_ini;
    const Clock& m_clock;
    Person& m_person;
    OperationBoundary& m_boundary;
    AcquisitionOwner& m_owner;
    JvLink* m_jvLink = nullptr;
    int m_pending = 0;
    std::shared_ptr<std::atomic<bool>> m_cardStop = std::make_shared<std::atomic<bool>>(false);
    bool m_cardsRunning = false;
    RaceOddsFetch m_lastOdds;
    DayResultsFetch m_lastResults;
    std::vector<OddsAlert> m_alerts;
    // Per race key: the sizes of its odds files when their time points were last counted.
    struct SeriesMark
    {
        std::uintmax_t o1Size = 0;
        std::uintmax_t o2Size = 0;
        size_t points = 0;
    };
    std::map<std::string, SeriesMark, std::less<>> m_seriesMarks;
    unsigned m_alertSerial = 0; // counts alert batches, so each is heard
    unsigned m_oddsSerial = 0;  // counts ended odds fetches
    // Cleared when this object goes: calls posted by requests check it before running.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::unique_ptr<RequestQueue> m_queue;
};

} // namespace sorvantix
