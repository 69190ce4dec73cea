#include "VantorUpload.h"

#include "SRecord.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace upload {

using term::ModulePath;
using term::Terminal;
using Buttons = term::TerminalUi::Buttons;
using Icon = term::TerminalUi::Icon;

namespace {

const std::string kCrLf = "\r\n";
const std::string kCr = "\r";

bool aborted(const Terminal& t) { return t.abortFlag != 0; }

bool has(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

// The collect flag is set while a start listens, and cleared however it ends.
class Collecting {
public:
    explicit Collecting(Terminal& t) : t_(t) { t_.collect = true; }
    ~Collecting() { t_.collect = false; }
    Collecting(const Collecting&) = delete;
    Collecting& operator=(const Collecting&) = delete;

private:
    Terminal& t_;
};

// A start that did not get the bootloader: the abort flag stops what would follow.
UploadResult failed(Terminal& t, const char* line)
{
    t.LogLine(line);
    t.abortFlag = term::kAbortCancelled;
    return UploadResult::HandshakeFailed;
}

UploadResult startVantorApp(Terminal& t)
{
    Collecting collecting(t);
    t.LogLine("PT:  Checking Communication with Vantor");
    t.CommOut(kCrLf);
    t.Pause(kVantorWakeWait);
    t.replyBuffer.clear();
    t.CommOut("verA" + kCrLf);
    t.Pause(kVantorVersionWait);
    if (aborted(t))
        return UploadResult::Cancelled;
    if (!has(t.replyBuffer, "Vantor Ver"))
        return failed(t, "PT:  Unexpected response, check port settings and try again");
    t.LogLine("PT:  Vantor responding correctly, starting bootloader");
    t.Pause(kVantorBootDelay);

    for (int attempt = 1; attempt <= kVantorBootAttempts; ++attempt) {
        if (aborted(t))
            return UploadResult::Cancelled;
        t.LogLine("PT:  Bootloader start attempt  " + std::to_string(attempt));
        // A port that did not come back last time is tried once more before "^BL".
        if (!t.linkOpen())
            t.ToggleLink();
        if (t.linkOpen()) {
            t.CommOut("^BL" + kCrLf);
            // The command must have left before the port closes under it.
            t.TxSettle(0);
            if (aborted(t))
                return UploadResult::Cancelled;
            if (t.linkOpen()) // the port may have gone already, the module restarting
                t.ToggleLink();
            t.LogLine("Sending '^BL' Command to enter Bootloader mode");
        }
        t.Pause(kVantorPortGoneWait);
        t.LogLine("Closing USB Port");
        t.LogLine("Waiting for Bootloader to open USB port");
        t.Pause(kVantorPortBackWait);
        if (aborted(t))
            return UploadResult::Cancelled;
        if (!t.linkOpen())
            t.ToggleLink();
        if (t.linkOpen()) {
            t.LogLine("Port open, checking for Bootloader response");
            t.replyBuffer.clear();
            t.CommOut("verB" + kCrLf);
            t.Pause(kVantorVersionWait);
            if (aborted(t))
                return UploadResult::Cancelled;
            if (has(t.replyBuffer, "Ver")) {
                t.LogLine("PT:  Bootloader start is sucessful!");
                return UploadResult::Complete;
            }
        }
        t.LogLine("PT:  Bootloader start not sucessful, trying again");
    }
    return failed(t, " PT:  Bootloader start failed, cycle power to Vantor and try again");
}

UploadResult startOrlaPcu(Terminal& t)
{
    Collecting collecting(t);
    t.LogLine("PT:  Checking for Vantor Active");
    // What an earlier sequence left in the buffer is not the Vantor talking now.
    t.replyBuffer.clear();
    const bool streaming = t.WaitForReply();
    if (aborted(t))
        return UploadResult::Cancelled;
    if (streaming) {
        t.LogLine("PT:  Vantor Active, Send '$' until no more responses");
        bool stopped = false;
        for (int attempt = 1; attempt <= kOrlaStopAttempts && !stopped; ++attempt) {
            t.LogLine("PT:  Vantor Stop attempt  " + std::to_string(attempt));
            t.replyBuffer.clear();
            t.CommOut("$");
            t.Pause(kOrlaStopWait);
            if (aborted(t))
                return UploadResult::Cancelled;
            stopped = t.replyBuffer.size() < kOrlaStreamChars;
        }
        if (!stopped)
            return failed(t, "PT:  Vantor stop failed, check Com Ports and try again");
    } else {
        t.LogLine("PT:  Vantor inactive, Skip '$' command");
    }

    t.replyBuffer.clear();
    t.CommOut("$");
    t.Pause(kOrlaProbeWait);
    if (aborted(t))
        return UploadResult::Cancelled;
    if (has(t.replyBuffer, "ERASE")) {
        t.LogLine("PT:  Bootloarder already active, skip '^B' command");
        return UploadResult::Complete;
    }

    for (int attempt = 1; attempt <= kOrlaBootAttempts; ++attempt) {
        t.LogLine("PT:  Bootloader start attempt " + std::to_string(attempt));
        t.replyBuffer.clear();
        t.CommOut(kCr);
        t.CommOut("^B" + kCr);
        t.Pause(kOrlaBootWait);
        if (aborted(t))
            return UploadResult::Cancelled;
        if (has(t.replyBuffer, "BootLoader"))
            return UploadResult::Complete;
    }
    return failed(t, "PT:  Bootloader start failed, check Com Ports and try again");
}

} // namespace

UploadResult StartVantorBootloader(UploadEngine& e)
{
    Terminal& t = e.terminal();
    return e.paths().selected() == ModulePath::OrlaPCU ? startOrlaPcu(t) : startVantorApp(t);
}

UploadResult OrlaErase(UploadEngine& e)
{
    Terminal& t = e.terminal();
    for (int attempt = 1; attempt <= kOrlaEraseAttempts; ++attempt) {
        t.LogLine("PT:  Erase attempt " + std::to_string(attempt));
        const auto mark = t.screen.mark();
        t.CommOut("^0578" + kCr);
        t.Pause(kOrlaEraseWait);
        if (aborted(t))
            return UploadResult::Cancelled;
        if (!has(t.screen.since(mark), "Erasing"))
            continue;
        t.Pause(kOrlaEraseWait);
        if (aborted(t))
            return UploadResult::Cancelled;
        if (has(t.screen.since(mark), "OK"))
            return UploadResult::Complete;
    }
    // Nothing may be sent into a PCU whose memory was not erased.
    t.abortFlag = term::kAbortCancelled;
    return UploadResult::EraseFailed;
}

UploadResult AutoUploadVantor(UploadEngine& e)
{
    Terminal& t = e.terminal();
    const ModulePath p = e.paths().selected();
    if (p != ModulePath::Vantor && p != ModulePath::OrlaPCU) {
        t.LogLine("PT:  Auto Upload of this module path is not available in this version of the terminal");
        return UploadResult::NotAvailable;
    }
    if (CheckUploadFile(t, p, e.chooseFile, e.file) != CheckResult::Passed)
        return UploadResult::FileRefused;

    t.abortFlag = 0;
    const UploadResult started = StartVantorBootloader(e);
    if (started != UploadResult::Complete)
        return started;

    t.Pause(kBeforeEraseWait);
    if (aborted(t))
        return UploadResult::Cancelled;
    if (p == ModulePath::OrlaPCU) {
        const UploadResult erased = OrlaErase(e);
        if (erased == UploadResult::EraseFailed)
            t.LogLine("PT:  Un-sucessful Erase, Manually reset the PCU and try the Auto Upload function again");
        if (erased != UploadResult::Complete)
            return erased;
    } else {
        e.Erase();
        if (aborted(t))
            return UploadResult::Cancelled;
    }

    t.Pause(kBeforeTransferWait);
    if (aborted(t))
        return UploadResult::Cancelled;
    switch (e.Transfer()) {
    case UploadEngine::TransferResult::Done:
        break;
    case UploadEngine::TransferResult::Cancelled:
        // A module that stopped answering the lines is an error of the transfer, not a Cancel.
        return e.echoTimedOut() ? UploadResult::TransferErrors : UploadResult::Cancelled;
    case UploadEngine::TransferResult::NoFile:
    case UploadEngine::TransferResult::FileError:
    case UploadEngine::TransferResult::Busy:
        return UploadResult::TransferErrors;
    }
    if (p == ModulePath::OrlaPCU)
        return has(t.replyBuffer, "CRC is GOOD") ? UploadResult::Complete : UploadResult::TransferErrors;
    // The Vantor's application has to come back on its USB port ("Update Cycle Complete !!").
    return t.serial && !t.linkOpen() ? UploadResult::TransferErrors : UploadResult::Complete;
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The messages of an SLCD whose firmware update cannot be trusted.
void overrun(Terminal& t)
{
    t.LogLine("!! OVERRUN ERROR !!  The Firmware update was not sucessful.");
    t.LogLine("You must cycle power to the Vantor to restore bootloader operation,");
    t.LogLine("then repeat the SLCD upload proceedure.");
}

void closeUsbPort(Terminal& t)
{
    if (t.linkOpen())
        t.ToggleLink();
}

} // namespace

UploadResult AutoUploadSLCD(UploadEngine& e)
{
    Terminal& t = e.terminal();
    t.ClearScreen();
    t.LogLine("PT:  Module =" + t.moduleLabel);
    std::string path;
    std::uint64_t size = 0;
    const CheckResult check = CheckBinFile(t, e.chooseFile, path, size);
    if (!path.empty())
        e.file = UploadFile{path, false, {}}; // the upload history names the BIN image
    if (check != CheckResult::Passed)
        return UploadResult::FileRefused;
    t.LogLine("File size is " + std::to_string(size) + " bytes");

    // The link to the SLCD through the Vantor.
    bool answered = false;
    for (int attempt = 1; attempt <= kSlcdLinkAttempts && !answered; ++attempt) {
        t.LogLine("PT:  Checking communication with Vantor, send '^478' ");
        const auto mark = t.screen.mark();
        t.CommOut("^478" + kCr);
        t.Pause(kSlcdLinkWait);
        if (aborted(t))
            return UploadResult::Cancelled;
        answered = t.screen.answerLength(mark) > 0;
        t.LogLine(answered ? "PT:  Vantor Communication with SLCD is active" : "PT:  Vantor not responding, trying again");
    }
    if (!answered) {
        t.LogLine("PT:  Vantor not responding.  Check cables and port settings.");
        t.LogLine("     Cycle power to Vantor and try the Auto Upload function again");
        t.LogLine("PT:  Closing USB port.");
        closeUsbPort(t);
        return UploadResult::HandshakeFailed;
    }

    t.LogLine("PT:  Sending file size to module: " + std::to_string(size));
    t.CommOut("^479" + std::to_string(size) + kCr);
    t.Pause(kSlcdSizeWait);
    if (aborted(t))
        return UploadResult::Cancelled;

    t.LogLine("PT:  Module Erase, Waiting for Erase to complete: ");
    const auto eraseMark = t.screen.mark();
    e.Erase(); // "^378" CR LF
    t.Pause(kSlcdEraseWait);
    if (aborted(t))
        return UploadResult::Cancelled;
    if (t.screen.since(eraseMark).rfind('*', 0) != 0) {
        t.LogLine("PT:  Un-sucessful Erase, Manually reset the Vantor and try the Auto Upload function again");
        return UploadResult::EraseFailed;
    }
    t.LogLine("PT:  Sucessful Erase");

    t.LogLine("PT:  Programming Module");
    enum class End { Sent, Cancelled, Silent, FileError } end = End::Sent;
    std::string fileError;
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    if (!in) {
        fileError = std::strerror(errno);
        end = End::FileError;
    }
    t.StartConnectTimer();
    t.abortFlag = 0;
    if (e.onProgressWindow)
        e.onProgressWindow(true, kProgressCaption, kBinProgressText + path);

    long blocks = 0;
    std::size_t lastBlock = 0;
    char block[kBinBlock];
    while (end == End::Sent) {
        if (aborted(t)) {
            end = End::Cancelled;
            break;
        }
        const auto mark = t.screen.mark();
        const std::size_t n = std::fread(block, 1, sizeof block, in.get());
        if (n == 0) {
            if (std::ferror(in.get())) {
                fileError = std::strerror(errno ? errno : EIO);
                end = End::FileError;
            }
            break;
        }
        t.CommOut(std::string(block, n));
        if (aborted(t)) {
            end = End::Cancelled; // the link closed under the transfer
            break;
        }
        ++blocks;
        lastBlock = n;
        const bool echoed = t.clock().waitUntil(
            [&] { return t.abortFlag != 0 || t.screen.answerLength(mark) > 0; }, kSlcdBlockEchoWait);
        if (t.screen.answerLength(mark) > 0)
            continue;
        end = echoed ? End::Cancelled : End::Silent;
    }
    in.reset();

    bool overdue = false;
    if (end == End::Sent) {
        t.LogLine("PT:  Performing Firmware Update");
        t.collect = true;
        const Ms deadline = t.clock().now() + kSlcdUpdateDeadline;
        do {
            t.replyBuffer.clear();
            const auto mark = t.screen.mark();
            t.clock().waitUntil([&] { return t.abortFlag != 0 || t.screen.answerLength(mark) > 0; },
                                kSlcdUpdateSilence);
            if (aborted(t)) {
                end = End::Cancelled;
                break;
            }
            if (t.screen.answerLength(mark) == 0) {
                t.LogLine("PT:  Timoout waiting for Firmware Update");
                break;
            }
            if (t.replyBuffer == "*")
                break;
        } while (t.clock().now() < deadline);
        overdue = t.clock().now() >= deadline;
        t.collect = false;
    }
    if (e.onProgressWindow)
        e.onProgressWindow(false, kProgressCaption, {});
    t.StopConnectTimer();

    UploadResult r = UploadResult::Complete;
    switch (end) {
    case End::Sent:
        if (overdue)
            r = UploadResult::TransferErrors;
        break;
    case End::Cancelled:
        t.LogLine("PT:  WARNING Upload Cancled");
        r = UploadResult::Cancelled;
        break;
    case End::Silent:
        t.LogLine("PT:  No answer from the module for " + std::to_string(kSlcdBlockEchoWait.count() / 1000)
                  + " seconds after a block, the transfer stops");
        r = UploadResult::TransferErrors;
        break;
    case End::FileError:
        // The SLCD has been erased by now: it waits for an image that will not come.
        t.ui().message(path + "\r" + fileError, "", Buttons::Ok, Icon::Exclamation);
        t.LogLine("PT:  The upload file could not be read; the SLCD has been erased");
        r = UploadResult::TransferErrors;
        break;
    }
    if (r == UploadResult::Complete) {
        t.LogLine("PT:  Programming Complete " + std::to_string(blocks) + " lines");
        t.LogLine("PT:  " + std::to_string(lastBlock) + " characters in last line");
        t.LogLine("Please cycle power to the Vantor to restore operation.");
    } else {
        overrun(t);
    }
    closeUsbPort(t);
    t.LogLine("USB port has been closed.");
    t.LogLine("Click on 'connect' LED to re-open port after Vantor initializes.");
    return r;
}

} // namespace upload
