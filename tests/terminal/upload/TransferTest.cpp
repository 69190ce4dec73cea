// The S-record transfer on each kind of module path, the restarts, and Cancel.
#include "UploadFixture.h"

#include <algorithm>

namespace uptest {
namespace {

class TransferTest : public UploadFixture, public ::testing::Test {
protected:
    // The file becomes the chosen one, as a passed check leaves it.
    void choose(const std::string& text)
    {
        engine.file.path = file("image.s19", text);
        engine.file.verified = true;
    }
    bool onScreen(const std::string& line) const
    {
        const auto lines = screenLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

const std::string k44 = "S1130000285F245F2212226A000424290008237C2A"; // 42 characters
const std::string kS1b = "S11300100102030405060708090A0B0C0D0E0F10E0";

TEST(Fragments, FourCharactersEachAndTheLastPaddedWithTwoZeros)
{
    EXPECT_EQ(upload::fragments(std::string(44, 'a')).size(), 11u);
    const auto ten = upload::fragments("S1130000285F245F2212226A000424290008237C2A");
    ASSERT_EQ(ten.size(), 11u);
    EXPECT_EQ(ten[0], "S113");
    EXPECT_EQ(ten[9], "237C");
    EXPECT_EQ(ten[10], "2A00");
    EXPECT_EQ(upload::fragments("S9030000FC").back(), "FC00");
    EXPECT_EQ(upload::fragments("abc").back(), "abc0") << "cut to four characters";
    EXPECT_EQ(upload::fragments("a").back(), "a00");
    EXPECT_TRUE(upload::fragments("").empty());
}

TEST_F(TransferTest, TheAcuPathSendsEachLineInFragmentsPacedByItsSettles)
{
    onPath(ModulePath::TAV8a);
    choose("S00600004844521B\r\n" + k44 + "\r\nS9030000FC\r\n");
    const Ms began = clock.now();
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Done);
    std::vector<std::string> expected;
    for (const auto& f : upload::fragments(k44))
        expected.push_back("#" + f + CRLF);
    for (const auto& f : upload::fragments("S9030000FC"))
        expected.push_back("#" + f + CRLF);
    EXPECT_EQ(writes(), expected) << "the S0 header is not sent, nor any end line on the ACU path";
    // 6 ms after each fragment, 15 after each line, 1000 at the end.
    ASSERT_EQ(journal.writes.size(), 14u);
    EXPECT_EQ(journal.writes[1].at - journal.writes[0].at, Ms{6});
    EXPECT_EQ(journal.writes[11].at - journal.writes[10].at, Ms{6 + 15});
    EXPECT_EQ(clock.now() - began, Ms{14 * 6 + 2 * 15 + 1000});
    EXPECT_EQ(progress, (std::vector<std::string>{"Upload: Uploading S19 File - " + engine.file.path, "hidden"}));
    EXPECT_NE(t.abortFlag, 0) << "a wait still running elsewhere ends with the transfer";
}

TEST_F(TransferTest, RoutedModulesGetTheirLineOpenerLineEndsAndEndLines)
{
    const struct {
        ModulePath path;
        std::string first3;  // the first writes
        std::string last;    // the last write
        size_t count;
    } cases[] = {
        // PCU: "?    " CR before each line, two end lines; one S0 skipped, the second sent.
        {ModulePath::TAV8p, "?    \r#S006" + CRLF + "#0000" + CRLF, "#!   " + CRLF, (1 + 4) + (1 + 11) + 2},
        // DVB: "w" fragments and "w!   " after each line.
        {ModulePath::TAV8d, "wS006" + CRLF + "w0000" + CRLF + "w4844" + CRLF, "w!   " + CRLF, (4 + 1) + (11 + 1) + 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.path));
        onPath(c.path);
        choose("S00600004844521B\r\nS00600004844521B\r\n" + k44 + "\r\n");
        EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Done);
        const std::string all = sent();
        EXPECT_EQ(all.substr(0, c.first3.size()), c.first3);
        EXPECT_EQ(writes().back(), c.last);
        EXPECT_EQ(writes().size(), c.count);
    }
}

TEST_F(TransferTest, PanelAndDirectBrinePathsSendWholeLines)
{
    // Brine PCU to Panel: each line as it is, 200 ms apart, until the first line shorter than
    // 42 characters (the S9 record is never sent).
    onPath(ModulePath::Cpanel);
    choose(k44 + "\r\n" + kS1b + "\r\nS9030000FC\r\n" + k44 + "\r\n");
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Done);
    EXPECT_EQ(writes(), (std::vector<std::string>{k44, kS1b}));
    EXPECT_EQ(journal.writes[1].at - journal.writes[0].at, Ms{200});

