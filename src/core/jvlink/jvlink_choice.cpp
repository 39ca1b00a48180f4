#include "core/jvlink/jvlink_choice.h"

#include "core/jvlink/replay_jv_link.h"
#include "core/text/error.h"
#include "core/text/ini_file.h"

#include <system_error>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSection = "JVLink";
constexpr int kMaxTimeout = 24 * 60 * 60;

fs::path settingsFile(const fs::path& appRoot)
{
    return appRoot / "jvlink.ini";
}

std::chrono::seconds timeoutOf(const TIniGT& ini, std::string_view key,
                               std::chrono::seconds fallback)
{
    const int v = ini.ReadInteger(kSection, key, static_cast<int>(fallback.count()));
    return v >= 1 && v <= kMaxTimeout ? std::chrono::seconds(v) : fallback;
}

} // namespace

fs::path defaultBridgePath()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return (ec ? fs::current_path(ec) : self.parent_path()) / "sorvantix-jvlink-bridge.exe";
}

JvLinkChoice readJvLinkChoice(const fs::path& appRoot)
{
    JvLinkChoice choice;
    const fs::path file = settingsFile(appRoot);
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        choice.bridge.bridge = defaultBridgePath();
        return choice;
    }
    const TIniGT ini(file);
    choice.kind = ini.ReadString(kSection, "Kind", "replay") == "bridge" ? JvLinkKind::Bridge
                                                                         : JvLinkKind::Replay;
    const std::string bridge = ini.ReadString(kSection, "Bridge", "");
    choice.bridge.bridge = bridge.empty() ? defaultBridgePath() : fs::path(bridge);
    choice.bridge.runner = ini.ReadString(kSection, "Runner", "wine");
    choice.bridge.winePrefix = ini.ReadString(kSection, "WinePrefix", "");
    const BridgeSettings defaults;
    choice.bridge.openTimeout = timeoutOf(ini, "OpenTimeout", defaults.openTimeout);
    choice.bridge.readTimeout = timeoutOf(ini, "ReadTimeout", defaults.readTimeout);
    choice.bridge.callTimeout = timeoutOf(ini, "CallTimeout", defaults.callTimeout);
    return choice;
}

void writeJvLinkChoice(const fs::path& appRoot, const JvLinkChoice& choice)
{
    const TIniGT ini(settingsFile(appRoot));
    const BridgeSettings& b = choice.bridge;
    ini.WriteString(kSection, "Kind", choice.kind == JvLinkKind::Bridge ? "bridge" : "replay");
    ini.WriteString(kSection, "Bridge", b.bridge.string());
    ini.WriteString(kSection, "Runner", b.runner);
    ini.WriteString(kSection, "WinePrefix", b.winePrefix.string());
    ini.WriteInteger(kSection, "OpenTimeout", static_cast<int>(b.openTimeout.count()));
    ini.WriteInteger(kSection, "ReadTimeout", static_cast<int>(b.readTimeout.count()));
    ini.WriteInteger(kSection, "CallTimeout", static_cast<int>(b.callTimeout.count()));
}

std::string jvLinkChoiceText(const JvLinkChoice& choice, const fs::path& feedFolder)
{
    if (choice.kind == JvLinkKind::Replay)
        return "リプレイ（フィード: " + feedFolder.string() + "）";
    const BridgeSettings& b = choice.bridge;
    if (b.runner.empty())
        return "JV-Link（中継を直接起動: " + b.bridge.string() + "）";
    return "JV-Link（Wine: " +
           (b.winePrefix.empty() ? std::string("既定") : b.winePrefix.string()) +
           "、中継: " + b.bridge.string() + "）";
}

std::unique_ptr<JvLink> makeJvLink(const fs::path& appRoot, const JvLinkChoice& choice,
                                   BridgeJvLink::ProblemSink onProblem, const Clock* clock)
{
    if (choice.kind == JvLinkKind::Bridge)
        return std::make_unique<BridgeJvLink>(choice.bridge, std::move(onProblem));
    auto replay = std::make_unique<ReplayJvLink>(appRoot);
    replay->setClock(clock);
    return replay;
}

} // namespace sorvantix
