#include "core/jvlink/replay_jv_link.h"

#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/ini_file.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSettingsSection = "JVLink";
constexpr std::string_view kFeedFolderKey = "FeedFolder";
constexpr std::string_view kAllFromTime = "00000000000000";
constexpr std::string_view kFeedExtension = ".jvd";
constexpr int kThisWeekDays = 7;
constexpr std::string_view kFeedSettingsFile = "feed.ini";
constexpr std::string_view kFeedSettingsSection = "Replay";
constexpr std::string_view kSettleMinutesKey = "SettlementMinutes";
constexpr int kDefaultSettleMinutes = 10;
constexpr int kMaxSettleMinutes = 24 * 60;

bool allDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int digitsValue(std::string_view digits)
{
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// "yyyymmdd" naming a real calendar day (years 0001..9999).
bool isDate(std::string_view text)
{
    if (text.size() != 8 || !allDigits(text))
        return false;
    std::chrono::year_month_day day{
        std::chrono::year(digitsValue(text.substr(0, 4))),
        std::chrono::month(static_cast<unsigned>(digitsValue(text.substr(4, 2)))),
        std::chrono::day(static_cast<unsigned>(digitsValue(text.substr(6, 2))))};
    return digitsValue(text.substr(0, 4)) >= 1 && day.ok();
}

// "yyyymmddhhnnss" naming a real date and time.
bool isDateTime(std::string_view text)
{
    return text.size() == 14 && allDigits(text) && isDate(text.substr(0, 8)) &&
           digitsValue(text.substr(8, 2)) < 24 && digitsValue(text.substr(10, 2)) < 60 &&
           digitsValue(text.substr(12, 2)) < 60;
}

// The stamp `days` days before a valid stamp, as "yyyymmddhhnnss".
std::string stampDaysBefore(std::string_view stamp, int days)
{
    using namespace std::chrono;
    year_month_day day{year(digitsValue(stamp.substr(0, 4))),
                       month(static_cast<unsigned>(digitsValue(stamp.substr(4, 2)))),
                       std::chrono::day(static_cast<unsigned>(digitsValue(stamp.substr(6, 2))))};
    year_month_day earlier{sys_days(day) - std::chrono::days(days)};
    if (static_cast<int>(earlier.year()) < 1)
        return std::string(kAllFromTime);
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(earlier.year()),
                  static_cast<unsigned>(earlier.month()), static_cast<unsigned>(earlier.day()));
    return std::string(text) + std::string(stamp.substr(8));
}

bool isSidByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '_' || c == '.' || c == '/';
}

bool isRealTimeSpec(std::string_view spec)
{
    return spec == jv::kSpecTanOdds || spec == jv::kSpecUmarenOdds || spec == jv::kSpecLatestOdds ||
           spec == jv::kSpecDayResults;
}

bool isRealTimeKey(std::string_view spec, std::string_view key)
{
    if (spec == jv::kSpecDayResults)
        return isDate(key);
    return key.size() == 16 && allDigits(key) && isDate(key.substr(0, 8));
}

// The stamp of a RACE file name "<14 digits>[-name].jvd"; empty for another form.
std::string stampOfName(std::string_view name)
{
    if (name.size() < 14 + kFeedExtension.size() || !allDigits(name.substr(0, 14)) ||
        name.substr(name.size() - kFeedExtension.size()) != kFeedExtension)
        return {};
    std::string_view middle = name.substr(14, name.size() - 14 - kFeedExtension.size());
    if (!middle.empty() && (middle.size() < 2 || middle[0] != '-'))
        return {};
    return std::string(name.substr(0, 14));
}

// What identifies the content of a feed file: size, change time and path. A cached
// copy is good while its source still has them.
std::optional<std::string> sourceIdentity(const fs::path& source)
{
    std::error_code ec;
    auto size = fs::file_size(source, ec);
    if (ec)
        return std::nullopt;
    auto time = fs::last_write_time(source, ec);
    if (ec)
        return std::nullopt;
    return std::to_string(size) + " " + std::to_string(time.time_since_epoch().count()) + " " +
           source.string();
}

