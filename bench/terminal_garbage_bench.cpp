// Garbage benchmark, korrin: the window (offscreen) on the data terminal path and on a panel
// path, over a pseudo-terminal: 10 MB of random bytes, then a known line. Reported: the
// resident size before and after, and how long until the line is on the screen (or in the
// panel strip).
//
//   terminal_garbage_bench [megabytes]   (default 10)
#include "BenchSupport.h"

#include "common/Endpoint.h"
#include "common/SettingsStore.h"
#include "terminal/app/frmTerminal.h"

#include <QApplication>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

using namespace bench;

void korrin(size_t bytes, const std::filesystem::path& dir, bool panelPath)
{
    RawPty pty(true);
    const int master = pty.master;

    auto store = common::SettingsStore::atPath("KorrinUniv1", (dir / "KorrinUniv1.ini").string());
    store.save("Properties", "Direct", panelPath ? "CPanel" : "DATA");
    common::QtClock clock;
    const std::string path = pty.path;
    frmTerminal w(clock, store, [path](const term::Terminal& t) -> std::unique_ptr<common::Link> {
        return std::make_unique<common::SerialLink>(path, t.settings, t.handshaking);
    });
    w.messageHook = [](const std::string& text, const std::string&, term::TerminalUi::Buttons,
                       term::TerminalUi::Icon) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return term::TerminalUi::Answer::Ok;
    };
    common::Endpoint e;
    e.device = path;
    w.Form_LoadWith(e);
    pty.closeSlave();
    if (!w.terminal().linkOpen()) {
        std::fprintf(stderr, "korrin did not open %s\n", path.c_str());
        std::exit(1);
    }
    // The bytes to send are made first, so the resident sizes compare the terminal alone.
    const std::string junk = randomBytes(bytes, 2);
    runUntil([] { return false; }, 300);
    const long before = residentKb();

    size_t sent = 0;
    const auto t0 = std::chrono::steady_clock::now();
    runUntil(
        [&] {
            while (sent < junk.size()) {
                const ssize_t n = ::write(master, junk.data() + sent, std::min<size_t>(4096, junk.size() - sent));
                if (n <= 0)
                    break;
                sent += size_t(n);
            }
            return sent == junk.size();
        },
        600000);
    const auto t1 = std::chrono::steady_clock::now();
    const std::string marker = "GOOD LINE AFTER GARBAGE";
    const std::string good = panelPath ? "\r\n\r\n\r\n\x01" + marker + "\r\n" : "\r\n" + marker + "\r\n";
    size_t goodSent = 0;
    auto* line1 = w.findChild<QLineEdit*>("txtLine1");
    const double waited = runUntil(
        [&] {
            while (goodSent < good.size()) {
                const ssize_t n = ::write(master, good.data() + goodSent, good.size() - goodSent);
                if (n <= 0)
                    break;
                goodSent += size_t(n);
            }
            return panelPath ? line1->text().toStdString() == marker
                             : w.terminal().screen.text().find(marker) != std::string::npos;
        },
        120000);
    const long after = residentKb();
    std::printf("korrin over a pseudo-terminal, %s:\n", panelPath ? "panel path (Brine PCU to Panel)" : "data terminal path");
    std::printf("  %zu MB of random bytes taken in %.0f ms; resident size %ld kB before, %ld kB after; screen %zu characters\n",
                bytes >> 20, std::chrono::duration<double, std::milli>(t1 - t0).count(), before, after,
                w.terminal().screen.text().size());
    if (waited < 0)
        std::printf("  NOT RECOVERED: the good line did not show within 120 s\n");
    else
        std::printf("  the good line showed %.0f ms after the garbage ended\n", waited);
    w.terminal().mnuOpen_Click();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const size_t megabytes = argc > 1 ? size_t(std::max(1, std::atoi(argv[1]))) : 10;
    const auto dir = std::filesystem::temp_directory_path() / ("terminal-garbage-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    qputenv("XDG_RUNTIME_DIR", dir.string().c_str());
    korrin(megabytes << 20, dir, false);
    korrin(megabytes << 20, dir, true);
    std::filesystem::remove_all(dir);
    return 0;
}
