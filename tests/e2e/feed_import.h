#pragma once

// Stores a generated feed into an application folder as the acquisitions would, for
// the end-to-end and window tests.

#include "core/odds/odds_files.h"
#include "core/store/race_card_files.h"
#include "core/text/field.h"
#include "core/text/text_file.h"
#include "feed/feed_writer.h"
#include "folder_listing.h"

#include <filesystem>
#include <string>
#include <vector>

namespace sorvantix::test {

// Stores a generated feed the way the acquisitions do: stored RACE files record by
// record in stamp order, and each race's odds series as its snapshot files.
inline void importFeed(const std::filesystem::path& feedDir, const std::filesystem::path& appDir)
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
            SaveOddsSeries(appDir, lines,
                           std::string(spec) == "0B41" ? kO1Extension : kO2Extension);
        }
    }
}

// The generated Sunday 2026-11-29 (seed 7) that the day tests, the window tests and the
// window benchmark use: written into feedDir and imported into appDir.
inline void importGeneratedSunday(const std::filesystem::path& feedDir,
                                  const std::filesystem::path& appDir)
{
    feed::FeedOptions options;
    options.from = feed::FeedDate{2026, 11, 29};
    options.to = options.from;
    options.seed = 7;
    feed::writeFeed(options, feedDir);
    importFeed(feedDir, appDir);
}

// The same Sunday as a live day begins: the feed written into feedDir, and only its race
// cards (RA and SE of data kind 2) stored into appDir, no odds and no results.
inline void importGeneratedSundayCards(const std::filesystem::path& feedDir,
                                       const std::filesystem::path& appDir)
{
    feed::FeedOptions options;
    options.from = feed::FeedDate{2026, 11, 29};
    options.to = options.from;
    options.seed = 7;
    feed::writeFeed(options, feedDir);
    for (const auto& file : sortedFiles(feedDir / "RACE"))
        for (const std::string& record : readLinesRaw(file))
            if ((record.starts_with("RA") || record.starts_with("SE")) && record[2] == '2')
                storeCardRecord(appDir, record + "\r\n", CardWriter::Bulk);
}

} // namespace sorvantix::test
