#pragma once

#include "core/text/text_grid.h"

#include <string_view>

namespace sorvantix {

// The seven sort buttons of the analysis table ("馬番" pressed at start). None is
// the state with every button released: the table keeps its current order.
enum class SortButton {
    None,
    HorseNumber,   // "馬番"
    WinOdds,       // "単ｵｯｽﾞ"
    OverallShare,  // "全体ｼｪｱ"
    Top3Pa,        // "1-3PA"
    AllPa,         // "全PA"
    PaOverOneRate, // "PA≧1率"
    FinishPos,     // "着順"
};

// Caption of a button ("" for None).
std::string_view sortButtonCaption(SortButton button);

// Button of a caption; None for any other text.
SortButton sortButtonFromCaption(std::string_view caption);

// How a button orders the analysis table: primary column and its direction, then
// the tie-break column (always ascending). For None, primaryColumn is -1.
struct SortOrder
{
    int primaryColumn = -1;
    bool descending = false;
    int tieBreakColumn = -1;
};

SortOrder sortOrder(SortButton button);

// Column of the analysis table whose header cell is painted as the pressed button's
// (differs from the primary column for "全体ｼｪｱ": header 6, sorted by the rank in 7);
// -1 for None.
int sortHeaderColumn(SortButton button);

// Cell order of the sort: unsigned byte comparison of the CP932 forms, a shorter
// prefix first. Texts CP932 cannot hold are compared by their UTF-8 bytes (which
// order ASCII and non-ASCII alike). Returns <0, 0, >0.
int compareCells(std::string_view a, std::string_view b);

// Sorts rows first..last (inclusive) of the grid by the texts of `column` with the
// table's recursive quicksort: pivot = text of row (first+last)/2, left and right
// indexes moved past rows below/above the pivot (reversed when descending), whole
// rows swapped. Rows that compare equal end wherever this procedure leaves them;
// callers rely on that exact order, so this is not a stable sort. Ranges of fewer
// than two rows, or outside the grid, are left alone.
void quickSortRows(TextGrid& grid, int column, int first, int last, bool descending);

// SpeedButton1Click: sorts the data rows (1..last; the header row stays) of the
// analysis table by the button's primary column, then every run of consecutive rows
// with exactly equal primary text by the tie-break column, ascending. None keeps the
// order.
void sortAnalysisTable(TextGrid& grid, SortButton button);

} // namespace sorvantix
