#include "bench_build.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    if (!bench::optimisedBuildOrRefuse("sorvantix_bench"))
        return 2;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
