#include "core/app/suisho_table_model.h"

#include "core/analysis/suisho_file.h"
#include "core/text/cp932.h"
#include "core/text/day_name.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExtension = ".sei";
constexpr std::string_view kFullWidthSpace = "　";
// What fromCp932 puts in place of bytes that are not CP932.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isBlank(std::string_view text)
{
    return trimmed(text).empty();
}

// File names of the "*.sei" files in the folder, ascending. A folder that is missing
// or cannot be listed has none: the window then has nothing to show, which is all
// the person needs to know.
std::vector<std::string> seiFileNames(const fs::path& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_regular_file(typeEc) && it->path().extension() == kExtension)
            names.push_back(it->path().filename().string());
    }
    // Directory order is whatever the file system keeps.
    std::sort(names.begin(), names.end());
    return names;
}

// The year and 年 a name starts with (its first 6 CP932 bytes), "" when the name does
// not start with four digits and 年.
std::string yearOf(std::string_view name)
{
    const std::string year = cp932Prefix(name, 6);
    const std::string_view view = year;
    if (view.size() != 7 || !isDigits(view.substr(0, 4)) || view.substr(4) != "年")
        return {};
    return year;
}

std::string stemOf(const std::string& fileName)
{
    return fileName.substr(0, fileName.size() - kExtension.size());
}

// Stored bytes for a message: as text when they are CP932, else with \xNN escapes.
std::string shown(std::string_view bytes)
{
    const std::string text = fromCp932(bytes);
    if (text.find(kReplacement) != std::string::npos)
        return "\"" + printableBytes(bytes) + "\"";
    return "\"" + text + "\"";
}

void setFill(CellStyle& style, std::uint32_t rgb)
{
    style.fill = CellStyle::Fill::Colour;
    style.background = rgb;
}

} // namespace

SuishoTableModel::SuishoTableModel(fs::path suishoDir)
    : m_dir(std::move(suishoDir)), m_grid(kColumns, kRows)
{
    m_grid.setCell(1, 0, "頭数");
    for (int k = 1; k <= kMaxHorse; ++k)
        m_grid.setCell(k + 1, 0, "全S" + std::to_string(k));
    for (int race = 1; race <= kSuishoMaxRace; ++race)
        m_grid.setCell(0, race, format("%2dR", race));
}

bool SuishoTableModel::open()
{
    m_years.clear();
    m_yearIndex = -1;
    m_files.clear();
    m_fileIndex = -1;
    clearDisplay();

    std::set<std::string> years;
    for (const auto& name : seiFileNames(m_dir)) {
        std::string year = yearOf(name);
        if (!year.empty())
            years.insert(std::move(year));
    }
    // Files without a year could never be chosen, so they count as no data.
    if (years.empty())
        return false;
    m_years.assign(years.rbegin(), years.rend());
    ComboBox1Click(0);
    return true;
}

void SuishoTableModel::ComboBox1Click(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_years.size())
        return;
    m_yearIndex = index;
    m_files.clear();
    m_fileIndex = -1;
    // Listed afresh: files may have been added or removed since the window opened.
    const std::vector<std::string> names = seiFileNames(m_dir);
    const std::string& year = m_years[static_cast<size_t>(index)];
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        if (yearOf(*it) == year)
            m_files.push_back(stemOf(*it));
    if (m_files.empty()) {
        clearDisplay(); // nothing of that year is left to show
        return;
    }
    ListBox1Click(0);
}

void SuishoTableModel::ListBox1Click(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_files.size())
        return;
    m_fileIndex = index;
    clearDisplay();
    m_title = m_files[static_cast<size_t>(index)];
    load(m_dir / (m_title + std::string(kExtension)));
}

void SuishoTableModel::clearDisplay()
{
    for (int row = 1; row < kRows; ++row)
        for (int column = 1; column < kColumns; ++column)
            m_grid.setCell(column, row, "");
    for (auto& race : m_mark)
        race.fill(0);
    for (auto& race : m_rank)
        race.fill(0);
    m_title.clear();
    m_warnings.clear();
}

