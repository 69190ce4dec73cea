#include "Headless.h"

#include "common/Clock.h"
#include "common/SettingsStore.h"
#include "common/SignalCancel.h"
#include "panel/core/LinkFactory.h"
#include "panel/core/PanelCore.h"
#include "panel/graphs/PanelGraphs.h"

#include <algorithm>
#include <cstdio>

namespace velmarcli {

namespace {

// The equipment's CR line breaks as " / " on one line of standard error.
std::string oneLine(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\r' ? std::string(" / ") : std::string(1, c);
    return out;
}

void say(const std::string& text)
{
    std::fprintf(stderr, "velmar: %s\n", oneLine(text).c_str());
    std::fflush(stderr);
}

// Message boxes printed and answered OK; the save dialog answered once with the file named on
// the command line (asked again, it is cancelled); an existing file is replaced, as a shell
// redirection would.
class ConsoleUi : public panel::PanelUi, public panel::FileUi {
public:
    explicit ConsoleUi(std::string file) : file_(std::move(file)) {}
    Answer message(const std::string& text, const std::string&, Buttons, Icon) override
    {
        say(text);
        return Answer::Ok;
    }
    void selectAntennaButton(int) override {}
    void refresh() override {}
    std::optional<std::string> saveFileDialog(const std::string&, const std::string&) override
    {
        if (asked_)
            return std::nullopt;
        asked_ = true;
        return file_;
    }
    bool askYesNo(const std::string& question) override
    {
        say(question + " yes");
        return true;
    }
    void showError(const std::string& text) override { say(text); }
    void showMessage(const std::string& text) override { say(text); }

private:
    std::string file_;
    bool asked_ = false;
};

class ConsoleProgress : public panel::DumpProgress {
public:
    void show(const std::string& caption) override { say(caption); }
    void progress(int value) override
    {
        if (value % 10 == 0 || value == panel::kDumpReplies)
            say("parameter dump " + std::to_string(value) + "/" + std::to_string(panel::kDumpReplies));
    }
    void caption(const std::string& text) override { say(text); }
    void hide() override {}
};

int statusOf(panel::ParamDump::Outcome o)
{
    using O = panel::ParamDump::Outcome;
    switch (o) {
    case O::Completed: return kOk;
    case O::TimedOut: return kTimedOut;
    case O::WriteFailed: return kWriteFailed;
    case O::Cancelled: return kCancelled;
    case O::None: break;
    }
    return kLinkClosed;
}

// Longest wait for a dump: every reply timed out and the dump's end besides.
common::Ms dumpBound(const panel::MainState& m)
{
    return common::Ms{(m.timeoutMs + 200) * (panel::kDumpReplies + 2) + 10000};
}

} // namespace

int run(const Options& o, common::SettingsStore& store, common::Clock& clock)
{
    const bool recording = !o.recordFile.empty();
    if (recording == !o.dumpFile.empty() || o.graphMode < 0 || o.graphMode >= panel::kGraphModes || o.seconds < 0) {
        std::fprintf(stderr, "velmar: give either --dump FILE or --record FILE [--graph-mode 0..6] [--seconds S]\n");
        return kBadUsage;
    }
    ConsoleUi ui(recording ? o.recordFile : o.dumpFile);
    ConsoleProgress progress;
    panel::PanelShared shared;
    panel::MainState main;
    shared.endpoint = o.endpoint;
    panel::PanelCore core(shared, main, clock, ui, panel::makeLinkFactory(&store), &store);
    panel::PanelGraphs graphs(shared, main, core, ui);
    graphs.dump.setProgress(&progress);

    bool stop = false;
    common::SignalCancel signals(
        [&] {
            say(recording && !stop ? "stopping: closing the log" : "cancelled");
            if (graphs.dump.running())
                graphs.dump.cancel();
            stop = true;
        },
        kCancelled);

    core.link.Startup();
    const common::Ms kOpenBound = panel::PanelLink::kConnectWait + common::Ms{2000};
    clock.waitUntil([&] { return shared.open && core.link.link() && core.link.link()->isOpen(); }, kOpenBound);
    if (!shared.open || !core.link.link() || !core.link.link()->isOpen()) {
        say("the link could not be opened");
        return kLinkClosed;
    }
    say("connected: " + core.link.settingsText());

    if (!recording) {
        graphs.dump.mnuParamDump_Click();
        if (!graphs.dump.running())
            return kWriteFailed; // the file could not be created (its error is printed)
        clock.waitUntil([&] { return !graphs.dump.running(); }, dumpBound(main));
        const int status = graphs.dump.running() ? kTimedOut : statusOf(graphs.dump.outcome());
        if (status == kOk)
            say("parameter dump written to " + o.dumpFile);
        return status;
    }

    long records = 0;
    auto write = graphs.graph.onRecord;
    graphs.graph.onRecord = [&](const std::string& record) {
        if (graphs.files.logOpen())
            ++records;
        write(record);
    };
    graphs.graph.mnuGraph_Click(o.graphMode);
    graphs.files.mnuLog_Click();
    if (!graphs.files.logOpen())
        return kWriteFailed;
    say("logging graph mode " + std::to_string(o.graphMode) + " to " + o.recordFile +
        (o.seconds > 0 ? " for " + std::to_string(int(o.seconds)) + " s" : std::string(" until SIGINT or SIGTERM")));

    // Until the time is up, a signal, a write error (the log closed itself) or a lost link;
    // a progress line every minute.
    const auto end = clock.now() + common::Ms{long(o.seconds * 1000)};
    const common::Ms kReportEvery{60000};
    while (!stop && graphs.files.logOpen() && shared.open) {
        common::Ms step = kReportEvery;
        if (o.seconds > 0)
            step = std::min(step, end - clock.now());
        if (step <= common::Ms{0})
            break;
        clock.waitUntil([&] { return stop || !graphs.files.logOpen() || !shared.open; }, step);
        if (!stop && graphs.files.logOpen())
            say(std::to_string(records) + " records");
    }
    if (!graphs.files.logOpen())
        return kWriteFailed;
    say(std::to_string(records) + " records; appending the parameter dump");
    stop = true; // a signal from here on cancels the dump
    if (!shared.open) {
        graphs.files.shutdown();
        say("the link was lost; the log is closed without its parameter dump");
        return kLinkClosed;
    }
    graphs.files.mnuLog_Click(); // "Close Data Log": the dump into the log, which closes it
    clock.waitUntil([&] { return !graphs.dump.running() && !graphs.files.logOpen(); }, dumpBound(main));
    if (graphs.files.logOpen()) {
        graphs.files.shutdown();
        return kTimedOut;
    }
    const int status = statusOf(graphs.dump.outcome());
    if (status == kOk)
        say("log closed: " + o.recordFile);
    return status;
}

} // namespace velmarcli
