#include "cli/plot_image.h"

#include "core/text/error.h"
#include "core/text/text_file.h"

#include <filesystem>

#ifdef SORVANTIX_CLI_PNG
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdlib>
#endif

namespace sorvantix::cli {

void writePlot(const std::string& file, const std::string& svg)
{
    const std::string ext = std::filesystem::path(file).extension().string();
    if (ext == ".svg") {
        writeFileAtomic(file, svg);
        return;
    }
    if (ext != ".png")
        throw Error("--plot: .svg か .png のファイル名にしてください: " + file);
#ifdef SORVANTIX_CLI_PNG
    // Text needs a GUI application; the offscreen platform needs no display.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "sorvantix-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QByteArray::fromStdString(svg));
    if (!renderer.isValid())
        throw Error("グラフを描けません");
    QImage image(renderer.defaultSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw Error("グラフを PNG にできません");
    writeFileAtomic(file, std::string_view(png.constData(), static_cast<size_t>(png.size())));
#else
    throw Error("PNG はこのビルドでは書けません（Qt なし）: .svg を使ってください");
#endif
}

} // namespace sorvantix::cli
