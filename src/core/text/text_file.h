#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// Whole-file access. Stored files are CP932 with CR LF after every line; every write
// goes through writeFileAtomic, so a crash or kill never leaves a half-written file.

// The UTF-8 byte-order mark some editors write at the start of a text file.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Reads the whole file as bytes. Throws Error when it cannot be read.
std::string readFileBytes(const std::filesystem::path& path);

// Splits bytes into lines at CR LF, CR or LF; a last line without an ending counts,
// a final line ending adds no empty line.
std::vector<std::string> splitLines(std::string_view bytes);

// Lines of a file as raw CP932 bytes (records are cut by byte position).
std::vector<std::string> readLinesRaw(const std::filesystem::path& path);

// Lines of a file decoded to UTF-8.
std::vector<std::string> readLinesText(const std::filesystem::path& path);

// The bytes of raw lines, each followed by CR LF.
std::string joinLinesRaw(const std::vector<std::string>& lines);
// Writes raw CP932 lines, each followed by CR LF, atomically.
void writeLinesRaw(const std::filesystem::path& path, const std::vector<std::string>& lines);

// Writes UTF-8 lines as CP932, each followed by CR LF, atomically. A line CP932
// cannot hold throws Error before anything is written.
void writeLinesText(const std::filesystem::path& path, const std::vector<std::string>& lines);

// Replaces the file's content: writes a temporary file ".<name>.XXXXXX" in the same
// folder, flushes it to disk, renames it over the old file and flushes the folder.
// A file inside the folder of the write lock is written holding the lock.
// Throws Error on failure, leaving the old file as it was.
void writeFileAtomic(const std::filesystem::path& path, std::string_view bytes);
// Adds `bytes` at the end of the existing file `path` and flushes it to disk, for files
// of whole records that only grow (an odds series): what was there stays as it was,
// and a kill midway leaves at most a cut-off last record, which the readers pass over.
// Holds the write lock like writeFileAtomic. Throws Error when the file is missing or
// cannot be written.
void appendFileDurable(const std::filesystem::path& path, std::string_view bytes);
// The same without the flushes to disk, for files that are made again at no cost
// (the generated feed): still whole or absent after a kill, not after a power loss.
void writeFileAtomicUnsynced(const std::filesystem::path& path, std::string_view bytes);

// writeFileAtomic for many files with two flushes to disk in all: every temporary file
// is written, one syncfs of their file system puts them on disk, each is renamed, and
// one more syncfs makes the renames durable. Returns one entry per file: null, or the
// Error that file failed with (its old content kept, or, when only the last flush
// failed, its new content in place but perhaps not yet on disk); the others are
// written all the same.
struct FileContent
{
    std::filesystem::path path;
    std::string_view bytes;
};
std::vector<std::exception_ptr> writeFilesAtomic(const std::vector<FileContent>& files);

// Whether a file name is that of a temporary file of the atomic writes.
bool isTempFileName(std::string_view name);
// Removes the temporary files a killed write left in `dir` (not its subfolders) for
// files with one of the extensions (".jvRA" ...); each writer calls it for its own
// kinds of file before it writes there. Only the holder of the folder's write lock
// removes anything (another writer's temporary file may be live): without it, nothing
// is removed. Returns how many were removed.
int removeStaleTempFiles(const std::filesystem::path& dir,
                         const std::vector<std::string_view>& extensions);

} // namespace sorvantix