bool hasRecordOfType(std::string_view bytes, std::string_view type)
{
    for (size_t pos = 0; pos < bytes.size();) {
        if (bytes.substr(pos, type.size()) == type)
            return true;
        size_t end = bytes.find('\n', pos);
        pos = end == std::string_view::npos ? bytes.size() : end + 1;
    }
    return false;
}

// The last whole CR LF line of `bytes`, empty when there is none.
std::string lastRecord(std::string_view bytes)
{
    if (bytes.size() < 2 || !bytes.ends_with("\r\n"))
        return {};
    size_t start = bytes.rfind('\n', bytes.size() - 2);
    return std::string(bytes.substr(start == std::string_view::npos ? 0 : start + 1));
}

fs::path identityFile(const fs::path& cachedCopy)
{
    fs::path p = cachedCopy;
    p += ".src";
    return p;
}

} // namespace

ReplayJvLinkFolders ReplayJvLinkFolders::inAppDir(const fs::path& appRoot)
{
    return {appRoot / "jvlink.ini", appRoot / "jvcache", appRoot / "feed"};
}

ReplayJvLink::ReplayJvLink(const fs::path& appRoot)
    : ReplayJvLink(ReplayJvLinkFolders::inAppDir(appRoot))
{
}

ReplayJvLink::ReplayJvLink(ReplayJvLinkFolders folders) : m_folders(std::move(folders))
{
    loadSettings();
}

void ReplayJvLink::loadSettings()
{
    std::error_code ec;
    m_feedFolder = fs::absolute(m_folders.defaultFeedFolder, ec).lexically_normal();
    if (ec)
        m_feedFolder = m_folders.defaultFeedFolder;
    m_settingsProblem.clear();
    std::string text;
    try {
        text = TIniGT(m_folders.settingsFile).ReadString(kSettingsSection, kFeedFolderKey, "");
    } catch (const Error& e) {
        m_settingsProblem = e.what();
        return;
    }
    if (text.empty())
        return;
    fs::path folder(text);
    if (!folder.is_absolute()) {
        m_settingsProblem = m_folders.settingsFile.string() +
                            ": FeedFolder is not an absolute folder: " + folder.string();
        return;
    }
    m_feedFolder = folder.lexically_normal();
}

