#include "core/analysis/suisho_file.h"

#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <system_error>
#include <unistd.h>
#include <vector>

namespace sorvantix {

std::filesystem::path suishoFilePath(const std::filesystem::path& suishoDir, const DayName& day,
                                     std::string_view venueCode)
{
    return suishoDir / (day.text() + VenueShortName(venueCode) + ".sei");
}

std::string writeSuishoLines(const std::filesystem::path& file, int raceNo, int runners,
                             std::string_view suishoList, std::string_view tokushoList)
{
    if (raceNo < 1 || raceNo > kSuishoMaxRace)
        return format("レース番号 %d は推奨馬ファイルに記録できません(1～12R のみ): ", raceNo) +
               file.string();

    // Other races' lines stay as stored, so they are kept as raw bytes.
    auto compose = [&](bool& present, std::string& stored) {
        std::error_code ec;
        present = std::filesystem::exists(file, ec);
        if (ec) // never start afresh over a file that may hold other races' lines
            throw Error("推奨馬ファイルを確認できません: " + file.string() + ": " + ec.message());
        stored = present ? readFileBytes(file) : std::string();
        std::vector<std::string> lines = splitLines(stored);
        if (lines.size() < static_cast<size_t>(kSuishoFileLines))
            lines.resize(static_cast<size_t>(kSuishoFileLines));
        const size_t first = static_cast<size_t>(5 * (raceNo - 1));
        lines[first] = toCp932(format("%2dR", raceNo));
        lines[first + 1] = toCp932(format("%2d頭", runners));
        lines[first + 2] = toCp932(suishoList);
        lines[first + 3] = toCp932(tokushoList);
        std::string bytes;
        for (const auto& line : lines)
            bytes += line + "\r\n";
        return bytes;
    };
    // Every analysis run writes these lines, mostly unchanged while the user steps
    // through time points: an identical file is left alone without taking the folder's
    // lock. A change is made again under the lock, so another program's lines of
    // another race written meanwhile stay.
    bool present = false;
    std::string stored;
    if (std::string bytes = compose(present, stored); present && bytes == stored)
        return {};
    WriteLock lock;
    std::string bytes = compose(present, stored);
    if (!present || bytes != stored)
        writeFileAtomic(file, bytes);
    return {};
}

SuishoMarks readSuishoMarks(const std::filesystem::path& file, int raceNo)
{
    SuishoMarks marks;
    if (raceNo < 1 || raceNo > kSuishoMaxRace || !std::filesystem::exists(file))
        return marks;
    const std::vector<std::string> lines = readLinesText(file);
    auto groups = [&](size_t at) {
        std::vector<std::pair<int, int>> out;
        if (at >= lines.size())
            return out;
        const std::string& line = lines[at];
        for (size_t i = 0; i + 4 <= line.size(); i += 4) {
            auto horse = parseInt(line.substr(i, 2));
            auto rank = parseInt(line.substr(i + 2, 2));
            if (horse && rank)
                out.emplace_back(*horse, *rank);
        }
        return out;
    };
    const size_t base = static_cast<size_t>(5 * (raceNo - 1));
    marks.suisho = groups(base + 2);
    marks.tokusho = groups(base + 3);
    return marks;
}

std::string markListText(const std::vector<std::pair<int, int>>& marks)
{
    std::string out;
    for (const auto& [horse, rank] : marks)
        out += " " + std::to_string(horse) + "(" + std::to_string(rank) + ")";
    return out;
}

void requireUsableSuishoFiles(const std::filesystem::path& suishoDir,
                              const std::vector<std::string>& raRecords)
{
    for (const auto& ra : raRecords) {
        const auto key = RaceKey::tryFromRecord(ra);
        if (!key)
            continue;
        const std::filesystem::path file = suishoFilePath(suishoDir, key->dayName(), key->venue());
        std::error_code ec;
        if (std::filesystem::exists(file, ec) && (!std::filesystem::is_regular_file(file, ec) ||
                                                  ::access(file.c_str(), R_OK | W_OK) != 0))
            throw Error("推奨馬ファイルを読み書きできません: " + file.string());
    }
}

} // namespace sorvantix
