#pragma once

#include "core/text/text_grid.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// A win or place payout: horse number, popularity and payout in yen (0 when absent).
struct HorsePayout
{
    int horse = 0;
    int popularity = 0;
    int payout = 0;

    bool operator==(const HorsePayout&) const = default;
};

// A combination payout: "%2d-%2d" text of the two numbers as the record orders them
// (" 3-11"; " 0- 0" for an unused entry once read, "" after reset), popularity and
// payout in yen.
struct ComboPayout
{
    std::string text;
    int popularity = 0;
    int payout = 0;

    bool operator==(const ComboPayout&) const = default;
};

// The official result of the selected race. Arrays are indexed from 1 (index 0 is
// unused): FinishPos by horse number 1..18, the payout entries by their order in the
// payout record.
struct RaceResults
{
    std::array<int, 19> FinishPos{};
    std::array<HorsePayout, 4> WinResult{};
    std::array<HorsePayout, 6> PlaceResult{};
    std::array<ComboPayout, 4> BracketResult{};
    std::array<ComboPayout, 4> QuinellaResult{};
    std::array<ComboPayout, 8> WideResult{};

    // Everything back to 0 and empty texts.
    void reset() { *this = RaceResults(); }
};

// One column (one payout entry) of a section of the "結果" tab.
struct ResultBox
{
    std::string result;     // "結果：" box
    std::string popularity; // "人気：" box
    std::string payout;     // "配当：" box

    bool operator==(const ResultBox&) const = default;
};

// The five sections of the "結果" tab: 単勝 3 columns, 複勝 5, 枠連 3, 馬連 3,
// ﾜｲﾄﾞ 7, entry 1 leftmost. Boxes are centred on black; 結果 and 配当 texts aqua,
// 人気 texts yellow.
struct ResultBoxes
{
    enum Section { Win, Place, Bracket, Quinella, Wide };
    static constexpr int kSections = 5;

    static constexpr std::array<std::string_view, kSections> kCaptions{"単勝", "複勝", "枠連",
                                                                       "馬連", "ﾜｲﾄﾞ"};
    static constexpr std::array<std::string_view, 3> kRowCaptions{"結果：", "人気：", "配当："};
    static constexpr std::uint32_t kBoxBackground = 0x000000;
    static constexpr std::uint32_t kResultTextColour = 0x00FFFF;
    static constexpr std::uint32_t kPopularityTextColour = 0xFFFF00;
    static constexpr std::uint32_t kPayoutTextColour = 0x00FFFF;

    // sections[s][i] is column i (0-based) of section s.
    std::array<std::vector<ResultBox>, kSections> sections;

    ResultBoxes() { reset(); }

    bool operator==(const ResultBoxes&) const = default;

    // Every box empty.
    void reset();

    // Column `entry` (1-based) of a section.
    ResultBox& box(Section s, int entry) { return sections[s].at(static_cast<size_t>(entry - 1)); }
    const ResultBox& box(Section s, int entry) const
    {
        return sections[s].at(static_cast<size_t>(entry - 1));
    }
};

// Column 13 "着順" and 14 "着差" of the analysis table.
constexpr int kFinishPosColumn = 13;
constexpr int kMarginColumn = 14;

// The race results reading (成績読み込み, seiBtnClick). From the race's entry records
// (seRecs[h-1] = horse number h; fewer than 18, blank, short or damaged records read
// as no result) and its payout record (may be empty or short) it fills `results`
// as a whole and the boxes of the "結果" tab, and writes columns 13 and 14 of row h of
// `analysisTable` for every horse number h with a finishing position. Rows are
// horse numbers, so the table must be in its cleared, unsorted state; rows beyond
// the table are skipped. Numeric fields skip leading blanks; anything that is not a
// number counts as 0. Never throws.
//
// Column 14 is cut to 7 characters counted as CP932 bytes (what the grid's fixed
// width holds), never inside a character; the race time and the short margin texts
// are at most 6 bytes. A margin code that has no text gives an empty cell.
void readRaceResults(std::span<const std::string> seRecs, std::string_view hrRec,
                     RaceResults& results, ResultBoxes& boxes, TextGrid& analysisTable);

} // namespace sorvantix
