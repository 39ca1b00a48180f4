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
#include "gui/chart_tab.h"
#include "gui/get_data_form.h"
#include "gui/grid_view.h"
#include "gui/gui_person.h"
#include "gui/odds_schej_form.h"
#include "gui/print_preview_form.h"
#include "gui/qt_text.h"
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

namespace sorvantix::gui {

namespace fs = std::filesystem;

namespace {

struct SortButtonSpec
{
    const char* name;
    SortButton button;
};
constexpr std::array<SortButtonSpec, 7> kSortButtons{{{"SpeedButton1", SortButton::HorseNumber},
                                                      {"SpeedButton3", SortButton::WinOdds},
                                                      {"SpeedButton13", SortButton::OverallShare},
                                                      {"SpeedButton14", SortButton::Top3Pa},
                                                      {"SpeedButton16", SortButton::AllPa},
                                                      {"SpeedButton17", SortButton::PaOverOneRate},
                                                      {"SpeedButton5", SortButton::FinishPos}}};

constexpr std::array<const char*, 9> kTabCaptions{"分析表",     "参考買い目", "オッズ",
                                                  "個別シェア", "PA比",       "PA比ソート",
                                                  "結果",       "PA比ｸﾞﾗﾌ",   "投票推移"};

QString colourSheet(std::uint32_t background, std::uint32_t text = 0x000000)
{
    return QStringLiteral("background-color: %1; color: %2; border: 1px solid #808080;")
        .arg(rgb(background).name(), rgb(text).name());
}

QLabel* boxLabel(const QString& name, QWidget* parent, int minWidth = 60)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(minWidth);
    label->setFont(gothicFont(14, true));
    return label;
}

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
    splitter->addWidget(buildLeftPanel());
    splitter->addWidget(buildAnalysisPanel());
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusLine"));
    setStatusBar(status);

    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(kTimer2IntervalMs);
    connect(m_timer2, &QTimer::timeout, this, &TMainForm::Timer2Timer);
    m_timer4 = new QTimer(this);
    m_timer4->setObjectName(QStringLiteral("Timer4"));
    connect(m_timer4, &QTimer::timeout, this, &TMainForm::Timer4Timer);

    restoreBounds();
    m_listener = m_wb.addListener([this](Parts parts) { refresh(parts); });
    refresh(Parts(Part::DayList) | Part::RaceList | Part::Title | Part::TimeList | Part::Grids |
            Part::Labels | Part::Chart | Part::Status | Part::Enabled);
    m_wb.FormCreate();
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
                [this, button = button] { m_wb.TekiAnaBtnClick(button); });
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

QWidget* TMainForm::buildLeftPanel()
{
    m_panel13 = new QWidget(this);
    m_panel13->setObjectName(QStringLiteral("Panel13"));
    auto* layout = new QVBoxLayout(m_panel13);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* dayRow = new QHBoxLayout;
    m_dateCombo = new QComboBox(m_panel13);
    m_dateCombo->setObjectName(QStringLiteral("DateCombo"));
    m_dateCombo->setMaxVisibleItems(36);
    m_dateCombo->setStatusTip(qs("レース日を選びます"));
    connect(m_dateCombo, &QComboBox::activated, this, &TMainForm::DateComboChange);
    dayRow->addWidget(m_dateCombo, 1);
    auto* upDown = new QWidget(m_panel13);
    upDown->setObjectName(QStringLiteral("UpDown1"));
    auto* upDownLayout = new QHBoxLayout(upDown);
    upDownLayout->setContentsMargins(0, 0, 0, 0);
    upDownLayout->setSpacing(0);
    for (auto [name, arrow, step] : {std::tuple{"UpDown1Prev", Qt::LeftArrow, -1},
                                     std::tuple{"UpDown1Next", Qt::RightArrow, 1}}) {
        auto* b = new QToolButton(upDown);
        b->setObjectName(QString::fromLatin1(name));
        b->setArrowType(arrow);
        b->setStatusTip(qs("前後のレースを選びます"));
        connect(b, &QToolButton::clicked, this, [this, step = step] { UpDown1Click(step); });
        upDownLayout->addWidget(b);
    }
    dayRow->addWidget(upDown);
    layout->addLayout(dayRow);
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(new QLabel(qs("時刻:"), m_panel13));
    m_timeCombo = new QComboBox(m_panel13);
    m_timeCombo->setObjectName(QStringLiteral("TimeCombo"));
    m_timeCombo->setStatusTip(qs("オッズの時刻を選びます"));
    connect(m_timeCombo, &QComboBox::activated, this, &TMainForm::TimeComboChange);
    timeRow->addWidget(m_timeCombo, 1);
    layout->addLayout(timeRow);
    m_datList = new QListWidget(m_panel13);
    m_datList->setObjectName(QStringLiteral("DatList"));
    m_datList->setFont(gothicFont(13));
    m_datList->setStatusTip(qs("レースを選びます"));
    connect(m_datList, &QListWidget::currentRowChanged, this, [this](int row) {
        m_rowChangedByClick = !m_updating;
        DatListClick(row);
    });
    // A click on the race already selected selects it again, as the list's click does.
    connect(m_datList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!m_rowChangedByClick)
            DatListClick(m_datList->row(item));
        m_rowChangedByClick = false;
    });
    layout->addWidget(m_datList, 1);
    m_dlLabel = new QLabel(m_panel13);
    m_dlLabel->setObjectName(QStringLiteral("DLlabel"));
    m_dlLabel->setWordWrap(true);
    m_dlLabel->setMinimumHeight(48);
    m_dlLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_dlLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_dlLabel);
    m_panel13->setMinimumWidth(190);
    m_panel13->setMaximumWidth(260);
    return m_panel13;
}

