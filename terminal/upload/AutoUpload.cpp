#include "AutoUpload.h"

#include "AutoUploadPcu.h"
#include "SRecord.h"
#include "VantorUpload.h"

namespace upload {

using term::ModulePath;
using term::Terminal;
using Buttons = term::TerminalUi::Buttons;
using Icon = term::TerminalUi::Icon;
using Answer = term::TerminalUi::Answer;

namespace {

const std::string kCrLf = "\r\n";
const std::string kEsc(1, '\x1b');

const char* const kCrossVersion67 =
    "WARNING:\rYou are about to load TAV-6850 Software (7.xx) onto a TAV-6840 ACU Assembly (6.xx).\r"
    "This may render the Front Panel keyboard and display inoperable!\r\rContinue anyway, Yes or No ?";
const char* const kCrossVersion76 =
    "WARNING:\rYou are about to load TAV-6840 Software (6.xx) onto a TAV-6850 ACU Assembly (7.xx).\r"
    "This may render the Front Panel keyboard and display inoperable!\r\rContinue anyway, Yes or No ?";

// The paths reached through the ACU, whose external ports are locked first.
bool throughAcu(ModulePath p)
{
    switch (p) {
    case ModulePath::USBpcu:
    case ModulePath::USBmdb:
    case ModulePath::SPG2pcu:
    case ModulePath::Vantor:
    case ModulePath::SLCD:
    case ModulePath::OrlaPCU:
        return false;
    default:
        return true;
    }
}

} // namespace

const char* resultText(UploadResult r)
{
    switch (r) {
    case UploadResult::Complete: return "complete";
    case UploadResult::FileRefused: return "file refused";
    case UploadResult::HandshakeFailed: return "handshake failed";
    case UploadResult::EraseFailed: return "erase failed";
    case UploadResult::TransferErrors: return "errors detected";
    case UploadResult::Cancelled: return "cancelled";
    case UploadResult::NotAvailable: return "not available";
    case UploadResult::Busy: return "busy";
    }
    return "";
}

AutoUpload::AutoUpload(UploadEngine& engine) : e_(engine), t_(engine.terminal())
{
    autoUploadVantor = [this] { return AutoUploadVantor(e_); };
    autoUploadSLCD = [this] { return AutoUploadSLCD(e_); };
}

bool AutoUpload::aborted() const { return t_.abortFlag != 0; }

UploadResult AutoUpload::fail(UploadResult r, const std::string& step)
{
    outcome_ = step;
    return r;
}

UploadResult AutoUpload::cmdAUpload_Click()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return UploadResult::Busy;
    const Ms began = t_.clock().now();
    moduleVersion_.clear();
    outcome_.clear();
    check_ = CheckResult::Passed;
    const ModulePath p = e_.paths().selected();
    const std::function<UploadResult()>* own = nullptr;
    if (p == ModulePath::OrlaPCU || p == ModulePath::Vantor)
        own = &autoUploadVantor;
    else if (p == ModulePath::SLCD)
        own = &autoUploadSLCD;
    UploadResult r;
    if (own && *own) {
        r = (*own)();
    } else if (own) {
        t_.LogLine("PT:  Auto Upload of this module path is not available in this version of the terminal");
        r = UploadResult::NotAvailable;
    } else {
        r = AutoUploadModule();
    }
    // A file was chosen: the run is recorded, whatever became of it.
    if (r != UploadResult::NotAvailable && check_ != CheckResult::Cancelled)
        e_.record(began, outcome_.empty() ? resultText(r) : outcome_, moduleVersion_);
    return r;
}

