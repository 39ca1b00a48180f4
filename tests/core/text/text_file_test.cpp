#include "core/text/error.h"
#include "core/text/text_file.h"

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
