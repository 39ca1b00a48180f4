#include "core/text/cp932.h"
#include "core/text/field.h"

#include <benchmark/benchmark.h>

namespace {

void BM_FromCp932Field(benchmark::State& state)
{
    std::string record = sorvantix::toCp932("SE東京ダービー　　　　") + std::string(530, '0');
    for (auto _ : state)
        benchmark::DoNotOptimize(sorvantix::fieldText(record, 3, 24));
}
BENCHMARK(BM_FromCp932Field);

void BM_FieldInt(benchmark::State& state)
{
    std::string record(962, '1');
    for (auto _ : state)
        benchmark::DoNotOptimize(sorvantix::fieldInt(record, 46, 4));
}
BENCHMARK(BM_FieldInt);

} // namespace
