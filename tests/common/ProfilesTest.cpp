// The panel's four connection profiles: defaults of a fresh store, reading damaged values,
// and writing them back.
#include "TestSupport.h"

#include "common/Profiles.h"
#include "common/SettingsStore.h"

#include <gtest/gtest.h>

#include <fstream>

using common::ConnectionProfile;
using common::PanelProfiles;
using common::SettingsStore;
using testsupport::TempDir;

namespace {

struct Expected {
    const char* settings;
    short commPort;
    const char* address;
    short port;
    bool serial;
    bool enabled;
    const char* caption;
};

const Expected kFresh[5] = {
    {},
    {"9600,N,8,1", 1, "192.168.0.195", 2000, true, true, "Antenna 1"},
    {"9600,N,8,1", 2, "192.168.0.196", 2001, false, false, "Antenna 2"},
    {"9600,N,8,1", 3, "192.168.0.197", 2000, false, false, "Antenna 3"},
    {"9600,N,8,1", 4, "192.168.0.198", 2001, false, false, "Antenna 4"},
};

void expectProfile(const ConnectionProfile& c, const Expected& e, int n)
{
    SCOPED_TRACE("profile " + std::to_string(n));
    EXPECT_EQ(c.settings, e.settings);
    EXPECT_EQ(c.commPort, e.commPort);
    EXPECT_EQ(c.address, e.address);
    EXPECT_EQ(c.port, e.port);
    EXPECT_EQ(c.serial, e.serial);
    EXPECT_EQ(c.enabled, e.enabled);
    EXPECT_EQ(c.caption, e.caption);
}

SettingsStore storeWith(const TempDir& tmp, const std::string& content)
{
    const std::string path = tmp.file("multTAVRemote.ini");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return SettingsStore::atPath("multTAVRemote", path);
}

} // namespace

TEST(PanelProfiles, FreshStoreGivesTheDefaultsOfAllFourProfiles)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const auto store = SettingsStore::atPath("multTAVRemote", tmp.file("none.ini"));

    PanelProfiles loaded;
    loaded.select = 3;
    loaded[2].caption = "changed before load";
    loaded.load(store);
    const PanelProfiles constructed;
    for (int n = 1; n <= 4; ++n) {
        expectProfile(loaded[n], kFresh[n], n);
        expectProfile(constructed[n], kFresh[n], n);
    }
    EXPECT_EQ(loaded.select, 1);
    EXPECT_EQ(constructed.select, 1);
    EXPECT_THROW((void)loaded[5], std::out_of_range);
}

