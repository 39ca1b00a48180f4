// Shared pieces of the fuzz targets: a scratch folder per process and whole-file
// writes, so a target can hand arbitrary bytes to a reader that takes a path.

#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace sorvantix::fuzz {

// Removed when the process ends; libFuzzer runs every input in the same process.
inline const std::filesystem::path& scratch()
{
    static const std::filesystem::path dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::filesystem::path d = std::filesystem::path(base ? base : "/tmp") /
                                  ("sorvantix-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(d);
        std::filesystem::create_directories(d);
        static struct Cleanup
        {
            std::filesystem::path path;
            ~Cleanup()
            {
                std::error_code ec;
                std::filesystem::remove_all(path, ec);
            }
        } cleanup{d};
        return d;
    }();
    return dir;
}

inline void writeBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder for one input.
inline std::filesystem::path freshDir(std::string_view name)
{
    std::filesystem::path d = scratch() / std::string(name);
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d);
    return d;
}

// An input cut into `count` parts at each kPartMark; the last part takes the rest, and
// missing parts are empty. The seeds are made the same way (scripts/fuzz.sh).
inline constexpr std::string_view kPartMark = "\n--8<--\n";

inline std::vector<std::string_view> splitParts(std::string_view bytes, size_t count)
{
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        const size_t at = bytes.find(kPartMark);
        if (at == std::string_view::npos)
            break;
        parts.push_back(bytes.substr(0, at));
        bytes.remove_prefix(at + kPartMark.size());
    }
    parts.push_back(bytes);
    parts.resize(count);
    return parts;
}

} // namespace sorvantix::fuzz
