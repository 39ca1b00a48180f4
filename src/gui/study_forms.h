#pragma once

#include "core/app/workbench.h"
#include "core/study/backtest.h"
#include "core/study/odds_alerts.h"
#include "core/study/race_board.h"

#include <QDialog>
#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

class QChartView;

namespace sorvantix::gui {

// The tab "投票推移": the money that came in between two announcements of the selected
// race, per runner and per pair, late money marked.
class FlowTab : public QWidget
{
    Q_OBJECT
public:
    FlowTab(Workbench& workbench, QWidget* parent = nullptr);
    // Re-reads the race's announcements (a race selection, a fetch).
    void reload();

public slots:
    void FlowComboChange();

private:
    Workbench& m_wb;
    std::optional<ArchivedRace> m_race;
    QComboBox* m_from = nullptr;
    QComboBox* m_to = nullptr;
    QTableWidget* m_runners = nullptr;
    QTableWidget* m_pairs = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_notes = nullptr;
    bool m_updating = false;
};

// The window "開催一覧": every race of the loaded day, venue by venue, at its latest
// announcement. A click selects the race in the main window; it refreshes when a fetch
// brings odds or another day is loaded.
class BoardWindow : public QDialog
{
    Q_OBJECT
public:
    BoardWindow(Workbench& workbench, QWidget* parent = nullptr);
    ~BoardWindow() override;
    QTableWidget* grid() const { return m_grid; }

public slots:
    void rebuild();
    // The cells' texts and colours from the board last built, at the clock's time (how
    // old each race's latest announcement is, which races are late).
    void relabel();
    void BoardGridClick(int row, int column);
    // Marks the cell of the race the main window shows.
    void followShownRace();

private:
    Workbench& m_wb;
    int m_listener = 0;
    QLabel* m_title = nullptr;
    QTableWidget* m_grid = nullptr;
    std::vector<std::vector<int>> m_listIndex;          // [venue row][race column]
    std::vector<std::vector<std::string>> m_latestTime; // the "hh:mm" each cell shows
    std::optional<RaceBoard> m_board;
};

// The window "検証": the backtest of stored days at a decision time under chosen
// parameter sets, its table and the cumulative return chart.
class BacktestWindow : public QDialog
{
    Q_OBJECT
public:
    BacktestWindow(Workbench& workbench, Person& person, QWidget* parent = nullptr);
    const BacktestReport& report() const { return m_report; }

public slots:
    void RunBtnClick();

private:
    void show(const BacktestReport& report);

    Workbench& m_wb;
    Person& m_person;
    BacktestReport m_report;
    QPushButton* m_run = nullptr;
    QComboBox* m_from = nullptr;
    QComboBox* m_to = nullptr;
    QComboBox* m_decision = nullptr;
    QSpinBox* m_minutes = nullptr;
    QListWidget* m_sets = nullptr;
    QLabel* m_summary = nullptr;
    QTableWidget* m_table = nullptr;
    QChartView* m_chart = nullptr;
};

// The dialog "アラート設定": which changes of a new time point are announced.
class AlertSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    AlertSettingsDialog(const TIniGT& ini, Person& person, QWidget* parent = nullptr);

public slots:
    void accept() override;

private:
    const TIniGT& m_ini;
    Person& m_person;
    QCheckBox* m_singular = nullptr;
    QCheckBox* m_tokusho = nullptr;
    QDoubleSpinBox* m_level = nullptr;
    QCheckBox* m_drop = nullptr;
    // Win (0) and quinella (1): the three band percents and the floor.
    std::array<std::array<QSpinBox*, 3>, 2> m_dropPercent{};
    std::array<QDoubleSpinBox*, 2> m_dropFloor{};
    AlertSettings m_settings;
};

// A desktop notification: the freedesktop notification service over D-Bus when the
// session has one, else the tray icon's message, else nothing (the status bar has it).
// Returns how it was shown: "dbus", "tray" or "".
QString notifyDesktop(QWidget* owner, const QString& title, const QString& body);

} // namespace sorvantix::gui
