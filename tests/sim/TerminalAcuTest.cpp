// The ACU on the terminal's ACU paths: the ESC commands, the PCU, DVB, modem and motor
// driver commands passed through it, the factory defaults with their two "W", and the
// position and heading sentences.
#include "ModuleTestUtil.h"
#include "ReplyChecks.h"

#include "sim/TerminalAcu.h"

#include <gtest/gtest.h>

#include <vector>

using namespace simtest;
using sim::Received;

namespace {

const std::string P = "\r\n>"; // every answer ends with CR LF and the prompt

// The factory default parameter lines, in the order the terminal sends them.
const std::vector<std::string> kFactoryLines = {
    "mA000", "mB001", "mC000", "mD002", "mF100", "X0000", "X0000", "mG000", "Y0000",
    "Y0000", "mH000", "mJ010", "mK100", "mL030", "mM000", "mN077", "mO002", "mP009",
    "mQ030", "mR090", "mS000", "mT000", "mU000", "mV000", "mW002", "mb001", "mc125",
    "md078", "me004", "mf197", "mg087", "T1010", "c1047", "d5000", "mu002", "t0000"};

// The part of a parameter answer after the lead and the code ("mN077" -> "077").
std::string value(const std::string& answer)
{
    return answer.size() > 2 ? answer.substr(2, answer.size() - 2 - P.size()) : answer;
}

} // namespace

TEST(TerminalAcu, AnswersEachCommandOfTheTerminalMenusExactly)
{
    const struct {
        std::string sent;
        std::string want;
    } cases[] = {
        // The ACU itself.
        {ESC + "V", "TAV ACU VER 4.20 SIM" + P},
        {ESC + "\\0087\r\n", "\\0087" + P},
        {ESC + "[V   \r\n", "COMM IF VER 2.02 SIM" + P},
        {"[L\r\n", "[L" + P},
        {ESC + "[?\r\n", "[?" + P},
        {"[W   \r\n", "[W   " + P},
        {"[Z   \r\n", "[Z   " + P},
        {"W", "W" + P},
        // The PCU behind it.
        {ESC + "?V\r\n", "PCU VER 2.31 SIM" + P},
        {"?V\r\n", "PCU VER 2.31 SIM" + P},
        {ESC + "^0087\r\n", "^0087" + P},
        // The DVB receiver: the version request gets no answer, "w!" brings it.
        {"wV   \r\n", ""},
        {"w!   \r\n", "DVB VER 1.07 SIM" + P},
        {"wV   \r\nw!   \r\n", "DVB VER 1.07 SIM" + P},
        {"wS9  \r\n", "wS9  " + P},
        // The modems.
        {"<0411\r\n", "BDE VER 3.30 SIM" + P},
        {"<0000\r\n", "BDE STATUS 0000 OK" + P},
        {"<0273\r\n", "BDE TEMP +41.5C" + P},
        {"<1234\r\n", "BDE SN 20417733" + P},
        {">0411\r\n", "ADE VER 3.30 SIM" + P},
        {">0000\r\n", "ADE STATUS 0000 OK" + P},
        {">0273\r\n", "ADE TEMP +38.0C" + P},
        {">1234\r\n", "ADE SN 20417734" + P},
        // The motor driver.
        {"]0411\r\n", "MDE VER 1.12 SIM" + P},
        {"]6000\r\n", "MDE STATUS 0000 OK" + P},
        {"]0273\r\n", "MDE TEMP +45.0C" + P},
        {"]6008\r\n", "MDE RELATIVE USB ON" + P},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        sim::ModuleModel m("acu-terminal");
        calm(m);
        EXPECT_EQ(ask(m, c.sent), c.want);
        sim::ModuleModel slow("acu-terminal");
        calm(slow);
        EXPECT_EQ(askByteByByte(slow, c.sent), c.want) << "one byte at a time";
    }
}

