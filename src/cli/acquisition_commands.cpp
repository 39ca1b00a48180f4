#include "cli/acquisition_commands.h"

#include "cli/terminal.h"
#include "core/app/app_dir.h"
#include "core/app/auto_acquisition.h"
#include "core/app/card_acquisition.h"
#include "core/app/request_queue.h"
#include "core/app/startup.h"
#include "core/app/workbench.h"
#include "core/jvlink/bridge_jv_link.h"
#include "core/jvlink/jvlink_choice.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/odds/odds_files.h"
#include "core/odds/realtime_odds.h"
#include "core/results/payout_acquisition.h"
#include "core/store/day_store.h"
#include "core/store/race_key.h"
#include "core/store/record_views.h"
#include "core/text/clock.h"
#include "core/text/day_name.h"
#include "core/text/error_log.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/ini_file.h"
#include "core/text/person.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>

namespace sorvantix::cli {

namespace fs = std::filesystem;

namespace {

// A simulated day per real second at most.
constexpr double kMaxSpeed = 86400;

// Set by Ctrl-C; the acquisitions check it between reads and ticks.
std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int)
{
    g_cancel = true;
    // A second Ctrl-C ends the program, should JV-Link hang.
    std::signal(SIGINT, SIG_DFL);
}

std::optional<DayName> dayArgument(const std::string& arg)
{
    return DayName::fromArgument(arg);
}

// Every acquisition but the settings needs an initialised JV-Link with a feed to serve.
bool initialise(JvLink& link)
{
    if (auto* replay = dynamic_cast<ReplayJvLink*>(&link)) {
        if (const std::string problem = replay->setupProblem(); !problem.empty()) {
            std::cerr << problem << "\n";
            return false;
        }
    }
    if (auto message = initJvLink(link)) {
        std::cerr << *message << "\n";
        return false;
    }
    return true;
}

// jvlink: shows the JV-Link in use, or chooses one (the replay of a feed folder, the
// real component under Wine, or a bridge started directly), or opens its settings.
int jvlinkCommand(const AcquisitionCommands& c, const AppDir& appDir, Person& person)
{
    JvLinkChoice choice = readJvLinkChoice(appDir.root());
    const bool toBridge = !c.winePrefix.empty() || !c.bridgePath.empty() || c.noRunner;
    if (!c.feed.empty() && toBridge) {
        std::cerr << "--feed と --wine-prefix/--bridge は同時に指定できません。\n";
        return 1;
    }
    bool changed = false;
    if (!c.feed.empty()) {
        ReplayJvLink replay(appDir.root());
        replay.setFeedFolder(fs::absolute(c.feed));
        if (setJvLinkProperties(replay, person) != 0) {
            std::cerr << replay.settingsError() << "\n";
            return 1;
        }
        choice.kind = JvLinkKind::Replay;
        changed = true;
    }
    if (toBridge) {
        choice.kind = JvLinkKind::Bridge;
        if (!c.bridgePath.empty())
            choice.bridge.bridge = fs::absolute(c.bridgePath);
        if (c.noRunner) {
            choice.bridge.runner.clear();
            choice.bridge.winePrefix.clear();
        } else {
            choice.bridge.runner = c.winePath.empty() ? "wine" : c.winePath;
            if (!c.winePrefix.empty())
                choice.bridge.winePrefix = fs::absolute(c.winePrefix);
        }
        changed = true;
    }
    if (c.openTimeout > 0) {
        choice.bridge.openTimeout = std::chrono::seconds(c.openTimeout);
        changed = true;
    }
    if (c.readTimeout > 0) {
        choice.bridge.readTimeout = std::chrono::seconds(c.readTimeout);
        changed = true;
    }
    if (changed)
        writeJvLinkChoice(appDir.root(), choice);

    ReplayJvLink replay(appDir.root());
    std::cout << jvLinkChoiceText(choice, replay.feedFolder()) << "\n";
    if (choice.kind == JvLinkKind::Replay) {
        if (c.settingsDialog && setJvLinkProperties(replay, person) != 0)
            return 1;
        if (const std::string problem = replay.setupProblem(); !problem.empty()) {
            std::cerr << problem << "\n";
            return 1;
        }
        return 0;
    }
    // The bridge is started to show that it works, and which JV-Link answers.
    BridgeJvLink bridge(choice.bridge);
    const std::string version = bridge.version();
    if (version.empty() && !bridge.lastProblem().empty()) {
        std::cerr << bridge.lastProblem() << "\n";
        return 1;
    }
    std::cout << "m_JVLinkVersion: " << version << "\n";
    std::cout << format("タイムアウト: 開く %lld秒、読む %lld秒、その他 %lld秒\n",
                        static_cast<long long>(choice.bridge.openTimeout.count()),
                        static_cast<long long>(choice.bridge.readTimeout.count()),
                        static_cast<long long>(choice.bridge.callTimeout.count()));
    if (c.settingsDialog) {
        // JV-Link's own dialog (service key, save folder): a person answers it.
        if (bridge.JVInit(softwareId()) != 0 || setJvLinkProperties(bridge, person) != 0) {
            if (!bridge.lastProblem().empty())
                std::cerr << bridge.lastProblem() << "\n";
            return 1;
        }
    }
    return 0;
}

// A Workbench whose JV-Link requests run on its queue; their reports arrive in `inbox`.
// Status texts are printed while a request runs (what it says and the error log's
// entries), not those of the analysis that shows a race again afterwards.
struct QueuedBench
{
    QueuedBench(const AppDir& appDir, TerminalPerson& person, const Clock& clock, JvLink& link)
        : bench(appDir, person, clock)
    {
        bench.connectJvLink(&link, inbox.poster());
        showStatus(bench, person, [this] { return bench.pendingRequests() > 0; });
    }

