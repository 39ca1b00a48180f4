#include "core/app/card_acquisition.h"
#include "core/app/recording_person.h"
#include "core/app/temp_dir.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/store/race_card_files.h"
#include "core/text/clock.h"
#include "core/text/ini_file.h"
#include "core/text/sorted_text_list.h"
#include "core/text/text_file.h"
#include "feed/feed_writer.h"
#include "folder_listing.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace sorvantix;
using sorvantix::test::RecordingPerson;
using sorvantix::test::TempDir;
namespace fs = std::filesystem;

using sorvantix::test::sortedFiles;

namespace {

const std::string kSid = "SA730519/SD815207/Sorvantix/Ver.1.30";
const std::string kEarlierLastTime = "2001/01/01 00:00:00";

// Every file of a folder by name, with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& path : sortedFiles(dir))
        files[path.filename().string()] = readFileBytes(path);
    return files;
}

// Compares two Data folders file by file, naming the first files that differ.
void expectSameFolder(const fs::path& actual, const fs::path& expected)
{
    const auto a = snapshot(actual);
    const auto e = snapshot(expected);
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(a.size(), e.size());
    int differences = 0;
    for (const auto& [name, bytes] : e) {
        auto it = a.find(name);
        if (it == a.end())
            ADD_FAILURE() << "missing: " << name;
        else if (it->second != bytes)
            ADD_FAILURE() << "differs: " << name;
        else
            continue;
        if (++differences == 5)
            return;
    }
    for (const auto& [name, bytes] : a)
        if (e.count(name) == 0)
            ADD_FAILURE() << "extra: " << name;
}

// A day file a killed or interrupted run may leave must still be whole: RA and HR whole
// records sorted ascending, SE exactly its 216 lines, and nothing else in the folder.
void expectEveryFileWhole(const fs::path& data)
{
    for (const auto& path : sortedFiles(data)) {
        const std::string name = path.filename().string();
        const std::string bytes = readFileBytes(path);
        const std::string ext = path.extension().string();
        if (ext == ".jvSEr") {
            EXPECT_EQ(bytes.size(), size_t{kSeFileLines} * kSeRecordLength) << name;
            continue;
        }
        size_t length = ext == ".jvRA" ? kRaRecordLength : ext == ".jvHR" ? kHrRecordLength : 0;
        if (length == 0) {
            ADD_FAILURE() << "not a day file: " << name;
            continue;
        }
        EXPECT_EQ(bytes.size() % length, 0u) << name;
        const auto lines = readLinesRaw(path);
        EXPECT_EQ(lines.size() * length, bytes.size()) << name;
        for (size_t i = 1; i < lines.size(); ++i)
            EXPECT_LE(compareText(lines[i - 1], lines[i]), 0) << name << " line " << i + 1;
    }
}

// A generated span of race cards without odds series, its records in the order the
// replay serves them, and the Data folder of storing them one by one: made once.
struct GeneratedSpan
{
    TempDir dir;
    fs::path feed;
    fs::path reference; // an application folder
    std::vector<std::string> records;
    std::string newestStamp;

    GeneratedSpan() : feed(dir.path() / "feed"), reference(dir.path() / "reference")
    {
        feed::FeedOptions options;
        options.from = feed::FeedDate{2025, 1, 1};
        options.to = feed::FeedDate{2025, 1, 21};
        options.seed = 11;
        options.oddsDays = feed::OddsDays::None;
        feed::writeFeed(options, feed);
        for (const auto& file : sortedFiles(feed / "RACE")) {
            newestStamp = file.filename().string().substr(0, 14);
            for (std::string record : readLinesRaw(file))
                records.push_back(record + "\r\n");
        }
        for (const auto& record : records) {
            const std::string type = record.substr(0, 2);
            if ((type == "RA" || type == "SE" || type == "HR") && !bulkSkipsDataKind(record))
                storeCardRecord(reference, record, CardWriter::Bulk);
        }
    }

    int cardRecords() const
    {
        return static_cast<int>(std::count_if(records.begin(), records.end(), [](const auto& r) {
            const std::string type = r.substr(0, 2);
            return (type == "RA" || type == "SE" || type == "HR") && !bulkSkipsDataKind(r);
        }));
    }

    // "yyyy/mm/dd hh:nn:ss" of the newest stored file.
    std::string newestLastTime() const
    {
        const std::string& s = newestStamp;
        return s.substr(0, 4) + "/" + s.substr(4, 2) + "/" + s.substr(6, 2) + " " + s.substr(8, 2) +
               ":" + s.substr(10, 2) + ":" + s.substr(12, 2);
    }
};

const GeneratedSpan& span()
{
    static const auto instance = std::make_unique<GeneratedSpan>();
    return *instance;
}

// One application folder with the acquisition window over the replay JV-Link, which
// serves `feedDir`.
struct Importer
{
    explicit Importer(const fs::path& feedDir)
        : app(dir.path() / "app"), ini(app / "sorvantix.ini"),
          link(ReplayJvLinkFolders{app / "jvlink.ini", app / "jvcache", feedDir}),
          form(link, app, ini, clock, person, stop, [this](const GetDataFormView& v) {
              if (stopAfter > 0 && static_cast<int>(v.ListBox1.size()) >= stopAfter)
                  stop = true;
          })
    {
        fs::create_directories(app);
        EXPECT_EQ(link.JVInit(kSid), 0);
    }

