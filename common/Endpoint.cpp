#include "Endpoint.h"

#include "Link.h"

namespace common {

std::optional<Endpoint> parseEndpoint(const std::string& text, std::string& error)
{
    Endpoint e;
    if (text.rfind("tcp:", 0) == 0) {
        const std::string rest = text.substr(4);
        const auto colon = rest.rfind(':');
        if (colon == std::string::npos || colon == 0) {
            error = "Expected tcp:HOST:PORT, got \"" + text + "\"";
            return std::nullopt;
        }
        e.serial = false;
        e.host = rest.substr(0, colon);
        if (e.host.size() > 2 && e.host.front() == '[' && e.host.back() == ']')
            e.host = e.host.substr(1, e.host.size() - 2);
        const std::string port = rest.substr(colon + 1);
        int p = 0;
        for (char c : port) {
            if (c < '0' || c > '9' || p > 65535) {
                p = -1;
                break;
            }
            p = p * 10 + (c - '0');
        }
        if (port.empty() || p <= 0 || p > 65535) {
            error = "Invalid TCP port \"" + port + "\" in \"" + text + "\"";
            return std::nullopt;
        }
        e.port = p;
        return e;
    }
    if (text.rfind("serial:", 0) == 0) {
        const std::string rest = text.substr(7);
        // Device names may hold colons themselves (/dev/serial/by-path/pci-0000:00:14.0-...),
        // so the settings are what follows the last colon, and only when that looks like a
        // settings string (it has a comma or is a bare number) or is empty.
        const auto colon = rest.rfind(':');
        const std::string tail = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
        const bool isSettings = colon != std::string::npos
                                && (tail.empty() || tail.find(',') != std::string::npos
                                    || tail.find_first_not_of("0123456789") == std::string::npos);
        e.device = isSettings ? rest.substr(0, colon) : rest;
        if (isSettings)
            e.settings = tail;
        if (e.device.empty()) {
            error = "Expected serial:DEVICE[:SETTINGS], got \"" + text + "\"";
            return std::nullopt;
        }
        LineSettings ls;
        if (!e.settings.empty() && !parseSettings(e.settings, ls)) {
            error = "Invalid serial settings \"" + e.settings + "\" (expected e.g. 9600,N,8,1)";
            return std::nullopt;
        }
        return e;
    }
    error = "Unknown link \"" + text + "\": use tcp:HOST:PORT or serial:DEVICE[:SETTINGS]";
    return std::nullopt;
}

} // namespace common