void ReplayJvLink::hang(int seconds)
{
    // A call held up as by a dialog of the real component that nobody answers.
    if (seconds > 0)
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

int ReplayJvLink::JVInit(const std::string& sid)
{
    if (sid.empty())
        return jv::kInitSidMissing;
    if (sid.size() > static_cast<size_t>(jv::kSidMaxBytes))
        return jv::kInitSidTooLong;
    if (sid.front() == ' ')
        return jv::kInitSidLeadingBlank;
    if (!std::all_of(sid.begin(), sid.end(), isSidByte))
        return jv::kInitSidMissing;
    m_initialised = true;
    return jv::kOk;
}

int ReplayJvLink::JVSetUIProperties()
{
    m_settingsError.clear();
    if (!m_chosenFeedFolder)
        return jv::kOk; // the dialog was cancelled
    fs::path chosen = std::move(*m_chosenFeedFolder);
    m_chosenFeedFolder.reset();
    std::error_code ec;
    if (chosen.empty()) {
        m_settingsError = "データフォルダが指定されていません。";
        return jv::kUiBadParameter;
    }
    fs::path folder = fs::absolute(chosen, ec).lexically_normal();
    if (ec || !fs::is_directory(folder, ec)) {
        m_settingsError = "データフォルダがありません: " + folder.string();
        return jv::kUiBadParameter;
    }
    std::string text = folder.string();
    if (text.find_first_of("\r\n") != std::string::npos) {
        m_settingsError = "フォルダ名に改行があります: " + text;
        return jv::kUiBadParameter;
    }
    try {
        fs::path parent = m_folders.settingsFile.parent_path();
        if (!parent.empty())
            fs::create_directories(parent, ec);
        TIniGT(m_folders.settingsFile).WriteString(kSettingsSection, kFeedFolderKey, text);
    } catch (const Error& e) {
        m_settingsError = std::string("設定ファイルに書き込めません: ") + e.what();
        return jv::kUiBadParameter;
    }
    m_feedFolder = folder;
    m_settingsProblem.clear();
    return jv::kOk;
}

std::string ReplayJvLink::setupProblem() const
{
    if (!m_settingsProblem.empty())
        return m_settingsProblem;
    std::error_code ec;
    if (!fs::is_directory(m_feedFolder, ec))
        return "JV-Linkのデータフォルダがありません: " + m_feedFolder.string() +
               "\nデータフォルダを sorvantix-cli jvlink --feed DIR で（画面では ﾕｰｻﾞｰ指定 の "
               "JV-Link設定 で）選んでください。";
    return {};
}

void ReplayJvLink::resetStream()
{
    m_stream = Stream::None;
    m_cancelled = false;
    m_statusCalls = 0;
    m_readCalls = 0;
    m_files.clear();
    m_downloads.clear();
    m_downloaded = 0;
    m_downloadError = 0;
    m_fileIndex = 0;
    m_fileLoaded = false;
    m_fileBytes.clear();
    m_pos = 0;
    m_readError = 0;
}

// The checks every open starts with; on 0 the faults are loaded for this open.
int ReplayJvLink::beginOpen(const std::string& dataspec, const std::string& key)
{
    if (!m_initialised)
        return jv::kNotInitialised;
    if (m_stream != Stream::None && !m_cancelled)
        return jv::kStillOpen;
    resetStream();
    m_dataspec = dataspec;
    m_key = key;
    m_closePending = true;
    m_faults = JvFaultSet::read(m_feedFolder / "faults.txt");
    m_feedWarnings.clear();
    return jv::kOk;
}

int ReplayJvLink::failOpen(int code, int& readCount, int& downloadCount,
                           std::string& lastFileTimestamp)
{
    resetStream();
    readCount = 0;
    downloadCount = 0;
    lastFileTimestamp.clear();
    return code;
}

int ReplayJvLink::listRaceFiles(const std::string& fromtime, std::vector<FeedFile>& files,
                                std::string& newestStamp)
{
    fs::path folder = m_feedFolder / std::string(jv::kSpecRace);
    std::string publishedBy;
    if (m_clock && m_storedByClock) {
        const LocalDateTime now = m_clock->now();
        char text[16];
        std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day,
                      now.hour, now.minute, now.second);
        publishedBy = text;
    }
    std::error_code ec;
    if (!fs::exists(folder, ec))
        return ec ? jv::kInternalError : jv::kOpenNoData;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return jv::kInternalError;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return jv::kInternalError;
        std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.')
            continue;
        std::string stamp = stampOfName(name);
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc) || stamp.empty()) {
            m_feedWarnings.push_back("RACE/" + name +
                                     ": not a file named yyyymmddhhnnss[-name].jvd, not served");
            continue;
        }
        if (!isDateTime(stamp)) {
            m_feedWarnings.push_back("RACE/" + name + ": " + stamp +
                                     " is no real date and time, not served");
            continue;
        }
        // A file is published at its stamp.
        if (stamp <= fromtime || (!publishedBy.empty() && stamp > publishedBy))
            continue;
        files.push_back({name, stamp, it->path(), false});
    }
    if (ec)
        return jv::kInternalError;
    std::sort(files.begin(), files.end(), [](const FeedFile& a, const FeedFile& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.name < b.name;
    });
    if (files.empty())
        return jv::kOpenNoData;
    newestStamp = files.back().stamp;
    return jv::kOk;
}

