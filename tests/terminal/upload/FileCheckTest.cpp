// The image check: each module group's rule on the last data record, the two-step warning,
// the PCU's checksum notice, the log lines, the dialog loop and the version read.
#include "UploadFixture.h"

namespace uptest {
namespace {

using upload::CheckResult;

// An image whose last data record (the line before S9) is `last`, with a version text.
std::string image(const std::string& last)
{
    return "S00600004844521B\r\n"
           "S11010005441562041435520566572203757\r\n" // "TAV ACU Ver 7" at 0x1000
           "S10A100D2E31322053494D3E\r\n"             // ".12 SIM" after it
           + last + "\r\nS9030000FC\r\n";
}

const std::string kWarningEnd = "\r\rContinue anyway, Yes or No ?";

struct RuleCase {
    const char* what;
    ModulePath path;
    std::string last;
    std::vector<Answer> answers;   // to the boxes, in order
    CheckResult result;
    std::vector<std::string> boxStarts; // the start of each box shown
};

class FileCheckTest : public UploadFixture, public ::testing::Test {};

TEST_F(FileCheckTest, EachGroupsRuleOnTheLastDataRecord)
{
    using A = Answer;
    const std::string acuWarn = "WARNING,\rTAV 6800 ACU Program Mode is selected and\rUpload file does not have the correct ACU format.";
    const std::string pcuWarn = "WARNING:\rPCU Program Mode is selected and\rUpload file does not have the correct PCU format.";
    const std::string sure = "Programming with an incorrect file format";
    const std::string notice = "NOTICE:\rThis file does not appear to";
    const RuleCase cases[] = {
        {"ACU image with F003", ModulePath::TAV8a, "S1130000F003", {}, CheckResult::Passed, {}},
        {"ACU image without F003", ModulePath::TAVa, "S1130000E003", {A::No}, CheckResult::Refused, {acuWarn}},
        {"ACU: FFFC and E003 warn even with F003", ModulePath::TAV8a, "S113FFFCF003E003", {A::No}, CheckResult::Refused, {acuWarn}},
        {"ACU warning bypassed", ModulePath::TAV8a, "S1130000E003", {A::Yes, A::No}, CheckResult::Passed, {acuWarn, sure}},
        {"ACU: Yes to quit", ModulePath::TAV8a, "S1130000E003", {A::Yes, A::Yes}, CheckResult::Refused, {acuWarn, sure}},
        {"PCU image with F200", ModulePath::TAV8p, "S1130000F200", {}, CheckResult::Passed, {}},
        {"PCU: FFFC and F003 warn even with E003", ModulePath::TAVp, "S113FFFCF003E003", {A::No}, CheckResult::Refused, {pcuWarn}},
        {"PCU: none of its markers", ModulePath::USBpcu, "S1130000ABCD", {A::No}, CheckResult::Refused, {pcuWarn}},
        {"PCU with 8000: the notice, Yes", ModulePath::SPG2pcu, "S11380001234", {A::Yes}, CheckResult::Passed, {notice}},
        {"PCU with 8000: the notice, No", ModulePath::SPG2pcu, "S11380001234", {A::No}, CheckResult::Refused, {notice}},
        {"PCU: warning bypassed, then the notice", ModulePath::TAV8p, "S113FFFCF0038000", {A::Yes, A::No, A::Yes},
         CheckResult::Passed, {pcuWarn, sure, notice}},
        {"Modem image with F080", ModulePath::TAV8m1, "S1130000F080", {}, CheckResult::Passed, {}},
        {"Modem image without", ModulePath::TAV8m2, "S1130000F003", {A::No}, CheckResult::Refused,
         {"WARNING:\rModem Program Mode is selected and"}},
        {"Motor driver with F089", ModulePath::USBmdb, "S1130000F089", {}, CheckResult::Passed, {}},
        {"Motor driver without", ModulePath::TAV8mdb, "S1130000F080", {A::No}, CheckResult::Refused,
         {"WARNING:\rMotor Driver Program Mode is selected and"}},
        {"Vantor with 1962", ModulePath::Vantor, "S1131962AAAA", {}, CheckResult::Passed, {}},
        {"Vantor with E003", ModulePath::Vantor, "S113E003AAAA", {}, CheckResult::Passed, {}},
        {"Vantor with neither", ModulePath::Vantor, "S113F003AAAA", {A::No}, CheckResult::Refused,
         {"WARNING:\rVantor Program Mode is selected and"}},
        {"Orla PCU without F003", ModulePath::OrlaPCU, "S113E003AAAA", {A::No}, CheckResult::Refused,
         {"WARNING:\rOrla PCU Program Mode is selected and"}},
        {"Brine PCU with F803", ModulePath::CPCU, "S113F803AAAA", {}, CheckResult::Passed, {}},
        {"Brine PCU without F803: refused without a word", ModulePath::CPCU, "S113F003AAAA", {}, CheckResult::Refused, {}},
        {"no rule for the SLCD", ModulePath::SLCD, "S113F003E003", {}, CheckResult::Refused, {}},
        {"no rule for a DVB path", ModulePath::TAV8d, "S113F003E003", {}, CheckResult::Refused, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.messages.clear();
        ui.answers.assign(c.answers.begin(), c.answers.end());
        paths.Select(c.path, false);
        const std::string path = file("image.s19", image(c.last));
        files = {path};
        upload::UploadFile f;
        f.verified = true;
        EXPECT_EQ(upload::CheckUploadFile(t, c.path, engine.chooseFile, f), c.result);
        EXPECT_EQ(f.verified, c.result == CheckResult::Passed);
        ASSERT_EQ(ui.messages.size(), c.boxStarts.size());
        for (size_t i = 0; i < c.boxStarts.size(); ++i)
            EXPECT_EQ(ui.messages[i].text.rfind(c.boxStarts[i], 0), 0u) << ui.messages[i].text;
        if (!c.boxStarts.empty() && c.boxStarts[0].rfind("WARNING", 0) == 0)
            EXPECT_EQ(ui.messages[0].text.substr(ui.messages[0].text.size() - kWarningEnd.size()), kWarningEnd);
        const auto lines = screenLines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], "PT:  Module =" + t.moduleLabel);
        EXPECT_EQ(lines[1], "PT:  File = " + path);
        const bool bypassed = std::find(lines.begin(), lines.end(), "PT:  Warnings bypassed") != lines.end();
        EXPECT_EQ(bypassed, c.result == CheckResult::Passed && !c.boxStarts.empty());
        if (c.result == CheckResult::Passed) {
            EXPECT_EQ(lines[lines.size() - 2], "PT:  File verification complete! Checking for File version number");
            EXPECT_EQ(lines.back(), "PT:  File version number: 7.12");
            EXPECT_EQ(f.version, "7.12");
        } else {
            EXPECT_EQ(f.version, "");
        }
    }
}

TEST_F(FileCheckTest, AMissingFileIsReportedAndTheDialogShownAgainCancelEndsSilently)
{
    paths.Select(ModulePath::TAV8a, false);
    const std::string good = file("good.s19", image("S1130000F003"));
    files = {dir + "/missing.s19", good};
    upload::UploadFile f;
    EXPECT_EQ(upload::CheckUploadFile(t, ModulePath::TAV8a, engine.chooseFile, f), CheckResult::Passed);
    EXPECT_EQ(messages(), (std::vector<std::string>{dir + "/missing.s19 not found!"}));
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0], "Upload Hex File | Hex S19 Files (*.S19)|*.s19|All Files (*.*)|*.*");
    EXPECT_EQ(f.path, good);

    ui.messages.clear();
    files.clear();
    f.verified = true;
    EXPECT_EQ(upload::CheckUploadFile(t, ModulePath::TAV8a, engine.chooseFile, f), CheckResult::Cancelled);
    EXPECT_FALSE(f.verified);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(screenLines(), (std::vector<std::string>{"PT:  Module =" + t.moduleLabel}));
}

