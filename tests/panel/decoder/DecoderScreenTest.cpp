// The four display lines by display state, from the values that replies have stored, and the
// redraw countdown that keeps item screens still while they are being edited.
#include "DecoderFixture.h"

namespace decodertest {
namespace {

using Lines = std::array<std::string, 4>;
const std::string kSame0 = "~0", kSame1 = "~1", kSame2 = "~2", kSame3 = "~3";

class ScreenTest : public DecoderTest {
protected:
    // A panel that has polled every screen once, each parameter with a value of its own.
    void SetUp() override
    {
        decode("@N0433E0054", "@");
        decode("HR0877 0900", "H");
        decode("PE0400 1777 0900", "P");
        decode("q1150 6875", "q");
        decode("uG0900V0400 0500", "u");
        decode("SHx@@L2550 Ac", "S");
        decode("TAV ACU VER 4.20 SIM", "V");
        decode("PCU VER 2.31 SIM", pcuQuery('V'));
        const std::pair<unsigned char, int> params[] = {
            {'h', 0},  {'i', 70},   {'j', 0},   {'}', 26},  {'~', 43},  {138, 250},
            {'A', 255}, {'B', 156}, {'C', 0},   {'D', 12},  {'F', 100}, {'G', 4},
            {'H', 5},   {'I', 3},   {'J', 10},  {'K', 101}, {'L', 30},  {'M', 7},
            {'N', 65},  {'O', 2},   {'P', 64},  {'Q', 31},  {'R', 90},  {'W', 1},
            {129, 11},  {'S', 1},   {'T', 44},  {'U', 2},   {'V', 88},  {134, 180},
            {'Y', 3},   {'Z', 0},   {'[', 4},   {'\\', 1},  {135, 175}, {']', 27},
            {'^', 255}, {'_', 0},   {'`', 9},   {136, 45},
        };
        for (const auto& [code, value] : params)
            param(code, value);
        ASSERT_EQ(shared.syncErrors, 0);
    }

