#include "gui/main_form.h"

#include "core/app/card_acquisition.h"
#include "core/app/settings_keys.h"
#include "core/app/startup.h"
#include "core/app/study_settings.h"
#include "core/jvlink/bridge_jv_link.h"
#include "core/jvlink/jv_result_text.h"
#include "core/jvlink/jvlink_choice.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/present/cell_colours.h"
#include "core/store/record_views.h"
#include "core/text/format.h"
#include "export/sqlite_export.h"
#include "gui/analysis_panel.h"
#include "gui/chart_tab.h"
#include "gui/get_data_form.h"
#include "gui/grid_view.h"
#include "gui/gui_person.h"
#include "gui/odds_schej_form.h"
#include "gui/print_preview_form.h"
#include "gui/qt_text.h"
#include "gui/race_list_panel.h"
#include "gui/report_windows.h"
#include "gui/settings_dialogs.h"
#include "gui/study_forms.h"
#include "gui/suisho_list_form.h"
#include "gui/suisho_set_form.h"
#include "gui/task_progress.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace sorvantix::gui {

namespace fs = std::filesystem;

namespace {

constexpr const char* kEmptyFolderHint =
    "このアプリケーションフォルダにはレース日がまだありません。\n\n"
    "1. メニュー「ﾕｰｻﾞｰ指定」の「JV-Link設定」で、JV-Link（中継プログラム）か"
    "再生用フィードのフォルダを選びます。\n"
    "2. ツールバーの「JVデータ取得」でレースカードを取り込みます。\n"
    "3. 日付とレースを選び「ｵｯｽﾞ取得」を押すと、オッズの分析が表示されます。";

constexpr const char* kFirstStartGuideText =
    "レースカード・オッズ・結果は JV-Link から受け取ります。次のどちらかで始めてください。\n\n"
    "・JV-Link: JRA-VAN の利用契約とサービスキーが要ります。Windows 用の JV-Link を"
    "Wine（または WSL2 の Windows 側）に入れ、中継プログラムから使います。\n"
    "・再生用フィード: sorvantix-feed が書いたフォルダを JV-Link の代わりに再生します。"
    "契約なしで操作を試せます。\n\n"
    "どちらも、あとからメニュー「ﾕｰｻﾞｰ指定」の「JV-Link設定」で変えられます。";

std::string helpFile()
{
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/sorvantix/help.html");
    if (QFileInfo::exists(installed))
        return installed.toStdString();
    return SORVANTIX_SOURCE_HELP;
}

} // namespace

