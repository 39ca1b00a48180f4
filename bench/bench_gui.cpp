// The desktop program offscreen on the generated demo Sunday (2026-11-29, seed 7):
// start to a shown main window with the day loaded (goal under 300 ms), and a race
// selection to a repainted window (goal under 16 ms, one frame). And the longest stall
// of the window's event loop while a year's backtest and an export of the demo weekend
// run on the request queue (goal under 100 ms), and while a live day runs at 600 times
// real speed with the board open (goal under 100 ms).

#include "bench_build.h"
#include "bench_stored_year.h"
#include "core/analysis/suisho_params.h"
#include "core/app/app_dir.h"
#include "core/app/workbench.h"
#include "core/store/race_card_files.h"
#include "core/study/backtest.h"
#include "core/text/text_file.h"
#include "export/sqlite_export.h"
#include "feed/feed_writer.h"
#include "feed_import.h"
#include "gui/main_form.h"
#include "gui/program.h"
#include "gui/task_progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

const fs::path& demoApp()
{
    static const fs::path dir = [] {
        fs::path d =
            fs::temp_directory_path() / ("sorvantix-gui-bench-" + std::to_string(::getpid()));
        fs::remove_all(d);
        AppDir app(d);
        app.createFolders();
        test::importGeneratedSunday(d / "feed", d);
        return d;
    }();
    return dir;
}

void BM_StartToShownWindowWithADay(benchmark::State& state)
{
    const fs::path& dir = demoApp();
    for (auto _ : state) {
        gui::Program program(dir.string());
        program.window().show();
        program.workbench().DateComboChange(0);
        program.window().repaint();
        QApplication::processEvents();
        benchmark::DoNotOptimize(program.workbench().state().DatListIndex);
    }
}
BENCHMARK(BM_StartToShownWindowWithADay)->Unit(benchmark::kMillisecond);

void BM_RaceSelectionToRepaint(benchmark::State& state)
{
    gui::Program program(demoApp().string());
    program.window().resize(1280, 800);
    program.window().show();
    program.workbench().DateComboChange(0);
    QApplication::processEvents();
    const int races = static_cast<int>(program.workbench().state().DatList.size());
    int i = 0;
    for (auto _ : state) {
        program.workbench().DatListClick(i++ % races);
        program.window().repaint();
    }
}
BENCHMARK(BM_RaceSelectionToRepaint)->Unit(benchmark::kMillisecond);

// The demo weekend (2026-12-05/06, seed 7), stored as the acquisitions store it.
const fs::path& demoWeekend()
{
    static const fs::path dir = [] {
        fs::path d =
            fs::temp_directory_path() / ("sorvantix-gui-weekend-" + std::to_string(::getpid()));
        fs::remove_all(d);
        AppDir app(d);
        app.createFolders();
        feed::FeedOptions options;
        options.from = feed::FeedDate{2026, 12, 5};
        options.to = feed::FeedDate{2026, 12, 6};
        options.seed = 7;
        feed::writeFeed(options, d / "feed");
        test::importFeed(d / "feed", d);
        return d;
    }();
    return dir;
}

// Runs a long task through the window's path (runLongTask: the queue, its progress
// dialog) and returns the longest gap, in milliseconds, between two turns of the event
// loop while it runs, as a 1 ms timer sees them.
double longestStall(gui::Program& program, const std::string& name,
                    AcquisitionRequests::TaskWork work)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    bool ended = false;
    tick.start();
    gui::runLongTask(&program.window(), program.workbench(), program.person(), name,
                     QString::fromStdString(name), std::move(work),
                     [&ended](RequestOutcome::End) { ended = true; });
    last = clock.nsecsElapsed();
    while (!ended)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tick.stop();
    return static_cast<double>(longest) / 1e6;
}

