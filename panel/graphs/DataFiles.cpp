#include "DataFiles.h"

#include <array>

namespace panel {

namespace {

struct Header {
    const char* columns;
    const char* title;
};

constexpr const char* kLogColumnsAdmc = "Time,El,Az,CL,Rel,Hdd,AGC,LAT,LON,ExtAGC,Stat123 RL,";
constexpr const char* kLogColumnsDisp = "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,";
constexpr const char* kIvcLogTitle = ",Velmar DISP ivc (Loop Error) Log File";

// By graph mode 0..6; Spectrum (5) logs have no header line.
constexpr std::array<Header, 7> kLogHeaders = {{
    {kLogColumnsAdmc, ",Velmar ADMC (Antenna Position) Log File"},
    {kLogColumnsDisp, kIvcLogTitle},
    {kLogColumnsDisp, ",Velmar DISP v (Reference) Log File"},
    {kLogColumnsDisp, ",Velmar DISP w (Rate Sensor) Log File"},
    {kLogColumnsDisp, ",Velmar DISP tc (Torque Command) Log File"},
    {nullptr, nullptr},
    {kLogColumnsDisp, kIvcLogTitle},
}};

constexpr std::array<Header, 7> kScreenHeaders = {{
    {"Time,El,Az,CLevel,Rel,Hdd,AGC,LAT,LON,ExtAGC,STAT123 RL,", ", Velmar ADMC (Antenna Position) Screen Capture"},
    {"Time,Cl,Lv,Az,Rel,Phase,", ",Velmar Disp ivc (Loop Error) Screen Capture"},
    {"Time,Cl,Lv,Az,Rel,", ",Velmar Disp v (Reference) Screen Capture"},
    {"Time,Cl,Lv,Az,Rel,", ",Velmar Disp w (Rate Sensor) Screen Capture"},
    {"Time,Cl,Lv,Az,Rel,", ",Velmar Disp tc (Torque Command) Screen Capture"},
    {"Freq, AGC,,,", ",Velmar Spectrum Analyzer Screen Capture"},
    {"Time,Cl,Lv,Az,Rel,Phase,", ",Velmar Circlex X-Y / Phase Screen Capture"},
}};

std::optional<std::string> headerLine(const std::array<Header, 7>& table, int graphMode, const std::string& notes)
{
    if (graphMode < 0 || graphMode >= int(table.size()) || !table[size_t(graphMode)].columns)
        return std::nullopt;
    const Header& h = table[size_t(graphMode)];
    return h.columns + notes + h.title;
}

} // namespace

std::optional<std::string> logHeader(int graphMode, const std::string& notes)
{
    return headerLine(kLogHeaders, graphMode, notes);
}

std::optional<std::string> screenHeader(int graphMode, const std::string& notes)
{
    return headerLine(kScreenHeaders, graphMode, notes);
}

DataFiles::DataFiles(PanelShared& shared, ParamDump& dump, FileUi& ui) : s_(shared), dump_(dump), ui_(ui) {}

DataFiles::~DataFiles()
{
    captionsChanged = nullptr; // the windows may be gone
    shutdown();
}

void DataFiles::changed()
{
    if (captionsChanged)
        captionsChanged();
}

void DataFiles::mnuLog_Click()
{
    if (logOpen())
        closeLog();
    else
        startLog();
}

void DataFiles::startLog()
{
    if (!s_.open) {
        ui_.showError(kPortClosedText);
        return;
    }
    const auto path = createFromDialog(ui_, log_, kLogFilter, "");
    if (!path)
        return;
    if (const auto header = logHeader(mode(), txtNotes); header && !log_.writeLine(*header)) {
        ui_.showError(log_.error());
        return; // the log stays closed
    }
    logFileName_ = *path;
    s_.dataLog = true;
    changed();
}

void DataFiles::closeLog()
{
    if (dump_.running()) {
        // Its own closing dump, or one into another file that must end first.
        ui_.showError(kDumpRunningText);
        return;
    }
    // Without the link the dump could never be answered: the log closes as it stands.
    if (!s_.open || !dump_.start(log_, true, [this](ParamDump::Outcome) { logClosed(); })) {
        log_.close();
        logClosed();
    }
}

// The log's closing dump has ended, or the log has failed: it is closed.
void DataFiles::logClosed()
{
    if (!logOpen())
        return;
    log_.close();
    logFileName_.clear();
    s_.dataLog = false;
    changed();
}

void DataFiles::mnuSaveScreen_Click()
{
    if (!s_.open) {
        ui_.showError(kPortClosedText);
        return;
    }
    if (dump_.running()) {
        ui_.showError(kDumpRunningText);
        return;
    }
    if (!createFromDialog(ui_, screen_, kScreenFilter, "", &log_))
        return;
    auto write = [this](const std::string& line) {
        if (screen_.writeLine(line))
            return true;
        ui_.showError(screen_.error());
        return false;
    };
    if (const auto header = screenHeader(mode(), txtNotes); header && !write(*header))
        return;
    if (shownRecords) {
        for (const auto& r : shownRecords())
            if (!write(r))
                return;
    }
    dump_.start(screen_, false);
}

void DataFiles::writeRecord(const std::string& record)
{
    if (!logOpen() || !log_.isOpen())
        return;
    if (log_.writeLine(record))
        return;
    ui_.showError(log_.error());
    // The failed log is closed already; a dump running into it ends without writing more.
    if (dump_.running() && dump_.target() == &log_)
        dump_.fileFailed(); // its end closes the log
    else
        logClosed();
}

void DataFiles::shutdown()
{
    if (dump_.running() && (dump_.target() == &log_ || dump_.target() == &screen_))
        dump_.abort();
    logClosed();
    screen_.close();
}

} // namespace panel
