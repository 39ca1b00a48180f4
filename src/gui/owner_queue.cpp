#include "gui/owner_queue.h"

namespace sorvantix::gui {

OwnerQueue::OwnerQueue()
{
    connect(this, &OwnerQueue::posted, this, &OwnerQueue::runWaiting, Qt::QueuedConnection);
}

void OwnerQueue::post(std::function<void()> call)
{
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    emit posted();
}

void OwnerQueue::runWaiting()
{
    // One call a signal, as one queued call each would run: the window repaints
    // between them.
    std::function<void()> call;
    {
        std::lock_guard lock(m_mutex);
        if (m_calls.empty())
            return;
        call = std::move(m_calls.front());
        m_calls.pop_front();
    }
    call();
}

} // namespace sorvantix::gui
