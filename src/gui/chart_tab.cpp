#include "gui/chart_tab.h"

#include "core/app/workbench.h"
#include "core/store/record_views.h"
#include "core/text/field.h"
#include "gui/gui_person.h"
#include "gui/qt_text.h"

#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QContextMenuEvent>
#include <QCursor>
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
#include <QResizeEvent>
#include <QSvgGenerator>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace sorvantix::gui {

namespace {

// A category axis shows at most this many labels; the others would overlap.
constexpr int kMaxTimeLabels = 16;
constexpr int kPixelsPerTimeLabel = 40;
constexpr int kPixelsPerLevelLabel = 120; // of the view: the plot is about half of it
// Below this height the chart has no room under the plot for upright labels.
constexpr int kUprightLabelsFrom = 500;
// Below this width a legend row above the plot has no room for the pair labels.
constexpr int kLegendBesideBelow = 720;

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
    m_pairs->setFont(gridFont(13));
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

void ChartTab::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A narrow chart keeps its pair labels in a column beside the plot and shows
    // fewer time labels, so none of them is cut to an ellipsis.
    const int width = m_view->width();
    m_chart->legend()->setAlignment(width < kLegendBesideBelow ? Qt::AlignRight : Qt::AlignTop);
    const bool level = m_view->height() < kUprightLabelsFrom;
    const int labels =
        std::clamp(width / (level ? kPixelsPerLevelLabel : kPixelsPerTimeLabel), 3, kMaxTimeLabels);
    if (labels != m_timeLabels || level != m_levelTimeLabels) {
        m_timeLabels = labels;
        m_levelTimeLabels = level;
        refresh();
    }
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
    // Upright labels need a tall plot; a small one reads them level and fewer.
    time->setLabelsAngle(m_levelTimeLabels ? 0 : -90);
    time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const int points = static_cast<int>(reference.points.size());
    const int step = std::max(1, (points + m_timeLabels - 1) / m_timeLabels);
    // The series starts the evening before: a label says its date where the day
    // changes (the time list holds the same announcements in the same order).
    const auto& items = m_wb.state().TimeCombo;
    // Level labels have no room for a date.
    const bool dated = !m_levelTimeLabels && static_cast<int>(items.size()) == points;
    std::string shownDay;
    for (int i = 0; i < points; i += step) {
        std::string label = reference.points[static_cast<size_t>(i)].label;
        if (dated && items[static_cast<size_t>(i)].size() >= 5) {
            const std::string day = items[static_cast<size_t>(i)].substr(0, 5);
            if (day != shownDay)
                label = day + " " + label;
            shownDay = day;
        }
        time->append(qs(label), i);
    }
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
        // The value of a point under the pointer.
        if (i < kChartPartnerSeries) {
            const QString title = qs(s.title);
            connect(series, &QLineSeries::hovered, this,
                    [this, title](const QPointF& point, bool state) {
                        if (!state)
                            return;
                        const auto& ref = m_wb.state().chart.view().series[kChartSeriesCount - 1];
                        const auto index = static_cast<size_t>(std::lround(point.x()));
                        const QString at =
                            index < ref.points.size() ? qs(ref.points[index].label) : QString();
                        QToolTip::showText(QCursor::pos(), title + QStringLiteral("  ") + at +
                                                               QStringLiteral("  ") +
                                                               QString::number(point.y(), 'f', 3));
                    });
        }
        const auto markers = m_chart->legend()->markers(series);
        for (QLegendMarker* marker : markers)
            marker->setVisible(s.inLegend);
    }
    applyAxis(view);
    addTimeMarkers();
}

// A vertical line at `x` across the value axis, without a legend entry.
void ChartTab::addVerticalLine(const QString& name, double x, const QPen& pen)
{
    const auto vertical = m_chart->axes(Qt::Vertical);
    const auto horizontal = m_chart->axes(Qt::Horizontal);
    if (vertical.isEmpty() || horizontal.isEmpty())
        return;
    double low = 0, high = 0;
    if (auto* log = qobject_cast<QLogValueAxis*>(vertical.front())) {
        low = log->min();
        high = log->max();
    } else if (auto* linear = qobject_cast<QValueAxis*>(vertical.front())) {
        low = linear->min();
        high = linear->max();
    }
    auto* line = new QLineSeries;
    line->setName(name);
    line->setPen(pen);
    line->append(x, low);
    line->append(x, high);
    m_chart->addSeries(line);
    line->attachAxis(horizontal.front());
    line->attachAxis(vertical.front());
    for (QLegendMarker* marker : m_chart->legend()->markers(line))
        marker->setVisible(false);
}

void ChartTab::addTimeMarkers()
{
    for (QAbstractSeries* s : m_chart->series())
        if (s->objectName() == QLatin1String("TimeMarker") ||
            s->objectName() == QLatin1String("PostMarker")) {
            m_chart->removeSeries(s);
            delete s;
        }
    const WorkbenchState& st = m_wb.state();
    const auto& ref = st.chart.view().series[kChartSeriesCount - 1];
    if (ref.points.empty() || st.TimeCombo.size() != ref.points.size())
        return;
    // The post time: after the last announcement at or before it on the race day.
    const std::string post = postTimeOfShownRace();
    if (!post.empty()) {
        const std::string raceDay = st.TimeCombo.back().substr(0, 5);
        int at = -1;
        for (size_t i = 0; i < st.TimeCombo.size(); ++i) {
            const std::string& item = st.TimeCombo[i];
            if (item.size() >= 11 && item.substr(0, 5) == raceDay && item.substr(6, 5) <= post)
                at = static_cast<int>(i);
        }
        if (at >= 0) {
            QPen pen(Qt::red);
            pen.setStyle(Qt::DashLine);
            addVerticalLine(qs("発走 " + post), at, pen);
            m_chart->series().back()->setObjectName(QStringLiteral("PostMarker"));
        }
    }
    if (st.TimeComboIndex >= 0 && st.TimeComboIndex < static_cast<int>(ref.points.size())) {
        QPen pen(QColor(0x40, 0x40, 0x40));
        pen.setWidth(2);
        addVerticalLine(qs("選択時刻"), st.TimeComboIndex, pen);
        m_chart->series().back()->setObjectName(QStringLiteral("TimeMarker"));
    }
}

std::string ChartTab::postTimeOfShownRace() const
{
    const auto ra = m_wb.selectedRaceRecord();
    if (!ra)
        return "";
    const std::string hhmm = RaView(*ra).postTime();
    if (hhmm.size() != 4 || !isDigits(hhmm) || hhmm == "0000")
        return "";
    return hhmm.substr(0, 2) + ":" + hhmm.substr(2, 2);
}

bool ChartTab::saveChart(const std::filesystem::path& file)
{
    // The saved picture names its race above the chart's own title.
    struct RaceTitle
    {
        QChart* chart;
        QString kept;
        RaceTitle(QChart* c, const std::string& race) : chart(c), kept(c->title())
        {
            chart->setTitle(qs(race) + QStringLiteral("<br>") + kept);
        }
        ~RaceTitle() { chart->setTitle(kept); }
    } title(m_chart, m_wb.state().StaticText1);
    const QString name = QString::fromStdString(file.string());
    if (name.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(name);
        svg.setSize(m_view->size());
        svg.setViewBox(QRect(QPoint(0, 0), m_view->size()));
        svg.setTitle(qs(std::string(kChartTitle) + " " + m_wb.state().StaticText1));
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
