// The uploads through the Vantor on virtual time, in-process, against the simulated modules:
// the Vantor's application and bootloader over its USB port (vantor-boot), the Orla PCU behind
// the Vantor's stream (orla-boot) and the SLCD (slcd). Each whole upload is compared with the
// file; each branch of the three sequences is reached by a fault of its module.
#include "ModelLink.h"
#include "ImageFiles.h"
#include "UploadFixture.h"

#include "sim/Modules.h"
#include "sim/OrlaBoot.h"
#include "sim/SlcdBoot.h"
#include "sim/VantorBoot.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/TextSender.h"
#include "terminal/upload/AutoUpload.h"
#include "terminal/upload/VantorUpload.h"

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

// The module's link, known to the test while it exists (the USB port comes and goes).
class ModelLink : public uptest::ModelLink {
public:
    ModelLink(sim::ModuleModel& m, std::vector<std::string>& writes, std::vector<ModelLink*>& alive)
        : uptest::ModelLink(m), alive_(alive)
    {
        onWrite = [&writes](const std::string& b) { writes.push_back(b); };
        alive_.push_back(this);
    }
    ~ModelLink() override { alive_.erase(std::find(alive_.begin(), alive_.end(), this)); }

private:
    std::vector<ModelLink*>& alive_;
};

class Ui : public term::TerminalUi {
public:
    std::vector<std::string> messages;
    Answer message(const std::string& text, const std::string&, Buttons, Icon) override
    {
        messages.push_back(text);
        return Answer::Ok;
    }
    void refresh() override {}
};

// A log line goes at the end of the screen: what the module said without a line end just
// before it ("*") shows on the same line.
bool endsWith(const std::string& screenLine, const std::string& logLine)
{
    return screenLine.size() >= logLine.size()
           && screenLine.compare(screenLine.size() - logLine.size(), logLine.size(), logLine) == 0;
}

// An image of records data records of 16 bytes from 0x8000, a last record at lastAddress
// (the address the module's images end with) and S9, with a header.
Image imageEndingAt(int records, unsigned lastAddress)
{
    Image img;
    img.lines.push_back("S00600004844521B");
    auto add = [&img](unsigned address, const std::vector<std::uint8_t>& data) {
        img.lines.push_back(s1Record(address, data));
        for (size_t i = 0; i < data.size(); ++i)
            img.bytes.emplace_back(unsigned(address + i), data[i]);
    };
    for (int r = 0; r < records; ++r) {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < 16; ++i)
            data.push_back(std::uint8_t(r * 16 + i * 5 + 1));
        add(0x8000 + unsigned(r) * 16, data);
    }
    add(lastAddress, {0x12, 0x34});
    img.lines.push_back("S9030000FC");
    return img;
}

// A BIN image: 0xEB 0xFE, then bytes that differ from block to block.
std::string binImage(size_t size)
{
    std::string b;
    for (size_t i = 0; i < size; ++i)
        b.push_back(char(i == 0 ? 0xEB : i == 1 ? 0xFE : (i * 7 + i / 128) & 0xFF));
    return b;
}

class VantorUploadTest : public ::testing::Test {
protected:
    VantorUploadTest()
        : t(clock, ui,
            [this](const term::Terminal&) -> std::unique_ptr<common::Link> {
                ++linksMade;
                return std::make_unique<ModelLink>(*model, writes, links);
            }),
          paths(t, nullptr), sender(t), engine(t, paths, sender), autoUpload(engine)
    {
        char tmpl[] = "/tmp/vantor-upload-XXXXXX";
        dir = ::mkdtemp(tmpl);
        autoUpload.autoUploadVantor = [this] { return upload::AutoUploadVantor(engine); };
        autoUpload.autoUploadSLCD = [this] { return upload::AutoUploadSLCD(engine); };
        clock.pump = [this] {
            if (clock.now() > modelNow) {
                model->advance(clock.now() - modelNow);
                modelNow = clock.now();
            }
            for (size_t i = 0; i < links.size(); ++i)
                links[i]->deliver();
            if (onPump)
                onPump();
        };
        engine.chooseFile = [this](const std::string&, const std::string&) {
            if (files.empty())
                return std::string();
            std::string f = files.front();
            files.pop_front();
            return f;
        };
        engine.onProgressWindow = [this](bool show, const std::string&, const std::string& text) {
            progress.push_back(show ? text : "hidden");
        };
    }
    ~VantorUploadTest() override
    {
        clock.pump = nullptr;
        std::filesystem::remove_all(dir);
    }

