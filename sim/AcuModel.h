#pragma once
// A simulated ACU with one port, for tests and tools that talk to it in-process on virtual
// time: bytes in with receive(), time with advance(), bytes out with takeOutput().
#include "sim/AcuDevice.h"
#include "sim/AcuPort.h"

namespace sim {

class AcuModel {
public:
    explicit AcuModel(Faults faults = {}, LineEnd end = LineEnd::Cr) : port_(device_, faults, end) {}
    AcuModel(const AcuModel&) = delete;
    AcuModel& operator=(const AcuModel&) = delete;

    void receive(const std::string& bytes) { port_.receive(bytes); }
    // Time passes for the equipment and the port alike.
    void advance(Ms dt)
    {
        device_.advance(dt);
        port_.advance(dt);
    }
    std::string takeOutput() { return port_.takeOutput(); }

    Faults& faults() { return port_.faults(); }
    bool linkDropDue() const { return port_.linkDropDue(); }

    AcuDevice& device() { return device_; }
    const AcuDevice& device() const { return device_; }
    AcuPort& port() { return port_; }

private:
    AcuDevice device_;
    AcuPort port_;
};

} // namespace sim
