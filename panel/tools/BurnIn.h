#pragma once
// The burn-in exercise: left running, it moves a new pedestal round a fixed circuit of eight
// azimuth/elevation positions, one position every interval, for as long as it runs.
//
// A one-second tick counts down to the next position and adds a progress dot to the log every
// dot period. A position goes out as two commands through the typed-text queue: the azimuth,
// then one second later the elevation, from a single-shot timer of its own, so the window
// keeps working in between and nothing waits inside the tick. That second ends with the next
// tick: when the tick runs before the elevation timer, it sends the elevation half first
// itself, so the two never race and a tick can never start a position while the last one is
// half sent (the interval is at least two seconds besides).
//
// The "Burn-In Excersise" window shows text1 (the log), the interval box and the countdown,
// and calls the handlers under their control names.
#include "common/Clock.h"
#include "panel/core/PanelState.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace panel {

class BurnIn {
public:
    // The circuit, in pairs azimuth then elevation, tenths of a degree.
    static const std::array<const char*, 16> kCommands;
    static constexpr int kLastPair = 14;             // table index of the last pair
    static constexpr common::Ms kTick{1000};         // the countdowns count in these
    static constexpr common::Ms kElevationDelay{1000}; // from the azimuth half to the elevation half
    // The interval, whole seconds. Two at least: the elevation half goes one second after the
    // azimuth half, and the next position may not start before it.
    static constexpr int kMinInterval = 2;
    static constexpr int kMaxInterval = 86400;
    static constexpr const char* kIndent = "     "; // before each position in the log
    static constexpr const char* kBadInterval =
        "Interval: enter the seconds between positions, a whole number from 2 to 86400.";

    BurnIn(PanelShared& shared, common::Clock& clock);
    ~BurnIn();
    BurnIn(const BurnIn&) = delete;
    BurnIn& operator=(const BurnIn&) = delete;

    // ---- the window's texts
    std::string text1;        // "Command Sequence": the commands sent and the progress dots
    std::string text2 = "60"; // "Interval", seconds

    // ---- handlers
    // A key typed in the interval box: its new text, and the stored interval is cleared so
    // that the next Start takes it.
    void Text2_Change(const std::string& text);
    // "Start": a fresh log and countdowns, the first position on the first tick. Takes the
    // interval from text2 when none is stored; returns a message (nothing started) when that
    // text is not a valid interval.
    std::string Command1_Click();
    // "Stop": the tick stops; the countdowns stay. An elevation half already due still goes,
    // so the antenna never keeps half a position.
    void Command2_Click();
    // "Continue": the tick runs again from where it stopped.
    void Command3_Click();
    // The window closes: as Stop.
    void Form_Unload() { Command2_Click(); }
    // The one-second tick, and the elevation half.
    void Timer1_Timer();
    void ElevationTimer_Timer();

    // ---- what the window shows
    bool running() const;
    bool continueEnabled() const { return continueEnabled_; }
    // Seconds to the next position, empty before the first Start.
    std::string countdownText() const;
    std::function<void()> changed; // something shown has changed

    // ---- state, for tests
    std::optional<int> interval() const { return interval_; } // the stored interval
    int dotPeriod() const { return dotPeriod_; }
    int dotCountdown() const { return dotCountdown_; }
    int moveCountdown() const { return moveCountdown_; }
    int tableIndex() const { return index_; }
    bool elevationPending() const;
    common::Timer& timer() { return *timer_; }
    common::Timer& elevationTimer() { return *elevationTimer_; }

    // The dot period for an interval: floor(interval / 30 + 0.9) ticks.
    static int DotPeriod(int interval);
    // The interval a text gives: a whole number of seconds within the limits above.
    static std::optional<int> ParseInterval(const std::string& text);

private:
    void notify();

    PanelShared& s_;
    std::unique_ptr<common::Timer> timer_;
    std::unique_ptr<common::Timer> elevationTimer_;
    std::optional<int> interval_;
    int dotPeriod_ = 0;
    int dotCountdown_ = 0;
    int moveCountdown_ = 0;
    int index_ = 0;
    bool started_ = false;
    bool continueEnabled_ = false;
};

} // namespace panel
