// The study windows over the report day: the money-flow tab of the selected race, the
// race-day board and its clicks, the backtest window and the alert settings, driven
// through their named controls.

#include "core/app/study_settings.h"
#include "core/app/temp_dir.h"
#include "core/study/study_day.h"
#include "gui/gui_person.h"
#include "gui/main_form.h"
#include "gui/program.h"
#include "gui/qt_text.h"
#include "gui/study_forms.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

using namespace sorvantix;
using namespace sorvantix::gui;

namespace {

template <class T> T* find(QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QString::fromLatin1(name));
}

template <class T> T* opened()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
            return t;
    return nullptr;
}

// The report day, race 11 with the late announcements at 15:00 and 15:25.
std::unique_ptr<AppDir> studyDay(test::TempDir& dir)
{
    auto app = std::make_unique<AppDir>(dir.path() / "app");
    app->createFolders();
    test::storeStudyDay(app->root(), test::flatTenths, test::markedTenths);
    return app;
}

} // namespace

class StudyWindowsTest : public QObject
{
    Q_OBJECT

    SettableClock m_clock{LocalDateTime{2004, 5, 16, 8, 0, 0}};

private slots:
    void initTestCase() { MessageBoxSeam::activate(true); }
    void init() { MessageBoxSeam::reset(); }

    void flowTabFollowsTheSelectedRace()
    {
        test::TempDir dir;
        auto app = studyDay(dir);
        Program p(app->root().string(), &m_clock);
        Workbench& wb = p.workbench();
        wb.selectDay("2004年05月16日");
        wb.DatListClick(wb.raceIndexOf(test::reportRaceKey(11)));
        auto* from = find<QComboBox>(p.window(), "FlowFrom");
        auto* to = find<QComboBox>(p.window(), "FlowTo");
        auto* pairs = find<QTableWidget>(p.window(), "FlowPairs");
        QVERIFY(from && to && pairs);
        QCOMPARE(to->count(), 4);
        QCOMPARE(to->currentText(), qs("05/16 15:25"));
        // The last hour: 15:00 to 15:25.
        QCOMPARE(from->currentText(), qs("05/16 15:00"));
        // From a flat market to the informed one: the backed pair 1-6 is marked (pink, among
        // the rows listed first), the weak pair 9-10 is not.
        QCOMPARE(pairs->rowCount(), 45);
        auto rowOf = [pairs](const char* label) {
            for (int r = 0; r < pairs->rowCount(); ++r)
                if (pairs->item(r, 0)->text() == qs(label))
                    return r;
            return -1;
        };
        const QColor pink(0xFF, 0xC8, 0xFF);
        // A marked pair carries the ◎ its legend names.
        const int backed = rowOf(" 1- 6 ◎"), weak = rowOf(" 9-10");
        QVERIFY(backed >= 0 && weak >= 0);
        QCOMPARE(pairs->item(backed, 0)->background().color(), pink);
        QVERIFY(pairs->item(weak, 0)->background().color() != pink);
        QVERIFY(backed < weak);
        QVERIFY(find<QLabel>(p.window(), "FlowNotes")->text().startsWith(qs("◎")));
        // Money in 万円 with thousands separators.
        const QRegularExpression money(QStringLiteral(
            "^単勝 \\+\\d{1,3}(,\\d{3})*\\.\\d万円  馬連 \\+\\d{1,3}(,\\d{3})*\\.\\d万円$"));
        const QString summary = find<QLabel>(p.window(), "FlowSummary")->text();
        QVERIFY2(money.match(summary).hasMatch(), qPrintable(summary));
        auto* notes = find<QLabel>(p.window(), "FlowNotes");
        // Later first is refused too, and says so.
        from->setCurrentIndex(3);
        QVERIFY(notes->text().contains(qs("前の発表")));
    }

    void boardShowsTheDayAndSelectsTheClickedRace()
    {
        test::TempDir dir;
        auto app = studyDay(dir);
        Program p(app->root().string(), &m_clock);
        Workbench& wb = p.workbench();
        wb.selectDay("2004年05月16日");
        wb.DatListClick(0);
        p.window().BoardItemClick();
        auto* board = opened<BoardWindow>();
        QVERIFY(board);
        QCOMPARE(board->grid()->rowCount(), 1);
        QTableWidgetItem* race11 = board->grid()->item(0, 10);
        QVERIFY(race11);
        QVERIFY2(race11->text().contains(qs("15:25")), qPrintable(race11->text()));
        // Its first line: the post time, and its results are in.
        QCOMPARE(race11->text().section(QLatin1Char('\n'), 0, 0), qs("15:30 確定"));
        QVERIFY(find<QLabel>(*board, "BoardLegend")->text().contains(qs("赤字")));
        QVERIFY(!board->grid()->item(0, 1)); // no 2R that day
        // The board frames the race the main window shows, and follows it.
        QCOMPARE(board->grid()->currentRow(), 0);
        QCOMPARE(board->grid()->currentColumn(), 0);
        board->BoardGridClick(0, 10);
        QCOMPARE(wb.state().DatListIndex, wb.raceIndexOf(test::reportRaceKey(11)));
        QCOMPARE(board->grid()->currentColumn(), 10);
        wb.DatListClick(0);
        QCOMPARE(board->grid()->currentColumn(), 0);
        // Its tip holds the whole text, the ★ list that a narrow cell cuts.
        const QString tip = race11->toolTip();
        QVERIFY2(tip.contains(race11->text().section(QLatin1Char('\n'), 3, 3)), qPrintable(tip));
        QVERIFY(tip.contains(qs("11R")));
        QVERIFY(find<QLabel>(*board, "BoardLegend")->text().contains(qs("太字")));
        // A second open shows the same window.
        p.window().BoardItemClick();
        int boards = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            boards += qobject_cast<BoardWindow*>(w) && w->isVisible();
        QCOMPARE(boards, 1);
        board->close();
    }

