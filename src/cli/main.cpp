// sorvantix-cli: the main window's operations without a window, for scripting.

#include "cli/acquisition_commands.h"
#include "cli/cli_output.h"
#include "cli/study_commands.h"
#include "cli/terminal.h"
#include "core/app/app_dir.h"
#include "core/app/operation_boundary.h"
#include "core/app/suisho_set_model.h"
#include "core/app/suisho_set_port.h"
#include "core/app/workbench.h"
#include "core/odds/odds_files.h"
#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/text/clock.h"
#include "core/text/day_name.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <CLI/CLI.hpp>
#include <iostream>

using namespace sorvantix;
using sorvantix::cli::TerminalPerson;
namespace fs = std::filesystem;

namespace {

// A day given as 2026年11月29日, 20261129 or 2026-11-29.
std::string dayText(const std::string& arg)
{
    if (auto d = DayName::fromArgument(arg))
        return d->text();
    throw Error("日付が不正です: " + arg);
}

void selectRace(Workbench& wb, TerminalPerson& person, const std::string& raceKey)
{
    auto key = RaceKey::tryParse(raceKey);
    if (!key)
        throw Error("レースキーが不正です: " + raceKey);
    cli::loadDay(wb, person, key->dayName().text());
    int index = wb.raceIndexOf(raceKey);
    if (index < 0)
        throw Error("レースがありません: " + raceKey);
    int before = person.informations;
    Outcome shown = wb.DatListClick(index);
    if (shown.failed()) {
        // A box has said it already; a notice in the title panel has not.
        throw Error(person.informations == before ? shown.message : std::string());
    }
}

void chooseTime(Workbench& wb, const std::string& timeKey)
{
    const auto& items = wb.state().TimeCombo;
    for (size_t i = 0; i < items.size(); ++i) {
        if (timeKeyOfItem(items[i]) == timeKey) {
            if (wb.TimeComboChange(static_cast<int>(i)).failed())
                throw AlreadyTold();
            return;
        }
    }
    throw Error("時刻がありません: " + timeKey);
}

void pressSort(Workbench& wb, const std::string& caption)
{
    SortButton button = sortButtonFromCaption(caption);
    if (button == SortButton::None)
        throw Error("ソートボタンがありません: " + caption);
    wb.SpeedButton1Click(button);
}

void printJson(const nlohmann::ordered_json& j)
{
    std::cout << j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"sorvantix-cli: analyse JRA race odds from the command line.\n"
                 "Works on the application folder of the desktop program (--app-dir)."};
    app.require_subcommand(1);
    std::string appDirOption;
    app.add_option("--app-dir", appDirOption,
                   "application folder (default $XDG_DATA_HOME/sorvantix or "
                   "~/.local/share/sorvantix)");

    auto* days = app.add_subcommand("days", "list the days with race cards, newest first");

    std::string dayArg;
    auto* races = app.add_subcommand(
        "races", "list the races of a day: item, TAB, post time, TAB, automatic acquisition time");
    races->add_option("DAY", dayArg, "day as 2026年11月29日, 20261129 or 2026-11-29")->required();
    bool keysOnly = false;
    races->add_flag("--keys", keysOnly, "print only the 16-digit race keys, one per line");

    std::string raceKey, timeKey, sortCaption, tab = "分析表";
    bool json = false;
    auto* analyse =
        app.add_subcommand("analyse", "select a race as the window does and print its analysis");
    analyse->add_option("RACEKEY", raceKey, "16-digit race key")->required();
    analyse->add_option("--time", timeKey, "time point MMDDhhmm instead of the default time");
    analyse->add_option("--sort", sortCaption,
                        "press a sort button by its caption: 馬番 単ｵｯｽﾞ 全体ｼｪｱ 1-3PA 全PA "
                        "PA≧1率 着順");
    analyse->add_flag("--json", json, "print one JSON object");

    auto* batch = app.add_subcommand(
        "batch", "analyse every race of a day at its default time point (recommended-horse files)");
    batch->add_option("DAY", dayArg, "day")->required();

