// Every set command the panel's entry field, menus and indicator labels can send, delivered
// as the panel's typed-text queue paces it, changes what the next poll of the screen that
// shows the item reports. Also: every parameter code the MODE and SATELLITE screens poll
// answers in a shape the panel accepts.
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

using Read = std::function<std::string(const std::string& reply)>;

// The whole reply line (parameter replies, ship position).
const Read whole = [](const std::string& r) { return r; };

// The field of width characters at offset from the key character.
Read fieldAfter(const char* key, int offset, int width)
{
    return [=](const std::string& r) {
        const int k = position(r, key);
        return k == 0 ? std::string("<no key>") : field(r, k + offset, width);
    };
}

// The flag bits under mask of the status character at offset from the key, as a number.
Read bitsAfter(const char* key, int offset, unsigned mask)
{
    return [=](const std::string& r) {
        const int k = position(r, key);
        return k == 0 ? std::string("<no key>") : std::to_string(flagBits(at(r, k + offset)) & mask);
    };
}

// A parameter as the panel polls it: "m" + code + "999" + CR LF.
std::string readParam(unsigned char code)
{
    return std::string("m") + static_cast<char>(code) + "999\r\n";
}
std::string setParam(unsigned char code, const char* value)
{
    return std::string("m") + static_cast<char>(code) + value + "\r\n";
}
std::string paramReply(unsigned char code, const char* value)
{
    return std::string("m") + static_cast<char>(code) + value;
}

struct Check {
    std::string query; // the poll element that reads the item back
    Read read;
    std::string expected;
};

struct Case {
    const char* item;                          // the screen or control that sends it
    std::string typed;                         // the typed-text queue as the panel fills it
    std::vector<Check> checks;
    int replies;                               // reply lines the typed text gets
    std::string setup = {};                    // typed first, to leave the default state
    std::function<void(sim::AcuModel&)> prepare = {};
    double slewRate = 0;                       // tenths per second when the item moves there
};

// An item set to value v and read back as a parameter.
Case paramCase(const char* item, unsigned char code, const char* value)
{
    return {item, setParam(code, value), {{readParam(code), whole, paramReply(code, value)}}, 1};
}

// A 16-bit item sent as its high and low byte.
Case pairCase(const char* item, unsigned char hi, const char* hiValue, const char* loValue)
{
    const auto lo = static_cast<unsigned char>(hi + 1);
    return {item,
            setParam(hi, hiValue) + setParam(lo, loValue),
            {{readParam(hi), whole, paramReply(hi, hiValue)}, {readParam(lo), whole, paramReply(lo, loValue)}},
            2};
}

