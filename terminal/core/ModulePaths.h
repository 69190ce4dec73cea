#pragma once
// The module list of the terminal: which module the technician talks to and by which path.
// The checked entry fixes the line speed, whether the front-panel strip is shown, which upload
// buttons and menus apply, and what the generic "Status" and "Module Version" toolbar buttons
// send. Also the "Expert Mode" / "Modem Tune" stream and the "&Instructions" document.
//
// The window renders menus() and the Terminal's fields (nOffset, moduleLabel, hexDisplay) and
// forwards clicks here; it decides nothing itself.
#include "Terminal.h"
#include "common/Clock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace common {
class SettingsStore;
}

namespace term {

// One value per entry of the module list, in menu order.
enum class ModulePath : int {
    Data,
    QM7000,
    CPCU,
    CPdvb,
    Cpanel,
    Dpanel,
    OrlaPCU,
    TAVa,
    TAVp,
    TAVd,
    TAV8a,
    TAV8p,
    TAV8d,
    TAV8m1,
    TAV8m2,
    TAV8mdb,
    SPG2pcu,
    USBpcu,
    USBmdb,
    Vantor,
    SLCD,
};
inline constexpr int kModulePathCount = 21;

// One entry of the module list.
struct ModulePathRow {
    ModulePath path;
    const char* menu;    // objectName of the menu entry, e.g. "mnuTAV8a"
    const char* caption; // menu caption, blanks included
    const char* code;    // module selection code stored under "Direct"
    int baud;            // line speed the path forces
    int nOffset;         // panel strip height in twips (1600 shows the strip)
    const char* label;   // module label of the status bar, leading blanks included
    int group;           // menu group: 0 direct devices, 1 TAV paths, 2 service and USB paths
};

const std::array<ModulePathRow, kModulePathCount>& modulePathTable();
const ModulePathRow& modulePathRow(ModulePath p);
// Exact (case-sensitive) lookups; nullopt when nothing matches.
std::optional<ModulePath> modulePathForCode(std::string_view code);
std::optional<ModulePath> modulePathForMenu(std::string_view menuName);

// The parity, data bits and stop bits of a settings string ("N,8,1" when it does not parse).
std::string lineFormat(const std::string& settings);

// Path groups.
bool isNetworkPath(ModulePath p);    // the six TAV 8K paths: TCP/IP allowed
bool isAutoUploadPath(ModulePath p); // "Auto Upload" applies; manual upload buttons hidden
bool isPanelPath(ModulePath p);      // Brine PCU paths and DiSEqC: front-panel strip shown
bool enablesAcuReset(ModulePath p);  // "ACU Reset" of Manual Program Upload Tools enabled
bool disablesParamDumps(ModulePath p); // "ACU Param Dump" and "PCU Param Dump" disabled

// The 250 "U" sent by the modem tune stream so the modem can lock on.
inline const std::string kSyncString(250, 'U');
inline constexpr common::Ms kModemTuneTick{100};
// Below this many bytes waiting to go out, the modem tune stream tops up with the sync string.
inline constexpr long kModemTuneLowWater = 100;
// The update document "&Instructions" opens (the window finds it beside the help pages).
inline constexpr const char* kInstructionsDocument = "ACU-PCU_Update.pdf";

// The enabled, visible and ticked states of the controls the module list governs.
struct ModuleMenuState {
    ModulePath checked = ModulePath::Data; // the one module list entry with the check mark
    bool acuResetEnabled = false;          // "ACU Reset" of Manual Program Upload Tools
    bool acuParamDumpEnabled = true;       // "ACU Param Dump" entries
    bool pcuParamDumpEnabled = true;       // "PCU Param Dump" entries
    bool onOffLabelVisible = false;        // the "(On/Off)" label of the handshake boxes
    bool remoteUploadEnabled = false;      // "Remote Upload / Lock Ports"
    bool manualButtonsVisible = true;      // cmdStart, cmdErase, cmdUpload
    bool manualButtonsEnabled = false;     // cmdStart, cmdErase, cmdUpload (link open)
    bool cmdAUploadEnabled = false;        // "Auto Upload"
    bool portOpenChecked = false;          // "Port &Open"
    bool linkToolsEnabled = false;         // toolbar SendGPS, SendHDG, Status, ModVer
    bool vantorCommsEnabled = false;       // toolbar CheckSum, ChkOff
    bool expertMode = false;               // "Expert Mode" check mark; "Modem Tune" enabled while set
    bool modemTuneRunning = false;         // the modem tune stream runs (cancel window shown)
};

class ModulePaths {
public:
    // store may be null (then nothing is saved). Installs itself in t.onLinkChanged, calling
    // any handler that was there before; a window that sets its own handler later must call
    // OnLinkChanged() from it.
    ModulePaths(Terminal& t, common::SettingsStore* store);
    ~ModulePaths();
    ModulePaths(const ModulePaths&) = delete;
    ModulePaths& operator=(const ModulePaths&) = delete;

    // ---- selecting a path (the module list entries)
    // Refused (nothing changes) while a long sequence runs.
    // windowVisible false during start-up: nothing is stored and the link is left alone.
    // Otherwise the speed becomes the path's baud with the present parity, data and stop bits,
    // "Direct" and "Settings" are stored, and an open link is closed and opened again.
    void Select(ModulePath p, bool windowVisible);
    // By the menu entry's objectName; false (and nothing done) for an unknown name.
    bool SelectMenu(std::string_view menuName, bool windowVisible);
    // Start-up: the stored "Direct" (default "DATA"); an unknown code gives the data terminal.
    void Restore();

    void ResetModuleSelection();
    void ApplyPathButtons();
    // The link opened or closed: menu ticks, toolbar and upload buttons follow it.
    void OnLinkChanged();

    ModulePath selected() const { return menus_.checked; }
    const ModulePathRow& selectedRow() const { return modulePathRow(menus_.checked); }
    const ModuleMenuState& menus() const { return menus_; }
    bool tcpAllowed() const { return isNetworkPath(menus_.checked); }

    // ---- toolbar "Status" and "ModVer"
    void QueryModuleStatus();
    void QueryModuleVersion();

    // ---- "Expert Mode" and "Modem Tune"
    void ExpertMode_Click();
    // Starts the stream; false when "Modem Tune" is not enabled, the stream already runs or
    // another long sequence runs. The stream holds the sequence guard until it stops.
    bool ModemTune_Click();
    // The cancel window's Cancel: stops the stream.
    void ModemTuneCancel();
    // Bytes waiting in the serial output buffer. When unset: 0 once the link's output has
    // drained, else the length of one sync string.
    std::function<long()> outputCount;
    // The stream stopped: hide the cancel window. byCancel is true for the Cancel button (then
    // also set the text sender's cancel flag), false when the stream found the link closed.
    std::function<void(bool byCancel)> onModemTuneStopped;

    // ---- "&Instructions"
    void Instructions();
    std::function<void(const std::string&)> openDocument;

private:
    void modemTuneTick();
    void stopModemTune(bool byCancel);
    void write(const std::string& text); // onto the screen, no line end
    long bufferCount();

    Terminal& t_;
    common::SettingsStore* store_;
    ModuleMenuState menus_;
    std::unique_ptr<common::Timer> timer3_;
    std::unique_ptr<Terminal::Sequence> tuneSequence_; // held while the modem tune streams
    bool inTick_ = false;
    // Lets the link-change handler installed in the Terminal outlive this object harmlessly.
    std::shared_ptr<ModulePaths*> self_;
};

} // namespace term
