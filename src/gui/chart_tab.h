#pragma once

#include "core/present/pa_chart.h"

#include <QWidget>
#include <filesystem>

class QButtonGroup;
class QGroupBox;
class QListWidget;
class QPen;
class QGridLayout;

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
QT_END_NAMESPACE

namespace sorvantix {
class Workbench;
}

namespace sorvantix::gui {

// The tab "PA比ｸﾞﾗﾌ": the horse radio group, the axis choice, the hidden marker choice,
// the pair list and the chart, all shown from the Workbench's chart data.
class ChartTab : public QWidget
{
    Q_OBJECT
public:
    ChartTab(Workbench& workbench, QWidget* parent = nullptr);

    // Shows the Workbench's chart as it is now.
    void refresh();
    // The lines at the time point chosen in the time combo and at the post time.
    void addTimeMarkers();
    // Writes the chart as PNG or, for a name ending in .svg, as SVG. False when the
    // file could not be written.
    bool saveChart(const std::filesystem::path& file);
    QChartView* chartView() const { return m_view; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RadioGroup1Click(int index);
    void rebuildHorseButtons(const ChartView& view);
    void applyAxis(const ChartView& view);
    void addVerticalLine(const QString& name, double x, const QPen& pen);
    std::string postTimeOfShownRace() const;

    Workbench& m_wb;
    QGroupBox* m_horseBox;
    QGridLayout* m_horseLayout;
    QButtonGroup* m_horses;
    QButtonGroup* m_axis;
    QButtonGroup* m_markers;
    QListWidget* m_pairs;
    QChart* m_chart;
    QChartView* m_view;
    std::vector<std::string> m_shownHorses;
    int m_timeLabels = 16;
    bool m_levelTimeLabels = false;
};

} // namespace sorvantix::gui
