#include "ParamDump.h"

#include "panel/core/Decoder.h"
#include "panel/core/Format.h"
#include "panel/core/PanelLink.h"

#include <cstdio>
#include <utility>

namespace panel {

// Index 0..90: the reply to each command of the sequence; 91 ends the dump.
const std::array<DumpEntry, kDumpReplies + 1> kDumpTable = {{
    {12, ""}, // "V"
    {12, ""}, // "S"
    // "!mA999" .. "!m\x8a999"
    {0, "*"}, {3, "El Trim"}, {0, "*"}, {3, "Az Trim"},
    {1, "Mode"}, {1, "Auto Thrs"}, {1, "El Step Size"}, {1, "Az Step Size"}, {1, "Step Integral"},
    {1, "Search Inc"}, {1, "Search Limit"}, {1, "Search Delay"}, {1, "Sweep Inc"}, {1, "System Type"},
    {1, "Gyro Type"}, {1, "Polang Type"}, {1, "Pol Offset"}, {1, "Pol Scale"},
    {0, "*"}, {3, "Az Limit1"}, {0, "*"}, {3, "Az Limit2"},
    {1, "Pol Tx"}, {1, "Error Type"},
    {0, "*"}, {3, "Az Limit3"}, {0, "*"}, {3, "Az Limit4"}, {0, "*"}, {3, "Az Limit5"}, {0, "*"}, {3, "Az Limit6"},
    {1, "Init Hdg"},
    {0, "*"}, {3, "Lat  "}, {5, "Lat N/S"},
    {0, "*"}, {3, "Lon  "}, {6, "Lon E/W"},
    {0, "*"}, {3, "Sat Lon"}, {6, "Sat E/W"},
    {0, "*"}, {7, "Lcl HDG"},
    {0, "*"}, {3, "Rmt HDG"},
    {0, "*"}, {2, "THRS"},
    {0, "*"}, {2, "Freq/MHz"},
    {0, "*"}, {8, "Baud/KHz"},
    {1, "FEC/T/V"}, {1, "Pol Sel"},
    {0, "*"}, {9, "AGC"},
    {0, "*"}, {9, "Ext AGC"},
    {0, "*"}, {2, "Rem POL"},
    {0, "*"}, {4, "Target NID"},
    {1, "DispT"}, {1, "KuDisp"}, {1, "TDisp"},
    {0, "*  \t5v Offset"}, {3, "Az Limit7 / 5v Scale"},
    {0, "*"}, {3, "Az Limit8"},
    {10, "El Limit12"}, {10, "El Limit34"}, {10, "El Limit56"}, {10, "El Limit78"},
    {11, "SatSkew"},
    {12, ""}, // "!?   V"
    {12, ""}, // "!?   S"
    // "!n0999" .. "!n;999"
    {1, "Systyp"}, {1, "CL Kp"}, {1, "LV Kp"}, {1, "AZ Kp"}, {1, "CL Trim"}, {1, "LV Trim"},
    {1, "HF Trim"}, {1, "Circlex"}, {1, "Scan Rate"}, {1, "Error"}, {1, "Sys ID"}, {1, "Stat1"},
    {12, ""}, // "![V   "
    {kDumpEndCode, ""},
}};

namespace {

constexpr int kFirstAcuCode = 65;  // "A"
constexpr int kLastAcuCode = 138;
constexpr int kFirstPcuCode = 48;  // "0"
constexpr int kLastPcuCode = 59;   // ";"
constexpr const char* kUnanswered = "????";

std::string hexUpper(std::int32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(static_cast<std::uint32_t>(v)));
    return buf;
}

// The accumulator takes the next byte below what it holds (32-bit, wrapping as the register
// would rather than failing on a reply that is not a byte).
std::int32_t shiftIn(std::int32_t acc, long value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(acc) * 256u + static_cast<std::uint32_t>(value));
}

// "000.0": at least three whole digits, one decimal, the sign in front.
std::string tenths3(long tenths)
{
    return tenthsText(tenths, 3);
}

} // namespace

const std::string& dumpSequence()
{
    static const std::string seq = [] {
        std::string s = "VS";
        for (int c = kFirstAcuCode; c <= kLastAcuCode; ++c)
            s += std::string("!m") + char(c) + "999";
        s += "!?   V!?   S";
        for (int c = kFirstPcuCode; c <= kLastPcuCode; ++c)
            s += std::string("!n") + char(c) + "999";
        s += "![V   ";
        return s;
    }();
    return seq;
}

