// The front panel as a technician uses it: keys clicked, values typed into the display, lamps
// and status menus read back by objectName, with a scripted ACU answering every query.
#include "AppFixture.h"

#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <map>

using namespace guitest;
using common::Ms;

namespace {

// Replies of the documented shapes, by the query they answer.
const std::map<std::string, std::string> kReplies = {
    {"S", "SHx@@L2550 Ac"},          // tracking; AZ and EL on target; AGC 850
    {"P", "PE0400 1777 0900"},       // El 40.0, Az 177.7
    {"H", "HR0877 0900"},            // relative 87.7, heading 90.0
    {"u", "uG0900V0400 0500"},       // threshold 500
    {"q", "q1150 6875"},
    {"@", "@N0433E0054"},
    {"%", "%L2550"},
    {"V", "TAV ACU VER 4.20 SIM"},
    {"?   S\r\n", "S@h@@"},
    {"?   V\r\n", "PCU VER 2.10 SIM"},
};

class FrontPanelWindow : public AppFixture {
protected:
    // Answers every command written so far that expects a reply, in order.
    void answer()
    {
        for (; answered < last->writes.size(); ++answered) {
            const std::string& cmd = last->writes[answered];
            if (cmd == "C" || cmd == "D")
                continue;
            auto it = replies.find(cmd);
            std::string reply;
            if (it != replies.end())
                reply = it->second;
            else if (cmd.size() >= 2 && cmd[0] == 'm')
                reply = std::string("m") + cmd[1] + (cmd.substr(2, 3) == "999" ? "065" : cmd.substr(2, 3));
            else
                reply = cmd.substr(0, cmd.find('\r'));
            last->receive(reply + "\r");
        }
    }
    // Lets time pass in pacing ticks, answering as the ACU would.
    void run(int ms)
    {
        for (int t = 0; t < ms; t += 50) {
            clock.advance(Ms{50});
            answer();
        }
    }
    void click(const char* key) { find<QPushButton>(key)->click(); }
    bool lit(int lamp) const
    {
        return find<QWidget>(("Shape1_" + std::to_string(lamp)).c_str())->property("lit").toBool();
    }
    size_t answered = 0;
    std::map<std::string, std::string> replies = kReplies;
};

} // namespace

TEST_F(FrontPanelWindow, AntennaScreenShowsLiveValuesAndLampsFollowTheStatusWords)
{
    start();
    run(8000);
    EXPECT_TRUE(line(0).startsWith("AZ  ")) << line(0).toStdString();
    EXPECT_TRUE(line(0).contains("177.7")) << line(0).toStdString();
    EXPECT_TRUE(line(1).startsWith("EL  ")) << line(1).toStdString();
    EXPECT_TRUE(line(1).contains("40.0")) << line(1).toStdString();
    EXPECT_TRUE(line(2).startsWith("REL ")) << line(2).toStdString();
    EXPECT_TRUE(line(3).startsWith("AGC ")) << line(3).toStdString();
    EXPECT_EQ(statusPanel(2), "Status: Port Open");
    EXPECT_TRUE(lit(2)) << "both axes on target";
    EXPECT_FALSE(lit(1)) << "not searching";
    EXPECT_TRUE(lit(0)) << "tracking with the signal above the threshold";
    EXPECT_FALSE(lit(4)) << "no error bits";
    EXPECT_TRUE(lit(7)) << "port open, replies good";
    EXPECT_EQ(find<QLabel>("Label1_3")->text(), "       Initializing");
    EXPECT_EQ(find<QLineEdit>("txtEAgc")->text().trimmed().toStdString().empty(), false);
}

TEST_F(FrontPanelWindow, FamilyKeysShowTheirTitlesAndPollTheirSequences)
{
    start();
    run(2500);
    const struct {
        const char* key;
        const char* title;
        const char* poll;
    } keys[] = {
        {"cmdSHIP", "SHIP ", "SPH@SPHqSPHuSPH!?   S%"},
        {"cmdSAT", "SATELLITE", "SPHqSPHuSPH!mh999SPH!mi999SPH!mj999SPH!?   S%"},
        {"cmdMODE", "MODE", "!mI999!mN999!mP999SPHu"},
        {"cmdANT", "ANTENNA ", "SPHuSPHqSPH@SPH!?   S%SPH!mN999"},
    };
    for (const auto& k : keys) {
        click(k.key);
        EXPECT_EQ(line(0), k.title) << k.key;
        EXPECT_EQ(win->state().poll, k.poll) << k.key;
        // Polling pauses for the screen change, then resumes with the new sequence.
        const size_t before = last->writes.size();
        clock.advance(Ms{799});
        EXPECT_EQ(last->writes.size(), before) << k.key;
        run(250);
        ASSERT_GT(last->writes.size(), before) << k.key;
        const std::string poll = k.poll;
        const std::string first = poll[0] == '!' ? poll.substr(1, 5) + "\r\n" : poll.substr(0, 1);
        EXPECT_EQ(last->writes[before], first) << k.key;
        answer();
    }
}

