#include "ModuleCommands.h"

#include "Terminal.h"

namespace term {

namespace {

// ESC is written as its own literal so a following letter is never read as a hex digit.
#define ESC "\x1b"
#define CRLF "\r\n"

constexpr std::array<ModuleCommandRow, kModuleCommandCount> kCommands{{
    {ModuleCommand::ACUVersion, "mnuACUVer", "ACU Tools", "ACU Version                 (V  )", false, ESC "V", nullptr},
    {ModuleCommand::ACUParamDump, "mnuACUDump", "ACU Tools", "ACU Param Dump        ([?A    )", true, ESC "[?A  " CRLF, nullptr},
    {ModuleCommand::PCUVersion, "mnuPCUVer", "PCU Tools", "PCU Version                 (?V      )", false, ESC "?V" CRLF, nullptr},
    {ModuleCommand::CommIFVersion, "mnuCIFVer", "Comm IF Tools", "Comm IF Version            ([V   )", false, ESC "[V   " CRLF, nullptr},
    {ModuleCommand::CommIFLockPorts, "mnuCIFLock", "Comm IF Tools", "Comm IF Lock Ports       ([L   )", false, "[L" CRLF, nullptr},
    {ModuleCommand::CommIFParamDump, "mnuCIFDump", "Comm IF Tools", "Comm IF Param Dump   ([?   )", true, ESC "[?" CRLF, nullptr},
    {ModuleCommand::DVBVersion, "mnuDVBVer", "DVB Tools", "DVB Version                 (wV   , w!)", false, "wV   " CRLF, "w!   " CRLF},
    {ModuleCommand::BDEVersion, "mnuBDEVer", "Modem Tools/BDE Modem", "Version                  (<0411)", false, "<0411" CRLF, nullptr},
    {ModuleCommand::BDEStatus, "mnuBDEStatus", "Modem Tools/BDE Modem", "Status                   (<0000)", false, "<0000" CRLF, nullptr},
    {ModuleCommand::BDETemperature, "mnuBDETemp", "Modem Tools/BDE Modem", "Temperature         (<0273)", false, "<0273" CRLF, nullptr},
    {ModuleCommand::BDESerialNumber, "mnuBDESerial", "Modem Tools/BDE Modem", "Serial Number        (<1234)", false, "<1234" CRLF, nullptr},
    {ModuleCommand::ADEVersion, "mnuADEVer", "Modem Tools/ADE Modem", "Version                  (>0411)", false, ">0411" CRLF, nullptr},
    {ModuleCommand::ADEStatus, "mnuADEStatus", "Modem Tools/ADE Modem", "Status                   (>0000)", false, ">0000" CRLF, nullptr},
    {ModuleCommand::ADETemperature, "mnuADETemp", "Modem Tools/ADE Modem", "Temperature         (>0273)", false, ">0273" CRLF, nullptr},
    {ModuleCommand::ADESerialNumber, "mnuADESerial", "Modem Tools/ADE Modem", "Serial Number        (>1234)", false, ">1234" CRLF, nullptr},
    {ModuleCommand::MDEVersion, "mnuMDEVer", "MDE Tools", "MDE Version             (]0411)", false, "]0411" CRLF, nullptr},
    {ModuleCommand::MDEStatus, "mnuMDEStatus", "MDE Tools", "MDE Status              (]6000)", false, "]6000" CRLF, nullptr},
    {ModuleCommand::MDETemperature, "mnuMDETemp", "MDE Tools", "MDE Temperature    (]0273)", false, "]0273" CRLF, nullptr},
    {ModuleCommand::MDERelativeUSB, "mnuMDERelUSB", "MDE Tools", "MDE Relative-USB    (]6008)", false, "]6008" CRLF, nullptr},
    {ModuleCommand::VantorCommsOn, "mnuVantorOn", "Vantor Tools", "Start Vantor Communications", false, "%", nullptr},
    {ModuleCommand::VantorCommsOff, "mnuVantorOff", "Vantor Tools", "Stop Vantor Communications", false, "$", nullptr},
}};

const char* const kPcuReset = ESC "^0090" CRLF;

#undef ESC
#undef CRLF

constexpr bool commandsInEnumOrder()
{
    for (int i = 0; i < kModuleCommandCount; ++i)
        if (static_cast<int>(kCommands[i].id) != i)
            return false;
    return true;
}
static_assert(commandsInEnumOrder(), "module command table out of enum order");

} // namespace

const std::array<ModuleCommandRow, kModuleCommandCount>& moduleCommandTable()
{
    return kCommands;
}

const ModuleCommandRow& moduleCommandRow(ModuleCommand c)
{
    return kCommands[static_cast<size_t>(c)];
}

void ModuleCommands::Run(ModuleCommand c)
{
    if (!t_.BeginCommand())
        return; // a long sequence owns the link
    const ModuleCommandRow& row = moduleCommandRow(c);
    if (row.clearsScreen)
        t_.ClearScreen();
    t_.CommOut(row.first);
    if (row.second && t_.linkOpen())
        t_.CommOut(row.second);
}

void ModuleCommands::PCUReset()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return;
    t_.CommOut(kPcuReset);
    if (!t_.linkOpen()) {
        // Nothing reached the PCU (CommOut has said why): the link is left as it is, neither
        // opened nor toggled later.
        return;
    }
    t_.TxSettle(0); // the reset must have left before the port closes
    t_.ToggleLink(); // close
    t_.Pause(kPcuRestartWait);
    if (!t_.linkOpen())
        t_.ToggleLink(); // open again
}

} // namespace term
