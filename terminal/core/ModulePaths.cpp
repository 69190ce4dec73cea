#include "ModulePaths.h"

#include "Terminal.h"

#include "common/Link.h"
#include "common/Profiles.h"
#include "common/SettingsStore.h"

#include <algorithm>

namespace term {

namespace {

const std::string kEsc(1, '\x1b');
const std::string kCrLf = "\r\n";

constexpr std::array<ModulePathRow, kModulePathCount> kTable{{
    // Data terminal and direct devices
    {ModulePath::Data, "mnuData", "Data Terminal               (9600)", "DATA", 9600, 800, "   DATA Terminal mode", 0},
    {ModulePath::QM7000, "mnuQM7000", "QM-7000 Direct            (9600)", "QM7000", 9600, 800, "    QM-7000 Direct", 0},
    {ModulePath::CPCU, "mnuCPCU", "Brine PCU Direct       (9600)", "CPCU", 9600, 1600, "   Brine PCU Direct", 0},
    {ModulePath::CPdvb, "mnuCPdvb", "Brine PCU to DVB      (9600)", "CPDVB", 9600, 1600, "   Brine PCU to DVB", 0},
    {ModulePath::Cpanel, "mnuCpanel", "Brine PCU to Panel    (9600)", "CPanel", 9600, 1600, "  Brine PCU to Panel", 0},
    {ModulePath::Dpanel, "mnuDpanel", "DiSEqC ACP / Switch     (9600)", "DiSEqC", 9600, 1600, "  DiSEqC Panel / Switch", 0},
    {ModulePath::OrlaPCU, "mnuOrlaPCU", "Orla PCU via Vantor          (9600)", "OrlaPCU", 9600, 800, "  Orla PCU via Vantor", 0},
    // TAV translation paths
    {ModulePath::TAVa, "mnuTAVa", "Tav 07 to ACU              (4800)", "TAVa", 4800, 800, "   TAV-07 Translation ACU", 1},
    {ModulePath::TAVp, "mnuTAVp", "Tav 07 to PCU              (4800)", "TAVp", 4800, 800, "   TAV-07 Translation PCU", 1},
    {ModulePath::TAVd, "mnuTAVd", "Tav 07 to DVB              (4800)", "TAVd", 4800, 800, "   TAV-07 Translation DVB", 1},
    {ModulePath::TAV8a, "mnuTAV8a", "Tav 8K to ACU              (9600)", "TAV8a", 9600, 800, "   TAV 8K Translation ACU", 1},
    {ModulePath::TAV8p, "mnuTAV8p", "Tav 8K to PCU              (9600)", "TAV8p", 9600, 800, "   TAV 8K Translation PCU", 1},
    {ModulePath::TAV8d, "mnuTAV8d", "Tav 8K to DVB              (9600)", "TAV8d", 9600, 800, "   TAV 8K Translation DVB", 1},
    {ModulePath::TAV8m1, "mnuTAV8m1", "Tav 8K to BDE Modem  (9600)", "TAV8m1", 9600, 800, "   TAV 8K Translation BDE Modem", 1},
    {ModulePath::TAV8m2, "mnuTAV8m2", "Tav 8K to ADE Modem  (9600)", "TAV8m2", 9600, 800, "   TAV 8K Translation ADE Modem", 1},
    {ModulePath::TAV8mdb, "mnuTAV8mdb", "Tav 8K to G2 MDE         (9600)", "TAV8mdb", 9600, 800, "   TAV 8K Translation Motor Driver", 1},
    // Service port and USB paths
    {ModulePath::SPG2pcu, "mnuSPG2pcu", "Service Port to PCU      (9600)", "SPG2pcu", 9600, 800, "   PCU update via Service Port", 2},
    {ModulePath::USBpcu, "mnuUSBpcu", "USB to G2 PCU", "USBpcu", 9600, 800, "   PCU update via USB", 2},
    {ModulePath::USBmdb, "mnuUSBmdb", "USB to G2 MDE", "USBmdb", 9600, 800, "   MDB update via USB", 2},
    {ModulePath::Vantor, "mnuVantor", "USB to Vantor App", "Vantor", 9600, 800, "  Vantor update via USB", 2},
    {ModulePath::SLCD, "mnuSLCD", "USB to Vantor SLcd", "SLCD", 9600, 800, "  SLCD update via USB", 2},
}};

// The table is indexed by the enum; keep the two in step.
constexpr bool tableInEnumOrder()
{
    for (int i = 0; i < kModulePathCount; ++i)
        if (static_cast<int>(kTable[i].path) != i)
            return false;
    return true;
}
static_assert(tableInEnumOrder(), "module path table out of enum order");

} // namespace

std::string lineFormat(const std::string& settings)
{
    common::LineSettings s;
    if (!common::parseSettings(settings, s))
        return "N,8,1";
    return std::string(1, s.parity) + "," + std::to_string(s.dataBits) + "," + s.stopBits;
}

const std::array<ModulePathRow, kModulePathCount>& modulePathTable()
{
    return kTable;
}

const ModulePathRow& modulePathRow(ModulePath p)
{
    return kTable[static_cast<size_t>(p)];
}

std::optional<ModulePath> modulePathForCode(std::string_view code)
{
    for (const auto& r : kTable)
        if (code == r.code)
            return r.path;
    return std::nullopt;
}

std::optional<ModulePath> modulePathForMenu(std::string_view menuName)
{
    for (const auto& r : kTable)
        if (menuName == r.menu)
            return r.path;
    return std::nullopt;
}

bool isNetworkPath(ModulePath p)
{
    switch (p) {
    case ModulePath::TAV8a:
    case ModulePath::TAV8p:
    case ModulePath::TAV8d:
    case ModulePath::TAV8m1:
    case ModulePath::TAV8m2:
    case ModulePath::TAV8mdb:
        return true;
    default:
        return false;
    }
}

bool isAutoUploadPath(ModulePath p)
{
    switch (p) {
    case ModulePath::TAVa:
    case ModulePath::TAVp:
    case ModulePath::TAV8a:
    case ModulePath::TAV8p:
    case ModulePath::TAV8mdb:
    case ModulePath::USBpcu:
    case ModulePath::USBmdb:
    case ModulePath::SLCD:
    case ModulePath::Vantor:
    case ModulePath::OrlaPCU:
        return true;
    default:
        return false;
    }
}

bool isPanelPath(ModulePath p)
{
    switch (p) {
    case ModulePath::CPCU:
    case ModulePath::CPdvb:
    case ModulePath::Cpanel:
    case ModulePath::Dpanel:
        return true;
    default:
        return false;
    }
}

bool enablesAcuReset(ModulePath p)
{
    switch (p) {
    case ModulePath::TAV8d:
    case ModulePath::TAV8m1:
    case ModulePath::TAV8m2:
    case ModulePath::TAV8mdb:
    case ModulePath::TAV8p:
    case ModulePath::TAVd:
    case ModulePath::TAVp:
        return true;
    default:
        return false;
    }
}

bool disablesParamDumps(ModulePath p)
{
    return p == ModulePath::SPG2pcu || p == ModulePath::USBpcu;
}

// ------------------------------------------------------------------------------------------

ModulePaths::ModulePaths(Terminal& t, common::SettingsStore* store)
    : t_(t), store_(store), self_(std::make_shared<ModulePaths*>(this))
{
    std::weak_ptr<ModulePaths*> self = self_;
    auto before = std::move(t_.onLinkChanged);
    t_.onLinkChanged = [self, before] {
        if (auto p = self.lock())
            (*p)->OnLinkChanged();
        if (before)
            before();
    };
    OnLinkChanged();
}

ModulePaths::~ModulePaths()
{
    if (timer3_)
        timer3_->setEnabled(false);
}

void ModulePaths::ResetModuleSelection()
{
    t_.ClearScreen();
    t_.hexDisplay = false;
    menus_.acuResetEnabled = false;
    menus_.acuParamDumpEnabled = true;
    menus_.pcuParamDumpEnabled = true;
    menus_.onOffLabelVisible = false;
    t_.nOffset = 800;
    menus_.manualButtonsVisible = true;
    menus_.cmdAUploadEnabled = false;
}

void ModulePaths::ApplyPathButtons()
{
    const ModulePath p = menus_.checked;
    if (isAutoUploadPath(p)) {
        menus_.manualButtonsVisible = false;
        menus_.cmdAUploadEnabled = t_.linkOpen();
    } else if (p == ModulePath::SPG2pcu) {
        menus_.manualButtonsVisible = true;
        menus_.cmdAUploadEnabled = t_.linkOpen();
    } else {
        menus_.manualButtonsVisible = true;
        menus_.cmdAUploadEnabled = false;
    }
}

void ModulePaths::OnLinkChanged()
{
    const bool open = t_.linkOpen();
    menus_.portOpenChecked = open;
    menus_.linkToolsEnabled = open;
    menus_.vantorCommsEnabled = open && menus_.checked == ModulePath::OrlaPCU;
    menus_.manualButtonsEnabled = open;
    ApplyPathButtons();
}

void ModulePaths::Select(ModulePath p, bool windowVisible)
{
    // Picking a path changes the line speed and reopens the link: not under a running sequence.
    if (windowVisible && t_.sequenceRunning()) {
        t_.ui().refresh(); // the check mark stays where it was
        return;
    }
    const ModulePathRow& row = modulePathRow(p);

    ResetModuleSelection();

    menus_.checked = p;
    t_.nOffset = row.nOffset; // 1600 on the panel paths, else 800 as reset

    if (enablesAcuReset(p))
        menus_.acuResetEnabled = true;
    if (disablesParamDumps(p)) {
        menus_.acuParamDumpEnabled = false;
        menus_.pcuParamDumpEnabled = false;
    }
    if (p == ModulePath::QM7000)
        menus_.onOffLabelVisible = true;
    if (isAutoUploadPath(p) || p == ModulePath::SPG2pcu)
        ApplyPathButtons();
    menus_.vantorCommsEnabled = t_.linkOpen() && p == ModulePath::OrlaPCU;

    t_.moduleLabel = row.label;
    t_.dataPath = p == ModulePath::Data;
    t_.qm7000 = p == ModulePath::QM7000;

    if (windowVisible) {
        t_.settings = std::to_string(row.baud) + "," + lineFormat(t_.settings);
        if (store_) {
            store_->save(common::kSection, "Direct", row.code);
            store_->save(common::kSection, "Settings", t_.settings);
        }
        if (t_.linkOpen()) {
            // Close and open again, so the port takes the path's speed.
            t_.mnuOpen_Click();
            t_.mnuOpen_Click();
        }
    }
    t_.ui().refresh();
}

bool ModulePaths::SelectMenu(std::string_view menuName, bool windowVisible)
{
    const auto p = modulePathForMenu(menuName);
    if (!p)
        return false;
    Select(*p, windowVisible);
    return true;
}

void ModulePaths::Restore()
{
    const std::string code = store_ ? store_->get(common::kSection, "Direct", "DATA") : "DATA";
    Select(modulePathForCode(code).value_or(ModulePath::Data), false);
}

// ------------------------------------------------------------------------------------------

void ModulePaths::QueryModuleStatus()
{
    if (!t_.BeginCommand())
        return;
    switch (menus_.checked) {
    case ModulePath::QM7000:
    case ModulePath::Data:
        t_.CommOut("AT$QCSTATUS" + kCrLf);
        break;
    case ModulePath::TAVp:
    case ModulePath::TAV8p:
        t_.CommOut("?S" + kCrLf);
        break;
    case ModulePath::TAV8m1:
        t_.CommOut("<0000" + kCrLf);
        break;
    case ModulePath::TAV8m2:
        t_.CommOut(">0000" + kCrLf);
        break;
    case ModulePath::TAV8mdb:
    case ModulePath::USBmdb:
        t_.CommOut("]6000" + kCrLf);
        break;
    case ModulePath::TAVd:
    case ModulePath::TAV8d:
    case ModulePath::CPdvb:
        t_.LogLine("");
        t_.CommOut("w!   " + kCrLf);
        break;
    case ModulePath::OrlaPCU:
        t_.CommOut("$" + kCrLf);
        break;
    case ModulePath::Vantor:
        break; // the Vantor application has no status query
    default:
        t_.CommOut(kEsc + "S");
        break;
    }
}

void ModulePaths::QueryModuleVersion()
{
    if (!t_.BeginCommand())
        return;
    switch (menus_.checked) {
    case ModulePath::TAVp:
    case ModulePath::TAV8p:
    case ModulePath::USBpcu:
        t_.CommOut("?V" + kCrLf);
        break;
    case ModulePath::USBmdb:
        t_.CommOut("*" + kCrLf);
        break;
    case ModulePath::TAVd:
    case ModulePath::TAV8d:
    case ModulePath::CPdvb:
        t_.CommOut("wV   " + kCrLf);
        if (!t_.linkOpen())
            break; // warned once already; the second line could not go either
        t_.TxSettle(50);
        t_.CommOut("w!   " + kCrLf);
        break;
    case ModulePath::TAV8m1:
        t_.CommOut("<0411" + kCrLf);
        break;
    case ModulePath::TAV8m2:
        t_.CommOut(">0411" + kCrLf);
        break;
    case ModulePath::TAV8mdb:
        t_.CommOut("]0411" + kCrLf);
        break;
    case ModulePath::OrlaPCU:
        t_.CommOut("V" + kCrLf);
        break;
    case ModulePath::Vantor:
        t_.CommOut("verA\r");
        break;
    default:
        t_.CommOut(kEsc + "V");
        break;
    }
}

// ------------------------------------------------------------------------------------------

void ModulePaths::ExpertMode_Click()
{
    menus_.expertMode = !menus_.expertMode;
    t_.ui().refresh();
}

bool ModulePaths::ModemTune_Click()
{
    if (!menus_.expertMode || menus_.modemTuneRunning)
        return false;
    // The stream is a long sequence of its own: it cannot start under another, and nothing
    // else that would use the link starts while it runs; its Cancel always reaches it.
    tuneSequence_ = std::make_unique<Terminal::Sequence>(t_);
    if (!tuneSequence_->started()) {
        tuneSequence_.reset();
        return false;
    }
    if (!timer3_) {
        timer3_ = t_.clock().createTimer();
        timer3_->setInterval(kModemTuneTick);
        timer3_->onTick = [this] { modemTuneTick(); };
    }
    menus_.modemTuneRunning = true;
    timer3_->setEnabled(true);
    t_.ui().refresh();
    return true;
}

void ModulePaths::ModemTuneCancel()
{
    if (menus_.modemTuneRunning)
        stopModemTune(true);
}

void ModulePaths::stopModemTune(bool byCancel)
{
    if (timer3_)
        timer3_->setEnabled(false);
    menus_.modemTuneRunning = false;
    tuneSequence_.reset();
    if (onModemTuneStopped)
        onModemTuneStopped(byCancel);
    t_.ui().refresh();
}

long ModulePaths::bufferCount()
{
    if (outputCount)
        return outputCount();
    common::Link* l = t_.link();
    return l && !l->outputDrained() ? static_cast<long>(kSyncString.size()) : 0;
}

void ModulePaths::write(const std::string& text)
{
    t_.screen.trim();
    t_.screen.append(text);
}

void ModulePaths::modemTuneTick()
{
    // A message box or a reconnect wait inside CommOut keeps events flowing; a tick arriving
    // meanwhile is skipped rather than nested.
    if (inTick_ || !menus_.modemTuneRunning)
        return;
    inTick_ = true;
    if (!t_.linkOpen()) {
        // Stop first, so the closed-link warning is shown once, not every 100 ms.
        stopModemTune(false);
        t_.CommOut(kSyncString);
        inTick_ = false;
        return;
    }
    const long count = bufferCount();
    write(std::to_string(count) + " ");
    if (count < kModemTuneLowWater) {
        t_.CommOut(kSyncString);
        write(std::to_string(bufferCount()) + "+");
        if (!t_.linkOpen())
            stopModemTune(false); // the send found the connection gone and said so
    }
    t_.ui().refresh();
    inTick_ = false;
}

void ModulePaths::Instructions()
{
    if (openDocument)
        openDocument(kInstructionsDocument);
}

} // namespace term
