#include "core/store/card_fixtures.h"
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
    writeLinesRaw(app.data(kTokyoSe), {kept, blankSeLine(), "short line"});
    std::string rec = se(raceKey(kDate, 5, 2, 4, 2), 3, "5").bytes();
    storeCardRecord(app.path(), rec, CardWriter::Realtime);

    auto lines = readLinesRaw(app.data(kTokyoSe));
    ASSERT_EQ(lines.size(), 216u);
    EXPECT_EQ(lines[0], kept);
    EXPECT_EQ(lines[2], "short line");
    EXPECT_EQ(lines[20], body(rec)); // data kind and creation date kept
    EXPECT_EQ(lines[215], blankSeLine());
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
        // Unsorted on disk, with a blank line that sorts first.
        writeLinesRaw(app.data(kRaFile), {other, "   "});
        storeCardRecord(app.path(), rec, writer);
        std::vector<std::string> expected{zeroedLine(rec), other};
        if (writer == CardWriter::Bulk)
            expected.insert(expected.begin(), "   ");
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

TEST(RaceCardFiles, ExistingLfFileIsRewrittenWithCrLf)
{
    ScratchAppDir app("lf");
    std::string other = zeroedLine(hr(raceKey(kDate, 6, 2, 4, 1)).bytes());
    writeFileAtomic(app.data(kHrFile), other + "\n");
    std::string rec = hr(raceKey(kDate, 5, 2, 4, 1)).bytes();
    storeCardRecord(app.path(), rec, CardWriter::Bulk);
    EXPECT_EQ(readFileBytes(app.data(kHrFile)), zeroedLine(rec) + "\r\n" + other + "\r\n");
}

} // namespace
} // namespace sorvantix
