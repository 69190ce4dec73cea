#pragma once
// The terminal logic on a virtual clock with a fake serial link, the windows replaced by a
// script of message-box answers, and a temporary folder for the files a test writes.
#include "panel/FakeLink.h"
#include "terminal/core/Terminal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace texttest {

using common::Ms;
using paneltest::FakeLink;
using Answer = term::TerminalUi::Answer;
using Buttons = term::TerminalUi::Buttons;
using Icon = term::TerminalUi::Icon;

struct Shown {
    std::string text;
    std::string title;
    Buttons buttons;
    Icon icon;
    Ms at;
};

class ScriptUi : public term::TerminalUi {
public:
    explicit ScriptUi(const common::Clock& clock) : clock_(clock) {}

    // Answers for the coming message boxes, in order; Ok once the script is used up.
    std::deque<Answer> answers;
    std::vector<Shown> messages;

    Answer message(const std::string& text, const std::string& title, Buttons b, Icon i) override
    {
        messages.push_back({text, title, b, i, clock_.now()});
        if (answers.empty())
            return Answer::Ok;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void refresh() override {}

private:
    const common::Clock& clock_;
};

// A fresh folder under the system temp folder, removed with its content at the end.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "korrin-text-XXXXXX").string();
        if (::mkdtemp(tmpl.data()))
            path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    bool ok() const { return !path_.empty(); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to a file in the folder and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const
    {
        const std::string p = file(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// How many file descriptors the process holds: a file left open shows here.
inline int openDescriptors()
{
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

class TextBench {
public:
    TextBench()
        : ui(clock), t(clock, ui, [this](const term::Terminal&) -> std::unique_ptr<common::Link> {
              auto l = std::make_unique<FakeLink>(FakeLink::Kind::Serial, clock, &journal);
              link = l.get();
              return l;
          })
    {
        t.onLinkChanged = [this] { linkChanges.push_back({clock.now(), t.linkOpen()}); };
    }

    // Opens the serial link and forgets what that showed.
    void open()
    {
        t.mnuOpen_Click();
        ASSERT_TRUE(t.linkOpen());
        linkChanges.clear();
        ui.messages.clear();
    }
    // Every write that reached the link, in order.
    std::vector<std::string> writes() const
    {
        std::vector<std::string> w;
        for (const auto& x : journal.writes)
            w.push_back(x.bytes);
        return w;
    }
    std::vector<Ms> writeTimes() const
    {
        std::vector<Ms> w;
        for (const auto& x : journal.writes)
            w.push_back(x.at);
        return w;
    }
    // A timer that runs f once at virtual time `at` (during whatever wait is running then).
    void at(Ms when, std::function<void()> f)
    {
        auto tm = clock.createTimer();
        auto* raw = tm.get();
        tm->setInterval(when - clock.now());
        tm->onTick = [raw, f] {
            raw->setEnabled(false);
            f();
        };
        tm->setEnabled(true);
        timers_.push_back(std::move(tm));
    }

    struct LinkChange {
        Ms at;
        bool open;
    };

    common::VirtualClock clock;
    ScriptUi ui;
    paneltest::LinkJournal journal;
    FakeLink* link = nullptr;
    std::vector<LinkChange> linkChanges;
    term::Terminal t;

private:
    std::vector<std::unique_ptr<common::Timer>> timers_;
};

} // namespace texttest
