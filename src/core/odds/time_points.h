#pragma once

#include "core/odds/odds_files.h"
#include "core/store/record_views.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// The time points of a race: the announcements of its stored odds series, how a
// selection lists them and which one it shows first. Pure functions over the lines.

// Drops the lines whose race key (positions 12-27) is not `raceKey`: announcements of
// another race (a file copied or mixed up, a stream that delivered more than was
// asked) are no time points of this one and must never name its file. Returns how
// many went. `Line` is std::string or std::string_view.
template <class Line> size_t dropOtherRaceLines(std::vector<Line>& lines, std::string_view raceKey)
{
    return static_cast<size_t>(std::erase_if(
        lines, [raceKey](const Line& line) { return RecordView(line).raceKeyText() != raceKey; }));
}

// The time list of a series: "MM/DD hh:mm" per line, in the lines' order.
std::vector<std::string> timeListItems(const std::vector<std::string>& lines);

// The index of the default time point: the announcement on `monthDay` (MMDD) nearest
// `targetMinute` (minutes of the day), the first of equally near ones; 0 when no
// line is of that day (or there is none).
int defaultTimePoint(const std::vector<std::string>& lines, std::string_view monthDay,
                     int targetMinute);

// The default display time "hhmm" (the settings' First time) as minutes of the day;
// what cannot be read counts as 0.
int defaultTimeMinute(std::string_view hhmm);

// The win odds of a quinella time point when the win-odds file has no line at its
// time: the one announced last at or before it on the same day, said in `notice`; or
// a blank record and a notice that there was none.
struct WinOddsFallback
{
    std::string record;
    std::string notice;
};
WinOddsFallback winOddsAtOrBefore(const OddsFile& o1, std::string_view timeKey,
                                  std::string_view timeItem);

} // namespace sorvantix
