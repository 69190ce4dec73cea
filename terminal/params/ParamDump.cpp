#include "ParamDump.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>

namespace term {

namespace fs = std::filesystem;
using Buttons = TerminalUi::Buttons;
using Icon = TerminalUi::Icon;
using Answer = TerminalUi::Answer;

const std::array<AcuParameter, 74> kAcuParameters{{
    {"*", 0},          {"El Trim", 3},    {"*", 0},          {"Az Trim", 3},       {"Mode", 1},
    {"Auto Thrs", 1},  {"El Step Size", 1}, {"Az Step Size", 1}, {"Step Integral", 1}, {"Search Inc", 1},
    {"Search Limit", 1}, {"Search Delay", 1}, {"Sweep Inc", 1}, {"System Type", 1},  {"Gyro Type", 1},
    {"Polang Type", 1}, {"Pol Offset", 1}, {"Pol Scale", 1},   {"*", 0},             {"Az Limit1", 3},
    {"*", 0},          {"Az Limit2", 3},  {"Pol Tx", 1},      {"Error Type", 1},    {"*", 0},
    {"Az Limit3", 3},  {"*", 0},          {"Az Limit4", 3},   {"*", 0},             {"Az Limit5", 3},
    {"*", 0},          {"Az Limit6", 3},  {"Init Hdg", 1},    {"*", 0},             {"Lat  ", 3},
    {"Lat N/S", 5},    {"*", 0},          {"Lon  ", 3},       {"Lon E/W", 6},       {"*", 0},
    {"Sat Lon", 3},    {"Sat E/W", 6},    {"*", 0},           {"Lcl HDG", 7},       {"*", 0},
    {"Rmt HDG", 3},    {"*", 0},          {"THRS", 2},        {"*", 0},             {"Freq/MHz", 2},
    {"*", 0},          {"Baud/KHz", 8},   {"FEC/T/V", 1},     {"Pol Sel", 1},       {"*", 0},
    {"AGC", 9},        {"*", 0},          {"Ext AGC", 9},     {"*", 0},             {"Rem POL", 2},
    {"*", 0},          {"Target NID", 4}, {"DispT", 1},       {"KuDisp", 1},        {"TDisp", 1},
    {"*", 0},          {"Az Limit7", 3},  {"*", 0},           {"Az Limit8", 3},     {"El Limit12", 10},
    {"El Limit34", 10}, {"El Limit56", 10}, {"El Limit78", 10}, {"SatSkew", 1},
}};

const std::array<const char*, 12> kPcuParameters{
    "Model Index", "CL Kp", "LV Kp", "AZ Kp", "CL Trim", "LV Trim",
    "HF Trim",     "Circlex", "Scan Rate", "Error", "Sys ID", "Stat1",
};

const std::array<NetworkEntry, 9> kNetworkTable{{
    {'I', "'IP Address"},
    {'N', "'Net Mask"},
    {'G', "'Gateway"},
    {'0', "\t'TCP Port 0"},
    {'1', "\t'TCP Port 1"},
    {'U', "\t'UDP Port"},
    {'C', "\t'Baud Rate M&C  (C)"},
    {'A', "\t'Baud Rate NMEA (A)"},
    {'B', "\t'Baud Rate NMEA (B)"},
}};

namespace {

const std::string kCrLf = "\r\n";
const std::string kEscStr(1, '\x1b');
const char* const kTimedOutReply = "??";
const char* const kBusyAnswer = "###";
const char* const kAcuHeader = "'ACU Parameter Dump, Legacy Mode\r\n'CMD\tValue\tResult\tDescription\r\n";
const char* const kPcuHeader = "'PCU Parameter Dump, Legacy Mode\r\n'CMD\tValue\tDescription\r\n";
const char* const kPcuListing = "\x1b[?P  \r\n";
// The modules whose versions follow the PCU section: motor driver, BDE and ADE modems, and the
// communications interface.
const char* const kVersionQueries[] = {"]0411", "<0411", ">0411", "[V"};
const char* const kCommIfVersion = "[V";
const char* const kNetworkQuery = "[?";
const char* const kLogOpenRefusal =
    "The communications log is open: while it records, no answer reaches the dump.\r"
    "Stop the log (File > Stop Log File) and run the dump again.";

constexpr int kAcuFirstCode = 65; // "A"
constexpr int kPcuFirstCode = 48; // "0"
// A number is held at this: more carries no meaning in a 3-character answer.
constexpr long kValueLimit = 1000000000L;

// num / den (den > 0) rounded to the nearest integer, halves to the even neighbour.
long divideRoundEven(long num, long den)
{
    const bool negative = num < 0;
    const long a = negative ? -num : num;
    long q = a / den;
    const long r = a % den;
    if (2 * r > den || (2 * r == den && (q & 1) != 0))
        ++q;
    return negative ? -q : q;
}

// Format "0000" (width digits at least), a negative number with a leading "-".
std::string digits(long v, int width)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%0*ld", v < 0 ? "-" : "", width, v < 0 ? -v : v);
    return buf;
}

// Format "000.0" of a value in tenths.
std::string tenths(long t)
{
    const long a = t < 0 ? -t : t;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%03ld.%ld", t < 0 ? "-" : "", a / 10, a % 10);
    return buf;
}

// Four upper-case hexadecimal digits of a 16-bit word.
std::string hex4(long v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04lX", static_cast<unsigned long>(v) & 0xFFFFul);
    return buf;
}

std::string dropPrompt(const std::string& reply)
{
    // The answer's line end and the prompt after it ("\r\n>").
    return reply.size() > 3 ? reply.substr(0, reply.size() - 3) : reply;
}

bool isControl(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 32 || u == 127;
}

// The lines of a text file, whatever its line ends (CR LF, CR or LF).
std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

} // namespace

