#include "sim/SimServer.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// Output held for a pseudo-terminal nobody reads is capped; the oldest bytes go first.
constexpr std::size_t kPtyBacklog = 64 * 1024;

void makeRaw(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
}

} // namespace

SimServer::SimServer(ServerOptions options, QObject* parent) : QObject(parent), options_(std::move(options))
{
}

SimServer::~SimServer()
{
    stop();
}

bool SimServer::start(QString& error)
{
    if (options_.tcp) {
        server_ = new QTcpServer(this);
        if (!server_->listen(options_.address, options_.port)) {
            error = QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(options_.address.toString())
                        .arg(options_.port)
                        .arg(server_->errorString());
            return false;
        }
        connect(server_, &QTcpServer::newConnection, this, &SimServer::onNewConnection);
    }
    if (options_.pty && !openPty(error))
        return false;

    clock_.start();
    lastTick_ = 0;
    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &SimServer::onTick);
    timer_->start(static_cast<int>(options_.tick.count()));
    return true;
}

void SimServer::stop()
{
    if (timer_)
        timer_->stop();
    for (auto& c : clients_) {
        c.socket->disconnect(this);
        c.socket->abort();
        c.socket->deleteLater();
    }
    clients_.clear();
    if (server_)
        server_->close();
    closePty();
    removeLink();
}

quint16 SimServer::tcpPort() const
{
    return server_ ? server_->serverPort() : 0;
}

QString SimServer::ptyPath() const
{
    return pty_.path;
}

std::unique_ptr<LinkDevice> SimServer::newLinkDevice()
{
    if (options_.linkDevice)
        return options_.linkDevice(device_);
    return std::make_unique<AcuPort>(device_, options_.faults, options_.lineEnd);
}

// ------------------------------------------------------------------ time

void SimServer::onTick()
{
    const qint64 t = clock_.elapsed();
    const Ms dt{t - lastTick_};
    lastTick_ = t;
    if (dt <= Ms{0})
        return;
    device_.advance(dt);

    std::vector<QTcpSocket*> dropped;
    for (auto& c : clients_) {
        c.port->advance(dt);
        flush(c);
        if (c.port->linkDropDue())
            dropped.push_back(c.socket);
    }
    for (QTcpSocket* s : dropped) {
        s->flush();
        s->disconnectFromHost();
        removeClient(s);
        emit linkDropped(QStringLiteral("tcp"));
    }

    if (pty_.port) {
        pty_.port->advance(dt);
        flushPty();
        if (pty_.port->linkDropDue()) {
            closePty();
            emit linkDropped(QStringLiteral("pty"));
            QString error;
            if (!openPty(error))
                qWarning("tavsim: %s", qPrintable(error));
        }
    }
}

// ------------------------------------------------------------------ TCP

void SimServer::onNewConnection()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        TcpClient c;
        c.socket = socket;
        c.port = newLinkDevice();
        const std::string hello = c.port->terminated(greeting);
        socket->write(hello.data(), static_cast<qint64>(hello.size()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onClientData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { removeClient(socket); });
        clients_.push_back(std::move(c));
    }
}

void SimServer::onClientData(QTcpSocket* socket)
{
    auto it = std::find_if(clients_.begin(), clients_.end(), [socket](const TcpClient& c) { return c.socket == socket; });
    if (it == clients_.end())
        return;
    const QByteArray data = socket->readAll();
    it->port->receive(std::string(data.constData(), static_cast<std::size_t>(data.size())));
    flush(*it);
}

void SimServer::flush(TcpClient& client)
{
    const std::string out = client.port->takeOutput();
    if (!out.empty())
        client.socket->write(out.data(), static_cast<qint64>(out.size()));
}

void SimServer::removeClient(QTcpSocket* socket)
{
    auto it = std::find_if(clients_.begin(), clients_.end(), [socket](const TcpClient& c) { return c.socket == socket; });
    if (it == clients_.end())
        return;
    socket->disconnect(this);
    socket->deleteLater();
    clients_.erase(it);
}

// ------------------------------------------------------------------ pseudo-terminal

bool SimServer::openPty(QString& error)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    makeRaw(slave);
    makeRaw(master);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);

    pty_.master = master;
    pty_.slave = slave;
    pty_.path = QString::fromLocal8Bit(name);
    pty_.port = newLinkDevice();
    pty_.unsent.clear();
    pty_.notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(pty_.notifier, &QSocketNotifier::activated, this, &SimServer::readPty);

    if (!options_.linkPath.isEmpty() && !makeLink(error))
        return false;
    emit ptyOpened(pty_.path);
    return true;
}

void SimServer::closePty()
{
    if (pty_.notifier) {
        pty_.notifier->setEnabled(false);
        pty_.notifier->deleteLater();
        pty_.notifier = nullptr;
    }
    if (pty_.master >= 0)
        ::close(pty_.master);
    if (pty_.slave >= 0)
        ::close(pty_.slave);
    pty_.master = pty_.slave = -1;
    pty_.port.reset();
    pty_.unsent.clear();
}

void SimServer::readPty()
{
    if (pty_.master < 0 || !pty_.port)
        return;
    char buf[4096];
    // Bounded: a client cannot keep this loop going for more than a few reads per event.
    for (int i = 0; i < 16; ++i) {
        const ssize_t n = ::read(pty_.master, buf, sizeof buf);
        if (n <= 0)
            break;
        pty_.port->receive(std::string(buf, static_cast<std::size_t>(n)));
    }
    flushPty();
}

void SimServer::flushPty()
{
    if (pty_.master < 0 || !pty_.port)
        return;
    pty_.unsent += pty_.port->takeOutput();
    if (pty_.unsent.size() > kPtyBacklog)
        pty_.unsent.erase(0, pty_.unsent.size() - kPtyBacklog);
    while (!pty_.unsent.empty()) {
        const ssize_t n = ::write(pty_.master, pty_.unsent.data(), pty_.unsent.size());
        if (n <= 0)
            break; // full (nobody reading) or gone: keep it for the next tick
        pty_.unsent.erase(0, static_cast<std::size_t>(n));
    }
}

bool SimServer::makeLink(QString& error)
{
    const QByteArray link = QFile::encodeName(options_.linkPath);
    const QFileInfo info(options_.linkPath);
    if (info.isSymLink()) {
        ::unlink(link.constData());
    } else if (info.exists()) {
        error = QStringLiteral("%1 exists and is not a symbolic link").arg(options_.linkPath);
        return false;
    }
    if (::symlink(QFile::encodeName(pty_.path).constData(), link.constData()) != 0) {
        error = QStringLiteral("cannot link %1: %2").arg(options_.linkPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    linkTarget_ = pty_.path;
    return true;
}

void SimServer::removeLink()
{
    if (linkTarget_.isEmpty())
        return;
    // Only our own link goes: something else may have been put there meanwhile.
    const QByteArray link = QFile::encodeName(options_.linkPath);
    char target[4096];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
    if (n > 0 && QByteArray(target, static_cast<int>(n)) == QFile::encodeName(linkTarget_))
        ::unlink(link.constData());
    linkTarget_.clear();
}

} // namespace sim