UploadResult AutoUpload::AutoUploadModule()
{
    const ModulePath p = e_.paths().selected();
    const bool acu = isAcu(p);
    if (!acu && !AutoUploadPcu::handles(p)) {
        t_.LogLine("PT:  Auto Upload of this module path is not available in this version of the terminal");
        return UploadResult::NotAvailable;
    }
    check_ = CheckUploadFile(t_, p, e_.chooseFile, e_.file);
    if (check_ != CheckResult::Passed)
        return fail(UploadResult::FileRefused, "file refused");

    t_.abortFlag = 0;
    if (throughAcu(p)) {
        t_.Pause(kLockWait);
        t_.LogLine("PT:  Locking external port access");
        t_.CommOut(kEsc + "[L" + kCrLf);
        t_.Pause(kLockWait);
        if (aborted())
            return fail(UploadResult::Cancelled, "cancelled at the port lock");
    }

    // The PCU, motor-driver, modem and Brine PCU paths: their own handshake (none for the
    // modems and Brine PCU Direct), the common erase, their own transfer and completion.
    if (!acu)
        return unitUpload(p);

    // The ACU's handshake.
    switch (acuCheck()) {
    case AcuCheck::Aborted:
        return fail(UploadResult::Cancelled, "cancelled at the handshake");
    case AcuCheck::NotResponding:
        t_.LogLine("PT:  ACU not responding.  Manually reset the ACU and try the Auto Upload function again");
        return fail(UploadResult::HandshakeFailed, "handshake: ACU not responding");
    case AcuCheck::VersionsDiffer:
        t_.LogLine("PT:  File and Module major version numbers do not match, Cannot proceed.");
        return fail(UploadResult::HandshakeFailed, "handshake: major versions differ");
    case AcuCheck::Unexpected:
        t_.LogLine("PT:  Unexpected response, Check port connections and try Auto Upload again");
        return fail(UploadResult::HandshakeFailed, "handshake: unexpected response");
    case AcuCheck::InBootloader:
        break;
    case AcuCheck::Verified:
        if (!startAcuBootloader()) {
            if (aborted())
                return fail(UploadResult::Cancelled, "cancelled at the bootloader start");
            t_.LogLine("PT:  Unknown response.  Manually reset the ACU and try the Auto Upload function again");
            return fail(UploadResult::HandshakeFailed, "handshake: bootloader did not start");
        }
        break;
    }

    const UploadResult erased = erase();
    if (erased != UploadResult::Complete)
        return erased;

    // The transfer. The file may have gone since it was checked: the module is erased by now.
    TextLines in;
    std::string error;
    if (!in.open(e_.file.path, error)) {
        t_.ui().message(e_.file.path + "\r" + error, "", Buttons::Ok, Icon::Exclamation);
        t_.LogLine("PT:  The upload file could not be opened; the ACU has been erased and will be inoperative");
        t_.LogLine("PT:  Reset the ACU and run the Auto Upload function again");
        t_.abortFlag = term::kAbortCancelled;
        return fail(UploadResult::TransferErrors, "file could not be opened for the transfer");
    }
    t_.LogLine("PT:  Begin Module Upload");
    t_.StartConnectTimer();
    t_.abortFlag = 0;
    e_.showProgress(true);
    const UploadResult r = acuTransfer(in);
    // The common end.
    e_.showProgress(false);
    t_.StopConnectTimer();
    in.close();
    t_.abortFlag = term::kAbortCancelled;
    return r;
}

