#pragma once

#include "gui/grid_view.h"

#include <QApplication>
#include <QColor>
#include <QImage>

namespace sorvantix::test {

// The colour a grid view painted at a cell, sampled near its bottom-left corner, away
// from its text.
inline QColor paintedColour(gui::GridView* view, int column, int row)
{
    QApplication::processEvents();
    const QRect rect = view->visualRect(view->model()->index(row, column));
    const QImage image = view->viewport()->grab().toImage();
    return image.pixelColor(rect.left() + 2, rect.bottom() - 2);
}

} // namespace sorvantix::test
