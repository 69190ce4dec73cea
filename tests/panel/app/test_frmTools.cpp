// The wiring of the Pattern Scan, N7 Parameter Tool and Burn-In windows: their controls reach
// the logic and show its state. What the logic does is tested in tests/panel/tools.
#include "panel/app/frmBurn.h"
#include "panel/app/frmN7.h"
#include "panel/app/frmScan.h"

#include "common/Clock.h"
#include "common/SettingsStore.h"
#include "panel/tools/PatternScan.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

template <class T> T* find(const QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

QString labelFor(const QWidget* w, const QWidget* buddy)
{
    for (auto* l : w->findChildren<QLabel*>())
        if (l->buddy() == buddy)
            return l->text();
    return {};
}

void retype(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

// ---------------------------------------------------------------- Pattern Scan

class ScanWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        main.azimuth = 1800;
        main.elevation = 300;
        scan = std::make_unique<panel::PatternScan>(shared, main, clock);
        win = std::make_unique<frmScan>(*scan, store);
        win->openHelp = [this](const QString& page) { helpPages << page; };
        win->showMessage = [this](const QString& text) { messages << text; };
    }
    void TearDown() override
    {
        win.reset();
        scan.reset();
    }
    QLineEdit* box(const char* name) const { return find<QLineEdit>(win.get(), name); }

    common::VirtualClock clock;
    panel::PanelShared shared;
    panel::MainState main;
    common::SettingsStore store =
        common::SettingsStore::inMemory("multTAVRemote", "[Options]\nScan=1.5\nRate=400\nN8=12\n");
    std::unique_ptr<panel::PatternScan> scan;
    std::unique_ptr<frmScan> win;
    QStringList helpPages, messages;
};

TEST_F(ScanWindowTest, ControlsCarryTheirLabelsTextsAndTips)
{
    EXPECT_EQ(win->objectName(), "frmScan");
    EXPECT_EQ(win->windowTitle(), "Pattern Scan - Idle ");
    const struct {
        const char* name;
        const char* label;
        const char* text;
    } boxes[] = {
        {"txtScan", "Scan Rate ", "0.5"}, {"Text2", "Auto Stop Degrees", "10"}, {"txtRate", "Rate mS", "250"},
        {"txtN8", "N8", "8"},             {"Text3", "   Az", "180.0"},           {"Text4", "   El", "30.0"},
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.name);
        EXPECT_EQ(labelFor(win.get(), box(b.name)), b.label);
        EXPECT_EQ(box(b.name)->text(), b.text);
    }
    EXPECT_EQ(box("txtRate")->toolTip(), "Update Rate");
    auto* combo = find<QComboBox>(win.get(), "Combo1");
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(labelFor(win.get(), combo), "Scan Mode");
    EXPECT_EQ(combo->itemText(0), "A, E, I");
    EXPECT_EQ(combo->itemText(1), "i, j, k");
    EXPECT_EQ(combo->itemText(2), "ads, eds !");
    const char* tips[] = {"Elevation Up", "Azimuth Up", "Elevation Down", "Azimuth Down"};
    for (int d = 0; d < 4; ++d) {
        auto* b = find<QToolButton>(win.get(), QString("cmdDIR_%1").arg(d).toLatin1());
        EXPECT_EQ(b->toolTip(), tips[d]);
        EXPECT_FALSE(b->icon().isNull()) << d;
    }
    EXPECT_EQ(find<QPushButton>(win.get(), "cmdStopRst")->text(), "Stop/Reset");
    EXPECT_EQ(find<QPushButton>(win.get(), "cmdStopRst")->toolTip(), "Stop scan or Reset scan start point");
    EXPECT_EQ(find<QPushButton>(win.get(), "cmdExit")->toolTip(), "Close Dialog but keep entered values active");
}

TEST_F(ScanWindowTest, FirstShowLoadsTheOptionsAndTheAntennaPosition)
{
    main.azimuth = 900; // moved since the scan was made
    win->show();
    EXPECT_EQ(box("txtScan")->text(), "1.5");
    EXPECT_EQ(box("txtRate")->text(), "400");
    EXPECT_EQ(box("txtN8")->text(), "12");
    EXPECT_EQ(box("Text3")->text(), "90.0");
    win->hide();
    retype(box("txtScan"), "0.7");
    win->show();
    EXPECT_EQ(box("txtScan")->text(), "0.7") << "loaded once only";
}

