// The graph's logic: modes, selectors, the plotting step, centring, the X-Y display, the
// spectrum sweep, records, expand/collapse.
#include "RecordingSurface.h"
#include "panel/graphs/GraphModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace panel {
namespace {

using test::Dot;
using test::RecordingSurface;
using test::Segment;

const char* const kPoll0 = "SPHuSPHqSPH@SPH!?   S";
const char* const kPoll1 = "!?   x!?   xS!?   x!?   xP!?   x!?   xH!?   x!?   x@!?   x!?   xu!?   x!?   x!?   S";
const char* const kPoll2 = "S!?   v!?   vH!?   vu!?   vP!?   S!?   v";
const char* const kPoll3 = "S!?   wP!?   wH!?   wu!?   w!?   S!?   w";
const char* const kPoll4 = "S!?   yP!?   yH!?   yu!?   y!?   S!?   y";
const char* const kPoll6 = "!?   x!?   xS!?   x!?   xP!?   x!?   xH!?   x!?   x@!?   x!?   x!?   x!?   xu!?   S";

class GraphModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g.timeOfDay = [this] { return "t" + std::to_string(tick++); };
        g.setSurface(&surface);
    }
    // One diagnostic-stream sample.
    void stream(int c, int l, int a, int phase = 0)
    {
        g.in.stream = {std::int16_t(c), std::int16_t(l), std::int16_t(a), std::int16_t(phase)};
        g.Pgraph();
    }

    PanelShared shared;
    MainState main;
    GraphModel g{shared, main};
    RecordingSurface surface;
    int tick = 0;
};

// ---------------------------------------------------------------- modes

struct ModeCase {
    int mode;
    const char* item;
    const char* tip;
    const char* poll; // nullptr: left as it was
    std::array<GraphCaption, 4> scales; // Label2(1..4)
    std::array<bool, 4> selectors;      // Combo1(0..3) visible
    std::array<bool, 4> markers;        // Line1(0..3) visible
    std::array<const char*, 4> texts;   // Combo1(0..3) texts
    const char* pictureTip;
};

const char* const kXY = "0.011 Deg /Div\n0.05 Deg Tic Marks";
const ModeCase kModeCases[] = {
    {0, "ADMC   (Position)", "Az, El, Rel, AGC Diagnostic Display", kPoll0,
     {{{"1 Deg /Div", true}, {"1 Deg /Div", true}, {"1 Deg /Div", true}, {"~1 dB /Div", true}}},
     {true, true, true, true}, {true, true, true, true}, {"LV", "AZ", "REL", "SIGNAL"},
     "Double Click to change format to CL, LV, AZ"},
    {1, "DispIVC (LoopError)", "Servo Loop Error Display", kPoll1,
     {{{"0.05 Deg /Div", true}, {"0.05 Deg /Div", true}, {"0.05 Deg /Div", true}, {"~1 dB /Div", false}}},
     {true, true, true, false}, {true, true, true, false}, {"CL", "LV", "AZ", "SIGNAL"}, ""},
    {2, "Disp V   (Ref)", "Reference Sensor Display", kPoll2,
     {{{"1 Deg /Div", true}, {"1 Deg /Div", true}, {"5 Deg /Div ", true}, {"~1 dB /Div", false}}},
     {true, true, true, false}, {true, true, true, false}, {"CL", "LV", "AZ", "SIGNAL"}, ""},
    {3, "Disp W  (Rate)", "Rate Sensor Display", kPoll3,
     {{{"2 Deg /Sec /Div", true}, {"2 Deg /Sec /Div", true}, {"2 Deg /Sec /Div ", true}, {"~1 dB /Div", false}}},
     {true, true, true, false}, {true, true, true, false}, {"CL", "LV", "AZ", "SIGNAL"}, ""},
    {4, "Disp TC (Drive)", "Torque Command Display", kPoll4,
     {{{"0.195 Amp /Div", true}, {"0.195 Amp /Div", true}, {"0.195 Amp /Div", true}, {"~1 dB /Div", false}}},
     {true, true, true, false}, {true, true, true, false}, {"CL", "LV", "AZ", "SIGNAL"}, ""},
    {5, "Spectrum", "Spectrum Analyzer Display", nullptr,
     {{{"1 Deg /Div", false}, {"1 Deg /Div", false}, {"1 Deg /Div", false}, {"~1 dB /Div", true}}},
     {false, false, false, true}, {false, false, false, true}, {"CL", "LV", "AZ", "SIGNAL"}, ""},
    {6, "Circlex XY", "Circlex X-Y pattern display", kPoll6,
     {{{"1 Deg /Div", false}, {kXY, true}, {kXY, true}, {"~1 dB /Div", false}}},
     {false, true, true, false}, {false, false, false, false}, {"CL", "LV", "AZ", "SIGNAL"}, ""},
};

