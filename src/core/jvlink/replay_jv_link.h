#pragma once

#include "core/jvlink/jv_link.h"
#include "core/jvlink/replay_faults.h"
#include "core/jvlink/replay_timeline.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sorvantix {

// Where the replay keeps its settings and downloads.
struct ReplayJvLinkFolders
{
    std::filesystem::path settingsFile;      // the kept feed folder (jvlink.ini)
    std::filesystem::path cacheFolder;       // downloaded copies of stored data files
    std::filesystem::path defaultFeedFolder; // used while the settings name no folder

    // AppDir/jvlink.ini, AppDir/jvcache and AppDir/feed.
    static ReplayJvLinkFolders inAppDir(const std::filesystem::path& appRoot);
};

// The JV-Link of this platform: serves JV-Data records from a feed folder.
//
//   feed/RACE/<yyyymmddhhnnss>[-name].jvd  stored data for JVOpen("RACE"); the 14 digits
//                                          are the file's stamp
//   feed/0B41/<16-digit race key>.jvd      real-time data for JVRTOpen; also 0B42, 0B30
//   feed/0B12/<yyyymmdd>.jvd               results of a day for JVRTOpen("0B12")
//   feed/faults.txt                        injected results (format in replay_faults.h)
//   feed/feed.ini                          "[Replay] SettlementMinutes=N": how long after
//                                          post a race's results are published (10)
// Each .jvd file holds CP932 records, each ending in CR LF. Names in RACE/ of another
// form or with an impossible date-time are not served and are listed in feedWarnings();
// names starting with "." (files being written) are passed over.
//
// Settings. The feed folder is kept in the settings file as "FeedFolder=<absolute
// path>" under "[JVLink]"; without one the default folder is used. The settings dialog
// is modelled as setFeedFolder() (the user's choice) followed by JVSetUIProperties(),
// which keeps it: 0 when kept (or when no choice was made: Cancel), -100 when the
// folder is not an existing folder or the settings file cannot be written. A settings
// file that cannot be read, or names a relative folder, makes every open fail with
// -211 until JVSetUIProperties keeps a folder again.
//
// JVInit: -101 empty, -102 longer than 64 bytes, -103 starting with a blank, -101 for
// any byte other than letters, digits, blank, "_", "." and "/". Until a JVInit
// succeeds, every other operation but JVSetUIProperties, JVClose and JVCancel gives
// -201.
//
// JVOpen("RACE", fromtime, option): the files whose stamp is later than fromtime, in
// stamp order, then name order. fromtime is 14 digits of a real date and time, or
// "00000000000000" for everything (-112 otherwise); option 1..4 (-115 otherwise);
// any other data spec -111. Options 1, 3 and 4 serve alike. Option 2, "this week",
// covers only the 7 days up to the newest file of the feed: a fromtime earlier than
// that gives -116 (ask with option 1 or 3 instead). -1 when no file is newer.
// Read count = the files served; download count = those of them not yet in the cache
// folder (a cached copy counts only while its source file keeps the size and time it
// had when copied); last file timestamp = the newest stamp. Every non-zero open leaves
// the counts 0 and the stamp empty.
//
// JVStatus copies the next file still to download into the cache and returns the
// number copied so far (0 .. download count); -502 when a copy fails. JVRead hands
// out one record per call, byte for byte from the cached copy, with its CR LF:
//   - -3 while the file it has reached is not yet copied; such a read also moves the
//     download on by one file, as the real download runs in the background, so a loop
//     that only reads still finishes;
//   - -1 after each file when more than one file is served (so once before the final
//     0 too); a single file gives its records and then 0;
//   - 0 at the end, and again on every later read;
//   - -403 once the rest of a file is no whole record (cut short, no CR LF at its end,
//     or a bare LF), after the whole records before it; the stream stays at -403;
//   - -402 when the next record is longer than `size`; the record stays unread;
//   - -503 when the cached copy has gone; -502 when the download failed.
// JVRTOpen(spec, key) for "0B41", "0B42", "0B30" (16-digit race key with a real date)
// and "0B12" (yyyymmdd): -111 for another spec, -114 for a key of another form, -1
// when feed/<spec>/<key>.jvd is missing or empty, -401 when it cannot be read. The
// data is read at the open; reading gives its records and 0, with no download phase
// (JVStatus gives 0).
//
// Keeping time. With a clock (setClock), JVRTOpen serves what the real service would
// have published by the clock's time (rules in replay_timeline.h): the announcements of
// an odds series up to now, a final record not before post (post times from the day's
// feed/0B12 file), a race's results once its post time and the settlement delay have
// passed. -1 when nothing is published yet. Stored data keeps time only when asked
// (setStoredDataByClock): JVOpen then serves the RACE files whose stamp has come (the
// service publishes a file at its stamp), race cards two days ahead and a weekend's
// results the day after, as a set-up before a race day would find them. Without a
// clock everything in the feed is served.
//
// JVCancel stops the download and ends the stream: later reads and status polls give
// -203, and the cancelled stream no longer blocks an open, so a caller that does not
// close after a cancel can start again. JVClose ends the stream and gives 0, also when
// nothing is open. Any open while a stream is open gives -202; reads and status polls
// with nothing open give -203.
//
// faults.txt is read again at every JVOpen and JVRTOpen; its rules then apply to that
// open and to the status polls, reads and close that follow, up to the JVClose. An
// injected read or status result takes the place of the call's own (the stream does
// not move on); an injected close result is returned but the stream is closed all
// the same. Lines that are not used are listed in faultWarnings().
//
// One request at a time: the instance holds all its state and shares none, so it may
// live on a worker thread, but it is not to be called from two threads at once.
class ReplayJvLink : public JvLink
{
public:
    explicit ReplayJvLink(const std::filesystem::path& appRoot);
    explicit ReplayJvLink(ReplayJvLinkFolders folders);

