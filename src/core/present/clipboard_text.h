#pragma once

#include "core/text/text_grid.h"

#include <string>
#include <string_view>

namespace sorvantix {

// Number (1..5) of the analysis grid that "ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ" copies for the active tab:
// "分析表" 1, "オッズ" 2, "個別シェア" 3, "PA比" 4, "PA比ソート" 5; any other tab 1.
int clipboardGridNumber(std::string_view tabCaption);

// ClipBtn1Click's text (UTF-8): the race title caption and CR LF, then every row of
// the grid from the header on, its cells as they are (filler spaces included) joined
// by TAB, each line ending in CR LF. A grid without columns gives the title line
// followed by one empty line per row.
std::string clipboardText(std::string_view title, const TextGrid& grid);

} // namespace sorvantix
