#pragma once

#include "core/jvlink/child_process.h"
#include "core/jvlink/jv_link.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace sorvantix {

// How the bridge program is started and how long each call may take.
struct BridgeSettings
{
    std::filesystem::path bridge;          // sorvantix-jvlink-bridge.exe
    std::string runner = "wine";           // the program that runs it; empty: started directly
    std::filesystem::path winePrefix;      // WINEPREFIX for the runner (empty: Wine's default)
    std::chrono::seconds openTimeout{120}; // JVOpen, JVRTOpen
    std::chrono::seconds readTimeout{60};  // JVRead, JVStatus
    std::chrono::seconds callTimeout{10};  // the other calls, and the bridge's start
};

// The JV-Link result every failure of the bridge itself gives (a timeout, a bridge that
// died or talks nonsense, a missing Wine, the object not installed): the component's
// "internal error". What happened is told through the problem callback.
inline constexpr int kBridgeFailure = jv::kInternalError;

// JvLink over the real component: the 32-bit bridge program hosts the JV-Link object
// and answers one request at a time on its standard input and output
// (core/jvlink/bridge_protocol.h). The bridge is started at the first call and kept;
// JVInit is sent again whenever a fresh bridge starts. Every call has a timeout
// (JVSetUIProperties waits for the person): a call that runs out kills the bridge by its
// process id (and the prefix's wineserver when this started it), returns
// kBridgeFailure and says why; the next call starts a fresh bridge. A bridge that dies,
// a broken pipe, garbage on its output or a missing runner end the same way, never in
// a hang or a crash. Not thread-safe: the request queue calls it from one thread.
class BridgeJvLink : public JvLink
{
public:
    using ProblemSink = std::function<void(const std::string& message)>;

    explicit BridgeJvLink(BridgeSettings settings, ProblemSink onProblem = {});
    ~BridgeJvLink() override;

    int JVInit(const std::string& sid) override;
    int JVSetUIProperties() override;
    int JVOpen(const std::string& dataspec, const std::string& fromtime, int option, int& readCount,
               int& downloadCount, std::string& lastFileTimestamp) override;
    int JVRTOpen(const std::string& dataspec, const std::string& key) override;
    int JVStatus() override;
    int JVRead(std::string& buffer, int& size, std::string& fileName) override;
    int JVClose() override;
    void JVCancel() override;

    // The component's m_JVLinkVersion; starts the bridge when it is not running.
    // Empty when it cannot be had (lastProblem() says why).
    std::string version();
    // What went wrong last (UTF-8), empty after a call that worked.
    const std::string& lastProblem() const { return m_problem; }
    // Seconds from starting the bridge to its hello, of the last start.
    double lastStartSeconds() const { return m_startSeconds; }
    // Whether a bridge process is running now.
    bool running() const { return m_child != nullptr; }
    // Ends the bridge (Quit, then by its id when it does not end at once).
    void stop();

    const BridgeSettings& settings() const { return m_settings; }

private:
    struct Reply
    {
        std::int32_t hresult = 0;
        std::int32_t result = 0;
        std::string rest; // the out fields
    };
    std::optional<Reply> call(const std::string& payload, std::chrono::seconds timeout,
                              const char* operation);
    bool ensureStarted();
    std::optional<std::string> readFrame(std::chrono::steady_clock::time_point deadline,
                                         std::chrono::seconds timeout, const char* operation);
    void fail(std::string message);
    // Ends the bridge by its id, and the prefix's wineserver when this started it and
    // `wineServerToo` (after a failure: the services of a hung program linger).
    void killBridge(bool wineServerToo = true);

    BridgeSettings m_settings;
    ProblemSink m_onProblem;
    std::unique_ptr<ChildProcess> m_child;
    bool m_startedWineServer = false;
    std::optional<std::string> m_sid; // sent again to every fresh bridge
    std::string m_version;
    std::string m_problem;
    double m_startSeconds = 0;
};

// The message for a call that ran out of time (the likely cause included).
std::string bridgeTimeoutText(const char* operation, std::chrono::seconds timeout);

} // namespace sorvantix
