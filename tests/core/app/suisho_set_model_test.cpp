#include "core/app/suisho_set_model.h"
#include "core/text/error.h"
#include "core/text/text_file.h"

#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

// Records what the window shows and answers its questions from a queue.
class RecordingPort : public SuishoSetPort
{
public:
    void information(const std::string& message) override { messages.push_back(message); }
    bool askYesNo(const std::string& question) override
    {
        questions.push_back(question);
        bool a = answers.empty() ? false : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return a;
    }
    std::optional<int> readSetId() override { return setId; }
    void writeSetId(int id) override
    {
        setId = id;
        writes.push_back(id);
    }
    std::optional<int> readFirstTime() override { return firstTime; }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    std::optional<int> setId;
    std::vector<int> writes;
    std::optional<int> firstTime;
};

class SuishoSetModelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("sorvantix-setmodel-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_file = m_dir / kUserSetFileName;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void writeSets(const std::vector<std::string>& names)
    {
        std::vector<std::string> lines;
        for (const auto& n : names)
            lines.push_back(kValues + "," + n);
        writeUserSetLines(m_file, lines);
    }

    static inline const std::string kValues =
        "0.5,1.1,1.2,0.9,1.05,1.06,3.5,5,0.8,1.4,4,1.7,3,1.35,2,2.5";

    fs::path m_dir;
    fs::path m_file;
    RecordingPort m_port;
};

using Texts = std::vector<std::string>;

} // namespace

TEST_F(SuishoSetModelTest, OpensOnTheBuiltInSetWithoutAFile)
{
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    EXPECT_EQ(model.judgementTime(), "09:30");
    EXPECT_EQ(model.setList(), Texts{"既定値"});
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(m_port.writes, std::vector<int>{0}); // the automatic selection writes too
    auto v = model.values();
    EXPECT_EQ(Texts(v.begin(), v.end()),
              (Texts{"0.6", "1.0", "1.0", "0.8", "1.04", "1.04", "2.0", "6", "0.7", "1.3", "5",
                     "1.6", "2", "1.3", "1", "2.0"}));
    // The window shows 6 while an analysis of the built-in set uses 3.
    EXPECT_EQ(model.box("SEdit8"), "6");
    EXPECT_EQ(loadActiveParams(0, m_file).params.GroupBMaxRank, 3);
    EXPECT_EQ(model.box("SEdit13"), "1.3");
    EXPECT_EQ(model.box("SEdit14"), "5");
    EXPECT_EQ(model.box("SEdit18"), "1.6");
    EXPECT_EQ(model.box("SEdit23"), "1.6");
    EXPECT_EQ(model.box("SEdit21"), "1.3");
    EXPECT_EQ(model.box("SEdit22"), "1.3");
    EXPECT_TRUE(m_port.messages.empty());
    EXPECT_THROW(model.box("SEdit12"), std::invalid_argument);
    EXPECT_THROW(model.setBox("SEdit13", "1"), std::invalid_argument);
}

TEST_F(SuishoSetModelTest, ShowsTheJudgementTimeAsHoursAndMinutes)
{
    for (auto [first, shown] : {std::pair{1015, "10:15"}, std::pair{5, "00:05"}}) {
        m_port.firstTime = first;
        SuishoSetModel model(m_port, m_file, 16);
        model.open();
        EXPECT_EQ(model.judgementTime(), shown);
    }
}

TEST_F(SuishoSetModelTest, OpensOnTheActiveSetAndSelectsOthers)
{
    writeSets({"A", "My Set"});
    m_port.setId = 2;
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    EXPECT_EQ(model.setList(), (Texts{"既定値", "A", "Set"}));
    EXPECT_EQ(model.selectedIndex(), 2);
    EXPECT_EQ(model.box("SEdit1"), "0.5");
    EXPECT_EQ(model.box("SEdit24"), "2.5");
    EXPECT_EQ(model.box("SEdit22"), "1.35");
    model.select(0);
    EXPECT_EQ(m_port.setId, 0);
    EXPECT_EQ(model.box("SEdit1"), "0.6");
}

struct BoxCase
{
    int runners;
    const char* box;
    const char* typed;
    const char* shown;
    const char* copy; // copy box, or nullptr
    const char* copyShown;
};

class SuishoSetBoxRules : public SuishoSetModelTest, public testing::WithParamInterface<BoxCase>
{
};

