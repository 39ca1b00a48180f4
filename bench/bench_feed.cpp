#include "feed/feed_writer.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// A year of race cards, results and latest odds without odds series (about 3,500
// races, some 110 MB) written to a scratch folder.
void BM_FeedYearOfRaceCards(benchmark::State& state)
{
    std::string pattern = (fs::temp_directory_path() / "sorvantix-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    sorvantix::feed::FeedOptions options;
    options.from = {2026, 1, 1};
    options.to = {2026, 12, 31};
    options.seed = 7;
    options.oddsDays = sorvantix::feed::OddsDays::None;
    int races = 0;
    for (auto _ : state)
        races = sorvantix::feed::writeFeed(options, pattern).races;
    state.counters["races"] = races;
    std::error_code ec;
    fs::remove_all(pattern, ec);
}
BENCHMARK(BM_FeedYearOfRaceCards)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(1);

// One race day with full odds series, generated in memory (no files).
void BM_FeedDayWithOddsSeries(benchmark::State& state)
{
    sorvantix::feed::FeedOptions options;
    options.from = options.to = {2026, 11, 29};
    options.seed = 7;
    const auto people = sorvantix::feed::makePeoplePool(options.seed);
    const auto day = sorvantix::feed::raceCalendar(options.from, options.to).at(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(sorvantix::feed::generateDay(day, options, people));
}
BENCHMARK(BM_FeedDayWithOddsSeries)->Unit(benchmark::kMillisecond);

} // namespace
