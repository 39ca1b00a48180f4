#include "core/app/recording_person.h"
#include "core/app/temp_dir.h"
#include "core/app/workbench.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/odds/odds_files.h"
#include "core/store/race_card_files.h"
#include "core/text/field.h"
#include "core/text/text_file.h"
#include "feed/feed_writer.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::RecordingPerson;
using sorvantix::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The generated race cards, stored as the bulk download stores them.
void importCards(const fs::path& feedDir, const fs::path& appDir)
{
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(feedDir / "RACE"))
        files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        for (const std::string& record : readLinesRaw(file)) {
            std::string type = record.substr(0, 2);
            if ((type == "RA" || type == "SE") && !bulkSkipsDataKind(record))
                storeCardRecord(appDir, record + "\r\n", CardWriter::Bulk);
        }
    }
}

int minuteOfDay(std::string_view hhnn)
{
    return toIntDef(hhnn.substr(0, 2), -1000) * 60 + toIntDef(hhnn.substr(2, 2), 0);
}

} // namespace

// A generated morning through the automatic odds acquisition: every race falls due at
// its acquisition time (plus the 5-minute delay), is fetched once through the queue
// and then lists its time points.
TEST(RaceDayAutomation, EveryRaceDueInTheMorningIsFetchedOnce)
{
    TempDir dir;
    AppDir app(dir.path() / "app");
    app.createFolders();
    feed::FeedOptions options;
    options.from = feed::FeedDate{2026, 11, 29};
    options.to = options.from;
    options.seed = 7;
    feed::writeFeed(options, app.root() / "feed");
    importCards(app.root() / "feed", app.root());

    ReplayJvLink link(app.root());
    ASSERT_EQ(link.JVInit("SA730519/SD815207/Sorvantix/Ver.1.30"), 0);
    RecordingPerson person;
    SettableClock clock(LocalDateTime{2026, 11, 29, 9, 0, 0});
    TaskInbox inbox;
    Workbench wb(app, person, clock);
    wb.connectJvLink(&link, inbox.poster());
    wb.MakeDataListBtnClick();
    wb.DateComboChange(0);
    const WorkbenchState& s = wb.state();
    ASSERT_GE(s.DatList.size(), 24u);
    Workbench& automatic = wb;
    ASSERT_TRUE(automatic.AutoOzCheckClick(true)) << testing::PrintToString(person.messages);
    // The alerts of each automatic fetch, as the window and the CLI hear them.
    std::vector<OddsAlert> alerts;
    wb.addListener([&](Parts parts) {
        if (parts.has(Part::Alerts))
            alerts.insert(alerts.end(), wb.lastAlerts().begin(), wb.lastAlerts().end());
    });

    const int from = 9 * 60, to = 11 * 60;
    std::vector<int> due;
    for (int i = 0; i < static_cast<int>(s.DatList.size()); ++i) {
        int at =
            minuteOfDay(
                s.store.AutoOddsTime[static_cast<size_t>(s.DatList[static_cast<size_t>(i)].slot)]) +
            5;
        if (at >= from && at < to)
            due.push_back(i);
    }
    ASSERT_GE(due.size(), 3u);

    std::vector<int> started;
    for (long long t = 0; t < (to - from) * 60; t += kTimer2IntervalMs / 1000) {
        clock.set(LocalDateTime{2026, 11, 29, 9, 0, 0}.addSeconds(t));
        for (int index : automatic.Timer2Timer())
            started.push_back(index);
        ASSERT_TRUE(
            inbox.runUntil([&] { return wb.pendingRequests() == 0; }, std::chrono::seconds(30)));
    }
    std::sort(started.begin(), started.end());
    EXPECT_EQ(started, due);

    // Every alert is of a race fetched, and the day's log holds each one.
    ASSERT_FALSE(alerts.empty());
    for (const OddsAlert& a : alerts)
        EXPECT_GE(wb.raceIndexOf(a.raceKey), 0) << a.text();
    const auto log = readLinesText(alertLogFile(app.root(), DayName{2026, 11, 29}));
    ASSERT_EQ(log.size(), alerts.size());
    EXPECT_NE(log.front().find(alerts.front().text()), std::string::npos) << log.front();

    for (int index : due) {
        const std::string& ra =
            s.store.RaRecs[static_cast<size_t>(s.DatList[static_cast<size_t>(index)].slot)];
        EXPECT_TRUE(fs::exists(oddsFilePath(app.root(), field(ra, 12, 16), kO1Extension)));
        wb.DatListClick(index);
        EXPECT_FALSE(s.TimeCombo.empty()) << index;
        EXPECT_TRUE(s.Panel3Visible) << index;
    }
}
