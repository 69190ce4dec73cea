#pragma once
// The machine's serial ports as a technician knows them: the device, what the system says of
// it (description, manufacturer, serial number) and, for a USB adapter, its stable name under
// /dev/serial/by-id/. "Com N" is the Nth port in a fixed order; an entry "ComN" in the section
// "Devices" of the settings store pins N to a path (choosing a USB adapter pins it by its
// by-id name, so the same adapter stays the same port after re-plugging or a reboot).
#include <optional>
#include <string>
#include <vector>

namespace common {

class SettingsStore;

inline constexpr const char* kDevicesSection = "Devices";
inline constexpr const char* kByIdDir = "/dev/serial/by-id";

struct PortInfo {
    std::string device;       // e.g. /dev/ttyUSB0
    std::string description;  // e.g. FT232R USB UART
    std::string manufacturer; // e.g. Acme
    std::string serialNumber; // e.g. A10K3Z
    std::string byIdPath;     // e.g. /dev/serial/by-id/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0
    bool usb = false;
};

// Where the list of ports comes from: the machine, or a fixed list in tests.
class PortSource {
public:
    virtual ~PortSource() = default;
    virtual std::vector<PortInfo> ports() const = 0;
};

// The machine's ports as the serial layer lists them, each USB adapter with its by-id name
// from byIdDir (a folder that is missing just means no names).
class SystemPortSource : public PortSource {
public:
    explicit SystemPortSource(std::string byIdDir = kByIdDir) : byIdDir_(std::move(byIdDir)) {}
    std::vector<PortInfo> ports() const override;

private:
    std::string byIdDir_;
};

// Fills byIdPath of each port that a symbolic link in byIdDir leads to (links are resolved
// relative to the folder, as udev writes them: ../../ttyUSB0). When several links lead to one
// device the first by name is taken. A missing folder, dangling links and other files are
// passed over.
void attachByIdNames(std::vector<PortInfo>& ports, const std::string& byIdDir);

// The order "Com N" counts in: adapters and other devices first, sorted by path, then the
// built-in /dev/ttyS ports by number.
std::vector<PortInfo> orderPorts(std::vector<PortInfo> ports);

// What the system says of a port: its description, else its manufacturer, with the serial
// number in brackets when known ("FT232R USB UART (A10K3Z)"); empty when it says nothing.
std::string portDescription(const PortInfo& p);

// A readable name for an adapter known only by its by-id name:
// ".../usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0" gives "Acme FT232R USB UART A10K3Z".
std::string adapterName(const std::string& byIdPath);

// True when the path names a link in a by-id folder (where a pinned adapter is found).
bool isByIdPath(const std::string& path);

// One entry of the "Com N" list of the properties dialogs.
struct PortChoice {
    int number = 0;
    std::string pinned;           // the "ComN" entry in [Devices], empty when none
    bool pinFound = false;        // the pinned path is there (the adapter is plugged in)
    std::optional<PortInfo> port; // the machine's port Com N is now, when there is one

    // "Com1  /dev/ttyUSB0  FT232R USB UART (A10K3Z)"; ", pinned" follows an entry that comes
    // from [Devices]; a pinned path that is not there says so ("Com1  Acme FT232R USB UART
    // A10K3Z, pinned, not plugged in"); a number past the machine's ports is just "Com5".
    std::string text() const;
    // More detail for a tooltip: the device, the by-id name, the pin.
    std::string details() const;
    // The by-id name choosing this entry pins Com N to: set for a USB adapter that has one,
    // empty for a built-in port, a pseudo-terminal or a number without a port.
    std::string pinPath() const;
};

// Entries Com1 .. Com<count> for the ports listed (in any order) and the pins in store.
std::vector<PortChoice> portChoices(int count, const SettingsStore* store, const std::vector<PortInfo>& ports);

// Writes the pin for the entry chosen, when choosing it calls for one (pinPath); other
// entries leave [Devices] as it is. False only when the store could not be written.
bool savePin(SettingsStore& store, const PortChoice& choice);

} // namespace common