    Lines redrawOn(int state, int countdown)
    {
        main.displayState = state;
        main.redrawCountdown = countdown;
        markLines();
        dec.Redraw();
        return main.text5;
    }
};

struct ScreenCase {
    int state;
    Lines lines;
};

// Screens drawn with the countdown running (item screens need it; the others ignore it).
const ScreenCase kScreens[] = {
    {16, {"LAT 43.3N", "LON 5.4E", "HDG 90.0", kSame3}},
    {17, {"43.3N", kSame1, kSame2, kSame3}},
    {18, {kSame0, "5.4E", kSame2, kSame3}},
    {19, {kSame0, kSame1, "90.0", kSame3}},
    {32, {"SAT 7.0E", "THRS 500", "FREQ 1150", "AGC  850"}},
    {33, {"7.0E", kSame1, kSame2, kSame3}},
    {34, {kSame0, "500", kSame2, kSame3}},
    {35, {kSame0, kSame1, "1150MHZ  ", "AGC  850"}},
    {36, {kSame0, kSame1, "BAUD 27500KHZ  ", "AGC  850"}},
    {37, {kSame0, kSame1, "TONE  OFF", "AGC  850"}},
    {38, {kSame0, kSame1, "VOLT  18V", "AGC  850"}},
    {39, {kSame0, kSame1, "FEC  3/4", "AGC  850"}},
    {40, {kSame0, kSame1, "SKEW -006", "AGC  850"}},
    {41, {kSame0, kSame1, "NID  1A2B", "AGC  850"}},
    {64, {"AZ  177.7", "EL  40.0", "REL 87.7", "AGC 850"}},
    {65, {kSame0, kSame1, kSame2, kSame3}},
    {66, {kSame0, kSame1, kSame2, kSame3}},
    {67, {kSame0, kSame1, kSame2, kSame3}},
    {68, {kSame0, kSame1, "POL 0900", kSame3}},
    {128, {kSame0, kSame1, kSame2, kSame3}},
    {129, {kSame0, kSame1, "TAV ACU VER 4.20 SIM", kSame3}},
    {130, {kSame0, kSame1, "PCU VER 2.31 SIM", kSame3}},
    {131, {kSame0, "SEARCH 2 OFF", kSame2, kSame3}},
    {132, {kSame0, kSame1, kSame2, kSame3}},
    {133, {kSame0, kSame1, "El Trim       -100", kSame3}},
    {134, {kSame0, kSame1, "Az Trim        012", kSame3}},
    {135, {kSame0, kSame1, "Auto Thrs      100", kSame3}},
    {136, {kSame0, kSame1, "El Step Size   004", kSame3}},
    {137, {kSame0, kSame1, "Az Step Size   005", kSame3}},
    {138, {kSame0, kSame1, "Step Integral  003", kSame3}},
    {139, {kSame0, kSame1, "Search Inc     010", kSame3}},
    {140, {kSame0, kSame1, "Search Limit   101", kSame3}},
    {141, {kSame0, kSame1, "Search Delay   030", kSame3}},
    {142, {kSame0, kSame1, "Sweep Inc      007", kSame3}},
    {143, {kSame0, kSame1, kSame2, kSame3}},
    {144, {kSame0, kSame1, "System Type    065", kSame3}},
    {145, {kSame0, kSame1, "Gyro Type      002", kSame3}},
    {146, {kSame0, kSame1, "Polang Type    064", kSame3}},
    {147, {kSame0, kSame1, "Pol Offset     031", kSame3}},
    {148, {kSame0, kSame1, "Pol Scale      090", kSame3}},
    {149, {kSame0, kSame1, "Tx Polarity    001", kSame3}},
    {150, {kSame0, kSame1, kSame2, kSame3}},
    {151, {kSame0, kSame1, "Track Display  011", kSame3}},
    {152, {kSame0, kSame1, "Az Limit 1     0300", kSame3}},
    {153, {kSame0, kSame1, "Az Limit 2     0600", kSame3}},
    {154, {kSame0, kSame1, "El Limit 12    180", kSame3}},
    {155, {kSame0, kSame1, "Az Limit 3     0768", kSame3}},
    {156, {kSame0, kSame1, "Az Limit 4     1025", kSame3}},
    {157, {kSame0, kSame1, "El Limit 34    175", kSame3}},
    {158, {kSame0, kSame1, "Az Limit 5     7167", kSame3}},
    {159, {kSame0, kSame1, "Az Limit 6     0009", kSame3}},
    {160, {kSame0, kSame1, "El Limit 56    045", kSame3}},
    {0, {kSame0, kSame1, kSame2, kSame3}},
};

TEST_F(ScreenTest, LinesByDisplayState)
{
    for (const auto& c : kScreens) {
        SCOPED_TRACE("display state " + std::to_string(c.state));
        EXPECT_EQ(redrawOn(c.state, 1), c.lines);
    }
}

// The satellite overview in the two receiver modes, and when the receiver reports SCPC.
TEST_F(ScreenTest, SatelliteOverviewByReceiverMode)
{
    const Lines ifLines = {"SAT 7.0E", " THRS 500", "IF 1150.0", " AGC  850"};
    main.mode70 = true;
    EXPECT_EQ(redrawOn(32, 0), ifLines);

    main.mode70 = false;
    decode("SHx@@L2550 AO", "S"); // FEC code 7: SCPC
    ASSERT_TRUE(main.scpc);
    EXPECT_EQ(redrawOn(32, 0), ifLines);

    decode("q70.5 0250", "q");
    EXPECT_EQ(redrawOn(32, 0)[2], "IF 70.5");
    decode("SHx@@L2550 Ac", "S");
    EXPECT_EQ(redrawOn(32, 0)[2], "FREQ 70");
}

TEST_F(ScreenTest, SatelliteLongitudeWestAndShipSouth)
{
    param('h', 14);
    param('i', 16); // 3600 tenths
    param('j', 16);
    decode("@S0005W1799", "@");
    EXPECT_EQ(redrawOn(32, 0)[0], "SAT 360.0W");
    EXPECT_EQ(redrawOn(16, 0)[0], "LAT 0.5S");
    EXPECT_EQ(redrawOn(16, 0)[1], "LON 179.9W");
}

// The top bit of the Step Integral parameter: second search on, step sizes as sensitivities.
TEST_F(ScreenTest, SecondSearchMethod)
{
    param('I', 128 + 3);
    EXPECT_EQ(redrawOn(131, 0)[1], "SEARCH 2 ON");
    EXPECT_EQ(redrawOn(136, 1)[2], "El Sensitivity 004");
    EXPECT_EQ(redrawOn(137, 1)[2], "Az Sensitivity 005");
    EXPECT_EQ(redrawOn(138, 1)[2], "Step Integral  131");
}

TEST_F(ScreenTest, TrimsAreSigned)
{
    const struct {
        int hi, lo;
        std::string line;
    } cases[] = {
        {0, 0, "El Trim        000"},   {127, 255, "El Trim        32767"},
        {128, 0, "El Trim       -32768"}, {255, 255, "El Trim       -001"},
        {0, 100, "El Trim        100"},
    };
    for (const auto& c : cases) {
        param('A', c.hi);
        param('B', c.lo);
        EXPECT_EQ(redrawOn(133, 1)[2], c.line);
    }
}

// Item screens stand still while the countdown is 0, so a value being typed stays visible;
// the overview screens always redraw.
TEST_F(ScreenTest, CountdownGatesItemScreens)
{
    for (const auto& c : kScreens) {
        SCOPED_TRACE("display state " + std::to_string(c.state));
        const bool item = (c.state >= 17 && c.state <= 19) || (c.state >= 33 && c.state <= 41) ||
                          (c.state >= 133 && c.state <= 160);
        const Lines lines = redrawOn(c.state, 0);
        if (item)
            EXPECT_EQ(lines, (Lines{kSame0, kSame1, kSame2, kSame3}));
        else
            EXPECT_EQ(lines, c.lines);
    }
}

// Each reply lowers the countdown; the item screen is redrawn while it was still running.
TEST_F(ScreenTest, CountdownRunsOutWithReplies)
{
    main.displayState = 135;
    main.redrawCountdown = 2;
    markLines();
    param('F', 1);
    EXPECT_EQ(main.text5[2], "Auto Thrs      001");
    EXPECT_EQ(main.redrawCountdown, 1);

    param('F', 2);
    EXPECT_EQ(main.text5[2], "Auto Thrs      002");
    EXPECT_EQ(main.redrawCountdown, 0);

    main.text5[2] = "Auto Thrs      12"; // being typed
    param('F', 3);
    decode("SHx@@L2550 Ac", "S");
    EXPECT_EQ(main.text5[2], "Auto Thrs      12");
    EXPECT_EQ(main.redrawCountdown, 0);
    EXPECT_EQ(shared.slot('F'), 3) << "the value is stored all the same";

    // A wrong-shape reply and an ignored one lower it too.
    main.redrawCountdown = 2;
    decode("xF004", paramRead('F'));
    decode("A1800", "A1800" + kCrLf);
    EXPECT_EQ(main.redrawCountdown, 0);
    EXPECT_EQ(main.text5[2], "Auto Thrs      12");
}

} // namespace
} // namespace decodertest
