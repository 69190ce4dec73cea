#pragma once
// Communication diagnostics: single monitor-and-control commands to the ACU, or through it to
// the PCU, from a row of buttons, two pop-up menus and an entry box; the last command sent
// ("Text1") and the ACU's response ("Text3"); the Stop box that holds the panel's background
// queries; the decode of the PCU status flags; and the two torque drive tests.
//
// Commands go out as the send scheduler's one-shot command, which replaces any command still
// pending there. The torque drive tests move the antenna through the typed-text queue instead,
// never letting it reach the length the scheduler would send twice.
//
// The "Comm Diagnostics" window builds its controls from the tables below, shows the texts and
// captions of this class, and calls the handlers under their control names.
#include "common/Clock.h"
#include "panel/core/PanelState.h"

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace panel {

// One button of the cmdRepeat array.
struct DiagButton {
    int index;           // cmdRepeat(index); index 7 is not part of the array
    const char* caption;
    const char* tip;
    const char* command; // placed in Text1 and sent; nullptr for Repeat, the menus and the tests
};
inline constexpr int kDiagButtonSlots = 12; // indices 0..11
extern const std::array<DiagButton, 11> kDiagButtons;

// One entry of a pop-up menu: control name, caption, the command placed in Text1.
struct DiagMenuEntry {
    const char* name;
    const char* caption;
    const char* command;
};
extern const std::array<DiagMenuEntry, 17> kAcuAuxMenu; // mnuACU_Aux, "ACU Aux"
extern const std::array<DiagMenuEntry, 16> kPcuAuxMenu; // mnuPCU_Aux, "PCU Aux"

// One check entry of the PCU status pop-up (mnuPStat): the PCU word (1..3) and its bit (0..5).
struct PcuStatusEntry {
    const char* caption;
    int word;
    int bit;
};
extern const std::array<PcuStatusEntry, 18> kPcuStatusEntries;

class ComDiag {
public:
    // Buttons with their own behaviour.
    enum Button { Repeat = 0, PcuStatus = 1, PcuAux = 2, AcuAux = 3, ClTest = 8, AzTest = 9 };
    enum class Test { None, CrossLevel, Azimuth };
    enum class Phase {
        Idle,
        Moving,    // the first move: to one side of level (CL), to a test point (AZ)
        Paused,    // the axis has arrived; the drive steps start at the next report
        Stepping,  // the step timer issues the drive steps
        Canceling  // aborted: " Canceled" at the next report
    };

    // Window heights, twips: open (with the common commands) and without them.
    static constexpr int kOpenHeightTwips = 4065;
    static constexpr int kShortHeightTwips = 1950;

    static constexpr common::Ms kStepInterval{250};
    static constexpr common::Ms kReportInterval{1000};
    // The drive steps count down from these to 0: 101 CL steps ("^3100" .. "^3000") and 61 AZ
    // steps ("n8060" .. "n8000"), about 25 s and 15 s.
    static constexpr int kClStartStep = 100;
    static constexpr int kAzStartStep = 60;
    // The first move is over when the reading is this close to where it was sent (tenths of a
    // degree), or after this many reports whatever the reading says.
    static constexpr int kClArrivedWithin = 20;
    static constexpr int kAzArrivedWithin = 50;
    static constexpr int kClMoveReports = 15;
    static constexpr int kAzMoveReports = 60;
    // The scheduler sends a typed text of this length or more twice; the tests stay below it.
    static constexpr size_t kTypedLimit = 19;

    ComDiag(PanelShared& shared, const MainState& main, common::Clock& clock);
    ~ComDiag();
    ComDiag(const ComDiag&) = delete;
    ComDiag& operator=(const ComDiag&) = delete;

    // ---- the window's texts (Text1 "Last Sent", Text2 "Command", Text3 "Response")
    std::string text1, text2, text3;

    // ---- handlers
    // A cmdRepeat button. Indices 2 and 3 do nothing here: the window pops up their menu and
    // calls mnuAux_Click with the entry chosen.
    void cmdRepeat_Click(int index);
    // An entry of the ACU or PCU pop-up menu: its command goes to Text1 and is sent.
    void mnuAux_Click(const DiagMenuEntry& entry);
    // Send: clears Text3 and makes Text1 the one-shot command (with CR LF when it has two or
    // more characters).
    void Send();
    // Enter in the entry box (Text2): clears Text2 and Text3 and sends what was typed. A find
    // command ("F...") goes whole with CR; anything else is cut to five characters, filled with
    // blanks after its first character to five and ended with CR LF ("?S" -> "?   S"); a single
    // character goes as it is. Text1 shows the first five characters.
    void Text2_Enter();
    // Right mouse button on cmdRepeat(1): reads the three PCU words from Text3 (when it holds
    // "S" within its first six characters) into the status checks, which the window shows.
    void PcuStatusDecode();
    const std::array<bool, 18>& pcuStatusChecks() const { return pstat_; }
    // The " Stop" box: holds the background queries while checked.
    void chkSTOP_Click(bool checked);
    bool stopChecked() const { return s_.diagStop; }
    // "Show/Hide common commands".
    void Command1_Click();
    int heightTwips() const { return heightTwips_; }
    // The response to the last one-shot command, from the decoder.
    void showResponse(const std::string& line);
    // The window closes: a running test is aborted and the Stop box unchecked.
    void Form_Unload();

    // ---- torque drive tests
    Test test() const { return test_; }
    Phase phase() const { return phase_; }
    // The window's tag: the running test's name ("CL Test", "AZ Test"), empty when none.
    const std::string& tag() const { return tag_; }
    // A button's caption now ("Stop" on the running test's button).
    std::string caption(int index) const;
    bool testRunning() const { return test_ != Test::None; }
    int step() const { return step_; }
    int savedAzimuth() const { return savedAzimuth_; }
    // The first move of the AZ test for a polarisation reading (tenths): the "J" target, or
    // nothing when the reading lies in none of the test's bands.
    static std::optional<int> AzFirstTarget(int polarisation);
    void StepTimer_Timer();
    void ReportTimer_Timer();
    common::Timer& stepTimer() { return *stepTimer_; }
    common::Timer& reportTimer() { return *reportTimer_; }
    // Test commands waiting for room in the typed-text queue.
    const std::deque<std::string>& outbox() const { return outbox_; }

    std::function<void()> changed; // something shown has changed

private:
    void notify();
    void startCrossLevel();
    void startAzimuth();
    void abortTest();
    void finishTest();
    void endTest();
    void queue(const std::string& command);
    void queueStep(const std::string& command);
    void flush();
    void dropWaitingSteps();
    void keepReporting();
    bool arrived() const;
    int polarisationReading() const;

    PanelShared& s_;
    const MainState& m_;
    std::unique_ptr<common::Timer> stepTimer_, reportTimer_;
    std::array<bool, 18> pstat_{};
    int heightTwips_ = kOpenHeightTwips;
    Test test_ = Test::None;
    Phase phase_ = Phase::Idle;
    std::string tag_;
    int step_ = -1;
    int target_ = 0;
    int moveReports_ = 0;
    int savedAzimuth_ = 0;
    std::deque<std::string> outbox_;
    std::string lastStep_; // the last drive step put in the typed-text queue
};

} // namespace panel
