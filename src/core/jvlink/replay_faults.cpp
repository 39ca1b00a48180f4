#include "core/jvlink/replay_faults.h"

#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/text_file.h"

#include <array>
#include <system_error>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

constexpr std::array<JvOperation, 5> kOperations = {JvOperation::JVOpen, JvOperation::JVRTOpen,
                                                    JvOperation::JVStatus, JvOperation::JVRead,
                                                    JvOperation::JVClose};

constexpr std::array<std::string_view, 5> kDataspecs = {"RACE", "0B41", "0B42", "0B30", "0B12"};

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::optional<JvOperation> operationNamed(std::string_view name)
{
    for (JvOperation op : kOperations) {
        if (jvOperationName(op) == name)
            return op;
    }
    return std::nullopt;
}

bool isKnownDataspec(std::string_view spec)
{
    for (std::string_view known : kDataspecs) {
        if (known == spec)
            return true;
    }
    return false;
}

bool matches(const std::string& pattern, std::string_view value)
{
    return pattern == "*" || pattern == value;
}

// The reason a rule is refused, empty when it is sound.
std::string checkRule(const std::vector<std::string_view>& w, JvFault& fault)
{
    if (w.size() < 4)
        return "expected OPERATION DATASPEC KEY CODE [at=N]";
    if (w.size() > 5)
        return "unexpected text after the rule: " + std::string(w[5]);
    auto op = operationNamed(w[0]);
    if (!op)
        return "unknown operation " + std::string(w[0]) +
               " (JVOpen, JVRTOpen, JVStatus, JVRead or JVClose)";
    fault.operation = *op;
    if (w[1] != "*" && !isKnownDataspec(w[1]))
        return "unknown data spec " + std::string(w[1]) + " (RACE, 0B41, 0B42, 0B30, 0B12 or *)";
    fault.dataspec = std::string(w[1]);
    fault.key = std::string(w[2]);
    bool isRead = fault.operation == JvOperation::JVRead;
    if (w[3].substr(0, 5) == "hang=") {
        // A call that blocks as one waiting for a dialog would.
        const std::string_view n = w[3].substr(5);
        auto seconds = parseInt(n);
        if (!seconds || *seconds < 1 || *seconds > 86400 || !isDigits(n))
            return "hang= needs whole seconds from 1 to 86400: " + std::string(w[3]);
        fault.hangSeconds = *seconds;
    }
    auto code = fault.hangSeconds > 0 ? std::optional<int>(-1) : parseInt(w[3]);
    if (!code)
        return "code is not a number: " + std::string(w[3]);
    if (*code > 0 || (*code == 0 && !isRead))
        return "code must be negative" + std::string(isRead ? " or 0" : "") + ": " +
               std::string(w[3]);
    fault.code = *code;
    if (w.size() == 5) {
        std::string_view at = w[4];
        if (at.substr(0, 3) != "at=")
            return "expected at=N, not " + std::string(at);
        auto n = parseInt(at.substr(3));
        if (!n || *n < 1 || at.substr(3).find_first_not_of("0123456789") != std::string_view::npos)
            return "at= needs a whole number from 1: " + std::string(at);
        if (fault.operation != JvOperation::JVStatus && !isRead)
            return "at= applies only to JVStatus and JVRead";
        fault.at = *n;
    }
    if (isRead && fault.at == 0 && fault.hangSeconds == 0 && fault.code < 0 && fault.code >= -3)
        return "JVRead code " + std::to_string(fault.code) +
               " asks the caller to read again and needs at=N";
    return {};
}

} // namespace

std::string_view jvOperationName(JvOperation operation)
{
    switch (operation) {
    case JvOperation::JVOpen:
        return "JVOpen";
    case JvOperation::JVRTOpen:
        return "JVRTOpen";
    case JvOperation::JVStatus:
        return "JVStatus";
    case JvOperation::JVRead:
        return "JVRead";
    case JvOperation::JVClose:
        return "JVClose";
    }
    return "";
}

JvFaultSet JvFaultSet::parse(std::string_view bytes)
{
    JvFaultSet set;
    std::vector<std::string> lines = splitLines(bytes);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        size_t hash = line.find('#');
        if (hash != std::string_view::npos)
            line = line.substr(0, hash);
        auto w = words(line);
        if (w.empty())
            continue;
        JvFault fault;
        fault.line = static_cast<int>(i + 1);
        std::string reason = checkRule(w, fault);
        if (!reason.empty()) {
            set.m_warnings.push_back("faults.txt line " + std::to_string(i + 1) + ": " + reason);
            continue;
        }
        set.m_faults.push_back(std::move(fault));
    }
    return set;
}

JvFaultSet JvFaultSet::read(const fs::path& file)
{
    std::error_code ec;
    if (!fs::exists(file, ec) && !ec)
        return {};
    try {
        return parse(readFileBytes(file));
    } catch (const Error& e) {
        JvFaultSet set;
        set.m_warnings.push_back(std::string("faults.txt not used: ") + e.what());
        return set;
    }
}

std::optional<int> JvFaultSet::find(JvOperation operation, std::string_view dataspec,
                                    std::string_view key, int call) const
{
    for (const JvFault& f : m_faults) {
        if (f.hangSeconds == 0 && f.operation == operation && matches(f.dataspec, dataspec) &&
            matches(f.key, key) && (f.at == 0 || f.at == call))
            return f.code;
    }
    return std::nullopt;
}

int JvFaultSet::hangSeconds(JvOperation operation, std::string_view dataspec, std::string_view key,
                            int call) const
{
    for (const JvFault& f : m_faults) {
        if (f.hangSeconds > 0 && f.operation == operation && matches(f.dataspec, dataspec) &&
            matches(f.key, key) && (f.at == 0 || f.at == call))
            return f.hangSeconds;
    }
    return 0;
}

} // namespace sorvantix
