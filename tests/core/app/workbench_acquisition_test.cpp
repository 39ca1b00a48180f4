#include "core/app/recording_person.h"
#include "core/app/temp_dir.h"
#include "core/app/workbench.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/odds/odds_files.h"
#include "core/store/card_fixtures.h"
#include "core/store/race_card_files.h"
#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <future>
#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::RecordingPerson;
using sorvantix::test::TempDir;

namespace {

namespace fs = std::filesystem;

struct Race
{
    std::string key;
    int runners;
    int postTime;
};

const Race kFirst{"2026112905050801", 10, 1005};
const Race kSecond{"2026112905050802", 12, 1040};

std::string raRecord(const Race& r)
{
    RecordBuilder b(RecordType::RA);
    b.set("data_kind", "2").set("creation_date", 20261126).setRaceKey(r.key);
    b.set("post_time", r.postTime).set("registered", r.runners).set("distance", 1600);
    b.set("track", "11");
    return b.bytes();
}

std::string seRecord(const Race& r, int horse)
{
    RecordBuilder b(RecordType::SE);
    b.set("data_kind", "2").set("creation_date", 20261126).setRaceKey(r.key);
    b.set("bracket", 1).set("horse_no", horse);
    return b.bytes();
}

// Delivered odds of one announcement, every horse and pair priced.
std::string o1(const Race& r, const std::string& time)
{
    RecordBuilder b(RecordType::O1);
    b.set("data_kind", "2").set("creation_date", 20261129).setRaceKey(r.key);
    b.set("announce_time", time).set("registered", r.runners);
    for (int h = 1; h <= r.runners; ++h) {
        b.set("win_horse", h, h);
        b.set("win_odds", h, 20 + 15 * h);
    }
    return b.bytes();
}

std::string o2(const Race& r, const std::string& time)
{
    RecordBuilder b(RecordType::O2);
    b.set("data_kind", "2").set("creation_date", 20261129).setRaceKey(r.key);
    b.set("announce_time", time).set("registered", r.runners);
    for (int a = 1; a <= r.runners; ++a)
        for (int c = a + 1; c <= r.runners; ++c) {
            int k = umarenPairNumber(a, c);
            b.set("quinella_pair", k, format("%02d%02d", a, c));
            b.set("quinella_odds", k, 30 * (a + c) + 7 * a * c);
        }
    return b.bytes();
}

class WorkbenchAcquisitionTest : public testing::Test
{
protected:
    void SetUp() override
    {
        app.createFolders();
        for (const Race& r : {kFirst, kSecond}) {
            storeCardRecord(dir.path(), raRecord(r), CardWriter::Bulk);
            for (int h = 1; h <= r.runners; ++h)
                storeCardRecord(dir.path(), seRecord(r, h), CardWriter::Bulk);
            feed("0B41", r.key, o1(r, "11290930") + o1(r, "11290935"));
            feed("0B42", r.key, o2(r, "11290930") + o2(r, "11290935"));
        }
        ASSERT_EQ(link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30"), 0);
        bench = std::make_unique<Workbench>(app, person, clock);
        bench->connectJvLink(&link, inbox.poster());
        bench->MakeDataListBtnClick();
        bench->DateComboChange(0);
        ASSERT_EQ(bench->state().DatList.size(), 2u);
    }

    void feed(const std::string& spec, const std::string& name, const std::string& records)
    {
        fs::create_directories(dir.path() / "feed" / spec);
        writeFileAtomic(dir.path() / "feed" / spec / (name + ".jvd"), records);
    }

    // Runs the posted calls until every request of the bench has been handled.
    void settle()
    {
        ASSERT_TRUE(inbox.runUntil([&] { return bench->pendingRequests() == 0; },
                                   std::chrono::seconds(30)));
    }

    bool hasOddsFile(const Race& r, const char* extension) const
    {
        return fs::exists(oddsFilePath(dir.path(), r.key, extension));
    }

    TempDir dir;
    AppDir app{dir.path()};
    RecordingPerson person;
    SettableClock clock{LocalDateTime{2026, 11, 29, 9, 40, 0}};
    ReplayJvLink link{dir.path()};
    TaskInbox inbox;
    std::unique_ptr<Workbench> bench; // last: its queue stops before the link goes
};

TEST_F(WorkbenchAcquisitionTest, ARequestSubmittedWhileAnotherRunsWaitsAndThenSucceeds)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> started;
    bench->queue()->submit("blocker", [&](Progress&, const std::atomic<bool>&) {
        started.set_value();
        released.wait();
    });
    started.get_future().wait();

