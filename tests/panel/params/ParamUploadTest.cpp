// The parameter upload: the line cleaning, and whole uploads through the panel link on virtual
// time (one line per 80 ms tick, the pacing restored, the progress, Cancel, the refusals).
#include "panel/params/DumpFixture.h"

#include "panel/params/ParamUpload.h"

#include <gtest/gtest.h>

namespace dumptest {
namespace {

TEST(UploadLine, Cleaning)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"'ACU Parameter Dump - Legacy Mode", ""},  // a dump header
        {"'CMD\tValue\tResult\tDescription", ""},
        {"mA\t012\t'*", "mA012"},                   // a dump data line
        {"mE\t012\t'012\tMode", "mE012"},
        {"m\x82\t010\t'*  \t5v Offset", "m\x82" "010"},
        {"nA\t003\t'Systyp", "nA003"},
        {"", ""},
        {"' a comment", ""},
        {">mA012", ""},                              // ">" first drops the line
        {"mA012 >", "mA012 >"},                      // elsewhere it stays
        {"\t\t", ""},
        {"mA0\t1\t2", "mA012"},                      // every tab goes
        {"  mA012 ", "  mA012 "},                    // blanks stay
        {"mA012'x'y", "mA012"},                      // the first apostrophe cuts
    };
    for (const auto& c : cases)
        EXPECT_EQ(panel::cleanUploadLine(c.in), c.out) << c.in;
}

