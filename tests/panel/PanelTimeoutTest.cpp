// The reply timeout: its timing, and its three outcomes (plain timeout, a dump that never
// started answering, a parameter left unanswered during a dump).
#include "panel/PanelFixture.h"

namespace paneltest {
namespace {

using Decoded = std::vector<std::pair<std::string, std::string>>;

TEST_F(PanelTest, ReplyTimeoutCountsFromTheLastArrival)
{
    startPolling();
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"})); // 1700 ms: the timeout is armed
    EXPECT_TRUE(panel->timer2().enabled());

    clock.advance(1299ms); // 2999 ms
    link().receive("s");   // part of a line is an arrival too
    clock.advance(2999ms);
    EXPECT_NE(main.status[1], "Status: TimeOut");
    EXPECT_EQ(portLamp().fill, panel::kGreen);
    clock.advance(1ms);
    EXPECT_EQ(main.status[1], "Status: TimeOut");
    EXPECT_EQ(portLamp().fill, panel::kCyan);
    EXPECT_FALSE(portLamp().cycleMark);
    EXPECT_TRUE(ui.messages.empty());

    // A reply makes it green again.
    link().receive("\r");
    EXPECT_EQ(portLamp().fill, panel::kGreen);
    EXPECT_EQ(main.status[1], "Status: Port Open");
}

TEST_F(PanelTest, ReplyTimeoutMenuSetsTheWait)
{
    for (int ms : {1000, 2000, 3000}) {
        SCOPED_TRACE(ms);
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        startPolling();
        panel->setReplyTimeout(ms);
        EXPECT_EQ(main.timeoutMs, ms);
        clock.advance(200ms); // "S" leaves and arms the timeout
        link().receive("s\r");
        shared.diagStop = true; // nothing more is sent, so nothing re-arms it
        clock.advance(Ms{ms - 1});
        EXPECT_NE(main.status[1], "Status: TimeOut");
        clock.advance(1ms);
        EXPECT_EQ(main.status[1], "Status: TimeOut");
    }
}

TEST_F(PanelTest, UnansweredDumpBelowPosition31IsAPlainTimeout)
{
    struct Case {
        int elements; // parameter queries in the dump sequence, 6 characters each
        int pos;      // where the dump stands when the reply timeout falls due
        bool ends;    // the dump gives up with a message
    };
    const Case cases[] = {{1, 7, false}, {4, 25, false}, {5, 31, true}, {6, 37, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.elements) + " elements");
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        ui.messages.clear();
        startPolling();
        std::string seq;
        for (int i = 0; i < c.elements; ++i)
            seq += "!m" + std::to_string(i) + "999";
        panel->BeginDump(seq);
        clock.advance(80ms * (c.elements + 1));
        EXPECT_EQ(main.dumpPos, c.pos);
        ASSERT_FALSE(journal.writes.empty());
        const Ms armed = journal.writes.front().at;
        clock.advance(armed + 3000ms - clock.now() - 1ms);
        EXPECT_NE(main.status[1], "Status: TimeOut");
        EXPECT_TRUE(ui.messages.empty());
        clock.advance(1ms);
        if (c.ends) {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(main.dumpPos, 0);
        } else {
            EXPECT_EQ(main.status[1], "Status: TimeOut");
            EXPECT_EQ(portLamp().fill, panel::kCyan);
            EXPECT_FALSE(portLamp().cycleMark);
            EXPECT_EQ(main.dumpPos, c.pos);
            EXPECT_TRUE(ui.messages.empty());
        }
    }
}

TEST_F(PanelTest, DumpWithoutAnyReplyEndsWithAMessage)
{
    startPolling();
    shared.dataLog = true;
    panel->BeginDump("!m0999!m1999!m2999!m3999!m4999!m5999");
    const auto sent = ticks(7, 80ms);
    EXPECT_EQ(sent.size(), 6u);
    EXPECT_EQ(main.dumpPos, 37);
    ASSERT_EQ(shared.ring.read, 0);

    // The first element left at 1580 ms and armed the timeout.
    clock.advance(1580ms + 3000ms - clock.now() - 1ms);
    EXPECT_TRUE(ui.messages.empty());
    clock.advance(1ms);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Error,\rTimeout while reading TAV Parameters\rClosing Log / Parameter file");
    EXPECT_EQ(ui.messages[0].icon, panel::PanelUi::Icon::Exclamation);
    EXPECT_EQ(ui.dumpFilesClosed, (std::vector<bool>{true}));
    EXPECT_FALSE(shared.dataLog);
    EXPECT_EQ(main.dumpPos, 0);
    EXPECT_EQ(shared.dumpCounter, -1);
    EXPECT_EQ(panel->timer2().interval(), 3000ms);
    EXPECT_EQ(panel->timer3().interval(), 200ms);

    // Polling takes over again at its own pace, and the message is not repeated.
    const auto after = ticks(3);
    EXPECT_EQ(after, (std::vector<std::string>{"S", "P", "H"}));
    clock.advance(10s);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(PanelTest, UnansweredParameterDuringADumpIsRecordedAndTheDumpGoesOn)
{
    startPolling();
    panel->BeginDump("!m0999!m1999!m2999!m3999!m4999!m5999");
    EXPECT_EQ(ticks(6, 80ms).size(), 6u);
    link().receive("m0 12\r");
    ASSERT_EQ(shared.ring.read, 1);
    EXPECT_EQ(shared.dumpCounter, 0);

    // 3000 ms after the last arrival the next parameter is recorded as unanswered; then every
    // 100 ms the next one.
    clock.advance(2999ms);
    EXPECT_EQ(decoded.size(), 1u);
    clock.advance(1ms);
    EXPECT_EQ(panel->timer2().interval(), 100ms);
    EXPECT_EQ(decoded, (Decoded{{"m0 12", "m0999\r\n"}, {"????", "m1999\r\n"}}));
    clock.advance(100ms);
    EXPECT_EQ(decoded.back(), (std::pair<std::string, std::string>{"????", "m2999\r\n"}));
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace paneltest
