#pragma once

#include <string>
#include <string_view>

namespace sorvantix {

// The message for a JV-Link result: the body for `code` of `operation` ("JVOpen",
// "JVRTOpen", "JVRead", "JVStatus", "JVClose", "JVSetUIProperties"; compared exactly),
// followed by "(" code ")". A code or operation without a body gives only the
// bracketed code. UTF-8; every failure is shown and logged in these words.
std::string JvResultText(std::string_view operation, int code);

} // namespace sorvantix
