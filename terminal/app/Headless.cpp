#include "Headless.h"

#include "common/Clock.h"
#include "common/Link.h"
#include "common/Profiles.h"
#include "common/SettingsStore.h"
#include "common/SignalCancel.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/Terminal.h"
#include "terminal/core/TextSender.h"
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

    // The first SIGINT or SIGTERM cancels as the Cancel button does; a second ends at once.
    common::SignalCancel signals(
        [&] {
            ui.flush();
            std::printf("\nkorrin: cancelled\n");
            std::fflush(stdout);
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
    } else if (o.mode == Mode::Upload) {
        using T = upload::UploadEngine::TransferResult;
        const T r = engine.mnuUpload_Click();
        status = r == T::Done ? kComplete : r == T::Cancelled ? kCancelled : r == T::FileError ? kTransferErrors : kFileRefused;
    } else {
        upload::AutoUpload autoUpload(engine);
        status = statusOf(autoUpload.cmdAUpload_Click());
    }
    ui.flush();
    if (t.linkOpen())
        t.mnuOpen_Click();
    std::printf("\n");
    std::fflush(stdout);
    return status;
}

} // namespace headless
