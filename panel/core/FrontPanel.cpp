#include "FrontPanel.h"

#include "Format.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace panel {

namespace {

const std::string kCrLf = "\r\n";

// A line query for one ACU parameter, in poll-sequence notation.
std::string ask(unsigned char code) { return "!m" + std::string(1, char(code)) + "999"; }

const std::string kShipPoll = "SPH@SPHqSPHuSPH!?   S%";
const std::string kSatPoll = "SPHqSPHuSPH!mh999SPH!mi999SPH!mj999SPH!?   S%";
const std::string kAntennaPoll = "SPHuSPHqSPH@SPH!?   S%SPH!mN999";
const std::string kModePoll = "!mI999!mN999!mP999SPHu";
// Satellite items tone to NID: the skew parameter (code 138) and the two NID bytes.
const std::string kSatItemPoll = "SPHq" + ask(138) + "SPHuSPH!m}999SPH!m~999SPH!?   S%";

bool isShip(int st) { return st >= 16 && st <= 31; }
bool isSat(int st) { return st >= 32 && st <= 47; }
bool isAntenna(int st) { return st >= 64 && st <= 79; }
bool isMode(int st) { return st >= 128; }

// The poll sequence of a MODE screen; empty where the screen keeps the sequence it had.
std::string modePoll(int st)
{
    static const char kSingle[] = {'J', 'K', 'L', 'M'};   // 139 to 142
    static const char kSystem[] = {'N', 'O', 'P', 'Q', 'R', 'W'}; // 144 to 149
    switch (st) {
    case 129: return "SPHuVSPHuV!?   S";
    case 130: return "SPHu!?   VSPHu!?   S";
    case 131:
    case 132: return "SPHu";
    case 133: return ask('A') + ask('B') + "SPHu";
    case 134: return ask('C') + ask('D') + "SPHu";
    case 135: return ask('F') + "SPHu";
    case 136: return ask('I') + ask('G') + "SPHu";
    case 137: return ask('I') + ask('H') + "SPHu";
    case 138: return ask('I') + "SPHu";
    case 143: return {};
    case 150: return "SPHu";
    case 151: return ask(129) + "SPHu";
    case 152: return ask('S') + ask('T') + "SPHu";
    case 153: return ask('U') + ask('V') + "SPHu";
    case 154: return ask(134) + "SPHu";
    case 155: return ask('Y') + ask('Z') + "SPHu";
    case 156: return ask('[') + ask('\\') + "SPHu";
    case 157: return ask(135) + "SPHu";
    case 158: return ask(']') + ask('^') + "SPHu";
    case 159: return ask('_') + ask('`') + "SPHu";
    case 160: return ask(136) + "SPHu";
    default: break;
    }
    if (st >= 139 && st <= 142)
        return ask(kSingle[st - 139]) + "SPHu";
    if (st >= 144 && st <= 149)
        return ask(kSystem[st - 144]) + "SPHu";
    return {};
}

// High and low byte of a 16-bit value; a negative value is taken as its two's complement.
struct Bytes {
    int hi, lo;
};
Bytes hiLo(long n)
{
    const unsigned u = unsigned(n) & 0xFFFFu;
    return {int(u >> 8), int(u & 0xFFu)};
}

// Degrees and whole minutes of a position in tenths of a degree, as the position sentence
// carries them: "ddmm.00," (latitude) or "dddmm.00," (longitude).
std::string nmeaAngle(long tenths, int degreeDigits)
{
    const long t = std::labs(tenths);
    const long degrees = t / 10;
    const long minutes = t * 6 - degrees * 60;
    std::string d = std::to_string(degrees);
    if (int(d.size()) < degreeDigits)
        d.insert(0, size_t(degreeDigits) - d.size(), '0');
    std::string m = std::to_string(minutes);
    if (m.size() < 2)
        m.insert(0, 2 - m.size(), '0');
    return d + m + ".00,";
}

bool holds(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

// How many characters of the edited line stand before the value: the item's caption.
size_t captionWidth(int st)
{
    if (st == 39)
        return 4; // "FEC "
    if (st >= 36 && st <= 41)
        return 5; // "BAUD ", "TONE ", "VOLT ", "SKEW ", "NID  "
    if (st >= 133 && st <= 160)
        return 15; // the MODE item titles are 15 characters wide
    return 0;
}

} // namespace

FrontPanel::FrontPanel(PanelShared& shared, MainState& main, PanelLink& link, common::Clock& clock,
                       ArrowScan* scan)
    : s_(shared), m_(main), link_(link), clock_(clock), scan_(scan), arrowTimer_(clock.createTimer())
{
    link_.antennaKey = [this] { cmdANT_Click(); };
    arrowTimer_->setInterval(kArrowPoll);
    arrowTimer_->onTick = [this] { arrowTick(); };
}

FrontPanel::~FrontPanel()
{
    arrowTimer_->setEnabled(false);
    link_.antennaKey = nullptr;
}

void FrontPanel::notify()
{
    if (changed)
        changed();
}

// ---------------------------------------------------------------- family keys

void FrontPanel::enterFamily(int base, const std::string& title, const std::string& poll, const std::string& blank)
{
    if (m_.displayState == 0 && clearGraph)
        clearGraph();
    link_.EnterScreen(base, title, poll, blank);
}

void FrontPanel::familyKey(int st)
{
    if (isShip(st))
        cmdSHIP_Click();
    else if (isSat(st))
        cmdSAT_Click();
    else if (isAntenna(st))
        cmdANT_Click();
    else
        cmdMODE_Click();
}

void FrontPanel::cmdSHIP_Click()
{
    if (keyPressed)
        keyPressed();
    const int st = m_.displayState;
    if (!isShip(st)) {
        enterFamily(16, "SHIP ", kShipPoll, " ");
        notify();
        return;
    }
    auto& t = m_.text5;
    switch (st) {
    case 16:
        m_.displayState = 17; // latitude
        t[1].clear();
        t[2].clear();
        t[3].clear();
        break;
    case 17:
        m_.displayState = 18; // longitude
        t[0].clear();
        break;
    case 18:
        m_.displayState = 19; // heading
        t[1].clear();
        break;
    default:
        m_.displayState = 16;
        t[2].clear();
        m_.pollPos = 1;
        break;
    }
    notify();
}

void FrontPanel::cmdSAT_Click()
{
    if (keyPressed)
        keyPressed();
    const int st = m_.displayState;
    m_.redrawCountdown = 1;
    if (!isSat(st)) {
        enterFamily(32, "SATELLITE", kSatPoll, "");
        notify();
        return;
    }
    int next = st + 1;
    if (next > 41) {
        m_.displayState = 32;
        m_.poll = kSatPoll;
        m_.pollPos = 1;
        notify();
        return;
    }
    auto& t = m_.text5;
    if (next == 33) {
        t[1].clear();
        t[2].clear();
        t[3].clear();
    } else if (next == 34) {
        t[0].clear();
    } else if (next == 35) {
        t[1].clear();
    } else if (next >= 37) {
        // Tone and voltage mean nothing to a 70/140 MHz SCPC receiver: on to FEC.
        if (m_.mode70 && next < 39)
            next = 39;
        m_.poll = kSatItemPoll;
        m_.pollPos = 1;
    }
    m_.displayState = next;
    notify();
}

void FrontPanel::cmdANT_Click()
{
    if (keyPressed)
        keyPressed();
    const int st = m_.displayState;
    if (!isAntenna(st)) {
        enterFamily(64, "ANTENNA ", kAntennaPoll, " ");
        notify();
        return;
    }
    auto& t = m_.text5;
    switch (st) {
    case 64:
        m_.displayState = 65; // azimuth
        t[1].clear();
        t[2].clear();
        t[3].clear();
        break;
    case 65:
        m_.displayState = 66; // elevation
        t[0].clear();
        break;
    case 66:
        m_.displayState = 67; // polarisation
        t[1].clear();
        break;
    case 67:
        m_.displayState = 68;
        t[2] = "POL ";
        break;
    default:
        m_.displayState = 64;
        t[2].clear();
        break;
    }
    notify();
}

void FrontPanel::cmdMODE_Click()
{
    if (keyPressed)
        keyPressed();
    if (!isMode(m_.displayState))
        enterFamily(128, "MODE", kModePoll, "");
    else
        stepMode();
    notify();
}

// One MODE step: polling goes on without a pause, from the start of the new screen's sequence.
void FrontPanel::stepMode()
{
    const int next = std::min(m_.displayState + 1, 160);
    m_.displayState = next;
    auto& t = m_.text5;
    if (next == 129)
        t[0] = "Version Info ACU";
    else if (next == 130)
        t[0] = "Version Info PCU";
    else if (next <= 132)
        t[0] = "STATUS    ";
    else
        t[0] = "SETUP";
    if (next == 131 || next == 132 || next == 143 || next == 150)
        t[2].clear();
    const std::string poll = modePoll(next);
    if (!poll.empty())
        m_.poll = poll;
    m_.pollPos = 1;
    m_.redrawCountdown = 3;
}

void FrontPanel::cmdTrack_Click()
{
    if (keyPressed)
        keyPressed();
    s_.typed = m_.tracking ? "D" : "C";
    notify();
}

void FrontPanel::MenuSelect(int state)
{
    if (keyPressed)
        keyPressed();
    if (!isMode(state) && !isSat(state))
        return; // the shortcut menus hold MODE and SATELLITE screens only
    // The menus pop up once their family is shown; make sure it is, so the step below stays
    // inside the family's poll sequences.
    if (isMode(state) != isMode(m_.displayState) || isSat(state) != isSat(m_.displayState))
        familyKey(state);
    m_.displayState = state;
    familyKey(state);
}

// ---------------------------------------------------------------- arrows

// A held arrow acts at mouse-down and is then looked at every kArrowPoll while held.
// - ANTENNA overview: the scan's direction command runs only when the scan is not already
//   running in that direction. Starting it again on every look would restart its timer each
//   time, and the antenna would not move at all while the key is held; this way a held arrow
//   keeps the antenna moving in nudges and a click gives one nudge.
// - MODE screens: one screen per press, and only a key held for kRepeatDelay repeats, every
//   kRepeatEvery. Stepping on every look would move ten screens or more on an ordinary click.
void FrontPanel::cmdArrow_MouseDown(int i)
{
    if (i < 0 || i > 3)
        return;
    if (keyPressed)
        keyPressed();
    m_.arrowHeld = true;
    arrow_ = i;
    if (scan_)
        scan_->arrowPressed();
    nextRepeat_ = clock_.now() + kRepeatDelay;
    arrowStep(i);
    arrowTimer_->setEnabled(false);
    arrowTimer_->setInterval(kArrowPoll);
    arrowTimer_->setEnabled(true);
}

void FrontPanel::cmdArrow_MouseUp(int /*i*/)
{
    m_.arrowHeld = false;
    arrow_ = -1;
    arrowTimer_->setEnabled(false);
}

void FrontPanel::arrowTick()
{
    if (!m_.arrowHeld || arrow_ < 0) {
        arrowTimer_->setEnabled(false);
        return;
    }
    const int st = m_.displayState;
    if (st == 64) {
        arrowStep(arrow_);
    } else if (st >= 128 && st <= 160 && clock_.now() >= nextRepeat_) {
        arrowStep(arrow_);
        nextRepeat_ += kRepeatEvery;
    }
}

void FrontPanel::arrowStep(int i)
{
    // Arrow index to the scan's direction: up El up, down El down, left Az down, right Az up.
    static constexpr int kScanDirection[4] = {0, 2, 3, 1};
    const int st = m_.displayState;
    if (st == 64) {
        const int dir = kScanDirection[i];
        if (scan_ && !scan_->runningIn(dir))
            scan_->startDirection(dir);
    } else if (st >= 128 && st <= 160) {
        if (i == 1) {
            cmdMODE_Click();
        } else if (i == 0 && st > 129) {
            m_.displayState = st - 2;
            cmdMODE_Click();
        }
    }
}

// ---------------------------------------------------------------- entry field

int FrontPanel::entryLine(int st)
{
    switch (st) {
    case 17: case 33: case 65: return 0;
    case 18: case 34: case 66: return 1;
    case 19: case 67: return 2;
    default: break;
    }
    if ((st >= 35 && st <= 41) || (st >= 128 && st <= 160))
        return 2;
    return 3;
}

void FrontPanel::showEntry()
{
    m_.text5[size_t(entryLine(m_.displayState))] = entryCaption_ + m_.entry;
}

bool FrontPanel::Text5_KeyPress(int key)
{
    const bool swallowed = entryKey(key);
    if (swallowed)
        notify();
    return swallowed;
}

bool FrontPanel::entryKey(int key)
{
    m_.redrawCountdown = 0;
    const int st = m_.displayState;
    const bool confirm = (key == ' ' && (st == 38 || st == 39)) || (key == kEnter && !m_.entry.empty());
    if (confirm) {
        bool refused = false;
        const std::string command = SetCommand(st, m_.entry, &refused);
        if (refused) {
            // The value does not fit its command: say so on the entry line and send nothing.
            // The screen is not redrawn over the message until the next entry, which keeps the
            // item's caption (the line no longer shows it).
            m_.entry.clear();
            m_.text5[size_t(entryLine(st))] = kEntryRefused;
            refusedOn_ = st;
            return true;
        }
        if (!command.empty()) {
            if (st == 40)
                s_.typed += command; // the skew goes out after whatever is queued
            else
                s_.typed = command;
        }
        m_.entry.clear();
        if (st == 17 || st == 18 || st == 33)
            m_.redrawCountdown = 28;
        else if (st >= 133 && st <= 160)
            m_.redrawCountdown = 16;
        else
            m_.redrawCountdown = 8;
        return true;
    }
    if (key == kEnter) {
        familyKey(st);
        return true;
    }
    if (key == kBackspace) {
        if (!m_.entry.empty()) {
            m_.entry.pop_back();
            showEntry();
        }
        return true;
    }
    if (key < 32 || key == 127 || key > 255)
        return false;
    if (m_.entry.empty() && refusedOn_ != st) {
        // The caption of the item stays; the value after it is replaced by what is typed.
        const std::string& line = m_.text5[size_t(entryLine(st))];
        const size_t width = captionWidth(st);
        entryCaption_ = line.substr(0, std::min(width, line.size()));
        entryCaption_.resize(width, ' ');
    }
    refusedOn_ = -1;
    m_.entry += char(key);
    showEntry();
    return true;
}

std::string FrontPanel::SetCommand(int st, const std::string& entry, bool* refused)
{
    // A value goes out only when it fits its field: the digits the command carries, no sign
    // where the field has none. Anything else (a number too large for any field, a minus sign
    // the field cannot carry) would make a command of the wrong length, which throws the ACU's
    // framing out of step, so nothing at all is sent or stored for it.
    bool fits = true;
    auto fit = [&fits](double x, long lo, long hi) -> long {
        if (!(x >= double(lo) - 0.5 && x <= double(hi) + 0.5)) { // NaN fails too
            fits = false;
            return 0;
        }
        const long r = roundEven(x);
        if (r < lo || r > hi)
            fits = false;
        return std::clamp(r, lo, hi);
    };
    constexpr long k3 = 999, k4 = 9999;
    // A 16-bit value sent as two bytes: unsigned, or negative as its two's complement.
    constexpr long kWordLow = -32768, kWordHigh = 65535;

    const double v = Val(entry);
    // Parameter slots change only once the whole command is known to fit.
    std::vector<std::pair<unsigned char, long>> slots;
    auto slot = [&slots](unsigned char code, long value) { slots.emplace_back(code, value); };
    // "m" + code + 3 digits, with the value kept in the code's slot.
    auto param = [&](unsigned char code, long value) {
        if (value < 0 || value > k3)
            fits = false;
        slot(code, value);
        return "m" + std::string(1, char(code)) + afmtINT3(value) + kCrLf;
    };
    // A 16-bit value as two parameter bytes, high then low.
    auto pair = [&](unsigned char hiCode, unsigned char loCode, double value) {
        const Bytes b = hiLo(fit(value, kWordLow, kWordHigh));
        return param(hiCode, b.hi) + param(loCode, b.lo);
    };
    auto tenths4 = [&](double x) { return afmtINT4(fit(x * 10, 0, k4)); };

    std::string command;
    std::function<void()> apply; // what the entry changes besides the slots
    switch (st) {
    case 17:
    case 18: {
        const bool lat = st == 17;
        const char a = lat ? 'N' : 'W', b = lat ? 'S' : 'E';
        char hemisphere = lat ? s_.latHemisphere : s_.lonHemisphere;
        std::string rest;
        for (const char c : entry) {
            if (c == a || c == b)
                hemisphere = c;
            else if (c != ' ')
                rest += c;
        }
        // Degrees carry two digits in the latitude and three in the longitude.
        int tenths = lat ? s_.latitude : s_.longitude;
        if (!rest.empty())
            tenths = int(fit(std::fabs(Val(rest) * 10), 0, lat ? 999 : k4));
        const int latitude = lat ? tenths : s_.latitude, longitude = lat ? s_.longitude : tenths;
        const char latH = lat ? hemisphere : s_.latHemisphere, lonH = lat ? s_.lonHemisphere : hemisphere;
        command = "$GPGLL," + nmeaAngle(latitude, 2) + latH + "," + nmeaAngle(longitude, 3) + lonH + kCrLf;
        apply = [=, this] {
            s_.latitude = latitude;
            s_.longitude = longitude;
            s_.latHemisphere = latH;
            s_.lonHemisphere = lonH;
        };
        break;
    }
    case 19:
        command = "B" + tenths4(v) + kCrLf;
        break;
    case 33:
        command = "T" + tenths4(holds(entry, "E") ? 360 - v : v) + kCrLf;
        break;
    case 34: {
        const Bytes b = hiLo(fit(v, kWordLow, kWordHigh));
        command = "mo" + afmtINT3(b.hi) + kCrLf + "mp" + afmtINT3(b.lo) + kCrLf;
        break;
    }
    case 35: {
        const long n = fit(v, 0, k4);
        command = "c" + afmtINT4(n) + kCrLf;
        apply = [this, n] { m_.frequency = int(n); };
        break;
    }
    case 36:
        command = "d" + afmtINT4(fit((m_.scpc || m_.mode70) ? v : v / 4, 0, k4)) + kCrLf;
        break;
    case 37: {
        int x;
        if (holds(entry, "ON"))
            x = 33;
        else if (holds(entry, "OFF"))
            x = 32;
        else
            x = (m_.rxStatus & 16) ? 32 : 33;
        command = "c" + afmtINT4(x) + kCrLf;
        break;
    }
    case 38:
        command = "c" + afmtINT4((m_.rxStatus & 32) ? 34 : 35) + kCrLf;
        break;
    case 39: {
        long code;
        if (entry.empty())
            code = ((m_.rxStatus & 15) + 1) & 15;
        else if (holds(entry, "S") || holds(entry, "s"))
            code = 7;
        else if (holds(entry, "L") || holds(entry, "l"))
            code = 15;
        else {
            const long n = fit(v, -kWordHigh, kWordHigh);
            code = n >= 4 ? n - 1 : std::max(n, 0L);
        }
        if (holds(entry, "*"))
            code += 8;
        command = param('u', code * 16);
        break;
    }
    case 40: {
        // A negative skew goes out as its byte.
        const long n = fit(v, -256, k3);
        slot(138, n);
        command = "m" + std::string(1, char(138)) + afmtINT3(n < 0 ? n + 256 : n) + kCrLf;
        break;
    }
    case 41: {
        const std::string t = ("0000" + entry).substr(entry.size());
        command = param('}', aH2I(t, 0) * 16 + aH2I(t, 1)) + param('~', aH2I(t, 2) * 16 + aH2I(t, 3));
        break;
    }
    case 65:
        command = "A" + tenths4(v) + kCrLf;
        break;
    case 66:
        command = "E" + tenths4(v) + kCrLf;
        break;
    case 67:
        command = "J" + tenths4(v) + kCrLf;
        break;
    case 133:
        command = pair('A', 'B', v);
        break;
    case 134:
        command = pair('C', 'D', v);
        break;
    case 136:
    case 137: {
        const long n = fit(v, 0, k4);
        slot(st == 136 ? 'G' : 'H', n);
        command = (st == 136 ? "Y" : "X") + afmtINT4(n) + kCrLf;
        break;
    }
    case 135:
        command = param('F', fit(v, 0, k3));
        break;
    case 138: case 139: case 140: case 141: case 142:
        command = param((unsigned char)("IJKLM"[st - 138]), fit(v, 0, k3));
        break;
    case 144: case 145: case 146: case 147: case 148: case 149:
        command = param((unsigned char)("NOPQRW"[st - 144]), fit(v, 0, k3));
        break;
    case 151:
        command = param(129, fit(v, 0, k3));
        break;
    case 152:
        command = pair('S', 'T', v);
        break;
    case 153:
        command = pair('U', 'V', v);
        break;
    case 155:
        command = pair('Y', 'Z', v);
        break;
    case 156:
        command = pair('[', '\\', v);
        break;
    case 158:
        command = pair(']', '^', v);
        break;
    case 159:
        command = pair('_', '`', v);
        break;
    case 154:
        command = param(134, fit(v, 0, k3));
        break;
    case 157:
        command = param(135, fit(v, 0, k3));
        break;
    case 160:
        command = param(136, fit(v, 0, k3));
        break;
    default:
        return {};
    }
    if (refused)
        *refused = !fits;
    if (!fits)
        return {};
    for (const auto& [code, value] : slots)
        s_.slot(code) = std::int16_t(value);
    if (apply)
        apply();
    return command;
}

} // namespace panel