UploadResult AutoUpload::unitUpload(ModulePath p)
{
    AutoUploadPcu unit(e_);
    if (!AutoUploadPcu::engineFramed(p)) {
        const UploadResult shaken = unit.handshake(p);
        moduleVersion_ = unit.moduleVersion();
        if (shaken != UploadResult::Complete)
            return fail(shaken, unit.outcome());
    }
    const UploadResult erased = erase();
    if (erased != UploadResult::Complete)
        return erased;
    UploadResult r;
    if (AutoUploadPcu::engineFramed(p)) {
        // The image in the engine's framing for the path, as "Upload S19 File" sends it; the
        // engine opens the file, shows the progress window and hides it again.
        r = unit.engineTransfer();
    } else {
        TextLines in;
        std::string error;
        if (!in.open(e_.file.path, error)) {
            t_.ui().message(e_.file.path + "\r" + error, "", Buttons::Ok, Icon::Exclamation);
            t_.LogLine(std::string("PT:  The upload file could not be opened; the ") + AutoUploadPcu::unitName(p)
                       + " has been erased and will be inoperative");
            t_.LogLine("PT:  Try running the Auto Upload function again");
            t_.abortFlag = term::kAbortCancelled;
            return fail(UploadResult::TransferErrors, "file could not be opened for the transfer");
        }
        t_.LogLine("PT:  Begin Module Upload");
        t_.StartConnectTimer();
        t_.abortFlag = 0;
        e_.showProgress(true);
        r = unit.transfer(p, in);
        in.close();
    }
    // The common end.
    e_.showProgress(false);
    t_.StopConnectTimer();
    t_.abortFlag = term::kAbortCancelled;
    return r == UploadResult::Complete ? r : fail(r, unit.outcome());
}

AutoUpload::AcuCheck AutoUpload::acuCheck()
{
    for (int attempt = 1; attempt <= kCommAttempts; ++attempt) {
        t_.LogLine("");
        t_.LogLine("PT:  Checking communication with ACU, send 'S'");
        auto mark = t_.screen.mark();
        t_.CommOut(kEsc + "S");
        t_.Pause(kCommCheckWait);
        if (aborted())
            return AcuCheck::Aborted;
        std::uint64_t n = t_.screen.answerLength(mark);
        if (n == kBootAnswer) {
            t_.LogLine("PT:  Bootloader mode is active");
            return AcuCheck::InBootloader;
        }
        if (n >= kAppAnswerMin) {
            t_.LogLine("PT:  Normal ACU response, Checking module Version number");
            return acuVersion();
        }
        if (n < kBootAnswer) {
            t_.LogLine("PT:  ACU not responding, send S9 to re-start bootloader");
            mark = t_.screen.mark();
            t_.CommOut("9" + kCrLf);
            t_.Pause(kBootRestartWait);
            if (aborted())
                return AcuCheck::Aborted;
            n = t_.screen.answerLength(mark);
            if (n > 12 && n < 18) {
                t_.LogLine("PT:  Bootloader mode is active");
                return AcuCheck::InBootloader;
            }
        }
        if (attempt < kCommAttempts)
            t_.LogLine("PT:  Uncessful communication attempt, trying again");
    }
    return AcuCheck::NotResponding;
}

AutoUpload::AcuCheck AutoUpload::acuVersion()
{
    const auto mark = t_.screen.mark();
    t_.CommOut("V");
    t_.Pause(kVersionWait);
    if (aborted())
        return AcuCheck::Aborted;
    const std::string answer = t_.screen.since(mark);
    if (answer.find("TAV") == std::string::npos)
        return AcuCheck::Unexpected;
    const size_t upper = answer.find("VER "), lower = answer.find("Ver ");
    const size_t ver = std::min(upper, lower);
    if (ver == std::string::npos)
        return AcuCheck::Unexpected;
    const size_t dot = answer.find('.', ver);
    if (dot == std::string::npos)
        return AcuCheck::Unexpected;
    moduleVersion_ = answer.substr(ver + 4, answer.find_first_of(" \r\n", ver + 4) - (ver + 4));
    const char module = answer[dot - 1];
    const char fileMajor = e_.file.version.empty() ? '\0' : e_.file.version[0];
    if (module == fileMajor)
        return AcuCheck::Verified;
    const char* box = module == '6' && fileMajor == '7'   ? kCrossVersion67
                      : module == '7' && fileMajor == '6' ? kCrossVersion76
                                                          : nullptr;
    if (box && t_.ui().ask(box, "", Buttons::YesNo, Icon::Exclamation, Answer::No) == Answer::Yes)
        return AcuCheck::Verified;
    return AcuCheck::VersionsDiffer;
}

