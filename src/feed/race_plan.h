#pragma once

#include "feed/feed_date.h"
#include "feed/feed_names.h"
#include "feed/race_calendar.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sorvantix::feed {

// Class of a race, from newcomers to G1 and the jump races.
enum class RaceClass { Newcomer, Maiden, Win1, Win2, Win3, Open, G3, G2, G1, JumpMaiden, JumpOpen };

// When a runner was withdrawn: before the betting opened ("----" in the odds) or
// while it was on sale ("****" from that announcement on, votes refunded).
enum class Scratch { None, BeforeSale, AfterSale };

// One runner of a race card and what only the generator knows about it.
struct RunnerPlan
{
    int number = 0;      // horse number 1..18
    int bracket = 0;     // 1..8 by the JRA rule
    std::string horseId; // 10 digits
    std::string horseName;
    int sex = 1; // 1 colt, 2 filly, 3 gelding
    int age = 3;
    std::string coat = "03";
    int region = 1; // 1 east (美浦), 2 west (栗東)
    int trainerCode = 0;
    std::string trainerName;
    int ownerCode = 0;
    std::string ownerName;
    std::string silks;
    int weightCarried = 550; // tenths of a kg
    bool blinkers = false;
    int jockeyCode = 0;
    std::string jockeyName;
    int apprentice = 0;     // allowance code, 0 none
    int bodyWeight = 480;   // kg, announced on the day
    int weightChange = 0;   // kg against the last run
    int runningStyle = 2;   // 1 front runner .. 4 closer
    double strength = 0;    // true ability on a log scale (what the result is drawn from)
    double publicError = 0; // how far the betting public misjudges the runner
    double hiddenForm = 0;  // part of the strength only the informed money knows
    Scratch scratch = Scratch::None;
    double scratchAt = 0; // AfterSale: fraction of the sale period after which it is out
};

// A race as the generator plans it: the card, the people, the hidden truth.
struct RacePlan
{
    FeedDate date;
    int weekdayCode = 1;
    std::string venue; // "01".."10"
    int meeting = 1;
    int meetingDay = 1;
    int raceNo = 1;
    int slot = 0;       // post-time slot of the venue on the day
    int postMinute = 0; // minutes after midnight

    RaceClass raceClass = RaceClass::Maiden;
    bool named = false; // special and graded races carry a name
    RaceName name;
    int edition = 0;      // 第N回 of graded races
    int specialNo = 0;    // special race number of graded races
    char grade = ' ';     // ' ' ordinary, 'A'..'C' G1..G3, 'E' special
    std::string raceType; // "11".."14", "18", "19"
    std::string symbol;   // "000", "A03", "N24" ...
    char weightRule = '3';
    std::array<std::string, 4> conditions; // 2-year-olds, 3, 4, 5 and up
    std::string conditionYoungest;
    int distance = 1600;
    std::string track;  // track code
    std::string course; // "A " .. "C ", blank for dirt and jumps
    bool turf = true;
    bool jump = false;
    std::array<long long, 7> prize{}; // units of 100 yen

    int weather = 1; // of the venue's day
    int turfGoing = 1;
    int dirtGoing = 1;

    std::vector<RunnerPlan> runners; // by horse number
    bool dayBeforeSales = false;     // feature race sold from the previous evening
    long long winPool = 0;           // final win pool, units of 100 yen
    bool oldStyle = false;           // pre-2005 day: small fields without quinella records

    // Over-backed pairs (outsider, favourite) the informed money goes to, and by how
    // much the pair's money grows against the market's own by post time.
    std::vector<std::pair<int, int>> informedPairs;
    double informedFactor = 1.0;

    // The 16-digit race key.
    std::string key() const;
    int registered() const { return static_cast<int>(runners.size()); }
    int starters() const;
};

// Shared pools of jockeys, trainers and owners for a seed.
struct Person
{
    int code = 0;
    std::string name;
    int region = 1;
    int apprentice = 0;
};

struct PeoplePool
{
    std::vector<Person> jockeys;
    std::vector<Person> trainers;
    std::vector<Person> owners;
};

PeoplePool makePeoplePool(std::uint64_t seed);

// The twelve races of every venue of the day, in slot and race-number order. The
// plan of a day depends only on the seed, the day and `oldStyle`.
std::vector<RacePlan> planDay(const RaceDay& day, std::uint64_t seed, const PeoplePool& people,
                              bool oldStyle);

// Minutes after midnight of race `raceNo` (1..12) of post-time slot `slot` (0..2).
int postMinute(int slot, int raceNo);

} // namespace sorvantix::feed