TEST_F(GraphModelTest, EveryModeResetsAndSetsItsCaptionsTooltipsAndPollSequence)
{
    for (const ModeCase& c : kModeCases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        PanelShared sh;
        MainState m;
        GraphModel model(sh, m);
        int stopCleared = 0;
        model.onDiagStopCleared = [&] { ++stopCleared; };
        // Samples under the initial ADMC selection give every baseline a value.
        model.in.cl = 11, model.in.lv = 22, model.in.az = 33, model.in.signal = 44;
        model.Pgraph();
        model.Pgraph();
        ASSERT_EQ(model.baseline(0), 11);
        m.poll = "PREV";
        m.pollPos = 3;
        sh.diagStop = true;
        model.controls.showPhase = true;
        model.controls.Picture1Tip = "old";

        model.mnuGraph_Click(c.mode);

        const GraphControls& k = model.controls;
        EXPECT_EQ(model.mode(), c.mode);
        EXPECT_EQ(k.Combo1[4].text, c.item);
        EXPECT_EQ(k.Combo1[4].tooltip, c.tip);
        EXPECT_EQ(m.poll, c.poll ? c.poll : "PREV");
        EXPECT_EQ(m.pollPos, c.poll ? 1 : 3);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(k.Label2[size_t(i) + 1].text, c.scales[size_t(i)].text);
            EXPECT_EQ(k.Label2[size_t(i) + 1].visible, c.scales[size_t(i)].visible);
            EXPECT_EQ(k.Combo1[size_t(i)].visible, c.selectors[size_t(i)]);
            EXPECT_EQ(k.Line1Visible[size_t(i)], c.markers[size_t(i)]);
            EXPECT_EQ(k.Combo1[size_t(i)].text, c.texts[size_t(i)]);
        }
        EXPECT_EQ(k.Label2[0].text, "Graph Mode Selection");
        EXPECT_EQ(k.Picture1Tip, c.pictureTip);
        for (int i = 0; i < kGraphModes; ++i)
            EXPECT_EQ(k.menuChecked[size_t(i)], i == c.mode) << i;
        // The graph is shown.
        EXPECT_EQ(k.windowHeight, kExpandedHeight);
        EXPECT_EQ(k.cmdGRAPHTip, "Collapse Graph");
        EXPECT_EQ(k.cmdGRAPHImage, GraphButtonImage::Collapse);
        EXPECT_TRUE(k.statusBarShown);
        EXPECT_FALSE(k.mnuPanelChecked);
        // Baselines 1..3 re-centre; trace 4 keeps its own.
        EXPECT_EQ(model.baseline(0), 0);
        EXPECT_EQ(model.baseline(1), 0);
        EXPECT_EQ(model.baseline(2), 0);
        EXPECT_EQ(model.baseline(3), 44);
        // Cleared, and the Stop box unchecked.
        EXPECT_EQ(model.sampleCounter(), 0);
        EXPECT_EQ(model.plotColumn(), 0);
        EXPECT_FALSE(sh.diagStop);
        EXPECT_EQ(stopCleared, 1);
        EXPECT_EQ(k.showPhase, c.mode != kModeXY);
        // Only Spectrum starts a sweep, with tracking off.
        EXPECT_EQ(sh.sweepFrequency, c.mode == kModeSpectrum ? 937 : 0);
        EXPECT_EQ(sh.typed, c.mode == kModeSpectrum ? "D" : "");
    }
}

TEST_F(GraphModelTest, SelectingAModeStopsARunningSweep)
{
    main.poll = kPoll1;
    g.mnuSpec_Click();
    g.sweepNext();
    ASSERT_NE(shared.sweepFrequency, 0);
    g.mnuDTC_Click();
    EXPECT_EQ(shared.sweepFrequency, 0);
    EXPECT_EQ(g.sweepNext(), "");
}

