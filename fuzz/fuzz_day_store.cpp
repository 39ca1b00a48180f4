// The day store loader on arbitrary day files: a .jvRA, the .jvSEr of the venue its
// first record names and a .jvHR, each taken from the input.

#include "core/store/day_store.h"
#include "core/store/race_card_files.h"
#include "core/text/error.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace sorvantix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto parts = fuzz::splitParts({reinterpret_cast<const char*>(data), size}, 3);
    const std::string_view ra = parts[0], se = parts[1], hr = parts[2];

    const auto app = fuzz::freshDir("day");
    const DayName day{2026, 12, 6};
    fuzz::writeBytes(raFilePath(app, day), ra);
    fuzz::writeBytes(seFilePath(app, day, RaView(ra).venue()), se);
    fuzz::writeBytes(seFilePath(app, day, "05"), se);
    fuzz::writeBytes(hrFilePath(app, day), hr);
    try {
        const DayLoad load = loadDay(app, day, DayStore());
        if (load.raceCount < 0 || load.raceCount > kRaceSlots)
            std::abort();
        for (const auto& item : load.items) {
            if (item.slot < 0 || item.slot >= load.raceCount)
                std::abort();
            (void)raceListItemText(load.store.RaRecs[static_cast<size_t>(item.slot)]);
        }
    } catch (const Error&) {
    }
    return 0;
}
