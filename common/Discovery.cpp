#include "Discovery.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <cctype>

namespace common {

namespace {

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// A run of 1 to `maxDigits` decimal digits, nothing else.
std::optional<long> decimal(const std::string& t, size_t maxDigits)
{
    if (t.empty() || t.size() > maxDigits)
        return std::nullopt;
    long v = 0;
    for (unsigned char c : t) {
        if (!std::isdigit(c))
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

class UdpDatagramSocket : public DatagramSocket {
public:
    UdpDatagramSocket()
    {
        QObject::connect(&socket_, &QUdpSocket::readyRead, &socket_, [this] { readAll(); });
    }
    ~UdpDatagramSocket() override { *alive_ = false; }

    bool bind(const std::string& address, int port, std::string& error) override
    {
        QHostAddress a;
        if (!a.setAddress(QString::fromStdString(address))) {
            error = "not an address: " + address;
            return false;
        }
        // Not shared: a port another program holds is an error, not a silent split of answers.
        if (!socket_.bind(a, quint16(port), QAbstractSocket::DontShareAddress)) {
            error = socket_.errorString().toStdString();
            return false;
        }
        return true;
    }

    bool send(const std::string& host, int port, const std::string& bytes, std::string& error) override
    {
        QHostAddress a;
        if (!a.setAddress(QString::fromStdString(host))) {
            error = "not an address: " + host;
            return false;
        }
        const QByteArray data(bytes.data(), qsizetype(bytes.size()));
        if (socket_.writeDatagram(data, a, quint16(port)) != data.size()) {
            error = socket_.errorString().toStdString();
            return false;
        }
        return true;
    }

private:
    // A handler may close the search (and so destroy this socket) while it runs: the handler is
    // called through a copy, and reading stops once the socket is gone.
    void readAll()
    {
        const auto alive = alive_;
        while (*alive && socket_.hasPendingDatagrams()) {
            const QNetworkDatagram d = socket_.receiveDatagram();
            if (!d.isValid()) {
                if (auto h = onReadError)
                    h(socket_.errorString().toStdString());
                return;
            }
            QHostAddress from = d.senderAddress();
            bool v4 = false;
            const quint32 plain = from.toIPv4Address(&v4);
            if (v4)
                from = QHostAddress(plain);
            if (auto h = onDatagram)
                h(from.toString().toStdString(), d.data().toStdString());
        }
    }

    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    QUdpSocket socket_;
};

} // namespace

std::string discoveryRequest() { return std::string("\x01\0\0\0\0\0\0\0", 8); }

std::string webPageUrl(const std::string& address) { return "http://" + address + "/"; }

std::optional<int> requestPort(const std::string& text)
{
    const auto v = decimal(trim(text), 5);
    if (!v || *v < 1 || *v > 65535 - kAnswerPortOffset)
        return std::nullopt;
    return int(*v);
}

std::optional<std::string> ipv4Address(const std::string& text)
{
    const std::string t = trim(text);
    std::string out;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = t.find('.', start);
        if ((part < 3) != (dot != std::string::npos))
            return std::nullopt; // too few or too many parts
        const std::string piece = t.substr(start, part < 3 ? dot - start : std::string::npos);
        const auto v = decimal(piece, 3);
        if (!v || *v > 255)
            return std::nullopt;
        out += (part ? "." : "") + std::to_string(*v);
        start = dot + 1;
    }
    return out;
}

std::unique_ptr<DatagramSocket> makeUdpSocket() { return std::make_unique<UdpDatagramSocket>(); }

Discovery::Discovery(Network network, SocketFactory makeSocket)
    : network_(std::move(network)), makeSocket_(std::move(makeSocket))
{
}

Discovery::~Discovery() = default;

bool Discovery::findAll(const std::string& portText) { return search(network_.broadcast, portText); }

bool Discovery::findSpecific(const std::string& address, const std::string& portText)
{
    return search(address, portText);
}

void Discovery::close()
{
    socket_.reset();
    answerPort_ = 0;
}

void Discovery::report(const char* text)
{
    if (onError)
        onError(text);
}

bool Discovery::search(const std::string& host, const std::string& portText)
{
    // Clear the list and close the socket: answers to an earlier request are not listed.
    found_.clear();
    close();
    if (onChanged)
        onChanged();

    const auto port = requestPort(portText);
    const auto address = ipv4Address(host);
    const auto bindAddress = ipv4Address(network_.bind);
    if (!port || !address || !bindAddress) {
        report(kFindSendError);
        return false;
    }
    auto socket = makeSocket_();
    std::string error;
    const int answers = *port + kAnswerPortOffset;
    if (!socket || !socket->bind(*bindAddress, answers, error)) {
        report(kFindSendError);
        return false;
    }
    socket->onDatagram = [this](const std::string& sender, const std::string&) {
        // The contents are not interpreted: the sender's address is what is listed.
        found_.push_back(sender);
        if (onChanged)
            onChanged();
    };
    socket->onReadError = [this](const std::string&) { report(kFindReceiveError); };
    if (!socket->send(*address, *port, discoveryRequest(), error)) {
        report(kFindSendError);
        return false;
    }
    socket_ = std::move(socket);
    answerPort_ = answers;
    lastTarget_ = *address + ":" + std::to_string(*port);
    return true;
}

} // namespace common
