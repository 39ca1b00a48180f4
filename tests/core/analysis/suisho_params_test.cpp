#include "core/analysis/suisho_params.h"
#include "core/text/error.h"
#include "core/text/text_file.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

fs::path freshDir(const std::string& name)
{
    fs::path dir =
        fs::temp_directory_path() / ("sorvantix-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

using Fields = std::vector<std::string>;

const std::string kValues = "0.5,1.1,1.2,0.9,1.05,1.06,3.5,5,0.8,1.4,4,1.7,3,1.35,2,2.5";

} // namespace

struct SplitCase
{
    const char* line;
    Fields fields;
};

class CommaText : public testing::TestWithParam<SplitCase>
{
};

TEST_P(CommaText, SplitsLikeTheClassicReader)
{
    EXPECT_EQ(splitCommaText(GetParam().line), GetParam().fields) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    SuishoParams, CommaText,
    testing::Values(SplitCase{"0.6,1.0,6", {"0.6", "1.0", "6"}}, SplitCase{"", {}},
                    SplitCase{"   ", {}}, SplitCase{"My Set", {"My", "Set"}},
                    SplitCase{"a   b", {"a", "b"}},    // a run of blanks separates once
                    SplitCase{"a , b", {"a", "b"}},    // blanks around a comma too
                    SplitCase{"a\tb", {"a", "b"}},     // any control character is blank
                    SplitCase{"a,,b", {"a", "", "b"}}, // two commas: an empty field
                    SplitCase{",a", {"", "a"}}, SplitCase{"a,", {"a", ""}},
                    SplitCase{"a, ", {"a"}}, // trailing blank after the comma
                    SplitCase{"\"My Set\",x", {"My Set", "x"}}, SplitCase{"\"a,b\"", {"a,b"}},
                    SplitCase{"\"say \"\"hi\"\"\"", {"say \"hi\""}},
                    SplitCase{"\"ab\"cd", {"ab", "cd"}},   // text after a closing quote
                    SplitCase{"My\"Set", {"My\"Set"}},     // a quote inside is plain text
                    SplitCase{"\"open end", {"open end"}}, // unclosed: the rest of the line
                    SplitCase{"\"\",x", {"", "x"}}, SplitCase{"設定 一", {"設定", "一"}}));

TEST(SuishoParams, ReadsTheSixteenValuesAndTheLastFieldAsName)
{
    Fields fields = splitCommaText(kValues + ",My Set");
    ASSERT_EQ(fields.size(), 18u);
    EXPECT_EQ(suishoLineName(kValues + ",My Set"), "Set");
    EXPECT_EQ(suishoLineName(kValues + ",a,b"), "b");
    EXPECT_EQ(suishoLineName(""), "");
    auto p = parseSuishoFields(fields);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->SuiRank1PaRate, 0.5);
    EXPECT_EQ(p->SuiRank23Top3Ratio, 1.1);
    EXPECT_EQ(p->SuiRank23AllRatio, 1.2);
    EXPECT_EQ(p->TokuRank1PaRate, 0.9);
    EXPECT_EQ(p->TokuRank23Top3Ratio, 1.05);
    EXPECT_EQ(p->TokuRank23AllRatio, 1.06);
    EXPECT_EQ(p->GroupAMinSharePct, 3.5);
    EXPECT_EQ(p->GroupBMaxRank, 5);
    EXPECT_EQ(p->GroupBShareFactor, 0.8);
    EXPECT_EQ(p->SuiPaMin, 1.4);
    EXPECT_EQ(p->SuiPaMaxCount, 4);
    EXPECT_EQ(p->Toku1PaMin, 1.7);
    EXPECT_EQ(p->Toku1MaxCount, 3);
    EXPECT_EQ(p->Toku2PaMin, 1.35);
    EXPECT_EQ(p->Toku2Count, 2);
    EXPECT_EQ(p->Toku3PaGap, 2.5);
}

TEST(SuishoParams, BuiltInSetsDifferOnlyInGroupBMaxRank)
{
    auto texts = windowDefaultTexts();
    EXPECT_EQ(joinSuishoLine(texts, "x"),
              "0.6,1.0,1.0,0.8,1.04,1.04,2.0,6,0.7,1.3,5,1.6,2,1.3,1,2.0,x");
    auto window = parseSuishoFields(Fields(texts.begin(), texts.end()));
    ASSERT_TRUE(window);
    SuishoParams analysis = analysisDefaultParams();
    EXPECT_EQ(analysis.GroupBMaxRank, 3);
    EXPECT_EQ(window->GroupBMaxRank, 6);
    window->GroupBMaxRank = 3;
    EXPECT_EQ(*window, analysis);
}

