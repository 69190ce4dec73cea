// The port list both properties dialogs show, the pins it writes, and what "Com N" opens:
// all against a fake port source and throw-away folders, never the machine's /dev/serial.
#include "FakePortSource.h"
#include "TestSupport.h"

#include "common/Link.h"
#include "common/Ports.h"
#include "common/SettingsStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using common::PortChoice;
using common::PortInfo;
using common::SettingsStore;
using testsupport::FakePortSource;
using testsupport::TempDir;

namespace {

const std::string kAcme = "/dev/serial/by-id/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0";

PortInfo usbPort(std::string device, std::string description, std::string serial, std::string byId)
{
    return {std::move(device), std::move(description), "", std::move(serial), std::move(byId), true};
}

} // namespace

TEST(PortChoiceText, ShowsTheDeviceAndWhatTheSystemSaysOfIt)
{
    const PortInfo acme = usbPort("/dev/ttyUSB0", "FT232R USB UART", "A10K3Z", kAcme);
    const PortInfo acm{"/dev/ttyACM0", "", "Acme Instruments", "77", "", true};
    const PortInfo quiet{"/dev/ttyS0", "", "", "", "", false};
    const PortInfo serialOnly{"/dev/ttyUSB2", "", "", "X1", "", true};
    const struct {
        PortChoice choice;
        const char* text;
    } rows[] = {
        {{1, "", false, acme}, "Com1  /dev/ttyUSB0  FT232R USB UART (A10K3Z)"},
        {{2, "", false, acm}, "Com2  /dev/ttyACM0  Acme Instruments (77)"},
        {{3, "", false, quiet}, "Com3  /dev/ttyS0"},
        {{4, "", false, serialOnly}, "Com4  /dev/ttyUSB2  (X1)"},
        {{5, "", false, std::nullopt}, "Com5"},
        {{1, kAcme, true, acme}, "Com1  /dev/ttyUSB0  FT232R USB UART (A10K3Z), pinned"},
        {{1, kAcme, false, std::nullopt}, "Com1  Acme FT232R USB UART A10K3Z, pinned, not plugged in"},
        {{3, "/dev/pts/7", true, std::nullopt}, "Com3  /dev/pts/7, pinned"},
        {{3, "/dev/ttyUSB7", false, std::nullopt}, "Com3  /dev/ttyUSB7, pinned, not found"},
        {{12, "", false, acme}, "Com12  /dev/ttyUSB0  FT232R USB UART (A10K3Z)"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.choice.text(), r.text);
}

TEST(AdapterName, AReadableNameFromTheByIdName)
{
    const struct {
        const char* path;
        const char* name;
    } rows[] = {
        {"/dev/serial/by-id/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0", "Acme FT232R USB UART A10K3Z"},
        {"/dev/serial/by-id/usb-1a86_USB2.0-Serial-if00-port0", "1a86 USB2.0-Serial"},
        {"/dev/serial/by-id/usb-Acme_Dual_RS232_0042-if01", "Acme Dual RS232 0042"},
        {"/dev/serial/by-id/usb-Acme\\x20Labs_Serial__X9-if00-port3", "Acme Labs Serial X9"},
        {"/tmp/by-id/pci-Builtin_UART", "pci-Builtin UART"},
        {"/dev/serial/by-id/usb-", "usb-"},
        {"/dev/serial/by-id/usb-Acme-if", "Acme-if"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(common::adapterName(r.path), r.name) << r.path;
}

TEST(OrderPorts, AdaptersByPathThenBuiltInPortsByNumber)
{
    std::vector<PortInfo> ports;
    for (const char* d : {"/dev/ttyS10", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyS0"})
        ports.push_back({d, "", "", "", "", false});
    std::vector<std::string> order;
    for (const auto& p : common::orderPorts(ports))
        order.push_back(p.device);
    EXPECT_EQ(order, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0",
                                               "/dev/ttyS2", "/dev/ttyS10"}));
}

TEST(SerialDevicePath, PinsOverrideTheirNumberAndLeaveTheOthersNumbered)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    auto store = SettingsStore::atPath("multTAVRemote", tmp.file("multTAVRemote.ini"));
    const FakePortSource ports(testsupport::twoAdaptersAndABuiltInPort());
    const char* unpinned[] = {"", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyS3", "/dev/ttyS19"};
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(common::serialDevicePath(n, &store, ports), unpinned[n]) << n;
    EXPECT_EQ(common::serialDevicePath(4, &store, ports), unpinned[4]) << "past the ports: the built-in port";
    EXPECT_EQ(common::serialDevicePath(20, &store, ports), unpinned[5]);

    // Com1 pinned to the adapter that sorts second: only Com1 changes.
    const std::string cp2102 = ports.list[1].byIdPath;
    ASSERT_TRUE(store.save("Devices", "Com1", cp2102));
    EXPECT_EQ(common::serialDevicePath(1, &store, ports), cp2102);
    for (int n = 2; n <= 4; ++n)
        EXPECT_EQ(common::serialDevicePath(n, &store, ports), unpinned[n]) << n;
    // And the list shows the same numbering.
    const auto choices = common::portChoices(4, &store, ports.list);
    ASSERT_EQ(choices.size(), 4u);
    ASSERT_TRUE(choices[0].port);
    EXPECT_EQ(choices[0].port->device, "/dev/ttyUSB1");
    for (int n = 2; n <= 3; ++n) {
        ASSERT_TRUE(choices[size_t(n - 1)].port) << n;
        EXPECT_EQ(choices[size_t(n - 1)].port->device, unpinned[n]) << n;
    }
    EXPECT_FALSE(choices[3].port);
    EXPECT_EQ(choices[3].text(), "Com4");
}

TEST(PortChoices, APinFindsItsAdapterWhereverItIsNowOrSaysItIsMissing)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    auto store = SettingsStore::atPath("KorrinUniv1", tmp.file("KorrinUniv1.ini"));
    // The adapter has come back as ttyUSB3; its by-id link is a real one in a fake folder.
    std::filesystem::create_directory(tmp.file("by-id"));
    std::ofstream(tmp.file("ttyUSB3")) << "";
    const std::string link = tmp.file("by-id/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0");
    std::filesystem::create_symlink("../ttyUSB3", link);
    const std::string gone = tmp.file("by-id/usb-Acme_Dual_RS232_0042-if00-port0");
    ASSERT_TRUE(store.save("Devices", "Com2", link));
    ASSERT_TRUE(store.save("Devices", "Com3", gone));
    ASSERT_TRUE(store.save("Devices", "Com4", tmp.file("ttyUSB3")));
    const std::vector<PortInfo> ports = {usbPort(tmp.file("ttyUSB3"), "FT232R USB UART", "A10K3Z", "")};

    const auto choices = common::portChoices(5, &store, ports);
    ASSERT_EQ(choices.size(), 5u);
    EXPECT_EQ(choices[0].text(), "Com1  " + tmp.file("ttyUSB3") + "  FT232R USB UART (A10K3Z)");
    // Found by resolving the link, although the port itself carries no by-id name.
    EXPECT_EQ(choices[1].text(), "Com2  " + tmp.file("ttyUSB3") + "  FT232R USB UART (A10K3Z), pinned");
    EXPECT_EQ(choices[2].text(), "Com3  Acme Dual RS232 0042, pinned, not plugged in");
    EXPECT_FALSE(choices[2].pinFound);
    EXPECT_EQ(choices[3].text(), "Com4  " + tmp.file("ttyUSB3") + "  FT232R USB UART (A10K3Z), pinned");
    EXPECT_EQ(choices[4].text(), "Com5");
}

TEST(SavePin, OnlyAUsbAdapterWithAStableNameIsPinned)
{
    const PortInfo acme = usbPort("/dev/ttyUSB0", "FT232R USB UART", "A10K3Z", kAcme);
    const PortInfo noName = usbPort("/dev/ttyUSB1", "USB2.0-Serial", "", "");
    const PortInfo builtin{"/dev/ttyS0", "", "", "", "", false};
    const PortInfo linkedButBuiltIn{"/dev/ttyS1", "", "", "", "/dev/serial/by-id/pci-uart", false};
    const struct {
        const char* what;
        PortChoice choice;
        const char* pinned; // the [Devices] entry afterwards, "" for none
    } rows[] = {
        {"USB adapter with a by-id name", {1, "", false, acme}, kAcme.c_str()},
        {"USB adapter without one", {1, "", false, noName}, ""},
        {"built-in port", {1, "", false, builtin}, ""},
        {"built-in port with a link", {1, "", false, linkedButBuiltIn}, ""},
        {"number past the ports", {1, "", false, std::nullopt}, ""},
        {"pinned adapter not plugged in", {1, kAcme, false, std::nullopt}, kAcme.c_str()},
        {"pseudo-terminal set by hand", {1, "/dev/pts/7", true, std::nullopt}, "/dev/pts/7"},
        {"pin to the same adapter again", {1, kAcme, true, acme}, kAcme.c_str()},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        TempDir tmp;
        ASSERT_TRUE(tmp.ok());
        auto store = SettingsStore::atPath("multTAVRemote", tmp.file("multTAVRemote.ini"));
        if (!r.choice.pinned.empty()) {
            ASSERT_TRUE(store.save("Devices", "Com1", r.choice.pinned));
        }
        EXPECT_TRUE(common::savePin(store, r.choice));
        const auto back = SettingsStore::atPath("multTAVRemote", tmp.file("multTAVRemote.ini"));
        EXPECT_EQ(back.get("Devices", "Com1", ""), r.pinned);
        EXPECT_EQ(back.get("Properties", "Com1", "<absent>"), "<absent>");
    }
}

TEST(AttachByIdNames, EachLinkNamesTheDeviceItLeadsTo)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    namespace fs = std::filesystem;
    fs::create_directories(tmp.file("dev/serial/by-id"));
    for (const char* d : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0"})
        std::ofstream(tmp.file(std::string("dev/") + d)) << "";
    const std::string dir = tmp.file("dev/serial/by-id");
    fs::create_symlink("../../ttyUSB1", dir + "/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0");
    fs::create_symlink(tmp.file("dev/ttyACM0"), dir + "/usb-Acme_Modem_77-if00");
    // Two names for one device: the first by name is taken.
    fs::create_symlink("../../ttyUSB0", dir + "/usb-B_second-if00-port0");
    fs::create_symlink("../../ttyUSB0", dir + "/usb-A_first-if00-port0");
    fs::create_symlink("../../ttyUSB9", dir + "/usb-Gone_Adapter-if00-port0");
    std::ofstream(dir + "/not-a-link") << "";

    std::vector<PortInfo> ports;
    for (const char* d : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0"})
        ports.push_back({tmp.file(std::string("dev/") + d), "", "", "", "", true});
    common::attachByIdNames(ports, dir);
    EXPECT_EQ(ports[0].byIdPath, dir + "/usb-A_first-if00-port0");
    EXPECT_EQ(ports[1].byIdPath, dir + "/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0");
    EXPECT_EQ(ports[2].byIdPath, dir + "/usb-Acme_Modem_77-if00");
    EXPECT_EQ(ports[3].byIdPath, "");

    // No by-id folder at all (no adapter has a name, or none is plugged in) is no error.
    std::vector<PortInfo> again = {{tmp.file("dev/ttyUSB0"), "", "", "", "", true}};
    common::attachByIdNames(again, tmp.file("dev/serial/missing"));
    EXPECT_EQ(again[0].byIdPath, "");
}

TEST(MissingAdapterAdvice, NamesAPinnedAdapterThatIsNotThere)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    std::filesystem::create_directory(tmp.file("by-id"));
    const std::string missing = tmp.file("by-id/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0");
    const std::string advice = common::missingAdapterAdvice(missing);
    EXPECT_EQ(advice, "The USB adapter \"Acme FT232R USB UART A10K3Z\" is not plugged in.\nIts port is pinned to "
                          + missing
                          + ".\nPlug the adapter in and open the port again, or choose another port in CommPort "
                            "Properties.");
    // A dangling link is an adapter gone too.
    std::filesystem::create_symlink("../ttyUSB9", missing);
    EXPECT_EQ(common::missingAdapterAdvice(missing), advice);

    // Present, or no by-id name: the ordinary open error stands.
    std::ofstream(tmp.file("ttyUSB9")) << "";
    EXPECT_EQ(common::missingAdapterAdvice(missing), "");
    EXPECT_EQ(common::missingAdapterAdvice(tmp.file("ttyUSB4")), "");
    EXPECT_EQ(common::missingAdapterAdvice(""), "");
}
