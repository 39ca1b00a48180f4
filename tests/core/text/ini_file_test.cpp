#include "core/app/temp_dir.h"
#include "core/text/error.h"
#include "core/text/ini_file.h"
#include "core/text/text_file.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::TempDir;

namespace {

std::string bytes(const std::filesystem::path& file)
{
    return readFileBytes(file);
}

} // namespace

TEST(TIniGT, ReadsSectionsAndKeysWithoutRegardToCaseOrBlanks)
{
    TempDir dir;
    auto file = dir.path() / "sorvantix.ini";
    writeFileAtomic(file, "[TIME]\r\n  first = 0905  \r\nDelay=7\r\n[locate]\r\ntop=20\r\n");
    TIniGT ini(file);
    EXPECT_EQ(ini.ReadString("Time", "First", "0915"), "0905");
    EXPECT_EQ(ini.ReadInteger("time", "DELAY", 5), 7);
    EXPECT_EQ(ini.ReadInteger("Locate", "top", 10), 20);
    EXPECT_EQ(ini.ReadInteger("locate", "first", 10), 10); // key of another section
}

struct IntCase
{
    const char* stored; // nullptr: key missing
    int expected;
};

class ReadIntegerTest : public testing::TestWithParam<IntCase>
{
};

TEST_P(ReadIntegerTest, GivesTheDefaultForMissingOrNonIntegerValues)
{
    TempDir dir;
    auto file = dir.path() / "a.ini";
    std::string text = "[Time]\r\n";
    if (GetParam().stored)
        text += std::string("delay=") + GetParam().stored + "\r\n";
    writeFileAtomic(file, text);
    EXPECT_EQ(TIniGT(file).ReadInteger("Time", "delay", 5), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ReadIntegerTest,
                         testing::Values(IntCase{nullptr, 5}, IntCase{"", 5}, IntCase{"12", 12},
                                         IntCase{"0905", 905}, IntCase{"-3", -3},
                                         IntCase{" 15 ", 15}, IntCase{"12abc", 5},
                                         IntCase{"abc", 5}, IntCase{"1.5", 5},
                                         IntCase{"99999999999", 5}, IntCase{"\"7\"", 5}));

struct StringCase
{
    const char* stored; // nullptr: key missing
    const char* defaultValue;
    const char* expected;
};

class ReadStringTest : public testing::TestWithParam<StringCase>
{
};

TEST_P(ReadStringTest, StripsQuotesAndHalfWidthBrackets)
{
    TempDir dir;
    auto file = dir.path() / "a.ini";
    TIniGT ini(file);
    if (GetParam().stored)
        ini.WriteString("Time", "First", GetParam().stored);
    EXPECT_EQ(ini.ReadString("Time", "First", GetParam().defaultValue), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadStringTest,
    testing::Values(StringCase{nullptr, "0915", "0915"}, StringCase{nullptr, "", ""},
                    StringCase{nullptr, "\"30\"", "\"30\""}, StringCase{"", "x", ""},
                    StringCase{"\"\"", "x", ""}, StringCase{"｢｣", "x", ""},
                    StringCase{"\"0905\"", "x", "0905"}, StringCase{"｢0905｣", "x", "0905"},
                    StringCase{"｢\"a\"｣", "x", "\"a\""}, StringCase{"\"a", "x", "\"a"},
                    StringCase{"\"", "x", "\""}, StringCase{"\"a｣", "x", "\"a｣"},
                    StringCase{"｢a", "x", "｢a"}, StringCase{"ab", "x", "ab"},
                    StringCase{"\"ｱ\"", "x", "ｱ"}, StringCase{"｢東京｣", "x", "東京"},
                    StringCase{"  05  ", "x", "05"}));

TEST(TIniGT, WritingKeepsEveryOtherLineAndUpdatesInPlace)
{
    TempDir dir;
    auto file = dir.path() / "sorvantix.ini";
    // A comment, an unknown key, a blank line, a line that is not CP932 text and a
    // key spelt in another case.
    writeFileAtomic(file, "; settings\r\n[Time]\r\nFIRST=0914\r\nunknown=1\r\n\r\n"
                          "\x82\xFF junk\r\n[Other]\r\nx=y\r\n");
    TIniGT ini(file);
    ini.WriteString("time", "First", "0905");
    ini.WriteInteger("Time", "delay", 7);
    ini.WriteInteger("Gpaph", "jiku", 1);
    EXPECT_EQ(bytes(file), "; settings\r\n[Time]\r\nFIRST=0905\r\nunknown=1\r\n\r\n"
                           "\x82\xFF junk\r\ndelay=7\r\n[Other]\r\nx=y\r\n[Gpaph]\r\njiku=1\r\n");
}

TEST(TIniGT, TheFirstOfDuplicateSectionsAndKeysWins)
{
    TempDir dir;
    auto file = dir.path() / "a.ini";
    writeFileAtomic(file, "[Time]\r\ndelay=1\r\ndelay=2\r\n[Time]\r\ndelay=3\r\nFirst=0800\r\n");
    TIniGT ini(file);
    EXPECT_EQ(ini.ReadInteger("Time", "delay", 5), 1);
    EXPECT_EQ(ini.ReadString("Time", "First", "0915"), "0915");
    ini.WriteInteger("Time", "delay", 9);
    EXPECT_EQ(bytes(file), "[Time]\r\ndelay=9\r\ndelay=2\r\n[Time]\r\ndelay=3\r\nFirst=0800\r\n");
}

TEST(TIniGT, StoresCp932WithCrLfAndCreatesTheFile)
{
    TempDir dir;
    auto file = dir.path() / "sorvantix.ini";
    TIniGT a(file);
    TIniGT b(file); // another window's instance sees the write at once
    EXPECT_EQ(b.ReadString("JvDataGet", "LastTime", ""), "");
    a.WriteString("JvDataGet", "LastTime", "2024/01/06 12:00:00");
    a.WriteString("Names", "venue", "東京");
    EXPECT_EQ(b.ReadString("JvDataGet", "LastTime", ""), "2024/01/06 12:00:00");
    EXPECT_EQ(bytes(file), "[JvDataGet]\r\nLastTime=2024/01/06 12:00:00\r\n"
                           "[Names]\r\nvenue=\x93\x8C\x8B\x9E\r\n");
}

TEST(TIniGT, RefusesWhatWouldBreakTheFileAndLeavesItAsItWas)
{
    TempDir dir;
    auto file = dir.path() / "a.ini";
    writeFileAtomic(file, "[Time]\r\ndelay=5\r\n");
    TIniGT ini(file);
    EXPECT_THROW(ini.WriteString("Time", "delay", "5\r\n[Evil]"), Error);
    EXPECT_THROW(ini.WriteString("Time", "a=b", "1"), Error);
    EXPECT_THROW(ini.WriteString("Ti]me", "a", "1"), Error);
    EXPECT_THROW(ini.WriteString("", "a", "1"), Error);
    EXPECT_THROW(ini.WriteString("Time", "delay", "😀"), Error);
    EXPECT_EQ(bytes(file), "[Time]\r\ndelay=5\r\n");
}

TEST(TIniGT, EveryReadSeesTheFileAsItIsNow)
{
    TempDir dir;
    auto file = dir.path() / "sorvantix.ini";
    TIniGT a(file), b(file);
    EXPECT_EQ(a.ReadInteger("Time", "delay", 5), 5); // no file yet
    b.WriteInteger("Time", "delay", 7);
    EXPECT_EQ(a.ReadInteger("Time", "delay", 5), 7);
    // Replaced by another program with text of the same length, then rewritten in
    // place with another length, then removed.
    writeFileAtomic(file, "[Time]\r\ndelay=8\r\n");
    EXPECT_EQ(a.ReadInteger("Time", "delay", 5), 8);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << "[Time]\r\ndelay=12\r\n";
    }
    EXPECT_EQ(a.ReadInteger("Time", "delay", 5), 12);
    std::filesystem::remove(file);
    EXPECT_EQ(a.ReadInteger("Time", "delay", 5), 5);
    a.WriteInteger("Time", "delay", 9);
    EXPECT_EQ(b.ReadInteger("Time", "delay", 5), 9);

    // A file last changed an hour ago is read once and kept; rewriting it in place with
    // text of the same length is seen.
    const auto hourAgo = std::filesystem::last_write_time(file) - std::chrono::hours(1);
    std::filesystem::last_write_time(file, hourAgo);
    EXPECT_EQ(a.ReadInteger("Time", "delay", 5), 9);
    EXPECT_EQ(b.ReadInteger("Time", "delay", 5), 9);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << "[Time]\r\ndelay=4\r\n";
    }
    EXPECT_EQ(a.ReadInteger("Time", "delay", 5), 4);
    EXPECT_EQ(b.ReadInteger("Time", "delay", 5), 4);
}

TEST(TIniGT, AFolderInPlaceOfTheFileIsAnErrorNotADefault)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "a.ini");
    TIniGT ini(dir.path() / "a.ini");
    EXPECT_THROW(ini.ReadInteger("Time", "delay", 5), Error);
    EXPECT_THROW(ini.WriteInteger("Time", "delay", 5), Error);
}

TEST(TIniGT, AByteOrderMarkHidesNoSectionAndIsKept)
{
    TempDir dir;
    auto file = dir.path() / "sorvantix.ini";
    writeFileAtomic(file, "\xEF\xBB\xBF[JvDataGet]\r\nLastTime=2026/12/05 10:00:00\r\n");
    TIniGT ini(file);
    EXPECT_EQ(ini.ReadString("JvDataGet", "LastTime", ""), "2026/12/05 10:00:00");
    ini.WriteString("JvDataGet", "LastTime", "2026/12/06 10:00:00");
    // Updated in its place: no second section, and the file keeps its form.
    EXPECT_EQ(bytes(file), "\xEF\xBB\xBF[JvDataGet]\r\nLastTime=2026/12/06 10:00:00\r\n");
}
