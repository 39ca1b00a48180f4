// sorvantix-screenshots: renders the main window offscreen on each analysis tab and
// writes the grabs as PNG files, for the README and for looking at a build.
//
//   sorvantix-screenshots --app-dir DIR --race RACEKEY [--out DIR] [--size 1280x800]

#include "core/text/clock.h"
#include "gui/chart_tab.h"
#include "core/store/race_key.h"
#include "gui/program.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTabWidget>
#include <QTimer>

#include <iostream>

using namespace sorvantix;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    gui::setUpApplication();
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption appDir(QStringLiteral("app-dir"), QStringLiteral("application folder"),
                              QStringLiteral("DIR"));
    QCommandLineOption race(QStringLiteral("race"), QStringLiteral("16-digit race key"),
                            QStringLiteral("RACEKEY"));
    QCommandLineOption out(QStringLiteral("out"), QStringLiteral("folder for the PNG files"),
                           QStringLiteral("DIR"), QStringLiteral("screenshots"));
    QCommandLineOption size(QStringLiteral("size"), QStringLiteral("window size WxH"),
                            QStringLiteral("WxH"), QStringLiteral("1280x800"));
    parser.addOptions({appDir, race, out, size});
    parser.process(app);
    if (!parser.isSet(appDir) || !parser.isSet(race)) {
        std::cerr << "sorvantix-screenshots: --app-dir and --race are required\n";
        return 2;
    }
    gui::MessageBoxSeam::activate(true); // no box may wait for a click here
    gui::Program program(parser.value(appDir).toStdString());
    Workbench& wb = program.workbench();
    const std::string key = parser.value(race).toStdString();
    wb.selectDay(RaceKey::tryParse(key) ? RaceKey::tryParse(key)->dayName().text() : "");
    const int index = wb.raceIndexOf(key);
    if (index < 0) {
        std::cerr << "sorvantix-screenshots: no race " << key << "\n";
        return 1;
    }
    wb.DatListClick(index);
    const QStringList wh = parser.value(size).split(QLatin1Char('x'));
    gui::TMainForm& window = program.window();
    window.resize(wh.value(0).toInt(), wh.value(1).toInt());
    window.show();
    QDir().mkpath(parser.value(out));
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    const char* names[] = {"analysis", "bets", "odds", "shares", "pa", "pa-sorted", "results", "chart"};
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        for (int k = 0; k < 5; ++k)
            QApplication::processEvents();
        const QString file = parser.value(out) + QStringLiteral("/main-%1.png").arg(QString::fromLatin1(names[i]));
        if (!window.grab().save(file)) {
            std::cerr << "sorvantix-screenshots: cannot write " << file.toStdString() << "\n";
            return 1;
        }
        std::cout << file.toStdString() << "\n";
    }
    for (const auto& m : gui::MessageBoxSeam::shown())
        std::cerr << m << "\n";
    return 0;
}
