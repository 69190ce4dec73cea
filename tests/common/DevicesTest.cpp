// Serial port numbers to device paths, and the advice for a device the user may not open.
#include "TestSupport.h"

#include "common/Link.h"
#include "common/SettingsStore.h"

#include <QSerialPortInfo>
#include <gtest/gtest.h>

#include <fstream>
#include <grp.h>
#include <iostream>
#include <set>
#include <sys/stat.h>

using common::SettingsStore;
using testsupport::TempDir;

TEST(SerialDevicePath, StoreEntryOverridesThePortNumber)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    auto store = SettingsStore::atPath("KorrinUniv1", tmp.file("KorrinUniv1.ini"));
    ASSERT_TRUE(store.save("Devices", "Com3", "/dev/pts/7"));
    ASSERT_TRUE(store.save("Devices", "Com12", "/dev/serial/by-id/usb-adapter-if00-port0"));
    ASSERT_TRUE(store.save("Properties", "Com4", "/dev/wrong-section"));

    EXPECT_EQ(common::serialDevicePath(3, &store), "/dev/pts/7");
    EXPECT_EQ(common::serialDevicePath(12, &store), "/dev/serial/by-id/usb-adapter-if00-port0");
    // Numbers without an entry are found as without a store.
    for (int n : {1, 2, 4, 13})
        EXPECT_EQ(common::serialDevicePath(n, &store), common::serialDevicePath(n, nullptr)) << n;
}

TEST(SerialDevicePath, ListsAdaptersFirstThenBuiltInPortsInNumberOrder)
{
    const auto ports = QSerialPortInfo::availablePorts();
    ASSERT_LT(ports.size(), 200) << "this machine has too many serial ports for the test";
    std::set<std::string> present;
    for (const auto& info : ports)
        present.insert(info.systemLocation().toStdString());

    // Every number up to the count names a distinct port of the machine.
    std::set<std::string> seen;
    bool builtinSeen = false;
    int lastBuiltin = -1;
    for (int n = 1; n <= int(ports.size()); ++n) {
        const std::string path = common::serialDevicePath(n, nullptr);
        SCOPED_TRACE("Com" + std::to_string(n) + " = " + path);
        EXPECT_TRUE(present.count(path));
        EXPECT_TRUE(seen.insert(path).second);
        const auto s = path.find("/ttyS");
        if (s != std::string::npos) {
            builtinSeen = true;
            const int number = std::stoi(path.substr(s + 5));
            EXPECT_GT(number, lastBuiltin);
            lastBuiltin = number;
        } else {
            EXPECT_FALSE(builtinSeen) << "an adapter listed after a built-in port";
        }
    }
    // Past the end of the list the built-in port of that number is assumed.
    EXPECT_EQ(common::serialDevicePath(int(ports.size()) + 1, nullptr), "/dev/ttyS" + std::to_string(ports.size()));
    EXPECT_EQ(common::serialDevicePath(200, nullptr), "/dev/ttyS199");
}

namespace {

// A device node stand-in nobody may open: mode 000, owned by the serial group when root can
// arrange that.
struct LockedDevice {
    TempDir tmp;
    std::string path;
    std::string groupName;
    LockedDevice()
    {
        path = tmp.file("ttyLocked0");
        std::ofstream(path) << "";
        ::chmod(tmp.path().c_str(), 0755);
        if (::geteuid() == 0) {
            if (const group* g = ::getgrnam("dialout"))
                (void)::chown(path.c_str(), 0, g->gr_gid);
        }
        ::chmod(path.c_str(), 0);
        struct stat st {};
        ::stat(path.c_str(), &st);
        const group* g = ::getgrgid(st.st_gid);
        groupName = g ? g->gr_name : std::to_string(st.st_gid);
    }
};

// Runs check() as the current user, or as an ordinary user when the tests run as root.
std::optional<bool> withoutRoot(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    return testsupport::asUnprivilegedUser(check);
}

} // namespace

TEST(PermissionAdvice, NamesTheOwningGroupOfADeviceWeMayNotOpen)
{
    LockedDevice dev;
    ASSERT_TRUE(dev.tmp.ok());
    const auto result = withoutRoot([&] {
        const std::string advice = common::permissionAdvice(dev.path);
        std::cerr << "advice: " << advice << "\n";
        return advice.find(dev.path) != std::string::npos
               && advice.find("\"" + dev.groupName + "\"") != std::string::npos
               && advice.find("usermod -aG " + dev.groupName) != std::string::npos;
    });
    if (!result)
        GTEST_SKIP() << "running as root and cannot switch to an ordinary user";
    EXPECT_TRUE(*result) << "expected the path and group \"" << dev.groupName << "\" in the advice";
}

TEST(PermissionAdvice, SaysNothingWhenPermissionIsNotTheCause)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string open = tmp.file("ttyOpen0");
    std::ofstream(open) << "";
    ::chmod(open.c_str(), 0666);
    EXPECT_EQ(common::permissionAdvice(open), "");
    EXPECT_EQ(common::permissionAdvice(tmp.file("missing")), "");
    EXPECT_EQ(common::permissionAdvice(""), "");
}