    auto* params = app.add_subcommand("params", "recommendation parameter sets");
    params->require_subcommand(1);
    auto* paramsList = params->add_subcommand("list", "list the sets; * marks the active one");
    std::vector<std::string> addArgs;
    auto* paramsAdd = params->add_subcommand("add", "register a set: NAME V1 ... V16");
    paramsAdd->add_option("ARGS", addArgs, "name and 16 values")->required()->expected(17);
    int setIndex = 0;
    auto* paramsDelete = params->add_subcommand("delete", "delete set N");
    paramsDelete->add_option("N", setIndex, "set index (0 = 既定値)")->required();
    auto* paramsSelect = params->add_subcommand("select", "make set N the active one");
    paramsSelect->add_option("N", setIndex, "set index (0 = 既定値)")->required();

    auto* copy = app.add_subcommand("copy", "the clipboard text of a tab's grid");
    copy->add_option("RACEKEY", raceKey, "16-digit race key")->required();
    copy->add_option("--tab", tab, "tab caption: 分析表 オッズ 個別シェア PA比 PA比ソート")
        ->check(CLI::IsMember({"分析表", "オッズ", "個別シェア", "PA比", "PA比ソート"}));
    copy->add_option("--time", timeKey, "time point MMDDhhmm");

    bool ana = false;
    auto* hits = app.add_subcommand(
        "hits", "的中 over a day's races: prints the hit lines and the files written");
    hits->add_option("DAY", dayArg, "day")->required();
    hits->add_flag("--ana", ana,
                   "穴的中: only quinella payouts above 5000 yen and wide payouts above 3000 yen");

    std::string yearArg, fileArg;
    auto* suisho = app.add_subcommand(
        "suisho", "the recommended-horse table of a day and venue (the newest file by default)");
    suisho->add_option("--year", yearArg, "year as 2005年 or 2005 (its newest file)");
    suisho->add_option("--file", fileArg, "file name without .sei, as 2005年01月05日中山");
    suisho->add_flag("--json", json, "print the grid texts and cell colours as JSON");

    int horseArg = 0;
    auto* chart = app.add_subcommand(
        "chart", "select a race as the window does and print its PA ratio chart");
    chart->add_option("RACEKEY", raceKey, "16-digit race key")->required();
    chart->add_option("--horse", horseArg, "chart this horse number instead of the first item")
        ->check(CLI::Range(1, 18));
    chart->add_option("--time", timeKey, "time point MMDDhhmm of the analysis shown beside it");
    chart->add_flag("--json", json, "print one JSON object");

    auto* printLayout =
        app.add_subcommand("print-layout", "the printed report of a race as a display list");
    printLayout->add_option("RACEKEY", raceKey, "16-digit race key")->required();
    printLayout->add_option("--time", timeKey, "time point MMDDhhmm");
    printLayout->add_flag("--json", json, "print the display list as JSON")->required();

    cli::AcquisitionCommands acquisition;
    cli::addAcquisitionCommands(app, acquisition);
    cli::StudyCommands study;
    cli::addStudyCommands(app, study);

    CLI11_PARSE(app, argc, argv);

