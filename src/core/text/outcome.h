#pragma once

#include <string>
#include <utility>

namespace sorvantix {

// What an operation of the main window came to. Faults travel inside the core as
// exceptions (Error for input faults, std::logic_error for our own bugs); the
// Workbench's boundary catches them and turns them into one of these, after the
// person has been told. The CLI maps it to its exit code, the GUI may ignore it.
struct Outcome
{
    enum class Kind {
        Done,        // the operation ran
        NothingToDo, // nothing to act on (no day, no race, an index out of range)
        Failed,      // it failed; `message` says what failed and where
    };

    Kind kind = Kind::Done;
    std::string message;

    static Outcome done() { return {}; }
    static Outcome nothingToDo(std::string why = {}) { return {Kind::NothingToDo, std::move(why)}; }
    static Outcome failure(std::string message) { return {Kind::Failed, std::move(message)}; }

    bool failed() const { return kind == Kind::Failed; }
    bool isDone() const { return kind == Kind::Done; }
};

} // namespace sorvantix
