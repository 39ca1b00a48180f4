#include "core/present/print_page.h"

#include "core/store/racing_codes.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

namespace sorvantix {
namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kSilver = 0xC0C0C0;
constexpr int kMaxRunners = 18;

// Records drawing operations the way a canvas takes them: font, pen, brush and text
// colour are state, and every item keeps the state current when it was drawn.
class PageRecorder
{
public:
    PageFont font;
    std::uint32_t textColour = kBlack;
    int penWidth = 1;
    std::optional<std::uint32_t> brush;

    void text(int x, int y, std::string s)
    {
        if (s.empty())
            return;
        PageItem item;
        item.kind = PageItem::Kind::Text;
        item.x1 = x;
        item.y1 = y;
        item.text = std::move(s);
        item.font = font;
        item.textColour = textColour;
        m_page.items.push_back(std::move(item));
    }

    void line(int x1, int y1, int x2, int y2) { shape(PageItem::Kind::Line, x1, y1, x2, y2); }

    void rectangle(int x1, int y1, int x2, int y2)
    {
        shape(PageItem::Kind::Rectangle, x1, y1, x2, y2);
        m_page.items.back().brush = brush;
    }

    PrintPage take() { return std::move(m_page); }

private:
    void shape(PageItem::Kind kind, int x1, int y1, int x2, int y2)
    {
        PageItem item;
        item.kind = kind;
        item.x1 = x1;
        item.y1 = y1;
        item.x2 = x2;
        item.y2 = y2;
        item.penWidth = penWidth;
        item.penColour = kBlack;
        m_page.items.push_back(std::move(item));
    }

