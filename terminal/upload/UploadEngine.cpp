#include "UploadEngine.h"

#include "SRecord.h"
#include "VantorUpload.h"

#include <utility>

namespace upload {

using term::ModulePath;
using term::Terminal;
using Buttons = term::TerminalUi::Buttons;
using Icon = term::TerminalUi::Icon;

namespace {
const std::string kCrLf = "\r\n";
const std::string kEsc(1, '\x1b');
} // namespace

std::vector<std::string> fragments(const std::string& line)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < line.size(); i += 4) {
        std::string f = line.substr(i, 4);
        if (f.size() < 4)
            f = (f + "00").substr(0, 4);
        out.push_back(std::move(f));
    }
    return out;
}

UploadEngine::UploadEngine(Terminal& t, term::ModulePaths& paths, term::TextSender& sender)
    : t_(t), paths_(paths), sender_(sender)
{
}

// ---------------------------------------------------------------- the window's entries

bool UploadEngine::cmdStart_Click()
{
    Terminal::Sequence seq(t_);
    if (seq.started())
        Start();
    return seq.started();
}

bool UploadEngine::cmdErase_Click()
{
    Terminal::Sequence seq(t_);
    if (seq.started())
        Erase();
    return seq.started();
}

bool UploadEngine::mnuBulk_Click()
{
    Terminal::Sequence seq(t_);
    if (seq.started())
        BulkErase();
    return seq.started();
}

bool UploadEngine::Command5_Click()
{
    Terminal::Sequence seq(t_);
    if (seq.started())
        RestartBoot();
    return seq.started();
}

bool UploadEngine::mnuRem_Click()
{
    Terminal::Sequence seq(t_);
    if (seq.started())
        RemoteSetup();
    return seq.started();
}

namespace {
const char* transferResultText(UploadEngine::TransferResult r)
{
    switch (r) {
    case UploadEngine::TransferResult::Done: return "sent";
    case UploadEngine::TransferResult::Cancelled: return "cancelled";
    case UploadEngine::TransferResult::FileError: return "file error";
    default: return "not sent";
    }
}
} // namespace

UploadEngine::TransferResult UploadEngine::mnuSendHex_Click()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return TransferResult::Busy;
    const Ms began = t_.clock().now();
    const TransferResult r = Transfer();
    if (r != TransferResult::NoFile)
        record(began, transferResultText(r));
    return r;
}

UploadEngine::TransferResult UploadEngine::mnuUpload_Click()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return TransferResult::Busy;
    const Ms began = t_.clock().now();
    const CheckResult check = CheckUploadFile(t_, paths_.selected(), chooseFile, file);
    if (check != CheckResult::Passed) {
        t_.Write(kCrLf + " Selected file does not match parameters for selected module" + kCrLf);
        if (check != CheckResult::Cancelled)
            record(began, "file refused");
        return TransferResult::NoFile;
    }
    const TransferResult r = Transfer();
    record(began, transferResultText(r));
    return r;
}

void UploadEngine::record(Ms began, const std::string& result, const std::string& moduleVersion)
{
    if (!history)
        return;
    UploadRecord r;
    r.when = UploadHistory::now();
    r.modulePath = paths_.selectedRow().code;
    r.file = file.path;
    UploadHistory::fingerprint(file.path, r.size, r.sha256);
    r.fileVersion = file.version;
    r.moduleVersion = moduleVersion;
    r.result = result;
    r.seconds = std::chrono::duration<double>(t_.clock().now() - began).count();
    std::string error;
    if (!history->append(r, error))
        t_.LogLine("PT:  The upload history could not be written: " + error);
}

void UploadEngine::cancel()
{
    if (t_.abortFlag == 0)
        t_.abortFlag = term::kAbortCancelled;
    showProgress(false);
}

// ---------------------------------------------------------------- steps

void UploadEngine::run(const std::vector<Step>& steps)
{
    for (const Step& s : steps) {
        // A closed link has warned once (and Cancel stops too): the rest would only warn again.
        if (t_.abortFlag != 0)
            return;
        switch (s.kind) {
        case Step::Kind::Send: t_.CommOut(s.bytes); break;
        case Step::Kind::Settle: t_.TxSettle(s.ms); break;
        case Step::Kind::RemoteSetup: RemoteSetup(); break;
        case Step::Kind::VantorBootStart: VantorBootStart(); break;
        case Step::Kind::OrlaBootStart: StartVantorBootloader(*this); break;
        case Step::Kind::OrlaErase: OrlaErase(*this); break;
        }
    }
}

void UploadEngine::Start() { run(stepsFor(startTable(), paths_.selected())); }
void UploadEngine::Erase() { run(stepsFor(eraseTable(), paths_.selected())); }
void UploadEngine::BulkErase() { run(stepsFor(bulkEraseTable(), paths_.selected())); }
void UploadEngine::RestartBoot() { run(stepsFor(restartBootTable(), paths_.selected())); }

