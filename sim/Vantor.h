#pragma once
// Module "vantor": the antenna control processor module, as the terminal reaches it on the
// "Orla PCU via Vantor" and "USB to Vantor App" paths.
//
// From the start it streams one telemetry line every 500 ms, ended by CR LF:
//   "VNT 0001 AZ 180.0 EL 30.0 AGC 850 TRK"   (count, true azimuth, elevation, level, and
//                                              INI / SRC / TRK / MAN for the antenna state)
// "$" stops the stream at once (Vantor comms off); "%" starts it again (comms on), the count
// going on where it stopped. "%" acts wherever it comes and drops a partial line (so a "$"
// sent without a line end does not swallow what is typed next). What follows a "$" up to
// CR / LF is one line:
//   "$" alone             status: "VANTOR STATUS OK STREAM OFF"
//   "$GPGLL,..."          ship position, "$HDHDT,..." ship heading: checked (NmeaLog) and
//                         used, no answer
// "@" and "H" (one byte each, sent after a position and a heading sentence) answer the
// position and heading as the ACU does ("@N0378W1222", "HR" + relative azimuth + heading).
// The lines "V" and "verA" answer the version. Any other line is answered "ERR " + the line.
#include "sim/AcuDevice.h"
#include "sim/Nmea.h"
#include "sim/TerminalModule.h"

namespace sim {

class Vantor : public TerminalModule {
public:
    static constexpr Ms linePeriod{500};
    // Stream lines sent at most per advance, however long the step.
    static constexpr int maxLinesPerStep = 4;

    explicit Vantor(AcuDevice& device);

    void receive(const std::string& bytes) override;

    bool streaming() const { return streaming_; }
    // Stream lines sent so far.
    int linesSent() const { return count_; }
    // The stream line as it would be sent now, the count of the next one included.
    std::string streamLine() const;
    NmeaLog& nmea() { return nmea_; }
    static std::string versionLine() { return "VANTOR APP VER 1.40 SIM"; }
    static std::string statusLine() { return "VANTOR STATUS OK STREAM OFF"; }

protected:
    void handle(const Received& r) override;
    void tick() override;

private:
    AcuDevice& device_;
    NmeaLog nmea_;
    bool streaming_ = true;
    int count_ = 0;
    Ms nextLine_ = linePeriod;
};

} // namespace sim