    // Runs the posted calls until every request has been handled; Ctrl-C cancels the
    // running request. False when interrupted.
    bool settle()
    {
        bool cancelSent = false;
        while (bench.pendingRequests() > 0) {
            inbox.runUntil([&] { return bench.pendingRequests() == 0 || g_cancel.load(); },
                           std::chrono::milliseconds(100));
            if (g_cancel && !cancelSent) {
                bench.queue()->cancelCurrent();
                cancelSent = true;
            }
        }
        return !cancelSent;
    }

    // The request's own status texts, on standard error.
    static RequestEvents printedEvents()
    {
        RequestEvents events;
        events.status = [](const std::string& text) {
            if (!text.empty())
                std::cerr << text << "\n";
        };
        return events;
    }

    TaskInbox inbox; // first: outlives the bench's queue
    Workbench bench;
};

int fetchCardsCommand(const AcquisitionCommands& c, const AppDir& appDir, JvLink& link,
                      TerminalPerson& person, const Clock& clock)
{
    Workbench::CardRequest request;
    if (!c.from.empty()) {
        request.from = parseFromTime(c.from);
        if (!request.from) {
            std::cerr << "取得開始日時が不正です (yyyymmddhhnnss): " << c.from << "\n";
            return 1;
        }
    }
    if (c.setup)
        request.setup = true;
    QueuedBench q(appDir, person, clock, link);
    size_t printedLines = 0;
    std::string shownLabel;
    Workbench::CardEvents events;
    // Each view carries the list lines added since the one before.
    events.view = [&](const GetDataFormView& view) {
        for (; printedLines < view.ListBox1.size(); ++printedLines)
            std::cout << view.ListBox1[printedLines] << "\n";
        printedLines = 0;
        if (view.ProgressLabel != shownLabel && !view.ProgressLabel.empty())
            std::cerr << view.ProgressLabel << "\n";
        shownLabel = view.ProgressLabel;
    };
    std::optional<Workbench::CardRun> run;
    events.done = [&](const Workbench::CardRun& r) { run = r; };
    if (q.bench.requestCards(request, std::move(events)) == 0)
        return 1;
    q.settle();
    if (!run)
        return 1;
    const bool ok =
        run->outcome == CardRunOutcome::Completed || run->outcome == CardRunOutcome::NoNewData;
    // Only a run whose records reached the files may say they were saved.
    if (ok)
        std::cerr << run->stored << "件のレコードを保存しました\n";
    else
        std::cerr << "データ取込は完了していません（" << run->stored << "件を処理しました）\n";
    return ok && run->closeResult == 0 ? 0 : 1;
}

void printOddsFile(const AppDir& appDir, const std::string& raceKey, const char* extension)
{
    const fs::path path = oddsFilePath(appDir.root(), raceKey, extension);
    const std::string shown = fs::relative(path, appDir.root()).string();
    if (!fs::exists(path)) {
        std::cout << shown << "\tなし\n";
        return;
    }
    const auto lines = readOddsLines(
        path, extension == std::string_view(kO1Extension) ? kO1RecordSize : kO2RecordSize);
    std::cout << shown << "\t" << lines.size() << "件\n";
    for (const auto& line : lines)
        std::cout << "  " << timeComboItem(line) << "\n";
}

// A clock that runs `speed` times as fast as real time from `start`, so a generated day
// can be lived through as today.
class SimulatedClock : public Clock
{
public:
    SimulatedClock(LocalDateTime start, double speed)
        : m_start(start), m_speed(speed), m_origin(std::chrono::steady_clock::now())
    {
    }
    LocalDateTime now() const override
    {
        std::chrono::duration<double> real = std::chrono::steady_clock::now() - m_origin;
        return m_start.addSeconds(static_cast<long long>(real.count() * m_speed));
    }

private:
    LocalDateTime m_start;
    double m_speed;
    std::chrono::steady_clock::time_point m_origin;
};

// "yyyy-mm-dd HH:MM" (also with "/" between the date parts).
std::optional<LocalDateTime> parseNow(const std::string& text)
{
    LocalDateTime t;
    char sep1 = 0, sep2 = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d %2d:%2d%c", &t.year, &sep1, &t.month, &sep2,
                    &t.day, &t.hour, &t.minute, &tail) != 7)
        return std::nullopt;
    if (sep1 != sep2 || (sep1 != '-' && sep1 != '/') || t.hour > 23 || t.minute > 59 ||
        t.hour < 0 || t.minute < 0 || !DayName::isPossible(t.year, t.month, t.day))
        return std::nullopt;
    return t;
}

