#include "core/store/race_key.h"
#include "core/text/day_name.h"

#include <gtest/gtest.h>

using namespace sorvantix;

TEST(DayName, BuildsAndParsesTheDayFileName)
{
    DayName d{2004, 5, 30};
    EXPECT_EQ(d.text(), "2004年05月30日");
    EXPECT_EQ(d.digits(), "20040530");
    EXPECT_EQ(DayName::parse("2004年05月30日東京.jvSEr"), d);
    EXPECT_EQ(DayName::parse("2004年05月30日.jvRA"), d);
    EXPECT_EQ(DayName::parse("2004年5月30日.jvRA"), std::nullopt);
    EXPECT_EQ(DayName::parse("20040530"), std::nullopt);
    EXPECT_EQ(DayName::fromDigits("20040530"), d);
    EXPECT_EQ(DayName::fromDigits("2004053a"), std::nullopt);
    EXPECT_EQ(DayName::fromRecord("RA22004060120040530"), d);
    EXPECT_EQ(DayName::fromRecord("RA2"), std::nullopt);
}

TEST(DayName, CutsNamesByCp932Bytes)
{
    EXPECT_EQ(cp932Prefix("2004年05月30日東京.jvSEr", 14), "2004年05月30日");
    EXPECT_EQ(cp932Prefix("2004年05月30日東京.sei", 6), "2004年");
    EXPECT_EQ(cp932Prefix("2004年", 5), "2004"); // never half a character
    EXPECT_EQ(cp932Prefix("ab", 14), "ab");
}

namespace sorvantix {
namespace {

TEST(DayNameDates, ImpossibleDatesAreNoDayNames)
{
    struct Case
    {
        const char* digits;
        bool possible;
    };
    for (const Case& c : {Case{"20261345", false}, Case{"20260231", false}, Case{"20260229", false},
                          Case{"20240229", true}, Case{"19000229", false}, Case{"20000229", true},
                          Case{"20261131", false}, Case{"20261231", true}, Case{"20260100", false},
                          Case{"00000101", false}}) {
        const std::string d = c.digits;
        const std::string name =
            d.substr(0, 4) + "年" + d.substr(4, 2) + "月" + d.substr(6, 2) + "日";
        EXPECT_EQ(DayName::fromDigits(d).has_value(), c.possible) << d;
        EXPECT_EQ(DayName::parse(name + ".jvRA").has_value(), c.possible) << name;
        EXPECT_EQ(RaceKey::tryParse(d + "05050211").has_value(), c.possible) << d;
    }
}

} // namespace
} // namespace sorvantix

namespace sorvantix {
namespace {

TEST(DayNameDates, ArgumentsInEachWrittenForm)
{
    const DayName d{2026, 11, 29};
    for (const char* text : {"2026年11月29日", "20261129", "2026-11-29", "2026/11/29"})
        EXPECT_EQ(DayName::fromArgument(text), d) << text;
    for (const char* text : {"2026年11月29日x", "2026-1129", "2026-11/29", "2026112", "",
                             "2026-02-31", "2026年13月01日", "20261345"})
        EXPECT_EQ(DayName::fromArgument(text), std::nullopt) << text;
}

} // namespace
} // namespace sorvantix
