// The family keys: entering a family, stepping through its screens with the lines each step
// clears and the poll sequence each screen asks, the shortcut menus and the Tracking key.
#include "FrontPanelFixture.h"

#include <functional>
#include <utility>

namespace fptest {
namespace {

using Key = void (panel::FrontPanel::*)();

TEST_F(FrontPanelTest, OpeningTheLinkRunsTheFrontPanelsAntennaKey)
{
    startPanel();
    EXPECT_EQ(graphClears, 1); // entered from no screen: the front panel's key ran
    EXPECT_EQ(main.displayState, 64);
    EXPECT_EQ(main.text5, (Lines{"ANTENNA ", " ", " ", " "}));
    EXPECT_EQ(main.poll, kAntennaPoll);

    // Without a front panel the link falls back to its own key.
    fp.reset();
    panel->mnuOpen_Click(); // closes
    ASSERT_EQ(main.displayState, 0);
    panel->mnuOpen_Click(); // opens
    EXPECT_EQ(main.displayState, 64);
    EXPECT_EQ(graphClears, 1);
}

TEST_F(FrontPanelTest, EnteringAFamilySetsItsOverviewAndPausesPollingFor600ms)
{
    struct Row {
        Key key;
        int from;
        int base;
        Lines lines;
        std::string poll;
        std::string firstSent;
        int countdown; // the countdown was 5 before the key
    };
    const Row rows[] = {
        {&panel::FrontPanel::cmdSHIP_Click, 64, 16, {"SHIP ", " ", " ", " "}, kShipPoll, "S", 5},
        {&panel::FrontPanel::cmdSHIP_Click, 133, 16, {"SHIP ", " ", " ", " "}, kShipPoll, "S", 5},
        {&panel::FrontPanel::cmdSAT_Click, 64, 32, {"SATELLITE", "", "", ""}, kSatPoll, "S", 1},
        {&panel::FrontPanel::cmdSAT_Click, 19, 32, {"SATELLITE", "", "", ""}, kSatPoll, "S", 1},
        {&panel::FrontPanel::cmdANT_Click, 16, 64, {"ANTENNA ", " ", " ", " "}, kAntennaPoll, "S", 5},
        {&panel::FrontPanel::cmdANT_Click, 40, 64, {"ANTENNA ", " ", " ", " "}, kAntennaPoll, "S", 5},
        {&panel::FrontPanel::cmdMODE_Click, 64, 128, {"MODE", "", "", ""}, kModePoll, "mI999\r\n", 5},
        {&panel::FrontPanel::cmdMODE_Click, 33, 128, {"MODE", "", "", ""}, kModePoll, "mI999\r\n", 5},
    };
    startPanel();
    const int clearsAtStart = graphClears;
    for (const auto& r : rows) {
        SCOPED_TRACE("from " + std::to_string(r.from) + " to " + std::to_string(r.base));
        showScreen(r.from, "P");
        main.pollPos = 1;
        clock.advance(1000ms); // polling runs
        ASSERT_TRUE(panel->timer3().enabled());
        main.redrawCountdown = 5;
        shared.diagStop = true;
        shared.sweepFrequency = 7;

        (fp.get()->*r.key)();

        EXPECT_EQ(main.displayState, r.base);
        EXPECT_EQ(main.text5, r.lines);
        EXPECT_EQ(main.poll, r.poll);
        EXPECT_EQ(main.pollPos, 1);
        EXPECT_FALSE(shared.diagStop);
        EXPECT_EQ(shared.sweepFrequency, 0);
        EXPECT_EQ(main.redrawCountdown, r.countdown);
        EXPECT_FALSE(panel->timer3().enabled());
        EXPECT_TRUE(panel->timer1().enabled());
        EXPECT_EQ(panel->timer1().interval(), 600ms);

        const size_t first = journal.writes.size();
        clock.advance(599ms);
        EXPECT_EQ(journal.writes.size(), first);
        EXPECT_FALSE(panel->timer3().enabled());
        clock.advance(1ms);
        EXPECT_TRUE(panel->timer3().enabled());
        clock.advance(200ms);
        ASSERT_EQ(journal.writes.size(), first + 1);
        EXPECT_EQ(journal.writes.back().bytes, r.firstSent);
    }
    EXPECT_EQ(graphClears, clearsAtStart); // the graph is cleared only when entering from no screen
}

TEST_F(FrontPanelTest, EnteringAFamilyFromNoScreenClearsTheGraph)
{
    startPanel();
    ASSERT_EQ(graphClears, 1);
    panel->mnuOpen_Click(); // the link closes: no screen
    ASSERT_EQ(main.displayState, 0);
    fp->cmdSHIP_Click();
    EXPECT_EQ(graphClears, 2);
    fp->cmdSAT_Click();
    EXPECT_EQ(graphClears, 2);
}

// One step on a family already shown, from a screen whose lines read "a".."d" and whose poll
// position is 4: the state, the lines, the poll sequence ("prev" when kept) and position.
struct Step {
    int from;
    bool mode70;
    int to;
    Lines lines;
    std::string poll;
    int pollPos;
};

void runSteps(panel::FrontPanel& fp, panel::MainState& main, panel::PanelLink& link, Key key,
              const std::vector<Step>& steps, int countdown)
{
    for (const auto& s : steps) {
        SCOPED_TRACE(std::to_string(s.from) + (s.mode70 ? " (70/140 MHz)" : "") + " -> " + std::to_string(s.to));
        main.displayState = s.from;
        main.text5 = {"a", "b", "c", "d"};
        main.poll = "prev";
        main.pollPos = 4;
        main.mode70 = s.mode70;
        main.redrawCountdown = 9;
        ASSERT_TRUE(link.timer3().enabled());
        (fp.*key)();
        EXPECT_EQ(main.displayState, s.to);
        EXPECT_EQ(main.text5, s.lines);
        EXPECT_EQ(main.poll, s.poll);
        EXPECT_EQ(main.pollPos, s.pollPos);
        EXPECT_EQ(main.redrawCountdown, countdown);
        // A step keeps polling: the scheduler is neither stopped nor paused.
        EXPECT_TRUE(link.timer3().enabled());
        EXPECT_FALSE(link.timer1().enabled());
    }
}

TEST_F(FrontPanelTest, ShipKeyStepsLatitudeLongitudeHeadingAndBack)
{
    startPanel();
    runSteps(*fp, main, *panel, &panel::FrontPanel::cmdSHIP_Click,
             {
                 {16, false, 17, {"a", "", "", ""}, "prev", 4},
                 {17, false, 18, {"", "b", "c", "d"}, "prev", 4},
                 {18, false, 19, {"a", "", "c", "d"}, "prev", 4},
                 {19, false, 16, {"a", "b", "", "d"}, "prev", 1},
             },
             9);
}

TEST_F(FrontPanelTest, AntennaKeyStepsAzimuthElevationPolarisationAndBack)
{
    startPanel();
    runSteps(*fp, main, *panel, &panel::FrontPanel::cmdANT_Click,
             {
                 {64, false, 65, {"a", "", "", ""}, "prev", 4},
                 {65, false, 66, {"", "b", "c", "d"}, "prev", 4},
                 {66, false, 67, {"a", "", "c", "d"}, "prev", 4},
                 {67, false, 68, {"a", "b", "POL ", "d"}, "prev", 4},
                 {68, false, 64, {"a", "b", "", "d"}, "prev", 4},
             },
             9);
}

TEST_F(FrontPanelTest, SatelliteKeyStepsItsItemsAndSkipsToneAndVoltIn70MHzMode)
{
    startPanel();
    const Lines abcd{"a", "b", "c", "d"};
    runSteps(*fp, main, *panel, &panel::FrontPanel::cmdSAT_Click,
             {
                 {32, false, 33, {"a", "", "", ""}, "prev", 4},
                 {33, false, 34, {"", "b", "c", "d"}, "prev", 4},
                 {34, false, 35, {"a", "", "c", "d"}, "prev", 4},
                 {35, false, 36, abcd, "prev", 4},
                 {36, false, 37, abcd, kSatItemPoll, 1},
                 {37, false, 38, abcd, kSatItemPoll, 1},
                 {38, false, 39, abcd, kSatItemPoll, 1},
                 {39, false, 40, abcd, kSatItemPoll, 1},
                 {40, false, 41, abcd, kSatItemPoll, 1},
                 {41, false, 32, abcd, kSatPoll, 1},
                 // 70/140 MHz SCPC receiver: tone and voltage are skipped.
                 {32, true, 33, {"a", "", "", ""}, "prev", 4},
                 {35, true, 36, abcd, "prev", 4},
                 {36, true, 39, abcd, kSatItemPoll, 1},
                 {37, true, 39, abcd, kSatItemPoll, 1},
                 {38, true, 39, abcd, kSatItemPoll, 1},
                 {39, true, 40, abcd, kSatItemPoll, 1},
                 {41, true, 32, abcd, kSatPoll, 1},
             },
             1);
}

TEST_F(FrontPanelTest, ModeKeyStepsThroughItsScreensUpTo160)
{
    struct Screen {
        int to;
        std::string line0;
        std::string poll; // "prev" when the screen keeps the sequence it had
        bool clearsLine2;
    };
    const std::vector<Screen> screens = {
        {129, "Version Info ACU", "SPHuVSPHuV!?   S", false},
        {130, "Version Info PCU", "SPHu!?   VSPHu!?   S", false},
        {131, "STATUS    ", "SPHu", true},
        {132, "STATUS    ", "SPHu", true},
        {133, "SETUP", "!mA999!mB999SPHu", false},
        {134, "SETUP", "!mC999!mD999SPHu", false},
        {135, "SETUP", "!mF999SPHu", false},
        {136, "SETUP", "!mI999!mG999SPHu", false},
        {137, "SETUP", "!mI999!mH999SPHu", false},
        {138, "SETUP", "!mI999SPHu", false},
        {139, "SETUP", "!mJ999SPHu", false},
        {140, "SETUP", "!mK999SPHu", false},
        {141, "SETUP", "!mL999SPHu", false},
        {142, "SETUP", "!mM999SPHu", false},
        {143, "SETUP", "prev", true},
        {144, "SETUP", "!mN999SPHu", false},
        {145, "SETUP", "!mO999SPHu", false},
        {146, "SETUP", "!mP999SPHu", false},
        {147, "SETUP", "!mQ999SPHu", false},
        {148, "SETUP", "!mR999SPHu", false},
        {149, "SETUP", "!mW999SPHu", false},
        {150, "SETUP", "SPHu", true},
        {151, "SETUP", "!m\x81" "999SPHu", false},
        {152, "SETUP", "!mS999!mT999SPHu", false},
        {153, "SETUP", "!mU999!mV999SPHu", false},
        {154, "SETUP", "!m\x86" "999SPHu", false},
        {155, "SETUP", "!mY999!mZ999SPHu", false},
        {156, "SETUP", "!m[999!m\\999SPHu", false},
        {157, "SETUP", "!m\x87" "999SPHu", false},
        {158, "SETUP", "!m]999!m^999SPHu", false},
        {159, "SETUP", "!m_999!m`999SPHu", false},
        {160, "SETUP", "!m\x88" "999SPHu", false},
    };
    startPanel();
    std::vector<Step> steps;
    for (const auto& s : screens)
        steps.push_back({s.to - 1, false, s.to, {s.line0, "b", s.clearsLine2 ? "" : "c", "d"}, s.poll, 1});
    // A press on 160 keeps 160.
    steps.push_back({160, false, 160, {"SETUP", "b", "c", "d"}, "!m\x88" "999SPHu", 1});
    runSteps(*fp, main, *panel, &panel::FrontPanel::cmdMODE_Click, steps, 3);
}

TEST_F(FrontPanelTest, ModeStepsPollTheNewScreenAtTheNextTickWithCodesAsSingleBytes)
{
    startPanel();
    fp->cmdMODE_Click();
    clock.advance(800ms); // 600 ms pause, then the first tick
    ASSERT_EQ(journal.writes.back().bytes, "mI999\r\n");

    main.displayState = 150;
    fp->cmdMODE_Click(); // 151: Track Display, parameter code 129
    const auto sent = ticks(6);
    EXPECT_EQ(sent, (std::vector<std::string>{"m\x81" "999\r\n", "S", "P", "H", "u", "m\x81" "999\r\n"}));
    EXPECT_EQ(sent[0].size(), 7u);
}

TEST_F(FrontPanelTest, ShortcutMenusShowTheScreenAfterTheStateTheySet)
{
    struct Row {
        int set;
        int shown;
    };
    const Row mode[] = {{128, 129}, {129, 130}, {132, 133}, {133, 134}, {134, 135}, {135, 136}, {136, 137},
                        {137, 138}, {138, 139}, {139, 140}, {140, 141}, {141, 142}, {143, 144}, {144, 145},
                        {145, 146}, {146, 147}, {147, 148}, {148, 149}, {150, 151}, {151, 152}};
    const Row sat[] = {{32, 33}, {33, 34}, {34, 35}, {35, 36}, {36, 37}, {37, 38}, {38, 39}, {39, 40}, {40, 41}};
    startPanel();
    fp->cmdMODE_Click();
    clock.advance(1000ms);
    for (const auto& r : mode) {
        SCOPED_TRACE(r.set);
        fp->MenuSelect(r.set);
        EXPECT_EQ(main.displayState, r.shown);
        EXPECT_TRUE(panel->timer3().enabled()); // already on MODE: no pause
    }
    EXPECT_EQ(main.poll, "!mS999!mT999SPHu"); // Az Limit 1's sequence
    fp->cmdSAT_Click();
    clock.advance(1000ms);
    for (const auto& r : sat) {
        SCOPED_TRACE(r.set);
        fp->MenuSelect(r.set);
        EXPECT_EQ(main.displayState, r.shown);
    }
    // "Tone" in 70/140 MHz mode lands on FEC.
    main.mode70 = true;
    fp->MenuSelect(36);
    EXPECT_EQ(main.displayState, 39);
}

TEST_F(FrontPanelTest, ShortcutMenuFromAnotherFamilyEntersItFirst)
{
    startPanel();
    clock.advance(1000ms);
    ASSERT_EQ(main.displayState, 64);
    fp->MenuSelect(138); // Search Increment
    EXPECT_EQ(main.displayState, 139);
    EXPECT_EQ(main.poll, "!mJ999SPHu");
    EXPECT_FALSE(panel->timer3().enabled()); // entering MODE paused polling
    EXPECT_TRUE(panel->timer1().enabled());
    fp->MenuSelect(5); // no menu sets such a state
    EXPECT_EQ(main.displayState, 139);
}

TEST_F(FrontPanelTest, EveryKeyTellsTheWindowToRedraw)
{
    startPanel();
    int changes = 0;
    fp->changed = [&] { ++changes; };
    const std::pair<const char*, std::function<void()>> actions[] = {
        {"SHIP enter", [&] { fp->cmdSHIP_Click(); }},
        {"SHIP step", [&] { fp->cmdSHIP_Click(); }},
        {"SAT enter", [&] { fp->cmdSAT_Click(); }},
        {"SAT step", [&] { fp->cmdSAT_Click(); }},
        {"ANTENNA enter", [&] { fp->cmdANT_Click(); }},
        {"ANTENNA step", [&] { fp->cmdANT_Click(); }},
        {"MODE enter", [&] { fp->cmdMODE_Click(); }},
        {"MODE step", [&] { fp->cmdMODE_Click(); }},
        {"menu", [&] { fp->MenuSelect(133); }},
        {"Tracking", [&] { fp->cmdTrack_Click(); }},
        {"typed key", [&] { fp->Text5_KeyPress('5'); }},
        {"Backspace", [&] { fp->Text5_KeyPress(panel::FrontPanel::kBackspace); }},
        {"Enter", [&] { fp->Text5_KeyPress(panel::FrontPanel::kEnter); }},
    };
    for (const auto& [name, act] : actions) {
        SCOPED_TRACE(name);
        const int before = changes;
        act();
        EXPECT_GT(changes, before);
    }
}

TEST_F(FrontPanelTest, TrackingKeyQueuesTheOppositeOfTheReportedState)
{
    struct Row {
        int tracking;
        std::string queued;
    };
    const Row rows[] = {{8, "D"}, {0, "C"}};
    startPanel();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.tracking);
        shared.typed = "B1234\r\n";
        main.tracking = r.tracking;
        fp->cmdTrack_Click();
        EXPECT_EQ(shared.typed, r.queued);
        const size_t ringWrite = size_t(shared.ring.write);
        const auto sent = ticks(1);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], r.queued);
        EXPECT_EQ(size_t(shared.ring.write), ringWrite); // no reply expected
    }
}

} // namespace
} // namespace fptest