// "HH:MM" as minutes of the day.
std::optional<int> parseClockMinute(const std::string& text)
{
    int h = -1, m = -1;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2d:%2d%c", &h, &m, &tail) != 2 || h < 0 || h > 23 || m < 0 ||
        m > 59)
        return std::nullopt;
    return h * 60 + m;
}

// "1,3,5" as 1-based positions.
std::optional<std::vector<int>> parsePositions(const std::string& text)
{
    std::vector<int> positions;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        std::string t(trimmed(part));
        if (t.empty() || t.size() > 2 || t.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        positions.push_back(std::stoi(t));
    }
    if (positions.empty())
        return std::nullopt;
    return positions;
}

// fetch-odds --day: the schedule window "オッズ手動取得" for the chosen race list items.
int scheduleFetchCommand(const AcquisitionCommands& c, const AppDir& appDir, JvLink& link,
                         TerminalPerson& person, const Clock& clock)
{
    auto day = dayArgument(c.oddsDay);
    if (!day) {
        std::cerr << "日付が不正です: " << c.oddsDay << "\n";
        return 1;
    }
    auto positions = parsePositions(c.races);
    if (!positions) {
        std::cerr << "レース番号の並びが不正です (1,2,...): " << c.races << "\n";
        return 1;
    }
    QueuedBench q(appDir, person, clock, link);
    Workbench& wb = q.bench;
    wb.MakeDataListBtnClick();
    if (Outcome loaded = wb.selectDay(day->text()); !loaded.isDone()) {
        std::cerr << (loaded.message.empty() ? "データがありません: " + day->text()
                                             : loaded.message)
                  << "\n";
        return 1;
    }
    std::optional<TOddsSchejForm> form = wb.OzGetBtnClick();
    if (!form)
        return 1;
    const int items = static_cast<int>(form->CheckListBox1().size());
    for (int p : *positions) {
        if (p < 1 || p > items) {
            std::cerr << "レースがありません: " << p << " (1-" << items << ")\n";
            return 1;
        }
        form->setChecked(p - 1, true);
    }
    form->setRadioGroup1(c.flash ? 1 : 0);
    std::optional<ScheduleFetch> fetch = form->fetchPlan(person);
    if (!fetch)
        return 1;
    RequestOutcome outcome;
    RequestEvents events;
    events.status = [&](const std::string& text) {
        form->showStatus(text);
        if (!text.empty())
            std::cerr << text << "\n";
    };
    events.progress = [&](int position, int maximum) { form->showProgress(position, maximum); };
    events.done = [&](const RequestOutcome& o) { outcome = o; };
    wb.requestScheduleFetch(std::move(*fetch), std::move(events));
    q.settle();
    wb.closeSchedule(*form);
    for (int p : *positions) {
        printOddsFile(appDir, wb.raceKeyOfItem(p - 1), kO1Extension);
        printOddsFile(appDir, wb.raceKeyOfItem(p - 1), kO2Extension);
    }
    return outcome.end == RequestOutcome::End::Completed ? 0 : 1;
}

