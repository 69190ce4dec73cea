#pragma once
// Line-of-sight pointing: where an antenna must point to see a terrestrial target (another
// station, a mast), by the WGS84 local flat-earth model, and whether the target lies within radio
// line of sight. Pure functions, so the window and any other tool can use them.
#include <string>

namespace panel::los {

// pi as this tool has always used it, and the degree-to-radian factor made from it.
inline constexpr double kPi = 3.141593625;
inline constexpr double kDegToRad = kPi / 180.0;
inline constexpr double kFlattening = 1.0 / 298.257223563;
inline constexpr double kEarthRadiusNm = 3438.0;
inline constexpr double kFeetPerNm = 6087.0;
inline constexpr double kHorizonFactor = 1.2;
inline constexpr double kMarginalBandNm = 25.0;

// An angle typed as "DD:MM:SS", "DD:MM.mmmm" or "DD.dddddd", in degrees; text that does not
// parse counts as 0.
double dInput(const std::string& text);
// The four-quadrant angle of (p, q) in radians, (-pi, pi].
double fourQuadrant(double p, double q);

struct Position {
    std::string latitude, latHemisphere;   // e.g. "38:01", "N"
    std::string longitude, lonHemisphere;  // e.g. "122.00", "W"
    std::string altitudeFeet;              // text; 0 or less (or none) counts as 1 foot
};

struct Pointing {
    double azimuth = 0;       // degrees, 0..360
    double elevation = 0;     // degrees
    double range = 0;         // nautical miles
    double viewableRange = 0; // nautical miles
    std::string status;       // "Viewable", "Marginal", "Not Viewable"
    // The texts the window shows: "##0.00", "#0.00", "##0.00", "###0.00".
    std::string azimuthText, elevationText, rangeText, viewableText;
};

// Calculate: from the antenna to the target. Where the two positions coincide the range is 0
// and the elevation is 90.00 when the target stands higher, -90.00 when lower, 0.00 when level
// (the slant formula would divide by zero).
Pointing Calculate(const Position& antenna, const Position& target);

// Target Antenna: the pointing commands for the texts shown, "A" + azimuth x 10 and "E" +
// elevation x 10, each four digits (rounded down; negative as 0), each ended by CR LF.
std::string TargetCommands(const std::string& azimuthText, const std::string& elevationText);

// A key typed in a hemisphere box: the letter that replaces the box's content (lower case as
// upper; a latitude box takes "N" for letters below "O", else "S"; a longitude box "E" for
// letters below "F", else "W"); 0 for a key that is not a letter (left as it is).
char HemisphereKey(char key, bool latitude);

} // namespace panel::los
