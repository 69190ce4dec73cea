#pragma once
// The controller's answer to the network search: a UDP port that takes the 8-byte discovery
// request (the byte 1 followed by seven zero bytes) and answers the sender, on this port + 3,
// with a short identification datagram. Anything else that arrives is ignored.
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace sim {

struct DiscoveryOptions {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 3000; // 0: any free port
    // What the controller sends back; the searching programs list the sender, not this.
    QByteArray answer = QByteArrayLiteral("TAVSIM ACU");
};

class DiscoveryResponder : public QObject {
    Q_OBJECT
public:
    // Answers go to the request port + 3.
    static constexpr int answerPortOffset = 3;

    explicit DiscoveryResponder(DiscoveryOptions options, QObject* parent = nullptr);
    ~DiscoveryResponder() override;

    // Binds the port; false with a message on failure.
    bool start(QString& error);
    void stop();
    quint16 port() const;
    int answered() const { return answered_; }

    // True for the discovery request and nothing else.
    static bool isRequest(const QByteArray& datagram);

signals:
    // An answer went to this address and port.
    void answeredRequest(const QHostAddress& to, quint16 port);

private:
    void readPending();

    DiscoveryOptions options_;
    QUdpSocket* socket_ = nullptr;
    int answered_ = 0;
};

} // namespace sim
