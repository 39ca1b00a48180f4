#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/study/money_flow.h"
#include "core/text/error.h"
#include "core/text/format.h"

#include <gtest/gtest.h>

namespace sorvantix {
namespace {

// An announcement of a three-runner race: win and quinella odds fields as given (raw,
// tenths) and the pools in units of 100 yen.
TimePointRecords announcement(const std::string& time, long long winPool,
                              const std::array<const char*, 3>& win, long long quinellaPool,
                              const std::array<const char*, 3>& pairs)
{
    RecordBuilder o1(RecordType::O1);
    o1.setRaceKey("2026120605050111").set("announce_time", time).set("registered", 3);
    for (int h = 1; h <= 3; ++h)
        o1.set("win_horse", h, h).setRaw("win_odds", h, win[static_cast<size_t>(h - 1)]);
    o1.set("win_pool", winPool);
    RecordBuilder o2(RecordType::O2);
    o2.setRaceKey("2026120605050111").set("announce_time", time).set("registered", 3);
    const int pairNo[] = {umarenPairNumber(1, 2), umarenPairNumber(1, 3), umarenPairNumber(2, 3)};
    const char* label[] = {"0102", "0103", "0203"};
    for (int k = 0; k < 3; ++k) {
        o2.set("quinella_pair", pairNo[k], label[k]);
        o2.setRaw("quinella_odds", pairNo[k], pairs[static_cast<size_t>(k)]);
    }
    o2.set("quinella_pool", quinellaPool);
    auto cut = [](const std::string& r) { return r.substr(0, r.size() - 2); };
    return {time, cut(o1.bytes()), cut(o2.bytes())};
}

const FlowEntry& pair(const MoneyFlow& f, int a, int b)
{
    for (const auto& e : f.pairs)
        if (e.horse == a && e.partner == b)
            return e;
    throw std::runtime_error("no such pair");
}

TEST(MoneyFlow, EstimatesAgainstHandWorkedNumbers)
{
    // Win: pool 100,000 yen then 200,000. Runner 1 at 4.0 then 2.0 holds 100,000 x 0.8 / 4
    // = 20,000 yen, then 80,000; runner 2 at 8.0 then 16.0 holds 10,000 both times;
    // runner 3 is at the cap (999.9 or more) both times.
    // Quinella: pool 100,000 then 200,000. 1-2 at 7.5 holds 10,000 then 20,000; 1-3 at
    // 15.0 then 5.0 holds 5,000 then 30,000; 2-3 at 30.0 holds 2,500, then has no votes.
    const MoneyFlow f = moneyFlow(announcement("12061450", 1000, {"0040", "0080", "9999"}, 1000,
                                               {"000075", "000150", "000300"}),
                                  announcement("12061520", 2000, {"0020", "0160", "9999"}, 2000,
                                               {"000075", "000050", "000000"}));
    EXPECT_EQ(f.winPoolFrom, 100000);
    EXPECT_EQ(f.winPoolTo, 200000);
    EXPECT_EQ(f.quinellaPoolTo, 200000);

    ASSERT_EQ(f.runners.size(), 3u);
    EXPECT_DOUBLE_EQ(f.runners[0].before, 20000);
    EXPECT_DOUBLE_EQ(f.runners[0].inflow, 60000);
    EXPECT_DOUBLE_EQ(f.runners[1].inflow, 0);
    EXPECT_TRUE(f.runners[2].capped);
    EXPECT_FALSE(f.runners[0].capped);
    // Runner 3 at the cap holds at most 100,000 x 0.8 / 999.9 = 80.008 yen.
    EXPECT_NEAR(f.runners[2].before, 80.008, 0.001);

    const FlowEntry& p12 = pair(f, 1, 2);
    const FlowEntry& p13 = pair(f, 1, 3);
    const FlowEntry& p23 = pair(f, 2, 3);
    EXPECT_DOUBLE_EQ(p12.inflow, 10000);
    EXPECT_DOUBLE_EQ(p13.inflow, 25000);
    EXPECT_DOUBLE_EQ(p23.inflow, -2500);
    EXPECT_TRUE(p23.noVotes);
    // Shares before: 10,000 / 17,500 and 5,000 / 17,500; of the interval's 35,000 yen
    // (the fall of 2-3 counts as none): 10/35 and 25/35.
    EXPECT_NEAR(p12.shareBefore, 10.0 / 17.5, 1e-12);
    EXPECT_NEAR(p13.shareInterval, 25.0 / 35.0, 1e-12);
    EXPECT_NEAR(p13.ratio, (25.0 / 35.0) / (5.0 / 17.5), 1e-12); // 2.5
    EXPECT_TRUE(p13.marked);
    EXPECT_FALSE(p12.marked); // its share halved
    EXPECT_FALSE(p23.marked);
    // PA ratio of the interval's money: runner 1's pairs drew 35,000, runner 3's 25,000
    // of 70,000 counted twice: 25,000 / 35,000 / (25,000 / 70,000) = 2.
    EXPECT_NEAR(p13.intervalPa, 2.0, 1e-12);
    EXPECT_NEAR(p12.intervalPa, 10000.0 / 35000.0 / (10000.0 / 70000.0), 1e-12);

    // The caps and the missing votes are said.
    std::string notes;
    for (const auto& n : f.notes)
        notes += n + "\n";
    EXPECT_NE(notes.find("999.9倍以上の馬（推定は上限）: 3番"), std::string::npos) << notes;
    EXPECT_NE(notes.find("票のない組:  2- 3"), std::string::npos) << notes;
    EXPECT_NE(moneyFlowText(f).find(" 1- 3"), std::string::npos);
}

TEST(MoneyFlow, GarbageIsRefusedWithTheFieldNamed)
{
    const TimePointRecords ok = announcement("12061450", 1000, {"0040", "0080", "0100"}, 1000,
                                             {"000075", "000150", "000300"});
    TimePointRecords bad = announcement("12061520", 2000, {"00x0", "0080", "0100"}, 2000,
                                        {"000075", "000150", "000300"});
    try {
        moneyFlow(ok, bad);
        FAIL() << "garbage odds accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("単勝 1"), std::string::npos) << e.what();
    }
    // A pool that is no number.
    TimePointRecords noPool = ok;
    noPool.o1.replace(927, 11, "abcdefghijk");
    EXPECT_THROW(moneyFlow(noPool, ok), Error);
    // An announcement without quinella odds gives the win side and says so.
    TimePointRecords winOnly = ok;
    winOnly.o2.clear();
    const MoneyFlow f = moneyFlow(winOnly, ok);
    EXPECT_TRUE(f.pairs.empty());
    EXPECT_EQ(f.runners.size(), 3u);
    EXPECT_FALSE(f.notes.empty());
}

TEST(DefaultFlowWindow, TheLastHourOfTheRaceDay)
{
    // The evening before, then the race day: from the first announcement within the
    // hour before the last.
    const std::vector<std::string> keys{"12051700", "12061400", "12061431", "12061450", "12061531"};
    EXPECT_EQ(defaultFlowWindow(keys), (std::pair<int, int>{2, 4}));
    // Nothing else within the hour (the one before is the evening before): the whole series.
    EXPECT_EQ(defaultFlowWindow({"12051700", "12061531"}), (std::pair<int, int>{0, 1}));
    EXPECT_EQ(defaultFlowWindow({"12061531"}), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(defaultFlowWindow({}), (std::pair<int, int>{0, -1}));
    // A damaged key cannot widen the window.
    EXPECT_EQ(defaultFlowWindow({"x", "12061500", "12061531"}), (std::pair<int, int>{1, 2}));
}

} // namespace
} // namespace sorvantix
