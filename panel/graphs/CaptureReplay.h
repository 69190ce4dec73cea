#pragma once
// Capture replay: a data log or screen-data file loaded back onto the graph, one page of up to
// 640 records at a time, paged forward (">") and back ("<"). While a capture is loaded the live
// queries are stopped (the diagnostics Stop box is checked) and the file commands that would
// write data are disabled; the windows learn of every change through CaptureUi.
//
// The file is opened and closed for every page; the capture stays loaded by its name and its
// position (records to skip from the start: 0, 640, 1280, ...).
#include "DataFiles.h"
#include "GraphModel.h"

#include "panel/core/PanelLink.h"
#include "panel/core/PanelState.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace panel {

// The screen-data file's filter: a capture is chosen as one is saved.
inline constexpr const char* kCaptureFilter = kScreenFilter;
inline constexpr const char* kCaptureEndText = "Reached the end of the Capture";
inline constexpr const char* kCaptureEndTitle = "End of Capture";
inline constexpr const char* kCaptureStartText = "Reached the begining of the Capture";
inline constexpr const char* kCaptureStartTitle = "Begining of Capture";
inline constexpr const char* kCaptureUnknownText =
    "Unable to load capture file.  This file type may not yet be supported.";

// A capture's type: the text searched for (case-sensitive) in its first line and the graph
// mode it is replayed in. Searched in this order, the first found wins.
struct CaptureType {
    const char* marker;
    int mode;
};
inline constexpr std::array<CaptureType, 10> kCaptureTypes{{
    {"Velmar ADMC", kModeAdmc},
    {"Velmar Disp ivc", kModeIvc},
    {"Velmar Disp v", kModeV},
    {"Velmar Disp w", kModeW},
    {"Velmar Disp tc", kModeTc},
    // The data logs of the stream modes spell "DISP"; their records are the screen-data
    // records of the same mode. An X-Y log carries the loop-error title and replays as one.
    {"Velmar DISP ivc", kModeIvc},
    {"Velmar DISP v", kModeV},
    {"Velmar DISP w", kModeW},
    {"Velmar DISP tc", kModeTc},
    // X-Y screen data: the three stream samples and the phase.
    {"Velmar Circlex X-Y", kModeXY},
}};

// The graph mode a capture with this first line replays in; nullopt for a file of no known
// type (Spectrum screen data among them: it holds no samples).
std::optional<int> captureMode(std::string_view header);

// What the replay needs from the windows.
class CaptureUi {
public:
    virtual ~CaptureUi() = default;
    // The open-file dialog with its filter and initial file name; nullopt when none is chosen.
    virtual std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) = 0;
    // A message box; an empty title is the program's own.
    virtual void message(const std::string& text, const std::string& title, PanelUi::Icon icon) = 0;
    // loaded() and windowCaption() may have changed: "<" and ">" are shown while loaded, the
    // capture window shows its loaded button set, mnuSaveScreen, mnuLoadDataLog and mnuLog are
    // disabled and mnuUnloadDataLog enabled; all of it the other way round once unloaded.
    virtual void captureChanged() = 0;
    // shared.diagStop was set or cleared: the diagnostics window's Stop box follows it.
    virtual void diagStopChanged() = 0;
};

class CaptureReplay {
public:
    static constexpr int kPage = GraphModel::kRing;  // records per page
    static constexpr size_t kMaxLine = 64 * 1024;    // longer lines are cut here

    CaptureReplay(PanelShared& shared, MainState& main, GraphModel& graph, CaptureUi& ui);

    // "L&oad Data Log": choose a capture and show its first page (while one is loaded: show its
    // page again).
    void mnuLoadDataLog_Click();
    void cmdLoadDataLog_Click() { mnuLoadDataLog_Click(); }
    // ">" and "<". Nothing happens while no capture is loaded.
    void cmdLDLScrollForward_Click();
    void cmdLDLScrollBack_Click();
    // "&Unload Data Log": the replay ends, the graph is cleared and the live queries resume.
    void mnuUnloadDataLog_Click();
    void cmdUnloadDataLog_Click() { mnuUnloadDataLog_Click(); }

    bool loaded() const { return !fileName_.empty(); }
    const std::string& fileName() const { return fileName_; }
    int position() const { return position_; }
    // The main window's caption for the replay's state.
    std::string windowCaption() const { return loaded() ? kLogCaptionPrefix + fileName_ : kPanelCaption; }

private:
    enum class Page { Shown, End, Failed };
    Page loadPage();
    void setStop(bool on);

    PanelShared& s_;
    MainState& m_;
    GraphModel& graph_;
    CaptureUi& ui_;
    std::string fileName_;
    int position_ = 0;
};

} // namespace panel
