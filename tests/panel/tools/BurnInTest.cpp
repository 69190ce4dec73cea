// The burn-in exercise on virtual time: when each half of each position goes into the typed-text
// queue, the log with its dots, the round of eight positions, Stop and Continue, the interval
// rule.
#include "panel/tools/BurnIn.h"

#include "common/Clock.h"
#include "panel/core/PanelState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using common::Ms;
using panel::BurnIn;

struct Sent {
    Ms at;
    std::string text;
    bool operator==(const Sent&) const = default;
};

class BurnInTest : public ::testing::Test {
protected:
    BurnInTest()
    {
        // Standing in for the scheduler: each text queued is taken off the queue and noted.
        burn.changed = [this] {
            if (!shared.typed.empty()) {
                sent.push_back({clock.now(), shared.typed});
                shared.typed.clear();
            }
        };
    }
    void start(const std::string& interval)
    {
        burn.Text2_Change(interval);
        ASSERT_EQ(burn.Command1_Click(), "");
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> t;
        for (const auto& s : sent)
            t.push_back(s.text);
        return t;
    }

    common::VirtualClock clock;
    panel::PanelShared shared;
    BurnIn burn{shared, clock};
    std::vector<Sent> sent;
};

TEST_F(BurnInTest, FirstPairOnTheFirstTickThenAPositionEveryInterval)
{
    start("60");
    EXPECT_EQ(burn.countdownText(), "0");
    clock.advance(1s);
    EXPECT_EQ(burn.text1, "     A0000");
    EXPECT_EQ(burn.countdownText(), "60");
    clock.advance(121s);
    const std::vector<Sent> expected = {
        {1000ms, "A0000\r\n"},  {2000ms, "E0150\r\n"},  {61000ms, "A1350\r\n"},
        {62000ms, "E0450\r\n"}, {121000ms, "A0750\r\n"}, {122000ms, "E0150\r\n"},
    };
    EXPECT_EQ(sent, expected);
    const std::string dots30(30, '.');
    EXPECT_EQ(burn.text1, "     A0000E0150" + dots30 + "\r\n     A1350E0450" + dots30 + "\r\n     A0750E0150.");
    EXPECT_EQ(burn.countdownText(), "59");
}

TEST_F(BurnInTest, DotPeriodFromTheInterval)
{
    struct Row {
        int interval, period;
    };
    // floor(interval / 30 + 0.9)
    const Row rows[] = {{2, 0}, {3, 1}, {30, 1}, {60, 2}, {62, 2}, {63, 3}, {92, 3}, {93, 4}, {120, 4}, {86400, 2880}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.interval);
        EXPECT_EQ(BurnIn::DotPeriod(r.interval), r.period);
    }
    // A period of 0 dots on every tick.
    start("2");
    clock.advance(5s);
    EXPECT_EQ(burn.text1, "     A0000E0150..\r\n     A1350E0450..\r\n     A0750");
}

TEST_F(BurnInTest, AfterTheEighthPairTheRoundStartsAgain)
{
    start("2");
    clock.advance(18s); // nine positions, one every 2 s from 1 s on, and the last elevation
    std::vector<std::string> expected;
    for (const char* c : BurnIn::kCommands)
        expected.push_back(std::string(c) + "\r\n");
    expected.push_back("A0000\r\n");
    expected.push_back("E0150\r\n");
    EXPECT_EQ(texts(), expected);
    EXPECT_EQ(burn.tableIndex(), 2);
}

TEST_F(BurnInTest, StopHoldsTheCountdownsAndContinueGoesOnFromThem)
{
    start("60");
    clock.advance(10s);
    burn.Command2_Click();
    EXPECT_FALSE(burn.running());
    const int move = burn.moveCountdown(), dot = burn.dotCountdown();
    const std::string log = burn.text1;
    clock.advance(300s);
    EXPECT_EQ(burn.moveCountdown(), move);
    EXPECT_EQ(burn.dotCountdown(), dot);
    EXPECT_EQ(burn.text1, log);
    EXPECT_EQ(sent.size(), 2u);

    burn.Command3_Click();
    EXPECT_TRUE(burn.running());
    clock.advance(Ms{(move - 1) * 1000});
    EXPECT_EQ(sent.size(), 2u);
    clock.advance(1s);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent.back(), (Sent{310000ms + Ms{move * 1000}, "A1350\r\n"}));
}

