// The auto upload of the PCU, the motor driver, the modems and the Brine PCU on virtual time
// against their simulated bootloaders, in-process: whole uploads on every path with the image
// the unit reassembled compared with the file, the handshake's branches and failures, the
// checkpoints for "_" and the look for "#", the missing "Ok", the service port's echo bound,
// the USB port that comes back (or not), and Cancel. The line sets its pace: 9600 baud.
#include "ModelLink.h"
#include "PcuImages.h"

#include "sim/Modules.h"
#include "sim/PcuBoot.h"
#include "sim/PcuDirectBoot.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/TextSender.h"
#include "terminal/upload/AutoUpload.h"
#include "terminal/upload/AutoUploadPcu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

namespace uptest {
namespace {

using common::Ms;
using term::ModulePath;
using upload::UploadResult;
using sim::UnitSetup;

using UnitLink = uptest::ModelLink;

class Ui : public term::TerminalUi {
public:
    std::vector<std::string> messages;
    Answer message(const std::string& text, const std::string&, Buttons, Icon) override
    {
        messages.push_back(text);
        return Answer::No;
    }
    void refresh() override {}
};

// One unit on one module path.
class Bench {
public:
    Bench(const char* module, ModulePath p, UnitSetup setup = {})
        : model(module),
          t(clock, ui,
            [this](const term::Terminal&) -> std::unique_ptr<common::Link> {
                auto l = std::make_unique<UnitLink>(model);
                l->onWrite = [this](const std::string& b) { sent += b; };
                // A USB unit's port is there while its device is; a test may refuse opens.
                l->canOpen = [this] {
                    if (refuseOpens > 0) {
                        --refuseOpens;
                        return false;
                    }
                    const auto* direct = dynamic_cast<const sim::PcuDirectBoot*>(&model.module());
                    return !direct || direct->present();
                };
                link = l.get();
                // A link the terminal has let go is not delivered to again.
                l->onGone = [this, gone = l.get()] {
                    if (link == gone)
                        link = nullptr;
                };
                ++linksMade;
                return l;
            }),
          paths(t, nullptr), sender(t), engine(t, paths, sender), autoUpload(engine), path(p)
    {
        char tmpl[] = "/tmp/pcu-upload-XXXXXX";
        dir = ::mkdtemp(tmpl);
        model.device().setShipMotion(false);
        unit().configure(std::move(setup));
        clock.pump = [this] {
            if (clock.now() > modelNow) {
                model.advance(clock.now() - modelNow);
                modelNow = clock.now();
            }
            if (link && clock.now() >= deliverFrom)
                link->deliver();
            if (onPump)
                onPump();
        };
        engine.chooseFile = [this](const std::string&, const std::string&) {
            return std::exchange(file, std::string());
        };
        engine.onProgressWindow = [this](bool show, const std::string&, const std::string&) { progressShown |= show; };
        paths.Select(p, false);
        t.mnuOpen_Click();
    }
    ~Bench()
    {
        clock.pump = nullptr;
        std::filesystem::remove_all(dir);
    }

    sim::UnitBoot& unit() { return model.as<sim::UnitBoot>(); }
    UploadResult upload(const Image& img)
    {
        file = dir + "/unit.s19";
        std::ofstream(file, std::ios::binary) << img.text();
        return autoUpload.cmdAUpload_Click();
    }
    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        const std::string& s = t.screen.text();
        for (size_t from = 0, at; (at = s.find("\r\n", from)) != std::string::npos; from = at + 2)
            out.push_back(s.substr(from, at - from));
        return out;
    }
    bool onScreen(const std::string& line) const
    {
        const auto l = lines();
        return std::find(l.begin(), l.end(), line) != l.end();
    }
    // The log lines, each from its "PT:  " on (a log line may follow what the unit said
    // without a line end, e.g. the prompt ">").
    std::vector<std::string> logLines() const
    {
        std::vector<std::string> pt;
        for (const auto& l : lines())
            if (const size_t at = l.find("PT:  "); at != std::string::npos)
                pt.push_back(l.substr(at));
        return pt;
    }
    bool logged(const std::string& line) const
    {
        const auto l = logLines();
        return std::find(l.begin(), l.end(), line) != l.end() || onScreen(line);
    }
    // The last n log lines.
    std::vector<std::string> tail(size_t n) const
    {
        const auto pt = logLines();
        return {pt.end() - std::ptrdiff_t(std::min(n, pt.size())), pt.end()};
    }
    // The last line on the screen ends with this.
    bool endsWith(const std::string& text) const
    {
        const std::string last = lines().back();
        return last.size() >= text.size() && last.compare(last.size() - text.size(), text.size(), text) == 0;
    }
    size_t count(const std::string& what) const
    {
        size_t n = 0;
        for (size_t at = sent.find(what); at != std::string::npos; at = sent.find(what, at + 1))
            ++n;
        return n;
    }
    void expectImage(const Image& img)
    {
        const auto& mem = unit().boot().memory();
        for (const auto& [address, value] : img.bytes)
            ASSERT_EQ(mem[address], value) << "at " << address;
        EXPECT_TRUE(unit().boot().s9Seen());
        EXPECT_FALSE(unit().boot().refusedSinceErase());
    }

