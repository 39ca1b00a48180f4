#include "core/app/live_schedule.h"

#include "core/app/settings_keys.h"
#include "core/text/ini_file.h"

#include <algorithm>
#include <exception>

namespace sorvantix {

namespace {

constexpr long long kMinute = 60;
constexpr int kResultsRetryMinutes = 2;
constexpr int kResultsGiveUpMinutes = 60;

LocalDateTime plusMinutes(const LocalDateTime& t, long long minutes)
{
    return t.addSeconds(minutes * kMinute);
}

int readBounded(const TIniGT& ini, const IntSetting& setting, int low, int high)
{
    try {
        int value = readSetting(ini, setting);
        return value >= low && value <= high ? value : setting.defaultValue;
    } catch (const std::exception&) {
        return setting.defaultValue;
    }
}

} // namespace

LiveSettings readLiveSettings(const TIniGT& ini)
{
    LiveSettings s;
    s.farEvery = readBounded(ini, settings::kLiveFarEvery, 1, 120);
    s.nearMinutes = readBounded(ini, settings::kLiveNearMinutes, 0, 180);
    s.nearEvery = readBounded(ini, settings::kLiveNearEvery, 1, 60);
    s.budget = readBounded(ini, settings::kLiveBudget, 1, 60);
    s.resultDelay = readBounded(ini, settings::kLiveResultDelay, 0, 120);
    s.lateMinutes = readBounded(ini, settings::kLiveLateMinutes, 1, 60);
    return s;
}

void writeLiveSettings(const TIniGT& ini, const LiveSettings& s)
{
    writeSetting(ini, settings::kLiveFarEvery, s.farEvery);
    writeSetting(ini, settings::kLiveNearMinutes, s.nearMinutes);
    writeSetting(ini, settings::kLiveNearEvery, s.nearEvery);
    writeSetting(ini, settings::kLiveBudget, s.budget);
    writeSetting(ini, settings::kLiveResultDelay, s.resultDelay);
    writeSetting(ini, settings::kLiveLateMinutes, s.lateMinutes);
}

void LiveSchedule::setRaces(std::vector<LiveRace> races)
{
    // The requests already made still count against the budget.
    m_races = std::move(races);
}

std::optional<LocalDateTime> LiveSchedule::oddsDueAt(size_t i) const
{
    const LiveRace& r = m_races.at(i);
    if (r.followedToPost)
        return std::nullopt;
    if (!r.lastRefresh)
        return LocalDateTime{1, 1, 1, 0, 0, 0};
    const LocalDateTime nearFrom = plusMinutes(r.post, -m_settings.nearMinutes);
    LocalDateTime due;
    if (*r.lastRefresh < nearFrom)
        due = std::min(plusMinutes(*r.lastRefresh, m_settings.farEvery), nearFrom);
    else
        due = plusMinutes(*r.lastRefresh, m_settings.nearEvery);
    // Once more at post, for the last announcement before the off.
    return std::min(due, r.post);
}

std::optional<LocalDateTime> LiveSchedule::resultsDueAt(size_t i) const
{
    const LiveRace& r = m_races.at(i);
    if (r.resultsStored)
        return std::nullopt;
    const LocalDateTime canExist = plusMinutes(r.post, m_settings.resultDelay);
    if (r.lastResultsTry && !(*r.lastResultsTry < canExist)) {
        // A race whose results have not come an hour after they could (a cancelled
        // race, a service without them) is left to the results timer.
        if (!(*r.lastResultsTry < plusMinutes(canExist, kResultsGiveUpMinutes)))
            return std::nullopt;
        return plusMinutes(*r.lastResultsTry, kResultsRetryMinutes);
    }
    return canExist;
}

std::optional<LiveRequest> LiveSchedule::next(const LocalDateTime& now) const
{
    if (requestsInLastMinute(now) >= m_settings.budget)
        return std::nullopt;
    std::optional<LiveRequest> best;
    LocalDateTime bestKey;
    auto consider = [&](LiveRequest::Kind kind, size_t i, const std::optional<LocalDateTime>& due,
                        const LocalDateTime& key) {
        if (!due || now < *due || (best && !(key < bestKey)))
            return;
        best = LiveRequest{kind, i};
        bestKey = key;
    };
    for (size_t i = 0; i < m_races.size(); ++i) {
        consider(LiveRequest::Kind::Odds, i, oddsDueAt(i), m_races[i].post);
        consider(LiveRequest::Kind::Results, i, resultsDueAt(i),
                 plusMinutes(m_races[i].post, m_settings.resultDelay));
    }
    return best;
}

void LiveSchedule::started(const LiveRequest& request, const LocalDateTime& now)
{
    m_recent.push_back(now);
    while (m_recent.front() < now.addSeconds(-kMinute))
        m_recent.pop_front();
    if (!m_firstStart)
        m_firstStart = now;
    LiveRace& r = m_races.at(request.race);
    if (request.kind == LiveRequest::Kind::Results) {
        r.lastResultsTry = now;
        return;
    }
    r.lastRefresh = now;
    if (!(now < r.post))
        r.followedToPost = true;
}

void LiveSchedule::oddsStored(size_t i, std::optional<LocalDateTime> latest)
{
    LiveRace& r = m_races.at(i);
    if (latest && (!r.lastAnnouncement || *r.lastAnnouncement < *latest))
        r.lastAnnouncement = latest;
}

void LiveSchedule::resultsStored(size_t i, bool stored)
{
    m_races.at(i).resultsStored = stored;
}

int LiveSchedule::requestsInLastMinute(const LocalDateTime& now) const
{
    const LocalDateTime from = now.addSeconds(-kMinute);
    return static_cast<int>(std::count_if(m_recent.begin(), m_recent.end(),
                                          [&](const auto& t) { return from < t && !(now < t); }));
}

std::optional<LocalDateTime> LiveSchedule::nextDue() const
{
    std::optional<LocalDateTime> earliest;
    auto take = [&](const std::optional<LocalDateTime>& due) {
        if (due && (!earliest || *due < *earliest))
            earliest = due;
    };
    for (size_t i = 0; i < m_races.size(); ++i) {
        take(oddsDueAt(i));
        take(resultsDueAt(i));
    }
    return earliest;
}

bool LiveSchedule::isLate(size_t i, const LocalDateTime& now) const
{
    const LiveRace& r = m_races.at(i);
    if (!(now < r.post) || now < plusMinutes(r.post, -m_settings.nearMinutes))
        return false;
    const std::optional<LocalDateTime> since =
        r.lastAnnouncement ? r.lastAnnouncement : m_firstStart;
    return since && plusMinutes(*since, m_settings.lateMinutes) < now;
}

} // namespace sorvantix
