// Storing race cards: the batched writer against storing record by record, on records
// in the order JV-Link delivers stored data (one record type per file, each file
// covering every day).

#include "core/store/batched_card_writer.h"
#include "core/store/race_card_files.h"
#include "core/store/record_builder.h"
#include "core/text/format.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace sorvantix;

// Race days of a generated period: Saturdays and Sundays from the first day, three
// venues of twelve races, 10 to 18 runners.
std::vector<std::string> cardStream(int days)
{
    std::vector<std::string> ra, se, hr;
    const int venues[3] = {5, 8, 3};
    for (int d = 0; d < days; ++d) {
        // Two race days a week, counted as day numbers 1..28 of each month.
        const int week = d / 2;
        const int month = 1 + week / 4;
        const int day = 1 + (week % 4) * 7 + d % 2;
        const std::string date = format("2024%02d%02d", month, day);
        for (int v : venues) {
            for (int race = 1; race <= 12; ++race) {
                const std::string key =
                    date + format("%02d%02d%02d%02d", v, 1 + month / 2, 1 + d % 8, race);
                const int runners = 10 + (race * 7 + d) % 9;
                RecordBuilder r(RecordType::RA);
                r.setRaceKey(key).set("data_kind", "2").set("creation_date", date);
                r.set("registered", static_cast<long long>(runners)).set("post_time", "1540");
                ra.push_back(r.bytes());
                for (int h = 1; h <= runners; ++h) {
                    RecordBuilder s(RecordType::SE);
                    s.setRaceKey(key).set("data_kind", "2").set("creation_date", date);
                    s.set("horse_no", static_cast<long long>(h)).set("horse_name", "ベンチホース");
                    se.push_back(s.bytes());
                }
                RecordBuilder p(RecordType::HR);
                p.setRaceKey(key).set("data_kind", "2").set("creation_date", date);
                hr.push_back(p.bytes());
            }
        }
    }
    std::vector<std::string> all;
    for (auto* part : {&ra, &se, &hr})
        all.insert(all.end(), part->begin(), part->end());
    return all;
}

fs::path scratchDir()
{
    return fs::temp_directory_path() / ("sorvantix-bench-store-" + std::to_string(::getpid()));
}

void runStore(benchmark::State& state, bool batched)
{
    const auto records = cardStream(static_cast<int>(state.range(0)));
    const fs::path app = scratchDir();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(app);
        fs::create_directories(app / "Data");
        state.ResumeTiming();
        if (batched) {
            BatchedCardWriter writer(app, CardWriter::Bulk);
            for (const auto& rec : records)
                writer.store(rec);
            writer.flush();
        } else {
            for (const auto& rec : records)
                storeCardRecord(app, rec, CardWriter::Bulk);
        }
    }
    fs::remove_all(app);
    state.counters["records"] = static_cast<double>(records.size());
    state.counters["records/s"] = benchmark::Counter(
        static_cast<double>(records.size() * state.iterations()), benchmark::Counter::kIsRate);
}

void BM_StoreBatched(benchmark::State& state)
{
    runStore(state, true);
}
// A month (8 race days, 288 races) and a year (96 race days, 3,456 races).
BENCHMARK(BM_StoreBatched)
    ->Arg(8)
    ->Arg(96)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(1);

void BM_StoreRecordByRecord(benchmark::State& state)
{
    runStore(state, false);
}
BENCHMARK(BM_StoreRecordByRecord)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(1);

} // namespace
