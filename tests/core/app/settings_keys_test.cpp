#include "core/app/settings_keys.h"
#include "core/app/study_settings.h"
#include "core/app/temp_dir.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/ini_file.h"
#include "core/text/text_file.h"

#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::TempDir;

TEST(SettingsKeys, FirstStartWithoutASettingsFileGivesEachReadersDefault)
{
    TempDir dir;
    TIniGT ini(dir.path() / "sorvantix.ini");
    EXPECT_EQ(readBounds(ini, settings::kMainWindowBounds), (Bounds{10, 10, 780, 560}));
    EXPECT_EQ(readBounds(ini, settings::kPrintPreviewBounds), (Bounds{10, 10, 630, 450}));
    EXPECT_EQ(readSetting(ini, settings::kPrintZoom), 1);
    EXPECT_EQ(readSetting(ini, settings::kGraphAxis), 0);
    EXPECT_EQ(readSetting(ini, settings::kGraphMarker), 0);
    EXPECT_EQ(firstTimeFields(readSetting(ini, settings::kFirstTimeInDialog)), (HourMinute{9, 14}));
    EXPECT_EQ(readSetting(ini, settings::kFirstTimeInSchedule), 914);
    EXPECT_EQ(readSetting(ini, settings::kFirstTimeInRaceList), "0915");
    EXPECT_EQ(readSetting(ini, settings::kFirstTimeInSuishoSet), 930);
    EXPECT_EQ(readSetting(ini, settings::kAutoOzGet), "30");
    EXPECT_EQ(readSetting(ini, settings::kAutoRdataGet), 15);
    EXPECT_EQ(readSetting(ini, settings::kDelay), 5);
    EXPECT_EQ(readSetting(ini, settings::kLastTime), "");
    EXPECT_EQ(readSetting(ini, settings::kSetID), 0);
    EXPECT_FALSE(std::filesystem::exists(ini.FileName())); // reading creates nothing
}

TEST(SettingsKeys, DefaultTimeNineOhFiveRoundTripsThroughEveryReader)
{
    TempDir dir;
    TIniGT ini(dir.path() / "sorvantix.ini");
    writeFirstTime(ini, 9, 5);
    EXPECT_EQ(readFileBytes(ini.FileName()), "[Time]\r\nFirst=0905\r\n");

    int stored = readSetting(ini, settings::kFirstTimeInDialog);
    EXPECT_EQ(stored, 905);
    std::string text = format("%4d", stored);
    EXPECT_EQ(text, " 905");
    EXPECT_EQ(toIntDef(text.substr(0, 2), -1), 9);
    EXPECT_EQ(toIntDef(text.substr(2, 2), -1), 5);
    EXPECT_EQ(firstTimeFields(stored), (HourMinute{9, 5}));
    EXPECT_EQ(readSetting(ini, settings::kFirstTimeInRaceList), "0905");
    EXPECT_EQ(readSetting(ini, settings::kFirstTimeInSuishoSet), 905);
}

TEST(SettingsKeys, LeadStoredAsOhFiveReadsBackAsFive)
{
    TempDir dir;
    TIniGT ini(dir.path() / "sorvantix.ini");
    writeAutoOzGet(ini, 5);
    std::string stored = readSetting(ini, settings::kAutoOzGet);
    EXPECT_EQ(stored, "05");
    EXPECT_EQ(autoOzGetDialogValue(stored), 5); // the dialog: first two characters
    EXPECT_EQ(toIntDef(stored, -1), 5);         // the race list: the whole text
}

struct FieldsCase
{
    int stored;
    HourMinute expected;
};

class FirstTimeFieldsTest : public testing::TestWithParam<FieldsCase>
{
};

