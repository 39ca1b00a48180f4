#include "core/text/error.h"
#include "core/text/folder_lock.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

fs::path freshDir(const std::string& name)
{
    fs::path dir =
        fs::temp_directory_path() / ("sorvantix-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

} // namespace

TEST(TextFile, WritesCp932WithCrLfAfterEveryLine)
{
    fs::path dir = freshDir("textfile");
    fs::path file = dir / "log.txt";
    writeLinesText(file, {"ソフト起動：", "", "x"});
    EXPECT_EQ(readFileBytes(file), "\x83\x5C\x83\x74\x83\x67\x8B\x4E\x93\xAE\x81\x46\r\n\r\nx\r\n");
    EXPECT_EQ(readLinesText(file), (std::vector<std::string>{"ソフト起動：", "", "x"}));
    fs::remove_all(dir);
}

TEST(TextFile, SplitsLinesLikeTheSystemLoadsThem)
{
    EXPECT_EQ(splitLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(splitLines("a\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(splitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(splitLines("").empty());
}

TEST(TextFile, AtomicWriteLeavesTheOldFileWhenTheTextCannotBeEncoded)
{
    fs::path dir = freshDir("atomic");
    fs::path file = dir / "keep.txt";
    writeLinesText(file, {"old"});
    EXPECT_THROW(writeLinesText(file, {"new", "😀"}), Error);
    EXPECT_EQ(readFileBytes(file), "old\r\n");
    writeFileAtomic(file, "new");
    EXPECT_EQ(readFileBytes(file), "new");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_THROW(writeFileAtomic(dir / "missing" / "x.txt", "x"), Error);
    EXPECT_THROW(readFileBytes(dir / "missing.txt"), Error);
    fs::remove_all(dir);
}

TEST(TextFile, GroupedAtomicWriteFailsOnlyTheFileThatCannotBeWritten)
{
    fs::path dir = freshDir("grouped");
    writeFileAtomic(dir / "a.jvRA", "old a");
    writeFileAtomic(dir / "b.jvRA", "old b");
    // A folder in b's place makes its rename fail; a and c are written all the same.
    fs::remove(dir / "b.jvRA");
    fs::create_directories(dir / "b.jvRA" / "blocker");
    const auto failures = writeFilesAtomic(
        {{dir / "a.jvRA", "new a"}, {dir / "b.jvRA", "new b"}, {dir / "c.jvRA", "new c"}});
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_FALSE(failures[0]);
    ASSERT_TRUE(failures[1]);
    EXPECT_THROW(std::rethrow_exception(failures[1]), Error);
    EXPECT_FALSE(failures[2]);
    EXPECT_EQ(readFileBytes(dir / "a.jvRA"), "new a");
    EXPECT_EQ(readFileBytes(dir / "c.jvRA"), "new c");
    EXPECT_TRUE(fs::is_directory(dir / "b.jvRA"));
    // No temporary file stays behind, for the failed one either.
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_FALSE(isTempFileName(entry.path().filename().string())) << entry.path();
    fs::remove_all(dir);
}

TEST(TextFile, RemovesOnlyTheTemporaryFilesOfTheWritersKinds)
{
    EXPECT_TRUE(isTempFileName(".2026年12月06日.jvRA.a1B2c3"));
    EXPECT_FALSE(isTempFileName(".2026年12月06日.jvRA"));
    EXPECT_FALSE(isTempFileName("2026年12月06日.jvRA.a1B2c3"));
    EXPECT_FALSE(isTempFileName(".x.jvRA.a1B2c"));
    EXPECT_FALSE(isTempFileName(".x.jvRA.a1B2c!"));

    fs::path dir = freshDir("stale");
    for (const char* name : {".d.jvRA.Ab12Cd", ".d.jvSEr.xyzXYZ", ".d.jvO1.123456", ".hidden",
                             "d.jvRA", ".d.jvRA.kILLed"})
        writeFileAtomic(dir / name, "x");
    fs::create_directories(dir / ".sub.jvRA.ABCDEF");
    // Without the folder's write lock another writer's file may be live: none goes.
    EXPECT_EQ(removeStaleTempFiles(dir, {".jvRA", ".jvSEr"}), 0);
    installWriteLock(dir);
    {
        WriteLock lock;
        EXPECT_EQ(removeStaleTempFiles(dir, {".jvRA", ".jvSEr"}), 3); // kILLed is six too
    }
    uninstallWriteLock();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".d.jvO1.123456", ".hidden", ".sub.jvRA.ABCDEF",
                                              "d.jvRA", kWriteLockFileName}));
    EXPECT_EQ(removeStaleTempFiles(dir / "missing", {".jvRA"}), 0);
    fs::remove_all(dir);
}
