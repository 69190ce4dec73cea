#pragma once
// The bootloaders of the units the terminal programs besides the ACU, and the ACU in front of
// the three that sit behind it:
//   - "pcu-boot": the PCU behind the ACU (Tav 07 / Tav 8K to PCU);
//   - "mde-boot": the motor driver behind the ACU and the PCU (Tav 8K to G2 MDE);
//   - "modem-boot": the below- and above-decks modems behind the ACU (Tav 8K to BDE / ADE Modem).
// The directly connected units ("pcu-usb", "pcu-service", "mde-usb", "brine-boot") are in
// sim/PcuDirectBoot.h; all of them share the setup, the faults and the memory kept here.
//
// The ACU's translation port: a "?" line that carries a query letter ("?S", "?V") is a query
// to the PCU and answered at once; any other "?" line ("?    ", "?^", "?]", "?<", "?>") opens a
// pass-through line with the characters after the "?"; each "#" line adds its characters (blanks
// and VT left out) and "#!" hands the line to the unit behind. A "#!" with no line open is an
// end-of-transfer line. So "?^", "#0080", "#" VT, "#!" gives the PCU "^0080", its bootloader
// start; "?    ", "#^057", "#8   ", "#!" gives it "^0578", the erase; and a transfer line is
// "?    ", its "#" fragments, "#!" (or the next "?    "). The ACU itself answers ESC "S" and
// every other command as the "acu-terminal" module does; "\0090" restarts it.
#include "sim/AcuBoot.h"
#include "sim/TerminalAcu.h"
#include "sim/TerminalModule.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// What a unit's bootloader keeps of a transfer: the 64 KiB memory the S1 data go to and every
// record with its verdict, counted from 1 after each successful erase.
class BootMemory {
public:
    static constexpr std::size_t memorySize = 65536;
    static constexpr std::size_t maxRecordsKept = 16384;

    // A successful erase: the memory all 0xFF, a new transfer begins.
    void erase();
    // The bootloader (re)started: not erased, no transfer (the memory is kept).
    void forget();
    // Judges one record text (as joined or as received, without its line end). refuseRecord:
    // this record of the transfer is refused though good (0: none).
    RecordVerdict take(const std::string& text, int refuseRecord);

    bool erased() const { return erased_; }
    bool endSeen() const { return endSeen_; }
    bool s9Seen() const { return endSeen_ && endType_ == '9'; }
    bool refusedSinceErase() const { return refused_; }
    const std::vector<std::uint8_t>& memory() const { return memory_; }
    const std::vector<BootRecord>& records() const { return records_; }
    int recordsReceived() const { return received_; }
    int recordsAccepted() const { return accepted_; }
    int eraseCount() const { return erases_; }

private:
    void newTransfer();

    std::vector<std::uint8_t> memory_ = std::vector<std::uint8_t>(memorySize, 0xFF);
    std::vector<BootRecord> records_;
    bool erased_ = false;
    bool endSeen_ = false;
    char endType_ = 0;
    bool refused_ = false;
    int received_ = 0, accepted_ = 0, dataRecords_ = 0, erases_ = 0;
};

// How a unit starts and how it fails, for every module of this family.
struct UnitSetup {
    enum class Start {
        Application, // the unit's application runs (the normal case)
        Bootloader,  // its bootloader runs already (an upload broken off before)
        Silent,      // nothing answers, ever (behind the ACU: the ACU included)
        UnitSilent,  // behind the ACU: the ACU answers, the unit being programmed never does
    };
    Start start = Start::Application;
    std::string version;    // the version the application reports; empty: the unit's default
    int statusLength = 7;   // the PCU application's answer to "?S" as the screen counts it (3 to 40)
    int bootOnTry = 1;      // the bootloader starts at this start command (0: never)
    int refuseRecord = 0;   // this record of each transfer is refused though good (0: none)
    bool refuseErase = false;
    int silentAfterRecords = 0; // after this record of a transfer nothing is answered (0: never)
    bool noOk = false;      // direct units: the end record is answered without "Ok"
    Ms goneFor{3000};       // USB units: how long the device is away while the unit restarts
    // Runs when a transfer's end record has been taken (e.g. to write the memory out).
    std::function<void(const BootMemory&)> onEnd;

    static std::optional<Start> startNamed(std::string_view name);
    static const std::vector<std::string_view>& startNames();
};

// Common ground of the family: the setup, the memory, the start commands counted.
class UnitBoot : public TerminalModule {
public:
    static constexpr Ms restartTime{300}; // application to bootloader and back
    static constexpr Ms eraseTime{400};
    static constexpr int maxStatusLength = 40;