void UploadEngine::RemoteSetup()
{
    const ModulePath p = paths_.selected();
    t_.LogLine("Resetting ACU to be sure its in the correct state, Please Wait:");
    t_.CommOut(kEsc + "\\0090" + kCrLf);
    for (int i = 0; i < kRemoteResetSteps && t_.abortFlag == 0; ++i) {
        t_.Pause(kRemoteResetStep);
        t_.Write(".");
    }
    if (t_.abortFlag != 0)
        return;
    t_.CommOut(kEsc + "D");
    t_.TxSettle(10);
    t_.Write(kCrLf + "Setting ACU 'Remote Upload Mode' " + kCrLf);
    if (p == ModulePath::TAVp || p == ModulePath::TAVd) {
        t_.CommOut("mE163" + kCrLf);
        t_.CommOut("[L" + kCrLf);
        t_.TxSettle(10);
    } else {
        t_.CommOut("mE159" + kCrLf);
    }
    t_.TxSettle(kRemoteModeSettleMs);
}

void UploadEngine::VantorBootStart()
{
    t_.CommOut("^BL" + kCrLf);
    if (t_.abortFlag != 0)
        return;
    // The command must have left before the port closes under it.
    t_.TxSettle(0);
    if (t_.linkOpen())
        t_.ToggleLink();
    t_.LogLine("Sending '^BL' Command to enter Bootloader mode");
    t_.Pause(Ms{1500});
    t_.LogLine("Closing USB Port");
    t_.LogLine("Waiting for Bootloader to open USB port");
    t_.Pause(Ms{3500});
    if (!t_.linkOpen())
        t_.ToggleLink();
    t_.LogLine("Port open, checking for Bootloader response");
    const auto mark = t_.screen.mark();
    t_.CommOut("verB" + kCrLf);
    t_.Pause(Ms{1000});
    if (t_.screen.since(mark).find("Ver") != std::string::npos) {
        t_.LogLine("PT:  Bootloader start is sucessful!");
    } else {
        t_.LogLine("PT:  Bootloader start not sucessful, check Comm port and try again");
        t_.abortFlag = term::kAbortCancelled;
    }
}

void UploadEngine::SendFragments(const std::string& line, char prefix)
{
    for (const std::string& f : fragments(line)) {
        if (t_.abortFlag != 0)
            return;
        t_.CommOut(std::string(1, prefix) + f + kCrLf);
        t_.TxSettle(kFragmentSettleMs);
    }
}

bool UploadEngine::echo(term::TerminalScreen::Mark mark, std::uint64_t n)
{
    const bool came = t_.clock().waitUntil(
        [&] { return t_.abortFlag != 0 || t_.screen.answerLength(mark) >= n; }, kEchoWait);
    if (t_.screen.answerLength(mark) >= n)
        return true;
    if (came)
        return false; // Cancel
    t_.LogLine("PT:  No answer from the module for " + std::to_string(kEchoWait.count() / 1000)
               + " seconds after a line, the transfer stops");
    echoTimedOut_ = true;
    t_.abortFlag = term::kAbortCancelled;
    return false;
}

void UploadEngine::showProgress(bool on)
{
    if (onProgressWindow)
        onProgressWindow(on, kProgressCaption, on ? kProgressText + file.path : std::string());
}

