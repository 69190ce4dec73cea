// The parameter dumps: the value classes and the network table as pure rules, then whole dumps
// on virtual time against a scripted ACU that answers every query at once unless a test says
// otherwise (busy answers, silence, a stream, Cancel at a given query).
#include "terminal/text/TextBench.h"

#include "terminal/core/ModulePaths.h"
#include "terminal/params/ParamDump.h"

#include <map>
#include <optional>
#include <sys/stat.h>

namespace texttest {
namespace {

using term::ModulePath;
using term::ParamDump;
using Result = ParamDump::Result;

const std::string CRLF = "\r\n";
const std::string ESC = "\x1b";

// ---------------------------------------------------------------- the rules

TEST(ParamDumpRules, EveryValueClassFormatsItsAnswer)
{
    struct Case {
        int index;
        std::string answer;
        long held;
        std::string line;
        long heldAfter;
    };
    const Case cases[] = {
        {0, "012", 7, "mA\t012\t'*", 12},                       // 0: held for the next entry
        {4, "002", 9, "mE\t002\t'002\tMode", 9},                // 1: the answer as it came
        {47, "244", 1, "mp\t244\t'0500\tTHRS", 1},              // 2: the word, "0000"
        {47, "-12", 0, "mp\t-12\t'-0012\tTHRS", 0},
        {1, "012", 0, "mB\t012\t'001.2\tEl Trim", 0},           // 3: signed tenths
        {3, "251", 255, "mD\t251\t'-000.5\tAz Trim", 255},
        {19, "255", 127, "mT\t255\t'3276.7\tAz Limit1", 127},
        {21, "000", 128, "mV\t000\t'-3276.8\tAz Limit2", 128},
        {1, "??", 0, "mB\t??\t'000.0\tEl Trim", 0},             // a timed-out query reads 0
        {61, "011", 0, "m~\t011\t'000B\tTarget NID", 0},        // 4: four hex digits
        {61, "043", 26, "m~\t043\t'1A2B\tTarget NID", 26},
        {35, "001", 0, "md\t001\t'S\tLat N/S", 0},              // 5: odd is south
        {35, "002", 0, "md\t002\t'N\tLat N/S", 0},
        {38, "048", 0, "mg\t048\t'W\tLon E/W", 0},              // 6: bit 16 is west
        {41, "015", 0, "mj\t015\t'E\tSat E/W", 0},
        {43, "028", 2, "ml\t028\t'090.0\tLcl HDG", 2},          // 7: sixths, rounded to tenths
        {43, "007", 0, "ml\t007\t'001.2\tLcl HDG", 0},
        {43, "-01", 0, "ml\t-01\t'-000.2\tLcl HDG", 0},
        {51, "219", 26, "mt\t219\t'6875 / 0430  Baud/KHz", 26}, // 8: word and sixteenths
        {51, "024", 0, "mt\t024\t'0024 / 0002  Baud/KHz", 0},   // 1.5 to the even 2
        {51, "008", 0, "mt\t008\t'0008 / 0000  Baud/KHz", 0},   // 0.5 to the even 0
        {55, "032", 53, "mx\t032\t'0850\tAGC", 53},             // 9: sixteenths
        {57, "056", 0, "mz\t056\t'0004\tExt AGC", 0},           // 3.5 to the even 4
        {69, "025", 0, "m\x86\t025\t'012\tEl Limit12", 0},      // 10: halves, 12.5 to 12
        {70, "027", 0, "m\x87\t027\t'014\tEl Limit34", 0},      // 13.5 to 14
        {72, "", 0, "", 0},                                     // nothing without an answer
        {74, "001", 0, "", 0},                                  // no such entry
    };
    for (const Case& c : cases) {
        long held = c.held;
        EXPECT_EQ(term::AcuParameterLine(c.index, c.answer, held), c.line) << c.index << " " << c.answer;
        EXPECT_EQ(held, c.heldAfter) << c.index;
    }
}

TEST(ParamDumpRules, AnswerAndNumericValueOfAReply)
{
    const std::pair<std::string, std::string> answers[] = {
        {"mA123\r\n>", "123"}, {"??", "??"}, {"mA", ""}, {"n0\r\n>", ""}, {"mE###\r\n>", "###"},
        {"mA12\r\n>", "12"},   {"", ""},     {"mA1\t3", "1"},
    };
    for (const auto& [reply, answer] : answers)
        EXPECT_EQ(term::AnswerOf(reply), answer) << reply;
    const std::pair<std::string, long> values[] = {
        {"012", 12}, {"-12", -12}, {" 7", 7}, {"??", 0}, {"", 0}, {"1.5", 2},
        {"2.5", 2},  {"2.51", 3},  {"0.4", 0}, {"12x", 12}, {"99999999999999999999", 1000000000L},
    };
    for (const auto& [text, value] : values)
        EXPECT_EQ(term::NumericValue(text), value) << text;
}

TEST(ParamDumpRules, NetworkTableTakesEachValueOrSaysItIsMissing)
{
    const std::string full = "IP=10.1.2.3\r\nNM=255.0.0.0\r\nGW=10.0.0.1\r\nP0=2000\r\nP1=2001\r\nUP=3000\r\n"
                             "BC=9600\r\nBA=4800\r\nBB=38400\r\n>";
    const std::vector<std::string> lines = term::NetworkTableLines(full);
    const std::vector<std::string> expected{
        "'CommIF Parameter Dump, Legacy mode", "'CMD\tValue\t\tDescription",
        "[I\t10.1.2.3\t'IP Address",           "[N\t255.0.0.0\t'Net Mask",
        "[G\t10.0.0.1\t'Gateway",              "[0\t2000\t\t'TCP Port 0",
        "[1\t2001\t\t'TCP Port 1",             "[U\t3000\t\t'UDP Port",
        "[C\t9600\t\t'Baud Rate M&C  (C)",     "[A\t4800\t\t'Baud Rate NMEA (A)",
        "[B\t38400\t\t'Baud Rate NMEA (B)",
    };
    EXPECT_EQ(lines, expected);

    // No "=" on the mask's line: only that entry is missing, the rest keep their own values.
    auto noEquals = term::NetworkTableLines("IP=10.1.2.3\rNM 255.0.0.0\rGW=10.0.0.1\rP0=2000\r");
    ASSERT_EQ(noEquals.size(), 11u);
    EXPECT_EQ(noEquals[3], "'[N\t(missing)\t'Net Mask");
    EXPECT_EQ(noEquals[4], "[G\t10.0.0.1\t'Gateway");
    EXPECT_EQ(noEquals[5], "[0\t2000\t\t'TCP Port 0");
    EXPECT_EQ(noEquals[6], "'[1\t(missing)\t\t'TCP Port 1"); // the reply ends there
    // The last value without its CR, a value with a control character, one far too long.
    auto noCr = term::NetworkTableLines("IP=10.1.2.3\rNM=255.0.0.0");
    EXPECT_EQ(noCr[3], "'[N\t(missing)\t'Net Mask");
    EXPECT_EQ(noCr[10], "'[B\t(missing)\t\t'Baud Rate NMEA (B)");
    auto odd = term::NetworkTableLines("IP=10.1\x07.3\rNM=" + std::string(65, '9') + "\rGW=1.1.1.1\r");
    EXPECT_EQ(odd[2], "'[I\t(missing)\t'IP Address");
    EXPECT_EQ(odd[3], "'[N\t(missing)\t'Net Mask");
    EXPECT_EQ(odd[4], "[G\t1.1.1.1\t'Gateway");
}

TEST(ParamDumpRules, AnyReplyIsReadWithoutHarm)
{
    // Bounded pseudo-random replies of every byte value: the rules never fail or write a line
    // break or control character into a value.
    unsigned seed = 12345;
    for (int n = 0; n < 3000; ++n) {
        std::string r;
        const int len = n % 40;
        for (int i = 0; i < len; ++i) {
            seed = seed * 1103515245u + 12345u;
            r.push_back(char(n % 3 == 0 ? "=\r\nIP0.9"[(seed >> 16) % 8] : (seed >> 16) & 0xFF));
        }
        const std::string a = term::AnswerOf(r);
        EXPECT_LE(a.size(), 3u);
        long held = term::NumericValue(r);
        for (char c : term::AcuParameterLine(n % 74, a, held))
            EXPECT_TRUE(c == '\t' || static_cast<unsigned char>(c) >= 32) << n;
        for (const std::string& l : term::NetworkTableLines(r))
            for (char c : l)
                ASSERT_TRUE(c == '\t' || static_cast<unsigned char>(c) >= 32) << n;
    }
}

// ---------------------------------------------------------------- whole dumps

class ParamDumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        dump.chooseFile = [this](const std::string& title, const std::string& filter, const std::string& name) {
            dialogs.push_back(title + " | " + filter + " | " + name);
            if (files.empty())
                return std::string();
            std::string f = files.front();
            files.pop_front();
            return f;
        };
        dump.onProgressWindow = [this](bool show) { window.push_back(show); };
        dump.onProgress = [this](int v) { progress.push_back(v); };
        onPath(ModulePath::TAV8a);
    }
    void onPath(ModulePath p)
    {
        paths.Select(p, false);
        if (!bench.t.linkOpen())
            bench.open();
        bench.link->onWrite = [this](const std::string& bytes) { answer(bytes); };
        bench.journal.writes.clear();
    }

