// The bootloaders of the PCU, the motor driver, the modems and the Brine PCU, behind the ACU and
// on their own ports, as the terminal's auto upload meets them: the answer lengths and texts it
// judges, the bootloader start on the Nth try, the image reassembled from each path's framing,
// the error marks of a refused record, the missing "Ok", silence, and the USB device that goes
// while its unit restarts. All on virtual time.
#include "ModuleTestUtil.h"

#include "sim/PcuBoot.h"
#include "sim/PcuDirectBoot.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace simtest;
using sim::Ms;
using sim::UnitSetup;

namespace {

const std::string VT(1, '\x0b');

// What the terminal's screen shows: every LF removed, an LF after every CR.
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

std::string answerWithin(sim::ModuleModel& m, const std::string& bytes, Ms wait)
{
    constexpr Ms step{10};
    m.receive(bytes);
    std::string out = m.takeOutput();
    for (Ms t{0}; t < wait; t += step) {
        m.advance(step);
        out += m.takeOutput();
    }
    return displayed(out);
}

sim::ModuleModel& unit(sim::ModuleModel& m, UnitSetup s = {})
{
    m.as<sim::UnitBoot>().configure(std::move(s));
    return m;
}

// The ACU's translation port: the line built from "?" + first, then each "#" line, then "#!".
std::string passThrough(const std::string& first, const std::vector<std::string>& parts)
{
    std::string out = "?" + first + CRLF;
    for (const auto& p : parts)
        out += "#" + p + CRLF;
    return out + "#!   " + CRLF;
}

// One image line through the ACU: "?    ", the "#" fragments of 4 characters (a short last one
// padded with "00"), "#!   ".
std::string routedLine(const std::string& line)
{
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < line.size(); i += 4)
        parts.push_back((line.substr(i, 4) + "00").substr(0, 4));
    return passThrough("    ", parts);
}

const std::string kPcuStart = passThrough("^", {"0080", VT + "  "});
const std::string kMdeStart = passThrough("]", {"0080", VT + "  "});
const std::string kPcuErase = passThrough("    ", {"^057", "8   "});
const std::string kMdeErase = passThrough("    ", {"]057", "8   ", VT + "  "});
const std::string kModemErase = passThrough("    ", {"<057", "8   "});
const std::string kEndLine = "#!    " + CRLF;

const std::vector<std::string> kImage = {
    "S00F000068656C6C6F202020202000003C",
    "S11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026",
    "S111003848656C6C6F20776F726C642E0A0042",
    "S5030002FA",
    "S9030000FC",
};

void expectImage(const sim::BootMemory& mem)
{
    EXPECT_EQ(mem.recordsAccepted(), int(kImage.size()));
    EXPECT_TRUE(mem.s9Seen());
    EXPECT_EQ(mem.memory()[0], 0x7C);
    EXPECT_EQ(std::string(mem.memory().begin() + 0x38, mem.memory().begin() + 0x38 + 13), "Hello world.\n");
    EXPECT_EQ(mem.memory()[0x45], 0x00);
    EXPECT_EQ(mem.memory()[0x46], 0xFF) << "past the image the memory stays erased";
}

} // namespace

