#include "core/store/race_card_files.h"

#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/sorted_text_list.h"
#include "core/text/text_file.h"

#include <optional>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kZeroedKindAndDate = "000000000"; // positions 3-11

// Type and key of a record for messages; the bytes may be damaged, so they are
// decoded leniently.
std::string describe(std::string_view type, std::string_view record)
{
    return std::string(type) + "レコード(キー " + fromCp932(RecordView(record).raceKeyText()) + ")";
}

int recordLengthOf(CardFileKind kind)
{
    switch (kind) {
    case CardFileKind::Ra:
        return kRaRecordLength;
    case CardFileKind::Se:
        return kSeRecordLength;
    case CardFileKind::Hr:
        return kHrRecordLength;
    }
    return 0;
}

} // namespace

FixedRecordFile readFixedRecordFile(const fs::path& path, int recordLength)
{
    FixedRecordFile f;
    f.size = static_cast<size_t>(recordLength);
    f.bytes = readFileBytes(path);
    const size_t body = f.size - 2;
    bool whole = f.bytes.size() % f.size == 0;
    for (size_t at = 0; whole && at < f.bytes.size(); at += f.size)
        whole = f.bytes.compare(at + body, 2, "\r\n") == 0 &&
                !hasLineBreak(std::string_view(f.bytes).substr(at, body));
    if (whole) {
        f.count = f.bytes.size() / f.size;
        return f;
    }

    std::string records;
    std::vector<size_t> bad;
    size_t at = 0;
    for (size_t end; (end = f.bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::string_view piece = std::string_view(f.bytes).substr(at, end - at);
        const bool good = piece.size() == body && !hasLineBreak(piece);
        if (!good)
            bad.push_back(f.damaged.size());
        f.damaged.push_back(!good);
        records.append(piece.substr(0, std::min(piece.size(), body)));
        records.append(body - std::min(piece.size(), body), ' ');
        records.append("\r\n");
    }
    const size_t fileSize = f.bytes.size();
    const size_t cut = fileSize - at;
    f.count = f.damaged.size();
    f.bytes = std::move(records);

    std::string what;
    for (size_t i = 0; i < bad.size() && i < 3; ++i)
        what += format("%s%zu", i == 0 ? "" : "・", bad[i] + 1);
    if (bad.size() > 3)
        what += format("ほか%zu", bad.size() - 3);
    const std::string name = path.filename().string();
    if (cut > 0)
        f.damage = format("%s: %zuバイトは%dバイトのレコードの整数倍ではありません"
                          "（壊れています）。%zu件目までを読み込みました",
                          name.c_str(), fileSize, recordLength, f.count);
    if (!bad.empty())
        f.damage += format("%s%s: %s件目のレコードが壊れています（%dバイトでないか改行が"
                           "混じっています）。ほかの%zu件は位置を変えずに読み込みました",
                           f.damage.empty() ? "" : "。", name.c_str(), what.c_str(), recordLength,
                           f.count - bad.size());
    return f;
}

std::vector<std::string> readCardFileLines(const fs::path& path, CardFileKind kind,
                                           std::vector<std::string>& damage)
{
    const FixedRecordFile f = readFixedRecordFile(path, recordLengthOf(kind));
    if (!f.damage.empty())
        damage.push_back(f.damage);
    std::vector<std::string> lines;
    lines.reserve(f.count);
    size_t dropped = 0;
    for (size_t i = 0; i < f.count; ++i) {
        std::string line = f.bytes.substr(i * f.size, f.size - 2);
        // An RA or HR line without a race key of a race 1..12 can never be replaced by a
        // delivered record, so it would only grow the file past the day's 36 slots and
        // push good races out (the readers take the first 36). Such lines go.
        // Blank lines are the writers' own business (the real-time RA writer drops a
        // blank first line, the bulk writer keeps it).
        if (kind != CardFileKind::Se && !RecordView(line).isBlank()) {
            const RecordView view(line);
            const auto key = view.raceKey();
            const int race = key ? key->raceNo() : 0;
            if (!key || race < 1 || race > kSeMaxRace) {
                ++dropped;
                continue;
            }
        }
        lines.push_back(std::move(line));
    }
    // Damaged records stay in their places; f.damage has named them.
    if (dropped > 0)
        damage.push_back(format("%s: レースキーかレース番号の壊れたレコード%zu件を除きました",
                                path.filename().c_str(), dropped));
    return lines;
}

bool cardFileExists(const fs::path& path)
{
    std::error_code ec;
    bool exists = fs::exists(path, ec);
    if (ec)
        throw Error("ファイルを確認できません: " + path.string() + ": " + ec.message());
    return exists;
}

void ensureCardDataDir(const fs::path& path)
{
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec)
        throw Error("フォルダを作成できません: " + path.parent_path().string() + ": " +
                    ec.message());
}

