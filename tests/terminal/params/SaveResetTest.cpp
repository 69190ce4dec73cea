// Save, reset and factory-default commands: every menu entry's bytes, the factory-default
// sequence byte for byte on virtual time, Cancel sending nothing, closed links and aborts.
#include "terminal/text/TextBench.h"

#include "terminal/params/SaveReset.h"

namespace texttest {
namespace {

using term::SaveReset;
using Result = SaveReset::Result;

class SaveResetTest : public ::testing::Test {
protected:
    void SetUp() override { bench.open(); }
    TextBench bench;
    SaveReset cmds{bench.t};

    Result run(const std::string& caption)
    {
        for (const auto& e : term::kSaveResetMenu)
            if (e.caption == caption)
                return (cmds.*e.run)();
        ADD_FAILURE() << "no menu entry " << caption;
        return Result::Busy;
    }
};

TEST_F(SaveResetTest, OneShotMenuEntriesSendTheirStrings)
{
    struct Case {
        std::string caption;
        std::vector<std::string> writes;
    };
    const Case cases[] = {
        {"ACU ReStart Boot Ld   (S9 )", {"S9\r\n"}},
        {"ACU Reset                   (\\0090)", {"\x1b\\0090\r\n"}},
        {"ACU Reset                 ( \\0090) ", {"\x1b\\0090\r\n"}},
        {"ACU Param Save         (\\0087)", {"\x1b\\0087\r\n"}},
        {"PCU ReStart Boot Ld   (?S?9)", {"?S\r\n", "?9\r\n"}},
        {"PCU Param Save         (^0087)", {"\x1b^0087\r\n"}},
        {"Comm IF Param Save    ([W   )", {"[W   \r\n"}},
        {"DVB ReStart Boot Ld   (wS9   )", {"wS9  \r\n"}},
    };
    for (const auto& c : cases) {
        bench.journal.writes.clear();
        EXPECT_EQ(run(c.caption), Result::Done) << c.caption;
        EXPECT_EQ(bench.writes(), c.writes) << c.caption;
        EXPECT_TRUE(bench.ui.messages.empty()) << c.caption;
    }
    // Every menu entry is distinct and names a command.
    for (size_t i = 0; i < term::kSaveResetMenu.size(); ++i)
        for (size_t j = i + 1; j < term::kSaveResetMenu.size(); ++j)
            EXPECT_FALSE(std::string(term::kSaveResetMenu[i].caption) == term::kSaveResetMenu[j].caption &&
                         std::string(term::kSaveResetMenu[i].menu) == term::kSaveResetMenu[j].menu);
}

TEST_F(SaveResetTest, PcuBootLoaderRestartSettlesBetweenItsTwoCommands)
{
    cmds.PcuRestartBootLd();
    const auto times = bench.writeTimes();
    ASSERT_EQ(times.size(), 2u);
    EXPECT_EQ(times[1] - times[0], Ms{10});
}

TEST_F(SaveResetTest, FactoryDefaultsSendsThirtySixLinesAndTwoSavesByteForByte)
{
    bench.ui.answers = {Answer::Ok};
    bench.t.LogLine("");
    const std::string before = bench.t.screen.text();
    const Ms t0 = bench.clock.now();
    EXPECT_EQ(cmds.LoadFactoryDefaults(), Result::Done);

    ASSERT_EQ(bench.ui.messages.size(), 1u);
    EXPECT_EQ(bench.ui.messages[0].text, "Are you sure you want to re-set ALL TAV NVRAM parameters?");
    EXPECT_EQ(bench.ui.messages[0].title, "Load Factory Defaults");
    EXPECT_EQ(bench.ui.messages[0].buttons, Buttons::OkCancel);

    const std::vector<std::string> expected{
        "mA000\r\n", "mB001\r\n", "mC000\r\n", "mD002\r\n", "mF100\r\n", "X0000\r\n", "X0000\r\n", "mG000\r\n",
        "Y0000\r\n", "Y0000\r\n", "mH000\r\n", "mJ010\r\n", "mK100\r\n", "mL030\r\n", "mM000\r\n", "mN077\r\n",
        "mO002\r\n", "mP009\r\n", "mQ030\r\n", "mR090\r\n", "mS000\r\n", "mT000\r\n", "mU000\r\n", "mV000\r\n",
        "mW002\r\n", "mb001\r\n", "mc125\r\n", "md078\r\n", "me004\r\n", "mf197\r\n", "mg087\r\n", "T1010\r\n",
        "c1047\r\n", "d5000\r\n", "mu002\r\n", "t0000\r\n", "W",         "W"};
    EXPECT_EQ(bench.writes(), expected);

    // Lines 200 ms apart (the link drains at once here), the first "W" after the last line's
    // settle, the second a second later, and a second's wait after it.
    const auto times = bench.writeTimes();
    ASSERT_EQ(times.size(), 38u);
    for (size_t i = 0; i < 36; ++i)
        EXPECT_EQ(times[i] - t0, Ms{200 * long(i)}) << expected[i];
    EXPECT_EQ(times[36] - t0, Ms{7200});
    EXPECT_EQ(times[37] - t0, Ms{8200});
    EXPECT_EQ(bench.clock.now() - t0, Ms{9200});

    EXPECT_EQ(bench.t.screen.text(), before + "SAVING PARAMETERS, PLEASE WAIT\r\n PARAMETERS SAVED\r\n>");
}

TEST_F(SaveResetTest, FactoryDefaultsAnythingButOkSendsNothing)
{
    for (Answer a : {Answer::Cancel, Answer::No, Answer::Yes}) {
        bench.ui.messages.clear();
        bench.ui.answers = {a};
        const Ms t0 = bench.clock.now();
        EXPECT_EQ(cmds.LoadFactoryDefaults(), Result::Cancelled);
        EXPECT_EQ(bench.ui.messages.size(), 1u);
        EXPECT_TRUE(bench.writes().empty());
        EXPECT_TRUE(bench.t.screen.text().empty());
        EXPECT_EQ(bench.clock.now(), t0);
        EXPECT_FALSE(bench.t.sequenceRunning());
    }
}

TEST_F(SaveResetTest, FactoryDefaultsOnAClosedLinkWarnsOnceAndStops)
{
    bench.t.mnuOpen_Click();
    ASSERT_FALSE(bench.t.linkOpen());
    bench.ui.messages.clear();
    bench.ui.answers = {Answer::Ok};
    EXPECT_EQ(cmds.LoadFactoryDefaults(), Result::Stopped);
    EXPECT_TRUE(bench.writes().empty());
    ASSERT_EQ(bench.ui.messages.size(), 2u); // the question and one closed-link warning
    EXPECT_NE(bench.ui.messages[1].text.find("Operation not allowed while port is closed"), std::string::npos);
    EXPECT_EQ(bench.t.screen.text().find("PARAMETERS SAVED"), std::string::npos);
    EXPECT_NE(bench.t.screen.text().find("STOPPED"), std::string::npos);
}

TEST_F(SaveResetTest, FactoryDefaultsStopsOnAbortBeforeSaving)
{
    bench.ui.answers = {Answer::Ok};
    const Ms t0 = bench.clock.now();
    bench.at(t0 + Ms{1100}, [this] { bench.t.abortFlag = 1; }); // the window closes
    EXPECT_EQ(cmds.LoadFactoryDefaults(), Result::Stopped);
    EXPECT_EQ(bench.writes().size(), 6u); // at 0, 200, ... 1000 ms
    EXPECT_EQ(bench.clock.now() - t0, Ms{1100});
    for (const auto& w : bench.writes())
        EXPECT_NE(w, "W");
    EXPECT_EQ(bench.t.screen.text().find("PARAMETERS SAVED"), std::string::npos);
}

TEST_F(SaveResetTest, NothingIsSentWhileAnotherSequenceRuns)
{
    term::Terminal::Sequence other(bench.t);
    ASSERT_TRUE(other.started());
    for (const auto& e : term::kSaveResetMenu)
        EXPECT_EQ((cmds.*e.run)(), Result::Busy) << e.caption;
    EXPECT_TRUE(bench.writes().empty());
    EXPECT_TRUE(bench.ui.messages.empty());
    EXPECT_TRUE(bench.linkChanges.empty());
}

TEST_F(SaveResetTest, PcuResetClosesTheLinkForThreeSeconds)
{
    const Ms t0 = bench.clock.now();
    EXPECT_EQ(run("PCU Reset                   (^0090)"), Result::Done);
    EXPECT_EQ(bench.writes(), (std::vector<std::string>{"\x1b^0090\r\n"}));
    ASSERT_EQ(bench.linkChanges.size(), 2u);
    EXPECT_EQ(bench.linkChanges[0].at - t0, Ms{0});
    EXPECT_FALSE(bench.linkChanges[0].open);
    EXPECT_EQ(bench.linkChanges[1].at - t0, Ms{3000});
    EXPECT_TRUE(bench.linkChanges[1].open);
    EXPECT_TRUE(bench.t.linkOpen());
}

TEST_F(SaveResetTest, ResetsOnAClosedLinkWarnOnceAndLeaveTheLinkClosed)
{
    bench.t.mnuOpen_Click();
    ASSERT_FALSE(bench.t.linkOpen());
    for (auto run : {&SaveReset::PcuReset, &SaveReset::CommIfReset}) {
        bench.linkChanges.clear();
        bench.ui.messages.clear();
        EXPECT_EQ((cmds.*run)(), Result::Stopped);
        EXPECT_TRUE(bench.writes().empty());
        ASSERT_EQ(bench.ui.messages.size(), 1u);
        EXPECT_NE(bench.ui.messages[0].text.find("Operation not allowed while port is closed"), std::string::npos);
        EXPECT_TRUE(bench.linkChanges.empty());
        EXPECT_FALSE(bench.t.linkOpen());
    }
}

TEST_F(SaveResetTest, CommIfResetWaitsClosesShowsALineEndAndReopens)
{
    bench.t.LogLine("x");
    const Ms t0 = bench.clock.now();
    EXPECT_EQ(run("Comm IF Reset              ([Z   )"), Result::Done);
    EXPECT_EQ(bench.writes(), (std::vector<std::string>{"[Z   \r\n"}));
    EXPECT_EQ(bench.writeTimes()[0], t0);
    ASSERT_EQ(bench.linkChanges.size(), 2u);
    EXPECT_FALSE(bench.linkChanges[0].open);
    EXPECT_EQ(bench.linkChanges[0].at - t0, Ms{1000});
    EXPECT_TRUE(bench.linkChanges[1].open);
    EXPECT_EQ(bench.linkChanges[1].at - t0, Ms{5000});
    EXPECT_EQ(bench.t.screen.text(), "x\r\n\r\n");
}

TEST_F(SaveResetTest, CommIfResetAbortedBeforeTheCloseLeavesTheLinkOpen)
{
    const Ms t0 = bench.clock.now();
    bench.at(t0 + Ms{500}, [this] { bench.t.abortFlag = 1; });
    EXPECT_EQ(cmds.CommIfReset(), Result::Stopped);
    EXPECT_TRUE(bench.linkChanges.empty());
    EXPECT_TRUE(bench.t.linkOpen());
}

TEST_F(SaveResetTest, ResetWaitsEndEarlyOnAbortButTheLinkIsStillOpenedAgain)
{
    const Ms t0 = bench.clock.now();
    bench.at(t0 + Ms{500}, [this] { bench.t.abortFlag = 1; });
    EXPECT_EQ(cmds.PcuReset(), Result::Stopped);
    ASSERT_EQ(bench.linkChanges.size(), 2u);
    EXPECT_EQ(bench.linkChanges[1].at - t0, Ms{500});
    EXPECT_TRUE(bench.t.linkOpen());

    bench.linkChanges.clear();
    const Ms t1 = bench.clock.now();
    bench.at(t1 + Ms{2000}, [this] { bench.t.abortFlag = 1; });
    EXPECT_EQ(cmds.CommIfReset(), Result::Stopped);
    ASSERT_EQ(bench.linkChanges.size(), 2u);
    EXPECT_EQ(bench.linkChanges[0].at - t1, Ms{1000});
    EXPECT_EQ(bench.linkChanges[1].at - t1, Ms{2000});
    EXPECT_TRUE(bench.t.linkOpen());
}

} // namespace
} // namespace texttest