    // Brine PCU Direct: the line, 60 ms, CR LF.
    onPath(ModulePath::CPCU);
    choose(k44 + "\r\n");
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Done);
    EXPECT_EQ(writes(), (std::vector<std::string>{k44, CRLF}));
    EXPECT_EQ(journal.writes[1].at - journal.writes[0].at, Ms{60});
}

TEST_F(TransferTest, EchoedPathsWaitForTheEchoAndASilentModuleEndsTheTransferAsCancelled)
{
    // The service port: the first line is skipped; each line waits for 11 characters back.
    onPath(ModulePath::SPG2pcu);
    choose("S0 header\r\n" + k44 + "\r\n" + kS1b + "\r\n");
    onWrite = [this](const std::string& bytes) { link->receive(bytes.substr(0, 11)); };
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Done);
    EXPECT_EQ(writes(), (std::vector<std::string>{k44 + "\r", kS1b + "\r"}));

    // Silent: the first line waits its bound, then the transfer stops as cancelled.
    journal.writes.clear();
    onWrite = nullptr;
    const Ms began = clock.now();
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Cancelled);
    EXPECT_EQ(writes(), (std::vector<std::string>{k44 + "\r"}));
    EXPECT_EQ(clock.now() - began, upload::kEchoWait);
    EXPECT_NE(t.screen.text().find("PT:  No answer from the module for 5 seconds after a line, the transfer stops\r\n"),
              std::string::npos);

    // The Orla PCU: one character back is enough; "CRC is GOOD" brings the reboot.
    onPath(ModulePath::OrlaPCU);
    choose("S0 header\r\n" + k44 + "\r\n");
    onWrite = [this](const std::string& bytes) {
        if (bytes == k44 + "\r")
            link->receive("CRC is GOOD\r\n");
    };
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Done);
    EXPECT_EQ(writes(), (std::vector<std::string>{k44 + "\r", "%"}));
    EXPECT_EQ(journal.writes[1].at - journal.writes[0].at, Ms{2000 + 5000});
    EXPECT_TRUE(onScreen("Waiting for PCU to reboot"));
    EXPECT_FALSE(t.collect);
}

TEST_F(TransferTest, UsbPathsEndByWaitingForThePortToComeBack)
{
    struct Case {
        int failures; // opens that fail before the port is back
        bool back;
    };
    for (const Case c : {Case{60, true}, Case{61, false}}) {
        SCOPED_TRACE(c.failures);
        onPath(ModulePath::USBpcu);
        choose(k44 + "\r\n");
        ui.messages.clear();
        failOpens = c.failures;
        const Ms began = clock.now();
        EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Done);
        EXPECT_EQ(writes(), (std::vector<std::string>{k44 + CRLF}));
        EXPECT_TRUE(onScreen("Programming complete!"));
        EXPECT_TRUE(onScreen("Closing USB/Service port"));
        EXPECT_TRUE(onScreen("Waiting for application to restart"));
        EXPECT_EQ(onScreen("Update Cycle Complete !!"), c.back);
        EXPECT_EQ(onScreen("Port did not re-open with 60 seconds"), !c.back);
        EXPECT_EQ(t.linkOpen(), c.back);
        EXPECT_EQ(clock.now() - began, Ms{1500 + 1000 * 61}) << "the 61st try is the last either way";
        EXPECT_TRUE(ui.messages.empty()) << "failed opens are not reported";
        failOpens = 0;
        t.ClearScreen();
    }
}

