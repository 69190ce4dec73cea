// What the panel's diagnostics read from the simulated controller: the PCU graph streams as
// the decoder reads them, the circlex ring and its phase, the spectrum sweep's peak, every
// reply of the panel's parameter dump, and the commands of the torque drive tests.
#include "ReplyChecks.h"
#include "SimTestUtil.h"
#include "sim/AcuModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

using namespace simtest;
using sim::Ms;

namespace {

constexpr double kPi = 3.14159265358979323846;

// One graph reply as the panel's decoder reads it: the mark anywhere, three fields at +3, +8
// and +13 from it (hexadecimal for the loop errors), the phase at +2.
struct Sample {
    bool ok = false;
    long a = 0, b = 0, c = 0;
    int phase = 0;
};

Sample readStream(const std::string& line, char letter)
{
    const std::string mark = letter == 'x' ? "iv" : letter == 'y' ? "tc" : std::string(1, letter) + " ";
    Sample s;
    const int k = position(line, mark);
    if (k == 0)
        return s;
    const auto read = [&](int offset) {
        const std::string f = field(line, k + offset, 4);
        if (letter == 'x')
            return isHexDigits(f, 4) ? std::stol(f, nullptr, 16) : -1L;
        return isDigits(f, 4) ? std::stol(f) : -1L;
    };
    s.a = read(3);
    s.b = read(8);
    s.c = read(13);
    s.phase = static_cast<unsigned char>(at(line, k + 2)) - '@';
    s.ok = s.a >= 0 && s.b >= 0 && s.c >= 0;
    return s;
}

std::string pcuQuery(char letter) { return std::string("?   ") + letter + "\r\n"; }

Sample sample(sim::AcuModel& m, char letter)
{
    const std::string line = ask(m, pcuQuery(letter));
    const Sample s = readStream(line, letter);
    EXPECT_TRUE(s.ok) << line;
    return s;
}

double wrapAngle(double a) // to -pi..pi
{
    return std::remainder(a, 2 * kPi);
}

} // namespace

TEST(GraphStreams, ReadingsWanderAboutTheirZeroWithNoiseOfTheirOwn)
{
    struct Channel {
        char letter;
        int index; // 0..2: the field at +3, +8, +13
        long zero, bound;
    };
    const std::vector<Channel> channels = {
        {'v', 0, 2048, 30}, {'v', 1, 2048, 30}, {'v', 2, 2048, 8},   // tilt 40 a degree, azimuth 2
        {'w', 0, 2048, 15}, {'w', 1, 2048, 15}, {'w', 2, 2048, 15},  // 20 a degree per second
        {'x', 0, 128, 10},  {'x', 1, 128, 10},  {'x', 2, 128, 10},   // 0.005 degree
        {'y', 0, 128, 16},  {'y', 1, 128, 16},  {'y', 2, 128, 16},
    };
    sim::AcuModel m; // on the satellite, tracking, in a seaway
    std::vector<std::vector<long>> seen(channels.size());
    for (int tick = 0; tick < 150; ++tick) {
        m.advance(Ms{200});
        for (char letter : {'v', 'w', 'x', 'y'}) {
            const Sample s = sample(m, letter);
            for (size_t i = 0; i < channels.size(); ++i)
                if (channels[i].letter == letter)
                    seen[i].push_back((channels[i].index == 0 ? s.a : channels[i].index == 1 ? s.b : s.c) -
                                      channels[i].zero);
        }
    }
    for (size_t i = 0; i < channels.size(); ++i) {
        SCOPED_TRACE(std::string(1, channels[i].letter) + " field " + std::to_string(channels[i].index));
        const auto [lo, hi] = std::minmax_element(seen[i].begin(), seen[i].end());
        EXPECT_GE(*lo, -channels[i].bound);
        EXPECT_LE(*hi, channels[i].bound);
        EXPECT_GE(*hi - *lo, 2) << "a live reading moves";
        int changes = 0;
        for (size_t t = 1; t < seen[i].size(); ++t)
            changes += seen[i][t] != seen[i][t - 1];
        EXPECT_GT(changes, 20) << "noise on top of the mean";
    }
    EXPECT_NE(seen[6], seen[7]) << "each channel has noise of its own";
}

