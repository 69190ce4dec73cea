#pragma once
// velmar without a window: the parameter dump to a file (--dump), and a data log recorded in a
// graph mode until a time has passed or SIGINT/SIGTERM (--record). The same logic as the
// window's File and Tools menus; messages and progress go to standard error.
#include "common/Endpoint.h"

#include <optional>
#include <string>

namespace common {
class Clock;
class SettingsStore;
}

namespace velmarcli {

// Exit statuses.
inline constexpr int kOk = 0;
inline constexpr int kBadUsage = 2;
inline constexpr int kLinkClosed = 3;  // the link could not be opened, or was lost
inline constexpr int kTimedOut = 4;    // the ACU stopped answering during the dump
inline constexpr int kWriteFailed = 5; // the file could not be created or written
inline constexpr int kCancelled = 6;   // a signal cancelled the dump

struct Options {
    std::optional<common::Endpoint> endpoint; // this run's link; else the active profile
    std::string dumpFile;                     // --dump
    std::string recordFile;                   // --record
    int graphMode = 0;                        // --graph-mode, 0..6
    double seconds = 0;                       // --seconds; 0 = until a signal
};

int run(const Options& o, common::SettingsStore& store, common::Clock& clock);

} // namespace velmarcli
