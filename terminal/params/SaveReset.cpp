#include "SaveReset.h"

namespace term {

namespace {
const std::string kCrLf = "\r\n";
const std::string kEscStr(1, kEsc);
} // namespace

SaveReset::SaveReset(Terminal& t) : t_(t) {}

bool SaveReset::aborted() const { return t_.abortFlag != 0; }

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
    if (t_.sequenceRunning())
        return Result::Busy;
    ModuleCommands(t_).PCUReset();
    // The guard there cleared the abort flag first: what is set now was set by this reset.
    return aborted() ? Result::Stopped : Result::Done;
}

SaveReset::Result SaveReset::CommIfReset()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    t_.CommOut("[Z   " + kCrLf);
    if (aborted())
        return Result::Stopped; // a closed link has warned; it stays as it is
    t_.Pause(kCommIfResetWait);
    if (aborted())
        return Result::Stopped; // the link was not touched yet
    t_.ToggleLink(); // close
    t_.LogLine("");
    t_.Pause(kCommIfRestartWait);
    if (!t_.linkOpen())
        t_.ToggleLink(); // open again, also after an abort during the wait
    return aborted() ? Result::Stopped : Result::Done;
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
