#include "core/store/record_builder.h"
#include "core/store/record_views.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <vector>

namespace sorvantix {
namespace {

// A view accessor and the builder field it must read.
struct Accessor
{
    const char* field;
    const char* value; // raw bytes of exactly the field's width
    std::function<std::string(std::string_view)> read;
};

void checkAccessors(RecordType type, const std::vector<Accessor>& accessors)
{
    RecordBuilder b(type);
    b.setRaceKey("2004053005020411");
    for (const Accessor& a : accessors)
        b.setRaw(a.field, a.value);
    for (const Accessor& a : accessors) {
        EXPECT_EQ(a.read(b.bytes()), a.value) << a.field;
        // The same field through the raw cut.
        const RecordField* f = findRecordField(type, a.field);
        ASSERT_NE(f, nullptr) << a.field;
        EXPECT_EQ(RecordView(b.bytes()).field(f->pos, f->len), a.value) << a.field;
    }
}

TEST(RecordViewsTest, RaAccessorsReadTheirFields)
{
    checkAccessors(
        RecordType::RA,
        {
            {"data_kind", "2", [](auto r) { return RaView(r).dataKind(); }},
            {"creation_date", "20040529", [](auto r) { return RaView(r).creationDate(); }},
            {"weekday", "7", [](auto r) { return RaView(r).weekday(); }},
            {"edition", "071", [](auto r) { return RaView(r).editionText(); }},
            {"grade", "A", [](auto r) { return RaView(r).grade(); }},
            {"race_type", "12", [](auto r) { return RaView(r).raceType(); }},
            {"race_symbol", "A03", [](auto r) { return RaView(r).raceSymbol(); }},
            {"weight_rule", "3", [](auto r) { return RaView(r).weightRule(); }},
            {"condition_2yo", "701", [](auto r) { return RaView(r).condition2yo(); }},
            {"condition_3yo", "702", [](auto r) { return RaView(r).condition3yo(); }},
            {"condition_4yo", "703", [](auto r) { return RaView(r).condition4yo(); }},
            {"condition_5yo_up", "999", [](auto r) { return RaView(r).condition5yoUp(); }},
            {"distance", "2400", [](auto r) { return RaView(r).distanceText(); }},
            {"track", "11", [](auto r) { return RaView(r).track(); }},
            {"post_time", "1540", [](auto r) { return RaView(r).postTime(); }},
            {"registered", "18", [](auto r) { return RaView(r).registeredRaw(); }},
        });
}

TEST(RecordViewsTest, SeAccessorsReadTheirFields)
{
    checkAccessors(RecordType::SE,
                   {
                       {"bracket", "8", [](auto r) { return SeView(r).bracketText(); }},
                       {"horse_no", "17", [](auto r) { return SeView(r).horseNoText(); }},
                       {"finish_pos", "01", [](auto r) { return SeView(r).finishPosText(); }},
                       {"race_time", "2243", [](auto r) { return SeView(r).raceTime(); }},
                       {"margin", "A  ", [](auto r) { return SeView(r).margin(); }},
                       {"win_odds", "0123", [](auto r) { return SeView(r).winOddsText(); }},
                       {"popularity", "04", [](auto r) { return SeView(r).popularityText(); }},
                   });
}

TEST(RecordViewsTest, RaAndSeTextsAndNumbers)
{
    RecordBuilder ra(RecordType::RA);
    ra.set("race_name", "東京優駿").set("short_name_6", "ダービー").set("distance", 2400);
    ra.set("edition", 71);
    RaView v(ra.bytes());
    EXPECT_EQ(v.raceName(), "東京優駿");
    EXPECT_EQ(v.raceNameRaw().size(), 60u);
    EXPECT_EQ(v.shortName6(), "ダービー");
    EXPECT_EQ(v.distance(), 2400);
    EXPECT_EQ(v.edition(), 71);
    EXPECT_EQ(RaView(RecordBuilder(RecordType::RA).bytes()).raceName(), "");

    RecordBuilder se(RecordType::SE);
    se.set("horse_name", "キングカメハメハ").set("horse_no", 7).set("finish_pos", 1);
    se.setRaw("popularity", "  ");
    SeView s(se.bytes());
    EXPECT_EQ(s.horseName(), "キングカメハメハ");
    EXPECT_EQ(s.horseNo(), 7);
    EXPECT_EQ(s.finishPos(), 1);
    EXPECT_EQ(s.popularity(), std::nullopt);
}

TEST(RecordViewsTest, CommonHeadAndRaceKey)
{
    RecordBuilder b(RecordType::SE);
    b.setRaceKey("2004053005020411");
    RecordView v(b.bytes());
    EXPECT_EQ(v.recordType(), "SE");
    EXPECT_EQ(v.raceKeyText(), "2004053005020411");
    ASSERT_TRUE(v.raceKey().has_value());
    EXPECT_EQ(v.raceKey()->oddsFileStem(), "05020411");
    EXPECT_EQ(v.venue(), "05");
    EXPECT_EQ(v.yearText(), "2004");
    EXPECT_EQ(v.monthDayText(), "0530");
    EXPECT_EQ(v.meetingText(), "02");
    EXPECT_EQ(v.meetingDayText(), "04");
    EXPECT_EQ(v.raceNo(), 11);
    std::string damaged = b.bytes();
    damaged[24] = '.';
    EXPECT_EQ(RecordView(damaged).raceKey(), std::nullopt);
    EXPECT_FALSE(v.isBlank());
    EXPECT_TRUE(RecordView(std::string(1272, ' ')).isBlank());
    EXPECT_TRUE(RecordView(std::string(1270, ' ') + "\r\n").isBlank());
    EXPECT_TRUE(RecordView("").isBlank());
}

// Short and cut records read as blanks and never past their end.
TEST(RecordViewsTest, ShortRecordsReadBlanks)
{
    RecordBuilder b(RecordType::RA);
    b.set("registered", 12).set("post_time", 1540);
    struct Cut
    {
        size_t len;
        const char* postTime;
        std::optional<int> distance;
    };
    for (Cut c : {Cut{0, "    ", {}}, Cut{2, "    ", {}}, Cut{27, "    ", {}}, Cut{700, "    ", {}},
                  Cut{875, "15  ", 0}, Cut{877, "1540", 0}}) {
        RaView v(std::string_view(b.bytes()).substr(0, c.len));
        EXPECT_EQ(v.postTime(), c.postTime) << c.len;
        EXPECT_EQ(v.distance(), c.distance) << c.len;
        EXPECT_EQ(v.registered(), 0) << c.len;
        EXPECT_FALSE(v.registeredOutOfRange()) << c.len;
        EXPECT_EQ(v.raceName(), "") << c.len;
        EXPECT_EQ(v.track(), "  ") << c.len;
    }
    // A count cut in half is not a count.
    EXPECT_EQ(RaView(b.bytes().substr(0, 882)).registeredRaw(), "1 ");
    EXPECT_TRUE(RaView(b.bytes().substr(0, 882)).registeredOutOfRange());
    EXPECT_EQ(RaView(b.bytes().substr(0, 883)).registered(), 12);

    SeView se("SE");
    EXPECT_EQ(se.horseNo(), std::nullopt);
    EXPECT_EQ(se.horseName(), "");
    EXPECT_EQ(se.margin(), "   ");
    EXPECT_EQ(se.recordType(), "SE");
    EXPECT_EQ(se.dataKind(), " ");
    EXPECT_TRUE(HrView("HR").win(3).isBlank());
    EXPECT_EQ(O1View("O1").winOdds(28), "    ");
    EXPECT_EQ(O2View("O2").quinellaOdds(153), "      ");
}

struct RunnerCase
{
    const char* raw;
    int clamped;
    bool outOfRange;
};

class RegisteredRunnersTest : public testing::TestWithParam<RunnerCase>
{
};

TEST_P(RegisteredRunnersTest, IsClampedAndReported)
{
    const RunnerCase& c = GetParam();
    RecordBuilder ra(RecordType::RA);
    ra.setRaw("registered", c.raw);
    RaView v(ra.bytes());
    EXPECT_EQ(v.registered(), c.clamped);
    EXPECT_EQ(v.registeredOutOfRange(), c.outOfRange);
    EXPECT_EQ(v.registeredRaw(), c.raw);

    RecordBuilder o1(RecordType::O1);
    o1.setRaw("registered", c.raw);
    EXPECT_EQ(O1View(o1.bytes()).registered(), c.clamped);
    EXPECT_EQ(O1View(o1.bytes()).registeredOutOfRange(), c.outOfRange);
}

INSTANTIATE_TEST_SUITE_P(Values, RegisteredRunnersTest,
                         testing::Values(RunnerCase{"00", 0, false}, RunnerCase{"01", 1, false},
                                         RunnerCase{"18", 18, false}, RunnerCase{" 9", 9, false},
                                         RunnerCase{"  ", 0, false}, RunnerCase{"19", 18, true},
                                         RunnerCase{"99", 18, true}, RunnerCase{"ab", 0, true},
                                         RunnerCase{"-1", 0, true}, RunnerCase{"9 ", 0, true},
                                         RunnerCase{"\x81\x40", 0, true}));

TEST(RecordViewsTest, HrPayoutEntries)
{
    RecordBuilder b(RecordType::HR);
    b.set("win_horse", 1, 7).set("win_payout", 1, 350).set("win_popularity", 1, 1);
    b.set("place_horse", 5, 3).set("place_payout", 5, 1200).set("place_popularity", 5, 9);
    b.set("bracket_combo", 2, 36).set("bracket_payout", 2, 0).set("bracket_popularity", 2, 12);
    b.set("quinella_combo", 3, 718).set("quinella_payout", 3, 123456789);
    b.set("quinella_popularity", 3, 153);
    b.set("wide_combo", 7, 1718).set("wide_payout", 7, 4560).set("wide_popularity", 7, 100);
    HrView v(b.bytes());
    PayoutEntry w = v.win(1);
    EXPECT_EQ(w.combination, "07");
    EXPECT_EQ(w.payout, "000000350");
    EXPECT_EQ(w.popularity, "01");
    EXPECT_EQ(w.payoutYen(), 350);
    EXPECT_TRUE(v.win(2).isBlank());
    EXPECT_EQ(v.win(2).payoutYen(), std::nullopt);
    EXPECT_EQ(v.place(5).combination, "03");
    EXPECT_EQ(v.place(5).popularity, "09");
    EXPECT_EQ(v.bracket(2).combination, "36");
    EXPECT_EQ(v.bracket(2).payoutYen(), 0);
    EXPECT_EQ(v.quinella(3).combination, "0718");
    EXPECT_EQ(v.quinella(3).payoutYen(), 123456789);
    EXPECT_EQ(v.quinella(3).popularity, "153");
    EXPECT_EQ(v.wide(7).combination, "1718");
    EXPECT_EQ(v.wide(7).popularity, "100");
    EXPECT_TRUE(v.wide(6).isBlank());
    EXPECT_THROW(v.win(0), std::out_of_range);
    EXPECT_THROW(v.win(4), std::out_of_range);
    EXPECT_THROW(v.place(6), std::out_of_range);
    EXPECT_THROW(v.wide(8), std::out_of_range);
}

TEST(RecordViewsTest, OddsSlots)
{
    RecordBuilder o1(RecordType::O1);
    o1.set("announce_time", 5301512).set("registered", 16);
    o1.set("win_horse", 1, 1).set("win_odds", 1, 23).set("win_horse", 28, 28);
    o1.set("win_odds", 28, "----").set("win_odds", 2, "****");
    o1.set("bracket_combo", 36, 88).set("bracket_odds", 36, 12345).set("bracket_odds", 1, 7);
    O1View v(o1.bytes());
    EXPECT_EQ(v.announceTime(), "05301512");
    EXPECT_EQ(v.registered(), 16);
    EXPECT_EQ(v.winHorse(1), "01");
    EXPECT_EQ(v.winOdds(1), "0023");
    EXPECT_EQ(v.winOdds(2), "****");
    EXPECT_EQ(v.winOdds(3), "    ");
    EXPECT_EQ(v.winHorse(28), "28");
    EXPECT_EQ(v.winOdds(28), "----");
    EXPECT_EQ(v.bracketOdds(1), "00007");
    EXPECT_EQ(v.bracketCombination(36), "88");
    EXPECT_EQ(v.bracketOdds(36), "12345");
    EXPECT_THROW(v.winOdds(29), std::out_of_range);
    EXPECT_THROW(v.bracketOdds(0), std::out_of_range);

    RecordBuilder o2(RecordType::O2);
    o2.set("quinella_pair", 1, 102).set("quinella_odds", 1, 56);
    o2.set("quinella_pair", 153, 1718).set("quinella_odds", 153, 999999);
    O2View q(o2.bytes());
    EXPECT_EQ(q.quinellaPair(1), "0102");
    EXPECT_EQ(q.quinellaOdds(1), "000056");
    EXPECT_EQ(q.quinellaOdds(2), "      ");
    EXPECT_EQ(q.quinellaPair(153), "1718");
    EXPECT_EQ(q.quinellaOdds(153), "999999");
    EXPECT_EQ(q.bytes().substr(2016, 10), "1718999999");
    EXPECT_THROW(q.quinellaOdds(154), std::out_of_range);
}

} // namespace
} // namespace sorvantix
