#include "core/analysis/analysis_computation.h"
#include "core/analysis/suisho_params.h"
#include "core/app/settings_keys.h"
#include "core/app/startup.h"
#include "core/app/workbench.h"
#include "core/odds/odds_files.h"
#include "core/odds/time_points.h"
#include "core/store/racing_codes.h"
#include "core/text/cp932.h"
#include "core/text/day_name.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>

// The Workbench's day, race and time-point selection and the analysis run.

namespace sorvantix {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNoOddsNotice = "当レースはオッズが未取得です。";

} // namespace

Outcome Workbench::FormCreate()
{
    return m_boundary.run("FormCreate", [&] {
        prepareAppFolder(m_appDir, m_errorLog);
        return MakeDataListBtnClick();
    });
}

Outcome Workbench::MakeDataListBtnClick()
{
    return m_boundary.run("MakeDataListBtnClick", [&] {
        std::vector<std::string> names;
        fs::path data = m_appDir.dataDir();
        if (fs::is_directory(data)) {
            for (const auto& entry : fs::directory_iterator(data)) {
                if (!entry.is_regular_file() || entry.path().extension() != ".jvRA")
                    continue;
                // Only files named by a day are days: a stray notes.jvRA is not.
                auto day = DayName::parse(entry.path().stem().string());
                if (day && day->text() == entry.path().stem().string())
                    names.push_back(day->text());
            }
        }
        std::sort(names.begin(), names.end());
        m_state.DateCombo.clear();
        m_state.DatList.clear();
        m_state.TimeCombo.clear();
        m_state.DateComboIndex = -1;
        m_state.DatListIndex = -1;
        m_state.TimeComboIndex = -1;
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            m_state.DateCombo.push_back(*it);
        return Outcome::done();
    });
}

Outcome Workbench::DateComboChange(int index)
{
    return m_boundary.run("DateComboChange", [&] { return loadDayAt(index); });
}

Outcome Workbench::loadDayAt(int index)
{
    if (index < 0 || index >= static_cast<int>(m_state.DateCombo.size()))
        return Outcome::nothingToDo();
    WorkbenchState& s = m_state;
    s.DateComboIndex = index;
    const std::string& day = s.DateCombo[static_cast<size_t>(index)];
    auto dayName = DayName::parse(day);
    s.Since2005 = dayName && dayName->year >= 2005;
    s.ShowAnalysisPanel = true;
    s.RaFilePath = m_appDir.dataDir() / (day + ".jvRA");
    s.HrFilePath = m_appDir.dataDir() / (day + ".jvHR");
    m_auto.armResultsTimer(false, m_auto.controls().AutoResultIntervalMinutes);
    s.DatList.clear();
    s.DatListIndex = -1;
    s.TimeCombo.clear();
    s.TimeComboIndex = -1;
    s.Panel3Visible = false;
    s.dayWarnings.clear();
    // Whatever happens below, no race of the previous day stays behind.
    s.store.clearRecords();
    m_batchAnalysed.clear();

    Outcome outcome = Outcome::done();
    if (dayName && fs::exists(s.RaFilePath)) {
        DayLoad load = loadDay(m_appDir.root(), *dayName, s.store);
        s.store = std::move(load.store);
        s.DatList = std::move(load.items);
        s.dayWarnings = load.warnings;
        if (!load.warnings.empty()) {
            std::string text;
            for (const auto& w : load.warnings)
                text += (text.empty() ? "" : "\n") + w;
            setStatus(text);
        }
    } else {
        const std::string text = "データがありません: " + s.RaFilePath.string();
        setStatus(text);
        outcome = Outcome::failure(text);
    }
    s.UpDown1Max = static_cast<int>(s.DatList.size()) - 1;
    s.UpDown1Position = 0;

    // A slot without a positive post time gets a blank time, never one left over
    // from an earlier day.
    int lead = toIntDef(readSetting(m_ini, settings::kAutoOzGet), 0);
    for (int slot = 0; slot < kRaceSlots; ++slot)
        s.store.AutoOddsTime[static_cast<size_t>(slot)] =
            autoOddsTimeOf(s.store.RaRecs[static_cast<size_t>(slot)], lead);

    LocalDateTime now = m_clock.now();
    m_auto.armResultsTimer(day == DayName{now.year, now.month, now.day}.text(),
                           readSetting(m_ini, settings::kAutoRdataGet));

    if (s.DatList.empty())
        return outcome;
    int target = std::min(s.LastRaceIndex, static_cast<int>(s.DatList.size()) - 1);
    // The day is loaded whether or not its race can be shown.
    showRace(target);
    return outcome;
}