TEST(TerminalAcu, StatusIsTheAcuStatusLineWithThePrompt)
{
    sim::ModuleModel m("acu-terminal");
    calm(m);
    const std::string out = ask(m, ESC + "S");
    ASSERT_GE(out.size(), P.size());
    EXPECT_EQ(out.substr(out.size() - P.size()), P);
    const std::string line = out.substr(0, out.size() - P.size());
    EXPECT_TRUE(statusReplyValid(line)) << line;
    // On target and tracking at start: ACU word 1 tracking, word 2 valid heading and on target.
    EXPECT_EQ(flagBits(at(line, 2)), 8u) << line;
    EXPECT_EQ(flagBits(at(line, 3)), 32u | 16u | 8u) << line;
    EXPECT_EQ(flagBits(at(line, 4)), 0u) << "no errors: " << line;
}

TEST(TerminalAcu, RecordsWhatItReceivedWithTheEscMarks)
{
    sim::ModuleModel m("acu-terminal");
    ask(m, ESC + "S" + ESC + "\\0090\r\n" + "?S\r\n" + "W" + "S9\r\n" + ESC + "[?A  \r\n");
    const std::vector<Received> want = {
        Received::byte('S', true), Received::line("\\0090", true), Received::line("?S"),
        Received::byte('W'),       Received::byte('S'),            Received::line("[?A  ", true),
    };
    EXPECT_EQ(std::vector<Received>(m.module().received().begin(), m.module().received().end()), want);
}

TEST(TerminalAcu, FactoryDefaultsAreAnsweredLineByLineAndKeptByTheWrite)
{
    sim::ModuleModel m("acu-terminal");
    calm(m);
    auto& acu = m.as<sim::TerminalAcu>();
    std::vector<std::string> answers;
    for (const auto& line : kFactoryLines) {
        answers.push_back(ask(m, line + "\r\n"));
        m.advance(sim::Ms{200}); // the terminal's pause between lines
    }
    ASSERT_EQ(answers.size(), 36u);
    for (std::size_t i = 0; i < kFactoryLines.size(); ++i) {
        SCOPED_TRACE(kFactoryLines[i]);
        if (kFactoryLines[i] == "c1047") {
            // Tuning answers the level found there: "cL" and four digits.
            EXPECT_EQ(answers[i].substr(0, 2), "cL");
            EXPECT_TRUE(isDigits(answers[i].substr(2, 4), 4)) << answers[i];
            EXPECT_EQ(answers[i].substr(6), P);
        } else {
            // Parameter writes read back the value written; the other set commands their text.
            EXPECT_EQ(answers[i], kFactoryLines[i] + P);
        }
    }
    EXPECT_EQ(ask(m, "W"), "W" + P);
    m.advance(sim::Ms{1000});
    EXPECT_EQ(ask(m, "W"), "W" + P);
    EXPECT_EQ(acu.writes(), 2);
    EXPECT_EQ(m.module().received().size(), 38u) << "36 lines and two W";

    // The write kept the new values: a restart brings them back, not the old ones.
    ask(m, "mN123\r\n");
    EXPECT_EQ(ask(m, ESC + "\\0090\r\n"), "\\0090" + P);
    EXPECT_EQ(value(ask(m, "mN999\r\n")), "077");
    EXPECT_EQ(value(ask(m, "mW999\r\n")), "002");
    EXPECT_EQ(value(ask(m, "mb999\r\n")), "001");
    EXPECT_EQ(value(ask(m, "mc999\r\n")), "125");
    EXPECT_EQ(value(ask(m, "mg999\r\n")), "087");
    EXPECT_EQ(ask(m, "@"), "@N0381W1221" + P) << "position from the defaults: 38.1 N 122.1 W";
}

