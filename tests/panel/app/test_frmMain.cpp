#include "AppFixture.h"

#include <QStatusBar>
#include <QAction>
#include <QTest>

using namespace guitest;
using common::Ms;

namespace {
using Answer = panel::PanelUi::Answer;
}

TEST_F(AppFixture, FreshStartOpensAntennaOneAndShowsTheAntennaScreen)
{
    start();
    EXPECT_EQ(line(0), "ANTENNA ");
    EXPECT_EQ(statusPanel(2), "Status: Port Open");
    EXPECT_TRUE(statusPanel(1).startsWith("Settings: Com1: 9600,N,8,1"));
    auto* a0 = find<QRadioButton>("optAntenna_0");
    EXPECT_TRUE(a0->isChecked());
    EXPECT_EQ(a0->text(), "Antenna 1");
    EXPECT_TRUE(a0->isEnabled());
    for (const char* n : {"optAntenna_1", "optAntenna_2", "optAntenna_3"})
        EXPECT_FALSE(find<QRadioButton>(n)->isEnabled()) << n;
    EXPECT_TRUE(win->findChild<QAction*>("mnuOpen")->isChecked());
    EXPECT_TRUE(win->findChild<QAction*>("mnuTime_2")->isChecked());  // 3000 ms
    EXPECT_TRUE(win->findChild<QAction*>("mnuPace_2")->isChecked());  // 200 ms
    EXPECT_TRUE(win->findChild<QAction*>("mnuDVB")->isChecked());
    // Status panel 3 is hidden until "Show Query in Status Bar" is ticked.
    EXPECT_FALSE(find<QLabel>("StatusBar1_Panel3")->isVisibleTo(win->statusBar()));
    EXPECT_TRUE(shown.empty());
}

TEST_F(AppFixture, PollingStartsAfterTheStartUpDelayAndTheLampFollowsReplies)
{
    start();
    auto* lamp = find<QWidget>("Shape1_7");
    clock.advance(Ms{1699});
    EXPECT_TRUE(last->writes.empty());
    clock.advance(Ms{1});
    ASSERT_EQ(last->writes.size(), 1u);
    EXPECT_EQ(last->writes[0], "S");
    // Dark between replies (the cycle mark is on after the start-up tick), lit green by a reply.
    EXPECT_FALSE(lamp->property("lit").toBool());
    last->receive("S@@@@L0600\r");
    EXPECT_TRUE(lamp->property("lit").toBool());
    EXPECT_EQ(lamp->property("fillColor").toString(), "#00ff00");
}

TEST_F(AppFixture, PortStatusLabelClosesAndReopensTheLink)
{
    start();
    QTest::mouseClick(find<QLabel>("Label1_5"), Qt::LeftButton);
    EXPECT_EQ(statusPanel(2), "Status: Port Closed");
    EXPECT_EQ(line(0), "Check Comm Port");
    EXPECT_FALSE(find<QWidget>("Shape1_7")->property("lit").toBool());
    EXPECT_FALSE(win->findChild<QAction*>("mnuOpen")->isChecked());
    QTest::mouseClick(find<QLabel>("Label1_5"), Qt::LeftButton);
    EXPECT_EQ(statusPanel(2), "Status: Port Open");
    EXPECT_EQ(line(0), "ANTENNA ");
}

TEST_F(AppFixture, ChoosingTheActiveAntennaAgainAsksAndReopens)
{
    start();
    journal.events.clear();
    find<QRadioButton>("optAntenna_0")->click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Close Port for Antenna 1\rand\rOpen Port for Antenna 1?");
    EXPECT_EQ(journal.events, (std::vector<std::string>{"close", "open"}));
    EXPECT_EQ(stored("Select"), "1");
    EXPECT_EQ(statusPanel(2), "Status: Port Open");
}