TMainForm::TMainForm(Workbench& workbench, Person& person, JvLink* jvLink, QWidget* parent)
    : QMainWindow(parent), m_wb(workbench), m_person(person), m_jvLink(jvLink)
{
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(qs(kMainWindowCaption));
    buildMenus();
    buildToolBar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(buildTitlePanel());
    auto* splitter = new QSplitter(Qt::Horizontal, central);
    m_raceList = new RaceListPanel(m_wb, m_updating, splitter);
    m_analysis = new AnalysisPanel(m_wb, m_person, splitter);
    splitter->addWidget(m_raceList);
    splitter->addWidget(m_analysis);
    // Room for the race list's post times, markers and names beside the item texts.
    splitter->setSizes({320, 960});
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    // An application folder without a stored day says what to do instead of a grey area.
    m_centre = new QStackedWidget(central);
    m_centre->addWidget(splitter);
    auto* emptyPage = new QWidget(m_centre);
    auto* emptyLayout = new QGridLayout(emptyPage);
    auto* empty = new QLabel(qs(kEmptyFolderHint), emptyPage);
    empty->setObjectName(QStringLiteral("EmptyHint"));
    empty->setWordWrap(true);
    empty->setMinimumWidth(560);
    empty->setMaximumWidth(640);
    empty->setTextInteractionFlags(Qt::TextSelectableByMouse);
    emptyLayout->addWidget(empty, 0, 0, Qt::AlignCenter);
    m_centre->addWidget(emptyPage);
    layout->addWidget(m_centre, 1);
    setCentralWidget(central);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusLine"));
    setStatusBar(status);

    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(kTimer2IntervalMs);
    connect(m_timer2, &QTimer::timeout, this, &TMainForm::Timer2Timer);
    // The parameter set the analysis runs with.
    m_paramSet = new QLabel(this);
    m_paramSet->setObjectName(QStringLiteral("ParamSetLabel"));
    status->addPermanentWidget(m_paramSet);
    // What the automatic acquisition fetches next, counted down each second.
    m_nextFetch = new QLabel(this);
    m_nextFetch->setObjectName(QStringLiteral("NextFetchLabel"));
    status->addPermanentWidget(m_nextFetch);
    m_nextFetchTimer = new QTimer(this);
    m_nextFetchTimer->setObjectName(QStringLiteral("NextFetchTimer"));
    m_nextFetchTimer->setInterval(1000);
    connect(m_nextFetchTimer, &QTimer::timeout, this, &TMainForm::showNextFetch);
    m_timer4 = new QTimer(this);
    m_timer4->setObjectName(QStringLiteral("Timer4"));
    connect(m_timer4, &QTimer::timeout, this, &TMainForm::Timer4Timer);

    restoreBounds();
    // Tab goes through the day, the race list, the time point and the tabs first.
    QWidget* previous = nullptr;
    for (const char* name : {"DateCombo", "DatList", "TimeCombo", "TimeChoice", "PageControl1"}) {
        QWidget* next = findChild<QWidget*>(QString::fromLatin1(name));
        if (previous && next)
            setTabOrder(previous, next);
        previous = next;
    }
    m_listener = m_wb.addListener([this](Parts parts) { refresh(parts); });
    refresh(Parts(Part::DayList) | Part::RaceList | Part::Title | Part::TimeList | Part::Grids |
            Part::Labels | Part::Chart | Part::Status | Part::Enabled);
    m_wb.FormCreate();
    showParamSet();
    // Where the last session left off: the day, the race and the tab.
    if (!m_wb.state().DateCombo.empty()) {
        m_wb.restoreSelection();
        try {
            m_analysis->setCurrentTab(readSetting(m_wb.ini(), settings::kLastTab));
        } catch (const std::exception&) {
            // An unreadable settings file keeps the first tab; FormCreate has said why.
        }
    }
}

TMainForm::~TMainForm()
{
    m_wb.removeListener(m_listener);
}

