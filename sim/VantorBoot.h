#pragma once
// Module "vantor-boot": the Vantor on its USB port, as "USB to Vantor App" updates it. Two
// programs answer, one at a time, the application and the bootloader; while the module
// restarts from one into the other its USB port is gone (a link cannot be opened, an open one
// is lost). Answers end with CR LF.
//
// Application:
//   "verA"            "Vantor Ver 1.40 SIM"
//   "^BL"             the USB port goes away at once; bootTime later it is back with the
//                     bootloader (or, for each of Faults::bootFailures, with the application
//                     again, as if the start had not taken)
//   any other line    "ERR " + the line
// Bootloader:
//   "verB"            "Vantor Boot Ver 1.02"
//   "^0578"           "ERASING..." at once, "ERASE OK" eraseTime later ("ERASE FAIL" with
//                     Faults::refuseErase); the memory is then all 0xFF and a new image begins
//   an S-record line  judged as sim::readRecord reads it (S0 to S9); a good one after the
//                     erase is taken in silence, any other answered "-". The end record (S7,
//                     S8, S9) answers "PROGRAM OK" ("PROGRAM FAIL" after a refused one); then
//                     the USB port goes away and restartTime later the application is back
//                     (never with Faults::noReturn)
//   any other line    "?"
// Lines end at CR or LF and may be 600 characters long; a longer one is refused up to its end.
//
// For tests the module reassembles what it took: the record lines in order (lines(), each as
// the terminal sent it without its line end) and the S1 data in a 64 KiB memory (memory()).
#include "sim/AcuBoot.h"
#include "sim/LinkDevice.h"
#include "sim/TerminalModule.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Cuts bytes into lines at CR or LF for the modules whose lines are longer than the common
// framing takes (whole S-records). Empty lines are not handed on; a line longer than the
// limit is handed on as overlong (its text cut at the limit) when its end comes.
class LineCutter {
public:
    explicit LineCutter(std::size_t limit) : limit_(limit) {}
    // Takes one byte; true when it ended a line, which is then in line (and overlong says
    // whether it was cut).
    bool take(char c, std::string& line, bool& overlong);
    void reset();
    bool inLine() const { return !text_.empty() || over_; }

private:
    std::size_t limit_;
    std::string text_;
    bool over_ = false;
};

// The records a bootloader took from the terminal, one S-record a line: judged, the S1 data
// put into a 64 KiB memory, the accepted lines kept in order.
class RecordImage {
public:
    static constexpr std::size_t memorySize = 65536;
    static constexpr std::size_t maxLinesKept = 65536;

    // A new image begins (after an erase): memory all 0xFF, nothing taken.
    void erase();
    // Judges one line (without its line end) and takes it when it is good, after the erase and
    // before the end. Returns the verdict.
    RecordVerdict take(const std::string& line);
    bool erased() const { return erased_; }
    bool endSeen() const { return endSeen_; }
    bool refusedAny() const { return refused_ > 0; }
    int accepted() const { return static_cast<int>(lines_.size()); }
    int refused() const { return refused_; }
    const std::vector<std::string>& lines() const { return lines_; }
    const std::vector<std::uint8_t>& memory() const { return memory_; }
    // The accepted lines, each followed by CR LF (as the file holds them when its lines end so).
    std::string text() const;

private:
    std::vector<std::uint8_t> memory_ = std::vector<std::uint8_t>(memorySize, 0xFF);
    std::vector<std::string> lines_;
    bool erased_ = false;
    bool endSeen_ = false;
    int refused_ = 0;
};

class VantorBoot : public TerminalModule {
public:
    enum class Mode { Application, Bootloader, Restarting };
    enum class Start {
        Application, // the application runs (the normal case)
        Bootloader,  // the bootloader runs already (an update broken off before)
        Silent,      // the port is there but nothing answers, ever
    };
    struct Faults {
        int bootFailures = 0;       // this many "^BL" bring the application back, not the bootloader
        Ms bootTime{1000};          // the USB port is gone this long after "^BL"
        Ms restartTime{2000};       // and this long after the end record
        bool refuseErase = false;   // "^0578" answered "ERASE FAIL"
        bool noReturn = false;      // after the end record the USB port never comes back
    };

    static constexpr Ms eraseTime{500};
    static constexpr std::size_t maxLine = 600;
    static constexpr const char* appVersion = "Vantor Ver 1.40 SIM";
    static constexpr const char* bootVersion = "Vantor Boot Ver 1.02";
    static constexpr const char* erasing = "ERASING...";
    static constexpr const char* eraseOk = "ERASE OK";
    static constexpr const char* eraseFailed = "ERASE FAIL";
    static constexpr const char* refused = "-";
    static constexpr const char* programOk = "PROGRAM OK";
    static constexpr const char* programFailed = "PROGRAM FAIL";

    VantorBoot();

    // Puts the module in that state now, as if it had just been switched on so.
    void setStart(Start s);
    Faults& faults() { return faults_; }

    void receive(const std::string& bytes) override;
    // In-process links: while the USB port is gone a link cannot be opened and an open one is lost.
    bool linkDropDue() const override { return !usbPresent() || TerminalModule::linkDropDue(); }

    Mode mode() const { return mode_; }
    bool usbPresent() const { return mode_ != Mode::Restarting; }
    // How many times the USB port has gone away.
    int usbDrops() const { return drops_; }
    // Bootloader starts asked for ("^BL") and taken.
    int bootRequests() const { return bootRequests_; }
    int erases() const { return erases_; }
    const RecordImage& image() const { return image_; }
    // Runs when the end record has been taken (e.g. to write the image out).
    std::function<void(const VantorBoot&)> onEnd;

    static std::optional<Start> startNamed(std::string_view name);
    static const std::vector<std::string_view>& startNames();

protected:
    void handle(const Received& r) override;
    void tick() override;

private:
    enum class Pending { None, Restart, Erase };
    void goAway(Mode next, Ms after);
    void handleApplication(const std::string& line);
    void handleBootloader(const std::string& line);

    Faults faults_;
    Mode mode_ = Mode::Application;
    Mode after_ = Mode::Application; // what runs once the restart is over
    bool silent_ = false;
    int drops_ = 0;
    int bootRequests_ = 0;
    int erases_ = 0;
    Pending pending_ = Pending::None;
    Ms due_{0};
    LineCutter cutter_{maxLine};
    RecordImage image_;
};

// The Vantor's USB port as tavsim serves it: the one module outlives the pseudo-terminals,
// which tavsim replaces each time the port goes away. Every link is a view of the module; a
// link drops once the module's port went away after it was made (or dropAfter after it was
// made, when set), and the newest link alive moves the module's time on.
std::function<std::unique_ptr<LinkDevice>(AcuDevice&)> vantorUsbLinks(std::shared_ptr<VantorBoot> module,
                                                                        Ms dropAfter = Ms{0});

} // namespace sim
