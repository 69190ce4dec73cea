#pragma once
// The eight indicator lamps beside the display, the status-bit pop-up menus and the System Type
// and Polang Type bit fields, all fed from the status words the decoder stores.
#include "PanelState.h"

#include <array>
#include <string>
#include <vector>

namespace panel {

// One entry of a status-bit pop-up menu.
struct BitMenuEntry {
    std::string caption; // empty for a separator
    bool checked = false;
    bool separator() const { return caption.empty(); }
};

struct IndicatorLabel {
    int label;           // Label1 index
    const char* caption;
    const char* tip;     // empty when none
    int lamp;            // Shape1 index
};
// The labels in window order, with their lamps.
extern const std::array<IndicatorLabel, 8> kIndicatorLabels;

// Bit captions, bit 5 first, of each status word.
extern const std::array<std::array<const char*, 6>, 4> kAcuBitCaptions; // word 1, word 2, error 1, error 2
extern const std::array<std::array<const char*, 6>, 4> kPcuBitCaptions; // PCU words 1..4
// Entry captions of the System Type and Polang Type menus, bit value 1 first.
extern const std::array<const char*, 8> kSystemTypeCaptions;
extern const std::array<const char*, 8> kPolangTypeCaptions;

inline bool bit(int word, int n) { return (word >> n) & 1; }

class Indicators {
public:
    Indicators(PanelShared& shared, MainState& main);

    // Lamps 1..6 and the Initializing caption from the stored words (after each status reply).
    // The Tracking lamp (0) follows the decoder's tracking supervision.
    void Update();

    // The pop-up menus, ticked from the stored words.
    std::vector<BitMenuEntry> DisplayACU() const;
    std::vector<BitMenuEntry> DisplayPCU() const;
    // ACU error words 1 and 2 (PCU word 3 in place of error word 2 when no valid character has
    // arrived for it), then "Reset Error Bits".
    std::vector<BitMenuEntry> DisplayError() const;

    // System Type / Polang Type ticks, set whenever a value arrives.
    void SetCheckSys(int value);
    void SetCheckPol(int value);
    const std::array<bool, 8>& sysChecked() const { return sys_; }
    // Whether a System Type (Polang Type) value has been read from the ACU yet. Until then a bit
    // cannot be toggled: the new value would be built on a guess and clear the other bits.
    bool sysKnown() const { return sysKnown_; }
    bool polKnown() const { return polKnown_; }
    // Another antenna was chosen: both values must be read again before a bit can be toggled.
    void ForgetTypes() { sysKnown_ = polKnown_ = false; }
    const std::array<bool, 8>& polChecked() const { return pol_; }
    // A System Type (Polang Type) entry 0..7: toggles its bit in the slot and queues the new value.
    void mnuSysT_Click(int i);
    void mnuPolT_Click(int i);

    // "Reset Error Bits": the reset command, then a fresh PCU status query.
    void mnuResetE_Click();
    // Label 7: Circlex on/off.
    void CirclexToggle();

private:
    void toggle(unsigned char code, int i);

    PanelShared& s_;
    MainState& m_;
    std::array<bool, 8> sys_{}, pol_{};
    bool sysKnown_ = false, polKnown_ = false;
};

} // namespace panel
