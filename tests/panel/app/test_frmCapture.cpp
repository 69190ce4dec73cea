// The "Capture" window's wiring: each button runs its hook, the two button sets, F1 and the
// place beside the main window. What the commands do is tested with their logic.
#include "panel/app/frmCapture.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

class CaptureWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = std::make_unique<frmCapture>();
        win->onSaveData = [this] { ++runs["cmdSaveData"]; };
        win->onPrint = [this] { ++runs["cmdPrint"]; };
        win->onLog = [this] { ++runs["cmdLog"]; };
        win->onUnloadDataLog = [this] { ++runs["cmdUnloadDataLog"]; };
        win->onLoadDataLog = [this] { ++runs["cmdLoadDataLog"]; };
        win->openHelp = [this](const QString& page) { help.push_back(page); };
        win->show();
    }
    QPushButton* button(const char* name) const
    {
        auto* b = win->findChild<QPushButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    // The buttons shown, by name.
    std::vector<std::string> shown() const
    {
        std::vector<std::string> out;
        for (const char* n : {"cmdSaveData", "cmdPrint", "cmdLog", "cmdLoadDataLog", "cmdUnloadDataLog"})
            if (!button(n)->isHidden())
                out.push_back(n);
        return out;
    }

    std::unique_ptr<frmCapture> win;
    std::map<std::string, int> runs;
    QStringList help;
};

TEST_F(CaptureWindowTest, EachButtonRunsItsCommand)
{
    EXPECT_EQ(win->objectName(), "frmCapture");
    EXPECT_EQ(win->windowTitle(), "Capture");
    const std::map<std::string, QString> captions = {
        {"cmdSaveData", "Save Screen Data"}, {"cmdPrint", "Print Screen"},        {"cmdLog", "Start Data Log"},
        {"cmdUnloadDataLog", "Unload Data Log"}, {"cmdLoadDataLog", "Load Data Log"},
    };
    win->showLoaded(true);  // every button shown once over the two sets
    win->showLoaded(false);
    for (const auto& [name, caption] : captions) {
        SCOPED_TRACE(name);
        QPushButton* b = button(name.c_str());
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), caption);
        b->setVisible(true);
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_EQ(runs[name], 1);
    }
    EXPECT_EQ(runs.size(), 5u);
}

TEST_F(CaptureWindowTest, LoadedAndUnloadedButtonSetsAndTheLogCaption)
{
    const std::vector<std::string> unloaded{"cmdSaveData", "cmdPrint", "cmdLog", "cmdLoadDataLog"};
    EXPECT_EQ(shown(), unloaded);
    win->showLoaded(true);
    EXPECT_EQ(shown(), (std::vector<std::string>{"cmdPrint", "cmdUnloadDataLog"}));
    win->showLoaded(false);
    EXPECT_EQ(shown(), unloaded);
    win->setLogCaption("Close Data Log");
    EXPECT_EQ(button("cmdLog")->text(), "Close Data Log");
}

TEST_F(CaptureWindowTest, F1OpensItsHelpPage)
{
    button("cmdPrint")->setFocus();
    QTest::keyClick(button("cmdPrint"), Qt::Key_F1);
    EXPECT_EQ(help, QStringList{"capture.html"});
    EXPECT_TRUE(runs.empty());
}

TEST(CaptureWindowPlace, LowerRightCornerOfTheMainWindow)
{
    // At 96 dots per inch: 150 twips are 10 pixels, 50 twips 3.
    EXPECT_EQ(frmCapture::cornerPosition(QRect(100, 50, 800, 600), QSize(200, 150)), QPoint(100 + 800 - 200 - 3, 50 + 600 - 150 - 10));
}

} // namespace
