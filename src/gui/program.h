#pragma once

#include "core/app/app_dir.h"
#include "core/app/workbench.h"
#include "core/jvlink/jvlink_choice.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/text/clock.h"
#include "core/text/folder_lock.h"
#include "gui/gui_person.h"
#include "gui/main_form.h"
#include "gui/owner_queue.h"

#include <memory>
#include <optional>
#include <string>

namespace sorvantix::gui {

// The desktop program's parts, in the order they are made: the application folder, the
// person, the replay JV-Link, the Workbench connected to it through the Qt event loop,
// and the main window (FormCreate). A QApplication must exist.
class Program
{
public:
    // `appDir` as the --app-dir option (nullopt: the per-user folder); `clock` the
    // clock to use (null: the system's).
    explicit Program(const std::optional<std::string>& appDir, const Clock* clock = nullptr);
    ~Program();

    TMainForm& window() { return *m_window; }
    Workbench& workbench() { return *m_workbench; }
    JvLink& jvLink() { return *m_jvLink; }
    Person& person() { return m_person; }
    const AppDir& appDir() const { return m_appDir; }

    // The presence check of this platform: the replay needs a feed folder, the real
    // JV-Link its bridge (and Wine prefix). The message to show when it is missing (the
    // program still opens), nullopt otherwise.
    std::optional<std::string> jvLinkMissing() const;
    // Whether another window has this application folder open.
    bool otherWindowOpen() const { return !m_instance.held(); }
    // Shows the window, then FormShow (JVInit), the note that another window has the
    // folder open, and the presence message.
    void show();

private:
    AppDir m_appDir;
    InstanceLock m_instance; // held while this window is the folder's only one
    SystemClock m_systemClock;
    const Clock& m_clock;
    GuiPerson m_person;
    OwnerQueue m_ownerQueue; // outlives the Workbench, whose worker posts to it
    JvLinkChoice m_choice;
    std::unique_ptr<JvLink> m_jvLink;
    std::unique_ptr<Workbench> m_workbench;
    std::unique_ptr<TMainForm> m_window;
};

// Sets the application's fonts for Japanese; call once after the QApplication exists.
void setUpApplication();

} // namespace sorvantix::gui
