#include "sim/AcuDevice.h"

#include "sim/AcuReplies.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Earth radius over geostationary orbit radius.
constexpr double kEarthOverOrbit = 0.1513;

double rad(double deg) { return deg * kPi / 180.0; }
double deg(double r) { return r * 180.0 / kPi; }

// Wraps tenths of a degree into 0..3600.
double wrap3600(double t)
{
    t = std::fmod(t, 3600.0);
    return t < 0 ? t + 3600.0 : t;
}

// Shortest signed difference a - b in tenths, -1800..1800.
double azimuthDifference(double a, double b)
{
    double d = wrap3600(a - b);
    return d > 1800.0 ? d - 3600.0 : d;
}

// Moves value toward target by at most step; for azimuth the short way round.
double approach(double value, double target, double step)
{
    const double d = target - value;
    if (std::fabs(d) <= step)
        return target;
    return value + (d > 0 ? step : -step);
}

int roundInt(double v) { return static_cast<int>(std::lround(v)); }

// Reads a field of decimal digits (blanks after it allowed); nothing when it is not one.
std::optional<long> decimalField(const std::string& s)
{
    std::size_t end = s.find_last_not_of(' ');
    if (end == std::string::npos)
        return std::nullopt;
    const std::string f = s.substr(0, end + 1);
    if (f.size() > 6 || !std::all_of(f.begin(), f.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::strtol(f.c_str(), nullptr, 10);
}

std::optional<long> hexField(const std::string& s)
{
    if (s.empty() || s.size() > 4 || !std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
        return std::nullopt;
    return std::strtol(s.c_str(), nullptr, 16);
}

std::string errorReply(const std::string& text) { return "ERR " + text; }

// Transponders of the simulated satellite: centre (MHz of the L-band IF) and strength.
struct Transponder {
    double centre;
    double strength;
};
constexpr Transponder kTransponders[] = {
    {970, 0.55},  {1010, 0.8},  {1050, 0.7},  {1090, 0.9},  {1150, 1.0},
    {1190, 0.75}, {1230, 0.85}, {1290, 0.6},  {1350, 0.9},  {1410, 0.7},
    {1470, 0.8},  {1530, 0.65}, {1590, 0.9},  {1650, 0.7},  {1710, 0.6},
};
constexpr double kTransponderHalfWidth = 15.0; // MHz
// The transponders stand this far below the satellite's wanted carrier, which is narrower.
constexpr double kTransponderShare = 0.85;
constexpr double kCarrierHalfWidth = 9.0; // MHz

// A transponder's shape: flat on top, steep flanks.
double flank(double frequency, double centre, double halfWidth)
{
    const double x = (frequency - centre) / halfWidth;
    return 1.0 / (1.0 + x * x * x * x * x * x);
}

double spectrum(double frequency, double carrier)
{
    double best = flank(frequency, carrier, kCarrierHalfWidth);
    for (const auto& t : kTransponders)
        best = std::max(best, kTransponderShare * t.strength * flank(frequency, t.centre, kTransponderHalfWidth));
    return best;
}

constexpr int kNoiseFloor = 250;  // level with no satellite in the beam
constexpr int kPeakRise = 600;    // level rise on a full transponder, on target
constexpr int kSpectrumFloor = 200; // status AGC below the spectrum's zero

} // namespace

AcuDevice::AcuDevice()
{
    setDefaults();
    saved_ = params_;
    // Powered up, the satellite loaded and found: on target and tracking.
    const Direction sat = satelliteDirection();
    placeAntenna(sat.azimuth, sat.elevation);
    tracking_ = true;
}

void AcuDevice::setDefaults()
{
    params_.fill(0);
    // Trims (tenths, 16-bit as high and low byte): elevation +1.2, azimuth -0.5.
    setWordParameter('A', 12);
    setWordParameter('C', -5);
    // Step and search settings.
    params_['F'] = 100; // auto threshold
    params_[param::elStepSize] = 4;
    params_[param::azStepSize] = 4;
    params_['I'] = 5;   // step integral
    params_['J'] = 10;  // search increment
    params_['K'] = 100; // search limit
    params_['L'] = 30;  // search delay
    params_['M'] = 5;   // sweep increment
    params_[param::systemType] = 65; // sat load on reset, LNB voltage on
    params_['O'] = 2;   // gyro type
    params_[param::polangType] = 64; // auto pol
    params_['Q'] = 30;  // pol offset
    params_['R'] = 90;  // pol scale
    params_['W'] = 2;   // tx polarity
    // Ship position 43.3 N 5.4 E, heading 90.0, satellite 7.0 E.
    setWordParameter(param::latitudeHi, 433);
    params_[param::latitudeNS] = 0;
    setWordParameter(param::longitudeHi, 54);
    params_[param::longitudeEW] = 0;
    setWordParameter(param::satLonHi, 70);
    params_[param::satEW] = 0;
    setWordParameter(param::headingHi, 900);
    setWordParameter(param::localHeadingHi, 900 * 6 / 10);
    // Receiver: threshold, 1150 MHz, symbol-rate field 6875, FEC 3/4.
    setWordParameter(param::thresholdHi, 500);
    setWordParameter(param::frequencyHi, 1150);
    setWordParameter(param::symbolRateHi, 6875);
    params_[param::fec] = 3 * 16;
    setWordParameter(param::nidHi, 0x1A2B);
    params_[param::trackDisplay] = 1;
    // One blockage zone astern (the mast): 165.0 to 195.0 relative, below 25 degrees.
    setWordParameter(param::blockZones[0].azFromHi, 1650);
    setWordParameter(param::blockZones[0].azToHi, 1950);
    params_[param::blockZones[0].elevation] = 25;
    // The rest of what the parameter dumps read: mode, error type, initial heading source,
    // polarisation select, display settings, the 5 V input's offset and scale, Az Limit 8.
    params_['E'] = 2;   // mode
    params_['X'] = 0;   // error type
    params_['a'] = 1;   // init heading: from the gyro
    params_['v'] = 1;   // pol select
    params_[127] = 1;   // DispT
    params_[128] = 0;   // KuDisp
    params_[130] = 0;   // 5 V offset (high byte)
    params_[131] = 100; // 5 V scale
    // PCU parameters "0" to ";": model index, the three loop gains, the trims (bytes, 254
    // is -2), circlex (live), scan rate, error (live), system id, status (live).
    pcuParams_.fill(0);
    const std::uint16_t pcuDefaults[] = {3, 40, 40, 60, 2, 254, 12, 0, 8, 0, 1, 0};
    for (int i = 0; i < 12; ++i)
        pcuParams_[static_cast<std::size_t>('0' + i)] = pcuDefaults[i];
}

int AcuDevice::wordParameter(unsigned char hiCode) const
{
    return (params_[hiCode] & 0xFF) * 256 + (params_[static_cast<unsigned char>(hiCode + 1)] & 0xFF);
}

void AcuDevice::setWordParameter(unsigned char hiCode, int value)
{
    value &= 0xFFFF;
    params_[hiCode] = static_cast<std::uint16_t>(value >> 8);
    params_[static_cast<unsigned char>(hiCode + 1)] = static_cast<std::uint16_t>(value & 0xFF);
}

std::uint16_t AcuDevice::pcuParameter(unsigned char code) const
{
    switch (code) {
    case pcuParam::circlex: return circlex_ ? 1 : 0;
    case pcuParam::error: return static_cast<std::uint16_t>(pcuWord3());
    case pcuParam::stat1: return static_cast<std::uint16_t>(pcuWord1());
    default: return pcuParams_[code];
    }
}

std::uint16_t AcuDevice::parameter(unsigned char code) const
{
    auto hi = [](int v) { return static_cast<std::uint16_t>((v >> 8) & 0xFF); };
    auto lo = [](int v) { return static_cast<std::uint16_t>(v & 0xFF); };
    switch (code) {
    case param::agcHi: return hi(signalLevel() * 16);
    case param::agcHi + 1: return lo(signalLevel() * 16);
    case param::extAgcHi: return hi(externalAgc() * 16);
    case param::extAgcHi + 1: return lo(externalAgc() * 16);
    case param::polHi: return hi(roundInt(polTarget_));
    case param::polHi + 1: return lo(roundInt(polTarget_));
    default: return params_[code];
    }
}

void AcuDevice::powerUp()
{
    tracking_ = false;
    placeAntenna(wordParameter(param::headingHi), stowElevation);
    startInitializing(true);
}

void AcuDevice::startInitializing(bool loadSatellite)
{
    initializingUntil_ = now_ + initializingTime;
    if (loadSatellite)
        satLoadPending_ = true;
}

void AcuDevice::raiseServoFault()
{
    errors_.pcuWord3 |= flag::pcuAzTorqueLimit;
    errors_.acuError2 |= flag::azServoLimit;
}

bool AcuDevice::blocked() const
{
    const int rel = relativeAzimuth();
    for (const auto& z : param::blockZones) {
        const int from = wordParameter(z.azFromHi);
        const int to = wordParameter(z.azToHi);
        const int below = params_[z.elevation] * 10;
        if (from == to || below == 0)
            continue; // zone not in use
        const bool inside = from < to ? (rel >= from && rel <= to) : (rel >= from || rel <= to);
        if (inside && el_ < below)
            return true;
    }
    return false;
}

void AcuDevice::placeAntenna(double azimuth, double elevation)
{
    az_ = azTarget_ = wrap3600(azimuth);
    el_ = elTarget_ = std::clamp(elevation, elevationMin, elevationMax);
}

// ------------------------------------------------------------------ time

void AcuDevice::advance(Ms dt)
{
    long long remaining = dt.count();
    while (remaining > 0) {
        const long long step = std::min<long long>(remaining, motionStep.count());
        now_ += Ms{step};
        if (faultDue_ && now_ >= *faultDue_) {
            faultDue_.reset();
            raiseServoFault();
        }
        stepMotion(static_cast<double>(step) / 1000.0);
        remaining -= step;
    }
}

void AcuDevice::stepMotion(double seconds)
{
    if (initializing()) {
        // The servos are not ready yet: the axes hold still.
        azSpeed_ = elSpeed_ = clSpeed_ = 0;
        return;
    }
    if (satLoadPending_) {
        satLoadPending_ = false;
        if (params_[param::systemType] & param::satLoadOnReset)
            tracking_ = true;
    }
    if (tracking_) {
        const Direction sat = satelliteDirection();
        if (sat.elevation >= elevationMin) {
            azTarget_ = sat.azimuth;
            elTarget_ = std::min(sat.elevation, elevationMax);
        }
    }
    // Slow scan: the PCU turns the azimuth at its scan rate, tracking or not.
    if (slowScan_)
        azTarget_ = wrap3600(az_ + scanRate() * seconds);
    // The cross-level torque drive pushes the axis at a speed that follows the drive.
    if (clDrive_ > 0)
        clTarget_ = std::clamp(cl_ + clDriveSign_ * (clDrive_ / fullDrive) * crossLevelRate * seconds, crossLevelMin,
                               crossLevelMax);
    const double az0 = az_, el0 = el_, cl0 = cl_;
    const double dAz = azimuthDifference(azTarget_, az_);
    const double stepAz = azimuthRate * seconds;
    az_ = std::fabs(dAz) <= stepAz ? azTarget_ : wrap3600(az_ + (dAz > 0 ? stepAz : -stepAz));
    el_ = approach(el_, elTarget_, elevationRate * seconds);
    cl_ = approach(cl_, clTarget_, crossLevelRate * seconds);
    pol_ = approach(pol_, polTarget_, polarisationRate * seconds);
    azSpeed_ = azimuthDifference(az_, az0) / seconds;
    elSpeed_ = (el_ - el0) / seconds;
    clSpeed_ = (cl_ - cl0) / seconds;
}

// ------------------------------------------------------------------ ship

double AcuDevice::yaw() const
{
    if (!shipMotion_)
        return 0;
    const double t = static_cast<double>(now_.count()) / 1000.0;
    return 1.5 * std::sin(2 * kPi * t / 20.0);
}

double AcuDevice::roll() const
{
    if (!shipMotion_)
        return 0;
    const double t = static_cast<double>(now_.count()) / 1000.0;
    return 3.0 * std::sin(2 * kPi * t / 8.0);
}

double AcuDevice::pitch() const
{
    if (!shipMotion_)
        return 0;
    const double t = static_cast<double>(now_.count()) / 1000.0;
    return 1.5 * std::sin(2 * kPi * t / 6.0 + 1.0);
}

double AcuDevice::noise(double amplitude, unsigned channel) const
{
    if (!shipMotion_)
        return 0;
    // A fixed pseudo-random value per motion step and channel, so replies are reproducible.
    unsigned long long x = static_cast<unsigned long long>(now_.count() / motionStep.count()) * 0x9E3779B97F4A7C15ULL +
                           (channel + 1ULL) * 0xD1B54A32D192ED03ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    // Two uniform values summed: most readings near the mean, as a sensor's noise is.
    const double u1 = static_cast<double>(x & 0xFFFFu) / 65535.0;
    const double u2 = static_cast<double>((x >> 16) & 0xFFFFu) / 65535.0;
    return amplitude * (u1 + u2 - 1.0);
}

double AcuDevice::drift(double amplitude, unsigned channel) const
{
    if (!shipMotion_)
        return 0;
    const double t = static_cast<double>(now_.count()) / 1000.0;
    const double p1 = 53.0 + 17.0 * (channel % 5);
    const double p2 = 131.0 + 23.0 * (channel % 3);
    return amplitude * (0.6 * std::sin(2 * kPi * t / p1 + 1.7 * channel) + 0.4 * std::sin(2 * kPi * t / p2 + 2.9 * channel));
}

double AcuDevice::circlexAngle() const
{
    const auto period = circlexPeriod.count();
    return 2 * kPi * static_cast<double>(now_.count() % period) / static_cast<double>(period);
}

int AcuDevice::shipHeading() const
{
    return roundInt(wrap3600(wordParameter(param::headingHi) + yaw() * 10.0)) % 3600;
}

int AcuDevice::relativeAzimuth() const
{
    return roundInt(wrap3600(az_ - shipHeading())) % 3600;
}

Direction AcuDevice::satelliteDirection() const
{
    const double lat = wordParameter(param::latitudeHi) / 10.0 * ((params_[param::latitudeNS] & 1) ? -1 : 1);
    const double lon = wordParameter(param::longitudeHi) / 10.0 * ((params_[param::longitudeEW] & 16) ? -1 : 1);
    const double sat = wordParameter(param::satLonHi) / 10.0 * ((params_[param::satEW] & 16) ? -1 : 1);
    const double d = rad(sat - lon);
    const double phi = rad(lat);
    const double az = deg(std::atan2(std::sin(d), -std::sin(phi) * std::cos(d)));
    const double c = std::cos(phi) * std::cos(d);
    const double el = deg(std::atan2(c - kEarthOverOrbit, std::sqrt(std::max(0.0, 1.0 - c * c))));
    return {wrap3600(az * 10.0), el * 10.0};
}

double AcuDevice::pointingError() const
{
    const Direction sat = satelliteDirection();
    const double dEl = (el_ - sat.elevation) / 10.0;
    const double dAz = azimuthDifference(az_, sat.azimuth) / 10.0 * std::cos(rad(el_ / 10.0));
    return std::hypot(dEl, dAz);
}

// ------------------------------------------------------------------ receiver

int AcuDevice::levelAt(int frequencyMHz) const
{
    const double e = pointingError() / beamWidth;
    const double gain = satelliteDirection().elevation < 0 ? 0.0 : std::exp(-2.7726 * e * e);
    const double level = kNoiseFloor + kPeakRise * gain * spectrum(frequencyMHz, carrierFrequency_) + noise(2.0, 0);
    return std::clamp(roundInt(level), 0, 999);
}

int AcuDevice::signalLevel() const
{
    return levelAt(tunedFrequency());
}

int AcuDevice::externalAgc() const
{
    // The modem's AGC voltage falls as the carrier grows: about 9.5 V with no carrier.
    const double rise = static_cast<double>(signalLevel() - kNoiseFloor) / kPeakRise;
    return std::clamp(roundInt(950 - 550 * rise), 0, 1000);
}

bool AcuDevice::carrierLock() const
{
    return signalLevel() > threshold();
}

unsigned AcuDevice::receiverStatus() const
{
    unsigned s = (params_[param::fec] >> 4) & (flag::fecMask | flag::fecStar);
    if (tone_)
        s |= flag::tone;
    if (lnb18V_)
        s |= flag::lnb18V;
    return s;
}

// ------------------------------------------------------------------ status words

unsigned AcuDevice::acuWord1() const
{
    unsigned w = 0;
    if (slowScan_) w |= flag::slowScan;
    if (satRef_) w |= flag::satReference;
    if (tracking_) w |= flag::tracking;
    return w;
}

unsigned AcuDevice::acuWord2() const
{
    unsigned w = flag::validHeading;
    // While initializing there is no target yet.
    if (!initializing() && std::fabs(azimuthDifference(az_, azTarget_)) <= 2.0) w |= flag::azTarget;
    if (!initializing() && std::fabs(el_ - elTarget_) <= 2.0 && std::fabs(pol_ - polTarget_) <= 2.0)
        w |= flag::elPolTarget;
    if (blocked()) w |= flag::blockMute;
    if (initializing()) w |= flag::initializing;
    if (tracking_ && satelliteDirection().elevation >= 0 && pointingError() > captureError)
        w |= flag::searching;
    return w;
}

unsigned AcuDevice::acuError1() const
{
    unsigned w = errors_.acuError1;
    if (satelliteDirection().elevation < 0) w |= flag::satelliteRange;
    if (pcuWord3() != 0 || pcuWord4() != 0) w |= flag::pcuError;
    return w & 63u;
}

unsigned AcuDevice::acuError2() const { return errors_.acuError2 & 63u; }

unsigned AcuDevice::pcuWord1() const
{
    unsigned w = 0;
    if (slowScan_) w |= flag::pcuSlowScan;
    if (satRef_) w |= flag::pcuSatRefEnabled;
    if (circlex_) w |= flag::pcuCirclex;
    return w;
}

unsigned AcuDevice::pcuWord2() const
{
    unsigned w = flag::pcuValidHeading;
    if (!initializing() && std::fabs(azimuthDifference(az_, azTarget_)) <= 2.0) w |= flag::pcuAzTarget;
    if (satRef_ && tracking_ && pointingError() <= captureError) w |= flag::pcuSatRefActive;
    if (pcuWord3() != 0 || pcuWord4() != 0) w |= flag::pcuErrorSummary;
    if (initializing()) w |= flag::pcuInit;
    if (el_ > 750) w |= flag::pcuHiElevation;
    return w;
}

unsigned AcuDevice::pcuWord3() const { return errors_.pcuWord3 & 63u; }
unsigned AcuDevice::pcuWord4() const { return errors_.pcuWord4 & 63u; }

std::string AcuDevice::status() const
{
    reply::AcuStatus s;
    s.word1 = acuWord1();
    s.word2 = acuWord2();
    s.error1 = acuError1();
    s.error2 = acuError2();
    s.agcRaw = signalLevel() * 3;
    s.receiverFlags = carrierLock() ? flag::carrierLock : 0;
    s.receiverStatus = receiverStatus();
    return reply::status(s);
}

std::string AcuDevice::versionLine()
{
    return "TAV ACU VER 4.20 SIM";
}

// ------------------------------------------------------------------ commands

bool AcuDevice::answers(const Command& cmd)
{
    if (cmd.isQuery('C') || cmd.isQuery('D'))
        return false;
    if (cmd.kind == Command::Kind::Line && cmd.text.rfind("wV", 0) == 0)
        return false;
    return true;
}

std::string AcuDevice::busyReply(const Command& cmd, bool escaped)
{
    // A parameter request keeps its lead and code so that a reader looking for the value at
    // its usual place finds the busy mark there; the PCU's answer has no code before it.
    if (cmd.kind == Command::Kind::Line && cmd.lead() == 'n' && !escaped)
        return reply::pcuParameterBusy();
    if (cmd.kind == Command::Kind::Line && cmd.text.size() >= 2 && (cmd.lead() == 'm' || cmd.lead() == 'n'))
        return reply::parameterBusy(cmd.lead(), static_cast<unsigned char>(cmd.text[1]));
    const auto c = static_cast<unsigned char>(cmd.lead());
    if (cmd.kind == Command::Kind::Query && c >= 129 && c <= 138)
        return reply::parameterBusy('m', c);
    return "###";
}

std::optional<std::string> AcuDevice::execute(const Command& cmd, bool escaped)
{
    if (cmd.text.empty())
        return std::nullopt;
    if (cmd.kind == Command::Kind::Query)
        return query(static_cast<unsigned char>(cmd.text[0]));
    return line(cmd.text, escaped);
}

std::optional<std::string> AcuDevice::query(unsigned char c)
{
    switch (c) {
    case 'S':
        return status();
    case 'P':
        return reply::position(roundInt(el_), roundInt(az_) % 3600, roundInt(cl_));
    case 'H':
        return reply::heading(relativeAzimuth(), shipHeading());
    case '@':
        return reply::shipPosition(wordParameter(param::latitudeHi), (params_[param::latitudeNS] & 1) != 0,
                                   wordParameter(param::longitudeHi), (params_[param::longitudeEW] & 16) != 0);
    case 'q':
        return reply::receiver(tunedFrequency(), wordParameter(param::symbolRateHi));
    case 'u':
        return reply::polarisation(roundInt(pol_), externalAgc(), threshold());
    case '%':
        return reply::signalLevel(signalLevel() * 3);
    case 'V':
        return versionLine();
    case 'C':
        tracking_ = true;
        return std::nullopt;
    case 'D':
        tracking_ = false;
        satLoadPending_ = false;
        return std::nullopt;
    case '&':
        // Reset error bits: the ACU's error words and the PCU's fault words alike.
        errors_ = {};
        return std::string("&");
    default:
        if (c >= 129 && c <= 138) // a MODE parameter code on its own reads that parameter
            return reply::parameter('m', c, parameter(c));
        return std::nullopt;
    }
}

std::optional<std::string> AcuDevice::line(const std::string& text, bool escaped)
{
    const char lead = text[0];
    const std::string rest = text.substr(1);
    switch (lead) {
    case 'm':
        return parameterCommand(text);
    case 'n':
        return pcuParameterCommand(text, escaped);
    case '?':
        return pcuQuery(text);
    case 'A': case 'E': case 'I': case 'J': {
        const auto v = decimalField(rest);
        if (!v)
            return errorReply(text);
        if (lead == 'A') {
            azTarget_ = wrap3600(static_cast<double>(*v));
            tracking_ = satLoadPending_ = false;
        } else if (lead == 'E') {
            elTarget_ = std::clamp(static_cast<double>(*v), elevationMin, elevationMax);
            tracking_ = satLoadPending_ = false;
        } else if (lead == 'I') {
            clTarget_ = std::clamp(static_cast<double>(*v), crossLevelMin, crossLevelMax);
            clDrive_ = clDriveSign_ = 0; // a position command ends the torque drive
        } else {
            polTarget_ = std::clamp(static_cast<double>(*v), 0.0, polarisationMax);
        }
        return text;
    }
    case 'i': case 'j': case 'k': {
        // Targets as 16-bit binary angles (65536 to the turn).
        const auto v = hexField(rest);
        if (!v)
            return errorReply(text);
        const double tenths = static_cast<double>(*v) * 3600.0 / 65536.0;
        if (lead == 'k') {
            azTarget_ = wrap3600(tenths);
            tracking_ = satLoadPending_ = false;
        } else if (lead == 'j') {
            elTarget_ = std::clamp(tenths, elevationMin, elevationMax);
            tracking_ = satLoadPending_ = false;
        } else {
            clTarget_ = std::clamp(tenths, crossLevelMin, crossLevelMax);
        }
        return text;
    }
    case 'B': {
        // 360.0 is north as well as 0.0.
        const auto v = decimalField(rest);
        if (!v || *v > 3600)
            return errorReply(text);
        const int t = static_cast<int>(*v) % 3600;
        setWordParameter(param::headingHi, t);
        setWordParameter(param::localHeadingHi, t * 6 / 10);
        return text;
    }
    case 'T': {
        // Satellite longitude counted westward, 0..3600 tenths.
        const auto v = decimalField(rest);
        if (!v || *v > 3600)
            return errorReply(text);
        const bool west = *v <= 1800;
        setWordParameter(param::satLonHi, static_cast<int>(west ? *v : 3600 - *v));
        params_[param::satEW] = west ? 16 : 0;
        return text;
    }
    case 'X': case 'Y': {
        const auto v = decimalField(rest);
        if (!v)
            return errorReply(text);
        params_[lead == 'X' ? param::azStepSize : param::elStepSize] = static_cast<std::uint16_t>(std::min(*v, 65535L));
        return text;
    }
    case 'F':
        // Find the selected satellite: tracking starts and the search runs until it is found.
        tracking_ = true;
        return text;
    case 'c':
        return receiverFrequency(text);
    case 'd': {
        const auto v = decimalField(rest);
        if (!v || *v > 9999)
            return errorReply(text);
        setWordParameter(param::symbolRateHi, static_cast<int>(*v));
        return text;
    }
    case 'w':
        if (rest.rfind("!", 0) == 0)
            return std::string("DVB VER 1.07 SIM");
        return text;
    case '^':
        return pcuMode(text);
    case '[':
        if (rest.rfind("V", 0) == 0)
            return std::string("COMM IF VER 2.02 SIM");
        return text;
    case '\\': {
        const auto v = decimalField(rest);
        if (v == 87L) {
            saved_ = params_;
        } else if (v == 90L) {
            params_ = saved_;
            tracking_ = false;
            errors_ = {};
            startInitializing(true);
        }
        return text;
    }
    case ']':
        return std::string(rest.rfind("0411", 0) == 0 ? "MDE VER 1.12 SIM" : text);
    case '<':
        return std::string(rest.rfind("0411", 0) == 0 ? "BDE VER 3.30 SIM" : text);
    case '>':
        return std::string(rest.rfind("0411", 0) == 0 ? "ADE VER 3.30 SIM" : text);
    case '$':
        return nmea(text);
    case 't':
        return text;
    default:
        return errorReply(text);
    }
}

std::string AcuDevice::parameterCommand(const std::string& text)
{
    if (text.size() < 3)
        return errorReply(text);
    const auto code = static_cast<unsigned char>(text[1]);
    const auto v = decimalField(text.substr(2));
    if (!v || *v > 65535)
        return errorReply(text);
    if (*v != 999)
        params_[code] = static_cast<std::uint16_t>(*v);
    return reply::parameter(text[0], code, parameter(code));
}

std::string AcuDevice::pcuParameterCommand(const std::string& text, bool escaped)
{
    if (text.size() < 3)
        return errorReply(text);
    const auto code = static_cast<unsigned char>(text[1]);
    const auto v = decimalField(text.substr(2));
    if (!v || *v > 65535)
        return errorReply(text);
    const bool live = code == pcuParam::circlex || code == pcuParam::error || code == pcuParam::stat1;
    if (*v != 999 && !live)
        pcuParams_[code] = static_cast<std::uint16_t>(*v);
    const unsigned value = pcuParameter(code);
    return escaped ? reply::parameter('n', code, value) : reply::pcuParameter(value, code);
}

std::string AcuDevice::pcuQuery(const std::string& text)
{
    // "?" + blanks + letter; the letter is the last character that is not a blank.
    const std::size_t at = text.find_last_not_of(' ');
    if (at == 0 || at == std::string::npos)
        return errorReply(text);
    switch (text[at]) {
    case 'S':
        return reply::pcuStatus(pcuWord1(), pcuWord2(), pcuWord3(), pcuWord4());
    case 'V':
        return "PCU VER 2.31 SIM";
    case 'v':
        return referenceSensors();
    case 'w':
        return rateSensors();
    case 'x':
        return loopErrors();
    case 'y':
        return torqueCommands();
    case '@': case '?': case '=':
        return reply::shipPosition(wordParameter(param::latitudeHi), (params_[param::latitudeNS] & 1) != 0,
                                   wordParameter(param::longitudeHi), (params_[param::longitudeEW] & 16) != 0);
    case '&':
        errors_.pcuWord3 = 0;
        errors_.pcuWord4 = 0;
        return "&";
    default:
        return errorReply(text);
    }
}

// The graph streams. Each reading is the axis's own motion plus what the stabilisation leaves
// of the sea, a slowly wandering mean and noise; in a calm sea with the antenna still every
// reading is exactly its zero.

// Reference sensors: the platform's tilt about the cross-level and level axes (40 counts a
// degree; the cross-level axis driven off level tilts it), and the azimuth reference (2 counts
// a degree), each about 2048.
std::string AcuDevice::referenceSensors() const
{
    const double clTilt = (cl_ - 900.0) / 10.0 + 0.08 * roll() + drift(0.15, 1) + noise(0.05, 2);
    const double lvTilt = 0.08 * pitch() + drift(0.15, 3) + noise(0.05, 4);
    const double azRef = 0.5 * yaw() + drift(1.0, 5) + noise(0.5, 6);
    return reply::sensors('v', sensorZero + roundInt(clTilt * tiltCounts), sensorZero + roundInt(lvTilt * tiltCounts),
                          sensorZero + roundInt(azRef * azReferenceCounts));
}

// Rate sensors: the inertial rates of the three axes, 20 counts a degree per second about 2048.
std::string AcuDevice::rateSensors() const
{
    const double t = static_cast<double>(now_.count()) / 1000.0;
    const double sea = shipMotion_ ? 1.0 : 0.0;
    const double rollRate = sea * 3.0 * (2 * kPi / 8.0) * std::cos(2 * kPi * t / 8.0);
    const double pitchRate = sea * 1.5 * (2 * kPi / 6.0) * std::cos(2 * kPi * t / 6.0 + 1.0);
    const double yawRate = sea * 1.5 * (2 * kPi / 20.0) * std::cos(2 * kPi * t / 20.0);
    const auto count = [](double degPerSecond) { return sensorZero + roundInt(degPerSecond * rateCounts); };
    return reply::sensors('w', count(clSpeed_ / 10.0 + 0.1 * rollRate + drift(0.05, 7) + noise(0.1, 8)),
                          count(elSpeed_ / 10.0 + 0.1 * pitchRate + drift(0.05, 9) + noise(0.1, 10)),
                          count(azSpeed_ / 10.0 + 0.1 * yawRate + drift(0.05, 11) + noise(0.1, 12)));
}

// Loop errors: target minus position of each axis in 0.005 degree about 0x80, with the
// conical scan on top while circlex runs. The beam then cones around the target: the
// cross-level and azimuth errors follow the cosine of the scan angle, the level error its
// sine, so (cross-level, level) and (azimuth, level) both draw a ring. The phase character
// counts the scan angle backwards in 64ths of a turn, so that the error's angle plus the phase
// (times pi/32) stays at 0 while the scan is in step.
std::string AcuDevice::loopErrors() const
{
    const double phi = circlexAngle();
    const double coneX = circlex_ ? circlexRadius * std::cos(phi) : 0.0;
    const double coneY = circlex_ ? circlexRadius * std::sin(phi) : 0.0;
    const auto count = [](double degrees) {
        return static_cast<unsigned>(std::clamp(streamZero + roundInt(degrees / loopErrorCount), 0, 255));
    };
    const double cl = (clTarget_ - cl_) / 10.0 + coneX + drift(0.01, 13) + noise(0.008, 14);
    const double lv = (elTarget_ - el_) / 10.0 + coneY + drift(0.01, 15) + noise(0.008, 16);
    const double az = azimuthDifference(azTarget_, az_) / 10.0 * std::cos(rad(el_ / 10.0)) + coneX + drift(0.01, 17) +
                      noise(0.008, 18);
    unsigned phase = 0;
    if (circlex_)
        phase = static_cast<unsigned>((64 - static_cast<long>(std::lround(phi * 64.0 / (2 * kPi))) % 64) % 64);
    return reply::loopError(phase, count(cl), count(lv), count(az));
}

// Torque commands about 128 (0.0195 A a count): what the slew and the sea ask of each motor,
// and the cross-level torque drive while it runs.
std::string AcuDevice::torqueCommands() const
{
    const auto count = [](double v) { return std::clamp(streamZero + roundInt(v), 0, 255); };
    return reply::torque(count(clSpeed_ / 4 + roll() * 2 + clDriveSign_ * clDrive_ / 2.0 + drift(2, 19) + noise(1.5, 20)),
                         count(elSpeed_ / 4 + pitch() * 2 + drift(2, 21) + noise(1.5, 22)),
                         count(azSpeed_ / 4 + yaw() * 2 + drift(2, 23) + noise(1.5, 24)));
}

std::string AcuDevice::pcuMode(const std::string& text)
{
    const auto v = decimalField(text.substr(1));
    if (!v)
        return errorReply(text);
    // "^3" + three digits: the cross-level torque drive of the torque drive test. A drive that
    // starts pushes the axis back through level, away from the side it is on.
    if (text.size() == 5 && text[1] == '3') {
        const int drive = static_cast<int>(*v - 3000);
        if (clDrive_ == 0)
            clDriveSign_ = cl_ > 900 ? -1 : 1;
        clDrive_ = drive;
        if (drive == 0)
            clDriveSign_ = 0;
        return text;
    }
    switch (*v) {
    case 0: slowScan_ = satRef_ = false; clDrive_ = clDriveSign_ = 0; break; // normal mode
    case 67: circlex_ = !circlex_; break;
    case 70: slowScan_ = true; break;
    case 71: satRef_ = true; break;
    case 82: errors_.pcuWord3 &= ~(1u << 3); break; // clear the azimuth reference error
    case 90: startInitializing(false); break; // the PCU restarts; tracking stays as it was
    default: break; // saves and test steps are acknowledged only
    }
    return text;
}

std::string AcuDevice::receiverFrequency(const std::string& text)
{
    const auto v = decimalField(text.substr(1));
    if (!v || *v > 9999)
        return errorReply(text);
    // Codes below the band switch the LNB: 32/33 tone off/on, 34/35 13 V/18 V.
    switch (*v) {
    case 32: tone_ = false; break;
    case 33: tone_ = true; break;
    case 34: lnb18V_ = false; break;
    case 35: lnb18V_ = true; break;
    default: setWordParameter(param::frequencyHi, static_cast<int>(*v)); break;
    }
    // The level in the receiver's spectrum units: the status AGC less its floor, a third of
    // it, so a sweep's trace (noise about 17, the carrier about 217) fits the panel's chart.
    return reply::tunedLevel(std::clamp((signalLevel() - kSpectrumFloor) / 3, 0, 999));
}

std::string AcuDevice::nmea(const std::string& text)
{
    std::string body = text.substr(0, text.find('*'));
    std::vector<std::string> f;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = body.find(',', start);
        f.push_back(body.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    const auto number = [](const std::string& s, double& out) {
        char* end = nullptr;
        out = std::strtod(s.c_str(), &end);
        return !s.empty() && end && *end == '\0';
    };
    // Degrees and minutes (ddmm.mm) to tenths of a degree.
    const auto tenths = [](double dm) {
        const double d = std::floor(dm / 100.0);
        return roundInt((d + (dm - d * 100.0) / 60.0) * 10.0);
    };
    if (f[0].size() >= 6 && f[0].compare(3, 3, "GLL") == 0 && f.size() >= 5) {
        double lat = 0, lon = 0;
        if (!number(f[1], lat) || !number(f[3], lon) || (f[2] != "N" && f[2] != "S") || (f[4] != "E" && f[4] != "W"))
            return errorReply(text);
        setWordParameter(param::latitudeHi, std::min(tenths(lat), 900));
        params_[param::latitudeNS] = f[2] == "S" ? 1 : 0;
        setWordParameter(param::longitudeHi, std::min(tenths(lon), 1800));
        params_[param::longitudeEW] = f[4] == "W" ? 16 : 0;
        return text;
    }
    if (f[0].size() >= 6 && f[0].compare(3, 3, "HDT") == 0 && f.size() >= 2) {
        double h = 0;
        if (!number(f[1], h) || h < 0 || h >= 360)
            return errorReply(text);
        const int t = roundInt(h * 10) % 3600;
        setWordParameter(param::headingHi, t);
        setWordParameter(param::localHeadingHi, t * 6 / 10);
        return text;
    }
    return errorReply(text);
}

} // namespace sim
