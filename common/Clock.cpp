#include "Clock.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace common {

// ---------------------------------------------------------------- virtual clock

class VirtualClock::VTimer : public Timer {
public:
    explicit VTimer(VirtualClock* c) : clock(c), order(c->serial_++) { clock->timers_.push_back(this); }
    ~VTimer() override
    {
        if (clock) {
            auto& v = clock->timers_;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
    }
    void setInterval(Ms i) override
    {
        iv = std::max(i, Ms{1});
        if (on)
            due = clock->now_ + iv;
    }
    Ms interval() const override { return iv; }
    void setEnabled(bool e) override
    {
        if (e && !on)
            due = clock->now_ + iv;
        on = e;
    }
    bool enabled() const override { return on; }

    VirtualClock* clock;
    unsigned long long order;
    Ms iv{1000};
    Ms due{0};
    bool on = false;
};

VirtualClock::VirtualClock() = default;

VirtualClock::~VirtualClock()
{
    for (auto* t : timers_)
        t->clock = nullptr;
}

std::unique_ptr<Timer> VirtualClock::createTimer() { return std::make_unique<VTimer>(this); }

bool VirtualClock::step(Ms limit)
{
    VTimer* next = nullptr;
    for (auto* t : timers_) {
        if (!t->on || t->due > limit)
            continue;
        if (!next || t->due < next->due || (t->due == next->due && t->order < next->order))
            next = t;
    }
    if (!next)
        return false;
    now_ = std::max(now_, next->due);
    next->due = now_ + next->iv;
    if (next->onTick)
        next->onTick();
    return true;
}

void VirtualClock::advance(Ms d)
{
    const Ms target = now_ + d;
    ++depth_;
    while (step(target)) {
        if (pump)
            pump();
    }
    --depth_;
    now_ = std::max(now_, target);
    if (pump)
        pump();
}

bool VirtualClock::waitUntil(const std::function<bool()>& done, Ms timeout)
{
    const Ms deadline = now_ + timeout;
    for (;;) {
        if (pump)
            pump();
        if (done())
            return true;
        if (now_ >= deadline)
            return false;
        // Fire one timer at a time and look at the condition after each, so the wait ends on
        // the tick that satisfied it; with no timer due, move on by one wait step.
        const Ms limit = std::min(now_ + std::max(waitStep, Ms{1}), deadline);
        ++depth_;
        const bool fired = step(limit);
        --depth_;
        if (!fired)
            now_ = std::max(now_, limit);
    }
}

// ---------------------------------------------------------------- Qt clock

namespace {
class QtTimer : public Timer {
public:
    QtTimer()
    {
        t.setTimerType(Qt::PreciseTimer);
        QObject::connect(&t, &QTimer::timeout, [this] {
            if (onTick)
                onTick();
        });
        t.setInterval(1000);
    }
    void setInterval(Ms i) override
    {
        // QTimer::setInterval restarts an active timer, as a form timer does.
        t.setInterval(std::max<int>(1, int(i.count())));
    }
    Ms interval() const override { return Ms{t.interval()}; }
    void setEnabled(bool e) override
    {
        if (e && !t.isActive())
            t.start();
        else if (!e)
            t.stop();
    }
    bool enabled() const override { return t.isActive(); }

private:
    QTimer t;
};
} // namespace

QtClock::QtClock() : origin_(std::chrono::steady_clock::now()) {}

Ms QtClock::now() const
{
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - origin_);
}

std::unique_ptr<Timer> QtClock::createTimer() { return std::make_unique<QtTimer>(); }

bool QtClock::waitUntil(const std::function<bool()>& done, Ms timeout)
{
    if (done())
        return true;
    // One precise single-shot timer at the deadline ends the wait; the condition is looked at
    // again each time the event loop has handled what woke it (bytes received or written, a
    // timer, a click on Cancel) and is about to sleep. Nothing polls on a beat, nothing spins.
    // A wait of 0 lets the events already pending run once.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QMetaObject::Connection recheck;
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        recheck = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
            if (done())
                loop.quit();
        });
    deadline.start(int(std::clamp<long long>(timeout.count(), 0, std::numeric_limits<int>::max())));
    loop.exec();
    QObject::disconnect(recheck);
    return done();
}

} // namespace common
