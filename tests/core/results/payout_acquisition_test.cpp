#include "core/app/recording_person.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/jvlink/scripted_jv_link.h"
#include "core/results/payout_acquisition.h"
#include "core/store/card_fixtures.h"
#include "core/store/race_card_files.h"
#include "core/text/clock.h"
#include "core/text/error_log.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>

namespace sorvantix {
namespace {

using namespace testing_cards;
using test::RecordingPerson;
using test::ScriptedJvLink;

const DayName kDay{2024, 6, 2};

std::string key(int race, int venue = 5, const std::string& date = "20240602")
{
    return raceKey(date, venue, 3, 2, race);
}

// An application folder holding the race cards of 2024-06-02 at 東京 (races 1-3, five
// runners each) and the day store loaded from it, race 2 selected.
struct ResultsDay
{
    explicit ResultsDay(const std::string& name)
        : app(name), log(app.path() / "ErrorLog.txt", clock,
                         [this](const std::string& m) { person.status(m); })
    {
        for (int race = 1; race <= 3; ++race) {
            cards.push_back(ra(key(race), "1", 5).bytes());
            for (int horse = 1; horse <= 5; ++horse)
                cards.push_back(se(key(race), horse, "1").bytes());
        }
        for (const auto& r : cards)
            storeCardRecord(app.path(), r, CardWriter::Bulk);
        store = loadDay(app.path(), kDay, DayStore()).store;
    }

    DayResultsFetch get(bool autoMode = false, JvLink* link = nullptr)
    {
        return fetchDayResults(link != nullptr ? *link : jv, app.path(), store, 1, autoMode, person,
                               [this](const std::string& m) { log.append(m); });
    }

    std::vector<std::string> logLines() const
    {
        return fs::exists(log.file()) ? readLinesText(log.file()) : std::vector<std::string>{};
    }

    // The day files as storing `delivered` one by one with the real-time rules leaves
    // them.
    std::map<std::string, std::string> expected(const std::vector<std::string>& delivered) const
    {
        ScratchAppDir reference(app.path().filename().string() + "-ref");
        for (const auto& r : cards)
            storeCardRecord(reference.path(), r, CardWriter::Bulk);
        for (const auto& r : delivered)
            storeCardRecord(reference.path(), r, CardWriter::Realtime);
        return snapshot(reference.path() / "Data");
    }

