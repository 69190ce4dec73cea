#pragma once
// The terminal logic with its module list and command menus, on a virtual clock, over fake
// links made by the open/close command, with message boxes recorded and a settings store in a
// temporary folder of its own.
#include "panel/FakeLink.h"

#include "common/Clock.h"
#include "common/Profiles.h"
#include "common/SettingsStore.h"
#include "terminal/core/ModuleCommands.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/Terminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace modtest {

using common::Ms;
using paneltest::FakeLink;
using term::ModulePath;
using namespace std::chrono_literals;

inline const std::string ESC(1, '\x1b');
inline const std::string kClosedWarning = "Operation not allowed while port is closed";

class RecordingUi : public term::TerminalUi {
public:
    std::vector<std::string> messages;
    Answer message(const std::string& text, const std::string&, Buttons, Icon) override
    {
        messages.push_back(text);
        return Answer::Ok;
    }
    void refresh() override {}

    // Message boxes that carry the closed-link warning.
    int closedWarnings() const
    {
        int n = 0;
        for (const auto& m : messages)
            n += m.find(kClosedWarning) != std::string::npos;
        return n;
    }
};

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "module-paths-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        storePath = dir + "/KorrinUniv1.ini";
        store = std::make_unique<common::SettingsStore>(common::SettingsStore::atPath("KorrinUniv1", storePath));
        makeTerminal();
    }

    void TearDown() override
    {
        commands.reset();
        paths.reset();
        t.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    void makeTerminal()
    {
        commands.reset();
        paths.reset();
        t = std::make_unique<term::Terminal>(clock, ui, [this](const term::Terminal& term) {
            auto l = std::make_unique<FakeLink>(term.serial ? FakeLink::Kind::Serial : FakeLink::Kind::Tcp, clock,
                                                &journal);
            linkSettings.push_back(term.settings);
            link = l.get();
            return std::unique_ptr<common::Link>(std::move(l));
        });
        paths = std::make_unique<term::ModulePaths>(*t, store.get());
        commands = std::make_unique<term::ModuleCommands>(*t);
    }

    void openLink()
    {
        if (!t->linkOpen())
            t->mnuOpen_Click();
        ASSERT_TRUE(t->linkOpen());
    }
    void closeLink()
    {
        if (t->linkOpen())
            t->mnuOpen_Click();
        ASSERT_FALSE(t->linkOpen());
    }

    // Every write since the journal was last cleared, one string per write.
    std::vector<std::string> writes() const
    {
        std::vector<std::string> w;
        for (const auto& x : journal.writes)
            w.push_back(x.bytes);
        return w;
    }
    void forget()
    {
        journal.writes.clear();
        journal.events.clear();
        ui.messages.clear();
    }

    // The link was closed and then opened once (closing an already closed link again before a
    // new one is made is harmless).
    static bool closedThenReopened(const std::vector<std::string>& events)
    {
        return !events.empty() && events.front() == "close" && events.back() == "open" &&
               std::count(events.begin(), events.end(), "open") == 1;
    }

    // A store as the next program run would read it.
    std::string stored(const std::string& key, const std::string& def = "<absent>") const
    {
        return common::SettingsStore::atPath("KorrinUniv1", storePath).get(common::kSection, key, def);
    }

    std::string dir, storePath;
    common::VirtualClock clock;
    RecordingUi ui;
    paneltest::LinkJournal journal;
    std::vector<std::string> linkSettings; // the settings string each new link was made with
    FakeLink* link = nullptr;
    std::unique_ptr<common::SettingsStore> store;
    std::unique_ptr<term::Terminal> t;
    std::unique_ptr<term::ModulePaths> paths;
    std::unique_ptr<term::ModuleCommands> commands;
};

} // namespace modtest
