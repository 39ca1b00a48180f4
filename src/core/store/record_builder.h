#pragma once

#include <concepts>
#include <span>
#include <string>
#include <string_view>

namespace sorvantix {

class RaceKey;

// The five JV-Data record types the program reads.
enum class RecordType { RA, SE, HR, O1, O2 };

// Record length in bytes including the closing CR LF: RA 1272, SE 555, HR 719,
// O1 962, O2 2042.
int recordLength(RecordType type);

// "RA", "SE", "HR", "O1", "O2".
std::string_view recordTypeName(RecordType type);

// How a field is filled when unset and what values it takes.
enum class FieldKind {
    Digits, // ASCII digits; fill '0'; takes an int (zero-padded) or text of exactly the width
    Code,   // codes and entries that are blank when unused; fill ' '; values as Digits
    Text,   // Japanese text; fill full-width spaces (0x8140); takes UTF-8, padded
    Latin,  // half-width text; fill ' '; takes UTF-8 (normally ASCII), padded with ' '
};

// One named field of a record layout. A repeated group has `count` entries, entry n
// (1-based) at pos + (n - 1) * stride.
struct RecordField
{
    std::string_view name;
    int pos; // 1-based byte position of entry 1
    int len;
    FieldKind kind;
    int count = 1;
    int stride = 0;
};

// Every field of the record type in position order; together they cover every byte
// except the closing CR LF.
std::span<const RecordField> recordFields(RecordType type);

// The field of that name, or nullptr.
const RecordField* findRecordField(RecordType type, std::string_view name);

// Builds a JV-Data record byte for byte, for fixtures, tests and the feed generator.
//
// A new builder holds the record type at 1-2, every other field at its fill value and
// CR LF at the end. Fields are addressed by name (table below); fields of a repeated
// group also by a 1-based index. Every setter checks the value against the field:
//   - Digits and Code: an int is written zero-padded (negative or too many digits is
//     an error); a text must have exactly the field's width (any bytes: "----",
//     "****" and blanks are valid odds texts).
//   - Text and Latin: UTF-8 is converted to CP932 and padded (Text with full-width
//     spaces, a last odd byte with ' '; Latin with ' '). Too wide or not
//     representable in CP932 is an error.
// Errors are thrown as sorvantix::Error naming the record type and field; a value is
// never cut to fit. setRaw writes exact-width bytes into any field (damaged data).
//
// Fill values where the layout leaves the choice open: flags and counts whose "none"
// is 0 (edition_part, sale flags, HR flags, record_flag) and numeric ids (horse_id,
// trainer, owner and jockey codes) are Digits; reserved fields are Code (blanks);
// payout and odds entries are Code, as unused entries are blanks in real data.
//
// Field names (pos/len; D = Digits, C = Code, T = Text, L = Latin; xN = repeated):
// Common to all: record_type 1/2 C (preset), data_kind 3/1 C, creation_date 4/8 D,
//   year 12/4 D, month_day 16/4 D, venue 20/2 D, meeting 22/2 D, meeting_day 24/2 D,
//   race_no 26/2 D.
// RA: weekday 28/1 C, special_race_no 29/4 D, race_name 33/60 T, race_subtitle 93/60 T,
//   race_name_bracket 153/60 T, race_name_en 213/120 L, race_subtitle_en 333/120 L,
//   race_name_bracket_en 453/120 L, short_name_10 573/20 T, short_name_6 593/12 T,
//   short_name_3 605/6 T, edition_part 611/1 D, edition 612/3 D, grade 615/1 C,
//   grade_before 616/1 C, race_type 617/2 C, race_symbol 619/3 C, weight_rule 622/1 C,
//   condition_2yo 623/3 C, condition_3yo 626/3 C, condition_4yo 629/3 C,
//   condition_5yo_up 632/3 C, condition_youngest 635/3 C, condition_name 638/60 T,
//   distance 698/4 D, distance_before 702/4 D, track 706/2 C, track_before 708/2 C,
//   course 710/2 C, course_before 712/2 C, prize 714/8 D x7, prize_before 770/8 D x5,
//   added_prize 810/8 D x5, added_prize_before 850/8 D x3, post_time 874/4 D,
//   post_time_before 878/4 D, registered 882/2 D, starters 884/2 D, finishers 886/2 D,
//   weather 888/1 C, turf_going 889/1 C, dirt_going 890/1 C, lap_time 891/3 D x25,
//   jump_mile_time 966/4 D, first_3f 970/3 D, first_4f 973/3 D, last_3f 976/3 D,
//   last_4f 979/3 D, corner 982/1 D x4, corner_laps 983/1 D x4,
//   corner_order 984/70 L x4 (stride 72), record_flag 1270/1 D.
// SE: bracket 28/1 D, horse_no 29/2 D, horse_id 31/10 D, horse_name 41/36 T,
//   horse_symbol 77/2 C, sex 79/1 C, breed 80/1 C, coat 81/2 C, age 83/2 D,
//   stable_region 85/1 C, trainer_code 86/5 D, trainer_name 91/8 T, owner_code 99/6 D,
//   owner_name 105/64 T, silks 169/60 T, reserved_1 229/60 C, weight_carried 289/3 D,
//   weight_carried_before 292/3 D, blinkers 295/1 D, reserved_2 296/1 C,
//   jockey_code 297/5 D, jockey_code_before 302/5 D, jockey_name 307/8 T,
//   jockey_name_before 315/8 T, apprentice 323/1 C, apprentice_before 324/1 C,
//   body_weight 325/3 D, weight_change_sign 328/1 C, weight_change 329/3 D,
//   abnormality 332/1 C, line_order 333/2 D, finish_pos 335/2 D, dead_heat 337/1 D,
//   dead_heat_count 338/1 D, race_time 339/4 D, margin 343/3 C, margin_2 346/3 C,
//   margin_3 349/3 C, corner_pos 352/2 D x4, win_odds 360/4 D, popularity 364/2 D,
//   prize_won 366/8 D, added_prize_won 374/8 D, reserved_3 382/3 C, reserved_4 385/3 C,
//   last_4f 388/3 D, last_3f 391/3 D, rival_id 394/10 D x3, rival_name 404/36 T x3
//   (stride 46), time_gap 532/4 D, record_flag 536/1 D, mining_kind 537/1 C,
//   mining_time 538/5 D, mining_error_plus 543/4 D, mining_error_minus 547/4 D,
//   mining_rank 551/2 D, running_style 553/1 C.
// HR: registered 28/2 D, starters 30/2 D, no_contest 32/1 D x9, special_payout 41/1 D x9,
//   refund 50/1 D x9, refunded_horse 59/1 D x28, refunded_bracket 87/1 D x8,
//   refunded_same_bracket 95/1 D x8; payout groups, all C (blank when unused):
//   win_horse 103/2, win_payout 105/9, win_popularity 114/2 x3 (stride 13);
//   place_horse 142/2, place_payout 144/9, place_popularity 153/2 x5 (13);
//   bracket_combo 207/2, bracket_payout 209/9, bracket_popularity 218/2 x3 (13);
//   quinella_combo 246/4, quinella_payout 250/9, quinella_popularity 259/3 x3 (16);
//   wide_combo 294/4, wide_payout 298/9, wide_popularity 307/3 x7 (16);
//   reserved_bet 406/16 x3; exacta_combo 454/4, exacta_payout 458/9,
//   exacta_popularity 467/3 x6 (16); trio_combo 550/6, trio_payout 556/9,
//   trio_popularity 565/3 x3 (18); trifecta_combo 604/6, trifecta_payout 610/9,
//   trifecta_popularity 619/4 x6 (19).
// O1: announce_time 28/8 D, registered 36/2 D, starters 38/2 D, win_sale 40/1 D,
//   place_sale 41/1 D, bracket_sale 42/1 D, places_paid 43/1 D; odds groups, all C
//   (blank = no such horse or combination):
//   win_horse 44/2, win_odds 46/4, win_popularity 50/2 x28 (stride 8);
//   place_horse 268/2, place_odds_low 270/4, place_odds_high 274/4,
//   place_popularity 278/2 x28 (12); bracket_combo 604/2, bracket_odds 606/5,
//   bracket_popularity 611/2 x36 (9); win_pool 928/11 D, place_pool 939/11 D,
//   bracket_pool 950/11 D.
// O2: announce_time 28/8 D, registered 36/2 D, starters 38/2 D, quinella_sale 40/1 D,
//   quinella_pair 41/4, quinella_odds 45/6, quinella_popularity 51/3 x153 (13), all C;
//   quinella_pool 2030/11 D.
class RecordBuilder
{
public:
    explicit RecordBuilder(RecordType type);

