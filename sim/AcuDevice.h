#pragma once
// The simulated Antenna Control Unit and the pedestal behind it: the state the equipment keeps
// (parameter memory, antenna axes, tracking, ship heading and position, receiver, PCU modes)
// and what it does with one framed command. Time passes only through advance().
//
// The device knows nothing of links: AcuPort frames the byte stream, applies faults and
// queues the replies. Several ports may share one device, as the serial and network ports of
// one controller do.
#include "sim/CommandParser.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// Flag bits of the status words (six per word, bits 0 to 5).
namespace flag {
// ACU status word 1
inline constexpr unsigned slowScan = 1u << 5;
inline constexpr unsigned satReference = 1u << 4;
inline constexpr unsigned tracking = 1u << 3;
inline constexpr unsigned unwrap = 1u << 2;
// ACU status word 2
inline constexpr unsigned azTarget = 1u << 5;
inline constexpr unsigned elPolTarget = 1u << 4;
inline constexpr unsigned validHeading = 1u << 3;
inline constexpr unsigned blockMute = 1u << 2;
inline constexpr unsigned initializing = 1u << 1;
inline constexpr unsigned searching = 1u << 0;
// ACU error word 1
inline constexpr unsigned satelliteRange = 1u << 5;
inline constexpr unsigned pcuError = 1u << 3;
// ACU error word 2
inline constexpr unsigned azServoLimit = 1u << 2;
// PCU word 1
inline constexpr unsigned pcuSlowScan = 1u << 5;
inline constexpr unsigned pcuSatRefEnabled = 1u << 4;
inline constexpr unsigned pcuCirclex = 1u << 3;
// PCU word 2
inline constexpr unsigned pcuAzTarget = 1u << 5;
inline constexpr unsigned pcuSatRefActive = 1u << 4;
inline constexpr unsigned pcuValidHeading = 1u << 3;
inline constexpr unsigned pcuErrorSummary = 1u << 2;
inline constexpr unsigned pcuInit = 1u << 1;
inline constexpr unsigned pcuHiElevation = 1u << 0;
// PCU word 3
inline constexpr unsigned pcuAzTorqueLimit = 1u << 2;
// Receiver status byte
inline constexpr unsigned fecMask = 7u;
inline constexpr unsigned fecStar = 1u << 3;
inline constexpr unsigned tone = 1u << 4;
inline constexpr unsigned lnb18V = 1u << 5;
// Receiver flags (companion byte)
inline constexpr unsigned carrierLock = 1u << 0;
} // namespace flag

// Codes of the PCU parameters (the "n" commands) the simulation itself uses.
namespace pcuParam {
inline constexpr unsigned char circlex = '7';  // live: 1 while circlex runs
inline constexpr unsigned char scanRate = '8'; // slow-scan azimuth rate, tenths of a degree a second
inline constexpr unsigned char error = '9';    // live: PCU word 3's flag bits
inline constexpr unsigned char stat1 = ';';    // live: PCU word 1's flag bits
} // namespace pcuParam

