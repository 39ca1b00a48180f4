#include "core/app/odds_schedule.h"

#include "core/app/request_queue.h"
#include "core/jvlink/jv_link.h"
#include "core/jvlink/jv_result_text.h"
#include "core/odds/odds_files.h"
#include "core/odds/realtime_odds.h"
#include "core/odds/time_points.h"
#include "core/store/racing_codes.h"
#include "core/store/realtime_cards.h"
#include "core/store/record_views.h"
#include "core/text/day_name.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/person.h"

#include <chrono>

namespace sorvantix {

namespace {

// Characters [from, from + count) of an ASCII text, as far as it reaches.
std::string part(std::string_view text, std::size_t from, std::size_t count)
{
    if (from >= text.size())
        return {};
    return std::string(text.substr(from, count));
}

// "hh:mm" from an "hhmm" text.
std::string withColon(std::string_view hhmm)
{
    return part(hhmm, 0, 2) + ":" + part(hhmm, 2, 2);
}

// Whole days from `day` to the clock's date; nullopt for a date that does not exist.
std::optional<long> daysBack(const DayName& day, const LocalDateTime& now)
{
    using namespace std::chrono;
    year_month_day from{year{day.year}, month{static_cast<unsigned>(day.month)},
                        std::chrono::day{static_cast<unsigned>(day.day)}};
    year_month_day to{year{now.year}, month{static_cast<unsigned>(now.month)},
                      std::chrono::day{static_cast<unsigned>(now.day)}};
    if (!from.ok() || !to.ok())
        return std::nullopt;
    return static_cast<long>((sys_days{to} - sys_days{from}).count());
}

} // namespace

ScheduleRefusal checkScheduleOpening(std::string_view dayComboText, const LocalDateTime& now,
                                     bool dayCardsAreFinal, Person& person)
{
    std::string_view day = trimmed(dayComboText);
    if (day.empty()) {
        person.beep();
        person.information("ﾃﾞｰﾀを読み込んでください。");
        return ScheduleRefusal::NoDay;
    }
    // Calendar days, so that a future day is refused whatever the time of day. A text
    // that is no day name cannot be a recent day either.
    auto name = DayName::parse(day);
    auto n = name ? daysBack(*name, now) : std::nullopt;
    if (!n || *n < 0 || *n > schedule::kMaxDaysBack) {
        person.beep();
        person.information(std::string(schedule::kNotRecentMessage));
        return ScheduleRefusal::NotRecentDay;
    }
    if (!dayCardsAreFinal) {
        person.beep();
        person.information(std::string(kCardsNotFinalMessage));
        return ScheduleRefusal::CardsNotFinal;
    }
    return ScheduleRefusal::None;
}

std::string scheduleDefaultTimeText(int first)
{
    return withColon(format("%4d", first));
}

std::string scheduleRaceText(std::string_view raRecord)
{
    const RaView ra(raRecord);
    return VenueShortName(ra.venue()) + PadNumber(ra.meetingText()) + "回" +
           PadNumber(ra.meetingDayText()) + "日" + PadNumber(ra.raceNoText()) + "R";
}

ScheduleCellColour StringGrid1CellColour(int column, int row)
{
    if (row < 1)
        return ScheduleCellColour::GridDefault;
    switch (column) {
    case 0:
        return ScheduleCellColour::InfoTip;
    case 1:
        return ScheduleCellColour::White;
    case 2:
        return ScheduleCellColour::LightCyan;
    default:
        return ScheduleCellColour::GridDefault;
    }
}

ScheduleRead JvLinkOddsSchedule::read(std::string_view spec, std::string_view raceKey,
                                      const std::atomic<bool>* cancel)
{
    ScheduleRead result;
    result.open = m_jvLink.JVRTOpen(std::string(spec), std::string(raceKey));
    if (result.open == jv::kOk) {
        OddsRecvLists lists;
        OddsReadResult read = readOddsRecords(m_jvLink, lists, cancel);
        result.readEnd = read.end;
        result.cancelled = read.cancelled;
        result.refused = read.refused;
        result.firstRefusal = std::move(read.firstRefusal);
        result.o1Lines = std::move(lists.O1RecvList);
        result.o2Lines = std::move(lists.O2RecvList);
        // Lines of another race are refused here, so no store can name a file by them.
        int other = 0;
        for (auto* lines : {&result.o1Lines, &result.o2Lines})
            other += static_cast<int>(dropOtherRaceLines(*lines, raceKey));
        if (other > 0) {
            if (result.refused == 0)
                result.firstRefusal = otherRaceLinesText(raceKey, other);
            result.refused += other;
        }
    }
    result.close = m_jvLink.JVClose();
    return result;
}

void JvLinkOddsSchedule::store(const std::vector<std::string>& lines, std::string_view extension,
                               bool /*complete*/)
{
    // Whole or cut short, a read is merged: a stored series only grows.
    if (!lines.empty())
        storeOddsSeries(m_appDir, RecordView(lines.front()).raceKeyText(), lines, extension);
}

void JvLinkOddsSchedule::logError(const std::string& message)
{
    if (m_appendError)
        m_appendError(message);
}

void JvLinkOddsSchedule::reloadDay()
{
    if (m_reloadDay)
        m_reloadDay();
}

ScheduleFetchEnd ScheduleFetch::run(OddsSchedulePort& port, Person& person, Progress& progress,
                                    const std::atomic<bool>* cancel)
{
    auto cancelled = [cancel] { return cancel && cancel->load(); };
    m_failures.clear();
    std::size_t next = 0;
    for (int item = 0; item < m_itemCount; ++item) {
        if (cancelled())
            return ScheduleFetchEnd::Cancelled;
        progress.progress(item + 1, m_itemCount);
        for (; next < m_requests.size() && m_requests[next].item == item; ++next) {
            if (cancelled())
                return ScheduleFetchEnd::Cancelled;
            progress.status(m_requests[next].label);
            runRequest(m_requests[next], port, person, progress, cancel);
        }
    }
    if (cancelled())
        return ScheduleFetchEnd::Cancelled;
    progress.progress(100, 100);
    person.beep();
    // A fetch with failed races is no completed fetch: the summary takes the place of the
    // completion message.
    if (!m_failures.empty())
        return ScheduleFetchEnd::Failed;
    person.information(std::string(schedule::kDoneMessage));
    return ScheduleFetchEnd::Completed;
}

std::string ScheduleFetch::failureSummary() const
{
    std::string text = std::to_string(m_failures.size()) + "件のオッズを取得できませんでした:";
    for (const auto& failure : m_failures)
        text += "\n" + failure;
    return text;
}

void ScheduleFetch::runRequest(const ScheduleRequest& request, OddsSchedulePort& port,
                               Person& person, Progress& progress, const std::atomic<bool>* cancel)
{
    ScheduleRead read = port.read(request.spec, request.raceKey, cancel);
    // Each failure is named with its race and request, shown on the progress label and
    // kept in the error log, and the fetch goes on with the next request.
    auto failed = [&](const std::string& text) {
        const std::string line = request.label + ": " + text;
        person.beep();
        progress.status(line);
        port.logError(line);
        m_failures.push_back(line);
    };
    auto closeStep = [&] {
        if (read.close != jv::kOk)
            failed("JVCloseエラー:" + JvResultText("JVClose", read.close));
    };
    if (read.open != jv::kOk) {
        // The race's file stays as it was.
        failed("JVRTOpenエラー:" + JvResultText("JVRTOpen", read.open));
        closeStep();
        return;
    }
    bool o1 = request.extension == kO1Extension;
    std::vector<std::string>& target = o1 ? m_o1List : m_o2List;
    target.clear();
    m_o1List.insert(m_o1List.end(), read.o1Lines.begin(), read.o1Lines.end());
    m_o2List.insert(m_o2List.end(), read.o2Lines.begin(), read.o2Lines.end());
    if (jv::isReadError(read.readEnd))
        failed("JVReadエラー:" + JvResultText("JVRead", read.readEnd));
    if (read.refused > 0) {
        const std::string text = refusedRecordsText(read.refused, read.firstRefusal);
        person.information(text);
        port.logError(text);
    }
    closeStep();
    bool complete = read.readEnd == jv::kReadEnd && !read.cancelled;
    port.store(target, request.extension, complete);
}

TOddsSchejForm::TOddsSchejForm(std::string dayComboText, const DayStore& store,
                               const std::vector<int>& raceListSlots, int first)
    : m_dateLabel(std::move(dayComboText))
{
    std::string defaultTime = scheduleDefaultTimeText(first);
    m_grid.resize(4, static_cast<int>(raceListSlots.size()) + 1);
    for (int c = 0; c < 4; ++c)
        m_grid.setCell(c, 0, std::string(schedule::kHeaders[c]));
    int row = 1;
    for (int slot : raceListSlots) {
        if (slot < 0 || slot >= kRaceSlots)
            continue;
        const std::string& ra = store.RaRecs[static_cast<std::size_t>(slot)];
        std::string text = scheduleRaceText(ra);
        m_items.push_back({text, slot, false});
        m_raRecords.push_back(ra);
        m_grid.setCell(0, row, text);
        m_grid.setCell(1, row, withColon(RaView(ra).postTime()));
        m_grid.setCell(2, row, defaultTime);
        m_grid.setCell(3, row, withColon(store.AutoOddsTime[static_cast<std::size_t>(slot)]));
        ++row;
    }
    m_grid.setRowCount(row);
}

void TOddsSchejForm::setChecked(int index, bool checked)
{
    if (index >= 0 && index < static_cast<int>(m_items.size()))
        m_items[static_cast<std::size_t>(index)].checked = checked;
}

void TOddsSchejForm::setRadioGroup1(int index)
{
    if (index == 0 || index == 1)
        m_kind = index;
}

void TOddsSchejForm::N1Click()
{
    for (auto& item : m_items)
        item.checked = true;
}

void TOddsSchejForm::N2Click()
{
    for (auto& item : m_items)
        item.checked = false;
}

std::optional<ScheduleFetch> TOddsSchejForm::fetchPlan(Person& person)
{
    bool any = false;
    for (const auto& item : m_items)
        any = any || item.checked;
    if (!any) {
        person.beep();
        person.information(std::string(schedule::kNothingCheckedMessage));
        return std::nullopt;
    }
    int count = static_cast<int>(m_items.size());
    showProgress(0, count);

    std::vector<ScheduleRequest> requests;
    for (int i = 0; i < count; ++i) {
        if (!m_items[static_cast<std::size_t>(i)].checked)
            continue;
        const std::string& ra = m_raRecords[static_cast<std::size_t>(i)];
        const RaView view(ra);
        std::string key = view.raceKeyText();
        std::string venue = VenueShortName(view.venue());
        std::string race = PadNumber(view.raceNoText());
        if (m_kind == 0) {
            requests.push_back({i, race + "R単複枠オッズ読込み中:" + venue + race + "R",
                                std::string(jv::kSpecTanOdds), key, kO1Extension});
            requests.push_back({i, race + "R馬連オッズ読込み中:" + venue + race + "R",
                                std::string(jv::kSpecUmarenOdds), key, kO2Extension});
        } else {
            requests.push_back({i, "オッズ読込み中:" + venue + race + "R",
                                std::string(jv::kSpecLatestOdds), key, kO1Extension});
        }
    }
    return ScheduleFetch(count, std::move(requests));
}

void TOddsSchejForm::showProgress(int position, int maximum)
{
    m_progressMax = maximum;
    m_progressPosition = position;
}

void TOddsSchejForm::OzGetBtnClick(OddsSchedulePort& port, Person& person,
                                   const std::atomic<bool>* cancel)
{
    auto fetch = fetchPlan(person);
    if (!fetch)
        return;
    RequestEvents events;
    events.status = [this](const std::string& text) { showStatus(text); };
    events.progress = [this](int position, int maximum) { showProgress(position, maximum); };
    Progress progress("schedule", postInline(), events);
    if (fetch->run(port, person, progress, cancel) == ScheduleFetchEnd::Failed)
        person.information(fetch->failureSummary());
}

bool TOddsSchejForm::FormCloseQuery(OddsSchedulePort& port)
{
    port.reloadDay();
    return true;
}

} // namespace sorvantix
