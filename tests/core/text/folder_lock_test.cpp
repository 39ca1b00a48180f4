#include "core/text/error.h"
#include "core/text/folder_lock.h"
#include "core/text/text_file.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace sorvantix;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class FolderLockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("sorvantix-lock-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        uninstallWriteLock();
        fs::remove_all(dir);
    }

    // A child process that holds the folder's lock for `hold`, then writes `name`.
    pid_t childHolding(std::chrono::milliseconds hold, const std::string& name)
    {
        pid_t pid = ::fork();
        if (pid == 0) {
            try {
                installWriteLock(dir, 5s);
                WriteLock lock;
                writeFileAtomic(dir / "child-started", "x");
                std::this_thread::sleep_for(hold);
                writeFileAtomic(dir / name, "child");
            } catch (...) {
                ::_exit(3);
            }
            ::_exit(0);
        }
        // The child has the lock once its first file is there.
        for (int i = 0; i < 500 && !fs::exists(dir / "child-started"); ++i)
            std::this_thread::sleep_for(10ms);
        return pid;
    }

    static int exitCode(pid_t pid)
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir;
};

} // namespace

TEST_F(FolderLockTest, ASecondWriterWaitsWithAMessageUntilTheFirstIsDone)
{
    // The child holds the lock long enough that this side surely finds it taken.
    const pid_t child = childHolding(1500ms, "first");
    EXPECT_TRUE(fs::exists(dir / "child-started"));
    std::vector<std::string> told;
    installWriteLock(dir, 10s, [&](const std::string& text) { told.push_back(text); });
    {
        WriteLock lock;
        // The child's write came before ours.
        EXPECT_TRUE(fs::exists(dir / "first"));
        writeFileAtomic(dir / "second", "parent");
    }
    EXPECT_EQ(exitCode(child), 0);
    EXPECT_EQ(told, std::vector<std::string>{std::string(kWriteLockWaitMessage)});
}

TEST_F(FolderLockTest, AWaitThatRunsOutFailsNamingTheLockFile)
{
    const pid_t child = childHolding(1500ms, "late");
    installWriteLock(dir, 100ms);
    try {
        WriteLock lock;
        FAIL() << "the lock was taken while the child held it";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(kWriteLockFileName), std::string::npos) << e.what();
    }
    // The atomic write inside the folder waits for the lock as well, and fails the same.
    EXPECT_THROW(writeFileAtomic(dir / "blocked", "x"), Error);
    EXPECT_FALSE(fs::exists(dir / "blocked"));
    EXPECT_EQ(exitCode(child), 0);
    EXPECT_NO_THROW(writeFileAtomic(dir / "after", "x"));
}

TEST_F(FolderLockTest, TheLockIsTakenAgainInsideItselfAndFromOtherThreads)
{
    installWriteLock(dir, 200ms);
    EXPECT_FALSE(WriteLock::heldFor(dir));
    {
        WriteLock outer;
        WriteLock inner;
        EXPECT_TRUE(WriteLock::heldFor(dir / "Data" / "20261206"));
        EXPECT_FALSE(WriteLock::heldFor(dir.parent_path()));
        std::thread other([&] { EXPECT_NO_THROW(writeFileAtomic(dir / "from-thread", "x")); });
        other.join();
    }
    EXPECT_FALSE(WriteLock::heldFor(dir));
    // Released: another process takes it at once.
    const pid_t child = childHolding(0ms, "free");
    EXPECT_EQ(exitCode(child), 0);
    EXPECT_TRUE(fs::exists(dir / "free"));
}

TEST_F(FolderLockTest, WritesOutsideTheFolderTakeNoLock)
{
    const fs::path outside =
        dir.parent_path() / ("sorvantix-outside-" + std::to_string(::getpid()));
    const pid_t child = childHolding(800ms, "slow");
    installWriteLock(dir, 100ms);
    EXPECT_NO_THROW(writeFileAtomic(outside, "x"));
    EXPECT_FALSE(WriteLock::covers(dir.string() + "-other/file"));
    fs::remove(outside);
    EXPECT_EQ(exitCode(child), 0);
}

TEST_F(FolderLockTest, OnlyOneWindowHoldsTheInstanceLock)
{
    InstanceLock first = InstanceLock::tryTake(dir);
    EXPECT_TRUE(first.held());
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(InstanceLock::tryTake(dir).held() ? 1 : 0);
    EXPECT_EQ(exitCode(pid), 0);
    first = InstanceLock();
    pid = ::fork();
    if (pid == 0)
        ::_exit(InstanceLock::tryTake(dir).held() ? 0 : 1);
    EXPECT_EQ(exitCode(pid), 0);
}
