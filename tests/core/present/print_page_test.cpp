#include "core/app/settings_keys.h"
#include "core/present/print_page.h"
#include "core/store/racing_codes.h"
#include "core/text/format.h"
#include "core/text/ini_file.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

using namespace sorvantix;
using Kind = PageItem::Kind;

namespace {

constexpr std::uint32_t kSilver = 0xC0C0C0;

// A 16-runner race: horse 3 won, 7 second, 12 third; a mixed set of bets.
struct Race
{
    TextGrid grid1{15, 17};
    TextGrid grid5{17, 17};
    RaceResults results;
    AnalysisState analysis;
    OddsArrays odds;
    AnalysisPageInput input;

    Race()
    {
        for (int r = 1; r <= 16; ++r) {
            for (int c = 0; c < 15; ++c)
                grid1.setCell(c, r, format("%d:%d", c, r));
            grid5.setCell(r, 0, format("%2d", 17 - r));
            grid5.setCell(0, r, format("%2d", 17 - r));
            for (int c = 1; c <= 16; ++c)
                grid5.setCell(c, r, c == r ? "--" : format("%6.3f", 1.0 + c / 100.0));
        }
        grid1.setCell(3, 5, "");
        grid5.setCell(4, 2, "      ");

        results.WinResult[1] = {3, 1, 450};
        results.PlaceResult = {{{}, {3, 1, 150}, {7, 4, 320}, {12, 2, 210}, {}, {}}};
        results.BracketResult = {{{}, {" 2- 4", 3, 1200}, {" 0- 0", 0, 0}, {" 5- 6", 5, 2400}}};
        results.QuinellaResult[1] = {" 3- 7", 6, 3150};
        results.WideResult[1] = {" 3- 7", 6, 900};
        results.WideResult[2] = {" 3-12", 2, 410};
        results.WideResult[3] = {" 7-12", 9, 1500};

        analysis.KaiTanHon = 12;
        analysis.KaiTanAan = {0, 3, 5};
        analysis.KaiRenHon = {"", " 3- 7", " 7-12", " 1- 5"};
        analysis.KaiRenChuAna[2] = "abc";
        analysis.KaiRenOoAna[10] = " 9-16";
        odds.TanOdds[12] = 3.4;
        odds.TanOdds[3] = 5.6;
        odds.UmarenOdds[UmarenPairNo(" 3- 7")] = 12.3;
        odds.UmarenOdds[UmarenPairNo(" 9-16")] = 456.7;

        input.TitleLabel1 = "第49回 有馬記念";
        input.TitleLabel2 = "芝 右回り 2500m";
        input.venueCode = "06";
        input.raceNumber = 11;
        input.runners = 16;
        input.StringGrid1 = &grid1;
        input.StringGrid5 = &grid5;
        input.results = &results;
        input.analysis = &analysis;
        input.odds = &odds;
        input.KasenRatePercent = 52.34;
        input.analysisShown = true;
    }
};

const PageItem* textAt(const PrintPage& page, int x, int y)
{
    for (const PageItem& item : page.items)
        if (item.kind == Kind::Text && item.x1 == x && item.y1 == y)
            return &item;
    return nullptr;
}

std::string textOrNone(const PrintPage& page, int x, int y)
{
    const PageItem* item = textAt(page, x, y);
    return item ? item->text : "<none>";
}

int countShape(const PrintPage& page, Kind kind, int x1, int y1, int x2, int y2, int pen,
               std::optional<std::uint32_t> brush = std::nullopt)
{
    int count = 0;
    for (const PageItem& item : page.items)
        if (item.kind == kind && item.x1 == x1 && item.y1 == y1 && item.x2 == x2 && item.y2 == y2 &&
            item.penWidth == pen && item.brush == brush)
            ++count;
    return count;
}

} // namespace