TEST_P(FirstTimeFieldsTest, CutsTheRightAlignedText)
{
    EXPECT_EQ(firstTimeFields(GetParam().stored), GetParam().expected) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Values, FirstTimeFieldsTest,
                         testing::Values(FieldsCase{914, {9, 14}}, FieldsCase{1030, {10, 30}},
                                         FieldsCase{600, {6, 0}}, FieldsCase{5, {0, 5}},
                                         FieldsCase{0, {0, 0}}, FieldsCase{12345, {12, 34}}));

TEST(SettingsKeys, DialogLeadReadsTheFirstTwoCharacters)
{
    EXPECT_EQ(autoOzGetDialogValue("30"), 30);
    EXPECT_EQ(autoOzGetDialogValue("5"), 5);
    EXPECT_EQ(autoOzGetDialogValue("123"), 12);
    EXPECT_EQ(autoOzGetDialogValue(""), 0);
    EXPECT_EQ(autoOzGetDialogValue("ab"), 0);
    EXPECT_EQ(autoOzGetDialogValue("３０"), 0);
}

TEST(SettingsKeys, BoundsRoundTrip)
{
    TempDir dir;
    TIniGT ini(dir.path() / "sorvantix.ini");
    writeBounds(ini, settings::kMainWindowBounds, {-20, 30, 1024, 700});
    EXPECT_EQ(readBounds(ini, settings::kMainWindowBounds), (Bounds{-20, 30, 1024, 700}));
    EXPECT_EQ(readBounds(ini, settings::kPrintPreviewBounds), (Bounds{10, 10, 630, 450}));
}

TEST(SettingsKeys, SavedBoundsAreMadeToFitTheScreen)
{
    const Bounds screen{30, 0, 1366, 738}; // top, left, width, height
    // Already on it: unchanged.
    EXPECT_EQ(fitOnScreen({100, 50, 988, 600}, screen), (Bounds{100, 50, 988, 600}));
    // Above the screen (the title bar out of reach) and off its right edge.
    EXPECT_EQ(fitOnScreen({-20, 900, 988, 600}, screen), (Bounds{30, 378, 988, 600}));
    // Larger than the screen: as large as it, at its corner.
    EXPECT_EQ(fitOnScreen({0, 0, 1920, 1080}, screen), (Bounds{30, 0, 1366, 738}));
    // Below and left of it.
    EXPECT_EQ(fitOnScreen({2000, -500, 800, 600}, screen), (Bounds{168, 0, 800, 600}));
}

TEST(AlertSettingsFile, DropLevelsRoundTripAndABadValueKeepsItsDefault)
{
    TempDir dir;
    TIniGT ini(dir.path() / "sorvantix.ini");
    AlertSettings s = readAlertSettings(ini);
    EXPECT_TRUE(s.oddsDrop);
    EXPECT_EQ(s.winDrop.percent[1], 30.0);
    EXPECT_EQ(s.quinellaDrop.floor, 1.0);
    s.oddsDrop = false;
    s.winDrop.percent[2] = 55;
    s.quinellaDrop.floor = 2.5;
    writeAlertSettings(ini, s);
    EXPECT_EQ(ini.ReadString("Alert", "WinDrop", ""), "20,30,55");
    const AlertSettings back = readAlertSettings(ini);
    EXPECT_FALSE(back.oddsDrop);
    EXPECT_EQ(back.winDrop.percent[2], 55.0);
    EXPECT_EQ(back.quinellaDrop.floor, 2.5);
    // Hand-edited: a word, a share of 100 % and a missing third keep their defaults.
    ini.WriteString("Alert", "WinDrop", "x,100");
    ini.WriteString("Alert", "QuinellaFloor", "-1");
    const AlertSettings edited = readAlertSettings(ini);
    EXPECT_EQ(edited.winDrop.percent[0], 20.0);
    EXPECT_EQ(edited.winDrop.percent[1], 30.0);
    EXPECT_EQ(edited.winDrop.percent[2], 40.0);
    EXPECT_EQ(edited.quinellaDrop.floor, 1.0);
}
