#pragma once

#include "core/app/request_queue.h"
#include "core/text/error.h"
#include "core/text/outcome.h"
#include "core/text/person.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

namespace sorvantix {

// Beeps, shows `message` and returns it as a failure.
Outcome tellFailure(Person& person, const std::string& message);

// The one way a fault reaches a person: whatever `operation` throws becomes a beep and
// an information box, and a failed Outcome with the message. Input faults (Error) are
// shown as they are, since they say what failed and where, and so are the system's
// refusals (std::system_error, std::filesystem::filesystem_error); anything else is our own
// fault and says in which operation (`where`). An AlreadyTold failure (an Error
// without a message) says nothing more. `operation` returns an Outcome, or nothing
// (Done).
template <class F> Outcome runGuarded(Person& person, const char* where, F&& operation)
{
    try {
        if constexpr (std::is_void_v<decltype(operation())>) {
            operation();
            return Outcome::done();
        } else {
            return operation();
        }
    } catch (const Error& e) {
        // An AlreadyTold failure, or one with nothing to say, adds no box.
        if (*e.what() == '\0')
            return Outcome::failure("");
        return tellFailure(person, e.what());
    } catch (const std::system_error& e) {
        // The system refused (a folder that cannot be made, a full disk): it says what.
        return tellFailure(person, e.what());
    } catch (const std::exception& e) {
        return tellFailure(person, std::string("内部エラー (") + where + "): " + e.what());
    } catch (...) {
        return tellFailure(person, std::string("内部エラー (") + where + ")");
    }
}

// The person of a request on the worker thread: beeps and boxes are kept, in order,
// and shown on the owner's thread once the request's completion has been handled;
// status texts go to the request's progress at once (they do not block). A request
// cannot wait for an answer or publish, so question(), setClipboardText() and
// openFile() throw std::logic_error.
class RequestMessages : public Person
{
public:
    void bind(Progress& progress) { m_progress = &progress; }

    void beep() override;
    void information(const std::string& text) override;
    bool question(const std::string& text) override;
    void status(const std::string& text) override;
    void setClipboardText(const std::string& text) override;
    void openFile(const std::filesystem::path& file) override;

    // On the owner's thread, after the request's end was posted: shows what was kept.
    void showTo(Person& person);

private:
    struct Message
    {
        bool beep;
        std::string text;
    };
    void add(Message m);

    Progress* m_progress = nullptr;
    std::mutex m_mutex;
    std::vector<Message> m_messages;
};

// The Workbench's boundary: runGuarded for every operation, counted, so that when the
// outermost one ends `outermostEnded` runs (the listeners hear what changed), and
// the calls requests post back, which run inside it in the order posted.
class OperationBoundary
{
public:
    OperationBoundary(Person& person, std::function<void()> outermostEnded)
        : m_person(person), m_outermostEnded(std::move(outermostEnded))
    {
    }

    template <class F> Outcome run(const char* where, F&& operation)
    {
        ++m_depth;
        Outcome outcome = runGuarded(m_person, where, std::forward<F>(operation));
        leave();
        return outcome;
    }
    // Beeps, shows the message and returns it as a failure.
    Outcome fail(const std::string& message) { return tellFailure(m_person, message); }
    // Whether an operation is running (its end tells the listeners).
    bool inside() const { return m_depth > 0; }

    // Counts a call that cannot throw as an operation, without the box: the error log,
    // whose own failure is said in the status label.
    template <class F> Outcome counted(F&& call)
    {
        ++m_depth;
        Outcome outcome = call();
        leave();
        return outcome;
    }

    // A call a request posted: runs inside the boundary, or waits while a request's
    // messages are shown, so a modal box's nested event loop cannot run it out of order.
    void runPosted(std::function<void()> call);
    // Shows a request's messages to the person; posted calls wait until they are shown.
    void showMessages(RequestMessages& messages);
    // A PostToOwner for a request queue: `post` hands the call to the owner's thread,
    // where it runs through runPosted while `alive` holds.
    PostToOwner poster(PostToOwner post, std::shared_ptr<bool> alive);

private:
    void leave()
    {
        if (--m_depth == 0 && m_outermostEnded)
            m_outermostEnded();
    }

    Person& m_person;
    std::function<void()> m_outermostEnded;
    int m_depth = 0;
    bool m_showingMessages = false;
    std::vector<std::function<void()>> m_deferred;
};

} // namespace sorvantix
