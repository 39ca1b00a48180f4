#pragma once

#include "core/analysis/analysis_display.h"
#include "core/app/auto_acquisition.h"
#include "core/present/pa_chart.h"
#include "core/store/race_title.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sorvantix {

class Person;

// What a change of the Workbench touched, for its views to repaint.
enum class Part : unsigned {
    DayList = 1u << 0,  // DateCombo and its choice
    RaceList = 1u << 1, // DatList, its choice and the arrows
    Title = 1u << 2,    // the title panel, Panel1Caption, StaticText1, BorderLabel4
    TimeList = 1u << 3, // TimeCombo, its choice and the time choice beside it
    Grids = 1u << 4,    // StringGrid1..8 and the result boxes
    Labels = 1u << 5,   // the labels of the analysis tabs
    Chart = 1u << 6,    // the PA ratio chart
    Status = 1u << 7,   // DLlabel (also when the same text is shown again)
    Enabled = 1u << 8,  // Panel3Visible, the timers, requests running
    Odds = 1u << 9,     // an odds fetch has ended: the stored time points may be new
    Alerts = 1u << 10,  // the automatic acquisition raised alerts (lastAlerts)
};

// A set of parts.
class Parts
{
public:
    constexpr Parts() = default;
    constexpr Parts(Part part) : m_bits(static_cast<unsigned>(part)) {}
    constexpr Parts operator|(Parts other) const { return Parts(m_bits | other.m_bits); }
    Parts& operator|=(Parts other)
    {
        m_bits |= other.m_bits;
        return *this;
    }
    constexpr bool has(Part part) const { return (m_bits & static_cast<unsigned>(part)) != 0; }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr bool operator==(const Parts&) const = default;
    // "DayList|RaceList|Status": the parts in declaration order, "" for none.
    std::string text() const;

private:
    constexpr explicit Parts(unsigned bits) : m_bits(bits) {}
    unsigned m_bits = 0;
};

// Called on the owner's thread after an operation or a request's completion changed
// what the views show. A listener must not throw.
using WorkbenchListener = std::function<void(Parts parts)>;

// What the views show, to tell which parts an operation changed. The serials count
// events whose texts may repeat (a status text shown again, another ended fetch).
struct ShownState
{
    std::vector<std::string> DateCombo;
    int DateComboIndex = -1;
    std::vector<std::pair<std::string, int>> DatList; // item text and slot
    int DatListIndex = -1;
    int UpDown1Max = 0;
    int UpDown1Position = 0;
    RaceTitle title;
    std::string Panel1Caption, StaticText1, BorderLabel4;
    std::vector<std::string> TimeCombo;
    int TimeComboIndex = -1;
    bool LatestTime = false;
    // Shared snapshots: a state that did not change keeps the one it had, so telling
    // what changed neither copies nor compares the grids and the chart then.
    std::shared_ptr<const AnalysisDisplay> display = std::make_shared<const AnalysisDisplay>();
    std::shared_ptr<const ChartView> chart = std::make_shared<const ChartView>();
    std::string DLlabel;
    unsigned statusSerial = 0;
    bool Panel3Visible = false;
    AutoOddsControls controls;
    int pending = 0;
    unsigned oddsSerial = 0;
    unsigned alertSerial = 0;
};

// The parts in which `now` differs from `was`.
Parts changedParts(const ShownState& was, const ShownState& now);

// The listeners and what they were last told about.
class ChangeTracker
{
public:
    explicit ChangeTracker(ShownState initial) : m_shown(std::move(initial)) {}

    // Adds a listener; returns its id for removeListener.
    int addListener(WorkbenchListener listener);
    void removeListener(int id);

    // Tells every listener the parts in which `now` differs from what was shown last.
    // A listener that throws is said to `person`; the others still hear.
    void publish(ShownState now, Person& person);

private:
    ShownState m_shown;
    std::vector<std::pair<int, WorkbenchListener>> m_listeners;
    int m_nextListener = 1;
};

} // namespace sorvantix