QWidget* TMainForm::buildAnalysisPanel()
{
    m_panel1 = new QStackedWidget(this);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    m_notice = new QLabel(m_panel1);
    m_notice->setObjectName(QStringLiteral("Panel1Caption"));
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setFont(gothicFont(16, true));
    m_panel1->addWidget(m_notice);

    m_panel3 = new QWidget(m_panel1);
    m_panel3->setObjectName(QStringLiteral("Panel3"));
    auto* layout = new QVBoxLayout(m_panel3);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* heading = new QHBoxLayout;
    m_staticText1 = new QLabel(m_panel3);
    m_staticText1->setObjectName(QStringLiteral("StaticText1"));
    m_staticText1->setFont(gothicFont(14, true));
    heading->addWidget(m_staticText1);
    heading->addWidget(new QLabel(qs("時刻:"), m_panel3));
    m_borderLabel4 = new QLabel(m_panel3);
    m_borderLabel4->setObjectName(QStringLiteral("BorderLabel4"));
    m_borderLabel4->setFont(gothicFont(14, true));
    m_borderLabel4->setFrameShape(QFrame::Box);
    heading->addWidget(m_borderLabel4);
    heading->addStretch();
    for (auto [caption, colour] :
         {std::pair{"1着:", colours::Red}, std::pair{"2着:", colours::Orange},
          std::pair{"3着:", colours::Lime}}) {
        heading->addWidget(new QLabel(qs(caption), m_panel3));
        auto* box = new QLabel(m_panel3);
        box->setFixedSize(22, 14);
        box->setStyleSheet(colourSheet(colour));
        heading->addWidget(box);
    }
    auto* clip = new QPushButton(qs("ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ"), m_panel3);
    clip->setObjectName(QStringLiteral("ClipBtn1"));
    clip->setStatusTip(qs("指数表の内容をｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰします"));
    clip->setToolTip(clip->statusTip());
    connect(clip, &QPushButton::clicked, this, &TMainForm::ClipBtn1Click);
    heading->addWidget(clip);
    layout->addLayout(heading);

    const WorkbenchState& s = m_wb.state();
    const AnalysisDisplay& d = s.display;
    const std::array<const TextGrid*, 8> grids{&d.StringGrid1, &d.StringGrid2, &d.StringGrid3,
                                               &d.StringGrid4, &d.StringGrid5, &d.StringGrid6,
                                               &d.StringGrid7, &d.StringGrid8};
    for (int n = 1; n <= 8; ++n) {
        const TextGrid& g = *grids[static_cast<size_t>(n - 1)];
        auto* model = new TextGridModel(
            g,
            [this, n, &g](int column, int row) {
                const WorkbenchState& st = m_wb.state();
                return gridCellStyle(n, g, column, row, st.analysis, st.results, st.pressedSort);
            },
            this);
        const QFont font = n == 1 ? gothicFont(13) : n <= 5 ? gothicFont(12) : gothicFont(13, true);
        std::vector<int> widths = n == 1   ? std::vector<int>{20, 20, 20, 20, 55}
                                  : n <= 5 ? std::vector<int>{20, 45}
                                           : std::vector<int>{25, 60, 60};
        auto* view = new GridView(model, font, std::move(widths), 15, m_panel3);
        view->setObjectName(QStringLiteral("StringGrid%1").arg(n));
        m_grids.push_back(view);
    }

    m_pages = new QTabWidget(m_panel3);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(buildAnalysisTab(), qs(kTabCaptions[0]));
    m_pages->addTab(buildBetsTab(), qs(kTabCaptions[1]));
    for (int n = 2; n <= 5; ++n)
        m_pages->addTab(m_grids[static_cast<size_t>(n - 1)],
                        qs(kTabCaptions[static_cast<size_t>(n)]));
    m_pages->addTab(buildResultsTab(), qs(kTabCaptions[6]));
    m_chartTab = new ChartTab(m_wb, m_panel3);
    m_chartTab->setObjectName(QStringLiteral("ChartTab"));
    m_pages->addTab(m_chartTab, qs(kTabCaptions[7]));
    m_flowTab = new FlowTab(m_wb, m_panel3);
    m_flowTab->setObjectName(QStringLiteral("FlowTab"));
    m_pages->addTab(m_flowTab, qs(kTabCaptions[8]));
    for (int i = 0; i < m_pages->count(); ++i)
        m_pages->widget(i)->setProperty("caption", qs(kTabCaptions[static_cast<size_t>(i)]));
    layout->addWidget(m_pages, 1);
    m_panel1->addWidget(m_panel3);
    return m_panel1;
}

