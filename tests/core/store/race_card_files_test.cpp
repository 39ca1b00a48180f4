#include "core/store/batched_card_writer.h"
#include "core/store/card_fixtures.h"
#include "core/store/day_store.h"
#include "core/store/race_card_files.h"
#include "core/text/error.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>

namespace sorvantix {
namespace {

using namespace testing_cards;

const std::string kDate = "20040530";
const std::string kRaFile = "2004年05月30日.jvRA";
const std::string kHrFile = "2004年05月30日.jvHR";
const std::string kTokyoSe = "2004年05月30日東京.jvSEr";

// The stored form of an RA record or a bulk HR record: CR LF off, 3-11 zeroed.
std::string zeroedLine(const std::string& record)
{
    return record.substr(0, 2) + "000000000" + record.substr(11, record.size() - 13);
}

std::string body(const std::string& record)
{
    return record.substr(0, record.size() - 2);
}

TEST(RaceCardFiles, PathsUseTheDayNameAndTheVenueShortName)
{
    DayName day{2004, 5, 30};
    EXPECT_EQ(raFilePath("/app", day), fs::path("/app/Data") / kRaFile);
    EXPECT_EQ(hrFilePath("/app", day), fs::path("/app/Data") / kHrFile);
    EXPECT_EQ(seFilePath("/app", day, "05"), fs::path("/app/Data") / kTokyoSe);
    EXPECT_EQ(seFilePath("/app", day, "10").filename(), "2004年05月30日小倉.jvSEr");
}

TEST(RaceCardFiles, StoringTheSameRaTwiceLeavesOneLine)
{
    ScratchAppDir app("ra-twice");
    std::string rec = ra(raceKey(kDate, 5, 2, 4, 11)).bytes();
    EXPECT_EQ(storeCardRecord(app.path(), rec, CardWriter::Bulk), StoreOutcome::Stored);
    EXPECT_EQ(storeCardRecord(app.path(), rec, CardWriter::Bulk), StoreOutcome::Stored);
    EXPECT_EQ(readFileBytes(app.data(kRaFile)), zeroedLine(rec) + "\r\n");
    EXPECT_EQ(readFileBytes(app.data(kRaFile)).size(), 1272u);
}

TEST(RaceCardFiles, ChangedRaReplacesItsLineAndTheFileStaysSorted)
{
    ScratchAppDir app("ra-replace");
    // Venues and races arrive out of order; lines end up by venue, then race.
    std::string r1 = ra(raceKey(kDate, 5, 2, 4, 1)).bytes();
    std::string r2 = ra(raceKey(kDate, 5, 2, 4, 2)).bytes();
    std::string k1 = ra(raceKey(kDate, 8, 3, 4, 1)).bytes();
    for (const auto& rec : {k1, r2, r1})
        storeCardRecord(app.path(), rec, CardWriter::Bulk);
    std::string r2changed =
        ra(raceKey(kDate, 5, 2, 4, 2), "7", 12).set("post_time", "1005").bytes();
    storeCardRecord(app.path(), r2changed, CardWriter::Bulk);

    std::vector<std::string> expected{zeroedLine(r1), zeroedLine(r2changed), zeroedLine(k1)};
    EXPECT_EQ(readLinesRaw(app.data(kRaFile)), expected);
}

struct SeLineCase
{
    int race;
    int horse;
    size_t line;
};

class RaceCardSeLine : public testing::TestWithParam<SeLineCase>
{
};

TEST_P(RaceCardSeLine, FirstSeOfAVenueDayCreates216LinesWithOneFilled)
{
    ScratchAppDir app("se-first");
    const SeLineCase c = GetParam();
    std::string rec = se(raceKey(kDate, 5, 2, 4, c.race), c.horse).bytes();
    EXPECT_EQ(storeCardRecord(app.path(), rec, CardWriter::Bulk), StoreOutcome::Stored);

    std::string bytes = readFileBytes(app.data(kTokyoSe));
    ASSERT_EQ(bytes.size(), 216u * 555u);
    for (size_t i = 0; i < 216; ++i) {
        std::string line = bytes.substr(i * 555, 555);
        EXPECT_EQ(line, (i == c.line ? body(rec) : blankSeLine()) + "\r\n") << "line " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, RaceCardSeLine,
                         testing::Values(SeLineCase{1, 1, 0}, SeLineCase{12, 18, 215},
                                         SeLineCase{1, 18, 17}, SeLineCase{2, 1, 18},
                                         SeLineCase{3, 5, 40}));

TEST(RaceCardFiles, SeIsStoredUnchangedAndAShortFileIsPaddedKeepingItsLines)
{
    ScratchAppDir app("se-short");
    std::string kept = std::string(553, 'x');
    // A damaged record (a stray LF inside) keeps its place: the file is read as
    // fixed-size records, as the day loader reads it.
    std::string damaged = std::string(553, 'y');
    damaged[100] = '\n';
    writeLinesRaw(app.data(kTokyoSe), {kept, blankSeLine(), damaged});
    std::string rec = se(raceKey(kDate, 5, 2, 4, 2), 3, "5").bytes();
    storeCardRecord(app.path(), rec, CardWriter::Realtime);

    const std::string bytes = readFileBytes(app.data(kTokyoSe));
    ASSERT_EQ(bytes.size(), 216u * 555u);
    auto line = [&](size_t i) { return bytes.substr(i * 555, 553); };
    EXPECT_EQ(line(0), kept);
    EXPECT_EQ(line(2), damaged);
    EXPECT_EQ(line(20), body(rec)); // data kind and creation date kept
    EXPECT_EQ(line(215), blankSeLine());
}

TEST(RaceCardFiles, HrCreatesItsFileWithOneLineZeroedByBulkUnchangedByRealtime)
{
    ScratchAppDir bulk("hr-bulk");
    ScratchAppDir realtime("hr-realtime");
    std::string rec = hr(raceKey(kDate, 5, 2, 4, 11), "1").bytes();
    EXPECT_EQ(storeCardRecord(bulk.path(), rec, CardWriter::Bulk), StoreOutcome::Stored);
    EXPECT_EQ(storeCardRecord(realtime.path(), rec, CardWriter::Realtime), StoreOutcome::Stored);
    EXPECT_EQ(readFileBytes(bulk.data(kHrFile)), zeroedLine(rec) + "\r\n");
    EXPECT_EQ(readFileBytes(realtime.data(kHrFile)), rec);
    EXPECT_EQ(readFileBytes(realtime.data(kHrFile)).size(), 719u);
}

TEST(RaceCardFiles, RealtimeWriterSkipsMissingRaAndSeFiles)
{
    ScratchAppDir app("rt-missing");
    std::string key = raceKey(kDate, 5, 2, 4, 1);
    EXPECT_EQ(storeCardRecord(app.path(), ra(key).bytes(), CardWriter::Realtime),
              StoreOutcome::NoFile);
    EXPECT_EQ(storeCardRecord(app.path(), se(key, 1).bytes(), CardWriter::Realtime),
              StoreOutcome::NoFile);
    EXPECT_TRUE(snapshot(app.path()).empty());
}

TEST(RaceCardFiles, RealtimeRaDropsABlankFirstLineBulkKeepsIt)
{
    std::string rec = ra(raceKey(kDate, 5, 2, 4, 1)).bytes();
    std::string other = zeroedLine(ra(raceKey(kDate, 6, 2, 4, 1)).bytes());
    for (CardWriter writer : {CardWriter::Bulk, CardWriter::Realtime}) {
        ScratchAppDir app("rt-blank");
        // Unsorted on disk, with a blank record that sorts first.
        const std::string blank(other.size(), ' ');
        writeLinesRaw(app.data(kRaFile), {other, blank});
        storeCardRecord(app.path(), rec, writer);
        std::vector<std::string> expected{zeroedLine(rec), other};
        if (writer == CardWriter::Bulk)
            expected.insert(expected.begin(), blank);
        EXPECT_EQ(readLinesRaw(app.data(kRaFile)), expected);
    }
}

TEST(RaceCardFiles, RaceOrHorseNumberZeroStoresNothing)
{
    ScratchAppDir app("zero");
    std::string key0 = raceKey(kDate, 5, 2, 4, 0);
    std::string key1 = raceKey(kDate, 5, 2, 4, 1);
    for (CardWriter writer : {CardWriter::Bulk, CardWriter::Realtime}) {
        EXPECT_EQ(storeCardRecord(app.path(), ra(key0).bytes(), writer),
                  StoreOutcome::NoRaceNumber);
        EXPECT_EQ(storeCardRecord(app.path(), se(key0, 1).bytes(), writer),
                  StoreOutcome::NoRaceNumber);
        EXPECT_EQ(storeCardRecord(app.path(), se(key1, 0).bytes(), writer),
                  StoreOutcome::NoRaceNumber);
        EXPECT_EQ(storeCardRecord(app.path(), hr(key0).bytes(), writer),
                  StoreOutcome::NoRaceNumber);
    }
    RecordBuilder odds(RecordType::O1);
    odds.setRaceKey(key1);
    EXPECT_EQ(storeCardRecord(app.path(), odds.bytes(), CardWriter::Bulk),
              StoreOutcome::NotCardRecord);
    EXPECT_EQ(snapshot(app.path() / "Data").size(), 0u);
}

TEST(RaceCardFiles, RecordWithoutCrLfIsStoredLikeTheDeliveredOne)
{
    ScratchAppDir app("no-crlf");
    std::string rec = ra(raceKey(kDate, 5, 2, 4, 1)).bytes();
    storeCardRecord(app.path(), body(rec), CardWriter::Bulk);
    EXPECT_EQ(readFileBytes(app.data(kRaFile)), zeroedLine(rec) + "\r\n");
}

struct RefusalCase
{
    const char* name;
    std::string record;
    const char* messagePart;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class RaceCardRefusal : public testing::TestWithParam<RefusalCase>
{
};

TEST_P(RaceCardRefusal, RefusedWithAClearErrorAndNothingWritten)
{
    ScratchAppDir app("refuse");
    // An existing file of the same day must stay as it is.
    std::string good = ra(raceKey(kDate, 5, 2, 4, 1)).bytes();
    storeCardRecord(app.path(), good, CardWriter::Bulk);
    auto before = snapshot(app.path());
    for (CardWriter writer : {CardWriter::Bulk, CardWriter::Realtime}) {
        try {
            storeCardRecord(app.path(), GetParam().record, writer);
            ADD_FAILURE() << "not refused";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(GetParam().messagePart), std::string::npos)
                << e.what();
        }
    }
    EXPECT_EQ(snapshot(app.path()), before);
}

std::vector<RefusalCase> refusalCases()
{
    const std::string key = raceKey(kDate, 5, 2, 4, 1);
    std::string shortRa = ra(key).bytes();
    shortRa.erase(1000, 1);
    std::string longHr = hr(key).bytes();
    longHr = longHr.substr(0, 100) + " " + longHr.substr(100);
    std::string crInside = se(key, 1).bytes();
    crInside[200] = '\r';
    std::string lfBeforeEnd = body(ra(key).bytes()) + "\n";
    return {
        {"OverseasVenueLetters", ra(key).setRaw("venue", "A0").bytes(), "数字"},
        {"BlankRaceNumber", hr(key).setRaw("race_no", "  ").bytes(), "数字"},
        {"SeBlankYear", se(key, 1).setRaw("year", "    ").bytes(), "数字"},
        {"ShortRa", shortRa, "1271バイト"},
        {"LongHr", longHr, "720バイト"},
        {"TruncatedSe", se(key, 1).bytes().substr(0, 30), "30バイト"},
        {"CrInsideSe", crInside, "改行"},
        {"LfInsteadOfCrLf", lfBeforeEnd, "1271バイト"},
        {"SeRace13", se(raceKey(kDate, 5, 2, 4, 13), 1).bytes(), "レース番号13"},
        {"SeHorse19", se(key, 19).bytes(), "馬番19"},
    };
}

INSTANTIATE_TEST_SUITE_P(Records, RaceCardRefusal, testing::ValuesIn(refusalCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RaceCardFiles, BulkSkipsLocalAndOverseasCardsOnly)
{
    const std::string key = raceKey(kDate, 5, 2, 4, 1);
    struct Case
    {
        std::string record;
        bool skipped;
    } cases[] = {
        {ra(key, "A").bytes(), true},    {ra(key, "B").bytes(), true},
        {se(key, 1, "A").bytes(), true}, {se(key, 1, "B").bytes(), true},
        {ra(key, "7").bytes(), false},   {se(key, 1, "a").bytes(), false},
        {hr(key, "A").bytes(), false},   {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bulkSkipsDataKind(c.record), c.skipped) << c.record.substr(0, 3);
}

TEST(RaceCardFiles, ADamagedFileKeepsEveryWholeRecordInPlace)
{
    // Records as the readers see them: fixed 719-byte blocks. A file cut in the middle
    // of its last record keeps the whole ones; nothing after the damage is shifted.
    ScratchAppDir app("cut");
    std::string first = zeroedLine(hr(raceKey(kDate, 6, 2, 4, 1)).bytes());
    std::string cut = zeroedLine(hr(raceKey(kDate, 6, 2, 4, 2)).bytes());
    writeFileAtomic(app.data(kHrFile), first + "\r\n" + cut.substr(0, 300));
    std::string rec = hr(raceKey(kDate, 5, 2, 4, 1)).bytes();
    storeCardRecord(app.path(), rec, CardWriter::Bulk);
    EXPECT_EQ(readFileBytes(app.data(kHrFile)), zeroedLine(rec) + "\r\n" + first + "\r\n");

    std::vector<std::string> damage;
    writeFileAtomic(app.data(kHrFile), first + "\r\n" + cut.substr(0, 300));
    auto lines = readCardFileLines(app.data(kHrFile), CardFileKind::Hr, damage);
    EXPECT_EQ(lines, std::vector<std::string>{first});
    ASSERT_EQ(damage.size(), 1u);
    EXPECT_NE(damage[0].find("壊れています"), std::string::npos);
}

} // namespace
} // namespace sorvantix

namespace sorvantix {
namespace {

using namespace testing_cards;

// Local damage in a day file must stay local: a stray LF replacing one byte of a race
// card, then a results fetch that rewrites the file, used to leave a file from which
// no race could be listed.
TEST(DamagedDayFiles, AStrayLineBreakInARaceCardDoesNotShiftTheRacesAfterIt)
{
    const std::string date = "20261206";
    for (bool batched : {false, true}) {
        ScratchAppDir app(batched ? "stray-lf-batched" : "stray-lf");
        for (int race = 1; race <= 3; ++race)
            storeCardRecord(app.path(), ra(raceKey(date, 5, 5, 2, race)).bytes(), CardWriter::Bulk);
        const fs::path file = app.data("2026年12月06日.jvRA");
        std::string bytes = readFileBytes(file);
        ASSERT_EQ(bytes.size(), 3u * 1272u);
        bytes[600] = '\n'; // inside the first race's card, past its key
        writeFileAtomic(file, bytes);

        // The results fetch's writer: a changed card of the third race.
        const std::string update = ra(raceKey(date, 5, 5, 2, 3), "7").bytes();
        std::vector<std::string> damage;
        if (batched) {
            BatchedCardWriter writer(app.path(), CardWriter::Realtime);
            writer.store(update);
            writer.flush();
            damage = writer.damage();
        } else {
            storeCardRecord(app.path(), update, CardWriter::Realtime);
        }

        const std::string after = readFileBytes(file);
        ASSERT_EQ(after.size(), 3u * 1272u) << "batched " << batched;
        EXPECT_EQ(after.substr(0, 1272), bytes.substr(0, 1272)); // damage left in place
        for (int race = 1; race <= 3; ++race)
            EXPECT_EQ(after.substr(static_cast<size_t>(race - 1) * 1272 + 11, 16),
                      raceKey(date, 5, 5, 2, race));
        DayLoad load = loadDay(app.path(), DayName{2026, 12, 6}, DayStore());
        EXPECT_EQ(load.items.size(), 3u) << "batched " << batched;
        if (batched) {
            ASSERT_EQ(damage.size(), 1u);
            EXPECT_NE(damage[0].find("2026年12月06日.jvRA"), std::string::npos);
        }
    }
}

TEST(DamagedDayFiles, ARecordWhoseKeyIsDamagedCannotPushGoodRacesOut)
{
    const std::string date = "20261206";
    ScratchAppDir app("bad-key");
    for (int race = 1; race <= 3; ++race)
        storeCardRecord(app.path(), ra(raceKey(date, 5, 5, 2, race)).bytes(), CardWriter::Bulk);
    const fs::path file = app.data("2026年12月06日.jvRA");
    std::string bytes = readFileBytes(file);
    bytes.replace(1272 + 25, 2, "99");        // race 2 reads as race 99
    bytes += std::string(1270, '0') + "\r\n"; // and a record of zeros
    writeFileAtomic(file, bytes);

    // The results fetch delivers race 2 again: it takes its place, nothing grows.
    BatchedCardWriter writer(app.path(), CardWriter::Realtime);
    writer.store(ra(raceKey(date, 5, 5, 2, 2)).bytes());
    writer.flush();
    EXPECT_EQ(readFileBytes(file).size(), 3u * 1272u);
    DayLoad load = loadDay(app.path(), DayName{2026, 12, 6}, DayStore());
    ASSERT_EQ(load.items.size(), 3u);
    EXPECT_EQ(load.items[1].text, "東京   5回  2日 2R"); // venue 05
    ASSERT_FALSE(writer.damage().empty());
    EXPECT_NE(writer.damage().back().find("2件"), std::string::npos) << writer.damage().back();
}

// The record with another date at 12-19 (the builder only makes possible ones).
std::string withDate(std::string record, const std::string& yyyymmdd)
{
    record.replace(11, 8, yyyymmdd);
    return record;
}

TEST(DamagedDayFiles, CardsBeyondTheTwelfthRaceOrOfImpossibleDaysAreRefused)
{
    ScratchAppDir app("refused");
    struct Case
    {
        std::string record;
        const char* why;
    };
    const std::vector<Case> cases{
        {ra(raceKey("20261206", 5, 5, 2, 13)).bytes(), "レース番号13"},
        {ra(raceKey("20261206", 5, 5, 2, 99)).bytes(), "レース番号99"},
        {hr(raceKey("20261206", 5, 5, 2, 13)).bytes(), "レース番号13"},
        {withDate(ra(raceKey("20261206", 5, 5, 2, 1)).bytes(), "20260231"), "日付"},
        {withDate(se(raceKey("20261206", 5, 5, 2, 1), 1).bytes(), "20261345"), "日付"},
    };
    for (const Case& c : cases) {
        for (CardWriter writer : {CardWriter::Bulk, CardWriter::Realtime}) {
            try {
                storeCardRecord(app.path(), c.record, writer);
                ADD_FAILURE() << "stored " << c.record.substr(11, 16);
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find(c.why), std::string::npos) << e.what();
            }
        }
    }
    EXPECT_TRUE(fs::is_empty(app.path() / "Data"));
}

} // namespace
} // namespace sorvantix

namespace sorvantix {
namespace {

using namespace testing_cards;

// An inserted or lost byte in one line of a day file used to shift every record after
// it by one byte: only that line is damaged now, and the races after it stay readable.
TEST(DamagedDayFiles, AByteTooManyOrTooFewDamagesOnlyItsOwnRecord)
{
    const std::string date = "20261206";
    ScratchAppDir app("resync");
    for (int race = 1; race <= 4; ++race)
        storeCardRecord(app.path(), ra(raceKey(date, 5, 5, 2, race)).bytes(), CardWriter::Bulk);
    for (int horse = 1; horse <= 3; ++horse)
        storeCardRecord(app.path(), se(raceKey(date, 5, 5, 2, 2), horse).bytes(), CardWriter::Bulk);
    const fs::path raFile = app.data("2026年12月06日.jvRA");
    const fs::path seFile = app.data("2026年12月06日東京.jvSEr");
    const std::string ra = readFileBytes(raFile);
    const std::string se = readFileBytes(seFile);

    for (bool inserted : {true, false}) {
        // Inside the second race's card, and in the SE line of race 1 horse 2.
        std::string badRa = ra, badSe = se;
        if (inserted) {
            badRa.insert(1272 + 700, "\n");
            badSe.insert(555 + 100, "\n");
        } else {
            badRa.erase(1272 + 700, 1);
            badSe.erase(555 + 100, 1);
        }
        writeFileAtomic(raFile, badRa);
        writeFileAtomic(seFile, badSe);

        const FixedRecordFile f = readFixedRecordFile(raFile, kRaRecordLength);
        ASSERT_EQ(f.count, 4u) << inserted;
        EXPECT_FALSE(f.isDamaged(0));
        EXPECT_TRUE(f.isDamaged(1));
        for (size_t i : {size_t{0}, size_t{2}, size_t{3}})
            EXPECT_EQ(f.record(i), ra.substr(i * 1272, 1272)) << inserted << " record " << i;
        EXPECT_NE(f.damage.find("2件目"), std::string::npos) << f.damage;

        DayLoad load = loadDay(app.path(), DayName{2026, 12, 6}, DayStore());
        ASSERT_EQ(load.raceCount, 4) << inserted;
        EXPECT_EQ(load.store.RaRecs[2], ra.substr(2 * 1272, 1272));
        EXPECT_EQ(load.store.RaRecs[3], ra.substr(3 * 1272, 1272));
        EXPECT_FALSE(load.warnings.empty());
        // Race 2's runners are lines 19..21 of the SE file, after the damaged line 2.
        const FixedRecordFile s = readFixedRecordFile(seFile, kSeRecordLength);
        ASSERT_EQ(s.count, 216u) << inserted;
        EXPECT_TRUE(s.isDamaged(1));
        for (size_t k = 18; k < 21; ++k)
            EXPECT_EQ(s.record(k), se.substr(k * 555, 555)) << inserted << " line " << k + 1;

        // A new import of the records puts the files right again.
        BatchedCardWriter writer(app.path(), CardWriter::Bulk);
        writer.store(ra.substr(1272, 1272));
        writer.flush();
        EXPECT_EQ(readFileBytes(raFile), ra) << inserted;
    }
}

} // namespace
} // namespace sorvantix