Outcome Workbench::DatListClick(int index)
{
    return m_boundary.run("DatListClick", [&] { return showRace(index); });
}

Outcome Workbench::showRace(int index)
{
    WorkbenchState& s = m_state;
    if (index < 0 || index >= static_cast<int>(s.DatList.size()))
        return Outcome::nothingToDo();
    s.Panel3Visible = false;
    s.DatListIndex = index;
    s.SelectedRace = s.DatList[static_cast<size_t>(index)].slot;
    // No chart of the previous race survives a selection, even one without odds.
    s.chart.clear();
    const RaView ra(selectedRa());

    std::optional<RaceKey> key = RaceKey::tryParse(ra.raceKeyText());
    s.O1FilePath = key ? oddsFilePath(m_appDir.root(), key->text(), kO1Extension) : fs::path();
    s.O2FilePath = key ? oddsFilePath(m_appDir.root(), key->text(), kO2Extension) : fs::path();
    s.title = raceTitle(selectedRa());

    if (!key || !fs::exists(s.O1FilePath)) {
        m_person.beep();
        s.Panel1Caption = kNoOddsNotice;
        return Outcome::failure(kNoOddsNotice);
    }
    s.LastRaceIndex = index;
    s.TimeCombo.clear();
    s.TimeComboIndex = -1;
    s.UseUmaren = ra.registered() > 8 || s.Since2005;
    // Kept for the loading of the chosen time point only: a later load reads anew.
    struct ForgetSelectionOdds
    {
        std::optional<OddsFile>& odds;
        ~ForgetSelectionOdds() { odds.reset(); }
    } forget{m_selectionOdds};
    Outcome outcome = listTimePoints(*key);
    if (outcome.failed())
        return outcome;
    outcome = loadTimePoint();
    // The batch shows none of its races' charts: the race it selects at the end gets one.
    if (m_inBatch)
        s.chart.clear();
    else
        fillChart();
    s.UpDown1Position = index;
    return outcome;
}

// Reads the race's series (the quinella file when the quinella odds are used, else the
// win-odds file), lists its time points and chooses the one nearest the default time.
Outcome Workbench::listTimePoints(const RaceKey& key)
{
    WorkbenchState& s = m_state;
    if (s.UseUmaren && !fs::exists(s.O2FilePath)) {
        m_person.beep();
        s.Panel1Caption = kNoOddsNotice;
        return Outcome::failure(kNoOddsNotice);
    }
    const fs::path& file = s.UseUmaren ? s.O2FilePath : s.O1FilePath;
    std::vector<std::string>& lines = s.UseUmaren ? s.O2Lines : s.O1Lines;
    m_selectionOdds = OddsFile::read(file, s.UseUmaren ? kO2RecordSize : kO1RecordSize);
    lines = m_selectionOdds->lines();
    if (!m_selectionOdds->damage().empty())
        setStatus(m_selectionOdds->damage());
    if (const size_t dropped = dropOtherRaceLines(lines, key.text()); dropped > 0)
        setStatus(
            format("%s: 他のレースの発表%zu件を除きました", file.filename().c_str(), dropped));
    s.TimeCombo = timeListItems(lines);
    if (s.TimeCombo.empty()) {
        // An empty series has no time point: analysing it would use whatever the slots
        // held before.
        m_person.beep();
        s.Panel1Caption = kNoOddsNotice;
        return Outcome::failure(std::string(kNoOddsNotice) + "（" + file.filename().string() +
                                " に発表がありません）");
    }
    if (s.LatestTime && !m_atDefaultTime) {
        s.TimeComboIndex = static_cast<int>(lines.size()) - 1;
        return Outcome::done();
    }
    const int target = defaultTimeMinute(readSetting(m_ini, settings::kFirstTimeInRaceList));
    s.TimeComboIndex = defaultTimePoint(lines, key.text().substr(4, 4), target);
    return Outcome::done();
}