TEST_F(GraphModelTest, ExpandAndCollapse)
{
    int firstExpand = 0;
    g.onFirstExpand = [&] { ++firstExpand; };
    // At start the graph is collapsed.
    EXPECT_FALSE(g.graphShown());
    EXPECT_TRUE(g.controls.mnuPanelChecked);
    EXPECT_EQ(g.controls.cmdGRAPHTip, "Expand Graph");

    g.selectItem(4, kModeW);
    g.cmdGRAPH_Click();
    EXPECT_TRUE(g.graphShown());
    EXPECT_EQ(g.controls.windowHeight, 8910);
    EXPECT_EQ(g.controls.cmdGRAPHImage, GraphButtonImage::Collapse);
    EXPECT_EQ(g.controls.cmdGRAPHTip, "Collapse Graph");
    EXPECT_TRUE(g.controls.statusBarShown);
    EXPECT_FALSE(g.controls.mnuPanelChecked);
    EXPECT_EQ(g.controls.menuChecked, (std::array<bool, 7>{false, false, false, true, false, false, false}));
    EXPECT_EQ(firstExpand, 1);

    g.cmdGRAPH_Click();
    EXPECT_FALSE(g.graphShown());
    EXPECT_EQ(g.controls.windowHeight, 2580);
    EXPECT_EQ(g.controls.cmdGRAPHImage, GraphButtonImage::Expand);
    EXPECT_EQ(g.controls.cmdGRAPHTip, "Expand Graph");
    EXPECT_FALSE(g.controls.statusBarShown);
    EXPECT_TRUE(g.controls.mnuPanelChecked);
    EXPECT_EQ(g.controls.menuChecked, (std::array<bool, 7>{}));

    g.cmdGRAPH_Click();
    EXPECT_EQ(firstExpand, 1); // the diagnostics window is placed only the first time
}

TEST_F(GraphModelTest, AdmcMenuExpandsACollapsedGraphFirst)
{
    int firstExpand = 0;
    g.onFirstExpand = [&] { ++firstExpand; };
    g.mnuDIvc_Click(); // expands through the mode reset, which places nothing
    g.cmdGRAPH_Click(); // collapse
    EXPECT_EQ(firstExpand, 0);
    g.mnuADMC_Click();
    EXPECT_EQ(firstExpand, 1);
    EXPECT_EQ(g.mode(), kModeAdmc);
    EXPECT_TRUE(g.graphShown());
}

// ---------------------------------------------------------------- selectors

TEST_F(GraphModelTest, Trace3SelectionSetsItsCaptionAndRecentres)
{
    struct Case {
        int item;
        const char* caption;
    };
    const Case cases[] = {{2, "10 Deg / Div"}, {0, "1 Deg / Div"}, {6, "2 Volts / Div"},
                          {3, "1 Deg / Div"},  {2, "10 Deg / Div"}, {1, "1 Deg / Div"}};
    g.mnuADMC_Click();
    g.in.az = 100, g.in.rel = 100, g.in.hdg = 100, g.in.extAgc = "500";
    g.Pgraph();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        g.Pgraph();
        ASSERT_NE(g.baseline(2), 0);
        g.controls.Combo1[2].listIndex = c.item;
        g.Combo1_Click(2);
        EXPECT_EQ(g.controls.Label2[3].text, c.caption);
        EXPECT_EQ(g.controls.Combo1[2].text, g.controls.Combo1[2].items[size_t(c.item)]);
        EXPECT_EQ(g.baseline(2), 0);
        EXPECT_TRUE(g.redrawRequested());
    }
}

TEST_F(GraphModelTest, Trace3SourcesInAdmcMode)
{
    struct Case {
        int item;
        std::int16_t rel, hdg;
        const char* pol;
        const char* extAgc;
        std::int16_t expected;
    };
    const Case cases[] = {
        {0, 0, 0, "", "", 1234},          // AZ
        {1, -75, 0, "", "", -75},         // REL
        {2, 25, 0, "", "", 2},            // REL/10: 2.5 rounds to 2
        {2, 35, 0, "", "", 4},            // 3.5 rounds to 4
        {2, -25, 0, "", "", -2},
        {3, 0, 3599, "", "", 3599},       // HDG
        {4, 100, 3550, "", "", 3650},     // HDG+REL
        {5, 0, 0, "12.5", "", 12},        // POL parsed, halves to even
        {5, 0, 0, "", "", 0},             // empty POL
        {5, 0, 0, "99999999", "", 32767}, // beyond 16 bits saturates
        {6, 0, 0, "", "850", 8},          // Ext AGC / 100
        {6, 0, 0, "", "950", 10},
        {6, 0, 0, "", "", 0},             // empty Ext AGC
        {6, 0, 0, "", "junk", 0},
    };
    g.mnuADMC_Click();
    g.in.az = 1234;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        g.selectItem(2, c.item);
        g.in.rel = c.rel;
        g.in.hdg = c.hdg;
        g.in.pol = c.pol;
        g.in.extAgc = c.extAgc;
        const int slot = g.sampleCounter() % 640;
        g.Pgraph();
        EXPECT_EQ(g.traceValue(2, slot), c.expected);
    }
}