    ScratchAppDir app;
    SettableClock clock{{2024, 6, 2, 16, 45, 10}};
    RecordingPerson person;
    ErrorLog log;
    ScriptedJvLink jv;
    std::vector<std::string> cards;
    DayStore store;
};

// Results of race 2 (a changed card, a runner's placing, payouts) and records the
// real-time writer drops or passes over.
std::vector<std::string> resultRecords()
{
    return {
        RecordBuilder::fromRecord(ra(key(2), "7", 5).bytes()).set("finishers", 5).bytes(),
        RecordBuilder::fromRecord(se(key(2), 4, "7").bytes()).set("finish_pos", 1).bytes(),
        hr(key(2), "2").bytes(),
        hr(key(3), "1").bytes(),
        ra(key(1, 6), "7").bytes(),             // 中山 joins the day's .jvRA
        se(key(1, 6), 1, "7").bytes(),          // but has no .jvSEr: dropped
        ra(key(1, 5, "20240609"), "7").bytes(), // a day without race cards: dropped
        se(key(0), 1, "7").bytes(),             // race number 0: passed over
        RecordBuilder(RecordType::O1).setRaceKey(key(2)).bytes(), // not a card record
    };
}

TEST(KekkaGet, WithoutALoadedDayDoesNothing)
{
    ResultsDay d("kekka-noday");
    d.store = DayStore();
    EXPECT_FALSE(d.get().ran);
    EXPECT_TRUE(d.jv.calls.empty());
    EXPECT_TRUE(d.person.statuses.empty());
}

TEST(KekkaGet, MergesTheDaysResultsByTheRealtimeRules)
{
    ResultsDay d("kekka-merge");
    auto records = resultRecords();
    for (size_t i = 0; i < records.size(); ++i) {
        d.jv.queueRecord(records[i]);
        if (i == 3)
            d.jv.queueRead(jv::kReadFileSwitch);
    }
    DayResultsFetch r = d.get();
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.read.stored, 5);
    EXPECT_EQ(r.read.dropped, 2);
    EXPECT_EQ(snapshot(d.app.path() / "Data"), d.expected(records));
    EXPECT_FALSE(fs::exists(d.app.data("2024年06月09日.jvRA")));
    EXPECT_EQ(d.jv.calls.front(), "JVRTOpen 0B12 20240602");
    EXPECT_EQ(std::vector<std::string>(d.jv.calls.end() - 2, d.jv.calls.end()),
              (std::vector<std::string>{"JVClose", "JVClose"}));
    EXPECT_EQ(d.person.statuses, (std::vector<std::string>{"払戻データ取得中", ""}));
    EXPECT_EQ(d.person.beeps, 2); // each successful close
    EXPECT_TRUE(d.logLines().empty());
}

class KekkaGetFailureTest : public testing::TestWithParam<bool>
{
};

TEST_P(KekkaGetFailureTest, FailedOpenIsLoggedUnderTheSelectedRace)
{
    const bool autoMode = GetParam();
    ResultsDay d("kekka-openfail");
    d.jv.rtOpenResults = {jv::kServerMaintenance};
    DayResultsFetch r = d.get(autoMode);
    EXPECT_TRUE(r.ran); // the payout import still runs
    EXPECT_EQ(r.openResult, jv::kServerMaintenance);
    const std::string label = "東京 2R:払戻データ取得エラー：サーバーがメンテナンス中です。(-504)";
    EXPECT_EQ(d.logLines(), std::vector<std::string>{"【エラー】16:45:10：" + label});
    EXPECT_EQ(d.person.statuses, (std::vector<std::string>{"払戻データ取得中", label, ""}));
    EXPECT_EQ(d.jv.calls,
              (std::vector<std::string>{"JVRTOpen 0B12 20240602", "JVClose", "JVClose"}));
    EXPECT_EQ(d.person.beeps, autoMode ? 0 : 3);
}

TEST_P(KekkaGetFailureTest, ReadErrorKeepsWhatWasMergedAndIsLoggedWithoutABeep)
{
    const bool autoMode = GetParam();
    ResultsDay d("kekka-readfail");
    auto records = resultRecords();
    d.jv.queueRecord(records[2]);
    d.jv.queueRead(jv::kDownloadFailed);
    d.jv.queueRecord(records[3]);
    d.jv.closeResults = {0, -1};
    DayResultsFetch r = d.get(autoMode);
    EXPECT_EQ(r.read.readEnd, jv::kDownloadFailed);
    EXPECT_EQ(snapshot(d.app.path() / "Data"), d.expected({records[2]}));
    EXPECT_EQ(
        d.logLines(),
        (std::vector<std::string>{
            "【エラー】16:45:10：ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)",
            "【エラー】16:45:10：JVCloseエラー:(-1)"}));
    EXPECT_EQ(d.person.beeps, autoMode ? 0 : 1); // the first close only
}

INSTANTIATE_TEST_SUITE_P(ManualAndAutomatic, KekkaGetFailureTest, testing::Bool());

TEST(KekkaGet, RecordsOfAnotherDayNeverChangeThatDaysFiles)
{
    // A day's results stream that also carries a payout of another day whose files
    // exist: that day's files stay as they were.
    ResultsDay d("kekka-other-day");
    const std::string otherDay = "20240601";
    storeCardRecord(d.app.path(), ra(key(1, 5, otherDay), "1", 5).bytes(), CardWriter::Bulk);
    storeCardRecord(d.app.path(), hr(key(1, 5, otherDay), "2").bytes(), CardWriter::Bulk);
    const auto before = snapshot(d.app.path() / "Data");
    d.jv.queueRecord(hr(key(1, 5, otherDay), "7").bytes());
    d.jv.queueRecord(ra(key(1, 5, otherDay), "7").bytes());
    DayResultsFetch r = d.get();
    EXPECT_EQ(r.read.stored, 0);
    EXPECT_EQ(r.read.otherDay, 2);
    EXPECT_FALSE(r.complete());
    EXPECT_EQ(snapshot(d.app.path() / "Data"), before);
}

TEST(KekkaGet, DamagedRecordsAreCountedInOneLogLine)
{
    ResultsDay d("kekka-damaged");
    std::string shortHr = hr(key(2)).bytes();
    shortHr.erase(10, 1);
    d.jv.queueRecord(shortHr);
    d.jv.queueRecord(shortHr);
    d.jv.queueRecord(hr(key(3)).bytes());
    DayResultsFetch r = d.get();
    EXPECT_EQ(r.read.refused, 2);
    EXPECT_EQ(r.read.stored, 1);
    ASSERT_EQ(d.logLines().size(), 1u);
    EXPECT_NE(d.logLines()[0].find("取り込めないレコードを2件読み飛ばしました。"),
              std::string::npos);
}

TEST(ImportDayPayouts, ReloadsCardsAndMergesPayoutsByRaceKey)
{
    ResultsDay d("hrread");
    const std::string odds(kO1RecordLength, 'o');
    d.store.O1Recs[1] = odds;
    d.store.SeRecs[0][17] = "kept";
    d.store.HrMerged[2] = true;
    auto records = resultRecords();
    storeCardRecord(d.app.path(), records[0], CardWriter::Realtime);
    storeCardRecord(d.app.path(), records[1], CardWriter::Realtime);
    storeCardRecord(d.app.path(), records[2], CardWriter::Realtime);
    storeCardRecord(d.app.path(), records[3], CardWriter::Realtime);
    storeCardRecord(d.app.path(), hr(key(9)).bytes(), CardWriter::Realtime); // no such race

    PayoutImport import = importDayPayouts(d.app.path(), kDay, d.store);
    EXPECT_TRUE(import.raFileFound);
    EXPECT_TRUE(import.hrFileFound);
    EXPECT_EQ(import.raceCount, 3);
    std::string raLine = records[0];
    raLine.replace(2, 9, "000000000");
    EXPECT_EQ(d.store.RaRecs[1], raLine);
    EXPECT_EQ(d.store.SeRecs[1][3], records[1]);
    EXPECT_EQ(d.store.HrRecs[1], records[2]);
    EXPECT_EQ(d.store.HrRecs[2], records[3]);
    EXPECT_EQ(d.store.HrRecs[0], std::string(kHrRecordLength, ' '));
    EXPECT_EQ(d.store.HrMerged, (std::array<bool, kRaceSlots>{false, true, true}));
    EXPECT_EQ(import.newlyMerged, (std::array<bool, kRaceSlots>{false, true, false}));
    EXPECT_EQ(d.store.O1Recs[1], odds); // the loaded time point stays
    EXPECT_EQ(d.store.SeRecs[0][17], "kept");
}

TEST(ImportDayPayouts, WithoutAPayoutFileKeepsThePayoutSlots)
{
    ResultsDay d("hrread-nohr");
    d.store.HrRecs[0] = "earlier";
    PayoutImport import = importDayPayouts(d.app.path(), kDay, d.store);
    EXPECT_FALSE(import.hrFileFound);
    EXPECT_EQ(d.store.HrRecs[0], "earlier");
}

TEST(KekkaGetReplay, MergesTheFeedDayByteForByte)
{
    ResultsDay d("kekka-replay");
    ReplayJvLink link(d.app.path());
    ASSERT_EQ(link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30"), 0);
    auto records = resultRecords();
    std::string feed;
    for (const auto& r : records)
        feed += r;
    fs::create_directories(d.app.path() / "feed" / "0B12");
    writeFileAtomic(d.app.path() / "feed" / "0B12" / "20240602.jvd", feed);

    DayResultsFetch r = d.get(false, &link);
    EXPECT_EQ(r.openResult, 0);
    EXPECT_EQ(snapshot(d.app.path() / "Data"), d.expected(records));
    EXPECT_TRUE(d.logLines().empty());
    PayoutImport import = importDayPayouts(d.app.path(), kDay, d.store);
    EXPECT_TRUE(d.store.HrMerged[1] && d.store.HrMerged[2]);
    EXPECT_TRUE(import.warnings.empty());
}

} // namespace
} // namespace sorvantix
