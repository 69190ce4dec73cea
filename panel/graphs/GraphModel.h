#pragma once
// The diagnostic graph of the panel: the seven graph modes, the trace and record rings, the
// plotting step Pgraph, the redraw, the centring controls, the X-Y display, the spectrum sweep
// and the expand/collapse of the graph area. The main window renders `controls` and the
// surface and forwards its events to the handlers below; it decides nothing itself.
#include "GraphSurface.h"
#include "panel/core/PanelState.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace panel {

// Graph modes: the list index of the mode selector Combo1(4).
enum GraphMode : int {
    kModeAdmc = 0,
    kModeIvc = 1,
    kModeV = 2,
    kModeW = 3,
    kModeTc = 4,
    kModeSpectrum = 5,
    kModeXY = 6,
};
inline constexpr int kGraphModes = 7;

// Colours of the surface. The defaults are the stored defaults of the colour settings:
// back 2039583 = (31, 31, 31), grid 5197646 = (78, 79, 79), home 255 = red.
struct GraphColors {
    Rgb back = 0x1F1F1F;
    Rgb grid = 0x4E4F4F;
    Rgb home = 0xFF0000;
    Rgb trace1 = 0xFFFF00; // yellow
    Rgb trace2 = 0x00FF00; // light green
    Rgb trace3 = 0x00FFFF; // light cyan
    Rgb trace4 = 0xFFFFFF; // bright white
};

// The sample values Pgraph reads, filled by the caller before each call. Angles in tenths of
// a degree.
struct GraphInputs {
    std::int16_t cl = 0, lv = 0, az = 0, rel = 0, hdg = 0;
    std::int16_t signal = 0;   // received signal level (AGC)
    std::string pol;           // polarisation text
    std::string extAgc;        // external AGC text
    // One diagnostic-stream reply: cross-level, level, azimuth axis, then the phase value of
    // a loop-error reply.
    std::array<std::int16_t, 4> stream{};
};

// A list selector Combo1(i).
struct GraphSelector {
    std::vector<std::string> items;
    int listIndex = 0;     // -1 when the text matches no item
    std::string text;
    bool visible = true;
    std::string tooltip;
};

struct GraphCaption {
    std::string text;
    bool visible = true;
};

enum class GraphButtonImage { Expand, Collapse };

// Window units (1/1440 inch).
inline constexpr int kCollapsedHeight = 2580;
inline constexpr int kExpandedHeight = 8910;
inline constexpr int kShownAbove = 3000;    // the graph counts as shown when taller than this
inline constexpr int kAdmcExpandBelow = 8000; // mnuADMC expands first when not this tall

// What the graph's controls show.
struct GraphControls {
    std::array<GraphSelector, 5> Combo1;   // 0..3 trace sources, 4 the graph mode
    std::array<GraphCaption, 5> Label2;    // 0 the mode selector's title, 1..4 the scales
    std::array<bool, 4> Line1Visible{};    // home-line markers of traces 1..4
    std::string Picture1Tip;
    std::array<bool, kGraphModes> menuChecked{}; // mnuADMC .. mnuDXY
    bool mnuPanelChecked = true;           // "&Panel Only"
    int windowHeight = kCollapsedHeight;
    std::string cmdGRAPHTip;
    GraphButtonImage cmdGRAPHImage = GraphButtonImage::Expand;
    bool statusBarShown = false;
    // The X-Y pop-up's checks.
    bool autoCenter = false;  // mnuDSCenter
    bool threeAxis = false;   // mnuDS3D
    bool showPhase = false;   // mnuDSPhase
};