TEST_F(GraphModelTest, Trace1And2FollowTheirSelectors)
{
    g.mnuADMC_Click(); // trace 1 "LV", trace 2 "AZ"
    g.in.cl = 1, g.in.lv = 2, g.in.az = 3;
    g.Pgraph();
    EXPECT_EQ(g.traceValue(0, 0), 2);
    EXPECT_EQ(g.traceValue(1, 0), 3);
    g.selectItem(0, 2); // "AZ   "
    g.selectItem(1, 0); // "CL"
    g.Pgraph();
    EXPECT_EQ(g.traceValue(0, 1), 3);
    EXPECT_EQ(g.traceValue(1, 1), 1);
}

TEST_F(GraphModelTest, SignalSelectorTakesTheSignalAsBaselineAndRedraws)
{
    g.mnuADMC_Click();
    g.in.signal = 321;
    const int before = g.redrawCount();
    g.Combo1_Click(3);
    EXPECT_EQ(g.baseline(3), 321);
    EXPECT_EQ(g.redrawCount(), before + 1);
}

TEST_F(GraphModelTest, DoubleClickInAdmcRestoresClLvAzAndClears)
{
    g.mnuADMC_Click();
    g.in.cl = 5, g.in.lv = 6, g.in.az = 7;
    g.Pgraph();
    g.Picture1_DblClick();
    EXPECT_EQ(g.controls.Combo1[0].text, "CL");
    EXPECT_EQ(g.controls.Combo1[1].text, "LV");
    EXPECT_EQ(g.controls.Combo1[2].text, "AZ");
    EXPECT_EQ(g.controls.Label2[3].text, "1 Deg / Div");
    EXPECT_EQ(g.baseline(0), 0);
    EXPECT_EQ(g.baseline(1), 0);
    EXPECT_EQ(g.baseline(2), 0);
    EXPECT_EQ(g.sampleCounter(), 0);
    EXPECT_EQ(g.controls.Picture1Tip, "");
    g.Pgraph();
    EXPECT_EQ(g.traceValue(0, 0), 5);

    // Elsewhere the double click does nothing.
    g.mnuDV_Click();
    stream(1, 2, 3);
    g.Picture1_DblClick();
    EXPECT_EQ(g.sampleCounter(), 1);
}

// ---------------------------------------------------------------- plotting

TEST_F(GraphModelTest, StripChartScrollsByTheNewest630)
{
    g.mnuDIvc_Click();
    for (int i = 0; i < 639; ++i)
        stream(i % 50, 0, 0);
    EXPECT_EQ(g.plotColumn(), 639);
    const int redraws = g.redrawCount();
    stream(7, 0, 0); // the 640th sample
    EXPECT_EQ(RecordingSurface::at(surface.previous, 639).front(), (Dot{639, 70 - 7, g.colors.trace1}));
    // ... then the redraw shows samples 11..640 at x = 0..629.
    EXPECT_EQ(g.redrawCount(), redraws + 1);
    EXPECT_EQ(g.sampleCounter(), 640);
    EXPECT_EQ(g.plotColumn(), 630);
    EXPECT_EQ(surface.at(0).front().y, 70 - 10);  // sample 11: 10 % 50
    EXPECT_EQ(surface.at(629).front().y, 70 - 7); // sample 640
    EXPECT_TRUE(surface.at(630).empty());
    stream(3, 0, 0);
    EXPECT_EQ(surface.at(630).front().y, 70 - 3);
    EXPECT_EQ(g.plotColumn(), 631);

    // Every tenth sample from now on scrolls again; at 1280 the counter steps back to 640.
    for (int i = 641; i < 1279; ++i)
        stream(1, 0, 0);
    EXPECT_EQ(g.sampleCounter(), 1279);
    EXPECT_EQ(g.redrawCount(), redraws + 1 + 63);
    stream(1, 0, 0);
    EXPECT_EQ(g.sampleCounter(), 640);
    EXPECT_EQ(g.plotColumn(), 630);
    EXPECT_EQ(g.redrawCount(), redraws + 1 + 64);
}

