#include "feed/race_plan.h"

#include "core/store/racing_codes.h"
#include "core/text/format.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace sorvantix::feed {
namespace {

struct Course
{
    int distance;
    const char* track;
};

struct VenueCourses
{
    std::vector<Course> turf;
    std::vector<Course> dirt;
    std::vector<Course> jump; // empty: no jump course
};

// Distances and track codes the venues run (index = venue code - 1).
const std::array<VenueCourses, 10> kCourses = {{
    {{{1200, "17"}, {1500, "17"}, {1800, "17"}, {2000, "17"}, {2600, "17"}},
     {{1000, "24"}, {1700, "24"}, {2400, "24"}},
     {}},
    {{{1200, "17"}, {1800, "17"}, {2000, "17"}, {2600, "17"}},
     {{1000, "24"}, {1700, "24"}, {2400, "24"}},
     {}},
    {{{1200, "17"}, {1800, "17"}, {2000, "17"}, {2600, "17"}},
     {{1150, "24"}, {1700, "24"}, {2400, "24"}},
     {{2750, "54"}, {3380, "54"}}},
    {{{1000, "10"},
      {1200, "11"},
      {1400, "11"},
      {1600, "12"},
      {1800, "12"},
      {2000, "11"},
      {2200, "11"},
      {2400, "11"}},
     {{1200, "23"}, {1800, "23"}, {2500, "23"}},
     {{2850, "53"}, {3250, "53"}}},
    {{{1400, "11"},
      {1600, "11"},
      {1800, "11"},
      {2000, "11"},
      {2300, "11"},
      {2400, "11"},
      {3400, "11"}},
     {{1300, "23"}, {1400, "23"}, {1600, "23"}, {2100, "23"}},
     {{3000, "55"}, {3110, "55"}}},
    {{{1200, "18"}, {1600, "18"}, {1800, "17"}, {2000, "17"}, {2200, "18"}, {2500, "17"}},
     {{1200, "24"}, {1800, "24"}, {2400, "24"}, {2500, "24"}},
     {{2880, "51"}, {3200, "51"}, {4100, "51"}}},
    {{{1200, "11"}, {1400, "11"}, {1600, "11"}, {2000, "11"}, {2200, "11"}},
     {{1200, "23"}, {1400, "23"}, {1800, "23"}, {1900, "23"}},
     {{3000, "52"}, {3300, "52"}}},
    {{{1200, "17"},
      {1400, "18"},
      {1600, "18"},
      {1800, "18"},
      {2000, "17"},
      {2200, "18"},
      {2400, "18"},
      {3000, "18"}},
     {{1200, "24"}, {1400, "24"}, {1800, "24"}, {1900, "24"}},
     {{3170, "54"}, {3930, "54"}}},
    {{{1200, "17"},
      {1400, "17"},
      {1600, "18"},
      {1800, "18"},
      {2000, "17"},
      {2200, "17"},
      {2400, "18"},
      {3000, "17"}},
     {{1200, "24"}, {1400, "24"}, {1800, "24"}, {2000, "24"}},
     {{2970, "54"}, {3140, "54"}, {3900, "54"}}},
    {{{1200, "17"}, {1800, "17"}, {2000, "17"}, {2600, "17"}},
     {{1000, "24"}, {1700, "24"}, {2400, "24"}},
     {{2860, "52"}, {3390, "52"}}},
}};

// Post times of races 1..12 in minutes after the first race.
constexpr int kPostOffsets[] = {0, 30, 60, 90, 140, 170, 200, 230, 265, 300, 345, 385};
// First-race times of the venue slots: 10:05, 09:55, 09:50.
constexpr int kSlotStarts[] = {605, 595, 590};

int venueNumber(const std::string& venue)
{
    return std::stoi(venue);
}

bool isEastVenue(const std::string& venue)
{
    const int v = venueNumber(venue);
    return v >= 1 && v <= 6;
}

std::string conditionCode(RaceClass c)
{
    switch (c) {
    case RaceClass::Newcomer:
        return "701";
    case RaceClass::Maiden:
    case RaceClass::JumpMaiden:
        return "703";
    case RaceClass::Win1:
        return "005";
    case RaceClass::Win2:
        return "010";
    case RaceClass::Win3:
        return "016";
    default:
        return "999";
    }
}

struct Choice
{
    RaceClass cls;
    bool young; // 2-year-olds (summer on) or 3-year-olds (until May)
};

// The class of race `raceNo` of a venue's day, after the usual JRA programme.
Choice chooseClass(FeedRng& rng, int raceNo, const RaceDay& day, int slot, bool jumpCourse)
{
    const int month = day.date.month;
    const bool newcomersRun = month >= 6 || month <= 3;
    const bool sunday = day.weekdayCode != 1;
    switch (raceNo) {
    case 1:
    case 2:
        return {RaceClass::Maiden, true};
    case 3:
        return rng.chance(0.6) ? Choice{RaceClass::Maiden, true} : Choice{RaceClass::Win1, false};
    case 4:
        if (jumpCourse && !sunday && rng.chance(0.45))
            return {RaceClass::JumpMaiden, false};
        if (newcomersRun && rng.chance(0.5))
            return {RaceClass::Newcomer, true};
        return rng.chance(0.5) ? Choice{RaceClass::Maiden, true} : Choice{RaceClass::Win1, false};
    case 5:
        return newcomersRun ? Choice{RaceClass::Newcomer, true} : Choice{RaceClass::Maiden, true};
    case 6:
        if (newcomersRun && rng.chance(0.3))
            return {RaceClass::Newcomer, true};
        return rng.chance(0.4) ? Choice{RaceClass::Maiden, true} : Choice{RaceClass::Win1, false};
    case 7:
        return {RaceClass::Win1, false};
    case 8:
        if (jumpCourse && !sunday && rng.chance(0.12))
            return {RaceClass::JumpOpen, false};
        return rng.chance(0.5) ? Choice{RaceClass::Win1, false} : Choice{RaceClass::Win2, false};
    case 9:
        return rng.chance(0.4) ? Choice{RaceClass::Win1, true}
                               : Choice{rng.chance(0.5) ? RaceClass::Win1 : RaceClass::Win2, false};
    case 10:
        return rng.chance(0.55) ? Choice{RaceClass::Win2, false} : Choice{RaceClass::Win3, false};
    case 11: {
        double graded = sunday ? (slot < 2 ? 0.8 : 0.4) : 0.35;
        if (rng.chance(graded)) {
            const double x = rng.uniform();
            if (sunday && slot < 2 && x < 0.25)
                return {RaceClass::G1, rng.chance(0.15)};
            return {x < 0.4 ? RaceClass::G2 : RaceClass::G3, rng.chance(0.2)};
        }
        return rng.chance(0.6) ? Choice{RaceClass::Open, false} : Choice{RaceClass::Win3, false};
    }
    default:
        return rng.chance(0.5) ? Choice{RaceClass::Win1, false} : Choice{RaceClass::Win2, false};
    }
}

int fieldSize(FeedRng& rng, RaceClass c)
{
    double mean = 14.0;
    switch (c) {
    case RaceClass::Newcomer:
        mean = 12.5;
        break;
    case RaceClass::Maiden:
        mean = 16.0;
        break;
    case RaceClass::Win1:
    case RaceClass::Win2:
        mean = 14.0;
        break;
    case RaceClass::Win3:
    case RaceClass::Open:
        mean = 12.5;
        break;
    case RaceClass::G3:
    case RaceClass::G2:
        mean = 15.0;
        break;
    case RaceClass::G1:
        mean = 17.5;
        break;
    case RaceClass::JumpMaiden:
    case RaceClass::JumpOpen:
        mean = 11.0;
        break;
    }
    const int n = static_cast<int>(std::lround(rng.normal(mean, 2.8)));
    return std::clamp(n, 5, 18);
}

long long basePool(RaceClass c, FeedRng& rng)
{
    switch (c) {
    case RaceClass::Newcomer:
    case RaceClass::Maiden:
        return rng.range(400000, 800000);
    case RaceClass::Win1:
        return rng.range(600000, 1000000);
    case RaceClass::Win2:
        return rng.range(800000, 1200000);
    case RaceClass::Win3:
        return rng.range(1000000, 1600000);
    case RaceClass::Open:
        return rng.range(1500000, 2500000);
    case RaceClass::G3:
        return rng.range(3000000, 5000000);
    case RaceClass::G2:
        return rng.range(5000000, 8000000);
    case RaceClass::G1:
        return rng.range(20000000, 60000000);
    case RaceClass::JumpMaiden:
    case RaceClass::JumpOpen:
        return rng.range(300000, 500000);
    }
    return 500000;
}

// First prize in units of 100 yen.
long long firstPrize(RaceClass c)
{
    switch (c) {
    case RaceClass::Newcomer:
        return 72000;
    case RaceClass::Maiden:
        return 55000;
    case RaceClass::Win1:
        return 84000;
    case RaceClass::Win2:
        return 112000;
    case RaceClass::Win3:
        return 156000;
    case RaceClass::Open:
        return 240000;
    case RaceClass::G3:
        return 430000;
    case RaceClass::G2:
        return 670000;
    case RaceClass::G1:
        return 2000000;
    case RaceClass::JumpMaiden:
        return 75000;
    case RaceClass::JumpOpen:
        return 160000;
    }
    return 55000;
}

std::string symbolFor(FeedRng& rng, RaceClass c, bool fillies, bool special)
{
    char origin = '0', rule = '0';
    switch (c) {
    case RaceClass::Newcomer:
    case RaceClass::Maiden:
        origin = rng.chance(0.7) ? 'A' : '0';
        rule = rng.chance(0.5) ? '1' : '3';
        break;
    case RaceClass::Win1:
    case RaceClass::Win2:
    case RaceClass::Win3:
        origin = rng.chance(0.6) ? 'A' : '0';
        rule = special ? '4' : (rng.chance(0.5) ? '1' : '3');
        break;
    case RaceClass::Open:
    case RaceClass::G3:
    case RaceClass::G2:
    case RaceClass::G1:
        origin = rng.chance(0.6) ? 'N' : 'A';
        rule = rng.chance(0.6) ? '4' : '1';
        break;
    case RaceClass::JumpMaiden:
    case RaceClass::JumpOpen:
        origin = rng.chance(0.5) ? 'A' : '0';
        rule = '0';
        break;
    }
    return std::string{origin, fillies ? '2' : '0', rule};
}

char weightRuleFor(FeedRng& rng, RaceClass c, bool special, bool young)
{
    switch (c) {
    case RaceClass::Newcomer:
    case RaceClass::Maiden:
    case RaceClass::JumpMaiden:
        return '3';
    case RaceClass::Win1:
    case RaceClass::Win2:
    case RaceClass::Win3:
        return special && rng.chance(0.3) ? '1' : '4';
    case RaceClass::Open:
    case RaceClass::G3:
        return rng.chance(0.55) ? '2' : '1';
    case RaceClass::G2:
        return rng.chance(0.8) ? '2' : '1';
    case RaceClass::G1:
        return young ? '3' : '4';
    case RaceClass::JumpOpen:
        return '2';
    }
    return '3';
}

int pickAge(FeedRng& rng, const std::string& raceType)
{
    if (raceType == "11")
        return 2;
    if (raceType == "12")
        return 3;
    static constexpr double kFrom3[] = {0.40, 0.30, 0.18, 0.08, 0.04};
    static constexpr double kFrom4[] = {0.45, 0.30, 0.15, 0.07, 0.03};
    if (raceType == "13" || raceType == "18")
        return 3 + rng.weighted(kFrom3);
    return 4 + rng.weighted(kFrom4);
}

std::string pickCoat(FeedRng& rng)
{
    static constexpr double kWeights[] = {0.20, 0.03, 0.40, 0.22, 0.06, 0.01, 0.08};
    static constexpr const char* kCodes[] = {"01", "02", "03", "04", "05", "06", "07"};
    return kCodes[rng.weighted(kWeights)];
}

// Weight carried in tenths of a kg.
int weightCarried(FeedRng& rng, const RacePlan& race, const RunnerPlan& r, double strengthRank)
{
    const bool filly = r.sex == 2;
    int kg10 = 0;
    if (race.jump) {
        kg10 = filly ? 580 : 600;
        if (race.weightRule == '2')
            kg10 += 10 * rng.range(0, 3);
    } else if (race.weightRule == '3') {
        kg10 = r.age == 2 ? 550 : (r.age == 3 && race.raceType == "12" ? 570 : 570);
        if (filly)
            kg10 -= 10;
    } else if (race.weightRule == '4') {
        kg10 = (r.age == 3 && race.raceType == "13") ? 560 : 580;
        if (filly)
            kg10 -= 20;
    } else if (race.weightRule == '2') {
        kg10 = (filly ? 550 : 570) + 10 * rng.range(0, 2);
    } else { // handicap: the better the horse, the more it carries
        kg10 = 520 + static_cast<int>(std::lround(strengthRank * 12)) * 5;
        kg10 = std::clamp(kg10, 490, 590);
    }
    return kg10;
}

} // namespace

