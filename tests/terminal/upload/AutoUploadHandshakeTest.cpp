// The ACU's auto upload against scripted answers: every branch of the handshake by the length
// and text of the answers as the screen shows them, the cross-version questions, and the
// erase tries.
#include "ImageFiles.h"
#include "UploadFixture.h"

#include <functional>
#include <map>

namespace uptest {
namespace {

using upload::UploadResult;

const std::string kApp = "SHx@@L2550 Ac\r\n";   // 15 as shown
const std::string kBoot = "BOOT OK\r\n";        // 9
const std::string kTen = "BOOT ERR\r\n";        // 10
const std::string kVersion = "TAV ACU VER 7.12\r\n";
const std::string kBootStarted = "BOOT MODE\r\n"; // 11
const std::string kErased = "ERASING...*\r\n";

struct Script {
    std::string status;        // to ESC "S" before the bootloader is up
    std::string restart;       // to "9"
    std::string version = kVersion;
    std::string bootStart = kBootStarted;
    std::string erase = kErased;
};

class AutoUploadHandshakeTest : public UploadFixture, public ::testing::Test {
protected:
    void SetUp() override
    {
        onPath(ModulePath::TAV8a);
        onWrite = [this](const std::string& cmd) {
            ++count[cmd];
            std::string reply;
            if (cmd == ESC + "S")
                reply = inBoot ? kBoot : script.status;
            else if (cmd == "9" + CRLF)
                reply = script.restart, inBoot = inBoot || (reply.size() > 12 && reply.size() < 18);
            else if (cmd == "V")
                reply = script.version;
            else if (cmd == ESC + "\\0080" + CRLF)
                reply = script.bootStart, inBoot = true;
            else if (cmd == "^0578" + CRLF)
                reply = script.erase;
            if (!reply.empty())
                link->receive(reply);
        };
    }
    UploadResult runWith(const Script& s, const std::string& version = "7.20")
    {
        script = s;
        inBoot = s.status == kBoot;
        files = {file("acu.s19", acuImage(3, version).text())};
        return autoUpload.cmdAUpload_Click();
    }
    bool logged(const std::string& line) const
    {
        const auto l = screenLines();
        return std::find(l.begin(), l.end(), line) != l.end();
    }

