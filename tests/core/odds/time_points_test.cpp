#include "core/app/temp_dir.h"
#include "core/odds/odds_files.h"
#include "core/odds/time_points.h"
#include "core/store/record_builder.h"

#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::TempDir;

namespace {

const char* kKey = "2006122406050811";

std::string o1Line(const std::string& time, const char* key = kKey)
{
    RecordBuilder b(RecordType::O1);
    b.set("data_kind", "0").set("creation_date", "20061224").setRaceKey(key);
    b.set("announce_time", time);
    std::string s = b.bytes();
    return s.substr(0, s.size() - 2);
}

TEST(TimePoints, LinesOfAnotherRaceGoWhateverTheirForm)
{
    std::vector<std::string> lines{o1Line("12240930"), o1Line("12240931", "2006122406050812"),
                                   o1Line("12240932"), "short"};
    EXPECT_EQ(dropOtherRaceLines(lines, kKey), 2u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(OddsView(lines[1]).announceTime(), "12240932");

    // The mapped readers hold views of the same records.
    const std::string other = o1Line("12240940", "2006122406050812");
    std::vector<std::string_view> views{other, lines[0]};
    EXPECT_EQ(dropOtherRaceLines(views, kKey), 1u);
    EXPECT_EQ(views.front(), lines[0]);
    EXPECT_EQ(dropOtherRaceLines(views, kKey), 0u);
}

TEST(TimePoints, TheDefaultIsTheNearestAnnouncementOfTheRaceDay)
{
    // The evening before the race day comes first in the file.
    const std::vector<std::string> lines{o1Line("12231700"), o1Line("12240905"), o1Line("12240913"),
                                         o1Line("12240917"), o1Line("12241530")};
    EXPECT_EQ(timeListItems(lines).front(), "12/23 17:00");
    EXPECT_EQ(timeListItems(lines).size(), lines.size());
    const int nineFifteen = defaultTimeMinute("0915");
    EXPECT_EQ(nineFifteen, 555);
    // 09:13 and 09:17 are equally near 09:15: the first wins.
    EXPECT_EQ(defaultTimePoint(lines, "1224", nineFifteen), 2);
    EXPECT_EQ(defaultTimePoint(lines, "1224", defaultTimeMinute("1600")), 4);
    // 17:00 of the evening before is nearest 17:00 but not on the race day.
    EXPECT_EQ(defaultTimePoint(lines, "1224", defaultTimeMinute("1700")), 4);
    // No line of the day (or none at all): the first.
    EXPECT_EQ(defaultTimePoint(lines, "1225", nineFifteen), 0);
    EXPECT_EQ(defaultTimePoint({}, "1224", nineFifteen), 0);
    EXPECT_EQ(defaultTimeMinute("  "), 0);
    EXPECT_EQ(defaultTimeMinute("x9"), 0);
}

TEST(TimePoints, WinOddsFallBackToTheLastAnnouncementBeforeTheTime)
{
    TempDir dir;
    SaveOddsSeries(dir.path(), {o1Line("12240905"), o1Line("12240911")}, kO1Extension);
    const OddsFile o1 = OddsFile::read(oddsFilePath(dir.path(), kKey, kO1Extension), kO1RecordSize);

    WinOddsFallback at = winOddsAtOrBefore(o1, "12240913", "12/24 09:13");
    EXPECT_EQ(OddsView(at.record).announceTime(), "12240911");
    EXPECT_EQ(at.notice, "単勝オッズは 09:11 発表のものです。");

    // Nothing announced before the time: a blank record, never another time's odds.
    WinOddsFallback none = winOddsAtOrBefore(o1, "12240900", "12/24 09:00");
    EXPECT_EQ(none.record, std::string(kO1RecordSize, ' '));
    EXPECT_EQ(none.notice, "単勝オッズがありません（09:00 以前の発表なし）。");
}

} // namespace
