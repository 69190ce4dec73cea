// Data logs and screen-data files: headers by graph mode, records, the closing dump through
// the real link and decoder, the two files side by side, refusals and write errors.
#include "panel/graphs/DataFiles.h"
#include "panel/params/DumpFixture.h"

#include <gtest/gtest.h>

namespace dumptest {
namespace {

using Outcome = panel::ParamDump::Outcome;

const char* const kLogHeaders[7] = {
    "Time,El,Az,CL,Rel,Hdd,AGC,LAT,LON,ExtAGC,Stat123 RL,Deck 3,Velmar ADMC (Antenna Position) Log File",
    "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Deck 3,Velmar DISP ivc (Loop Error) Log File",
    "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Deck 3,Velmar DISP v (Reference) Log File",
    "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Deck 3,Velmar DISP w (Rate Sensor) Log File",
    "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Deck 3,Velmar DISP tc (Torque Command) Log File",
    nullptr, // Spectrum: no header line
    "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Deck 3,Velmar DISP ivc (Loop Error) Log File",
};

const char* const kScreenHeaders[7] = {
    "Time,El,Az,CLevel,Rel,Hdd,AGC,LAT,LON,ExtAGC,STAT123 RL,Deck 3, Velmar ADMC (Antenna Position) Screen Capture",
    "Time,Cl,Lv,Az,Rel,Phase,Deck 3,Velmar Disp ivc (Loop Error) Screen Capture",
    "Time,Cl,Lv,Az,Rel,Deck 3,Velmar Disp v (Reference) Screen Capture",
    "Time,Cl,Lv,Az,Rel,Deck 3,Velmar Disp w (Rate Sensor) Screen Capture",
    "Time,Cl,Lv,Az,Rel,Deck 3,Velmar Disp tc (Torque Command) Screen Capture",
    "Freq, AGC,,,Deck 3,Velmar Spectrum Analyzer Screen Capture",
    "Time,Cl,Lv,Az,Rel,Phase,Deck 3,Velmar Circlex X-Y / Phase Screen Capture",
};

const std::string kLastDumpLine = "'COMM IF VER 2.02";

class DataFilesTest : public DumpTest {
protected:
    void SetUp() override
    {
        DumpTest::SetUp();
        data = std::make_unique<panel::DataFiles>(shared, *dump, files);
        data->graphMode = [this] { return mode; };
        data->shownRecords = [this] { return shown; };
        data->captionsChanged = [this] { captions.push_back(std::string(data->logCaption()) + " | " + data->windowCaption()); };
    }
    void TearDown() override
    {
        data.reset();
        DumpTest::TearDown();
    }

    void startLog(const std::string& name)
    {
        files.paths.push_back(path(name));
        data->mnuLog_Click();
    }
    void saveScreen(const std::string& name)
    {
        files.paths.push_back(path(name));
        data->mnuSaveScreen_Click();
    }

