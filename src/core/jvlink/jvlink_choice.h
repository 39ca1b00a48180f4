#pragma once

#include "core/jvlink/bridge_jv_link.h"
#include "core/jvlink/jv_link.h"

#include <filesystem>
#include <memory>
#include <string>

namespace sorvantix {

class Clock;

// Which JV-Link the program uses: the replay of a feed folder, or the real component
// through the bridge program. Kept in the replay's settings file (AppDir/jvlink.ini),
// section "JVLink": Kind ("replay" or "bridge"), Bridge, Runner, WinePrefix,
// OpenTimeout, ReadTimeout and CallTimeout (seconds). The feed folder stays under its
// own key there (FeedFolder).
enum class JvLinkKind { Replay, Bridge };

struct JvLinkChoice
{
    JvLinkKind kind = JvLinkKind::Replay;
    BridgeSettings bridge;
};

// The bridge installed beside the running program (sorvantix-jvlink-bridge.exe in the
// folder of /proc/self/exe).
std::filesystem::path defaultBridgePath();

// The choice kept for the application folder; the replay when none is kept. Values
// that cannot be used fall back to their defaults (timeouts from 1 s to 24 h).
JvLinkChoice readJvLinkChoice(const std::filesystem::path& appRoot);
// Keeps the choice. Throws Error when the settings file cannot be written.
void writeJvLinkChoice(const std::filesystem::path& appRoot, const JvLinkChoice& choice);

// One line for the status bar, the version dialog and `sorvantix-cli jvlink`:
// "リプレイ（フィード: DIR）", "JV-Link（Wine: PREFIX、中継: EXE）" or
// "JV-Link（中継を直接起動: EXE）".
std::string jvLinkChoiceText(const JvLinkChoice& choice, const std::filesystem::path& feedFolder);

// The JvLink of the choice: a ReplayJvLink of the application folder that publishes its
// real-time data by `clock` (the program's clock; null serves the whole feed), or a
// BridgeJvLink whose problems go to `onProblem`.
std::unique_ptr<JvLink> makeJvLink(const std::filesystem::path& appRoot, const JvLinkChoice& choice,
                                   BridgeJvLink::ProblemSink onProblem = {},
                                   const Clock* clock = nullptr);

} // namespace sorvantix