    // The module behind the link and the path to it, the link open.
    void use(const char* module, ModulePath p)
    {
        if (t.linkOpen())
            t.mnuOpen_Click(); // no link to the module before is left open
        model = std::make_unique<sim::ModuleModel>(module);
        model->device().setShipMotion(false);
        modelNow = clock.now();
        paths.Select(p, false);
        t.mnuOpen_Click();
        ASSERT_TRUE(t.linkOpen());
        writes.clear();
    }
    sim::VantorBoot& vantor() { return model->as<sim::VantorBoot>(); }
    sim::OrlaBoot& orla() { return model->as<sim::OrlaBoot>(); }
    sim::SlcdBoot& slcd() { return model->as<sim::SlcdBoot>(); }

    std::string file(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    UploadResult upload(const std::string& path)
    {
        files = {path};
        return autoUpload.cmdAUpload_Click();
    }
    std::vector<std::string> screenLines() const
    {
        std::vector<std::string> out;
        const std::string& s = t.screen.text();
        for (size_t from = 0, at; (at = s.find("\r\n", from)) != std::string::npos; from = at + 2)
            out.push_back(s.substr(from, at - from));
        return out;
    }
    bool logged(const std::string& line) const { return loggedInOrder({line}); }
    // The lines given, in this order (others may come between them).
    bool loggedInOrder(const std::vector<std::string>& want) const
    {
        const auto l = screenLines();
        auto at = l.begin();
        for (const auto& w : want) {
            at = std::find_if(at, l.end(), [&w](const std::string& line) { return endsWith(line, w); });
            if (at == l.end())
                return false;
            ++at;
        }
        return true;
    }
    int sentCount(const std::string& bytes) const { return int(std::count(writes.begin(), writes.end(), bytes)); }

    common::VirtualClock clock;
    std::unique_ptr<sim::ModuleModel> model;
    Ms modelNow{0};
    std::vector<std::string> writes;
    std::vector<ModelLink*> links;
    int linksMade = 0;
    Ui ui;
    term::Terminal t;
    term::ModulePaths paths;
    term::TextSender sender;
    upload::UploadEngine engine;
    upload::AutoUpload autoUpload;
    std::deque<std::string> files;
    std::vector<std::string> progress;
    std::function<void()> onPump;
    std::string dir;
};

// ---------------------------------------------------------------- USB to Vantor App

TEST_F(VantorUploadTest, AVantorUploadLoadsTheImageAndWaitsForTheApplicationToComeBack)
{
    use("vantor-boot", ModulePath::Vantor);
    const Image img = imageEndingAt(30, 0xE003);
    EXPECT_EQ(upload(file("vantor.s19", img.text())), UploadResult::Complete) << t.screen.text();
    EXPECT_EQ(vantor().image().lines(), img.lines) << "every line, the header included, one a line";
    for (const auto& [address, value] : img.bytes)
        ASSERT_EQ(vantor().image().memory()[address], value) << "at " << address;
    EXPECT_TRUE(loggedInOrder({"PT:  Checking Communication with Vantor",
                               "PT:  Vantor responding correctly, starting bootloader",
                               "PT:  Bootloader start attempt  1", "Sending '^BL' Command to enter Bootloader mode",
                               "Closing USB Port", "Waiting for Bootloader to open USB port",
                               "Port open, checking for Bootloader response", "PT:  Bootloader start is sucessful!",
                               "Programming complete!", "Closing USB/Service port",
                               "Waiting for application to restart", "Update Cycle Complete !!"}))
        << t.screen.text();
    EXPECT_EQ(vantor().usbDrops(), 2) << "into the bootloader and back into the application";
    EXPECT_EQ(vantor().mode(), sim::VantorBoot::Mode::Application);
    EXPECT_TRUE(t.linkOpen());
    EXPECT_FALSE(t.collect) << "cleared when the start ended";
    EXPECT_EQ(sentCount("^0578\r\n"), 1);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front() << t.screen.text();
}

TEST_F(VantorUploadTest, TheBootloaderAnsweringTheSecondAttemptComesAfterTwoPortCycles)
{
    use("vantor-boot", ModulePath::Vantor);
    vantor().faults().bootFailures = 1; // the first "^BL" brings the application back
    EXPECT_EQ(upload(file("vantor.s19", imageEndingAt(3, 0xE003).text())), UploadResult::Complete);
    EXPECT_TRUE(loggedInOrder({"PT:  Bootloader start attempt  1", "PT:  Bootloader start not sucessful, trying again",
                               "PT:  Bootloader start attempt  2", "PT:  Bootloader start is sucessful!"}));
    EXPECT_FALSE(logged("PT:  Bootloader start attempt  3"));
    EXPECT_EQ(vantor().bootRequests(), 2);
    EXPECT_EQ(sentCount("verB\r\n"), 2);
    // The start link, two reopened by the connect toggle, one probe and the last reconnect.
    EXPECT_EQ(linksMade, 5);
}

TEST_F(VantorUploadTest, AVantorThatDoesNotStartItsBootloaderIsNeverErased)
{
    const struct {
        const char* what;
        std::function<void(sim::VantorBoot&)> fault;
        UploadResult result;
        std::string last; // the sequence's last line
        int bootRequests;
    } cases[] = {
        {"the application does not answer", [](sim::VantorBoot& v) { v.setStart(sim::VantorBoot::Start::Silent); },
         UploadResult::HandshakeFailed, "PT:  Unexpected response, check port settings and try again", 0},
        {"the bootloader runs already (verA unknown)",
         [](sim::VantorBoot& v) { v.setStart(sim::VantorBoot::Start::Bootloader); }, UploadResult::HandshakeFailed,
         "PT:  Unexpected response, check port settings and try again", 0},
        {"three starts that do not take", [](sim::VantorBoot& v) { v.faults().bootFailures = 3; },
         UploadResult::HandshakeFailed, " PT:  Bootloader start failed, cycle power to Vantor and try again", 3},
        // Gone 7 s: the port is not back when the first attempt opens it again; the second
        // attempt finds the bootloader.
        {"a bootloader slower than the wait", [](sim::VantorBoot& v) { v.faults().bootTime = Ms{7000}; },
         UploadResult::Complete, "Update Cycle Complete !!", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        use("vantor-boot", ModulePath::Vantor);
        c.fault(vantor());
        EXPECT_EQ(upload(file("vantor.s19", imageEndingAt(3, 0xE003).text())), c.result);
        EXPECT_EQ(screenLines().back(), c.last) << t.screen.text();
        EXPECT_EQ(vantor().bootRequests(), c.bootRequests);
        EXPECT_EQ(sentCount("^0578\r\n") > 0, c.result == UploadResult::Complete);
        EXPECT_FALSE(t.collect);
        if (t.linkOpen())
            t.mnuOpen_Click();
    }
}

TEST_F(VantorUploadTest, AnApplicationThatNeverComesBackIsAnErrorAfterSixtySeconds)
{
    use("vantor-boot", ModulePath::Vantor);
    vantor().faults().noReturn = true;
    Ms sentAt{-1};
    onPump = [&] {
        if (sentAt < Ms{0} && vantor().image().endSeen())
            sentAt = clock.now();
    };
    EXPECT_EQ(upload(file("vantor.s19", imageEndingAt(3, 0xE003).text())), UploadResult::TransferErrors);
    EXPECT_EQ(screenLines().back(), "Port did not re-open with 60 seconds");
    EXPECT_FALSE(logged("Update Cycle Complete !!"));
    EXPECT_GE(clock.now() - sentAt, Ms{1500 + 61 * 1000});
    EXPECT_FALSE(t.linkOpen());
}

// ---------------------------------------------------------------- Orla PCU via Vantor

TEST_F(VantorUploadTest, AnOrlaUploadSendsAllButTheFirstLineEachAnsweredAndEndsWithTheCrc)
{
    use("orla-boot", ModulePath::OrlaPCU);
    const Image img = imageEndingAt(25, 0xF003);
    EXPECT_EQ(upload(file("orla.s19", img.text())), UploadResult::Complete) << t.screen.text();
    const std::vector<std::string> sentLines(img.lines.begin() + 1, img.lines.end());
    EXPECT_EQ(orla().image().lines(), sentLines) << "the first line is not sent";
    for (const auto& [address, value] : img.bytes)
        ASSERT_EQ(orla().image().memory()[address], value) << "at " << address;
    EXPECT_TRUE(loggedInOrder({"PT:  Checking for Vantor Active", "PT:  Vantor Active, Send '$' until no more responses",
                               "PT:  Vantor Stop attempt  1", "PT:  Bootloader start attempt 1", "PT:  Erase attempt 1"}));
    EXPECT_FALSE(logged("PT:  Vantor Stop attempt  2")) << "the stream stops at the first \"$\"";
    EXPECT_NE(t.screen.text().find("CRC is GOOD\r\nWaiting for PCU to reboot\r\n"), std::string::npos);
    EXPECT_EQ(writes.back(), "%") << "the Vantor's comms on again";
    EXPECT_TRUE(orla().streaming());
    clock.advance(sim::OrlaBoot::rebootTime);
    EXPECT_EQ(orla().mode(), sim::OrlaBoot::Mode::Application);
}

TEST_F(VantorUploadTest, EveryBranchOfTheOrlaStartAndErase)
{
    using S = sim::OrlaBoot;
    const struct {
        const char* what;
        std::function<void(S&)> fault;
        UploadResult result;
        std::vector<std::string> lines; // logged in this order
        int stops, starts;             // "$" with the stream checked, "^B" sent
    } cases[] = {
        {"a quiet Vantor", [](S& o) { o.setStream(S::Stream::Quiet); }, UploadResult::Complete,
         {"PT:  Vantor inactive, Skip '$' command", "PT:  Bootloader start attempt 1"}, 0, 1},
        {"a Vantor that keeps streaming", [](S& o) { o.setStream(S::Stream::Endless); }, UploadResult::HandshakeFailed,
         {"PT:  Vantor Stop attempt  25", "PT:  Vantor stop failed, check Com Ports and try again"}, 25, 0},
        {"the bootloader answers \"$\" with ERASE", [](S& o) { o.setStart(S::Start::Bootloader); },
         UploadResult::Complete, {"PT:  Bootloarder already active, skip '^B' command", "PT:  Erase attempt 1"}, 1, 0},
        {"two \"^B\" not taken", [](S& o) { o.faults().bootFailures = 2; }, UploadResult::Complete,
         {"PT:  Bootloader start attempt 3", "PT:  Erase attempt 1"}, 1, 3},
        {"a PCU that never takes \"^B\"", [](S& o) { o.setStart(S::Start::Deaf); }, UploadResult::HandshakeFailed,
         {"PT:  Bootloader start attempt 5", "PT:  Bootloader start failed, check Com Ports and try again"}, 1, 5},
        {"an erase without OK", [](S& o) { o.faults().erase = S::EraseFault::Fails; }, UploadResult::EraseFailed,
         {"PT:  Erase attempt 3", "PT:  Un-sucessful Erase, Manually reset the PCU and try the Auto Upload function again"},
         1, 1},
        {"an erase not answered", [](S& o) { o.faults().erase = S::EraseFault::Silent; }, UploadResult::EraseFailed,
         {"PT:  Erase attempt 3", "PT:  Un-sucessful Erase, Manually reset the PCU and try the Auto Upload function again"},
         1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        use("orla-boot", ModulePath::OrlaPCU);
        c.fault(orla());
        t.ClearScreen();
        progress.clear();
        EXPECT_EQ(upload(file("orla.s19", imageEndingAt(3, 0xF003).text())), c.result);
        EXPECT_TRUE(loggedInOrder(c.lines)) << t.screen.text();
        // The "$" of the stop attempts, and the one that asks for the bootloader's menu.
        EXPECT_EQ(sentCount("$"), c.stops + (c.result == UploadResult::HandshakeFailed && c.starts == 0 ? 0 : 1));
        EXPECT_EQ(sentCount("^B\r"), c.starts);
        EXPECT_EQ(sentCount("^0578\r") > 0, c.result == UploadResult::Complete || c.result == UploadResult::EraseFailed);
        EXPECT_EQ(!progress.empty(), c.result == UploadResult::Complete) << "no transfer into an unerased PCU";
        EXPECT_FALSE(t.collect);
    }
}

TEST_F(VantorUploadTest, AnOrlaTransferWithoutTheGoodCrcOrItsAnswersIsAnError)
{
    const struct {
        const char* what;
        std::function<void(sim::OrlaBoot&)> fault;
        std::string line;
        int received;
    } cases[] = {
        {"CRC is BAD", [](sim::OrlaBoot& o) { o.faults().badCrc = true; }, "CRC is BAD", 5},
        {"silent from the 3rd record on", [](sim::OrlaBoot& o) { o.faults().silentAfterRecords = 3; },
         "PT:  No answer from the module for 5 seconds after a line, the transfer stops", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        use("orla-boot", ModulePath::OrlaPCU);
        c.fault(orla());
        EXPECT_EQ(upload(file("orla.s19", imageEndingAt(3, 0xF003).text())), UploadResult::TransferErrors);
        EXPECT_TRUE(logged(c.line)) << t.screen.text();
        EXPECT_EQ(orla().recordsReceived(), c.received);
        EXPECT_EQ(t.screen.text().find("Waiting for PCU to reboot"), std::string::npos);
        EXPECT_EQ(sentCount("%"), 0);
    }
}

// The stop rule at its edge, against scripted answers: a "$" followed by 24 characters within
// the 100 ms has stopped the stream, one followed by 25 has not.
class OrlaStopTest : public UploadFixture, public ::testing::Test {};

TEST_F(OrlaStopTest, FewerThanTwentyFiveCharactersAfterADollarIsAStoppedStream)
{
    for (const size_t chars : {24u, 25u}) {
        SCOPED_TRACE(chars);
        t.ClearScreen();
        onPath(ModulePath::OrlaPCU);
        bool streamed = false;
        clock.pump = [&] {
            if (t.collect && !std::exchange(streamed, true))
                link->receive("VNT 0001 AZ 180.0 EL 30.0 AGC 850 TRK\r\n");
        };
        onWrite = [&](const std::string& cmd) {
            if (cmd == "$")
                link->receive(std::string(chars, 'x'));
        };
        EXPECT_EQ(upload::StartVantorBootloader(engine), UploadResult::HandshakeFailed);
        clock.pump = nullptr;
        const auto lines = screenLines();
        const bool stopped = std::any_of(lines.begin(), lines.end(),
                                         [](const std::string& l) { return endsWith(l, "PT:  Bootloader start attempt 1"); });
        EXPECT_EQ(stopped, chars < 25) << t.screen.text();
        const auto sent = writes();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "$"), chars < 25 ? 2 : 25);
        EXPECT_EQ(t.abortFlag, term::kAbortCancelled) << "a failed start stops what would follow";
        t.abortFlag = 0;
    }
}

// ---------------------------------------------------------------- USB to Vantor SLcd

TEST_F(VantorUploadTest, AThousandByteImageGoesAsEightBlocksAndIsReportedSo)
{
    use("slcd", ModulePath::SLCD);
    const std::string bin = binImage(1000);
    const std::string path = file("slcd.bin", bin);
    EXPECT_EQ(upload(path), UploadResult::Complete) << t.screen.text();
    EXPECT_EQ(slcd().image(), bin);
    EXPECT_EQ(slcd().blocksAcknowledged(), 8);
    std::vector<size_t> blocks;
    bool erased = false;
    for (const auto& w : writes) {
        if (erased && w != "^378\r\n")
            blocks.push_back(w.size());
        erased = erased || w == "^378\r\n";
    }
    EXPECT_EQ(blocks, (std::vector<size_t>{128, 128, 128, 128, 128, 128, 128, 104}));
    EXPECT_EQ(writes.front(), "^478\r");
    EXPECT_EQ(writes.at(1), "^4791000\r");
    EXPECT_TRUE(loggedInOrder({"PT:  Module =  SLCD update via USB", "PT:  File = " + path, "PT:  Checking file size: ",
                               "File size is 1000 bytes", "PT:  Checking communication with Vantor, send '^478' ",
                               "PT:  Vantor Communication with SLCD is active", "PT:  Sending file size to module: 1000",
                               "PT:  Module Erase, Waiting for Erase to complete: ", "PT:  Sucessful Erase",
                               "PT:  Programming Module", "PT:  Performing Firmware Update",
                               "PT:  Programming Complete 8 lines", "PT:  104 characters in last line",
                               "Please cycle power to the Vantor to restore operation.", "USB port has been closed.",
                               "Click on 'connect' LED to re-open port after Vantor initializes."}))
        << t.screen.text();
    EXPECT_FALSE(logged("PT:  Timoout waiting for Firmware Update"));
    EXPECT_EQ(progress, (std::vector<std::string>{"Uploading BIN File - " + path, "hidden"}));
    EXPECT_FALSE(t.linkOpen());
    EXPECT_FALSE(t.collect);
}

TEST_F(VantorUploadTest, TheFirmwareUpdateEndsInCompletionOrOverrun)
{
    using U = sim::SlcdBoot::Update;
    const std::vector<std::string> overrun = {"!! OVERRUN ERROR !!  The Firmware update was not sucessful.",
                                              "You must cycle power to the Vantor to restore bootloader operation,",
                                              "then repeat the SLCD upload proceedure."};
    const struct {
        const char* what;
        std::function<void(sim::SlcdBoot&)> fault;
        UploadResult result;
        std::vector<std::string> lines; // before the port is closed
        Ms atLeast;                     // from the last block to the end
    } cases[] = {
        {"\"*\" after the update", [](sim::SlcdBoot&) {}, UploadResult::Complete,
         {"PT:  Programming Complete 2 lines"}, sim::SlcdBoot::updateTime},
        {"a second's silence: the time-out line, then the completion",
         [](sim::SlcdBoot& s) { s.faults().update = U::Silent; }, UploadResult::Complete,
         {"PT:  Timoout waiting for Firmware Update", "PT:  Programming Complete 2 lines",
          "PT:  72 characters in last line"},
         Ms{1000}},
        {"never \"*\": the overrun after 104 s", [](sim::SlcdBoot& s) { s.faults().update = U::Endless; },
         UploadResult::TransferErrors, overrun, Ms{104000}},
        {"silent after the first block: the overrun after 5 s",
         [](sim::SlcdBoot& s) { s.faults().silentAfterBlock = 2; }, UploadResult::TransferErrors,
         {"PT:  No answer from the module for 5 seconds after a block, the transfer stops", overrun[0], overrun[1],
          overrun[2]},
         Ms{5000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        use("slcd", ModulePath::SLCD);
        c.fault(slcd());
        Ms lastBlock{-1};
        const std::string bin = binImage(200);
        onPump = [&] {
            if (lastBlock < Ms{0} && slcd().image().size() >= (c.result == UploadResult::Complete ? 200u : 128u))
                lastBlock = clock.now();
        };
        EXPECT_EQ(upload(file("slcd.bin", bin)), c.result);
        auto lines = c.lines;
        lines.push_back("USB port has been closed.");
        EXPECT_TRUE(loggedInOrder(lines)) << t.screen.text();
        EXPECT_EQ(logged("PT:  Programming Complete 2 lines"), c.result == UploadResult::Complete);
        EXPECT_EQ(logged(overrun[0]), c.result != UploadResult::Complete);
        EXPECT_GE(clock.now() - lastBlock, c.atLeast);
        EXPECT_LT(clock.now() - lastBlock, c.atLeast + Ms{1500});
        EXPECT_FALSE(t.linkOpen()) << "the port is closed at the end of every run that reached the transfer";
        onPump = nullptr;
    }
}

TEST_F(VantorUploadTest, BeforeTheTransferASilentLinkClosesThePortAndAFailedEraseEndsTheRun)
{
    const struct {
        const char* what;
        std::function<void(sim::SlcdBoot&)> fault;
        UploadResult result;
        std::vector<std::string> lines;
        bool portOpen;
    } cases[] = {
        {"no answer to \"^478\"", [](sim::SlcdBoot& s) { s.faults().silentLink = true; }, UploadResult::HandshakeFailed,
         {"PT:  Vantor not responding, trying again", "PT:  Checking communication with Vantor, send '^478' ",
          "PT:  Vantor not responding, trying again", "PT:  Vantor not responding.  Check cables and port settings.",
          "     Cycle power to Vantor and try the Auto Upload function again", "PT:  Closing USB port."},
         false},
        {"the erase not begun with \"*\"", [](sim::SlcdBoot& s) { s.faults().refuseErase = true; },
         UploadResult::EraseFailed,
         {"PT:  Module Erase, Waiting for Erase to complete: ",
          "PT:  Un-sucessful Erase, Manually reset the Vantor and try the Auto Upload function again"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        use("slcd", ModulePath::SLCD);
        c.fault(slcd());
        progress.clear();
        EXPECT_EQ(upload(file("slcd.bin", binImage(300))), c.result);
        EXPECT_TRUE(loggedInOrder(c.lines)) << t.screen.text();
        EXPECT_EQ(screenLines().back(), c.lines.back());
        EXPECT_TRUE(slcd().image().empty());
        EXPECT_TRUE(progress.empty());
        EXPECT_EQ(t.linkOpen(), c.portOpen);
        if (t.linkOpen())
            t.mnuOpen_Click();
    }
}

TEST_F(VantorUploadTest, ShortAndEmptyBinFiles)
{
    const std::string warning = upload::kBinFormatWarning;
    const struct {
        const char* what;
        std::string bytes;
        UploadResult result;
        std::vector<std::string> lines;
    } cases[] = {
        {"50 bytes: one block", binImage(50), UploadResult::Complete,
         {"File size is 50 bytes", "PT:  Programming Complete 1 lines", "PT:  50 characters in last line"}},
        {"exactly 256 bytes: two full blocks", binImage(256), UploadResult::Complete,
         {"File size is 256 bytes", "PT:  Programming Complete 2 lines", "PT:  128 characters in last line"}},
        {"0 bytes", "", UploadResult::FileRefused, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        use("slcd", ModulePath::SLCD);
        ui.messages.clear();
        EXPECT_EQ(upload(file("slcd.bin", c.bytes)), c.result);
        EXPECT_TRUE(loggedInOrder(c.lines)) << t.screen.text();
        if (c.result == UploadResult::Complete) {
            EXPECT_EQ(slcd().image(), c.bytes);
            EXPECT_TRUE(ui.messages.empty());
        } else {
            EXPECT_EQ(ui.messages, std::vector<std::string>{warning});
            EXPECT_TRUE(writes.empty()) << "nothing sent";
        }
        if (t.linkOpen())
            t.mnuOpen_Click();
    }
}

TEST_F(VantorUploadTest, CancelDuringTheBlocksEndsAsAnOverrunWithThePortClosed)
{
    use("slcd", ModulePath::SLCD);
    onPump = [this] {
        if (slcd().blocksAcknowledged() >= 3 && t.abortFlag == 0 && progress.size() == 1)
            engine.cancel();
    };
    EXPECT_EQ(upload(file("slcd.bin", binImage(1000))), UploadResult::Cancelled);
    EXPECT_LE(slcd().image().size(), 4u * 128);
    EXPECT_TRUE(loggedInOrder({"PT:  WARNING Upload Cancled", "!! OVERRUN ERROR !!  The Firmware update was not sucessful.",
                               "USB port has been closed."}))
        << t.screen.text();
    EXPECT_FALSE(logged("PT:  Performing Firmware Update"));
    EXPECT_FALSE(t.linkOpen());
}

} // namespace
} // namespace uptest
