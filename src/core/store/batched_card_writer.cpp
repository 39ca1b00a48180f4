#include "core/store/batched_card_writer.h"

#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/sorted_text_list.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

bool lessText(const std::string& a, const std::string& b)
{
    return compareText(a, b) < 0;
}

} // namespace

BatchedCardWriter::BatchedCardWriter(fs::path appDir, CardWriter writer)
    : m_dataDir(cardDataDir(appDir)), m_writer(writer)
{
}

BatchedCardWriter::~BatchedCardWriter()
{
    try {
        flush();
    } catch (...) {
        // Nobody to tell during unwinding; owners call flush() to see failures.
    }
}

bool BatchedCardWriter::hasPendingChanges() const
{
    return std::any_of(m_files.begin(), m_files.end(),
                       [](const auto& entry) { return entry.second.dirty; });
}

BatchedCardWriter::CachedFile& BatchedCardWriter::file(const CardStorePlan& plan)
{
    auto it = m_files.find(plan.fileName);
    if (it != m_files.end())
        return it->second;
    CachedFile f;
    f.path = m_dataDir / plan.fileName;
    f.day = plan.day;
    f.exists = cardFileExists(f.path);
    if (f.exists)
        f.lines = readCardFileLines(f.path, plan.kind, m_damage);
    return m_files.emplace(plan.fileName, std::move(f)).first->second;
}

void BatchedCardWriter::keepDay(const DayName& day)
{
    auto it = std::find(m_days.begin(), m_days.end(), day);
    if (it != m_days.end()) {
        std::rotate(it, it + 1, m_days.end());
        return;
    }
    if (m_days.size() == kKeptDays) {
        // The half used longest ago goes in one pass (one flush of the disk for all of
        // its files). Written before dropped: on a failure the changes stay pending
        // and the record is not stored.
        const std::vector<DayName> oldest(m_days.begin(), m_days.begin() + kKeptDays / 2);
        auto isOld = [&](const DayName& d) {
            return std::find(oldest.begin(), oldest.end(), d) != oldest.end();
        };
        writeFiles([&](const CachedFile& f) { return isOld(f.day); });
        m_days.erase(m_days.begin(), m_days.begin() + kKeptDays / 2);
        std::erase_if(m_files, [&](const auto& entry) { return isOld(entry.second.day); });
    }
    m_days.push_back(day);
}

StoreOutcome BatchedCardWriter::store(std::string_view record)
{
    return store(planCardRecord(record, m_writer));
}

StoreOutcome BatchedCardWriter::store(const CardStorePlan& plan)
{
    if (plan.outcome != StoreOutcome::Stored)
        return plan.outcome;
    keepDay(plan.day);
    CachedFile& f = file(plan);
    const bool createsFile = m_writer == CardWriter::Bulk || plan.kind == CardFileKind::Hr;
    if (!f.exists && !createsFile)
        return StoreOutcome::NoFile;
    if (plan.kind == CardFileKind::Se)
        applySeLine(f.lines, plan);
    else
        storeKeyed(f, plan);
    f.exists = true;
    f.dirty = true;
    return StoreOutcome::Stored;
}

// Once a file's lines have been sorted, replacing one line and sorting again (stable)
// only moves that line: it lands after every smaller line and, among lines that
// compare equal to it, keeps its place relative to them. So the new line is placed
// with a binary search instead of sorting the whole file for every record.
void BatchedCardWriter::storeKeyed(CachedFile& f, const CardStorePlan& plan)
{
    if (!f.sorted) {
        // The file as loaded may be in any order: its first store is the plain rule.
        applyKeyedLine(f.lines, plan, m_writer);
        f.sorted = true;
        return;
    }
    auto& lines = f.lines;
    auto match = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return lineHasRaceKey(line, plan.raceKey);
    });
    if (match == lines.end()) {
        lines.insert(std::upper_bound(lines.begin(), lines.end(), plan.line, lessText), plan.line);
    } else {
        auto index = match - lines.begin();
        lines.erase(match);
        auto lower = std::lower_bound(lines.begin(), lines.end(), plan.line, lessText);
        auto upper = std::upper_bound(lower, lines.end(), plan.line, lessText);
        auto at = std::clamp(index, lower - lines.begin(), upper - lines.begin());
        lines.insert(lines.begin() + at, plan.line);
    }
    if (m_writer == CardWriter::Realtime && plan.kind == CardFileKind::Ra &&
        trimmed(lines.front()).empty())
        lines.erase(lines.begin());
}

void BatchedCardWriter::flush()
{
    writeFiles([](const CachedFile&) { return true; });
}

void BatchedCardWriter::writeFiles(const std::function<bool(const CachedFile&)>& which)
{
    std::vector<CachedFile*> pending;
    std::vector<std::string> contents;
    for (auto& entry : m_files) {
        CachedFile& f = entry.second;
        if (!f.dirty || !which(f))
            continue;
        pending.push_back(&f);
        contents.push_back(joinLinesRaw(f.lines));
    }
    if (pending.empty())
        return;
    std::vector<FileContent> files;
    std::exception_ptr failure;
    // The holder of the folder's lock alone may take a temporary file for a stale one.
    std::optional<WriteLock> lock;
    try {
        lock.emplace();
        ensureCardDataDir(pending.front()->path);
        // What a killed run of a day-file writer left goes before this one writes.
        if (!m_tempFilesRemoved)
            removeStaleTempFiles(m_dataDir, {".jvRA", ".jvSEr", ".jvHR"});
        m_tempFilesRemoved = true;
    } catch (...) {
        failure = std::current_exception();
    }
    for (size_t i = 0; i < pending.size(); ++i)
        files.push_back({pending[i]->path, contents[i]});
    const auto failures =
        failure ? std::vector<std::exception_ptr>(files.size(), failure) : writeFilesAtomic(files);
    for (size_t i = 0; i < pending.size(); ++i) {
        if (failures[i]) {
            if (!failure)
                failure = failures[i];
        } else {
            pending[i]->dirty = false;
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace sorvantix
