// The whole panel logic (link, decoder, indicators, front panel) against the simulated ACU over
// a real pseudo-terminal and loopback TCP: keys pressed, every screen stepped through, values
// typed, and both the bytes that crossed and the display lines after the next poll checked.
#include "SimBench.h"

#include <gtest/gtest.h>

using namespace integ;
using common::Ms;

namespace {

class FrontPanelOverLink : public ::testing::TestWithParam<SimBench::Kind> {
protected:
    void SetUp() override
    {
        b = std::make_unique<SimBench>(GetParam());
        b->model.device().setShipMotion(false); // calm sea: readings repeat exactly
        b->link->Startup();
        b->clock.advance(Ms{2000});
        ASSERT_TRUE(b->shared.open);
    }
    panel::FrontPanel& fp() { return b->core->front; }
    const std::array<std::string, 4>& lines() const { return b->main.text5; }
    int state() const { return b->main.displayState; }
    // Enough ticks for the screen's poll sequence to run through twice.
    void poll() { b->clock.advance(Ms{700 + 200 * 2 * int(b->main.poll.size())}); }
    void type(const std::string& text)
    {
        for (unsigned char c : text)
            fp().Text5_KeyPress(c);
        fp().Text5_KeyPress(panel::FrontPanel::kEnter);
    }
    // The bytes that crossed since the mark, for checking what a typed value sent.
    size_t mark() const { return b->crossed.size(); }
    std::string since(size_t m) const { return b->crossed.substr(m); }

    std::unique_ptr<SimBench> b;
};

} // namespace

TEST_P(FrontPanelOverLink, EveryScreenOfEveryFamilyPollsAndDecodesCleanly)
{
    struct Family {
        void (panel::FrontPanel::*key)();
        std::vector<int> states; // the states a press leads to, in order
    };
    const Family families[] = {
        {&panel::FrontPanel::cmdSHIP_Click, {16, 17, 18, 19, 16}},
        {&panel::FrontPanel::cmdSAT_Click, {32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 32}},
        {&panel::FrontPanel::cmdANT_Click, {64, 65, 66, 67, 68, 64}},
    };
    for (const auto& f : families) {
        for (int expected : f.states) {
            (fp().*f.key)();
            ASSERT_EQ(state(), expected);
            const size_t m = mark();
            poll();
            ASSERT_FALSE(b->stalled);
            EXPECT_FALSE(since(m).empty()) << "screen " << expected << " polls";
            EXPECT_EQ(b->main.status[1], "Status: Port Open") << "screen " << expected;
        }
    }
    // MODE: the overview, then every screen up to 160, where it stays.
    fp().cmdMODE_Click();
    ASSERT_EQ(state(), 128);
    for (int expected = 129; expected <= 161; ++expected) {
        fp().cmdMODE_Click();
        ASSERT_EQ(state(), std::min(expected, 160));
        const size_t m = mark();
        poll();
        ASSERT_FALSE(b->stalled);
        EXPECT_FALSE(since(m).empty()) << "screen " << state() << " polls";
        EXPECT_EQ(b->main.status[1], "Status: Port Open") << "screen " << state();
        if (state() == 129) {
            EXPECT_NE(lines()[2].find("VER"), std::string::npos) << lines()[2];
        }
        if (state() == 130) {
            EXPECT_FALSE(lines()[2].empty());
        }
        // MODE screens carrying a byte code send it as that single byte.
        if (state() == 151) {
            EXPECT_NE(since(m).find(std::string("m") + char(129) + "999\r\n"), std::string::npos);
        }
    }
}

