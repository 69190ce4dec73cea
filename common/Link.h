#pragma once
// The byte link to the equipment: a serial port or a TCP client, behind one small interface.
// Bytes are carried as std::string of 8-bit bytes and never pass through a text codec.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QSerialPort;
class QTcpSocket;
class QTimer;

namespace common {

// Serial error event codes as the programs report them; 3 to 5 are the changes of the modem
// input lines (they show no text).
enum SerialEvent : int {
    comEvCTS = 3,
    comEvDSR = 4,
    comEvCD = 5,
    comEventBreak = 1001,
    comEventCTSTO = 1002,
    comEventDSRTO = 1003,
    comEventFrame = 1004,
    comEventOverrun = 1006,
    comEventCDTO = 1007,
    comEventRxOver = 1008,
    comEventRxParity = 1009,
    comEventTxFull = 1010,
    comEventDCB = 1011,
    // Raised when the device has gone away or failed under us (USB adapter unplugged,
    // pseudo-terminal closed, read or write failure). Shown as "Unknown error or event"
    // followed by the platform's text.
    comEventDeviceLost = 1100,
};

// The text shown for a serial error event, empty for events that show nothing (1 to 7).
std::string serialEventText(int code);

class Link {
public:
    virtual ~Link() = default;
    // Serial: open the device now. TCP: begin connecting (see isOpen()).
    // On failure returns false with the platform's error text in error.
    virtual bool open(std::string& error) = 0;
    virtual void close() = 0;
    // Serial: the port is open. TCP: the socket is connected.
    virtual bool isOpen() const = 0;
    // Queue bytes for sending; false when the link cannot take them.
    virtual bool write(const std::string& bytes) = 0;
    // True once everything written has left the machine (serial: the UART has drained).
    virtual bool outputDrained() = 0;
    // How long the line takes to send one character (serial: bits per character / baud); 0
    // where the line sets no pace (TCP, whose output leaves as the far end takes it).
    virtual std::chrono::microseconds characterTime() const { return std::chrono::microseconds{0}; }
    // A one-line description for the status bar.
    virtual std::string describe() const = 0;

    // Modem control lines of a serial port; links without them ignore the outputs and report
    // the inputs as unknown.
    struct ModemLines {
        bool known = false;
        bool cts = false, dsr = false, dcd = false;
    };
    virtual void setDtr(bool) {}
    virtual void setRts(bool) {}
    virtual ModemLines modemLines() const { return {}; }

    std::function<void(const std::string&)> onData;
    // Error event: code and the platform's description.
    std::function<void(int code, const std::string& detail)> onError;
    // The peer went away (TCP reset/closed, serial device vanished).
    std::function<void()> onLost;
};

// Serial line settings parsed from a settings string such as "9600,N,8,1".
struct LineSettings {
    int baud = 9600;
    char parity = 'N'; // E O N M S
    int dataBits = 8;
    std::string stopBits = "1"; // "1", "1.5", "2"
};
// False when the string does not describe a usable line.
bool parseSettings(const std::string& text, LineSettings& out);
// Bits on the line per character: start bit, data bits, parity bit, stop bits.
double bitsPerCharacter(const LineSettings& s);

// The driver's counts of line errors since the port opened.
struct LineCounters {
    long frame = 0, parity = 0, overrun = 0, brk = 0, bufOverrun = 0;
};

class SerialLink : public Link {
public:
    SerialLink(std::string devicePath, std::string settings, int handshaking = 0);
    ~SerialLink() override;
    bool open(std::string& error) override;
    void close() override;
    bool isOpen() const override;
    bool write(const std::string& bytes) override;
    bool outputDrained() override;
    std::chrono::microseconds characterTime() const override;
    std::string describe() const override;
    const std::string& devicePath() const { return path_; }
    void setDtr(bool on) override;
    void setRts(bool on) override;
    ModemLines modemLines() const override;
    // Applies to the next open, or at once when open. False with error text when rejected.
    bool setSettings(const std::string& settings, std::string& error);
    void setHandshaking(int code) { handshaking_ = code; }

    // Line errors and modem lines. Qt reports no framing, parity, break or overrun errors, so
    // the driver's error counters are read after each receive and on a slow timer, and an
    // error event is raised for each count that rose (comEventFrame, comEventRxParity,
    // comEventOverrun, comEventBreak, comEventRxOver); the modem input lines are read on the
    // same timer and a change raises comEvCTS, comEvDSR or comEvCD. A driver that keeps no
    // counters gives no events.
    void checkLineStatus();
    static constexpr std::chrono::milliseconds kLineStatusEvery{250};
    // Where the counters and modem lines come from: the driver by default (TIOCGICOUNT,
    // TIOCMGET); tests script them. The counter reader returns false when there are none.
    std::function<bool(LineCounters&)> readCounters;
    std::function<ModemLines()> readModemLines;

private:
    bool apply(std::string& error);
    void startLineStatus();
    std::string path_;
    std::string settings_;
    int handshaking_;
    std::unique_ptr<QSerialPort> port_;
    std::chrono::microseconds charTime_{0};
    std::unique_ptr<QTimer> lineStatusTimer_;
    bool haveCounters_ = false;
    LineCounters counters_;
    ModemLines lines_;
    bool checking_ = false;
};

class TcpLink : public Link {
public:
    TcpLink(std::string host, int port);
    ~TcpLink() override;
    bool open(std::string& error) override;
    void close() override;
    bool isOpen() const override;
    bool write(const std::string& bytes) override;
    bool outputDrained() override;
    std::string describe() const override;

private:
    std::string host_;
    int port_;
    std::unique_ptr<QTcpSocket> sock_;
};

// Serial port number N ("Com" N) to a device path. An entry "ComN" in the section "Devices"
// of the store overrides (a pin); otherwise the machine's serial devices are listed (USB
// adapters /dev/ttyUSB*, /dev/ttyACM* first, then /dev/ttyS*, see orderPorts), and N picks the
// Nth; past the end of the list the answer is /dev/ttyS(N-1). A pin changes no other number.
class SettingsStore;
class PortSource;
std::string serialDevicePath(int portNumber, const SettingsStore* store);
std::string serialDevicePath(int portNumber, const SettingsStore* store, const PortSource& ports);

// Message for a pinned USB adapter (a by-id name) that is not plugged in: names the adapter
// and the path, and what to do. Empty when the path is no by-id name or is there.
std::string missingAdapterAdvice(const std::string& devicePath);

// Message for a device that exists but cannot be opened for lack of permission: names the
// group that owns it and how to join it. Empty when the cause is something else.
std::string permissionAdvice(const std::string& devicePath);

} // namespace common
