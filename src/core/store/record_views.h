#pragma once

#include "core/store/race_key.h"

#include <optional>
#include <string>
#include <string_view>

namespace sorvantix {

// Record lengths as JV-Link delivers them, CR LF included: the one place they are
// defined.
inline constexpr int kRaRecordLength = 1272;
inline constexpr int kSeRecordLength = 555;
inline constexpr int kHrRecordLength = 719;
inline constexpr int kO1RecordLength = 962;
inline constexpr int kO2RecordLength = 2042;

// Read-only views over the CP932 bytes of one JV-Data record, as delivered or as held
// in a day-store slot. The bytes may be short, blank or damaged: every accessor cuts
// its field with field(), so bytes past the end read as blanks and nothing reads
// outside the record. A view does not own its bytes; they must outlive it.
//
// Accessors named ...Text() or returning std::string give the raw field bytes (codes
// are compared exactly, numbers keep their padding). Accessors returning
// std::optional<int> parse the field with parseInt and give nullopt when it is not a
// number. Japanese texts come as UTF-8 with trailing half- and full-width blanks
// removed; their ...Raw() form gives the CP932 bytes.
class RecordView
{
public:
    explicit RecordView(std::string_view bytes) : m_bytes(bytes) {}

    std::string_view bytes() const { return m_bytes; }

    // Bytes [pos, pos+len), 1-based, blank-padded past the end.
    std::string field(int pos, int len) const;

    // True when the record is empty or holds only blanks, CR and LF (an empty slot).
    bool isBlank() const;

    std::string recordType() const { return field(1, 2); }
    std::string dataKind() const { return field(3, 1); }
    std::string creationDate() const { return field(4, 8); }

    // Positions 12-27 as they are, and as a RaceKey when they are 16 digits.
    std::string raceKeyText() const { return field(12, 16); }
    std::optional<RaceKey> raceKey() const;

    std::string yearText() const { return field(12, 4); }
    std::string monthDayText() const { return field(16, 4); }
    std::string venue() const { return field(20, 2); }
    std::string meetingText() const { return field(22, 2); }
    std::string meetingDayText() const { return field(24, 2); }
    std::string raceNoText() const { return field(26, 2); }
    std::optional<int> raceNo() const;

protected:
    std::optional<int> number(int pos, int len) const;
    std::string text(int pos, int len) const;

    std::string_view m_bytes;
};

// The runner count of an RA or odds record, clamped so that no loop over runners can
// pass 18: registered() is the number when it lies in 0..18, 18 above, and 0 for a
// blank or non-numeric field; registeredOutOfRange() reports every field that is not
// blank and not a number in 0..18.
struct RunnerCount
{
    std::string raw;
    int clamped = 0;
    bool outOfRange = false;

    static constexpr int kMaxRunners = 18;
    static RunnerCount fromField(std::string_view raw);
};

// RA race details.
class RaView : public RecordView
{
public:
    using RecordView::RecordView;

    std::string weekday() const { return field(28, 1); }
    std::string raceName() const { return text(33, 60); }
    std::string raceNameRaw() const { return field(33, 60); }
    std::string shortName6() const { return text(593, 12); }
    std::string shortName6Raw() const { return field(593, 12); }
    std::string editionText() const { return field(612, 3); }
    std::optional<int> edition() const { return number(612, 3); }
    std::string grade() const { return field(615, 1); }
    std::string raceType() const { return field(617, 2); }
    std::string raceSymbol() const { return field(619, 3); }
    std::string weightRule() const { return field(622, 1); }
    std::string condition2yo() const { return field(623, 3); }
    std::string condition3yo() const { return field(626, 3); }
    std::string condition4yo() const { return field(629, 3); }
    std::string condition5yoUp() const { return field(632, 3); }
    std::string distanceText() const { return field(698, 4); }
    std::optional<int> distance() const { return number(698, 4); }
    std::string track() const { return field(706, 2); }
    std::string postTime() const { return field(874, 4); } // "hhmm"

    int registered() const { return runners().clamped; }
    std::string registeredRaw() const { return field(882, 2); }
    bool registeredOutOfRange() const { return runners().outOfRange; }

private:
    RunnerCount runners() const { return RunnerCount::fromField(field(882, 2)); }
};

// SE runner of a race.
class SeView : public RecordView
{
public:
    using RecordView::RecordView;

