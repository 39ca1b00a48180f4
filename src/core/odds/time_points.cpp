#include "core/odds/time_points.h"

#include "core/text/field.h"

#include <cstdlib>

namespace sorvantix {

std::vector<std::string> timeListItems(const std::vector<std::string>& lines)
{
    std::vector<std::string> items;
    items.reserve(lines.size());
    for (const auto& line : lines)
        items.push_back(timeComboItem(line));
    return items;
}

int defaultTimePoint(const std::vector<std::string>& lines, std::string_view monthDay,
                     int targetMinute)
{
    int best = 10000;
    int chosen = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const OddsView line(lines[i]);
        const int distance = std::abs(targetMinute - line.announceMinuteOfDay());
        if (distance < best && line.announceMonthDay() == monthDay) {
            best = distance;
            chosen = static_cast<int>(i);
        }
    }
    return chosen;
}

int defaultTimeMinute(std::string_view hhmm)
{
    return toIntDef(field(hhmm, 1, 2), 0) * 60 + toIntDef(field(hhmm, 3, 2), 0);
}

WinOddsFallback winOddsAtOrBefore(const OddsFile& o1, std::string_view timeKey,
                                  std::string_view timeItem)
{
    if (auto earlier = o1.findAtOrBefore(timeKey)) {
        const OddsView view(*earlier);
        return {*earlier, "単勝オッズは " + view.announceHour() + ":" + view.announceMinute() +
                              " 発表のものです。"};
    }
    return {std::string(kO1RecordSize, ' '),
            "単勝オッズがありません（" +
                std::string(timeItem.substr(std::min<size_t>(6, timeItem.size()))) +
                " 以前の発表なし）。"};
}

} // namespace sorvantix