    // The scripted ACU: a test's queued answers for a command first (nullopt: silence), then
    // the rule below. onCommand runs before the answer.
    void answer(const std::string& cmd)
    {
        if (onCommand)
            onCommand(cmd);
        auto q = queued.find(cmd);
        if (q != queued.end() && !q->second.empty()) {
            const auto a = q->second.front();
            q->second.pop_front();
            if (a)
                bench.link->receive(*a);
            return;
        }
        const std::string P = "\r\n>";
        std::string a;
        if (cmd == "V" + CRLF)
            a = "TAV ACU VER 7.20";
        else if (cmd == "S" + CRLF)
            a = "SHx@@L2550 Ac";
        else if (cmd.size() == 7 && cmd[0] == 'm')
            a = cmd.substr(0, 2) + value(cmd[1]);
        else if (cmd.size() == 8 && cmd.compare(0, 2, ESC + "n") == 0)
            a = "n" + cmd.substr(2, 1) + value(cmd[2]);
        else if (cmd == "?V" + CRLF)
            a = "PCU VER 2.31";
        else if (cmd == "?S" + CRLF)
            a = "S@h@@";
        else if (cmd == "]0411" + CRLF || cmd == "<0411" + CRLF || cmd == ">0411" + CRLF)
            a = cmd.substr(0, 1) + " VER 1.00";
        else if (cmd == "[V" + CRLF)
            a = "COMM IF VER 2.02";
        else if (cmd == "[?" + CRLF)
            a = "IP=10.1.2.3\rNM=255.0.0.0\rGW=10.0.0.1\rP0=2000\rP1=2001\rUP=3000\rBC=9600\rBA=4800\rBB=4800";
        else
            return;
        bench.link->receive(a + P);
    }
    std::string value(char code) const
    {
        const auto v = values.find(code);
        char buf[8];
        std::snprintf(buf, sizeof buf, "%03d", v == values.end() ? 1 : v->second);
        return buf;
    }
    // The file's lines; every line must end in CR LF.
    std::vector<std::string> lines(const std::string& path) const
    {
        const std::string text = readFile(path);
        std::vector<std::string> out;
        size_t from = 0;
        for (size_t at; (at = text.find(CRLF, from)) != std::string::npos; from = at + 2)
            out.push_back(text.substr(from, at - from));
        EXPECT_EQ(from, text.size()) << "the file does not end with CR LF";
        return out;
    }
    std::vector<std::string> sent() const { return bench.writes(); }
    size_t count(const std::vector<std::string>& v, const std::string& s) const
    {
        return size_t(std::count(v.begin(), v.end(), s));
    }