fs::path ReplayJvLink::cachedCopy(const FeedFile& file) const
{
    return m_folders.cacheFolder / std::string(jv::kSpecRace) / file.name;
}

bool ReplayJvLink::isCached(const FeedFile& file) const
{
    auto identity = sourceIdentity(file.source);
    if (!identity)
        return false;
    fs::path copy = cachedCopy(file);
    std::error_code ec;
    auto copySize = fs::file_size(copy, ec);
    if (ec || std::to_string(copySize) != identity->substr(0, identity->find(' ')))
        return false;
    try {
        return readFileBytes(identityFile(copy)) == *identity;
    } catch (const Error&) {
        return false;
    }
}

int ReplayJvLink::JVOpen(const std::string& dataspec, const std::string& fromtime, int option,
                         int& readCount, int& downloadCount, std::string& lastFileTimestamp)
{
    readCount = 0;
    downloadCount = 0;
    lastFileTimestamp.clear();
    if (int code = beginOpen(dataspec, fromtime); code != jv::kOk)
        return code;
    if (dataspec != jv::kSpecRace)
        return failOpen(jv::kInvalidDataspec, readCount, downloadCount, lastFileTimestamp);
    if (fromtime != kAllFromTime && !isDateTime(fromtime))
        return failOpen(jv::kInvalidFromtime, readCount, downloadCount, lastFileTimestamp);
    if (option < jv::kOptionNormal || option > jv::kOptionSetupNoDialog)
        return failOpen(jv::kInvalidOption, readCount, downloadCount, lastFileTimestamp);
    if (!m_settingsProblem.empty())
        return failOpen(jv::kSettingsInvalid, readCount, downloadCount, lastFileTimestamp);
    hang(m_faults.hangSeconds(JvOperation::JVOpen, dataspec, fromtime, 1));
    if (auto fault = m_faults.find(JvOperation::JVOpen, dataspec, fromtime, 1))
        return failOpen(*fault, readCount, downloadCount, lastFileTimestamp);

    std::vector<FeedFile> files;
    std::string newest;
    if (int code = listRaceFiles(fromtime, files, newest); code != jv::kOk)
        return failOpen(code, readCount, downloadCount, lastFileTimestamp);
    if (option == jv::kOptionThisWeek && fromtime < stampDaysBefore(newest, kThisWeekDays))
        return failOpen(jv::kInvalidDataspecOption, readCount, downloadCount, lastFileTimestamp);

    m_files = std::move(files);
    for (size_t i = 0; i < m_files.size(); ++i) {
        m_files[i].available = isCached(m_files[i]);
        if (!m_files[i].available)
            m_downloads.push_back(i);
    }
    m_stream = Stream::Stored;
    readCount = static_cast<int>(m_files.size());
    downloadCount = static_cast<int>(m_downloads.size());
    lastFileTimestamp = newest;
    return jv::kOk;
}

int ReplayJvLink::JVRTOpen(const std::string& dataspec, const std::string& key)
{
    int ignoredCount = 0;
    std::string ignoredStamp;
    if (int code = beginOpen(dataspec, key); code != jv::kOk)
        return code;
    if (!isRealTimeSpec(dataspec))
        return failOpen(jv::kInvalidDataspec, ignoredCount, ignoredCount, ignoredStamp);
    if (!isRealTimeKey(dataspec, key))
        return failOpen(jv::kInvalidKey, ignoredCount, ignoredCount, ignoredStamp);
    if (!m_settingsProblem.empty())
        return failOpen(jv::kSettingsInvalid, ignoredCount, ignoredCount, ignoredStamp);
    hang(m_faults.hangSeconds(JvOperation::JVRTOpen, dataspec, key, 1));
    if (auto fault = m_faults.find(JvOperation::JVRTOpen, dataspec, key, 1))
        return failOpen(*fault, ignoredCount, ignoredCount, ignoredStamp);

    // The key is digits only, so the path stays inside the feed folder.
    std::string name = key + std::string(kFeedExtension);
    fs::path file = m_feedFolder / dataspec / name;
    std::error_code ec;
    if (!fs::exists(file, ec))
        return failOpen(ec ? jv::kInternalError : jv::kOpenNoData, ignoredCount, ignoredCount,
                        ignoredStamp);
    std::string bytes;
    try {
        bytes = readFileBytes(file);
    } catch (const Error&) {
        return failOpen(jv::kInternalError, ignoredCount, ignoredCount, ignoredStamp);
    }
    if (m_clock)
        bytes = publishedByNow(std::move(bytes), dataspec, key);
    if (bytes.empty())
        return failOpen(jv::kOpenNoData, ignoredCount, ignoredCount, ignoredStamp);
    m_files.push_back({name, {}, file, true});
    m_fileBytes = std::move(bytes);
    m_fileLoaded = true;
    m_stream = Stream::RealTime;
    return jv::kOk;
}

