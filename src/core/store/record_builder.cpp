#include "core/store/record_builder.h"

#include "core/store/race_key.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/field.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace sorvantix {
namespace {

constexpr auto D = FieldKind::Digits;
constexpr auto C = FieldKind::Code;
constexpr auto T = FieldKind::Text;
constexpr auto L = FieldKind::Latin;

#define SORVANTIX_COMMON_HEAD                                                                      \
    {"record_type", 1, 2, C}, {"data_kind", 3, 1, C}, {"creation_date", 4, 8, D},                  \
        {"year", 12, 4, D}, {"month_day", 16, 4, D}, {"venue", 20, 2, D}, {"meeting", 22, 2, D},   \
        {"meeting_day", 24, 2, D},                                                                 \
    {                                                                                              \
        "race_no", 26, 2, D                                                                        \
    }

constexpr RecordField kRaFields[] = {
    SORVANTIX_COMMON_HEAD,
    {"weekday", 28, 1, C},
    {"special_race_no", 29, 4, D},
    {"race_name", 33, 60, T},
    {"race_subtitle", 93, 60, T},
    {"race_name_bracket", 153, 60, T},
    {"race_name_en", 213, 120, L},
    {"race_subtitle_en", 333, 120, L},
    {"race_name_bracket_en", 453, 120, L},
    {"short_name_10", 573, 20, T},
    {"short_name_6", 593, 12, T},
    {"short_name_3", 605, 6, T},
    {"edition_part", 611, 1, D},
    {"edition", 612, 3, D},
    {"grade", 615, 1, C},
    {"grade_before", 616, 1, C},
    {"race_type", 617, 2, C},
    {"race_symbol", 619, 3, C},
    {"weight_rule", 622, 1, C},
    {"condition_2yo", 623, 3, C},
    {"condition_3yo", 626, 3, C},
    {"condition_4yo", 629, 3, C},
    {"condition_5yo_up", 632, 3, C},
    {"condition_youngest", 635, 3, C},
    {"condition_name", 638, 60, T},
    {"distance", 698, 4, D},
    {"distance_before", 702, 4, D},
    {"track", 706, 2, C},
    {"track_before", 708, 2, C},
    {"course", 710, 2, C},
    {"course_before", 712, 2, C},
    {"prize", 714, 8, D, 7, 8},
    {"prize_before", 770, 8, D, 5, 8},
    {"added_prize", 810, 8, D, 5, 8},
    {"added_prize_before", 850, 8, D, 3, 8},
    {"post_time", 874, 4, D},
    {"post_time_before", 878, 4, D},
    {"registered", 882, 2, D},
    {"starters", 884, 2, D},
    {"finishers", 886, 2, D},
    {"weather", 888, 1, C},
    {"turf_going", 889, 1, C},
    {"dirt_going", 890, 1, C},
    {"lap_time", 891, 3, D, 25, 3},
    {"jump_mile_time", 966, 4, D},
    {"first_3f", 970, 3, D},
    {"first_4f", 973, 3, D},
    {"last_3f", 976, 3, D},
    {"last_4f", 979, 3, D},
    {"corner", 982, 1, D, 4, 72},
    {"corner_laps", 983, 1, D, 4, 72},
    {"corner_order", 984, 70, L, 4, 72},
    {"record_flag", 1270, 1, D},
};

constexpr RecordField kSeFields[] = {
    SORVANTIX_COMMON_HEAD,
    {"bracket", 28, 1, D},
    {"horse_no", 29, 2, D},
    {"horse_id", 31, 10, D},
    {"horse_name", 41, 36, T},
    {"horse_symbol", 77, 2, C},
    {"sex", 79, 1, C},
    {"breed", 80, 1, C},
    {"coat", 81, 2, C},
    {"age", 83, 2, D},
    {"stable_region", 85, 1, C},
    {"trainer_code", 86, 5, D},
    {"trainer_name", 91, 8, T},
    {"owner_code", 99, 6, D},
    {"owner_name", 105, 64, T},
    {"silks", 169, 60, T},
    {"reserved_1", 229, 60, C},
    {"weight_carried", 289, 3, D},
    {"weight_carried_before", 292, 3, D},
    {"blinkers", 295, 1, D},
    {"reserved_2", 296, 1, C},
    {"jockey_code", 297, 5, D},
    {"jockey_code_before", 302, 5, D},
    {"jockey_name", 307, 8, T},
    {"jockey_name_before", 315, 8, T},
    {"apprentice", 323, 1, C},
    {"apprentice_before", 324, 1, C},
    {"body_weight", 325, 3, D},
    {"weight_change_sign", 328, 1, C},
    {"weight_change", 329, 3, D},
    {"abnormality", 332, 1, C},
    {"line_order", 333, 2, D},
    {"finish_pos", 335, 2, D},
    {"dead_heat", 337, 1, D},
    {"dead_heat_count", 338, 1, D},
    {"race_time", 339, 4, D},
    {"margin", 343, 3, C},
    {"margin_2", 346, 3, C},
    {"margin_3", 349, 3, C},
    {"corner_pos", 352, 2, D, 4, 2},
    {"win_odds", 360, 4, D},
    {"popularity", 364, 2, D},
    {"prize_won", 366, 8, D},
    {"added_prize_won", 374, 8, D},
    {"reserved_3", 382, 3, C},
    {"reserved_4", 385, 3, C},
    {"last_4f", 388, 3, D},
    {"last_3f", 391, 3, D},
    {"rival_id", 394, 10, D, 3, 46},
    {"rival_name", 404, 36, T, 3, 46},
    {"time_gap", 532, 4, D},
    {"record_flag", 536, 1, D},
    {"mining_kind", 537, 1, C},
    {"mining_time", 538, 5, D},
    {"mining_error_plus", 543, 4, D},
    {"mining_error_minus", 547, 4, D},
    {"mining_rank", 551, 2, D},
    {"running_style", 553, 1, C},
};

constexpr RecordField kHrFields[] = {
    SORVANTIX_COMMON_HEAD,
    {"registered", 28, 2, D},
    {"starters", 30, 2, D},
    {"no_contest", 32, 1, D, 9, 1},
    {"special_payout", 41, 1, D, 9, 1},
    {"refund", 50, 1, D, 9, 1},
    {"refunded_horse", 59, 1, D, 28, 1},
    {"refunded_bracket", 87, 1, D, 8, 1},
    {"refunded_same_bracket", 95, 1, D, 8, 1},
    {"win_horse", 103, 2, C, 3, 13},
    {"win_payout", 105, 9, C, 3, 13},
    {"win_popularity", 114, 2, C, 3, 13},
    {"place_horse", 142, 2, C, 5, 13},
    {"place_payout", 144, 9, C, 5, 13},
    {"place_popularity", 153, 2, C, 5, 13},
    {"bracket_combo", 207, 2, C, 3, 13},
    {"bracket_payout", 209, 9, C, 3, 13},
    {"bracket_popularity", 218, 2, C, 3, 13},
    {"quinella_combo", 246, 4, C, 3, 16},
    {"quinella_payout", 250, 9, C, 3, 16},
    {"quinella_popularity", 259, 3, C, 3, 16},
    {"wide_combo", 294, 4, C, 7, 16},
    {"wide_payout", 298, 9, C, 7, 16},
    {"wide_popularity", 307, 3, C, 7, 16},
    {"reserved_bet", 406, 16, C, 3, 16},
    {"exacta_combo", 454, 4, C, 6, 16},
    {"exacta_payout", 458, 9, C, 6, 16},
    {"exacta_popularity", 467, 3, C, 6, 16},
    {"trio_combo", 550, 6, C, 3, 18},
    {"trio_payout", 556, 9, C, 3, 18},
    {"trio_popularity", 565, 3, C, 3, 18},
    {"trifecta_combo", 604, 6, C, 6, 19},
    {"trifecta_payout", 610, 9, C, 6, 19},
    {"trifecta_popularity", 619, 4, C, 6, 19},
};

constexpr RecordField kO1Fields[] = {
    SORVANTIX_COMMON_HEAD,
    {"announce_time", 28, 8, D},
    {"registered", 36, 2, D},
    {"starters", 38, 2, D},
    {"win_sale", 40, 1, D},
    {"place_sale", 41, 1, D},
    {"bracket_sale", 42, 1, D},
    {"places_paid", 43, 1, D},
    {"win_horse", 44, 2, C, 28, 8},
    {"win_odds", 46, 4, C, 28, 8},
    {"win_popularity", 50, 2, C, 28, 8},
    {"place_horse", 268, 2, C, 28, 12},
    {"place_odds_low", 270, 4, C, 28, 12},
    {"place_odds_high", 274, 4, C, 28, 12},
    {"place_popularity", 278, 2, C, 28, 12},
    {"bracket_combo", 604, 2, C, 36, 9},
    {"bracket_odds", 606, 5, C, 36, 9},
    {"bracket_popularity", 611, 2, C, 36, 9},
    {"win_pool", 928, 11, D},
    {"place_pool", 939, 11, D},
    {"bracket_pool", 950, 11, D},
};

constexpr RecordField kO2Fields[] = {
    SORVANTIX_COMMON_HEAD,
    {"announce_time", 28, 8, D},
    {"registered", 36, 2, D},
    {"starters", 38, 2, D},
    {"quinella_sale", 40, 1, D},
    {"quinella_pair", 41, 4, C, 153, 13},
    {"quinella_odds", 45, 6, C, 153, 13},
    {"quinella_popularity", 51, 3, C, 153, 13},
    {"quinella_pool", 2030, 11, D},
};

#undef SORVANTIX_COMMON_HEAD

constexpr std::string_view kFullWidthSpace = "\x81\x40";

std::string fillValue(const RecordField& f)
{
    switch (f.kind) {
    case FieldKind::Digits:
        return std::string(static_cast<size_t>(f.len), '0');
    case FieldKind::Text: {
        std::string out;
        for (int i = 0; i + 1 < f.len; i += 2)
            out += kFullWidthSpace;
        if (f.len % 2 != 0)
            out += ' ';
        return out;
    }
    case FieldKind::Code:
    case FieldKind::Latin:
        break;
    }
    return std::string(static_cast<size_t>(f.len), ' ');
}

std::string describe(RecordType type, const RecordField& f, int index)
{
    std::string out = std::string(recordTypeName(type)) + " field \"" + std::string(f.name) + "\"";
    if (f.count > 1)
        out += " entry " + std::to_string(index);
    out += " (pos " + std::to_string(f.pos + (index - 1) * f.stride) + ", width " +
           std::to_string(f.len) + ")";
    return out;
}

} // namespace

