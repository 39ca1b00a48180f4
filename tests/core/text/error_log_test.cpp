#include "core/app/temp_dir.h"
#include "core/jvlink/jv_result_text.h"
#include "core/text/clock.h"
#include "core/text/error.h"
#include "core/text/error_log.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::TempDir;

namespace {

std::vector<std::string> numbered(int count)
{
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

} // namespace

struct TrimCase
{
    int before;    // lines in the file, -1 for no file
    int keptFirst; // number of the first old line kept, 0 for none
};

class ErrorLogStartTest : public testing::TestWithParam<TrimCase>
{
};

TEST_P(ErrorLogStartTest, KeepsTheLastHundredLinesThenAddsTheStartLines)
{
    TempDir dir;
    auto file = dir.path() / "ErrorLog.txt";
    if (GetParam().before >= 0)
        writeLinesText(file, numbered(GetParam().before));
    SettableClock clock({2024, 1, 6, 9, 5, 3});
    ErrorLog log(file, clock);
    log.startEntry("/home/u/.local/share/sorvantix");

    auto lines = readLinesText(file);
    size_t old = GetParam().before < 0 ? 0 : std::min(GetParam().before, 100);
    ASSERT_EQ(lines.size(), old + 2);
    if (old > 0) {
        EXPECT_EQ(lines.front(), "line " + std::to_string(GetParam().keptFirst));
        EXPECT_EQ(lines[old - 1], "line " + std::to_string(GetParam().before));
    }
    EXPECT_EQ(lines[old], "ソフト起動：2024/01/06 09:05:03");
    EXPECT_EQ(lines[old + 1], "/home/u/.local/share/sorvantix");
    EXPECT_EQ(log.lines(), lines);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ErrorLogStartTest,
                         testing::Values(TrimCase{-1, 0}, TrimCase{0, 0}, TrimCase{3, 1},
                                         TrimCase{100, 1}, TrimCase{101, 2}, TrimCase{250, 151}));

TEST(ErrorLog, AppendShowsTheMessageThenAddsATimedLineToTheFile)
{
    TempDir dir;
    auto file = dir.path() / "ErrorLog.txt";
    SettableClock clock({2024, 1, 6, 9, 0, 0});
    std::vector<std::string> shown;
    ErrorLog log(file, clock, [&](const std::string& m) { shown.push_back(m); });
    log.startEntry(dir.path());
    // Another writer adds a line: the file, not the list in memory, is kept.
    auto lines = readLinesText(file);
    lines.push_back("other");
    writeLinesText(file, lines);

    clock.set({2024, 1, 6, 14, 5, 33});
    std::string message = JvResultText("JVRead", -502);
    EXPECT_EQ(log.append(message),
              "【エラー】14:05:33：ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)");

    EXPECT_EQ(shown, std::vector<std::string>{message});
    lines = readLinesText(file);
    ASSERT_EQ(lines.size(), 4u); // no trimming at append time
    EXPECT_EQ(lines[2], "other");
    EXPECT_EQ(lines[3], "【エラー】14:05:33：" + message);
    // CP932 on disk: 【エラー】 then the time and the full-width colon, CR LF.
    std::string raw = readFileBytes(file);
    EXPECT_NE(raw.find("\x81\x79\x83\x47\x83\x89\x81\x5B\x81\x7A"
                       "14:05:33\x81\x46"),
              std::string::npos);
    EXPECT_TRUE(raw.ends_with("(-502)\r\n"));
}

TEST(ErrorLog, AppendNeverLosesAnEntryToItsCharactersOrToDamagedLines)
{
    TempDir dir;
    auto file = dir.path() / "ErrorLog.txt";
    writeFileAtomic(file, "\x82\xFF damaged\r\n"); // not CP932 text
    SettableClock clock({2024, 1, 6, 8, 1, 2});
    ErrorLog log(file, clock);
    EXPECT_EQ(log.append("a😀b\r\nc"), "【エラー】08:01:02：a?b  c");
    EXPECT_EQ(readFileBytes(file), "\x82\xFF damaged\r\n"
                                   "\x81\x79\x83\x47\x83\x89\x81\x5B\x81\x7A"
                                   "08:01:02\x81\x46"
                                   "a?b  c\r\n");
}

TEST(ErrorLog, AppendCreatesAMissingFileAndReportsAnUnwritableOne)
{
    TempDir dir;
    SettableClock clock;
    ErrorLog log(dir.path() / "ErrorLog.txt", clock);
    log.append("x");
    EXPECT_EQ(readLinesText(log.file()).size(), 1u);

    int shown = 0;
    ErrorLog nowhere(dir.path() / "missing" / "ErrorLog.txt", clock, [&](auto&) { ++shown; });
    EXPECT_THROW(nowhere.append("x"), Error);
    EXPECT_EQ(shown, 1); // the person saw it even though the file could not take it
}
