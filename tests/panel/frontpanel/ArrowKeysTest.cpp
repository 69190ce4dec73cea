// The arrow keys on virtual time: MODE navigation one screen per click with a held-key
// repeat, the pattern scan's direction on the ANTENNA overview, nothing elsewhere.
#include "FrontPanelFixture.h"
#include "panel/tools/PatternScan.h"

namespace fptest {
namespace {

enum Arrow { Up = 0, Down = 1, Left = 2, Right = 3 };

class ArrowTest : public FrontPanelTest {
protected:
    void SetUp() override
    {
        FrontPanelTest::SetUp();
        startPanel();
    }
    // Press arrow i on the given screen, hold it for the given time, release it, and let
    // two more seconds pass.
    void click(int state, int i, Ms hold)
    {
        main.displayState = state;
        fp->cmdArrow_MouseDown(i);
        EXPECT_TRUE(main.arrowHeld);
        clock.advance(hold);
        fp->cmdArrow_MouseUp(i);
        EXPECT_FALSE(main.arrowHeld);
        clock.advance(2s);
    }
};

TEST_F(ArrowTest, EveryArrowPressStopsAndResetsTheScan)
{
    const int states[] = {0, 16, 33, 64, 65, 135};
    int presses = 0;
    for (const int st : states) {
        for (int i = Up; i <= Right; ++i) {
            click(st, i, 0ms);
            EXPECT_EQ(scan.pressed, ++presses) << "state " << st << " arrow " << i;
        }
    }
}

TEST_F(ArrowTest, ModeScreensStepOncePerClickAndRepeatOnlyWhenHeld)
{
    struct Row {
        Ms hold;
        int screens; // screens moved down from 135
    };
    const Row rows[] = {{0ms, 1},   {10ms, 1},  {100ms, 1},  {490ms, 1},  {499ms, 1},
                        {500ms, 2}, {740ms, 2}, {750ms, 3}, {1000ms, 4}, {1250ms, 5}};
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.hold.count()) + " ms");
        click(135, Down, r.hold);
        EXPECT_EQ(main.displayState, 135 + r.screens);
    }
}

TEST_F(ArrowTest, ModeNavigationStopsAtTheFirstAndLastScreens)
{
    struct Row {
        int from;
        int arrow;
        Ms hold;
        int to;
    };
    const Row rows[] = {
        {129, Up, 0ms, 129},    // up on the first screen does nothing
        {130, Up, 0ms, 129},
        {135, Up, 0ms, 134},
        {133, Up, 1500ms, 129}, // held: 132, 131, 130, 129, then no further
        {128, Up, 0ms, 128},
        {128, Down, 0ms, 129},
        {158, Down, 1500ms, 160}, // MODE on 160 keeps 160
        {160, Down, 0ms, 160},
        {135, Left, 1000ms, 135},
        {135, Right, 1000ms, 135},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.from) + " arrow " + std::to_string(r.arrow));
        click(r.from, r.arrow, r.hold);
        EXPECT_EQ(main.displayState, r.to);
    }
    EXPECT_TRUE(scan.started.empty());
}

TEST_F(ArrowTest, ArrowsDoNothingOnShipAndSatelliteScreensOrAntennaItems)
{
    const int states[] = {16, 17, 32, 38, 65, 68};
    for (const int st : states) {
        for (int i = Up; i <= Right; ++i) {
            SCOPED_TRACE(std::to_string(st) + " arrow " + std::to_string(i));
            main.text5 = {"a", "b", "c", "d"};
            click(st, i, 1000ms);
            EXPECT_EQ(main.displayState, st);
            EXPECT_EQ(main.text5, (Lines{"a", "b", "c", "d"}));
        }
    }
    EXPECT_TRUE(scan.started.empty());
}

