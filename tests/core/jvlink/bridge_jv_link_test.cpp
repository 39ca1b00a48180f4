#include "core/app/temp_dir.h"
#include "core/jvlink/bridge_jv_link.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/store/record_builder.h"
#include "core/text/text_file.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace sorvantix;
using sorvantix::test::TempDir;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kSid = "SA730519/SD815207/Sorvantix/Ver.1.30";
constexpr const char* kKey = "2024060205030811";

// Every record read to the end ("-1" for a file switch), or the error that ended it.
std::vector<std::string> readAll(JvLink& link)
{
    std::vector<std::string> out;
    for (int i = 0; i < 10000; ++i) {
        std::string buffer, name;
        int size = jv::kReadBufferSize;
        const int rc = link.JVRead(buffer, size, name);
        if (rc > 0)
            out.push_back(name + ":" + buffer);
        else if (rc == jv::kReadEnd)
            return out;
        else if (rc < jv::kReadDownloading) {
            out.push_back(std::to_string(rc));
            return out;
        } else if (rc == jv::kReadFileSwitch)
            out.push_back("-1"); // downloading: read again
    }
    return out;
}

// A replay feed with real-time odds and two stored files, served by the stand-in bridge
// (its runner) or in-process.
class BridgeJvLinkTest : public ::testing::Test
{
protected:
    BridgeJvLinkTest()
    {
        std::string odds;
        for (const char* time : {"06021400", "06021410", "06021420"}) {
            RecordBuilder b(RecordType::O1);
            b.setRaceKey(kKey).set("data_kind", "1").set("announce_time", time);
            std::string bytes = b.bytes();
            // Every byte value survives, NUL and the NEC duplicates included.
            bytes.replace(300, 6, std::string("\0\x87\x90\xED\x40\xFF", 6));
            odds += bytes;
        }
        write(feed() / "0B41" / (std::string(kKey) + ".jvd"), odds);
        RecordBuilder ra(RecordType::RA);
        ra.setRaceKey(kKey);
        write(feed() / "RACE" / "20240601120000-RA.jvd", ra.bytes());
        write(feed() / "RACE" / "20240601130000-RA.jvd", ra.bytes() + ra.bytes());
        configure({});
    }

    void write(const fs::path& file, const std::string& bytes)
    {
        fs::create_directories(file.parent_path());
        writeFileAtomic(file, bytes);
    }
    fs::path app() const { return m_dir.path() / "app"; }
    fs::path feed() const { return app() / "feed"; }
    fs::path config() const { return m_dir.path() / "bridge.conf"; }
    void configure(const std::vector<std::string>& lines)
    {
        std::string text = "app=" + app().string() + "\n";
        for (const auto& l : lines)
            text += l + "\n";
        write(config(), text);
    }
    BridgeSettings settings(std::chrono::seconds timeout = 10s) const
    {
        BridgeSettings s;
        s.runner = STAND_IN_BRIDGE;
        s.bridge = config();
        s.openTimeout = timeout;
        s.readTimeout = timeout;
        s.callTimeout = timeout;
        return s;
    }

    TempDir m_dir;
    std::vector<std::string> problems;
    BridgeJvLink::ProblemSink sink = [this](const std::string& m) { problems.push_back(m); };
};

} // namespace

TEST_F(BridgeJvLinkTest, DeliversWhatTheComponentDeliversByteForByte)
{
    for (bool garbage : {false, true}) {
        SCOPED_TRACE(garbage ? "with garbage before the first frame" : "clean");
        configure(garbage ? std::vector<std::string>{"garbage=1"} : std::vector<std::string>{});
        BridgeJvLink bridge(settings(), sink);
        ReplayJvLink replay(app());
        for (JvLink* link : {static_cast<JvLink*>(&bridge), static_cast<JvLink*>(&replay)})
            ASSERT_EQ(link->JVInit(kSid), 0);
        EXPECT_EQ(bridge.version(), "stand-in 4.9.0");

        ASSERT_EQ(bridge.JVRTOpen("0B41", kKey), 0);
        ASSERT_EQ(replay.JVRTOpen("0B41", kKey), 0);
        const auto viaBridge = readAll(bridge);
        EXPECT_EQ(viaBridge.size(), 3u);
        EXPECT_EQ(viaBridge, readAll(replay));
        EXPECT_EQ(bridge.JVClose(), replay.JVClose());

        int reads[2], downloads[2];
        std::string stamps[2];
        EXPECT_EQ(bridge.JVOpen("RACE", "00000000000000", 4, reads[0], downloads[0], stamps[0]), 0);
        EXPECT_EQ(replay.JVOpen("RACE", "00000000000000", 4, reads[1], downloads[1], stamps[1]), 0);
        EXPECT_EQ(reads[0], 2);
        EXPECT_EQ(reads[0], reads[1]);
        EXPECT_EQ(stamps[0], "20240601130000");
        for (int s = 0; s < downloads[0]; s = bridge.JVStatus())
            ASSERT_GE(s, 0);
        const auto stored = readAll(bridge);
        EXPECT_EQ(stored.size(), 5u); // a record, a switch, two records, a switch
        EXPECT_EQ(stored[1], "-1");
        EXPECT_EQ(bridge.JVClose(), 0);
        EXPECT_TRUE(problems.empty());
    }
}