    TextBench bench;
    TempDir dir;
    term::ModulePaths paths{bench.t, nullptr};
    ParamDump dump{bench.t, paths};
    std::map<std::string, std::deque<std::optional<std::string>>> queued;
    std::map<char, int> values;
    std::function<void(const std::string&)> onCommand;
    std::deque<std::string> files;
    std::vector<std::string> dialogs;
    std::vector<bool> window;
    std::vector<int> progress;
};

TEST_F(ParamDumpTest, AFullDumpWritesEverySectionInOrderAndShowsTheFile)
{
    const std::string path = dir.file("param_All.txt");
    files = {path};
    values = {{'A', 0}, {'B', 12}, {'E', 2}};
    EXPECT_EQ(dump.mnuParamDumpAll_Click(), Result::Done);
    EXPECT_EQ(dialogs, (std::vector<std::string>{"Parameter DumpALL Text File | Text Files (*.txt)|*.txt|All Files "
                                                 "(*.*)|*.* | param_All.txt"}));

    // 2 identity queries, 74 ACU, 2 + 12 PCU, 4 versions and the network table, in order.
    const auto w = sent();
    ASSERT_EQ(w.size(), 95u);
    EXPECT_EQ(w[0], "V" + CRLF);
    EXPECT_EQ(w[2], "mA999" + CRLF);
    EXPECT_EQ(w[75], std::string("m\x8a") + "999" + CRLF);
    EXPECT_EQ(w[78], ESC + "n0999" + CRLF);
    EXPECT_EQ(std::vector<std::string>(w.begin() + 90, w.end()),
              (std::vector<std::string>{"]0411\r\n", "<0411\r\n", ">0411\r\n", "[V\r\n", "[?\r\n"}));

    const auto l = lines(path);
    ASSERT_EQ(l.size(), 2u + 2 + 74 + 1 + 2 + 2 + 2 + 12 + 1 + 4 + 11); // the prompts after ?V and ?S
    EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + 7),
              (std::vector<std::string>{"'TAV ACU VER 7.20", "'SHx@@L2550 Ac", "'ACU Parameter Dump, Legacy Mode",
                                        "'CMD\tValue\tResult\tDescription", "mA\t000\t'*", "mB\t012\t'001.2\tEl Trim",
                                        "mC\t001\t'*"}));
    EXPECT_EQ(l[8], "mE\t002\t'002\tMode");
    const auto pcu = std::find(l.begin(), l.end(), "'PCU VER 2.31");
    ASSERT_NE(pcu, l.end());
    EXPECT_EQ(*(pcu - 1), "");
    EXPECT_EQ(std::vector<std::string>(pcu, pcu + 7),
              (std::vector<std::string>{"'PCU VER 2.31", ">", "'S@h@@", ">", "'PCU Parameter Dump, Legacy Mode",
                                        "'CMD\tValue\tDescription", "n0\t001\t'Model Index"}));
    EXPECT_EQ(*(pcu + 17), "n;\t001\t'Stat1");
    EXPECT_EQ(std::vector<std::string>(pcu + 18, pcu + 25),
              (std::vector<std::string>{"", "'] VER 1.00", "'< VER 1.00", "'> VER 1.00", "'COMM IF VER 2.02",
                                        "'CommIF Parameter Dump, Legacy mode", "'CMD\tValue\t\tDescription"}));
    EXPECT_EQ(l.back(), "[B\t4800\t\t'Baud Rate NMEA (B)");

    // The screen shows the file; the progress started at 0, ran 0..73 and 75..86; the window
    // came and went.
    EXPECT_EQ(bench.t.screen.text(), readFile(path));
    ASSERT_EQ(progress.size(), 1u + 74u + 12u);
    EXPECT_EQ(progress[74], 73);
    EXPECT_EQ(progress[75], term::kPcuProgressFrom);
    EXPECT_EQ(progress.back(), 86);
    EXPECT_EQ(window, (std::vector<bool>{true, false}));
    EXPECT_FALSE(bench.t.collect);
    EXPECT_FALSE(bench.t.sequenceRunning());
}

