#include "gui/chart_tab.h"

#include "core/app/workbench.h"
#include "gui/gui_person.h"
#include "gui/qt_text.h"

#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QLogValueAxis>
#include <QMenu>
#include <QRadioButton>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace sorvantix::gui {

namespace {

// A category axis shows at most this many labels; the others would overlap.
constexpr int kMaxTimeLabels = 16;

QGroupBox* radioGroup(const char* name, std::string_view caption, QButtonGroup*& group,
                      std::initializer_list<const char*> items, QWidget* parent)
{
    auto* box = new QGroupBox(qs(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    int id = 0;
    for (const char* item : items) {
        auto* button = new QRadioButton(qs(item), box);
        group->addButton(button, id++);
        layout->addWidget(button);
    }
    return box;
}

} // namespace

ChartTab::ChartTab(Workbench& workbench, QWidget* parent) : QWidget(parent), m_wb(workbench)
{
    auto* layout = new QHBoxLayout(this);
    auto* side = new QVBoxLayout;
    m_horseBox = new QGroupBox(qs("馬番"), this);
    m_horseBox->setObjectName(QStringLiteral("RadioGroup1"));
    m_horseLayout = new QGridLayout(m_horseBox);
    m_horses = new QButtonGroup(m_horseBox);
    connect(m_horses, &QButtonGroup::idClicked, this, &ChartTab::RadioGroup1Click);
    side->addWidget(m_horseBox);

    QGroupBox* axis = radioGroup("RadioGroup2", "ｸﾞﾗﾌ軸の種類", m_axis, {"対数軸", "普通軸"}, this);
    connect(m_axis, &QButtonGroup::idClicked, this,
            [this](int item) { m_wb.RadioGroup2Click(item); });
    side->addWidget(axis);
    QGroupBox* markers = radioGroup("RadioGroup3", "ﾏｰｶｰ表示", m_markers, {"表示", "非表示"}, this);
    connect(m_markers, &QButtonGroup::idClicked, this,
            [this](int item) { m_wb.RadioGroup3Click(item); });
    markers->setVisible(false);
    side->addWidget(markers);

    m_pairs = new QListWidget(this);
    m_pairs->setObjectName(QStringLiteral("PairList"));
    m_pairs->setFont(gothicFont(13));
    m_pairs->setMinimumWidth(130);
    side->addWidget(m_pairs, 1);
    layout->addLayout(side);

    m_chart = new QChart;
    m_chart->setTitle(qs(kChartTitle));
    m_chart->legend()->setAlignment(Qt::AlignTop);
    m_chart->setBackgroundBrush(rgb(kChartPanelColour));
    m_chart->setPlotAreaBackgroundBrush(Qt::white);
    m_chart->setPlotAreaBackgroundVisible(true);
    m_view = new QChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("Chart1"));
    m_view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(m_view, 1);
    refresh();
}

void ChartTab::RadioGroup1Click(int index)
{
    m_wb.RadioGroup1Click(index);
}

void ChartTab::rebuildHorseButtons(const ChartView& view)
{
    if (view.RadioGroup1 != m_shownHorses) {
        for (QAbstractButton* b : m_horses->buttons()) {
            m_horses->removeButton(b);
            delete b;
        }
        for (size_t i = 0; i < view.RadioGroup1.size(); ++i) {
            auto* button = new QRadioButton(qs(view.RadioGroup1[i]), m_horseBox);
            button->setFont(gothicFont(13));
            m_horses->addButton(button, static_cast<int>(i));
            m_horseLayout->addWidget(button, static_cast<int>(i % 9), static_cast<int>(i / 9));
        }
        m_shownHorses = view.RadioGroup1;
    }
    if (QAbstractButton* b = m_horses->button(view.RadioGroup1Index))
        b->setChecked(true);
}

void ChartTab::applyAxis(const ChartView& view)
{
    // A removed axis is handed back to its caller: delete it, or every build leaks one.
    for (QAbstractAxis* a : m_chart->axes(Qt::Vertical)) {
        m_chart->removeAxis(a);
        delete a;
    }
    double low = 0, high = 0;
    bool any = false;
    for (QAbstractSeries* s : m_chart->series()) {
        for (const QPointF& p : static_cast<QLineSeries*>(s)->points()) {
            if (!any) {
                low = high = p.y();
                any = true;
            }
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
    }
    QAbstractAxis* axis = nullptr;
    if (view.axis == ChartAxis::Log) {
        auto* log = new QLogValueAxis;
        const double from = any && low > 0 ? low * 0.95 : 0.5;
        const double to = any && high > 0 ? high * 1.05 : 3.0;
        // Labels stand at powers of the base: a base that fits the range gives about
        // six of them instead of one per decade.
        log->setBase(std::max(1.05, std::pow(to / from, 1.0 / 6)));
        log->setLabelFormat(QStringLiteral("%.2f"));
        log->setRange(from, to);
        axis = log;
    } else {
        auto* linear = new QValueAxis;
        linear->setLabelFormat(QStringLiteral("%.2f"));
        linear->setRange(0, any ? high * 1.1 : 3.0);
        axis = linear;
    }
    axis->setTitleText(qs(kChartLeftAxisTitle));
    m_chart->addAxis(axis, Qt::AlignLeft);
    for (QAbstractSeries* s : m_chart->series())
        s->attachAxis(axis);
}

void ChartTab::refresh()
{
    const ChartView& view = m_wb.state().chart.view();
    rebuildHorseButtons(view);
    if (QAbstractButton* b = m_axis->button(static_cast<int>(view.axis)))
        b->setChecked(true);
    if (QAbstractButton* b = m_markers->button(view.markers ? 0 : 1))
        b->setChecked(true);
    m_pairs->clear();
    for (const auto& line : view.pairList)
        m_pairs->addItem(qs(line));

    m_chart->removeAllSeries();
    for (QAbstractAxis* a : m_chart->axes()) {
        m_chart->removeAxis(a);
        delete a;
    }
    // Time labels come from the reference series, which has a point at every time.
    const ChartSeries& reference = view.series[kChartSeriesCount - 1];
    auto* time = new QCategoryAxis;
    time->setTitleText(qs(kChartBottomAxisTitle));
    time->setLabelsAngle(-90);
    time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const int points = static_cast<int>(reference.points.size());
    const int step = std::max(1, (points + kMaxTimeLabels - 1) / kMaxTimeLabels);
    for (int i = 0; i < points; i += step)
        time->append(qs(reference.points[static_cast<size_t>(i)].label), i);
    time->setRange(0, std::max(1, points - 1));
    m_chart->addAxis(time, Qt::AlignBottom);

    const bool log = view.axis == ChartAxis::Log;
    for (int i = 0; i < kChartSeriesCount; ++i) {
        const ChartSeries& s = view.series[static_cast<size_t>(i)];
        auto* series = new QLineSeries;
        series->setName(qs(s.title));
        QPen pen(rgb(s.colour));
        pen.setWidth(i == kChartSeriesCount - 1 ? 1 : 2);
        pen.setStyle(s.dash == ChartDash::Dot ? Qt::DotLine : Qt::SolidLine);
        series->setPen(pen);
        // A logarithmic axis cannot show a ratio of 0 (a pair without odds then).
        for (const ChartPoint& p : s.points)
            if (!log || p.y > 0)
                series->append(p.x, p.y);
        series->setPointsVisible(view.markers && i < kChartPartnerSeries);
        m_chart->addSeries(series);
        series->attachAxis(time);
        const auto markers = m_chart->legend()->markers(series);
        for (QLegendMarker* marker : markers)
            marker->setVisible(s.inLegend);
    }
    applyAxis(view);
}

bool ChartTab::saveChart(const std::filesystem::path& file)
{
    const QString name = QString::fromStdString(file.string());
    if (name.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(name);
        svg.setSize(m_view->size());
        svg.setViewBox(QRect(QPoint(0, 0), m_view->size()));
        svg.setTitle(qs(kChartTitle));
        QPainter painter;
        if (!painter.begin(&svg))
            return false;
        m_view->render(&painter);
        return painter.end();
    }
    return m_view->grab().save(name, "PNG");
}

void ChartTab::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* png = menu.addAction(qs("グラフをPNGで保存..."));
    QAction* svg = menu.addAction(qs("グラフをSVGで保存..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (!chosen)
        return;
    const bool asSvg = chosen == svg;
    (void)png;
    const std::filesystem::path name = chooseSaveFile(
        this, chosen->text(), asSvg ? QStringLiteral("PA.svg") : QStringLiteral("PA.png"),
        asSvg ? QStringLiteral("SVG (*.svg)") : QStringLiteral("PNG (*.png)"));
    if (!name.empty() && !saveChart(name))
        m_wb.appendError("グラフを保存できません: " + name.string());
}

} // namespace sorvantix::gui
