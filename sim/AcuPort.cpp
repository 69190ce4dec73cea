#include "sim/AcuPort.h"

#include "sim/AcuReplies.h"

#include <algorithm>
#include <vector>

namespace sim {

AcuPort::AcuPort(AcuDevice& device, Faults faults, LineEnd end)
    : device_(device), faults_(faults), end_(end)
{
}

std::string AcuPort::terminated(const std::string& line) const
{
    return line + (end_ == LineEnd::Cr ? "\r" : "\r\n>");
}

void AcuPort::receive(const std::string& bytes)
{
    std::vector<Command> commands;
    parser_.feed(bytes, now_, commands);
    for (const auto& cmd : commands)
        handle(cmd);
}

void AcuPort::handle(const Command& cmd)
{
    history_.push_back(cmd);
    if (history_.size() > historyLength)
        history_.pop_front();

    if (!AcuDevice::answers(cmd)) {
        device_.execute(cmd);
        return;
    }
    const unsigned long n = ++replyCount_;
    const bool busy = faults_.busyNext || every(faults_.busyEvery, n);
    const bool drop = faults_.dropNext || every(faults_.dropEvery, n);
    const bool garble = faults_.garbleNext || every(faults_.garbleEvery, n);
    faults_.busyNext = faults_.dropNext = faults_.garbleNext = false;

    std::string line;
    if (busy) {
        line = AcuDevice::busyReply(cmd); // refused: the command is not carried out
    } else {
        const auto r = device_.execute(cmd);
        if (!r)
            return;
        line = *r;
    }
    if (drop)
        return;
    queue(garble ? reply::garble(line) : line);
}

void AcuPort::queue(const std::string& line)
{
    // Replies leave in the order of their commands, even if the delay was shortened meanwhile.
    Ms due = now_ + faults_.replyDelay;
    if (!pending_.empty())
        due = std::max(due, pending_.back().due);
    pending_.push_back({due, terminated(line)});
    release();
}

void AcuPort::release()
{
    while (!pending_.empty() && pending_.front().due <= now_) {
        output_ += pending_.front().bytes;
        pending_.pop_front();
    }
}

void AcuPort::advance(Ms dt)
{
    now_ += dt;
    parser_.expire(now_);
    release();
}

std::string AcuPort::takeOutput()
{
    std::string out;
    out.swap(output_);
    return out;
}

bool AcuPort::linkDropDue() const
{
    return faults_.dropLinkAfter > Ms{0} && now_ >= faults_.dropLinkAfter;
}

} // namespace sim
