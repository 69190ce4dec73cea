// The Tools menu entries that send fixed commands, and the PCU reset.
#include "ModuleFixture.h"

#include <algorithm>

namespace modtest {
namespace {

using term::ModuleCommand;

const std::string CRLF = "\r\n";

struct CommandCase {
    ModuleCommand id;
    const char* submenu;
    const char* caption;
    bool clears;
    std::vector<std::string> sent;
};

// clang-format off
const std::vector<CommandCase> kCommands = {
 {ModuleCommand::ACUVersion,      "ACU Tools",             "ACU Version                 (V  )",       false, {ESC + "V"}},
 {ModuleCommand::ACUParamDump,    "ACU Tools",             "ACU Param Dump        ([?A    )",         true,  {ESC + "[?A  " + CRLF}},
 {ModuleCommand::PCUVersion,      "PCU Tools",             "PCU Version                 (?V      )", false, {ESC + "?V" + CRLF}},
 {ModuleCommand::CommIFVersion,   "Comm IF Tools",         "Comm IF Version            ([V   )",     false, {ESC + "[V   " + CRLF}},
 {ModuleCommand::CommIFLockPorts, "Comm IF Tools",         "Comm IF Lock Ports       ([L   )",       false, {"[L" + CRLF}},
 {ModuleCommand::CommIFParamDump, "Comm IF Tools",         "Comm IF Param Dump   ([?   )",           true,  {ESC + "[?" + CRLF}},
 {ModuleCommand::DVBVersion,      "DVB Tools",             "DVB Version                 (wV   , w!)", false, {"wV   " + CRLF, "w!   " + CRLF}},
 {ModuleCommand::BDEVersion,      "Modem Tools/BDE Modem", "Version                  (<0411)",       false, {"<0411" + CRLF}},
 {ModuleCommand::BDEStatus,       "Modem Tools/BDE Modem", "Status                   (<0000)",       false, {"<0000" + CRLF}},
 {ModuleCommand::BDETemperature,  "Modem Tools/BDE Modem", "Temperature         (<0273)",            false, {"<0273" + CRLF}},
 {ModuleCommand::BDESerialNumber, "Modem Tools/BDE Modem", "Serial Number        (<1234)",           false, {"<1234" + CRLF}},
 {ModuleCommand::ADEVersion,      "Modem Tools/ADE Modem", "Version                  (>0411)",       false, {">0411" + CRLF}},
 {ModuleCommand::ADEStatus,       "Modem Tools/ADE Modem", "Status                   (>0000)",       false, {">0000" + CRLF}},
 {ModuleCommand::ADETemperature,  "Modem Tools/ADE Modem", "Temperature         (>0273)",            false, {">0273" + CRLF}},
 {ModuleCommand::ADESerialNumber, "Modem Tools/ADE Modem", "Serial Number        (>1234)",           false, {">1234" + CRLF}},
 {ModuleCommand::MDEVersion,      "MDE Tools",             "MDE Version             (]0411)",        false, {"]0411" + CRLF}},
 {ModuleCommand::MDEStatus,       "MDE Tools",             "MDE Status              (]6000)",        false, {"]6000" + CRLF}},
 {ModuleCommand::MDETemperature,  "MDE Tools",             "MDE Temperature    (]0273)",             false, {"]0273" + CRLF}},
 {ModuleCommand::MDERelativeUSB,  "MDE Tools",             "MDE Relative-USB    (]6008)",            false, {"]6008" + CRLF}},
 {ModuleCommand::VantorCommsOn,   "Vantor Tools",          "Start Vantor Communications",            false, {"%"}},
 {ModuleCommand::VantorCommsOff,  "Vantor Tools",          "Stop Vantor Communications",             false, {"$"}},
};
// clang-format on

TEST_F(ModuleTest, EachCommandEntrySendsItsBytes)
{
    const auto& table = term::moduleCommandTable();
    ASSERT_EQ(table.size(), kCommands.size());
    openLink();
    for (size_t i = 0; i < kCommands.size(); ++i) {
        const CommandCase& c = kCommands[i];
        SCOPED_TRACE(c.caption);
        const term::ModuleCommandRow& r = table[i];
        EXPECT_EQ(r.id, c.id);
        EXPECT_EQ(&term::moduleCommandRow(c.id), &r);
        EXPECT_STREQ(r.submenu, c.submenu);
        EXPECT_STREQ(r.caption, c.caption);

        t->screen.append("earlier text");
        forget();
        commands->Run(c.id);
        EXPECT_EQ(writes(), c.sent);
        EXPECT_EQ(t->screen.text(), c.clears ? "" : "earlier text");
        EXPECT_TRUE(ui.messages.empty());
        t->ClearScreen();
    }
}

TEST_F(ModuleTest, EachCommandEntryWithTheLinkClosedWarnsOnceAndSendsNothing)
{
    for (const CommandCase& c : kCommands) {
        SCOPED_TRACE(c.caption);
        forget();
        t->abortFlag = 0;
        commands->Run(c.id);
        EXPECT_TRUE(writes().empty());
        EXPECT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.closedWarnings(), 1);
        EXPECT_EQ(t->abortFlag, 2);
        EXPECT_FALSE(t->linkOpen());
    }
}

TEST_F(ModuleTest, MenuEntryNamesAreUniqueAcrossTheModuleListAndTheCommands)
{
    std::vector<std::string> names;
    for (const auto& r : term::modulePathTable())
        names.push_back(r.menu);
    for (const auto& r : term::moduleCommandTable())
        names.push_back(r.menu);
    names.push_back(term::kPcuResetMenu);
    for (const auto& n : names)
        EXPECT_EQ(n.rfind("mnu", 0), 0u) << n;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

TEST_F(ModuleTest, PcuResetSendsTheResetThenReconnectsAfterThreeSeconds)
{
    openLink();
    std::vector<std::pair<Ms, bool>> changes;
    auto before = t->onLinkChanged;
    t->onLinkChanged = [&] {
        changes.emplace_back(clock.now(), t->linkOpen());
        before();
    };
    forget();
    const Ms start = clock.now();

    commands->PCUReset();

    EXPECT_EQ(writes(), (std::vector<std::string>{ESC + "^0090" + CRLF}));
    EXPECT_TRUE(closedThenReopened(journal.events)) << journal.events.size();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_FALSE(changes[0].second);
    EXPECT_TRUE(changes[1].second);
    EXPECT_GE(changes[1].first - changes[0].first, Ms{3000});
    EXPECT_LT(changes[1].first - start, Ms{3500});
    EXPECT_GE(journal.writes[0].at, start);
    EXPECT_LE(journal.writes[0].at, changes[0].first);
    EXPECT_TRUE(t->linkOpen());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(t->sequenceRunning());
}

// With the link closed nothing can reach the PCU: the closed-link warning, and the link is
// neither opened nor toggled later.
TEST_F(ModuleTest, PcuResetWithTheLinkClosedWarnsAndLeavesTheLinkClosed)
{
    paths->Select(ModulePath::TAV8p, false);
    forget();
    const Ms start = clock.now();

    commands->PCUReset();
    clock.advance(Ms{5000});

    EXPECT_TRUE(writes().empty());
    EXPECT_TRUE(journal.events.empty());
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.closedWarnings(), 1);
    EXPECT_FALSE(t->linkOpen());
    EXPECT_FALSE(paths->menus().portOpenChecked);
    EXPECT_EQ(t->abortFlag, 2);
    EXPECT_LT(clock.now() - start, Ms{5100}); // no wait of its own beyond the advance
    EXPECT_FALSE(t->sequenceRunning());
}

TEST_F(ModuleTest, PcuResetDoesNothingWhileAnotherSequenceRuns)
{
    openLink();
    forget();
    {
        term::Terminal::Sequence other(*t);
        ASSERT_TRUE(other.started());
        commands->PCUReset();
    }
    EXPECT_TRUE(writes().empty());
    EXPECT_TRUE(journal.events.empty());
    EXPECT_TRUE(t->linkOpen());
}

} // namespace
} // namespace modtest
