#include "core/app/auto_acquisition.h"

#include "core/app/settings_keys.h"
#include "core/odds/realtime_odds.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/day_name.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/ini_file.h"
#include "core/text/person.h"

namespace sorvantix {

std::string clockMinuteText(const LocalDateTime& t)
{
    return twoDigits(t.hour) + twoDigits(t.minute);
}

std::string todayDayText(const LocalDateTime& t)
{
    return DayName{t.year, t.month, t.day}.text();
}

AutoAcquisition::AutoAcquisition(AutoAcquisitionPort& port, Person& person, const Clock& clock,
                                 const TIniGT& ini)
    : m_port(port), m_person(person), m_clock(clock), m_ini(ini)
{
}

bool AutoAcquisition::AutoOzCheckClick(bool checked)
{
    if (!checked) {
        switchOff();
        return false;
    }
    m_controls.AutoOzCheck = true;
    std::string day(trimmed(m_port.dayComboText()));
    std::string_view refusal;
    if (day.empty())
        refusal = kNoDayMessage;
    else if (day != todayDayText(m_clock.now()))
        refusal = kNotTodayMessage;
    else if (!m_port.dayCardsAreFinal())
        refusal = kCardsNotFinalMessage;
    if (!refusal.empty()) {
        m_person.beep();
        m_person.information(std::string(refusal));
        // Clearing the box runs the switch-off, as the box's own handler would.
        switchOff();
        return false;
    }
    m_port.dayStore().AutoOddsDone.fill(false);
    m_controls.Timer2Enabled = true;
    m_controls.OzGetBtnEnabled = false;
    return true;
}

void AutoAcquisition::switchOff()
{
    m_controls.AutoOzCheck = false;
    m_controls.Timer2Enabled = false;
    m_controls.OzGetBtnEnabled = true;
}

std::vector<int> AutoAcquisition::Timer2Timer()
{
    std::vector<int> started;
    if (!m_controls.Timer2Enabled || trimmed(m_port.dayComboText()).empty())
        return started;
    std::string now = clockMinuteText(m_clock.now());
    int delay = readSetting(m_ini, settings::kDelay);
    if (delay > 0)
        now = ShiftClock(now, -delay);

    std::vector<int> slots = m_port.raceListSlots();
    for (int index = 0; index < static_cast<int>(slots.size()); ++index) {
        int slot = slots[static_cast<std::size_t>(index)];
        if (slot < 0 || slot >= kRaceSlots)
            continue;
        auto s = static_cast<std::size_t>(slot);
        // Read the store anew for every race: the selection and fetch of the race
        // before may have reloaded it.
        DayStore& store = m_port.dayStore();
        if (trimmed(now) != trimmed(store.AutoOddsTime[s]) || store.AutoOddsDone[s])
            continue;
        // Marked before the fetch starts, so a tick during the fetch never starts the
        // race again.
        store.AutoOddsDone[s] = true;
        started.push_back(index);
        m_port.selectRace(index);
        m_port.fetchOdds(index);
    }
    return started;
}

bool AutoAcquisition::Timer4Timer()
{
    std::string now = clockMinuteText(m_clock.now());
    if (now > kAutoResultLastTime)
        return false;
    std::string postTime = RaView(m_port.dayStore().RaRecs[0]).postTime();
    std::string start = ShiftClock(postTime, -(m_controls.AutoResultIntervalMinutes + 30));
    if (!(now > start))
        return false;
    m_port.fetchResults(true);
    return true;
}

std::optional<TOddsSchejForm> AutoAcquisition::OzGetBtnClick()
{
    if (!m_controls.OzGetBtnEnabled)
        return std::nullopt;
    std::string day = m_port.dayComboText();
    ScheduleRefusal refusal =
        checkScheduleOpening(day, m_clock.now(), m_port.dayCardsAreFinal(), m_person);
    if (refusal == ScheduleRefusal::CardsNotFinal)
        AutoOzCheckClick(false);
    if (refusal != ScheduleRefusal::None)
        return std::nullopt;
    int first = readSetting(m_ini, settings::kFirstTimeInSchedule);
    return TOddsSchejForm(day, m_port.dayStore(), m_port.raceListSlots(), first);
}

void IntervalTicker::start(const LocalDateTime& now, long long intervalSeconds)
{
    m_enabled = true;
    m_interval = intervalSeconds > 0 ? intervalSeconds : 1;
    m_last = now;
}

bool IntervalTicker::poll(const LocalDateTime& now)
{
    if (!m_enabled)
        return false;
    if (now < m_last) {
        m_last = now;
        return false;
    }
    if (now < m_last.addSeconds(m_interval))
        return false;
    m_last = now;
    return true;
}

} // namespace sorvantix
