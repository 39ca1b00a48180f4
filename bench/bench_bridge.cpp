// The real bridge under Wine, hosting the stand-in JV-Link object over a generated year
// of race cards, against the replay reading the same feed in-process, in the same run;
// and the bridge's start, cold (no wineserver running) and with one running. bench/run
// prepares the prefix and sets SORVANTIX_BENCH_WINE_PREFIX, SORVANTIX_BENCH_BRIDGE and
// SORVANTIX_BENCH_BRIDGE_FEED; without them these benchmarks are skipped.

#include "core/jvlink/bridge_jv_link.h"
#include "core/jvlink/child_process.h"
#include "core/jvlink/replay_jv_link.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace sorvantix;

const std::string kSid = "SA730519/SD815207/Sorvantix/Ver.1.30";

struct BridgeBench
{
    const char* prefix = std::getenv("SORVANTIX_BENCH_WINE_PREFIX");
    const char* bridge = std::getenv("SORVANTIX_BENCH_BRIDGE");
    const char* feed = std::getenv("SORVANTIX_BENCH_BRIDGE_FEED");

    bool ready(benchmark::State& state) const
    {
        if (prefix && bridge && feed)
            return true;
        state.SkipWithError("no Wine prefix with the stand-in JV-Link (bench/run prepares one)");
        return false;
    }
    BridgeSettings settings() const
    {
        BridgeSettings s;
        s.bridge = bridge;
        s.winePrefix = prefix;
        return s;
    }
    void killWineServer() const
    {
        ChildProcess killer({"wineserver", "-k"}, {std::string("WINEPREFIX=") + prefix});
        while (!killer.exited())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
};

// Every record of the RACE data from the start, as the set-up import reads it.
long readYear(JvLink& link, benchmark::State& state)
{
    int reads = 0, downloads = 0;
    std::string stamp;
    if (link.JVOpen("RACE", "20000101000000", 3, reads, downloads, stamp) != 0) {
        state.SkipWithError("JVOpen failed");
        return 0;
    }
    for (int s = 0; s >= 0 && s < downloads;)
        s = link.JVStatus();
    long records = 0;
    for (;;) {
        std::string buffer, name;
        int size = jv::kReadBufferSize;
        const int rc = link.JVRead(buffer, size, name);
        if (rc > 0)
            ++records;
        else if (rc == 0)
            break;
        else if (rc < jv::kReadDownloading) {
            state.SkipWithError("JVRead failed");
            break;
        }
    }
    link.JVClose();
    return records;
}

void BM_BridgeReadYear(benchmark::State& state)
{
    const BridgeBench b;
    if (!b.ready(state))
        return;
    BridgeJvLink link(b.settings());
    if (link.JVInit(kSid) != 0) {
        state.SkipWithError(link.lastProblem().c_str());
        return;
    }
    long records = 0;
    for (auto _ : state)
        records = readYear(link, state);
    state.counters["records"] = static_cast<double>(records);
    state.counters["records_per_s"] =
        benchmark::Counter(static_cast<double>(records) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BridgeReadYear)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_ReplayReadYear(benchmark::State& state)
{
    const BridgeBench b;
    if (!b.ready(state))
        return;
    const fs::path app =
        fs::temp_directory_path() / ("sorvantix-bench-replay-" + std::to_string(::getpid()));
    fs::remove_all(app);
    fs::create_directories(app);
    ReplayJvLink link(ReplayJvLinkFolders{app / "jvlink.ini", app / "jvcache", b.feed});
    link.JVInit(kSid);
    long records = 0;
    for (auto _ : state)
        records = readYear(link, state);
    state.counters["records"] = static_cast<double>(records);
    fs::remove_all(app);
}
BENCHMARK(BM_ReplayReadYear)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_BridgeStartCold(benchmark::State& state)
{
    const BridgeBench b;
    if (!b.ready(state))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        b.killWineServer();
        BridgeJvLink link(b.settings());
        state.ResumeTiming();
        if (link.version().empty())
            state.SkipWithError(link.lastProblem().c_str());
        state.PauseTiming();
        link.stop();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BridgeStartCold)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_BridgeStartWarm(benchmark::State& state)
{
    const BridgeBench b;
    if (!b.ready(state))
        return;
    // One bridge keeps the prefix's wineserver running meanwhile.
    BridgeJvLink keeper(b.settings());
    keeper.version();
    for (auto _ : state) {
        BridgeJvLink link(b.settings());
        if (link.version().empty())
            state.SkipWithError(link.lastProblem().c_str());
        state.PauseTiming();
        link.stop();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BridgeStartWarm)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace
