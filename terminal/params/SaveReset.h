#pragma once
// The Tools menu's one-shot module commands (store parameters, restart, enter the boot
// loader) and "Load Factory Default Parameters", which writes a fixed set of defaults into an
// older ACU and makes it store them. Everything goes out through Terminal::CommOut; the waits
// are the terminal's, and each command holds the one-sequence guard while it runs, so none
// starts while an upload or dump is under way.
#include "terminal/core/ModuleCommands.h"
#include "terminal/core/Terminal.h"

#include <array>
#include <string>
#include <string_view>

namespace term {

// ESC, the prefix of the ACU-level commands.
inline constexpr char kEsc = 27;

// Waits of these commands.
inline constexpr int kDefaultsSettleMs = 200;        // after each factory-default line has left
inline constexpr Ms kDefaultsSaveWait{1000};         // after each "W" (store to NVRAM)
inline constexpr int kPcuBootSettleMs = 10;          // between "?S" and "?9"
inline constexpr Ms kCommIfResetWait{1000};          // before the link is closed
inline constexpr Ms kCommIfRestartWait{4000};        // link closed while the interface restarts

// The factory-default parameter lines, in the order they are sent, each followed by CR LF.
inline constexpr std::array<std::string_view, 36> kFactoryDefaults{
    "mA000", "mB001", "mC000", "mD002", "mF100", "X0000", "X0000", "mG000", "Y0000",
    "Y0000", "mH000", "mJ010", "mK100", "mL030", "mM000", "mN077", "mO002", "mP009",
    "mQ030", "mR090", "mS000", "mT000", "mU000", "mV000", "mW002", "mb001", "mc125",
    "md078", "me004", "mf197", "mg087", "T1010", "c1047", "d5000", "mu002", "t0000",
};

inline constexpr const char* kFactoryDefaultsQuestion = "Are you sure you want to re-set ALL TAV NVRAM parameters?";
inline constexpr const char* kFactoryDefaultsTitle = "Load Factory Defaults";

class SaveReset {
public:
    enum class Result {
        Done,      // everything was sent
        Cancelled, // the question was not answered OK: nothing was sent
        Stopped,   // the link was closed or the sequence was aborted part-way
        Busy,      // another long sequence runs: nothing was sent
    };

    explicit SaveReset(Terminal& t);

    // ACU Tools
    Result AcuRestartBootLd(); // "S9" CR LF
    Result AcuReset();         // ESC "\0090" CR LF (also Manual Program Upload Tools)
    Result AcuParamSave();     // ESC "\0087" CR LF
    // "Load Factory Default Parameters": asks first (OK / Cancel); then 36 lines each
    // followed by a 200 ms settle, "W", 1 s, "W", 1 s; stops at a closed link or an abort.
    Result LoadFactoryDefaults();
    // PCU Tools
    Result PcuRestartBootLd(); // "?S" CR LF, TxSettle 10, "?9" CR LF
    // ESC "^0090" CR LF; the link closed for kPcuRestartWait and opened again. This is
    // ModuleCommands::PCUReset (one implementation for the menu entry): with the link closed
    // it warns once and leaves the link closed.
    Result PcuReset();
    Result PcuParamSave();     // ESC "^0087" CR LF
    // Comm IF Tools
    // "[Z   " CR LF; 1 s; the link closed; CR LF on the screen; 4 s; the link opened again.
    // With the link closed it warns once and leaves the link closed, as PCU Reset does.
    Result CommIfReset();
    Result CommIfParamSave(); // "[W   " CR LF
    // DVB Tools
    Result DvbRestartBootLd(); // "wS9  " CR LF

private:
    Result oneShot(const std::string& command);
    bool aborted() const;
    void show(const std::string& text);
    Terminal& t_;
};

// The menu entries, for the window: menu, caption (exactly as shown) and the command.
struct SaveResetEntry {
    const char* menu;
    const char* caption;
    SaveReset::Result (SaveReset::*run)();
};
inline const std::array<SaveResetEntry, 11> kSaveResetMenu{{
    {"ACU Tools", "ACU ReStart Boot Ld   (S9 )", &SaveReset::AcuRestartBootLd},
    {"ACU Tools", "ACU Reset                   (\\0090)", &SaveReset::AcuReset},
    {"Manual Program Upload Tools", "ACU Reset                 ( \\0090) ", &SaveReset::AcuReset},
    {"ACU Tools", "ACU Param Save         (\\0087)", &SaveReset::AcuParamSave},
    {"ACU Tools", "Load Factory Default Parameters", &SaveReset::LoadFactoryDefaults},
    {"PCU Tools", "PCU ReStart Boot Ld   (?S?9)", &SaveReset::PcuRestartBootLd},
    {"PCU Tools", "PCU Reset                   (^0090)", &SaveReset::PcuReset},
    {"PCU Tools", "PCU Param Save         (^0087)", &SaveReset::PcuParamSave},
    {"Comm IF Tools", "Comm IF Reset              ([Z   )", &SaveReset::CommIfReset},
    {"Comm IF Tools", "Comm IF Param Save    ([W   )", &SaveReset::CommIfParamSave},
    {"DVB Tools", "DVB ReStart Boot Ld   (wS9   )", &SaveReset::DvbRestartBootLd},
}};

} // namespace term