    std::vector<RequestOutcome> outcomes;
    RequestEvents events;
    events.done = [&](const RequestOutcome& o) { outcomes.push_back(o); };
    bench->DatListClick(1);
    EXPECT_NE(bench->requestOdds(1, events), 0u);
    EXPECT_EQ(bench->queue()->waiting(), 1u);
    EXPECT_EQ(bench->pendingRequests(), 1);
    EXPECT_FALSE(hasOddsFile(kSecond, kO1Extension));

    release.set_value();
    settle();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].end, RequestOutcome::End::Completed);
    EXPECT_TRUE(hasOddsFile(kSecond, kO1Extension));
    EXPECT_TRUE(hasOddsFile(kSecond, kO2Extension));
    EXPECT_FALSE(hasOddsFile(kFirst, kO1Extension));
    // The race was selected again and now lists its time points.
    const auto& s = bench->state();
    EXPECT_EQ(s.DatListIndex, 1);
    EXPECT_EQ(s.TimeCombo.size(), 2u);
    EXPECT_TRUE(s.Panel3Visible);
}

TEST_F(WorkbenchAcquisitionTest, RequestsNeedAQueueAndARace)
{
    Workbench unconnected(app, person, clock);
    unconnected.MakeDataListBtnClick();
    unconnected.DateComboChange(0);
    EXPECT_EQ(unconnected.requestOdds(0), 0u);
    EXPECT_EQ(unconnected.requestResults(true), 0u);
    EXPECT_EQ(bench->requestOdds(2), 0u);
    EXPECT_EQ(bench->requestOdds(-1), 0u);
    EXPECT_EQ(bench->pendingRequests(), 0);
}

TEST_F(WorkbenchAcquisitionTest, Timer2FetchesTheDueRaceAndItShowsItsTimePoints)
{
    Workbench& automatic = *bench;
    EXPECT_EQ(automatic.nextFetchText(), ""); // not switched on
    ASSERT_TRUE(automatic.AutoOzCheckClick(true));
    ASSERT_TRUE(automatic.autoControls().Timer2Enabled);

    // Race 1 is due at 09:35 (post 10:05 less 30), checked 5 minutes late.
    clock.set({2026, 11, 29, 9, 38, 50});
    EXPECT_EQ(automatic.nextFetchText(), "次回取得: 東京 1R 09:40（あと 1分10秒）");
    clock.set({2026, 11, 29, 9, 39, 0});
    EXPECT_TRUE(automatic.Timer2Timer().empty());
    clock.set({2026, 11, 29, 9, 40, 0});
    EXPECT_EQ(automatic.nextFetchText(), "次回取得: 東京 1R 09:40（あと 0分00秒）");
    EXPECT_EQ(automatic.Timer2Timer(), std::vector<int>{0});
    // Then the next race: 10:10 plus the delay.
    EXPECT_EQ(automatic.nextFetchText(), "次回取得: 東京 2R 10:15（あと 35分00秒）");
    settle();

    const auto& s = bench->state();
    EXPECT_TRUE(hasOddsFile(kFirst, kO1Extension));
    EXPECT_FALSE(hasOddsFile(kSecond, kO1Extension));
    EXPECT_EQ(s.DatListIndex, 0);
    EXPECT_EQ(s.TimeCombo.size(), 2u);
    EXPECT_TRUE(s.Panel3Visible);
    EXPECT_TRUE(s.store.AutoOddsDone[static_cast<size_t>(s.DatList[0].slot)]);
    // Done races are not fetched again within the same minute.
    EXPECT_TRUE(automatic.Timer2Timer().empty());
    EXPECT_EQ(bench->pendingRequests(), 0);
}

TEST_F(WorkbenchAcquisitionTest, Timer4FetchesTheResultsQuietly)
{
    ASSERT_TRUE(bench->autoControls().AutoResultTimerEnabled);
    feed("0B12", "20261129", testing_cards::hr(kFirst.key).bytes());
    int beepsBefore = person.beeps;
    EXPECT_TRUE(bench->Timer4Timer());
    settle();
    const auto& s = bench->state();
    EXPECT_TRUE(s.store.HrMerged[static_cast<size_t>(s.DatList[0].slot)]);
    EXPECT_FALSE(s.store.HrMerged[static_cast<size_t>(s.DatList[1].slot)]);
    EXPECT_EQ(person.beeps, beepsBefore);
    EXPECT_TRUE(person.messages.empty());

    // A failed open is only logged, without a beep.
    fs::remove(dir.path() / "feed" / "0B12" / "20261129.jvd");
    EXPECT_TRUE(bench->Timer4Timer());
    settle();
    EXPECT_EQ(person.beeps, beepsBefore);
}

} // namespace