TEST_P(FrontPanelOverLink, TypedValuesReachTheAcuAndComeBackOnTheNextPoll)
{
    // Heading on the SHIP heading item.
    fp().cmdSHIP_Click();
    for (int i = 0; i < 3; ++i)
        fp().cmdSHIP_Click();
    ASSERT_EQ(state(), 19);
    size_t m = mark();
    type("123.4");
    b->clock.advance(Ms{1000});
    EXPECT_NE(since(m).find("B1234\r\n"), std::string::npos) << since(m);
    fp().cmdSHIP_Click(); // back to the overview
    poll();
    EXPECT_EQ(lines()[2], "HDG 123.4");

    // Threshold on the SATELLITE threshold item: two commands, high and low byte.
    fp().MenuSelect(33);
    ASSERT_EQ(state(), 34);
    m = mark();
    type("600");
    b->clock.advance(Ms{1500});
    EXPECT_NE(since(m).find("mo002\r\nmp088\r\n"), std::string::npos) << since(m);
    for (int i = 0; i < 12 && state() != 32; ++i) // on through the items to the overview
        fp().cmdSAT_Click();
    ASSERT_EQ(state(), 32);
    poll();
    EXPECT_EQ(lines()[1], "THRS 600") << lines()[1];

    // System Type on its MODE screen, read back into the menu caption and the ticks.
    fp().MenuSelect(143);
    ASSERT_EQ(state(), 144);
    m = mark();
    type("67");
    b->clock.advance(Ms{1000});
    EXPECT_NE(since(m).find("mN067\r\n"), std::string::npos) << since(m);
    poll();
    EXPECT_EQ(b->model.device().parameter('N'), 67);
    EXPECT_EQ(b->main.systemTypeCaption, "System Type    067");
    EXPECT_TRUE(b->core->indicators.sysChecked()[1]);

    // A negative El Trim goes out in two's complement and shows signed.
    fp().MenuSelect(132);
    ASSERT_EQ(state(), 133);
    m = mark();
    type("-1");
    b->clock.advance(Ms{1500});
    EXPECT_NE(since(m).find("mA255\r\nmB255\r\n"), std::string::npos) << since(m);
    // The entry leaves the item redrawing for 16 replies: the read-back of both bytes shows.
    b->clock.advance(Ms{200 * 10});
    EXPECT_EQ(b->model.device().parameter('A'), 255);
    EXPECT_EQ(b->model.device().parameter('B'), 255);
    EXPECT_EQ(lines()[2], "El Trim       -001") << lines()[2];

    // Elevation on the ANTENNA elevation item: the antenna slews there at a finite rate.
    fp().cmdANT_Click();
    fp().cmdANT_Click();
    fp().cmdANT_Click();
    ASSERT_EQ(state(), 66);
    m = mark();
    type("45.5");
    b->clock.advance(Ms{1000});
    EXPECT_NE(since(m).find("E0455\r\n"), std::string::npos) << since(m);
    fp().cmdANT_Click();
    fp().cmdANT_Click();
    fp().cmdANT_Click(); // 67, 68, 64
    ASSERT_EQ(state(), 64);
    b->clock.advance(Ms{30000});
    EXPECT_EQ(lines()[1], "EL  45.5");
    EXPECT_FALSE(b->stalled);
}

TEST_P(FrontPanelOverLink, TrackingKeyStopsAndStartsTrackingOnTheAcu)
{
    for (int i = 0; i < 6 && state() != 64; ++i)
        fp().cmdANT_Click();
    ASSERT_EQ(state(), 64);
    poll();
    ASSERT_EQ(b->main.tracking, 8) << "the simulated ACU starts on target, tracking";
    size_t m = mark();
    fp().cmdTrack_Click();
    b->clock.advance(Ms{400});
    EXPECT_EQ(since(m).substr(0, 1), "D");
    poll();
    EXPECT_EQ(b->main.tracking, 0);
    EXPECT_FALSE(b->main.lamps[0].lit());
    m = mark();
    fp().cmdTrack_Click();
    poll();
    EXPECT_NE(since(m).find('C'), std::string::npos);
    EXPECT_EQ(b->main.tracking, 8);
}

INSTANTIATE_TEST_SUITE_P(Links, FrontPanelOverLink, ::testing::Values(SimBench::Kind::Pty, SimBench::Kind::Tcp),
                         [](const auto& info) { return info.param == SimBench::Kind::Pty ? "Pty" : "Tcp"; });