std::string RacePlan::key() const
{
    return date.digits() + venue + format("%02d%02d%02d", meeting, meetingDay, raceNo);
}

int RacePlan::starters() const
{
    return static_cast<int>(std::count_if(runners.begin(), runners.end(), [](const RunnerPlan& r) {
        return r.scratch == Scratch::None;
    }));
}

int postMinute(int slot, int raceNo)
{
    return kSlotStarts[std::clamp(slot, 0, 2)] + kPostOffsets[std::clamp(raceNo, 1, 12) - 1];
}

PeoplePool makePeoplePool(std::uint64_t seed)
{
    FeedRng rng = FeedRng::stream(seed, "people");
    PeoplePool pool;
    std::set<std::string> used;
    auto uniqueName = [&](auto make) {
        for (;;) {
            std::string n = make();
            if (used.insert(n).second)
                return n;
        }
    };
    for (int region = 1; region <= 2; ++region) {
        for (int i = 0; i < 90; ++i) {
            const int apprentice = i >= 75 ? 1 + (i - 75) % 3 : 0;
            pool.jockeys.push_back({(region == 1 ? 1000 : 1500) + i * 3 + 1,
                                    uniqueName([&] { return personShortName(rng); }), region,
                                    apprentice});
        }
        for (int i = 0; i < 100; ++i)
            pool.trainers.push_back({(region == 1 ? 100 : 600) + i * 2 + 1,
                                     uniqueName([&] { return personShortName(rng); }), region, 0});
    }
    std::set<std::string> owners;
    for (int i = 0; i < 300; ++i) {
        std::string n;
        do
            n = ownerName(rng);
        while (!owners.insert(n).second);
        pool.owners.push_back({100000 + i * 37, n, 0, 0});
    }
    return pool;
}

