#include "Link.h"

#include "Ports.h"
#include "SettingsStore.h"

#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace common {

std::string serialEventText(int code)
{
    switch (code) {
    case comEventBreak: return "Break Received";
    case comEventCTSTO: return "CTS Timeout";
    case comEventDSRTO: return "DSR Timeout";
    case comEventFrame: return "Framing Error";
    case comEventOverrun: return "Overrun Error";
    case comEventCDTO: return "Carrier Detect Timeout";
    case comEventRxOver: return "Receive Buffer Overflow";
    case comEventRxParity: return "Parity Error";
    case comEventTxFull: return "Transmit Buffer Full";
    case comEventDCB: return "Error retrieving DCB";
    default: break;
    }
    if (code >= 1 && code <= 7)
        return {}; // send, CTS, DSR, CD, ring and end-of-file changes show nothing
    return "Unknown error or event";
}

bool parseSettings(const std::string& text, LineSettings& out)
{
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        f.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (f.size() != 4)
        return false;
    LineSettings s;
    try {
        size_t used = 0;
        s.baud = std::stoi(f[0], &used);
        if (used != f[0].size() || s.baud <= 0)
            return false;
        if (f[1].size() != 1)
            return false;
        s.parity = char(std::toupper(static_cast<unsigned char>(f[1][0])));
        if (std::string("EONMS").find(s.parity) == std::string::npos)
            return false;
        s.dataBits = std::stoi(f[2], &used);
        if (used != f[2].size() || s.dataBits < 4 || s.dataBits > 8)
            return false;
    } catch (...) {
        return false;
    }
    if (f[3] != "1" && f[3] != "1.5" && f[3] != "2")
        return false;
    s.stopBits = f[3];
    out = s;
    return true;
}

double bitsPerCharacter(const LineSettings& s)
{
    const double stop = s.stopBits == "2" ? 2 : s.stopBits == "1.5" ? 1.5 : 1;
    return 1 + s.dataBits + (s.parity == 'N' ? 0 : 1) + stop;
}

// ---------------------------------------------------------------- serial

namespace {

bool driverCounters(int fd, LineCounters& out)
{
    serial_icounter_struct c {};
    if (fd < 0 || ::ioctl(fd, TIOCGICOUNT, &c) != 0)
        return false;
    out.frame = c.frame;
    out.parity = c.parity;
    out.overrun = c.overrun;
    out.brk = c.brk;
    out.bufOverrun = c.buf_overrun;
    return true;
}

} // namespace

SerialLink::SerialLink(std::string devicePath, std::string settings, int handshaking)
    : path_(std::move(devicePath)), settings_(std::move(settings)), handshaking_(handshaking),
      port_(std::make_unique<QSerialPort>())
{
    QObject::connect(port_.get(), &QSerialPort::readyRead, [this] {
        const QByteArray data = port_->readAll();
        // Errors the driver counted while these bytes came are reported before them.
        checkLineStatus();
        if (!data.isEmpty() && onData && port_->isOpen())
            onData(std::string(data.constData(), size_t(data.size())));
    });
    lineStatusTimer_ = std::make_unique<QTimer>();
    lineStatusTimer_->setInterval(kLineStatusEvery);
    QObject::connect(lineStatusTimer_.get(), &QTimer::timeout, [this] { checkLineStatus(); });
    QObject::connect(port_.get(), &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        // Only a device failing under us is an event here. Other errors (a line setting the
        // device refuses, a failed open) belong to the call that caused them, which reports
        // the platform's text itself.
        if (!port_->isOpen()
            || (e != QSerialPort::ResourceError && e != QSerialPort::ReadError && e != QSerialPort::WriteError))
            return;
        const std::string detail = port_->errorString().toStdString();
        // Close it so nothing more is written to a dead port.
        port_->clearError();
        lineStatusTimer_->stop();
        port_->close();
        if (onError)
            onError(comEventDeviceLost, detail);
        if (onLost)
            onLost();
    });
}

SerialLink::~SerialLink()
{
    lineStatusTimer_->stop();
    if (port_->isOpen())
        port_->close();
}

bool SerialLink::setSettings(const std::string& settings, std::string& error)
{
    LineSettings s;
    if (!parseSettings(settings, s)) {
        error = "Invalid port settings \"" + settings + "\"";
        return false;
    }
    settings_ = settings;
    return port_->isOpen() ? apply(error) : true;
}

