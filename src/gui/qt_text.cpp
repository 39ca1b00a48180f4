#include "gui/qt_text.h"

#include <QFontDatabase>

namespace sorvantix::gui {

QString gothicFamily()
{
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const char* name : {"IPAGothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP"})
            if (families.contains(QString::fromLatin1(name)))
                return QString::fromLatin1(name);
        return QString::fromLatin1("Monospace");
    }();
    return family;
}

QFont gothicFont(int pixelHeight, bool bold)
{
    QFont font(gothicFamily());
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QFont gridFont(int pixelHeight, bool bold)
{
    static const bool noto =
        QFontDatabase::families().contains(QStringLiteral("Noto Sans Mono CJK JP"));
    if (!noto)
        return gothicFont(pixelHeight, bold);
    QFont font(QStringLiteral("Noto Sans Mono CJK JP"));
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

} // namespace sorvantix::gui