// Codes of the ACU parameters the simulation itself uses. Multi-byte values are kept as a
// high and a low byte under two consecutive codes, as the controller stores them.
namespace param {
inline constexpr unsigned char elStepSize = 'G';
inline constexpr unsigned char azStepSize = 'H';
inline constexpr unsigned char systemType = 'N';  // bit 0: load the satellite on reset
inline constexpr unsigned char polangType = 'P';
inline constexpr unsigned char latitudeHi = 'b';  // + 'c': tenths of a degree
inline constexpr unsigned char latitudeNS = 'd';  // bit 0 set: south
inline constexpr unsigned char longitudeHi = 'e'; // + 'f': tenths of a degree
inline constexpr unsigned char longitudeEW = 'g'; // bit 4 set: west
inline constexpr unsigned char satLonHi = 'h';    // + 'i': tenths of a degree
inline constexpr unsigned char satEW = 'j';       // bit 4 set: west
inline constexpr unsigned char localHeadingHi = 'k'; // + 'l': sixths of a degree
inline constexpr unsigned char headingHi = 'm';   // + 'n': tenths of a degree
inline constexpr unsigned char thresholdHi = 'o'; // + 'p'
inline constexpr unsigned char frequencyHi = 'q'; // + 'r': MHz
inline constexpr unsigned char symbolRateHi = 's'; // + 't': the field the "q" reply carries
inline constexpr unsigned char fec = 'u';         // FEC code in bits 4 to 7
inline constexpr unsigned char agcHi = 'w';       // + 'x': live, level x 16
inline constexpr unsigned char extAgcHi = 'y';    // + 'z': live, external AGC x 16
inline constexpr unsigned char polHi = '{';       // + '|': live, polarisation target
inline constexpr unsigned char nidHi = '}';       // + '~'
inline constexpr unsigned char trackDisplay = 129;
inline constexpr unsigned char skew = 138;
// Blockage zones: two azimuth limits each (relative to the bow, tenths, high and low byte)
// and the elevation (degrees) below which the antenna is blocked between them.
struct BlockZone {
    unsigned char azFromHi, azToHi, elevation;
};
inline constexpr BlockZone blockZones[] = {{'S', 'U', 134}, {'Y', '[', 135}, {']', '_', 136}};
// System Type bit: after a reset the satellite is loaded and tracking starts by itself.
inline constexpr unsigned satLoadOnReset = 1u;
} // namespace param

// Faults of the equipment itself, shown in the error words until reset.
struct ErrorBits {
    unsigned acuError1 = 0; // ORed into ACU error word 1
    unsigned acuError2 = 0; // ACU error word 2
    unsigned pcuWord3 = 0;  // PCU word 3 (servo and stability limits)
    unsigned pcuWord4 = 0;  // PCU word 4 (hardware faults)
};

// A direction in tenths of a degree.
struct Direction {
    double azimuth = 0;
    double elevation = 0;
};

class AcuDevice {
public:
    // Slew rates of the axes, tenths of a degree per second.
    static constexpr double azimuthRate = 60;
    static constexpr double elevationRate = 40;
    static constexpr double crossLevelRate = 40;
    static constexpr double polarisationRate = 100;
    // Elevation travel, tenths of a degree.
    static constexpr double elevationMin = 0;
    static constexpr double elevationMax = 900;
    // Polarisation travel: two turns of the feed, 360.0 in the middle.
    static constexpr double polarisationMax = 7200;
    // Cross-level: 900 is level.
    static constexpr double crossLevelMin = 600;
    static constexpr double crossLevelMax = 1200;
    // Half-power beam width, degrees.
    static constexpr double beamWidth = 2.0;
    // Pointing error below which the search has found the satellite, degrees.
    static constexpr double captureError = 1.0;
    // How long the Initializing flags show after power-up or a restart; the axes hold still.
    static constexpr Ms initializingTime{3000};
    // Where the antenna rests at power-up: over the bow, tenths of a degree of elevation.
    static constexpr double stowElevation = 450;
    // Integration step of the axes.
    static constexpr Ms motionStep{20};
    // Circlex (conical scan): the beam cones around the target with this radius (degrees),
    // one turn in this time.
    static constexpr double circlexRadius = 0.1;
    static constexpr Ms circlexPeriod{1013};
    // Loop errors are counted in 0.005 degree, torque commands and loop errors about 128,
    // the sensors about 2048.
    static constexpr double loopErrorCount = 0.005;
    static constexpr int streamZero = 128;
    static constexpr int sensorZero = 2048;
    // Sensor scales: tilt counts a degree, azimuth reference counts a degree, rate counts a
    // degree per second.
    static constexpr double tiltCounts = 40;
    static constexpr double azReferenceCounts = 2;
    static constexpr double rateCounts = 20;
    // The cross-level torque drive ("^3" + three digits): a drive of 100 moves the axis at
    // crossLevelRate.
    static constexpr double fullDrive = 100;

