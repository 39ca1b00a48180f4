#include "core/app/operation_boundary.h"
#include "core/app/recording_person.h"
#include "core/app/request_queue.h"

#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace sorvantix {
namespace {

using namespace std::chrono_literals;
using End = RequestOutcome::End;

// Every wait is bounded, so a fault fails the test instead of hanging it; the bound
// is never what a test asserts.
constexpr auto kBound = 10s;

// A one-shot signal between threads.
class Gate
{
public:
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_cv.notify_all();
    }
    bool wait()
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, kBound, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

// Waits until the cancel flag is set (it is an atomic outside any lock, so look again
// now and then); false when it never comes.
bool waitForCancel(const std::atomic<bool>& cancel)
{
    auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!cancel) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct Recorder
{
    std::mutex mutex;
    std::vector<std::string> ran; // names, in the order the work started
    std::vector<RequestOutcome> outcomes;

    void started(const std::string& name)
    {
        std::lock_guard lock(mutex);
        ran.push_back(name);
    }
    RequestEvents events()
    {
        RequestEvents e;
        e.done = [this](const RequestOutcome& o) { outcomes.push_back(o); };
        return e;
    }
};

TEST(RequestQueueTest, RequestsArrivingWhileOneRunsWaitAndRunInOrder)
{
    TaskInbox inbox;
    Recorder rec;
    RequestQueue queue(inbox.poster());
    Gate aStarted, releaseA;

    queue.submit(
        "A",
        [&](Progress&, const std::atomic<bool>&) {
            rec.started("A");
            aStarted.open();
            ASSERT_TRUE(releaseA.wait());
        },
        rec.events());
    ASSERT_TRUE(aStarted.wait());
    for (const char* name : {"B", "C", "D"})
        queue.submit(
            name,
            [&rec, n = std::string(name)](Progress&, const std::atomic<bool>&) { rec.started(n); },
            rec.events());

    // A holds the worker: the others wait behind it and have not started.
    EXPECT_EQ(queue.current(), "A");
    EXPECT_EQ(queue.waiting(), 3u);
    {
        std::lock_guard lock(rec.mutex);
        EXPECT_EQ(rec.ran, std::vector<std::string>{"A"});
    }

    releaseA.open();
    ASSERT_TRUE(inbox.runUntil([&] { return rec.outcomes.size() == 4; }, kBound));
    EXPECT_EQ(rec.ran, (std::vector<std::string>{"A", "B", "C", "D"}));
    std::vector<std::string> doneOrder;
    for (const auto& o : rec.outcomes) {
        doneOrder.push_back(o.name);
        EXPECT_EQ(o.end, End::Completed) << o.name;
    }
    EXPECT_EQ(doneOrder, (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(rec.outcomes[0].id, 1u);
    EXPECT_EQ(rec.outcomes[3].id, 4u);
    EXPECT_TRUE(queue.idle());
}

TEST(RequestQueueTest, CancelReachesOnlyTheRunningRequest)
{
    TaskInbox inbox;
    Recorder rec;
    RequestQueue queue(inbox.poster());
    Gate aStarted;
    std::atomic<bool> aSawCancel{false};
    std::atomic<bool> bSawCancel{true};

    queue.submit(
        "A",
        [&](Progress&, const std::atomic<bool>& cancel) {
            aStarted.open();
            aSawCancel = waitForCancel(cancel);
        },
        rec.events());
    ASSERT_TRUE(aStarted.wait());
    queue.submit(
        "B", [&](Progress&, const std::atomic<bool>& cancel) { bSawCancel = cancel.load(); },
        rec.events());
    queue.cancelCurrent();

    ASSERT_TRUE(inbox.runUntil([&] { return rec.outcomes.size() == 2; }, kBound));
    EXPECT_TRUE(aSawCancel);
    EXPECT_FALSE(bSawCancel);
    EXPECT_EQ(rec.outcomes[0].end, End::Cancelled);
    EXPECT_EQ(rec.outcomes[1].end, End::Completed);

    // Cancelling an idle queue leaves nothing behind for the next request.
    queue.cancelCurrent();
    std::atomic<bool> cSawCancel{true};
    queue.submit(
        "C", [&](Progress&, const std::atomic<bool>& cancel) { cSawCancel = cancel.load(); },
        rec.events());
    ASSERT_TRUE(inbox.runUntil([&] { return rec.outcomes.size() == 3; }, kBound));
    EXPECT_FALSE(cSawCancel);
    EXPECT_EQ(rec.outcomes[2].end, End::Completed);
}

TEST(RequestQueueTest, ReportsRunOnTheOwnersThreadInOrder)
{
    TaskInbox inbox;
    RequestQueue queue(inbox.poster());
    const auto owner = std::this_thread::get_id();
    std::thread::id worker;
    std::vector<std::string> seen;
    std::vector<std::thread::id> threads;
    bool done = false;

    RequestEvents events;
    events.status = [&](const std::string& text) {
        seen.push_back("status " + text);
        threads.push_back(std::this_thread::get_id());
    };
    events.progress = [&](int position, int maximum) {
        seen.push_back("progress " + std::to_string(position) + "/" + std::to_string(maximum));
        threads.push_back(std::this_thread::get_id());
    };
    events.done = [&](const RequestOutcome& o) {
        seen.push_back("done " + o.name);
        threads.push_back(std::this_thread::get_id());
        done = true;
    };
    test::RecordingPerson person;
    // The request's beeps and boxes are kept and shown on the owner's thread at its end.
    auto messages = std::make_shared<RequestMessages>();
    events.done = [&, done = events.done](const RequestOutcome& o) {
        done(o);
        EXPECT_EQ(person.beeps, 0);
        messages->showTo(person);
    };
    queue.submit(
        "odds",
        [&](Progress& progress, const std::atomic<bool>&) {
            worker = std::this_thread::get_id();
            messages->bind(progress);
            messages->status("中山11オッズ取得中");
            progress.progress(1, 2);
            messages->beep();
            messages->information("JVReadエラー:");
            progress.status("");
        },
        events);

    ASSERT_TRUE(inbox.runUntil([&] { return done; }, kBound));
    EXPECT_NE(worker, owner);
    EXPECT_EQ(seen, (std::vector<std::string>{"status 中山11オッズ取得中", "progress 1/2",
                                              "status ", "done odds"}));
    for (auto id : threads)
        EXPECT_EQ(id, owner);
    EXPECT_EQ(person.beeps, 1);
    EXPECT_EQ(person.messages, std::vector<std::string>{"JVReadエラー:"});
}

TEST(RequestQueueTest, AFailingRequestIsReportedAndTheQueueGoesOn)
{
    TaskInbox inbox;
    Recorder rec;
    RequestQueue queue(inbox.poster());
    queue.submit(
        "bad", [](Progress&, const std::atomic<bool>&) { throw std::runtime_error("disk full"); },
        rec.events());
    queue.submit(
        "ask",
        [](Progress& progress, const std::atomic<bool>&) {
            RequestMessages relay;
            relay.bind(progress);
            relay.question("続けますか？");
        },
        rec.events());
    queue.submit(
        "good", [&](Progress&, const std::atomic<bool>&) { rec.started("good"); }, rec.events());

    ASSERT_TRUE(inbox.runUntil([&] { return rec.outcomes.size() == 3; }, kBound));
    EXPECT_EQ(rec.outcomes[0].end, End::Failed);
    EXPECT_EQ(rec.outcomes[0].error, "disk full");
    EXPECT_EQ(rec.outcomes[1].end, End::Failed); // a question cannot be answered from here
    EXPECT_EQ(rec.outcomes[2].end, End::Completed);
    EXPECT_EQ(rec.ran, std::vector<std::string>{"good"});
}

TEST(RequestQueueTest, DestructionEndsAfterTheRunningRequestAndDropsTheWaiting)
{
    TaskInbox inbox;
    Recorder rec;
    auto queue = std::make_unique<RequestQueue>(inbox.poster());
    Gate aStarted;
    std::atomic<bool> aFinished{false};
    std::atomic<bool> bRan{false};

    queue->submit(
        "A",
        [&](Progress&, const std::atomic<bool>& cancel) {
            aStarted.open();
            // The destructor asks the running request to stop, then waits for it.
            if (waitForCancel(cancel))
                aFinished = true;
        },
        rec.events());
    ASSERT_TRUE(aStarted.wait());
    queue->submit(
        "B", [&](Progress&, const std::atomic<bool>&) { bRan = true; }, rec.events());

    queue.reset();

    EXPECT_TRUE(aFinished);
    EXPECT_FALSE(bRan);
    inbox.drain();
    ASSERT_EQ(rec.outcomes.size(), 1u);
    EXPECT_EQ(rec.outcomes[0].name, "A");
    EXPECT_EQ(rec.outcomes[0].end, End::Cancelled);
}

TEST(RequestQueueTest, InboxDrainRunsWhatWasPostedOnlyOnce)
{
    TaskInbox inbox;
    std::vector<int> order;
    inbox.post([&] {
        order.push_back(1);
        inbox.post([&] { order.push_back(3); }); // posted while draining: next drain
    });
    inbox.post([&] { order.push_back(2); });
    EXPECT_EQ(inbox.drain(), 2u);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(inbox.drain(), 1u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(inbox.runUntil([] { return false; }, 1ms));
}

} // namespace
} // namespace sorvantix
