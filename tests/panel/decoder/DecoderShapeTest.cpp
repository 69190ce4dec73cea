// Reply shapes: the key character within its allowed positions, replies too short to hold
// the key, and garbled lines. A reply of the wrong shape sets the decoder's sync code and
// changes nothing else; a reply that belongs to no decoder, or a graph reply without its mark,
// is passed over without a code.
#include "DecoderFixture.h"

#include "sim/AcuReplies.h"

namespace decodertest {
namespace {

enum class Outcome { Good, Ignored, Sync };

struct ShapeCase {
    std::string command;
    std::string line;
    Outcome outcome;
    int code = 0; // the sync code for Outcome::Sync
};

using sim::reply::garble;

// The good cases are the simulated ACU's own reply examples; the others move the key out of
// its range, leave it out, or cut the line short.
const ShapeCase kShapes[] = {
    // parameter: "m" anywhere
    {paramRead('N'), "mN065", Outcome::Good},
    {paramRead('N'), "  xmN065", Outcome::Good},
    {paramRead('N'), "N065", Outcome::Sync, 1},
    {paramRead('N'), "", Outcome::Sync, 1},
    {paramRead('N'), garble("mN065"), Outcome::Sync, 1},
    // line noise ending in "m" or one past it: no value field at all
    {paramRead('N'), "xm", Outcome::Sync, 1},
    {paramRead('N'), "m", Outcome::Sync, 1},
    {paramRead('N'), "xmN", Outcome::Sync, 1},
    {paramRead('A'), "mA", Outcome::Sync, 1},
    {paramRead('N'), "mN#", Outcome::Good},
    // ship position: "E" or "W" at 6..8
    {"@", "@N0433E0054", Outcome::Good},
    {"@", "@S0433W0054", Outcome::Good},
    {"@", "N0433E0054", Outcome::Good},
    {"@", "@@N0433E0054", Outcome::Good},
    {"@", "0433E0054", Outcome::Sync, 2},
    {"@", "@@@N0433E0054", Outcome::Sync, 2},
    {"@", "@N04", Outcome::Sync, 2},
    {"@", garble("@N0433E0054"), Outcome::Sync, 2},
    // heading: "R" at 1..3
    {"H", "HR0877 0900", Outcome::Good},
    {"H", "R0877 0900", Outcome::Good},
    {"H", "HHR0877 0900", Outcome::Good},
    {"H", "HHHR0877 0900", Outcome::Sync, 3},
    {"H", "H0877 0900", Outcome::Sync, 3},
    {"H", "", Outcome::Sync, 3},
    // receiver: "q" at 1..3
    {"q", "q1150 6875", Outcome::Good},
    {"q", "  q1150 6875", Outcome::Good},
    {"q", "   q1150 6875", Outcome::Sync, 4},
    {"q", "1150 6875", Outcome::Sync, 4},
    // polarisation: "G" at 1..3
    {"u", "uG0900V0400 0500", Outcome::Good},
    {"u", "G0900V0400 0500", Outcome::Good},
    {"u", "uuuG0900V0400 0500", Outcome::Sync, 5},
    {"u", "u0900V0400 0500", Outcome::Sync, 5},
    // signal level: "L" at 1..3
    {"%", "%L2550", Outcome::Good},
    {"%", "L2550", Outcome::Good},
    {"%", "%%%L2550", Outcome::Sync, 6},
    {"%", "%2550", Outcome::Sync, 6},
    // ACU version: "VER" anywhere
    {"V", "TAV ACU VER 4.20 SIM", Outcome::Good},
    {"V", "VER", Outcome::Good},
    {"V", "TAV ACU Ver 4.20", Outcome::Sync, 7},
    {"V", garble("TAV ACU VER 4.20 SIM"), Outcome::Sync, 7},
    // antenna position: "E" at 1..9
    {"P", "PE0400 1777 0900", Outcome::Good},
    {"P", "PPPPPPPPE0400 1777 0900", Outcome::Good},
    {"P", "PPPPPPPPPE0400 1777 0900", Outcome::Sync, 8},
    {"P", "P0400 1777 0900", Outcome::Sync, 8},
    // ACU status: "S" at 1..6 with words 1, 2 and error word 1 after it
    {"S", "SHx@@L2550 Ac", Outcome::Good},
    {"S", "     SHx@@L2550 Ac", Outcome::Good},
    {"S", "      SHx@@L2550 Ac", Outcome::Sync, 9},
    {"S", "SHx@", Outcome::Good},
    {"S", "SHx", Outcome::Sync, 9},
    {"S", "S", Outcome::Sync, 9},
    {"S", "###", Outcome::Sync, 9},
    {"S", garble("SHx@@L2550 Ac"), Outcome::Sync, 9},
    // spectrum point: "L" at 1..3, no sync code
    {"c1150" + kCrLf, "cL0850", Outcome::Good},
    {"c1150" + kCrLf, "cccL0850", Outcome::Ignored},
    {"c1150" + kCrLf, "###", Outcome::Ignored},
    // PCU queries by the command's fifth character, no sync code
    {pcuQuery('S'), "S@h@@", Outcome::Good},
    {pcuQuery('S'), "     S@h@@", Outcome::Good},
    {pcuQuery('S'), "      S@h@@", Outcome::Ignored},
    {pcuQuery('V'), "PCU VER 2.31 SIM", Outcome::Good},
    {pcuQuery('v'), "v  2048 2048 2048", Outcome::Good},
    {pcuQuery('v'), "V  2048 2048 2048", Outcome::Good},
    {pcuQuery('v'), "v2048 2048 2048", Outcome::Ignored},
    {pcuQuery('w'), "w  2048 2048 2048", Outcome::Good},
    {pcuQuery('w'), "v  2048 2048 2048", Outcome::Ignored},
    {pcuQuery('x'), "ivj0080 0080 0080", Outcome::Good},
    {pcuQuery('x'), garble("ivj0080 0080 0080"), Outcome::Ignored},
    {pcuQuery('y'), "tc 0128 0128 0128", Outcome::Good},
    {pcuQuery('y'), "t c 0128 0128 0128", Outcome::Ignored},
    {pcuQuery('&'), "&", Outcome::Ignored},
    {"?", "S@h@@", Outcome::Ignored},
    // commands the panel shows nothing for
    {"A1800" + kCrLf, "A1800", Outcome::Ignored},
    {"T1010" + kCrLf, "SHx@@L2550 Ac", Outcome::Ignored},
    {"\x1b", "SHx@@L2550 Ac", Outcome::Ignored},
    {"", "SHx@@L2550 Ac", Outcome::Ignored},
};

TEST_F(DecoderTest, ReplyShapesByDecoder)
{
    for (const auto& c : kShapes) {
        SCOPED_TRACE("command \"" + c.command + "\" reply \"" + c.line + "\"");
        shared = {};
        main = {};
        statusCalls = 0;
        main.displayState = 64; // the ANTENNA overview redraws on every good reply
        main.redrawCountdown = 5;
        markLines();
        const std::string before = snapshot(shared, main);

        decode(c.line, c.command);

        EXPECT_EQ(main.redrawCountdown, 4) << "the countdown is lowered after every line";
        switch (c.outcome) {
        case Outcome::Good:
            EXPECT_EQ(shared.syncErrors, 0);
            EXPECT_NE(snapshot(shared, main), before) << "a good reply redraws the screen";
            break;
        case Outcome::Ignored:
            EXPECT_EQ(shared.syncErrors, 0);
            EXPECT_EQ(snapshot(shared, main), before);
            break;
        case Outcome::Sync:
            EXPECT_EQ(shared.syncErrors, c.code);
            EXPECT_EQ(snapshot(shared, main), before) << "a reply of the wrong shape changes nothing";
            EXPECT_EQ(statusCalls, 0);
            break;
        }
    }
}

// A failed reply leaves values from earlier replies as they were, not just defaults.
TEST_F(DecoderTest, WrongShapeKeepsEarlierValues)
{
    const struct {
        std::string command, good, bad;
        int code;
    } cases[] = {
        {paramRead('A'), "mA123", "xA045", 1},
        {"@", "@S0433W0054", "@S04W", 2},
        {"H", "HR0877 0900", "HHHR0001 0002", 3},
        {"q", "q1150 6875", "   q0970 0001", 4},
        {"u", "uG0900V0400 0500", "uuuG0100V0100 0100", 5},
        {"%", "%L2550", "%%%L0300", 6},
        {"V", "TAV ACU VER 4.20 SIM", "TAV ACU 4.21", 7},
        {"P", "PE0400 1777 0900", "PPPPPPPPPE0100 0100 0100", 8},
        {"S", "SHx@@L2550 Ac", "SI", 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " " + c.bad);
        main.displayState = 16;
        decode(c.good, c.command);
        ASSERT_EQ(shared.syncErrors, 0);
        const std::string before = snapshot(shared, main);
        decode(c.bad, c.command);
        EXPECT_EQ(shared.syncErrors, c.code);
        EXPECT_EQ(snapshot(shared, main), before);
        shared.syncErrors = 0; // the link reports and clears it with the next line
    }
}

// While a sync error is still pending, a good reply stores its values but the screen waits.
TEST_F(DecoderTest, PendingSyncErrorHoldsTheRedraw)
{
    main.displayState = 64;
    markLines();
    shared.syncErrors = 8;
    decode("PE0400 1777 0900", "P");
    EXPECT_EQ(main.elevation, 400);
    EXPECT_EQ(main.text5[0], "~0");
    EXPECT_EQ(shared.syncErrors, 8);

    shared.syncErrors = 0;
    decode("PE0400 1777 0900", "P");
    EXPECT_EQ(main.text5[0], "AZ  177.7");
}

// Every line goes to the dump formatter first, while the dump's replies are arriving.
TEST_F(DecoderTest, DumpFormatterSeesEachLineBeforeDecoding)
{
    std::vector<std::pair<std::string, std::string>> seen;
    std::vector<int> slotAtCall;
    dec.dumpFormatter = [&](const std::string& line, const std::string& command) {
        seen.emplace_back(line, command);
        slotAtCall.push_back(shared.slot('A'));
    };
    decode("mA001", paramRead('A'));
    EXPECT_TRUE(seen.empty()) << "no dump runs while the counter is -1";

    shared.dumpCounter = 0;
    decode("mA002", paramRead('A'));
    decode("garbage", "S"); // wrong shape: the formatter still gets it
    shared.dumpCounter = 5;
    decode("mA003", paramRead('A'));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], (std::pair<std::string, std::string>{"mA002", paramRead('A')}));
    EXPECT_EQ(seen[1].first, "garbage");
    EXPECT_EQ(slotAtCall, (std::vector<int>{1, 2, 2}));
    EXPECT_EQ(shared.slot('A'), 3);
}

} // namespace
} // namespace decodertest
