#include "cli/terminal.h"

#include "core/text/error.h"

#include <iostream>

namespace sorvantix::cli {

void TerminalPerson::information(const std::string& text)
{
    ++informations;
    if (!quiet)
        std::cerr << text << "\n";
}

bool TerminalPerson::question(const std::string& text)
{
    std::cerr << text << " -> はい\n";
    return true;
}

void TerminalPerson::status(const std::string& text)
{
    if (!quiet && !text.empty())
        std::cerr << text << "\n";
}

void showStatus(Workbench& wb, TerminalPerson& person, std::function<bool()> only)
{
    wb.addListener([&wb, &person, only = std::move(only)](Parts parts) {
        if (parts.has(Part::Status) && (!only || only()))
            person.status(wb.state().DLlabel);
    });
}

void loadDay(Workbench& wb, TerminalPerson& person, const std::string& day)
{
    struct Quiet
    {
        bool& quiet;
        explicit Quiet(bool& q) : quiet(q) { quiet = true; }
        ~Quiet() { quiet = false; }
    };
    Outcome loaded;
    {
        Quiet quiet(person.quiet);
        wb.MakeDataListBtnClick();
        loaded = wb.selectDay(day);
    }
    if (loaded.kind == Outcome::Kind::NothingToDo)
        throw Error("データがありません: " + day);
    // A day file that cannot be read fails the load; its message was held back above.
    if (loaded.failed())
        throw Error(loaded.message);
    for (const auto& warning : wb.state().dayWarnings)
        std::cerr << warning << "\n";
}

} // namespace sorvantix::cli
