#include "Nmea.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace term {

namespace {
const std::string kCrLf = "\r\n";

// An integer with at least `digits` digits, zero-padded.
std::string padded(long v, int digits)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*ld", digits, v);
    return buf;
}
} // namespace

std::string nmeaChecksum(const std::string& sentence)
{
    const size_t start = sentence.find('$');
    const size_t from = start == std::string::npos ? 0 : start + 1;
    const size_t end = sentence.find('*', from);
    unsigned char sum = 0;
    for (size_t i = from; i < sentence.size() && i != end; ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    static const char hex[] = "0123456789ABCDEF";
    return {hex[sum >> 4], hex[sum & 0x0F]};
}

Nmea::Nmea(Terminal& t) : t_(t) {}

std::string Nmea::gpsSentence() const
{
    // Latitude: the word as ddmm, "0000.000". Longitude: degrees "000" then minutes "00.000",
    // the minutes from the hundredths of a degree (rounded, halves to even).
    const long degrees = longitudeWord / 100;
    const long minutes = std::lrint(double(longitudeWord % 100) * 60.0 / 100.0);
    return "$GPGLL," + padded(latitudeWord, 4) + ".000,N," + padded(degrees, 3) + padded(minutes, 2) +
           ".000,W,0,00000,A" + kCrLf;
}

std::string Nmea::headingSentence() const
{
    std::string heading;
    if (headingCounter != 0) {
        const int h = headingCounter;
        const int a = std::abs(h);
        heading = (h < 0 ? "-" : "") + std::to_string(a / 10) + "." + std::to_string(a % 10);
    }
    const std::string body = "$HDHDT," + heading + ",T";
    return body + "*" + nmeaChecksum(body) + kCrLf;
}

void Nmea::show(const std::string& text)
{
    t_.screen.trim();
    t_.screen.append(text);
    t_.ui().refresh();
}

bool Nmea::SendGPS()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return false;
    const std::string s = gpsSentence();
    show(s + "\n");
    t_.CommOut(s);
    if (t_.abortFlag != 0)
        return true; // the closed link has warned once; the second character would warn again
    t_.TxSettle(kGpsSettleMs);
    if (t_.abortFlag == 0)
        t_.CommOut("@");
    return true;
}

bool Nmea::SendHDG()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return false;
    const std::string s = headingSentence();
    if (headingCounter != 0)
        headingCounter = headingCounter == std::numeric_limits<std::int16_t>::max()
                             ? std::int16_t(0)
                             : std::int16_t(headingCounter + 1);
    show(s + "\n");
    t_.CommOut(s);
    if (t_.abortFlag != 0)
        return true; // the closed link has warned once; the second character would warn again
    t_.TxSettle(kHeadingSettleMs);
    if (t_.abortFlag == 0)
        t_.CommOut("H");
    return true;
}

void Nmea::ResetHdgRange()
{
    if (headingCounter <= 10)
        headingCounter = 10;
    else if (headingCounter <= 100)
        headingCounter = 100;
    else if (headingCounter <= 1000)
        headingCounter = 1000;
    else
        headingCounter = 0;
}

} // namespace term
