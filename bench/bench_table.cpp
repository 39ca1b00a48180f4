// Prints the benchmark table of bench/run from Google Benchmark's JSON files: each
// figure, and where a reference is named the ratio to it measured in the same run,
// against its goal. Of repeated benchmarks it takes the fastest repetition. Refuses
// figures that do not come from an optimised build.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

struct Figure
{
    double ms = 0; // wall time per iteration, the fastest repetition
    int repetitions = 0;
};

// Goals: a ratio at most (or, for a speed-up, at least) `bound`, or a figure under
// `limitMs`.
struct Row
{
    const char* what;
    const char* name;
    const char* reference; // nullptr: a figure without a reference
    enum class Goal { RatioAtMost, SpeedUpAtLeast, FigureUnder } goal;
    double bound;
    double limitMs = 0; // with RatioAtMost: also under this figure (0 = none)
};

const std::vector<Row>& rows()
{
    static const std::vector<Row> r = {
        {"Bulk import of a year (3,576 races) against writing its files durably",
         "BM_BulkImportYear", "BM_BulkImportYearDurableWrite", Row::Goal::RatioAtMost, 2},
        {"The same import against writing its files plainly (no flush)", "BM_BulkImportYear",
         "BM_BulkImportYearPlainWrite", Row::Goal::RatioAtMost, 3},
        {"The same import against storing record by record", "BM_BulkImportYear",
         "BM_BulkImportYearRecordByRecord", Row::Goal::SpeedUpAtLeast, 50},
        {"A year of race cards (about 110,000 records) through the bridge under Wine, "
         "against the replay in-process (goal: 10,000 records/s)",
         "BM_BridgeReadYear", "BM_ReplayReadYear", Row::Goal::RatioAtMost, 1000, 11000},
        {"Bridge start under Wine, cold (no wineserver)", "BM_BridgeStartCold", nullptr,
         Row::Goal::FigureUnder, 0, 2000},
        {"Bridge start under Wine, wineserver running", "BM_BridgeStartWarm", nullptr,
         Row::Goal::FigureUnder, 0, 300},
        {"Analysis run of one time point", "BM_AnalysisRun", "BM_ParseTimePoint",
         Row::Goal::RatioAtMost, 10, 0.050},
        {"Batch of a 36-race day", "BM_Batch36Races", "BM_LoadOddsFiles36Races",
         Row::Goal::RatioAtMost, 3},
        {"PA-ratio chart of 300 time points", "BM_ChartBuild300TimePoints", "BM_ParseOddsLines300",
         Row::Goal::RatioAtMost, 3},
        {"Day list and day among ten years of day files", "BM_DayListAndLoadTenYears",
         "BM_ListDataFolderTenYears", Row::Goal::RatioAtMost, 3},
        {"Backtest of a year (3,456 races) at one decision time", "BM_BacktestYear",
         "BM_AnalysisComputationYear", Row::Goal::FigureUnder, 0, 2000},
        {"Race-day board of a 36-race day", "BM_RaceBoard36Races", "BM_LoadOddsFiles36Races",
         Row::Goal::FigureUnder, 0, 50},
        {"Window: start to a shown main window with a day", "BM_StartToShownWindowWithADay",
         nullptr, Row::Goal::FigureUnder, 0, 300},
        {"Window: race selection to a repainted window", "BM_RaceSelectionToRepaint", nullptr,
         Row::Goal::FigureUnder, 0, 16},
        {"Window: longest event-loop stall during a year's backtest on the queue",
         "BM_EventLoopStallDuringYearBacktest", nullptr, Row::Goal::FigureUnder, 0, 100},
        {"Window: longest event-loop stall during an export of the demo weekend",
         "BM_EventLoopStallDuringWeekendExport", nullptr, Row::Goal::FigureUnder, 0, 100},
        {"A live day (36 races followed to post, process CPU) against fetching and checking "
         "the same announcements once",
         "BM_LiveDayCpu", "BM_OnceDayCpu", Row::Goal::RatioAtMost, 3},
        {"Window: longest event-loop stall during a live day at 600 times speed, board open",
         "BM_EventLoopStallDuringLiveDay", nullptr, Row::Goal::FigureUnder, 0, 100},
    };
    return r;
}

double toMs(double value, const std::string& unit)
{
    if (unit == "ns")
        return value / 1e6;
    if (unit == "us")
        return value / 1e3;
    if (unit == "s")
        return value * 1e3;
    return value;
}

