#include "core/results/hit_report.h"
#include "core/store/record_builder.h"
#include "core/text/cp932.h"

#include <gtest/gtest.h>

using namespace sorvantix;

namespace {

// Race 11 at Tokyo (05) on 16 May 2004, short name ダービー.
std::string race11()
{
    RecordBuilder b(RecordType::RA);
    b.setRaceKey("2004051605020811").set("short_name_6", "ダービー");
    return b.bytes();
}

struct Bets
{
    std::vector<std::string> hon{3}, chu{5}, oo{10};
    RaceBets view() const { return {hon, chu, oo}; }
};

RaceResults results(std::vector<ComboPayout> quinella, std::vector<ComboPayout> wide)
{
    RaceResults r;
    for (size_t i = 0; i < quinella.size(); ++i)
        r.QuinellaResult[i + 1] = quinella[i];
    for (size_t i = 0; i < wide.size(); ++i)
        r.WideResult[i + 1] = wide[i];
    return r;
}

struct ThresholdCase
{
    const char* name;
    TekiButton button;
    bool quinella; // else wide
    int payout;
    const char* expectedLine; // "" when not listed
};

class HitThresholdTest : public testing::TestWithParam<ThresholdCase>
{
};

} // namespace

TEST_P(HitThresholdTest, ListsAndStylesTheHit)
{
    const ThresholdCase& c = GetParam();
    Bets bets;
    bets.oo[0] = " 6- 8";
    ComboPayout hit{" 6- 8", 1, c.payout};
    RaceResults r = c.quinella ? results({hit}, {}) : results({}, {hit});
    HitLines lines;
    int n = collectRaceHits(race11(), bets.view(), r, c.button, lines);
    if (std::string(c.expectedLine).empty()) {
        EXPECT_EQ(n, 0);
        EXPECT_TRUE(lines.page.empty());
        return;
    }
    ASSERT_EQ(n, 1);
    ASSERT_EQ(lines.page.size(), 1u);
    EXPECT_EQ(fromCp932(lines.page[0]), c.expectedLine);
    const std::string label = c.quinella ? "R[馬連　]：　" : "R[ワイド]：　";
    EXPECT_EQ(
        fromCp932(lines.log[0]),
        "200405160511" + label + " 6- 8/配当 " +
            std::string(c.expectedLine).substr(std::string(c.expectedLine).find("/配当 ") + 8, 10));
}

// The long-shot button lists only what pays more than 5000 (quinella) and 3000 (wide);
// the colour and icon change at 10000 and 5000 whichever button it is.
INSTANTIATE_TEST_SUITE_P(
    Payouts, HitThresholdTest,
    testing::Values(
        ThresholdCase{"FavouriteQuinella", TekiButton::TekiAnaBtn, true, 1230,
                      "<img src=\"./image/lis2.gif\"><font color=\"blue\">東京11R[馬連　]：　 6- 8"
                      "/配当    1230円　ダービー　　</font>"},
        ThresholdCase{"AnaQuinellaAt5000", TekiButton::TekiAnaBtn2, true, 5000, ""},
        ThresholdCase{"AnaQuinellaAt5010", TekiButton::TekiAnaBtn2, true, 5010,
                      "<img src=\"./image/lis2.gif\"><font color=\"blue\">東京11R[馬連　]：　 6- 8"
                      "/配当    5010円　ダービー　　</font>"},
        ThresholdCase{"QuinellaRedFrom10000", TekiButton::TekiAnaBtn2, true, 10000,
                      "<img src=\"./image/lis1.gif\"><font color=\"red\">東京11R[馬連　]：　 6- 8"
                      "/配当   10000円　ダービー　　</font>"},
        ThresholdCase{"AnaWideAt3000", TekiButton::TekiAnaBtn2, false, 3000, ""},
        ThresholdCase{"AnaWideAt3010", TekiButton::TekiAnaBtn2, false, 3010,
                      "<img src=\"./image/lis2.gif\"><font color=\"blue\">東京11R[ワイド]：　 6- 8"
                      "/配当    3010円　ダービー　　</font>"},
        ThresholdCase{"WideRedFrom5000", TekiButton::TekiAnaBtn, false, 5000,
                      "<img src=\"./image/lis1.gif\"><font color=\"red\">東京11R[ワイド]：　 6- 8"
                      "/配当    5000円　ダービー　　</font>"},
        ThresholdCase{"NothingPaid", TekiButton::TekiAnaBtn, true, 0, ""}),
    [](const testing::TestParamInfo<ThresholdCase>& info) { return info.param.name; });

TEST(HitReport, OneLinePerMatchQuinellaFirstAndBlankBetsSkipped)
{
    Bets bets;
    bets.hon = {" 1- 3", "", "   "};
    bets.oo[0] = " 1- 3"; // the same pair again, as a long shot
    RaceResults r = results({{" 1- 3", 1, 980}, {" 0- 0", 0, 0}},
                            {{" 1- 3", 1, 300}, {" 1- 5", 4, 900}, {" 3- 5", 9, 1500}});
    HitLines lines;
    EXPECT_EQ(collectRaceHits(race11(), bets.view(), r, TekiButton::TekiAnaBtn, lines), 4);
    ASSERT_EQ(lines.log.size(), 4u);
    EXPECT_EQ(fromCp932(lines.log[0]), "200405160511R[馬連　]：　 1- 3/配当     980円");
    EXPECT_EQ(fromCp932(lines.log[1]), "200405160511R[ワイド]：　 1- 3/配当     300円");
    EXPECT_EQ(lines.log[2], lines.log[0]);
    // A race without results (entries blank after a reset) has no hits.
    HitLines none;
    EXPECT_EQ(collectRaceHits(race11(), bets.view(), RaceResults(), TekiButton::TekiAnaBtn, none),
              0);
}

TEST(HitReport, FilesAreNamedByTheRaceDateAndTheLogStartsWithItsTitle)
{
    EXPECT_EQ(hitPageFile("/a/HPupload", race11()),
              std::filesystem::path("/a/HPupload/TK20040516.txt"));
    // A blank first slot builds no name from its blanks.
    EXPECT_TRUE(hitPageFile("/a/HPupload", std::string(1272, ' ')).empty());
    EXPECT_TRUE(hitPageFile("/a/HPupload", "RA").empty());
    EXPECT_EQ(loadHitLog("/nonexistent/Rezovuro.txt"),
              std::vector<std::string>{toCp932(" オッズソルヴァン法 for JRA-VAN Data Lab.")});
}
