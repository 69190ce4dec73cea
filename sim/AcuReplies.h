#pragma once
// The reply lines of the ACU, as text without the line end. Each builder takes plain values
// and lays them out at fixed character positions; README.md shows every layout with its
// positions. Angles are tenths of a degree throughout.
#include <cstdint>
#include <string>

namespace sim::reply {

// A status word travels as one character: "@" (64) plus its six flag bits.
char flagChar(unsigned bits);

// Zero-padded decimal of the given width; negative values become 0, values too wide for the
// field are held at the largest value that fits.
std::string digits(long value, int width);
// Upper-case hexadecimal of the given width, taken modulo 16^width.
std::string hex(unsigned long value, int width);

struct AcuStatus {
    unsigned word1 = 0, word2 = 0, error1 = 0, error2 = 0; // six flag bits each
    int agcRaw = 0;             // signal level as sent (three times the level shown)
    unsigned receiverFlags = 0; // companion of the receiver status (bit 0: carrier lock)
    unsigned receiverStatus = 0; // bits 0-2 FEC, 3 FEC star, 4 tone, 5 18 V
};

// "S" + word 1 + word 2 + error 1 + error 2 + "L" + AGC(4) + " " + receiver flags + receiver status
std::string status(const AcuStatus& s);
// "PE" + elevation(4) + " " + azimuth(4) + " " + cross-level(4)
std::string position(int elevation, int azimuth, int crossLevel);
// "HR" + relative azimuth(4) + " " + ship heading(4)
std::string heading(int relative, int shipHeading);
// "@" + "N"/"S" + latitude(4) + "E"/"W" + longitude(4)
std::string shipPosition(int latitude, bool south, int longitude, bool west);
// "q" + frequency MHz(4) + " " + symbol-rate field(4)
std::string receiver(int frequency, int symbolRateField);
// "uG" + polarisation(4) + "V" + external AGC(4) + " " + tracking threshold(4)
std::string polarisation(int polarisation, int externalAgc, int threshold);
// "%L" + AGC(4)
std::string signalLevel(int agcRaw);
// "cL" + level(4): the level at the frequency just tuned
std::string tunedLevel(int level);
// lead ("m" or "n") + code byte + value (at least 3 digits)
std::string parameter(char lead, unsigned char code, unsigned value);
// lead + code byte + "###": a parameter request the controller was too busy to serve
std::string parameterBusy(char lead, unsigned char code);
// The PCU's own answer to a parameter request the ACU passes on to it:
// "n" + value (3 digits) + " " + code byte, e.g. "n040 1"
std::string pcuParameter(unsigned value, unsigned char code);
// "n###": the PCU parameter request refused while busy
std::string pcuParameterBusy();
// "S" + PCU words 1 to 4
std::string pcuStatus(unsigned w1, unsigned w2, unsigned w3, unsigned w4);
// mark ("v" or "w") + "  " + three readings(4) separated by blanks
std::string sensors(char mark, int a, int b, int c);
// "iv" + phase character + three hexadecimal loop errors(4) separated by blanks
std::string loopError(unsigned phase, unsigned cl, unsigned lv, unsigned az);
// "tc " + three torque commands(4) separated by blanks
std::string torque(int cl, int lv, int az);

// Turns a reply into what a noisy line delivers: every letter gets its top bit set (as a line
// at the wrong speed or parity shows it), so no key letter of the layout survives while the
// length and the digits stay.
std::string garble(const std::string& line);

} // namespace sim::reply
