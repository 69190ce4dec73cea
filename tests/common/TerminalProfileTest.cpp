#include "TestSupport.h"

#include "common/Profiles.h"
#include "common/SettingsStore.h"

#include <gtest/gtest.h>

using testsupport::EnvVar;
using testsupport::TempDir;

TEST(TerminalProfile, FreshStoreGivesTheDataTerminalOverSerialWithEchoOff)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    auto store = common::SettingsStore::atPath("KorrinUniv1", dir.file("k.ini"));
    common::TerminalProfile p;
    p.load(store);
    EXPECT_EQ(p.settings, "");
    EXPECT_EQ(p.commPort, "");
    EXPECT_EQ(p.handshaking, "");
    EXPECT_FALSE(p.echo);
    EXPECT_EQ(p.direct, "DATA");
    EXPECT_EQ(p.address, "192.168.0.195");
    EXPECT_TRUE(p.serial);
    EXPECT_EQ(p.port, 2000);
}

TEST(TerminalProfile, StoredValuesAndUnreadableOnes)
{
    TempDir dir;
    auto store = common::SettingsStore::atPath("KorrinUniv1", dir.file("k.ini"));
    const struct {
        const char* key;
        const char* value;
    } stored[] = {{"Settings", "115200,N,8,1"}, {"Echo", "True"}, {"Direct", "TAV8a"},
                  {"Type", "False"},           {"PortNumber", "abc"}, {"Address", "127.0.0.5"}};
    for (const auto& s : stored)
        store.save("Properties", s.key, s.value);
    common::TerminalProfile p;
    p.load(store);
    EXPECT_EQ(p.settings, "115200,N,8,1");
    EXPECT_TRUE(p.echo);
    EXPECT_EQ(p.direct, "TAV8a");
    EXPECT_FALSE(p.serial);
    EXPECT_EQ(p.port, 0) << "a port text that is no number gives port 0";
    EXPECT_EQ(p.address, "127.0.0.5");
}

TEST(InstanceLock, SecondCopyGetsTheSecondNameAndTheFirstNameIsFreedAtExit)
{
    TempDir dir;
    EnvVar rt("XDG_RUNTIME_DIR", dir.path());
    {
        common::InstanceLock first;
        EXPECT_EQ(first.copy(), 1);
        EXPECT_EQ(first.appName(), "KorrinUniv1");
        common::InstanceLock second;
        EXPECT_EQ(second.copy(), 2);
        EXPECT_EQ(second.appName(), "KorrinUniv2");
    }
    // Both ended: the next start is the first copy again.
    common::InstanceLock again;
    EXPECT_EQ(again.copy(), 1);
}