    // A builder holding a copy of an existing record, to change some fields of it. The
    // type comes from positions 1-2; a record of another type, of the wrong length or
    // without its closing CR LF is refused with Error.
    static RecordBuilder fromRecord(std::string_view record);

    RecordType type() const { return m_type; }

    // Sets a single field, or entry 1 of a group of one; a repeated field needs the
    // index form.
    RecordBuilder& set(std::string_view name, long long value);
    RecordBuilder& set(std::string_view name, std::string_view text);

    // Sets entry `index` (1-based) of a field.
    RecordBuilder& set(std::string_view name, int index, long long value);
    RecordBuilder& set(std::string_view name, int index, std::string_view text);

    // Plain ints (the usual literal) go to the number setters.
    RecordBuilder& set(std::string_view name, int value)
    {
        return set(name, static_cast<long long>(value));
    }
    RecordBuilder& set(std::string_view name, int index, int value)
    {
        return set(name, index, static_cast<long long>(value));
    }

    // A char would silently become its code number: pass a text ("A") instead.
    template <class C>
    requires std::same_as<C, char> RecordBuilder& set(std::string_view name, C) = delete;
    template <class C>
    requires std::same_as<C, char> RecordBuilder& set(std::string_view name, int index, C) = delete;

    // Writes exactly the field's width of arbitrary bytes (no conversion, no check of
    // the content).
    RecordBuilder& setRaw(std::string_view name, std::string_view bytes);
    RecordBuilder& setRaw(std::string_view name, int index, std::string_view bytes);

    // Puts the field (entry) back to its fill value.
    RecordBuilder& clear(std::string_view name, int index = 1);

    // Positions 12-27 from 16 digits (year, month-day, venue, meeting, meeting day,
    // race number); anything but 16 ASCII digits is an error.
    RecordBuilder& setRaceKey(std::string_view digits16);
    RecordBuilder& setRaceKey(const RaceKey& key);

    // The raw bytes of a field entry.
    std::string get(std::string_view name, int index = 1) const;

    // The whole record: CP932 bytes ending in CR LF, recordLength(type()) bytes.
    const std::string& bytes() const { return m_bytes; }

private:
    const RecordField& lookup(std::string_view name) const;
    int entryPos(const RecordField& f, int index) const;
    void write(const RecordField& f, int index, std::string_view bytes);

    RecordType m_type;
    std::string m_bytes;
};

} // namespace sorvantix
