#pragma once

#include "core/app/workbench.h"

#include <QStackedWidget>
#include <array>
#include <map>
#include <vector>

class QLabel;
class QTabWidget;
class QToolButton;

namespace sorvantix::gui {

class ChartTab;
class FlowTab;
class GridView;

// The analysis beside the race list ("Panel1"): the notice of a race without odds
// (Panel1Caption) or the analysis (Panel3) with its heading (StaticText1, BorderLabel4,
// ClipBtn1) and the tabs (PageControl1): the analysis table with its sort buttons,
// the reference bets, the odds, shares and PA ratio grids, the results, the PA ratio
// chart and the money flow. Repainted by the main window from the Workbench's change
// notification.
class AnalysisPanel : public QStackedWidget
{
    Q_OBJECT
public:
    AnalysisPanel(Workbench& workbench, Person& person, QWidget* parent = nullptr);

    // The grid of StringGrid1..8.
    GridView* grid(int number) const { return m_grids.at(static_cast<size_t>(number - 1)); }
    ChartTab* chartTab() const { return m_chartTab; }
    FlowTab* flowTab() const { return m_flowTab; }

    void refreshHeading(); // Panel1Caption, StaticText1, BorderLabel4
    void refreshGrids();   // the grids, the result boxes and the pressed sort button
    void refreshLabels();  // the reference-bet labels
    void refreshShown();   // the notice or the analysis
    int currentTab() const;
    void setCurrentTab(int index);

public slots:
    void SpeedButton1Click(int button);
    void ClipBtn1Click();

private:
    QWidget* buildAnalysisTab();
    QWidget* buildBetsTab();
    QWidget* buildResultsTab();

    Workbench& m_wb;
    Person& m_person;
    QLabel* m_notice = nullptr;
    QWidget* m_panel3 = nullptr;
    QLabel* m_staticText1 = nullptr;
    QLabel* m_borderLabel4 = nullptr;
    QTabWidget* m_pages = nullptr;
    std::vector<GridView*> m_grids;
    std::vector<QToolButton*> m_sortButtons;
    std::map<std::string, QLabel*> m_betLabels;
    std::array<std::vector<std::array<QLabel*, 3>>, 5> m_resultBoxes;
    ChartTab* m_chartTab = nullptr;
    FlowTab* m_flowTab = nullptr;
};

} // namespace sorvantix::gui
