// The pattern scan on virtual time: step and tick arithmetic, the targets it queues in each
// command form, the elevation limits and the azimuth wrap, stop and reset, its options.
#include "panel/tools/PatternScan.h"

#include "common/Clock.h"
#include "common/SettingsStore.h"
#include "panel/core/PanelState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using common::Ms;
using panel::PatternScan;

class PatternScanTest : public ::testing::Test {
protected:
    // A scan loaded with the antenna at the given position (tenths of a degree).
    PatternScan& load(int azimuthTenths, int elevationTenths)
    {
        main.azimuth = azimuthTenths;
        main.elevation = elevationTenths;
        scan = std::make_unique<PatternScan>(shared, main, clock);
        return *scan;
    }

    // Run the scan's clock until it stops (bounded), collecting each target it queued.
    std::vector<std::string> runToStop(Ms limit = 120s)
    {
        std::vector<std::string> targets;
        scan->changed = [this, &targets] {
            if (!shared.typed.empty()) {
                targets.push_back(shared.typed);
                shared.typed.clear();
            }
        };
        const Ms end = clock.now() + limit;
        while (scan->running() && clock.now() < end)
            clock.advance(scan->timer().interval());
        scan->changed = nullptr;
        return targets;
    }

    common::VirtualClock clock;
    panel::PanelShared shared;
    panel::MainState main;
    std::unique_ptr<PatternScan> scan;
};

TEST_F(PatternScanTest, StepAndTickCountRoundHalvesToEven)
{
    struct Row {
        double rate;
        int intervalMs;
        double degrees;
        long step;
        long ticks;
    };
    const Row rows[] = {
        {0.5, 250, 10, 22, 82},   // 22.5 -> 22; 81.8 -> 82
        {1.0, 300, 10, 54, 33},
        {0.1, 600, 0.3, 11, 5},   // the arrows' nudge
        {0.1, 250, 0.1, 4, 4},    // 4.5 -> 4; 4.5 -> 4
        {0.3, 250, 0.1, 14, 1},   // 13.5 -> 14
        {0.0, 250, 10, 1, 1800},  // a step of 0 becomes 1
        {0.5, 250, 0, 22, 0},     // no auto stop
    };
    load(0, 0);
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.rate) + " deg/s at " + std::to_string(r.intervalMs) + " ms");
        scan->scanRate = r.rate;
        scan->rateMs = r.intervalMs;
        scan->stopDegrees = r.degrees;
        scan->cmdDIR_Click(PatternScan::AzUp);
        EXPECT_EQ(scan->step(), r.step);
        EXPECT_EQ(scan->ticksLeft(), r.ticks);
        EXPECT_EQ(scan->timer().interval(), Ms{r.intervalMs});
        EXPECT_TRUE(scan->running());
        scan->Stop();
    }
}

TEST_F(PatternScanTest, ScanStopsOnTheTickItsCountRunsOut)
{
    load(0, 300); // elevation 30.0
    scan->scanRate = 0.5;
    scan->rateMs = 250;
    scan->stopDegrees = 10;
    scan->cmdDIR_Click(PatternScan::ElUp);
    const Ms began = clock.now();
    const auto targets = runToStop();
    EXPECT_EQ(clock.now() - began, 82 * 250ms);
    ASSERT_EQ(targets.size(), 81u);
    EXPECT_EQ(targets.front(), "E0301\r\n"); // 5400 + 22 = 5422 -> 301.2
    EXPECT_EQ(scan->elevation(), 5400 + 81 * 22);
    EXPECT_EQ(targets.back(), "E0399\r\n"); // 7182 -> 399.0
    EXPECT_EQ(scan->caption(), "Pattern Scan - Stopped");
    EXPECT_EQ(scan->stopResetCaption(), "Reset");
    EXPECT_EQ(scan->stopResetTip(), "Resets scan start point");
}

TEST_F(PatternScanTest, FastScansStartTwoStepsAheadWithTwoTicksFewer)
{
    struct Row {
        int direction;
        long az, el; // accumulators right after the start
    };
    // 2 deg/s at 250 ms: step 90, ticks 20 - 2.
    const Row rows[] = {
        {PatternScan::ElUp, 1800, 5400 + 180},
        {PatternScan::ElDown, 1800, 5400 - 180},
        {PatternScan::AzUp, 1800 + 180, 5400},
        {PatternScan::AzDown, 1800 - 180, 5400},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.direction);
        load(100, 300);
        scan->scanRate = 2;
        scan->rateMs = 250;
        scan->stopDegrees = 10;
        scan->cmdDIR_Click(r.direction);
        EXPECT_EQ(scan->step(), 90);
        EXPECT_EQ(scan->ticksLeft(), 18);
        EXPECT_EQ(scan->azimuth(), r.az);
        EXPECT_EQ(scan->elevation(), r.el);
    }
    // A short fast scan keeps at least one tick; an azimuth moved ahead below 0 wraps.
    load(0, 300);
    scan->scanRate = 2;
    scan->rateMs = 250;
    scan->stopDegrees = 0.5;
    scan->cmdDIR_Click(PatternScan::AzDown);
    EXPECT_EQ(scan->ticksLeft(), 1);
    EXPECT_EQ(scan->azimuth(), 64800 - 180);
}

