#pragma once
// The device end of a real link for the in-process benches: the master side of a raw
// pseudo-terminal, or the socket a loopback TCP server accepted. The bench's link under test
// opens the other side (the pseudo-terminal's path, or the server's port). Also the loop that
// moves bytes until nothing is in flight, bounded in rounds and in real time.
#include "common/Link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace benchlink {

class DeviceEnd {
public:
    explicit DeviceEnd(bool pty) : pty_(pty) {}
    ~DeviceEnd()
    {
        if (socket)
            socket->abort();
        closePty();
    }
    DeviceEnd(const DeviceEnd&) = delete;
    DeviceEnd& operator=(const DeviceEnd&) = delete;

    // A raw pseudo-terminal (master non-blocking), or a server on a free loopback port;
    // onAccepted runs for each client once it is the current socket.
    void open(std::function<void()> onAccepted = {})
    {
        if (pty_)
            openPty();
        else
            listenTcp(std::move(onAccepted));
    }

    bool isPty() const { return pty_; }
    // Opened and still there: the pseudo-terminal pair, or the listening server.
    bool ready() const { return pty_ ? master >= 0 && slave >= 0 : server.isListening(); }
    // The device side can still carry bytes (a TCP end counts as there; its state is the socket's).
    bool present() const { return !pty_ || master >= 0; }

    // What has arrived at the device side so far (bounded: at most 64 reads of the pty).
    std::string read()
    {
        std::string got;
        if (pty_) {
            if (master < 0)
                return got;
            char buf[4096];
            for (int i = 0; i < 64; ++i) {
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n <= 0)
                    break;
                got.append(buf, size_t(n));
            }
        } else if (socket) {
            const QByteArray d = socket->readAll();
            got.assign(d.constData(), size_t(d.size()));
        }
        return got;
    }

    // Sends bytes from the device side; returns how many were taken. The pseudo-terminal takes
    // a few kilobytes at a time, so the rest is offered again with events processed between
    // (bounded in rounds and to three seconds).
    size_t write(const std::string& bytes)
    {
        if (bytes.empty())
            return 0;
        if (pty_) {
            size_t done = 0;
            QElapsedTimer t;
            t.start();
            for (int i = 0; i < 100000 && done < bytes.size() && master >= 0 && !t.hasExpired(3000); ++i) {
                const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
                if (n > 0) {
                    done += size_t(n);
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    break;
                } else {
                    QCoreApplication::processEvents(QEventLoop::AllEvents);
                    ::usleep(100);
                }
            }
            return done;
        }
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            socket->write(bytes.data(), qint64(bytes.size()));
            return bytes.size();
        }
        return 0;
    }

    // The device goes away: the pseudo-terminal's far side closes, or the TCP peer resets and
    // no longer listens.
    void drop()
    {
        if (pty_) {
            closePty();
        } else {
            server.close();
            if (socket)
                socket->abort();
        }
    }

    std::string ptyPath;
    QTcpServer server;
    QTcpSocket* socket = nullptr;
    int master = -1, slave = -1;

private:
    void openPty()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios tio{};
        for (int fd : {master, slave}) {
            ::tcgetattr(fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        ptyPath = name;
    }

    void listenTcp(std::function<void()> onAccepted)
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this, onAccepted = std::move(onAccepted)] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                if (socket)
                    socket->deleteLater();
                socket = s;
                if (onAccepted)
                    onAccepted();
            }
        });
    }

    void closePty()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
        if (slave >= 0)
            ::close(slave);
        slave = -1;
    }

    bool pty_;
};

// Moves bytes until nothing is in flight: each round processes events, hands what reached the
// device to `arrived`, and stops once `quiet` says so. At most `rounds` rounds of `pauseUs`
// each and two seconds of real time; false when the time ran out first.
inline bool settle(DeviceEnd& device, int rounds, int pauseUs, const std::function<void(const std::string&)>& arrived,
                   const std::function<bool()>& quiet)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const std::string in = device.read();
        if (!in.empty())
            arrived(in);
        if (quiet())
            break;
        if (t.hasExpired(2000))
            return false;
        ::usleep(useconds_t(pauseUs));
    }
    return true;
}

// Passes everything through to the real link; counts the bytes that cross it and tells after
// each received chunk has been handled by the terminal.
class LinkTap : public common::Link {
public:
    explicit LinkTap(std::unique_ptr<common::Link> inner) : inner_(std::move(inner))
    {
        inner_->onData = [this](const std::string& d) {
            received += d.size();
            if (onData)
                onData(d);
            if (afterData)
                afterData(d);
        };
        inner_->onError = [this](int c, const std::string& t) {
            if (onError)
                onError(c, t);
        };
        inner_->onLost = [this] {
            if (onLost)
                onLost();
        };
    }
    bool open(std::string& e) override
    {
        opening = true;
        if (onOpen)
            onOpen();
        return inner_->open(e);
    }
    void close() override
    {
        opening = false;
        inner_->close();
    }
    bool isOpen() const override { return inner_->isOpen(); }
    bool write(const std::string& b) override
    {
        const bool ok = inner_->write(b);
        if (ok)
            written += b.size();
        return ok;
    }
    bool outputDrained() override { return inner_->outputDrained(); }
    std::string describe() const override { return inner_->describe(); }
    void setDtr(bool on) override { inner_->setDtr(on); }
    void setRts(bool on) override { inner_->setRts(on); }
    ModemLines modemLines() const override { return inner_->modemLines(); }
    common::Link& inner() { return *inner_; }

    size_t received = 0;
    size_t written = 0;
    // Asked to open and not yet seen open: a TCP connect under way.
    bool opening = false;
    std::function<void(const std::string&)> afterData;
    std::function<void()> onOpen;

private:
    std::unique_ptr<common::Link> inner_;
};

} // namespace benchlink
