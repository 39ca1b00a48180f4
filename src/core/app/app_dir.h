#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// Looks up an environment variable; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
std::optional<std::string> systemEnv(const char* name);

// The value of "--app-dir DIR" or "--app-dir=DIR" among the program arguments (without
// the program name); nullopt when absent. Throws Error when the option has no value.
std::optional<std::string> appDirOption(const std::vector<std::string>& args);

// The application folder: the --app-dir value if given, else $XDG_DATA_HOME/sorvantix,
// else $HOME/.local/share/sorvantix. A relative XDG_DATA_HOME is ignored, as the XDG
// rules ask. The result is absolute and has no trailing separator. Throws Error when
// neither the option nor HOME gives a folder.
std::filesystem::path resolveAppDir(const std::optional<std::string>& option,
                                    const EnvLookup& env = systemEnv);

// The application folder and every path built from it (AppDir + a fixed suffix). The
// folder names are exact: this file system tells case apart.
class AppDir
{
public:
    explicit AppDir(std::filesystem::path root);

    const std::filesystem::path& root() const { return m_root; }

    std::filesystem::path dataDir() const { return m_root / "Data"; }
    std::filesystem::path suishoDir() const { return m_root / "Suisho"; }
    std::filesystem::path hpUploadDir() const { return m_root / "HPupload"; }
    std::filesystem::path feedDir() const { return m_root / "feed"; }
    std::filesystem::path errorLogFile() const { return m_root / "ErrorLog.txt"; }
    std::filesystem::path userSetFile() const { return m_root / "UserSet.usd"; }
    std::filesystem::path iniFile() const { return m_root / "sorvantix.ini"; }

    // The odds folder of a day, Data/yyyymmdd. Throws Error unless `yyyymmdd` is eight
    // digits, so no caller can build a path outside Data.
    std::filesystem::path oddsDayDir(std::string_view yyyymmdd) const;

    // Creates the application folder, Data and Suisho where missing. Throws Error
    // naming the folder that cannot be created.
    void createFolders() const;

private:
    std::filesystem::path m_root;
};

} // namespace sorvantix
