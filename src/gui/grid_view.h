#pragma once

#include "core/present/cell_colours.h"
#include "core/text/text_grid.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <vector>

namespace sorvantix::gui {

// How a grid's cell is painted: the core's colour rule for (column, row).
using CellStyleRule = std::function<CellStyle(int column, int row)>;

// One read-only model over one of the core's text grids; the grid is owned by the
// core and outlives the model. reload() after the grid changed.
class TextGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    TextGridModel(const TextGrid& grid, CellStyleRule rule, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    CellStyle style(int column, int row) const { return m_rule(column, row); }
    void reload();

private:
    const TextGrid& m_grid;
    CellStyleRule m_rule;
};

// Paints a cell as the rule says: fill, text centred at the top, diagonal line.
class CellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// A grid as the window shows it: row 0 and column 0 are the grid's own header cells,
// fixed pixel sizes of the design scaled by the font, and Ctrl+C copying the
// selected cells as tab-separated lines.
class GridView : public QTableView
{
    Q_OBJECT
public:
    // `columnWidths`: design pixels per column; the last value repeats for further
    // columns. `rowHeight` in design pixels at a font of `fontPixels`.
    GridView(TextGridModel* model, QFont font, std::vector<int> columnWidths, int rowHeight,
             QWidget* parent = nullptr);
    TextGridModel* gridModel() const { return m_model; }
    // Applies the widths after the model's size changed.
    void applySizes();

    // How much larger than its design the grid is drawn, to use a large window.
    double zoom() const { return m_zoom; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int designWidth(int column) const;
    void zoomToFit();

    TextGridModel* m_model;
    QFont m_font;
    std::vector<int> m_widths;
    int m_rowHeight;
    double m_scale = 1.0;    // of the columns
    double m_rowScale = 1.0; // of the rows
    double m_zoom = 1.0;
};

} // namespace sorvantix::gui
