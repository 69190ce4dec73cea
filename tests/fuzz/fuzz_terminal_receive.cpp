// korrin's receive path on each kind of module path: the data terminal (text as it comes), the
// other paths (line ends made CR LF), the panel paths (display codes taken out) and the hex
// display, with the reply buffer collecting and the screen trimmed at its cap. The input is
// fed several times over so the screen passes its cap.
//
// Input: byte 0 the path kind (bits 0-1), hex display (bit 2), collect flag (bit 3); byte 1
// the chunk size; the rest is what arrives.
#include "FuzzSupport.h"
#include "panel/FakeLink.h"
#include "terminal/core/Terminal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr int kRounds = 6;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    common::VirtualClock clock;
    fuzzsupport::AnsweringUi ui;
    term::Terminal t(clock, ui, [&clock](const term::Terminal&) -> std::unique_ptr<common::Link> {
        return std::make_unique<paneltest::FakeLink>(paneltest::FakeLink::Kind::Serial, clock);
    });
    const int kind = data[0] & 3;
    t.dataPath = kind == 0;
    t.nOffset = kind == 2 ? 1600 : 800;
    t.hexDisplay = data[0] & 4;
    t.collect = data[0] & 8;
    t.mnuOpen_Click();
    if (!t.linkOpen())
        std::abort();

    const std::size_t chunk = 1 + data[1];
    const term::TerminalScreen::Mark mark = t.screen.mark();
    std::uint64_t shown = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t pos = 2; pos < size; pos += chunk) {
            const std::size_t n = std::min(chunk, size - pos);
            const std::uint64_t before = t.screen.total();
            t.OnReceive(std::string(reinterpret_cast<const char*>(data + pos), n));
            const std::uint64_t added = t.screen.total() - before;
            shown += added;
            // The screen stays below its cap but for the chunk just shown; a display field
            // waiting for its CR stays bounded; marks count every character shown.
            if (t.screen.text().size() > term::TerminalScreen::kMaxChars + added
                || t.codes.pendingField() > term::DisplayCodeDecoder::kMaxDisplayField
                || t.screen.answerLength(mark) != shown)
                std::abort();
        }
    }
    return 0;
}