TEST_F(ParamDumpTest, TheLegacyEntryHasItsOwnTitleAndName)
{
    EXPECT_EQ(dump.mnuParamDumpLeg_Click(), Result::NoFile);
    EXPECT_EQ(dialogs, (std::vector<std::string>{"6800/07 Legacy Parameter Dump Text File | Text Files (*.txt)|*.txt|"
                                                 "All Files (*.*)|*.* | param_Leg.txt"}));
    EXPECT_TRUE(sent().empty());
}

TEST_F(ParamDumpTest, BusyAnswersAreAskedAgainEvery600MsAndWriteOneLine)
{
    const std::string path = dir.file("busy.txt");
    queued["mE999" + CRLF] = {"mE###\r\n>", "mE###\r\n>", "mE123\r\n>"};
    queued[ESC + "n3999" + CRLF] = {"n3###\r\n>", "n3060\r\n>"};
    EXPECT_EQ(dump.FullDumpTo(path), Result::Done);
    const auto l = lines(path);
    EXPECT_EQ(count(l, "mE\t123\t'123\tMode"), 1u);
    EXPECT_EQ(count(l, "n3\t060\t'AZ Kp"), 1u);
    for (const auto& line : l)
        EXPECT_EQ(line.find("###"), std::string::npos) << line;
    // Each ask waits the pacing (200 ms) after its answer, then 600 ms before the next.
    std::vector<Ms> asked;
    for (const auto& x : bench.journal.writes)
        if (x.bytes == "mE999" + CRLF)
            asked.push_back(x.at);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1] - asked[0], Ms{800});
    EXPECT_EQ(asked[2] - asked[1], Ms{800});
}