TEST(AnalysisPage, RefusesWithoutTitleAnalysisOrGrids)
{
    struct Case
    {
        const char* title;
        bool shown;
        bool grid1;
        bool grid5;
        bool refused;
    };
    const Case cases[] = {
        {"有馬記念", true, true, true, false}, {"", true, true, true, true},
        {" \t ", true, true, true, true},      {"有馬記念", false, true, true, true},
        {"有馬記念", true, false, true, true}, {"有馬記念", true, true, false, true},
    };
    for (const Case& k : cases) {
        Race race;
        race.input.TitleLabel1 = k.title;
        race.input.analysisShown = k.shown;
        if (!k.grid1)
            race.input.StringGrid1 = nullptr;
        if (!k.grid5)
            race.input.StringGrid5 = nullptr;
        SCOPED_TRACE(std::string(k.title) + (k.shown ? " shown" : " hidden"));
        const auto refusal = analysisPageRefusal(race.input);
        if (k.refused) {
            EXPECT_EQ(refusal, std::optional<std::string>("データを読み込んでください。"));
            EXPECT_THROW(buildAnalysisPage(race.input), std::logic_error);
        } else {
            EXPECT_EQ(refusal, std::nullopt);
            EXPECT_NO_THROW(buildAnalysisPage(race.input));
        }
    }
}

TEST(AnalysisPage, TableOutlinesOf16Runners)
{
    Race race;
    const PrintPage page = buildAnalysisPage(race.input);

    EXPECT_EQ(countShape(page, Kind::Rectangle, 100, 650, 1840, 688, 10, kSilver), 1);
    EXPECT_EQ(countShape(page, Kind::Rectangle, 100, 650, 1840, 1296, 10), 1);
    EXPECT_EQ(countShape(page, Kind::Line, 150, 650, 150, 1296, 10), 1);
    for (int x : {200, 250, 300, 440, 580, 720, 860, 1000, 1140, 1280, 1420, 1560, 1700})
        EXPECT_EQ(countShape(page, Kind::Line, x, 650, x, 1296, 5), 1) << x;
    EXPECT_EQ(countShape(page, Kind::Line, 100, 1258, 1840, 1258, 5), 1); // row 16
    EXPECT_EQ(countShape(page, Kind::Line, 100, 1296, 1840, 1296, 5), 0);

    EXPECT_EQ(countShape(page, Kind::Rectangle, 100, 1450, 1750, 1488, 10, kSilver), 1);
    EXPECT_EQ(countShape(page, Kind::Rectangle, 100, 1450, 150, 2096, 10, kSilver), 1);
    EXPECT_EQ(countShape(page, Kind::Rectangle, 100, 1450, 1750, 2096, 10), 1);
    EXPECT_EQ(countShape(page, Kind::Line, 100, 1488, 1750, 1488, 10), 1);
    EXPECT_EQ(countShape(page, Kind::Line, 1650, 1450, 1650, 2096, 5), 1); // r = 16
    EXPECT_EQ(countShape(page, Kind::Line, 100, 2058, 1750, 2058, 5), 1);

    for (const PageItem& item : page.items) {
        if (item.kind == Kind::Text) {
            EXPECT_FALSE(item.text.empty());
        }
    }
}

TEST(AnalysisPage, RaceNumberInWhiteOnBlackSquare)
{
    for (auto [number, x] :
         {std::pair{1, 120}, std::pair{9, 120}, std::pair{10, 105}, std::pair{12, 105}}) {
        Race race;
        race.input.raceNumber = number;
        const PrintPage page = buildAnalysisPage(race.input);
        const PageItem* item = textAt(page, x, 275);
        ASSERT_NE(item, nullptr) << number;
        EXPECT_EQ(item->text, std::to_string(number));
        EXPECT_EQ(item->textColour, 0xFFFFFFu);
        EXPECT_EQ(item->font, (PageFont{kPrintFontFace, 20, true, false}));
        EXPECT_EQ(textAt(page, x == 120 ? 105 : 120, 275), nullptr);
        EXPECT_EQ(countShape(page, Kind::Rectangle, 100, 270, 180, 350, 10, 0x000000u), 1);
    }
}

