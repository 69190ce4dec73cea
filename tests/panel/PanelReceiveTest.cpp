// The receive path: cutting text into reply lines, matching each to the command at the read
// index, the prompt character, sync errors, and text that is not a reply at all.
#include "panel/PanelFixture.h"

namespace paneltest {
namespace {

using Decoded = std::vector<std::pair<std::string, std::string>>;

TEST_F(PanelTest, TwoLinesAndAPartialThirdInOneChunk)
{
    startPolling();
    EXPECT_EQ(ticks(3), (std::vector<std::string>{"S", "P", "H"}));

    link().receive("S 12 34\rP 0\rH 1");
    EXPECT_EQ(decoded, (Decoded{{"S 12 34", "S"}, {"P 0", "P"}}));
    EXPECT_EQ(main.lineBuffer, "H 1");
    EXPECT_EQ(shared.ring.read, 2);

    link().receive("80\r");
    EXPECT_EQ(decoded.back(), (std::pair<std::string, std::string>{"H 180", "H"}));
    EXPECT_EQ(main.lineBuffer, "");
    EXPECT_EQ(shared.ring.read, 3);
    EXPECT_EQ(main.status[1], "Status: Port Open");
    EXPECT_EQ(portLamp().fill, panel::kGreen);
}

TEST_F(PanelTest, ReplyLinesAreMatchedAroundTheRing)
{
    startPolling();
    // Two and a half times round the ring, replying to each command as it goes.
    for (int k = 0; k < 80; ++k) {
        const auto sent = ticks(1);
        ASSERT_EQ(sent.size(), 1u);
        link().receive("reply " + std::to_string(k) + "\r");
        ASSERT_EQ(decoded.size(), size_t(k + 1));
        EXPECT_EQ(decoded.back().second, sent[0]) << "reply " << k;
    }
    EXPECT_EQ(shared.ring.write, 80 % panel::kRingSize);
    EXPECT_EQ(shared.ring.read, 80 % panel::kRingSize);
}

TEST_F(PanelTest, PromptInFirstOrSecondPositionIsDropped)
{
    struct Case {
        std::string line;
        std::string decoded;
    };
    const Case cases[] = {
        {">S 12", "S 12"}, {"a>S 12", "S 12"}, {"ab>S", "ab>S"}, {">>S", ">S"},
        {">", ""},         {"", ""},           {"S 1>2", "S 1>2"}, {" >", ""},
    };
    startPolling();
    ticks(int(std::size(cases)));
    std::string chunk;
    for (const auto& c : cases)
        chunk += c.line + "\r";
    link().receive(chunk);
    ASSERT_EQ(decoded.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(decoded[i].first, cases[i].decoded) << "line \"" << cases[i].line << "\"";
}

TEST_F(PanelTest, SyncErrorSkipsOneRingSlotAndShowsYellow)
{
    startPolling();
    EXPECT_EQ(ticks(4), (std::vector<std::string>{"S", "P", "H", "u"}));
    onDecode = [this](const std::string& line, const std::string&) {
        if (line == "bad")
            shared.syncErrors = 16;
    };

    link().receive("bad\r");
    EXPECT_EQ(portLamp().fill, panel::kGreen);
    link().receive("next\r");
    EXPECT_EQ(portLamp().fill, panel::kYellow);
    EXPECT_FALSE(portLamp().cycleMark);
    EXPECT_EQ(main.status[1], "Status: Sync Error 16");
    EXPECT_EQ(shared.syncErrors, 0);
    // "next" skipped the slot of "P" and answers "H".
    EXPECT_EQ(decoded, (Decoded{{"bad", "S"}, {"next", "H"}}));

    link().receive("good\r");
    EXPECT_EQ(decoded.back(), (std::pair<std::string, std::string>{"good", "u"}));
    EXPECT_EQ(portLamp().fill, panel::kGreen);
    EXPECT_EQ(main.status[1], "Status: Port Open");
}

TEST_F(PanelTest, ReadIndexStartsAt31ForTcpAnd0ForSerial)
{
    struct Case {
        bool tcp;
        int read;
        Decoded expect;
    };
    const Case cases[] = {
        // Over TCP the first line (the device's greeting) takes slot 31; replies then match.
        {true, 31, {{"TAV ready", ""}, {"s", "S"}, {"p", "P"}}},
        {false, 0, {{"TAV ready", "S"}, {"s", "P"}}}, // "p" answers nothing: both were answered
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tcp ? "TCP" : "serial");
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        decoded.clear();
        store->save(common::kSection, "Serial1", c.tcp ? "False" : "True");
        store->save(common::kSection, "Address1", "127.0.0.1");
        startUp();
        ASSERT_TRUE(shared.open);
        EXPECT_EQ(shared.ring.read, c.read);
        EXPECT_EQ(shared.ring.write, 0);
        clock.advance(1500ms);
        EXPECT_EQ(ticks(2), (std::vector<std::string>{"S", "P"}));
        link().receive("TAV ready\rs\rp\r");
        EXPECT_EQ(decoded, c.expect);
    }
}

TEST_F(PanelTest, GarbageWithoutCarriageReturnKeepsTheLineBufferBounded)
{
    startPolling();
    EXPECT_EQ(ticks(3), (std::vector<std::string>{"S", "P", "H"}));

    // 100 000 characters in chunks of 1000, then all at once.
    std::string chunk;
    for (int i = 0; i < 1000; ++i)
        chunk += char('A' + i % 26);
    for (int i = 0; i < 100; ++i) {
        link().receive(chunk);
        ASSERT_LE(main.lineBuffer.size(), panel::kMaxLineBuffer) << "after chunk " << i;
    }
    link().receive(std::string(100000, 'x'));
    EXPECT_LE(main.lineBuffer.size(), panel::kMaxLineBuffer);
    EXPECT_TRUE(decoded.empty());

    // The garbage ends with the next CR and costs one slot; the replies after it match.
    link().receive("tail\rp\rh\r");
    ASSERT_EQ(decoded.size(), 3u);
    EXPECT_EQ(decoded[0].second, "S");
    EXPECT_EQ(decoded[1], (std::pair<std::string, std::string>{"p", "P"}));
    EXPECT_EQ(decoded[2], (std::pair<std::string, std::string>{"h", "H"}));
    EXPECT_TRUE(main.lineBuffer.empty());
}

// Line noise of many lines (a wrong baud rate, a device restarting) uses up the answers of
// what was sent, but no more: the replies after it are matched to their own commands.
TEST_F(PanelTest, ABurstOfLineNoiseLeavesTheRingInStep)
{
    startPolling();
    EXPECT_EQ(ticks(3), (std::vector<std::string>{"S", "P", "H"}));
    std::string noise;
    for (int i = 0; i < 100; ++i)
        noise += "junk " + std::to_string(i) + "\r";
    link().receive(noise);
    EXPECT_EQ(decoded, (Decoded{{"junk 0", "S"}, {"junk 1", "P"}, {"junk 2", "H"}}));
    EXPECT_EQ(shared.ring.read, shared.ring.write);

    decoded.clear();
    EXPECT_EQ(ticks(2), (std::vector<std::string>{"u", "S"}));
    link().receive("u reply\rS reply\r");
    EXPECT_EQ(decoded, (Decoded{{"u reply", "u"}, {"S reply", "S"}}));

    // A sync error skips a slot, but not past what was sent: a garbled answer is not followed
    // by a skip into commands not yet sent.
    onDecode = [this](const std::string& line, const std::string&) {
        if (line == "garbled")
            shared.syncErrors = 9;
    };
    decoded.clear();
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"P"}));
    link().receive("garbled\r");
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"H"}));
    link().receive("h reply\r"); // reported as the sync error, and answers nothing
    EXPECT_EQ(main.status[1], "Status: Sync Error 9");
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"q"}));
    link().receive("q reply\r");
    EXPECT_EQ(decoded, (Decoded{{"garbled", "P"}, {"q reply", "q"}}));
}

