#include "SignalCancel.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace common {

namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t signalsCaught = 0;
volatile std::sig_atomic_t secondStatus = 1;

void onSignal(int)
{
    if (signalsCaught)
        _exit(secondStatus);
    signalsCaught = 1;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

} // namespace

SignalCancel::SignalCancel(std::function<void()> onCancel, int secondSignalStatus) : onCancel_(std::move(onCancel))
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    signalsCaught = 0;
    secondStatus = secondSignalStatus;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char c;
        while (::read(signalPipe[0], &c, 1) > 0) {
        }
        if (onCancel_)
            onCancel_();
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

SignalCancel::~SignalCancel()
{
    if (!notifier_)
        return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    notifier_.reset();
    for (int& fd : signalPipe) {
        ::close(fd);
        fd = -1;
    }
}

bool SignalCancel::caught() { return signalsCaught != 0; }

} // namespace common
