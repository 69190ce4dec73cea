// korrin's longer commands against the simulated modules across a real pseudo-terminal and a
// real TCP connection on loopback, on virtual time: text files sent plain and as a parameter
// upload (each line timed as it reaches the module), Cancel, the GPS and heading sentences,
// the factory-default parameters, and the communications log.
#include "TerminalBench.h"
#include "sim/TerminalAcu.h"
#include "sim/Vantor.h"

#include <gtest/gtest.h>

#include <QLabel>

#include <fstream>
#include <regex>
#include <sstream>

using namespace kint;

namespace {

class TerminalTextOverLink : public ::testing::TestWithParam<TerminalBench::Kind> {};

std::string writeFile(const std::string& path, const std::string& text)
{
    std::ofstream f(path, std::ios::binary);
    f << text;
    return path;
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The exclusive-or of the bytes between "$" and "*", as two upper-case hex digits.
std::string xorChecksum(const std::string& body)
{
    unsigned char x = 0;
    for (unsigned char c : body)
        x ^= c;
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", x);
    return buf;
}

// Whether this process holds a descriptor open on the file.
bool heldOpen(const std::string& path)
{
    std::error_code ec;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code ec2;
        const auto l = std::filesystem::read_symlink(e.path(), ec2);
        if (!ec2 && l == target)
            return true;
    }
    return false;
}

std::vector<Ms> gaps(const std::vector<Ms>& at)
{
    std::vector<Ms> g;
    for (size_t i = 1; i < at.size(); ++i)
        g.push_back(at[i] - at[i - 1]);
    return g;
}

} // namespace

// ---------------------------------------------------------------- text files

