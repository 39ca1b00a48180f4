#include "core/app/temp_dir.h"
#include "core/odds/odds_files.h"
#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::TempDir;

namespace {

const char* kKey = "2006122406050811";

std::string line(RecordBuilder& b)
{
    std::string s = b.bytes();
    return s.substr(0, s.size() - 2);
}

RecordBuilder o1(const std::string& time, const char* key = kKey)
{
    RecordBuilder b(RecordType::O1);
    b.set("data_kind", "0").set("creation_date", "20061224").setRaceKey(key);
    b.set("announce_time", time);
    return b;
}

RecordBuilder o2(const std::string& time)
{
    RecordBuilder b(RecordType::O2);
    b.set("data_kind", "0").set("creation_date", "20061224").setRaceKey(kKey);
    b.set("announce_time", time);
    return b;
}

} // namespace

TEST(OddsFiles, SaveSortsByTimeAndKeepsOnlyTheRaceOfTheFirstLine)
{
    TempDir dir;
    auto late = o1("12241510");
    auto early = o1("12240930");
    auto other = o1("12240900", "2006122406050812");
    int dropped = SaveOddsSeries(dir.path(), {line(late), line(other), line(early)}, kO1Extension);
    EXPECT_EQ(dropped, 1);
    auto file = dir.path() / "Data" / "20061224" / "06050811.jvO1";
    ASSERT_TRUE(std::filesystem::exists(file));
    std::string bytes = readFileBytes(file);
    EXPECT_EQ(bytes, line(early) + "\r\n" + line(late) + "\r\n");
    EXPECT_EQ(bytes.size(), 2u * kO1RecordSize);

    // An empty request leaves the stored series alone.
    EXPECT_EQ(SaveOddsSeries(dir.path(), {}, kO1Extension), 0);
    EXPECT_EQ(readFileBytes(file), bytes);
}

TEST(OddsFiles, RefusesARaceKeyThatIsNotDigits)
{
    TempDir dir;
    std::string bad = line(*std::make_unique<RecordBuilder>(o1("12241510")));
    bad.replace(11, 16, "2006/../../xx/11");
    EXPECT_THROW(SaveOddsSeries(dir.path(), {bad}, kO1Extension), Error);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Data"));
    EXPECT_THROW(oddsFilePath(dir.path(), "20061224060508", kO2Extension), Error);
}

TEST(OddsFiles, TimeKeysAndTheFirstMatchingRecord)
{
    EXPECT_EQ(timeKeyOfItem("12/24 15:10"), "12241510");
    EXPECT_EQ(timeKeyOfItem(""), "");
    auto a = o1("12241510");
    a.set("win_odds", 1, "0035");
    auto b = o1("12241510");
    b.set("win_odds", 1, "0040");
    EXPECT_EQ(timeComboItem(line(a)), "12/24 15:10");

    TempDir dir;
    auto file = dir.path() / "x.jvO1";
    writeLinesRaw(file, {line(a), line(b)});
    auto found = findOddsRecord(file, kO1RecordSize, "12241510");
    ASSERT_TRUE(found);
    EXPECT_EQ(field(*found, 46, 4), "0035"); // the first of two equal times
    EXPECT_FALSE(findOddsRecord(file, kO1RecordSize, ""));

    // A cut file is searched up to its last whole record and reported.
    writeFileAtomic(file, line(a) + "\r\n" + line(b).substr(0, 100));
    bool damaged = false;
    EXPECT_TRUE(findOddsRecord(file, kO1RecordSize, "12241510", &damaged));
    EXPECT_TRUE(damaged);
}

TEST(OddsFiles, LatestWinOddsAtOrBeforeATimeOnTheSameDay)
{
    TempDir dir;
    auto file = dir.path() / "x.jvO1";
    writeLinesRaw(file, {line(*std::make_unique<RecordBuilder>(o1("12231800"))),
                         line(*std::make_unique<RecordBuilder>(o1("12240900"))),
                         line(*std::make_unique<RecordBuilder>(o1("12240905"))),
                         line(*std::make_unique<RecordBuilder>(o1("12240915")))});
    auto r = findOddsRecordAtOrBefore(file, "12240910");
    ASSERT_TRUE(r);
    EXPECT_EQ(field(*r, 28, 8), "12240905");
    EXPECT_FALSE(findOddsRecordAtOrBefore(file, "12240859")); // the day before does not count
}

struct FieldCase
{
    const char* name;
    const char* win;      // win field of horse 1
    const char* quinella; // quinella field of pair 1
    double tan;
    double umaren;
};

class OddsFieldTest : public testing::TestWithParam<FieldCase>
{
};