TEST_F(PatternScanTest, ElevationStopsAtItsLimitsAndAzimuthWraps)
{
    struct Row {
        int azTenths, elTenths;
        int direction;
        std::vector<std::string> targets;
        long az, el;    // where the scan ends
        std::string azText, elText;
        bool stopped;   // by a limit, before its count ran out
    };
    const Row rows[] = {
        // up from 89.9: the first step would pass 90.0, so it stops there without a target
        {0, 899, PatternScan::ElUp, {}, 0, 16200, "0.0", "90.0", true},
        // up from 89.0: eight steps of 22 reach 16196, the ninth stops at 90.0
        {0, 890, PatternScan::ElUp,
         {"E0891\r\n", "E0892\r\n", "E0894\r\n", "E0895\r\n", "E0896\r\n", "E0897\r\n", "E0899\r\n", "E0900\r\n"},
         0, 16200, "0.0", "90.0", true},
        // down from 0.1 stops at 0.0
        {0, 1, PatternScan::ElDown, {}, 0, 0, "0.0", "0.0", true},
        // down from 0.3: 54 - 22 - 22 = 10, then below 0
        {0, 3, PatternScan::ElDown, {"E0002\r\n", "E0001\r\n"}, 0, 0, "0.0", "0.0", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.elTenths) + " dir " + std::to_string(r.direction));
        load(r.azTenths, r.elTenths);
        scan->scanRate = 0.5;
        scan->rateMs = 250;
        scan->stopDegrees = 10;
        scan->cmdDIR_Click(r.direction);
        const auto targets = runToStop();
        EXPECT_EQ(targets, r.targets);
        EXPECT_EQ(scan->azimuth(), r.az);
        EXPECT_EQ(scan->elevation(), r.el);
        EXPECT_EQ(scan->azText(), r.azText);
        EXPECT_EQ(scan->elText(), r.elText);
        EXPECT_EQ(scan->ticksLeft() > 0, r.stopped);
        EXPECT_FALSE(scan->running());
    }
}

TEST_F(PatternScanTest, AzimuthWrapsThroughNorthBothWays)
{
    struct Row {
        int azTenths;
        int direction;
        std::vector<std::string> firstTargets;
        std::string azText; // after those targets
    };
    const Row rows[] = {
        {3599, PatternScan::AzUp, {"A0000\r\n", "A0001\r\n"}, "0.1"},   // 64782 + 22 -> 4, then 26
        {0, PatternScan::AzDown, {"A3599\r\n", "A3598\r\n"}, "359.8"},  // -22 -> 64778, 64756
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.azTenths);
        load(r.azTenths, 300);
        scan->scanRate = 0.5;
        scan->rateMs = 250;
        scan->stopDegrees = 10;
        scan->cmdDIR_Click(r.direction);
        std::vector<std::string> targets;
        for (size_t i = 0; i < r.firstTargets.size(); ++i) {
            clock.advance(250ms);
            targets.push_back(shared.typed);
        }
        EXPECT_EQ(targets, r.firstTargets);
        EXPECT_EQ(scan->azText(), r.azText);
        EXPECT_TRUE(scan->running());
    }
}

