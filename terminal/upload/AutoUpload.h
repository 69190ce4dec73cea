#pragma once
// "Auto Upload": a whole firmware update without further input. The image is checked, the
// ACU's external ports are locked, the module is brought into its bootloader, erased, sent the
// image with a look for errors every 20 lines, judged and restarted; every stage is a "PT:  "
// line on the terminal screen. The sequence holds the one-sequence guard, so nothing else can
// write to or reopen the link while it runs; every wait is bounded and ends on Cancel.
#include "SRecord.h"
#include "UploadEngine.h"

#include <functional>
#include <string>

namespace upload {

// How an upload ended. Each has its own exit status in the command-line modes.
enum class UploadResult {
    Complete,        // the module reported success and was restarted
    FileRefused,     // no file, or the file did not pass the check
    HandshakeFailed, // the module did not answer, or its version does not fit the file
    EraseFailed,     // three erase tries without an acknowledgement
    TransferErrors,  // the module reported an error during the transfer (or fell silent)
    Cancelled,       // Cancel, or the link went away
    NotAvailable,    // this module path has no auto upload in this version
    Busy,            // another long sequence runs: nothing was done
};
// The result as the upload history records it.
const char* resultText(UploadResult r);

// Named waits of the ACU's auto upload.
inline constexpr Ms kLockWait{1500};          // before and after the port lock
inline constexpr Ms kCommCheckWait{1000};     // for the answer to ESC "S"
inline constexpr Ms kBootRestartWait{1500};   // for the answer to "9"
inline constexpr Ms kVersionWait{200};        // for the answer to "V"
inline constexpr Ms kBootStartWait{1500};     // for the answer to ESC "\0080"
inline constexpr Ms kEraseWait{1500};         // for the erase's acknowledgement
inline constexpr int kFinalLookSettleMs = 500; // before the last look for "-"
inline constexpr int kCheckpointLines = 20;   // lines between two looks for "-"
inline constexpr int kCommAttempts = 2;
inline constexpr int kEraseTries = 3;
// The bootloader's answer to ESC "S" is 9 characters; the application's is 11 or more.
inline constexpr std::uint64_t kBootAnswer = 9;
inline constexpr std::uint64_t kAppAnswerMin = 11;

class AutoUpload {
public:
    explicit AutoUpload(UploadEngine& engine);

    // "Auto Upload": the Vantor paths and the SLCD go to their own uploads (the hooks, set to
    // AutoUploadVantor and AutoUploadSLCD; a test may put its own), every other path to
    // AutoUploadModule. Holds the one-sequence guard and writes the upload history.
    UploadResult cmdAUpload_Click();
    // The frame: check, lock, handshake, erase, transfer, completion, end. Inside a sequence.
    UploadResult AutoUploadModule();

    std::function<UploadResult()> autoUploadVantor, autoUploadSLCD;

    // The version text the module reported in this run (empty when it was not read).
    const std::string& moduleVersion() const { return moduleVersion_; }
    // Where the last run stopped, as the history records it.
    const std::string& outcome() const { return outcome_; }

private:
    enum class AcuCheck { NotResponding, InBootloader, Verified, VersionsDiffer, Unexpected, Aborted };
    AcuCheck acuCheck();
    AcuCheck acuVersion();
    bool startAcuBootloader();
    UploadResult erase();
    UploadResult acuTransfer(TextLines& in);
    // Handshake, erase, transfer, completion and common end of the paths AutoUploadPcu runs.
    UploadResult unitUpload(term::ModulePath p);
    bool aborted() const;
    UploadResult fail(UploadResult r, const std::string& step);

    UploadEngine& e_;
    term::Terminal& t_;
    std::string moduleVersion_;
    std::string outcome_;
    CheckResult check_ = CheckResult::Passed; // of this run's image check
};

} // namespace upload
