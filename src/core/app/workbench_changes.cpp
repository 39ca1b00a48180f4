#include "core/app/workbench_changes.h"

#include "core/text/person.h"

#include <exception>
#include <tuple>

namespace sorvantix {

std::string Parts::text() const
{
    static constexpr std::pair<Part, const char*> kNames[] = {
        {Part::DayList, "DayList"},   {Part::RaceList, "RaceList"}, {Part::Title, "Title"},
        {Part::TimeList, "TimeList"}, {Part::Grids, "Grids"},       {Part::Labels, "Labels"},
        {Part::Chart, "Chart"},       {Part::Status, "Status"},     {Part::Enabled, "Enabled"},
        {Part::Odds, "Odds"},         {Part::Alerts, "Alerts"}};
    std::string out;
    for (const auto& [part, name] : kNames)
        if (has(part))
            out += (out.empty() ? "" : "|") + std::string(name);
    return out;
}

namespace {

bool sameGrids(const AnalysisDisplay& a, const AnalysisDisplay& b)
{
    return a.StringGrid1 == b.StringGrid1 && a.StringGrid2 == b.StringGrid2 &&
           a.StringGrid3 == b.StringGrid3 && a.StringGrid4 == b.StringGrid4 &&
           a.StringGrid5 == b.StringGrid5 && a.StringGrid6 == b.StringGrid6 &&
           a.StringGrid7 == b.StringGrid7 && a.StringGrid8 == b.StringGrid8 &&
           a.resultBoxes == b.resultBoxes;
}

// The labels are what remains of the display once the grids are equal.
bool sameLabels(const AnalysisDisplay& a, const AnalysisDisplay& b)
{
    // Every member but the grids and the result boxes (sameGrids).
    auto labels = [](const AnalysisDisplay& d) {
        return std::tie(d.KaiTanHonLbl, d.KaiTanOzHonLbl, d.KaiTanAanLbl1, d.KaiTanOzAanLbl1,
                        d.KaiTanAanLbl2, d.KaiTanOzAanLbl2, d.KasenLabel, d.HaranLabel,
                        d.KasenRate);
    };
    return labels(a) == labels(b);
}

} // namespace

Parts changedParts(const ShownState& was, const ShownState& now)
{
    Parts parts;
    if (now.DateCombo != was.DateCombo || now.DateComboIndex != was.DateComboIndex)
        parts |= Part::DayList;
    if (now.DatList != was.DatList || now.DatListIndex != was.DatListIndex ||
        now.UpDown1Max != was.UpDown1Max || now.UpDown1Position != was.UpDown1Position)
        parts |= Part::RaceList;
    if (!(now.title == was.title) || now.Panel1Caption != was.Panel1Caption ||
        now.StaticText1 != was.StaticText1 || now.BorderLabel4 != was.BorderLabel4)
        parts |= Part::Title;
    if (now.TimeCombo != was.TimeCombo || now.TimeComboIndex != was.TimeComboIndex ||
        now.LatestTime != was.LatestTime)
        parts |= Part::TimeList;
    if (now.display != was.display) {
        if (!sameGrids(*now.display, *was.display))
            parts |= Part::Grids;
        if (!sameLabels(*now.display, *was.display))
            parts |= Part::Labels;
    }
    if (now.chart != was.chart && !(*now.chart == *was.chart))
        parts |= Part::Chart;
    if (now.DLlabel != was.DLlabel || now.statusSerial != was.statusSerial)
        parts |= Part::Status;
    if (now.Panel3Visible != was.Panel3Visible || !(now.controls == was.controls) ||
        (now.pending > 0) != (was.pending > 0))
        parts |= Part::Enabled;
    if (now.oddsSerial != was.oddsSerial)
        parts |= Part::Odds;
    if (now.alertSerial != was.alertSerial)
        parts |= Part::Alerts;
    return parts;
}

int ChangeTracker::addListener(WorkbenchListener listener)
{
    m_listeners.emplace_back(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void ChangeTracker::removeListener(int id)
{
    std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

void ChangeTracker::publish(ShownState now, Person& person)
{
    const Parts parts = changedParts(m_shown, now);
    m_shown = std::move(now);
    if (parts.empty())
        return;
    // A copy: a listener may add or remove listeners.
    auto listeners = m_listeners;
    for (const auto& [id, listener] : listeners) {
        try {
            listener(parts);
        } catch (const std::exception& e) {
            // A view's fault must not take the document down with it.
            person.information(std::string("画面の更新に失敗しました: ") + e.what());
        }
    }
}

} // namespace sorvantix