// fetch-odds: "ｵｯｽﾞ取得" with the race selected, as the window does it.
int fetchOddsCommand(const AcquisitionCommands& c, const AppDir& appDir, JvLink& link,
                     TerminalPerson& person, const Clock& clock)
{
    auto key = RaceKey::tryParse(c.raceKey);
    if (!key) {
        std::cerr << "レースキーが不正です: " << c.raceKey << "\n";
        return 1;
    }
    QueuedBench q(appDir, person, clock, link);
    Workbench& wb = q.bench;
    int index = -1;
    person.quiet = true;
    wb.MakeDataListBtnClick();
    if (wb.selectDay(key->dayName().text()).kind != Outcome::Kind::NothingToDo)
        index = wb.raceIndexOf(key->text());
    if (index >= 0)
        wb.DatListClick(index); // a race without odds yet says so; it is fetched next
    person.quiet = false;
    if (index < 0) {
        std::cerr << "レースがありません: " << key->text() << "\n";
        return 1;
    }
    if (wb.SokuhoOddsBtnClick(QueuedBench::printedEvents()) == 0)
        return 1;
    const bool settled = q.settle();
    printOddsFile(appDir, key->text(), kO1Extension);
    printOddsFile(appDir, key->text(), kO2Extension);
    // A record lost to damage is a failure too, though the rest was stored.
    return settled && wb.lastOddsFetch().complete() ? 0 : 1;
}

// fetch-results: "結果情報" for the day, as the window does it.
int fetchResultsCommand(const AcquisitionCommands& c, const AppDir& appDir, JvLink& link,
                        TerminalPerson& person, const Clock& clock)
{
    auto day = dayArgument(c.day);
    if (!day) {
        std::cerr << "日付が不正です: " << c.day << "\n";
        return 1;
    }
    QueuedBench q(appDir, person, clock, link);
    Workbench& wb = q.bench;
    person.quiet = true;
    wb.MakeDataListBtnClick();
    const Outcome loaded = wb.selectDay(day->text());
    person.quiet = false;
    if (loaded.kind == Outcome::Kind::NothingToDo || wb.state().DatList.empty()) {
        std::cerr << "データがありません: " << day->text() << "\n";
        return 1;
    }
    if (wb.KekkaGetBtnClick(QueuedBench::printedEvents()) == 0)
        return 1;
    q.settle();
    const DayResultsFetch& result = wb.lastResultsFetch();
    for (const auto& warning : wb.state().dayWarnings)
        std::cerr << warning << "\n";
    std::cerr << result.read.stored << "件のレコードを取り込みました\n";
    for (const auto& row : wb.payoutRows()) {
        std::cout << row.text;
        if (row.merged)
            std::cout << "\t単勝 " << row.winHorse << " " << row.winYen << "円";
        else
            std::cout << "\t払戻なし";
        std::cout << "\n";
    }
    // Every cause of a failed exit is said, not only the progress lines.
    if (result.read.stored == 0 && result.read.refused > 0)
        std::cerr << "結果情報のレコードがすべて壊れています\n";
    else if (result.read.refused > 0)
        std::cerr << "壊れたレコード" << result.read.refused << "件を読み飛ばしました\n";
    if (result.read.otherDay > 0)
        std::cerr << day->text() << "の結果情報に他の日のレコードが" << result.read.otherDay
                  << "件ありました。保存していません\n";
    if (result.read.cancelled)
        std::cerr << "中止しました\n";
    return result.complete() ? 0 : 1;
}

// One line per odds file of the race list items fetched so far: its time points and the
// newest of them.
void printFetchedOdds(const AppDir& appDir, const Workbench& wb, std::vector<int>& fetched)
{
    for (int index : fetched) {
        const std::string key = wb.raceKeyOfItem(index);
        for (const char* extension : {kO1Extension, kO2Extension}) {
            const fs::path path = oddsFilePath(appDir.root(), key, extension);
            std::cout << "  " << fs::relative(path, appDir.root()).string() << "\t";
            const int size =
                extension == std::string_view(kO1Extension) ? kO1RecordSize : kO2RecordSize;
            const auto lines =
                fs::exists(path) ? readOddsLines(path, size) : std::vector<std::string>{};
            if (lines.empty())
                std::cout << "なし\n";
            else
                std::cout << lines.size() << "件\t" << timeComboItem(lines.back()) << "まで\n";
        }
    }
    fetched.clear();
}

