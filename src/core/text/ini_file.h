#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// The lines of a Windows-style ini file, kept as the stored CP932 bytes so that lines
// the program does not touch (comments, unknown keys, blank lines, bytes that do not
// decode) are written back unchanged. Section and key names compare without regard to
// ASCII case and surrounding blanks; the first matching section and key win.
class IniDocument
{
public:
    IniDocument() = default;
    explicit IniDocument(std::vector<std::string> rawLines) : m_lines(std::move(rawLines)) {}

    // The value of `key` in `section` (UTF-8), trimmed of surrounding blanks;
    // nullopt when the section or key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Sets the value (UTF-8), replacing the key's line or adding it at the end of the
    // section, or adding the section at the end of the file. Throws Error for a name
    // or value that would break the line structure (line breaks, "=" in a key, "]" in
    // a section) or that CP932 cannot hold; the document is then unchanged.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    const std::vector<std::string>& rawLines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

// The settings component: reads and writes one ini file (CP932, CR LF). Every call
// sees the file as it is now (one unchanged since the last call, by its inode, size
// and times, is not read again) and every write replaces it atomically, so all
// instances that address the same file see each other's writes, as the windows of the
// program expect.
// A missing file reads as empty and is created by the first write; a file that exists
// but cannot be read or written throws Error. Calls are serialised within the process.
class TIniGT
{
public:
    explicit TIniGT(std::filesystem::path fileName) : m_fileName(std::move(fileName)) {}

    const std::filesystem::path& FileName() const { return m_fileName; }

    // The value as a decimal integer (blanks around it allowed); `defaultValue` when
    // the key is missing or its value is not an integer.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;

    // Writes the decimal text of `value`.
    void WriteInteger(std::string_view section, std::string_view key, int value) const;

    // The value text, `defaultValue` when the key is missing. A value enclosed in
    // double quotes or in the half-width brackets "｢" "｣" reads without them; a value
    // of just those two characters reads as empty.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // Writes the text unchanged (it reads back trimmed of surrounding blanks).
    void WriteString(std::string_view section, std::string_view key, std::string_view value) const;

private:
    std::optional<std::string> rawValue(std::string_view section, std::string_view key) const;

    std::filesystem::path m_fileName;
};

} // namespace sorvantix
