#include "core/store/realtime_cards.h"

#include "core/jvlink/jv_link.h"
#include "core/jvlink/jv_result_text.h"
#include "core/store/batched_card_writer.h"
#include "core/store/race_card_files.h"
#include "core/text/error.h"
#include "core/text/format.h"
#include "core/text/person.h"

namespace sorvantix {

std::string refusedRecordsText(int count, const std::string& firstReason)
{
    return format("取り込めないレコードを%d件読み飛ばしました。最初のレコード: ", count) +
           firstReason;
}

RealtimeCardsResult ReadRealtimeCards(JvLink& jvLink, const std::filesystem::path& appDir,
                                      const ErrorLogAppend& appendError,
                                      const std::atomic<bool>* cancel, std::string_view day)
{
    RealtimeCardsResult result;
    std::string firstRefusal;
    // The day's files are written once at the end instead of once per record; the
    // result is the same bytes.
    BatchedCardWriter writer(appDir, CardWriter::Realtime);
    try {
        const JvReadEnd end = readJvStream(
            jvLink, [cancel] { return cancel != nullptr && cancel->load(); },
            [&](const std::string& record) {
                CardStorePlan plan;
                try {
                    plan = planCardStore(appDir, record, CardWriter::Realtime);
                } catch (const Error& e) {
                    if (result.refused++ == 0)
                        firstRefusal = e.what();
                    return;
                }
                if (plan.outcome != StoreOutcome::Stored)
                    return;
                if (!day.empty() && plan.day.digits() != day) {
                    // Like a record for a day without its files: dropped, counted.
                    ++result.otherDay;
                    ++result.dropped;
                    return;
                }
                if (writer.store(record) == StoreOutcome::Stored)
                    ++result.stored;
                else
                    ++result.dropped;
            });
        result.cancelled = end.cancelled;
        result.readEnd = end.cancelled ? 0 : end.code;
        writer.flush();
    } catch (...) {
        // What was merged before the failure is kept where it can still be written.
        try {
            writer.flush();
        } catch (...) {
        }
        throw;
    }
    if (result.readEnd != 0)
        appendError(JvResultText("JVRead", result.readEnd));
    if (result.refused > 0)
        appendError(refusedRecordsText(result.refused, firstRefusal));
    for (const auto& damage : writer.damage())
        appendError(damage);

    return result;
}

int CloseRealtimeCards(JvLink& jvLink, bool AutoResultMode, Person& person,
                       const ErrorLogAppend& appendError)
{
    const int code = jvLink.JVClose();
    if (code != 0)
        appendError("JVCloseエラー:" + JvResultText("JVClose", code));
    else if (!AutoResultMode)
        person.beep();
    return code;
}

} // namespace sorvantix