// What a live refresh of race `race` brought: its latest announcement and its next
// refresh.
void printLiveRefresh(const Workbench& wb, size_t race)
{
    const LiveSchedule& live = wb.liveSchedule();
    if (race >= live.races().size())
        return;
    const std::string last = wb.liveAnnouncementText(race);
    std::cout << "\t" << (last.empty() ? "発表前" : "最終発表 " + last);
    if (const auto due = live.oddsDueAt(race))
        std::cout << "\t次回 " << format("%02d:%02d", due->hour, due->minute);
    else
        std::cout << "\t発走まで取得済み";
    std::cout << "\n";
}

// Each race's post time, latest announcement and stored time points, at the end.
void printLiveSummary(const AppDir& appDir, const Workbench& wb)
{
    const LiveSchedule& live = wb.liveSchedule();
    for (size_t i = 0; i < live.races().size(); ++i) {
        const LiveRace& r = live.races()[i];
        const fs::path path = oddsFilePath(appDir.root(), r.raceKey, kO1Extension);
        const size_t points = fs::exists(path) ? readOddsLines(path, kO1RecordSize).size() : 0;
        const std::string last = wb.liveAnnouncementText(i);
        std::cout << "  " << wb.state().DatList.at(static_cast<size_t>(r.index)).text << "\t発走 "
                  << format("%02d:%02d", r.post.hour, r.post.minute) << "\t"
                  << (last.empty() ? "発表なし" : "最終発表 " + last) << "\t" << points << "件"
                  << (r.resultsStored ? "\t結果あり" : "") << "\n";
    }
}

// auto --live: every race of today followed to its post time, one request at a time,
// until the day is done (every race followed to post, its results stored), --until or
// Ctrl-C.
int runLive(QueuedBench& q, const AppDir& appDir, const Clock& clock,
            const std::optional<LocalDateTime>& stopAt, std::chrono::milliseconds step)
{
    Workbench& wb = q.bench;
    const LiveSettings& s = wb.liveSchedule().settings();
    std::cerr << "ライブ: " << s.farEvery << "分毎、発走" << s.nearMinutes << "分前から"
              << s.nearEvery << "分毎、発走時刻に最後の取得、毎分" << s.budget
              << "件まで、結果は発走" << s.resultDelay << "分後から\n";
    std::optional<Workbench::LiveStep> running;
    while (!g_cancel) {
        if (wb.pendingRequests() == 0 && running) {
            if (running->request.kind == LiveRequest::Kind::Odds) {
                std::cout << timeText(clock.now()) << "\t取得済み\t"
                          << wb.state().DatList.at(static_cast<size_t>(running->index)).text;
                printLiveRefresh(wb, running->request.race);
            } else {
                const auto rows = wb.payoutRows();
                std::cout << timeText(clock.now()) << "\t払戻\t"
                          << std::count_if(rows.begin(), rows.end(),
                                           [](const auto& row) { return row.merged; })
                          << "/" << rows.size() << "レース\n";
            }
            std::cout << std::flush;
            running.reset();
        }
        const LocalDateTime now = clock.now();
        if (stopAt && now > *stopAt)
            break;
        if (wb.pendingRequests() == 0 && wb.liveSchedule().finished()) {
            std::cerr << timeText(now) << " ライブ: 全レース終了\n";
            break;
        }
        if (auto started = wb.liveTick()) {
            const bool odds = started->request.kind == LiveRequest::Kind::Odds;
            std::cout << timeText(now) << "\t" << (odds ? "ライブ取得" : "結果情報") << "\t"
                      << wb.state().DatList.at(static_cast<size_t>(started->index)).text << "\n"
                      << std::flush;
            running = started;
        }
        q.inbox.runUntil([] { return g_cancel.load(); }, step);
    }
    wb.queue()->cancelCurrent();
    q.settle();
    printLiveSummary(appDir, wb);
    std::cerr << timeText(clock.now()) << " 終了\n";
    return 0;
}

