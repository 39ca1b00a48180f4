// The PA ratio chart of a race with 300 time points against parsing those 300 odds
// lines once (the odds loading's own reading). The goal is a chart build within three
// times the parse.

#include "bench_odds_fixture.h"
#include "core/odds/odds_files.h"
#include "core/present/pa_chart.h"
#include "core/store/record_builder.h"
#include "core/text/format.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

using namespace sorvantix;

namespace {

constexpr int kTimePoints = 300;
constexpr int kRunners = 16;

struct Series
{
    std::vector<std::string> O1Lines;
    std::vector<std::string> O2Lines;
};

// Odds drift a little from one announcement to the next, as a morning's market does.
const Series& series()
{
    static const Series s = [] {
        Series out;
        for (int t = 0; t < kTimePoints; ++t) {
            const std::string time = format("1206%02d%02d", 9 + t / 60, t % 60);
            const double drift = 1.0 + 0.002 * ((t * 7) % 11 - 5);
            auto [o1, o2] = bench::sixteenRunnerRecords("2026120606050211", time, drift);
            out.O1Lines.push_back(std::move(o1));
            out.O2Lines.push_back(std::move(o2));
        }
        return out;
    }();
    return s;
}

void BM_ChartBuild300TimePoints(benchmark::State& state)
{
    const Series& s = series();
    const ChartOdds odds{s.O1Lines, s.O2Lines, true};
    for (auto _ : state) {
        PaChart chart;
        chart.CgraphIniBtnClick(s.O2Lines.back(), true);
        chart.fillHorseList(kRunners);
        chart.RadioGroup1Click(0, odds, kRunners);
        benchmark::DoNotOptimize(chart.view().pairList.data());
    }
}
BENCHMARK(BM_ChartBuild300TimePoints)->Unit(benchmark::kMillisecond);

void BM_ParseOddsLines300(benchmark::State& state)
{
    const Series& s = series();
    for (auto _ : state) {
        for (int t = 0; t < kTimePoints; ++t) {
            OddsArrays arrays;
            fillOddsArrays(s.O1Lines[static_cast<size_t>(t)], s.O2Lines[static_cast<size_t>(t)],
                           true, arrays);
            benchmark::DoNotOptimize(arrays.UmarenOdds.data());
        }
    }
}
BENCHMARK(BM_ParseOddsLines300)->Unit(benchmark::kMillisecond);

} // namespace