fs::path cardDataDir(const fs::path& appDir)
{
    return appDir / "Data";
}

namespace {

std::string dayFileName(const DayName& day, std::string_view venue, std::string_view extension)
{
    std::string name = day.text();
    name += venue;
    name += extension;
    return name;
}

} // namespace

fs::path raFilePath(const fs::path& appDir, const DayName& day)
{
    return cardDataDir(appDir) / dayFileName(day, "", ".jvRA");
}

fs::path hrFilePath(const fs::path& appDir, const DayName& day)
{
    return cardDataDir(appDir) / dayFileName(day, "", ".jvHR");
}

fs::path seFilePath(const fs::path& appDir, const DayName& day, std::string_view venueCode)
{
    return cardDataDir(appDir) / dayFileName(day, VenueShortName(venueCode), ".jvSEr");
}

bool bulkSkipsDataKind(std::string_view record)
{
    std::string_view type = record.substr(0, 2);
    if (type != "RA" && type != "SE")
        return false;
    std::string kind = RecordView(record).dataKind();
    return kind == "A" || kind == "B";
}

std::string blankSeLine()
{
    return std::string(static_cast<size_t>(kSeRecordLength - 2), ' ');
}

bool lineHasRaceKey(std::string_view line, std::string_view raceKey)
{
    return line.size() >= 27 && line.substr(11, 16) == raceKey;
}

CardStorePlan planCardStore(const fs::path& appDir, std::string_view record, CardWriter writer)
{
    CardStorePlan plan = planCardRecord(record, writer);
    if (plan.outcome == StoreOutcome::Stored)
        plan.path = cardDataDir(appDir) / plan.fileName;
    return plan;
}

