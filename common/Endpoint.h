#pragma once
// A link endpoint given on the command line:
//   tcp:HOST:PORT                 (HOST may be [::1] for IPv6)
//   serial:DEVICE[:SETTINGS]      e.g. serial:/dev/ttyUSB0:19200,N,8,1
#include <optional>
#include <string>

namespace common {

struct Endpoint {
    bool serial = true;
    std::string device;   // serial device path
    std::string settings; // empty = keep the profile's
    std::string host;
    int port = 0;
};

// Parses the text; on failure returns nullopt and a message in error.
std::optional<Endpoint> parseEndpoint(const std::string& text, std::string& error);

} // namespace common
