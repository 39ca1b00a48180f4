#include "core/app/recording_person.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/jvlink/scripted_jv_link.h"
#include "core/odds/odds_files.h"
#include "core/odds/realtime_odds.h"
#include "core/store/card_fixtures.h"
#include "core/store/day_store.h"
#include "core/store/record_builder.h"
#include "core/text/clock.h"
#include "core/text/error_log.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace sorvantix {
namespace {

using namespace testing_cards;
using test::RecordingPerson;
using test::ScriptedJvLink;

const std::string kKey = "2024060206030811"; // 中山 race 11

std::string o1(const std::string& time, const std::string& kind = "2",
               const std::string& key = kKey)
{
    std::string record = RecordBuilder(RecordType::O1)
                             .setRaceKey(kKey)
                             .set("data_kind", kind)
                             .set("announce_time", time)
                             .bytes();
    return record.replace(11, 16, key); // also keys that are no race key
}

std::string o2(const std::string& time, const std::string& pool = "00000012345")
{
    return RecordBuilder(RecordType::O2)
        .setRaceKey(kKey)
        .set("data_kind", "2")
        .set("announce_time", time)
        .set("quinella_pool", pool)
        .bytes();
}

// The stored line of a delivered record: data kind "0", CR LF kept as the line end.
std::string storedLine(std::string record)
{
    record[2] = '0';
    return record;
}

struct OddsRun
{
    explicit OddsRun(const std::string& name)
        : app(name), log(app.path() / "ErrorLog.txt", clock,
                         [this](const std::string& m) { person.status(m); })
    {
    }

    RaceOddsFetch run(const std::atomic<bool>* cancel = nullptr, JvLink* link = nullptr)
    {
        return fetchRaceOdds(
            link != nullptr ? *link : jv, app.path(), ra(kKey).bytes(), lists, person,
            [this](const std::string& m) { log.append(m); }, cancel);
    }

    std::string file(const char* extension) const
    {
        auto path = oddsFilePath(app.path(), kKey, extension);
        return fs::exists(path) ? readFileBytes(path) : "<none>";
    }

    std::vector<std::string> logLines() const
    {
        return fs::exists(log.file()) ? readLinesText(log.file()) : std::vector<std::string>{};
    }