TEST_P(TerminalTextOverLink, TextFileSentLineByLineAtThePacingDelayInBothModes)
{
    struct Case {
        const char* what;
        const char* module;
        const char* direct;
        const char* entry; // menu entry that starts the send
        int pacing;        // chosen in the pacing menu beforehand
        std::string file;
        std::vector<std::string> lines; // what reaches the module, in order
        std::vector<int> gapsMs;        // between the lines' arrivals
        std::string shownOnly;          // comment lines shown on the screen
        bool screenCleared;
    };
    const std::vector<Case> cases = {
        {"plain at 200 ms", "echo", "DATA", "mnuSendText", 200,
         "first line\r\n'a comment\r\nmA\t123\t'El Trim\r\n\r\nlast",
         {"first line\r\n", "mA\t123\t'El Trim\r\n", "\r\n", "last\r\n"},
         // The comment line is not sent but its pacing wait is kept.
         {400, 200, 200}, "'a comment\r\n", false},
        {"plain at 0 ms", "echo", "DATA", "mnuSendText", 0, "one\ntwo\nthree\n",
         {"one\r\n", "two\r\n", "three\r\n"}, {0, 0}, "", false},
        {"plain at 1000 ms, LF line ends", "acu-terminal", "TAV8a", "mnuSendText", 1000, "mN999\nmA999\n",
         {"mN999\r\n", "mA999\r\n"}, {1000}, "", false},
        {"parameter upload at 80 ms", "acu-terminal", "TAV8a", "mnuParamUpload", 200,
         "' ACU parameters\r\n> prompt line\r\nmA\t123\t'El Trim\r\nmB\t001\t'x\r\n\tmN\t077\r\n'end\r\nmC000",
         {"mA123\r\n", "mB001\r\n", "mN077\r\n", "mC000\r\n"},
         {80, 80, 160}, "' ACU parameters\r\n> prompt line\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BenchSetup s;
        s.module = c.module;
        s.direct = c.direct;
        TerminalBench b(GetParam(), s);
        ASSERT_TRUE(b.ready());
        b.start();
        ASSERT_TRUE(b.t().linkOpen());
        const int pacingEntry = int(std::find(term::kPacingChoices.begin(), term::kPacingChoices.end(), c.pacing)
                                    - term::kPacingChoices.begin());
        ASSERT_TRUE(b.trigger(("mnuPace_" + std::to_string(pacingEntry)).c_str()));
        b.deviceSend("OLD TEXT\r\n");
        const auto mark = b.t().screen.mark();
        const std::string path = writeFile(b.dir() + "/send.txt", c.file);
        b.files = {path};
        std::string cancelText;
        bool cancelShown = false;
        b.onPump = [&] {
            QWidget* cw = b.w->cancelWindow();
            if (cw && cw->isVisible() && !cancelShown) {
                cancelShown = true;
                cancelText = cw->findChild<QLabel*>("lblCancelText")->text().toStdString();
                EXPECT_EQ(cw->windowTitle().toStdString(), "Send Text");
            }
        };
        const size_t before = b.crossed.size();
        ASSERT_TRUE(b.trigger(c.entry));
        b.onPump = nullptr;
        ASSERT_FALSE(b.stalled);

        std::string expected;
        for (const auto& l : c.lines)
            expected += l;
        EXPECT_EQ(b.crossed.substr(before), expected);
        const auto at = b.arrivalsOf(c.lines, before);
        ASSERT_EQ(at.size(), c.lines.size());
        const auto g = gaps(at);
        for (size_t i = 0; i < g.size(); ++i)
            EXPECT_EQ(g[i].count(), c.gapsMs[i]) << "between lines " << i << " and " << i + 1;

        // The cancel window showed the pacing and the file while sending, and is gone now.
        EXPECT_TRUE(cancelShown);
        const int shownPacing = std::string(c.entry) == "mnuParamUpload" ? 80 : c.pacing;
        EXPECT_EQ(cancelText, "Send Text File - Pacing: " + std::to_string(shownPacing) + ",  No Loop\n" + path);
        EXPECT_FALSE(b.w->cancelWindow()->isVisible());
        // The pacing chosen before is in force again.
        EXPECT_EQ(b.t().pacingMs, c.pacing);
        EXPECT_TRUE(b.action(("mnuPace_" + std::to_string(pacingEntry)).c_str())->isChecked());

        const std::string screen = b.t().screen.text();
        EXPECT_EQ(screen.find("OLD TEXT") == std::string::npos, c.screenCleared);
        if (!c.shownOnly.empty()) {
            EXPECT_NE(screen.find(c.shownOnly), std::string::npos) << screen;
        }
        // The module's answers reached the screen after the mark.
        if (std::string(c.module) == "acu-terminal") {
            const std::string answers = c.screenCleared ? screen : b.t().screen.since(mark);
            for (const auto& l : c.lines)
                EXPECT_NE(answers.find(l.substr(0, 2)), std::string::npos) << l;
            // Each line reached the ACU as one command.
            const auto& rec = b.model->module().received();
            ASSERT_GE(rec.size(), c.lines.size());
            for (size_t i = 0; i < c.lines.size(); ++i)
                EXPECT_EQ(rec[rec.size() - c.lines.size() + i],
                          sim::Received::line(c.lines[i].substr(0, c.lines[i].size() - 2)));
        }
        EXPECT_TRUE(b.boxes.empty()) << b.boxes[0].text;
    }
}

TEST_P(TerminalTextOverLink, CancelStopsALoopingSendBeforeItsNextLine)
{
    BenchSetup s;
    s.module = "echo";
    TerminalBench b(GetParam(), s);
    ASSERT_TRUE(b.ready());
    b.start();
    ASSERT_TRUE(b.trigger("mnuLoop"));
    EXPECT_TRUE(b.action("mnuLoop")->isChecked());
    const std::string path = writeFile(b.dir() + "/loop.txt", "L1\r\nL2\r\nL3\r\n");
    b.files = {path};
    const size_t before = b.crossed.size();
    // Cancel in the cancel window once five lines have reached the module (the file looped).
    bool clicked = false;
    std::string cancelText;
    Ms clickedAt{0};
    b.onPump = [&] {
        if (clicked)
            return;
        const std::string sent = b.crossed.substr(before);
        if (std::count(sent.begin(), sent.end(), '\n') >= 5) {
            clicked = true;
            clickedAt = b.clock.now();
            cancelText = b.w->cancelWindow()->findChild<QLabel*>("lblCancelText")->text().toStdString();
            b.w->cancelWindow()->findChild<QPushButton*>("cmdCancel")->click();
        }
    };
    const Ms started = b.clock.now();
    ASSERT_TRUE(b.trigger("mnuSendText"));
    b.onPump = nullptr;
    ASSERT_TRUE(clicked);
    EXPECT_EQ(cancelText, "Send Text File - Pacing: 200,  Loop\n" + path);
    EXPECT_EQ(b.crossed.substr(before), "L1\r\nL2\r\nL3\r\nL1\r\nL2\r\n");
    EXPECT_EQ((clickedAt - started).count(), 800) << "the fifth line left 800 ms after the first";
    EXPECT_LT((b.clock.now() - clickedAt).count(), 200) << "the pacing wait ended at the Cancel";
    EXPECT_FALSE(b.w->cancelWindow()->isVisible());
    b.clock.advance(Ms{3000});
    EXPECT_EQ(b.crossed.substr(before).size(), 20u) << "nothing after the Cancel";
    EXPECT_FALSE(heldOpen(path));

    // The next send starts afresh: without the loop the file goes once.
    ASSERT_TRUE(b.trigger("mnuLoop"));
    b.files = {path};
    const size_t again = b.crossed.size();
    ASSERT_TRUE(b.trigger("mnuSendText"));
    EXPECT_EQ(b.crossed.substr(again), "L1\r\nL2\r\nL3\r\n");
    EXPECT_TRUE(b.boxes.empty());
}

// ---------------------------------------------------------------- NMEA sentences

struct NmeaCase {
    const char* module;
    const char* direct;
};

void PrintTo(const NmeaCase& c, std::ostream* os) { *os << c.module << " on " << c.direct; }

class NmeaOverLink : public ::testing::TestWithParam<std::tuple<NmeaCase, TerminalBench::Kind>> {};

TEST_P(NmeaOverLink, GpsAndHeadingSentencesCrossWithTheirTriggerCharacterAndAreTaken)
{
    const auto [nc, kind] = GetParam();
    BenchSetup s;
    s.module = nc.module;
    s.direct = nc.direct;
    TerminalBench b(kind, s);
    ASSERT_TRUE(b.ready());
    b.start();
    ASSERT_TRUE(b.t().linkOpen());
    const bool vantor = std::string(nc.module) == "vantor";
    sim::NmeaLog& log = vantor ? b.model->as<sim::Vantor>().nmea() : b.model->as<sim::TerminalAcu>().nmea();

    // GPS: the sentence, then "@" once it has left.
    const std::string gll = "$GPGLL,3746.000,N,12213.000,W,0,00000,A";
    auto mark = b.t().screen.mark();
    size_t before = b.crossed.size();
    ASSERT_TRUE(b.trigger("SendGPS"));
    b.clock.advance(Ms{100});
    EXPECT_EQ(b.crossed.substr(before), gll + "\r\n@");
    auto at = b.arrivalsOf({gll + "\r\n", "@"}, before);
    ASSERT_EQ(at.size(), 2u);
    EXPECT_GE((at[1] - at[0]).count(), term::kGpsSettleMs);
    ASSERT_FALSE(log.sentences().empty());
    EXPECT_EQ(log.sentences().back().sentence, gll);
    EXPECT_EQ(log.sentences().back().checksum, sim::NmeaChecksum::Absent);
    // The sentence is shown, then the module answers "@" with the position it took.
    std::string screen = b.t().screen.since(mark);
    EXPECT_EQ(screen.rfind(gll + "\r\n\n", 0), 0u) << screen;
    EXPECT_NE(screen.find("@N0378W1222"), std::string::npos) << screen;

    // Heading: the counter's value with its checksum, then "H"; the counter moves on.
    struct Hdg {
        const char* heading;
        const char* answered; // the heading the module reports after "H"
    };
    for (const Hdg h : {Hdg{"123.4", "1234"}, Hdg{"123.5", "1235"}}) {
        const std::string body = std::string("HDHDT,") + h.heading + ",T";
        const std::string sentence = "$" + body + "*" + xorChecksum(body);
        mark = b.t().screen.mark();
        before = b.crossed.size();
        ASSERT_TRUE(b.trigger("SendHDG"));
        b.clock.advance(Ms{100});
        EXPECT_EQ(b.crossed.substr(before), sentence + "\r\nH") << h.heading;
        at = b.arrivalsOf({sentence + "\r\n", "H"}, before);
        ASSERT_EQ(at.size(), 2u);
        EXPECT_GE((at[1] - at[0]).count(), term::kHeadingSettleMs);
        EXPECT_EQ(log.sentences().back().sentence, sentence);
        EXPECT_EQ(log.sentences().back().checksum, sim::NmeaChecksum::Good) << "the checksum is right";
        screen = b.t().screen.since(mark);
        EXPECT_EQ(screen.rfind(sentence + "\r\n\n", 0), 0u) << screen;
        EXPECT_TRUE(std::regex_search(screen, std::regex(std::string(R"(HR\d{4} )") + h.answered))) << screen;
    }
    EXPECT_EQ(log.count(sim::NmeaChecksum::Good), 2);
    EXPECT_EQ(log.count(sim::NmeaChecksum::Bad), 0);

    // Reset HDG Range from 1236: no heading next; again: 1.0.
    ASSERT_TRUE(b.trigger("mnuResetHDG"));
    before = b.crossed.size();
    ASSERT_TRUE(b.trigger("SendHDG"));
    b.clock.advance(Ms{100});
    EXPECT_EQ(b.crossed.substr(before), "$HDHDT,,T*" + xorChecksum("HDHDT,,T") + "\r\nH");
    ASSERT_TRUE(b.trigger("mnuResetHDG"));
    before = b.crossed.size();
    ASSERT_TRUE(b.trigger("SendHDG"));
    b.clock.advance(Ms{100});
    EXPECT_EQ(b.crossed.substr(before), "$HDHDT,1.0,T*" + xorChecksum("HDHDT,1.0,T") + "\r\nH");
    EXPECT_TRUE(b.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Modules, NmeaOverLink,
                         ::testing::Combine(::testing::Values(NmeaCase{"acu-terminal", "TAV8a"},
                                                              NmeaCase{"vantor", "OrlaPCU"}),
                                            ::testing::Values(TerminalBench::Kind::Pty, TerminalBench::Kind::Tcp)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).module == std::string("vantor") ? "Vantor"
                                                                                                         : "Acu")
                                    + "_" + kindName(std::get<1>(info.param));
                         });

