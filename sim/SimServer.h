#pragma once
// Serves one simulated ACU in real time over TCP and over a pseudo-terminal, the way the
// controller offers a network interface and a serial port. Every TCP connection and the
// pseudo-terminal get a port of their own (framing, reply queue, faults) on one shared
// device, so all of them see the same antenna.
#include "sim/AcuDevice.h"
#include "sim/AcuPort.h"
#include "sim/LinkDevice.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QTimer;

namespace sim {

struct ServerOptions {
    bool tcp = true;
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 2000; // 0: any free port
    bool pty = true;
    QString linkPath;    // a symbolic link to the pseudo-terminal, empty for none
    Faults faults;
    LineEnd lineEnd = LineEnd::Cr;
    Ms tick{10};         // how often the equipment's time moves on
    // What each link talks to. Empty: a port of the panel-facing ACU (with the faults and
    // line end above). Otherwise called once per link (TCP client, pseudo-terminal) with the
    // shared device, e.g. to serve one of the terminal-facing modules instead.
    std::function<std::unique_ptr<LinkDevice>(AcuDevice&)> linkDevice;
};

class SimServer : public QObject {
    Q_OBJECT
public:
    // The line the network interface sends when a client connects.
    static constexpr const char* greeting = "TAVSIM NET READY";

    explicit SimServer(ServerOptions options, QObject* parent = nullptr);
    ~SimServer() override;

    // Listens and opens the pseudo-terminal as configured; false with a message on failure.
    bool start(QString& error);
    // Closes everything and removes the link.
    void stop();

    quint16 tcpPort() const;
    QString ptyPath() const;
    int tcpClientCount() const { return static_cast<int>(clients_.size()); }
    AcuDevice& device() { return device_; }

signals:
    // A pseudo-terminal was opened (at start and again after a link drop).
    void ptyOpened(const QString& path);
    // A link was dropped on purpose: "tcp" or "pty".
    void linkDropped(const QString& which);

private:
    struct TcpClient {
        QTcpSocket* socket = nullptr;
        std::unique_ptr<LinkDevice> port;
    };
    struct Pty {
        int master = -1;
        int slave = -1; // held open so the master lives on while clients close and reopen
        QString path;
        QSocketNotifier* notifier = nullptr;
        std::unique_ptr<LinkDevice> port;
        std::string unsent;
    };

    std::unique_ptr<LinkDevice> newLinkDevice();
    void onTick();
    void onNewConnection();
    void onClientData(QTcpSocket* socket);
    void removeClient(QTcpSocket* socket);
    void flush(TcpClient& client);
    bool openPty(QString& error);
    void closePty();
    void readPty();
    void flushPty();
    bool makeLink(QString& error);
    void removeLink();

    ServerOptions options_;
    AcuDevice device_;
    QTcpServer* server_ = nullptr;
    QTimer* timer_ = nullptr;
    QElapsedTimer clock_;
    qint64 lastTick_ = 0;
    std::vector<TcpClient> clients_;
    Pty pty_;
    QString linkTarget_; // what our link points to, empty when we made none
};

} // namespace sim
