#pragma once
// The data log (file slot 1: one record per telemetry sample while it is open) and the
// screen-data file (slot 2: the records now on the chart, in one go). Both start with a header
// line naming the columns, the note text and a title for the graph mode, and both end with a
// parameter dump, which closes them.
//
// A screen-data file taken while a log is open has a slot of its own: its records and its dump
// go to it, and the log goes on receiving every sample's record. One dump runs at a time, so a
// file command that needs one while another runs is refused with a message.
#include "panel/core/PanelState.h"
#include "panel/params/OutputFile.h"
#include "panel/params/ParamDump.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace panel {

inline constexpr const char* kLogFilter = "Data (*.csv) |*.csv|Text (*.txt, *.prn) |*.txt;*.prn|All files (*.*)|*.*";
inline constexpr const char* kScreenFilter =
    "Data (*.csv, *.txt) |*.csv;*.txt|Text (*.txt, *.prn) |*.txt;*.prn|All files (*.*)|*.*";
inline constexpr const char* kStartDataLog = "Start Data Log";
inline constexpr const char* kCloseDataLog = "Close Data Log";
inline constexpr const char* kPanelCaption = "TAV Remote Panel";
inline constexpr const char* kLogCaptionPrefix = "TAV Remote Panel - Log ";

// The header line of a data log in a graph mode (0..6); none in Spectrum mode.
std::optional<std::string> logHeader(int graphMode, const std::string& notes);
// The header line of a screen-data file in a graph mode (0..6).
std::optional<std::string> screenHeader(int graphMode, const std::string& notes);

class DataFiles {
public:
    DataFiles(PanelShared& shared, ParamDump& dump, FileUi& ui);
    ~DataFiles();
    DataFiles(const DataFiles&) = delete;
    DataFiles& operator=(const DataFiles&) = delete;

    // Inputs from the graph: its mode (0..6) and the records of the samples now on the chart,
    // oldest first.
    std::function<int()> graphMode;
    std::function<std::vector<std::string>()> shownRecords;
    // The note text box txtNotes, written unchanged into each header line.
    std::string txtNotes = "Notes";
    // logCaption() or windowCaption() has changed.
    std::function<void()> captionsChanged;

    // File menu "Start Data &Log" / "Close Data Log", and the capture window's cmdLog.
    void mnuLog_Click();
    void cmdLog_Click() { mnuLog_Click(); }
    // File menu "Save Screen &Data".
    void mnuSaveScreen_Click();
    // The graph's record of one sample: written to the log while it is open (its closing dump
    // included), each record on the disk before the next.
    void writeRecord(const std::string& record);
    // Program end: a running dump ends as cancelled and the log is closed.
    void shutdown();

    // The log file name: empty while no data log is open.
    const std::string& logFileName() const { return logFileName_; }
    bool logOpen() const { return !logFileName_.empty(); }
    // Caption of mnuLog and of the capture window's cmdLog.
    const char* logCaption() const { return logOpen() ? kCloseDataLog : kStartDataLog; }
    std::string windowCaption() const { return logOpen() ? kLogCaptionPrefix + logFileName_ : kPanelCaption; }

private:
    void startLog();
    void closeLog();
    void logClosed();
    int mode() const { return graphMode ? graphMode() : 0; }
    void changed();

    PanelShared& s_;
    ParamDump& dump_;
    FileUi& ui_;
    OutputFile log_;    // slot 1
    OutputFile screen_; // slot 2
    std::string logFileName_;
};

} // namespace panel
