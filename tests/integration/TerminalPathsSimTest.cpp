// korrin's module list against the simulated modules across a real pseudo-terminal and a real
// TCP connection on loopback, on virtual time: each path picked in the window reopens the link
// at the path's speed with the same parity, data and stop bits (the pseudo-terminal's own line
// settings show it), sets the panel height, the settings panel, the buttons and menus, and
// its Status and Module Version buttons send their bytes, which the module answers on screen.
#include "TerminalBench.h"

#include <gtest/gtest.h>

#include <regex>

using namespace kint;

namespace {

struct PathCase {
    const char* menu;
    const char* code;
    const char* module; // the simulated module at the far end
    int baud;
    speed_t speed;
    bool panel;         // panel strip shown (panel height 1600)
    const char* label;
    bool manualVisible; // cmdStart, cmdErase, cmdUpload shown
    bool autoUpload;    // "Auto Upload" enabled (link open)
    bool acuReset;      // "ACU Reset" of Manual Program Upload Tools enabled
    bool dumps;         // "ACU Param Dump" enabled
    bool vantorComms;   // toolbar "CheckSum" / "ChkOff" enabled
    bool onOff;         // "(On/Off)" label shown
    std::string status; // bytes the Status button sends
    std::string statusAnswer;  // what the screen gains (a pattern)
    std::string version;       // bytes the Module Version button sends
    std::string versionAnswer; // what the screen gains (a pattern)
};

const std::string kPrompt = R"(\r\n>)";
const std::string kAcuStatus = R"(S[\x40-\x7f]{4}L\d{4} [\x40-\x7f]{2})";
const std::string kPcuWords = R"(S[\x40-\x7f]{4})";
const std::string kDvbVersion = "wV   \r\nw!   \r\n";

// clang-format off
const std::vector<PathCase> kPaths = {
 // menu          code       module          baud  speed  panel  label                                  manual auto   acuRst dumps  vantor onOff
 {"mnuData",    "DATA",    "echo",          9600, B9600, false, "   DATA Terminal mode",               true,  false, false, true,  false, false,
  "AT$QCSTATUS\r\n", R"(AT\$QCSTATUS)" + kPrompt,  ESC + "V", R"(\x1bV)"},
 {"mnuQM7000",  "QM7000",  "echo",          9600, B9600, false, "    QM-7000 Direct",                  true,  false, false, true,  false, true,
  "AT$QCSTATUS\r\n", R"(AT\$QCSTATUS)" + kPrompt,  ESC + "V", R"(\x1bV)"},
 {"mnuCPCU",    "CPCU",    "pcu-panel",     9600, B9600, true,  "   Brine PCU Direct",                 true,  false, false, true,  false, false,
  ESC + "S", kPcuWords + R"(\r\n)",                 ESC + "V", R"(PANEL PCU VER 1\.05 SIM\r\n)"},
 {"mnuCPdvb",   "CPDVB",   "pcu-panel",     9600, B9600, true,  "   Brine PCU to DVB",                 true,  false, false, true,  false, false,
  "w!   \r\n", R"(\r\nDVB VER 1\.07 SIM\r\n)",     kDvbVersion, R"(DVB VER 1\.07 SIM\r\n)"},
 {"mnuCpanel",  "CPanel",  "pcu-panel",     9600, B9600, true,  "  Brine PCU to Panel",                true,  false, false, true,  false, false,
  ESC + "S", kPcuWords + R"(\r\n)",                 ESC + "V", R"(PANEL PCU VER 1\.05 SIM\r\n)"},
 {"mnuDpanel",  "DiSEqC",  "pcu-panel",     9600, B9600, true,  "  DiSEqC Panel / Switch",             true,  false, false, true,  false, false,
  ESC + "S", kPcuWords + R"(\r\n)",                 ESC + "V", R"(PANEL PCU VER 1\.05 SIM\r\n)"},
 {"mnuOrlaPCU", "OrlaPCU", "vantor",        9600, B9600, false, "  Orla PCU via Vantor",               false, true,  false, true,  true,  false,
  "$\r\n", R"((VNT .*\r\n)*VANTOR STATUS OK STREAM OFF\r\n)", "V\r\n", R"(VANTOR APP VER 1\.40 SIM\r\n)"},
 {"mnuTAVa",    "TAVa",    "acu-terminal",  4800, B4800, false, "   TAV-07 Translation ACU",           false, true,  false, true,  false, false,
  ESC + "S", kAcuStatus + kPrompt,                 ESC + "V", R"(TAV ACU VER 4\.20 SIM)" + kPrompt},
 {"mnuTAVp",    "TAVp",    "acu-terminal",  4800, B4800, false, "   TAV-07 Translation PCU",           false, true,  true,  true,  false, false,
  "?S\r\n", kPcuWords + kPrompt,                    "?V\r\n", R"(PCU VER 2\.31 SIM)" + kPrompt},
 {"mnuTAVd",    "TAVd",    "acu-terminal",  4800, B4800, false, "   TAV-07 Translation DVB",           true,  false, true,  true,  false, false,
  "w!   \r\n", R"(\r\nDVB VER 1\.07 SIM)" + kPrompt, kDvbVersion, R"(DVB VER 1\.07 SIM)" + kPrompt},
 {"mnuTAV8a",   "TAV8a",   "acu-terminal",  9600, B9600, false, "   TAV 8K Translation ACU",           false, true,  false, true,  false, false,
  ESC + "S", kAcuStatus + kPrompt,                 ESC + "V", R"(TAV ACU VER 4\.20 SIM)" + kPrompt},
 {"mnuTAV8p",   "TAV8p",   "acu-terminal",  9600, B9600, false, "   TAV 8K Translation PCU",           false, true,  true,  true,  false, false,
  "?S\r\n", kPcuWords + kPrompt,                    "?V\r\n", R"(PCU VER 2\.31 SIM)" + kPrompt},
 {"mnuTAV8d",   "TAV8d",   "acu-terminal",  9600, B9600, false, "   TAV 8K Translation DVB",           true,  false, true,  true,  false, false,
  "w!   \r\n", R"(\r\nDVB VER 1\.07 SIM)" + kPrompt, kDvbVersion, R"(DVB VER 1\.07 SIM)" + kPrompt},
 {"mnuTAV8m1",  "TAV8m1",  "modem",         9600, B9600, false, "   TAV 8K Translation BDE Modem",     true,  false, true,  true,  false, false,
  "<0000\r\n", R"(BDE STATUS 0000 OK)" + kPrompt,   "<0411\r\n", R"(BDE VER 3\.30 SIM)" + kPrompt},
 {"mnuTAV8m2",  "TAV8m2",  "modem",         9600, B9600, false, "   TAV 8K Translation ADE Modem",     true,  false, true,  true,  false, false,
  ">0000\r\n", R"(ADE STATUS 0000 OK)" + kPrompt,   ">0411\r\n", R"(ADE VER 3\.30 SIM)" + kPrompt},
 {"mnuTAV8mdb", "TAV8mdb", "mde",           9600, B9600, false, "   TAV 8K Translation Motor Driver",  false, true,  true,  true,  false, false,
  "]6000\r\n", R"(MDE STATUS 0000 OK)" + kPrompt,   "]0411\r\n", R"(MDE VER 1\.12 SIM)" + kPrompt},
 {"mnuSPG2pcu", "SPG2pcu", "acu-terminal",  9600, B9600, false, "   PCU update via Service Port",      true,  true,  false, false, false, false,
  ESC + "S", kAcuStatus + kPrompt,                 ESC + "V", R"(TAV ACU VER 4\.20 SIM)" + kPrompt},
 {"mnuUSBpcu",  "USBpcu",  "acu-terminal",  9600, B9600, false, "   PCU update via USB",               false, true,  false, false, false, false,
  ESC + "S", kAcuStatus + kPrompt,                 "?V\r\n", R"(PCU VER 2\.31 SIM)" + kPrompt},
 {"mnuUSBmdb",  "USBmdb",  "mde",           9600, B9600, false, "   MDB update via USB",               false, true,  false, true,  false, false,
  "]6000\r\n", R"(MDE STATUS 0000 OK)" + kPrompt,   "*\r\n", R"(MDE VER 1\.12 SIM)" + kPrompt},
 {"mnuVantor",  "Vantor",  "vantor",        9600, B9600, false, "  Vantor update via USB",             false, true,  false, true,  false, false,
  "", R"((VNT .*\r\n)*)",                           "verA\r", R"((VNT .*\r\n)*VANTOR APP VER 1\.40 SIM\r\n(VNT .*\r\n)*)"},
 {"mnuSLCD",    "SLCD",    "echo",          9600, B9600, false, "  SLCD update via USB",               false, true,  false, true,  false, false,
  ESC + "S", R"(\x1bS)",                            ESC + "V", R"(\x1bV)"},
};
// clang-format on

struct PathParam {
    size_t row;
    TerminalBench::Kind kind;
};

void PrintTo(const PathParam& p, std::ostream* os) { *os << kPaths[p.row].menu << " over " << kindName(p.kind); }

class ModulePathOverLink : public ::testing::TestWithParam<PathParam> {};

std::vector<PathParam> allPaths()
{
    std::vector<PathParam> v;
    for (size_t i = 0; i < kPaths.size(); ++i)
        for (auto k : {TerminalBench::Kind::Pty, TerminalBench::Kind::Tcp})
            v.push_back({i, k});
    return v;
}

bool matches(const std::string& text, const std::string& pattern)
{
    return std::regex_match(text, std::regex(pattern));
}

std::string printable(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 32 || c > 126) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else
            out += char(c);
    }
    return out;
}

} // namespace