TEST_F(FileCheckTest, AFileThatIsNotTextIsReportedAndRefused)
{
    paths.Select(ModulePath::TAV8a, false);
    files = {file("big.bin", std::string(upload::kMaxLineChars + 1, '\x01'))};
    upload::UploadFile f;
    EXPECT_EQ(upload::CheckUploadFile(t, ModulePath::TAV8a, engine.chooseFile, f), CheckResult::Unreadable);
    EXPECT_FALSE(f.verified);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("not a text file"), std::string::npos);
}

TEST_F(FileCheckTest, TheSlcdBinaryImageStartsWithEbFe)
{
    std::string path;
    std::uint64_t size = 0;
    files = {dir + "/none.bin", file("good.bin", std::string("\xEB\xFE", 2) + std::string(298, 'x'))};
    EXPECT_EQ(upload::CheckBinFile(t, engine.chooseFile, path, size), CheckResult::Passed);
    EXPECT_EQ(size, 300u);
    EXPECT_EQ(dialogs.back(), "Upload Binary File | Hex BIN Files (*.BIN)|*.BIN|All Files (*.*)|*.*");
    EXPECT_EQ(messages(), (std::vector<std::string>{dir + "/none.bin not found!"}));
    EXPECT_EQ(screenLines(), (std::vector<std::string>{"PT:  File = " + path, "PT:  Checking file size: "}));

    ui.messages.clear();
    t.ClearScreen();
    files = {file("bad.bin", std::string("\xFE\xEB", 2) + std::string(298, 'x'))};
    EXPECT_EQ(upload::CheckBinFile(t, engine.chooseFile, path, size), CheckResult::Refused);
    EXPECT_EQ(messages(), (std::vector<std::string>{upload::kBinFormatWarning}));
    EXPECT_EQ(screenLines(), (std::vector<std::string>{"PT:  File = " + path}));
}

} // namespace
} // namespace uptest
