#pragma once
// The satellite modems (below-decks BDE, above-decks ADE) and the motor driver (MDE), as the
// terminal reaches them through the ACU's translation port or, for the motor driver, over USB.
//
// Each unit takes line commands of its lead character and four digits:
//   BDE "<", ADE ">", MDE "]"   +  "0411" version, "0000" status, "0273" temperature,
//   modems "1234" serial number, MDE "6000" status and "6008" relative position over USB.
// The motor driver's USB port also answers "*" with its version. Other four-digit codes are
// acknowledged by their own text; anything else is answered "ERR " + the line.
#include "sim/TerminalModule.h"

#include <optional>
#include <string>

namespace sim {

// One modem.
class ModemUnit {
public:
    // lead "<" or ">", name "BDE" or "ADE", temperature in tenths of a degree Celsius.
    ModemUnit(char lead, std::string name, int temperature, std::string serialNumber);

    char lead() const { return lead_; }
    // The answer to one line of this unit (no line end); nothing for a line of another lead.
    std::optional<std::string> answer(const std::string& line) const;
    std::string versionLine() const { return name_ + " VER 3.30 SIM"; }

    // Status word (0: no fault; shown as four hexadecimal digits).
    void setStatusWord(unsigned w) { status_ = w & 0xFFFFu; }
    void setTemperature(int tenths) { temperature_ = tenths; }

    static ModemUnit belowDecks() { return ModemUnit('<', "BDE", 415, "20417733"); }
    static ModemUnit aboveDecks() { return ModemUnit('>', "ADE", 380, "20417734"); }

private:
    char lead_;
    std::string name_;
    int temperature_;
    std::string serial_;
    unsigned status_ = 0;
};

class MotorDriver {
public:
    // The answer to one line ("]" + four digits, or "*"); nothing for another lead.
    std::optional<std::string> answer(const std::string& line);
    static std::string versionLine() { return "MDE VER 1.12 SIM"; }

    void setStatusWord(unsigned w) { status_ = w & 0xFFFFu; }
    void setTemperature(int tenths) { temperature_ = tenths; }
    // Set by "]6008": the relative position is reported over USB.
    bool relativeUsb() const { return relativeUsb_; }

private:
    unsigned status_ = 0;
    int temperature_ = 450;
    bool relativeUsb_ = false;
};

// Module "modem": both modems behind one port, BDE on "<" and ADE on ">". The modem tune
// stream (the sync byte "U", 250 at a time) is counted and not answered. Answers end with
// CR LF and the prompt ">".
class ModemLink : public TerminalModule {
public:
    ModemLink();
    ModemUnit& bde() { return bde_; }
    ModemUnit& ade() { return ade_; }
    // Sync bytes "U" received so far.
    long syncBytes() const { return sync_; }

protected:
    void handle(const Received& r) override;
    // The tune stream is counted, not kept in the record.
    bool keeps(const Received& r) const override { return r.kind != Received::Kind::Byte; }

private:
    ModemUnit bde_ = ModemUnit::belowDecks();
    ModemUnit ade_ = ModemUnit::aboveDecks();
    long sync_ = 0;
};

// Module "mde": the motor driver on its own port. Answers end with CR LF and ">".
class MotorDriverLink : public TerminalModule {
public:
    MotorDriverLink();
    MotorDriver& mde() { return mde_; }

protected:
    void handle(const Received& r) override;

private:
    MotorDriver mde_;
};

} // namespace sim
