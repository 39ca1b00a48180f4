// The bulk import of a year of race cards and results (sorvantix-feed, 2025, seed 7,
// without odds series) through the acquisition window's read loop and the batched
// writer, with the replay's download already in its cache. Two references in the same
// run: reading the delivered records once and writing the same final files with one
// plain write each (the floor of any import), and storing the same records one by one
// by the per-record rules (what the batched writer replaces). Each run checks that it
// ends with the same bytes.

#include "core/app/card_acquisition.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/store/race_card_files.h"
#include "core/text/clock.h"
#include "core/text/ini_file.h"
#include "core/text/text_file.h"
#include "feed/feed_writer.h"
#include "quiet_person.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace sorvantix;

const std::string kSid = "SA730519/SD815207/Sorvantix/Ver.1.30";

std::vector<fs::path> filesOf(const fs::path& dir)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& path : filesOf(dir))
        files[path.filename().string()] = readFileBytes(path);
    return files;
}

// One application folder over the generated year's feed, its download cached, and
// the Data folder an import ends with.
struct Year
{
    fs::path root =
        fs::temp_directory_path() / ("sorvantix-bench-import-" + std::to_string(::getpid()));
    fs::path feed = root / "feed";
    fs::path app = root / "app";
    int races = 0;
    std::map<std::string, std::string> expected; // file name -> bytes

    Year()
    {
        fs::remove_all(root);
        feed::FeedOptions options;
        options.from = {2025, 1, 1};
        options.to = {2025, 12, 31};
        options.seed = 7;
        options.oddsDays = feed::OddsDays::None;
        races = feed::writeFeed(options, feed).races;
        fs::create_directories(app);
        ReplayJvLink link(folders());
        link.JVInit(kSid);
        int readCount = 0, downloadCount = 0;
        std::string stamp;
        if (link.JVOpen("RACE", "20000101000000", 3, readCount, downloadCount, stamp) == 0) {
            int status = 0;
            while (status >= 0 && status < downloadCount)
                status = link.JVStatus();
        }
        link.JVClose();
    }
    ~Year() { fs::remove_all(root); }

    ReplayJvLinkFolders folders() const { return {app / "jvlink.ini", app / "jvcache", feed}; }
    fs::path data() const { return app / "Data"; }
    fs::path cache() const { return app / "jvcache" / "RACE"; }
};

Year& year()
{
    static Year y;
    return y;
}

// The acquisition window's run as the program makes it: start, then the status timer
// until the read loop has ended.
CardRunOutcome importOnce(const Year& y)
{
    ReplayJvLink link(y.folders());
    link.JVInit(kSid);
    TIniGT ini(y.app / "sorvantix.ini");
    SettableClock clock{{2026, 1, 10, 9, 0, 0}};
    bench::QuietPerson person;
    std::atomic<bool> stop{false};
    TGetDataForm form(link, y.app, ini, clock, person, stop);
    form.FormCreate();
    form.setSetup(true);
    form.setFromDate({2000, 1, 1, 0, 0, 0});
    return runCardAcquisition(form, {});
}

bool sameAsExpected(const Year& y, benchmark::State& state)
{
    if (snapshot(y.data()) != y.expected) {
        state.SkipWithError("the Data folder differs from the acquisition's");
        return false;
    }
    return true;
}

void BM_BulkImportYear(benchmark::State& state)
{
    Year& y = year();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(y.data());
        fs::remove(y.app / "sorvantix.ini");
        state.ResumeTiming();
        if (importOnce(y) != CardRunOutcome::Completed) {
            state.SkipWithError("the import did not complete");
            return;
        }
    }
    if (y.expected.empty())
        y.expected = snapshot(y.data());
    state.counters["races"] = y.races;
    state.counters["files"] = static_cast<double>(y.expected.size());
}
BENCHMARK(BM_BulkImportYear)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: every delivered record read once from the cache, and every final file
// written with one plain write (no temporary file, no rename).
void BM_BulkImportYearPlainWrite(benchmark::State& state)
{
    Year& y = year();
    if (y.expected.empty()) {
        state.SkipWithError("run BM_BulkImportYear first");
        return;
    }
    size_t records = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(y.data());
        state.ResumeTiming();
        records = 0;
        for (const auto& file : filesOf(y.cache())) {
            const std::string bytes = readFileBytes(file);
            for (size_t at = bytes.find('\n'); at != std::string::npos;
                 at = bytes.find('\n', at + 1))
                ++records;
        }
        fs::create_directories(y.data());
        for (const auto& [name, bytes] : y.expected) {
            const int fd = ::open((y.data() / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 ||
                ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
                state.SkipWithError("write failed");
                return;
            }
            ::close(fd);
        }
    }
    sameAsExpected(y, state);
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_BulkImportYearPlainWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

// The durable floor: the same plain read, and every final file written durably at the
// least cost that keeps it whole across a power loss: a temporary file each, one flush
// of the file system, the renames, one more flush.
void BM_BulkImportYearDurableWrite(benchmark::State& state)
{
    Year& y = year();
    if (y.expected.empty()) {
        state.SkipWithError("run BM_BulkImportYear first");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(y.data());
        state.ResumeTiming();
        for (const auto& file : filesOf(y.cache()))
            benchmark::DoNotOptimize(readFileBytes(file));
        fs::create_directories(y.data());
        std::vector<std::pair<fs::path, fs::path>> renames;
        int last = -1;
        for (const auto& [name, bytes] : y.expected) {
            const fs::path target = y.data() / name;
            const fs::path temp = y.data() / ("." + name + ".tmp");
            const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 ||
                ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
                state.SkipWithError("write failed");
                return;
            }
            if (last >= 0)
                ::close(last);
            last = fd;
            renames.emplace_back(temp, target);
        }
        if (last >= 0) {
            ::syncfs(last);
            ::close(last);
        }
        for (const auto& [temp, target] : renames)
            ::rename(temp.c_str(), target.c_str());
        const int dir = ::open(y.data().c_str(), O_RDONLY | O_DIRECTORY);
        ::syncfs(dir);
        ::close(dir);
    }
    sameAsExpected(y, state);
}
BENCHMARK(BM_BulkImportYearDurableWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same records stored one by one (each record rereads and rewrites its day file).
void BM_BulkImportYearRecordByRecord(benchmark::State& state)
{
    Year& y = year();
    if (y.expected.empty()) {
        state.SkipWithError("run BM_BulkImportYear first");
        return;
    }
    std::vector<std::string> records;
    for (const auto& file : filesOf(y.cache()))
        for (std::string record : readLinesRaw(file)) {
            const std::string type = record.substr(0, 2);
            if ((type == "RA" || type == "SE" || type == "HR") && !bulkSkipsDataKind(record))
                records.push_back(record + "\r\n");
        }
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(y.data());
        fs::create_directories(y.data());
        state.ResumeTiming();
        for (const auto& record : records)
            storeCardRecord(y.app, record, CardWriter::Bulk);
    }
    sameAsExpected(y, state);
    state.counters["records"] = static_cast<double>(records.size());
}
BENCHMARK(BM_BulkImportYearRecordByRecord)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(1);

} // namespace
