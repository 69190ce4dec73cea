#pragma once
// The parameter upload: a text file of parameter commands sent to the ACU, one line per tick
// of the send scheduler at the dump pacing, with the progress window. Each line is cleaned
// first, so that a parameter dump written by ParamDump goes back as the set commands its data
// lines describe: a line starting with ">" is dropped, everything from the first apostrophe
// on is a comment, tabs are removed, and what is left goes out with CR LF.
//
// The upload runs by events like the dump: start() opens the file and puts the scheduler in
// upload mode (PanelLink::uploadOpen / uploadNextLine); every tick takes one line; the end of
// the file or Cancel closes it and restores the pacing. The ACU's answers are not checked.
#include "ParamDump.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace panel {

inline constexpr const char* kUploadTitle = "Send Text File";
inline constexpr const char* kUploadFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
inline constexpr const char* kSendingParams = "Sending TAV/PCU Parameters";
inline constexpr const char* kNotFound = " not found!";
inline constexpr int kUploadBarMaximum = 100;
// A line longer than this is not a parameter command: it is cut here, the rest skipped.
inline constexpr size_t kUploadLineCap = 64 * 1024;

// One line of the file (without its line end) as the text to send, without CR LF; empty when
// the line sends nothing.
std::string cleanUploadLine(std::string line);

class ParamUpload {
public:
    // The open dialog: title, filter, initial file name; nullopt = Cancel.
    using OpenDialog = std::function<std::optional<std::string>(const std::string& title, const std::string& filter,
                                                                const std::string& fileName)>;

    // Hooks itself into the link's upload source.
    ParamUpload(PanelShared& shared, MainState& main, PanelLink& link, FileUi& ui);
    ~ParamUpload();
    ParamUpload(const ParamUpload&) = delete;
    ParamUpload& operator=(const ParamUpload&) = delete;

    OpenDialog openDialog;
    void setProgress(DumpProgress* p) { progress_ = p; }
    // Runs once when an upload has ended (end of file, Cancel, a read error, the link closed).
    std::function<void()> finished;

    // Tools menu "Parameter Upload (Send Param.txt)". dumpRunning refuses while a parameter
    // dump owns the scheduler.
    void mnuParamUP_Click(bool dumpRunning = false);
    // Opens the file and enters upload mode; false (its error shown) when it does not open.
    bool start(const std::string& path);
    // The progress window's Cancel: the line being sent is the last. With the link closed no
    // tick comes any more, and the upload ends at once.
    void cancel();
    // Ends at once (the window closing, the program ending).
    void abort();

    bool running() const { return file_ != nullptr; }
    int lineCount() const { return lines_; } // lines read so far
    int sentCount() const { return sent_; }  // lines that sent something
    bool cancelled() const { return cancel_; }

    // The scheduler's tick in upload mode: the next text to send (with CR LF), or empty.
    std::string nextLine();

private:
    bool readLine(std::string& line);
    void finish();

    PanelShared& s_;
    MainState& m_;
    PanelLink& link_;
    FileUi& ui_;
    DumpProgress* progress_ = nullptr;
    std::FILE* file_ = nullptr;
    bool cancel_ = false;
    bool readError_ = false;
    int lines_ = 0;
    int sent_ = 0;
};

} // namespace panel
