#include "core/app/request_queue.h"

#include <exception>
#include <stdexcept>
#include <utility>

namespace sorvantix {

PostToOwner postInline()
{
    return [](std::function<void()> call) { call(); };
}

Progress::Progress(std::string name, PostToOwner post, RequestEvents events)
    : m_name(std::move(name)), m_post(std::move(post)), m_events(std::move(events))
{
}

void Progress::status(const std::string& text)
{
    if (m_events.status)
        m_post([f = m_events.status, text] { f(text); });
}

void Progress::progress(int position, int maximum)
{
    if (m_events.progress)
        m_post([f = m_events.progress, position, maximum] { f(position, maximum); });
}

void Progress::post(std::function<void()> call)
{
    m_post(std::move(call));
}

RequestQueue::RequestQueue(PostToOwner post) : m_post(std::move(post)), m_worker([this] { run(); })
{
}

RequestQueue::~RequestQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_waiting.clear();
        if (m_running)
            m_cancel = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

std::uint64_t RequestQueue::submit(std::string name, Work work, RequestEvents events)
{
    std::uint64_t id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextId++;
        m_waiting.push_back({id, std::move(name), std::move(work), std::move(events)});
    }
    m_wake.notify_one();
    return id;
}

void RequestQueue::cancelCurrent()
{
    // Under the lock, so a flag meant for one request can never be left standing for
    // the next: the worker resets it under the same lock when it takes a request.
    std::lock_guard lock(m_mutex);
    if (m_running)
        m_cancel = true;
}

std::string RequestQueue::current() const
{
    std::lock_guard lock(m_mutex);
    return m_running ? m_current : std::string();
}

std::size_t RequestQueue::waiting() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting.size();
}

bool RequestQueue::idle() const
{
    std::lock_guard lock(m_mutex);
    return !m_running && m_waiting.empty();
}

void RequestQueue::run()
{
    for (;;) {
        Entry entry;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_waiting.empty(); });
            if (m_stop)
                return;
            entry = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_current = entry.name;
            m_running = true;
            m_cancel = false;
        }
        execute(entry);
    }
}

void RequestQueue::execute(Entry& entry)
{
    RequestOutcome outcome;
    outcome.id = entry.id;
    outcome.name = entry.name;
    Progress progress(entry.name, m_post, entry.events);
    try {
        entry.work(progress, m_cancel);
        outcome.end = m_cancel ? RequestOutcome::End::Cancelled : RequestOutcome::End::Completed;
    } catch (const std::exception& e) {
        outcome.end = RequestOutcome::End::Failed;
        outcome.error = e.what();
    } catch (...) {
        outcome.end = RequestOutcome::End::Failed;
        outcome.error = "unknown error in request " + entry.name;
    }
    {
        // Idle before the outcome is posted, so an owner that looks at the queue when
        // the outcome arrives sees it free.
        std::lock_guard lock(m_mutex);
        m_running = false;
        m_current.clear();
    }
    if (entry.events.done)
        m_post([f = entry.events.done, outcome] { f(outcome); });
}

void TaskInbox::post(std::function<void()> call)
{
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    m_arrived.notify_all();
}

PostToOwner TaskInbox::poster()
{
    return [this](std::function<void()> call) { post(std::move(call)); };
}

std::size_t TaskInbox::drain()
{
    // One at a time, so a call that throws leaves the later ones queued, and calls
    // posted while draining wait for the next drain.
    std::size_t count = 0;
    {
        std::lock_guard lock(m_mutex);
        count = m_calls.size();
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::function<void()> call;
        {
            std::lock_guard lock(m_mutex);
            call = std::move(m_calls.front());
            m_calls.pop_front();
        }
        call();
    }
    return count;
}

bool TaskInbox::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    drain();
    while (!done()) {
        {
            std::unique_lock lock(m_mutex);
            if (!m_arrived.wait_until(lock, deadline, [this] { return !m_calls.empty(); }))
                return done();
        }
        drain();
    }
    return true;
}

} // namespace sorvantix
