#pragma once
// Small helpers for talking to an in-process module.
#include "sim/Modules.h"

#include <string>

namespace simtest {

inline const std::string ESC(1, '\x1b');
inline const std::string CRLF = "\r\n";

// A module with a calm sea, so the readings it shows are exact and repeatable.
inline void calm(sim::ModuleModel& m)
{
    m.device().setShipMotion(false);
}

// Sends bytes and returns everything answered at once.
inline std::string ask(sim::ModuleModel& m, const std::string& bytes)
{
    m.receive(bytes);
    return m.takeOutput();
}

// Sends bytes one at a time, as a slow link delivers them, and returns what came back.
inline std::string askByteByByte(sim::ModuleModel& m, const std::string& bytes)
{
    std::string out;
    for (char c : bytes) {
        m.receive(std::string(1, c));
        out += m.takeOutput();
    }
    return out;
}

} // namespace simtest