TEST(SuishoParams, FileRoundTripKeepsCp932AndCrLf)
{
    fs::path dir = freshDir("userset");
    fs::path file = dir / kUserSetFileName;
    EXPECT_TRUE(readUserSetLines(file).empty()); // no file: no sets
    std::vector<std::string> lines{kValues + ",本命党", kValues + ",穴 狙い"};
    writeUserSetLines(file, lines);
    std::string bytes = readFileBytes(file);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_NE(bytes.find(kValues + ",\x96\x7b\x96\xbd\x93\x7d\r\n"), std::string::npos);
    EXPECT_EQ(readUserSetLines(file), lines);
    fs::remove_all(dir);
}

TEST(SuishoParams, AFileSavedAsUtf8WithItsMarkIsReadAndWrittenBackSo)
{
    fs::path dir = freshDir("userset-bom");
    fs::path file = dir / kUserSetFileName;
    writeFileAtomic(file, "\xEF\xBB\xBF" + kValues + ",本命党\r\n");
    EXPECT_EQ(readUserSetLines(file), std::vector<std::string>{kValues + ",本命党"});
    writeUserSetLines(file, {kValues + ",本命党", kValues + ",穴"});
    EXPECT_EQ(readFileBytes(file), "\xEF\xBB\xBF" + kValues + ",本命党\r\n" + kValues + ",穴\r\n");
    // A CP932 file that cannot take a name says which file.
    fs::remove(file);
    try {
        writeUserSetLines(file, {kValues + ",😀"});
        FAIL() << "a name CP932 cannot hold was written";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
    fs::remove_all(dir);
}

struct LoadCase
{
    const char* name;
    int setId;
    const char* content; // nullptr: no file
    bool usesFile;       // the set's own values (else the built-in set)
    const char* messagePart;
};

class LoadActiveParams : public testing::TestWithParam<LoadCase>
{
};

TEST_P(LoadActiveParams, FallsBackToTheBuiltInSetWithAMessage)
{
    const LoadCase& c = GetParam();
    fs::path dir = freshDir(std::string("load-") + c.name);
    fs::path file = dir / kUserSetFileName;
    if (c.content)
        writeFileAtomic(file, c.content);
    ActiveParams active = loadActiveParams(c.setId, file);
    if (c.usesFile) {
        EXPECT_EQ(active.params.GroupBMaxRank, 5);
        EXPECT_EQ(active.params.Toku3PaGap, 2.5);
        EXPECT_FALSE(active.warning);
    } else {
        EXPECT_EQ(active.params, analysisDefaultParams());
        EXPECT_EQ(active.warning.has_value(), c.messagePart != nullptr);
    }
    if (c.messagePart) {
        ASSERT_TRUE(active.warning);
        EXPECT_NE(active.warning->find(c.messagePart), std::string::npos) << *active.warning;
        EXPECT_NE(active.warning->find("既定値で分析します。"), std::string::npos);
    }
    fs::remove_all(dir);
}

const std::string kTwoSets = kValues + ",A\r\n" + kValues + ",My Set\r\n";
const std::string kShortSet = "0.5,1.1,1.2,0.9,1.05,1.06,3.5,5,0.8,1.4,4,1.7,3,1.35,2\r\n";
const std::string kBadNumber = "0.5,1.1,1.2,0.9,1.05,1.06,3.5,5.5,0.8,1.4,4,1.7,3,1.35,2,2.5,B\r\n";
const std::string kDecimalComma = "0.5,1.1,1.2,0.9,1.05,1.06,3.5,5,0.8,1.4,4,1.7,3,1.35,2,x,C\r\n";

INSTANTIATE_TEST_SUITE_P(
    SuishoParams, LoadActiveParams,
    testing::Values(LoadCase{"BuiltIn", 0, nullptr, false, nullptr},
                    LoadCase{"SecondSet", 2, kTwoSets.c_str(), true, nullptr},
                    LoadCase{"NoFile", 1, nullptr, false, "推奨馬設定1を読み込めません"},
                    LoadCase{"TooFewLines", 3, kTwoSets.c_str(), false, "推奨馬設定3は"},
                    LoadCase{"Negative", -1, kTwoSets.c_str(), false, "推奨馬設定-1は"},
                    LoadCase{"TooFewFields", 1, kShortSet.c_str(), false, "値が足りません（15 個"},
                    LoadCase{"IntegerNotInteger", 1, kBadNumber.c_str(), false,
                             "推奨馬設定1[B]の 8 番目の値 \"5.5\" は整数ではありません"},
                    LoadCase{"RealNotNumber", 1, kDecimalComma.c_str(), false,
                             "16 番目の値 \"x\" は数値ではありません"}),
    [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });
