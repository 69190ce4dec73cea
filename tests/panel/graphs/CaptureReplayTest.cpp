// Capture replay: the file types, paging with its messages, the fields each record gives the
// graph, the files that cannot be loaded, unloading, and logs and screen-data files written by
// the data-file commands loaded back.
#include "panel/graphs/CaptureReplay.h"
#include "panel/graphs/DataFiles.h"
#include "panel/params/DumpFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace panel {
namespace {

using Icon = PanelUi::Icon;

struct Box {
    std::string text, title;
    Icon icon;
    bool operator==(const Box&) const = default;
};

class FakeCaptureUi : public CaptureUi {
public:
    std::deque<std::optional<std::string>> paths; // answers of the coming dialogs; none = Cancel
    std::vector<std::string> filters;
    std::vector<Box> boxes;
    std::vector<std::string> states; // at each captureChanged: the window caption
    int stopChanges = 0;

    std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) override
    {
        filters.push_back(filter);
        EXPECT_EQ(fileName, "");
        if (paths.empty())
            return std::nullopt;
        auto p = paths.front();
        paths.pop_front();
        return p;
    }
    void message(const std::string& text, const std::string& title, Icon icon) override
    {
        boxes.push_back({text, title, icon});
    }
    void captureChanged() override { states.push_back(replay ? replay->windowCaption() : ""); }
    void diagStopChanged() override { ++stopChanges; }

    const CaptureReplay* replay = nullptr;
};

const Box kEndBox{"Reached the end of the Capture", "End of Capture", Icon::Information};
const Box kStartBox{"Reached the begining of the Capture", "Begining of Capture", Icon::Information};
const Box kUnknownBox{"Unable to load capture file.  This file type may not yet be supported.", "",
                      Icon::Exclamation};

const char* const kAdmcHeader =
    "Time,El,Az,CLevel,Rel,Hdd,AGC,LAT,LON,ExtAGC,STAT123 RL,Notes, Velmar ADMC (Antenna Position) Screen Capture";

// Tenths as a logged angle text: 453 -> "45.3".
std::string degrees(int tenths)
{
    const char* sign = tenths < 0 ? "-" : "";
    tenths = std::abs(tenths);
    return sign + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// ADMC record k (1-based): El 45.3 for the first, one tenth more for each further record.
std::string admcRecord(int k)
{
    return "10:00:00," + degrees(452 + k) + "," + degrees(1000 + k) + ",0.5," + degrees(-k) + ",123.4," +
           std::to_string(2000 + k) + ",N 38.0,W 122.0,235,@@@ @@";
}

class CaptureReplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "capture-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        ui.replay = &replay;
        graph.timeOfDay = [] { return std::string("live"); };
        graph.mnuADMC_Click(); // the ADMC graph shown: LV, AZ, REL, SIGNAL
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::string write(const std::string& name, const std::vector<std::string>& lines, const char* end = "\r\n")
    {
        const std::string p = dir + "/" + name;
        std::ofstream f(p, std::ios::binary);
        for (const auto& l : lines)
            f << l << end;
        return p;
    }
    void load(const std::string& path)
    {
        ui.paths.push_back(path);
        replay.mnuLoadDataLog_Click();
    }
    std::string loadLines(const std::vector<std::string>& lines, const char* end = "\r\n")
    {
        const std::string p = write("c" + std::to_string(files++) + ".csv", lines, end);
        replay.mnuUnloadDataLog_Click();
        load(p);
        return p;
    }
    std::int16_t trace(int t, int slot) const { return graph.traceValue(t, slot); }

    std::string dir;
    int files = 0;
    PanelShared shared;
    MainState main;
    GraphModel graph{shared, main};
    FakeCaptureUi ui;
    CaptureReplay replay{shared, main, graph, ui};
};

// ---------------------------------------------------------------- file types

TEST(CaptureTypes, FirstLineDecidesTheModeCaseSensitivelyInTableOrder)
{
    struct Case {
        std::string header;
        std::optional<int> mode;
    };
    std::vector<Case> cases;
    // Every screen-data file the panel writes, and every data log that has a header line.
    const std::optional<int> screenModes[7] = {0, 1, 2, 3, 4, std::nullopt, 6};
    const std::optional<int> logModes[7] = {0, 1, 2, 3, 4, std::nullopt, 1};
    for (int m = 0; m < 7; ++m) {
        cases.push_back({*screenHeader(m, "Notes"), screenModes[m]});
        if (const auto h = logHeader(m, "Notes"))
            cases.push_back({*h, logModes[m]});
    }
    cases.insert(cases.end(), {
        {"", std::nullopt},
        {"velmar admc", std::nullopt},
        {"VELMAR ADMC", std::nullopt},
        {"Velmar Disp IVC", std::nullopt},
        {"Velmar Disp", std::nullopt},
        {"garbage Velmar Disp tc garbage", 4},
        // The note text comes before the title: the first type of the table found wins.
        {*screenHeader(1, "Velmar ADMC"), 0},
        {*screenHeader(0, "Velmar Disp w"), 0},
        {*logHeader(2, "Velmar Disp tc"), 4},
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(captureMode(c.header), c.mode);
    }
}

// ---------------------------------------------------------------- paging

TEST_F(CaptureReplayTest, ThousandRecordsPageByPageWithTheEndAndBeginningMessages)
{
    std::vector<std::string> lines{kAdmcHeader};
    for (int k = 1; k <= 1000; ++k)
        lines.push_back(admcRecord(k));
    lines.push_back(kDumpHeader1);
    lines.push_back(kDumpHeader2);
    const std::string path = write("admc.csv", lines);
    graph.in.lv = 5; // a live sample sets baselines other than the page's
    graph.Pgraph();
    ASSERT_EQ(graph.baseline(0), 5);

    load(path);
    ASSERT_TRUE(replay.loaded());
    EXPECT_EQ(ui.filters, std::vector<std::string>{
        "Data (*.csv, *.txt) |*.csv;*.txt|Text (*.txt, *.prn) |*.txt;*.prn|All files (*.*)|*.*"});
    EXPECT_EQ(ui.states, std::vector<std::string>{"TAV Remote Panel - Log " + path});
    EXPECT_TRUE(shared.diagStop);
    EXPECT_GE(ui.stopChanges, 1);
    EXPECT_TRUE(ui.boxes.empty());
    // Page 1: records 1..640 in the ring, every trace centred on record 1.
    EXPECT_EQ(graph.sampleCounter(), 640);
    for (int slot = 0; slot < 640; ++slot) {
        ASSERT_EQ(trace(0, slot), 453 + slot) << slot; // LV
        ASSERT_EQ(trace(1, slot), 1001 + slot) << slot; // AZ
    }
    EXPECT_EQ(graph.baseline(0), 453);
    EXPECT_EQ(graph.baseline(1), 1001);
    EXPECT_EQ(graph.baseline(2), -1);
    EXPECT_EQ(graph.baseline(3), 2001);

    replay.cmdLDLScrollForward_Click(); // records 641..1000, up to the dump
    EXPECT_EQ(replay.position(), 640);
    EXPECT_EQ(graph.sampleCounter(), 360);
    EXPECT_EQ(trace(0, 0), 453 + 640);
    EXPECT_EQ(trace(0, 359), 453 + 999);
    EXPECT_EQ(graph.baseline(0), 453) << "only the first page is centred";
    EXPECT_TRUE(ui.boxes.empty());

    replay.cmdLDLScrollForward_Click();
    EXPECT_EQ(ui.boxes, std::vector<Box>{kEndBox});
    EXPECT_EQ(replay.position(), 640);
    EXPECT_EQ(graph.sampleCounter(), 360) << "the page shown stays";

    replay.cmdLDLScrollBack_Click();
    EXPECT_EQ(replay.position(), 0);
    EXPECT_EQ(graph.sampleCounter(), 640);
    EXPECT_EQ(trace(0, 0), 453);
    replay.cmdLDLScrollBack_Click();
    EXPECT_EQ(ui.boxes, (std::vector<Box>{kEndBox, kStartBox}));
    EXPECT_EQ(replay.position(), 0);
    EXPECT_EQ(ui.filters.size(), 1u) << "pages are read from the file loaded";
    EXPECT_EQ(ui.states.size(), 1u);
}

TEST_F(CaptureReplayTest, ThePageAfterTheLastRecordIsTheEndThoughTheDumpFollows)
{
    std::vector<std::string> lines{kAdmcHeader};
    for (int k = 1; k <= 640; ++k)
        lines.push_back(admcRecord(k));
    for (int i = 0; i < 93; ++i)
        lines.push_back("'dump line " + std::to_string(i));
    loadLines(lines);
    ASSERT_EQ(graph.sampleCounter(), 640);
    replay.cmdLDLScrollForward_Click();
    EXPECT_EQ(ui.boxes, std::vector<Box>{kEndBox});
    EXPECT_EQ(replay.position(), 0);
    EXPECT_EQ(graph.sampleCounter(), 640);
}

TEST_F(CaptureReplayTest, UnloadClearsResumesLiveQueriesAndTheNextLoadStartsAtPageOne)
{
    std::vector<std::string> lines{kAdmcHeader};
    for (int k = 1; k <= 700; ++k)
        lines.push_back(admcRecord(k));
    const std::string path = loadLines(lines);
    replay.cmdLDLScrollForward_Click();
    ASSERT_EQ(replay.position(), 640);
    const int stops = ui.stopChanges;

    replay.cmdUnloadDataLog_Click();
    EXPECT_FALSE(replay.loaded());
    EXPECT_EQ(ui.states.back(), "TAV Remote Panel");
    EXPECT_EQ(graph.sampleCounter(), 0);
    EXPECT_FALSE(shared.diagStop);
    EXPECT_EQ(ui.stopChanges, stops + 1);

    // Paging does nothing now; loading again starts with the first page.
    replay.cmdLDLScrollForward_Click();
    replay.cmdLDLScrollBack_Click();
    EXPECT_TRUE(ui.boxes.empty());
    load(path);
    EXPECT_EQ(replay.position(), 0);
    EXPECT_EQ(graph.sampleCounter(), 640);
}

// ---------------------------------------------------------------- fields

TEST_F(CaptureReplayTest, AdmcFieldsInTenthsSignalRoundedExtAgcWrittenBack)
{
    struct Case {
        const char* record;
        std::int16_t lv, az, rel, hdg, signal;
        const char* extAgc;
    };
    const Case cases[] = {
        {"t,45.3,123.4,9.9,-12.5,359.9,2550,N,E,2.35", 453, 1234, -125, 3599, 2550, "2.35"},
        {"t,0.25,0.75,,,-0.75,2550.5,,,235abc", 2, 8, 0, -8, 2550, "235"}, // halves to even
        {"t,abc,,x,  7,+1.5e3,-3.5,,,-0", 0, 0, 70, 15, -4, "0"},           // lenient numbers
        {"t,99999,-99999,,4000,-4000,70000,,,12", 32767, -32768, 32767, -32768, 32767, "12"},
        {"t", 0, 0, 0, 0, 0, "0"}, // fields missing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        graph.in.cl = 17;
        loadLines({kAdmcHeader, c.record});
        ASSERT_EQ(graph.sampleCounter(), 1);
        EXPECT_EQ(graph.in.lv, c.lv);
        EXPECT_EQ(graph.in.az, c.az);
        EXPECT_EQ(graph.in.rel, c.rel);
        EXPECT_EQ(graph.in.hdg, c.hdg);
        EXPECT_EQ(graph.in.signal, c.signal);
        EXPECT_EQ(graph.in.extAgc, c.extAgc);
        EXPECT_EQ(graph.in.cl, 17) << "the cross-level is not read";
        // The ADMC traces: LV, AZ, REL, SIGNAL.
        EXPECT_EQ(trace(0, 0), c.lv);
        EXPECT_EQ(trace(1, 0), c.az);
        EXPECT_EQ(trace(2, 0), c.rel);
        EXPECT_EQ(trace(3, 0), c.signal);
    }
}

TEST_F(CaptureReplayTest, StreamRecordsInTheirModeWithRelTextAndPhase)
{
    struct Case {
        const char* header;
        int mode;
        const char* poll; // the mode's setup ran
        std::int16_t phase;
        const char* record; // as the ring holds it afterwards
    };
    const char* const r = "12:00:01,5,-6,7,12.5,9";
    const Case cases[] = {
        {"Time,Cl,Lv,Az,Rel,Phase,Notes,Velmar Disp ivc (Loop Error) Screen Capture", 1,
         "!?   x!?   xS!?   x!?   xP!?   x!?   xH!?   x!?   x@!?   x!?   xu!?   x!?   x!?   S", -32,
         "12:00:01,5,-6,7,12.5,-32"},
        {"Time,Cl,Lv,Az,Rel,Notes,Velmar Disp v (Reference) Screen Capture", 2,
         "S!?   v!?   vH!?   vu!?   vP!?   S!?   v", 0, "12:00:01,5,-6,7,12.5"},
        {"Time,Cl,Lv,Az,Rel,Notes,Velmar Disp w (Rate Sensor) Screen Capture", 3,
         "S!?   wP!?   wH!?   wu!?   w!?   S!?   w", 0, "12:00:01,5,-6,7,12.5"},
        {"Time,Cl,Lv,Az,Rel,Notes,Velmar Disp tc (Torque Command) Screen Capture", 4,
         "S!?   yP!?   yH!?   yu!?   y!?   S!?   y", 0, "12:00:01,5,-6,7,12.5"},
        {"Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Notes,Velmar DISP w (Rate Sensor) Log File", 3,
         "S!?   wP!?   wH!?   wu!?   w!?   S!?   w", 0, "12:00:01,5,-6,7,12.5"},
        {"Time,Cl,Lv,Az,Rel,Phase,Notes,Velmar Circlex X-Y / Phase Screen Capture", 6,
         "!?   x!?   xS!?   x!?   xP!?   x!?   xH!?   x!?   x@!?   x!?   x!?   x!?   xu!?   S", 9,
         "12:00:01,5,-6,7,12.5,9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        graph.mnuADMC_Click(); // a live mode other than the capture's
        main.relText = "live";
        loadLines({c.header, r, "12:00:02,x,70000,-70000,,"});
        ASSERT_EQ(graph.mode(), c.mode);
        EXPECT_EQ(main.poll, c.poll);
        EXPECT_TRUE(shared.diagStop) << "checked after the mode setup cleared it";
        ASSERT_EQ(graph.sampleCounter(), 2);
        EXPECT_EQ(trace(0, 0), 5);
        EXPECT_EQ(trace(1, 0), -6);
        EXPECT_EQ(trace(2, 0), 7);
        if (c.mode == kModeIvc || c.mode == kModeXY) {
            EXPECT_EQ(trace(3, 0), c.phase);
        }
        EXPECT_EQ(graph.record(0), c.record);
        EXPECT_EQ(trace(0, 1), 0);
        EXPECT_EQ(trace(1, 1), 32767);
        EXPECT_EQ(trace(2, 1), -32768);
        EXPECT_EQ(main.relText, "live") << "the decoded Rel text is put back";
    }
}

TEST_F(CaptureReplayTest, LineEndsAndOverlongLines)
{
    const std::string longField(100 * 1024, '7');
    for (const char* end : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(int(end[0]) + 10 * int(end[1]));
        loadLines({kAdmcHeader, "t,1.0,2.0", "t,3.0," + longField + ",", "t,5.0,6.0", "'dump"}, end);
        ASSERT_EQ(graph.sampleCounter(), 3) << "a long line stays one record";
        EXPECT_EQ(trace(0, 0), 10);
        EXPECT_EQ(trace(0, 1), 30);
        EXPECT_EQ(trace(1, 1), 32767);
        EXPECT_EQ(trace(0, 2), 50);
        EXPECT_EQ(trace(1, 2), 60);
    }
}

TEST_F(CaptureReplayTest, ReplayedRecordsNeverReachAnOpenDataLog)
{
    std::vector<std::string> logged;
    graph.onRecord = [&](const std::string& rec) { logged.push_back(rec); };
    loadLines({kAdmcHeader, admcRecord(1), admcRecord(2)});
    ASSERT_EQ(graph.sampleCounter(), 2);
    EXPECT_TRUE(logged.empty());
    graph.Pgraph(); // a live sample afterwards is logged again, stamped with the live time
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].substr(0, 5), "live,");
}

// ---------------------------------------------------------------- failures

TEST_F(CaptureReplayTest, FilesThatCannotBeLoadedLeaveNothingLoaded)
{
    struct Case {
        const char* what;
        std::optional<std::string> path;
        std::vector<Box> boxes;
    };
    const std::string unknown = write("unknown.csv", {"Freq, AGC,,,Notes,Velmar Spectrum Analyzer Screen Capture"});
    const std::string empty = write("empty.csv", {});
    const std::string headerOnly = write("header.csv", {kAdmcHeader, "'ACU Parameter Dump - Legacy Mode"});
    const std::string binary = dir + "/binary.csv";
    {
        std::ofstream f(binary, std::ios::binary);
        for (int i = 0; i < 70000; ++i)
            f.put(char(i * 7));
    }
    const Case cases[] = {
        {"cancelled", std::nullopt, {}},
        {"missing", dir + "/none.csv", {{"No such file or directory", "", Icon::Exclamation}}},
        {"folder", dir, {{"Is a directory", "", Icon::Exclamation}}},
        {"device", std::string("/dev/null"), {kUnknownBox}},
        {"unknown type", unknown, {kUnknownBox}},
        {"empty", empty, {kUnknownBox}},
        {"binary", binary, {kUnknownBox}},
        {"no records", headerOnly, {kEndBox}},
    };
    graph.mnuDIvc_Click();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui.boxes.clear();
        ui.paths.push_back(c.path);
        replay.mnuLoadDataLog_Click();
        EXPECT_EQ(ui.boxes, c.boxes);
        EXPECT_FALSE(replay.loaded());
        EXPECT_EQ(replay.position(), 0);
        EXPECT_TRUE(ui.states.empty());
        EXPECT_EQ(ui.stopChanges, 0);
        EXPECT_EQ(graph.mode(), kModeIvc);
    }
}

