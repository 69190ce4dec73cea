// The simulated ACU's replies, asked the way the panel asks them, decode without sync errors
// and show the simulation's starting values; its garbled and busy replies count sync errors.
#include "DecoderFixture.h"

#include "sim/AcuModel.h"

#include <chrono>

namespace decodertest {
namespace {

using namespace std::chrono_literals;

// A poll sequence element by element: "!" makes the next five characters one line command.
std::vector<std::string> elements(const std::string& sequence)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < sequence.size();) {
        if (sequence[i] == '!') {
            out.push_back(sequence.substr(i + 1, 5) + kCrLf);
            i += 6;
        } else {
            out.push_back(sequence.substr(i, 1));
            i += 1;
        }
    }
    return out;
}

class SimDecodeTest : public DecoderTest {
protected:
    SimDecodeTest() { acu.device().setShipMotion(false); }

    // Sends one command, lets a pacing tick pass and decodes each line that came back.
    void ask(const std::string& command)
    {
        acu.receive(command);
        acu.advance(200ms);
        const std::string out = acu.takeOutput();
        size_t start = 0;
        for (size_t cr = out.find('\r'); cr != std::string::npos; cr = out.find('\r', start)) {
            decode(out.substr(start, cr - start), command);
            start = cr + 1;
        }
    }

    // One full cycle of a poll sequence; returns the sync codes met, in order.
    std::vector<int> poll(const std::string& sequence)
    {
        std::vector<int> codes;
        for (const auto& e : elements(sequence)) {
            ask(e);
            if (shared.syncErrors != 0)
                codes.push_back(shared.syncErrors);
            shared.syncErrors = 0;
        }
        return codes;
    }

    sim::AcuModel acu;
};

// Every poll sequence of the screens and the graph modes, with the display state it runs on.
TEST_F(SimDecodeTest, EveryPollSequenceDecodesCleanly)
{
    const std::string c129(1, char(129)), c134(1, char(134)), c138(1, char(138));
    const std::pair<int, std::string> polls[] = {
        {16, "SPH@SPHqSPHuSPH!?   S%"},
        {32, "SPHqSPHuSPH!mh999SPH!mi999SPH!mj999SPH!?   S%"},
        {40, "SPHq!m" + c138 + "999SPHuSPH!m}999SPH!m~999SPH!?   S%"},
        {64, "SPHuSPHqSPH@SPH!?   S%SPH!mN999"},
        {128, "!mI999!mN999!mP999SPHu"},
        {129, "SPHuVSPHuV!?   S"},
        {130, "SPHu!?   VSPHu!?   S"},
        {133, "!mA999!mB999SPHu"},
        {151, "!m" + c129 + "999SPHu"},
        {152, "!mS999!mT999SPHu"},
        {154, "!m" + c134 + "999SPHu"},
        {159, "!m_999!m`999SPHu"},
        {64, "!?   x!?   xS!?   x!?   xP!?   x!?   xH!?   x!?   x@!?   x!?   xu!?   x!?   x!?   S"},
        {64, "S!?   v!?   vH!?   vu!?   vP!?   S!?   v"},
        {64, "S!?   wP!?   wH!?   wu!?   w!?   S!?   w"},
        {64, "S!?   yP!?   yH!?   yu!?   y!?   S!?   y"},
    };
    for (const auto& [state, sequence] : polls) {
        SCOPED_TRACE(sequence);
        main.displayState = state;
        main.redrawCountdown = 3;
        EXPECT_EQ(poll(sequence), std::vector<int>{});
    }
    EXPECT_FALSE(main.graphSamples.empty());
}

// The simulation starts with the ship at 43.3 N 5.4 E heading 90.0, the satellite at 7.0 E,
// the receiver on 1150 MHz with field 6875, FEC 3/4, 18 V, tone off, threshold 500, System
// Type 65 and NID 1A2B, tracking.
TEST_F(SimDecodeTest, StartingValuesReachTheScreens)
{
    main.displayState = 32;
    EXPECT_EQ(poll("SPHqSPHuSPH!mh999SPH!mi999SPH!mj999SPH!?   S%"), std::vector<int>{});
    EXPECT_EQ(main.text5[0], "SAT 7.0E");
    EXPECT_EQ(main.text5[1], "THRS 500");
    EXPECT_EQ(main.text5[2], "FREQ 1150");
    EXPECT_EQ(main.text5[3].substr(0, 5), "AGC  ");
    EXPECT_EQ(main.fecText, " 3/4");
    EXPECT_EQ(main.voltText, " 18V");
    EXPECT_EQ(main.toneText, " OFF");
    EXPECT_EQ(main.baudText, "27500");
    EXPECT_EQ(main.tracking, 8);

    main.displayState = 16;
    poll("SPH@");
    EXPECT_EQ(main.text5[0], "LAT 43.3N");
    EXPECT_EQ(main.text5[1], "LON 5.4E");
    EXPECT_EQ(main.text5[2], "HDG 90.0");

    main.displayState = 41;
    main.redrawCountdown = 3;
    poll("!m}999!m~999");
    EXPECT_EQ(main.text5[2], "NID  1A2B");

    poll("!mN999");
    EXPECT_EQ(main.systemTypeCaption, "System Type    065");
    EXPECT_EQ(sysValues.back(), 65);
}

// What a noisy line or a busy controller delivers is counted, never stored.
TEST_F(SimDecodeTest, GarbledAndBusyRepliesCountSyncErrors)
{
    const std::pair<std::string, int> queries[] = {
        {paramRead('N'), 1}, {"@", 2}, {"H", 3}, {"q", 4}, {"u", 5},
        {"%", 6}, {"V", 7}, {"P", 8}, {"S", 9},
    };
    for (const auto& [command, code] : queries) {
        SCOPED_TRACE(command);
        const std::string before = snapshot(shared, main);
        acu.faults().garbleNext = true;
        ask(command);
        EXPECT_EQ(shared.syncErrors, code);
        EXPECT_EQ(snapshot(shared, main), before);
        shared.syncErrors = 0;
    }
    for (const char* command : {"@", "H", "q", "u", "%", "V", "P", "S"}) {
        SCOPED_TRACE(command);
        acu.faults().busyNext = true;
        ask(command);
        EXPECT_NE(shared.syncErrors, 0) << "\"###\" is no reply to " << command;
        shared.syncErrors = 0;
    }
}

} // namespace
} // namespace decodertest
