#pragma once
// The terminal's parameter dumps: every stored parameter of an older installation (the ACU's
// 74, the PCU's 12, the versions of the motor driver, the modems and the communications
// interface, and the interface's network settings), read one query at a time and written as a
// commented text file that can be sent back later as text. Also the PCU section alone, into a
// temporary file shown on the screen, and the PCU's own listing command.
//
// Every query goes through Terminal::CommOut and its answer is read from the reply buffer
// after AwaitReply; the collect flag is held for the whole run. The dump holds the
// one-sequence guard, every wait ends on Cancel (the abort flag), and the file is closed on
// every way out. The window owns the file dialog and the progress window ("Please Wait"):
// it answers chooseFile and shows what onProgressWindow and onProgress say.
#include "terminal/core/ModulePaths.h"
#include "terminal/core/Terminal.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace term {

// Named waits of the dump.
inline constexpr Ms kBusyRetryWait{600};     // before a parameter the ACU was busy for is asked again
inline constexpr Ms kCommIfVersionWait{500}; // after the interface's version answer, before it is written
inline constexpr Ms kCommIfTableWait{1200};  // after the first part of the network table, for the rest

// The most of one answer that goes into the file: a module that keeps talking (a stream that
// never ends) cannot fill the disk through the dump.
inline constexpr size_t kMaxAnswerChars = 2048;
// A network value longer than this is not a value: its closing CR is taken as missing.
inline constexpr size_t kMaxNetworkValueChars = 64;
// How often the file dialog may come back after No at the replace question.
inline constexpr int kMaxFileDialogs = 100;

// The entries that run a dump: caption, dialog title, default file name.
struct DumpMenuEntry {
    const char* menu;        // objectName of the menu entry
    const char* caption;     // as shown, blanks included
    const char* title;       // title of the save dialog
    const char* defaultName; // file name the dialog proposes
};
inline constexpr DumpMenuEntry kDumpAll{"mnuParamDumpAll", "Parameter Dump 68x0    ([?APCF)",
                                        "Parameter DumpALL Text File", "param_All.txt"};
inline constexpr DumpMenuEntry kDumpLegacy{"mnuParamDumpLeg", "Parameter Dump (mA999, nA999, [?)",
                                           "6800/07 Legacy Parameter Dump Text File", "param_Leg.txt"};
inline constexpr const char* kDumpFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
// The PCU Tools entries: the PCU section alone, and the PCU's own listing.
inline constexpr const char* kPcuDumpMenu = "mnuPCUParamDump";
inline constexpr const char* kPcuDumpCaption = "PCU Param Dump        (nA999 )";
inline constexpr const char* kPcuListingMenu = "mnuPCUListing";
inline constexpr const char* kPcuListingCaption = "PCU Param Dump        ([?P      )";
// The temporary file of the PCU section alone, in the system's temporary folder: a fresh
// name of this form each time (created only if nothing is there), removed once shown.
inline constexpr const char* kPcuTempPrefix = "KorrinTmp-";
inline constexpr const char* kPcuTempSuffix = ".txt";

// The progress window.
inline constexpr const char* kDumpProgressCaption = "Please Wait";
inline constexpr const char* kDumpProgressText = "Reading TAV parameters";
inline constexpr int kDumpProgressMax = 87; // the ACU's 74 at 0..73, then the PCU's 12 from 75
inline constexpr int kPcuProgressFrom = 75;

// The last line of a dump that was stopped.
inline constexpr const char* kDumpCanceled = "'Parameter Dump Canceled";
// The line written for a network entry the interface's reply does not hold (no "=" on its
// line, the value's closing CR missing, or a value with control characters or longer than
// kMaxNetworkValueChars) is a comment, so the file never sends a wrong value back:
// "'[" + code + Tab + kNetworkValueMissing + Tab + name.
inline constexpr const char* kNetworkValueMissing = "(missing)";

