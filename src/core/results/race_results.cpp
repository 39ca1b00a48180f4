#include "core/results/race_results.h"

#include "core/store/racing_codes.h"
#include "core/text/day_name.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>

namespace sorvantix {
namespace {

// SE fields.
constexpr int kFinishPosPos = 335;
constexpr int kRaceTimePos = 339;
constexpr int kMarginPos = 343;
constexpr int kAbnormalityPos = 332; // code 2101: 1 出走取消, 2 発走除外, 3 競走除外

// One payout block of the HR record.
struct PayoutBlock
{
    int entries;
    int entryLength;
    int comboPos;
    int comboLen;
    int popularityPos;
    int popularityLen;
    int payoutPos;
};

constexpr PayoutBlock kWin{3, 13, 103, 2, 114, 2, 105};
constexpr PayoutBlock kPlace{5, 13, 142, 2, 153, 2, 144};
constexpr PayoutBlock kBracket{3, 13, 207, 2, 218, 2, 209};
constexpr PayoutBlock kQuinella{3, 16, 246, 4, 259, 3, 250};
constexpr PayoutBlock kWide{7, 16, 294, 4, 307, 3, 298};
constexpr int kPayoutLen = 9;

int offset(const PayoutBlock& b, int entry)
{
    return (entry - 1) * b.entryLength;
}

HorsePayout horsePayout(std::string_view hr, const PayoutBlock& b, int entry)
{
    const int off = offset(b, entry);
    return {fieldInt(hr, b.comboPos + off, b.comboLen),
            fieldInt(hr, b.popularityPos + off, b.popularityLen),
            fieldInt(hr, b.payoutPos + off, kPayoutLen)};
}

// The two numbers of a combination field: single digits (brackets) or two-digit
// halves (horse numbers).
std::pair<int, int> comboNumbers(std::string_view hr, const PayoutBlock& b, int entry)
{
    const int pos = b.comboPos + offset(b, entry);
    const int half = b.comboLen / 2;
    return {fieldInt(hr, pos, half), fieldInt(hr, pos + half, half)};
}

ComboPayout comboPayout(std::string_view hr, const PayoutBlock& b, int entry, int first, int second)
{
    const int off = offset(b, entry);
    return {padded(first, 2) + "-" + padded(second, 2),
            fieldInt(hr, b.popularityPos + off, b.popularityLen),
            fieldInt(hr, b.payoutPos + off, kPayoutLen)};
}

void showHorse(ResultBox& box, const HorsePayout& p)
{
    if (p.horse != 0)
        box = {padded(p.horse, 2), padded(p.popularity, 2), padded(p.payout, 8)};
    else
        box = {};
}

void showCombo(ResultBox& box, const ComboPayout& p, int first, int second)
{
    if (first != 0 && second != 0)
        box = {p.text, padded(p.popularity, 2), padded(p.payout, 8)};
    else
        box = {};
}

void readCombo(std::string_view hr, const PayoutBlock& b, int entry, ComboPayout& out,
               ResultBox& box)
{
    auto [first, second] = comboNumbers(hr, b, entry);
    out = comboPayout(hr, b, entry, first, second);
    showCombo(box, out, first, second);
}

} // namespace

void ResultBoxes::reset()
{
    static constexpr std::array<int, kSections> kColumns{3, 5, 3, 3, 7};
    for (int s = 0; s < kSections; ++s)
        sections[static_cast<size_t>(s)].assign(static_cast<size_t>(kColumns[s]), ResultBox{});
}

void readRaceResults(std::span<const std::string> seRecs, std::string_view hrRec,
                     RaceResults& results, ResultBoxes& boxes, TextGrid& analysisTable)
{
    for (int h = 1; h <= 18; ++h) {
        std::string_view se =
            static_cast<size_t>(h) <= seRecs.size() ? std::string_view(seRecs[h - 1]) : "";
        const int pos = std::max(fieldInt(se, kFinishPosPos, 2), 0);
        results.FinishPos[h] = pos;
        if (pos <= 0) {
            // A scratched or excluded runner says so in its row instead of leaving it
            // empty (its margin cell, which no sort reads).
            const std::string code = field(se, kAbnormalityPos, 1);
            if (code == "1")
                analysisTable.setCell(kMarginColumn, h, "取消");
            else if (code == "2" || code == "3")
                analysisTable.setCell(kMarginColumn, h, "除外");
            continue;
        }
        analysisTable.setCell(kFinishPosColumn, h, padded(pos, 2));
        std::string text;
        if (pos == 1) {
            text = FormatRaceTime(field(se, kRaceTimePos, 4));
        } else {
            // MarginText answers an unknown code with its blank form; the table shows
            // nothing for it.
            text = MarginText(field(se, kMarginPos, 3), 1);
            if (trimmed(text).empty())
                text.clear();
        }
        analysisTable.setCell(kMarginColumn, h, cp932Prefix(text, 7));
    }

    // Interleaved per entry index like the payout record's reader: win, bracket,
    // quinella, then place, then wide.
    for (int i = 1; i <= 3; ++i) {
        results.WinResult[i] = horsePayout(hrRec, kWin, i);
        showHorse(boxes.box(ResultBoxes::Win, i), results.WinResult[i]);
        readCombo(hrRec, kBracket, i, results.BracketResult[i], boxes.box(ResultBoxes::Bracket, i));
        readCombo(hrRec, kQuinella, i, results.QuinellaResult[i],
                  boxes.box(ResultBoxes::Quinella, i));
    }
    for (int i = 1; i <= 5; ++i) {
        results.PlaceResult[i] = horsePayout(hrRec, kPlace, i);
        showHorse(boxes.box(ResultBoxes::Place, i), results.PlaceResult[i]);
    }
    for (int i = 1; i <= 7; ++i)
        readCombo(hrRec, kWide, i, results.WideResult[i], boxes.box(ResultBoxes::Wide, i));
}

} // namespace sorvantix
