// Panel benchmark: how evenly the send scheduler paces commands on the real clock, and how much
// CPU the idle, polling panel costs, and the panel with a graph shown at 50 ms pacing. The panel
// runs whole (main window offscreen) against the simulated controller, in-process, which answers
// each query 5 ms after it leaves.
//
//   panel_bench [seconds]     (default 20 s per measurement)
#include "BenchSupport.h"

#include "common/SettingsStore.h"
#include "panel/app/frmMain.h"
#include "sim/AcuModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A link that timestamps every departure and hands it to the simulated controller, whose
// answer arrives 5 ms later.
class AnsweringLink : public common::Link {
public:
    std::vector<Clock::time_point> departures;
    bool open(std::string&) override { return opened = true; }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    bool write(const std::string& bytes) override
    {
        departures.push_back(Clock::now());
        acu_.receive(bytes);
        QTimer::singleShot(5, [this] {
            const auto now = Clock::now();
            acu_.advance(std::chrono::duration_cast<common::Ms>(now - last_));
            last_ = now;
            const std::string out = acu_.takeOutput();
            if (onData && !out.empty())
                onData(out);
        });
        return true;
    }
    bool outputDrained() override { return true; }
    std::string describe() const override { return "bench"; }
    bool opened = false;

private:
    sim::AcuModel acu_;
    Clock::time_point last_ = Clock::now();
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size() - 1) + 0.5));
    return v[i];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;

    const auto dir = std::filesystem::temp_directory_path() / ("panel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto store = common::SettingsStore::atPath("multTAVRemote", (dir / "multTAVRemote.ini").string());
    common::QtClock clock;
    AnsweringLink* link = nullptr;
    frmMain w(clock, store, [&link](const panel::PanelShared&) {
        auto l = std::make_unique<AnsweringLink>();
        link = l.get();
        return l;
    });
    w.messageHook = [](const std::string& text, const std::string&, panel::PanelUi::Buttons, panel::PanelUi::Icon) {
        std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
        return panel::PanelUi::Answer::Ok;
    };
    w.Form_Load();
    runFor(2000); // past the start-up delay

    // 1. Pacing accuracy at 50 ms.
    w.link().setPacing(50);
    runFor(500);
    link->departures.clear();
    runFor(seconds * 1000);
    std::vector<double> gaps, jitter;
    for (size_t i = 1; i < link->departures.size(); ++i) {
        const double g = std::chrono::duration<double, std::milli>(link->departures[i] - link->departures[i - 1]).count();
        gaps.push_back(g);
        jitter.push_back(std::abs(g - 50.0));
    }
    std::printf("pacing 50 ms: %zu departures in %d s\n", link->departures.size(), seconds);
    std::printf("  gap between departures: p50 %.2f ms, p99 %.2f ms, min %.2f ms, max %.2f ms\n",
                percentile(gaps, 50), percentile(gaps, 99), gaps.empty() ? 0 : *std::min_element(gaps.begin(), gaps.end()),
                gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end()));
    std::printf("  jitter |gap - 50 ms|: p50 %.2f ms, p99 %.2f ms\n", percentile(jitter, 50), percentile(jitter, 99));

    // 2. CPU of the idle, polling panel at the default 200 ms pacing.
    w.link().setPacing(200);
    runFor(500);
    const double c0 = bench::cpuSeconds();
    QElapsedTimer t;
    t.start();
    runFor(seconds * 1000);
    const double cpu = bench::cpuSeconds() - c0;
    const double wall = double(t.elapsed()) / 1000.0;
    std::printf("idle polling panel at 200 ms: %.3f s CPU in %.1f s = %.2f s CPU per minute (%.2f %% of one core)\n", cpu,
                wall, cpu * 60.0 / wall, 100.0 * cpu / wall);

    // 3. CPU with a graph shown, polling at 50 ms: ADMC (a sample with each status reply) and
    //    DispIVC (a sample with each loop-error reply, the chart scrolling once it is full).
    w.link().setPacing(50);
    for (const int mode : {panel::kModeAdmc, panel::kModeIvc}) {
        w.graph().mnuGraph_Click(mode);
        runFor(500);
        const int before = w.graph().sampleCounter();
        const double g0 = bench::cpuSeconds();
        QElapsedTimer gt;
        gt.start();
        runFor(seconds * 1000);
        const double gcpu = bench::cpuSeconds() - g0;
        const double gwall = double(gt.elapsed()) / 1000.0;
        std::printf("graph %s shown, pacing 50 ms: %.3f s CPU in %.1f s (%.2f %% of one core), sample counter %d -> %d\n",
                    mode == panel::kModeAdmc ? "ADMC" : "DispIVC", gcpu, gwall, 100.0 * gcpu / gwall, before,
                    int(w.graph().sampleCounter()));
    }

    w.link().Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
