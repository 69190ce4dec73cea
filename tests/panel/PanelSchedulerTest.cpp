// The send scheduler: one command per pacing tick, its sources in their order, and what a
// command does to the sent-command ring and the reply timeout.
#include "panel/PanelFixture.h"

namespace paneltest {
namespace {

TEST_F(PanelTest, TypedTextQueueIsSentByItsLength)
{
    struct Case {
        std::string typed;
        std::vector<std::string> sends; // what the typed queue contributes, tick by tick
    };
    const std::string t19 = "0123456789ABCDEFGHI";
    const std::string t25 = "w1234\r\nw5678\r\nw9abc\r\nxyz";
    const Case cases[] = {
        {"123456", {"1", "2", "3", "4", "5", "6"}},
        {"1234567", {"1234567"}},
        {"12345678", {"1234567", "8"}},
        {"123456789ABCDEFGHI", {"1234567", "89ABCDE", "F", "G", "H", "I"}},
        {t19, {t19, t19}},
        {t25, {t25, t25}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("typed text of " + std::to_string(c.typed.size()));
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        startPolling();
        shared.typed = c.typed;

        std::vector<std::string> got;
        for (size_t k = 0; k < c.sends.size(); ++k) {
            const auto sent = ticks(1);
            ASSERT_EQ(sent.size(), 1u) << "tick " << k;
            got.push_back(sent[0]);
            if (k + 1 < c.sends.size()) {
                EXPECT_FALSE(shared.typed.empty()) << "queue emptied early at tick " << k;
            }
        }
        EXPECT_EQ(got, c.sends);
        EXPECT_TRUE(shared.typed.empty());
        // The queue is done: polling goes on where it was.
        EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
    }
}

TEST_F(PanelTest, CommandsWithoutAnswerTakeNoRingSlotAndDoNotArmTheReplyTimeout)
{
    struct Case {
        std::string text;
        bool viaOneShot;
        bool recorded;
    };
    const Case cases[] = {
        {"C", true, false},  {"D", true, false},  {"C", false, false}, {"D", false, false},
        {"E", true, true},   {"c", false, true},  {"CD", true, true},  {"V", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.viaOneShot ? "one-shot " : "typed ") + c.text);
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        startPolling();
        ASSERT_FALSE(panel->timer2().enabled());
        if (c.viaOneShot)
            shared.oneShot = c.text;
        else
            shared.typed = c.text;

        EXPECT_EQ(ticks(1), (std::vector<std::string>{c.text}));
        EXPECT_EQ(shared.ring.write, c.recorded ? 1 : 0);
        EXPECT_EQ(panel->timer2().enabled(), c.recorded);
        if (c.recorded) {
            EXPECT_EQ(shared.ring.slot[0], c.text);
            EXPECT_EQ(shared.ring.oneShotMark, c.viaOneShot ? 0 : -1);
        } else {
            EXPECT_EQ(shared.ring.oneShotMark, -1);
        }
    }
}

TEST_F(PanelTest, VersionWriteIsNotRecordedAndIsFollowedByItsConfirmation)
{
    startPolling();
    EXPECT_EQ(ticks(2), (std::vector<std::string>{"S", "P"}));
    ASSERT_EQ(shared.ring.write, 2);

    shared.oneShot = "wV123\r\n";
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"wV123\r\n"}));
    EXPECT_EQ(shared.ring.write, 2);
    EXPECT_EQ(shared.ring.oneShotMark, -1);
    EXPECT_EQ(shared.oneShot, "w!123\r\n");

    EXPECT_EQ(ticks(1), (std::vector<std::string>{"w!123\r\n"}));
    EXPECT_EQ(shared.ring.write, 3);
    EXPECT_EQ(shared.ring.slot[2], "w!123\r\n");
    EXPECT_EQ(shared.ring.oneShotMark, 2);
    EXPECT_TRUE(shared.oneShot.empty());
    // Polling resumes where it left off.
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"H"}));
}

TEST_F(PanelTest, DiagnosticsStopServesOnlyTheOneShotCommand)
{
    startPolling();
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
    shared.diagStop = true;
    shared.typed = "typed";
    EXPECT_TRUE(ticks(5).empty());

    shared.oneShot = "V";
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"V"}));
    EXPECT_EQ(shared.ring.oneShotMark, 1);
    EXPECT_EQ(shared.ring.slot[1], "V");
    EXPECT_TRUE(ticks(5).empty());
    EXPECT_EQ(shared.typed, "typed");
    EXPECT_EQ(main.pollPos, 2);

    // The reply to the one-shot command goes to the diagnostics window.
    link().receive("poll reply\rACU V1.23\r");
    EXPECT_EQ(ui.diagnosticsReplies, (std::vector<std::string>{"ACU V1.23"}));
    EXPECT_EQ(shared.ring.oneShotMark, -1);

    shared.diagStop = false;
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"t"}));
}

TEST_F(PanelTest, SourcesAreServedSweepDumpOneShotTypedPoll)
{
    startPolling();
    int sweeps = 0;
    panel->sweepNext = [&] { return "F" + std::to_string(++sweeps); };
    shared.sweepFrequency = 1450;
    panel->BeginDump("Xm");
    panel->setPacing(200); // the dump keeps its own pace
    shared.oneShot = "V";
    shared.typed = "ab";

    EXPECT_EQ(ticks(2, 80ms), (std::vector<std::string>{"F1", "F2"}));
    shared.sweepFrequency = 0;
    EXPECT_EQ(ticks(3, 80ms), (std::vector<std::string>{"X", "m"}));
    EXPECT_EQ(main.dumpPos, 3);
    panel->EndDump();
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"V"}));
    EXPECT_EQ(ticks(2), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ticks(2), (std::vector<std::string>{"S", "P"}));
    EXPECT_EQ(sweeps, 2);
}

