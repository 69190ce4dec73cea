// The parameter dump and the data log of the panel against the simulated ACU across a real
// pseudo-terminal, on virtual time: every dump line carries the value the ACU holds, and a data
// log of 200 samples ends with the dump appended.
#include "SimBench.h"

#include "panel/graphs/PanelGraphs.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using common::Ms;

class Files : public panel::FileUi {
public:
    explicit Files(std::string path) : path_(std::move(path)) {}
    std::optional<std::string> saveFileDialog(const std::string&, const std::string&) override { return path_; }
    bool askYesNo(const std::string&) override { return true; }
    void showError(const std::string& t) override { errors.push_back(t); }
    void showMessage(const std::string& t) override { errors.push_back(t); }
    std::vector<std::string> errors;

private:
    std::string path_;
};

std::vector<std::string> linesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    std::string l;
    while (std::getline(in, l)) {
        EXPECT_TRUE(!l.empty() && l.back() == '\r') << "every line ends CR LF: " << l;
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        out.push_back(l);
    }
    return out;
}

class PanelDumpSim : public ::testing::Test {
protected:
    PanelDumpSim() : files(dir.filePath("out.txt").toStdString()), graphs(bench.shared, bench.main, *bench.core, files)
    {
        bench.link->Startup();
    }
    // Runs virtual time until done() (bounded).
    bool runUntil(const std::function<bool()>& done, Ms limit)
    {
        const Ms end = bench.clock.now() + limit;
        while (!done() && bench.clock.now() < end)
            bench.clock.advance(Ms{10});
        return done();
    }
    std::string path() const { return dir.filePath("out.txt").toStdString(); }

    QTemporaryDir dir;
    integ::SimBench bench{integ::SimBench::Kind::Pty};
    Files files;
    panel::PanelGraphs graphs;
};

TEST_F(PanelDumpSim, EveryDumpLineCarriesTheValueTheControllerHolds)
{
    ASSERT_TRUE(runUntil([&] { return bench.shared.open && bench.main.timer1Tag == "1"; }, Ms{5000}));
    // What the controller holds, before and after: the measured values (heading, signal) may
    // move while the dump runs; every other line must show exactly what is stored.
    const auto& acu = bench.model.device();
    const auto memory = [&acu] {
        std::map<std::pair<char, int>, int> m;
        for (int code = 65; code <= 138; ++code)
            m[{'m', code}] = acu.parameter(static_cast<unsigned char>(code)) & 0xFF;
        for (int code = '0'; code <= ';'; ++code)
            m[{'n', code}] = acu.pcuParameter(static_cast<unsigned char>(code)) & 0xFF;
        return m;
    };
    const auto before = memory();
    graphs.dump.mnuParamDump_Click();
    ASSERT_TRUE(graphs.dump.running());
    ASSERT_TRUE(runUntil([&] { return !graphs.dump.running(); }, Ms{60000}));
    const auto after = memory();
    EXPECT_EQ(graphs.dump.outcome(), panel::ParamDump::Outcome::Completed);
    EXPECT_EQ(graphs.dump.unanswered(), 0);
    EXPECT_TRUE(files.errors.empty());

    const auto lines = linesOf(path());
    ASSERT_EQ(lines.size(), 2u + 91u);
    EXPECT_EQ(lines[0], "'ACU Parameter Dump - Legacy Mode");
    // A line per "m" and "n" read: its command, then the byte the controller holds for that code.
    int lineCount = 0, compared = 0;
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.size() < 8 || (l[0] != 'm' && l[0] != 'n') || l[2] != '\t')
            continue;
        ++lineCount;
        EXPECT_EQ(l.substr(6, 2), "\t'") << l;
        const std::pair<char, int> key{l[0], static_cast<unsigned char>(l[1])};
        if (before.at(key) != after.at(key))
            continue; // measured, moving
        EXPECT_EQ(std::stoi(l.substr(3, 3)), before.at(key)) << l;
        ++compared;
    }
    EXPECT_EQ(lineCount, 74 + 12);
    EXPECT_GE(compared, 70) << "nearly every parameter is a stored one";
    // The comment lines of the version and status replies.
    EXPECT_EQ(lines[2].rfind("'", 0), 0u);
    EXPECT_NE(lines[2].find("VER"), std::string::npos) << lines[2];
    // The pacing is back to the menu's.
    EXPECT_EQ(bench.link->timer3().interval(), Ms{bench.main.pacingMs});
}