QWidget* TMainForm::buildAnalysisTab()
{
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(qs("並び替え:"), tab));
    for (size_t i = 0; i < kSortButtons.size(); ++i) {
        auto* b = new QToolButton(tab);
        b->setObjectName(QString::fromLatin1(kSortButtons[i].name));
        b->setText(qs(sortButtonCaption(kSortButtons[i].button)));
        b->setCheckable(true);
        b->setStatusTip(qs("分析表を") + b->text() + qs("で並べ替えます"));
        connect(b, &QToolButton::clicked, this,
                [this, i] { SpeedButton1Click(static_cast<int>(i)); });
        row->addWidget(b);
        m_sortButtons.push_back(b);
    }
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(m_grids[0], 1);
    return tab;
}

QWidget* TMainForm::buildBetsTab()
{
    auto* tab = new QWidget;
    auto* layout = new QHBoxLayout(tab);
    auto* win = new QGroupBox(qs("単勝"), tab);
    auto* grid = new QGridLayout(win);
    auto label = [&](const char* name, int minWidth = 60) {
        QLabel* l = boxLabel(QString::fromLatin1(name), win, minWidth);
        m_betLabels[name] = l;
        return l;
    };
    grid->addWidget(new QLabel(qs("本命："), win), 0, 0);
    grid->addWidget(label("KaiTanHonLbl"), 0, 1);
    grid->addWidget(label("KaiTanOzHonLbl"), 0, 2);
    grid->addWidget(new QLabel(qs("穴　："), win), 1, 0);
    grid->addWidget(label("KaiTanAanLbl1"), 1, 1);
    grid->addWidget(label("KaiTanOzAanLbl1"), 1, 2);
    grid->addWidget(label("KaiTanAanLbl2"), 2, 1);
    grid->addWidget(label("KaiTanOzAanLbl2"), 2, 2);
    grid->addWidget(new QLabel(qs("上位寡占率"), win), 3, 0);
    grid->addWidget(label("KasenLabel", 90), 3, 1, 1, 2);
    grid->addWidget(label("HaranLabel", 120), 4, 0, 1, 3);
    grid->setRowStretch(5, 1);
    layout->addWidget(win);
    auto* quinella = new QGroupBox(qs("連勝"), tab);
    auto* q = new QHBoxLayout(quinella);
    for (int n : {8, 7, 6}) {
        GridView* g = m_grids[static_cast<size_t>(n - 1)];
        g->setMinimumWidth(170);
        q->addWidget(g);
    }
    layout->addWidget(quinella, 1);
    return tab;
}