namespace {

// What the listeners heard, one entry per notification.
struct Heard
{
    explicit Heard(Workbench& wb)
    {
        wb.addListener([this](Parts parts) { parts_.push_back(parts.text()); });
    }
    std::vector<std::string> take() { return std::exchange(parts_, {}); }
    std::vector<std::string> parts_;
};

TEST_F(WorkbenchAcquisitionTest, AnUnwritableErrorLogDuringAQueuedRequestIsAStatusText)
{
    // ErrorLog.txt cannot be written: a folder stands in its place.
    fs::remove(app.errorLogFile());
    fs::create_directories(app.errorLogFile());
    ASSERT_NE(bench->requestResults(true), 0u); // no 0B12 feed: the open fails, quietly
    settle();
    EXPECT_NE(bench->state().DLlabel.find("エラーログに書き込めません"), std::string::npos)
        << bench->state().DLlabel;
    EXPECT_TRUE(person.messages.empty());
    // The program goes on.
    ASSERT_NE(bench->requestOdds(0), 0u);
    settle();
    EXPECT_TRUE(bench->state().Panel3Visible);
}

TEST_F(WorkbenchAcquisitionTest, AnExceptionInAPostedCallbackIsShownAndTheProgramGoesOn)
{
    RequestEvents events;
    events.done = [](const RequestOutcome&) { throw std::runtime_error("view went away"); };
    ASSERT_NE(bench->requestOdds(0, events), 0u);
    settle();
    ASSERT_FALSE(person.messages.empty());
    EXPECT_NE(person.messages.back().find("view went away"), std::string::npos);
    EXPECT_EQ(bench->pendingRequests(), 0);
    // The Workbench's own handling ran before the caller's callback threw.
    EXPECT_TRUE(bench->state().Panel3Visible);
    bench->DatListClick(1);
    ASSERT_NE(bench->requestOdds(1), 0u);
    settle();
    EXPECT_EQ(bench->state().DatListIndex, 1);
    EXPECT_EQ(bench->state().TimeCombo.size(), 2u);
}

TEST_F(WorkbenchAcquisitionTest, AQueuedRequestsMessagesComeAfterItsCompletion)
{
    // The schedule fetch ends with a beep and "データ作成が完了しました。" raised on the
    // worker: they are shown once the completion has been handled, never before.
    std::optional<TOddsSchejForm> form = bench->OzGetBtnClick();
    ASSERT_TRUE(form);
    form->setChecked(0, true);
    std::optional<ScheduleFetch> fetch = form->fetchPlan(person);
    ASSERT_TRUE(fetch);
    std::vector<std::string> seenAtDone;
    RequestEvents events;
    events.done = [&](const RequestOutcome&) { seenAtDone = person.messages; };
    person.messages.clear();
    ASSERT_NE(bench->requestScheduleFetch(std::move(*fetch), events), 0u);
    settle();
    EXPECT_TRUE(seenAtDone.empty());
    EXPECT_EQ(person.messages, std::vector<std::string>{"データ作成が完了しました。"});
}

TEST_F(WorkbenchAcquisitionTest, ARaceDayFlowIsHeardByTheListeners)
{
    Heard heard(*bench);
    bench->MakeDataListBtnClick();
    EXPECT_EQ(heard.take(), std::vector<std::string>{"DayList|RaceList"});

    bench->DateComboChange(0);
    auto loaded = heard.take();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_NE(loaded[0].find("DayList|RaceList"), std::string::npos) << loaded[0];

    // Nothing changes: nothing is said.
    bench->SpeedButton1Click(SortButton::HorseNumber);
    EXPECT_TRUE(heard.take().empty());

    // A request: its start is heard (a request runs), then its completion, which
    // selects the race again with its new time points and grids.
    ASSERT_NE(bench->requestOdds(0), 0u);
    auto submitted = heard.take();
    ASSERT_EQ(submitted.size(), 1u);
    EXPECT_EQ(submitted[0], "Enabled");
    settle();
    auto completed = heard.take();
    ASSERT_FALSE(completed.empty());
    EXPECT_NE(completed.back().find("TimeList"), std::string::npos) << completed.back();
    EXPECT_NE(completed.back().find("Grids"), std::string::npos) << completed.back();
    EXPECT_NE(completed.back().find("Enabled"), std::string::npos) << completed.back();

    ASSERT_EQ(bench->state().TimeComboIndex, 0);
    bench->TimeComboChange(1);
    auto chosen = heard.take();
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_NE(chosen[0].find("TimeList"), std::string::npos);

    // The box and the timer-driven fetch are heard like the buttons.
    ASSERT_TRUE(bench->AutoOzCheckClick(true));
    EXPECT_EQ(heard.take(), std::vector<std::string>{"Enabled"});
    clock.set({2026, 11, 29, 10, 15, 0}); // race 2 is due at 10:10 (post 10:40 less 30)
    ASSERT_EQ(bench->Timer2Timer(), std::vector<int>{1});
    settle();
    auto timed = heard.take();
    ASSERT_FALSE(timed.empty());
    EXPECT_NE(timed.back().find("Odds"), std::string::npos) << timed.back();
    // The fetch selected its race as the window's steps do, and the person stays with
    // the race they were looking at.
    EXPECT_TRUE(bench->state().Panel3Visible);
    EXPECT_EQ(bench->state().DatListIndex, 0);
    EXPECT_EQ(bench->state().TimeComboIndex, 1);
}

} // namespace

