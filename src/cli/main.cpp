// sorvantix-cli: the main window's operations without a window, for scripting.

#include "cli/acquisition_commands.h"
#include "cli/cli_output.h"
#include "core/app/app_dir.h"
#include "core/text/clock.h"
#include "core/app/suisho_set_port.h"
#include "core/app/workbench.h"
#include "core/odds/odds_files.h"
#include "core/app/suisho_set_model.h"
#include "core/store/racing_codes.h"
#include "core/text/day_name.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/text_file.h"

#include <CLI/CLI.hpp>
#include <iostream>

using namespace sorvantix;

namespace {

// The terminal as the person: messages go to standard error, questions are answered
// Yes (the command line is the confirmation). While quiet, messages are kept back:
// loading a day also selects its first race, whose notices are not what was asked.
class TerminalPerson : public Person
{
public:
    void beep() override {}
    void information(const std::string& text) override
    {
        ++informations;
        if (!quiet)
            std::cerr << text << "\n";
    }
    bool question(const std::string& text) override
    {
        std::cerr << text << " -> はい\n";
        return true;
    }
    void status(const std::string& text) override
    {
        if (!quiet)
            std::cerr << text << "\n";
    }

    bool quiet = false;
    int informations = 0;
};

struct Failure
{
    std::string message;
};

// A day given as 2026年11月29日, 20261129 or 2026-11-29.
std::string dayText(const std::string& arg)
{
    if (auto d = DayName::parse(arg))
        return d->text();
    std::string digits;
    for (char c : arg)
        if (c != '-' && c != '/')
            digits += c;
    if (auto d = DayName::fromDigits(digits); d && d->month >= 1 && d->month <= 12 &&
                                              d->day >= 1 && d->day <= 31)
        return d->text();
    throw Failure{"日付が不正です: " + arg};
}

void loadDay(Workbench& wb, TerminalPerson& person, const std::string& day)
{
    person.quiet = true;
    wb.MakeDataListBtnClick();
    bool found = wb.selectDay(day);
    person.quiet = false;
    if (!found)
        throw Failure{"データがありません: " + day};
    for (const auto& warning : wb.state().dayWarnings)
        std::cerr << warning << "\n";
}

void selectRace(Workbench& wb, TerminalPerson& person, const std::string& raceKey)
{
    if (raceKey.size() != 16 || raceKey.find_first_not_of("0123456789") != std::string::npos)
        throw Failure{"レースキーが不正です: " + raceKey};
    loadDay(wb, person, DayName::fromDigits(raceKey.substr(0, 8))->text());
    int index = wb.raceIndexOf(raceKey);
    if (index < 0)
        throw Failure{"レースがありません: " + raceKey};
    int before = person.informations;
    wb.DatListClick(index);
    if (!wb.state().Panel3Visible) {
        if (person.informations == before && !wb.state().Panel1Caption.empty())
            std::cerr << wb.state().Panel1Caption << "\n";
        throw Failure{};
    }
}

void chooseTime(Workbench& wb, const std::string& timeKey)
{
    const auto& items = wb.state().TimeCombo;
    for (size_t i = 0; i < items.size(); ++i) {
        if (timeKeyOfItem(items[i]) == timeKey) {
            wb.TimeComboChange(static_cast<int>(i));
            if (!wb.state().Panel3Visible)
                throw Failure{};
            return;
        }
    }
    throw Failure{"時刻がありません: " + timeKey};
}

void pressSort(Workbench& wb, const std::string& caption)
{
    SortButton button = sortButtonFromCaption(caption);
    if (button == SortButton::None)
        throw Failure{"ソートボタンがありません: " + caption};
    wb.SpeedButton1Click(button);
}

std::string hhmm(std::string_view text)
{
    if (text.size() < 4 || trimmed(text).empty())
        return "";
    return std::string(text.substr(0, 2)) + ":" + std::string(text.substr(2, 2));
}

// "推奨馬" groups of the recommended-horse file ("%2d%2d" each) as " 3(1) 9(5)".
std::string markList(std::string_view groups)
{
    std::string out;
    for (size_t i = 0; i + 4 <= groups.size(); i += 4)
        out += " " + std::string(trimmed(groups.substr(i, 2))) + "(" +
               std::string(trimmed(groups.substr(i + 2, 2))) + ")";
    return out;
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
    auto* analyse = app.add_subcommand(
        "analyse", "select a race as the window does and print its analysis");
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
    copy->add_option("--tab", tab, "tab caption: 分析表 オッズ 個別シェア PA比 PA比ソート");
    copy->add_option("--time", timeKey, "time point MMDDhhmm");

    cli::AcquisitionCommands acquisition;
    cli::addAcquisitionCommands(app, acquisition);

    CLI11_PARSE(app, argc, argv);

    try {
        AppDir appDir(resolveAppDir(appDirOption.empty() ? std::nullopt
                                                         : std::optional<std::string>(appDirOption)));
        appDir.createFolders();
        TerminalPerson person;
        SystemClock clock;
        Workbench wb(appDir, person, clock);

        if (acquisition.chosen())
            return cli::runAcquisitionCommand(acquisition, appDir, person, clock);
        if (*days) {
            wb.MakeDataListBtnClick();
            for (const auto& d : wb.state().DateCombo)
                std::cout << d << "\n";
        } else if (*races) {
            loadDay(wb, person, dayText(dayArg));
            const auto& s = wb.state();
            for (const auto& item : s.DatList) {
                const std::string& ra = s.store.RaRecs.at(static_cast<size_t>(item.slot));
                if (keysOnly) {
                    std::cout << field(ra, 12, 16) << "\n";
                    continue;
                }
                std::cout << item.text << "\t" << hhmm(field(ra, 874, 4)) << "\t"
                          << hhmm(s.store.AutoOddsTime.at(static_cast<size_t>(item.slot))) << "\n";
            }
        } else if (*analyse || *copy) {
            selectRace(wb, person, raceKey);
            if (!timeKey.empty())
                chooseTime(wb, timeKey);
            if (!sortCaption.empty())
                pressSort(wb, sortCaption);
            if (*copy)
                std::cout << wb.ClipBtn1Click(tab);
            else if (json)
                printJson(cli::analysisJson(wb));
            else
                std::cout << cli::analysisText(wb);
        } else if (*batch) {
            std::string day = dayText(dayArg);
            loadDay(wb, person, day);
            wb.M1Click();
            const auto& s = wb.state();
            for (const auto& item : s.DatList) {
                const std::string& ra = s.store.RaRecs.at(static_cast<size_t>(item.slot));
                std::filesystem::path sei =
                    appDir.suishoDir() / (day + VenueShortName(field(ra, 20, 2)) + ".sei");
                int race = fieldInt(ra, 26, 2);
                std::vector<std::string> lines;
                if (std::filesystem::exists(sei))
                    lines = readLinesText(sei);
                auto line = [&](int k) {
                    size_t at = static_cast<size_t>(5 * (race - 1) + k);
                    return at < lines.size() ? lines[at] : std::string();
                };
                std::cout << item.text << "\t★" << markList(line(2)) << "\t☆" << markList(line(3))
                          << "\n";
            }
        } else if (*params) {
            PersonSuishoSetPort port(person, wb.ini());
            // No race is selected here: the integer boxes are capped at a full field of 18.
            SuishoSetModel model(port, appDir.userSetFile(), 18);
            model.open();
            if (*paramsList) {
                const auto& list = model.setList();
                for (size_t i = 0; i < list.size(); ++i)
                    std::cout << (static_cast<int>(i) == model.selectedIndex() ? "*" : " ") << i
                              << "\t" << list[i] << "\n";
            } else if (*paramsAdd) {
                const auto& fields = suishoFields();
                for (size_t i = 0; i < fields.size(); ++i)
                    model.setBox(fields[i].box, addArgs[i + 1]);
                model.setNameText(addArgs[0]);
                size_t before = model.lines().size();
                model.registerSet();
                if (model.lines().size() == before)
                    throw Failure{};
            } else if (*paramsDelete) {
                model.select(setIndex);
                if (model.selectedIndex() != setIndex)
                    throw Failure{};
                size_t before = model.lines().size();
                model.deleteSet();
                if (model.lines().size() == before)
                    throw Failure{};
            } else if (*paramsSelect) {
                model.select(setIndex);
                if (model.selectedIndex() != setIndex)
                    throw Failure{};
            }
        }
    } catch (const Failure& f) {
        if (!f.message.empty())
            std::cerr << f.message << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