TEST_F(ParamDumpTest, CancelDuringTheAcuLoopEndsTheFileAndShowsIt)
{
    const std::string path = dir.file("cancel.txt");
    const int fds = openDescriptors();
    onCommand = [this](const std::string& cmd) {
        if (cmd == "mK999" + CRLF)
            bench.at(bench.clock.now() + Ms{500}, [this] { dump.cancel(); }); // while it waits
    };
    queued["mK999" + CRLF] = {std::nullopt};
    const Ms began = bench.clock.now();
    EXPECT_EQ(dump.FullDumpTo(path), Result::Cancelled);
    EXPECT_EQ(sent().back(), "mK999" + CRLF); // nothing after it
    const auto l = lines(path);
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(l[l.size() - 3], "mJ\t001\t'001\tSearch Inc");
    EXPECT_EQ(l[l.size() - 2], "");
    EXPECT_EQ(l.back(), "'Parameter Dump Canceled");
    EXPECT_EQ(bench.t.screen.text(), readFile(path));
    EXPECT_EQ(window, (std::vector<bool>{true, false}));
    EXPECT_FALSE(bench.t.collect);
    EXPECT_EQ(openDescriptors(), fds); // the file is closed
    EXPECT_LT(bench.clock.now() - began, Ms{12 * 200 + 500 + 1});
}

TEST_F(ParamDumpTest, OnThePathsStraightToThePcuTheDumpEndsAfterThePcuSection)
{
    for (ModulePath p : {ModulePath::SPG2pcu, ModulePath::USBpcu}) {
        onPath(p);
        const std::string path = dir.file("pcu-path.txt");
        EXPECT_EQ(dump.FullDumpTo(path), Result::Done);
        EXPECT_EQ(sent().back(), ESC + "n;999" + CRLF);
        EXPECT_EQ(sent().size(), 2u + 74 + 2 + 12);
        EXPECT_EQ(lines(path).back(), "n;\t001\t'Stat1");
    }
}

