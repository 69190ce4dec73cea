// Wait benchmark: how exact the terminal's waits are on the real clock.
//   1. Pause(6): its real duration over 1000 waits;
//   2. TxSettle(6) after 7 bytes written to a pseudo-terminal at 9600,N,8,1 whose far end reads
//      one character every 10 / 9600 s, against the ideal 7 x 10 / 9600 s + 6 ms;
//   3. a text file of 200 lines sent at pacing 0 ms ("as fast as the events allow").
//
//   wait_bench [waits]   (default 1000 pauses and 300 settles)
#include "BenchSupport.h"

#include "common/Link.h"
#include "terminal/core/Terminal.h"
#include "terminal/core/TextSender.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

double ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p / 100.0 * double(v.size() - 1) + 0.5))];
}

class QuietUi : public term::TerminalUi {
public:
    Answer message(const std::string& text, const std::string&, Buttons, Icon) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return Answer::Ok;
    }
    void refresh() override {}
};

// The far end of the pseudo-terminal: reads what arrives, one character per character time
// (paced), or as fast as it comes.
class FarEnd {
public:
    FarEnd(int master, double characterMs) : master_(master), characterMs_(characterMs)
    {
        thread_ = std::thread([this] { run(); });
    }
    ~FarEnd()
    {
        stop_ = true;
        thread_.join();
    }
    std::atomic<bool> paced{true};
    std::atomic<long> received{0};

private:
    void run()
    {
        auto next = Steady::now();
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char c[4096];
            const ssize_t n = ::read(master_, c, paced ? 1 : sizeof c);
            if (n <= 0)
                continue;
            received += n;
            if (paced) {
                next = std::max(next, Steady::now())
                       + std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double, std::milli>(characterMs_));
                std::this_thread::sleep_until(next);
            }
        }
    }
    int master_;
    double characterMs_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void report(const char* what, const std::vector<double>& v, double ideal)
{
    std::vector<double> off;
    for (double x : v)
        off.push_back(x - ideal);
    std::printf("%s (ideal %.3f ms, %zu waits)\n", what, ideal, v.size());
    std::printf("  duration: p50 %.3f ms, p99 %.3f ms, min %.3f ms, max %.3f ms\n", percentile(v, 50),
                percentile(v, 99), *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    std::printf("  minus ideal: p50 %+.3f ms, p99 %+.3f ms\n", percentile(off, 50), percentile(off, 99));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int pauses = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    const int settles = std::max(10, pauses * 3 / 10);

    bench::RawPty pty;
    pty.closeSlave();
    const std::string name = pty.path;

    common::QtClock clock;
    QuietUi ui;
    const std::string settings = "9600,N,8,1";
    term::Terminal t(clock, ui, [&](const term::Terminal&) -> std::unique_ptr<common::Link> {
        return std::make_unique<common::SerialLink>(name, settings);
    });
    t.settings = settings;
    t.mnuOpen_Click();
    if (!t.linkOpen()) {
        std::fprintf(stderr, "the link did not open on %s\n", name.c_str());
        return 1;
    }
    const double characterMs = 10.0 * 1000.0 / 9600.0;
    FarEnd far(pty.master, characterMs);

    // 1. Pause(6)
    std::vector<double> pause;
    for (int i = 0; i < pauses; ++i) {
        const auto t0 = Steady::now();
        t.Pause(common::Ms{6});
        pause.push_back(ms(Steady::now() - t0));
    }
    report("Pause(6)", pause, 6.0);

    // 2. TxSettle(6) after 7 bytes, the line idle before each.
    std::vector<double> settle;
    for (int i = 0; i < settles; ++i) {
        t.Pause(common::Ms{20});
        const auto t0 = Steady::now();
        t.CommOut("mA001\r\n");
        t.TxSettle(6);
        settle.push_back(ms(Steady::now() - t0));
    }
    report("TxSettle(6) after 7 bytes at 9600 baud", settle, 7 * characterMs + 6.0);

    // 3. 200 lines at pacing 0 ms, the far end reading as fast as it can.
    far.paced = false;
    const auto file = std::filesystem::temp_directory_path() / ("wait-bench-" + std::to_string(::getpid()) + ".txt");
    {
        std::ofstream f(file);
        for (int i = 0; i < 200; ++i)
            f << "mA" << (i % 256) << "\r\n";
    }
    term::TextSender sender(t);
    sender.choosePacing(0);
    const auto t0 = Steady::now();
    const auto r = sender.SendTextFile(file.string());
    const double sendMs = ms(Steady::now() - t0);
    std::printf("200 lines at pacing 0 ms: %.1f ms (%.3f ms a line)%s\n", sendMs, sendMs / 200,
                r == term::TextSender::Result::Done ? "" : "  [the send did not finish]");
    std::filesystem::remove(file);
    t.mnuOpen_Click();
    return 0;
}