CardStorePlan planCardRecord(std::string_view record, CardWriter writer)
{
    CardStorePlan plan;
    std::string_view type = record.substr(0, 2);
    if (type == "RA")
        plan.kind = CardFileKind::Ra;
    else if (type == "SE")
        plan.kind = CardFileKind::Se;
    else if (type == "HR")
        plan.kind = CardFileKind::Hr;
    else
        return plan;

    std::string_view body = record;
    if (body.size() >= 2 && body.substr(body.size() - 2) == "\r\n")
        body.remove_suffix(2);
    const int length = recordLengthOf(plan.kind);
    if (body.size() != static_cast<size_t>(length - 2))
        throw Error(describe(type, record) +
                    format("の長さが不正です: %zuバイト (CR LFを含めて%dバイトのはず)",
                           record.size(), length));
    if (hasLineBreak(body))
        throw Error(describe(type, record) + "の途中に改行があります");
    std::optional<RaceKey> key = RaceKey::tryFromRecord(body);
    if (!key)
        throw Error(describe(type, record) +
                    "のレースキー(12-27桁目)が16桁の数字でないか、日付がありえません");

    const int race = key->raceNo();
    if (race <= 0) {
        plan.outcome = StoreOutcome::NoRaceNumber;
        return plan;
    }
    // A 13th race has no place in a day's 36 slots: stored, it would push another
    // venue's last race out of the day for good.
    if (plan.kind != CardFileKind::Se && race > kSeMaxRace)
        throw Error(describe(type, record) +
                    format("のレース番号%dは1〜%dRの範囲外です", race, kSeMaxRace));
    if (plan.kind == CardFileKind::Se) {
        const int horse = SeView(body).horseNo().value_or(0);
        if (horse <= 0) {
            plan.outcome = StoreOutcome::NoRaceNumber;
            return plan;
        }
        // Race 1 horse 19 would land on race 2 horse 1's line, so both limits hold
        // separately, not just the line range.
        if (race > kSeMaxRace || horse > kSeMaxHorse)
            throw Error(describe(type, record) +
                        format("のレース番号%d・馬番%dは.jvSErファイルに入りません "
                               "(1〜%dR、1〜%d番)",
                               race, horse, kSeMaxRace, kSeMaxHorse));
        plan.lineIndex = (race - 1) * kSeMaxHorse + (horse - 1);
    }

    plan.day = key->dayName();
    plan.raceKey = key->text();
    plan.line = std::string(body);
    const bool zeroHead = plan.kind == CardFileKind::Ra ||
                          (plan.kind == CardFileKind::Hr && writer == CardWriter::Bulk);
    if (zeroHead)
        plan.line.replace(2, kZeroedKindAndDate.size(), kZeroedKindAndDate);
    switch (plan.kind) {
    case CardFileKind::Ra:
        plan.fileName = dayFileName(plan.day, "", ".jvRA");
        break;
    case CardFileKind::Hr:
        plan.fileName = dayFileName(plan.day, "", ".jvHR");
        break;
    case CardFileKind::Se:
        plan.fileName = dayFileName(plan.day, VenueShortName(key->venue()), ".jvSEr");
        break;
    }
    plan.outcome = StoreOutcome::Stored;
    return plan;
}

void applyKeyedLine(std::vector<std::string>& lines, const CardStorePlan& plan, CardWriter writer)
{
    bool replaced = false;
    for (auto& line : lines) {
        if (lineHasRaceKey(line, plan.raceKey)) {
            line = plan.line;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        lines.push_back(plan.line);
    sortLines(lines);
    if (writer == CardWriter::Realtime && plan.kind == CardFileKind::Ra && !lines.empty() &&
        trimmed(lines.front()).empty())
        lines.erase(lines.begin());
}

void applySeLine(std::vector<std::string>& lines, const CardStorePlan& plan)
{
    if (lines.size() < static_cast<size_t>(kSeFileLines))
        lines.resize(static_cast<size_t>(kSeFileLines), blankSeLine());
    lines[static_cast<size_t>(plan.lineIndex)] = plan.line;
}

StoreOutcome storeCardRecord(const fs::path& appDir, std::string_view record, CardWriter writer)
{
    CardStorePlan plan = planCardStore(appDir, record, writer);
    if (plan.outcome != StoreOutcome::Stored)
        return plan.outcome;
    // From reading the day file to replacing it.
    WriteLock lock;

    const bool exists = cardFileExists(plan.path);
    const bool createsFile = writer == CardWriter::Bulk || plan.kind == CardFileKind::Hr;
    if (!exists && !createsFile)
        return StoreOutcome::NoFile;

    std::vector<std::string> lines;
    std::vector<std::string> damage;
    if (exists)
        lines = readCardFileLines(plan.path, plan.kind, damage);
    if (plan.kind == CardFileKind::Se)
        applySeLine(lines, plan);
    else
        applyKeyedLine(lines, plan, writer);
    if (!exists)
        ensureCardDataDir(plan.path);
    writeLinesRaw(plan.path, lines);
    return StoreOutcome::Stored;
}

} // namespace sorvantix
