// Graph benchmark: what one telemetry sample costs the graph (Pgraph: store, record, plot,
// and the scroll redraw every tenth sample once the chart is full), and what a full redraw
// onto the 640 x 480 image costs, in microseconds.
//
//   graph_bench [samples]     (default 20000 samples per mode)
#include "BenchSupport.h"

#include "panel/graphs/GraphModel.h"
#include "panel/graphs/ImageSurface.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Stats {
    double mean = 0, p99 = 0, max = 0;
    size_t n = 0;
};

Stats stats(std::vector<double> us)
{
    Stats s;
    s.n = us.size();
    if (us.empty())
        return s;
    double sum = 0;
    for (double v : us)
        sum += v;
    s.mean = sum / double(us.size());
    std::sort(us.begin(), us.end());
    s.p99 = us[std::min(us.size() - 1, size_t(double(us.size()) * 0.99))];
    s.max = us.back();
    return s;
}

void print(const char* what, const Stats& s)
{
    std::printf("  %-34s n %6zu  mean %8.2f us  p99 %8.2f us  max %8.2f us\n", what, s.n, s.mean, s.p99, s.max);
}

double microseconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::micro>(b - a).count();
}

struct Rig {
    panel::PanelShared shared;
    panel::MainState main;
    panel::GraphModel graph{shared, main};
    panel::ImageSurface surface;
    size_t records = 0;

    explicit Rig(int mode)
    {
        graph.setSurface(&surface);
        graph.timeOfDay = [] { return std::string("12:00:00"); };
        graph.onRecord = [this](const std::string& r) { records += r.size(); };
        main.elText = "45.3", main.azText = "180.0", main.thirdText = "0.0", main.relText = "10.5";
        main.hdgText = "270.0", main.agcText = "0850", main.latText = "51.5", main.lonText = "0.1";
        graph.mnuGraph_Click(mode);
    }
    void sample(int i)
    {
        auto& in = graph.in;
        in.cl = std::int16_t(i % 37 - 18);
        in.lv = std::int16_t(450 + i % 21);
        in.az = std::int16_t(1800 + i % 41);
        in.rel = std::int16_t(i % 29);
        in.signal = std::int16_t(600 + i % 15);
        in.stream = {std::int16_t(i % 40 - 20), std::int16_t(i % 30 - 15), std::int16_t(i % 50 - 25),
                     std::int16_t(i % 64)};
    }
};

void pgraphCost(const char* name, int mode, int samples)
{
    Rig rig(mode);
    std::vector<double> all, steady;
    all.reserve(size_t(samples));
    steady.reserve(size_t(samples));
    for (int i = 0; i < samples; ++i) {
        rig.sample(i);
        const bool scrolls = rig.graph.plotColumn() == panel::GraphModel::kRing - 1;
        const auto t0 = Clock::now();
        rig.graph.Pgraph();
        const double us = microseconds(t0, Clock::now());
        all.push_back(us);
        if (!scrolls)
            steady.push_back(us);
    }
    std::printf("Pgraph, %s:\n", name);
    print("every step", stats(all));
    print("steps without the scroll redraw", stats(steady));
}

void redrawCost(const char* name, int mode, bool phase, int runs)
{
    Rig rig(mode);
    for (int i = 0; i < 700; ++i) { // a full chart
        rig.sample(i);
        rig.graph.Pgraph();
    }
    rig.graph.controls.showPhase = phase;
    std::vector<double> us;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        rig.graph.cmdRedraw_Click();
        us.push_back(microseconds(t0, Clock::now()));
    }
    std::printf("Full redraw, %s:\n", name);
    print("cmdRedraw", stats(us));
}

} // namespace

int main(int argc, char** argv)
{
    const int samples = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 20000;
    const double cpu0 = bench::cpuSeconds();
    pgraphCost("ADMC strip chart (4 traces, record with telemetry texts)", panel::kModeAdmc, samples);
    pgraphCost("IVC strip chart (3 traces)", panel::kModeIvc, samples);
    pgraphCost("Circlex X-Y with phase", panel::kModeXY, samples);
    redrawCost("ADMC, 630 samples on the chart", panel::kModeAdmc, false, 200);
    redrawCost("Circlex X-Y, 641 points and phase arcs", panel::kModeXY, true, 200);
    std::printf("CPU time of the whole run: %.2f s\n", bench::cpuSeconds() - cpu0);
    return 0;
}
