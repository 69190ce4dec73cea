#include "sim/TerminalAcu.h"

#include <utility>

namespace sim {

namespace {

ByteRole acuRole(unsigned char c)
{
    if (c == 'W' || CommandParser::isQueryByte(c))
        return ByteRole::Immediate;
    return CommandParser::isLeadByte(c) ? ByteRole::Lead : ByteRole::Ignored;
}

} // namespace

std::string NetworkSettings::listing() const
{
    const std::pair<const char*, const std::string*> entries[] = {
        {"IP", &ip},       {"NM", &mask},     {"GW", &gateway},   {"P0", &tcpPort0},  {"P1", &tcpPort1},
        {"UP", &udpPort},  {"BC", &baudMC},   {"BA", &baudNmeaA}, {"BB", &baudNmeaB},
    };
    std::string out;
    for (const auto& [key, value] : entries)
        out += std::string(key) + "=" + *value + "\r";
    out.pop_back(); // the last CR is the line end's
    return out;
}

bool TerminalAcu::busyNow()
{
    ++reads_;
    if (refuseNext_ > 0) {
        --refuseNext_;
        return true;
    }
    return busyEvery_ > 0 && reads_ % static_cast<unsigned long>(busyEvery_) == 0;
}

TerminalAcu::TerminalAcu(AcuDevice& device) : TerminalModule(lineEnd::crLfPrompt, acuRole), device_(device) {}

void TerminalAcu::handle(const Received& r)
{
    if (r.kind == Received::Kind::Byte) {
        if (r.text == "W") {
            // Write: the parameters go to the non-volatile memory, as with "\0087".
            ++writes_;
            device_.execute(Command::line("\\0087"));
            say("W");
            return;
        }
        if (const auto a = device_.execute(Command::query(r.text[0])))
            say(*a);
        return;
    }
    switch (r.text[0]) {
    case '<':
    case '>':
        say(*(r.text[0] == '<' ? bde_ : ade_).answer(r.text));
        return;
    case ']':
        say(*mde_.answer(r.text));
        return;
    case 'm':
    case 'n':
        // A read ("999" for the value): refused with the busy mark when one is due.
        if (r.text.size() == 5 && r.text.compare(2, 3, "999") == 0 && busyNow()) {
            say(AcuDevice::busyReply(Command::line(r.text), r.escaped));
            return;
        }
        break;
    case '[':
        // The interface's network settings (the ESC form keeps answering its own text).
        if (r.text == "[?" && !r.escaped) {
            say(network_.listing());
            return;
        }
        break;
    case '$':
        if ((isPositionSentence(r.text) || isHeadingSentence(r.text)) && !nmea_.take(r.text)) {
            say("ERR " + r.text);
            return;
        }
        break;
    default:
        break;
    }
    const Command cmd = Command::line(r.text);
    // ESC before a PCU parameter read gives the terminal's answer layout.
    if (!AcuDevice::answers(cmd)) {
        device_.execute(cmd, r.escaped);
        return;
    }
    if (const auto a = device_.execute(cmd, r.escaped))
        say(*a);
}

} // namespace sim
