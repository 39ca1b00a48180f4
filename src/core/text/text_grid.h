#pragma once

#include <string>
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
    void setCell(int column, int row, std::string text);

    // Swaps two whole rows (all columns).
    void swapRows(int a, int b);

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
