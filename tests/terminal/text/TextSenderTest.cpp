// Sending text files: what goes out byte for byte in both modes, the pacing gaps on virtual
// time, comments shown instead of sent, looping and Cancel, and files that cannot be sent.
#include "TextBench.h"

#include "terminal/core/TextSender.h"

namespace texttest {
namespace {

using term::TextSender;
using Result = TextSender::Result;

class TextSenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        bench.open();
        sender.onCancelWindow = [this](bool show, const std::string& caption, const std::string& text) {
            cancelWindow.push_back({show, caption, text});
        };
    }
    struct CancelWindow {
        bool show;
        std::string caption, text;
    };

    TempDir dir;
    TextBench bench;
    TextSender sender{bench.t};
    std::vector<CancelWindow> cancelWindow;
};

TEST_F(TextSenderTest, PlainSendSendsEveryNonCommentLineWholeWithPacingGaps)
{
    // LF, CR LF and a last line without an ending; an empty line; Tabs, quotes after the start
    // and 8-bit bytes are sent as they are.
    const std::string path = dir.write("plain.txt", "mA123\r\n"
                                                    "' a comment\n"
                                                    "\n"
                                                    "X0000\t5 'note\n"
                                                    ">prompt\n"
                                                    "\x1b\\0087 \xb0\xff\r\n"
                                                    "last");
    sender.choosePacing(100);
    const Ms t0 = bench.clock.now();
    EXPECT_EQ(sender.SendTextFile(path), Result::Done);

    const std::vector<std::string> expected{"mA123\r\n", "\r\n", "X0000\t5 'note\r\n", ">prompt\r\n",
                                            "\x1b\\0087 \xb0\xff\r\n", "last\r\n"};
    EXPECT_EQ(bench.writes(), expected);
    // The file's line numbers (from 0) of the sent lines: the comment line also takes its wait.
    const std::vector<int> lineNo{0, 2, 3, 4, 5, 6};
    const auto times = bench.writeTimes();
    ASSERT_EQ(times.size(), lineNo.size());
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_EQ(times[i] - t0, Ms{100 * lineNo[i]}) << "line " << lineNo[i];
    // The last line's wait is taken too.
    EXPECT_EQ(bench.clock.now() - t0, Ms{700});
    EXPECT_NE(bench.t.screen.text().find("' a comment\r\n"), std::string::npos);
    EXPECT_TRUE(bench.ui.messages.empty());
}

TEST_F(TextSenderTest, ParameterUploadCleansLinesAt80msAndRestoresThePacing)
{
    const std::string path = dir.write("params.txt", "'Parameter file\r\n"
                                                     "mA\t123\t'El Trim\r\n"
                                                     ">ACU prompt\r\n"
                                                     "\tmB\t001\r\n"
                                                     "mC000 ' trailing blank kept\r\n"
                                                     "'\r\n"
                                                     "mD002\r\n");
    sender.choosePacing(400);
    bench.t.LogLine("old screen text");
    const Ms t0 = bench.clock.now();
    EXPECT_EQ(sender.ParameterUpload(path), Result::Done);

    const std::vector<std::string> expected{"mA123\r\n", "mB001\r\n", "mC000 \r\n", "mD002\r\n"};
    EXPECT_EQ(bench.writes(), expected);
    const std::vector<int> lineNo{1, 3, 4, 6};
    const auto times = bench.writeTimes();
    ASSERT_EQ(times.size(), lineNo.size());
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_EQ(times[i] - t0, Ms{80 * lineNo[i]}) << "line " << lineNo[i];
    // The screen was cleared first, then shows the lines that were not sent.
    EXPECT_EQ(bench.t.screen.text(), "'Parameter file\r\n>ACU prompt\r\n'\r\n");
    EXPECT_EQ(bench.t.pacingMs, 400);
    EXPECT_EQ(sender.checkedPacing(), 400);
    ASSERT_FALSE(cancelWindow.empty());
    EXPECT_EQ(cancelWindow.front().text, "Send Text File - Pacing: 80,  No Loop\r" + path);
}

TEST(TextSenderLines, WhatEachLineBecomesInBothModes)
{
    struct Case {
        std::string line;
        bool parameterMode;
        bool sent;
        std::string out;
    };
    const Case cases[] = {
        {"mA\t123\t'El Trim", true, true, "mA123\r\n"},
        {"mA\t123\t'El Trim", false, true, "mA\t123\t'El Trim\r\n"},
        {"'comment", true, false, ""},
        {"'comment", false, false, ""},
        {">prompt", true, false, ""},
        {">prompt", false, true, ">prompt\r\n"},
        {"", true, true, "\r\n"},
        {"", false, true, "\r\n"},
        {" 'indented comment", true, true, " \r\n"},
        {" 'indented comment", false, true, " 'indented comment\r\n"},
        {"a'b'c", true, true, "a\r\n"},
        {"\t\t", true, true, "\r\n"},
    };
    for (const auto& c : cases) {
        std::string out = "stale";
        EXPECT_EQ(TextSender::lineToSend(c.line, c.parameterMode, out), c.sent) << c.line;
        if (c.sent) {
            EXPECT_EQ(out, c.out) << c.line << " mode " << c.parameterMode;
        }
    }
}

