#pragma once
// The terminal logic on virtual time over a real link: a pseudo-terminal whose master side the
// bench holds as the equipment, or a TCP server on loopback. Between virtual-time steps the
// bench delivers Qt's socket and port events and reads what reached the equipment, so the run
// stays deterministic though the bytes cross the kernel.
#include "TerminalFixture.h"
#include "common/TestSupport.h"

#include "common/Link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace termtest {

class LinkBench {
public:
    enum class Kind { Pty, Tcp };

    explicit LinkBench(Kind kind)
        : ui(clock), t(clock, ui, [this](const term::Terminal& term) -> std::unique_ptr<common::Link> {
              if (term.serial)
                  return std::make_unique<common::SerialLink>(ptyPath, term.settings, term.handshaking);
              return std::make_unique<common::TcpLink>(term.aAddress, term.nPort);
          }),
          kind_(kind)
    {
        if (kind == Kind::Pty) {
            openPty();
            t.serial = true;
        } else {
            server.listen(QHostAddress::LocalHost, 0);
            QObject::connect(&server, &QTcpServer::newConnection, [this] {
                while (QTcpSocket* s = server.nextPendingConnection()) {
                    if (peer)
                        peer->deleteLater();
                    peer = s;
                    ++connections;
                }
            });
            t.serial = false;
            t.aAddress = "127.0.0.1";
            t.nPort = server.serverPort();
        }
        clock.pump = [this] { pump(); };
    }

    ~LinkBench()
    {
        clock.pump = nullptr;
        if (peer)
            peer->abort();
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }

    bool ready() const { return kind_ == Kind::Pty ? master >= 0 : server.isListening(); }

    // The equipment sends bytes toward the terminal.
    void deviceSend(const std::string& bytes)
    {
        if (kind_ == Kind::Pty) {
            size_t done = 0;
            QElapsedTimer timer;
            timer.start();
            while (done < bytes.size() && !timer.hasExpired(3000)) {
                const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
                if (n > 0)
                    done += size_t(n);
                else if (n < 0 && errno != EAGAIN && errno != EINTR)
                    break;
            }
        } else if (peer) {
            peer->write(bytes.data(), qint64(bytes.size()));
            peer->flush();
        }
    }

    // Deliver events and read the equipment's side until pred() holds (bounded in real time).
    bool settleUntil(const std::function<bool()>& pred, int timeoutMs = 3000)
    {
        return testsupport::pumpUntil([&] {
            pump();
            return pred();
        }, timeoutMs);
    }

    common::VirtualClock clock;
    FakeTerminalUi ui;
    term::Terminal t;
    // Everything that reached the equipment, in order.
    std::string atDevice;
    // The equipment reads nothing before this virtual time (a line that does not drain).
    Ms readFrom{0};
    // While this holds false, a pump waits (in real time, bounded) for it: e.g. a TCP connect
    // that must complete before virtual time moves on.
    std::function<bool()> waitFor;
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    int connections = 0;
    std::string ptyPath;
    int master = -1, slave = -1;

private:
    void openPty()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios tio{};
        ::tcgetattr(master, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(master, TCSANOW, &tio);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        ptyPath = name;
    }

    size_t readDevice()
    {
        if (clock.now() < readFrom)
            return 0;
        size_t got = 0;
        if (kind_ == Kind::Pty) {
            char buf[4096];
            for (int i = 0; i < 256 && master >= 0; ++i) {
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n <= 0)
                    break;
                atDevice.append(buf, size_t(n));
                got += size_t(n);
            }
        } else if (peer) {
            const QByteArray d = peer->readAll();
            atDevice.append(d.constData(), size_t(d.size()));
            got = size_t(d.size());
        }
        return got;
    }

    void pump()
    {
        if (inPump_)
            return;
        inPump_ = true;
        QElapsedTimer timer;
        timer.start();
        // Keep moving bytes while any move; when a waitFor is set, until it holds.
        for (int quiet = 0, i = 0; i < 5000 && !timer.hasExpired(3000); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            const size_t moved = readDevice();
            quiet = moved ? 0 : quiet + 1;
            const bool waited = !waitFor || waitFor();
            if (waited && quiet >= 3)
                break;
            if (!moved)
                ::usleep(200);
        }
        inPump_ = false;
    }

    Kind kind_;
    bool inPump_ = false;
};

} // namespace termtest
