#pragma once
// The panel's program-wide record and the main window's link state. Plain data: the windows
// render it, the handlers of PanelLink change it.
#include "common/Endpoint.h"
#include "common/Profiles.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace panel {

using Rgb = std::uint32_t; // 0xRRGGBB
inline constexpr Rgb kGreen = 0x00FF00;
inline constexpr Rgb kYellow = 0xFFFF00;
inline constexpr Rgb kCyan = 0x00FFFF;
inline constexpr Rgb kRed = 0xFF0000;

// A round indicator lamp. It is dark while hollow or while its cycle mark is on.
struct Lamp {
    Rgb fill = kGreen;
    bool hollow = true;
    bool cycleMark = true;
    bool lit() const { return !hollow && !cycleMark; }
};

inline constexpr int kPortLamp = 7; // the Port Status lamp
inline constexpr int kRingSize = 32;

// Commands sent that expect an answer, in order; replies are matched at the read index.
struct SentRing {
    std::array<std::string, kRingSize> slot;
    int write = 0;
    int read = 0;
    int seqMark = -1;     // ring index at which the current dump sequence began
    int oneShotMark = -1; // ring index of the last one-shot command
};

// State shared by all windows of the panel.
struct PanelShared {
    common::PanelProfiles profiles;            // includes the active profile ("Select")
    std::optional<common::Endpoint> endpoint;  // link given on the command line, this run only
    bool open = false;                         // the link is open
    std::string terminator = "\r\n";           // line terminator of every line command
    std::string oneShot;                       // one-shot command, empty when none
    std::string typed;                         // typed-text queue
    std::string dumpSeq;                       // dump sequence
    int dumpCounter = -1;                      // -1 = no dump; 0 = the dump's replies are arriving
    bool dataLog = false;                      // the data log is being written
    SentRing ring;
    int syncErrors = 0;        // set by the decoder to the code of the reply type that failed
    bool selectionGuard = false;
    bool diagStop = false;     // the Stop box of the communication diagnostics window
    int sweepFrequency = 0;    // spectrum sweep running while non-zero
};

// State of the main window that the link drives.
struct MainState {
    std::string poll = std::string(1, '\x1b'); // poll sequence of the screen shown
    int pollPos = 1;                           // 1-based
    int pacingMs = 200;
    int timeoutMs = 3000;
    std::string lineBuffer;
    std::string replyLine;
    int dumpPos = 0; // 0 = idle
    int displayState = 0;
    std::array<std::string, 4> text5;
    std::array<Lamp, 8> lamps;
    std::array<std::string, 3> status; // status bar panels 1..3
    bool showQuery = false;            // "Show Query in Status Bar"
    bool mode70 = false;               // "70 / 140 MHz SCPC receiver mode" ticked
    bool longTextTag = false;          // the scheduler's tag for queued text of 19 or more
    std::string timer1Tag;             // empty until the first start-up tick
};

} // namespace panel
