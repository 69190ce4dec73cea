#pragma once
// The uploads of the modules reached through the Vantor rather than through the ACU: the
// Vantor's own application over its USB port ("USB to Vantor App"), the Orla PCU behind the
// Vantor ("Orla PCU via Vantor"), and the SLCD display module behind the Vantor's USB port
// ("USB to Vantor SLcd", from a BIN image). They judge the module's answers by the reply
// buffer (the collect flag set while they listen) or by the mark, log every stage as a
// "PT:  " line, and run inside the one-sequence guard of "Auto Upload". Every wait is bounded
// and ends on Cancel.
#include "AutoUpload.h"
#include "UploadEngine.h"

#include <cstddef>

namespace upload {

// ---- the Vantor's application, over its USB port
inline constexpr Ms kVantorWakeWait{100};      // after the CR LF that opens the check
inline constexpr Ms kVantorVersionWait{1000};  // for the answer to "verA" and to "verB"
inline constexpr Ms kVantorBootDelay{1000};    // once the application answered, before "^BL"
inline constexpr Ms kVantorPortGoneWait{2000}; // after "^BL", the port closed under it
inline constexpr Ms kVantorPortBackWait{3500}; // for the bootloader to open its USB port
inline constexpr int kVantorBootAttempts = 3;

// ---- the Orla PCU, behind the Vantor's stream
inline constexpr Ms kOrlaStopWait{100};            // after each "$"
inline constexpr int kOrlaStopAttempts = 25;
inline constexpr std::size_t kOrlaStreamChars = 25; // this many characters in kOrlaStopWait: still streaming
inline constexpr Ms kOrlaProbeWait{100};           // after the "$" that asks for the bootloader's menu
inline constexpr Ms kOrlaBootWait{100};            // for "BootLoader" after "^B"
inline constexpr int kOrlaBootAttempts = 5;
inline constexpr Ms kOrlaEraseWait{2000};          // for "Erasing", then again for "OK"
inline constexpr int kOrlaEraseAttempts = 3;

// ---- both Vantor paths
inline constexpr Ms kBeforeEraseWait{1000};
inline constexpr Ms kBeforeTransferWait{2000};

// ---- the SLCD
inline constexpr Ms kSlcdLinkWait{2000}; // for any answer to "^478"
inline constexpr int kSlcdLinkAttempts = 2;
inline constexpr Ms kSlcdSizeWait{2000};   // after the file size
inline constexpr Ms kSlcdEraseWait{30000}; // the erase's "*"
// Each block waits for the SLCD's answer (one character) this long at most; a silent SLCD
// ends the run as an overrun.
inline constexpr Ms kSlcdBlockEchoWait{5000};
inline constexpr Ms kSlcdUpdateDeadline{104000}; // the firmware update, from the last block on
inline constexpr Ms kSlcdUpdateSilence{1000};    // a silence this long ends the wait for it

inline constexpr const char* kBinProgressText = "Uploading BIN File - ";

// Brings the selected module into its bootloader: the Vantor application ("verA", then up to
// three "^BL" with the port closed and opened again through the connect toggle and "verB"),
// or the Orla PCU (the Vantor's stream stopped with "$", the bootloader's menu looked for,
// then up to five "^B"). The collect flag is set while it listens and cleared whenever it
// ends. Complete when the bootloader answered; HandshakeFailed (the abort flag set) when it
// did not; Cancelled when Cancel or a closed link stopped it.
UploadResult StartVantorBootloader(UploadEngine& e);

// The Orla PCU's erase (the Erase of that path): up to three "^0578" CR, each answered
// "Erasing" and then "OK". Complete at "OK"; EraseFailed, with the abort flag set so nothing
// is sent into a PCU that was not erased, when no "OK" came; Cancelled on Cancel.
UploadResult OrlaErase(UploadEngine& e);

// "Auto Upload" on "USB to Vantor App" and "Orla PCU via Vantor": the image check, the
// bootloader start, the erase and the transfer (S-records with CR LF and the wait for the
// application's USB port to come back; or one line at a time, each answered, ending with the
// PCU's "CRC is GOOD"). Inside a running sequence.
UploadResult AutoUploadVantor(UploadEngine& e);

// "Auto Upload" on "USB to Vantor SLcd": the BIN image chosen and checked, the link checked
// with "^478", the size sent, the 30-second erase, the image in 128-byte blocks each answered,
// then the firmware update waited for (1-second silences, 104 seconds in all). An SLCD that
// falls silent during the blocks, Cancel, or an update that outlasts the 104 seconds ends as
// an overrun. The port is closed at the end of every run that reached the transfer. Inside a
// running sequence.
UploadResult AutoUploadSLCD(UploadEngine& e);

} // namespace upload
