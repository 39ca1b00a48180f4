#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QDateTimeEdit;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace sorvantix {
class Workbench;
class JvLink;
class Person;
struct GetDataFormView;
enum class CardRunOutcome;
} // namespace sorvantix

namespace sorvantix::gui {

// The acquisition window "ＪＶデータ取込" (TGetDataForm): the from-date and kind, Start
// and Cancel, the download and read bars and the list of stored records. A run goes
// through the Workbench's request queue, so the main window stays responsive; closing
// the window rebuilds the day list.
class TGetDataFormWindow : public QDialog
{
    Q_OBJECT
public:
    // `jvLinkSettings` is the main window's JV-Link settings dialog.
    TGetDataFormWindow(Workbench& workbench, JvLink& jvLink, Person& person,
                       std::function<void()> jvLinkSettings, QWidget* parent = nullptr);
    ~TGetDataFormWindow() override;

    bool running() const { return m_running; }
    CardRunOutcome lastOutcome() const { return static_cast<CardRunOutcome>(m_outcome); }

public slots:
    void ButtonStartClick();
    void ButtonCancelClick();
    void SpeedButton1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void showView(const GetDataFormView& view);
    void finished(CardRunOutcome outcome);
    bool readyToClose();

    Workbench& m_wb;
    std::function<void()> m_jvLinkSettings;
    QRadioButton* m_normal = nullptr;
    QRadioButton* m_setup = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QLabel* m_progressLabel = nullptr;
    QLabel* m_label5 = nullptr;
    QLabel* m_provided = nullptr;
    QProgressBar* m_download = nullptr;
    QProgressBar* m_read = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_start = nullptr;
    bool m_running = false;
    bool m_closeWhenDone = false;
    bool m_dayListRebuilt = false;
    int m_outcome = 0; // CardRunOutcome
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace sorvantix::gui