int recordLength(RecordType type)
{
    switch (type) {
    case RecordType::RA:
        return kRaRecordLength;
    case RecordType::SE:
        return kSeRecordLength;
    case RecordType::HR:
        return kHrRecordLength;
    case RecordType::O1:
        return kO1RecordLength;
    case RecordType::O2:
        return kO2RecordLength;
    }
    throw std::logic_error("unknown record type");
}

std::string_view recordTypeName(RecordType type)
{
    switch (type) {
    case RecordType::RA:
        return "RA";
    case RecordType::SE:
        return "SE";
    case RecordType::HR:
        return "HR";
    case RecordType::O1:
        return "O1";
    case RecordType::O2:
        return "O2";
    }
    throw std::logic_error("unknown record type");
}

std::span<const RecordField> recordFields(RecordType type)
{
    switch (type) {
    case RecordType::RA:
        return kRaFields;
    case RecordType::SE:
        return kSeFields;
    case RecordType::HR:
        return kHrFields;
    case RecordType::O1:
        return kO1Fields;
    case RecordType::O2:
        return kO2Fields;
    }
    throw std::logic_error("unknown record type");
}

const RecordField* findRecordField(RecordType type, std::string_view name)
{
    for (const RecordField& f : recordFields(type))
        if (f.name == name)
            return &f;
    return nullptr;
}

