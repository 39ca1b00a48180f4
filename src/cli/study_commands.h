#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace sorvantix {
class AppDir;
class TaskInbox;
class Workbench;
} // namespace sorvantix

namespace sorvantix::cli {

// The study commands of sorvantix-cli: backtest, flow, board, export.
struct StudyCommands
{
    CLI::App* backtest = nullptr;
    CLI::App* flow = nullptr;
    CLI::App* board = nullptr;
    CLI::App* exportDb = nullptr;

    std::string from, to; // days
    std::string decision = "auto";
    std::vector<int> params; // parameter set indexes; empty: the active set
    bool csv = false;
    bool json = false;
    std::string plot; // .svg or .png
    unsigned long long seed = 20261209;
    int resamples = 1000;
    std::string raceKey;
    std::string fromTime, toTime; // MMDDhhmm
    std::string day;
    std::string sqlite;

    bool chosen() const;
};

void addStudyCommands(CLI::App& app, StudyCommands& commands);

// Runs the chosen command; returns the exit code. Throws Error for file failures.
int runStudyCommand(const StudyCommands& commands, const AppDir& appDir, Workbench& workbench,
                    TaskInbox& inbox);

} // namespace sorvantix::cli
