#include "gui/grid_view.h"

#include "gui/qt_text.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <map>

namespace sorvantix::gui {

TextGridModel::TextGridModel(const TextGrid& grid, CellStyleRule rule, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_rule(std::move(rule))
{
}

int TextGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_grid.rowCount();
}

int TextGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_grid.columnCount();
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return qs(m_grid.cell(index.column(), index.row()));
    return {};
}

void TextGridModel::reload()
{
    beginResetModel();
    endResetModel();
}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const
{
    const auto* model = qobject_cast<const TextGridModel*>(index.model());
    if (!model) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const CellStyle style = model->style(index.column(), index.row());
    QColor fill;
    switch (style.fill) {
    case CellStyle::Fill::Colour:
        fill = rgb(style.background);
        break;
    case CellStyle::Fill::InfoBackground:
        fill = option.palette.color(QPalette::ToolTipBase);
        break;
    case CellStyle::Fill::GridDefault:
        fill = option.palette.color(QPalette::Base);
        break;
    }
    painter->save();
    painter->fillRect(option.rect, fill);
    // A selected cell keeps its colour under a tint of the highlight and a frame, so
    // what Ctrl+C copies can be seen.
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        QColor tint = option.palette.color(QPalette::Highlight);
        tint.setAlpha(90);
        painter->fillRect(option.rect, tint);
    }
    if (style.drawText) {
        painter->setPen(rgb(style.textColour));
        painter->setFont(option.font);
        painter->setClipRect(option.rect);
        painter->drawText(option.rect.adjusted(1, 0, -1, 0), Qt::AlignHCenter | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
    }
    if (style.diagonal) {
        painter->setPen(Qt::black);
        painter->drawLine(option.rect.topLeft(), option.rect.bottomRight());
    }
    if (selected) {
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), 2));
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
    }
    painter->restore();
}

GridView::GridView(TextGridModel* model, QFont font, std::vector<int> columnWidths, int rowHeight,
                   QWidget* parent)
    : QTableView(parent), m_model(model), m_font(font), m_widths(std::move(columnWidths)),
      m_rowHeight(rowHeight)
{
    setModel(model);
    setItemDelegate(new CellDelegate(this));
    setFont(font);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setWordWrap(false);
    horizontalHeader()->setMinimumSectionSize(4);
    verticalHeader()->setMinimumSectionSize(4);
    // The design's sizes are for a 13-pixel face at 15-pixel rows; a face whose
    // letters need more room grows the rows, and one with wider digits the columns.
    // The letters count, not the line's leading: Noto's tall line would grow every grid.
    const QFontMetrics metrics(font);
    const int ink = metrics.tightBoundingRect(QStringLiteral("0123456789.,アタマクビ")).height();
    m_rowScale = std::max(1.0, (ink + 3) / static_cast<double>(rowHeight));
    const double halfWidth = std::max(1, font.pixelSize()) / 2.0;
    m_scale = std::max(1.0, metrics.horizontalAdvance(QLatin1Char('0')) / halfWidth);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        applySizes();
        zoomToFit();
    });
    applySizes();
}

int GridView::designWidth(int column) const
{
    return m_widths.empty()
               ? 45
               : m_widths[std::min<size_t>(static_cast<size_t>(column), m_widths.size() - 1)];
}

void GridView::applySizes()
{
    for (int c = 0; c < m_model->columnCount(); ++c)
        setColumnWidth(c, static_cast<int>(designWidth(c) * m_scale * m_zoom + 0.5));
    verticalHeader()->setDefaultSectionSize(
        static_cast<int>(m_rowHeight * m_rowScale * m_zoom + 0.5));
}

void GridView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    zoomToFit();
}

// A window much larger than the design draws the grid larger, in steps of a tenth
// and at most 1.6 times; half again of slack stays so the default size keeps the
// design's sizes.
void GridView::zoomToFit()
{
    double width = 0;
    for (int c = 0; c < m_model->columnCount(); ++c)
        width += designWidth(c) * m_scale;
    const double height = m_model->rowCount() * m_rowHeight * m_rowScale;
    double zoom = 1.0;
    if (width > 0 && height > 0) {
        const QRect room = contentsRect();
        const double fit = std::min(room.width() / width, room.height() / height) / 1.5;
        zoom = std::clamp(std::floor(fit * 10) / 10, 1.0, 1.6);
    }
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    QFont font = m_font;
    if (m_font.pixelSize() > 0)
        font.setPixelSize(static_cast<int>(m_font.pixelSize() * zoom + 0.5));
    else
        font.setPointSizeF(m_font.pointSizeF() * zoom);
    setFont(font);
    applySizes();
}

void GridView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        const QModelIndexList selected = selectionModel()->selectedIndexes();
        if (selected.isEmpty())
            return;
        std::map<int, std::map<int, QString>> cells;
        for (const QModelIndex& i : selected)
            cells[i.row()][i.column()] = i.data().toString();
        QString text;
        for (const auto& [row, columns] : cells) {
            QStringList line;
            for (const auto& [column, value] : columns)
                line << value;
            text += line.join(QLatin1Char('\t')) + QLatin1String("\r\n");
        }
        QApplication::clipboard()->setText(text);
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace sorvantix::gui
