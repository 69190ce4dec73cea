// The main window's colours menu, Print Screen and parameter upload reach their logic (the
// rules are tested with the logic: colour settings, the print redraw, the upload's lines).
#include "AppFixture.h"

#include "panel/app/frmBurn.h"
#include "panel/app/frmCapture.h"
#include "panel/app/frmMsg.h"
#include "panel/app/frmN7.h"
#include "panel/app/frmScan.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPrinter>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>

namespace guitest {

TEST_F(AppFixture, ColourEntriesChangeTheGraphAndTheMarkersAndCancelKeepsThem)
{
    start();
    action(win.get(), "mnuDIvc")->trigger();
    std::optional<panel::Rgb> answer = 0x123456;
    std::vector<std::string> titles;
    win->colorDialogHook = [&](panel::Rgb current, const std::string& title) {
        titles.push_back(title);
        EXPECT_EQ(current, titles.size() == 1 ? 0xFFFF00u : 0x123456u);
        return answer;
    };
    action(win.get(), "mnuT1")->trigger();
    EXPECT_EQ(titles, std::vector<std::string>{"Trace 1"});
    EXPECT_EQ(win->graph().colors.trace1, 0x123456u);
    EXPECT_TRUE(find<QFrame>("Line1_0")->styleSheet().contains("#123456"));
    answer.reset(); // Cancel
    action(win.get(), "mnuT1")->trigger();
    EXPECT_EQ(win->graph().colors.trace1, 0x123456u);

    // Save, a scheme, then Reload brings the saved colours back.
    action(win.get(), "mnuSave")->trigger();
    EXPECT_EQ(store->get("Colors", "T1", ""), std::to_string(0x12 + 0x34 * 256 + 0x56 * 65536));
    action(win.get(), "mnuLoadW")->trigger();
    EXPECT_EQ(win->surface().pixel(3, 3), 0xE0E0E0u) << "the Win scheme's back colour, redrawn";
    action(win.get(), "mnuReLoad")->trigger();
    EXPECT_EQ(win->graph().colors.trace1, 0x123456u);
    EXPECT_EQ(win->graph().colors.back, 0x1F1F1Fu);

    // A right click on the graph outside X-Y mode pops up the colours.
    auto* picture = find<QWidget>("Picture1");
    QTest::mouseClick(picture, Qt::RightButton, {}, QPoint(20, 20));
    auto* colours = find<QMenu>("mnuColor");
    EXPECT_TRUE(colours->isVisible());
    colours->hide();
    action(win.get(), "mnuDXY")->trigger();
    QTest::mouseClick(picture, Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_FALSE(colours->isVisible());
    EXPECT_TRUE(find<QMenu>("mnuTool2")->isVisible());
    find<QMenu>("mnuTool2")->hide();
}

TEST_F(AppFixture, PrintScreenPrintsThePanelWithThePrintFriendlyGraphToAPdf)
{
    start();
    action(win.get(), "mnuDIvc")->trigger();
    for (int i = 0; i < 20; ++i) {
        win->graph().in.stream = {std::int16_t(i - 10), 0, std::int16_t(10 - i), 0};
        win->graph().Pgraph();
    }
    const QString pdf = QString::fromStdString(dir + "/screen.pdf");
    win->printDialogHook = [&](QPrinter& p) {
        EXPECT_EQ(p.copyCount(), 1);
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        p.setCopyCount(2);
        return true;
    };
    // What went to the printer: the window in its print colour, the graph black on white.
    action(win.get(), "mnuPrint")->trigger();
    EXPECT_EQ(win->printCopies(), 2);
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5) == "%PDF-");
    EXPECT_GT(f.size(), 10000) << "a page with the window's picture";
    QPrinter again;
    again.setOutputFormat(QPrinter::PdfFormat);
    again.setOutputFileName(QString::fromStdString(dir + "/again.pdf"));
    const QImage printed = win->printScreen(again);
    ASSERT_FALSE(printed.isNull());
    auto* picture = find<QWidget>("Picture1");
    const QPoint at = picture->mapTo(win.get(), QPoint(3, 3)) * printed.devicePixelRatio();
    EXPECT_EQ(printed.pixelColor(at), QColor(255, 255, 255)) << "paper, not the screen's back colour";
    EXPECT_EQ(printed.pixelColor(QPoint(1, printed.height() - 2)), QColor(192, 192, 176)) << "the window's print colour";
    // The screen drawing and the window's colour are back.
    EXPECT_EQ(win->surface().pixel(3, 3), win->graph().colors.back);
    EXPECT_NE(win->palette().color(QPalette::Window), QColor(192, 192, 176));
    // Cancel in the printer dialog prints nothing.
    QFile::remove(pdf);
    win->printDialogHook = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return false;
    };
    action(win.get(), "mnuPrint")->trigger();
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(AppFixture, ParameterUploadSendsTheFileWithItsProgressWindow)
{
    start();
    clock.advance(common::Ms{2000});
    const std::string file = dir + "/Param.txt";
    std::ofstream(file, std::ios::binary) << "'ACU Parameter Dump - Legacy Mode\r\nmA\t012\t'*\r\nmB\t034\t'El Trim\r\n";
    std::vector<std::string> dialogs;
    win->openDialogHook = [&](const std::string& title, const std::string& filter,
                              const std::string&) -> std::optional<std::string> {
        dialogs.push_back(title + "|" + filter);
        return file;
    };
    action(win.get(), "mnuParamUP")->trigger();
    ASSERT_TRUE(win->paramUpload().running());
    EXPECT_EQ(dialogs, std::vector<std::string>{"Send Text File|Text Files (*.txt)|*.txt|All Files (*.*)|*.*"});
    auto* msg = win->progressWindow();
    ASSERT_NE(msg, nullptr);
    EXPECT_TRUE(msg->isVisible());
    EXPECT_EQ(msg->findChild<QLabel*>("lblMsg")->text(), "Sending TAV/PCU Parameters");
    const size_t first = journal.writes.size();
    for (int i = 0; i < 100 && win->paramUpload().running(); ++i)
        clock.advance(common::Ms{40});
    EXPECT_FALSE(win->paramUpload().running());
    EXPECT_FALSE(msg->isVisible());
    std::vector<std::string> sent;
    for (size_t i = first; i < journal.writes.size(); ++i)
        sent.push_back(journal.writes[i].bytes);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "mA012\r\n");
    EXPECT_EQ(sent[1], "mB034\r\n");

    // Cancel in the progress window ends the next upload.
    action(win.get(), "mnuParamUP")->trigger();
    ASSERT_TRUE(win->paramUpload().running());
    msg->findChild<QPushButton*>("cmdCancel")->click();
    clock.advance(common::Ms{200});
    EXPECT_FALSE(win->paramUpload().running());
}

