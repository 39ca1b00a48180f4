#include "core/present/clipboard_text.h"

#include <array>

namespace sorvantix {

int clipboardGridNumber(std::string_view tabCaption)
{
    static constexpr std::array<std::string_view, 5> kTabs{"分析表", "オッズ", "個別シェア", "PA比",
                                                           "PA比ソート"};
    for (size_t i = 0; i < kTabs.size(); ++i)
        if (kTabs[i] == tabCaption)
            return static_cast<int>(i) + 1;
    return 1;
}

std::string clipboardText(std::string_view title, const TextGrid& grid)
{
    std::string text(title);
    text += "\r\n";
    for (int row = 0; row < grid.rowCount(); ++row) {
        for (int col = 0; col < grid.columnCount(); ++col) {
            if (col > 0)
                text += '\t';
            text += grid.cell(col, row);
        }
        text += "\r\n";
    }
    return text;
}

} // namespace sorvantix