std::vector<Case> entryCases()
{
    const Read threshold = fieldAfter("G", 11, 4);
    const Read frequency = fieldAfter("q", 1, 4);
    const Read baud = fieldAfter("q", 6, 4);
    const Read receiver = bitsAfter("S", 12, 63);
    const Read heading = fieldAfter("R", 6, 4);
    const Read azimuth = fieldAfter("E", 6, 4);
    const Read elevation = fieldAfter("E", 1, 4);
    const Read polarisation = fieldAfter("G", 1, 4);
    // Receiver status at start: FEC 3/4 (3), 18 V (32), tone off.
    std::vector<Case> cases = {
        // SHIP: the position sentence is long, so it arrives twice.
        {"17 latitude / 18 longitude", "$GPGLL,3748.00,N,12213.00,W\r\n", {{"@", whole, "@N0378W1222"}}, 2},
        {"17 latitude south / 18 longitude east", "$GPGLL,3330.00,S,15112.00,E\r\n", {{"@", whole, "@S0335E1512"}}, 2},
        {"19 heading", "B2705\r\n", {{"H", heading, "2705"}, {"mm999\r\n", whole, "mm010"}, {"mn999\r\n", whole, "mn145"}}, 1},
        {"19 heading 360.0 is north", "B3600\r\n", {{"H", heading, "0000"}}, 1},
        // SATELLITE
        {"33 satellite longitude west", "T1010\r\n",
         {{"mh999\r\n", whole, "mh003"}, {"mi999\r\n", whole, "mi242"}, {"mj999\r\n", whole, "mj016"}}, 1},
        {"33 satellite longitude east", "T3400\r\n",
         {{"mh999\r\n", whole, "mh000"}, {"mi999\r\n", whole, "mi200"}, {"mj999\r\n", whole, "mj000"}}, 1,
         "T1010\r\n"},
        {"34 threshold", "mo002\r\nmp088\r\n",
         {{"u", threshold, "0600"}, {"mo999\r\n", whole, "mo002"}, {"mp999\r\n", whole, "mp088"}}, 2},
        {"35 frequency", "c1090\r\n", {{"q", frequency, "1090"}}, 1},
        {"36 baud rate", "d1718\r\n", {{"q", baud, "1718"}}, 1},
        {"37 tone on", "c0033\r\n", {{"S", receiver, "51"}}, 1},
        {"37 tone off", "c0032\r\n", {{"S", receiver, "35"}}, 1, "c0033\r\n"},
        {"38 voltage 13 V", "c0034\r\n", {{"S", receiver, "3"}}, 1},
        {"38 voltage 18 V", "c0035\r\n", {{"S", receiver, "35"}}, 1, "c0034\r\n"},
        {"39 FEC 1/2", "mu016\r\n", {{"S", receiver, "33"}, {"mu999\r\n", whole, "mu016"}}, 1},
        {"39 FEC auto", "mu000\r\n", {{"S", receiver, "32"}}, 1},
        {"39 FEC SCPC with star", "mu240\r\n", {{"S", receiver, "47"}}, 1},
        paramCase("40 skew -6", 138, "250"),
        pairCase("41 NID 001A", '}', "000", "026"),
        // ANTENNA: the antenna slews there; a pointing command ends tracking.
        {"65 azimuth", "A1000\r\n", {{"P", azimuth, "1000"}, {"S", bitsAfter("S", 1, 8), "0"}}, 1, "", {},
         sim::AcuDevice::azimuthRate},
        {"66 elevation", "E0600\r\n", {{"P", elevation, "0600"}}, 1, "", {}, sim::AcuDevice::elevationRate},
        {"67 polarisation", "J0450\r\n", {{"u", polarisation, "0450"}}, 1, "", {}, sim::AcuDevice::polarisationRate},
        // MODE
        pairCase("133 El Trim -1", 'A', "255", "255"),
        pairCase("134 Az Trim 20", 'C', "000", "020"),
        paramCase("135 Auto Thrs", 'F', "120"),
        {"136 El Step Size", "Y0012\r\n", {{"mG999\r\n", whole, "mG012"}}, 1},
        {"137 Az Step Size", "X0034\r\n", {{"mH999\r\n", whole, "mH034"}}, 1},
        paramCase("138 Step Integral", 'I', "009"),
        paramCase("139 Search Inc", 'J', "020"),
        paramCase("140 Search Limit", 'K', "150"),
        paramCase("141 Search Delay", 'L', "045"),
        paramCase("142 Sweep Inc", 'M', "010"),
        paramCase("144 System Type", 'N', "067"),
        paramCase("145 Gyro Type", 'O', "005"),
        paramCase("146 Polang Type", 'P', "066"),
        paramCase("147 Pol Offset", 'Q', "045"),
        paramCase("148 Pol Scale", 'R', "100"),
        paramCase("149 Tx Polarity", 'W', "001"),
        paramCase("151 Track Display", 129, "003"),
        pairCase("152 Az Limit 1", 'S', "010", "100"),
        pairCase("153 Az Limit 2", 'U', "011", "200"),
        paramCase("154 El Limit 12", 134, "030"),
        pairCase("155 Az Limit 3", 'Y', "012", "044"),
        pairCase("156 Az Limit 4", '[', "013", "055"),
        paramCase("157 El Limit 34", 135, "015"),
        pairCase("158 Az Limit 5", ']', "001", "066"),
        pairCase("159 Az Limit 6", '_', "002", "077"),
        paramCase("160 El Limit 56", 136, "020"),
        // Menus and indicator labels.
        {"System Type menu entry", "mN064\r\n", {{"mN999\r\n", whole, "mN064"}}, 1},
        {"Polang Type menu entry", "mP192\r\n", {{"mP999\r\n", whole, "mP192"}}, 1},
        {"Tracking key, tracking off", "D", {{"S", bitsAfter("S", 1, 8), "0"}}, 0},
        {"Tracking key, tracking on", "C", {{"S", bitsAfter("S", 1, 8), "8"}}, 0, "D"},
        {"Circlex label on", "^0067\r\n", {{"?   S\r\n", bitsAfter("S", 1, 8), "8"}}, 1},
        {"Circlex label off", "^0067\r\n", {{"?   S\r\n", bitsAfter("S", 1, 8), "0"}}, 1, "^0067\r\n"},
        {"Reset Error Bits", "&    \r\n?   S\r\n",
         {{"S", bitsAfter("S", 3, 63), "0"}, {"S", bitsAfter("S", 4, 63), "0"}, {"?   S\r\n", bitsAfter("S", 3, 63), "0"},
          {"?   S\r\n", bitsAfter("S", 2, 4), "0"}},
         2, "", [](sim::AcuModel& m) { m.device().raiseServoFault(); }},
    };
    return cases;
}

} // namespace