    ScratchAppDir app;
    SettableClock clock{{2024, 6, 2, 15, 20, 0}};
    RecordingPerson person;
    ErrorLog log;
    ScriptedJvLink jv;
    OddsRecvLists lists;
};

struct CollectCase
{
    std::string record;
    OddsCollect expected;
    int list; // 1 or 2 when collected
};

class CollectOddsRecordTest : public testing::TestWithParam<CollectCase>
{
};

TEST_P(CollectOddsRecordTest, AcceptsOnlyLiveOddsOfARace)
{
    OddsRecvLists lists;
    std::string reason;
    EXPECT_EQ(CollectOddsRecord(GetParam().record, lists, &reason), GetParam().expected);
    const auto& got = GetParam().list == 2 ? lists.O2RecvList : lists.O1RecvList;
    EXPECT_EQ(lists.O1RecvList.size() + lists.O2RecvList.size(),
              GetParam().expected == OddsCollect::Collected ? 1u : 0u);
    if (GetParam().expected == OddsCollect::Collected) {
        ASSERT_EQ(got.size(), 1u);
        std::string line = storedLine(GetParam().record);
        EXPECT_EQ(got[0], line.substr(0, line.size() - 2));
    }
    EXPECT_EQ(reason.empty(), GetParam().expected != OddsCollect::Refused);
}

std::string cut(std::string record, size_t at, size_t count)
{
    return record.erase(at, count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CollectOddsRecordTest,
    testing::Values(CollectCase{o1("06021510", "2"), OddsCollect::Collected, 1},
                    CollectCase{o1("06021510", "1"), OddsCollect::Collected, 1},
                    CollectCase{o2("06021510"), OddsCollect::Collected, 2},
                    CollectCase{o1("06021510", "0"), OddsCollect::Ignored, 0},
                    CollectCase{o1("06021510", "9"), OddsCollect::Ignored, 0},
                    CollectCase{o1("06021510", "2", "2024060206030800"), OddsCollect::Ignored, 0},
                    CollectCase{ra(kKey).bytes(), OddsCollect::Ignored, 0},
                    CollectCase{cut(o1("06021510"), 500, 1), OddsCollect::Refused, 0},
                    CollectCase{cut(o2("06021510"), 2040, 2), OddsCollect::Refused, 0},
                    CollectCase{o1("06021510", "2", "20240602060308x1"), OddsCollect::Ignored, 0},
                    CollectCase{o1("06021510", "2", "2024O60206030811"), OddsCollect::Refused, 0}));

TEST(SokuhoOdds, RecordsOfAnotherRaceNeverReplaceItsSeries)
{
    // The stream's first record carries another race's key (another day too): before,
    // it named the file, replaced that race's series and the requested race lost its
    // good lines.
    OddsRun r("odds-other-race");
    const std::string other = "2024060906030811";
    const fs::path otherFile = oddsFilePath(r.app.path(), other, ".jvO1");
    fs::create_directories(otherFile.parent_path());
    const std::string otherSeries =
        storedLine(o1("06090900", "2", other)) + storedLine(o1("06090930", "2", other));
    writeFileAtomic(otherFile, otherSeries);
    r.jv.queueRecord(o1("06021500", "2", other));
    r.jv.queueRecord(o1("06021500"));
    r.jv.queueRecord(o1("06021510"));
    r.jv.queueRead(jv::kReadEnd);
    r.jv.queueRecord(o2("06021510"));

    auto result = r.run();
    EXPECT_EQ(result.o1, OddsRequestOutcome::Stored);
    EXPECT_EQ(result.linesO1, 2);
    EXPECT_EQ(r.file(".jvO1"), storedLine(o1("06021500")) + storedLine(o1("06021510")));
    EXPECT_EQ(readFileBytes(otherFile), otherSeries);
    ASSERT_EQ(r.logLines().size(), 1u);
    EXPECT_NE(r.logLines()[0].find(otherRaceLinesText(kKey, 1)), std::string::npos);
}

TEST(SokuhoOdds, ASeriesThatLostARecordIsNotComplete)
{
    OddsRun r("odds-lost");
    r.jv.queueRecord(o1("06021500"));
    r.jv.queueRecord(cut(o1("06021505"), 500, 1)); // damaged: refused
    r.jv.queueRecord(o1("06021510"));
    r.jv.queueRead(jv::kReadEnd);
    r.jv.queueRecord(o2("06021510"));
    auto result = r.run();
    EXPECT_EQ(result.o1, OddsRequestOutcome::Stored);
    EXPECT_EQ(result.refused, 1);
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(r.file(".jvO1"), storedLine(o1("06021500")) + storedLine(o1("06021510")));
}

TEST(SokuhoOdds, APartialReadKeepsDamagedStoredRecordsInPlace)
{
    // The stored series has a stray LF inside one record. The merge of a partial read
    // used to split the file on line breaks, misaligning every later record.
    OddsRun r("odds-merge-damaged");
    const fs::path file = oddsFilePath(r.app.path(), kKey, ".jvO1");
    fs::create_directories(file.parent_path());
    std::string damaged = storedLine(o1("06020905"));
    damaged[500] = '\n';
    const std::string stored = storedLine(o1("06020900")) + damaged + storedLine(o1("06020910"));
    writeFileAtomic(file, stored);
    r.jv.queueRecord(o1("06021500"));
    r.jv.queueRead(-502); // the read fails after one record: merged, not replaced
    r.jv.queueRecord(o2("06021510"));
    auto result = r.run();
    EXPECT_EQ(result.o1, OddsRequestOutcome::ReadFailed);
    EXPECT_EQ(r.file(".jvO1"), stored + storedLine(o1("06021500")));
}

TEST(SokuhoOdds, BlankSlotDoesNothing)
{
    OddsRun r("odds-blank");
    OddsRecvLists lists;
    auto result = fetchRaceOdds(r.jv, r.app.path(), DayStore().RaRecs[0], lists, r.person,
                                [](const std::string&) {});
    EXPECT_FALSE(result.ran);
    EXPECT_TRUE(r.jv.calls.empty());
    EXPECT_TRUE(r.person.statuses.empty());
}

TEST(SokuhoOdds, FetchesO1ThenO2AndMergesEachIntoItsStoredSeries)
{
    OddsRun r("odds-both");
    fs::create_directories(oddsFilePath(r.app.path(), kKey, ".jvO1").parent_path());
    writeFileAtomic(oddsFilePath(r.app.path(), kKey, ".jvO1"), storedLine(o1("06020900")));
    r.jv.queueRecord(o1("06021510"));
    r.jv.queueRead(jv::kReadFileSwitch);
    r.jv.queueRecord(o1("06021500"));
    r.jv.queueRead(jv::kReadDownloading);
    r.jv.queueRecord(o2("06021450")); // collected, but the O2 request clears it
    r.jv.queueRecord(o1("06021505", "9"));
    r.jv.queueRead(jv::kReadEnd);
    r.jv.queueRecord(o2("06021510"));

    auto result = r.run();
    EXPECT_TRUE(result.ran);
    EXPECT_EQ(result.o1, OddsRequestOutcome::Stored);
    EXPECT_EQ(result.o2, OddsRequestOutcome::Stored);
    // The stored 9:00 announcement stays: a read never shrinks a series.
    EXPECT_EQ(r.file(".jvO1"),
              storedLine(o1("06020900")) + storedLine(o1("06021500")) + storedLine(o1("06021510")));
    EXPECT_EQ(r.file(".jvO2"), storedLine(o2("06021510")));
    EXPECT_EQ(r.person.statuses,
              (std::vector<std::string>{"中山11オッズ取得中", "", "中山11オッズ取得中", ""}));
    EXPECT_EQ(r.jv.calls.front(), "JVRTOpen 0B41 " + kKey);
    std::vector<std::string> tail(r.jv.calls.end() - 5, r.jv.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"JVRTOpen 0B42 " + kKey, "JVRead 60000",
                                              "JVRead 60000", "JVClose", "JVClose"}));
    EXPECT_EQ(r.person.beeps, 0);
    EXPECT_TRUE(r.logLines().empty());
}