    std::string bracketText() const { return field(28, 1); }
    std::optional<int> bracket() const { return number(28, 1); }
    std::string horseNoText() const { return field(29, 2); }
    std::optional<int> horseNo() const { return number(29, 2); }
    std::string horseName() const { return text(41, 36); }
    std::string horseNameRaw() const { return field(41, 36); }
    std::string finishPosText() const { return field(335, 2); }
    std::optional<int> finishPos() const { return number(335, 2); }
    std::string raceTime() const { return field(339, 4); } // minute, seconds, tenths
    std::string margin() const { return field(343, 3); }
    std::string winOddsText() const { return field(360, 4); }
    std::optional<int> winOddsTenths() const { return number(360, 4); }
    std::string popularityText() const { return field(364, 2); }
    std::optional<int> popularity() const { return number(364, 2); }
};

// One payout entry of an HR record, raw texts. Unused entries are blanks; a
// combination of zeros means not sold, special payout or no contest.
struct PayoutEntry
{
    std::string combination; // horse (2), brackets (2) or two horse numbers (4)
    std::string payout;      // yen, 9 digits
    std::string popularity;  // 2 or 3 digits

    bool isBlank() const;
    std::optional<long long> payoutYen() const;
};

// HR payouts: win, place, bracket quinella, quinella and wide entries.
class HrView : public RecordView
{
public:
    using RecordView::RecordView;

    static constexpr int kWinEntries = 3;
    static constexpr int kPlaceEntries = 5;
    static constexpr int kBracketEntries = 3;
    static constexpr int kQuinellaEntries = 3;
    static constexpr int kWideEntries = 7;

    std::string registeredRaw() const { return field(28, 2); }

    // Entry n, 1-based; n outside the bet type's entries is our own bug and throws
    // std::out_of_range.
    PayoutEntry win(int n) const;
    PayoutEntry place(int n) const;
    PayoutEntry bracket(int n) const;
    PayoutEntry quinella(int n) const;
    PayoutEntry wide(int n) const;

private:
    PayoutEntry entry(int n, int count, int pos, int stride, int comboLen, int popLen) const;
};

// Head shared by the O1 and O2 odds records. Odds fields are handed out raw: digits
// are odds x 10, zeros no votes, "-" cancelled before sale, "*" cancelled after sale,
// blanks no such horse; what they mean is the odds loader's decision.
class OddsView : public RecordView
{
public:
    using RecordView::RecordView;

    std::string announceTime() const { return field(28, 8); }     // MMDDhhmm
    std::string announceMonthDay() const { return field(28, 4); } // MMDD
    std::string announceHour() const { return field(32, 2); }
    std::string announceMinute() const { return field(34, 2); }
    // hh * 60 + mm; a field that is not a number counts as 0.
    int announceMinuteOfDay() const
    {
        return number(32, 2).value_or(0) * 60 + number(34, 2).value_or(0);
    }
    int registered() const { return runners().clamped; }
    std::string registeredRaw() const { return field(36, 2); }
    bool registeredOutOfRange() const { return runners().outOfRange; }

private:
    RunnerCount runners() const { return RunnerCount::fromField(field(36, 2)); }
};

// O1 win, place and bracket-quinella odds.
class O1View : public OddsView
{
public:
    using OddsView::OddsView;

    static constexpr int kWinSlots = 28;
    static constexpr int kBracketSlots = 36;

    // Slot n (1..28) of the win odds: horse number (2) and odds (4) at 46 + 8(n-1).
    std::string winHorse(int n) const;
    std::string winOdds(int n) const;
    // Bracket combination k (1..36, 1-1 ... 8-8): combination (2) and odds (5) at
    // 606 + 9(k-1).
    std::string bracketCombination(int k) const;
    std::string bracketOdds(int k) const;
};

// O2 quinella odds.
class O2View : public OddsView
{
public:
    using OddsView::OddsView;

    static constexpr int kPairSlots = 153;

    // Pair k (1..153, 01-02 ... 17-18): pair (4) at 41 + 13(k-1), odds (6) at
    // 45 + 13(k-1).
    std::string quinellaPair(int k) const;
    std::string quinellaOdds(int k) const;
};

} // namespace sorvantix
