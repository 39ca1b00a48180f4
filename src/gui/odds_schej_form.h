#pragma once

#include <QDialog>
#include <filesystem>
#include <memory>

class QButtonGroup;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QPrinter;

namespace sorvantix {
class Workbench;
class Person;
class TOddsSchejForm;
} // namespace sorvantix

namespace sorvantix::gui {

class GridView;
class TextGridModel;

// The schedule window "オッズ手動取得" (TOddsSchejForm): the day's races with check boxes,
// the kind of odds, the timetable, the fetch of the checked races on the request queue
// with its label and bar, and the timetable's printing. Closing it reloads the day.
class TOddsSchejFormWindow : public QDialog
{
    Q_OBJECT
public:
    TOddsSchejFormWindow(Workbench& workbench, Person& person, TOddsSchejForm form,
                         QWidget* parent = nullptr);
    ~TOddsSchejFormWindow() override;

    const TOddsSchejForm& form() const { return *m_form; }
    bool fetching() const { return m_fetching; }
    // Prints the timetable onto a PDF file instead of a printer (what SpeedButton1 does
    // with a printer). Returns the sheets printed, -1 when the file cannot be written.
    int printTo(const std::filesystem::path& pdf);

public slots:
    void OzGetBtnClick();
    void N1Click();
    void N2Click();
    void PdfBtnClick();
    void SpeedButton1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void refresh();
    void reloadOnce();
    int printOn(QPrinter& printer);

    Workbench& m_wb;
    Person& m_person;
    std::unique_ptr<TOddsSchejForm> m_form;
    QListWidget* m_list = nullptr;
    QButtonGroup* m_kind = nullptr;
    QLabel* m_progressLabel = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_fetch = nullptr;
    TextGridModel* m_gridModel = nullptr;
    GridView* m_grid = nullptr;
    bool m_fetching = false;
    bool m_updating = false;
    bool m_closed = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::shared_ptr<bool> m_reloadAfterFetch = std::make_shared<bool>(false);
};

} // namespace sorvantix::gui
