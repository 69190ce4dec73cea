// The modules updated through the Vantor, on virtual time: the Vantor's application and
// bootloader and its USB port that goes away at each restart (vantor-boot, and tavsim's links
// to it), the Orla PCU behind the Vantor's stream (orla-boot), and the SLCD (slcd). What each
// answers, what it makes of the image it is sent, and each fault asked for.
#include "ModuleTestUtil.h"

#include "sim/OrlaBoot.h"
#include "sim/SlcdBoot.h"
#include "sim/VantorBoot.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <cstdio>
#include <string>
#include <vector>

using namespace simtest;
using sim::Ms;
using sim::OrlaBoot;
using sim::SlcdBoot;
using sim::VantorBoot;

namespace {

const std::string CR = "\r";

// Time passes in 10 ms steps; what came back meanwhile.
std::string run(sim::ModuleModel& m, Ms total)
{
    std::string out = m.takeOutput();
    for (Ms t{0}; t < total; t += Ms{10}) {
        m.advance(Ms{10});
        out += m.takeOutput();
    }
    return out;
}

std::string answerWithin(sim::ModuleModel& m, const std::string& bytes, Ms wait)
{
    m.receive(bytes);
    return run(m, wait);
}

// An S1 record: count, address, data, checksum (the ones' complement of their sum).
std::string s1(unsigned address, const std::vector<unsigned>& data)
{
    std::vector<unsigned> bytes = {unsigned(data.size() + 3), (address >> 8) & 0xFF, address & 0xFF};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string line = "S1";
    char hex[3];
    for (unsigned b : bytes) {
        sum += b;
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFF);
    return line + hex;
}

// Three data records, the last one at 0xE003, and the end.
std::vector<std::string> image()
{
    return {s1(0x8000, {1, 2, 3, 4}), s1(0x8004, {5, 6, 7, 8}), s1(0xE003, {9, 10}), "S9030000FC"};
}

} // namespace

// ---------------------------------------------------------------- vantor-boot

TEST(VantorBoot, TheApplicationAnswersItsVersionAndGoesAwayOnBL)
{
    sim::ModuleModel m("vantor-boot");
    auto& v = m.as<VantorBoot>();
    EXPECT_EQ(ask(m, "verA" + CRLF), "Vantor Ver 1.40 SIM\r\n");
    EXPECT_EQ(ask(m, "verB" + CRLF), "ERR verB\r\n") << "the application has no \"Ver\" for verB";
    EXPECT_EQ(ask(m, CRLF), "") << "an empty line is nothing";

    EXPECT_EQ(ask(m, "^BL" + CRLF + "verA" + CRLF), "") << "the rest went with the port";
    EXPECT_EQ(v.usbDrops(), 1);
    EXPECT_TRUE(m.module().linkDropDue()) << "no link while the port is gone";
    m.advance(v.faults().bootTime - Ms{10});
    EXPECT_EQ(ask(m, "verB" + CRLF), "") << "not back yet";
    m.advance(Ms{10});
    EXPECT_FALSE(m.module().linkDropDue());
    EXPECT_EQ(v.mode(), VantorBoot::Mode::Bootloader);
    EXPECT_EQ(ask(m, "verB" + CRLF), "Vantor Boot Ver 1.02\r\n");
    EXPECT_EQ(ask(m, "verA" + CRLF), "?\r\n");
}

TEST(VantorBoot, TheBootloaderTakesRecordsOnlyAfterAnEraseAndRestartsAtTheEnd)
{
    sim::ModuleModel m("vantor-boot");
    auto& v = m.as<VantorBoot>();
    v.setStart(VantorBoot::Start::Bootloader);
    const auto img = image();
    EXPECT_EQ(ask(m, img[0] + CRLF), "-") << "before the erase";
    EXPECT_EQ(answerWithin(m, "^0578" + CRLF, VantorBoot::eraseTime), "ERASING...ERASE OK\r\n");
    EXPECT_EQ(v.erases(), 1);
    EXPECT_EQ(ask(m, "S1050000FF00" + CRLF), "-") << "a wrong checksum";
    EXPECT_EQ(ask(m, std::string(700, 'S') + CRLF), "-") << "a line longer than 600 characters";
    std::string out;
    bool ended = false;
    v.onEnd = [&ended](const VantorBoot&) { ended = true; };
    for (const auto& l : img)
        out += ask(m, l + CRLF);
    EXPECT_EQ(out, "PROGRAM FAIL\r\n") << "records were refused since the erase";
    EXPECT_TRUE(ended);
    EXPECT_EQ(v.image().lines(), img);
    EXPECT_EQ(v.image().text(), img[0] + CRLF + img[1] + CRLF + img[2] + CRLF + img[3] + CRLF);
    EXPECT_EQ(v.image().memory()[0x8005], 6);
    EXPECT_EQ(v.image().memory()[0xE004], 10);
    EXPECT_EQ(v.image().memory()[0x9000], 0xFF);
    EXPECT_FALSE(v.usbPresent()) << "the new program starts";
    run(m, v.faults().restartTime);
    EXPECT_EQ(v.mode(), VantorBoot::Mode::Application);
    EXPECT_EQ(m.takeOutput(), "");
}

