#include "sim/TerminalAcu.h"

namespace sim {

namespace {

ByteRole acuRole(unsigned char c)
{
    if (c == 'W' || CommandParser::isQueryByte(c))
        return ByteRole::Immediate;
    return CommandParser::isLeadByte(c) ? ByteRole::Lead : ByteRole::Ignored;
}

} // namespace

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