    PrintPage m_page;
};

bool isBlank(std::string_view text)
{
    return trimmed(text).empty();
}

std::string payoutText(int payout)
{
    return format("[%8d]", payout);
}

// "◎" for a winner, "○" for a horse among the place results, else nothing.
std::string winHitMark(const RaceResults& results, int horse)
{
    for (int i = 1; i < static_cast<int>(results.WinResult.size()); ++i)
        if (results.WinResult[i].horse == horse)
            return "◎";
    for (int i = 1; i < static_cast<int>(results.PlaceResult.size()); ++i)
        if (results.PlaceResult[i].horse == horse)
            return "○";
    return {};
}

template <std::size_t N>
bool containsCombo(const std::array<ComboPayout, N>& entries, std::string_view label)
{
    for (std::size_t i = 1; i < N; ++i)
        if (entries[i].text == label)
            return true;
    return false;
}

// "◎" for the quinella result, "○" for a wide result, else nothing.
std::string pairHitMark(const RaceResults& results, std::string_view label)
{
    if (containsCombo(results.QuinellaResult, label))
        return "◎";
    if (containsCombo(results.WideResult, label))
        return "○";
    return {};
}

void drawHeading(PageRecorder& rec, const AnalysisPageInput& in)
{
    rec.font.size = 10;
    rec.font.bold = true;
    rec.font.underline = true;
    rec.text(100, 130, "videdoro「オッズソルヴァン法」・分析データ");
    rec.font.underline = false;
    rec.penWidth = 10;
    rec.text(200, 320, "ﾚｰｽ");
    rec.text(350, 220, in.TitleLabel1);
    rec.text(350, 255, in.TitleLabel2);
    rec.text(350, 290, in.TitleLabel3);
    rec.text(350, 325, in.TitleLabel4);
    rec.font.size = 20;
    rec.text(100, 195, VenueShortName(in.venueCode));
    rec.brush = kBlack;
    rec.rectangle(100, 270, 180, 350);
    rec.textColour = kWhite;
    // Two digits need the extra room to stay inside the square.
    rec.text(in.raceNumber > 9 ? 105 : 120, 275, format("%d", in.raceNumber));
    rec.line(100, 360, 1800, 360);
    rec.textColour = kBlack;
    rec.font.bold = false;
    rec.brush.reset();
    rec.font.size = 8;
}

int entryX(int index)
{
    return 220 + 240 * (index - 1);
}

template <std::size_t N>
void drawHorseRow(PageRecorder& rec, int y, const std::array<HorsePayout, N>& entries)
{
    for (std::size_t i = 1; i < N; ++i) {
        const HorsePayout& e = entries[i];
        if (e.horse != 0)
            rec.text(entryX(static_cast<int>(i)), y,
                     "　" + CircledNumber(e.horse) + " " + payoutText(e.payout));
    }
}

template <std::size_t N>
void drawComboRow(PageRecorder& rec, int y, const std::array<ComboPayout, N>& entries)
{
    for (std::size_t i = 1; i < N; ++i) {
        const ComboPayout& e = entries[i];
        // " 0- 0" is what an unused payout entry reads as.
        if (!isBlank(e.text) && trimmed(e.text) != "0- 0")
            rec.text(entryX(static_cast<int>(i)), y, e.text + payoutText(e.payout));
    }
}

void drawResults(PageRecorder& rec, const RaceResults& r)
{
    rec.text(100, 375, "【単勝】");
    rec.text(100, 405, "【複勝】");
    rec.text(100, 435, "【枠連】");
    rec.text(100, 465, "【馬連】");
    rec.text(100, 495, "【ﾜｲﾄﾞ】");
    drawHorseRow(rec, 375, r.WinResult);
    drawHorseRow(rec, 405, r.PlaceResult);
    drawComboRow(rec, 435, r.BracketResult);
    drawComboRow(rec, 465, r.QuinellaResult);
    drawComboRow(rec, 495, r.WideResult);
}

void drawAnalysisTable(PageRecorder& rec, const TextGrid& grid, int n)
{
    static constexpr std::array<int, 13> kThinLines{200,  250,  300,  440,  580,  720, 860,
                                                    1000, 1140, 1280, 1420, 1560, 1700};
    static constexpr std::array<int, 15> kCellX{115, 155,  207,  257,  330,  470,  610, 770,
                                                890, 1030, 1170, 1310, 1450, 1610, 1730};
    static constexpr std::array<std::pair<const char*, int>, 15> kHeaders{{
        {"枠", 110},
        {"馬", 160},
        {"推", 210},
        {"特", 260},
        {"単オッズ", 310},
        {"単勝ｼｪｱ", 450},
        {"全体ｼｪｱ", 590},
        {"ｼｪｱ順位", 730},
        {"1-3PA", 870},
        {"全PA", 1010},
        {"PA≧1率", 1150},
        {"1-3PA/S1", 1290},
        {"全/S1", 1430},
        {"着順", 1570},
        {"着差", 1710},
    }};

    const int bottom = 688 + 38 * n;
    rec.penWidth = 10;
    rec.brush = kSilver;
    rec.rectangle(100, 650, 1840, 688);
    rec.brush.reset();
    rec.font.size = 9;
    rec.text(100, 620, "/// 分析表 ///");
    rec.rectangle(100, 650, 1840, bottom);
    rec.line(100, 688, 1840, 688);
    rec.line(150, 650, 150, bottom);
    rec.penWidth = 5;
    for (int x : kThinLines)
        rec.line(x, 650, x, bottom);
    for (int r = 1; r <= n; ++r) {
        rec.line(100, 650 + 38 * r, 1840, 650 + 38 * r);
        for (int c = 0; c < static_cast<int>(kCellX.size()); ++c)
            rec.text(kCellX[c], 652 + 38 * r, grid.cell(c, r));
    }
    // The header row is printed from fixed texts: the grid's header carries the sort
    // button state, not what the paper should say.
    for (const auto& [caption, x] : kHeaders)
        rec.text(x, 652, caption);
}

void drawPaTable(PageRecorder& rec, const TextGrid& grid, int n)
{
    const int w = 150 + 100 * n;
    const int h = 1450 + 38 * (n + 1);
    rec.penWidth = 10;
    rec.font.size = 9;
    rec.text(100, 1420, "/// PA比表(ｼｪｱ順) ///");
    rec.brush = kSilver;
    rec.rectangle(100, 1450, w, 1488);
    rec.rectangle(100, 1450, 150, h);
    rec.brush.reset();
    rec.rectangle(100, 1450, w, h);
    rec.line(100, 1488, w, 1488);
    rec.penWidth = 5;
    for (int r = 1; r <= n; ++r) {
        rec.line(100, 1450 + 38 * r, w, 1450 + 38 * r);
        rec.line(50 + 100 * r, 1450, 50 + 100 * r, h);
        rec.font.size = 9;
        rec.text(70 + 100 * r, 1455, grid.cell(r, 0));
        rec.text(110, 1455 + 38 * r, grid.cell(0, r));
        rec.font.size = 8;
        for (int c = 1; c <= n; ++c) {
            const std::string& cell = grid.cell(c, r);
            const std::string_view t = trimmed(cell);
            if (!t.empty() && t != "--")
                rec.text(55 + 100 * c, 1454 + 38 * r, cell);
        }
    }
}

// One win bet line: mark, horse number and its win odds.
void drawWinBet(PageRecorder& rec, int y, int horse, const RaceResults& results,
                const OddsArrays& odds)
{
    if (horse <= 0)
        return;
    rec.text(70, y, winHitMark(results, horse));
    rec.text(100, y, format("%2d番", horse));
    if (horse <= kMaxRunners)
        rec.text(200, y, format("%5.1f倍", odds.TanOdds[horse]));
}

template <std::size_t N>
void drawPairBets(PageRecorder& rec, const char* title, int x,
                  const std::array<std::string, N>& bets, const RaceResults& results,
                  const OddsArrays& odds)
{
    rec.text(x, 2310, title);
    for (std::size_t k = 1; k < N; ++k) {
        const std::string& label = bets[k];
        if (isBlank(label))
            continue;
        const int y = 2310 + 40 * static_cast<int>(k);
        rec.text(x - 30, y, pairHitMark(results, label));
        rec.text(x, y, label);
        const int pair = UmarenPairNo(label);
        if (pair > 0)
            rec.text(x + 120, y, format("%6.1f倍", odds.UmarenOdds[pair]));
    }
}

void drawBets(PageRecorder& rec, const AnalysisPageInput& in, const RaceResults& results,
              const AnalysisState& a, const OddsArrays& odds)
{
    rec.font.size = 9;
    rec.text(100, 2220,
             "/// 参考買い目 /// "
             "(※ｵｯｽﾞは指定時刻の単勝・馬連ｵｯｽﾞ。◎は単勝・馬連の的中、○は複勝・ﾜｲﾄﾞの的中。)");
    rec.text(100, 2265,
             "[上位寡占率:" + format("%5.1f", in.KasenRatePercent) +
                 " % / 波乱度:" + upsetWord(in.KasenRatePercent) + "]");

    rec.text(100, 2310, "<<単勝本命>>");
    drawWinBet(rec, 2350, a.KaiTanHon, results, odds);
    rec.text(100, 2430, "<<単勝穴>>");
    drawWinBet(rec, 2470, a.KaiTanAan[1], results, odds);
    drawWinBet(rec, 2510, a.KaiTanAan[2], results, odds);

    drawPairBets(rec, "<<連勝本命>>", 600, a.KaiRenHon, results, odds);
    drawPairBets(rec, "<<連勝中穴>>", 1100, a.KaiRenChuAna, results, odds);
    drawPairBets(rec, "<<連勝大穴>>", 1600, a.KaiRenOoAna, results, odds);
}

long long roundedDiv(long long num, long long den)
{
    // Halves away from zero, as the device conversion rounds.
    const bool negative = (num < 0) != (den < 0);
    const long long n = num < 0 ? -num : num;
    const long long d = den < 0 ? -den : den;
    const long long q = (2 * n + d) / (2 * d);
    return negative ? -q : q;
}

} // namespace