void Workbench::fillChart()
{
    WorkbenchState& s = m_state;
    const std::vector<std::string>& lines = s.UseUmaren ? s.O2Lines : s.O1Lines;
    const int runners = RaView(selectedRa()).registered();
    s.chart.clear();
    s.chart.CgraphIniBtnClick(lines.empty() ? std::string_view() : lines.back(), s.UseUmaren);
    s.chart.fillHorseList(runners);
    s.chart.RadioGroup1Click(0, chartOdds(), runners);
    if (s.chart.damagedFields() > 0)
        setStatus(format("PA比ｸﾞﾗﾌ: 読めないオッズ欄%d件を除きました", s.chart.damagedFields()));
}

Outcome Workbench::RadioGroup1Click(int index)
{
    return m_boundary.run("RadioGroup1Click", [&] {
        const auto& items = m_state.chart.view().RadioGroup1;
        if (m_state.DatListIndex < 0 || index < 0 || index >= static_cast<int>(items.size()))
            return Outcome::nothingToDo();
        m_state.chart.RadioGroup1Click(index, chartOdds(), RaView(selectedRa()).registered());
        return Outcome::done();
    });
}

Outcome Workbench::RadioGroup2Click(int item)
{
    return m_boundary.run("RadioGroup2Click", [&] {
        if (item != 0 && item != 1)
            return Outcome::nothingToDo();
        m_state.chart.setAxis(item == 1 ? ChartAxis::Linear : ChartAxis::Log);
        writeSetting(m_ini, settings::kGraphAxis, item);
        return Outcome::done();
    });
}

Outcome Workbench::RadioGroup3Click(int item)
{
    return m_boundary.run("RadioGroup3Click", [&] {
        if (item != 0 && item != 1)
            return Outcome::nothingToDo();
        m_state.chart.setMarkers(item == 0);
        writeSetting(m_ini, settings::kGraphMarker, item);
        return Outcome::done();
    });
}

Outcome Workbench::UpDown1Click(int position)
{
    if (m_state.DatList.size() < 2)
        return m_boundary.run("UpDown1Click", [] { return Outcome::nothingToDo(); });
    return DatListClick(position);
}

Outcome Workbench::TimeComboChange(int index)
{
    return m_boundary.run("TimeComboChange", [&] {
        if (index < 0 || index >= static_cast<int>(m_state.TimeCombo.size()))
            return Outcome::nothingToDo();
        m_state.TimeComboIndex = index;
        return loadTimePoint();
    });
}

Outcome Workbench::TimeChoiceClick(int item)
{
    return m_boundary.run("TimeChoiceClick", [&] {
        if (item != 0 && item != 1)
            return Outcome::nothingToDo();
        m_state.LatestTime = item == 1;
        writeSetting(m_ini, settings::kTimeChoice, item);
        if (m_state.DatListIndex < 0 || !m_state.Panel3Visible)
            return Outcome::done();
        return showRace(m_state.DatListIndex);
    });
}

Outcome Workbench::showRaceAtTime(int index, std::string_view hhmm)
{
    return m_boundary.run("showRaceAtTime", [&] {
        Outcome shown = showRace(index);
        if (shown.failed() || hhmm.empty())
            return shown;
        const auto& items = m_state.TimeCombo;
        for (int i = static_cast<int>(items.size()) - 1; i >= 0; --i) {
            const std::string& item = items[static_cast<size_t>(i)];
            if (item.size() >= 11 && std::string_view(item).substr(6, 5) == hhmm) {
                if (i == m_state.TimeComboIndex)
                    return shown;
                m_state.TimeComboIndex = i;
                return loadTimePoint();
            }
        }
        return shown;
    });
}

