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
        {"n1050\r\n", "n050 1", "n1999\r\n", "n050 1"},  // PCU memory is separate; the PCU answers
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
             m.advance(Ms{40000}); // from the middle of the feed's travel at 10 degrees a second
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

    // The PCU's own reset clears only its words; the ACU's reset clears everything.
    EXPECT_EQ(ask(m, "?   &\r\n"), "&");
    EXPECT_EQ(statusWord(m, 3), 1u) << "the PCU error summary goes with the PCU words";
    EXPECT_EQ(statusWord(m, 4), 16u);
    EXPECT_EQ(flagBits(at(ask(m, "?   S\r\n"), 4)), 0u);

    m.device().injectErrors({1, 16, 4, 2});
    EXPECT_EQ(ask(m, "&"), "&");
    EXPECT_EQ(statusWord(m, 3), 0u);
    EXPECT_EQ(statusWord(m, 4), 0u);
    pcu = ask(m, "?   S\r\n");
    EXPECT_EQ(flagBits(at(pcu, 4)), 0u);
    EXPECT_EQ(flagBits(at(pcu, 5)), 0u);
    EXPECT_EQ(flagBits(at(pcu, 3)) & 4u, 0u);
}

TEST(AcuDevice, ServoFaultOnDemandShowsUntilThePanelResetsTheErrors)
{
    sim::AcuModel m;
    calm(m);
    m.device().scheduleServoFault(Ms{5000});
    m.advance(Ms{4900});
    EXPECT_EQ(statusWord(m, 3), 0u) << "no error before it is due";
    EXPECT_EQ(statusWord(m, 4), 0u);
    EXPECT_EQ(flagBits(at(ask(m, "?   S\r\n"), 4)), 0u);

    m.advance(Ms{100});
    EXPECT_EQ(statusWord(m, 3), 8u) << "PCU error in ACU error word 1";
    EXPECT_EQ(statusWord(m, 4), 4u) << "azimuth servo limit in ACU error word 2";
    const std::string pcu = ask(m, "?   S\r\n");
    EXPECT_EQ(flagBits(at(pcu, 4)), 4u) << "azimuth torque limit in PCU word 3";
    EXPECT_EQ(flagBits(at(pcu, 3)) & 4u, 4u) << "PCU error in PCU word 2";
    m.advance(Ms{10000});
    EXPECT_EQ(statusWord(m, 4), 4u) << "the fault stays until reset";

    // The panel's "Reset Error Bits": the reset and a fresh PCU status query, paced.
    const auto replies = splitLines(typeLikePanel(m, "&    \r\n?   S\r\n"));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], "&");
    EXPECT_EQ(flagBits(at(replies[1], 4)), 0u) << replies[1];
    EXPECT_EQ(flagBits(at(replies[1], 3)) & 4u, 0u) << replies[1];
    EXPECT_EQ(statusWord(m, 3), 0u);
    EXPECT_EQ(statusWord(m, 4), 0u);
    m.advance(Ms{20000});
    EXPECT_EQ(statusWord(m, 4), 0u) << "raised once";
    EXPECT_FALSE(m.device().servoFaultScheduled());
}

