#pragma once
// The building blocks of every firmware path: Start (the bootloader), Erase, Bulk Erase, the
// "S9" bootloader restart, the ACU's remote-upload setup, the S-record transfer in the framing
// each module path needs, and the two restarts (the ACU's, and the wait for a USB or service
// port that disappears while its module restarts). The window's buttons and menus call the
// *_Click entries, which hold the one-sequence guard; the auto uploads call the steps inside a
// sequence of their own. Everything goes out through Terminal::CommOut and every wait is the
// terminal's, so it all runs on virtual time in tests.
#include "FileCheck.h"
#include "UploadHistory.h"
#include "UploadTables.h"

#include "terminal/core/ModulePaths.h"
#include "terminal/core/Terminal.h"
#include "terminal/core/TextSender.h"

#include <functional>
#include <string>

namespace upload {

using common::Ms;

// Named waits of the transfer and the restarts.
inline constexpr int kFragmentSettleMs = 6;     // after each "#" + 4 characters
inline constexpr int kLineSettleMs = 15;        // after each line
inline constexpr int kDvbLineEndSettleMs = 12;  // after a DVB line's "w!   "
inline constexpr int kTransferEndSettleMs = 1000;
inline constexpr int kEndLineSettleMs = 100;    // after each end-of-transfer line
inline constexpr Ms kPanelLineWait{200};        // between lines on "Brine PCU to Panel"
inline constexpr int kBrineDirectSettleMs = 60; // between a line and its CR LF on "Brine PCU Direct"
inline constexpr size_t kPanelShortLine = 42;   // the first shorter line ends a panel transfer
// The per-line echo of the service port (at least 11 characters) and of the Orla PCU (one):
// a module silent for this long after a line ends the transfer as cancelled.
inline constexpr Ms kEchoWait{5000};
inline constexpr size_t kServicePortEcho = 11;
inline constexpr Ms kOrlaCheckWait{2000};       // before the Orla PCU's "CRC is GOOD" is looked for
inline constexpr Ms kOrlaRebootWait{5000};
// The remote-upload setup: the ACU restarts for 4 x 2 s.
inline constexpr Ms kRemoteResetStep{2000};
inline constexpr int kRemoteResetSteps = 4;
inline constexpr int kRemoteModeSettleMs = 600;
// The ACU's restart.
inline constexpr Ms kRebootStep{500};
inline constexpr Ms kTcpRebootWait{5000};
// The wait for a port to come back: 1.5 s, then one try a second, 61 tries.
inline constexpr Ms kPortCloseWait{1500};
inline constexpr Ms kCloseDrainWait{5000};   // beyond the line's own time, before a port is closed
inline constexpr Ms kPortRetryEvery{1000};
inline constexpr int kPortTries = 61;

// The progress window's texts.
inline constexpr const char* kProgressCaption = "Upload";
inline constexpr const char* kProgressText = "Uploading S19 File - ";
inline constexpr const char* kNoFileChosen =
    "No upload file has been chosen yet.\rUse Manual Program Upload Tools > Upload S19 File to choose and check one.";

// Splits a line into fragments of 4 characters; a last fragment shorter than 4 gets "00"
// appended and is cut to 4.
std::vector<std::string> fragments(const std::string& line);

class UploadEngine {
public:
    UploadEngine(term::Terminal& t, term::ModulePaths& paths, term::TextSender& sender);

    // The file the transfers send, and how the window lets the technician choose one.
    UploadFile file;
    ChooseFile chooseFile;
    // Show (true, caption, text) or hide (false) the progress window.
    std::function<void(bool show, const std::string& caption, const std::string& text)> onProgressWindow;

    // ---- the window's entries: each refused (false) while another long sequence runs
    bool cmdStart_Click();  // "Start", "Start Progamming Sequence"
    bool cmdErase_Click();  // "Erase"
    bool mnuBulk_Click();   // "Bulk Erase"
    bool Command5_Click();  // "S9"
    bool mnuRem_Click();    // "Remote Upload / Lock Ports"
    // "&Upload S19 File..." (File menu): sends the file chosen last, no dialog, no check; with
    // no file chosen yet it says so and sends nothing.
    enum class TransferResult { Done, Cancelled, NoFile, FileError, Busy };
    TransferResult mnuSendHex_Click();
    // "Upload S19 File" and the "Upload" button: the check, then the transfer; a file that does
    // not match gets the mismatch line instead.
    TransferResult mnuUpload_Click();
    // The progress window's Cancel: the abort flag is set and the window hidden.
    void cancel();

    // ---- the steps, inside a running sequence
    void Start();
    void Erase();
    void BulkErase();
    void RestartBoot();
    void RemoteSetup();
    // The transfer of the selected path: opens the file, shows the progress window, sends, and
    // hides the window again.
    TransferResult Transfer();
    // The last transfer stopped because the module did not answer a line within kEchoWait.
    bool echoTimedOut() const { return echoTimedOut_; }
    // One line in fragments: prefix + 4 characters + CR LF, each followed by TxSettle(6).
    void SendFragments(const std::string& line, char prefix);
    void RebootACU();
    // Closes the link and waits for a serial port to come back (true when it did).
    bool ClosePortAndWaitReopen();
    // Shows or hides the progress window for the chosen file.
    void showProgress(bool on);

    // The upload history every upload is written to (none: nothing is recorded).
    UploadHistory* history = nullptr;
    // Appends the record of an upload of the chosen file that began at began (clock time); a
    // history that cannot be written is said on the screen.
    void record(Ms began, const std::string& result, const std::string& moduleVersion = {});

    term::Terminal& terminal() { return t_; }
    term::ModulePaths& paths() { return paths_; }

private:
    void run(const std::vector<Step>& steps);
    void VantorBootStart();
    // Waits until at least n characters came since mark, Cancel or kEchoWait; false unless
    // they came.
    bool echo(term::TerminalScreen::Mark mark, std::uint64_t n);

    term::Terminal& t_;
    term::ModulePaths& paths_;
    term::TextSender& sender_;
    bool echoTimedOut_ = false;
};

} // namespace upload