bool SerialLink::apply(std::string& error)
{
    LineSettings s;
    if (!parseSettings(settings_, s)) {
        error = "Invalid port settings \"" + settings_ + "\"";
        return false;
    }
    if (s.dataBits < 5) {
        // Serial lines here carry 5 to 8 data bits; anything else would silently become 8.
        error = std::to_string(s.dataBits) + " data bits are not supported by " + path_ + " (use 5 to 8)";
        return false;
    }
    using P = QSerialPort;
    P::Parity parity = P::NoParity;
    switch (s.parity) {
    case 'E': parity = P::EvenParity; break;
    case 'O': parity = P::OddParity; break;
    case 'M': parity = P::MarkParity; break;
    case 'S': parity = P::SpaceParity; break;
    default: break;
    }
    const P::StopBits stop = s.stopBits == "2" ? P::TwoStop : s.stopBits == "1.5" ? P::OneAndHalfStop : P::OneStop;
    const P::FlowControl flow = handshaking_ == 1 ? P::SoftwareControl
                                : handshaking_ >= 2 ? P::HardwareControl
                                                    : P::NoFlowControl;
    const bool ok = port_->setBaudRate(s.baud) && port_->setDataBits(P::DataBits(s.dataBits))
                    && port_->setParity(parity) && port_->setStopBits(stop) && port_->setFlowControl(flow);
    if (!ok) {
        error = port_->errorString().toStdString();
        port_->clearError();
    }
    charTime_ = std::chrono::microseconds(std::lround(1e6 * bitsPerCharacter(s) / s.baud));
    return ok;
}

bool SerialLink::open(std::string& error)
{
    if (port_->isOpen())
        return true;
    LineSettings s;
    if (!parseSettings(settings_, s)) {
        error = "Invalid port settings \"" + settings_ + "\"";
        return false;
    }
    port_->setPortName(QString::fromStdString(path_));
    if (!port_->open(QIODevice::ReadWrite)) {
        error = missingAdapterAdvice(path_);
        if (!error.empty()) {
            port_->clearError();
            return false;
        }
        error = port_->errorString().toStdString() + " (" + path_ + ")";
        const std::string advice = permissionAdvice(path_);
        if (!advice.empty())
            error += "\n" + advice;
        port_->clearError();
        return false;
    }
    if (!apply(error)) {
        port_->close();
        return false;
    }
    startLineStatus();
    return true;
}

void SerialLink::close()
{
    lineStatusTimer_->stop();
    if (port_->isOpen())
        port_->close();
}

void SerialLink::startLineStatus()
{
    // What the driver counted before this open is not news.
    haveCounters_ = readCounters ? readCounters(counters_) : driverCounters(int(port_->handle()), counters_);
    lines_ = readModemLines ? readModemLines() : modemLines();
    lineStatusTimer_->start();
}

void SerialLink::checkLineStatus()
{
    if (!port_->isOpen() || checking_)
        return;
    // An event handler may show a box and let events run; this is not entered again meanwhile.
    checking_ = true;
    struct Done {
        bool& b;
        ~Done() { b = false; }
    } done{checking_};

    std::vector<int> events;
    LineCounters now;
    if (haveCounters_ && (readCounters ? readCounters(now) : driverCounters(int(port_->handle()), now))) {
        const struct {
            long LineCounters::*count;
            int event;
        } kinds[] = {
            {&LineCounters::brk, comEventBreak},
            {&LineCounters::frame, comEventFrame},
            {&LineCounters::overrun, comEventOverrun},
            {&LineCounters::bufOverrun, comEventRxOver},
            {&LineCounters::parity, comEventRxParity},
        };
        for (const auto& k : kinds)
            if (now.*k.count > counters_.*k.count)
                events.push_back(k.event);
        counters_ = now;
    }
    const ModemLines l = readModemLines ? readModemLines() : modemLines();
    if (l.known && lines_.known) {
        if (l.cts != lines_.cts)
            events.push_back(comEvCTS);
        if (l.dsr != lines_.dsr)
            events.push_back(comEvDSR);
        if (l.dcd != lines_.dcd)
            events.push_back(comEvCD);
    }
    lines_ = l;
    for (const int e : events) {
        if (!port_->isOpen() || !onError)
            break;
        onError(e, {});
    }
}

bool SerialLink::isOpen() const { return port_->isOpen(); }

