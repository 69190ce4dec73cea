// The terminal screen: trimming at 16000 characters, marks in the running count, the display
// codes of the panel paths, and how received text is shown on each kind of path.
#include "TerminalFixture.h"

#include <gtest/gtest.h>

#include <utility>

using term::DisplayCodeDecoder;
using term::PanelFields;
using term::TerminalScreen;
using termtest::TerminalFixture;

namespace {

std::string run(char c, size_t n) { return std::string(n, c); }

} // namespace

// ---------------------------------------------------------------- trimming and marks

TEST(TerminalScreen, TrimRemovesTheFirst4096OnlyPast16000)
{
    struct Case {
        size_t before;
        size_t after;
    };
    const Case cases[] = {
        {0, 0}, {15999, 15999}, {16000, 16000}, {16001, 16001 - 4096}, {20000, 20000 - 4096},
        // A screen that a large chunk took far past the limit is cut until it is within it.
        {40000, 40000 - 6 * 4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        TerminalScreen s;
        std::string text;
        for (size_t i = 0; i < c.before; ++i)
            text.push_back(char('a' + i % 26));
        s.append(text);
        s.trim();
        ASSERT_EQ(s.text().size(), c.after);
        // What is left is the end of what was there.
        EXPECT_EQ(s.text(), text.substr(c.before - c.after));
        EXPECT_EQ(s.total(), c.before);
    }
}

TEST(TerminalScreen, ReceivedTextNeverTakesTheScreenPast16000ByMoreThanOneChunk)
{
    const size_t chunkSizes[] = {1, 7, 100, 1000, 4096, 5000, 12000};
    for (const size_t chunk : chunkSizes) {
        SCOPED_TRACE(chunk);
        TerminalFixture f;
        std::string all;
        for (int i = 0; i < 120; ++i) {
            const std::string piece = run(char('A' + i % 26), chunk);
            f.t.ShowReceived(piece);
            all += piece;
            ASSERT_LE(f.t.screen.text().size(), TerminalScreen::kMaxChars + chunk) << "after chunk " << i;
        }
        // The screen holds the end of everything received, in order.
        const std::string& shown = f.t.screen.text();
        EXPECT_EQ(shown, all.substr(all.size() - shown.size()));
        EXPECT_EQ(f.t.screen.total(), all.size());
    }
}

TEST(TerminalScreen, MarkBeforeTrimmingKeepsItsAnswerLengthAndText)
{
    TerminalFixture f;
    f.t.ShowReceived(run('x', 15000));
    const auto m = f.t.screen.mark();
    f.t.ShowReceived(run('B', 2000)); // 17000 on screen: the next chunk trims
    f.t.ShowReceived("OK\r");
    EXPECT_EQ(f.t.screen.text().size(), 17003u - 4096u);
    EXPECT_EQ(f.t.screen.answerLength(m), 2003u);
    EXPECT_EQ(f.t.screen.since(m), run('B', 2000) + "OK\r");

    // A flood trims away the mark's own position: the length still counts every character,
    // and the text is what is left of it.
    for (int i = 0; i < 10; ++i)
        f.t.ShowReceived(run('F', 3000));
    EXPECT_EQ(f.t.screen.answerLength(m), 32003u);
    EXPECT_EQ(f.t.screen.since(m), f.t.screen.text());

    // A mark taken after trimming measures from there.
    const auto m2 = f.t.screen.mark();
    f.t.ShowReceived("V1.52\r");
    EXPECT_EQ(f.t.screen.answerLength(m2), 6u);
    EXPECT_EQ(f.t.screen.since(m2), "V1.52\r");
    EXPECT_EQ(f.t.screen.since(f.t.screen.mark()), "");
}

TEST(TerminalScreen, ClearingTheScreenKeepsMarksRight)
{
    TerminalScreen s;
    s.append("hello");
    const auto m = s.mark();
    s.append("abc");
    s.clear();
    EXPECT_EQ(s.text(), "");
    s.append("XY");
    EXPECT_EQ(s.answerLength(m), 5u);
    EXPECT_EQ(s.since(m), "XY");
    EXPECT_EQ(s.text(), "XY");
}

TEST(TerminalScreen, LogLinesCountInTheRunningTotalAndAreTrimmedToo)
{
    TerminalFixture f;
    const auto m = f.t.screen.mark();
    f.t.LogLine("PT:  Bootload Start");
    EXPECT_EQ(f.t.screen.text(), "PT:  Bootload Start\r\n");
    EXPECT_EQ(f.t.screen.answerLength(m), 21u);
    for (int i = 0; i < 2000; ++i)
        f.t.LogLine("PT:  line");
    EXPECT_LE(f.t.screen.text().size(), TerminalScreen::kMaxChars + 11);
}

// ---------------------------------------------------------------- display codes

TEST(DisplayCodes, FieldsSpanChunksAndLeaveTheRestOnScreen)
{
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::string screen;
        PanelFields fields;
        int state;
    };
    const Case cases[] = {
        {"line 1 across two chunks", {"\x01" "ABC", "D\r\n"}, "", {"ABCD", "", "", "", "", ""}, 0},
        {"line 2 with text around", {"ab\x02" "SAT 1\r\ncd"}, "abcd", {"", "SAT 1", "", "", "", ""}, 0},
        {"line field still open", {"\x01" "AB"}, "", {}, 1},
        {"character after CR dropped in the next chunk", {"\x01" "AB\r", "\nZ"}, "Z", {"AB", "", "", "", "", ""}, 0},
        {"character after CR dropped whatever it is", {"\x02" "X\rQrest"}, "rest", {"", "X", "", "", "", ""}, 0},
        {"bargraph two characters, one at a time", {"xy\x03", "1", "2z"}, "xyz", {"", "", "12", "", "", ""}, 0},
        {"brightness four characters", {"\x04" "abcdE"}, "E", {"", "", "", "abcd", "", ""}, 0},
        {"brightness across chunks", {"\x04" "ab", "c", "d!"}, "!", {"", "", "", "abcd", "", ""}, 0},
        {"code 5 shows nothing", {"\x05" "hello"}, "hello", {}, 0},
        {"code 6 with 12: both legends", {"\x06\x0c"}, "", {"", "", "", "", "UNWRAP", "TRACKING"}, 0},
        {"code 6 with 4: unwrap", {"\x06\x04" "k"}, "k", {"", "", "", "", "UNWRAP", ""}, 0},
        {"code 6 with 8: tracking", {"\x06", "\x08"}, "", {"", "", "", "", "", "TRACKING"}, 0},
        {"code 6 with 0: neither", {std::string("\x06\x0c\x06\x00", 4)}, "", {}, 0},
        {"no codes", {"plain\r\n"}, "plain\r\n", {}, 0},
        {"codes back to back", {"\x03" "12" "\x01" "L1\r\n" "\x04" "9999"}, "", {"L1", "", "12", "9999", "", ""}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DisplayCodeDecoder d;
        PanelFields got;
        std::string screen;
        for (const auto& chunk : c.chunks)
            screen += d.feed(chunk, got);
        EXPECT_EQ(screen, c.screen);
        EXPECT_EQ(got.line1, c.fields.line1);
        EXPECT_EQ(got.line2, c.fields.line2);
        EXPECT_EQ(got.line3, c.fields.line3);
        EXPECT_EQ(got.line4, c.fields.line4);
        EXPECT_EQ(got.line6U, c.fields.line6U);
        EXPECT_EQ(got.line6T, c.fields.line6T);
        EXPECT_EQ(d.state(), c.state);
    }
}

TEST(DisplayCodes, ResetForgetsAHalfReadField)
{
    DisplayCodeDecoder d;
    PanelFields f;
    d.feed("\x01" "AB\r", f);
    d.reset();
    EXPECT_EQ(d.state(), 0);
    // The character after the CR is no longer dropped.
    EXPECT_EQ(d.feed("\nX", f), "\nX");
}

// A line field whose CR never comes keeps only its tail, and the CR still ends it then.
TEST(DisplayCodes, ALineFieldWithoutItsCrStaysBounded)
{
    DisplayCodeDecoder d;
    PanelFields f;
    d.feed("\x02", f);
    const std::string chunk(1000, 'x');
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(d.feed(chunk, f), "");
    EXPECT_EQ(d.pendingField(), DisplayCodeDecoder::kMaxDisplayField);
    d.feed("END\r\n", f);
    EXPECT_EQ(f.line2.size(), DisplayCodeDecoder::kMaxDisplayField);
    EXPECT_EQ(f.line2.substr(f.line2.size() - 4), "xEND");
    EXPECT_EQ(d.state(), 0);
}

// ---------------------------------------------------------------- received text by path

TEST(ShowReceived, EachPathShowsTheTextItsOwnWay)
{
    struct Case {
        const char* name;
        bool dataPath;
        int nOffset;
        bool hex;
        std::vector<std::string> chunks;
        std::string screen;
        std::string line1;
    };
    const Case cases[] = {
        {"data path: unchanged", true, 800, false, {"A\r\nB\n\rC\rD\n"}, "A\r\nB\n\rC\rD\n", ""},
        {"other path: line ends normalised", false, 800, false, {"A\r\nB\n\rC\rD\n"}, "A\r\nB\r\nC\r\nD", ""},
        {"hex on a path of height 800", false, 800, true, {"A\r"}, "<41><0D><0A>", ""},
        {"hex upper case, every byte", false, 800, true, {std::string("\xab\x00z", 3)}, "<AB><00><7A>", ""},
        {"hex on the data path: no LF added", true, 800, true, {"A\r"}, "<41><0D>", ""},
        {"panel path: field split over chunks", false, 1600, false, {"\x01" "ABC", "D\r\n"}, "", "ABCD"},
        {"panel path: CR alone still ends the field", false, 1600, false, {"\x01" "ABC", "D\r", "xyz"}, "xyz", "ABCD"},
        {"panel path wins over hex", false, 1600, true, {"q\x01" "L\r\n"}, "q", "L"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.t.dataPath = c.dataPath;
        f.t.nOffset = c.nOffset;
        f.t.hexDisplay = c.hex;
        for (const auto& chunk : c.chunks)
            f.t.ShowReceived(chunk);
        EXPECT_EQ(f.t.screen.text(), c.screen);
        EXPECT_EQ(f.t.fields.line1, c.line1);
    }
}

TEST(ShowReceived, LinkDataReachesTheScreenThroughOnReceive)
{
    TerminalFixture f;
    f.openSerial();
    ASSERT_NE(f.link, nullptr);
    f.link->receive("TAV 8K\r\n");
    EXPECT_EQ(f.t.aBuffer, "TAV 8K\r\n");
    EXPECT_EQ(f.t.screen.text(), "TAV 8K\r\n");
}

// ---------------------------------------------------------------- reply buffer and log

TEST(ShowReceived, CollectFlagFillsTheReplyBufferOnlyWithoutALog)
{
    struct Case {
        const char* name;
        bool collect;
        bool logOpen;
        std::string reply;
        std::string logged;
    };
    const Case cases[] = {
        {"collecting, no log", true, false, "V1\r\n", ""},
        {"not collecting", false, false, "", ""},
        {"collecting, log open", true, true, "", "V1\r\n"},
        {"log open only", false, true, "", "V1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.t.dataPath = false;
        std::string logged;
        f.t.logWrite = [&](const std::string& s) {
            logged += s;
            return true;
        };
        f.t.collect = c.collect;
        f.t.logOpen = c.logOpen;
        f.t.ShowReceived("V1\r"); // normalised before it is logged or collected
        EXPECT_EQ(f.t.replyBuffer, c.reply);
        EXPECT_EQ(logged, c.logged);
        EXPECT_EQ(f.t.screen.text(), "V1\r\n");
    }
}

TEST(ShowReceived, TheLogGetsTheTextBeforeHexConversion)
{
    TerminalFixture f;
    f.t.dataPath = false;
    f.t.hexDisplay = true;
    f.t.logOpen = true;
    std::string logged;
    f.t.logWrite = [&](const std::string& s) {
        logged += s;
        return true;
    };
    f.t.ShowReceived("A\r");
    EXPECT_EQ(f.t.screen.text(), "<41><0D><0A>");
    EXPECT_EQ(logged, "A\r\n");
}

TEST(ShowReceived, FailedLogWriteAsksRetryOrCancel)
{
    using A = term::TerminalUi::Answer;
    struct Case {
        const char* name;
        std::vector<A> answers;
        int failures;       // writes that fail before one succeeds
        int writes;         // write attempts expected
        bool logStillOpen;
        int closes;
    };
    const Case cases[] = {
        {"retry succeeds", {A::Retry}, 1, 2, true, 0},
        {"retry twice", {A::Retry, A::Retry}, 2, 3, true, 0},
        {"cancel closes the log", {A::Cancel}, 5, 1, false, 1},
        {"retry then cancel", {A::Retry, A::Cancel}, 5, 2, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalFixture f;
        f.ui.answers.assign(c.answers.begin(), c.answers.end());
        int attempts = 0, closes = 0;
        std::string logged;
        f.t.logOpen = true;
        f.t.collect = true;
        f.t.logWrite = [&](const std::string& s) {
            if (++attempts <= c.failures)
                return false;
            logged += s;
            return true;
        };
        f.t.logError = [] { return std::string("No space left on device"); };
        f.t.logClose = [&] { ++closes; };
        f.t.ShowReceived("data");
        EXPECT_EQ(attempts, c.writes);
        EXPECT_EQ(f.t.logOpen, c.logStillOpen);
        EXPECT_EQ(closes, c.closes);
        ASSERT_EQ(f.ui.messages.size(), c.answers.size());
        for (const auto& m : f.ui.messages) {
            EXPECT_EQ(m.text, "No space left on device");
            EXPECT_EQ(m.buttons, term::TerminalUi::Buttons::RetryCancel);
            EXPECT_EQ(m.icon, term::TerminalUi::Icon::Critical);
        }
        EXPECT_EQ(logged, c.logStillOpen ? "data" : "");
        // The failed chunk is not collected; once the log is closed the next one is.
        EXPECT_EQ(f.t.replyBuffer, "");
        f.t.ShowReceived("next");
        EXPECT_EQ(f.t.replyBuffer, c.logStillOpen ? "" : "next");
        EXPECT_EQ(f.t.screen.text(), "datanext");
    }
}

TEST(ShowReceived, TextArrivingWhileTheRetryBoxIsUpIsWrittenAfterIt)
{
    TerminalFixture f;
    f.t.logOpen = true;
    std::string logged;
    bool fail = true;
    f.t.logWrite = [&](const std::string& s) {
        if (fail)
            return false;
        logged += s;
        return true;
    };
    // While the box is up more text arrives; then the technician fixes the disk and retries.
    struct Ui : termtest::FakeTerminalUi {
        using FakeTerminalUi::FakeTerminalUi;
        std::function<void()> during;
        Answer message(const std::string& text, const std::string& title, Buttons b, Icon i) override
        {
            // Once only: the hook is taken out before it runs.
            if (auto d = std::exchange(during, nullptr))
                d();
            return FakeTerminalUi::message(text, title, b, i);
        }
    };
    Ui ui(f.clock);
    term::Terminal t(f.clock, ui, nullptr);
    t.logOpen = true;
    t.logWrite = f.t.logWrite;
    ui.answers = {term::TerminalUi::Answer::Retry};
    ui.during = [&] {
        t.ShowReceived("second");
        fail = false;
    };
    t.ShowReceived("first");
    EXPECT_EQ(logged, "firstsecond");
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(t.screen.text(), "firstsecond");
}

TEST(ShowReceived, PanelPathsLogAndCollectTheTextOutsideTheCodes)
{
    for (const bool logOpen : {false, true}) {
        SCOPED_TRACE(logOpen ? "log open" : "collecting");
        TerminalFixture f;
        f.t.dataPath = false;
        f.t.nOffset = 1600;
        f.t.collect = true;
        f.t.logOpen = logOpen;
        std::string logged;
        f.t.logWrite = [&](const std::string& s) {
            logged += s;
            return true;
        };
        f.t.ShowReceived("OK\x01" "LINE ONE\r\n" "\x06\x0c" "done\n");
        EXPECT_EQ(f.t.fields.line1, "LINE ONE");
        EXPECT_EQ(f.t.screen.text(), "OKdone");
        EXPECT_EQ(logOpen ? logged : f.t.replyBuffer, "OKdone");
        EXPECT_EQ(logOpen ? f.t.replyBuffer : logged, "");
    }
}
