#include "core/text/text_file.h"

#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/folder_lock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <optional>
#include <set>
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

std::string joinLinesRaw(const std::vector<std::string>& lines)
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
    return bytes;
}

void writeLinesRaw(const fs::path& path, const std::vector<std::string>& lines)
{
    writeFileAtomic(path, joinLinesRaw(lines));
}

void writeLinesText(const fs::path& path, const std::vector<std::string>& lines)
{
    std::vector<std::string> encoded;
    encoded.reserve(lines.size());
    for (const auto& line : lines)
        encoded.push_back(toCp932(line));
    writeLinesRaw(path, encoded);
}

namespace {

struct TempFile
{
    fs::path target;
    std::string name; // the temporary file beside it
    int fd = -1;
};

[[noreturn]] void failWrite(const char* what, const fs::path& path, int error)
{
    throw Error(std::string(what) + path.string() + ": " + std::strerror(error));
}

// Creates ".<name>.XXXXXX" beside the target and writes the bytes; the file stays open.
TempFile writeTemp(const fs::path& path, std::string_view bytes)
{
    fs::path dir = path.parent_path();
    std::string tempName = path.filename().string();
    tempName.insert(0, 1, '.');
    tempName.append(".XXXXXX");
    TempFile t{path, ((dir.empty() ? fs::path(".") : dir) / tempName).string()};
    t.fd = ::mkstemp(t.name.data());
    if (t.fd < 0)
        failWrite("ファイルを書き込めません: ", path, errno);
    auto fail = [&]() {
        int e = errno;
        ::close(t.fd);
        ::unlink(t.name.c_str());
        failWrite("ファイルを書き込めません: ", path, e);
    };
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(t.fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail();
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fchmod(t.fd, 0644) != 0)
        fail();
    return t;
}

// Makes the content durable (unless asked not to), closes and renames over the target.
void finishTemp(TempFile& t, bool sync = true)
{
    if (sync && ::fsync(t.fd) != 0) {
        int e = errno;
        ::close(t.fd);
        ::unlink(t.name.c_str());
        failWrite("ファイルを書き込めません: ", t.target, e);
    }
    // The descriptor is gone whatever close says: it must not be closed again.
    const int closed = ::close(t.fd);
    t.fd = -1;
    if (closed != 0) {
        int e = errno;
        ::unlink(t.name.c_str());
        failWrite("ファイルを書き込めません: ", t.target, e);
    }
    if (::rename(t.name.c_str(), t.target.c_str()) != 0) {
        int e = errno;
        ::unlink(t.name.c_str());
        failWrite("ファイルを置き換えられません: ", t.target, e);
    }
}

void discardTemp(TempFile& t)
{
    if (t.fd >= 0)
        ::close(t.fd);
    ::unlink(t.name.c_str());
    t.fd = -1;
}

// The rename itself is durable once the folder is.
void syncFolder(const fs::path& file)
{
    fs::path dir = file.parent_path();
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        failWrite("フォルダを書き込めません: ", dir, errno);
    int rc = ::fsync(fd);
    int e = errno;
    ::close(fd);
    if (rc != 0)
        failWrite("フォルダを書き込めません: ", dir, e);
}

} // namespace

void writeFileAtomic(const fs::path& path, std::string_view bytes)
{
    // The rename makes the new content appear whole or not at all, also when the
    // process is killed; the fsyncs before and after it keep that true across a power
    // loss (the new content is on disk before the name points at it).
    std::optional<WriteLock> lock;
    if (WriteLock::covers(path))
        lock.emplace();
    TempFile t = writeTemp(path, bytes);
    finishTemp(t);
    syncFolder(path);
}

void appendFileDurable(const fs::path& path, std::string_view bytes)
{
    std::optional<WriteLock> lock;
    if (WriteLock::covers(path))
        lock.emplace();
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        failWrite("ファイルを書き込めません: ", path, errno);
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            failWrite("ファイルを書き込めません: ", path, e);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        failWrite("ファイルを書き込めません: ", path, e);
    }
    if (::close(fd) != 0)
        failWrite("ファイルを書き込めません: ", path, errno);
}

