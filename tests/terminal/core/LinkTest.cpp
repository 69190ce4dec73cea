// The terminal's link: the open/close command for serial and TCP, CommOut, the keyboard and
// echo, the serial error events in the status bar, the connect time and the DTR / RTS lines.
#include "TerminalFixture.h"

#include <gtest/gtest.h>

using common::Ms;
using termtest::FakeLink;
using termtest::TerminalFixture;
using A = term::TerminalUi::Answer;
using B = term::TerminalUi::Buttons;
using I = term::TerminalUi::Icon;

namespace {

const std::string kClosedWarning =
    "Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect.";
const std::string kCannotConnect = "Error,\rCannot connect to selected IP device.\rCheck PortSettings Properies.";
const std::string kConnectionLost = "Error,\rTCP/IP connection is no longer valid.\rClick LED to re-connect.";

std::string allWritten(const FakeLink& l)
{
    std::string s;
    for (const auto& w : l.writes)
        s += w;
    return s;
}

} // namespace

// ---------------------------------------------------------------- serial open and close

TEST(TerminalLink, SerialOpenShowsSettingsRaisesLinesAndStartsTheConnectTime)
{
    TerminalFixture f;
    f.t.commPort = 3;
    f.t.settings = "19200,N,8,1";
    f.t.echoText = ", Echo On  ";
    f.t.moduleLabel = "   Tav 8K to ACU";
    int changes = 0;
    f.t.onLinkChanged = [&] { ++changes; };
    std::vector<bool> dtrDriven;
    f.t.driveDtr = [&](bool on) { dtrDriven.push_back(on); };

    f.t.mnuOpen_Click();
    ASSERT_TRUE(f.t.linkOpen());
    EXPECT_EQ(f.t.settingsText, "Settings: Com3: 19200,N,8,1, Echo On     Tav 8K to ACU");
    EXPECT_TRUE(f.t.dtr());
    EXPECT_TRUE(f.t.rts());
    EXPECT_EQ(dtrDriven, std::vector<bool>{true});
    EXPECT_TRUE(f.t.connectTimer().enabled());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(f.ui.messages.empty());

    // The same command closes it again.
    f.t.mnuOpen_Click();
    EXPECT_FALSE(f.t.linkOpen());
    EXPECT_EQ(f.link->closes, 1);
    EXPECT_EQ(f.t.settingsText, "Settings: ");
    EXPECT_FALSE(f.t.dtr());
    EXPECT_FALSE(f.t.rts());
    EXPECT_FALSE(f.t.connectTimer().enabled());
    EXPECT_EQ(changes, 2);
}

TEST(TerminalLink, Qm7000PathKeepsDtrOffOnOpenAndReportsPhonePower)
{
    TerminalFixture f;
    f.t.qm7000 = true;
    f.t.mnuOpen_Click();
    ASSERT_TRUE(f.t.linkOpen());
    EXPECT_FALSE(f.t.dtr());
    EXPECT_TRUE(f.t.rts());
    EXPECT_EQ(f.t.screen.text(), "");

    f.t.chkDTR_Click(true);
    EXPECT_TRUE(f.t.dtr());
    f.t.chkDTR_Click(false);
    EXPECT_FALSE(f.t.dtr());
    EXPECT_EQ(f.t.screen.text(), "Phone Power is OFF\r\nPhone Power is ON\r\n");

    // Other paths say nothing about phone power.
    TerminalFixture g;
    g.t.mnuOpen_Click();
    g.t.chkDTR_Click(false);
    EXPECT_FALSE(g.t.dtr());
    EXPECT_EQ(g.t.screen.text(), "");
}

TEST(TerminalLink, SerialOpenFailureShowsThePlatformText)
{
    TerminalFixture f;
    f.failOpen = true;
    f.t.mnuOpen_Click();
    EXPECT_FALSE(f.t.linkOpen());
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "Cannot open the device");
    EXPECT_EQ(f.ui.messages[0].icon, I::Exclamation);
    EXPECT_EQ(f.t.settingsText, "Settings: ");
    EXPECT_FALSE(f.t.connectTimer().enabled());
}