// ---------------------------------------------------------------- factory defaults

TEST_P(TerminalTextOverLink, FactoryDefaultsSendThirtySixLinesAndTwoWritesThatTheAcuKeeps)
{
    const std::vector<std::string> defaults = {
        "mA000", "mB001", "mC000", "mD002", "mF100", "X0000", "X0000", "mG000", "Y0000",
        "Y0000", "mH000", "mJ010", "mK100", "mL030", "mM000", "mN077", "mO002", "mP009",
        "mQ030", "mR090", "mS000", "mT000", "mU000", "mV000", "mW002", "mb001", "mc125",
        "md078", "me004", "mf197", "mg087", "T1010", "c1047", "d5000", "mu002", "t0000",
    };
    ASSERT_EQ(defaults.size(), 36u);
    BenchSetup s;
    s.module = "acu-terminal";
    s.direct = "TAV8a";
    TerminalBench b(GetParam(), s);
    ASSERT_TRUE(b.ready());
    b.start();
    auto& acu = b.model->as<sim::TerminalAcu>();
    const auto mark = b.t().screen.mark();
    const size_t before = b.crossed.size();
    const size_t recBefore = acu.received().size();
    b.answers = {Answer::Ok};
    ASSERT_TRUE(b.trigger("mnuSaveReset_4"));
    ASSERT_FALSE(b.stalled);
    ASSERT_EQ(b.boxes.size(), 1u);
    EXPECT_EQ(b.boxes[0].text, "Are you sure you want to re-set ALL TAV NVRAM parameters?");
    EXPECT_EQ(b.boxes[0].title, "Load Factory Defaults");
    EXPECT_EQ(b.boxes[0].buttons, Buttons::OkCancel);

    // Byte for byte, in order.
    std::string expected;
    std::vector<std::string> pieces;
    for (const auto& d : defaults) {
        expected += d + CRLF;
        pieces.push_back(d + CRLF);
    }
    expected += "WW";
    pieces.push_back("W");
    pieces.push_back("W");
    EXPECT_EQ(b.crossed.substr(before), expected);
    // The ACU took 36 lines and two writes, in that order.
    const auto& rec = acu.received();
    ASSERT_EQ(rec.size() - recBefore, 38u);
    for (size_t i = 0; i < 36; ++i)
        EXPECT_EQ(rec[recBefore + i], sim::Received::line(defaults[i])) << i;
    EXPECT_EQ(rec[recBefore + 36], sim::Received::byte('W'));
    EXPECT_EQ(rec[recBefore + 37], sim::Received::byte('W'));
    EXPECT_EQ(acu.writes(), 2);
    // About 200 ms apart once each line has left; a second between the writes.
    const auto at = b.arrivalsOf(pieces, before);
    ASSERT_EQ(at.size(), 38u);
    const auto g = gaps(at);
    for (size_t i = 0; i < 36; ++i) {
        EXPECT_GE(g[i].count(), 200) << i;
        EXPECT_LE(g[i].count(), 230) << i;
    }
    EXPECT_EQ(g[36].count(), 1000);
    EXPECT_GE((b.clock.now() - at[37]).count(), 1000) << "the last write gets its second too";
    const std::string screen = b.t().screen.since(mark);
    EXPECT_NE(screen.find("SAVING PARAMETERS, PLEASE WAIT\r\n"), std::string::npos);
    ASSERT_GE(screen.size(), 20u);
    EXPECT_EQ(screen.substr(screen.size() - 20), " PARAMETERS SAVED\r\n>");

    // A restart brings the saved values back: the factory value reads back.
    ASSERT_TRUE(b.trigger("mnuSaveReset_1")); // ACU Reset
    b.clock.advance(Ms{200});
    const auto readMark = b.t().screen.mark();
    b.type("mN999\r");
    b.clock.advance(Ms{100});
    EXPECT_NE(b.t().screen.since(readMark).find("mN077"), std::string::npos) << b.t().screen.since(readMark);
}

