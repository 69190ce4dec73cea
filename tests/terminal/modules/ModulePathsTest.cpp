// The module list: one row per path with everything the choice decides, checked against the
// module list as the technician sees it and against the bytes that go out.
#include "ModuleFixture.h"

#include <array>

namespace modtest {
namespace {

using term::ModulePath;

const std::string CRLF = "\r\n";
const std::vector<std::string> kDvbVersion = {"wV   \r\n", "w!   \r\n"};

struct PathCase {
    ModulePath path;
    const char* menu;
    const char* caption;
    const char* code;
    int baud;
    int nOffset;
    const char* label;
    int group;       // menu group between separators
    bool network;    // TCP/IP allowed
    bool autoUpload; // manual upload buttons hidden
    bool aUpload;    // "Auto Upload" enabled while the link is open
    bool acuReset;   // "ACU Reset" of Manual Program Upload Tools enabled
    bool dumps;      // "ACU Param Dump" and "PCU Param Dump" enabled
    bool onOff;      // "(On/Off)" label shown
    std::vector<std::string> status;
    bool statusLineBreak; // a line break appears on the screen before the status query
    std::vector<std::string> version;
};

// clang-format off
const std::vector<PathCase> kPaths = {
 //  path                 menu          caption                                  code       baud  nOff  label                                  grp net   auto   aUpl   acuRst dumps  onOff  status                     brk    version
 {ModulePath::Data,    "mnuData",    "Data Terminal               (9600)",   "DATA",    9600,  800, "   DATA Terminal mode",                0, false, false, false, false, true,  false, {"AT$QCSTATUS" + CRLF}, false, {ESC + "V"}},
 {ModulePath::QM7000,  "mnuQM7000",  "QM-7000 Direct            (9600)",     "QM7000",  9600,  800, "    QM-7000 Direct",                   0, false, false, false, false, true,  true,  {"AT$QCSTATUS" + CRLF}, false, {ESC + "V"}},
 {ModulePath::CPCU,    "mnuCPCU",    "Brine PCU Direct       (9600)",        "CPCU",    9600, 1600, "   Brine PCU Direct",                  0, false, false, false, false, true,  false, {ESC + "S"},            false, {ESC + "V"}},
 {ModulePath::CPdvb,   "mnuCPdvb",   "Brine PCU to DVB      (9600)",         "CPDVB",   9600, 1600, "   Brine PCU to DVB",                  0, false, false, false, false, true,  false, {"w!   " + CRLF},       true,  kDvbVersion},
 {ModulePath::Cpanel,  "mnuCpanel",  "Brine PCU to Panel    (9600)",         "CPanel",  9600, 1600, "  Brine PCU to Panel",                 0, false, false, false, false, true,  false, {ESC + "S"},            false, {ESC + "V"}},
 {ModulePath::Dpanel,  "mnuDpanel",  "DiSEqC ACP / Switch     (9600)",       "DiSEqC",  9600, 1600, "  DiSEqC Panel / Switch",              0, false, false, false, false, true,  false, {ESC + "S"},            false, {ESC + "V"}},
 {ModulePath::OrlaPCU, "mnuOrlaPCU", "Orla PCU via Vantor          (9600)",  "OrlaPCU", 9600,  800, "  Orla PCU via Vantor",                0, false, true,  true,  false, true,  false, {"$" + CRLF},           false, {"V" + CRLF}},
 {ModulePath::TAVa,    "mnuTAVa",    "Tav 07 to ACU              (4800)",    "TAVa",    4800,  800, "   TAV-07 Translation ACU",            1, false, true,  true,  false, true,  false, {ESC + "S"},            false, {ESC + "V"}},
 {ModulePath::TAVp,    "mnuTAVp",    "Tav 07 to PCU              (4800)",    "TAVp",    4800,  800, "   TAV-07 Translation PCU",            1, false, true,  true,  true,  true,  false, {"?S" + CRLF},          false, {"?V" + CRLF}},
 {ModulePath::TAVd,    "mnuTAVd",    "Tav 07 to DVB              (4800)",    "TAVd",    4800,  800, "   TAV-07 Translation DVB",            1, false, false, false, true,  true,  false, {"w!   " + CRLF},       true,  kDvbVersion},
 {ModulePath::TAV8a,   "mnuTAV8a",   "Tav 8K to ACU              (9600)",    "TAV8a",   9600,  800, "   TAV 8K Translation ACU",            1, true,  true,  true,  false, true,  false, {ESC + "S"},            false, {ESC + "V"}},
 {ModulePath::TAV8p,   "mnuTAV8p",   "Tav 8K to PCU              (9600)",    "TAV8p",   9600,  800, "   TAV 8K Translation PCU",            1, true,  true,  true,  true,  true,  false, {"?S" + CRLF},          false, {"?V" + CRLF}},
 {ModulePath::TAV8d,   "mnuTAV8d",   "Tav 8K to DVB              (9600)",    "TAV8d",   9600,  800, "   TAV 8K Translation DVB",            1, true,  false, false, true,  true,  false, {"w!   " + CRLF},       true,  kDvbVersion},
 {ModulePath::TAV8m1,  "mnuTAV8m1",  "Tav 8K to BDE Modem  (9600)",          "TAV8m1",  9600,  800, "   TAV 8K Translation BDE Modem",      1, true,  false, false, true,  true,  false, {"<0000" + CRLF},       false, {"<0411" + CRLF}},
 {ModulePath::TAV8m2,  "mnuTAV8m2",  "Tav 8K to ADE Modem  (9600)",          "TAV8m2",  9600,  800, "   TAV 8K Translation ADE Modem",      1, true,  false, false, true,  true,  false, {">0000" + CRLF},       false, {">0411" + CRLF}},
 {ModulePath::TAV8mdb, "mnuTAV8mdb", "Tav 8K to G2 MDE         (9600)",      "TAV8mdb", 9600,  800, "   TAV 8K Translation Motor Driver",   1, true,  true,  true,  true,  true,  false, {"]6000" + CRLF},       false, {"]0411" + CRLF}},
 {ModulePath::SPG2pcu, "mnuSPG2pcu", "Service Port to PCU      (9600)",      "SPG2pcu", 9600,  800, "   PCU update via Service Port",       2, false, false, true,  false, false, false, {ESC + "S"},            false, {ESC + "V"}},
 {ModulePath::USBpcu,  "mnuUSBpcu",  "USB to G2 PCU",                        "USBpcu",  9600,  800, "   PCU update via USB",                2, false, true,  true,  false, false, false, {ESC + "S"},            false, {"?V" + CRLF}},
 {ModulePath::USBmdb,  "mnuUSBmdb",  "USB to G2 MDE",                        "USBmdb",  9600,  800, "   MDB update via USB",                2, false, true,  true,  false, true,  false, {"]6000" + CRLF},       false, {"*" + CRLF}},
 {ModulePath::Vantor,  "mnuVantor",  "USB to Vantor App",                    "Vantor",  9600,  800, "  Vantor update via USB",              2, false, true,  true,  false, true,  false, {},                     false, {"verA\r"}},
 {ModulePath::SLCD,    "mnuSLCD",    "USB to Vantor SLcd",                   "SLCD",    9600,  800, "  SLCD update via USB",                2, false, true,  true,  false, true,  false, {ESC + "S"},            false, {ESC + "V"}},
};
// clang-format on

TEST_F(ModuleTest, TheTableHoldsTheModuleListInMenuOrder)
{
    const auto& table = term::modulePathTable();
    ASSERT_EQ(table.size(), kPaths.size());
    for (size_t i = 0; i < kPaths.size(); ++i) {
        const PathCase& c = kPaths[i];
        SCOPED_TRACE(c.menu);
        const term::ModulePathRow& r = table[i];
        EXPECT_EQ(r.path, c.path);
        EXPECT_STREQ(r.menu, c.menu);
        EXPECT_STREQ(r.caption, c.caption);
        EXPECT_STREQ(r.code, c.code);
        EXPECT_EQ(r.baud, c.baud);
        EXPECT_EQ(r.nOffset, c.nOffset);
        EXPECT_STREQ(r.label, c.label);
        EXPECT_EQ(r.group, c.group);
        EXPECT_EQ(&term::modulePathRow(c.path), &r);
        EXPECT_EQ(term::modulePathForCode(c.code), c.path);
        EXPECT_EQ(term::modulePathForMenu(c.menu), c.path);
        EXPECT_EQ(term::isNetworkPath(c.path), c.network);
        EXPECT_EQ(term::isAutoUploadPath(c.path), c.autoUpload);
        EXPECT_EQ(term::isPanelPath(c.path), c.nOffset == 1600);
        EXPECT_EQ(term::enablesAcuReset(c.path), c.acuReset);
        EXPECT_EQ(term::disablesParamDumps(c.path), !c.dumps);
    }
    // Codes are matched exactly as stored.
    EXPECT_EQ(term::modulePathForCode("cpdvb"), std::nullopt);
    EXPECT_EQ(term::modulePathForCode("TAV8"), std::nullopt);
    EXPECT_EQ(term::modulePathForCode(""), std::nullopt);
    EXPECT_EQ(term::modulePathForMenu("mnuTAV8"), std::nullopt);
}

// Each path picked with the link open, after paths that leave different marks behind: the
// menus, the terminal fields, the stored choice, the port reopened at the path's speed, and
// the Status and Module Version toolbar queries byte for byte.
TEST_F(ModuleTest, PickingEachPathWithTheLinkOpen)
{
    const std::array<ModulePath, 5> before = {ModulePath::QM7000, ModulePath::CPCU, ModulePath::USBpcu,
                                              ModulePath::TAV8p, ModulePath::OrlaPCU};
    t->settings = "9600,N,8,1";
    openLink();
    for (const PathCase& c : kPaths) {
        for (ModulePath prev : before) {
            SCOPED_TRACE(std::string(c.menu) + " after " + term::modulePathRow(prev).menu);
            paths->Select(prev, true);
            ASSERT_TRUE(t->linkOpen());
            t->hexDisplay = true;
            t->screen.append("text of the previous module");
            forget();
            linkSettings.clear();

            paths->Select(c.path, true);

            const term::ModuleMenuState& m = paths->menus();
            EXPECT_EQ(m.checked, c.path);
            EXPECT_EQ(paths->selected(), c.path);
            EXPECT_STREQ(paths->selectedRow().caption, c.caption);
            EXPECT_EQ(t->nOffset, c.nOffset);
            EXPECT_EQ(t->moduleLabel, c.label);
            EXPECT_EQ(t->dataPath, c.path == ModulePath::Data);
            EXPECT_EQ(t->qm7000, c.path == ModulePath::QM7000);
            EXPECT_FALSE(t->hexDisplay);
            EXPECT_EQ(t->screen.text(), "");
            EXPECT_EQ(m.acuResetEnabled, c.acuReset);
            EXPECT_EQ(m.acuParamDumpEnabled, c.dumps);
            EXPECT_EQ(m.pcuParamDumpEnabled, c.dumps);
            EXPECT_EQ(m.onOffLabelVisible, c.onOff);
            EXPECT_EQ(m.manualButtonsVisible, !c.autoUpload);
            EXPECT_TRUE(m.manualButtonsEnabled);
            EXPECT_EQ(m.cmdAUploadEnabled, c.aUpload);
            EXPECT_EQ(m.vantorCommsEnabled, c.path == ModulePath::OrlaPCU);
            EXPECT_TRUE(m.linkToolsEnabled);
            EXPECT_TRUE(m.portOpenChecked);
            EXPECT_FALSE(m.remoteUploadEnabled);
            EXPECT_EQ(paths->tcpAllowed(), c.network);

            const std::string settings = std::to_string(c.baud) + ",N,8,1";
            EXPECT_EQ(t->settings, settings);
            EXPECT_EQ(stored("Direct"), c.code);
            EXPECT_EQ(stored("Settings"), settings);
            EXPECT_TRUE(closedThenReopened(journal.events)) << journal.events.size();
            ASSERT_FALSE(linkSettings.empty());
            EXPECT_EQ(linkSettings.back(), settings);
            EXPECT_TRUE(t->linkOpen());
            EXPECT_TRUE(writes().empty());

            forget();
            paths->QueryModuleStatus();
            EXPECT_EQ(writes(), c.status);
            EXPECT_EQ(t->screen.text(), c.statusLineBreak ? "\r\n" : "");

            forget();
            const Ms start = clock.now();
            paths->QueryModuleVersion();
            EXPECT_EQ(writes(), c.version);
            if (c.version.size() == 2) {
                // The DVB module is given time to take the version query before the next line.
                EXPECT_GE(journal.writes[1].at - journal.writes[0].at, Ms{50});
            } else {
                EXPECT_EQ(clock.now(), start);
            }
            EXPECT_TRUE(ui.messages.empty());
        }
    }
}

TEST_F(ModuleTest, PickingAPathWithTheLinkClosedStoresSpeedAndCodeOnly)
{
    struct Case {
        std::string settings;
        ModulePath path;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"9600,N,8,1", ModulePath::TAVa, "4800,N,8,1"},
        {"9600,E,7,2", ModulePath::TAVa, "4800,E,7,2"},
        {"4800,o,7,1.5", ModulePath::TAV8a, "9600,O,7,1.5"},
        {"115200,M,8,1", ModulePath::USBpcu, "9600,M,8,1"},
        {"4800,S,6,2", ModulePath::Data, "9600,S,6,2"},
        {"", ModulePath::TAVp, "4800,N,8,1"},
        {"garbage", ModulePath::CPCU, "9600,N,8,1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings + " -> " + term::modulePathRow(c.path).menu);
        t->settings = c.settings;
        forget();
        linkSettings.clear();
        paths->Select(c.path, true);
        EXPECT_EQ(t->settings, c.expected);
        EXPECT_EQ(stored("Settings"), c.expected);
        EXPECT_EQ(stored("Direct"), term::modulePathRow(c.path).code);
        EXPECT_TRUE(journal.events.empty());
        EXPECT_TRUE(linkSettings.empty());
        EXPECT_FALSE(t->linkOpen());
        EXPECT_FALSE(paths->menus().cmdAUploadEnabled);
        EXPECT_TRUE(ui.messages.empty());
    }
    // The port takes the speed when it is next opened.
    openLink();
    ASSERT_FALSE(linkSettings.empty());
    EXPECT_EQ(linkSettings.back(), "9600,N,8,1");
}

// Tav 07 to ACU with the port open at 9600: closed and reopened at 4800, framing kept.
TEST_F(ModuleTest, Tav07ToAcuReopensThePortAt4800WithTheSameFraming)
{
    t->settings = "9600,E,7,2";
    openLink();
    forget();
    linkSettings.clear();
    paths->Select(ModulePath::TAVa, true);
    EXPECT_TRUE(closedThenReopened(journal.events)) << journal.events.size();
    ASSERT_EQ(linkSettings.size(), 1u);
    EXPECT_EQ(linkSettings[0], "4800,E,7,2");
    EXPECT_TRUE(t->linkOpen());
    EXPECT_TRUE(paths->menus().cmdAUploadEnabled);
}

TEST_F(ModuleTest, StartUpRestoresTheStoredPathWithoutStoringOrReopening)
{
    struct Case {
        const char* stored; // nullptr: absent
        ModulePath expected;
    };
    const std::vector<Case> cases = {
        {nullptr, ModulePath::Data},     {"DATA", ModulePath::Data},   {"CPDVB", ModulePath::CPdvb},
        {"TAVa", ModulePath::TAVa},      {"SLCD", ModulePath::SLCD},   {"cpdvb", ModulePath::Data},
        {"Unknown", ModulePath::Data},   {"", ModulePath::Data},       {"QM7000", ModulePath::QM7000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "<absent>");
        std::filesystem::remove(storePath);
        store = std::make_unique<common::SettingsStore>(common::SettingsStore::atPath("KorrinUniv1", storePath));
        if (c.stored)
            store->save(common::kSection, "Direct", c.stored);
        store->save(common::kSection, "Settings", "19200,N,8,1");
        makeTerminal();
        t->settings = "19200,N,8,1";
        forget();

        paths->Restore();

        EXPECT_EQ(paths->selected(), c.expected);
        EXPECT_EQ(t->moduleLabel, term::modulePathRow(c.expected).label);
        EXPECT_EQ(t->nOffset, term::modulePathRow(c.expected).nOffset);
        EXPECT_EQ(t->settings, "19200,N,8,1");
        EXPECT_EQ(stored("Settings"), "19200,N,8,1");
        EXPECT_EQ(stored("Direct"), c.stored ? c.stored : "<absent>");
        EXPECT_TRUE(journal.events.empty());
    }
}

TEST_F(ModuleTest, ThePickedPathIsRestoredAtTheNextStart)
{
    paths->Select(ModulePath::CPdvb, true);
    store = std::make_unique<common::SettingsStore>(common::SettingsStore::atPath("KorrinUniv1", storePath));
    makeTerminal();
    ASSERT_EQ(paths->selected(), ModulePath::Data);
    paths->Restore();
    EXPECT_EQ(paths->selected(), ModulePath::CPdvb);
    EXPECT_EQ(t->nOffset, 1600);
    EXPECT_EQ(t->moduleLabel, "   Brine PCU to DVB");
}

TEST_F(ModuleTest, UploadButtonsAndToolbarFollowTheLink)
{
    for (const PathCase& c : kPaths) {
        SCOPED_TRACE(c.menu);
        closeLink();
        paths->Select(c.path, true);
        const term::ModuleMenuState& m = paths->menus();
        EXPECT_FALSE(m.cmdAUploadEnabled);
        EXPECT_FALSE(m.manualButtonsEnabled);
        EXPECT_FALSE(m.linkToolsEnabled);
        EXPECT_FALSE(m.vantorCommsEnabled);
        EXPECT_FALSE(m.portOpenChecked);
        EXPECT_EQ(m.manualButtonsVisible, !c.autoUpload);

        openLink();
        EXPECT_EQ(m.cmdAUploadEnabled, c.aUpload);
        EXPECT_TRUE(m.manualButtonsEnabled);
        EXPECT_TRUE(m.linkToolsEnabled);
        EXPECT_EQ(m.vantorCommsEnabled, c.path == ModulePath::OrlaPCU);
        EXPECT_TRUE(m.portOpenChecked);
        EXPECT_EQ(m.manualButtonsVisible, !c.autoUpload);

        closeLink();
        EXPECT_FALSE(m.cmdAUploadEnabled);
        EXPECT_FALSE(m.manualButtonsEnabled);
        EXPECT_FALSE(m.vantorCommsEnabled);
        EXPECT_FALSE(m.portOpenChecked);
    }
}

TEST_F(ModuleTest, AHandlerTheWindowHadBeforeStillRunsOnLinkChanges)
{
    int calls = 0;
    paths.reset();
    t->onLinkChanged = [&calls] { ++calls; };
    paths = std::make_unique<term::ModulePaths>(*t, store.get());
    paths->Select(ModulePath::TAV8a, false);
    openLink();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(paths->menus().cmdAUploadEnabled);
    // Once the module list is gone the terminal goes on without it.
    paths.reset();
    closeLink();
    EXPECT_EQ(calls, 2);
}

TEST_F(ModuleTest, SelectingByMenuName)
{
    for (const PathCase& c : kPaths) {
        SCOPED_TRACE(c.menu);
        EXPECT_TRUE(paths->SelectMenu(c.menu, false));
        EXPECT_EQ(paths->selected(), c.path);
    }
    paths->Select(ModulePath::TAV8m1, false);
    EXPECT_FALSE(paths->SelectMenu("mnuNothing", false));
    EXPECT_EQ(paths->selected(), ModulePath::TAV8m1);
}

TEST_F(ModuleTest, PanelPathsDecodeDisplayCodesAndOthersShowThem)
{
    paths->Select(ModulePath::Cpanel, false);
    t->ShowReceived(std::string("\x01") + "ABC\r\n");
    EXPECT_EQ(t->fields.line1, "ABC");

    paths->Select(ModulePath::TAV8a, false);
    t->ShowReceived(std::string("\x01") + "XYZ\r\n");
    EXPECT_EQ(t->fields.line1, "ABC");
    EXPECT_NE(t->screen.text().find("XYZ"), std::string::npos);
}

TEST_F(ModuleTest, StatusWithTheLinkClosedWarnsAndSendsNothing)
{
    // With the link closed the query is not sent, and the closed-link warning says why.
    paths->Select(ModulePath::Data, false);
    paths->QueryModuleStatus();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(ui.closedWarnings(), 1);
    EXPECT_EQ(t->abortFlag, 2);
}

TEST_F(ModuleTest, DvbVersionWithTheLinkClosedWarnsOnce)
{
    paths->Select(ModulePath::TAV8d, false);
    paths->QueryModuleVersion();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(ui.closedWarnings(), 1);
}

TEST_F(ModuleTest, VantorAppStatusSendsNothingAndWarnsOfNothing)
{
    paths->Select(ModulePath::Vantor, false);
    paths->QueryModuleStatus();
    EXPECT_TRUE(writes().empty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ModuleTest, InstructionsOpenTheUpdateDocument)
{
    std::vector<std::string> opened;
    paths->openDocument = [&opened](const std::string& d) { opened.push_back(d); };
    paths->Instructions();
    EXPECT_EQ(opened, (std::vector<std::string>{"ACU-PCU_Update.pdf"}));
}

} // namespace
} // namespace modtest
