#pragma once
// The emulated front panel: the family keys and their screens, the arrows, the Tracking key,
// the shortcut menus and the entry field that turns typed values into set commands.
#include "PanelLink.h"
#include "PanelState.h"

#include <functional>
#include <memory>
#include <string>

namespace panel {

class PatternScan;

class FrontPanel {
public:
    FrontPanel(PanelShared& shared, MainState& main, PanelLink& link, common::Clock& clock,
               PatternScan* scan = nullptr);
    ~FrontPanel();

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
    // Returns true when the key is swallowed (the window must not insert it).
    static constexpr int kEnter = 13;
    static constexpr int kBackspace = 8;
    bool Text5_KeyPress(int key);

    // The set command for a confirmed entry on a display state (empty when the state has none).
    // Also updates what the entry changes in the panel's state (parameter slots, position...).
    std::string SetCommand(int state, const std::string& entry);

    // Help for the main window (F1).
    std::function<void()> onHelp;

private:
    void arrowStep(int i);

    PanelShared& s_;
    MainState& m_;
    PanelLink& link_;
    common::Clock& clock_;
    PatternScan* scan_;
    std::unique_ptr<common::Timer> arrowTimer_;
    int arrow_ = -1;
};

} // namespace panel
