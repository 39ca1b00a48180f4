#include "core/app/temp_dir.h"
#include "core/study/study_day.h"
#include "core/text/error.h"
#include "export/sqlite_export.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sorvantix {
namespace {

using test::TempDir;

long long count(const std::filesystem::path& db, const std::string& sql)
{
    sqlite3* h = nullptr;
    EXPECT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    long long n = -1;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(h);
    return n;
}

struct Tally
{
    long long races, snapshots, win, quinella, analysis, payouts;
    bool operator==(const Tally&) const = default;
};

Tally tally(const std::filesystem::path& db)
{
    return {
        count(db, "SELECT count(*) FROM races"),    count(db, "SELECT count(*) FROM snapshots"),
        count(db, "SELECT count(*) FROM odds_win"), count(db, "SELECT count(*) FROM odds_quinella"),
        count(db, "SELECT count(*) FROM analysis"), count(db, "SELECT count(*) FROM payouts")};
}

ExportOptions defaults()
{
    ExportOptions o;
    o.params = analysisDefaultParams();
    return o;
}

TEST(SqliteExport, ExportsTheStoredRacesAndAddsOnlyWhatIsNew)
{
    TempDir dir;
    test::storeReportDay(dir.path(), {{11, {{{"0106", 5200}}, {}}}});
    const auto db = dir.path() / "sorvantix.db";
    const ExportCounts first = exportToSqlite(dir.path(), db, defaults());
    EXPECT_EQ(first.races, 3);
    EXPECT_EQ(first.snapshots, 6); // two time points of three races
    const Tally t = tally(db);
    EXPECT_EQ(t.races, 3);
    EXPECT_EQ(t.snapshots, 6);
    // Ten runners: 10 win odds and 45 quinella odds per time point for races 1 and 11.
    // The four-runner race 3 before 2005 is analysed from its bracket odds, so its time
    // points are those of the win file alone.
    EXPECT_EQ(t.win, 2 * (10 + 4 + 10));
    EXPECT_EQ(t.quinella, 2 * (45 + 45));
    EXPECT_EQ(count(db, "SELECT payout_yen FROM payouts WHERE bet_type = 'quinella' AND "
                        "race_key = '2004051605020811' AND combination = '1-6'"),
              5200);
    EXPECT_EQ(count(db, "SELECT count(*) FROM analysis WHERE suisho = 1 AND announced = '05160920' "
                        "AND race_key = '2004051605020811'") > 0,
              true);
    EXPECT_EQ(count(db, "SELECT win_pool_yen IS NULL FROM snapshots LIMIT 1"), 0);

    // Again: nothing new.
    const ExportCounts second = exportToSqlite(dir.path(), db, defaults());
    EXPECT_EQ(second.snapshots, 0);
    EXPECT_EQ(second.races, 0);
    EXPECT_EQ(second.runners, 0);
    EXPECT_EQ(tally(db), t);

    // Another parameter set: the stored snapshots get its analysis, no odds twice.
    ExportOptions other = defaults();
    other.paramSetName = "本命";
    const ExportCounts fourth = exportToSqlite(dir.path(), db, other);
    EXPECT_EQ(fourth.snapshots, 0);
    EXPECT_EQ(fourth.analysis, first.analysis);
    EXPECT_EQ(tally(db).quinella, t.quinella);
    EXPECT_EQ(count(db, "SELECT count(DISTINCT param_set) FROM analysis"), 2);

    // Two later announcements of race 11: only they are added.
    test::storeStudyDay(dir.path(), test::markedTenths, test::flatTenths);
    const ExportCounts third = exportToSqlite(dir.path(), db, defaults());
    EXPECT_EQ(third.analysis, tally(db).analysis - t.analysis - fourth.analysis);
    EXPECT_EQ(third.snapshots, 2);
    EXPECT_EQ(tally(db).snapshots, 8);
    EXPECT_EQ(tally(db).quinella, t.quinella + 2 * 45);
}

TEST(SqliteExport, AKilledOrCancelledExportLeavesTheDatabaseAsItWas)
{
    TempDir dir;
    test::storeReportDay(dir.path(), {});
    // A second day, so the export can be stopped between them.
    TempDir other;
    test::storeStudyDay(other.path(), test::markedTenths, test::flatTenths);
    const auto db = dir.path() / "sorvantix.db";
    ExportOptions firstDay = defaults();
    exportToSqlite(dir.path(), db, firstDay);
    const Tally before = tally(db);
    std::filesystem::copy(other.path() / "Data", dir.path() / "Data",
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);

    // Killed in the middle of its transaction.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            exportToSqlite(dir.path(), db, defaults(),
                           [](int, int) { ::kill(::getpid(), SIGKILL); });
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(tally(db), before);

    // Cancelled: an error, and nothing of the run kept.
    std::atomic<bool> cancel{true};
    EXPECT_THROW(exportToSqlite(dir.path(), db, defaults(), {}, &cancel), Error);
    EXPECT_EQ(tally(db), before);

    // The next run completes what the killed one began.
    EXPECT_EQ(exportToSqlite(dir.path(), db, defaults()).snapshots, 2);
}

TEST(SqliteExport, AnUnwritableDatabaseIsAnError)
{
    TempDir dir;
    test::storeReportDay(dir.path(), {});
    EXPECT_THROW(exportToSqlite(dir.path(), dir.path() / "no" / "such" / "x.db", defaults()),
                 Error);
}

TEST(ExportSummary, SaysTheFileTheCountsAndTheFirstWarning)
{
    ExportCounts n;
    n.days = 2;
    n.snapshots = 10;
    n.oddsWin = 100;
    n.oddsQuinella = 200;
    n.analysis = 300;
    n.races = 1;
    n.runners = 2;
    n.payouts = 3;
    EXPECT_EQ(exportSummary("/tmp/out.db", n),
              "書き出しました: /tmp/out.db\n2日、新しい発表 10（単勝 100 行、馬連 200 行、分析 300 "
              "行）、レース・出走馬・払戻の更新 6 行。");
    n.warnings = {"一つ目", "二つ目"};
    const std::string withWarning = exportSummary("/tmp/out.db", n);
    EXPECT_NE(withWarning.find("\n注意: 一つ目"), std::string::npos);
    EXPECT_EQ(withWarning.find("二つ目"), std::string::npos);
}

} // namespace
} // namespace sorvantix