std::string ReplayJvLink::publishedByNow(std::string bytes, const std::string& dataspec,
                                         const std::string& key)
{
    int settleMinutes = kDefaultSettleMinutes;
    PostTimes ownPosts;
    const PostTimes* posts = &ownPosts;
    if (dataspec == jv::kSpecDayResults) {
        ownPosts.addFrom(bytes);
        try {
            settleMinutes = std::clamp(
                TIniGT(m_feedFolder / kFeedSettingsFile)
                    .ReadInteger(kFeedSettingsSection, kSettleMinutesKey, kDefaultSettleMinutes),
                0, kMaxSettleMinutes);
        } catch (const Error&) {
            // An unreadable feed setting keeps the default delay.
        }
    } else {
        posts = &postTimesOfDay(key.substr(0, 8));
    }
    const LocalDateTime now = m_clock->now();
    std::string published = publishedRecords(bytes, dataspec, now, *posts, settleMinutes);
    if (dataspec == jv::kSpecLatestOdds) {
        // The latest odds by now: the series' last announcement where the file's own
        // (the day's last) is not out yet.
        for (std::string_view series : {jv::kSpecTanOdds, jv::kSpecUmarenOdds}) {
            std::string_view type = series == jv::kSpecTanOdds ? "O1" : "O2";
            if (hasRecordOfType(published, type))
                continue;
            fs::path file =
                m_feedFolder / std::string(series) / (key + std::string(kFeedExtension));
            std::error_code ec;
            if (!fs::exists(file, ec))
                continue;
            try {
                published += lastRecord(
                    publishedRecords(readFileBytes(file), series, now, *posts, settleMinutes));
            } catch (const Error&) {
                // An unreadable series gives no latest odds of its type.
            }
        }
    }
    return published;
}

// The post times of a day's races, from its results file; read again when the file
// changes. Empty when the feed has none.
const PostTimes& ReplayJvLink::postTimesOfDay(const std::string& day)
{
    fs::path file =
        m_feedFolder / std::string(jv::kSpecDayResults) / (day + std::string(kFeedExtension));
    std::string identity = sourceIdentity(file).value_or("");
    auto& [known, posts] = m_postTimes[day];
    if (known != identity || identity.empty()) {
        posts = PostTimes();
        known = identity;
        if (!identity.empty()) {
            try {
                posts.addFrom(readFileBytes(file));
            } catch (const Error&) {
                known.clear(); // tried again at the next open
            }
        }
    }
    return posts;
}

