#pragma once
// korrin's window (offscreen) on virtual time, wired through a real pseudo-terminal or a real
// TCP connection on loopback to one of the simulated terminal-facing modules. Between
// virtual-time steps the bench moves the bytes both ways until nothing is in flight, so the
// run is deterministic though the bytes cross the kernel. It records every byte that reached
// the module with the virtual time it arrived, every byte sent toward the terminal, every
// chunk the terminal received, and every message box.
#include "DeviceEnd.h"
#include "common/Endpoint.h"
#include "common/Link.h"
#include "common/SettingsStore.h"
#include "sim/Modules.h"
#include "sim/SimServer.h"
#include "terminal/app/frmTerminal.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace kint {

using common::Ms;
using Answer = term::TerminalUi::Answer;
using Buttons = term::TerminalUi::Buttons;
using Icon = term::TerminalUi::Icon;

inline const std::string ESC(1, '\x1b');
inline const std::string CRLF = "\r\n";

using benchlink::LinkTap;

// Bytes that reached the module, with the virtual time they arrived.
struct Arrival {
    Ms at;
    std::string bytes;
};

// A received chunk and the size of the screen once the terminal had shown it.
struct Chunk {
    size_t size;
    size_t screenAfter;
};

struct Box {
    std::string text, title;
    Buttons buttons;
    Icon icon;
};

struct BenchSetup {
    std::string module = "echo";    // the simulated module at the far end
    std::string direct = "DATA";    // stored module path code
    std::string settings = "9600,N,8,1";
    bool echo = false;
    bool greeting = true;           // TCP: the network interface greets each client first
};

class TerminalBench {
public:
    enum class Kind { Pty, Tcp };

    explicit TerminalBench(Kind kind, BenchSetup setup = {})
        : device(kind == Kind::Pty), kind_(kind), setup_(std::move(setup))
    {
        const auto dir = std::filesystem::temp_directory_path()
                         / ("korrin-sim-" + std::to_string(::getpid()) + "-" + std::to_string(++counter()));
        std::filesystem::create_directories(dir);
        dir_ = dir.string();
        store = std::make_unique<common::SettingsStore>(
            common::SettingsStore::atPath("KorrinUniv1", dir_ + "/KorrinUniv1.ini"));
        store->save("Properties", "Settings", setup_.settings);
        store->save("Properties", "Direct", setup_.direct);
        store->save("Properties", "Echo", setup_.echo ? "True" : "False");
        useModule(setup_.module);
        device.open([this] {
            ++accepted_;
            if (setup_.greeting)
                writeDevice(model->module().terminated(sim::SimServer::greeting));
        });
        clock.pump = [this] { pump(); };
        w = std::make_unique<frmTerminal>(clock, *store, [this](const term::Terminal& t) {
            std::unique_ptr<common::Link> real;
            if (t.serial)
                real = std::make_unique<common::SerialLink>(t.devicePath, t.settings, t.handshaking);
            else
                real = std::make_unique<common::TcpLink>(t.aAddress, t.nPort);
            auto tap = std::make_unique<LinkTap>(std::move(real));
            tap->afterData = [this](const std::string& d) { chunks.push_back({d.size(), w->terminal().screen.text().size()}); };
            tap->onOpen = [this] { ++opensAsked_; };
            this->tap = tap.get();
            ++linksMade;
            // A new link starts counting from zero.
            sentBase_ = crossed.size();
            recvBase_ = deviceWritten;
            return tap;
        });
        w->messageHook = [this](const std::string& text, const std::string& title, Buttons b, Icon i) {
            boxes.push_back({text, title, b, i});
            if (answers.empty())
                return Answer::Ok;
            const Answer a = answers.front();
            answers.pop_front();
            return a;
        };
        w->fileHook = [this](bool, const std::string&, const std::string&) {
            if (files.empty())
                return std::string();
            std::string f = files.front();
            files.pop_front();
            return f;
        };
        w->resize(900, 700);
    }

