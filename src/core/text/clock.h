#pragma once

#include <compare>
#include <mutex>
#include <string>

namespace sorvantix {

// A local calendar date and wall-clock time, as the program shows and compares it.
struct LocalDateTime
{
    int year = 2000;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;   // 0-23
    int minute = 0; // 0-59
    int second = 0; // 0-59

    auto operator<=>(const LocalDateTime&) const = default;

    // The same moment moved by `seconds` (may be negative), across days, months and
    // years.
    LocalDateTime addSeconds(long long seconds) const;
    // The seconds from this moment to `later` (negative when it is earlier).
    long long secondsUntil(const LocalDateTime& later) const;
};

// "yyyy/mm/dd hh:nn:ss".
std::string dateTimeText(const LocalDateTime& t);

// "hh:nn:ss".
std::string timeText(const LocalDateTime& t);

// Where the program takes the current time from; the error log and the timers ask it,
// so tests can fix or advance the time.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

// The machine's local time.
class SystemClock : public Clock
{
public:
    LocalDateTime now() const override;
};

// A clock that stands still until it is set or advanced. It may be read from another
// thread (the replay JV-Link on the request thread) while it is set.
class SettableClock : public Clock
{
public:
    explicit SettableClock(LocalDateTime start = {}) : m_now(start) {}

    LocalDateTime now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void set(const LocalDateTime& t)
    {
        std::lock_guard lock(m_mutex);
        m_now = t;
    }
    void advanceSeconds(long long seconds)
    {
        std::lock_guard lock(m_mutex);
        m_now = m_now.addSeconds(seconds);
    }

private:
    mutable std::mutex m_mutex;
    LocalDateTime m_now;
};

} // namespace sorvantix
