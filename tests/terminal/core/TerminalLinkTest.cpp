// The terminal over a real pseudo-terminal and over TCP on loopback, on virtual time: typed
// bytes arrive byte for byte, received bytes reach the screen, TxSettle waits until the
// written bytes have really left, and TCP connects, fails and reconnects as it should.
#include "LinkBench.h"

#include <gtest/gtest.h>

using common::Ms;
using termtest::LinkBench;

namespace {

// Every key code a technician can type that goes on the line, and what the line then carries.
void everyKey(std::vector<int>& keys, std::string& wire)
{
    for (int k = 4; k < 256; ++k) {
        keys.push_back(k);
        wire += k == 13 ? std::string("\r\n") : std::string(1, char(k));
    }
}

std::string kindName(LinkBench::Kind k) { return k == LinkBench::Kind::Pty ? "pty" : "tcp"; }

void open(LinkBench& b)
{
    b.waitFor = [&b] { return b.t.link() && b.t.link()->isOpen(); };
    b.t.mnuOpen_Click();
    b.waitFor = nullptr;
}

} // namespace

TEST(TerminalOverLink, TypedBytesArriveByteExact)
{
    for (const auto kind : {LinkBench::Kind::Pty, LinkBench::Kind::Tcp}) {
        SCOPED_TRACE(kindName(kind));
        LinkBench b(kind);
        ASSERT_TRUE(b.ready());
        open(b);
        ASSERT_TRUE(b.t.linkOpen());
        EXPECT_TRUE(b.ui.messages.empty());
        std::vector<int> keys;
        std::string wire;
        everyKey(keys, wire);
        for (const int k : keys)
            EXPECT_TRUE(b.t.KeyPress(k));
        ASSERT_TRUE(b.settleUntil([&] { return b.atDevice.size() >= wire.size(); }));
        EXPECT_EQ(b.atDevice, wire);
        // Echo off: the screen shows only what the equipment sends back.
        EXPECT_EQ(b.t.screen.text(), "");
    }
}

TEST(TerminalOverLink, ReceivedBytesReachTheScreenAndTheReplyBuffer)
{
    for (const auto kind : {LinkBench::Kind::Pty, LinkBench::Kind::Tcp}) {
        SCOPED_TRACE(kindName(kind));
        LinkBench b(kind);
        ASSERT_TRUE(b.ready());
        open(b);
        ASSERT_TRUE(b.t.linkOpen());
        b.t.collect = true;
        std::string reply = "Ver 1.52\r\n";
        for (int v = 128; v < 256; ++v)
            reply.push_back(char(v));
        b.deviceSend(reply);
        // AwaitReply sees the reply as soon as it is in: no time-out text, only the pacing wait.
        b.t.pacingMs = 0;
        ASSERT_TRUE(b.settleUntil([&] { return b.t.screen.text().size() >= reply.size(); }));
        const Ms began = b.clock.now();
        EXPECT_EQ(b.t.AwaitReply(), reply);
        EXPECT_EQ(b.t.screen.text(), reply);
        EXPECT_EQ(b.clock.now(), began);
    }
}

TEST(TerminalOverLink, TxSettleWaitsUntilTheWrittenBytesHaveLeft)
{
    LinkBench b(LinkBench::Kind::Pty);
    ASSERT_TRUE(b.ready());
    // A fast line, so the time the line needs for the block stays below the drain bound.
    b.t.settings = "921600,N,8,1";
    open(b);
    ASSERT_TRUE(b.t.linkOpen());
    // More than the pseudo-terminal holds, and the equipment reads nothing for a second: the
    // bytes cannot leave before then, nor before the line has had the time to send them
    // (10 bits a character).
    std::string block;
    for (int i = 0; i < 256 * 1024; ++i)
        block.push_back(char('0' + i % 64));
    b.readFrom = Ms{1000};
    const Ms lineTime{long(block.size()) * 10 * 1000 / 921600};
    b.t.CommOut(block);
    b.t.TxSettle(10);
    const Ms ended = b.clock.now();
    // Asking whether the output has drained must not itself break a port whose output is
    // merely backed up (the device not reading yet is not a lost device).
    ASSERT_TRUE(b.t.linkOpen()) << b.t.statusText;
    EXPECT_GE(ended, Ms{1010});
    EXPECT_GE(ended, lineTime + Ms{9}) << "the line's own time, less the rounding of the arithmetic";
    EXPECT_LT(ended, term::kDrainBound);
    EXPECT_TRUE(b.t.link()->outputDrained());
    ASSERT_TRUE(b.settleUntil([&] { return b.atDevice.size() >= block.size(); }));
    EXPECT_EQ(b.atDevice, block);

    // With the equipment reading at once, the same wait is about its own delay only.
    const Ms began = b.clock.now();
    b.atDevice.clear();
    b.t.CommOut("[L\r\n");
    b.t.TxSettle(10);
    EXPECT_LE(b.clock.now() - began, Ms{30});
    EXPECT_GE(b.clock.now() - began, Ms{10});
    EXPECT_EQ(b.atDevice, "[L\r\n");
}

