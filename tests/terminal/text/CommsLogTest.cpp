// The communications log: opening with the replace question (Yes replaces, No appends,
// Cancel leaves everything alone), the window caption, raw received text in the file, a write
// error with Retry and Cancel, and files that cannot be logged to.
#include "TextBench.h"

#include "terminal/core/CommsLog.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

namespace texttest {
namespace {

using term::CommsLog;
using Result = CommsLog::Result;

class CommsLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        bench.open();
        log.onChanged = [this] { ++changes; };
    }
    TempDir dir;
    TextBench bench;
    CommsLog log{bench.t};
    int changes = 0;
};

TEST_F(CommsLogTest, NewFileLogsReceivedTextRawAndChangesTheCaption)
{
    const std::string path = dir.file("comms.log");
    EXPECT_EQ(log.caption(), "Tessaro Program Terminal");
    EXPECT_TRUE(log.canStart());
    EXPECT_FALSE(log.canStop());

    EXPECT_EQ(log.Start(path), Result::Opened);
    EXPECT_TRUE(bench.ui.messages.empty()); // no question for a new file
    EXPECT_EQ(log.caption(), "Tessaro Program Terminal - Logging comms.log");
    EXPECT_FALSE(log.canStart());
    EXPECT_TRUE(log.canStop());
    EXPECT_TRUE(bench.t.logOpen);
    EXPECT_EQ(changes, 1);

    // The data terminal path logs the chunks as received, 8-bit bytes included; what is sent
    // is not logged.
    bench.t.CommOut("S\r\n");
    bench.link->receive("ACU 1.52\r");
    bench.link->receive(std::string("\n\x1b\x81\xff", 4));
    bench.link->receive("end");
    // Each chunk is in the file at once, before the log is closed.
    EXPECT_EQ(readFile(path), std::string("ACU 1.52\r\n\x1b\x81\xff", 13) + "end");

    log.Stop();
    EXPECT_EQ(log.caption(), "Tessaro Program Terminal");
    EXPECT_TRUE(log.canStart());
    EXPECT_FALSE(bench.t.logOpen);
    EXPECT_EQ(changes, 2);
    bench.link->receive("after");
    EXPECT_EQ(readFile(path), std::string("ACU 1.52\r\n\x1b\x81\xff", 13) + "end");
}

TEST_F(CommsLogTest, OtherPathsLogTheLineEndsAsShown)
{
    bench.t.dataPath = false;
    const std::string path = dir.file("pcu.log");
    ASSERT_EQ(log.Start(path), Result::Opened);
    bench.link->receive("A\rB\n\rC");
    log.Stop();
    EXPECT_EQ(readFile(path), "A\r\nB\r\nC");
}

TEST_F(CommsLogTest, ReplaceQuestionYesReplacesNoAppendsCancelLeavesAlone)
{
    struct Case {
        Answer answer;
        Result result;
        std::string file;
    };
    const Case cases[] = {
        {Answer::Yes, Result::Opened, "new"},
        {Answer::No, Result::Opened, "old text\r\nnew"},
        {Answer::Cancel, Result::Cancelled, "old text\r\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = dir.write("existing" + std::to_string(n++) + ".log", "old text\r\n");
        bench.ui.messages.clear();
        bench.ui.answers = {c.answer};
        EXPECT_EQ(log.Start(path), c.result);
        ASSERT_EQ(bench.ui.messages.size(), 1u);
        EXPECT_EQ(bench.ui.messages[0].text, "Replace existing file - " + path + "?");
        EXPECT_EQ(bench.ui.messages[0].buttons, Buttons::YesNoCancel);
        EXPECT_EQ(bench.ui.messages[0].icon, Icon::Question);
        EXPECT_EQ(log.isOpen(), c.result == Result::Opened);
        EXPECT_EQ(bench.t.logOpen, c.result == Result::Opened);
        bench.link->receive("new");
        log.Stop();
        EXPECT_EQ(readFile(path), c.file);
    }
}

TEST_F(CommsLogTest, WriteErrorAsksRetryThenCancelClosesTheLog)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    // /dev/full exists: the question comes; No writes to it as it is (a device is never
    // deleted).
    bench.ui.answers = {Answer::No};
    ASSERT_EQ(log.Start("/dev/full"), Result::Opened);
    EXPECT_EQ(log.caption(), "Tessaro Program Terminal - Logging full");
    bench.ui.messages.clear();

    const int fds = openDescriptors();
    bench.ui.answers = {Answer::Retry, Answer::Cancel};
    bench.link->receive("lost text");
    ASSERT_EQ(bench.ui.messages.size(), 2u);
    for (const auto& m : bench.ui.messages) {
        EXPECT_EQ(m.buttons, Buttons::RetryCancel);
        EXPECT_EQ(m.text, std::strerror(ENOSPC));
    }
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(bench.t.logOpen);
    EXPECT_EQ(log.caption(), "Tessaro Program Terminal");
    EXPECT_TRUE(log.canStart());
    EXPECT_EQ(openDescriptors(), fds - 1); // the descriptor was given back
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));

    // The terminal goes on: the next chunk reaches the screen and asks nothing.
    bench.ui.messages.clear();
    bench.link->receive("more");
    EXPECT_TRUE(bench.ui.messages.empty());
    EXPECT_EQ(bench.t.screen.text().substr(bench.t.screen.text().size() - 4), "more");
}

