#pragma once
// SIGINT and SIGTERM for the command-line modes: the first signal reaches the event loop
// (through a pipe, as nothing else is safe in a signal handler) and runs onCancel there, as the
// Cancel button would; a second ends the program at once with the given status.
#include <functional>
#include <memory>

class QSocketNotifier;

namespace common {

class SignalCancel {
public:
    SignalCancel(std::function<void()> onCancel, int secondSignalStatus);
    ~SignalCancel();
    SignalCancel(const SignalCancel&) = delete;
    SignalCancel& operator=(const SignalCancel&) = delete;

    // False when the pipe could not be made (the signals then keep their default action).
    bool armed() const { return notifier_ != nullptr; }
    // A signal has arrived.
    static bool caught();

private:
    std::function<void()> onCancel_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace common