    TerminalPerson person;
    int code = 0;
    const Outcome outcome = runGuarded(person, "sorvantix-cli", [&] {
        // An empty folder name would quietly mean the default folder.
        if (app.count("--app-dir") > 0 && appDirOption.empty())
            throw Error("--app-dir: 空のフォルダ名は使えません");
        AppDir appDir(resolveAppDir(
            app.count("--app-dir") == 0 ? std::nullopt : std::optional<std::string>(appDirOption)));
        // Only the commands that set a folder up create it: a mistyped --app-dir must not
        // become a new application folder.
        const bool setsUp = acquisition.jvlink->parsed() || acquisition.fetchCards->parsed();
        std::error_code ec;
        if (!setsUp && !fs::is_directory(appDir.root(), ec))
            throw Error("アプリケーションフォルダがありません: " + appDir.root().string() +
                        "\n(sorvantix-cli jvlink か fetch-cards で作成します。--app-dir "
                        "を確かめてください)");
        if (setsUp || fs::exists(appDir.dataDir(), ec))
            appDir.createFolders();
        // One writer at a time on the folder; a wait is said on standard error.
        installWriteLock(appDir.root(), kDefaultWriteLockWait,
                         [](const std::string& message) { std::cerr << message << "\n"; });
        SystemClock clock;
        TaskInbox inbox; // before the Workbench: it outlives the queue
        Workbench wb(appDir, person, clock);
        cli::showStatus(wb, person);

        if (acquisition.chosen()) {
            code = cli::runAcquisitionCommand(acquisition, appDir, person, clock);
            return;
        }
        if (study.chosen()) {
            // The long tasks run on the queue, as in the window.
            wb.connectJvLink(nullptr, inbox.poster());
            code = cli::runStudyCommand(study, appDir, wb, inbox);
            return;
        }
        if (*days) {
            wb.MakeDataListBtnClick();
            for (const auto& d : wb.state().DateCombo)
                std::cout << d << "\n";
        } else if (*races) {
            cli::loadDay(wb, person, dayText(dayArg));
            for (const auto& row : wb.raceListRows()) {
                if (keysOnly)
                    std::cout << row.raceKey << "\n";
                else
                    std::cout << withoutControls(row.text) << "\t" << row.postTime << "\t"
                              << row.autoTime << "\n";
            }
        } else if (*analyse || *copy) {
            selectRace(wb, person, raceKey);
            if (!timeKey.empty())
                chooseTime(wb, timeKey);
            if (!sortCaption.empty())
                pressSort(wb, sortCaption);
            if (*copy)
                std::cout << withoutControls(wb.ClipBtn1Click(tab));
            else if (json)
                printJson(cli::analysisJson(wb));
            else
                std::cout << withoutControls(cli::analysisText(wb));
        } else if (*batch) {
            std::string day = dayText(dayArg);
            cli::loadDay(wb, person, day);
            Outcome analysed = wb.M1Click();
            int notAnalysed = 0;
            for (const auto& row : wb.batchRows()) {
                if (!row.analysed) {
                    ++notAnalysed;
                    std::cout << withoutControls(row.text) << "\t分析できません\n";
                    continue;
                }
                std::cout << withoutControls(row.text) << "\t★" << markListText(row.marks.suisho)
                          << "\t☆" << markListText(row.marks.tokusho) << "\n";
            }
            if (analysed.failed())
                throw Error(analysed.message);
            // A race left out is a failure of the batch, though the others stand.
            if (notAnalysed > 0)
                throw Error(std::to_string(notAnalysed) + "レースを分析できませんでした");
        } else if (*hits) {
            cli::loadDay(wb, person, dayText(dayArg));
            Outcome outcome =
                wb.TekiAnaBtnClick(ana ? TekiButton::TekiAnaBtn2 : TekiButton::TekiAnaBtn);
            const HitRun& run = wb.lastHitRun();
            for (const auto& line : run.lines)
                std::cout << withoutControls(line) << "\n";
            if (outcome.failed())
                throw AlreadyTold();
            if (run.written) {
                if (run.pageReplaced)
                    std::cout << "置き換え: " << run.pageFile.filename().string() << "\n";
                std::cout << "書き出し: " << run.pageFile.string() << "\n"
                          << "追記: " << run.logFile.string() << "\n";
            } else {
                std::cout << outcome.message << "\n";
            }
            if (run.skippedRaces > 0)
                std::cerr << run.skippedRaces
                          << "レースを分析できませんでした（的中なしとして扱いました）\n";
        } else if (*suisho) {
            SuishoTableModel model(appDir.suishoDir());
            if (!model.open())
                throw Error(kNoSuishoDataMessage);
            std::string year = yearArg;
            if (!fileArg.empty() && year.empty()) {
                // The year is the file name's first five characters, "yyyy年".
                const std::string_view head = std::string_view(fileArg).substr(0, 7);
                if (head.size() != 7 || !isDigits(head.substr(0, 4)) || head.substr(4) != "年")
                    throw Error("推奨馬ファイルがありません: " + fileArg);
                year = std::string(head);
            }
            if (!year.empty()) {
                if (year.find("年") == std::string::npos)
                    year += "年";
                const auto& years = model.years();
                auto it = std::find(years.begin(), years.end(), year);
                if (it == years.end())
                    throw Error("推奨馬ファイルのない年です: " + year);
                model.ComboBox1Click(static_cast<int>(it - years.begin()));
            }
            if (!fileArg.empty()) {
                const auto& files = model.files();
                auto it = std::find(files.begin(), files.end(), fileArg);
                if (it == files.end())
                    throw Error("推奨馬ファイルがありません: " + fileArg);
                model.ListBox1Click(static_cast<int>(it - files.begin()));
            }
            for (const auto& warning : model.warnings())
                std::cerr << warning << "\n";
            if (json)
                printJson(cli::suishoTableJson(model));
            else
                std::cout << withoutControls(suishoTableText(model));
        } else if (*chart) {
            selectRace(wb, person, raceKey);
            if (!timeKey.empty())
                chooseTime(wb, timeKey);
            if (horseArg > 0) {
                const auto& items = wb.state().chart.view().RadioGroup1;
                auto it = std::find(items.begin(), items.end(), format("%2d番", horseArg));
                if (it == items.end())
                    throw Error(format("馬番%dは馬番リストにありません", horseArg));
                if (wb.RadioGroup1Click(static_cast<int>(it - items.begin())).failed())
                    throw AlreadyTold();
            }
            if (json)
                printJson(cli::chartJson(wb.state().chart.view()));
            else
                std::cout << withoutControls(cli::chartText(wb.state().chart.view()));
        } else if (*printLayout) {
            selectRace(wb, person, raceKey);
            if (!timeKey.empty())
                chooseTime(wb, timeKey);
            PrintPage page;
            if (wb.P1Click(page).failed())
                throw AlreadyTold();
            printJson(cli::pageJson(page));
        } else if (*params) {
            // Opening only looks: the window's automatic selection, which writes "SetID",
            // must not change the settings file before a command is known to change it.
            struct ListingPort : PersonSuishoSetPort
            {
                using PersonSuishoSetPort::PersonSuishoSetPort;
                bool readOnly = true;
                void writeSetId(int setId) override
                {
                    if (!readOnly)
                        PersonSuishoSetPort::writeSetId(setId);
                }
            } port(person, wb.ini());
            // No race is selected here: the integer boxes are capped at a full field of 18.
            SuishoSetModel model(port, appDir.userSetFile(), 18);
            model.open();
            if (*paramsList) {
                const auto& list = model.setList();
                for (size_t i = 0; i < list.size(); ++i)
                    std::cout << (static_cast<int>(i) == model.selectedIndex() ? "*" : " ") << i
                              << "\t" << list[i] << "\n";
            } else if (*paramsAdd) {
                port.readOnly = false;
                const auto& fields = suishoFields();
                for (size_t i = 0; i < fields.size(); ++i)
                    model.setBox(fields[i].box, addArgs[i + 1]);
                model.setNameText(addArgs[0]);
                size_t before = model.lines().size();
                model.registerSet();
                if (model.lines().size() == before)
                    throw AlreadyTold();
            } else if ((*paramsDelete || *paramsSelect) &&
                       (setIndex < 0 || static_cast<size_t>(setIndex) >= model.setList().size())) {
                // A refused choice changes nothing: select() would fall back to the default.
                throw Error(format("推奨馬設定%dはありません (0-%zu)", setIndex,
                                   model.setList().size() - 1));
            } else if (*paramsDelete) {
                port.readOnly = false;
                model.select(setIndex);
                if (model.selectedIndex() != setIndex)
                    throw AlreadyTold();
                size_t before = model.lines().size();
                model.deleteSet();
                if (model.lines().size() == before)
                    throw AlreadyTold();
            } else if (*paramsSelect) {
                port.readOnly = false;
                model.select(setIndex);
                if (model.selectedIndex() != setIndex)
                    throw AlreadyTold();
            }
        }
    });
    return outcome.failed() ? 1 : code;
}
