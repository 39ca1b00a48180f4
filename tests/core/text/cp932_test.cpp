#include "core/text/cp932.h"
#include "core/text/error.h"

#include <gtest/gtest.h>

using namespace sorvantix;

TEST(Cp932, RoundTripsTheCharactersTheProgramWrites)
{
    for (std::string text : {"東京競馬場　", "①⑱", "ｵｯｽﾞ取得", "～", "【エラー】", "ABC 123"}) {
        EXPECT_EQ(fromCp932(toCp932(text)), text);
    }
}

TEST(Cp932, UsesWindowsMappingsNotStrictShiftJis)
{
    // The wave dash of Windows data is U+FF5E (0x8160), and the circled digits exist.
    EXPECT_EQ(toCp932("～"), "\x81\x60");
    EXPECT_EQ(fromCp932("\x81\x60"), "～");
    EXPECT_EQ(toCp932("①"), "\x87\x40");
    EXPECT_EQ(toCp932("　"), "\x81\x40");
}

TEST(Cp932, RefusesTextItCannotHoldWithAClearError)
{
    try {
        toCp932("馬名😀");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("😀"), std::string::npos);
    }
    EXPECT_FALSE(fitsCp932("😀"));
    EXPECT_TRUE(fitsCp932("東京"));
}

TEST(Cp932, DamagedBytesDecodeToReplacementCharacters)
{
    // A lead byte cut off at the end of a field, and an undefined lead byte.
    EXPECT_EQ(fromCp932("A\x93"), "A\xEF\xBF\xBD");
    EXPECT_EQ(fromCp932(std::string("\x93\x8C") + "\xA0Z"), "東\xEF\xBF\xBDZ");
}

TEST(Cp932, DisplayWidthCountsCp932Bytes)
{
    EXPECT_EQ(displayWidth("東京  "), 6);
    EXPECT_EQ(displayWidth("ｻﾗ"), 2);
    EXPECT_EQ(displayWidth("G1   "), 5);
    EXPECT_EQ(displayWidth("①"), 2);
    EXPECT_EQ(displayWidth(""), 0);
    for (std::string text : {"東京競馬場　　　　　", "ｻﾗ系３歳上", "1_1/2馬身"})
        EXPECT_EQ(displayWidth(text), static_cast<int>(toCp932(text).size())) << text;
    EXPECT_EQ(padRight("東京", 6), "東京  ");
    EXPECT_EQ(padLeft("5", 3), "  5");
    EXPECT_EQ(padRight("長い名前", 2), "長い名前");
}