TEST_F(GraphModelTest, OnlyStripChartModesRedrawOnTheScrollStep)
{
    struct Case {
        int mode;
        bool redraws;
    };
    for (const Case c : {Case{kModeAdmc, true}, Case{kModeTc, true}, Case{kModeSpectrum, false},
                         Case{kModeXY, false}}) {
        SCOPED_TRACE(c.mode);
        g.mnuGraph_Click(c.mode);
        g.stopSweep();
        for (int i = 0; i < 639; ++i)
            g.Pgraph();
        // ADMC redraws on its first sample after the mode change; count from here.
        const int before = g.redrawCount();
        g.Pgraph();
        EXPECT_EQ(g.plotColumn(), 630);
        EXPECT_EQ(g.redrawCount(), before + (c.redraws ? 1 : 0));
    }
}

TEST_F(GraphModelTest, FirstAdmcSampleAfterClearPutsEveryTraceOnItsHomeLine)
{
    main.poll = kPoll0;
    g.mnuADMC_Click();
    g.in.lv = 453, g.in.az = 1800, g.in.rel = -50, g.in.signal = 120;
    g.Pgraph();
    g.in.lv = 463, g.in.signal = 118;
    g.Pgraph();
    g.cmdClear_Click();
    // Clear keeps the baselines, so the first sample after it stays where the last one was.
    EXPECT_EQ(g.baseline(0), 453);
    g.Combo1_Click(0); // re-select: baseline 1 taken again from the next sample
    surface.dots.clear();
    g.Pgraph();
    EXPECT_EQ(g.baseline(0), 463);
    const Rgb t1 = g.colors.trace1, t2 = g.colors.trace2, t3 = g.colors.trace3, t4 = g.colors.trace4;
    EXPECT_EQ(surface.at(0), (std::vector<Dot>{{0, 70, t1}, {0, 150, t2}, {0, 230, t3}, {0, 302, t4}}));
    g.in.lv = 473; // larger values plot higher
    g.Pgraph();
    EXPECT_EQ(surface.at(1).front(), (Dot{1, 60, t1}));
}

TEST_F(GraphModelTest, CenterAllInAdmcRecentresEveryTraceAndUndoRestoresExactly)
{
    main.poll = kPoll0;
    g.mnuADMC_Click();
    g.in.lv = 400, g.in.az = 900, g.in.rel = 30, g.in.signal = 50;
    g.Pgraph();
    const std::array<std::int16_t, 4> before{g.baseline(0), g.baseline(1), g.baseline(2), g.baseline(3)};
    g.in.lv = 420, g.in.az = 950, g.in.rel = 40, g.in.signal = 60;
    g.Pgraph();
    g.cmdOffset_Click();
    EXPECT_TRUE(g.redrawRequested());
    g.Pgraph(); // re-centres and redraws
    EXPECT_EQ(g.baseline(0), 420);
    EXPECT_EQ(g.baseline(3), 60);
    EXPECT_FALSE(g.redrawRequested());
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(g.undoBaseline(t), before[size_t(t)]);

    g.cmdOffset_RightUp();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(g.baseline(t), before[size_t(t)]);
    // The redraw puts the first sample back on its home line.
    EXPECT_EQ(surface.at(0).front(), (Dot{0, 70, g.colors.trace1}));
}

TEST_F(GraphModelTest, CenterAllOfTheOtherStripModes)
{
    main.poll = kPoll2;
    g.mnuDV_Click();
    stream(1, 2, 30);
    g.cmdOffset_Click();
    EXPECT_EQ(g.baseline(2), 30);
    EXPECT_EQ(surface.at(0)[2].y, 230); // redrawn on its home line
    g.cmdOffset_RightUp();
    EXPECT_EQ(g.baseline(2), 0);
    EXPECT_EQ(surface.at(0)[2].y, 200);

    g.mnuDW_Click();
    g.in.signal = 77;
    g.cmdOffset_Click();
    EXPECT_EQ(g.baseline(3), 77);
    EXPECT_EQ(g.baseline(2), 0);
}

