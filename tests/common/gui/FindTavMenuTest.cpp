// velmar's Tools menu entry for the "Find TAVs" window: shown non-modally, ticked while open,
// one window at a time, and "Configure Port" opening CommPort Properties.
#include "panel/app/AppFixture.h"

#include "common/gui/frmFindTAV.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QTest>

using guitest::AppFixture;

namespace {
void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
} // namespace

TEST_F(AppFixture, ToolsMenuShowsFindTavsTickedWhileOpen)
{
    start();
    win->findTavSetup.network = {"127.0.0.1", "127.0.0.1"};
    auto* tools = win->findChild<QMenu*>("mnuTools");
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->title(), "&Tools");
    auto* entry = win->findChild<QAction*>("mnuFindTav");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(tools->actions().contains(entry));
    EXPECT_EQ(entry->text(), "Find Local and Remote TAVs (UDP Broadcast)");
    EXPECT_FALSE(entry->isChecked());

    // Opened twice: one window, still ticked, not modal.
    for (int i = 0; i < 2; ++i) {
        entry->trigger();
        EXPECT_TRUE(entry->isChecked()) << i;
    }
    const auto windows = win->findChildren<frmFindTAV*>();
    ASSERT_EQ(windows.size(), 1);
    frmFindTAV* f = windows[0];
    EXPECT_EQ(win->findTav(), f);
    EXPECT_TRUE(f->isVisible());
    EXPECT_FALSE(f->isModal());
    EXPECT_TRUE(f->isWindow());
    EXPECT_EQ(f->discovery().network().broadcast, "127.0.0.1");

    // "Configure Port" opens CommPort Properties modally; close it as soon as it shows.
    QString shownModal;
    QTimer::singleShot(0, [&] {
        if (QWidget* m = QApplication::activeModalWidget()) {
            shownModal = m->windowTitle();
            m->close();
        }
    });
    QTest::mouseClick(f->findChild<QPushButton*>("cndUseIP"), Qt::LeftButton);
    EXPECT_EQ(shownModal, "CommPort Properties");

    // Closed: unticked; opened again: a new window.
    f->findChild<QPushButton*>("cmdExit_1")->click();
    settle();
    EXPECT_FALSE(entry->isChecked());
    EXPECT_EQ(win->findTav(), nullptr);
    entry->trigger();
    EXPECT_TRUE(entry->isChecked());
    ASSERT_NE(win->findTav(), nullptr);
    EXPECT_TRUE(win->findTav()->isVisible());
}