    common::VirtualClock clock;
    sim::ModuleModel model;
    Ms modelNow{0};
    std::string sent;
    int refuseOpens = 0;
    int linksMade = 0;
    UnitLink* link = nullptr;
    Ui ui;
    term::Terminal t;
    term::ModulePaths paths;
    term::TextSender sender;
    upload::UploadEngine engine;
    upload::AutoUpload autoUpload;
    ModulePath path;
    std::string file;
    std::function<void()> onPump;
    Ms deliverFrom{0}; // what the unit says reaches the terminal from then on
    bool progressShown = false;
    std::string dir;
};

const std::string kRebootAcu = "\\0090\r\n[Z\r\n";

TEST(AutoUploadPcu, EveryPathLoadsTheImageAndRestartsItsUnit)
{
    const struct {
        const char* module;
        ModulePath path;
        std::vector<std::string> tail; // the last "PT:  " lines
        std::string sentLast;          // what went out last
        std::string screenLast;        // the last line on the screen
    } cases[] = {
        {"pcu-boot", ModulePath::TAV8p,
         {"PT:  PCU programming complete, No errors detected!!", "PT:  Re-booting ACU", "PT:  Re-booting CommIF"},
         kRebootAcu, "PT:  Re-booting CommIF"},
        {"pcu-boot", ModulePath::TAVp,
         {"PT:  PCU programming complete, No errors detected!!", "PT:  Re-booting ACU", "PT:  Re-booting CommIF"},
         kRebootAcu, "PT:  Re-booting CommIF"},
        {"mde-boot", ModulePath::TAV8mdb,
         {"PT:  Motor Driver programming complete, No errors detected!!", "PT:  Re-Booting PCU", "PT:  Re-booting ACU",
          "PT:  Re-booting CommIF"},
         "^0090\r\n" + kRebootAcu, "PT:  Re-booting CommIF"},
        {"pcu-usb", ModulePath::USBpcu, {"PT:  PCU programming complete, No errors detected!! "}, "\r\n",
         "Update Cycle Complete !!"},
        {"pcu-service", ModulePath::SPG2pcu, {"PT:  PCU programming complete, No errors detected!! "}, "\r\n",
         "PT:  PCU programming complete, No errors detected!! "},
        {"mde-usb", ModulePath::USBmdb, {"PT:  MDE programming complete, No errors detected!! "}, "\r\n",
         "Update Cycle Complete !!"},
        {"modem-boot", ModulePath::TAV8m1, {"PT:  Module upload complete (this module path reports no errors)"},
         "#!   \r\n#!   \r\n", "PT:  Module upload complete (this module path reports no errors)"},
        {"modem-boot", ModulePath::TAV8m2, {"PT:  Module upload complete (this module path reports no errors)"},
         "#!   \r\n#!   \r\n", "PT:  Module upload complete (this module path reports no errors)"},
        {"brine-boot", ModulePath::CPCU, {"PT:  Module upload complete (this module path reports no errors)"},
         "S9030000FC\r\n", "PT:  Module upload complete (this module path reports no errors)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(term::modulePathRow(c.path).code);
        Bench b(c.module, c.path);
        const Image img = unitImage(c.path, 30);
        EXPECT_EQ(b.upload(img), UploadResult::Complete) << b.t.screen.text();
        b.expectImage(img);
        EXPECT_EQ(b.tail(c.tail.size()), c.tail);
        EXPECT_EQ(b.sent.substr(b.sent.size() - std::min(b.sent.size(), c.sentLast.size())), c.sentLast);
        EXPECT_TRUE(b.endsWith(c.screenLast)) << b.lines().back();
        EXPECT_TRUE(b.ui.messages.empty()) << b.ui.messages.front();
        EXPECT_TRUE(b.progressShown);
        EXPECT_TRUE(b.logged("PT:  Sucessful Erase"));
        EXPECT_TRUE(b.logged("PT:  Begin Module Upload"));
        const bool routed = c.path != ModulePath::USBpcu && c.path != ModulePath::SPG2pcu && c.path != ModulePath::USBmdb;
        EXPECT_EQ(b.count("\x1b[L\r\n"), routed ? 1u : 0u) << "the external ports are locked on paths through the ACU";
        EXPECT_TRUE(b.t.linkOpen());
    }
}

TEST(AutoUploadPcu, TheHandshakeEndsAsEachFailureCalls)
{
    auto with = [](std::function<void(UnitSetup&)> f) {
        UnitSetup s;
        f(s);
        return s;
    };
    const struct {
        const char* what;
        const char* module;
        ModulePath path;
        UnitSetup setup;
        UploadResult result;
        std::string last; // the last "PT:  " line
        bool erased;
    } cases[] = {
        {"no ACU: two soft resets", "pcu-boot", ModulePath::TAV8p, with([](UnitSetup& s) { s.start = UnitSetup::Start::Silent; }),
         UploadResult::HandshakeFailed,
         "PT:  Unable to communicate with ACU.  Manually reset the ACU and try the Auto Upload function again", false},
        {"no PCU bootloader after three tries", "pcu-boot", ModulePath::TAV8p, with([](UnitSetup& s) { s.bootOnTry = 4; }),
         UploadResult::HandshakeFailed,
         "PT:  PCU Bootloader not responding,  Power cycle the PCU and try the Auto Upload function again", false},
        {"a silent PCU behind a working ACU", "pcu-boot", ModulePath::TAVp,
         with([](UnitSetup& s) { s.start = UnitSetup::Start::UnitSilent; }), UploadResult::HandshakeFailed,
         "PT:  PCU Bootloader not responding,  Power cycle the PCU and try the Auto Upload function again", false},
        {"the PCU bootloader on the third try", "pcu-boot", ModulePath::TAV8p, with([](UnitSetup& s) { s.bootOnTry = 3; }),
         UploadResult::Complete, "PT:  Re-booting CommIF", true},
        {"the MDE bootloader on the third try", "mde-boot", ModulePath::TAV8mdb, with([](UnitSetup& s) { s.bootOnTry = 3; }),
         UploadResult::Complete, "PT:  Re-booting CommIF", true},
        {"no MDE bootloader", "mde-boot", ModulePath::TAV8mdb, with([](UnitSetup& s) { s.bootOnTry = 0; }),
         UploadResult::HandshakeFailed,
         "PT:  MDE Bootloader not responding,  Power cycle the PCU and try the Auto Upload function again", false},
        {"a PCU status of 8 still asks the version", "pcu-boot", ModulePath::TAV8p, with([](UnitSetup& s) { s.statusLength = 8; }),
         UploadResult::Complete, "PT:  Re-booting CommIF", true},
        {"the MDE path takes only 7: 8 goes on without the version", "mde-boot", ModulePath::TAV8mdb,
         with([](UnitSetup& s) { s.statusLength = 8; }), UploadResult::Complete, "PT:  Re-booting CommIF", true},
        {"a USB PCU already in its bootloader", "pcu-usb", ModulePath::USBpcu,
         with([](UnitSetup& s) { s.start = UnitSetup::Start::Bootloader; }), UploadResult::Complete,
         "PT:  PCU programming complete, No errors detected!! ", true},
        {"no PCU bootloader on the service port", "pcu-service", ModulePath::SPG2pcu,
         with([](UnitSetup& s) { s.bootOnTry = 2; }), UploadResult::HandshakeFailed, "PT:  PCU Bootloader not responding, Exit!", false},
        {"no MDB V", "mde-usb", ModulePath::USBmdb, with([](UnitSetup& s) { s.start = UnitSetup::Start::Silent; }),
         UploadResult::HandshakeFailed, "PT:  MDE not responding. EXIT!", false},
        {"no USB MDE bootloader", "mde-usb", ModulePath::USBmdb, with([](UnitSetup& s) { s.bootOnTry = 0; }),
         UploadResult::HandshakeFailed, "PT:  MDE Bootloader not responding, Exit!", false},
        {"a modem whose erase fails three times", "modem-boot", ModulePath::TAV8m1, with([](UnitSetup& s) { s.refuseErase = true; }),
         UploadResult::EraseFailed, "PT:  Un-sucessful Erase, Manually reset the ACU and try the Auto Upload function again", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b(c.module, c.path, c.setup);
        EXPECT_EQ(b.upload(unitImage(c.path, 3)), c.result) << b.t.screen.text();
        EXPECT_EQ(b.tail(1).at(0), c.last);
        EXPECT_EQ(b.progressShown, c.erased);
        EXPECT_EQ(b.unit().boot().eraseCount() > 0, c.erased);
        EXPECT_TRUE(b.ui.messages.empty());
    }
}

TEST(AutoUploadPcu, APcuStatusOfNineSkipsTheVersionCheck)
{
    UnitSetup s;
    s.start = UnitSetup::Start::Bootloader; // "?S": "BOOT OK" CR LF
    Bench b("pcu-boot", ModulePath::TAV8p, s);
    EXPECT_EQ(b.upload(unitImage(ModulePath::TAV8p, 3)), UploadResult::Complete);
    EXPECT_EQ(b.count("?V\r\n"), 0u);
    EXPECT_TRUE(b.logged("PT:  Unexpected response, try to re-start Bootloader"));
    EXPECT_FALSE(b.logged("PT:  PCU responding normally, Check PCU version number (send ?V)"));
    EXPECT_TRUE(b.logged("PT:  PCU motor drives disabled, start Bootloader"));
    EXPECT_TRUE(b.logged("PT:  Bootload Start Try 1"));
    EXPECT_FALSE(b.logged("PT:  Bootload Start Try 2"));
}

TEST(AutoUploadPcu, APcuOfAnotherMajorVersionIsLeftAsItIsAndTheAcuRebooted)
{
    UnitSetup s;
    s.version = "6.20";
    Bench b("pcu-boot", ModulePath::TAV8p, s);
    EXPECT_EQ(b.upload(unitImage(ModulePath::TAV8p, 3, "7.05")), UploadResult::HandshakeFailed);
    EXPECT_TRUE(b.logged("PT:  PCU responding normally, Check PCU version number (send ?V)"));
    EXPECT_EQ(b.tail(3), (std::vector<std::string>{"PT:  File and Module major version numbers do not match, Cannot proceed.",
                                                   "PT:  Re-booting ACU", "PT:  Re-booting CommIF"}));
    EXPECT_EQ(b.sent.substr(b.sent.size() - kRebootAcu.size()), kRebootAcu);
    EXPECT_TRUE(b.ui.messages.empty()) << "no question, unlike the ACU's own upload";
    EXPECT_EQ(b.count("n0000"), 0u);
    EXPECT_EQ(b.unit().boot().eraseCount(), 0);
    EXPECT_EQ(b.autoUpload.moduleVersion(), "6.20");
}

TEST(AutoUploadPcu, AnUnderscoreWithinTheFirstTwentyLinesStopsTheTransferAtTheTwentieth)
{
    UnitSetup s;
    s.refuseRecord = 5;
    Bench b("pcu-boot", ModulePath::TAV8p, s);
    EXPECT_EQ(b.upload(unitImage(ModulePath::TAV8p, 60)), UploadResult::TransferErrors);
    EXPECT_EQ(b.unit().boot().recordsReceived(), 20);
    EXPECT_EQ(b.tail(4), (std::vector<std::string>{"PT:  WARNING Errors detected, PCU will be inoperative",
                                                   "PT:  Try running the Auto Upload function again", "PT:  Re-booting ACU",
                                                   "PT:  Re-booting CommIF"}));
    EXPECT_EQ(b.count("#!    \r\n"), 0u) << "no end-of-transfer lines";
    EXPECT_EQ(b.sent.substr(b.sent.size() - kRebootAcu.size()), kRebootAcu);
}

TEST(AutoUploadPcu, TheMotorDriversErrorIsSeenAfterTheEnd)
{
    UnitSetup s;
    s.refuseRecord = 7;
    Bench b("mde-boot", ModulePath::TAV8mdb, s);
    EXPECT_EQ(b.upload(unitImage(ModulePath::TAV8mdb, 30)), UploadResult::TransferErrors);
    EXPECT_EQ(b.unit().boot().recordsReceived(), 34) << "no checkpoints: the whole image goes";
    EXPECT_EQ(b.count("#!    \r\n"), 2u);
    EXPECT_EQ(b.tail(5), (std::vector<std::string>{"PT:  WARNING Errors detected", "PT:  Try running the Auto Upload function again",
                                                   "PT:  Re-booting PCU", "PT:  Re-booting ACU", "PT:  Re-booting CommIF"}));
    EXPECT_NE(b.sent.find("^0090\r\n" + kRebootAcu), std::string::npos);
}

TEST(AutoUploadPcu, ADirectUnitWithoutOkReportsErrors)
{
    const struct {
        const char* module;
        ModulePath path;
        bool portClosed;     // the link is given up without waiting
        bool waitedForPort;  // the wait for the port to return
    } cases[] = {
        {"pcu-usb", ModulePath::USBpcu, true, false},
        {"pcu-service", ModulePath::SPG2pcu, false, false},
        {"mde-usb", ModulePath::USBmdb, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        UnitSetup s;
        s.noOk = true;
        Bench b(c.module, c.path, s);
        EXPECT_EQ(b.upload(unitImage(c.path, 10)), UploadResult::TransferErrors);
        EXPECT_TRUE(b.logged("PT:  WARNING Errors detected"));
        EXPECT_TRUE(b.logged("PT:  Try running the Auto Upload function again"));
        EXPECT_EQ(b.logged("PT:  Closing Port "), c.portClosed);
        EXPECT_EQ(b.logged("Waiting for application to restart"), c.waitedForPort);
        EXPECT_EQ(b.t.linkOpen(), !c.portClosed);
    }
}

// Over USB the lines go out without waiting for their echoes; an "Ok" that comes seconds after
// the last line has left (a slow adapter, a busy unit) is still the unit's verdict.
TEST(AutoUploadPcu, AUsbUnitsLateOkIsWaitedFor)
{
    for (const bool late : {true, false}) {
        SCOPED_TRACE(late ? "Ok 3 s late" : "no Ok");
        UnitSetup s;
        s.noOk = !late;
        Bench b("pcu-usb", ModulePath::USBpcu, s);
        bool held = false;
        b.onPump = [&] {
            // From the record before the end record on: the end record's "Ok" comes late.
            if (!held && b.sent.find("S105F803") != std::string::npos) {
                held = true;
                b.deliverFrom = b.clock.now() + Ms{3000};
            }
        };
        const Ms before = b.clock.now();
        EXPECT_EQ(b.upload(unitImage(ModulePath::USBpcu, 10)),
                  late ? UploadResult::Complete : UploadResult::TransferErrors);
        EXPECT_EQ(b.logged("PT:  PCU programming complete, No errors detected!! "), late);
        if (!late) { // the wait is bounded: the line's own time and five seconds
            EXPECT_LT(b.clock.now() - before, Ms{30000});
        }
    }
}

TEST(AutoUploadPcu, TheUsbPortComingBackAtTheLastTryCompletesANeverReturningOneDoesNot)
{
    const struct {
        int refused; // opens refused once the port has been closed
        UploadResult result;
        std::string last;
        bool open;
    } cases[] = {
        {60, UploadResult::Complete, "Update Cycle Complete !!", true},
        {61, UploadResult::TransferErrors, "Port did not re-open with 60 seconds", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        UnitSetup s;
        s.goneFor = Ms{0};
        Bench b("pcu-usb", ModulePath::USBpcu, s);
        Ms closedAt{0};
        b.onPump = [&] {
            if (closedAt == Ms{0} && b.logged("Closing USB/Service port")) {
                closedAt = b.clock.now();
                b.refuseOpens = c.refused;
            }
        };
        EXPECT_EQ(b.upload(unitImage(ModulePath::USBpcu, 5)), c.result);
        EXPECT_TRUE(b.endsWith(c.last)) << b.lines().back();
        EXPECT_EQ(b.t.linkOpen(), c.open);
        EXPECT_EQ(b.clock.now() - closedAt, Ms{1500 + 61 * 1000});
        EXPECT_NE(b.autoUpload.outcome().find(c.open ? "" : "did not re-open"), std::string::npos);
    }
}

TEST(AutoUploadPcu, TheServicePortsEchoIsWaitedForFiveSecondsThenTheUploadIsCancelled)
{
    UnitSetup s;
    s.silentAfterRecords = 4;
    Bench b("pcu-service", ModulePath::SPG2pcu, s);
    Ms lastEcho{0};
    b.onPump = [&] {
        if (!b.unit().fellSilent())
            lastEcho = b.clock.now();
    };
    const Image img = unitImage(ModulePath::SPG2pcu, 20);
    EXPECT_EQ(b.upload(img), UploadResult::Cancelled);
    EXPECT_NE(b.sent.find(img.lines[4] + "\r\n"), std::string::npos) << "one line after the last echo";
    EXPECT_EQ(b.sent.find(img.lines[5]), std::string::npos);
    EXPECT_EQ(b.tail(3), (std::vector<std::string>{"PT:  No answer from the PCU for 5 seconds after a line, the transfer stops",
                                                   "PT:  WARNING Upload Cancled", "PT:  Re-Booting PCU"}));
    EXPECT_EQ(b.sent.substr(b.sent.size() - 12), "S9030000FC\r\n");
    EXPECT_TRUE(b.t.linkOpen()) << "the service port stays";
    EXPECT_EQ(b.autoUpload.outcome(), "cancelled: no echo from the PCU");
    EXPECT_GE(b.clock.now() - lastEcho, upload::kServiceEchoWait);
}

TEST(AutoUploadPcu, CancelDuringTheTransferStopsBeforeTheNextLineAndStillRestarts)
{
    const struct {
        const char* module;
        ModulePath path;
        std::vector<std::string> tail;
        std::string sentLast;
        bool open;
    } cases[] = {
        {"pcu-boot", ModulePath::TAV8p,
         {"PT:  WARNING Upload Cancled", "PT:  PCU will be inoperative, ", "PT:  Re-booting ACU", "PT:  Re-booting CommIF"},
         kRebootAcu, true},
        {"mde-boot", ModulePath::TAV8mdb,
         {"PT:  WARNING Upload Cancled", "PT:  Re-Booting PCU", "PT:  Re-booting ACU", "PT:  Re-booting CommIF"},
         "^0090\r\n" + kRebootAcu, true},
        {"pcu-usb", ModulePath::USBpcu, {"PT:  WARNING Upload Cancled", "PT:  Re-Booting PCU", "PT:  Closing Port "},
         "S9030000FC\r\n", false},
        {"mde-usb", ModulePath::USBmdb, {"PT:  WARNING Upload Cancled", "PT:  Re-Booting MDE", "PT:  Closing Port "},
         "S9\r\n", false},
        {"modem-boot", ModulePath::TAV8m2, {"PT:  WARNING Upload Cancled", "PT:  Please run the Auto Upload function again"},
         "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        Bench b(c.module, c.path);
        b.onPump = [&] {
            if (b.unit().boot().recordsReceived() >= 7 && b.t.abortFlag == 0 && b.progressShown)
                b.engine.cancel();
        };
        EXPECT_EQ(b.upload(unitImage(c.path, 30)), UploadResult::Cancelled);
        EXPECT_LE(b.unit().boot().recordsReceived(), 8);
        EXPECT_EQ(b.tail(c.tail.size()), c.tail);
        if (!c.sentLast.empty()) {
            EXPECT_EQ(b.sent.substr(b.sent.size() - c.sentLast.size()), c.sentLast);
        }
        EXPECT_EQ(b.t.linkOpen(), c.open);
        EXPECT_EQ(b.autoUpload.outcome(), "cancelled during the transfer");
    }
}

} // namespace
} // namespace uptest