TEST_F(GraphModelTest, PositionsBeyondSixteenBitsAreSkipped)
{
    g.mnuADMC_Click();
    g.in.signal = 32000;
    g.Pgraph(); // baseline 4 = 32000
    surface.dots.clear();
    g.in.signal = -32000; // 32000 + 32000 + 300 does not fit
    g.Pgraph();
    const auto dots = surface.at(1);
    ASSERT_EQ(dots.size(), 3u);
    EXPECT_EQ(dots[2].colour, g.colors.trace3);
    EXPECT_EQ(g.sampleCounter(), 2);
}

// ---------------------------------------------------------------- X-Y

TEST_F(GraphModelTest, XYCenterAllAveragesTheSamplesTaken)
{
    struct Case {
        std::vector<int> values; // trace 1 values, one sample each
        std::int32_t centre;
    };
    const Case cases[] = {
        {{10, 20, 31}, 102}, // 5 * 61 / 3 = 101.67
        {{1, 2}, 8},         // 7.5: halves to even
        {{0, 1}, 2},         // 2.5
        {{}, 0},             // nothing taken: unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values.size());
        g.mnuDXY_Click();
        for (int v : c.values)
            stream(v, -v, 2 * v);
        g.cmdOffset_Click();
        EXPECT_EQ(g.xyCentre(0), c.centre);
        EXPECT_EQ(g.xyCentre(1), -c.centre);
        EXPECT_TRUE(g.controls.showPhase);
    }
}

TEST_F(GraphModelTest, XYCenterAllAfterTheRingHasFilledAverages641Slots)
{
    g.mnuDXY_Click();
    for (int i = 0; i < 700; ++i)
        stream(100, 0, 0);
    g.cmdOffset_Click();
    // Slots 0..639 hold 100, slot 640 is never written: 5 * 64000 / 641 = 499.2.
    EXPECT_EQ(g.xyCentre(0), 499);
}

TEST_F(GraphModelTest, XYRunningSums)
{
    g.mnuDXY_Click();
    stream(10, -10, 0);
    EXPECT_EQ(g.xySum(0), 10);
    stream(10, -10, 0);
    EXPECT_EQ(g.xySum(0), 19); // 10 + 10 - 1
    stream(10, -10, 0);
    EXPECT_EQ(g.xySum(0), 27); // 19 + 10 - 1.9 = 27.1
    EXPECT_EQ(g.xySum(1), -27);
    g.mnuDV_Click(); // other modes leave the sums alone
    stream(10, 10, 10);
    EXPECT_EQ(g.xySum(0), 27);
}

TEST_F(GraphModelTest, XYPointsAndSkips)
{
    g.mnuDXY_Click();
    surface.dots.clear();
    stream(3, 7, -9); // C 15, L 35, A -45
    EXPECT_EQ(surface.dots, (std::vector<Dot>{{275, 145, g.colors.trace4}}));
    surface.dots.clear();
    stream(0, 199, 0); // 995: plotted
    EXPECT_EQ(surface.dots.size(), 1u);
    surface.dots.clear();
    stream(0, 200, 0); // 1000: skipped
    stream(0, 0, -200);
    stream(200, 0, 0);
    EXPECT_TRUE(surface.dots.empty());

    // Against the centres, or around the origin with Auto Center.
    g.mnuDSUp_Click(); // centre(LV) -10
    g.mnuDSLeft_Click(); // centre(AZ) +10
    surface.dots.clear();
    stream(0, 0, 0);
    EXPECT_EQ(surface.dots.back(), (Dot{310, 170, g.colors.trace4}));
    g.controls.autoCenter = true;
    stream(0, 0, 0);
    EXPECT_EQ(surface.dots.back(), (Dot{320, 180, g.colors.trace4}));

    // 3 Axis Scaling at 90 degrees elevation: X is the cross-level component.
    g.controls.autoCenter = false;
    g.mnuDSDown_Click();
    g.mnuDSRight_Click();
    g.controls.threeAxis = true;
    g.in.lv = 900;
    surface.dots.clear();
    stream(3, 7, -9);
    EXPECT_EQ(surface.dots.back(), (Dot{335, 145, g.colors.trace4}));
}

