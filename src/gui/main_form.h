#pragma once

#include "core/app/workbench.h"
#include "core/jvlink/jvlink_choice.h"

#include <QMainWindow>
#include <array>
#include <map>
#include <optional>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTimer;
class QToolButton;
class QFrame;

namespace sorvantix {
class JvLink;
}

namespace sorvantix::gui {

class AnalysisPanel;
class ChartTab;
class FlowTab;
class GridView;
class RaceListPanel;
class TextGridModel;

// The main window: a view of the Workbench. Every event goes to the Workbench
// operation of the same name; every change the Workbench reports repaints the parts
// it names. Controls carry their names as objectName.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    // `jvLink` may be null (no JV-Link: stored days can still be analysed); when given,
    // the Workbench must already be connected to it.
    TMainForm(Workbench& workbench, Person& person, JvLink* jvLink, QWidget* parent = nullptr);
    ~TMainForm() override;

    Workbench& workbench() { return m_wb; }
    // FormShow: JVInit with the software identifier; a failure is shown, the program
    // goes on.
    void FormShow();
    // Which JV-Link is in use (the status bar, the version dialog).
    std::string jvLinkText() const;
    // The grid of StringGrid1..8.
    GridView* grid(int number) const;
    ChartTab* chartTab() const;
    FlowTab* flowTab() const;
    // How the last alert was announced besides the status bar ("dbus", "tray", "").
    const QString& lastNotification() const { return m_lastNotification; }
    QTimer* timer2() const { return m_timer2; }
    QTimer* timer4() const { return m_timer4; }

public slots:
    void LiveCheckClick(bool checked);
    void SokuhoOddsBtnClick();
    void KekkaGetBtnClick();
    // "的中" (0) and "穴的中" (1): the hit report, then the hit window (or why nothing
    // was written).
    void TekiAnaBtnClick(int button);
    void AutoOzCheckClick(bool checked);
    void Timer2Timer();
    void Timer4Timer();
    void SpeedButton8Click();
    void M1Click();
    void JRAVAN1Click();
    void A1Click();
    void N9Click();
    void HelpContentsItemClick();
    void HelpAboutItemClick();
    void JVSetUIPropertiesClick();
    // The JV-Link settings, on the page of `page` when one is given.
    void openJvLinkSettings(std::optional<JvLinkKind> page);
    // The first start's guide to the two ways in: the real JV-Link or a replayed feed.
    void showFirstStartGuide();
    void JVBtnClick();
    void OzGetBtnClick();
    void SpeedButton4Click();
    void N8Click();
    void P1Click();
    void S1Click();
    void BacktestItemClick();
    void BoardItemClick();
    void ExportItemClick();
    void AlertItemClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    QWidget* buildTitlePanel();
    void addHiddenButton(QWidget* parent, const char* name, std::string_view caption,
                         std::function<void()> operation);
    void restoreBounds();
    void refresh(Parts parts);
    void showNextFetch();
    void showParamSet();
    void refreshTitle();
    void refreshEnabled();

    Workbench& m_wb;
    Person& m_person;
    JvLink* m_jvLink;
    QLabel* m_jvLinkLabel = nullptr; // which JV-Link is in use, on the status bar
    int m_listener = 0;
    bool m_updating = false; // views being filled from the Workbench: their signals wait
    RaceListPanel* m_raceList = nullptr;
    AnalysisPanel* m_analysis = nullptr;
    QFrame* m_panel2 = nullptr;
    QStackedWidget* m_centre = nullptr; // the race list and analysis, or the empty hint
    std::array<QLabel*, 4> m_titleLabels{};
    QLabel* m_bashoLabel = nullptr;
    QLabel* m_raceLabel = nullptr;
    QString m_lastNotification;
    QCheckBox* m_autoOzCheck = nullptr;
    QCheckBox* m_liveCheck = nullptr;
    QToolButton* m_ozGetBtn = nullptr;
    QTimer* m_timer2 = nullptr;
    QTimer* m_timer4 = nullptr;
    QLabel* m_nextFetch = nullptr;
    QLabel* m_paramSet = nullptr;
    QTimer* m_nextFetchTimer = nullptr;
};

} // namespace sorvantix::gui
