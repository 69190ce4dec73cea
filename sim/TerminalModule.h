#pragma once
// Common ground of the modules the programming terminal talks to in normal operation: the
// framing of what they receive, a record of it, their line ends, and a link that can be
// dropped on demand. Plain C++; time passes only through advance().
//
// Framing: each module sorts the bytes that arrive while no line is open into
//   - immediate bytes, acted on the moment they arrive ("S" after ESC, the Vantor's "%"),
//   - lead bytes, which open a line that ends at CR or LF ("<0411" CR LF),
//   - ignored bytes (blanks, unknown bytes).
// CR and LF between commands are ignored. ESC marks the command that follows it as an
// ESC-prefixed one, as the terminal sends the commands meant for the ACU itself. Inside an
// open line every byte except CR and LF belongs to the line. A partial line that sees no byte
// for 2 s is dropped; a line longer than 96 bytes is dropped up to its line end.
#include "sim/AcuDevice.h"
#include "sim/CommandParser.h"
#include "sim/LinkDevice.h"

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace sim {

inline constexpr char ESC = 27;

// Line ends of the modules' answers.
namespace lineEnd {
inline constexpr const char* crLf = "\r\n";
// The prompt of a unit that waits for the next command (the ACU and the units behind it).
inline constexpr const char* crLfPrompt = "\r\n>";
} // namespace lineEnd

// One thing a module received.
struct Received {
    enum class Kind { Byte, Line };
    Kind kind = Kind::Byte;
    bool escaped = false; // ESC came right before it
    std::string text;     // the byte, or the line without its CR / LF

    static Received byte(char c, bool esc = false) { return {Kind::Byte, esc, std::string(1, c)}; }
    static Received line(std::string t, bool esc = false) { return {Kind::Line, esc, std::move(t)}; }
    bool operator==(const Received&) const = default;
};

enum class ByteRole { Ignored, Immediate, Lead };

class LineFramer {
public:
    using Classifier = ByteRole (*)(unsigned char);
    static constexpr Ms lineIdleLimit{2000};
    static constexpr std::size_t maxLineLength = 96;

    explicit LineFramer(Classifier classify) : classify_(classify) {}

    // Appends every command the bytes complete to out; now is their time of arrival.
    void feed(const std::string& bytes, Ms now, std::vector<Received>& out);
    // Drops a partial line whose last byte came more than lineIdleLimit before now.
    void expire(Ms now);
    bool inLine() const { return state_ != State::Idle; }
    // Forgets a partial line and a pending ESC mark.
    void reset();

private:
    enum class State { Idle, Line, SkipToEnd };
    Classifier classify_;
    State state_ = State::Idle;
    bool escPending_ = false;
    bool lineEscaped_ = false;
    std::string line_;
    Ms lastByte_{0};
};

// Tenths of a degree as "ddd.d" with at least intDigits digits before the point.
std::string tenthsText(long tenths, int intDigits);

// What the antenna is doing, as a module that shows it reports it.
enum class AntennaState { Initializing, Searching, Tracking, Manual };
AntennaState antennaState(const AcuDevice& device);

class TerminalModule : public LinkDevice {
public:
    // Commands kept for inspection.
    static constexpr std::size_t historyLength = 1024;

    void receive(const std::string& bytes) override;
    void advance(Ms dt) override;
    std::string takeOutput() override;
    std::string terminated(const std::string& line) const override { return line + lineEnd_; }
    bool linkDropDue() const override { return dropLinkAfter_ > Ms{0} && now_ >= dropLinkAfter_; }

    // The link drops this long after it opened (0: never).
    void setDropLinkAfter(Ms after) { dropLinkAfter_ = after; }
    Ms now() const { return now_; }
    // Commands received, oldest first (at most historyLength).
    const std::deque<Received>& received() const { return history_; }

protected:
    TerminalModule(std::string lineEnd, LineFramer::Classifier classify)
        : lineEnd_(std::move(lineEnd)), framer_(classify) {}

    // One framed command.
    virtual void handle(const Received& r) = 0;
    // Called after each advance, with now() already moved on.
    virtual void tick() {}
    // False for commands not worth keeping in the record (a stream of sync bytes).
    virtual bool keeps(const Received&) const { return true; }

    void remember(const Received& r);
    void send(const std::string& bytes) { output_ += bytes; }
    void say(const std::string& line) { output_ += terminated(line); }
    bool lineOpen() const { return framer_.inLine(); }
    void dropPartialLine() { framer_.reset(); }

    Ms now_{0};

private:
    std::string lineEnd_;
    LineFramer framer_;
    Ms dropLinkAfter_{0};
    std::string output_;
    std::deque<Received> history_;
};

} // namespace sim
