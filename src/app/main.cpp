// sorvantix: the desktop program.

#include "core/text/error.h"
#include "gui/program.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <filesystem>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    sorvantix::gui::setUpApplication();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/sorvantix.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.sorvantix.Sorvantix"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sorvantix: JRA odds analysis"));
    parser.addHelpOption();
    QCommandLineOption appDir(QStringLiteral("app-dir"),
                              QStringLiteral("application folder (default $XDG_DATA_HOME/sorvantix "
                                             "or ~/.local/share/sorvantix)"),
                              QStringLiteral("DIR"));
    parser.addOption(appDir);
    parser.process(app);

    try {
        std::optional<std::string> dir;
        if (parser.isSet(appDir)) {
            if (parser.value(appDir).isEmpty())
                throw sorvantix::Error("--app-dir: 空のフォルダ名は使えません");
            dir = parser.value(appDir).toStdString();
            // Only the default folder is made on a first start: a mistyped one is not.
            std::error_code ec;
            if (!std::filesystem::is_directory(*dir, ec))
                throw sorvantix::Error("アプリケーションフォルダがありません: " + *dir);
        }
        sorvantix::gui::Program program(dir);
        program.show();
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("sorvantix"), QString::fromUtf8(e.what()));
        return 1;
    }
}
