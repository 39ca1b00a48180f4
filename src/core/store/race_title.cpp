#include "core/store/race_title.h"

#include "core/store/racing_codes.h"
#include "core/text/cp932.h"
#include "core/text/field.h"
#include "core/text/format.h"

namespace sorvantix {

namespace {

std::string raw(std::string_view rec, int pos, int len)
{
    return field(rec, pos, len);
}

// Registered runners as the title shows them; the record's own value, 0 for garbage.
int registered(std::string_view rec)
{
    return fieldInt(rec, 882, 2);
}

} // namespace

std::string raceConditionOfTitle(std::string_view rec)
{
    int type = fieldInt(rec, 617, 2);
    std::string c2 = raw(rec, 623, 3);
    std::string c3 = raw(rec, 626, 3);
    std::string c4 = raw(rec, 629, 3);
    std::string c5 = raw(rec, 632, 3);
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
    RaceTitle t;
    std::string venue = raw(rec, 20, 2);
    std::string post = raw(rec, 874, 4);
    t.TitleLabel1 = raw(rec, 12, 4) + "年" + PadNumber(raw(rec, 16, 2)) + "月" +
                    PadNumber(raw(rec, 18, 2)) + "日(" + WeekdayText(raw(rec, 28, 1), 1) + ")" +
                    VenueGroupName(venue) + PadNumber(raw(rec, 22, 2)) + "回" +
                    PadNumber(raw(rec, 24, 2)) + "日" + PadNumber(raw(rec, 26, 2)) + "R   " +
                    post.substr(0, 2) + "." + post.substr(2, 2) + "発走  ";

    int edition = fieldInt(rec, 612, 3);
    if (edition >= 1)
        t.TitleLabel2 = "第" + std::to_string(edition) + "回 ";
    t.TitleLabel2 += fieldText(rec, 33, 60);

    t.TitleLabel3 = format("%2d", registered(rec)) + "頭  " + format("%4d", fieldInt(rec, 698, 4)) +
                    "ﾒｰﾄﾙ " + TrackText(raw(rec, 706, 2)) + " " + GradeText(raw(rec, 615, 1), 1) +
                    " " + RaceTypeText(raw(rec, 617, 2), 6) + " " +
                    RaceSymbolText(raw(rec, 619, 3));
    t.TitleLabel4 = raceConditionOfTitle(rec) + " " + WeightTypeText(raw(rec, 622, 1));

    t.BashoLabel = VenueShortName(venue);
    t.RaceLabel = std::to_string(fieldInt(rec, 26, 2));
    int track = fieldInt(rec, 706, 2);
    t.Panel2Colour = (track == 23 || track == 24) ? kMaroon : kGreen;
    return t;
}

std::string autoOddsTimeOf(std::string_view rec, int leadMinutes)
{
    int hours = fieldInt(rec, 874, 2);
    int minutes = fieldInt(rec, 876, 2);
    int post = hours * 60 + minutes;
    if (post <= 0 || leadMinutes <= 0)
        return {};
    int at = post - leadMinutes;
    // Truncating division, as the hour is the whole part of minutes / 60.
    return twoDigits(at / 60) + twoDigits(at % 60);
}

} // namespace sorvantix