TEST(TerminalLink, SerialDeviceThatGoesAwayShowsThePortClosed)
{
    TerminalFixture f;
    f.openSerial();
    ASSERT_TRUE(f.t.linkOpen());
    f.link->raiseError(common::comEventDeviceLost, "No such device");
    ASSERT_TRUE(f.link->onLost);
    f.link->onLost();
    EXPECT_FALSE(f.t.linkOpen());
    EXPECT_EQ(f.t.statusText, "Status: Unknown error or event: No such device");
    EXPECT_EQ(f.t.settingsText, "Settings: ");
    // Typing now is discarded rather than written to a dead port.
    const size_t before = f.link->writes.size();
    EXPECT_TRUE(f.t.KeyPress('a'));
    EXPECT_EQ(f.link->writes.size(), before);
}

// ---------------------------------------------------------------- TCP open and close

TEST(TerminalLink, TcpOpenWaitsUpToThreeSecondsInSteps)
{
    struct Case {
        const char* name;
        std::optional<Ms> connectAfter;
        bool opens;
        Ms returnsAt;
    };
    const Case cases[] = {
        {"at once", Ms{0}, true, Ms{0}},
        {"after 450 ms: seen on the next 200 ms step", Ms{450}, true, Ms{600}},
        {"just in time", Ms{3000}, true, Ms{3000}},
        {"never", std::nullopt, false, Ms{3000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.t.serial = false;
        f.t.aAddress = "127.0.0.1";
        f.t.nPort = 2001;
        f.connectAfter = c.connectAfter;
        f.t.mnuOpen_Click();
        EXPECT_EQ(f.t.linkOpen(), c.opens);
        EXPECT_EQ(f.clock.now(), c.returnsAt);
        if (c.opens) {
            EXPECT_TRUE(f.ui.messages.empty());
            EXPECT_EQ(f.t.settingsText, "Settings: IP 127.0.0.1 : 2001, Echo Off     DATA Terminal mode");
            EXPECT_TRUE(f.t.connectTimer().enabled());
        } else {
            ASSERT_EQ(f.ui.messages.size(), 1u);
            EXPECT_EQ(f.ui.messages[0].text, kCannotConnect);
            EXPECT_EQ(f.ui.messages[0].icon, I::Exclamation);
            EXPECT_EQ(f.ui.messages[0].at, Ms{3000});
            EXPECT_EQ(f.t.settingsText, "Settings: ");
        }
    }
}

TEST(TerminalLink, TcpOpenWhenConnectedClosesInstead)
{
    TerminalFixture f;
    f.t.serial = false;
    f.t.mnuOpen_Click();
    ASSERT_TRUE(f.t.linkOpen());
    FakeLink* first = f.link;
    f.t.mnuOpen_Click();
    EXPECT_FALSE(f.t.linkOpen());
    EXPECT_EQ(f.linksMade, 1);
    EXPECT_FALSE(first->isOpen());
    EXPECT_EQ(f.journal.events.back(), "close");
    EXPECT_EQ(f.t.settingsText, "Settings: ");
    EXPECT_FALSE(f.t.connectTimer().enabled());
    EXPECT_TRUE(f.ui.messages.empty());
    // And once more opens a fresh connection.
    f.t.mnuOpen_Click();
    EXPECT_TRUE(f.t.linkOpen());
    EXPECT_EQ(f.linksMade, 2);
}

// ---------------------------------------------------------------- CommOut

TEST(TerminalLink, CommOutWithThePortClosedWarnsAndSetsTheAbortFlag)
{
    for (const bool serial : {true, false}) {
        SCOPED_TRACE(serial ? "serial" : "tcp");
        TerminalFixture f;
        f.t.serial = serial;
        f.t.CommOut("[L\r\n");
        EXPECT_EQ(f.t.abortFlag, 2);
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].text, kClosedWarning);
        EXPECT_EQ(f.ui.messages[0].buttons, B::Ok);
        EXPECT_EQ(f.ui.messages[0].icon, I::Exclamation);
        EXPECT_TRUE(f.journal.writes.empty());
    }
}

