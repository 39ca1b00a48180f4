#pragma once

#include <algorithm>
#include <filesystem>
#include <vector>

namespace sorvantix::test {

// The entries of a folder in name order; none when it does not exist.
inline std::vector<std::filesystem::path> sortedFiles(const std::filesystem::path& dir)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(dir))
        for (const auto& e : std::filesystem::directory_iterator(dir))
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace sorvantix::test
