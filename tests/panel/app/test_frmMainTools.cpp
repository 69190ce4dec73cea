// The main window's colours menu, Print Screen and parameter upload reach their logic (the
// rules are tested with the logic: colour settings, the print redraw, the upload's lines).
#include "AppFixture.h"

#include "panel/app/frmMsg.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <fstream>

namespace guitest {

namespace {

QAction* action(QWidget* w, const char* name)
{
    auto* a = w->findChild<QAction*>(name);
    EXPECT_NE(a, nullptr) << name;
    return a;
}

} // namespace

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

} // namespace guitest
