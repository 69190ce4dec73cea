#include "sim/EchoTerminal.h"

namespace sim {

namespace {

// Nothing is framed: every byte is echoed as it comes.
ByteRole noRole(unsigned char) { return ByteRole::Ignored; }

// A typed line longer than this is kept only up to it.
constexpr std::size_t kMaxKeptLine = 256;

} // namespace

EchoTerminal::EchoTerminal() : TerminalModule(lineEnd::crLfPrompt, noRole) {}

void EchoTerminal::receive(const std::string& bytes)
{
    for (char c : bytes) {
        if (c == '\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        afterCr_ = c == '\r';
        if (c == '\r' || c == '\n') {
            remember(Received::line(line_));
            line_.clear();
            send(terminated(""));
            continue;
        }
        send(std::string(1, c));
        if (line_.size() < kMaxKeptLine)
            line_.push_back(c);
    }
}

} // namespace sim
