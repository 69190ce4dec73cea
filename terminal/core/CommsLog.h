#pragma once
// The communications log: everything the terminal receives, recorded raw into a file the
// technician chose ("&Start Log File..." / toolbar "OpenLogFile", "S&top Log File" / toolbar
// "CloseLogFile"). The terminal's ShowReceived writes each received chunk through the hooks
// this class installs on the Terminal (logWrite, logOpen, logError, logClose); on a failed
// write the terminal asks Retry / Cancel, and Cancel closes the log here.
//
// The window owns the file dialog (kLogDialogTitle, kLogFilter, read-only box hidden) and
// passes the chosen path to Start(); it redraws its caption and the four menu and toolbar
// entries when onChanged is called.
#include "Terminal.h"

#include <functional>
#include <string>

namespace term {

inline constexpr const char* kLogDialogTitle = "Open Communications Log File";
inline constexpr const char* kLogFilter = "Log Files (*.LOG)|*.log|All Files (*.*)|*.*";
inline constexpr const char* kTerminalCaption = "Tessaro Program Terminal";

class CommsLog {
public:
    enum class Result {
        Opened,      // the log is open
        Cancelled,   // Cancel at the replace question: nothing changed
        Failed,      // the file could not be replaced or opened: the error was shown
        AlreadyOpen, // a log is open already (the start entries are disabled then)
        Busy,        // a long sequence runs: nothing changed
    };

    // Installs the log hooks on t. The terminal must outlive this object.
    explicit CommsLog(Terminal& t);
    // Closes an open log (window close) and removes the hooks.
    ~CommsLog();
    CommsLog(const CommsLog&) = delete;
    CommsLog& operator=(const CommsLog&) = delete;

    // The terminal's caption without the log part ("Tessaro Program Terminal", or
    // "Tessaro Program Terminal 2" for a second copy).
    std::string terminalCaption = kTerminalCaption;

    // Open the log at path. An existing file brings "Replace existing file - " + path + "?"
    // (Yes / No / Cancel): Yes replaces it, No appends to it, Cancel ends.
    Result Start(const std::string& path);
    // Close the log (nothing happens when none is open).
    void Stop();

    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // The window caption: the terminal caption, + " - Logging " + file name while logging.
    std::string caption() const;
    // "&Start Log File..." and "OpenLogFile" enabled; "S&top Log File" and "CloseLogFile".
    bool canStart() const { return !isOpen() && !t_.sequenceRunning(); }
    bool canStop() const { return isOpen(); }
    // Caption or menu states changed.
    std::function<void()> onChanged;

    // Appends the text as it is, straight to the file (nothing waits in a buffer). False when
    // the write failed; lastError() then tells why. After a failed write, a next write that
    // begins with the failed text (the Retry) continues where the failed one stopped, so no
    // byte is written twice.
    bool write(const std::string& text);
    const std::string& lastError() const { return error_; }

private:
    void warn(const std::string& text);
    void changed();

    Terminal& t_;
    int fd_ = -1;
    std::string path_;
    std::string error_;
    // The chunk whose write failed and how much of it reached the file.
    bool retryPending_ = false;
    std::string failedChunk_;
    std::size_t failedWritten_ = 0;
};

} // namespace term
