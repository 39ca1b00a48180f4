#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// The tab "PA比ｸﾞﾗﾌ": how the PA ratio of each quinella pair of one runner developed over
// the race's odds series, one line per partner, recomputed from the stored odds lines
// (not from the analysis of the loaded time point).

inline constexpr int kChartPartnerSeries = 18;
inline constexpr int kChartSeriesCount = 19;     // 18 partners and the reference line
inline constexpr double kChartReferencePa = 1.5; // series 19 "目盛り1.5"
inline constexpr const char* kChartTitle = "PA比時系列グラフ";
inline constexpr const char* kChartBottomAxisTitle = "時間";
inline constexpr const char* kChartLeftAxisTitle = "ＰＡ比";
inline constexpr const char* kChartReferenceTitle = "目盛り1.5";
inline constexpr std::uint32_t kChartPanelColour = 0xFFFF9B;

enum class ChartDash { Solid, Dot };
// RadioGroup2 "ｸﾞﾗﾌ軸の種類": item 0 "対数軸", item 1 "普通軸".
enum class ChartAxis { Log = 0, Linear = 1 };

struct ChartPoint
{
    int x = 0;         // time index, a line number of the odds series
    std::string label; // category label "hh:mm"
    double y = 0;      // PA ratio (0 for a pair without odds at that time)
    bool operator==(const ChartPoint&) const = default;
};

struct ChartSeries
{
    std::string title;
    bool inLegend = false;
    std::uint32_t colour = 0; // 0xRRGGBB
    ChartDash dash = ChartDash::Solid;
    std::vector<ChartPoint> points;
    bool operator==(const ChartSeries&) const = default;
};

// What the tab shows: the horse list, the pair list, the series and the two choices.
struct ChartView
{
    std::vector<std::string> RadioGroup1; // "%2d番" in share order at the latest odds
    int RadioGroup1Index = -1;
    std::vector<std::string> pairList; // " 3- 7[ 1.250]", partners in share-rank order
    std::array<ChartSeries, kChartSeriesCount> series; // series 1..19 at index 0..18
    ChartAxis axis = ChartAxis::Log;
    bool markers = true; // RadioGroup3: item 0 "表示", item 1 "非表示"
    bool operator==(const ChartView&) const = default;
};

// The odds series a chart is computed from: the stored lines of the race (records
// without CR LF) and whether the race is analysed from quinella odds (UseUmaren:
// O2Lines) or from bracket-quinella odds (O1Lines).
struct ChartOdds
{
    const std::vector<std::string>& O1Lines;
    const std::vector<std::string>& O2Lines;
    bool UseUmaren = true;
    // The number of time points (lines of the series in use).
    int timePoints() const { return static_cast<int>((UseUmaren ? O2Lines : O1Lines).size()); }
};

// The chart's working state and view. Arrays are indexed from 1 like the racing
// numbers (index 0 unused). Every computation overwrites the working state; only
// FinalRank survives from the latest-record computation to the horse list.
class PaChart
{
public:
    PaChart();

    const ChartView& view() const { return m_view; }

    int ChartTimeIndex = 0;
    std::string ChartTimeLabel;
    std::array<double, 154> ChartPairOdds{};   // by pair number, -1.0 when absent
    std::array<double, 37> ChartBracketOdds{}; // by bracket combination number
    std::array<double, 154> ChartPairShare{};  // 75 / odds, -1.0 without odds
    std::array<double, 19> ChartHorseShare{};
    std::array<double, 19> ChartHorseNorm{};
    std::array<double, 154> ChartPairPa{}; // 0 for a pair without odds
    std::array<int, 19> ChartRank{};       // share rank at the time point computed last
    std::array<int, 19> FinalRank{};       // share rank at the latest record

    // The time-point computation for ChartTimeIndex: pair odds of that line (quinella
    // or bracket quinella), shares, ranks into ChartRank, PA ratios, ChartTimeLabel. A
    // time index outside the series leaves every odds absent. Fields that are not odds
    // are left out and counted in damagedFields().
    void CgraphClick(const ChartOdds& odds);
    // The latest-record computation: the same from `latestRecord` (the last record of
    // the race's odds file, O2 when `useUmaren` else O1; empty when there is none),
    // where a field of zeros counts as the no-vote odds; ranks go to FinalRank. Fields
    // that are not odds are left out uncounted: the build counts them at the last time
    // point.
    void CgraphIniBtnClick(std::string_view latestRecord, bool useUmaren);
    // The race selection's filling of the horse list: for rank 1..runners the horse
    // 1..runners of that FinalRank, "%2d番"; nothing is selected.
    void fillHorseList(int runners);
    // Builds the chart of horse list item `index` (sets RadioGroup1Index): partners are
    // horse numbers 1..runners, the selected horse left out. An index outside the list
    // clears the chart only. The axis and marker choices stay as they are.
    void RadioGroup1Click(int index, const ChartOdds& odds, int runners);
    // The axis and marker choices (the caller saves them).
    void setAxis(ChartAxis axis) { m_view.axis = axis; }
    void setMarkers(bool shown) { m_view.markers = shown; }
    // Empties the horse list, the pair list and every series (titles stay).
    void clear();
    // Odds fields left out as damaged by the last chart build (each field of each time
    // point once).
    int damagedFields() const { return m_damaged; }

private:
    void compute(std::string_view line, bool useUmaren, bool latest, std::array<int, 19>& ranks);
    void clearSeries();

    ChartView m_view;
    int m_damaged = 0;
};

} // namespace sorvantix