    int JVInit(const std::string& sid) override;
    int JVSetUIProperties() override;
    int JVOpen(const std::string& dataspec, const std::string& fromtime, int option, int& readCount,
               int& downloadCount, std::string& lastFileTimestamp) override;
    int JVRTOpen(const std::string& dataspec, const std::string& key) override;
    int JVStatus() override;
    int JVRead(std::string& buffer, int& size, std::string& fileName) override;
    int JVClose() override;
    void JVCancel() override;

    // The clock the real-time data is published by; null serves the whole feed. The
    // clock must outlive the replay and may be read from the replay's thread.
    void setClock(const Clock* clock) { m_clock = clock; }
    // Whether JVOpen("RACE") also keeps the clock (off: every file is served, as the
    // stored data of a past day is).
    void setStoredDataByClock(bool byClock) { m_storedByClock = byClock; }

    // The feed folder served now (absolute).
    const std::filesystem::path& feedFolder() const { return m_feedFolder; }

    // The folder chosen in the settings dialog; the next JVSetUIProperties keeps it.
    void setFeedFolder(std::filesystem::path folder) { m_chosenFeedFolder = std::move(folder); }

    // Why the settings file is not used (UTF-8), empty when it is fine.
    const std::string& settingsProblem() const { return m_settingsProblem; }
    // Why the last JVSetUIProperties kept no folder (the folder is missing, the settings
    // file cannot be written); empty after a success or a cancel.
    const std::string& settingsError() const { return m_settingsError; }
    // What keeps every open from serving data: the settings problem, or a feed folder
    // that does not exist (none chosen, or the chosen one was removed), with how to
    // choose one. Empty when the feed can be served.
    std::string setupProblem() const;

    // The faults.txt lines the last open did not use, one text each.
    const std::vector<std::string>& faultWarnings() const { return m_faults.warnings(); }

    // The RACE files the last JVOpen did not serve, one text each.
    const std::vector<std::string>& feedWarnings() const { return m_feedWarnings; }

private:
    enum class Stream { None, Stored, RealTime };

    struct FeedFile
    {
        std::string name;
        std::string stamp;
        std::filesystem::path source;
        bool available = false; // copied into the cache (or real-time data in memory)
    };

    void loadSettings();
    void resetStream();
    int beginOpen(const std::string& dataspec, const std::string& key);
    int failOpen(int code, int& readCount, int& downloadCount, std::string& lastFileTimestamp);
    int listRaceFiles(const std::string& fromtime, std::vector<FeedFile>& files,
                      std::string& newestStamp);
    int downloadNext();
    std::filesystem::path cachedCopy(const FeedFile& file) const;
    std::string publishedByNow(std::string bytes, const std::string& dataspec,
                               const std::string& key);
    const PostTimes& postTimesOfDay(const std::string& day);
    bool isCached(const FeedFile& file) const;

    ReplayJvLinkFolders m_folders;
    std::filesystem::path m_feedFolder;
    std::optional<std::filesystem::path> m_chosenFeedFolder;
    std::string m_settingsProblem;
    std::string m_settingsError;

    static void hang(int seconds);
    bool m_initialised = false;
    const Clock* m_clock = nullptr;
    bool m_storedByClock = false;
    // The post times read from a day's results file, and what that file was.
    std::map<std::string, std::pair<std::string, PostTimes>> m_postTimes;

    // The stream, from an open to its close.
    Stream m_stream = Stream::None;
    bool m_cancelled = false;
    bool m_closePending = false; // an open was tried since the last close
    std::string m_dataspec;
    std::string m_key;
    JvFaultSet m_faults;
    std::vector<std::string> m_feedWarnings;
    int m_statusCalls = 0;
    int m_readCalls = 0;
    std::vector<FeedFile> m_files;
    std::vector<size_t> m_downloads; // indexes into m_files, in download order
    size_t m_downloaded = 0;
    int m_downloadError = 0;
    size_t m_fileIndex = 0;
    bool m_fileLoaded = false;
    std::string m_fileBytes;
    size_t m_pos = 0;
    int m_readError = 0;
};

} // namespace sorvantix