TEST_F(PatternScanTest, PositionCommandsInEachForm)
{
    struct Row {
        PatternScan::Mode mode;
        bool azimuth;
        long value;
        std::string command;
    };
    using M = PatternScan::Mode;
    const Row rows[] = {
        {M::AEI, true, 1800, "A0100\r\n"},
        {M::AEI, false, 16200, "E0900\r\n"},
        {M::AEI, false, 9, "E0000\r\n"},   // 0.5 tenth -> 0
        {M::AEI, false, 27, "E0002\r\n"},  // 1.5 tenths -> 2
        {M::IJK, true, 1800, "k071C\r\n"}, // 1819.998 -> 1820
        {M::IJK, false, 16200, "j3FFC\r\n"},
        {M::IJK, true, 64782, "kFFDE\r\n"},
        {M::IJK, true, 18, "k0012\r\n"},
        {M::IJK, false, 0, "j0000\r\n"},
        {M::ADS, true, 1800, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(PatternScan::Command(r.mode, r.azimuth, r.value), r.command);
    }
}

TEST_F(PatternScanTest, EachTickReplacesTheTypedQueueInTheChosenForm)
{
    struct Row {
        PatternScan::Mode mode;
        std::string queued;
    };
    // 100.0 degrees is 18000; one step of 22 later: 18022 = 1001.2 tenths, and
    // 18022 x 1.01111 = 18222.2 = 0x472E.
    const Row rows[] = {{PatternScan::Mode::AEI, "A1001\r\n"},
                        {PatternScan::Mode::IJK, "k472E\r\n"},
                        {PatternScan::Mode::ADS, "D"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.queued);
        load(1000, 300);
        scan->mode = r.mode;
        scan->scanRate = 0.5;
        scan->rateMs = 250;
        scan->cmdDIR_Click(PatternScan::AzUp);
        shared.typed = "D";
        clock.advance(250ms);
        EXPECT_EQ(shared.typed, r.queued);
    }
}

TEST_F(PatternScanTest, StopResetStopsARunningScanOrResetsTheStartPoint)
{
    load(1000, 300);
    EXPECT_EQ(scan->caption(), "Pattern Scan - Idle ");
    EXPECT_EQ(scan->azText(), "100.0");
    scan->cmdDIR_Click(PatternScan::ElUp);
    EXPECT_EQ(scan->caption(), "Pattern Scan - Running");
    EXPECT_EQ(scan->stopResetCaption(), "Stop");
    EXPECT_EQ(scan->stopResetTip(), "Stops scan, keeps target active");
    clock.advance(1000ms);
    const long moved = scan->elevation();
    EXPECT_GT(moved, 5400);

    main.elevation = 450; // the antenna reports a new position
    scan->cmdStopRst_Click();
    EXPECT_FALSE(scan->running());
    EXPECT_EQ(scan->caption(), "Pattern Scan - Stopped");
    EXPECT_EQ(scan->stopResetCaption(), "Reset");
    EXPECT_EQ(scan->elevation(), moved); // the last target stays
    clock.advance(1000ms);
    EXPECT_EQ(scan->elevation(), moved);

    scan->cmdStopRst_Click();
    EXPECT_EQ(scan->caption(), "Pattern Scan - Reset");
    EXPECT_EQ(scan->elevation(), 450 * 18);
    EXPECT_EQ(scan->elText(), "45.0");
    EXPECT_FALSE(scan->running());
}

TEST_F(PatternScanTest, ArrowPressStopsResetsAndSetsTheNudgeFields)
{
    load(1000, 300);
    scan->cmdDIR_Click(PatternScan::AzDown);
    clock.advance(1000ms);
    main.azimuth = 2000;
    scan->arrowPressed();
    EXPECT_FALSE(scan->running());
    EXPECT_EQ(scan->azimuth(), 2000 * 18);
    EXPECT_EQ(scan->caption(), "Pattern Scan - Reset");
    EXPECT_EQ(scan->scanRate, 0.1);
    EXPECT_EQ(scan->stopDegrees, 0.3);
    EXPECT_EQ(scan->rateMs, 600);
    scan->startDirection(PatternScan::AzUp);
    EXPECT_TRUE(scan->runningIn(PatternScan::AzUp));
    EXPECT_FALSE(scan->runningIn(PatternScan::AzDown));
}

TEST_F(PatternScanTest, OptionsAreReadWithTheirDefaultsAndSavedBack)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "pattern-scan-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const std::string path = tmpl + "/multTAVRemote.ini";
    {
        load(0, 0);
        const auto store = common::SettingsStore::atPath("multTAVRemote", path);
        scan->loadOptions(store);
        EXPECT_EQ(scan->scanRate, 1.0);
        EXPECT_EQ(scan->rateMs, 300);
        EXPECT_EQ(scan->n8, 8);
    }
    {
        auto store = common::SettingsStore::atPath("multTAVRemote", path);
        scan->scanRate = 1.5;
        scan->rateMs = 400;
        scan->n8 = 12;
        scan->saveOptions(store);
        EXPECT_EQ(store.get("Options", "Scan", ""), "1.5");
    }
    {
        load(0, 0);
        const auto store = common::SettingsStore::atPath("multTAVRemote", path);
        scan->loadOptions(store);
        EXPECT_EQ(scan->scanRate, 1.5);
        EXPECT_EQ(scan->rateMs, 400);
        EXPECT_EQ(scan->n8, 12);
    }
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
}

} // namespace