    upload::AutoUpload autoUpload{engine};
    Script script;
    bool inBoot = false;
    std::map<std::string, int> count;
};

TEST_F(AutoUploadHandshakeTest, EveryBranchOfTheAcuHandshake)
{
    const std::string notResponding =
        "PT:  ACU not responding.  Manually reset the ACU and try the Auto Upload function again";
    const std::string unexpected = "PT:  Unexpected response, Check port connections and try Auto Upload again";
    const std::string unknown = "PT:  Unknown response.  Manually reset the ACU and try the Auto Upload function again";
    const struct {
        const char* what;
        Script script;
        UploadResult result;
        std::string line; // a line the run must have logged
        bool versionAsked, bootStartSent;
    } cases[] = {
        {"the application answers (15): version, then the bootloader", {kApp, ""}, UploadResult::Complete,
         "PT:  Normal ACU response, Checking module Version number", true, true},
        {"exactly 9: already in the bootloader", {kBoot, ""}, UploadResult::Complete, "PT:  Bootloader mode is active",
         false, false},
        {"exactly 10 twice: a failed attempt each time", {kTen, ""}, UploadResult::HandshakeFailed, notResponding, false, false},
        {"nothing, \"9\" answered with 14: the bootloader", {"", "BOOT RESTART\r\n"}, UploadResult::Complete,
         "PT:  ACU not responding, send S9 to re-start bootloader", false, false},
        {"nothing, \"9\" answered with 12: not the bootloader", {"", "0123456789\r\n"}, UploadResult::HandshakeFailed,
         notResponding, false, false},
        {"nothing, \"9\" answered with 18: not the bootloader", {"", "0123456789ABCDEF\r\n"},
         UploadResult::HandshakeFailed, notResponding, false, false},
        {"nothing at all", {"", ""}, UploadResult::HandshakeFailed, "PT:  Uncessful communication attempt, trying again",
         false, false},
        {"a version answer without TAV", {kApp, "", "ACU VER 7.12\r\n"}, UploadResult::HandshakeFailed, unexpected, true,
         false},
        {"without VER", {kApp, "", "TAV ACU 7.12\r\n"}, UploadResult::HandshakeFailed, unexpected, true, false},
        {"without a dot", {kApp, "", "TAV ACU VER 7\r\n"}, UploadResult::HandshakeFailed, unexpected, true, false},
        {"\"Ver \" counts as \"VER \"", {kApp, "", "TAV ACU Ver 7.12\r\n"}, UploadResult::Complete,
         "PT:  File and Module major version numbers verified, starting ACU bootloader", true, true},
        {"another major version, no question", {kApp, "", "TAV ACU VER 8.01\r\n"}, UploadResult::HandshakeFailed,
         "PT:  File and Module major version numbers do not match, Cannot proceed.", true, false},
        {"the bootloader start answered with 14", {kApp, "", kVersion, "BOOT MODE ON\r\n"}, UploadResult::HandshakeFailed,
         unknown, true, true},
        {"the bootloader start answered with 10", {kApp, "", kVersion, "BOOTMODE\r\n"}, UploadResult::HandshakeFailed,
         unknown, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        count.clear();
        t.ClearScreen();
        EXPECT_EQ(runWith(c.script), c.result);
        EXPECT_TRUE(logged(c.line)) << t.screen.text();
        EXPECT_EQ(count["V"] > 0, c.versionAsked);
        EXPECT_EQ(count[ESC + "\\0080" + CRLF] > 0, c.bootStartSent);
        EXPECT_EQ(count["^0578" + CRLF] > 0, c.result == UploadResult::Complete) << "the erase only after the handshake";
        EXPECT_EQ(count[ESC + "[L" + CRLF], 1) << "the external ports are locked first";
        EXPECT_LE(count[ESC + "S"], 3) << "two communication attempts (and one look after the transfer)";
    }
}

TEST_F(AutoUploadHandshakeTest, CrossVersionUploadsAreAskedAbout)
{
    const struct {
        const char* what;
        std::string moduleVersion, fileVersion;
        Answer answer;
        UploadResult result;
        std::string box;
    } cases[] = {
        {"7.xx onto 6.xx, Yes", "6.40", "7.20", Answer::Yes, UploadResult::Complete,
         "WARNING:\rYou are about to load TAV-6850 Software (7.xx) onto a TAV-6840 ACU Assembly (6.xx)."},
        {"7.xx onto 6.xx, No", "6.40", "7.20", Answer::No, UploadResult::HandshakeFailed,
         "WARNING:\rYou are about to load TAV-6850 Software (7.xx) onto a TAV-6840 ACU Assembly (6.xx)."},
        {"6.xx onto 7.xx, Yes", "7.12", "6.40", Answer::Yes, UploadResult::Complete,
         "WARNING:\rYou are about to load TAV-6840 Software (6.xx) onto a TAV-6850 ACU Assembly (7.xx)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.messages.clear();
        ui.answers = {c.answer};
        count.clear();
        Script s{kApp, ""};
        s.version = "TAV ACU VER " + c.moduleVersion + "\r\n";
        EXPECT_EQ(runWith(s, c.fileVersion), c.result);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text.rfind(c.box, 0), 0u) << ui.messages[0].text;
        EXPECT_EQ(ui.messages[0].buttons, term::TerminalUi::Buttons::YesNo);
        EXPECT_EQ(count[ESC + "\\0080" + CRLF] > 0, c.answer == Answer::Yes);
        EXPECT_EQ(autoUpload.moduleVersion(), c.moduleVersion);
    }
}

TEST_F(AutoUploadHandshakeTest, ThreeEraseTriesThenAnError)
{
    Script s{kBoot, ""};
    s.erase = "ERASING...FAIL\r\n";
    EXPECT_EQ(runWith(s), UploadResult::EraseFailed);
    EXPECT_EQ(count["^0578" + CRLF], 3);
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(logged("PT:  Module Erase Try " + std::to_string(i)));
    EXPECT_EQ(screenLines().back(),
              "PT:  Un-sucessful Erase, Manually reset the ACU and try the Auto Upload function again");
    EXPECT_TRUE(progress.empty()) << "no transfer";
}

TEST_F(AutoUploadHandshakeTest, AFileThatIsNotAnAcuImageIsRefusedBeforeAnythingIsSent)
{
    files = {file("pcu.s19", "S1130000E003\r\nS9030000FC\r\n")};
    ui.answers = {Answer::No};
    EXPECT_EQ(autoUpload.cmdAUpload_Click(), UploadResult::FileRefused);
    EXPECT_TRUE(writes().empty());
}

} // namespace
} // namespace uptest
