#include "core/text/sorted_text_list.h"

#include <gtest/gtest.h>

using namespace sorvantix;

TEST(SortedTextList, KeepsAscendingOrderAndStoresEqualTextOnce)
{
    SortedTextList list;
    EXPECT_EQ(list.add(" 0.500 3"), 0u);
    EXPECT_EQ(list.add(" 0.250 7"), 0u);
    EXPECT_EQ(list.add(" 0.500 1"), 1u);
    EXPECT_EQ(list.add(" 0.500 3"), 2u); // already there: same index, no second copy
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], " 0.250 7");
    EXPECT_EQ(list[1], " 0.500 1"); // tie on the number decided by what follows
    EXPECT_EQ(list[2], " 0.500 3");
    EXPECT_EQ(list.indexOf(" 0.500 1"), 1u);
    EXPECT_EQ(list.indexOf("missing"), SortedTextList::npos);
}

TEST(SortedTextList, ComparesAsciiLettersWithoutCase)
{
    EXPECT_EQ(compareText("abc", "ABC"), 0);
    EXPECT_LT(compareText("ab", "abc"), 0);
    EXPECT_LT(compareText(" 9", "10"), 0); // right-aligned numbers order numerically
    std::vector<std::string> lines{"RA000b", "RA000A", "RA000a"};
    sortLines(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"RA000A", "RA000a", "RA000b"}));
}
