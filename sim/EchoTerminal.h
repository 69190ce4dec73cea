#pragma once
// Module "echo": the device at the far end of the data terminal path. It echoes every byte
// typed; a CR is answered by CR LF and the prompt ">" (the LF of a CR LF is swallowed, a lone
// LF counts as a CR). Each line typed is kept in the record.
#include "sim/TerminalModule.h"

namespace sim {

class EchoTerminal : public TerminalModule {
public:
    static constexpr const char* prompt = ">";

    EchoTerminal();
    void receive(const std::string& bytes) override;

protected:
    void handle(const Received&) override {}

private:
    std::string line_;
    bool afterCr_ = false;
};

} // namespace sim
