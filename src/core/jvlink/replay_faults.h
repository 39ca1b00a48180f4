#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// Injected results for the replay JV-Link: the lines of feed/faults.txt, so that a test
// or a demo can make an open, a status poll, a read or a close fail on purpose.
//
// One rule per line, blanks or tabs between the words; "#" starts a comment (whole line
// or the rest of one); blank lines are ignored:
//
//     OPERATION DATASPEC KEY CODE [at=N]
//
//   OPERATION  JVOpen, JVRTOpen, JVStatus, JVRead or JVClose (exact case).
//   DATASPEC   RACE, 0B41, 0B42, 0B30, 0B12, or * for any.
//   KEY        the from-time of JVOpen or the key of JVRTOpen, exactly, or * for any.
//              JVStatus, JVRead and JVClose match the data spec and key of the open
//              they belong to.
//   CODE       the result returned instead of the replay's own: a negative number, or
//              0 for JVRead (an early end of the data); or hang=N: the call blocks for
//              N seconds, as one waiting for a dialog of the real component would, and
//              then goes on as without the rule.
//   at=N       only the N-th call (N >= 1) of the operation since the open; allowed for
//              JVStatus and JVRead only. Without it every matching call gets the code.
//              JVRead codes -1, -2 and -3 ask the caller to read again, so they need
//              at=N (otherwise the caller would loop for ever).
//
// The first matching rule wins. A line that does not follow the format is not used and
// is reported in `warnings` with its line number.
//
// Example:
//     # the server is down for race cards
//     JVOpen   RACE *                -504
//     # the third read of the day's results fails, then the close
//     JVRead   0B12 20240602         -502 at=3
//     JVClose  0B12 20240602         -1

enum class JvOperation { JVOpen, JVRTOpen, JVStatus, JVRead, JVClose };

// "JVOpen", "JVRTOpen", "JVStatus", "JVRead", "JVClose".
std::string_view jvOperationName(JvOperation operation);

struct JvFault
{
    JvOperation operation = JvOperation::JVOpen;
    std::string dataspec; // "*" = any
    std::string key;      // "*" = any
    int code = 0;
    int hangSeconds = 0; // hang=N: the call blocks N seconds instead of failing
    int at = 0;          // 0 = every call; n >= 1 = only the n-th call since the open
    int line = 0;        // 1-based line of faults.txt
};

class JvFaultSet
{
public:
    // Parses the bytes of a faults file (ASCII; CR LF, CR or LF line ends).
    static JvFaultSet parse(std::string_view bytes);

    // Reads and parses a faults file. A missing file gives an empty set; a file that
    // cannot be read gives an empty set with a warning.
    static JvFaultSet read(const std::filesystem::path& file);

    // The code of the first rule for `operation` matching `dataspec` and `key`, for the
    // `call`-th call (1-based) of the operation since the open; nullopt when none.
    std::optional<int> find(JvOperation operation, std::string_view dataspec, std::string_view key,
                            int call) const;

    // The seconds of the first hang=N rule for the call (rules with a code pass over
    // it); 0 when none.
    int hangSeconds(JvOperation operation, std::string_view dataspec, std::string_view key,
                    int call) const;

    const std::vector<JvFault>& faults() const { return m_faults; }

    // One line per rejected line: "faults.txt line N: reason" (ASCII).
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    std::vector<JvFault> m_faults;
    std::vector<std::string> m_warnings;
};

} // namespace sorvantix
