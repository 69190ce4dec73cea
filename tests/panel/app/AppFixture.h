#pragma once
// The main window on virtual time with fake links, a throw-away settings store and scripted
// answers to its message boxes.
#include "panel/FakeLink.h"
#include "panel/app/frmMain.h"

#include "common/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace guitest {

struct Shown {
    std::string text, title;
};

// A menu entry of a window, by its objectName.
inline QAction* action(QWidget* w, const char* name)
{
    auto* a = w->findChild<QAction*>(name);
    EXPECT_NE(a, nullptr) << name;
    return a;
}

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/velmar-gui-XXXXXX";
        dir = ::mkdtemp(tmpl);
        storePath = dir + "/multTAVRemote.ini";
    }
    void TearDown() override
    {
        win.reset();
        std::filesystem::remove_all(dir);
    }

    // Creates the window over the store as it is on disk now and runs its start-up.
    void start()
    {
        win.reset();
        store = std::make_unique<common::SettingsStore>(common::SettingsStore::atPath("multTAVRemote", storePath));
        win = std::make_unique<frmMain>(clock, *store, [this](const panel::PanelShared& s) {
            const bool serial = s.profiles[s.profiles.select].serial;
            auto l = std::make_unique<paneltest::FakeLink>(
                serial ? paneltest::FakeLink::Kind::Serial : paneltest::FakeLink::Kind::Tcp, clock, &journal);
            last = l.get();
            ++made;
            return l;
        });
        win->messageHook = [this](const std::string& text, const std::string& title, panel::PanelUi::Buttons,
                                  panel::PanelUi::Icon) {
            shown.push_back({text, title});
            if (answers.empty())
                return panel::PanelUi::Answer::Ok;
            const auto a = answers.front();
            answers.pop_front();
            return a;
        };
        win->Form_Load();
    }

    template <class T> T* find(const char* name) const
    {
        T* w = win->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString line(int i) const { return find<QLineEdit>(("Text5_" + std::to_string(i)).c_str())->text(); }
    QString statusPanel(int i) const
    {
        return find<QLabel>(("StatusBar1_Panel" + std::to_string(i)).c_str())->text();
    }
    std::string stored(const std::string& key) const
    {
        return common::SettingsStore::atPath("multTAVRemote", storePath).get("Properties", key, "<absent>");
    }

    std::string dir, storePath;
    common::VirtualClock clock;
    std::unique_ptr<common::SettingsStore> store;
    std::unique_ptr<frmMain> win;
    paneltest::LinkJournal journal;
    paneltest::FakeLink* last = nullptr;
    int made = 0;
    std::vector<Shown> shown;
    std::deque<panel::PanelUi::Answer> answers;
};

} // namespace guitest
