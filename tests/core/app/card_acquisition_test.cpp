#include "core/app/card_acquisition.h"
#include "core/app/recording_person.h"
#include "core/app/settings_keys.h"
#include "core/jvlink/jv_result_text.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/jvlink/scripted_jv_link.h"
#include "core/store/card_fixtures.h"
#include "core/store/race_card_files.h"
#include "core/text/clock.h"
#include "core/text/field.h"
#include "core/text/ini_file.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>

namespace sorvantix {
namespace {

using namespace testing_cards;
using test::RecordingPerson;
using test::ScriptedJvLink;

const std::string kStartTail =
    "以降のデータ取込を開始します。データ作成が終了するまで本ソフトを操作したり他のアプリケーシ"
    "ョンを操作することは極力避けてください。";
const std::string kNoNewData = "最新のデータがありません。";
const std::string kCancelled = "JVCancel:キャンセルされました";

// The acquisition window over a scratch application folder, with every message and
// every ProgressLabel text recorded.
struct Window
{
    explicit Window(const std::string& name, JvLink* link = nullptr)
        : app(name), ini(app.path() / "sorvantix.ini"),
          form(link != nullptr ? *link : jv, app.path(), ini, clock, person, stop,
               [this](const GetDataFormView& v) {
                   if (labels.empty() || labels.back() != v.ProgressLabel)
                       labels.push_back(v.ProgressLabel);
                   if (onProgress)
                       onProgress(v);
               })
    {
    }

    // Start from a fixed from-date, normal data, then tick until the timer stops.
    CardRunOutcome run(const LocalDateTime& from = {2024, 6, 1, 10, 20, 30})
    {
        form.FormCreate();
        form.setFromDate(from);
        return runCardAcquisition(form, {});
    }

    std::string lastTime() const { return ini.ReadString("JvDataGet", "LastTime", "<none>"); }

