#include "folder_listing.h"
#include "core/app/recording_person.h"
#include "core/app/temp_dir.h"
#include "core/app/workbench.h"
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

using sorvantix::test::sortedFiles;

namespace {

// Stores a generated feed the way the acquisitions do: stored RACE files record by
// record in stamp order, and each race's odds series as its snapshot files.
void importFeed(const fs::path& feedDir, const fs::path& appDir)
{
    for (const auto& file : sortedFiles(feedDir / "RACE")) {
        for (std::string record : readLinesRaw(file)) {
            std::string type = record.substr(0, 2);
            if ((type != "RA" && type != "SE" && type != "HR") || bulkSkipsDataKind(record))
                continue;
            storeCardRecord(appDir, record + "\r\n", CardWriter::Bulk);
        }
    }
    for (const char* spec : {"0B41", "0B42"}) {
        for (const auto& file : sortedFiles(feedDir / spec)) {
            std::vector<std::string> lines;
            for (std::string record : readLinesRaw(file)) {
                char kind = record[2];
                if (kind == '0' || kind == '9' || fieldInt(record, 26, 2) <= 0)
                    continue;
                record[2] = '0';
                lines.push_back(record);
            }
            SaveOddsSeries(appDir, lines, std::string(spec) == "0B41" ? kO1Extension : kO2Extension);
        }
    }
}

} // namespace

TEST(FeedDay, EveryGeneratedRaceCanBeAnalysed)
{
    TempDir dir;
    feed::FeedOptions options;
    options.from = feed::FeedDate{2026, 11, 29};
    options.to = options.from;
    options.seed = 7;
    fs::path feedDir = dir.path() / "feed";
    feed::writeFeed(options, feedDir);
    AppDir app(dir.path() / "app");
    app.createFolders();
    importFeed(feedDir, app.root());

    RecordingPerson person;
    SettableClock clock(LocalDateTime{2026, 11, 30, 9, 0, 0});
    Workbench wb(app, person, clock);
    wb.MakeDataListBtnClick();
    ASSERT_EQ(wb.state().DateCombo, std::vector<std::string>{"2026年11月29日"});
    wb.DateComboChange(0);
    const auto& s = wb.state();
    ASSERT_GE(s.DatList.size(), 24u);

    int racesWithMarks = 0;
    for (int i = 0; i < static_cast<int>(s.DatList.size()); ++i) {
        wb.DatListClick(i);
        ASSERT_TRUE(s.Panel3Visible) << s.DatList[static_cast<size_t>(i)].text;
        int runners = fieldInt(s.store.RaRecs[static_cast<size_t>(s.SelectedRace)], 882, 2);
        EXPECT_EQ(s.display.StringGrid1.rowCount(), runners + 1);
        // The ranks of the runners are a permutation of 1..runners.
        std::vector<int> ranks;
        for (int h = 1; h <= runners; ++h)
            ranks.push_back(s.analysis.ShareRank[static_cast<size_t>(h)]);
        std::sort(ranks.begin(), ranks.end());
        for (int k = 0; k < runners; ++k)
            EXPECT_EQ(ranks[static_cast<size_t>(k)], k + 1);
        EXPECT_GT(s.analysis.KasenRate, 0.0);
        // Results were fetched with the cards: somebody won.
        EXPECT_NE(std::count(s.results.FinishPos.begin(), s.results.FinishPos.end(), 1), 0);
        bool marked = false;
        for (int h = 1; h <= runners; ++h)
            marked = marked || s.analysis.SuishoMark[static_cast<size_t>(h)] != 0;
        racesWithMarks += marked ? 1 : 0;
    }
    EXPECT_GT(racesWithMarks, 0);
    EXPECT_TRUE(person.messages.empty()) << person.messages.front();

    wb.M1Click();
    EXPECT_TRUE(person.messages.empty());
    EXPECT_FALSE(sortedFiles(app.suishoDir()).empty());
}
