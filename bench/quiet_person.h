// A person who answers every question with yes and keeps nothing: the benchmarks
// measure the operations, not what a window would show.

#pragma once

#include "core/text/person.h"

#include <filesystem>
#include <string>

namespace bench {

class QuietPerson : public sorvantix::Person
{
public:
    void beep() override {}
    void information(const std::string&) override {}
    bool question(const std::string&) override { return true; }
    void status(const std::string&) override {}
    void setClipboardText(const std::string&) override {}
    void openFile(const std::filesystem::path&) override {}
};

} // namespace bench