void TMainForm::buildMenus()
{
    auto action = [this](QMenu* menu, const char* name, std::string_view caption,
                         std::string_view hint, auto slot) {
        QAction* a = menu->addAction(qs(caption));
        a->setObjectName(QString::fromLatin1(name));
        if (!hint.empty()) {
            a->setStatusTip(qs(hint));
            a->setToolTip(qs(hint));
        }
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* file = menuBar()->addMenu(qs("ﾌｧｲﾙ(&F)"));
    action(file, "M1", "指定時刻分析で推奨馬表一括作成(&G)",
           "全レースを既定の時刻で分析し推奨馬表を作成します", &TMainForm::M1Click);
    file->addSeparator();
    action(file, "P1", "レース印刷(&P)", "分析表などを印刷します", &TMainForm::P1Click);
    action(file, "S1", "プリンタの設定(&S)", "プリンタの設定画面を呼び出します",
           &TMainForm::S1Click);
    file->addSeparator();
    action(file, "FileExitItem", "終了(&X)", "", &QWidget::close);
    QMenu* user = menuBar()->addMenu(qs("ﾕｰｻﾞｰ指定(&U)"));
    action(user, "N8", "推奨馬設定(&R)", "推奨馬設定画面を呼び出します", &TMainForm::N8Click);
    user->addSeparator();
    action(user, "JRAVAN1", "ﾃﾞﾌｫﾙﾄ時刻指定(&T)", "オッズデータのデフォルト時刻を指定します",
           &TMainForm::JRAVAN1Click);
    user->addSeparator();
    action(user, "A1", "ﾃﾞｰﾀ自動取得時刻指定(&A)", "", &TMainForm::A1Click);
    user->addSeparator();
    action(user, "N9", "オッズ取得時刻調整", "", &TMainForm::N9Click);
    user->addSeparator();
    action(user, "JVSetUIPropertiesItem", "JV-Link設定(&J)...",
           "JV-Link（再生フィード）のフォルダを選びます", &TMainForm::JVSetUIPropertiesClick);
    QMenu* study = menuBar()->addMenu(qs("検証(&V)"));
    action(study, "BacktestItem", "検証(&B)...",
           "保存した日の全レースで推奨と参考買い目を検証します", &TMainForm::BacktestItemClick);
    action(study, "BoardItem", "開催一覧(&L)", "その日の全レースを一覧にします",
           &TMainForm::BoardItemClick);
    study->addSeparator();
    action(study, "ExportItem", "SQLiteへ書き出し(&E)...",
           "保存したデータと分析をSQLiteデータベースに書き出します", &TMainForm::ExportItemClick);
    study->addSeparator();
    action(study, "AlertItem", "アラート設定(&W)...", "ｵｯｽﾞ自動取得の知らせを設定します",
           &TMainForm::AlertItemClick);
    QMenu* help = menuBar()->addMenu(qs("ﾍﾙﾌﾟ(&H)"));
    action(help, "HelpContentsItem", "目次(&C)", "", &TMainForm::HelpContentsItemClick);
    help->addSeparator();
    action(help, "HelpAboutItem", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", "", &TMainForm::HelpAboutItemClick);
}

void TMainForm::buildToolBar()
{
    QToolBar* bar = addToolBar(qs("SpeedBar"));
    bar->setObjectName(QStringLiteral("SpeedBar"));
    bar->setMovable(false);
    auto button = [this, bar](const char* name, std::string_view caption, std::string_view hint,
                              auto slot) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(qs(caption));
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        if (!hint.empty()) {
            b->setToolTip(qs(hint));
            b->setStatusTip(qs(hint));
        }
        connect(b, &QToolButton::clicked, this, slot);
        bar->addWidget(b);
        return b;
    };
    button("SpeedButton2", "終了", "終了します", &QWidget::close);
    button("SpeedButton8", "F", "左のパネルを表示・非表示します", &TMainForm::SpeedButton8Click);
    bar->addSeparator();
    button("JVBtn", "JVデータ取得", "JV-Linkからレースデータを取得します", &TMainForm::JVBtnClick);
    m_ozGetBtn = button("OzGetBtn", "ｵｯｽﾞ手動取得", "オッズ取得スケジュール画面を開きます",
                        &TMainForm::OzGetBtnClick);
    button("SokuhoOddsBtn", "ｵｯｽﾞ取得", "選択中のレースのオッズを取得します",
           &TMainForm::SokuhoOddsBtnClick);
    button("KekkaGetBtn", "結果情報", "レース結果の簡易表示窓を出します。",
           &TMainForm::KekkaGetBtnClick);
    button("SpeedButton4", "推奨馬表", "推奨馬表を表示します", &TMainForm::SpeedButton4Click);
    bar->addSeparator();
    m_autoOzCheck = new QCheckBox(qs("ｵｯｽﾞ自動取得"), bar);
    m_autoOzCheck->setObjectName(QStringLiteral("AutoOzCheck"));
    m_autoOzCheck->setStatusTip(qs("発走前に各レースのオッズを自動で取得します"));
    connect(m_autoOzCheck, &QCheckBox::clicked, this, &TMainForm::AutoOzCheckClick);
    bar->addWidget(m_autoOzCheck);
    m_liveCheck = new QCheckBox(qs("ライブ"), bar);
    m_liveCheck->setObjectName(QStringLiteral("LiveCheck"));
    m_liveCheck->setChecked(m_wb.liveChosen());
    m_liveCheck->setStatusTip(
        qs("自動取得で、各レースを最初の発表から発走まで追いかけます（発走30分前からは毎分、"
           "発走時刻にもう一度。結果は発走後に取得）"));
    connect(m_liveCheck, &QCheckBox::clicked, this, &TMainForm::LiveCheckClick);
    bar->addWidget(m_liveCheck);
    bar->addSeparator();
    button("SpeedButton6", "ﾍﾙﾌﾟ", "ヘルプを表示します", &TMainForm::HelpContentsItemClick);
    button("SpeedButton7", "ﾊﾞｰｼﾞｮﾝ情報", "バージョン情報を表示します",
           &TMainForm::HelpAboutItemClick);
}

void TMainForm::addHiddenButton(QWidget* parent, const char* name, std::string_view caption,
                                std::function<void()> operation)
{
    auto* b = new QPushButton(qs(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setVisible(false);
    connect(b, &QPushButton::clicked, this, [operation = std::move(operation)] {
        if (operation)
            operation();
    });
}

QWidget* TMainForm::buildTitlePanel()
{
    m_panel2 = new QFrame(this);
    m_panel2->setObjectName(QStringLiteral("Panel2"));
    m_panel2->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(m_panel2);
    layout->setContentsMargins(6, 3, 6, 3);
    m_bashoLabel = new QLabel(m_panel2);
    m_bashoLabel->setObjectName(QStringLiteral("BashoLabel"));
    m_bashoLabel->setFont(gothicFont(26, true));
    m_raceLabel = new QLabel(m_panel2);
    m_raceLabel->setObjectName(QStringLiteral("RaceLabel"));
    m_raceLabel->setFont(gothicFont(26, true));
    m_raceLabel->setMinimumWidth(44);
    m_raceLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_bashoLabel);
    layout->addWidget(m_raceLabel);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(0);
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(m_panel2);
        label->setObjectName(QStringLiteral("TitleLabel%1").arg(i + 1));
        label->setFont(gothicFont(i < 2 ? 14 : 13, i == 1));
        lines->addWidget(label);
        m_titleLabels[static_cast<size_t>(i)] = label;
    }
    layout->addLayout(lines, 1);
    for (auto [name, caption, button] :
         {std::tuple{"TekiAnaBtn", "的中", TekiButton::TekiAnaBtn},
          std::tuple{"TekiAnaBtn2", "穴的中", TekiButton::TekiAnaBtn2}}) {
        auto* b = new QPushButton(qs(caption), m_panel2);
        b->setObjectName(QString::fromLatin1(name));
        b->setStatusTip(qs("当日の的中をHTMLにして書き出します"));
        connect(b, &QPushButton::clicked, this,
                [this, button = button] { TekiAnaBtnClick(static_cast<int>(button)); });
        layout->addWidget(b);
    }
    // The commands other code presses; never visible.
    addHiddenButton(m_panel2, "MakeDataListBtn", "リスト作成",
                    [this] { m_wb.MakeDataListBtnClick(); });
    addHiddenButton(m_panel2, "ReadOddsBtn", "オッズ読込", [this] { m_wb.ReadOddsBtnClick(); });
    addHiddenButton(m_panel2, "HrReadBtn", "払戻取込", [this] { m_wb.HrReadBtnClick(); });
    addHiddenButton(m_panel2, "CalcBtn", "計算", [this] { m_wb.CalcBtnClick(); });
    addHiddenButton(m_panel2, "HyojiBtn", "表示", [this] { m_wb.HyojiBtnClick(); });
    addHiddenButton(m_panel2, "ClearBtn", "クリア", [this] { m_wb.ClearBtnClick(); });
    addHiddenButton(m_panel2, "seiBtn", "成績読み込み", [this] { m_wb.seiBtnClick(); });
    auto rebuildChart = [this] {
        m_wb.RadioGroup1Click(m_wb.state().chart.view().RadioGroup1Index);
    };
    addHiddenButton(m_panel2, "Cgraph", "Cgraph", rebuildChart);
    addHiddenButton(m_panel2, "CgraphIniBtn", "CgraphIni", rebuildChart);
    addHiddenButton(m_panel2, "IniBtn", "初期化", {});
    return m_panel2;
}

void TMainForm::restoreBounds()
{
    Bounds b = readBounds(m_wb.ini(), settings::kMainWindowBounds);
    // The grids and tabs need about 1024 x 700; a smaller saved or default size only
    // stays where the screen itself is smaller.
    b.width = std::max(1024, b.width);
    b.height = std::max(700, b.height);
    // The screen the window was on, else the primary one; the window is made to fit it,
    // so a title bar never opens above the screen and a size larger than it shrinks.
    QScreen* screen = QGuiApplication::screenAt(QPoint(b.left + b.width / 2, b.top + b.height / 2));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        // The window manager puts the title bar above the window's top.
        constexpr int kTitleBar = 30;
        const QRect avail = screen->availableGeometry();
        b = fitOnScreen(
            b, {avail.top() + kTitleBar, avail.left(), avail.width(), avail.height() - kTitleBar});
    }
    setGeometry(b.left, b.top, b.width, b.height);
}

