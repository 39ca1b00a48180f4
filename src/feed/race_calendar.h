#pragma once

#include "feed/feed_date.h"

#include <string>
#include <vector>

namespace sorvantix::feed {

// One venue's meeting on a race day: the venue code ("01".."10"), the meeting
// number (回) of the venue in its year and the day (日目) within the meeting.
struct VenueMeeting
{
    std::string venue;
    int meeting = 0;
    int meetingDay = 0;
};

// A JRA race day: Saturdays, Sundays and the Monday holidays on which JRA races.
struct RaceDay
{
    FeedDate date;
    int weekdayCode = 0;              // JV-Data weekday code: 1 Saturday, 2 Sunday, 3 holiday
    std::vector<VenueMeeting> venues; // two or three, in post-time slot order
};

// The race days from `from` to `to` inclusive, in date order.
//
// The year is cut into thirteen blocks of four weekends; each block has its venues
// (two or three, following the seasons of the JRA year: 中山 and 京都 in January,
// the summer venues in July and August, 東京 and 京都 in the autumn). A venue's meeting
// number counts its blocks in the year, the meeting day its race days in the block.
// No racing from December 29th to January 4th. On a Monday holiday (成人の日, 建国記念の日
// when a Monday, 敬老の日, スポーツの日) three venues share the three days, two each;
// two venues race all three days. The same date always gets the same meetings,
// whatever range it is generated in.
std::vector<RaceDay> raceCalendar(FeedDate from, FeedDate to);

} // namespace sorvantix::feed
