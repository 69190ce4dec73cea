#include "sim/Vantor.h"

#include "sim/AcuReplies.h"

#include <cmath>

namespace sim {

namespace {

ByteRole vantorRole(unsigned char c)
{
    if (c == '@' || c == 'H')
        return ByteRole::Immediate;
    // Blanks and control bytes between commands are ignored; anything else opens a line.
    return c > ' ' ? ByteRole::Lead : ByteRole::Ignored;
}

const char* stateText(AntennaState s)
{
    switch (s) {
    case AntennaState::Initializing: return "INI";
    case AntennaState::Searching: return "SRC";
    case AntennaState::Tracking: return "TRK";
    case AntennaState::Manual: return "MAN";
    }
    return "";
}

} // namespace

Vantor::Vantor(AcuDevice& device) : TerminalModule(lineEnd::crLf, vantorRole), device_(device) {}

void Vantor::receive(const std::string& bytes)
{
    for (char c : bytes) {
        if (c == '%') {
            // Comms on, wherever it comes: "%" is never part of a line, and it drops a
            // partial one (the "$" of a stop sent without a line end).
            remember(Received::byte(c));
            dropPartialLine();
            streaming_ = true;
            continue;
        }
        // "$" silences the stream the moment it arrives, whatever follows it.
        if (c == '$' && !lineOpen())
            streaming_ = false;
        TerminalModule::receive(std::string(1, c));
    }
}

std::string Vantor::streamLine() const
{
    const long az = std::lround(device_.azimuth()) % 3600;
    const long el = std::lround(device_.elevation());
    return "VNT " + reply::digits((count_ + 1) % 10000, 4) + " AZ " + tenthsText(az, 3) + " EL " +
           tenthsText(el, 2) + " AGC " + reply::digits(device_.signalLevel(), 3) + " " +
           stateText(antennaState(device_));
}

void Vantor::tick()
{
    for (int i = 0; i < maxLinesPerStep && now_ >= nextLine_; ++i) {
        if (streaming_) {
            say(streamLine());
            ++count_;
        }
        nextLine_ += linePeriod;
    }
    if (now_ >= nextLine_) // a long step: the lines it missed are not made up
        nextLine_ = now_ + linePeriod;
}

void Vantor::handle(const Received& r)
{
    if (r.kind == Received::Kind::Byte) {
        if (const auto a = device_.execute(Command::query(r.text[0])))
            say(*a); // "@" position, "H" heading
        return;
    }
    if (r.text == "$") {
        say(statusLine());
        return;
    }
    if (r.text[0] == '$') {
        if ((isPositionSentence(r.text) || isHeadingSentence(r.text)) && nmea_.take(r.text))
            device_.execute(Command::line(r.text));
        return;
    }
    if (r.text == "V" || r.text == "verA") {
        say(versionLine());
        return;
    }
    say("ERR " + r.text);
}

} // namespace sim