void TMainForm::FormShow()
{
    if (!m_jvLinkLabel) {
        m_jvLinkLabel = new QLabel(this);
        m_jvLinkLabel->setObjectName(QStringLiteral("JvLinkLabel"));
        statusBar()->addPermanentWidget(m_jvLinkLabel);
    }
    if (m_jvLink) {
        if (auto message = initJvLink(*m_jvLink)) {
            m_person.beep();
            m_person.information(*message);
        }
    }
    // After JVInit: a bridge that started says its JV-Link's version.
    m_jvLinkLabel->setText(qs(jvLinkText()));
}

std::string TMainForm::jvLinkText() const
{
    if (!m_jvLink)
        return "なし";
    const JvLinkChoice choice = readJvLinkChoice(m_wb.appDir().root());
    if (auto* replay = dynamic_cast<ReplayJvLink*>(m_jvLink))
        return jvLinkChoiceText(JvLinkChoice{JvLinkKind::Replay, choice.bridge},
                                replay->feedFolder());
    if (auto* bridge = dynamic_cast<BridgeJvLink*>(m_jvLink)) {
        JvLinkChoice running{JvLinkKind::Bridge, bridge->settings()};
        // The version is known once the bridge has started. The request thread owns the
        // bridge while a request runs, so it is asked only when none does, and never
        // started for it.
        const bool idle = m_wb.pendingRequests() == 0;
        return jvLinkChoiceText(running, {}) +
               (idle && bridge->running() ? " " + bridge->version() : std::string());
    }
    return "JV-Link";
}

