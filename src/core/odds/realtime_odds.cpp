#include "core/odds/realtime_odds.h"

#include "core/jvlink/jv_link.h"
#include "core/jvlink/jv_result_text.h"
#include "core/odds/odds_files.h"
#include "core/odds/time_points.h"
#include "core/store/day_store.h"
#include "core/store/race_key.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/cp932.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/person.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <map>

namespace sorvantix {

namespace fs = std::filesystem;

OddsCollect CollectOddsRecord(std::string_view record, OddsRecvLists& lists, std::string* reason)
{
    const RecordView view(record);
    const std::string type = view.recordType();
    if (type != "O1" && type != "O2")
        return OddsCollect::Ignored;
    const std::string kind = view.dataKind();
    if (kind == "0" || kind == "9" || view.raceNo().value_or(0) <= 0)
        return OddsCollect::Ignored;

    const size_t length = static_cast<size_t>(type == "O1" ? kO1RecordSize : kO2RecordSize);
    auto refuse = [&](const std::string& why) {
        if (reason != nullptr)
            *reason = type + "レコード(キー " + fromCp932(view.raceKeyText()) + ")" + why;
        return OddsCollect::Refused;
    };
    if (record.size() != length || record.substr(length - 2) != "\r\n")
        return refuse(format("の長さが不正です: %zuバイト (CR LFを含めて%zuバイトのはず)",
                             record.size(), length));
    std::string line(record.substr(0, length - 2));
    // Two scans for one byte each (memchr) instead of one for either: a live refresh
    // hands out every record of the series again.
    if (line.find('\r') != std::string::npos || line.find('\n') != std::string::npos)
        return refuse("の途中に改行があります");
    if (!RaceKey::tryFromRecord(line))
        return refuse("のレースキー(12-27桁目)が16桁の数字ではありません");
    line[2] = '0';
    (type == "O1" ? lists.O1RecvList : lists.O2RecvList).push_back(std::move(line));
    return OddsCollect::Collected;
}

namespace {

// Race key and announcement time (positions 12-35): one stored line per key.
std::string_view announcementKey(std::string_view line)
{
    return line.size() >= 35 ? line.substr(11, 24) : line;
}

} // namespace

OddsReadResult readOddsRecords(JvLink& jvLink, OddsRecvLists& lists,
                               const std::atomic<bool>* cancel)
{
    OddsReadResult result;
    // A stream that repeats an announcement keeps its last copy only, in the place of the
    // first, so memory follows the series and not the stream's length.
    std::map<std::string, size_t, std::less<>> seenO1, seenO2;
    const size_t startO1 = lists.O1RecvList.size();
    const size_t startO2 = lists.O2RecvList.size();
    auto dedupeLast = [](std::vector<std::string>& list, size_t start,
                         std::map<std::string, size_t, std::less<>>& seen) {
        if (list.size() <= start)
            return;
        const std::string_view key = announcementKey(list.back());
        auto found = seen.find(key);
        if (found == seen.end()) {
            seen.emplace(std::string(key), list.size() - 1);
            return;
        }
        list[found->second] = std::move(list.back());
        list.pop_back();
    };
    const JvReadEnd end = readJvStream(
        jvLink, [cancel] { return cancel != nullptr && cancel->load(); },
        [&](const std::string& record) {
            std::string reason;
            const size_t o1Before = lists.O1RecvList.size();
            switch (CollectOddsRecord(record, lists, &reason)) {
            case OddsCollect::Collected:
                if (lists.O1RecvList.size() > o1Before)
                    dedupeLast(lists.O1RecvList, startO1, seenO1);
                else
                    dedupeLast(lists.O2RecvList, startO2, seenO2);
                break;
            case OddsCollect::Refused:
                if (result.refused++ == 0)
                    result.firstRefusal = reason;
                break;
            case OddsCollect::Ignored:
                break;
            }
        });
    result.end = end.cancelled ? 0 : end.code;
    result.cancelled = end.cancelled;
    return result;
}

std::string otherRaceLinesText(std::string_view raceKey, int count)
{
    return format("レース %s の取得で他のレースのオッズ%d件を受け取りました。保存していません",
                  std::string(raceKey).c_str(), count);
}

int storeOddsSeries(const fs::path& appDir, std::string_view raceKey,
                    std::vector<std::string> lines, std::string_view extension)
{
    // A record of another race must never replace that race's series, nor name a file.
    const int dropped = static_cast<int>(dropOtherRaceLines(lines, raceKey));
    if (lines.empty())
        return dropped;
    // The service keeps a series and only adds to it: a read holding fewer announcements
    // than the file (a flash request, a stream that ended early) is no newer data. The
    // file becomes the union by announcement time, the read's record winning.
    WriteLock lock;
    std::map<std::string, std::string> byTime;
    const fs::path file = oddsFilePath(appDir, raceKey, extension);
    bool storedWhole = false; // the file as it is holds exactly `byTime`
    if (fs::exists(file)) {
        const int size = extension == kO1Extension ? kO1RecordSize : kO2RecordSize;
        // A damaged line whose key is not this race's could name the file: it goes.
        std::string damage;
        std::vector<std::string> storedLines = readOddsLines(file, size, &damage, true);
        const size_t read = storedLines.size();
        dropOtherRaceLines(storedLines, raceKey);
        // Whole when nothing was left out and the times rise strictly (one line per
        // time, in order); otherwise the rewrite tidies it.
        storedWhole = damage.empty() && storedLines.size() == read;
        for (size_t i = 1; storedWhole && i < storedLines.size(); ++i)
            storedWhole = OddsView(storedLines[i - 1]).announceTime() <
                          OddsView(storedLines[i]).announceTime();
        for (auto& stored : storedLines) {
            std::string time = OddsView(stored).announceTime();
            byTime[std::move(time)] = std::move(stored);
        }
    }
    bool changed = !storedWhole;
    // Only announcements later than the stored ones: they are added at the file's end.
    bool appendOnly = storedWhole && !byTime.empty();
    const std::string lastStored = byTime.empty() ? std::string() : byTime.rbegin()->first;
    std::vector<std::string> added;
    for (auto& line : lines) {
        std::string time = OddsView(line).announceTime();
        auto it = byTime.find(time);
        if (it != byTime.end() && it->second == line)
            continue; // a live refresh hands out every earlier announcement again
        changed = true;
        if (it != byTime.end() || !(lastStored < time))
            appendOnly = false;
        else
            added.push_back(time);
        byTime[std::move(time)] = std::move(line);
    }
    if (!changed)
        return dropped;
    if (appendOnly) {
        std::sort(added.begin(), added.end());
        added.erase(std::unique(added.begin(), added.end()), added.end());
        std::string bytes;
        for (const auto& time : added)
            bytes += byTime[time] + "\r\n";
        appendFileDurable(file, bytes);
        return dropped;
    }
    std::vector<std::string> merged;
    merged.reserve(byTime.size());
    // Every line is this race's, so the first names the right file.
    for (auto& entry : byTime)
        merged.push_back(std::move(entry.second));
    SaveOddsSeries(appDir, std::move(merged), extension);
    return dropped;
}

int closeOdds(JvLink& jvLink, Person& person, const ErrorLogAppend& appendError)
{
    const int code = jvLink.JVClose();
    if (code != 0) {
        person.beep();
        appendError("JVCloseエラー:" + JvResultText("JVClose", code));
    }
    return code;
}

bool CardsAreFinal(const DayStore& store)
{
    auto isKindOne = [](const std::string& record) { return RecordView(record).dataKind() == "1"; };
    for (int slot = 0; slot < kRaceSlots; ++slot) {
        const size_t s = static_cast<size_t>(slot);
        if (isKindOne(store.RaRecs[s]))
            return false;
        for (const auto& se : store.SeRecs[s])
            if (isKindOne(se))
                return false;
    }
    return true;
}

namespace {

struct OddsRequest
{
    std::string_view dataspec;
    const char* extension;
    std::vector<std::string> OddsRecvLists::*list;
};

OddsRequestOutcome runOddsRequest(JvLink& jvLink, const fs::path& appDir, const std::string& key,
                                  const std::string& place, const OddsRequest& request,
                                  OddsRecvLists& lists, int& lineCount, int& refused,
                                  Person& person, const ErrorLogAppend& appendError,
                                  const std::atomic<bool>* cancel, bool live)
{
    auto finalStep = [&] {
        person.status("");
        closeOdds(jvLink, person, appendError);
    };
    OddsRequestOutcome outcome = OddsRequestOutcome::NotRun;
    person.status(place + "オッズ取得中");
    try {
        const int code = jvLink.JVRTOpen(std::string(request.dataspec), key);
        if (code == jv::kOpenNoData && live) {
            closeOdds(jvLink, person, appendError);
            outcome = OddsRequestOutcome::NotYet;
        } else if (code != 0) {
            person.beep();
            appendError(place + "R:ｵｯｽﾞ取得エラー：" + JvResultText("JVRTOpen", code));
            closeOdds(jvLink, person, appendError);
            outcome = OddsRequestOutcome::OpenFailed;
        } else {
            std::vector<std::string>& list = lists.*request.list;
            list.clear();
            OddsReadResult read = readOddsRecords(jvLink, lists, cancel);
            if (read.end != 0) {
                person.beep();
                appendError(JvResultText("JVRead", read.end));
            }
            if (read.refused > 0)
                appendError(refusedRecordsText(read.refused, read.firstRefusal));
            refused += read.refused;
            closeOdds(jvLink, person, appendError);
            const int dropped = storeOddsSeries(appDir, key, list, request.extension);
            if (dropped > 0) {
                std::erase_if(
                    list, [&](const std::string& l) { return RecordView(l).raceKeyText() != key; });
                appendError(otherRaceLinesText(key, dropped));
                refused += dropped;
            }
            lineCount = static_cast<int>(list.size());
            outcome = read.cancelled  ? OddsRequestOutcome::Cancelled
                      : read.end != 0 ? OddsRequestOutcome::ReadFailed
                                      : OddsRequestOutcome::Stored;
        }
    } catch (...) {
        finalStep();
        throw;
    }
    finalStep();
    return outcome;
}

} // namespace

RaceOddsFetch fetchRaceOdds(JvLink& jvLink, const fs::path& appDir, std::string_view raRecord,
                            OddsRecvLists& lists, Person& person, const ErrorLogAppend& appendError,
                            const std::atomic<bool>* cancel, bool live)
{
    RaceOddsFetch result;
    // A blank slot, or one whose key is not a number, holds no race.
    auto key = RaceKey::tryFromRecord(raRecord);
    if (!key || key->text().find_first_not_of('0') == std::string::npos)
        return result;
    result.ran = true;
    const std::string place =
        VenueShortName(RaView(raRecord).venue()) + PadNumber(RaView(raRecord).raceNoText());

    static const OddsRequest kO1{jv::kSpecTanOdds, kO1Extension, &OddsRecvLists::O1RecvList};
    static const OddsRequest kO2{jv::kSpecUmarenOdds, kO2Extension, &OddsRecvLists::O2RecvList};
    result.o1 = runOddsRequest(jvLink, appDir, key->text(), place, kO1, lists, result.linesO1,
                               result.refused, person, appendError, cancel, live);
    if (result.o1 == OddsRequestOutcome::Cancelled)
        return result;
    result.o2 = runOddsRequest(jvLink, appDir, key->text(), place, kO2, lists, result.linesO2,
                               result.refused, person, appendError, cancel, live);
    return result;
}

} // namespace sorvantix
