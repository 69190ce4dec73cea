// The entry field: each screen's set command, the parameter slots it fills at once, the keys
// that confirm, edit and pass through, the redraw countdown, and the line showing the entry.
#include "FrontPanelFixture.h"

#include <utility>

namespace fptest {
namespace {

enum class Confirm { Enter, Space };

struct SetRow {
    int state;
    std::string entry;
    std::string command; // empty: the screen has no command and the queue stays as it was
    int countdown = 8;
    Confirm confirm = Confirm::Enter;
    int rxStatus = 0;
    bool mode70 = false;
    bool scpc = false;
    bool appended = false;
    std::vector<std::pair<int, int>> slots = {}; // parameter code, value held after the entry
};

const std::string kQueued = "D";

void checkRows(panel::FrontPanel& fp, panel::PanelShared& shared, panel::MainState& main,
               const std::vector<SetRow>& rows)
{
    for (const auto& r : rows) {
        SCOPED_TRACE("state " + std::to_string(r.state) + " entry \"" + r.entry + "\"");
        main.displayState = r.state;
        main.text5 = {"a", "b", "c", "d"};
        main.rxStatus = r.rxStatus;
        main.mode70 = r.mode70;
        main.scpc = r.scpc;
        main.redrawCountdown = 3;
        shared.param.fill(-1);
        shared.typed = kQueued;
        for (const char c : r.entry)
            EXPECT_TRUE(fp.Text5_KeyPress((unsigned char)c));
        EXPECT_EQ(main.entry, r.entry);
        EXPECT_TRUE(fp.Text5_KeyPress(r.confirm == Confirm::Space ? ' ' : panel::FrontPanel::kEnter));
        const std::string expected = r.command.empty() ? kQueued : r.appended ? kQueued + r.command : r.command;
        EXPECT_EQ(shared.typed, expected);
        EXPECT_EQ(main.entry, "");
        EXPECT_EQ(main.redrawCountdown, r.countdown);
        EXPECT_EQ(main.displayState, r.state); // a confirmation stays on the screen
        for (const auto& [code, value] : r.slots)
            EXPECT_EQ(shared.param[size_t(code)], value) << "slot " << code;
    }
}

TEST_F(FrontPanelTest, ConfirmedEntryQueuesTheScreensSetCommand)
{
    startPanel();
    const std::vector<SetRow> rows = {
        // heading, tenths rounded half to even; a text without a leading number is 0
        {.state = 19, .entry = "123.4", .command = "B1234\r\n"},
        {.state = 19, .entry = "0.25", .command = "B0002\r\n"},
        {.state = 19, .entry = "0.75", .command = "B0008\r\n"},
        {.state = 19, .entry = "abc", .command = "B0000\r\n"},
        {.state = 19, .entry = "12x5", .command = "B0120\r\n"},
        {.state = 19, .entry = "1e5", .command = "B0010\r\n"},
        {.state = 19, .entry = "-", .command = "B0000\r\n"},
        {.state = 19, .entry = "..", .command = "B0000\r\n"},
        // satellite longitude: east is counted from 360
        {.state = 33, .entry = "10", .command = "T0100\r\n", .countdown = 28},
        {.state = 33, .entry = "10E", .command = "T3500\r\n", .countdown = 28},
        {.state = 33, .entry = "97.5W", .command = "T0975\r\n", .countdown = 28},
        // threshold as high and low byte
        {.state = 34, .entry = "300", .command = "mo001\r\nmp044\r\n"},
        {.state = 34, .entry = "12", .command = "mo000\r\nmp012\r\n"},
        // frequency
        {.state = 35, .entry = "1234", .command = "c1234\r\n"},
        // baud: a quarter in L-band DVB mode, as typed for an SCPC receiver
        {.state = 36, .entry = "2000", .command = "d0500\r\n"},
        {.state = 36, .entry = "10", .command = "d0002\r\n"},
        {.state = 36, .entry = "2000", .command = "d2000\r\n", .mode70 = true},
        {.state = 36, .entry = "2000", .command = "d2000\r\n", .scpc = true},
        // tone: ON, OFF, else the opposite of receiver status bit 4
        {.state = 37, .entry = "ON", .command = "c0033\r\n"},
        {.state = 37, .entry = "OFF", .command = "c0032\r\n", .rxStatus = 16},
        {.state = 37, .entry = "x", .command = "c0032\r\n", .rxStatus = 16},
        {.state = 37, .entry = "x", .command = "c0033\r\n", .rxStatus = 32},
        // voltage: the opposite of bit 5, by Space or Enter
        {.state = 38, .entry = "", .command = "c0034\r\n", .confirm = Confirm::Space, .rxStatus = 32},
        {.state = 38, .entry = "", .command = "c0035\r\n", .confirm = Confirm::Space, .rxStatus = 16},
        {.state = 38, .entry = "1", .command = "c0034\r\n", .rxStatus = 32 + 7},
        // FEC: Space steps the current code (4 bits), letters and numbers pick one, "*" adds 8
        {.state = 39, .entry = "", .command = "mu048\r\n", .confirm = Confirm::Space, .rxStatus = 2, .slots = {{'u', 48}}},
        {.state = 39, .entry = "", .command = "mu000\r\n", .confirm = Confirm::Space, .rxStatus = 15, .slots = {{'u', 0}}},
        {.state = 39, .entry = "", .command = "mu176\r\n", .confirm = Confirm::Space, .rxStatus = 32 + 16 + 10},
        {.state = 39, .entry = "S", .command = "mu112\r\n", .slots = {{'u', 112}}},
        {.state = 39, .entry = "s", .command = "mu112\r\n"},
        {.state = 39, .entry = "L", .command = "mu240\r\n"},
        {.state = 39, .entry = "l", .command = "mu240\r\n", .confirm = Confirm::Space},
        {.state = 39, .entry = "0", .command = "mu000\r\n"},
        {.state = 39, .entry = "1", .command = "mu016\r\n"},
        {.state = 39, .entry = "3", .command = "mu048\r\n"},
        {.state = 39, .entry = "4", .command = "mu048\r\n"},
        {.state = 39, .entry = "7", .command = "mu096\r\n"},
        {.state = 39, .entry = "3*", .command = "mu176\r\n"},
        {.state = 39, .entry = "*", .command = "mu128\r\n"},
        {.state = 39, .entry = "S*", .command = "mu240\r\n"},
        // skew: appended to the queue, negative values as a byte
        {.state = 40, .entry = "5", .command = "m\x8a" "005\r\n", .appended = true, .slots = {{138, 5}}},
        {.state = 40, .entry = "-6", .command = "m\x8a" "250\r\n", .appended = true, .slots = {{138, -6}}},
        // NID: the last 4 characters, zero-padded, as hexadecimal
        {.state = 41, .entry = "1A", .command = "m}000\r\nm~026\r\n", .slots = {{'}', 0}, {'~', 26}}},
        {.state = 41, .entry = "ABCD", .command = "m}171\r\nm~205\r\n", .slots = {{'}', 171}, {'~', 205}}},
        {.state = 41, .entry = "12345", .command = "m}035\r\nm~069\r\n"},
        {.state = 41, .entry = "a1", .command = "m}000\r\nm~161\r\n"},
        // antenna items
        {.state = 65, .entry = "123.4", .command = "A1234\r\n"},
        {.state = 66, .entry = "45", .command = "E0450\r\n"},
        {.state = 67, .entry = "7.5", .command = "J0075\r\n"},
        // MODE parameters
        {.state = 133, .entry = "-1", .command = "mA255\r\nmB255\r\n", .countdown = 16, .slots = {{'A', 255}, {'B', 255}}},
        {.state = 133, .entry = "300", .command = "mA001\r\nmB044\r\n", .countdown = 16, .slots = {{'A', 1}, {'B', 44}}},
        {.state = 134, .entry = "-2", .command = "mC255\r\nmD254\r\n", .countdown = 16, .slots = {{'C', 255}, {'D', 254}}},
        {.state = 135, .entry = "12", .command = "mF012\r\n", .countdown = 16, .slots = {{'F', 12}}},
        {.state = 136, .entry = "7", .command = "Y0007\r\n", .countdown = 16, .slots = {{'G', 7}}},
        {.state = 137, .entry = "8", .command = "X0008\r\n", .countdown = 16, .slots = {{'H', 8}}},
        {.state = 138, .entry = "5", .command = "mI005\r\n", .countdown = 16, .slots = {{'I', 5}}},
        {.state = 139, .entry = "6", .command = "mJ006\r\n", .countdown = 16, .slots = {{'J', 6}}},
        {.state = 140, .entry = "17", .command = "mK017\r\n", .countdown = 16, .slots = {{'K', 17}}},
        {.state = 141, .entry = "200", .command = "mL200\r\n", .countdown = 16, .slots = {{'L', 200}}},
        {.state = 142, .entry = "9", .command = "mM009\r\n", .countdown = 16, .slots = {{'M', 9}}},
        {.state = 144, .entry = "65", .command = "mN065\r\n", .countdown = 16, .slots = {{'N', 65}}},
        {.state = 145, .entry = "1", .command = "mO001\r\n", .countdown = 16, .slots = {{'O', 1}}},
        {.state = 146, .entry = "2", .command = "mP002\r\n", .countdown = 16, .slots = {{'P', 2}}},
        {.state = 147, .entry = "3", .command = "mQ003\r\n", .countdown = 16, .slots = {{'Q', 3}}},
        {.state = 148, .entry = "4", .command = "mR004\r\n", .countdown = 16, .slots = {{'R', 4}}},
        {.state = 149, .entry = "1", .command = "mW001\r\n", .countdown = 16, .slots = {{'W', 1}}},
        {.state = 151, .entry = "3", .command = "m\x81" "003\r\n", .countdown = 16, .slots = {{129, 3}}},
        {.state = 152, .entry = "1000", .command = "mS003\r\nmT232\r\n", .countdown = 16, .slots = {{'S', 3}, {'T', 232}}},
        {.state = 153, .entry = "1001", .command = "mU003\r\nmV233\r\n", .countdown = 16, .slots = {{'U', 3}, {'V', 233}}},
        {.state = 155, .entry = "256", .command = "mY001\r\nmZ000\r\n", .countdown = 16, .slots = {{'Y', 1}, {'Z', 0}}},
        {.state = 156, .entry = "511", .command = "m[001\r\nm\\255\r\n", .countdown = 16, .slots = {{'[', 1}, {'\\', 255}}},
        {.state = 158, .entry = "3600", .command = "m]014\r\nm^016\r\n", .countdown = 16, .slots = {{']', 14}, {'^', 16}}},
        {.state = 159, .entry = "-1", .command = "m_255\r\nm`255\r\n", .countdown = 16, .slots = {{'_', 255}, {'`', 255}}},
        {.state = 154, .entry = "45", .command = "m\x86" "045\r\n", .countdown = 16, .slots = {{134, 45}}},
        {.state = 157, .entry = "5", .command = "m\x87" "005\r\n", .countdown = 16, .slots = {{135, 5}}},
        {.state = 160, .entry = "2.5", .command = "m\x88" "002\r\n", .countdown = 16, .slots = {{136, 2}}},
        // screens without a set command
        {.state = 143, .entry = "5", .command = "", .countdown = 16},
        {.state = 150, .entry = "5", .command = "", .countdown = 16},
        {.state = 129, .entry = "5", .command = ""},
        {.state = 64, .entry = "5", .command = ""},
        {.state = 16, .entry = "5", .command = ""},
    };
    checkRows(*fp, shared, main, rows);
}

// A value whose digits do not fit its command, or a sign the field cannot carry, is refused
// on the entry line: nothing is queued and nothing stored. The largest values that fit go out.
TEST_F(FrontPanelTest, EntryThatDoesNotFitItsCommandIsRefused)
{
    startPanel();
    const struct {
        int state;
        std::string entry;
    } refused[] = {
        {19, "1623115340689067615"}, // too large for any integer
        {19, "1000"},                // five digits of tenths where the command carries four
        {19, "-1"},                  // no sign in the heading field
        {33, "1000W"},
        {34, "70000"},
        {35, "10000"},
        {36, "40000"},
        {39, "100"},                 // FEC code 99 is four digits once shifted
        {40, "1000"},
        {40, "-257"},
        {65, "1000"},
        {66, "-5"},
        {67, "99999999999999999999999999999"},
        {133, "65536"},
        {133, "-32769"},
        {135, "1000"},
        {135, "-1"},
        {136, "10000"},
        {137, "-3"},
        {144, "1623115340689067615"},
        {152, "99999999999999999999"},
        {159, "70000"},
        {160, "-1"},
        {17, "100"},
        {18, "1000"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE("state " + std::to_string(r.state) + " entry \"" + r.entry + "\"");
        main.displayState = r.state;
        main.text5 = {"a", "b", "c", "d"};
        shared.param.fill(-1);
        shared.latitude = 125;
        shared.longitude = 1234;
        shared.typed = "D";
        type(r.entry);
        enter();
        EXPECT_EQ(shared.typed, "D") << "nothing is queued";
        EXPECT_EQ(main.entry, "");
        EXPECT_EQ(main.text5[size_t(panel::FrontPanel::entryLine(r.state))], panel::FrontPanel::kEntryRefused);
        for (int code = 0; code < 256; ++code)
            ASSERT_EQ(shared.param[size_t(code)], -1) << "slot " << code;
        EXPECT_EQ(shared.latitude, 125);
        EXPECT_EQ(shared.longitude, 1234);
    }

    // Typing again brings the item's caption back with the new entry.
    main.displayState = 135;
    main.text5[2] = "Auto Thrs      012";
    type("5000");
    enter();
    EXPECT_EQ(main.text5[2], panel::FrontPanel::kEntryRefused);
    type("7");
    EXPECT_EQ(main.text5[2], "Auto Thrs      7");
    main.entry.clear();

    const std::vector<SetRow> largestThatFit = {
        {.state = 19, .entry = "999.9", .command = "B9999\r\n"},
        {.state = 33, .entry = "360E", .command = "T0000\r\n", .countdown = 28},
        {.state = 34, .entry = "65535", .command = "mo255\r\nmp255\r\n"},
        {.state = 36, .entry = "39996", .command = "d9999\r\n"},
        {.state = 39, .entry = "63", .command = "mu992\r\n"},
        {.state = 40, .entry = "-256", .command = "m\x8a" "000\r\n", .appended = true},
        {.state = 40, .entry = "999", .command = "m\x8a" "999\r\n", .appended = true},
        {.state = 133, .entry = "-32768", .command = "mA128\r\nmB000\r\n", .countdown = 16},
        {.state = 135, .entry = "999", .command = "mF999\r\n", .countdown = 16},
        {.state = 136, .entry = "9999", .command = "Y9999\r\n", .countdown = 16},
        {.state = 152, .entry = "65535", .command = "mS255\r\nmT255\r\n", .countdown = 16},
        {.state = 18, .entry = "999.9W", .command = "$GPGLL,0000.00,N,99954.00,W\r\n", .countdown = 28},
    };
    shared.latitude = 0;
    shared.latHemisphere = 'N';
    checkRows(*fp, shared, main, largestThatFit);
}

TEST_F(FrontPanelTest, FrequencyEntryIsRemembered)
{
    startPanel();
    main.displayState = 35;
    type("1450.4");
    enter();
    EXPECT_EQ(shared.typed, "c1450\r\n");
    EXPECT_EQ(main.frequency, 1450);
}

TEST_F(FrontPanelTest, PositionEntrySetsLatitudeOrLongitudeAndQueuesThePositionSentence)
{
    struct Row {
        int state;
        std::string entry;
        std::string sentence;
        int latitude;
        char latHemisphere;
        int longitude;
        char lonHemisphere;
    };
    // Each row starts from the position the previous one left.
    const Row rows[] = {
        {17, "12.5S", "$GPGLL,1230.00,S,12324.00,E\r\n", 125, 'S', 1234, 'E'},
        {17, "N", "$GPGLL,1230.00,N,12324.00,E\r\n", 125, 'N', 1234, 'E'},
        {18, "5W", "$GPGLL,1230.00,N,00500.00,W\r\n", 125, 'N', 50, 'W'},
        {18, "E 179.9", "$GPGLL,1230.00,N,17954.00,E\r\n", 125, 'N', 1799, 'E'},
        {17, "0.1", "$GPGLL,0006.00,N,17954.00,E\r\n", 1, 'N', 1799, 'E'},
        {18, "W", "$GPGLL,0006.00,N,17954.00,W\r\n", 1, 'N', 1799, 'W'},
    };
    startPanel();
    shared.latitude = 0;
    shared.latHemisphere = 'N';
    shared.longitude = 1234;
    shared.lonHemisphere = 'E';
    for (const auto& r : rows) {
        SCOPED_TRACE(r.entry);
        main.displayState = r.state;
        shared.typed = "D";
        type(r.entry);
        enter();
        EXPECT_EQ(shared.typed, r.sentence);
        EXPECT_EQ(shared.latitude, r.latitude);
        EXPECT_EQ(shared.latHemisphere, r.latHemisphere);
        EXPECT_EQ(shared.longitude, r.longitude);
        EXPECT_EQ(shared.lonHemisphere, r.lonHemisphere);
        EXPECT_EQ(main.redrawCountdown, 28);
    }
}

TEST_F(FrontPanelTest, ConfirmedEntryGoesOutThroughTheTypedQueue)
{
    startPanel();
    main.displayState = 133;
    type("-1");
    enter();
    const auto sent = ticks(3);
    ASSERT_GE(sent.size(), 2u);
    // 14 characters: sent 7 at a time.
    EXPECT_EQ(sent[0], "mA255\r\n");
    EXPECT_EQ(sent[1], "mB255\r\n");
}

TEST_F(FrontPanelTest, SpaceIsPartOfTheEntryExceptOnVoltageAndFec)
{
    startPanel();
    main.displayState = 35;
    type("1 2");
    EXPECT_EQ(main.entry, "1 2");
    EXPECT_EQ(shared.typed, "");
    enter();
    EXPECT_EQ(shared.typed, "c0001\r\n"); // the leading number
}

TEST_F(FrontPanelTest, BackspaceRemovesTheLastCharacter)
{
    startPanel();
    main.displayState = 65;
    main.text5 = {"123.4", "b", "c", "d"};
    EXPECT_TRUE(fp->Text5_KeyPress(panel::FrontPanel::kBackspace)); // nothing typed yet
    EXPECT_EQ(main.entry, "");
    EXPECT_EQ(main.text5[0], "123.4");
    type("12");
    EXPECT_TRUE(fp->Text5_KeyPress(panel::FrontPanel::kBackspace));
    EXPECT_EQ(main.text5[0], "1");
    type("3");
    EXPECT_EQ(main.text5[0], "13");
    enter();
    EXPECT_EQ(shared.typed, "A0130\r\n");
}

TEST_F(FrontPanelTest, EnterWithoutEntryRunsTheKeyOfTheFamilyShown)
{
    struct Row {
        int state;
        int shown;
    };
    const Row rows[] = {{16, 17}, {17, 18}, {40, 41}, {64, 65}, {65, 66}, {140, 141}, {160, 160}, {0, 128}};
    startPanel();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.state);
        main.displayState = r.state;
        shared.typed = "D";
        EXPECT_TRUE(fp->Text5_KeyPress(panel::FrontPanel::kEnter));
        EXPECT_EQ(main.displayState, r.shown);
        EXPECT_EQ(shared.typed, "D");
    }
}

TEST_F(FrontPanelTest, EveryKeySetsTheRedrawCountdownToZero)
{
    startPanel();
    main.displayState = 140;
    for (const int key : {int('1'), int(panel::FrontPanel::kBackspace), int(' ')}) {
        SCOPED_TRACE(key);
        main.redrawCountdown = 5;
        fp->Text5_KeyPress(key);
        EXPECT_EQ(main.redrawCountdown, 0);
    }
    main.displayState = 16;
    main.entry.clear();
    main.redrawCountdown = 5;
    fp->Text5_KeyPress(panel::FrontPanel::kEnter); // empty: the SHIP key
    EXPECT_EQ(main.redrawCountdown, 0);
    EXPECT_EQ(main.displayState, 17);
}

TEST_F(FrontPanelTest, ControlKeysAreLeftToTheWindow)
{
    startPanel();
    main.displayState = 65;
    type("4");
    for (const int key : {27, 9, 1, 127}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(fp->Text5_KeyPress(key));
        EXPECT_EQ(main.entry, "4");
    }
}

TEST_F(FrontPanelTest, TheEditedLineShowsTheItemCaptionAndTheEntry)
{
    struct Row {
        int state;
        Lines before;
        std::string keys;
        int line;
        std::string shown;
    };
    const Row rows[] = {
        {17, {"12.5", "", "", ""}, "1", 0, "1"},
        {18, {"", "123.4", "", ""}, "2W", 1, "2W"},
        {19, {"", "", "270.0", ""}, "9", 2, "9"},
        {33, {"97.0W", "", "", ""}, "10", 0, "10"},
        {34, {"", "  120", "", ""}, "99", 1, "99"},
        {35, {"", "", "1450MHZ  ", "AGC 100"}, "12", 2, "12"},
        {36, {"", "", "BAUD 27500KHZ  ", ""}, "2", 2, "BAUD 2"},
        {39, {"", "", "FEC  3/4", ""}, "*", 2, "FEC *"},
        {41, {"", "", "NID  001A", ""}, "1B", 2, "NID  1B"},
        {65, {"123.4", "", "", ""}, "9", 0, "9"},
        {67, {"", "", "12.0", ""}, "1", 2, "1"},
        {139, {"SETUP", "", "Search Inc     010", ""}, "25", 2, "Search Inc     25"},
        {140, {"SETUP", "", "ab", ""}, "7", 2, "ab             7"},
        {64, {"AZ  123.4", "EL  30.0", "REL 0.0", "AGC 100"}, "7", 3, "7"},
    };
    startPanel();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.state);
        main.displayState = r.state;
        main.text5 = r.before;
        type(r.keys);
        Lines expected = r.before;
        expected[size_t(r.line)] = r.shown;
        EXPECT_EQ(main.text5, expected);
        EXPECT_EQ(panel::FrontPanel::entryLine(r.state), r.line);
        enter();
        EXPECT_EQ(main.text5, expected); // the line keeps the entry until the screen redraws
    }
}

} // namespace
} // namespace fptest
