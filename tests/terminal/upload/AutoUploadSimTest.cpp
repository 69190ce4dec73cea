// The ACU's auto upload on virtual time against the simulated ACU and its bootloader
// (module acu-boot), in-process: a whole upload whose reassembled image is the file's, the
// look for "-" every 20 lines, a module that falls silent or goes away, Cancel, and a file
// that disappears after its check. The line sets its pace: 9600 baud, 10 bits a character.
#include "ModelLink.h"
#include "ImageFiles.h"

#include "sim/AcuBoot.h"
#include "sim/Modules.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/TextSender.h"
#include "terminal/upload/AutoUpload.h"
#include "terminal/upload/UploadHistory.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace uptest {
namespace {

using common::Ms;
using upload::UploadResult;

using uptest::ModelLink;

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

class AutoUploadSimTest : public ::testing::Test {
protected:
    AutoUploadSimTest()
        : t(clock, ui,
            [this](const term::Terminal&) -> std::unique_ptr<common::Link> {
                auto l = std::make_unique<ModelLink>(model);
                l->onWrite = [this](const std::string& b) { sent += b; };
                link = l.get();
                // A link the terminal has let go is not delivered to again.
                l->onGone = [this, gone = l.get()] {
                    if (link == gone)
                        link = nullptr;
                };
                return l;
            }),
          paths(t, nullptr), sender(t), engine(t, paths, sender), autoUpload(engine)
    {
        char tmpl[] = "/tmp/acu-upload-XXXXXX";
        dir = ::mkdtemp(tmpl);
        history = std::make_unique<upload::UploadHistory>(dir + "/uploads.csv");
        engine.history = history.get();
        model.device().setShipMotion(false);
        clock.pump = [this] {
            if (clock.now() > modelNow) {
                model.advance(clock.now() - modelNow);
                modelNow = clock.now();
            }
            if (link)
                link->deliver();
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
        engine.onProgressWindow = [this](bool show, const std::string&, const std::string&) { progressShown |= show; };
        paths.Select(term::ModulePath::TAV8a, false);
        t.mnuOpen_Click();
    }
    ~AutoUploadSimTest() override
    {
        clock.pump = nullptr;
        std::filesystem::remove_all(dir);
    }

    sim::AcuBoot& acu() { return static_cast<sim::AcuBoot&>(model.module()); }
    std::string imageFile(const Image& img)
    {
        const std::string path = dir + "/acu.s19";
        std::ofstream(path, std::ios::binary) << img.text();
        return path;
    }
    UploadResult upload(const Image& img)
    {
        files = {imageFile(img)};
        return autoUpload.cmdAUpload_Click();
    }
    std::vector<std::string> logLines() const
    {
        std::vector<std::string> out;
        const std::string& s = t.screen.text();
        for (size_t from = 0, at; (at = s.find("\r\n", from)) != std::string::npos; from = at + 2)
            if (s.compare(from, 5, "PT:  ") == 0)
                out.push_back(s.substr(from, at - from));
        return out;
    }
    bool logged(const std::string& line) const
    {
        const auto l = logLines();
        return std::find(l.begin(), l.end(), line) != l.end();
    }
    // The history's records, the header line left out.
    std::vector<std::string> historyLines() const
    {
        std::ifstream in(history->path());
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        if (!lines.empty())
            lines.erase(lines.begin());
        return lines;
    }

    common::VirtualClock clock;
    sim::ModuleModel model{"acu-boot"};
    Ms modelNow{0};
    std::string sent;
    ModelLink* link = nullptr;
    Ui ui;
    term::Terminal t;
    term::ModulePaths paths;
    term::TextSender sender;
    upload::UploadEngine engine;
    upload::AutoUpload autoUpload;
    std::unique_ptr<upload::UploadHistory> history;
    std::deque<std::string> files;
    std::function<void()> onPump;
    bool progressShown = false;
    std::string dir;
};

TEST_F(AutoUploadSimTest, AWholeUploadLoadsTheImageAndRestartsTheAcu)
{
    const Image img = acuImage(40);
    const Ms began = clock.now();
    EXPECT_EQ(upload(img), UploadResult::Complete);
    ASSERT_TRUE(acu().s9Seen());
    for (const auto& [address, value] : img.bytes)
        ASSERT_EQ(acu().memory()[address], value) << "at " << address;
    EXPECT_EQ(acu().recordsAccepted(), int(img.lines.size()));
    const auto lines = logLines();
    const std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"PT:  ACU programming complete, No errors detected!!", "PT:  Re-booting ACU",
                                              "PT:  Re-booting CommIF"}));
    EXPECT_EQ(sent.substr(sent.size() - 11), "\\0090\r\n[Z\r\n");
    clock.advance(Ms{1000});
    EXPECT_EQ(acu().mode(), sim::AcuBoot::Mode::Application) << "the reboot brought the application back";
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(ui.messages.empty());

    // The history has the run: path, file, its size and fingerprint, both versions, the result.
    const auto h = historyLines();
    ASSERT_EQ(h.size(), 1u);
    std::uint64_t size = 0;
    std::string sha;
    ASSERT_TRUE(upload::UploadHistory::fingerprint(dir + "/acu.s19", size, sha));
    EXPECT_NE(h[0].find(",TAV8a," + dir + "/acu.s19," + std::to_string(size) + "," + sha + ",7.20,7.12,complete,"),
              std::string::npos)
        << h[0];
    // 40 data lines of 42 characters at 9600 baud are at least 11 fragments of 7 characters
    // each, 7.3 ms on the line and 6 ms after each.
    EXPECT_GT(clock.now() - began, Ms{40 * 11 * 13});
}

