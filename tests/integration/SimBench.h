#pragma once
// The panel's link logic on virtual time, wired through a real pseudo-terminal or a real TCP
// connection on loopback to the simulated ACU. Between virtual-time steps the bench moves the
// bytes both ways until everything in flight has arrived, so the run is deterministic even
// though the bytes cross the kernel.
#include "panel/FakeUi.h"
#include "panel/core/PanelCore.h"
#include "sim/AcuModel.h"
#include "sim/SimServer.h"

#include "common/Link.h"
#include "common/SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace integ {

using common::Ms;

// Passes everything through to the real link and counts the bytes that cross it.
class CountingLink : public common::Link {
public:
    explicit CountingLink(std::unique_ptr<common::Link> inner) : inner_(std::move(inner))
    {
        inner_->onData = [this](const std::string& d) {
            received += d.size();
            if (onData)
                onData(d);
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
    bool open(std::string& e) override { return inner_->open(e); }
    void close() override { inner_->close(); }
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

    size_t received = 0;
    size_t written = 0;

private:
    std::unique_ptr<common::Link> inner_;
};

// What the ACU saw and answered, with the virtual time of each command's departure.
struct Departure {
    Ms at;
    std::string bytes;
};
struct Matched {
    std::string line, command;
};

class SimBench {
public:
    enum class Kind { Pty, Tcp };

    explicit SimBench(Kind kind) : ui(clock), kind_(kind)
    {
        const auto dir = std::filesystem::temp_directory_path() / ("panel-sim-" + std::to_string(::getpid()) + "-"
                                                                   + std::to_string(++counter()));
        std::filesystem::create_directories(dir);
        dir_ = dir.string();
        store = std::make_unique<common::SettingsStore>(
            common::SettingsStore::atPath("multTAVRemote", dir_ + "/multTAVRemote.ini"));
        if (kind == Kind::Pty)
            openPty();
        else
            listenTcp();
        clock.pump = [this] { pump(); };
        core = std::make_unique<panel::PanelCore>(shared, main, clock, ui, [this](const panel::PanelShared&) {
            std::unique_ptr<common::Link> real;
            if (kind_ == Kind::Pty)
                real = std::make_unique<common::SerialLink>(ptyPath, "9600,N,8,1");
            else
                real = std::make_unique<common::TcpLink>("127.0.0.1", server.serverPort());
            auto c = std::make_unique<CountingLink>(std::move(real));
            counting = c.get();
            // A new link starts counting from zero.
            sentBase_ = crossed.size();
            recvBase_ = deviceWritten;
            return c;
        }, store.get());
        link = &core->link;
        link->onSent = [this](const std::string& b) { departures.push_back({clock.now(), b}); };
        link->onReply = [this](const std::string& l, const std::string& c) { matched.push_back({l, c}); };
        // Start-up reads the profile: the active one is this bench's link.
        store->save("Properties", "Serial1", kind == Kind::Pty ? "True" : "False");
        store->save("Properties", "Address1", "127.0.0.1");
        store->save("Properties", "Port1", std::to_string(server.serverPort()));
        store->save("Devices", "Com1", ptyPath);
    }

    ~SimBench()
    {
        clock.pump = nullptr;
        core.reset();
        if (socket)
            socket->abort();
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // The device end goes away: the pseudo-terminal's far side closes, or the TCP peer resets.
    void dropDevice()
    {
        if (kind_ == Kind::Pty) {
            ::close(master);
            master = -1;
            ::close(slave);
            slave = -1;
        } else {
            server.close();
            if (socket)
                socket->abort();
        }
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    // Every byte that reached the ACU, in order.
    std::string crossed;
    sim::AcuModel model;
    common::VirtualClock clock;
    paneltest::FakeUi ui;
    panel::PanelShared shared;
    panel::MainState main;
    std::unique_ptr<common::SettingsStore> store;
    std::unique_ptr<panel::PanelCore> core; // link, decoder, indicators and front panel
    panel::PanelLink* link = nullptr;
    CountingLink* counting = nullptr;
    std::vector<Departure> departures;
    std::vector<Matched> matched;
    std::string ptyPath;
    QTcpServer server;
    QTcpSocket* socket = nullptr;
    int master = -1, slave = -1;
    size_t deviceWritten = 0; // bytes the ACU sent toward the panel
    bool stalled = false;     // bytes in flight did not arrive within the real-time bound

private:
    static int& counter()
    {
        static int n = 0;
        return n;
    }

    void openPty()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::tcgetattr(master, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master, TCSANOW, &t);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        ptyPath = name;
    }

    void listenTcp()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                if (socket)
                    socket->deleteLater();
                socket = s;
                // The network interface greets each client with one line.
                const std::string hello = std::string(sim::SimServer::greeting) + "\r";
                socket->write(hello.data(), qint64(hello.size()));
                deviceWritten += hello.size();
            }
        });
    }

    std::string readDevice()
    {
        std::string got;
        if (kind_ == Kind::Pty) {
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

    void writeDevice(const std::string& bytes)
    {
        if (bytes.empty())
            return;
        if (kind_ == Kind::Pty) {
            if (master >= 0 && ::write(master, bytes.data(), bytes.size()) == ssize_t(bytes.size()))
                deviceWritten += bytes.size();
        } else if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            socket->write(bytes.data(), qint64(bytes.size()));
            deviceWritten += bytes.size();
        }
    }

    // Move bytes until nothing is in flight (bounded in real time), then let the ACU's time
    // catch up with the virtual clock and send what it has to say.
    void pump()
    {
        if (inPump_)
            return;
        inPump_ = true;
        settle();
        model.advance(clock.now() - modelNow_);
        modelNow_ = clock.now();
        writeDevice(model.takeOutput());
        settle();
        inPump_ = false;
    }

    void settle()
    {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 2000; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            const std::string in = readDevice();
            if (!in.empty()) {
                crossed += in;
                model.receive(in);
                writeDevice(model.takeOutput());
            }
            const size_t sent = counting ? counting->written : 0;
            const size_t got = counting ? counting->received : 0;
            const bool linkUp = counting && counting->isOpen() && (master >= 0 || kind_ == Kind::Tcp);
            if (!linkUp || (crossed.size() >= sentBase_ + sent && got + recvBase_ >= deviceWritten))
                break;
            if (t.hasExpired(2000)) {
                stalled = true;
                break;
            }
            ::usleep(200);
        }
    }

    Kind kind_;
    bool inPump_ = false;
    Ms modelNow_{0};
    size_t sentBase_ = 0, recvBase_ = 0;
    std::string dir_;
};

} // namespace integ
