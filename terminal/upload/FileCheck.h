#pragma once
// The image check before an upload: the file is chosen, its last data record must carry the
// addresses the selected module's images end with, a file that does not is let through only
// after two questions, and the version text is read from the image. Every step is a "PT:  "
// line on the terminal screen.
#include "terminal/core/ModulePaths.h"
#include "terminal/core/Terminal.h"

#include <cstdint>
#include <functional>
#include <string>

namespace upload {

// The modules whose images have a rule, by the module list entry that is checked.
enum class ModuleGroup { None, Acu, Pcu, Modem, MotorDriver, Vantor, OrlaPcu, BrinePcu };
ModuleGroup moduleGroup(term::ModulePath p);

// The file an upload sends, kept between operations.
struct UploadFile {
    std::string path;     // the last file chosen
    bool verified = false; // it passed the check (or its warnings were bypassed)
    std::string version;  // the version text found in it, at most 6 characters
};

inline constexpr const char* kHexDialogTitle = "Upload Hex File";
inline constexpr const char* kHexFilter = "Hex S19 Files (*.S19)|*.s19|All Files (*.*)|*.*";

enum class CheckResult {
    Passed,     // verified; the version was read
    Cancelled,  // the file dialog was cancelled: nothing logged
    Refused,    // the rule failed and the warnings were not bypassed, or no rule applies
    Unreadable, // the file could not be tested, opened or read: the reason was shown
};

// Chooses a file: the dialog's title and filter; empty for Cancel.
using ChooseFile = std::function<std::string(const std::string& title, const std::string& filter)>;

// Runs the check for the selected path: clears the screen, logs the module, asks for the file
// (a missing file is reported and the dialog shown again), applies the rule of the path's
// group, and on passing reads the version. file.verified is true only on Passed.
CheckResult CheckUploadFile(term::Terminal& t, term::ModulePath path, const ChooseFile& choose, UploadFile& file);

// The SLCD's binary image, checked at the start of its upload: the file is chosen ("Upload
// Binary File"; a missing one is reported and the dialog shown again), "PT:  File = " is logged,
// and its first two bytes must be 0xEB 0xFE, else the format warning is shown and it is refused.
// On passing "PT:  Checking file size: " is logged and size holds the image's size in bytes.
inline constexpr const char* kBinDialogTitle = "Upload Binary File";
inline constexpr const char* kBinFilter = "Hex BIN Files (*.BIN)|*.BIN|All Files (*.*)|*.*";
inline constexpr const char* kBinFormatWarning = "WARNING,\rSLDC via USB Program Mode is selected and\r"
                                                 "Upload file does not have the correct format.\rPlease Select another file";
CheckResult CheckBinFile(term::Terminal& t, const ChooseFile& choose, std::string& path, std::uint64_t& size);

} // namespace upload
