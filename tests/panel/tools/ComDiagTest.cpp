// Communication diagnostics on virtual time: what each control puts in the one-shot command,
// the entry box's rules, the PCU status decode, the Stop box, and the torque drive tests with
// their aborts, fed to a stand-in for the scheduler's typed-text source.
#include "panel/tools/ComDiag.h"

#include "common/Clock.h"
#include "panel/core/PanelState.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using common::Ms;
using panel::ComDiag;

class ComDiagTest : public ::testing::Test {
protected:
    ComDiagTest() : diag(shared, main, clock) {}

    // The typed-text source as the scheduler serves it, one element per pacing tick; the
    // commands that left, split at their CR LF. A text the scheduler would send twice (19
    // characters or more) is a failure.
    void drainTick()
    {
        std::string& q = shared.typed;
        ASSERT_LT(q.size(), 19u) << "typed-text queue sent twice: " << q;
        const size_t n = q.size() < 7 ? std::min<size_t>(q.size(), 1) : 7;
        pending += q.substr(0, n);
        q.erase(0, n);
        for (size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
            sent.push_back(pending.substr(0, end));
            pending.erase(0, end + 2);
        }
    }
    // Time passes at the given pacing, the scheduler draining the queue on each tick.
    void run(Ms duration, Ms pacing = 200ms)
    {
        for (Ms t{0}; t < duration; t += pacing) {
            clock.advance(pacing);
            drainTick();
        }
    }
    std::vector<std::string> take()
    {
        auto out = sent;
        sent.clear();
        return out;
    }

    common::VirtualClock clock;
    panel::PanelShared shared;
    panel::MainState main;
    ComDiag diag;
    std::string pending;
    std::vector<std::string> sent;
};

TEST_F(ComDiagTest, EntryBoxPadsCutsAndEndsCommands)
{
    const struct {
        const char* typed;
        const char* oneShot;
        const char* lastSent;
    } rows[] = {
        {"?S", "?   S\r\n", "?   S"},
        {"S", "S", "S"},
        {"F1234", "F1234\r", "F1234"},
        {"F123456", "F123456\r", "F1234"},     // a find command is left whole
        {"mN999xy", "mN999\r\n", "mN999"},     // seven characters cut to five
        {"?  x", "?   x\r\n", "?   x"},
        {"", "", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        diag.text2 = r.typed;
        diag.text3 = "old response";
        shared.oneShot = "P";
        diag.Text2_Enter();
        EXPECT_EQ(shared.oneShot, r.oneShot);
        EXPECT_EQ(diag.text1, r.lastSent);
        EXPECT_EQ(diag.text2, "");
        EXPECT_EQ(diag.text3, "");
    }
}

TEST_F(ComDiagTest, RepeatSendsLastSentAgainAndAnEmptyOneSendsNothing)
{
    diag.text3 = "S@h@@";
    diag.cmdRepeat_Click(ComDiag::Repeat);
    EXPECT_EQ(shared.oneShot, "") << "an empty Last Sent is an empty command";
    EXPECT_EQ(diag.text3, "");

    diag.text1 = "P";
    diag.cmdRepeat_Click(ComDiag::Repeat);
    EXPECT_EQ(shared.oneShot, "P");
    diag.text1 = "?   V";
    diag.cmdRepeat_Click(ComDiag::Repeat);
    EXPECT_EQ(shared.oneShot, "?   V\r\n") << "replaces the command still pending";
}

TEST_F(ComDiagTest, EveryButtonAndMenuEntrySendsItsCommand)
{
    const std::vector<std::pair<int, std::string>> buttons = {
        {1, "?   S"}, {4, "^0067"}, {5, "^0071"}, {6, "^0070"}, {10, "^0084"}, {11, "^0000"}};
    for (const auto& [index, command] : buttons) {
        SCOPED_TRACE(index);
        diag.cmdRepeat_Click(index);
        EXPECT_EQ(diag.text1, command);
        EXPECT_EQ(shared.oneShot, command + "\r\n");
    }
    std::set<int> indices;
    for (const auto& b : panel::kDiagButtons)
        indices.insert(b.index);
    EXPECT_EQ(indices, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11}));

    const std::vector<std::pair<std::string, std::string>> acu = {
        {"mnuACU_Stat", "S"}, {"mnuACU_Pos", "P"}, {"mnuACU_Hdg", "H"}, {"mnuACU_u", "u"},
        {"mnuACU_Ver", "V"}, {"mnuACU_GPS", "@"}, {"mnuACU_Ton", "C"}, {"mnuACU_Toff", "D"},
        {"mnuACU_Find", "F1234\r\n"}, {"mnuACU_Reb", "\\0090\r\n"}, {"mnuACU_Save", "\\0087\r\n"},
        {"mnuACU_LockPort", "[L   \r\n"}, {"mnuACU_UnlockPort", "[M   \r\n"}, {"mnuACU_PCUg", "?   @\r\n"},
        {"mnuACU_DVBVer", "wV   \r\n"}, {"mnuACU_ComVer", "[V   \r\n"}, {"mnuACU_Err", "&"}};
    const std::vector<std::pair<std::string, std::string>> pcu = {
        {"mnuPCU_Ver", "?   V\r\n"}, {"mnuPCU_Ref", "?   v\r\n"}, {"mnuPCU_IVC", "?   x\r\n"},
        {"mnuPCU_Torque", "?   y\r\n"}, {"mnuPCU_GPS", "?   @\r\n"}, {"mnuPCU_GPSraw", "?   ?\r\n"},
        {"mnuPCU_GPSfine", "?   =\r\n"}, {"mnuPCU_Dish", "^0067\r\n"}, {"mnuPCU_Sat", "^0071\r\n"},
        {"mnuPCU_SS", "^0070\r\n"}, {"mnuPCU_Tilt", "^0084\r\n"}, {"mnuPCU_Norm", "^0000\r\n"},
        {"mnuPCU_Save", "^0087\r\n"}, {"mnuPCU_Reb", "^0090\r\n"}, {"mnuPCU_HFRef", "^0082\r\n"},
        {"mnuPCU_Err", "?   &\r\n"}};
    const auto check = [this](const auto& table, const auto& expected) {
        ASSERT_EQ(table.size(), expected.size());
        for (size_t i = 0; i < table.size(); ++i) {
            SCOPED_TRACE(table[i].name);
            EXPECT_EQ(table[i].name, expected[i].first);
            shared.typed.clear();
            diag.text3 = "old";
            diag.mnuAux_Click(table[i]);
            EXPECT_EQ(shared.oneShot, expected[i].second);
            EXPECT_EQ(diag.text3, "");
            EXPECT_EQ(shared.typed, expected[i].first == "mnuACU_DVBVer" ? "wV   \r\n" : "")
                << "only the DVB version also goes through the queue";
        }
    };
    check(panel::kAcuAuxMenu, acu);
    check(panel::kPcuAuxMenu, pcu);
    // Captions keep their blanks.
    EXPECT_STREQ(panel::kAcuAuxMenu[5].caption, "@     ACU GPS Position, 0.1Deg (6 Nm)");
    EXPECT_STREQ(panel::kPcuAuxMenu[5].caption, "?  ?   PCU raw GPS position         (1 min)");
    EXPECT_STREQ(panel::kAcuAuxMenu[16].caption, "Reset ACU Error Status ");
}

