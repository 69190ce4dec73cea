// A whole parameter dump on virtual time against the simulated ACU of the terminal's paths
// (module acu-terminal), in-process: the file holds the values the controller keeps, decoded,
// the modules' versions and the interface's network settings; busy answers change nothing.
#include "terminal/text/TextBench.h"

#include "sim/Modules.h"
#include "sim/TerminalAcu.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/params/ParamDump.h"

namespace texttest {
namespace {

// A serial link whose far end is the module: what is written reaches it at once, what it says
// arrives when the clock moves on.
class ModelLink : public common::Link {
public:
    explicit ModelLink(sim::ModuleModel& m) : m_(m) {}
    bool open(std::string&) override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool write(const std::string& bytes) override
    {
        if (open_)
            m_.receive(bytes);
        return open_;
    }
    bool outputDrained() override { return true; }
    std::string describe() const override { return "acu-terminal"; }
    void deliver()
    {
        const std::string out = m_.takeOutput();
        if (open_ && !out.empty() && onData)
            onData(out);
    }

private:
    sim::ModuleModel& m_;
    bool open_ = false;
};

class ParamDumpSimTest : public ::testing::Test {
protected:
    ParamDumpSimTest()
        : t(clock, ui,
            [this](const term::Terminal&) -> std::unique_ptr<common::Link> {
                auto l = std::make_unique<ModelLink>(model);
                link = l.get();
                return l;
            }),
          paths(t, nullptr), dump(t, paths)
    {
        model.device().setShipMotion(false);
        clock.pump = [this] {
            if (clock.now() > modelNow) {
                model.advance(clock.now() - modelNow);
                modelNow = clock.now();
            }
            if (link)
                link->deliver();
        };
        paths.Select(term::ModulePath::TAV8a, false);
        t.mnuOpen_Click();
    }
    ~ParamDumpSimTest() override { clock.pump = nullptr; }

    std::vector<std::string> dumpLines()
    {
        const std::string path = dir.file("param_All.txt");
        EXPECT_EQ(dump.FullDumpTo(path), term::ParamDump::Result::Done);
        std::vector<std::string> out;
        const std::string text = readFile(path);
        for (size_t from = 0, at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
            out.push_back(text.substr(from, at - from));
        return out;
    }
    static bool has(const std::vector<std::string>& l, const std::string& s)
    {
        return std::find(l.begin(), l.end(), s) != l.end();
    }

    common::VirtualClock clock;
    ScriptUi ui{clock};
    sim::ModuleModel model{"acu-terminal"};
    Ms modelNow{0};
    ModelLink* link = nullptr;
    term::Terminal t;
    term::ModulePaths paths;
    term::ParamDump dump;
    TempDir dir;
};

TEST_F(ParamDumpSimTest, TheFileHoldsTheControllersValuesWhateverItsBusyAnswers)
{
    auto& acu = model.as<sim::TerminalAcu>();
    acu.network().ip = "10.20.30.40";
    acu.refuseNextReads(3); // "mA" three times
    acu.setBusyEvery(7);
    const auto l = dumpLines();
    ASSERT_FALSE(l.empty());
    EXPECT_EQ(l[0], "'" + sim::AcuDevice::versionLine());
    int acuLines = 0, pcuLines = 0;
    for (const std::string& line : l) {
        EXPECT_EQ(line.find("###"), std::string::npos) << line;
        acuLines += line.size() > 2 && line[0] == 'm' && line[2] == '\t';
        pcuLines += line.size() > 2 && line[0] == 'n' && line[2] == '\t';
    }
    EXPECT_EQ(acuLines, 74);
    EXPECT_EQ(pcuLines, 12);
    for (const char* line : {"mA\t000\t'*", "mD\t251\t'-000.5\tAz Trim", "ml\t028\t'090.0\tLcl HDG",
                             "n5\t254\t'LV Trim", "'MDE VER 1.12 SIM", "[I\t10.20.30.40\t'IP Address",
                             "[N\t255.255.255.0\t'Net Mask", "[B\t4800\t\t'Baud Rate NMEA (B)"})
        EXPECT_TRUE(has(l, line)) << line;
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace texttest
