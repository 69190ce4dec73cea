// Every reply the panel decodes, checked against the positions its decoder reads: the key
// character within its allowed range, and each field at its fixed distance from the key.
#include "ReplyChecks.h"
#include "sim/AcuModel.h"
#include "sim/AcuReplies.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace simtest;

namespace {

struct Field {
    int offset;     // from the key position
    int width;      // characters of the field
    long expected;  // value read there; -1: any digits of that width
    bool hex = false;
};

struct Shape {
    const char* name;
    std::string command;
    std::string key;    // first choice of key
    std::string altKey; // key looked for when the first is absent
    int minPos, maxPos; // allowed key positions, 1-based
    std::vector<Field> fields;
    std::function<void(const std::string& line, int key)> extra = nullptr;
};

// A controller in a known, still state: antenna at az 123.4 el 45.6, tracking off.
struct StillModel {
    sim::AcuModel model;
    StillModel()
    {
        auto& d = model.device();
        d.setShipMotion(false);
        d.setTracking(false);
        d.placeAntenna(1234, 456);
    }
    std::string ask(const std::string& cmd)
    {
        model.receive(cmd);
        std::string out = model.takeOutput();
        if (out.empty() || out.back() != '\r')
            return "<no line: " + out + ">";
        out.pop_back();
        return out;
    }
};

} // namespace

TEST(ReplyShape, EveryDecodedReplyHasItsKeyAndFieldsWhereThePanelReadsThem)
{
    StillModel s;
    const auto& d = s.model.device();
    const long agcRaw = d.signalLevel() * 3L;
    ASSERT_GT(agcRaw, 0);

    const std::vector<Shape> shapes = {
        {"ACU status", "S", "S", "", 1, 6,
         {{5, 1, -2}, {6, 4, agcRaw}},
         [](const std::string& line, int k) {
             EXPECT_GE(static_cast<int>(line.size()), k + 4) << "at least four characters after the key";
             for (int i = 1; i <= 4; ++i)
                 EXPECT_TRUE(isFlagChar(at(line, k + i))) << "status word " << i;
             EXPECT_EQ(at(line, k + 5), 'L');
             EXPECT_TRUE(isFlagChar(at(line, k + 11))) << "receiver companion byte";
             EXPECT_EQ(flagBits(at(line, k + 12)), 3u | 32u) << "receiver status: FEC 3/4, 18 V";
             EXPECT_EQ(flagBits(at(line, k + 1)) & 8u, 0u) << "tracking is off";
         }},
        {"antenna position", "P", "E", "", 1, 9, {{1, 4, 456}, {6, 4, 1234}, {11, 4, 900}}},
        {"heading", "H", "R", "", 1, 3, {{1, 4, 1234 - 900}, {6, 4, 900}}},
        {"ship position", "@", "E", "W", 6, 8, {{-4, 4, 433}, {1, 4, 54}},
         [](const std::string& line, int k) {
             EXPECT_EQ(at(line, k - 5), 'N') << "latitude letter five before the key";
         }},
        {"receiver", "q", "q", "", 1, 3, {{1, 4, 1150}, {6, 4, 6875}}},
        {"polarisation", "u", "G", "", 1, 3, {{1, 4, 3600}, {11, 4, 500}},
         [&d](const std::string& line, int) {
             const int v = position(line, "V");
             ASSERT_GT(v, 0) << "external AGC marker";
             EXPECT_EQ(numberAt(line, v + 1), d.externalAgc());
         }},
        {"signal level", "%", "L", "", 1, 3, {{1, 4, agcRaw}}},
        {"ACU version", "V", "VER", "", 1, 200, {}},
        {"parameter", "mN999\r\n", "m", "", 1, 200, {{2, 3, 65}},
         [](const std::string& line, int k) { EXPECT_EQ(at(line, k + 1), 'N'); }},
        {"parameter with a code above 128", std::string("m") + char(138) + "999\r\n", "m", "", 1, 200, {{2, 3, 0}},
         [](const std::string& line, int k) { EXPECT_EQ(static_cast<unsigned char>(at(line, k + 1)), 138); }},
        {"tuned level", "c1150\r\n", "L", "", 1, 3, {{1, 4, -1}}},
        {"PCU status", "?   S\r\n", "S", "", 1, 6, {},
         [](const std::string& line, int k) {
             for (int i = 1; i <= 4; ++i)
                 EXPECT_TRUE(isFlagChar(at(line, k + i))) << "PCU word " << i;
         }},
        {"reference sensors", "?   v\r\n", "v ", "", 1, 200, {{3, 4, 2048}, {8, 4, 2048}, {13, 4, 2048}}},
        {"rate sensors", "?   w\r\n", "w ", "", 1, 200, {{3, 4, 2048}, {8, 4, 2048}, {13, 4, 2048}}},
        {"loop errors", "?   x\r\n", "iv", "", 1, 200, {{3, 4, 0x80, true}, {8, 4, 0x80, true}, {13, 4, 0x80, true}},
         [](const std::string& line, int k) { EXPECT_TRUE(isFlagChar(at(line, k + 2))) << "phase character"; }},
        {"torque commands", "?   y\r\n", "tc", "", 1, 200, {{3, 4, 128}, {8, 4, 128}, {13, 4, 128}}},
    };

    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const std::string line = s.ask(shape.command);
        SCOPED_TRACE("reply: " + line);
        int k = position(line, shape.key);
        if (k == 0 && !shape.altKey.empty())
            k = position(line, shape.altKey);
        ASSERT_GE(k, shape.minPos) << "key missing or too early";
        ASSERT_LE(k, shape.maxPos) << "key too late";
        for (const auto& f : shape.fields) {
            const std::string text = field(line, k + f.offset, f.width);
            if (f.expected == -2)
                continue; // a marker checked by the extra check
            if (f.hex) {
                ASSERT_TRUE(isHexDigits(text, static_cast<std::size_t>(f.width))) << "field at +" << f.offset << ": " << text;
                EXPECT_EQ(std::stol(text, nullptr, 16), f.expected) << "field at +" << f.offset;
            } else {
                ASSERT_TRUE(isDigits(text, static_cast<std::size_t>(f.width))) << "field at +" << f.offset << ": " << text;
                if (f.expected >= 0) {
                    EXPECT_EQ(std::stol(text), f.expected) << "field at +" << f.offset;
                }
            }
        }
        if (shape.extra)
            shape.extra(line, k);
    }
}

