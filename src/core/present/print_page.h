#pragma once

#include "core/analysis/analysis_state.h"
#include "core/odds/odds_arrays.h"
#include "core/results/race_results.h"
#include "core/text/text_grid.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sorvantix {

inline constexpr const char* kPrintFontFace = "ＭＳ ゴシック";
inline constexpr const char* kNothingToPrintMessage = "データを読み込んでください。";
inline constexpr const char* kPrintPreviewCaption = "分析結果印刷";
inline constexpr const char* kNoPrinterMessage = "プリンタが登録されていません";

// The font of a text item; size in points on paper.
struct PageFont
{
    std::string face = kPrintFontFace;
    int size = 10;
    bool bold = false;
    bool underline = false;

    bool operator==(const PageFont&) const = default;
};

// One drawing operation of a page, with the drawing state that was current when it
// was recorded. Only the fields of its kind carry meaning; the others keep their
// defaults so that items compare as values.
struct PageItem
{
    enum class Kind { Text, Line, Rectangle };

    Kind kind = Kind::Text;
    // Tenths of a millimetre from the printable area's top-left. Text uses x1,y1 (the
    // top-left corner of the text); Line runs from (x1,y1) to (x2,y2); Rectangle has
    // the corners (x1,y1) and (x2,y2).
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::string text;                    // Text only, UTF-8, never empty
    PageFont font;                       // Text only
    std::uint32_t textColour = 0x000000; // Text only, 0xRRGGBB
    int penWidth = 0;                    // Line/Rectangle, layout units (see penWidthToDevice)
    std::uint32_t penColour = 0x000000;  // Line/Rectangle, 0xRRGGBB
    std::optional<std::uint32_t> brush;  // Rectangle: fill colour; nullopt = outline only

    bool operator==(const PageItem&) const = default;
};

// A recorded page: a display list the preview paints and the printer replays.
struct PrintPage
{
    int width = 2100, height = 2970; // tenths of a millimetre; A4 portrait by default
    std::vector<PageItem> items;     // in drawing order
};

// What the report reads from the main window. The pointers are borrowed for the call
// only.
struct AnalysisPageInput
{
    // The race title lines.
    std::string TitleLabel1, TitleLabel2, TitleLabel3, TitleLabel4;
    std::string venueCode;                 // 2 digits, for VenueShortName
    int raceNumber = 0;                    // 1..12
    int runners = 0;                       // registered runners n
    const TextGrid* StringGrid1 = nullptr; // analysis table, 15 columns, rows 1..n
    const TextGrid* StringGrid5 = nullptr; // PA ratio table by share order, (n+1)x(n+1)
    const RaceResults* results = nullptr;
    const AnalysisState* analysis = nullptr;
    const OddsArrays* odds = nullptr;
    double KasenRatePercent = 0; // top oligopoly rate in percent, as displayed
    bool analysisShown = false;  // the analysis panel is shown
};

// Whether the report can be printed: nullopt when it can, otherwise the message to
// show (kNothingToPrintMessage) when TitleLabel1 is blank after trimming, no analysis
// is shown, or either grid pointer is null.
std::optional<std::string> analysisPageRefusal(const AnalysisPageInput& input);

// The one-page analysis report ("分析結果印刷"): headings, results and payouts, the
// analysis table, the PA ratio table in share order, the top oligopoly rate with the
// upset word and the reference bets with their hit marks. The page has the default
// A4 size; the caller sets the printer's size.
//
// Texts that are empty are not recorded (they would draw nothing). The runner count
// is clamped to 0..18, the most a race can have, so the tables stay on the page.
// Null results, analysis or odds read as empty ones (no payouts, no bets, odds not
// set). Horse numbers outside 1..18 and labels that are not quinella pairs still print
// their number or label but no odds. Throws std::logic_error when analysisPageRefusal
// refuses the input.
PrintPage buildAnalysisPage(const AnalysisPageInput& input);

// Tenths of a millimetre as device pixels: round(tenths * dpi / 254), halves away
// from zero.
int tenthMmToDevice(int tenths, int dpi);

// A layout pen width w as device pixels: round(w * printerDpiY / (screenDpi * 10)),
// at least 1. Throws std::invalid_argument when screenDpi is not positive.
int penWidthToDevice(int w, int printerDpiY, int screenDpi);

// The upset degree word for a top oligopoly rate in percent: "小" at 60 or more, "中"
// above 40, "大" otherwise.
std::string upsetWord(double ratePercent);

// Zoom choices of the preview, items "25%" .. "100%".
inline constexpr std::array<int, 4> kZoomChoices{25, 50, 75, 100};

// The preview window's saved zoom item (index into kZoomChoices) and bounds in
// screen pixels.
struct PrintPreviewSettings
{
    int zoomItem = 1;
    int top = 10, left = 10, width = 630, height = 450;

    bool operator==(const PrintPreviewSettings&) const = default;
};

// Read and written by readPrintPreviewSettings / writePrintPreviewSettings (app).

// Zoom in percent of a zoom item 0..3 (25, 50, 75, 100); any other item gives 50.
int zoomOfItem(int item);

// The preview's set-zoom operation: `requested` percent when it lies within 25..200,
// otherwise `current` unchanged.
int acceptZoom(int current, int requested);

} // namespace sorvantix
