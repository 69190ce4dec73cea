#include "Headless.h"

#include "common/Clock.h"
#include "common/Link.h"
#include "common/Profiles.h"
#include "common/SettingsStore.h"
#include "common/SignalCancel.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/Terminal.h"
#include "terminal/core/TextSender.h"
#include "terminal/params/ParamDump.h"
#include "terminal/upload/AutoUpload.h"
#include "terminal/upload/UploadEngine.h"
#include "terminal/upload/UploadHistory.h"

#include <cstdio>
#include <memory>
#include <utility>

namespace headless {

namespace {

using Answer = term::TerminalUi::Answer;
using Buttons = term::TerminalUi::Buttons;

// The screen's text and each question on standard output; questions answered from the command
// line.
class ConsoleUi : public term::TerminalUi {
public:
    explicit ConsoleUi(bool yes) : yes_(yes) {}
    void attach(term::Terminal& t)
    {
        t_ = &t;
        shown_ = t.screen.mark();
    }

    Answer message(const std::string& text, const std::string& title, Buttons b, Icon) override
    {
        flush();
        Answer a = Answer::Ok;
        switch (b) {
        case Buttons::Ok: a = Answer::Ok; break;
        case Buttons::OkCancel: a = yes_ ? Answer::Ok : Answer::Cancel; break;
        case Buttons::YesNo:
        case Buttons::YesNoCancel: a = yes_ ? Answer::Yes : Answer::No; break;
        case Buttons::RetryCancel: a = Answer::Cancel; break;
        }
        static const char* const kNames[] = {"OK", "Cancel", "Yes", "No", "Retry"};
        std::string shown = text;
        for (char& c : shown)
            if (c == '\r')
                c = '\n';
        std::printf("\n[%s]\n%s\n-> %s\n", title.empty() ? "korrin" : title.c_str(), shown.c_str(),
                    kNames[static_cast<int>(a)]);
        std::fflush(stdout);
        return a;
    }
    // What came on the screen since it was last written out.
    void refresh() override { flush(); }

