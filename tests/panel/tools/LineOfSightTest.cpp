// Line-of-sight pointing: the angle texts, the flat-earth azimuth and range, the viewable range
// and status, the elevation, the pointing commands and the hemisphere keys.
#include "panel/tools/LineOfSight.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace panel::los;

TEST(LineOfSight, AnglesInEachOfTheirForms)
{
    const struct {
        const char* text;
        double degrees;
    } cases[] = {
        {"38:30", 38.5},    {"38:30:36", 38.51}, {"38:30.6", 38.51}, {"38.51", 38.51},
        {"122:00", 122.0},  {"-10:30", -9.5},    {"", 0.0},          {"abc", 0.0},
        {"5:3", 5.05},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_NEAR(dInput(c.text), c.degrees, 1e-9);
    }
}

TEST(LineOfSight, FourQuadrantAngle)
{
    EXPECT_DOUBLE_EQ(fourQuadrant(1, 0), kPi / 2);
    EXPECT_DOUBLE_EQ(fourQuadrant(-1, 0), -kPi / 2);
    EXPECT_DOUBLE_EQ(fourQuadrant(0, 0), 0.0);
    // atan is the library's; the quadrant steps are this tool's pi.
    EXPECT_NEAR(fourQuadrant(1, -1), kPi - std::atan(1.0), 1e-12);
    EXPECT_NEAR(fourQuadrant(-1, -1), std::atan(1.0) + kPi - 2 * kPi, 1e-12) << "folded into (-pi, pi]";
}

namespace {

Position at(const char* lat, const char* ns, const char* lon, const char* ew, const char* feet = "50")
{
    return {lat, ns, lon, ew, feet};
}

} // namespace

TEST(LineOfSight, AzimuthAndRangeByTheFlatEarthModel)
{
    const Position antenna = at("38:00", "N", "122:00", "W");
    const struct {
        const char* name;
        Position target;
        const char* azimuth;
        const char* range; // empty: not checked
    } cases[] = {
        {"one minute north", at("38:01", "N", "122.00", "W", ""), "0.00", "1.00"},
        {"due east", at("38:00", "N", "121:50", "W", ""), "90.00", ""},
        {"due west", at("38:00", "N", "122:10", "W", ""), "270.00", ""},
        {"due south", at("37:50", "N", "122:00", "W", ""), "180.00", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Pointing p = Calculate(antenna, c.target);
        EXPECT_EQ(p.azimuthText, c.azimuth);
        if (*c.range)
            EXPECT_EQ(p.rangeText, c.range);
    }
    EXPECT_NEAR(Calculate(antenna, at("38:01", "N", "122.00", "W")).range, 0.997, 0.0005);
}

TEST(LineOfSight, ALongitudeDifferenceOverHalfTheWorldGoesTheShortWay)
{
    // 170 W to 20 E is 190 degrees eastward, so -170: the target lies to the west.
    const Pointing p = Calculate(at("0", "N", "170", "W"), at("0", "N", "20", "E"));
    EXPECT_EQ(p.azimuthText, "270.00");
}

TEST(LineOfSight, ViewableRangeAndStatus)
{
    const Position antenna = at("38:00", "N", "122:00", "W", "50");
    // 1.2 sqrt(50) + 1.2 sqrt(1): a target altitude of nothing counts as one foot.
    const Pointing near = Calculate(antenna, at("38:05", "N", "122:00", "W", ""));
    EXPECT_EQ(near.viewableText, "9.69");
    EXPECT_EQ(near.status, "Viewable");
    const struct {
        double miles;
        const char* status;
    } cases[] = {{20, "Marginal"}, {40, "Not Viewable"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.miles);
        const double minutes = c.miles / 0.997; // about a nautical mile a minute of latitude here
        char lat[32];
        std::snprintf(lat, sizeof lat, "38:%.4f", minutes);
        EXPECT_EQ(Calculate(antenna, at(lat, "N", "122:00", "W", "0")).status, c.status);
    }
}

TEST(LineOfSight, ElevationAndCoincidingPositions)
{
    const Position antenna = at("38:00", "N", "122:00", "W", "50");
    const Pointing mast = Calculate(antenna, at("38:01", "N", "122:00", "W", "2000"));
    EXPECT_GT(mast.elevation, 0) << "a mast higher than the antenna is above the horizon";
    const struct {
        const char* feet;
        const char* elevation;
    } cases[] = {{"500", "90.00"}, {"10", "-90.00"}, {"50", "0.00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feet);
        const Pointing p = Calculate(antenna, at("38:00", "N", "122:00", "W", c.feet));
        EXPECT_EQ(p.rangeText, "0.00");
        EXPECT_EQ(p.elevationText, c.elevation);
    }
}

TEST(LineOfSight, TargetCommandsAndHemisphereKeys)
{
    EXPECT_EQ(TargetCommands("123.45", "4.56"), "A1234\r\nE0045\r\n");
    EXPECT_EQ(TargetCommands("0.00", "-1.20"), "A0000\r\nE0000\r\n") << "negative as 0";
    const struct {
        char key;
        bool latitude;
        char becomes;
    } keys[] = {{'n', true, 'N'}, {'N', true, 'N'}, {'s', true, 'S'}, {'x', true, 'S'}, {'e', false, 'E'},
                {'w', false, 'W'}, {'A', false, 'E'}, {'G', false, 'W'}, {'5', true, 0}, {' ', false, 0}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        EXPECT_EQ(HemisphereKey(k.key, k.latitude), k.becomes);
    }
}