UploadEngine::TransferResult UploadEngine::Transfer()
{
    if (file.path.empty()) {
        t_.ui().message(kNoFileChosen, "", Buttons::Ok, Icon::Exclamation);
        return TransferResult::NoFile;
    }
    TextLines in;
    std::string error;
    if (!in.open(file.path, error)) {
        t_.ui().message(file.path + "\r" + error, "", Buttons::Ok, Icon::Exclamation);
        return TransferResult::FileError;
    }
    const ModulePath p = paths_.selected();
    echoTimedOut_ = false;
    t_.StartConnectTimer();
    showProgress(true);
    t_.abortFlag = 0;
    bool readError = false;
    std::string line;
    auto next = [&] {
        if (in.next(line))
            return true;
        if (!in.error().empty()) {
            readError = true;
            t_.ui().message(in.error(), "", Buttons::Ok, Icon::Exclamation);
        }
        return false;
    };
    auto going = [this] { return t_.abortFlag == 0; };

    if (isAcuRouted(p)) {
        const char prefix = fragmentPrefix(p);
        const bool lineOpener = isPcuViaAcu(p) || isModem(p) || p == ModulePath::TAV8mdb;
        bool headerSkipped = false;
        while (going() && next()) {
            if (!headerSkipped && line.compare(0, 2, "S0") == 0) {
                headerSkipped = true; // one header record is not sent
                continue;
            }
            if (lineOpener) {
                t_.CommOut("?    \r");
                t_.TxSettle(kFragmentSettleMs);
            }
            SendFragments(line, prefix);
            t_.TxSettle(kLineSettleMs);
            if (isDvb(p)) {
                t_.CommOut(std::string(1, prefix) + "!   " + kCrLf);
                t_.TxSettle(kDvbLineEndSettleMs);
            }
        }
        t_.TxSettle(kTransferEndSettleMs);
        if (!isAcu(p)) {
            for (int i = 0; i < 2 && going(); ++i) {
                t_.CommOut(std::string(1, prefix) + "!   " + kCrLf);
                t_.TxSettle(kEndLineSettleMs);
            }
        }
    } else if (p == ModulePath::Cpanel) {
        while (going() && next() && line.size() >= kPanelShortLine) {
            t_.CommOut(line);
            t_.Pause(kPanelLineWait);
        }
    } else if (p == ModulePath::CPCU) {
        while (going() && next()) {
            t_.CommOut(line);
            t_.TxSettle(kBrineDirectSettleMs);
            t_.CommOut(kCrLf);
        }
    } else if (p == ModulePath::SPG2pcu || p == ModulePath::OrlaPCU) {
        const bool orla = p == ModulePath::OrlaPCU;
        if (orla) {
            t_.collect = true;
            t_.replyBuffer = "0";
        }
        bool first = true;
        while (going() && next()) {
            if (std::exchange(first, false))
                continue; // the first line is not sent
            const auto mark = t_.screen.mark();
            t_.CommOut(line + "\r");
            if (going())
                echo(mark, orla ? 1 : kServicePortEcho);
        }
        if (orla) {
            if (going()) {
                t_.Pause(kOrlaCheckWait);
                if (t_.replyBuffer.find("CRC is GOOD") != std::string::npos) {
                    t_.Write("Waiting for PCU to reboot" + kCrLf);
                    t_.Pause(kOrlaRebootWait);
                    t_.CommOut("%");
                }
            }
            t_.collect = false;
        }
    } else if (p == ModulePath::USBpcu || p == ModulePath::USBmdb || p == ModulePath::Vantor) {
        while (going() && next()) {
            t_.CommOut(line + kCrLf);
            t_.Pause(Ms{0});
        }
        // After Cancel nothing is said to be complete and the port is not given up.
        if (going() && !readError) {
            t_.Write(kCrLf + "Programming complete!" + kCrLf);
            ClosePortAndWaitReopen();
        }
    } else {
        for (;;) {
            long sent = 0;
            while (going() && next()) {
                t_.CommOut(line + kCrLf);
                ++sent;
                t_.Pause(Ms{std::max(0, t_.pacingMs)});
            }
            // Again from the start while "Loop Send Text File" is ticked; a file without
            // lines is not looped (there would be nothing to wait for).
            if (!going() || readError || !sender_.loop() || sent == 0)
                break;
            in.close();
            if (!in.open(file.path, error)) {
                t_.ui().message(file.path + "\r" + error, "", Buttons::Ok, Icon::Exclamation);
                readError = true;
                break;
            }
        }
    }

    const bool stopped = t_.abortFlag != 0;
    in.close();
    showProgress(false);
    t_.StopConnectTimer();
    // Any wait still running elsewhere ends with the transfer.
    t_.abortFlag = term::kAbortCancelled;
    if (readError)
        return TransferResult::FileError;
    return stopped ? TransferResult::Cancelled : TransferResult::Done;
}

// ---------------------------------------------------------------- restarts

void UploadEngine::RebootACU()
{
    t_.Pause(kRebootStep);
    t_.LogLine("PT:  Re-booting ACU");
    t_.CommOut("\\0090" + kCrLf);
    t_.Pause(kRebootStep);
    t_.LogLine("PT:  Re-booting CommIF");
    t_.CommOut("[Z" + kCrLf);
    if (!t_.serial && t_.linkOpen()) {
        t_.ToggleLink();
        t_.Pause(kTcpRebootWait);
        t_.ToggleLink();
    }
}

bool UploadEngine::ClosePortAndWaitReopen()
{
    if (t_.linkOpen()) {
        // Closing discards what the port still holds: the image's last lines leave first.
        t_.DrainOutput(kCloseDrainWait);
        t_.ToggleLink();
    }
    t_.LogLine("Closing USB/Service port");
    t_.Pause(kPortCloseWait);
    if (!t_.serial)
        return false;
    t_.LogLine("Waiting for application to restart");
    for (int attempt = 1; attempt <= kPortTries; ++attempt) {
        t_.Pause(kPortRetryEvery);
        if (t_.abortFlag != 0)
            return false; // Cancel: the port stays closed
        if (t_.ProbeLink()) {
            t_.ToggleLink();
            t_.LogLine("Update Cycle Complete !!");
            return true;
        }
    }
    t_.LogLine("Port did not re-open with 60 seconds");
    return false;
}

} // namespace upload
