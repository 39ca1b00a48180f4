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

namespace {

QFont fixedPitchFont(const QString& family, int pixelHeight, bool bold)
{
    QFont font(family);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

} // namespace

QFont gothicFont(int pixelHeight, bool bold)
{
    return fixedPitchFont(gothicFamily(), pixelHeight, bold);
}

QFont gridFont(int pixelHeight, bool bold)
{
    static const QString noto = QStringLiteral("Noto Sans Mono CJK JP");
    static const bool installed = QFontDatabase::families().contains(noto);
    return installed ? fixedPitchFont(noto, pixelHeight, bold) : gothicFont(pixelHeight, bold);
}

} // namespace sorvantix::gui
