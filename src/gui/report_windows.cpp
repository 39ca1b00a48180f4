#include "gui/report_windows.h"

#include "gui/qt_text.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace sorvantix::gui {

HitWindow::HitWindow(const HitRun& run, TekiButton button, Person& person, QWidget* parent)
    : QDialog(parent), m_person(person)
{
    setObjectName(QStringLiteral("HitWindow"));
    setWindowTitle(qs(button == TekiButton::TekiAnaBtn ? "的中" : "穴的中"));
    auto* layout = new QVBoxLayout(this);
    auto* count = new QLabel(qs(std::to_string(run.lines.size()) + "件の的中"), this);
    count->setObjectName(QStringLiteral("HitCount"));
    layout->addWidget(count);
    m_lines = new QPlainTextEdit(this);
    m_lines->setObjectName(QStringLiteral("HitLines"));
    m_lines->setReadOnly(true);
    m_lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_lines->setFont(gothicFont(12));
    QString text;
    for (const auto& line : run.lines)
        text += qs(line) + QStringLiteral("\n");
    m_lines->setPlainText(text);
    layout->addWidget(m_lines, 1);
    std::string files = (run.pageReplaced ? "置き換え: " : "書き出し: ") + run.pageFile.string() +
                        "\n追記: " + run.logFile.string();
    if (run.skippedRaces > 0)
        files += "\n" + std::to_string(run.skippedRaces) +
                 "レースは分析できませんでした（的中なしとして扱いました）";
    auto* written = new QLabel(qs(files), this);
    written->setObjectName(QStringLiteral("HitFiles"));
    written->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(written);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* copy = buttons->addButton(qs("コピー"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("CopyBtn"));
    connect(copy, &QPushButton::clicked, this, &HitWindow::CopyBtnClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 420);
}

void HitWindow::CopyBtnClick()
{
    m_person.setClipboardText(us(m_lines->toPlainText()));
}

HelpWindow::HelpWindow(const std::string& helpFile, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(qs("ヘルプ"));
    auto* layout = new QVBoxLayout(this);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSource(QUrl::fromLocalFile(QString::fromStdString(helpFile)));
    layout->addWidget(m_browser, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(820, 640);
}

} // namespace sorvantix::gui
