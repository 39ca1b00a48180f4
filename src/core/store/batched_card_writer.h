#pragma once

#include "core/store/race_card_files.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// Stores a stream of records like storeCardRecord does, record by record, but keeps
// the files of the last kKeptDays days it stored in memory and writes each touched
// file once: when a record of a day beyond those is stored (the files of the half of
// the days used longest ago are written first and dropped) and at flush(). The files written are
// byte for byte those that storing the same records one by one would leave, for either
// writer. JV-Link's stored data has one record type per file and each file covers a
// block of days, so days recur a few files apart: kept this way, a year is written
// about once per file instead of once per record (or once per change of day).
//
// Nothing but this writer may change the day files between two flushes. Records are
// checked as storeCardRecord checks them: a refused record throws Error and changes
// nothing, pending changes stay pending. Owners call flush() at the end of a run and
// on cancel or error; the destructor flushes too but cannot report a failure.
class BatchedCardWriter
{
public:
    // Days whose files are kept in memory (about 1 MB a day).
    static constexpr size_t kKeptDays = 16;

    BatchedCardWriter(std::filesystem::path appDir, CardWriter writer);
    ~BatchedCardWriter();

    BatchedCardWriter(const BatchedCardWriter&) = delete;
    BatchedCardWriter& operator=(const BatchedCardWriter&) = delete;

    // Stores one record (CP932 bytes, with or without its CR LF); same outcomes and
    // refusals as storeCardRecord. Throws Error when writing the previous day fails.
    StoreOutcome store(std::string_view record);
    // The same for a record already planned by planCardRecord(record, writer) (or
    // planCardStore) with this writer's kind.
    StoreOutcome store(const CardStorePlan& plan);

    // Writes every changed file. A file that cannot be written
    // stays pending and the first failure is thrown as Error after the others are
    // written; calling flush() again retries.
    void flush();

    // Whether changes wait for flush().
    bool hasPendingChanges() const;

    // Damage found in the existing files this writer read (one message per problem,
    // naming the file). Damaged records keep their place; nothing is shifted.
    const std::vector<std::string>& damage() const { return m_damage; }

private:
    struct CachedFile
    {
        std::filesystem::path path;
        DayName day;
        std::vector<std::string> lines;
        bool exists = false; // on disk, or created by this writer
        bool sorted = false; // lines are in the order the last sort left them
        bool dirty = false;
    };

    CachedFile& file(const CardStorePlan& plan);
    void storeKeyed(CachedFile& f, const CardStorePlan& plan);

    std::filesystem::path m_dataDir;
    CardWriter m_writer;
    void keepDay(const DayName& day);
    void writeFiles(const std::function<bool(const CachedFile&)>& which);

    std::vector<DayName> m_days;               // kept, the one used longest ago first
    std::map<std::string, CachedFile> m_files; // by file name
    bool m_tempFilesRemoved = false;
    std::vector<std::string> m_damage;
};

} // namespace sorvantix
