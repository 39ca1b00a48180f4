#include "core/analysis/suisho_file.h"
#include "core/app/suisho_table_model.h"
#include "core/app/temp_dir.h"
#include "core/text/cp932.h"
#include "core/text/text_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

using Fill = CellStyle::Fill;
using Texts = std::vector<std::string>;

void writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// Race 1's four lines (CP932 bytes) in a file of `lineCount` lines, CR LF each.
std::string raceOneFile(const std::string& header, const std::string& runners,
                        const std::string& suisho, size_t lineCount = kSuishoFileLines)
{
    std::vector<std::string> lines(kSuishoFileLines);
    lines[0] = header;
    lines[1] = runners;
    lines[2] = suisho;
    lines.resize(lineCount);
    std::string bytes;
    for (const auto& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

// Every entry of the folder with its bytes and modification time.
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        std::string stamp =
            std::to_string(fs::last_write_time(entry.path()).time_since_epoch().count());
        out[entry.path().string()] =
            stamp + (entry.is_regular_file() ? readFileBytes(entry.path()) : "<dir>");
    }
    return out;
}

} // namespace

TEST(SuishoTableModelTest, YearsNewestFirstAndTheFilesOfTheChosenYear)
{
    test::TempDir dir;
    writeSuishoLines(dir.path() / "2004年05月16日東京.sei", 1, 16, "", "");
    writeSuishoLines(dir.path() / "2005年01月05日中山.sei", 1, 16, "", "");
    SuishoTableModel model(dir.path());
    ASSERT_TRUE(model.open());
    EXPECT_EQ(model.years(), (Texts{"2005年", "2004年"}));
    EXPECT_EQ(model.files(), Texts{"2005年01月05日中山"});
    EXPECT_EQ(model.title(), "2005年01月05日中山");

    model.ComboBox1Click(2); // out of range: nothing changes
    EXPECT_EQ(model.yearIndex(), 0);
    model.ComboBox1Click(1);
    EXPECT_EQ(model.files(), Texts{"2004年05月16日東京"});
    EXPECT_EQ(model.title(), "2004年05月16日東京");
}

TEST(SuishoTableModelTest, ListsOnlyDatedSeiFilesNewestFirstAndOtherwiseHasNoData)
{
    test::TempDir dir;
    EXPECT_FALSE(SuishoTableModel(dir.path() / "Suisho").open()); // missing folder
    for (const char* name : {"2005年02月01日中山.txt", "2005年02月02日中山.SEI", "2006年.sei.bak",
                             "notes.sei", "205年01月05日.sei"})
        writeBytes(dir.path() / name, "");
    fs::create_directory(dir.path() / "2007年01月01日中山.sei");
    EXPECT_FALSE(SuishoTableModel(dir.path()).open()); // nothing with a year

    for (const char* name :
         {"2005年01月05日中山.sei", "2005年03月06日中山.sei", "2005年01月05日京都.sei"})
        writeBytes(dir.path() / name, "");
    SuishoTableModel model(dir.path());
    ASSERT_TRUE(model.open());
    EXPECT_EQ(model.years(), Texts{"2005年"});
    // Same day: UTF-8 name order (京 after 中), walked backwards.
    EXPECT_EQ(model.files(),
              (Texts{"2005年03月06日中山", "2005年01月05日京都", "2005年01月05日中山"}));
    EXPECT_EQ(model.fileIndex(), 0);
}