// ---------------------------------------------------------------- formatting

std::string AnswerOf(const std::string& reply)
{
    if (reply == kTimedOutReply)
        return reply;
    if (reply.size() <= 2)
        return {};
    std::string a = reply.substr(2, 3);
    for (size_t i = 0; i < a.size(); ++i)
        if (isControl(a[i]))
            return a.substr(0, i); // the line ends there
    return a;
}

long NumericValue(const std::string& answer)
{
    size_t i = 0;
    while (i < answer.size() && (answer[i] == ' ' || answer[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < answer.size() && (answer[i] == '-' || answer[i] == '+')) {
        negative = answer[i] == '-';
        ++i;
    }
    long whole = 0;
    for (; i < answer.size() && answer[i] >= '0' && answer[i] <= '9'; ++i)
        whole = std::min(kValueLimit, whole * 10 + (answer[i] - '0'));
    // The decimal part decides the rounding only: above, below or at one half.
    int vsHalf = 0; // -1 below, 0 exactly a half (or no fraction, see below), +1 above
    bool fraction = false;
    if (i < answer.size() && answer[i] == '.') {
        ++i;
        bool first = true;
        for (; i < answer.size() && answer[i] >= '0' && answer[i] <= '9'; ++i) {
            const int d = answer[i] - '0';
            if (first) {
                fraction = true;
                vsHalf = d > 5 ? 1 : d < 5 ? -1 : 0;
                first = false;
            } else if (vsHalf == 0 && d != 0) {
                vsHalf = 1;
            }
        }
    }
    if (fraction && (vsHalf > 0 || (vsHalf == 0 && (whole & 1) != 0)))
        ++whole;
    return negative ? -whole : whole;
}

std::string AcuParameterLine(int index, const std::string& answer, long& held)
{
    if (index < 0 || index >= int(kAcuParameters.size()))
        return {};
    const AcuParameter& p = kAcuParameters[size_t(index)];
    const std::string prefix = std::string("m") + char(kAcuFirstCode + index) + "\t" + answer + "\t'";
    const std::string tabName = std::string("\t") + p.name;
    const long value = NumericValue(answer);
    const long c = held * 256 + value; // the two bytes of a word
    switch (p.valueClass) {
    case 0:
        held = value;
        return prefix + "*";
    case 1:
        return prefix + answer + tabName;
    case 2:
        return prefix + digits(c, 4) + tabName;
    case 3:
        return prefix + tenths(c > 32767 ? c - 65536 : c) + tabName; // signed, in tenths
    case 4:
        return prefix + hex4(c) + tabName;
    case 5:
        return prefix + ((value & 1) != 0 ? "S" : "N") + tabName;
    case 6:
        return prefix + ((value & 16) != 0 ? "W" : "E") + tabName;
    case 7:
        return prefix + tenths(divideRoundEven(c * 10, 6)) + tabName; // sixths of a degree
    case 8:
        return prefix + digits(c, 4) + " / " + digits(divideRoundEven(c, 16), 4) + "  " + p.name;
    case 9:
        return prefix + digits(divideRoundEven(c, 16), 4) + tabName;
    case 10:
        if (answer.empty())
            return {};
        return prefix + digits(divideRoundEven(value, 2), 3) + tabName;
    default:
        return {};
    }
}

std::vector<std::string> NetworkTableLines(const std::string& reply)
{
    std::vector<std::string> out{"'CommIF Parameter Dump, Legacy mode", "'CMD\tValue\t\tDescription"};
    const size_t npos = std::string::npos;
    size_t pos = 0;
    for (const NetworkEntry& e : kNetworkTable) {
        // The entry's "=" must stand before the end of its own line: an "=" further on is the
        // next entry's, and taking its value would shift every value after it.
        size_t eq = pos < reply.size() ? reply.find('=', pos) : npos;
        const size_t lineEnd = pos < reply.size() ? reply.find('\r', pos) : npos;
        if (lineEnd < eq)
            eq = npos;
        const size_t cr = eq == npos ? lineEnd : reply.find('\r', eq + 1);
        std::string value;
        bool ok = eq != npos && cr != npos;
        if (ok) {
            value = reply.substr(eq + 1, cr - eq - 1);
            for (char ch : value)
                ok = ok && !isControl(ch);
            ok = ok && value.size() <= kMaxNetworkValueChars;
        }
        const std::string code = std::string("[") + e.code;
        if (ok)
            out.push_back(code + "\t" + value + "\t" + e.name);
        else
            out.push_back("'" + code + "\t" + kNetworkValueMissing + "\t" + e.name);
        // The next entry begins after this one's CR; with none, nothing further can be found.
        pos = cr == npos ? reply.size() : cr + 1;
    }
    return out;
}

// ---------------------------------------------------------------- the file

// The dump file: every line ends in CR LF; the first failed write is remembered with its
// reason; closed on every way out.
class ParamDump::File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { close(); }

    bool create(const std::string& path)
    {
        f_ = std::fopen(path.c_str(), "wb");
        if (!f_)
            error_ = std::strerror(errno);
        return f_ != nullptr;
    }
    // A fresh temporary file in the system's temporary folder, made only if its name is free.
    bool createTemporary(std::string& path)
    {
        std::error_code ec;
        fs::path dir = fs::temp_directory_path(ec);
        if (ec)
            dir = "/tmp";
        std::string name = (dir / (std::string(kPcuTempPrefix) + "XXXXXX" + kPcuTempSuffix)).string();
        const int fd = ::mkstemps(name.data(), int(std::strlen(kPcuTempSuffix)));
        if (fd < 0) {
            error_ = std::strerror(errno);
            path = dir.string();
            return false;
        }
        path = name;
        f_ = ::fdopen(fd, "wb");
        if (!f_) {
            error_ = std::strerror(errno);
            ::close(fd);
        }
        return f_ != nullptr;
    }
    void line(const std::string& text) { raw(text + kCrLf); }
    void raw(const std::string& bytes)
    {
        if (!f_ || failed_)
            return;
        if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size()) {
            failed_ = true;
            error_ = std::strerror(errno);
        }
    }
    // False when a write or the close failed.
    bool close()
    {
        if (f_) {
            if (std::fclose(f_) != 0 && !failed_) {
                failed_ = true;
                error_ = std::strerror(errno);
            }
            f_ = nullptr;
        }
        return !failed_;
    }
    const std::string& error() const { return error_; }

private:
    std::FILE* f_ = nullptr;
    bool failed_ = false;
    std::string error_;
};