TEST_P(TerminalTextOverLink, FactoryDefaultsCancelledAtTheQuestionSendNothing)
{
    BenchSetup s;
    s.module = "acu-terminal";
    s.direct = "TAV8a";
    TerminalBench b(GetParam(), s);
    ASSERT_TRUE(b.ready());
    b.start();
    const size_t before = b.crossed.size();
    b.answers = {Answer::Cancel};
    ASSERT_TRUE(b.trigger("mnuSaveReset_4"));
    b.clock.advance(Ms{10000});
    EXPECT_EQ(b.boxes.size(), 1u);
    EXPECT_EQ(b.crossed.size(), before);
    EXPECT_EQ(b.model->as<sim::TerminalAcu>().writes(), 0);
    EXPECT_TRUE(b.action("mnuSaveReset_4")->isEnabled()) << "no sequence left running";
}

// ---------------------------------------------------------------- communications log

TEST_P(TerminalTextOverLink, CommunicationsLogReplacesAppendsOrLeavesAnExistingFile)
{
    struct Case {
        const char* what;
        bool exists;
        Answer answer;
        bool opened;
        std::string before; // what the file keeps of its old content
    };
    const std::vector<Case> cases = {
        {"new file", false, Answer::Ok, true, ""},
        {"Yes replaces", true, Answer::Yes, true, ""},
        {"No appends", true, Answer::No, true, "OLD\r\n"},
        {"Cancel leaves it", true, Answer::Cancel, false, "OLD\r\n"},
    };
    const std::string received = "line one\r\nbare LF\nCR only\r\xb0\x1b";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TerminalBench b(GetParam());
        ASSERT_TRUE(b.ready());
        b.start();
        const std::string path = b.dir() + "/comms.log";
        if (c.exists)
            writeFile(path, "OLD\r\n");
        b.files = {path};
        b.answers = {c.answer};
        ASSERT_TRUE(b.trigger("OpenLogFile"));
        if (c.exists) {
            ASSERT_EQ(b.boxes.size(), 1u);
            EXPECT_EQ(b.boxes[0].text, "Replace existing file - " + path + "?");
            EXPECT_EQ(b.boxes[0].buttons, Buttons::YesNoCancel);
        } else {
            EXPECT_TRUE(b.boxes.empty());
        }
        EXPECT_EQ(heldOpen(path), c.opened);
        EXPECT_EQ(b.w->windowTitle().toStdString(),
                  c.opened ? "Tessaro Program Terminal - Logging comms.log" : "Tessaro Program Terminal");
        EXPECT_EQ(b.action("OpenLogFile")->isEnabled(), !c.opened);
        EXPECT_EQ(b.action("CloseLogFile")->isEnabled(), c.opened);
        EXPECT_EQ(b.action("mnuStopLog")->isEnabled(), c.opened);

        // Received text, raw on the data terminal path; the reply buffer does not grow.
        b.t().collect = true;
        b.deviceSend(received);
        b.type("hi\r"); // the echo module's answer is logged, as it is received
        EXPECT_EQ(b.t().replyBuffer.empty(), c.opened);
        ASSERT_TRUE(b.trigger("CloseLogFile") || !c.opened);
        EXPECT_FALSE(heldOpen(path)) << "closed";
        EXPECT_EQ(b.w->windowTitle().toStdString(), "Tessaro Program Terminal");
        EXPECT_TRUE(b.action("OpenLogFile")->isEnabled());
        EXPECT_EQ(readFile(path), c.opened ? c.before + received + "hi\r\n>" : c.before);
        // Closed, text no longer reaches the file.
        b.deviceSend("after");
        EXPECT_EQ(readFile(path), c.opened ? c.before + received + "hi\r\n>" : c.before);
    }
}

TEST_P(TerminalTextOverLink, CommunicationsLogTakesWhatIsShownOnAModulePathNotWhatIsSent)
{
    BenchSetup s;
    s.module = "acu-terminal";
    s.direct = "TAV8a";
    TerminalBench b(GetParam(), s);
    ASSERT_TRUE(b.ready());
    b.start();
    const std::string path = b.dir() + "/acu.log";
    b.files = {path};
    ASSERT_TRUE(b.trigger("mnuStartLog"));
    ASSERT_TRUE(heldOpen(path));
    b.type("mN999\r");
    b.deviceSend("x\ry\nz\r\n");
    b.clock.advance(Ms{100});
    // The ACU's answer with its prompt, the line ends made CR LF; the typed command not at all.
    EXPECT_EQ(readFile(path), "mN065\r\n>x\r\nyz\r\n");
    // Closing the window closes the log.
    b.w->close();
    EXPECT_FALSE(heldOpen(path));
}

INSTANTIATE_TEST_SUITE_P(Links, TerminalTextOverLink,
                         ::testing::Values(TerminalBench::Kind::Pty, TerminalBench::Kind::Tcp),
                         [](const auto& info) { return std::string(kindName(info.param)); });