void BM_EventLoopStallDuringYearBacktest(benchmark::State& state)
{
    const fs::path& year = bench::storedYear().app;
    gui::Program program(year.string());
    program.window().resize(1280, 800);
    program.window().show();
    BacktestOptions options;
    options.decision.minutes = 10;
    options.sets.push_back({"既定値", analysisDefaultParams()});
    double worst = 0;
    size_t races = 0;
    for (auto _ : state) {
        auto report = std::make_shared<BacktestReport>();
        const double stall = longestStall(
            program, "検証", [&, report](Progress& progress, const std::atomic<bool>& cancel) {
                *report = runBacktest(
                    year, std::nullopt, std::nullopt, options,
                    [&progress](int d, int t) { progress.progress(d, t); }, &cancel);
            });
        // The figure is the stall itself, not the task's length.
        state.SetIterationTime(stall / 1000);
        worst = std::max(worst, stall);
        races = report->raceKeys.size();
    }
    if (races != static_cast<size_t>(bench::storedYear().races))
        state.SkipWithError("not every race was backtested");
    state.counters["longest_stall_ms"] = worst;
    state.counters["races"] = static_cast<double>(races);
}
BENCHMARK(BM_EventLoopStallDuringYearBacktest)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_EventLoopStallDuringWeekendExport(benchmark::State& state)
{
    const fs::path& weekend = demoWeekend();
    gui::Program program(weekend.string());
    program.window().resize(1280, 800);
    program.window().show();
    double worst = 0;
    for (auto _ : state) {
        const fs::path db = weekend / "bench.db";
        fs::remove(db);
        const double stall =
            longestStall(program, "SQLiteへ書き出し",
                         [&weekend, db](Progress& progress, const std::atomic<bool>& cancel) {
                             ExportOptions options;
                             options.params = analysisDefaultParams();
                             exportToSqlite(
                                 weekend, db, options,
                                 [&progress](int d, int t) { progress.progress(d, t); }, &cancel);
                         });
        state.SetIterationTime(stall / 1000);
        worst = std::max(worst, stall);
    }
    state.counters["longest_stall_ms"] = worst;
}
BENCHMARK(BM_EventLoopStallDuringWeekendExport)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// A clock that runs `speed` times as fast as real time from `start`.
class SpedClock : public Clock
{
public:
    SpedClock(LocalDateTime start, double speed) : m_start(start), m_speed(speed)
    {
        m_real.start();
    }
    LocalDateTime now() const override
    {
        return m_start.addSeconds(static_cast<long long>(m_real.elapsed() * m_speed / 1000));
    }

private:
    LocalDateTime m_start;
    double m_speed;
    QElapsedTimer m_real;
};

// The generated Sunday with its feed and its race cards only, as before the day.
fs::path liveSunday()
{
    fs::path d = fs::temp_directory_path() / ("sorvantix-gui-live-" + std::to_string(::getpid()));
    fs::remove_all(d);
    AppDir app(d);
    app.createFolders();
    test::importGeneratedSundayCards(d / "feed", d);
    return d;
}

void BM_EventLoopStallDuringLiveDay(benchmark::State& state)
{
    double worst = 0;
    int refreshes = 0;
    for (auto _ : state) {
        const fs::path dir = liveSunday();
        SpedClock clock({2026, 11, 29, 8, 45, 0}, 600);
        gui::Program program(dir.string(), &clock);
        program.window().resize(1280, 800);
        program.window().show();
        program.window().FormShow(); // JVInit
        Workbench& wb = program.workbench();
        wb.DateComboChange(0);
        wb.TimeChoiceClick(1); // 最新: the race shown follows its refreshes
        wb.DatListClick(static_cast<int>(wb.state().DatList.size()) - 1);
        program.window().BoardItemClick();
        wb.LiveCheckClick(true);
        wb.AutoOzCheckClick(true);
        // The window's own timer looks once a second; at 600 times speed every 10 ms.
        QTimer live;
        live.setInterval(10);
        QObject::connect(&live, &QTimer::timeout, [&] {
            if (wb.liveTick())
                ++refreshes;
        });
        QElapsedTimer real;
        real.start();
        qint64 last = real.nsecsElapsed(), longest = 0;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = real.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        live.start();
        tick.start();
        last = real.nsecsElapsed();
        while ((!wb.liveSchedule().finished() || wb.pendingRequests() > 0) &&
               real.elapsed() < 120000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        tick.stop();
        live.stop();
        if (!wb.liveSchedule().finished()) {
            std::fprintf(stderr, "%s / %s / pending %d\n", wb.liveStatusText().c_str(),
                         dateTimeText(clock.now()).c_str(), wb.pendingRequests());
            state.SkipWithError("the live day did not finish within two minutes");
        }
        const double stall = static_cast<double>(longest) / 1e6;
        state.SetIterationTime(stall / 1000);
        worst = std::max(worst, stall);
        fs::remove_all(dir);
    }
    state.counters["longest_stall_ms"] = worst;
    state.counters["refreshes"] = refreshes;
}
// A live day takes about a minute at this speed: one run, whatever --repetitions says.
BENCHMARK(BM_EventLoopStallDuringLiveDay)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(1);

} // namespace

int main(int argc, char** argv)
{
    if (!bench::optimisedBuildOrRefuse("sorvantix_gui_bench"))
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gui::setUpApplication();
    gui::MessageBoxSeam::activate(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(demoApp());
    fs::remove_all(demoWeekend());
    return 0;
}
