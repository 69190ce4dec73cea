#pragma once
// The windows as the link logic sees them: message boxes answered from a script, and a record
// of every message and every antenna button the logic selected.
#include "common/Clock.h"
#include "panel/core/PanelLink.h"

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace paneltest {

struct Shown {
    std::string text;
    std::string title;
    panel::PanelUi::Buttons buttons;
    panel::PanelUi::Icon icon;
    common::Ms at;
};

class FakeUi : public panel::PanelUi {
public:
    explicit FakeUi(const common::Clock& clock) : clock_(clock) {}

    // Answers for the coming message boxes, in order; Ok once the script is used up.
    std::deque<Answer> answers;
    std::vector<Shown> messages;
    std::vector<int> selectedButtons;
    std::vector<std::string> diagnosticsReplies;
    std::vector<bool> dumpFilesClosed;
    int refreshes = 0;
    // Run when the logic selects a button, e.g. to fire the button's click as a real window
    // would.
    std::function<void(int)> onSelect;
    // Run while a box is up, as events run under a real modal box.
    std::function<void()> whileShown;

    Answer message(const std::string& text, const std::string& title, Buttons b, Icon i) override
    {
        messages.push_back({text, title, b, i, clock_.now()});
        if (whileShown)
            std::exchange(whileShown, nullptr)();
        if (answers.empty())
            return Answer::Ok;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void selectAntennaButton(int index) override
    {
        selectedButtons.push_back(index);
        if (onSelect)
            onSelect(index);
    }
    void refresh() override { ++refreshes; }
    void diagnosticsReply(const std::string& line) override { diagnosticsReplies.push_back(line); }
    void dumpFileClosed(bool wasDataLog) override { dumpFilesClosed.push_back(wasDataLog); }

private:
    const common::Clock& clock_;
};

} // namespace paneltest