    ScratchAppDir app;
    TIniGT ini;
    SettableClock clock{{2024, 6, 20, 9, 0, 0}};
    RecordingPerson person;
    ScriptedJvLink jv;
    std::atomic<bool> stop{false};
    std::vector<std::string> labels;
    std::function<void(const GetDataFormView&)> onProgress;
    TGetDataForm form;
};

ScriptedJvLink::OpenResult opened(int result, int readCount = 0, int downloadCount = 0,
                                  std::string stamp = "")
{
    return {result, readCount, downloadCount, std::move(stamp)};
}

std::string key(const std::string& date, int race)
{
    return raceKey(date, 5, 3, 2, race);
}

TEST(CardAcquisitionDates, ParsesOnlyPossibleDatesAndTimes)
{
    EXPECT_EQ(parseLastTime("2024/02/29 23:59:58"), (LocalDateTime{2024, 2, 29, 23, 59, 58}));
    EXPECT_EQ(parseLastTime("2024/06/01"), (LocalDateTime{2024, 6, 1, 0, 0, 0}));
    for (const char* bad : {"", "2023/02/29 00:00:00", "2024/13/01 00:00:00", "2024/06/01 24:00:00",
                            "2024-06-01 10:00:00", "2024/6/1 1:2:3"})
        EXPECT_FALSE(parseLastTime(bad)) << bad;
    EXPECT_EQ(parseFromTime("20240615102030"), (LocalDateTime{2024, 6, 15, 10, 20, 30}));
    for (const char* bad : {"00000000000000", "2024061510203", "2024061510203x", "20240631000000"})
        EXPECT_FALSE(parseFromTime(bad)) << bad;
    EXPECT_EQ(fromTimeText({2024, 6, 5, 7, 8, 9}), "20240605070809");
}

struct CreateCase
{
    const char* stored; // nullptr: no "LastTime" key
    bool setup;
    LocalDateTime picker;
};

class CardFormCreateTest : public testing::TestWithParam<CreateCase>
{
};

TEST_P(CardFormCreateTest, ChoosesTheDataAndTheFromDate)
{
    Window w("acq-create");
    if (GetParam().stored != nullptr)
        w.ini.WriteString("JvDataGet", "LastTime", GetParam().stored);
    w.form.FormCreate();
    EXPECT_EQ(w.form.view().rbtSetup, GetParam().setup);
    EXPECT_EQ(w.form.view().DateTimePicker1, GetParam().picker);
    EXPECT_EQ(w.form.view().Label5, dateTimeText(GetParam().picker));
}

// Now is 2024/06/20 09:00:00; a year and a day back is 2023/06/20 (2024 is a leap year).
INSTANTIATE_TEST_SUITE_P(
    Cases, CardFormCreateTest,
    testing::Values(CreateCase{nullptr, true, {2023, 6, 20, 9, 0, 0}},
                    CreateCase{"", true, {2023, 6, 20, 9, 0, 0}},
                    CreateCase{"2024/05/01 10:20:30", false, {2024, 5, 1, 10, 20, 30}},
                    CreateCase{"not a date", false, {2023, 6, 20, 9, 0, 0}}));

TEST(CardAcquisition, OpensWithTheStartMessageFromTimeAndOption)
{
    Window w("acq-open");
    w.form.FormCreate(); // first use: set-up data
    w.form.setFromDate({2024, 6, 15, 10, 20, 30});
    w.jv.openResults.push_back(opened(jv::kOpenNoData));
    runCardAcquisition(w.form, {});
    w.form.setSetup(false);
    w.jv.openResults.push_back(opened(jv::kOpenNoData));
    runCardAcquisition(w.form, {});

    EXPECT_EQ(w.person.messages[0], "2024年06月15日10時20分30秒" + kStartTail);
    EXPECT_EQ(w.jv.calls, (std::vector<std::string>{"JVOpen RACE 20240615102030 3", "JVClose",
                                                    "JVOpen RACE 20240615102030 1", "JVClose"}));
}

struct OpenFailCase
{
    ScriptedJvLink::OpenResult open;
    std::string message;
    CardRunOutcome outcome;
};

class CardOpenFailTest : public testing::TestWithParam<OpenFailCase>
{
};

TEST_P(CardOpenFailTest, ShowsTheMessageAndCloses)
{
    Window w("acq-openfail");
    w.ini.WriteString("JvDataGet", "LastTime", "2024/05/01 00:00:00");
    w.jv.openResults.push_back(GetParam().open);
    EXPECT_EQ(w.run(), GetParam().outcome);
    ASSERT_EQ(w.person.messages.size(), 2u);
    EXPECT_EQ(w.person.messages[1], GetParam().message);
    EXPECT_EQ(w.jv.calls.back(), "JVClose");
    EXPECT_EQ(w.jv.calls.size(), 2u);
    EXPECT_EQ(w.person.beeps, 2); // the failure, then the successful close
    EXPECT_FALSE(w.form.view().busyCursor);
    EXPECT_EQ(w.lastTime(), "2024/05/01 00:00:00");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CardOpenFailTest,
    testing::Values(
        OpenFailCase{opened(jv::kOpenNoData, 0, 0, ""), kNoNewData, CardRunOutcome::NoNewData},
        OpenFailCase{opened(0, 0, 0, "20240602120000"), kNoNewData, CardRunOutcome::NoNewData},
        OpenFailCase{opened(jv::kServerMaintenance),
                     "JVOpenエラー:サーバーがメンテナンス中です。(-504)",
                     CardRunOutcome::OpenFailed},
        OpenFailCase{opened(jv::kOpenSetupCancelled),
                     "JVOpenエラー:セットアップダイアログでキャンセルが押されました。(-2)",
                     CardRunOutcome::OpenFailed},
        OpenFailCase{opened(jv::kStillOpen),
                     "JVOpenエラー:" + JvResultText("JVOpen", jv::kStillOpen),
                     CardRunOutcome::OpenFailed}));

TEST(CardAcquisition, StoresByTheBulkRulesAndListsEachStoredRecord)
{
    Window w("acq-read");
    const std::string day = "20240610";
    std::vector<std::string> stored = {
        ra(key(day, 11)).bytes(), se(key(day, 11), 7).bytes(),
        hr(key(day, 11), "A").bytes(),  // payouts of any data kind
        ra(key("20240605", 1)).bytes(), // from 20240615 the bound is 20240605
    };
    std::vector<std::string> skipped = {
        ra(key(day, 10), "A").bytes(),
        se(key(day, 10), 3, "B").bytes(),
        ra(key(day, 0)).bytes(),
        se(key(day, 10), 0).bytes(),
        ra(key("20240604", 1)).bytes(),
        hr(key("20240604", 1)).bytes(),
        RecordBuilder(RecordType::O1).setRaceKey(key(day, 11)).bytes(),
    };
    w.jv.openResults.push_back(opened(0, 2, 0, "20240602120000"));
    w.jv.queueRecord(stored[0]);
    w.jv.queueRecord(skipped[0]);
    w.jv.queueRecord(stored[1]);
    w.jv.queueRead(jv::kReadDownloading);
    w.jv.queueRecord(skipped[1]);
    w.jv.queueRecord(skipped[2]);
    w.jv.queueRecord(skipped[3]);
    w.jv.queueRead(jv::kReadFileSwitch);
    w.jv.queueRecord(stored[2]);
    w.jv.queueRecord(skipped[4]);
    w.jv.queueRecord(skipped[5]);
    w.jv.queueRecord(skipped[6]);
    w.jv.queueRecord(stored[3]);
    w.jv.queueRead(jv::kReadFileSwitch);

    EXPECT_EQ(w.run({2024, 6, 15, 10, 20, 30}), CardRunOutcome::Completed);

    ScratchAppDir reference("acq-read-ref");
    for (const auto& r : stored)
        storeCardRecord(reference.path(), r, CardWriter::Bulk);
    auto files = snapshot(w.app.path() / "Data");
    EXPECT_EQ(files, snapshot(reference.path() / "Data"));
    EXPECT_EQ(files.size(), 4u);

    EXPECT_EQ(w.form.view().ListBox1,
              (std::vector<std::string>{
                  "作成済み:11R/2024年06月10日.jvRA", "作成済み:11R/07番/2024年06月10日東京.jvSEr",
                  "作成済み:11R/2024年06月10日.jvHR", "作成済み:01R/2024年06月05日.jvRA"}));
    EXPECT_EQ(w.labels,
              (std::vector<std::string>{"", "JVOpen正常:正常に実行されました。(0)",
                                        "ReadCount:2, DownloadCount:0", "データ読込み中．．．(0/2)",
                                        "データ読込み中．．．(1/2)", "データ読込み中．．．(2/2)",
                                        "JVRead EndOfFile :0", "データ読込み完了(2/2)"}));
    EXPECT_EQ(w.form.view().ProgressBar1Position, 0);
    EXPECT_EQ(w.form.view().ProgressBar2Position, 0);
    EXPECT_EQ(w.person.messages.size(), 1u); // the start message only
    EXPECT_EQ(w.person.beeps, 2);            // end of data, then the close
    EXPECT_EQ(w.lastTime(), "2024/06/02 12:00:00");
    EXPECT_EQ(w.form.view().Label5, "2024/06/02 12:00:00");
    EXPECT_EQ(w.form.storedRecords(), 4);
    for (const auto& call : w.jv.calls) {
        if (call.rfind("JVRead", 0) == 0) {
            EXPECT_EQ(call, "JVRead 60000");
        }
    }
}

// From a from-date of June 1 the bound is the number 20240591: no day of May passes.
TEST(CardAcquisition, DateBoundIsArithmeticOnTheDayNumbers)
{
    Window w("acq-bound");
    w.jv.openResults.push_back(opened(0, 1, 0, ""));
    w.jv.queueRecord(ra(key("20240531", 1)).bytes());
    w.jv.queueRecord(hr(key("20240531", 1)).bytes());
    w.jv.queueRecord(ra(key("20240601", 1)).bytes());
    w.run({2024, 6, 1, 0, 0, 0});
    EXPECT_EQ(w.form.view().ListBox1, std::vector<std::string>{"作成済み:01R/2024年06月01日.jvRA"});
}

struct LastTimeCase
{
    std::string stamp;
    int downloads;
    std::string expected; // "LastTime" after the run
};

class CardLastTimeTest : public testing::TestWithParam<LastTimeCase>
{
};

TEST_P(CardLastTimeTest, IsWrittenOnlyAfterAWholeReadWithoutDownloads)
{
    Window w("acq-lasttime");
    w.ini.WriteString("JvDataGet", "LastTime", "2024/05/01 00:00:00");
    w.jv.openResults.push_back(opened(0, 1, GetParam().downloads, GetParam().stamp));
    w.jv.queueStatusProgress(GetParam().downloads);
    w.jv.queueRecord(ra(key("20240602", 1)).bytes());
    EXPECT_EQ(w.run(), CardRunOutcome::Completed);
    EXPECT_EQ(w.lastTime(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CardLastTimeTest,
                         testing::Values(LastTimeCase{"20240602120000", 0, "2024/06/02 12:00:00"},
                                         LastTimeCase{"20240602120000", 2, "2024/05/01 00:00:00"},
                                         LastTimeCase{"00000000000000", 0, "2024/05/01 00:00:00"},
                                         LastTimeCase{"   ", 0, "2024/05/01 00:00:00"},
                                         LastTimeCase{"2024060212", 0, "2024/05/01 00:00:00"}));

TEST(CardAcquisition, DownloadPhaseShowsProgressThenReads)
{
    Window w("acq-download");
    w.jv.openResults.push_back(opened(0, 3, 2, "20240602120000"));
    w.jv.statusResults = {0, 1, 2};
    w.jv.queueRecord(ra(key("20240602", 1)).bytes());
    w.form.FormCreate();
    w.form.setFromDate({2024, 6, 1, 0, 0, 0});
    w.form.ButtonStartClick();
    EXPECT_TRUE(w.form.view().TimerJVStatusEnabled);
    EXPECT_EQ(w.form.outcome(), CardRunOutcome::Downloading);
    EXPECT_EQ(w.form.view().ProgressLabel, "ダウンロード中・・・");
    EXPECT_EQ(w.form.view().ProgressBar1Max, 2);
    w.form.TimerJVStatusTimer();
    w.form.TimerJVStatusTimer();
    EXPECT_EQ(w.form.view().ProgressLabel, "ダウンロード中．．．(1/2)");
    EXPECT_EQ(w.form.view().ProgressBar1Position, 1);
    EXPECT_TRUE(w.form.view().TimerJVStatusEnabled);
    w.form.TimerJVStatusTimer();
    EXPECT_FALSE(w.form.view().TimerJVStatusEnabled);
    EXPECT_EQ(w.form.outcome(), CardRunOutcome::Completed);
    EXPECT_EQ(w.form.view().ListBox1.size(), 1u);
    EXPECT_EQ(w.jv.calls.back(), "JVClose");
    w.form.TimerJVStatusTimer(); // a stray tick after the run does nothing
    EXPECT_EQ(w.jv.calls.back(), "JVClose");
}

struct FailureCase
{
    std::function<void(ScriptedJvLink&)> script;
    std::string message;
    CardRunOutcome outcome;
    size_t listLines; // records stored before the failure
};

class CardFailureTest : public testing::TestWithParam<FailureCase>
{
};

TEST_P(CardFailureTest, ReportsClosesAndKeepsWhatWasStored)
{
    Window w("acq-failure");
    w.ini.WriteString("JvDataGet", "LastTime", "2024/05/01 00:00:00");
    GetParam().script(w.jv);
    EXPECT_EQ(w.run(), GetParam().outcome);
    EXPECT_EQ(w.person.messages.back(), GetParam().message);
    EXPECT_EQ(w.jv.calls.back(), "JVClose");
    EXPECT_EQ(w.form.view().ListBox1.size(), GetParam().listLines);
    EXPECT_EQ(snapshot(w.app.path() / "Data").size(), GetParam().listLines);
    EXPECT_FALSE(w.form.view().TimerJVStatusEnabled);
    EXPECT_EQ(w.lastTime(), "2024/05/01 00:00:00");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CardFailureTest,
    testing::Values(
        FailureCase{
            [](ScriptedJvLink& jv) {
                jv.openResults.push_back(opened(0, 2, 2, "20240602120000"));
                jv.statusResults = {0, jv::kDownloadFailed};
            },
            "JVStatusエラー:ダウンロードに失敗しました。（通信エラーやディスクエラーなど）(-"
            "502)",
            CardRunOutcome::StatusFailed, 0},
        FailureCase{[](ScriptedJvLink& jv) {
                        jv.openResults.push_back(opened(0, 2, 0, "20240602120000"));
                        jv.queueRecord(ra(key("20240602", 1)).bytes());
                        jv.queueRead(jv::kDownloadFailed);
                        jv.queueRecord(ra(key("20240602", 2)).bytes());
                    },
                    "JVReadエラー:ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)",
                    CardRunOutcome::ReadFailed, 1},
        FailureCase{[](ScriptedJvLink& jv) {
                        jv.openResults.push_back(opened(0, 0, 0, "20240602120000"));
                        jv.closeResults.push_back(-1);
                    },
                    "JVCloseエラー:(-1)", CardRunOutcome::NoNewData, 0}));

TEST(CardAcquisition, CloseErrorAfterAWholeReadStillSavesLastTime)
{
    Window w("acq-closeerr");
    w.jv.openResults.push_back(opened(0, 1, 0, "20240602120000"));
    w.jv.closeResults.push_back(-1);
    EXPECT_EQ(w.run(), CardRunOutcome::Completed);
    EXPECT_EQ(w.form.closeResult(), -1);
    EXPECT_EQ(w.person.messages.back(), "JVCloseエラー:(-1)");
    EXPECT_EQ(w.lastTime(), "2024/06/02 12:00:00");
}

TEST(CardAcquisition, CancelInTheDownloadPhaseCancelsAndCloses)
{
    Window w("acq-cancel-dl");
    w.jv.openResults.push_back(opened(0, 2, 2, "20240602120000"));
    w.jv.statusResults = {0, 1, 2};
    w.form.FormCreate();
    w.form.ButtonStartClick();
    w.form.TimerJVStatusTimer();
    w.person.answers = {false, true};
    EXPECT_FALSE(w.form.ButtonCancelClick());
    EXPECT_FALSE(w.stop);
    EXPECT_TRUE(w.form.ButtonCancelClick());
    EXPECT_EQ(w.person.questions,
              std::vector<std::string>(2, "データ取込を中止します。実行しますか？"));
    EXPECT_EQ(w.jv.calls.back(), "JVStatus"); // carried out by the next tick
    w.form.TimerJVStatusTimer();

    EXPECT_EQ(w.form.outcome(), CardRunOutcome::Cancelled);
    EXPECT_FALSE(w.form.view().TimerJVStatusEnabled);
    EXPECT_EQ(w.person.messages.back(), kCancelled);
    EXPECT_EQ(w.form.view().ProgressLabel, kCancelled);
    EXPECT_EQ(w.jv.calls, (std::vector<std::string>{"JVOpen RACE 20230620090000 3", "JVStatus",
                                                    "JVCancel", "JVClose"}));
    EXPECT_FALSE(w.form.view().busyCursor);
    EXPECT_EQ(w.lastTime(), "<none>");
}

TEST(CardAcquisition, CancelWhileReadingStopsAtTheNextReadAndKeepsTheStoredFiles)
{
    Window w("acq-cancel-read");
    w.jv.openResults.push_back(opened(0, 1, 0, "20240602120000"));
    w.jv.queueRecord(ra(key("20240602", 1)).bytes());
    w.jv.queueRecord(ra(key("20240602", 2)).bytes());
    // The flag is set from outside the loop (another thread or a signal handler in
    // the programs) after the first record has been stored.
    w.onProgress = [&](const GetDataFormView& v) {
        if (v.ListBox1.size() == 1)
            w.stop = true;
    };
    EXPECT_EQ(w.run(), CardRunOutcome::Cancelled);
    EXPECT_EQ(w.form.view().ListBox1.size(), 1u);
    EXPECT_EQ(readLinesRaw(w.app.data("2024年06月02日.jvRA")).size(), 1u);
    EXPECT_EQ(w.person.messages.back(), kCancelled);
    std::vector<std::string> tail(w.jv.calls.end() - 3, w.jv.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"JVRead 60000", "JVCancel", "JVClose"}));
    EXPECT_EQ(w.lastTime(), "<none>");

    // The next Start clears the flag and runs again.
    w.onProgress = {};
    w.jv.openResults.push_back(opened(0, 1, 0, "20240602120000"));
    EXPECT_EQ(runCardAcquisition(w.form, {}), CardRunOutcome::Completed);
    EXPECT_EQ(readLinesRaw(w.app.data("2024年06月02日.jvRA")).size(), 2u);
}

TEST(CardAcquisition, CancelWhenIdleShowsItsMessagesAtOnce)
{
    Window w("acq-cancel-idle");
    RecordingPerson asker;
    EXPECT_TRUE(w.form.ButtonCancelClick(asker));
    EXPECT_EQ(asker.questions, std::vector<std::string>{"データ取込を中止します。実行しますか？"});
    EXPECT_TRUE(w.person.questions.empty());
    EXPECT_TRUE(w.jv.calls.empty()); // nothing to stop; JV-Link may serve another request
    EXPECT_EQ(w.person.messages, std::vector<std::string>{kCancelled});
    EXPECT_EQ(w.person.beeps, 1);
}

TEST(CardAcquisition, DamagedRecordsArePassedOverAndCountedOnce)
{
    Window w("acq-damaged");
    std::string shortRa = ra(key("20240602", 1)).bytes();
    shortRa.erase(100, 10);
    std::string lettersKey = se(key("20240602", 1), 1).bytes();
    lettersKey.replace(11, 4, "20x4");
    w.jv.openResults.push_back(opened(0, 1, 0, "20240602120000"));
    w.jv.queueRecord(shortRa);
    w.jv.queueRecord(ra(key("20240602", 2)).bytes());
    w.jv.queueRecord(lettersKey);
    EXPECT_EQ(w.run(), CardRunOutcome::Completed);
    EXPECT_EQ(w.form.refusedRecords(), 1); // the bad key fails the date test first
    ASSERT_EQ(w.person.messages.size(), 2u);
    EXPECT_EQ(w.person.messages[1].rfind("取り込めないレコードを1件読み飛ばしました。", 0), 0u)
        << w.person.messages[1];
    EXPECT_EQ(w.form.view().ListBox1.size(), 1u);
}

TEST(CardAcquisition, FileFailureEndsTheRunClosesAndIsShown)
{
    Window w("acq-filefail");
    // A folder in the place of the day's .jvRA file cannot be replaced.
    fs::create_directories(w.app.data("2024年06月02日.jvRA") / "blocker");
    w.jv.openResults.push_back(opened(0, 1, 0, "20240602120000"));
    w.jv.queueRecord(se(key("20240601", 1), 1).bytes());
    w.jv.queueRecord(ra(key("20240602", 1)).bytes());
    w.jv.queueRecord(ra(key("20240603", 1)).bytes());
    EXPECT_EQ(w.run(), CardRunOutcome::StoreFailed);
    EXPECT_EQ(w.jv.calls.back(), "JVClose");
    EXPECT_FALSE(w.person.messages.back().empty());
    EXPECT_NE(w.person.messages.back(), kStartTail);
    EXPECT_TRUE(fs::exists(w.app.data("2024年06月01日東京.jvSEr"))); // the day before it
    EXPECT_EQ(w.lastTime(), "<none>");
}

TEST(CardAcquisition, JvLinkSettingsFailureIsShown)
{
    Window w("acq-settings");
    w.jv.setUiResults.push_back(jv::kUiBadParameter);
    w.form.SpeedButton1Click();
    EXPECT_EQ(w.person.messages,
              std::vector<std::string>{"JVSetUIPropertiesエラー：パラメータが不正あるいはレジストリ"
                                       "への保存に失敗しました。(-100)"});
    EXPECT_EQ(w.person.beeps, 1);
}

// End to end over the replay JV-Link and a small generated feed: the application
// folder ends byte for byte as storing the same records one by one leaves it.
class ReplayFeed
{
public:
    explicit ReplayFeed(const fs::path& appRoot) : m_feed(appRoot / "feed")
    {
        fs::create_directories(m_feed / "RACE");
    }