TEST_F(AutoUploadSimTest, AnErrorIsSeenAtTheNextTwentiethLine)
{
    acu().faults().refuseRecord = 5;
    EXPECT_EQ(upload(acuImage(60)), UploadResult::TransferErrors);
    EXPECT_EQ(acu().recordsReceived(), 20) << "the transfer stops at the 20th line";
    for (const char* line : {"PT:  WARNING Errors detected", "PT:  ACU will be inoperative",
                             "PT:  Reset the ACU and run the Auto Upload function again"})
        EXPECT_TRUE(logged(line)) << line;
    EXPECT_FALSE(logged("PT:  ACU programming complete, No errors detected!!"));
    EXPECT_EQ(sent.find("\\0090\r\n[Z"), std::string::npos) << "no reboot after errors";
    EXPECT_NE(historyLines().at(0).find(",errors detected,"), std::string::npos);
}

TEST_F(AutoUploadSimTest, ASilentModuleOrOneThatGoesAwayIsNeverAComplete)
{
    const struct {
        const char* what;
        std::function<void(sim::AcuBoot&)> fault;
        UploadResult result;
        std::string line;
    } cases[] = {
        {"silent after the 25th record", [](sim::AcuBoot& a) { a.faults().silentAfterRecords = 25; },
         UploadResult::TransferErrors, "PT:  WARNING The ACU did not answer after the transfer"},
        // Header, 30 data records, the version, the last record and S9: silent right after the end.
        {"silent from the end record on", [](sim::AcuBoot& a) { a.faults().silentAfterRecords = 34; },
         UploadResult::TransferErrors, "PT:  WARNING The ACU did not answer after the transfer"},
        {"the link drops after the 12th record", [](sim::AcuBoot& a) { a.faults().dropLinkAfterRecords = 12; },
         UploadResult::Cancelled, "PT:  WARNING Upload Cancled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        acu().setStart(sim::AcuBoot::Start::Application);
        acu().faults() = {};
        c.fault(acu());
        t.ClearScreen();
        if (!t.linkOpen())
            t.mnuOpen_Click();
        EXPECT_EQ(upload(acuImage(30)), c.result);
        EXPECT_TRUE(logged(c.line)) << t.screen.text();
        EXPECT_FALSE(logged("PT:  ACU programming complete, No errors detected!!"));
    }
}

TEST_F(AutoUploadSimTest, CancelDuringTheTransferStopsBeforeTheNextLine)
{
    onPump = [this] {
        if (acu().recordsReceived() >= 7 && t.abortFlag == 0 && progressShown)
            engine.cancel();
    };
    EXPECT_EQ(upload(acuImage(30)), UploadResult::Cancelled);
    EXPECT_LE(acu().recordsReceived(), 8);
    const auto lines = logLines();
    const std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"PT:  WARNING Upload Cancled", "PT:  ACU will be inoperative",
                                              "PT:  Please run the Auto Upload function again"}));
    EXPECT_NE(historyLines().at(0).find(",cancelled during the transfer,"), std::string::npos);
}

TEST_F(AutoUploadSimTest, AFileGoneAfterItsCheckEndsWithAClearMessage)
{
    onPump = [this] {
        if (acu().eraseCount() > 0)
            std::filesystem::remove(dir + "/acu.s19");
    };
    EXPECT_EQ(upload(acuImage(5)), UploadResult::TransferErrors);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].rfind(dir + "/acu.s19\r", 0), 0u) << ui.messages[0];
    EXPECT_TRUE(logged("PT:  The upload file could not be opened; the ACU has been erased and will be inoperative"));
    EXPECT_EQ(acu().recordsReceived(), 0);
}

} // namespace
} // namespace uptest