// ---------------------------------------------------------------- the dump

namespace {

// The collect flag is held for the whole run; every reply lands in the reply buffer.
class Collecting {
public:
    explicit Collecting(Terminal& t) : t_(t)
    {
        t_.collect = true;
        t_.replyBuffer.clear();
    }
    ~Collecting()
    {
        t_.collect = false;
        t_.replyBuffer.clear();
    }
    Collecting(const Collecting&) = delete;
    Collecting& operator=(const Collecting&) = delete;

private:
    Terminal& t_;
};

// The progress window, shown for the run and closed on every way out.
class ProgressShown {
public:
    explicit ProgressShown(const std::function<void(bool)>& show) : show_(show)
    {
        if (show_)
            show_(true);
    }
    ~ProgressShown()
    {
        if (show_)
            show_(false);
    }
    ProgressShown(const ProgressShown&) = delete;
    ProgressShown& operator=(const ProgressShown&) = delete;

private:
    const std::function<void(bool)>& show_;
};

bool isPcuPath(ModulePath p) { return p == ModulePath::USBpcu || p == ModulePath::SPG2pcu; }

} // namespace

ParamDump::ParamDump(Terminal& t, ModulePaths& paths) : t_(t), paths_(paths) {}

void ParamDump::cancel() { t_.abortFlag = 1; }

