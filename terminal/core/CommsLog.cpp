#include "CommsLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace term {

namespace fs = std::filesystem;

CommsLog::CommsLog(Terminal& t) : t_(t)
{
    t_.logWrite = [this](const std::string& text) { return write(text); };
    t_.logError = [this] { return error_; };
    t_.logClose = [this] { Stop(); };
    t_.logOpen = false;
}

CommsLog::~CommsLog()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    t_.logOpen = false;
    t_.logWrite = nullptr;
    t_.logError = nullptr;
    t_.logClose = nullptr;
}

void CommsLog::warn(const std::string& text)
{
    t_.ui().message(text, kLogDialogTitle, TerminalUi::Buttons::Ok, TerminalUi::Icon::Exclamation);
}

void CommsLog::changed()
{
    t_.logOpen = isOpen();
    if (onChanged)
        onChanged();
    t_.ui().refresh();
}

std::string CommsLog::caption() const
{
    if (!isOpen())
        return terminalCaption;
    return terminalCaption + " - Logging " + fs::path(path_).filename().string();
}

CommsLog::Result CommsLog::Start(const std::string& path)
{
    if (isOpen())
        return Result::AlreadyOpen;
    // With a log open, received text no longer reaches the reply buffer a running sequence
    // reads its answers from.
    if (t_.sequenceRunning())
        return Result::Busy;

    std::error_code ec;
    const auto st = fs::status(path, ec);
    if (fs::is_directory(st)) {
        warn("Cannot open " + path + "\r" + std::strerror(EISDIR));
        return Result::Failed;
    }
    if (fs::exists(st)) {
        const auto a = t_.ui().message("Replace existing file - " + path + "?", kLogDialogTitle,
                                       TerminalUi::Buttons::YesNoCancel, TerminalUi::Icon::Question);
        if (a == TerminalUi::Answer::Yes) {
            // Only a plain file is deleted; a device or pipe is written to as it is.
            if (fs::is_regular_file(st) && !fs::remove(path, ec)) {
                warn("Cannot replace " + path + "\r" + ec.message());
                return Result::Failed;
            }
        } else if (a != TerminalUi::Answer::No) {
            return Result::Cancelled;
        }
    }

    // Opened without blocking (a pipe with no reader fails at once instead of hanging), then
    // switched back to blocking writes.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        warn("Cannot open " + path + "\r" + std::strerror(errno));
        return Result::Failed;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    fd_ = fd;
    path_ = path;
    error_.clear();
    retryPending_ = false;
    changed();
    return Result::Opened;
}

void CommsLog::Stop()
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    retryPending_ = false;
    failedChunk_.clear();
    const bool closeFailed = ::close(fd) != 0;
    const int err = errno;
    changed();
    if (closeFailed && err != EINTR)
        warn("The log file " + path_ + " may be incomplete:\r" + std::strerror(err));
}

bool CommsLog::write(const std::string& text)
{
    if (fd_ < 0) {
        error_ = "No log file is open.";
        return false;
    }
    size_t done = 0;
    // The Retry of a failed write brings the failed text again (with what arrived meanwhile
    // after it): the part that reached the file is not written twice.
    if (retryPending_ && text.compare(0, failedChunk_.size(), failedChunk_) == 0)
        done = failedWritten_;
    retryPending_ = false;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = n < 0 ? std::strerror(errno) : std::strerror(EIO);
            retryPending_ = true;
            failedChunk_ = text;
            failedWritten_ = done;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

} // namespace term