TEST_F(GraphModelTest, XYPopUpMovesTheCentres)
{
    struct Case {
        void (GraphModel::*entry)();
        bool threeAxis;
        std::array<std::int32_t, 3> centre; // CL, LV, AZ
    };
    const Case cases[] = {
        {&GraphModel::mnuDSUp_Click, false, {0, -10, 0}},
        {&GraphModel::mnuDSDown_Click, false, {0, 10, 0}},
        {&GraphModel::mnuDSLeft_Click, false, {0, 0, 10}},
        {&GraphModel::mnuDSRight_Click, false, {0, 0, -10}},
        // 30 degrees: 10 cos = 8.66, 10 sin = 5.00
        {&GraphModel::mnuDSLeft_Click, true, {5, 0, 9}},
        {&GraphModel::mnuDSRight_Click, true, {-5, 0, -9}},
        {&GraphModel::mnuDSUp_Click, true, {0, -10, 0}},
    };
    g.in.lv = 300;
    for (const Case& c : cases) {
        g.mnuDXY_Click();
        g.controls.threeAxis = c.threeAxis;
        const int before = g.redrawCount();
        (g.*c.entry)();
        EXPECT_EQ(g.xyCentre(0), c.centre[0]);
        EXPECT_EQ(g.xyCentre(1), c.centre[1]);
        EXPECT_EQ(g.xyCentre(2), c.centre[2]);
        EXPECT_EQ(g.redrawCount(), before + 1);
    }
}

TEST_F(GraphModelTest, XYPopUpChecks)
{
    g.mnuDXY_Click();
    EXPECT_TRUE(g.xyMenuOnRightClick());
    stream(4, 4, 4);
    g.mnuDSCenter_Click(); // toggles and runs Center All
    EXPECT_TRUE(g.controls.autoCenter);
    EXPECT_EQ(g.xyCentre(0), 20);
    EXPECT_TRUE(g.controls.showPhase);
    const int before = g.redrawCount();
    g.mnuDSPhase_Click();
    g.mnuDS3D_Click();
    EXPECT_FALSE(g.controls.showPhase);
    EXPECT_TRUE(g.controls.threeAxis);
    EXPECT_EQ(g.redrawCount(), before + 2);
    g.mnuADMC_Click();
    EXPECT_FALSE(g.xyMenuOnRightClick());
}

