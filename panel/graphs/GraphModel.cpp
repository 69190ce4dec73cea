#include "GraphModel.h"

#include "ColorSettings.h"

#include "panel/core/Format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace panel {

namespace {

constexpr double kPi = 3.14159;
constexpr double kElToRadian = 0.0017453; // tenths of a degree to radians

// Scale captions.
constexpr const char* kDegDiv = "1 Deg /Div";
constexpr const char* kDbDiv = "~1 dB /Div";
constexpr const char* kXYScale = "0.011 Deg /Div\n0.05 Deg Tic Marks";

// What selecting each mode sets beyond the common reset: the selector item, its tooltip, the
// poll sequence (none: left as it is) and the scale captions of traces 1..3 (none: left).
struct ModeRow {
    const char* item;
    const char* tip;
    const char* poll;
    std::array<const char*, 3> scale;
};

constexpr std::array<ModeRow, kGraphModes> kModes{{
    {"ADMC   (Position)", "Az, El, Rel, AGC Diagnostic Display", "SPHuSPHqSPH@SPH!?   S",
     {kDegDiv, kDegDiv, kDegDiv}},
    {"DispIVC (LoopError)", "Servo Loop Error Display",
     "!?   x!?   xS!?   x!?   xP!?   x!?   xH!?   x!?   x@!?   x!?   xu!?   x!?   x!?   S",
     {"0.05 Deg /Div", "0.05 Deg /Div", "0.05 Deg /Div"}},
    {"Disp V   (Ref)", "Reference Sensor Display", "S!?   v!?   vH!?   vu!?   vP!?   S!?   v",
     {nullptr, nullptr, "5 Deg /Div "}},
    {"Disp W  (Rate)", "Rate Sensor Display", "S!?   wP!?   wH!?   wu!?   w!?   S!?   w",
     {"2 Deg /Sec /Div", "2 Deg /Sec /Div", "2 Deg /Sec /Div "}},
    {"Disp TC (Drive)", "Torque Command Display", "S!?   yP!?   yH!?   yu!?   y!?   S!?   y",
     {"0.195 Amp /Div", "0.195 Amp /Div", "0.195 Amp /Div"}},
    {"Spectrum", "Spectrum Analyzer Display", nullptr, {nullptr, nullptr, nullptr}},
    {"Circlex XY", "Circlex X-Y pattern display",
     "!?   x!?   xS!?   x!?   xP!?   x!?   xH!?   x!?   x@!?   x!?   x!?   x!?   xu!?   S",
     {nullptr, kXYScale, kXYScale}},
}};

// Trace 3's sources, in the order of Combo1(2).
enum Trace3Source { kAz, kRel, kRel10, kHdg, kHdgRel, kPol, kExtAgc };

std::int16_t saturate16(long v)
{
    if (v > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    if (v < std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    return std::int16_t(v);
}

std::int32_t saturate32(long v)
{
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(v);
}

bool fits16(long v)
{
    return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
}

std::string trimRight(const std::string& s)
{
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return s.substr(0, n);
}

// A status value as one printable character: its six flag bits with bit 6 set, so a value
// never received reads "@" and no control character or comma reaches the CSV record.
char statusChar(int v)
{
    return char((v & 0x3F) | 0x40);
}

std::string currentTimeOfDay()
{
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

int mod640(int v)
{
    return ((v % GraphModel::kRing) + GraphModel::kRing) % GraphModel::kRing;
}

} // namespace

double dTan2(double x, double y)
{
    if (x == 0)
        return y > 0 ? kPi / 2 : -kPi / 2;
    const double a = std::atan(y / x);
    return x < 0 ? a + kPi : a;
}

GraphModel::GraphModel(PanelShared& shared, MainState& main) : shared_(shared), main_(main)
{
    auto& c = controls.Combo1;
    c[0].items = {"CL", "LV", "AZ   "};
    c[1].items = {"CL", "LV", "AZ"};
    c[2].items = {"AZ", "REL", "REL/10", "HDG", "HDG+REL", "POL", "Ext AGC"};
    c[3].items = {"SIGNAL", "   "};
    for (int i = 0; i < 4; ++i)
        c[size_t(i)].tooltip = kTraceSelectorTip;
    for (const ModeRow& row : kModes)
        c[4].items.push_back(row.item);
    selectItem(0, 0);
    selectItem(1, 1);
    selectItem(2, 0);
    selectItem(3, 0);
    selectItem(4, kModeAdmc);
    c[4].tooltip = kModes[0].tip;

    controls.Label2[0] = {"Graph Mode Selection", true};
    for (int i = 1; i < 4; ++i)
        controls.Label2[size_t(i)] = {"1 Deg / Div", true};
    controls.Label2[4] = {"~1 dB / Div", true};
    controls.Line1Visible = {true, true, true, true};
    controls.cmdGRAPHTip = kExpandTip;
    timeOfDay = currentTimeOfDay;
}

int GraphModel::mode() const
{
    const int m = controls.Combo1[4].listIndex;
    return m >= 0 && m < kGraphModes ? m : kModeAdmc;
}

void GraphModel::selectItem(int combo, int item)
{
    if (combo < 0 || combo > 4)
        return;
    GraphSelector& c = controls.Combo1[size_t(combo)];
    if (item < 0 || size_t(item) >= c.items.size())
        return;
    c.listIndex = item;
    c.text = c.items[size_t(item)];
}

// The selector's item: its list index, else the item its text names, else the first.
int GraphModel::itemOf(int combo) const
{
    const GraphSelector& c = controls.Combo1[size_t(combo)];
    if (c.listIndex >= 0 && size_t(c.listIndex) < c.items.size())
        return c.listIndex;
    const std::string t = trimRight(c.text);
    for (size_t i = 0; i < c.items.size(); ++i)
        if (trimRight(c.items[i]) == t)
            return int(i);
    return 0;
}

void GraphModel::notify()
{
    if (changed)
        changed();
}

void GraphModel::setPoll(const std::string& seq)
{
    main_.poll = seq;
    main_.pollPos = 1;
}

void GraphModel::setLabel(int i, const std::string& text, bool visible)
{
    controls.Label2[size_t(i)] = {text, visible};
}

void GraphModel::clearDiagStop()
{
    shared_.diagStop = false;
    if (onDiagStopCleared)
        onDiagStopCleared();
}

// ---------------------------------------------------------------- selectors and modes

void GraphModel::Combo1_Click(int index)
{
    if (index < 0 || index > 4)
        return;
    GraphSelector& c = controls.Combo1[size_t(index)];
    if (c.listIndex >= 0 && size_t(c.listIndex) < c.items.size())
        c.text = c.items[size_t(c.listIndex)];
    if (index == 4) {
        applyMode(mode());
    } else if (index < 3) {
        baseline_[size_t(index)] = 0; // the next ADMC sample re-centres the trace
        if (index == 2) {
            const int item = itemOf(2);
            controls.Label2[3].text = item == kRel10    ? "10 Deg / Div"
                                      : item == kExtAgc ? "2 Volts / Div"
                                                        : "1 Deg / Div";
        }
    } else {
        baseline_[3] = in.signal;
        redraw();
    }
    redrawRequest_ = true;
    if (focusPicture)
        focusPicture();
    notify();
}

void GraphModel::modeReset()
{
    controls.cmdGRAPHImage = GraphButtonImage::Collapse;
    controls.cmdGRAPHTip = kCollapseTip;
    controls.windowHeight = kExpandedHeight;
    controls.statusBarShown = true;
    controls.mnuPanelChecked = false;
    controls.menuChecked.fill(false);
    auto& c = controls.Combo1;
    for (int i = 0; i < 3; ++i)
        c[size_t(i)].visible = true;
    selectItem(0, 0); // "CL"
    selectItem(1, 1); // "LV"
    selectItem(2, 0); // "AZ"
    c[3].visible = false;
    controls.Line1Visible = {true, true, true, false};
    for (int i = 1; i < 4; ++i)
        setLabel(i, kDegDiv, true);
    setLabel(4, kDbDiv, false);
    controls.Picture1Tip.clear();
    shared_.sweepFrequency = 0;
    baseline_[0] = baseline_[1] = baseline_[2] = 0;
    redrawRequest_ = true;
}

void GraphModel::applyMode(int m)
{
    modeReset();
    const ModeRow& row = kModes[size_t(m)];
    controls.Combo1[4].tooltip = row.tip;
    controls.menuChecked[size_t(m)] = true;
    if (row.poll)
        setPoll(row.poll);
    for (int i = 0; i < 3; ++i)
        if (row.scale[size_t(i)])
            controls.Label2[size_t(i) + 1].text = row.scale[size_t(i)];

    auto& c = controls.Combo1;
    switch (m) {
    case kModeAdmc:
        selectItem(0, 1); // "LV"
        selectItem(1, 2); // "AZ"
        selectItem(2, kRel);
        selectItem(3, 0); // "SIGNAL"
        c[3].visible = true;
        controls.Line1Visible[3] = true;
        controls.Label2[4].visible = true;
        controls.Picture1Tip = "Double Click to change format to CL, LV, AZ";
        break;
    case kModeSpectrum:
        for (int i = 0; i < 3; ++i) {
            c[size_t(i)].visible = false;
            controls.Line1Visible[size_t(i)] = false;
            controls.Label2[size_t(i) + 1].visible = false;
        }
        selectItem(3, 0);
        c[3].visible = true;
        controls.Line1Visible[3] = true;
        controls.Label2[4].visible = true;
        startSweep();
        break;
    case kModeXY:
        controls.showPhase = false;
        c[0].visible = false;
        controls.Label2[1].visible = false;
        controls.Line1Visible[0] = controls.Line1Visible[1] = controls.Line1Visible[2] = false;
        centre_.fill(0);
        sum_.fill(0);
        break;
    default:
        break;
    }
    cmdClear_Click();
    clearDiagStop();
}

void GraphModel::mnuGraph_Click(int m)
{
    if (m < 0 || m >= kGraphModes)
        return;
    if (m == kModeAdmc && controls.windowHeight < kAdmcExpandBelow)
        cmdGRAPH_Click();
    selectItem(4, m);
    Combo1_Click(4);
}

void GraphModel::cmdGRAPH_Click()
{
    if (controls.windowHeight >= kShownAbove) {
        controls.windowHeight = kCollapsedHeight;
        controls.statusBarShown = false;
        controls.mnuPanelChecked = true;
        controls.menuChecked.fill(false);
        controls.cmdGRAPHImage = GraphButtonImage::Expand;
        controls.cmdGRAPHTip = kExpandTip;
    } else {
        controls.cmdGRAPHImage = GraphButtonImage::Collapse;
        controls.cmdGRAPHTip = kCollapseTip;
        controls.windowHeight = kExpandedHeight;
        controls.statusBarShown = true;
        controls.mnuPanelChecked = false;
        controls.menuChecked[size_t(mode())] = true;
        if (!expandedOnce_) {
            expandedOnce_ = true;
            if (onFirstExpand)
                onFirstExpand();
        }
    }
    notify();
}

// ---------------------------------------------------------------- buttons and pop-up

void GraphModel::cmdClear_Click()
{
    if (shared_.sweepFrequency != 0)
        shared_.sweepFrequency -= counter_; // restart the sweep from its first frequency
    counter_ = 0;
    column_ = 0;
    redraw();
}

int GraphModel::xyLastSlot() const
{
    return counter_ > kRing ? kRing : counter_ - 1;
}

void GraphModel::cmdOffset_Click()
{
    undo_ = baseline_;
    switch (mode()) {
    case kModeAdmc:
        baseline_.fill(0);
        redrawRequest_ = true;
        notify();
        return;
    case kModeV:
        baseline_[2] = in.stream[2];
        break;
    case kModeXY: {
        const int n = xyLastSlot();
        if (n >= 0) { // nothing taken yet: nothing to average
            for (size_t axis = 0; axis < 3; ++axis) {
                long sum = 0;
                for (int s = 0; s <= n; ++s)
                    sum += trace_[axis][size_t(s)];
                centre_[axis] = saturate32(roundEven(5.0 * double(sum) / double(n + 1)));
            }
        }
        controls.showPhase = true;
        break;
    }
    default:
        baseline_[3] = in.signal;
        break;
    }
    redraw();
}

void GraphModel::cmdOffset_RightUp()
{
    baseline_ = undo_;
    redraw();
}

void GraphModel::Picture1_DblClick()
{
    if (mode() != kModeAdmc)
        return;
    selectItem(0, 0);
    Combo1_Click(0);
    selectItem(1, 1);
    Combo1_Click(1);
    selectItem(2, kAz);
    Combo1_Click(2);
    cmdClear_Click();
    controls.Picture1Tip.clear();
    notify();
}

void GraphModel::mnuDSCenter_Click()
{
    controls.autoCenter = !controls.autoCenter;
    cmdOffset_Click();
}

void GraphModel::mnuDS3D_Click()
{
    controls.threeAxis = !controls.threeAxis;
    redraw();
}

void GraphModel::mnuDSPhase_Click()
{
    controls.showPhase = !controls.showPhase;
    redraw();
}

void GraphModel::mnuDSUp_Click()
{
    centre_[1] -= 10;
    redraw();
}

void GraphModel::mnuDSDown_Click()
{
    centre_[1] += 10;
    redraw();
}

void GraphModel::mnuDSLeft_Click()
{
    if (controls.threeAxis) {
        const double el = kElToRadian * in.lv;
        centre_[2] += std::int32_t(roundEven(10 * std::cos(el)));
        centre_[0] += std::int32_t(roundEven(10 * std::sin(el)));
    } else {
        centre_[2] += 10;
    }
    redraw();
}

void GraphModel::mnuDSRight_Click()
{
    if (controls.threeAxis) {
        const double el = kElToRadian * in.lv;
        centre_[2] -= std::int32_t(roundEven(10 * std::cos(el)));
        centre_[0] -= std::int32_t(roundEven(10 * std::sin(el)));
    } else {
        centre_[2] -= 10;
    }
    redraw();
}

// ---------------------------------------------------------------- one sample

std::int16_t GraphModel::sourceValue(int combo) const
{
    switch (itemOf(combo)) {
    case 0: return in.cl;
    case 1: return in.lv;
    default: return in.az;
    }
}

std::int16_t GraphModel::trace3Value() const
{
    switch (itemOf(2)) {
    case kRel: return in.rel;
    case kRel10: return saturate16(roundEven(in.rel / 10.0));
    case kHdg: return in.hdg;
    case kHdgRel: return std::int16_t(in.hdg + in.rel);
    case kPol: return saturate16(roundEven(Val(in.pol)));
    case kExtAgc: return saturate16(roundEven(Val(in.extAgc) / 100));
    default: return in.az;
    }
}

void GraphModel::buildRecord(int slot)
{
    const int m = mode();
    std::string r = timeOfDay ? timeOfDay() : std::string();
    if (m == kModeAdmc) {
        for (const std::string* t : {&main_.elText, &main_.azText, &main_.thirdText, &main_.relText,
                                     &main_.hdgText, &main_.agcText, &main_.latText, &main_.lonText,
                                     &main_.eAgcText}) {
            r += ',';
            r += *t;
        }
        // Stat123: ACU status words 1 and 2 and ACU error word 1; then R, the receiver status,
        // and L, ACU error word 2 (the servo and stability limits).
        r += ',';
        r += statusChar(shared_.acuWord1);
        r += statusChar(shared_.acuWord2);
        r += statusChar(shared_.acuError1);
        r += ' ';
        r += statusChar(main_.rxStatus);
        r += statusChar(shared_.acuError2);
    } else {
        for (size_t t = 0; t < 3; ++t) {
            r += ',';
            r += std::to_string(trace_[t][size_t(slot)]);
        }
        r += ',';
        r += main_.relText;
        if (m == kModeIvc || m == kModeXY) {
            r += ',';
            r += std::to_string(trace_[3][size_t(slot)]);
        }
    }
    record_[size_t(slot)] = std::move(r);
}

void GraphModel::Pgraph()
{
    const int m = mode();
    const int slot = mod640(counter_);
    auto set = [&](size_t t, std::int16_t v) { trace_[t][size_t(slot)] = v; };

    if (m == kModeAdmc) {
        set(0, sourceValue(0));
        set(1, sourceValue(1));
        set(2, trace3Value());
        set(3, in.signal);
        for (size_t t = 0; t < 4; ++t)
            if (baseline_[t] == 0)
                baseline_[t] = trace_[t][size_t(slot)];
        if (redrawRequest_) {
            redrawRequest_ = false;
            redraw();
        }
    } else {
        for (size_t t = 0; t < 3; ++t)
            set(t, in.stream[t]);
        if (m == kModeIvc || m == kModeXY)
            set(3, in.stream[3]);
    }
    // The record is built for every sample, expanded or collapsed, so a log never receives a
    // stale record.
    buildRecord(slot);
    if (m == kModeIvc || m == kModeXY) {
        for (size_t a = 0; a < 3; ++a) {
            const double s = sum_[a];
            sum_[a] = saturate32(roundEven(s + in.stream[a] - s / 10));
        }
    }
    if (onRecord)
        onRecord(record_[size_t(slot)]);

    if (surface_) {
        if (m == kModeXY)
            plotXY(slot);
        else
            plotStrip(slot, column_);
    }

    const bool last = column_ >= kRing - 1;
    ++counter_;
    ++column_;
    if (last) {
        column_ = kScrollTo;
        if (m <= kModeTc)
            redraw();
    }
    if (counter_ >= kCounterWrap)
        counter_ = kRing;
    notify();
}

void GraphModel::plotStrip(int slot, int x)
{
    static constexpr std::array<int, 3> kHome{70, 150, 230};
    const std::array<Rgb, 4> colour{colors.trace1, colors.trace2, colors.trace3, colors.trace4};
    for (size_t t = 0; t < 3; ++t) {
        const long y = long(baseline_[t]) + kHome[t] - trace_[t][size_t(slot)];
        if (fits16(y))
            surface_->point(x, int(y), colour[t]);
    }
    if (controls.Combo1[3].visible) {
        const long y = long(baseline_[3]) - trace_[3][size_t(slot)] + 300;
        if (fits16(y)) // a position beyond 16 bits skips the point
            surface_->point(x, int(y), colour[3]);
    }
}

void GraphModel::plotXY(int slot)
{
    long c = 5L * trace_[0][size_t(slot)];
    long l = 5L * trace_[1][size_t(slot)];
    long a = 5L * trace_[2][size_t(slot)];
    if (!controls.autoCenter) {
        c -= centre_[0];
        l -= centre_[1];
        a -= centre_[2];
    }
    if (std::labs(c) >= 1000 || std::labs(l) >= 1000 || std::labs(a) >= 1000)
        return;
    double x = double(a);
    if (controls.threeAxis) {
        const double el = kElToRadian * in.lv;
        x = double(a) * std::cos(el) + double(c) * std::sin(el);
    }
    surface_->point(int(roundEven(x + 320)), int(180 - l), colors.trace4);
    if (controls.showPhase) {
        const double angle = dTan2(x, double(l)) + trace_[3][size_t(slot)] * kPi / 32;
        surface_->point(int(roundEven(320 + 40 * std::cos(angle))), int(roundEven(180 - 40 * std::sin(angle))),
                        colors.trace1);
    }
}

// ---------------------------------------------------------------- redraw

void GraphModel::redraw()
{
    ++redraws_;
    if (!surface_) {
        notify();
        return;
    }
    GraphSurface& s = *surface_;
    const int m = mode();
    s.toFront();
    s.fill(colors.back);
    for (int x = 0; x <= kSurfaceWidth; x += 10)
        s.line(x, 1, x, kSurfaceHeight, colors.grid);
    for (int y = 0; y <= kSurfaceHeight; y += 10)
        s.line(0, y, kSurfaceWidth - 1, y, colors.grid);

    const bool live = !main_.poll.empty() && shared_.sweepFrequency == 0;
    if (m == kModeXY) {
        s.line(0, 180, kSurfaceWidth - 1, 180, colors.home);
        s.line(320, 1, 320, 430, colors.home);
        for (int x = 140; x <= 500; x += 45)
            s.line(x, 175, x, 185, colors.home);
        for (int y = 45; y <= 315; y += 45)
            s.line(315, y, 325, y, colors.home);
        if (controls.showPhase) {
            s.arc(320, 180, 35, 5.78, 0.5, colors.home);
            s.arc(320, 180, 45, 5.78, 0.5, colors.home);
        }
    } else if (live) {
        for (int y : {70, 150, 230})
            s.line(0, y, kSurfaceWidth - 1, y, colors.home);
        if (controls.Combo1[3].visible)
            s.line(0, 300, kSurfaceWidth - 1, 300, colors.home);
    }

    if (printing_)
        s.setPenWidth(2);
    if (live) {
        if (m == kModeXY) {
            const int n = xyLastSlot();
            for (int slot = 0; slot <= n; ++slot)
                plotXY(slot);
        } else {
            const int start = mod640(counter_ - column_);
            for (int h = 0; h < column_; ++h)
                plotStrip(mod640(start + h), h);
        }
    }

    if (m == kModeSpectrum) {
        const int b = baseline_[3] + 240;
        for (int x = 0; x + kSweepStep <= counter_ && x + kSweepStep < kSpectrumSlots; x += kSweepStep)
            s.line(x, b - spectrum_[size_t(x)], x + kSweepStep, b - spectrum_[size_t(x + kSweepStep)],
                   colors.trace4);
    }
    s.setPenWidth(1);
    notify();
}

void GraphModel::redrawForPrint()
{
    const GraphColors screen = colors;
    colors = printColors();
    printing_ = true;
    redraw();
    printing_ = false;
    colors = screen;
}

std::vector<std::string> GraphModel::shownRecords() const
{
    std::vector<std::string> out;
    out.reserve(size_t(column_));
    const int start = mod640(counter_ - column_);
    for (int i = 0; i < column_; ++i)
        out.push_back(record_[size_t(mod640(start + i))]);
    return out;
}

// ---------------------------------------------------------------- spectrum

void GraphModel::startSweep()
{
    counter_ = 0;
    column_ = 0;
    shared_.sweepFrequency = kSweepStart;
    if (!main_.poll.empty()) {
        sweepFrequencySaved_ = main_.frequency;
        trackingSaved_ = main_.tracking;
        redraw();
    }
    shared_.typed = "D"; // tracking off while the receiver is swept
    trackingOffFirst_ = true;
}

std::string GraphModel::sweepNext()
{
    if (shared_.sweepFrequency == 0)
        return {};
    // The scheduler serves the sweep before the typed-text queue, so the "D" queued at the
    // start would wait behind all 200 steps while the antenna tracks a receiver being swept
    // off its carrier. It goes out first instead.
    if (trackingOffFirst_) {
        trackingOffFirst_ = false;
        if (shared_.typed == "D")
            shared_.typed.clear();
        return "D";
    }
    std::string command = "c" + afmtINT4(shared_.sweepFrequency) + "\r\n";
    counter_ = std::int16_t(counter_ + kSweepStep);
    shared_.sweepFrequency += kSweepStep;
    if (counter_ >= kSweepEndX) {
        shared_.sweepFrequency = 0;
        setPoll(std::string());
        shared_.typed = "c" + afmtINT4(sweepFrequencySaved_) + "\r\n" + (trackingSaved_ != 0 ? "C" : "D");
    }
    return command;
}

void GraphModel::spectrumLevel(int level)
{
    const int x = counter_;
    if (x < 0 || x >= kSpectrumSlots)
        return;
    spectrum_[size_t(x)] = saturate16(level);
    if (x >= kSweepStep && surface_) {
        const int b = baseline_[3] + 240;
        surface_->line(x - kSweepStep, b - spectrum_[size_t(x - kSweepStep)], x, b - spectrum_[size_t(x)],
                       colors.trace4);
    }
    notify();
}

void GraphModel::stopSweep()
{
    shared_.sweepFrequency = 0;
    counter_ = 0;
}

} // namespace panel
