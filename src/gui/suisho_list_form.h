#pragma once

#include "core/app/suisho_table_model.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;

namespace sorvantix::gui {

class GridView;
class TextGridModel;

// The window "推奨馬・特奨馬一覧": the year drop-down, the file list, the title label and
// StringGrid5, shown from the core's table model. It reads the Suisho folder only.
class TSuishoListForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSuishoListForm(std::filesystem::path suishoDir, QWidget* parent = nullptr);
    // Opening: false when there is nothing to list (the caller shows the message and
    // drops the window).
    bool load();
    const SuishoTableModel& model() const { return m_model; }
    GridView* grid() const { return m_grid; }

public slots:
    void ComboBox1Click(int index);
    void ListBox1Click(int row);

private:
    void refresh();

    SuishoTableModel m_model;
    QComboBox* m_years = nullptr;
    QListWidget* m_files = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_warnings = nullptr;
    TextGridModel* m_gridModel = nullptr;
    GridView* m_grid = nullptr;
    bool m_updating = false;
};

} // namespace sorvantix::gui
