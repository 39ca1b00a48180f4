#pragma once

#include "core/app/workbench.h"

#include <QStyledItemDelegate>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;

namespace sorvantix::gui {

// The race list's items: the item text as the system writes it, then in grey its post
// time, the markers of what is stored ("オ" odds, "結" results) and the race's name.
class RaceListDelegate : public QStyledItemDelegate
{
public:
    enum Role {
        PostTimeRole = Qt::UserRole + 1,
        NameRole,
        OddsRole,
        ResultsRole,
    };
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// The race list panel beside the analysis ("Panel13"): the day (DateCombo) with the
// arrows (UpDown1), the time point (TimeCombo), the race list (DatList) and the status
// label (DLlabel). Its events go to the Workbench operations of the same name; the
// main window repaints it from the Workbench's change notification.
class RaceListPanel : public QWidget
{
    Q_OBJECT
public:
    // `updating` is the main window's flag: while it repaints, the controls' signals
    // are its own and are not forwarded.
    RaceListPanel(Workbench& workbench, const bool& updating, QWidget* parent = nullptr);

    void refreshDays();
    void refreshRaces();
    void refreshTimes();
    void refreshStatus();

public slots:
    void DateComboChange(int index);
    void DatListClick(int row);
    void TimeComboChange(int index);
    void UpDown1Click(int step);
    void TimeChoiceClick(int item);

private:
    Workbench& m_wb;
    const bool& m_updating;
    bool m_rowChangedByClick = false; // the click's row change has selected the race
    QComboBox* m_dateCombo = nullptr;
    QListWidget* m_datList = nullptr;
    QComboBox* m_timeCombo = nullptr;
    QComboBox* m_timeChoice = nullptr;
    QLabel* m_dlLabel = nullptr;
};

} // namespace sorvantix::gui