TEST(TerminalLink, CommOutSendsTheTextUnchanged)
{
    TerminalFixture f;
    f.openSerial();
    std::string bytes = "\x1b" "D";
    bytes += "#\x0b  \r\n";
    bytes += std::string("\x81\x8a\xa6\0", 4);
    f.t.CommOut(bytes);
    ASSERT_EQ(f.link->writes.size(), 1u);
    EXPECT_EQ(f.link->writes[0], bytes);
    EXPECT_EQ(f.t.abortFlag, 0);
}

TEST(TerminalLink, TcpSendReconnectsOrGivesTheLinkUp)
{
    struct Case {
        const char* name;
        std::optional<Ms> reconnectAfter;
        bool sent;
        Ms endsAt;
    };
    const Case cases[] = {
        {"reconnects at once", Ms{0}, true, Ms{0}},
        {"reconnects after 500 ms", Ms{500}, true, Ms{600}},
        {"never", std::nullopt, false, Ms{3000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.t.serial = false;
        f.t.mnuOpen_Click();
        ASSERT_TRUE(f.t.linkOpen());
        f.link->connectAfter = c.reconnectAfter;
        f.link->drop();
        const Ms began = f.clock.now();
        f.t.CommOut("V\r\n");
        EXPECT_EQ(f.clock.now() - began, c.endsAt);
        EXPECT_EQ(f.linksMade, 1); // the same link connects again
        EXPECT_EQ(f.t.linkOpen(), c.sent);
        if (c.sent) {
            EXPECT_EQ(allWritten(*f.link), "V\r\n");
            EXPECT_TRUE(f.link->isOpen());
            EXPECT_TRUE(f.ui.messages.empty());
            EXPECT_EQ(f.t.abortFlag, 0);
        } else {
            EXPECT_EQ(allWritten(*f.link), "");
            ASSERT_EQ(f.ui.messages.size(), 1u);
            EXPECT_EQ(f.ui.messages[0].text, kConnectionLost);
            EXPECT_EQ(f.t.settingsText, "Settings: ");
            EXPECT_FALSE(f.t.connectTimer().enabled());
            EXPECT_EQ(f.t.abortFlag, 2);
            // Further sends meet the closed port.
            f.t.CommOut("S\r\n");
            ASSERT_EQ(f.ui.messages.size(), 2u);
            EXPECT_EQ(f.ui.messages[1].text, kClosedWarning);
        }
    }
}

TEST(TerminalLink, TextSentDuringAReconnectFollowsInOrder)
{
    TerminalFixture f;
    f.t.serial = false;
    f.t.mnuOpen_Click();
    f.link->connectAfter = Ms{400};
    f.link->drop();
    // A key typed while the reconnect waits.
    auto typed = f.clock.createTimer();
    typed->setInterval(Ms{100});
    typed->onTick = [&] {
        typed->setEnabled(false);
        f.t.KeyPress('x');
    };
    typed->setEnabled(true);
    f.t.CommOut("first");
    EXPECT_EQ(allWritten(*f.link), "firstx");
}

// ---------------------------------------------------------------- keyboard

TEST(TerminalKeyboard, TypedKeysAreSentAndShownAsTheEchoFlagSays)
{
    struct Case {
        const char* name;
        bool echo;
        std::vector<int> keys;
        std::string sent;
        std::string shown;
    };
    const Case cases[] = {
        {"echo off: sent, not shown", false, {'V', 13}, "V\r\n", ""},
        {"echo on: sent and shown", true, {'V', 13}, "V\r\n", "V\r\n"},
        {"8-bit characters pass", true, {0xa6, '#'}, "\xa6#", "\xa6#"},
        {"copy keys are left to the box", true, {1, 3}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.t.echo = c.echo;
        f.openSerial();
        for (const int k : c.keys)
            EXPECT_EQ(f.t.KeyPress(k), k >= 4);
        EXPECT_EQ(allWritten(*f.link), c.sent);
        EXPECT_EQ(f.t.screen.text(), c.shown);
    }
}

TEST(TerminalKeyboard, KeyWithTheLinkClosedIsDiscarded)
{
    TerminalFixture f;
    f.t.echo = true;
    EXPECT_TRUE(f.t.KeyPress('a'));
    EXPECT_TRUE(f.t.KeyPress(13));
    EXPECT_TRUE(f.journal.writes.empty());
    EXPECT_EQ(f.t.screen.text(), "");
    EXPECT_TRUE(f.ui.messages.empty()); // no warning box for a key
    EXPECT_EQ(f.t.abortFlag, 0);
}

TEST(TerminalKeyboard, AKeyRestartsAStoppedConnectTime)
{
    TerminalFixture f;
    f.openSerial();
    f.clock.advance(Ms{5000});
    f.t.StopConnectTimer();
    EXPECT_FALSE(f.t.connectTimer().enabled());
    f.t.KeyPress('a');
    EXPECT_TRUE(f.t.connectTimer().enabled());
    f.clock.advance(Ms{2000});
    EXPECT_EQ(f.t.connectTimeText, " 00:00:02");
}

// ---------------------------------------------------------------- status bar

TEST(TerminalStatus, EachSerialErrorIsShownOnceForTwoSeconds)
{
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {1001, "Break Received"},         {1002, "CTS Timeout"},         {1003, "DSR Timeout"},
        {1004, "Framing Error"},          {1006, "Overrun Error"},       {1007, "Carrier Detect Timeout"},
        {1008, "Receive Buffer Overflow"}, {1009, "Parity Error"},        {1010, "Transmit Buffer Full"},
        {1011, "Error retrieving DCB"},   {1005, "Unknown error or event"}, {1234, "Unknown error or event"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        TerminalFixture f;
        f.openSerial();
        f.link->raiseError(c.code);
        EXPECT_EQ(f.t.statusText, std::string("Status: ") + c.text);
        f.clock.advance(Ms{1990});
        EXPECT_EQ(f.t.statusText, std::string("Status: ") + c.text);
        f.clock.advance(Ms{10});
        EXPECT_EQ(f.t.statusText, "Status: ");
        EXPECT_FALSE(f.t.statusTimer().enabled());
        // A later event that shows nothing does not bring the old error back.
        for (const int quiet : {1, 2, 3, 4, 5, 6, 7}) {
            f.link->raiseError(quiet);
            EXPECT_EQ(f.t.statusText, "Status: ");
            EXPECT_FALSE(f.t.statusTimer().enabled());
        }
    }
}

TEST(TerminalStatus, ANewErrorReplacesTheShownOneAndGetsItsOwnTwoSeconds)
{
    TerminalFixture f;
    f.openSerial();
    f.link->raiseError(common::comEventFrame);
    f.clock.advance(Ms{1500});
    f.link->raiseError(common::comEventRxParity);
    EXPECT_EQ(f.t.statusText, "Status: Parity Error");
    f.clock.advance(Ms{1500}); // 3 s after the first, 1.5 s after the second
    EXPECT_EQ(f.t.statusText, "Status: Parity Error");
    f.clock.advance(Ms{500});
    EXPECT_EQ(f.t.statusText, "Status: ");
}

TEST(TerminalStatus, ConnectTimeCountsFromTheOpenOnTheInjectedClock)
{
    struct Case {
        Ms after;
        const char* text;
    };
    const Case cases[] = {
        {Ms{999}, " 00:00:00"}, {Ms{1000}, " 00:00:01"}, {Ms{59000}, " 00:00:59"},
        {Ms{61000}, " 00:01:01"}, {Ms{3661000}, " 01:01:01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TerminalFixture f;
        f.clock.advance(Ms{12345}); // the count starts at the open, not at the clock's origin
        f.openSerial();
        f.clock.advance(c.after);
        EXPECT_EQ(f.t.connectTimeText, c.text);
    }
}

TEST(TerminalLink, ASecondOpenCommandDuringTheConnectWaitIsIgnored)
{
    TerminalFixture f;
    f.t.serial = false;
    f.connectAfter = Ms{1000};
    auto click = f.clock.createTimer();
    click->setInterval(Ms{300});
    click->onTick = [&] {
        click->setEnabled(false);
        f.t.mnuOpen_Click();
    };
    click->setEnabled(true);
    f.t.mnuOpen_Click();
    EXPECT_TRUE(f.t.linkOpen());
    EXPECT_EQ(f.linksMade, 1);
    EXPECT_EQ(f.clock.now(), Ms{1000});
    EXPECT_TRUE(f.ui.messages.empty());
}
