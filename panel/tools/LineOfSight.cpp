#include "LineOfSight.h"

#include "panel/core/Format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace panel::los {

namespace {

// A pattern such as "##0.00": at least one digit before the point, two after.
std::string fixed2(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    if (s == "-0.00")
        s = "0.00";
    return s;
}

double parse(const std::string& text) { return Val(text, 0); }

double latitudeOf(const Position& p)
{
    const double v = dInput(p.latitude);
    return p.latHemisphere == "S" ? -v : v;
}

double longitudeOf(const Position& p)
{
    const double v = dInput(p.longitude);
    return p.lonHemisphere == "W" ? -v : v;
}

double altitudeOf(const Position& p)
{
    const double h = parse(p.altitudeFeet);
    return h > 0 ? h : 1.0;
}

} // namespace

double dInput(const std::string& text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return parse(text);
    const double degrees = parse(text.substr(0, colon));
    const std::string after = text.substr(colon + 1);
    double minutes = 0, seconds = 0;
    const size_t second = after.find(':');
    if (second != std::string::npos) {
        minutes = parse(after.substr(0, 2)) / 60.0;
        seconds = parse(after.substr(second + 1, 2)) / 3600.0;
    } else if (after.find('.') != std::string::npos) {
        minutes = parse(after) / 60.0;
    } else {
        minutes = parse(after.substr(0, 2)) / 60.0;
    }
    return degrees + minutes + seconds;
}

double fourQuadrant(double p, double q)
{
    double a;
    if (q != 0)
        a = std::atan(p / q);
    else
        a = p > 0 ? kPi / 2 : p < 0 ? -kPi / 2 : 0.0;
    if (q < 0)
        a += kPi;
    if (a > kPi)
        a -= 2 * kPi;
    return a;
}

Pointing Calculate(const Position& antenna, const Position& target)
{
    const double latA = latitudeOf(antenna), lonA = longitudeOf(antenna);
    const double dLat = latitudeOf(target) - latA;
    double dLon = longitudeOf(target) - lonA;
    if (dLon > 180)
        dLon -= 360;
    if (dLon < -180)
        dLon += 360;

    const double phi = latA * kDegToRad;
    const double e2 = (2 - kFlattening) * kFlattening;
    const double w = 1 - e2 * std::sin(phi) * std::sin(phi);
    const double m = (1 - e2) / std::pow(w, 1.5);
    const double n = 1 / std::sqrt(w);
    const double y = m * dLat * kDegToRad;
    const double x = std::cos(phi) * n * dLon * kDegToRad;

    Pointing r;
    r.range = std::sqrt(x * x + y * y) * kEarthRadiusNm;
    r.azimuth = fourQuadrant(x, y) / kDegToRad;
    if (r.azimuth < 0)
        r.azimuth += 360;

    const double ha = altitudeOf(antenna), ht = altitudeOf(target);
    r.viewableRange = kHorizonFactor * std::sqrt(ha) + kHorizonFactor * std::sqrt(ht);
    r.status = r.viewableRange >= r.range                     ? "Viewable"
               : r.viewableRange + kMarginalBandNm > r.range ? "Marginal"
                                                              : "Not Viewable";

    const double ra = kEarthRadiusNm + ha / kFeetPerNm, rt = kEarthRadiusNm + ht / kFeetPerNm;
    const double theta = r.range / kEarthRadiusNm;
    if (rt * std::sin(theta) == 0)
        r.elevation = ht > ha ? 90.0 : ht < ha ? -90.0 : 0.0;
    else
        r.elevation = std::atan((rt * std::cos(theta) - ra) / (rt * std::sin(theta))) / kDegToRad;

    r.azimuthText = fixed2(r.azimuth);
    r.elevationText = fixed2(r.elevation);
    r.rangeText = fixed2(r.range);
    r.viewableText = fixed2(r.viewableRange);
    return r;
}

std::string TargetCommands(const std::string& azimuthText, const std::string& elevationText)
{
    const auto tenths = [](const std::string& t) {
        const double v = std::floor(Val(t, 0) * 10);
        return !(v > 0) ? 0L : long(std::min(v, 9999.0)); // negative (or not a number) as 0
    };
    return "A" + afmtINT4(tenths(azimuthText)) + "\r\n" + "E" + afmtINT4(tenths(elevationText)) + "\r\n";
}

char HemisphereKey(char key, bool latitude)
{
    char c = key;
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    if (c < 'A' || c > 'Z')
        return 0;
    if (latitude)
        return c < 'O' ? 'N' : 'S';
    return c < 'F' ? 'E' : 'W';
}

} // namespace panel::los
