#include "core/store/batched_card_writer.h"
#include "core/store/card_fixtures.h"
#include "core/store/race_card_files.h"
#include "core/text/error.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace sorvantix {
namespace {

using namespace testing_cards;

const std::string kRaFile30 = "2004年05月30日.jvRA";

TEST(BatchedCardWriter, WritesTheDaysUsedLongestAgoWhenTooManyAreKeptAndTheRestAtFlush)
{
    ScratchAppDir app("batched-days");
    BatchedCardWriter writer(app.path(), CardWriter::Bulk);
    writer.store(ra(raceKey("20040530", 5, 2, 4, 2)).bytes());
    writer.store(ra(raceKey("20040530", 5, 2, 4, 1)).bytes());
    EXPECT_TRUE(snapshot(app.path()).empty());
    EXPECT_TRUE(writer.hasPendingChanges());

    // Days of June; the 1st comes back, so the 30th of May is the one used longest ago.
    const int kept = static_cast<int>(BatchedCardWriter::kKeptDays);
    for (int d = 1; d < kept; ++d)
        writer.store(se(raceKey(format("200406%02d", d), 5, 3, 1, 1), 1).bytes());
    writer.store(se(raceKey("20040601", 5, 3, 1, 1), 2).bytes());
    EXPECT_TRUE(snapshot(app.path()).empty());
    // The half used longest ago is written: the 30th of May and the 2nd to the 8th.
    writer.store(se(raceKey(format("200406%02d", kept), 5, 3, 1, 1), 1).bytes());
    auto files = snapshot(app.path());
    ASSERT_EQ(files.size(), static_cast<size_t>(kept / 2));
    EXPECT_EQ(readLinesRaw(app.data(kRaFile30)).size(), 2u);
    EXPECT_EQ(files.count("Data/2004年06月01日東京.jvSEr"), 0u);
    EXPECT_EQ(files.count(format("Data/2004年06月%02d日東京.jvSEr", kept / 2)), 1u);

    // Back again, the written day is read from its file.
    writer.store(ra(raceKey("20040530", 5, 2, 4, 3)).bytes());
    writer.flush();
    EXPECT_FALSE(writer.hasPendingChanges());
    EXPECT_EQ(readLinesRaw(app.data(kRaFile30)).size(), 3u);
    EXPECT_EQ(snapshot(app.path()).size(), 1u + kept);
    EXPECT_EQ(fs::file_size(app.data("2004年06月05日東京.jvSEr")), 216u * 555u);
}

TEST(BatchedCardWriter, RemovesWhatAKilledWriteLeftBeforeItWrites)
{
    ScratchAppDir app("batched-temps");
    fs::create_directories(app.data(""));
    // Half a file from a killed run of this writer, and one of another writer's kind.
    writeFileAtomic(app.data("." + kRaFile30 + ".Zq81xx"), "half");
    writeFileAtomic(app.data(".2004年05月30日東京.jvO1.Zq81xx"), "odds");
    {
        // Without the folder's lock the file may be another program's live one.
        BatchedCardWriter writer(app.path(), CardWriter::Bulk);
        writer.store(ra(raceKey("20040530", 5, 2, 4, 1)).bytes());
        writer.flush();
        EXPECT_TRUE(fs::exists(app.data("." + kRaFile30 + ".Zq81xx")));
    }
    installWriteLock(app.path());
    BatchedCardWriter writer(app.path(), CardWriter::Bulk);
    writer.store(ra(raceKey("20040530", 5, 2, 4, 2)).bytes());
    EXPECT_TRUE(fs::exists(app.data("." + kRaFile30 + ".Zq81xx"))); // nothing written yet
    writer.flush();
    uninstallWriteLock();
    EXPECT_FALSE(fs::exists(app.data("." + kRaFile30 + ".Zq81xx")));
    EXPECT_TRUE(fs::exists(app.data(".2004年05月30日東京.jvO1.Zq81xx")));
    EXPECT_EQ(readLinesRaw(app.data(kRaFile30)).size(), 2u);
}

TEST(BatchedCardWriter, RefusedRecordKeepsThePendingChanges)
{
    ScratchAppDir app("batched-refuse");
    ScratchAppDir reference("batched-refuse-ref");
    std::string good = se(raceKey("20040530", 5, 2, 4, 3), 7).bytes();
    std::string bad = se(raceKey("20040530", 5, 2, 4, 13), 1).bytes();
    BatchedCardWriter writer(app.path(), CardWriter::Bulk);
    writer.store(good);
    EXPECT_THROW(writer.store(bad), Error);
    writer.flush();
    storeCardRecord(reference.path(), good, CardWriter::Bulk);
    EXPECT_EQ(snapshot(app.path()), snapshot(reference.path()));
}

TEST(BatchedCardWriter, FailedFlushStaysPendingAndIsRetried)
{
    ScratchAppDir app("batched-retry");
    std::string rec = hr(raceKey("20040530", 5, 2, 4, 11)).bytes();
    BatchedCardWriter writer(app.path(), CardWriter::Realtime);
    EXPECT_EQ(writer.store(rec), StoreOutcome::Stored);
    // A folder in the file's place makes the rename fail.
    fs::create_directories(app.data("2004年05月30日.jvHR") / "blocker");
    EXPECT_THROW(writer.flush(), Error);
    EXPECT_TRUE(writer.hasPendingChanges());
    fs::remove_all(app.data("2004年05月30日.jvHR"));
    writer.flush();
    EXPECT_EQ(readFileBytes(app.data("2004年05月30日.jvHR")), rec);
}

TEST(BatchedCardWriter, RealtimeSkipsMissingFilesAndDestructorFlushes)
{
    ScratchAppDir app("batched-rt");
    std::string key = raceKey("20040530", 5, 2, 4, 1);
    {
        BatchedCardWriter writer(app.path(), CardWriter::Realtime);
        EXPECT_EQ(writer.store(ra(key).bytes()), StoreOutcome::NoFile);
        EXPECT_EQ(writer.store(se(key, 1).bytes()), StoreOutcome::NoFile);
        EXPECT_EQ(writer.store(hr(key).bytes()), StoreOutcome::Stored);
        EXPECT_EQ(writer.store(ra(key).bytes()), StoreOutcome::NoFile);
    }
    auto files = snapshot(app.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, "Data/2004年05月30日.jvHR");
}

// Property: random record streams in the order JV-Link delivers them give the same
// folder through the batched writer as through storing record by record.

struct Venue
{
    int code;
    int meeting;
    int meetingDay;
};

struct RaceDay
{
    std::string date;
    std::vector<Venue> venues;
};

struct StreamRun
{
    CardWriter writer = CardWriter::Bulk;
    bool batched = true; // real-time runs go either way, bulk runs always batched
    std::vector<std::string> records;
};

class StreamGenerator
{
public:
    explicit StreamGenerator(unsigned seed) : m_rng(seed)
    {
        m_days = {{"20040529", {{5, 2, 3}, {8, 3, 3}}},
                  {"20040530", {{5, 2, 4}, {8, 3, 4}, {6, 1, 1}}},
                  {"20040605", {{5, 3, 1}, {9, 2, 1}}}};
    }

