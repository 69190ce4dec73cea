#pragma once
// What one link talks to: a simulated device, or one port of it, as a byte stream on virtual
// time. The transport (SimServer) feeds it what the client sent, lets time pass and sends on
// whatever it has to say. The panel-facing ACU port and every terminal-facing module model
// are link devices, so the same transport serves any of them.
#include "sim/CommandParser.h"

#include <string>

namespace sim {

class LinkDevice {
public:
    virtual ~LinkDevice() = default;

    // Bytes from the client, in any pieces.
    virtual void receive(const std::string& bytes) = 0;
    // The device's time passes.
    virtual void advance(Ms dt) = 0;
    // Bytes the device sent since the last call.
    virtual std::string takeOutput() = 0;
    // A line as this device ends it (the network interface's greeting uses it).
    virtual std::string terminated(const std::string& line) const = 0;
    // True once the link is to be dropped (a fault asked for); the transport then closes it.
    virtual bool linkDropDue() const { return false; }
};

// One state change a device has scheduled for later (a restart, the return to its
// application): E::None while nothing waits.
template <class E> class DelayedStep {
public:
    void schedule(E what, Ms due)
    {
        what_ = what;
        due_ = due;
    }
    void cancel() { what_ = E::None; }
    bool idle() const { return what_ == E::None; }
    // The step once it is due (nothing waits then); E::None before.
    E takeDue(Ms now)
    {
        if (what_ == E::None || now < due_)
            return E::None;
        const E what = what_;
        what_ = E::None;
        return what;
    }

private:
    E what_ = E::None;
    Ms due_{0};
};

} // namespace sim
