#pragma once
// Framing of what the ACU's monitor-and-control port receives.
//
// The port sees one byte stream in which two kinds of command are mixed, with no separator
// between them:
//   - immediate queries: one byte, acted on the moment it arrives ("S", "P", "H", "@", "q",
//     "u", "%", "V", "C", "D", "&" and the bytes 129 to 138);
//   - line commands: a lead byte ("m", "?", "A", "c", ...) and everything after it up to a
//     carriage return (or a line feed), e.g. "mN999" CR LF or "F1234" CR.
// A panel may deliver a line command one byte per pacing tick or in pieces, so the parser
// keeps its state between calls. Bytes that are neither a query nor a lead (blanks, CR and LF
// between commands, ESC, anything unknown) are ignored while no line is open.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace sim {

using Ms = std::chrono::milliseconds;

struct Command {
    enum class Kind { Query, Line };
    Kind kind = Kind::Query;
    // Query: the single byte. Line: the line without its CR / LF.
    std::string text;

    static Command query(char c) { return {Kind::Query, std::string(1, c)}; }
    static Command line(std::string t) { return {Kind::Line, std::move(t)}; }
    bool isQuery(char c) const { return kind == Kind::Query && text.size() == 1 && text[0] == c; }
    char lead() const { return text.empty() ? '\0' : text[0]; }
    bool operator==(const Command&) const = default;
};

class CommandParser {
public:
    // A partial line that has seen no byte for this long is abandoned.
    static constexpr Ms lineIdleLimit{2000};
    // A line longer than this is thrown away up to its terminator.
    static constexpr std::size_t maxLineLength = 96;

    static bool isQueryByte(unsigned char c);
    static bool isLeadByte(unsigned char c);

    // Feeds received bytes, appending every command they complete to out. now is the time of
    // arrival, used only for the idle limit of a partial line.
    void feed(const std::string& bytes, Ms now, std::vector<Command>& out);
    // Abandons a partial line whose last byte came more than lineIdleLimit before now.
    void expire(Ms now);

    bool inLine() const { return state_ != State::Idle; }
    const std::string& partialLine() const { return line_; }

private:
    enum class State { Idle, Line, SkipToEnd };
    State state_ = State::Idle;
    std::string line_;
    Ms lastByte_{0};
};

} // namespace sim