    std::vector<StreamRun> runs()
    {
        std::vector<StreamRun> out;
        const int count = pick(3, 5);
        for (int i = 0; i < count; ++i)
            out.push_back(chance(65) ? bulkRun() : realtimeRun());
        return out;
    }

    // Files on disk before the first run: an unsorted .jvRA with a blank line and two
    // lines of one race that differ only in letter case, and a short .jvSEr.
    void writeStartFiles(const fs::path& appDir)
    {
        const RaceDay& day = m_days[1];
        const Venue& v = day.venues[0];
        std::string key = raceKey(day.date, v.code, v.meeting, v.meetingDay, 2);
        auto line = [&](const char* name) {
            std::string r = ra(key).set("race_name_en", name).bytes();
            r.replace(2, 9, "000000000");
            return r.substr(0, r.size() - 2);
        };
        DayName name = *DayName::fromDigits(day.date);
        writeLinesRaw(raFilePath(appDir, name),
                      {line("Derby"), "", line("DERBY"), "garbage", "  "});
        std::string seLine = se(key, 4).bytes();
        writeLinesRaw(seFilePath(appDir, name, "05"),
                      {blankSeLine(), seLine.substr(0, 553), "short"});
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool chance(int percent) { return pick(1, 100) <= percent; }
    template <class T> const T& oneOf(const std::vector<T>& v)
    {
        return v[static_cast<size_t>(pick(0, static_cast<int>(v.size()) - 1))];
    }

    std::string key(const RaceDay& d, const Venue& v, int race)
    {
        return raceKey(d.date, v.code, v.meeting, v.meetingDay, race);
    }

    std::string cardKind() { return oneOf<std::string>({"1", "2", "5", "7", "9", "0", "A", "B"}); }

    std::string creationDate() { return format("200405%02d", pick(20, 31)); }

    std::string raRecord(const RaceDay& d, const Venue& v, int race)
    {
        // Few variants, so a changed card can compare equal (ignoring case) to a line
        // already in the file.
        RecordBuilder b = ra(key(d, v, race), cardKind(), oneOf<int>({16, 16, 12}));
        b.set("creation_date", creationDate());
        b.set("post_time", oneOf<std::string>({"1540", "1000"}));
        b.set("race_name_en", oneOf<std::string>({"Derby", "DERBY", "derby", "Oaks"}));
        return b.bytes();
    }

    std::string seRecord(const RaceDay& d, const Venue& v, int race, int horse)
    {
        RecordBuilder b = se(key(d, v, race), horse, cardKind());
        b.set("creation_date", creationDate())
            .set("finish_pos", static_cast<long long>(pick(0, 18)));
        return b.bytes();
    }

    std::string hrRecord(const RaceDay& d, const Venue& v, int race)
    {
        RecordBuilder b = hr(key(d, v, race), oneOf<std::string>({"1", "2", "9", "0", "A"}));
        b.set("creation_date", creationDate())
            .set("win_payout", 1, format("%09d", pick(100, 9000)));
        return b.bytes();
    }

    // Records no writer stores, or refuses, sprinkled into the stream.
    std::string oddRecord(const RaceDay& d, const Venue& v)
    {
        switch (pick(0, 4)) {
        case 0:
            return raRecord(d, v, 0);
        case 1:
            return seRecord(d, v, 1, 0);
        case 2:
            return seRecord(d, v, 13, 1);
        case 3:
            return hr(key(d, v, 1)).setRaw("venue", "A0").bytes();
        default:
            return raRecord(d, v, 3).substr(0, 500);
        }
    }

    // The records of one type for one venue's races, in random order.
    void venueRecords(char type, const RaceDay& d, const Venue& v, std::vector<std::string>& out)
    {
        std::vector<int> races;
        for (int r = 1; r <= 12; ++r)
            if (chance(30))
                races.push_back(r);
        // Some races come again, changed, within the same stretch of the day; race 2
        // (the one with look-alike lines in the start files) more often.
        if (chance(50))
            races.push_back(2);
        const int repeats = races.empty() ? 0 : pick(0, 3);
        for (int i = 0; i < repeats; ++i)
            races.push_back(oneOf(races));
        std::shuffle(races.begin(), races.end(), m_rng);
        for (int race : races) {
            if (type == 'R')
                out.push_back(raRecord(d, v, race));
            else if (type == 'H')
                out.push_back(hrRecord(d, v, race));
            else
                for (int h = 1; h <= 18; ++h)
                    if (chance(20))
                        out.push_back(seRecord(d, v, race, h));
            if (chance(6))
                out.push_back(oddRecord(d, v));
        }
    }

    // Stored data: several files of one record type each; every file covers some of
    // the days, so days come back in later files and races come again changed.
    StreamRun bulkRun()
    {
        StreamRun run;
        const int files = pick(2, 4);
        for (int f = 0; f < files; ++f) {
            const char type = "RSH"[pick(0, 2)];
            std::vector<const RaceDay*> days;
            for (const auto& d : m_days)
                if (chance(60))
                    days.push_back(&d);
            std::shuffle(days.begin(), days.end(), m_rng);
            for (const RaceDay* d : days)
                for (const Venue& v : d->venues)
                    venueRecords(type, *d, v, run.records);
        }
        return run;
    }

    // Results of one day: RA, SE and HR records mixed.
    StreamRun realtimeRun()
    {
        StreamRun run;
        run.writer = CardWriter::Realtime;
        run.batched = chance(50);
        const RaceDay& d = oneOf(m_days);
        for (const Venue& v : d.venues)
            for (char type : {'R', 'S', 'H'})
                venueRecords(type, d, v, run.records);
        std::shuffle(run.records.begin(), run.records.end(), m_rng);
        return run;
    }

    std::mt19937 m_rng;
    std::vector<RaceDay> m_days;
};

constexpr int kRefused = -1;

bool skippedByRun(const StreamRun& run, const std::string& record)
{
    return run.writer == CardWriter::Bulk && bulkSkipsDataKind(record);
}

std::vector<int> storeOneByOne(const fs::path& appDir, const StreamRun& run)
{
    std::vector<int> outcomes;
    for (const auto& record : run.records) {
        if (skippedByRun(run, record))
            continue;
        try {
            outcomes.push_back(static_cast<int>(storeCardRecord(appDir, record, run.writer)));
        } catch (const Error&) {
            outcomes.push_back(kRefused);
        }
    }
    return outcomes;
}

std::vector<int> storeBatched(const fs::path& appDir, const StreamRun& run)
{
    if (!run.batched)
        return storeOneByOne(appDir, run);
    std::vector<int> outcomes;
    BatchedCardWriter writer(appDir, run.writer);
    for (const auto& record : run.records) {
        if (skippedByRun(run, record))
            continue;
        try {
            outcomes.push_back(static_cast<int>(writer.store(record)));
        } catch (const Error&) {
            outcomes.push_back(kRefused);
        }
    }
    writer.flush();
    return outcomes;
}

class BatchedCardWriterProperty : public testing::TestWithParam<unsigned>
{
};

TEST_P(BatchedCardWriterProperty, SameFilesAsStoringRecordByRecord)
{
    const unsigned seed = GetParam();
    StreamGenerator generator(seed);
    ScratchAppDir oneByOne(format("prop-single-%u", seed));
    ScratchAppDir batched(format("prop-batched-%u", seed));
    if (seed % 2 == 0) {
        generator.writeStartFiles(oneByOne.path());
        generator.writeStartFiles(batched.path());
    }
    std::vector<StreamRun> runs = generator.runs();
    int stored = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        auto expected = storeOneByOne(oneByOne.path(), runs[i]);
        auto actual = storeBatched(batched.path(), runs[i]);
        ASSERT_EQ(actual, expected) << "outcomes of run " << i;
        stored += static_cast<int>(
            std::count(expected.begin(), expected.end(), static_cast<int>(StoreOutcome::Stored)));
        auto want = snapshot(oneByOne.path());
        auto got = snapshot(batched.path());
        ASSERT_EQ(got.size(), want.size()) << "run " << i;
        for (const auto& [name, bytes] : want) {
            ASSERT_TRUE(got.count(name)) << name << " missing after run " << i;
            ASSERT_TRUE(got[name] == bytes) << name << " differs after run " << i;
        }
    }
    EXPECT_GT(stored, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, BatchedCardWriterProperty, testing::Range(1u, 21u));

} // namespace
} // namespace sorvantix
