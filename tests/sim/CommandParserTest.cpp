// Framing of the byte stream the controller receives: immediate queries, CR-terminated line
// commands, and bytes between commands that mean nothing.
#include "sim/CommandParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using sim::Command;
using sim::CommandParser;
using sim::Ms;

namespace {

Command Q(char c) { return Command::query(c); }
Command L(const std::string& t) { return Command::line(t); }

std::string show(const std::vector<Command>& cmds)
{
    std::string s;
    for (const auto& c : cmds) {
        s += c.kind == Command::Kind::Query ? "Q[" : "L[";
        for (char ch : c.text) {
            const auto u = static_cast<unsigned char>(ch);
            s += (u < 32 || u > 126) ? "\\" + std::to_string(u) : std::string(1, ch);
        }
        s += "] ";
    }
    return s;
}

struct FramingCase {
    const char* name;
    std::string bytes;
    std::vector<Command> expected;
};

const std::vector<FramingCase>& framingCases()
{
    static const std::vector<FramingCase> cases = {
        {"single query", "S", {Q('S')}},
        {"poll run", "SPH@qu%V", {Q('S'), Q('P'), Q('H'), Q('@'), Q('q'), Q('u'), Q('%'), Q('V')}},
        {"parameter read", "mN999\r\n", {L("mN999")}},
        {"query right after a line command", "mN999\r\nS", {L("mN999"), Q('S')}},
        {"PCU query", "?   S\r\n", {L("?   S")}},
        {"screen poll with a line query", "SPH?   S\r\n%", {Q('S'), Q('P'), Q('H'), L("?   S"), Q('%')}},
        {"CR alone ends a line", "F1234\rS", {L("F1234"), Q('S')}},
        {"LF alone ends a line", "A1800\nP", {L("A1800"), Q('P')}},
        {"tracking on and off", "CD", {Q('C'), Q('D')}},
        {"error reset then PCU status", "&    \r\n?   S\r\n", {Q('&'), L("?   S")}},
        {"escape prefix is ignored", "\x1b\\0090\r\n", {L("\\0090")}},
        {"terminal style query with line end", "V\r\nS\r\n", {Q('V'), Q('S')}},
        {"MODE code byte alone", "\x81", {Q('\x81')}},
        {"MODE code inside a parameter read", "m\x8a" "999\r\n", {L("m\x8a" "999")}},
        {"query letters inside a line stay in it", "$GPGLL,4318.00,N,00524.00,E\r\n", {L("$GPGLL,4318.00,N,00524.00,E")}},
        {"blanks, line ends and unknown bytes between commands", " \r\n\x1bZ\x7f\xff", {}},
        {"two set commands in one piece", "mo001\r\nmp244\r\n", {L("mo001"), L("mp244")}},
        {"empty lines", "\r\n\r\n", {}},
    };
    return cases;
}

std::vector<Command> feedAll(const std::string& bytes)
{
    CommandParser p;
    std::vector<Command> out;
    p.feed(bytes, Ms{0}, out);
    return out;
}

} // namespace

TEST(CommandParser, FramesEachStreamIntoItsCommands)
{
    for (const auto& c : framingCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(show(feedAll(c.bytes)), show(c.expected));
    }
}

TEST(CommandParser, OneByteAtATimeGivesTheSameCommands)
{
    for (const auto& c : framingCases()) {
        SCOPED_TRACE(c.name);
        CommandParser p;
        std::vector<Command> out;
        Ms t{0};
        for (char ch : c.bytes) {
            p.feed(std::string(1, ch), t, out);
            t += Ms{200}; // one byte per pacing tick
        }
        EXPECT_EQ(show(out), show(c.expected));
    }
}

TEST(CommandParser, SevenBytePiecesGiveTheSameCommands)
{
    const std::string stream = "mA255\r\nmB255\r\nSPHS\x1b\\0087\r\n";
    CommandParser p;
    std::vector<Command> out;
    for (std::size_t i = 0; i < stream.size(); i += 7)
        p.feed(stream.substr(i, 7), Ms{static_cast<long>(i) * 100}, out);
    EXPECT_EQ(show(out), show({L("mA255"), L("mB255"), Q('S'), Q('P'), Q('H'), Q('S'), L("\\0087")}));
}

TEST(CommandParser, PartialLineIsKeptAcrossSlowPacingButDroppedWhenStale)
{
    const struct {
        const char* name;
        Ms gap; // between the first part and the rest
        std::vector<Command> expected;
    } cases[] = {
        {"half a second between bytes", Ms{500}, {L("mA123"), Q('S')}},
        {"at the idle limit", CommandParser::lineIdleLimit, {L("mA123"), Q('S')}},
        // The stale start is dropped; "123" and CR LF then mean nothing on their own.
        {"past the idle limit", CommandParser::lineIdleLimit + Ms{1}, {Q('S')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CommandParser p;
        std::vector<Command> out;
        p.feed("mA", Ms{1000}, out);
        EXPECT_TRUE(p.inLine());
        p.feed("123\r\nS", Ms{1000} + c.gap, out);
        EXPECT_EQ(show(out), show(c.expected));
        EXPECT_FALSE(p.inLine());
    }
}

TEST(CommandParser, OverlongLineIsDiscardedUpToItsEnd)
{
    CommandParser p;
    std::vector<Command> out;
    const std::string junk = "$" + std::string(CommandParser::maxLineLength + 10, 'S');
    p.feed(junk + "\r\nP", Ms{0}, out);
    EXPECT_EQ(show(out), show({Q('P')})) << "letters of the discarded line must not act as queries";
}

TEST(CommandParser, NoByteIsBothAQueryAndALineLead)
{
    for (int c = 0; c < 256; ++c) {
        const auto u = static_cast<unsigned char>(c);
        EXPECT_FALSE(CommandParser::isLeadByte(u) && CommandParser::isQueryByte(u)) << "byte " << c;
    }
}
