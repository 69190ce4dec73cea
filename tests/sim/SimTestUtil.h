#pragma once
// Small helpers for talking to an in-process controller.
#include "sim/AcuModel.h"

#include <string>
#include <vector>

namespace simtest {

// Splits received bytes at CR into lines (the CRs dropped); a trailing partial line is kept.
inline std::vector<std::string> splitLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::string cur;
    for (char c : bytes) {
        if (c == '\r') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty())
        lines.push_back(cur);
    return lines;
}

// Sends a command and returns everything answered at once, CRs removed; "" when nothing.
inline std::string ask(sim::AcuModel& m, const std::string& cmd)
{
    m.receive(cmd);
    std::string out;
    for (const auto& l : splitLines(m.takeOutput()))
        out += l;
    return out;
}

// The panel's send tick.
inline constexpr sim::Ms panelTick{200};

// Sends a text the way the panel's typed-text queue does, one element per tick: while less
// than 7 characters remain, one character; 7 to 18, the next 7; 19 or more, the whole text,
// and the same text again on the next tick. Time passes one tick per element. Returns what
// came back meanwhile.
inline std::string typeLikePanel(sim::AcuModel& m, std::string text)
{
    std::string out;
    bool sentOnce = false;
    for (int tick = 0; tick < 1000 && !text.empty(); ++tick) {
        std::string element;
        if (text.size() < 7) {
            element = text.substr(0, 1);
            text.erase(0, 1);
        } else if (text.size() < 19) {
            element = text.substr(0, 7);
            text.erase(0, 7);
        } else {
            element = text;
            if (sentOnce)
                text.clear();
            sentOnce = !sentOnce;
        }
        m.receive(element);
        m.advance(panelTick);
        out += m.takeOutput();
    }
    return out;
}

// One poll element on its tick (a query byte, or a line query with its CR LF); returns the
// reply, CRs removed.
inline std::string poll(sim::AcuModel& m, const std::string& query)
{
    m.receive(query);
    m.advance(panelTick);
    std::string out;
    for (const auto& l : splitLines(m.takeOutput()))
        out += l;
    return out;
}

// A controller with a calm sea, so readings are exact and repeatable.
inline void calm(sim::AcuModel& m)
{
    m.device().setShipMotion(false);
}

} // namespace simtest
