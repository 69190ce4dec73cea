#include "sim/SlcdBoot.h"

#include <utility>

namespace sim {

namespace {

ByteRole noRole(unsigned char) { return ByteRole::Ignored; }

constexpr std::size_t kMaxCommand = 96;

const std::vector<std::pair<std::string_view, SlcdBoot::Update>>& updateTable()
{
    static const std::vector<std::pair<std::string_view, SlcdBoot::Update>> t = {
        {"completes", SlcdBoot::Update::Completes},
        {"endless", SlcdBoot::Update::Endless},
        {"silent", SlcdBoot::Update::Silent},
    };
    return t;
}

// A size in decimal, 1 to max; nothing for anything else.
std::optional<std::uint64_t> sizeText(std::string_view digits, std::uint64_t max)
{
    if (digits.empty() || digits.size() > 9)
        return std::nullopt;
    std::uint64_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + std::uint64_t(c - '0');
    }
    if (v == 0 || v > max)
        return std::nullopt;
    return v;
}

} // namespace

SlcdBoot::SlcdBoot() : TerminalModule(lineEnd::crLf, noRole) {}

std::optional<SlcdBoot::Update> SlcdBoot::updateNamed(std::string_view name)
{
    for (const auto& [n, u] : updateTable())
        if (n == name)
            return u;
    return std::nullopt;
}

const std::vector<std::string_view>& SlcdBoot::updateNames()
{
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> v;
        for (const auto& entry : updateTable())
            v.push_back(entry.first);
        return v;
    }();
    return names;
}

void SlcdBoot::receive(const std::string& bytes)
{
    for (char c : bytes) {
        switch (mode_) {
        case Mode::Receiving:
            takeImage(c);
            break;
        case Mode::Command:
            if (c == '\r' || c == '\n') {
                if (line_.empty() && !lineOver_)
                    break;
                Received r = Received::line(lineOver_ ? std::string() : std::move(line_));
                line_.clear();
                lineOver_ = false;
                remember(r);
                handle(r);
            } else if (line_.size() < kMaxCommand) {
                line_.push_back(c);
            } else {
                lineOver_ = true;
            }
            break;
        case Mode::Erasing:
        case Mode::Updating:
        case Mode::Hung:
            break; // nothing is taken meanwhile
        }
    }
}

void SlcdBoot::handle(const Received& r)
{
    const std::string& line = r.text;
    if (line == "^478") {
        if (!faults_.silentLink)
            say(linkOk);
        return;
    }
    if (line.compare(0, 4, "^479") == 0) {
        if (const auto size = sizeText(std::string_view(line).substr(4), maxSize)) {
            size_ = *size;
            say("SIZE " + std::to_string(size_));
        } else {
            say("ERR " + line);
        }
        return;
    }
    if (line == "^378") {
        mode_ = Mode::Erasing;
        due_ = now_ + eraseTime;
        return;
    }
    say("ERR " + line);
}

void SlcdBoot::takeImage(char c)
{
    if (image_.size() >= maxSize)
        return; // no size was announced: what could never be an image is not kept
    image_.push_back(c);
    const bool last = size_ > 0 && image_.size() >= size_;
    if (image_.size() % block != 0 && !last)
        return;
    const int blockNumber = acks_ + 1;
    if (faults_.silentAfterBlock > 0 && blockNumber >= faults_.silentAfterBlock) {
        mode_ = Mode::Hung;
        return;
    }
    ++acks_;
    send(ack);
    if (!last)
        return;
    if (onImage)
        onImage(*this);
    mode_ = Mode::Updating;
    due_ = now_ + updateTime;
    nextProgress_ = now_ + progressPeriod;
}

void SlcdBoot::tick()
{
    if (mode_ == Mode::Erasing && now_ >= due_) {
        if (faults_.refuseErase) {
            say(eraseFailed);
            mode_ = Mode::Command;
            return;
        }
        image_.clear();
        acks_ = 0;
        ++erases_;
        send(ack);
        mode_ = Mode::Receiving;
        return;
    }
    if (mode_ != Mode::Updating)
        return;
    const bool endless = faults_.update == Update::Endless;
    if (!endless && now_ >= due_) {
        if (faults_.update == Update::Completes)
            send(ack);
        ++updates_;
        mode_ = Mode::Command;
        return;
    }
    if (faults_.update != Update::Silent && now_ >= nextProgress_) {
        send(progress);
        nextProgress_ = now_ + progressPeriod;
    }
}

} // namespace sim
