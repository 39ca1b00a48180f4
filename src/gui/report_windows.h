#pragma once

#include "core/app/workbench.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QTextBrowser;

namespace sorvantix::gui {

// What "的中" or "穴的中" found: the hit lines, the files written and a button that
// copies the lines, so the person sees the result whether or not the desktop has a
// viewer for the page.
class HitWindow : public QDialog
{
    Q_OBJECT
public:
    HitWindow(const HitRun& run, TekiButton button, Person& person, QWidget* parent = nullptr);

public slots:
    void CopyBtnClick();

private:
    Person& m_person;
    QPlainTextEdit* m_lines = nullptr;
};

// The help page in a window of our own, for a desktop without a browser.
class HelpWindow : public QDialog
{
    Q_OBJECT
public:
    HelpWindow(const std::string& helpFile, QWidget* parent = nullptr);
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser = nullptr;
};

} // namespace sorvantix::gui
