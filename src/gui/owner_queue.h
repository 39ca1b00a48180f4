#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace sorvantix::gui {

// Calls that the request queue's worker thread posts to the Qt event loop. The calls
// wait in a queue of our own under a mutex; the worker only emits a queued signal to
// wake the loop, which then runs the waiting calls in order. So the hand-off is our
// own synchronisation (which ThreadSanitizer sees), and no object of ours is made on
// the worker for Qt to destroy on the main thread. Each signal runs the oldest call.
class OwnerQueue : public QObject
{
    Q_OBJECT

public:
    OwnerQueue();

    // From any thread.
    void post(std::function<void()> call);

signals:
    void posted();

private:
    void runWaiting();

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
};

} // namespace sorvantix::gui