void TMainForm::showParamSet()
{
    try {
        m_paramSet->setText(
            qs("推奨馬設定: " + activeParamSet(m_wb.ini(), m_wb.appDir().userSetFile()).name));
    } catch (const std::exception&) {
        // The analysis run says what is wrong with the parameter file.
        m_paramSet->clear();
    }
}

void TMainForm::showNextFetch()
{
    // The live following looks each second for a refresh that has fallen due.
    if (m_wb.liveRunning())
        m_wb.liveTick();
    m_nextFetch->setText(qs(m_wb.nextFetchText()));
}

void TMainForm::LiveCheckClick(bool checked)
{
    m_wb.LiveCheckClick(checked);
    m_liveCheck->setChecked(m_wb.liveChosen());
    showNextFetch();
}

GridView* TMainForm::grid(int number) const
{
    return m_analysis->grid(number);
}

ChartTab* TMainForm::chartTab() const
{
    return m_analysis->chartTab();
}

FlowTab* TMainForm::flowTab() const
{
    return m_analysis->flowTab();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    const QRect g = geometry();
    try {
        writeBounds(m_wb.ini(), settings::kMainWindowBounds,
                    {g.top(), g.left(), g.width(), g.height()});
        writeSetting(m_wb.ini(), settings::kLastTab, m_analysis->currentTab());
    } catch (const std::exception&) {
        // The close is always allowed; the position is only not kept.
    }
    // The day and race come back at the next start.
    m_wb.rememberSelection();
    event->accept();
}

void TMainForm::refresh(Parts parts)
{
    // The flag is cleared whatever a refresh throws, or the views would stay deaf.
    struct Updating
    {
        bool& flag;
        explicit Updating(bool& f) : flag(f) { flag = true; }
        ~Updating() { flag = false; }
    } updating(m_updating);
    if (parts.has(Part::DayList)) {
        m_raceList->refreshDays();
        m_centre->setCurrentIndex(m_wb.state().DateCombo.empty() ? 1 : 0);
    }
    // An ended fetch may have stored odds or results: the race list's markers.
    if (parts.has(Part::RaceList) || parts.has(Part::Odds))
        m_raceList->refreshRaces();
    if (parts.has(Part::Title))
        refreshTitle();
    if (parts.has(Part::TimeList))
        m_raceList->refreshTimes();
    if (parts.has(Part::Grids))
        m_analysis->refreshGrids();
    if (parts.has(Part::Labels) || parts.has(Part::Grids)) {
        m_analysis->refreshLabels();
        showParamSet();
    }
    if (parts.has(Part::Chart))
        m_analysis->chartTab()->refresh();
    else if (parts.has(Part::TimeList))
        m_analysis->chartTab()->addTimeMarkers();
    if (parts.has(Part::Status))
        m_raceList->refreshStatus();
    if (parts.has(Part::Enabled) || parts.has(Part::Title))
        refreshEnabled();
    if (parts.has(Part::TimeList) || parts.has(Part::RaceList) || parts.has(Part::Odds))
        m_analysis->flowTab()->reload();
    if (parts.has(Part::Alerts) && !m_wb.lastAlerts().empty()) {
        const AlertAnnouncement a = alertAnnouncement(m_wb.lastAlerts());
        statusBar()->showMessage(qs(a.statusLine));
        m_lastNotification = notifyDesktop(this, qs("Sorvantix アラート"), qs(a.body));
    }
}

