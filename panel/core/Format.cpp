#include "Format.h"

#include "common/Hex.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace panel {

double Val(const std::string& text, size_t pos)
{
    size_t i = pos;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string num;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        num += text[i++];
    bool point = false, digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            num += c;
            digits = true;
        } else if (c == '.' && !point) {
            num += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    return std::strtod(num.c_str(), nullptr);
}

long HexVal(const std::string& text, size_t pos)
{
    size_t i = pos;
    while (i < text.size() && text[i] == ' ')
        ++i;
    long v = 0;
    int n = 0;
    for (; i < text.size() && n < 8; ++i, ++n) {
        const char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            break;
        v = v * 16 + d;
    }
    return v;
}

int aH2I(const std::string& text, size_t i)
{
    if (i >= text.size())
        return 0;
    const int d = common::hexDigit(text[i]);
    return d < 0 ? 0 : d;
}

long roundEven(double v)
{
    // nearbyint honours the current rounding mode, which is to-nearest-even unless changed.
    const int old = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(old);
    // Beyond the range of long the result saturates (no wrap-around garbage); NaN reads 0.
    if (std::isnan(r))
        return 0;
    if (r >= 0x1p63)
        return std::numeric_limits<long>::max();
    if (r < -0x1p63)
        return std::numeric_limits<long>::min();
    return long(r);
}

namespace {
std::string padded(long n, int width)
{
    char buf[32];
    if (n < 0)
        std::snprintf(buf, sizeof buf, "-%0*ld", width, -n);
    else
        std::snprintf(buf, sizeof buf, "%0*ld", width, n);
    return buf;
}
} // namespace

std::string afmtINT3(long n) { return padded(n, 3); }
std::string afmtINT4(long n) { return padded(n, 4); }

std::string tenthsText(long tenths, int minWholeDigits)
{
    const bool neg = tenths < 0;
    const long a = neg ? -tenths : tenths;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%0*ld.%ld", neg ? "-" : "", minWholeDigits, a / 10, a % 10);
    return buf;
}

} // namespace panel
