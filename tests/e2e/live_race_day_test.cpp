#include "core/app/recording_person.h"
#include "core/app/study_settings.h"
#include "core/app/temp_dir.h"
#include "core/app/workbench.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/jvlink/replay_timeline.h"
#include "core/odds/odds_files.h"
#include "core/store/race_card_files.h"
#include "core/study/race_board.h"
#include "core/text/ini_file.h"
#include "core/text/text_file.h"
#include "feed/feed_writer.h"
#include "feed_import.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace sorvantix;
using sorvantix::test::RecordingPerson;
using sorvantix::test::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr LocalDateTime at(int hour, int minute)
{
    return LocalDateTime{2026, 11, 29, hour, minute, 0};
}

// The generated series of a race up to `post`, as the odds files keep it (data kind
// "0", without CR LF).
std::vector<std::string> generatedUpTo(const fs::path& feedFile, const LocalDateTime& post)
{
    std::vector<std::string> lines;
    for (std::string record : readLinesRaw(feedFile)) {
        const auto announced = announcementMoment(record.substr(11, 16), record.substr(27, 8));
        if (!announced || post < *announced)
            continue;
        record[2] = '0';
        lines.push_back(record);
    }
    return lines;
}

// A generated Sunday lived from 08:45 to 17:00 through the Workbench's live following:
// the clock moves in steps of 5 seconds (a request takes about that long at 600 times
// real speed) and each request ends before it moves on, so
// the day runs as fast as the machine allows (a run at 600 times real speed lives the
// same day, see the command line's test).
class LiveRaceDay : public testing::Test
{
protected:
    void SetUp() override
    {
        app.createFolders();
        // The race cards as the morning's set-up stores them: no odds, no results yet.
        test::importGeneratedSundayCards(feedDir(), app.root());
        link.setClock(&clock);
        ASSERT_EQ(link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30"), 0);
        wb = std::make_unique<Workbench>(app, person, clock);
        wb->connectJvLink(&link, inbox.poster());
        wb->MakeDataListBtnClick();
        ASSERT_TRUE(wb->DateComboChange(0).isDone() || !wb->state().DatList.empty());
        ASSERT_EQ(wb->state().DatList.size(), 36u);
        wb->chooseLive(true);
        ASSERT_TRUE(wb->AutoOzCheckClick(true)) << testing::PrintToString(person.messages);
    }

    fs::path feedDir() const { return app.root() / "feed"; }

    // One step of the owner: the live tick, then every posted call until the request
    // it queued has ended.
    std::optional<Workbench::LiveStep> step()
    {
        auto started = wb->liveTick();
        EXPECT_LE(wb->pendingRequests(), 1);
        EXPECT_TRUE(
            inbox.runUntil([&] { return wb->pendingRequests() == 0; }, std::chrono::seconds(30)));
        return started;
    }

    TempDir dir;
    AppDir app{dir.path() / "app"};
    RecordingPerson person;
    SettableClock clock{at(8, 45)};
    ReplayJvLink link{app.root()};
    TaskInbox inbox;
    std::unique_ptr<Workbench> wb;
};

} // namespace

