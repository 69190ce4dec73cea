#pragma once
// The panel's link logic on virtual time, wired through a real pseudo-terminal or a real TCP
// connection on loopback to the simulated ACU. Between virtual-time steps the bench moves the
// bytes both ways until everything in flight has arrived, so the run is deterministic even
// though the bytes cross the kernel.
#include "DeviceEnd.h"
#include "panel/FakeUi.h"
#include "panel/core/PanelCore.h"
#include "sim/AcuModel.h"
#include "sim/SimServer.h"

#include "common/Link.h"
#include "common/SettingsStore.h"

#include <QCoreApplication>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace integ {

using common::Ms;

// Passes everything through to the real link and counts the bytes that cross it.
using CountingLink = benchlink::LinkTap;

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

    explicit SimBench(Kind kind) : ui(clock), device(kind == Kind::Pty), kind_(kind)
    {
        const auto dir = std::filesystem::temp_directory_path() / ("panel-sim-" + std::to_string(::getpid()) + "-"
                                                                   + std::to_string(++counter()));
        std::filesystem::create_directories(dir);
        dir_ = dir.string();
        store = std::make_unique<common::SettingsStore>(
            common::SettingsStore::atPath("multTAVRemote", dir_ + "/multTAVRemote.ini"));
        // The network interface greets each client with one line.
        device.open([this] { writeDevice(std::string(sim::SimServer::greeting) + "\r"); });
        clock.pump = [this] { pump(); };
        core = std::make_unique<panel::PanelCore>(shared, main, clock, ui, [this](const panel::PanelShared&) {
            std::unique_ptr<common::Link> real;
            if (kind_ == Kind::Pty)
                real = std::make_unique<common::SerialLink>(device.ptyPath, "9600,N,8,1");
            else
                real = std::make_unique<common::TcpLink>("127.0.0.1", device.server.serverPort());
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
        store->save("Properties", "Port1", std::to_string(device.server.serverPort()));
        store->save("Devices", "Com1", device.ptyPath);
    }

    ~SimBench()
    {
        clock.pump = nullptr;
        core.reset();
        device.drop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // The device end goes away: the pseudo-terminal's far side closes, or the TCP peer resets.
    void dropDevice()
    {
        device.drop();
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
    benchlink::DeviceEnd device; // the ACU's end: pty master or accepted TCP socket
    size_t deviceWritten = 0; // bytes the ACU sent toward the panel
    bool stalled = false;     // bytes in flight did not arrive within the real-time bound

private:
    static int& counter()
    {
        static int n = 0;
        return n;
    }

    void writeDevice(const std::string& bytes) { deviceWritten += device.write(bytes); }

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
        const bool settled = benchlink::settle(
            device, 2000, 200,
            [this](const std::string& in) {
                crossed += in;
                model.receive(in);
                writeDevice(model.takeOutput());
            },
            [this] {
                const size_t sent = counting ? counting->written : 0;
                const size_t got = counting ? counting->received : 0;
                const bool linkUp = counting && counting->isOpen() && device.present();
                return !linkUp || (crossed.size() >= sentBase_ + sent && got + recvBase_ >= deviceWritten);
            });
        if (!settled)
            stalled = true;
    }

    Kind kind_;
    bool inPump_ = false;
    Ms modelNow_{0};
    size_t sentBase_ = 0, recvBase_ = 0;
    std::string dir_;
};

} // namespace integ