    int mode = 1;
    std::vector<std::string> shown;
    std::vector<std::string> captions;
    std::unique_ptr<panel::DataFiles> data;
};

TEST_F(DataFilesTest, LogHeaderByGraphModeAndNoneInSpectrumMode)
{
    for (int m = 0; m < 7; ++m) {
        SCOPED_TRACE("mode " + std::to_string(m));
        restart();
        mode = m;
        data->txtNotes = "Deck 3";
        startLog("log.csv");
        ASSERT_TRUE(data->logOpen());
        data->writeRecord("12:00:01,1,2,3,0.0");
        std::vector<std::string> want;
        if (kLogHeaders[m])
            want.push_back(kLogHeaders[m]);
        want.push_back("12:00:01,1,2,3,0.0");
        EXPECT_EQ(fileLines("log.csv"), want);
    }
}

TEST_F(DataFilesTest, ScreenDataHeaderByGraphModeThenTheShownRecordsThenTheDump)
{
    for (int m = 0; m < 7; ++m) {
        SCOPED_TRACE("mode " + std::to_string(m));
        restart();
        mode = m;
        data->txtNotes = "Deck 3";
        shown = {"12:00:01,1,2,3,0.0", "12:00:02,4,5,6,0.1"};
        saveScreen("screen.csv");
        runDump();
        EXPECT_EQ(dump->outcome(), Outcome::Completed);
        const auto lines = fileLines("screen.csv");
        ASSERT_EQ(lines.size(), 1u + 2u + 93u);
        EXPECT_EQ(lines[0], kScreenHeaders[m]);
        EXPECT_EQ(lines[1], shown[0]);
        EXPECT_EQ(lines[2], shown[1]);
        EXPECT_EQ(lines[3], panel::kDumpHeader1);
        EXPECT_EQ(lines.back(), kLastDumpLine);
        EXPECT_TRUE(captions.empty()); // no data log was involved
    }
}

TEST_F(DataFilesTest, ScreenDataAfterClearHoldsTheHeaderAndTheDump)
{
    mode = 2;
    saveScreen("screen.csv");
    ASSERT_EQ(files.dialogs.size(), 1u);
    EXPECT_EQ(files.dialogs[0].filter,
              "Data (*.csv, *.txt) |*.csv;*.txt|Text (*.txt, *.prn) |*.txt;*.prn|All files (*.*)|*.*");
    EXPECT_EQ(files.dialogs[0].fileName, "");
    runDump();
    const auto lines = fileLines("screen.csv");
    ASSERT_EQ(lines.size(), 1u + 93u);
    EXPECT_EQ(lines[0], "Time,Cl,Lv,Az,Rel,Notes,Velmar Disp v (Reference) Screen Capture");
    EXPECT_EQ(lines[1], panel::kDumpHeader1);
}

TEST_F(DataFilesTest, LogRecordsThenItsClosingDumpWithRecordsGoingOnUntilItEnds)
{
    data->writeRecord("before"); // no log yet
    startLog("log.csv");
    ASSERT_EQ(files.dialogs.size(), 1u);
    EXPECT_EQ(files.dialogs[0].filter, "Data (*.csv) |*.csv|Text (*.txt, *.prn) |*.txt;*.prn|All files (*.*)|*.*");
    EXPECT_EQ(files.dialogs[0].fileName, "");
    EXPECT_TRUE(shared.dataLog);
    EXPECT_EQ(std::string(data->logCaption()), "Close Data Log");
    EXPECT_EQ(data->windowCaption(), "TAV Remote Panel - Log " + path("log.csv"));
    data->writeRecord("r1");
    data->writeRecord("r2");

    data->mnuLog_Click(); // close: the dump runs into the log
    EXPECT_TRUE(dump->running());
    EXPECT_TRUE(data->logOpen());
    clock.advance(3s);
    data->writeRecord("during");
    runDump();
    EXPECT_EQ(dump->outcome(), Outcome::Completed);
    data->writeRecord("after");

    EXPECT_FALSE(data->logOpen());
    EXPECT_FALSE(shared.dataLog);
    EXPECT_EQ(captions, (std::vector<std::string>{"Close Data Log | TAV Remote Panel - Log " + path("log.csv"),
                                                  "Start Data Log | TAV Remote Panel"}));
    const auto lines = fileLines("log.csv");
    ASSERT_EQ(lines.size(), 1u + 2u + 93u + 1u);
    EXPECT_EQ(lines[0], "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Notes,Velmar DISP ivc (Loop Error) Log File");
    EXPECT_EQ(lines[1], "r1");
    EXPECT_EQ(lines[2], "r2");
    EXPECT_EQ(lines[3], panel::kDumpHeader1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "during"), 1);
    EXPECT_EQ(lines.back(), kLastDumpLine);
}

TEST_F(DataFilesTest, ScreenDataWhileTheLogIsOpenKeepsTheLogAndItsRecords)
{
    startLog("log.csv");
    data->writeRecord("r1");
    shown = {"s1"};
    saveScreen("screen.csv");
    clock.advance(3s);
    data->writeRecord("r2"); // during the screen file's dump: to the log only
    runDump();
    EXPECT_EQ(dump->outcome(), Outcome::Completed);
    EXPECT_TRUE(data->logOpen());
    EXPECT_TRUE(shared.dataLog);
    EXPECT_EQ(std::string(data->logCaption()), "Close Data Log");
    data->writeRecord("r3");

    const auto screen = fileLines("screen.csv");
    ASSERT_EQ(screen.size(), 1u + 1u + 93u);
    EXPECT_EQ(screen[1], "s1");
    EXPECT_EQ(std::count(screen.begin(), screen.end(), "r2"), 0);
    EXPECT_EQ(fileLines("log.csv"), (std::vector<std::string>{"Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Notes,Velmar DISP ivc (Loop Error) Log File",
                                                              "r1", "r2", "r3"}));

    // The log still closes with its own dump.
    data->mnuLog_Click();
    runDump();
    EXPECT_FALSE(data->logOpen());
    EXPECT_EQ(fileLines("log.csv").size(), 4u + 93u);
}

TEST_F(DataFilesTest, RefusalsWhileTheLinkIsClosedOrADumpRuns)
{
    const std::string portClosed =
        "Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect.";
    panel->mnuOpen_Click(); // closed
    data->mnuLog_Click();
    data->mnuSaveScreen_Click();
    EXPECT_EQ(files.errors, (std::vector<std::string>{portClosed, portClosed}));
    EXPECT_TRUE(files.dialogs.empty());
    EXPECT_FALSE(data->logOpen());

    restart();
    startLog("log.csv");
    data->mnuLog_Click(); // its closing dump runs
    ASSERT_TRUE(dump->running());
    files.dialogs.clear();
    data->mnuSaveScreen_Click();
    data->mnuLog_Click();
    dump->mnuParamDump_Click();
    EXPECT_EQ(files.errors, (std::vector<std::string>{panel::kDumpRunningText, panel::kDumpRunningText}));
    EXPECT_EQ(files.messages, (std::vector<std::string>{panel::kLogOpenText}));
    EXPECT_TRUE(files.dialogs.empty());
    runDump();
    EXPECT_EQ(dump->outcome(), Outcome::Completed);
}

TEST_F(DataFilesTest, LogClosedWithoutTheLinkClosesAtOnceWithoutADump)
{
    startLog("log.csv");
    data->writeRecord("r1");
    panel->mnuOpen_Click(); // the link closes
    data->mnuLog_Click();
    EXPECT_FALSE(dump->running());
    EXPECT_FALSE(data->logOpen());
    EXPECT_EQ(data->windowCaption(), "TAV Remote Panel");
    EXPECT_EQ(fileLines("log.csv").size(), 2u);
}

TEST_F(DataFilesTest, ClosingDumpEndedByTimeoutCancelOrProgramEndClosesTheLog)
{
    struct Case {
        const char* name;
        std::function<void()> end;
        Outcome outcome;
        const char* lastLine;
    };
    const Case cases[] = {
        {"timeout", [this] { acu.answerFirst = 0; runDump(); }, Outcome::TimedOut, "'CMD\tValue\tResult\tDescription"},
        {"cancel", [this] { clock.advance(2s); dump->cancel(); }, Outcome::Cancelled, ""},
        {"program end", [this] { clock.advance(2s); data->shutdown(); }, Outcome::Cancelled, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        startLog("log.csv");
        data->writeRecord("r1");
        data->mnuLog_Click();
        c.end();
        EXPECT_FALSE(dump->running());
        EXPECT_EQ(dump->outcome(), c.outcome);
        EXPECT_FALSE(data->logOpen());
        EXPECT_FALSE(shared.dataLog);
        EXPECT_EQ(captions.back(), "Start Data Log | TAV Remote Panel");
        std::string rest;
        const auto lines = fileLines("log.csv", &rest);
        EXPECT_EQ(rest, "");
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[1], "r1");
        EXPECT_EQ(lines.back(), c.lastLine);
        data->writeRecord("late");
        EXPECT_EQ(fileLines("log.csv"), lines);
    }
    EXPECT_TRUE(files.errors.empty());
}

TEST_F(DataFilesTest, LogOnAFullDeviceIsShownOnceAndStaysClosed)
{
    mode = 0;
    files.paths = {"/dev/full"};
    files.answers = {true};
    data->mnuLog_Click();
    EXPECT_EQ(files.errors, (std::vector<std::string>{std::strerror(ENOSPC)}));
    EXPECT_FALSE(data->logOpen());
    EXPECT_FALSE(shared.dataLog);
    EXPECT_TRUE(captions.empty());
    data->writeRecord("r1");
    EXPECT_EQ(files.errors.size(), 1u);
}

TEST_F(DataFilesTest, DiskFullWhileLoggingClosesTheLogAndKeepsEveryRecordWritten)
{
    struct Case {
        const char* name;
        bool duringDump; // the disk fills while the closing dump runs
    };
    for (const Case c : {Case{"records", false}, Case{"closing dump", true}}) {
        SCOPED_TRACE(c.name);
        restart();
        startLog("log.csv");
        std::vector<std::string> written;
        {
            FileSizeLimit limit(c.duringDump ? 1500 : 400);
            for (int i = 0; i < 20; ++i) {
                const std::string r = "12:00:" + std::to_string(10 + i) + ",100,200,300,12.5";
                data->writeRecord(r);
                if (!data->logOpen())
                    break;
                written.push_back(r);
            }
            if (c.duringDump) {
                ASSERT_TRUE(data->logOpen());
                data->mnuLog_Click();
                runDump();
                EXPECT_EQ(dump->outcome(), Outcome::WriteFailed);
            } else {
                EXPECT_LT(written.size(), 20u);
            }
            data->writeRecord("late");
        }
        EXPECT_EQ(files.errors, (std::vector<std::string>{std::strerror(EFBIG)}));
        EXPECT_FALSE(data->logOpen());
        EXPECT_FALSE(shared.dataLog);
        EXPECT_FALSE(dump->running());
        EXPECT_EQ(captions.back(), "Start Data Log | TAV Remote Panel");
        const auto lines = fileLines("log.csv");
        ASSERT_GE(lines.size(), 1u + written.size());
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 1 + long(written.size())), written);
        if (c.duringDump) {
            EXPECT_EQ(lines[1 + written.size()], panel::kDumpHeader1);
        }
    }
}

} // namespace
} // namespace dumptest
