#pragma once
// One panel link wired to a virtual clock, a fake link, a fake window and a settings store in
// a temporary folder of its own.
#include "panel/FakeLink.h"
#include "panel/FakeUi.h"

#include "common/Clock.h"
#include "common/Profiles.h"
#include "common/SettingsStore.h"
#include "panel/core/PanelLink.h"
#include "panel/core/PanelState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace paneltest {

using common::Ms;
using namespace std::chrono_literals;

inline const std::string kAntennaPoll = "SPHuSPHqSPH@SPH!?   S%SPH!mN999";
// The ANTENNA poll sequence element by element, as the scheduler sends it.
inline const std::vector<std::string> kAntennaElements = {
    "S", "P", "H", "u", "S", "P", "H", "q", "S", "P", "H", "@", "S", "P", "H", "?   S\r\n",
    "%", "S", "P", "H", "mN999\r\n"};

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "panel-link-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        storePath = dir + "/multTAVRemote.ini";
        store = std::make_unique<common::SettingsStore>(common::SettingsStore::atPath("multTAVRemote", storePath));
        // Port 1 maps to a fixed path, so nothing depends on the machine's serial devices.
        store->save("Devices", "Com1", "/dev/fake-com1");
        store->save("Devices", "Com2", "/dev/fake-com2");
    }

    void TearDown() override
    {
        panel.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // A store as the next program run would read it.
    std::string stored(const std::string& key, const std::string& def = "<absent>") const
    {
        return common::SettingsStore::atPath("multTAVRemote", storePath).get(common::kSection, key, def);
    }

    void useTcpProfile(int n = 1)
    {
        const std::string k = std::to_string(n);
        store->save(common::kSection, "Serial" + k, "False");
        store->save(common::kSection, "Address" + k, "127.0.0.1");
        store->save(common::kSection, "Port" + k, "2000");
    }

    void makePanel()
    {
        if (panel)
            return;
        auto factory = [this](const panel::PanelShared& s) -> std::unique_ptr<common::Link> {
            const bool serial = s.profiles[s.profiles.select].serial;
            auto l = std::make_unique<FakeLink>(serial ? FakeLink::Kind::Serial : FakeLink::Kind::Tcp, clock,
                                                &journal);
            l->failOpen = nextFailOpen;
            const auto own = connectAfterByProfile.find(s.profiles.select);
            l->connectAfter = own != connectAfterByProfile.end() ? own->second : nextConnectAfter;
            links.push_back(l.get());
            return l;
        };
        panel = std::make_unique<panel::PanelLink>(shared, main, clock, ui, factory, store.get());
        panel->decode = [this](const std::string& line, const std::string& command) {
            decoded.emplace_back(line, command);
            if (onDecode)
                onDecode(line, command);
        };
    }

    void startUp()
    {
        makePanel();
        panel->Startup();
    }

    // Start-up, then the 1500 ms start timer: the scheduler runs and nothing has been sent yet.
    void startPolling()
    {
        startUp();
        ASSERT_TRUE(shared.open);
        clock.advance(1500ms);
        ASSERT_TRUE(panel->timer3().enabled());
        ASSERT_TRUE(journal.writes.empty());
    }

    // The link made last; earlier ones are destroyed when the port is reopened.
    FakeLink& link() { return *links.back(); }

    // Everything written from the given index of the journal on.
    std::vector<std::string> sentFrom(size_t first) const
    {
        std::vector<std::string> out;
        for (size_t i = first; i < journal.writes.size(); ++i)
            out.push_back(journal.writes[i].bytes);
        return out;
    }

    // Advance by n pacing ticks of ms each, returning what was written meanwhile.
    std::vector<std::string> ticks(int n, Ms ms = 200ms)
    {
        const size_t first = journal.writes.size();
        for (int i = 0; i < n; ++i)
            clock.advance(ms);
        return sentFrom(first);
    }

    const panel::Lamp& portLamp() const { return main.lamps[panel::kPortLamp]; }

    common::VirtualClock clock;
    std::string dir;
    std::string storePath;
    std::unique_ptr<common::SettingsStore> store;
    panel::PanelShared shared;
    panel::MainState main;
    FakeUi ui{clock};
    LinkJournal journal;
    std::vector<FakeLink*> links;
    bool nextFailOpen = false;
    std::optional<Ms> nextConnectAfter = Ms{0};
    // TCP devices that answer differently from nextConnectAfter, by profile number.
    std::map<int, std::optional<Ms>> connectAfterByProfile;
    std::vector<std::pair<std::string, std::string>> decoded; // (reply line, its command)
    std::function<void(const std::string&, const std::string&)> onDecode;
    std::unique_ptr<panel::PanelLink> panel;
};

} // namespace paneltest
