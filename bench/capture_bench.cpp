// Capture replay benchmark: what showing one page of a logged capture costs (open, skip to the
// page, read up to 640 records, plot them onto the 640 x 480 image, close), for the first page
// and for a page deep into a long log, in milliseconds.
//
//   capture_bench [records]     (default 100000 records of an IVC screen-data file)
#include "panel/graphs/CaptureReplay.h"
#include "panel/graphs/ImageSurface.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Ui : panel::CaptureUi {
    std::string path;
    int boxes = 0;
    std::optional<std::string> openFileDialog(const std::string&, const std::string&) override { return path; }
    void message(const std::string&, const std::string&, panel::PanelUi::Icon) override { ++boxes; }
    void captureChanged() override {}
    void diagStopChanged() override {}
};

double ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

} // namespace

int main(int argc, char** argv)
{
    const long records = argc > 1 ? std::max(1000L, std::atol(argv[1])) : 100000;
    const auto path = (std::filesystem::temp_directory_path() / ("capture_bench_" + std::to_string(::getpid()) + ".csv")).string();
    {
        std::ofstream out(path, std::ios::binary);
        out << "Time,CL,LV,AZ,Rel,Phase,,Velmar Disp ivc (Loop Error) Screen Capture\r\n";
        for (long i = 0; i < records; ++i)
            out << "12:00:00," << (i % 40) - 20 << ',' << (i % 17) - 8 << ',' << (i % 9) - 4 << ",123.4," << i % 64
                << "\r\n";
    }
    panel::PanelShared shared;
    panel::MainState main;
    main.poll = "!?   x";
    panel::GraphModel graph(shared, main);
    panel::ImageSurface surface;
    graph.setSurface(&surface);
    graph.timeOfDay = [] { return std::string("12:00:00"); };
    Ui ui;
    ui.path = path;
    panel::CaptureReplay replay(shared, main, graph, ui);

    std::printf("capture_bench: %ld records of IVC screen data (%.1f MB)\n", records,
                double(std::filesystem::file_size(path)) / 1e6);
    auto t0 = Clock::now();
    replay.mnuLoadDataLog_Click();
    auto t1 = Clock::now();
    std::printf("  first page                    %8.2f ms  (%d samples)\n", ms(t0, t1), int(graph.sampleCounter()));
    const int pages = 10;
    t0 = Clock::now();
    for (int i = 0; i < pages; ++i)
        replay.cmdLDLScrollForward_Click();
    t1 = Clock::now();
    std::printf("  next pages (near the start)   %8.2f ms each\n", ms(t0, t1) / pages);
    // The last page: every record before it is skipped on the way.
    while (replay.position() + 2 * panel::CaptureReplay::kPage < records)
        replay.cmdLDLScrollForward_Click();
    t0 = Clock::now();
    replay.cmdLDLScrollForward_Click();
    t1 = Clock::now();
    std::printf("  last page (position %7d)   %8.2f ms\n", replay.position(), ms(t0, t1));
    std::filesystem::remove(path);
    return ui.boxes == 0 ? 0 : 1;
}