TEST(PanelEntry, EverySetCommandChangesWhatTheNextPollReports)
{
    for (const auto& c : entryCases()) {
        SCOPED_TRACE(c.item);
        sim::AcuModel m;
        calm(m);
        if (c.prepare)
            c.prepare(m);
        typeLikePanel(m, c.setup);
        for (const auto& k : c.checks) {
            SCOPED_TRACE(k.query);
            EXPECT_NE(k.read(poll(m, k.query)), k.expected) << "already so before the command: the case proves nothing";
        }

        const auto replies = splitLines(typeLikePanel(m, c.typed));
        EXPECT_EQ(static_cast<int>(replies.size()), c.replies) << "one reply per command keeps the panel in step";
        for (const auto& r : replies)
            EXPECT_NE(r.rfind("ERR", 0), 0u) << r;

        for (const auto& k : c.checks) {
            SCOPED_TRACE(k.query);
            if (c.slewRate <= 0 || k.query != c.checks.front().query) {
                EXPECT_EQ(k.read(poll(m, k.query)), k.expected);
                continue;
            }
            // The antenna moves there at its slew rate, one poll per tick, and stays.
            const double perTick = c.slewRate * static_cast<double>(panelTick.count()) / 1000.0;
            const long target = std::stol(k.expected);
            long previous = std::stol(k.read(poll(m, k.query)));
            EXPECT_GT(std::labs(previous - target), perTick * 3) << "not there at once";
            int ticks = 1;
            for (; ticks < 400 && previous != target; ++ticks) {
                const long now = std::stol(k.read(poll(m, k.query)));
                EXPECT_LE(std::labs(now - previous), std::lround(perTick) + 1) << "tick " << ticks;
                EXPECT_LE(std::labs(now - target), std::labs(previous - target)) << "toward the target, tick " << ticks;
                previous = now;
            }
            EXPECT_EQ(previous, target);
            for (int i = 0; i < 10; ++i)
                EXPECT_EQ(k.read(poll(m, k.query)), k.expected) << "stays there";
        }
    }
}

TEST(PanelEntry, LongTextArrivingTwiceIsHarmless)
{
    sim::AcuModel m;
    calm(m);
    const std::string sentence = "$GPGLL,3748.00,N,12213.00,W\r\n";
    const auto replies = splitLines(typeLikePanel(m, sentence));
    ASSERT_EQ(replies.size(), 2u) << "one answer per copy";
    EXPECT_EQ(replies[0], "$GPGLL,3748.00,N,12213.00,W");
    EXPECT_EQ(replies[1], replies[0]);
    EXPECT_EQ(poll(m, "@"), "@N0378W1222");
    EXPECT_EQ(m.port().received().size(), 3u) << "two sentences and the poll, nothing split or merged";
}

TEST(PanelEntry, EveryCodeTheScreensPollAnswersInThePanelsShape)
{
    // The codes polled by the MODE and SATELLITE screens; the azimuth-limit high bytes and the
    // satellite longitude's high byte must stay below 28 for the panel to take them.
    const std::string codes = std::string("ABCDFGHIJKLMNOPQRW") + char(129) + "STUVYZ[\\]^_`" + char(134)
                              + char(135) + char(136) + "hiju}~" + char(138);
    const std::string below28 = "SUY[]_h";
    sim::AcuModel m;
    for (const char code : codes) {
        const auto u = static_cast<unsigned char>(code);
        SCOPED_TRACE(static_cast<int>(u));
        const std::string r = poll(m, readParam(u));
        ASSERT_GE(r.size(), 5u) << r;
        EXPECT_EQ(r.substr(0, 2), std::string("m") + code);
        EXPECT_TRUE(isDigits(r.substr(2), r.size() - 2)) << r;
        if (below28.find(code) != std::string::npos) {
            EXPECT_LT(numberAt(r, 3), 28) << r;
        }
    }
}