TEST(AnalysisPage, TextsAtTheirPlaces)
{
    Race race;
    const PrintPage page = buildAnalysisPage(race.input);
    struct Case
    {
        int x, y;
        const char* text; // nullptr: nothing printed there
        int size;         // 0: not checked
    };
    // Horse number 0 and " 0- 0" leave gaps between printed neighbours; empty, blank and
    // "--" cells print nothing; unset odds print as they are; the favourite win bet
    // (12, third) is "○", the longshot 3 (winner) "◎", 5 (unplaced) unmarked; quinella
    // bets " 3- 7" (the quinella) "◎", " 7-12" (only a wide) "○", " 1- 5" unmarked;
    // "abc" is not a pair and gets no odds.
    // clang-format off
    const Case cases[] = {
        {100, 195, "中山", 20}, {350, 220, "第49回 有馬記念", 10}, {100, 375, "【単勝】", 8},
        {220, 375, "　③ [     450]", 8}, {460, 375, nullptr, 0}, {700, 405, "　⑫ [     210]", 0},
        {220, 435, " 2- 4[    1200]", 0}, {460, 435, nullptr, 0}, {700, 435, " 5- 6[    2400]", 0},
        {700, 495, " 7-12[    1500]", 0}, {940, 495, nullptr, 0},
        {110, 652, "枠", 9}, {1710, 652, "着差", 9}, {1730, 652 + 38 * 16, "14:16", 9},
        {257, 652 + 38 * 5, nullptr, 0},
        {170, 1455, "16", 9}, {110, 1455 + 38 * 16, " 1", 9}, {555, 1454 + 38 * 3, " 1.050", 8},
        {355, 1454 + 38 * 3, nullptr, 0}, {455, 1454 + 38 * 2, nullptr, 0},
        {100, 2265, "[上位寡占率: 52.3 % / 波乱度:中]", 9},
        {70, 2350, "○", 9}, {100, 2350, "12番", 9}, {200, 2350, "  3.4倍", 9},
        {70, 2470, "◎", 9}, {200, 2470, "  5.6倍", 9}, {70, 2510, nullptr, 0},
        {200, 2510, " -1.0倍", 9}, {570, 2350, "◎", 9}, {720, 2350, "  12.3倍", 9},
        {570, 2390, "○", 9}, {600, 2390, " 7-12", 9}, {570, 2430, nullptr, 0}, {600, 2430, " 1- 5", 9}, {1100, 2390, "abc", 9},
        {1220, 2390, nullptr, 0}, {1100, 2350, nullptr, 0}, {1720, 2710, " 456.7倍", 9}};
    // clang-format on
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.x) + "," + std::to_string(k.y));
        const PageItem* item = textAt(page, k.x, k.y);
        if (k.text == nullptr) {
            EXPECT_EQ(item, nullptr);
            continue;
        }
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text, k.text);
        if (k.size != 0) {
            EXPECT_EQ(item->font.size, k.size);
        }
    }

    const int xs[] = {115, 155, 207, 257, 330, 470, 610, 770, 890, 1030, 1170, 1310, 1450, 1610};
    for (int c = 0; c < 14; ++c)
        EXPECT_EQ(textOrNone(page, xs[c], 652 + 38 * 2), format("%d:2", c)) << c;
    ASSERT_NE(textAt(page, 100, 130), nullptr);
    ASSERT_NE(textAt(page, 200, 320), nullptr);
    EXPECT_EQ(textAt(page, 100, 130)->font, (PageFont{kPrintFontFace, 10, true, true}));
    EXPECT_EQ(textAt(page, 200, 320)->font, (PageFont{kPrintFontFace, 10, true, false}));
    EXPECT_EQ(textAt(page, 100, 375)->font, (PageFont{kPrintFontFace, 8, false, false}));
    EXPECT_EQ(textAt(page, 100, 375)->textColour, 0x000000u);
}