TEST(GraphStreams, CirclexLoopErrorsDrawARingWhosePhaseTurnsWithIt)
{
    for (bool sea : {false, true}) {
        SCOPED_TRACE(sea ? "seaway" : "calm");
        sim::AcuModel m;
        m.device().setShipMotion(sea);
        EXPECT_EQ(ask(m, "^0067\r\n"), "^0067");
        const double slack = sea ? 5 : 1.5;
        std::set<int> octants;
        for (int i = 0; i < 100; ++i) {
            m.advance(Ms{23});
            const Sample s = sample(m, 'x');
            const double cl = double(s.a - 128), lv = double(s.b - 128), az = double(s.c - 128);
            const double radius = sim::AcuDevice::circlexRadius / sim::AcuDevice::loopErrorCount;
            EXPECT_NEAR(std::hypot(cl, lv), radius, slack) << "(cross-level, level) on the ring, sample " << i;
            EXPECT_NEAR(std::hypot(az, lv), radius, slack) << "(azimuth, level) on the ring, sample " << i;
            const double angle = std::atan2(lv, cl);
            octants.insert(int(std::floor((angle + kPi) / (kPi / 4))) % 8);
            // The phase counts the scan backwards: the error's angle plus the phase stays at 0.
            ASSERT_GE(s.phase, 0);
            ASSERT_LE(s.phase, 63);
            EXPECT_NEAR(wrapAngle(angle + s.phase * kPi / 32), 0.0, kPi / 32 + (sea ? 0.3 : 0.1)) << "sample " << i;
        }
        EXPECT_EQ(octants.size(), 8u) << "all the way round";

        EXPECT_EQ(ask(m, "^0067\r\n"), "^0067");
        for (int i = 0; i < 20; ++i) {
            m.advance(Ms{23});
            const Sample s = sample(m, 'x');
            EXPECT_LE(std::hypot(double(s.a - 128), double(s.b - 128)), sea ? 6 : 0) << "no ring without circlex";
        }
    }
}

TEST(Spectrum, SweepPeaksAtTheSatellitesReceiverFrequency)
{
    for (int carrier : {1150, 1300}) {
        SCOPED_TRACE(carrier);
        sim::AcuModel m;
        calm(m);
        if (carrier != 1150)
            m.device().setCarrierFrequency(carrier);
        int best = 0;
        long bestLevel = -1, floorLevel = 9999;
        for (int f = 937; f <= 1534; f += 3) {
            char cmd[16];
            std::snprintf(cmd, sizeof cmd, "c%04d\r\n", f);
            const std::string reply = ask(m, cmd);
            const int k = position(reply, "L");
            ASSERT_GE(k, 1) << reply;
            ASSERT_LE(k, 3) << reply;
            const long level = numberAt(reply, k + 1);
            ASSERT_GE(level, 0) << reply;
            if (level > bestLevel) {
                bestLevel = level;
                best = f;
            }
            floorLevel = std::min(floorLevel, level);
        }
        EXPECT_LE(std::abs(best - carrier), 3) << "peak at " << best;
        EXPECT_GT(bestLevel - floorLevel, 150) << "the carrier stands well above the floor";
        EXPECT_LE(bestLevel, 240) << "the trace fits the panel's chart (y = 240 - level)";
        // The sweep's end tunes the receiver back.
        ask(m, "c1150\r\n");
        EXPECT_EQ(ask(m, "q"), "q1150 6875");
    }
}

TEST(ParameterDump, EveryReplyOfThePanelsDumpReadsAPlausibleValue)
{
    std::vector<std::string> sequence = {"V", "S"};
    for (int c = 65; c <= 138; ++c)
        sequence.push_back(std::string("m") + char(c) + "999\r\n");
    sequence.push_back("?   V\r\n");
    sequence.push_back("?   S\r\n");
    for (int c = 48; c <= 59; ++c)
        sequence.push_back(std::string("n") + char(c) + "999\r\n");
    sequence.push_back("[V   \r\n");
    ASSERT_EQ(sequence.size(), 91u);

    sim::AcuModel m;
    calm(m);
    ask(m, "^0067\r\n"); // circlex on: the PCU's live codes show it
    std::vector<long> acu(256, -1), pcu(256, -1);
    for (const auto& cmd : sequence) {
        SCOPED_TRACE(cmd);
        const std::string reply = ask(m, cmd);
        if (cmd[0] == 'm' || cmd[0] == 'n') {
            // The dump reads the last three characters, of the first four for "n".
            const std::string cut = cmd[0] == 'n' ? reply.substr(0, 4) : reply;
            ASSERT_GE(cut.size(), 3u) << reply;
            const std::string value = cut.substr(cut.size() - 3);
            ASSERT_TRUE(isDigits(value, 3)) << reply;
            EXPECT_LE(std::stol(value), 255) << "one byte";
            (cmd[0] == 'm' ? acu : pcu)[static_cast<unsigned char>(cmd[1])] = std::stol(value);
        } else if (cmd == "S") {
            EXPECT_TRUE(statusReplyValid(reply)) << reply;
        } else if (cmd == "?   S\r\n") {
            EXPECT_EQ(position(reply, "S"), 1) << reply;
        } else {
            EXPECT_NE(reply.find("VER"), std::string::npos) << reply;
        }
    }
    const auto word = [&acu](unsigned char hi) { return acu[hi] * 256 + acu[hi + 1u]; };
    EXPECT_EQ(word('A'), 12) << "El Trim +1.2";
    EXPECT_EQ(word('C'), 65531) << "Az Trim -0.5";
    EXPECT_EQ(word('b'), 433) << "latitude 43.3";
    EXPECT_EQ(word('e'), 54) << "longitude 5.4";
    EXPECT_EQ(word('h'), 70) << "satellite 7.0";
    EXPECT_EQ(word('k') / 6, 90) << "local heading in sixths";
    EXPECT_EQ(word('m'), 900) << "remote heading 90.0";
    EXPECT_EQ(word('q'), 1150) << "frequency";
    EXPECT_EQ(word('w') / 16, m.device().signalLevel()) << "AGC, sixteen to the level";
    EXPECT_EQ(acu['N'], 65) << "System Type";
    for (int c = 'S'; c <= '_'; c += 2)
        EXPECT_LT(acu[static_cast<unsigned>(c)], 28) << "azimuth limit high bytes stay below 28";
    EXPECT_EQ(pcu['1'], 40) << "CL Kp";
    EXPECT_EQ(pcu['7'], 1) << "Circlex, live";
    EXPECT_EQ(pcu['8'], 8) << "Scan Rate";
    EXPECT_EQ(pcu[';'], 8) << "Stat1: PCU word 1, circlex";
}