QWidget* TMainForm::buildResultsTab()
{
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    const ResultBoxes& boxes = m_wb.state().display.resultBoxes;
    for (int s = 0; s < ResultBoxes::kSections; ++s) {
        auto* section = new QGroupBox(qs(ResultBoxes::kCaptions[static_cast<size_t>(s)]), tab);
        auto* grid = new QGridLayout(section);
        for (int r = 0; r < 3; ++r)
            grid->addWidget(
                new QLabel(qs(ResultBoxes::kRowCaptions[static_cast<size_t>(r)]), section), r, 0);
        const int columns = static_cast<int>(boxes.sections[static_cast<size_t>(s)].size());
        for (int c = 0; c < columns; ++c) {
            std::array<QLabel*, 3> column{};
            for (int r = 0; r < 3; ++r) {
                auto* l = boxLabel(QStringLiteral("KekkaBox%1_%2_%3").arg(s).arg(r).arg(c + 1),
                                   section, 80);
                l->setStyleSheet(colourSheet(ResultBoxes::kBoxBackground,
                                             r == 1   ? ResultBoxes::kPopularityTextColour
                                             : r == 0 ? ResultBoxes::kResultTextColour
                                                      : ResultBoxes::kPayoutTextColour));
                grid->addWidget(l, r, c + 1);
                column[static_cast<size_t>(r)] = l;
            }
            m_resultBoxes[static_cast<size_t>(s)].push_back(column);
        }
        grid->setColumnStretch(columns + 1, 1);
        layout->addWidget(section);
    }
    layout->addStretch();
    return tab;
}

