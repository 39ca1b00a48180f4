#include "core/app/operation_boundary.h"
#include "core/app/recording_person.h"
#include "core/app/workbench_changes.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

namespace sorvantix {
namespace {

TEST(RunGuarded, EveryFaultBecomesOneMessageAndAFailedOutcome)
{
    test::RecordingPerson person;
    EXPECT_TRUE(runGuarded(person, "op", [] {}).isDone());
    EXPECT_EQ(runGuarded(person, "op", [] { return Outcome::nothingToDo("none"); }).kind,
              Outcome::Kind::NothingToDo);
    EXPECT_TRUE(person.messages.empty());

    // Input faults and the system's refusals say what they are.
    Outcome input = runGuarded(person, "op", []() -> Outcome { throw Error("壊れています"); });
    EXPECT_EQ(input.message, "壊れています");
    Outcome system = runGuarded(person, "op", [] {
        throw std::filesystem::filesystem_error("cannot",
                                                std::make_error_code(std::errc::io_error));
    });
    EXPECT_TRUE(system.failed());
    EXPECT_EQ(system.message.find("内部エラー"), std::string::npos);
    // Our own faults say where.
    Outcome ours = runGuarded(person, "M1Click", [] { throw std::logic_error("bug"); });
    EXPECT_EQ(ours.message, "内部エラー (M1Click): bug");
    Outcome unknown = runGuarded(person, "M1Click", [] { throw 42; });
    EXPECT_EQ(unknown.message, "内部エラー (M1Click)");
    EXPECT_EQ(person.beeps, 4);
    EXPECT_EQ(person.messages.size(), 4u);

    // A failure told already adds nothing.
    Outcome told = runGuarded(person, "op", [] { throw AlreadyTold(); });
    EXPECT_TRUE(told.failed());
    EXPECT_EQ(person.messages.size(), 4u);
    EXPECT_EQ(person.beeps, 4);
}

TEST(OperationBoundary, OnlyTheOutermostOperationTellsTheListeners)
{
    test::RecordingPerson person;
    int told = 0;
    OperationBoundary boundary(person, [&] { ++told; });
    boundary.run("outer", [&] {
        EXPECT_TRUE(boundary.inside());
        boundary.run("inner", [] { throw Error("inner failed"); });
        boundary.run("inner", [] {});
        EXPECT_EQ(told, 0);
    });
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(boundary.inside());
    EXPECT_EQ(person.messages, std::vector<std::string>{"inner failed"});
    boundary.counted([] { return Outcome::done(); });
    EXPECT_EQ(told, 2);
}

// A person whose box runs the event loop while it is open, as a modal dialog does.
class ModalPerson : public test::RecordingPerson
{
public:
    std::function<void()> whileOpen;
    void information(const std::string& text) override
    {
        RecordingPerson::information(text);
        if (whileOpen)
            whileOpen();
    }
};

TEST(OperationBoundary, CallsPostedWhileARequestsMessagesShowWaitForThem)
{
    ModalPerson person;
    std::vector<std::string> order;
    OperationBoundary boundary(person, [] {});
    TaskInbox inbox;
    auto alive = std::make_shared<bool>(true);
    PostToOwner post = boundary.poster(inbox.poster(), alive);
    person.whileOpen = [&] {
        post([&] { order.push_back("posted"); });
        inbox.drain(); // the box's own event loop
        order.push_back("box " + person.messages.back());
    };
    RequestMessages messages;
    messages.information("一つ目");
    messages.information("二つ目");
    messages.beep();
    boundary.showMessages(messages);
    EXPECT_EQ(order, (std::vector<std::string>{"box 一つ目", "box 二つ目", "posted", "posted"}));
    EXPECT_EQ(person.beeps, 1);

    // Nothing posted runs once its owner is gone.
    *alive = false;
    person.whileOpen = nullptr;
    post([&] { order.push_back("late"); });
    inbox.drain();
    EXPECT_EQ(order.size(), 4u);
}

TEST(RequestMessages, ARequestCannotAskOrPublish)
{
    RequestMessages messages;
    EXPECT_THROW(messages.question("続けますか？"), std::logic_error);
    EXPECT_THROW(messages.setClipboardText("x"), std::logic_error);
    EXPECT_THROW(messages.openFile("x.txt"), std::logic_error);
    messages.status("unbound: goes nowhere");
    test::RecordingPerson person;
    messages.showTo(person);
    EXPECT_TRUE(person.messages.empty());
}

TEST(ChangedParts, GridsAndLabelsAreToldApartAndRepeatsAreHeard)
{
    ShownState was;
    ShownState now = was;
    EXPECT_TRUE(changedParts(was, now).empty());
    AnalysisDisplay grids;
    grids.StringGrid3.resize(1, 1);
    grids.StringGrid3.setCell(0, 0, "x");
    now.display = std::make_shared<const AnalysisDisplay>(grids);
    EXPECT_EQ(changedParts(was, now).text(), "Grids");
    now = was;
    AnalysisDisplay labels;
    labels.KasenLabel.text = "50%";
    now.display = std::make_shared<const AnalysisDisplay>(labels);
    EXPECT_EQ(changedParts(was, now).text(), "Labels");
    // Another snapshot of the same display and chart is no change.
    now = was;
    now.display = std::make_shared<const AnalysisDisplay>(*was.display);
    now.chart = std::make_shared<const ChartView>(*was.chart);
    EXPECT_TRUE(changedParts(was, now).empty());
    // The same status text shown again, another ended fetch, alerts and a queue that
    // starts to run are heard.
    now = was;
    now.statusSerial = 1;
    now.oddsSerial = 1;
    now.alertSerial = 1;
    now.pending = 1;
    EXPECT_EQ(changedParts(was, now).text(), "Status|Enabled|Odds|Alerts");
    was.pending = 1;
    now.pending = 2;
    now.statusSerial = was.statusSerial;
    now.oddsSerial = was.oddsSerial;
    now.alertSerial = was.alertSerial;
    EXPECT_TRUE(changedParts(was, now).empty());
}

TEST(ChangeTracker, AListenerThatThrowsIsSaidAndTheOthersStillHear)
{
    test::RecordingPerson person;
    ChangeTracker tracker{ShownState{}};
    std::vector<std::string> heard;
    tracker.addListener([](Parts) { throw std::runtime_error("view gone"); });
    const int id = tracker.addListener([&](Parts parts) { heard.push_back(parts.text()); });
    ShownState now;
    now.DateCombo = {"2026年12月06日"};
    tracker.publish(now, person);
    EXPECT_EQ(heard, std::vector<std::string>{"DayList"});
    EXPECT_EQ(person.messages, std::vector<std::string>{"画面の更新に失敗しました: view gone"});
    // Nothing changed since: nobody is told.
    tracker.publish(now, person);
    EXPECT_EQ(heard.size(), 1u);
    tracker.removeListener(id);
    now.DateComboIndex = 0;
    tracker.publish(now, person);
    EXPECT_EQ(heard.size(), 1u);
}

} // namespace
} // namespace sorvantix
