#include "PanelGraphs.h"

#include "panel/core/Format.h"

#include <limits>

namespace panel {

namespace {

std::int16_t to16(double v)
{
    const long r = roundEven(v);
    if (r > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    if (r < std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    return std::int16_t(r);
}

} // namespace

PanelGraphs::PanelGraphs(PanelShared& shared, MainState& main, PanelCore& core, FileUi& ui)
    : graph(shared, main), dump(shared, core.link, core.decoder, ui), upload(shared, main, core.link, ui), files(shared, dump, ui), s_(shared), m_(main)
{
    core.decoder.graph = [this](const GraphSample& sample) {
        if (holdLive)
            return;
        if (sample.kind == 'c') {
            if (graph.mode() == kModeSpectrum)
                graph.spectrumLevel(int(roundEven(sample.a)));
            return;
        }
        if (streamSample(graph.mode(), sample, graph.in.stream))
            graph.Pgraph();
    };
    // In ADMC mode a sample is taken with each ACU status reply: it carries the signal level,
    // and the position and heading replies polled between two of them are already stored.
    auto indicators = core.decoder.statusDecoded;
    core.decoder.statusDecoded = [this, indicators] {
        if (indicators)
            indicators();
        if (graph.mode() == kModeAdmc && !holdLive)
            admcSample();
    };
    core.link.sweepNext = [this] { return graph.sweepNext(); };
    core.front.keyPressed = [this] {
        if (s_.sweepFrequency != 0)
            graph.stopSweep();
    };
    core.front.clearGraph = [this] { graph.cmdClear_Click(); };
    graph.onRecord = [this](const std::string& record) { files.writeRecord(record); };
    files.graphMode = [this] { return graph.mode(); };
    files.shownRecords = [this] { return graph.shownRecords(); };
}

bool PanelGraphs::streamSample(int graphMode, const GraphSample& sample, std::array<std::int16_t, 4>& stream)
{
    char wanted = 0;
    switch (graphMode) {
    case kModeIvc:
    case kModeXY: wanted = 'x'; break;
    case kModeV: wanted = 'v'; break;
    case kModeW: wanted = 'w'; break;
    case kModeTc: wanted = 'y'; break;
    default: return false;
    }
    const char kind = sample.kind == 'V' ? 'v' : sample.kind;
    if (kind != wanted)
        return false;
    const double offset = (kind == 'x' || kind == 'y') ? 128 : 0;
    stream[0] = to16(sample.a - offset);
    stream[1] = to16(sample.b - offset);
    stream[2] = to16(sample.c - offset);
    if (kind == 'x')
        stream[3] = to16(sample.status);
    return true;
}

void PanelGraphs::admcSample()
{
    auto& in = graph.in;
    in.cl = to16(m_.third);
    in.lv = to16(m_.elevation);
    in.az = to16(m_.azimuth);
    in.rel = to16(m_.relHeading);
    in.hdg = to16(m_.heading);
    in.signal = to16(m_.agc);
    in.pol = m_.polText;
    in.extAgc = m_.eAgcText;
    graph.Pgraph();
}

} // namespace panel