void SuishoTableModel::load(const fs::path& file)
{
    m_fileName = file.filename().string();
    std::vector<std::string> lines;
    try {
        lines = splitLines(readFileBytes(file));
    } catch (const Error& e) {
        m_warnings.emplace_back(e.what());
        return;
    }
    if (lines.size() < static_cast<size_t>(kSuishoFileLines))
        m_warnings.push_back(
            format("%s: %zu 行しかありません(%d 行のはず)。%zu 行目から先のレースは空欄です。",
                   m_fileName.c_str(), lines.size(), kSuishoFileLines, lines.size() + 1));

    static const std::string kMissing;
    auto lineAt = [&](size_t at) -> const std::string& {
        return at < lines.size() ? lines[at] : kMissing;
    };
    for (int race = 1; race <= kSuishoMaxRace; ++race) {
        const size_t base = static_cast<size_t>(5 * (race - 1));
        if (base >= lines.size())
            break;
        const std::string& header = lines[base];
        if (!header.empty() && header != format("%2dR", race))
            warn(base, "レース番号の行 " + shown(header) + " は " + shown(format("%2dR", race)) +
                           " のはずです。");
        readRunners(lineAt(base + 1), race, base + 1);
        readList(lineAt(base + 2), race, 1, base + 2);
        readList(lineAt(base + 3), race, 2, base + 3);

        // Ranks are unique within a race, so two horses on one rank mean a damaged
        // list; the later horse number is shown and the other one named.
        std::array<int, kMaxHorse + 1> horseOnRank{};
        for (int horse = 1; horse <= kMaxHorse; ++horse) {
            const size_t h = static_cast<size_t>(horse);
            const size_t r = static_cast<size_t>(race);
            if (m_mark[r][h] == 0)
                continue;
            const int rank = m_rank[r][h];
            int& earlier = horseOnRank[static_cast<size_t>(rank)];
            if (earlier != 0)
                warn(m_mark[r][h] == 2 ? base + 3 : base + 2,
                     format("馬番 %d と %d が同じ順位 %d です。%d は表示されません。", earlier,
                            horse, rank, earlier));
            earlier = horse;
            m_grid.setCell(rank + 1, race, format("%2d", horse));
        }
    }
}

void SuishoTableModel::readRunners(const std::string& line, int race, size_t lineIndex)
{
    const std::string text = fromCp932(line);
    m_grid.setCell(1, race, text);
    if (text.find(kReplacement) != std::string::npos)
        warn(lineIndex, "頭数の行に CP932 でないバイトがあります: " + shown(line));

    const std::string head = field(line, 1, 2);
    if (isBlank(head)) {
        if (!isBlank(line))
            warn(lineIndex, "頭数の行に頭数がありません: " + shown(line));
        return;
    }
    const auto runners = parseInt(trimmed(head));
    if (!runners || *runners < 0) {
        warn(lineIndex, "頭数 " + shown(head) + " は 0 以上の数ではありません。");
        return;
    }
    // Ranks beyond the field cannot be taken; above 18 runners nothing is greyed.
    for (int column = *runners + 2; column < kColumns; ++column)
        m_grid.setCell(column, race, std::string(kFullWidthSpace));
    const std::string expected = format("%2d頭", *runners);
    if (line != toCp932(expected))
        warn(lineIndex,
             "頭数の行 " + shown(line) + " は \"" + expected + "\" の形ではありません。");
}