TEST(ReplyShape, SouthAndWestPositionsKeepTheLetterPositions)
{
    // The key is "E", else "W"; the latitude letter stands five before it either way.
    const struct {
        int lat;
        bool south;
        int lon;
        bool west;
        const char* expected;
    } cases[] = {
        {433, false, 54, false, "@N0433E0054"},
        {339, true, 1512, false, "@S0339E1512"},
        {0, false, 1799, true, "@N0000W1799"},
        {900, true, 0, true, "@S0900W0000"},
    };
    for (const auto& c : cases) {
        const std::string line = sim::reply::shipPosition(c.lat, c.south, c.lon, c.west);
        EXPECT_EQ(line, c.expected);
        int k = position(line, "E");
        if (k == 0)
            k = position(line, "W");
        EXPECT_GE(k, 6);
        EXPECT_LE(k, 8);
        EXPECT_EQ(at(line, k - 5), c.south ? 'S' : 'N');
        EXPECT_EQ(numberAt(line, k - 4), c.lat);
        EXPECT_EQ(numberAt(line, k + 1), c.lon);
    }
}

TEST(ReplyShape, FieldsStayFixedWidthAtTheEdgesOfTheirRange)
{
    // Values are held inside the field so that every later offset stays put.
    const struct {
        std::string line;
        std::string expected;
    } cases[] = {
        {sim::reply::position(0, 3599, 1200), "PE0000 3599 1200"},
        {sim::reply::position(-5, 123456, 7), "PE0000 9999 0007"},
        {sim::reply::heading(0, 3599), "HR0000 3599"},
        {sim::reply::receiver(999, 999), "q0999 0999"},
        {sim::reply::polarisation(1800, 1000, 65535), "uG1800V1000 9999"},
        {sim::reply::signalLevel(2997), "%L2997"},
        {sim::reply::parameter('m', 'A', 7), "mA007"},
        {sim::reply::parameter('m', 'A', 4660), "mA4660"},
        {sim::reply::loopError(63, 0xFFFF, 0, 0x12345), "iv\x7F" "FFFF 0000 2345"},
        {sim::reply::sensors('v', 0, 4095, 99999), "v  0000 4095 9999"},
        {sim::reply::torque(1, 22, 333), "tc 0001 0022 0333"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.line, c.expected);
}