void ParamDump::setProgress(int value)
{
    progress_ = value;
    if (onProgress)
        onProgress(value);
}

void ParamDump::failed(const std::string& what, const std::string& path, const std::string& why)
{
    t_.ui().message(what + " " + path + "\r" + why, "", Buttons::Ok, Icon::Exclamation);
}

bool ParamDump::query(const std::string& command)
{
    if (aborted())
        return false;
    t_.replyBuffer.clear();
    t_.CommOut(command);
    if (aborted())
        return false; // nothing could be sent: the link is closed
    t_.AwaitReply();
    return !aborted();
}

bool ParamDump::readParameter(const std::string& command, std::string& answer)
{
    // Asked again as long as the controller says it is busy; Cancel ends it.
    for (;;) {
        if (!query(command))
            return false;
        answer = AnswerOf(reply());
        if (answer != kBusyAnswer)
            return true;
        t_.Pause(kBusyRetryWait);
        if (aborted())
            return false;
    }
}

std::string ParamDump::reply() const { return t_.replyBuffer.substr(0, kMaxAnswerChars); }

ParamDump::Result ParamDump::startChecks()
{
    if (t_.logOpen) {
        t_.ui().message(kLogOpenRefusal, "", Buttons::Ok, Icon::Exclamation);
        return Result::LogOpen;
    }
    return Result::Done;
}

std::string ParamDump::ChooseDumpFile(const std::string& title, const std::string& defaultName)
{
    for (int shown = 0; shown < kMaxFileDialogs && chooseFile; ++shown) {
        const std::string path = chooseFile(title, kDumpFilter, defaultName);
        if (path.empty())
            return {};
        std::error_code ec;
        const auto st = fs::status(path, ec);
        if (!fs::exists(st))
            return path;
        const Answer a = t_.ui().ask("Replace existing file - " + path + "?", title, Buttons::YesNoCancel,
                                     Icon::Question, Answer::No);
        if (a == Answer::No)
            continue;
        if (a != Answer::Yes)
            return {};
        // Only an ordinary file is deleted; a device or pipe is written to as it is. A file
        // that cannot be deleted is reported when it is created.
        if (fs::is_regular_file(st))
            fs::remove(path, ec);
        return path;
    }
    return {};
}

ParamDump::Result ParamDump::FullDump(const DumpMenuEntry& entry)
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    if (const Result r = startChecks(); r != Result::Done)
        return r;
    const std::string path = ChooseDumpFile(entry.title, entry.defaultName);
    if (path.empty())
        return Result::NoFile;
    return fullRun(path);
}

ParamDump::Result ParamDump::FullDumpTo(const std::string& path)
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    if (const Result r = startChecks(); r != Result::Done)
        return r;
    return fullRun(path);
}