Outcome Workbench::ReadOddsBtnClick()
{
    return m_boundary.run("ReadOddsBtnClick", [&] { return loadTimePoint(); });
}

Outcome Workbench::loadTimePoint()
{
    WorkbenchState& s = m_state;
    if (s.DatList.empty())
        return Outcome::nothingToDo();
    // What the last time point said of its win odds is not this one's.
    if (!m_timePointNotice.empty() && s.DLlabel == m_timePointNotice)
        setStatus("");
    m_timePointNotice.clear();
    size_t r = static_cast<size_t>(s.SelectedRace);
    const RaView ra(selectedRa());
    std::optional<RaceKey> raceKey = RaceKey::tryParse(ra.raceKeyText());
    if (!raceKey)
        throw Error("レースキーが不正です: \"" + fromCp932(ra.raceKeyText()) + "\"");
    const std::string key = raceKey->text();
    fs::path o1File = oddsFilePath(m_appDir.root(), key, kO1Extension);
    fs::path o2File = oddsFilePath(m_appDir.root(), key, kO2Extension);
    std::string item =
        s.TimeComboIndex >= 0 && s.TimeComboIndex < static_cast<int>(s.TimeCombo.size())
            ? s.TimeCombo[static_cast<size_t>(s.TimeComboIndex)]
            : std::string();
    std::string timeKey = timeKeyOfItem(item);

    // The file the race selection has just read exists; any other is looked up once.
    auto exists = [&](const fs::path& file) {
        return (m_selectionOdds && m_selectionOdds->path() == file) || fs::exists(file);
    };
    if (!exists(o1File))
        return m_boundary.fail("該当レースの単複枠オッズが見つかりません。");
    const bool o2Exists = exists(o2File);
    // A record found at the chosen time must be this race's own.
    auto otherRace = [&](const std::optional<std::string>& rec) {
        return rec && RecordView(*rec).raceKeyText() != key;
    };
    // The file the race selection has just listed is not read again.
    std::optional<OddsFile> read1, read2;
    auto oddsFile = [&](const fs::path& file, int size,
                        std::optional<OddsFile>& storage) -> const OddsFile& {
        if (m_selectionOdds && m_selectionOdds->path() == file)
            return *m_selectionOdds;
        return storage.emplace(OddsFile::read(file, size));
    };
    const OddsFile& o1 = oddsFile(o1File, kO1RecordSize, read1);
    auto o1Rec = o1.find(timeKey);
    auto o2Rec = o2Exists ? oddsFile(o2File, kO2RecordSize, read2).find(timeKey)
                          : std::optional<std::string>();
    for (const auto& [rec, file] : {std::pair{&o1Rec, &o1File}, std::pair{&o2Rec, &o2File}}) {
        if (otherRace(*rec)) {
            s.Panel3Visible = false;
            return m_boundary.fail(
                "オッズファイルに他のレースの発表があります: " + file->filename().string() + "（" +
                fromCp932(RecordView(**rec).raceKeyText()) + "）");
        }
    }
    if (auto rec = o1Rec) {
        s.store.O1Recs[r] = *rec;
    } else if (!o1.hasAnnouncements()) {
        // An empty win-odds file is no time point, as a missing one is none.
        s.Panel3Visible = false;
        return m_boundary.fail("該当レースの単複枠オッズが見つかりません。（" +
                               o1File.filename().string() + " に発表がありません）");
    } else if (s.UseUmaren && timeKey.size() == 8) {
        // The time list came from the quinella file: take the win odds announced last
        // before the chosen time, never whatever the slot held before.
        WinOddsFallback fallback = winOddsAtOrBefore(o1, timeKey, item);
        s.store.O1Recs[r] = std::move(fallback.record);
        setStatus(fallback.notice);
        m_timePointNotice = fallback.notice;
    }
    if (o2Exists) {
        if (auto rec = o2Rec) {
            s.store.O2Recs[r] = *rec;
        } else if (s.UseUmaren && timeKey.size() == 8) {
            // A damaged quinella line at the chosen time: never keep another time's
            // quinella odds in the slot, which would mix two announcements.
            s.store.O2Recs[r] = std::string(kO2RecordSize, ' ');
            s.Panel3Visible = false; // what it shows is another time's analysis
            return m_boundary.fail("馬連オッズを読めません: レース " + key + " 時刻 " + item +
                                   "（" + o2File.filename().string() + " の該当行が壊れています）");
        }
    } else if (s.UseUmaren) {
        return m_boundary.fail("該当レースの馬連オッズが見つかりません。");
    }
    return analysisRun(key, item);
}

