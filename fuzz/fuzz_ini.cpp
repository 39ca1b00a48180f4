// The ini reader on arbitrary files, and a write into such a file: the value written
// must be the value read back, and the other keys must keep theirs.

#include "core/text/error.h"
#include "core/text/ini_file.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace sorvantix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto file = fuzz::freshDir("ini") / "settings.ini";
    fuzz::writeBytes(file, bytes);
    TIniGT ini(file);
    try {
        const std::string before = ini.ReadString("Gpaph", "jiku", "none");
        (void)ini.ReadInteger("Locate", "Top", -1);
        (void)ini.ReadInteger("OddsTime", "Time1", 10);
        (void)ini.ReadString("", "", "");
        ini.WriteInteger("Locate", "Left", 1234);
        if (ini.ReadInteger("Locate", "Left", 0) != 1234)
            std::abort();
        if (ini.ReadString("Gpaph", "jiku", "none") != before)
            std::abort(); // a write changed another key
    } catch (const Error&) {
        // a file that cannot be read or written is reported, not a fault
    }
    return 0;
}
