#pragma once
// The terminal logic on a virtual clock, with a fake link made by the open/close command and
// the windows replaced by a script of message-box answers.
#include "panel/FakeLink.h"
#include "terminal/core/Terminal.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace termtest {

using common::Ms;
using paneltest::FakeLink;

struct Shown {
    std::string text;
    term::TerminalUi::Buttons buttons;
    term::TerminalUi::Icon icon;
    Ms at;
};

class FakeTerminalUi : public term::TerminalUi {
public:
    explicit FakeTerminalUi(const common::Clock& clock) : clock_(clock) {}

    // Answers for the coming message boxes, in order; Ok once the script is used up.
    std::deque<Answer> answers;
    std::vector<Shown> messages;
    int refreshes = 0;

    Answer message(const std::string& text, const std::string&, Buttons b, Icon i) override
    {
        messages.push_back({text, b, i, clock_.now()});
        if (answers.empty())
            return Answer::Ok;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void refresh() override { ++refreshes; }

private:
    const common::Clock& clock_;
};

// A fake link whose output leaves at a time the test sets.
class DrainingLink : public FakeLink {
public:
    using FakeLink::FakeLink;
    // The written bytes have left from this time on; never when unset.
    std::optional<Ms> drainedAt = Ms{0};
    const common::Clock* clock = nullptr;
    bool outputDrained() override { return drainedAt && clock && clock->now() >= *drainedAt; }
    // The time one character takes on the line (0: a line without a pace).
    std::chrono::microseconds charTime{0};
    std::chrono::microseconds characterTime() const override { return charTime; }
};

class TerminalFixture {
public:
    TerminalFixture()
        : ui(clock), t(clock, ui, [this](const term::Terminal& term) -> std::unique_ptr<common::Link> {
              if (failFactory)
                  return nullptr;
              auto l = std::make_unique<DrainingLink>(term.serial ? FakeLink::Kind::Serial : FakeLink::Kind::Tcp,
                                                      clock, &journal);
              l->clock = &clock;
              l->connectAfter = connectAfter;
              l->failOpen = failOpen || failOpens > 0;
              if (failOpens > 0)
                  --failOpens;
              l->onWrite = [this](const std::string& bytes) {
                  if (onWrite)
                      onWrite(bytes);
              };
              link = l.get();
              ++linksMade;
              return l;
          })
    {
    }

    // Opens the serial link (the default link type).
    void openSerial()
    {
        t.serial = true;
        t.mnuOpen_Click();
    }

    common::VirtualClock clock;
    FakeTerminalUi ui;
    paneltest::LinkJournal journal;
    // How the next link behaves.
    std::optional<Ms> connectAfter = Ms{0};
    bool failOpen = false;
    int failOpens = 0; // this many links fail to open, then they open again
    bool failFactory = false;
    // Runs after every write of every link: a scripted device's answer through `link`.
    std::function<void(const std::string&)> onWrite;
    DrainingLink* link = nullptr;
    int linksMade = 0;
    term::Terminal t;
};

} // namespace termtest
