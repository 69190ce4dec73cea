#pragma once
// korrin's terminal window on virtual time: every link it makes is a fake that records what
// was written, the settings store is a throw-away INI file, and message boxes and file
// dialogs are answered from a script.
#include "panel/FakeLink.h"
#include "terminal/app/frmTerminal.h"

#include "common/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolBar>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace korrintest {

using common::Ms;
using paneltest::FakeLink;
using Answer = term::TerminalUi::Answer;

struct Shown {
    std::string text, title;
    term::TerminalUi::Buttons buttons;
};

class KorrinFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/korrin-gui-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        ASSERT_NE(made, nullptr);
        dir = made;
        storePath = dir + "/KorrinUniv1.ini";
    }
    void TearDown() override
    {
        win.reset();
        store.reset();
        std::filesystem::remove_all(dir);
    }

    // Writes the INI file the window will start from: [Properties] with these keys.
    void storeBefore(const std::vector<std::pair<std::string, std::string>>& values)
    {
        auto s = common::SettingsStore::atPath("KorrinUniv1", storePath);
        for (const auto& [k, v] : values)
            s.save("Properties", k, v);
    }

    // Creates the window over the store as it is on disk now and runs its start-up.
    void start()
    {
        win.reset();
        store = std::make_unique<common::SettingsStore>(common::SettingsStore::atPath("KorrinUniv1", storePath));
        win = std::make_unique<frmTerminal>(clock, *store, [this](const term::Terminal& t) -> std::unique_ptr<common::Link> {
            auto l = std::make_unique<FakeLink>(t.serial ? FakeLink::Kind::Serial : FakeLink::Kind::Tcp, clock,
                                                &journal);
            l->connectAfter = connectAfter;
            last = l.get();
            ++made;
            return l;
        });
        win->messageHook = [this](const std::string& text, const std::string& title, term::TerminalUi::Buttons b,
                                  term::TerminalUi::Icon) {
            shown.push_back({text, title, b});
            if (answers.empty())
                return Answer::Ok;
            const Answer a = answers.front();
            answers.pop_front();
            return a;
        };
        win->fileHook = [this](bool save, const std::string& title, const std::string& filter) {
            asked.push_back({save, title, filter});
            if (files.empty())
                return std::string(); // cancelled
            std::string f = files.front();
            files.pop_front();
            return f;
        };
        win->Form_Load();
    }

    template <class T> T* find(const char* name) const
    {
        T* w = win->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QAction* action(const char* name) const { return find<QAction>(name); }
    QAction* tool(const char* key) const { return find<QToolBar>("tbrToolBar")->findChild<QAction*>(key); }
    QPlainTextEdit* term() const { return find<QPlainTextEdit>("txtTerm"); }
    // The screen as txtTerm shows it now (drawn at once rather than on the next 40 ms tick).
    QString screen() const
    {
        win->renderScreen();
        return term()->toPlainText();
    }
    QString panel(const char* key) const
    {
        return find<QLabel>((std::string("sbrStatus_") + key).c_str())->text();
    }
    bool visible(const char* name) const
    {
        auto* w = find<QWidget>(name);
        return w && w->isVisibleTo(win.get());
    }
    std::string stored(const std::string& key) const
    {
        return common::SettingsStore::atPath("KorrinUniv1", storePath).get("Properties", key, "<absent>");
    }
    // Everything written to the links since the last call, joined.
    std::string sent()
    {
        std::string out;
        for (size_t i = seen_; i < journal.writes.size(); ++i)
            out += journal.writes[i].bytes;
        seen_ = journal.writes.size();
        return out;
    }
    bool linkOpen() const { return win->terminal().linkOpen(); }
    // A file in the test's folder with the given content.
    std::string file(const std::string& name, const std::string& content) const
    {
        const std::string p = dir + "/" + name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    static std::string slurp(const std::string& path)
    {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    bool saidSomething(const std::string& text) const
    {
        for (const auto& s : shown)
            if (s.text == text)
                return true;
        return false;
    }

    struct Asked {
        bool save;
        std::string title, filter;
    };

    std::string dir, storePath;
    common::VirtualClock clock;
    std::unique_ptr<common::SettingsStore> store;
    std::unique_ptr<frmTerminal> win;
    paneltest::LinkJournal journal;
    FakeLink* last = nullptr;
    int made = 0;
    std::optional<Ms> connectAfter = Ms{0};
    std::vector<Shown> shown;
    std::deque<Answer> answers;
    std::vector<Asked> asked;
    std::deque<std::string> files;

private:
    size_t seen_ = 0;
};

} // namespace korrintest
