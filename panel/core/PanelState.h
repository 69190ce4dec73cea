#pragma once
// The panel's program-wide record and the main window's link state. Plain data: the windows
// render it, the handlers of PanelLink change it.
#include "common/Endpoint.h"
#include "common/Profiles.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

    // Status words as received: the character code of each (flags in bits 0..5).
    int acuWord1 = 0, acuWord2 = 0;
    int acuError1 = 0, acuError2 = 0;
    std::array<int, 4> pcuWord{}; // PCU words 1..4 at index 0..3

    // Ship position in tenths of a degree, with its hemispheres.
    int latitude = 0, longitude = 0;
    char latHemisphere = 'N', lonHemisphere = 'E';
    bool positionValid = false;

    // Parameter slots: one 16-bit value per parameter code, indexed by the code's byte value.
    std::array<std::int16_t, 256> param{};
    std::int16_t& slot(unsigned char code) { return param[code]; }
};

// A graph reply's values as decoded, for the graph routine.
struct GraphSample {
    char kind = 0;      // the PCU query letter: 'v', 'V', 'w', 'x', 'y'
    double a = 0, b = 0, c = 0;
    int status = 0;     // loop-error status ('x' only): character code minus '@'
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

    // ---- front panel
    std::string entry;          // text typed since the last Enter
    int redrawCountdown = 0;    // item screens redraw only while non-zero
    int tracking = 0;           // 8 while the ACU reports tracking on, else 0
    bool arrowHeld = false;
    bool scpc = false;          // the receiver reports SCPC

    // ---- decoded values (angles in tenths of a degree)
    int heading = 0, relHeading = 0, azimuth = 0, elevation = 0, third = 0;
    int threshold = 0, agc = 0, frequency = 0, baud = 0;
    int rxStatus = 0, rxCompanion = 0, rxStatusShown = -1;
    int lowSignalCount = 0;
    std::string latText, lonText, hdgText, relText, azText, elText, thirdText;
    std::string thrsText, freqText, ifText, baudText, toneText, voltText, fecText;
    std::string nidText, skewText, agcText, polText, eAgcText;
    std::string acuVersion, pcuVersion;
    int eAgc = 0;               // external AGC value
    bool modemLocked = false;   // shown on the Ext AGC box while System Type has "Ext Modem Lock"
    std::string systemTypeCaption = "System Type";

    // ---- indicators (lamps 0..6 and label 3)
    std::array<bool, 7> lampFlashing{};
    std::string initCaption = "       Initializing";

    // Graph replies decoded since the graph routine last took them (bounded).
    std::vector<GraphSample> graphSamples;
};

} // namespace panel
