#include "SaveReset.h"

namespace term {

namespace {
const std::string kCrLf = "\r\n";
const std::string kEscStr(1, kEsc);
// The abort flag's value when CommOut found the link closed.
constexpr int kLinkClosedMark = 2;
} // namespace

SaveReset::SaveReset(Terminal& t) : t_(t) {}

bool SaveReset::aborted() const { return t_.abortFlag != 0; }

// The restart commands toggle the link whatever happened to the send before, and their waits
// are the module's restart time: a closed link has shown its warning and does not shorten
// them. Any other abort (the window closing) still does.
void SaveReset::consumeClosedLinkMark()
{
    if (t_.abortFlag == kLinkClosedMark)
        t_.abortFlag = 0;
}

void SaveReset::show(const std::string& text)
{
    t_.screen.trim();
    t_.screen.append(text);
    t_.ui().refresh();
}

SaveReset::Result SaveReset::oneShot(const std::string& command)
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    t_.CommOut(command);
    return aborted() ? Result::Stopped : Result::Done;
}

SaveReset::Result SaveReset::AcuRestartBootLd() { return oneShot("S9" + kCrLf); }
SaveReset::Result SaveReset::AcuReset() { return oneShot(kEscStr + "\\0090" + kCrLf); }
SaveReset::Result SaveReset::AcuParamSave() { return oneShot(kEscStr + "\\0087" + kCrLf); }
SaveReset::Result SaveReset::PcuParamSave() { return oneShot(kEscStr + "^0087" + kCrLf); }
SaveReset::Result SaveReset::CommIfParamSave() { return oneShot("[W   " + kCrLf); }
SaveReset::Result SaveReset::DvbRestartBootLd() { return oneShot("wS9  " + kCrLf); }

SaveReset::Result SaveReset::PcuRestartBootLd()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    t_.CommOut("?S" + kCrLf);
    if (aborted())
        return Result::Stopped;
    t_.TxSettle(kPcuBootSettleMs);
    if (aborted())
        return Result::Stopped;
    t_.CommOut("?9" + kCrLf);
    return aborted() ? Result::Stopped : Result::Done;
}

SaveReset::Result SaveReset::PcuReset()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    t_.CommOut(kEscStr + "^0090" + kCrLf);
    const bool sent = !aborted();
    consumeClosedLinkMark();
    t_.mnuOpen_Click();
    consumeClosedLinkMark();
    t_.Pause(kPcuRestartWait);
    t_.mnuOpen_Click();
    return sent && !aborted() ? Result::Done : Result::Stopped;
}

SaveReset::Result SaveReset::CommIfReset()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    t_.CommOut("[Z   " + kCrLf);
    const bool sent = !aborted();
    consumeClosedLinkMark();
    t_.Pause(kCommIfResetWait);
    t_.mnuOpen_Click();
    t_.LogLine("");
    consumeClosedLinkMark();
    t_.Pause(kCommIfRestartWait);
    t_.mnuOpen_Click();
    return sent && !aborted() ? Result::Done : Result::Stopped;
}

SaveReset::Result SaveReset::LoadFactoryDefaults()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    if (t_.ui().message(kFactoryDefaultsQuestion, kFactoryDefaultsTitle, TerminalUi::Buttons::OkCancel,
                        TerminalUi::Icon::Question) != TerminalUi::Answer::Ok)
        return Result::Cancelled;

    auto stopped = [this] {
        t_.LogLine("LOAD FACTORY DEFAULTS STOPPED BEFORE THE END - PARAMETERS MAY BE INCOMPLETE, RUN IT AGAIN");
        return Result::Stopped;
    };

    for (std::string_view line : kFactoryDefaults) {
        t_.CommOut(std::string(line) + kCrLf);
        if (aborted())
            return stopped();
        t_.TxSettle(kDefaultsSettleMs);
        if (aborted())
            return stopped();
    }

    t_.LogLine("SAVING PARAMETERS, PLEASE WAIT");
    for (int i = 0; i < 2; ++i) {
        t_.CommOut("W");
        if (aborted())
            return stopped();
        t_.Pause(kDefaultsSaveWait);
        if (aborted())
            return stopped();
    }
    t_.LogLine(" PARAMETERS SAVED");
    show(">");
    return Result::Done;
}

} // namespace term
