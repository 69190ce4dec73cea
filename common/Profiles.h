#pragma once
// Connection profiles as the programs keep them in memory, with their stored keys and defaults.
#include <array>
#include <string>

namespace common {

class SettingsStore;

inline constexpr const char* kSection = "Properties";

// One connection record: a serial port with its settings string, or a TCP/IP address and port.
struct ConnectionProfile {
    std::string settings = "9600,N,8,1"; // baud,parity,data,stop
    short commPort = 1;                  // serial port number, 1 = first port
    std::string address;                 // IP address of the controller
    short port = 2000;                   // TCP port
    bool serial = true;                  // true = serial, false = TCP/IP
    bool enabled = false;                // the profile can be chosen on the main window
    std::string caption;                 // the profile's label on the main window
};

// The panel's four profiles, numbered 1..4 (index 0 unused so numbers read as stored).
struct PanelProfiles {
    std::array<ConnectionProfile, 5> p;
    short select = 1; // the active profile

    PanelProfiles(); // the defaults of a fresh store
    ConnectionProfile& operator[](int n) { return p.at(n); }
    const ConnectionProfile& operator[](int n) const { return p.at(n); }

    // Read every key in its stored order; missing or unreadable values keep the default.
    void load(const SettingsStore& store);
    // Save in the dialog's order: captions, enabled flags, settings strings, port numbers,
    // addresses, TCP ports, link kinds, each group for profiles 1 to 4.
    // Returns false when any write failed (the store's lastError() tells why).
    bool save(SettingsStore& store) const;
};

// The settings string's baud rate: the text up to its first comma.
std::string settingsSpeed(const std::string& settings);

} // namespace common

namespace common {

// The terminal's single profile. Empty texts mean "not stored": the serial values are then
// left as the port has them.
struct TerminalProfile {
    std::string settings;    // "Settings": serial settings string
    std::string commPort;    // "CommPort"
    std::string handshaking; // "Handshaking"
    bool echo = false;       // "Echo" (empty reads as off)
    std::string direct = "DATA";          // "Direct": module selection code
    std::string address = "192.168.0.195"; // "Address"
    bool serial = true;                   // "Type"
    short port = 2000;                    // "PortNumber" (numeric value of the text)

    void load(const SettingsStore& store);
};

// The terminal's application name: "KorrinUniv1", or "KorrinUniv2" for a second copy started
// while the first runs (the first copy holds a lock file in the user's runtime directory).
class InstanceLock {
public:
    InstanceLock(); // takes the first free copy number (1 or 2; 2 when both are taken)
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    int copy() const { return copy_; }
    std::string appName() const { return copy_ == 1 ? "KorrinUniv1" : "KorrinUniv2"; }
    // Directory of the lock files ($XDG_RUNTIME_DIR, else the system's temp folder).
    static std::string lockDir();

private:
    int copy_ = 1;
    int fd_ = -1;
};

} // namespace common
