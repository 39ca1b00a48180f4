#include "core/app/app_dir.h"
#include "core/app/temp_dir.h"
#include "core/text/error.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>

using namespace sorvantix;
using sorvantix::test::TempDir;
namespace fs = std::filesystem;

namespace {

EnvLookup envOf(std::map<std::string, std::string> vars)
{
    return [vars](const char* name) -> std::optional<std::string> {
        auto it = vars.find(name);
        if (it == vars.end())
            return std::nullopt;
        return it->second;
    };
}

} // namespace

struct ResolveCase
{
    std::optional<std::string> option;
    std::map<std::string, std::string> env;
    std::string expected;
};

class ResolveAppDirTest : public testing::TestWithParam<ResolveCase>
{
};

TEST_P(ResolveAppDirTest, OptionThenXdgThenHome)
{
    const auto& c = GetParam();
    EXPECT_EQ(resolveAppDir(c.option, envOf(c.env)), fs::path(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ResolveAppDirTest,
    testing::Values(
        ResolveCase{"/srv/odds", {{"XDG_DATA_HOME", "/x"}, {"HOME", "/h"}}, "/srv/odds"},
        ResolveCase{"/srv/odds/", {}, "/srv/odds"},
        ResolveCase{"/srv/./a/../odds", {}, "/srv/odds"},
        ResolveCase{std::nullopt, {{"XDG_DATA_HOME", "/x"}, {"HOME", "/h"}}, "/x/sorvantix"},
        ResolveCase{std::nullopt, {{"XDG_DATA_HOME", "/x/"}}, "/x/sorvantix"},
        ResolveCase{
            std::nullopt, {{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}, "/h/.local/share/sorvantix"},
        ResolveCase{
            std::nullopt, {{"XDG_DATA_HOME", "rel"}, {"HOME", "/h"}}, "/h/.local/share/sorvantix"},
        ResolveCase{std::nullopt, {{"HOME", "/h"}}, "/h/.local/share/sorvantix"},
        ResolveCase{"", {{"HOME", "/h"}}, "/h/.local/share/sorvantix"}));

TEST(AppDir, RelativeOptionBecomesAbsoluteAndNoHomeIsAnError)
{
    EXPECT_EQ(resolveAppDir("work", envOf({})), fs::current_path() / "work");
    EXPECT_THROW(resolveAppDir(std::nullopt, envOf({})), Error);
    EXPECT_THROW(resolveAppDir(std::nullopt, envOf({{"HOME", ""}})), Error);
}

TEST(AppDir, FindsTheOptionAmongTheArguments)
{
    using Args = std::vector<std::string>;
    EXPECT_EQ(appDirOption(Args{"--app-dir", "/a"}), "/a");
    EXPECT_EQ(appDirOption(Args{"-v", "--app-dir=/b", "x"}), "/b");
    EXPECT_EQ(appDirOption(Args{"--app-directory", "/c"}), std::nullopt);
    EXPECT_EQ(appDirOption(Args{}), std::nullopt);
    EXPECT_THROW(appDirOption(Args{"--app-dir"}), Error);
    EXPECT_THROW(appDirOption(Args{"--app-dir="}), Error);
}

TEST(AppDir, BuildsEveryPathWithItsExactName)
{
    AppDir dir("/d");
    EXPECT_EQ(dir.dataDir(), "/d/Data");
    EXPECT_EQ(dir.suishoDir(), "/d/Suisho");
    EXPECT_EQ(dir.hpUploadDir(), "/d/HPupload");
    EXPECT_EQ(dir.feedDir(), "/d/feed");
    EXPECT_EQ(dir.errorLogFile(), "/d/ErrorLog.txt");
    EXPECT_EQ(dir.userSetFile(), "/d/UserSet.usd");
    EXPECT_EQ(dir.iniFile(), "/d/sorvantix.ini");
    EXPECT_EQ(dir.oddsDayDir("20240106"), "/d/Data/20240106");
    for (const char* bad : {"", "2024016", "202401066", "../../x", "2024/106", "２０２４０１０６"})
        EXPECT_THROW(dir.oddsDayDir(bad), Error) << bad;
}

TEST(AppDir, CreatesTheFolderDataAndSuisho)
{
    TempDir tmp;
    AppDir dir(tmp.path() / "new" / "sorvantix");
    dir.createFolders();
    dir.createFolders(); // existing folders are fine
    EXPECT_TRUE(fs::is_directory(dir.dataDir()));
    EXPECT_TRUE(fs::is_directory(dir.suishoDir()));
    EXPECT_FALSE(fs::exists(dir.root() / "DATA"));

    AppDir blocked(tmp.path() / "blocked");
    fs::create_directories(blocked.root());
    std::ofstream(blocked.dataDir()) << "a file where the folder belongs";
    EXPECT_THROW(blocked.createFolders(), Error);
}