TEST_F(FrontPanelWindow, ValueTypedOnTheAzimuthItemGoesOutAsASetCommand)
{
    start();
    run(2500);
    click("cmdANT"); // 64 -> 65, the azimuth item
    EXPECT_EQ(win->state().displayState, 65);
    auto* line0 = find<QLineEdit>("Text5_0");
    QTest::keyClicks(line0, "123.4");
    QTest::keyClick(line0, Qt::Key_Return);
    EXPECT_EQ(win->shared().typed, "A1234\r\n");
    run(1500);
    bool sent = false;
    for (const auto& w : last->writes)
        sent = sent || w == "A1234\r\n";
    EXPECT_TRUE(sent);
}

TEST_F(FrontPanelWindow, ErrorStatusMenuTicksTheErrorBitsAndResetsThem)
{
    start();
    run(2500);
    // Status replies with the Gyro Read error bit and no fourth character.
    replies["S"] = "S@@A";
    run(1000);
    win->findChild<QAction*>("mnuShowE")->trigger();
    QMenu* menu = win->popup("mnuDispE");
    ASSERT_NE(menu, nullptr);
    QStringList ticked;
    QAction* reset = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->isChecked())
            ticked << a->text();
        if (a->text() == "Reset Error Bits")
            reset = a;
    }
    menu->hide();
    EXPECT_EQ(ticked, QStringList{"Gyro Read"});
    EXPECT_TRUE(lit(4));
    ASSERT_NE(reset, nullptr);
    reset->trigger();
    EXPECT_EQ(win->shared().typed, "&    \r\n?   S\r\n");
}

TEST_F(FrontPanelWindow, ModeShortcutMenuJumpsToTheChosenScreen)
{
    start();
    run(2500);
    auto* mode = find<QPushButton>("cmdMODE");
    Q_EMIT mode->customContextMenuRequested(QPoint(5, 5));
    QMenu* menu = win->popup("mnuModeDisplay");
    ASSERT_NE(menu, nullptr);
    QAction* elTrim = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == "El Trim")
            elTrim = a;
    menu->hide();
    ASSERT_NE(elTrim, nullptr);
    elTrim->trigger();
    EXPECT_EQ(win->state().displayState, 133);
    EXPECT_EQ(line(0), "SETUP");
}

TEST_F(FrontPanelWindow, SystemTypeEntriesToggleTheirBitAndQueueTheValue)
{
    common::SettingsStore::atPath("multTAVRemote", storePath).save("Properties", "Enabled2", "True");
    start();
    run(8000); // the ANTENNA poll reads System Type (65: bits 1 and 64)
    auto* sat = win->findChild<QAction*>("mnuSysT0");
    ASSERT_NE(sat, nullptr);
    EXPECT_TRUE(sat->isChecked());
    EXPECT_TRUE(win->findChild<QAction*>("mnuSysT6")->isChecked());
    EXPECT_FALSE(win->findChild<QAction*>("mnuSysT1")->isChecked());
    win->findChild<QAction*>("mnuSysT1")->trigger();
    EXPECT_EQ(win->shared().typed, "mN067\r\n");

    // Another antenna: its controller's System Type is not known until its own poll reads it.
    auto* menu = find<QMenu>("mnuSysT");
    EXPECT_TRUE(menu->isEnabled());
    find<QRadioButton>("optAntenna_1")->click(); // OK to the question
    ASSERT_EQ(win->shared().profiles.select, 2);
    EXPECT_FALSE(menu->isEnabled());
    answered = 0;
    run(8000);
    EXPECT_TRUE(menu->isEnabled());
}

TEST_F(FrontPanelWindow, IndicatorLabelsWaitForTheStartUpTickThenAct)
{
    start();
    // Before the first start-up tick (1500 ms) a click on Circlex waits for it, then queues.
    EXPECT_TRUE(win->state().timer1Tag.empty());
    QTest::mouseClick(find<QLabel>("Label1_7"), Qt::LeftButton);
    EXPECT_FALSE(win->state().timer1Tag.empty());
    EXPECT_GE(clock.now(), Ms{1500});
    EXPECT_EQ(win->shared().typed, "^0067\r\n");
}

TEST_F(FrontPanelWindow, TrackingKeyQueuesTheOppositeOfTheReportedState)
{
    start();
    run(8000); // status replies report tracking on
    click("cmdTrack");
    EXPECT_EQ(win->shared().typed, "D");
}
