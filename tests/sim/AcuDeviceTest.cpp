// What the simulated controller does with the commands it receives: tracking, parameter
// memory, set commands, antenna motion over virtual time, signal level and status words.
#include "ReplyChecks.h"
#include "SimTestUtil.h"
#include "sim/AcuModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace simtest;
using sim::Ms;

namespace {

unsigned statusWord(sim::AcuModel& m, int index) // 1..4: word 1, word 2, error 1, error 2
{
    const std::string s = ask(m, "S");
    EXPECT_TRUE(statusReplyValid(s)) << s;
    return flagBits(at(s, position(s, "S") + index));
}

unsigned receiverStatus(sim::AcuModel& m)
{
    const std::string s = ask(m, "S");
    return flagBits(at(s, position(s, "S") + 12));
}

long agc(sim::AcuModel& m)
{
    const std::string s = ask(m, "S");
    return numberAt(s, position(s, "S") + 6) / 3;
}

long pField(sim::AcuModel& m, int offset) // +1 elevation, +6 azimuth, +11 cross-level
{
    const std::string p = ask(m, "P");
    return numberAt(p, position(p, "E") + offset);
}

} // namespace

TEST(AcuDevice, TrackingCommandsAreSilentAndShowInStatusWord1Bit3)
{
    sim::AcuModel m;
    calm(m);
    const struct {
        const char* cmd;
        bool tracking;
    } steps[] = {{"D", false}, {"C", true}, {"C", true}, {"D", false}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.cmd);
        m.receive(s.cmd);
        EXPECT_EQ(m.takeOutput(), "") << "no reply to the tracking switch";
        EXPECT_EQ(m.device().tracking(), s.tracking);
        EXPECT_EQ((statusWord(m, 1) & 8u) != 0, s.tracking);
    }
}

