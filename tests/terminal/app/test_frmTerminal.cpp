// The terminal window: keys to the link, the connect indicator, the status bar, the module
// list and what it governs (speed, panel strip, upload buttons, Vantor toolbar buttons, the
// Status button), the hex display and the pacing entries.
#include "KorrinFixture.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>

using namespace korrintest;

namespace {

class TerminalWindowTest : public KorrinFixture {
protected:
    void type(QWidget* w, const char* keys)
    {
        for (const char* k = keys; *k; ++k) {
            if (*k == '\r')
                QTest::keyClick(w, Qt::Key_Return);
            else
                QTest::keyClicks(w, QString(QChar(*k)));
        }
    }
    void click(const char* label) { QTest::mouseClick(find<QLabel>(label), Qt::LeftButton); }
};

// ------------------------------------------------------------------ keys

TEST_F(TerminalWindowTest, TypedKeysGoToTheLinkWithEchoOffAndOnlyTheDeviceEchoIsShown)
{
    start();
    ASSERT_TRUE(linkOpen());
    sent();
    type(term(), "ab\r");
    EXPECT_EQ(sent(), "ab\r\n"); // Enter is CR LF
    EXPECT_EQ(screen(), "");    // echo off: nothing of the keys on the screen
    last->receive("ab\r\n>");
    EXPECT_EQ(screen(), "ab\n>");
}

TEST_F(TerminalWindowTest, TypedKeysAreShownWithEchoOn)
{
    storeBefore({{"Echo", "True"}});
    start();
    sent();
    type(term(), "V\r");
    EXPECT_EQ(sent(), "V\r\n");
    EXPECT_EQ(screen(), "V\n");
}

TEST_F(TerminalWindowTest, KeysPressedOnTheUploadButtonsGoToTheScreenAndTheLink)
{
    start();
    sent();
    auto* erase = find<QPushButton>("cmdErase");
    ASSERT_TRUE(erase->isEnabled()); // the manual buttons follow the open link
    type(erase, "z");
    EXPECT_EQ(sent(), "z");
}

TEST_F(TerminalWindowTest, KeysTypedWhileTheLinkIsClosedAreDiscardedWithoutAWarning)
{
    storeBefore({{"Echo", "True"}});
    start();
    click("imgConnected");
    ASSERT_FALSE(linkOpen());
    sent();
    type(term(), "abc\r");
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(screen(), "");
    EXPECT_TRUE(shown.empty());
}

TEST_F(TerminalWindowTest, ClearScreenEmptiesTheViewAndTheViewIsTrimmedWithTheScreen)
{
    start();
    last->receive("before\r\n");
    EXPECT_EQ(screen(), "before\n");
    tool("ClearScreen")->trigger();
    EXPECT_EQ(screen(), "");
    last->receive("x");
    EXPECT_EQ(screen(), "x");
    action("mnuClear")->trigger();
    EXPECT_EQ(screen(), "");

    // 40 lines of 999 characters: the screen keeps at most 16000 and the view no more.
    const std::string line = std::string(997, 'a') + "\r\n";
    for (int i = 0; i < 40; ++i) {
        last->receive(line);
        if (i % 7 == 0)
            screen(); // drawn now and then, as the window does
    }
    const QString shownText = screen();
    const auto& model = win->terminal().screen.text();
    EXPECT_LE(model.size(), 16000u);
    // The view breaks very long lines for itself; apart from those breaks it is the screen.
    std::string onScreen = model;
    std::erase(onScreen, '\r');
    std::erase(onScreen, '\n');
    EXPECT_EQ(QString(shownText).remove('\n').toStdString(), onScreen);
}

// ------------------------------------------------------------------ connect indicator

TEST_F(TerminalWindowTest, ConnectIndicatorImagesAndPortOpenTickFollowTheLink)
{
    start();
    EXPECT_TRUE(visible("imgConnected"));
    EXPECT_FALSE(visible("imgNotConnected"));
    EXPECT_TRUE(action("mnuOpen")->isChecked());
    EXPECT_EQ(find<QLabel>("imgConnected")->toolTip(), "Toggles Port");

    click("imgConnected");
    EXPECT_FALSE(linkOpen());
    EXPECT_FALSE(visible("imgConnected"));
    EXPECT_TRUE(visible("imgNotConnected"));
    EXPECT_FALSE(action("mnuOpen")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("chkDTR")->isChecked());

    click("imgNotConnected");
    EXPECT_TRUE(linkOpen());
    EXPECT_TRUE(visible("imgConnected"));
    EXPECT_FALSE(visible("imgNotConnected"));
    EXPECT_TRUE(find<QCheckBox>("chkDTR")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("chkRTS")->isChecked());

    action("mnuOpen")->trigger();
    EXPECT_FALSE(linkOpen());
    EXPECT_TRUE(visible("imgNotConnected"));
    EXPECT_EQ(std::count(journal.events.begin(), journal.events.end(), "open"), 2);
    EXPECT_EQ(journal.events.back(), "close");
}

TEST_F(TerminalWindowTest, ATcpLinkThatCannotBeMadeAgainShowsNotConnected)
{
    storeBefore({{"Direct", "TAV8a"}, {"Type", "False"}, {"Address", "127.0.0.1"}, {"PortNumber", "2101"}});
    start();
    ASSERT_TRUE(linkOpen());
    EXPECT_TRUE(visible("fraHSBlock")); // the handshake boxes are covered on TCP/IP
    last->connectAfter.reset();
    last->drop();
    type(term(), "S");
    EXPECT_FALSE(linkOpen());
    EXPECT_TRUE(saidSomething("Error,\rTCP/IP connection is no longer valid.\rClick LED to re-connect."));
    EXPECT_TRUE(visible("imgNotConnected"));
    EXPECT_FALSE(visible("imgConnected"));
    EXPECT_EQ(panel("Settings"), "Settings: ");
}

// ------------------------------------------------------------------ status bar

TEST_F(TerminalWindowTest, StatusBarShowsTheSerialSettingsEchoAndModuleLabel)
{
    start();
    EXPECT_EQ(panel("Settings"), "Settings: Com1: 9600,N,8,1, Echo Off     DATA Terminal mode");
    // The tip names the device the port number maps to.
    const QString tip = find<QLabel>("sbrStatus_Settings")->toolTip();
    EXPECT_TRUE(tip.startsWith("Communications Port Settings\nDevice: ")) << tip.toStdString();
    EXPECT_TRUE(tip.endsWith(QString::fromStdString(win->terminal().devicePath))) << tip.toStdString();
    EXPECT_FALSE(win->terminal().devicePath.empty());
    EXPECT_EQ(panel("Device").toStdString(), win->terminal().devicePath);
    clock.advance(Ms{3000});
    EXPECT_EQ(panel("ConnectTime"), " 00:00:03");
    action("mnuOpen")->trigger();
    EXPECT_EQ(panel("Settings"), "Settings: ");
    clock.advance(Ms{5000});
    EXPECT_EQ(panel("ConnectTime"), " 00:00:03"); // the count stopped with the link
}

TEST_F(TerminalWindowTest, StatusBarShowsTheAddressOnTcp)
{
    storeBefore({{"Direct", "TAV8a"}, {"Type", "False"}, {"Address", "127.0.0.1"}, {"PortNumber", "2101"},
                 {"Echo", "True"}});
    start();
    EXPECT_EQ(panel("Settings"), "Settings: IP 127.0.0.1 : 2101, Echo On     TAV 8K Translation ACU");
}

TEST_F(TerminalWindowTest, SerialErrorShowsInTheStatusPanelForTwoSeconds)
{
    start();
    EXPECT_EQ(panel("Status"), "Status:");
    last->raiseError(1004);
    EXPECT_EQ(panel("Status"), "Status: Framing Error");
    clock.advance(Ms{2000});
    EXPECT_EQ(panel("Status"), "Status: ");
    EXPECT_TRUE(shown.empty()); // serial errors are shown in the status bar only
}

// ------------------------------------------------------------------ module list

TEST_F(TerminalWindowTest, PickingTav07ToAcuReopensTheLinkAt4800KeepingTheLineFormat)
{
    storeBefore({{"Settings", "9600,E,7,2"}});
    start();
    ASSERT_TRUE(linkOpen());
    const int before = made;
    journal.events.clear();
    action("mnuTAVa")->trigger();
    EXPECT_TRUE(action("mnuTAVa")->isChecked());
    EXPECT_FALSE(action("mnuData")->isChecked());
    EXPECT_TRUE(linkOpen());
    EXPECT_EQ(made, before + 1);
    ASSERT_FALSE(journal.events.empty());
    EXPECT_EQ(journal.events.front(), "close");
    EXPECT_EQ(journal.events.back(), "open");
    EXPECT_EQ(panel("Settings"), "Settings: Com1: 4800,E,7,2, Echo Off     TAV-07 Translation ACU");
    EXPECT_EQ(stored("Settings"), "4800,E,7,2");
    EXPECT_EQ(stored("Direct"), "TAVa");
}

TEST_F(TerminalWindowTest, PickingAPathWithTheLinkClosedOnlyStoresSpeedAndCode)
{
    start();
    action("mnuOpen")->trigger();
    const int before = made;
    action("mnuTAVp")->trigger();
    EXPECT_FALSE(linkOpen());
    EXPECT_EQ(made, before);
    EXPECT_EQ(stored("Settings"), "4800,N,8,1");
    EXPECT_EQ(stored("Direct"), "TAVp");
    action("mnuOpen")->trigger();
    EXPECT_EQ(panel("Settings"), "Settings: Com1: 4800,N,8,1, Echo Off     TAV-07 Translation PCU");
}

TEST_F(TerminalWindowTest, PanelPathsShowThePanelStripAndDecodeDisplayCodes)
{
    start();
    EXPECT_FALSE(visible("fraPanel"));
    action("mnuCpanel")->trigger();
    EXPECT_TRUE(visible("fraPanel"));
    const int stripHeight = find<QWidget>("fraPanel")->height();
    EXPECT_GT(stripHeight, 0);

    last->receive("AGC ok\r\n\x01" "ABC");
    last->receive("D\r\n\x02TRACKING\r\n\x03" "12\x04" "0080\x05\x06\x0c");
    EXPECT_EQ(find<QLineEdit>("txtLine1")->text(), "ABCD");
    EXPECT_EQ(find<QLineEdit>("txtLine2")->text(), "TRACKING");
    EXPECT_EQ(find<QLineEdit>("txtLine3")->text(), "12");
    EXPECT_EQ(find<QLineEdit>("txtLine4")->text(), "0080");
    EXPECT_EQ(find<QLineEdit>("txtLine6U")->text(), "UNWRAP");
    EXPECT_EQ(find<QLineEdit>("txtLine6T")->text(), "TRACKING");
    EXPECT_EQ(screen(), "AGC ok\n"); // only the text outside the codes reaches the screen
    last->receive("\x06@");
    EXPECT_EQ(find<QLineEdit>("txtLine6U")->text(), "");
    EXPECT_EQ(find<QLineEdit>("txtLine6T")->text(), "");

    for (const char* other : {"mnuTAV8a", "mnuData", "mnuOrlaPCU"}) {
        SCOPED_TRACE(other);
        action("mnuDpanel")->trigger();
        EXPECT_TRUE(visible("fraPanel"));
        action(other)->trigger();
        EXPECT_FALSE(visible("fraPanel"));
    }
}

TEST_F(TerminalWindowTest, ManualUploadButtonsAreHiddenOnEveryAutoUploadPath)
{
    start();
    ASSERT_TRUE(linkOpen());
    const struct {
        const char* menu;
        bool autoUpload;
        bool autoUploadButton; // "Auto Upload" enabled with the link open
    } rows[] = {
        {"mnuData", false, false},   {"mnuQM7000", false, false}, {"mnuCPCU", false, false},
        {"mnuCPdvb", false, false},  {"mnuCpanel", false, false}, {"mnuDpanel", false, false},
        {"mnuOrlaPCU", true, true},  {"mnuTAVa", true, true},     {"mnuTAVp", true, true},
        {"mnuTAVd", false, false},   {"mnuTAV8a", true, true},    {"mnuTAV8p", true, true},
        {"mnuTAV8d", false, false},  {"mnuTAV8m1", false, false}, {"mnuTAV8m2", false, false},
        {"mnuTAV8mdb", true, true},  {"mnuSPG2pcu", false, true}, {"mnuUSBpcu", true, true},
        {"mnuUSBmdb", true, true},   {"mnuVantor", true, true},   {"mnuSLCD", true, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.menu);
        action(r.menu)->trigger();
        ASSERT_TRUE(linkOpen());
        for (const char* b : {"cmdStart", "cmdErase", "cmdUpload"}) {
            EXPECT_EQ(visible(b), !r.autoUpload) << b;
            if (!r.autoUpload) {
                EXPECT_TRUE(find<QPushButton>(b)->isEnabled()) << b;
            }
        }
        EXPECT_EQ(find<QPushButton>("cmdAUpload")->isEnabled(), r.autoUploadButton);
        EXPECT_TRUE(visible("cmdAUpload"));
    }
    // With the link closed no upload button can be pressed.
    action("mnuTAV8a")->trigger();
    action("mnuOpen")->trigger();
    EXPECT_FALSE(find<QPushButton>("cmdAUpload")->isEnabled());
    action("mnuData")->trigger();
    EXPECT_FALSE(find<QPushButton>("cmdStart")->isEnabled());
}

TEST_F(TerminalWindowTest, VantorCommsButtonsWorkOnlyWhileOrlaPcuViaVantorIsOpen)
{
    start();
    EXPECT_FALSE(tool("CheckSum")->isEnabled());
    EXPECT_FALSE(tool("ChkOff")->isEnabled());
    action("mnuOrlaPCU")->trigger();
    ASSERT_TRUE(linkOpen());
    EXPECT_TRUE(tool("CheckSum")->isEnabled());
    EXPECT_TRUE(tool("ChkOff")->isEnabled());
    sent();
    tool("CheckSum")->trigger();
    EXPECT_EQ(sent(), "%");
    tool("ChkOff")->trigger();
    EXPECT_EQ(sent(), "$");

    action("mnuOpen")->trigger();
    EXPECT_FALSE(tool("CheckSum")->isEnabled());
    EXPECT_FALSE(tool("ChkOff")->isEnabled());
    action("mnuOpen")->trigger();
    EXPECT_TRUE(tool("CheckSum")->isEnabled());
    action("mnuVantor")->trigger();
    EXPECT_FALSE(tool("CheckSum")->isEnabled());
    EXPECT_FALSE(tool("ChkOff")->isEnabled());
}

TEST_F(TerminalWindowTest, StatusButtonSendsThePathsQueryAndNothingOnUsbToVantorApp)
{
    start();
    const struct {
        const char* menu;
        const char* status;
        const char* version;
    } rows[] = {
        {"mnuOrlaPCU", "$\r\n", "V\r\n"},
        {"mnuVantor", "", "verA\r"},
        {"mnuTAV8m1", "<0000\r\n", "<0411\r\n"},
        {"mnuTAVa", "\x1bS", "\x1bV"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.menu);
        action(r.menu)->trigger();
        ASSERT_TRUE(linkOpen());
        ASSERT_TRUE(tool("Status")->isEnabled());
        sent();
        tool("Status")->trigger();
        EXPECT_EQ(sent(), r.status);
        tool("ModVer")->trigger();
        EXPECT_EQ(sent(), r.version);
    }
    EXPECT_TRUE(shown.empty());
    action("mnuOpen")->trigger();
    for (const char* key : {"Status", "ModVer", "SendGPS", "SendHDG"})
        EXPECT_FALSE(tool(key)->isEnabled()) << key;
}

TEST_F(TerminalWindowTest, AStoredPanelPathIsRestoredAtStartWithItsStrip)
{
    storeBefore({{"Direct", "CPDVB"}});
    start();
    EXPECT_TRUE(action("mnuCPdvb")->isChecked());
    EXPECT_TRUE(visible("fraPanel"));
    EXPECT_EQ(panel("Settings"), "Settings: Com1: 9600,N,8,1, Echo Off     Brine PCU to DVB");
}

// ------------------------------------------------------------------ hex display and pacing

TEST_F(TerminalWindowTest, HexDataDisplayTogglesAndPickingAPathClearsIt)
{
    start();
    action("mnuTAV8a")->trigger();
    auto* hex = action("mnuHex");
    EXPECT_FALSE(hex->isChecked());
    hex->trigger();
    EXPECT_TRUE(hex->isChecked());
    last->receive("A\r");
    EXPECT_EQ(screen().remove('\n'), "<41><0D><0A>");
    hex->trigger();
    EXPECT_FALSE(hex->isChecked());
    last->receive("B\r");
    EXPECT_EQ(screen().remove('\n'), "<41><0D><0A>B");

    hex->trigger();
    ASSERT_TRUE(hex->isChecked());
    action("mnuTAV8p")->trigger();
    EXPECT_FALSE(hex->isChecked());
    EXPECT_EQ(screen(), ""); // picking a path clears the screen
}

TEST_F(TerminalWindowTest, PacingEntriesTickExactlyOne)
{
    start();
    const int values[] = {0, 60, 100, 200, 400, 1000};
    auto ticked = [this] {
        std::vector<int> on;
        for (int i = 0; i < 6; ++i)
            if (action(("mnuPace_" + std::to_string(i)).c_str())->isChecked())
                on.push_back(i);
        return on;
    };
    EXPECT_EQ(ticked(), std::vector<int>{3}); // 200 ms at start
    EXPECT_EQ(action("mnuPace_3")->text(), "200 ms");
    for (int i : {5, 0, 2, 2, 4, 1, 3}) {
        SCOPED_TRACE(i);
        action(("mnuPace_" + std::to_string(i)).c_str())->trigger();
        EXPECT_EQ(ticked(), std::vector<int>{i});
        EXPECT_EQ(win->terminal().pacingMs, values[i]);
    }
}

} // namespace
