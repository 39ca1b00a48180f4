#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace sorvantix {

// One writer at a time per application folder: every operation that writes there holds
// an advisory lock (flock) on a lock file in the folder. Another program (or another
// instance of this one) that wants to write waits for it with a visible message and
// gives up after a bounded wait; readers never wait. Within one process the lock is
// shared by all threads and may be taken again while held, so an operation can hold it
// around writes that take it themselves.

inline constexpr const char* kWriteLockFileName = "sorvantix.lock";
inline constexpr std::string_view kWriteLockWaitMessage =
    "他のプログラムが書き込み中です。待っています…";
inline constexpr std::chrono::seconds kDefaultWriteLockWait{120};

// Names the folder whose writers take the lock, for this process: from then on every
// WriteLock locks it, and every atomic write of a file inside it takes the lock for
// that write. `onWait` (may be empty) is told kWriteLockWaitMessage once each time a
// writer has to wait; it may be called on any thread. Installing another folder
// replaces the first (the lock must not be held then).
void installWriteLock(const std::filesystem::path& folder,
                      std::chrono::milliseconds wait = kDefaultWriteLockWait,
                      std::function<void(const std::string&)> onWait = {});
// Forgets the folder (tests).
void uninstallWriteLock();

// Holds the installed folder's lock for its lifetime; nothing when no folder is
// installed. Throws Error naming the lock file when the wait runs out or the lock file
// cannot be opened.
class WriteLock
{
public:
    WriteLock();
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    // Whether this process holds the lock of a folder that contains `path` (or is it).
    static bool heldFor(const std::filesystem::path& path);
    // Whether `path` lies inside the installed folder.
    static bool covers(const std::filesystem::path& path);

private:
    bool m_active = false;
};

// Held for the life of a window on an application folder, so a second window on the same
// folder can tell that another is open. Empty when another process has it.
class InstanceLock
{
public:
    // Tries the instance lock of `folder` without waiting.
    static InstanceLock tryTake(const std::filesystem::path& folder);
    InstanceLock() = default;
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    ~InstanceLock();

    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace sorvantix
