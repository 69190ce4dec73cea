#pragma once
// A stand-in for controllers on a local network, made of loopback sockets only: it takes the
// discovery request on 127.0.0.1 at a request port and answers from any number of 127.x
// addresses, each as often as asked, to the sender on the request port + 3.
#include "TestSupport.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// True when nobody holds the UDP port on the address (checked by binding it for a moment).
inline bool udpPortFree(const QHostAddress& address, int port)
{
    if (port < 1 || port > 65535)
        return false;
    QUdpSocket probe;
    return probe.bind(address, quint16(port), QAbstractSocket::DontShareAddress);
}

class LoopbackLan {
public:
    struct Request {
        std::string bytes;
        std::string senderAddress;
        int senderPort = 0;
    };

    // Binds a free request port P on 127.0.0.1 whose answer port P + 3 is free as well.
    LoopbackLan()
    {
        constexpr int kAttempts = 50;
        for (int i = 0; i < kAttempts && !port_; ++i) {
            auto s = std::make_unique<QUdpSocket>();
            if (!s->bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress))
                continue;
            const int p = s->localPort();
            if (p + 3 > 65535 || !udpPortFree(QHostAddress::LocalHost, p + 3))
                continue;
            listen_ = std::move(s);
            port_ = p;
        }
        if (listen_)
            QObject::connect(listen_.get(), &QUdpSocket::readyRead, [this] { take(); });
    }

    bool ok() const { return port_ != 0; }
    int port() const { return port_; }
    int answerPort() const { return port_ + 3; }

    // The controllers that answer each request: their addresses, and how often each answers.
    std::vector<std::string> controllers{"127.0.0.1"};
    int answersEach = 1;

    const std::vector<Request>& requests() const { return requests_; }

    // Sends one datagram from `from` to 127.0.0.1 at the answer port, unasked.
    bool answerFrom(const std::string& from, const std::string& toAddress = "127.0.0.1")
    {
        const QHostAddress to(QString::fromStdString(toAddress));
        if (!to.isLoopback())
            return false; // nothing leaves this machine
        QUdpSocket s;
        if (!s.bind(QHostAddress(QString::fromStdString(from)), 0))
            return false;
        return s.writeDatagram(QByteArray("TAV"), to, quint16(answerPort())) == 3;
    }

private:
    void take()
    {
        while (listen_->hasPendingDatagrams()) {
            const QNetworkDatagram d = listen_->receiveDatagram();
            if (!d.isValid())
                break;
            requests_.push_back({d.data().toStdString(), d.senderAddress().toString().toStdString(), d.senderPort()});
            for (const auto& c : controllers)
                for (int i = 0; i < answersEach; ++i)
                    answerFrom(c, d.senderAddress().toString().toStdString());
        }
    }

    std::unique_ptr<QUdpSocket> listen_;
    int port_ = 0;
    std::vector<Request> requests_;
};

} // namespace testsupport
