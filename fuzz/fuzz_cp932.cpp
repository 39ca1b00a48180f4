// CP932 conversion both ways on arbitrary bytes. Text that converts to CP932 reads back
// as the same bytes, and padding never cuts a character.

#include "core/text/cp932.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace sorvantix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // As CP932 read from a file.
    const std::string utf8 = fromCp932(bytes);
    (void)displayWidth(utf8);

    // As UTF-8 typed or generated.
    if (fitsCp932(bytes)) {
        // Characters with two Unicode forms (U+2014 and U+2015 for 0x815C) may change
        // once; what is written must then be read back and written as the same bytes.
        const std::string cp932 = toCp932(bytes);
        if (toCp932(fromCp932(cp932)) != cp932)
            std::abort();
        const int width = displayWidth(bytes);
        const std::string padded = padRight(bytes, width + 3);
        if (displayWidth(padded) != width + 3 || padded.compare(0, size, bytes) != 0)
            std::abort();
        const std::string cut = padLeft(bytes, width / 2);
        if (!fitsCp932(cut))
            std::abort(); // cut inside a character
    }
    return 0;
}
