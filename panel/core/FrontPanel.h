#pragma once
// The emulated front panel: the family keys and their screens, the arrows, the Tracking key,
// the shortcut menus and the entry field that turns typed values into set commands.
#include "PanelLink.h"
#include "PanelState.h"

#include <functional>
#include <memory>
#include <string>

namespace panel {

// What the arrow keys need of the pattern scan. The scan itself lives in panel/tools, a library
// built on this one, and implements this interface; so the front panel drives it without
// depending on it, and a window (or a test) hands the scan in as an ArrowScan.
class ArrowScan {
public:
    virtual ~ArrowScan() = default;
    // An arrow went down: stop the scan, reset its start point to the antenna's position and
    // set its fields for a short nudge (0.1 degrees per second, 0.3 degrees, 600 ms).
    virtual void arrowPressed() = 0;
    // The scan's direction command: 0 elevation up, 1 azimuth up, 2 elevation down,
    // 3 azimuth down.
    virtual void startDirection(int direction) = 0;
    // Whether the scan is running now in that direction.
    virtual bool runningIn(int direction) const = 0;
};

class FrontPanel {
public:
    // Takes over the link's ANTENNA key, so opening the link shows the ANTENNA overview
    // through cmdANT_Click. The scan may be given later with setScan.
    FrontPanel(PanelShared& shared, MainState& main, PanelLink& link, common::Clock& clock,
               ArrowScan* scan = nullptr);
    ~FrontPanel();
    FrontPanel(const FrontPanel&) = delete;
    FrontPanel& operator=(const FrontPanel&) = delete;

    void setScan(ArrowScan* scan) { scan_ = scan; }

    // Family keys: enter the family, or step through its screens when it is shown.
    void cmdSHIP_Click();
    void cmdSAT_Click();
    void cmdANT_Click();
    void cmdMODE_Click();
    // Tracking key: queues "D" while tracking, else "C".
    void cmdTrack_Click();
    // A shortcut menu entry ("Mode Display" / "Sat Display"): sets the state and runs the key.
    void MenuSelect(int state);

    // Arrow keys 0 up, 1 down, 2 left, 3 right: pressed and released.
    void cmdArrow_MouseDown(int i);
    void cmdArrow_MouseUp(int i);

    // A key typed in a display line: a character code, or one of the keys below.
    // Returns true when the key is swallowed (the window must not insert it). Every key the
    // entry takes is swallowed: the display line being edited is rewritten here, in
    // MainState::text5[entryLine(state)], as the item's caption followed by the entry text.
    // Control characters other than Enter and Backspace are not part of any value and are
    // left to the window (false).
    static constexpr int kEnter = 13;
    static constexpr int kBackspace = 8;
    bool Text5_KeyPress(int key);

    // The set command for a confirmed entry on a display state (empty when the state has none).
    // Also updates what the entry changes in the panel's state (parameter slots, position...).
    // A value that does not fit the command's field (too many digits, a sign the field cannot
    // carry) gives an empty command, changes nothing and sets *refused.
    std::string SetCommand(int state, const std::string& entry, bool* refused = nullptr);
    // Shown on the entry line when an entry was refused.
    static constexpr const char* kEntryRefused = "OUT OF RANGE";

    // The display line that shows the entry being typed on a screen: the line where that
    // screen shows its item's value (line 3 on screens without an item).
    static int entryLine(int state);

    // Help for the main window (F1).
    std::function<void()> onHelp;
    // Something shown may have changed (display lines, screen, queue): the window redraws.
    // Runs after every key, and when a held arrow steps a screen on its own.
    std::function<void()> changed;
    // The graph's Clear, run when a family is entered while no screen was shown (state 0).
    std::function<void()> clearGraph;
    // Any key of the panel (a family key, a shortcut menu entry, Tracking, an arrow), before it
    // acts: a running spectrum sweep stops.
    std::function<void()> keyPressed;

    // Arrow timing: how often a held arrow is looked at; on MODE screens the first repeat
    // comes after kRepeatDelay and then every kRepeatEvery.
    static constexpr common::Ms kArrowPoll{10};
    static constexpr common::Ms kRepeatDelay{500};
    static constexpr common::Ms kRepeatEvery{250};

private:
    void enterFamily(int base, const std::string& title, const std::string& poll, const std::string& blank);
    void familyKey(int state);
    void stepMode();
    void arrowStep(int i);
    void arrowTick();
    bool entryKey(int key);
    void showEntry();
    void notify();

    PanelShared& s_;
    MainState& m_;
    PanelLink& link_;
    common::Clock& clock_;
    ArrowScan* scan_;
    std::unique_ptr<common::Timer> arrowTimer_;
    int arrow_ = -1;
    common::Ms nextRepeat_{0};   // when a held arrow next steps a MODE screen
    std::string entryCaption_;   // what precedes the entry on the line being edited
    int refusedOn_ = -1;         // the screen whose entry line shows kEntryRefused
};

} // namespace panel
