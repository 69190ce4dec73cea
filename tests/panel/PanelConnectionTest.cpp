// Opening and closing the link, sending on a closed or dropped link, choosing the antenna,
// and the serial port's error events.
#include "panel/PanelFixture.h"

#include <algorithm>

namespace paneltest {
namespace {

const std::string kPortClosedText =
    "Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect.";
const std::string kCannotConnectText =
    "Error,\rCannot connect to selected IP device.\rCheck PortSettings Properies.";
const std::string kTcpLostText = "Error,\rTCP/IP connection is no longer valid.\rClick LED to re-connect.";

// The look of a closed port. At start-up the start timer is armed after the open command, so
// only a close at run time leaves it stopped.
void expectClosedPanel(const panel::MainState& main, const panel::PanelShared& shared, panel::PanelLink& link,
                       bool startTimerStopped = true)
{
    EXPECT_FALSE(shared.open);
    EXPECT_EQ(main.text5, (std::array<std::string, 4>{"Check Comm Port", "", "", ""}));
    EXPECT_EQ(main.status[1], "Status: Port Closed");
    EXPECT_EQ(main.displayState, 0);
    EXPECT_TRUE(shared.diagStop);
    const auto& lamp = main.lamps[panel::kPortLamp];
    EXPECT_FALSE(lamp.lit());
    EXPECT_TRUE(lamp.hollow);
    EXPECT_NE(link.timer1().enabled(), startTimerStopped);
    EXPECT_FALSE(link.timer2().enabled());
}

TEST_F(PanelTest, TcpConnectThatNeverCompletesIsReportedAfterThreeSeconds)
{
    useTcpProfile();
    nextConnectAfter = std::nullopt;
    startUp();

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kCannotConnectText);
    EXPECT_EQ(ui.messages[0].icon, panel::PanelUi::Icon::Exclamation);
    EXPECT_EQ(ui.messages[0].at, 3000ms);
    EXPECT_EQ(main.status[0], "Settings: IP  127.0.0.1 : 2000");
    expectClosedPanel(main, shared, *panel, false);

