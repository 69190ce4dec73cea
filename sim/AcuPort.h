#pragma once
// One monitor-and-control port of the simulated ACU: bytes in, framed into commands, carried
// out by the device, replies out, each ended by the port's line end. The faults a link
// technician meets are injected here: late, lost, garbled and busy replies, and a link that
// drops.
#include "sim/AcuDevice.h"
#include "sim/CommandParser.h"
#include "sim/LinkDevice.h"

#include <cstddef>
#include <deque>
#include <string>

namespace sim {

enum class LineEnd {
    Cr,         // every reply ends with CR
    CrLfPrompt, // every reply ends with CR LF and the prompt ">"
};

struct Faults {
    Ms replyDelay{0};     // each reply leaves this long after its command arrived
    int dropEvery = 0;    // every Nth reply is lost on the way (0: never)
    int garbleEvery = 0;  // every Nth reply arrives garbled
    int busyEvery = 0;    // every Nth command is refused with the busy answer
    bool dropNext = false;
    bool garbleNext = false;
    bool busyNext = false;
    Ms dropLinkAfter{0};  // the link drops this long after the port opened (0: never)
};

class AcuPort : public LinkDevice {
public:
    // Received commands kept for inspection.
    static constexpr std::size_t historyLength = 256;

    explicit AcuPort(AcuDevice& device, Faults faults = {}, LineEnd end = LineEnd::Cr);

    // Bytes from the panel or terminal.
    void receive(const std::string& bytes) override;
    // Port time passes: delayed replies come due, a stale partial line is dropped.
    void advance(Ms dt) override;
    // Bytes sent since the last call.
    std::string takeOutput() override;

    Faults& faults() { return faults_; }
    const Faults& faults() const { return faults_; }
    LineEnd lineEnd() const { return end_; }
    void setLineEnd(LineEnd end) { end_ = end; }
    // A line as this port sends it, line end included.
    std::string terminated(const std::string& line) const override;

    // True once the configured link drop has come due; the transport then closes the link.
    bool linkDropDue() const override;
    Ms now() const { return now_; }
    // Replies waiting for their delay to pass.
    std::size_t pendingReplies() const { return pending_.size(); }
    // Commands received, oldest first (at most historyLength).
    const std::deque<Command>& received() const { return history_; }
    const CommandParser& parser() const { return parser_; }

private:
    void handle(const Command& cmd);
    void queue(const std::string& line);
    void release();
    static bool every(int n, unsigned long count) { return n > 0 && count % static_cast<unsigned long>(n) == 0; }

    struct Pending {
        Ms due;
        std::string bytes;
    };

    AcuDevice& device_;
    Faults faults_;
    LineEnd end_;
    CommandParser parser_;
    Ms now_{0};
    unsigned long replyCount_ = 0;
    std::deque<Pending> pending_;
    std::deque<Command> history_;
    std::string output_;
};

} // namespace sim