TEST(TerminalAcu, WithoutTheWriteARestartForgetsTheFactoryValues)
{
    sim::ModuleModel m("acu-terminal");
    for (const auto& line : kFactoryLines)
        ask(m, line + "\r\n");
    EXPECT_EQ(value(ask(m, "mN999\r\n")), "077");
    ask(m, ESC + "\\0090\r\n");
    EXPECT_EQ(value(ask(m, "mN999\r\n")), "065") << "the value saved before the defaults";
}

TEST(TerminalAcu, WInsideALineIsPartOfTheLine)
{
    sim::ModuleModel m("acu-terminal");
    EXPECT_EQ(ask(m, "mW001\r\n"), "mW001" + P);
    EXPECT_EQ(m.as<sim::TerminalAcu>().writes(), 0);
}

TEST(TerminalAcu, PositionAndHeadingSentencesAreCheckedAndUsed)
{
    sim::ModuleModel m("acu-terminal");
    calm(m);
    auto& acu = m.as<sim::TerminalAcu>();
    // The terminal's GPS sentence (no checksum), then "@".
    const std::string gps = "$GPGLL,3746.000,N,12213.000,W,0,00000,A";
    EXPECT_EQ(ask(m, gps + "\r\n"), gps + P);
    EXPECT_EQ(ask(m, "@"), "@N0378W1222" + P);
    // A heading sentence from a sender that always writes "*00": recorded as bad, still used.
    const std::string hdg = "$HDHDT,123.4,T*00";
    EXPECT_EQ(ask(m, hdg + "\r\n"), hdg + P);
    const std::string h = ask(m, "H");
    EXPECT_EQ(field(h, 8, 4), "1234") << h;
    // A sentence with a right checksum.
    EXPECT_EQ(ask(m, "$HDHDT,274.1,T*2E\r\n"), "$HDHDT,274.1,T*2E" + P);
    EXPECT_EQ(field(ask(m, "H"), 8, 4), "2741");

    EXPECT_EQ(acu.nmea().count(sim::NmeaChecksum::Absent), 1);
    EXPECT_EQ(acu.nmea().count(sim::NmeaChecksum::Bad), 1);
    EXPECT_EQ(acu.nmea().count(sim::NmeaChecksum::Good), 1);
    ASSERT_EQ(acu.nmea().sentences().size(), 3u);
    EXPECT_EQ(acu.nmea().sentences()[1].sentence, hdg);
}

TEST(TerminalAcu, StrictNmeaRefusesABadChecksum)
{
    sim::ModuleModel m("acu-terminal");
    calm(m);
    m.as<sim::TerminalAcu>().nmea().setStrict(true);
    const std::string before = field(ask(m, "H"), 8, 4);
    EXPECT_EQ(ask(m, "$HDHDT,123.4,T*00\r\n"), "ERR $HDHDT,123.4,T*00" + P);
    EXPECT_EQ(field(ask(m, "H"), 8, 4), before) << "heading unchanged";
    EXPECT_EQ(ask(m, "$HDHDT,274.1,T*2E\r\n"), "$HDHDT,274.1,T*2E" + P);
    EXPECT_EQ(field(ask(m, "H"), 8, 4), "2741");
}

TEST(TerminalAcu, ModemAndMotorDriverFaultsShowInTheirAnswers)
{
    sim::ModuleModel m("acu-terminal");
    auto& acu = m.as<sim::TerminalAcu>();
    acu.bde().setStatusWord(0x0104);
    acu.ade().setTemperature(-50);
    acu.mde().setStatusWord(2);
    EXPECT_EQ(ask(m, "<0000\r\n"), "BDE STATUS 0104 FAULT" + P);
    EXPECT_EQ(ask(m, ">0273\r\n"), "ADE TEMP -05.0C" + P);
    EXPECT_EQ(ask(m, "]6000\r\n"), "MDE STATUS 0002 FAULT" + P);
    EXPECT_FALSE(acu.mde().relativeUsb());
    ask(m, "]6008\r\n");
    EXPECT_TRUE(acu.mde().relativeUsb());
}
