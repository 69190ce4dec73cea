// The parameter dump: its lines by format code, the sequence as the scheduler sends it, whole
// dumps through the link and the decoder on virtual time, and every way a dump ends.
#include "panel/params/DumpFixture.h"

#include <gtest/gtest.h>

#include <random>

namespace dumptest {
namespace {

using Outcome = panel::ParamDump::Outcome;

// ---------------------------------------------------------------- lines by format code

struct LineCase {
    int code;
    const char* description;
    std::string reply;
    std::string command;
    std::int32_t accIn;
    std::string line;
    std::int32_t accOut;
};

TEST(DumpLine, EveryFormatCode)
{
    const std::string mB = "mB999\r\n";
    const LineCase cases[] = {
        // 0: the first byte of a pair; only the prefix and the description
        {0, "*", "mA255", "mA999\r\n", 7, "mA\t255\t'*", 255},
        {0, "*  \t5v Offset", "m\x82" "010", "m\x82" "999\r\n", 0, "m\x82\t010\t'*  \t5v Offset", 10},
        // 1: the value field again
        {1, "Mode", "mE012", "mE999\r\n", 3, "mE\t012\t'012\tMode", 3},
        // 2: the pair as "0000"
        {2, "THRS", "mZ044", "mZ999\r\n", 1, "mZ\t044\t'0300\tTHRS", 300},
        {2, "THRS", "mZ000", "mZ999\r\n", 0, "mZ\t000\t'0000\tTHRS", 0},
        // 3: the pair as a signed word in tenths, "000.0"
        {3, "El Trim", "mB156", mB, 255, "mB\t156\t'-010.0\tEl Trim", -100},
        {3, "El Trim", "mB044", mB, 1, "mB\t044\t'030.0\tEl Trim", 300},
        {3, "El Trim", "mB255", mB, 127, "mB\t255\t'3276.7\tEl Trim", 32767},
        {3, "El Trim", "mB000", mB, 128, "mB\t000\t'-3276.8\tEl Trim", -32768},
        {3, "El Trim", "mB255", mB, 255, "mB\t255\t'-000.1\tEl Trim", -1},
        {3, "El Trim", "mB005", mB, 0, "mB\t005\t'000.5\tEl Trim", 5},
        // 4: hexadecimal, upper case, no padding
        {4, "Target NID", "m\x7f" "043", "m\x7f" "999\r\n", 0x1A, "m\x7f\t043\t'1A2B\tTarget NID", 0x1A2B},
        {4, "Target NID", "m\x7f" "010", "m\x7f" "999\r\n", 0, "m\x7f\t010\t'A\tTarget NID", 10},
        // 5: bit 0 is south
        {5, "Lat N/S", "md001", "md999\r\n", 9, "md\t001\t'S\tLat N/S", 9},
        {5, "Lat N/S", "md000", "md999\r\n", 0, "md\t000\t'N\tLat N/S", 0},
        {5, "Lat N/S", "md016", "md999\r\n", 0, "md\t016\t'N\tLat N/S", 0},
        // 6: bit 4 is west
        {6, "Lon E/W", "mg016", "mg999\r\n", 0, "mg\t016\t'W\tLon E/W", 0},
        {6, "Lon E/W", "mg015", "mg999\r\n", 0, "mg\t015\t'E\tLon E/W", 0},
        {6, "Lon E/W", "mg000", "mg999\r\n", 0, "mg\t000\t'E\tLon E/W", 0},
        // 7: the pair divided by 6, "000.0" (rounded to the tenth)
        {7, "Lcl HDG", "mn100", "mn999\r\n", 5, "mn\t100\t'230.0\tLcl HDG", 1380},
        {7, "Lcl HDG", "mn001", "mn999\r\n", 0, "mn\t001\t'000.2\tLcl HDG", 1},
        // 8: the pair and a sixteenth of it, two blanks before the description
        {8, "Baud/KHz", "m\x77" "000", "m\x77" "999\r\n", 1, "m\x77\t000\t'0256/0016  Baud/KHz", 256},
        {8, "Baud/KHz", "m\x77" "024", "m\x77" "999\r\n", 0, "m\x77\t024\t'0024/0002  Baud/KHz", 24},
        // 9: a sixteenth of the pair, halves to the even neighbour
        {9, "AGC", "m{040", "m{999\r\n", 0, "m{\t040\t'0002\tAGC", 40},
        {9, "AGC", "m{056", "m{999\r\n", 0, "m{\t056\t'0004\tAGC", 56},
        {9, "AGC", "m{000", "m{999\r\n", 1, "m{\t000\t'0016\tAGC", 256},
        // 10: half the value, "000"
        {10, "El Limit12", "m\x85" "005", "m\x85" "999\r\n", 0, "m\x85\t005\t'002\tEl Limit12", 0},
        {10, "El Limit12", "m\x85" "003", "m\x85" "999\r\n", 0, "m\x85\t003\t'002\tEl Limit12", 0},
        {10, "El Limit12", "m\x85" "255", "m\x85" "999\r\n", 0, "m\x85\t255\t'128\tEl Limit12", 0},
        // 11: a signed byte, "000"
        {11, "SatSkew", "m\x8a" "200", "m\x8a" "999\r\n", 0, "m\x8a\t200\t'-056\tSatSkew", 0},
        {11, "SatSkew", "m\x8a" "128", "m\x8a" "999\r\n", 0, "m\x8a\t128\t'-128\tSatSkew", 0},
        {11, "SatSkew", "m\x8a" "127", "m\x8a" "999\r\n", 0, "m\x8a\t127\t'127\tSatSkew", 0},
        {11, "SatSkew", "m\x8a" "005", "m\x8a" "999\r\n", 0, "m\x8a\t005\t'005\tSatSkew", 0},
        // 12: comment lines with the whole reply
        {12, "", "TAV ACU VER 4.20", "V", 5, "'TAV ACU VER 4.20", 5},
        {12, "", "SHx@@L2550 Ac", "S", 0, "'SHx@@L2550 Ac", 0},
        {12, "", "PCU VER 2.10", "?   V\r\n", 0, "'PCU VER 2.10", 0},
        {12, "", "S@@@@", "?   S\r\n", 0, "'S@@@@", 0},
        {12, "", "COMM IF VER 2.02", "[V   \r\n", 0, "'COMM IF VER 2.02", 0},
        {12, "", "????", "V", 0, "'????", 0},
        // PCU replies are cut to four characters before the value is taken
        {1, "Systyp", "n012ok", "n0999\r\n", 0, "n0\t012\t'012\tSystyp", 0},
        {1, "Stat1", "n255", "n;999\r\n", 0, "n;\t255\t'255\tStat1", 0},
        // the command with its "!" reads the same
        {3, "El Trim", "mB156", "!mB999", 255, "mB\t156\t'-010.0\tEl Trim", -100},
        // an unanswered parameter, a short and an empty reply
        {1, "Mode", "????", "mE999\r\n", 0, "mE\t???\t'???\tMode", 0},
        {3, "El Trim", "????", mB, 0, "mB\t???\t'000.0\tEl Trim", 0},
        {1, "Mode", "12", "mE999\r\n", 0, "mE\t12\t'12\tMode", 0},
        {1, "Mode", "", "mE999\r\n", 0, "mE\t\t'\tMode", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code) + " reply " + c.reply);
        std::int32_t acc = c.accIn;
        EXPECT_EQ(panel::formatDumpLine(c.code, c.description, c.reply, c.command, acc), c.line);
        EXPECT_EQ(acc, c.accOut);
    }
}

TEST(DumpLine, AnyReplyGivesALineWithItsPrefix)
{
    std::mt19937 rng(20110222);
    const std::string commands[] = {"mA999\r\n", "n0999\r\n", "V", "", "!", "?   V\r\n", "m"};
    for (int i = 0; i < 5000; ++i) {
        std::string reply(rng() % 14, '\0');
        for (auto& ch : reply)
            ch = char(rng() % 256);
        const int code = int(rng() % 14);
        const std::string& command = commands[rng() % std::size(commands)];
        std::int32_t acc = std::int32_t(rng());
        const std::string line = panel::formatDumpLine(code, "d", reply, command, acc);
        if (code == 12) {
            EXPECT_EQ(line, "'" + reply);
        } else {
            std::string cmd = !command.empty() && command[0] == '!' ? command.substr(1) : command;
            cmd = cmd.substr(0, cmd.find('\r')).substr(0, 2);
            EXPECT_EQ(line.compare(0, cmd.size() + 1, cmd + "\t"), 0) << line;
        }
    }
}

// ---------------------------------------------------------------- a whole dump

TEST_F(DumpTest, WholeDumpWritesTheHeaderAndOneLinePerReply)
{
    acu.values = {{'A', 255}, {'B', 156}, {'d', 1}, {'g', 16}, {0x8a, 200}};
    dumpTo("param_Leg.txt");
    ASSERT_TRUE(dump->running());
    runDump();
    ASSERT_FALSE(dump->running());
    EXPECT_EQ(dump->outcome(), Outcome::Completed);
    EXPECT_EQ(dump->repliesWritten(), 91);
    EXPECT_EQ(dump->unanswered(), 0);

    std::string rest;
    const auto lines = fileLines("param_Leg.txt", &rest);
    EXPECT_EQ(rest, "");
    ASSERT_EQ(lines.size(), 93u);
    EXPECT_EQ(lines[0], "'ACU Parameter Dump - Legacy Mode");
    EXPECT_EQ(lines[1], "'CMD\tValue\tResult\tDescription");
    const std::map<int, std::string> expected = {
        {0, "'TAV ACU VER 4.20"},
        {1, "'SHx@@L2550 Ac"},
        {2, "mA\t255\t'*"},
        {3, "mB\t156\t'-010.0\tEl Trim"},
        {6, "mE\t009\t'009\tMode"},
        {37, "md\t001\t'S\tLat N/S"},
        {40, "mg\t016\t'W\tLon E/W"},
        {67, "m\x82\t010\t'*  \t5v Offset"},
        {75, "m\x8a\t200\t'-056\tSatSkew"},
        {76, "'PCU VER 2.10"},
        {77, "'S@@@@"},
        {78, "n0\t008\t'008\tSystyp"},
        {89, "n;\t019\t'019\tStat1"},
        {90, "'COMM IF VER 2.02"},
    };
    for (const auto& [index, line] : expected)
        EXPECT_EQ(lines[size_t(2 + index)], line) << "reply " << index;

    // The sequence went out one element per 80 ms tick, in its order.
    const auto& w = journal.writes;
    ASSERT_EQ(w.size(), 91u);
    EXPECT_EQ(w[0].bytes, "V");
    EXPECT_EQ(w[1].bytes, "S");
    for (int c = 65; c <= 138; ++c)
        EXPECT_EQ(w[size_t(c - 63)].bytes, std::string("m") + char(c) + "999\r\n");
    EXPECT_EQ(w[76].bytes, "?   V\r\n");
    EXPECT_EQ(w[77].bytes, "?   S\r\n");
    for (int c = 48; c <= 59; ++c)
        EXPECT_EQ(w[size_t(c + 30)].bytes, std::string("n") + char(c) + "999\r\n");
    EXPECT_EQ(w[90].bytes, "[V   \r\n");
    for (size_t i = 1; i < w.size(); ++i)
        EXPECT_EQ(w[i].at - w[i - 1].at, 80ms);

    // Polling takes over at its own pace.
    EXPECT_EQ(main.dumpPos, 0);
    EXPECT_EQ(shared.dumpCounter, -1);
    EXPECT_EQ(panel->timer3().interval(), 200ms);
    EXPECT_EQ(ticks(2), (std::vector<std::string>{"S", "P"}));
    EXPECT_TRUE(files.errors.empty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DumpTest, ProgressShowsTheCountAndThePcuCaptionAt73)
{
    dumpTo("p.txt");
    runDump();
    std::vector<std::string> want = {"progress 0", "show Reading TAV Parameters"};
    for (int i = 1; i <= 91; ++i) {
        if (i == 73)
            want.push_back("caption Reading PCU Parameters");
        want.push_back("progress " + std::to_string(i));
    }
    want.push_back("hide");
    EXPECT_EQ(progress.events, want);
}

TEST_F(DumpTest, ToolsMenuDumpUsesItsFilterAndFileNameAndAsksBeforeReplacing)
{
    { std::ofstream(path("param_Leg.txt")) << "earlier dump"; }
    files.paths = {path("param_Leg.txt"), path("param_Leg.txt")};
    files.answers = {false, true};
    dump->mnuParamDump_Click();
    ASSERT_EQ(files.dialogs.size(), 2u);
    for (const auto& d : files.dialogs) {
        EXPECT_EQ(d.filter, "Data (*.csv, *.txt)|*.csv;*.txt|Text (*.txt, *.prn)|*.txt;*.prn|All files (*.*)|*.*");
        EXPECT_EQ(d.fileName, "param_Leg.txt");
    }
    EXPECT_EQ(files.questions, (std::vector<std::string>(2, "Replace existing file - " + path("param_Leg.txt") + "?")));
    EXPECT_TRUE(dump->running());
    EXPECT_EQ(fileLines("param_Leg.txt").size(), 2u); // truncated, the header written
}

TEST_F(DumpTest, ToolsMenuDumpRefusals)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::vector<std::string> errors, messages;
        size_t dialogs;
    };
    const Case cases[] = {
        {"port closed", [this] { panel->mnuOpen_Click(); },
         {"Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect."},
         {}, 0},
        {"data log open", [this] { shared.dataLog = true; }, {},
         {"Error,\rParameter Dump is not supported while a log file is currently open"}, 0},
        {"dump running", [this] { dumpTo("first.txt"); }, {panel::kDumpRunningText}, {}, 0},
        {"dialog cancelled", [] {}, {}, {}, 1},
        {"file cannot be created", [this] { files.paths = {path("none/p.txt")}; },
         {std::strerror(ENOENT)}, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        c.arrange();
        const bool wasRunning = dump->running();
        files.dialogs.clear();
        dump->mnuParamDump_Click();
        EXPECT_EQ(files.errors, c.errors);
        EXPECT_EQ(files.messages, c.messages);
        EXPECT_EQ(files.dialogs.size(), c.dialogs);
        EXPECT_EQ(dump->running(), wasRunning);
        if (!wasRunning) {
            EXPECT_EQ(main.dumpPos, 0);
        }
    }
}

// ---------------------------------------------------------------- Cancel

TEST_F(DumpTest, CancelWritesTheAwaitedReplyThenTheCancelLine)
{
    acu.hold = true;
    dumpTo("p.txt");
    clock.advance(1500ms + 5 * 80ms); // V, S, mA, mB, mC out
    ASSERT_EQ(acu.held.size(), 5u);
    deliver(2);
    dump->cancel();
    EXPECT_TRUE(dump->running()); // three replies are on their way
    deliver(1);
    EXPECT_FALSE(dump->running());
    EXPECT_EQ(dump->outcome(), Outcome::Cancelled);
    EXPECT_EQ(dump->repliesWritten(), 3);
    EXPECT_EQ(main.dumpPos, 0);
    EXPECT_EQ(panel->timer3().interval(), 200ms);
    EXPECT_EQ(progress.events.back(), "hide");
    deliver(); // late replies go nowhere
    std::string rest;
    EXPECT_EQ(fileLines("p.txt", &rest),
              (std::vector<std::string>{"'ACU Parameter Dump - Legacy Mode", "'CMD\tValue\tResult\tDescription",
                                        "'TAV ACU VER 4.20", "'SHx@@L2550 Ac", "mA\t005\t'*",
                                        "Parameter Dump Canceled", ""}));
    EXPECT_EQ(rest, "");
}

TEST_F(DumpTest, CancelWithNothingAwaitedEndsAtOnce)
{
    struct Case {
        const char* name;
        bool hold;
        bool closePort;
        size_t replyLines;
    };
    const Case cases[] = {{"all answered", false, false, 10}, {"port closed", true, true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        acu.hold = c.hold;
        dumpTo("p.txt");
        clock.advance(1500ms + 10 * 80ms);
        if (c.closePort)
            panel->mnuOpen_Click();
        dump->cancel();
        EXPECT_FALSE(dump->running());
        EXPECT_EQ(dump->outcome(), Outcome::Cancelled);
        const auto lines = fileLines("p.txt");
        ASSERT_EQ(lines.size(), 2 + c.replyLines + 2);
        EXPECT_EQ(lines[lines.size() - 2], "Parameter Dump Canceled");
        EXPECT_EQ(lines.back(), "");
    }
}

// ---------------------------------------------------------------- the reply timeout

TEST_F(DumpTest, SilentAcuEndsTheDumpByTimeoutWithTheHeaderOnly)
{
    acu.answerFirst = 0;
    dumpTo("p.txt");
    runDump();
    EXPECT_EQ(dump->outcome(), Outcome::TimedOut);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Error,\rTimeout while reading TAV Parameters\rClosing Log / Parameter file");
    EXPECT_EQ(ui.messages[0].icon, panel::PanelUi::Icon::Exclamation);
    EXPECT_EQ(ui.dumpFilesClosed, (std::vector<bool>{false}));
    std::string rest;
    EXPECT_EQ(fileLines("p.txt", &rest).size(), 2u);
    EXPECT_EQ(rest, "");
    EXPECT_EQ(progress.events.back(), "hide");
    EXPECT_EQ(main.dumpPos, 0);
    EXPECT_EQ(panel->timer3().interval(), 200ms);
    EXPECT_EQ(panel->timer2().interval(), 3000ms);
}

TEST_F(DumpTest, AcuFallingSilentMidDumpIsRecordedUntilTheRingComesRoundThenEnds)
{
    acu.answerFirst = 10;
    dumpTo("p.txt");
    runDump();
    EXPECT_EQ(dump->outcome(), Outcome::TimedOut);
    EXPECT_EQ(ui.messages.size(), 1u);
    std::string rest;
    const auto lines = fileLines("p.txt", &rest);
    EXPECT_EQ(rest, "");
    // Ten answers, then one stand-in per ring slot up to the ring's first slot (slots 10..31),
    // each its own reply: the stand-ins leave no sync error that would skip a slot.
    ASSERT_EQ(lines.size(), 2u + 32u);
    EXPECT_EQ(dump->repliesWritten(), 32);
    EXPECT_EQ(dump->unanswered(), 22);
    for (size_t i = 2 + 10; i < lines.size(); ++i)
        EXPECT_NE(lines[i].find("\t???\t"), std::string::npos) << lines[i];
}

TEST_F(DumpTest, ReplyLostToASyncErrorEndsTheDumpByTimeout)
{
    acu.replies["mE999\r\n"] = "xyz"; // not a parameter reply: the next reply is taken as lost
    dumpTo("p.txt");
    runDump();
    EXPECT_EQ(dump->outcome(), Outcome::TimedOut);
    EXPECT_EQ(dump->repliesWritten(), 90);
    EXPECT_EQ(ui.messages.size(), 1u);
    const auto lines = fileLines("p.txt");
    ASSERT_EQ(lines.size(), 92u);
    EXPECT_EQ(lines[2 + 6], "mE\txyz\t'xyz\tMode");
}

TEST_F(DumpTest, LastReplyMissingIsRecordedAndTheReplyTimeoutReturnsToItsSetting)
{
    acu.answerFirst = 90;
    dumpTo("p.txt");
    runDump();
    EXPECT_EQ(dump->outcome(), Outcome::Completed);
    EXPECT_EQ(dump->unanswered(), 1);
    const auto lines = fileLines("p.txt");
    ASSERT_EQ(lines.size(), 93u);
    EXPECT_EQ(lines.back(), "'????");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(panel->timer2().interval(), 3000ms);
}

// ---------------------------------------------------------------- write errors

TEST_F(DumpTest, WriteErrorIsShownOnceAndEndsTheDump)
{
    files.answers = {true}; // "/dev/full" exists
    files.paths = {"/dev/full"};
    dump->mnuParamDump_Click();
    EXPECT_FALSE(dump->running());
    EXPECT_EQ(dump->outcome(), Outcome::WriteFailed);
    EXPECT_EQ(files.errors, (std::vector<std::string>{std::strerror(ENOSPC)}));
    EXPECT_EQ(main.dumpPos, 0);
    EXPECT_EQ(panel->timer3().interval(), 200ms);
    EXPECT_EQ(progress.events.back(), "hide");
    clock.advance(10s);
    EXPECT_EQ(files.errors.size(), 1u);
    for (const auto& w : journal.writes)
        EXPECT_NE(w.bytes, "mA999\r\n"); // the sequence never went out
}

} // namespace
} // namespace dumptest
