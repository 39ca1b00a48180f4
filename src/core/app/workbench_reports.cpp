#include "core/app/settings_keys.h"
#include "core/app/workbench.h"
#include "core/odds/odds_files.h"
#include "core/present/clipboard_text.h"
#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"

#include <algorithm>
#include <span>

// The Workbench's reports: the batch, the hit report, the printed page, the sort, the
// copy text and the lists the programs print.

namespace sorvantix {

namespace fs = std::filesystem;

Outcome Workbench::M1Click()
{
    return m_boundary.run("M1Click", [&] {
        WorkbenchState& s = m_state;
        std::string day =
            s.DateComboIndex >= 0 ? s.DateCombo[static_cast<size_t>(s.DateComboIndex)] : "";
        if (trimmed(day).empty())
            return m_boundary.fail("データを読み込んでください。");
        const std::optional<ShownRace> shown = shownRace();
        s.ShowAnalysisPanel = false;
        int failed = 0;
        const int races = static_cast<int>(s.DatList.size());
        m_batchAnalysed.assign(static_cast<size_t>(races), false);
        {
            struct BatchFlags
            {
                bool& batch;
                bool& defaultTime;
                ~BatchFlags() { batch = defaultTime = false; }
            } flags{m_inBatch = true, m_atDefaultTime = true};
            for (int i = 0; i < races; ++i) {
                const bool analysed = DatListClick(i).isDone();
                m_batchAnalysed[static_cast<size_t>(i)] = analysed;
                failed += analysed ? 0 : 1;
            }
        }
        s.ShowAnalysisPanel = true;
        DatListClick(0);
        // Then the person is put back where they were.
        showAgain(shown);
        if (races > 0 && failed == races)
            return Outcome::failure(format("%dレースのどれも分析できませんでした", races));
        return Outcome::done();
    });
}

Outcome Workbench::TekiAnaBtnClick(TekiButton sender)
{
    return m_boundary.run("TekiAnaBtnClick", [&] {
        WorkbenchState& s = m_state;
        m_hitRun = {};
        if (s.DateComboIndex < 0 || s.DatList.empty())
            return Outcome::nothingToDo("データを読み込んでください。");
        const fs::path dir = m_appDir.hpUploadDir();
        const fs::path logFile = hitLogFile(dir);
        // A recommended-horse file that cannot be read or written would drop its venue's
        // races from the page: nothing is written then.
        std::vector<std::string> listed;
        for (const auto& item : s.DatList)
            listed.push_back(s.store.RaRecs.at(static_cast<size_t>(item.slot)));
        requireUsableSuishoFiles(m_appDir.suishoDir(), listed);
        // One run holds the folder: the log is read and written back whole.
        WriteLock lock;
        const std::optional<ShownRace> shown = shownRace();
        HitLines lines;
        lines.page.push_back(toCp932(kHitPageTitle));
        const std::vector<std::string> storedLog = loadHitLog(logFile);
        {
            struct DefaultTime
            {
                bool& on;
                ~DefaultTime() { on = false; }
            } atDefault{m_atDefaultTime = true};
            for (int i = 0; i < static_cast<int>(s.DatList.size()); ++i) {
                // A race that could not be analysed still holds the race before's bets
                // and results: it has no hits of its own.
                if (!DatListClick(i).isDone()) {
                    ++m_hitRun.skippedRaces;
                    continue;
                }
                const AnalysisState& a = s.analysis;
                RaceBets bets{std::span(a.KaiRenHon).subspan(1),
                              std::span(a.KaiRenChuAna).subspan(1),
                              std::span(a.KaiRenOoAna).subspan(1)};
                collectRaceHits(selectedRa(), bets, s.results, sender, lines);
            }
        }
        showAgain(shown);
        for (size_t i = 1; i < lines.page.size(); ++i)
            m_hitRun.lines.push_back(fromCp932(lines.page[i]));
        if (lines.page.size() <= 2)
            return Outcome::nothingToDo(
                format("的中が%zu件のため書き出しません", lines.page.size() - 1));

        const HitPage page = writeHitPage(dir, lines.page, s.store.RaRecs[0], listed.front());
        m_hitRun.pageReplaced = page.replaced;
        m_hitRun.pageFile = page.file;
        m_person.openFile(page.file);
        std::string clipboard;
        for (const auto& line : lines.page)
            clipboard += fromCp932(line) + "\r\n";
        m_person.setClipboardText(clipboard);
        // A rerun of the day replaces its lines in the log instead of adding them again.
        writeHitLog(logFile, storedLog, page.file.stem().string().substr(2), lines.log);
        m_hitRun.logFile = logFile;
        m_hitRun.written = true;
        if (m_hitRun.pageReplaced)
            setStatus(page.file.filename().string() + " を置き換えました");
        return Outcome::done();
    });
}

Outcome Workbench::P1Click(PrintPage& page)
{
    return m_boundary.run("P1Click", [&] {
        const WorkbenchState& s = m_state;
        AnalysisPageInput input;
        input.TitleLabel1 = s.title.TitleLabel1;
        input.TitleLabel2 = s.title.TitleLabel2;
        input.TitleLabel3 = s.title.TitleLabel3;
        input.TitleLabel4 = s.title.TitleLabel4;
        input.StringGrid1 = &s.display.StringGrid1;
        input.StringGrid5 = &s.display.StringGrid5;
        input.results = &s.results;
        input.analysis = &s.analysis;
        input.odds = &s.odds;
        input.KasenRatePercent = s.display.KasenRate;
        input.analysisShown = s.Panel3Visible && s.DatListIndex >= 0;
        if (input.analysisShown) {
            const RaView ra(selectedRa());
            input.venueCode = ra.venue();
            input.raceNumber = ra.raceNo().value_or(0);
            input.runners = ra.registered();
        }
        if (auto refusal = analysisPageRefusal(input))
            return m_boundary.fail(*refusal);
        page = buildAnalysisPage(input);
        return Outcome::done();
    });
}

Outcome Workbench::SpeedButton1Click(SortButton button)
{
    return m_boundary.run("SpeedButton1Click", [&] {
        m_state.pressedSort = button;
        sortAnalysisTable(m_state.display.StringGrid1, button);
        return Outcome::done();
    });
}

std::string Workbench::ClipBtn1Click(std::string_view tabCaption) const
{
    const AnalysisDisplay& d = m_state.display;
    const TextGrid* grids[] = {&d.StringGrid1, &d.StringGrid1, &d.StringGrid2,
                               &d.StringGrid3, &d.StringGrid4, &d.StringGrid5};
    int n = clipboardGridNumber(tabCaption);
    const TextGrid* grid = (n >= 1 && n <= 5) ? grids[n] : &d.StringGrid1;
    return clipboardText(m_state.title.TitleLabel1, *grid);
}

Outcome Workbench::selectDay(const std::string& dayName)
{
    auto it = std::find(m_state.DateCombo.begin(), m_state.DateCombo.end(), dayName);
    if (it == m_state.DateCombo.end())
        return Outcome::nothingToDo("データがありません: " + dayName);
    return DateComboChange(static_cast<int>(it - m_state.DateCombo.begin()));
}

int Workbench::raceIndexOf(std::string_view raceKey) const
{
    for (size_t i = 0; i < m_state.DatList.size(); ++i) {
        const RaView ra(m_state.store.RaRecs.at(static_cast<size_t>(m_state.DatList[i].slot)));
        if (ra.raceKeyText() == raceKey)
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<RaceListRow> Workbench::raceListRows() const
{
    auto hhmm = [](std::string_view text) -> std::string {
        if (text.size() < 4 || trimmed(text).empty())
            return "";
        return std::string(text.substr(0, 2)) + ":" + std::string(text.substr(2, 2));
    };
    std::vector<RaceListRow> rows;
    for (const auto& item : m_state.DatList) {
        const size_t slot = static_cast<size_t>(item.slot);
        const std::string& record = m_state.store.RaRecs.at(slot);
        const RaView ra(record);
        RaceListRow row;
        row.text = item.text;
        row.raceKey = fromCp932(ra.raceKeyText());
        row.postTime = hhmm(ra.postTime());
        row.autoTime = hhmm(m_state.store.AutoOddsTime.at(slot));
        row.slot = item.slot;
        // Names are padded with ideographic spaces as well as ASCII ones.
        auto bare = [](std::string text) {
            static constexpr std::string_view kWide = "\xE3\x80\x80"; // "　"
            for (bool cut = true; cut;) {
                text = std::string(trimmed(text));
                cut = false;
                if (text.starts_with(kWide)) {
                    text.erase(0, kWide.size());
                    cut = true;
                }
                if (text.ends_with(kWide)) {
                    text.erase(text.size() - kWide.size());
                    cut = true;
                }
            }
            return text;
        };
        const RaceTitle title = raceTitle(record);
        row.name = bare(title.TitleLabel2);
        if (row.name.empty())
            row.name = bare(title.TitleLabel4);
        if (const auto key = RaceKey::tryParse(row.raceKey)) {
            std::error_code ec;
            row.hasOdds = fs::exists(oddsFilePath(m_appDir.root(), key->text(), kO1Extension), ec);
        }
        row.hasResults =
            m_state.store.HrMerged.at(slot) || !RecordView(m_state.store.HrRecs.at(slot)).isBlank();
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<Workbench::BatchRow> Workbench::batchRows() const
{
    std::vector<BatchRow> rows;
    for (size_t i = 0; i < m_state.DatList.size(); ++i) {
        const auto& item = m_state.DatList[i];
        const RaView ra(m_state.store.RaRecs.at(static_cast<size_t>(item.slot)));
        BatchRow row{item.text, i < m_batchAnalysed.size() && m_batchAnalysed[i], {}};
        if (!row.analysed) {
            rows.push_back(std::move(row));
            continue;
        }
        if (auto key = ra.raceKey())
            row.marks = readSuishoMarks(
                suishoFilePath(m_appDir.suishoDir(), key->dayName(), key->venue()), key->raceNo());
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string Workbench::raceKeyOfItem(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_state.DatList.size()))
        return "";
    return RaView(m_state.store.RaRecs.at(
                      static_cast<size_t>(m_state.DatList[static_cast<size_t>(index)].slot)))
        .raceKeyText();
}

std::optional<std::string> Workbench::selectedRaceRecord() const
{
    if (m_state.DatListIndex < 0)
        return std::nullopt;
    return selectedRa();
}

int Workbench::selectedRunners() const
{
    const auto ra = selectedRaceRecord();
    return ra ? RaView(*ra).registered() : 0;
}

std::vector<PayoutSummaryRow> Workbench::payoutRows() const
{
    return payoutSummary(m_state.store, m_state.DatList);
}

std::optional<Workbench::ShownRace> Workbench::shownRace() const
{
    const WorkbenchState& s = m_state;
    if (s.DatListIndex < 0 || !s.Panel3Visible)
        return std::nullopt;
    ShownRace shown{raceKeyOfItem(s.DatListIndex), {}};
    if (s.TimeComboIndex >= 0 && s.TimeComboIndex < static_cast<int>(s.TimeCombo.size()))
        shown.timeItem = s.TimeCombo[static_cast<size_t>(s.TimeComboIndex)];
    return shown;
}

void Workbench::showAgain(const std::optional<ShownRace>& shown)
{
    if (!shown)
        return;
    const int index = raceIndexOf(shown->raceKey);
    if (index < 0)
        return;
    if (showRace(index).failed())
        return;
    chooseTimeItem(shown->timeItem);
}

void Workbench::chooseTimeItem(const std::string& timeItem)
{
    const auto& items = m_state.TimeCombo;
    const auto it = std::find(items.begin(), items.end(), timeItem);
    const int time = static_cast<int>(it - items.begin());
    if (it != items.end() && time != m_state.TimeComboIndex) {
        m_state.TimeComboIndex = time;
        loadTimePoint();
    }
}

Outcome Workbench::rememberSelection()
{
    return m_boundary.run("rememberSelection", [&] {
        const auto day = loadedDay();
        writeSetting(m_ini, settings::kLastDay, day ? day->text() : std::string());
        writeSetting(m_ini, settings::kLastRace, raceKeyOfItem(m_state.DatListIndex));
    });
}

Outcome Workbench::restoreSelection()
{
    return m_boundary.run("restoreSelection", [&] {
        const std::string day = readSetting(m_ini, settings::kLastDay);
        if (day.empty() || selectDay(day).kind == Outcome::Kind::NothingToDo)
            return Outcome::nothingToDo();
        const int index = raceIndexOf(readSetting(m_ini, settings::kLastRace));
        if (index < 0 || index == m_state.DatListIndex)
            return Outcome::done();
        return DatListClick(index);
    });
}

std::string Workbench::batchSummary() const
{
    const auto analysed = std::count(m_batchAnalysed.begin(), m_batchAnalysed.end(), true);
    return format("推奨馬表の一括作成が終わりました: %zuレース中 %tdレースを分析しました。",
                  m_batchAnalysed.size(), analysed);
}

std::string Workbench::racePdfName() const
{
    const auto ra = selectedRaceRecord();
    const auto key = ra ? RaceKey::tryFromRecord(*ra) : std::nullopt;
    if (!key)
        return "分析結果.pdf";
    return key->dayName().text() + std::string(trimmed(VenueShortName(key->venue()))) +
           std::to_string(key->raceNo()) + "R.pdf";
}

} // namespace sorvantix
