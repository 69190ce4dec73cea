// Capture replay of any file: it is loaded and paged forward and back. Nothing may crash or
// hang, a page never holds more than 640 samples and the position never goes below 0.
//
// Input: byte 0 the graph mode shown before the load (low 3 bits) and the drawing (bit 3),
// byte 1 the paging script (two bits a step: forward, back, load again, unload and load), the
// rest the file.
#include "FuzzSupport.h"

#include "panel/graphs/CaptureReplay.h"
#include "panel/graphs/ImageSurface.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class Ui : public panel::CaptureUi {
public:
    explicit Ui(std::string path) : path_(std::move(path)) {}
    std::optional<std::string> openFileDialog(const std::string&, const std::string&) override { return path_; }
    void message(const std::string&, const std::string&, panel::PanelUi::Icon) override {}
    void captureChanged() override {}
    void diagStopChanged() override {}

private:
    std::string path_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    panel::PanelShared shared;
    panel::MainState main;
    panel::GraphModel graph(shared, main);
    graph.timeOfDay = [] { return std::string("00:00:00"); };
    static panel::ImageSurface surface;
    if (data[0] & 8)
        graph.setSurface(&surface);
    graph.mnuGraph_Click((data[0] & 7) % panel::kGraphModes);
    Ui ui(fuzzsupport::memoryFile(data + 2, size - 2));
    panel::CaptureReplay replay(shared, main, graph, ui);

    const auto check = [&] {
        if (graph.sampleCounter() > panel::CaptureReplay::kPage || graph.sampleCounter() < 0 || replay.position() < 0
            || replay.position() % panel::CaptureReplay::kPage != 0 || (!replay.loaded() && replay.position() != 0)
            || (replay.loaded() && !shared.diagStop))
            std::abort();
    };
    replay.mnuLoadDataLog_Click();
    check();
    for (int step = 0; step < 4; ++step) {
        switch ((data[1] >> (2 * step)) & 3) {
        case 0: replay.cmdLDLScrollForward_Click(); break;
        case 1: replay.cmdLDLScrollBack_Click(); break;
        case 2: replay.cmdLoadDataLog_Click(); break;
        default:
            replay.cmdUnloadDataLog_Click();
            if (shared.diagStop || graph.sampleCounter() != 0)
                std::abort();
            replay.cmdLoadDataLog_Click();
            break;
        }
        check();
    }
    return 0;
}
