#pragma once

#include "core/present/print_page.h"

#include <string>
#include <string_view>

namespace sorvantix {

class TIniGT;

// One key of the settings file.
struct SettingKey
{
    std::string_view section;
    std::string_view key;
};

// A key read as an integer, with the default of the reader that uses this constant.
struct IntSetting
{
    SettingKey key;
    int defaultValue;
};

// A key read as text, with the default of the reader that uses this constant.
struct TextSetting
{
    SettingKey key;
    std::string_view defaultValue;
};

// A window's position and size in pixels.
struct BoundsSettings
{
    IntSetting top;
    IntSetting left;
    IntSetting width;
    IntSetting height;
};

// Every key of the settings file. Each reader supplies its own default, and the
// readers of "Time"/"First" differ on purpose, so every reader has its own constant.
namespace settings {

inline constexpr BoundsSettings kMainWindowBounds{{{"locate", "top"}, 10},
                                                  {{"locate", "left"}, 10},
                                                  {{"locate", "width"}, 780},
                                                  {{"locate", "height"}, 560}};
inline constexpr BoundsSettings kPrintPreviewBounds{{{"Printlocate", "top"}, 10},
                                                    {{"Printlocate", "left"}, 10},
                                                    {{"Printlocate", "width"}, 630},
                                                    {{"Printlocate", "height"}, 450}};
inline constexpr IntSetting kPrintZoom{{"PrintZoom", "ratio"}, 1}; // radio index
inline constexpr IntSetting kGraphAxis{{"Gpaph", "jiku"}, 0};      // radio index
inline constexpr IntSetting kGraphMarker{{"Gpaph", "marker"}, 0};  // radio index

// Default display time, stored as the text "hhmm" (writeFirstTime).
inline constexpr SettingKey kFirstTime{"Time", "First"};
inline constexpr IntSetting kFirstTimeInDialog{kFirstTime, 914};       // default-time dialog
inline constexpr IntSetting kFirstTimeInSchedule{kFirstTime, 914};     // odds schedule window
inline constexpr TextSetting kFirstTimeInRaceList{kFirstTime, "0915"}; // race list
inline constexpr IntSetting kFirstTimeInSuishoSet{kFirstTime, 930};    // parameter-set window

// Minutes before post time, stored as two-digit text (writeAutoOzGet).
inline constexpr TextSetting kAutoOzGet{{"Time", "AutoOzGet"}, "30"};
inline constexpr IntSetting kAutoRdataGet{{"Time", "AutoRdataGet"}, 15}; // minutes
inline constexpr IntSetting kDelay{{"Time", "delay"}, 5};                // minutes
// "yyyy/mm/dd hh:nn:ss" of the newest file read; empty before the first download.
inline constexpr TextSetting kLastTime{{"JvDataGet", "LastTime"}, ""};
inline constexpr IntSetting kSetID{{"UserSetting", "SetID"}, 0}; // parameter-set index
// Alerts of the automatic acquisition: switches 1/0 and the PA ratio level as text
// ("2.0"; "0" switches it off).
inline constexpr IntSetting kAlertSingular{{"Alert", "Singular"}, 1};
inline constexpr IntSetting kAlertTokusho{{"Alert", "Tokusho"}, 1};
inline constexpr TextSetting kAlertPaLevel{{"Alert", "PaLevel"}, "2.0"};
// Sharp falls of the odds: a switch, the fall in percent per odds band ("20,30,40")
// and the floor in odds points ("0.3"), for win and quinella odds.
inline constexpr IntSetting kAlertDrop{{"Alert", "Drop"}, 1};
inline constexpr TextSetting kAlertWinDrop{{"Alert", "WinDrop"}, "20,30,40"};
inline constexpr TextSetting kAlertWinFloor{{"Alert", "WinFloor"}, "0.3"};
inline constexpr TextSetting kAlertQuinellaDrop{{"Alert", "QuinellaDrop"}, "25,35,45"};
inline constexpr TextSetting kAlertQuinellaFloor{{"Alert", "QuinellaFloor"}, "1.0"};

// The live following of the automatic acquisition: chosen (1/0), and its cadence in
// minutes and requests per minute (live_schedule.h).
inline constexpr IntSetting kLiveOn{{"Live", "On"}, 0};
inline constexpr IntSetting kLiveFarEvery{{"Live", "FarEvery"}, 10};
inline constexpr IntSetting kLiveNearMinutes{{"Live", "NearMinutes"}, 30};
inline constexpr IntSetting kLiveNearEvery{{"Live", "NearEvery"}, 1};
inline constexpr IntSetting kLiveBudget{{"Live", "Budget"}, 12};
inline constexpr IntSetting kLiveResultDelay{{"Live", "ResultDelay"}, 10};
inline constexpr IntSetting kLiveLateMinutes{{"Live", "LateMinutes"}, 5};
// The main window as it was left: the time choice beside the time combo (0 既定時刻,
// 1 最新), the day, the race (its key) and the analysis tab.
inline constexpr IntSetting kTimeChoice{{"Window", "TimeChoice"}, 0};
inline constexpr TextSetting kLastDay{{"Window", "Day"}, ""};
inline constexpr TextSetting kLastRace{{"Window", "Race"}, ""};
inline constexpr IntSetting kLastTab{{"Window", "Tab"}, 0};

} // namespace settings

int readSetting(const TIniGT& ini, const IntSetting& setting);
std::string readSetting(const TIniGT& ini, const TextSetting& setting);
void writeSetting(const TIniGT& ini, const IntSetting& setting, int value);
void writeSetting(const TIniGT& ini, const TextSetting& setting, std::string_view value);

struct Bounds
{
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;

    bool operator==(const Bounds&) const = default;
};

// A window's saved bounds made to fit `screen` (its available area): no larger than
// it, and moved so that the whole window, title bar first, lies on it.
Bounds fitOnScreen(Bounds wanted, const Bounds& screen);

Bounds readBounds(const TIniGT& ini, const BoundsSettings& settings);
void writeBounds(const TIniGT& ini, const BoundsSettings& settings, const Bounds& bounds);

// The preview window's zoom item ("PrintZoom"/"ratio"; an item outside 0..3 reads as
// the default 1) and its bounds ("Printlocate", defaults 10, 10, 630, 450). Throws
// Error when a file that exists cannot be read or written.
PrintPreviewSettings readPrintPreviewSettings(const TIniGT& ini);
void writePrintPreviewSettings(const TIniGT& ini, const PrintPreviewSettings& s);

struct HourMinute
{
    int hour = 0;
    int minute = 0;

    bool operator==(const HourMinute&) const = default;
};

// The default-time dialog's fields from the stored time read as an integer: formatted
// "%4d", the hour is characters 1-2 (a leading blank allowed), the minute characters
// 3-4. A part that is not a number gives 0, which the spin field raises to its minimum.
HourMinute firstTimeFields(int stored);

// Stores the default display time as "hhmm" ("0905").
void writeFirstTime(const TIniGT& ini, int hour, int minute);

// The automatic acquisition dialog's lead from the stored text: the integer of its
// first two characters; 0 when they are not a number.
int autoOzGetDialogValue(std::string_view stored);

// Stores the lead as two-digit text ("05").
void writeAutoOzGet(const TIniGT& ini, int minutes);

} // namespace sorvantix
