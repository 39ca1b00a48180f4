#include "core/app/card_acquisition.h"

#include "core/app/settings_keys.h"
#include "core/jvlink/jv_link.h"
#include "core/jvlink/jv_result_text.h"
#include "core/store/batched_card_writer.h"
#include "core/store/race_card_files.h"
#include "core/store/realtime_cards.h"
#include "core/store/record_views.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/format.h"
#include "core/text/ini_file.h"
#include "core/text/person.h"

#include <algorithm>

namespace sorvantix {

namespace {

constexpr const char* kNoNewData = "最新のデータがありません。";
const std::string kCancelled(kCardCancelledText);
constexpr long long kSecondsPerDay = 24 * 60 * 60;

bool isLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

bool isPossible(const LocalDateTime& t)
{
    return t.year >= 1 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= daysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

// Digits of text[pos, pos+len) as a number; nullopt when any is not a digit.
std::optional<int> digitsAt(std::string_view text, size_t pos, size_t len)
{
    if (pos + len > text.size())
        return std::nullopt;
    int value = 0;
    for (char c : text.substr(pos, len)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<LocalDateTime> parseLastTime(std::string_view text)
{
    text = trimmed(text);
    if (text.size() != 10 && text.size() != 19)
        return std::nullopt;
    if (text[4] != '/' || text[7] != '/')
        return std::nullopt;
    auto y = digitsAt(text, 0, 4), mo = digitsAt(text, 5, 2), d = digitsAt(text, 8, 2);
    if (!y || !mo || !d)
        return std::nullopt;
    LocalDateTime t{*y, *mo, *d, 0, 0, 0};
    if (text.size() == 19) {
        if (text[10] != ' ' || text[13] != ':' || text[16] != ':')
            return std::nullopt;
        auto h = digitsAt(text, 11, 2), mi = digitsAt(text, 14, 2), s = digitsAt(text, 17, 2);
        if (!h || !mi || !s)
            return std::nullopt;
        t.hour = *h;
        t.minute = *mi;
        t.second = *s;
    }
    return isPossible(t) ? std::optional(t) : std::nullopt;
}

std::optional<LocalDateTime> parseFromTime(std::string_view digits14)
{
    if (digits14.size() != 14)
        return std::nullopt;
    auto y = digitsAt(digits14, 0, 4), mo = digitsAt(digits14, 4, 2), d = digitsAt(digits14, 6, 2);
    auto h = digitsAt(digits14, 8, 2), mi = digitsAt(digits14, 10, 2),
         s = digitsAt(digits14, 12, 2);
    if (!y || !mo || !d || !h || !mi || !s)
        return std::nullopt;
    LocalDateTime t{*y, *mo, *d, *h, *mi, *s};
    return isPossible(t) ? std::optional(t) : std::nullopt;
}

std::string fromTimeText(const LocalDateTime& t)
{
    return format("%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

std::string cardStartMessage(const LocalDateTime& t)
{
    return format("%04d年%02d月%02d日%02d時%02d分%02d秒", t.year, t.month, t.day, t.hour, t.minute,
                  t.second) +
           "以降のデータ取込を開始します。データ作成が終了するまで本ソフトを操作したり他の"
           "アプリケーションを操作することは極力避けてください。";
}

int setJvLinkProperties(JvLink& jvLink, Person& person)
{
    const int code = jvLink.JVSetUIProperties();
    if (code != 0) {
        person.beep();
        person.information("JVSetUIPropertiesエラー：" + JvResultText("JVSetUIProperties", code));
    }
    return code;
}

TGetDataForm::TGetDataForm(JvLink& jvLink, std::filesystem::path appDir, const TIniGT& ini,
                           const Clock& clock, Person& person, std::atomic<bool>& stopFlag,
                           ProgressSink progress)
    : m_jvLink(jvLink), m_appDir(std::move(appDir)), m_ini(ini), m_clock(clock), m_person(person),
      m_stop(stopFlag), m_progress(std::move(progress))
{
}

void TGetDataForm::notify()
{
    if (m_progress)
        m_progress(m_view);
}

void TGetDataForm::setProgressLabel(const std::string& text)
{
    m_view.ProgressLabel = text;
    notify();
}

void TGetDataForm::FormCreate()
{
    const std::string stored = readSetting(m_ini, settings::kLastTime);
    m_view.rbtSetup = trimmed(stored).empty();
    // A stored text that is not a date falls back to the first-use default instead
    // of keeping the window from opening.
    const LocalDateTime fallback = m_clock.now().addSeconds(-366 * kSecondsPerDay);
    m_view.DateTimePicker1 = parseLastTime(stored).value_or(fallback);
    m_view.Label5 = dateTimeText(m_view.DateTimePicker1);
    notify();
}

void TGetDataForm::setSetup(bool setup)
{
    m_view.rbtSetup = setup;
}

void TGetDataForm::setFromDate(const LocalDateTime& from)
{
    m_view.DateTimePicker1 = from;
}

void TGetDataForm::ButtonStartClick()
{
    // A second open inside a running one would only fail and close the running stream.
    if (m_phase != Phase::Idle)
        return;
    if (m_announceStart)
        m_person.information(cardStartMessage(m_view.DateTimePicker1));

    m_view.TimerJVStatusEnabled = false;
    m_stop = false;
    m_view.ProgressBar1Position = 0;
    m_view.ProgressBar2Position = 0;
    m_view.ListBox1.clear();
    m_outcome = CardRunOutcome::NotRun;
    m_closeResult = 0;
    m_stored = 0;
    m_refused = 0;
    m_firstRefusal.clear();
    m_storeError.clear();

    const std::string fromTime = fromTimeText(m_view.DateTimePicker1);
    m_fromDate = toIntDef(fromTime.substr(0, 8), 0);
    const int option = m_view.rbtSetup ? jv::kOptionSetup : jv::kOptionNormal;
    m_view.busyCursor = true;
    notify();

    m_readCount = 0;
    m_downloadCount = 0;
    m_lastFileTimestamp.clear();
    const int code = m_jvLink.JVOpen(std::string(jv::kSpecRace), fromTime, option, m_readCount,
                                     m_downloadCount, m_lastFileTimestamp);
    if (code == jv::kOpenNoData || (code == 0 && m_readCount <= 0)) {
        m_person.beep();
        m_person.information(kNoNewData);
        m_outcome = CardRunOutcome::NoNewData;
        CloseRaceCards();
        return;
    }
    if (code != 0) {
        m_person.beep();
        m_person.information("JVOpenエラー:" + JvResultText("JVOpen", code));
        m_outcome = CardRunOutcome::OpenFailed;
        CloseRaceCards();
        return;
    }

    setProgressLabel("JVOpen正常:" + JvResultText("JVOpen", 0));
    setProgressLabel(format("ReadCount:%d, DownloadCount:%d", m_readCount, m_downloadCount));
    if (m_downloadCount > 0) {
        m_view.ProgressBar1Max = m_downloadCount;
        m_view.TimerJVStatusEnabled = true;
        m_phase = Phase::Downloading;
        m_outcome = CardRunOutcome::Downloading;
        setProgressLabel("ダウンロード中・・・");
        return;
    }
    m_view.ProgressBar1Max = 100;
    m_view.ProgressBar1Position = 100;
    notify();
    readAndClose();
    if (m_outcome == CardRunOutcome::Completed)
        saveLastTime();
}

void TGetDataForm::TimerJVStatusTimer()
{
    if (!m_view.TimerJVStatusEnabled || m_phase != Phase::Downloading)
        return;
    if (m_stop) {
        carryOutCancel(true);
        // Closing here too: a stream left open would refuse every later open.
        CloseRaceCards();
        m_phase = Phase::Idle;
        return;
    }
    const int n = m_jvLink.JVStatus();
    if (n < 0) {
        m_person.beep();
        m_person.information("JVStatusエラー:" + JvResultText("JVStatus", n));
        m_view.TimerJVStatusEnabled = false;
        m_outcome = CardRunOutcome::StatusFailed;
        CloseRaceCards();
        m_phase = Phase::Idle;
        return;
    }
    m_view.ProgressBar1Position = std::min(n, m_downloadCount);
    if (n < m_downloadCount) {
        setProgressLabel(format("ダウンロード中．．．(%d/%d)", n, m_downloadCount));
        return;
    }
    m_view.TimerJVStatusEnabled = false;
    setProgressLabel(format("ダウンロード中．．．(%d/%d)", n, m_downloadCount));
    // "LastTime" stays as it was on this path.
    readAndClose();
}

void TGetDataForm::readAndClose()
{
    m_phase = Phase::Reading;
    ReadRaceCards();
    CloseRaceCards();
    m_phase = Phase::Idle;
    if (m_outcome == CardRunOutcome::StoreFailed) {
        m_person.beep();
        m_person.information(m_storeError);
    }
}

void TGetDataForm::ReadRaceCards()
{
    m_fileCounter = 0;
    m_view.ProgressBar2Position = 0;
    m_view.ProgressBar2Max = m_readCount;
    setProgressLabel(format("データ読込み中．．．(0/%d)", m_readCount));

    // The import holds the folder from the first record to the last write: the writer
    // keeps day files in memory, which another program's writes would make stale.
    std::optional<WriteLock> lock;
    try {
        lock.emplace();
    } catch (const std::exception& e) {
        m_outcome = CardRunOutcome::StoreFailed;
        m_storeError = e.what();
        return;
    }
    BatchedCardWriter writer(m_appDir, CardWriter::Bulk);
    try {
        const JvReadEnd end = readJvStream(
            m_jvLink, [this] { return m_stop.load(); },
            [&](const std::string& record) { storeRecord(record, writer); },
            [&] {
                ++m_fileCounter;
                m_view.ProgressBar2Position = std::min(m_fileCounter, m_readCount);
                setProgressLabel(format("データ読込み中．．．(%d/%d)", m_fileCounter, m_readCount));
            });
        if (end.cancelled) {
            carryOutCancel(true);
        } else if (end.code == jv::kReadEnd) {
            // Written before the end is announced, so "完了" means on disk.
            writer.flush();
            setProgressLabel("JVRead EndOfFile :0");
            m_view.ProgressBar1Position = 0;
            m_view.ProgressBar2Position = 0;
            setProgressLabel(format("データ読込み完了(%d/%d)", m_fileCounter, m_readCount));
            m_person.beep();
            m_outcome = CardRunOutcome::Completed;
        } else {
            m_person.beep();
            m_person.information("JVReadエラー:" + JvResultText("JVRead", end.code));
            m_outcome = CardRunOutcome::ReadFailed;
        }
        writer.flush();
    } catch (const std::exception& e) {
        // Day files already complete are written; the run ends here.
        try {
            writer.flush();
        } catch (const std::exception&) {
        }
        m_outcome = CardRunOutcome::StoreFailed;
        m_storeError = e.what();
    }
    if (m_refused > 0) {
        m_person.beep();
        m_person.information(refusedRecordsText(m_refused, m_firstRefusal));
    }
    if (!writer.damage().empty()) {
        std::string text;
        for (const auto& d : writer.damage())
            text += (text.empty() ? "" : "\n") + d;
        m_person.beep();
        m_person.information(text);
    }
}

void TGetDataForm::storeRecord(const std::string& record, BatchedCardWriter& writer)
{
    const RecordView view(record);
    const std::string type = view.recordType();
    const bool dateOk =
        parseInt(view.yearText() + view.monthDayText()).value_or(0) >= m_fromDate - 10;
    const int race = view.raceNo().value_or(0);
    if (type == "RA" || type == "SE") {
        if (bulkSkipsDataKind(record) || !dateOk || race <= 0)
            return;
        if (type == "SE" && SeView(record).horseNo().value_or(0) <= 0)
            return;
    } else if (type == "HR") {
        if (!dateOk || race <= 0)
            return;
    } else {
        return;
    }

    CardStorePlan plan;
    try {
        plan = planCardRecord(record, CardWriter::Bulk);
    } catch (const Error& e) {
        if (m_refused++ == 0)
            m_firstRefusal = e.what();
        return;
    }
    if (plan.outcome != StoreOutcome::Stored)
        return;
    writer.store(plan);
    ++m_stored;
    std::string line = "作成済み:" + RecordView(record).raceNoText() + "R/";
    if (type == "SE")
        line += SeView(record).horseNoText() + "番/";
    line += plan.fileName;
    m_view.ListBox1.push_back(std::move(line));
    notify();
}

void TGetDataForm::CloseRaceCards()
{
    m_closeResult = m_jvLink.JVClose();
    m_view.busyCursor = false;
    notify();
    m_person.beep();
    if (m_closeResult != 0)
        m_person.information("JVCloseエラー:" + JvResultText("JVClose", m_closeResult));
}

bool TGetDataForm::ButtonCancelClick()
{
    return ButtonCancelClick(m_person);
}

bool TGetDataForm::ButtonCancelClick(Person& asker)
{
    if (!asker.question(std::string(kCardCancelQuestion)))
        return false;
    m_stop = true;
    if (m_phase == Phase::Idle)
        carryOutCancel(false);
    return true;
}

void TGetDataForm::carryOutCancel(bool stopJvLink)
{
    m_view.TimerJVStatusEnabled = false;
    if (stopJvLink)
        m_jvLink.JVCancel();
    m_person.beep();
    m_person.information(kCancelled);
    m_outcome = CardRunOutcome::Cancelled;
    setProgressLabel(kCancelled);
}

void TGetDataForm::SpeedButton1Click()
{
    setJvLinkProperties(m_jvLink, m_person);
}

void TGetDataForm::saveLastTime()
{
    const std::string stamp(trimmed(m_lastFileTimestamp));
    if (stamp.empty() || stamp == "00000000000000")
        return;
    auto t = parseFromTime(stamp);
    if (!t) {
        m_person.beep();
        m_person.information("最終ファイルのタイムスタンプが日時ではないため、取込日時を保存し"
                             "ませんでした: " +
                             stamp);
        return;
    }
    m_view.DateTimePicker1 = *t;
    m_view.Label5 = dateTimeText(*t);
    writeSetting(m_ini, settings::kLastTime, m_view.Label5);
    notify();
}

CardRunOutcome runCardAcquisition(TGetDataForm& form, const std::function<void()>& wait)
{
    form.ButtonStartClick();
    while (form.view().TimerJVStatusEnabled) {
        if (wait)
            wait();
        form.TimerJVStatusTimer();
    }
    return form.outcome();
}

} // namespace sorvantix
