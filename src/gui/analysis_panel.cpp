#include "gui/analysis_panel.h"

#include "core/present/cell_colours.h"
#include "gui/chart_tab.h"
#include "gui/grid_view.h"
#include "gui/qt_text.h"
#include "gui/study_forms.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace sorvantix::gui {

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

} // namespace

AnalysisPanel::AnalysisPanel(Workbench& workbench, Person& person, QWidget* parent)
    : QStackedWidget(parent), m_wb(workbench), m_person(person)
{
    setObjectName(QStringLiteral("Panel1"));
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("Panel1Caption"));
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setFont(gothicFont(16, true));
    addWidget(m_notice);

    m_panel3 = new QWidget(this);
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
    connect(clip, &QPushButton::clicked, this, &AnalysisPanel::ClipBtn1Click);
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
        const QFont font = n == 1 ? gridFont(13) : n <= 5 ? gridFont(12) : gridFont(13, true);
        std::vector<int> widths = n == 1   ? std::vector<int>{20, 20, 20, 20, 55}
                                  : n <= 5 ? std::vector<int>{20, 45}
                                           : std::vector<int>{25, 60, 60};
        auto* view = new GridView(model, font, std::move(widths), 15, m_panel3);
        view->setObjectName(QStringLiteral("StringGrid%1").arg(n));
        m_grids.push_back(view);
    }

    m_pages = new QTabWidget(m_panel3);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    // Pages of fixed-size boxes scroll rather than hold the window above a small
    // screen's height; the grids scroll by themselves.
    auto scrolled = [this](QWidget* page) {
        auto* area = new QScrollArea(m_pages);
        area->setWidget(page);
        area->setWidgetResizable(true);
        area->setFrameShape(QFrame::NoFrame);
        return area;
    };
    m_pages->addTab(scrolled(buildAnalysisTab()), qs(kTabCaptions[0]));
    m_pages->addTab(scrolled(buildBetsTab()), qs(kTabCaptions[1]));
    for (int n = 2; n <= 5; ++n)
        m_pages->addTab(m_grids[static_cast<size_t>(n - 1)],
                        qs(kTabCaptions[static_cast<size_t>(n)]));
    m_pages->addTab(scrolled(buildResultsTab()), qs(kTabCaptions[6]));
    m_chartTab = new ChartTab(m_wb, m_panel3);
    m_chartTab->setObjectName(QStringLiteral("ChartTab"));
    m_pages->addTab(scrolled(m_chartTab), qs(kTabCaptions[7]));
    m_flowTab = new FlowTab(m_wb, m_panel3);
    m_flowTab->setObjectName(QStringLiteral("FlowTab"));
    m_pages->addTab(m_flowTab, qs(kTabCaptions[8]));
    for (int i = 0; i < m_pages->count(); ++i)
        m_pages->widget(i)->setProperty("caption", qs(kTabCaptions[static_cast<size_t>(i)]));
    layout->addWidget(m_pages, 1);
    addWidget(m_panel3);
}

QWidget* AnalysisPanel::buildAnalysisTab()
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

QWidget* AnalysisPanel::buildBetsTab()
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

QWidget* AnalysisPanel::buildResultsTab()
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

void AnalysisPanel::refreshGrids()
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

void AnalysisPanel::refreshLabels()
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

void AnalysisPanel::SpeedButton1Click(int index)
{
    const SortButtonSpec& spec = kSortButtons.at(static_cast<size_t>(index));
    // One exclusive group that allows all buttons up: releasing the pressed one keeps
    // the table's order.
    const bool down = m_sortButtons[static_cast<size_t>(index)]->isChecked();
    m_wb.SpeedButton1Click(down ? spec.button : SortButton::None);
    refreshGrids();
}

void AnalysisPanel::ClipBtn1Click()
{
    const QString caption = m_pages->currentWidget()->property("caption").toString();
    m_person.setClipboardText(m_wb.ClipBtn1Click(us(caption)));
}

void AnalysisPanel::refreshHeading()
{
    const WorkbenchState& s = m_wb.state();
    m_notice->setText(qs(s.Panel1Caption));
    m_staticText1->setText(qs(s.StaticText1));
    m_borderLabel4->setText(qs(s.BorderLabel4));
}

void AnalysisPanel::refreshShown()
{
    setCurrentWidget(m_wb.state().Panel3Visible ? m_panel3 : static_cast<QWidget*>(m_notice));
}

int AnalysisPanel::currentTab() const
{
    return m_pages->currentIndex();
}

void AnalysisPanel::setCurrentTab(int index)
{
    if (index >= 0 && index < m_pages->count())
        m_pages->setCurrentIndex(index);
}

} // namespace sorvantix::gui
