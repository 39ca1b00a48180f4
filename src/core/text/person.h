#pragma once

#include <filesystem>
#include <string>

namespace sorvantix {

// How the Workbench reaches the person at the screen. The GUI implements it with
// message boxes and the status label, the CLI with the terminal, tests with a
// recorder. Texts are UTF-8 and shown exactly as given.
class Person
{
public:
    virtual ~Person() = default;
    virtual void beep() = 0;
    // A modal information box with an OK button.
    virtual void information(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool question(const std::string& text) = 0;
    // The status label under the race list (DLlabel).
    virtual void status(const std::string& text) = 0;
    // Puts the text (UTF-8) on the clipboard as plain text.
    virtual void setClipboardText(const std::string& text) = 0;
    // Asks the desktop to open the file with its default application.
    virtual void openFile(const std::filesystem::path& file) = 0;
};

} // namespace sorvantix
