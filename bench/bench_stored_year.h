#pragma once

// A year of stored days for the benchmarks that read stored races: three venues of
// twelve races, each with its RA and HR record and odds files of 130 announcements
// from 09:00 until five minutes to post. Made once per process in the temporary folder.

#include "bench_odds_fixture.h"
#include "core/odds/odds_files.h"
#include "core/store/race_card_files.h"
#include "core/store/record_builder.h"
#include "core/text/day_name.h"
#include "core/text/text_file.h"

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace bench {

using namespace sorvantix;
namespace fs = std::filesystem;

inline constexpr int kDays = 96;    // Saturdays and Sundays of a year
inline constexpr int kPoints = 130; // announcements per race, as the feed generates them
inline const char* kVenues[] = {"05", "06", "09"};

// A year of stored days: three venues of twelve races, each with its RA and HR record
// and odds files of 130 announcements from the day before until five minutes to post.
struct StoredYear
{
    fs::path app;
    int races = 0;
    std::vector<OddsArrays> arrays; // the decision's odds of every race, for the reference

    StoredYear()
    {
        app = fs::temp_directory_path() / ("sorvantix-bench-year-" + std::to_string(::getpid()));
        fs::remove_all(app);
        fs::create_directories(app / "Data");
        // One race's series; each race gets a copy with its own key.
        std::vector<std::string> o1, o2;
        for (int k = 0; k < kPoints; ++k) {
            const int minute = 9 * 60 + 3 * k; // 09:00 .. 15:27
            const auto [a, b] = bench::sixteenRunnerRecords(
                "2025010505010101", format("0101%02d%02d", minute / 60, minute % 60),
                1.0 + 0.002 * k);
            o1.push_back(a);
            o2.push_back(b);
        }
        OddsArrays decided;
        fillOddsArrays(o1[kPoints - 2], o2[kPoints - 2], true, decided);
        for (int d = 0; d < kDays; ++d) {
            const int month = 1 + d / 8, day = 1 + (d % 8) * 3;
            const DayName name{2025, month, day};
            std::vector<std::string> ra, hr;
            const std::string md = format("%02d%02d", month, day);
            for (const char* venue : kVenues) {
                for (int r = 1; r <= 12; ++r) {
                    const std::string key = format("2025%s%s0101%02d", md.c_str(), venue, r);
                    RecordBuilder a(RecordType::RA);
                    a.setRaceKey(key).set("registered", 16).set("post_time", 1530);
                    ra.push_back(a.bytes().substr(0, kRaRecordLength - 2));
                    RecordBuilder h(RecordType::HR);
                    h.setRaceKey(key).set("registered", 16).set("win_horse", 1, 1);
                    h.set("win_payout", 1, format("%09d", 280));
                    h.set("quinella_combo", 1, "0107")
                        .set("quinella_payout", 1, format("%09d", 3450));
                    hr.push_back(h.bytes().substr(0, kHrRecordLength - 2));
                    std::string b1, b2;
                    for (int k = 0; k < kPoints; ++k) {
                        std::string x = o1[static_cast<size_t>(k)], y = o2[static_cast<size_t>(k)];
                        x.replace(11, 16, key);
                        y.replace(11, 16, key);
                        x.replace(27, 4, md);
                        y.replace(27, 4, md);
                        b1 += x + "\r\n";
                        b2 += y + "\r\n";
                    }
                    const fs::path dir = app / "Data" / key.substr(0, 8);
                    fs::create_directories(dir);
                    writeFileAtomicUnsynced(dir / (key.substr(8) + ".jvO1"), b1);
                    writeFileAtomicUnsynced(dir / (key.substr(8) + ".jvO2"), b2);
                    arrays.push_back(decided);
                    ++races;
                }
            }
            writeFileAtomicUnsynced(app / "Data" / (name.text() + ".jvRA"), joinLinesRaw(ra));
            writeFileAtomicUnsynced(app / "Data" / (name.text() + ".jvHR"), joinLinesRaw(hr));
        }
    }
    ~StoredYear() { fs::remove_all(app); }
};

inline StoredYear& storedYear()
{
    static StoredYear year;
    return year;
}

} // namespace bench
