#include "core/study/race_board.h"

#include "core/analysis/analysis_computation.h"
#include "core/jvlink/replay_timeline.h"
#include "core/present/cell_colours.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>

namespace sorvantix {

int RaceBoard::raceCount() const
{
    int n = 0;
    for (const auto& v : venues)
        for (const auto& r : v.races)
            n += r ? 1 : 0;
    return n;
}

namespace {

std::string clockText(std::string_view hhmm)
{
    return hhmm.size() == 4 ? std::string(hhmm.substr(0, 2)) + ":" + std::string(hhmm.substr(2, 2))
                            : std::string();
}

std::string upsetOf(double kasenPercent)
{
    // As the analysis labels it.
    if (kasenPercent >= 60)
        return "小";
    if (kasenPercent > 40)
        return "中";
    return "大";
}

} // namespace

RaceBoard buildRaceBoard(const std::filesystem::path& appRoot, const DayName& day,
                         const SuishoParams& params)
{
    RaceBoard board;
    board.day = day;
    const std::vector<ArchivedRace> races = archivedRaces(appRoot, day, &board.warnings);
    int listIndex = 0;
    AnalysisState state;
    for (const ArchivedRace& race : races) {
        const RaView ra(race.ra);
        BoardCell cell;
        cell.raceKey = race.raceKey;
        cell.listIndex = listIndex++;
        cell.raceNo = ra.raceNo().value_or(0);
        if (race.postMinute >= 0)
            cell.postTime = clockText(ra.postTime());
        for (size_t h = 0; h < 18; ++h) {
            const SeView se(race.se[h]);
            auto horse = se.horseNo();
            auto pos = se.finishPos();
            if (horse && *horse >= 1 && *horse <= 18 && pos && *pos > 0)
                cell.finish[static_cast<size_t>(*horse)] = *pos;
        }
        try {
            const RaceOddsSeries series = RaceOddsSeries::read(race);
            if (series.empty()) {
                cell.problem = "オッズ未取得";
            } else {
                const size_t k = series.size() - 1;
                cell.latestTime = clockText(series.timeKeys()[k].substr(4, 4));
                cell.latestKey = series.timeKeys()[k];
                OddsArrays odds;
                std::string problem;
                if (!series.oddsAt(k, odds, &problem)) {
                    cell.problem = problem;
                } else {
                    state.reset();
                    computeAnalysis(odds, params, state);
                    cell.analysed = true;
                    cell.kasenPercent = state.KasenRate * 100;
                    cell.upset = cell.kasenPercent > 0 ? upsetOf(cell.kasenPercent) : "";
                    for (int h = 1; h <= 18; ++h) {
                        if (state.SuishoMark[static_cast<size_t>(h)])
                            cell.suisho.push_back(h);
                        if (state.TokushoMark[static_cast<size_t>(h)])
                            cell.tokusho.push_back(h);
                    }
                    for (int p = 1; p <= AnalysisState::kPairs; ++p)
                        cell.singularPairs += state.PairPick[static_cast<size_t>(p)] ? 1 : 0;
                }
            }
        } catch (const std::exception& e) {
            cell.problem = e.what();
        }
        const std::string venue = ra.venue();
        auto it = std::find_if(board.venues.begin(), board.venues.end(),
                               [&venue](const BoardVenue& v) { return v.venueCode == venue; });
        if (it == board.venues.end()) {
            BoardVenue v;
            v.venueCode = venue;
            v.name = std::string(trimmed(VenueGroupName(venue)));
            board.venues.push_back(std::move(v));
            it = board.venues.end() - 1;
        }
        if (cell.raceNo >= 1 && cell.raceNo <= 12)
            it->races[static_cast<size_t>(cell.raceNo - 1)] = std::move(cell);
        else
            board.warnings.push_back("レース番号が不正です: " + race.raceKey);
    }
    return board;
}

std::uint32_t upsetColour(const std::string& upset)
{
    if (upset == "大")
        return colours::LightPink;
    if (upset == "中")
        return colours::LightYellow;
    if (upset == "小")
        return 0xC8FFC8;
    return colours::White;
}

std::optional<std::uint32_t> boardFinishColour(const BoardCell& cell, int horse)
{
    if (horse < 1 || horse > 18)
        return std::nullopt;
    return finishPlaceColour(cell.finish[static_cast<size_t>(horse)]);
}

namespace {

std::string horses(const std::vector<int>& list)
{
    std::string out;
    for (int h : list)
        out += (out.empty() ? "" : ",") + std::to_string(h);
    return out.empty() ? "-" : out;
}

} // namespace

std::string raceBoardText(const RaceBoard& board)
{
    std::string out = "開催一覧 " + board.day.text() + "\n";
    for (const BoardVenue& v : board.venues) {
        out += "\n" + v.name + "\n";
        out += "R    発走   最新   波乱度 寡占率  ★                  ☆                  特異点\n";
        for (const auto& r : v.races) {
            if (!r)
                continue;
            const BoardCell& c = *r;
            std::string line = format("%2dR  %-5s  %-5s  ", c.raceNo, c.postTime.c_str(),
                                      c.latestTime.empty() ? "--:--" : c.latestTime.c_str());
            if (!c.analysed) {
                out += line + c.problem + "\n";
                continue;
            }
            // The upset texts are one full-width character: two columns.
            line += (c.upset.empty() ? std::string("  ") : c.upset) + "     " +
                    format("%5s%%  %-17s  %-17s  %d\n", fixed(c.kasenPercent, 0, 1).c_str(),
                           horses(c.suisho).c_str(), horses(c.tokusho).c_str(), c.singularPairs);
            out += line;
        }
    }
    for (const auto& w : board.warnings)
        out += w + "\n";
    return out;
}

BoardLiveness boardLiveness(const BoardCell& cell, const LocalDateTime& now, int nearMinutes,
                            int lateMinutes)
{
    BoardLiveness l;
    const auto latest = announcementMoment(cell.raceKey, cell.latestKey);
    if (latest)
        l.ageMinutes = static_cast<int>(std::max(0LL, latest->secondsUntil(now) / 60));
    const bool settled =
        std::any_of(cell.finish.begin(), cell.finish.end(), [](int place) { return place > 0; });
    const std::string post =
        cell.postTime.size() == 5
            ? cell.raceKey.substr(4, 4) + cell.postTime.substr(0, 2) + cell.postTime.substr(3, 2)
            : std::string();
    const auto postAt = announcementMoment(cell.raceKey, post);
    if (settled)
        l.phase = BoardPhase::Settled;
    else if (postAt && !(now < *postAt))
        l.phase = BoardPhase::Off;
    else
        l.phase = latest ? BoardPhase::Live : BoardPhase::Waiting;
    // Late: near post, and the latest announcement (if any) older than allowed.
    if (postAt && now < *postAt && !(now < postAt->addSeconds(-nearMinutes * 60LL)))
        l.late = !latest || latest->addSeconds(lateMinutes * 60LL) < now;
    return l;
}

} // namespace sorvantix