TEST(GraphAngle, dTan2)
{
    struct Case {
        double x, y, angle;
    };
    const Case cases[] = {
        {0, 1, 1.570795},     {0, -1, -1.570795},    {0, 0, -1.570795},
        {1, 1, 0.785398},     {-1, 1, 2.356192},     {-1, -1, 3.926988},
        {2, -2, -0.785398},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(dTan2(c.x, c.y), c.angle, 1e-6) << c.x << "," << c.y;
}

// ---------------------------------------------------------------- spectrum

TEST_F(GraphModelTest, SpectrumSweepCovers200FrequenciesThenRestoresTheReceiver)
{
    struct Case {
        int tracking;
        const char* restore;
    };
    for (const Case c : {Case{8, "c1234\r\nC"}, Case{0, "c1234\r\nD"}}) {
        SCOPED_TRACE(c.tracking);
        main.poll = kPoll1;
        main.frequency = 1234;
        main.tracking = c.tracking;
        g.mnuSpec_Click();
        EXPECT_EQ(shared.typed, "D");
        // Tracking goes off before the first step, not behind the whole sweep.
        EXPECT_EQ(g.sweepNext(), "D");
        EXPECT_EQ(shared.typed, "");
        main.frequency = 999; // moved by the sweep; the start's value is restored
        main.tracking = 8 - c.tracking;
        std::vector<std::string> sent;
        for (int i = 0; i < 1000 && shared.sweepFrequency != 0; ++i)
            sent.push_back(g.sweepNext());
        ASSERT_EQ(sent.size(), 200u);
        EXPECT_EQ(sent.front(), "c0937\r\n");
        EXPECT_EQ(sent[1], "c0940\r\n");
        EXPECT_EQ(sent.back(), "c1534\r\n");
        EXPECT_EQ(g.sampleCounter(), 600);
        EXPECT_EQ(main.poll, "");
        EXPECT_EQ(shared.typed, c.restore);
        EXPECT_EQ(g.sweepNext(), "");
    }
}

TEST_F(GraphModelTest, ClearRestartsASweepAndAKeyStopsIt)
{
    main.poll = kPoll1;
    g.mnuSpec_Click();
    for (int i = 0; i < 10; ++i)
        g.sweepNext();
    g.cmdClear_Click();
    EXPECT_EQ(g.sweepNext(), "c0937\r\n");
    g.stopSweep();
    EXPECT_EQ(shared.sweepFrequency, 0);
    EXPECT_EQ(g.sampleCounter(), 0);
    EXPECT_EQ(g.sweepNext(), "");
}

TEST_F(GraphModelTest, SpectrumLevelsAreKeptAtXAndDrawn)
{
    main.poll = kPoll1;
    g.mnuSpec_Click();
    g.sweepNext(); // "D"
    g.sweepNext();
    g.spectrumLevel(40); // x = 3
    g.sweepNext();
    g.spectrumLevel(45); // x = 6
    EXPECT_EQ(g.spectrumValue(3), 40);
    EXPECT_EQ(g.spectrumValue(6), 45);
    EXPECT_EQ(surface.lines.back(), (Segment{3, 200, 6, 195, g.colors.trace4}));
    // The redraw draws the buffer up to x.
    g.cmdRedraw_Click();
    EXPECT_EQ(surface.lines.back(), (Segment{3, 200, 6, 195, g.colors.trace4}));
    EXPECT_EQ(surface.lines[surface.lines.size() - 2], (Segment{0, 240, 3, 200, g.colors.trace4}));
}

// ---------------------------------------------------------------- records

TEST_F(GraphModelTest, RecordsPerMode)
{
    main.elText = "45.3", main.azText = "180.0", main.thirdText = "-1.2", main.relText = "10.5";
    main.hdgText = "270.0", main.agcText = "0850", main.latText = "51.5", main.lonText = "0.1";
    main.eAgcText = "123";
    shared.acuWord1 = 'H', shared.acuWord2 = 'A', shared.acuError1 = '@';
    main.rxStatus = 15;    // shown as 'O'
    shared.acuError2 = 0;  // never received: '@'
    struct Case {
        int mode;
        const char* record;
    };
    const Case cases[] = {
        {kModeAdmc, "t,45.3,180.0,-1.2,10.5,270.0,0850,51.5,0.1,123,HA@ O@"},
        {kModeIvc, "t,12,-34,56,10.5,-7"},
        {kModeV, "t,12,-34,56,10.5"},
        {kModeW, "t,12,-34,56,10.5"},
        {kModeTc, "t,12,-34,56,10.5"},
        {kModeSpectrum, "t,12,-34,56,10.5"},
        {kModeXY, "t,12,-34,56,10.5,-7"},
    };
    std::vector<std::string> written;
    g.onRecord = [&](const std::string& r) { written.push_back(r); };
    g.timeOfDay = [] { return std::string("t"); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        g.mnuGraph_Click(c.mode);
        g.stopSweep();
        written.clear();
        stream(12, -34, 56, -7);
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(written[0], c.record);
        EXPECT_EQ(g.record(0), c.record);
    }
}

TEST_F(GraphModelTest, RecordsWhileCollapsedAreCurrent)
{
    g.mnuADMC_Click();
    g.cmdGRAPH_Click(); // collapse
    ASSERT_FALSE(g.graphShown());
    std::vector<std::string> written;
    g.onRecord = [&](const std::string& r) { written.push_back(r); };
    main.elText = "10.0";
    g.Pgraph();
    main.elText = "20.0";
    g.Pgraph();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].substr(0, 8), "t0,10.0,");
    EXPECT_EQ(written[1].substr(0, 8), "t1,20.0,");
}

TEST_F(GraphModelTest, ShownRecordsAreTheChartsOldestFirst)
{
    g.mnuDV_Click();
    EXPECT_TRUE(g.shownRecords().empty());
    tick = 0;
    for (int i = 0; i < 645; ++i)
        stream(i, 0, 0);
    const auto shown = g.shownRecords();
    ASSERT_EQ(shown.size(), 635u); // plot column 630 after the scroll, then 5 more
    EXPECT_EQ(shown.front(), "t10,10,0,0,");
    EXPECT_EQ(shown.back(), "t644,644,0,0,");
    g.cmdClear_Click();
    EXPECT_TRUE(g.shownRecords().empty());
}

} // namespace
} // namespace panel
