// The Workbench over the generated demo Sunday (2026-11-29, seed 7, 36 races with odds
// series): the batch of the day against loading those races' odds files, and loading
// the day with its day list built among ten years of day files against listing the
// folder.

#include "core/app/app_dir.h"
#include "core/app/workbench.h"
#include "core/odds/odds_files.h"
#include "core/store/race_card_files.h"
#include "core/text/clock.h"
#include "core/text/text_file.h"
#include "feed_import.h"
#include "quiet_person.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

struct Sunday
{
    fs::path root =
        fs::temp_directory_path() / ("sorvantix-bench-workbench-" + std::to_string(::getpid()));
    AppDir app{root / "app"};
    std::vector<std::string> raceKeys;

    Sunday()
    {
        fs::remove_all(root);
        app.createFolders();
        test::importGeneratedSunday(root / "feed", app.root());
        const auto lines = readLinesRaw(raFilePath(app.root(), DayName{2026, 11, 29}));
        for (const auto& line : lines)
            raceKeys.push_back(RecordView(line).raceKeyText());
    }
    ~Sunday() { fs::remove_all(root); }
};

Sunday& sunday()
{
    static Sunday s;
    return s;
}

void BM_Batch36Races(benchmark::State& state)
{
    Sunday& s = sunday();
    bench::QuietPerson person;
    SettableClock clock{{2026, 11, 30, 9, 0, 0}};
    Workbench wb(s.app, person, clock);
    wb.MakeDataListBtnClick();
    wb.DateComboChange(0);
    for (auto _ : state) {
        if (wb.M1Click().failed()) {
            state.SkipWithError("the batch failed");
            return;
        }
    }
    state.counters["races"] = static_cast<double>(wb.state().DatList.size());
}
BENCHMARK(BM_Batch36Races)->Unit(benchmark::kMillisecond);

// Reading every race's stored O1 and O2 series, as the race selection reads them.
void BM_LoadOddsFiles36Races(benchmark::State& state)
{
    Sunday& s = sunday();
    size_t lines = 0;
    for (auto _ : state) {
        lines = 0;
        for (const auto& key : s.raceKeys) {
            lines +=
                readOddsLines(oddsFilePath(s.app.root(), key, kO1Extension), kO1RecordSize).size();
            lines +=
                readOddsLines(oddsFilePath(s.app.root(), key, kO2Extension), kO2RecordSize).size();
        }
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_LoadOddsFiles36Races)->Unit(benchmark::kMillisecond);

// Ten years of race days before the Sunday (Saturdays and Sundays, three venues): each
// with its RA, HR and SE file names and its odds folder. Only the Sunday has content;
// the day list reads names.
struct TenYears
{
    fs::path root =
        fs::temp_directory_path() / ("sorvantix-bench-tenyears-" + std::to_string(::getpid()));
    AppDir app{root / "app"};
    size_t entries = 0;

    TenYears()
    {
        fs::remove_all(root);
        fs::create_directories(app.root());
        fs::copy(sunday().app.dataDir(), app.dataDir(), fs::copy_options::recursive);
        const fs::path data = app.dataDir();
        for (int year = 2016; year <= 2025; ++year)
            for (int month = 1; month <= 12; ++month)
                for (int day : {6, 7, 13, 14, 20, 21, 27, 28}) {
                    const DayName name{year, month, day};
                    for (const auto& path :
                         {raFilePath(app.root(), name), hrFilePath(app.root(), name),
                          seFilePath(app.root(), name, "05"), seFilePath(app.root(), name, "06"),
                          seFilePath(app.root(), name, "09")})
                        std::ofstream(path).put(' ');
                    fs::create_directories(data / name.digits());
                }
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(data))
            ++entries;
    }
    ~TenYears() { fs::remove_all(root); }
};

TenYears& tenYears()
{
    static TenYears years;
    return years;
}

void BM_DayListAndLoadTenYears(benchmark::State& state)
{
    TenYears& years = tenYears();
    bench::QuietPerson person;
    SettableClock clock{{2026, 11, 30, 9, 0, 0}};
    Workbench wb(years.app, person, clock);
    for (auto _ : state) {
        wb.MakeDataListBtnClick();
        if (wb.DateComboChange(0).failed()) {
            state.SkipWithError("the day did not load");
            return;
        }
    }
    state.counters["days"] = static_cast<double>(wb.state().DateCombo.size());
    state.counters["entries"] = static_cast<double>(years.entries);
}
BENCHMARK(BM_DayListAndLoadTenYears)->Unit(benchmark::kMillisecond);

void BM_ListDataFolderTenYears(benchmark::State& state)
{
    TenYears& years = tenYears();
    std::vector<std::string> names;
    for (auto _ : state) {
        names.clear();
        for (const auto& entry : fs::directory_iterator(years.app.dataDir()))
            names.push_back(entry.path().filename().string());
        benchmark::DoNotOptimize(names.data());
    }
    state.counters["entries"] = static_cast<double>(names.size());
}
BENCHMARK(BM_ListDataFolderTenYears)->Unit(benchmark::kMillisecond);

} // namespace
