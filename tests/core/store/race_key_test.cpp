#include "core/store/race_key.h"
#include "core/store/record_builder.h"
#include "core/text/error.h"

#include <gtest/gtest.h>

namespace sorvantix {
namespace {

TEST(RaceKeyTest, PartsOfAValidKey)
{
    RaceKey key = RaceKey::parse("2004053005020411");
    EXPECT_EQ(key.text(), "2004053005020411");
    EXPECT_EQ(key.year(), 2004);
    EXPECT_EQ(key.month(), 5);
    EXPECT_EQ(key.day(), 30);
    EXPECT_EQ(key.venue(), "05");
    EXPECT_EQ(key.meeting(), 2);
    EXPECT_EQ(key.meetingDay(), 4);
    EXPECT_EQ(key.raceNo(), 11);
    EXPECT_EQ(key.dateDigits(), "20040530");
    EXPECT_EQ(key.oddsFileStem(), "05020411");
    EXPECT_EQ(key.dayName().text(), "2004年05月30日");
}

TEST(RaceKeyTest, KeysCompareByTheirDigits)
{
    EXPECT_EQ(RaceKey::parse("2004053005020411"), RaceKey::parse("2004053005020411"));
    EXPECT_LT(RaceKey::parse("2004053005020409"), RaceKey::parse("2004053005020411"));
    EXPECT_LT(RaceKey::parse("2004053005020412"), RaceKey::parse("2004053008020401"));
}

class RaceKeyRefusalTest : public testing::TestWithParam<std::string>
{
};

// Keys become file names and requests: nothing but 16 digits may pass.
TEST_P(RaceKeyRefusalTest, IsRefused)
{
    EXPECT_FALSE(RaceKey::tryParse(GetParam()).has_value());
    EXPECT_THROW(RaceKey::parse(GetParam()), Error);
}

INSTANTIATE_TEST_SUITE_P(BadTexts, RaceKeyRefusalTest,
                         testing::Values(std::string(), "200405300502041", "20040530050204111",
                                         "2004053005020/11", "20040530../..041", "200405300502041a",
                                         " 004053005020411", "2004053005020 11",
                                         "200405300502041\n",
                                         std::string("20040530050\0"
                                                     "0411",
                                                     16),
                                         "２００４０５３０", "                "));

TEST(RaceKeyTest, FromRecordReadsPositions12To27)
{
    RecordBuilder b(RecordType::SE);
    b.setRaceKey("2004053005020411");
    EXPECT_EQ(RaceKey::fromRecord(b.bytes()).text(), "2004053005020411");
    // Exactly long enough.
    EXPECT_EQ(RaceKey::fromRecord(b.bytes().substr(0, 27)).raceNo(), 11);
    EXPECT_THROW(RaceKey::fromRecord(b.bytes().substr(0, 26)), Error);
    EXPECT_FALSE(RaceKey::tryFromRecord("").has_value());
    // A blank slot or a key with a separator is refused.
    EXPECT_THROW(RaceKey::fromRecord(std::string(1272, ' ')), Error);
    std::string damaged = b.bytes();
    damaged[20] = '/';
    EXPECT_FALSE(RaceKey::tryFromRecord(damaged).has_value());
    EXPECT_THROW(RaceKey::fromRecord(damaged), Error);
}

TEST(RaceKeyTest, ErrorNamesTheKeyPrintably)
{
    try {
        RaceKey::parse("2004\x81\x40"
                       "05300502041");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("2004\\x81@05300502041"), std::string::npos)
            << e.what();
    }
}

} // namespace
} // namespace sorvantix