TEST_P(SuishoSetBoxRules, LimitsAndCopiesTheBoxes)
{
    const BoxCase& c = GetParam();
    SuishoSetModel model(m_port, m_file, c.runners);
    model.open();
    model.setBox(c.box, c.typed);
    EXPECT_EQ(model.box(c.box), c.shown);
    if (c.copy) {
        EXPECT_EQ(model.box(c.copy), c.copyShown);
    }
}

INSTANTIATE_TEST_SUITE_P(SuishoSetModel, SuishoSetBoxRules,
                         testing::Values(BoxCase{16, "SEdit8", "1", "2", nullptr, nullptr},
                                         BoxCase{16, "SEdit8", "17", "16", nullptr, nullptr},
                                         BoxCase{4, "SEdit8", "6", "4", nullptr, nullptr},
                                         BoxCase{0, "SEdit8", "3", "0", nullptr,
                                                 nullptr}, // raised to 2, then to n
                                         BoxCase{16, "SEdit11", "0", "1", "SEdit14", "1"},
                                         BoxCase{0, "SEdit11", "5", "0", "SEdit14", "0"},
                                         BoxCase{16, "SEdit11", "", "1", "SEdit14", "1"},
                                         BoxCase{16, "SEdit17", "0", "1", nullptr, nullptr},
                                         BoxCase{0, "SEdit20", "1", "0", nullptr, nullptr},
                                         BoxCase{16, "SEdit10", "1.45", "1.45", "SEdit13", "1.45"},
                                         BoxCase{16, "SEdit16", "1.8", "1.8", "SEdit23", "1.8"},
                                         BoxCase{16, "SEdit16", "1.8", "1.8", "SEdit18", "1.8"},
                                         BoxCase{16, "SEdit19", "1.25", "1.25", "SEdit21", "1.25"},
                                         BoxCase{16, "SEdit19", "1.25", "1.25", "SEdit22", "1.25"},
                                         BoxCase{16, "SEdit1", "0.75", "0.75", nullptr, nullptr}));

TEST_F(SuishoSetModelTest, NoRaceDataTurnsTheIntegerBoxesToZero)
{
    SuishoSetModel model(m_port, m_file, 0);
    model.open();
    for (const char* box : {"SEdit8", "SEdit11", "SEdit14", "SEdit17", "SEdit20"})
        EXPECT_EQ(model.box(box), "0") << box;
}

TEST_F(SuishoSetModelTest, RegistersANewSetWithoutActivatingIt)
{
    writeSets({"A"});
    m_port.setId = 1;
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    model.select(0);
    model.setBox("SEdit1", "0.65");
    model.setNameText("My Set");
    model.registerSet();
    EXPECT_EQ(m_port.messages, Texts{"設定[My Set]を保存しました。"});
    EXPECT_EQ(readUserSetLines(m_file),
              (Texts{kValues + ",A",
                     "0.65,1.0,1.0,0.8,1.04,1.04,2.0,6,0.7,1.3,5,1.6,2,1.3,1,2.0,My Set"}));
    EXPECT_EQ(model.setList(), (Texts{"既定値", "A", "Set"})); // the part after the blank
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(m_port.setId, 0);
    EXPECT_EQ(model.box("SEdit1"), "0.6"); // reselecting "SetID" refills the boxes
}

struct RefusedName
{
    const char* typed;
    const char* message;
};

class SuishoSetRefusedNames : public SuishoSetModelTest,
                              public testing::WithParamInterface<RefusedName>
{
};