TEST(AnalysisPage, GuardsRunnerCountHorseNumbersAndMissingData)
{
    for (auto [runners, bottom] : {std::pair{-3, 688}, std::pair{0, 688}, std::pair{40, 1372}}) {
        Race race;
        race.input.runners = runners;
        race.analysis.KaiTanHon = 25;
        race.analysis.KaiTanAan[1] = -4;
        const PrintPage page = buildAnalysisPage(race.input);
        EXPECT_EQ(countShape(page, Kind::Rectangle, 100, 650, 1840, bottom, 10), 1) << runners;
        EXPECT_EQ(textOrNone(page, 100, 2350), "25番");
        EXPECT_EQ(textOrNone(page, 200, 2350), "<none>");
        EXPECT_EQ(textOrNone(page, 100, 2470), "<none>");
    }

    Race race;
    race.input.results = nullptr;
    race.input.analysis = nullptr;
    race.input.odds = nullptr;
    const PrintPage page = buildAnalysisPage(race.input);
    EXPECT_EQ(textOrNone(page, 220, 375), "<none>");
    EXPECT_EQ(textOrNone(page, 100, 2350), "<none>");
    EXPECT_EQ(textOrNone(page, 600, 2310), "<<連勝本命>>");
}

TEST(PrintUnits, UpsetWordAndDeviceConversions)
{
    for (auto [rate, word] : {std::pair{60.0, "小"}, std::pair{100.0, "小"}, std::pair{59.9, "中"},
                              std::pair{40.1, "中"}, std::pair{40.0, "大"}, std::pair{0.0, "大"}})
        EXPECT_EQ(upsetWord(rate), word) << rate;

    struct Conv
    {
        int value, dpi, expected;
    };
    for (const Conv& k : {Conv{254, 600, 600}, Conv{1, 600, 2}, Conv{127, 1, 1},
                          Conv{1840, 300, 2173}, Conv{-127, 1, -1}, Conv{0, 600, 0}})
        EXPECT_EQ(tenthMmToDevice(k.value, k.dpi), k.expected) << k.value << "@" << k.dpi;

    struct Pen
    {
        int w, printer, screen, expected;
    };
    for (const Pen& k : {Pen{10, 600, 96, 6}, Pen{5, 600, 96, 3}, Pen{12, 600, 96, 8},
                         Pen{1, 96, 96, 1}, Pen{0, 600, 96, 1}, Pen{10, 1200, 120, 10}})
        EXPECT_EQ(penWidthToDevice(k.w, k.printer, k.screen), k.expected) << k.w;
    EXPECT_THROW(penWidthToDevice(10, 600, 0), std::invalid_argument);
}

TEST(PrintPreview, SettingsZoomItemsAndZoomRange)
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "sorvantix-print-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    const TIniGT ini(dir / "settings.ini");

    EXPECT_EQ(readPrintPreviewSettings(ini), PrintPreviewSettings{});
    EXPECT_EQ(zoomOfItem(readPrintPreviewSettings(ini).zoomItem), 50);
    const PrintPreviewSettings saved{3, 120, 40, 800, 600};
    writePrintPreviewSettings(ini, saved);
    EXPECT_EQ(readPrintPreviewSettings(ini), saved);
    EXPECT_EQ(ini.ReadInteger("Printlocate", "width", 0), 800);
    for (int bad : {-1, 4, 9}) {
        ini.WriteInteger("PrintZoom", "ratio", bad);
        EXPECT_EQ(readPrintPreviewSettings(ini).zoomItem, 1) << bad;
    }
    std::filesystem::remove_all(dir);

    for (auto [item, zoom] : {std::pair{0, 25}, std::pair{1, 50}, std::pair{2, 75},
                              std::pair{3, 100}, std::pair{4, 50}, std::pair{-1, 50}})
        EXPECT_EQ(zoomOfItem(item), zoom) << item;
    for (auto [requested, result] : {std::pair{25, 25}, std::pair{200, 200}, std::pair{24, 75},
                                     std::pair{201, 75}, std::pair{0, 75}, std::pair{-50, 75}})
        EXPECT_EQ(acceptZoom(75, requested), result) << requested;
}
