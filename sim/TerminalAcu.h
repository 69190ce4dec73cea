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
// Position and heading sentences are checked (NmeaLog) and then used. "[?" CR LF lists the
// communications interface's network settings ("IP=...", each entry ended by CR). Parameter
// reads can be refused with the busy mark on demand. Every answer ends with CR LF and the
// prompt ">". Everything received is kept in the record, ESC marks included.
#include "sim/AcuDevice.h"
#include "sim/Modems.h"
#include "sim/Nmea.h"
#include "sim/TerminalModule.h"

namespace sim {

// The communications interface's network settings, as "[?" lists them.
struct NetworkSettings {
    std::string ip = "192.168.0.195";
    std::string mask = "255.255.255.0";
    std::string gateway = "192.168.0.1";
    std::string tcpPort0 = "2000";
    std::string tcpPort1 = "2001";
    std::string udpPort = "3000";
    std::string baudMC = "9600";
    std::string baudNmeaA = "4800";
    std::string baudNmeaB = "4800";
    // "IP=" ip CR "NM=" mask CR "GW=" gateway CR "P0=" ... "BB=" baud CR (the line end follows)
    std::string listing() const;
};

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
    NetworkSettings& network() { return network_; }
    // Busy answers on demand: the next n parameter reads ("m" and "n" lines) are refused with
    // the busy mark ("mE###"), and, from then on, every nth one (0: none). A refused read
    // changes nothing.
    void refuseNextReads(int n) { refuseNext_ = n; }
    void setBusyEvery(int n) { busyEvery_ = n; }

protected:
    void handle(const Received& r) override;

private:
    AcuDevice& device_;
    NmeaLog nmea_;
    ModemUnit bde_ = ModemUnit::belowDecks();
    ModemUnit ade_ = ModemUnit::aboveDecks();
    MotorDriver mde_;
    int writes_ = 0;
    NetworkSettings network_;
    int refuseNext_ = 0;
    int busyEvery_ = 0;
    unsigned long reads_ = 0;
    bool busyNow();
};

} // namespace sim
