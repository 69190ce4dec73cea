#include "sim/DiscoveryResponder.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace sim {

DiscoveryResponder::DiscoveryResponder(DiscoveryOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options))
{
}

DiscoveryResponder::~DiscoveryResponder() { stop(); }

bool DiscoveryResponder::isRequest(const QByteArray& datagram)
{
    static const QByteArray request("\x01\0\0\0\0\0\0\0", 8);
    return datagram == request;
}

bool DiscoveryResponder::start(QString& error)
{
    stop();
    socket_ = new QUdpSocket(this);
    if (!socket_->bind(options_.address, options_.port, QAbstractSocket::DontShareAddress)) {
        error = QStringLiteral("cannot answer discovery on UDP %1:%2: %3")
                    .arg(options_.address.toString())
                    .arg(options_.port)
                    .arg(socket_->errorString());
        delete socket_;
        socket_ = nullptr;
        return false;
    }
    connect(socket_, &QUdpSocket::readyRead, this, &DiscoveryResponder::readPending);
    return true;
}

void DiscoveryResponder::stop()
{
    delete socket_;
    socket_ = nullptr;
}

quint16 DiscoveryResponder::port() const { return socket_ ? socket_->localPort() : 0; }

void DiscoveryResponder::readPending()
{
    while (socket_ && socket_->hasPendingDatagrams()) {
        const QNetworkDatagram d = socket_->receiveDatagram();
        if (!d.isValid())
            break; // nothing readable now; readyRead comes again with the next datagram
        if (!isRequest(d.data()))
            continue;
        // The answer goes to the sender's address on the request port + 3, whatever port the
        // request was sent from.
        const int to = int(socket_->localPort()) + answerPortOffset;
        if (to > 65535)
            continue;
        QHostAddress sender = d.senderAddress();
        bool v4 = false;
        const quint32 plain = sender.toIPv4Address(&v4);
        if (v4)
            sender = QHostAddress(plain);
        if (socket_->writeDatagram(options_.answer, sender, quint16(to)) == options_.answer.size()) {
            ++answered_;
            emit answeredRequest(sender, quint16(to));
        }
    }
}

} // namespace sim
