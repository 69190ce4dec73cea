#pragma once
// A serial link whose far end is a simulated module, in-process: what is written reaches it at
// once, what it says arrives when the test delivers it (as the clock moves on). It opens while
// the module's port is there (canOpen; by default, while the module is not dropping its link)
// and an open one is lost when the port goes.
#include "common/Link.h"
#include "sim/Modules.h"

#include <chrono>
#include <functional>
#include <string>

namespace uptest {

class ModelLink : public common::Link {
public:
    explicit ModelLink(sim::ModuleModel& m) : m_(m) {}
    ~ModelLink() override
    {
        if (onGone)
            onGone();
    }
    std::function<bool()> canOpen;
    std::function<void(const std::string&)> onWrite; // every write, for the test's record
    std::function<void()> onGone;                    // the terminal has let the link go

    bool open(std::string& error) override
    {
        open_ = canOpen ? canOpen() : !m_.module().linkDropDue();
        if (!open_)
            error = "No such device";
        return open_;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool write(const std::string& bytes) override
    {
        if (!open_)
            return false;
        if (onWrite)
            onWrite(bytes);
        m_.receive(bytes);
        return true;
    }
    bool outputDrained() override { return true; }
    std::chrono::microseconds characterTime() const override { return std::chrono::microseconds{1042}; } // 9600 baud
    std::string describe() const override { return "model"; }
    // What the module has said reaches the terminal; a port that went is lost.
    void deliver()
    {
        if (!open_)
            return;
        const std::string out = m_.takeOutput();
        if (!out.empty() && onData)
            onData(out);
        if (open_ && m_.module().linkDropDue()) {
            open_ = false;
            if (onLost)
                onLost();
        }
    }

private:
    sim::ModuleModel& m_;
    bool open_ = false;
};

} // namespace uptest
