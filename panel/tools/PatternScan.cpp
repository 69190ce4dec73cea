#include "PatternScan.h"

#include "common/SettingsStore.h"
#include "panel/core/Format.h"

#include <algorithm>
#include <cstdio>

namespace panel {

namespace {

const std::string kCrLf = "\r\n";
const char* kOptions = "Options";

// A field value as the options store keeps it: "0.5", "10", "1.5".
std::string numberText(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

} // namespace

PatternScan::PatternScan(PanelShared& shared, const MainState& main, common::Clock& clock)
    : s_(shared), m_(main), timer_(clock.createTimer())
{
    timer_->setInterval(common::Ms{rateMs});
    timer_->onTick = [this] { Timer1_Timer(); };
    Load();
}

PatternScan::~PatternScan() { timer_->setEnabled(false); }

bool PatternScan::running() const { return timer_->enabled(); }

std::string PatternScan::azText() const { return tenthsText(roundEven(double(az_) / 18)); }
std::string PatternScan::elText() const { return tenthsText(roundEven(double(el_) / 18)); }

void PatternScan::notify()
{
    if (changed)
        changed();
}

std::string PatternScan::Command(Mode mode, bool azimuth, long value)
{
    switch (mode) {
    case Mode::AEI:
        return (azimuth ? "A" : "E") + afmtINT4(roundEven(double(value) / 18)) + kCrLf;
    case Mode::IJK: {
        char hex[32];
        std::snprintf(hex, sizeof hex, "%lX", static_cast<unsigned long>(roundEven(double(value) * 1.01111)));
        const std::string digits = std::string("000") + hex;
        return (azimuth ? "k" : "j") + digits.substr(digits.size() - 4) + kCrLf;
    }
    case Mode::ADS:
        break;
    }
    return {};
}

void PatternScan::send(bool azimuth, long value)
{
    const std::string command = Command(mode, azimuth, value);
    if (!command.empty())
        s_.typed = command;
}

void PatternScan::resetStartPoint()
{
    az_ = long(m_.azimuth) * 18;
    el_ = long(m_.elevation) * 18;
}

void PatternScan::Load()
{
    timer_->setEnabled(false);
    mode = Mode::AEI;
    resetStartPoint();
    caption_ = "Pattern Scan - Idle ";
    notify();
}

void PatternScan::loadOptions(const common::SettingsStore& store)
{
    n8 = int(Val(store.get(kOptions, "N8", "8")));
    scanRate = Val(store.get(kOptions, "Scan", "1.0"));
    rateMs = int(Val(store.get(kOptions, "Rate", "300")));
    notify();
}

void PatternScan::saveOptions(common::SettingsStore& store) const
{
    store.save(kOptions, "N8", std::to_string(n8));
    store.save(kOptions, "Scan", numberText(scanRate));
    store.save(kOptions, "Rate", std::to_string(rateMs));
}

void PatternScan::cmdDIR_Click(int direction)
{
    if (direction < ElUp || direction > AzDown)
        return;
    // The timer cannot tick faster than every millisecond; a rate of 0 or less means that.
    const int interval = std::max(rateMs, 1);
    timer_->setEnabled(false);
    timer_->setInterval(common::Ms{interval});
    // A step below one unit (a rate of 0, or a negative rate) becomes one unit.
    step_ = std::max(roundEven(scanRate * 180 * interval / 1000), 1L);
    ticks_ = std::max(roundEven(stopDegrees * 180 / double(step_)), 0L);
    direction_ = direction;
    if (scanRate >= 2) {
        // Fast scans start two steps ahead, so the antenna is already moving when the first
        // target of the steady stream arrives.
        ticks_ = std::max(ticks_ - 2, 1L);
        const long ahead = 2 * step_;
        switch (direction) {
        case ElUp: el_ += ahead; break;
        case ElDown: el_ -= ahead; break;
        case AzUp: az_ = (az_ + ahead) % kFullTurn; break;
        case AzDown: az_ = ((az_ - ahead) % kFullTurn + kFullTurn) % kFullTurn; break;
        }
    }
    timer_->setEnabled(true);
    caption_ = "Pattern Scan - Running";
    stopCaption_ = "Stop";
    stopTip_ = "Stops scan, keeps target active";
    notify();
}

void PatternScan::Stop()
{
    timer_->setEnabled(false);
    caption_ = "Pattern Scan - Stopped";
    stopCaption_ = "Reset";
    stopTip_ = "Resets scan start point";
    notify();
}

void PatternScan::cmdStopRst_Click()
{
    if (running()) {
        Stop();
        return;
    }
    resetStartPoint();
    Stop();
    caption_ = "Pattern Scan - Reset";
    notify();
}

void PatternScan::arrowPressed()
{
    if (running())
        Stop();
    cmdStopRst_Click(); // not running now: resets the start point
    scanRate = 0.1;
    stopDegrees = 0.3;
    rateMs = 600;
    notify();
}

void PatternScan::Timer1_Timer()
{
    if (ticks_ != 0) {
        const long was = ticks_--;
        if (was == 1) {
            Stop();
            return;
        }
    }
    switch (direction_) {
    case ElUp:
        el_ += step_;
        if (el_ < kElevationTop + 1) {
            send(false, el_);
        } else {
            Stop();
            el_ = kElevationTop;
        }
        break;
    case ElDown:
        el_ -= step_;
        if (el_ < 0) {
            Stop();
            el_ = 0;
        } else {
            send(false, el_);
        }
        break;
    case AzUp:
        az_ = (az_ + step_) % kFullTurn;
        send(true, az_);
        break;
    case AzDown:
        az_ -= step_;
        if (az_ < 0)
            az_ += kFullTurn;
        send(true, az_);
        break;
    }
    notify();
}

} // namespace panel
