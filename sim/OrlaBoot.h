#pragma once
// Module "orla-boot": the Orla PCU behind the Vantor, as the terminal's auto upload meets it on
// "Orla PCU via Vantor" (9600). The Vantor in front streams its telemetry; the PCU behind it
// runs its application or its bootloader. Answers end with CR LF.
//
// The Vantor: one telemetry line every streamPeriod ("VNT 0001 AZ 180.0 EL 30.0 AGC 850 TRK",
// the shared antenna), stopped at once by "$" and started again by "%" (each one byte, acted
// on wherever it comes). Stream::Quiet starts with it stopped; Stream::Endless sends a line
// every endlessPeriod that "$" does not stop (at least 25 characters in any 100 ms).
//
// The PCU's application takes only "^B" (a line ended by CR): its bootloader starts and says
// "Orla PCU BootLoader 2.01" at once (Faults::bootFailures: that many "^B" are not taken;
// Start::Deaf: none ever is).
//
// The bootloader:
//   "$"               (after the Vantor's own effect) its menu "ERASE / LOAD / RUN ?"
//   "^B"              the banner again
//   "^0578"           "Erasing..." at once, "OK" eraseTime later (Faults::erase: "FAIL", or
//                     nothing at all); then a new image begins
//   an S-record line  one character at once: "." taken, "X" refused (sim::readRecord's verdicts,
//                     and any record before the erase or after the end). The end record (S7, S8,
//                     S9) is followed crcTime later by "CRC is GOOD" ("CRC is BAD" when a
//                     record was refused since the erase, or Faults::badCrc); rebootTime after
//                     that the application runs again
//   any other line    "?"
// Faults::silentAfterRecords: after that record of an image nothing more is answered.
#include "sim/AcuDevice.h"
#include "sim/TerminalModule.h"
#include "sim/VantorBoot.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class OrlaBoot : public TerminalModule {
public:
    enum class Stream { Streaming, Quiet, Endless };
    enum class Start {
        Application, // the PCU's application runs (the normal case)
        Bootloader,  // its bootloader runs already
        Deaf,        // the application never takes "^B"
    };
    enum class Mode { Application, Bootloader };
    enum class EraseFault { None, Fails, Silent };
    struct Faults {
        int bootFailures = 0;
        EraseFault erase = EraseFault::None;
        int silentAfterRecords = 0; // answer nothing after this record (0: never)
        bool badCrc = false;
    };

    static constexpr Ms streamPeriod{500};
    static constexpr Ms endlessPeriod{50};
    static constexpr int maxLinesPerStep = 4;
    static constexpr Ms eraseTime{1500};
    static constexpr Ms crcTime{300};
    static constexpr Ms rebootTime{2000};
    static constexpr std::size_t maxLine = 600;
    static constexpr const char* banner = "Orla PCU BootLoader 2.01";
    static constexpr const char* menu = "ERASE / LOAD / RUN ?";
    static constexpr const char* erasing = "Erasing...";
    static constexpr const char* eraseOk = "OK";
    static constexpr const char* eraseFailed = "FAIL";
    static constexpr const char* taken = ".";
    static constexpr const char* refusedEcho = "X";
    static constexpr const char* crcGood = "CRC is GOOD";
    static constexpr const char* crcBad = "CRC is BAD";

    explicit OrlaBoot(AcuDevice& device);

    void setStream(Stream s);
    // Puts the PCU in that state now, as if it had just been switched on so.
    void setStart(Start s);
    Faults& faults() { return faults_; }

    void receive(const std::string& bytes) override;

    Mode mode() const { return mode_; }
    bool streaming() const { return streaming_; }
    int streamLines() const { return lines_; }
    int bootStarts() const { return bootStarts_; }
    int erases() const { return erases_; }
    // Records of the image since the erase (taken or refused).
    int recordsReceived() const { return received_; }
    const RecordImage& image() const { return image_; }
    // Runs when the end record has been taken (e.g. to write the image out).
    std::function<void(const OrlaBoot&)> onEnd;

    static std::optional<Stream> streamNamed(std::string_view name);
    static const std::vector<std::string_view>& streamNames();
    static std::optional<Start> startNamed(std::string_view name);
    static const std::vector<std::string_view>& startNames();
    static std::optional<EraseFault> eraseFaultNamed(std::string_view name);
    static const std::vector<std::string_view>& eraseFaultNames();

protected:
    void handle(const Received& r) override;
    void tick() override;

private:
    enum class Pending { None, Erase, Crc, Reboot };
    void handleBootloader(const std::string& line);
    void schedule(Pending what, Ms after);
    std::string streamLine() const;

    AcuDevice& device_;
    Faults faults_;
    Stream stream_ = Stream::Streaming;
    bool streaming_ = true;
    int lines_ = 0;
    Ms nextLine_{0};
    Mode mode_ = Mode::Application;
    bool deaf_ = false;
    bool silent_ = false;
    int bootStarts_ = 0;
    int erases_ = 0;
    int received_ = 0;
    Pending pending_ = Pending::None;
    Ms due_{0};
    LineCutter cutter_{maxLine};
    RecordImage image_;
};

} // namespace sim
