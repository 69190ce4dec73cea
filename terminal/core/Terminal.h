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
}

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
    // Something shown changed (screen, fields, status bar, indicators, menu ticks).
    virtual void refresh() = 0;
};

// Named waits of the terminal.
inline constexpr Ms kConnectWait{3000};
inline constexpr Ms kConnectPoll{200};
inline constexpr Ms kReplyWait{2000};
inline constexpr Ms kStatusResetAfter{2000};

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
    bool qm7000 = false;  // the QM-7000 path: DTR off when the link opens, phone power texts
    int nOffset = 800;    // panel height in twips; above 800 display codes are decoded
    bool hexDisplay = false;

    // ---- link
    void mnuOpen_Click(); // toggles the link
    bool linkOpen() const { return open_; }
    common::Link* link() { return link_.get(); }
    // Sends text unchanged; with the link closed warns and sets the abort flag to 2.
    void CommOut(const std::string& text);
    // DTR / RTS outputs and CTS / DSR / DCD inputs (serial only; false when unknown).
    void setDtr(bool on);
    void setRts(bool on);
    bool dtr() const { return dtr_; }
    bool rts() const { return rts_; }

    // ---- receiving
    void OnReceive(const std::string& chunk); // a chunk from the link (aBuffer)
    void ShowReceived(const std::string& text);
    std::string aBuffer;
    // The log file writer (comms log); returns false when the write failed.
    std::function<bool(const std::string&)> logWrite;
    bool logOpen = false;

    // ---- screen
    TerminalScreen screen;
    PanelFields fields;
    DisplayCodeDecoder codes;
    void LogLine(const std::string& text); // text + CR LF at the end of the screen
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
    // Waits until the link's output has really left, then about n ms.
    void TxSettle(int n);
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
        bool started() const { return started_; } // false when another sequence runs

    private:
        Terminal& t_;
        bool started_;
    };
    bool sequenceRunning() const { return sequence_; }

    // ---- status bar and indicators
    std::string statusText = "Status:";
    std::string settingsText = "Settings:";
    std::string connectTimeText;
    void OnCommError(int code, const std::string& detail);
    void StartConnectTimer();
    void StopConnectTimer();
    std::string settingsPanelText() const;

    common::Clock& clock() { return clock_; }
    TerminalUi& ui() { return ui_; }

    // Called after the link opened or closed (module path button rules, menu ticks).
    std::function<void()> onLinkChanged;

private:
    void markClosed();
    void connectTick();

    common::Clock& clock_;
    TerminalUi& ui_;
    LinkFactory makeLink_;
    std::unique_ptr<common::Link> link_;
    std::unique_ptr<common::Timer> connectTimer_, statusTimer_;
    Ms connectStart_{0};
    bool open_ = false;
    bool dtr_ = false, rts_ = false;
    bool sequence_ = false;
    std::string lastErrorShown_;
};

} // namespace term
