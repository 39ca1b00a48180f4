#include "gui/task_progress.h"

#include "gui/qt_text.h"

#include <QPointer>
#include <QProgressDialog>

namespace sorvantix::gui {

bool runLongTask(QWidget* parent, Workbench& workbench, Person& person, const std::string& name,
                 const QString& label, AcquisitionRequests::TaskWork work,
                 std::function<void(RequestOutcome::End end)> finished)
{
    QPointer<QProgressDialog> dialog = new QProgressDialog(label, qs("中止"), 0, 0, parent);
    dialog->setObjectName(QStringLiteral("TaskProgress"));
    dialog->setWindowTitle(qs(name));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(300);
    RequestEvents events;
    events.progress = [dialog](int position, int maximum) {
        if (!dialog)
            return;
        dialog->setMaximum(maximum);
        dialog->setValue(position);
    };
    events.done = [dialog, finished = std::move(finished)](const RequestOutcome& outcome) {
        if (dialog)
            dialog->deleteLater();
        if (finished)
            finished(outcome.end);
    };
    const std::uint64_t id = workbench.requestTask(name, std::move(work), std::move(events));
    if (id == 0) {
        delete dialog;
        person.beep();
        person.information(name + "を始められません（処理の列がありません）");
        return false;
    }
    // Cancel stops this task only, never a JV-Link request running before it.
    QObject::connect(dialog, &QProgressDialog::canceled, dialog, [&workbench, name] {
        if (workbench.queue() && workbench.queue()->current() == name)
            workbench.queue()->cancelCurrent();
    });
    return true;
}

} // namespace sorvantix::gui