TEST_F(BridgeJvLinkTest, ACallThatHangsEndsWithinItsTimeoutAndTheNextCallStartsAFreshBridge)
{
    write(feed() / "faults.txt", std::string("JVRTOpen 0B41 * hang=30\n"));
    BridgeJvLink bridge(settings(1s), sink);
    ASSERT_EQ(bridge.JVInit(kSid), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(bridge.JVRTOpen("0B41", kKey), kBridgeFailure);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("JV-Linkが応答しません（JVRTOpen、1秒）"), std::string::npos)
        << problems[0];
    EXPECT_NE(problems[0].find("更新のお知らせ"), std::string::npos);
    EXPECT_FALSE(bridge.running());

    fs::remove(feed() / "faults.txt");
    EXPECT_EQ(bridge.JVRTOpen("0B41", kKey), 0); // JVInit was sent to the new bridge
    EXPECT_EQ(readAll(bridge).size(), 3u);
    EXPECT_EQ(bridge.JVClose(), 0);
}

TEST_F(BridgeJvLinkTest, ABridgeThatDiesOrFallsSilentIsAFailureNeverAHang)
{
    // Request 1 is JVInit; the bridge dies at the open.
    configure({"die-at=2"});
    {
        BridgeJvLink bridge(settings(2s), sink);
        ASSERT_EQ(bridge.JVInit(kSid), 0);
        EXPECT_EQ(bridge.JVRTOpen("0B41", kKey), kBridgeFailure);
        ASSERT_FALSE(problems.empty());
        EXPECT_NE(problems.back().find("終了しました"), std::string::npos) << problems.back();
    }
    // The bridge stops answering in the middle of a read loop.
    configure({"silent-at=4"});
    problems.clear();
    BridgeJvLink bridge(settings(1s), sink);
    ASSERT_EQ(bridge.JVInit(kSid), 0);
    ASSERT_EQ(bridge.JVRTOpen("0B41", kKey), 0);
    std::string buffer, name;
    int size = jv::kReadBufferSize;
    EXPECT_GT(bridge.JVRead(buffer, size, name), 0);
    size = jv::kReadBufferSize;
    EXPECT_EQ(bridge.JVRead(buffer, size, name), kBridgeFailure);
    EXPECT_TRUE(buffer.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("応答しません"), std::string::npos);
    // The stream went with the bridge: a fresh one has nothing open.
    size = jv::kReadBufferSize;
    EXPECT_EQ(bridge.JVRead(buffer, size, name), jv::kNotOpened);
}

TEST_F(BridgeJvLinkTest, AMissingComponentRunnerOrBridgeIsSaidPlainly)
{
    configure({"no-object=1"});
    {
        BridgeJvLink bridge(settings(), sink);
        EXPECT_EQ(bridge.JVInit(kSid), kBridgeFailure);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find("0x80040154"), std::string::npos) << problems[0];
        EXPECT_NE(problems[0].find("インストールされていません"), std::string::npos);
    }
    problems.clear();
    BridgeSettings noWine = settings();
    noWine.runner = "/nonexistent/wine";
    BridgeJvLink withoutWine(noWine, sink);
    EXPECT_EQ(withoutWine.JVInit(kSid), kBridgeFailure);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("/nonexistent/wine"), std::string::npos) << problems[0];

    problems.clear();
    BridgeSettings noBridge = settings();
    noBridge.bridge = m_dir.path() / "missing.exe";
    BridgeJvLink withoutBridge(noBridge, sink);
    EXPECT_EQ(withoutBridge.JVRTOpen("0B41", kKey), kBridgeFailure);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("missing.exe"), std::string::npos);

    problems.clear();
    BridgeSettings noPrefix = settings();
    noPrefix.winePrefix = m_dir.path() / "no-prefix";
    BridgeJvLink withoutPrefix(noPrefix, sink);
    EXPECT_EQ(withoutPrefix.JVInit(kSid), kBridgeFailure);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("プレフィックスがありません"), std::string::npos);
}

// Under Wine with the stand-in object registered (make test-bridge sets the variables):
// every byte value, NUL and the NEC duplicates 0x8790 and 0xED40 included, comes through
// the real bridge unchanged.
TEST(WineBridge, EveryByteValueComesThroughTheRealBridgeUnchanged)
{
    const char* prefix = std::getenv("SORVANTIX_WINE_PREFIX");
    const char* exe = std::getenv("SORVANTIX_BRIDGE");
    const char* feed = std::getenv("SORVANTIX_FAKE_FEED");
    if (!prefix || !exe || !feed)
        GTEST_SKIP() << "runs under Wine: make test-bridge";
    std::string body;
    for (int b = 0; b < 256; ++b)
        if (b != '\n')
            body.push_back(static_cast<char>(b));
    const std::string records[] = {body + "\x87\x90\xED\x40\r\n",
                                   std::string("\x82\xA0\x00\x00\xFF\x81", 6) + body + "\r\n"};
    const std::string key = "2099010101010101";
    const fs::path file = fs::path(feed) / "0B41" / (key + ".jvd");
    fs::create_directories(file.parent_path());
    writeFileAtomic(file, records[0] + records[1]);

    BridgeSettings s;
    s.bridge = exe;
    s.winePrefix = prefix;
    std::vector<std::string> problems;
    BridgeJvLink bridge(s, [&](const std::string& m) { problems.push_back(m); });
    ASSERT_EQ(bridge.JVInit(kSid), 0) << (problems.empty() ? "" : problems.back());
    ASSERT_EQ(bridge.JVRTOpen("0B41", key), 0);
    for (const std::string& expected : records) {
        std::string buffer, name;
        int size = jv::kReadBufferSize;
        ASSERT_EQ(bridge.JVRead(buffer, size, name), static_cast<int>(expected.size()));
        EXPECT_EQ(buffer, expected);
        EXPECT_EQ(name, key + ".jvd");
    }
    std::string buffer, name;
    int size = jv::kReadBufferSize;
    EXPECT_EQ(bridge.JVRead(buffer, size, name), jv::kReadEnd);
    EXPECT_EQ(bridge.JVClose(), 0);
    EXPECT_FALSE(bridge.version().empty());
    fs::remove(file);
}
