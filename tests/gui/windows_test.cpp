// The windows behind the main window's commands, driven through their named controls:
// the race card acquisition, the schedule, payouts, parameter sets, the
// recommended-horse table, the printed page and the grid printer. Boxes are answered
// through the seam; every window opens and closes a hundred times without a leak or a
// warning from Qt.

#include "core/app/settings_keys.h"
#include "core/app/temp_dir.h"
#include "core/odds/odds_files.h"
#include "core/present/cell_colours.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/ini_file.h"
#include "core/text/text_file.h"
#include "feed/feed_writer.h"
#include "feed_import.h"
#include "folder_listing.h"
#include "gui/get_data_form.h"
#include "gui/grid_view.h"
#include "gui/odds_schej_form.h"
#include "gui/page_painter.h"
#include "gui/print_preview_form.h"
#include "gui/program.h"
#include "gui/qt_text.h"
#include "gui/settings_dialogs.h"
#include "gui/suisho_list_form.h"
#include "gui/suisho_set_form.h"
#include "painted_colour.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <map>
#include <memory>

using namespace sorvantix;
using namespace sorvantix::gui;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> g_warnings;
QtMessageHandler g_previous = nullptr;

// Qt's warnings are collected; the offscreen platform's note that it cannot pass size
// hints to a window system it does not have is not one about this program.
void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type >= QtWarningMsg && !message.contains(QLatin1String("propagateSizeHints")))
        g_warnings.push_back(message.toStdString());
    if (g_previous)
        g_previous(type, context, message);
}

std::map<std::string, std::string> dataFiles(const fs::path& app)
{
    std::map<std::string, std::string> files;
    for (const auto& f : test::sortedFiles(app / "Data"))
        if (fs::is_regular_file(f))
            files[f.filename().string()] = readFileBytes(f);
    return files;
}

} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT

