#include "AutoUploadPcu.h"

#include "SRecord.h"

namespace upload {

using term::ModulePath;
using Buttons = term::TerminalUi::Buttons;
using Icon = term::TerminalUi::Icon;

namespace {

const std::string kCrLf = "\r\n";
const std::string kEsc(1, '\x1b');
const std::string kVt(1, '\x0b');

Step line(const std::string& text) { return {Step::Kind::Send, text + kCrLf, 0}; }
Step settle(int ms) { return {Step::Kind::Settle, {}, ms}; }

// One bootloader start try of the PCU through the ACU: "^0080" built in the translation port.
const std::vector<Step>& pcuBootStartTry()
{
    static const std::vector<Step> steps = {
        line("^0086"), settle(200), line("?^"), settle(200), line("#0080"), settle(200),
        line("#" + kVt + "  "), settle(500), line("#!   "),
    };
    return steps;
}

// The end of a transfer through the ACU: "#" followed by "!" and four blanks.
const std::string kEndOfTransfer = "#!    " + kCrLf;

bool has(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

// The version text after a marker, up to the next blank or line end (empty without the marker).
std::string versionAfter(const std::string& answer, const std::string& marker)
{
    const size_t at = answer.find(marker);
    if (at == std::string::npos)
        return {};
    const size_t from = at + marker.size();
    const size_t end = answer.find_first_of(" \r\n", from);
    return answer.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

} // namespace

AutoUploadPcu::AutoUploadPcu(UploadEngine& engine) : e_(engine), t_(engine.terminal()) {}

bool AutoUploadPcu::handles(ModulePath p)
{
    return isPcuViaAcu(p) || p == ModulePath::TAV8mdb || p == ModulePath::USBpcu || p == ModulePath::SPG2pcu
           || p == ModulePath::USBmdb || engineFramed(p);
}

bool AutoUploadPcu::engineFramed(ModulePath p) { return isModem(p) || p == ModulePath::CPCU; }

const char* AutoUploadPcu::unitName(ModulePath p)
{
    if (isPcuViaAcu(p) || p == ModulePath::USBpcu || p == ModulePath::SPG2pcu)
        return "PCU";
    if (p == ModulePath::TAV8mdb || p == ModulePath::USBmdb)
        return "Motor Driver";
    return "module";
}

bool AutoUploadPcu::aborted() const { return t_.abortFlag != 0; }

UploadResult AutoUploadPcu::fail(UploadResult r, const std::string& step)
{
    outcome_ = step;
    return r;
}

void AutoUploadPcu::run(const std::vector<Step>& steps)
{
    for (const Step& s : steps) {
        if (aborted())
            return;
        if (s.kind == Step::Kind::Send)
            t_.CommOut(s.bytes);
        else if (s.kind == Step::Kind::Settle)
            t_.TxSettle(s.ms);
    }
}

bool AutoUploadPcu::readyForRestart()
{
    if (!t_.linkOpen())
        return false;
    t_.abortFlag = 0;
    return true;
}

void AutoUploadPcu::closeLink()
{
    if (t_.linkOpen())
        t_.ToggleLink();
}

// ---------------------------------------------------------------- handshakes

UploadResult AutoUploadPcu::handshake(ModulePath p)
{
    switch (p) {
    case ModulePath::USBpcu:
    case ModulePath::SPG2pcu:
        return directPcuHandshake();
    case ModulePath::USBmdb:
        return directMdeHandshake();
    default:
        return routedHandshake(p);
    }
}

UploadResult AutoUploadPcu::routedHandshake(ModulePath p)
{
    const bool mde = p == ModulePath::TAV8mdb;
    bool acuAnswered = false;
    for (int attempt = 1; attempt <= kCommAttempts && !acuAnswered; ++attempt) {
        t_.LogLine("");
        t_.LogLine("PT:  Checking communication with ACU, send 'S'");
        const auto mark = t_.screen.mark();
        t_.CommOut(kEsc + "S");
        t_.Pause(kAcuAnswerWait);
        if (aborted())
            return fail(UploadResult::Cancelled, "cancelled at the handshake");
        if (t_.screen.answerLength(mark) >= kAppAnswerMin) {
            acuAnswered = true;
            break;
        }
        t_.LogLine("PT:  ACU not responding, Attempting soft reset (\\0090).");
        t_.CommOut("\\0090" + kCrLf);
        t_.Pause(kSoftResetWait);
    }
    if (aborted())
        return fail(UploadResult::Cancelled, "cancelled at the handshake");
    if (!acuAnswered) {
        t_.LogLine("PT:  Unable to communicate with ACU.  Manually reset the ACU and try the Auto Upload function again");
        return fail(UploadResult::HandshakeFailed, "handshake: ACU not responding");
    }

    t_.LogLine("PT:  Normal ACU response, Sending RESET command (\\0090) to clear previous state");
    t_.CommOut("\\0090" + kCrLf);
    t_.Pause(kSoftResetWait);
    t_.LogLine("PT:  Setup ACU for Remote Module Programming");
    e_.RemoteSetup();
    t_.Pause(kRemoteSetupSettle);
    if (aborted())
        return fail(UploadResult::Cancelled, "cancelled at the remote-upload setup");

    t_.LogLine("");
    t_.LogLine("PT:  Checking communication with PCU, send '?S'");
    const auto mark = t_.screen.mark();
    t_.CommOut("?S" + kCrLf);
    t_.Pause(kUnitStatusWait);
    if (aborted())
        return fail(UploadResult::Cancelled, "cancelled at the handshake");
    const std::uint64_t n = t_.screen.answerLength(mark);

    if (mde) {
        t_.LogLine(n == kPcuStatusAnswer ? "PT:  PCU responding normally, start Remote Bootloader"
                                         : "PT:  Unexpected response, try to re-start Bootloader");
        return startMdeBootloader();
    }
    if (n == kPcuStatusAnswer || n == kPcuStatusAnswerLong) {
        t_.LogLine("PT:  PCU responding normally, Check PCU version number (send ?V)");
        switch (pcuVersion()) {
        case Version::Aborted:
            return fail(UploadResult::Cancelled, "cancelled at the version check");
        case Version::Differ:
            // Unlike the ACU's own upload there is no question: the PCU is not programmed.
            t_.LogLine("PT:  File and Module major version numbers do not match, Cannot proceed.");
            e_.RebootACU();
            return fail(UploadResult::HandshakeFailed, "handshake: major versions differ");
        case Version::Verified:
            t_.LogLine("PT:  File and Module major version numbers verified, reset PCU to default state");
            break;
        case Version::Unread:
            break;
        }
    } else {
        t_.LogLine("PT:  Unexpected response, try to re-start Bootloader");
    }
    return startPcuBootloader();
}

AutoUploadPcu::Version AutoUploadPcu::pcuVersion()
{
    const auto mark = t_.screen.mark();
    t_.CommOut("?V" + kCrLf);
    t_.Pause(kUnitVersionWait);
    if (aborted())
        return Version::Aborted;
    const std::string answer = t_.screen.since(mark);
    const size_t ver = std::min(answer.find("VER "), answer.find("Ver "));
    if (ver == std::string::npos)
        return Version::Unread;
    const size_t dot = answer.find('.', ver + 4);
    if (dot == std::string::npos)
        return Version::Unread;
    moduleVersion_ = versionAfter(answer.substr(ver), answer.substr(ver, 4)); // "VER " or "Ver "
    const char fileMajor = e_.file.version.empty() ? '\0' : e_.file.version[0];
    return answer[dot - 1] == fileMajor ? Version::Verified : Version::Differ;
}

UploadResult AutoUploadPcu::startPcuBootloader()
{
    t_.CommOut("n0000" + kCrLf);
    t_.Pause(kDrivesOffWait);
    if (aborted())
        return fail(UploadResult::Cancelled, "cancelled at the bootloader start");
    t_.LogLine("PT:  PCU motor drives disabled, start Bootloader");
    for (int attempt = 1; attempt <= kBootStartTries; ++attempt) {
        t_.LogLine("PT:  Bootload Start Try " + std::to_string(attempt));
        const auto mark = t_.screen.mark();
        run(pcuBootStartTry());
        t_.Pause(kBootStartAnswerWait);
        if (aborted())
            return fail(UploadResult::Cancelled, "cancelled at the bootloader start");
        if (t_.screen.since(mark).find_first_of("V^") != std::string::npos) {
            t_.LogLine("PT:  Bootloader Active, start Erase");
            return UploadResult::Complete;
        }
    }
    t_.LogLine("PT:  PCU Bootloader not responding,  Power cycle the PCU and try the Auto Upload function again");
    return fail(UploadResult::HandshakeFailed, "handshake: PCU bootloader not responding");
}

UploadResult AutoUploadPcu::startMdeBootloader()
{
    for (int attempt = 1; attempt <= kBootStartTries; ++attempt) {
        t_.LogLine("PT:  Bootload Start Try " + std::to_string(attempt));
        const auto mark = t_.screen.mark();
        e_.Start(); // the path's Start: remote-upload setup and "]0080" built in the translation port
        t_.Pause(kBootStartAnswerWait);
        if (aborted())
            return fail(UploadResult::Cancelled, "cancelled at the bootloader start");
        if (has(t_.screen.since(mark), "D")) {
            t_.LogLine("PT:  Bootloader Active, start Erase");
            return UploadResult::Complete;
        }
    }
    t_.LogLine("PT:  MDE Bootloader not responding,  Power cycle the PCU and try the Auto Upload function again");
    return fail(UploadResult::HandshakeFailed, "handshake: MDE bootloader not responding");
}

std::optional<std::string> AutoUploadPcu::askDirectUnit(const std::string& question)
{
    t_.CommOut(kCrLf);
    t_.Pause(kWakeWait);
    const auto mark = t_.screen.mark();
    t_.CommOut(question + kCrLf);
    t_.Pause(kUnitVersionWait);
    if (aborted())
        return std::nullopt;
    return t_.screen.since(mark);
}

std::optional<std::string> AutoUploadPcu::directBootStart()
{
    t_.LogLine("PT:  Bootload Start");
    const auto mark = t_.screen.mark();
    e_.Start();
    t_.Pause(kBootStartAnswerWait);
    if (aborted())
        return std::nullopt;
    return t_.screen.since(mark);
}

UploadResult AutoUploadPcu::directPcuHandshake()
{
    t_.LogLine("");
    t_.LogLine("PT:  Checking communication with PCU, send '?V'");
    const auto reply = askDirectUnit("?V");
    if (!reply)
        return fail(UploadResult::Cancelled, "cancelled at the handshake");
    const std::string& answer = *reply;
    if (has(answer, "VER")) {
        moduleVersion_ = versionAfter(answer, "VER ");
        t_.LogLine("PT:  PCU responding normally, start Remote Bootloader");
    } else {
        t_.LogLine("PT:  PCU not responding, see if Bootloader is active");
    }
    const auto started = directBootStart(); // "^0080"
    if (!started)
        return fail(UploadResult::Cancelled, "cancelled at the bootloader start");
    if (has(*started, "USB") || has(*started, "Service")) {
        t_.LogLine("PT:  Bootloader Active, start Erase");
        return UploadResult::Complete;
    }
    t_.LogLine("PT:  PCU Bootloader not responding, Exit!");
    return fail(UploadResult::HandshakeFailed, "handshake: PCU bootloader not responding");
}

UploadResult AutoUploadPcu::directMdeHandshake()
{
    t_.LogLine("");
    t_.LogLine("PT:  Checking communication with MDE, send '*'");
    const auto reply = askDirectUnit("*");
    if (!reply)
        return fail(UploadResult::Cancelled, "cancelled at the handshake");
    const std::string& answer = *reply;
    if (!has(answer, "MDB V")) {
        t_.LogLine("PT:  MDE not responding. EXIT!");
        return fail(UploadResult::HandshakeFailed, "handshake: MDE not responding");
    }
    moduleVersion_ = versionAfter(answer, "MDB V");
    t_.LogLine("PT:  MDE responding normally, start Remote Bootloader");
    const auto started = directBootStart(); // "]0080"
    if (!started)
        return fail(UploadResult::Cancelled, "cancelled at the bootloader start");
    if (has(*started, "USB")) {
        t_.LogLine("PT:  Bootloader Active, start Erase");
        return UploadResult::Complete;
    }
    t_.LogLine("PT:  MDE Bootloader not responding, Exit!");
    return fail(UploadResult::HandshakeFailed, "handshake: MDE bootloader not responding");
}

// ---------------------------------------------------------------- transfers

UploadResult AutoUploadPcu::transfer(ModulePath p, TextLines& in)
{
    if (p == ModulePath::USBpcu || p == ModulePath::SPG2pcu || p == ModulePath::USBmdb)
        return directTransfer(p, in);
    return routedTransfer(p, in);
}

void AutoUploadPcu::endLines()
{
    for (int i = 0; i < 2 && !aborted(); ++i) {
        t_.CommOut(kEndOfTransfer);
        t_.TxSettle(kEndLineSettleMs);
    }
}

UploadResult AutoUploadPcu::routedTransfer(ModulePath p, TextLines& in)
{
    const bool mde = p == ModulePath::TAV8mdb;
    // The PCU says "_" for a record it refuses, looked for every 20 lines and after the end; the
    // motor driver says "#", looked for once, in what comes after the last line.
    const char errorMark = mde ? '#' : '_';
    auto mark = t_.screen.mark();
    auto errorSince = [&] { return t_.screen.since(mark).find(errorMark) != std::string::npos; };
    bool errors = false, readError = false;
    int lines = 0;
    std::string text;
    while (!aborted()) {
        if (!in.next(text)) {
            if (!in.error().empty()) {
                t_.ui().message(in.error(), "", Buttons::Ok, Icon::Exclamation);
                readError = true;
            }
            break;
        }
        t_.CommOut("?    " + kCrLf);
        t_.TxSettle(kLineOpenSettleMs);
        e_.SendFragments(text, '#');
        t_.TxSettle(kLineSettleMs);
        t_.CommOut("#!   " + kCrLf);
        t_.TxSettle(kLineCloseSettleMs);
        if (!mde && ++lines % kCheckpointLines == 0) {
            if (errorSince()) {
                errors = true;
                break;
            }
            mark = t_.screen.mark();
        }
    }
    if (!errors && !readError && !aborted()) {
        if (mde) {
            mark = t_.screen.mark();
            t_.TxSettle(kMdeEndSettleMs);
        } else {
            t_.TxSettle(kPcuEndSettleMs);
        }
        endLines();
        errors = errorSince();
    }
    // A read error leaves the image incomplete: it is an error, never a success.
    errors = errors || readError;

    if (mde) {
        UploadResult r = UploadResult::Complete;
        if (errors) {
            t_.TxSettle(kMdeVerdictSettleMs);
            t_.LogLine("PT:  WARNING Errors detected");
            t_.LogLine("PT:  Try running the Auto Upload function again");
            t_.LogLine("PT:  Re-booting PCU");
            r = fail(UploadResult::TransferErrors, "errors detected");
        } else if (aborted()) {
            t_.LogLine("PT:  WARNING Upload Cancled");
            t_.LogLine("PT:  Re-Booting PCU");
            r = fail(UploadResult::Cancelled, "cancelled during the transfer");
        } else {
            t_.TxSettle(kMdeVerdictSettleMs);
            t_.LogLine("PT:  Motor Driver programming complete, No errors detected!!");
            t_.LogLine("PT:  Re-Booting PCU");
        }
        if (readyForRestart()) {
            t_.CommOut("^0090" + kCrLf);
            t_.TxSettle(kPcuRestartSettleMs);
            e_.RebootACU();
        }
        return r;
    }

    if (errors) {
        t_.LogLine("PT:  WARNING Errors detected, PCU will be inoperative");
        t_.LogLine("PT:  Try running the Auto Upload function again");
        e_.cancel();
        if (readyForRestart())
            e_.RebootACU();
        return fail(UploadResult::TransferErrors, "errors detected");
    }
    if (aborted()) {
        t_.LogLine("PT:  WARNING Upload Cancled");
        t_.LogLine("PT:  PCU will be inoperative, ");
        if (readyForRestart())
            e_.RebootACU();
        return fail(UploadResult::Cancelled, "cancelled during the transfer");
    }
    t_.LogLine("PT:  PCU programming complete, No errors detected!!");
    e_.RebootACU();
    return UploadResult::Complete;
}

bool AutoUploadPcu::echoed(term::TerminalScreen::Mark since)
{
    const bool ended = t_.clock().waitUntil(
        [&] { return aborted() || t_.screen.answerLength(since) >= kServicePortEcho; }, kServiceEchoWait);
    if (t_.screen.answerLength(since) >= kServicePortEcho)
        return true;
    if (ended)
        return false; // Cancel
    t_.LogLine("PT:  No answer from the PCU for " + std::to_string(kServiceEchoWait.count() / 1000)
               + " seconds after a line, the transfer stops");
    t_.abortFlag = term::kAbortCancelled;
    outcome_ = "cancelled: no echo from the PCU";
    return false;
}

UploadResult AutoUploadPcu::directTransfer(ModulePath p, TextLines& in)
{
    const bool service = p == ModulePath::SPG2pcu;
    const bool mde = p == ModulePath::USBmdb;
    auto last = t_.screen.mark(); // before the last line sent: its answer must hold "Ok"
    bool readError = false;
    std::string text;
    while (!aborted()) {
        if (!in.next(text)) {
            if (!in.error().empty()) {
                t_.ui().message(in.error(), "", Buttons::Ok, Icon::Exclamation);
                readError = true;
            }
            break;
        }
        last = t_.screen.mark();
        t_.CommOut(text + kCrLf);
        if (service) {
            if (!aborted() && !echoed(last))
                break;
        } else {
            t_.Pause(Ms{0}); // a yield: what the unit says is shown as it comes
        }
    }
    if (!aborted() && !readError) {
        t_.CommOut(kCrLf);
        t_.Pause(Ms{0});
        t_.TxSettle(kDirectEndSettleMs);
        t_.Pause(Ms{0});
        // Over USB the lines follow each other without waiting: the last line's "Ok" may still
        // be on its way when the line has taken the last bytes. It is waited for as long as
        // the line needs for what it still holds (a quarter more for a device slower than its
        // settings say), and kUsbOkWait more, before it is judged.
        if (!service) {
            const Ms busy = t_.lineBusyFor();
            t_.clock().waitUntil([&] { return aborted() || has(t_.screen.since(last), "Ok"); },
                                 busy + busy / 4 + kUsbOkWait);
        }
    }

    if (aborted()) {
        t_.LogLine("PT:  WARNING Upload Cancled");
        t_.LogLine(mde ? "PT:  Re-Booting MDE" : "PT:  Re-Booting PCU");
        const bool open = readyForRestart();
        if (open)
            t_.CommOut((mde ? "S9" : "S9030000FC") + kCrLf);
        if (mde || !service) {
            if (open)
                t_.TxSettle(mde ? kDirectRestartSettleMs : 0); // the restart command leaves first
            t_.LogLine("PT:  Closing Port ");
            closeLink();
        } else if (open) {
            t_.TxSettle(kDirectRestartSettleMs);
        }
        return fail(UploadResult::Cancelled, outcome_.empty() ? "cancelled during the transfer" : outcome_);
    }
    if (!readError && has(t_.screen.since(last), "Ok")) {
        t_.LogLine(mde ? "PT:  MDE programming complete, No errors detected!! "
                       : "PT:  PCU programming complete, No errors detected!! ");
        return service ? UploadResult::Complete : portReturn();
    }
    t_.LogLine("PT:  WARNING Errors detected");
    t_.LogLine("PT:  Try running the Auto Upload function again");
    t_.TxSettle(kDirectRestartSettleMs);
    if (mde) {
        e_.ClosePortAndWaitReopen();
    } else if (!service) {
        t_.LogLine("PT:  Closing Port ");
        closeLink();
    }
    return fail(UploadResult::TransferErrors, "errors detected");
}

UploadResult AutoUploadPcu::portReturn()
{
    if (e_.ClosePortAndWaitReopen())
        return UploadResult::Complete;
    if (aborted())
        return fail(UploadResult::Cancelled, "cancelled while waiting for the port");
    if (!t_.serial)
        return UploadResult::Complete; // a network link is not waited for
    // The unit took the image but its port never came back: its program has not started.
    return fail(UploadResult::TransferErrors, "programmed, the port did not re-open");
}

UploadResult AutoUploadPcu::engineTransfer()
{
    t_.LogLine("PT:  Begin Module Upload");
    using T = UploadEngine::TransferResult;
    switch (e_.Transfer()) {
    case T::Done:
        // The Brine PCU's transfer ends on a line end that may still be on its way: the upload
        // is over once it has left (the link may be closed right after).
        if (t_.linkOpen()) {
            t_.abortFlag = 0;
            t_.TxSettle(0);
        }
        t_.LogLine("PT:  Module upload complete (this module path reports no errors)");
        return UploadResult::Complete;
    case T::Cancelled:
        t_.LogLine("PT:  WARNING Upload Cancled");
        t_.LogLine("PT:  Please run the Auto Upload function again");
        return fail(UploadResult::Cancelled, "cancelled during the transfer");
    default:
        t_.LogLine("PT:  WARNING Errors detected");
        t_.LogLine("PT:  Try running the Auto Upload function again");
        return fail(UploadResult::TransferErrors, "the upload file could not be read");
    }
}

} // namespace upload
