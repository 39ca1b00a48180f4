#include "core/store/race_key.h"

#include "core/text/error.h"
#include "core/text/field.h"

#include <algorithm>

namespace sorvantix {
namespace {

bool sixteenDigits(std::string_view s)
{
    return s.size() == 16 && isDigits(s);
}

} // namespace

std::optional<RaceKey> RaceKey::tryParse(std::string_view digits16)
{
    // The date part must be a calendar day: a key of 2026-02-31 would make a day file
    // that no day can have.
    if (!sixteenDigits(digits16) || !DayName::fromDigits(digits16.substr(0, 8)))
        return std::nullopt;
    return RaceKey(std::string(digits16));
}

RaceKey RaceKey::parse(std::string_view digits16)
{
    if (auto key = tryParse(digits16))
        return *key;
    throw Error("race key must be 16 digits of a possible date, got \"" + printableBytes(digits16) +
                "\"");
}

std::optional<RaceKey> RaceKey::tryFromRecord(std::string_view record)
{
    if (record.size() < 27)
        return std::nullopt;
    return tryParse(record.substr(11, 16));
}

RaceKey RaceKey::fromRecord(std::string_view record)
{
    if (record.size() < 27)
        throw Error("record of " + std::to_string(record.size()) +
                    " bytes is too short for a race key (positions 12-27)");
    std::string_view key = record.substr(11, 16);
    if (auto parsed = tryParse(key))
        return *parsed;
    throw Error("record \"" + printableBytes(record.substr(0, 2)) +
                "\" has no valid race key at positions 12-27: \"" + printableBytes(key) + "\"");
}

int RaceKey::number(size_t pos, size_t len) const
{
    int v = 0;
    for (size_t i = pos; i < pos + len; ++i)
        v = v * 10 + (m_digits[i] - '0');
    return v;
}

int RaceKey::year() const
{
    return number(0, 4);
}

int RaceKey::month() const
{
    return number(4, 2);
}

int RaceKey::day() const
{
    return number(6, 2);
}

int RaceKey::meeting() const
{
    return number(10, 2);
}

int RaceKey::meetingDay() const
{
    return number(12, 2);
}

int RaceKey::raceNo() const
{
    return number(14, 2);
}

DayName RaceKey::dayName() const
{
    return DayName{year(), month(), day()};
}

} // namespace sorvantix