// The ACU parameter table: 74 entries, read by "m" + character (65 + index) + "999".
struct AcuParameter {
    const char* name;
    int valueClass; // 0 to 10, see AcuParameterLine
};
extern const std::array<AcuParameter, 74> kAcuParameters;
// The PCU parameter table: 12 entries, read by ESC "n" + character (48 + index) + "999".
extern const std::array<const char*, 12> kPcuParameters;
// The communications interface's network table, in the order of its reply.
struct NetworkEntry {
    char code;
    const char* name; // the description column, its leading Tab included where it has one
};
extern const std::array<NetworkEntry, 9> kNetworkTable;

// ---- the formatting rules (pure, for the dump and its tests)

// The value column of an answer: the 3 characters from position 2 of the reply, ending at a
// line end; "??" stays "??" (the query timed out).
std::string AnswerOf(const std::string& reply);
// The numeric value of an answer, as a number at its start reads (blanks, a sign, digits, a
// decimal part); 0 when there is none. Halves go to the even neighbour.
long NumericValue(const std::string& answer);
// The dump line of ACU entry index for its answer, or empty when nothing is written (an El
// Limit without an answer). held is the high byte the last "*" entry left; a "*" entry sets it.
std::string AcuParameterLine(int index, const std::string& answer, long& held);
// The lines of a network table reply that begins with "IP" (header first).
std::vector<std::string> NetworkTableLines(const std::string& reply);

class ParamDump {
public:
    enum class Result {
        Done,      // the file is written
        Cancelled, // Cancel, the window closing, or the link closed / lost (the file ends with the cancel line)
        NoFile,    // the dialog or the replace question was cancelled: nothing was done
        FileError, // the file could not be created or written (the reason was shown)
        LogOpen,   // the communications log is open, so no answer would reach the reply buffer
        Busy,      // another long sequence runs: nothing was done
    };

    ParamDump(Terminal& t, ModulePaths& paths);

    // The save dialog: title, filter and the proposed name; the chosen path, empty for Cancel.
    std::function<std::string(const std::string& title, const std::string& filter, const std::string& defaultName)>
        chooseFile;
    // Show or hide the progress window, and move its bar (0 to kDumpProgressMax).
    std::function<void(bool show)> onProgressWindow;
    std::function<void(int value)> onProgress;

    // "Parameter Dump 68x0    ([?APCF)" and "Parameter Dump (mA999, nA999, [?)": the full dump.
    Result mnuParamDumpAll_Click() { return FullDump(kDumpAll); }
    Result mnuParamDumpLeg_Click() { return FullDump(kDumpLegacy); }
    Result FullDump(const DumpMenuEntry& entry);
    // The full dump into a file already chosen (the command line; no dialog).
    Result FullDumpTo(const std::string& path);
    // "PCU Param Dump        (nA999 )": the PCU section alone, into a fresh temporary file whose
    // lines then replace what the dump showed on the screen; the file is removed afterwards.
    Result mnuPcuParamDump_Click();
    // The PCU section alone into path (the command line): the same, the file kept.
    Result PcuDumpTo(const std::string& path);
    // "PCU Param Dump        ([?P      )": clears the screen and sends ESC "[?P  " CR LF.
    void mnuPcuListing_Click();
    // The progress window's Cancel: the abort flag becomes 1; every wait ends at once.
    void cancel();

    // The dialog with the replace question: Cancel ends (empty), No shows the dialog again,
    // Yes deletes an existing ordinary file (a device or pipe is written to as it is).
    std::string ChooseDumpFile(const std::string& title, const std::string& defaultName);

    // Where the last PCU section alone was written (its temporary file, now removed).
    const std::string& lastTempFile() const { return lastTemp_; }
    int progress() const { return progress_; }

private:
    class File;
    Result startChecks();
    Result fullRun(const std::string& path);
    Result pcuRun(const std::string& path, bool temporary);
    bool pcuSection(File& f);
    bool query(const std::string& command);
    // One parameter (ACU or PCU): a busy answer ("###") is asked for again every
    // kBusyRetryWait until another comes; false when the dump was stopped.
    bool readParameter(const std::string& command, std::string& answer);
    std::string reply() const;
    bool aborted() const { return t_.abortFlag != 0; }
    void setProgress(int value);
    void failed(const std::string& what, const std::string& path, const std::string& why);

    Terminal& t_;
    ModulePaths& paths_;
    std::string lastTemp_;
    int progress_ = 0;
};

} // namespace term