void TMainForm::restoreBounds()
{
    Bounds b = readBounds(m_wb.ini(), settings::kMainWindowBounds);
    QRect wanted(b.left, b.top, std::max(200, b.width), std::max(150, b.height));
    // A position left on a screen that is gone is brought back onto the primary one.
    if (!QGuiApplication::screenAt(wanted.center()) && QGuiApplication::primaryScreen()) {
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        wanted.moveTopLeft(avail.topLeft() + QPoint(10, 10));
    }
    setGeometry(wanted);
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

void TMainForm::closeEvent(QCloseEvent* event)
{
    const QRect g = geometry();
    try {
        writeBounds(m_wb.ini(), settings::kMainWindowBounds,
                    {g.top(), g.left(), g.width(), g.height()});
    } catch (const std::exception&) {
        // The close is always allowed; the position is only not kept.
    }
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
    if (parts.has(Part::DayList))
        refreshDays();
    if (parts.has(Part::RaceList))
        refreshRaces();
    if (parts.has(Part::Title))
        refreshTitle();
    if (parts.has(Part::TimeList))
        refreshTimes();
    if (parts.has(Part::Grids))
        refreshGrids();
    if (parts.has(Part::Labels) || parts.has(Part::Grids))
        refreshLabels();
    if (parts.has(Part::Chart))
        m_chartTab->refresh();
    if (parts.has(Part::Status))
        m_dlLabel->setText(qs(m_wb.state().DLlabel));
    if (parts.has(Part::Enabled) || parts.has(Part::Title))
        refreshEnabled();
    if (parts.has(Part::TimeList) || parts.has(Part::RaceList) || parts.has(Part::Odds))
        m_flowTab->reload();
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

void TMainForm::refreshDays()
{
    const WorkbenchState& s = m_wb.state();
    m_dateCombo->clear();
    for (const auto& day : s.DateCombo)
        m_dateCombo->addItem(qs(day));
    m_dateCombo->setCurrentIndex(s.DateComboIndex);
}

void TMainForm::refreshRaces()
{
    const WorkbenchState& s = m_wb.state();
    bool same = m_datList->count() == static_cast<int>(s.DatList.size());
    for (int i = 0; same && i < m_datList->count(); ++i)
        same = m_datList->item(i)->text() == qs(s.DatList[static_cast<size_t>(i)].text);
    if (!same) {
        m_datList->clear();
        for (const auto& item : s.DatList)
            m_datList->addItem(qs(item.text));
    }
    m_datList->setCurrentRow(s.DatListIndex);
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
    m_notice->setText(qs(s.Panel1Caption));
    m_staticText1->setText(qs(s.StaticText1));
    m_borderLabel4->setText(qs(s.BorderLabel4));
}

void TMainForm::refreshTimes()
{
    const WorkbenchState& s = m_wb.state();
    m_timeCombo->clear();
    for (const auto& item : s.TimeCombo)
        m_timeCombo->addItem(qs(item));
    m_timeCombo->setCurrentIndex(s.TimeComboIndex);
}

void TMainForm::refreshGrids()
{
    for (GridView* g : m_grids)
        g->gridModel()->reload();
    const ResultBoxes& boxes = m_wb.state().display.resultBoxes;
    for (size_t s = 0; s < m_resultBoxes.size(); ++s) {
        for (size_t c = 0; c < m_resultBoxes[s].size(); ++c) {
            const ResultBox& box = boxes.sections[s].at(c);
            m_resultBoxes[s][c][0]->setText(qs(box.result));
            m_resultBoxes[s][c][1]->setText(qs(box.popularity));
            m_resultBoxes[s][c][2]->setText(qs(box.payout));
        }
    }
    const SortButton pressed = m_wb.state().pressedSort;
    for (size_t i = 0; i < kSortButtons.size(); ++i)
        m_sortButtons[i]->setChecked(kSortButtons[i].button == pressed);
}

void TMainForm::refreshLabels()
{
    const AnalysisDisplay& d = m_wb.state().display;
    auto filled = [this](const char* name, const FilledLabel& l) {
        m_betLabels[name]->setText(qs(l.text));
        m_betLabels[name]->setStyleSheet(colourSheet(l.colour));
    };
    auto plain = [this](const char* name, const std::string& text) {
        m_betLabels[name]->setText(qs(text));
        m_betLabels[name]->setStyleSheet(colourSheet(colours::White));
    };
    filled("KaiTanHonLbl", d.KaiTanHonLbl);
    plain("KaiTanOzHonLbl", d.KaiTanOzHonLbl);
    filled("KaiTanAanLbl1", d.KaiTanAanLbl1);
    plain("KaiTanOzAanLbl1", d.KaiTanOzAanLbl1);
    filled("KaiTanAanLbl2", d.KaiTanAanLbl2);
    plain("KaiTanOzAanLbl2", d.KaiTanOzAanLbl2);
    filled("KasenLabel", d.KasenLabel);
    plain("HaranLabel", d.HaranLabel);
}

void TMainForm::refreshEnabled()
{
    const WorkbenchState& s = m_wb.state();
    m_panel1->setCurrentWidget(s.Panel3Visible ? m_panel3 : static_cast<QWidget*>(m_notice));
    const AutoOddsControls& c = m_wb.autoControls();
    m_autoOzCheck->setChecked(c.AutoOzCheck);
    m_ozGetBtn->setEnabled(c.OzGetBtnEnabled);
    if (c.Timer2Enabled != m_timer2->isActive()) {
        if (c.Timer2Enabled)
            m_timer2->start();
        else
            m_timer2->stop();
    }
    const int interval = std::max(1, c.AutoResultIntervalMinutes) * 60 * 1000;
    if (!c.AutoResultTimerEnabled)
        m_timer4->stop();
    else if (!m_timer4->isActive() || m_timer4->interval() != interval)
        m_timer4->start(interval);
}

void TMainForm::DateComboChange(int index)
{
    if (!m_updating)
        m_wb.DateComboChange(index);
}

void TMainForm::DatListClick(int row)
{
    if (!m_updating && row >= 0)
        m_wb.DatListClick(row);
}

void TMainForm::TimeComboChange(int index)
{
    if (!m_updating)
        m_wb.TimeComboChange(index);
}

void TMainForm::UpDown1Click(int step)
{
    const WorkbenchState& s = m_wb.state();
    const int position = std::clamp(s.UpDown1Position + step, 0, std::max(0, s.UpDown1Max));
    m_wb.UpDown1Click(position);
}

void TMainForm::SpeedButton1Click(int index)
{
    const SortButtonSpec& spec = kSortButtons.at(static_cast<size_t>(index));
    // One exclusive group that allows all buttons up: releasing the pressed one keeps
    // the table's order.
    const bool down = m_sortButtons[static_cast<size_t>(index)]->isChecked();
    m_wb.SpeedButton1Click(down ? spec.button : SortButton::None);
    refreshGrids();
}

void TMainForm::ClipBtn1Click()
{
    const QString caption = m_pages->currentWidget()->property("caption").toString();
    m_person.setClipboardText(m_wb.ClipBtn1Click(us(caption)));
}

void TMainForm::SokuhoOddsBtnClick()
{
    m_wb.SokuhoOddsBtnClick();
}

void TMainForm::KekkaGetBtnClick()
{
    m_wb.KekkaGetBtnClick();
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
    m_panel13->setVisible(!m_panel13->isVisible());
}

void TMainForm::M1Click()
{
    m_wb.M1Click();
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
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(helpFile())));
}

void TMainForm::HelpAboutItemClick()
{
    (new TVersionForm(jvLinkText(), this))->open();
}

void TMainForm::JVSetUIPropertiesClick()
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
            m_jvLinkLabel->setText(qs(jvLinkText()));
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
    preview->setWindowModality(Qt::ApplicationModal);
    preview->show();
}

void TMainForm::S1Click()
{
    showPrinterSetup(m_person, this);
}

} // namespace sorvantix::gui
