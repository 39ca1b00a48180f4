// The core's folders form layers: a file includes only from its own folder and the
// folders below it, so lower layers never depend on the windows' working state.

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Bottom to top.
constexpr std::array kLayers{"text",     "jvlink",  "store", "odds", "results",
                             "analysis", "present", "study", "app"};

int layerOf(const std::string& folder)
{
    auto it = std::find(kLayers.begin(), kLayers.end(), folder);
    return it == kLayers.end() ? -1 : static_cast<int>(it - kLayers.begin());
}

struct Include
{
    fs::path file;
    int line;
    std::string target;
};

std::vector<Include> coreIncludes(const fs::path& coreDir)
{
    static const std::regex include(R"(^\s*#\s*include\s*"core/([^/"]+)/[^"]+")");
    std::vector<Include> found;
    for (const auto& entry : fs::recursive_directory_iterator(coreDir)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        std::ifstream in(entry.path());
        std::string text;
        for (int n = 1; std::getline(in, text); ++n) {
            std::smatch m;
            if (std::regex_search(text, m, include))
                found.push_back({entry.path(), n, m[1].str()});
        }
    }
    return found;
}

TEST(IncludeOrder, CoreFoldersIncludeOnlyFromTheirOwnLayerOrBelow)
{
    const fs::path coreDir = fs::path(SOURCE_DIR) / "src" / "core";
    ASSERT_TRUE(fs::is_directory(coreDir)) << coreDir;
    const auto includes = coreIncludes(coreDir);
    // The check must see the core's includes, or it proves nothing.
    ASSERT_GT(includes.size(), 100u);
    for (const auto& inc : includes) {
        const std::string folder = inc.file.parent_path().filename().string();
        const int from = layerOf(folder);
        const int to = layerOf(inc.target);
        ASSERT_GE(from, 0) << "unknown core folder " << folder << " (" << inc.file << ")";
        EXPECT_GE(to, 0) << inc.file << ":" << inc.line << " includes unknown folder "
                         << inc.target;
        EXPECT_LE(to, from) << inc.file.lexically_relative(coreDir) << ":" << inc.line << " ("
                            << folder << ") includes core/" << inc.target << ", a layer above it";
    }
}

TEST(IncludeOrder, EveryCoreFolderIsALayer)
{
    const fs::path coreDir = fs::path(SOURCE_DIR) / "src" / "core";
    for (const auto& entry : fs::directory_iterator(coreDir)) {
        if (entry.is_directory()) {
            EXPECT_GE(layerOf(entry.path().filename().string()), 0) << entry.path();
        }
    }
}

} // namespace
