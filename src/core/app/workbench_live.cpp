// The live following of the automatic acquisition: which race is refreshed when, and
// what each refresh and results fetch leaves in the schedule.
#include "core/app/settings_keys.h"
#include "core/app/workbench.h"
#include "core/jvlink/replay_timeline.h"
#include "core/odds/odds_files.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>

namespace sorvantix {

namespace {

std::optional<LocalDateTime> postOf(const RaView& ra)
{
    const std::string key = ra.raceKeyText();
    const std::string post = ra.postTime();
    // The post time read as an announcement on the race's own day.
    return announcementMoment(key, key.substr(4, 4) + post);
}

// The latest announcement stored for the race, nullopt while none is.
std::optional<LocalDateTime> latestStored(const std::filesystem::path& appDir,
                                          const std::string& raceKey)
{
    try {
        const auto lines =
            readOddsLines(oddsFilePath(appDir, raceKey, kO1Extension), kO1RecordSize);
        if (!lines.empty())
            return announcementMoment(raceKey, OddsView(lines.back()).announceTime());
    } catch (const std::exception&) {
        // No file yet, or one that cannot be read: no announcement to go by.
    }
    return std::nullopt;
}

std::string raceText(const RaView& ra)
{
    return format("%s %dR", std::string(trimmed(VenueShortName(ra.venue()))).c_str(),
                  ra.raceNo().value_or(0));
}

} // namespace

bool Workbench::liveChosen() const
{
    return m_liveOn;
}

Outcome Workbench::LiveCheckClick(bool checked)
{
    return m_boundary.run("LiveCheckClick", [&] {
        m_liveOn = checked;
        writeSetting(m_ini, settings::kLiveOn, checked ? 1 : 0);
        // Chosen while the automatic acquisition runs: it goes on in the new way, over
        // today's races (the schedule is made when today is shown, see liveTick).
        if (liveRunning())
            startLive();
        return Outcome::done();
    });
}

void Workbench::startLive()
{
    // Only today's races are followed; another day shown leaves it for later.
    m_liveNeedsStart = m_auto.controls().AutoOzCheck && m_state.DateComboIndex >= 0 &&
                       m_state.DateCombo.at(static_cast<size_t>(m_state.DateComboIndex)) !=
                           todayDayText(m_clock.now());
    if (m_liveNeedsStart)
        return;
    std::vector<LiveRace> races;
    const std::vector<RaceListRow> rows = raceListRows();
    for (size_t i = 0; i < m_state.DatList.size(); ++i) {
        const RaView ra(m_state.store.RaRecs.at(static_cast<size_t>(m_state.DatList[i].slot)));
        const std::optional<LocalDateTime> post = postOf(ra);
        if (!post)
            continue; // without a post time there is nothing to follow it to
        LiveRace race;
        race.raceKey = ra.raceKeyText();
        race.index = static_cast<int>(i);
        race.post = *post;
        race.lastAnnouncement = latestStored(m_appDir.root(), race.raceKey);
        race.resultsStored = rows.at(i).hasResults;
        // Switched off and on again: each race goes on where it was.
        for (const LiveRace& was : m_live.races())
            if (was.raceKey == race.raceKey) {
                race.lastRefresh = was.lastRefresh;
                race.followedToPost = was.followedToPost;
                race.lastResultsTry = was.lastResultsTry;
                race.resultsStored = race.resultsStored || was.resultsStored;
            }
        races.push_back(std::move(race));
    }
    m_live.setSettings(readLiveSettings(m_ini));
    m_live.setRaces(std::move(races));
}

std::optional<Workbench::LiveStep> Workbench::liveTick()
{
    std::optional<LiveStep> step;
    if (!liveRunning() || m_requests.pending() > 0)
        return step;
    m_boundary.run("liveTick", [&] {
        if (m_liveNeedsStart)
            startLive();
        const LocalDateTime now = m_clock.now();
        const std::optional<LiveRequest> request = m_live.next(now);
        if (!request)
            return Outcome::nothingToDo();
        const size_t race = request->race;
        // The race by its key: another day may be shown meanwhile, and then the
        // following waits until today's day is shown again.
        const int index = raceIndexOf(m_live.races().at(race).raceKey);
        if (index < 0)
            return Outcome::nothingToDo();
        std::uint64_t id = 0;
        if (request->kind == LiveRequest::Kind::Odds) {
            RequestEvents events;
            events.done = [this, race](const RequestOutcome&) { liveOddsEnded(race); };
            id = m_requests.requestOdds(index, std::move(events), true);
            const RaView ra(m_state.store.RaRecs.at(
                static_cast<size_t>(m_state.DatList.at(static_cast<size_t>(index)).slot)));
            step = LiveStep{*request, index, raceText(ra)};
        } else {
            RequestEvents events;
            events.done = [this](const RequestOutcome&) { liveResultsEnded(); };
            id = m_requests.requestResults(true, std::move(events));
            step = LiveStep{*request, index, "結果情報"};
        }
        if (id == 0) {
            step.reset();
            return Outcome::nothingToDo();
        }
        m_live.started(*request, now);
        return Outcome::done();
    });
    if (step)
        queued(1);
    return step;
}

void Workbench::liveOddsEnded(size_t race)
{
    if (race >= m_live.races().size())
        return;
    m_live.oddsStored(race, latestStored(m_appDir.root(), m_live.races()[race].raceKey));
}

void Workbench::liveResultsEnded()
{
    const std::vector<RaceListRow> rows = raceListRows();
    for (size_t i = 0; i < m_live.races().size(); ++i) {
        const int index = raceIndexOf(m_live.races()[i].raceKey);
        if (index >= 0 && static_cast<size_t>(index) < rows.size())
            m_live.resultsStored(i, rows[static_cast<size_t>(index)].hasResults);
    }
}

std::string Workbench::liveAnnouncementText(size_t i) const
{
    if (i >= m_live.races().size() || !m_live.races()[i].lastAnnouncement)
        return "";
    const LocalDateTime& t = *m_live.races()[i].lastAnnouncement;
    return format("%02d:%02d", t.hour, t.minute);
}

std::string Workbench::liveStatusText() const
{
    if (!liveRunning())
        return "";
    if (m_liveNeedsStart)
        return "ライブ: 本日のレースを表示すると続けます";
    const std::optional<LocalDateTime> due = m_live.nextDue();
    if (!due)
        return "ライブ: 全レース終了";
    // The race the next refresh is for: the one due first, nearest its post.
    const LocalDateTime now = m_clock.now();
    std::string what;
    for (size_t i = 0; i < m_live.races().size() && what.empty(); ++i) {
        const LiveRace& r = m_live.races()[i];
        const auto odds = m_live.oddsDueAt(i);
        const auto results = m_live.resultsDueAt(i);
        const int index = raceIndexOf(r.raceKey);
        if (index < 0)
            return "ライブ: 本日のレースを表示すると続けます";
        const RaView ra(m_state.store.RaRecs.at(
            static_cast<size_t>(m_state.DatList.at(static_cast<size_t>(index)).slot)));
        if (odds && *odds == *due)
            what =
                raceText(ra) + (r.lastAnnouncement ? "（最終発表 " + liveAnnouncementText(i) + "）"
                                                   : std::string("（発表前）"));
        else if (results && *results == *due)
            what = raceText(ra) + " 結果";
    }
    const LocalDateTime at = now < *due ? *due : now;
    const long long left = now.secondsUntil(at);
    return format("ライブ: 次回 %s %02d:%02d:%02d（あと %lld分%02lld秒）", what.c_str(), at.hour,
                  at.minute, at.second, left / 60, left % 60);
}

} // namespace sorvantix
