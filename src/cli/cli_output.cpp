#include "cli/cli_output.h"

#include "core/text/cp932.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>

namespace sorvantix::cli {

using nlohmann::ordered_json;

namespace {

template <class A> ordered_json fromOne(const A& array)
{
    ordered_json out = ordered_json::array();
    for (size_t i = 1; i < array.size(); ++i)
        out.push_back(array[i]);
    return out;
}

template <class A> ordered_json flagsFromOne(const A& array)
{
    ordered_json out = ordered_json::array();
    for (size_t i = 1; i < array.size(); ++i)
        out.push_back(static_cast<int>(array[i]));
    return out;
}

ordered_json gridJson(const TextGrid& g)
{
    ordered_json rows = ordered_json::array();
    for (int r = 0; r < g.rowCount(); ++r) {
        ordered_json row = ordered_json::array();
        for (int c = 0; c < g.columnCount(); ++c)
            row.push_back(g.cell(c, r));
        rows.push_back(std::move(row));
    }
    return rows;
}

template <class A> ordered_json horsePayouts(const A& array)
{
    ordered_json out = ordered_json::array();
    for (size_t i = 1; i < array.size(); ++i)
        out.push_back({{"horse", array[i].horse},
                       {"popularity", array[i].popularity},
                       {"payout", array[i].payout}});
    return out;
}

template <class A> ordered_json comboPayouts(const A& array)
{
    ordered_json out = ordered_json::array();
    for (size_t i = 1; i < array.size(); ++i)
        out.push_back({{"text", array[i].text},
                       {"popularity", array[i].popularity},
                       {"payout", array[i].payout}});
    return out;
}

} // namespace

std::string colourText(std::uint32_t rgb)
{
    return format("#%06X", rgb & 0xFFFFFFu);
}

ordered_json analysisJson(const Workbench& wb)
{
    const WorkbenchState& s = wb.state();
    const AnalysisState& a = s.analysis;
    const AnalysisDisplay& d = s.display;
    const RaceResults& r = s.results;
    ordered_json j;
    j["race_key"] = field(s.store.RaRecs.at(static_cast<size_t>(s.SelectedRace)), 12, 16);
    j["title"] = {s.title.TitleLabel1, s.title.TitleLabel2, s.title.TitleLabel3,
                  s.title.TitleLabel4};
    j["heading"] = s.StaticText1;
    j["time"] = s.BorderLabel4;
    j["time_points"] = s.TimeCombo;
    j["time_index"] = s.TimeComboIndex;
    j["TanOdds"] = fromOne(s.odds.TanOdds);
    j["UmarenOdds"] = fromOne(s.odds.UmarenOdds);
    j["TanShare"] = fromOne(a.TanShare);
    j["UmarenShare"] = fromOne(a.UmarenShare);
    j["UmarenShareSum"] = fromOne(a.UmarenShareSum);
    j["OverallShare"] = fromOne(a.OverallShare);
    j["ShareRank"] = fromOne(a.ShareRank);
    j["PairPaRatio"] = fromOne(a.PairPaRatio);
    j["PairPaRatioRev"] = fromOne(a.PairPaRatioRev);
    j["PairPick"] = flagsFromOne(a.PairPick);
    j["PaTop3Sum"] = fromOne(a.PaTop3Sum);
    j["PaAllSum"] = fromOne(a.PaAllSum);
    j["PaOverOneRate"] = fromOne(a.PaOverOneRate);
    j["PaTop3Ratio"] = fromOne(a.PaTop3Ratio);
    j["PaAllRatio"] = fromOne(a.PaAllRatio);
    j["SuishoMark"] = flagsFromOne(a.SuishoMark);
    j["TokushoMark"] = flagsFromOne(a.TokushoMark);
    j["TargetGroupA"] = flagsFromOne(a.TargetGroupA);
    j["TargetGroupB"] = flagsFromOne(a.TargetGroupB);
    j["KasenRate"] = d.KasenRate;
    j["KaiTanHon"] = a.KaiTanHon;
    j["KaiTanAan"] = fromOne(a.KaiTanAan);
    j["KaiRenHon"] = fromOne(a.KaiRenHon);
    j["KaiRenChuAna"] = fromOne(a.KaiRenChuAna);
    j["KaiRenOoAna"] = fromOne(a.KaiRenOoAna);
    j["FinishPos"] = fromOne(r.FinishPos);
    j["WinResult"] = horsePayouts(r.WinResult);
    j["PlaceResult"] = horsePayouts(r.PlaceResult);
    j["BracketResult"] = comboPayouts(r.BracketResult);
    j["QuinellaResult"] = comboPayouts(r.QuinellaResult);
    j["WideResult"] = comboPayouts(r.WideResult);
    j["grids"] = {
        {"StringGrid1", gridJson(d.StringGrid1)}, {"StringGrid2", gridJson(d.StringGrid2)},
        {"StringGrid3", gridJson(d.StringGrid3)}, {"StringGrid4", gridJson(d.StringGrid4)},
        {"StringGrid5", gridJson(d.StringGrid5)}, {"StringGrid6", gridJson(d.StringGrid6)},
        {"StringGrid7", gridJson(d.StringGrid7)}, {"StringGrid8", gridJson(d.StringGrid8)}};
    j["labels"] = {{"KaiTanHonLbl", d.KaiTanHonLbl.text},   {"KaiTanOzHonLbl", d.KaiTanOzHonLbl},
                   {"KaiTanAanLbl1", d.KaiTanAanLbl1.text}, {"KaiTanOzAanLbl1", d.KaiTanOzAanLbl1},
                   {"KaiTanAanLbl2", d.KaiTanAanLbl2.text}, {"KaiTanOzAanLbl2", d.KaiTanOzAanLbl2},
                   {"KasenLabel", d.KasenLabel.text},       {"HaranLabel", d.HaranLabel}};
    j["label_colours"] = {{"KaiTanHonLbl", colourText(d.KaiTanHonLbl.colour)},
                          {"KaiTanAanLbl1", colourText(d.KaiTanAanLbl1.colour)},
                          {"KaiTanAanLbl2", colourText(d.KaiTanAanLbl2.colour)},
                          {"KasenLabel", colourText(d.KasenLabel.colour)}};
    return j;
}

std::string gridText(const TextGrid& g)
{
    std::vector<int> widths(static_cast<size_t>(g.columnCount()), 0);
    for (int r = 0; r < g.rowCount(); ++r)
        for (int c = 0; c < g.columnCount(); ++c)
            widths[static_cast<size_t>(c)] =
                std::max(widths[static_cast<size_t>(c)], displayWidth(g.cell(c, r)));
    std::string out;
    for (int r = 0; r < g.rowCount(); ++r) {
        std::string line;
        for (int c = 0; c < g.columnCount(); ++c) {
            if (c > 0)
                line += ' ';
            line += padLeft(g.cell(c, r), widths[static_cast<size_t>(c)]);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string analysisText(const Workbench& wb)
{
    const WorkbenchState& s = wb.state();
    const AnalysisDisplay& d = s.display;
    std::string out;
    for (const auto* line :
         {&s.title.TitleLabel1, &s.title.TitleLabel2, &s.title.TitleLabel3, &s.title.TitleLabel4})
        out += std::string(trimmed(*line)) + "\n";
    out += "\n" + s.StaticText1 + "   時刻: " + s.BorderLabel4 + "\n\n";
    out += "[分析表]\n" + gridText(d.StringGrid1) + "\n";
    out += "[参考買い目]\n";
    out += "単勝 本命： " + d.KaiTanHonLbl.text + " " + d.KaiTanOzHonLbl + "\n";
    out += "     穴　： " + d.KaiTanAanLbl1.text + " " + d.KaiTanOzAanLbl1 + "  " +
           d.KaiTanAanLbl2.text + " " + d.KaiTanOzAanLbl2 + "\n";
    out += "連勝\n" + gridText(d.StringGrid8) + gridText(d.StringGrid7) + gridText(d.StringGrid6);
    out += "上位寡占率 " + d.KasenLabel.text + "  " + d.HaranLabel + "\n\n";
    out += "[結果]\n";
    const ResultBoxes& boxes = d.resultBoxes;
    for (int sec = 0; sec < ResultBoxes::kSections; ++sec) {
        out += std::string(ResultBoxes::kCaptions[static_cast<size_t>(sec)]) + "\n";
        for (int row = 0; row < 3; ++row) {
            std::string line =
                "  " + std::string(ResultBoxes::kRowCaptions[static_cast<size_t>(row)]);
            for (const ResultBox& b : boxes.sections[static_cast<size_t>(sec)]) {
                const std::string& t = row == 0 ? b.result : row == 1 ? b.popularity : b.payout;
                line += " " + padLeft(t, 8);
            }
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            out += line + "\n";
        }
    }
    return out;
}

ordered_json chartJson(const ChartView& chart)
{
    ordered_json j;
    j["horses"] = chart.RadioGroup1;
    j["pairs"] = chart.pairList;
    ordered_json series = ordered_json::array();
    for (const ChartSeries& s : chart.series) {
        ordered_json points = ordered_json::array();
        for (const ChartPoint& p : s.points)
            points.push_back(ordered_json::array({p.x, p.label, p.y}));
        series.push_back({{"title", s.title},
                          {"in_legend", s.inLegend},
                          {"colour", colourText(s.colour)},
                          {"dash", s.dash == ChartDash::Solid ? "solid" : "dot"},
                          {"points", std::move(points)}});
    }
    j["series"] = std::move(series);
    j["axis"] = chart.axis == ChartAxis::Log ? "log" : "linear";
    j["markers"] = chart.markers;
    return j;
}

std::string chartText(const ChartView& chart)
{
    std::string out = "馬番:";
    for (size_t i = 0; i < chart.RadioGroup1.size(); ++i)
        out += (static_cast<int>(i) == chart.RadioGroup1Index ? " *" : " ") + chart.RadioGroup1[i];
    out += "\n";
    for (const auto& line : chart.pairList)
        out += line + "\n";
    for (size_t i = 0; i < chart.series.size(); ++i) {
        const ChartSeries& s = chart.series[i];
        if (s.points.empty())
            continue;
        out += format("%2zu %s %s %s%s:", i + 1, padRight(s.title, 9).c_str(),
                      colourText(s.colour).c_str(), s.dash == ChartDash::Solid ? "solid" : "dot",
                      s.inLegend ? "" : " (凡例なし)");
        for (const ChartPoint& p : s.points)
            out += format(" %s=%.3f", p.label.c_str(), p.y);
        out += "\n";
    }
    out += std::string("軸: ") + (chart.axis == ChartAxis::Log ? "対数軸" : "普通軸") +
           "  ﾏｰｶｰ: " + (chart.markers ? "表示" : "非表示") + "\n";
    return out;
}

ordered_json pageJson(const PrintPage& page)
{
    ordered_json items = ordered_json::array();
    for (const PageItem& item : page.items) {
        ordered_json j;
        switch (item.kind) {
        case PageItem::Kind::Text:
            j["kind"] = "text";
            j["x"] = item.x1;
            j["y"] = item.y1;
            j["text"] = item.text;
            j["font"] = {{"face", item.font.face},
                         {"size", item.font.size},
                         {"bold", item.font.bold},
                         {"underline", item.font.underline}};
            j["colour"] = colourText(item.textColour);
            break;
        case PageItem::Kind::Line:
        case PageItem::Kind::Rectangle:
            j["kind"] = item.kind == PageItem::Kind::Line ? "line" : "rectangle";
            j["x1"] = item.x1;
            j["y1"] = item.y1;
            j["x2"] = item.x2;
            j["y2"] = item.y2;
            j["pen"] = {{"width", item.penWidth}, {"colour", colourText(item.penColour)}};
            if (item.kind == PageItem::Kind::Rectangle)
                j["brush"] = item.brush ? ordered_json(colourText(*item.brush)) : ordered_json();
            break;
        }
        items.push_back(std::move(j));
    }
    return {{"units", "0.1mm"},
            {"page", {{"width", page.width}, {"height", page.height}}},
            {"caption", kPrintPreviewCaption},
            {"items", std::move(items)}};
}

ordered_json suishoTableJson(const SuishoTableModel& model)
{
    const TextGrid& grid = model.StringGrid5();
    ordered_json rows = ordered_json::array();
    ordered_json colours = ordered_json::array();
    for (int row = 0; row < grid.rowCount(); ++row) {
        ordered_json texts = ordered_json::array();
        ordered_json styles = ordered_json::array();
        for (int column = 0; column < grid.columnCount(); ++column) {
            texts.push_back(grid.cell(column, row));
            const CellStyle style = model.StringGrid5DrawCell(column, row);
            std::string fill = style.fill == CellStyle::Fill::Colour ? colourText(style.background)
                               : style.fill == CellStyle::Fill::InfoBackground ? "info"
                                                                               : "default";
            styles.push_back({{"background", fill},
                              {"text", colourText(style.textColour)},
                              {"draw_text", style.drawText}});
        }
        rows.push_back(std::move(texts));
        colours.push_back(std::move(styles));
    }
    return {{"title", model.title()},        {"years", model.years()},
            {"files", model.files()},        {"grid", std::move(rows)},
            {"colours", std::move(colours)}, {"warnings", model.warnings()}};
}

} // namespace sorvantix::cli
