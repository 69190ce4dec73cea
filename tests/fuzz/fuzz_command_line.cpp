// The texts that come from the command line and the settings store and describe a link: the
// --connect endpoint, the serial settings string as the link reads it, and as the terminal's
// properties dialog cuts it into its boxes.
#include "common/Endpoint.h"
#include "common/Link.h"
#include "common/Profiles.h"
#include "terminal/app/frmProperties.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::string error;
    const auto endpoint = common::parseEndpoint(text, error);
    if (endpoint) {
        // A TCP endpoint names a port a socket can take; a serial one names a device.
        if (!endpoint->serial && (endpoint->port < 1 || endpoint->port > 65535 || endpoint->host.empty()))
            std::abort();
        if (endpoint->serial && endpoint->device.empty())
            std::abort();
    } else if (error.empty()) {
        std::abort(); // a refusal always says why
    }

    common::LineSettings line;
    if (common::parseSettings(text, line)) {
        const double bits = common::bitsPerCharacter(line);
        if (line.baud <= 0 || !std::isfinite(bits) || bits < 6 || bits > 12)
            std::abort();
    }
    (void)common::settingsSpeed(text);
    (void)splitSettings(text);
    return 0;
}
