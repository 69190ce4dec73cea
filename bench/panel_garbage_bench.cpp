// Garbage benchmark, velmar: the main window (offscreen, real clock) polls the simulated ACU
// over loopback TCP through a tap; the tap replaces the ACU's replies by 10 MB of random bytes,
// then lets the replies through again. Reported: the resident size before and after, how long
// the panel took to swallow the bytes, and how long until it decodes a whole poll cycle again
// without a sync error (in milliseconds and in poll cycles).
//
//   panel_garbage_bench [megabytes]   (default 10)
#include "BenchSupport.h"

#include "common/Endpoint.h"
#include "common/SettingsStore.h"
#include "panel/app/frmMain.h"
#include "panel/core/LinkFactory.h"
#include "sim/SimServer.h"

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;

// Between velmar and the simulator: passes everything, or replaces what comes back by the
// bytes it is given.
class Tap : public QObject {
public:
    Tap(quint16 upstreamPort) : upstreamPort_(upstreamPort)
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            down_ = server_.nextPendingConnection();
            up_ = new QTcpSocket(this);
            up_->connectToHost(QHostAddress::LocalHost, upstreamPort_);
            connect(down_, &QTcpSocket::readyRead, this, [this] { up_->write(down_->readAll()); });
            connect(up_, &QTcpSocket::readyRead, this, [this] {
                const QByteArray d = up_->readAll();
                if (!garbage_)
                    down_->write(d);
            });
        });
    }
    quint16 port() const { return server_.serverPort(); }
    // Sends the bytes in place of the replies; returns once they have all gone to the socket.
    void flood(const std::string& bytes)
    {
        garbage_ = true;
        size_t sent = 0;
        constexpr size_t kPiece = 64 * 1024;
        runUntil(
            [&] {
                while (sent < bytes.size() && down_->bytesToWrite() < 4 * qint64(kPiece)) {
                    const size_t n = std::min(kPiece, bytes.size() - sent);
                    down_->write(bytes.data() + sent, qint64(n));
                    sent += n;
                }
                return sent == bytes.size() && down_->bytesToWrite() == 0;
            },
            600000);
        garbage_ = false;
    }

private:
    quint16 upstreamPort_;
    QTcpServer server_;
    QTcpSocket* down_ = nullptr;
    QTcpSocket* up_ = nullptr;
    bool garbage_ = false;
};

void velmar(size_t bytes, const std::filesystem::path& dir)
{
    sim::ServerOptions opt;
    opt.port = 0;
    opt.pty = false;
    sim::SimServer sim(opt);
    QString error;
    if (!sim.start(error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        std::exit(1);
    }
    Tap tap(sim.tcpPort());

    auto store = common::SettingsStore::atPath("multTAVRemote", (dir / "multTAVRemote.ini").string());
    common::QtClock clock;
    frmMain w(clock, store, panel::makeLinkFactory(&store));
    w.messageHook = [](const std::string& text, const std::string&, panel::PanelUi::Buttons, panel::PanelUi::Icon) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return panel::PanelUi::Answer::Ok;
    };
    common::Endpoint e;
    e.serial = false;
    e.host = "127.0.0.1";
    e.port = tap.port();
    w.shared().endpoint = e;

    // Every decoded reply, and whether it decoded without a sync error.
    struct Decoded {
        std::chrono::steady_clock::time_point at;
        bool good;
    };
    std::vector<Decoded> decoded;
    w.Form_Load();
    auto inner = w.link().decode;
    w.link().decode = [&](const std::string& line, const std::string& command) {
        inner(line, command);
        decoded.push_back({std::chrono::steady_clock::now(), w.shared().syncErrors == 0});
    };
    w.link().setPacing(50);
    const size_t cycle = 21; // the ANTENNA screen's poll sequence
    runUntil([&] { return decoded.size() > 3 * cycle; }, 30000);
    // The bytes to send are made first, so the resident sizes compare the panel alone.
    const std::string junk = randomBytes(bytes, 1);
    const long before = residentKb();

    const auto t0 = std::chrono::steady_clock::now();
    tap.flood(junk);
    const auto t1 = std::chrono::steady_clock::now();
    decoded.clear();
    // Good again once a whole poll cycle decodes without a sync error.
    std::chrono::steady_clock::time_point runStart{};
    const double waited = runUntil(
        [&] {
            size_t good = 0;
            for (size_t i = 0; i < decoded.size(); ++i) {
                good = decoded[i].good ? good + 1 : 0;
                if (good == 1)
                    runStart = decoded[i].at;
                if (good >= cycle)
                    return true;
            }
            return false;
        },
        120000);
    const long after = residentKb();
    const double swallow = std::chrono::duration<double, std::milli>(t1 - t0).count();
    const double recovered = std::chrono::duration<double, std::milli>(runStart - t1).count();
    const double cycleMs = double(cycle) * 50;
    std::printf("velmar over loopback TCP, pacing 50 ms (a poll cycle of %zu commands = %.0f ms):\n", cycle, cycleMs);
    std::printf("  %zu MB of random bytes taken in %.0f ms; resident size %ld kB before, %ld kB after\n",
                bytes >> 20, swallow, before, after);
    if (waited < 0)
        std::printf("  NOT RECOVERED: no whole poll cycle decoded cleanly within 120 s\n");
    else
        std::printf("  decoding cleanly again %.0f ms after the garbage ended (%.2f poll cycles); "
                    "a whole cycle clean %.0f ms after\n",
                    recovered, recovered / cycleMs, waited);
    w.link().Shutdown();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const size_t megabytes = argc > 1 ? size_t(std::max(1, std::atoi(argv[1]))) : 10;
    const auto dir = std::filesystem::temp_directory_path() / ("panel-garbage-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    velmar(megabytes << 20, dir);
    std::filesystem::remove_all(dir);
    return 0;
}