// auto: the "ｵｯｽﾞ自動取得" box switched on and the results timer of today's day, with
// the window timers played by IntervalTickers, until Ctrl-C, SIGTERM or --until.
int autoCommand(const AcquisitionCommands& c, const AppDir& appDir, JvLink& link,
                TerminalPerson& person, const Clock& systemClock)
{
    std::optional<SimulatedClock> simulated;
    if (!c.now.empty()) {
        auto start = parseNow(c.now);
        if (!start) {
            std::cerr << "開始日時が不正です (yyyy-mm-dd HH:MM): " << c.now << "\n";
            return 1;
        }
        // Bounded so that the simulated clock's arithmetic cannot overflow.
        if (!(c.speed > 0) || c.speed > kMaxSpeed) {
            std::cerr << "速度が不正です: " << c.speed << "\n";
            return 1;
        }
        simulated.emplace(*start, c.speed);
    } else if (c.speed != 1) {
        std::cerr << "--speed は --now と共に指定してください。\n";
        return 1;
    }
    const Clock& clock = simulated ? static_cast<const Clock&>(*simulated) : systemClock;
    // The replay publishes the day by the same clock, which ends with this command.
    auto* replay = dynamic_cast<ReplayJvLink*>(&link);
    if (replay)
        replay->setClock(&clock);
    struct ClockBack
    {
        ReplayJvLink* replay;
        const Clock& systemClock;
        ~ClockBack()
        {
            if (replay)
                replay->setClock(&systemClock);
        }
    } clockBack{replay, systemClock};
    std::optional<LocalDateTime> stopAt;
    if (!c.until.empty()) {
        auto minute = parseClockMinute(c.until);
        if (!minute) {
            std::cerr << "終了時刻が不正です (HH:MM): " << c.until << "\n";
            return 1;
        }
        LocalDateTime t = clock.now();
        stopAt = LocalDateTime{t.year, t.month, t.day, *minute / 60, *minute % 60, 0};
        // A time not after now is tomorrow's: "--until 00:05" at 23:59 runs six minutes.
        if (!(*stopAt > t))
            stopAt = stopAt->addSeconds(24 * 60 * 60);
    }
    std::signal(SIGTERM, onInterrupt);

    QueuedBench q(appDir, person, clock, link);
    Workbench& wb = q.bench;
    wb.MakeDataListBtnClick();
    std::string today = todayDayText(clock.now());
    if (Outcome loaded = wb.selectDay(today); !loaded.isDone()) {
        std::cerr << (loaded.message.empty() ? "データがありません: " + today : loaded.message)
                  << "\n";
        return 1;
    }
    // Alerts of each fetch: one line each on standard output (the day's alert log has them
    // too).
    wb.addListener([&wb, &clock](Parts parts) {
        if (!parts.has(Part::Alerts))
            return;
        for (const auto& alert : wb.lastAlerts())
            std::cout << timeText(clock.now()) << "\tアラート\t" << alert.text() << "\n";
        std::cout << std::flush;
    });
    // The Part's one fetch per race unless --live; the window's choice is left as kept.
    wb.chooseLive(c.live);
    const bool odds = wb.AutoOzCheckClick(true);
    if (c.live) {
        if (!odds)
            return 1;
        return runLive(
            q, appDir, clock, stopAt,
            std::chrono::milliseconds(std::clamp(
                static_cast<long long>(1000 / (simulated ? c.speed : 1.0)), 1LL, 100LL)));
    }
    if (!odds && !wb.autoControls().AutoResultTimerEnabled)
        return 1;
    std::cerr << today << (odds ? " ｵｯｽﾞ自動取得" : "") << " 結果情報 "
              << wb.autoControls().AutoResultIntervalMinutes << "分毎\n";

    IntervalTicker timer2, timer4;
    std::string waitingDay; // a new day whose race cards are not there yet
    int triedMinute = -1;
    std::vector<int> fetched;
    bool resultsAsked = false;
    // Fine enough that a 40-second tick never skips a clock minute, even sped up.
    const auto step = std::chrono::milliseconds(
        std::clamp(static_cast<long long>(5000 / (simulated ? c.speed : 1.0)), 1LL, 100LL));
    while (!g_cancel) {
        const LocalDateTime now = clock.now();
        if (stopAt && now > *stopAt)
            break;
        // A run left overnight follows the clock to the next day's races and results.
        // A day without race cards yet stops the automatic fetches (yesterday's races
        // are over) and is tried again each minute.
        if (const std::string day = todayDayText(now);
            day != today && wb.pendingRequests() == 0 &&
            (day != waitingDay || now.minute != triedMinute)) {
            printFetchedOdds(appDir, wb, fetched);
            wb.MakeDataListBtnClick();
            if (Outcome loaded = wb.selectDay(day); loaded.isDone()) {
                today = day;
                waitingDay.clear();
                const bool again = wb.AutoOzCheckClick(true);
                std::cerr << timeText(now) << " " << today << (again ? " ｵｯｽﾞ自動取得" : "")
                          << "\n";
            } else {
                if (waitingDay != day) {
                    std::cerr << timeText(now) << " " << day << ": データがありません\n";
                    if (wb.autoControls().Timer2Enabled)
                        wb.AutoOzCheckClick(false);
                }
                waitingDay = day;
                triedMinute = now.minute;
            }
            timer4.stop();
        }
        if (wb.autoControls().Timer2Enabled) {
            if (!timer2.enabled())
                timer2.start(now, kTimer2IntervalMs / 1000);
            if (timer2.poll(now)) {
                for (int index : wb.Timer2Timer()) {
                    std::cout << timeText(now) << "\tｵｯｽﾞ取得\t"
                              << wb.state().DatList.at(static_cast<size_t>(index)).text << "\n";
                    fetched.push_back(index);
                }
            }
        } else {
            timer2.stop();
        }
        if (wb.autoControls().AutoResultTimerEnabled) {
            if (!timer4.enabled())
                timer4.start(now, std::max(1, wb.autoControls().AutoResultIntervalMinutes) * 60LL);
            if (timer4.poll(now) && wb.Timer4Timer()) {
                std::cout << timeText(now) << "\t結果情報\n";
                resultsAsked = true;
            }
        } else {
            timer4.stop();
        }
        q.inbox.runUntil([] { return g_cancel.load(); }, step);
        if (wb.pendingRequests() == 0) {
            printFetchedOdds(appDir, wb, fetched);
            if (resultsAsked) {
                const auto rows = wb.payoutRows();
                const auto merged = std::count_if(rows.begin(), rows.end(),
                                                  [](const auto& row) { return row.merged; });
                std::cout << "  払戻\t" << merged << "/" << rows.size() << "レース\n";
                resultsAsked = false;
            }
        }
    }
    wb.queue()->cancelCurrent();
    std::cerr << timeText(clock.now()) << " 終了\n";
    return 0;
}

} // namespace

