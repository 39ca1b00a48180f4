#include "fake_feed.h"

#include <algorithm>
#include <cstdlib>
#include <windows.h>

namespace fakejv {

namespace {

// The real component's result codes this stand-in gives.
constexpr int kOk = 0;
constexpr int kNoData = -1;
constexpr int kDownloading = -3;
constexpr int kSidMissing = -101;
constexpr int kSidTooLong = -102;
constexpr int kSidLeadingBlank = -103;
constexpr int kInvalidDataspec = -111;
constexpr int kInvalidFromtime = -112;
constexpr int kInvalidKey = -114;
constexpr int kInvalidOption = -115;
constexpr int kNotInitialised = -201;
constexpr int kStillOpen = -202;
constexpr int kNotOpened = -203;
constexpr int kSettingsInvalid = -211;
constexpr int kInternalError = -401;
constexpr int kBadFileSize = -402;
constexpr int kBadFileContent = -403;

const char* const kAllFromTime = "00000000000000";

bool allDigits(const std::string& s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int digits(const std::string& s, size_t pos, size_t n)
{
    return std::atoi(s.substr(pos, n).c_str());
}

bool isDate(const std::string& s)
{
    if (s.size() != 8 || !allDigits(s))
        return false;
    const int y = digits(s, 0, 4);
    const int m = digits(s, 4, 2);
    const int d = digits(s, 6, 2);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

bool isDateTime(const std::string& s)
{
    return s.size() == 14 && allDigits(s) && isDate(s.substr(0, 8)) && digits(s, 8, 2) < 24 &&
           digits(s, 10, 2) < 60 && digits(s, 12, 2) < 60;
}

bool isRealTimeSpec(const std::string& spec)
{
    return spec == "0B41" || spec == "0B42" || spec == "0B30" || spec == "0B12";
}

bool isRealTimeKey(const std::string& spec, const std::string& key)
{
    if (spec == "0B12")
        return isDate(key);
    return key.size() == 16 && allDigits(key) && isDate(key.substr(0, 8));
}

// "<14 digits>[-name].jvd" -> the 14 digits; "" for a name of another form.
std::string stampOfName(const std::string& name)
{
    const std::string ext = ".jvd";
    if (name.size() < 14 + ext.size() || !allDigits(name.substr(0, 14)) ||
        name.compare(name.size() - ext.size(), ext.size(), ext) != 0)
        return {};
    const std::string middle = name.substr(14, name.size() - 14 - ext.size());
    if (!middle.empty() && (middle.size() < 2 || middle[0] != '-'))
        return {};
    return name.substr(0, 14);
}

std::string utf8(const std::wstring& w)
{
    if (w.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring wide(const std::string& s)
{
    if (s.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

bool fileExists(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool readFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    CloseHandle(h);
    return ok;
}

std::vector<std::string> splitWords(const std::string& line)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

// A whole number with an optional sign, nothing else.
std::optional<int> wholeNumber(const std::string& s)
{
    if (s.empty())
        return std::nullopt;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size() || s.size() - i > 9)
        return std::nullopt;
    for (size_t j = i; j < s.size(); ++j) {
        if (s[j] < '0' || s[j] > '9')
            return std::nullopt;
    }
    return std::atoi(s.c_str());
}

std::optional<FaultRule> parseRule(const std::vector<std::string>& w)
{
    if (w.size() < 4 || w.size() > 5)
        return std::nullopt;
    FaultRule rule;
    if (w[0] == "JVOpen")
        rule.op = FaultOp::JVOpen;
    else if (w[0] == "JVRTOpen")
        rule.op = FaultOp::JVRTOpen;
    else if (w[0] == "JVStatus")
        rule.op = FaultOp::JVStatus;
    else if (w[0] == "JVRead")
        rule.op = FaultOp::JVRead;
    else if (w[0] == "JVClose")
        rule.op = FaultOp::JVClose;
    else
        return std::nullopt;
    if (w[1] != "*" && w[1] != "RACE" && !isRealTimeSpec(w[1]))
        return std::nullopt;
    rule.dataspec = w[1];
    rule.key = w[2];
    const bool isRead = rule.op == FaultOp::JVRead;
    if (w[3].compare(0, 5, "hang=") == 0) {
        const auto n = wholeNumber(w[3].substr(5));
        if (!n || *n < 1 || *n > 86400 || w[3][5] == '-' || w[3][5] == '+')
            return std::nullopt;
        rule.hangSeconds = *n;
    } else {
        const auto code = wholeNumber(w[3]);
        if (!code || *code > 0 || (*code == 0 && !isRead))
            return std::nullopt;
        rule.code = *code;
    }
    if (w.size() == 5) {
        if (w[4].compare(0, 3, "at=") != 0)
            return std::nullopt;
        const std::string n = w[4].substr(3);
        if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const auto at = wholeNumber(n);
        if (!at || *at < 1 || (rule.op != FaultOp::JVStatus && !isRead))
            return std::nullopt;
        rule.at = *at;
    }
    // A read asked to be repeated for ever would never end.
    if (isRead && rule.hangSeconds == 0 && rule.at == 0 && rule.code < 0 && rule.code >= -3)
        return std::nullopt;
    return rule;
}

} // namespace

std::vector<FaultRule> parseFaults(const std::string& bytes)
{
    std::vector<FaultRule> rules;
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        const auto w = splitWords(line);
        if (!w.empty()) {
            if (auto rule = parseRule(w))
                rules.push_back(*rule);
        }
        if (end >= bytes.size())
            break;
        start = end +
                ((bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1);
    }
    return rules;
}

std::optional<int> FakeFeed::fault(FaultOp op, int call) const
{
    auto matches = [&](const FaultRule& r) {
        return r.op == op && (r.dataspec == "*" || r.dataspec == m_dataspec) &&
               (r.key == "*" || r.key == m_key) && (r.at == 0 || r.at == call);
    };
    // As the replay: the first matching hang rule holds the call (as a dialog nobody
    // answers would), then the first matching rule with a code decides.
    for (const FaultRule& r : m_faults) {
        if (r.hangSeconds > 0 && matches(r)) {
            Sleep(static_cast<DWORD>(r.hangSeconds) * 1000);
            break;
        }
    }
    for (const FaultRule& r : m_faults) {
        if (r.hangSeconds == 0 && matches(r))
            return r.code;
    }
    return std::nullopt;
}

int FakeFeed::init(const std::string& sid)
{
    if (sid.empty())
        return kSidMissing;
    if (sid.size() > 64)
        return kSidTooLong;
    if (sid[0] == ' ')
        return kSidLeadingBlank;
    for (char c : sid) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == ' ' || c == '_' || c == '.' || c == '/';
        if (!ok)
            return kSidMissing;
    }
    m_initialised = true;
    return kOk;
}

void FakeFeed::resetStream()
{
    m_stream = Stream::None;
    m_cancelled = false;
    m_statusCalls = 0;
    m_readCalls = 0;
    m_files.clear();
    m_downloaded = 0;
    m_fileIndex = 0;
    m_fileLoaded = false;
    m_bytes.clear();
    m_pos = 0;
    m_readError = 0;
}

int FakeFeed::beginOpen(const std::string& dataspec, const std::string& key)
{
    if (!m_initialised)
        return kNotInitialised;
    // Like the real component: an open that was tried, even one that failed, must be
    // closed before the next; a cancelled stream no longer counts.
    if (m_openPending && !m_cancelled)
        return kStillOpen;
    resetStream();
    m_openPending = true;
    m_dataspec = dataspec;
    m_key = key;
    m_faults.clear();
    if (!m_feedFolder.empty()) {
        std::string text;
        if (readFile(m_feedFolder + L"\\faults.txt", text))
            m_faults = parseFaults(text);
    }
    return kOk;
}

int FakeFeed::open(const std::string& dataspec, const std::string& fromtime, int option,
                   int& readCount, int& downloadCount, std::string& lastFileTimestamp)
{
    readCount = 0;
    downloadCount = 0;
    lastFileTimestamp.clear();
    if (int code = beginOpen(dataspec, fromtime); code != kOk)
        return code;
    if (dataspec != "RACE")
        return kInvalidDataspec;
    if (fromtime != kAllFromTime && !isDateTime(fromtime))
        return kInvalidFromtime;
    if (option < 1 || option > 4)
        return kInvalidOption;
    if (m_feedFolder.empty())
        return kSettingsInvalid;
    if (auto code = fault(FaultOp::JVOpen, 1))
        return *code;

    std::vector<File> files;
    const std::wstring folder = m_feedFolder + L"\\RACE";
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            const std::string name = utf8(found.cFileName);
            if (name.empty() || name[0] == '.')
                continue;
            const std::string stamp = stampOfName(name);
            if (stamp.empty() || !isDateTime(stamp) || stamp <= fromtime)
                continue;
            files.push_back({name, stamp, folder + L"\\" + found.cFileName});
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    std::sort(files.begin(), files.end(), [](const File& a, const File& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.name < b.name;
    });
    if (files.empty())
        return kNoData;
    m_files = std::move(files);
    m_stream = Stream::Stored;
    readCount = static_cast<int>(m_files.size());
    downloadCount = readCount; // every open fetches every file once
    lastFileTimestamp = m_files.back().stamp;
    return kOk;
}

int FakeFeed::rtOpen(const std::string& dataspec, const std::string& key)
{
    if (int code = beginOpen(dataspec, key); code != kOk)
        return code;
    if (!isRealTimeSpec(dataspec))
        return kInvalidDataspec;
    if (!isRealTimeKey(dataspec, key))
        return kInvalidKey;
    if (m_feedFolder.empty())
        return kSettingsInvalid;
    if (auto code = fault(FaultOp::JVRTOpen, 1))
        return *code;
    const std::string name = key + ".jvd";
    const std::wstring path = m_feedFolder + L"\\" + wide(dataspec) + L"\\" + wide(name);
    if (!fileExists(path))
        return kNoData;
    std::string bytes;
    if (!readFile(path, bytes))
        return kInternalError;
    if (bytes.empty())
        return kNoData;
    m_files.push_back({name, std::string(), path});
    m_downloaded = 1;
    m_bytes = std::move(bytes);
    m_fileLoaded = true;
    m_stream = Stream::RealTime;
    return kOk;
}

int FakeFeed::status()
{
    if (!m_initialised)
        return kNotInitialised;
    if (m_stream == Stream::None || m_cancelled)
        return kNotOpened;
    ++m_statusCalls;
    if (auto code = fault(FaultOp::JVStatus, m_statusCalls))
        return *code;
    if (m_stream == Stream::RealTime)
        return 0;
    if (m_downloaded < m_files.size())
        ++m_downloaded;
    return static_cast<int>(m_downloaded);
}

int FakeFeed::read(int size, std::string& record, std::string& fileName)
{
    record.clear();
    if (!m_initialised)
        return kNotInitialised;
    if (m_stream == Stream::None || m_cancelled)
        return kNotOpened;
    ++m_readCalls;
    if (auto code = fault(FaultOp::JVRead, m_readCalls))
        return *code;
    if (m_readError != 0)
        return m_readError;
    for (;;) {
        if (m_fileIndex >= m_files.size())
            return kOk;
        const File& file = m_files[m_fileIndex];
        if (!m_fileLoaded) {
            if (m_downloaded <= m_fileIndex) {
                // Not here yet: this read moves the download on, as it runs meanwhile.
                ++m_downloaded;
                return kDownloading;
            }
            if (!readFile(file.path, m_bytes)) {
                m_readError = kInternalError;
                return m_readError;
            }
            m_fileLoaded = true;
            m_pos = 0;
        }
        if (m_pos < m_bytes.size()) {
            const size_t lf = m_bytes.find('\n', m_pos);
            if (lf == std::string::npos || lf == m_pos || m_bytes[lf - 1] != '\r') {
                m_readError = kBadFileContent;
                return m_readError;
            }
            const size_t length = lf + 1 - m_pos;
            if (size < 0 || length > static_cast<size_t>(size))
                return kBadFileSize;
            record.assign(m_bytes, m_pos, length);
            fileName = file.name;
            m_pos += length;
            return static_cast<int>(length);
        }
        m_fileLoaded = false;
        m_bytes.clear();
        m_pos = 0;
        ++m_fileIndex;
        if (m_files.size() > 1)
            return kNoData; // -1: the next file begins
    }
}

int FakeFeed::skip()
{
    if (!m_initialised)
        return kNotInitialised;
    if (m_stream == Stream::None || m_cancelled)
        return kNotOpened;
    if (m_fileIndex >= m_files.size())
        return kOk;
    if (!m_fileLoaded) {
        // The file just reached is passed over whole; the next read ends it.
        if (m_downloaded <= m_fileIndex)
            m_downloaded = m_fileIndex + 1;
        m_bytes.clear();
        m_fileLoaded = true;
    }
    m_pos = m_bytes.size();
    return kOk;
}

int FakeFeed::close()
{
    int code = kOk;
    if (m_openPending) {
        if (auto injected = fault(FaultOp::JVClose, 1))
            code = *injected;
    }
    resetStream();
    m_openPending = false;
    return code;
}

void FakeFeed::cancel()
{
    if (m_stream == Stream::None)
        return;
    m_cancelled = true;
}

} // namespace fakejv
