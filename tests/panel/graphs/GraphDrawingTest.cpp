// The graph drawn onto an image: chosen pixels of the grid, the home lines, traces, X-Y points,
// the phase arcs and the spectrum.
#include "panel/graphs/GraphModel.h"
#include "panel/graphs/ImageSurface.h"

#include <gtest/gtest.h>

namespace panel {
namespace {

struct Pixel {
    int x, y;
    Rgb GraphColors::*colour;
    const char* what;
};

class GraphDrawingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g.timeOfDay = [] { return std::string("00:00:00"); };
        g.setSurface(&image);
    }
    void stream(int c, int l, int a, int phase = 0)
    {
        g.in.stream = {std::int16_t(c), std::int16_t(l), std::int16_t(a), std::int16_t(phase)};
        g.Pgraph();
    }
    void expectPixels(std::initializer_list<Pixel> pixels)
    {
        for (const Pixel& p : pixels)
            EXPECT_EQ(image.pixel(p.x, p.y), g.colors.*p.colour)
                << p.what << " at (" << p.x << ", " << p.y << ")";
    }

    PanelShared shared;
    MainState main;
    GraphModel g{shared, main};
    ImageSurface image;
};

TEST(GraphColorsTest, DefaultsAreTheStoredColours)
{
    // Stored as R + 256 G + 65536 B.
    const auto stored = [](long v) { return Rgb(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF)); };
    const GraphColors c;
    EXPECT_EQ(c.back, stored(2039583));
    EXPECT_EQ(c.grid, stored(5197646));
    EXPECT_EQ(c.home, stored(255));
    EXPECT_EQ(c.trace1, 0xFFFF00u);
    EXPECT_EQ(c.trace2, 0x00FF00u);
    EXPECT_EQ(c.trace3, 0x00FFFFu);
    EXPECT_EQ(c.trace4, 0xFFFFFFu);
}

TEST(ImageSurfaceTest, LinesIncludeBothEndsAndArcsAreExactPoints)
{
    ImageSurface s;
    s.fill(0x000010);
    s.line(2, 2, 5, 2, 0xFF0000);
    s.line(8, 1, 8, 4, 0x00FF00);
    EXPECT_EQ(s.pixel(1, 2), 0x000010u);
    EXPECT_EQ(s.pixel(2, 2), 0xFF0000u);
    EXPECT_EQ(s.pixel(5, 2), 0xFF0000u);
    EXPECT_EQ(s.pixel(6, 2), 0x000010u);
    EXPECT_EQ(s.pixel(8, 0), 0x000010u);
    EXPECT_EQ(s.pixel(8, 1), 0x00FF00u);
    EXPECT_EQ(s.pixel(8, 4), 0x00FF00u);
    EXPECT_EQ(s.pixel(8, 5), 0x000010u);
    EXPECT_EQ(s.pixel(9, 3), 0x000010u); // one pixel wide

    s.arc(100, 100, 20, 5.78, 0.5, 0x0000FF); // through angle 0
    EXPECT_EQ(s.pixel(120, 100), 0x0000FFu);  // angle 0
    EXPECT_EQ(s.pixel(118, 90), 0x0000FFu);   // angle 0.5: (117.55, 90.41)
    EXPECT_EQ(s.pixel(118, 109), 0x0000FFu);  // angle 5.78: (117.52, 109.64)
    EXPECT_EQ(s.pixel(80, 100), 0x000010u);   // angle pi: not on this arc
    EXPECT_EQ(s.pixel(100, 80), 0x000010u);   // angle pi/2
    EXPECT_EQ(s.pixel(119, 100), 0x000010u);  // inside the radius
    s.point(-1, 5, 0xFFFFFF);                 // off the surface: ignored
    s.point(640, 480, 0xFFFFFF);
    EXPECT_EQ(s.pixel(0, 5), 0x000010u);
}

TEST_F(GraphDrawingTest, StripChartGridHomeLinesAndTraces)
{
    struct Case {
        int mode;
        bool trace4;
    };
    for (const Case c : {Case{kModeAdmc, true}, Case{kModeIvc, false}, Case{kModeTc, false}}) {
        SCOPED_TRACE(c.mode);
        g.mnuGraph_Click(c.mode);
        g.cmdRedraw_Click();
        expectPixels({
            {5, 5, &GraphColors::back, "back"},
            {10, 5, &GraphColors::grid, "vertical grid line"},
            {639, 0, &GraphColors::grid, "horizontal grid line"},
            {640 - 1, 475, &GraphColors::back, "right of the last vertical line"},
            {5, 470, &GraphColors::grid, "bottom grid line"},
            {5, 70, &GraphColors::home, "trace 1 home"},
            {635, 150, &GraphColors::home, "trace 2 home"},
            {5, 230, &GraphColors::home, "trace 3 home"},
            {5, 300, c.trace4 ? &GraphColors::home : &GraphColors::grid, "trace 4 home"},
        });
    }
}