TEST_F(PanelDumpSim, ADumpUploadedBackRestoresTheParametersItRecorded)
{
    ASSERT_TRUE(runUntil([&] { return bench.shared.open && bench.main.timer1Tag == "1"; }, Ms{5000}));
    auto& acu = bench.model.device();
    const auto dumpTo = [&](const std::string& name) {
        const std::string file = dir.filePath(QString::fromStdString(name)).toStdString();
        panel::OutputFile out;
        EXPECT_TRUE(out.open(file));
        EXPECT_TRUE(graphs.dump.start(out, false));
        EXPECT_TRUE(runUntil([&] { return !graphs.dump.running(); }, Ms{60000}));
        EXPECT_EQ(graphs.dump.outcome(), panel::ParamDump::Outcome::Completed);
        out.close();
        return linesOf(file);
    };
    const auto upload = [&](const std::string& file) {
        const size_t first = bench.departures.size();
        graphs.upload.openDialog = [&](const std::string&, const std::string&, const std::string&) {
            return std::optional<std::string>(file);
        };
        graphs.upload.mnuParamUP_Click();
        EXPECT_TRUE(graphs.upload.running());
        EXPECT_TRUE(runUntil([&] { return !graphs.upload.running(); }, Ms{60000}));
        std::vector<std::string> sent;
        for (size_t i = first; i < bench.departures.size(); ++i)
            sent.push_back(bench.departures[i].bytes);
        return sent;
    };
    // The data lines of a dump as a map from their command letters to the value.
    const auto values = [](const std::vector<std::string>& lines) {
        std::map<std::string, std::string> v;
        for (const auto& l : lines)
            if (l.size() >= 6 && (l[0] == 'm' || l[0] == 'n') && l[2] == '\t')
                v[l.substr(0, 2)] = l.substr(3, 3);
        return v;
    };

    const auto first = dumpTo("first.txt");
    const auto recorded = values(first);
    ASSERT_EQ(recorded.size(), 74u + 12u);
    ASSERT_NE(recorded.at("mG"), "077");
    ASSERT_NE(recorded.at("n2"), "055");

    // Three parameters changed through the ACU (the upload of a small file of its own).
    const std::string change = dir.filePath("change.txt").toStdString();
    std::ofstream(change, std::ios::binary) << "mG\t077\r\nmH\t066\r\nn2\t055\r\n";
    EXPECT_EQ(upload(change), (std::vector<std::string>{"mG077\r\n", "mH066\r\n", "n2055\r\n"}));
    EXPECT_EQ(acu.parameter('G'), 77);
    EXPECT_EQ(acu.parameter('H'), 66);
    EXPECT_EQ(acu.pcuParameter('2') & 0xFF, 55);

    // The first dump sent back: exactly the set commands its data lines describe, in order.
    const auto sent = upload(dir.filePath("first.txt").toStdString());
    std::vector<std::string> expected;
    for (const auto& l : first)
        if (l.size() >= 6 && (l[0] == 'm' || l[0] == 'n') && l[2] == '\t')
            expected.push_back(l.substr(0, 2) + l.substr(3, 3) + "\r\n");
    EXPECT_EQ(sent, expected);
    EXPECT_TRUE(files.errors.empty());

    // Dumped again: the changed parameters are back, and every stored one reads as recorded.
    const auto second = values(dumpTo("second.txt"));
    EXPECT_EQ(second.at("mG"), recorded.at("mG"));
    EXPECT_EQ(second.at("mH"), recorded.at("mH"));
    EXPECT_EQ(second.at("n2"), recorded.at("n2"));
    int same = 0;
    for (const auto& [key, value] : recorded)
        same += second.at(key) == value;
    EXPECT_GE(same, 80) << "all but the measured values (heading, signal, live PCU words)";
}

TEST_F(PanelDumpSim, ADataLogOf200SamplesEndsWithTheDump)
{
    ASSERT_TRUE(runUntil([&] { return bench.shared.open && bench.main.timer1Tag == "1"; }, Ms{5000}));
    bench.link->setPacing(50);
    graphs.graph.mnuGraph_Click(panel::kModeIvc);
    int records = 0;
    auto write = graphs.graph.onRecord;
    graphs.graph.onRecord = [&](const std::string& r) {
        records += graphs.files.logOpen();
        write(r);
    };
    graphs.files.mnuLog_Click();
    ASSERT_TRUE(graphs.files.logOpen());
    ASSERT_TRUE(runUntil([&] { return records >= 200; }, Ms{120000}));
    graphs.files.mnuLog_Click(); // Close Data Log: the dump into the log, which closes it
    ASSERT_TRUE(runUntil([&] { return !graphs.files.logOpen(); }, Ms{60000}));
    EXPECT_EQ(graphs.dump.outcome(), panel::ParamDump::Outcome::Completed);

    const auto lines = linesOf(path());
    ASSERT_GE(lines.size(), 1u + 200u + 2u + 91u);
    EXPECT_EQ(lines[0], "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Notes,Velmar DISP ivc (Loop Error) Log File");
    const auto dumpAt = std::find(lines.begin(), lines.end(), "'ACU Parameter Dump - Legacy Mode");
    ASSERT_NE(dumpAt, lines.end());
    EXPECT_EQ(lines.end() - dumpAt, 2 + 91);
    // The records before it: time, three loop errors, Rel, phase.
    const auto recordCount = dumpAt - lines.begin() - 1;
    EXPECT_GE(recordCount, 200);
    for (auto it = lines.begin() + 1; it != dumpAt; ++it) {
        EXPECT_EQ(std::count(it->begin(), it->end(), ','), 5) << *it;
        EXPECT_EQ(it->size() > 8 && (*it)[2] == ':' && (*it)[5] == ':', true) << *it;
    }
}

} // namespace
