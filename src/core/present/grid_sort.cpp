#include "core/present/grid_sort.h"

#include "core/text/cp932.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace sorvantix {
namespace {

struct ButtonInfo
{
    SortButton button;
    std::string_view caption;
    SortOrder order;
    int headerColumn;
};

constexpr std::array<ButtonInfo, 7> kButtons{{
    {SortButton::HorseNumber, "馬番", {1, false, 4}, 1},
    {SortButton::WinOdds, "単ｵｯｽﾞ", {4, false, 7}, 4},
    {SortButton::OverallShare, "全体ｼｪｱ", {7, false, 4}, 6},
    {SortButton::Top3Pa, "1-3PA", {8, true, 7}, 8},
    {SortButton::AllPa, "全PA", {9, true, 7}, 9},
    {SortButton::PaOverOneRate, "PA≧1率", {10, true, 7}, 10},
    {SortButton::FinishPos, "着順", {13, false, 7}, 13},
}};

const ButtonInfo* info(SortButton button)
{
    for (const auto& b : kButtons)
        if (b.button == button)
            return &b;
    return nullptr;
}

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

int compareBytes(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    int r = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n); // memcmp is unsigned
    if (r != 0)
        return r < 0 ? -1 : 1;
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace

std::string_view sortButtonCaption(SortButton button)
{
    const ButtonInfo* b = info(button);
    return b ? b->caption : std::string_view();
}

SortButton sortButtonFromCaption(std::string_view caption)
{
    for (const auto& b : kButtons)
        if (b.caption == caption)
            return b.button;
    return SortButton::None;
}

SortOrder sortOrder(SortButton button)
{
    const ButtonInfo* b = info(button);
    return b ? b->order : SortOrder{};
}

int sortHeaderColumn(SortButton button)
{
    const ButtonInfo* b = info(button);
    return b ? b->headerColumn : -1;
}

int compareCells(std::string_view a, std::string_view b)
{
    // The table's texts were ordered as Shift-JIS bytes; UTF-8 orders ASCII the same
    // way but non-ASCII characters differently among themselves.
    if (isAscii(a) && isAscii(b))
        return compareBytes(a, b);
    if (fitsCp932(a) && fitsCp932(b))
        return compareBytes(toCp932(a), toCp932(b));
    return compareBytes(a, b);
}

void quickSortRows(TextGrid& grid, int column, int first, int last, bool descending)
{
    if (first < 0 || last >= grid.rowCount() || last - first < 1)
        return;
    // Ascending: "before" means below the pivot; descending reverses it.
    auto before = [&](int row, const std::string& pivot) {
        int c = compareCells(grid.cell(column, row), pivot);
        return descending ? c > 0 : c < 0;
    };
    auto after = [&](int row, const std::string& pivot) {
        int c = compareCells(grid.cell(column, row), pivot);
        return descending ? c < 0 : c > 0;
    };
    int i = first;
    int j = last;
    const std::string pivot = grid.cell(column, (first + last) / 2);
    do {
        while (before(i, pivot))
            ++i;
        while (after(j, pivot))
            --j;
        if (i <= j) {
            grid.swapRows(i, j);
            ++i;
            --j;
        }
    } while (i <= j);
    if (first < j)
        quickSortRows(grid, column, first, j, descending);
    if (i < last)
        quickSortRows(grid, column, i, last, descending);
}

void sortAnalysisTable(TextGrid& grid, SortButton button)
{
    const SortOrder order = sortOrder(button);
    if (order.primaryColumn < 0)
        return;
    const int last = grid.rowCount() - 1;
    quickSortRows(grid, order.primaryColumn, 1, last, order.descending);

    int groupStart = 1;
    while (groupStart <= last) {
        const std::string key = grid.cell(order.primaryColumn, groupStart);
        int groupEnd = groupStart;
        while (groupEnd + 1 <= last && grid.cell(order.primaryColumn, groupEnd + 1) == key)
            ++groupEnd;
        if (groupEnd > groupStart)
            quickSortRows(grid, order.tieBreakColumn, groupStart, groupEnd, false);
        groupStart = groupEnd + 1;
    }
}

} // namespace sorvantix