// Fixed captions of the graph's controls and menus.
struct GraphMenuEntry {
    const char* name;
    const char* caption;
};
inline constexpr std::array<GraphMenuEntry, kGraphModes> kGraphMenu{{
    {"mnuADMC", "ADMC      Graph"},
    {"mnuDIvc", "Disp IVC  Graph"},
    {"mnuDV", "Disp v      Graph"},
    {"mnuDW", "Disp w     Graph"},
    {"mnuDTC", "Disp TC   Graph"},
    {"mnuSpec", "Spectrum Analyzer"},
    {"mnuDXY", "X-Y Circlex Graph"},
}};
inline constexpr const char* kPanelOnlyCaption = "&Panel Only";
inline constexpr const char* kClearCaption = "Clear";
inline constexpr const char* kRedrawCaption = "Redraw";
inline constexpr const char* kOffsetCaption = "Center All";
inline constexpr const char* kOffsetTip = "Right click to undo last Center All operation";
inline constexpr const char* kExpandTip = "Expand Graph";
inline constexpr const char* kCollapseTip = "Collapse Graph";
inline constexpr const char* kTraceSelectorTip = "Re-Select to Center Trace";
inline constexpr const char* kXYMenuCaption = "Tool2"; // mnuTool2, not in the menu bar
inline constexpr std::array<GraphMenuEntry, 7> kXYMenu{{
    {"mnuDSCenter", "Auto Center"},
    {"mnuDS3D", "3 Axis Scaling"},
    {"mnuDSPhase", "Show Phase"},
    {"mnuDSRight", "Move Right"},
    {"mnuDSLeft", "Move Left"},
    {"mnuDSUp", "Move UP"},
    {"mnuDSDown", "Move Down"},
}};

// The angle of (x, y): pi/2 for x = 0 and y > 0, -pi/2 for x = 0 otherwise, else atan(y / x),
// plus pi when x < 0 (pi taken as 3.14159).
double dTan2(double x, double y);

class GraphModel {
public:
    static constexpr int kRing = 640;         // samples on the chart
    static constexpr int kRingSlots = 681;    // array size of the trace and record rings
    static constexpr int kScrollTo = 630;     // plot column after the chart is full
    static constexpr int kCounterWrap = 1280; // the sample counter goes back to kRing here
    static constexpr int kSweepStart = 937;
    static constexpr int kSweepStep = 3;
    static constexpr int kSweepEndX = 600;
    static constexpr int kSpectrumSlots = 1301;

    GraphModel(PanelShared& shared, MainState& main);

    // Inputs of the next Pgraph; the caller fills them.
    GraphInputs in;
    // What the controls show. The window writes Combo1(i).listIndex (and text) before it calls
    // Combo1_Click(i); everything else it only reads.
    GraphControls controls;
    GraphColors colors;

    // Hooks.
    std::function<void(const std::string& record)> onRecord; // every sample's record
    std::function<void()> onDiagStopCleared;  // a mode change unchecked the diagnostics Stop box
    std::function<void()> onFirstExpand;      // place the diagnostics window at our right edge
    std::function<void()> focusPicture;       // a selector changed: give Picture1 the focus
    std::function<void()> changed;            // captions, checks or the surface changed
    std::function<std::string()> timeOfDay;   // "hh:mm:ss"; default: the current time of day

    void setSurface(GraphSurface* surface) { surface_ = surface; }
    GraphSurface* surface() const { return surface_; }

    // The graph mode (the mode selector's list index; 0 when it holds none).
    int mode() const;
    bool graphShown() const { return controls.windowHeight > kShownAbove; }
    // Show item `item` in selector `combo` (list index and text), without running its click.
    void selectItem(int combo, int item);

