#include "sim/PanelPcu.h"

#include "sim/AcuReplies.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

ByteRole panelRole(unsigned char c)
{
    if (c == 'S' || c == 'V')
        return ByteRole::Immediate;
    return c == 'w' ? ByteRole::Lead : ByteRole::Ignored;
}

const char* stateText(AntennaState s)
{
    switch (s) {
    case AntennaState::Initializing: return "INITIALIZING";
    case AntennaState::Searching: return "SEARCHING";
    case AntennaState::Tracking: return "TRACKING";
    case AntennaState::Manual: return "MANUAL";
    }
    return "";
}

// Level with no satellite in the beam, and the level of full scale on the bargraph.
constexpr int kLevelFloor = 250;
constexpr int kLevelFull = 850;
constexpr int kSegments = 16;

} // namespace

PanelPcu::PanelPcu(const AcuDevice& device) : TerminalModule(lineEnd::crLf, panelRole), device_(device) {}

void PanelPcu::setBrightness(int percent)
{
    brightness_ = std::clamp(percent, 0, 100);
}

std::string PanelPcu::frame() const
{
    const long az = std::lround(device_.azimuth()) % 3600;
    const long el = std::lround(device_.elevation());
    const int level = device_.signalLevel();
    const int segments = std::clamp((level - kLevelFloor) * kSegments / (kLevelFull - kLevelFloor), 0, kSegments);
    unsigned flags = 64;
    if (unwrap_)
        flags |= unwrapBit;
    if (device_.tracking())
        flags |= trackingBit;

    std::string f;
    f += '\x01';
    f += "AZ " + tenthsText(az, 3) + " EL " + tenthsText(el, 2) + "\r\n";
    f += '\x02';
    f += "AGC " + reply::digits(level, 3) + " " + stateText(antennaState(device_)) + "\r\n";
    f += '\x03';
    f += reply::digits(segments, 2);
    f += '\x04';
    f += reply::digits(brightness_, 4);
    f += '\x05';
    f += '\x06';
    f += static_cast<char>(flags);
    return f;
}

void PanelPcu::tick()
{
    for (int i = 0; i < maxFramesPerStep && now_ >= nextFrame_; ++i) {
        send(frame());
        ++frames_;
        nextFrame_ += framePeriod;
    }
    if (now_ >= nextFrame_) // a long step: the frames it missed are not made up
        nextFrame_ = now_ + framePeriod;
}

void PanelPcu::handle(const Received& r)
{
    if (r.kind == Received::Kind::Byte) {
        if (r.text == "S")
            say(reply::pcuStatus(device_.pcuWord1(), device_.pcuWord2(), device_.pcuWord3(), device_.pcuWord4()));
        else
            say(versionLine());
        return;
    }
    if (r.text.rfind("wV", 0) == 0)
        return; // the version request; "w!" fetches the answer
    if (r.text.rfind("w!", 0) == 0) {
        say("DVB VER 1.07 SIM");
        return;
    }
    say(r.text);
}

} // namespace sim
