#include "core/text/error_log.h"

#include "core/text/clock.h"
#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/text_file.h"

#include <system_error>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

// Length of the UTF-8 sequence that starts with `lead`; 1 for a stray byte.
size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

// The log must never lose an entry because of one character: what CP932 cannot hold
// becomes "?", a line break a blank.
std::string logLineBytes(std::string_view utf8)
{
    if (fitsCp932(utf8) && !hasLineBreak(utf8))
        return toCp932(utf8);
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        size_t n = std::min(sequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        std::string_view ch = utf8.substr(i, n);
        if (ch == "\r" || ch == "\n")
            out += ' ';
        else if (fitsCp932(ch))
            out += toCp932(ch);
        else
            out += '?';
        i += n;
    }
    return out;
}

} // namespace

ErrorLog::ErrorLog(fs::path file, const Clock& clock, StatusSink status)
    : m_file(std::move(file)), m_clock(clock), m_status(std::move(status))
{
}

void ErrorLog::load()
{
    std::error_code ec;
    bool exists = fs::exists(m_file, ec);
    if (ec)
        throw Error("エラーログを読めません: " + m_file.string() + ": " + ec.message());
    m_rawLines = exists ? readLinesRaw(m_file) : std::vector<std::string>();
}

void ErrorLog::save()
{
    writeLinesRaw(m_file, m_rawLines);
}

void ErrorLog::startEntry(const fs::path& appDir)
{
    std::lock_guard lock(m_mutex);
    WriteLock folder; // another program may append between the read and the write
    load();
    if (m_rawLines.size() > kKeptLines)
        m_rawLines.erase(m_rawLines.begin(),
                         m_rawLines.end() - static_cast<std::ptrdiff_t>(kKeptLines));
    m_rawLines.push_back(logLineBytes("ソフト起動：" + dateTimeText(m_clock.now())));
    m_rawLines.push_back(logLineBytes(appDir.string()));
    save();
}

std::string ErrorLog::append(std::string_view message)
{
    // The person sees the message first, even when the file then fails.
    if (m_status)
        m_status(std::string(message));
    std::string line = "【エラー】" + timeText(m_clock.now()) + "：" + std::string(message);
    std::string bytes = logLineBytes(line);
    std::lock_guard lock(m_mutex);
    WriteLock folder;
    std::error_code ec;
    const bool exists = fs::exists(m_file, ec);
    if (ec)
        throw Error("エラーログを読めません: " + m_file.string() + ": " + ec.message());
    const std::string was = exists ? readFileBytes(m_file) : std::string();
    m_rawLines = splitLines(was);
    m_rawLines.push_back(bytes);
    // A log that ends whole gets the line at its end, without writing it all again (a
    // live day that cannot reach the service logs a failure a minute).
    if (exists && !was.empty() && was.ends_with("\n"))
        appendFileDurable(m_file, bytes + "\r\n");
    else
        save();
    return fromCp932(bytes);
}

std::vector<std::string> ErrorLog::lines() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> out;
    out.reserve(m_rawLines.size());
    for (const auto& raw : m_rawLines)
        out.push_back(fromCp932(raw));
    return out;
}

} // namespace sorvantix
