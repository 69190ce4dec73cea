#pragma once
// The simulated GPS receiver and heading sensor: fixed NMEA 0183 sentences sent on request
// ("Send GPS Data" / toolbar "SendGPS", "Send HDG Data" / "SendHDG"), and
// "Reset HDG Range null, 1, 10, 100" for the heading counter.
#include "Terminal.h"

#include <cstdint>
#include <string>

namespace term {

// After the GPS sentence has left, the "@" follows after this settle.
inline constexpr int kGpsSettleMs = 10;
// After the heading sentence has left, the "H" follows after this settle.
inline constexpr int kHeadingSettleMs = 10;

// The NMEA checksum: XOR of every character between "$" and "*" (or to the end when there is
// no "*"), as two upper-case hex digits.
std::string nmeaChecksum(const std::string& sentence);

class Nmea {
public:
    explicit Nmea(Terminal& t);

    // Simulated position, set at start-up: latitude word 3746 (degrees and minutes, ddmm) and
    // longitude word 12222 (degrees times 100 plus hundredths of a degree).
    int latitudeWord = 3746;
    int longitudeWord = 12222;
    // Heading counter in tenths of a degree; 0 sends no heading value. 16-bit: past 32767 it
    // starts again at 0.
    std::int16_t headingCounter = 1234;

    // "$GPGLL,3746.000,N,12213.000,W,0,00000,A" CR LF for the start-up values.
    std::string gpsSentence() const;
    // The heading sentence for the current counter (the counter is not moved):
    // "$HDHDT,123.4,T*" + checksum + CR LF; with counter 0 the heading field is empty.
    std::string headingSentence() const;

    // Send GPS Data: the sentence is shown on the screen followed by LF, sent, and after the
    // output has left "@" is sent. False when another long sequence runs (nothing sent).
    bool SendGPS();
    // Send HDG Data: the heading sentence shown followed by LF, sent, after TxSettle 10 "H";
    // a non-zero counter then grows by 1.
    bool SendHDG();
    // Reset HDG Range null, 1, 10, 100: the counter becomes 10 when at most 10, 100 when at
    // most 100, 1000 when at most 1000, and 0 otherwise.
    void ResetHdgRange();

private:
    void show(const std::string& text);
    Terminal& t_;
};

} // namespace term