TEST_F(ComDiagTest, PcuStatusDecodeChecksTheBitsOfTheThreeWords)
{
    const auto checked = [this] {
        std::set<std::string> on;
        for (size_t i = 0; i < panel::kPcuStatusEntries.size(); ++i)
            if (diag.pcuStatusChecks()[i])
                on.insert(panel::kPcuStatusEntries[i].caption);
        return on;
    };
    const struct {
        const char* response;
        std::set<std::string> on;
    } rows[] = {
        {"S@@@@", {}},
        // "p" = bits 5 and 4 of word 1; "h" bits 5 and 3 of word 2; "A" bit 0 of word 3.
        {"SphA@", {"Slow Scan", "Sat Reference Enabled", "AZ Target", "Valid Heading (PCU)", "CL Servo Limit"}},
        {"     S\x7F", {"Slow Scan", "Sat Reference Enabled", "Circlex", "Unwrap", "Data 3", "Data 2"}},
        {"S@D", {"PCU Error"}}, // word 3 missing: no flags
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.response);
        diag.text3 = r.response;
        diag.PcuStatusDecode();
        EXPECT_EQ(checked(), r.on);
    }
    diag.text3 = "      S\x7F\x7F\x7F"; // "S" in the seventh place: not a status line
    diag.PcuStatusDecode();
    EXPECT_EQ(checked(), std::set<std::string>{"PCU Error"}) << "the checks stay as they were";
}

TEST_F(ComDiagTest, StopBoxHeightAndClosing)
{
    diag.chkSTOP_Click(true);
    EXPECT_TRUE(shared.diagStop);
    EXPECT_EQ(diag.heightTwips(), 4065);
    diag.Command1_Click();
    EXPECT_EQ(diag.heightTwips(), 1950);
    diag.Command1_Click();
    EXPECT_EQ(diag.heightTwips(), 4065);
    diag.Form_Unload();
    EXPECT_FALSE(shared.diagStop) << "closing unchecks Stop";
}

TEST_F(ComDiagTest, CrossLevelTestMovesToTheFarSideOfLevel)
{
    const struct {
        int reading;
        const char* move;
        const char* text;
    } rows[] = {{950, "I0650", " Moving Down"}, {900, "I1150", " Moving Up"}, {700, "I1150", " Moving Up"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.reading);
        ComDiag d(shared, main, clock);
        shared.typed.clear();
        main.third = r.reading;
        d.cmdRepeat_Click(ComDiag::ClTest);
        EXPECT_EQ(shared.typed, std::string(r.move) + "\r\n^0070\r\n");
        EXPECT_EQ(d.text3, r.text);
        EXPECT_EQ(d.caption(ComDiag::ClTest), "Stop");
        EXPECT_EQ(d.tag(), "CL Test");
    }
}

