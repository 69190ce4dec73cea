// The ACU during a firmware upload, as the terminal's auto upload meets it: the answer lengths
// it judges each state by, the start / erase / transfer / reboot flow, the records it refuses,
// and the faults asked for. All on virtual time.
#include "ModuleTestUtil.h"

#include "sim/AcuBoot.h"
#include "sim/TerminalAcu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace simtest;
using sim::AcuBoot;
using sim::Ms;
using sim::RecordVerdict;

namespace {

// What the terminal's screen shows of received bytes on the upload path: every LF removed,
// an LF put after every CR. Its answer lengths count these characters.
std::string displayed(const std::string& bytes)
{
    std::string out;
    for (char c : bytes) {
        if (c == '\n')
            continue;
        out.push_back(c);
        if (c == '\r')
            out.push_back('\n');
    }
    return out;
}

// Sends bytes and collects what comes back within the wait, time passing in 10 ms steps.
std::string answerWithin(sim::ModuleModel& m, const std::string& bytes, Ms wait)
{
    constexpr Ms step{10};
    m.receive(bytes);
    std::string out = m.takeOutput();
    for (Ms t{0}; t < wait; t += step) {
        m.advance(step);
        out += m.takeOutput();
    }
    return out;
}

// The terminal's fragments of one line: 4 characters each; a last one shorter than 4 gets
// "00" appended and is cut to 4.
std::vector<std::string> fragments(const std::string& line)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < line.size(); i += 4) {
        std::string f = line.substr(i, 4);
        if (f.size() < 4)
            f = (f + "00").substr(0, 4);
        out.push_back("#" + f + CRLF);
    }
    return out;
}

// Sends one line of the image as the terminal does: each fragment, 6 ms apart, then 15 ms.
// Returns what came back meanwhile.
std::string sendLine(sim::ModuleModel& m, const std::string& line)
{
    std::string out;
    for (const auto& f : fragments(line)) {
        m.receive(f);
        m.advance(Ms{6});
        out += m.takeOutput();
    }
    m.advance(Ms{15});
    return out + m.takeOutput();
}

// A small image: a header, three S1 records (the last one ends on a padded fragment), the
// count of data records, the end.
const std::vector<std::string> kImage = {
    "S00F000068656C6C6F202020202000003C",
    "S11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026",
    "S11F001C4BFFFFE5398000007D83637880010014382100107C0803A64E800020E9",
    "S111003848656C6C6F20776F726C642E0A0042",
    "S5030003F9",
    "S9030000FC",
};

const std::string kGoodS1 = "S1050100AABB94"; // 0x0100: AA BB
const std::string kS9 = "S9030000FC";

sim::ModuleModel& bootloader(sim::ModuleModel& m, bool erase)
{
    m.as<AcuBoot>().setStart(AcuBoot::Start::Bootloader);
    if (erase)
        answerWithin(m, "^0578" + CRLF, Ms{1500});
    return m;
}

} // namespace

