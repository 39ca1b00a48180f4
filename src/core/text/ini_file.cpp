#include "core/text/ini_file.h"

#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/text_file.h"

#include <cerrno>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <system_error>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

// One lock for every instance: the windows each own a TIniGT on the same file, and a
// read-modify-write must not interleave with another.
std::mutex& fileMutex()
{
    static std::mutex m;
    return m;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names are UTF-8 here, where ASCII bytes only ever stand for ASCII characters, so
// folding them never touches a multi-byte character.
bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// A line without the UTF-8 byte-order mark an editor may put before the first line;
// the raw line keeps it, so the file keeps its form when written back.
std::string_view withoutBom(std::string_view line)
{
    if (line.starts_with(kUtf8Bom))
        line.remove_prefix(kUtf8Bom.size());
    return trimmed(line);
}

// The section name of a header line "[name]", or nullopt for any other line.
std::optional<std::string> sectionName(std::string_view rawLine)
{
    std::string_view line = withoutBom(rawLine);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    size_t close = line.find(']');
    if (close != std::string_view::npos)
        line = line.substr(0, close);
    return fromCp932(trimmed(line));
}

struct KeyLine
{
    std::string key;        // UTF-8, trimmed
    std::string_view value; // raw CP932, trimmed
};

// The key and value of a "key=value" line; nullopt for comments and other lines.
std::optional<KeyLine> keyLine(std::string_view rawLine)
{
    std::string_view line = withoutBom(rawLine);
    if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[')
        return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    std::string_view key = trimmed(line.substr(0, eq));
    if (key.empty())
        return std::nullopt;
    return KeyLine{fromCp932(key), trimmed(line.substr(eq + 1))};
}

void checkNames(std::string_view section, std::string_view key)
{
    if (trimmed(section).empty() || hasLineBreak(section) ||
        section.find(']') != std::string_view::npos)
        throw Error("設定ファイルのセクション名が不正です: " + std::string(section));
    if (trimmed(key).empty() || hasLineBreak(key) || key.find('=') != std::string_view::npos)
        throw Error("設定ファイルのキー名が不正です: " + std::string(key));
}

size_t charCount(std::string_view utf8)
{
    size_t n = 0;
    for (char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

// The file's lines; no lines when it does not exist yet.
// The last reading of each file, kept while the file is the same one: every write of
// ours renames a new file into place (a new inode), and any other change moves the
// size or a timestamp. Only a file last modified two seconds or more before it was
// read is kept: timestamps advance in ticks, and a file removed and made again within
// a tick can come back with the same inode, size and times. Guarded by fileMutex().
struct CachedIni
{
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    timespec changed;
    std::shared_ptr<const IniDocument> doc;

    bool sameFile(const struct stat& st) const
    {
        return device == st.st_dev && inode == st.st_ino && size == st.st_size &&
               modified.tv_sec == st.st_mtim.tv_sec && modified.tv_nsec == st.st_mtim.tv_nsec &&
               changed.tv_sec == st.st_ctim.tv_sec && changed.tv_nsec == st.st_ctim.tv_nsec;
    }
};

std::map<std::string, CachedIni>& cachedInis()
{
    static std::map<std::string, CachedIni> files;
    return files;
}

// The settings are read at every call, many times a second while a day is analysed:
// a file unchanged since the last reading is not read and parsed again.
std::shared_ptr<const IniDocument> load(const fs::path& file)
{
    auto& cache = cachedInis();
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) {
        const int error = errno;
        cache.erase(file.string());
        if (error == ENOENT || error == ENOTDIR)
            return std::make_shared<const IniDocument>();
        throw Error("設定ファイルを読めません: " + file.string() + ": " +
                    std::generic_category().message(error));
    }
    if (!S_ISREG(st.st_mode)) // a folder, say: reading it says what is wrong
        return std::make_shared<const IniDocument>(readLinesRaw(file));
    auto it = cache.find(file.string());
    if (it != cache.end() && it->second.sameFile(st))
        return it->second.doc;
    auto doc = std::make_shared<const IniDocument>(readLinesRaw(file));
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec - st.st_mtim.tv_sec < 2) { // a later change could keep these times
        cache.erase(file.string());
        return doc;
    }
    if (cache.size() >= 16) // tests address many files; the program one or two
        cache.clear();
    cache[file.string()] = {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, doc};
    return doc;
}

constexpr std::string_view kOpenBracket = "｢";
constexpr std::string_view kCloseBracket = "｣";

} // namespace

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const
{
    std::string wantSection(trimmed(section));
    std::string wantKey(trimmed(key));
    bool inSection = false;
    for (const auto& line : m_lines) {
        if (auto name = sectionName(line)) {
            // A later section of the same name is not looked at: the first one wins.
            if (inSection)
                return std::nullopt;
            inSection = sameName(*name, wantSection);
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = keyLine(line); kv && sameName(kv->key, wantKey))
            return fromCp932(kv->value);
    }
    return std::nullopt;
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    checkNames(section, key);
    if (hasLineBreak(value))
        throw Error("設定値に改行は使えません: " + std::string(key));
    std::string wantSection(trimmed(section));
    std::string wantKey(trimmed(key));
    std::string rawValue = toCp932(value);

    bool inSection = false;
    bool found = false;
    size_t insertAt = 0; // after the last non-blank line of the section
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const std::string& line = m_lines[i];
        if (auto name = sectionName(line)) {
            if (inSection)
                break;
            if (sameName(*name, wantSection)) {
                inSection = true;
                found = true;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = keyLine(line); kv && sameName(kv->key, wantKey)) {
            // Keep the key as it is spelt in the file.
            std::string_view t = trimmed(line);
            m_lines[i] = std::string(trimmed(t.substr(0, t.find('=')))) + "=" + rawValue;
            return;
        }
        if (!trimmed(line).empty())
            insertAt = i + 1;
    }
    std::string newLine = toCp932(wantKey) + "=" + rawValue;
    if (found) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), newLine);
        return;
    }
    std::string header(1, '[');
    header += toCp932(wantSection);
    header += ']';
    m_lines.push_back(std::move(header));
    m_lines.push_back(newLine);
}

