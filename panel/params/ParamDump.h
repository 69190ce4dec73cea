#pragma once
// The parameter dump: the ACU's stored parameters read one by one through the send scheduler
// and written, decoded and described, into the current output file (a dump file of its own,
// or the data log or screen-data file being closed).
//
// The dump runs by events: start() queues the sequence and writes the header; the decoder
// hands every reply to fmtParam(), which writes one line per reply and ends the dump after the
// last one, on Cancel, or on a write error; the reply timeout of the link ends it when the
// ACU stops answering. Nothing here waits, so it runs the same under a window and without one.
#include "OutputFile.h"

#include "panel/core/PanelState.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace panel {

class Decoder;
class PanelLink;

// The reply table: one row per reply of the dump sequence, and the end mark.
struct DumpEntry {
    int code;                // format code, 999 = end of the dump
    const char* description; // "*" marks the first byte of a two-byte value
};
inline constexpr int kDumpReplies = 91;
inline constexpr int kDumpEndCode = 999;
extern const std::array<DumpEntry, kDumpReplies + 1> kDumpTable;

// The 91 commands in the send scheduler's form: single characters, and "!" + five characters
// for a line command.
const std::string& dumpSequence();

// One reply as its dump line. command is the command the reply answers (a leading "!" and the
// line terminator may be there or not). acc is the accumulator carried from reply to reply.
std::string formatDumpLine(int code, const std::string& description, const std::string& reply,
                           const std::string& command, std::int32_t& acc);

inline constexpr const char* kDumpHeader1 = "'ACU Parameter Dump - Legacy Mode";
inline constexpr const char* kDumpHeader2 = "'CMD\tValue\tResult\tDescription";
inline constexpr const char* kDumpCanceled = "Parameter Dump Canceled";
inline constexpr const char* kReadingTav = "Reading TAV Parameters";
inline constexpr const char* kReadingPcu = "Reading PCU Parameters";
inline constexpr int kPcuCaptionAt = 73;
inline constexpr const char* kPortClosedText =
    "Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect.";
inline constexpr const char* kLogOpenText = "Error,\rParameter Dump is not supported while a log file is currently open";
inline constexpr const char* kDumpRunningText =
    "Error,\rA Parameter Dump is running\rWait for it to end, or click Cancel.";
inline constexpr const char* kDumpFilter =
    "Data (*.csv, *.txt)|*.csv;*.txt|Text (*.txt, *.prn)|*.txt;*.prn|All files (*.*)|*.*";
inline constexpr const char* kDumpFileName = "param_Leg.txt";

// The progress window as the dump drives it (the window's Cancel calls ParamDump::cancel).
class DumpProgress {
public:
    virtual ~DumpProgress() = default;
    virtual void show(const std::string& caption) = 0;
    virtual void progress(int value) = 0; // 0 .. kDumpReplies
    virtual void caption(const std::string& text) = 0;
    virtual void hide() = 0;
};

class ParamDump {
public:
    enum class Outcome {
        None,        // no dump has ended yet
        Completed,   // all 91 reply lines written
        Cancelled,   // Cancel: the cancel line ends the file
        TimedOut,    // the ACU stopped answering
        WriteFailed, // the file could not be written (its error text was shown)
    };

    // Hooks itself into the decoder (every reply while the dump counter is 0 or more) and into
    // the link's reply timeout (the dump's end when the ACU stops answering).
    ParamDump(PanelShared& shared, PanelLink& link, Decoder& decoder, FileUi& ui);
    ~ParamDump();
    ParamDump(const ParamDump&) = delete;
    ParamDump& operator=(const ParamDump&) = delete;

    // The progress window; nullptr (the default) shows none.
    void setProgress(DumpProgress* p) { progress_ = p; }

    // Tools menu "Parameter Dump (mA999, nA999, [?)": a dump file of its own (slot 2).
    void mnuParamDump_Click();

    // Start a dump into an open file; done runs once when it has ended, after the file is
    // closed. False (nothing done) while another dump runs.
    bool start(OutputFile& file, bool dataLog, std::function<void(Outcome)> done = nullptr);

    // The formatter: one reply and the command it answers.
    void fmtParam(const std::string& reply, const std::string& command);

    // The progress window's Cancel: the reply now awaited is written, then the cancel line,
    // and the file is closed. With no reply awaited (all answered, the link closed) the dump
    // ends at once.
    void cancel();
    // Ends a running dump at once as cancelled (the window closing, the program ending).
    void abort();
    // The dump's file failed under another writer (the log's records), which has shown the
    // error: the dump ends without writing more.
    void fileFailed();

    bool running() const { return running_; }
    // The file being written while a dump runs.
    const OutputFile* target() const { return running_ ? target_ : nullptr; }
    // Of the dump running or last ended.
    Outcome outcome() const { return outcome_; }
    int repliesWritten() const { return replies_; }
    int unanswered() const { return unanswered_; } // replies recorded as "????"
    bool toDataLog() const { return dataLog_; }

private:
    bool write(const std::string& line);
    void finish(Outcome outcome, bool linkEnded = false);
    void timedOut();

    PanelShared& s_;
    PanelLink& link_;
    Decoder& decoder_;
    FileUi& ui_;
    DumpProgress* progress_ = nullptr;
    OutputFile own_; // slot 2 of the Tools menu dump
    OutputFile* target_ = nullptr;
    std::function<void(Outcome)> done_;
    bool running_ = false;
    bool cancel_ = false;
    bool dataLog_ = false;
    std::int32_t acc_ = 0;
    Outcome outcome_ = Outcome::None;
    int replies_ = 0;
    int unanswered_ = 0;
};

} // namespace panel