void TMainForm::BacktestItemClick()
{
    auto* form = new BacktestWindow(m_wb, m_person, this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->open();
}

void TMainForm::BoardItemClick()
{
    // Modeless: it stays open beside the main window and follows the fetches.
    auto* board = findChild<BoardWindow*>();
    if (!board) {
        board = new BoardWindow(m_wb, this);
        board->setAttribute(Qt::WA_DeleteOnClose);
    }
    board->show();
    board->raise();
}

void TMainForm::ExportItemClick()
{
    const std::filesystem::path file =
        chooseSaveFile(this, qs("SQLiteへ書き出し"), qs("sorvantix.db"),
                       qs("SQLite データベース (*.db *.sqlite)"));
    if (file.empty())
        return;
    guarded(m_person, [&] {
        const ParamSet set = activeParamSet(m_wb.ini(), m_wb.appDir().userSetFile());
        ExportOptions options;
        options.paramSetName = set.name;
        options.params = set.params;
        // On the queue: the window repaints, the bar moves and 中止 stops it (the
        // database is left as it was).
        auto counts = std::make_shared<ExportCounts>();
        AcquisitionRequests::TaskWork work = [counts, root = m_wb.appDir().root(), file,
                                              options](Progress& progress,
                                                       const std::atomic<bool>& cancel) {
            *counts = exportToSqlite(
                root, file, options,
                [&progress](int done, int total) { progress.progress(done, total); }, &cancel);
        };
        runLongTask(this, m_wb, m_person, "SQLiteへ書き出し", qs("書き出しています…"),
                    std::move(work), [this, counts, file](RequestOutcome::End end) {
                        if (end == RequestOutcome::End::Completed)
                            m_person.information(exportSummary(file, *counts));
                    });
    });
}

void TMainForm::AlertItemClick()
{
    auto* form = new AlertSettingsDialog(m_wb.ini(), m_person, this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->open();
}

void TMainForm::refreshTitle()
{
    const WorkbenchState& s = m_wb.state();
    const RaceTitle& t = s.title;
    const std::array<const std::string*, 4> lines{&t.TitleLabel1, &t.TitleLabel2, &t.TitleLabel3,
                                                  &t.TitleLabel4};
    for (size_t i = 0; i < 4; ++i)
        m_titleLabels[i]->setText(qs(*lines[i]));
    m_bashoLabel->setText(qs(t.BashoLabel));
    m_raceLabel->setText(t.RaceLabel.empty() ? QString() : qs(t.RaceLabel) + QStringLiteral("R"));
    QPalette palette = m_panel2->palette();
    const QColor back =
        t.BashoLabel.empty() ? palette.color(QPalette::Window) : rgb(t.Panel2Colour);
    palette.setColor(QPalette::Window, back);
    palette.setColor(QPalette::WindowText, t.BashoLabel.empty() ? Qt::black : Qt::white);
    m_panel2->setPalette(palette);
    for (QLabel* l : m_panel2->findChildren<QLabel*>())
        l->setPalette(palette);
    m_analysis->refreshHeading();
}

void TMainForm::refreshEnabled()
{
    m_analysis->refreshShown();
    const AutoOddsControls& c = m_wb.autoControls();
    m_autoOzCheck->setChecked(c.AutoOzCheck);
    m_ozGetBtn->setEnabled(c.OzGetBtnEnabled);
    if (c.Timer2Enabled != m_timer2->isActive()) {
        if (c.Timer2Enabled) {
            m_timer2->start();
            m_nextFetchTimer->start();
        } else {
            m_timer2->stop();
            m_nextFetchTimer->stop();
        }
    }
    showNextFetch();
    const int interval = std::max(1, c.AutoResultIntervalMinutes) * 60 * 1000;
    if (!c.AutoResultTimerEnabled)
        m_timer4->stop();
    else if (!m_timer4->isActive() || m_timer4->interval() != interval)
        m_timer4->start(interval);
}

void TMainForm::SokuhoOddsBtnClick()
{
    m_wb.SokuhoOddsBtnClick();
}

void TMainForm::KekkaGetBtnClick()
{
    // The results arrive quietly: say what was merged.
    RequestEvents events;
    events.done = [this](const RequestOutcome& outcome) {
        if (outcome.end != RequestOutcome::End::Completed || !m_wb.lastResultsFetch().ran)
            return;
        const auto rows = m_wb.payoutRows();
        const auto merged =
            std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.merged; });
        m_person.information(
            format("結果情報を取り込みました: %zuレース中 %tdレースに払戻があります。", rows.size(),
                   merged));
    };
    m_wb.KekkaGetBtnClick(std::move(events));
}

