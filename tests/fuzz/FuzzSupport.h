#pragma once
// What several fuzz targets share: a terminal window that answers every box the same way, and
// a file kept in memory (a disk file would be written back at every close) that the code under
// test opens by its /proc path as it opens any file.
#include "terminal/core/Terminal.h"

#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzzsupport {

class AnsweringUi : public term::TerminalUi {
public:
    explicit AnsweringUi(bool yes = false) : yes_(yes) {}
    Answer message(const std::string&, const std::string&, Buttons b, Icon) override
    {
        return b == Buttons::YesNo ? (yes_ ? Answer::Yes : Answer::No) : Answer::Ok;
    }
    void refresh() override {}

private:
    bool yes_;
};

// Puts the bytes in the memory file and returns its path.
inline std::string memoryFile(const void* bytes, size_t size)
{
    static const int fd = [] {
        const int f = ::memfd_create("tessaro-fuzz", 0);
        if (f < 0)
            std::abort();
        return f;
    }();
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, bytes, size, 0) != ssize_t(size))
        std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace fuzzsupport