TEST_F(CaptureReplayTest, AFileGoneWhilePagingShowsTheErrorAndKeepsThePage)
{
    std::vector<std::string> lines{kAdmcHeader};
    for (int k = 1; k <= 700; ++k)
        lines.push_back(admcRecord(k));
    const std::string path = loadLines(lines);
    std::filesystem::remove(path);
    replay.cmdLDLScrollForward_Click();
    EXPECT_EQ(ui.boxes, (std::vector<Box>{{"No such file or directory", "", Icon::Exclamation}}));
    EXPECT_EQ(replay.position(), 0);
    EXPECT_TRUE(replay.loaded());
    EXPECT_EQ(graph.sampleCounter(), 640);
}

} // namespace
} // namespace panel

// ---------------------------------------------------------------- written, then loaded back

namespace dumptest {
namespace {

class CaptureRoundTripTest : public DumpTest {
protected:
    struct Files : panel::CaptureUi {
        std::optional<std::string> path;
        std::vector<std::string> boxes;
        std::optional<std::string> openFileDialog(const std::string&, const std::string&) override { return path; }
        void message(const std::string& text, const std::string&, panel::PanelUi::Icon) override { boxes.push_back(text); }
        void captureChanged() override {}
        void diagStopChanged() override {}
    };

    // Live samples through the data-file commands into `name`; the file is closed by its dump.
    // Returns the live graph's trace values, sample by sample.
    std::vector<std::array<std::int16_t, 4>> writeLive(int mode, bool log, int samples, const std::string& name)
    {
        panel::GraphModel live(shared, main);
        panel::DataFiles data(shared, *dump, files);
        int tick = 0;
        live.timeOfDay = [&] { return "09:" + std::to_string(10 + tick / 60) + ":" + std::to_string(10 + tick % 60); };
        live.onRecord = [&](const std::string& r) { data.writeRecord(r); };
        data.graphMode = [&] { return live.mode(); };
        data.shownRecords = [&] { return live.shownRecords(); };
        live.mnuGraph_Click(mode);
        files.paths.push_back(path(name));
        if (log)
            data.mnuLog_Click();
        std::vector<std::array<std::int16_t, 4>> traces;
        for (int k = 0; k < samples; ++k, ++tick) {
            const int lv = 300 + k, az = 1800 - 3 * k, rel = k - 150, signal = 2000 + (k % 17);
            main.elText = std::to_string(lv / 10) + "." + std::to_string(lv % 10);
            main.azText = std::to_string(az / 10) + "." + std::to_string(az % 10);
            main.relText = (rel < 0 ? "-" : "") + std::to_string(std::abs(rel) / 10) + "." +
                           std::to_string(std::abs(rel) % 10);
            main.agcText = std::to_string(signal);
            main.eAgcText = "235";
            live.in.lv = std::int16_t(lv);
            live.in.az = std::int16_t(az);
            live.in.rel = std::int16_t(rel);
            live.in.signal = std::int16_t(signal);
            live.in.stream = {std::int16_t(k - 100), std::int16_t(2 * k), std::int16_t(-k), std::int16_t(k % 64)};
            live.Pgraph();
            const int slot = k % 640;
            traces.push_back({live.traceValue(0, slot), live.traceValue(1, slot), live.traceValue(2, slot),
                              live.traceValue(3, slot)});
            if (!log)
                liveRecords.push_back(live.record(slot));
        }
        if (log)
            data.mnuLog_Click();
        else
            data.mnuSaveScreen_Click();
        runDump();
        EXPECT_EQ(dump->outcome(), panel::ParamDump::Outcome::Completed);
        return traces;
    }

