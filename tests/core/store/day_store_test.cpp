#include "core/store/card_fixtures.h"
#include "core/store/day_store.h"
#include "core/store/race_card_files.h"
#include "core/text/text_file.h"

#include <functional>
#include <gtest/gtest.h>

namespace sorvantix {
namespace {

using namespace testing_cards;

const DayName kDay{2004, 5, 30};
const std::string kDate = "20040530";

std::string tokyo(int race)
{
    return raceKey(kDate, 5, 2, 4, race);
}
std::string kyoto(int race)
{
    return raceKey(kDate, 8, 3, 4, race);
}

std::string stored(const std::string& record)
{
    std::string s = record;
    s.replace(2, 9, "000000000");
    return s;
}

// A day of two venues: Tokyo 1R (3 runners) and 11R (16), Kyoto 1R (2), stored by the
// bulk writer in delivery order.
void storeTwoVenues(const fs::path& app)
{
    for (const std::string& rec :
         {ra(kyoto(1), "2", 2).bytes(), ra(tokyo(11)).bytes(), ra(tokyo(1), "2", 3).bytes()})
        storeCardRecord(app, rec, CardWriter::Bulk);
    for (int h : {1, 2, 3, 5})
        storeCardRecord(app, se(tokyo(1), h).bytes(), CardWriter::Bulk);
    storeCardRecord(app, se(tokyo(11), 16).bytes(), CardWriter::Bulk);
    storeCardRecord(app, se(kyoto(1), 2).bytes(), CardWriter::Bulk);
    storeCardRecord(app, hr(tokyo(11)).bytes(), CardWriter::Bulk);
}

TEST(DayStore, LoadsTwoVenuesIntoSlotsInFileOrder)
{
    ScratchAppDir app("day-two");
    storeTwoVenues(app.path());
    DayStore before;
    before.AutoOddsTime[0] = "1510";
    before.AutoOddsDone[4] = true;
    before.HrMerged[1] = true;
    before.O1Recs[0] = std::string(962, 'x');

    DayLoad load = loadDay(app.path(), kDay, before);
    EXPECT_TRUE(load.raFileFound);
    EXPECT_EQ(load.raceCount, 3);
    EXPECT_TRUE(load.warnings.empty());
    ASSERT_EQ(load.items.size(), 3u);
    EXPECT_EQ(load.items[0].text, "東京   2回  4日 1R");
    EXPECT_EQ(load.items[1].text, "東京   2回  4日11R");
    EXPECT_EQ(load.items[2].text, "京都   3回  4日 1R");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(load.items[static_cast<size_t>(i)].slot, i);

    const DayStore& s = load.store;
    EXPECT_EQ(s.RaRecs[0], stored(ra(tokyo(1), "2", 3).bytes()));
    EXPECT_EQ(s.RaRecs[2], stored(ra(kyoto(1), "2", 2).bytes()));
    EXPECT_EQ(s.RaRecs[3], std::string(1272, ' '));
    // Tokyo 1R has 3 registered runners: horse 5 is on file but not read.
    EXPECT_EQ(s.SeRecs[0][0], se(tokyo(1), 1).bytes());
    EXPECT_EQ(s.SeRecs[0][2], se(tokyo(1), 3).bytes());
    EXPECT_EQ(s.SeRecs[0][4], std::string(555, ' '));
    EXPECT_EQ(s.SeRecs[1][15], se(tokyo(11), 16).bytes());
    EXPECT_EQ(s.SeRecs[1][0], blankSeLine() + "\r\n"); // a blank line of the file, as read
    EXPECT_EQ(s.SeRecs[2][1], se(kyoto(1), 2).bytes());
    EXPECT_EQ(s.HrRecs[1], stored(hr(tokyo(11)).bytes()));
    EXPECT_EQ(s.HrRecs[0], std::string(719, ' '));
    EXPECT_EQ(s.O1Recs[0], std::string(962, ' '));
    EXPECT_EQ(s.O2Recs[0], std::string(2042, ' '));
    EXPECT_FALSE(s.HrMerged[1]);
    EXPECT_EQ(s.AutoOddsTime[0], "1510"); // left for the race list to recompute
    EXPECT_TRUE(s.AutoOddsDone[4]);
}

TEST(DayStore, BlankYearUsesASlotWithoutAListItem)
{
    ScratchAppDir app("day-blank-year");
    std::string first = stored(ra(tokyo(1)).bytes());
    std::string zeros = stored(ra(tokyo(2)).setRaw("year", "0000").bytes());
    std::string blank = stored(ra(tokyo(3)).setRaw("year", "    ").bytes());
    std::string last = stored(ra(tokyo(4)).bytes());
    writeFileAtomic(raFilePath(app.path(), kDay), first + zeros + blank + last);

    DayLoad load = loadDay(app.path(), kDay, DayStore());
    EXPECT_EQ(load.raceCount, 4);
    ASSERT_EQ(load.items.size(), 2u);
    EXPECT_EQ(load.items[1].text, "東京   2回  4日 4R");
    EXPECT_EQ(load.items[1].slot, 3);
    EXPECT_EQ(load.store.RaRecs[2], blank);
}

TEST(DayStore, MissingFilesLeaveSlotsBlank)
{
    ScratchAppDir app("day-missing");
    DayStore previous;
    previous.RaRecs[0] = stored(ra(kyoto(1)).bytes());

    DayLoad none = loadDay(app.path(), kDay, previous);
    EXPECT_FALSE(none.raFileFound);
    EXPECT_TRUE(none.items.empty());
    EXPECT_EQ(none.store.RaRecs[0], std::string(1272, ' ')); // no stale race of another day

    storeCardRecord(app.path(), ra(tokyo(1)).bytes(), CardWriter::Bulk);
    DayLoad load = loadDay(app.path(), kDay, previous);
    EXPECT_EQ(load.raceCount, 1);
    EXPECT_TRUE(load.warnings.empty());
    EXPECT_EQ(load.store.SeRecs[0][0], std::string(555, ' '));
    EXPECT_EQ(load.store.HrRecs[0], std::string(719, ' '));
}

struct DamageCase
{
    const char* name;
    std::function<void(const fs::path& app)> damage;
    std::vector<const char*> warningParts;
    std::function<void(const DayLoad&)> check;
};

void PrintTo(const DamageCase& c, std::ostream* os)
{
    *os << c.name;
}

class DayStoreDamage : public testing::TestWithParam<DamageCase>
{
};

TEST_P(DayStoreDamage, ReadsTheWholeRecordsAndReportsTheDamage)
{
    ScratchAppDir app("day-damage");
    storeTwoVenues(app.path());
    GetParam().damage(app.path());
    DayLoad load = loadDay(app.path(), kDay, DayStore());
    std::string all;
    for (const auto& w : load.warnings)
        all += w + "\n";
    ASSERT_FALSE(load.warnings.empty());
    for (const char* part : GetParam().warningParts)
        EXPECT_NE(all.find(part), std::string::npos) << part << " not in:\n" << all;
    GetParam().check(load);
}

void appendBytes(const fs::path& file, const std::string& bytes)
{
    writeFileAtomic(file, readFileBytes(file) + bytes);
}

void truncateTo(const fs::path& file, size_t size)
{
    writeFileAtomic(file, readFileBytes(file).substr(0, size));
}

std::vector<DamageCase> damageCases()
{
    return {
        {"RaWithCutOffRecord",
         [](const fs::path& app) { appendBytes(raFilePath(app, kDay), std::string(100, 'R')); },
         {"2004年05月30日.jvRA", "3916バイト"},
         [](const DayLoad& load) {
             EXPECT_EQ(load.raceCount, 3);
             EXPECT_EQ(load.items.size(), 3u);
         }},
        {"SeTruncatedInsideRace11",
         [](const fs::path& app) { truncateTo(seFilePath(app, kDay, "05"), 555 * 190 + 10); },
         {"2004年05月30日東京.jvSEr", "105460バイト", "190件"},
         [](const DayLoad& load) {
             EXPECT_EQ(load.store.SeRecs[0][0], se(tokyo(1), 1).bytes());
             EXPECT_EQ(load.store.SeRecs[1][1], blankSeLine() + "\r\n"); // record 182
             EXPECT_EQ(load.store.SeRecs[1][15], std::string(555, ' ')); // record 196, cut off
         }},
        {"HrWithCutOffRecord",
         [](const fs::path& app) { appendBytes(hrFilePath(app, kDay), "HR"); },
         {"2004年05月30日.jvHR", "721バイト"},
         [](const DayLoad& load) {
             EXPECT_EQ(load.store.HrRecs[1], stored(hr(tokyo(11)).bytes()));
         }},
        {"HrOfAnUnknownRace",
         [](const fs::path& app) { storeCardRecord(app, hr(kyoto(5)).bytes(), CardWriter::Bulk); },
         {"2004年05月30日.jvHR", "2件目"},
         [](const DayLoad& load) {
             EXPECT_EQ(load.store.HrRecs[1], stored(hr(tokyo(11)).bytes()));
         }},
        {"RegisteredAbove18",
         [](const fs::path& app) {
             storeCardRecord(app, ra(tokyo(11), "2", 25).bytes(), CardWriter::Bulk);
         },
         {"2004年05月30日.jvRA", "25"},
         [](const DayLoad& load) {
             EXPECT_EQ(load.store.SeRecs[1][15], se(tokyo(11), 16).bytes());
         }},
        {"MoreThan36Races",
         [](const fs::path& app) {
             for (int venue : {6, 9, 10})
                 for (int race = 1; race <= 12; ++race)
                     storeCardRecord(app, ra(raceKey(kDate, venue, 1, 1, race)).bytes(),
                                     CardWriter::Bulk);
         },
         {"2004年05月30日.jvRA", "39件", "36件"},
         [](const DayLoad& load) {
             EXPECT_EQ(load.raceCount, 36);
             EXPECT_EQ(load.items.back().slot, 35);
         }},
    };
}

INSTANTIATE_TEST_SUITE_P(Files, DayStoreDamage, testing::ValuesIn(damageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace sorvantix
