#include "bench_odds_fixture.h"
#include "core/analysis/analysis_computation.h"
#include "core/analysis/analysis_display.h"
#include "core/analysis/suisho_params.h"
#include "core/odds/odds_files.h"
#include "core/present/grid_sort.h"
#include "core/store/record_builder.h"

#include <benchmark/benchmark.h>
#include <filesystem>

namespace {

using namespace sorvantix;

const std::string kKey = "2026112905050811";

// One analysis run of a loaded time point, as the odds loading performs it: reset,
// results, odds arrays from the O1 and O2 records, computation, display (with the
// recommended-horse file) and the sort of the pressed button.
void BM_AnalysisRun(benchmark::State& state)
{
    RecordBuilder ra(RecordType::RA);
    ra.setRaceKey("2026112905050811").set("registered", 16);
    std::array<std::string, 18> se;
    for (int h = 1; h <= 18; ++h) {
        RecordBuilder b(RecordType::SE);
        b.setRaceKey("2026112905050811").set("horse_no", h <= 16 ? h : 0);
        b.set("finish_pos", h <= 16 ? h : 0);
        se[static_cast<size_t>(h - 1)] = b.bytes();
    }
    std::string hr = RecordBuilder(RecordType::HR).setRaceKey("2026112905050811").bytes();
    const auto [o1, o2] = bench::sixteenRunnerRecords(kKey, "11291530");
    auto dir = std::filesystem::temp_directory_path() / "sorvantix-bench-run";
    std::filesystem::create_directories(dir);

    AnalysisDisplay display;
    AnalysisState analysis;
    OddsArrays odds;
    RaceResults results;
    SuishoParams params = analysisDefaultParams();
    for (auto _ : state) {
        display.ClearBtnClick(ra.bytes(), analysis, odds, results);
        display.seiBtnClick(se, hr, results);
        fillOddsArrays(o1, o2, true, odds);
        computeAnalysis(odds, params, analysis);
        display.HyojiBtnClick(ra.bytes(), analysis, odds, results, dir);
        sortAnalysisTable(display.StringGrid1, SortButton::Top3Pa);
        benchmark::DoNotOptimize(display.StringGrid1.cell(8, 1));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AnalysisRun)->Unit(benchmark::kMicrosecond);

// The reference: the same time point's O1 and O2 records parsed into the odds arrays.
void BM_ParseTimePoint(benchmark::State& state)
{
    const auto [o1, o2] = bench::sixteenRunnerRecords(kKey, "11291530");
    for (auto _ : state) {
        OddsArrays odds;
        fillOddsArrays(o1, o2, true, odds);
        benchmark::DoNotOptimize(odds.UmarenOdds.data());
    }
}
BENCHMARK(BM_ParseTimePoint)->Unit(benchmark::kMicrosecond);

} // namespace
