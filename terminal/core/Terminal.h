#pragma once
// The terminal's link and screen logic (the state behind frmTerminal): opening and closing the
// serial or TCP link, the one send routine CommOut, received text into the screen model and
// the reply buffer, the keyboard rule and echo, the status bar texts, the serial event table,
// the connect time, and the waiting primitives every long sequence uses.
#include "TerminalScreen.h"

#include "common/Clock.h"
#include "common/Link.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace common {
class SettingsStore;
struct Endpoint;
struct TerminalProfile;
} // namespace common

namespace term {

using common::Ms;

// What the terminal logic needs from its windows.
class TerminalUi {
public:
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
    enum class Icon { Exclamation, Information, Question, Critical };
    enum class Answer { Ok, Cancel, Yes, No, Retry };
    virtual ~TerminalUi() = default;
    virtual Answer message(const std::string& text, const std::string& title, Buttons b, Icon i) = 0;
    // The same with the button that Enter presses (the risky answer is never the default).
    virtual Answer ask(const std::string& text, const std::string& title, Buttons b, Icon i, Answer /*defaultButton*/)
    {
        return message(text, title, b, i);
    }
    // Something shown changed (screen, fields, status bar, indicators, menu ticks).
    virtual void refresh() = 0;
};

// Named waits of the terminal.
inline constexpr Ms kConnectWait{3000};
inline constexpr Ms kConnectPoll{200};
inline constexpr Ms kReplyWait{2000};
inline constexpr Ms kStatusResetAfter{2000};
inline constexpr Ms kConnectTick{1000};
// How long TxSettle waits at most for the written bytes to leave (a stalled line, a handshake
// that never releases) before it goes on with its own delay.
inline constexpr Ms kDrainBound{10000};
// Once the line's arithmetic says the bytes have gone, how often the driver is asked again
// until it agrees.
inline constexpr Ms kDrainRecheck{1};

class Terminal {
public:
    // Makes the link for the current settings (serial: device path and settings string; TCP).
    using LinkFactory = std::function<std::unique_ptr<common::Link>(const Terminal&)>;

    Terminal(common::Clock& clock, TerminalUi& ui, LinkFactory makeLink);
    ~Terminal();

    // ---- settings (loaded at start-up, changed by the properties dialog)
    bool serial = true;                 // link type
    std::string settings = "9600,N,8,1"; // serial settings string
    int commPort = 1;
    int handshaking = 0;
    std::string devicePath;             // the device the port number maps to (or a given path)
    std::string aAddress = "192.168.0.195";
    int nPort = 2000;
    bool echo = false;
    std::string echoText = ", Echo Off  ";

    // ---- module path (set by the module list)
    std::string moduleLabel = "   DATA Terminal mode";
    bool dataPath = true; // the data terminal path shows received text unchanged
    int nOffset = 800;    // panel height in twips; above 800 display codes are decoded
    bool hexDisplay = false;
    // "&Hex Data Display": toggles the hex display; refused while a long sequence runs, whose
    // answer lengths count the characters shown.
    void mnuHex_Click();
    // The QM-7000 path: opening the port switches DTR off (the phone's power), and the DTR box
    // reports the phone power on the screen.
    bool qm7000 = false;

    // ---- link
    // "Port &Open" and the connect indicators: toggles the link. Refused while a long sequence
    // runs (the sequence owns the link) and while a TCP connect wait is running.
    void mnuOpen_Click();
    // The open/close command itself, as long sequences run it (a restart that closes the link
    // and opens it again). Ignored while a TCP connect wait of its own or of CommOut is running.
    void ToggleLink();
    // Whether a link for the present settings can be opened now (a serial device that is back
    // after a module restarted): opened and closed again at once, with nothing shown, and the
    // terminal's own link left as it is.
    bool ProbeLink();
    // A command of its own begins (a menu entry or button, not a step of a long sequence): false
    // while a long sequence runs, which it must not disturb. Otherwise an abort flag left over
    // from an earlier send on a closed link is cleared, so the command's waits really wait.
    bool BeginCommand();
    bool linkOpen() const { return open_; }
    common::Link* link() { return link_.get(); }
    // Sends text unchanged; with the link closed warns and sets the abort flag to 2. A TCP link
    // that has gone is connected again (up to 3 s); if that fails the link is marked closed,
    // the abort flag becomes 2 and "no longer valid" is shown.
    void CommOut(const std::string& text);
    // DTR / RTS outputs and CTS / DSR / DCD inputs (serial only; false when unknown).
    void setDtr(bool on);
    void setRts(bool on);
    bool dtr() const { return dtr_; }
    bool rts() const { return rts_; }
    // The DTR box clicked: sets DTR; on the QM-7000 path also tells the phone power on screen.
    // The RTS box sets RTS. Both are refused while a long sequence runs (DTR powers some
    // modules).
    void chkDTR_Click(bool on);
    void chkRTS_Click(bool on);
    // Drive the port's DTR / RTS outputs (the link has no such control of its own; the window
    // or a serial helper fills these in). Called by setDtr / setRts.
    std::function<void(bool)> driveDtr, driveRts;