TEST(VantorBoot, FaultsOfTheBootloader)
{
    const struct {
        const char* what;
        std::function<void(VantorBoot&)> fault;
        std::string eraseAnswer, endAnswer;
        bool back; // the application returns after the end
    } cases[] = {
        {"none", [](VantorBoot&) {}, "ERASING...ERASE OK\r\n", "PROGRAM OK\r\n", true},
        // After a failed erase every record is refused and the end is never taken.
        {"the erase fails", [](VantorBoot& v) { v.faults().refuseErase = true; }, "ERASING...ERASE FAIL\r\n", "----", true},
        {"no return", [](VantorBoot& v) { v.faults().noReturn = true; }, "ERASING...ERASE OK\r\n", "PROGRAM OK\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ModuleModel m("vantor-boot");
        auto& v = m.as<VantorBoot>();
        v.setStart(VantorBoot::Start::Bootloader);
        c.fault(v);
        EXPECT_EQ(answerWithin(m, "^0578" + CRLF, VantorBoot::eraseTime), c.eraseAnswer);
        std::string out;
        for (const auto& l : image())
            out += ask(m, l + CRLF);
        EXPECT_EQ(out, c.endAnswer);
        run(m, Ms{60000});
        EXPECT_EQ(v.usbPresent(), c.back);
    }
    sim::ModuleModel silent("vantor-boot");
    silent.as<VantorBoot>().setStart(VantorBoot::Start::Silent);
    EXPECT_EQ(answerWithin(silent, "verA" + CRLF + "^BL" + CRLF, Ms{2000}), "");
    EXPECT_TRUE(silent.as<VantorBoot>().usbPresent());
}

TEST(VantorBoot, TavsimsLinksDropWhenThePortGoesAndTheNextSeesTheModuleAsItWas)
{
    auto vantor = std::make_shared<VantorBoot>();
    auto makeLink = sim::vantorUsbLinks(vantor);
    sim::AcuDevice device;
    auto first = makeLink(device);
    first->receive("^BL" + CRLF);
    EXPECT_TRUE(first->linkDropDue());
    auto second = makeLink(device); // tavsim's next pseudo-terminal
    EXPECT_FALSE(second->linkDropDue());
    first.reset();
    // Only the newest link moves the module's time on: two links advanced together count once.
    auto third = makeLink(device);
    for (int i = 0; i < 100; ++i) {
        second->advance(Ms{5});
        third->advance(Ms{5});
    }
    EXPECT_EQ(vantor->now(), Ms{500});
    second.reset();
    for (int i = 0; i < 100; ++i)
        third->advance(Ms{5});
    EXPECT_EQ(vantor->mode(), VantorBoot::Mode::Bootloader);
    third->receive("verB" + CRLF);
    EXPECT_EQ(third->takeOutput(), "Vantor Boot Ver 1.02\r\n");

    auto timed = sim::vantorUsbLinks(std::make_shared<VantorBoot>(), Ms{300})(device);
    timed->advance(Ms{299});
    EXPECT_FALSE(timed->linkDropDue());
    timed->advance(Ms{1});
    EXPECT_TRUE(timed->linkDropDue()) << "--drop-link-after";
}

// ---------------------------------------------------------------- orla-boot

TEST(OrlaBoot, TheVantorsStreamStopsOnDollarUnlessItIsEndless)
{
    const struct {
        const char* what;
        OrlaBoot::Stream stream;
        bool before, after; // streaming before and after "$"
    } cases[] = {
        {"streaming", OrlaBoot::Stream::Streaming, true, false},
        {"quiet", OrlaBoot::Stream::Quiet, false, false},
        {"endless", OrlaBoot::Stream::Endless, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ModuleModel m("orla-boot");
        calm(m);
        m.as<OrlaBoot>().setStream(c.stream);
        const std::string before = run(m, Ms{1000});
        EXPECT_EQ(!before.empty(), c.before);
        if (c.before) {
            EXPECT_EQ(before.rfind("VNT 0001 AZ ", 0), 0u) << before;
        }
        m.receive("$");
        // Each 100 ms of an endless stream holds 25 characters or more.
        for (int i = 0; i < 5; ++i) {
            const std::string window = run(m, Ms{100});
            EXPECT_EQ(window.size() >= 25, c.after) << window;
        }
        m.receive("%");
        EXPECT_FALSE(run(m, Ms{600}).empty()) << "\"%\" starts it";
    }
}

TEST(OrlaBoot, TheBootloaderStartsOnCaretBAndAnswersDollarWithItsMenu)
{
    sim::ModuleModel m("orla-boot");
    auto& o = m.as<OrlaBoot>();
    o.setStream(OrlaBoot::Stream::Quiet);
    EXPECT_EQ(ask(m, "$"), "") << "the application does not answer";
    EXPECT_EQ(ask(m, CR + "^B" + CR), "Orla PCU BootLoader 2.01\r\n");
    const std::string menu = ask(m, "$");
    EXPECT_EQ(menu, "ERASE / LOAD / RUN ?\r\n");
    EXPECT_LT(menu.size(), 25u) << "fewer than 25 characters: not taken for a stream";
    EXPECT_EQ(ask(m, "^B" + CR), "Orla PCU BootLoader 2.01\r\n");
    EXPECT_EQ(ask(m, "HELLO" + CR), "?\r\n");
}

TEST(OrlaBoot, EraseRecordsAndTheCrc)
{
    sim::ModuleModel m("orla-boot");
    auto& o = m.as<OrlaBoot>();
    o.setStream(OrlaBoot::Stream::Quiet);
    o.setStart(OrlaBoot::Start::Bootloader);
    const auto img = image();
    EXPECT_EQ(ask(m, img[0] + CR), "X") << "before the erase";
    EXPECT_EQ(answerWithin(m, "^0578" + CR, OrlaBoot::eraseTime), "Erasing...\r\nOK\r\n");
    std::string echoes;
    for (const auto& l : img)
        echoes += ask(m, l + CR);
    EXPECT_EQ(echoes, "....");
    EXPECT_EQ(run(m, OrlaBoot::crcTime), "CRC is GOOD\r\n");
    EXPECT_EQ(o.image().lines(), img);
    EXPECT_EQ(o.image().memory()[0x8002], 3);
    run(m, OrlaBoot::rebootTime);
    EXPECT_EQ(o.mode(), OrlaBoot::Mode::Application);
}

// ---------------------------------------------------------------- slcd

TEST(SlcdBoot, LinkCheckSizeAndErase)
{
    sim::ModuleModel m("slcd");
    auto& s = m.as<SlcdBoot>();
    const struct {
        std::string sent, answer;
    } lines[] = {
        {"^478" + CR, "SLCD READY\r\n"},
        {"^4791000" + CR, "SIZE 1000\r\n"},
        {"^479" + CR, "ERR ^479\r\n"},
        {"^4790" + CR, "ERR ^4790\r\n"},
        {"^47912x4" + CR, "ERR ^47912x4\r\n"},
        {"^479999999999" + CR, "ERR ^479999999999\r\n"},
        {"^479" + std::to_string(SlcdBoot::maxSize + 1) + CR, "ERR ^479" + std::to_string(SlcdBoot::maxSize + 1) + "\r\n"},
        {"^999" + CR, "ERR ^999\r\n"},
        {std::string(200, 'A') + CR, "ERR \r\n"},
    };
    for (const auto& l : lines)
        EXPECT_EQ(ask(m, l.sent), l.answer) << l.sent;
    EXPECT_EQ(s.announcedSize(), 1000u) << "a refused size leaves the last one";
    m.receive("^378" + CRLF);
    EXPECT_EQ(answerWithin(m, "^478" + CR, SlcdBoot::eraseTime - Ms{10}), "") << "nothing while erasing";
    EXPECT_EQ(run(m, Ms{10}), "*");
    EXPECT_EQ(s.mode(), SlcdBoot::Mode::Receiving);

    sim::ModuleModel refusing("slcd");
    refusing.as<SlcdBoot>().faults().refuseErase = true;
    refusing.as<SlcdBoot>().faults().silentLink = true;
    EXPECT_EQ(ask(refusing, "^478" + CR), "");
    EXPECT_EQ(answerWithin(refusing, "^378" + CRLF, SlcdBoot::eraseTime), "ERASE FAIL\r\n");
    EXPECT_EQ(refusing.as<SlcdBoot>().mode(), SlcdBoot::Mode::Command);
}

TEST(SlcdBoot, EachBlockAndTheLastIsAnsweredThenTheUpdateRuns)
{
    const struct {
        const char* what;
        std::function<void(SlcdBoot&)> fault;
        std::string blockAnswers, update;
    } cases[] = {
        {"completes", [](SlcdBoot&) {}, "***", ".....*"},
        {"hangs at the 2nd block", [](SlcdBoot& s) { s.faults().silentAfterBlock = 2; }, "*", ""},
    };
    std::string bin(300, '\0');
    for (size_t i = 0; i < bin.size(); ++i)
        bin[i] = char(i * 13);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::ModuleModel m("slcd");
        auto& s = m.as<SlcdBoot>();
        c.fault(s);
        ask(m, "^479300" + CR);
        answerWithin(m, "^378" + CRLF, SlcdBoot::eraseTime);
        std::string answers;
        bool imageDone = false;
        s.onImage = [&imageDone](const SlcdBoot&) { imageDone = true; };
        for (size_t at = 0; at < bin.size(); at += 128)
            answers += askByteByByte(m, bin.substr(at, 128));
        EXPECT_EQ(answers, c.blockAnswers);
        EXPECT_EQ(run(m, SlcdBoot::updateTime), c.update);
        EXPECT_EQ(imageDone, c.blockAnswers.size() == 3);
        if (imageDone) {
            EXPECT_EQ(s.image(), bin);
        }
    }
}

// ---------------------------------------------------------------- every module, any input

TEST(VantorModules, AnyBytesInAnyStateNeverBreakThemNorGetIntoTheirImages)
{
    std::mt19937 rng(1234);
    const std::vector<std::string> words = {"verA\r\n", "verB\r\n", "^B\r", "$", "%", "^478\r",
                                            "^479300\r", "S1050000FF00\r", "S1\r", "S9\r"};
    for (const char* name : {"vantor-boot", "orla-boot", "slcd"}) {
        SCOPED_TRACE(name);
        sim::ModuleModel m(name);
        // The bootloaders erased, so that good records are taken among the rest.
        if (std::string(name) == "vantor-boot")
            m.as<VantorBoot>().setStart(VantorBoot::Start::Bootloader);
        if (std::string(name) == "orla-boot")
            m.as<OrlaBoot>().setStart(OrlaBoot::Start::Bootloader);
        run(m, Ms{10});
        m.receive("^0578\r");
        run(m, Ms{2000});
        for (int i = 0; i < 3000; ++i) {
            std::string bytes;
            switch (rng() % 4) {
            case 0: bytes = words[rng() % words.size()]; break;
            case 1: bytes = "\r" + s1(unsigned(rng() % 0xFFF0), {unsigned(rng() & 0xFF), unsigned(rng() & 0xFF)}) + "\r"; break;
            default:
                for (unsigned n = rng() % 40; n > 0; --n)
                    bytes.push_back(char(rng() & 0xFF));
            }
            m.receive(bytes);
            m.advance(Ms{rng() % 700});
            m.takeOutput();
        }
        // Only good records are ever taken; the SLCD takes no more than it was told.
        const sim::RecordImage* img = nullptr;
        if (std::string(name) == "vantor-boot")
            img = &m.as<VantorBoot>().image();
        else if (std::string(name) == "orla-boot")
            img = &m.as<OrlaBoot>().image();
        else if (const std::uint64_t size = m.as<SlcdBoot>().announcedSize()) {
            EXPECT_LE(m.as<SlcdBoot>().image().size(), size);
        }
        if (!img)
            continue;
        EXPECT_GT(img->accepted(), 50) << "good records among the noise are taken";
        for (const auto& line : img->lines()) {
            sim::BootRecord rec;
            EXPECT_EQ(sim::readRecord(line, rec), sim::RecordVerdict::Accepted) << line;
        }
    }
}
