// The PCU on a panel path: its display-code stream read the way the terminal decodes it, in
// any chunking, and its status and version answers between the frames.
#include "ModuleTestUtil.h"
#include "PanelDisplayDecoder.h"
#include "ReplyChecks.h"

#include "sim/PanelPcu.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace simtest;

namespace {

// Runs the panel PCU for the given time and returns everything it sent.
std::string run(sim::ModuleModel& m, sim::Ms total, sim::Ms step = sim::Ms{10})
{
    std::string out;
    for (sim::Ms t{0}; t < total; t += step) {
        m.advance(std::min(step, total - t));
        out += m.takeOutput();
    }
    return out;
}

} // namespace

TEST(PanelPcu, StreamsOneFrameEvery500Milliseconds)
{
    sim::ModuleModel m("pcu-panel");
    calm(m);
    EXPECT_EQ(run(m, sim::Ms{499}), "") << "nothing before the first frame is due";
    const std::string first = run(m, sim::Ms{1});
    EXPECT_FALSE(first.empty());
    run(m, sim::Ms{2000});
    EXPECT_EQ(m.as<sim::PanelPcu>().framesSent(), 5);
    // A long step sends a bounded number of frames, not one for every period it spans.
    m.advance(sim::Ms{60000});
    EXPECT_EQ(m.as<sim::PanelPcu>().framesSent(), 5 + sim::PanelPcu::maxFramesPerStep);
}

TEST(PanelPcu, DisplayCodesFillTheTerminalsDisplayFields)
{
    const struct {
        const char* name;
        double azimuth, elevation; // where the antenna is put
        bool tracking, unwrap;
        int brightness;
        const char* line1;
        const char* line2;
        const char* bargraph;
        const char* brightnessText;
        const char* unwrapText;
        const char* trackingText;
    } cases[] = {
        {"off the satellite, manual", 1234, 456, false, false, 80,
         "AZ 123.4 EL 45.6", "AGC 250 MANUAL", "00", "0080", "", ""},
        {"unwrapping", 3599, 5, false, true, 100,
         "AZ 359.9 EL 00.5", "AGC 250 MANUAL", "00", "0100", "UNWRAP", ""},
        {"on the satellite, tracking", -1, -1, true, false, 0,
         nullptr, "AGC 850 TRACKING", "16", "0000", "", "TRACKING"},
        {"tracking and unwrapping", -1, -1, true, true, 35,
         nullptr, "AGC 850 TRACKING", "16", "0035", "UNWRAP", "TRACKING"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ModuleModel m("pcu-panel");
        calm(m);
        if (c.azimuth >= 0)
            m.device().placeAntenna(c.azimuth, c.elevation);
        m.device().setTracking(c.tracking);
        m.as<sim::PanelPcu>().setUnwrap(c.unwrap);
        m.as<sim::PanelPcu>().setBrightness(c.brightness);
        const std::string stream = run(m, sim::Ms{1000});

        // Every way of cutting the stream into two chunks decodes the same.
        for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
            PanelDisplay d;
            d.receive(stream.substr(0, cut));
            d.receive(stream.substr(cut));
            SCOPED_TRACE(cut);
            if (c.line1)
                EXPECT_EQ(d.line1, c.line1);
            else
                EXPECT_EQ(d.line1.substr(0, 3), "AZ ");
            EXPECT_EQ(d.line2, c.line2);
            EXPECT_EQ(d.bargraph, c.bargraph);
            EXPECT_EQ(d.brightness, c.brightnessText);
            EXPECT_EQ(d.unwrap, c.unwrapText);
            EXPECT_EQ(d.tracking, c.trackingText);
            EXPECT_EQ(d.fields, 12) << "two frames of six fields";
            EXPECT_EQ(d.screen, "") << "nothing of a frame reaches the terminal screen";
            if (::testing::Test::HasFailure())
                break;
        }
    }
}

TEST(PanelPcu, OneByteAtATimeDecodesTheSame)
{
    sim::ModuleModel m("pcu-panel");
    calm(m);
    m.device().placeAntenna(900, 300);
    m.device().setTracking(false);
    const std::string stream = run(m, sim::Ms{500});
    PanelDisplay d;
    for (char c : stream)
        d.receive(std::string(1, c));
    EXPECT_EQ(d.line1, "AZ 090.0 EL 30.0");
    EXPECT_EQ(d.fields, 6);
}

TEST(PanelPcu, StatusAndVersionAnswersArriveBetweenFramesOnTheScreen)
{
    const struct {
        std::string sent;
        std::string screen; // what the terminal shows, line ends normalised
    } cases[] = {
        {ESC + "V", "PANEL PCU VER 1.05 SIM\r\n"},
        {"V", "PANEL PCU VER 1.05 SIM\r\n"},
        {"wV   \r\n", ""},
        {"wV   \r\nw!   \r\n", "DVB VER 1.07 SIM\r\n"},
        {"w?\r\n", "w?\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        sim::ModuleModel m("pcu-panel");
        calm(m);
        std::string stream = run(m, sim::Ms{600});
        stream += ask(m, c.sent);
        stream += run(m, sim::Ms{500});
        PanelDisplay d;
        d.receive(stream);
        EXPECT_EQ(d.screen, c.screen);
        EXPECT_EQ(d.fields, 12);
    }
}

TEST(PanelPcu, StatusIsThePcuStatusLine)
{
    sim::ModuleModel m("pcu-panel");
    calm(m);
    const std::string out = ask(m, ESC + "S");
    ASSERT_EQ(out.size(), 5u + 2u) << out;
    EXPECT_EQ(out.substr(5), "\r\n");
    EXPECT_EQ(at(out, 1), 'S');
    for (int i = 2; i <= 5; ++i)
        EXPECT_TRUE(isFlagChar(at(out, i))) << out;
    EXPECT_EQ(flagBits(at(out, 3)) & 32u, 32u) << "azimuth on target: " << out;
    m.device().injectErrors({0, 0, 4, 0});
    EXPECT_EQ(flagBits(at(ask(m, ESC + "S"), 4)), 4u) << "PCU word 3";
}