TEST_F(PanelTest, ParameterUploadReplacesOneShotTypedAndPollWhileItsFileIsOpen)
{
    startPolling();
    bool fileOpen = true;
    int line = 0;
    panel->uploadOpen = [&] { return fileOpen; };
    panel->uploadNextLine = [&] { return "!m" + std::to_string(++line) + "\r\n"; };
    shared.oneShot = "V";
    shared.typed = "ab";

    EXPECT_EQ(ticks(2), (std::vector<std::string>{"!m1\r\n", "!m2\r\n"}));
    EXPECT_EQ(shared.oneShot, "V");
    EXPECT_EQ(shared.typed, "ab");
    EXPECT_EQ(main.pollPos, 1);

    // The dump still comes first.
    panel->BeginDump("Y");
    EXPECT_EQ(ticks(1, 80ms), (std::vector<std::string>{"Y"}));
    panel->EndDump();
    EXPECT_EQ(panel->timer3().interval(), 80ms) << "the upload goes on at its own pacing";

    fileOpen = false;
    panel->setPacing(200); // the upload's end restores the menu's pacing
    EXPECT_EQ(ticks(4), (std::vector<std::string>{"V", "a", "b", "S"}));
}

TEST_F(PanelTest, DumpSequenceAtItsOwnPaceWithSequenceMark)
{
    startPolling();
    EXPECT_EQ(ticks(3), (std::vector<std::string>{"S", "P", "H"}));
    ASSERT_EQ(shared.ring.write, 3);

    panel->BeginDump("V!m0999!m1999");
    EXPECT_EQ(panel->timer3().interval(), Ms{panel::PanelLink::kDumpPacingMs});
    const size_t first = journal.writes.size();
    clock.advance(79ms);
    EXPECT_EQ(journal.writes.size(), first);
    EXPECT_EQ(ticks(1, 1ms), (std::vector<std::string>{"V"}));
    EXPECT_EQ(shared.ring.seqMark, 3);
    EXPECT_EQ(ticks(2, 80ms), (std::vector<std::string>{"m0999\r\n", "m1999\r\n"}));
    EXPECT_EQ(main.dumpPos, 14);
    for (size_t i = first + 1; i < journal.writes.size(); ++i)
        EXPECT_EQ(journal.writes[i].at - journal.writes[i - 1].at, 80ms);

    // Past the end nothing is sent and the position stays until the dump is ended.
    EXPECT_TRUE(ticks(5, 80ms).empty());
    EXPECT_EQ(main.dumpPos, 14);
    EXPECT_EQ(shared.ring.write, 6);

    // The replies to the poll commands come first; the reply at the mark starts the count.
    link().receive("s\rp\rh\r");
    EXPECT_EQ(shared.dumpCounter, -1);
    EXPECT_EQ(shared.ring.seqMark, 3);
    link().receive("ACU V1\r");
    EXPECT_EQ(shared.dumpCounter, 0);
    EXPECT_EQ(shared.ring.seqMark, -1);
    ASSERT_EQ(decoded.size(), 4u);
    EXPECT_EQ(decoded[3], (std::pair<std::string, std::string>{"ACU V1", "V"}));

    panel->EndDump();
    EXPECT_EQ(main.dumpPos, 0);
    EXPECT_EQ(shared.dumpCounter, -1);
    EXPECT_EQ(panel->timer3().interval(), 200ms);
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"u"}));
}

TEST_F(PanelTest, ScreenKeyPausesPollingThroughTheStartTimerAndSendsHighBytesUnchanged)
{
    startPolling();
    EXPECT_EQ(ticks(2), (std::vector<std::string>{"S", "P"}));
    const std::string seq = "SPHq!m" + std::string(1, char(138)) + "999SPHu";
    panel->EnterScreen(37, "SATELLITE", seq);
    EXPECT_FALSE(panel->timer3().enabled());
    EXPECT_EQ(panel->timer1().interval(), 600ms);
    EXPECT_TRUE(ticks(3).empty()); // 600 ms: the start timer restarts the scheduler
    EXPECT_TRUE(panel->timer3().enabled());
    EXPECT_TRUE(ticks(1, 199ms).empty());
    const auto sent = ticks(5, 200ms);
    const std::string param = "m" + std::string(1, char(138)) + "999\r\n";
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent, (std::vector<std::string>{"S", "P", "H", "q", param}));
    ASSERT_EQ(sent[4].size(), 7u);
    EXPECT_EQ(static_cast<unsigned char>(sent[4][1]), 138u);
}

TEST_F(PanelTest, SchedulerSendsNothingOnceThePortIsClosed)
{
    startPolling();
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
    panel->mnuOpen_Click(); // closes
    ASSERT_FALSE(shared.open);
    shared.oneShot = "V";
    shared.typed = "abc";
    EXPECT_TRUE(ticks(20).empty());
    EXPECT_TRUE(ui.messages.empty()) << "the scheduler must not try to send on a closed link";
}

} // namespace
} // namespace paneltest
