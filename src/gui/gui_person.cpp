#include "gui/gui_person.h"

#include "core/app/startup.h"
#include "gui/qt_text.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QUrl>

namespace sorvantix::gui {

namespace {
bool g_active = false;
}

void MessageBoxSeam::activate(bool on)
{
    g_active = on;
}

bool MessageBoxSeam::active()
{
    return g_active;
}

std::deque<bool>& MessageBoxSeam::answers()
{
    static std::deque<bool> a;
    return a;
}

void MessageBoxSeam::setNextAnswer(bool yes)
{
    answers().push_back(yes);
}

std::vector<std::string>& MessageBoxSeam::shown()
{
    static std::vector<std::string> s;
    return s;
}

std::vector<std::string>& MessageBoxSeam::asked()
{
    static std::vector<std::string> s;
    return s;
}

std::vector<std::filesystem::path>& MessageBoxSeam::opened()
{
    static std::vector<std::filesystem::path> s;
    return s;
}

std::deque<std::filesystem::path>& MessageBoxSeam::fileNames()
{
    static std::deque<std::filesystem::path> s;
    return s;
}

void MessageBoxSeam::setNextFileName(std::filesystem::path file)
{
    fileNames().push_back(std::move(file));
}

std::filesystem::path chooseSaveFile(QWidget* parent, const QString& caption,
                                     const QString& defaultName, const QString& filter)
{
    if (MessageBoxSeam::active()) {
        auto& names = MessageBoxSeam::fileNames();
        if (names.empty())
            return {};
        std::filesystem::path next = names.front();
        names.pop_front();
        return next;
    }
    return QFileDialog::getSaveFileName(parent, caption, defaultName, filter).toStdString();
}

void MessageBoxSeam::reset()
{
    answers().clear();
    fileNames().clear();
    shown().clear();
    asked().clear();
    opened().clear();
}

QWidget* GuiPerson::owner() const
{
    // A box over the modal window that is open, not behind it.
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return m_parent;
}

void GuiPerson::beep()
{
    if (!MessageBoxSeam::active())
        QApplication::beep();
}

void GuiPerson::information(const std::string& text)
{
    if (MessageBoxSeam::active()) {
        MessageBoxSeam::shown().push_back(text);
        return;
    }
    QMessageBox::information(owner(), qs(kMainWindowCaption), qs(text), QMessageBox::Ok);
}

bool GuiPerson::question(const std::string& text)
{
    if (MessageBoxSeam::active()) {
        MessageBoxSeam::asked().push_back(text);
        auto& answers = MessageBoxSeam::answers();
        if (answers.empty())
            return true;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    return QMessageBox::question(owner(), qs(kMainWindowCaption), qs(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void GuiPerson::setClipboardText(const std::string& text)
{
    QGuiApplication::clipboard()->setText(qs(text));
}

void GuiPerson::openFile(const std::filesystem::path& file)
{
    if (MessageBoxSeam::active()) {
        MessageBoxSeam::opened().push_back(file);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

void LabelPerson::information(const std::string& text)
{
    if (m_label)
        m_label->setText(qs(text));
}

bool openWithDesktop(const QUrl& url)
{
    if (MessageBoxSeam::active())
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace sorvantix::gui