    void flush()
    {
        if (!t_)
            return;
        const auto& screen = t_->screen;
        if (screen.total() == shown_)
            return;
        std::string text = screen.since(shown_);
        shown_ = screen.total();
        std::string out;
        out.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                out += '\n';
                if (i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                out += text[i];
            }
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
    }

private:
    bool yes_;
    term::Terminal* t_ = nullptr;
    term::TerminalScreen::Mark shown_ = 0;
};

int statusOf(upload::UploadResult r)
{
    using R = upload::UploadResult;
    switch (r) {
    case R::Complete: return kComplete;
    case R::FileRefused: return kFileRefused;
    case R::HandshakeFailed: return kHandshakeFailed;
    case R::EraseFailed: return kEraseFailed;
    case R::TransferErrors: return kTransferErrors;
    case R::Cancelled: return kCancelled;
    case R::NotAvailable: return kNotAvailable;
    case R::Busy: return kBadUsage;
    }
    return kBadUsage;
}

int statusOf(term::ParamDump::Result r)
{
    using R = term::ParamDump::Result;
    switch (r) {
    case R::Done: return kComplete;
    case R::Cancelled: return kCancelled;
    case R::NoFile: return kFileRefused;
    case R::FileError: return kFileNotWritable;
    case R::LogOpen:
    case R::Busy: return kBadUsage;
    }
    return kBadUsage;
}

} // namespace

int run(const Options& o, common::SettingsStore& store, common::Clock& clock)
{
    const auto path = term::modulePathForCode(o.moduleCode);
    if (!path) {
        std::fprintf(stderr, "korrin: --module \"%s\" is not a module path code (for example TAV8a, TAV8p, USBpcu)\n",
                     o.moduleCode.c_str());
        return kBadUsage;
    }
    ConsoleUi ui(o.answerYes);
    term::Terminal t(clock, ui, [](const term::Terminal& term) -> std::unique_ptr<common::Link> {
        if (term.serial)
            return std::make_unique<common::SerialLink>(term.devicePath, term.settings, term.handshaking);
        return std::make_unique<common::TcpLink>(term.aAddress, term.nPort);
    });
    ui.attach(t);
    common::TerminalProfile profile;
    profile.load(store);
    std::string error;
    if (!term::LoadSettings(t, profile, store, o.endpoint ? &*o.endpoint : nullptr, error)) {
        std::fprintf(stderr, "korrin: %s\n", error.c_str());
        return kBadUsage;
    }
    term::ModulePaths paths(t, nullptr);
    paths.Select(*path, false);
    // The path's line speed with the stored line format, unless this run's link names its own.
    if (!(o.endpoint && o.endpoint->serial && !o.endpoint->settings.empty()))
        t.settings = std::to_string(paths.selectedRow().baud) + "," + term::lineFormat(t.settings);
    term::TextSender sender(t);
    upload::UploadEngine engine(t, paths, sender);
    upload::UploadHistory history;
    engine.history = &history;
    // The dialog is answered once with the given file; asked again (the file is missing) it
    // is cancelled.
    bool chosen = false;
    engine.chooseFile = [&](const std::string&, const std::string&) {
        return std::exchange(chosen, true) ? std::string() : o.file;
    };
    engine.onProgressWindow = [&ui](bool show, const std::string& caption, const std::string& text) {
        ui.flush();
        if (show)
            std::printf("[%s] %s\n", caption.c_str(), text.c_str());
        std::fflush(stdout);
    };

    if (o.mode == Mode::Check) {
        upload::UploadFile file;
        const auto r = upload::CheckUploadFile(t, *path, engine.chooseFile, file);
        ui.flush();
        std::printf("\n%s: %s, version \"%s\"\n", o.file.c_str(),
                    r == upload::CheckResult::Passed ? "verified" : "refused", file.version.c_str());
        return r == upload::CheckResult::Passed ? kComplete : kFileRefused;
    }

    // The dumps: the dialog is answered with the given file; the replace question by --answer.
    const bool dumping = o.mode == Mode::Dump || o.mode == Mode::DumpPcu;
    term::ParamDump dump(t, paths);
    bool dumpChosen = false;
    dump.chooseFile = [&](const std::string&, const std::string&, const std::string&) {
        return std::exchange(dumpChosen, true) ? std::string() : o.file;
    };
    dump.onProgressWindow = [&ui](bool show) {
        ui.flush();
        if (show)
            std::printf("[%s] %s\n", term::kDumpProgressCaption, term::kDumpProgressText);
        std::fflush(stdout);
    };

    // The first SIGINT or SIGTERM cancels as the Cancel button does; a second ends at once.
    common::SignalCancel signals(
        [&] {
            ui.flush();
            std::printf("\nkorrin: cancelled\n");
            std::fflush(stdout);
            if (dumping)
                dump.cancel();
            else
                engine.cancel();
        },
        kCancelled);
    if (!signals.armed()) {
        std::perror("korrin: pipe");
        return kBadUsage;
    }

    t.CalibrateMSwait();
    t.mnuOpen_Click();
    int status;
    if (!t.linkOpen()) {
        ui.flush();
        std::fprintf(stderr, "korrin: the link could not be opened\n");
        status = kHandshakeFailed;
    } else if (dumping) {
        // The file is asked for (and the replace question put) as the menu entries do.
        const bool full = o.mode == Mode::Dump;
        const std::string path = dump.ChooseDumpFile(full ? term::kDumpAll.title : term::kPcuDumpCaption, o.file);
        using R = term::ParamDump::Result;
        const R r = path.empty() ? R::NoFile : full ? dump.FullDumpTo(path) : dump.PcuDumpTo(path);
        status = statusOf(r);
        ui.flush();
        if (r == R::Done)
            std::printf("\nkorrin: parameters written to %s\n", path.c_str());
        else if (r == R::Cancelled)
            std::printf("\nkorrin: dump stopped; %s ends with \"%s\"\n", path.c_str(), term::kDumpCanceled);
        else if (r == R::NoFile)
            std::printf("\nkorrin: %s exists and was not replaced (--answer yes replaces it)\n", o.file.c_str());
    } else if (o.mode == Mode::Upload) {
        using T = upload::UploadEngine::TransferResult;
        const T r = engine.mnuUpload_Click();
        status = r == T::Done ? kComplete : r == T::Cancelled ? kCancelled : r == T::FileError ? kTransferErrors : kFileRefused;
    } else {
        upload::AutoUpload autoUpload(engine);
        status = statusOf(autoUpload.cmdAUpload_Click());
    }
    ui.flush();
    if (t.linkOpen()) {
        // What the sequence sent last without a settle of its own (a restart's last command)
        // leaves the line before the port closes.
        t.abortFlag = 0;
        t.DrainOutput(upload::kCloseDrainWait);
        t.mnuOpen_Click();
    }
    std::printf("\n");
    std::fflush(stdout);
    return status;
}

} // namespace headless