TEST_F(TextSenderTest, PacingMenuKeepsOneCheckMark)
{
    EXPECT_EQ(sender.checkedPacing(), 200);
    sender.choosePacing(1000);
    sender.choosePacing(0);
    EXPECT_EQ(sender.checkedPacing(), 0);
    EXPECT_EQ(bench.t.pacingMs, 0);
    for (int ms : term::kPacingChoices) {
        sender.choosePacing(ms);
        int checked = 0;
        for (int other : term::kPacingChoices)
            checked += sender.checkedPacing() == other;
        EXPECT_EQ(checked, 1);
        EXPECT_EQ(bench.t.pacingMs, ms);
    }
}

TEST_F(TextSenderTest, PacingZeroSendsEveryLineWithoutWaiting)
{
    const std::string path = dir.write("fast.txt", "A\nB\nC\n");
    sender.choosePacing(0);
    const Ms t0 = bench.clock.now();
    EXPECT_EQ(sender.SendTextFile(path), Result::Done);
    EXPECT_EQ(bench.writes(), (std::vector<std::string>{"A\r\n", "B\r\n", "C\r\n"}));
    EXPECT_EQ(bench.clock.now(), t0);
}

TEST_F(TextSenderTest, CancelWindowShowsCaptionTextAndHidesAtTheEnd)
{
    const std::string path = dir.write("one.txt", "S\n");
    sender.setLoop(false);
    EXPECT_EQ(sender.SendTextFile(path), Result::Done);
    ASSERT_EQ(cancelWindow.size(), 2u);
    EXPECT_TRUE(cancelWindow[0].show);
    EXPECT_EQ(cancelWindow[0].caption, "Send Text");
    EXPECT_EQ(cancelWindow[0].text, "Send Text File - Pacing: 200,  No Loop\r" + path);
    EXPECT_FALSE(cancelWindow[1].show);
    EXPECT_FALSE(sender.sending());
}

TEST_F(TextSenderTest, LoopSendsFromTheTopAgainUntilCancel)
{
    const std::string path = dir.write("loop.txt", "A\nB\n");
    sender.toggleLoop();
    ASSERT_TRUE(sender.loop());
    const Ms t0 = bench.clock.now();
    // Cancel pressed at 900 ms, during the wait after the fifth line.
    bench.at(t0 + Ms{900}, [this] { sender.cancel(); });
    EXPECT_EQ(sender.SendTextFile(path), Result::Cancelled);

    EXPECT_EQ(bench.writes(), (std::vector<std::string>{"A\r\n", "B\r\n", "A\r\n", "B\r\n", "A\r\n"}));
    const auto times = bench.writeTimes();
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_EQ(times[i] - t0, Ms{200 * long(i)});
    // Cancel ended the pacing wait at once.
    EXPECT_EQ(bench.clock.now() - t0, Ms{900});
    ASSERT_FALSE(cancelWindow.empty());
    EXPECT_EQ(cancelWindow.front().text, "Send Text File - Pacing: 200,  Loop\r" + path);
    EXPECT_FALSE(cancelWindow.back().show);
    // The abort flag Cancel used is not left behind for the next command.
    EXPECT_EQ(bench.t.abortFlag, 0);

    // A new send starts with the cancel flag cleared.
    sender.setLoop(false);
    bench.journal.writes.clear();
    EXPECT_EQ(sender.SendTextFile(path), Result::Done);
    EXPECT_EQ(bench.writes().size(), 2u);
}

TEST_F(TextSenderTest, WindowCloseAbortStopsALoopingSend)
{
    const std::string path = dir.write("loop.txt", "A\n");
    sender.setLoop(true);
    bench.at(bench.clock.now() + Ms{450}, [this] { bench.t.abortFlag = 1; });
    EXPECT_EQ(sender.SendTextFile(path), Result::Cancelled);
    EXPECT_EQ(bench.writes().size(), 3u); // at 0, 200 and 400 ms
}

TEST_F(TextSenderTest, LoopOfAnEmptyFileEnds)
{
    const std::string path = dir.write("empty.txt", "");
    sender.setLoop(true);
    EXPECT_EQ(sender.SendTextFile(path), Result::Done);
    EXPECT_TRUE(bench.writes().empty());
}

