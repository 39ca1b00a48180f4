// The desktop program offscreen on the generated demo Sunday (2026-11-29, seed 7):
// start to a shown main window with the day loaded (goal under 300 ms), and a race
// selection to a repainted window (goal under 16 ms, one frame).

#include "bench_build.h"
#include "core/app/app_dir.h"
#include "feed/feed_writer.h"
#include "feed_import.h"
#include "gui/program.h"

#include <QApplication>
#include <QListWidget>
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
    return 0;
}
