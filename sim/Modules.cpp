#include "sim/Modules.h"

#include "sim/AcuBoot.h"
#include "sim/EchoTerminal.h"
#include "sim/Modems.h"
#include "sim/OrlaBoot.h"
#include "sim/PanelPcu.h"
#include "sim/PcuBoot.h"
#include "sim/PcuDirectBoot.h"
#include "sim/SlcdBoot.h"
#include "sim/TerminalAcu.h"
#include "sim/Vantor.h"
#include "sim/VantorBoot.h"

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
        {"pcu-boot", "the PCU behind the ACU during a firmware upload: \"?S\" / \"?V\", the bootloader start, erase and transfer through the ACU's \"?\" / \"#\" lines, \"_\" for a refused record"},
        {"mde-boot", "the motor driver behind the ACU and the PCU during a firmware upload: bootloader start (\"D\"), erase, transfer, \"#\" at the end for a refused record"},
        {"modem-boot", "the BDE / ADE modem behind the ACU during a firmware upload: erase (\"<0578\") and transfer in \"#\" fragments"},
        {"pcu-usb", "the PCU on its USB port during a firmware upload: version, bootloader (\"USB\"), erase, one record a line echoed, \"Ok\"; the device goes away while the PCU restarts"},
        {"pcu-service", "the PCU on its service port during a firmware upload: as pcu-usb, the bootloader says \"Service\", the port stays"},
        {"mde-usb", "the motor driver on its USB port during a firmware upload: \"MDB V\", bootloader (\"USB\"), erase, records echoed, \"Ok\"; the device goes away while it restarts"},
        {"brine-boot", "the Brine PCU on its own port during a firmware upload: \"^0578\" with no line end, one record a line"},
        {"vantor-boot", "the Vantor on its USB port during an update: its application (\"verA\", \"^BL\") and its bootloader (\"verB\", erase, S-records one a line); the port goes away at each restart"},
        {"orla-boot", "the Orla PCU behind the Vantor's telemetry stream during an update: its bootloader (\"^B\", erase, S-records each answered, \"CRC is GOOD\")"},
        {"slcd", "the SLCD behind the Vantor's USB port during an update: link check, size, erase, the BIN image in 128-byte blocks each answered \"*\", the firmware update"},
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
    if (name == "pcu-boot")
        return std::make_unique<PcuBoot>(shared, PcuBoot::Unit::Pcu);
    if (name == "mde-boot")
        return std::make_unique<PcuBoot>(shared, PcuBoot::Unit::Mde);
    if (name == "modem-boot")
        return std::make_unique<PcuBoot>(shared, PcuBoot::Unit::Modem);
    if (name == "pcu-usb")
        return std::make_unique<PcuDirectBoot>(PcuDirectBoot::Kind::PcuUsb);
    if (name == "pcu-service")
        return std::make_unique<PcuDirectBoot>(PcuDirectBoot::Kind::PcuService);
    if (name == "mde-usb")
        return std::make_unique<PcuDirectBoot>(PcuDirectBoot::Kind::MdeUsb);
    if (name == "brine-boot")
        return std::make_unique<BrineBoot>();
    if (name == "vantor-boot")
        return std::make_unique<VantorBoot>();
    if (name == "orla-boot")
        return std::make_unique<OrlaBoot>(shared);
    if (name == "slcd")
        return std::make_unique<SlcdBoot>();
    return nullptr;
}

ModuleModel::ModuleModel(std::string_view name) : module_(makeModule(name, device_))
{
    if (!module_)
        throw std::invalid_argument("no module named " + std::string(name));
}

} // namespace sim