    // A device already on the satellite and tracking (what tests start from).
    AcuDevice();

    // Switches the controller on afresh: the antenna rests in its stow position, tracking is
    // off and the Initializing flags show for initializingTime. Then, when System Type has
    // "load the satellite on reset", tracking starts: Searching while the antenna slews to
    // the satellite, then azimuth and elevation on target.
    void powerUp();

    // Lets time pass: the axes move toward their targets, tracking follows the satellite.
    void advance(Ms dt);
    Ms now() const { return now_; }

    // False for the commands the controller never answers ("C", "D" and the DVB version
    // request "wV", whose answer comes with "w!").
    static bool answers(const Command& cmd);
    // Carries out one command; returns the reply line (no line end) or nothing. escaped: ESC
    // came before it (the terminal's form of the ACU's own commands). The one difference it
    // makes: an "n" (PCU parameter) command without ESC is passed on to the PCU, which
    // answers in its own layout ("n040 1"); with ESC the ACU answers it in the "m" layout
    // ("n1040").
    std::optional<std::string> execute(const Command& cmd, bool escaped = false);
    // The reply given instead when the controller is too busy to take the command.
    static std::string busyReply(const Command& cmd, bool escaped = false);

    // --- state, in tenths of a degree where angles
    double azimuth() const { return az_; }
    double elevation() const { return el_; }
    double crossLevel() const { return cl_; }
    double polarisation() const { return pol_; }
    double azimuthTarget() const { return azTarget_; }
    double elevationTarget() const { return elTarget_; }
    // Put the antenna somewhere at once (tests, start position).
    void placeAntenna(double azimuth, double elevation);

    bool tracking() const { return tracking_; }
    void setTracking(bool on) { tracking_ = on; }

    // Ship heading including the ship's yaw, tenths of a degree 0..3599.
    int shipHeading() const;
    // Antenna azimuth relative to the bow, 0..3599.
    int relativeAzimuth() const;
    // Ship motion (yaw, roll, pitch) and the small noise on the receiver and sensor readings;
    // on by default. Off gives a calm sea and exact, repeatable readings.
    void setShipMotion(bool on) { shipMotion_ = on; }

    // Where the satellite is seen from the ship, and how far the beam is off it (degrees).
    Direction satelliteDirection() const;
    double pointingError() const;

    // Receiver: the signal level shown (the status reply carries three times this value),
    // the level at any frequency, the external modem AGC (hundredths of a volt).
    int signalLevel() const;
    int levelAt(int frequencyMHz) const;
    int externalAgc() const;
    bool carrierLock() const;
    // The satellite's wanted carrier, the strongest line of its spectrum (MHz). It starts at
    // the receiver frequency of the defaults; retuning the receiver does not move it.
    int carrierFrequency() const { return carrierFrequency_; }
    void setCarrierFrequency(int mhz) { carrierFrequency_ = mhz; }

    unsigned acuWord1() const;
    unsigned acuWord2() const;
    unsigned acuError1() const;
    unsigned acuError2() const;
    unsigned pcuWord1() const;
    unsigned pcuWord2() const;
    unsigned pcuWord3() const;
    unsigned pcuWord4() const;
    unsigned receiverStatus() const;

    void injectErrors(const ErrorBits& e) { errors_ = e; }
    const ErrorBits& injectedErrors() const { return errors_; }
    // An azimuth servo fault: the PCU's azimuth torque limit (PCU word 3) and the ACU's
    // azimuth servo limit (error word 2), with the PCU error bits that follow from it. They
    // show until the errors are reset ("&").
    void raiseServoFault();
    // Raises the servo fault once, after this much more device time.
    void scheduleServoFault(Ms after) { faultDue_ = now_ + after; }
    bool servoFaultScheduled() const { return faultDue_.has_value(); }

