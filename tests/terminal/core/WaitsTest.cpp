// The waits every long sequence uses (Pause, TxSettle, WaitForReply, AwaitReply), on virtual
// time; the abort flag ending them; the MSwait calibration; the one-sequence guard.
#include "TerminalFixture.h"

#include <gtest/gtest.h>

#include <functional>

using common::Ms;
using termtest::TerminalFixture;

namespace {

// Runs fn at virtual time `at` while the terminal waits.
struct At {
    At(common::Clock& clock, Ms at, std::function<void()> fn) : timer(clock.createTimer())
    {
        timer->setInterval(at);
        timer->onTick = [this, fn = std::move(fn)] {
            timer->setEnabled(false);
            fn();
        };
        timer->setEnabled(true);
    }
    std::unique_ptr<common::Timer> timer;
};

} // namespace

// ---------------------------------------------------------------- Pause and TxSettle

TEST(TerminalWaits, PauseWaitsItsTimeOnTheClock)
{
    for (const int ms : {0, 10, 200, 1500, 104000}) {
        SCOPED_TRACE(ms);
        TerminalFixture f;
        f.t.Pause(Ms{ms});
        EXPECT_EQ(f.clock.now(), Ms{ms});
    }
}

TEST(TerminalWaits, TxSettleWaitsForTheOutputToLeaveThenItsDelay)
{
    struct Case {
        const char* name;
        std::optional<Ms> drainedAt;
        int n;
        Ms endsAt;
    };
    const Case cases[] = {
        {"already drained", Ms{0}, 10, Ms{10}},
        {"drains after 300 ms", Ms{300}, 10, Ms{310}},
        {"drains after 1 s, long delay", Ms{1000}, 600, Ms{1600}},
        {"never drains: bounded", std::nullopt, 50, term::kDrainBound + Ms{50}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.openSerial();
        f.link->drainedAt = c.drainedAt;
        f.t.CommOut("[L\r\n");
        f.t.TxSettle(c.n);
        EXPECT_EQ(f.clock.now(), c.endsAt);
    }
}

// The line's own time: characters x bits per character / baud, counted from when the line is
// free, so bytes written back to back queue behind each other; then the driver is asked.
TEST(TerminalWaits, TxSettleSleepsForTheLinesOwnTimeFirst)
{
    TerminalFixture f;
    f.openSerial();
    f.link->charTime = std::chrono::microseconds{1042}; // 10 bits at 9600 baud
    f.t.CommOut("mA001\r\n"); // 7 characters: 7.3 ms on the line
    f.t.TxSettle(6);
    EXPECT_EQ(f.clock.now(), Ms{7 + 6});

    const Ms start = f.clock.now();
    f.t.CommOut(std::string(96, 'U')); // 100 ms on the line
    f.t.CommOut(std::string(96, 'U')); // queued behind the first
    f.clock.advance(Ms{50});
    f.t.TxSettle(0);
    EXPECT_EQ(f.clock.now() - start, Ms{200});

    // The driver still holds bytes when the arithmetic says they are gone: asked again until
    // it agrees.
    f.link->drainedAt = f.clock.now() + Ms{25};
    f.t.CommOut("x");
    f.t.TxSettle(0);
    EXPECT_EQ(f.clock.now(), *f.link->drainedAt);
}

// The floor the upload benchmark measures against: pauses and settles in sequence, the line's
// time only where a settle waits for it (a pause runs while the line sends), answers at once.
TEST(TerminalWaits, TheFloorCountsWhatTheWaitsAndTheLinePrescribe)
{
    TerminalFixture f;
    f.openSerial();
    f.link->charTime = std::chrono::microseconds{1000};
    f.t.resetFloor();
    f.t.CommOut(std::string(7, 'x')); // 7 ms on the line
    f.t.TxSettle(6);                  // after the line: 13
    f.t.CommOut(std::string(50, 'x')); // 50 ms on the line, from 13
    f.t.Pause(Ms{20});                 // runs while the line sends: 33, line free at 63
    EXPECT_DOUBLE_EQ(f.t.floorMs(), 33.0) << "line time nothing waits for is not in the floor";
    f.t.TxSettle(15);                  // waits for the line: 63 + 15
    f.t.WaitForReply();                // an answer counts as coming at once
    EXPECT_DOUBLE_EQ(f.t.floorMs(), 78.0);
    f.t.resetFloor();
    EXPECT_DOUBLE_EQ(f.t.floorMs(), 0.0);
}

TEST(TerminalWaits, TxSettleWithTheLinkClosedOnlyDelays)
{
    TerminalFixture f;
    f.t.TxSettle(25);
    EXPECT_EQ(f.clock.now(), Ms{25});
}

// ---------------------------------------------------------------- replies

TEST(TerminalWaits, WaitForReplyEndsWhenTextIsCollected)
{
    struct Case {
        const char* name;
        std::optional<Ms> replyAt;
        bool got;
        Ms endsAt;
    };
    const Case cases[] = {
        {"reply after 300 ms", Ms{300}, true, Ms{300}},
        {"reply just in time", Ms{1990}, true, Ms{1990}},
        {"no reply", std::nullopt, false, Ms{2000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.openSerial();
        f.t.collect = true;
        std::unique_ptr<At> reply;
        if (c.replyAt)
            reply = std::make_unique<At>(f.clock, *c.replyAt, [&] { f.link->receive("Ver 2.1\r"); });
        EXPECT_EQ(f.t.WaitForReply(), c.got);
        EXPECT_EQ(f.clock.now(), c.endsAt);
        EXPECT_EQ(f.t.replyBuffer, c.got ? "Ver 2.1\r" : "");
        EXPECT_EQ(f.t.screen.text(), c.got ? "Ver 2.1\r" : "");
    }
}

TEST(TerminalWaits, AwaitReplyTimesOutWithQuestionMarksThenWaitsThePacing)
{
    struct Case {
        const char* name;
        std::optional<Ms> replyAt;
        int pacing;
        std::string reply;
        std::string screen;
        Ms endsAt;
    };
    const Case cases[] = {
        {"reply after 400 ms, pacing 200", Ms{400}, 200, "A12\r", "A12\r", Ms{600}},
        {"reply, pacing 1000", Ms{50}, 1000, "A12\r", "A12\r", Ms{1050}},
        {"no reply, pacing 200", std::nullopt, 200, "??", "Command Timed Out No Response\r\n", Ms{2200}},
        {"no reply, pacing 0", std::nullopt, 0, "??", "Command Timed Out No Response\r\n", Ms{2000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.openSerial();
        f.t.collect = true;
        f.t.pacingMs = c.pacing;
        std::unique_ptr<At> reply;
        if (c.replyAt)
            reply = std::make_unique<At>(f.clock, *c.replyAt, [&] { f.link->receive("A12\r"); });
        EXPECT_EQ(f.t.AwaitReply(), c.reply);
        EXPECT_EQ(f.t.replyBuffer, c.reply);
        EXPECT_EQ(f.t.screen.text(), c.screen);
        EXPECT_EQ(f.clock.now(), c.endsAt);
    }
}

TEST(TerminalWaits, WithALogOpenAwaitReplyHearsNothing)
{
    TerminalFixture f;
    f.openSerial();
    f.t.collect = true;
    f.t.logOpen = true;
    f.t.logWrite = [](const std::string&) { return true; };
    At reply(f.clock, Ms{100}, [&] { f.link->receive("A12\r"); });
    EXPECT_EQ(f.t.AwaitReply(), "??");
    EXPECT_EQ(f.t.screen.text(), "A12\rCommand Timed Out No Response\r\n");
}

// ---------------------------------------------------------------- abort

TEST(TerminalWaits, EveryWaitEndsEarlyWhenTheAbortFlagIsSet)
{
    struct Case {
        const char* name;
        std::function<void(term::Terminal&)> wait;
    };
    const Case cases[] = {
        {"Pause", [](term::Terminal& t) { t.Pause(Ms{60000}); }},
        {"TxSettle waiting for the drain", [](term::Terminal& t) { t.TxSettle(10); }},
        {"TxSettle delay", [](term::Terminal& t) { t.TxSettle(60000); }},
        {"WaitForReply", [](term::Terminal& t) { t.WaitForReply(); }},
        {"AwaitReply", [](term::Terminal& t) { t.AwaitReply(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.openSerial();
        f.t.collect = true;
        f.link->drainedAt = std::string(c.name) == "TxSettle waiting for the drain" ? std::nullopt : std::optional<Ms>(Ms{0});
        At cancel(f.clock, Ms{300}, [&] { f.t.abortFlag = 1; });
        c.wait(f.t);
        EXPECT_EQ(f.clock.now(), Ms{300});
        // An aborted reply wait does not claim a time-out on the screen.
        EXPECT_EQ(f.t.screen.text(), "");

        // With the flag already set, a wait does not begin at all.
        const Ms before = f.clock.now();
        c.wait(f.t);
        EXPECT_EQ(f.clock.now(), before);
    }
}

TEST(TerminalWaits, SendingOnAClosedPortStopsTheNextWait)
{
    TerminalFixture f;
    f.t.CommOut("?    \r\n");
    f.t.AwaitReply();
    EXPECT_EQ(f.clock.now(), Ms{0});
    EXPECT_EQ(f.t.abortFlag, 2);
}

// ---------------------------------------------------------------- MSwait

namespace {
// A clock that moves on by 1 ms every `readsPerMs` reads, like a real clock read in a loop.
class CountingClock : public common::VirtualClock {
public:
    explicit CountingClock(long readsPerMs) : per_(readsPerMs) {}
    Ms now() const override { return VirtualClock::now() + Ms{reads_++ / per_}; }

private:
    long per_;
    mutable long reads_ = 0;
};
} // namespace

TEST(TerminalWaits, MSwaitIsTwiceThePassesPerMillisecondRoundedHalfToEven)
{
    // Reads per millisecond k: the loop ends at the read that shows 501 ms, pass n = 501 k,
    // so MSwait = 2 n / 0.501 / 1000 + 0.5 = 2 k + 0.5, which rounds to the even 2 k.
    // Past a million passes the loop stops early and the time it reached decides.
    struct Case {
        long readsPerMs;
        int mswait;
    };
    const Case cases[] = {{1, 2}, {3, 6}, {10, 20}, {250, 500}, {5000, 10000}, {100000, 32767}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.readsPerMs);
        CountingClock clock(c.readsPerMs);
        termtest::FakeTerminalUi ui(clock);
        term::Terminal t(clock, ui, nullptr);
        t.CalibrateMSwait();
        EXPECT_EQ(t.MSwait, c.mswait);
    }
}

TEST(TerminalWaits, MSwaitIsAtLeastOneOnAClockThatStandsStill)
{
    TerminalFixture f;
    f.t.MSwait = 0;
    f.t.CalibrateMSwait();
    EXPECT_EQ(f.t.MSwait, 1);
    EXPECT_EQ(f.clock.now(), Ms{0});
}

// ---------------------------------------------------------------- one sequence at a time

TEST(TerminalSequence, OnlyOneLongSequenceRunsAtATime)
{
    TerminalFixture f;
    int ended = 0;
    f.t.onSequenceEnded = [&] { ++ended; };
    f.t.abortFlag = 2; // left over from an earlier sequence
    {
        term::Terminal::Sequence outer(f.t);
        ASSERT_TRUE(outer.started());
        EXPECT_TRUE(f.t.sequenceRunning());
        EXPECT_EQ(f.t.abortFlag, 0);
        f.t.abortFlag = 1;
        {
            // Started from a wait inside the first (a button pressed meanwhile): refused, and it
            // changes nothing of the running one.
            term::Terminal::Sequence inner(f.t);
            EXPECT_FALSE(inner.started());
            EXPECT_EQ(f.t.abortFlag, 1);
        }
        EXPECT_TRUE(f.t.sequenceRunning());
        EXPECT_EQ(ended, 0);
    }
    EXPECT_FALSE(f.t.sequenceRunning());
    EXPECT_EQ(ended, 1);
    term::Terminal::Sequence next(f.t);
    EXPECT_TRUE(next.started());
}

TEST(TerminalSequence, ASecondSequenceStartedDuringAWaitIsRefused)
{
    TerminalFixture f;
    f.openSerial();
    std::vector<bool> started;
    At press(f.clock, Ms{500}, [&] {
        term::Terminal::Sequence second(f.t);
        started.push_back(second.started());
        if (second.started())
            f.t.CommOut("second");
    });
    {
        term::Terminal::Sequence first(f.t);
        started.push_back(first.started());
        f.t.CommOut("first");
        f.t.Pause(Ms{1000});
    }
    EXPECT_EQ(started, (std::vector<bool>{true, false}));
    EXPECT_EQ(f.link->writes, std::vector<std::string>{"first"});
}
