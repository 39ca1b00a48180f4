#include "core/app/app_dir.h"

#include "core/text/error.h"

#include <cstdlib>
#include <system_error>

namespace sorvantix {

namespace fs = std::filesystem;

std::optional<std::string> systemEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::optional<std::string> appDirOption(const std::vector<std::string>& args)
{
    constexpr std::string_view kOption = "--app-dir";
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == kOption) {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw Error("--app-dir にフォルダが指定されていません。");
            return args[i + 1];
        }
        if (arg.starts_with(kOption) && arg.size() > kOption.size() && arg[kOption.size()] == '=') {
            std::string value(arg.substr(kOption.size() + 1));
            if (value.empty())
                throw Error("--app-dir にフォルダが指定されていません。");
            return value;
        }
    }
    return std::nullopt;
}

namespace {

fs::path normalised(const fs::path& path)
{
    fs::path out = fs::absolute(path).lexically_normal();
    // "/a/b/" normalises to "/a/b/" with an empty last element; AppDir has no trailing
    // separator.
    if (!out.has_filename() && out.has_parent_path() && out != out.root_path())
        out = out.parent_path();
    return out;
}

} // namespace

fs::path resolveAppDir(const std::optional<std::string>& option, const EnvLookup& env)
{
    if (option && !option->empty())
        return normalised(*option);
    if (auto xdg = env("XDG_DATA_HOME"); xdg && !xdg->empty() && fs::path(*xdg).is_absolute())
        return normalised(fs::path(*xdg) / "sorvantix");
    if (auto home = env("HOME"); home && !home->empty())
        return normalised(fs::path(*home) / ".local" / "share" / "sorvantix");
    throw Error("アプリケーションフォルダを決められません: HOME が設定されていません。"
                "--app-dir でフォルダを指定してください。");
}

AppDir::AppDir(fs::path root) : m_root(std::move(root)) {}

fs::path AppDir::oddsDayDir(std::string_view yyyymmdd) const
{
    bool digits = yyyymmdd.size() == 8;
    for (char c : yyyymmdd)
        digits = digits && c >= '0' && c <= '9';
    if (!digits)
        throw Error("オッズフォルダの日付が不正です: " + std::string(yyyymmdd));
    return dataDir() / std::string(yyyymmdd);
}

void AppDir::createFolders() const
{
    for (const fs::path& dir : {m_root, dataDir(), suishoDir()}) {
        std::error_code ec;
        fs::create_directories(dir, ec);
        std::error_code statEc;
        if (ec || !fs::is_directory(dir, statEc))
            throw Error("フォルダを作成できません: " + dir.string() +
                        (ec ? ": " + ec.message() : std::string()));
    }
}

} // namespace sorvantix
