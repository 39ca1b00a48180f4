#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace sorvantix {
class AppDir;
class Clock;
} // namespace sorvantix

namespace sorvantix::cli {

class TerminalPerson;

// The JV-Link commands of sorvantix-cli, over the JV-Link chosen for the application
// folder (the replay, or the real one through its bridge): jvlink, fetch-cards,
// fetch-odds, fetch-results, auto.
struct AcquisitionCommands
{
    CLI::App* jvlink = nullptr;
    CLI::App* fetchCards = nullptr;
    CLI::App* fetchOdds = nullptr;
    CLI::App* fetchResults = nullptr;
    CLI::App* autoRun = nullptr;

    std::string feed;
    // jvlink: the real JV-Link through its bridge.
    std::string winePrefix;
    std::string bridgePath;
    std::string winePath;
    bool noRunner = false;
    bool settingsDialog = false;
    int openTimeout = 0; // seconds; 0 = unchanged
    int readTimeout = 0;
    std::string from;
    bool setup = false;
    std::string raceKey;
    std::string day;
    // fetch-odds through the schedule window.
    std::string oddsDay;
    std::string races; // 1-based race list positions, "1,3,5"
    bool flash = false;
    // auto.
    std::string now; // "yyyy-mm-dd HH:MM": start of a simulated clock
    double speed = 1;
    std::string until; // "HH:MM"
    bool live = false; // follow every race to its post time

    // Whether one of these commands was given.
    bool chosen() const;
};

// Registers the commands and their options on the program's parser.
void addAcquisitionCommands(CLI::App& app, AcquisitionCommands& commands);

// Runs the chosen command and returns the program's exit code (0 success, 1 failure).
// Messages go to `person`, results to standard output. Ctrl-C cancels a running
// acquisition (a second Ctrl-C ends the program). Throws Error for file failures.
int runAcquisitionCommand(const AcquisitionCommands& commands, const AppDir& appDir,
                          TerminalPerson& person, const Clock& clock);

} // namespace sorvantix::cli
