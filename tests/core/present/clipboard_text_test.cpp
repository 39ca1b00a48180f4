#include "core/present/clipboard_text.h"
#include "core/text/format.h"

#include <gtest/gtest.h>

using namespace sorvantix;

TEST(ClipboardText, TenRunnerTableGivesTitleAndElevenRowsOfFifteenCells)
{
    TextGrid g(15, 11);
    g.setCell(0, 0, "枠");
    g.setCell(14, 0, "着差");
    for (int r = 1; r <= 10; ++r)
        g.setCell(1, r, format("%2d", r));
    const std::string text = clipboardText("2006年12月24日中山 5回 8日11R  10頭", g);

    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    EXPECT_EQ(start, text.size()); // the last line ends in CR LF as well
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], "2006年12月24日中山 5回 8日11R  10頭");
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '\t'), 14) << i;
    EXPECT_EQ(lines[1], "枠" + std::string(14, '\t') + "着差");
    EXPECT_EQ(lines[2], "\t 1" + std::string(13, '\t')); // filler blank kept
}

TEST(ClipboardText, GridOfTheActiveTab)
{
    EXPECT_EQ(clipboardGridNumber("分析表"), 1);
    EXPECT_EQ(clipboardGridNumber("オッズ"), 2);
    EXPECT_EQ(clipboardGridNumber("個別シェア"), 3);
    EXPECT_EQ(clipboardGridNumber("PA比"), 4);
    EXPECT_EQ(clipboardGridNumber("PA比ソート"), 5);
    EXPECT_EQ(clipboardGridNumber("参考買い目"), 1);
    EXPECT_EQ(clipboardGridNumber("結果"), 1);
}