    // ---- receiving
    void OnReceive(const std::string& chunk); // a chunk from the link (aBuffer)
    // Trims the screen, normalises line ends (not on the data path), shows the text (display
    // codes on panel paths, hex when chosen), then logs it or, with no log open and the collect
    // flag set, adds it to the reply buffer. On panel paths the text outside the codes is what
    // is logged and collected.
    void ShowReceived(const std::string& text);
    std::string aBuffer;
    // The log file writer (comms log); returns false when the write failed.
    std::function<bool(const std::string&)> logWrite;
    bool logOpen = false;
    // The error text of the failed write, for the Retry / Cancel box (optional).
    std::function<std::string()> logError;
    // Cancel in that box closes the log: called so the file is closed properly (optional).
    std::function<void()> logClose;

    // ---- screen
    TerminalScreen screen;
    PanelFields fields;
    DisplayCodeDecoder codes;
    void LogLine(const std::string& text); // text + CR LF at the end of the screen
    void Write(const std::string& text);   // text at the end of the screen, as it is
    void ClearScreen();

    // ---- keyboard: a key typed in txtTerm (character code; 13 for Enter)
    // Returns true when the terminal took it (sent or discarded), false for keys left to the
    // text box (codes below 4, for copying).
    bool KeyPress(int key);

    // ---- reply buffer, collect flag, abort flag
    std::string replyBuffer;
    bool collect = false;
    int abortFlag = 0;

    // ---- waits (all yield to the event loop and return early when the abort flag is set)
    void Pause(Ms duration);
    // Waits until the link's output has really left, then n ms: first as long as the line
    // needs to send what it holds (bytes x bits per character / baud), then until the driver
    // agrees (re-asked every kDrainRecheck, at most kDrainBound in all).
    void TxSettle(int n);
    // The floor of what has run since resetFloor(): every Pause, every TxSettle's settle and
    // the line's time wherever a TxSettle or DrainOutput waits for it (characters queued behind
    // each other),
    // as if every answer came at once. Line time nothing waits for (a USB transfer's lines) is
    // not in it. The upload benchmark compares wall time to it.
    double floorMs() const;
    void resetFloor();
    // How long the line still needs to send what was written (0 when it is free).
    Ms lineBusyFor() const;
    // Waits until everything written has left the link (the driver agrees), as long as the
    // line needs for what it still holds plus `extra` at most; ends early on the abort flag.
    // True when it has all left. Closing a port discards what it still holds.
    bool DrainOutput(Ms extra);
    // Up to 2 s for any text in the reply buffer; true when some came.
    bool WaitForReply();
    // As WaitForReply; when nothing came the reply buffer becomes "??" and "Command Timed Out
    // No Response" is written to the screen; then the pacing delay is waited. Returns the buffer.
    std::string AwaitReply();
    int pacingMs = 200;  // "&Pacing   (Send Text Only)"
    int MSwait = 1;      // clock reads per millisecond, calibrated at start-up
    void CalibrateMSwait();

    // ---- one long sequence at a time
    class Sequence {
    public:
        explicit Sequence(Terminal& t);
        ~Sequence();
        Sequence(const Sequence&) = delete;
        Sequence& operator=(const Sequence&) = delete;
        // False when another sequence runs. A sequence that starts clears the abort flag.
        bool started() const { return started_; }

    private:
        Terminal& t_;
        bool started_;
    };
    bool sequenceRunning() const { return sequence_; }
    // Called when a sequence has ended (e.g. to finish a window close deferred while it ran).
    std::function<void()> onSequenceEnded;

    // ---- status bar and indicators
    std::string statusText = "Status:";
    std::string settingsText = "Settings:";
    std::string connectTimeText;
    void OnCommError(int code, const std::string& detail);
    void StartConnectTimer();
    void StopConnectTimer();
    std::string settingsPanelText() const;

    common::Timer& connectTimer() { return *connectTimer_; } // Timer1, the connect time
    common::Timer& statusTimer() { return *statusTimer_; }   // Timer2, the status reset
    common::Clock& clock() { return clock_; }
    TerminalUi& ui() { return ui_; }

    // Called after the link opened or closed (module path button rules, menu ticks).
    std::function<void()> onLinkChanged;

private:
    void send(const std::string& bytes);
    void markClosed();
    void connectTick();
    void ensureLink();
    bool reconnect();
    void writeLog(const std::string& text);

    common::Clock& clock_;
    TerminalUi& ui_;
    LinkFactory makeLink_;
    std::unique_ptr<common::Link> link_;
    std::unique_ptr<common::Timer> connectTimer_, statusTimer_;
    Ms connectStart_{0};
    bool open_ = false;
    bool linkSerial_ = true; // the kind of link_ when it was made
    bool dtr_ = false, rts_ = false;
    bool sequence_ = false;
    // When the line will have sent everything written so far (on the clock, microseconds).
    std::chrono::microseconds lineFreeAt_{0};
    // The floor's own clock and its line (see floorMs).
    std::chrono::microseconds floorAt_{0}, floorLineFree_{0};
    std::string lastErrorShown_;
    // Sending waits for a TCP reconnect while events flow: text sent meanwhile (a key) waits
    // here and follows in order.
    bool reconnecting_ = false;
    std::string pendingOut_;
    // A log write failed and its box is up: text received meanwhile waits for the answer.
    bool logRetry_ = false;
    std::string pendingLog_;
};

// Start-up: the stored profile into the terminal (line settings, port and its device, echo,
// TCP address, link kind), then this run's link when one is given. A stored value the serial
// layer rejects stops it: false with the message to show.
bool LoadSettings(Terminal& t, const common::TerminalProfile& p, const common::SettingsStore& store,
                  const common::Endpoint* endpoint, std::string& error);

} // namespace term