    // True when the antenna points into a blockage zone (ACU word 2, Block / Mute).
    bool blocked() const;

    // Parameter memory: one 16-bit value per code. parameter() gives what a read answers
    // (the live value for the measured codes).
    std::uint16_t parameter(unsigned char code) const;
    void setParameter(unsigned char code, std::uint16_t value) { params_[code] = value; }
    // What a PCU parameter read answers (the live value for the measured codes).
    std::uint16_t pcuParameter(unsigned char code) const;
    // The slow-scan azimuth rate, tenths of a degree a second (PCU parameter 8).
    int scanRate() const { return pcuParams_[pcuParam::scanRate]; }
    bool slowScan() const { return slowScan_; }
    bool circlex() const { return circlex_; }
    // The cross-level torque drive (0 = none) and the way it pushes (+1 up, -1 down).
    int crossLevelDrive() const { return clDrive_; }
    int crossLevelDriveSign() const { return clDriveSign_; }
    // Two consecutive codes as one 16-bit value (high byte first).
    int wordParameter(unsigned char hiCode) const;
    void setWordParameter(unsigned char hiCode, int value);

    int tunedFrequency() const { return wordParameter(param::frequencyHi); }
    int threshold() const { return wordParameter(param::thresholdHi); }
    bool toneOn() const { return tone_; }
    bool lnb18V() const { return lnb18V_; }

    static std::string versionLine();

private:
    std::optional<std::string> query(unsigned char c);
    std::optional<std::string> line(const std::string& text, bool escaped);
    std::string parameterCommand(const std::string& text);
    std::string pcuQuery(const std::string& text);
    std::string pcuMode(const std::string& text);
    std::string receiverFrequency(const std::string& text);
    std::string nmea(const std::string& text);
    std::string status() const;

    void stepMotion(double seconds);
    void setDefaults();
    bool initializing() const { return now_ < initializingUntil_; }
    void startInitializing(bool loadSatellite);
    double yaw() const;   // degrees
    double roll() const;  // degrees
    double pitch() const; // degrees
    // Repeatable noise in -amplitude..amplitude, its own for each channel, new every
    // motionStep; 0 in a calm sea.
    double noise(double amplitude, unsigned channel) const;
    // A slowly wandering mean in -amplitude..amplitude (periods of a minute or two), its own
    // for each channel; 0 in a calm sea.
    double drift(double amplitude, unsigned channel) const;
    // Where the conical scan stands in its turn now, radians 0..2 pi.
    double circlexAngle() const;
    std::string referenceSensors() const;
    std::string rateSensors() const;
    std::string loopErrors() const;
    std::string torqueCommands() const;
    std::string pcuParameterCommand(const std::string& text, bool escaped);

    Ms now_{0};
    double az_ = 1800, el_ = 300, cl_ = 900, pol_ = 3600; // the feed rests mid-travel
    double azTarget_ = 1800, elTarget_ = 300, clTarget_ = 900, polTarget_ = 3600;
    double azSpeed_ = 0, elSpeed_ = 0, clSpeed_ = 0; // last step, tenths per second
    int clDrive_ = 0, clDriveSign_ = 0;
    int carrierFrequency_ = 1150;
    bool tracking_ = false;
    bool shipMotion_ = true;
    bool slowScan_ = false, satRef_ = false, circlex_ = false;
    bool tone_ = false, lnb18V_ = true;
    Ms initializingUntil_{0};
    bool satLoadPending_ = false; // start tracking when initializing ends (System Type bit 0)
    std::optional<Ms> faultDue_;
    ErrorBits errors_;
    std::array<std::uint16_t, 256> params_{};
    std::array<std::uint16_t, 256> saved_{};
    std::array<std::uint16_t, 256> pcuParams_{};
};

} // namespace sim
