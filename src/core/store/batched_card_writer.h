#pragma once

#include "core/store/race_card_files.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// Stores a stream of records like storeCardRecord does, record by record, but keeps
// the files of the current day in memory and writes each touched file once: when a
// record of another day is stored (the previous day's files are written first) and at
// flush(). The files written are byte for byte those that storing the same records one
// by one would leave, for either writer; a year of JV-Link data (days recur across the
// stored files of one record type each) is written in a few passes per day instead of
// once per record.
//
// Nothing but this writer may change the day files between two flushes. Records are
// checked as storeCardRecord checks them: a refused record throws Error and changes
// nothing, pending changes stay pending. Owners call flush() at the end of a run and
// on cancel or error; the destructor flushes too but cannot report a failure.
class BatchedCardWriter
{
public:
    BatchedCardWriter(std::filesystem::path appDir, CardWriter writer);
    ~BatchedCardWriter();

    BatchedCardWriter(const BatchedCardWriter&) = delete;
    BatchedCardWriter& operator=(const BatchedCardWriter&) = delete;

    // Stores one record (CP932 bytes, with or without its CR LF); same outcomes and
    // refusals as storeCardRecord. Throws Error when writing the previous day fails.
    StoreOutcome store(std::string_view record);

    // Writes every changed file of the current day. A file that cannot be written
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
        std::vector<std::string> lines;
        bool exists = false; // on disk, or created by this writer
        bool sorted = false; // lines are in the order the last sort left them
        bool dirty = false;
    };

    CachedFile& file(const CardStorePlan& plan);
    void storeKeyed(CachedFile& f, const CardStorePlan& plan);

    std::filesystem::path m_appDir;
    CardWriter m_writer;
    std::optional<DayName> m_day;
    std::map<std::filesystem::path, CachedFile> m_files;
    std::vector<std::string> m_damage;
};

} // namespace sorvantix
