#pragma once
// Time as both programs see it. Every timer and every wait goes through a Clock, so the
// production build runs on Qt timers and tests run on a virtual clock that jumps.
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace common {

using Ms = std::chrono::milliseconds;

// A repeating timer in the style of a form timer: it ticks every interval while enabled.
// Enabling a disabled timer, or changing the interval of an enabled one, restarts the count.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(Ms interval) = 0;
    virtual Ms interval() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
    // Disable and enable again: the count starts afresh from now.
    void restart() { setEnabled(false); setEnabled(true); }
    std::function<void()> onTick;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time since an arbitrary origin.
    virtual Ms now() const = 0;
    virtual std::unique_ptr<Timer> createTimer() = 0;
    // Wait, keeping events (received bytes, timer ticks, window input) flowing, until
    // done() is true or timeout has passed. Returns done() at the end.
    virtual bool waitUntil(const std::function<bool()>& done, Ms timeout) = 0;
    // Wait a fixed time, keeping events flowing.
    void wait(Ms duration) { waitUntil([] { return false; }, duration); }
};

// Deterministic clock for tests: time moves only when advance() or a wait moves it, and timers
// fire in deadline order (ties in creation order). A pump hook lets tests that use real sockets
// deliver their I/O while virtual time stands still.
class VirtualClock : public Clock {
public:
    VirtualClock();
    ~VirtualClock() override;
    Ms now() const override { return now_; }
    std::unique_ptr<Timer> createTimer() override;
    bool waitUntil(const std::function<bool()>& done, Ms timeout) override;

    // Move time forward by d, firing every timer that falls due on the way.
    void advance(Ms d);
    // Move time to the next timer deadline (if any is at or before limit) and fire it.
    bool step(Ms limit);
    // Called between steps of a wait and of advance(), e.g. to process socket events.
    std::function<void()> pump;
    // Granularity of waits when no timer is due sooner.
    Ms waitStep{10};

private:
    class VTimer;
    friend class VTimer;
    std::vector<VTimer*> timers_;
    Ms now_{0};
    unsigned long long serial_ = 0;
    int depth_ = 0;
};

// The production clock: Qt timers and a local event loop for waits.
class QtClock : public Clock {
public:
    QtClock();
    Ms now() const override;
    std::unique_ptr<Timer> createTimer() override;
    bool waitUntil(const std::function<bool()>& done, Ms timeout) override;

private:
    std::chrono::steady_clock::time_point origin_;
};

} // namespace common