TEST(SuishoTableModelTest, PlacesMarkedHorsesByRankAndPaintsThem)
{
    test::TempDir dir;
    const fs::path file = dir.path() / "2005年01月05日中山.sei";
    writeSuishoLines(file, 1, 16, " 5 3", "11 1");
    writeSuishoLines(file, 2, 10, " 7 2 9 6", " 7 4"); // 7 in both lists
    SuishoTableModel model(dir.path());
    ASSERT_TRUE(model.open());
    EXPECT_TRUE(model.warnings().empty());
    const TextGrid& grid = model.StringGrid5();
    ASSERT_EQ(grid.columnCount(), 20);
    ASSERT_EQ(grid.rowCount(), 13);
    EXPECT_EQ(grid.cell(1, 0), "頭数");
    EXPECT_EQ(grid.cell(2, 0), "全S1");
    EXPECT_EQ(grid.cell(19, 0), "全S18");
    EXPECT_EQ(grid.cell(0, 12), "12R");

    EXPECT_EQ(model.mark(2, 7), 2);
    EXPECT_EQ(model.rank(2, 7), 4);
    EXPECT_EQ(model.mark(2, 9), 1);
    EXPECT_EQ(model.rank(1, 5), 3);
    EXPECT_EQ(model.mark(0, 5) + model.mark(13, 5) + model.mark(1, 0) + model.mark(1, 19), 0);

    struct Cell
    {
        int column, row;
        std::string text;
        CellStyle style;
    };
    const CellStyle info{Fill::InfoBackground};
    const CellStyle blueText{Fill::InfoBackground, 0, colours::Blue};
    const CellStyle white = CellStyle::colour(colours::White);
    const CellStyle grey = CellStyle::colour(colours::Grey);
    const CellStyle silver = CellStyle::colour(colours::Silver);
    const std::vector<Cell>
        cells{
            {0, 0, "", white}, // the blank-text rule also reaches the top-left header cell
            {1, 0, "頭数", silver}, {0, 1, " 1R", silver},  {1, 1, "16頭", info},
            {4, 1, " 5", info},     {2, 1, "11", blueText}, {3, 1, "", white},
            {17, 1, "", white},     {18, 1, "　", grey},    {19, 1, "　", grey},
            {5, 2, " 7", blueText}, // in both lists: special, at the special rank
            {3, 2, "", white},      {7, 2, " 9", info},     {12, 2, "　", grey},
            {1, 3, "", white},      {2, 3, "", white},      {19, 3, "", white},
        };
    for (const auto& [column, row, text, style] : cells) {
        SCOPED_TRACE(testing::Message() << "cell " << column << "," << row);
        EXPECT_EQ(grid.cell(column, row), text);
        EXPECT_EQ(model.StringGrid5DrawCell(column, row), style);
    }
}

struct DamagedCase
{
    const char* name;
    std::string header, runners, suisho;
    size_t lineCount;
    int firstGrey;                                  // first greyed column of race 1, 20 for none
    std::vector<std::pair<int, std::string>> cells; // race 1 texts by column
    Texts warnings;                                 // a part of each warning, in order
};

class SuishoTableDamagedTest : public testing::TestWithParam<DamagedCase>
{
};

TEST_P(SuishoTableDamagedTest, ShowsWhatCanBeReadAndNamesTheRest)
{
    const DamagedCase& c = GetParam();
    test::TempDir dir;
    writeBytes(dir.path() / "2005年01月05日中山.sei",
               raceOneFile(c.header, c.runners, c.suisho, c.lineCount));
    SuishoTableModel model(dir.path());
    ASSERT_TRUE(model.open());
    const TextGrid& grid = model.StringGrid5();
    for (int column = 2; column < 20; ++column)
        EXPECT_EQ(grid.cell(column, 1) == "　", column >= c.firstGrey) << "column " << column;
    for (const auto& [column, text] : c.cells)
        EXPECT_EQ(grid.cell(column, 1), text) << "column " << column;
    ASSERT_EQ(model.warnings().size(), c.warnings.size())
        << testing::PrintToString(model.warnings());
    for (size_t i = 0; i < c.warnings.size(); ++i) {
        EXPECT_NE(model.warnings()[i].find("2005年01月05日中山.sei"), std::string::npos);
        EXPECT_NE(model.warnings()[i].find(c.warnings[i]), std::string::npos)
            << model.warnings()[i];
    }
}

