#include "sim/Modules.h"

#include "sim/AcuBoot.h"
#include "sim/EchoTerminal.h"
#include "sim/Modems.h"
#include "sim/PanelPcu.h"
#include "sim/TerminalAcu.h"
#include "sim/Vantor.h"

namespace sim {

const std::vector<ModuleInfo>& modules()
{
    static const std::vector<ModuleInfo> list = {
        {"echo", "data terminal: echoes typed keys, CR answered by CR LF and the prompt"},
        {"acu-terminal", "the ACU on the terminal's ACU paths (ESC commands, factory defaults, \"W\"), with the PCU, DVB, modems and motor driver behind it"},
        {"pcu-panel", "a PCU on a panel path: display codes 1 to 6 every 500 ms, status and version"},
        {"vantor", "the Vantor: telemetry lines until \"$\", again on \"%\"; position and heading sentences"},
        {"modem", "the below-decks (\"<\") and above-decks (\">\") modems: version, status, temperature, serial number"},
        {"mde", "the motor driver (\"]\", \"*\"): version, status, temperature, relative position over USB"},
        {"acu-boot", "the ACU during a firmware upload: its application (status, version, bootloader start) and its bootloader (erase, S-record transfer in \"#\" fragments, restart)"},
    };
    return list;
}

std::unique_ptr<TerminalModule> makeModule(std::string_view name, AcuDevice& shared)
{
    if (name == "echo")
        return std::make_unique<EchoTerminal>();
    if (name == "acu-terminal")
        return std::make_unique<TerminalAcu>(shared);
    if (name == "pcu-panel")
        return std::make_unique<PanelPcu>(shared);
    if (name == "vantor")
        return std::make_unique<Vantor>(shared);
    if (name == "modem")
        return std::make_unique<ModemLink>();
    if (name == "mde")
        return std::make_unique<MotorDriverLink>();
    if (name == "acu-boot")
        return std::make_unique<AcuBoot>(shared);
    return nullptr;
}

ModuleModel::ModuleModel(std::string_view name) : module_(makeModule(name, device_))
{
    if (!module_)
        throw std::invalid_argument("no module named " + std::string(name));
}

} // namespace sim
