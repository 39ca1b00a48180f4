#include "core/app/auto_acquisition.h"
#include "core/app/log_person.h"
#include "core/app/settings_keys.h"
#include "core/app/temp_dir.h"
#include "core/odds/realtime_odds.h"
#include "core/store/record_builder.h"
#include "core/text/ini_file.h"

#include <gtest/gtest.h>
#include <optional>

namespace sorvantix {
namespace {

using Calls = std::vector<std::string>;

// The main window as the automatic acquisition sees it; every action is logged.
class FakePort : public AutoAcquisitionPort
{
public:
    std::string day = "2024年06月01日";
    bool cardsFinal = true;
    DayStore store;
    std::vector<int> slots{0, 1, 2};
    Calls calls;

    std::string dayComboText() const override { return day; }
    bool dayCardsAreFinal() const override { return cardsFinal; }
    DayStore& dayStore() override { return store; }
    std::vector<int> raceListSlots() const override { return slots; }
    void selectRace(int index) override
    {
        m_selected = index;
        calls.push_back("select " + std::to_string(index));
    }
    void fetchOdds(int index) override
    {
        calls.push_back("fetch " + std::to_string(index));
        // SokuhoOddsBtnClick ends with the race selection of the list's item.
        calls.push_back("select " + std::to_string(m_selected));
    }
    void fetchResults(bool AutoResultMode) override
    {
        calls.push_back(AutoResultMode ? "results quiet" : "results");
    }

private:
    int m_selected = -1;
};

std::string raWithPostTime(const std::string& key, const std::string& postTime)
{
    RecordBuilder b(RecordType::RA);
    b.setRaceKey(key).set("data_kind", "2").set("post_time", postTime);
    return b.bytes();
}

class AutoAcquisitionTest : public ::testing::Test
{
protected:
    AutoAcquisitionTest() : ini(dir.path() / "sorvantix.ini")
    {
        port.store.AutoOddsTime[0] = "1510";
        port.store.AutoOddsTime[1] = "1540";
        port.store.AutoOddsTime[2] = "1610";
    }

    void at(int hour, int minute, int second = 0) { clock.set({2024, 6, 1, hour, minute, second}); }