TEST_F(AppFixture, ToolWindowsOpenFromTheToolsMenuAndTheTickFollowsThem)
{
    start();
    auto* scan = action(win.get(), "mnuScan");
    scan->trigger();
    ASSERT_NE(win->scanWindow(), nullptr);
    EXPECT_TRUE(win->scanWindow()->isVisible());
    EXPECT_TRUE(scan->isChecked());
    win->scanWindow()->close();
    EXPECT_FALSE(scan->isChecked());

    auto* burn = action(win.get(), "mnuBurn");
    burn->trigger();
    ASSERT_NE(win->burn(), nullptr);
    EXPECT_TRUE(burn->isChecked());
    win->burn()->close();
    EXPECT_FALSE(burn->isChecked());

    // The N7 tool toggles with its entry, and Read's answer comes from the matched replies.
    auto* n7 = action(win.get(), "mnuN7Par");
    n7->trigger();
    ASSERT_NE(win->n7(), nullptr);
    EXPECT_TRUE(win->n7()->isVisible());
    EXPECT_TRUE(n7->isChecked());
    auto* value = win->n7()->findChild<QLineEdit*>("Text1");
    EXPECT_EQ(value->text(), "192");
    clock.advance(common::Ms{2000});
    win->n7()->Command1_Click();
    EXPECT_EQ(win->shared().oneShot, "n7999\r\n");
    win->link().onReply("n037 7", "n7999\r\n");
    EXPECT_EQ(value->text(), "37");
    n7->trigger();
    EXPECT_FALSE(win->n7()->isVisible());
    EXPECT_FALSE(n7->isChecked());
}

TEST_F(AppFixture, LoadedCaptureShowsThePageButtonsAndDisablesTheWritingCommands)
{
    start();
    const std::string file = dir + "/ivc.csv";
    {
        std::ofstream out(file, std::ios::binary);
        out << "Time,CL,LV,AZ,Rel,Phase,,Velmar Disp ivc (Loop Error) Screen Capture\r\n";
        for (int i = 0; i < 700; ++i)
            out << "12:00:00," << i % 20 << ",-3,4,123.4,0\r\n";
    }
    win->openDialogHook = [&](const std::string&, const std::string&, const std::string&) {
        return std::optional<std::string>(file);
    };
    find<QPushButton>("cmdCapture")->click();
    auto* capture = win->captureWindow();
    ASSERT_NE(capture, nullptr);
    EXPECT_TRUE(capture->isVisible());
    capture->findChild<QPushButton*>("cmdLoadDataLog")->click();
    ASSERT_TRUE(win->capture().loaded());
    EXPECT_TRUE(find<QPushButton>("cmdLDLScrollForward")->isVisibleTo(win.get()));
    EXPECT_TRUE(find<QPushButton>("cmdLDLScrollBack")->isVisibleTo(win.get()));
    EXPECT_EQ(win->windowTitle().toStdString(), "TAV Remote Panel - Log " + file);
    EXPECT_FALSE(action(win.get(), "mnuLog")->isEnabled());
    EXPECT_FALSE(action(win.get(), "mnuSaveScreen")->isEnabled());
    EXPECT_FALSE(action(win.get(), "mnuLoadDataLog")->isEnabled());
    EXPECT_TRUE(action(win.get(), "mnuUnloadDataLog")->isEnabled());
    EXPECT_FALSE(capture->findChild<QPushButton*>("cmdLog")->isVisibleTo(capture));
    EXPECT_TRUE(win->shared().diagStop);
    // A live sample arriving meanwhile stays off the replayed page.
    const auto shown = win->graph().sampleCounter();
    win->decoder().graph(panel::GraphSample{'x', 130, 130, 130, 0});
    EXPECT_EQ(win->graph().sampleCounter(), shown);

    find<QPushButton>("cmdLDLScrollForward")->click();
    EXPECT_EQ(win->capture().position(), 640);
    action(win.get(), "mnuUnloadDataLog")->trigger();
    EXPECT_FALSE(win->capture().loaded());
    EXPECT_FALSE(find<QPushButton>("cmdLDLScrollForward")->isVisibleTo(win.get()));
    EXPECT_TRUE(action(win.get(), "mnuLog")->isEnabled());
    EXPECT_FALSE(action(win.get(), "mnuUnloadDataLog")->isEnabled());
    EXPECT_EQ(win->windowTitle(), "TAV Remote Panel");
    EXPECT_FALSE(win->shared().diagStop);
}

} // namespace guitest