std::string formatDumpLine(int code, const std::string& description, const std::string& reply,
                           const std::string& command, std::int32_t& acc)
{
    std::string cmd = command;
    if (!cmd.empty() && cmd[0] == '!')
        cmd.erase(0, 1);
    while (!cmd.empty() && (cmd.back() == '\n' || cmd.back() == '\r'))
        cmd.pop_back();

    if (code == 12)
        return "'" + reply;

    std::string r = reply;
    if (!cmd.empty() && cmd[0] == 'n' && r.size() > 4)
        r.resize(4);
    const std::string field = r.size() > 3 ? r.substr(r.size() - 3) : r;
    // Three characters cannot hold a number that overflows; junk reads 0.
    const long value = roundEven(Val(field));
    const std::string prefix = cmd.substr(0, 2) + "\t" + field + "\t'";
    const std::string tabDesc = "\t" + description;

    switch (code) {
    case 0:
        acc = static_cast<std::int32_t>(value);
        return prefix + description;
    case 1:
        return prefix + field + tabDesc;
    case 2:
        acc = shiftIn(acc, value);
        return prefix + afmtINT4(acc) + tabDesc;
    case 3:
        acc = shiftIn(acc, value);
        if (acc > 32767)
            acc -= 65536;
        return prefix + tenths3(acc) + tabDesc; // the signed word is in tenths
    case 4:
        acc = shiftIn(acc, value);
        return prefix + hexUpper(acc) + tabDesc;
    case 5:
        return prefix + ((value & 1) ? "S" : "N") + tabDesc;
    case 6:
        return prefix + ((value & 16) ? "W" : "E") + tabDesc;
    case 7:
        acc = shiftIn(acc, value);
        return prefix + tenths3(roundEven(double(acc) * 10.0 / 6.0)) + tabDesc;
    case 8:
        acc = shiftIn(acc, value);
        return prefix + afmtINT4(acc) + "/" + afmtINT4(roundEven(double(acc) * 0.0625)) + "  " + description;
    case 9:
        acc = shiftIn(acc, value);
        return prefix + afmtINT4(roundEven(double(acc) * 0.0625)) + tabDesc;
    case 10:
        return prefix + afmtINT3(roundEven(double(value) * 0.5)) + tabDesc;
    case 11:
        return prefix + afmtINT3(value >= 128 ? value - 256 : value) + tabDesc;
    default:
        return prefix + description;
    }
}

// ---------------------------------------------------------------- the dump

ParamDump::ParamDump(PanelShared& shared, PanelLink& link, Decoder& decoder, FileUi& ui)
    : s_(shared), link_(link), decoder_(decoder), ui_(ui)
{
    decoder_.dumpFormatter = [this](const std::string& line, const std::string& command) { fmtParam(line, command); };
    link_.dumpTimedOut = [this] { timedOut(); };
}

ParamDump::~ParamDump()
{
    decoder_.dumpFormatter = nullptr;
    link_.dumpTimedOut = nullptr;
}

void ParamDump::mnuParamDump_Click()
{
    if (!s_.open) {
        ui_.showError(kPortClosedText);
        return;
    }
    if (s_.dataLog) {
        ui_.showMessage(kLogOpenText);
        return;
    }
    if (running_) {
        ui_.showError(kDumpRunningText);
        return;
    }
    if (!createFromDialog(ui_, own_, kDumpFilter, kDumpFileName))
        return;
    start(own_, false);
}

bool ParamDump::start(OutputFile& file, bool dataLog, std::function<void(Outcome)> done)
{
    if (running_ || !file.isOpen())
        return false;
    target_ = &file;
    dataLog_ = dataLog;
    done_ = std::move(done);
    running_ = true;
    cancel_ = false;
    acc_ = 0;
    replies_ = 0;
    unanswered_ = 0;
    outcome_ = Outcome::None;
    link_.BeginDump(dumpSequence());
    if (progress_) {
        progress_->progress(0);
        progress_->show(kReadingTav);
    }
    // A write error ends the dump here (its error shown, done run).
    if (write(kDumpHeader1))
        write(kDumpHeader2);
    return true;
}

bool ParamDump::write(const std::string& line)
{
    if (!running_)
        return false;
    if (!target_->isOpen()) {
        // Closed under the dump (its other writer has shown why).
        finish(Outcome::WriteFailed);
        return false;
    }
    if (!target_->writeLine(line)) {
        ui_.showError(target_->error());
        finish(Outcome::WriteFailed);
        return false;
    }
    return true;
}

void ParamDump::fmtParam(const std::string& reply, const std::string& command)
{
    int& counter = s_.dumpCounter;
    if (!running_ || counter < 0 || counter >= kDumpReplies)
        return;
    const DumpEntry& e = kDumpTable[size_t(counter)];
    if (!write(formatDumpLine(e.code, e.description, reply, command, acc_)))
        return;
    ++replies_;
    if (reply == kUnanswered)
        ++unanswered_;
    ++counter;
    if (progress_) {
        if (counter == kPcuCaptionAt)
            progress_->caption(kReadingPcu);
        if (counter < 100)
            progress_->progress(counter);
    }
    if (kDumpTable[size_t(counter)].code == kDumpEndCode || cancel_) {
        if (cancel_ && (!write(kDumpCanceled) || !write("")))
            return;
        finish(cancel_ ? Outcome::Cancelled : Outcome::Completed);
    }
}

void ParamDump::cancel()
{
    if (!running_)
        return;
    cancel_ = true;
    // Nothing on its way that would carry the cancel: end here.
    if (!s_.open || s_.ring.read == s_.ring.write)
        abort();
}

void ParamDump::abort()
{
    if (!running_)
        return;
    if (!write(kDumpCanceled) || !write(""))
        return;
    finish(Outcome::Cancelled);
}

void ParamDump::fileFailed()
{
    if (running_)
        finish(Outcome::WriteFailed);
}

void ParamDump::timedOut()
{
    // The link has shown the message and ended its side of the dump.
    if (running_)
        finish(Outcome::TimedOut, true);
}

void ParamDump::finish(Outcome outcome, bool linkEnded)
{
    if (!running_)
        return;
    running_ = false;
    cancel_ = false;
    if (target_->isOpen() && !target_->close() && outcome != Outcome::WriteFailed) {
        ui_.showError(target_->error());
        outcome = Outcome::WriteFailed;
    }
    if (!linkEnded)
        link_.EndDump();
    outcome_ = outcome;
    if (progress_)
        progress_->hide();
    if (auto done = std::exchange(done_, nullptr))
        done(outcome);
}

} // namespace panel
