#pragma once
// Module "pcu-panel": a PCU on one of the terminal's panel paths. It drives the remote front
// panel by streaming display codes, one frame every 500 ms:
//
//   1 + line 1 text + CR LF      "AZ 180.0 EL 30.0"
//   2 + line 2 text + CR LF      "AGC 850 TRACKING" (INITIALIZING, SEARCHING, MANUAL)
//   3 + 2 characters             bargraph segments "00".."16"
//   4 + 4 characters             panel brightness "0000".."0100"
//   5                            end of frame (nothing shown)
//   6 + flag byte                "@" (64) + 4 UNWRAP + 8 TRACKING
//
// The readings are those of the antenna of the device it is built on. It answers ESC "S"
// (or "S") with the PCU status line "S" + PCU words 1 to 4, ESC "V" (or "V") with its version,
// and, as the PCU in front of a DVB receiver, "w!" lines with the receiver's version ("wV"
// lines get no answer, other "w" lines are acknowledged). Answers end with CR LF and never
// contain the display-code bytes 1 to 6.
#include "sim/AcuDevice.h"
#include "sim/TerminalModule.h"

namespace sim {

class PanelPcu : public TerminalModule {
public:
    static constexpr Ms framePeriod{500};
    // Frames sent at most per advance, however long the step (a late display shows the latest).
    static constexpr int maxFramesPerStep = 4;
    // Flag-byte bits.
    static constexpr unsigned unwrapBit = 4;
    static constexpr unsigned trackingBit = 8;

    explicit PanelPcu(const AcuDevice& device);

    // The display frame as it would be sent now.
    std::string frame() const;
    int framesSent() const { return frames_; }

    static std::string versionLine() { return "PANEL PCU VER 1.05 SIM"; }
    // The cable unwrap in progress (shown in the flag byte).
    void setUnwrap(bool on) { unwrap_ = on; }
    // Panel brightness, percent.
    void setBrightness(int percent);

protected:
    void handle(const Received& r) override;
    void tick() override;

private:
    const AcuDevice& device_;
    bool unwrap_ = false;
    int brightness_ = 80;
    Ms nextFrame_ = framePeriod;
    int frames_ = 0;
};

} // namespace sim