private:
    template <class T> T* find(QWidget& top, const char* name)
    {
        T* found = top.findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    // The window of a class the main window opened, the newest one.
    template <class T> T* opened(Program& p)
    {
        const auto all = p.window().findChildren<T*>();
        return all.isEmpty() ? nullptr : all.back();
    }
    void deleteClosed()
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // A generated day, cards and odds imported, in a fresh folder.
    std::unique_ptr<AppDir> importedDay(test::TempDir& dir)
    {
        auto app = std::make_unique<AppDir>(dir.path() / "app");
        app->createFolders();
        test::importGeneratedSunday(app->root() / "feed", app->root());
        return app;
    }

    // The generated Sunday before its first race, and after its results are out.
    static constexpr LocalDateTime kMorning{2026, 11, 29, 8, 0, 0};
    static constexpr LocalDateTime kEvening{2026, 11, 29, 18, 0, 0};
    SettableClock m_clock{kMorning};

private slots:
    // "JV-Link設定": the three ways in, each read back as the choice that is kept; the
    // window shows which JV-Link is in use.
    void jvLinkSettingsChooseReplayWineOrADirectBridge()
    {
        JvLinkChoice kept;
        kept.kind = JvLinkKind::Bridge;
        kept.bridge.bridge = "/opt/sorvantix/sorvantix-jvlink-bridge.exe";
        kept.bridge.winePrefix = "/home/u/.wine-jvlink";
        kept.bridge.openTimeout = std::chrono::seconds(90);
        JvLinkSettingsDialog form(kept, "/data/feed", {});
        QVERIFY(find<QRadioButton>(form, "WineRadio")->isChecked());
        QCOMPARE(find<QLineEdit>(form, "PrefixEdit")->text(),
                 QStringLiteral("/home/u/.wine-jvlink"));
        QCOMPARE(form.choice().bridge.openTimeout.count(), 90);

        find<QRadioButton>(form, "DirectRadio")->click();
        find<QLineEdit>(form, "BridgeEdit")->setText(QStringLiteral("/mnt/c/s/bridge.exe"));
        JvLinkChoice direct = form.choice();
        QVERIFY(direct.kind == JvLinkKind::Bridge);
        QVERIFY(direct.bridge.runner.empty());
        QVERIFY(direct.bridge.winePrefix.empty());
        QCOMPARE(QString::fromStdString(direct.bridge.bridge.string()),
                 QStringLiteral("/mnt/c/s/bridge.exe"));

        find<QRadioButton>(form, "ReplayRadio")->click();
        // One kind at a time, though they sit in two boxes.
        QVERIFY(!find<QRadioButton>(form, "DirectRadio")->isChecked());
        QVERIFY(!find<QRadioButton>(form, "WineRadio")->isChecked());
        find<QLineEdit>(form, "FeedEdit")->setText(QStringLiteral("/data/other"));
        QVERIFY(form.choice().kind == JvLinkKind::Replay);
        QCOMPARE(QString::fromStdString(form.feedFolder().string()), QStringLiteral("/data/other"));
        // Without a bridge in use, JV-Link's own dialog cannot be opened from here.
        QVERIFY(!find<QAbstractButton>(form, "ComponentSettingsButton")->isEnabled());

        test::TempDir dir;
        Program p(dir.path().string(), &m_clock);
        p.show();
        const std::string text = p.window().jvLinkText();
        QVERIFY2(text.rfind("リプレイ（フィード: ", 0) == 0, text.c_str());
        QCOMPARE(find<QLabel>(p.window(), "JvLinkLabel")->text(), qs(text));
    }

    // An empty folder: the missing feed is said, a guide offers the two ways in, each
    // opening the JV-Link settings on its page, and the window says what to do next.
    // Once a day is stored, neither guide nor hint is shown.
    void firstStartGuidesToTheTwoWaysIn()
    {
        test::TempDir dir;
        {
            Program p(dir.path().string(), &m_clock);
            p.show();
            QApplication::processEvents();
            QVERIFY(!MessageBoxSeam::shown().empty());
            QVERIFY(MessageBoxSeam::shown().back().find("ﾕｰｻﾞｰ指定") != std::string::npos);
            QVERIFY(find<QLabel>(p.window(), "EmptyHint")->isVisible());
            QVERIFY(!find<QListWidget>(p.window(), "DatList")->isVisible());
            QVERIFY(find<QLabel>(p.window(), "EmptyHint")->text().contains(qs("JVデータ取得")));
            for (const char* way : {"ReplayWayButton", "BridgeWayButton"}) {
                auto* guide = p.window().findChild<QDialog*>(QStringLiteral("FirstStartGuide"));
                if (!guide) {
                    p.window().showFirstStartGuide();
                    guide = p.window().findChild<QDialog*>(QStringLiteral("FirstStartGuide"));
                }
                QVERIFY(guide && guide->isVisible());
                bool replayChecked = false;
                bool seen = false;
                QTimer::singleShot(0, [&] {
                    auto* settings =
                        qobject_cast<JvLinkSettingsDialog*>(QApplication::activeModalWidget());
                    if (!settings)
                        return;
                    seen = true;
                    replayChecked = settings->ReplayRadio->isChecked();
                    settings->reject();
                });
                find<QPushButton>(*guide, way)->click();
                QApplication::processEvents();
                QVERIFY2(seen, way);
                QCOMPARE(replayChecked, std::string_view(way) == "ReplayWayButton");
            }
        }
        MessageBoxSeam::reset();
        test::importGeneratedSunday(dir.path() / "feed", dir.path());
        Program p(dir.path().string(), &m_clock);
        p.show();
        QApplication::processEvents();
        QVERIFY(!find<QLabel>(p.window(), "EmptyHint")->isVisible());
        QVERIFY(find<QListWidget>(p.window(), "DatList")->isVisible());
        QVERIFY(!p.window().findChild<QDialog*>(QStringLiteral("FirstStartGuide")));
    }

    // Qt's standard buttons speak Japanese once the program has set up the application.
    void standardButtonsAreJapanese()
    {
        setUpApplication();
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), qs("キャンセル"));
        // Qt's own file dialog, as the window's save and open choices show it.
        QFileDialog files(nullptr, qs("保存"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setAcceptMode(QFileDialog::AcceptSave);
        auto* buttons = files.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), qs("キャンセル"));
        QVERIFY(buttons->button(QDialogButtonBox::Save)->text().startsWith(qs("保存")));
    }

    void initTestCase()
    {
        MessageBoxSeam::activate(true);
        g_previous = qInstallMessageHandler(collect);
    }
    void init()
    {
        m_clock.set(kMorning);
        MessageBoxSeam::reset();
        g_warnings.clear();
    }
    void cleanup()
    {
        QVERIFY2(g_warnings.empty(), g_warnings.empty() ? "" : g_warnings.front().c_str());
    }

    // Half a year of race cards over the replay (long enough to be cancelled while
    // reading): cancelled while downloading, cancelled while reading, then completed;
    // Data/ is then what the command line stores.
    void raceCardAcquisitionCancelsInEachPhaseAndCompletes()
    {
        test::TempDir dir;
        AppDir app(dir.path() / "app");
        app.createFolders();
        feed::FeedOptions options;
        options.from = feed::FeedDate{2026, 6, 1};
        options.to = feed::FeedDate{2026, 11, 29};
        options.seed = 3;
        options.oddsDays = feed::OddsDays::None;
        const fs::path feedDir = dir.path() / "feed";
        feed::writeFeed(options, feedDir);
        writeLinesText(app.root() / "jvlink.ini", {"[JVLink]", "FeedFolder=" + feedDir.string()});

        Program p(app.root().string(), &m_clock);
        p.window().show();
        p.window().FormShow();
        find<QAbstractButton>(p.window(), "JVBtn")->click();
        auto* window = opened<TGetDataFormWindow>(p);
        QVERIFY(window);
        QVERIFY(find<QRadioButton>(*window, "rbtSetup")->isChecked()); // first use
        auto* label = find<QLabel>(*window, "ProgressLabel");
        auto* list = find<QListWidget>(*window, "ListBox1");

        auto runUntil = [&](const QString& phase) {
            find<QAbstractButton>(*window, "ButtonStart")->click();
            QVERIFY(window->running());
            QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(phase) || !window->running(), 20000);
            QVERIFY2(window->running(), qPrintable(label->text()));
            // Cancelled at once (a read is quick); the main window answers meanwhile.
            find<QAbstractButton>(*window, "ButtonCancel")->click();
            find<QListWidget>(p.window(), "DatList");
            p.window().findChild<QAction*>(QStringLiteral("HelpAboutItem"))->trigger();
            auto* about = p.window().findChild<QDialog*>(QStringLiteral("TVersionForm"));
            QVERIFY(about);
            about->accept();
            QTRY_VERIFY_WITH_TIMEOUT(!window->running(), 20000);
            QCOMPARE(window->lastOutcome(), CardRunOutcome::Cancelled);
            QCOMPARE(label->text(), qs("中止しました"));
        };
        runUntil(qs("ダウンロード中"));
        QCOMPARE(MessageBoxSeam::asked().back(), std::string(kCardCancelQuestion));
        runUntil(qs("データ読込み中"));
        QVERIFY(list->count() > 0);

        find<QAbstractButton>(*window, "ButtonStart")->click();
        QTRY_VERIFY2_WITH_TIMEOUT(!window->running(), qPrintable(label->text()), 60000);
        QCOMPARE(window->lastOutcome(), CardRunOutcome::Completed);
        QVERIFY(list->count() > 1000);
        // A whole read leaves both bars full.
        for (const char* bar : {"ProgressBar1", "ProgressBar2"}) {
            auto* b = find<QProgressBar>(*window, bar);
            QCOMPARE(b->value(), b->maximum());
        }
        // The caption "データ提供日FROM" shows the date the data reaches.
        const QString provided = find<QLabel>(*window, "ProvidedFromLabel")->text();
        QVERIFY(QDateTime::fromString(provided, QStringLiteral("yyyy/MM/dd HH:mm:ss")).isValid());
        QCOMPARE(provided, find<QLabel>(*window, "Label5")->text());
        window->close();
        deleteClosed();
        QVERIFY(opened<TGetDataFormWindow>(p) == nullptr);
        // The day list was rebuilt and the newest day is shown with its races.
        QCOMPARE(p.workbench().state().DateComboIndex, 0);
        QVERIFY(!p.workbench().state().DatList.empty());

        // The command line's acquisition of the same feed.
        const fs::path cliApp = dir.path() / "cli";
        for (QStringList args :
             {QStringList{QStringLiteral("jvlink"), QStringLiteral("--feed"),
                          QString::fromStdString(feedDir.string())},
              QStringList{QStringLiteral("fetch-cards"), QStringLiteral("--setup")}}) {
            QProcess cli;
            cli.start(
                QStringLiteral(SORVANTIX_CLI),
                QStringList{QStringLiteral("--app-dir"), QString::fromStdString(cliApp.string())} +
                    args);
            QVERIFY(cli.waitForFinished(120000));
            QCOMPARE(cli.exitCode(), 0);
        }
        const auto gui = dataFiles(app.root());
        QVERIFY(!gui.empty());
        QVERIFY(gui == dataFiles(cliApp));
    }

    void scheduleFetchesTwoCheckedRacesAndReloadsTheDay()
    {
        test::TempDir dir;
        auto app = importedDay(dir);
        m_clock.set(kEvening); // every race's series is whole
        Program p(app->root().string(), &m_clock);
        p.window().show();
        p.window().FormShow();
        p.workbench().DateComboChange(0);
        const auto rows = p.workbench().raceListRows();
        for (int i : {2, 5}) {
            fs::remove(
                oddsFilePath(app->root(), rows[static_cast<size_t>(i)].raceKey, kO1Extension));
            fs::remove(
                oddsFilePath(app->root(), rows[static_cast<size_t>(i)].raceKey, kO2Extension));
        }
        find<QAbstractButton>(p.window(), "OzGetBtn")->click();
        auto* window = opened<TOddsSchejFormWindow>(p);
        QVERIFY2(window,
                 MessageBoxSeam::shown().empty() ? "" : MessageBoxSeam::shown().back().c_str());
        auto* list = find<QListWidget>(*window, "CheckListBox1");
        QCOMPARE(list->count(), static_cast<int>(rows.size()));
        QCOMPARE(find<GridView>(*window, "StringGrid1")->model()->rowCount(), list->count() + 1);
        // Nothing checked: the message.
        find<QAbstractButton>(*window, "OzGetBtn")->click();
        QCOMPARE(MessageBoxSeam::shown().back(), std::string(schedule::kNothingCheckedMessage));
        // The buttons beside the list check and clear every race.
        find<QAbstractButton>(*window, "CheckAllBtn")->click();
        for (int i = 0; i < list->count(); ++i)
            QCOMPARE(list->item(i)->checkState(), Qt::Checked);
        find<QAbstractButton>(*window, "UncheckAllBtn")->click();
        for (int i = 0; i < list->count(); ++i)
            QCOMPARE(list->item(i)->checkState(), Qt::Unchecked);
        list->item(2)->setCheckState(Qt::Checked);
        list->item(5)->setCheckState(Qt::Checked);
        find<QAbstractButton>(*window, "OzGetBtn")->click();
        QVERIFY(window->fetching());
        QTRY_VERIFY_WITH_TIMEOUT(!window->fetching(), 30000);
        QCOMPARE(MessageBoxSeam::shown().back(), std::string(schedule::kDoneMessage));
        QCOMPARE(find<QLabel>(*window, "ProgressLabel")->text(), qs("完了"));
        for (int i : {2, 5}) {
            QVERIFY(fs::exists(
                oddsFilePath(app->root(), rows[static_cast<size_t>(i)].raceKey, kO1Extension)));
            QVERIFY(fs::exists(
                oddsFilePath(app->root(), rows[static_cast<size_t>(i)].raceKey, kO2Extension)));
        }
        // The timetable saved as PDF from its button, with or without a printer.
        const fs::path pdf = dir.path() / "schedule.pdf";
        MessageBoxSeam::setNextFileName(pdf);
        find<QAbstractButton>(*window, "PdfBtn")->click();
        QCOMPARE(MessageBoxSeam::shown().back(), "PDFに保存しました: " + pdf.string());
        QVERIFY(readFileBytes(pdf).rfind("%PDF", 0) == 0);
        // Closing reloads the day: race 5 lists its new time points.
        p.workbench().DatListClick(5);
        window->close();
        deleteClosed();
        QCOMPARE(p.workbench().state().DatListIndex, 5);
        QVERIFY(!p.workbench().state().TimeCombo.empty());
    }

    void payoutRunMergesTheDaysResults()
    {
        test::TempDir dir;
        auto app = importedDay(dir);
        // Results as the cards came, without payouts: the run brings them.
        fs::remove(app->dataDir() / "2026年11月29日.jvHR");
        m_clock.set(kEvening); // every race's results are out
        Program p(app->root().string(), &m_clock);
        p.window().show();
        p.window().FormShow();
        p.workbench().DateComboChange(0);
        find<QAbstractButton>(p.window(), "KekkaGetBtn")->click();
        QTRY_COMPARE_WITH_TIMEOUT(p.workbench().pendingRequests(), 0, 30000);
        QVERIFY(fs::exists(app->dataDir() / "2026年11月29日.jvHR"));
        const auto& s = p.workbench().state();
        QVERIFY(!RecordView(s.store.HrRecs[static_cast<size_t>(s.SelectedRace)]).isBlank());
        // The one answer of the click: what was merged.
        QCOMPARE(MessageBoxSeam::shown(),
                 std::vector<std::string>{
                     "結果情報を取り込みました: " + std::to_string(s.DatList.size()) + "レース中 " +
                     std::to_string(s.DatList.size()) + "レースに払戻があります。"});
    }

    void parameterSetsRegisterChooseAndDeleteWithEveryMessage()
    {
        test::TempDir dir;
        auto app = importedDay(dir);
        Program p(app->root().string(), &m_clock);
        p.window().show();
        Workbench& wb = p.workbench();
        wb.DateComboChange(0);
        p.window().findChild<QAction*>(QStringLiteral("N8"))->trigger();
        auto* window = opened<TSuishoSetForm>(p);
        QVERIFY(window);
        auto* sets = find<QComboBox>(*window, "ComboBox1");
        QCOMPARE(sets->itemText(0), qs("既定値"));
        auto* name = find<QLineEdit>(*window, "Edit1");
        auto* add = find<QAbstractButton>(*window, "BitBtn2");
        add->click();
        QCOMPARE(MessageBoxSeam::shown().back(), std::string("設定名を入力してくだい。"));
        name->setText(qs("既定値"));
        add->click();
        QCOMPARE(MessageBoxSeam::shown().back(),
                 std::string("[既定値]はすでに登録済みの名称です。"));
        // A set whose favourite is always ★: PA≧1率 from 0.
        name->clear();
        name->setText(qs("本命"));
        auto* box = find<QLineEdit>(*window, "SEdit1");
        // Only numbers can be typed into a box.
        box->clear();
        QTest::keyClicks(box, QStringLiteral("a1x.5b"));
        QCOMPARE(box->text(), QStringLiteral("1.5"));
        box->setText(QStringLiteral("0"));
        emit box->editingFinished();
        // The copy boxes follow their source.
        auto* pa = find<QLineEdit>(*window, "SEdit10");
        pa->setText(QStringLiteral("1.5"));
        emit pa->editingFinished();
        QCOMPARE(find<QLineEdit>(*window, "SEdit13")->text(), QStringLiteral("1.5"));
        add->click();
        QVERIFY2(MessageBoxSeam::shown().back() == "設定[本命]を保存しました。",
                 MessageBoxSeam::shown().back().c_str());
        QCOMPARE(sets->count(), 2);
        QCOMPARE(sets->currentIndex(), 0); // registering does not choose it
        sets->activated(1);
        QCOMPARE(wb.ini().ReadInteger("UserSetting", "SetID", -1), 1);
        window->close();
        deleteClosed();

        // The next analysis run of the main window uses the chosen set.
        wb.DatListClick(0);
        const auto& a = wb.state().analysis;
        int favourite = 0;
        for (int h = 1; h <= 18; ++h)
            if (a.ShareRank[static_cast<size_t>(h)] == 1)
                favourite = h;
        QVERIFY(favourite > 0);
        QCOMPARE(static_cast<int>(a.SuishoMark[static_cast<size_t>(favourite)]), 1);

        p.window().findChild<QAction*>(QStringLiteral("N8"))->trigger();
        window = opened<TSuishoSetForm>(p);
        sets = find<QComboBox>(*window, "ComboBox1");
        QCOMPARE(sets->currentIndex(), 1);
        find<QAbstractButton>(*window, "SpeedButton2")->click();
        QCOMPARE(MessageBoxSeam::asked().back(), std::string("本命 を削除しますか?"));
        QCOMPARE(sets->count(), 1);
        QCOMPARE(wb.ini().ReadInteger("UserSetting", "SetID", -1), 0);
        find<QAbstractButton>(*window, "SpeedButton2")->click();
        QCOMPARE(MessageBoxSeam::shown().back(), std::string("既定値は削除できません。"));
        window->close();
        deleteClosed();
    }

    void recommendedHorseTableShowsYearsFilesAndColours()
    {
        test::TempDir dir;
        auto app = importedDay(dir);
        Program p(app->root().string(), &m_clock);
        p.window().show();
        find<QAbstractButton>(p.window(), "SpeedButton4")->click();
        QCOMPARE(MessageBoxSeam::shown().back(), std::string(kNoSuishoDataMessage));
        QVERIFY(opened<TSuishoListForm>(p) == nullptr);

        p.workbench().DateComboChange(0);
        p.workbench().M1Click();
        find<QAbstractButton>(p.window(), "SpeedButton4")->click();
        auto* window = opened<TSuishoListForm>(p);
        QVERIFY(window);
        QCOMPARE(find<QComboBox>(*window, "ComboBox1")->currentText(), qs("2026年"));
        auto* files = find<QListWidget>(*window, "ListBox1");
        QCOMPARE(files->count(), 3); // three venues of the day
        files->setCurrentRow(1);
        QCOMPARE(find<QLabel>(*window, "TitleLabel")->text(), files->item(1)->text());
        auto* grid = find<GridView>(*window, "StringGrid5");
        const SuishoTableModel& model = window->model();
        bool blue = false, grey = false;
        for (int r = 1; r <= 12; ++r) {
            for (int c = 2; c < 20; ++c) {
                const CellStyle style = model.StringGrid5DrawCell(c, r);
                QCOMPARE(style, grid->gridModel()->style(c, r));
                blue = blue || style.textColour == colours::Blue;
                if (style.fill == CellStyle::Fill::Colour && style.background == colours::Grey &&
                    !grey) {
                    QCOMPARE(test::paintedColour(grid, c, r), QColor(0x80, 0x80, 0x80));
                    grey = true;
                }
            }
        }
        QVERIFY(blue && grey);
        window->close();
        deleteClosed();
    }

    // The page as the printer gets it, checked where the display list draws.
    void printedPageRendersTheSquareTheNumberAndTheTable()
    {
        test::TempDir dir;
        auto app = importedDay(dir);
        Program p(app->root().string(), &m_clock);
        p.window().show();
        Workbench& wb = p.workbench();
        wb.DateComboChange(0);
        int eleventh = -1;
        for (size_t i = 0; i < wb.raceListRows().size() && eleventh < 0; ++i)
            if (wb.raceListRows()[i].raceKey.substr(14) == "11")
                eleventh = static_cast<int>(i);
        wb.DatListClick(eleventh);
        p.window().findChild<QAction*>(QStringLiteral("P1"))->trigger();
        auto* preview = opened<TPrintPreviewForm>(p);
        QVERIFY(preview);
        QCOMPARE(preview->windowTitle(), qs("分析結果印刷"));
        // At 254 dots per inch a tenth of a millimetre is one pixel.
        const QImage page = preview->render(254);
        QCOMPARE(page.pixelColor(102, 348), QColor(Qt::black));
        int white = 0;
        for (int y = 275; y < 348; ++y)
            for (int x = 104; x < 178; ++x)
                white += page.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
        QVERIFY(white > 100); // the race number, in white on the square
        const int n = RaView(wb.state().store.RaRecs[static_cast<size_t>(wb.state().SelectedRace)])
                          .registered();
        const int bottom = 688 + 38 * n;
        QVERIFY(page.pixelColor(1000, bottom).value() < 100);
        QVERIFY(page.pixelColor(1000, bottom + 20) == QColor(Qt::white));
        QVERIFY(page.pixelColor(1840, 900).value() < 100); // the outline's right edge
        // No printer here: printing says so; the PDF still works.
        find<QAbstractButton>(*preview, "PrintBtn")->click();
        if (!printerInstalled())
            QCOMPARE(MessageBoxSeam::shown().back(), std::string(kNoPrinterMessage));
        const fs::path pdf = dir.path() / "race.pdf";
        MessageBoxSeam::setNextFileName(pdf);
        find<QAbstractButton>(*preview, "PdfBtn")->click();
        QVERIFY(readFileBytes(pdf).rfind("%PDF", 0) == 0);
        // The zoom choice is kept.
        find<QComboBox>(*preview, "ZoomGroup")->activated(3);
        QCOMPARE(preview->zoom(), 100);
        // "ページ全体": the whole sheet inside the visible area, at any window size; the
        // saved choice stays the last fixed zoom.
        auto* zoom = find<QComboBox>(*preview, "ZoomGroup");
        auto* area = preview->findChild<QScrollArea*>();
        QVERIFY(area);
        for (QSize size : {QSize(500, 400), QSize(900, 1000)}) {
            preview->resize(size);
            zoom->setCurrentIndex(zoom->count() - 1);
            zoom->activated(zoom->count() - 1);
            QApplication::processEvents();
            const QSize sheet = area->widget()->size();
            QVERIFY2(sheet.width() <= area->viewport()->width() &&
                         sheet.height() <= area->viewport()->height(),
                     qPrintable(QStringLiteral("%1x%2").arg(sheet.width()).arg(sheet.height())));
            QVERIFY(preview->zoom() < 100);
        }
        preview->close();
        deleteClosed();
        QCOMPARE(wb.ini().ReadInteger("PrintZoom", "ratio", -1), 3);
        QVERIFY(wb.ini().ReadInteger("Printlocate", "width", -1) > 0);
    }

    void gridOfTwoColumnBandsAndThreeRowBandsPrintsSixSheets()
    {
        test::TempDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString((dir.path() / "grid.pdf").string()));
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setFullPage(true);
        const QRect page = printer.pageLayout().fullRectPixels(printer.resolution());
        GridPrintMetrics m;
        m.printerDpiX = m.printerDpiY = printer.resolution();
        m.pageWidth = page.width();
        m.pageHeight = page.height();
        const int pxPerScreen = printer.resolution() / 96;
        const int usableWidth = (page.width() - mmToPixels(15, printer.resolution())) / pxPerScreen;
        const int usableHeight =
            (page.height() - mmToPixels(20, printer.resolution())) / pxPerScreen;
        // Columns of 60% of the width: two bands; rows of 40% of the height: three bands
        // of two, two and one.
        m.columnWidths = {usableWidth * 6 / 10, usableWidth * 6 / 10};
        m.rowHeights.assign(5, usableHeight * 4 / 10);
        TextGrid grid(2, 5);
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 2; ++c)
                grid.setCell(c, r, "セル" + std::to_string(c) + "-" + std::to_string(r));
        QPainter painter(&printer);
        int headers = 0;
        const int sheets =
            printGrid(painter, printer, grid, m, gothicFont(12), [&](QPainter&) { ++headers; });
        painter.end();
        QCOMPARE(sheets, 6);
        QCOMPARE(headers, 6);
        const std::string bytes = readFileBytes(dir.path() / "grid.pdf");
        int pages = 0;
        for (size_t at = bytes.find("/Type /Page"); at != std::string::npos;
             at = bytes.find("/Type /Page", at + 1))
            pages += bytes.compare(at, 12, "/Type /Pages") == 0 ? 0 : 1;
        QCOMPARE(pages, 6);
        const std::vector<GridSheet> order = gridSheets(m);
        QCOMPARE(order[2].columns.first, 0);
        QCOMPARE(order[3].columns.first, 1);
        QCOMPARE(order[3].rows.first, 0);
    }

    // 的中 publishes the page: the file opened with the desktop's application, its text
    // on the clipboard.
    void hitButtonsOpenThePageAndCopyIt()
    {
        test::TempDir dir;
        auto app = importedDay(dir);
        Program p(app->root().string(), &m_clock);
        p.window().show();
        p.workbench().DateComboChange(0);
        find<QAbstractButton>(p.window(), "TekiAnaBtn")->click();
        const HitRun& run = p.workbench().lastHitRun();
        QVERIFY(run.written);
        QCOMPARE(MessageBoxSeam::opened(), std::vector<fs::path>{run.pageFile});
        QCOMPARE(QApplication::clipboard()->text(), qs(fromCp932(readFileBytes(run.pageFile))));
    }

    // Every window a hundred times: none stays behind, and Qt has nothing to say.
    void everyWindowOpensAndClosesAHundredTimes()
    {
        test::TempDir dir;
        auto app = importedDay(dir);
        Program p(app->root().string(), &m_clock);
        p.window().show();
        p.workbench().DateComboChange(0);
        p.workbench().M1Click();
        const int before = QApplication::allWidgets().size();
        auto cycle = [&](const char* what, auto open, auto find) {
            // Closing the acquisition window rebuilds the day list: load the day again.
            if (p.workbench().state().DateComboIndex < 0)
                p.workbench().DateComboChange(0);
            for (int i = 0; i < 100; ++i) {
                open();
                QWidget* w = find();
                QVERIFY2(w, MessageBoxSeam::shown().empty()
                                ? what
                                : MessageBoxSeam::shown().back().c_str());
                w->close();
                deleteClosed();
            }
            QVERIFY2(find() == nullptr, what);
            QCOMPARE(QApplication::allWidgets().size(), before);
        };
        cycle(
            "JVBtn", [&] { p.window().JVBtnClick(); },
            [&] { return opened<TGetDataFormWindow>(p); });
        cycle(
            "OzGetBtn", [&] { p.window().OzGetBtnClick(); },
            [&] { return opened<TOddsSchejFormWindow>(p); });
        cycle(
            "N8", [&] { p.window().N8Click(); }, [&] { return opened<TSuishoSetForm>(p); });
        cycle(
            "SpeedButton4", [&] { p.window().SpeedButton4Click(); },
            [&] { return opened<TSuishoListForm>(p); });
        cycle(
            "P1", [&] { p.window().P1Click(); }, [&] { return opened<TPrintPreviewForm>(p); });
        cycle(
            "JRAVAN1", [&] { p.window().JRAVAN1Click(); },
            [&] { return p.window().findChild<QDialog*>(QStringLiteral("TFirstTimeForm")); });
        cycle(
            "A1", [&] { p.window().A1Click(); },
            [&] { return p.window().findChild<QDialog*>(QStringLiteral("TOzGetTimeForm")); });
        cycle(
            "N9", [&] { p.window().N9Click(); },
            [&] { return p.window().findChild<QDialog*>(QStringLiteral("TTimeAddForm")); });
        cycle(
            "HelpAboutItem", [&] { p.window().HelpAboutItemClick(); },
            [&] { return p.window().findChild<QDialog*>(QStringLiteral("TVersionForm")); });
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
