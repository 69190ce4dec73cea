#pragma once
// The pattern scan: moves the antenna at a steady rate along one axis, elevation or azimuth,
// up or down, by putting a fresh position target in the typed-text queue on every tick of its
// own timer, and stops by itself after a set number of degrees. Positions are kept in
// 1/180 degree; every rounding goes to the nearest integer, halves to the even neighbour.
//
// The "Pattern Scan" window shows and edits the fields below as values, calls the handlers
// under their control names, and redraws from the getters when `changed` runs. The front
// panel's arrows reach the same scan through the ArrowScan interface.
#include "common/Clock.h"
#include "panel/core/FrontPanel.h"
#include "panel/core/PanelState.h"

#include <functional>
#include <memory>
#include <string>

namespace common {
class SettingsStore;
}

namespace panel {

class PatternScan : public ArrowScan {
public:
    // Scan directions, as the window's direction buttons number them.
    enum Direction { ElUp = 0, AzUp = 1, ElDown = 2, AzDown = 3 };
    // The command forms of the "Scan Mode" list, in its order.
    enum class Mode {
        AEI, // "A, E, I": "A"/"E" + tenths of a degree as 4 digits
        IJK, // "i, j, k": "k"/"j" + 4 hexadecimal digits
        ADS  // "ads, eds !": nothing is sent
    };

    static constexpr long kUnitsPerDegree = 180;
    static constexpr long kElevationTop = 16200; // 90.0 degrees
    static constexpr long kFullTurn = 64800;     // 360.0 degrees

    // Reads the antenna's position from main (tenths of a degree) and queues its targets in
    // shared.typed. Starts as the window's load leaves it.
    PatternScan(PanelShared& shared, const MainState& main, common::Clock& clock);
    ~PatternScan() override;
    PatternScan(const PatternScan&) = delete;
    PatternScan& operator=(const PatternScan&) = delete;

    // ---- the window's fields
    double scanRate = 0.5;    // "Scan Rate", degrees per second
    double stopDegrees = 10;  // "Auto Stop Degrees"
    int rateMs = 250;         // "Rate mS", the interval between targets
    int n8 = 8;               // "N8", kept with the options
    Mode mode = Mode::AEI;

    // ---- handlers
    // Window load: mode "A, E, I", start point from the antenna's position, caption idle.
    void Load();
    // A direction button: start a scan (see Direction).
    void cmdDIR_Click(int direction);
    // "Stop/Reset": stops a running scan; otherwise resets the start point to the antenna's
    // position.
    void cmdStopRst_Click();
    // End of a scan: the last target stays active in the ACU.
    void Stop();
    // The scan clock.
    void Timer1_Timer();

    // Options in the settings store, section "Options": "N8", "Scan", "Rate".
    void loadOptions(const common::SettingsStore& store);
    void saveOptions(common::SettingsStore& store) const;

    // ---- ArrowScan: the front panel's arrows
    void arrowPressed() override;
    void startDirection(int direction) override { cmdDIR_Click(direction); }
    bool runningIn(int direction) const override { return running() && direction_ == direction; }

    // ---- what the window shows
    bool running() const;
    int direction() const { return direction_; }
    long azimuth() const { return az_; }     // 1/180 degree
    long elevation() const { return el_; }   // 1/180 degree
    long step() const { return step_; }      // 1/180 degree per tick
    long ticksLeft() const { return ticks_; } // 0 = no auto stop
    std::string azText() const;              // "   Az" box, degrees "###.0"
    std::string elText() const;              // "   El" box
    const std::string& caption() const { return caption_; }
    const std::string& stopResetCaption() const { return stopCaption_; }
    const std::string& stopResetTip() const { return stopTip_; }
    std::function<void()> changed;           // something shown has changed

    common::Timer& timer() { return *timer_; }

    // The position command for a value in 1/180 degree; empty in mode "ads, eds !".
    static std::string Command(Mode mode, bool azimuth, long value);

private:
    void resetStartPoint();
    void send(bool azimuth, long value);
    void notify();

    PanelShared& s_;
    const MainState& m_;
    std::unique_ptr<common::Timer> timer_;
    long az_ = 0, el_ = 0;
    long step_ = 1;
    long ticks_ = 0;
    int direction_ = ElUp;
    std::string caption_ = "Pattern Scan - Idle ";
    std::string stopCaption_ = "Stop/Reset";
    std::string stopTip_ = "Stop scan or Reset scan start point";
};

} // namespace panel
