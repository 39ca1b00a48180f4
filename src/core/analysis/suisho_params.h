#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// The 16 thresholds of the marks 推奨馬 and 特奨馬 and of the singular-point rules,
// in the order of the parameter set file.
struct SuishoParams
{
    double SuiRank1PaRate = 0.6;
    double SuiRank23Top3Ratio = 1.0;
    double SuiRank23AllRatio = 1.0;
    double TokuRank1PaRate = 0.8;
    double TokuRank23Top3Ratio = 1.04;
    double TokuRank23AllRatio = 1.04;
    double GroupAMinSharePct = 2.0;
    int GroupBMaxRank = 3;
    double GroupBShareFactor = 0.7;
    double SuiPaMin = 1.3;
    int SuiPaMaxCount = 5;
    double Toku1PaMin = 1.6;
    int Toku1MaxCount = 2;
    double Toku2PaMin = 1.3;
    int Toku2Count = 1;
    double Toku3PaGap = 2.0;

    bool operator==(const SuishoParams&) const = default;
};

inline constexpr int kSuishoFieldCount = 16;

// One field of a parameter set: its analysis name, whether it is an integer, the
// window box that edits it and the text the window shows for the built-in set.
struct SuishoField
{
    const char* name;
    bool integer;
    const char* box;
    const char* builtInText;
};

// The 16 fields in file order.
const std::array<SuishoField, kSuishoFieldCount>& suishoFields();

// The analysis's own built-in set, used when "SetID" is 0 (GroupBMaxRank 3).
SuishoParams analysisDefaultParams();

// The texts the parameter window shows for the built-in set "既定値" ("0.6", "1.0",
// ..., GroupBMaxRank "6"). They differ from analysisDefaultParams() in GroupBMaxRank.
std::array<std::string, kSuishoFieldCount> windowDefaultTexts();

// Splits a line the way the classic comma-text reading does: separators are commas
// and blanks (any character up to ' '); a field starting with '"' runs to the next
// lone '"' with "" standing for one quote (an unclosed quote takes the rest of the
// line); any other field runs to the next comma or blank. Blanks around a comma
// belong to the separator, runs of blanks separate once, two commas in a row give an
// empty field, and a comma at the very end gives a last empty field.
// "0.6,...,6,My Set" therefore yields "My" and "Set" as the last two fields.
std::vector<std::string> splitCommaText(std::string_view line);

// A file line: the 16 box texts then the name, joined by "," with no quoting.
std::string joinSuishoLine(const std::array<std::string, kSuishoFieldCount>& values,
                           std::string_view name);

// The name the set list shows for a line: its last comma-text field ("" for a line
// with no field).
std::string suishoLineName(std::string_view line);

// Converts the first 16 fields (reals with '.' as the decimal point whatever the
// locale, integers as decimal integers). Returns the 1-based number of the first
// field that is missing or not a finite number in `badField` and nullopt then.
std::optional<SuishoParams> parseSuishoFields(const std::vector<std::string>& fields,
                                              int* badField = nullptr);

// File name of the parameter set file in the application folder.
inline constexpr const char* kUserSetFileName = "UserSet.usd";

// Lines of the parameter set file (CP932 on disk) as UTF-8; no lines when the file
// does not exist. Throws Error when it exists but cannot be read.
std::vector<std::string> readUserSetLines(const std::filesystem::path& file);

// Writes the lines whole (CP932, CR LF after each, atomic replace). Throws Error when
// a line cannot be written in CP932 or the file cannot be written; the old file then
// stays as it was.
void writeUserSetLines(const std::filesystem::path& file, const std::vector<std::string>& lines);

// The parameters an analysis run uses, with a warning when the chosen set could not
// be used and the built-in set stands in for it.
struct ActiveParams
{
    SuishoParams params;
    std::optional<std::string> warning;
};

// Parameters of set `setId` ("UserSetting"/"SetID"): 0 = the analysis's built-in set,
// k = line k of `userSetFile`. A set that does not exist or cannot be used (no file,
// too few lines, too few fields, a field that is not a number, an unreadable file, a
// negative id) gives the built-in set and a message naming the set and the problem,
// so the analysis still runs. Never throws for file content.
ActiveParams loadActiveParams(int setId, const std::filesystem::path& userSetFile);

} // namespace sorvantix
