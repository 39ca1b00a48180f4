#pragma once

#include "core/text/person.h"

#include <string>
#include <vector>

namespace sorvantix::test {

// Records what is said to the person as one ordered log ("beep", "info <text>",
// "status <text>"), so the order of a beep and its box is checked too. Questions are
// answered Yes.
class LogPerson : public Person
{
public:
    void beep() override { log.push_back("beep"); }
    void information(const std::string& text) override { log.push_back("info " + text); }
    bool question(const std::string& text) override
    {
        log.push_back("ask " + text);
        return true;
    }
    void status(const std::string& text) override { log.push_back("status " + text); }
    void setClipboardText(const std::string& text) override { log.push_back("clipboard " + text); }
    void openFile(const std::filesystem::path& file) override
    {
        log.push_back("open " + file.string());
    }

    std::vector<std::string> log;
};

} // namespace sorvantix::test
