// The parameter dumps from the window: where the entries stand and when they are enabled, the
// save dialog they open, the "Please Wait" window while a dump runs and its Cancel.
#include "KorrinFixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>

using namespace korrintest;

namespace {

class DumpWindowTest : public KorrinFixture {};

TEST_F(DumpWindowTest, TheEntriesStandInTheToolsMenuAndThePcuOnesFollowThePath)
{
    storeBefore({{"Direct", "TAV8a"}});
    start();
    auto* tools = win->menuBar()->findChild<QMenu*>("mnuTools");
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->actions().value(0), action("mnuParamDumpAll"));
    EXPECT_EQ(tools->actions().value(1), action("mnuParamDumpLeg"));
    EXPECT_EQ(action("mnuParamDumpAll")->text(), "Parameter Dump 68x0    ([?APCF)");
    EXPECT_EQ(action("mnuParamDumpLeg")->text(), "Parameter Dump (mA999, nA999, [?)");
    QMenu* pcu = nullptr;
    for (QAction* a : tools->actions())
        if (a->menu() && a->menu()->title() == "PCU Tools")
            pcu = a->menu();
    ASSERT_NE(pcu, nullptr);
    EXPECT_TRUE(pcu->actions().contains(action("mnuPCUParamDump")));
    EXPECT_TRUE(pcu->actions().contains(action("mnuPCUListing")));
    EXPECT_EQ(action("mnuPCUParamDump")->text(), "PCU Param Dump        (nA999 )");
    EXPECT_EQ(action("mnuPCUListing")->text(), "PCU Param Dump        ([?P      )");
    EXPECT_TRUE(action("mnuPCUParamDump")->isEnabled());

    // Straight to the PCU: its own entries go with "ACU Param Dump"; the full dumps stay.
    action("mnuSPG2pcu")->trigger();
    EXPECT_FALSE(action("mnuPCUParamDump")->isEnabled());
    EXPECT_FALSE(action("mnuPCUListing")->isEnabled());
    EXPECT_TRUE(action("mnuParamDumpAll")->isEnabled());

    action("mnuTAV8a")->trigger();
    sent();
    action("mnuPCUListing")->trigger();
    EXPECT_EQ(sent(), "\x1b[?P  \r\n");
}

TEST_F(DumpWindowTest, PleaseWaitShowsWhileTheDumpRunsAndItsCancelStopsIt)
{
    start(); // a link that never answers: every query waits its 2 s
    const std::string path = dir + "/param_All.txt";
    files = {path};
    sent();

    struct Seen {
        bool shown = false, modal = true, onTop = false, entryEnabled = true, clicked = false, forced = false;
        QString title, text;
        int maximum = 0;
        QPoint at;
    } seen;
    clock.pump = [&] {
        QWidget* w = win->dumpWindow();
        if (seen.clicked || !w || !w->isVisible())
            return;
        seen.shown = true;
        seen.title = w->windowTitle();
        seen.text = w->findChild<QLabel*>("lblPleaseWait")->text();
        seen.maximum = w->findChild<QProgressBar*>("ProgressBar1")->maximum();
        seen.at = w->pos();
        seen.modal = w->isModal();
        seen.onTop = w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        seen.entryEnabled = action("mnuParamDumpAll")->isEnabled();
        seen.clicked = true;
        w->findChild<QPushButton*>("cmdDumpCancel")->click();
    };
    // A bound of its own, should Cancel fail to stop the dump.
    auto guard = clock.createTimer();
    guard->setInterval(Ms{600000});
    guard->onTick = [&] {
        seen.forced = true;
        win->paramDump().cancel();
    };
    guard->setEnabled(true);
    action("mnuParamDumpAll")->trigger();
    clock.pump = nullptr;
    guard->setEnabled(false);

    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].title, "Parameter DumpALL Text File");
    EXPECT_FALSE(seen.forced);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, "Please Wait");
    EXPECT_EQ(seen.text, "Reading TAV parameters");
    EXPECT_EQ(seen.maximum, 87);
    EXPECT_EQ(seen.at, win->geometry().topLeft() + QPoint(win->twips(50), win->twips(50)));
    EXPECT_FALSE(seen.modal);
    EXPECT_TRUE(seen.onTop);
    EXPECT_FALSE(seen.entryEnabled); // one long sequence at a time
    EXPECT_EQ(sent(), "V\r\n");      // Cancel came during the first wait
    EXPECT_EQ(slurp(path), "\r\n'Parameter Dump Canceled\r\n");
    EXPECT_NE(screen().indexOf("'Parameter Dump Canceled"), -1);
    EXPECT_FALSE(win->dumpWindow()->isVisible());
    EXPECT_TRUE(action("mnuParamDumpAll")->isEnabled());
}

} // namespace
