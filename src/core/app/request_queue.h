#pragma once

#include "core/text/person.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace sorvantix {

// Hands a call to the thread that owns the working state (the user-interface thread)
// and returns at once; the call runs there later, in the order posted. Must be safe to
// call from any thread. The GUI posts to its event loop; programs without one use a
// TaskInbox.
using PostToOwner = std::function<void(std::function<void()>)>;

// A PostToOwner that runs the call at once on the calling thread, for requests run
// directly (the CLI, tests) instead of through a queue.
PostToOwner postInline();

// How a request ended.
struct RequestOutcome
{
    enum class End {
        Completed, // the work returned and no cancel was asked for
        Cancelled, // the work returned after its cancel flag was set
        Failed,    // the work threw; `error` holds the message
    };

    std::uint64_t id = 0;
    std::string name;
    End end = End::Completed;
    std::string error;
};

// What a request tells its owner. Each callback runs on the owner's thread (through
// the PostToOwner), in the order the request reported; any may be empty.
struct RequestEvents
{
    std::function<void(const std::string& text)> status;     // status label text
    std::function<void(int position, int maximum)> progress; // progress bar
    std::function<void(const RequestOutcome& outcome)> done; // always last
};

// The reporting side of a running request, used on the thread that runs it. Every
// report is posted to the owner's thread; nothing here touches the owner's state.
class Progress
{
public:
    Progress(std::string name, PostToOwner post, RequestEvents events);

    const std::string& name() const { return m_name; }

    void status(const std::string& text);
    void progress(int position, int maximum);
    // Any other call that has to run on the owner's thread (a message box, a reload).
    void post(std::function<void()> call);

private:
    std::string m_name;
    PostToOwner m_post;
    RequestEvents m_events;
};

// JV-Link requests, run one at a time, in the order submitted, on a worker thread the
// queue owns. A request submitted while another runs waits for its turn; none is
// refused because another is open. Reports and the outcome reach the owner through the
// PostToOwner given at construction, which must stay callable until the queue is
// destroyed. All member functions may be called from any thread.
class RequestQueue
{
public:
    // The work of one request. It runs on the worker thread, should look at `cancel`
    // between steps and return early when it is set, and reports through `progress`.
    // An exception it throws ends the request as Failed; the queue goes on.
    using Work = std::function<void(Progress& progress, const std::atomic<bool>& cancel)>;

    explicit RequestQueue(PostToOwner post);
    // Drops the requests still waiting (they never run and report nothing), sets the
    // cancel flag of the running request, waits for it to return (its outcome is still
    // posted) and stops the worker thread.
    ~RequestQueue();

    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Queues a request; returns its id (1, 2, ... in submission order).
    std::uint64_t submit(std::string name, Work work, RequestEvents events = {});

    // Sets the cancel flag of the request running now; requests waiting are not
    // affected. Does nothing while the queue is idle.
    void cancelCurrent();

    // The name of the running request, "" while idle.
    std::string current() const;
    // Requests waiting behind the running one.
    std::size_t waiting() const;
    // No request running or waiting.
    bool idle() const;

private:
    struct Entry
    {
        std::uint64_t id = 0;
        std::string name;
        Work work;
        RequestEvents events;
    };

    void run();
    void execute(Entry& entry);

    PostToOwner m_post;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Entry> m_waiting;
    std::uint64_t m_nextId = 1;
    std::string m_current; // name of the running request
    bool m_running = false;
    bool m_stop = false;
    std::atomic<bool> m_cancel{false};
    std::thread m_worker; // last: starts after the members it uses exist
};

// The owner's side for programs without an event loop (the CLI, tests): posted calls
// wait here until the owning thread runs them with drain() or runUntil().
class TaskInbox
{
public:
    // Any thread.
    void post(std::function<void()> call);
    // A PostToOwner that posts here; the inbox must outlive its users.
    PostToOwner poster();

    // Runs the calls posted so far, in order, on the calling thread; returns how many.
    std::size_t drain();

    // Runs posted calls as they arrive until `done()` holds (checked before waiting
    // and after each batch) or `timeout` has passed; returns done().
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<std::function<void()>> m_calls;
};

} // namespace sorvantix
