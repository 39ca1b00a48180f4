#pragma once

#include "core/analysis/suisho_params.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// What the parameter window needs from the person and the settings file.
class SuishoSetPort
{
public:
    virtual ~SuishoSetPort() = default;
    // Information box with an OK button.
    virtual void information(const std::string& message) = 0;
    // Yes/No confirmation; true for Yes.
    virtual bool askYesNo(const std::string& question) = 0;
    // "UserSetting"/"SetID"; nullopt when missing or not an integer.
    virtual std::optional<int> readSetId() = 0;
    virtual void writeSetId(int setId) = 0;
    // "Time"/"First" read as an integer; nullopt when missing or not an integer.
    virtual std::optional<int> readFirstTime() = 0;
};

// The window "推奨馬設定" (TSuishoSetForm) without a window: the set list
// (ComboBox1), the 16 value boxes and their six read-only copies (SEdit1..SEdit24),
// the name box (Edit1), registering and deleting sets. The file is read at open()
// and written whole after every change.
class SuishoSetModel
{
public:
    static constexpr const char* kBuiltInName = "既定値";
    static constexpr int kNameMaxChars = 8;

    // `runnerCount`: registered runner count of the race selected in the main window
    // (0 without race data); it caps the integer boxes.
    SuishoSetModel(SuishoSetPort& port, std::filesystem::path userSetFile, int runnerCount);

    // Loads the file's lines (none when it does not exist), sets the judgement time
    // and fills the set list, which selects the entry "SetID". Throws Error when the
    // file exists but cannot be read.
    void open();

    // Judgement time shown beside "判定時刻": "First" formatted "0000" as "hh:mm".
    const std::string& judgementTime() const { return m_judgementTime; }

    // Entries of ComboBox1: "既定値", then the last comma-text field of each line.
    const std::vector<std::string>& setList() const { return m_setList; }
    int selectedIndex() const { return m_selected; }
    const std::vector<std::string>& lines() const { return m_lines; }

    // Chooses entry `index` (ComboBox1Change): writes "SetID" and fills the boxes.
    // An index without a usable line (out of range, fewer than 16 fields) is
    // reported and "既定値" is chosen instead.
    void select(int index);

    // Text of box "SEdit1".."SEdit24" (SEdit12 and SEdit15 do not exist). Throws
    // std::invalid_argument for any other name.
    const std::string& box(std::string_view name) const;

    // The person edits an editable box; the box rules run (integer limits, copies).
    // Throws std::invalid_argument for a copy box or an unknown name.
    void setBox(std::string_view name, std::string text);

    // The 16 editable box texts in file order.
    std::array<std::string, kSuishoFieldCount> values() const;

    // Name box Edit1, at most 8 characters (longer input is cut).
    const std::string& nameText() const { return m_name; }
    void setNameText(std::string_view text);

    // "設定追加登録(R)" (BitBtn2Click). Throws Error when the file cannot be written;
    // the stored lines then stay as they were.
    void registerSet();

    // "設定削除" (SpeedButton2Click). Throws Error when the file cannot be written;
    // the stored lines and the list then stay as they were.
    void deleteSet();

private:
    void fillSetList();
    void applyBoxRules(int boxNo);
    void putBox(int boxNo, std::string text);
    void refreshCopies();

    SuishoSetPort& m_port;
    std::filesystem::path m_file;
    int m_runnerCount;
    std::vector<std::string> m_lines;
    std::vector<std::string> m_setList;
    int m_selected = -1;
    std::array<std::string, 25> m_boxes; // by box number, 0 unused
    std::string m_name;
    std::string m_judgementTime;
};

} // namespace sorvantix