std::optional<std::string> analysisPageRefusal(const AnalysisPageInput& input)
{
    if (isBlank(input.TitleLabel1) || !input.analysisShown || input.StringGrid1 == nullptr ||
        input.StringGrid5 == nullptr)
        return std::string(kNothingToPrintMessage);
    return std::nullopt;
}

PrintPage buildAnalysisPage(const AnalysisPageInput& input)
{
    if (analysisPageRefusal(input))
        throw std::logic_error("buildAnalysisPage: nothing to print (check analysisPageRefusal)");

    static const RaceResults kNoResults;
    static const AnalysisState kNoAnalysis;
    static const OddsArrays kNoOdds;
    const RaceResults& results = input.results ? *input.results : kNoResults;
    const AnalysisState& analysis = input.analysis ? *input.analysis : kNoAnalysis;
    const OddsArrays& odds = input.odds ? *input.odds : kNoOdds;
    const int n = std::clamp(input.runners, 0, kMaxRunners);

    PageRecorder rec;
    drawHeading(rec, input);
    drawResults(rec, results);
    drawAnalysisTable(rec, *input.StringGrid1, n);
    drawPaTable(rec, *input.StringGrid5, n);
    drawBets(rec, input, results, analysis, odds);
    return rec.take();
}

int tenthMmToDevice(int tenths, int dpi)
{
    return static_cast<int>(roundedDiv(static_cast<long long>(tenths) * dpi, 254));
}

int penWidthToDevice(int w, int printerDpiY, int screenDpi)
{
    if (screenDpi <= 0)
        throw std::invalid_argument("penWidthToDevice: screen dpi must be positive");
    const long long px =
        roundedDiv(static_cast<long long>(w) * printerDpiY, static_cast<long long>(screenDpi) * 10);
    return static_cast<int>(std::max(px, 1LL));
}

std::string upsetWord(double ratePercent)
{
    if (ratePercent >= 60)
        return "小";
    if (ratePercent > 40)
        return "中";
    return "大";
}

int zoomOfItem(int item)
{
    if (item < 0 || item >= static_cast<int>(kZoomChoices.size()))
        return 50;
    return kZoomChoices[static_cast<std::size_t>(item)];
}

int acceptZoom(int current, int requested)
{
    return requested >= 25 && requested <= 200 ? requested : current;
}

} // namespace sorvantix
