#pragma once
// Finding controllers on the network. A fixed 8-byte request goes out by UDP, either as a
// broadcast to the local network or to one given address; every device that answers is listed
// by its IP address. The request goes to the chosen port; answers arrive on that port + 3, on
// the socket that sent the request, which stays bound until the next search or until it is
// closed. There is no time-out: answers are listed whenever they arrive.
//
// The logic talks to the network through DatagramSocket, so tests can put a fake in its place;
// makeUdpSocket() gives the real one.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace common {

// The limited broadcast address: the production default for "Find All". Tests inject a
// loopback address in its place.
inline constexpr const char* kLimitedBroadcast = "255.255.255.255";
// Answers are received on every local interface unless told otherwise.
inline constexpr const char* kAnyIPv4 = "0.0.0.0";
// Answers arrive on the request port + 3.
inline constexpr int kAnswerPortOffset = 3;

// The stored search settings of the terminal: section, keys and the port default.
inline constexpr const char* kFindTavsSection = "FindTavs";
inline constexpr const char* kFindTavsPortKey = "PortNumber";
inline constexpr const char* kFindTavsAddressKey = "IPAddress";
inline constexpr const char* kFindTavsDefaultPort = "3000";
// The address first offered for "Find Specific TAV": a private LAN address of a typical
// controller, one for each program.
inline constexpr const char* kPanelFindAddress = "192.168.0.195";
inline constexpr const char* kTerminalFindAddress = "192.168.1.195";

// Messages, exactly as shown to the technician.
inline constexpr const char* kFindSendError = "Error, incorrect IP address / Port. ";
inline constexpr const char* kFindReceiveError = "Error-Rcv, incorrect IP address / Port. ";

// The request datagram: one byte of value 1 followed by seven bytes of value 0.
std::string discoveryRequest();

// The web page of a device: "http://" + address + "/" (an empty address gives "http:///").
std::string webPageUrl(const std::string& address);

// The request port from the port box: a whole decimal number (blanks around it allowed) for
// which both the port and the answer port (+3) are usable, i.e. 1 to 65532.
std::optional<int> requestPort(const std::string& text);

// A dotted IPv4 address of four decimal parts 0..255 (blanks around it allowed), returned in
// its plain form ("192.168.000.010" gives "192.168.0.10").
std::optional<std::string> ipv4Address(const std::string& text);

// A UDP socket as discovery uses it. Destroying it closes it.
class DatagramSocket {
public:
    virtual ~DatagramSocket() = default;
    // Bind to a local address and port; false with the platform's text.
    virtual bool bind(const std::string& address, int port, std::string& error) = 0;
    // Send one datagram; false with the platform's text.
    virtual bool send(const std::string& host, int port, const std::string& bytes, std::string& error) = 0;

    // A datagram arrived: the sender's IPv4 address and the contents.
    std::function<void(const std::string& sender, const std::string& bytes)> onDatagram;
    // Reading what arrived failed.
    std::function<void(const std::string& error)> onReadError;
};

// The real socket (Qt's UDP socket). It delivers datagrams from the Qt event loop.
std::unique_ptr<DatagramSocket> makeUdpSocket();

// The addresses a search uses.
struct DiscoveryNetwork {
    std::string broadcast = kLimitedBroadcast; // where "Find All" sends the request
    std::string bind = kAnyIPv4;               // the local address answers arrive on
};

class Discovery {
public:
    using Network = DiscoveryNetwork;
    using SocketFactory = std::function<std::unique_ptr<DatagramSocket>()>;

    explicit Discovery(Network network = {}, SocketFactory makeSocket = makeUdpSocket);
    ~Discovery();
    Discovery(const Discovery&) = delete;
    Discovery& operator=(const Discovery&) = delete;

    // "Find All local TAVs": the request as a broadcast to the local network.
    // Returns false after reporting kFindSendError through onError.
    bool findAll(const std::string& portText);
    // "Find Specific TAV": the request to one address; it can cross routers.
    bool findSpecific(const std::string& address, const std::string& portText);

    // Close the socket; answers are no longer received. The list stays.
    void close();
    bool listening() const { return socket_ != nullptr; }
    // The port answers arrive on while listening, 0 otherwise.
    int answerPort() const { return socket_ ? answerPort_ : 0; }
    // Where the last request went, for the record ("" before the first).
    const std::string& lastTarget() const { return lastTarget_; }

    // Every answer adds its sender's address, duplicates included, in order of arrival.
    const std::vector<std::string>& found() const { return found_; }

    const Network& network() const { return network_; }

    // The list changed (cleared by a search, or an address added).
    std::function<void()> onChanged;
    // A message for a plain message box.
    std::function<void(const std::string& text)> onError;

private:
    bool search(const std::string& host, const std::string& portText);
    void report(const char* text);

    Network network_;
    SocketFactory makeSocket_;
    std::unique_ptr<DatagramSocket> socket_;
    int answerPort_ = 0;
    std::string lastTarget_;
    std::vector<std::string> found_;
};

} // namespace common