TEST_F(TextSenderTest, ClosedLinkWarnsForEveryLineAndKeepsThePacing)
{
    const std::string path = dir.write("three.txt", "A\n'c\nB\nC\n");
    bench.t.mnuOpen_Click(); // closes
    ASSERT_FALSE(bench.t.linkOpen());
    bench.ui.messages.clear();
    sender.choosePacing(100);
    const Ms t0 = bench.clock.now();
    EXPECT_EQ(sender.SendTextFile(path), Result::Done);

    EXPECT_TRUE(bench.writes().empty());
    ASSERT_EQ(bench.ui.messages.size(), 3u);
    const Ms expected[] = {Ms{0}, Ms{200}, Ms{300}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NE(bench.ui.messages[i].text.find("Operation not allowed while port is closed"), std::string::npos);
        EXPECT_EQ(bench.ui.messages[i].at - t0, expected[i]);
    }
    EXPECT_EQ(bench.clock.now() - t0, Ms{400});
}

TEST_F(TextSenderTest, MissingFileSaysNotFoundAndSendsNothing)
{
    const std::string path = dir.file("nowhere.txt");
    EXPECT_EQ(sender.SendTextFile(path), Result::NotFound);
    ASSERT_EQ(bench.ui.messages.size(), 1u);
    EXPECT_EQ(bench.ui.messages[0].text, path + " not found!");
    EXPECT_EQ(bench.ui.messages[0].icon, Icon::Exclamation);
    EXPECT_TRUE(bench.writes().empty());
    EXPECT_TRUE(cancelWindow.empty());
}

TEST_F(TextSenderTest, FilesThatAreNotTextSendNothingWithAClearMessageAndStayClosed)
{
    struct Case {
        std::string name;
        std::string path;
        std::string says;
    };
    std::string longLine(1 << 20, 'x');
    const Case cases[] = {
        {"folder", dir.file(""), "Is a directory"},
        {"zero byte", dir.write("bin.txt", "mA000\r\n\x7f" + std::string("ELF\0\x01\x02", 6) + "\r\n"), "zero byte"},
        {"1 MB line", dir.write("long.txt", "mA000\n" + longLine + "\nmB000\n"), "longer than 4096"},
    };
    const int fds = openDescriptors();
    for (const auto& c : cases) {
        bench.ui.messages.clear();
        cancelWindow.clear();
        EXPECT_EQ(sender.SendTextFile(c.path), Result::Failed) << c.name;
        ASSERT_EQ(bench.ui.messages.size(), 1u) << c.name;
        EXPECT_NE(bench.ui.messages[0].text.find(c.says), std::string::npos) << bench.ui.messages[0].text;
        EXPECT_EQ(bench.ui.messages[0].title, "Send Text File");
        EXPECT_TRUE(bench.writes().empty()) << c.name;
        EXPECT_TRUE(cancelWindow.empty()) << c.name;
        EXPECT_EQ(openDescriptors(), fds) << c.name;
    }
}

TEST_F(TextSenderTest, FileIsClosedAfterTheEndAndAfterCancel)
{
    const std::string path = dir.write("loop.txt", "A\nB\n");
    const int fds = openDescriptors();
    EXPECT_EQ(sender.SendTextFile(path), Result::Done);
    EXPECT_EQ(openDescriptors(), fds);
    sender.setLoop(true);
    bench.at(bench.clock.now() + Ms{300}, [this, fds] {
        // While sending, the file is open.
        EXPECT_EQ(openDescriptors(), fds + 1);
        sender.cancel();
    });
    EXPECT_EQ(sender.SendTextFile(path), Result::Cancelled);
    EXPECT_EQ(openDescriptors(), fds);
}

TEST_F(TextSenderTest, BusyWhileAnotherSequenceRuns)
{
    const std::string path = dir.write("one.txt", "A\n");
    term::Terminal::Sequence other(bench.t);
    ASSERT_TRUE(other.started());
    bench.t.LogLine("kept");
    EXPECT_EQ(sender.SendTextFile(path), Result::Busy);
    EXPECT_EQ(sender.ParameterUpload(path), Result::Busy);
    EXPECT_TRUE(bench.writes().empty());
    EXPECT_EQ(bench.t.screen.text(), "kept\r\n");
    EXPECT_EQ(bench.t.pacingMs, 200);
}

TEST_F(TextSenderTest, ChangingTheFileWhileLoopingIsReadAfresh)
{
    const std::string path = dir.write("live.txt", "A\n");
    sender.setLoop(true);
    bench.at(bench.clock.now() + Ms{100}, [&] { dir.write("live.txt", "B\n"); });
    bench.at(bench.clock.now() + Ms{500}, [this] { sender.cancel(); });
    EXPECT_EQ(sender.SendTextFile(path), Result::Cancelled);
    EXPECT_EQ(bench.writes(), (std::vector<std::string>{"A\r\n", "B\r\n", "B\r\n"}));
}

} // namespace
} // namespace texttest
