#include "core/present/grid_sort.h"

#include "core/text/cp932.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

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

namespace {

// The quicksort over a list of row numbers, rows[k] being the grid row now at place k:
// the same comparisons and exchanges as on the rows themselves, without moving a
// cell until the order is known.
void quickSortPlaces(const TextGrid& grid, int column, std::vector<int>& rows, int first, int last,
                     bool descending)
{
    auto key = [&](int place) -> const std::string& {
        return grid.cell(column, rows[static_cast<size_t>(place)]);
    };
    // Ascending: "before" means below the pivot; descending reverses it.
    auto before = [&](int place, const std::string& pivot) {
        int c = compareCells(key(place), pivot);
        return descending ? c > 0 : c < 0;
    };
    auto after = [&](int place, const std::string& pivot) {
        int c = compareCells(key(place), pivot);
        return descending ? c < 0 : c > 0;
    };
    int i = first;
    int j = last;
    // The cells stay where they are while the places move, so the pivot can be a reference.
    const std::string& pivot = key((first + last) / 2);
    do {
        while (before(i, pivot))
            ++i;
        while (after(j, pivot))
            --j;
        if (i <= j) {
            std::swap(rows[static_cast<size_t>(i)], rows[static_cast<size_t>(j)]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (first < j)
        quickSortPlaces(grid, column, rows, first, j, descending);
    if (i < last)
        quickSortPlaces(grid, column, rows, i, last, descending);
}

std::vector<int> identityRows(const TextGrid& grid)
{
    std::vector<int> rows(static_cast<size_t>(grid.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

} // namespace

void quickSortRows(TextGrid& grid, int column, int first, int last, bool descending)
{
    if (first < 0 || last >= grid.rowCount() || last - first < 1)
        return;
    std::vector<int> rows = identityRows(grid);
    quickSortPlaces(grid, column, rows, first, last, descending);
    grid.reorderRows(rows);
}

void sortAnalysisTable(TextGrid& grid, SortButton button)
{
    const SortOrder order = sortOrder(button);
    if (order.primaryColumn < 0)
        return;
    const int last = grid.rowCount() - 1;
    if (last < 2)
        return;
    std::vector<int> rows = identityRows(grid);
    quickSortPlaces(grid, order.primaryColumn, rows, 1, last, order.descending);

    auto primary = [&](int place) -> const std::string& {
        return grid.cell(order.primaryColumn, rows[static_cast<size_t>(place)]);
    };
    int groupStart = 1;
    while (groupStart <= last) {
        int groupEnd = groupStart;
        while (groupEnd + 1 <= last && primary(groupEnd + 1) == primary(groupStart))
            ++groupEnd;
        if (groupEnd > groupStart)
            quickSortPlaces(grid, order.tieBreakColumn, rows, groupStart, groupEnd, false);
        groupStart = groupEnd + 1;
    }
    grid.reorderRows(rows);
}

} // namespace sorvantix
