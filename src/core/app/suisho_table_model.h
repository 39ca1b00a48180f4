#pragma once

#include "core/present/cell_colours.h"
#include "core/text/text_grid.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace sorvantix {

inline constexpr const char* kSuishoTableCaption = "推奨馬・特奨馬一覧";
inline constexpr const char* kNoSuishoDataMessage = "一覧できるﾃﾞｰﾀがありません。";

// The window "推奨馬・特奨馬一覧" without a window: the year drop-down (ComboBox1), the
// file list (ListBox1), the title label and StringGrid5, which places each race's
// recommended (推) and special (特) runners in the column of their overall-share rank.
// It reads the recommended-horse files of one folder (AppDir/Suisho) and never writes.
class SuishoTableModel
{
public:
    static constexpr int kColumns = 20;
    static constexpr int kRows = 13;
    static constexpr int kMaxHorse = 18;
    static constexpr int kRowHeight = 15; // pixels

    // `suishoDir`: the folder of the "*.sei" files; it need not exist.
    explicit SuishoTableModel(std::filesystem::path suishoDir);

    // Opening. Returns false when the folder (missing, unreadable or not a folder
    // counts as empty) holds no "*.sei" file whose name starts with a year, as
    // "2005年"; the caller then shows kNoSuishoDataMessage and does not open the
    // window. Otherwise fills the year list (newest first), selects year 0 and runs
    // ComboBox1Click(0). Never throws for folder or file faults.
    bool open();

    // ComboBox1 items: "yyyy年", newest first, each year once.
    const std::vector<std::string>& years() const { return m_years; }
    // Selected year, -1 before open().
    int yearIndex() const { return m_yearIndex; }

    // A year chosen: lists the folder again and fills the file list with that year's
    // files, newest first, without extension; selects entry 0 and runs
    // ListBox1Click(0). When the year's files have gone meanwhile, the list and the
    // grid are left empty. An index outside years() does nothing.
    void ComboBox1Click(int index);

    // ListBox1 items, e.g. "2005年01月05日中山".
    const std::vector<std::string>& files() const { return m_files; }
    // Selected file, -1 when none.
    int fileIndex() const { return m_fileIndex; }

    // A file chosen: clears the grid and both tables, shows the name in the title and
    // loads "<name>.sei". What cannot be read is skipped and listed in warnings();
    // never throws. An index outside files() does nothing.
    void ListBox1Click(int index);

    // The title label above the grid: the chosen file name without extension.
    const std::string& title() const { return m_title; }

    // 20 columns x 13 rows. Row 0: "", "頭数", "全S1".."全S18"; column 0 of rows 1..12:
    // "%2dR" (" 1R".."12R"). Column 1 holds the race's runner count line as stored,
    // column k+1 the "%2d" horse number of rank k, "　" for ranks beyond the field.
    const TextGrid& StringGrid5() const { return m_grid; }

    // 0 none, 1 推 (recommended), 2 特 (special) for race 1..12 and horse 1..18;
    // 0 outside those ranges.
    int mark(int race, int horse) const;
    // Overall-share rank 1..18 of a marked horse as the file lists it; 0 when the horse
    // is not marked or outside the ranges of mark().
    int rank(int race, int horse) const;

    // How StringGrid5's cell (column, row) is painted; the default style outside the
    // grid.
    CellStyle StringGrid5DrawCell(int column, int row) const;

    // What could not be read in the chosen file (a short file, lines that are not as
    // written, list groups that are not numbers, horse numbers or ranks outside
    // 1..18, two horses on one rank, bytes that are not CP932, a file that cannot be
    // read), one text per problem naming the file and the line (1-based). Empty for a
    // sound file; rebuilt on every file selection.
    const std::vector<std::string>& warnings() const { return m_warnings; }

    // Width in pixels of grid column 0..19: 30 for columns 0 and 1, 35 for the others;
    // 0 outside the grid.
    static int columnWidth(int column);

private:
    void clearDisplay();
    void load(const std::filesystem::path& file);
    void readRunners(const std::string& line, int race, size_t lineIndex);
    void readList(const std::string& line, int race, int markValue, size_t lineIndex);
    void warn(size_t lineIndex, const std::string& problem);

    std::filesystem::path m_dir;
    std::vector<std::string> m_years;
    int m_yearIndex = -1;
    std::vector<std::string> m_files;
    int m_fileIndex = -1;
    std::string m_title;
    std::string m_fileName; // of the loaded file, for warnings
    TextGrid m_grid;
    std::array<std::array<int, kMaxHorse + 1>, kRows> m_mark{};
    std::array<std::array<int, kMaxHorse + 1>, kRows> m_rank{};
    std::vector<std::string> m_warnings;
};

// The chosen file's table for a terminal: the title, then one line per grid row, each
// cell right-aligned to 6 columns (display width) and trailing blanks cut. A marked
// horse shows its mark before its number ("★ 5" recommended, "☆11" special), a rank
// beyond the field "-".
std::string suishoTableText(const SuishoTableModel& model);

} // namespace sorvantix