    CardRunOutcome run()
    {
        stop = false;
        form.FormCreate();
        form.setSetup(true);
        form.setFromDate({2000, 1, 1, 0, 0, 0});
        return runCardAcquisition(form, {});
    }

    // Copies every file into the cache, so that a run has no download phase and may
    // save "LastTime".
    void download()
    {
        int readCount = 0, downloadCount = 0;
        std::string stamp;
        ASSERT_EQ(link.JVOpen("RACE", "20000101000000", 3, readCount, downloadCount, stamp), 0);
        int status = 0;
        while (status >= 0 && status < downloadCount)
            status = link.JVStatus();
        ASSERT_EQ(status, downloadCount);
        ASSERT_EQ(link.JVClose(), 0);
    }

    std::string lastTime() const { return ini.ReadString("JvDataGet", "LastTime", "<none>"); }
    fs::path data() const { return app / "Data"; }

    TempDir dir;
    fs::path app;
    TIniGT ini;
    SettableClock clock{{2025, 6, 1, 9, 0, 0}};
    RecordingPerson person;
    std::atomic<bool> stop{false};
    int stopAfter = 0; // set the stop flag once this many records are listed
    ReplayJvLink link;
    TGetDataForm form;
};

} // namespace

TEST(BulkImport, AcquisitionOverTheReplayEqualsStoringRecordByRecord)
{
    const GeneratedSpan& s = span();
    Importer importer(s.feed);
    EXPECT_EQ(importer.run(), CardRunOutcome::Completed);
    EXPECT_EQ(importer.form.storedRecords(), s.cardRecords());
    EXPECT_EQ(importer.form.refusedRecords(), 0);
    EXPECT_EQ(importer.lastTime(), "<none>"); // that run downloaded
    expectEveryFileWhole(importer.data());
    expectSameFolder(importer.data(), s.reference / "Data");

    // Again from the cache over the stored files: same bytes, and now "LastTime".
    EXPECT_EQ(importer.run(), CardRunOutcome::Completed);
    EXPECT_EQ(importer.lastTime(), s.newestLastTime());
    expectSameFolder(importer.data(), s.reference / "Data");
}

// Where an interrupted run stops: a read error at that share of the reads, or a cancel
// once that share of the records is stored.
struct InterruptCase
{
    const char* name;
    bool cancel;
    double at; // share of the card records
};

class BulkImportInterrupted : public testing::TestWithParam<InterruptCase>
{
};

TEST_P(BulkImportInterrupted, LeavesWholeFilesKeepsLastTimeAndResumes)
{
    const GeneratedSpan& s = span();
    const InterruptCase& c = GetParam();
    TempDir feedCopy;
    const fs::path feed = feedCopy.path() / "feed";
    fs::create_directories(feed);
    fs::copy(s.feed / "RACE", feed / "RACE");
    const int at = std::max(1, static_cast<int>(c.at * s.cardRecords()));
    if (!c.cancel)
        writeFileAtomic(feed / "faults.txt", "JVRead RACE * -502 at=" + std::to_string(at) + "\n");

    Importer importer(feed);
    importer.download();
    importer.ini.WriteString("JvDataGet", "LastTime", kEarlierLastTime);
    importer.stopAfter = c.cancel ? at : 0;
    EXPECT_EQ(importer.run(), c.cancel ? CardRunOutcome::Cancelled : CardRunOutcome::ReadFailed);
    EXPECT_GT(importer.form.storedRecords(), 0);
    EXPECT_LT(importer.form.storedRecords(), s.cardRecords());
    EXPECT_EQ(importer.lastTime(), kEarlierLastTime);
    expectEveryFileWhole(importer.data());

    // The stopped run wrote what it had stored: its files are those of the same
    // records stored one by one.
    TempDir partial;
    int left = importer.form.storedRecords();
    for (const auto& record : s.records) {
        if (left == 0)
            break;
        const std::string type = record.substr(0, 2);
        if ((type == "RA" || type == "SE" || type == "HR") && !bulkSkipsDataKind(record)) {
            storeCardRecord(partial.path(), record, CardWriter::Bulk);
            --left;
        }
    }
    expectSameFolder(importer.data(), partial.path() / "Data");

    fs::remove(feed / "faults.txt");
    importer.stopAfter = 0;
    EXPECT_EQ(importer.run(), CardRunOutcome::Completed);
    EXPECT_EQ(importer.lastTime(), s.newestLastTime());
    expectSameFolder(importer.data(), s.reference / "Data");
}

INSTANTIATE_TEST_SUITE_P(Cases, BulkImportInterrupted,
                         testing::Values(InterruptCase{"ReadErrorEarly", false, 0.1},
                                         InterruptCase{"ReadErrorLate", false, 0.8},
                                         InterruptCase{"CancelHalfway", true, 0.5}),
                         [](const auto& info) { return std::string(info.param.name); });
