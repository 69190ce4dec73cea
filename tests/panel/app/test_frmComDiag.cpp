// The "Comm Diagnostics" window's wiring: its controls reach the logic and show its state.
// What the logic sends is tested in tests/panel/tools.
#include "panel/app/frmComDiag.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class ComDiagWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = std::make_unique<frmComDiag>(shared, main, clock);
        win->openHelp = [this](const QString& page) { helpPages.push_back(page); };
        win->show();
    }
    template <class T> T* find(const char* name) const
    {
        T* w = win->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QPushButton* button(int index) const
    {
        return find<QPushButton>(("cmdRepeat_" + std::to_string(index)).c_str());
    }

    common::VirtualClock clock;
    panel::PanelShared shared;
    panel::MainState main;
    std::unique_ptr<frmComDiag> win;
    QStringList helpPages;
};

TEST_F(ComDiagWindowTest, ControlsCarryTheirCaptionsAndTips)
{
    EXPECT_EQ(win->windowTitle(), "Comm Diagnostics");
    for (const auto& b : panel::kDiagButtons) {
        SCOPED_TRACE(b.index);
        QPushButton* w = button(b.index);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->text(), QString::fromLatin1(b.caption));
        EXPECT_EQ(w->toolTip(), QString::fromLatin1(b.tip));
    }
    EXPECT_EQ(win->findChild<QPushButton*>("cmdRepeat_7"), nullptr) << "the array has no index 7";
    EXPECT_EQ(find<QLineEdit>("Text1")->toolTip(), "Displays last M&C command sent");
    EXPECT_EQ(find<QLineEdit>("Text3")->toolTip(), "Displays ACU response to \"Last Sent\" command");
    EXPECT_EQ(find<QCheckBox>("chkSTOP")->text(), " Stop");
    QMenu* acu = win->popup("mnuACU_Aux");
    ASSERT_NE(acu, nullptr);
    EXPECT_EQ(acu->actions().size(), 17);
    EXPECT_EQ(acu->findChild<QAction*>("mnuACU_Err")->text(), "Reset ACU Error Status ");
}

TEST_F(ComDiagWindowTest, ButtonMenuAndEntryBoxReachTheOneShotCommand)
{
    QTest::mouseClick(button(4), Qt::LeftButton);
    EXPECT_EQ(shared.oneShot, "^0067\r\n");
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), "^0067");

    win->popup("mnuPCU_Aux")->findChild<QAction*>("mnuPCU_Ver")->trigger();
    EXPECT_EQ(shared.oneShot, "?   V\r\n");

    auto* text2 = find<QLineEdit>("Text2");
    text2->setFocus();
    QTest::keyClicks(text2, "?S");
    win->showResponse("SHx@@L2550 Ac"); // a reply meanwhile leaves the typing alone
    EXPECT_EQ(text2->text(), "?S");
    QTest::keyClick(text2, Qt::Key_Return);
    EXPECT_EQ(shared.oneShot, "?   S\r\n");
    EXPECT_EQ(text2->text(), "");
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), "?   S");
    EXPECT_EQ(find<QLineEdit>("Text3")->text(), "");
}

TEST_F(ComDiagWindowTest, RightClickOnPcuStatusChecksTheDecodedFlags)
{
    win->showResponse("S\x60hA@");
    QTest::mouseClick(button(1), Qt::RightButton);
    QMenu* menu = win->popup("mnuPStat");
    ASSERT_NE(menu, nullptr);
    QStringList checked;
    for (QAction* a : menu->actions())
        if (a->isChecked())
            checked << a->text();
    EXPECT_EQ(checked, (QStringList{"Slow Scan", "AZ Target", "Valid Heading (PCU)", "CL Servo Limit"}));
    EXPECT_TRUE(menu->isVisible());
    menu->close();
    EXPECT_EQ(shared.oneShot, "") << "the right button sends nothing";
}

TEST_F(ComDiagWindowTest, StopHeightTestCaptionsHelpAndClose)
{
    QTest::mouseClick(find<QCheckBox>("chkSTOP"), Qt::LeftButton);
    EXPECT_TRUE(shared.diagStop);
    shared.diagStop = false; // a graph mode change
    win->refresh();
    EXPECT_FALSE(find<QCheckBox>("chkSTOP")->isChecked());

    const int tall = win->height();
    QTest::mouseClick(find<QToolButton>("Command1"), Qt::LeftButton);
    EXPECT_LT(win->height(), tall);
    EXPECT_TRUE(win->findChild<QWidget*>("fraCommon")->isHidden());
    QTest::mouseClick(find<QToolButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(win->height(), tall);

    QTest::mouseClick(button(8), Qt::LeftButton);
    EXPECT_EQ(button(8)->text(), "Stop");
    EXPECT_FALSE(button(9)->isEnabled());

    QTest::keyClick(win.get(), Qt::Key_F1);
    EXPECT_EQ(helpPages, QStringList{"comm_diagonistics.html"});

    shared.diagStop = true;
    QSignalSpy closed(win.get(), &frmComDiag::closed);
    win->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(shared.diagStop);
    EXPECT_EQ(button(8)->text(), "CL Test") << "closing aborts the test";
}

} // namespace
