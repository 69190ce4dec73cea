// Output files: lines as CR LF ended bytes, on the disk line by line, and a failure reported
// once with nothing already written lost; the file command's dialog loop.
#include "panel/params/DumpFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dumptest {
namespace {

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "output-file-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
};

TEST_F(OutputFileTest, LinesAreEightBitBytesEndedByCrLfAndAnExistingFileIsTruncated)
{
    const std::string p = dir + "/out.txt";
    {
        std::ofstream(p) << "old contents that must go\n";
    }
    panel::OutputFile f;
    ASSERT_TRUE(f.open(p));
    const std::string bytes = std::string("m\x8a\t200\t'-056") + char(0xFF) + char(0x1B);
    EXPECT_TRUE(f.writeLine(bytes));
    // Each line is in the file before the next is written (nothing waits in a buffer).
    EXPECT_EQ(readAll(p), bytes + "\r\n");
    EXPECT_TRUE(f.writeLine(""));
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(readAll(p), bytes + "\r\n\r\n");
    EXPECT_FALSE(f.writeLine("after close"));
    EXPECT_FALSE(f.failed());
}

TEST_F(OutputFileTest, FullDeviceFailsOnceAndClosesTheFile)
{
    panel::OutputFile f;
    ASSERT_TRUE(f.open("/dev/full"));
    EXPECT_FALSE(f.writeLine("record"));
    EXPECT_TRUE(f.failed());
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(f.error(), std::strerror(ENOSPC));
    // Later lines are refused quietly: the caller has one failure to report.
    EXPECT_FALSE(f.writeLine("record"));
    EXPECT_TRUE(f.failed());
    // A new open starts afresh.
    ASSERT_TRUE(f.open(dir + "/again.txt"));
    EXPECT_FALSE(f.failed());
    EXPECT_TRUE(f.error().empty());
}

TEST_F(OutputFileTest, DiskFullMidFileKeepsEveryLineWrittenBefore)
{
    const std::string p = dir + "/log.csv";
    panel::OutputFile f;
    ASSERT_TRUE(f.open(p));
    std::vector<std::string> written;
    {
        FileSizeLimit limit(100);
        for (int i = 0; i < 50; ++i) {
            const std::string line = "12:00:" + std::to_string(10 + i) + ",1,2,3";
            if (!f.writeLine(line))
                break;
            written.push_back(line);
        }
    }
    ASSERT_TRUE(f.failed());
    EXPECT_EQ(f.error(), std::strerror(EFBIG));
    ASSERT_FALSE(written.empty());
    std::string rest;
    const auto lines = crlfLines(readAll(p), &rest);
    EXPECT_EQ(lines, written);
    // At most the line being written is cut short.
    EXPECT_LT(rest.size(), std::string("12:00:99,1,2,3\r\n").size());
}

struct DialogCase {
    const char* name;
    bool exists;
    std::vector<std::optional<std::string>> paths; // "@" = the test file
    std::vector<bool> answers;
    bool created;
    size_t dialogs;
    size_t questions;
};

TEST_F(OutputFileTest, DialogLoopReplaceQuestionAndCancel)
{
    const std::string p = dir + "/data.csv";
    const DialogCase cases[] = {
        {"cancel", false, {std::nullopt}, {}, false, 1, 0},
        {"new file", false, {"@"}, {}, true, 1, 0},
        {"replace yes", true, {"@"}, {true}, true, 1, 1},
        {"no shows the dialog again, then cancel", true, {"@", std::nullopt}, {false}, false, 2, 1},
        {"no, then yes", true, {"@", "@"}, {false, true}, true, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(p);
        if (c.exists)
            std::ofstream(p) << "keep";
        FakeFileUi ui;
        for (const auto& x : c.paths)
            ui.paths.push_back(x && *x == "@" ? std::optional<std::string>(p) : x);
        ui.answers.assign(c.answers.begin(), c.answers.end());
        panel::OutputFile f;
        const auto got = panel::createFromDialog(ui, f, "Filter|*.*", "start.txt");
        EXPECT_EQ(got.has_value(), c.created);
        EXPECT_EQ(f.isOpen(), c.created);
        ASSERT_EQ(ui.dialogs.size(), c.dialogs);
        for (const auto& d : ui.dialogs) {
            EXPECT_EQ(d.filter, "Filter|*.*");
            EXPECT_EQ(d.fileName, "start.txt");
        }
        ASSERT_EQ(ui.questions.size(), c.questions);
        for (const auto& q : ui.questions)
            EXPECT_EQ(q, "Replace existing file - " + p + "?");
        EXPECT_TRUE(ui.errors.empty());
        if (c.created)
            EXPECT_EQ(readAll(p), "");
        else if (c.exists)
            EXPECT_EQ(readAll(p), "keep");
        else
            EXPECT_FALSE(std::filesystem::exists(p));
    }
}

TEST_F(OutputFileTest, DialogLoopRefusesTheFileOpenForAnotherWriter)
{
    FakeFileUi ui;
    panel::OutputFile f;
    panel::OutputFile log;
    ASSERT_TRUE(log.open(dir + "/log.csv"));
    ASSERT_TRUE(log.writeLine("header"));
    ui.paths = {dir + "/./log.csv", dir + "/screen.csv"};
    ui.answers = {true};
    const auto got = panel::createFromDialog(ui, f, "F", "", &log);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, dir + "/screen.csv");
    EXPECT_EQ(ui.errors, (std::vector<std::string>{panel::kFileInUseText}));
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(readAll(dir + "/log.csv"), "header\r\n");
}

} // namespace
} // namespace dumptest