TEST_F(ParamDumpTest, TheReplaceQuestionNoAsksAgainYesReplacesCancelEnds)
{
    const std::string path = dir.write("old.txt", "keep me\r\n");
    files = {path, path};
    bench.ui.answers = {Answer::No, Answer::Cancel};
    EXPECT_EQ(dump.mnuParamDumpAll_Click(), Result::NoFile);
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0], dialogs[1]); // the same title, filter and name
    ASSERT_EQ(bench.ui.messages.size(), 2u);
    EXPECT_EQ(bench.ui.messages[0].text, "Replace existing file - " + path + "?");
    EXPECT_EQ(bench.ui.messages[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(readFile(path), "keep me\r\n");
    EXPECT_TRUE(sent().empty());

    files = {path};
    bench.ui.answers = {Answer::Yes};
    EXPECT_EQ(dump.mnuParamDumpAll_Click(), Result::Done);
    EXPECT_EQ(lines(path).front(), "'TAV ACU VER 7.20");
}

TEST_F(ParamDumpTest, ATimedOutQueryIsWrittenAsQuestionMarksAndTheDumpGoesOn)
{
    const std::string path = dir.file("silent.txt");
    queued["mE999" + CRLF] = {std::nullopt};
    std::string screenAtNext;
    onCommand = [&](const std::string& cmd) {
        if (cmd == "mF999" + CRLF)
            screenAtNext = bench.t.screen.text();
    };
    EXPECT_EQ(dump.FullDumpTo(path), Result::Done);
    EXPECT_NE(screenAtNext.find("Command Timed Out No Response\r\n"), std::string::npos);
    const auto l = lines(path);
    EXPECT_EQ(count(l, "mE\t??\t'??\tMode"), 1u);
    EXPECT_EQ(count(l, "mF\t001\t'001\tAuto Thrs"), 1u);
    Ms mE{0}, mF{0};
    for (const auto& x : bench.journal.writes) {
        if (x.bytes == "mE999" + CRLF)
            mE = x.at;
        if (x.bytes == "mF999" + CRLF)
            mF = x.at;
    }
    EXPECT_EQ(mF - mE, Ms{2000 + 200});
}

TEST_F(ParamDumpTest, TheInterfacesListingInItsOtherLayoutsAndAReplyThatNeverEnds)
{
    struct Case {
        std::string reply;
        std::vector<std::string> tail; // the file's last lines
    };
    const Case cases[] = {
        {"'CommIF Parameter Dump\r\n>", {"'COMM IF VER 2.02", "'CommIF Parameter Dump", ">"}},
        {"ERR [?\r\n>", {"'> VER 1.00", "'COMM IF VER 2.02"}},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file("commif.txt");
        queued["[?" + CRLF] = {c.reply};
        EXPECT_EQ(dump.FullDumpTo(path), Result::Done);
        const auto l = lines(path);
        ASSERT_GE(l.size(), c.tail.size());
        EXPECT_EQ(std::vector<std::string>(l.end() - long(c.tail.size()), l.end()), c.tail) << c.reply;
    }

    // The interface talks on and on after "[?": the dump takes what fits and ends on time.
    auto stream = bench.clock.createTimer();
    int chunks = 0;
    stream->setInterval(Ms{10});
    stream->onTick = [&] {
        ++chunks;
        bench.link->receive(chunks == 1 ? std::string("'C") : std::string(200, 'x'));
    };
    queued["[?" + CRLF] = {std::nullopt};
    onCommand = [&](const std::string& cmd) {
        if (cmd == "[?" + CRLF)
            stream->setEnabled(true);
    };
    const std::string path = dir.file("stream.txt");
    EXPECT_EQ(dump.FullDumpTo(path), Result::Done);
    stream->setEnabled(false);
    EXPECT_GT(chunks, 100);
    const auto l = lines(path);
    EXPECT_EQ(l.back().size(), term::kMaxAnswerChars);
}

TEST_F(ParamDumpTest, AClosedLinkWarnsOnceAndTheFileSaysTheDumpStopped)
{
    bench.t.mnuOpen_Click();
    ASSERT_FALSE(bench.t.linkOpen());
    bench.ui.messages.clear();
    const std::string path = dir.file("closed.txt");
    EXPECT_EQ(dump.FullDumpTo(path), Result::Cancelled);
    ASSERT_EQ(bench.ui.messages.size(), 1u);
    EXPECT_NE(bench.ui.messages[0].text.find("Operation not allowed while port is closed"), std::string::npos);
    EXPECT_EQ(readFile(path), "\r\n'Parameter Dump Canceled\r\n");
}

TEST_F(ParamDumpTest, RefusalsSendNothing)
{
    // A file that cannot be made.
    const std::string bad = dir.file("no/such/dir/param.txt");
    EXPECT_EQ(dump.FullDumpTo(bad), Result::FileError);
    ASSERT_EQ(bench.ui.messages.size(), 1u);
    EXPECT_EQ(bench.ui.messages[0].text, "Cannot write " + bad + "\rNo such file or directory");
    EXPECT_EQ(bench.ui.messages[0].icon, Icon::Exclamation);
    // The communications log takes the answers while it is open.
    bench.t.logOpen = true;
    files = {dir.file("log.txt")};
    EXPECT_EQ(dump.mnuParamDumpAll_Click(), Result::LogOpen);
    EXPECT_TRUE(dialogs.empty());
    bench.t.logOpen = false;
    // Another sequence runs.
    {
        term::Terminal::Sequence other(bench.t);
        EXPECT_EQ(dump.mnuParamDumpAll_Click(), Result::Busy);
        EXPECT_EQ(dump.mnuPcuParamDump_Click(), Result::Busy);
        dump.mnuPcuListing_Click();
    }
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(window.empty());
}

TEST_F(ParamDumpTest, ThePcuSectionAloneUsesAFreshTemporaryFileAndReplacesItsScreenText)
{
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    ::setenv("TMPDIR", dir.file("").c_str(), 1);
    const std::string planted = dir.write("KorrinTmp.txt", "planted\r\n");
    bench.t.LogLine("before the dump");
    std::string during;
    unsigned mode = 0;
    onCommand = [&](const std::string& cmd) {
        struct stat st {};
        if (cmd == "?V" + CRLF && ::stat(dump.lastTempFile().c_str(), &st) == 0)
            mode = st.st_mode & 0777;
    };
    EXPECT_EQ(dump.mnuPcuParamDump_Click(), Result::Done);
    const std::string first = dump.lastTempFile();
    EXPECT_EQ(dump.mnuPcuParamDump_Click(), Result::Done);
    if (before)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");

    EXPECT_EQ(mode, 0600u); // nobody else can read or plant it
    const std::string name = std::filesystem::path(first).filename().string();
    EXPECT_EQ(std::filesystem::path(first).parent_path(), std::filesystem::path(dir.file("")).parent_path());
    EXPECT_EQ(name.rfind("KorrinTmp-", 0), 0u);
    EXPECT_NE(first, dump.lastTempFile());
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_FALSE(std::filesystem::exists(dump.lastTempFile()));
    EXPECT_EQ(readFile(planted), "planted\r\n");

    // Only the PCU's queries; the screen keeps what was there, and each run's file stands in for
    // what the run itself showed.
    EXPECT_EQ(sent().size(), 2u * (2 + 12));
    EXPECT_EQ(sent()[0], "?V" + CRLF);
    std::string file = "\r\n'PCU VER 2.31\r\n>\r\n'S@h@@\r\n>\r\n'PCU Parameter Dump, Legacy Mode\r\n"
                       "'CMD\tValue\tDescription\r\n";
    for (int i = 0; i < 12; ++i)
        file += std::string("n") + char('0' + i) + "\t001\t'" + term::kPcuParameters[size_t(i)] + CRLF;
    EXPECT_EQ(bench.t.screen.text(), "before the dump\r\n" + file + file);
}

TEST_F(ParamDumpTest, ThePcuListingClearsTheScreenAndSendsItsCommand)
{
    bench.t.LogLine("old text");
    dump.mnuPcuListing_Click();
    EXPECT_EQ(sent(), (std::vector<std::string>{ESC + "[?P  " + CRLF}));
    EXPECT_EQ(bench.t.screen.text().find("old text"), std::string::npos);
}

} // namespace
} // namespace texttest
