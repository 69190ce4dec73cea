// The port's faults and line ends: delayed, lost, garbled and busy replies, a dropping link,
// and the prompt the panel strips.
#include "ReplyChecks.h"
#include "SimTestUtil.h"
#include "sim/AcuModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace simtest;
using sim::Ms;

namespace {

// Sends each query in turn and returns the reply lines that came back.
std::vector<std::string> replies(sim::AcuModel& m, const std::vector<std::string>& cmds)
{
    std::string out;
    for (const auto& c : cmds) {
        m.receive(c);
        out += m.takeOutput();
    }
    return splitLines(out);
}

// The first character of each line: which query it answers.
std::string keys(const std::vector<std::string>& lines)
{
    std::string k;
    for (const auto& l : lines)
        k += l.empty() ? '-' : l[0];
    return k;
}

} // namespace

TEST(AcuPort, DelayedRepliesComeDueInOrder)
{
    sim::AcuModel m;
    calm(m);
    m.faults().replyDelay = Ms{300};
    m.receive("S");
    m.receive("P");
    EXPECT_EQ(m.takeOutput(), "");
    m.advance(Ms{100});
    m.receive("H");
    m.advance(Ms{199});
    EXPECT_EQ(m.takeOutput(), "") << "299 ms after the first query";
    m.advance(Ms{1});
    EXPECT_EQ(keys(splitLines(m.takeOutput())), "SP");
    EXPECT_EQ(m.port().pendingReplies(), 1u);
    m.advance(Ms{100});
    EXPECT_EQ(keys(splitLines(m.takeOutput())), "H");

    // Shortening the delay never lets a later reply overtake an earlier one.
    m.faults().replyDelay = Ms{500};
    m.receive("S");
    m.faults().replyDelay = Ms{0};
    m.receive("P");
    EXPECT_EQ(m.takeOutput(), "");
    m.advance(Ms{500});
    EXPECT_EQ(keys(splitLines(m.takeOutput())), "SP");
}

TEST(AcuPort, CountedFaultsHitEveryNthReply)
{
    const std::vector<std::string> poll = {"S", "P", "H", "@", "q", "u", "%"};
    const struct {
        const char* name;
        sim::Faults faults;
        std::string keys; // first character of each reply that arrives
    } cases[] = {
        {"no faults", {}, "SPH@qu%"},
        {"drop every 3rd", {.dropEvery = 3}, "SP@q%"},
        {"drop the next", {.dropNext = true}, "PH@qu%"},
        {"busy every 2nd", {.busyEvery = 2}, "S#H#q#%"},
        {"busy the next", {.busyNext = true}, "#PH@qu%"},
        {"garble every 4th keeps the count", {.garbleEvery = 4}, "SPH@qu%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::AcuModel m(c.faults);
        calm(m);
        const auto lines = replies(m, poll);
        EXPECT_EQ(keys(lines), c.keys);
        for (const auto& l : lines) {
            if (l[0] == '#') {
                EXPECT_EQ(l, "###");
            }
        }
    }
}

TEST(AcuPort, TrackingSwitchesDoNotCountAsReplies)
{
    sim::AcuModel m({.dropEvery = 2});
    const auto lines = replies(m, {"S", "C", "P", "D", "H"});
    EXPECT_EQ(keys(lines), "SH") << "P is the second reply and is lost; C and D have none";
}

TEST(AcuPort, GarbledReplyKeepsItsLengthButFailsThePanelsCheck)
{
    sim::AcuModel clean;
    sim::AcuModel noisy({.garbleEvery = 2});
    calm(clean);
    calm(noisy);
    const std::vector<std::string> cmds = {"S", "S", "P", "P", "mN999\r\n", "mN999\r\n", "V", "V"};
    const auto good = replies(clean, cmds);
    const auto bad = replies(noisy, cmds);
    ASSERT_EQ(good.size(), cmds.size());
    ASSERT_EQ(bad.size(), cmds.size());
    const char* keys[] = {"S", "S", "E", "E", "m", "m", "VER", "VER"};
    for (std::size_t i = 0; i < cmds.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(position(good[i], keys[i]), 0);
        if (i % 2 == 0) {
            EXPECT_EQ(bad[i], good[i]);
        } else {
            EXPECT_EQ(bad[i].size(), good[i].size());
            EXPECT_NE(bad[i], good[i]);
            EXPECT_EQ(position(bad[i], keys[i]), 0) << "key letter lost";
        }
    }
    EXPECT_FALSE(statusReplyValid(bad[1]));
}

TEST(AcuPort, BusyCommandIsNotCarriedOut)
{
    sim::AcuModel m;
    calm(m);
    const struct {
        const char* cmd;
        bool busy;
        const char* reply;
    } steps[] = {
        {"mA011\r\n", false, "mA011"},
        {"mA022\r\n", true, "mA###"}, // the busy mark stands where the value would
        {"mA999\r\n", false, "mA011"},
        {"A0100\r\n", true, "###"},
        {"\x81", true, "m\x81###"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.cmd);
        m.faults().busyNext = s.busy;
        EXPECT_EQ(ask(m, s.cmd), s.reply);
    }
    EXPECT_TRUE(m.device().tracking()) << "the refused pointing command did not end tracking";
}

TEST(AcuPort, LinkDropComesDueAfterItsTime)
{
    sim::AcuModel m({.dropLinkAfter = Ms{1500}});
    m.advance(Ms{1499});
    EXPECT_FALSE(m.linkDropDue());
    m.advance(Ms{1});
    EXPECT_TRUE(m.linkDropDue());

    sim::AcuModel never;
    never.advance(Ms{3'600'000});
    EXPECT_FALSE(never.linkDropDue());
}

TEST(AcuPort, PromptAfterEachReplyIsWhatThePanelStrips)
{
    sim::AcuModel plain;
    sim::AcuModel prompted({}, sim::LineEnd::CrLfPrompt);
    calm(plain);
    calm(prompted);
    const std::vector<std::string> cmds = {"S", "P", "H", "@", "mN999\r\n"};

    std::string stream;
    for (const auto& c : cmds) {
        prompted.receive(c);
        const std::string out = prompted.takeOutput();
        EXPECT_EQ(out.substr(out.size() - 3), "\r\n>");
        stream += out;
    }
    // The panel cuts at CR, then drops everything up to a ">" in the first or second place.
    std::vector<std::string> cut;
    for (std::string line : splitLines(stream)) {
        const auto gt = line.find('>');
        if (gt != std::string::npos && gt <= 1)
            line.erase(0, gt + 1);
        cut.push_back(line);
    }
    ASSERT_EQ(cut.size(), cmds.size() + 1) << "the last prompt waits for the next line";
    EXPECT_EQ(cut.back(), "");
    cut.pop_back();
    EXPECT_EQ(cut, replies(plain, cmds));
}

TEST(AcuPort, KeepsTheCommandsItReceived)
{
    sim::AcuModel m;
    m.receive("SP?   S\r\nC");
    const auto& h = m.port().received();
    ASSERT_EQ(h.size(), 4u);
    EXPECT_EQ(h[2], sim::Command::line("?   S"));
    EXPECT_EQ(h[3], sim::Command::query('C'));
    for (int i = 0; i < 300; ++i)
        m.receive("C");
    EXPECT_EQ(m.port().received().size(), sim::AcuPort::historyLength);
}