bool SerialLink::write(const std::string& bytes)
{
    if (!port_->isOpen())
        return false;
    return port_->write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

std::chrono::microseconds SerialLink::characterTime() const { return charTime_; }

bool SerialLink::outputDrained()
{
    if (!port_->isOpen())
        return true;
    // Bytes Qt still holds go out by themselves while the caller's wait keeps events flowing.
    // (Forcing them with flush() while the driver's buffer is full fails with "resource
    // temporarily unavailable", which would read as a lost device.)
    if (port_->bytesToWrite() > 0)
        return false;
    int pending = 0;
    if (::ioctl(int(port_->handle()), TIOCOUTQ, &pending) != 0)
        return true; // the driver cannot tell; what Qt held has gone
    return pending == 0;
}

std::string SerialLink::describe() const { return path_; }

void SerialLink::setDtr(bool on)
{
    if (port_->isOpen() && !port_->setDataTerminalReady(on))
        port_->clearError(); // a device without the line (a pseudo-terminal) keeps working
}

void SerialLink::setRts(bool on)
{
    // With hardware flow control the port drives RTS itself.
    if (port_->isOpen() && port_->flowControl() != QSerialPort::HardwareControl && !port_->setRequestToSend(on))
        port_->clearError();
}

Link::ModemLines SerialLink::modemLines() const
{
    ModemLines l;
    if (!port_->isOpen())
        return l;
    const auto pins = port_->pinoutSignals();
    port_->clearError();
    l.known = true;
    l.cts = pins.testFlag(QSerialPort::ClearToSendSignal);
    l.dsr = pins.testFlag(QSerialPort::DataSetReadySignal);
    l.dcd = pins.testFlag(QSerialPort::DataCarrierDetectSignal);
    return l;
}

// ---------------------------------------------------------------- TCP

TcpLink::TcpLink(std::string host, int port)
    : host_(std::move(host)), port_(port), sock_(std::make_unique<QTcpSocket>())
{
    QObject::connect(sock_.get(), &QTcpSocket::readyRead, [this] {
        const QByteArray data = sock_->readAll();
        if (!data.isEmpty() && onData)
            onData(std::string(data.constData(), size_t(data.size())));
    });
    QObject::connect(sock_.get(), &QTcpSocket::disconnected, [this] {
        if (onLost)
            onLost();
    });
}

TcpLink::~TcpLink()
{
    // A link being destroyed reports nothing to an owner that may itself be going away.
    onData = nullptr;
    onError = nullptr;
    onLost = nullptr;
    sock_->abort();
}

bool TcpLink::open(std::string&)
{
    if (sock_->state() != QAbstractSocket::UnconnectedState)
        close(); // dropping our own connection to make a new one is not a loss
    sock_->connectToHost(QString::fromStdString(host_), quint16(port_));
    return true;
}

void TcpLink::close()
{
    // abort() drops the connection without emitting a late "lost" for a close we asked for.
    const auto lost = std::move(onLost);
    onLost = nullptr;
    sock_->abort();
    onLost = lost;
}

bool TcpLink::isOpen() const { return sock_->state() == QAbstractSocket::ConnectedState; }

bool TcpLink::write(const std::string& bytes)
{
    if (!isOpen())
        return false;
    return sock_->write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

bool TcpLink::outputDrained()
{
    if (sock_->bytesToWrite() > 0)
        sock_->flush();
    return sock_->bytesToWrite() == 0;
}

std::string TcpLink::describe() const { return host_ + ":" + std::to_string(port_); }

// ---------------------------------------------------------------- devices

std::string serialDevicePath(int n, const SettingsStore* store)
{
    return serialDevicePath(n, store, SystemPortSource());
}

std::string serialDevicePath(int n, const SettingsStore* store, const PortSource& source)
{
    if (store) {
        const std::string over = store->get(kDevicesSection, "Com" + std::to_string(n), "");
        if (!over.empty())
            return over;
    }
    const std::vector<PortInfo> all = orderPorts(source.ports());
    if (n >= 1 && size_t(n) <= all.size())
        return all[size_t(n - 1)].device;
    return "/dev/ttyS" + std::to_string(std::max(0, n - 1));
}

std::string missingAdapterAdvice(const std::string& devicePath)
{
    struct stat st {};
    if (!isByIdPath(devicePath) || ::stat(devicePath.c_str(), &st) == 0)
        return {};
    return "The USB adapter \"" + adapterName(devicePath) + "\" is not plugged in.\nIts port is pinned to "
           + devicePath
           + ".\nPlug the adapter in and open the port again, or choose another port in CommPort Properties.";
}

std::string permissionAdvice(const std::string& devicePath)
{
    struct stat st {};
    if (::stat(devicePath.c_str(), &st) != 0)
        return {};
    if (::access(devicePath.c_str(), R_OK | W_OK) == 0)
        return {};
    const group* g = ::getgrgid(st.st_gid);
    const std::string name = g ? g->gr_name : std::to_string(st.st_gid);
    return "Permission denied: your user may not open " + devicePath + ". Add it to the group \"" + name
           + "\" that owns the device (sudo usermod -aG " + name + " $USER), then log out and in again.";
}

} // namespace common