std::string figureText(double ms)
{
    char text[32];
    if (ms < 1)
        std::snprintf(text, sizeof text, "%.1f µs", ms * 1e3);
    else if (ms < 1000)
        std::snprintf(text, sizeof text, "%.1f ms", ms);
    else
        std::snprintf(text, sizeof text, "%.2f s", ms / 1e3);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: sorvantix_bench_table RESULT.json ...\n");
        return 2;
    }
    std::map<std::string, Figure> figures;
    std::string date, machine;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i]);
        json doc;
        try {
            doc = json::parse(in);
        } catch (const json::exception& e) {
            std::fprintf(stderr, "%s: not a benchmark result: %s\n", argv[i], e.what());
            return 2;
        }
        const json& context = doc.value("context", json::object());
        const std::string build = context.value("sorvantix_build_type", "");
        if (build.empty() || build == "Debug") {
            std::fprintf(stderr,
                         "%s: figures of an unoptimised build (%s); not printed. Build with "
                         "-DCMAKE_BUILD_TYPE=Release.\n",
                         argv[i], build.empty() ? "unknown" : build.c_str());
            return 2;
        }
        date = context.value("date", date);
        machine = context.value("host_name", std::string("?")) + ", " +
                  std::to_string(context.value("num_cpus", 0)) + " CPUs at " +
                  std::to_string(context.value("mhz_per_cpu", 0)) + " MHz, " + build;
        for (const json& b : doc.value("benchmarks", json::array())) {
            if (b.value("run_type", "iteration") != "iteration")
                continue;
            std::string name = b.value("run_name", b.value("name", ""));
            name = name.substr(0, name.find('/'));
            // The fastest repetition: this machine's neighbours slow single runs by up to
            // a third, never speed them up.
            Figure& f = figures[name];
            const double ms = toMs(b.value("real_time", 0.0), b.value("time_unit", "ns"));
            f.ms = f.repetitions == 0 ? ms : std::min(f.ms, ms);
            ++f.repetitions;
        }
    }

    std::printf("Run of %s on %s\n\n", date.c_str(), machine.c_str());
    std::printf("| Benchmark | Figure | Reference in the same run | Ratio | Goal | Met |\n");
    std::printf("|---|---|---|---|---|---|\n");
    int missed = 0;
    for (const Row& row : rows()) {
        auto it = figures.find(row.name);
        if (it == figures.end()) {
            std::printf("| %s | (not run) | | | | |\n", row.what);
            continue;
        }
        const double ms = it->second.ms;
        std::string reference = "—", ratio = "—", goal;
        bool met = true;
        if (row.reference) {
            auto ref = figures.find(row.reference);
            if (ref == figures.end() || ref->second.ms <= 0) {
                std::printf("| %s | %s | (%s not run) | | | |\n", row.what, figureText(ms).c_str(),
                            row.reference);
                continue;
            }
            const double r =
                row.goal == Row::Goal::SpeedUpAtLeast ? ref->second.ms / ms : ms / ref->second.ms;
            char text[64];
            std::snprintf(text, sizeof text, "%.1f×%s", r,
                          row.goal == Row::Goal::SpeedUpAtLeast ? " faster" : "");
            ratio = text;
            reference = std::string(row.reference) + " " + figureText(ref->second.ms);
            if (row.goal == Row::Goal::FigureUnder) {
                // The reference says where the time goes; the goal is the figure.
                met = ms < row.limitMs;
                std::snprintf(text, sizeof text, "< %s", figureText(row.limitMs).c_str());
            } else if (row.goal == Row::Goal::SpeedUpAtLeast) {
                met = r >= row.bound;
                std::snprintf(text, sizeof text, "≥ %g× faster", row.bound);
            } else {
                met = r <= row.bound && (row.limitMs == 0 || ms < row.limitMs);
                if (row.limitMs > 0)
                    std::snprintf(text, sizeof text, "≤ %g×, < %s", row.bound,
                                  figureText(row.limitMs).c_str());
                else
                    std::snprintf(text, sizeof text, "≤ %g×", row.bound);
            }
            goal = text;
        } else {
            met = ms < row.limitMs;
            goal = "< " + figureText(row.limitMs);
        }
        missed += met ? 0 : 1;
        std::printf("| %s | %s | %s | %s | %s | %s |\n", row.what, figureText(ms).c_str(),
                    reference.c_str(), ratio.c_str(), goal.c_str(), met ? "yes" : "**no**");
    }
    std::printf("\n%s\n",
                missed == 0 ? "Every goal met." : "Goals missed: see the rows marked no.");
    return 0;
}
