#include "bench_odds_fixture.h"
#include "core/analysis/analysis_computation.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

void BM_ComputeAnalysis(benchmark::State& state)
{
    const sorvantix::OddsArrays odds = bench::sixteenRunners();
    const sorvantix::SuishoParams params = sorvantix::analysisDefaultParams();
    sorvantix::AnalysisState analysis;
    for (auto _ : state) {
        analysis.reset();
        sorvantix::computeAnalysis(odds, params, analysis);
        benchmark::DoNotOptimize(analysis.KasenRate);
    }
    // Guard against measuring an analysis that found nothing to do.
    state.counters["longshotLists"] = static_cast<double>(analysis.KaiRenOoAna[1].empty() ? 0 : 1) +
                                      (analysis.KaiRenChuAna[1].empty() ? 0 : 1);
}
BENCHMARK(BM_ComputeAnalysis);

} // namespace
