#include "core/results/hit_report.h"

#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/text_file.h"

#include <algorithm>

namespace sorvantix {

namespace fs = std::filesystem;

HitThresholds hitThresholds(TekiButton button)
{
    return button == TekiButton::TekiAnaBtn ? HitThresholds{0, 0} : HitThresholds{5000, 3000};
}

namespace {

struct Kind
{
    const char* label;
    int redFrom; // payouts from here are red with icon 1, below blue with icon 2
};
constexpr Kind kQuinella{kQuinellaHitLabel, 10000};
constexpr Kind kWide{kWideHitLabel, 5000};

void addHit(const RaView& ra, const Kind& kind, const std::string& bet, int payout, HitLines& lines)
{
    const bool red = payout >= kind.redFrom;
    const std::string payoutText = format("/配当 %7d円", payout);
    // The short name stays as stored: 12 bytes of the record.
    lines.page.push_back(toCp932(std::string(red ? kHitIcon1 : kHitIcon2) +
                                 (red ? kRedText : kBlueText) + VenueShortName(ra.venue()) +
                                 PadNumber(ra.raceNoText()) + kind.label + bet + payoutText +
                                 "　") +
                         ra.shortName6Raw() + kEndText);
    lines.log.push_back(ra.yearText() + ra.monthDayText() + ra.venue() + ra.raceNoText() +
                        toCp932(std::string(kind.label) + bet + payoutText));
}

} // namespace

int collectRaceHits(std::string_view raRecord, const RaceBets& bets, const RaceResults& results,
                    TekiButton button, HitLines& lines)
{
    const RaView ra(raRecord);
    const HitThresholds limits = hitThresholds(button);
    int hits = 0;
    for (std::span<const std::string> list :
         {bets.KaiRenHon, bets.KaiRenChuAna, bets.KaiRenOoAna}) {
        for (const std::string& bet : list) {
            if (trimmed(bet).empty())
                continue;
            for (size_t i = 1; i < results.QuinellaResult.size(); ++i) {
                const ComboPayout& q = results.QuinellaResult[i];
                if (q.text == bet && q.payout > limits.quinella) {
                    addHit(ra, kQuinella, bet, q.payout, lines);
                    ++hits;
                }
            }
            for (size_t i = 1; i < results.WideResult.size(); ++i) {
                const ComboPayout& w = results.WideResult[i];
                if (w.text == bet && w.payout > limits.wide) {
                    addHit(ra, kWide, bet, w.payout, lines);
                    ++hits;
                }
            }
        }
    }
    return hits;
}

fs::path hitPageFile(const fs::path& hpUploadDir, std::string_view raRecord)
{
    const RaView ra(raRecord);
    const std::string day = ra.yearText() + ra.monthDayText();
    if (!isDigits(day))
        return {};
    return hpUploadDir / ("TK" + day + ".txt");
}

fs::path hitLogFile(const fs::path& hpUploadDir)
{
    return hpUploadDir / "Rezovuro.txt";
}

std::vector<std::string> loadHitLog(const fs::path& file)
{
    if (!fs::exists(file))
        return {toCp932(kHitLogFirstLine)};
    return readLinesRaw(file);
}

std::vector<std::string> replaceDayInHitLog(std::vector<std::string> log, std::string_view yyyymmdd,
                                            const std::vector<std::string>& dayLines)
{
    size_t at = log.size();
    std::vector<std::string> kept;
    kept.reserve(log.size() + dayLines.size());
    for (size_t i = 0; i < log.size(); ++i) {
        if (i > 0 && !yyyymmdd.empty() && log[i].starts_with(yyyymmdd)) {
            at = std::min(at, kept.size());
            continue;
        }
        kept.push_back(std::move(log[i]));
    }
    at = std::min(at, kept.size());
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at), dayLines.begin(), dayLines.end());
    return kept;
}

HitPage writeHitPage(const fs::path& hpUploadDir, const std::vector<std::string>& page,
                     std::string_view firstSlotRa, std::string_view firstListedRa)
{
    fs::path file = hitPageFile(hpUploadDir, firstSlotRa);
    if (file.empty())
        file = hitPageFile(hpUploadDir, firstListedRa);
    if (file.empty())
        throw Error("的中ファイル名を決められません: レースの日付が不正です");
    std::error_code ec;
    fs::create_directories(hpUploadDir, ec);
    if (ec || !fs::is_directory(hpUploadDir))
        throw Error("フォルダを作成できません: " + hpUploadDir.string() +
                    (ec ? ": " + ec.message() : std::string()));
    HitPage written{file, fs::exists(file, ec)};
    writeLinesRaw(file, page);
    return written;
}

void writeHitLog(const fs::path& logFile, std::vector<std::string> storedLog,
                 std::string_view yyyymmdd, const std::vector<std::string>& dayLines)
{
    writeLinesRaw(logFile, replaceDayInHitLog(std::move(storedLog), yyyymmdd, dayLines));
}

} // namespace sorvantix