    test::TempDir dir;
    TIniGT ini;
    SettableClock clock{{2024, 6, 1, 9, 0, 0}};
    test::LogPerson person;
    FakePort port;
    AutoAcquisition acq{port, person, clock, ini};
};

struct SwitchOnCase
{
    const char* name;
    const char* day;
    bool cardsFinal;
    std::string_view message; // empty: switched on
};

class AutoOzCheckTest : public AutoAcquisitionTest,
                        public ::testing::WithParamInterface<SwitchOnCase>
{
};

TEST_P(AutoOzCheckTest, SwitchesOnOnlyForTodaysFinalCards)
{
    const SwitchOnCase& c = GetParam();
    port.day = c.day;
    port.cardsFinal = c.cardsFinal;
    port.store.AutoOddsDone[4] = true;
    port.store.AutoOddsDone[35] = true;

    bool on = acq.AutoOzCheckClick(true);

    if (c.message.empty()) {
        EXPECT_TRUE(on);
        EXPECT_EQ(acq.controls(), (AutoOddsControls{true, true, false}));
        EXPECT_TRUE(person.log.empty());
        for (bool done : port.store.AutoOddsDone)
            EXPECT_FALSE(done);
    } else {
        EXPECT_FALSE(on);
        EXPECT_EQ(acq.controls(), (AutoOddsControls{false, false, true}));
        EXPECT_EQ(person.log, (Calls{"beep", "info " + std::string(c.message)}));
        EXPECT_TRUE(port.store.AutoOddsDone[4]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoOzCheckTest,
    ::testing::Values(SwitchOnCase{"NoDay", "", true, kNoDayMessage},
                      SwitchOnCase{"BlankDay", "   ", false, kNoDayMessage},
                      SwitchOnCase{"Yesterday", "2024年05月31日", true, kNotTodayMessage},
                      SwitchOnCase{"Tomorrow", "2024年06月02日", true, kNotTodayMessage},
                      SwitchOnCase{"SameDayLastYear", "2023年06月01日", true, kNotTodayMessage},
                      SwitchOnCase{"CardsNotFinal", "2024年06月01日", false, kCardsNotFinalMessage},
                      SwitchOnCase{"TodayPadded", " 2024年06月01日 ", true, ""},
                      SwitchOnCase{"Today", "2024年06月01日", true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AutoAcquisitionTest, ClearingAlwaysStopsTheTimerAndFreesTheManualButton)
{
    ASSERT_TRUE(acq.AutoOzCheckClick(true));
    port.day = "2024年05月31日"; // another day loaded meanwhile
    EXPECT_FALSE(acq.AutoOzCheckClick(false));
    EXPECT_EQ(acq.controls(), (AutoOddsControls{false, false, true}));
    port.day = "";
    EXPECT_FALSE(acq.AutoOzCheckClick(false));
    EXPECT_EQ(acq.controls(), (AutoOddsControls{false, false, true}));
    EXPECT_TRUE(person.log.empty());
}

struct DueCase
{
    const char* name;
    std::optional<int> delay; // "Time"/"delay"; nullopt: key missing (5)
    int hour, minute, second;
    bool fetched; // the race with AutoOddsTime 1510 (post time 15:40, lead 30)
};

class Timer2Test : public AutoAcquisitionTest, public ::testing::WithParamInterface<DueCase>
{
};

TEST_P(Timer2Test, FetchesInTheDueMinutePlusTheDelay)
{
    const DueCase& c = GetParam();
    if (c.delay)
        writeSetting(ini, settings::kDelay, *c.delay);
    ASSERT_TRUE(acq.AutoOzCheckClick(true));
    at(c.hour, c.minute, c.second);

    std::vector<int> started = acq.Timer2Timer();

    if (c.fetched) {
        EXPECT_EQ(started, std::vector<int>{0});
        EXPECT_EQ(port.calls, (Calls{"select 0", "fetch 0", "select 0"}));
        EXPECT_TRUE(port.store.AutoOddsDone[0]);
    } else {
        EXPECT_TRUE(started.empty());
        EXPECT_TRUE(port.calls.empty());
        EXPECT_FALSE(port.store.AutoOddsDone[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Timer2Test,
    ::testing::Values(DueCase{"DefaultDelayMinuteBefore", std::nullopt, 15, 14, 59, false},
                      DueCase{"DefaultDelayFirstSecond", std::nullopt, 15, 15, 0, true},
                      DueCase{"DefaultDelayLastTick", std::nullopt, 15, 15, 59, true},
                      DueCase{"DefaultDelayMinuteAfter", std::nullopt, 15, 16, 0, false},
                      DueCase{"DefaultDelayInDueMinute", std::nullopt, 15, 10, 0, false},
                      DueCase{"NoDelayInDueMinute", 0, 15, 10, 30, true},
                      DueCase{"NoDelayFiveLater", 0, 15, 15, 0, false},
                      DueCase{"NegativeDelayCountsAsNone", -3, 15, 10, 0, true},
                      DueCase{"TenMinutesDelay", 10, 15, 20, 0, true},
                      DueCase{"TenMinutesDelayFiveLater", 10, 15, 15, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AutoAcquisitionTest, RacesDueTogetherAreFetchedInListOrderOnce)
{
    port.store.AutoOddsTime[2] = "1510"; // another venue's race in the same minute
    ASSERT_TRUE(acq.AutoOzCheckClick(true));
    at(15, 15, 10);

    EXPECT_EQ(acq.Timer2Timer(), (std::vector<int>{0, 2}));
    // The later race is selected last, so the list shows it afterwards.
    EXPECT_EQ(port.calls,
              (Calls{"select 0", "fetch 0", "select 0", "select 2", "fetch 2", "select 2"}));

    // The next tick of the same minute (and a tick during the fetch) starts nothing.
    port.calls.clear();
    at(15, 15, 50);
    EXPECT_TRUE(acq.Timer2Timer().empty());
    EXPECT_TRUE(port.calls.empty());

    // Switching on again clears the marks: the due minute fetches again.
    acq.AutoOzCheckClick(false);
    ASSERT_TRUE(acq.AutoOzCheckClick(true));
    EXPECT_EQ(acq.Timer2Timer(), (std::vector<int>{0, 2}));
}

TEST_F(AutoAcquisitionTest, OnlyTheSlotsOfTheRaceListAreCompared)
{
    // Slot 1 holds no race (no list item); its time is left over from another day.
    port.slots = {0, 2};
    port.store.AutoOddsTime[1] = "1510";
    port.store.AutoOddsTime[2] = "1510";
    port.store.AutoOddsTime[3] = "1510";
    ASSERT_TRUE(acq.AutoOzCheckClick(true));
    at(15, 15);

    EXPECT_EQ(acq.Timer2Timer(), (std::vector<int>{0, 1}));
    EXPECT_EQ(port.calls,
              (Calls{"select 0", "fetch 0", "select 0", "select 1", "fetch 1", "select 1"}));
    EXPECT_TRUE(port.store.AutoOddsDone[2]);
    EXPECT_FALSE(port.store.AutoOddsDone[1]);
    EXPECT_FALSE(port.store.AutoOddsDone[3]);
}

TEST_F(AutoAcquisitionTest, TheDueCheckNeedsTheTimerAndADay)
{
    at(15, 15);
    EXPECT_TRUE(acq.Timer2Timer().empty()); // switched off
    ASSERT_TRUE(acq.AutoOzCheckClick(true));
    port.day = " ";
    EXPECT_TRUE(acq.Timer2Timer().empty());
    // Another day loaded while switched on: its times are compared.
    port.day = "2024年05月31日";
    EXPECT_EQ(acq.Timer2Timer(), std::vector<int>{0});
    EXPECT_TRUE(person.log.empty());
}

struct ResultsCase
{
    const char* name;
    const char* firstPostTime; // RA 874-877 of slot 0; "    " = no race in slot 0
    int interval;
    int hour, minute;
    bool fetched;
};

class Timer4Test : public AutoAcquisitionTest, public ::testing::WithParamInterface<ResultsCase>
{
};

TEST_P(Timer4Test, FetchesQuietlyFromBeforeTheFirstRaceUntilSixPm)
{
    const ResultsCase& c = GetParam();
    if (std::string(c.firstPostTime) != "    ")
        port.store.RaRecs[0] = raWithPostTime("2024060105030801", c.firstPostTime);
    acq.armResultsTimer(true, c.interval);
    at(c.hour, c.minute, 30);

    EXPECT_EQ(acq.Timer4Timer(), c.fetched);
    EXPECT_EQ(port.calls, c.fetched ? Calls{"results quiet"} : Calls{});
    EXPECT_TRUE(person.log.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Timer4Test,
    ::testing::Values(ResultsCase{"BeforeStart", "1005", 15, 9, 19, false},
                      ResultsCase{"AtStart", "1005", 15, 9, 20, false},
                      ResultsCase{"AfterStart", "1005", 15, 9, 21, true},
                      ResultsCase{"LastRaceTime", "1005", 15, 16, 30, true},
                      ResultsCase{"SixPm", "1005", 15, 18, 0, true},
                      ResultsCase{"OneMinuteLate", "1005", 15, 18, 1, false},
                      ResultsCase{"Evening", "1005", 15, 23, 59, false},
                      ResultsCase{"HourInterval", "1005", 60, 8, 35, false},
                      ResultsCase{"HourIntervalAfter", "1005", 60, 8, 36, true},
                      ResultsCase{"NoFirstRace", "    ", 15, 0, 5, true},
                      ResultsCase{"NoFirstRaceLate", "    ", 15, 18, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AutoAcquisitionTest, ManualScheduleOpensOnlyWhileTheAutomaticOneIsOff)
{
    port.store.RaRecs[0] = raWithPostTime("2024060105030801", "1005");
    port.slots = {0};

    ASSERT_TRUE(acq.AutoOzCheckClick(true));
    EXPECT_FALSE(acq.OzGetBtnClick()); // the button is disabled
    EXPECT_TRUE(person.log.empty());

    acq.AutoOzCheckClick(false);
    auto form = acq.OzGetBtnClick();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->DateLabel(), "2024年06月01日");
    EXPECT_EQ(form->StringGrid1().cell(1, 1), "10:05");
    EXPECT_EQ(form->StringGrid1().cell(2, 1), " 9:14"); // "Time"/"First" missing
    EXPECT_EQ(form->StringGrid1().cell(3, 1), "15:10");
    ini.WriteInteger("Time", "First", 930);
    form = acq.OzGetBtnClick();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->StringGrid1().cell(2, 1), " 9:30");

    port.cardsFinal = false;
    EXPECT_FALSE(acq.OzGetBtnClick());
    EXPECT_EQ(person.log, (Calls{"beep", "info " + std::string(kCardsNotFinalMessage)}));
    EXPECT_EQ(acq.controls(), (AutoOddsControls{false, false, true}));
}

TEST(IntervalTickerTest, FiresOncePerIntervalAndOnceAfterABlock)
{
    IntervalTicker t;
    LocalDateTime start{2024, 6, 1, 10, 0, 0};
    EXPECT_FALSE(t.poll(start.addSeconds(100))); // not started
    t.start(start, 40);
    EXPECT_FALSE(t.poll(start.addSeconds(39)));
    EXPECT_TRUE(t.poll(start.addSeconds(40)));
    EXPECT_FALSE(t.poll(start.addSeconds(41)));
    // Busy for five minutes: one tick, not seven.
    EXPECT_TRUE(t.poll(start.addSeconds(340)));
    EXPECT_FALSE(t.poll(start.addSeconds(341)));
    EXPECT_TRUE(t.poll(start.addSeconds(380)));
    // The clock set back an hour: the interval starts again from there.
    EXPECT_FALSE(t.poll(start.addSeconds(-3600)));
    EXPECT_FALSE(t.poll(start.addSeconds(-3600 + 39)));
    EXPECT_TRUE(t.poll(start.addSeconds(-3600 + 40)));
    t.stop();
    EXPECT_FALSE(t.poll(start.addSeconds(1000)));
}

} // namespace
} // namespace sorvantix