    void raceFile(const std::string& name, const std::vector<std::string>& records)
    {
        std::string bytes;
        for (const auto& r : records)
            bytes += r;
        writeFileAtomic(m_feed / "RACE" / (name + ".jvd"), bytes);
    }

    void faults(const std::string& text) { writeFileAtomic(m_feed / "faults.txt", text); }

private:
    fs::path m_feed;
};

TEST(CardAcquisitionReplay, ImportsTheFeedByteForByteAndResumesWhereItStopped)
{
    ScratchAppDir scratch("acq-replay-link");
    ReplayJvLink link(scratch.path());
    ASSERT_EQ(link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30"), 0);
    Window w("acq-replay", &link);
    ReplayFeed feed(scratch.path());

    // Two days, three venues' runners, payouts, an overseas race and a changed card.
    std::vector<std::string> first, second;
    for (int race = 1; race <= 3; ++race) {
        first.push_back(ra(raceKey("20240601", 5, 3, 1, race), "1").bytes());
        for (int horse = 1; horse <= 4; ++horse)
            first.push_back(se(raceKey("20240601", 5, 3, 1, race), horse).bytes());
        first.push_back(ra(raceKey("20240602", 6, 2, 8, race), "2").bytes());
        first.push_back(se(raceKey("20240602", 6, 2, 8, race), race + 5).bytes());
    }
    first.push_back(ra(raceKey("20240602", 5, 3, 2, 1), "A").bytes());
    second.push_back(hr(raceKey("20240601", 5, 3, 1, 2)).bytes());
    second.push_back(RecordBuilder::fromRecord(ra(raceKey("20240601", 5, 3, 1, 2), "2").bytes())
                         .set("race_name", "変更後のレース")
                         .bytes());
    feed.raceFile("20240601180000", first);
    feed.raceFile("20240602180000-results", second);

    // Set-up data from the start of the year; the files are not yet downloaded.
    w.form.FormCreate();
    EXPECT_TRUE(w.form.view().rbtSetup);
    w.form.setFromDate({2024, 1, 1, 0, 0, 0});
    EXPECT_EQ(runCardAcquisition(w.form, {}), CardRunOutcome::Completed);
    EXPECT_EQ(w.lastTime(), "<none>"); // a run with downloads keeps "LastTime"

    ScratchAppDir reference("acq-replay-ref");
    for (const auto* list : {&first, &second})
        for (const auto& r : *list)
            if (!bulkSkipsDataKind(r))
                storeCardRecord(reference.path(), r, CardWriter::Bulk);
    EXPECT_EQ(snapshot(w.app.path() / "Data"), snapshot(reference.path() / "Data"));
    EXPECT_EQ(w.form.view().ListBox1.size(), first.size() - 1 + second.size());

    // Cached now: no downloads, so the run saves the newest stamp.
    EXPECT_EQ(runCardAcquisition(w.form, {}), CardRunOutcome::Completed);
    EXPECT_EQ(w.lastTime(), "2024/06/02 18:00:00");
    EXPECT_EQ(snapshot(w.app.path() / "Data"), snapshot(reference.path() / "Data"));

    // From "LastTime" on there is nothing newer.
    w.form.FormCreate();
    EXPECT_FALSE(w.form.view().rbtSetup);
    EXPECT_EQ(runCardAcquisition(w.form, {}), CardRunOutcome::NoNewData);
    EXPECT_EQ(w.person.messages.back(), kNoNewData);
}

TEST(CardAcquisitionReplay, ReadErrorKeepsLastTimeAndTheNextRunReadsEverything)
{
    ScratchAppDir scratch("acq-replay-err-link");
    ReplayJvLink link(scratch.path());
    ASSERT_EQ(link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30"), 0);
    Window w("acq-replay-err", &link);
    ReplayFeed feed(scratch.path());
    std::vector<std::string> records;
    for (int race = 1; race <= 4; ++race)
        records.push_back(ra(raceKey("20240601", 5, 3, 1, race)).bytes());
    feed.raceFile("20240601180000", records);
    w.ini.WriteString("JvDataGet", "LastTime", "2024/05/01 00:00:00");

    // Download first (that run never saves "LastTime").
    w.run({2024, 5, 1, 0, 0, 0});
    fs::remove_all(w.app.path() / "Data");
    feed.faults("JVRead RACE * -502 at=3\n");
    w.form.FormCreate();
    EXPECT_EQ(runCardAcquisition(w.form, {}), CardRunOutcome::ReadFailed);
    EXPECT_EQ(w.form.view().ListBox1.size(), 2u);
    EXPECT_EQ(w.lastTime(), "2024/05/01 00:00:00");

    feed.faults("");
    w.form.FormCreate();
    EXPECT_EQ(runCardAcquisition(w.form, {}), CardRunOutcome::Completed);
    EXPECT_EQ(readLinesRaw(w.app.data("2024年06月01日.jvRA")).size(), 4u);
    EXPECT_EQ(w.lastTime(), "2024/06/01 18:00:00");
}

TEST(CardAcquisitionReplay, CancelDuringTheDownloadLeavesJvLinkFreeForTheNextOpen)
{
    ScratchAppDir scratch("acq-replay-cancel-link");
    ReplayJvLink link(scratch.path());
    ASSERT_EQ(link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30"), 0);
    Window w("acq-replay-cancel", &link);
    ReplayFeed feed(scratch.path());
    feed.raceFile("20240601180000", {ra(raceKey("20240601", 5, 3, 1, 1)).bytes()});
    feed.raceFile("20240602180000", {ra(raceKey("20240602", 5, 3, 2, 1)).bytes()});

    w.form.FormCreate();
    w.form.setFromDate({2024, 5, 1, 0, 0, 0});
    w.form.ButtonStartClick();
    ASSERT_TRUE(w.form.view().TimerJVStatusEnabled);
    w.form.ButtonCancelClick();
    w.form.TimerJVStatusTimer();
    EXPECT_EQ(w.form.outcome(), CardRunOutcome::Cancelled);
    EXPECT_EQ(w.form.closeResult(), 0);

    std::string buffer, name;
    int size = jv::kReadBufferSize;
    EXPECT_EQ(link.JVRTOpen("0B12", "20240601"), jv::kOpenNoData); // not -202
    link.JVClose();
    EXPECT_EQ(link.JVRead(buffer, size, name), jv::kNotOpened);
    EXPECT_EQ(runCardAcquisition(w.form, {}), CardRunOutcome::Completed);
    EXPECT_EQ(w.form.view().ListBox1.size(), 2u);
}

} // namespace
} // namespace sorvantix