TEST(AcuBoot, EachStateAnswersWithTheLengthsTheTerminalJudgesItBy)
{
    struct Step {
        std::string sent;
        Ms wait;
        std::string want; // as displayed
    };
    const std::string status = "(status)"; // the ACU's status line, 13 characters + CR LF ">"
    const struct {
        const char* what;
        AcuBoot::Start start;
        std::vector<Step> steps;
    } cases[] = {
        {"application: status 16, version, lock, start 11",
         AcuBoot::Start::Application,
         {{ESC + "S", Ms{1000}, status},
          {"V", Ms{200}, "TAV ACU VER 7.12\r\n>"},
          {ESC + "[L" + CRLF, Ms{100}, ">"},
          {ESC + "\\0080" + CRLF, Ms{1500}, "BOOT MODE\r\n"},
          {ESC + "S", Ms{1000}, "BOOT OK\r\n"}}},
        {"application: lock and start as one row count 12",
         AcuBoot::Start::Application,
         {{"[L" + CRLF + "\\0080" + CRLF, Ms{1500}, ">BOOT MODE\r\n"}}},
        {"bootloader: status 9, unknown lines, lock, restart 14, erase, bulk erase, reboot",
         AcuBoot::Start::Bootloader,
         {{ESC + "S", Ms{1000}, "BOOT OK\r\n"},
          {"V", Ms{200}, ""},
          {"^0087" + CRLF, Ms{100}, "?\r\n"},
          {ESC + "[L" + CRLF, Ms{100}, ">"},
          {"9" + CRLF, Ms{1500}, "BOOT RESTART\r\n"},
          {"^0578" + CRLF, Ms{1500}, "ERASING...*\r\n"},
          {"^0577" + CRLF, Ms{1500}, "ERASING...*\r\n"},
          {"\\0090" + CRLF, Ms{1500}, "BOOT EXIT\r\n"},
          {"[Z" + CRLF, Ms{100}, ">"},
          {ESC + "S", Ms{1000}, status}}},
        {"hung: nothing until \"9\", then a bootloader",
         AcuBoot::Start::Hung,
         {{ESC + "S", Ms{1000}, ""},
          {"^0578" + CRLF, Ms{1500}, ""},
          {ESC + "[L" + CRLF, Ms{100}, ">"},
          {"9" + CRLF, Ms{1500}, "BOOT RESTART\r\n"},
          {ESC + "S", Ms{1000}, "BOOT OK\r\n"}}},
        {"silent: nothing at all",
         AcuBoot::Start::Silent,
         {{ESC + "[L" + CRLF, Ms{100}, ""},
          {ESC + "S", Ms{1000}, ""},
          {"9" + CRLF, Ms{1500}, ""},
          {"V", Ms{200}, ""},
          {ESC + "S", Ms{1000}, ""}}},
        {"confused: 10 characters, never better",
         AcuBoot::Start::Confused,
         {{ESC + "[L" + CRLF, Ms{100}, ">"},
          {ESC + "S", Ms{1000}, "BOOT ERR\r\n"},
          {"9" + CRLF, Ms{1500}, ""},
          {ESC + "S", Ms{1000}, "BOOT ERR\r\n"},
          {ESC + "\\0080" + CRLF, Ms{1500}, ""},
          {ESC + "S", Ms{1000}, "BOOT ERR\r\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ModuleModel m("acu-boot");
        m.as<AcuBoot>().setStart(c.start);
        for (const auto& s : c.steps) {
            SCOPED_TRACE(s.sent);
            const std::string shown = displayed(answerWithin(m, s.sent, s.wait));
            if (s.want == status) {
                EXPECT_EQ(shown.size(), 16u) << shown;
                EXPECT_EQ(shown.substr(0, 1), "S");
                EXPECT_EQ(shown.substr(13), "\r\n>");
            } else {
                EXPECT_EQ(shown, s.want);
            }
        }
    }
}

TEST(AcuBoot, StartEraseTransferRebootLoadsTheImage)
{
    sim::ModuleModel m("acu-boot");
    auto& boot = m.as<AcuBoot>();

    // Start: the application hands over and reports nothing while the bootloader comes up.
    m.receive(ESC + "\\0080" + CRLF);
    m.advance(AcuBoot::restartTime - Ms{1});
    m.receive(ESC + "S");
    EXPECT_EQ(m.takeOutput(), "") << "restarting";
    EXPECT_EQ(boot.mode(), AcuBoot::Mode::Application);
    m.advance(Ms{1});
    EXPECT_EQ(m.takeOutput(), "BOOT MODE\r\n");
    EXPECT_EQ(boot.mode(), AcuBoot::Mode::Bootloader);

    // Erase: "ERASING..." at once, the "*" after the erase time.
    EXPECT_EQ(ask(m, "^0578" + CRLF), "ERASING...");
    EXPECT_TRUE(boot.busy());
    m.advance(AcuBoot::eraseTime);
    EXPECT_EQ(m.takeOutput(), "*\r\n");
    EXPECT_EQ(boot.eraseCount(), 1);

    std::string answers;
    for (const auto& line : kImage)
        answers += sendLine(m, line);
    EXPECT_EQ(answers, "LOAD OK\r\n") << "good records are taken in silence";
    EXPECT_EQ(boot.recordsReceived(), 6);
    EXPECT_EQ(boot.recordsAccepted(), 6);
    EXPECT_TRUE(boot.endSeen());
    EXPECT_TRUE(boot.s9Seen());
    ASSERT_EQ(boot.records().size(), kImage.size());
    for (std::size_t i = 0; i < kImage.size(); ++i)
        EXPECT_EQ(boot.records()[i].text, kImage[i]) << "joined without the padding";
    EXPECT_EQ(boot.records()[3].address, 0x38u);

    const auto& mem = boot.memory();
    const std::vector<std::uint8_t> first = {0x7C, 0x08, 0x02, 0xA6, 0x90, 0x01, 0x00, 0x04};
    EXPECT_TRUE(std::equal(first.begin(), first.end(), mem.begin()));
    EXPECT_EQ(mem[0x1B], 0x00);
    EXPECT_EQ(mem[0x1C], 0x4B);
    EXPECT_EQ(mem[0x37], 0x20);
    const std::string hello = "Hello world.\n";
    EXPECT_EQ(std::string(mem.begin() + 0x38, mem.begin() + 0x38 + 13), hello);
    EXPECT_EQ(mem[0x45], 0x00);
    EXPECT_EQ(mem[0x46], 0xFF) << "past the image the memory stays erased";
    EXPECT_EQ(mem[0xFFFF], 0xFF);

    // Alive after the transfer.
    EXPECT_EQ(displayed(answerWithin(m, ESC + "S", Ms{1000})), "BOOT OK\r\n");

    // Reboot into the application, then the communications interface's restart.
    EXPECT_EQ(ask(m, "\\0090" + CRLF), "BOOT EXIT\r\n");
    m.advance(AcuBoot::restartTime);
    EXPECT_EQ(boot.mode(), AcuBoot::Mode::Application);
    EXPECT_EQ(ask(m, "[Z" + CRLF), ">");
    EXPECT_EQ(ask(m, "V"), "TAV ACU VER 7.12\r\n>");

    // The record of commands holds the commands, not the 100-odd fragments.
    for (const auto& r : m.module().received())
        EXPECT_NE(r.text[0], '#') << r.text;
}

TEST(AcuBoot, RecordJoinerCutsTheCharacterStreamIntoRecords)
{
    const struct {
        std::vector<std::string> chunks;
        std::vector<std::string> want;
    } cases[] = {
        // Across chunks, the padding after a record skipped.
        {{"S903", "0000", "FC00"}, {"S9030000FC"}},
        {{"S5030003F9S9", "030000FC"}, {"S5030003F9", "S9030000FC"}},
        // A count of 0 completes at once; what follows up to an "S" is skipped.
        {{"S100", "0000"}, {"S100"}},
        {{"xx00S9030000FC"}, {"S9030000FC"}},
        // Broken off: by a non-hexadecimal character, by the next "S", by a bad type.
        {{"S1050100AXBB94"}, {"S1050100A"}},
        {{"S1050100S9030000FC"}, {"S1050100", "S9030000FC"}},
        {{"SXS9030000FC"}, {"S", "S9030000FC"}},
        // Not complete yet: nothing.
        {{"S1050100AA"}, {}},
    };
    for (const auto& c : cases) {
        sim::RecordJoiner j;
        std::vector<std::string> out;
        for (const auto& chunk : c.chunks)
            j.feed(chunk, out);
        EXPECT_EQ(out, c.want) << c.chunks.front();
    }
}

TEST(AcuBoot, ReadRecordJudgesFormAndChecksum)
{
    const struct {
        std::string text;
        RecordVerdict want;
        char type;
        std::uint32_t address;
        std::size_t dataBytes;
    } cases[] = {
        {"S00F000068656C6C6F202020202000003C", RecordVerdict::Accepted, '0', 0, 12},
        {"S1050100AABB94", RecordVerdict::Accepted, '1', 0x0100, 2},
        {"S1050100aabb94", RecordVerdict::Accepted, '1', 0x0100, 2},
        {"S1050100AABB95", RecordVerdict::BadChecksum, '1', 0x0100, 2},
        {"S2060101000102F4", RecordVerdict::Accepted, '2', 0x010100, 2},
        {"S30700000100AABB92", RecordVerdict::Accepted, '3', 0x0100, 2},
        {"S5030003F9", RecordVerdict::Accepted, '5', 3, 0},
        {"S9030000FC", RecordVerdict::Accepted, '9', 0, 0},
        {"S4030000FC", RecordVerdict::Malformed, '4', 0, 0},         // no such type
        {"S1020000", RecordVerdict::Malformed, '1', 0, 0},           // count too short for an address
        {"S1060100AABB94", RecordVerdict::Malformed, '1', 0, 0},     // count says more than there is
        {"S1050100AABB9", RecordVerdict::Malformed, '1', 0, 0},      // half a pair
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        sim::BootRecord r;
        EXPECT_EQ(sim::readRecord(c.text, r), c.want);
        EXPECT_EQ(r.text, c.text);
        if (c.want != RecordVerdict::Malformed) {
            EXPECT_EQ(r.type, c.type);
            EXPECT_EQ(r.address, c.address);
            EXPECT_EQ(r.data.size(), c.dataBytes);
        }
    }
}

TEST(AcuBoot, RecordsTheBootloaderCannotTakeAreAnsweredMinus)
{
    const struct {
        const char* what;
        bool erase;
        std::vector<std::string> before; // sent first (lines of the image, or commands)
        std::string record;
        std::string want;
        RecordVerdict verdict;
    } cases[] = {
        {"bad checksum", true, {}, "S1050100AABB95", "-", RecordVerdict::BadChecksum},
        {"malformed", true, {}, "S1050100AXBB94", "-", RecordVerdict::Malformed},
        {"no erase", false, {}, kGoodS1, "-", RecordVerdict::BeforeErase},
        {"erase forgotten by a restart", true, {"9"}, kGoodS1, "-", RecordVerdict::BeforeErase},
        {"after the end", true, {kS9}, kGoodS1, "-", RecordVerdict::AfterEnd},
        {"past the memory", true, {}, "S105FFFFAABB97", "-", RecordVerdict::OutOfRange},
        {"count of data records wrong", true, {kGoodS1}, "S5030002FA", "-", RecordVerdict::CountMismatch},
        {"count of data records right", true, {kGoodS1}, "S5030001FB", "", RecordVerdict::Accepted},
        {"end after a refusal", true, {"S1050100AABB95"}, kS9, "LOAD FAIL\r\n", RecordVerdict::Accepted},
        {"S2 and S3 taken", true, {"S2060101000102F4"}, "S30700000100AABB92", "", RecordVerdict::Accepted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ModuleModel m("acu-boot");
        auto& boot = bootloader(m, c.erase).as<AcuBoot>();
        for (const auto& b : c.before) {
            if (b[0] == 'S')
                sendLine(m, b);
            else
                answerWithin(m, b + CRLF, Ms{1500});
        }
        const std::vector<std::uint8_t> memoryBefore = boot.memory();
        EXPECT_EQ(displayed(sendLine(m, c.record)), c.want);
        ASSERT_FALSE(boot.records().empty());
        EXPECT_EQ(boot.records().back().verdict, c.verdict);
        if (c.verdict != RecordVerdict::Accepted)
            EXPECT_TRUE(boot.memory() == memoryBefore) << "nothing written";
    }
}

TEST(AcuBoot, TransferFaultsShowWhereTheTerminalLooks)
{
    const struct {
        const char* what;
        AcuBoot::Faults faults;
        std::vector<std::string> answers; // one per line of kImage, as displayed
        std::size_t statusAfter;          // ESC "S" after the transfer, as displayed
        int received;
        bool linkDrop;
    } cases[] = {
        {"none", {}, {"", "", "", "", "", "LOAD OK\r\n"}, 9, 6, false},
        {"silent after record 3", {.silentAfterRecords = 3}, {"", "", "", "", "", ""}, 0, 3, false},
        // The refused data record leaves the count record wrong too.
        {"\"-\" at record 2", {.refuseRecord = 2}, {"", "-", "", "", "-", "LOAD FAIL\r\n"}, 9, 6, false},
        {"link dropped after record 4", {.dropLinkAfterRecords = 4}, {"", "", "", "", "", ""}, 0, 4, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ModuleModel m("acu-boot");
        auto& boot = bootloader(m, true).as<AcuBoot>();
        boot.faults() = c.faults;
        std::vector<std::string> answers;
        for (const auto& line : kImage) {
            answers.push_back(displayed(sendLine(m, line)));
            if (boot.recordsReceived() < c.faults.dropLinkAfterRecords)
                EXPECT_FALSE(m.module().linkDropDue());
        }
        EXPECT_EQ(answers, c.answers);
        EXPECT_EQ(displayed(answerWithin(m, ESC + "S", Ms{1000})).size(), c.statusAfter);
        EXPECT_EQ(boot.recordsReceived(), c.received);
        EXPECT_EQ(m.module().linkDropDue(), c.linkDrop);
    }
}

TEST(AcuBoot, ARefusedEraseLeavesNothingToTransferTo)
{
    sim::ModuleModel m("acu-boot");
    auto& boot = bootloader(m, false).as<AcuBoot>();
    boot.faults().refuseErase = true;
    for (const char* erase : {"^0578", "^0577"}) {
        const std::string shown = displayed(answerWithin(m, erase + CRLF, Ms{1500}));
        EXPECT_EQ(shown, "ERASING...FAIL\r\n");
        EXPECT_EQ(shown.find_first_of("+*"), std::string::npos);
    }
    EXPECT_EQ(boot.eraseCount(), 0);
    EXPECT_EQ(displayed(sendLine(m, kGoodS1)), "-");

    // Once the erase works again the transfer goes through.
    boot.faults().refuseErase = false;
    EXPECT_EQ(displayed(answerWithin(m, "^0578" + CRLF, Ms{1500})), "ERASING...*\r\n");
    EXPECT_EQ(sendLine(m, kGoodS1), "");
    EXPECT_EQ(boot.memory()[0x100], 0xAA);
    EXPECT_EQ(boot.memory()[0x101], 0xBB);
}

TEST(AcuBoot, VersionTextIsSettable)
{
    sim::ModuleModel m("acu-boot");
    m.as<AcuBoot>().setVersion("6.40");
    const std::string v = displayed(answerWithin(m, "V", Ms{200}));
    EXPECT_EQ(v, "TAV ACU VER 6.40\r\n>");
    const auto dot = v.find('.', v.find("VER "));
    ASSERT_NE(dot, std::string::npos);
    EXPECT_EQ(v[dot - 1], '6') << "the major version, as the terminal reads it";
}

TEST(AcuBoot, OtherApplicationCommandsAreAnsweredAsOnTheAcuPaths)
{
    for (const std::string& sent : {ESC + "\\0090" + CRLF, "<0411" + CRLF, ESC + "[V   " + CRLF}) {
        SCOPED_TRACE(sent);
        sim::ModuleModel boot("acu-boot");
        sim::ModuleModel acu("acu-terminal");
        calm(boot);
        calm(acu);
        const std::string want = ask(acu, sent);
        EXPECT_FALSE(want.empty());
        EXPECT_EQ(ask(boot, sent), want);
    }
    sim::ModuleModel m("acu-boot");
    EXPECT_EQ(ask(m, "#S903" + CRLF + "9" + CRLF), "") << "the bootloader's lines mean nothing to the application";
}
