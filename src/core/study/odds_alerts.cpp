#include "core/study/odds_alerts.h"

#include "core/analysis/analysis_computation.h"
#include "core/store/racing_codes.h"
#include "core/text/cp932.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace sorvantix {

namespace fs = std::filesystem;

std::string OddsAlert::text() const
{
    std::string head = raceText;
    if (timeKey.size() == 8)
        head += " " + timeKey.substr(4, 2) + ":" + timeKey.substr(6, 2);
    const int p = umarenPairNumber(horse, partner);
    switch (kind) {
    case Kind::SingularPair:
        return head + " 特異点 " + UmarenPairText(p) + format("（PA比 %.3f）", paRatio);
    case Kind::Tokusho:
        return head + format(" ☆ %d番", horse);
    case Kind::PaLevel:
        return head + " PA比 " + UmarenPairText(p) + format(" %.3f", paRatio);
    case Kind::WinDrop:
    case Kind::QuinellaDrop: {
        const double fall = oddsBefore > 0 ? (oddsBefore - oddsAfter) / oddsBefore * 100 : 0;
        const std::string what =
            kind == Kind::WinDrop ? format(" 単勝 %d番", horse) : " 馬連 " + UmarenPairText(p);
        return head + what + format(" %.1f→%.1f（-%.0f%%）", oddsBefore, oddsAfter, fall);
    }
    }
    return head;
}

int DropLevels::band(double before) const
{
    return before < bandEdges[0] ? 0 : before < bandEdges[1] ? 1 : 2;
}

namespace {

// A fall worth saying: both odds real, and the fall past its band's share and the floor.
bool fellSharply(double before, double after, double noVotes, const DropLevels& levels)
{
    if (before <= 0 || after <= 0 || before >= noVotes || after >= noVotes)
        return false;
    // Odds come in tenths: a fall of exactly the floor or the share counts, whatever
    // the binary rounding of the difference.
    constexpr double kSlack = 1e-9;
    const double fall = before - after;
    return fall + kSlack >= levels.floor &&
           fall * 100 + kSlack >= levels.percent[levels.band(before)] * before;
}

} // namespace

std::vector<OddsAlert> compareOdds(const OddsArrays& before, const OddsArrays& after,
                                   const AlertSettings& settings)
{
    std::vector<OddsAlert> alerts;
    if (!settings.oddsDrop)
        return alerts;
    auto check = [&](OddsAlert::Kind kind, int horse, int partner, double was, double now,
                     double noVotes, const DropLevels& levels) {
        if (!fellSharply(was, now, noVotes, levels))
            return;
        OddsAlert a;
        a.kind = kind;
        a.horse = horse;
        a.partner = partner;
        a.oddsBefore = was;
        a.oddsAfter = now;
        alerts.push_back(a);
    };
    for (int h = 1; h <= OddsArrays::kHorses; ++h)
        check(OddsAlert::Kind::WinDrop, h, 0, before.TanOdds[static_cast<size_t>(h)],
              after.TanOdds[static_cast<size_t>(h)], 999.9, settings.winDrop);
    for (int i = 1; i < OddsArrays::kHorses; ++i) {
        for (int j = i + 1; j <= OddsArrays::kHorses; ++j) {
            const size_t p = static_cast<size_t>(umarenPairNumber(i, j));
            // 9999.9 and 99999.9 both mean no votes in a quinella file.
            check(OddsAlert::Kind::QuinellaDrop, i, j, before.UmarenOdds[p], after.UmarenOdds[p],
                  9999.9, settings.quinellaDrop);
        }
    }
    return alerts;
}

