#include "core/app/startup.h"

#include "core/app/app_dir.h"
#include "core/jvlink/jv_link.h"
#include "core/text/error.h"
#include "core/text/error_log.h"

#include <system_error>

namespace sorvantix {

std::optional<std::string> checkJvLinkPresence(const JvLinkFactory& factory)
{
    bool present = false;
    try {
        present = factory && factory() != nullptr; // the test instance is released here
    } catch (...) {
        // Whatever the factory throws means the component is not usable.
        present = false;
    }
    if (present)
        return std::nullopt;
    return std::string(kJvLinkMissingMessage);
}

std::string softwareId()
{
    return std::string(kSoftwareIdPrefix) + std::string(kVersionText);
}

std::optional<std::string> initJvLink(JvLink& link)
{
    int rc = link.JVInit(softwareId());
    if (rc == jv::kOk)
        return std::nullopt;
    return std::string(kJvInitErrorMessage) + std::to_string(rc);
}

void prepareAppFolder(const AppDir& appDir, ErrorLog& errorLog)
{
    // The log lives in the folder, so the folder comes first on a first start.
    std::error_code ec;
    std::filesystem::create_directories(appDir.root(), ec);
    if (ec)
        throw Error("フォルダを作成できません: " + appDir.root().string() + ": " + ec.message());
    errorLog.startEntry(appDir.root());
    appDir.createFolders();
}

} // namespace sorvantix
