#include "core/odds/odds_files.h"

#include "core/odds/time_points.h"
#include "core/store/race_card_files.h"
#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/sorted_text_list.h"
#include "core/text/text_file.h"

#include <cstdio>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

bool runOf(std::string_view s, char c)
{
    if (s.empty())
        return false;
    for (char x : s)
        if (x != c)
            return false;
    return true;
}

// Value of an odds field in tenths; nullopt for the forms that carry no odds.
} // namespace

std::optional<long> oddsTenths(std::string_view raw, const char* what, int index, int pos)
{
    std::string_view t = trimmed(raw);
    if (t.empty() || runOf(raw, '*') || runOf(raw, '-'))
        return std::nullopt;
    // Trimmed digits only: a field such as " 123" counts, "12a4" does not.
    if (!isDigits(t))
        throw Error(format("%s %d のオッズ欄が不正です: \"%s\" (位置 %d)", what, index,
                           std::string(raw).c_str(), pos));
    return std::stol(std::string(t));
}

fs::path oddsFilePath(const fs::path& appDir, std::string_view raceKey, std::string_view extension)
{
    // The key's own type decides: 16 digits of a possible date, nothing else names a
    // folder.
    const auto key = RaceKey::tryParse(raceKey);
    if (!key)
        throw Error("レースキーが不正です: \"" + printableBytes(raceKey) + "\"");
    return appDir / "Data" / key->text().substr(0, 8) /
           (key->text().substr(8, 8) + std::string(extension));
}

int SaveOddsSeries(const fs::path& appDir, std::vector<std::string> lines,
                   std::string_view extension)
{
    if (lines.empty())
        return 0;
    std::string key = RecordView(lines.front()).raceKeyText();
    fs::path file = oddsFilePath(appDir, key, extension);
    const size_t dropped = dropOtherRaceLines(lines, key);
    WriteLock lock;
    fs::create_directories(file.parent_path());
    removeStaleTempFiles(file.parent_path(), {kO1Extension, kO2Extension});
    sortLines(lines);
    writeLinesRaw(file, lines);
    return static_cast<int>(dropped);
}

OddsFile OddsFile::read(const fs::path& file, int recordSize)
{
    OddsFile f;
    f.m_path = file;
    f.m_records = readFixedRecordFile(file, recordSize);
    return f;
}

std::vector<std::string> OddsFile::lines(bool keepDamaged) const
{
    const FixedRecordFile& f = m_records;
    std::vector<std::string> lines;
    lines.reserve(f.count);
    // A damaged announcement is no time point; every other one keeps its place.
    for (size_t i = 0; i < f.count; ++i)
        if (keepDamaged || !f.isDamaged(i))
            lines.push_back(f.bytes.substr(i * f.size, f.size - 2));
    return lines;
}

bool OddsFile::hasAnnouncements() const
{
    for (size_t i = 0; i < m_records.count; ++i)
        if (!m_records.isDamaged(i))
            return true;
    return false;
}

std::optional<std::string> OddsFile::find(std::string_view timeKey) const
{
    const FixedRecordFile& f = m_records;
    if (timeKey.size() != 8)
        return std::nullopt;
    for (size_t i = 0; i < f.count; ++i) {
        if (!f.isDamaged(i) && std::string_view(f.bytes).substr(i * f.size + 27, 8) == timeKey)
            return f.bytes.substr(i * f.size, f.size);
    }
    return std::nullopt;
}

std::optional<std::string> OddsFile::findAtOrBefore(std::string_view timeKey) const
{
    const FixedRecordFile& f = m_records;
    if (timeKey.size() != 8)
        return std::nullopt;
    std::optional<std::string> best;
    std::string bestTime;
    for (size_t i = 0; i < f.count; ++i) {
        if (f.isDamaged(i))
            continue;
        std::string_view t = std::string_view(f.bytes).substr(i * f.size + 27, 8);
        if (t.substr(0, 4) != timeKey.substr(0, 4) || !isDigits(t) || t > timeKey)
            continue;
        if (!best || t > bestTime) {
            best = f.bytes.substr(i * f.size, f.size);
            bestTime = std::string(t);
        }
    }
    return best;
}

std::vector<std::string> readOddsLines(const fs::path& file, int recordSize, std::string* damage,
                                       bool keepDamaged)
{
    const OddsFile f = OddsFile::read(file, recordSize);
    if (damage)
        *damage = f.damage();
    return f.lines(keepDamaged);
}

std::string timeComboItem(std::string_view line)
{
    // "MM/DD hh:mm" from MMDDhhmm at 28 (blanks where the line is short).
    std::string item = "  /     :  ";
    static constexpr int kAt[] = {0, 1, 3, 4, 6, 7, 9, 10};
    for (int i = 0; i < 8; ++i) {
        const size_t pos = 27 + static_cast<size_t>(i);
        item[static_cast<size_t>(kAt[i])] = pos < line.size() ? line[pos] : ' ';
    }
    return item;
}

std::string timeKeyOfItem(std::string_view item)
{
    if (item.size() < 11)
        return {};
    return std::string(item.substr(0, 2)) + std::string(item.substr(3, 2)) +
           std::string(item.substr(6, 2)) + std::string(item.substr(9, 2));
}

std::optional<std::string> findOddsRecord(const fs::path& file, int recordSize,
                                          std::string_view timeKey, bool* damaged)
{
    const OddsFile f = OddsFile::read(file, recordSize);
    if (damaged)
        *damaged = !f.damage().empty();
    return f.find(timeKey);
}

std::optional<std::string> findOddsRecordAtOrBefore(const fs::path& file, std::string_view timeKey)
{
    if (timeKey.size() != 8)
        return std::nullopt;
    return OddsFile::read(file, kO1RecordSize).findAtOrBefore(timeKey);
}

void fillOddsArrays(std::string_view o1, std::string_view o2, bool useUmaren, OddsArrays& arrays)
{
    OddsArrays filled = arrays;
    if (useUmaren) {
        const O2View quinella(o2);
        for (int k = 1; k <= OddsArrays::kPairs; ++k) {
            if (auto v = oddsTenths(quinella.quinellaOdds(k), "馬連", k, 45 + 13 * (k - 1)))
                filled.UmarenOdds[static_cast<size_t>(k)] = *v > 0 ? *v / 10.0 : 99999.9;
        }
    } else {
        const O1View brackets(o1);
        for (int k = 1; k <= O1View::kBracketSlots; ++k) {
            if (auto v = oddsTenths(brackets.bracketOdds(k), "枠連", k, 606 + 9 * (k - 1))) {
                // A bracket with itself (p = 0) lands in the unused element 0.
                int p = UmarenPairNo(WakurenPairText(k));
                filled.UmarenOdds[static_cast<size_t>(p)] = *v > 0 ? *v / 10.0 : 9999.9;
            }
        }
    }
    const O1View win(o1);
    for (int n = 1; n <= OddsArrays::kHorses; ++n) {
        if (auto v = oddsTenths(win.winOdds(n), "単勝", n, 46 + 8 * (n - 1)))
            filled.TanOdds[static_cast<size_t>(n)] = *v > 0 ? *v / 10.0 : 999.9;
    }
    arrays = filled;
}

} // namespace sorvantix
