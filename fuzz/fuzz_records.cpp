// The record views and the odds loading on arbitrary bytes: every field of every view,
// the card store's plan (no write), the odds collector, the odds arrays with the
// analysis on top, and the odds file readers on the same bytes as a file.

#include "core/analysis/analysis_computation.h"
#include "core/analysis/suisho_params.h"
#include "core/odds/odds_files.h"
#include "core/odds/realtime_odds.h"
#include "core/store/race_card_files.h"
#include "core/store/record_views.h"
#include "core/text/error.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace sorvantix;

namespace {

void readEveryField(std::string_view bytes)
{
    RaView ra(bytes);
    (void)ra.isBlank();
    (void)ra.raceKey();
    (void)ra.raceNo();
    (void)ra.raceName();
    (void)ra.shortName6();
    (void)ra.edition();
    (void)ra.distance();
    (void)ra.postTime();
    (void)ra.registered();
    (void)ra.registeredOutOfRange();
    SeView se(bytes);
    (void)se.bracket();
    (void)se.horseNo();
    (void)se.horseName();
    (void)se.finishPos();
    (void)se.winOddsTenths();
    (void)se.popularity();
    HrView hr(bytes);
    for (int n = 1; n <= HrView::kWinEntries; ++n)
        (void)hr.win(n).payoutYen();
    for (int n = 1; n <= HrView::kPlaceEntries; ++n)
        (void)hr.place(n).payoutYen();
    for (int n = 1; n <= HrView::kBracketEntries; ++n)
        (void)hr.bracket(n).payoutYen();
    for (int n = 1; n <= HrView::kQuinellaEntries; ++n)
        (void)hr.quinella(n).payoutYen();
    for (int n = 1; n <= HrView::kWideEntries; ++n)
        (void)hr.wide(n).payoutYen();
    O1View o1(bytes);
    (void)o1.announceMinuteOfDay();
    (void)o1.registered();
    for (int n = 1; n <= O1View::kWinSlots; ++n)
        (void)o1.winOdds(n);
    for (int k = 1; k <= O1View::kBracketSlots; ++k)
        (void)o1.bracketOdds(k);
    O2View o2(bytes);
    for (int k = 1; k <= O2View::kPairSlots; ++k)
        (void)o2.quinellaOdds(k);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto parts = fuzz::splitParts({reinterpret_cast<const char*>(data), size}, 2);
    const std::string o1(parts[0]), o2(parts[1]);

    readEveryField(o1);
    readEveryField(o2);

    const std::filesystem::path app = fuzz::scratch() / "app";
    for (auto writer : {CardWriter::Bulk, CardWriter::Realtime}) {
        for (const std::string* rec : {&o1, &o2}) {
            try {
                const CardStorePlan plan = planCardStore(app, *rec, writer);
                // Whatever the record says, a day file is written inside Data/ only.
                if (plan.outcome == StoreOutcome::Stored &&
                    plan.path.parent_path() != cardDataDir(app))
                    std::abort();
            } catch (const Error&) {
            }
        }
    }

    OddsRecvLists lists;
    std::string reason;
    (void)CollectOddsRecord(o1, lists, &reason);
    (void)CollectOddsRecord(o2, lists, &reason);

    for (bool useUmaren : {true, false}) {
        OddsArrays arrays;
        try {
            fillOddsArrays(o1, o2, useUmaren, arrays);
            AnalysisState state;
            computeAnalysis(arrays, analysisDefaultParams(), state);
        } catch (const Error&) {
        }
    }

    // The same bytes as a stored odds file.
    const auto dir = fuzz::freshDir("odds");
    const auto file = dir / "2026120606050211.jvO2";
    fuzz::writeBytes(file, o2);
    try {
        std::string damage;
        const auto lines = readOddsLines(file, kO2RecordSize, &damage);
        for (const auto& line : lines)
            (void)timeKeyOfItem(timeComboItem(line));
        bool damaged = false;
        if (!lines.empty() && lines.back().size() >= 35)
            (void)findOddsRecord(file, kO2RecordSize, lines.back().substr(27, 8), &damaged);
        (void)findOddsRecordAtOrBefore(file, "12061200");
    } catch (const Error&) {
    }
    return 0;
}