TEST(ParameterDump, BusyAndEscapedPcuRequestsKeepTheirShapes)
{
    sim::AcuModel m;
    m.faults().busyNext = true;
    EXPECT_EQ(ask(m, "n8999\r\n"), "n###") << "the busy mark where the dump reads the value";
    m.faults().busyNext = true;
    EXPECT_EQ(ask(m, "mA999\r\n"), "mA###");
    EXPECT_EQ(ask(m, "n8999\r\n"), "n008 8");
    // The terminal's ESC form is answered by the ACU in its own layout.
    EXPECT_EQ(m.device().execute(sim::Command::line("n8999"), true), std::optional<std::string>("n8008"));
    EXPECT_EQ(sim::AcuDevice::busyReply(sim::Command::line("n8999"), true), "n8###");
}

TEST(TorqueDrive, CrossLevelDriveStepsPushTheAxisBackThroughLevel)
{
    const struct {
        const char* side;
        long start;
        int direction;
    } rows[] = {{"I0650\r\n", 650, +1}, {"I1150\r\n", 1150, -1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.side);
        sim::AcuModel m;
        calm(m);
        EXPECT_EQ(ask(m, r.side), std::string(r.side).substr(0, 5));
        m.advance(Ms{10000});
        const auto crossLevel = [&m] {
            const std::string p = ask(m, "P");
            return numberAt(p, position(p, "E") + 11);
        };
        ASSERT_EQ(crossLevel(), r.start);
        for (int i = 0; i < 8; ++i) { // 2 s at full drive
            EXPECT_EQ(ask(m, "^3100\r\n"), "^3100");
            m.advance(Ms{250});
        }
        EXPECT_NEAR(double(crossLevel() - r.start), r.direction * 80.0, 2.0) << "8 degrees in 2 s";
        const Sample t = sample(m, 'y');
        EXPECT_EQ((t.a - 128 > 0 ? 1 : -1), r.direction) << "the torque command shows the drive";
        ask(m, "^3000\r\n");
        const long held = crossLevel();
        m.advance(Ms{1000});
        EXPECT_EQ(crossLevel(), held) << "no drive, no motion";
        ask(m, "I0900\r\n");
        m.advance(Ms{20000});
        EXPECT_EQ(crossLevel(), 900);
    }
}

TEST(TorqueDrive, SlowScanTurnsTheAzimuthAtTheScanRate)
{
    sim::AcuModel m;
    calm(m);
    m.device().setTracking(false);
    m.device().placeAntenna(1000, 300);
    const auto azimuth = [&m] {
        const std::string p = ask(m, "P");
        return numberAt(p, position(p, "E") + 6);
    };
    EXPECT_EQ(ask(m, "^0070\r\n"), "^0070");
    m.advance(Ms{1000});
    EXPECT_NEAR(double(azimuth()), 1008, 1) << "the normal scan rate, 0.8 degrees a second";
    EXPECT_EQ(ask(m, "n8040\r\n"), "n040 8");
    m.advance(Ms{1000});
    EXPECT_NEAR(double(azimuth()), 1048, 1) << "the test's scan rate";
    ask(m, "^0000\r\n");
    const long stopped = azimuth();
    m.advance(Ms{1000});
    EXPECT_EQ(azimuth(), stopped) << "normal mode ends the scan";
    ask(m, "n8008\r\n");
    ask(m, "A1000\r\n");
    m.advance(Ms{5000});
    EXPECT_EQ(azimuth(), 1000) << "back to the saved azimuth";
    EXPECT_EQ(m.device().scanRate(), 8);
}

TEST(TorqueDrive, FeedTravelsTwoTurnsForTheTestPoints)
{
    sim::AcuModel m;
    calm(m);
    const auto pol = [&m] {
        const std::string u = ask(m, "u");
        return numberAt(u, position(u, "G") + 1);
    };
    EXPECT_EQ(pol(), 3600) << "the feed rests mid-travel";
    for (const auto& [cmd, expected] : std::vector<std::pair<std::string, long>>{
             {"J6300\r\n", 6300}, {"J9999\r\n", 7200}, {"J0900\r\n", 900}}) {
        SCOPED_TRACE(cmd);
        EXPECT_EQ(ask(m, cmd), cmd.substr(0, 5));
        m.advance(Ms{80000});
        EXPECT_EQ(pol(), expected);
    }
}
