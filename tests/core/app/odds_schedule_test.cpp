#include "core/app/log_person.h"
#include "core/app/odds_schedule.h"
#include "core/app/request_queue.h"
#include "core/app/temp_dir.h"
#include "core/jvlink/jv_result_text.h"
#include "core/jvlink/scripted_jv_link.h"
#include "core/odds/odds_files.h"
#include "core/odds/realtime_odds.h"
#include "core/store/realtime_cards.h"
#include "core/store/record_builder.h"
#include "core/text/text_file.h"

#include <deque>
#include <gtest/gtest.h>

namespace sorvantix {
namespace {

using Calls = std::vector<std::string>;

// Race n (1-based) of 中山 5回 8日 on 2024-06-01.
std::string keyOf(int race)
{
    return std::string("20240601") + "06" + "05" + "08" + (race < 10 ? "0" : "") +
           std::to_string(race);
}

DayStore dayOfRaces(int count)
{
    DayStore store;
    for (int i = 0; i < count; ++i) {
        RecordBuilder ra(RecordType::RA);
        ra.setRaceKey(keyOf(i + 1)).set("data_kind", "2");
        ra.set("post_time", (10 + i / 2) * 100 + i % 2 * 30); // 10:00, 10:30, 11:00 ...
        store.RaRecs[static_cast<std::size_t>(i)] = ra.bytes();
        store.AutoOddsTime[static_cast<std::size_t>(i)] = "0930";
    }
    return store;
}

// Answers reads from a script (default: open, one line of each type the spec
// delivers, read to the end) and logs every call into a shared log.
class RecordingSchedulePort : public OddsSchedulePort
{
public:
    explicit RecordingSchedulePort(Calls& log) : m_log(log) {}

    std::deque<ScheduleRead> script;
    std::atomic<bool>* cancelDuringRead = nullptr;

    ScheduleRead read(std::string_view spec, std::string_view raceKey,
                      const std::atomic<bool>*) override
    {
        m_log.push_back("read " + std::string(spec) + " " + std::string(raceKey));
        if (cancelDuringRead)
            *cancelDuringRead = true;
        if (!script.empty()) {
            ScheduleRead r = script.front();
            script.pop_front();
            return r;
        }
        ScheduleRead r;
        if (spec != "0B42")
            r.o1Lines.push_back("O1:" + std::string(raceKey));
        if (spec != "0B41")
            r.o2Lines.push_back("O2:" + std::string(raceKey));
        return r;
    }
    void store(const std::vector<std::string>& lines, std::string_view extension,
               bool complete) override
    {
        std::string text;
        for (const auto& l : lines)
            text += (text.empty() ? "" : ",") + l;
        m_log.push_back("store " + std::string(extension) + (complete ? " " : " partial ") + text);
    }
    void logError(const std::string& message) override { m_log.push_back("log " + message); }
    void reloadDay() override { m_log.push_back("reload"); }

private:
    Calls& m_log;
};

class OddsScheduleTest : public ::testing::Test
{
protected:
    OddsScheduleTest()
        : store(dayOfRaces(6)), form("2024年06月01日", store, {0, 1, 2, 3, 4, 5}, 914)
    {
    }

    // Runs a fetch with its progress reported into the log.
    ScheduleFetchEnd runFetch(ScheduleFetch& fetch, const std::atomic<bool>* cancel = nullptr)
    {
        RequestEvents events;
        events.status = [this](const std::string& t) { person.log.push_back("label " + t); };
        events.progress = [this](int p, int m) {
            person.log.push_back("bar " + std::to_string(p) + "/" + std::to_string(m));
        };
        Progress progress("schedule", postInline(), events);
        return fetch.run(port, person, progress, cancel);
    }