TEST(SokuhoOdds, FailedO1OpenLeavesItsFileAndStillFetchesO2)
{
    OddsRun r("odds-openfail");
    fs::create_directories(oddsFilePath(r.app.path(), kKey, ".jvO1").parent_path());
    writeFileAtomic(oddsFilePath(r.app.path(), kKey, ".jvO1"), storedLine(o1("06020900")));
    r.jv.rtOpenResults = {jv::kOpenNoData, 0};
    r.jv.queueRecord(o2("06021510"));

    auto result = r.run();
    EXPECT_EQ(result.o1, OddsRequestOutcome::OpenFailed);
    EXPECT_EQ(result.o2, OddsRequestOutcome::Stored);
    EXPECT_EQ(r.file(".jvO1"), storedLine(o1("06020900")));
    EXPECT_EQ(r.file(".jvO2"), storedLine(o2("06021510")));
    const std::string label =
        "中山11R:ｵｯｽﾞ取得エラー： 取得済みデータより最新のデータがありません。(-1)";
    EXPECT_EQ(r.logLines(), std::vector<std::string>{"【エラー】15:20:00：" + label});
    EXPECT_EQ(r.person.statuses, (std::vector<std::string>{"中山11オッズ取得中", label, "",
                                                           "中山11オッズ取得中", ""}));
    EXPECT_EQ(r.person.beeps, 1);
    EXPECT_EQ(r.jv.calls[1], "JVClose"); // closed after the failed open, and again
    EXPECT_EQ(r.jv.calls[2], "JVClose");
}

TEST(SokuhoOdds, FailedReadMergesWhatWasReadIntoTheStoredSeries)
{
    OddsRun r("odds-readfail");
    auto path = oddsFilePath(r.app.path(), kKey, ".jvO2");
    fs::create_directories(path.parent_path());
    writeFileAtomic(path, storedLine(o2("06021500")) + storedLine(o2("06021510")));
    r.jv.queueRead(jv::kReadEnd); // 0B41 delivers nothing
    r.jv.queueRecord(o2("06021510", "00000099999"));
    r.jv.queueRecord(o2("06021520"));
    r.jv.queueRead(jv::kDownloadFailed);

    auto result = r.run();
    EXPECT_EQ(result.o1, OddsRequestOutcome::Stored);
    EXPECT_EQ(result.o2, OddsRequestOutcome::ReadFailed);
    EXPECT_EQ(r.file(".jvO1"), "<none>");
    // The time point read again replaces its stored line; no stored time point is lost.
    EXPECT_EQ(r.file(".jvO2"), storedLine(o2("06021500")) +
                                   storedLine(o2("06021510", "00000099999")) +
                                   storedLine(o2("06021520")));
    EXPECT_EQ(
        r.logLines(),
        std::vector<std::string>{
            "【エラー】15:20:00：ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)"});
    EXPECT_EQ(r.person.beeps, 1);
}

