// The replay JV-Link on an arbitrary feed: a faults.txt, a stored-data file and a
// real-time odds file from the input, read as the acquisitions read them: the race
// card import into a day folder, and the odds request into the odds files. Nothing
// may be written outside the application folder's Data/ and the replay's cache.

#include "core/jvlink/jv_link.h"
#include "core/jvlink/replay_faults.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/odds/realtime_odds.h"
#include "core/store/batched_card_writer.h"
#include "core/text/error.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "2026120606050211";

void importStoredData(ReplayJvLink& link, const fs::path& app)
{
    int readCount = 0, downloadCount = 0;
    std::string stamp;
    if (link.JVOpen("RACE", "00000000000000", jv::kOptionNormal, readCount, downloadCount, stamp) !=
        jv::kOk)
        return;
    for (int i = 0; i < 100; ++i) {
        const int status = link.JVStatus();
        if (status < 0 || status >= downloadCount)
            break;
    }
    BatchedCardWriter writer(app, CardWriter::Bulk);
    std::string buffer, fileName;
    for (int i = 0; i < 100000; ++i) {
        int size = 0;
        const int rc = link.JVRead(buffer, size, fileName);
        if (rc == jv::kReadEnd || jv::isReadError(rc))
            break;
        if (rc > 0)
            (void)writer.store(buffer);
    }
    writer.flush();
    link.JVClose();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto parts = fuzz::splitParts({reinterpret_cast<const char*>(data), size}, 3);
    const std::string_view faults = parts[0], odds = parts[1], stored = parts[2];

    (void)JvFaultSet::parse(faults);

    const auto app = fuzz::freshDir("replay");
    const auto feed = app / "feed";
    fuzz::writeBytes(feed / "faults.txt", faults);
    fuzz::writeBytes(feed / "RACE" / "20261201120000.jvd", stored);
    fuzz::writeBytes(feed / "0B41" / (std::string(kKey) + ".jvd"), odds);
    fs::create_directories(app / "Data");

    try {
        ReplayJvLink link(app);
        if (link.JVInit("UNKNOWN") != jv::kOk)
            std::abort();
        importStoredData(link, app);

        if (link.JVRTOpen("0B41", kKey) == jv::kOk) {
            OddsRecvLists lists;
            (void)readOddsRecords(link, lists);
            link.JVClose();
            (void)storeOddsSeries(app, kKey, lists.O1RecvList, ".jvO1");
        }
    } catch (const Error&) {
    }

    // Everything the run wrote is inside the application folder's own places.
    for (const auto& entry : fs::directory_iterator(app)) {
        const std::string name = entry.path().filename().string();
        if (name != "feed" && name != "Data" && name != "jvcache" && name != "jvlink.ini")
            std::abort();
    }
    return 0;
}