std::optional<std::string> TIniGT::rawValue(std::string_view section, std::string_view key) const
{
    std::lock_guard lock(fileMutex());
    return load(m_fileName)->value(section, key);
}

int TIniGT::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const
{
    auto raw = rawValue(section, key);
    if (!raw)
        return defaultValue;
    return toIntDef(*raw, defaultValue);
}

void TIniGT::WriteInteger(std::string_view section, std::string_view key, int value) const
{
    WriteString(section, key, std::to_string(value));
}

std::string TIniGT::ReadString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const
{
    // The default goes through the same bracket handling as a stored value, so a
    // missing key gives it back unchanged.
    auto raw = rawValue(section, key);
    std::string s =
        raw ? *raw
            : std::string(kOpenBracket) + std::string(defaultValue) + std::string(kCloseBracket);
    size_t n = charCount(s);
    bool quoted = s.size() >= 2 && s.front() == '"' && s.back() == '"';
    bool bracketed = s.starts_with(kOpenBracket) && s.ends_with(kCloseBracket);
    if (n == 2 && (s == "\"\"" || (bracketed && s.size() == 2 * kOpenBracket.size())))
        return {};
    if (n > 2 && quoted)
        return s.substr(1, s.size() - 2);
    if (n > 2 && bracketed)
        return s.substr(kOpenBracket.size(), s.size() - kOpenBracket.size() - kCloseBracket.size());
    return s;
}

void TIniGT::WriteString(std::string_view section, std::string_view key,
                         std::string_view value) const
{
    // Read and written back under the folder's lock: another program may write a key
    // between the two.
    WriteLock folder;
    std::lock_guard lock(fileMutex());
    IniDocument doc = *load(m_fileName);
    doc.setValue(section, key, value);
    writeLinesRaw(m_fileName, doc.rawLines());
}

} // namespace sorvantix