    // Puts the unit in the setup's start state now, as if it had just been switched on so; a
    // transfer and anything pending are forgotten (the memory is kept).
    virtual void configure(UnitSetup s) = 0;
    const UnitSetup& setup() const { return setup_; }
    const BootMemory& boot() const { return mem_; }
    // The unit being programmed runs its bootloader.
    bool inBootloader() const { return bootloader_; }
    // Start commands the unit received (counted in either state).
    int startCommands() const { return starts_; }
    // The unit said nothing more after a record (setup().silentAfterRecords).
    bool fellSilent() const { return fellSilent_; }
    // The version the application reports.
    const std::string& version() const { return version_; }

protected:
    UnitBoot(std::string lineEnd, LineFramer::Classifier c) : TerminalModule(std::move(lineEnd), c) {}
    // Common part of configure(): the setup, the version (or the default), a fresh state.
    void reset(UnitSetup s, const char* defaultVersion);
    // A start command: true when the bootloader is to start (the try the setup names, or any
    // later one; in the bootloader every start command counts).
    bool startAccepted();
    // One record of a transfer taken; false when the unit is silent from now on.
    RecordVerdict takeRecord(const std::string& text);

    UnitSetup setup_;
    BootMemory mem_;
    std::string version_;
    bool bootloader_ = false;
    bool fellSilent_ = false;
    int starts_ = 0;
};

class PcuBoot : public UnitBoot {
public:
    enum class Unit { Pcu, Mde, Modem };

    static constexpr Ms acuRestartTime{500}; // after "\0090" the ACU takes nothing
    static constexpr const char* pcuDefaultVersion = "7.05";
    static constexpr const char* mdeDefaultVersion = "2.04";
    static constexpr const char* modemDefaultVersion = "3.30";

    // The answers, without their line ends (CR LF; the ACU's own end with CR LF ">").
    static constexpr const char* commPrompt = ">";              // "[L", "[Z"
    static constexpr const char* pcuBootStatus = "BOOT OK";     // "?S" to the PCU's bootloader (9)
    static constexpr const char* unknown = "?";                 // a query or line the unit does not know
    static constexpr const char* pcuBanner = "PCU BOOTLOADER V2.10";
    static constexpr const char* mdeBanner = "MDE BOOTLOADER READY";
    static constexpr const char* modemBanner = "MODEM BOOTLOADER V1.02";
    static constexpr const char* erasing = "ERASING...";        // at once, no line end
    static constexpr const char* eraseDone = "+";               // after eraseTime
    static constexpr const char* eraseFailed = "FAIL";
    static constexpr const char* loadOk = "LOAD OK";
    static constexpr const char* loadFailed = "LOAD FAIL";
    static constexpr const char* mdeLoadFailed = "LOAD FAIL #";
    // A refused record: the PCU "_", the motor driver "#", a modem "-" (one character).
    static char refusedMark(Unit u) { return u == Unit::Pcu ? '_' : u == Unit::Mde ? '#' : '-'; }

    PcuBoot(AcuDevice& device, Unit unit);

    void configure(UnitSetup s) override;
    std::string terminated(const std::string& line) const override { return line + lineEnd::crLf; }

    Unit unit() const { return unit_; }
    // The ACU is in its remote-upload mode ("mE159" / "mE163" since its last restart).
    bool remoteMode() const { return remote_; }
    // The PCU's motor drives were disabled ("n0000").
    bool drivesDisabled() const { return drivesOff_; }
    // Lines handed on to the unit behind the ACU, oldest first (the last 256).
    const std::vector<std::string>& passedOn() const { return passed_; }
    // The application of the ACU, which answers what this module does not.
    TerminalAcu& acu() { return acu_; }

protected:
    void handle(const Received& r) override;
    void tick() override;
    bool keeps(const Received& r) const override;

private:
    enum class Pending { None, ToBootloader, ToApplication, EraseDone };

    void acuCommand(const Received& r);
    void query(char letter);
    void deliver(const std::string& text);
    void unitCommand(const std::string& text);
    void endOfTransfer();
    void schedule(Pending what, Ms after);
    bool unitAnswers() const;
    const char* startText() const;
    bool isEraseText(const std::string& text) const;

    TerminalAcu acu_;
    Unit unit_;
    bool silent_ = false;     // the ACU and everything behind it
    bool remote_ = false;
    bool drivesOff_ = false;
    std::optional<std::string> open_; // the pass-through line being filled
    RecordJoiner joiner_;
    bool verdictDue_ = false; // the motor driver answers the next end-of-transfer line
    std::vector<std::string> passed_;
    DelayedStep<Pending> pending_;
    Ms acuBackAt_{0};         // the ACU takes nothing before this (it restarts)
};

} // namespace sim
