#include "core/store/record_views.h"

#include "core/text/cp932.h"
#include "core/text/field.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace sorvantix {
namespace {

bool isBlankByte(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

void checkIndex(int n, int count, const char* what)
{
    if (n < 1 || n > count)
        throw std::out_of_range(std::string(what) + " index " + std::to_string(n) + " outside 1.." +
                                std::to_string(count));
}

// Trailing half-width blanks and ideographic spaces (U+3000) of a decoded text.
std::string trimTrailingBlanks(std::string text)
{
    static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
    for (;;) {
        if (!text.empty() && text.back() == ' ') {
            text.pop_back();
        } else if (text.size() >= 3 &&
                   std::string_view(text).substr(text.size() - 3) == kIdeographicSpace) {
            text.resize(text.size() - 3);
        } else {
            return text;
        }
    }
}

} // namespace

std::string RecordView::field(int pos, int len) const
{
    return sorvantix::field(m_bytes, pos, len);
}

bool RecordView::isBlank() const
{
    return std::all_of(m_bytes.begin(), m_bytes.end(), isBlankByte);
}

std::optional<RaceKey> RecordView::raceKey() const
{
    return RaceKey::tryParse(raceKeyText());
}

std::optional<int> RecordView::raceNo() const
{
    return number(26, 2);
}

std::optional<int> RecordView::number(int pos, int len) const
{
    // A field the record cuts short reads with trailing blanks, which are no number.
    if (pos < 1 || len <= 0 ||
        static_cast<size_t>(pos - 1) + static_cast<size_t>(len) > m_bytes.size())
        return std::nullopt;
    return parseInt(m_bytes.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len)));
}

std::string RecordView::text(int pos, int len) const
{
    return trimTrailingBlanks(fromCp932(field(pos, len)));
}

RunnerCount RunnerCount::fromField(std::string_view raw)
{
    RunnerCount r;
    r.raw = std::string(raw);
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return c == ' '; }))
        return r;
    std::optional<int> n = parseInt(raw);
    if (!n || *n < 0 || *n > kMaxRunners) {
        r.outOfRange = true;
        r.clamped = (n && *n > kMaxRunners) ? kMaxRunners : 0;
        return r;
    }
    r.clamped = *n;
    return r;
}

bool PayoutEntry::isBlank() const
{
    auto blank = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
    };
    return blank(combination) && blank(payout) && blank(popularity);
}

std::optional<long long> PayoutEntry::payoutYen() const
{
    std::string_view digits = trimmed(payout);
    if (digits.empty())
        return std::nullopt;
    long long value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || value < 0)
        return std::nullopt;
    return value;
}

PayoutEntry HrView::entry(int n, int count, int pos, int stride, int comboLen, int popLen) const
{
    checkIndex(n, count, "payout entry");
    int p = pos + (n - 1) * stride;
    return PayoutEntry{field(p, comboLen), field(p + comboLen, 9), field(p + comboLen + 9, popLen)};
}

PayoutEntry HrView::win(int n) const
{
    return entry(n, kWinEntries, 103, 13, 2, 2);
}

PayoutEntry HrView::place(int n) const
{
    return entry(n, kPlaceEntries, 142, 13, 2, 2);
}

PayoutEntry HrView::bracket(int n) const
{
    return entry(n, kBracketEntries, 207, 13, 2, 2);
}

PayoutEntry HrView::quinella(int n) const
{
    return entry(n, kQuinellaEntries, 246, 16, 4, 3);
}

PayoutEntry HrView::wide(int n) const
{
    return entry(n, kWideEntries, 294, 16, 4, 3);
}

std::string O1View::winHorse(int n) const
{
    checkIndex(n, kWinSlots, "win odds slot");
    return field(44 + 8 * (n - 1), 2);
}

std::string O1View::winOdds(int n) const
{
    checkIndex(n, kWinSlots, "win odds slot");
    return field(46 + 8 * (n - 1), 4);
}

std::string O1View::bracketCombination(int k) const
{
    checkIndex(k, kBracketSlots, "bracket odds slot");
    return field(604 + 9 * (k - 1), 2);
}

std::string O1View::bracketOdds(int k) const
{
    checkIndex(k, kBracketSlots, "bracket odds slot");
    return field(606 + 9 * (k - 1), 5);
}

std::string O2View::quinellaPair(int k) const
{
    checkIndex(k, kPairSlots, "quinella odds slot");
    return field(41 + 13 * (k - 1), 4);
}

std::string O2View::quinellaOdds(int k) const
{
    checkIndex(k, kPairSlots, "quinella odds slot");
    return field(45 + 13 * (k - 1), 6);
}

} // namespace sorvantix
