#include "core/study/race_archive.h"

#include "core/odds/time_points.h"
#include "core/store/race_card_files.h"
#include "core/store/race_key.h"
#include "core/store/record_views.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sorvantix {

namespace fs = std::filesystem;

std::vector<DayName> archivedDays(const fs::path& appRoot, std::optional<DayName> from,
                                  std::optional<DayName> to)
{
    std::vector<DayName> days;
    const fs::path data = appRoot / "Data";
    std::error_code ec;
    if (!fs::is_directory(data, ec))
        return days;
    const std::string fromDigits = from ? from->digits() : std::string();
    const std::string toDigits = to ? to->digits() : std::string();
    for (fs::directory_iterator it(data, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.extension() != ".jvRA")
            continue;
        auto day = DayName::parse(p.filename().string());
        // Only "yyyy年mm月dd日.jvRA" itself: a copy with a longer name is no day file.
        if (!day || p.filename().string() != day->text() + ".jvRA")
            continue;
        const std::string digits = day->digits();
        if ((!fromDigits.empty() && digits < fromDigits) ||
            (!toDigits.empty() && digits > toDigits))
            continue;
        days.push_back(*day);
    }
    if (ec)
        throw Error("フォルダを読めません: " + data.string() + " (" + ec.message() + ")");
    std::sort(days.begin(), days.end(),
              [](const DayName& a, const DayName& b) { return a.digits() < b.digits(); });
    return days;
}

bool ArchivedRace::hasPayouts() const
{
    return !RecordView(hr).isBlank();
}

std::string ArchivedRace::monthDay() const
{
    return raceKey.substr(4, 4);
}

std::string ArchivedRace::listText() const
{
    return raceListItemText(ra);
}

std::optional<ArchivedRace> archivedRace(const fs::path& appRoot, const DayName& day,
                                         const DayStore& store, int slotIndex)
{
    if (slotIndex < 0 || slotIndex >= kRaceSlots)
        return std::nullopt;
    const size_t slot = static_cast<size_t>(slotIndex);
    const RaView ra(store.RaRecs[slot]);
    auto key = ra.raceKey();
    if (!key)
        return std::nullopt;
    ArchivedRace race;
    race.day = day;
    race.slot = slotIndex;
    race.raceKey = key->text();
    race.ra = store.RaRecs[slot];
    for (size_t h = 0; h < 18; ++h)
        race.se[h] = store.SeRecs[slot][h];
    race.hr = store.HrRecs[slot];
    race.registered = ra.registered();
    const std::string post = ra.postTime();
    if (isDigits(post)) {
        int minute = std::stoi(post.substr(0, 2)) * 60 + std::stoi(post.substr(2, 2));
        if (minute > 0)
            race.postMinute = minute;
    }
    race.useUmaren = race.registered > 8 || day.year >= 2005;
    race.o1File = oddsFilePath(appRoot, race.raceKey, kO1Extension);
    race.o2File = oddsFilePath(appRoot, race.raceKey, kO2Extension);
    return race;
}

std::vector<ArchivedRace> archivedRaces(const fs::path& appRoot, const DayName& day,
                                        std::vector<std::string>* warnings)
{
    DayLoad load = loadDay(appRoot, day, DayStore());
    if (warnings)
        warnings->insert(warnings->end(), load.warnings.begin(), load.warnings.end());
    std::vector<ArchivedRace> races;
    races.reserve(load.items.size());
    for (const RaceListItem& item : load.items)
        if (auto race = archivedRace(appRoot, day, load.store, item.slot))
            races.push_back(std::move(*race));
    return races;
}

namespace {

std::string_view timeKeyOf(std::string_view record)
{
    return record.size() >= 35 ? record.substr(27, 8) : std::string_view();
}

bool isAnnouncement(std::string_view key)
{
    return key.size() == 8 && isDigits(key) && key.substr(0, 2) != "00";
}

} // namespace

namespace {

// A file mapped read-only; empty when it cannot be mapped.
class MappedFile
{
public:
    explicit MappedFile(const fs::path& file)
    {
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat st
        {
        };
        if (::fstat(fd, &st) == 0 && st.st_size > 0) {
            void* p =
                ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                m_data = static_cast<const char*>(p);
                m_size = static_cast<size_t>(st.st_size);
            }
        }
        ::close(fd);
    }
    ~MappedFile()
    {
        if (m_data)
            ::munmap(const_cast<char*>(m_data), m_size);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    std::string_view bytes() const { return {m_data, m_size}; }

private:
    const char* m_data = nullptr;
    size_t m_size = 0;
};

// The records of an odds file, each without its CR LF. A whole file (a whole number
// of records, each ending in CR LF) is read in place; any other goes through the
// odds file reading, which resynchronises at line ends and reports the damage.
std::vector<std::string_view> oddsRecords(const fs::path& file, int recordSize,
                                          std::vector<std::shared_ptr<const void>>& storage,
                                          std::string& damage)
{
    const size_t size = static_cast<size_t>(recordSize);
    std::vector<std::string_view> records;
    auto mapped = std::make_shared<MappedFile>(file);
    const std::string_view bytes = mapped->bytes();
    bool whole = !bytes.empty() && bytes.size() % size == 0;
    for (size_t at = 0; whole && at < bytes.size(); at += size)
        whole = bytes.substr(at + size - 2, 2) == "\r\n";
    if (whole) {
        records.reserve(bytes.size() / size);
        for (size_t at = 0; at < bytes.size(); at += size)
            records.push_back(bytes.substr(at, size - 2));
        storage.push_back(std::move(mapped));
        return records;
    }
    const OddsFile f = OddsFile::read(file, recordSize);
    damage += f.damage();
    auto lines = std::make_shared<std::vector<std::string>>(f.lines());
    for (const auto& line : *lines)
        records.emplace_back(line);
    storage.push_back(std::move(lines));
    return records;
}

} // namespace

