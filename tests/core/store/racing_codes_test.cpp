#include "core/store/racing_codes.h"
#include "core/text/cp932.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

using namespace sorvantix;

namespace {

std::vector<std::string> numberedCodes(int from, int to)
{
    std::vector<std::string> codes;
    for (int i = from; i <= to; ++i) {
        char code[4];
        std::snprintf(code, sizeof code, "%02d", i);
        codes.emplace_back(code);
    }
    return codes;
}

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kJraVenues = numberedCodes(1, 10);
const std::vector<std::string> kLocalVenues = numberedCodes(30, 61);
const std::vector<std::string> kOverseasVenues = {
    "A0", "A2", "A4", "A6", "A8", "B0", "B2", "B4", "B6", "B8", "C0", "C2", "C5", "C6", "C7", "C8",
    "D0", "D2", "D4", "D6", "D8", "E0", "E2", "E4", "E6", "E8", "F0", "F1", "F2", "F8", "G0", "G2",
    "H0", "H2", "H4", "H6", "H8", "I0", "I2", "I4", "I6", "I8", "J0", "J2", "J4", "J6", "J8", "K0",
    "K2", "K4", "K6", "K8", "L0", "L2", "L4", "L6", "L8", "M0", "M2", "M4", "M6", "M8"};
const std::vector<std::string> kAllVenues = join(join(kJraVenues, kLocalVenues), kOverseasVenues);
// Unused, later-added or misspelt venue codes.
const std::vector<std::string> kNoVenues = {"",   "00", "11", "29", "62", "C4",  "F4",
                                            "G8", "N0", "N2", "a0", "5",  "05 ", " 05"};

const std::vector<std::string> kRaceTypes = {"11", "12", "13", "14", "18",
                                             "19", "21", "22", "23", "24"};
const std::vector<std::string> kGrades = {"A", "B", "C", "D", "E", "F", "G", "H"};
const std::vector<std::string> kSymbols = {
    "001", "002", "003", "004", "020", "021", "023", "024", "030", "031", "033", "034", "040",
    "041", "043", "044", "A00", "A01", "A02", "A03", "A04", "A10", "A11", "A13", "A14", "A20",
    "A21", "A23", "A24", "A30", "A31", "A33", "A34", "A40", "A41", "B00", "B01", "B03", "B04",
    "C00", "C01", "C03", "C04", "D00", "D01", "D03", "E00", "E01", "E03", "F00", "F01", "F03",
    "F04", "G00", "G01", "G03", "H00", "H01", "I00", "I01", "I03", "J00", "J01", "K00", "K01",
    "K03", "L00", "L01", "L03", "M00", "M01", "M03", "M04", "N00", "N01", "N03", "N04", "N20",
    "N21", "N23", "N24", "N30", "N31", "N40", "N41", "N44"};
const std::vector<std::string> kTracks = join(numberedCodes(10, 29), numberedCodes(51, 59));
const std::vector<std::string> kMargins = {"12", "34",  "1", "112", "114", "134", "2", "212",
                                           "3",  "312", "4", "5",   "6",   "7",   "8", "9",
                                           "Z",  "A",   "D", "H",   "K",   "T"};
const std::vector<std::string> kConditions =
    join(join(numberedCodes(1, 99), {"100"}), std::vector<std::string>{"701", "702", "703", "999"});

struct TableCase
{
    const char* name;
    std::function<std::string(std::string_view)> convert;
    std::vector<std::string> codes;
    int width; // -1: texts of varying width
    std::vector<std::string> unknownCodes;
    std::string blank;
};

void PrintTo(const TableCase& c, std::ostream* os)
{
    *os << c.name;
}

class RacingCodeTable : public testing::TestWithParam<TableCase>
{
};

TEST_P(RacingCodeTable, EveryCodeHasACp932TextOfTheFormsWidth)
{
    const TableCase& c = GetParam();
    ASSERT_FALSE(c.codes.empty());
    for (const std::string& code : c.codes) {
        std::string text = c.convert(code);
        SCOPED_TRACE("code '" + code + "' -> '" + text + "'");
        EXPECT_NO_THROW(toCp932(text));
        EXPECT_NE(text, c.blank);
        EXPECT_FALSE(text.empty());
        if (c.width >= 0) {
            EXPECT_EQ(displayWidth(text), c.width);
        }
    }
}

TEST_P(RacingCodeTable, UnknownCodesGiveTheBlankOfTheForm)
{
    const TableCase& c = GetParam();
    if (c.width >= 0 && !c.blank.empty()) { // day of week form 4 has an empty blank
        EXPECT_EQ(displayWidth(c.blank), c.width);
    }
    for (const std::string& code : c.unknownCodes)
        EXPECT_EQ(c.convert(code), c.blank) << "code '" << code << "'";
}

auto venue(int form)
{
    return [form](std::string_view code) { return VenueName(code, form); };
}
auto raceType(int form)
{
    return [form](std::string_view code) { return RaceTypeText(code, form); };
}
auto grade(int form)
{
    return [form](std::string_view code) { return GradeText(code, form); };
}
auto weekday(int form)
{
    return [form](std::string_view code) { return WeekdayText(code, form); };
}
auto margin(int form)
{
    return [form](std::string_view code) { return MarginText(code, form); };
}

const std::vector<std::string> kBadShortCodes = {"", " ", "0", "99", "ZZ", "1 ", "a"};
const std::vector<std::string> kBadRaceTypes = {"", "10", "15", "20", "25", "11 ", "1"};
const std::vector<std::string> kBadGrades = {"", " ", "I", "L", "a", "AA"};

INSTANTIATE_TEST_SUITE_P(
    AllTables, RacingCodeTable,
    testing::Values(
        TableCase{"VenueName0", venue(0), kAllVenues, 6, kNoVenues, "      "},
        TableCase{"VenueName1", venue(1), kAllVenues, 2, kNoVenues, "　"},
        TableCase{"VenueName2", venue(2), kAllVenues, -1, kNoVenues, "　　"},
        TableCase{"VenueName3", venue(3), kAllVenues, 6, kNoVenues, "      "},
        TableCase{"VenueName9", venue(9), kAllVenues, 20, kNoVenues, "　　　　　　　　　　"},
        TableCase{"VenueShortName", VenueShortName, kAllVenues, -1, kNoVenues, "　　"},
        TableCase{"VenueGroupName", VenueGroupName, kAllVenues, 6, kNoVenues, "      "},
        TableCase{"RaceType2", raceType(2), kRaceTypes, 4, kBadRaceTypes, "　　"},
        TableCase{"RaceType4", raceType(4), kRaceTypes, 8, kBadRaceTypes, "　　　　"},
        TableCase{"RaceType6", raceType(6), kRaceTypes, 12, kBadRaceTypes, "　　　　　　"},
        TableCase{"RaceType8", raceType(8), kRaceTypes, 16, kBadRaceTypes, "　　　　　　　　"},
        TableCase{"RaceType9", raceType(9), kRaceTypes, 25, kBadRaceTypes,
                  "　　　　　　　　　　　　 "},
        TableCase{"Grade1", grade(1), kGrades, 5, kBadGrades, "　　 "},
        TableCase{"Grade2", grade(2), {"A", "B", "C", "F", "G", "H"}, -1, {"D", "E", "", "L"}, ""},
        TableCase{"Grade8", grade(8), kGrades, 4, kBadGrades, "    "},
        TableCase{"Grade9", grade(9), kGrades, 18, kBadGrades, "　　　　　　　　　"},
        TableCase{"Weekday1",
                  weekday(1),
                  {"1", "2", "3", "4", "5", "6", "7", "8"},
                  2,
                  {"0", "9", "", " ", "01"},
                  "　"},
        TableCase{"Weekday2",
                  weekday(2),
                  {"1", "2", "3", "4", "5", "6", "7", "8"},
                  4,
                  {"0", "9", "", " ", "01"},
                  "　　"},
        TableCase{"Weekday3",
                  weekday(3),
                  {"1", "2", "3", "4", "5", "6", "7", "8"},
                  6,
                  {"0", "9", "", " ", "01"},
                  "　　　"},
        TableCase{"Weekday4",
                  weekday(4),
                  {"1", "2", "3", "4", "5", "6", "7"},
                  6,
                  {"0", "8", "9", "", " "},
                  ""},
        TableCase{"RaceSymbol",
                  RaceSymbolText,
                  kSymbols,
                  24,
                  {"000", "", "005", "010", "A42", "B02", "N02", "O00", "a00", "0001", "21"},
                  "　　　　　　　　　　　　"},
        TableCase{
            "WeightType", WeightTypeText, {"1", "2", "3", "4"}, -1, {"0", "5", "", " 1", "01"}, ""},
        TableCase{"RaceCondition",
                  RaceConditionText,
                  kConditions,
                  -1,
                  {"000", "", "   ", "101", "700", "704", "998", "-05", "ABC", "05a"},
                  ""},
        TableCase{"Track", TrackText, kTracks, -1, {"", "09", "30", "50", "60", "1", "10 "}, ""},
        TableCase{"Margin1",
                  margin(1),
                  kMargins,
                  -1,
                  {"", "   ", "14", "214", "734", "B", "z"},
                  "         "},
        TableCase{"Margin0",
                  margin(0),
                  kMargins,
                  9,
                  {"", "   ", "14", "214", "734", "B", "z"},
                  "         "}),
    [](const testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

struct Shown
{
    std::string actual;
    std::string expected;
};

TEST(RacingCodes, TextsHoldByteForByte)
{
    const Shown cases[] = {
        {VenueName("05", 9), "東京競馬場　　　　　"},
        {VenueName("49", 9), "紀三井寺競馬場　　　"},
        {VenueName("58", 9), "札幌競馬場(地方競馬)"},
        {VenueName("61", 9), "中京競馬場(地方競馬)"},
        {VenueName("B4", 9), "ニュージーランド　　"},
        {VenueName("05", 0), "東京  "},
        {VenueName("32", 0), "岩見  "},
        {VenueName("M4", 0), "墺    "},
        {VenueName("05", 3), "東京  "},
        {VenueName("32", 3), "岩見沢"},
        {VenueName("A4", 3), "アメリ"},
        {VenueName("F0", 3), "韓国  "},
        {VenueName("07", 1), "名"},
        {VenueName("C7", 1), "首"},
        {VenueName("H2", 1), "南"},
        {VenueName("05", 2), "東京"},
        {VenueShortName("08"), "京都"},
        {VenueGroupName("05"), "東京  "},
        {VenueGroupName("30"), "地方  "},
        {VenueGroupName("61"), "地方  "},
        {VenueGroupName("A0"), "海外  "},
        {VenueGroupName("M8"), "海外  "},
        {RaceTypeText("11", 2), "２歳"},
        {RaceTypeText("13", 2), "３上"},
        {RaceTypeText("19", 2), "４上"},
        {RaceTypeText("11", 4), "サラ２歳"},
        {RaceTypeText("18", 4), "障害３上"},
        {RaceTypeText("24", 4), "アラ４上"},
        {RaceTypeText("13", 6), "サラ系３歳上"},
        {RaceTypeText("19", 6), "障害４歳上　"},
        {RaceTypeText("11", 6), "サラ系２歳　"},
        {RaceTypeText("13", 8), "サラ系３歳以上　"},
        {RaceTypeText("19", 8), "サラ障害４歳以上"},
        {RaceTypeText("21", 8), "アラブ系２歳　　"},
        {RaceTypeText("13", 9), "サラブレット系3歳以上　　"},
        {RaceTypeText("18", 9), "サラブレット系障害3歳以上"},
        {RaceTypeText("21", 9), "アラブ系2歳　　　　　　　"},
        {RaceTypeText("21", 3), ""},
        {GradeText("A", 1), "G1   "},
        {GradeText("D", 1), "重賞 "},
        {GradeText("E", 1), "特別 "},
        {GradeText("H", 1), "JG3  "},
        {GradeText("A", 9), "G1(平地競走)　　　"},
        {GradeText("D", 9), "ｸﾞﾚｰﾄﾞのない重賞　"},
        {GradeText("E", 9), "重賞以外の特別競走"},
        {GradeText("F", 9), "JG1(障害競走)　　 "},
        {GradeText("C", 8), "G3  "},
        {GradeText("D", 8), "重  "},
        {GradeText("E", 8), "特  "},
        {GradeText("G", 8), "JG2 "},
        {GradeText("F", 2), "JG1"},
        {GradeText("A", 3), ""},
        {WeekdayText("0", 1), "　"},
        {WeekdayText("2", 1), "日"},
        {WeekdayText("3", 2), "祝日"},
        {WeekdayText("4", 2), "月曜"},
        {WeekdayText("3", 3), "祝日　"},
        {WeekdayText("1", 3), "土曜日"},
        {WeekdayText("1", 4), "月曜日"},
        {WeekdayText("7", 4), "日曜日"},
        {WeekdayText(6, 4), "土曜日"},
        {WeekdayText(8, 1), "金"},
        {WeekdayText(-1, 1), "　"},
        {WeekdayText("1", 5), ""},
        {RaceSymbolText("001"), "(指定)　　　　　　　　　"},
        {RaceSymbolText("002"), "若手騎手　　　　　　　　"},
        {RaceSymbolText("003"), "[指定]　　　　　　　　　"},
        {RaceSymbolText("004"), "(特指)　　　　　　　　　"},
        {RaceSymbolText("020"), "牝　　　　　　　　　　　"},
        {RaceSymbolText("021"), "牝(指定)　　　　　　　　"},
        {RaceSymbolText("A00"), "(混合)　　　　　　　　　"},
        {RaceSymbolText("A34"), "(混合)牡・ｾﾝ(特指)　　　"},
        {RaceSymbolText("K03"), "(市)(抽)関西配布馬[指定]"},
        {RaceSymbolText("N44"), "(国際)牡・牝(特指)　　　"},
        {WeightTypeText("1"), "ﾊﾝﾃﾞ"},
        {WeightTypeText("4"), "定量"},
        {RaceConditionText("001"), " 100万下"},
        {RaceConditionText("005"), " 500万下"},
        {RaceConditionText("016"), "1600万下"},
        {RaceConditionText("099"), "9900万下"},
        {RaceConditionText("100"), "1億下"},
        {RaceConditionText("701"), "新馬"},
        {RaceConditionText("702"), "未出走"},
        {RaceConditionText("703"), "未勝利"},
        {RaceConditionText("999"), "オープン"},
        {TrackText("10"), "芝 直線"},
        {TrackText("13"), "芝 左回り 内→外回り"},
        {TrackText("23"), "ﾀﾞｰﾄ 左回り"},
        {TrackText("29"), "ﾀﾞｰﾄ 直線"},
        {TrackText("51"), "障害 芝　襷"},
        {TrackText("52"), "障害 芝→ﾀﾞｰﾄ"},
        {TrackText("59"), "障害 外２周"},
        {MarginText("12", 0), "1/2馬身  "},
        {MarginText("112", 2), "1_1/2馬身"},
        {MarginText("2", 0), "2馬身    "},
        {MarginText("H", 0), "ハナ     "},
        {MarginText("Z", 0), "10馬身   "},
        {MarginText("A", 0), "ｱﾀﾏ      "},
        {MarginText("12", 1), "1/2"},
        {MarginText("112", 1), "1_1/2"},
        {MarginText("A", 1), "ｱﾀﾏ"},
        {MarginText("D", 1), "同着"},
        {MarginText("K", 1), "クビ"},
        {MarginText("T", 1), "大差"},
        {MarginText("Z", 1), "10"},
        {MarginText("12 ", 1), "1/2"}, // codes are compared after trimming
        {MarginText(" 1 ", 0), "1馬身    "},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
}

TEST(RacingCodes, ClockAndNumberTexts)
{
    const Shown cases[] = {
        {ShiftClock("0945", -30), "0915"},
        {ShiftClock("2350", 20), "2410"},
        {ShiftClock("1540", -30), "1510"},
        {ShiftClock("1005", -30), "0935"},
        {ShiftClock("1000", 0), "1000"},
        {ShiftClock("0010", -30), "0000"}, // no time before midnight
        {ShiftClock("", 10), ""},
        {ShiftClock("    ", 10), ""},
        {ShiftClock("09", 5), "0905"},
        {PadNumber("05"), " 5"},
        {PadNumber("00"), "  "},
        {PadNumber("12"), "12"},
        {PadNumber("007"), "  7"},
        {PadNumber("ab"), "  "},
        {PadNumber(""), ""},
        {FormatRaceTime("1345"), "1.34.5"},
        {FormatRaceTime("0594"), "  59.4"},
        {FormatRaceTime(" 594"), "  59.4"},
        {FormatRaceTime("0000"), "      "},
        {FormatRaceTime("    "), "      "},
        {FormatRaceTime("13a5"), "      "},
        {FormatRaceTime("134"), "      "},
        {FormatRaceTime("13456"), "      "},
        {OverwriteAt("RA0000", "12", 3), "RA1200"},
        {OverwriteAt("RA0000", "99", 6), "RA00099"},
        {OverwriteAt("RA", "12", 5), "RA  12"},
        {OverwriteAt("RA", "12", 0), "RA"},
        {CircledNumber(1), "①"},
        {CircledNumber(10), "⑩"},
        {CircledNumber(18), "⑱"},
        {CircledNumber(0), "－"},
        {CircledNumber(19), "－"},
        {CircledNumber(-3), "－"},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
    for (int n = 0; n <= 19; ++n)
        EXPECT_NO_THROW(toCp932(CircledNumber(n))) << n;
}

TEST(RacingCodes, QuinellaLabels)
{
    EXPECT_EQ(UmarenPairNo("17-18"), 153);
    EXPECT_EQ(UmarenPairNo(" 1- 2"), 1);
    EXPECT_EQ(UmarenPairNo(" 9-18"), umarenPairNumber(9, 18));
    EXPECT_EQ(UmarenPairNo("10-11"), umarenPairNumber(10, 11));
    for (const char* bad : {" 1- 1", "2- 1", " 2- 1", "01-02", "1-2", " 1-2", " 1 - 2", " 1- 2 ",
                            "18-19", " 0- 1", "17_18", "", "-----", " 1-20", "1a-12"})
        EXPECT_EQ(UmarenPairNo(bad), 0) << "'" << bad << "'";

    int number = 0;
    for (int a = 1; a <= 18; ++a) {
        for (int b = a + 1; b <= 18; ++b) {
            ++number;
            ASSERT_EQ(umarenPairNumber(a, b), number) << a << "-" << b;
            std::string label = UmarenPairText(number);
            char expected[8];
            std::snprintf(expected, sizeof expected, "%2d-%2d", a, b);
            EXPECT_EQ(label, expected);
            EXPECT_EQ(UmarenPairNo(label), number);
            EXPECT_EQ(umarenPairHorses(number), std::make_pair(a, b));
        }
    }
    EXPECT_EQ(number, 153);
    for (int bad : {0, 154, -1}) {
        EXPECT_EQ(UmarenPairText(bad), "");
        EXPECT_EQ(umarenPairHorses(bad), std::make_pair(0, 0));
    }
    EXPECT_EQ(umarenPairNumber(3, 3), 0);
    EXPECT_EQ(umarenPairNumber(4, 2), 0);
    EXPECT_EQ(umarenPairNumber(0, 2), 0);
    EXPECT_EQ(umarenPairNumber(1, 19), 0);
}

TEST(RacingCodes, BracketQuinellaLabels)
{
    int number = 0;
    for (int a = 1; a <= 8; ++a) {
        for (int b = a; b <= 8; ++b) {
            ++number;
            ASSERT_EQ(wakurenPairNumber(a, b), number) << a << "-" << b;
            char expected[8];
            std::snprintf(expected, sizeof expected, "%2d-%2d", a, b);
            EXPECT_EQ(WakurenPairText(number), expected);
        }
    }
    EXPECT_EQ(number, 36);
    EXPECT_EQ(WakurenPairText(1), " 1- 1");
    EXPECT_EQ(WakurenPairText(36), " 8- 8");
    for (int bad : {0, 37})
        EXPECT_EQ(WakurenPairText(bad), "");
    EXPECT_EQ(wakurenPairNumber(2, 1), 0);
    EXPECT_EQ(wakurenPairNumber(0, 1), 0);
    EXPECT_EQ(wakurenPairNumber(8, 9), 0);
}

TEST(RacingCodes, BracketNoFollowsTheJraRule)
{
    EXPECT_EQ(BracketNo(18, 15), 7);
    EXPECT_EQ(BracketNo(17, 15), 8);
    EXPECT_EQ(BracketNo(10, 7), 7);
    EXPECT_EQ(BracketNo(10, 6), 6);
    EXPECT_EQ(BracketNo(18, 12), 6);
    EXPECT_EQ(BracketNo(18, 13), 7);
    EXPECT_EQ(BracketNo(18, 16), 8);
    EXPECT_EQ(BracketNo(17, 14), 7);
    EXPECT_EQ(BracketNo(16, 1), 1);
    EXPECT_EQ(BracketNo(16, 16), 8);
    EXPECT_EQ(BracketNo(9, 8), 8);
    EXPECT_EQ(BracketNo(9, 7), 7);
    for (int runners = 1; runners <= 8; ++runners)
        for (int n = 1; n <= runners; ++n)
            EXPECT_EQ(BracketNo(runners, n), n);
    // Outside a field there is no bracket.
    EXPECT_EQ(BracketNo(10, 0), 0);
    EXPECT_EQ(BracketNo(10, 11), 0);
    EXPECT_EQ(BracketNo(5, 8), 0);
    EXPECT_EQ(BracketNo(19, 1), 0);
}

class BracketTable : public testing::TestWithParam<int>
{
};

TEST_P(BracketTable, FillsAllEightBracketsEvenlyFromTheBack)
{
    const int runners = GetParam();
    int size[9] = {};
    int previous = 1;
    for (int n = 1; n <= runners; ++n) {
        int bracket = BracketNo(runners, n);
        ASSERT_GE(bracket, previous) << "runner " << n; // brackets follow the numbers
        ASSERT_LE(bracket, 8);
        ASSERT_LE(bracket - previous, 1) << "runner " << n; // no bracket skipped
        ++size[bracket];
        previous = bracket;
    }
    EXPECT_EQ(previous, 8);
    for (int k = 1; k <= 8; ++k) {
        EXPECT_GE(size[k], runners / 8) << "bracket " << k;
        EXPECT_LE(size[k], (runners + 7) / 8) << "bracket " << k;
        if (k > 1) {
            EXPECT_LE(size[k - 1], size[k]) << "bracket " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EightToEighteenRunners, BracketTable, testing::Range(8, 19));

} // namespace
