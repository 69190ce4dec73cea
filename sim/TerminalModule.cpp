#include "sim/TerminalModule.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sim {

void LineFramer::feed(const std::string& bytes, Ms now, std::vector<Received>& out)
{
    expire(now);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        lastByte_ = now;
        switch (state_) {
        case State::Idle: {
            if (ch == ESC) {
                escPending_ = true;
                break;
            }
            if (ch == '\r' || ch == '\n')
                break;
            const bool esc = escPending_;
            escPending_ = false;
            switch (classify_(c)) {
            case ByteRole::Immediate:
                out.push_back(Received::byte(ch, esc));
                break;
            case ByteRole::Lead:
                line_.assign(1, ch);
                lineEscaped_ = esc;
                state_ = State::Line;
                break;
            case ByteRole::Ignored:
                break;
            }
            break;
        }
        case State::Line:
            if (ch == '\r' || ch == '\n') {
                out.push_back(Received::line(std::move(line_), lineEscaped_));
                line_.clear();
                state_ = State::Idle;
            } else if (line_.size() >= maxLineLength) {
                line_.clear();
                state_ = State::SkipToEnd;
            } else {
                line_.push_back(ch);
            }
            break;
        case State::SkipToEnd:
            if (ch == '\r' || ch == '\n')
                state_ = State::Idle;
            break;
        }
    }
}

void LineFramer::expire(Ms now)
{
    if (state_ != State::Idle && now - lastByte_ > lineIdleLimit) {
        line_.clear();
        state_ = State::Idle;
    }
}

void LineFramer::reset()
{
    line_.clear();
    state_ = State::Idle;
    escPending_ = false;
}

std::string tenthsText(long tenths, int intDigits)
{
    const bool negative = tenths < 0;
    const long a = std::labs(tenths);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%0*ld.%ld", negative ? "-" : "", intDigits, a / 10, a % 10);
    return buf;
}

AntennaState antennaState(const AcuDevice& device)
{
    const unsigned w2 = device.acuWord2();
    if (w2 & flag::initializing)
        return AntennaState::Initializing;
    if (w2 & flag::searching)
        return AntennaState::Searching;
    return device.tracking() ? AntennaState::Tracking : AntennaState::Manual;
}

void TerminalModule::receive(const std::string& bytes)
{
    std::vector<Received> commands;
    framer_.feed(bytes, now_, commands);
    for (const auto& r : commands) {
        if (keeps(r))
            remember(r);
        handle(r);
    }
}

void TerminalModule::advance(Ms dt)
{
    now_ += dt;
    framer_.expire(now_);
    tick();
}

std::string TerminalModule::takeOutput()
{
    std::string out;
    out.swap(output_);
    return out;
}

void TerminalModule::remember(const Received& r)
{
    history_.push_back(r);
    if (history_.size() > historyLength)
        history_.pop_front();
}

} // namespace sim
