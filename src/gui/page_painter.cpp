#include "gui/page_painter.h"

#include "gui/qt_text.h"

#include <QPagedPaintDevice>
#include <QPainter>

namespace sorvantix::gui {

void paintPage(QPainter& painter, const PrintPage& page, int dpiX, int dpiY, int screenDpi)
{
    painter.save();
    auto x = [dpiX](int v) { return tenthMmToDevice(v, dpiX); };
    auto y = [dpiY](int v) { return tenthMmToDevice(v, dpiY); };
    for (const PageItem& item : page.items) {
        switch (item.kind) {
        case PageItem::Kind::Text: {
            QFont font(gothicFamily());
            font.setPointSize(item.font.size);
            font.setBold(item.font.bold);
            font.setUnderline(item.font.underline);
            painter.setFont(font);
            painter.setPen(rgb(item.textColour));
            painter.drawText(QRect(x(item.x1), y(item.y1), x(2000), y(200)),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, qs(item.text));
            break;
        }
        case PageItem::Kind::Line:
        case PageItem::Kind::Rectangle: {
            QPen pen(rgb(item.penColour));
            pen.setWidth(penWidthToDevice(item.penWidth, dpiY, screenDpi));
            pen.setJoinStyle(Qt::MiterJoin);
            painter.setPen(pen);
            if (item.kind == PageItem::Kind::Line) {
                painter.drawLine(x(item.x1), y(item.y1), x(item.x2), y(item.y2));
            } else {
                painter.setBrush(item.brush ? QBrush(rgb(*item.brush)) : QBrush(Qt::NoBrush));
                painter.drawRect(
                    QRect(QPoint(x(item.x1), y(item.y1)), QPoint(x(item.x2), y(item.y2))));
            }
            break;
        }
        }
    }
    painter.restore();
}

int printGrid(QPainter& painter, QPagedPaintDevice& device, const TextGrid& grid,
              const GridPrintMetrics& metrics, const QFont& font,
              const std::function<void(QPainter&)>& beginPage)
{
    int printed = 0;
    try {
        const std::vector<GridSheet> sheets = gridSheets(metrics);
        const GridTextOffset offset = gridTextOffset(metrics);
        for (const GridSheet& sheet : sheets) {
            if (printed > 0 && !device.newPage())
                return printed;
            auto prepare = [&] {
                painter.setFont(font);
                painter.setPen(QPen(Qt::black, 1));
                painter.setBrush(Qt::NoBrush);
            };
            prepare();
            if (beginPage)
                beginPage(painter);
            prepare();
            for (const GridCellRect& cell : gridSheetCells(metrics, sheet)) {
                const QRect rect(cell.x, cell.y, cell.width, cell.height);
                painter.save();
                painter.setClipRect(rect);
                painter.drawText(rect.adjusted(offset.x, offset.y, 0, 0),
                                 Qt::AlignLeft | Qt::AlignTop,
                                 qs(grid.cell(cell.column, cell.row)));
                painter.restore();
                painter.drawRect(rect.adjusted(0, 0, 1, 1));
            }
            ++printed;
        }
    } catch (const std::exception&) {
        // A page that cannot be printed ends the printing quietly.
    }
    return printed;
}

} // namespace sorvantix::gui