TEST(AcuDevice, ParametersAreStoredAndReadBack)
{
    const std::string skew = std::string("m") + char(138);
    const std::string trackDisplay = std::string("m") + char(129);
    const struct {
        std::string set, setReply, read, readReply;
    } cases[] = {
        {"mA123\r\n", "mA123", "mA999\r\n", "mA123"},
        {"mN077\r\n", "mN077", "mN999\r\n", "mN077"},
        {"mS000\r\n", "mS000", "mS999\r\n", "mS000"},
        {skew + "250\r\n", skew + "250", skew + "999\r\n", skew + "250"},
        {trackDisplay + "003\r\n", trackDisplay + "003", std::string(1, char(129)), trackDisplay + "003"},
        {"mA4660\r\n", "mA4660", "mA999\r\n", "mA4660"}, // 16-bit memory
        {"n1050\r\n", "n1050", "n1999\r\n", "n1050"},    // PCU memory is separate
        {"mA70000\r\n", "ERR mA70000", "mA999\r\n", "mA000"},
        {"mA1x3\r\n", "ERR mA1x3", "mA999\r\n", "mA000"},
        {"m\r\n", "ERR m", "m1999\r\n", "m1000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        sim::AcuModel m;
        EXPECT_EQ(ask(m, c.set), c.setReply);
        EXPECT_EQ(ask(m, c.read), c.readReply);
    }
    sim::AcuModel m;
    ask(m, "n1050\r\n");
    EXPECT_EQ(ask(m, "m1999\r\n"), "m1000") << "a PCU write leaves the ACU code alone";
}

TEST(AcuDevice, SetCommandsChangeWhatTheRepliesShow)
{
    const struct {
        const char* name;
        std::vector<std::string> commands;
        std::function<void(sim::AcuModel&)> check;
    } cases[] = {
        {"ship heading", {"B1234\r\n"}, [](sim::AcuModel& m) {
             const std::string h = ask(m, "H");
             EXPECT_EQ(numberAt(h, position(h, "R") + 6), 1234);
             EXPECT_EQ(ask(m, "mm999\r\n"), "mm004");
             EXPECT_EQ(ask(m, "mn999\r\n"), "mn210");
         }},
        {"satellite west", {"T1010\r\n"}, [](sim::AcuModel& m) {
             EXPECT_EQ(ask(m, "mh999\r\n"), "mh003");
             EXPECT_EQ(ask(m, "mi999\r\n"), "mi242");
             EXPECT_EQ(ask(m, "mj999\r\n"), "mj016");
         }},
        {"satellite east given as 360 - longitude", {"T3530\r\n"}, [](sim::AcuModel& m) {
             EXPECT_EQ(ask(m, "mi999\r\n"), "mi070");
             EXPECT_EQ(ask(m, "mj999\r\n"), "mj000");
         }},
        {"tone on", {"c0033\r\n"}, [](sim::AcuModel& m) { EXPECT_EQ(receiverStatus(m) & 16u, 16u); }},
        {"tone off", {"c0033\r\n", "c0032\r\n"}, [](sim::AcuModel& m) { EXPECT_EQ(receiverStatus(m) & 16u, 0u); }},
        {"13 V", {"c0034\r\n"}, [](sim::AcuModel& m) { EXPECT_EQ(receiverStatus(m) & 32u, 0u); }},
        {"18 V", {"c0034\r\n", "c0035\r\n"}, [](sim::AcuModel& m) { EXPECT_EQ(receiverStatus(m) & 32u, 32u); }},
        {"tone and voltage codes do not retune", {"c0033\r\n", "c0034\r\n"}, [](sim::AcuModel& m) {
             EXPECT_EQ(ask(m, "q"), "q1150 6875");
         }},
        {"frequency and symbol rate", {"c1090\r\n", "d1250\r\n"}, [](sim::AcuModel& m) {
             EXPECT_EQ(ask(m, "q"), "q1090 1250");
         }},
        {"FEC 7 with star", {"mu240\r\n"}, [](sim::AcuModel& m) { EXPECT_EQ(receiverStatus(m) & 15u, 15u); }},
        {"threshold as two bytes", {"mo002\r\n", "mp088\r\n"}, [](sim::AcuModel& m) {
             const std::string u = ask(m, "u");
             EXPECT_EQ(numberAt(u, position(u, "G") + 11), 600);
         }},
        {"position sentence", {"$GPGLL,3330.00,S,15130.00,W\r\n"}, [](sim::AcuModel& m) {
             EXPECT_EQ(ask(m, "@"), "@S0335W1515");
         }},
        {"heading sentence", {"$HDHDT,270.5,T\r\n"}, [](sim::AcuModel& m) {
             const std::string h = ask(m, "H");
             EXPECT_EQ(numberAt(h, position(h, "R") + 6), 2705);
         }},
        {"step sizes", {"Y0012\r\n", "X0034\r\n"}, [](sim::AcuModel& m) {
             EXPECT_EQ(ask(m, "mG999\r\n"), "mG012");
             EXPECT_EQ(ask(m, "mH999\r\n"), "mH034");
         }},
        {"polarisation moves to its target", {"J0450\r\n"}, [](sim::AcuModel& m) {
             m.advance(Ms{10000});
             const std::string u = ask(m, "u");
             EXPECT_EQ(numberAt(u, position(u, "G") + 1), 450);
         }},
        {"cross-level moves to its target", {"I1150\r\n"}, [](sim::AcuModel& m) {
             m.advance(Ms{10000});
             EXPECT_EQ(pField(m, 11), 1150);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::AcuModel m;
        calm(m);
        for (const auto& cmd : c.commands) {
            m.receive(cmd);
            const auto lines = splitLines(m.takeOutput());
            ASSERT_EQ(lines.size(), 1u) << "one reply per set command: " << cmd;
            EXPECT_NE(lines[0].rfind("ERR", 0), 0u) << lines[0];
        }
        c.check(m);
    }
}

TEST(AcuDevice, AntennaSlewsTowardItsTargetAtAFiniteRate)
{
    const struct {
        const char* name;
        double az, el;      // start
        const char* cmd;
        int offset;         // field of the "P" reply
        double target;      // where it settles
        double rate;        // tenths per second
        double direction;   // +1 rising, -1 falling (azimuth: the short way)
    } cases[] = {
        {"azimuth up", 1000, 300, "A1800\r\n", 6, 1800, sim::AcuDevice::azimuthRate, +1},
        {"azimuth down", 1800, 300, "A1000\r\n", 6, 1000, sim::AcuDevice::azimuthRate, -1},
        {"azimuth across north", 3500, 300, "A0100\r\n", 6, 100, sim::AcuDevice::azimuthRate, +1},
        {"elevation up", 1800, 300, "E0600\r\n", 1, 600, sim::AcuDevice::elevationRate, +1},
        {"elevation held at the top stop", 1800, 850, "E1500\r\n", 1, 900, sim::AcuDevice::elevationRate, +1},
        {"azimuth as a binary angle", 0, 300, "k071C\r\n", 6, 100, sim::AcuDevice::azimuthRate, +1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::AcuModel m;
        calm(m);
        m.device().placeAntenna(c.az, c.el);
        ask(m, c.cmd);
        EXPECT_FALSE(m.device().tracking()) << "a pointing command ends tracking";
        const double start = c.offset == 6 ? c.az : c.el;
        EXPECT_EQ(pField(m, c.offset), std::lround(start)) << "nothing moves without time";

        double prev = start;
        bool arrived = false;
        for (int second = 1; second <= 40 && !arrived; ++second) {
            m.advance(Ms{1000});
            const double now = static_cast<double>(pField(m, c.offset));
            double moved = now - prev;
            if (c.offset == 6) { // azimuth wraps at 360.0
                if (moved > 1800) moved -= 3600;
                if (moved < -1800) moved += 3600;
            }
            EXPECT_LE(std::fabs(moved), c.rate + 1) << "at " << second << " s";
            arrived = std::lround(now) == std::lround(c.target);
            if (!arrived) {
                EXPECT_NEAR(moved * c.direction, c.rate, 1) << "full speed until close, at " << second << " s";
            }
            prev = now;
        }
        EXPECT_TRUE(arrived);
        m.advance(Ms{5000});
        EXPECT_EQ(pField(m, c.offset), std::lround(c.target)) << "stays on target";
    }
}

TEST(AcuDevice, SignalLevelRisesAsThePointingErrorFalls)
{
    sim::AcuModel m;
    calm(m);
    auto& d = m.device();
    d.setTracking(false);
    const sim::Direction sat = d.satelliteDirection();
    long previous = -1;
    for (double offDegrees : {4.0, 2.0, 1.0, 0.5, 0.0}) {
        SCOPED_TRACE(offDegrees);
        d.placeAntenna(sat.azimuth, sat.elevation + offDegrees * 10);
        const long level = agc(m);
        EXPECT_GT(level, previous);
        previous = level;
    }
    EXPECT_GT(previous, d.threshold()) << "on target the level is above the tracking threshold";
    d.placeAntenna(sat.azimuth, sat.elevation + 100);
    EXPECT_LT(agc(m), d.threshold()) << "ten degrees off it is below";
}

TEST(AcuDevice, TrackingFindsTheSatelliteAndShowsSearchingMeanwhile)
{
    sim::AcuModel m;
    calm(m);
    auto& d = m.device();
    const sim::Direction sat = d.satelliteDirection();
    d.setTracking(false);
    d.placeAntenna(sat.azimuth - 200, sat.elevation); // 20 degrees west of it
    const long before = agc(m);

    m.receive("C");
    m.advance(Ms{500});
    EXPECT_EQ(statusWord(m, 2) & 1u, 1u) << "searching while off the satellite";
    m.advance(Ms{5000});
    EXPECT_LT(d.pointingError(), 0.1);
    EXPECT_EQ(statusWord(m, 2) & 1u, 0u) << "searching ends on the satellite";
    EXPECT_EQ(statusWord(m, 2) & 0x30u, 0x30u) << "azimuth and elevation on target";
    EXPECT_GT(agc(m), before + 300);
}

TEST(AcuDevice, SatelliteBelowTheHorizonIsARangeError)
{
    sim::AcuModel m;
    calm(m);
    EXPECT_EQ(statusWord(m, 3) & 32u, 0u);
    ask(m, "$GPGLL,4318.00,N,10000.00,W\r\n"); // far to the west of a satellite at 7.0 E
    EXPECT_LT(m.device().satelliteDirection().elevation, 0);
    EXPECT_EQ(statusWord(m, 3) & 32u, 32u);
    EXPECT_LT(agc(m), m.device().threshold());
}

TEST(AcuDevice, InjectedErrorsShowUntilReset)
{
    sim::AcuModel m;
    calm(m);
    m.device().injectErrors({/*acuError1*/ 1, /*acuError2*/ 16, /*pcuWord3*/ 4, /*pcuWord4*/ 0});
    EXPECT_EQ(statusWord(m, 3), 1u | 8u) << "gyro read error and the PCU error summary";
    EXPECT_EQ(statusWord(m, 4), 16u) << "stability limit";
    std::string pcu = ask(m, "?   S\r\n");
    EXPECT_EQ(flagBits(at(pcu, 4)), 4u);
    EXPECT_EQ(flagBits(at(pcu, 3)) & 4u, 4u) << "PCU error summary in PCU word 2";

    EXPECT_EQ(ask(m, "&"), "&");
    EXPECT_EQ(statusWord(m, 3), 8u) << "ACU errors cleared, the PCU's remain";
    EXPECT_EQ(statusWord(m, 4), 0u);
    EXPECT_EQ(ask(m, "?   &\r\n"), "&");
    EXPECT_EQ(statusWord(m, 3), 0u);
    pcu = ask(m, "?   S\r\n");
    EXPECT_EQ(flagBits(at(pcu, 4)), 0u);
}

TEST(AcuDevice, SaveAndRestartKeepTheSavedParameters)
{
    sim::AcuModel m;
    calm(m);
    ask(m, "mA050\r\n");
    EXPECT_EQ(ask(m, "\x1b\\0087\r\n"), "\\0087");
    ask(m, "mA099\r\n");
    EXPECT_EQ(ask(m, "\\0090\r\n"), "\\0090");
    EXPECT_EQ(ask(m, "mA999\r\n"), "mA050");
    EXPECT_FALSE(m.device().tracking());
    EXPECT_EQ(statusWord(m, 2) & 2u, 2u) << "initializing after the restart";
    m.advance(sim::AcuDevice::initializingTime);
    EXPECT_EQ(statusWord(m, 2) & 2u, 0u);
}

TEST(AcuDevice, PcuModeCommandsSetThePcuWords)
{
    sim::AcuModel m;
    calm(m);
    const struct {
        const char* cmd;
        unsigned pcuWord1; // after the command
    } steps[] = {
        {"^0067\r\n", 8u},       // circlex on
        {"^0070\r\n", 8u | 32u}, // slow scan
        {"^0071\r\n", 8u | 32u | 16u},
        {"^0000\r\n", 8u},       // normal mode leaves circlex alone
        {"^0067\r\n", 0u},       // circlex off
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.cmd);
        EXPECT_EQ(ask(m, s.cmd), std::string(s.cmd).substr(0, 5));
        const std::string pcu = ask(m, "?   S\r\n");
        EXPECT_EQ(flagBits(at(pcu, 2)), s.pcuWord1);
        EXPECT_EQ((statusWord(m, 1) & 32u) != 0, (s.pcuWord1 & 32u) != 0) << "slow scan in ACU word 1";
    }
}

TEST(AcuDevice, RepliesToTheRestOfTheCommandSet)
{
    const struct {
        std::string cmd;
        std::string reply; // "" = no reply
    } cases[] = {
        {"wV   \r\n", ""},                 // answered through "w!"
        {"w!123\r\n", "DVB VER 1.07 SIM"},
        {"[V   \r\n", "COMM IF VER 2.02 SIM"},
        {"[L   \r\n", "[L   "}, // acknowledged as received
        {"F1234\r", "F1234"},
        {"]0411\r\n", "MDE VER 1.12 SIM"},
        {"?   V\r\n", "PCU VER 2.31 SIM"},
        {"?S\r\n", "S@h@@"},               // the terminal's short form
        {"?   Z\r\n", "ERR ?   Z"},
        {"Kxyz\r\n", ""},                  // not a command lead: every byte ignored
        {"A12x4\r\n", "ERR A12x4"},
        {"$GPXXX,1\r\n", "ERR $GPXXX,1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cmd);
        sim::AcuModel m;
        calm(m);
        EXPECT_EQ(ask(m, c.cmd), c.reply);
    }
}
