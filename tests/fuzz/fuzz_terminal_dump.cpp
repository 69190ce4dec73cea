// korrin's parameter dump, what it makes of the controller's answers: any answer as every ACU
// parameter (with any high byte held), and any communications interface reply as its network
// table. No line may carry a control character, and none may run on without end.
#include "terminal/params/ParamDump.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto clean = [](const std::string& line) {
        for (const unsigned char c : line)
            if (c < 32 && c != '\t')
                return false;
        return line.size() < 8192;
    };
    const std::string answer = term::AnswerOf(input);
    long held = long(term::NumericValue(answer));
    for (int i = 0; i < 74; ++i) {
        const std::string line = term::AcuParameterLine(i, answer, held);
        if (!clean(line))
            std::abort();
    }
    for (const auto& line : term::NetworkTableLines(input))
        if (!clean(line))
            std::abort();
    return 0;
}