TEST_F(PanelTest, RepliesCarryEveryByteUnchanged)
{
    startPolling();
    ticks(2);
    std::string line1 = "S ";
    for (int b = 128; b < 256; ++b)
        line1 += char(b);
    const std::string line2("A\0B\x1b\x0b\x8a", 6);
    link().receive(line1 + "\r" + line2 + "\r");
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].first, line1);
    EXPECT_EQ(decoded[1].first, line2);
    ASSERT_EQ(decoded[0].first.size(), 130u);
    EXPECT_EQ(static_cast<unsigned char>(decoded[0].first[2]), 128u);
    EXPECT_EQ(static_cast<unsigned char>(decoded[0].first[129]), 255u);
}

TEST_F(PanelTest, TextArrivingWhileALineIsDecodedIsTakenInOrder)
{
    startPolling();
    EXPECT_EQ(ticks(3), (std::vector<std::string>{"S", "P", "H"}));
    // A message box shown while decoding lets more text in before the decoder returns.
    bool fed = false;
    onDecode = [&](const std::string&, const std::string&) {
        if (!fed) {
            fed = true;
            link().receive("two\rthree\r");
        }
    };
    link().receive("one\r");
    EXPECT_EQ(decoded, (Decoded{{"one", "S"}, {"two", "P"}, {"three", "H"}}));
}

} // namespace
} // namespace paneltest
