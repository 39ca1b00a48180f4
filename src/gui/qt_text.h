#pragma once

// Where the core's texts, colours and faces cross into Qt: UTF-8 std::string to
// QString and back, 0xRRGGBB to QColor, and the one mapping of the system's font face.

#include <QColor>
#include <QFont>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorvantix::gui {

inline QString qs(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string us(const QString& text)
{
    return text.toStdString();
}

inline QColor rgb(std::uint32_t colour)
{
    return QColor::fromRgb((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// "ＭＳ ゴシック", the fixed-pitch Japanese Gothic face of the grids and the printed
// page, is IPAGothic here (Debian's fonts-ipafont-gothic), Noto Sans Mono CJK after it.
QFont gothicFont(int pixelHeight, bool bold = false);
// The face of the system's names ("ＭＳ ゴシック") as it is installed here.
QString gothicFamily();
// The grids' face: the fixed-pitch Gothic whose "." and "," stay apart at 12 and
// 13 pixels (Noto Sans Mono CJK JP; IPAGothic draws both as the same dot there).
QFont gridFont(int pixelHeight, bool bold = false);

} // namespace sorvantix::gui
