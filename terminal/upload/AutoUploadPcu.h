#pragma once
// "Auto Upload" for the units other than the ACU itself, inside the frame of AutoUpload (image
// check, port lock, erase tries, common end):
//   - the PCU through the ACU ("Tav 07 / Tav 8K to PCU"): the ACU checked and set up for remote
//     programming, the PCU's status and version, its drives off, up to three bootloader start
//     tries; the image line by line between "?    " and "#!   " with a look for "_" every 20
//     lines; the ACU restarted in every case;
//   - the motor driver through the ACU ("Tav 8K to G2 MDE"): the same ACU steps, the bootloader
//     started by the path's Start (up to three tries, "D"), the image without checkpoints and a
//     look for "#" after the end; the PCU and the ACU restarted;
//   - the PCU and the motor driver on their own port ("USB to G2 PCU", "Service Port to PCU",
//     "USB to G2 MDE"): version, bootloader start, one line at a time (on the service port each
//     waits for its echo), "Ok" in the answer to the last line, and the wait for a USB port that
//     goes while the unit restarts;
//   - the modems and "Brine PCU Direct": no handshake; after the erase the image goes in the
//     engine's framing for the path, as "Upload S19 File" sends it, and the upload ends as that
//     transfer ends (the unit's answers are not judged on these paths).
// Every stage is a "PT:  " line; every wait is bounded and ends on Cancel.
#include "AutoUpload.h"

#include <optional>
#include <string>

namespace upload {

// Named waits of these paths.
inline constexpr Ms kAcuAnswerWait{1000};       // the ACU's answer to ESC "S"
inline constexpr Ms kSoftResetWait{1000};       // after "\0090"
inline constexpr Ms kRemoteSetupSettle{1000};   // after the remote-upload setup
inline constexpr Ms kUnitStatusWait{1000};      // the PCU's answer to "?S"
inline constexpr Ms kUnitVersionWait{1000};     // "?V" (PCU), "*" (motor driver)
inline constexpr Ms kDrivesOffWait{1000};       // after "n0000"
inline constexpr Ms kBootStartAnswerWait{1000}; // after each bootloader start
inline constexpr Ms kWakeWait{1000};            // after the CR LF that wakes a directly connected unit
// The service port's echo of each line: a PCU silent this long after a line ends the transfer,
// which counts as cancelled (the engine's bound for the same echo).
inline constexpr Ms kServiceEchoWait = kEchoWait;
inline constexpr int kBootStartTries = 3;
inline constexpr int kLineOpenSettleMs = 6;       // after "?    "
inline constexpr int kLineCloseSettleMs = 12;     // after "#!   "
inline constexpr int kPcuEndSettleMs = 500;       // before the PCU's end-of-transfer lines
inline constexpr int kMdeEndSettleMs = 1500;      // before the motor driver's
inline constexpr int kMdeVerdictSettleMs = 1000;  // after the motor driver's transfer
inline constexpr int kPcuRestartSettleMs = 500;   // after "^0090"
inline constexpr Ms kUsbOkWait{5000};             // for the last line's "Ok" over USB
inline constexpr int kDirectEndSettleMs = 100;    // after the CR LF that ends a direct transfer
inline constexpr int kDirectRestartSettleMs = 500;
// The PCU's answer to "?S" through the ACU: 7 or 8 characters from its application (only 7
// counts on the motor-driver path); anything else starts the bootloader without a version check.
inline constexpr std::uint64_t kPcuStatusAnswer = 7;
inline constexpr std::uint64_t kPcuStatusAnswerLong = 8;

class AutoUploadPcu {
public:
    explicit AutoUploadPcu(UploadEngine& engine);

    // The paths run here: the PCU, motor-driver, modem and Brine PCU Direct entries.
    static bool handles(term::ModulePath p);
    // The modems and Brine PCU Direct: no handshake, the engine's transfer.
    static bool engineFramed(term::ModulePath p);
    // The unit as the messages name it: "PCU", "Motor Driver", or "module".
    static const char* unitName(term::ModulePath p);

    // The handshake of a PCU or motor-driver path, up to an active bootloader: Complete when
    // the erase comes next, otherwise how the upload ends (outcome() says where).
    UploadResult handshake(term::ModulePath p);
    // Transfer and completion of a PCU or motor-driver path from the open file (the progress
    // window is shown), the restarts included.
    UploadResult transfer(term::ModulePath p, TextLines& in);
    // The modems and Brine PCU Direct: "PT:  Begin Module Upload" and the engine's transfer.
    UploadResult engineTransfer();

    // Where a run that did not complete stopped, as the history records it.
    const std::string& outcome() const { return outcome_; }
    // The version the unit reported (empty when it was not read).
    const std::string& moduleVersion() const { return moduleVersion_; }

private:
    enum class Version { Verified, Differ, Unread, Aborted };

    UploadResult routedHandshake(term::ModulePath p);
    Version pcuVersion();
    UploadResult startPcuBootloader();
    UploadResult startMdeBootloader();
    UploadResult directPcuHandshake();
    // A unit on a direct link woken with CR LF and asked question: what it answered, nullopt
    // on Cancel.
    std::optional<std::string> askDirectUnit(const std::string& question);
    // "Bootload Start": the path's start command and what came back, nullopt on Cancel.
    std::optional<std::string> directBootStart();
    UploadResult directMdeHandshake();
    UploadResult routedTransfer(term::ModulePath p, TextLines& in);
    UploadResult directTransfer(term::ModulePath p, TextLines& in);
    UploadResult portReturn();
    // Waits for the service port's echo of a line; false on Cancel or time-out (then the
    // transfer stops as cancelled).
    bool echoed(term::TerminalScreen::Mark since);
    void run(const std::vector<Step>& steps);
    // The end-of-transfer line ("#", "!    ", CR LF) twice, 100 ms after each.
    void endLines();
    // After an error or Cancel the restarts still go out (the transfer has stopped): the abort
    // flag is cleared so their waits run, unless the link itself has gone.
    bool readyForRestart();
    void closeLink();
    bool aborted() const;
    UploadResult fail(UploadResult r, const std::string& step);

    UploadEngine& e_;
    term::Terminal& t_;
    std::string outcome_;
    std::string moduleVersion_;
};

} // namespace upload