TEST_F(LiveRaceDay, EveryRaceFollowedToPostWithAlertsAsTheyHappenWithinTheBudget)
{
    struct Raised
    {
        LocalDateTime when;
        OddsAlert alert;
    };
    std::vector<Raised> raised;
    wb->addListener([&](Parts parts) {
        if (parts.has(Part::Alerts))
            for (const auto& a : wb->lastAlerts())
                raised.push_back({clock.now(), a});
    });
    const LiveSchedule& live = wb->liveSchedule();
    const LiveSettings settings = live.settings();
    std::vector<LocalDateTime> starts;
    std::set<size_t> checkedAtPost;
    // Race key: the latest announcement its first refresh with data brought.
    std::map<std::string, LocalDateTime> firstLatest;
    bool boardChecked = false;

    for (LocalDateTime now = clock.now(); now < at(17, 0); now = now.addSeconds(5)) {
        clock.set(now);
        if (now == at(12, 0)) {
            // The board at noon: the morning's races settled, the afternoon's live.
            const RaceBoard board = buildRaceBoard(
                app.root(), *wb->loadedDay(), activeParamSet(wb->ini(), app.userSetFile()).params);
            int settled = 0, running = 0;
            for (const auto& venue : board.venues)
                for (const auto& cell : venue.races) {
                    if (!cell)
                        continue;
                    const BoardLiveness l =
                        boardLiveness(*cell, now, settings.nearMinutes, settings.lateMinutes);
                    const int post = std::stoi(cell->postTime.substr(0, 2)) * 60 +
                                     std::stoi(cell->postTime.substr(3, 2));
                    if (post + settings.resultDelay + 2 <= 12 * 60) {
                        EXPECT_EQ(l.phase, BoardPhase::Settled) << cell->raceKey;
                        ++settled;
                    } else if (post > 12 * 60) {
                        EXPECT_EQ(l.phase, BoardPhase::Live) << cell->raceKey;
                        // Far from post the market announces every few minutes and is
                        // looked at every ten.
                        EXPECT_GE(l.ageMinutes, 0) << cell->raceKey;
                        EXPECT_LT(l.ageMinutes, 30) << cell->raceKey;
                        EXPECT_FALSE(l.late) << cell->raceKey;
                        ++running;
                    }
                }
            EXPECT_GE(settled, 6);
            EXPECT_GE(running, 15);
            boardChecked = true;
        }
        const auto started = step();
        if (started)
            starts.push_back(now);
        for (size_t i = 0; i < live.races().size(); ++i) {
            const LiveRace& r = live.races()[i];
            if (r.lastAnnouncement && !firstLatest.contains(r.raceKey))
                firstLatest[r.raceKey] = *r.lastAnnouncement;
            if (!r.followedToPost || checkedAtPost.contains(i))
                continue;
            // At post the stored series is the generated series up to post.
            checkedAtPost.insert(i);
            EXPECT_LE(now.secondsUntil(r.post), 0);
            EXPECT_LE(r.post.secondsUntil(now), 60) << r.raceKey << " followed late";
            for (const auto& [spec, extension, size] :
                 {std::tuple{"0B41", kO1Extension, kO1RecordSize},
                  std::tuple{"0B42", kO2Extension, kO2RecordSize}}) {
                const auto stored =
                    readOddsLines(oddsFilePath(app.root(), r.raceKey, extension), size);
                EXPECT_EQ(stored, generatedUpTo(feedDir() / spec / (r.raceKey + ".jvd"), r.post))
                    << r.raceKey << extension;
            }
        }
    }
    EXPECT_TRUE(boardChecked);
    EXPECT_EQ(checkedAtPost.size(), 36u);
    EXPECT_TRUE(live.finished());
    for (size_t i = 0; i < live.races().size(); ++i)
        EXPECT_TRUE(live.races()[i].resultsStored) << live.races()[i].raceKey;
    // One request at a time, and no more than the budget in any minute.
    for (size_t i = 0; i < starts.size(); ++i) {
        int inMinute = 0;
        for (size_t j = i; j < starts.size() && starts[i].secondsUntil(starts[j]) < 60; ++j)
            ++inMinute;
        EXPECT_LE(inMinute, settings.budget);
    }
    // Each alert at the announcement where it first holds: raised soon after that
    // announcement (within a refresh), and the same alert the whole day's series gives
    // for it, compared with the announcement before it.
    ASSERT_FALSE(raised.empty());
    std::map<std::string, std::vector<OddsAlert>> whole; // race key: the day's alerts
    for (int index = 0; index < 36; ++index) {
        const auto race = wb->raceOfItem(index);
        ASSERT_TRUE(race);
        whole[race->raceKey] = seriesAlerts(*race, RaceOddsSeries::read(*race), 1,
                                            activeParamSet(wb->ini(), app.userSetFile()).params,
                                            readAlertSettings(wb->ini()));
    }
    std::set<std::string> raisedTexts;
    for (const auto& r : raised) {
        raisedTexts.insert(r.alert.text());
        const auto& day = whole[r.alert.raceKey];
        EXPECT_TRUE(std::any_of(day.begin(), day.end(), [&](const OddsAlert& a) {
            return a.text() == r.alert.text();
        })) << r.alert.text();
        const auto announced = announcementMoment(r.alert.raceKey, r.alert.timeKey);
        ASSERT_TRUE(announced);
        EXPECT_LE(r.when.secondsUntil(*announced), 0) << r.alert.text();
        // Nothing is held back to a later fetch: at most one far refresh late.
        EXPECT_LE(announced->secondsUntil(r.when), (settings.farEvery + 2) * 60) << r.alert.text();
    }
    // Every alert of an announcement after a race's first refresh with data was raised;
    // the first refresh compares only its newest announcement.
    int expected = 0;
    for (const auto& [key, alerts] : whole)
        for (const auto& a : alerts) {
            const auto announced = announcementMoment(key, a.timeKey);
            ASSERT_TRUE(announced);
            ASSERT_TRUE(firstLatest.contains(key));
            if (!(firstLatest[key] < *announced))
                continue;
            ++expected;
            EXPECT_TRUE(raisedTexts.contains(a.text())) << a.text();
        }
    EXPECT_GT(expected, 10);
}