TEST_P(ModulePathOverLink, PickingThePathReopensAtItsSpeedAndItsStatusAndVersionAreAnswered)
{
    const PathCase& c = kPaths[GetParam().row];
    BenchSetup s;
    s.module = c.module;
    s.direct = "DATA";
    // Not the usual line format, so a path that kept only the speed would show. A
    // pseudo-terminal always carries 8 bits without parity, so there only the stop bits differ.
    const bool pty = GetParam().kind == TerminalBench::Kind::Pty;
    const std::string format = pty ? "N,8,2" : "E,7,2";
    s.settings = "9600," + format;
    TerminalBench b(GetParam().kind, s);
    ASSERT_TRUE(b.ready());
    b.start();
    ASSERT_TRUE(b.t().linkOpen()) << (b.boxes.empty() ? "" : b.boxes[0].text);
    ASSERT_EQ(b.linksMade, 1);

    ASSERT_TRUE(b.trigger(c.menu));
    ASSERT_FALSE(b.stalled);
    // The link was closed and opened again with the path's speed and the same line format.
    const std::string settings = std::to_string(c.baud) + "," + format;
    EXPECT_TRUE(b.t().linkOpen());
    EXPECT_EQ(b.linksMade, 2) << "a new link for the new speed";
    EXPECT_EQ(b.t().settings, settings);
    EXPECT_EQ(b.store->get("Properties", "Settings", ""), settings);
    EXPECT_EQ(b.store->get("Properties", "Direct", ""), c.code);
    if (b.kind() == TerminalBench::Kind::Pty) {
        const termios tio = b.lineSettings();
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_TRUE(tio.c_cflag & CSTOPB);
        EXPECT_EQ(b.statusPanel("Settings")->text().toStdString(),
                  "Settings: Com1: " + settings + ", Echo Off  " + c.label);
    } else {
        EXPECT_EQ(b.statusPanel("Settings")->text().toStdString(),
                  "Settings: IP 127.0.0.1 : " + std::to_string(b.device.server.serverPort()) + ", Echo Off  " + c.label);
    }

    // Panel height, menus and buttons.
    EXPECT_EQ(b.t().nOffset, c.panel ? 1600 : 800);
    EXPECT_EQ(b.w->findChild<QWidget*>("fraPanel")->isVisible(), c.panel);
    int checked = 0;
    for (const auto& row : term::modulePathTable()) {
        QAction* a = b.action(row.menu);
        ASSERT_NE(a, nullptr) << row.menu;
        checked += a->isChecked();
        EXPECT_EQ(a->isChecked(), std::string(row.menu) == c.menu) << row.menu;
    }
    EXPECT_EQ(checked, 1);
    for (const char* name : {"cmdStart", "cmdErase", "cmdUpload"}) {
        EXPECT_EQ(b.button(name)->isVisible(), c.manualVisible) << name;
        EXPECT_TRUE(b.button(name)->isEnabled()) << name;
    }
    EXPECT_EQ(b.button("cmdAUpload")->isEnabled(), c.autoUpload);
    EXPECT_EQ(b.action("mnuSaveReset_2")->isEnabled(), c.acuReset) << "ACU Reset of Manual Program Upload Tools";
    EXPECT_EQ(b.action("mnuACUDump")->isEnabled(), c.dumps);
    EXPECT_EQ(b.action("CheckSum")->isEnabled(), c.vantorComms);
    EXPECT_EQ(b.action("ChkOff")->isEnabled(), c.vantorComms);
    EXPECT_EQ(b.w->findChild<QWidget*>("lblOnOff")->isVisible(), c.onOff);
    EXPECT_FALSE(b.action("mnuRem")->isEnabled());
    for (const char* name : {"Status", "ModVer", "SendGPS", "SendHDG"})
        EXPECT_TRUE(b.action(name)->isEnabled()) << name;
    EXPECT_TRUE(b.action("mnuOpen")->isChecked());

    // Status: the bytes, and the module's answer on the screen.
    auto mark = b.t().screen.mark();
    size_t before = b.crossed.size();
    ASSERT_TRUE(b.trigger("Status"));
    b.clock.advance(Ms{100});
    ASSERT_FALSE(b.stalled);
    EXPECT_EQ(printable(b.crossed.substr(before)), printable(c.status));
    std::string answer = b.t().screen.since(mark);
    EXPECT_TRUE(matches(answer, c.statusAnswer)) << printable(answer) << "  /  " << c.statusAnswer;

    // Module Version likewise.
    mark = b.t().screen.mark();
    before = b.crossed.size();
    ASSERT_TRUE(b.trigger("ModVer"));
    b.clock.advance(Ms{100});
    ASSERT_FALSE(b.stalled);
    EXPECT_EQ(printable(b.crossed.substr(before)), printable(c.version));
    answer = b.t().screen.since(mark);
    EXPECT_TRUE(matches(answer, c.versionAnswer)) << printable(answer) << "  /  " << c.versionAnswer;
    EXPECT_TRUE(b.boxes.empty()) << b.boxes[0].text;
}

