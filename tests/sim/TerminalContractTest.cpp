// The simulated modules against the programming terminal's own tables and decoder: every
// Tools-menu command, as the terminal's command table spells it, reaches a module that
// answers it, and the panel PCU's frames fill the terminal decoder's display fields.
#include "ModuleTestUtil.h"

#include "sim/Vantor.h"
#include "terminal/core/ModuleCommands.h"
#include "terminal/core/TerminalScreen.h"

#include <gtest/gtest.h>

#include <map>

using namespace simtest;
using term::ModuleCommand;

namespace {

// The terminal's line-end normalisation on every path but the data terminal.
std::string normalised(const std::string& chunk)
{
    std::string text;
    for (char c : chunk) {
        if (c == '\n')
            continue;
        text.push_back(c);
        if (c == '\r')
            text.push_back('\n');
    }
    return text;
}

struct Expected {
    const char* module;
    std::string answer; // to the entry's bytes, the second line's included
};

const std::string P = "\r\n>";

const std::map<ModuleCommand, Expected> kExpected = {
    {ModuleCommand::ACUVersion, {"acu-terminal", "TAV ACU VER 4.20 SIM" + P}},
    {ModuleCommand::ACUParamDump, {"acu-terminal", "[?A  " + P}},
    {ModuleCommand::PCUVersion, {"acu-terminal", "PCU VER 2.31 SIM" + P}},
    {ModuleCommand::CommIFVersion, {"acu-terminal", "COMM IF VER 2.02 SIM" + P}},
    {ModuleCommand::CommIFLockPorts, {"acu-terminal", "[L" + P}},
    {ModuleCommand::CommIFParamDump, {"acu-terminal", "[?" + P}},
    {ModuleCommand::DVBVersion, {"acu-terminal", "DVB VER 1.07 SIM" + P}},
    {ModuleCommand::BDEVersion, {"modem", "BDE VER 3.30 SIM" + P}},
    {ModuleCommand::BDEStatus, {"modem", "BDE STATUS 0000 OK" + P}},
    {ModuleCommand::BDETemperature, {"modem", "BDE TEMP +41.5C" + P}},
    {ModuleCommand::BDESerialNumber, {"modem", "BDE SN 20417733" + P}},
    {ModuleCommand::ADEVersion, {"modem", "ADE VER 3.30 SIM" + P}},
    {ModuleCommand::ADEStatus, {"modem", "ADE STATUS 0000 OK" + P}},
    {ModuleCommand::ADETemperature, {"modem", "ADE TEMP +38.0C" + P}},
    {ModuleCommand::ADESerialNumber, {"modem", "ADE SN 20417734" + P}},
    {ModuleCommand::MDEVersion, {"mde", "MDE VER 1.12 SIM" + P}},
    {ModuleCommand::MDEStatus, {"mde", "MDE STATUS 0000 OK" + P}},
    {ModuleCommand::MDETemperature, {"mde", "MDE TEMP +45.0C" + P}},
    {ModuleCommand::MDERelativeUSB, {"mde", "MDE RELATIVE USB ON" + P}},
    {ModuleCommand::VantorCommsOn, {"vantor", ""}},
    {ModuleCommand::VantorCommsOff, {"vantor", ""}},
};

} // namespace

TEST(TerminalContract, EveryToolsCommandOfTheTerminalIsAnswered)
{
    ASSERT_EQ(kExpected.size(), term::moduleCommandTable().size()) << "a command of the terminal without a module";
    for (const auto& row : term::moduleCommandTable()) {
        SCOPED_TRACE(row.caption);
        const auto it = kExpected.find(row.id);
        ASSERT_NE(it, kExpected.end());
        sim::ModuleModel m(it->second.module);
        std::string out = ask(m, row.first);
        if (row.second)
            out += ask(m, row.second);
        EXPECT_EQ(out, it->second.answer);
        // The modem and motor driver commands pass through the ACU on the translation paths.
        if (it->second.module == std::string("modem") || it->second.module == std::string("mde")) {
            sim::ModuleModel acu("acu-terminal");
            EXPECT_EQ(ask(acu, row.first), it->second.answer) << "through the ACU";
        }
    }
}

TEST(TerminalContract, VantorCommsOffAndOnSwitchTheStream)
{
    sim::ModuleModel m("vantor");
    ask(m, term::moduleCommandRow(ModuleCommand::VantorCommsOff).first);
    EXPECT_FALSE(m.as<sim::Vantor>().streaming());
    ask(m, term::moduleCommandRow(ModuleCommand::VantorCommsOn).first);
    EXPECT_TRUE(m.as<sim::Vantor>().streaming());
}

TEST(TerminalContract, PanelFramesFillTheTerminalDecodersFields)
{
    sim::ModuleModel m("pcu-panel");
    calm(m);
    m.device().placeAntenna(2345, 678);
    m.device().setTracking(true);
    std::string stream;
    for (int i = 0; i < 100; ++i) {
        m.advance(sim::Ms{10});
        stream += m.takeOutput();
    }
    stream += ask(m, ESC + "V");
    ASSERT_FALSE(stream.empty());
    // Cut into chunks of every size from 1 to 40, as a serial port may deliver them.
    for (std::size_t size = 1; size <= 40; ++size) {
        SCOPED_TRACE(size);
        term::DisplayCodeDecoder decoder;
        term::PanelFields fields;
        std::string screen;
        for (std::size_t at = 0; at < stream.size(); at += size)
            screen += decoder.feed(normalised(stream.substr(at, size)), fields);
        EXPECT_EQ(fields.line1.substr(0, 3), "AZ ");
        EXPECT_EQ(fields.line2.substr(0, 4), "AGC ");
        EXPECT_EQ(fields.line3.size(), 2u);
        EXPECT_EQ(fields.line4, "0080");
        EXPECT_EQ(fields.line6U, "");
        EXPECT_EQ(fields.line6T, "TRACKING");
        EXPECT_EQ(screen, "PANEL PCU VER 1.05 SIM\r\n") << "only the answer reaches the screen";
        if (::testing::Test::HasFailure())
            break;
    }
}
