#pragma once

#include "core/text/text_file.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sorvantix::feed::test {

// The records of a feed file, each with its CR LF; a file that does not end in CR LF
// fails the test.
inline std::vector<std::string> fileRecords(const std::filesystem::path& path)
{
    const std::string all = readFileBytes(path);
    std::vector<std::string> out;
    size_t start = 0;
    while (start < all.size()) {
        const size_t end = all.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << path << ": last record without CR LF";
            break;
        }
        out.push_back(all.substr(start, end + 2 - start));
        start = end + 2;
    }
    return out;
}

// Files of a feed subfolder in name order.
inline std::vector<std::filesystem::path> folderFiles(const std::filesystem::path& dir)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::exists(dir))
        for (const auto& e : std::filesystem::directory_iterator(dir))
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace sorvantix::feed::test
