#include "core/store/day_store.h"

#include "core/store/race_card_files.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <map>
#include <optional>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

std::string blanks(int length)
{
    return std::string(static_cast<size_t>(length), ' ');
}

using FixedRecords = FixedRecordFile;

FixedRecords readFixedRecords(const fs::path& path, int recordLength,
                              std::vector<std::string>& warnings)
{
    FixedRecords f = readFixedRecordFile(path, recordLength);
    if (!f.damage.empty())
        warnings.push_back(f.damage);
    return f;
}

void limitToSlots(FixedRecords& f, const fs::path& path, std::vector<std::string>& warnings)
{
    if (f.count <= static_cast<size_t>(kRaceSlots))
        return;
    warnings.push_back(format("%s: %zu件のレコードのうち最初の%d件だけを読み込みました",
                              path.filename().c_str(), f.count, kRaceSlots));
    f.count = static_cast<size_t>(kRaceSlots);
}

bool hasYear(std::string_view ra)
{
    std::string year = RaView(ra).yearText();
    return !trimmed(year).empty() && year != "0000";
}

} // namespace

DayStore::DayStore()
{
    clearRecords();
}

void DayStore::clearRecords()
{
    for (int s = 0; s < kRaceSlots; ++s) {
        RaRecs[s] = blanks(kRaRecordLength);
        SeRecs[s].fill(blanks(kSeRecordLength));
        HrRecs[s] = blanks(kHrRecordLength);
        O1Recs[s] = blanks(kO1RecordLength);
        O2Recs[s] = blanks(kO2RecordLength);
        HrMerged[s] = false;
    }
}

std::string raceListItemText(std::string_view raRecord)
{
    const RaView ra(raRecord);
    return VenueGroupName(ra.venue()) + PadNumber(ra.meetingText()) + "回 " +
           PadNumber(ra.meetingDayText()) + "日" + PadNumber(ra.raceNoText()) + "R";
}

DayLoad loadDay(const fs::path& appDir, const DayName& day, const DayStore& current)
{
    DayLoad load;
    load.store = current;
    load.store.clearRecords();
    DayStore& store = load.store;

    const fs::path raPath = raFilePath(appDir, day);
    if (!cardFileExists(raPath))
        return load;
    load.raFileFound = true;

    FixedRecords ra = readFixedRecords(raPath, kRaRecordLength, load.warnings);
    limitToSlots(ra, raPath, load.warnings);
    load.raceCount = static_cast<int>(ra.count);

    // Each venue's .jvSEr file is read once; nullopt marks a missing file.
    std::map<fs::path, std::optional<FixedRecords>> seFiles;
    std::map<fs::path, bool> seShortReported;
    for (int s = 0; s < load.raceCount; ++s) {
        std::string& rec = store.RaRecs[s];
        rec = ra.record(static_cast<size_t>(s));
        if (hasYear(rec))
            load.items.push_back({raceListItemText(rec), s});

        const fs::path sePath = seFilePath(appDir, day, RaView(rec).venue());
        auto cached = seFiles.find(sePath);
        if (cached == seFiles.end()) {
            std::optional<FixedRecords> se;
            if (cardFileExists(sePath))
                se = readFixedRecords(sePath, kSeRecordLength, load.warnings);
            cached = seFiles.emplace(sePath, std::move(se)).first;
        }
        if (!cached->second)
            continue;
        const FixedRecords& se = *cached->second;
        const RaView view(rec);
        if (view.registeredOutOfRange())
            load.warnings.push_back(
                format("%s: %d件目の登録頭数「%s」が0〜18の範囲外です。%d頭として読み込みました",
                       raPath.filename().c_str(), s + 1, fromCp932(view.registeredRaw()).c_str(),
                       view.registered()));
        const int runners = view.registered();
        const int race = view.raceNo().value_or(0);
        if (runners == 0)
            continue;
        if (race < 1 || race > kSeMaxRace) {
            load.warnings.push_back(format("%s: %d件目のレース番号「%s」では出走馬を読めません",
                                           raPath.filename().c_str(), s + 1,
                                           fromCp932(view.raceNoText()).c_str()));
            continue;
        }
        for (int k = 0; k < runners; ++k) {
            const size_t index = static_cast<size_t>((race - 1) * kHorseSlots + k);
            if (index < se.count) {
                store.SeRecs[s][k] = se.record(index);
            } else if (!seShortReported[sePath]) {
                seShortReported[sePath] = true;
                load.warnings.push_back(format("%s: %zu件しかなく、%d件目以降の出走馬がありません",
                                               sePath.filename().c_str(), se.count,
                                               static_cast<int>(index) + 1));
            }
        }
    }

    const fs::path hrPath = hrFilePath(appDir, day);
    if (!cardFileExists(hrPath))
        return load;
    FixedRecords hr = readFixedRecords(hrPath, kHrRecordLength, load.warnings);
    limitToSlots(hr, hrPath, load.warnings);
    for (size_t h = 0; h < hr.count; ++h) {
        std::string rec = hr.record(h);
        const RecordView payout(rec);
        auto slot = std::find_if(store.RaRecs.begin(), store.RaRecs.end(), [&](const auto& r) {
            const RaView race(r);
            return race.venue() == payout.venue() && race.raceNoText() == payout.raceNoText();
        });
        if (slot == store.RaRecs.end()) {
            load.warnings.push_back(format("%s: %zu件目の払戻(%s)に当たるレースがありません",
                                           hrPath.filename().c_str(), h + 1,
                                           fromCp932(payout.raceKeyText()).c_str()));
            continue;
        }
        store.HrRecs[static_cast<size_t>(slot - store.RaRecs.begin())] = std::move(rec);
    }
    return load;
}

} // namespace sorvantix