TEST(PcuBoot, EachUnitAnswersWithTheLengthsAndTextsTheTerminalJudges)
{
    struct Step {
        std::string sent;
        Ms wait;
        std::string want; // as displayed; "(status)" is the ACU's 16-character status line
    };
    const std::string status = "(status)";
    auto with = [](std::function<void(UnitSetup&)> f) {
        UnitSetup s;
        f(s);
        return s;
    };
    const struct {
        const char* what;
        const char* module;
        UnitSetup setup;
        std::vector<Step> steps;
    } cases[] = {
        {"PCU behind the ACU: ACU status, PCU status 7, version, bootloader start",
         "pcu-boot",
         {},
         {{ESC + "S", Ms{1000}, status},
          {ESC + "[L" + CRLF, Ms{100}, ">"},
          {"?S" + CRLF, Ms{1000}, "S@@@@\r\n"},
          {"?V" + CRLF, Ms{1000}, "PCU VER 7.05\r\n"},
          {"n0000" + CRLF, Ms{1000}, ""},
          {"^0086" + CRLF + kPcuStart, Ms{1000}, "PCU BOOTLOADER V2.10\r\n"},
          {"?S" + CRLF, Ms{1000}, "BOOT OK\r\n"},
          {"?V" + CRLF, Ms{1000}, "?\r\n"},
          {kPcuErase, Ms{1000}, "ERASING...+\r\n"}}},
        {"a status of 8, a 6.xx PCU", "pcu-boot", with([](UnitSetup& s) { s.statusLength = 8, s.version = "6.20"; }),
         {{"?S" + CRLF, Ms{1000}, "S@@@@@\r\n"}, {"?V" + CRLF, Ms{1000}, "PCU VER 6.20\r\n"}}},
        {"already in the bootloader: \"?S\" is 9 characters", "pcu-boot",
         with([](UnitSetup& s) { s.start = UnitSetup::Start::Bootloader; }),
         {{"?S" + CRLF, Ms{1000}, "BOOT OK\r\n"}, {kPcuStart, Ms{1000}, "PCU BOOTLOADER V2.10\r\n"}}},
        {"silent: not even the ACU", "pcu-boot", with([](UnitSetup& s) { s.start = UnitSetup::Start::Silent; }),
         {{ESC + "S", Ms{1000}, ""}, {ESC + "[L" + CRLF, Ms{100}, ""}, {"?S" + CRLF, Ms{1000}, ""}}},
        {"unit silent: the ACU answers, the PCU does not", "pcu-boot",
         with([](UnitSetup& s) { s.start = UnitSetup::Start::UnitSilent; }),
         {{ESC + "S", Ms{1000}, status}, {"?S" + CRLF, Ms{1000}, ""}, {kPcuStart, Ms{1000}, ""}}},
        {"the ACU restarts for 500 ms; the lock is still answered", "pcu-boot", {},
         {{"\\0090" + CRLF, Ms{0}, "\\0090\r\n>"},
          {ESC + "S", Ms{400}, ""},
          {"[L" + CRLF, Ms{100}, ">"},
          {ESC + "S", Ms{100}, status}}},
        {"motor driver behind the ACU: the PCU answers \"?S\", the MDE's bootloader says D", "mde-boot",
         with([](UnitSetup& s) { s.start = UnitSetup::Start::UnitSilent; }),
         {{"?S" + CRLF, Ms{1000}, "S@@@@\r\n"}, {kMdeStart, Ms{1000}, ""}}},
        {"motor driver: start and erase", "mde-boot", {},
         {{"^0086" + CRLF + kMdeStart, Ms{1000}, "MDE BOOTLOADER READY\r\n"}, {kMdeErase, Ms{1000}, "ERASING...+\r\n"}}},
        {"modem: the application erases for the bootloader", "modem-boot", {},
         {{kModemErase, Ms{1000}, "ERASING...+\r\n"}}},
        {"PCU on USB: version, bootloader, erase", "pcu-usb", {},
         {{CRLF, Ms{1000}, ""},
          {"?V" + CRLF, Ms{1000}, "PCU VER 7.05\r\n"},
          {"^0080" + CRLF, Ms{1000}, "PCU USB Bootloader V1.30\r\n"},
          {"^0578\r", Ms{1000}, "ERASING...*\r\n"}}},
        {"PCU on the service port", "pcu-service", {},
         {{"?V" + CRLF, Ms{1000}, "PCU VER 7.05\r\n"}, {"^0080" + CRLF, Ms{1000}, "PCU Service Port Bootloader V1.30\r\n"}}},
        {"PCU already in its bootloader: no VER, the start answers", "pcu-usb",
         with([](UnitSetup& s) { s.start = UnitSetup::Start::Bootloader; }),
         {{"?V" + CRLF, Ms{1000}, "?\r\n"}, {"^0080" + CRLF, Ms{1000}, "PCU USB Bootloader V1.30\r\n"}}},
        {"motor driver on USB", "mde-usb", {},
         {{"*" + CRLF, Ms{1000}, "MDB V2.04\r\n"},
          {"]0080" + CRLF, Ms{1000}, "MDB USB Bootloader V1.10\r\n"},
          {"]0578" + CRLF, Ms{1000}, "ERASING...*\r\n"}}},
        {"a refused erase", "mde-usb", with([](UnitSetup& s) { s.refuseErase = true; }),
         {{"]0080" + CRLF, Ms{1000}, "MDB USB Bootloader V1.10\r\n"}, {"]0578" + CRLF, Ms{1000}, "ERASING...FAIL\r\n"}}},
        {"a silent direct unit", "pcu-service", with([](UnitSetup& s) { s.start = UnitSetup::Start::Silent; }),
         {{"?V" + CRLF, Ms{1000}, ""}, {"^0080" + CRLF, Ms{1000}, ""}}},
        {"Brine PCU: \"^0578\" needs no line end", "brine-boot", {},
         {{"V" + CRLF, Ms{100}, "BRINE PCU VER 4.12\r\n"}, {"^0578", Ms{1000}, "ERASING...*\r\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ModuleModel m(c.module);
        calm(m);
        unit(m, c.setup);
        for (const auto& s : c.steps) {
            SCOPED_TRACE(s.sent);
            const std::string shown = answerWithin(m, s.sent, s.wait);
            if (s.want == status) {
                EXPECT_EQ(shown.size(), 16u) << shown;
                EXPECT_EQ(shown.substr(13), "\r\n>");
            } else {
                EXPECT_EQ(shown, s.want);
            }
        }
    }
}

TEST(PcuBoot, TheBootloaderStartsOnTheTryItIsToldTo)
{
    const struct {
        const char* module;
        std::string start;
        std::string banner;
        int onTry;
        int tries;
        int answeredAt; // 0: never
    } cases[] = {
        {"pcu-boot", "^0086" + CRLF + kPcuStart, "PCU BOOTLOADER V2.10", 3, 3, 3},
        {"pcu-boot", "^0086" + CRLF + kPcuStart, "PCU BOOTLOADER V2.10", 0, 3, 0},
        {"mde-boot", kMdeStart, "MDE BOOTLOADER READY", 2, 3, 2},
        {"pcu-usb", "^0080" + CRLF, "PCU USB Bootloader V1.30", 2, 2, 2},
        {"mde-usb", "]0080" + CRLF, "MDB USB Bootloader V1.10", 4, 3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.module) + " on try " + std::to_string(c.onTry));
        sim::ModuleModel m(c.module);
        UnitSetup s;
        s.bootOnTry = c.onTry;
        unit(m, s);
        int answeredAt = 0;
        for (int t = 1; t <= c.tries && answeredAt == 0; ++t)
            if (answerWithin(m, c.start, Ms{1000}).find(c.banner) != std::string::npos)
                answeredAt = t;
        EXPECT_EQ(answeredAt, c.answeredAt);
        EXPECT_EQ(m.as<sim::UnitBoot>().inBootloader(), c.answeredAt != 0);
    }
}

TEST(PcuBoot, EachFramingReassemblesTheImage)
{
    const struct {
        const char* what;
        const char* module;
        std::string start, erase;
        std::function<std::string(const std::string&)> line; // one image line as the path sends it
        std::string end;                                     // after the last line
        std::string wantAnswers;                             // what the transfer brings back
    } cases[] = {
        {"PCU through the ACU: \"?    \", fragments, \"#!   \"", "pcu-boot", kPcuStart, kPcuErase, routedLine,
         kEndLine + kEndLine, "LOAD OK\r\n"},
        {"motor driver through the ACU: its verdict on the end line", "mde-boot", kMdeStart, kMdeErase, routedLine,
         kEndLine + kEndLine, "LOAD OK\r\n"},
        {"modem in the engine's framing: \"?    \" CR, fragments; the next line delivers", "modem-boot", "", kModemErase,
         [](const std::string& l) {
             std::string out = "?    \r";
             for (std::size_t i = 0; i < l.size(); i += 4)
                 out += "#" + (l.substr(i, 4) + "00").substr(0, 4) + CRLF;
             return out;
         },
         "#!   " + CRLF + "#!   " + CRLF, "LOAD OK\r\n"},
        {"PCU on USB: a record a line, each echoed, \"Ok\"", "pcu-usb", "^0080" + CRLF, "^0578\r",
         [](const std::string& l) { return l + CRLF; }, CRLF, ""},
        {"Brine PCU: a record a line, in silence", "brine-boot", "", "^0578",
         [](const std::string& l) { return l + CRLF; }, "", "LOAD OK\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ModuleModel m(c.module);
        unit(m);
        if (!c.start.empty())
            answerWithin(m, c.start, Ms{1000});
        answerWithin(m, c.erase, Ms{1000});
        const auto& boot = m.as<sim::UnitBoot>().boot();
        ASSERT_EQ(boot.eraseCount(), 1);
        std::string answers;
        for (const auto& l : kImage)
            answers += answerWithin(m, c.line(l), Ms{20});
        answers += answerWithin(m, c.end, Ms{100});
        if (std::string(c.module) == "pcu-usb") {
            std::string echo;
            for (const auto& l : kImage)
                echo += l + "\r\n";
            EXPECT_EQ(answers, echo + "Ok\r\n");
        } else {
            EXPECT_EQ(answers, c.wantAnswers);
        }
        expectImage(boot);
        m.advance(Ms{400});
        EXPECT_FALSE(m.as<sim::UnitBoot>().inBootloader()) << "the new program runs";
    }
}

TEST(PcuBoot, ARefusedRecordIsMarkedAsEachPathLooksForIt)
{
    const struct {
        const char* module;
        std::string start, erase;
        bool routed, echoes;
        std::string wantMark;  // right after the refused record
        std::string wantEnd;   // to the end record and the end lines
    } cases[] = {
        {"pcu-boot", kPcuStart, kPcuErase, true, false, "_", "LOAD FAIL\r\n"},
        {"mde-boot", kMdeStart, kMdeErase, true, false, "#", "LOAD FAIL #\r\n"},
        {"modem-boot", "", kModemErase, true, false, "-", "LOAD FAIL\r\n"},
        {"pcu-service", "^0080" + CRLF, "^0578\r", false, true, "ERR\r\n", "S9030000FC\r\nFail\r\n"},
        {"brine-boot", "", "^0578", false, false, "-", "LOAD FAIL\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        sim::ModuleModel m(c.module);
        UnitSetup s;
        s.refuseRecord = 2;
        unit(m, s);
        if (!c.start.empty())
            answerWithin(m, c.start, Ms{1000});
        answerWithin(m, c.erase, Ms{1000});
        auto send = [&](const std::string& l) { return answerWithin(m, c.routed ? routedLine(l) : l + CRLF, Ms{20}); };
        send(kImage[0]);
        std::string mark = send(kImage[1]);
        if (c.echoes)
            mark = mark.substr(std::min(mark.size(), kImage[1].size() + 2)); // after the echo
        EXPECT_EQ(mark, c.wantMark);
        std::string end = send(kImage[4]);
        if (c.routed)
            end += answerWithin(m, kEndLine + kEndLine, Ms{100});
        EXPECT_EQ(end, c.wantEnd);
        EXPECT_TRUE(m.as<sim::UnitBoot>().inBootloader()) << "a failed image is not started";
    }
}

TEST(PcuBoot, DirectUnitsWithoutOkOrFallingSilent)
{
    {
        SCOPED_TRACE("no Ok");
        sim::ModuleModel m("pcu-usb");
        UnitSetup s;
        s.noOk = true;
        unit(m, s);
        answerWithin(m, "^0080" + CRLF, Ms{1000});
        answerWithin(m, "^0578\r", Ms{1000});
        std::string answers;
        for (const auto& l : kImage)
            answers += answerWithin(m, l + CRLF, Ms{20});
        EXPECT_EQ(answers.find("Ok"), std::string::npos);
        EXPECT_NE(answers.find("S9030000FC\r\nDone\r\n"), std::string::npos) << answers;
    }
    {
        SCOPED_TRACE("silent after the second record: its echo comes, then nothing");
        sim::ModuleModel m("pcu-service");
        UnitSetup s;
        s.silentAfterRecords = 2;
        unit(m, s);
        answerWithin(m, "^0080" + CRLF, Ms{1000});
        answerWithin(m, "^0578\r", Ms{1000});
        EXPECT_EQ(answerWithin(m, kImage[0] + CRLF, Ms{20}), kImage[0] + "\r\n");
        EXPECT_EQ(answerWithin(m, kImage[1] + CRLF, Ms{20}), kImage[1] + "\r\n");
        EXPECT_EQ(answerWithin(m, kImage[2] + CRLF, Ms{5000}), "");
        EXPECT_TRUE(m.as<sim::UnitBoot>().fellSilent());
    }
}

TEST(PcuBoot, AUsbDeviceGoesWhileItsUnitRestartsAndComesBack)
{
    for (const char* module : {"pcu-usb", "mde-usb", "pcu-service"}) {
        SCOPED_TRACE(module);
        const bool mde = std::string(module) == "mde-usb";
        sim::ModuleModel m(module);
        UnitSetup s;
        s.goneFor = Ms{4000};
        unit(m, s);
        auto& u = m.as<sim::PcuDirectBoot>();
        answerWithin(m, (mde ? "]0080" : "^0080") + CRLF, Ms{1000});
        answerWithin(m, mde ? "]0578" + CRLF : "^0578\r", Ms{1000});
        for (const auto& l : kImage)
            answerWithin(m, l + CRLF, Ms{0});
        EXPECT_TRUE(u.present());
        m.advance(sim::UnitBoot::restartTime);
        if (!u.usb()) {
            EXPECT_TRUE(u.present()) << "a service port stays";
            EXPECT_FALSE(u.linkDropDue());
            continue;
        }
        EXPECT_FALSE(u.present());
        EXPECT_TRUE(u.linkDropDue());
        EXPECT_EQ(answerWithin(m, mde ? "*" + CRLF : "?V" + CRLF, Ms{3900}), "") << "nothing while it is away";
        EXPECT_FALSE(u.present());
        m.advance(Ms{100});
        EXPECT_TRUE(u.present());
        EXPECT_FALSE(u.linkDropDue());
        EXPECT_EQ(answerWithin(m, mde ? "*" + CRLF : "?V" + CRLF, Ms{100}), mde ? "MDB V2.04\r\n" : "PCU VER 7.05\r\n");
        EXPECT_EQ(u.restarts(), 1);
    }
}

TEST(PcuBoot, TheStartStatesHaveNames)
{
    EXPECT_EQ(UnitSetup::startNamed("unit-silent"), UnitSetup::Start::UnitSilent);
    EXPECT_EQ(UnitSetup::startNamed("bootloader"), UnitSetup::Start::Bootloader);
    EXPECT_FALSE(UnitSetup::startNamed("Bootloader"));
    EXPECT_EQ(UnitSetup::startNames().size(), 4u);
}

TEST(PcuBoot, AnyBytesAtAllNeverBreakAModule)
{
    std::mt19937 rng(7);
    const struct {
        const char* module;
        std::string probe; // answered in any state once the noise has settled
    } cases[] = {
        {"pcu-boot", ESC + "S"}, {"mde-boot", ESC + "S"}, {"modem-boot", ESC + "S"}, {"pcu-usb", "?V" + CRLF},
        {"pcu-service", "?V" + CRLF}, {"mde-usb", "*" + CRLF}, {"brine-boot", "^0080"},
    };
    // Random bytes mixed with the pieces that open lines, pass-through lines and records.
    const std::vector<std::string> pieces = {"?    \r\n", "#S1", "#!   \r\n", "^0578", "S1", "\r", "#", "?^\r\n", "^"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        sim::ModuleModel m(c.module);
        UnitSetup s;
        s.start = UnitSetup::Start::Bootloader;
        unit(m, s);
        for (int i = 0; i < 4000; ++i) {
            std::string chunk;
            if (rng() % 3 == 0)
                chunk = pieces[rng() % pieces.size()];
            for (int n = int(rng() % 8); n > 0; --n)
                chunk.push_back(char(rng() % 256));
            m.receive(chunk);
            m.advance(Ms{int(rng() % 50)});
            m.takeOutput();
        }
        // Partial lines expire, restarts and erases end, a USB unit is back: it answers again.
        answerWithin(m, "", Ms{4000});
        answerWithin(m, std::string("\r\n"), Ms{100});
        EXPECT_NE(answerWithin(m, c.probe, Ms{500}), "");
        EXPECT_LE(m.as<sim::UnitBoot>().boot().records().size(), sim::BootMemory::maxRecordsKept);
    }
}
