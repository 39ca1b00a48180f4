#pragma once

#include "core/text/clock.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace sorvantix {

class TIniGT;

// How the live following refreshes a day: every `farEvery` minutes while a race's post
// is more than `nearMinutes` away, every `nearEvery` minutes after that, and once more
// at post time; at most `budget` requests in any minute, so the service is not flooded.
// A race's results are asked for `resultDelay` minutes after its post. A race within
// `nearMinutes` of post whose latest announcement is older than `lateMinutes` is late.
struct LiveSettings
{
    int farEvery = 10;
    int nearMinutes = 30;
    int nearEvery = 1;
    int budget = 12;
    int resultDelay = 10;
    int lateMinutes = 5;

    bool operator==(const LiveSettings&) const = default;
};

// The settings file's "Live" keys; a value that is missing, not a number or out of its
// range keeps its default.
LiveSettings readLiveSettings(const TIniGT& ini);
void writeLiveSettings(const TIniGT& ini, const LiveSettings& settings);

// One race followed live.
struct LiveRace
{
    std::string raceKey;
    int index = -1; // its race list item
    LocalDateTime post;
    std::optional<LocalDateTime> lastRefresh;      // when the last odds refresh began
    std::optional<LocalDateTime> lastAnnouncement; // the latest stored announcement
    bool followedToPost = false;                   // a refresh began at or after post
    std::optional<LocalDateTime> lastResultsTry;
    bool resultsStored = false;
};

struct LiveRequest
{
    enum class Kind { Odds, Results };
    Kind kind = Kind::Odds;
    size_t race = 0; // index into races()
};

// When each race of a day is refreshed, in which order and within which budget; the
// owner makes the requests one at a time and reports what they brought. Pure: it keeps
// no clock and makes no request of its own.
class LiveSchedule
{
public:
    explicit LiveSchedule(LiveSettings settings = {}) : m_settings(settings) {}

    void setSettings(const LiveSettings& settings) { m_settings = settings; }
    const LiveSettings& settings() const { return m_settings; }
    void setRaces(std::vector<LiveRace> races);
    const std::vector<LiveRace>& races() const { return m_races; }

    // When race `i`'s next odds refresh falls due; nullopt once it is followed to post.
    // A race never refreshed is due at once.
    std::optional<LocalDateTime> oddsDueAt(size_t i) const;
    // When the day's results are next asked for on race `i`'s account; nullopt once
    // they are stored. A try that did not bring them is repeated after 2 minutes, for an
    // hour; then the race is left to the results timer.
    std::optional<LocalDateTime> resultsDueAt(size_t i) const;

    // The request to make at `now`: of everything due, the race nearest its post
    // (results count from when they can exist); nullopt when nothing is due or the
    // budget of the last minute is spent.
    std::optional<LiveRequest> next(const LocalDateTime& now) const;
    // The request was made at `now`: it counts against the budget and its race's
    // cadence runs from it.
    void started(const LiveRequest& request, const LocalDateTime& now);
    // What a refresh of race `i` stored: its latest announcement (nullopt while none).
    void oddsStored(size_t i, std::optional<LocalDateTime> latest);
    // Which races have their results stored after a results request.
    void resultsStored(size_t i, bool stored);

    // Requests begun in the minute up to `now`.
    int requestsInLastMinute(const LocalDateTime& now) const;
    // The next moment something falls due (the next refresh); nullopt when the day is
    // done.
    std::optional<LocalDateTime> nextDue() const;
    // Race `i` is within `nearMinutes` of post, not yet off, and its latest announcement
    // (or the following's start, while it has none) is more than `lateMinutes` old.
    bool isLate(size_t i, const LocalDateTime& now) const;
    // Every race followed to post and its results stored (or given up).
    bool finished() const { return !nextDue().has_value(); }

private:
    LiveSettings m_settings;
    std::vector<LiveRace> m_races;
    std::deque<LocalDateTime> m_recent; // starts of the requests of the last minute
    std::optional<LocalDateTime> m_firstStart;
};

} // namespace sorvantix
