// The values each good reply stores: numbers and texts, fields that are not digits, lines
// that end early, bytes above 127, parameter slots and their side effects, the receiver
// status texts, tracking supervision and the graph samples.
#include "DecoderFixture.h"

#include <cmath>
#include <cstdint>

namespace decodertest {
namespace {

TEST_F(DecoderTest, ShipPosition)
{
    const struct {
        std::string line;
        int lat, lon;
        char latHemi, lonHemi;
        std::string latText, lonText;
    } cases[] = {
        {"@N0433E0054", 433, 54, 'N', 'E', "43.3", "5.4"},
        {"@S0005W1799", 5, 1799, 'S', 'W', "0.5", "179.9"},
        {"@@N0433E0054", 433, 54, 'N', 'E', "43.3", "5.4"},  // key at 8
        {"@N04x3E0054", 4, 54, 'N', 'E', "0.4", "5.4"},      // leading number only
        {"@Nxxxx" "E0054", 0, 54, 'N', 'E', "0.0", "5.4"},   // no number: 0
        {"@N0433E", 433, 0, 'N', 'E', "43.3", "0.0"},        // longitude cut off
        {"@\xD3" "0433E0054", 433, 54, 'N', 'E', "43.3", "5.4"}, // no N/S letter: north
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        shared = {};
        decode(c.line, "@");
        ASSERT_EQ(shared.syncErrors, 0);
        EXPECT_EQ(shared.latitude, c.lat);
        EXPECT_EQ(shared.longitude, c.lon);
        EXPECT_EQ(shared.latHemisphere, c.latHemi);
        EXPECT_EQ(shared.lonHemisphere, c.lonHemi);
        EXPECT_TRUE(shared.positionValid);
        EXPECT_EQ(main.latText, c.latText);
        EXPECT_EQ(main.lonText, c.lonText);
    }
}

TEST_F(DecoderTest, HeadingAndAntennaAngles)
{
    const struct {
        std::string command, line;
        int a, b, third;
        std::string aText, bText, thirdText;
    } cases[] = {
        // heading: relative, ship heading
        {"H", "HR0877 0900", 877, 900, 0, "87.7", "90.0", ""},
        {"H", "HRabcd 0900", 0, 900, 0, "0.0", "90.0", ""},
        {"H", "HR0877", 877, 0, 0, "87.7", "0.0", ""},
        {"H", "HR4097 8191", 1, 4095, 0, "0.1", "409.5", ""}, // each kept to 12 bits
        {"H", "HR\xC1\xC2\xC3\xC4 0900", 0, 900, 0, "0.0", "90.0", ""},
        // antenna: elevation, azimuth, cross-level
        {"P", "PE0400 1777 0900", 400, 1777, 900, "40.0", "177.7", "90.0"},
        {"P", "PE0400 17x7 5000", 400, 17, 5000, "40.0", "1.7", "500.0"}, // third not masked
        {"P", "PE4196 0000", 100, 0, 0, "10.0", "0.0", "0.0"},
        {"P", "PE\xFF\xFE", 0, 0, 0, "0.0", "0.0", "0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        main = {};
        decode(c.line, c.command);
        ASSERT_EQ(shared.syncErrors, 0);
        if (c.command == "H") {
            EXPECT_EQ(main.relHeading, c.a);
            EXPECT_EQ(main.heading, c.b);
            EXPECT_EQ(main.relText, c.aText);
            EXPECT_EQ(main.hdgText, c.bText);
        } else {
            EXPECT_EQ(main.elevation, c.a);
            EXPECT_EQ(main.azimuth, c.b);
            EXPECT_EQ(main.third, c.third);
            EXPECT_EQ(main.elText, c.aText);
            EXPECT_EQ(main.azText, c.bText);
            EXPECT_EQ(main.thirdText, c.thirdText);
        }
    }
}

TEST_F(DecoderTest, ReceiverFrequencyAndBaud)
{
    const struct {
        std::string line;
        int frequency;
        std::string freqText, fraction;
        int baud;
        std::string baudText;
    } cases[] = {
        {"q1150 6875", 1150, "1150", "0", 27500, "27500"},
        {"q1150 0999", 1150, "1150", "0", 3996, "xxx"},     // the no-rate mark
        {"q70.5 0250", 70, "70", "5", 1000, "1000"},         // fraction of an IF
        {"q1150", 1150, "1150", "0", 0, "0"},                // rate field missing
        {"qABCD EFGH", 0, "0", "0", 0, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        decode(c.line, "q");
        ASSERT_EQ(shared.syncErrors, 0);
        EXPECT_EQ(main.frequency, c.frequency);
        EXPECT_EQ(main.freqText, c.freqText);
        EXPECT_EQ(main.ifText, c.fraction);
        EXPECT_EQ(main.baud, c.baud);
        EXPECT_EQ(main.baudText, c.baudText);
    }
}

TEST_F(DecoderTest, PolarisationExternalAgcAndThreshold)
{
    const struct {
        std::string line;
        std::string pol, eAgcText;
        int eAgc, threshold;
        std::string thrsText;
    } cases[] = {
        {"uG0900V0400 0500", "0900", "0400", 400, 500, "500"},
        {"uGH   V0123 0042", "H", "0123", 123, 42, "042"},
        {"uGV   V0400 0500", "V", "0400", 400, 500, "500"},   // a "V" polarisation is not the AGC mark
        {"uG0900V0400", "0900", "0400", 400, 0, "000"},       // threshold missing
        {"uG0900V04x0 abcd", "0900", "04x0", 4, 0, "000"},
        {"uG\xC8\xC9\xCA\xCBV0400 0500", "\xC8\xC9\xCA\xCB", "0400", 400, 500, "500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        decode(c.line, "u");
        ASSERT_EQ(shared.syncErrors, 0);
        EXPECT_EQ(main.polText, c.pol);
        EXPECT_EQ(main.eAgcText, c.eAgcText);
        EXPECT_EQ(main.eAgc, c.eAgc);
        EXPECT_EQ(main.threshold, c.threshold);
        EXPECT_EQ(main.thrsText, c.thrsText);
    }
}

// The Ext AGC box shows modem lock only with System Type bit 2; locked below 800, the sense
// turned round by System Type bit 128.
TEST_F(DecoderTest, ModemLockFromExternalAgc)
{
    const struct {
        int systemType, eAgc;
        bool locked;
    } cases[] = {
        {2, 799, true},    {2, 800, false},  {2, 0, true},
        {130, 799, false}, {130, 800, true}, {0, 100, false},
        {128, 100, false}, {253, 100, false}, // all bits but 2
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("System Type " + std::to_string(c.systemType) + " AGC " +
                     std::to_string(c.eAgc));
        param('N', c.systemType);
        main.modemLocked = !c.locked;
        std::string agc = std::to_string(c.eAgc);
        agc.insert(0, 4 - agc.size(), '0');
        decode("uG0900V" + agc + " 0500", "u");
        EXPECT_EQ(main.modemLocked, c.locked);
    }
}

TEST_F(DecoderTest, SignalLevelIsAThirdOfTheField)
{
    const struct {
        std::string line;
        int agc;
    } cases[] = {
        {"%L2550", 850}, {"%L0002", 1}, {"%L0004", 1}, {"%L0001", 0},
        {"%Lxx", 0},     {"%L", 0},     {"L0300", 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        main.agc = -1;
        decode(c.line, "%");
        ASSERT_EQ(shared.syncErrors, 0);
        EXPECT_EQ(main.agc, c.agc);
    }
}

TEST_F(DecoderTest, VersionLines)
{
    decode("TAV ACU VER 4.20 SIM", "V");
    EXPECT_EQ(main.acuVersion, "TAV ACU VER 4.20 SIM");
    decode("PCU VER 2.31 SIM", pcuQuery('V'));
    EXPECT_EQ(main.pcuVersion, "PCU VER 2.31 SIM");
    EXPECT_EQ(main.acuVersion, "TAV ACU VER 4.20 SIM");
}

TEST_F(DecoderTest, AcuStatusWords)
{
    const struct {
        std::string line;
        int w1, w2, e1, e2, companion, rx, tracking;
    } cases[] = {
        {"SHx@@L2550 Ac", 'H', 'x', '@', '@', 'A', 'c', 8},
        {"S@x@@L2550 Ac", '@', 'x', '@', '@', 'A', 'c', 0},
        {"SHx@", 'H', 'x', '@', 0, 0, 0, 8},           // words 1-3 only
        {"SHx@@L2550 A", 'H', 'x', '@', '@', 'A', 0, 8}, // receiver status missing
        {"  SGx@@", 'G', 'x', '@', '@', 0, 0, 0},
        {"S\xC8\xE1\xFF\x80L0300 \xC1\xE3", 0xC8, 0xE1, 0xFF, 0x80, 0xC1, 0xE3, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        decode(c.line, "S");
        ASSERT_EQ(shared.syncErrors, 0);
        EXPECT_EQ(shared.acuWord1, c.w1);
        EXPECT_EQ(shared.acuWord2, c.w2);
        EXPECT_EQ(shared.acuError1, c.e1);
        EXPECT_EQ(shared.acuError2, c.e2);
        EXPECT_EQ(main.rxCompanion, c.companion);
        EXPECT_EQ(main.rxStatus, c.rx);
        EXPECT_EQ(main.tracking, c.tracking);
    }
    EXPECT_EQ(statusCalls, int(std::size(cases)));
}

TEST_F(DecoderTest, AcuStatusAgcOnlyAfterL)
{
    const struct {
        std::string line;
        std::string agcText;
        int agc;
    } cases[] = {
        {"SHx@@L2550 Ac", "2550", 850},
        {"SHx@@L25", "25", 8},
        {"SHx@@L25x0 Ac", "25x0", 8},
        {"SHx@@X2550 Ac", "kept", -1}, // no "L": the AGC is not in this reply
        {"SHx@", "kept", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        main.agcText = "kept";
        main.agc = -1;
        decode(c.line, "S");
        EXPECT_EQ(main.agcText, c.agcText);
        EXPECT_EQ(main.agc, c.agc);
    }
}

TEST_F(DecoderTest, ReceiverStatusTexts)
{
    const struct {
        int status;
        std::string tone, volt, fec;
        bool scpc;
    } cases[] = {
        {64, " OFF", " 13V", " AUTO", false},
        {64 + 35, " OFF", " 18V", " 3/4", false},
        {64 + 16 + 1, "  ON", " 13V", " 1/2", false},
        {64 + 2, " OFF", " 13V", " 2/3", false},
        {64 + 4, " OFF", " 13V", " 5/6", false},
        {64 + 5, " OFF", " 13V", " 6/7", false},
        {64 + 6, " OFF", " 13V", " 7/8", false},
        {64 + 8 + 6, " OFF", " 13V", " 7/8*", false},
        {64 + 7, " OFF", " 13V", " SCPC", true},
        {64 + 8 + 7, " OFF", " 13V", " LSCP", true},
        {15, " OFF", " 13V", " LSCP", true},
        {0xFF, "  ON", " 18V", " LSCP", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("receiver status " + std::to_string(c.status));
        decode(std::string("S@@@@L0300 @") + char(c.status), "S");
        EXPECT_EQ(main.rxStatusShown, c.status);
        EXPECT_EQ(main.toneText, c.tone);
        EXPECT_EQ(main.voltText, c.volt);
        EXPECT_EQ(main.fecText, c.fec);
        EXPECT_EQ(main.scpc, c.scpc);
    }

    // A reply too short for the byte: all three texts go blank.
    decode("S@@@@L0300", "S");
    EXPECT_EQ(main.rxStatusShown, 0);
    EXPECT_EQ(main.toneText, "");
    EXPECT_EQ(main.voltText, "");
    EXPECT_EQ(main.fecText, "");
}

// The texts are rebuilt only when the byte differs from the one last shown.
TEST_F(DecoderTest, ReceiverStatusTextsOnlyOnChange)
{
    decode("SHx@@L2550 Ac", "S");
    ASSERT_EQ(main.fecText, " 3/4");
    main.fecText = "typed";
    decode("SHx@@L2550 Ac", "S");
    EXPECT_EQ(main.fecText, "typed");
    decode("SHx@@L2550 Ab", "S");
    EXPECT_EQ(main.fecText, " 2/3");
}

// The Tracking lamp through a run of status replies: dark without tracking, lit above the
// threshold, flashing at or below it with the low-signal counter counting.
TEST_F(DecoderTest, TrackingSupervision)
{
    decode("uG0900V0400 0500", "u"); // threshold 500
    const struct {
        std::string line;
        bool lit, flashing;
        int count;
    } steps[] = {
        {"S@x@@L3000 Ac", false, false, 0}, // not tracking, level 1000
        {"SHx@@L1503 Ac", true, false, 0},  // tracking, 501
        {"SHx@@L1500 Ac", true, true, 1},   // 500: at the threshold, the lamp flashes
        {"SHx@@L0300 Ac", true, true, 2},   // still low
        {"SHx@@L0300 Ac", true, true, 3},
        {"SHx@", true, true, 3},            // no AGC in the reply: as it was
        {"SHx@@L3000 Ac", true, false, 0},
        {"SHx@@L0000 Ac", true, true, 1},
        {"S@x@@L0000 Ac", false, false, 0}, // tracking off: dark, counter reset
    };
    int k = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE("step " + std::to_string(k++) + " " + s.line);
        decode(s.line, "S");
        const panel::Lamp& lamp = main.lamps[0];
        EXPECT_EQ(lamp.lit(), s.lit);
        EXPECT_FALSE(lamp.cycleMark);
        EXPECT_EQ(main.lampFlashing[0], s.flashing);
        EXPECT_EQ(main.lowSignalCount, s.count);
    }
}

TEST_F(DecoderTest, ParameterSlots)
{
    const struct {
        unsigned char code;
        std::string line;
        int slot;
    } cases[] = {
        {'A', "mA123", 123},
        {'A', "  mA007", 7},
        {'A', "mA###", -999},  // busy mark: the slot keeps what it had
        {'A', "mA12x", 12},
        {'T', "mT255", 255},   // low bytes have no limit
        {'S', "mS027", 27},
        {'h', "mh014", 14},
        {'F', "mF40000", std::int16_t(std::uint16_t(40000))}, // kept as 16 bits
        {129, "m\x81" "001", 1},
        {134, "m\x86" "180", 180},
        {0xFF, "m\xFF" "005", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        shared.slot(c.code) = -999;
        decode(c.line, paramRead(c.code));
        ASSERT_EQ(shared.syncErrors, 0);
        EXPECT_EQ(shared.slot(c.code), c.slot);
    }
}

// The high bytes of the azimuth limits and of the satellite longitude stay below 28.
TEST_F(DecoderTest, HighByteOf28IsASyncError)
{
    for (unsigned char code : {'S', 'U', 'Y', '[', ']', '_', 'h'}) {
        SCOPED_TRACE(std::string("code ") + char(code));
        shared.slot(code) = 5;
        decode(paramReply(code, 28), paramRead(code));
        EXPECT_EQ(shared.syncErrors, 1);
        EXPECT_EQ(shared.slot(code), 5);
        shared.syncErrors = 0;
        decode(paramReply(code, 27), paramRead(code));
        EXPECT_EQ(shared.syncErrors, 0);
        EXPECT_EQ(shared.slot(code), 27);
    }
}

TEST_F(DecoderTest, SystemTypeAndPolangType)
{
    param('N', 65);
    param('P', 130);
    param('O', 2);
    EXPECT_EQ(sysValues, (std::vector<int>{65}));
    EXPECT_EQ(polValues, (std::vector<int>{130}));
    EXPECT_EQ(main.systemTypeCaption, "System Type    065");
    param('N', 7);
    EXPECT_EQ(main.systemTypeCaption, "System Type    007");
    EXPECT_EQ(sysValues, (std::vector<int>{65, 7}));

    // A reply of the wrong shape calls neither.
    decode("xN999", paramRead('N'));
    EXPECT_EQ(sysValues.size(), 2u);
}

TEST_F(DecoderTest, BusyParameterAnswerKeepsTheSlot)
{
    param('N', 65);
    decode("mN###", paramRead('N'));
    EXPECT_EQ(shared.slot('N'), 65);
    EXPECT_EQ(sysValues, (std::vector<int>{65}));
    EXPECT_EQ(shared.syncErrors, 0);
    EXPECT_EQ(main.systemTypeCaption, "System Type    065");
    // Garbage that is not the busy mark still reads as its leading number (0 when none).
    decode("mNabc", paramRead('N'));
    EXPECT_EQ(shared.slot('N'), 0);
}

TEST_F(DecoderTest, NetworkIdentifierFromTwoSlots)
{
    const struct {
        int hi, lo;
        std::string nid;
    } cases[] = {{26, 43, "1A2B"}, {0, 0, "0000"}, {255, 1, "FF01"}, {0x1FF, 0x100, "FF00"}};
    for (const auto& c : cases) {
        param('}', c.hi);
        param('~', c.lo);
        EXPECT_EQ(main.nidText, c.nid);
    }
    // The text follows the "~" reply, which comes after "}" in the poll.
    param('}', 0x12);
    EXPECT_EQ(main.nidText, "FF00");
}

TEST_F(DecoderTest, SkewIsASignedByte)
{
    const struct {
        int value, slot;
        std::string text;
    } cases[] = {
        {250, -6, "-006"}, {128, -128, "-128"}, {255, -1, "-001"},
        {127, 127, "0127"}, {6, 6, "0006"},     {0, 0, "0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        param(138, c.value);
        EXPECT_EQ(shared.slot(138), c.slot);
        EXPECT_EQ(main.skewText, c.text);
    }
}

TEST_F(DecoderTest, PcuStatusWords)
{
    const struct {
        std::string line;
        std::array<int, 4> words;
    } cases[] = {
        {"S@h@@", {'@', 'h', '@', '@'}},
        {"S@h", {'@', 'h', '@', '@'}},        // missing characters count as "@"
        {"S", {'@', '@', '@', '@'}},
        {"  SHIJK", {'H', 'I', 'J', 'K'}},
        {"S\xC1\xFF\x80\x7F", {0xC1, 0xFF, 0x80, 0x7F}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        shared.pcuWord = {1, 2, 3, 4};
        decode(c.line, pcuQuery('S'));
        EXPECT_EQ(shared.pcuWord, c.words);
    }
    EXPECT_EQ(statusCalls, 0) << "PCU words are not an ACU status reply";
}

TEST_F(DecoderTest, GraphSamples)
{
    const struct {
        std::string command, line;
        char kind;
        double a, b, c;
        int status;
    } cases[] = {
        {pcuQuery('v'), "v  2048 2048 2048", 'v', 0, 0, 0, 0},
        {pcuQuery('v'), "v  2148 1948 2058", 'v', 25, -25, 10, 0},
        {pcuQuery('v'), "V  2148 1948 2058", 'V', 25, -25, 2, 0},
        {pcuQuery('v'), " v  2049 2048 xxxx", 'v', 0.25, 0, -2048, 0},
        {pcuQuery('w'), "w  2148 2048 2008", 'w', 25, 0, -10, 0},
        {pcuQuery('x'), "ivj0080 00FF 0000", 'x', 128, 255, 0, 'j' - '@'},
        {pcuQuery('x'), "iv@00ab 0080 FFFF", 'x', 171, 128, 65535, 0},
        {pcuQuery('x'), "iv", 'x', 0, 0, 0, 0},
        {pcuQuery('y'), "tc 0128 0100 0200", 'y', 128, 100, 200, 0},
        {pcuQuery('y'), "  tc 0001 0002", 'y', 1, 2, 0, 0},
        {"c0937" + kCrLf, "cL0850", 'c', 850, 937, 0, 0},
        {"c1534" + kCrLf, "L0005", 'c', 5, 1534, 0, 0},
    };
    std::vector<panel::GraphSample> got;
    dec.graph = [&got](const panel::GraphSample& s) { got.push_back(s); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        got.clear();
        decode(c.line, c.command);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].kind, c.kind);
        EXPECT_DOUBLE_EQ(got[0].a, c.a);
        EXPECT_DOUBLE_EQ(got[0].b, c.b);
        EXPECT_DOUBLE_EQ(got[0].c, c.c);
        EXPECT_EQ(got[0].status, c.status);
    }
    EXPECT_TRUE(main.graphSamples.empty()) << "the hook takes them when set";
}

// Without a graph routine the samples are kept, the oldest dropped beyond the limit.
TEST_F(DecoderTest, GraphSamplesKeptWithinLimit)
{
    const size_t total = panel::Decoder::kMaxGraphSamples + 5;
    for (size_t i = 0; i < total; ++i)
        decode("tc " + std::to_string(1000 + i % 9000) + " 0000 0000", pcuQuery('y'));
    ASSERT_EQ(main.graphSamples.size(), panel::Decoder::kMaxGraphSamples);
    EXPECT_DOUBLE_EQ(main.graphSamples.front().a, double(1000 + 5));
    EXPECT_DOUBLE_EQ(main.graphSamples.back().a, double(1000 + (total - 1) % 9000));
}

} // namespace
} // namespace decodertest
