#include "cli/acquisition_commands.h"

#include "core/app/app_dir.h"
#include "core/app/clock.h"
#include "core/app/error_log.h"
#include "core/app/ini_file.h"
#include "core/app/person.h"
#include "core/app/startup.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/odds/odds_files.h"
#include "core/odds/realtime_odds.h"
#include "core/results/payout_acquisition.h"
#include "core/store/card_acquisition.h"
#include "core/store/day_store.h"
#include "core/store/race_key.h"
#include "core/text/day_name.h"
#include "core/text/field.h"
#include "core/text/text_file.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

namespace sorvantix::cli {

namespace fs = std::filesystem;

namespace {

// Set by Ctrl-C; the acquisitions check it between reads and ticks.
std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int)
{
    g_cancel = true;
    // A second Ctrl-C ends the program, should JV-Link hang.
    std::signal(SIGINT, SIG_DFL);
}

// The terminal's person without the emptied status label, which would only print
// blank lines.
class CommandPerson : public Person
{
public:
    explicit CommandPerson(Person& person) : m_person(person) {}
    void beep() override { m_person.beep(); }
    void information(const std::string& text) override { m_person.information(text); }
    bool question(const std::string& text) override { return m_person.question(text); }
    void status(const std::string& text) override
    {
        if (!text.empty())
            m_person.status(text);
    }

private:
    Person& m_person;
};

std::optional<DayName> dayArgument(const std::string& arg)
{
    if (auto d = DayName::parse(arg))
        return d;
    std::string digits;
    for (char c : arg)
        if (c != '-' && c != '/')
            digits += c;
    return DayName::fromDigits(digits);
}

// Every acquisition but the settings needs an initialised JV-Link.
bool initialise(ReplayJvLink& link)
{
    if (auto message = initJvLink(link)) {
        std::cerr << *message << "\n";
        return false;
    }
    return true;
}

int jvlinkCommand(const AcquisitionCommands& c, ReplayJvLink& link, Person& person)
{
    if (!c.feed.empty()) {
        link.setFeedFolder(fs::absolute(c.feed));
        if (setJvLinkProperties(link, person) != 0)
            return 1;
    }
    std::cout << link.feedFolder().string() << "\n";
    if (!link.settingsProblem().empty()) {
        std::cerr << link.settingsProblem() << "\n";
        return 1;
    }
    return 0;
}

int fetchCardsCommand(const AcquisitionCommands& c, const AppDir& appDir, ReplayJvLink& link,
                      Person& person, const Clock& clock)
{
    TIniGT ini(appDir.iniFile());
    size_t printedLines = 0;
    std::string shownLabel;
    TGetDataForm form(link, appDir.root(), ini, clock, person, g_cancel,
                      [&](const GetDataFormView& view) {
                          if (view.ListBox1.size() < printedLines)
                              printedLines = 0; // a new run cleared the list
                          for (; printedLines < view.ListBox1.size(); ++printedLines)
                              std::cout << view.ListBox1[printedLines] << "\n";
                          if (view.ProgressLabel != shownLabel && !view.ProgressLabel.empty())
                              std::cerr << view.ProgressLabel << "\n";
                          shownLabel = view.ProgressLabel;
                      });
    form.FormCreate();
    if (!c.from.empty()) {
        auto from = parseFromTime(c.from);
        if (!from) {
            std::cerr << "取得開始日時が不正です (yyyymmddhhnnss): " << c.from << "\n";
            return 1;
        }
        form.setFromDate(*from);
    }
    if (c.setup)
        form.setSetup(true);
    const CardRunOutcome outcome = runCardAcquisition(
        form, [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
    std::cerr << form.storedRecords() << "件のレコードを保存しました\n";
    const bool ok = outcome == CardRunOutcome::Completed || outcome == CardRunOutcome::NoNewData;
    return ok && form.closeResult() == 0 ? 0 : 1;
}

void printOddsFile(const AppDir& appDir, const std::string& raceKey, const char* extension)
{
    const fs::path path = oddsFilePath(appDir.root(), raceKey, extension);
    const std::string shown = fs::relative(path, appDir.root()).string();
    if (!fs::exists(path)) {
        std::cout << shown << "\tなし\n";
        return;
    }
    const auto lines = readLinesRaw(path);
    std::cout << shown << "\t" << lines.size() << "件\n";
    for (const auto& line : lines)
        std::cout << "  " << timeComboItem(line) << "\n";
}

int fetchOddsCommand(const AcquisitionCommands& c, const AppDir& appDir, ReplayJvLink& link,
                     Person& person, const ErrorLogAppend& appendError)
{
    auto key = RaceKey::tryParse(c.raceKey);
    if (!key) {
        std::cerr << "レースキーが不正です: " << c.raceKey << "\n";
        return 1;
    }
    DayLoad load = loadDay(appDir.root(), key->dayName(), DayStore());
    const auto& slots = load.store.RaRecs;
    auto slot = std::find_if(slots.begin(), slots.end(), [&](const std::string& ra) {
        return field(ra, 12, 16) == key->text();
    });
    if (slot == slots.end()) {
        std::cerr << "レースがありません: " << key->text() << "\n";
        return 1;
    }
    OddsRecvLists lists;
    SokuhoOddsResult result =
        SokuhoOddsBtnClick(link, appDir.root(), *slot, lists, person, appendError, &g_cancel);
    printOddsFile(appDir, key->text(), kO1Extension);
    printOddsFile(appDir, key->text(), kO2Extension);
    const bool ok =
        result.o1 == OddsRequestOutcome::Stored && result.o2 == OddsRequestOutcome::Stored;
    return ok ? 0 : 1;
}

int fetchResultsCommand(const AcquisitionCommands& c, const AppDir& appDir, ReplayJvLink& link,
                        Person& person, const ErrorLogAppend& appendError)
{
    auto day = dayArgument(c.day);
    if (!day) {
        std::cerr << "日付が不正です: " << c.day << "\n";
        return 1;
    }
    DayLoad load = loadDay(appDir.root(), *day, DayStore());
    if (load.items.empty()) {
        std::cerr << "データがありません: " << day->text() << "\n";
        return 1;
    }
    KekkaGetResult result = KekkaGetBtnClick(link, appDir.root(), load.store, load.items[0].slot,
                                             false, person, appendError, &g_cancel);
    PayoutImport import = HrReadBtnClick(appDir.root(), *day, load.store);
    for (const auto& warning : import.warnings)
        std::cerr << warning << "\n";
    std::cerr << result.read.stored << "件のレコードを取り込みました\n";
    for (const auto& item : load.items) {
        const size_t s = static_cast<size_t>(item.slot);
        std::cout << item.text;
        if (load.store.HrMerged[s]) {
            const std::string& hr = load.store.HrRecs[s];
            std::cout << "\t単勝 " << field(hr, 103, 2) << " " << toIntDef(field(hr, 105, 9), 0)
                      << "円";
        } else {
            std::cout << "\t払戻なし";
        }
        std::cout << "\n";
    }
    const bool ok = result.openResult == 0 && result.read.readEnd == 0 && !result.read.cancelled;
    return ok ? 0 : 1;
}

} // namespace

bool AcquisitionCommands::chosen() const
{
    for (const CLI::App* command : {jvlink, fetchCards, fetchOdds, fetchResults})
        if (command != nullptr && command->parsed())
            return true;
    return false;
}

void addAcquisitionCommands(CLI::App& app, AcquisitionCommands& c)
{
    c.jvlink = app.add_subcommand("jvlink", "the replay JV-Link's feed folder: show or set it");
    c.jvlink->add_option("--feed", c.feed, "feed folder to serve from now on");

    c.fetchCards = app.add_subcommand(
        "fetch-cards",
        "download race cards (JVデータ取得) since the last download; Ctrl-C cancels");
    c.fetchCards->add_option("--from", c.from,
                             "from-time yyyymmddhhnnss instead of the last download time");
    c.fetchCards->add_flag("--setup", c.setup, "set-up data instead of normal data");

    c.fetchOdds = app.add_subcommand(
        "fetch-odds", "fetch the odds series of a race (ｵｯｽﾞ取得) and list the stored time points");
    c.fetchOdds->add_option("RACEKEY", c.raceKey, "16-digit race key")->required();

    c.fetchResults = app.add_subcommand(
        "fetch-results", "fetch and merge the results and payouts of a day (結果情報)");
    c.fetchResults->add_option("DAY", c.day, "day as 2026年11月29日, 20261129 or 2026-11-29")
        ->required();
}

int runAcquisitionCommand(const AcquisitionCommands& c, const AppDir& appDir, Person& terminal,
                          const Clock& clock)
{
    CommandPerson person(terminal);
    ReplayJvLink link(appDir.root());
    if (c.jvlink->parsed())
        return jvlinkCommand(c, link, person);
    if (!initialise(link))
        return 1;
    std::signal(SIGINT, onInterrupt);
    ErrorLog errorLog(appDir.errorLogFile(), clock,
                      [&](const std::string& message) { person.status(message); });
    ErrorLogAppend appendError = [&](const std::string& message) { errorLog.append(message); };
    if (c.fetchCards->parsed())
        return fetchCardsCommand(c, appDir, link, person, clock);
    if (c.fetchOdds->parsed())
        return fetchOddsCommand(c, appDir, link, person, appendError);
    return fetchResultsCommand(c, appDir, link, person, appendError);
}

} // namespace sorvantix::cli
