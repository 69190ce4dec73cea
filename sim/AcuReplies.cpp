#include "sim/AcuReplies.h"

#include <algorithm>

namespace sim::reply {

char flagChar(unsigned bits)
{
    return static_cast<char>(64 + (bits & 63u));
}

std::string digits(long value, int width)
{
    long limit = 1;
    for (int i = 0; i < width; ++i)
        limit *= 10;
    value = std::clamp(value, 0L, limit - 1);
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

std::string hex(unsigned long value, int width)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i) {
        s[static_cast<std::size_t>(i)] = kDigits[value & 15u];
        value >>= 4;
    }
    return s;
}

std::string status(const AcuStatus& s)
{
    std::string r = "S";
    r += flagChar(s.word1);
    r += flagChar(s.word2);
    r += flagChar(s.error1);
    r += flagChar(s.error2);
    r += 'L';
    r += digits(s.agcRaw, 4);
    r += ' ';
    r += flagChar(s.receiverFlags);
    r += flagChar(s.receiverStatus);
    return r;
}

std::string position(int elevation, int azimuth, int crossLevel)
{
    return "PE" + digits(elevation, 4) + ' ' + digits(azimuth, 4) + ' ' + digits(crossLevel, 4);
}

std::string heading(int relative, int shipHeading)
{
    return "HR" + digits(relative, 4) + ' ' + digits(shipHeading, 4);
}

std::string shipPosition(int latitude, bool south, int longitude, bool west)
{
    return std::string("@") + (south ? 'S' : 'N') + digits(latitude, 4) + (west ? 'W' : 'E') +
           digits(longitude, 4);
}

std::string receiver(int frequency, int symbolRateField)
{
    return "q" + digits(frequency, 4) + ' ' + digits(symbolRateField, 4);
}

std::string polarisation(int polarisation, int externalAgc, int threshold)
{
    return "uG" + digits(polarisation, 4) + 'V' + digits(externalAgc, 4) + ' ' + digits(threshold, 4);
}

std::string signalLevel(int agcRaw)
{
    return "%L" + digits(agcRaw, 4);
}

std::string tunedLevel(int level)
{
    return "cL" + digits(level, 4);
}

std::string parameter(char lead, unsigned char code, unsigned value)
{
    std::string r(1, lead);
    r += static_cast<char>(code);
    r += value > 999 ? std::to_string(value) : digits(value, 3);
    return r;
}

std::string parameterBusy(char lead, unsigned char code)
{
    std::string r(1, lead);
    r += static_cast<char>(code);
    r += "###";
    return r;
}

std::string pcuParameter(unsigned value, unsigned char code)
{
    std::string r = "n" + digits(value, 3) + ' ';
    r += static_cast<char>(code);
    return r;
}

std::string pcuParameterBusy()
{
    return "n###";
}

std::string pcuStatus(unsigned w1, unsigned w2, unsigned w3, unsigned w4)
{
    std::string r = "S";
    r += flagChar(w1);
    r += flagChar(w2);
    r += flagChar(w3);
    r += flagChar(w4);
    return r;
}

std::string sensors(char mark, int a, int b, int c)
{
    return std::string(1, mark) + "  " + digits(a, 4) + ' ' + digits(b, 4) + ' ' + digits(c, 4);
}

std::string loopError(unsigned phase, unsigned cl, unsigned lv, unsigned az)
{
    return std::string("iv") + flagChar(phase) + hex(cl, 4) + ' ' + hex(lv, 4) + ' ' + hex(az, 4);
}

std::string torque(int cl, int lv, int az)
{
    return "tc " + digits(cl, 4) + ' ' + digits(lv, 4) + ' ' + digits(az, 4);
}

std::string garble(const std::string& line)
{
    std::string r = line;
    for (char& ch : r) {
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'))
            ch = static_cast<char>(static_cast<unsigned char>(ch) | 0x80u);
    }
    return r;
}

} // namespace sim::reply
