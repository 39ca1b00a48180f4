#include "core/app/temp_dir.h"
#include "core/store/racing_codes.h"
#include "core/store/record_builder.h"
#include "core/text/field.h"
#include "feed/feed_records.h"
#include "feed/feed_test_support.h"
#include "feed/feed_writer.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace sorvantix::feed {
namespace {

namespace fs = std::filesystem;
using test::fileRecords;
using test::folderFiles;

bool allDigits(std::string_view s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string key(const std::string& record)
{
    return record.substr(11, 16);
}

FeedOptions weekend()
{
    FeedOptions o;
    o.from = {2026, 11, 28};
    o.to = {2026, 11, 29};
    o.seed = 7;
    o.oddsDays = OddsDays::List; // series on the Sunday only: quicker to write
    o.oddsDayList = {o.to};
    return o;
}

// One demo weekend written once for every test of the suite.
class FeedOutput : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new sorvantix::test::TempDir;
        s_summary = writeFeed(weekend(), s_dir->path());
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static fs::path dir(const char* sub) { return s_dir->path() / sub; }

    // Race card RA records (data kind 2) by race key.
    static std::map<std::string, std::string> cards()
    {
        std::map<std::string, std::string> ra;
        for (const fs::path& f : folderFiles(dir("RACE")))
            for (const std::string& r : fileRecords(f))
                if (r.compare(0, 3, "RA2") == 0)
                    ra[key(r)] = r;
        return ra;
    }

    static sorvantix::test::TempDir* s_dir;
    static FeedSummary s_summary;
};

sorvantix::test::TempDir* FeedOutput::s_dir = nullptr;
FeedSummary FeedOutput::s_summary;

TEST_F(FeedOutput, EveryRecordHasItsLengthDigitsKeyAndOneTypePerFile)
{
    EXPECT_EQ(s_summary.days, 2);
    EXPECT_EQ(s_summary.races, 72);
    EXPECT_EQ(s_summary.racesWithSeries, 36);
    const std::map<std::string, std::set<std::string>> allowed = {
        {"RACE", {"RA", "SE", "HR", "YS"}},
        {"0B41", {"O1"}},
        {"0B42", {"O2"}},
        {"0B30", {"O1", "O2"}},
        {"0B12", {"RA", "SE", "HR"}}};
    int count = 0;
    for (const auto& [folder, types] : allowed) {
        for (const fs::path& f : folderFiles(dir(folder.c_str()))) {
            std::set<std::string> inFile;
            for (const std::string& r : fileRecords(f)) {
                const std::string type = r.substr(0, 2);
                ASSERT_TRUE(types.count(type)) << f << " holds " << type;
                inFile.insert(type);
                const size_t length =
                    type == "YS"
                        ? 382u
                        : static_cast<size_t>(recordLength(type == "RA"   ? RecordType::RA
                                                           : type == "SE" ? RecordType::SE
                                                           : type == "HR" ? RecordType::HR
                                                           : type == "O1" ? RecordType::O1
                                                                          : RecordType::O2));
                ASSERT_EQ(r.size(), length) << f << " " << type;
                EXPECT_TRUE(FeedDate::parse(r.substr(3, 8))) << f << " creation date";
                const std::string k = type == "YS" ? r.substr(11, 14) : key(r);
                EXPECT_TRUE(allDigits(k)) << f << " key " << k;
                ++count;
            }
            if (folder == "RACE") {
                EXPECT_EQ(inFile.size(), 1u) << f << " mixes record types";
            }
        }
    }
    EXPECT_GT(count, 5000);
}

TEST_F(FeedOutput, CodesAreKnownToTheRacingCodeConversions)
{
    const auto ra = cards();
    ASSERT_EQ(ra.size(), 72u);
    int graded = 0;
    for (const auto& [k, r] : ra) {
        SCOPED_TRACE(k);
        EXPECT_EQ(VenueShortName(field(r, 20, 2)).size(), 6u); // two kanji
        EXPECT_NE(WeekdayText(field(r, 28, 1), 1), "　");
        EXPECT_NE(RaceTypeText(field(r, 617, 2), 4), "　　　　");
        const std::string symbol = field(r, 619, 3);
        if (symbol != "000") {
            EXPECT_NE(RaceSymbolText(symbol), "　　　　　　　　　　　　") << symbol;
        }
        EXPECT_FALSE(WeightTypeText(field(r, 622, 1)).empty());
        const std::string youngest = field(r, 635, 3);
        EXPECT_FALSE(RaceConditionText(youngest).empty()) << youngest;
        for (int pos : {623, 626, 629, 632})
            EXPECT_TRUE(field(r, pos, 3) == "000" || field(r, pos, 3) == youngest);
        EXPECT_FALSE(TrackText(field(r, 706, 2)).empty()) << field(r, 706, 2);
        const std::string grade = field(r, 615, 1);
        const bool named =
            trimmed(fieldText(r, 33, 60)).find_first_not_of("　") != std::string::npos;
        EXPECT_EQ(named, grade != " ") << "names exactly for special and graded races";
        if (grade != " ") {
            EXPECT_NE(GradeText(grade, 1), "　　 ") << grade;
        }
        graded += grade == "A" || grade == "B" || grade == "C";
        const int distance = fieldInt(r, 698, 4), post = fieldInt(r, 874, 4);
        EXPECT_TRUE(distance >= 1000 && distance <= 4250) << distance;
        EXPECT_TRUE(post >= 950 && post <= 1630) << post;
        const int runners = fieldInt(r, 882, 2);
        EXPECT_TRUE(runners >= 5 && runners <= 18) << runners;
    }
    EXPECT_GE(graded, 2);

    // Runners: brackets by the JRA rule, every horse number once, names present.
    std::map<std::string, std::set<int>> horses;
    for (const fs::path& f : folderFiles(dir("RACE")))
        for (const std::string& r : fileRecords(f)) {
            if (r.compare(0, 3, "SE2") != 0)
                continue;
            const int runners = fieldInt(ra.at(key(r)), 882, 2);
            const int h = fieldInt(r, 29, 2);
            EXPECT_EQ(fieldInt(r, 28, 1), BracketNo(runners, h)) << key(r) << " " << h;
            EXPECT_TRUE(horses[key(r)].insert(h).second);
            const std::string name = fieldText(r, 41, 36);
            EXPECT_NE(name.find_first_not_of("　"), std::string::npos);
            EXPECT_NE(fieldText(r, 307, 8).find_first_not_of("　"), std::string::npos);
        }
    for (const auto& [k, hs] : horses)
        EXPECT_EQ(static_cast<int>(hs.size()), fieldInt(ra.at(k), 882, 2)) << k;
}

TEST_F(FeedOutput, ResultsCarryPlacingsTimesAndMargins)
{
    const auto ra = cards();
    std::map<std::string, int> winners;
    for (const std::string& r : fileRecords(dir("0B12") / "20261129.jvd")) {
        if (r.compare(0, 2, "SE") != 0)
            continue;
        const int pos = fieldInt(r, 335, 2);
        if (field(r, 332, 1) == "1") {
            EXPECT_EQ(pos, 0);
            continue;
        }
        if (pos == 0)
            continue; // did not finish
        EXPECT_NE(FormatRaceTime(field(r, 339, 4)), "      ") << key(r);
        if (pos == 1) {
            ++winners[key(r)];
            EXPECT_EQ(field(r, 343, 3), "   ");
        } else {
            EXPECT_NE(MarginText(field(r, 343, 3), 1), "         ") << key(r) << field(r, 343, 3);
        }
    }
    EXPECT_EQ(winners.size(), 36u);
}

TEST_F(FeedOutput, KeysAgreeAcrossRecordTypes)
{
    const auto ra = cards();
    std::map<std::string, std::set<std::string>> seen; // type/kind -> keys
    for (const fs::path& f : folderFiles(dir("RACE")))
        for (const std::string& r : fileRecords(f))
            if (r.compare(0, 2, "YS") != 0)
                seen[r.substr(0, 3)].insert(key(r));
    for (const char* kind : {"SE2", "RA7", "SE7", "HR2"}) {
        ASSERT_EQ(seen[kind].size(), ra.size()) << kind;
        for (const std::string& k : seen[kind])
            EXPECT_TRUE(ra.count(k)) << kind << " " << k;
    }
    for (const char* folder : {"0B41", "0B42", "0B30"}) {
        const auto files = folderFiles(dir(folder));
        EXPECT_EQ(files.size(), std::string(folder) == "0B30" ? ra.size() : 36u) << folder;
        for (const fs::path& f : files) {
            const std::string k = f.stem().string();
            ASSERT_TRUE(ra.count(k)) << f;
            for (const std::string& r : fileRecords(f)) {
                EXPECT_EQ(key(r), k) << f;
                EXPECT_EQ(fieldInt(r, 36, 2), fieldInt(ra.at(k), 882, 2)) << f;
            }
        }
    }
    std::set<std::string> dayKeys;
    for (const fs::path& f : folderFiles(dir("0B12")))
        for (const std::string& r : fileRecords(f)) {
            EXPECT_EQ(r.substr(11, 8), f.stem().string());
            dayKeys.insert(key(r));
        }
    EXPECT_EQ(dayKeys.size(), ra.size());
}

TEST_F(FeedOutput, OddsSeriesAreSortedAndEndBeforePostTime)
{
    const auto ra = cards();
    int races = 0, mismatched = 0;
    for (const fs::path& f : folderFiles(dir("0B41"))) {
        const std::string k = f.stem().string();
        SCOPED_TRACE(k);
        std::vector<std::string> o1 = fileRecords(f), o2 = fileRecords(dir("0B42") / f.filename());
        ASSERT_GE(o1.size(), 10u);
        ASSERT_LE(o1.size(), 400u);
        std::set<std::string> times1, times2;
        for (const auto* series : {&o1, &o2}) {
            EXPECT_TRUE(std::is_sorted(series->begin(), series->end()));
            std::string previous;
            for (const std::string& r : *series) {
                EXPECT_EQ(r[2], '1') << "interim odds";
                const std::string when = r.substr(3, 8) + r.substr(31, 4); // date, hhmm
                EXPECT_LT(previous, when);
                previous = when;
                (series == &o1 ? times1 : times2).insert(when);
            }
        }
        // The last announcement comes before post time on the race day.
        const std::string& last = o1.back();
        EXPECT_EQ(last.substr(3, 8), k.substr(0, 8));
        EXPECT_LT(fieldInt(last, 32, 4), fieldInt(ra.at(k), 874, 4));
        mismatched += times1 != times2;
        ++races;
        // The latest odds repeat the series' last records.
        const auto latest = fileRecords(dir("0B30") / f.filename());
        ASSERT_EQ(latest.size(), 2u);
        EXPECT_EQ(latest[0], o1.back());
        EXPECT_EQ(latest[1], o2.back());
    }
    EXPECT_EQ(races, 36) << "the Sunday's races";
    EXPECT_LE(mismatched, 4) << "only a few races have a time point in one series only";
}

TEST_F(FeedOutput, StoredFilesAreStampedAroundTheirDays)
{
    int cardsFiles = 0, resultFiles = 0, otherTypes = 0;
    for (const fs::path& f : folderFiles(dir("RACE"))) {
        const std::string name = f.filename().string();
        ASSERT_TRUE(allDigits(name.substr(0, 14)) && name[14] == '-') << name;
        const std::string stampDay = name.substr(0, 8);
        for (const std::string& r : fileRecords(f)) {
            const std::string raceDay = r.substr(11, 8);
            if (r[0] == 'Y') {
                ++otherTypes;
                EXPECT_LT(stampDay, raceDay);
            } else if (r[2] == '2' && r[0] != 'H') {
                ++cardsFiles;
                EXPECT_LT(stampDay, raceDay) << name;
            } else {
                ++resultFiles;
                EXPECT_TRUE(r[2] == '7' || r.compare(0, 3, "HR2") == 0) << name;
                EXPECT_GT(stampDay, raceDay) << name;
            }
        }
    }
    EXPECT_GT(cardsFiles, 0);
    EXPECT_GT(resultFiles, 0);
    EXPECT_GT(otherTypes, 0);
}

TEST_F(FeedOutput, PayoutsFollowTheFinalOdds)
{
    int checkedWin = 0, checkedQuinella = 0;
    for (const fs::path& f : folderFiles(dir("0B12")))
        for (const std::string& r : fileRecords(f)) {
            const auto latest = fileRecords(dir("0B30") / (key(r) + ".jvd"));
            const std::string& o1 = latest.at(0);
            if (r.compare(0, 2, "SE") == 0 && field(r, 332, 1) != "1") {
                // The runner's final win odds are those of the latest announcement.
                EXPECT_EQ(field(r, 360, 4), field(o1, 46 + 8 * (fieldInt(r, 29, 2) - 1), 4));
            }
            if (r.compare(0, 2, "HR") != 0)
                continue;
            if (field(r, 116, 2) == "  ") { // one winner, no dead heat
                const int h = fieldInt(r, 103, 2);
                EXPECT_EQ(fieldInt(r, 105, 9), 10 * fieldInt(o1, 46 + 8 * (h - 1), 4)) << key(r);
                ++checkedWin;
            }
            if (field(r, 262, 4) == "    " && latest.size() > 1) {
                const int a = fieldInt(r, 246, 2), b = fieldInt(r, 248, 2);
                const int p = umarenPairNumber(a, b);
                EXPECT_EQ(fieldInt(r, 250, 9), 10 * fieldInt(latest[1], 45 + 13 * (p - 1), 6))
                    << key(r);
                ++checkedQuinella;
            }
            // Place payouts: 100 yen or more, the favourite's at most its win payout.
            for (int i = 0; i < 5 && field(r, 142 + 13 * i, 2) != "  "; ++i)
                EXPECT_GE(fieldInt(r, 144 + 13 * i, 9), 100);
        }
    EXPECT_GE(checkedWin, 60);
    EXPECT_GE(checkedQuinella, 60);
}

TEST_F(FeedOutput, SameArgumentsGiveTheSameBytes)
{
    // The Sunday alone gives the same race files as the weekend run; without odds
    // series the other files stay the same too (the series choice changes nothing else).
    FeedOptions sunday = weekend();
    sunday.from = sunday.to;
    FeedOptions noSeries = sunday;
    noSeries.oddsDays = OddsDays::None;
    sorvantix::test::TempDir a, b;
    writeFeed(sunday, a.path());
    writeFeed(noSeries, b.path());
    int compared = 0;
    for (const char* folder : {"RACE", "0B41", "0B42", "0B30", "0B12"}) {
        const std::string name = folder;
        const auto files = folderFiles(a.path() / folder);
        EXPECT_EQ(files.size(), name == "RACE" ? 6u : (name == "0B12" ? 1u : 36u)) << folder;
        for (const fs::path& f : files) {
            const std::string bytes = readFileBytes(f);
            if (name != "RACE") {
                EXPECT_EQ(bytes, readFileBytes(dir(folder) / f.filename())) << f;
            }
            if (name != "0B41" && name != "0B42") {
                EXPECT_EQ(bytes, readFileBytes(b.path() / folder / f.filename())) << f;
            }
            ++compared;
        }
    }
    EXPECT_EQ(compared, 6 + 36 * 3 + 1);
    EXPECT_FALSE(fs::exists(b.path() / "0B41"));
    // Rewritten without series, the folder keeps no odds of the earlier run.
    writeFeed(noSeries, a.path());
    EXPECT_TRUE(folderFiles(a.path() / "0B41").empty());
    EXPECT_TRUE(folderFiles(a.path() / "0B42").empty());

    // Another seed, other races.
    FeedOptions otherSeed = sunday;
    otherSeed.seed = 8;
    const RaceDay day = raceCalendar(sunday.from, sunday.to).at(0);
    const auto seven = generateDay(day, sunday, makePeoplePool(7));
    const auto eight = generateDay(day, otherSeed, makePeoplePool(8));
    EXPECT_NE(raRecord(seven[10].plan, '2', day.date, nullptr),
              raRecord(eight[10].plan, '2', day.date, nullptr));
}

} // namespace
} // namespace sorvantix::feed