// A file size limit makes the kernel take only part of a chunk and refuse the rest; the
// Retry then writes the rest once, with what arrived meanwhile after it.
TEST_F(CommsLogTest, RetryAfterAPartialWriteWritesNoByteTwice)
{
    const std::string path = dir.file("partial.log");
    ASSERT_EQ(log.Start(path), Result::Opened);
    ASSERT_TRUE(log.write("0123456789"));

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 15;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool wrote = log.write("ABCDEFGHIJ");
    const std::string why = log.lastError();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(wrote);
    EXPECT_EQ(why, std::strerror(EFBIG));
    EXPECT_EQ(readFile(path), "0123456789ABCDE");
    EXPECT_TRUE(log.write("ABCDEFGHIJklm"));
    EXPECT_TRUE(log.write("nop"));
    log.Stop();
    EXPECT_EQ(readFile(path), "0123456789ABCDEFGHIJklmnop");
}

TEST_F(CommsLogTest, PlacesThatCannotHoldALogSayWhyAndLeaveNoLogOpen)
{
    struct Case {
        std::string name;
        std::string path;
        std::string says;
    };
    const Case cases[] = {
        {"folder", dir.file(""), std::strerror(EISDIR)},
        {"missing folder", dir.file("no/such/folder.log"), std::strerror(ENOENT)},
    };
    const int fds = openDescriptors();
    for (const auto& c : cases) {
        bench.ui.messages.clear();
        EXPECT_EQ(log.Start(c.path), Result::Failed) << c.name;
        ASSERT_EQ(bench.ui.messages.size(), 1u) << c.name;
        EXPECT_NE(bench.ui.messages[0].text.find(c.says), std::string::npos) << bench.ui.messages[0].text;
        EXPECT_EQ(bench.ui.messages[0].icon, Icon::Exclamation);
        EXPECT_FALSE(log.isOpen());
        EXPECT_FALSE(bench.t.logOpen);
        EXPECT_EQ(log.caption(), "Tessaro Program Terminal");
        EXPECT_EQ(openDescriptors(), fds);
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("")));
}

TEST_F(CommsLogTest, APipeWithNoReaderIsNeitherDeletedNorWaitedFor)
{
    const std::string path = dir.file("pipe.log");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    bench.ui.answers = {Answer::Yes};
    EXPECT_EQ(log.Start(path), Result::Failed);
    EXPECT_TRUE(std::filesystem::is_fifo(path));
    ASSERT_EQ(bench.ui.messages.size(), 2u); // the question, then why it failed
    EXPECT_NE(bench.ui.messages[1].text.find(std::strerror(ENXIO)), std::string::npos);
}

TEST_F(CommsLogTest, WhileLoggingTheReplyBufferDoesNotGrow)
{
    bench.t.collect = true;
    ASSERT_EQ(log.Start(dir.file("r.log")), Result::Opened);
    bench.link->receive("reply");
    EXPECT_TRUE(bench.t.replyBuffer.empty());
    log.Stop();
    bench.link->receive("reply");
    EXPECT_EQ(bench.t.replyBuffer, "reply");
}

TEST_F(CommsLogTest, ClosingTheWindowClosesTheLogAndUnhooksIt)
{
    const std::string path = dir.file("close.log");
    const int fds = openDescriptors();
    {
        CommsLog second(bench.t);
        ASSERT_EQ(second.Start(path), Result::Opened);
        EXPECT_EQ(openDescriptors(), fds + 1);
        bench.link->receive("kept");
    }
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_FALSE(bench.t.logOpen);
    EXPECT_FALSE(bench.t.logWrite);
    EXPECT_EQ(readFile(path), "kept");
}

TEST_F(CommsLogTest, SecondCopyCaption)
{
    log.terminalCaption = "Tessaro Program Terminal 2";
    ASSERT_EQ(log.Start(dir.file("two.LOG")), Result::Opened);
    EXPECT_EQ(log.caption(), "Tessaro Program Terminal 2 - Logging two.LOG");
    EXPECT_EQ(log.Start(dir.file("three.log")), Result::AlreadyOpen);
    EXPECT_EQ(log.path(), dir.file("two.LOG"));
}

} // namespace
} // namespace texttest