RecordBuilder::RecordBuilder(RecordType type)
    : m_type(type), m_bytes(static_cast<size_t>(recordLength(type)), ' ')
{
    for (const RecordField& f : recordFields(type)) {
        std::string fill = fillValue(f);
        for (int i = 1; i <= f.count; ++i)
            m_bytes.replace(static_cast<size_t>(entryPos(f, i) - 1), fill.size(), fill);
    }
    m_bytes.replace(0, 2, recordTypeName(type));
    m_bytes.replace(m_bytes.size() - 2, 2, "\r\n");
}

RecordBuilder RecordBuilder::fromRecord(std::string_view record)
{
    for (RecordType type :
         {RecordType::RA, RecordType::SE, RecordType::HR, RecordType::O1, RecordType::O2}) {
        if (record.substr(0, 2) != recordTypeName(type))
            continue;
        if (static_cast<int>(record.size()) != recordLength(type) || !record.ends_with("\r\n"))
            throw Error(std::string(recordTypeName(type)) + " record must be " +
                        std::to_string(recordLength(type)) + " bytes ending in CR LF, got " +
                        std::to_string(record.size()) + " bytes");
        RecordBuilder b(type);
        b.m_bytes = std::string(record);
        return b;
    }
    throw Error("not an RA, SE, HR, O1 or O2 record: \"" + printableBytes(record.substr(0, 2)) +
                "\"");
}

