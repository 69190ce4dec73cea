// The main window's graph, file and tool entries reach their logic and show what it says
// (the rules themselves are tested with the logic).
#include "AppFixture.h"

#include "panel/app/frmComDiag.h"
#include "panel/app/frmLOS.h"
#include "panel/app/frmMsg.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <fstream>

namespace guitest {

TEST_F(AppFixture, GraphMenuShowsTheGraphAndTheSelectorsFollowTheMode)
{
    start();
    auto* area = find<QWidget>("fraGraph");
    EXPECT_FALSE(area->isVisibleTo(win.get())) << "collapsed at start";
    action(win.get(), "mnuDIvc")->trigger();
    EXPECT_TRUE(area->isVisibleTo(win.get()));
    EXPECT_TRUE(action(win.get(), "mnuDIvc")->isChecked());
    EXPECT_FALSE(action(win.get(), "mnuPanel")->isChecked());
    EXPECT_EQ(find<QComboBox>("Combo1_4")->currentText(), "DispIVC (LoopError)");
    EXPECT_EQ(find<QLabel>("Label2_1")->text(), "0.05 Deg /Div");
    EXPECT_FALSE(find<QComboBox>("Combo1_3")->isVisibleTo(win.get()));
    EXPECT_EQ(win->state().poll.substr(0, 6), "!?   x");

    // A selector chosen in the window runs its click: ADMC, then "REL/10" on trace 3.
    auto* mode = find<QComboBox>("Combo1_4");
    mode->setCurrentIndex(0);
    emit mode->activated(0);
    auto* trace3 = find<QComboBox>("Combo1_2");
    const int rel10 = trace3->findText("REL/10");
    ASSERT_GE(rel10, 0);
    trace3->setCurrentIndex(rel10);
    emit trace3->activated(rel10);
    EXPECT_EQ(find<QLabel>("Label2_3")->text(), "10 Deg / Div");

    // The expand button collapses the graph again.
    find<QToolButton>("cmdGRAPH")->click();
    EXPECT_FALSE(area->isVisibleTo(win.get()));
    EXPECT_TRUE(action(win.get(), "mnuPanel")->isChecked());
    EXPECT_EQ(find<QToolButton>("cmdGRAPH")->toolTip(), "Expand Graph");
}

TEST_F(AppFixture, CenterAllAndItsRightClickUndo)
{
    start();
    action(win.get(), "mnuDV")->trigger();
    auto* offset = find<QPushButton>("cmdOffset");
    win->graph().in.stream = {5, 6, 7, 0};
    win->graph().Pgraph();
    offset->click();
    EXPECT_EQ(win->graph().baseline(2), 7);
    QTest::mouseClick(offset, Qt::RightButton);
    EXPECT_EQ(win->graph().baseline(2), 0) << "the right button's release undoes";
}

TEST_F(AppFixture, DataLogMenuOpensTheFileAndTheCaptionsFollow)
{
    start();
    clock.advance(common::Ms{2000});
    const std::string path = dir + "/log.csv";
    win->saveDialogHook = [&](const std::string& filter, const std::string&) -> std::optional<std::string> {
        EXPECT_EQ(filter, "Data (*.csv) |*.csv|Text (*.txt, *.prn) |*.txt;*.prn|All files (*.*)|*.*");
        return path;
    };
    find<QLineEdit>("txtNotes")->setText("pitch test");
    auto* log = action(win.get(), "mnuLog");
    EXPECT_EQ(log->text(), "Start Data &Log");
    log->trigger();
    EXPECT_EQ(log->text(), "Close Data Log");
    EXPECT_EQ(win->windowTitle().toStdString(), "TAV Remote Panel - Log " + path);
    std::ifstream in(path);
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "Time,El,Az,CL,Rel,Hdd,AGC,LAT,LON,ExtAGC,Stat123 RL,pitch test,Velmar ADMC (Antenna Position) Log File\r");
}

TEST_F(AppFixture, ParameterDumpShowsItsProgressWindowAndCancelEndsIt)
{
    start();
    clock.advance(common::Ms{2000});
    win->saveDialogHook = [&](const std::string&, const std::string& name) -> std::optional<std::string> {
        EXPECT_EQ(name, "param_Leg.txt");
        return dir + "/param_Leg.txt";
    };
    action(win.get(), "mnuParamDump")->trigger();
    ASSERT_TRUE(win->paramDump().running());
    auto* msg = win->progressWindow();
    ASSERT_NE(msg, nullptr);
    EXPECT_TRUE(msg->isVisible());
    EXPECT_EQ(msg->findChild<QLabel*>("lblMsg")->text(), "Reading TAV Parameters");
    msg->findChild<QPushButton*>("cmdCancel")->click();
    // The reply awaited is written, then the cancel line: a reply ends the dump.
    for (int i = 0; i < 100 && win->paramDump().running(); ++i) {
        win->link().OnReceive("TAV ACU VER 7.12\r");
        clock.advance(common::Ms{100});
    }
    EXPECT_FALSE(win->paramDump().running());
    EXPECT_FALSE(msg->isVisible());
}

TEST_F(AppFixture, DiagnosticsOpenAtStartAndTheMenuTickFollowsTheWindow)
{
    start();
    auto* diag = win->comDiag();
    ASSERT_NE(diag, nullptr);
    EXPECT_TRUE(diag->isVisible());
    auto* entry = action(win.get(), "mnuDiag");
    EXPECT_TRUE(entry->isChecked());
    diag->close();
    EXPECT_FALSE(entry->isChecked());
    entry->trigger();
    EXPECT_TRUE(diag->isVisible());
    EXPECT_TRUE(entry->isChecked());
    // The reply to its one-shot command reaches its Response box.
    win->diagnosticsReply("SHh@@");
    EXPECT_EQ(diag->findChild<QLineEdit*>("Text3")->text(), "SHh@@");
}

TEST_F(AppFixture, LineOfSightWindowCalculatesSendsAndUnticks)
{
    start();
    auto* entry = action(win.get(), "mnuLOS");
    entry->trigger();
    auto* los = win->los();
    ASSERT_NE(los, nullptr);
    EXPECT_TRUE(los->isVisible());
    EXPECT_TRUE(entry->isChecked());
    los->findChild<QPushButton*>("Command1")->click();
    EXPECT_EQ(los->findChild<QLineEdit*>("Text6")->text(), "0.00");
    EXPECT_EQ(los->findChild<QLineEdit*>("Text8")->text(), "1.00");
    EXPECT_EQ(los->findChild<QLineEdit*>("Text14")->text(), "Viewable");
    los->findChild<QPushButton*>("Command2")->click();
    EXPECT_EQ(win->shared().typed.substr(0, 7), "A0000\r\n");
    // A hemisphere box takes the typed letter as its hemisphere.
    auto* ns = los->findChild<QLineEdit*>("Text2");
    QTest::keyClick(ns, Qt::Key_X);
    EXPECT_EQ(ns->text(), "S");
    los->findChild<QPushButton*>("Command3")->click();
    EXPECT_FALSE(los->isVisible());
    EXPECT_FALSE(entry->isChecked());
    EXPECT_EQ(los->findChild<QLineEdit*>("Text1")->text(), "38:01") << "values kept";
}

} // namespace guitest
