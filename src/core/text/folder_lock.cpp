#include "core/text/folder_lock.h"

#include "core/text/error.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

struct LockState
{
    std::mutex mutex;
    fs::path folder; // empty: no folder installed
    std::chrono::milliseconds wait{kDefaultWriteLockWait};
    std::function<void(const std::string&)> onWait;
    int fd = -1;
    int depth = 0;
    bool acquiring = false; // a thread of this process waits for the flock
    std::condition_variable acquired;
};

LockState& state()
{
    static LockState s;
    return s;
}

bool isInside(const fs::path& path, const fs::path& folder)
{
    if (folder.empty())
        return false;
    const fs::path p = fs::absolute(path).lexically_normal();
    auto f = folder.begin();
    auto q = p.begin();
    for (; f != folder.end(); ++f, ++q) {
        if (f->empty())
            continue; // a trailing separator
        if (q == p.end() || *q != *f)
            return false;
    }
    return true;
}

std::string lockFailure(const fs::path& file, const std::string& why)
{
    return "アプリケーションフォルダのロックを取得できません: " + file.string() + ": " + why;
}

// Takes the flock of `file`, waiting up to `wait` for another program to let it go.
// The descriptor, or -1 with `failure` set.
int takeLock(const fs::path& file, std::chrono::milliseconds wait,
             const std::function<void(const std::string&)>& onWait, std::string& failure)
{
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        failure = std::strerror(errno);
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    bool told = false;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        if (e == EINTR)
            continue;
        if (e != EWOULDBLOCK) {
            ::close(fd);
            failure = std::strerror(e);
            return -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            failure =
                "他のプログラムが" +
                std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) +
                "秒以上書き込み中です。そのプログラムの終了を待ってからやり直してください。";
            return -1;
        }
        if (!told && onWait) {
            onWait(std::string(kWriteLockWaitMessage));
            told = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return fd;
}

} // namespace

void installWriteLock(const fs::path& folder, std::chrono::milliseconds wait,
                      std::function<void(const std::string&)> onWait)
{
    LockState& s = state();
    std::lock_guard guard(s.mutex);
    s.folder = fs::absolute(folder).lexically_normal();
    s.wait = wait;
    s.onWait = std::move(onWait);
}

void uninstallWriteLock()
{
    LockState& s = state();
    std::lock_guard guard(s.mutex);
    s.folder.clear();
    s.onWait = nullptr;
}

WriteLock::WriteLock()
{
    LockState& s = state();
    std::unique_lock guard(s.mutex);
    // One thread of this process acquires for all; the others wait for it here, so no
    // thread holds the mutex while the other program is waited for.
    s.acquired.wait(guard, [&] { return !s.acquiring; });
    if (s.folder.empty())
        return;
    if (s.depth > 0) {
        ++s.depth;
        m_active = true;
        return;
    }
    s.acquiring = true;
    const fs::path file = s.folder / kWriteLockFileName;
    const auto wait = s.wait;
    const auto onWait = s.onWait;
    guard.unlock();
    int fd = -1;
    std::string failure;
    try {
        fd = takeLock(file, wait, onWait, failure);
    } catch (...) {
        failure = "内部エラー";
    }
    guard.lock();
    s.acquiring = false;
    if (fd >= 0) {
        s.fd = fd;
        s.depth = 1;
        m_active = true;
    }
    s.acquired.notify_all();
    if (fd < 0)
        throw Error(lockFailure(file, failure));
}

WriteLock::~WriteLock()
{
    if (!m_active)
        return;
    LockState& s = state();
    std::lock_guard guard(s.mutex);
    if (--s.depth == 0) {
        ::close(s.fd); // releases the flock
        s.fd = -1;
    }
}

bool WriteLock::heldFor(const fs::path& path)
{
    LockState& s = state();
    std::lock_guard guard(s.mutex);
    return s.depth > 0 && isInside(path, s.folder);
}

bool WriteLock::covers(const fs::path& path)
{
    LockState& s = state();
    std::lock_guard guard(s.mutex);
    return isInside(path, s.folder);
}

InstanceLock InstanceLock::tryTake(const fs::path& folder)
{
    InstanceLock lock;
    const fs::path file = folder / "sorvantix-window.lock";
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return lock;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return lock;
    }
    lock.m_fd = fd;
    return lock;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace sorvantix
