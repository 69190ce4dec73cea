// velmar's receive path: bytes from the link, cut into lines, matched to the commands in the
// sent-command ring and decoded on whatever screen is shown, in any graph mode, with the
// parameter dump and a data log running or not. The ring holds the commands of every poll
// sequence, every graph stream, every parameter read and the dump's, so each decoder, Pgraph
// and fmtParam meet every kind of line.
//
// Input: byte 0 the screen shown, byte 1 the receiver mode, redraw countdown, dump and log
// state, byte 2 where in the command list the ring starts, byte 3 the size of the chunks the
// rest arrives in; the graph mode from the top bits of bytes 1 and 3; drawing from the top bit
// of byte 2.
#include "panel/FakeLink.h"
#include "panel/FakeUi.h"
#include "panel/core/PanelCore.h"
#include "panel/graphs/ImageSurface.h"
#include "panel/graphs/PanelGraphs.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> commands()
{
    std::vector<std::string> c = {"S", "P", "H", "u", "q", "@", "%", "V", "\x1b", "C", "D", "", "c1150\r\n"};
    for (const char pcu : {'S', 'V', 'v', 'w', 'x', 'y', '&'})
        c.push_back(std::string("?   ") + pcu + "\r\n");
    std::string codes = "ABCDFGHIJKLMNOPQRWSTUVYZ[\\]^_`hiju}~";
    for (const int high : {129, 134, 135, 136, 138, 255})
        codes.push_back(char(high));
    for (const char code : codes) {
        c.push_back(std::string("m") + code + "999\r\n");
        c.push_back(std::string("m") + code + "065\r\n"); // a set command answers too
    }
    c.push_back("m");
    for (const char code : std::string("0123456789:;"))
        c.push_back(std::string("n") + code + "999\r\n");
    c.push_back("[V   \r\n");
    return c;
}

// Files are "chosen" as /dev/null: the writers run, nothing is kept.
class NullFiles : public panel::FileUi {
public:
    std::optional<std::string> saveFileDialog(const std::string&, const std::string&) override { return "/dev/null"; }
    bool askYesNo(const std::string&) override { return true; }
    void showError(const std::string&) override {}
    void showMessage(const std::string&) override {}
};

std::vector<int> screens()
{
    std::vector<int> s = {0, 16, 17, 18, 19};
    for (int i = 32; i <= 41; ++i)
        s.push_back(i);
    for (int i = 64; i <= 68; ++i)
        s.push_back(i);
    for (int i = 128; i <= 160; ++i)
        s.push_back(i);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<std::string> kCommands = commands();
    static const std::vector<int> kScreens = screens();
    if (size < 4)
        return 0;

    common::VirtualClock clock;
    paneltest::FakeUi ui(clock);
    panel::PanelShared shared;
    panel::MainState main;
    panel::PanelCore core(shared, main, clock, ui, [&clock](const panel::PanelShared&) {
        return std::make_unique<paneltest::FakeLink>(paneltest::FakeLink::Kind::Serial, clock);
    }, nullptr);
    // A link named on the command line: the machine's serial devices are not looked up.
    shared.endpoint = common::Endpoint{};
    shared.endpoint->device = "/dev/fuzz";
    NullFiles files;
    panel::PanelGraphs graphs(shared, main, core, files);
    // Drawing is the slow part: half the inputs draw (onto one surface kept between inputs).
    static panel::ImageSurface surface;
    if (data[2] & 0x80)
        graphs.graph.setSurface(&surface);
    core.link.Startup();
    if (!shared.open)
        std::abort();
    graphs.graph.mnuGraph_Click(((data[1] >> 6) | ((data[3] & 0x80) >> 5)) % panel::kGraphModes);
    if (data[1] & 0x20)
        graphs.dump.mnuParamDump_Click();
    if (data[3] & 0x40)
        graphs.files.mnuLog_Click();

    main.displayState = kScreens[data[0] % kScreens.size()];
    main.mode70 = data[1] & 1;
    main.redrawCountdown = (data[1] >> 1) & 15;
    if (data[1] & 0x20)
        shared.dumpCounter = 0; // the dump's replies are arriving
    for (int i = 0; i < panel::kRingSize; ++i)
        shared.ring.slot[size_t(i)] = kCommands[(data[2] + size_t(i)) % kCommands.size()];
    const std::size_t chunk = 1 + (data[3] & 0x3F) % 97;

    for (std::size_t pos = 4; pos < size; pos += chunk) {
        const std::size_t n = std::min(chunk, size - pos);
        core.link.OnReceive(std::string(reinterpret_cast<const char*>(data + pos), n));
        // What the receive path promises whatever came in.
        if (main.lineBuffer.size() > panel::kMaxLineBuffer || shared.ring.read < 0
            || shared.ring.read >= panel::kRingSize || graphs.graph.plotColumn() < 0
            || graphs.graph.plotColumn() >= panel::GraphModel::kRing || graphs.graph.sampleCounter() < 0
            || graphs.graph.sampleCounter() >= panel::GraphModel::kCounterWrap)
            std::abort();
    }
    return 0;
}