// The live following goes by race keys: while another day is shown it waits (and says
// so), and it goes on when today's day is shown again.
TEST_F(WorkbenchAcquisitionTest, LiveFollowingWaitsWhileAnotherDayIsShown)
{
    const Race yesterday{"2026112805050701", 10, 1005};
    storeCardRecord(dir.path(), raRecord(yesterday), CardWriter::Bulk);
    bench->MakeDataListBtnClick();
    ASSERT_EQ(bench->state().DateCombo.size(), 2u);
    bench->DateComboChange(0); // today, the newest
    bench->chooseLive(true);
    ASSERT_TRUE(bench->AutoOzCheckClick(true));
    ASSERT_TRUE(bench->liveRunning());
    auto first = bench->liveTick();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->index, 0); // the race nearest its post
    EXPECT_EQ(first->text, "東京 1R");
    EXPECT_FALSE(bench->liveTick()); // one request at a time
    settle();
    EXPECT_TRUE(hasOddsFile(kFirst, kO1Extension));

    bench->DateComboChange(1);
    EXPECT_FALSE(bench->liveTick());
    EXPECT_EQ(bench->liveStatusText(), "ライブ: 本日のレースを表示すると続けます");
    EXPECT_EQ(bench->pendingRequests(), 0);

    bench->DateComboChange(0);
    auto next = bench->liveTick();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->text, "東京 2R");
    settle();
    EXPECT_TRUE(hasOddsFile(kSecond, kO1Extension));
}

// ライブ ticked while the automatic acquisition runs and another day is shown: today's
// races are followed once today is shown, not the day on screen.
TEST_F(WorkbenchAcquisitionTest, LiveChosenOnAnotherDayFollowsTodayOnceItIsShown)
{
    const Race yesterday{"2026112805050701", 10, 1005};
    storeCardRecord(dir.path(), raRecord(yesterday), CardWriter::Bulk);
    bench->MakeDataListBtnClick();
    bench->DateComboChange(0);
    ASSERT_TRUE(bench->AutoOzCheckClick(true)); // one fetch per race, as the Part has it
    bench->DateComboChange(1);
    ASSERT_TRUE(bench->LiveCheckClick(true).isDone());
    ASSERT_TRUE(bench->liveRunning());
    EXPECT_FALSE(bench->liveTick());
    EXPECT_TRUE(bench->liveSchedule().races().empty());
    EXPECT_EQ(bench->liveStatusText(), "ライブ: 本日のレースを表示すると続けます");

    bench->DateComboChange(0);
    auto first = bench->liveTick();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text, "東京 1R");
    EXPECT_EQ(bench->liveSchedule().races().size(), 2u);
    settle();
    // Switched off and on again, the race already refreshed goes on where it was.
    bench->LiveCheckClick(false);
    bench->LiveCheckClick(true);
    ASSERT_EQ(bench->liveSchedule().races().size(), 2u);
    EXPECT_TRUE(bench->liveSchedule().races()[0].lastRefresh.has_value());
    EXPECT_EQ(bench->liveSchedule().requestsInLastMinute(clock.now()), 1);
}