    clock.advance(10s);
    EXPECT_TRUE(journal.writes.empty());
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(PanelTest, TcpConnectThatCompletesWithinThreeSecondsOpens)
{
    useTcpProfile();
    nextConnectAfter = 1200ms;
    startUp();

    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(shared.open);
    EXPECT_EQ(main.status[1], "Status: Port Open");
    EXPECT_GE(clock.now(), 1200ms);
    EXPECT_LT(clock.now(), 1300ms);
    EXPECT_EQ(shared.ring.read, 31);
    const Ms started = clock.now();
    clock.advance(1700ms);
    ASSERT_EQ(journal.writes.size(), 1u);
    EXPECT_EQ(journal.writes[0].bytes, "S");
    EXPECT_EQ(journal.writes[0].at, started + 1700ms);
}

// The connect wait lets events run: Port Open and the antenna buttons clicked meanwhile wait
// for its outcome instead of making another link under it.
TEST_F(PanelTest, ClicksDuringTheConnectWaitLeaveItAlone)
{
    useTcpProfile();
    store->save(common::kSection, "Enabled2", "True");
    nextConnectAfter = 1200ms;
    auto clicks = clock.createTimer();
    clicks->setInterval(500ms);
    clicks->onTick = [&] {
        clicks->setEnabled(false);
        panel->mnuOpen_Click();
        panel->optAntenna_Click(1);
    };
    clicks->setEnabled(true);
    startUp();

    EXPECT_TRUE(shared.open);
    EXPECT_EQ(journal.events, (std::vector<std::string>{"open"})) << "one link, opened once";
    EXPECT_TRUE(ui.messages.empty()) << "no antenna question";
    EXPECT_EQ(shared.profiles.select, 1);
    EXPECT_EQ(ui.selectedButtons.back(), 0) << "the active antenna shown again";
}

TEST_F(PanelTest, SendingOnADroppedTcpLinkReconnectsOrGivesUpAfterThreeSeconds)
{
    struct Case {
        const char* name;
        std::optional<Ms> reconnectAfter;
        std::optional<Ms> sentAfter; // after the tick that found the link down; nullopt = dropped
    };
    const Case cases[] = {
        {"never reconnects", std::nullopt, std::nullopt},
        {"reconnects at once", 0ms, 200ms},
        {"reconnects after 700 ms", 700ms, 800ms},
        {"reconnects after 2900 ms", 2900ms, 3000ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        ui.messages.clear();
        useTcpProfile();
        startPolling();
        EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
        link().drop();
        link().connectAfter = c.reconnectAfter;
        journal.events.clear();

        const Ms tick = clock.now() + 200ms;
        clock.advance(200ms);
        // close, then connect again
        ASSERT_GE(journal.events.size(), 2u);
        EXPECT_EQ(journal.events[0], "close");
        EXPECT_EQ(journal.events[1], "open");
        if (c.sentAfter) {
            EXPECT_TRUE(ui.messages.empty());
            EXPECT_TRUE(shared.open);
            ASSERT_EQ(journal.writes.size(), 2u);
            EXPECT_EQ(journal.writes[1].bytes, "P");
            EXPECT_EQ(journal.writes[1].at, tick + *c.sentAfter);
            // One command per tick afterwards, in order.
            const auto next = ticks(3);
            EXPECT_EQ(next, (std::vector<std::string>{"H", "u", "S"}));
            for (size_t i = 2; i < journal.writes.size(); ++i)
                EXPECT_GE(journal.writes[i].at - journal.writes[i - 1].at, 200ms);
            // The replies still match their commands.
            link().receive("greeting\rs\rp\rh\r");
            ASSERT_EQ(decoded.size(), 4u);
            EXPECT_EQ(decoded[1].second, "S");
            EXPECT_EQ(decoded[2].second, "P");
            EXPECT_EQ(decoded[3].second, "H");
            decoded.clear();
        } else {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, kTcpLostText);
            EXPECT_EQ(ui.messages[0].icon, panel::PanelUi::Icon::Exclamation);
            EXPECT_EQ(ui.messages[0].at, tick + 3000ms);
            EXPECT_FALSE(shared.open);
            EXPECT_FALSE(portLamp().lit());
            EXPECT_EQ(journal.writes.size(), 1u) << "a command was written to a dead link";
            const auto opens = std::count(journal.events.begin(), journal.events.end(), "open");
            EXPECT_EQ(opens, 1) << "one reconnect per failed send";
            EXPECT_TRUE(ticks(20).empty());
            EXPECT_EQ(ui.messages.size(), 1u);
        }
    }
}

TEST_F(PanelTest, SendingWhileClosedWarnsAndSendsNothing)
{
    nextFailOpen = true;
    startUp();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Cannot open the device");
    EXPECT_EQ(ui.messages[0].icon, panel::PanelUi::Icon::Exclamation);
    EXPECT_FALSE(shared.open);

    panel->CommOut("S");
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, kPortClosedText);
    EXPECT_EQ(ui.messages[1].icon, panel::PanelUi::Icon::Exclamation);
    EXPECT_TRUE(journal.writes.empty());
    EXPECT_TRUE(link().writes.empty());
}

TEST_F(PanelTest, ClosingShowsThePortClosedAndReopeningStartsOver)
{
    for (bool tcp : {false, true}) {
        SCOPED_TRACE(tcp ? "TCP" : "serial");
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        store->save(common::kSection, "Serial1", tcp ? "False" : "True");
        startPolling();
        EXPECT_EQ(ticks(3), (std::vector<std::string>{"S", "P", "H"}));
        shared.oneShot = "V";
        link().receive("s\r");

        panel->mnuOpen_Click();
        EXPECT_EQ(journal.events, (std::vector<std::string>{"open", "close"}));
        EXPECT_FALSE(link().isOpen());
        expectClosedPanel(main, shared, *panel);

        panel->mnuOpen_Click();
        EXPECT_TRUE(shared.open);
        EXPECT_EQ(journal.events.back(), "open");
        EXPECT_EQ(main.status[1], "Status: Port Open");
        EXPECT_EQ(shared.ring.write, 0);
        EXPECT_EQ(shared.ring.read, tcp ? 31 : 0);
        EXPECT_EQ(shared.ring.oneShotMark, -1);
        EXPECT_EQ(shared.ring.seqMark, -1);
        EXPECT_EQ(shared.dumpCounter, -1);
        EXPECT_FALSE(shared.diagStop);
        EXPECT_EQ(main.displayState, 64);
        // The ANTENNA key: 600 ms through the start timer, then one pacing tick. The start
        // timer drops a pending one-shot command.
        EXPECT_TRUE(ticks(1, 799ms).empty());
        EXPECT_EQ(ticks(1, 1ms), (std::vector<std::string>{"S"}));
        EXPECT_TRUE(shared.oneShot.empty());
    }
}

TEST_F(PanelTest, ChoosingTheActiveAntennaAsksAndReopensThePort)
{
    startPolling();
    EXPECT_EQ(ticks(2), (std::vector<std::string>{"S", "P"}));
    ASSERT_EQ(links.size(), 1u);

    panel->optAntenna_Click(0);

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Close Port for Antenna 1\rand\rOpen Port for Antenna 1?");
    EXPECT_EQ(ui.messages[0].buttons, panel::PanelUi::Buttons::OkCancel);
    // The port was closed, then opened again (the old link is gone, the new one open).
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1]->opens, 1);
    EXPECT_TRUE(links[1]->isOpen());
    ASSERT_GE(journal.events.size(), 3u);
    EXPECT_EQ(journal.events.front(), "open");
    EXPECT_EQ(journal.events[1], "close");
    EXPECT_EQ(journal.events.back(), "open");
    EXPECT_EQ(std::count(journal.events.begin(), journal.events.end(), "open"), 2);
    EXPECT_TRUE(shared.open);
    EXPECT_EQ(shared.ring.write, 0);
    EXPECT_EQ(stored("Select"), "1");
    EXPECT_TRUE(ticks(1, 799ms).empty());
    EXPECT_EQ(ticks(1, 1ms), (std::vector<std::string>{"S"}));
}