TEST_F(BurnInTest, ContinueNeedsAStartFirst)
{
    EXPECT_FALSE(burn.continueEnabled());
    burn.Command3_Click();
    EXPECT_FALSE(burn.running());
    clock.advance(5s);
    EXPECT_TRUE(sent.empty());
}

TEST_F(BurnInTest, TheStoredIntervalIsTakenAtStartUntilAKeyClearsIt)
{
    start("60");
    EXPECT_EQ(burn.interval(), 60);
    burn.text2 = "2"; // the text changed without a key typed: the stored interval stays
    ASSERT_EQ(burn.Command1_Click(), "");
    EXPECT_EQ(burn.interval(), 60);
    burn.Text2_Change("2");
    EXPECT_EQ(burn.interval(), std::nullopt);
    ASSERT_EQ(burn.Command1_Click(), "");
    EXPECT_EQ(burn.interval(), 2);
    clock.advance(3s);
    EXPECT_EQ(texts(), (std::vector<std::string>{"A0000\r\n", "E0150\r\n", "A1350\r\n"}));
}

TEST_F(BurnInTest, AnIntervalThatIsNotAWholeNumberOfSecondsStartsNothing)
{
    struct Row {
        const char* text;
        std::optional<int> interval;
    };
    const Row rows[] = {
        {"60", 60}, {" 2 ", 2}, {"86400", 86400},
        {"", std::nullopt}, {"abc", std::nullopt}, {"1", std::nullopt}, {"0", std::nullopt},
        {"-5", std::nullopt}, {"2.5", std::nullopt}, {"86401", std::nullopt}, {"99999999999", std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(BurnIn::ParseInterval(r.text), r.interval);
    }
    burn.Text2_Change("abc");
    EXPECT_EQ(burn.Command1_Click(), BurnIn::kBadInterval);
    EXPECT_FALSE(burn.running());
    EXPECT_FALSE(burn.continueEnabled());
    clock.advance(5s);
    EXPECT_TRUE(sent.empty());
}

TEST_F(BurnInTest, TheTickInTheSecondBetweenTheHalvesDoesNotStack)
{
    start("2");
    clock.advance(1s);
    ASSERT_TRUE(burn.elevationPending());
    // The tick at 2 s and the elevation half fall due together; the half goes once, first.
    clock.advance(1s);
    EXPECT_FALSE(burn.elevationPending());
    EXPECT_EQ(sent, (std::vector<Sent>{{1000ms, "A0000\r\n"}, {2000ms, "E0150\r\n"}}));
    EXPECT_EQ(burn.text1, "     A0000E0150.");
    EXPECT_EQ(burn.countdownText(), "1");
    clock.advance(10s);
    EXPECT_EQ(sent.size(), 12u) << "one half a second, never two at once";
    for (size_t i = 1; i < sent.size(); ++i)
        EXPECT_EQ(sent[i].at - sent[i - 1].at, 1000ms) << i;
}

TEST_F(BurnInTest, StopInTheSecondBetweenTheHalvesStillSendsTheElevation)
{
    start("60");
    clock.advance(1500ms);
    burn.Command2_Click();
    clock.advance(10s);
    EXPECT_EQ(sent, (std::vector<Sent>{{1000ms, "A0000\r\n"}, {2000ms, "E0150\r\n"}}));

    burn.Command3_Click();
    clock.advance(60s); // 71.5 s: the second position's azimuth
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent.back(), (Sent{71500ms, "A1350\r\n"}));

    // A Start in the second between the halves begins the round afresh: the old half is dropped.
    clock.advance(500ms);
    ASSERT_EQ(burn.Command1_Click(), "");
    clock.advance(2500ms);
    EXPECT_EQ(texts(), (std::vector<std::string>{"A0000\r\n", "E0150\r\n", "A1350\r\n", "A0000\r\n", "E0150\r\n"}));
    EXPECT_EQ(burn.text1, "     A0000E0150.");
}

} // namespace
