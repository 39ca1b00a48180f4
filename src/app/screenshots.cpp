// sorvantix-screenshots: renders the main window offscreen on each analysis tab and
// writes the grabs as PNG files, for the README and for looking at a build.
//
//   sorvantix-screenshots --app-dir DIR --race RACEKEY [--out DIR] [--size 1280x800]
//                         [--now "yyyy-mm-dd HH:MM" [--live]]

#include "core/store/race_key.h"
#include "core/text/clock.h"
#include "gui/chart_tab.h"
#include "gui/print_preview_form.h"
#include "gui/program.h"
#include "gui/study_forms.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>
#include <functional>
#include <iostream>
#include <optional>

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
    QCommandLineOption pdf(QStringLiteral("pdf"),
                           QStringLiteral("also write the race's printed page as PDF"),
                           QStringLiteral("FILE"));
    QCommandLineOption now(QStringLiteral("now"),
                           QStringLiteral("the clock's time, for a day seen as it unfolds (the "
                                          "board's ages, what the replay has published)"),
                           QStringLiteral("yyyy-mm-dd HH:MM"));
    QCommandLineOption live(QStringLiteral("live"),
                            QStringLiteral("also the main window with ライブ and ｵｯｽﾞ自動取得 "
                                           "on, as main-live.png (with --now)"));
    parser.addOptions({appDir, race, out, size, pdf, now, live});
    parser.process(app);
    if (!parser.isSet(appDir) || !parser.isSet(race)) {
        std::cerr << "sorvantix-screenshots: --app-dir and --race are required\n";
        return 2;
    }
    gui::MessageBoxSeam::activate(true); // no box may wait for a click here
    gui::GuiPerson person;
    std::optional<SettableClock> fixed;
    if (parser.isSet(now)) {
        const QDateTime t =
            QDateTime::fromString(parser.value(now), QStringLiteral("yyyy-MM-dd HH:mm"));
        if (!t.isValid()) {
            std::cerr << "sorvantix-screenshots: --now is not yyyy-mm-dd HH:MM\n";
            return 2;
        }
        fixed.emplace(LocalDateTime{t.date().year(), t.date().month(), t.date().day(),
                                    t.time().hour(), t.time().minute(), 0});
    }
    gui::Program program(parser.value(appDir).toStdString(), fixed ? &*fixed : nullptr);
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
    const char* names[] = {"analysis",  "bets",    "odds",  "shares", "pa",
                           "pa-sorted", "results", "chart", "flow"};
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        for (int k = 0; k < 5; ++k)
            QApplication::processEvents();
        const QString file =
            parser.value(out) + QStringLiteral("/main-%1.png").arg(QString::fromLatin1(names[i]));
        if (!window.grab().save(file)) {
            std::cerr << "sorvantix-screenshots: cannot write " << file.toStdString() << "\n";
            return 1;
        }
        std::cout << file.toStdString() << "\n";
    }
    pages->setCurrentIndex(0);
    if (parser.isSet(live) && fixed) {
        // The live following, its status line after the first tick; both boxes are
        // cleared again afterwards.
        window.FormShow();
        auto* liveBox = window.findChild<QCheckBox*>(QStringLiteral("LiveCheck"));
        if (!liveBox->isChecked())
            liveBox->click();
        window.findChild<QCheckBox*>(QStringLiteral("AutoOzCheck"))->click();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 1500 || wb.pendingRequests() > 0)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        const QString file = parser.value(out) + QStringLiteral("/main-live.png");
        if (!window.grab().save(file)) {
            std::cerr << "sorvantix-screenshots: cannot write " << file.toStdString() << "\n";
            return 1;
        }
        std::cout << file.toStdString() << "\n";
        window.findChild<QCheckBox*>(QStringLiteral("AutoOzCheck"))->click();
        liveBox->click();
    }
    // Each window the main window opens, grabbed and closed again.
    auto grabWindow = [&](const char* name, auto open, std::function<void(QWidget*)> then = {}) {
        open();
        for (int k = 0; k < 5; ++k)
            QApplication::processEvents();
        QWidget* w = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && top->objectName() == QString::fromLatin1(name))
                w = top;
        if (!w) {
            std::cerr << "sorvantix-screenshots: " << name << " did not open\n";
            return false;
        }
        if (then) {
            then(w);
            for (int k = 0; k < 5; ++k)
                QApplication::processEvents();
        }
        const QString file =
            parser.value(out) + QStringLiteral("/window-%1.png").arg(QString::fromLatin1(name));
        const bool saved = w->grab().save(file);
        std::cout << file.toStdString() << "\n";
        w->close();
        QApplication::processEvents();
        return saved;
    };
    bool all = true;
    all &= grabWindow("TGetDataForm", [&] { window.JVBtnClick(); });
    // Closing the acquisition window rebuilt the day list: the day again.
    wb.selectDay(RaceKey::tryParse(key)->dayName().text());
    wb.DatListClick(wb.raceIndexOf(key));
    all &= grabWindow("TOddsSchejForm", [&] { window.OzGetBtnClick(); });
    wb.DatListClick(wb.raceIndexOf(key));
    all &= grabWindow("TSuishoSetForm", [&] { window.N8Click(); });
    all &= grabWindow("TSuishoListForm", [&] { window.SpeedButton4Click(); });
    all &= grabWindow("TFirstTimeForm", [&] { window.JRAVAN1Click(); });
    all &= grabWindow("TOzGetTimeForm", [&] { window.A1Click(); });
    all &= grabWindow("TTimeAddForm", [&] { window.N9Click(); });
    all &= grabWindow("TPrintPreviewForm", [&] { window.P1Click(); });
    all &= grabWindow("AlertSettingsDialog", [&] { window.AlertItemClick(); });
    all &= grabWindow("BoardWindow", [&] { window.BoardItemClick(); });
    all &= grabWindow(
        "BacktestWindow", [&] { window.BacktestItemClick(); },
        [&wb](QWidget* w) {
            static_cast<gui::BacktestWindow*>(w)->RunBtnClick();
            // The backtest runs on the queue: its report arrives through the event loop.
            while (wb.pendingRequests() > 0)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
        });
    if (parser.isSet(pdf)) {
        PrintPage page;
        if (!wb.P1Click(page).isDone()) {
            std::cerr << "sorvantix-screenshots: nothing to print\n";
            return 1;
        }
        gui::TPrintPreviewForm preview(page, wb.ini(), person);
        if (!preview.savePdf(parser.value(pdf).toStdString())) {
            std::cerr << "sorvantix-screenshots: cannot write " << parser.value(pdf).toStdString()
                      << "\n";
            return 1;
        }
        std::cout << parser.value(pdf).toStdString() << "\n";
    }
    for (const auto& m : gui::MessageBoxSeam::shown())
        std::cerr << m << "\n";
    return all ? 0 : 1;
}
