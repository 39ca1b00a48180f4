#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sorvantix {

class AppDir;
class ErrorLog;
class JvLink;

// Creates the JV-Link component; may throw or return null when it is not available.
using JvLinkFactory = std::function<std::unique_ptr<JvLink>()>;

inline constexpr std::string_view kMainWindowCaption =
    "videdoro・ソルヴァン法 for JRA-VAN Data Lab.";
inline constexpr std::string_view kVersionText = "Ver.1.30";
inline constexpr std::string_view kSoftwareIdPrefix = "SA730519/SD815207/Sorvantix/";
inline constexpr std::string_view kJvLinkMissingMessage =
    "JRA-VANのホームページより【JV-Link】を入手し、インストールしてください。";
inline constexpr std::string_view kJvInitErrorMessage = "JVInitエラーが発生しました。：";

// The presence check at program entry: creates a test instance and releases it at
// once. Returns the message to show (after a beep) before the program ends when the
// component cannot be created; nullopt when it can.
std::optional<std::string> checkJvLinkPresence(const JvLinkFactory& factory);

// "SA730519/SD815207/Sorvantix/Ver.1.30".
std::string softwareId();

// Initialises JV-Link with the software identifier. Returns the message to show for a
// non-zero result ("JVInitエラーが発生しました。：" + code); the program goes on
// either way.
std::optional<std::string> initJvLink(JvLink& link);

// The start-up's file work, in the order of the main window's creation: the
// application folder itself, the error log's start entry, then Data and Suisho.
// Throws Error when a folder or the log cannot be written.
void prepareAppFolder(const AppDir& appDir, ErrorLog& errorLog);

} // namespace sorvantix
