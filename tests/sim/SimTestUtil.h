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

// A controller with a calm sea, so readings are exact and repeatable.
inline void calm(sim::AcuModel& m)
{
    m.device().setShipMotion(false);
}

} // namespace simtest
