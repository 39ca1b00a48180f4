// A live day against fetching once: the generated Sunday (2026-11-29, seed 7, 36 races
// with odds series) lived from 08:45 to 17:00 through the Workbench's live following
// (every race refreshed to its post time, its new announcements checked for alerts,
// the results race by race), against fetching every race once after the day and
// checking all its announcements for alerts, in the same run. The figure is the
// process's CPU time (the request thread included); goal: the live day under 3 times
// the single fetch.

#include "core/app/app_dir.h"
#include "core/app/request_queue.h"
#include "core/app/study_settings.h"
#include "core/app/workbench.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/store/race_card_files.h"
#include "core/study/odds_alerts.h"
#include "core/study/race_archive.h"
#include "core/text/text_file.h"
#include "feed/feed_writer.h"
#include "feed_import.h"
#include "quiet_person.h"

#include <benchmark/benchmark.h>
#include <ctime>
#include <filesystem>
#include <unistd.h>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

constexpr LocalDateTime kDay{2026, 11, 29, 8, 45, 0};
constexpr LocalDateTime kAfter{2026, 11, 29, 17, 0, 0};

double processCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A fresh folder with the Sunday's feed and its race cards only.
AppDir freshDay(const fs::path& root)
{
    fs::remove_all(root);
    AppDir app(root);
    app.createFolders();
    test::importGeneratedSundayCards(root / "feed", root);
    return app;
}

struct Day
{
    SettableClock clock{kDay};
    ReplayJvLink link;
    bench::QuietPerson person;
    TaskInbox inbox;
    Workbench wb;

    explicit Day(const AppDir& app) : link(app.root()), wb(app, person, clock)
    {
        link.setClock(&clock);
        link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30");
        wb.connectJvLink(&link, inbox.poster());
        wb.MakeDataListBtnClick();
        wb.DateComboChange(0);
    }
    void settle()
    {
        inbox.runUntil([&] { return wb.pendingRequests() == 0; }, std::chrono::seconds(60));
    }
};

// The live day: every race followed to post through the Workbench, with a clock that
// moves 5 seconds a step (each request ends before it moves on).
void BM_LiveDayCpu(benchmark::State& state)
{
    const fs::path root =
        fs::temp_directory_path() / ("sorvantix-bench-live-" + std::to_string(::getpid()));
    int refreshes = 0, alerts = 0;
    for (auto _ : state) {
        const AppDir app = freshDay(root);
        Day d(app);
        d.wb.chooseLive(true);
        d.wb.AutoOzCheckClick(true);
        refreshes = alerts = 0;
        d.wb.addListener([&](Parts parts) {
            if (parts.has(Part::Alerts))
                alerts += static_cast<int>(d.wb.lastAlerts().size());
        });
        const double start = processCpuSeconds();
        for (LocalDateTime now = kDay; now < kAfter; now = now.addSeconds(5)) {
            d.clock.set(now);
            if (d.wb.liveTick())
                ++refreshes;
            d.settle();
        }
        state.SetIterationTime(processCpuSeconds() - start);
        if (!d.wb.liveSchedule().finished())
            state.SkipWithError("the live day did not finish");
    }
    fs::remove_all(root);
    state.counters["requests"] = refreshes;
    state.counters["alerts"] = alerts;
}
BENCHMARK(BM_LiveDayCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The same announcements fetched once after the day (each race's whole series, then the
// day's results) and every announcement checked for alerts against the one before.
void BM_OnceDayCpu(benchmark::State& state)
{
    const fs::path root =
        fs::temp_directory_path() / ("sorvantix-bench-once-" + std::to_string(::getpid()));
    for (auto _ : state) {
        const AppDir app = freshDay(root);
        Day d(app);
        d.clock.set(kAfter);
        const double start = processCpuSeconds();
        const ParamSet set = activeParamSet(d.wb.ini(), app.userSetFile());
        const AlertSettings settings = readAlertSettings(d.wb.ini());
        for (int i = 0; i < static_cast<int>(d.wb.state().DatList.size()); ++i) {
            d.wb.requestOdds(i);
            d.settle();
            const auto race = d.wb.raceOfItem(i);
            benchmark::DoNotOptimize(
                seriesAlerts(*race, RaceOddsSeries::read(*race), 1, set.params, settings));
        }
        d.wb.requestResults(true);
        d.settle();
        state.SetIterationTime(processCpuSeconds() - start);
    }
    fs::remove_all(root);
}
BENCHMARK(BM_OnceDayCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

} // namespace