    ~TerminalBench()
    {
        clock.pump = nullptr;
        if (w) {
            w->messageHook = nullptr;
            w->close();
            w.reset();
        }
        device.drop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Start-up with this bench's link (the stored settings are read as usual).
    void start()
    {
        common::Endpoint e;
        e.serial = kind_ == Kind::Pty;
        e.device = device.ptyPath;
        e.host = "127.0.0.1";
        e.port = device.server.serverPort();
        w->Form_LoadWith(e);
        clock.advance(Ms{0});
    }

    // A fresh module at the far end (its time starts now).
    void useModule(const std::string& name)
    {
        model = std::make_unique<sim::ModuleModel>(name);
        model->device().setShipMotion(false);
        modelNow_ = clock.now();
    }

    // The far end sends these bytes itself (not the module).
    void deviceSend(const std::string& bytes)
    {
        writeDevice(bytes);
        pump();
    }

    bool ready() const { return device.ready(); }

    term::Terminal& t() { return w->terminal(); }
    const std::string& screen() { return w->terminal().screen.text(); }
    // The window's screen as shown (brought up to date first).
    std::string shown()
    {
        w->renderScreen();
        return txtTerm()->toPlainText().toStdString();
    }
    QPlainTextEdit* txtTerm() { return w->findChild<QPlainTextEdit*>("txtTerm"); }
    QLineEdit* field(const char* name) { return w->findChild<QLineEdit*>(name); }
    QAction* action(const char* name) { return w->findChild<QAction*>(name); }
    QPushButton* button(const char* name) { return w->findChild<QPushButton*>(name); }
    QLabel* statusPanel(const char* key) { return w->findChild<QLabel*>(QString("sbrStatus_%1").arg(key)); }

    // Triggers a menu or toolbar entry by its objectName, then lets what it sent arrive and be
    // answered; false when the entry is missing or disabled.
    bool trigger(const char* name)
    {
        QAction* a = action(name);
        if (!a || !a->isEnabled())
            return false;
        a->trigger();
        clock.advance(Ms{0});
        return true;
    }

    // A key typed in txtTerm: a character, or '\r' for Enter.
    void type(char c)
    {
        const int key = c == '\r' ? int(Qt::Key_Return) : int(QChar(QLatin1Char(c)).toUpper().unicode());
        QKeyEvent ev(QEvent::KeyPress, key, Qt::NoModifier, QString(QLatin1Char(c)));
        QCoreApplication::sendEvent(txtTerm(), &ev);
        clock.advance(Ms{0});
    }
    void type(const std::string& keys)
    {
        for (char c : keys)
            type(c);
    }

    // The serial line settings of the pseudo-terminal as the port left them.
    termios lineSettings() const
    {
        termios tio{};
        if (device.slave >= 0)
            ::tcgetattr(device.slave, &tio);
        return tio;
    }

    // When the last byte of each of these pieces reached the module, searching in order from
    // the first byte that crossed at or after `from`. Missing pieces give no entry.
    std::vector<Ms> arrivalsOf(const std::vector<std::string>& pieces, size_t from = 0) const
    {
        std::vector<Ms> out;
        size_t pos = from;
        for (const auto& p : pieces) {
            const size_t at = crossed.find(p, pos);
            if (at == std::string::npos)
                break;
            const size_t last = at + p.size() - 1;
            size_t offset = 0;
            for (const auto& a : arrivals) {
                if (last < offset + a.bytes.size()) {
                    out.push_back(a.at);
                    break;
                }
                offset += a.bytes.size();
            }
            pos = at + p.size();
        }
        return out;
    }

    const std::string& dir() const { return dir_; }
    Kind kind() const { return kind_; }

    common::VirtualClock clock;
    std::unique_ptr<common::SettingsStore> store;
    std::unique_ptr<sim::ModuleModel> model;
    std::unique_ptr<frmTerminal> w;
    LinkTap* tap = nullptr;
    int linksMade = 0;

    std::string crossed;           // every byte that reached the module, in order
    std::vector<Arrival> arrivals; // the same, as read, with the virtual time
    std::string fromDevice;        // every byte sent toward the terminal
    size_t deviceWritten = 0;
    std::vector<Chunk> chunks;     // chunks the terminal received
    std::vector<Box> boxes;        // message boxes shown
    std::deque<Answer> answers;    // answers for the coming boxes (Ok when used up)
    std::deque<std::string> files; // answers for the coming file dialogs (cancel when used up)
    std::function<void()> onPump;  // runs after each pump (a test's hand on the window)
    bool stalled = false;          // bytes in flight did not arrive within the real-time bound

    benchlink::DeviceEnd device; // the module's end: pty master or accepted TCP socket

private:
    static int& counter()
    {
        static int n = 0;
        return n;
    }

    void writeDevice(const std::string& bytes)
    {
        const size_t done = device.write(bytes);
        deviceWritten += done;
        fromDevice.append(bytes, 0, done);
    }

    // Move bytes until nothing is in flight (bounded in real time), then let the module's
    // time catch up with the virtual clock and send on what it has to say.
    void pump()
    {
        if (inPump_)
            return;
        inPump_ = true;
        settle();
        if (clock.now() > modelNow_) {
            model->advance(clock.now() - modelNow_);
            modelNow_ = clock.now();
        }
        writeDevice(model->takeOutput());
        settle();
        inPump_ = false;
        if (onPump)
            onPump();
    }

    void settle()
    {
        const bool settled = benchlink::settle(
            device, 20000, 100,
            [this](const std::string& in) {
                crossed += in;
                arrivals.push_back({clock.now(), in});
                model->receive(in);
                writeDevice(model->takeOutput());
            },
            [this] {
                const size_t sent = tap ? tap->written : 0;
                const size_t got = tap ? tap->received : 0;
                if (tap && tap->isOpen())
                    tap->opening = false;
                // A TCP connect under way is let complete, so it is made at a known virtual time.
                // Its greeting is part of what must arrive.
                const bool connecting =
                    kind_ == Kind::Tcp && tap && (tap->opening || (tap->isOpen() && accepted_ < opensAsked_));
                const bool linkUp = tap && tap->isOpen() && device.present();
                return !connecting
                       && (!linkUp || (crossed.size() >= sentBase_ + sent && got + recvBase_ >= deviceWritten));
            });
        if (!settled)
            stalled = true;
    }

    Kind kind_;
    BenchSetup setup_;
    bool inPump_ = false;
    Ms modelNow_{0};
    size_t sentBase_ = 0, recvBase_ = 0;
    int opensAsked_ = 0, accepted_ = 0;
    std::string dir_;
};

inline const char* kindName(TerminalBench::Kind k) { return k == TerminalBench::Kind::Pty ? "Pty" : "Tcp"; }
inline void PrintTo(TerminalBench::Kind k, std::ostream* os) { *os << kindName(k); }

} // namespace kint