bool AcquisitionCommands::chosen() const
{
    for (const CLI::App* command : {jvlink, fetchCards, fetchOdds, fetchResults, autoRun})
        if (command != nullptr && command->parsed())
            return true;
    return false;
}

void addAcquisitionCommands(CLI::App& app, AcquisitionCommands& c)
{
    c.jvlink = app.add_subcommand(
        "jvlink", "the JV-Link in use: show it, or choose the replay of a feed folder or the "
                  "real JV-Link through its bridge (under Wine, or started directly from WSL2)");
    c.jvlink->add_option("--feed", c.feed, "use the replay JV-Link serving this feed folder");
    c.jvlink->add_option("--wine-prefix", c.winePrefix,
                         "use the real JV-Link installed in this Wine prefix");
    c.jvlink->add_option("--bridge", c.bridgePath,
                         "the bridge program sorvantix-jvlink-bridge.exe (default: beside "
                         "sorvantix-cli)");
    c.jvlink->add_option("--wine", c.winePath, "the wine program (default: wine in PATH)");
    c.jvlink->add_flag("--no-runner", c.noRunner,
                       "start the bridge directly, without Wine (WSL2 on Windows)");
    c.jvlink->add_option("--open-timeout", c.openTimeout, "seconds JVOpen/JVRTOpen may take")
        ->check(CLI::Range(1, 86400));
    c.jvlink->add_option("--read-timeout", c.readTimeout, "seconds a read may take")
        ->check(CLI::Range(1, 86400));
    c.jvlink->add_flag("--settings", c.settingsDialog,
                       "open JV-Link's own settings dialog (service key; needs a display)");

    c.fetchCards = app.add_subcommand(
        "fetch-cards",
        "download race cards (JVデータ取得) since the last download; Ctrl-C cancels");
    c.fetchCards->add_option("--from", c.from,
                             "from-time yyyymmddhhnnss instead of the last download time");
    c.fetchCards->add_flag("--setup", c.setup, "set-up data instead of normal data");
    c.fetchCards->add_option("--now", c.now,
                             "take what the replay's service has published by \"yyyy-mm-dd "
                             "HH:MM\" (race cards before a live day, without its results)");

    c.fetchOdds = app.add_subcommand(
        "fetch-odds",
        "fetch the odds series of a race (ｵｯｽﾞ取得) and list the stored time points;\n"
        "with --day, fetch races of a day as the schedule window (オッズ手動取得) does");
    c.fetchOdds->add_option("RACEKEY", c.raceKey, "16-digit race key");
    auto* oddsDay = c.fetchOdds->add_option("--day", c.oddsDay, "day of the schedule window");
    c.fetchOdds->add_option("--races", c.races, "race list positions, 1-based: 1,3,5")
        ->needs(oddsDay);
    c.fetchOdds->add_flag("--flash", c.flash, "flash odds (速報ｵｯｽﾞ) instead of the time series")
        ->needs(oddsDay);

    c.autoRun = app.add_subcommand(
        "auto", "automatic odds and results acquisition for today's day until Ctrl-C or SIGTERM");
    c.autoRun->add_option("--now", c.now, "start a simulated clock at \"yyyy-mm-dd HH:MM\"");
    c.autoRun->add_option("--speed", c.speed, "run the simulated clock N times as fast");
    c.autoRun->add_flag("--live", c.live,
                        "follow every race of the day to its post time (the window's ライブ): "
                        "every 10 minutes, every minute in the last 30, once at post, the "
                        "results after post; ends when the day is done");
    c.autoRun->add_option("--until", c.until, "stop when the clock passes \"HH:MM\"");

    c.fetchResults = app.add_subcommand(
        "fetch-results", "fetch and merge the results and payouts of a day (結果情報)");
    c.fetchResults->add_option("DAY", c.day, "day as 2026年11月29日, 20261129 or 2026-11-29")
        ->required();
}