    DayStore store;
    TOddsSchejForm form;
    test::LogPerson person;
    RecordingSchedulePort port{person.log};
};

struct OpeningCase
{
    const char* name;
    const char* day;
    bool cardsFinal;
    ScheduleRefusal refusal;
};

class ScheduleOpeningTest : public ::testing::TestWithParam<OpeningCase>
{
};

TEST_P(ScheduleOpeningTest, OpensForTodayBackTo366Days)
{
    const OpeningCase& c = GetParam();
    test::LogPerson person;
    LocalDateTime now{2024, 6, 1, 23, 59, 0}; // 2024 is a leap year: 2023-06-01 is 366 back
    EXPECT_EQ(checkScheduleOpening(c.day, now, c.cardsFinal, person), c.refusal);
    switch (c.refusal) {
    case ScheduleRefusal::None:
        EXPECT_TRUE(person.log.empty());
        break;
    case ScheduleRefusal::NoDay:
        EXPECT_EQ(person.log, (Calls{"beep", "info ﾃﾞｰﾀを読み込んでください。"}));
        break;
    case ScheduleRefusal::NotRecentDay:
        EXPECT_EQ(person.log, (Calls{"beep", "info 本日または直近日のﾃﾞｰﾀを読み込んでください。"}));
        break;
    case ScheduleRefusal::CardsNotFinal:
        EXPECT_EQ(person.log, (Calls{"beep", "info " + std::string(kCardsNotFinalMessage)}));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScheduleOpeningTest,
    ::testing::Values(
        OpeningCase{"NoDay", "  ", false, ScheduleRefusal::NoDay},
        OpeningCase{"Today", "2024年06月01日", true, ScheduleRefusal::None},
        OpeningCase{"Yesterday", "2024年05月31日", true, ScheduleRefusal::None},
        OpeningCase{"Days366Back", "2023年06月01日", true, ScheduleRefusal::None},
        OpeningCase{"Days367Back", "2023年05月31日", true, ScheduleRefusal::NotRecentDay},
        OpeningCase{"Tomorrow", "2024年06月02日", true, ScheduleRefusal::NotRecentDay},
        OpeningCase{"NextYear", "2025年06月01日", true, ScheduleRefusal::NotRecentDay},
        OpeningCase{"NoDayName", "2024-06-01", true, ScheduleRefusal::NotRecentDay},
        OpeningCase{"NoSuchDate", "2024年02月30日", true, ScheduleRefusal::NotRecentDay},
        OpeningCase{"OldDayBeforeCards", "2020年01月05日", false, ScheduleRefusal::NotRecentDay},
        OpeningCase{"CardsNotFinal", "2024年06月01日", false, ScheduleRefusal::CardsNotFinal}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScheduleTextTest, DefaultTimeAndRaceTexts)
{
    EXPECT_EQ(scheduleDefaultTimeText(914), " 9:14");
    EXPECT_EQ(scheduleDefaultTimeText(930), " 9:30");
    EXPECT_EQ(scheduleDefaultTimeText(915), " 9:15");
    EXPECT_EQ(scheduleDefaultTimeText(1030), "10:30");

    RecordBuilder ra(RecordType::RA);
    ra.setRaceKey("2024060106050811");
    EXPECT_EQ(scheduleRaceText(ra.bytes()), "中山 5回 8日11R");
    ra.setRaceKey("2024060105121003");
    EXPECT_EQ(scheduleRaceText(ra.bytes()), "東京12回10日 3R");
}

TEST_F(OddsScheduleTest, ListsEveryRaceWithItsTimetableRow)
{
    EXPECT_EQ(form.DateLabel(), "2024年06月01日");
    const TextGrid& g = form.StringGrid1();
    ASSERT_EQ(g.columnCount(), 4);
    ASSERT_EQ(g.rowCount(), 7);
    EXPECT_EQ(g.cell(0, 0), "レース");
    EXPECT_EQ(g.cell(1, 0), "発走時刻");
    EXPECT_EQ(g.cell(2, 0), "ﾃﾞﾌｫﾙﾄ時刻");
    EXPECT_EQ(g.cell(3, 0), "自動取得時刻");
    EXPECT_EQ(g.cell(0, 3), "中山 5回 8日 3R");
    EXPECT_EQ(g.cell(1, 3), "11:00");
    EXPECT_EQ(g.cell(2, 3), " 9:14");
    EXPECT_EQ(g.cell(3, 3), "09:30");
    ASSERT_EQ(form.CheckListBox1().size(), 6u);
    EXPECT_EQ(form.CheckListBox1()[2], (TOddsSchejForm::Item{"中山 5回 8日 3R", 2, false}));
    EXPECT_EQ(form.RadioGroup1(), 0);

    EXPECT_EQ(StringGrid1CellColour(0, 0), ScheduleCellColour::GridDefault);
    EXPECT_EQ(StringGrid1CellColour(0, 1), ScheduleCellColour::InfoTip);
    EXPECT_EQ(StringGrid1CellColour(1, 6), ScheduleCellColour::White);
    EXPECT_EQ(StringGrid1CellColour(2, 2), ScheduleCellColour::LightCyan);
    EXPECT_EQ(StringGrid1CellColour(3, 2), ScheduleCellColour::GridDefault);
}

TEST_F(OddsScheduleTest, NothingCheckedFetchesNothing)
{
    form.N1Click();
    form.N2Click();
    EXPECT_FALSE(form.fetchPlan(person));
    EXPECT_EQ(person.log, (Calls{"beep", "info オッズ取得するレースをチェックしてください。"}));
}

TEST_F(OddsScheduleTest, TimeSeriesFetchesWinThenQuinellaPerCheckedRace)
{
    form.setChecked(1, true);
    form.setChecked(4, true);
    auto fetch = form.fetchPlan(person);
    ASSERT_TRUE(fetch);
    EXPECT_EQ(form.ProgressBarPosition(), 0);
    EXPECT_EQ(form.ProgressBarMax(), 6);

    EXPECT_EQ(runFetch(*fetch), ScheduleFetchEnd::Completed);
    const std::string k2 = keyOf(2), k5 = keyOf(5);
    EXPECT_EQ(person.log, (Calls{"bar 1/6",
                                 "bar 2/6",
                                 "label  2R単複枠オッズ読込み中:中山 2R",
                                 "read 0B41 " + k2,
                                 "store .jvO1 O1:" + k2,
                                 "label  2R馬連オッズ読込み中:中山 2R",
                                 "read 0B42 " + k2,
                                 "store .jvO2 O2:" + k2,
                                 "bar 3/6",
                                 "bar 4/6",
                                 "bar 5/6",
                                 "label  5R単複枠オッズ読込み中:中山 5R",
                                 "read 0B41 " + k5,
                                 "store .jvO1 O1:" + k5,
                                 "label  5R馬連オッズ読込み中:中山 5R",
                                 "read 0B42 " + k5,
                                 "store .jvO2 O2:" + k5,
                                 "bar 6/6",
                                 "bar 100/100",
                                 "beep",
                                 "info データ作成が完了しました。"}));
}

TEST_F(OddsScheduleTest, FlashOddsStoreOnlyTheWinFile)
{
    form.setRadioGroup1(1);
    form.setChecked(0, true);
    form.setChecked(5, true);
    form.OzGetBtnClick(port, person);

    const std::string k1 = keyOf(1), k6 = keyOf(6);
    EXPECT_EQ(person.log,
              (Calls{"read 0B30 " + k1, "store .jvO1 O1:" + k1, "read 0B30 " + k6,
                     "store .jvO1 O1:" + k6, "beep", "info データ作成が完了しました。"}));
    EXPECT_EQ(form.ProgressLabel(), "オッズ読込み中:中山 6R");
    EXPECT_EQ(form.ProgressBarPosition(), 100);
    EXPECT_EQ(form.ProgressBarMax(), 100);
}

TEST_F(OddsScheduleTest, EachFailureIsReportedByTheWindowAndTheLoopGoesOn)
{
    ScheduleRead openFails;
    openFails.open = -1;
    ScheduleRead openAndCloseFail;
    openAndCloseFail.open = -202;
    openAndCloseFail.close = -203;
    ScheduleRead readFails;
    readFails.readEnd = -502;
    readFails.o2Lines = {"a", "b"};
    readFails.refused = 2;
    readFails.firstRefusal = "短いレコード";
    ScheduleRead closeFails;
    closeFails.close = -201;
    closeFails.o2Lines = {"c"};
    port.script = {openFails, readFails, openAndCloseFail, closeFails};
    form.setChecked(0, true);
    form.setChecked(1, true);
    auto fetch = form.fetchPlan(person);
    ASSERT_TRUE(fetch);
    // Every request runs; a fetch with failures is no completed fetch.
    EXPECT_EQ(runFetch(*fetch), ScheduleFetchEnd::Failed);

    const std::string k1 = keyOf(1), k2 = keyOf(2);
    const std::string o1Label1 = " 1R単複枠オッズ読込み中:中山 1R";
    const std::string o2Label1 = " 1R馬連オッズ読込み中:中山 1R";
    const std::string o1Label2 = " 2R単複枠オッズ読込み中:中山 2R";
    const std::string o2Label2 = " 2R馬連オッズ読込み中:中山 2R";
    // A failure: a beep, then the request's label with what failed, on the label and in
    // the error log.
    auto failure = [](const std::string& label, const std::string& text) {
        return Calls{"beep", "label " + label + ": " + text, "log " + label + ": " + text};
    };
    Calls expected{"bar 1/6", "label " + o1Label1, "read 0B41 " + k1};
    auto add = [&](const Calls& calls) {
        expected.insert(expected.end(), calls.begin(), calls.end());
    };
    add(failure(o1Label1, "JVRTOpenエラー:" + JvResultText("JVRTOpen", -1)));
    add({"label " + o2Label1, "read 0B42 " + k1});
    add(failure(o2Label1, "JVReadエラー:" + JvResultText("JVRead", -502)));
    add({"info " + refusedRecordsText(2, "短いレコード"),
         "log " + refusedRecordsText(2, "短いレコード"),
         "store .jvO2 partial a,b", // what was read before the error is kept
         "bar 2/6", "label " + o1Label2, "read 0B41 " + k2});
    add(failure(o1Label2, "JVRTOpenエラー:" + JvResultText("JVRTOpen", -202)));
    add(failure(o1Label2, "JVCloseエラー:" + JvResultText("JVClose", -203)));
    add({"label " + o2Label2, "read 0B42 " + k2});
    add(failure(o2Label2, "JVCloseエラー:" + JvResultText("JVClose", -201)));
    add({"store .jvO2 c", "bar 3/6", "bar 4/6", "bar 5/6", "bar 6/6", "bar 100/100", "beep"});
    EXPECT_EQ(person.log, expected);
    EXPECT_EQ(fetch->failures().size(), 5u);
    const std::string summary = fetch->failureSummary();
    EXPECT_EQ(summary.rfind("5件のオッズを取得できませんでした:", 0), 0u) << summary;
    EXPECT_NE(summary.find(o1Label2 + ": JVCloseエラー:"), std::string::npos) << summary;
}

TEST_F(OddsScheduleTest, ACancelStoresWhatWasReadAndStops)
{
    std::atomic<bool> cancel{false};
    port.cancelDuringRead = &cancel;
    ScheduleRead interrupted;
    interrupted.cancelled = true;
    interrupted.o1Lines = {"x"};
    port.script = {interrupted};
    form.N1Click();
    auto fetch = form.fetchPlan(person);
    ASSERT_TRUE(fetch);

    EXPECT_EQ(runFetch(*fetch, &cancel), ScheduleFetchEnd::Cancelled);
    EXPECT_EQ(person.log, (Calls{"bar 1/6", "label  1R単複枠オッズ読込み中:中山 1R",
                                 "read 0B41 " + keyOf(1), "store .jvO1 partial x"}));
}

TEST_F(OddsScheduleTest, ClosingAlwaysReloadsTheDay)
{
    EXPECT_TRUE(form.FormCloseQuery(port));
    EXPECT_EQ(person.log, Calls{"reload"});
}

// The window on a scripted JV-Link and real files.
class JvLinkScheduleTest : public ::testing::Test
{
protected:
    static std::string oddsRecord(RecordType type, const std::string& time)
    {
        RecordBuilder b(type);
        b.setRaceKey(keyOf(1)).set("data_kind", "2").set("announce_time", time);
        return b.bytes();
    }
    static std::string storedLine(RecordType type, const std::string& time)
    {
        std::string line = oddsRecord(type, time);
        line.resize(line.size() - 2);
        line[2] = '0';
        return line;
    }
    std::filesystem::path file(const char* extension) const
    {
        return oddsFilePath(dir.path(), keyOf(1), extension);
    }
    void runFlash()
    {
        DayStore store = dayOfRaces(1);
        TOddsSchejForm form("2024年06月01日", store, {0}, 914);
        form.setRadioGroup1(1);
        form.setChecked(0, true);
        form.OzGetBtnClick(port, person);
    }

    test::TempDir dir;
    test::ScriptedJvLink jv;
    test::LogPerson person;
    int reloads = 0;
    JvLinkOddsSchedule port{jv, dir.path(), [this] { ++reloads; }};
};

TEST_F(JvLinkScheduleTest, FlashOddsJoinTheWinSeriesAndLeaveTheQuinellaFile)
{
    std::vector<std::string> series{storedLine(RecordType::O1, "06010930"),
                                    storedLine(RecordType::O1, "06011000"),
                                    storedLine(RecordType::O1, "06011030")};
    std::vector<std::string> quinella{storedLine(RecordType::O2, "06011030")};
    std::filesystem::create_directories(file(".jvO1").parent_path());
    writeLinesRaw(file(".jvO1"), series);
    writeLinesRaw(file(".jvO2"), quinella);

    jv.queueRecord(oddsRecord(RecordType::O1, "06011045"));
    jv.queueRecord(oddsRecord(RecordType::O2, "06011045"));
    runFlash();

    EXPECT_EQ(jv.calls.front(), "JVRTOpen 0B30 " + keyOf(1));
    // The flash record is one more time point: the series keeps its 31 announcements or
    // 3, and the .jvO1 and .jvO2 still cover the same times.
    series.push_back(storedLine(RecordType::O1, "06011045"));
    EXPECT_EQ(readLinesRaw(file(".jvO1")), series);
    EXPECT_EQ(readLinesRaw(file(".jvO2")), quinella);
    EXPECT_EQ(person.log, (Calls{"beep", "info データ作成が完了しました。"}));

    // A flash record of a stored time whose odds changed takes that time's place.
    RecordBuilder changed(RecordType::O1);
    changed.setRaceKey(keyOf(1)).set("data_kind", "2").set("announce_time", "06011000");
    changed.set("win_horse", 1, "01").set("win_odds", 1, "0123");
    jv.queueRecord(changed.bytes());
    runFlash();
    std::string changedLine = changed.bytes();
    changedLine.resize(changedLine.size() - 2);
    changedLine[2] = '0';
    series[1] = changedLine;
    EXPECT_EQ(readLinesRaw(file(".jvO1")), series);
}

TEST_F(JvLinkScheduleTest, AReadErrorKeepsTheStoredTimePoints)
{
    std::vector<std::string> series{storedLine(RecordType::O1, "06010930"),
                                    storedLine(RecordType::O1, "06011000")};
    std::filesystem::create_directories(file(".jvO1").parent_path());
    writeLinesRaw(file(".jvO1"), series);

    jv.queueRecord(oddsRecord(RecordType::O1, "06011045"));
    jv.queueRead(-502);
    runFlash();

    series.push_back(storedLine(RecordType::O1, "06011045"));
    EXPECT_EQ(readLinesRaw(file(".jvO1")), series);
    const std::string failure =
        "オッズ読込み中:中山 1R: JVReadエラー:" + JvResultText("JVRead", -502);
    EXPECT_EQ(person.log.back(), "info 1件のオッズを取得できませんでした:\n" + failure);

    // A failed open leaves the file and closes the stream all the same.
    jv.calls.clear();
    jv.rtOpenResults.push_back(-1);
    runFlash();
    EXPECT_EQ(jv.calls, (Calls{"JVRTOpen 0B30 " + keyOf(1), "JVClose"}));
    EXPECT_EQ(readLinesRaw(file(".jvO1")), series);

    TOddsSchejForm form("2024年06月01日", dayOfRaces(1), {0}, 914);
    form.FormCloseQuery(port);
    EXPECT_EQ(reloads, 1);
}

} // namespace
} // namespace sorvantix