TEST_F(AppFixture, CancelledAntennaChoiceReselectsThePreviousButtonWithoutAskingAgain)
{
    {
        auto s = common::SettingsStore::atPath("multTAVRemote", storePath);
        s.save("Properties", "Enabled2", "True");
    }
    start();
    journal.events.clear();
    answers.push_back(Answer::Cancel);
    find<QRadioButton>("optAntenna_1")->click();
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(find<QRadioButton>("optAntenna_0")->isChecked());
    EXPECT_FALSE(find<QRadioButton>("optAntenna_1")->isChecked());
    EXPECT_TRUE(journal.events.empty());
    EXPECT_EQ(stored("Select"), "<absent>");
    // The next click is not swallowed.
    find<QRadioButton>("optAntenna_1")->click();
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(stored("Select"), "2");
}

TEST_F(AppFixture, CloseSavesQueryAndModeButExitDoesNot)
{
    start();
    win->findChild<QAction*>("mnuQuery")->trigger();
    win->findChild<QAction*>("mnu70M")->trigger();
    EXPECT_TRUE(find<QLabel>("StatusBar1_Panel3")->isVisibleTo(win->statusBar())); // the bar shows with the graph
    EXPECT_FALSE(win->findChild<QAction*>("mnuDVB")->isChecked());
    win->findChild<QAction*>("mnuExit")->trigger();
    EXPECT_EQ(stored("Query"), "<absent>");
    EXPECT_EQ(stored("Mode"), "<absent>");

    win.reset();
    start();
    win->findChild<QAction*>("mnuQuery")->trigger();
    win->findChild<QAction*>("mnu70M")->trigger();
    win->close();
    EXPECT_EQ(stored("Query"), "True");
    EXPECT_EQ(stored("Mode"), "70MHz");

    // The next start comes up in the saved receiver mode with the query panel shown.
    win.reset();
    start();
    EXPECT_TRUE(win->findChild<QAction*>("mnu70M")->isChecked());
    EXPECT_TRUE(find<QLabel>("StatusBar1_Panel3")->isVisibleTo(win->statusBar())); // the bar shows with the graph
}

TEST_F(AppFixture, TimeoutAndPacingMenusTickOneEntry)
{
    start();
    win->findChild<QAction*>("mnuTime_0")->trigger();
    win->findChild<QAction*>("mnuPace_0")->trigger();
    EXPECT_TRUE(win->findChild<QAction*>("mnuTime_0")->isChecked());
    EXPECT_FALSE(win->findChild<QAction*>("mnuTime_2")->isChecked());
    EXPECT_TRUE(win->findChild<QAction*>("mnuPace_0")->isChecked());
    EXPECT_FALSE(win->findChild<QAction*>("mnuPace_2")->isChecked());
    EXPECT_EQ(win->link().timer2().interval(), Ms{1000});
    EXPECT_EQ(win->link().timer3().interval(), Ms{50});
}

TEST_F(AppFixture, SerialOpenFailureShowsThePlatformTextAndLeavesTheLinkClosed)
{
    shown.clear();
    win.reset();
    {
        auto s = common::SettingsStore::atPath("multTAVRemote", storePath);
        s.save("Devices", "Com1", "/dev/does-not-exist");
    }
    // A real serial link on a missing device: the message carries the device path.
    store = std::make_unique<common::SettingsStore>(common::SettingsStore::atPath("multTAVRemote", storePath));
    win = std::make_unique<frmMain>(clock, *store, [this](const panel::PanelShared& s) {
        const auto& p = s.profiles[s.profiles.select];
        return std::make_unique<common::SerialLink>(common::serialDevicePath(p.commPort, store.get()), p.settings);
    });
    win->messageHook = [this](const std::string& text, const std::string& title, panel::PanelUi::Buttons,
                              panel::PanelUi::Icon) {
        shown.push_back({text, title});
        return Answer::Ok;
    };
    win->Form_Load();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("/dev/does-not-exist"), std::string::npos) << shown[0].text;
    EXPECT_EQ(statusPanel(2), "Status: Port Closed");
    EXPECT_EQ(line(0), "Check Comm Port");
    EXPECT_NE(statusPanel(1).toStdString().find("/dev/does-not-exist"), std::string::npos);
}