    void backtestWindowComparesTheTickedSets()
    {
        test::TempDir dir;
        auto app = studyDay(dir);
        Program p(app->root().string(), &m_clock);
        p.window().BacktestItemClick();
        auto* form = opened<BacktestWindow>();
        QVERIFY(form);
        auto* sets = find<QListWidget>(*form, "SetList");
        QCOMPARE(sets->count(), 1);
        sets->item(0)->setCheckState(Qt::Unchecked);
        find<QPushButton>(*form, "RunBtn")->click();
        QCOMPARE(MessageBoxSeam::shown().back(),
                 std::string("推奨馬設定を一つ以上選んでください。"));
        sets->item(0)->setCheckState(Qt::Checked);
        find<QComboBox>(*form, "DecisionCombo")->setCurrentIndex(2);
        find<QSpinBox>(*form, "MinutesEdit")->setValue(30);
        find<QPushButton>(*form, "RunBtn")->click();
        // It runs on the queue: the button waits until the report is there.
        QVERIFY(!find<QPushButton>(*form, "RunBtn")->isEnabled());
        QTRY_VERIFY(find<QPushButton>(*form, "RunBtn")->isEnabled());
        // Races 1 and 11 have payouts; race 11 is decided at 15:00.
        QCOMPARE(form->report().raceKeys.size(), size_t{2});
        QCOMPARE(form->report().sets.at(0).races.at(1).timeKey, std::string("05161500"));
        auto* table = find<QTableWidget>(*form, "ResultGrid");
        QCOMPARE(table->rowCount(), kBetCategories + 1);
        QCOMPARE(table->item(kBetCategories, 1)->text(), qs("合計"));
        form->close();
    }

    void alertSettingsAreSaved()
    {
        test::TempDir dir;
        auto app = studyDay(dir);
        Program p(app->root().string(), &m_clock);
        p.window().AlertItemClick();
        auto* form = opened<AlertSettingsDialog>();
        QVERIFY(form);
        find<QCheckBox>(*form, "TokushoCheck")->setChecked(false);
        find<QDoubleSpinBox>(*form, "PaLevelEdit")->setValue(1.75);
        // The sharp falls: on by default, a band's share and a floor changed.
        QVERIFY(find<QCheckBox>(*form, "DropCheck")->isChecked());
        QCOMPARE(find<QSpinBox>(*form, "DropPercent0_0")->value(), 20);
        find<QSpinBox>(*form, "DropPercent1_2")->setValue(50);
        find<QDoubleSpinBox>(*form, "DropFloor0")->setValue(0.5);
        form->accept();
        const AlertSettings s = readAlertSettings(p.workbench().ini());
        QVERIFY(s.singularPair);
        QVERIFY(!s.tokusho);
        QCOMPARE(s.paLevel, 1.75);
        QVERIFY(s.oddsDrop);
        QCOMPARE(s.quinellaDrop.percent[2], 50.0);
        QCOMPARE(s.quinellaDrop.percent[0], 25.0);
        QCOMPARE(s.winDrop.floor, 0.5);
    }

    void exportRunsOnTheQueueAndSaysWhatItWrote()
    {
        test::TempDir dir;
        auto app = studyDay(dir);
        Program p(app->root().string(), &m_clock);
        const std::filesystem::path file = dir.path() / "out.db";
        MessageBoxSeam::setNextFileName(file);
        p.window().ExportItemClick();
        // The window is not held while the export runs: its answer comes afterwards.
        QTRY_VERIFY(!MessageBoxSeam::shown().empty());
        const std::string said = MessageBoxSeam::shown().back();
        QVERIFY2(said.rfind("書き出しました: " + file.string(), 0) == 0, said.c_str());
        QVERIFY(std::filesystem::exists(file));
        QCOMPARE(p.workbench().pendingRequests(), 0);
    }
};

QTEST_MAIN(StudyWindowsTest)
#include "study_windows_test.moc"
