#pragma once

#include "core/app/operation_boundary.h"
#include "core/text/person.h"

#include <QPointer>
#include <QWidget>
#include <deque>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

class QLabel;
class QUrl;

namespace sorvantix::gui {

// The seam through which tests answer message boxes and questions without waiting:
// while it is active no box is shown; information texts are recorded, questions are
// recorded and answered from the queue (Yes when it is empty), the clipboard and the
// opened files are recorded instead of reaching the desktop.
class MessageBoxSeam
{
public:
    static void activate(bool on);
    static bool active();
    static void setNextAnswer(bool yes);
    static void reset();
    static std::vector<std::string>& shown(); // information texts, in order
    static std::vector<std::string>& asked(); // question texts, in order
    static std::vector<std::filesystem::path>& opened();
    // The file name the next file dialog returns ("" = cancelled).
    static void setNextFileName(std::filesystem::path file);

private:
    static std::deque<bool>& answers();
    static std::deque<std::filesystem::path>& fileNames();
    friend class GuiPerson;
    friend std::filesystem::path chooseSaveFile(QWidget*, const QString&, const QString&,
                                                const QString&);
};

// Runs a slot's work at the one boundary (runGuarded): what it throws (a settings file
// that cannot be written, say) is shown to the person instead of leaving through the
// event loop. False when it threw.
template <class F> bool guarded(Person& person, F&& work)
{
    return !runGuarded(person, "window", [&] { work(); }).failed();
}

// The person of a view that says its failures in place (a tab's notes, a window's title
// line) instead of in a box: information() sets the label's text, nothing else shows.
class LabelPerson : public Person
{
public:
    explicit LabelPerson(QLabel* label) : m_label(label) {}
    void beep() override {}
    void information(const std::string& text) override;
    bool question(const std::string&) override { return false; }
    void status(const std::string&) override {}
    void setClipboardText(const std::string&) override {}
    void openFile(const std::filesystem::path&) override {}

private:
    QLabel* m_label;
};

// Opens a URL with the desktop's application for it; false when there is none (and
// always while the seam is active, as on a desktop without a browser).
bool openWithDesktop(const QUrl& url);

// A save-file dialog; through the seam while it is active. Empty when cancelled.
std::filesystem::path chooseSaveFile(QWidget* parent, const QString& caption,
                                     const QString& defaultName, const QString& filter);

// The person at the screen: modal boxes with the exact texts over `parent`, the beep,
// the clipboard and the desktop's default application.
class GuiPerson : public Person
{
public:
    explicit GuiPerson(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void beep() override;
    void information(const std::string& text) override;
    bool question(const std::string& text) override;
    // The Workbench writes the status label itself; nothing else to do here.
    void status(const std::string&) override {}
    void setClipboardText(const std::string& text) override;
    void openFile(const std::filesystem::path& file) override;

private:
    QWidget* owner() const;
    QPointer<QWidget> m_parent;
};

} // namespace sorvantix::gui