Outcome Workbench::analysisRun(const std::string& key, const std::string& item)
{
    WorkbenchState& s = m_state;
    size_t r = static_cast<size_t>(s.SelectedRace);
    const RaView ra(selectedRa());
    ClearBtnClick();
    seiBtnClick();

    s.StaticText1 = fromCp932(ra.yearText()) + "年" + key.substr(4, 2) + "月" + key.substr(6, 2) +
                    "日" + VenueShortName(key.substr(8, 2)) + PadNumber(key.substr(10, 2)) + "回" +
                    PadNumber(key.substr(12, 2)) + "日" + PadNumber(key.substr(14, 2)) + "R  " +
                    format("%2d頭", ra.registered());
    const OddsView o2(s.store.O2Recs[r]);
    s.BorderLabel4 = o2.announceHour() + ":" + o2.announceMinute();

    try {
        fillOddsArrays(s.store.O1Recs[r], s.store.O2Recs[r], ra.registered() > 8 || s.Since2005,
                       s.odds);
    } catch (const Error& e) {
        // The state stays reset: no analysis on half-filled arrays.
        throw Error("オッズを読み込めません: レース " + key + " 時刻 " + item + ": " + e.what());
    }
    Outcome computed = CalcBtnClick();
    if (computed.failed())
        return computed;
    Outcome shown = HyojiBtnClick();
    if (shown.failed())
        return shown;
    if (s.ShowAnalysisPanel)
        s.Panel3Visible = true;
    return Outcome::done();
}

Outcome Workbench::ClearBtnClick()
{
    return m_boundary.run("ClearBtnClick", [&] {
        m_state.display.ClearBtnClick(selectedRa(), m_state.analysis, m_state.odds,
                                      m_state.results);
        return Outcome::done();
    });
}

Outcome Workbench::seiBtnClick()
{
    return m_boundary.run("seiBtnClick", [&] {
        const auto& se = m_state.store.SeRecs.at(static_cast<size_t>(m_state.SelectedRace));
        m_state.display.seiBtnClick(
            se, m_state.store.HrRecs.at(static_cast<size_t>(m_state.SelectedRace)),
            m_state.results);
        return Outcome::done();
    });
}

Outcome Workbench::CalcBtnClick()
{
    return m_boundary.run("CalcBtnClick", [&] {
        int setId = readSetting(m_ini, settings::kSetID);
        ActiveParams active = loadActiveParams(setId, m_appDir.userSetFile());
        if (active.warning)
            setStatus(*active.warning);
        computeAnalysis(m_state.odds, active.params, m_state.analysis);
        return Outcome::done();
    });
}

Outcome Workbench::HyojiBtnClick()
{
    return m_boundary.run("HyojiBtnClick", [&] {
        WorkbenchState& s = m_state;
        // The batch shows only the race it selects at the end: the others record their
        // recommended horses and leave the grids as the reset left them.
        if (m_inBatch) {
            const std::string notice =
                recordRecommendedHorses(selectedRa(), s.analysis, s.odds, m_appDir.suishoDir());
            if (!notice.empty())
                setStatus(notice);
            return Outcome::done();
        }
        std::string notice = s.display.HyojiBtnClick(selectedRa(), s.analysis, s.odds, s.results,
                                                     m_appDir.suishoDir());
        sortAnalysisTable(s.display.StringGrid1, s.pressedSort);
        if (!notice.empty())
            setStatus(notice);
        return Outcome::done();
    });
}

} // namespace sorvantix
