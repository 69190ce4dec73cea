#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace panel {

OutputFile::~OutputFile()
{
    close();
}

void OutputFile::fail(int err)
{
    error_ = std::strerror(err);
    failed_ = true;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool OutputFile::open(const std::string& path)
{
    close();
    failed_ = false;
    error_.clear();
    path_ = path;
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        fail(errno);
        return false;
    }
    fd_ = fd;
    return true;
}

bool OutputFile::writeLine(std::string_view text)
{
    if (fd_ < 0)
        return false;
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line += "\r\n";
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
            return false;
        }
        if (n == 0) { // nothing taken and no error: treat as a full device
            fail(ENOSPC);
            return false;
        }
        p += n;
        left -= size_t(n);
    }
    // The line is on the disk before the next one is taken. A full disk may only show here
    // (the write went to the page cache). Devices and pipes cannot be synced; for them the
    // write is as far as the line can go.
    if (::fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        fail(errno);
        return false;
    }
    return true;
}

bool OutputFile::close()
{
    if (fd_ < 0)
        return true;
    const int fd = fd_;
    fd_ = -1;
    // No retry after EINTR: the descriptor is released either way on Linux.
    if (::close(fd) != 0 && errno != EINTR) {
        error_ = std::strerror(errno);
        failed_ = true;
        return false;
    }
    return true;
}

std::optional<std::string> createFromDialog(FileUi& ui, OutputFile& file, const std::string& filter,
                                            const std::string& fileName, const OutputFile* inUse)
{
    for (;;) {
        const auto path = ui.saveFileDialog(filter, fileName);
        if (!path || path->empty())
            return std::nullopt;
        std::error_code ec;
        if (inUse && inUse->isOpen() && std::filesystem::equivalent(*path, inUse->path(), ec)) {
            ui.showError(kFileInUseText);
            continue;
        }
        if (std::filesystem::exists(*path, ec) && !ui.askYesNo("Replace existing file - " + *path + "?"))
            continue;
        if (!file.open(*path)) {
            ui.showError(file.error());
            return std::nullopt;
        }
        return path;
    }
}

} // namespace panel