TEST(AcuDevice, PowerUpInitializesThenSearchesThenTracksOnTarget)
{
    sim::AcuModel m;
    calm(m);
    auto& d = m.device();
    d.powerUp();
    const long az0 = pField(m, 6), el0 = pField(m, 1);
    EXPECT_EQ(el0, std::lround(sim::AcuDevice::stowElevation));
    EXPECT_GT(d.pointingError(), 5.0) << "stowed away from the satellite";

    const long ticks = sim::AcuDevice::initializingTime / panelTick;
    for (long i = 0; i < ticks; ++i) {
        SCOPED_TRACE(i);
        const unsigned w1 = statusWord(m, 1), w2 = statusWord(m, 2);
        EXPECT_EQ(w2 & 3u, 2u) << "Initializing, not Searching";
        EXPECT_EQ(w1 & 8u, 0u) << "not tracking yet";
        EXPECT_EQ(w2 & 0x30u, 0u) << "no target yet";
        EXPECT_EQ(flagBits(at(ask(m, "?   S\r\n"), 3)) & 2u, 2u) << "PCU Init";
        EXPECT_EQ(pField(m, 6), az0) << "the axes hold still";
        EXPECT_EQ(pField(m, 1), el0);
        m.advance(panelTick);
    }

    // Initializing is over: the satellite is loaded and the search runs until it is found.
    int searchTicks = 0;
    bool onTarget = false;
    for (int i = 0; i < 300 && !onTarget; ++i) {
        SCOPED_TRACE(i);
        const unsigned w1 = statusWord(m, 1), w2 = statusWord(m, 2);
        EXPECT_EQ(w1 & 8u, 8u) << "tracking";
        EXPECT_EQ(w2 & 2u, 0u) << "initializing is over";
        if (i == 0) {
            EXPECT_EQ(w2 & 1u, 1u) << "Searching right after initializing";
        }
        if (w2 & 1u) {
            ++searchTicks;
        } else {
            EXPECT_LE(d.pointingError(), sim::AcuDevice::captureError) << "Searching until it is found";
        }
        onTarget = (w2 & 0x31u) == 0x30u;
        if (!onTarget)
            m.advance(panelTick);
    }
    ASSERT_TRUE(onTarget);
    EXPECT_GT(searchTicks, 5) << "the search takes the antenna's travel time";
    for (int i = 0; i < 25; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(statusWord(m, 2) & 0x33u, 0x30u) << "stays on target";
        m.advance(panelTick);
    }
    EXPECT_GT(agc(m), d.threshold());
    const std::string pcu = ask(m, "?   S\r\n");
    EXPECT_EQ(flagBits(at(pcu, 3)) & 0x22u, 0x20u) << "PCU: azimuth on target, init over";
}

TEST(AcuDevice, AfterInitializingTrackingStartsOnlyWithSatLoadOnReset)
{
    const struct {
        const char* name;
        const char* systemType;  // set before power-up
        const char* duringInit;  // sent one second into it ("" for nothing)
        bool tracking;           // once initializing is over
    } cases[] = {
        {"sat load on reset", "mN065\r\n", "", true},
        {"without it", "mN064\r\n", "", false},
        {"tracking switched off meanwhile", "mN065\r\n", "D", false},
        {"pointed meanwhile", "mN065\r\n", "A0450\r\n", false},
        {"tracking switched on meanwhile", "mN064\r\n", "C", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::AcuModel m;
        calm(m);
        ask(m, c.systemType);
        m.device().powerUp();
        m.advance(Ms{1000});
        ask(m, c.duringInit);
        m.advance(sim::AcuDevice::initializingTime);
        EXPECT_EQ(statusWord(m, 2) & 2u, 0u);
        EXPECT_EQ((statusWord(m, 1) & 8u) != 0, c.tracking);
        EXPECT_EQ((statusWord(m, 2) & 1u) != 0, c.tracking) << "searching only while tracking";
    }
}

TEST(AcuDevice, BlockageZonesShowBlockMute)
{
    const struct {
        const char* name;
        std::vector<std::string> setup;
        double relative, elevation; // tenths
        bool blocked;
    } cases[] = {
        {"astern, low", {}, 1800, 150, true},
        {"astern, above the zone", {}, 1800, 300, false},
        {"at the zone's first limit", {}, 1650, 150, true},
        {"just outside it", {}, 1640, 150, false},
        {"abeam", {}, 900, 150, false},
        {"zone moved by its limits", {"mS000\r\n", "mT200\r\n", "mU001\r\n", "mV144\r\n"}, 300, 150, true},
        {"second zone across the bow",
         {"mY013\r\n", "mZ172\r\n", "m[000\r\n", "m\\100\r\n", std::string("m") + char(135) + "040\r\n"}, 50, 350, true},
        {"zone without an elevation is not in use", {std::string("m") + char(134) + "000\r\n"}, 1800, 150, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::AcuModel m;
        calm(m);
        for (const auto& cmd : c.setup)
            EXPECT_NE(ask(m, cmd).rfind("ERR", 0), 0u) << cmd;
        ask(m, "D");
        m.device().placeAntenna(m.device().shipHeading() + c.relative, c.elevation);
        EXPECT_EQ((statusWord(m, 2) & 4u) != 0, c.blocked);
    }
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
    EXPECT_TRUE(m.device().tracking()) << "System Type loads the satellite on reset";
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
