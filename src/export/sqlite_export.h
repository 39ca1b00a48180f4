#pragma once

#include "core/analysis/suisho_params.h"
#include "core/text/day_name.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sorvantix {

// Export of the stored days into an SQLite database for the user's own study. The
// table and column names are a contract: users' queries rely on them (see
// exportSchemaSql()). Exporting again adds only what is new, all in one transaction,
// so a failed or killed export leaves the database as it was before that run.

struct ExportOptions
{
    std::optional<DayName> from, to; // all stored days when not given
    std::string paramSetName = "既定値";
    SuishoParams params; // the analysis stored for every snapshot
};

struct ExportCounts
{
    int days = 0;
    int races = 0; // races, runners, payouts: rows new or changed
    int runners = 0;
    int payouts = 0;
    int snapshots = 0; // new time points
    long long oddsWin = 0;
    long long oddsQuinella = 0;
    long long analysis = 0;
    std::vector<std::string> warnings;
};

using ExportProgress = std::function<void(int done, int total)>;

// The schema the export creates (CREATE TABLE / INDEX IF NOT EXISTS statements).
const char* exportSchemaSql();

// Exports the days into `database` (created when missing). Throws Error for a
// database that cannot be opened or written, or a cancel (`cancel` set): nothing of
// this run is kept then. A race whose odds cannot be read is a warning and is
// exported without them.
ExportCounts exportToSqlite(const std::filesystem::path& appRoot,
                            const std::filesystem::path& database, const ExportOptions& options,
                            const ExportProgress& progress = {},
                            const std::atomic<bool>* cancel = nullptr);

// The window's message after an export to `file`: what was written, and the first
// warning when there was one.
std::string exportSummary(const std::filesystem::path& file, const ExportCounts& counts);

} // namespace sorvantix
