// The main window driven through its named controls on a generated race day, with
// message boxes answered through the seam and the clock injected.

#include "core/analysis/suisho_file.h"
#include "core/app/report_day.h"
#include "core/app/settings_keys.h"
#include "core/app/temp_dir.h"
#include "core/odds/odds_files.h"
#include "core/present/cell_colours.h"
#include "core/present/grid_sort.h"
#include "core/store/record_views.h"
#include "core/text/ini_file.h"
#include "feed/feed_writer.h"
#include "feed_import.h"
#include "gui/chart_tab.h"
#include "gui/grid_view.h"
#include "gui/program.h"
#include "gui/qt_text.h"
#include "gui/report_windows.h"
#include "gui/settings_dialogs.h"
#include "painted_colour.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

using namespace sorvantix;
using namespace sorvantix::gui;
using sorvantix::test::paintedColour;
namespace fs = std::filesystem;

class MainFormTest : public QObject
{
    Q_OBJECT

private:
    // A fresh program on the generated day, its day loaded.
    std::unique_ptr<Program> open()
    {
        auto program = std::make_unique<Program>(m_app->root().string(), &m_clock);
        program->window().show();
        auto* days = program->window().findChild<QComboBox*>(QStringLiteral("DateCombo"));
        if (days->count() > 0)
            days->activated(0);
        return program;
    }
    template <class T> T* child(Program& p, const char* name)
    {
        T* found = p.window().findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QTabWidget* showTab(Program& p, const char* caption)
    {
        auto* pages = child<QTabWidget>(p, "PageControl1");
        for (int i = 0; i < pages->count(); ++i)
            if (pages->tabText(i) == qs(caption))
                pages->setCurrentIndex(i);
        QApplication::processEvents();
        return pages;
    }

    test::TempDir m_dir;
    std::unique_ptr<AppDir> m_app;
    SettableClock m_clock{LocalDateTime{2026, 11, 30, 9, 0, 0}};

private slots:
    void initTestCase()
    {
        MessageBoxSeam::activate(true);
        m_app = std::make_unique<AppDir>(m_dir.path() / "app");
        m_app->createFolders();
        test::importGeneratedSunday(m_app->root() / "feed", m_app->root());
    }

    void init() { MessageBoxSeam::reset(); }

    void everyControlOfTheTableExists()
    {
        // docs/controls.md: the first column of its tables names the controls.
        std::ifstream table(SORVANTIX_CONTROLS_TABLE);
        QVERIFY2(table, SORVANTIX_CONTROLS_TABLE);
        auto p = open();
        p->window().FormShow(); // the status bar's JV-Link label comes with it
        QCOMPARE(child<QLabel>(*p, "ParamSetLabel")->text(), qs("推奨馬設定: 既定値"));
        std::string line;
        int names = 0;
        QStringList missing;
        while (std::getline(table, line)) {
            if (line.rfind("| `", 0) != 0)
                continue;
            const auto end = line.find('`', 3);
            QVERIFY(end != std::string::npos);
            const QString name = QString::fromStdString(line.substr(3, end - 3));
            ++names;
            if (!p->window().findChild<QObject*>(name) && p->window().objectName() != name)
                missing << name;
        }
        QVERIFY2(names >= 80, qPrintable(QString::number(names)));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }

    void choosesADayARaceAndATimePoint()
    {
        auto p = open();
        const WorkbenchState& s = p->workbench().state();
        auto* races = child<QListWidget>(*p, "DatList");
        QCOMPARE(races->count(), static_cast<int>(s.DatList.size()));
        QVERIFY(races->count() >= 24);
        races->setCurrentRow(3);
        QCOMPARE(s.DatListIndex, 3);
        QCOMPARE(child<QLabel>(*p, "TitleLabel1")->text(), qs(s.title.TitleLabel1));
        QCOMPARE(child<QLabel>(*p, "BashoLabel")->text(), qs(s.title.BashoLabel));
        QVERIFY(child<QStackedWidget>(*p, "Panel1")->currentWidget() ==
                child<QWidget>(*p, "Panel3"));
        auto* times = child<QComboBox>(*p, "TimeCombo");
        QCOMPARE(times->count(), static_cast<int>(s.TimeCombo.size()));
        QCOMPARE(times->currentIndex(), s.TimeComboIndex);
        times->activated(0);
        QCOMPARE(s.TimeComboIndex, 0);
        QCOMPARE(child<QLabel>(*p, "BorderLabel4")->text(), qs(s.BorderLabel4));
        QCOMPARE(child<GridView>(*p, "StringGrid1")->model()->rowCount(),
                 s.display.StringGrid1.rowCount());
        // The arrows step to the next race.
        child<QToolButton>(*p, "UpDown1Next")->click();
        QCOMPARE(s.DatListIndex, 4);
        QCOMPARE(races->currentRow(), 4);
        QVERIFY(MessageBoxSeam::shown().empty());
    }

    void sortButtonsOrderTheTableAndReleaseKeepsIt()
    {
        auto p = open();
        const TextGrid& table = p->workbench().state().display.StringGrid1;
        auto* view = child<GridView>(*p, "StringGrid1");
        struct Case
        {
            const char* name;
            int column;
            bool descending;
        };
        for (Case c : {Case{"SpeedButton3", 4, false}, Case{"SpeedButton14", 8, true},
                       Case{"SpeedButton5", 13, false}, Case{"SpeedButton1", 1, false}}) {
            auto* button = child<QToolButton>(*p, c.name);
            button->click();
            QVERIFY2(button->isChecked(), c.name);
            for (int r = 2; r < table.rowCount(); ++r) {
                const int order =
                    compareCells(table.cell(c.column, r - 1), table.cell(c.column, r));
                QVERIFY2(c.descending ? order >= 0 : order <= 0, c.name);
                // What the view shows is the sorted table.
                QCOMPARE(view->model()->index(r, c.column).data().toString(),
                         qs(table.cell(c.column, r)));
            }
        }
        child<QToolButton>(*p, "SpeedButton3")->click();
        const TextGrid before = table;
        child<QToolButton>(*p, "SpeedButton3")->click(); // released: no button is down
        QVERIFY(!child<QToolButton>(*p, "SpeedButton3")->isChecked());
        QCOMPARE(p->workbench().state().pressedSort, SortButton::None);
        QVERIFY(table == before);
    }

    void ctrlCCopiesTheSelectedCells()
    {
        auto p = open();
        auto* view = child<GridView>(*p, "StringGrid1");
        const TextGrid& g = p->workbench().state().display.StringGrid1;
        view->setFocus();
        const QColor inside = paintedColour(view, 2, 1);
        const QColor outside = paintedColour(view, 4, 1);
        view->selectionModel()->select(
            QItemSelection(view->model()->index(0, 0), view->model()->index(1, 2)),
            QItemSelectionModel::Select);
        // The selected cells are marked; the others keep their colour.
        QVERIFY(paintedColour(view, 2, 1) != inside);
        QCOMPARE(paintedColour(view, 4, 1), outside);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 qs(g.cell(0, 0) + "\t" + g.cell(1, 0) + "\t" + g.cell(2, 0) + "\r\n" +
                    g.cell(0, 1) + "\t" + g.cell(1, 1) + "\t" + g.cell(2, 1) + "\r\n"));
    }

