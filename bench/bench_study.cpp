// The backtest of a year of stored races at one decision time against the analysis
// computation of the same races alone, and the race-day board of a 36-race day.

#include "bench_odds_fixture.h"
#include "bench_stored_year.h"
#include "core/analysis/analysis_computation.h"
#include "core/store/race_card_files.h"
#include "core/store/record_builder.h"
#include "core/study/backtest.h"
#include "core/study/race_board.h"
#include "core/text/text_file.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <unistd.h>

namespace {

using bench::StoredYear;
using bench::storedYear;

using namespace sorvantix;
namespace fs = std::filesystem;

void BM_BacktestYear(benchmark::State& state)
{
    StoredYear& year = storedYear();
    BacktestOptions options;
    options.decision.minutes = 10;
    options.sets.push_back({"既定値", analysisDefaultParams()});
    size_t races = 0;
    for (auto _ : state) {
        BacktestReport r = runBacktest(year.app, std::nullopt, std::nullopt, options);
        races = r.raceKeys.size();
        benchmark::DoNotOptimize(r);
    }
    if (races != static_cast<size_t>(year.races))
        state.SkipWithError("not every race was backtested");
    state.counters["races"] = static_cast<double>(races);
}
BENCHMARK(BM_BacktestYear)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AnalysisComputationYear(benchmark::State& state)
{
    StoredYear& year = storedYear();
    const SuishoParams params = analysisDefaultParams();
    AnalysisState analysis;
    for (auto _ : state) {
        for (const OddsArrays& odds : year.arrays) {
            analysis.reset();
            computeAnalysis(odds, params, analysis);
            benchmark::DoNotOptimize(analysis);
        }
    }
    state.counters["races"] = static_cast<double>(year.arrays.size());
}
BENCHMARK(BM_AnalysisComputationYear)->Unit(benchmark::kMillisecond);

void BM_RaceBoard36Races(benchmark::State& state)
{
    StoredYear& year = storedYear();
    const DayName day{2025, 6, 13};
    int races = 0;
    for (auto _ : state) {
        RaceBoard board = buildRaceBoard(year.app, day, analysisDefaultParams());
        races = board.raceCount();
        benchmark::DoNotOptimize(board);
    }
    if (races != 36)
        state.SkipWithError("the board does not hold 36 races");
    state.counters["races"] = races;
}
BENCHMARK(BM_RaceBoard36Races)->Unit(benchmark::kMillisecond);

} // namespace