    // ---- event handlers
    void Combo1_Click(int index);
    void mnuGraph_Click(int mode); // the seven graph menu entries
    void mnuADMC_Click() { mnuGraph_Click(kModeAdmc); }
    void mnuDIvc_Click() { mnuGraph_Click(kModeIvc); }
    void mnuDV_Click() { mnuGraph_Click(kModeV); }
    void mnuDW_Click() { mnuGraph_Click(kModeW); }
    void mnuDTC_Click() { mnuGraph_Click(kModeTc); }
    void mnuSpec_Click() { mnuGraph_Click(kModeSpectrum); }
    void mnuDXY_Click() { mnuGraph_Click(kModeXY); }
    void cmdGRAPH_Click();
    void cmdClear_Click();
    void cmdRedraw_Click() { redraw(); }
    void cmdOffset_Click();   // Center All
    void cmdOffset_RightUp(); // undo the last Center All
    void Picture1_DblClick();
    // A right click on Picture1 pops up the X-Y menu (true) or the colours menu (false).
    bool xyMenuOnRightClick() const { return mode() == kModeXY; }
    void mnuDSCenter_Click();
    void mnuDS3D_Click();
    void mnuDSPhase_Click();
    void mnuDSRight_Click();
    void mnuDSLeft_Click();
    void mnuDSUp_Click();
    void mnuDSDown_Click();

    // One sample from `in`: store, build and hand on its record, plot, advance.
    void Pgraph();
    // The full redraw (also after a colour change).
    void redraw();
    // The redraw for printing: white paper, light grey grid, grey home lines, the samples in
    // black two pixels wide. The surface keeps it until the next redraw.
    void redrawForPrint();

    // ---- spectrum sweep
    void startSweep();
    // The next command of a running sweep: "D" (tracking off) first, then "c" + four digits +
    // CR LF, advancing the sweep; empty when none runs. The send scheduler calls it while shared.sweepFrequency != 0.
    std::string sweepNext();
    // A decoded level for the frequency swept: kept at the current x and drawn.
    void spectrumLevel(int level);
    // Any front-panel key.
    void stopSweep();

    // ---- state, for the window, the data files and tests
    std::int16_t sampleCounter() const { return counter_; }
    std::int16_t plotColumn() const { return column_; }
    std::int16_t baseline(int trace) const { return baseline_[size_t(trace)]; }
    std::int16_t undoBaseline(int trace) const { return undo_[size_t(trace)]; }
    std::int16_t traceValue(int trace, int slot) const { return trace_[size_t(trace)][size_t(slot)]; }
    const std::string& record(int slot) const { return record_[size_t(slot)]; }
    bool redrawRequested() const { return redrawRequest_; }
    std::int32_t xyCentre(int axis) const { return centre_[size_t(axis)]; } // 0 CL, 1 LV, 2 AZ
    std::int32_t xySum(int axis) const { return sum_[size_t(axis)]; }
    std::int16_t spectrumValue(int x) const { return spectrum_[size_t(x)]; }
    int redrawCount() const { return redraws_; }
    // The records of the samples now on the chart, oldest first.
    std::vector<std::string> shownRecords() const;

private:
    void modeReset();
    void applyMode(int mode);
    void clearDiagStop();
    void setPoll(const std::string& seq);
    void setLabel(int i, const std::string& text, bool visible);
    int itemOf(int combo) const;
    std::int16_t sourceValue(int combo) const;
    std::int16_t trace3Value() const;
    void buildRecord(int slot);
    void plotStrip(int slot, int x);
    void plotXY(int slot);
    int xyLastSlot() const; // n of the X-Y replot and Center All
    void notify();

    PanelShared& shared_;
    MainState& main_;
    GraphSurface* surface_ = nullptr;

    std::array<std::array<std::int16_t, kRingSlots>, 4> trace_{};
    std::array<std::string, kRingSlots> record_;
    std::array<std::int16_t, 4> baseline_{};
    std::array<std::int16_t, 4> undo_{};
    std::int16_t counter_ = 0; // also the spectrum's x position
    std::int16_t column_ = 0;
    bool redrawRequest_ = false;
    std::array<std::int32_t, 3> centre_{};
    std::array<std::int32_t, 3> sum_{};
    std::array<std::int16_t, kSpectrumSlots> spectrum_{};
    int sweepFrequencySaved_ = 0;
    int trackingSaved_ = 0;
    bool trackingOffFirst_ = false; // the sweep's first element is "D"
    bool expandedOnce_ = false;
    int redraws_ = 0;
    bool printing_ = false;
};

} // namespace panel