RaceOddsSeries RaceOddsSeries::read(const ArchivedRace& race)
{
    RaceOddsSeries s;
    s.m_monthDay = race.monthDay();
    s.m_useUmaren = race.useUmaren;
    std::error_code ec;
    if (!fs::exists(race.o1File, ec) || (race.useUmaren && !fs::exists(race.o2File, ec)))
        return s;
    auto own = [&race, &s](std::vector<std::string_view> lines, const fs::path& file) {
        // Lines of another race or without an announcement time are no time points.
        size_t before = lines.size();
        dropOtherRaceLines(lines, race.raceKey);
        std::erase_if(lines,
                      [](std::string_view line) { return !isAnnouncement(timeKeyOf(line)); });
        if (lines.size() != before)
            s.m_damage +=
                format("%s: %d行は時刻のない発表または他のレースの発表です。",
                       file.filename().string().c_str(), static_cast<int>(before - lines.size()));
        return lines;
    };
    std::vector<std::string_view> o1Lines =
        own(oddsRecords(race.o1File, kO1RecordSize, s.m_storage, s.m_damage), race.o1File);
    if (!race.useUmaren) {
        for (std::string_view line : o1Lines) {
            s.m_keys.emplace_back(timeKeyOf(line));
            s.m_o1.push_back(line);
            s.m_o2.emplace_back();
        }
        return s;
    }
    std::vector<std::string_view> o2Lines =
        own(oddsRecords(race.o2File, kO2RecordSize, s.m_storage, s.m_damage), race.o2File);
    // Both files are sorted: the win odds of a quinella time point are the ones with the
    // same time or, failing that, the latest before it on the same day.
    size_t j = 0;
    std::string_view last;
    s.m_keys.reserve(o2Lines.size());
    for (std::string_view line : o2Lines) {
        const std::string_view key = timeKeyOf(line);
        while (j < o1Lines.size() && timeKeyOf(o1Lines[j]) <= key)
            last = o1Lines[j++];
        s.m_keys.emplace_back(key);
        const bool sameDay = !last.empty() && timeKeyOf(last).substr(0, 4) == key.substr(0, 4);
        s.m_o1.push_back(sameDay ? last : std::string_view());
        s.m_o2.push_back(line);
    }
    return s;
}

TimePointRecords RaceOddsSeries::at(size_t k) const
{
    return {m_keys.at(k), std::string(m_o1.at(k)), std::string(m_o2.at(k))};
}

bool RaceOddsSeries::oddsAt(size_t k, OddsArrays& arrays, std::string* problem) const
{
    arrays.reset();
    if (k >= m_keys.size() || (m_useUmaren && m_o2[k].empty()) ||
        (!m_useUmaren && m_o1[k].empty())) {
        if (problem)
            *problem = "オッズがありません";
        return false;
    }
    try {
        fillOddsArrays(m_o1[k], m_o2[k], m_useUmaren, arrays);
    } catch (const std::exception& e) {
        arrays.reset();
        if (problem)
            *problem = e.what();
        return false;
    }
    return true;
}

std::optional<size_t> RaceOddsSeries::latestAtOrBefore(std::string_view timeKey) const
{
    // A scan, not a search: a file sorted by hand need not be in order.
    std::optional<size_t> best;
    for (size_t k = 0; k < m_keys.size(); ++k) {
        if (m_keys[k] <= timeKey && (!best || m_keys[k] > m_keys[*best]))
            best = k;
    }
    return best;
}

std::optional<size_t> RaceOddsSeries::nearestOnRaceDay(std::string_view hhmm) const
{
    if (m_keys.empty())
        return std::nullopt;
    const int target = toIntDef(hhmm.substr(0, 2), 0) * 60 + toIntDef(hhmm.substr(2, 2), 0);
    std::optional<size_t> best;
    int bestDistance = 10000;
    for (size_t k = 0; k < m_keys.size(); ++k) {
        const std::string& key = m_keys[k];
        if (std::string_view(key).substr(0, 4) != m_monthDay)
            continue;
        int minute = std::stoi(key.substr(4, 2)) * 60 + std::stoi(key.substr(6, 2));
        int distance = std::abs(target - minute);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = k;
        }
    }
    return best ? best : std::optional<size_t>(0);
}

namespace {

std::optional<long long> poolYen(std::string_view record, int pos)
{
    const std::string field = RecordView(record).field(pos, 11);
    std::string_view t = trimmed(field);
    if (t.empty() || !isDigits(t))
        return std::nullopt;
    return std::stoll(std::string(t)) * 100;
}

} // namespace

std::optional<long long> winPoolYen(std::string_view o1Record)
{
    return poolYen(o1Record, 928);
}

std::optional<long long> quinellaPoolYen(std::string_view o2Record)
{
    return poolYen(o2Record, 2030);
}

} // namespace sorvantix
