#include "core/study/money_flow.h"

#include "core/odds/odds_arrays.h"
#include "core/odds/odds_files.h"
#include "core/store/racing_codes.h"
#include "core/store/record_views.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <algorithm>
#include <optional>

namespace sorvantix {

namespace {

enum class Reading { Absent, NoVotes, Capped, Priced };

struct Money
{
    Reading reading = Reading::Absent;
    double yen = 0;
};

Money moneyOf(std::string_view field, const char* what, int index, int pos, long long pool,
              int percent, long capTenths)
{
    auto tenths = oddsTenths(field, what, index, pos);
    if (!tenths)
        return {};
    if (*tenths == 0)
        return {Reading::NoVotes, 0};
    const double yen = double(pool) * percent / 100.0 / (double(*tenths) / 10.0);
    return {*tenths >= capTenths ? Reading::Capped : Reading::Priced, yen};
}

long long pool(std::optional<long long> yen, const char* what, const std::string& key)
{
    if (!yen)
        throw Error(std::string(what) + "の票数合計を読めません（" + key + " 発表）");
    return *yen;
}

// The entry of a runner or pair whose money is read at both announcements; nullopt
// when it has no odds at the second.
std::optional<FlowEntry> flowEntry(const Money& m0, const Money& m1)
{
    if (m1.reading == Reading::Absent)
        return std::nullopt;
    FlowEntry e;
    e.before = m0.yen;
    e.after = m1.yen;
    e.inflow = e.after - e.before;
    e.capped = m0.reading == Reading::Capped || m1.reading == Reading::Capped;
    e.noVotes = m1.reading == Reading::NoVotes;
    return e;
}

void shares(std::vector<FlowEntry>& entries)
{
    double before = 0, interval = 0;
    for (const auto& e : entries) {
        before += e.before;
        interval += std::max(0.0, e.inflow);
    }
    for (auto& e : entries) {
        e.shareBefore = before > 0 ? e.before / before : 0;
        e.shareInterval = interval > 0 ? std::max(0.0, e.inflow) / interval : 0;
        e.ratio = e.shareBefore > 0 ? e.shareInterval / e.shareBefore : 0;
    }
}

std::string list(const std::vector<std::string>& items)
{
    std::string out;
    for (const auto& s : items)
        out += (out.empty() ? "" : ", ") + s;
    return out;
}

} // namespace

MoneyFlow moneyFlow(const TimePointRecords& from, const TimePointRecords& to)
{
    MoneyFlow f;
    f.fromKey = from.timeKey;
    f.toKey = to.timeKey;
    std::vector<std::string> capped, noVotes;

    if (!from.o1.empty() && !to.o1.empty()) {
        f.winPoolFrom = pool(winPoolYen(from.o1), "単勝", from.timeKey);
        f.winPoolTo = pool(winPoolYen(to.o1), "単勝", to.timeKey);
        const O1View a(from.o1), b(to.o1);
        for (int h = 1; h <= 18; ++h) {
            const int pos = 46 + 8 * (h - 1);
            Money m0 =
                moneyOf(a.winOdds(h), "単勝", h, pos, f.winPoolFrom, kWinPayoutPercent, 9999);
            Money m1 = moneyOf(b.winOdds(h), "単勝", h, pos, f.winPoolTo, kWinPayoutPercent, 9999);
            std::optional<FlowEntry> entry = flowEntry(m0, m1);
            if (!entry)
                continue;
            FlowEntry& e = *entry;
            e.horse = h;
            if (e.capped)
                capped.push_back(format("%d番", h));
            if (e.noVotes)
                noVotes.push_back(format("%d番", h));
            f.runners.push_back(std::move(e));
        }
        shares(f.runners);
    } else {
        f.notes.push_back("単勝オッズのない発表です: 単勝の推定はありません。");
    }

    if (!from.o2.empty() && !to.o2.empty()) {
        f.quinellaPoolFrom = pool(quinellaPoolYen(from.o2), "馬連", from.timeKey);
        f.quinellaPoolTo = pool(quinellaPoolYen(to.o2), "馬連", to.timeKey);
        const O2View a(from.o2), b(to.o2);
        std::vector<std::string> cappedPairs, emptyPairs;
        for (int i = 1; i < 18; ++i) {
            for (int j = i + 1; j <= 18; ++j) {
                const int p = umarenPairNumber(i, j);
                const int pos = 45 + 13 * (p - 1);
                Money m0 = moneyOf(a.quinellaOdds(p), "馬連", p, pos, f.quinellaPoolFrom,
                                   kQuinellaPayoutPercent, 999999);
                Money m1 = moneyOf(b.quinellaOdds(p), "馬連", p, pos, f.quinellaPoolTo,
                                   kQuinellaPayoutPercent, 999999);
                std::optional<FlowEntry> entry = flowEntry(m0, m1);
                if (!entry)
                    continue;
                FlowEntry& e = *entry;
                e.horse = i;
                e.partner = j;
                e.pair = p;
                if (e.capped)
                    cappedPairs.push_back(UmarenPairText(p));
                if (e.noVotes)
                    emptyPairs.push_back(UmarenPairText(p));
                f.pairs.push_back(std::move(e));
            }
        }
        shares(f.pairs);
        // PA ratio of the interval's money, as the analysis divides the shares: the
        // pair's money over its lower runner's pair money, over the higher runner's
        // part of all the interval's pair money.
        std::array<double, 19> sum{};
        double total = 0;
        for (const auto& e : f.pairs) {
            const double in = std::max(0.0, e.inflow);
            sum[static_cast<size_t>(e.horse)] += in;
            sum[static_cast<size_t>(e.partner)] += in;
            total += 2 * in;
        }
        for (auto& e : f.pairs) {
            const double si = sum[static_cast<size_t>(e.horse)];
            const double overall = total > 0 ? sum[static_cast<size_t>(e.partner)] / total : 0;
            if (si > 0 && overall > 0)
                e.intervalPa = std::max(0.0, e.inflow) / si / overall;
            e.marked =
                !e.capped && e.ratio >= kFlowMarkRatio && e.shareInterval >= kFlowMarkMinShare;
        }
        if (!cappedPairs.empty())
            f.notes.push_back("99999.9倍以上の組（推定は上限）: " + list(cappedPairs));
        if (!emptyPairs.empty())
            f.notes.push_back("票のない組: " + list(emptyPairs));
    } else {
        f.notes.push_back("馬連オッズのない発表です: 組の推定はありません。");
    }
    if (!capped.empty())
        f.notes.push_back("999.9倍以上の馬（推定は上限）: " + list(capped));
    if (!noVotes.empty())
        f.notes.push_back("票のない馬: " + list(noVotes));
    if (f.winPoolTo < f.winPoolFrom || f.quinellaPoolTo < f.quinellaPoolFrom)
        f.notes.push_back("票数合計が減っています: 発表の順序を確かめてください。");
    return f;
}

namespace {

std::string timeText(const std::string& key)
{
    return key.size() == 8 ? key.substr(0, 2) + "/" + key.substr(2, 2) + " " + key.substr(4, 2) +
                                 ":" + key.substr(6, 2)
                           : key;
}

std::string manYen(double yen)
{
    return fixed(yen / 10000.0, 0, 1);
}

} // namespace

std::string moneyFlowText(const MoneyFlow& f)
{
    std::string out = "投票推移 " + timeText(f.fromKey) + " → " + timeText(f.toKey) + "\n";
    out +=
        format("単勝 票数合計 %s万円 → %s万円（+%s万円）\n", manYen(double(f.winPoolFrom)).c_str(),
               manYen(double(f.winPoolTo)).c_str(), manYen(f.winInflow()).c_str());
    out += format("馬連 票数合計 %s万円 → %s万円（+%s万円）\n",
                  manYen(double(f.quinellaPoolFrom)).c_str(),
                  manYen(double(f.quinellaPoolTo)).c_str(), manYen(f.quinellaInflow()).c_str());
    out += "\n馬番  前(万円)  流入(万円)  前ｼｪｱ%  区間ｼｪｱ%  比\n";
    for (const auto& e : f.runners)
        out += format("%4d %9s %11s %8s %9s %5s%s\n", e.horse, manYen(e.before).c_str(),
                      manYen(e.inflow).c_str(), fixed(e.shareBefore * 100, 0, 2).c_str(),
                      fixed(e.shareInterval * 100, 0, 2).c_str(), fixed(e.ratio, 0, 2).c_str(),
                      e.capped ? " 上限" : "");
    std::vector<const FlowEntry*> order;
    for (const auto& e : f.pairs)
        order.push_back(&e);
    std::stable_sort(order.begin(), order.end(), [](const FlowEntry* a, const FlowEntry* b) {
        if (a->marked != b->marked)
            return a->marked;
        return a->inflow > b->inflow;
    });
    out += "\n組     前(万円)  流入(万円)  前ｼｪｱ%  区間ｼｪｱ%  比    区間PA比\n";
    int shown = 0;
    for (const FlowEntry* e : order) {
        if (!e->marked && shown >= 20)
            break;
        ++shown;
        out += format("%s %9s %11s %8s %9s %5s %8s%s\n", UmarenPairText(e->pair).c_str(),
                      manYen(e->before).c_str(), manYen(e->inflow).c_str(),
                      fixed(e->shareBefore * 100, 0, 2).c_str(),
                      fixed(e->shareInterval * 100, 0, 2).c_str(), fixed(e->ratio, 0, 2).c_str(),
                      fixed(e->intervalPa, 0, 3).c_str(), e->marked ? " ◎" : "");
    }
    for (const auto& n : f.notes)
        out += n + "\n";
    return out;
}

std::pair<int, int> defaultFlowWindow(const std::vector<std::string>& timeKeys)
{
    const int last = static_cast<int>(timeKeys.size()) - 1;
    if (last <= 0)
        return {0, last};
    auto minuteOf = [](const std::string& key) {
        return toIntDef(std::string_view(key).substr(4, 2), 0) * 60 +
               toIntDef(std::string_view(key).substr(6, 2), 0);
    };
    const std::string& lastKey = timeKeys.back();
    // Without an earlier announcement within the hour, the whole series.
    int first = 0;
    for (int k = last - 1; k >= 0; --k) {
        const std::string& key = timeKeys[static_cast<size_t>(k)];
        if (key.size() < 8 || lastKey.size() < 8 || key.substr(0, 4) != lastKey.substr(0, 4) ||
            minuteOf(lastKey) - minuteOf(key) > 60)
            break;
        first = k;
    }
    return {first, last};
}

} // namespace sorvantix