int runAcquisitionCommand(const AcquisitionCommands& c, const AppDir& appDir,
                          TerminalPerson& person, const Clock& clock)
{
    if (c.jvlink->parsed())
        return jvlinkCommand(c, appDir, person);
    // fetch-cards --now: the replay publishes by that fixed time.
    std::optional<SettableClock> fixed;
    if (c.fetchCards->parsed() && !c.now.empty()) {
        auto at = parseNow(c.now);
        if (!at) {
            std::cerr << "日時が不正です (yyyy-mm-dd HH:MM): " << c.now << "\n";
            return 1;
        }
        fixed.emplace(*at);
    }
    const Clock& linkClock = fixed ? static_cast<const Clock&>(*fixed) : clock;
    ErrorLog errorLog(appDir.errorLogFile(), clock,
                      [&](const std::string& message) { person.status(message); });
    // What the bridge met (a timeout, a missing Wine) is said and kept in the error log.
    std::unique_ptr<JvLink> link = makeJvLink(
        appDir.root(), readJvLinkChoice(appDir.root()),
        [&](const std::string& m) {
            try {
                errorLog.append(m);
            } catch (const std::exception&) {
                std::cerr << m << "\n";
            }
        },
        &linkClock);
    // What the replay could not use of its feed is said on every way out.
    struct WarningsAtExit
    {
        JvLink& link;
        ~WarningsAtExit()
        {
            auto* replay = dynamic_cast<ReplayJvLink*>(&link);
            if (replay == nullptr)
                return;
            for (const auto& w : replay->feedWarnings())
                std::cerr << w << "\n";
            for (const auto& w : replay->faultWarnings())
                std::cerr << w << "\n";
        }
    } warnings{*link};
    if (auto* replay = dynamic_cast<ReplayJvLink*>(link.get()); replay && fixed)
        replay->setStoredDataByClock(true); // the cards as they stood then
    if (!initialise(*link))
        return 1;
    std::signal(SIGINT, onInterrupt);
    if (c.fetchCards->parsed())
        return fetchCardsCommand(c, appDir, *link, person, clock);
    if (c.fetchOdds->parsed() && !c.oddsDay.empty()) {
        if (c.races.empty()) {
            std::cerr << "--races を指定してください。\n";
            return 1;
        }
        return scheduleFetchCommand(c, appDir, *link, person, clock);
    }
    if (c.fetchOdds->parsed() && c.raceKey.empty()) {
        std::cerr << "RACEKEY か --day を指定してください。\n";
        return 1;
    }
    if (c.fetchOdds->parsed())
        return fetchOddsCommand(c, appDir, *link, person, clock);
    if (c.autoRun->parsed())
        return autoCommand(c, appDir, *link, person, clock);
    return fetchResultsCommand(c, appDir, *link, person, clock);
}

} // namespace sorvantix::cli
