// The line-of-sight tool's typed input: any texts as positions, altitudes and the shown
// pointing texts. Nothing may crash, and every figure shown is a number.
#include "panel/tools/LineOfSight.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The input's fields, separated by NUL bytes: latitude, longitude, altitude of each end.
    std::vector<std::string> f(6);
    size_t at = 0;
    for (size_t i = 0; i < size && at < f.size(); ++i) {
        if (data[i] == 0)
            ++at;
        else
            f[at].push_back(char(data[i]));
    }
    using namespace panel::los;
    const Position antenna{f[0], size % 2 ? "S" : "N", f[1], size % 3 ? "W" : "E", f[2]};
    const Position target{f[3], "N", f[4], "E", f[5]};
    (void)dInput(f[0]);
    const Pointing p = Calculate(antenna, target);
    for (const std::string* t : {&p.azimuthText, &p.elevationText, &p.rangeText, &p.viewableText})
        if (t->empty() || t->size() > 64)
            std::abort();
    const std::string cmd = TargetCommands(f[0], f[1]);
    if (cmd.size() != 14 || cmd[0] != 'A' || cmd[7] != 'E')
        std::abort();
    return 0;
}