class UploadTest : public DumpTest {
protected:
    void SetUp() override
    {
        DumpTest::SetUp();
        upload = std::make_unique<panel::ParamUpload>(shared, main, *panel, files);
        upload->setProgress(&progress);
        upload->openDialog = [this](const std::string& title, const std::string& filter, const std::string& name) {
            dialogs.push_back(title + "|" + filter + "|" + name);
            return files.saveFileDialog(filter, name);
        };
        upload->finished = [this] { ++finished; };
        clock.advance(1500ms); // the scheduler runs
    }
    void TearDown() override
    {
        upload.reset();
        DumpTest::TearDown();
    }
    std::string write(const std::string& name, const std::string& text)
    {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    // Runs until the upload has ended (bounded), returning what was sent meanwhile.
    std::vector<std::string> run()
    {
        const size_t first = journal.writes.size();
        for (int i = 0; i < 2000 && upload->running(); ++i)
            clock.advance(10ms);
        return sentFrom(first);
    }

    std::unique_ptr<panel::ParamUpload> upload;
    std::vector<std::string> dialogs;
    int finished = 0;
};

TEST_F(UploadTest, ADumpFileGoesBackAsItsSetCommandsOneLinePerTick)
{
    // A dump's lines with CR LF, then an LF line and a lone CR, as files edited elsewhere have.
    const std::string file = write("p.txt",
                                   "'ACU Parameter Dump - Legacy Mode\r\n'CMD\tValue\tResult\tDescription\r\n"
                                   "'TAV ACU VER 4.20\r\nmA\t012\t'*\r\n\r\nmB\t156\t'-010.0\tEl Trim\r\n"
                                   "nA\t003\t'Systyp\nmE\t001\rmF002");
    files.paths.push_back(file);
    upload->mnuParamUP_Click();
    ASSERT_TRUE(upload->running());
    EXPECT_EQ(dialogs, (std::vector<std::string>{"Send Text File|Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"}));
    EXPECT_EQ(panel->timer3().interval(), 80ms);

    const size_t first = journal.writes.size();
    const auto sent = run();
    EXPECT_EQ(sent, (std::vector<std::string>{"mA012\r\n", "mB156\r\n", "nA003\r\n", "mE001\r\n", "mF002\r\n"}));
    // One line per tick: the nine lines take nine ticks, the sends fall on ticks 4, 6, 7, 8, 9.
    ASSERT_EQ(journal.writes.size() - first, 5u);
    EXPECT_EQ(journal.writes[first + 1].at - journal.writes[first].at, 2 * 80ms);
    EXPECT_EQ(journal.writes[first + 2].at - journal.writes[first + 1].at, 80ms);
    EXPECT_EQ(upload->lineCount(), 9);
    EXPECT_EQ(upload->sentCount(), 5);
    EXPECT_FALSE(upload->running());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(panel->timer3().interval(), 200ms);
    EXPECT_TRUE(files.errors.empty());
    // The progress: shown with its caption at 0, every line counted, hidden at the end.
    ASSERT_GE(progress.events.size(), 3u);
    EXPECT_EQ(progress.events[0], "progress 0");
    EXPECT_EQ(progress.events[1], "show Sending TAV/PCU Parameters");
    EXPECT_EQ(progress.events[2], "progress 1");
    EXPECT_EQ(progress.events.back(), "hide");
    EXPECT_EQ(std::count_if(progress.events.begin(), progress.events.end(),
                            [](const std::string& e) { return e.rfind("progress ", 0) == 0; }),
              1 + 9);
    // Polling resumes.
    EXPECT_FALSE(ticks(2).empty());
}

TEST_F(UploadTest, TheProgressBarStopsAt99)
{
    std::string text;
    for (int i = 0; i < 120; ++i)
        text += "'\r\n";
    files.paths.push_back(write("c.txt", text));
    upload->mnuParamUP_Click();
    EXPECT_TRUE(run().empty());
    EXPECT_EQ(upload->lineCount(), 120);
    EXPECT_EQ(progress.events[progress.events.size() - 2], "progress 99");
}

TEST_F(UploadTest, CancelStopsAfterTheLineBeingSent)
{
    files.paths.push_back(write("p.txt", "mA001\r\nmB002\r\nmC003\r\nmD004\r\n"));
    upload->mnuParamUP_Click();
    const size_t first = journal.writes.size();
    for (int i = 0; i < 100 && journal.writes.size() - first < 2; ++i)
        clock.advance(10ms);
    upload->cancel();
    EXPECT_TRUE(upload->running()); // ends on the next tick
    EXPECT_EQ(run(), std::vector<std::string>{});
    EXPECT_EQ(sentFrom(first), (std::vector<std::string>{"mA001\r\n", "mB002\r\n"}));
    EXPECT_EQ(progress.events.back(), "hide");
    EXPECT_EQ(panel->timer3().interval(), 200ms);
}

TEST_F(UploadTest, CancelWithTheLinkClosedEndsAtOnce)
{
    files.paths.push_back(write("p.txt", "mA001\r\nmB002\r\n"));
    upload->mnuParamUP_Click();
    panel->mnuOpen_Click(); // Port Close
    ASSERT_FALSE(shared.open);
    upload->cancel();
    EXPECT_FALSE(upload->running());
    EXPECT_EQ(finished, 1);
}

TEST_F(UploadTest, StartRefusalsAndTheNotFoundLoop)
{
    const std::string good = write("p.txt", "mA001\r\n");
    // A missing file: its path with " not found!", and the dialog again; Cancel then ends it.
    files.paths = {path("none.txt"), std::nullopt};
    upload->mnuParamUP_Click();
    EXPECT_FALSE(upload->running());
    EXPECT_EQ(files.errors, (std::vector<std::string>{path("none.txt") + " not found!"}));
    EXPECT_EQ(dialogs.size(), 2u);

    // A folder: the system's error text.
    files.errors.clear();
    files.paths = {dir};
    upload->mnuParamUP_Click();
    EXPECT_FALSE(upload->running());
    ASSERT_EQ(files.errors.size(), 1u);
    EXPECT_EQ(files.errors[0], std::strerror(EISDIR));

    // While a dump runs: refused before the dialog.
    files.errors.clear();
    dialogs.clear();
    upload->mnuParamUP_Click(true);
    EXPECT_EQ(files.errors, std::vector<std::string>{panel::kDumpRunningText});
    EXPECT_TRUE(dialogs.empty());

    // The port closed: refused.
    files.errors.clear();
    panel->mnuOpen_Click();
    files.paths = {good};
    upload->mnuParamUP_Click();
    EXPECT_EQ(files.errors, std::vector<std::string>{panel::kPortClosedText});
    EXPECT_FALSE(upload->running());
}

TEST_F(UploadTest, APacingChosenDuringTheUploadAppliesAfterIt)
{
    files.paths.push_back(write("p.txt", "mA001\r\nmB002\r\n"));
    upload->mnuParamUP_Click();
    panel->setPacing(500);
    EXPECT_EQ(panel->timer3().interval(), 80ms);
    run();
    EXPECT_EQ(panel->timer3().interval(), 500ms);
}

TEST_F(UploadTest, ADumpStartedDuringTheUploadGoesFirstThenTheUploadGoesOn)
{
    files.paths.push_back(write("p.txt", "mA001\r\nmB002\r\nmC003\r\n"));
    upload->mnuParamUP_Click();
    const size_t first = journal.writes.size();
    for (int i = 0; i < 100 && journal.writes.size() == first; ++i)
        clock.advance(10ms);
    dumpTo("d.txt");
    ASSERT_TRUE(dump->running());
    runDump();
    ASSERT_FALSE(dump->running());
    EXPECT_EQ(panel->timer3().interval(), 80ms);
    const auto rest = run();
    EXPECT_EQ(rest, (std::vector<std::string>{"mB002\r\n", "mC003\r\n"}));
    const auto all = sentFrom(first);
    EXPECT_EQ(all.front(), "mA001\r\n");
    EXPECT_EQ(all.size(), 1u + 91u + 2u) << "the dump's 91 commands between";
    EXPECT_EQ(panel->timer3().interval(), 200ms);
}

TEST_F(UploadTest, AnOverlongLineIsCutAtTheCap)
{
    files.paths.push_back(write("p.txt", "m" + std::string(panel::kUploadLineCap + 100, 'A') + "\r\nmB002\r\n"));
    upload->mnuParamUP_Click();
    const auto sent = run();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].size(), panel::kUploadLineCap + 2);
    EXPECT_EQ(sent[1], "mB002\r\n");
}

} // namespace
} // namespace dumptest
