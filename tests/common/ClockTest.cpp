// The virtual clock the tests run on, and the Qt clock the programs run on.
#include "TestSupport.h"

#include "common/Clock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

using common::Ms;
using common::QtClock;
using common::Timer;
using common::VirtualClock;
using namespace std::chrono_literals;

namespace {

struct Fired {
    char name;
    long long at;
    bool operator==(const Fired&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Fired& f) { return o << f.name << '@' << f.at; }

} // namespace

TEST(VirtualClock, TimersFireInDeadlineOrderTiesInCreationOrder)
{
    VirtualClock clock;
    std::vector<Fired> log;
    auto make = [&](char name, Ms interval) {
        auto t = clock.createTimer();
        t->setInterval(interval);
        t->onTick = [&log, &clock, name] { log.push_back({name, clock.now().count()}); };
        return t;
    };
    auto a = make('A', 30ms);
    auto b = make('B', 10ms);
    auto c = make('C', 20ms);
    // Enabling order does not matter; creation order breaks ties.
    c->setEnabled(true);
    b->setEnabled(true);
    a->setEnabled(true);

    clock.advance(60ms);
    const std::vector<Fired> expected = {{'B', 10}, {'B', 20}, {'C', 20}, {'A', 30}, {'B', 30}, {'B', 40},
                                         {'C', 40}, {'B', 50}, {'A', 60}, {'B', 60}, {'C', 60}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(clock.now(), 60ms);
}

TEST(VirtualClock, IntervalChangesAndRestartsCountFromNow)
{
    struct Case {
        const char* what;
        std::function<void(Timer&)> at70; // applied at t = 70 ms to a 100 ms timer enabled at 0
        long long firstTick;
    };
    const std::vector<Case> cases = {
        {"untouched", [](Timer&) {}, 100},
        {"same interval set again", [](Timer& t) { t.setInterval(100ms); }, 170},
        {"shorter interval", [](Timer& t) { t.setInterval(50ms); }, 120},
        {"longer interval", [](Timer& t) { t.setInterval(200ms); }, 270},
        {"restart", [](Timer& t) { t.restart(); }, 170},
        {"enabling an enabled timer", [](Timer& t) { t.setEnabled(true); }, 100},
        {"disable then enable", [](Timer& t) { t.setEnabled(false); t.setEnabled(true); }, 170},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualClock clock;
        auto t = clock.createTimer();
        std::vector<long long> ticks;
        t->onTick = [&] { ticks.push_back(clock.now().count()); };
        t->setInterval(100ms);
        t->setEnabled(true);
        clock.advance(70ms);
        c.at70(*t);
        clock.advance(400ms);
        ASSERT_FALSE(ticks.empty());
        EXPECT_EQ(ticks.front(), c.firstTick);
        if (ticks.size() > 1) { // later ticks keep the interval
            EXPECT_EQ(ticks[1] - ticks[0], t->interval().count());
        }
    }
}

TEST(VirtualClock, IntervalSetWhileDisabledCountsFromEnabling)
{
    VirtualClock clock;
    auto t = clock.createTimer();
    std::vector<long long> ticks;
    t->onTick = [&] { ticks.push_back(clock.now().count()); };
    t->setInterval(50ms);
    clock.advance(500ms);
    EXPECT_TRUE(ticks.empty());
    EXPECT_FALSE(t->enabled());
    t->setEnabled(true);
    clock.advance(120ms);
    EXPECT_EQ(ticks, (std::vector<long long>{550, 600}));
}

TEST(VirtualClock, TimerDisabledInsideItsOwnTickStops)
{
    VirtualClock clock;
    auto t = clock.createTimer();
    int ticks = 0;
    t->setInterval(25ms);
    t->onTick = [&] {
        ++ticks;
        t->setEnabled(false);
    };
    t->setEnabled(true);
    clock.advance(1000ms);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(t->enabled());

    // Re-armed inside its own tick it counts from that tick.
    std::vector<long long> at;
    t->onTick = [&] {
        at.push_back(clock.now().count());
        t->setEnabled(false);
        t->setInterval(10ms);
        t->setEnabled(true);
    };
    t->setInterval(25ms);
    t->setEnabled(true); // at 1000
    clock.advance(50ms);
    EXPECT_EQ(at, (std::vector<long long>{1025, 1035, 1045}));
}

TEST(VirtualClock, TimerDestroyedInsideAnotherTimersTickIsNotFired)
{
    VirtualClock clock;
    auto killer = clock.createTimer();
    auto victim = clock.createTimer(); // created later: on a tie the killer goes first
    auto late = clock.createTimer();
    int victimTicks = 0, killerTicks = 0, lateTicks = 0;
    killer->setInterval(10ms);
    victim->setInterval(10ms);
    late->setInterval(5ms);
    killer->onTick = [&] {
        ++killerTicks;
        victim.reset();
    };
    victim->onTick = [&] { ++victimTicks; };
    late->onTick = [&] { ++lateTicks; };
    killer->setEnabled(true);
    victim->setEnabled(true);
    late->setEnabled(true);
    clock.advance(30ms);
    EXPECT_EQ(victimTicks, 0);
    EXPECT_EQ(killerTicks, 3);
    EXPECT_EQ(lateTicks, 6); // the others keep running
}

TEST(VirtualClock, TimerCreatedInsideATickRunsOnTheSameClock)
{
    VirtualClock clock;
    auto outer = clock.createTimer();
    std::unique_ptr<Timer> inner;
    std::vector<long long> innerTicks;
    outer->setInterval(100ms);
    outer->onTick = [&] {
        outer->setEnabled(false);
        inner = clock.createTimer();
        inner->setInterval(7ms);
        inner->onTick = [&] { innerTicks.push_back(clock.now().count()); };
        inner->setEnabled(true);
    };
    outer->setEnabled(true);
    clock.advance(115ms);
    EXPECT_EQ(innerTicks, (std::vector<long long>{107, 114}));
}

TEST(VirtualClock, WaitUntilStopsWhenATimerMakesTheConditionTrue)
{
    // A 3 ms pacing timer; the wait must end on the tick that satisfies it, without running
    // further ticks (each of which could send another command).
    VirtualClock clock;
    auto t = clock.createTimer();
    int ticks = 0;
    t->setInterval(3ms);
    t->onTick = [&] { ++ticks; };
    t->setEnabled(true);
    EXPECT_TRUE(clock.waitUntil([&] { return ticks >= 2; }, 1000ms));
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(clock.now(), 6ms);

    // The same with a slow timer far beyond the wait step.
    VirtualClock clock2;
    auto slow = clock2.createTimer();
    bool reply = false;
    slow->setInterval(1234ms);
    slow->onTick = [&] { reply = true; };
    slow->setEnabled(true);
    EXPECT_TRUE(clock2.waitUntil([&] { return reply; }, 2000ms));
    EXPECT_EQ(clock2.now(), 1234ms);
}

TEST(VirtualClock, WaitUntilTimesOutAfterExactlyTheTimeout)
{
    VirtualClock clock;
    clock.advance(5ms);
    auto t = clock.createTimer();
    int ticks = 0;
    t->setInterval(100ms);
    t->onTick = [&] { ++ticks; };
    t->setEnabled(true);
    EXPECT_FALSE(clock.waitUntil([] { return false; }, 1234ms));
    EXPECT_EQ(clock.now(), 1239ms);
    EXPECT_EQ(ticks, 12); // timers keep running during the wait

    // A condition already true returns at once.
    EXPECT_TRUE(clock.waitUntil([] { return true; }, 500ms));
    EXPECT_EQ(clock.now(), 1239ms);

    // A 104-second deadline costs no real time.
    QElapsedTimer real;
    real.start();
    clock.wait(104000ms);
    EXPECT_EQ(clock.now(), 105239ms);
    EXPECT_LT(real.elapsed(), 5000);
}

TEST(VirtualClock, PumpRunsDuringWaits)
{
    VirtualClock clock;
    int pumped = 0;
    clock.pump = [&] { ++pumped; };
    EXPECT_TRUE(clock.waitUntil([&] { return pumped >= 3; }, 1000ms));
    EXPECT_LT(clock.now(), 1000ms);
}

TEST(QtClock, WaitUntilSeesAConditionSetByAQtTimer)
{
    QtClock clock;
    bool done = false;
    QTimer::singleShot(20, [&] { done = true; });
    QElapsedTimer real;
    real.start();
    EXPECT_TRUE(clock.waitUntil([&] { return done; }, 5000ms));
    EXPECT_LT(real.elapsed(), 4000);
    EXPECT_GE(clock.now().count(), 0);
}

TEST(QtClock, WaitUntilGivesUpAtTheTimeout)
{
    QtClock clock;
    const Ms start = clock.now();
    EXPECT_FALSE(clock.waitUntil([] { return false; }, 60ms));
    const Ms waited = clock.now() - start;
    EXPECT_GE(waited, 60ms);
    EXPECT_LT(waited, 3000ms);
}

// A wait sleeps until its deadline or an event: with nothing happening, its condition is
// looked at when the wait begins and when it ends, not on a polling beat.
TEST(QtClock, AnIdleWaitDoesNotPollItsCondition)
{
    QtClock clock;
    int looks = 0;
    EXPECT_FALSE(clock.waitUntil([&] { return ++looks < 0; }, 80ms));
    EXPECT_LE(looks, 4);
}

// Events that were already waiting run inside a wait of 0, and the condition they satisfy is
// seen; a posted event ends a long wait as soon as it has run.
TEST(QtClock, PendingEventsRunInAZeroWaitAndEndALongOne)
{
    QtClock clock;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    EXPECT_TRUE(clock.waitUntil([&] { return ran; }, 0ms));

    bool posted = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);
    const Ms start = clock.now();
    EXPECT_TRUE(clock.waitUntil([&] { return posted; }, 10000ms));
    EXPECT_LT(clock.now() - start, 5000ms);
}

TEST(QtClock, TimersTickAndStop)
{
    QtClock clock;
    auto t = clock.createTimer();
    int ticks = 0;
    t->setInterval(5ms);
    EXPECT_EQ(t->interval(), 5ms);
    t->onTick = [&] {
        if (++ticks == 3)
            t->setEnabled(false);
    };
    EXPECT_FALSE(t->enabled());
    t->setEnabled(true);
    EXPECT_TRUE(t->enabled());
    EXPECT_TRUE(clock.waitUntil([&] { return ticks >= 3; }, 3000ms));
    EXPECT_FALSE(t->enabled());
    clock.wait(40ms);
    EXPECT_EQ(ticks, 3);
}