TEST_F(ComDiagTest, CrossLevelTestRunsItsStepsThenReturnsToLevel)
{
    main.third = 900;
    diag.cmdRepeat_Click(ComDiag::ClTest);
    run(1000ms);
    EXPECT_EQ(take(), (std::vector<std::string>{"I1150", "^0070"}));
    EXPECT_EQ(diag.text3, " Moving Up") << "not there yet";
    main.third = 1140; // the reading has arrived
    run(1000ms);
    EXPECT_EQ(diag.text3, " Paused");
    run(30s);
    std::vector<std::string> expected;
    for (int n = ComDiag::kClStartStep; n >= 0; --n) {
        char step[8];
        std::snprintf(step, sizeof step, "^3%03d", n);
        expected.push_back(step);
    }
    expected.push_back("^0000");
    expected.push_back("I0900");
    EXPECT_EQ(take(), expected);
    EXPECT_EQ(diag.text3, "CL Test Done");
    EXPECT_EQ(diag.caption(ComDiag::ClTest), "CL Test");
    EXPECT_FALSE(diag.stepTimer().enabled());
    EXPECT_FALSE(diag.reportTimer().enabled());
}

TEST_F(ComDiagTest, DriveStepsAtSlowPacingReplaceTheOnesNotYetSent)
{
    main.third = 900;
    diag.cmdRepeat_Click(ComDiag::ClTest);
    run(16s, 500ms); // the move gives up waiting for the reading after its 15 reports
    EXPECT_EQ(take(), (std::vector<std::string>{"I1150", "^0070"}));
    run(40s, 500ms);
    const auto later = take();
    ASSERT_GE(later.size(), 3u);
    EXPECT_EQ(later[later.size() - 3], "^3000") << "the last step is never dropped";
    EXPECT_LT(later.size(), size_t(ComDiag::kClStartStep)) << "stale steps were replaced";
}

TEST_F(ComDiagTest, AbortCommandsTheAntennaBackAndReportsCanceled)
{
    const struct {
        int button;
        const char* aborting;
        std::vector<std::string> back;
    } rows[] = {
        {ComDiag::ClTest, "CL Test Aborting", {"^0000", "I0900"}},
        {ComDiag::AzTest, "AZ Test Aborting", {"^0000", "n8008", "A1234"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.aborting);
        ComDiag d(shared, main, clock);
        main.third = 950;
        main.azimuth = 1234;
        main.polText = "3600";
        d.cmdRepeat_Click(r.button);
        run(3s);
        main.third = 650;
        main.polText = "1350";
        run(3s); // arrived, paused, stepping
        ASSERT_EQ(d.phase(), ComDiag::Phase::Stepping);
        take();
        d.cmdRepeat_Click(r.button); // "Stop"
        EXPECT_EQ(d.text3, r.aborting);
        EXPECT_FALSE(d.stepTimer().enabled());
        EXPECT_EQ(d.caption(r.button), r.button == ComDiag::ClTest ? "CL Test" : "AZ Test");
        EXPECT_EQ(d.tag(), "");
        run(1000ms);
        EXPECT_EQ(d.text3, " Canceled");
        run(2s);
        EXPECT_EQ(take(), r.back) << "the step still waiting is dropped";
        EXPECT_FALSE(d.reportTimer().enabled());
    }
}

TEST_F(ComDiagTest, AzimuthTestChoosesItsFirstMoveFromThePolarisationBand)
{
    const struct {
        int reading;
        std::optional<int> target;
    } rows[] = {
        {0, 900},     {100, 900},   {101, {}},    {1199, {}},  {1200, 5850}, {1450, 5850}, {1451, {}},
        {1700, 1350}, {1900, 1350}, {3499, {}},   {3500, 1350}, {3700, 1350}, {5750, 1350}, {5950, 1350},
        {6000, {}},   {6001, 6300}, {7200, 6300},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.reading);
        EXPECT_EQ(ComDiag::AzFirstTarget(r.reading), r.target);
    }

    main.polText = "0500";
    diag.cmdRepeat_Click(ComDiag::AzTest);
    EXPECT_EQ(diag.text3, " ????");
    EXPECT_FALSE(diag.testRunning());
    EXPECT_EQ(diag.caption(ComDiag::AzTest), "AZ Test");
    EXPECT_EQ(shared.typed, "") << "nothing moves";

    main.polText = "6500";
    diag.cmdRepeat_Click(ComDiag::AzTest);
    EXPECT_EQ(diag.text3, " Moving Down");
    EXPECT_EQ(shared.typed, "J6300\r\n");
    diag.cmdRepeat_Click(ComDiag::ClTest);
    EXPECT_EQ(diag.test(), ComDiag::Test::Azimuth) << "one test at a time";
}

TEST_F(ComDiagTest, ClosingTheWindowAbortsARunningTest)
{
    main.azimuth = 77;
    main.polText = "50";
    diag.cmdRepeat_Click(ComDiag::AzTest);
    EXPECT_EQ(diag.text3, " Moving Up");
    shared.diagStop = true;
    diag.Form_Unload();
    EXPECT_EQ(diag.text3, "AZ Test Aborting");
    EXPECT_FALSE(shared.diagStop);
    run(3s);
    const auto out = take();
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "A0077");
}

} // namespace
