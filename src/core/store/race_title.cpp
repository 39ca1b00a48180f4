#include "core/store/race_title.h"

#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/field.h"
#include "core/text/format.h"

namespace sorvantix {

namespace {

int numberOr0(std::string_view text)
{
    return parseInt(text).value_or(0);
}

} // namespace

std::string raceConditionOfTitle(std::string_view rec)
{
    const RaView ra(rec);
    int type = numberOr0(ra.raceType());
    std::string c2 = ra.condition2yo();
    std::string c3 = ra.condition3yo();
    std::string c4 = ra.condition4yo();
    std::string c5 = ra.condition5yoUp();
    switch (type) {
    case 11:
    case 21:
        return RaceConditionText(c2);
    case 12:
    case 22:
        return RaceConditionText(c3);
    case 13:
    case 18:
    case 23: {
        int v = toIntDef(c3, 0);
        if (v >= 1 && v <= 100)
            return RaceConditionText(c3) + "  " + RaceConditionText(c4) + "  " +
                   RaceConditionText(c5);
        return RaceConditionText(c3);
    }
    case 14:
    case 19:
    case 24: {
        int v = toIntDef(c4, 0);
        if (v >= 1 && v <= 100)
            return RaceConditionText(c4) + "  " + RaceConditionText(c5);
        return RaceConditionText(c4);
    }
    default:
        return {};
    }
}

RaceTitle raceTitle(std::string_view rec)
{
    const RaView ra(rec);
    RaceTitle t;
    const std::string venue = ra.venue();
    const std::string post = ra.postTime();
    const std::string monthDay = ra.monthDayText();
    t.TitleLabel1 = ra.yearText() + "年" + PadNumber(monthDay.substr(0, 2)) + "月" +
                    PadNumber(monthDay.substr(2, 2)) + "日(" + WeekdayText(ra.weekday(), 1) + ")" +
                    VenueGroupName(venue) + PadNumber(ra.meetingText()) + "回" +
                    PadNumber(ra.meetingDayText()) + "日" + PadNumber(ra.raceNoText()) + "R   " +
                    post.substr(0, 2) + "." + post.substr(2, 2) + "発走  ";

    int edition = ra.edition().value_or(0);
    if (edition >= 1)
        t.TitleLabel2 = "第" + std::to_string(edition) + "回 ";
    t.TitleLabel2 += fromCp932(ra.raceNameRaw());

    t.TitleLabel3 = format("%2d", ra.registered()) + "頭  " +
                    format("%4d", ra.distance().value_or(0)) + "ﾒｰﾄﾙ " + TrackText(ra.track()) +
                    " " + GradeText(ra.grade(), 1) + " " + RaceTypeText(ra.raceType(), 6) + " " +
                    RaceSymbolText(ra.raceSymbol());
    t.TitleLabel4 = raceConditionOfTitle(rec) + " " + WeightTypeText(ra.weightRule());

    t.BashoLabel = VenueShortName(venue);
    t.RaceLabel = std::to_string(ra.raceNo().value_or(0));
    int track = numberOr0(ra.track());
    t.Panel2Colour = (track == 23 || track == 24) ? kMaroon : kGreen;
    return t;
}

std::string autoOddsTimeOf(std::string_view rec, int leadMinutes)
{
    const std::string postTime = RaView(rec).postTime();
    int post = numberOr0(postTime.substr(0, 2)) * 60 + numberOr0(postTime.substr(2, 2));
    if (post <= 0 || leadMinutes <= 0)
        return {};
    int at = post - leadMinutes;
    // Truncating division, as the hour is the whole part of minutes / 60.
    return twoDigits(at / 60) + twoDigits(at % 60);
}

} // namespace sorvantix
