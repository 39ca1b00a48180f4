#include "core/text/text_grid.h"

#include <algorithm>

namespace sorvantix {

namespace {
const std::string kEmpty;
}

void TextGrid::resize(int columns, int rows)
{
    columns = std::max(columns, 0);
    rows = std::max(rows, 0);
    if (columns == m_columns && rows == m_rows)
        return;
    std::vector<std::string> cells(static_cast<size_t>(columns) * static_cast<size_t>(rows));
    for (int r = 0; r < std::min(rows, m_rows); ++r)
        for (int c = 0; c < std::min(columns, m_columns); ++c)
            cells[static_cast<size_t>(r * columns + c)] =
                std::move(m_cells[static_cast<size_t>(r * m_columns + c)]);
    m_cells = std::move(cells);
    m_columns = columns;
    m_rows = rows;
}

const std::string& TextGrid::cell(int column, int row) const
{
    if (column < 0 || row < 0 || column >= m_columns || row >= m_rows)
        return kEmpty;
    return m_cells[static_cast<size_t>(row * m_columns + column)];
}

void TextGrid::reorderRows(const std::vector<int>& order)
{
    if (order.size() != static_cast<size_t>(m_rows))
        return;
    std::vector<bool> seen(order.size());
    for (int r : order) {
        if (r < 0 || r >= m_rows || seen[static_cast<size_t>(r)])
            return;
        seen[static_cast<size_t>(r)] = true;
    }
    std::vector<std::string> cells(m_cells.size());
    for (int k = 0; k < m_rows; ++k)
        for (int c = 0; c < m_columns; ++c)
            cells[static_cast<size_t>(k * m_columns + c)] = std::move(
                m_cells[static_cast<size_t>(order[static_cast<size_t>(k)] * m_columns + c)]);
    m_cells = std::move(cells);
}

void TextGrid::swapRows(int a, int b)
{
    if (a == b || a < 0 || b < 0 || a >= m_rows || b >= m_rows)
        return;
    for (int c = 0; c < m_columns; ++c)
        std::swap(m_cells[static_cast<size_t>(a * m_columns + c)],
                  m_cells[static_cast<size_t>(b * m_columns + c)]);
}

void TextGrid::reset(int columns, int rows)
{
    m_columns = std::max(columns, 0);
    m_rows = std::max(rows, 0);
    m_cells.resize(static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows));
    for (std::string& cell : m_cells)
        cell.clear();
}

void TextGrid::clearRows(int fromRow)
{
    for (int r = std::max(fromRow, 0); r < m_rows; ++r)
        for (int c = 0; c < m_columns; ++c)
            m_cells[static_cast<size_t>(r * m_columns + c)].clear();
}

} // namespace sorvantix
