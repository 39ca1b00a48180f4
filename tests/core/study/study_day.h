#pragma once

// The report day (Tokyo, 16 May 2004) with its odds series extended for the studies:
// race 11 (post 15:30) gets announcements at 15:00 and 15:25 whose odds are given by
// the test, so what a decision can see is under the test's control.

#include "core/app/report_day.h"

#include <functional>

namespace sorvantix::test {

using PairTenths = std::function<int(int a, int b)>;

// Every pair of the race at the same odds: no runner stands out, no marks.
inline int flatTenths(int, int)
{
    return 450;
}

inline std::string studyO2(const ReportRace& r, const std::string& time, const PairTenths& tenths,
                           long long pool = 0)
{
    RecordBuilder b = RecordBuilder::fromRecord(reportO2(r, time) + "\r\n");
    for (int a = 1; a <= r.runners; ++a)
        for (int c = a + 1; c <= r.runners; ++c)
            b.set("quinella_odds", umarenPairNumber(a, c), format("%06d", tenths(a, c)));
    b.set("quinella_pool", pool);
    return withoutCrLf(b.bytes());
}

inline const ReportRace& race11()
{
    return reportRaces()[2];
}

// The report day with race 11's late announcements: 15:00 with `at1500`, 15:25 with
// `at1525`, quinella pools of 2 and 3 million yen. Race 11 pays the quinella 1-6
// (5,200 yen).
inline void storeStudyDay(const std::filesystem::path& appDir, const PairTenths& at1500,
                          const PairTenths& at1525)
{
    storeReportDay(appDir, {{11, {{{"0106", 5200}}, {}}}, {1, {{{"0102", 450}}, {}}}});
    const ReportRace& r = race11();
    SaveOddsSeries(appDir,
                   {reportO1(r, "05160910"), reportO1(r, "05160920"), reportO1(r, "05161500"),
                    reportO1(r, "05161525")},
                   kO1Extension);
    SaveOddsSeries(appDir,
                   {reportO2(r, "05160910"), reportO2(r, "05160920"),
                    studyO2(r, "05161500", at1500, 20000), studyO2(r, "05161525", at1525, 30000)},
                   kO2Extension);
}

// The boosted odds of the report race 11: marks and bets.
inline int markedTenths(int a, int b)
{
    return reportPairTenths(11, a, b);
}

} // namespace sorvantix::test