TEST_F(PanelTest, ChoosingAnotherAntennaSwitchesProfile)
{
    store->save(common::kSection, "Serial3", "True");
    store->save(common::kSection, "Settings3", "19200,N,8,1");
    store->save("Devices", "Com3", "/dev/fake-com3");
    startPolling();

    panel->optAntenna_Click(2);

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Close Port for Antenna 1\rand\rOpen Port for Antenna 3?");
    EXPECT_EQ(shared.profiles.select, 3);
    EXPECT_EQ(stored("Select"), "3");
    EXPECT_TRUE(shared.open);
    EXPECT_EQ(main.status[0].rfind("Settings: Com3: 19200,N,8,1", 0), 0u) << main.status[0];
    EXPECT_EQ(journal.events[1], "close");
    EXPECT_EQ(journal.events.back(), "open");
    EXPECT_TRUE(links.back()->isOpen());
}

TEST_F(PanelTest, ChoosingAnAntennaAfterTheTcpConnectionDroppedOpensTheNewOne)
{
    struct Case {
        const char* name;
        std::optional<Ms> oldReconnects; // how the dropped device would answer a new connect
        bool newIsSerial;
    };
    const Case cases[] = {
        {"old device gone, new serial", std::nullopt, true},
        {"old device back, new serial", 0ms, true},
        {"old device gone, new TCP", std::nullopt, false},
        {"old device back, new TCP", 0ms, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        ui.messages.clear();
        connectAfterByProfile.clear();
        store->save(common::kSection, "Select", "1");
        useTcpProfile(1);
        if (c.newIsSerial)
            store->save(common::kSection, "Serial2", "True");
        else
            useTcpProfile(2);
        startPolling();
        EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
        link().drop();
        link().connectAfter = c.oldReconnects;
        connectAfterByProfile[1] = c.oldReconnects;
        const Ms before = clock.now();

        panel->optAntenna_Click(1);

        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.messages[0].text, "Close Port for Antenna 1\rand\rOpen Port for Antenna 2?");
        EXPECT_EQ(ui.messages.size(), 1u) << ui.messages.back().text;
        EXPECT_TRUE(shared.open);
        EXPECT_EQ(shared.profiles.select, 2);
        EXPECT_TRUE(link().isOpen());
        EXPECT_EQ(main.status[1], "Status: Port Open");
        EXPECT_LT(clock.now() - before, 1000ms) << "waited for the antenna that was given up";
        EXPECT_EQ(ticks(4), (std::vector<std::string>{"S"}));
    }
}

