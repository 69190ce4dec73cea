// The panel's link logic against the simulated ACU across a real pseudo-terminal and a real
// TCP connection on loopback, on virtual time: what crosses the link byte for byte, when it
// leaves, and how replies are matched to their commands.
#include "SimBench.h"

#include <gtest/gtest.h>

using namespace integ;
using common::Ms;

namespace {

const std::string kAntennaPoll = "SPHuSPHqSPH@SPH!?   S%SPH!mN999";

// The poll sequence as the scheduler sends it: one element per tick, "!" elements as five
// characters and CR LF.
std::vector<std::string> elements(const std::string& seq)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < seq.size(); ++i) {
        if (seq[i] == '!') {
            out.push_back(seq.substr(i + 1, 5) + "\r\n");
            i += 5;
        } else {
            out.push_back(std::string(1, seq[i]));
        }
    }
    return out;
}

// The key character each reply must carry at its place, by the query it answers.
bool replyFits(const std::string& line, const std::string& command)
{
    if (command.empty() || line.empty())
        return false;
    const auto at = [&](size_t pos1, char c) { return line.size() >= pos1 && line[pos1 - 1] == c; };
    switch (command[0]) {
    case 'S': return line.find('S') != std::string::npos && line.find('S') < 6 && line.size() >= line.find('S') + 5;
    case 'P': return line.find('E') != std::string::npos && line.find('E') < 9;
    case 'H': return line.find('R') != std::string::npos && line.find('R') < 3;
    case 'u': return line.find('G') != std::string::npos && line.find('G') < 3;
    case 'q': return line.find('q') != std::string::npos && line.find('q') < 3;
    case '%': return line.find('L') != std::string::npos && line.find('L') < 3;
    case '@': {
        const auto k = line.find_first_of("EW");
        return k != std::string::npos && k >= 5 && k <= 7;
    }
    case 'm': return line.find('m') != std::string::npos;
    case '?': return at(1, command[4]) || line.find(command[4]) != std::string::npos;
    default: return false;
    }
}

class PanelOverLink : public ::testing::TestWithParam<SimBench::Kind> {};

} // namespace

TEST_P(PanelOverLink, StartUpWaitsThenSendsThePollSequenceOneElementPerTickAndMatchesEveryReply)
{
    SimBench b(GetParam());
    b.link->Startup();
    ASSERT_TRUE(b.shared.open) << (b.ui.messages.empty() ? "" : b.ui.messages[0].text);
    EXPECT_EQ(b.main.status[1], "Status: Port Open");

    // Nothing leaves before the start-up timer (1500 ms) and the first pacing tick (200 ms).
    const Ms opened = b.clock.now();
    b.clock.advance(Ms{1699});
    EXPECT_TRUE(b.departures.empty());
    const auto seq = elements(kAntennaPoll);
    b.clock.advance(Ms{1 + 200 * (int(seq.size()) * 2 - 1)});
    ASSERT_FALSE(b.stalled);
    ASSERT_EQ(b.departures.size(), seq.size() * 2);

    // Byte for byte: two full cycles of the ANTENNA sequence, nothing else.
    std::string expected;
    for (int cycle = 0; cycle < 2; ++cycle)
        for (const auto& e : seq)
            expected += e;
    EXPECT_EQ(b.crossed, expected);

    // One command per 200 ms tick, the first 1700 ms after opening.
    for (size_t i = 0; i < b.departures.size(); ++i) {
        EXPECT_EQ(b.departures[i].at - opened, Ms{1700 + 200 * int(i)}) << i;
        EXPECT_EQ(b.departures[i].bytes, seq[i % seq.size()]) << i;
    }

    // Every reply has the shape of its own query: the ring matched them all.
    size_t first = 0;
    if (GetParam() == SimBench::Kind::Tcp) {
        // The read index starts one slot behind: the greeting takes the empty slot 31.
        ASSERT_FALSE(b.matched.empty());
        EXPECT_EQ(b.matched[0].line, sim::SimServer::greeting);
        EXPECT_EQ(b.matched[0].command, "");
        first = 1;
    }
    ASSERT_GE(b.matched.size(), first + seq.size() * 2 - 1);
    for (size_t i = first; i < b.matched.size(); ++i) {
        EXPECT_EQ(b.matched[i].command, seq[(i - first) % seq.size()]) << i;
        EXPECT_TRUE(replyFits(b.matched[i].line, b.matched[i].command))
            << i << ": \"" << b.matched[i].line << "\" for \"" << b.matched[i].command << "\"";
    }
    EXPECT_EQ(b.main.status[1], "Status: Port Open");
    EXPECT_EQ(b.main.lamps[panel::kPortLamp].fill, panel::kGreen);
    EXPECT_EQ(b.main.status[2], "Query: " + kAntennaPoll);
    EXPECT_TRUE(b.ui.messages.empty());
}