TEST_F(ScanWindowTest, DirectionButtonStartsTheScanWithTheTypedValues)
{
    win->show();
    retype(box("txtScan"), "1");
    retype(box("Text2"), "5");
    retype(box("txtRate"), "200");
    auto* combo = find<QComboBox>(win.get(), "Combo1");
    combo->setCurrentIndex(1);
    QTest::mouseClick(find<QToolButton>(win.get(), "cmdDIR_1"), Qt::LeftButton);
    ASSERT_TRUE(scan->running());
    EXPECT_EQ(scan->direction(), panel::PatternScan::AzUp);
    EXPECT_EQ(scan->scanRate, 1.0);
    EXPECT_EQ(scan->stopDegrees, 5.0);
    EXPECT_EQ(scan->rateMs, 200);
    EXPECT_EQ(scan->n8, 12);
    EXPECT_EQ(scan->mode, panel::PatternScan::Mode::IJK);
    EXPECT_EQ(scan->step(), 36);
    EXPECT_EQ(win->windowTitle(), "Pattern Scan - Running");
    auto* stopRst = find<QPushButton>(win.get(), "cmdStopRst");
    EXPECT_EQ(stopRst->text(), "Stop");
    EXPECT_EQ(stopRst->toolTip(), "Stops scan, keeps target active");

    retype(box("txtScan"), "3"); // typing while it runs is left alone by the redraws
    clock.advance(200ms);
    EXPECT_EQ(box("Text3")->text(), "180.2");
    EXPECT_EQ(box("txtScan")->text(), "3");
    EXPECT_EQ(shared.typed.substr(0, 1), "k");

    QTest::mouseClick(stopRst, Qt::LeftButton);
    EXPECT_FALSE(scan->running());
    EXPECT_EQ(win->windowTitle(), "Pattern Scan - Stopped");
    EXPECT_EQ(stopRst->text(), "Reset");
    QTest::mouseClick(stopRst, Qt::LeftButton);
    EXPECT_EQ(win->windowTitle(), "Pattern Scan - Reset");
    EXPECT_EQ(box("Text3")->text(), "180.0");
}

TEST_F(ScanWindowTest, ABoxWithoutAValidValueSaysSoAndNothingStarts)
{
    win->show();
    for (const char* name : {"txtScan", "Text2", "txtRate", "txtN8"}) {
        SCOPED_TRACE(name);
        const QString before = box(name)->text();
        retype(box(name), "abc");
        messages.clear();
        QTest::mouseClick(find<QToolButton>(win.get(), "cmdDIR_0"), Qt::LeftButton);
        EXPECT_FALSE(scan->running());
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(labelFor(win.get(), box(name)).trimmed())) << messages[0].toStdString();
        retype(box(name), before);
    }
}

TEST_F(ScanWindowTest, TheArrowsSettingsShowInTheBoxes)
{
    win->show();
    scan->arrowPressed();
    EXPECT_EQ(box("txtScan")->text(), "0.1");
    EXPECT_EQ(box("Text2")->text(), "0.3");
    EXPECT_EQ(box("txtRate")->text(), "600");
}

TEST_F(ScanWindowTest, ExitAndCloseStopHideSaveTheOptionsAndReportClosed)
{
    win->show();
    QSignalSpy closed(win.get(), &frmScan::closed);
    QTest::mouseClick(find<QToolButton>(win.get(), "cmdDIR_0"), Qt::LeftButton);
    ASSERT_TRUE(scan->running());
    retype(box("txtScan"), "0.75");
    retype(box("txtN8"), "9");
    QTest::mouseClick(find<QPushButton>(win.get(), "cmdExit"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(win->isVisible());
    EXPECT_FALSE(scan->running());
    EXPECT_EQ(store.get("Options", "Scan", ""), "0.75");
    EXPECT_EQ(store.get("Options", "N8", ""), "9");
    EXPECT_EQ(store.get("Options", "Rate", ""), "400");

    win->show();
    retype(box("txtRate"), "350");
    win->close();
    EXPECT_EQ(closed.count(), 2);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(store.get("Options", "Rate", ""), "350");

    win->show();
    QTest::keyClick(win.get(), Qt::Key_F1);
    EXPECT_EQ(helpPages, QStringList{"pattern_scan.html"});
}

TEST_F(ScanWindowTest, TheScanOutlivesItsWindow)
{
    win->show();
    QTest::mouseClick(find<QToolButton>(win.get(), "cmdDIR_1"), Qt::LeftButton);
    win.reset();
    clock.advance(1s); // the scan's redraw hook finds no window and does nothing
    EXPECT_TRUE(scan->running());
}

// ---------------------------------------------------------------- N7 Parameter Tool

class N7WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = std::make_unique<frmN7>(shared);
        win->openHelp = [this](const QString& page) { helpPages << page; };
        win->showMessage = [this](const std::string& text) { messages.push_back(text); };
        win->show();
    }
    QRadioButton* option(int group, int index) const
    {
        return find<QRadioButton>(win.get(), QString("Option%1_%2").arg(group).arg(index).toLatin1());
    }
    QLineEdit* box(int n) const { return find<QLineEdit>(win.get(), QString("Text%1").arg(n).toLatin1()); }

    panel::PanelShared shared;
    std::unique_ptr<frmN7> win;
    QStringList helpPages;
    std::vector<std::string> messages;
};