bool AutoUpload::startAcuBootloader()
{
    t_.LogLine("PT:  File and Module major version numbers verified, starting ACU bootloader");
    t_.LogLine("PT:  Send '\\0080' Start ACU Bootloader command");
    const auto mark = t_.screen.mark();
    t_.CommOut(kEsc + "\\0080" + kCrLf);
    t_.Pause(kBootStartWait);
    if (aborted())
        return false;
    const std::uint64_t n = t_.screen.answerLength(mark);
    if (n > 10 && n < 14) {
        t_.LogLine("PT:  Bootloader mode is active");
        return true;
    }
    return false;
}

UploadResult AutoUpload::erase()
{
    for (int attempt = 1; attempt <= kEraseTries; ++attempt) {
        t_.LogLine("PT:  Module Erase Try " + std::to_string(attempt));
        const auto mark = t_.screen.mark();
        e_.Erase();
        t_.Pause(kEraseWait);
        if (aborted())
            return fail(UploadResult::Cancelled, "cancelled at the erase");
        if (t_.screen.since(mark).find_first_of("+*") != std::string::npos) {
            t_.LogLine("");
            t_.LogLine("PT:  Sucessful Erase");
            return UploadResult::Complete;
        }
    }
    t_.LogLine("PT:  Un-sucessful Erase, Manually reset the ACU and try the Auto Upload function again");
    return fail(UploadResult::EraseFailed, "erase failed");
}

UploadResult AutoUpload::acuTransfer(TextLines& in)
{
    auto mark = t_.screen.mark();
    auto errorSince = [&] { return t_.screen.since(mark).find('-') != std::string::npos; };
    bool errors = false, readError = false;
    int lines = 0;
    std::string line;
    while (!aborted()) {
        if (!in.next(line)) {
            if (!in.error().empty()) {
                t_.ui().message(in.error(), "", Buttons::Ok, Icon::Exclamation);
                readError = true;
            }
            break;
        }
        e_.SendFragments(line, '#');
        t_.TxSettle(kLineSettleMs);
        if (++lines % kCheckpointLines == 0) {
            if (errorSince()) {
                errors = true;
                break;
            }
            mark = t_.screen.mark();
        }
    }
    // A read error leaves the image incomplete: it is an error, never a success.
    errors = errors || readError;
    bool silent = false;
    if (!errors && !aborted()) {
        t_.TxSettle(kFinalLookSettleMs);
        errors = errorSince();
        if (!errors && !aborted()) {
            // The bootloader must still be there: a module that fell silent reports no error,
            // and its silence is not a success.
            const auto alive = t_.screen.mark();
            t_.CommOut(kEsc + "S");
            t_.Pause(kCommCheckWait);
            silent = !aborted() && t_.screen.answerLength(alive) < kBootAnswer;
            errors = silent;
        }
    }
    if (errors) {
        if (silent) {
            t_.LogLine("");
            t_.LogLine("PT:  WARNING The ACU did not answer after the transfer");
        }
        for (const char* text : {"PT:  WARNING Errors detected", "PT:  ACU will be inoperative",
                                 "PT:  Reset the ACU and run the Auto Upload function again"}) {
            t_.LogLine("");
            t_.LogLine(text);
        }
        e_.cancel();
        return fail(UploadResult::TransferErrors,
                    silent ? "errors detected: no answer after the transfer" : "errors detected");
    }
    if (aborted()) {
        t_.LogLine("PT:  WARNING Upload Cancled");
        t_.LogLine("PT:  ACU will be inoperative");
        t_.LogLine("PT:  Please run the Auto Upload function again");
        return fail(UploadResult::Cancelled, "cancelled during the transfer");
    }
    t_.LogLine("PT:  ACU programming complete, No errors detected!!");
    e_.RebootACU();
    return UploadResult::Complete;
}

} // namespace upload
