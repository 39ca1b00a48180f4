#include "core/text/cp932.h"
#include "feed/feed_names.h"
#include "feed/feed_rng.h"
#include "feed/market_model.h"

#include <gtest/gtest.h>

namespace sorvantix::feed {
namespace {

TEST(FeedRng, SameStreamSameNumbersOtherStreamOthers)
{
    FeedRng a = FeedRng::stream(7, "race", 20261129, 511);
    FeedRng b = FeedRng::stream(7, "race", 20261129, 511);
    FeedRng c = FeedRng::stream(7, "race", 20261129, 512);
    FeedRng d = FeedRng::stream(8, "race", 20261129, 511);
    const std::uint64_t first = a.next();
    EXPECT_EQ(first, b.next());
    EXPECT_NE(first, c.next());
    EXPECT_NE(first, d.next());
    // The algorithm is part of the feed's bytes: a change would change every feed.
    EXPECT_EQ(FeedRng(1).next(), 0xB3F2AF6D0FC710C5ULL);
}

TEST(FeedRng, DrawsStayInTheirRanges)
{
    FeedRng rng(42);
    double sum = 0, squares = 0;
    const int n = 20000;
    int seen[5] = {};
    for (int i = 0; i < n; ++i) {
        const double u = rng.uniform();
        ASSERT_TRUE(u >= 0 && u < 1);
        const int k = rng.range(-2, 2);
        ASSERT_TRUE(k >= -2 && k <= 2);
        ++seen[k + 2];
        const double z = rng.normal();
        sum += z;
        squares += z * z;
        ASSERT_EQ(rng.roundRandom(3.0), 3);
    }
    for (int count : seen)
        EXPECT_NEAR(count, n / 5, n / 25);
    EXPECT_NEAR(sum / n, 0.0, 0.03);
    EXPECT_NEAR(squares / n, 1.0, 0.05);
    EXPECT_EQ(rng.below(0), 0);
    EXPECT_EQ(rng.roundRandom(-1.0), 0);
}

struct OddsCase
{
    long long pool, votes;
    int rate;
    long long max, tenths;
};

class FeedOddsTenths : public ::testing::TestWithParam<OddsCase>
{
};

TEST_P(FeedOddsTenths, CutDownToTenthsWithinLimits)
{
    const OddsCase& c = GetParam();
    EXPECT_EQ(oddsTenths(c.pool, c.votes, c.rate, c.max), c.tenths);
}

INSTANTIATE_TEST_SUITE_P(Table, FeedOddsTenths,
                         ::testing::Values(OddsCase{1000, 100, 80, 9999, 80},
                                           OddsCase{1000, 7, 80, 9999, 1142}, // 114.28 cut
                                           OddsCase{1000, 0, 80, 9999, 0},    // no votes
                                           OddsCase{1000, 999, 80, 9999, 10}, // at least 1.0
                                           OddsCase{100000, 1, 80, 9999, 9999},
                                           OddsCase{1000, 3, 75, 999999, 2500},
                                           OddsCase{10000000, 1, 75, 999999, 999999}));

TEST(FeedOdds, PlaceOddsRangeFromThePlacedVotes)
{
    OddsSnapshot s;
    const long long votes[] = {0, 500, 300, 100, 100, 0};
    for (int h = 1; h <= 5; ++h) {
        s.state[static_cast<size_t>(h)] = RunnerState::Running;
        s.placeVotes[static_cast<size_t>(h)] = votes[h];
        s.placePool += votes[h];
    }
    // Pool 1000, 80 % paid out. Horse 3 (100 votes) placed with the two most backed
    // runners: 800 - 900 < 0 pays the minimum 1.0; with the two least backed (horse 5
    // has no votes, horse 4 100): (800 - 200) / 3 / 100 + 1 = 3.0.
    EXPECT_EQ(placeOddsRange(s, 3, 3), (std::pair<long long, long long>{10, 30}));
    // Horse 1: (800 - 600) / 3 / 500 + 1 = 1.13, cut to 1.1.
    EXPECT_EQ(placeOddsRange(s, 1, 3), (std::pair<long long, long long>{10, 11}));
    // Two places paid, horse 4: with horse 1 (800 - 600) / 2 / 100 + 1 = 2.0, with
    // horse 5 (800 - 100) / 2 / 100 + 1 = 4.5.
    EXPECT_EQ(placeOddsRange(s, 4, 2), (std::pair<long long, long long>{20, 45}));
    EXPECT_EQ(placeOddsRange(s, 5, 3), (std::pair<long long, long long>{0, 0})) << "no votes";
}

struct TimeCase
{
    FeedDate race;
    int minute;
    const char* text;
    FeedDate day;
};

class FeedAnnounceTime : public ::testing::TestWithParam<TimeCase>
{
};

TEST_P(FeedAnnounceTime, PreviousEveningBelongsToThePreviousDay)
{
    const TimeCase& c = GetParam();
    EXPECT_EQ(announceTime(c.race, c.minute), c.text);
    EXPECT_EQ(announceDate(c.race, c.minute), c.day);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FeedAnnounceTime,
    ::testing::Values(TimeCase{{2026, 11, 29}, 950, "11291550", {2026, 11, 29}},
                      TimeCase{{2026, 11, 29}, 0, "11290000", {2026, 11, 29}},
                      TimeCase{{2026, 11, 29}, -416, "11281704", {2026, 11, 28}},
                      TimeCase{{2026, 3, 1}, -1, "02282359", {2026, 2, 28}},
                      TimeCase{{2027, 1, 5}, -60, "01042300", {2027, 1, 4}}));

bool allKatakana(const std::string& s)
{
    // UTF-8 of U+30A1..U+30FC: E3 82 A1..E3 83 BC.
    if (s.size() % 3 != 0)
        return false;
    for (size_t i = 0; i < s.size(); i += 3) {
        const unsigned c = (static_cast<unsigned char>(s[i]) << 16) |
                           (static_cast<unsigned char>(s[i + 1]) << 8) |
                           static_cast<unsigned char>(s[i + 2]);
        if (c < 0xE382A1 || c > 0xE383BC)
            return false;
    }
    return true;
}

TEST(FeedNames, FitTheirFieldsAndCp932)
{
    FeedRng rng(3);
    for (int i = 0; i < 2000; ++i) {
        const std::string horse = horseName(rng);
        EXPECT_TRUE(charCount(horse) >= 2 && charCount(horse) <= 9) << horse;
        EXPECT_TRUE(allKatakana(horse)) << horse;
        const std::string person = personShortName(rng);
        EXPECT_LE(displayWidth(person), 8) << person;
        EXPECT_LE(displayWidth(ownerName(rng)), 64);
        EXPECT_LE(displayWidth(silksText(rng)), 60);
        const RaceName special = specialRaceName(rng, "05", 1 + i % 12, i % 2 == 0);
        const RaceName graded = gradedRaceName(rng, i % 3 == 0 ? "10" : "08");
        for (const RaceName& n : {special, graded}) {
            EXPECT_LE(displayWidth(n.title), 60) << n.title;
            EXPECT_LE(charCount(n.short10), 10) << n.short10;
            EXPECT_LE(charCount(n.short6), 6) << n.short6;
            EXPECT_LE(charCount(n.short3), 3) << n.short3;
            EXPECT_LE(n.latin.size(), 120u);
            EXPECT_TRUE(std::all_of(n.latin.begin(), n.latin.end(),
                                    [](char ch) { return ch >= 0x20 && ch < 0x7F; }));
            EXPECT_TRUE(fitsCp932(n.title + n.short10 + n.short6 + n.short3));
        }
        EXPECT_TRUE(fitsCp932(horse + person));
    }
    EXPECT_EQ(charPrefix("ヒカリヒメ", 3), "ヒカリ");
    EXPECT_EQ(charPrefix("ab", 5), "ab");
}

} // namespace
} // namespace sorvantix::feed