TEST_F(N7WindowTest, OpensWithPhasePlus90AndItsControls)
{
    EXPECT_EQ(win->objectName(), "frmN7");
    EXPECT_EQ(win->windowTitle(), "Click Options to show n7 -or- Enter n7 to show Options");
    const char* frames[] = {"Phase", "CL Drive", "AZ Drive", "EL Drive"};
    for (int g = 1; g <= 4; ++g) {
        SCOPED_TRACE(g);
        EXPECT_EQ(find<QGroupBox>(win.get(), QString("Frame%1").arg(g).toLatin1())->title(), frames[g - 1]);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(option(g, i)->toolTip(), "Select option to encode n7");
        EXPECT_EQ(box(g + 1)->toolTip(), "Value of Selection Above");
    }
    EXPECT_EQ(option(1, 1)->text(), "  0 Deg");
    EXPECT_EQ(option(3, 3)->text(), "1/8");
    EXPECT_TRUE(option(1, 3)->isChecked());
    for (int g = 2; g <= 4; ++g)
        EXPECT_TRUE(option(g, 0)->isChecked());
    EXPECT_EQ(box(1)->text(), "192");
    EXPECT_EQ(box(1)->selectedText(), "192");
    EXPECT_EQ(box(2)->text(), "192");
    EXPECT_EQ(box(3)->text(), "0");
    EXPECT_EQ(labelFor(win.get(), box(1)), "n7 Parameter");
    EXPECT_EQ(box(1)->toolTip(), "Enter n7 value to Decode");
    EXPECT_EQ(find<QPushButton>(win.get(), "Command1")->text(), "Read");
    EXPECT_EQ(find<QPushButton>(win.get(), "Command2")->toolTip(), "Sends new N7 Parameter to TAV");
    EXPECT_EQ(find<QPushButton>(win.get(), "Command3")->text(), "Exit");
}

TEST_F(N7WindowTest, OptionClickAndEnterRunTheLogic)
{
    QTest::mouseClick(option(2, 2), Qt::LeftButton);
    EXPECT_EQ(box(3)->text(), "32");
    EXPECT_EQ(box(1)->text(), "224");
    EXPECT_EQ(box(1)->selectedText(), "224");

    QSignalSpy returned(box(1), &QLineEdit::returnPressed);
    retype(box(1), "300");
    QTest::keyClick(box(1), Qt::Key_Return);
    EXPECT_EQ(returned.count(), 0) << "the Enter key is consumed";
    EXPECT_EQ(box(1)->text(), "44");
    EXPECT_EQ(box(1)->selectedText(), "44");
    EXPECT_TRUE(option(1, 0)->isChecked());
    EXPECT_TRUE(option(2, 2)->isChecked());
    EXPECT_TRUE(option(3, 3)->isChecked());
    EXPECT_TRUE(option(4, 0)->isChecked());
    EXPECT_EQ(box(4)->text(), "12");

    retype(box(1), "x");
    QTest::keyClick(box(1), Qt::Key_Enter);
    EXPECT_EQ(messages, std::vector<std::string>{panel::N7Tool::kNoNumber});
}