TEST_P(PanelOverLink, ReopeningPollsAfterTheScreenKeyPause)
{
    SimBench b(GetParam());
    b.link->Startup();
    b.clock.advance(Ms{2500});
    b.link->mnuOpen_Click(); // close
    ASSERT_FALSE(b.shared.open);
    b.link->mnuOpen_Click(); // open again: the ANTENNA key pauses polling for 600 ms
    ASSERT_TRUE(b.shared.open);
    const Ms reopened = b.clock.now();
    const size_t before = b.departures.size();
    const std::string crossedBefore = b.crossed;
    b.clock.advance(Ms{1000});
    ASSERT_FALSE(b.stalled);
    ASSERT_EQ(b.departures.size(), before + 2);
    EXPECT_EQ(b.departures[before].at - reopened, Ms{800});
    EXPECT_EQ(b.departures[before].bytes, "S");
    EXPECT_EQ(b.departures[before + 1].at - reopened, Ms{1000});
    EXPECT_EQ(b.crossed.substr(crossedBefore.size()), "SP");
}

TEST_P(PanelOverLink, FasterPacingSendsOneCommandPerTick)
{
    SimBench b(GetParam());
    b.link->Startup();
    b.link->setPacing(50);
    b.clock.advance(Ms{1500 + 50 * 40});
    ASSERT_FALSE(b.stalled);
    ASSERT_EQ(b.departures.size(), 40u);
    for (size_t i = 1; i < b.departures.size(); ++i)
        EXPECT_EQ(b.departures[i].at - b.departures[i - 1].at, Ms{50}) << i;
}

TEST_P(PanelOverLink, TypedSetCommandChangesWhatTheNextPollReports)
{
    SimBench b(GetParam());
    b.link->Startup();
    b.clock.advance(Ms{2000});
    // A parameter set command, typed as a 7-character piece, then the parameter read in the poll.
    b.shared.typed = "mN042\r\n";
    b.clock.advance(Ms{200 * 30});
    ASSERT_FALSE(b.stalled);
    EXPECT_NE(b.crossed.find("mN042\r\n"), std::string::npos);
    bool seen = false;
    for (const auto& m : b.matched)
        if (m.command == "mN999\r\n" && m.line.find("042") != std::string::npos)
            seen = true;
    EXPECT_TRUE(seen) << "the parameter read after the set shows the new value";
}

TEST_P(PanelOverLink, DeviceVanishingMidPollIsReportedAndThePanelKeepsRunning)
{
    SimBench b(GetParam());
    b.link->Startup();
    b.clock.advance(Ms{2500});
    ASSERT_FALSE(b.departures.empty());
    b.dropDevice();
    b.clock.advance(Ms{5000});
    ASSERT_FALSE(b.ui.messages.empty());
    if (GetParam() == SimBench::Kind::Pty) {
        // The serial layer's event: the port closes and the panel shows it closed.
        EXPECT_EQ(b.ui.messages[0].title, "Click Cancel to quit, OK to ignore.");
        EXPECT_EQ(b.ui.messages[0].text.rfind("Unknown error or event", 0), 0u) << b.ui.messages[0].text;
        EXPECT_EQ(b.main.status[1], "Status: Port Closed");
        EXPECT_EQ(b.main.text5[0], "Check Comm Port");
    } else {
        // The next send tries to reconnect for 3 s, then gives up with the TCP message.
        EXPECT_EQ(b.ui.messages.back().text, "Error,\rTCP/IP connection is no longer valid.\rClick LED to re-connect.");
    }
    EXPECT_FALSE(b.shared.open);
    const size_t sent = b.departures.size();
    b.clock.advance(Ms{2000});
    EXPECT_EQ(b.departures.size(), sent) << "nothing is sent on a closed link";
}

TEST_P(PanelOverLink, GarbageAndAnOverlongLineLeaveTheBufferBoundedAndPollingRecovers)
{
    SimBench b(GetParam());
    b.link->Startup();
    b.clock.advance(Ms{2500});
    // 100 000 bytes without CR straight into the receive path, as a runaway device would send.
    b.link->OnReceive(std::string(100000, 'Z'));
    EXPECT_LE(b.main.lineBuffer.size(), panel::kMaxLineBuffer);
    const size_t before = b.matched.size();
    b.clock.advance(Ms{200 * 25});
    ASSERT_FALSE(b.stalled);
    EXPECT_GT(b.matched.size(), before + 20);
    EXPECT_TRUE(b.shared.open);
}

INSTANTIATE_TEST_SUITE_P(Links, PanelOverLink, ::testing::Values(SimBench::Kind::Pty, SimBench::Kind::Tcp),
                         [](const auto& info) { return info.param == SimBench::Kind::Pty ? "Pty" : "Tcp"; });