    std::vector<std::string> liveRecords;
    Files ui;
};

TEST_F(CaptureRoundTripTest, AnAdmcDataLogReplaysItsSamples)
{
    const auto traces = writeLive(panel::kModeAdmc, true, 300, "admc.csv");
    const auto lines = fileLines("admc.csv");
    ASSERT_GT(lines.size(), 301u);
    ASSERT_EQ(lines[301], panel::kDumpHeader1) << "the log ends with its dump";

    panel::GraphModel replayed(shared, main);
    replayed.mnuADMC_Click(); // shown with the same trace choices
    panel::CaptureReplay replay(shared, main, replayed, ui);
    ui.path = path("admc.csv");
    replay.mnuLoadDataLog_Click();
    EXPECT_TRUE(ui.boxes.empty());
    ASSERT_EQ(replayed.sampleCounter(), 300);
    for (int k = 0; k < 300; ++k)
        for (int t = 0; t < 4; ++t)
            ASSERT_EQ(replayed.traceValue(t, k), traces[size_t(k)][size_t(t)]) << "sample " << k << " trace " << t;
    EXPECT_EQ(replayed.in.extAgc, "235");
}

TEST_F(CaptureRoundTripTest, StreamScreenDataReplaysItsSamplesAndRecords)
{
    for (const int mode : {panel::kModeV, panel::kModeXY}) {
        SCOPED_TRACE(mode);
        if (mode != panel::kModeV)
            restart();
        liveRecords.clear();
        const auto traces = writeLive(mode, false, 250, "screen.csv");
        ASSERT_EQ(fileLines("screen.csv").size(), 1u + 250u + 93u);

        panel::GraphModel replayed(shared, main);
        panel::CaptureReplay replay(shared, main, replayed, ui);
        ui.path = path("screen.csv");
        replay.mnuLoadDataLog_Click();
        EXPECT_TRUE(ui.boxes.empty());
        ASSERT_EQ(replayed.mode(), mode);
        ASSERT_EQ(replayed.sampleCounter(), 250);
        const int traceCount = mode == panel::kModeXY ? 4 : 3;
        for (int k = 0; k < 250; ++k) {
            for (int t = 0; t < traceCount; ++t)
                ASSERT_EQ(replayed.traceValue(t, k), traces[size_t(k)][size_t(t)]) << "sample " << k;
            ASSERT_EQ(replayed.record(k), liveRecords[size_t(k)]);
        }
    }
}

} // namespace
} // namespace dumptest
