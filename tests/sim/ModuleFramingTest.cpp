// How the terminal-facing modules frame what they receive, and the module list itself.
#include "ModuleTestUtil.h"

#include "sim/EchoTerminal.h"
#include "sim/TerminalModule.h"

#include <gtest/gtest.h>

#include <vector>

using namespace simtest;
using sim::Received;

namespace {

// Digits act at once, letters open lines, everything else is ignored.
sim::ByteRole testRole(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return sim::ByteRole::Immediate;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
        return sim::ByteRole::Lead;
    return sim::ByteRole::Ignored;
}

std::vector<Received> frame(const std::vector<std::string>& pieces)
{
    sim::LineFramer f(testRole);
    std::vector<Received> out;
    for (const auto& p : pieces)
        f.feed(p, sim::Ms{0}, out);
    return out;
}

} // namespace

TEST(LineFramer, SortsBytesIntoImmediateBytesAndLinesWithTheirEscMarks)
{
    const struct {
        const char* name;
        std::vector<std::string> pieces;
        std::vector<Received> want;
    } cases[] = {
        {"immediate byte", {"7"}, {Received::byte('7')}},
        {"ESC marks the byte after it", {ESC + "7" + "8"}, {Received::byte('7', true), Received::byte('8')}},
        {"line at CR, LF after it ignored", {"ab9\r\n"}, {Received::line("ab9")}},
        {"line at a lone LF", {"ab\n"}, {Received::line("ab")}},
        {"ESC marks a line", {ESC + "ab 1\r\n"}, {Received::line("ab 1", true)}},
        {"a blank between ESC and the command clears the mark", {ESC + " ab\r"}, {Received::line("ab")}},
        {"line in pieces", {"a", "b", "1", "\r", "\n"}, {Received::line("ab1")}},
        {"ESC in one piece, command in the next", {ESC, "5"}, {Received::byte('5', true)}},
        {"inside a line digits belong to it", {"x12\r3"}, {Received::line("x12"), Received::byte('3')}},
        {"ignored bytes between commands", {"  ,;\r\n4"}, {Received::byte('4')}},
        {"too long a line is dropped up to its end", {std::string(200, 'z') + "\r5"}, {Received::byte('5')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(frame(c.pieces), c.want);
    }
}

TEST(LineFramer, PartialLineIsDroppedAfterTwoSecondsOfSilence)
{
    sim::LineFramer f(testRole);
    std::vector<Received> out;
    f.feed("ab", sim::Ms{0}, out);
    f.feed("c", sim::Ms{2000}, out); // within the limit: the line goes on
    EXPECT_TRUE(f.inLine());
    f.feed("\r", sim::Ms{4001}, out); // more than 2 s after "c": "abc" was dropped
    EXPECT_TRUE(out.empty());
    f.feed("de\r", sim::Ms{4002}, out);
    EXPECT_EQ(out, std::vector<Received>{Received::line("de")});
}

TEST(EchoModule, EchoesTypedKeysAndAnswersCrWithCrLfAndThePrompt)
{
    const struct {
        const char* name;
        std::vector<std::string> pieces;
        std::string want;
        std::vector<std::string> lines;
    } cases[] = {
        {"a key", {"a"}, "a", {}},
        {"Enter (CR LF)", {"ab\r\n"}, "ab\r\n>", {"ab"}},
        {"CR and LF in separate pieces", {"x\r", "\n"}, "x\r\n>", {"x"}},
        {"a lone LF ends a line too", {"p\nq\r"}, "p\r\n>q\r\n>", {"p", "q"}},
        {"two Enters", {"\r\n\r\n"}, "\r\n>\r\n>", {"", ""}},
        {"the data terminal's status command", {"AT$QCSTATUS\r\n"}, "AT$QCSTATUS\r\n>", {"AT$QCSTATUS"}},
        {"bytes of any value come back as they are", {"\x1b\x81\t"}, "\x1b\x81\t", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ModuleModel m("echo");
        std::string out;
        for (const auto& p : c.pieces)
            out += ask(m, p);
        EXPECT_EQ(out, c.want);
        std::vector<std::string> lines;
        for (const auto& r : m.module().received())
            lines.push_back(r.text);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(Modules, EveryListedNameMakesAModuleAndOthersNone)
{
    sim::AcuDevice device;
    ASSERT_EQ(sim::modules().size(), 17u);
    for (const auto& info : sim::modules()) {
        SCOPED_TRACE(info.name);
        EXPECT_NE(sim::makeModule(info.name, device), nullptr);
        EXPECT_NO_THROW(sim::ModuleModel{info.name});
    }
    for (const char* bad : {"", "acu", "ECHO", "modem "}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(sim::makeModule(bad, device), nullptr);
        EXPECT_THROW(sim::ModuleModel{bad}, std::invalid_argument);
    }
}

TEST(Modules, LinkDropComesDueAfterItsTimeForAnyModule)
{
    for (const auto& info : sim::modules()) {
        SCOPED_TRACE(info.name);
        sim::ModuleModel m(info.name);
        EXPECT_FALSE(m.module().linkDropDue()) << "no drop asked for";
        m.module().setDropLinkAfter(sim::Ms{1500});
        m.advance(sim::Ms{1499});
        EXPECT_FALSE(m.module().linkDropDue());
        m.advance(sim::Ms{1});
        EXPECT_TRUE(m.module().linkDropDue());
    }
}
