// Sending a text file from the window (file choice, a missing file, the cancel window) and the
// communications log (file choice, the replace question, caption and entries).
#include "KorrinFixture.h"

#include <QPushButton>
#include <QTest>

using namespace korrintest;

namespace {

class TextSendTest : public KorrinFixture {};
class CommsLogWindowTest : public KorrinFixture {};

TEST_F(TextSendTest, AMissingFileIsReportedAndTheDialogOpensAgain)
{
    start();
    const std::string missing = dir + "/missing.txt";
    const std::string present = file("present.txt", "S\r\n");
    files = {missing, present};
    win->terminal().pacingMs = 0;
    sent();
    action("mnuSendText")->trigger();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_FALSE(asked[0].save);
    EXPECT_EQ(asked[0].title, "Send Text File");
    EXPECT_EQ(asked[0].filter, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, missing + " not found!");
    EXPECT_EQ(sent(), "S\r\n"); // the file chosen the second time went out
}

TEST_F(TextSendTest, CancellingTheFileChoiceSendsNothing)
{
    start();
    sent();
    action("mnuSendText")->trigger();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(win->cancelWindow(), nullptr);
}

TEST_F(TextSendTest, CancelWindowShowsWhileASendRunsAndItsCancelStopsTheSend)
{
    start();
    const std::string path = file("script.txt", "line1\r\n'a comment\r\nline2\r\nline3\r\nline4\r\n");
    action("mnuLoop")->trigger(); // over and over until Cancel
    ASSERT_TRUE(action("mnuLoop")->isChecked());
    files = {path};
    sent();

    struct Seen {
        bool windowShown = false;
        QString caption, text;
        bool sendEntryEnabled = true;
        bool clicked = false;
        bool forced = false;
    } seen;
    const Ms began = clock.now();
    const size_t base = journal.writes.size();
    clock.pump = [&] {
        QWidget* w = win->cancelWindow();
        if (seen.clicked || !w || !w->isVisible())
            return;
        if (journal.writes.size() < base + 2)
            return;
        seen.windowShown = true;
        seen.caption = w->windowTitle();
        seen.text = w->findChild<QLabel*>("lblCancelText")->text();
        seen.sendEntryEnabled = action("mnuSendText")->isEnabled();
        seen.clicked = true;
        w->findChild<QPushButton*>("cmdCancel")->click();
    };
    // A bound of its own, should Cancel fail to stop the loop.
    auto guard = clock.createTimer();
    guard->setInterval(Ms{60000});
    guard->onTick = [&] {
        seen.forced = true;
        win->textSender().cancel();
    };
    guard->setEnabled(true);
    action("mnuSendText")->trigger();
    clock.pump = nullptr;
    guard->setEnabled(false);

    EXPECT_FALSE(seen.forced);
    EXPECT_TRUE(seen.windowShown);
    EXPECT_EQ(seen.caption, "Send Text");
    EXPECT_EQ(seen.text, QString::fromStdString("Send Text File - Pacing: 200,  Loop\n" + path));
    EXPECT_FALSE(seen.sendEntryEnabled); // one long sequence at a time
    EXPECT_EQ(sent(), "line1\r\nline2\r\n");
    EXPECT_LT(clock.now() - began, Ms{1000});
    EXPECT_FALSE(win->cancelWindow()->isVisible());
    EXPECT_TRUE(action("mnuSendText")->isEnabled());
    EXPECT_NE(screen().indexOf("'a comment"), -1); // comment lines are shown, never sent
}

// While a send runs, whatever could close, reopen or reconfigure the link or start another
// sequence is disabled, in every place it can be reached; afterwards it is enabled again.
TEST_F(TextSendTest, ControlsThatWouldDisturbTheSendAreDisabledWhileItRuns)
{
    storeBefore({{"Direct", "TAV8a"}});
    start();
    win->findTavSetup.network = {"127.0.0.1", "127.0.0.1"};
    action("mnuFindTav")->trigger();
    auto* configure = win->findChild<QPushButton*>("cndUseIP");
    ASSERT_NE(configure, nullptr);
    ASSERT_TRUE(configure->isEnabled());
    action("mnuExpert")->trigger();
    action("mnuLoop")->trigger();
    files = {file("loop.txt", "mA001\r\n")};

    const std::vector<const char*> guardedActions = {
        "mnuOpen", "mnuProp", "Properties", "mnuHex", "mnuPace_0", "mnuPace_5", "mnuData", "mnuTAV8p",
        "mnuSLCD", "mnuACUVer", "mnuDVBVer", "mnuBDEStatus", "mnuVantorOn", "mnuPCUReset", "mnuSaveReset_0",
        "mnuModemTune", "Status", "ModVer", "SendGPS", "SendHDG", "mnuSendGPS", "mnuSendHDG", "mnuSendText",
        "mnuParamUpload", "mnuStartLog", "OpenLogFile", "mnuUploadS19", "mnuStartProg", "mnuErase", "mnuBulk",
        "mnuUpload"};
    const std::vector<const char*> guardedWidgets = {"chkDTR", "chkRTS", "cmdAUpload", "Command5"};
    auto enabledOnes = [&] {
        std::vector<std::string> on;
        for (const char* a : guardedActions)
            if (action(a)->isEnabled())
                on.push_back(a);
        for (const char* w : guardedWidgets)
            if (find<QWidget>(w)->isEnabled())
                on.push_back(w);
        if (configure->isEnabled())
            on.push_back("cndUseIP");
        return on;
    };
    const size_t before = enabledOnes().size();
    EXPECT_EQ(before, guardedActions.size() + guardedWidgets.size() + 1) << "all of them usable before the send";

    std::vector<std::string> enabledDuring;
    bool looked = false;
    clock.pump = [&] {
        if (looked || !win->terminal().sequenceRunning())
            return;
        looked = true;
        enabledDuring = enabledOnes();
        win->textSender().cancel();
    };
    action("mnuSendText")->trigger();
    clock.pump = nullptr;

    ASSERT_TRUE(looked);
    EXPECT_EQ(enabledDuring, std::vector<std::string>{});
    EXPECT_FALSE(win->terminal().sequenceRunning());
    EXPECT_EQ(enabledOnes().size(), before) << "every control comes back when the send has ended";
}

TEST_F(TextSendTest, ParameterUploadCleansLinesAndRestoresThePacing)
{
    start();
    action("mnuPace_5")->trigger(); // 1000 ms
    const std::string path = file("params.txt", "mA\t123\t'El Trim\r\n'header\r\n>prompt\r\nmB001\r\n");
    files = {path};
    sent();
    const Ms began = clock.now();
    action("mnuParamUpload")->trigger();
    EXPECT_EQ(sent(), "mA123\r\nmB001\r\n");
    EXPECT_EQ(clock.now() - began, Ms{4 * 80}); // one 80 ms wait per line
    EXPECT_EQ(win->terminal().pacingMs, 1000);
    EXPECT_TRUE(action("mnuPace_5")->isChecked());
    const QString s = screen();
    EXPECT_TRUE(s.contains("'header") && s.contains(">prompt")) << s.toStdString();
}

// ------------------------------------------------------------------ communications log

TEST_F(CommsLogWindowTest, YesReplacesTheFileAndTheEntriesAndCaptionFollowTheLog)
{
    start();
    const std::string path = file("comms.log", "old text");
    files = {path};
    answers = {Answer::Yes};
    action("mnuStartLog")->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].title, "Open Communications Log File");
    EXPECT_EQ(asked[0].filter, "Log Files (*.LOG)|*.log|All Files (*.*)|*.*");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Replace existing file - " + path + "?");
    EXPECT_EQ(shown[0].buttons, term::TerminalUi::Buttons::YesNoCancel);

    EXPECT_EQ(win->windowTitle(), "Tessaro Program Terminal - Logging comms.log");
    EXPECT_FALSE(action("mnuStartLog")->isEnabled());
    EXPECT_TRUE(action("mnuStopLog")->isEnabled());
    EXPECT_FALSE(tool("OpenLogFile")->isEnabled());
    EXPECT_TRUE(tool("CloseLogFile")->isEnabled());

    last->receive("TAVSIM NET READY\r\n>");
    QTest::keyClicks(term(), "x"); // sent, not echoed: not logged
    EXPECT_EQ(slurp(path), "TAVSIM NET READY\r\n>");

    tool("CloseLogFile")->trigger();
    EXPECT_EQ(win->windowTitle(), "Tessaro Program Terminal");
    EXPECT_TRUE(action("mnuStartLog")->isEnabled());
    EXPECT_FALSE(action("mnuStopLog")->isEnabled());
    EXPECT_TRUE(tool("OpenLogFile")->isEnabled());
    EXPECT_FALSE(tool("CloseLogFile")->isEnabled());
    last->receive("after");
    EXPECT_EQ(slurp(path), "TAVSIM NET READY\r\n>");
}

TEST_F(CommsLogWindowTest, NoAppendsAndCancelEndsWithoutAskingForAnotherFile)
{
    start();
    const std::string path = file("comms.log", "old|");

    files = {path, path};
    answers = {Answer::Cancel};
    tool("OpenLogFile")->trigger();
    EXPECT_EQ(asked.size(), 1u); // Cancel at the question ends the command
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(win->windowTitle(), "Tessaro Program Terminal");
    EXPECT_TRUE(action("mnuStartLog")->isEnabled());

    asked.clear();
    files = {path};
    answers = {Answer::No};
    action("mnuStartLog")->trigger();
    EXPECT_EQ(asked.size(), 1u);
    last->receive("new");
    action("mnuStopLog")->trigger();
    EXPECT_EQ(slurp(path), "old|new");
}

TEST_F(CommsLogWindowTest, ANewFileIsOpenedWithoutAQuestionAndClosedWithTheWindow)
{
    start();
    const std::string path = dir + "/fresh.log";
    files = {path};
    action("mnuStartLog")->trigger();
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(win->commsLog().isOpen());
    last->receive("abc");
    win->close();
    EXPECT_FALSE(win->commsLog().isOpen());
    EXPECT_EQ(slurp(path), "abc");
}

} // namespace
