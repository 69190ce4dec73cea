#pragma once
// A port source that lists what the test says, and counts how often it was asked.
#include "common/Ports.h"

#include <vector>

namespace testsupport {

class FakePortSource : public common::PortSource {
public:
    FakePortSource() = default;
    explicit FakePortSource(std::vector<common::PortInfo> ports) : list(std::move(ports)) {}
    std::vector<common::PortInfo> ports() const override
    {
        ++asked;
        return list;
    }
    std::vector<common::PortInfo> list;
    mutable int asked = 0;
};

// Two USB adapters and a built-in port, as the dialogs' tests and pictures show them.
inline std::vector<common::PortInfo> twoAdaptersAndABuiltInPort()
{
    return {
        {"/dev/ttyS0", "", "", "", "", false},
        {"/dev/ttyUSB1", "CP2102 USB to UART Bridge Controller", "Silicon Labs", "0001",
         "/dev/serial/by-id/usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0", true},
        {"/dev/ttyUSB0", "FT232R USB UART", "Acme", "A10K3Z", "/dev/serial/by-id/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0",
         true},
    };
}

} // namespace testsupport
