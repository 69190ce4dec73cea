#include "BurnIn.h"

#include <algorithm>
#include <cctype>

namespace panel {

const std::array<const char*, 16> BurnIn::kCommands = {
    "A0000", "E0150", "A1350", "E0450", "A0750", "E0150", "A2250", "E0600",
    "A1800", "E0300", "A3150", "E0750", "A2700", "E0450", "A0450", "E0750",
};

BurnIn::BurnIn(PanelShared& shared, common::Clock& clock)
    : s_(shared), timer_(clock.createTimer()), elevationTimer_(clock.createTimer())
{
    timer_->setInterval(kTick);
    timer_->onTick = [this] { Timer1_Timer(); };
    elevationTimer_->setInterval(kElevationDelay);
    elevationTimer_->onTick = [this] { ElevationTimer_Timer(); };
}

BurnIn::~BurnIn()
{
    timer_->setEnabled(false);
    elevationTimer_->setEnabled(false);
}

void BurnIn::notify()
{
    if (changed)
        changed();
}

bool BurnIn::running() const { return timer_->enabled(); }
bool BurnIn::elevationPending() const { return elevationTimer_->enabled(); }

std::string BurnIn::countdownText() const { return started_ ? std::to_string(moveCountdown_) : std::string(); }

int BurnIn::DotPeriod(int interval)
{
    // floor(interval / 30 + 0.9) in whole numbers: floor((interval + 27) / 30).
    return interval < 0 ? 0 : (interval + 27) / 30;
}

std::optional<int> BurnIn::ParseInterval(const std::string& text)
{
    const size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::nullopt;
    const size_t e = text.find_last_not_of(" \t");
    const std::string digits = text.substr(b, e - b + 1);
    if (digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    const int v = std::stoi(digits);
    if (v < kMinInterval || v > kMaxInterval)
        return std::nullopt;
    return v;
}

void BurnIn::Text2_Change(const std::string& text)
{
    text2 = text;
    interval_.reset();
}

std::string BurnIn::Command1_Click()
{
    if (!interval_) {
        interval_ = ParseInterval(text2);
        if (!interval_)
            return kBadInterval;
    }
    // A position half sent by the run before is not finished: the new round starts afresh.
    elevationTimer_->setEnabled(false);
    text1.clear();
    timer_->setEnabled(false);
    timer_->setInterval(kTick);
    dotPeriod_ = DotPeriod(*interval_);
    dotCountdown_ = dotPeriod_;
    moveCountdown_ = 0; // the first position goes on the first tick
    index_ = 0;
    started_ = true;
    timer_->setEnabled(true);
    continueEnabled_ = true;
    notify();
    return {};
}

void BurnIn::Command2_Click()
{
    if (!timer_->enabled())
        return;
    timer_->setEnabled(false);
    notify();
}

void BurnIn::Command3_Click()
{
    if (!continueEnabled_ || timer_->enabled())
        return;
    timer_->setEnabled(true);
    notify();
}

void BurnIn::Timer1_Timer()
{
    // The elevation half of the last position falls due together with this tick: whichever of
    // the two timers runs first, the half goes first, so the log reads "A...E..." before the
    // dot and no position can start while the last one is half sent.
    if (elevationPending())
        ElevationTimer_Timer();
    if (--dotCountdown_ <= 0) {
        dotCountdown_ = dotPeriod_;
        if (!text1.empty())
            text1 += '.';
    }
    if (--moveCountdown_ <= 0) {
        moveCountdown_ = interval_.value_or(kMinInterval);
        if (!text1.empty())
            text1 += "\r\n";
        const std::string azimuth = kCommands[size_t(index_)];
        text1 += kIndent + azimuth;
        s_.typed = azimuth + s_.terminator;
        elevationTimer_->setEnabled(true);
    }
    notify();
}

void BurnIn::ElevationTimer_Timer()
{
    elevationTimer_->setEnabled(false);
    const std::string elevation = kCommands[size_t(index_ + 1)];
    s_.typed = elevation + s_.terminator;
    text1 += elevation;
    index_ += 2;
    if (index_ > kLastPair)
        index_ = 0;
    notify();
}

} // namespace panel
