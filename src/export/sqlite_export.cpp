#include "export/sqlite_export.h"

#include "core/analysis/analysis_computation.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/study/race_archive.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <optional>
#include <set>
#include <sqlite3.h>

namespace sorvantix {

namespace fs = std::filesystem;

namespace {
constexpr int kExportSchemaVersion = 1;
} // namespace

const char* exportSchemaSql()
{
    return R"sql(
CREATE TABLE IF NOT EXISTS meta (
    key   TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS races (
    race_key    TEXT PRIMARY KEY,   -- 16 digits: yyyymmdd, venue, meeting, day, race
    race_date   TEXT NOT NULL,      -- yyyy-mm-dd
    venue_code  TEXT NOT NULL,
    venue       TEXT NOT NULL,
    meeting     INTEGER,
    meeting_day INTEGER,
    race_no     INTEGER NOT NULL,
    race_name   TEXT,
    distance_m  INTEGER,
    track_code  TEXT,
    grade_code  TEXT,
    post_time   TEXT,               -- hh:mm, NULL without one
    registered  INTEGER NOT NULL,   -- registered runners
    data_kind   TEXT                -- JV-Data kind of the race card record
);
CREATE TABLE IF NOT EXISTS runners (
    race_key   TEXT NOT NULL REFERENCES races(race_key),
    horse_no   INTEGER NOT NULL,
    bracket    INTEGER,
    horse_name TEXT,
    finish_pos INTEGER,             -- NULL until the result is in
    final_odds REAL,                -- win odds of the result, NULL before it
    popularity INTEGER,
    PRIMARY KEY (race_key, horse_no)
);
CREATE TABLE IF NOT EXISTS payouts (
    race_key    TEXT NOT NULL REFERENCES races(race_key),
    bet_type    TEXT NOT NULL,      -- win, place, bracket_quinella, quinella, wide
    entry       INTEGER NOT NULL,   -- 1.. in the payout record's order
    combination TEXT NOT NULL,      -- "7" or "3-7"
    payout_yen  INTEGER NOT NULL,   -- per 100 yen
    popularity  INTEGER,
    PRIMARY KEY (race_key, bet_type, entry)
);
CREATE TABLE IF NOT EXISTS snapshots (
    race_key          TEXT NOT NULL REFERENCES races(race_key),
    announced         TEXT NOT NULL, -- MMDDhhmm as the odds record carries it
    announced_at      TEXT NOT NULL, -- yyyy-mm-dd hh:mm
    win_pool_yen      INTEGER,       -- win pool in yen (record: units of 100 yen)
    quinella_pool_yen INTEGER,
    PRIMARY KEY (race_key, announced)
);
CREATE TABLE IF NOT EXISTS odds_win (
    race_key  TEXT NOT NULL,
    announced TEXT NOT NULL,
    horse_no  INTEGER NOT NULL,
    odds      REAL,                  -- NULL: cancelled; 999.9 means 999.9 or more
    no_votes  INTEGER NOT NULL,      -- 1: no votes yet
    PRIMARY KEY (race_key, announced, horse_no),
    FOREIGN KEY (race_key, announced) REFERENCES snapshots(race_key, announced)
);
CREATE TABLE IF NOT EXISTS odds_quinella (
    race_key  TEXT NOT NULL,
    announced TEXT NOT NULL,
    horse_a   INTEGER NOT NULL,      -- the lower horse number
    horse_b   INTEGER NOT NULL,
    odds      REAL,                  -- NULL: cancelled; 99999.9 means that or more
    no_votes  INTEGER NOT NULL,
    PRIMARY KEY (race_key, announced, horse_a, horse_b),
    FOREIGN KEY (race_key, announced) REFERENCES snapshots(race_key, announced)
);
CREATE TABLE IF NOT EXISTS analysis (
    race_key         TEXT NOT NULL,
    announced        TEXT NOT NULL,
    param_set        TEXT NOT NULL,  -- name of the parameter set the marks follow
    horse_no         INTEGER NOT NULL,
    win_share        REAL,           -- percent, 80 / win odds
    overall_share    REAL,           -- fraction of all quinella shares
    share_rank       INTEGER,
    pa_top3_sum      REAL,
    pa_all_sum       REAL,
    pa_over_one_rate REAL,
    suisho           INTEGER NOT NULL, -- ★
    tokusho          INTEGER NOT NULL, -- ☆
    kasen_rate       REAL,             -- 上位寡占率 of the race, percent
    PRIMARY KEY (race_key, announced, param_set, horse_no),
    FOREIGN KEY (race_key, announced) REFERENCES snapshots(race_key, announced)
);
CREATE TABLE IF NOT EXISTS analysis_pairs (
    race_key  TEXT NOT NULL,
    announced TEXT NOT NULL,
    param_set TEXT NOT NULL,
    horse_a   INTEGER NOT NULL,
    horse_b   INTEGER NOT NULL,
    pa_ratio  REAL NOT NULL,         -- divided in the lower runner's order
    PRIMARY KEY (race_key, announced, param_set, horse_a, horse_b)
);
CREATE INDEX IF NOT EXISTS races_by_date ON races(race_date, venue_code, race_no);
CREATE INDEX IF NOT EXISTS runners_by_finish ON runners(finish_pos, race_key);
CREATE INDEX IF NOT EXISTS payouts_by_type ON payouts(bet_type, payout_yen);
CREATE INDEX IF NOT EXISTS analysis_marks ON analysis(param_set, suisho, tokusho);
)sql";
}

namespace {

class Database
{
public:
    explicit Database(const fs::path& file)
    {
        if (sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            sqlite3_close(m_db);
            m_db = nullptr;
            throw Error("データベースを開けません: " + file.string() + " (" + message + ")");
        }
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~Database() { sqlite3_close(m_db); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() { return m_db; }
    void exec(const char* sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : "?";
            sqlite3_free(error);
            throw Error("データベースに書き込めません: " + message);
        }
    }
    [[noreturn]] void fail(const char* what)
    {
        throw Error(std::string("データベースに書き込めません（") + what +
                    "）: " + sqlite3_errmsg(m_db));
    }

private:
    sqlite3* m_db = nullptr;
};

class Statement
{
public:
    Statement(Database& db, const char* sql) : m_db(db)
    {
        if (sqlite3_prepare_v2(db.handle(), sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            db.fail("prepare");
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, const std::string& v)
    {
        sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, long long v)
    {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement& bind(int i, int v) { return bind(i, static_cast<long long>(v)); }
    Statement& bind(int i, double v)
    {
        sqlite3_bind_double(m_stmt, i, v);
        return *this;
    }
    template <class T> Statement& bind(int i, const std::optional<T>& v)
    {
        if (v)
            return bind(i, *v);
        sqlite3_bind_null(m_stmt, i);
        return *this;
    }
    // Runs the statement; true while it yields rows.
    bool step()
    {
        int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            m_db.fail("step");
        return false;
    }
    // Runs a statement without rows; returns the rows it changed.
    int run()
    {
        step();
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        return sqlite3_changes(sqlite3_db_handle(m_stmt));
    }
    std::string text(int column) const
    {
        const unsigned char* t = sqlite3_column_text(m_stmt, column);
        return t ? reinterpret_cast<const char*>(t) : "";
    }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

private:
    Database& m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

std::optional<int> positive(std::optional<int> v)
{
    return v && *v > 0 ? v : std::nullopt;
}

// Odds of a raw field: nullopt when cancelled or blank; 0 = no votes.
std::optional<double> oddsValue(std::string_view field, const char* what, int index, int pos)
{
    auto t = oddsTenths(field, what, index, pos);
    if (!t)
        return std::nullopt;
    return double(*t) / 10.0;
}

std::string announcedAt(const DayName& raceDay, const std::string& key)
{
    // Announcements of the day before carry its month and day; a December key for a
    // January race belongs to the year before.
    int month = std::stoi(key.substr(0, 2));
    int year = raceDay.year - (month > raceDay.month ? 1 : 0);
    return format("%04d-%s-%s %s:%s", year, key.substr(0, 2).c_str(), key.substr(2, 2).c_str(),
                  key.substr(4, 2).c_str(), key.substr(6, 2).c_str());
}

struct Statements
{
    explicit Statements(Database& db)
        : race(db, upsert("races", "race_key",
                          {"race_date", "venue_code", "venue", "meeting", "meeting_day", "race_no",
                           "race_name", "distance_m", "track_code", "grade_code", "post_time",
                           "registered", "data_kind"})
                       .c_str()),
          runner(db, upsert("runners", "race_key, horse_no",
                            {"bracket", "horse_name", "finish_pos", "final_odds", "popularity"})
                         .c_str()),
          payout(db, upsert("payouts", "race_key, bet_type, entry",
                            {"combination", "payout_yen", "popularity"})
                         .c_str()),
          known(db, "SELECT announced FROM snapshots WHERE race_key = ?"),
          analysed(db, "SELECT DISTINCT announced FROM analysis WHERE race_key = ? AND "
                       "param_set = ?"),
          snapshot(db, "INSERT INTO snapshots VALUES (?,?,?,?,?)"),
          win(db, "INSERT INTO odds_win VALUES (?,?,?,?,?)"),
          quinella(db, "INSERT INTO odds_quinella VALUES (?,?,?,?,?,?)"),
          analysis(db, "INSERT OR REPLACE INTO analysis VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          pair(db, "INSERT OR REPLACE INTO analysis_pairs VALUES (?,?,?,?,?,?)")
    {
    }
    // An insert that updates a row only where a value differs, so the count of
    // changes says what was new.
    static std::string upsert(const char* table, const char* key,
                              std::initializer_list<const char*> columns)
    {
        std::string marks = "?", set, differs;
        for (const char* c : columns) {
            marks += ",?";
            set += std::string(set.empty() ? "" : ", ") + c + " = excluded." + c;
            differs += std::string(differs.empty() ? "" : " OR ") + c + " IS NOT excluded." + c;
        }
        for (const char* k = key; *k; ++k)
            marks += *k == ',' ? ",?" : "";
        return std::string("INSERT INTO ") + table + " VALUES (" + marks + ") ON CONFLICT (" + key +
               ") DO UPDATE SET " + set + " WHERE " + differs;
    }
    Statement race, runner, payout, known, analysed, snapshot, win, quinella, analysis, pair;
};

void exportRaceCard(Statements& st, const ArchivedRace& race, ExportCounts& counts)
{
    const RaView ra(race.ra);
    const std::string& k = race.raceKey;
    st.race.bind(1, k)
        .bind(2, format("%04d-%02d-%02d", race.day.year, race.day.month, race.day.day))
        .bind(3, ra.venue())
        .bind(4, std::string(trimmed(VenueGroupName(ra.venue()))))
        .bind(5, parseInt(ra.meetingText()))
        .bind(6, parseInt(ra.meetingDayText()))
        .bind(7, ra.raceNo().value_or(0))
        .bind(8, ra.raceName())
        .bind(9, ra.distance())
        .bind(10, ra.track())
        .bind(11, ra.grade())
        .bind(12, race.postMinute >= 0
                      ? std::optional<std::string>(ra.postTime().substr(0, 2) + ":" +
                                                   ra.postTime().substr(2, 2))
                      : std::nullopt)
        .bind(13, race.registered)
        .bind(14, ra.dataKind());
    counts.races += st.race.run();
    for (const std::string& rec : race.se) {
        const SeView se(rec);
        auto horse = se.horseNo();
        if (se.isBlank() || !horse || *horse < 1 || *horse > 18)
            continue;
        auto odds = positive(se.winOddsTenths());
        st.runner.bind(1, k)
            .bind(2, *horse)
            .bind(3, se.bracket())
            .bind(4, se.horseName())
            .bind(5, positive(se.finishPos()))
            .bind(6, odds ? std::optional<double>(*odds / 10.0) : std::nullopt)
            .bind(7, positive(se.popularity()));
        counts.runners += st.runner.run();
    }
    if (!race.hasPayouts())
        return;
    const HrView hr(race.hr);
    auto add = [&](const char* type, int entry, const PayoutEntry& e, int comboLen) {
        auto yen = e.payoutYen();
        if (e.isBlank() || !yen || *yen <= 0 || !isDigits(e.combination))
            return;
        std::string combo = comboLen == 2
                                ? std::to_string(std::stoi(e.combination))
                                : std::to_string(std::stoi(e.combination.substr(0, 2))) + "-" +
                                      std::to_string(std::stoi(e.combination.substr(2, 2)));
        if (std::string_view(type) == "bracket_quinella")
            combo = e.combination.substr(0, 1) + "-" + e.combination.substr(1, 1);
        st.payout.bind(1, k).bind(2, std::string(type)).bind(3, entry).bind(4, combo).bind(5, *yen);
        st.payout.bind(6, parseInt(trimmed(e.popularity)));
        counts.payouts += st.payout.run();
    };
    for (int n = 1; n <= HrView::kWinEntries; ++n)
        add("win", n, hr.win(n), 2);
    for (int n = 1; n <= HrView::kPlaceEntries; ++n)
        add("place", n, hr.place(n), 2);
    for (int n = 1; n <= HrView::kBracketEntries; ++n)
        add("bracket_quinella", n, hr.bracket(n), 2);
    for (int n = 1; n <= HrView::kQuinellaEntries; ++n)
        add("quinella", n, hr.quinella(n), 4);
    for (int n = 1; n <= HrView::kWideEntries; ++n)
        add("wide", n, hr.wide(n), 4);
}

// The snapshot's odds rows (when `withOdds`) and its analysis under the options' set.
void exportSnapshot(Statements& st, const ArchivedRace& race, const RaceOddsSeries& series,
                    size_t k, const ExportOptions& options, ExportCounts& counts, bool withOdds)
{
    const TimePointRecords rec = series.at(k);
    const std::string& key = race.raceKey;
    // Read everything first: a snapshot that cannot be read is left out whole.
    std::vector<std::pair<int, std::optional<double>>> win;
    std::vector<std::pair<int, std::optional<double>>> pairs;
    if (withOdds && !rec.o1.empty()) {
        const O1View o1(rec.o1);
        for (int h = 1; h <= 18; ++h) {
            if (trimmed(o1.winOdds(h)).empty())
                continue;
            win.emplace_back(h, oddsValue(o1.winOdds(h), "単勝", h, 46 + 8 * (h - 1)));
        }
    }
    if (withOdds && !rec.o2.empty()) {
        const O2View o2(rec.o2);
        for (int p = 1; p <= 153; ++p) {
            if (trimmed(o2.quinellaOdds(p)).empty())
                continue;
            pairs.emplace_back(p, oddsValue(o2.quinellaOdds(p), "馬連", p, 45 + 13 * (p - 1)));
        }
    }
    OddsArrays odds;
    AnalysisState state;
    const bool analysed = series.oddsAt(k, odds);
    if (analysed)
        computeAnalysis(odds, options.params, state);

    if (withOdds) {
        st.snapshot.bind(1, key)
            .bind(2, rec.timeKey)
            .bind(3, announcedAt(race.day, rec.timeKey))
            .bind(4, rec.o1.empty() ? std::nullopt : winPoolYen(rec.o1))
            .bind(5, rec.o2.empty() ? std::nullopt : quinellaPoolYen(rec.o2));
        st.snapshot.run();
        ++counts.snapshots;
    }
    for (const auto& [h, v] : win) {
        st.win.bind(1, key).bind(2, rec.timeKey).bind(3, h).bind(4, v && *v > 0 ? v : std::nullopt);
        st.win.bind(5, v && *v == 0 ? 1 : 0);
        st.win.run();
        ++counts.oddsWin;
    }
    for (const auto& [p, v] : pairs) {
        const auto [a, b] = umarenPairHorses(p);
        st.quinella.bind(1, key).bind(2, rec.timeKey).bind(3, a).bind(4, b);
        st.quinella.bind(5, v && *v > 0 ? v : std::nullopt).bind(6, v && *v == 0 ? 1 : 0);
        st.quinella.run();
        ++counts.oddsQuinella;
    }
    if (!analysed)
        return;
    for (int h = 1; h <= 18; ++h) {
        const size_t i = static_cast<size_t>(h);
        if (state.ShareRank[i] == 0 && state.TanShare[i] < 0)
            continue;
        auto real = [](double v) { return v < 0 ? std::nullopt : std::optional<double>(v); };
        st.analysis.bind(1, key)
            .bind(2, rec.timeKey)
            .bind(3, options.paramSetName)
            .bind(4, h)
            .bind(5, real(state.TanShare[i]))
            .bind(6, state.ShareRank[i] > 0 ? real(state.OverallShare[i]) : std::nullopt)
            .bind(7, state.ShareRank[i] > 0 ? std::optional<int>(state.ShareRank[i]) : std::nullopt)
            .bind(8, state.PaTop3Sum[i])
            .bind(9, state.PaAllSum[i])
            .bind(10, real(state.PaOverOneRate[i]))
            .bind(11, int(state.SuishoMark[i]))
            .bind(12, int(state.TokushoMark[i]))
            .bind(13, state.KasenRate * 100);
        st.analysis.run();
        ++counts.analysis;
    }
    for (int i = 1; i < 18; ++i)
        for (int j = i + 1; j <= 18; ++j) {
            const size_t p = static_cast<size_t>(umarenPairNumber(i, j));
            if (!state.PairPick[p])
                continue;
            st.pair.bind(1, key).bind(2, rec.timeKey).bind(3, options.paramSetName).bind(4, i);
            st.pair.bind(5, j).bind(6, state.PairPaRatio[p]);
            st.pair.run();
        }
}

// An existing database is written only when it is one of ours of this version or older:
// a newer program's database would be turned back to this version, a foreign one with a
// `meta` table would get our rows. Throws Error before anything is written.
void checkExportDatabase(Database& db, const fs::path& file)
{
    auto single = [&](const char* sql) -> std::optional<std::string> {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt, nullptr) != SQLITE_OK)
            throw Error("データベースを読めません: " + file.string() + " (" +
                        sqlite3_errmsg(db.handle()) + ")");
        std::optional<std::string> value;
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            value = text ? reinterpret_cast<const char*>(text) : "";
        }
        sqlite3_finalize(stmt);
        return value;
    };
    if (!single("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'meta'"))
        return;
    const auto version = single("SELECT value FROM meta WHERE key = 'schema_version'");
    if (!version || version->empty() || !isDigits(*version))
        throw Error("Sorvantixの書き出したデータベースではありません（meta に schema_version "
                    "がありません）: " +
                    file.string());
    if (std::stol(version->substr(0, 9)) > kExportSchemaVersion)
        throw Error("新しい版のSorvantixが書き出したデータベースです（schema_version " + *version +
                    "）。このプログラムでは書き込めません: " + file.string());
}

} // namespace

ExportCounts exportToSqlite(const fs::path& appRoot, const fs::path& database,
                            const ExportOptions& options, const ExportProgress& progress,
                            const std::atomic<bool>* cancel)
{
    ExportCounts counts;
    // SQLite takes an empty name for a temporary database: the export would vanish.
    if (database.empty())
        throw Error("データベースのファイル名が空です。");
    const std::vector<DayName> days = archivedDays(appRoot, options.from, options.to);
    Database db(database);
    db.exec("PRAGMA foreign_keys = OFF");
    // Everything of the run or nothing: the journal undoes a killed run on next open.
    db.exec("BEGIN IMMEDIATE");
    try {
        checkExportDatabase(db, database);
        db.exec(exportSchemaSql());
        db.exec(("INSERT OR REPLACE INTO meta VALUES ('schema_version', '" +
                 std::to_string(kExportSchemaVersion) + "')")
                    .c_str());
        Statements st(db);
        int done = 0;
        for (const DayName& day : days) {
            if (cancel && cancel->load())
                throw Error("書き出しを中止しました。データベースは元のままです。");
            for (const ArchivedRace& race : archivedRaces(appRoot, day, &counts.warnings)) {
                exportRaceCard(st, race, counts);
                std::set<std::string> known;
                st.known.bind(1, race.raceKey);
                while (st.known.step())
                    known.insert(st.known.text(0));
                st.known.reset();
                // Snapshots exported under another parameter set get this set's analysis.
                std::set<std::string> analysed;
                st.analysed.bind(1, race.raceKey).bind(2, options.paramSetName);
                while (st.analysed.step())
                    analysed.insert(st.analysed.text(0));
                st.analysed.reset();
                try {
                    const RaceOddsSeries series = RaceOddsSeries::read(race);
                    if (!series.damage().empty())
                        counts.warnings.push_back(race.raceKey + ": " + series.damage());
                    for (size_t k = 0; k < series.size(); ++k) {
                        const bool stored = known.count(series.timeKeys()[k]) > 0;
                        if (stored && analysed.count(series.timeKeys()[k]))
                            continue;
                        try {
                            exportSnapshot(st, race, series, k, options, counts, !stored);
                        } catch (const Error& e) {
                            counts.warnings.push_back(race.raceKey + " " + series.timeKeys()[k] +
                                                      ": " + e.what());
                        }
                    }
                } catch (const Error& e) {
                    counts.warnings.push_back(race.raceKey + ": " + e.what());
                }
            }
            ++counts.days;
            if (progress)
                progress(++done, static_cast<int>(days.size()));
        }
        db.exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return counts;
}

std::string exportSummary(const std::filesystem::path& file, const ExportCounts& n)
{
    return format("書き出しました: %s\n%d日、新しい発表 %d（単勝 %lld 行、馬連 %lld "
                  "行、分析 %lld 行）、レース・出走馬・払戻の更新 %d 行。%s",
                  file.string().c_str(), n.days, n.snapshots, n.oddsWin, n.oddsQuinella, n.analysis,
                  n.races + n.runners + n.payouts,
                  n.warnings.empty() ? "" : ("\n注意: " + n.warnings.front()).c_str());
}

} // namespace sorvantix
