// The parameter-set file (UserSet.usd) and the recommended-horse file on arbitrary
// bytes: every set of the file loaded as the analysis would, every race's marks read,
// and the table window's model opened on the file.

#include "core/analysis/suisho_file.h"
#include "core/analysis/suisho_params.h"
#include "core/app/suisho_table_model.h"
#include "core/text/error.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace sorvantix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto parts = fuzz::splitParts({reinterpret_cast<const char*>(data), size}, 2);
    const std::string_view userSet = parts[0], marks = parts[1];

    const auto dir = fuzz::freshDir("suisho");
    const auto usd = dir / kUserSetFileName;
    fuzz::writeBytes(usd, userSet);
    try {
        const auto lines = readUserSetLines(usd);
        for (int id = 0; id <= static_cast<int>(lines.size()) + 1; ++id)
            (void)loadActiveParams(id, usd);
        for (const auto& line : lines) {
            (void)suishoLineName(line);
            int bad = -1;
            (void)parseSuishoFields(splitCommaText(line), &bad);
        }
    } catch (const Error&) {
    }

    const auto suishoDir = dir / "Suisho";
    const auto file = suishoFilePath(suishoDir, DayName{2026, 12, 6}, "05");
    fuzz::writeBytes(file, marks);
    try {
        for (int race = 0; race <= kSuishoMaxRace + 1; ++race)
            (void)markListText(readSuishoMarks(file, race).suisho);
    } catch (const Error&) {
    }
    try {
        SuishoTableModel model(suishoDir);
        if (model.open()) {
            for (int c = 0; c < SuishoTableModel::kColumns; ++c)
                for (int r = 0; r < SuishoTableModel::kRows; ++r)
                    (void)model.StringGrid5DrawCell(c, r);
            (void)suishoTableText(model);
        }
    } catch (const Error&) {
    }
    return 0;
}
