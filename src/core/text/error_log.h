#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

class Clock;

// The error log ErrorLog.txt: CP932 lines with CR LF, the newest last. The file is
// authoritative: every append reloads it, so other writers' lines are kept. Lines are
// held as the stored bytes, so a damaged line never stops the log from being written.
class ErrorLog
{
public:
    // Shows a message to the person (the status label under the race list).
    using StatusSink = std::function<void(const std::string& message)>;

    // `clock` must outlive the log.
    ErrorLog(std::filesystem::path file, const Clock& clock, StatusSink status = {});

    // The start-up entry: loads the file if it exists, keeps its last 100 lines, adds
    // "ソフト起動：yyyy/mm/dd hh:nn:ss" and a line with `appDir`, and saves. Throws
    // Error when the file cannot be read or written.
    void startEntry(const std::filesystem::path& appDir);

    // Shows `message` through the status sink, then reloads the file (missing = empty),
    // adds "【エラー】hh:nn:ss：" + message and saves. No trimming here. Returns the
    // line as stored. Characters CP932 cannot hold are stored as "?" and line breaks as
    // blanks, so the entry stays one line. Throws Error when the file cannot be read
    // or written; the message has been shown by then.
    std::string append(std::string_view message);

    // The lines as last loaded or saved, decoded to UTF-8.
    std::vector<std::string> lines() const;

    const std::filesystem::path& file() const { return m_file; }

    // The most lines kept from before a start.
    static constexpr size_t kKeptLines = 100;

private:
    void load();
    void save();

    std::filesystem::path m_file;
    const Clock& m_clock;
    StatusSink m_status;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_rawLines;
};

} // namespace sorvantix
