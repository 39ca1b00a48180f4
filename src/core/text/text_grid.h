#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// A grid of UTF-8 cell texts addressed as (column, row), row 0 the header row, as the
// windows show them. Changing the size keeps the texts of the cells that remain;
// cells outside the grid read as empty and ignore writes.
class TextGrid
{
public:
    TextGrid() = default;
    TextGrid(int columns, int rows) { resize(columns, rows); }

    int columnCount() const { return m_columns; }
    int rowCount() const { return m_rows; }
    void setColumnCount(int columns) { resize(columns, m_rows); }
    void setRowCount(int rows) { resize(m_columns, rows); }
    void resize(int columns, int rows);

    const std::string& cell(int column, int row) const;
    // Into the cell's own storage: no text is built and moved for each cell.
    void setCell(int column, int row, std::string_view text)
    {
        std::string* cell = cellText(column, row);
        if (!cell)
            return;
        // clear() and append() cost half of assign() on short texts; assign() is kept
        // for a text taken from the cell itself.
        const std::less_equal<const char*> notAfter;
        if (notAfter(cell->data(), text.data()) &&
            notAfter(text.data(), cell->data() + cell->size())) {
            cell->assign(text);
            return;
        }
        cell->clear();
        cell->append(text);
    }
    // The cell's text to write in place, or nullptr outside the grid.
    std::string* cellText(int column, int row)
    {
        if (column < 0 || row < 0 || column >= m_columns || row >= m_rows)
            return nullptr;
        return &m_cells[static_cast<size_t>(row * m_columns + column)];
    }

    // Swaps two whole rows (all columns).
    void swapRows(int a, int b);
    // Puts old row order[k] at row k, for every row; order must be a permutation of
    // the rows (anything else leaves the grid as it is).
    void reorderRows(const std::vector<int>& order);

    // Empties every cell of rows [fromRow, rowCount).
    void clearRows(int fromRow);
    // resize() and clearRows(0) in one, keeping the cells' storage: the analysis
    // resets its square grids to each race's runners at every run.
    void reset(int columns, int rows);

    bool operator==(const TextGrid&) const = default;

private:
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::string> m_cells; // row-major
};

} // namespace sorvantix
