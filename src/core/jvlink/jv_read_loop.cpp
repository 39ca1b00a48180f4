#include "core/jvlink/jv_link.h"

namespace sorvantix {

JvReadEnd readJvStream(JvLink& jvLink, const std::function<bool()>& cancelled,
                       const std::function<void(const std::string& record)>& record,
                       const std::function<void()>& fileSwitch)
{
    JvReadEnd end;
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
            record(buffer);
        } else if (code == jv::kReadEnd) {
            return end;
        } else if (jv::isReadError(code)) {
            end.code = code;
            return end;
        } else if (code == jv::kReadFileSwitch && fileSwitch) {
            fileSwitch();
        }
    }
}

} // namespace sorvantix