namespace {
const std::string k16 = toCp932("16頭");
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Files, SuishoTableDamagedTest,
    testing::Values(
        DamagedCase{"Sound", " 1R", k16, " 5 3", 61, 18, {{4, " 5"}}, {}},
        DamagedCase{"NoGreyAbove18", " 1R", toCp932("20頭"), "", 61, 20, {{1, "20頭"}}, {}},
        DamagedCase{"ZeroGreysAll", " 1R", toCp932(" 0頭"), "", 61, 2, {}, {}},
        DamagedCase{"Short", " 1R", k16, " 5 3", 3, 18, {{4, " 5"}}, {"3 行しかありません"}},
        DamagedCase{"Empty", "", "", "", 0, 20, {{1, ""}}, {"0 行しかありません"}},
        DamagedCase{"GroupsNotNumbers",
                    " 1R",
                    k16,
                    " 5 3 x 1" + toCp932("頭") + " 1 7 2",
                    61,
                    18,
                    {{4, " 5"}, {3, " 7"}},
                    {"3 行目: 推奨馬 2 組目", "3 行目: 推奨馬 3 組目"}},
        DamagedCase{"OutOfRange",
                    " 1R",
                    toCp932("20頭"),
                    "19 3 5 0 519 0 2 2 6 7",
                    61,
                    20,
                    {{7, " 2"}},
                    {"馬番 19", "順位 0", "順位 19", "馬番 0", "末尾 \" 7\""}},
        DamagedCase{"SameRank", " 1R", k16, " 5 3 7 3", 61, 18, {{4, " 7"}}, {"同じ順位 3"}},
        DamagedCase{"WrongHeader", " 9R", k16, "", 61, 18, {}, {"1 行目"}},
        DamagedCase{"RunnersNotANumber",
                    " 1R",
                    toCp932("ab頭"),
                    " 5 3",
                    61,
                    20,
                    {{1, "ab頭"}, {4, " 5"}},
                    {"2 行目: 頭数"}},
        DamagedCase{
            "RunnersNegative", " 1R", toCp932("-1頭"), "", 61, 20, {{1, "-1頭"}}, {"2 行目: 頭数"}},
        DamagedCase{"RunnersWithoutCount", " 1R", toCp932("  頭"), "", 61, 20, {}, {"2 行目"}},
        DamagedCase{"NotCp932",
                    " 1R",
                    "16\xFF",
                    " 5 3",
                    61,
                    18,
                    {{1, "16\uFFFD"}, {4, " 5"}},
                    {"CP932 でない", "2 行目"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SuishoTableModelTest, AFileThatCannotBeReadLeavesAnEmptyGridAndAWarning)
{
    test::TempDir dir;
    const fs::path file = dir.path() / "2005年01月05日中山.sei";
    writeSuishoLines(file, 1, 16, " 5 3", "");
    SuishoTableModel model(dir.path());
    ASSERT_TRUE(model.open());
    ASSERT_EQ(model.StringGrid5().cell(4, 1), " 5");

    fs::remove(file);
    fs::create_directory(file); // same name, now a folder
    EXPECT_NO_THROW(model.ListBox1Click(0));
    EXPECT_EQ(model.StringGrid5().cell(4, 1), "");
    EXPECT_EQ(model.StringGrid5().cell(1, 1), "");
    EXPECT_EQ(model.mark(1, 5), 0);
    ASSERT_EQ(model.warnings().size(), 1u);
    EXPECT_NE(model.warnings()[0].find(file.string()), std::string::npos);

    fs::remove(file); // gone: the year has no file left to show
    model.ComboBox1Click(0);
    EXPECT_TRUE(model.files().empty());
    EXPECT_EQ(model.fileIndex(), -1);
    EXPECT_EQ(model.title(), "");
}

TEST(SuishoTableModelTest, NeverWritesTheFolder)
{
    test::TempDir dir;
    writeSuishoLines(dir.path() / "2005年01月05日中山.sei", 3, 12, " 1 1", " 2 2");
    writeBytes(dir.path() / "2004年05月16日東京.sei", raceOneFile(" 1R", "--", " x 1", 7));
    const auto before = snapshot(dir.path());
    SuishoTableModel model(dir.path());
    ASSERT_TRUE(model.open());
    for (int y = 0; y < static_cast<int>(model.years().size()); ++y) {
        model.ComboBox1Click(y);
        for (int f = 0; f < static_cast<int>(model.files().size()); ++f)
            model.ListBox1Click(f);
    }
    EXPECT_FALSE(model.warnings().empty()); // the damaged file was read last
    EXPECT_EQ(model.StringGrid5().cell(1, 1), "--");
    EXPECT_FALSE(model.StringGrid5DrawCell(1, 1).drawText);
    EXPECT_EQ(snapshot(dir.path()), before);
}
