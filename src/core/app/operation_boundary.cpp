#include "core/app/operation_boundary.h"

#include <stdexcept>

namespace sorvantix {

Outcome tellFailure(Person& person, const std::string& message)
{
    person.beep();
    person.information(message);
    return Outcome::failure(message);
}

void RequestMessages::beep()
{
    add({true, {}});
}

void RequestMessages::information(const std::string& text)
{
    add({false, text});
}

bool RequestMessages::question(const std::string& text)
{
    throw std::logic_error("a queued request cannot ask: " + text);
}

void RequestMessages::status(const std::string& text)
{
    if (m_progress)
        m_progress->status(text);
}

// No request publishes anything: these belong to the owner's commands.
void RequestMessages::setClipboardText(const std::string&)
{
    throw std::logic_error("a queued request cannot use the clipboard");
}

void RequestMessages::openFile(const std::filesystem::path& file)
{
    throw std::logic_error("a queued request cannot open " + file.string());
}

void RequestMessages::add(Message m)
{
    std::lock_guard lock(m_mutex);
    m_messages.push_back(std::move(m));
}

void RequestMessages::showTo(Person& person)
{
    std::vector<Message> messages;
    {
        std::lock_guard lock(m_mutex);
        messages.swap(m_messages);
    }
    for (const auto& m : messages) {
        if (m.beep)
            person.beep();
        else
            person.information(m.text);
    }
}

void OperationBoundary::runPosted(std::function<void()> call)
{
    if (m_showingMessages) {
        m_deferred.push_back(std::move(call));
        return;
    }
    run("posted", [&] { call(); });
}

void OperationBoundary::showMessages(RequestMessages& messages)
{
    // The calls that waited run afterwards even when showing a message fails.
    struct Resume
    {
        OperationBoundary& boundary;
        ~Resume()
        {
            boundary.m_showingMessages = false;
            auto deferred = std::move(boundary.m_deferred);
            boundary.m_deferred.clear();
            try {
                for (auto& call : deferred)
                    boundary.runPosted(std::move(call));
            } catch (...) {
                // Only the person's own box can throw here; nothing to tell it.
            }
        }
    };
    m_showingMessages = true;
    Resume resume{*this};
    messages.showTo(m_person);
}

PostToOwner OperationBoundary::poster(PostToOwner post, std::shared_ptr<bool> alive)
{
    // Whatever a request posts runs only while the owner still exists, and inside the
    // boundary.
    return [this, alive = std::move(alive), post = std::move(post)](std::function<void()> call) {
        post([this, alive, call = std::move(call)]() mutable {
            if (*alive)
                runPosted(std::move(call));
        });
    };
}

} // namespace sorvantix
