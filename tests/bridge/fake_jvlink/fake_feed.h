#pragma once

// The behaviour of the stand-in JV-Link, without COM: serves the replay's feed-folder
// layout (core/jvlink/replay_jv_link.h) the way the real component hands out data,
// with injected faults (feed/faults.txt). TEST CODE ONLY.

#include <optional>
#include <string>
#include <vector>

namespace fakejv {

enum class FaultOp { JVOpen, JVRTOpen, JVStatus, JVRead, JVClose };

struct FaultRule
{
    FaultOp op = FaultOp::JVOpen;
    std::string dataspec; // "*" = any
    std::string key;      // "*" = any
    int code = 0;
    int hangSeconds = 0; // hang=N: the call blocks N seconds, then goes on as without the rule
    int at = 0;          // 0 = every call; n = only the n-th call since the open
};

// The lines of faults.txt: the replay's format, where CODE may also be hang=N.
std::vector<FaultRule> parseFaults(const std::string& bytes);

class FakeFeed
{
public:
    // feedFolder: the Windows path of the feed folder; empty when none is set.
    explicit FakeFeed(std::wstring feedFolder) : m_feedFolder(std::move(feedFolder)) {}

    int init(const std::string& sid);
    int open(const std::string& dataspec, const std::string& fromtime, int option, int& readCount,
             int& downloadCount, std::string& lastFileTimestamp);
    int rtOpen(const std::string& dataspec, const std::string& key);
    int status();
    // One record (CP932 bytes with its CR LF) and the name of its file.
    int read(int size, std::string& record, std::string& fileName);
    int skip();
    int close();
    void cancel();

private:
    enum class Stream { None, Stored, RealTime };

    struct File
    {
        std::string name; // UTF-8
        std::string stamp;
        std::wstring path;
    };

    // The code of the first matching rule with a code, after the first matching hang rule
    // has held the call.
    std::optional<int> fault(FaultOp op, int call) const;
    int beginOpen(const std::string& dataspec, const std::string& key);
    void resetStream();

    std::wstring m_feedFolder;
    bool m_initialised = false;
    bool m_openPending = false; // an open was tried since the last close
    Stream m_stream = Stream::None;
    bool m_cancelled = false;
    std::string m_dataspec;
    std::string m_key;
    std::vector<FaultRule> m_faults;
    int m_statusCalls = 0;
    int m_readCalls = 0;
    std::vector<File> m_files;
    size_t m_downloaded = 0; // files are downloaded in reading order
    size_t m_fileIndex = 0;
    bool m_fileLoaded = false;
    std::string m_bytes;
    size_t m_pos = 0;
    int m_readError = 0;
};

} // namespace fakejv
