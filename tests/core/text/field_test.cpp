#include "core/text/field.h"
#include "core/text/format.h"

#include <gtest/gtest.h>

using namespace sorvantix;

TEST(Field, CutsByBytePositionAndPadsShortRecords)
{
    std::string record = "RA2200405302004";
    EXPECT_EQ(field(record, 1, 2), "RA");
    EXPECT_EQ(field(record, 12, 4), "2004");
    EXPECT_EQ(field(record, 14, 4), "04  "); // runs past the end
    EXPECT_EQ(field(record, 40, 3), "   ");  // starts past the end
    EXPECT_EQ(field(record, 0, 2), "  ");    // no position 0
    EXPECT_EQ(field("", 1, 1), " ");
}

TEST(Field, DecodesAFieldCutFromCp932Bytes)
{
    std::string record = "xx\x93\x8C\x8B\x9E"; // 東京 in CP932 after two bytes
    EXPECT_EQ(fieldText(record, 3, 4), "東京");
    EXPECT_EQ(fieldText(record, 3, 6), "東京  ");
}

struct IntCase
{
    const char* text;
    std::optional<int> value;
};

class ParseIntTest : public testing::TestWithParam<IntCase>
{
};

TEST_P(ParseIntTest, ReadsLikeTheSystem)
{
    EXPECT_EQ(parseInt(GetParam().text), GetParam().value) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(Rules, ParseIntTest,
                         testing::Values(IntCase{"05", 5}, IntCase{" 5", 5}, IntCase{"  ", {}},
                                         IntCase{"", {}}, IntCase{"-30", -30}, IntCase{"+7", 7},
                                         IntCase{"12a", {}}, IntCase{"5 ", {}}, IntCase{"----", {}},
                                         IntCase{"****", {}}, IntCase{"0000", 0},
                                         IntCase{"99999999999", {}}));

TEST(Field, FieldIntCountsNonNumbersAsZeroAndSetFieldGrows)
{
    EXPECT_EQ(fieldInt("ab 12cd", 3, 3), 12);
    EXPECT_EQ(fieldInt("ab----", 3, 4), 0);
    // A record cut inside the field reads blanks after the digits: not a number.
    EXPECT_EQ(fieldInt("ab 12", 3, 4), 0);
    EXPECT_EQ(fieldInt("ab 12", 3, 3), 12);
    EXPECT_EQ(fieldInt("ab", 3, 2), 0);
    EXPECT_EQ(fieldInt("ab 12", 0, 3), 0);
    std::string record = "RA2";
    setField(record, 3, "000000000");
    EXPECT_EQ(record, "RA000000000");
    setField(record, 1, "SE");
    EXPECT_EQ(record, "SE000000000");
    EXPECT_EQ(toIntDef("x", 914), 914);
    EXPECT_EQ(parseDouble(" 12.5"), 12.5);
    EXPECT_EQ(parseDouble("1.2.3"), std::nullopt);
    EXPECT_EQ(trimmed("  a b \r\n"), "a b");
}

TEST(Format, FixedWidthFormats)
{
    EXPECT_EQ(format("%2d", 5), " 5");
    EXPECT_EQ(format("%6.3f", 1.0 / 3), " 0.333");
    EXPECT_EQ(format("%10.6f", 12.5), " 12.500000");
    EXPECT_EQ(format("%8.4f", -1.0), " -1.0000");
    EXPECT_EQ(format("%s", std::string(300, 'x').c_str()).size(), 300u);
    EXPECT_EQ(twoDigits(5), "05");
    EXPECT_EQ(twoDigits(123), "123");
}

TEST(Field, TerminalTextShowsControlBytesAsEscapes)
{
    EXPECT_EQ(withoutControls("有馬\x1b[2J記念\tG1\n"), "有馬\\x1B[2J記念\tG1\n");
    EXPECT_EQ(withoutControls(std::string("a\0b\x7f", 4)), "a\\x00b\\x7F");
    EXPECT_EQ(withoutControls("ｵｯｽﾞ"), "ｵｯｽﾞ");
}