TEST(PanelProfiles, UnreadableStoredValuesFallBackToTheDefault)
{
    struct Case {
        const char* stored;                       // lines of the Properties section
        std::function<bool(const PanelProfiles&)> holds;
        const char* what;
    };
    const std::vector<Case> cases = {
        {"Port1=abc", [](const PanelProfiles& p) { return p[1].port == 2000; }, "port text that is not a number"},
        {"Port2=40000", [](const PanelProfiles& p) { return p[2].port == 2001; }, "port above 32767"},
        {"Port3=-40000", [](const PanelProfiles& p) { return p[3].port == 2000; }, "port below -32768"},
        {"Port4=", [](const PanelProfiles& p) { return p[4].port == 2001; }, "empty port"},
        {"Port1=32767", [](const PanelProfiles& p) { return p[1].port == 32767; }, "largest port"},
        {"CommPort2=two", [](const PanelProfiles& p) { return p[2].commPort == 2; }, "serial port not a number"},
        {"CommPort3=7", [](const PanelProfiles& p) { return p[3].commPort == 7; }, "serial port read"},
        {"Select=7", [](const PanelProfiles& p) { return p.select == 1; }, "select above 4"},
        {"Select=0", [](const PanelProfiles& p) { return p.select == 1; }, "select 0"},
        {"Select=x", [](const PanelProfiles& p) { return p.select == 1; }, "select not a number"},
        {"Select=4", [](const PanelProfiles& p) { return p.select == 4; }, "select 4"},
        {"Serial1=maybe", [](const PanelProfiles& p) { return p[1].serial; }, "serial flag unreadable, default True"},
        {"Serial2=maybe", [](const PanelProfiles& p) { return !p[2].serial; }, "serial flag unreadable, default False"},
        {"Serial2=True", [](const PanelProfiles& p) { return p[2].serial; }, "serial flag read"},
        {"Enabled1=False", [](const PanelProfiles& p) { return !p[1].enabled; }, "enabled flag read"},
        {"Enabled4=-1", [](const PanelProfiles& p) { return p[4].enabled; }, "enabled flag as -1"},
        {"Caption2=", [](const PanelProfiles& p) { return p[2].caption.empty(); }, "an empty caption is a caption"},
        {"Settings3=19200,N,8,1", [](const PanelProfiles& p) { return p[3].settings == "19200,N,8,1"; },
         "settings string read"},
        {"Address4=10.0.0.9", [](const PanelProfiles& p) { return p[4].address == "10.0.0.9"; }, "address read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir tmp;
        ASSERT_TRUE(tmp.ok());
        PanelProfiles p;
        p.load(storeWith(tmp, std::string("[Properties]\n") + c.stored + "\n"));
        EXPECT_TRUE(c.holds(p)) << c.stored;
    }
}

TEST(PanelProfiles, SaveWritesEveryKeyAsTextAndReadsBackUnchanged)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string path = tmp.file("tessaro/multTAVRemote.ini");
    PanelProfiles p;
    for (int n = 1; n <= 4; ++n) {
        p[n].settings = std::to_string(1200 << n) + ",N,8,1";
        p[n].commPort = short(20 - n);
        p[n].address = "10.1.2." + std::to_string(n);
        p[n].port = short(-n * 1000);
        p[n].serial = n % 2 == 0;
        p[n].enabled = n != 1;
        p[n].caption = "Mast " + std::to_string(n);
    }
    p.select = 3; // saved on its own when the active profile changes, not by save()

    auto store = SettingsStore::atPath("multTAVRemote", path);
    ASSERT_TRUE(p.save(store)) << store.lastError();

    // The stored texts: booleans as True/False, numbers as decimal text.
    EXPECT_EQ(store.get("Properties", "Serial1", ""), "False");
    EXPECT_EQ(store.get("Properties", "Serial2", ""), "True");
    EXPECT_EQ(store.get("Properties", "Enabled1", ""), "False");
    EXPECT_EQ(store.get("Properties", "Port2", ""), "-2000");
    EXPECT_EQ(store.get("Properties", "CommPort4", ""), "16");
    EXPECT_EQ(store.get("Properties", "Caption3", ""), "Mast 3");
    EXPECT_FALSE(store.has("Properties", "Select"));
    EXPECT_FALSE(store.has("Properties", "Caption0"));
    EXPECT_FALSE(store.has("Properties", "Caption5"));

    PanelProfiles back;
    back.load(SettingsStore::atPath("multTAVRemote", path));
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE("profile " + std::to_string(n));
        EXPECT_EQ(back[n].settings, p[n].settings);
        EXPECT_EQ(back[n].commPort, p[n].commPort);
        EXPECT_EQ(back[n].address, p[n].address);
        EXPECT_EQ(back[n].port, p[n].port);
        EXPECT_EQ(back[n].serial, p[n].serial);
        EXPECT_EQ(back[n].enabled, p[n].enabled);
        EXPECT_EQ(back[n].caption, p[n].caption);
    }
    EXPECT_EQ(back.select, 1);
}

TEST(PanelProfiles, SaveReportsAFailedWrite)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    std::ofstream(tmp.file("blocker")) << "a file where the folder should be";
    auto store = SettingsStore::atPath("multTAVRemote", tmp.file("blocker/multTAVRemote.ini"));
    PanelProfiles p;
    p[2].caption = "Aft";
    EXPECT_FALSE(p.save(store));
    EXPECT_FALSE(store.lastError().empty());
    EXPECT_EQ(store.get("Properties", "Caption2", ""), "Aft");
}

TEST(PanelProfiles, SettingsSpeedIsTheTextBeforeTheFirstComma)
{
    const std::pair<const char*, const char*> cases[] = {
        {"9600,N,8,1", "9600"}, {"115200,E,7,2", "115200"}, {"19200", "19200"}, {"", ""}, {",N,8,1", ""}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(common::settingsSpeed(in), out) << in;
}
