// Terminal benchmark: how fast received text gets onto the terminal screen, and what it costs.
//   1. into the screen model (the terminal logic alone), plain and hex display;
//   2. through a real pseudo-terminal into the whole window (offscreen), plain and hex:
//      flat out, and paced at 115200 baud (11520 characters per second) to show nothing is lost.
//
//   terminal_bench [seconds]   (default 5 s per paced run)
#include "BenchSupport.h"

#include "common/SettingsStore.h"
#include "terminal/app/frmTerminal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

// Text as a device prints it: lines of 78 characters and CR LF.
std::string sampleText(size_t n)
{
    std::string s;
    s.reserve(n);
    size_t col = 0;
    for (size_t i = 0; s.size() < n; ++i) {
        if (col == 78) {
            s += "\r\n";
            col = 0;
            continue;
        }
        s += char('A' + i % 26);
        ++col;
    }
    s.resize(n);
    return s;
}

class NullUi : public term::TerminalUi {
public:
    Answer message(const std::string& text, const std::string&, Buttons, Icon) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return Answer::Ok;
    }
    void refresh() override {}
};

void screenModel(bool hex)
{
    common::VirtualClock clock;
    NullUi ui;
    term::Terminal t(clock, ui, nullptr);
    t.dataPath = hex ? false : true;
    t.hexDisplay = hex;
    const std::string chunk = sampleText(1024);
    const size_t total = 50u << 20; // 50 MB
    const double c0 = bench::cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    for (size_t sent = 0; sent < total; sent += chunk.size())
        t.OnReceive(chunk);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = bench::cpuSeconds() - c0;
    std::printf("screen model, %s: %.1f M characters/s (%.2f s CPU for %zu MB), screen %zu characters\n",
                hex ? "hex display" : "plain", double(total) / wall / 1e6, cpu, total >> 20, t.screen.text().size());
}

void throughWindow(bool hex, bool paced, int seconds)
{
    bench::RawPty pty(true);
    const auto dir = std::filesystem::temp_directory_path() / ("terminal-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto store = common::SettingsStore::atPath("KorrinUniv1", (dir / "k.ini").string());
    store.save("Properties", "Settings", "115200,N,8,1");
    common::QtClock clock;
    frmTerminal w(clock, store, [](const term::Terminal& t) -> std::unique_ptr<common::Link> {
        return std::make_unique<common::SerialLink>(t.devicePath, t.settings, t.handshaking);
    });
    w.terminal().devicePath = pty.path;
    w.messageHook = [](const std::string& text, const std::string&, term::TerminalUi::Buttons,
                       term::TerminalUi::Icon) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return term::TerminalUi::Answer::Ok;
    };
    common::Endpoint e;
    e.serial = true;
    e.device = pty.path;
    w.Form_LoadWith(e);
    w.terminal().hexDisplay = hex;
    if (!w.terminal().linkOpen()) {
        std::printf("could not open %s\n", pty.path.c_str());
        return;
    }
    const std::string text = sampleText(paced ? size_t(11520) * size_t(seconds) : size_t(8) << 20);
    const std::uint64_t start = w.terminal().screen.total();
    size_t written = 0;
    QElapsedTimer clockWall;
    const double c0 = bench::cpuSeconds();
    clockWall.start();
    QTimer writer;
    // Paced: 115200 baud is 11520 characters a second, 115 every 10 ms. Flat out: as fast as
    // the pseudo-terminal takes them.
    writer.setInterval(paced ? 10 : 0);
    QObject::connect(&writer, &QTimer::timeout, [&] {
        const size_t want = paced ? std::min<size_t>(115, text.size() - written) : std::min<size_t>(4096, text.size() - written);
        if (want == 0) {
            writer.stop();
            return;
        }
        const ssize_t n = ::write(pty.master, text.data() + written, want);
        if (n > 0)
            written += size_t(n);
    });
    writer.start();
    // Hex display shows each character as four.
    const std::uint64_t perChar = hex ? 4 : 1;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const bool all = written == text.size()
                         && w.terminal().screen.total() - start >= std::uint64_t(text.size()) * perChar;
        if (all || clockWall.elapsed() > 120000)
            loop.quit();
    });
    poll.start();
    loop.exec();
    const double wall = double(clockWall.elapsed()) / 1000.0;
    const double cpu = bench::cpuSeconds() - c0;
    const std::uint64_t got = (w.terminal().screen.total() - start) / perChar;
    std::printf("pty -> window, %s, %s: %zu sent, %llu shown (%s), %.0f characters/s, CPU %.2f s in %.2f s (%.0f %% of "
                "one core)\n",
                hex ? "hex" : "plain", paced ? "paced at 115200 baud" : "flat out", written,
                (unsigned long long)got, got == written ? "nothing lost" : "LOST", double(got) / wall, cpu, wall,
                100.0 * cpu / wall);
    w.close();
    std::filesystem::remove_all(dir);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    qputenv("XDG_RUNTIME_DIR", QByteArray(std::filesystem::temp_directory_path().string().c_str()));
    screenModel(false);
    screenModel(true);
    throughWindow(false, false, seconds);
    throughWindow(true, false, seconds);
    throughWindow(false, true, seconds);
    throughWindow(true, true, seconds);
    return 0;
}
