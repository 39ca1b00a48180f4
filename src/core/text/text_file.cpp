#include "core/text/text_file.h"

#include "core/text/cp932.h"
#include "core/text/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvantix {

namespace fs = std::filesystem;

std::string readFileBytes(const fs::path& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Error("ファイルを開けません: " + path.string() + ": " + std::strerror(errno));
    // Read straight into a string of the file's size (and on, should it grow meanwhile):
    // odds files are read at every race selection.
    struct stat st
    {
    };
    size_t capacity =
        ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : size_t{0};
    std::string out(capacity + 1, '\0');
    size_t used = 0;
    for (;;) {
        if (used == out.size())
            out.resize(out.size() * 2 + 4096);
        ssize_t n = ::read(fd, out.data() + used, out.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int e = errno;
            ::close(fd);
            throw Error("ファイルを読めません: " + path.string() + ": " + std::strerror(e));
        }
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
    }
    ::close(fd);
    out.resize(used);
    return out;
}

std::vector<std::string> splitLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < bytes.size())
        lines.emplace_back(bytes.substr(start));
    return lines;
}

std::vector<std::string> readLinesRaw(const fs::path& path)
{
    return splitLines(readFileBytes(path));
}

std::vector<std::string> readLinesText(const fs::path& path)
{
    auto lines = readLinesRaw(path);
    for (auto& line : lines)
        line = fromCp932(line);
    return lines;
}

void writeLinesRaw(const fs::path& path, const std::vector<std::string>& lines)
{
    std::string bytes;
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    bytes.reserve(total);
    for (const auto& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    writeFileAtomic(path, bytes);
}

void writeLinesText(const fs::path& path, const std::vector<std::string>& lines)
{
    std::vector<std::string> encoded;
    encoded.reserve(lines.size());
    for (const auto& line : lines)
        encoded.push_back(toCp932(line));
    writeLinesRaw(path, encoded);
}

void writeFileAtomic(const fs::path& path, std::string_view bytes)
{
    fs::path dir = path.parent_path();
    std::string tempName = path.filename().string();
    tempName.insert(0, 1, '.');
    tempName.append(".XXXXXX");
    std::string pattern = ((dir.empty() ? fs::path(".") : dir) / tempName).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw Error("ファイルを書き込めません: " + path.string() + ": " + std::strerror(errno));
    auto fail = [&](const char* what) {
        int e = errno;
        ::close(fd);
        ::unlink(name.data());
        throw Error(std::string(what) + path.string() + ": " + std::strerror(e));
    };
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("ファイルを書き込めません: ");
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    // The rename makes the new content appear whole or not at all, also when the
    // process is killed. No fsync: a bulk import writes thousands of files and the
    // file system orders a rename-replace after the data it replaces.
    if (::fchmod(fd, 0644) != 0)
        fail("ファイルを書き込めません: ");
    if (::close(fd) != 0) {
        int e = errno;
        ::unlink(name.data());
        throw Error("ファイルを書き込めません: " + path.string() + ": " + std::strerror(e));
    }
    if (::rename(name.data(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(name.data());
        throw Error("ファイルを置き換えられません: " + path.string() + ": " + std::strerror(e));
    }
}

} // namespace sorvantix
