#pragma once

#include "core/present/grid_printer.h"
#include "core/present/print_page.h"
#include "core/text/text_grid.h"

#include <functional>

class QFont;
class QPainter;
class QPagedPaintDevice;

namespace sorvantix::gui {

// Plays a page's display list onto a painter whose device has `dpiX` x `dpiY` dots per
// inch (tenths of a millimetre become device pixels by the core's conversion; pens by
// the screen's `screenDpi`). Texts use the mapped Gothic face at their point sizes.
void paintPage(QPainter& painter, const PrintPage& page, int dpiX, int dpiY, int screenDpi);

// Prints a text grid over as many sheets as its bands need, onto a print job the
// caller has begun on `device` (a printer or a PDF writer): each sheet in the core's
// order, `beginPage` before the cells of each (the owner's page header), the cells
// outlined with their text at the scaled offset. Returns the sheets printed; an error
// on a page ends the printing quietly.
int printGrid(QPainter& painter, QPagedPaintDevice& device, const TextGrid& grid,
              const GridPrintMetrics& metrics, const QFont& font,
              const std::function<void(QPainter&)>& beginPage);

} // namespace sorvantix::gui