TEST_F(GraphDrawingTest, StripChartSamples)
{
    g.mnuDIvc_Click();
    stream(0, 0, 0);
    stream(5, -3, 12); // x = 1
    expectPixels({
        {1, 65, &GraphColors::trace1, "trace 1"},
        {1, 153, &GraphColors::trace2, "trace 2"},
        {1, 218, &GraphColors::trace3, "trace 3"},
        {1, 69, &GraphColors::back, "above nothing"},
        {0, 70, &GraphColors::trace1, "first sample on its home line"},
    });
    // A redraw replots the same pixels.
    g.cmdRedraw_Click();
    expectPixels({{1, 65, &GraphColors::trace1, "trace 1 replotted"}});

    // ADMC draws trace 4 too, around its own home line.
    g.mnuADMC_Click();
    g.in.signal = 100;
    g.Pgraph();
    g.in.signal = 107;
    g.Pgraph();
    expectPixels({
        {0, 300, &GraphColors::trace4, "trace 4 home"},
        {1, 293, &GraphColors::trace4, "trace 4 higher"},
    });
}

TEST_F(GraphDrawingTest, WithoutAPollSequenceOnlyTheGridIsRedrawn)
{
    g.mnuDIvc_Click();
    stream(5, 0, 0);
    stream(5, 0, 0);
    main.poll.clear();
    g.cmdRedraw_Click();
    expectPixels({
        {5, 70, &GraphColors::grid, "no home line"},
        {1, 65, &GraphColors::back, "no replot"},
    });
}

TEST_F(GraphDrawingTest, XYHomeLinesTicksPointsAndPhase)
{
    g.mnuDXY_Click();
    stream(3, 7, -9); // C 15, L 35, A -45: (275, 145)
    expectPixels({
        {5, 180, &GraphColors::home, "horizontal home line"},
        {320, 5, &GraphColors::home, "vertical home line"},
        {320, 430, &GraphColors::home, "vertical home line's end"},
        {320, 435, &GraphColors::grid, "below the vertical home line"},
        {140, 177, &GraphColors::home, "tick at x 140"},
        {500, 185, &GraphColors::home, "tick at x 500"},
        {545, 177, &GraphColors::back, "no tick beyond 500"},
        {317, 45, &GraphColors::home, "tick at y 45"},
        {325, 315, &GraphColors::home, "tick at y 315"},
        {275, 145, &GraphColors::trace4, "X-Y point"},
        {354, 171, &GraphColors::back, "no arc without Show Phase"},
    });

    g.mnuDSPhase_Click();
    // The arcs from 5.78 through 0 to 0.5 radians, and the phase point of the sample at
    // dTan2(-45, 35) = 2.48055: (288.43, 155.44).
    expectPixels({
        {354, 171, &GraphColors::home, "inner arc at 0.25 rad"},
        {362, 197, &GraphColors::home, "outer arc at 5.9 rad"},
        {285, 175, &GraphColors::back, "no arc at 3 rad"},
        {288, 155, &GraphColors::trace1, "phase point"},
        {275, 145, &GraphColors::trace4, "X-Y point replotted"},
    });

    // A phase of 16 turns the phase point by pi/2: 4.05134 rad, (295.44, 211.57).
    stream(3, 7, -9, 16);
    expectPixels({{295, 212, &GraphColors::trace1, "turned phase point"}});
}

TEST_F(GraphDrawingTest, SpectrumSegments)
{
    main.poll = "S";
    g.mnuSpec_Click();
    g.sweepNext(); // "D"
    g.sweepNext();
    g.spectrumLevel(45); // x = 3: from (0, 240) to (3, 195)
    g.sweepNext();
    g.spectrumLevel(45); // x = 6
    expectPixels({
        {4, 195, &GraphColors::trace4, "level segment"},
        {5, 195, &GraphColors::trace4, "level segment"},
        {5, 196, &GraphColors::back, "one pixel wide"},
        {5, 230, &GraphColors::grid, "no home lines while sweeping"},
    });
    g.cmdRedraw_Click();
    expectPixels({{4, 195, &GraphColors::trace4, "redrawn segment"}});
}

} // namespace
} // namespace panel

namespace panel {
namespace {

TEST_F(GraphDrawingTest, PrintRedrawIsBlackOnWhiteTwoPixelsWideThenTheScreenReturns)
{
    g.mnuDIvc_Click();
    stream(0, 0, 0);
    stream(5, -3, 12);
    const GraphColors screen = g.colors;
    g.redrawForPrint();
    EXPECT_EQ(image.pixel(3, 3), 0xFFFFFFu) << "paper";
    EXPECT_EQ(image.pixel(10, 5), 0xC0C0C0u) << "grid";
    EXPECT_EQ(image.pixel(300, 70), 0x8F8F8Fu) << "home line";
    EXPECT_EQ(image.pixel(1, 65), 0u) << "trace 1";
    EXPECT_EQ(image.pixel(2, 66), 0u) << "two pixels wide";
    EXPECT_EQ(image.pixel(1, 218), 0u) << "trace 3";
    EXPECT_EQ(g.colors.back, screen.back);
    EXPECT_EQ(g.colors.trace1, screen.trace1);
    // The next redraw is the screen's again, one pixel wide.
    g.cmdRedraw_Click();
    expectPixels({{1, 65, &GraphColors::trace1, "trace 1"}, {3, 3, &GraphColors::back, "back"},
                  {2, 66, &GraphColors::back, "one pixel wide"}});
}

} // namespace
} // namespace panel
