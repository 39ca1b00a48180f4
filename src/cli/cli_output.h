#pragma once

#include "core/app/suisho_table_model.h"
#include "core/app/workbench.h"

#include <nlohmann/json.hpp>
#include <string>

namespace sorvantix::cli {

// The analysis of the selected race as one JSON object (keys under the system's own
// names; arrays hold the elements of index 1 upwards).
nlohmann::ordered_json analysisJson(const Workbench& workbench);

// The same analysis as text for a terminal.
std::string analysisText(const Workbench& workbench);

// A grid as aligned text lines (columns padded by display width).
std::string gridText(const TextGrid& grid);

// "#RRGGBB".
std::string colourText(std::uint32_t rgb);

// The chart tab: horses, pairs, the 19 series, axis and markers.
nlohmann::ordered_json chartJson(const ChartView& chart);
std::string chartText(const ChartView& chart);

// The printed page's display list.
nlohmann::ordered_json pageJson(const PrintPage& page);

// The recommended-horse table: title, lists, grid texts and cell colours.
nlohmann::ordered_json suishoTableJson(const SuishoTableModel& model);

} // namespace sorvantix::cli