// A few paths of each group, picked while the link is closed.
class ModulePathPickedClosed : public ::testing::TestWithParam<PathParam> {};

std::vector<PathParam> somePaths()
{
    std::vector<PathParam> v;
    for (size_t i = 0; i < kPaths.size(); ++i) {
        const std::string m = kPaths[i].menu;
        if (m == "mnuCPCU" || m == "mnuTAVa" || m == "mnuTAV8m1" || m == "mnuVantor")
            for (auto k : {TerminalBench::Kind::Pty, TerminalBench::Kind::Tcp})
                v.push_back({i, k});
    }
    return v;
}

TEST_P(ModulePathPickedClosed, TheSpeedIsStoredAndTakenAtTheNextOpen)
{
    const PathCase& c = kPaths[GetParam().row];
    BenchSetup s;
    s.module = c.module;
    const bool pty = GetParam().kind == TerminalBench::Kind::Pty;
    const std::string format = pty ? "N,8,2" : "O,7,1";
    s.settings = "9600," + format;
    TerminalBench b(GetParam().kind, s);
    ASSERT_TRUE(b.ready());
    b.start();
    ASSERT_TRUE(b.trigger("mnuOpen")); // close
    ASSERT_FALSE(b.t().linkOpen());
    const size_t before = b.crossed.size();
    ASSERT_TRUE(b.trigger(c.menu));
    EXPECT_FALSE(b.t().linkOpen()) << "a closed link stays closed";
    EXPECT_EQ(b.linksMade, 1);
    const std::string settings = std::to_string(c.baud) + "," + format;
    EXPECT_EQ(b.store->get("Properties", "Settings", ""), settings);
    EXPECT_EQ(b.store->get("Properties", "Direct", ""), c.code);
    EXPECT_EQ(b.statusPanel("Settings")->text().toStdString(), "Settings: ");
    // The toolbar's Status is disabled; asked anyway, it warns (where it sends anything) and
    // nothing crosses.
    ASSERT_FALSE(b.action("Status")->isEnabled());
    b.w->modulePaths().QueryModuleStatus();
    b.clock.advance(Ms{10});
    EXPECT_EQ(b.crossed.size(), before);
    ASSERT_EQ(b.boxes.size(), c.status.empty() ? 0u : 1u);
    if (!c.status.empty()) {
        EXPECT_EQ(b.boxes[0].text,
                  "Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect.");
    }
    // Opened: the port takes the path's speed, and Status goes out.
    ASSERT_TRUE(b.trigger("mnuOpen"));
    ASSERT_TRUE(b.t().linkOpen());
    EXPECT_EQ(b.linksMade, 2);
    if (b.kind() == TerminalBench::Kind::Pty) {
        const termios tio = b.lineSettings();
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_TRUE(tio.c_cflag & CSTOPB);
    }
    const size_t reopened = b.crossed.size();
    ASSERT_TRUE(b.trigger("Status"));
    EXPECT_EQ(printable(b.crossed.substr(reopened)), printable(c.status));
}

INSTANTIATE_TEST_SUITE_P(Paths, ModulePathPickedClosed, ::testing::ValuesIn(somePaths()), [](const auto& info) {
    std::string name = kPaths[info.param.row].menu;
    return name.substr(3) + "_" + kindName(info.param.kind);
});

INSTANTIATE_TEST_SUITE_P(Paths, ModulePathOverLink, ::testing::ValuesIn(allPaths()), [](const auto& info) {
    std::string name = kPaths[info.param.row].menu;
    return name.substr(3) + "_" + kindName(info.param.kind);
});
