// The build the figures come from: an unoptimised build would mislead, so the
// benchmarks refuse to run in one, and the figures carry their build type.

#pragma once

#include <benchmark/benchmark.h>
#include <cstdio>

namespace bench {

inline bool optimisedBuildOrRefuse(const char* program)
{
#ifdef NDEBUG
    benchmark::AddCustomContext("sorvantix_build_type", SORVANTIX_BUILD_TYPE);
    (void)program;
    return true;
#else
    std::fprintf(stderr,
                 "%s: this build is not optimised (CMAKE_BUILD_TYPE=%s): its figures would "
                 "mislead. Build with -DCMAKE_BUILD_TYPE=Release, as bench/run does.\n",
                 program, SORVANTIX_BUILD_TYPE);
    return false;
#endif
}

} // namespace bench