TEST_P(OddsFieldTest, ConvertsOrSkipsEachForm)
{
    const FieldCase& c = GetParam();
    auto a = o1("12241510");
    a.set("win_odds", 1, c.win);
    auto q = o2("12241510");
    q.set("quinella_odds", 1, c.quinella);
    OddsArrays arrays;
    fillOddsArrays(a.bytes(), q.bytes(), true, arrays);
    EXPECT_DOUBLE_EQ(arrays.TanOdds[1], c.tan);
    EXPECT_DOUBLE_EQ(arrays.UmarenOdds[1], c.umaren);
}

INSTANTIATE_TEST_SUITE_P(Forms, OddsFieldTest,
                         testing::Values(FieldCase{"digits", "0035", "012345", 3.5, 1234.5},
                                         FieldCase{"zeros", "0000", "000000", 999.9, 99999.9},
                                         FieldCase{"cancelled_after", "****", "******", -1.0, -1.0},
                                         FieldCase{"cancelled_before", "----", "------", -1.0,
                                                   -1.0},
                                         FieldCase{"blank", "    ", "      ", -1.0, -1.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OddsFiles, BracketQuinellaStandsInForSmallOldFields)
{
    auto a = o1("05301510");
    a.set("bracket_odds", wakurenPairNumber(1, 2), "00123");
    a.set("bracket_odds", wakurenPairNumber(3, 3), "00555");
    a.set("bracket_odds", wakurenPairNumber(2, 4), "00000");
    OddsArrays arrays;
    fillOddsArrays(a.bytes(), std::string(kO2RecordSize, ' '), false, arrays);
    EXPECT_DOUBLE_EQ(arrays.UmarenOdds[1], 12.3);
    EXPECT_DOUBLE_EQ(arrays.UmarenOdds[0], 55.5); // a bracket with itself is no pair
    EXPECT_DOUBLE_EQ(arrays.UmarenOdds[umarenPairNumber(2, 4)], 9999.9);
    EXPECT_EQ(arrays.UmarenOdds[umarenPairNumber(3, 4)], -1.0);
}

TEST(OddsFiles, HorsesAbove18AreIgnoredAndGarbageLeavesTheArraysAlone)
{
    auto a = o1("12241510");
    a.set("win_odds", 19, "0012");
    a.set("win_odds", 2, "0050");
    OddsArrays arrays;
    fillOddsArrays(a.bytes(), "", true, arrays);
    EXPECT_DOUBLE_EQ(arrays.TanOdds[2], 5.0);
    for (int h = 3; h <= 18; ++h)
        EXPECT_EQ(arrays.TanOdds[static_cast<size_t>(h)], -1.0);

    auto bad = o1("12241510");
    bad.set("win_odds", 1, "0035");
    bad.setRaw("win_odds", 5, "12a4");
    OddsArrays untouched;
    try {
        fillOddsArrays(bad.bytes(), "", true, untouched);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("単勝 5"), std::string::npos);
    }
    EXPECT_EQ(untouched.TanOdds[1], -1.0); // nothing half-filled
}

// A byte too many or too few in one announcement (a stray LF, a lost byte) costs that
// announcement only: the readers find their place again at the next CR LF.
TEST(OddsFiles, DamageInOneAnnouncementLeavesEveryOtherReadable)
{
    std::vector<std::string> lines;
    for (const char* time : {"12241500", "12241505", "12241510", "12241515"}) {
        auto record = o1(time);
        lines.push_back(line(record));
    }
    TempDir dir;
    auto file = dir.path() / "x.jvO1";
    for (const auto& [what, damaged] :
         {std::pair<const char*, std::string>{"stray LF", lines[1].substr(0, 400) + "\n" +
                                                              lines[1].substr(400)},
          {"lost byte", lines[1].substr(0, 400) + lines[1].substr(401)},
          {"bare CR", lines[1].substr(0, 400) + "\r" + lines[1].substr(401)}}) {
        writeFileAtomic(file, lines[0] + "\r\n" + damaged + "\r\n" + lines[2] + "\r\n" + lines[3] +
                                  "\r\n");
        std::string damage;
        const auto read = readOddsLines(file, kO1RecordSize, &damage);
        EXPECT_EQ(read, (std::vector<std::string>{lines[0], lines[2], lines[3]})) << what;
        EXPECT_NE(damage.find("2件目"), std::string::npos) << what << ": " << damage;
        bool flagged = false;
        auto last = findOddsRecord(file, kO1RecordSize, "12241515", &flagged);
        ASSERT_TRUE(last) << what;
        EXPECT_EQ(*last, lines[3] + "\r\n") << what;
        EXPECT_TRUE(flagged) << what;
        EXPECT_FALSE(findOddsRecord(file, kO1RecordSize, "12241505")) << what;
        auto before = findOddsRecordAtOrBefore(file, "12241512");
        ASSERT_TRUE(before) << what;
        EXPECT_EQ(field(*before, 28, 8), "12241510") << what;
    }
}