std::vector<RacePlan> planDay(const RaceDay& day, std::uint64_t seed, const PeoplePool& people,
                              bool oldStyle)
{
    std::vector<RacePlan> races;
    const long dayNo = day.date.dayNumber();
    for (size_t slot = 0; slot < day.venues.size(); ++slot) {
        const VenueMeeting& vm = day.venues[slot];
        const int venueNo = venueNumber(vm.venue);
        const VenueCourses& courses = kCourses[static_cast<size_t>(venueNo - 1)];
        FeedRng dayRng = FeedRng::stream(seed, "venue-day", static_cast<std::uint64_t>(dayNo),
                                         static_cast<std::uint64_t>(venueNo));

        // Weather and going hold for the venue's whole day.
        static constexpr double kWeather[] = {0.55, 0.30, 0.10, 0.05};
        const int weather = 1 + dayRng.weighted(kWeather);
        const int wet = weather >= 3 ? dayRng.range(1, 3) : (dayRng.chance(0.15) ? 1 : 0);
        const int turfGoing = 1 + wet;
        const int dirtGoing = std::min(4, 1 + wet + (weather >= 3 ? 1 : 0));
        const char courseLetter = static_cast<char>('A' + dayRng.below(3));

        // The jockeys riding at this venue today: mostly of the venue's region.
        std::vector<const Person*> roster;
        const int homeRegion = isEastVenue(vm.venue) ? 1 : 2;
        for (const Person& p : people.jockeys)
            if (dayRng.chance(p.region == homeRegion ? 0.42 : 0.12))
                roster.push_back(&p);

        for (int raceNo = 1; raceNo <= 12; ++raceNo) {
            FeedRng rng = FeedRng::stream(seed, "race", static_cast<std::uint64_t>(dayNo),
                                          static_cast<std::uint64_t>(venueNo * 100 + raceNo));
            RacePlan race;
            race.date = day.date;
            race.weekdayCode = day.weekdayCode;
            race.venue = vm.venue;
            race.meeting = vm.meeting;
            race.meetingDay = vm.meetingDay;
            race.raceNo = raceNo;
            race.slot = static_cast<int>(slot);
            race.postMinute = postMinute(race.slot, raceNo);
            race.weather = weather;
            race.turfGoing = turfGoing;
            race.dirtGoing = dirtGoing;
            race.oldStyle = oldStyle;

            const Choice choice = chooseClass(rng, raceNo, day, race.slot, !courses.jump.empty());
            race.raceClass = choice.cls;
            const RaceClass c = choice.cls;
            const bool summerOn = day.date.month >= 6;
            race.jump = c == RaceClass::JumpMaiden || c == RaceClass::JumpOpen;
            if (race.jump)
                race.raceType = summerOn ? "18" : "19";
            else if (choice.young)
                race.raceType = summerOn ? "11" : "12";
            else
                race.raceType = summerOn ? "13" : "14";

            const bool graded = c == RaceClass::G1 || c == RaceClass::G2 || c == RaceClass::G3;
            const bool special = graded || (raceNo >= 9 && raceNo <= 11 && !race.jump) ||
                                 (raceNo == 12 && rng.chance(0.35));
            const bool fillies = !race.jump && rng.chance(0.14);
            race.symbol = symbolFor(rng, c, fillies, special);
            race.weightRule = weightRuleFor(rng, c, special, choice.young);
            const std::string cond = conditionCode(c);
            const std::string& t = race.raceType;
            race.conditions = {"000", "000", "000", "000"};
            if (t == "11")
                race.conditions[0] = cond;
            else if (t == "12")
                race.conditions[1] = cond;
            else if (t == "13" || t == "18")
                race.conditions = {"000", cond, cond, cond};
            else
                race.conditions = {"000", "000", cond, cond};
            race.conditionYoungest = cond;

            if (special) {
                race.named = true;
                if (graded) {
                    race.grade = c == RaceClass::G1 ? 'A' : (c == RaceClass::G2 ? 'B' : 'C');
                    race.name = gradedRaceName(rng, vm.venue);
                    race.edition = rng.range(12, 75);
                    race.specialNo = rng.range(1, 9999);
                } else {
                    race.grade = 'E';
                    const bool stakes = c == RaceClass::Win3 || c == RaceClass::Open;
                    race.name = specialRaceName(rng, vm.venue, day.date.month, stakes);
                }
            }

            // Course: dirt for most maidens, turf for the feature races.
            if (race.jump) {
                const Course& k = courses.jump[static_cast<size_t>(
                    rng.below(static_cast<int>(courses.jump.size())))];
                race.distance = k.distance;
                race.track = k.track;
                race.turf = true;
            } else {
                const double turfChance = graded ? 0.9 : (c == RaceClass::Maiden ? 0.45 : 0.55);
                race.turf = rng.chance(turfChance);
                const auto& list = race.turf ? courses.turf : courses.dirt;
                const Course& k =
                    list[static_cast<size_t>(rng.below(static_cast<int>(list.size())))];
                race.distance = k.distance;
                race.track = k.track;
            }
            race.course = race.turf && !race.jump ? std::string{courseLetter, ' '} : "  ";

            const long long first = firstPrize(c);
            static constexpr int kShares[] = {100, 40, 25, 15, 10};
            for (int i = 0; i < 5; ++i)
                race.prize[static_cast<size_t>(i)] = first * kShares[i] / 100 / 10 * 10;

            long long pool = basePool(c, rng);
            if (race.slot == 2)
                pool = pool * 8 / 10;
            if (day.weekdayCode == 1)
                pool = pool * 85 / 100;
            race.winPool = pool;
            race.dayBeforeSales = graded;

            // Runners.
            const int n = fieldSize(rng, c);
            const double spread = 0.75 + 0.45 * rng.uniform();
            std::set<std::string> names;
            std::vector<const Person*> riders = roster;
            for (int i = 1; i <= n; ++i) {
                RunnerPlan r;
                r.number = i;
                r.bracket = BracketNo(n, i);
                do
                    r.horseName = horseName(rng);
                while (!names.insert(r.horseName).second);
                r.age = pickAge(rng, race.raceType);
                if (fillies)
                    r.sex = 2;
                else if (r.age >= 3 && rng.chance(0.06))
                    r.sex = 3;
                else
                    r.sex = rng.chance(0.42) ? 2 : 1;
                r.horseId = format("%04d1%05d", day.date.year - r.age, rng.range(1, 99999));
                r.coat = pickCoat(rng);
                const Person& trainer = people.trainers[static_cast<size_t>(
                    rng.below(static_cast<int>(people.trainers.size())))];
                r.region = trainer.region;
                r.trainerCode = trainer.code;
                r.trainerName = trainer.name;
                const Person& owner = people.owners[static_cast<size_t>(
                    rng.below(static_cast<int>(people.owners.size())))];
                r.ownerCode = owner.code;
                r.ownerName = owner.name;
                r.silks = silksText(rng);
                r.blinkers = rng.chance(0.12);
                if (riders.empty())
                    riders =
                        roster.empty() ? std::vector<const Person*>{&people.jockeys[0]} : roster;
                const size_t j = static_cast<size_t>(rng.below(static_cast<int>(riders.size())));
                const Person& jockey = *riders[j];
                riders.erase(riders.begin() + static_cast<long>(j));
                r.jockeyCode = jockey.code;
                r.jockeyName = jockey.name;
                r.apprentice = special || race.jump ? 0 : jockey.apprentice;
                const int base = r.sex == 2 ? 455 : 480;
                r.bodyWeight = base - (r.age == 2 ? 15 : 0) + rng.range(-30, 40);
                r.weightChange = 2 * rng.range(-5, 6);
                static constexpr double kStyles[] = {0.15, 0.35, 0.35, 0.15};
                r.runningStyle = 1 + rng.weighted(kStyles);
                r.strength = spread * rng.normal();
                r.publicError = 0.3 * rng.normal();
                race.runners.push_back(std::move(r));
            }
            // Now and then one runner stands out.
            if (rng.chance(0.12)) {
                auto best = std::max_element(race.runners.begin(), race.runners.end(),
                                             [](const RunnerPlan& a, const RunnerPlan& b) {
                                                 return a.strength < b.strength;
                                             });
                best->strength += 0.7;
            }

            // Weights carried depend on the strength order for handicaps.
            std::vector<double> strengths;
            for (const RunnerPlan& r : race.runners)
                strengths.push_back(r.strength);
            std::sort(strengths.begin(), strengths.end());
            for (RunnerPlan& r : race.runners) {
                const double rank =
                    static_cast<double>(
                        std::lower_bound(strengths.begin(), strengths.end(), r.strength) -
                        strengths.begin()) /
                    std::max(1, n - 1);
                r.weightCarried = weightCarried(rng, race, r, rank);
                if (r.apprentice > 0)
                    r.weightCarried -= 10 * r.apprentice;
            }

            // Scratches: before the sale opens or while it is on.
            if (n >= 6 && rng.chance(0.04))
                race.runners[static_cast<size_t>(rng.below(n))].scratch = Scratch::BeforeSale;
            if (n >= 6 && rng.chance(0.03)) {
                RunnerPlan& r = race.runners[static_cast<size_t>(rng.below(n))];
                if (r.scratch == Scratch::None) {
                    r.scratch = Scratch::AfterSale;
                    r.scratchAt = 0.3 + 0.5 * rng.uniform();
                }
            }

            // Informed money: an outsider the public underrates, paired with the
            // favourite (and sometimes the second favourite).
            if (race.starters() >= 7 && rng.chance(0.28)) {
                std::vector<int> order; // running horse numbers by the public's view
                for (const RunnerPlan& r : race.runners)
                    if (r.scratch == Scratch::None)
                        order.push_back(r.number);
                auto view = [&](int h) {
                    const RunnerPlan& r = race.runners[static_cast<size_t>(h - 1)];
                    return r.strength + r.publicError;
                };
                std::sort(order.begin(), order.end(),
                          [&](int a, int b) { return view(a) > view(b); });
                const int last = std::min(static_cast<int>(order.size()) - 1, 8);
                const int outsider = order[static_cast<size_t>(rng.range(3, std::max(3, last)))];
                race.informedPairs.push_back({outsider, order[0]});
                if (rng.chance(0.3))
                    race.informedPairs.push_back({outsider, order[1]});
                race.informedFactor = 1.5 + 1.0 * rng.uniform();
                RunnerPlan& o = race.runners[static_cast<size_t>(outsider - 1)];
                o.hiddenForm = 0.6 + 0.4 * rng.uniform();
                o.strength += o.hiddenForm;
            }
            races.push_back(std::move(race));
        }
    }
    return races;
}

} // namespace sorvantix::feed
