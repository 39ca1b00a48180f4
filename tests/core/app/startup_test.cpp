#include "core/app/app_dir.h"
#include "core/app/startup.h"
#include "core/app/temp_dir.h"
#include "core/jvlink/scripted_jv_link.h"
#include "core/text/clock.h"
#include "core/text/error_log.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace sorvantix;
using sorvantix::test::ScriptedJvLink;
using sorvantix::test::TempDir;

TEST(Startup, PresenceCheckFailsWhenTheComponentCannotBeCreated)
{
    const std::string missing =
        "JRA-VANのホームページより【JV-Link】を入手し、インストールしてください。";
    JvLinkFactory throws = []() -> std::unique_ptr<JvLink> {
        throw std::runtime_error("class not registered");
    };
    JvLinkFactory none = []() -> std::unique_ptr<JvLink> { return nullptr; };
    int created = 0;
    JvLinkFactory works = [&]() -> std::unique_ptr<JvLink> {
        ++created;
        return std::make_unique<ScriptedJvLink>();
    };
    EXPECT_EQ(checkJvLinkPresence(throws), missing);
    EXPECT_EQ(checkJvLinkPresence(none), missing);
    EXPECT_EQ(checkJvLinkPresence(JvLinkFactory{}), missing);
    EXPECT_EQ(checkJvLinkPresence(works), std::nullopt);
    EXPECT_EQ(created, 1);
}

TEST(Startup, InitialisesWithTheSoftwareIdentifierAndReportsTheCode)
{
    EXPECT_EQ(softwareId(), "SA730519/SD815207/Sorvantix/Ver.1.30");

    ScriptedJvLink failing;
    failing.initResults.push_back(-103);
    EXPECT_EQ(initJvLink(failing), "JVInitエラーが発生しました。：-103");
    EXPECT_EQ(failing.calls,
              std::vector<std::string>{"JVInit SA730519/SD815207/Sorvantix/Ver.1.30"});

    ScriptedJvLink ready;
    EXPECT_EQ(initJvLink(ready), std::nullopt);
}

TEST(Startup, PreparesTheFolderOnAFirstStart)
{
    TempDir tmp;
    AppDir dir(tmp.path() / "share" / "sorvantix");
    SettableClock clock({2024, 1, 6, 9, 0, 0});
    ErrorLog log(dir.errorLogFile(), clock);
    prepareAppFolder(dir, log);
    EXPECT_TRUE(std::filesystem::is_directory(dir.dataDir()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.suishoDir()));
    EXPECT_EQ(readLinesText(dir.errorLogFile()),
              (std::vector<std::string>{"ソフト起動：2024/01/06 09:00:00", dir.root().string()}));
}
