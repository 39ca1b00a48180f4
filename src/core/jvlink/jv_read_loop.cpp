#include "core/jvlink/jv_link.h"

namespace sorvantix {

JvReadEnd readJvStream(JvLink& jvLink, const std::function<bool()>& cancelled,
                       const std::function<void(const std::string& record)>& record,
                       const std::function<void()>& fileSwitch)
{
    JvReadEnd end;
    // A -1 is a file switch only when records of a file not yet switched from came before
    // it: JV-Link (or a fault) may give -1 twice for one file, and the progress counts
    // files.
    std::string currentFile;
    std::string switchedFrom;
    bool recordSinceSwitch = false;
    for (;;) {
        if (cancelled && cancelled()) {
            end.cancelled = true;
            return end;
        }
        std::string buffer;
        std::string fileName;
        int size = jv::kReadBufferSize;
        const int code = jvLink.JVRead(buffer, size, fileName);
        if (code > 0) {
            if (!fileName.empty())
                currentFile = fileName;
            recordSinceSwitch = true;
            record(buffer);
        } else if (code == jv::kReadEnd) {
            return end;
        } else if (jv::isReadError(code)) {
            end.code = code;
            return end;
        } else if (code == jv::kReadFileSwitch) {
            const bool newFile =
                recordSinceSwitch && (currentFile.empty() || currentFile != switchedFrom);
            if (newFile) {
                switchedFrom = currentFile;
                recordSinceSwitch = false;
                if (fileSwitch)
                    fileSwitch();
            }
        }
    }
}

} // namespace sorvantix
