#pragma once

#include "core/app/workbench.h"
#include "core/text/person.h"

#include <filesystem>
#include <string>
#include <vector>

namespace sorvantix::cli {

// The terminal as the person: messages and status texts go to standard error (an
// emptied status label prints nothing), questions are answered Yes (the command line
// is the confirmation). While quiet, messages are kept back: loading a day also selects
// its first race, whose notices are not what was asked.
class TerminalPerson : public Person
{
public:
    void beep() override {}
    void information(const std::string& text) override;
    bool question(const std::string& text) override;
    void status(const std::string& text) override;
    // The terminal has no clipboard or viewer: the commands print what was published.
    void setClipboardText(const std::string& text) override { clipboard = text; }
    void openFile(const std::filesystem::path& file) override { opened.push_back(file); }

    bool quiet = false;
    int informations = 0;
    std::string clipboard;
    std::vector<std::filesystem::path> opened;
};

// The status label as the terminal shows it: each new text on standard error, unless
// `only` says no (then the text waits for the next change).
void showStatus(Workbench& wb, TerminalPerson& person,
                std::function<bool()> only = std::function<bool()>());

// Lists the days and loads `day` as the window does, its first race's notices held
// back; prints the damage found in its files. Throws Error when the day is not there
// or cannot be read.
void loadDay(Workbench& wb, TerminalPerson& person, const std::string& day);

} // namespace sorvantix::cli