// Copies the next file still to download into the cache: 0 or -502.
int ReplayJvLink::downloadNext()
{
    if (m_downloadError != 0)
        return m_downloadError;
    if (m_downloaded >= m_downloads.size())
        return jv::kOk;
    FeedFile& file = m_files[m_downloads[m_downloaded]];
    fs::path copy = cachedCopy(file);
    try {
        // The identity is taken before the copy: a source changed meanwhile no longer
        // matches it and is fetched again by the next open.
        auto identity = sourceIdentity(file.source);
        if (!identity)
            throw Error("missing: " + file.source.string());
        std::string bytes = readFileBytes(file.source);
        std::error_code ec;
        fs::create_directories(copy.parent_path(), ec);
        writeFileAtomic(copy, bytes);
        writeFileAtomic(identityFile(copy), *identity);
    } catch (const Error&) {
        m_downloadError = jv::kDownloadFailed;
        return m_downloadError;
    }
    file.available = true;
    ++m_downloaded;
    return jv::kOk;
}

int ReplayJvLink::JVStatus()
{
    if (!m_initialised)
        return jv::kNotInitialised;
    if (m_stream == Stream::None || m_cancelled)
        return jv::kNotOpened;
    ++m_statusCalls;
    hang(m_faults.hangSeconds(JvOperation::JVStatus, m_dataspec, m_key, m_statusCalls));
    if (auto fault = m_faults.find(JvOperation::JVStatus, m_dataspec, m_key, m_statusCalls))
        return *fault;
    if (int code = downloadNext(); code != jv::kOk)
        return code;
    return static_cast<int>(m_downloaded);
}

int ReplayJvLink::JVRead(std::string& buffer, int& size, std::string& fileName)
{
    buffer.clear();
    if (!m_initialised)
        return jv::kNotInitialised;
    if (m_stream == Stream::None || m_cancelled)
        return jv::kNotOpened;
    ++m_readCalls;
    hang(m_faults.hangSeconds(JvOperation::JVRead, m_dataspec, m_key, m_readCalls));
    if (auto fault = m_faults.find(JvOperation::JVRead, m_dataspec, m_key, m_readCalls))
        return *fault;
    if (m_readError != 0)
        return m_readError;

    for (;;) {
        if (m_fileIndex >= m_files.size())
            return jv::kReadEnd;
        FeedFile& file = m_files[m_fileIndex];
        if (!m_fileLoaded) {
            if (!file.available) {
                if (int code = downloadNext(); code != jv::kOk)
                    return code;
                return jv::kReadDownloading;
            }
            try {
                m_fileBytes = readFileBytes(cachedCopy(file));
            } catch (const Error&) {
                m_readError = jv::kFileNotFound;
                return m_readError;
            }
            m_fileLoaded = true;
            m_pos = 0;
        }
        if (m_pos < m_fileBytes.size()) {
            std::string_view rest = std::string_view(m_fileBytes).substr(m_pos);
            size_t lf = rest.find('\n');
            if (lf == std::string_view::npos || lf == 0 || rest[lf - 1] != '\r') {
                m_readError = jv::kBadFileContent;
                return m_readError;
            }
            size_t length = lf + 1;
            if (size < 0 || length > static_cast<size_t>(size))
                return jv::kBadFileSize;
            buffer.assign(rest.substr(0, length));
            size = static_cast<int>(length);
            fileName = file.name;
            m_pos += length;
            return size;
        }
        // The file is done: the next one begins.
        m_fileLoaded = false;
        m_fileBytes.clear();
        m_pos = 0;
        ++m_fileIndex;
        if (m_files.size() > 1)
            return jv::kReadFileSwitch;
    }
}

int ReplayJvLink::JVClose()
{
    int code = jv::kOk;
    if (m_closePending) {
        hang(m_faults.hangSeconds(JvOperation::JVClose, m_dataspec, m_key, 1));
        if (auto fault = m_faults.find(JvOperation::JVClose, m_dataspec, m_key, 1))
            code = *fault;
    }
    resetStream();
    m_closePending = false;
    return code;
}

void ReplayJvLink::JVCancel()
{
    if (m_stream == Stream::None)
        return;
    m_cancelled = true;
    m_downloads.clear();
    m_downloaded = 0;
    m_fileBytes.clear();
    m_fileLoaded = false;
}

} // namespace sorvantix