TEST_F(ArrowTest, AntennaOverviewStartsTheScanInTheArrowsDirectionOnce)
{
    struct Row {
        int arrow;
        int direction;
    };
    const Row rows[] = {{Up, 0}, {Down, 2}, {Left, 3}, {Right, 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.arrow);
        scan.started.clear();
        main.displayState = 64;
        fp->cmdArrow_MouseDown(r.arrow);
        EXPECT_EQ(scan.started, std::vector<int>{r.direction}); // at once
        clock.advance(1s);
        EXPECT_EQ(scan.started, std::vector<int>{r.direction}); // running: left alone
        fp->cmdArrow_MouseUp(r.arrow);
    }
}

TEST_F(ArrowTest, HeldArrowStartsTheScanAgainWhenItIsNoLongerRunningThatWay)
{
    main.displayState = 64;
    fp->cmdArrow_MouseDown(Up);
    ASSERT_EQ(scan.started, std::vector<int>{0});
    clock.advance(100ms);
    scan.runningDirection = -1; // the scan stopped by itself
    clock.advance(10ms);
    EXPECT_EQ(scan.started, (std::vector<int>{0, 0}));
    scan.runningDirection = 1; // running the other way
    clock.advance(10ms);
    EXPECT_EQ(scan.started, (std::vector<int>{0, 0, 0}));
    fp->cmdArrow_MouseUp(Up);
    scan.runningDirection = -1;
    clock.advance(1s);
    EXPECT_EQ(scan.started.size(), 3u); // released: nothing more
}

TEST_F(ArrowTest, HeldArrowTellsTheWindowOfEachScreenItSteps)
{
    int changes = 0;
    fp->changed = [&] { ++changes; };
    main.displayState = 135;
    fp->cmdArrow_MouseDown(Down);
    EXPECT_EQ(main.displayState, 136);
    const int atPress = changes;
    EXPECT_GT(atPress, 0);
    clock.advance(490ms);
    EXPECT_EQ(changes, atPress); // nothing moved, nothing to redraw
    clock.advance(10ms);
    EXPECT_EQ(main.displayState, 137);
    EXPECT_GT(changes, atPress); // stepped by the timer, not by a window event
    fp->cmdArrow_MouseUp(Down);
}

// With the real scan: a click nudges the antenna once; a held arrow keeps it moving.
TEST_F(ArrowTest, AntennaMovesByNudgesWhileTheArrowIsHeld)
{
    main.elevation = 300; // 30.0 degrees
    main.azimuth = 1000;
    panel::PatternScan real(shared, main, clock);
    fp->setScan(&real);
    auto elevationTargets = [this](size_t from) {
        std::vector<std::string> out;
        for (const auto& w : sentFrom(from))
            if (!w.empty() && w[0] == 'E')
                out.push_back(w);
        return out;
    };

    main.displayState = 64;
    size_t first = journal.writes.size();
    fp->cmdArrow_MouseDown(Up);
    EXPECT_EQ(real.scanRate, 0.1);
    EXPECT_EQ(real.stopDegrees, 0.3);
    EXPECT_EQ(real.rateMs, 600);
    fp->cmdArrow_MouseUp(Up);
    clock.advance(10s);
    EXPECT_FALSE(real.running());
    // 11 units a step, four targets before the fifth tick stops the nudge.
    EXPECT_EQ(real.elevation(), 300 * 18 + 4 * 11);
    EXPECT_EQ(elevationTargets(first), (std::vector<std::string>{"E0301\r\n", "E0301\r\n", "E0302\r\n", "E0302\r\n"}));

    // Held for six seconds: two nudges, each from where the antenna is.
    main.elevation = 302;
    first = journal.writes.size();
    fp->cmdArrow_MouseDown(Up);
    clock.advance(6s);
    fp->cmdArrow_MouseUp(Up);
    clock.advance(10s);
    EXPECT_EQ(real.elevation(), 302 * 18 + 8 * 11);
    EXPECT_EQ(elevationTargets(first).size(), 8u);
    fp->setScan(nullptr);
}

} // namespace
} // namespace fptest
