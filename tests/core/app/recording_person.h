#pragma once

#include "core/text/person.h"

#include <string>
#include <vector>

namespace sorvantix::test {

// Records what the Workbench says to the person; questions are answered from a queue
// (Yes when it is empty).
class RecordingPerson : public Person
{
public:
    void beep() override { ++beeps; }
    void information(const std::string& text) override { messages.push_back(text); }
    bool question(const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return true;
        bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    void status(const std::string& text) override { statuses.push_back(text); }
    void setClipboardText(const std::string& text) override { clipboard.push_back(text); }
    void openFile(const std::filesystem::path& file) override { opened.push_back(file); }

    int beeps = 0;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::string> statuses;
    std::vector<std::string> clipboard;        // every text put on the clipboard
    std::vector<std::filesystem::path> opened; // every file asked to be opened
    std::vector<bool> answers;
};

} // namespace sorvantix::test
