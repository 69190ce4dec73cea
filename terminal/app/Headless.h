#pragma once
// korrin without its window, for workshops that update units from a script: the very same
// image check, transfer, auto upload and parameter dumps, with the screen's text (log lines and what the module
// says) written to standard output as it comes, every question answered from the command line
// (and printed with its answer), Cancel on SIGINT or SIGTERM, and the outcome as the exit
// status.
#include "common/Endpoint.h"

#include <optional>
#include <string>

namespace common {
class Clock;
class SettingsStore;
} // namespace common

namespace headless {

// Exit statuses.
enum Status : int {
    kComplete = 0,        // the module reported success (--auto-upload), the file was sent
                          // (--upload), the file passed (--check), the dump was written
                          // (--dump, --dump-pcu)
    kBadUsage = 2,        // options missing or wrong, unknown module code
    kFileRefused = 3,     // no file, or it did not pass the check; a dump file that exists and
                          // was not to be replaced (--answer no)
    kHandshakeFailed = 4, // the link did not open, or the module did not answer or fit
    kEraseFailed = 5,
    kTransferErrors = 6,  // the module reported errors, fell silent, or the file failed mid-way
    kCancelled = 7,       // SIGINT, SIGTERM, or the link went away (a dump file then ends with
                          // "'Parameter Dump Canceled")
    kNotAvailable = 8,    // no auto upload for this module path in this version
    kFileNotWritable = 9, // the dump file could not be created or written
};

enum class Mode { Check, Upload, AutoUpload, Dump, DumpPcu };

struct Options {
    Mode mode = Mode::AutoUpload;
    std::string moduleCode;   // the module list entry's code, as stored under "Direct" (TAV8a)
    std::string file;         // the image, or the dump file
    bool answerYes = false;   // the answer to every question box
    std::optional<common::Endpoint> endpoint; // this run's link; the stored settings otherwise
};

// Runs one mode over the settings of store and returns the exit status. The module code is
// checked first; an unknown one is bad usage.
int run(const Options& o, common::SettingsStore& store, common::Clock& clock);

} // namespace headless