ParamDump::Result ParamDump::fullRun(const std::string& path)
{
    File f;
    if (!f.create(path)) {
        failed("Cannot write", path, f.error());
        return Result::FileError;
    }
    t_.abortFlag = 0;
    bool written = false;
    {
        Collecting collecting(t_);
        ProgressShown progress(onProgressWindow);
        setProgress(0);

        bool going = true;
        // The ACU's identity: its version and status lines.
        for (const char* q : {"V", "S"}) {
            going = query(std::string(q) + kCrLf);
            if (!going)
                break;
            f.line("'" + dropPrompt(reply()));
        }

        // The ACU's parameters.
        if (going) {
            t_.Write(kAcuHeader);
            f.raw(kAcuHeader);
            long held = 0;
            for (int i = 0; i < int(kAcuParameters.size()) && going; ++i) {
                setProgress(i);
                std::string answer;
                going = readParameter(std::string("m") + char(kAcuFirstCode + i) + "999" + kCrLf, answer);
                if (!going)
                    break;
                const std::string line = AcuParameterLine(i, answer, held);
                if (!line.empty())
                    f.line(line);
            }
        }

        if (going)
            going = pcuSection(f);

        // The modules behind the ACU, unless the PCU is reached directly (then it is all).
        if (going && !isPcuPath(paths_.selected())) {
            f.line("");
            for (const char* q : kVersionQueries) {
                going = query(std::string(q) + kCrLf);
                if (going && std::strcmp(q, kCommIfVersion) == 0) {
                    t_.Pause(kCommIfVersionWait);
                    going = !aborted();
                }
                if (!going)
                    break;
                f.line("'" + dropPrompt(reply()));
            }
            // The interface's network settings.
            if (going && query(std::string(kNetworkQuery) + kCrLf)) {
                t_.Pause(kCommIfTableWait);
                const std::string r = reply();
                if (!aborted()) {
                    if (r.compare(0, 2, "'C") == 0)
                        f.line(r);
                    else if (r.compare(0, 2, "IP") == 0)
                        for (const std::string& l : NetworkTableLines(r))
                            f.line(l);
                }
            }
        }

        if (aborted())
            f.raw(kCrLf + kDumpCanceled + kCrLf);
        written = f.close();
        // The file as it was written replaces the screen.
        t_.ClearScreen();
        for (const std::string& l : readLines(path)) {
            t_.screen.trim();
            t_.screen.append(l + kCrLf);
        }
        t_.ui().refresh();
    }
    if (!written) {
        failed("Cannot write", path, f.error());
        return Result::FileError;
    }
    return aborted() ? Result::Cancelled : Result::Done;
}

bool ParamDump::pcuSection(File& f)
{
    f.line("");
    for (const char* q : {"?V", "?S"}) {
        if (!query(std::string(q) + kCrLf))
            return false;
        f.line("'" + reply());
    }
    t_.Write(kPcuHeader);
    f.raw(kPcuHeader);
    for (int i = 0; i < int(kPcuParameters.size()); ++i) {
        setProgress(kPcuProgressFrom + i);
        const char code = char(kPcuFirstCode + i);
        std::string answer;
        if (!readParameter(kEscStr + "n" + code + "999" + kCrLf, answer))
            return false;
        f.line(std::string("n") + code + "\t" + answer + "\t'" + kPcuParameters[size_t(i)]);
    }
    return true;
}

ParamDump::Result ParamDump::mnuPcuParamDump_Click()
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    if (const Result r = startChecks(); r != Result::Done)
        return r;
    return pcuRun({}, true);
}

ParamDump::Result ParamDump::PcuDumpTo(const std::string& path)
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;
    if (const Result r = startChecks(); r != Result::Done)
        return r;
    return pcuRun(path, false);
}

ParamDump::Result ParamDump::pcuRun(const std::string& target, bool temporary)
{
    File f;
    std::string path = target;
    if (temporary ? !f.createTemporary(path) : !f.create(path)) {
        failed("Cannot write", path, f.error());
        return Result::FileError;
    }
    if (temporary)
        lastTemp_ = path;
    t_.abortFlag = 0;
    bool written = false;
    {
        Collecting collecting(t_);
        ProgressShown progress(onProgressWindow);
        setProgress(kPcuProgressFrom);
        const TerminalScreen::Mark before = t_.screen.mark();
        pcuSection(f);
        if (aborted())
            f.raw(kCrLf + kDumpCanceled + kCrLf);
        written = f.close();
        // What the dump showed on the screen gives way to the file's lines.
        const std::string& text = t_.screen.text();
        const TerminalScreen::Mark onScreenFrom = t_.screen.total() - text.size();
        const std::string keep = before >= onScreenFrom ? text.substr(0, size_t(before - onScreenFrom)) : std::string();
        t_.screen.clear();
        t_.screen.append(keep);
        for (const std::string& l : readLines(path)) {
            t_.screen.trim();
            t_.screen.append(l + kCrLf);
        }
        t_.ui().refresh();
    }
    if (temporary) {
        std::error_code ec;
        fs::remove(path, ec);
    }
    if (!written) {
        failed("Cannot write", path, f.error());
        return Result::FileError;
    }
    return aborted() ? Result::Cancelled : Result::Done;
}

void ParamDump::mnuPcuListing_Click()
{
    if (!t_.BeginCommand())
        return; // a long sequence owns the link
    t_.ClearScreen();
    t_.CommOut(kPcuListing);
}

} // namespace term
