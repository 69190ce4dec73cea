#pragma once
// The Tools menu entries that send a fixed command to a module (versions, status, temperature,
// lock ports, parameter listings, Vantor communications on and off), and the PCU reset, which
// restarts the PCU and then reconnects. Every byte goes out through Terminal::CommOut, so a
// closed link gives its warning and sends nothing.
#include "common/Clock.h"

#include <array>
#include <string>

namespace term {

class Terminal;

enum class ModuleCommand : int {
    ACUVersion,
    ACUParamDump,
    PCUVersion,
    CommIFVersion,
    CommIFLockPorts,
    CommIFParamDump,
    DVBVersion,
    BDEVersion,
    BDEStatus,
    BDETemperature,
    BDESerialNumber,
    ADEVersion,
    ADEStatus,
    ADETemperature,
    ADESerialNumber,
    MDEVersion,
    MDEStatus,
    MDETemperature,
    MDERelativeUSB,
    VantorCommsOn,  // also the toolbar "CheckSum"
    VantorCommsOff, // also the toolbar "ChkOff"
};
inline constexpr int kModuleCommandCount = 21;

struct ModuleCommandRow {
    ModuleCommand id;
    const char* menu;    // objectName of the menu entry
    const char* submenu; // where it sits under Tools, "Modem Tools/BDE Modem" for nested menus
    const char* caption; // menu caption, blanks included
    bool clearsScreen;   // the screen is cleared before sending (parameter listings)
    const char* first;   // bytes sent
    const char* second;  // bytes sent after the first, or nullptr
};

const std::array<ModuleCommandRow, kModuleCommandCount>& moduleCommandTable();
const ModuleCommandRow& moduleCommandRow(ModuleCommand c);

// "PCU Reset" under PCU Tools.
inline constexpr const char* kPcuResetMenu = "mnuPCUReset";
inline constexpr const char* kPcuResetCaption = "PCU Reset                   (^0090)";
// How long the PCU is given to restart before the terminal reconnects.
inline constexpr common::Ms kPcuRestartWait{3000};

class ModuleCommands {
public:
    explicit ModuleCommands(Terminal& t) : t_(t) {}

    // Sends the entry's bytes; a second line goes only while the link is still open, so a
    // closed link warns once. Nothing is sent while a long sequence runs.
    void Run(ModuleCommand c);

    // Sends the reset, closes the link, waits kPcuRestartWait and opens the link again. With
    // the link closed it only gives the closed-link warning and leaves the link closed. Does
    // nothing while another long sequence runs.
    void PCUReset();

private:
    Terminal& t_;
};

} // namespace term