TEST_F(TransferTest, OtherPathsPaceByTheTextPacingAndLoopUntilCancel)
{
    onPath(ModulePath::Data);
    sender.choosePacing(100);
    sender.setLoop(true);
    choose("line one\r\nline two\r\n");
    auto cancelAfter = clock.createTimer();
    cancelAfter->setInterval(Ms{450});
    cancelAfter->onTick = [&] {
        cancelAfter->setEnabled(false);
        engine.cancel();
    };
    cancelAfter->setEnabled(true);
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Cancelled);
    EXPECT_EQ(writes(), (std::vector<std::string>{"line one" + CRLF, "line two" + CRLF, "line one" + CRLF,
                                                  "line two" + CRLF, "line one" + CRLF}));
    EXPECT_EQ(progress.back(), "hidden");
}

TEST_F(TransferTest, CancelEndsTheTransferBeforeTheNextLine)
{
    onPath(ModulePath::TAV8a);
    choose(k44 + "\r\n" + kS1b + "\r\n");
    onWrite = [this](const std::string& bytes) {
        if (bytes == "#2A00" + CRLF)
            engine.cancel(); // pressed while the first line goes out
    };
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Cancelled);
    EXPECT_EQ(writes().size(), 11u);
}

TEST_F(TransferTest, WithoutAFileOrWithAFileGoneNothingIsSent)
{
    onPath(ModulePath::TAV8a);
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::NoFile);
    EXPECT_EQ(messages(), (std::vector<std::string>{upload::kNoFileChosen}));
    ui.messages.clear();
    engine.file.path = dir + "/gone.s19";
    EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::FileError);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind(dir + "/gone.s19\r", 0), 0u);
    EXPECT_TRUE(writes().empty());
    EXPECT_TRUE(progress.empty());
}

TEST_F(TransferTest, AFileThatDoesNotMatchGetsTheMismatchLine)
{
    onPath(ModulePath::TAV8a);
    files = {file("pcu.s19", "S1130000E003\r\nS9030000FC\r\n")};
    ui.answers = {Answer::No};
    EXPECT_EQ(engine.mnuUpload_Click(), upload::UploadEngine::TransferResult::NoFile);
    EXPECT_TRUE(writes().empty());
    const std::string mismatch = "\r\n Selected file does not match parameters for selected module\r\n";
    const std::string& screen = t.screen.text();
    ASSERT_GE(screen.size(), mismatch.size());
    EXPECT_EQ(screen.substr(screen.size() - mismatch.size()), mismatch);
}

TEST_F(TransferTest, RebootingTheAcuAndOverTcpReconnecting)
{
    onPath(ModulePath::TAV8a);
    {
        term::Terminal::Sequence seq(t);
        engine.RebootACU();
    }
    EXPECT_EQ(writes(), (std::vector<std::string>{"\\0090" + CRLF, "[Z" + CRLF}));
    EXPECT_EQ(journal.writes[0].at + Ms{500}, journal.writes[1].at);
    EXPECT_TRUE(onScreen("PT:  Re-booting ACU"));
    EXPECT_TRUE(onScreen("PT:  Re-booting CommIF"));

    // Over TCP the link is then closed, 5 s, and opened again.
    t.mnuOpen_Click();
    t.serial = false;
    t.mnuOpen_Click();
    ASSERT_TRUE(t.linkOpen());
    journal = {};
    const Ms began = clock.now();
    {
        term::Terminal::Sequence seq(t);
        engine.RebootACU();
    }
    EXPECT_TRUE(t.linkOpen());
    EXPECT_EQ(std::count(journal.events.begin(), journal.events.end(), "open"), 1);
    EXPECT_GE(clock.now() - began, Ms{500 + 500 + 5000});
}

} // namespace
} // namespace uptest