    void copiesTheActiveTabAsTheCoreDoes()
    {
        auto p = open();
        for (const char* tab : {"PA比", "分析表"}) {
            showTab(*p, tab);
            child<QAbstractButton>(*p, "ClipBtn1")->click();
            QCOMPARE(QApplication::clipboard()->text(), qs(p->workbench().ClipBtn1Click(tab)));
        }
        QVERIFY(QApplication::clipboard()->text().count(QStringLiteral("\r\n")) >= 3);
    }

    void chartHorseAndAxisAreRestoredAtTheNextStart()
    {
        {
            auto p = open();
            showTab(*p, "PA比ｸﾞﾗﾌ");
            auto* horses = child<QGroupBox>(*p, "RadioGroup1");
            const auto buttons = horses->findChildren<QRadioButton*>();
            QVERIFY(buttons.size() >= 8);
            buttons[2]->click();
            const ChartView& chart = p->workbench().state().chart.view();
            QCOMPARE(chart.RadioGroup1Index, 2);
            QCOMPARE(buttons[2]->text(), qs(chart.RadioGroup1[2]));
            const int h = chart.RadioGroup1[2].front() == ' '
                              ? chart.RadioGroup1[2][1] - '0'
                              : std::stoi(chart.RadioGroup1[2].substr(0, 2));
            QVERIFY(!chart.series[static_cast<size_t>(h - 1)].inLegend);
            auto axis = child<QGroupBox>(*p, "RadioGroup2")->findChildren<QRadioButton*>();
            axis[1]->click(); // 普通軸
            QCOMPARE(chart.axis, ChartAxis::Linear);
            QVERIFY(!child<QGroupBox>(*p, "RadioGroup3")->isVisible());
            const fs::path png = m_dir.path() / "chart.png";
            QVERIFY(p->window().chartTab()->saveChart(png));
            QVERIFY(fs::file_size(png) > 1000);
            const fs::path svg = m_dir.path() / "chart.svg";
            QVERIFY(p->window().chartTab()->saveChart(svg));
            QVERIFY(readFileBytes(svg).find("<svg") != std::string::npos);
        }
        auto again = open();
        QCOMPARE(again->workbench().state().chart.view().axis, ChartAxis::Linear);
        QVERIFY(
            child<QGroupBox>(*again, "RadioGroup2")->findChildren<QRadioButton*>()[1]->isChecked());
        again->workbench().RadioGroup2Click(0);
    }