TEST_P(SuishoSetRefusedNames, RefusesWithoutWriting)
{
    writeSets({"A", "Set"});
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    model.setNameText(GetParam().typed);
    model.registerSet();
    EXPECT_EQ(m_port.messages, Texts{GetParam().message});
    EXPECT_EQ(model.lines().size(), 2u);
    EXPECT_EQ(readUserSetLines(m_file).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    SuishoSetModel, SuishoSetRefusedNames,
    testing::Values(RefusedName{"", "設定名を入力してくだい。"},
                    RefusedName{"   ", "設定名を入力してくだい。"},
                    RefusedName{"既定値", "[既定値]はすでに登録済みの名称です。"},
                    RefusedName{" A ", "[A]はすでに登録済みの名称です。"},
                    RefusedName{"Set", "[Set]はすでに登録済みの名称です。"},
                    RefusedName{"한글", "設定名[한글]には保存できない文字があります。"}));

TEST_F(SuishoSetModelTest, RefusesABoxThatIsNotANumber)
{
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    model.setBox("SEdit7", "");
    model.setNameText("B");
    model.registerSet();
    EXPECT_EQ(m_port.messages,
              Texts{"設定値「対象ｸﾞﾙｰﾌﾟA 全シェア％」（7 番目）\"\" が数値ではありません。"});
    EXPECT_FALSE(fs::exists(m_file));
}

TEST_F(SuishoSetModelTest, CutsTheNameToEightCharacters)
{
    SuishoSetModel model(m_port, m_file, 16);
    model.setNameText("推奨馬設定その一です");
    EXPECT_EQ(model.nameText(), "推奨馬設定その一");
}

TEST_F(SuishoSetModelTest, DeletingMovesTheLaterSetsUp)
{
    writeSets({"A", "B", "C"});
    m_port.setId = 2;
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    m_port.answers = {false, true};
    model.deleteSet(); // No
    EXPECT_EQ(model.lines().size(), 3u);
    model.deleteSet(); // Yes
    EXPECT_EQ(m_port.questions, (Texts{"B を削除しますか?", "B を削除しますか?"}));
    EXPECT_EQ(model.setList(), (Texts{"既定値", "A", "C"}));
    EXPECT_EQ(readUserSetLines(m_file), (Texts{kValues + ",A", kValues + ",C"}));
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(m_port.setId, 0);

    model.deleteSet();
    EXPECT_EQ(m_port.messages, Texts{"既定値は削除できません。"});
    EXPECT_EQ(m_port.questions.size(), 2u);
}

TEST_F(SuishoSetModelTest, UnusableActiveSetFallsBackToTheBuiltInSet)
{
    writeFileAtomic(m_file, kValues + ",A\r\n0.5,1.1,Short\r\n");
    m_port.setId = 5;
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(m_port.setId, 0);
    ASSERT_EQ(m_port.messages.size(), 1u);
    EXPECT_EQ(m_port.messages[0], "推奨馬設定5は UserSet.usd にありません。既定値を選びます。");

    model.select(2);
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(m_port.setId, 0);
    ASSERT_EQ(m_port.messages.size(), 2u);
    EXPECT_EQ(m_port.messages[1],
              "推奨馬設定2[Short]の値が足りません（3 個、必要なのは 16 個）。既定値を選びます。");
}

TEST_F(SuishoSetModelTest, AFailedWriteKeepsTheStoredLines)
{
    writeSets({"A"});
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    fs::remove(m_file);
    fs::create_directory(m_file); // a folder in the file's place cannot be replaced
    model.setNameText("B");
    EXPECT_THROW(model.registerSet(), Error);
    EXPECT_EQ(model.lines().size(), 1u);
    EXPECT_EQ(model.setList(), (Texts{"既定値", "A"}));
    model.select(1);
    m_port.answers = {true};
    EXPECT_THROW(model.deleteSet(), Error);
    EXPECT_EQ(model.lines().size(), 1u);
    EXPECT_EQ(model.setList(), (Texts{"既定値", "A"}));
}

namespace sorvantix {
namespace {

TEST_F(SuishoSetModelTest, NamesThatWouldSplitTheFileAreRefused)
{
    writeSets({"A"});
    for (const char* name : {"a,b", "line\r\nbreak", "lf\nonly"}) {
        SuishoSetModel model(m_port, m_file, 16);
        model.open();
        m_port.messages.clear();
        model.setNameText(name);
        model.registerSet();
        ASSERT_EQ(m_port.messages.size(), 1u) << name;
        EXPECT_NE(m_port.messages[0].find("使えません"), std::string::npos);
        EXPECT_EQ(readUserSetLines(m_file).size(), 1u) << name;
    }
}

TEST_F(SuishoSetModelTest, OpeningOnTheStoredSetWritesNothing)
{
    writeSets({"A", "B"});
    m_port.setId = 2;
    SuishoSetModel model(m_port, m_file, 16);
    model.open();
    EXPECT_EQ(model.selectedIndex(), 2);
    EXPECT_TRUE(m_port.writes.empty());
    model.select(1);
    EXPECT_EQ(m_port.writes, std::vector<int>{1});
}

} // namespace
} // namespace sorvantix
