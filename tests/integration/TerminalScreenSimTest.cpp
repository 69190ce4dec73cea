// korrin's terminal screen against the simulated modules across a real pseudo-terminal and a
// real TCP connection on loopback, on virtual time: typed keys with and without local echo,
// the panel display strip of the panel paths, the hex display, and the screen's length cap
// with marks that survive trimming.
#include "TerminalBench.h"
#include "sim/PanelDisplayDecoder.h"
#include "sim/PanelPcu.h"

#include <gtest/gtest.h>

#include <regex>

using namespace kint;

namespace {

class TerminalScreenOverLink : public ::testing::TestWithParam<TerminalBench::Kind> {};

// CR LF and a lone CR end a line in txtTerm; the view shows them as one line break.
std::string asShown(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------- keys and echo

TEST_P(TerminalScreenOverLink, TypedKeysCrossByteForByteAndEchoDecidesWhatTheScreenShows)
{
    struct Case {
        bool echo;
        std::string keys;
        std::string link;   // what reaches the device
        std::string screen; // what the screen gains
    };
    const std::vector<Case> cases = {
        // Echo off: only the device's echo shows, the Enter's CR LF answered by CR LF ">".
        {false, "ab\r", "ab\r\n", "ab\r\n>"},
        // Echo on: each key shows at once, then the device's echo of it.
        {true, "ab\r", "ab\r\n", "aabb\r\n\r\n>"},
        {false, "mN999\r", "mN999\r\n", "mN999\r\n>"},
        {true, "x\r\r", "x\r\n\r\n", "xx\r\n\r\n>\r\n\r\n>"},
    };
    for (const auto& c : cases) {
        BenchSetup s;
        s.module = "echo";
        s.echo = c.echo;
        TerminalBench b(GetParam(), s);
        ASSERT_TRUE(b.ready());
        b.start();
        ASSERT_TRUE(b.t().linkOpen()) << (b.boxes.empty() ? "" : b.boxes[0].text);
        const auto mark = b.t().screen.mark();
        const size_t before = b.crossed.size();
        b.type(c.keys);
        ASSERT_FALSE(b.stalled);
        EXPECT_EQ(b.crossed.substr(before), c.link) << "echo " << c.echo;
        EXPECT_EQ(b.t().screen.since(mark), c.screen) << "echo " << c.echo;
        // The window shows the same, each CR LF as one line break.
        const std::string shown = b.shown();
        EXPECT_EQ(shown.substr(shown.size() - std::min(shown.size(), asShown(c.screen).size())), asShown(c.screen));
        // The device took the typed line as one line.
        const auto& rec = b.model->module().received();
        ASSERT_FALSE(rec.empty());
        EXPECT_EQ(rec.front(), sim::Received::line(c.keys.substr(0, c.keys.find('\r'))));
        EXPECT_TRUE(b.boxes.empty());
        // The settings panel tells the echo state.
        EXPECT_NE(b.statusPanel("Settings")->text().toStdString().find(c.echo ? ", Echo On  " : ", Echo Off  "),
                  std::string::npos);
    }
}

TEST_P(TerminalScreenOverLink, KeysTypedWhileTheLinkIsClosedAreDiscardedSilently)
{
    TerminalBench b(GetParam());
    ASSERT_TRUE(b.ready());
    b.start();
    ASSERT_TRUE(b.t().linkOpen());
    ASSERT_TRUE(b.trigger("mnuOpen")); // close
    ASSERT_FALSE(b.t().linkOpen());
    EXPECT_FALSE(b.action("mnuOpen")->isChecked());
    EXPECT_EQ(b.statusPanel("Settings")->text().toStdString(), "Settings: ");
    const size_t before = b.crossed.size();
    const auto mark = b.t().screen.mark();
    b.type("xyz\r");
    b.clock.advance(Ms{500});
    EXPECT_EQ(b.crossed.size(), before) << "nothing crosses";
    EXPECT_EQ(b.t().screen.answerLength(mark), 0u);
    EXPECT_TRUE(b.boxes.empty()) << "a key is discarded without the closed-port warning";

    // Opened again, the next key goes out alone: nothing typed meanwhile was kept.
    ASSERT_TRUE(b.trigger("mnuOpen"));
    ASSERT_TRUE(b.t().linkOpen());
    const size_t reopened = b.crossed.size();
    b.type("q");
    EXPECT_EQ(b.crossed.substr(reopened), "q");
}

// ---------------------------------------------------------------- panel display strip

TEST_P(TerminalScreenOverLink, PanelPathDecodesTheModulesDisplayFramesIntoTheStrip)
{
    BenchSetup s;
    s.module = "pcu-panel";
    s.direct = "CPCU";
    TerminalBench b(GetParam(), s);
    ASSERT_TRUE(b.ready());
    b.start();
    ASSERT_TRUE(b.t().linkOpen());
    EXPECT_EQ(b.t().nOffset, 1600);
    const auto mark = b.t().screen.mark();
    auto& pcu = b.model->as<sim::PanelPcu>();
    pcu.setBrightness(55);
    pcu.setUnwrap(true);

    b.clock.advance(Ms{1100});
    ASSERT_FALSE(b.stalled);
    ASSERT_GE(pcu.framesSent(), 2);

    // An independent reading of every byte the module sent.
    simtest::PanelDisplay ref;
    ref.receive(b.fromDevice);
    const auto& f = b.t().fields;
    EXPECT_EQ(f.line1, ref.line1);
    EXPECT_EQ(f.line2, ref.line2);
    EXPECT_EQ(f.line3, ref.bargraph);
    EXPECT_EQ(f.line4, "0055");
    EXPECT_EQ(f.line6U, "UNWRAP");
    EXPECT_EQ(f.line6T, "TRACKING");
    EXPECT_TRUE(std::regex_match(f.line1, std::regex(R"(AZ \d{3}\.\d EL \d{2}\.\d)"))) << f.line1;
    EXPECT_TRUE(std::regex_match(f.line2, std::regex(R"(AGC \d{3} TRACKING)"))) << f.line2;
    EXPECT_TRUE(std::regex_match(f.line3, std::regex(R"(\d\d)"))) << f.line3;
    // The window's fields show the same.
    const struct {
        const char* name;
        const std::string& value;
    } shown[] = {{"txtLine1", f.line1}, {"txtLine2", f.line2},   {"txtLine3", f.line3},
                 {"txtLine4", f.line4}, {"txtLine6U", f.line6U}, {"txtLine6T", f.line6T}};
    for (const auto& s2 : shown) {
        ASSERT_NE(b.field(s2.name), nullptr) << s2.name;
        EXPECT_EQ(b.field(s2.name)->text().toStdString(), s2.value) << s2.name;
    }
    EXPECT_TRUE(b.w->findChild<QWidget*>("fraPanel")->isVisible());
    // The frames put nothing on the screen.
    EXPECT_EQ(b.t().screen.since(mark), "");

    // The unwrap ends: the next frame clears its legend.
    pcu.setUnwrap(false);
    b.clock.advance(Ms{500});
    EXPECT_EQ(b.t().fields.line6U, "");
    EXPECT_EQ(b.field("txtLine6U")->text().toStdString(), "");
    EXPECT_EQ(b.field("txtLine6T")->text().toStdString(), "TRACKING");

    // An answer between frames reaches the screen, line ends as CR LF.
    const size_t before = b.crossed.size();
    ASSERT_TRUE(b.trigger("ModVer"));
    EXPECT_EQ(b.crossed.substr(before), ESC + "V");
    EXPECT_EQ(b.t().screen.since(mark), "PANEL PCU VER 1.05 SIM\r\n");
}

TEST_P(TerminalScreenOverLink, PanelFieldSplitAcrossChunksIsJoined)
{
    struct Case {
        std::string first, second; // two chunks, each crossing the link on its own
        std::string screen;        // what the screen gains
        std::string line1, line3, line4, line6U, line6T;
    };
    const std::vector<Case> cases = {
        {"\x01" "ABC", "D\r\nrest", "rest", "ABCD", "", "", "", ""},
        {"xy\x01" "AB", "CD\r\n", "xy", "ABCD", "", "", "", ""},
        {"\x01" "ABCD\r", "\nZ", "Z", "ABCD", "", "", "", ""},
        {"\x03" "1", "6\x04" "00", "", "", "16", "", "", ""},
        {"\x04" "01", "00" "tail", "tail", "", "", "0100", "", ""},
        {"\x06", "\x0c", "", "", "", "", "UNWRAP", "TRACKING"},
        {"\x06", "\x48" "ok", "ok", "", "", "", "", "TRACKING"},
        {"\x05" "a", "b", "ab", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        BenchSetup s;
        s.module = "pcu-panel";
        s.direct = "CPCU";
        TerminalBench b(GetParam(), s);
        ASSERT_TRUE(b.ready());
        b.start();
        ASSERT_TRUE(b.t().linkOpen());
        const auto mark = b.t().screen.mark();
        const size_t chunks = b.chunks.size();
        b.deviceSend(c.first);
        b.deviceSend(c.second);
        ASSERT_FALSE(b.stalled);
        ASSERT_EQ(b.chunks.size(), chunks + 2) << "two chunks";
        EXPECT_EQ(b.t().screen.since(mark), c.screen) << c.first;
        EXPECT_EQ(b.field("txtLine1")->text().toStdString(), c.line1) << c.first;
        EXPECT_EQ(b.field("txtLine3")->text().toStdString(), c.line3) << c.first;
        EXPECT_EQ(b.field("txtLine4")->text().toStdString(), c.line4) << c.first;
        EXPECT_EQ(b.field("txtLine6U")->text().toStdString(), c.line6U) << c.first;
        EXPECT_EQ(b.field("txtLine6T")->text().toStdString(), c.line6T) << c.first;
    }
}

// ---------------------------------------------------------------- hex display

TEST_P(TerminalScreenOverLink, HexDisplayShowsEachCharacterAfterTheLineEndTreatment)
{
    struct Case {
        const char* direct;
        std::string sent; // by the device
        std::string screen;
    };
    const std::vector<Case> cases = {
        // Panel height 800, not the data terminal: CR becomes CR LF before the hex display.
        {"TAV8a", "A\r", "<41><0D><0A>"},
        {"TAV8a", "A\n", "<41>"},
        {"TAV8a", "A\r\n", "<41><0D><0A>"},
        {"QM7000", "\x1b\xff", "<1B><FF>"},
        // The data terminal shows what came, unchanged.
        {"DATA", "A\r", "<41><0D>"},
        {"DATA", "A\n\r", "<41><0A><0D>"},
        // A panel path decodes display codes instead; hex does not apply there.
        {"CPCU", "A\r", "A\r\n"},
    };
    for (const auto& c : cases) {
        BenchSetup s;
        s.module = "echo";
        s.direct = c.direct;
        TerminalBench b(GetParam(), s);
        ASSERT_TRUE(b.ready());
        b.start();
        ASSERT_TRUE(b.t().linkOpen());
        ASSERT_TRUE(b.trigger("mnuHex"));
        EXPECT_TRUE(b.action("mnuHex")->isChecked());
        const auto mark = b.t().screen.mark();
        b.deviceSend(c.sent);
        ASSERT_FALSE(b.stalled);
        EXPECT_EQ(b.t().screen.since(mark), c.screen) << c.direct;
    }
}

TEST_P(TerminalScreenOverLink, HexDisplayOfTheEchoModulesAnswerToATypedLetterAndEnter)
{
    BenchSetup s;
    s.module = "echo";
    s.direct = "TAV8a";
    TerminalBench b(GetParam(), s);
    ASSERT_TRUE(b.ready());
    b.start();
    ASSERT_TRUE(b.trigger("mnuHex"));
    const auto mark = b.t().screen.mark();
    const size_t before = b.crossed.size();
    b.type("A\r");
    EXPECT_EQ(b.crossed.substr(before), "A\r\n");
    // "A", then CR LF ">" for the Enter.
    EXPECT_EQ(b.t().screen.since(mark), "<41><0D><0A><3E>");
    // The view breaks the line after each "<0A>".
    const std::string shown = b.shown();
    EXPECT_NE(shown.find("<41><0D><0A>\n<3E>"), std::string::npos) << shown;
    // Choosing a module path clears the hex display.
    ASSERT_TRUE(b.trigger("mnuTAV8p"));
    EXPECT_FALSE(b.t().hexDisplay);
    EXPECT_FALSE(b.action("mnuHex")->isChecked());
}

// ---------------------------------------------------------------- screen length cap

TEST_P(TerminalScreenOverLink, LongStreamKeepsTheScreenCappedAndMarksMeasureAcrossTrimming)
{
    TerminalBench b(GetParam());
    ASSERT_TRUE(b.ready());
    b.start();
    ASSERT_TRUE(b.t().linkOpen());
    const size_t cap = term::TerminalScreen::kMaxChars;

    // Lines of 78 characters and CR LF, 60 000 characters in all, sent in pieces of 1000.
    std::string stream;
    for (size_t i = 0; stream.size() < 60000; ++i)
        stream += (i % 80 >= 78) ? (i % 80 == 78 ? '\r' : '\n') : char('A' + (i / 80) % 26);
    stream.resize(60000);

    const auto mark = b.t().screen.mark();
    const size_t firstChunk = b.chunks.size();
    std::uint64_t midMark = 0;
    size_t midAt = 0;
    for (size_t at = 0; at < stream.size(); at += 1000) {
        if (at == 30000) {
            midMark = b.t().screen.mark();
            midAt = at;
        }
        b.deviceSend(stream.substr(at, 1000));
        ASSERT_FALSE(b.stalled) << at;
    }
    ASSERT_GT(b.chunks.size(), firstChunk);
    size_t largest = 0;
    for (size_t i = firstChunk; i < b.chunks.size(); ++i) {
        const auto& c = b.chunks[i];
        EXPECT_LE(c.screenAfter, cap + c.size) << "chunk " << i << " of " << c.size;
        largest = std::max(largest, c.screenAfter);
    }
    EXPECT_GT(largest, cap - term::TerminalScreen::kTrimChars) << "the stream filled the screen";

    // The screen holds the end of the stream; the marks measure everything after them.
    const std::string& screen = b.t().screen.text();
    ASSERT_LE(screen.size(), stream.size());
    EXPECT_EQ(screen, stream.substr(stream.size() - screen.size()));
    EXPECT_EQ(b.t().screen.answerLength(mark), stream.size());
    EXPECT_EQ(b.t().screen.answerLength(midMark), stream.size() - midAt);
    EXPECT_EQ(b.t().screen.since(mark), screen) << "what is left of the answer";
    EXPECT_EQ(b.t().screen.since(midMark), screen);

    // A mark taken now and a short answer: measured and read exactly.
    const auto late = b.t().screen.mark();
    b.deviceSend("OK\r\n");
    EXPECT_EQ(b.t().screen.answerLength(late), 4u);
    EXPECT_EQ(b.t().screen.since(late), "OK\r\n");
    // The window shows the end of the stream too.
    const std::string shown = b.shown();
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown.substr(shown.size() - 4), "\nOK\n");
}

INSTANTIATE_TEST_SUITE_P(Links, TerminalScreenOverLink,
                         ::testing::Values(TerminalBench::Kind::Pty, TerminalBench::Kind::Tcp),
                         [](const auto& info) { return std::string(kindName(info.param)); });