void SuishoTableModel::readList(const std::string& line, int race, int markValue, size_t lineIndex)
{
    const std::string listName = markValue == 2 ? "特奨馬" : "推奨馬";
    const std::string_view bytes = line;
    const size_t groups = bytes.size() / 4;
    for (size_t g = 0; g < groups; ++g) {
        const std::string_view group = bytes.substr(g * 4, 4);
        const auto horse = parseInt(trimmed(group.substr(0, 2)));
        const auto rank = parseInt(trimmed(group.substr(2, 2)));
        const std::string where = format("%s %zu 組目 ", listName.c_str(), g + 1) + shown(group);
        if (!horse || !rank) {
            warn(lineIndex, where + " は馬番と順位の数字ではありません。");
            continue;
        }
        if (*horse < 1 || *horse > kMaxHorse) {
            warn(lineIndex, where + format(": 馬番 %d は 1～%d の外です。", *horse, kMaxHorse));
            continue;
        }
        if (*rank < 1 || *rank > kMaxHorse) {
            warn(lineIndex, where + format(": 順位 %d は 1～%d の外です。", *rank, kMaxHorse));
            continue;
        }
        // The special list is read after the recommended one, so a horse in both
        // ends as special with the special list's rank.
        const size_t r = static_cast<size_t>(race);
        const size_t h = static_cast<size_t>(*horse);
        m_mark[r][h] = markValue;
        m_rank[r][h] = *rank;
    }
    if (bytes.size() % 4 != 0)
        warn(lineIndex, listName + "の行の末尾 " + shown(bytes.substr(groups * 4)) +
                            " は 4 文字の組になっていないので読みません。");
}

void SuishoTableModel::warn(size_t lineIndex, const std::string& problem)
{
    m_warnings.push_back(format("%s %zu 行目: ", m_fileName.c_str(), lineIndex + 1) + problem);
}

int SuishoTableModel::mark(int race, int horse) const
{
    if (race < 1 || race > kSuishoMaxRace || horse < 1 || horse > kMaxHorse)
        return 0;
    return m_mark[static_cast<size_t>(race)][static_cast<size_t>(horse)];
}

int SuishoTableModel::rank(int race, int horse) const
{
    if (race < 1 || race > kSuishoMaxRace || horse < 1 || horse > kMaxHorse)
        return 0;
    return m_rank[static_cast<size_t>(race)][static_cast<size_t>(horse)];
}

CellStyle SuishoTableModel::StringGrid5DrawCell(int column, int row) const
{
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows)
        return {};
    const std::string& text = m_grid.cell(column, row);
    CellStyle style;
    if (row == 0 || column == 0) {
        setFill(style, colours::Silver);
    } else if (column == 1) {
        style = CellStyle{CellStyle::Fill::InfoBackground};
    } else {
        if (!isBlank(m_grid.cell(column, 0)) && !isBlank(m_grid.cell(0, row)))
            setFill(style, colours::White);
        const std::string_view t = trimmed(text);
        if (!t.empty() && t != kFullWidthSpace) {
            style = CellStyle{CellStyle::Fill::InfoBackground};
            style.textColour = mark(row, toIntDef(t, 0)) == 2 ? colours::Blue : colours::Black;
        }
    }
    // These two apply to every cell, headers included: the blank top-left header
    // cell is painted white by them.
    if (text == kFullWidthSpace)
        setFill(style, colours::Grey);
    else if (isBlank(text))
        setFill(style, colours::White);
    if (text == "--")
        style.drawText = false;
    return style;
}

std::string suishoTableText(const SuishoTableModel& model)
{
    const TextGrid& grid = model.StringGrid5();
    std::string out = model.title() + "\n";
    for (int row = 0; row < grid.rowCount(); ++row) {
        std::string line;
        for (int column = 0; column < grid.columnCount(); ++column) {
            std::string text = grid.cell(column, row);
            if (text == kFullWidthSpace) {
                text = "-";
            } else if (row > 0 && column > 1 && !isBlank(text)) {
                const int mark = model.mark(row, toIntDef(trimmed(text), 0));
                text = (mark == 2 ? "☆" : mark == 1 ? "★" : "") + text;
            }
            line += padLeft(text, 6);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

int SuishoTableModel::columnWidth(int column)
{
    if (column < 0 || column >= kColumns)
        return 0;
    return column <= 1 ? 30 : 35;
}

} // namespace sorvantix
