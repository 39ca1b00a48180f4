#include "core/results/payout_acquisition.h"

#include "core/jvlink/jv_link.h"
#include "core/jvlink/jv_result_text.h"
#include "core/store/race_card_files.h"
#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/field.h"
#include "core/text/person.h"
#include "core/text/text_file.h"

#include <algorithm>

namespace sorvantix {

namespace fs = std::filesystem;

DayResultsFetch fetchDayResults(JvLink& jvLink, const fs::path& appDir, const DayStore& store,
                                int selectedRace, bool AutoResultMode, Person& person,
                                const ErrorLogAppend& appendError, const std::atomic<bool>* cancel)
{
    DayResultsFetch result;
    const RaView first(store.RaRecs[0]);
    const std::string key = first.yearText() + first.monthDayText();
    if (!DayName::fromDigits(key) || key == "00000000")
        return result;
    result.ran = true;

    auto finalStep = [&] {
        person.status("");
        CloseRealtimeCards(jvLink, AutoResultMode, person, appendError);
    };
    person.status("払戻データ取得中");
    try {
        result.openResult = jvLink.JVRTOpen(std::string(jv::kSpecDayResults), key);
        if (result.openResult != 0) {
            if (!AutoResultMode)
                person.beep();
            // The words name the selected race although the request covers the day.
            const std::string selected = selectedRace >= 0 && selectedRace < kRaceSlots
                                             ? store.RaRecs[static_cast<size_t>(selectedRace)]
                                             : std::string();
            appendError(VenueShortName(RaView(selected).venue()) +
                        PadNumber(RaView(selected).raceNoText()) + "R:払戻データ取得エラー：" +
                        JvResultText("JVRTOpen", result.openResult));
            CloseRealtimeCards(jvLink, AutoResultMode, person, appendError);
        } else {
            result.read = ReadRealtimeCards(jvLink, appDir, appendError, cancel, key);
            CloseRealtimeCards(jvLink, AutoResultMode, person, appendError);
        }
    } catch (...) {
        finalStep();
        throw;
    }
    finalStep();
    return result;
}

PayoutImport importDayPayouts(const fs::path& appDir, const DayName& day, DayStore& store)
{
    PayoutImport import;
    // The day loading reads the race cards exactly as the race list was built, so each
    // record lands in the slot the list points at.
    DayLoad load = loadDay(appDir, day, store);
    import.warnings = std::move(load.warnings);
    import.raFileFound = load.raFileFound;
    if (load.raFileFound) {
        import.raceCount = load.raceCount;
        for (int s = 0; s < load.raceCount; ++s) {
            const size_t slot = static_cast<size_t>(s);
            store.RaRecs[slot] = load.store.RaRecs[slot];
            const RaView ra(store.RaRecs[slot]);
            const int race = ra.raceNo().value_or(0);
            if (trimmed(ra.yearText()).empty() || race < 1 || race > kSeMaxRace)
                continue;
            if (!cardFileExists(seFilePath(appDir, day, ra.venue())))
                continue;
            const int runners = ra.registered();
            for (int k = 0; k < runners && k < kHorseSlots; ++k)
                store.SeRecs[slot][static_cast<size_t>(k)] =
                    load.store.SeRecs[slot][static_cast<size_t>(k)];
        }
    }

    const fs::path hrPath = hrFilePath(appDir, day);
    if (!cardFileExists(hrPath))
        return import;
    import.hrFileFound = true;
    const std::array<bool, kRaceSlots> before = store.HrMerged;
    for (auto& hr : store.HrRecs)
        hr.assign(static_cast<size_t>(kHrRecordLength), ' ');
    const std::string bytes = readFileBytes(hrPath);
    const size_t size = static_cast<size_t>(kHrRecordLength);
    const size_t count = std::min(bytes.size() / size, static_cast<size_t>(kRaceSlots));
    for (size_t h = 0; h < count; ++h) {
        std::string record = bytes.substr(h * size, size);
        auto key = RaceKey::tryFromRecord(record);
        if (!key)
            continue;
        auto slot = std::find_if(store.RaRecs.begin(), store.RaRecs.end(), [&](const auto& ra) {
            return RaView(ra).raceKeyText() == key->text();
        });
        if (slot == store.RaRecs.end())
            continue;
        const size_t s = static_cast<size_t>(slot - store.RaRecs.begin());
        store.HrRecs[s] = std::move(record);
        store.HrMerged[s] = true;
        import.newlyMerged[s] = !before[s];
    }
    return import;
}

std::vector<PayoutSummaryRow> payoutSummary(const DayStore& store,
                                            const std::vector<RaceListItem>& items)
{
    std::vector<PayoutSummaryRow> rows;
    for (const auto& item : items) {
        const size_t slot = static_cast<size_t>(item.slot);
        PayoutSummaryRow row{item.text, store.HrMerged.at(slot), {}, 0};
        if (row.merged) {
            const PayoutEntry win = HrView(store.HrRecs.at(slot)).win(1);
            row.winHorse = win.combination;
            row.winYen = win.payoutYen().value_or(0);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace sorvantix