std::vector<OddsAlert> compareAnalyses(const AnalysisState& before, const AnalysisState& after,
                                       const AlertSettings& settings)
{
    std::vector<OddsAlert> alerts;
    for (int i = 1; i < 18; ++i) {
        for (int j = i + 1; j <= 18; ++j) {
            const size_t p = static_cast<size_t>(umarenPairNumber(i, j));
            // The larger of the pair's two readings, as the PA table shows both.
            const double now = std::max(after.PairPaRatio[p], after.PairPaRatioRev[p]);
            const double was = std::max(before.PairPaRatio[p], before.PairPaRatioRev[p]);
            if (settings.singularPair && after.PairPick[p] && !before.PairPick[p])
                alerts.push_back({OddsAlert::Kind::SingularPair, "", "", "", i, j, now});
            if (settings.paLevel > 0 && now >= settings.paLevel && was < settings.paLevel)
                alerts.push_back({OddsAlert::Kind::PaLevel, "", "", "", i, j, now});
        }
    }
    if (settings.tokusho) {
        for (int h = 1; h <= 18; ++h)
            if (after.TokushoMark[static_cast<size_t>(h)] &&
                !before.TokushoMark[static_cast<size_t>(h)])
                alerts.push_back({OddsAlert::Kind::Tokusho, "", "", "", h, 0, 0});
    }
    return alerts;
}

std::vector<OddsAlert> seriesAlerts(const ArchivedRace& race, const RaceOddsSeries& series,
                                    size_t firstNew, const SuishoParams& params,
                                    const AlertSettings& settings)
{
    std::vector<OddsAlert> alerts;
    if (series.size() < 2)
        return alerts;
    // Nothing known before (the race's first fetch of the day): the series so far is
    // history, and only its newest time point is news.
    size_t k = firstNew == 0 ? series.size() - 1 : firstNew;
    AnalysisState before, after;
    OddsArrays odds, oddsBefore;
    bool haveBefore = series.oddsAt(k - 1, oddsBefore);
    if (haveBefore)
        computeAnalysis(oddsBefore, params, before);
    const std::string text = race.listText();
    for (; k < series.size(); ++k) {
        after.reset();
        if (!series.oddsAt(k, odds)) {
            haveBefore = false;
            continue;
        }
        computeAnalysis(odds, params, after);
        if (haveBefore) {
            std::vector<OddsAlert> found = compareAnalyses(before, after, settings);
            std::vector<OddsAlert> drops = compareOdds(oddsBefore, odds, settings);
            found.insert(found.end(), drops.begin(), drops.end());
            for (OddsAlert& a : found) {
                a.raceKey = race.raceKey;
                a.raceText = text;
                a.timeKey = series.timeKeys()[k];
                alerts.push_back(std::move(a));
            }
        }
        std::swap(before, after);
        oddsBefore = odds;
        haveBefore = true;
    }
    return alerts;
}

fs::path alertLogFile(const fs::path& appRoot, const DayName& day)
{
    return appRoot / "Alert" / (day.text() + ".txt");
}

void appendAlertLog(const fs::path& appRoot, const DayName& day,
                    const std::vector<std::string>& lines)
{
    if (lines.empty())
        return;
    const fs::path file = alertLogFile(appRoot, day);
    WriteLock lock; // from the read to the write: another program may append too
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    // A log only grows: the new lines go at the end of a whole file (one ending in its
    // line end); a new or cut-off log is written whole.
    std::string tail;
    if (fs::exists(file, ec)) {
        std::ifstream in(file, std::ios::binary | std::ios::ate);
        char last = '\n';
        if (in && in.tellg() > 0) {
            in.seekg(-1, std::ios::end);
            in.get(last);
        }
        if (in && last == '\n') {
            for (const auto& line : lines)
                tail += toCp932(line) + "\r\n";
            appendFileDurable(file, tail);
            return;
        }
    }
    std::vector<std::string> all;
    if (fs::exists(file, ec))
        all = readLinesText(file);
    all.insert(all.end(), lines.begin(), lines.end());
    writeLinesText(file, all);
}

AlertAnnouncement alertAnnouncement(const std::vector<OddsAlert>& alerts)
{
    AlertAnnouncement a;
    if (alerts.empty())
        return a;
    for (size_t i = 0; i < alerts.size() && i < 5; ++i)
        a.body += (i ? "\n" : "") + alerts[i].text();
    if (alerts.size() > 5)
        a.body += format("\nほか %zu件（アラートログ）", alerts.size() - 5);
    a.statusLine = format("アラート %zu件: ", alerts.size()) + alerts.back().text();
    return a;
}

} // namespace sorvantix
