#include "cli/study_commands.h"

#include "cli/plot_image.h"
#include "core/app/app_dir.h"
#include "core/app/request_queue.h"
#include "core/app/study_settings.h"
#include "core/app/workbench.h"
#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/study/backtest.h"
#include "core/study/money_flow.h"
#include "core/study/race_board.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/text_file.h"
#include "export/sqlite_export.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

namespace sorvantix::cli {

namespace {

using json = nlohmann::ordered_json;

std::atomic<bool> g_stop{false};

// Runs a long task on the Workbench's queue as the window does, its progress reported
// through `progress` on this thread; Ctrl-C cancels it. How it ended; throws
// AlreadyTold when it failed (the Workbench has said why).
RequestOutcome::End runQueued(Workbench& wb, TaskInbox& inbox, const std::string& name,
                              AcquisitionRequests::TaskWork work,
                              std::function<void(int done, int total)> progress)
{
    std::optional<RequestOutcome::End> end;
    RequestEvents events;
    events.progress = std::move(progress);
    events.done = [&end](const RequestOutcome& outcome) { end = outcome.end; };
    if (wb.requestTask(name, std::move(work), std::move(events)) == 0)
        throw std::logic_error(name + ": the Workbench has no queue");
    bool cancelSent = false;
    while (!end) {
        inbox.runUntil([&] { return end.has_value() || g_stop.load(); },
                       std::chrono::milliseconds(100));
        if (g_stop && !cancelSent && !end) {
            wb.queue()->cancelCurrent();
            cancelSent = true;
        }
    }
    if (*end == RequestOutcome::End::Failed)
        throw AlreadyTold();
    return *end;
}

void print(const json& j)
{
    std::cout << j.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
}

std::optional<DayName> dayOption(const std::string& text, const char* option)
{
    if (text.empty())
        return std::nullopt;
    if (auto d = DayName::fromArgument(text))
        return d;
    throw Error(std::string(option) + ": 日付が不正です: " + text);
}

json statsJson(const CategoryStats& s)
{
    return {{"races", s.races},
            {"bets", s.bets},
            {"hits", s.hits},
            {"hit_rate", s.hitRate()},
            {"stake_yen", s.stake},
            {"return_yen", s.returned},
            {"roi", s.roi()},
            {"roi_ci95", {s.roiLow, s.roiHigh}},
            {"longest_losing_run", s.longestLosingRun}};
}

json backtestJson(const BacktestReport& r)
{
    json sets = json::array();
    for (const auto& set : r.sets) {
        json categories = json::object();
        for (int c = 0; c < kBetCategories; ++c) {
            json j = statsJson(set.categories[static_cast<size_t>(c)]);
            j["caption"] = std::string(betCategoryCaption(static_cast<BetCategory>(c)));
            categories[std::string(betCategoryKey(static_cast<BetCategory>(c)))] = j;
        }
        sets.push_back(
            {{"name", set.name}, {"categories", categories}, {"total", statsJson(set.total)}});
    }
    return {{"decision", r.decisionLabel},
            {"from", r.from},
            {"to", r.to},
            {"days", r.days},
            {"races_seen", r.racesSeen},
            {"races_analysed", r.raceKeys.size()},
            {"races_without_odds", r.racesNoOdds},
            {"races_without_payouts", r.racesNoPayouts},
            {"races_without_time_point", r.racesNoDecision},
            {"races_unreadable", r.racesUnreadable},
            {"sets", sets},
            {"warnings", r.warnings}};
}

json flowEntryJson(const FlowEntry& e)
{
    json j = {{"before_yen", e.before},
              {"inflow_yen", e.inflow},
              {"share_before", e.shareBefore},
              {"share_interval", e.shareInterval},
              {"ratio", e.ratio},
              {"capped", e.capped},
              {"no_votes", e.noVotes}};
    if (e.pair > 0) {
        j["pair"] = {e.horse, e.partner};
        j["interval_pa"] = e.intervalPa;
        j["marked"] = e.marked;
    } else {
        j["horse"] = e.horse;
    }
    return j;
}

json boardJson(const RaceBoard& b)
{
    json venues = json::array();
    for (const auto& v : b.venues) {
        json races = json::array();
        for (const auto& r : v.races) {
            if (!r)
                continue;
            races.push_back({{"race_key", r->raceKey},
                             {"race_no", r->raceNo},
                             {"post_time", r->postTime},
                             {"latest", r->latestTime},
                             {"analysed", r->analysed},
                             {"kasen_rate", r->kasenPercent},
                             {"upset", r->upset},
                             {"suisho", r->suisho},
                             {"tokusho", r->tokusho},
                             {"singular_pairs", r->singularPairs},
                             {"problem", r->problem}});
        }
        venues.push_back({{"venue", v.name}, {"races", races}});
    }
    return {{"day", b.day.text()}, {"venues", venues}, {"warnings", b.warnings}};
}

int runBacktestCommand(const StudyCommands& c, const AppDir& appDir, Workbench& wb,
                       TaskInbox& inbox)
{
    auto decision = Decision::parse(c.decision);
    if (!decision)
        throw Error("--decision: 分数、default または auto を指定してください: " + c.decision);
    if (!c.plot.empty()) {
        const std::string ext = std::filesystem::path(c.plot).extension().string();
        if (ext != ".svg" && ext != ".png")
            throw Error("--plot: .svg か .png のファイル名にしてください: " + c.plot);
    }
    BacktestOptions options;
    options.decision = decisionWithSettings(*decision, wb.ini());
    options.seed = c.seed;
    options.resamples = c.resamples;
    std::vector<std::string> warnings;
    if (c.params.empty())
        options.sets.push_back(activeParamSet(wb.ini(), appDir.userSetFile(), &warnings));
    // A set asked for by number must exist: its results would carry the default's values.
    for (int id : c.params) {
        std::vector<std::string> problems;
        options.sets.push_back(paramSet(id, appDir.userSetFile(), &problems));
        if (!problems.empty())
            throw Error("--params " + std::to_string(id) + ": " + problems.front());
    }
    for (const auto& w : warnings)
        std::cerr << w << "\n";
    BacktestReport report;
    AcquisitionRequests::TaskWork work =
        [&report, root = appDir.root(), from = dayOption(c.from, "--from"),
         to = dayOption(c.to, "--to"),
         options](Progress& progress, const std::atomic<bool>& cancel) {
            report = runBacktest(
                root, from, to, options,
                [&progress](int done, int total) { progress.progress(done, total); }, &cancel);
        };
    runQueued(wb, inbox, "検証", std::move(work), [](int done, int total) {
        if (done == total || done % 10 == 0)
            std::cerr << "\r" << done << "/" << total << "日" << (done == total ? "\n" : "")
                      << std::flush;
    });
    for (const auto& w : report.warnings)
        std::cerr << w << "\n";
    if (c.json)
        print(backtestJson(report));
    else if (c.csv)
        std::cout << backtestCsv(report);
    else
        std::cout << backtestTable(report);
    if (!c.plot.empty()) {
        writePlot(c.plot, backtestSvg(report));
        std::cerr << "書き出し: " << c.plot << "\n";
    }
    if (g_stop)
        throw Error("中止しました（途中までの集計です）");
    if (report.raceKeys.empty()) {
        std::cerr << "検証できるレースがありません（オッズと払戻のあるレース）。\n";
        return 1;
    }
    return 0;
}

int runFlowCommand(const StudyCommands& c, const AppDir& appDir)
{
    auto key = RaceKey::tryParse(c.raceKey);
    if (!key)
        throw Error("レースキーが不正です: " + c.raceKey);
    std::optional<ArchivedRace> race;
    for (auto& r : archivedRaces(appDir.root(), key->dayName()))
        if (r.raceKey == key->text())
            race = std::move(r);
    if (!race)
        throw Error("レースがありません: " + c.raceKey);
    const RaceOddsSeries series = RaceOddsSeries::read(*race);
    if (series.size() < 2)
        throw Error("発表が二つ以上あるレースではありません: " + c.raceKey);
    // A time asked for takes the latest announcement at or before it ("from 9:30"
    // need not name an announcement exactly); the one taken is said.
    auto find = [&series](const std::string& t, size_t fallback) {
        if (t.empty())
            return fallback;
        if (t.size() != 8 || !isDigits(t))
            throw Error("時刻は MMDDhhmm の8桁で指定してください: " + t);
        const auto& keys = series.timeKeys();
        std::optional<size_t> taken;
        for (size_t k = 0; k < keys.size(); ++k)
            if (keys[k] <= t && (!taken || keys[k] >= keys[*taken]))
                taken = k;
        if (!taken)
            throw Error("この時刻より前の発表がありません: " + t + " (最初の発表 " + keys.front() +
                        ")");
        if (keys[*taken] != t)
            std::cerr << t << " -> " << keys[*taken] << " の発表を使います\n";
        return *taken;
    };
    const size_t a = find(c.fromTime, 0);
    const size_t b = find(c.toTime, series.size() - 1);
    if (a >= b)
        throw Error("--from は --to より前の発表にしてください");
    const MoneyFlow flow = moneyFlow(series.at(a), series.at(b));
    if (c.json) {
        json runners = json::array(), pairs = json::array();
        for (const auto& e : flow.runners)
            runners.push_back(flowEntryJson(e));
        for (const auto& e : flow.pairs)
            pairs.push_back(flowEntryJson(e));
        print({{"race_key", race->raceKey},
               {"from", flow.fromKey},
               {"to", flow.toKey},
               {"win_pool_yen", {flow.winPoolFrom, flow.winPoolTo}},
               {"quinella_pool_yen", {flow.quinellaPoolFrom, flow.quinellaPoolTo}},
               {"runners", runners},
               {"pairs", pairs},
               {"notes", flow.notes}});
    } else {
        std::cout << race->listText() << "\n" << moneyFlowText(flow);
    }
    return 0;
}

} // namespace

bool StudyCommands::chosen() const
{
    for (const CLI::App* command : {backtest, flow, board, exportDb})
        if (command && command->parsed())
            return true;
    return false;
}

void addStudyCommands(CLI::App& app, StudyCommands& c)
{
    c.backtest = app.add_subcommand(
        "backtest",
        "the method over stored days: marks and reference bets settled against payouts");
    c.backtest->add_option("--from", c.from, "first day (default: the oldest stored day)");
    c.backtest->add_option("--to", c.to, "last day (default: the newest)");
    c.backtest->add_option("--decision", c.decision,
                           "decision time: N (minutes before post), default (the window's default "
                           "time point) or auto (the automatic acquisition's time; the default)");
    c.backtest
        ->add_option("--params", c.params,
                     "parameter sets to compare, by index (0 = 既定値); default: the active set")
        ->delimiter(',');
    c.backtest->add_flag("--csv", c.csv, "print CSV: one row per set and category");
    c.backtest->add_flag("--json", c.json, "print one JSON object")->excludes("--csv");
    c.backtest->add_option("--plot", c.plot,
                           "write the cumulative return chart: FILE.svg or FILE.png");
    c.backtest->add_option("--seed", c.seed, "seed of the bootstrap (default 20261209)");
    c.backtest->add_option("--resamples", c.resamples, "bootstrap resamples (default 1000)")
        ->check(CLI::Range(0, 100000));

    c.flow = app.add_subcommand("flow", "the money that came in between two announcements");
    c.flow->add_option("RACEKEY", c.raceKey, "16-digit race key")->required();
    c.flow->add_option("--from", c.fromTime, "first announcement MMDDhhmm (default: the first)");
    c.flow->add_option("--to", c.toTime, "second announcement MMDDhhmm (default: the latest)");
    c.flow->add_flag("--json", c.json, "print one JSON object");

    c.board = app.add_subcommand("board", "every race of a day at its latest announcement");
    c.board->add_option("DAY", c.day, "day as 2026年11月29日, 20261129 or 2026-11-29")->required();
    c.board->add_flag("--json", c.json, "print one JSON object");

    c.exportDb = app.add_subcommand("export", "the stored days into an SQLite database");
    c.exportDb->add_option("--sqlite", c.sqlite, "database file (created when missing)")
        ->required();
    c.exportDb->add_option("--from", c.from, "first day (default: the oldest stored day)");
    c.exportDb->add_option("--to", c.to, "last day (default: the newest)");
}

int runStudyCommand(const StudyCommands& c, const AppDir& appDir, Workbench& wb, TaskInbox& inbox)
{
    std::signal(SIGINT, [](int) {
        if (g_stop.exchange(true))
            std::_Exit(130);
    });
    if (c.backtest->parsed())
        return runBacktestCommand(c, appDir, wb, inbox);
    if (c.flow->parsed())
        return runFlowCommand(c, appDir);
    if (c.board->parsed()) {
        auto day = dayOption(c.day, "DAY");
        std::vector<std::string> warnings;
        const ParamSet set = activeParamSet(wb.ini(), appDir.userSetFile(), &warnings);
        for (const auto& w : warnings)
            std::cerr << w << "\n";
        const RaceBoard board = buildRaceBoard(appDir.root(), *day, set.params);
        if (board.raceCount() == 0)
            throw Error("データがありません: " + day->text());
        if (c.json)
            print(boardJson(board));
        else
            std::cout << withoutControls(raceBoardText(board));
        return 0;
    }
    ExportOptions options;
    options.from = dayOption(c.from, "--from");
    options.to = dayOption(c.to, "--to");
    std::vector<std::string> warnings;
    const ParamSet set = activeParamSet(wb.ini(), appDir.userSetFile(), &warnings);
    options.paramSetName = set.name;
    options.params = set.params;
    ExportCounts n;
    AcquisitionRequests::TaskWork work = [&n, root = appDir.root(), file = c.sqlite, options](
                                             Progress& progress, const std::atomic<bool>& cancel) {
        n = exportToSqlite(
            root, file, options,
            [&progress](int done, int total) { progress.progress(done, total); }, &cancel);
    };
    runQueued(wb, inbox, "SQLiteへ書き出し", std::move(work), [](int done, int total) {
        std::cerr << "\r" << done << "/" << total << "日" << std::flush;
    });
    std::cerr << "\n";
    warnings.insert(warnings.end(), n.warnings.begin(), n.warnings.end());
    for (const auto& w : warnings)
        std::cerr << w << "\n";
    std::cout << format("書き出し: %s\n%d日 レース %d 出走馬 %d 払戻 %d 新しい発表 %d "
                        "(単勝 %lld 馬連 %lld 分析 %lld 行)\n",
                        c.sqlite.c_str(), n.days, n.races, n.runners, n.payouts, n.snapshots,
                        n.oddsWin, n.oddsQuinella, n.analysis);
    return 0;
}

} // namespace sorvantix::cli