TEST_F(PanelTest, CancellingTheAntennaChoiceReselectsThePreviousButtonOnce)
{
    startPolling();
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
    // The window fires the button's click when the logic selects it again.
    ui.onSelect = [this](int i) { panel->optAntenna_Click(i); };
    ui.answers = {panel::PanelUi::Answer::Cancel};
    ui.selectedButtons.clear();

    panel->optAntenna_Click(3);

    ASSERT_EQ(ui.messages.size(), 1u) << "asked twice: " << ui.messages.back().text;
    EXPECT_EQ(ui.messages[0].text, "Close Port for Antenna 1\rand\rOpen Port for Antenna 4?");
    EXPECT_EQ(ui.selectedButtons, (std::vector<int>{0}));
    EXPECT_FALSE(shared.selectionGuard);
    EXPECT_EQ(shared.profiles.select, 1);
    EXPECT_EQ(stored("Select"), "<absent>");
    EXPECT_EQ(journal.events, (std::vector<std::string>{"open"}));
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"P"}));

    // A later choice asks again.
    panel->optAntenna_Click(3);
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(PanelTest, SelectionGuardSwallowsExactlyOneClick)
{
    startPolling();
    shared.selectionGuard = true;
    panel->optAntenna_Click(1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(shared.selectionGuard);
    EXPECT_EQ(journal.events, (std::vector<std::string>{"open"}));

    ui.answers = {panel::PanelUi::Answer::Cancel};
    panel->optAntenna_Click(1);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(PanelTest, SerialEventTexts)
{
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {1001, "Break Received"},
        {1002, "CTS Timeout"},
        {1003, "DSR Timeout"},
        {1004, "Framing Error"},
        {1005, "Unknown error or event"},
        {1006, "Overrun Error"},
        {1007, "Carrier Detect Timeout"},
        {1008, "Receive Buffer Overflow"},
        {1009, "Parity Error"},
        {1010, "Transmit Buffer Full"},
        {1011, "Error retrieving DCB"},
        {1012, "Unknown error or event"},
        {1, ""}, {2, ""}, {3, ""}, {4, ""}, {5, ""}, {6, ""}, {7, ""},
        {0, "Unknown error or event"},
        {8, "Unknown error or event"},
        {1000, "Unknown error or event"},
        {-1, "Unknown error or event"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(common::serialEventText(c.code), c.text) << "code " << c.code;
}

TEST_F(PanelTest, SerialErrorEventOkIgnoresCancelClosesThePort)
{
    struct Case {
        int code;
        panel::PanelUi::Answer answer;
        bool asked;
        bool staysOpen;
    };
    const Case cases[] = {
        {1004, panel::PanelUi::Answer::Ok, true, true},
        {1004, panel::PanelUi::Answer::Cancel, true, false},
        {1009, panel::PanelUi::Answer::Cancel, true, false},
        {1234, panel::PanelUi::Answer::Ok, true, true},
        {3, panel::PanelUi::Answer::Cancel, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code));
        panel.reset();
        links.clear();
        journal = {};
        shared = {};
        main = {};
        ui.messages.clear();
        startPolling();
        EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
        ui.answers = {c.answer};

        link().raiseError(c.code);

        if (c.asked) {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, common::serialEventText(c.code));
            EXPECT_EQ(ui.messages[0].title, "Click Cancel to quit, OK to ignore.");
            EXPECT_EQ(ui.messages[0].buttons, panel::PanelUi::Buttons::OkCancel);
        } else {
            EXPECT_TRUE(ui.messages.empty());
        }
        EXPECT_EQ(link().isOpen(), c.staysOpen);
        const auto after = ticks(5);
        if (c.staysOpen) {
            EXPECT_EQ(after, (std::vector<std::string>{"P", "H", "u", "S", "P"}));
        } else {
            EXPECT_TRUE(after.empty());
            EXPECT_FALSE(shared.open);
            EXPECT_EQ(ui.messages.size(), 1u) << ui.messages.back().text;
        }
    }
}

// Line errors keep coming while the box waits (a wrong baud rate): they open no second box.
TEST_F(PanelTest, SerialErrorsWhileTheBoxIsUpOpenNoOtherBox)
{
    startPolling();
    ui.whileShown = [this] {
        link().raiseError(common::comEventFrame);
        link().raiseError(common::comEventOverrun);
    };
    link().raiseError(common::comEventFrame);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Framing Error");
    link().raiseError(common::comEventRxParity);
    ASSERT_EQ(ui.messages.size(), 2u) << "once answered, the next error is shown";
    EXPECT_EQ(ui.messages[1].text, "Parity Error");
}

TEST_F(PanelTest, SerialDeviceLostClosesThePortWhateverTheAnswer)
{
    startPolling();
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
    link().drop();
    link().raiseError(common::comEventDeviceLost, "Input/output error");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unknown error or event\rInput/output error");
    EXPECT_FALSE(shared.open);
    EXPECT_EQ(main.status[1], "Status: Port Closed");
    EXPECT_TRUE(ticks(10).empty());
    EXPECT_EQ(ui.messages.size(), 1u);
}

} // namespace
} // namespace paneltest
