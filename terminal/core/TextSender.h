#pragma once
// Sending a prepared text file to the selected module line by line, with the chosen pacing
// delay between lines, once or over and over, and the parameter-upload mode (80 ms) that
// cleans each line before it goes out. Every byte leaves through Terminal::CommOut and every
// wait is Terminal::Pause, so the send runs on virtual time in tests.
//
// The window owns the file dialog and the cancel window (frmCancelSend): it passes the chosen
// path in, shows or hides the cancel window when onCancelWindow says so, and calls cancel()
// from the cancel window's "Cancel" button.
#include "Terminal.h"

#include <array>
#include <functional>
#include <string>

namespace term {

// The entries of "&Pacing   (Send Text Only)", in menu order, in milliseconds.
inline constexpr std::array<int, 6> kPacingChoices{0, 60, 100, 200, 400, 1000};
inline constexpr int kStartupPacingMs = 200;
// The pacing of "Parameter Upload   (Send mod Text @ 80ms)"; a send at exactly this delay
// cleans its lines (comments and Tabs removed).
inline constexpr int kParameterUploadPacingMs = 80;
// The longest line a text file may hold; a longer one means the file is not a command or
// parameter file, and nothing is sent.
inline constexpr std::size_t kMaxSendLineChars = 4096;

// The value the abort flag takes when the cancel window's Cancel stops a send, and the value
// CommOut leaves when nothing could be sent on a closed link. A send stops on Cancel and on
// any other abort (the window closing) but goes on past a closed link, warning for each line.
inline constexpr int kAbortCancelled = 1;
inline constexpr int kAbortLinkClosed = 2;

// File dialog and cancel window texts.
inline constexpr const char* kSendTextDialogTitle = "Send Text File";
inline constexpr const char* kSendTextFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
inline constexpr const char* kCancelSendCaption = "Send Text";

class TextSender {
public:
    enum class Result {
        Done,      // the end of the file was reached (no loop)
        Cancelled, // Cancel (or another abort) stopped the send
        NotFound,  // the file does not exist: the warning was shown, the dialog opens again
        Failed,    // the file could not be opened or read, or is not a text file: warning shown
        Busy,      // another long sequence runs; nothing was done
    };

    explicit TextSender(Terminal& t);

    // ---- "&Pacing   (Send Text Only)"
    // Choose an entry: the pacing delay becomes ms and the check mark moves to that entry.
    void choosePacing(int ms);
    // The entry that carries the check mark (one of kPacingChoices).
    int checkedPacing() const { return checked_; }

    // ---- "Loop Send Text File": toggles its own check mark.
    void toggleLoop() { loop_ = !loop_; }
    bool loop() const { return loop_; }
    void setLoop(bool on) { loop_ = on; }

    // ---- "Send &Text File": send the chosen file at the current pacing delay.
    Result SendTextFile(const std::string& path);
    // ---- "Parameter Upload   (Send mod Text @ 80ms)": clears the screen, sends the file once
    // at 80 ms in parameter-upload mode and restores the previous pacing delay.
    Result ParameterUpload(const std::string& path);

    // ---- the cancel window
    // "Cancel" of frmCancelSend: the send stops before its next line (a pacing wait in
    // progress ends at once).
    void cancel();
    bool cancelRequested() const { return cancel_; }
    bool sending() const { return sending_; }
    // Show (true, caption, text) or hide (false) frmCancelSend.
    std::function<void(bool show, const std::string& caption, const std::string& text)> onCancelWindow;

    // The text line of the cancel window for a send of path at the current settings.
    std::string cancelWindowText(const std::string& path) const;

    // What a line of the file becomes. Returns false when the line is only shown on the
    // screen (a comment); otherwise out holds the bytes sent, terminator included.
    static bool lineToSend(const std::string& line, bool parameterMode, std::string& out);

private:
    Result run(const std::string& path);
    void show(bool on, const std::string& path);

    Terminal& t_;
    int checked_ = kStartupPacingMs;
    bool loop_ = false;
    bool cancel_ = false;
    bool sending_ = false;
};

} // namespace term