TEST(SokuhoOdds, CloseErrorIsReportedForEachClose)
{
    OddsRun r("odds-closefail");
    r.jv.closeResults = {-1, 0, 0, -1};
    r.run();
    EXPECT_EQ(r.logLines(), std::vector<std::string>(2, "【エラー】15:20:00：JVCloseエラー:(-1)"));
    EXPECT_EQ(r.person.beeps, 2);
}

TEST(SokuhoOdds, CancelEndsTheRequestAndSkipsTheNext)
{
    OddsRun r("odds-cancel");
    std::atomic<bool> cancel{true};
    auto result = r.run(&cancel);
    EXPECT_EQ(result.o1, OddsRequestOutcome::Cancelled);
    EXPECT_EQ(result.o2, OddsRequestOutcome::NotRun);
    EXPECT_EQ(r.jv.calls,
              (std::vector<std::string>{"JVRTOpen 0B41 " + kKey, "JVClose", "JVClose"}));
}

TEST(SokuhoOddsReplay, StoresTheFeedSeriesAndKeepsThemThroughAFailedRead)
{
    OddsRun r("odds-replay");
    ReplayJvLink link(r.app.path());
    ASSERT_EQ(link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30"), 0);
    fs::path feed = r.app.path() / "feed";
    fs::create_directories(feed / "0B41");
    fs::create_directories(feed / "0B42");
    writeFileAtomic(feed / "0B41" / (kKey + ".jvd"),
                    o1("06021510") + o1("06021500") + o1("06021505", "0"));
    writeFileAtomic(feed / "0B42" / (kKey + ".jvd"), o2("06021500") + o2("06021510"));

    auto result = r.run(nullptr, &link);
    EXPECT_EQ(result.o1, OddsRequestOutcome::Stored);
    EXPECT_EQ(result.o2, OddsRequestOutcome::Stored);
    const std::string o1File = storedLine(o1("06021500")) + storedLine(o1("06021510"));
    const std::string o2File = storedLine(o2("06021500")) + storedLine(o2("06021510"));
    EXPECT_EQ(r.file(".jvO1"), o1File);
    EXPECT_EQ(r.file(".jvO2"), o2File);

    // The O1 stream fails after its first record: nothing stored is lost.
    writeFileAtomic(feed / "faults.txt", "JVRead 0B41 * -502 at=2\n");
    result = r.run(nullptr, &link);
    EXPECT_EQ(result.o1, OddsRequestOutcome::ReadFailed);
    EXPECT_EQ(result.linesO1, 1);
    EXPECT_EQ(r.file(".jvO1"), o1File);
    EXPECT_EQ(r.file(".jvO2"), o2File);
    EXPECT_EQ(r.logLines().size(), 1u);
}

struct FinalCase
{
    int slot;
    int horse; // -1: the RA record
    std::string kind;
    bool final;
};

class CardsAreFinalTest : public testing::TestWithParam<FinalCase>
{
};

TEST_P(CardsAreFinalTest, FailsOnAnyCardOfDataKindOne)
{
    DayStore store;
    store.RaRecs[0] = ra(kKey, "2").bytes();
    const auto& c = GetParam();
    std::string record = c.horse < 0 ? ra(kKey, c.kind).bytes() : se(kKey, 1, c.kind).bytes();
    if (c.horse < 0)
        store.RaRecs[static_cast<size_t>(c.slot)] = record;
    else
        store.SeRecs[static_cast<size_t>(c.slot)][static_cast<size_t>(c.horse)] = record;
    EXPECT_EQ(CardsAreFinal(store), c.final);
}

INSTANTIATE_TEST_SUITE_P(Cases, CardsAreFinalTest,
                         testing::Values(FinalCase{0, -1, "2", true}, FinalCase{0, 0, "7", true},
                                         FinalCase{0, -1, "1", false},
                                         FinalCase{35, -1, "1", false},
                                         FinalCase{35, 17, "1", false},
                                         FinalCase{12, 3, "1", false}));

} // namespace
} // namespace sorvantix

