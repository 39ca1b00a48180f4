#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sorvantix {

// The race title shown above the analysis, built from a race's RA record (CP932
// bytes, possibly blank or short: missing bytes read as blanks). Texts are UTF-8.
struct RaceTitle
{
    std::string TitleLabel1;        // date, weekday, venue, meeting, race, post time
    std::string TitleLabel2;        // edition and race name
    std::string TitleLabel3;        // runners, distance, track, grade, race type, symbol
    std::string TitleLabel4;        // conditions and weight rule
    std::string BashoLabel;         // two-character venue name
    std::string RaceLabel;          // race number without blanks
    std::uint32_t Panel2Colour = 0; // 0xRRGGBB: maroon for track codes 23 and 24, else green

    bool operator==(const RaceTitle&) const = default;
};

RaceTitle raceTitle(std::string_view raRecord);

// Condition text of the title from the race type and the four age conditions.
std::string raceConditionOfTitle(std::string_view raRecord);

// Time of the automatic odds acquisition, "hhmm": post time (positions 874-877)
// minus `leadMinutes`; empty when the post time is not positive or the lead is not.
std::string autoOddsTimeOf(std::string_view raRecord, int leadMinutes);

inline constexpr std::uint32_t kMaroon = 0x800000;
inline constexpr std::uint32_t kGreen = 0x008000;

} // namespace sorvantix