TEST(TerminalOverLink, TcpConnectToNothingFailsAfterThreeSeconds)
{
    LinkBench b(LinkBench::Kind::Tcp);
    ASSERT_TRUE(b.ready());
    b.server.close(); // the port refuses
    b.t.mnuOpen_Click();
    EXPECT_FALSE(b.t.linkOpen());
    ASSERT_EQ(b.ui.messages.size(), 1u);
    EXPECT_EQ(b.ui.messages[0].text, "Error,\rCannot connect to selected IP device.\rCheck PortSettings Properies.");
    EXPECT_EQ(b.ui.messages[0].at, Ms{3000});
}

TEST(TerminalOverLink, TcpSendAfterTheConnectionWentAwayConnectsAgain)
{
    LinkBench b(LinkBench::Kind::Tcp);
    ASSERT_TRUE(b.ready());
    open(b);
    ASSERT_TRUE(b.t.linkOpen());
    ASSERT_TRUE(b.settleUntil([&] { return b.peer != nullptr; }));
    b.peer->abort();
    ASSERT_TRUE(b.settleUntil([&] { return !b.t.link()->isOpen(); }));
    EXPECT_TRUE(b.t.linkOpen()); // still open for the terminal: the next send reconnects

    b.waitFor = [&b] { return b.t.link()->isOpen(); };
    b.t.CommOut("V\r\n");
    b.waitFor = nullptr;
    EXPECT_TRUE(b.t.linkOpen());
    EXPECT_EQ(b.connections, 2);
    ASSERT_TRUE(b.settleUntil([&] { return b.atDevice.size() >= 3; }));
    EXPECT_EQ(b.atDevice, "V\r\n");
    EXPECT_TRUE(b.ui.messages.empty());

    // With the server gone as well, the send gives the link up.
    b.peer->abort();
    b.server.close();
    ASSERT_TRUE(b.settleUntil([&] { return !b.t.link()->isOpen(); }));
    const Ms began = b.clock.now();
    b.t.CommOut("S\r\n");
    EXPECT_FALSE(b.t.linkOpen());
    EXPECT_EQ(b.clock.now() - began, Ms{3000});
    ASSERT_EQ(b.ui.messages.size(), 1u);
    EXPECT_EQ(b.ui.messages[0].text, "Error,\rTCP/IP connection is no longer valid.\rClick LED to re-connect.");
}

TEST(TerminalOverLink, SerialCloseLetsGoOfTheDeviceAndOpensAgain)
{
    LinkBench b(LinkBench::Kind::Pty);
    ASSERT_TRUE(b.ready());
    open(b);
    ASSERT_TRUE(b.t.linkOpen());
    b.t.mnuOpen_Click();
    EXPECT_FALSE(b.t.linkOpen());
    EXPECT_FALSE(b.t.link()->isOpen());
    open(b);
    ASSERT_TRUE(b.t.linkOpen());
    EXPECT_TRUE(b.ui.messages.empty());
    b.t.CommOut("\x1b" "D");
    ASSERT_TRUE(b.settleUntil([&] { return b.atDevice.size() >= 2; }));
    EXPECT_EQ(b.atDevice, "\x1b" "D");
}
