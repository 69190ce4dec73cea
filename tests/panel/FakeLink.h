#pragma once
// A link that never touches a device: records what is written and lets a test decide when it
// opens, fails, connects (TCP) or drops.
#include "common/Clock.h"
#include "common/Link.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace paneltest {

// One write as it reached the link, with the virtual time it happened.
struct Written {
    common::Ms at;
    std::string bytes;
};

// Shared by every link a factory makes, so a close of the old link and the open of the new one
// can be read in order.
struct LinkJournal {
    std::vector<std::string> events; // "open", "close"
    std::vector<Written> writes;     // every write of every link, each as its own string
};

class FakeLink : public common::Link {
public:
    enum class Kind { Serial, Tcp };

    FakeLink(Kind kind, const common::Clock& clock, LinkJournal* journal = nullptr)
        : kind_(kind), clock_(clock), journal_(journal)
    {
    }

    // --- behaviour a test sets before open()
    bool failOpen = false;           // open() returns false with openError
    std::string openError = "Cannot open the device";
    // TCP: how long after open() the connection completes; nullopt = never.
    std::optional<common::Ms> connectAfter = common::Ms{0};

    // --- what happened
    std::vector<std::string> writes;
    int opens = 0;
    int closes = 0;

    bool open(std::string& error) override
    {
        ++opens;
        log("open");
        if (failOpen) {
            error = openError;
            return false;
        }
        openedAt_ = clock_.now();
        opened_ = true;
        dropped_ = false;
        return true;
    }
    void close() override
    {
        ++closes;
        log("close");
        opened_ = false;
    }
    bool isOpen() const override
    {
        if (!opened_ || dropped_)
            return false;
        if (kind_ == Kind::Serial)
            return true;
        if (connectNow_)
            return true;
        return connectAfter && clock_.now() - openedAt_ >= *connectAfter;
    }
    bool write(const std::string& bytes) override
    {
        writes.push_back(bytes);
        if (journal_)
            journal_->writes.push_back({clock_.now(), bytes});
        const bool open = isOpen();
        if (onWrite)
            onWrite(bytes); // the device answers at once
        return open;
    }
    // Runs after each write (a scripted device's answer).
    std::function<void(const std::string&)> onWrite;
    bool outputDrained() override { return true; }
    std::string describe() const override { return kind_ == Kind::Serial ? "fake serial" : "fake tcp"; }

    // --- driving the link from a test
    // TCP: the pending connection completes now.
    void connect() { connectNow_ = true; }
    // The peer goes away; a later open() may connect again (as connectAfter says).
    void drop()
    {
        dropped_ = true;
        connectNow_ = false;
    }
    void receive(const std::string& bytes)
    {
        if (onData)
            onData(bytes);
    }
    void raiseError(int code, const std::string& detail = {})
    {
        if (onError)
            onError(code, detail);
    }

private:
    void log(const char* e)
    {
        if (journal_)
            journal_->events.push_back(e);
    }

    Kind kind_;
    const common::Clock& clock_;
    LinkJournal* journal_;
    bool opened_ = false;
    bool dropped_ = false;
    bool connectNow_ = false;
    common::Ms openedAt_{0};
};

} // namespace paneltest