const RecordField& RecordBuilder::lookup(std::string_view name) const
{
    if (const RecordField* f = findRecordField(m_type, name))
        return *f;
    throw Error(std::string(recordTypeName(m_type)) + " record has no field \"" +
                std::string(name) + "\"");
}

int RecordBuilder::entryPos(const RecordField& f, int index) const
{
    if (index < 1 || index > f.count)
        throw Error(std::string(recordTypeName(m_type)) + " field \"" + std::string(f.name) +
                    "\" has entries 1 to " + std::to_string(f.count) + ", not " +
                    std::to_string(index));
    return f.pos + (index - 1) * f.stride;
}

void RecordBuilder::write(const RecordField& f, int index, std::string_view bytes)
{
    int pos = entryPos(f, index);
    if (static_cast<int>(bytes.size()) != f.len)
        throw Error(describe(m_type, f, index) + ": value \"" + printableBytes(bytes) + "\" has " +
                    std::to_string(bytes.size()) + " bytes");
    m_bytes.replace(static_cast<size_t>(pos - 1), bytes.size(), bytes);
}

RecordBuilder& RecordBuilder::set(std::string_view name, long long value)
{
    const RecordField& f = lookup(name);
    if (f.count > 1)
        throw Error(describe(m_type, f, 1) + " is repeated: give an entry index");
    return set(name, 1, value);
}

RecordBuilder& RecordBuilder::set(std::string_view name, std::string_view text)
{
    const RecordField& f = lookup(name);
    if (f.count > 1)
        throw Error(describe(m_type, f, 1) + " is repeated: give an entry index");
    return set(name, 1, text);
}

RecordBuilder& RecordBuilder::set(std::string_view name, int index, long long value)
{
    const RecordField& f = lookup(name);
    entryPos(f, index);
    if (f.kind != FieldKind::Digits && f.kind != FieldKind::Code)
        throw Error(describe(m_type, f, index) + " is a text field and takes no number");
    if (value < 0)
        throw Error(describe(m_type, f, index) + ": negative value " + std::to_string(value));
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) > f.len)
        throw Error(describe(m_type, f, index) + ": " + digits + " has too many digits");
    digits.insert(0, static_cast<size_t>(f.len) - digits.size(), '0');
    write(f, index, digits);
    return *this;
}

RecordBuilder& RecordBuilder::set(std::string_view name, int index, std::string_view text)
{
    const RecordField& f = lookup(name);
    entryPos(f, index);
    if (f.kind == FieldKind::Digits || f.kind == FieldKind::Code) {
        write(f, index, text);
        return *this;
    }
    std::string bytes;
    try {
        bytes = toCp932(text);
    } catch (const Error& e) {
        throw Error(describe(m_type, f, index) + ": " + e.what());
    }
    if (static_cast<int>(bytes.size()) > f.len)
        throw Error(describe(m_type, f, index) + ": \"" + std::string(text) + "\" takes " +
                    std::to_string(bytes.size()) + " bytes");
    if (f.kind == FieldKind::Text) {
        while (static_cast<int>(bytes.size()) + 2 <= f.len)
            bytes += kFullWidthSpace;
    }
    bytes.resize(static_cast<size_t>(f.len), ' ');
    write(f, index, bytes);
    return *this;
}

RecordBuilder& RecordBuilder::setRaw(std::string_view name, std::string_view bytes)
{
    return setRaw(name, 1, bytes);
}

RecordBuilder& RecordBuilder::setRaw(std::string_view name, int index, std::string_view bytes)
{
    write(lookup(name), index, bytes);
    return *this;
}

RecordBuilder& RecordBuilder::clear(std::string_view name, int index)
{
    const RecordField& f = lookup(name);
    write(f, index, fillValue(f));
    return *this;
}

RecordBuilder& RecordBuilder::setRaceKey(std::string_view digits16)
{
    return setRaceKey(RaceKey::parse(digits16));
}

RecordBuilder& RecordBuilder::setRaceKey(const RaceKey& key)
{
    m_bytes.replace(11, 16, key.text());
    return *this;
}

std::string RecordBuilder::get(std::string_view name, int index) const
{
    const RecordField& f = lookup(name);
    return m_bytes.substr(static_cast<size_t>(entryPos(f, index) - 1), static_cast<size_t>(f.len));
}

} // namespace sorvantix
