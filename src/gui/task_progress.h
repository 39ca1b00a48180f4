#pragma once

#include "core/app/workbench.h"

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace sorvantix::gui {

// Runs a long task (a backtest, an export) on the Workbench's request queue with a
// progress dialog over `parent` (objectName "TaskProgress": a bar and a cancel
// button); the windows keep repainting meanwhile. `finished` runs on the event loop
// once the task has ended, with how it ended (a failure has been shown by then).
// False when the task could not be queued (said to `person`).
bool runLongTask(QWidget* parent, Workbench& workbench, Person& person, const std::string& name,
                 const QString& label, AcquisitionRequests::TaskWork work,
                 std::function<void(RequestOutcome::End end)> finished);

} // namespace sorvantix::gui
