#include "core/analysis/analysis_display.h"

#include "core/analysis/suisho_file.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/day_name.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>

namespace sorvantix {
namespace {

const std::string kFullWidthSpace = "　";

// Some 900 numbers per time point: written into the cells' own storage.
void putFixed(TextGrid& grid, int column, int row, double value, int width, int precision)
{
    if (std::string* cell = grid.cellText(column, row))
        assignFixed(*cell, value, width, precision);
}

std::uint32_t finishColourOr(const RaceResults& results, int horse, std::uint32_t fallback)
{
    if (horse < 1 || horse > 18)
        return fallback;
    switch (results.FinishPos[horse]) {
    case 1:
        return kFinishFirstColour;
    case 2:
        return kFinishSecondColour;
    case 3:
        return kFinishThirdColour;
    default:
        return fallback;
    }
}

void showWinBet(int horse, const OddsArrays& odds, const RaceResults& results, FilledLabel& label,
                std::string& oddsLabel)
{
    if (horse < 1 || horse > 18)
        return;
    label.text = padded(horse, 2);
    oddsLabel = fixed(odds.TanOdds[horse], 5, 1);
    label.colour = finishColourOr(results, horse, label.colour);
}

template <size_t N>
void showQuinellaBets(TextGrid& grid, const std::array<std::string, N>& slots,
                      const OddsArrays& odds)
{
    std::vector<const std::string*> picks;
    for (size_t i = 1; i < N; ++i)
        if (!trimmed(slots[i]).empty())
            picks.push_back(&slots[i]);
    if (picks.empty())
        return;
    grid.setRowCount(static_cast<int>(picks.size()) + 1);
    for (size_t k = 0; k < picks.size(); ++k) {
        const int row = static_cast<int>(k) + 1;
        grid.setCell(0, row, padded(row, 1));
        grid.setCell(1, row, *picks[k]);
        const int p = UmarenPairNo(*picks[k]);
        grid.setCell(2, row, p != 0 ? fixed(odds.UmarenOdds[p], 6, 1) : std::string());
    }
}

void initBetGrid(TextGrid& grid, std::string_view caption)
{
    grid.resize(3, 2);
    grid.setCell(0, 0, "No.");
    grid.setCell(1, 0, caption);
    grid.setCell(2, 0, "オッズ");
}

} // namespace

const std::array<std::string_view, AnalysisDisplay::kTableColumns> AnalysisDisplay::kTableHeaders{
    "枠",    "馬",   "推",     "特",       "単オッズ", "単勝ｼｪｱ", "全体ｼｪｱ", "ｼｪｱ順位",
    "1-3PA", "全PA", "PA≧1率", "1-3PA/S1", "全/S1",    "着順",    "着差"};

int registeredRunners(std::string_view raRecord)
{
    // The one rule of the runner count, the record view's.
    return RaView(raRecord).registered();
}

AnalysisDisplay::AnalysisDisplay()
{
    StringGrid1.resize(kTableColumns, 2);
    for (int c = 0; c < kTableColumns; ++c)
        StringGrid1.setCell(c, 0, kTableHeaders[static_cast<size_t>(c)]);
    for (TextGrid* g : {&StringGrid2, &StringGrid3, &StringGrid4, &StringGrid5})
        g->resize(2, 2);
    initBetGrid(StringGrid6, "大穴");
    initBetGrid(StringGrid7, "中穴");
    initBetGrid(StringGrid8, "本命");
}

void AnalysisDisplay::ClearBtnClick(std::string_view raRecord, AnalysisState& state,
                                    OddsArrays& odds, RaceResults& results)
{
    const int n = registeredRunners(raRecord);
    StringGrid1.setRowCount(n + 1);
    StringGrid1.clearRows(1);
    for (TextGrid* g : {&StringGrid2, &StringGrid3, &StringGrid4, &StringGrid5})
        g->reset(n + 1, n + 1);
    for (TextGrid* g : {&StringGrid6, &StringGrid7, &StringGrid8}) {
        g->clearRows(1);
        g->setRowCount(2);
    }

    state.reset();
    odds.reset();
    results.reset();
    resultBoxes.reset();

    KaiTanHonLbl = {};
    KaiTanOzHonLbl.clear();
    KaiTanAanLbl1 = {};
    KaiTanOzAanLbl1.clear();
    KaiTanAanLbl2 = {};
    KaiTanOzAanLbl2.clear();
    KasenLabel = {};
    HaranLabel.clear();
}

void AnalysisDisplay::seiBtnClick(std::span<const std::string> seRecs, std::string_view hrRecord,
                                  RaceResults& results)
{
    readRaceResults(seRecs, hrRecord, results, resultBoxes, StringGrid1);
}

std::string recordRecommendedHorses(std::string_view raRecord, const AnalysisState& state,
                                    const OddsArrays& odds, const std::filesystem::path& suishoDir)
{
    const int n = registeredRunners(raRecord);
    // "horse number, share rank" of each marked runner with win odds.
    std::string suishoList;
    std::string tokushoList;
    for (int r = 1; r <= n; ++r) {
        if (!(odds.TanOdds[r] > 0) || !(state.SuishoMark[r] || state.TokushoMark[r]))
            continue;
        const std::string group = padded(r, 2) + padded(state.ShareRank[r], 2);
        if (state.SuishoMark[r])
            suishoList += group;
        if (state.TokushoMark[r])
            tokushoList += group;
    }
    const RaView ra(raRecord);
    const auto day = DayName::fromRecord(raRecord);
    if (!day)
        return "レースキーの日付が不正なため推奨馬ファイルに記録できません: \"" +
               fromCp932(ra.yearText() + ra.monthDayText()) + "\"";
    const auto file = suishoFilePath(suishoDir, *day, ra.venue());
    return writeSuishoLines(file, ra.raceNo().value_or(0), n, suishoList, tokushoList);
}

std::string AnalysisDisplay::HyojiBtnClick(std::string_view raRecord, AnalysisState& state,
                                           const OddsArrays& odds, const RaceResults& results,
                                           const std::filesystem::path& suishoDir)
{
    const int n = registeredRunners(raRecord);
    const auto& s = state;

    // 1. Analysis table.
    for (int r = 1; r <= n; ++r) {
        StringGrid1.setCell(0, r, padded(BracketNo(n, r), 1));
        StringGrid1.setCell(1, r, padded(r, 2));
        if (!(odds.TanOdds[r] > 0))
            continue;
        if (s.SuishoMark[r])
            StringGrid1.setCell(2, r, "★");
        if (s.TokushoMark[r])
            StringGrid1.setCell(3, r, "☆");
        putFixed(StringGrid1, 4, r, odds.TanOdds[r], 5, 1);
        putFixed(StringGrid1, 5, r, s.TanShare[r], 6, 2);
        putFixed(StringGrid1, 6, r, s.OverallShare[r] * 100, 6, 3);
        StringGrid1.setCell(7, r, padded(s.ShareRank[r], 2));
        putFixed(StringGrid1, 8, r, s.PaTop3Sum[r], 6, 3);
        putFixed(StringGrid1, 9, r, s.PaAllSum[r], 6, 3);
        putFixed(StringGrid1, 10, r, s.PaOverOneRate[r], 6, 3);
        if (s.PaTop3Ratio[r] > 0)
            putFixed(StringGrid1, 11, r, s.PaTop3Ratio[r], 6, 2);
        if (s.PaAllRatio[r] > 0)
            putFixed(StringGrid1, 12, r, s.PaAllRatio[r], 6, 2);
    }

    // 2. Recommended-horse file; a failure to read or write it ends the display here.
    const std::string notice = recordRecommendedHorses(raRecord, state, odds, suishoDir);

    // 3. Headers of the square grids. A runner without a share rank (no priced pair)
    // has no place in StringGrid5: rank 0 would land on the header row and column.
    for (int r = 1; r <= n; ++r) {
        const std::string number = padded(r, 2);
        for (TextGrid* g : {&StringGrid2, &StringGrid3, &StringGrid4}) {
            g->setCell(0, r, number);
            g->setCell(r, 0, number);
        }
        const int rank = s.ShareRank[r];
        if (rank > 0) {
            StringGrid5.setCell(0, rank, number);
            StringGrid5.setCell(rank, 0, number);
        }
    }

    // 4. Cells of the square grids (column u, row v).
    for (int u = 1; u <= n; ++u) {
        for (int v = 1; v <= n; ++v) {
            if (u == v) {
                for (TextGrid* g : {&StringGrid2, &StringGrid3, &StringGrid4, &StringGrid5})
                    g->setCell(u, v, "--");
                continue;
            }
            const int p = umarenPairNumber(std::min(u, v), std::max(u, v));
            if (p == 0 || !(odds.UmarenOdds[p] > 0))
                continue;
            // Odds and shares are the pair's in both halves: the lower half copies them.
            if (v > u) {
                putFixed(StringGrid2, u, v, odds.UmarenOdds[p], 6, 1);
                putFixed(StringGrid3, u, v, s.UmarenShare[p], 7, 3);
            } else {
                StringGrid2.setCell(u, v, StringGrid2.cell(v, u));
                StringGrid3.setCell(u, v, StringGrid3.cell(v, u));
            }
            putFixed(StringGrid4, u, v, v > u ? s.PairPaRatio[p] : s.PairPaRatioRev[p], 6, 3);
            if (s.ShareRank[u] > 0 && s.ShareRank[v] > 0)
                StringGrid5.setCell(s.ShareRank[u], s.ShareRank[v], StringGrid4.cell(u, v));
        }
    }

    // 5. Blank cells of the sort columns read "　" so they sort after every number.
    for (int r = 1; r <= n; ++r)
        for (int c : {4, 7, kFinishPosColumn})
            if (trimmed(StringGrid1.cell(c, r)).empty())
                StringGrid1.setCell(c, r, kFullWidthSpace);

    // 7. Reference win bets.
    showWinBet(s.KaiTanHon, odds, results, KaiTanHonLbl, KaiTanOzHonLbl);
    showWinBet(s.KaiTanAan[1], odds, results, KaiTanAanLbl1, KaiTanOzAanLbl1);
    showWinBet(s.KaiTanAan[2], odds, results, KaiTanAanLbl2, KaiTanOzAanLbl2);

    // 8. Reference quinella bets.
    showQuinellaBets(StringGrid8, s.KaiRenHon, odds);
    showQuinellaBets(StringGrid7, s.KaiRenChuAna, odds);
    showQuinellaBets(StringGrid6, s.KaiRenOoAna, odds);

    // 9. Top oligopoly rate and upset degree.
    KasenRate = state.KasenRate * 100;
    if (KasenRate > 0) {
        KasenLabel.text = fixed(KasenRate, 5, 1) + " %";
        if (KasenRate >= 60)
            HaranLabel = "波乱度:小";
        else if (KasenRate > 40)
            HaranLabel = "波乱度:中";
        else
            HaranLabel = "波乱度:大";
    }
    return notice;
}

} // namespace sorvantix
