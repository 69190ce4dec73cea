#pragma once
// A front panel on a panel link with a fake link, on virtual time.
#include "panel/PanelFixture.h"
#include "panel/core/FrontPanel.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace fptest {

using namespace std::chrono_literals;
using common::Ms;
using Lines = std::array<std::string, 4>;

// A single byte of the given value, for poll sequences and commands that carry codes 129..138.
inline std::string byte(int v) { return std::string(1, char(v)); }

inline const std::string kShipPoll = "SPH@SPHqSPHuSPH!?   S%";
inline const std::string kSatPoll = "SPHqSPHuSPH!mh999SPH!mi999SPH!mj999SPH!?   S%";
inline const std::string kSatItemPoll = "SPHq!m\x8a" "999SPHuSPH!m}999SPH!m~999SPH!?   S%";
inline const std::string kAntennaPoll = "SPHuSPHqSPH@SPH!?   S%SPH!mN999";
inline const std::string kModePoll = "!mI999!mN999!mP999SPHu";

// Records what the arrows ask of the pattern scan; reports running as the test says.
class RecordingScan : public panel::ArrowScan {
public:
    int pressed = 0;
    std::vector<int> started;
    int runningDirection = -1; // -1: not running
    bool followStarts = true;  // a start makes the scan run in that direction

    void arrowPressed() override
    {
        ++pressed;
        runningDirection = -1;
    }
    void startDirection(int d) override
    {
        started.push_back(d);
        if (followStarts)
            runningDirection = d;
    }
    bool runningIn(int d) const override { return runningDirection == d; }
};

class FrontPanelTest : public paneltest::PanelTest {
protected:
    // The front panel lets go of the link before the link goes.
    void TearDown() override
    {
        fp.reset();
        PanelTest::TearDown();
    }

    void makeFrontPanel()
    {
        makePanel();
        fp = std::make_unique<panel::FrontPanel>(shared, main, *panel, clock, &scan);
        fp->clearGraph = [this] { ++graphClears; };
    }

    // Start-up with the link open and the scheduler polling the ANTENNA overview.
    void startPanel()
    {
        makeFrontPanel();
        startPolling();
    }

    // Type each character of text into the entry field.
    void type(const std::string& text)
    {
        for (const char c : text)
            fp->Text5_KeyPress((unsigned char)c);
    }

    void enter() { fp->Text5_KeyPress(panel::FrontPanel::kEnter); }

    // Put the panel on a screen without pressing keys, with recognisable display lines.
    void showScreen(int state, const std::string& poll = "SPHu")
    {
        main.displayState = state;
        main.poll = poll;
        main.text5 = {"a", "b", "c", "d"};
    }

    RecordingScan scan;
    std::unique_ptr<panel::FrontPanel> fp;
    int graphClears = 0;
};

} // namespace fptest
