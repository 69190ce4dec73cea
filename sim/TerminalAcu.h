#pragma once
// Module "acu-terminal": the ACU as the programming terminal meets it on the ACU paths, and
// through the ACU's translation port the PCU, the DVB receiver, the modems and the motor
// driver behind it.
//
// It takes the panel's command grammar (README, "Command grammar") with ESC before the
// commands meant for the ACU itself (ESC "S" status, ESC "V" version, ESC "\0087" save,
// ESC "\0090" restart, ESC "?V" CR LF ...), the factory-default parameter lines, and the
// write command "W" (one byte, no line end), which stores the parameters as "\0087" does.
// Lines of the modems ("<", ">") and the motor driver ("]") are answered by those units.
// Position and heading sentences are checked (NmeaLog) and then used. Every answer ends with
// CR LF and the prompt ">". Everything received is kept in the record, ESC marks included.
#include "sim/AcuDevice.h"
#include "sim/Modems.h"
#include "sim/Nmea.h"
#include "sim/TerminalModule.h"

namespace sim {

class TerminalAcu : public TerminalModule {
public:
    // A port of the given device; the device's time is advanced by its owner.
    explicit TerminalAcu(AcuDevice& device);

    AcuDevice& device() { return device_; }
    NmeaLog& nmea() { return nmea_; }
    ModemUnit& bde() { return bde_; }
    ModemUnit& ade() { return ade_; }
    MotorDriver& mde() { return mde_; }
    // "W" commands received so far.
    int writes() const { return writes_; }

protected:
    void handle(const Received& r) override;

private:
    AcuDevice& device_;
    NmeaLog nmea_;
    ModemUnit bde_ = ModemUnit::belowDecks();
    ModemUnit ade_ = ModemUnit::aboveDecks();
    MotorDriver mde_;
    int writes_ = 0;
};

} // namespace sim
