#include "sim/CommandParser.h"

#include <cstring>

namespace sim {

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';

// Immediate one-byte queries of the ACU.
constexpr const char* kQueryBytes = "SPH@qu%VCD&";
// Lead bytes of line commands:
//   m n        ACU / PCU parameter read ("999") or write (value)
//   ?          query passed on to the PCU
//   A E I J    azimuth, elevation, cross-level, polarisation targets (tenths of a degree)
//   i j k      cross-level, elevation, azimuth targets as 16-bit binary angles (hex)
//   B T        ship heading, satellite longitude
//   X Y        azimuth / elevation step size
//   F          find satellite
//   c d        receiver frequency (or tone / LNB voltage code), symbol rate
//   t          receiver auxiliary setting
//   w          DVB receiver pass-through
//   ^          PCU mode command
//   [          communications interface command
//   \          ACU save / restart
//   ] < >      motor driver, below-decks and above-decks modem commands
//   $          NMEA sentence (position, heading)
constexpr const char* kLeadBytes = "mn?AEIJijkBTXYFcdtw^[\\]<>$";

} // namespace

bool CommandParser::isQueryByte(unsigned char c)
{
    if (c >= 129 && c <= 138)
        return true;
    return c != 0 && std::strchr(kQueryBytes, c) != nullptr;
}

bool CommandParser::isLeadByte(unsigned char c)
{
    return c != 0 && std::strchr(kLeadBytes, c) != nullptr;
}

void CommandParser::feed(const std::string& bytes, Ms now, std::vector<Command>& out)
{
    expire(now);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        lastByte_ = now;
        switch (state_) {
        case State::Idle:
            if (isLeadByte(c)) {
                line_.assign(1, ch);
                state_ = State::Line;
            } else if (isQueryByte(c)) {
                out.push_back(Command::query(ch));
            }
            break;
        case State::Line:
            if (ch == CR || ch == LF) {
                out.push_back(Command::line(std::move(line_)));
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
            if (ch == CR || ch == LF)
                state_ = State::Idle;
            break;
        }
    }
}

void CommandParser::expire(Ms now)
{
    if (state_ != State::Idle && now - lastByte_ > lineIdleLimit) {
        line_.clear();
        state_ = State::Idle;
    }
}

} // namespace sim