    void chartMarksTheChosenTimeAndThePostTimeAndNamesItsRace()
    {
        auto p = open();
        p->window().resize(1280, 800);
        showTab(*p, "PA比ｸﾞﾗﾌ");
        const WorkbenchState& s = p->workbench().state();
        QChart* chart = p->window().chartTab()->chartView()->chart();
        auto lineAt = [&](const char* name) -> QLineSeries* {
            for (QAbstractSeries* series : chart->series())
                if (series->objectName() == QLatin1String(name))
                    return static_cast<QLineSeries*>(series);
            return nullptr;
        };
        QLineSeries* chosen = lineAt("TimeMarker");
        QVERIFY(chosen);
        QCOMPARE(chosen->at(0).x(), static_cast<double>(s.TimeComboIndex));
        QVERIFY(lineAt("PostMarker"));
        // Another time point moves the line.
        p->workbench().TimeComboChange(s.TimeComboIndex + 1);
        QCOMPARE(lineAt("TimeMarker")->at(0).x(), static_cast<double>(s.TimeComboIndex));
        // Every pair of the legend has its label, and the time axis says its dates.
        int labelled = 0;
        const ChartView& view = s.chart.view();
        for (QAbstractSeries* series : chart->series()) {
            for (const auto& cs : view.series) {
                if (!cs.inLegend || series->name() != qs(cs.title))
                    continue;
                const auto markers = chart->legend()->markers(series);
                QCOMPARE(markers.size(), 1);
                QCOMPARE(markers.front()->label(), qs(cs.title));
                ++labelled;
            }
        }
        QVERIFY(labelled >= 8);
        auto* time = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).front());
        QVERIFY(time);
        QVERIFY2(time->categoriesLabels().front().contains(QLatin1Char('/')),
                 qPrintable(time->categoriesLabels().front()));
        // A saved chart carries its race.
        const fs::path svg = m_dir.path() / "race-chart.svg";
        QVERIFY(p->window().chartTab()->saveChart(svg));
        QVERIFY(readFileBytes(svg).find(s.StaticText1) != std::string::npos);
        QCOMPARE(chart->title(), qs("PA比時系列グラフ"));
    }

    void settingsDialogsStoreWhatIsConfirmed()
    {
        auto p = open();
        const TIniGT& ini = p->workbench().ini();
        child<QAction>(*p, "JRAVAN1")->trigger();
        auto* first = child<TFirstTimeForm>(*p, "TFirstTimeForm");
        // Its wrapped text ends above the time boxes, whole.
        first->show();
        QApplication::processEvents();
        for (QLabel* label : first->findChildren<QLabel*>()) {
            if (!label->wordWrap())
                continue;
            const QRect text = label->geometry();
            QVERIFY(text.height() >= label->heightForWidth(text.width()));
            QVERIFY(text.bottom() < first->SpinEdit1->geometry().top());
        }
        QCOMPARE(first->SpinEdit1->minimum(), 6);
        QCOMPARE(first->SpinEdit1->maximum(), 9);
        first->SpinEdit1->setValue(9);
        first->SpinEdit2->setValue(5);
        first->findChild<QAbstractButton*>(QStringLiteral("BitBtn1"))->click();
        QCOMPARE(ini.ReadString("Time", "First", ""), std::string("0905"));

        child<QAction>(*p, "A1")->trigger();
        auto* automatic = child<TOzGetTimeForm>(*p, "TOzGetTimeForm");
        QCOMPARE(automatic->SpinEdit3->minimum(), 5);
        automatic->SpinEdit3->setValue(5);
        automatic->SpinEdit4->setValue(20);
        automatic->findChild<QAbstractButton*>(QStringLiteral("BitBtn1"))->click();
        QCOMPARE(ini.ReadString("Time", "AutoOzGet", ""), std::string("05"));
        QCOMPARE(ini.ReadInteger("Time", "AutoRdataGet", 0), 20);

        child<QAction>(*p, "N9")->trigger();
        auto* delay = child<TTimeAddForm>(*p, "TTimeAddForm");
        QCOMPARE(delay->SpinEdit2->maximum(), 15);
        delay->SpinEdit2->setValue(7);
        delay->findChild<QAbstractButton*>(QStringLiteral("BitBtn1"))->click();
        QCOMPARE(ini.ReadInteger("Time", "delay", 0), 7);
        writeLinesText(m_app->iniFile(), {}); // the other tests' defaults again

        child<QAction>(*p, "HelpAboutItem")->trigger();
        auto* version = child<QLabel>(*p, "VersionLabel");
        QCOMPARE(version->text(), QStringLiteral("Ver.1.30"));
        child<TVersionForm>(*p, "TVersionForm")->accept();
        // The hidden command buttons exist and never show; 初期化 does nothing.
        auto* ini0 = child<QAbstractButton>(*p, "IniBtn");
        QVERIFY(!ini0->isVisible());
        ini0->click();
        QVERIFY(MessageBoxSeam::shown().empty());
    }

    void raceWithoutOddsShowsTheNotice()
    {
        auto p = open();
        const WorkbenchState& s = p->workbench().state();
        const int last = static_cast<int>(s.DatList.size()) - 1;
        const std::string key = p->workbench().raceListRows()[static_cast<size_t>(last)].raceKey;
        const fs::path o1 = oddsFilePath(m_app->root(), key, kO1Extension);
        const std::string kept = readFileBytes(o1);
        fs::remove(o1);
        child<QListWidget>(*p, "DatList")->setCurrentRow(last);
        auto* panel = child<QStackedWidget>(*p, "Panel1");
        QVERIFY(panel->currentWidget() == child<QWidget>(*p, "Panel1Caption"));
        QCOMPARE(child<QLabel>(*p, "Panel1Caption")->text(), qs("当レースはオッズが未取得です。"));
        writeFileAtomic(o1, kept);
    }

    // A write that fails (here a folder in the recommended-horse file's place, as a
    // full disk would fail it) is a box; the window stays and the next race works.
    void aFailedWriteIsShownAndTheWindowStaysOpen()
    {
        auto p = open();
        const RaView ra(p->workbench().state().store.RaRecs[0]);
        const fs::path sei =
            suishoFilePath(m_app->suishoDir(), *DayName::fromRecord(ra.bytes()), ra.venue());
        fs::remove(sei);
        fs::create_directories(sei / "blocker");
        auto unblock = qScopeGuard([&] { fs::remove_all(sei); });
        auto* races = child<QListWidget>(*p, "DatList");
        races->setCurrentRow(1);
        races->setCurrentRow(0);
        QVERIFY(!MessageBoxSeam::shown().empty());
        QVERIFY2(MessageBoxSeam::shown().back().find(sei.filename().string()) != std::string::npos,
                 MessageBoxSeam::shown().back().c_str());
        QVERIFY(p->window().isVisible());
        unblock.dismiss();
        fs::remove_all(sei);
        MessageBoxSeam::reset();
        races->setCurrentRow(1);
        QVERIFY(MessageBoxSeam::shown().empty());
        QVERIFY(fs::is_regular_file(sei));
    }

    // Colours the rules define, as painted.
    void cellsArePaintedByTheRules()
    {
        auto p = open();
        p->window().resize(1280, 800);
        const WorkbenchState& s = p->workbench().state();
        auto* table = child<GridView>(*p, "StringGrid1");
        showTab(*p, "分析表");
        QVERIFY(child<QToolButton>(*p, "SpeedButton1")->isChecked()); // 馬番, pressed at start
        bool bracket3 = false, second = false;
        for (int r = 1; r < s.display.StringGrid1.rowCount(); ++r) {
            if (trimmed(s.display.StringGrid1.cell(0, r)) == "3" && !bracket3) {
                QCOMPARE(paintedColour(table, 0, r), QColor(0xFF, 0, 0));
                bracket3 = true;
            }
            const int horse = toIntDef(trimmed(s.display.StringGrid1.cell(1, r)), 0);
            if (horse > 0 && s.results.FinishPos[static_cast<size_t>(horse)] == 2) {
                QCOMPARE(paintedColour(table, 1, r), QColor(0xFF, 0x80, 0));
                second = true;
            }
        }
        QVERIFY(bracket3 && second);
        // The pressed button's header: 馬番 is column 1.
        QCOMPARE(paintedColour(table, 1, 0), QColor(0, 0x80, 0x80));
    }

    // The hand-made day backs pairs of its favourites with long shots heavily enough
    // that a flagged pair reaches PA 1.6.
    void flaggedPairAtSixteenTenthsIsYellow()
    {
        test::TempDir dir;
        AppDir app(dir.path());
        app.createFolders();
        test::storeReportDay(dir.path(), {});
        Program p(dir.path().string(), &m_clock);
        p.window().resize(1280, 800);
        p.window().show();
        child<QComboBox>(p, "DateCombo")->activated(0);
        const WorkbenchState& s = p.workbench().state();
        auto* pa = child<GridView>(p, "StringGrid4");
        bool yellow = false, aqua = false;
        for (int i = 0; i < static_cast<int>(s.DatList.size()); ++i) {
            p.workbench().DatListClick(i);
            showTab(p, "PA比");
            const TextGrid& g = s.display.StringGrid4;
            for (int c = 1; c < g.columnCount(); ++c) {
                for (int r = 1; r < g.rowCount(); ++r) {
                    const CellStyle style = pa->gridModel()->style(c, r);
                    // The text may be blue as well (PA 1.3 or more): the fill decides.
                    const bool filled = style.fill == CellStyle::Fill::Colour;
                    if (filled && style.background == colours::Yellow && !yellow) {
                        QCOMPARE(paintedColour(pa, c, r), QColor(0xFF, 0xFF, 0));
                        yellow = true;
                    } else if (filled && style.background == colours::Aqua && !aqua) {
                        QCOMPARE(paintedColour(pa, c, r), QColor(0, 0xFF, 0xFF));
                        aqua = true;
                    }
                }
            }
        }
        QVERIFY(yellow && aqua);
    }

    // A race falls due on the injected clock; its fetch runs on the queue while the
    // window goes on handling events.
    void theLatestChoiceOpensRacesAtTheirNewestAnnouncement()
    {
        auto p = open();
        const WorkbenchState& s = p->workbench().state();
        auto* choice = child<QComboBox>(*p, "TimeChoice");
        QCOMPARE(choice->currentText(), qs("既定時刻"));
        const int atDefault = s.TimeComboIndex;
        choice->activated(1);
        QCOMPARE(s.TimeComboIndex, static_cast<int>(s.TimeCombo.size()) - 1);
        QVERIFY(s.TimeComboIndex != atDefault);
        auto* times = child<QComboBox>(*p, "TimeCombo");
        QCOMPARE(times->currentIndex(), s.TimeComboIndex);
        // Another race opens at its newest announcement too.
        child<QListWidget>(*p, "DatList")->setCurrentRow(2);
        QCOMPARE(s.TimeComboIndex, static_cast<int>(s.TimeCombo.size()) - 1);
        QCOMPARE(choice->currentIndex(), 1);
        choice->activated(0);
        QVERIFY(!s.LatestTime);
        QCOMPARE(choice->currentIndex(), 0);
    }

    void theHitReportAnswersInAWindowAndKeepsTheRace()
    {
        auto p = open();
        const WorkbenchState& s = p->workbench().state();
        child<QListWidget>(*p, "DatList")->setCurrentRow(4);
        showTab(*p, "PA比");
        child<QPushButton>(*p, "TekiAnaBtn")->click();
        QCOMPARE(s.DatListIndex, 4);
        QCOMPARE(child<QTabWidget>(*p, "PageControl1")
                     ->tabText(child<QTabWidget>(*p, "PageControl1")->currentIndex()),
                 qs("PA比"));
        // The generated Sunday has hits enough for a page.
        const HitRun& run = p->workbench().lastHitRun();
        QVERIFY(run.written);
        auto* window = p->window().findChild<QDialog*>(QStringLiteral("HitWindow"));
        QVERIFY(window && window->isVisible());
        auto* lines = window->findChild<QPlainTextEdit*>(QStringLiteral("HitLines"));
        QCOMPARE(lines->toPlainText().count(QLatin1Char('\n')), static_cast<int>(run.lines.size()));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("HitFiles"))
                    ->text()
                    .contains(qs(run.pageFile.filename().string())));
        window->findChild<QPushButton*>(QStringLiteral("CopyBtn"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), lines->toPlainText());
        window->close();
    }

    void tabGoesThroughTheDayTheRacesTheTimeAndTheTabs()
    {
        auto p = open();
        QApplication::setActiveWindow(&p->window());
        child<QComboBox>(*p, "DateCombo")->setFocus();
        QStringList order;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // The tabs take the focus through their bar.
            if (focus && focus->objectName() == QLatin1String("qt_tabwidget_tabbar"))
                focus = focus->parentWidget();
            order << (focus ? focus->objectName() : QStringLiteral("none"));
        }
        QCOMPARE(order,
                 (QStringList{QStringLiteral("DatList"), QStringLiteral("TimeCombo"),
                              QStringLiteral("TimeChoice"), QStringLiteral("PageControl1")}));
    }

    void theHelpOpensInAWindowOfOurOwnWithoutABrowser()
    {
        auto p = open();
        p->window().HelpContentsItemClick();
        auto* window = p->window().findChild<HelpWindow*>();
        QVERIFY(window && window->isVisible());
        QVERIFY(window->browser()->toPlainText().contains(qs("検証")));
        window->close();
    }

    // A 1366 x 768 laptop leaves about 1024 x 700: the window fits, and every control of
    // every tab lies inside the window or inside a scroll area that can bring it there.
    void everyControlIsReachableAt1024By700()
    {
        auto p = open();
        QMainWindow& window = p->window();
        window.resize(1024, 700);
        QApplication::processEvents();
        QVERIFY2(window.width() <= 1024 && window.height() <= 700,
                 qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
        auto* pages = child<QTabWidget>(*p, "PageControl1");
        int checked = 0;
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QApplication::processEvents();
            for (QWidget* w : pages->currentWidget()->findChildren<QWidget*>()) {
                const bool control = qobject_cast<QAbstractButton*>(w) ||
                                     qobject_cast<QLabel*>(w) || qobject_cast<GridView*>(w);
                if (!control || !w->isVisibleTo(&window))
                    continue;
                QScrollArea* area = nullptr;
                for (QWidget* up = w->parentWidget(); up && !area; up = up->parentWidget())
                    area = qobject_cast<QScrollArea*>(up);
                if (area) {
                    area->ensureWidgetVisible(w, 0, 0);
                    QApplication::processEvents();
                }
                const QRect shown(w->mapTo(&window, QPoint(0, 0)), w->size());
                QVERIFY2(window.rect().contains(shown),
                         qPrintable(pages->tabText(i) + QStringLiteral(": ") + w->objectName() +
                                    QStringLiteral(" ") +
                                    QString::fromLatin1(w->metaObject()->className())));
                ++checked;
            }
        }
        QVERIFY(checked > 60);
    }

    // A large window draws the grids larger; the default size keeps their design.
    void gridsGrowWithALargeWindow()
    {
        auto p = open();
        auto* grid = child<GridView>(*p, "StringGrid1");
        p->window().resize(1280, 800);
        QApplication::processEvents();
        QCOMPARE(grid->zoom(), 1.0);
        const int designRow = grid->rowHeight(0);
        p->window().resize(1920, 1080);
        QApplication::processEvents();
        QVERIFY2(grid->zoom() > 1.2, qPrintable(QString::number(grid->zoom())));
        QVERIFY(grid->rowHeight(0) > designRow);
        p->window().resize(1280, 800);
        QApplication::processEvents();
        QCOMPARE(grid->zoom(), 1.0);
        QCOMPARE(grid->rowHeight(0), designRow);
    }

    void theDayRaceAndTabOfTheLastSessionComeBack()
    {
        // A folder of its own: the settings it keeps would change the other tests' start.
        test::TempDir dir;
        AppDir app(dir.path() / "app");
        app.createFolders();
        test::importGeneratedSunday(app.root() / "feed", app.root());
        {
            Program p(app.root().string(), &m_clock);
            p.window().show();
            p.workbench().DateComboChange(0);
            p.workbench().DatListClick(6);
            showTab(p, "PA比ソート");
            p.window().close();
        }
        Program again(app.root().string(), &m_clock);
        QCOMPARE(again.workbench().state().DateComboIndex, 0);
        QCOMPARE(again.workbench().state().DatListIndex, 6);
        auto* pages = child<QTabWidget>(again, "PageControl1");
        QCOMPARE(pages->tabText(pages->currentIndex()), qs("PA比ソート"));
    }

    void automaticAcquisitionFetchesADueRace()
    {
        m_clock.set(LocalDateTime{2026, 11, 29, 8, 0, 0});
        auto p = open();
        p->window().FormShow();
        Workbench& wb = p->workbench();
        const WorkbenchState& s = wb.state();
        auto* box = child<QCheckBox>(*p, "AutoOzCheck");
        box->click();
        QVERIFY2(box->isChecked(),
                 MessageBoxSeam::shown().empty() ? "" : MessageBoxSeam::shown().back().c_str());
        QVERIFY(p->window().timer2()->isActive());
        QCOMPARE(p->window().timer2()->interval(), 40000);
        // The status bar says what comes next.
        QVERIFY2(child<QLabel>(*p, "NextFetchLabel")->text().startsWith(qs("次回取得: ")),
                 qPrintable(child<QLabel>(*p, "NextFetchLabel")->text()));

        const auto rows = wb.raceListRows();
        const std::string due = s.store.AutoOddsTime[static_cast<size_t>(rows[0].slot)];
        QVERIFY(!due.empty());
        const fs::path o2 = oddsFilePath(m_app->root(), rows[0].raceKey, kO2Extension);
        fs::remove(o2);
        // The default delay of 5 minutes: due at the acquisition time plus 5.
        const int minute = toIntDef(due.substr(0, 2), 0) * 60 + toIntDef(due.substr(2, 2), 0) + 5;
        m_clock.set(LocalDateTime{2026, 11, 29, minute / 60, minute % 60, 10});
        // A slow request holds the worker, so the race's fetch waits behind it.
        auto release = std::make_shared<std::atomic<bool>>(false);
        wb.queue()->submit("slow",
                           [release](Progress&, const std::atomic<bool>& cancel) {
                               while (!*release && !cancel)
                                   std::this_thread::sleep_for(std::chrono::milliseconds(5));
                           },
                           {});
        p->window().Timer2Timer();
        QCOMPARE(s.DatListIndex, 0);
        QVERIFY(wb.pendingRequests() > 0);
        // The window answers while the requests wait and run: a tab, another race.
        auto* pages = showTab(*p, "オッズ");
        QCOMPARE(pages->tabText(pages->currentIndex()), qs("オッズ"));
        child<QListWidget>(*p, "DatList")->setCurrentRow(5);
        QCOMPARE(s.DatListIndex, 5);
        QTest::qWait(50);
        QVERIFY(wb.pendingRequests() > 0);
        QVERIFY(!fs::exists(o2));
        *release = true;
        QTRY_COMPARE_WITH_TIMEOUT(wb.pendingRequests(), 0, 20000);
        QCOMPARE(s.DatListIndex, 5);
        QVERIFY(fs::exists(o2));
        QVERIFY(!s.TimeCombo.empty());
        box->click();
        QVERIFY(!p->window().timer2()->isActive());
        QVERIFY(child<QLabel>(*p, "NextFetchLabel")->text().isEmpty());
        m_clock.set(LocalDateTime{2026, 11, 30, 9, 0, 0});
    }

    // "ライブ": kept in the settings; with ｵｯｽﾞ自動取得 the window's one-second timer
    // refreshes the races one at a time, and the race shown stays.
    void liveFollowingRefreshesRacesWithoutMovingTheRaceShown()
    {
        m_clock.set(LocalDateTime{2026, 11, 29, 10, 0, 0});
        auto p = open();
        p->window().FormShow();
        Workbench& wb = p->workbench();
        wb.DatListClick(7);
        auto* live = child<QCheckBox>(*p, "LiveCheck");
        QVERIFY(!live->isChecked());
        live->click();
        QVERIFY(wb.liveChosen());
        QCOMPARE(readSetting(wb.ini(), settings::kLiveOn), 1);
        child<QCheckBox>(*p, "AutoOzCheck")->click();
        QVERIFY(wb.liveRunning());
        QCOMPARE(wb.liveSchedule().races().size(), wb.state().DatList.size());
        // The timer makes the refreshes; each ends before the next begins.
        QTRY_VERIFY_WITH_TIMEOUT(
            std::count_if(wb.liveSchedule().races().begin(), wb.liveSchedule().races().end(),
                          [](const LiveRace& r) { return r.lastRefresh.has_value(); }) >= 2,
            20000);
        QVERIFY(wb.pendingRequests() <= 1);
        QTRY_COMPARE_WITH_TIMEOUT(wb.pendingRequests(), 0, 20000);
        QCOMPARE(wb.state().DatListIndex, 7);
        QVERIFY2(child<QLabel>(*p, "NextFetchLabel")->text().startsWith(qs("ライブ: ")),
                 qPrintable(child<QLabel>(*p, "NextFetchLabel")->text()));
        // A race off before 10:00 was fetched to its post.
        const auto& races = wb.liveSchedule().races();
        QVERIFY(std::any_of(races.begin(), races.end(),
                            [](const LiveRace& r) { return r.followedToPost; }));
        child<QCheckBox>(*p, "AutoOzCheck")->click();
        live->click();
        QVERIFY(!wb.liveChosen());
        QCOMPARE(readSetting(wb.ini(), settings::kLiveOn), 0);
        m_clock.set(LocalDateTime{2026, 11, 30, 9, 0, 0});
    }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