void writeFileAtomicUnsynced(const fs::path& path, std::string_view bytes)
{
    std::optional<WriteLock> lock;
    if (WriteLock::covers(path))
        lock.emplace();
    TempFile t = writeTemp(path, bytes);
    finishTemp(t, false);
}

std::vector<std::exception_ptr> writeFilesAtomic(const std::vector<FileContent>& files)
{
    std::vector<std::exception_ptr> failures(files.size());
    std::optional<WriteLock> lock;
    if (!files.empty() && WriteLock::covers(files.front().path))
        lock.emplace();
    std::vector<std::optional<TempFile>> temps(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            temps[i] = writeTemp(files[i].path, files[i].bytes);
        } catch (...) {
            failures[i] = std::current_exception();
        }
    }
    // Two flushes for the whole pass instead of one per file: every temporary file is
    // written, one syncfs puts them all on disk, then the renames, then one more syncfs
    // makes the renames durable. A power loss at any point leaves each file old or new.
    // (Each fsync on a file system without a journal flushes the disk's cache.)
    auto failAll = [&](const std::function<bool(size_t)>& which, const fs::path& where, int e) {
        std::exception_ptr error;
        try {
            failWrite("ファイルを書き込めません: ", where, e);
        } catch (...) {
            error = std::current_exception();
        }
        for (size_t i = 0; i < files.size(); ++i)
            if (!failures[i] && which(i))
                failures[i] = error;
    };
    std::map<dev_t, size_t> deviceOf; // a file system -> a temporary file on it
    std::vector<dev_t> devices(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        struct stat st
        {
        };
        if (temps[i] && ::fstat(temps[i]->fd, &st) == 0) {
            devices[i] = st.st_dev;
            deviceOf.emplace(st.st_dev, i);
        }
    }
    for (const auto& [device, i] : deviceOf) {
        if (::syncfs(temps[i]->fd) != 0)
            failAll([&, d = device](size_t k) { return temps[k] && devices[k] == d; },
                    files[i].path.parent_path(), errno);
    }
    std::set<fs::path> folders;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!temps[i])
            continue;
        if (failures[i]) {
            discardTemp(*temps[i]);
            continue;
        }
        try {
            finishTemp(*temps[i], false);
            folders.insert(files[i].path.parent_path());
        } catch (...) {
            discardTemp(*temps[i]);
            failures[i] = std::current_exception();
        }
    }
    std::set<dev_t> synced;
    for (const auto& folder : folders) {
        const int fd =
            ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st
        {
        };
        int e = 0;
        if (fd < 0)
            e = errno;
        else if (::fstat(fd, &st) == 0 && synced.contains(st.st_dev))
            e = 0;
        else if (::syncfs(fd) != 0)
            e = errno;
        else
            synced.insert(st.st_dev);
        if (fd >= 0)
            ::close(fd);
        // The renames are done; a folder whose flush failed fails its files.
        if (e != 0)
            failAll([&](size_t k) { return files[k].path.parent_path() == folder; }, folder, e);
    }
    return failures;
}

bool isTempFileName(std::string_view name)
{
    // ".<name>.XXXXXX": a leading dot, a name, a dot and mkstemp's six characters.
    if (name.size() < 9 || name.front() != '.' || name[name.size() - 7] != '.')
        return false;
    for (char c : name.substr(name.size() - 6))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

int removeStaleTempFiles(const fs::path& dir, const std::vector<std::string_view>& extensions)
{
    // A temporary file may be another writer's live one unless this process holds the
    // folder's lock.
    if (!WriteLock::heldFor(dir))
        return 0;
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!isTempFileName(name))
            continue;
        const std::string_view target = std::string_view(name).substr(1, name.size() - 8);
        const bool ours = std::any_of(extensions.begin(), extensions.end(), [&](auto ext) {
            return target.size() > ext.size() && target.substr(target.size() - ext.size()) == ext;
        });
        std::error_code typeEc;
        if (ours && it->is_regular_file(typeEc) && fs::remove(it->path(), typeEc))
            ++removed;
    }
    return removed;
}

} // namespace sorvantix