void TMainForm::TekiAnaBtnClick(int button)
{
    const TekiButton sender = static_cast<TekiButton>(button);
    const Outcome outcome = m_wb.TekiAnaBtnClick(sender);
    const HitRun& run = m_wb.lastHitRun();
    if (run.written) {
        auto* window = new HitWindow(run, sender, m_person, this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    } else if (outcome.kind == Outcome::Kind::NothingToDo && !outcome.message.empty()) {
        // The page needs two hits: say why nothing was written.
        const bool tooFew = outcome.message.rfind("的中が", 0) == 0;
        m_person.information(outcome.message +
                             (tooFew ? "（的中が2件以上のときに書き出します）" : ""));
    }
}

void TMainForm::AutoOzCheckClick(bool checked)
{
    m_wb.AutoOzCheckClick(checked);
    refreshEnabled();
}

void TMainForm::Timer2Timer()
{
    m_wb.Timer2Timer();
}

void TMainForm::Timer4Timer()
{
    m_wb.Timer4Timer();
}

void TMainForm::SpeedButton8Click()
{
    m_raceList->setVisible(!m_raceList->isVisible());
}

void TMainForm::M1Click()
{
    if (!m_wb.M1Click().failed())
        m_person.information(m_wb.batchSummary());
}

void TMainForm::JRAVAN1Click()
{
    (new TFirstTimeForm(m_wb.ini(), m_person, this))->open();
}

void TMainForm::A1Click()
{
    auto* dialog = new TOzGetTimeForm(
        m_wb.ini(), m_person, [this] { m_wb.DateComboChange(m_wb.state().DateComboIndex); }, this);
    dialog->open();
}

void TMainForm::N9Click()
{
    (new TTimeAddForm(m_wb.ini(), m_person, this))->open();
}

void TMainForm::HelpContentsItemClick()
{
    // Without a browser on the desktop, the help opens in a window of our own.
    if (openWithDesktop(QUrl::fromLocalFile(QString::fromStdString(helpFile()))))
        return;
    auto* window = findChild<HelpWindow*>();
    if (!window) {
        window = new HelpWindow(helpFile(), this);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
}

void TMainForm::HelpAboutItemClick()
{
    (new TVersionForm(jvLinkText(), this))->open();
}

void TMainForm::JVSetUIPropertiesClick()
{
    openJvLinkSettings(std::nullopt);
}

void TMainForm::showFirstStartGuide()
{
    auto* guide = new QDialog(this);
    guide->setObjectName(QStringLiteral("FirstStartGuide"));
    guide->setAttribute(Qt::WA_DeleteOnClose);
    guide->setWindowTitle(qs("はじめに"));
    auto* layout = new QVBoxLayout(guide);
    auto* text = new QLabel(qs(kFirstStartGuideText), guide);
    text->setWordWrap(true);
    text->setMinimumWidth(420);
    layout->addWidget(text);
    auto way = [&](const char* name, const char* caption, JvLinkKind page) {
        auto* b = new QPushButton(qs(caption), guide);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, [this, guide, page] {
            guide->close();
            openJvLinkSettings(page);
        });
        layout->addWidget(b);
    };
    way("BridgeWayButton", "JV-Link を使う（Wine または WSL2 で中継プログラムを起動）...",
        JvLinkKind::Bridge);
    way("ReplayWayButton", "再生用フィードのフォルダを使う（JV-Link なしで試す）...",
        JvLinkKind::Replay);
    auto* later = new QDialogButtonBox(QDialogButtonBox::Close, guide);
    connect(later, &QDialogButtonBox::rejected, guide, &QDialog::close);
    layout->addWidget(later);
    guide->open();
}

void TMainForm::openJvLinkSettings(std::optional<JvLinkKind> page)
{
    if (!m_jvLink) {
        m_wb.appendError("JV-Linkがありません");
        return;
    }
    // The queue's worker owns the JV-Link while a request runs: refuse before asking.
    auto busy = [this] {
        if (m_wb.pendingRequests() == 0)
            return false;
        m_person.beep();
        m_person.information("通信中のためJV-Linkの設定を変更できません");
        return true;
    };
    if (busy())
        return;
    auto* replay = dynamic_cast<ReplayJvLink*>(m_jvLink);
    const JvLinkChoice before = readJvLinkChoice(m_wb.appDir().root());
    const fs::path feed =
        replay ? replay->feedFolder() : ReplayJvLink(m_wb.appDir().root()).feedFolder();
    // JV-Link's own dialog: a person answers it (service key, terms, save folder).
    auto componentSettings = [this, busy] {
        if (!busy())
            setJvLinkProperties(*m_jvLink, m_person);
    };
    JvLinkSettingsDialog form(before, feed,
                              dynamic_cast<BridgeJvLink*>(m_jvLink)
                                  ? std::function<void()>(componentSettings)
                                  : std::function<void()>(),
                              this);
    if (page)
        form.showPage(*page);
    if (form.exec() != QDialog::Accepted || busy())
        return;
    const JvLinkChoice chosen = form.choice();
    guarded(m_person, [&] {
        if (chosen.kind == JvLinkKind::Replay && replay) {
            replay->setFeedFolder(form.feedFolder());
            if (setJvLinkProperties(*replay, m_person) != 0) {
                m_person.information(replay->settingsError());
                return;
            }
        } else if (chosen.kind == JvLinkKind::Replay) {
            ReplayJvLink other(m_wb.appDir().root());
            other.setFeedFolder(form.feedFolder());
            if (setJvLinkProperties(other, m_person) != 0) {
                m_person.information(other.settingsError());
                return;
            }
        }
        writeJvLinkChoice(m_wb.appDir().root(), chosen);
        const bool sameKind = (chosen.kind == JvLinkKind::Replay) == (replay != nullptr);
        const std::string text = jvLinkChoiceText(chosen, form.feedFolder());
        if (sameKind && chosen.kind == JvLinkKind::Replay) {
            statusBar()->showMessage(qs("JV-Link: " + text));
            if (m_jvLinkLabel)
                m_jvLinkLabel->setText(qs(jvLinkText()));
            // The choice is confirmed, as a change of kind is.
            m_person.information("JV-Linkの選択を保存しました: " + text);
        } else {
            m_person.information("JV-Linkの選択を保存しました: " + text +
                                 "\n次回の起動から使われます。");
        }
    });
}

void TMainForm::JVBtnClick()
{
    if (!m_jvLink) {
        m_wb.appendError("JV-Linkがありません");
        return;
    }
    auto* window = new TGetDataFormWindow(
        m_wb, *m_jvLink, m_person, [this] { JVSetUIPropertiesClick(); }, this);
    window->show();
}

void TMainForm::OzGetBtnClick()
{
    std::optional<TOddsSchejForm> form = m_wb.OzGetBtnClick();
    if (!form)
        return;
    auto* window = new TOddsSchejFormWindow(m_wb, m_person, std::move(*form), this);
    window->show();
}

void TMainForm::SpeedButton4Click()
{
    auto* window = new TSuishoListForm(m_wb.appDir().suishoDir(), this);
    if (!window->load()) {
        delete window;
        m_person.information(kNoSuishoDataMessage);
        return;
    }
    window->show();
}

void TMainForm::N8Click()
{
    TSuishoSetForm* window = nullptr;
    guarded(m_person, [&] {
        window = new TSuishoSetForm(m_person, m_wb.ini(), m_wb.appDir().userSetFile(),
                                    m_wb.selectedRunners(), this);
    });
    if (window)
        window->show();
}

void TMainForm::P1Click()
{
    PrintPage page;
    if (!m_wb.P1Click(page).isDone())
        return;
    auto* preview = new TPrintPreviewForm(std::move(page), m_wb.ini(), m_person, this);
    preview->setPdfName(m_wb.racePdfName());
    preview->setWindowModality(Qt::ApplicationModal);
    preview->show();
}

void TMainForm::S1Click()
{
    showPrinterSetup(m_person, this);
}

} // namespace sorvantix::gui