TEST_F(N7WindowTest, ReadFillsTheValueFromTheReplyAndSendQueuesIt)
{
    QTest::mouseClick(find<QPushButton>(win.get(), "Command1"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], panel::N7Tool::kPortClosed);

    shared.open = true;
    QTest::mouseClick(find<QPushButton>(win.get(), "Command1"), Qt::LeftButton);
    EXPECT_EQ(shared.oneShot, "n7999\r\n");
    win->replyLine("n037 7", "n7999\r\n");
    EXPECT_EQ(box(1)->text(), "37");
    EXPECT_TRUE(option(2, 2)->isChecked());
    EXPECT_EQ(find<QLabel>(win.get(), "lblStatus")->text(), "Read n7 = 37");

    retype(box(1), "70");
    QTest::mouseClick(find<QPushButton>(win.get(), "Command2"), Qt::LeftButton);
    EXPECT_EQ(shared.typed, "n7070\r\n");
    EXPECT_TRUE(option(1, 1)->isChecked());
}

TEST_F(N7WindowTest, PlacementExitCloseAndHelp)
{
    // 3075 and 9825 twips at 96 dpi: 205 and 655 pixels.
    EXPECT_EQ(frmN7::placement(QPoint(100, 50), 300, 400), QPoint(100 + 655 - 300 + 400, 50 + 205));

    QSignalSpy closed(win.get(), &frmN7::closed);
    QTest::mouseClick(find<QPushButton>(win.get(), "Command3"), Qt::LeftButton);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(closed.count(), 1);
    win->show();
    win->close();
    EXPECT_EQ(closed.count(), 2);
    win->show();
    QTest::keyClick(win.get(), Qt::Key_F1);
    EXPECT_EQ(helpPages, QStringList{"n7_tool.html"});
}

// ---------------------------------------------------------------- Burn-In

class BurnWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = std::make_unique<frmBurn>(shared, clock);
        win->openHelp = [this](const QString& page) { helpPages << page; };
        win->showMessage = [this](const std::string& text) { messages.push_back(text); };
        win->show();
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(win.get(), name); }

    common::VirtualClock clock;
    panel::PanelShared shared;
    std::unique_ptr<frmBurn> win;
    QStringList helpPages;
    std::vector<std::string> messages;
};

TEST_F(BurnWindowTest, ControlsStartTheExerciseAndShowItsLog)
{
    EXPECT_EQ(win->objectName(), "frmBurn");
    EXPECT_EQ(win->windowTitle(), "Burn-In Excersise");
    auto* text1 = find<QPlainTextEdit>(win.get(), "Text1");
    auto* text2 = find<QLineEdit>(win.get(), "Text2");
    EXPECT_TRUE(text1->isReadOnly());
    EXPECT_EQ(labelFor(win.get(), text1), "Command Sequence");
    EXPECT_EQ(labelFor(win.get(), text2), "Interval");
    EXPECT_EQ(text2->text(), "60");
    EXPECT_EQ(button("Command1")->text(), "Start");
    EXPECT_EQ(button("Command2")->text(), "Stop");
    EXPECT_EQ(button("Command3")->text(), "Continue");
    EXPECT_FALSE(button("Command3")->isEnabled());

    retype(text2, "2"); // the key clears the stored interval: Start takes the new text
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    EXPECT_TRUE(button("Command3")->isEnabled());
    EXPECT_EQ(win->logic().interval(), 2);
    clock.advance(1s);
    EXPECT_EQ(shared.typed, "A0000\r\n");
    EXPECT_EQ(find<QLabel>(win.get(), "lblCountdown")->text(), "2");
    clock.advance(2s);
    EXPECT_EQ(text1->toPlainText(), "     A0000E0150..\n     A1350");

    QTest::mouseClick(button("Command2"), Qt::LeftButton);
    EXPECT_FALSE(win->logic().running());
    QTest::mouseClick(button("Command3"), Qt::LeftButton);
    EXPECT_TRUE(win->logic().running());
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    EXPECT_EQ(text1->toPlainText(), "") << "Start clears the log";
}

TEST_F(BurnWindowTest, BadIntervalCloseAndHelp)
{
    retype(find<QLineEdit>(win.get(), "Text2"), "abc");
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    EXPECT_EQ(messages, std::vector<std::string>{panel::BurnIn::kBadInterval});
    EXPECT_FALSE(win->logic().running());

    retype(find<QLineEdit>(win.get(), "Text2"), "60");
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    QTest::keyClick(win.get(), Qt::Key_F1);
    EXPECT_EQ(helpPages, QStringList{"burn_in.html"});
    QSignalSpy closed(win.get(), &frmBurn::closed);
    win->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(win->logic().running());
}

} // namespace
