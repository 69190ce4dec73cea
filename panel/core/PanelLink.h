#pragma once
// The panel's link to the ACU: opening and closing, the one send routine CommOut, the paced
// send scheduler with its sources, the sent-command ring, the receive path that cuts replies
// into lines and matches them to their commands, the reply timeout and the start-up timer.
// Event-driven: each handler runs to completion on the window thread.
#include "PanelState.h"
#include "common/Clock.h"
#include "common/Link.h"

#include <functional>
#include <memory>
#include <string>

namespace common {
class SettingsStore;
}

namespace panel {

// What the link logic needs from the windows.
class PanelUi {
public:
    enum class Buttons { Ok, OkCancel };
    enum class Icon { Exclamation, Information, Question };
    enum class Answer { Ok, Cancel };
    virtual ~PanelUi() = default;
    virtual Answer message(const std::string& text, const std::string& title, Buttons b, Icon i) = 0;
    // Show antenna button index (0..3) as selected without running its click handler.
    virtual void selectAntennaButton(int index) = 0;
    // Something the windows show has changed: status panels, lamps, display lines, ticks.
    virtual void refresh() = 0;
    // A reply to the last one-shot command, for the communication diagnostics window.
    virtual void diagnosticsReply(const std::string& /*line*/) {}
    // The dump ran out of time and its file must be closed (data log or parameter file).
    virtual void dumpFileClosed(bool /*wasDataLog*/) {}
};

class PanelLink {
public:
    using LinkFactory = std::function<std::unique_ptr<common::Link>(const PanelShared&)>;

    PanelLink(PanelShared& shared, MainState& main, common::Clock& clock, PanelUi& ui,
              LinkFactory makeLink, common::SettingsStore* store);
    ~PanelLink();

    // Start-up of the main window, from loading the profiles to arming Timer1.
    void Startup();
    // "Port &Open": toggles the link of the active profile. Ignored while a TCP connect wait
    // (of its own or of CommOut) runs.
    void mnuOpen_Click();
    // Antenna choice button i (0..3). Refused (the active button selected again) while a TCP
    // connect wait runs.
    void optAntenna_Click(int i);
    // The one send routine: sends text unchanged, or warns when the link is closed.
    void CommOut(const std::string& text);
    // Timers.
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    // Reply handler: a chunk of received text.
    void OnReceive(const std::string& chunk);
    // Serial error event.
    void OnCommError(int code, const std::string& detail);
    // Shut-down: saves "Query" and "Mode".
    void Shutdown();

    // Menu commands.
    void setReplyTimeout(int ms);  // mnuTime: 1000, 2000, 3000
    void setPacing(int ms);        // mnuPace: 50, 100, 200, 500
    void setReceiverMode70(bool on); // mnuDVB / mnu70M
    void setShowQuery(bool on);    // mnuQuery

    // Screen keys: stop polling, set the poll sequence, and resume through Timer1 after 600 ms.
    // Lines 1 to 3 get blankLine (a blank, or empty on the SATELLITE and MODE overviews).
    void EnterScreen(int displayState, const std::string& title, const std::string& pollSequence,
                     const std::string& blankLine = " ");
    // The ANTENNA key (run when the link opens): the front panel's, when one is attached.
    void cmdANT_Click();
    std::function<void()> antennaKey;
    // Resume polling at once on the given screen.
    void Restart(int displayState);

    // The dump source: start sending a sequence at the dump pacing, and end it (the pacing
    // and the reply timeout return to their menu settings).
    void BeginDump(const std::string& sequence);
    void EndDump();
    // The reply timeout has ended a dump (message shown, EndDump done): the dump's owner
    // closes its file. Runs before PanelUi::dumpFileClosed.
    std::function<void()> dumpTimedOut;

    // Another antenna was chosen (before its link opens).
    std::function<void()> antennaChanged;
    // Hooks filled by the parts that come later.
    std::function<void(const std::string& line, const std::string& command)> decode;
    // Spectrum sweep: the next element to send while the sweep frequency is non-zero.
    std::function<std::string()> sweepNext;
    // Parameter upload: whether its file is open, and its next prepared line.
    std::function<bool()> uploadOpen;
    std::function<std::string()> uploadNextLine;
    // Called each time a command leaves the panel, and each time a reply line has been matched
    // to the command it answers (before decoding): for tracing and tests.
    std::function<void(const std::string&)> onSent;
    std::function<void(const std::string& line, const std::string& command)> onReply;

    common::Timer& timer1() { return *timer1_; }
    common::Timer& timer2() { return *timer2_; }
    common::Timer& timer3() { return *timer3_; }
    common::Link* link() { return link_.get(); }
    // Status panel 1 text for the active profile (or the command-line link).
    std::string settingsText() const;

    static constexpr int kDumpPacingMs = 80;
    static constexpr common::Ms kConnectWait{3000};
    static constexpr common::Ms kReconnectPoll{200};

private:
    bool activeIsSerial() const;
    void setPortLamp(Rgb fill, bool lit);
    void closeLink();
    void handleLine();
    std::string pickNext();
    std::string takeDumpElement();
    std::string takeTypedElement();
    std::string takePollElement();
    void ensureLink();

    PanelShared& s_;
    MainState& m_;
    common::Clock& clock_;
    PanelUi& ui_;
    LinkFactory makeLink_;
    common::SettingsStore* store_;
    std::unique_ptr<common::Link> link_;
    std::unique_ptr<common::Timer> timer1_, timer2_, timer3_;
    bool inReceive_ = false;
    bool inTimer3_ = false; // a scheduler tick is running (possibly waiting inside CommOut)
    bool errorBoxUp_ = false; // a serial error box waits for its answer
    bool linkWait_ = false;   // a TCP connect wait runs (Port Open and the antennas wait)
};

// Reply lines are cut at CR; a line buffer that grows past this without one is garbage from a
// wrong baud rate or a runaway device and is dropped, keeping only its tail.
inline constexpr size_t kMaxLineBuffer = 4096;

} // namespace panel