namespace sorvantix {
namespace {

TEST(OddsStream, AnAnnouncementReadAgainKeepsItsLastCopyInItsFirstPlace)
{
    ScriptedJvLink jv;
    // O1 and O2 interleaved, a repeated announcement of each and another race's record of
    // the same time, as a stream that repeats itself would deliver them.
    jv.queueRecord(o1("06021500"));
    jv.queueRecord(o2("06021500", "00000000001"));
    jv.queueRecord(o1("06021510"));
    jv.queueRecord(o1("06021500", "4")); // the same time again, final odds this time
    jv.queueRecord(o1("06021500", "2", "2024060206030812"));
    jv.queueRecord(o2("06021510"));
    jv.queueRecord(o2("06021500", "00000000002"));
    for (int i = 0; i < 1000; ++i)
        jv.queueRecord(o1("06021510"));
    OddsRecvLists lists;
    const OddsReadResult read = readOddsRecords(jv, lists);
    EXPECT_TRUE(read.complete());
    auto line = [](std::string record) {
        record.resize(record.size() - 2);
        record[2] = '0';
        return record;
    };
    EXPECT_EQ(lists.O1RecvList,
              (std::vector<std::string>{line(o1("06021500", "4")), line(o1("06021510")),
                                        line(o1("06021500", "2", "2024060206030812"))}));
    EXPECT_EQ(lists.O2RecvList, (std::vector<std::string>{line(o2("06021500", "00000000002")),
                                                          line(o2("06021510"))}));
}

TEST(OddsStream, AStoredSeriesOnlyGrowsAndTheNewerRecordOfATimeWins)
{
    ScratchAppDir app("odds-grow");
    auto line = [](std::string record) {
        record.resize(record.size() - 2);
        record[2] = '0';
        return record;
    };
    const fs::path file = oddsFilePath(app.path(), kKey, ".jvO2");
    storeOddsSeries(app.path(), kKey,
                    {line(o2("06021400")), line(o2("06021410")), line(o2("06021420"))}, ".jvO2");
    // A shorter read: nothing stored goes; its changed 14:10 replaces the stored one.
    storeOddsSeries(app.path(), kKey, {line(o2("06021410", "00000099999"))}, ".jvO2");
    EXPECT_EQ(readLinesRaw(file),
              (std::vector<std::string>{line(o2("06021400")), line(o2("06021410", "00000099999")),
                                        line(o2("06021420"))}));
    // Two copies of one time in one read: the last wins, stored once.
    storeOddsSeries(app.path(), kKey,
                    {line(o2("06021430", "00000000001")), line(o2("06021430", "00000000002"))},
                    ".jvO2");
    EXPECT_EQ(readLinesRaw(file).size(), 4u);
    EXPECT_EQ(readLinesRaw(file).back(), line(o2("06021430", "00000000002")));
}

// A live refresh hands out the whole series so far: what was stored stays untouched,
// a later announcement goes at the end, and a file that is not whole is written again
// in order, the same bytes a single read of the series would give.
TEST(OddsStream, ALiveRefreshAddsOnlyItsNewAnnouncements)
{
    ScratchAppDir app("odds-live");
    auto line = [](std::string record) {
        record.resize(record.size() - 2);
        record[2] = '0';
        return record;
    };
    const fs::path file = oddsFilePath(app.path(), kKey, ".jvO2");
    const std::vector<std::string> morning{line(o2("06021400")), line(o2("06021410"))};
    storeOddsSeries(app.path(), kKey, morning, ".jvO2");
    // The same series again: the file is not written (its identity stays).
    const auto written = fs::last_write_time(file);
    const auto inode = [&] {
        struct stat st
        {
        };
        ::stat(file.c_str(), &st);
        return st.st_ino;
    };
    const auto before = inode();
    storeOddsSeries(app.path(), kKey, morning, ".jvO2");
    EXPECT_EQ(fs::last_write_time(file), written);
    EXPECT_EQ(inode(), before);
    // Two later announcements, delivered out of order: appended in order, same file.
    storeOddsSeries(
        app.path(), kKey,
        {line(o2("06021400")), line(o2("06021430")), line(o2("06021410")), line(o2("06021420"))},
        ".jvO2");
    EXPECT_EQ(inode(), before);
    const std::vector<std::string> whole{line(o2("06021400")), line(o2("06021410")),
                                         line(o2("06021420")), line(o2("06021430"))};
    EXPECT_EQ(readLinesRaw(file), whole);
    // A cut-off end (a kill during an append): the next refresh writes it whole again.
    std::string bytes = readFileBytes(file);
    writeFileAtomic(file, bytes + line(o2("06021440")).substr(0, 100));
    storeOddsSeries(app.path(), kKey, whole, ".jvO2");
    EXPECT_EQ(readFileBytes(file), bytes);
}

} // namespace
} // namespace sorvantix
