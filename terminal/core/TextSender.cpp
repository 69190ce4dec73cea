#include "TextSender.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace term {

namespace {

const std::string kCrLf = "\r\n";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads a text file line by line. A line ends at LF, CR LF or a lone CR; the last line may
// have no ending. Lines longer than kMaxSendLineChars and zero bytes are reported, not read.
class LineReader {
public:
    enum class Status { Line, End, TooLong, ZeroByte, Error };

    explicit LineReader(std::FILE* f) : f_(f) {}

    Status next(std::string& line)
    {
        line.clear();
        ++number_;
        for (;;) {
            const int c = std::getc(f_);
            if (c == EOF) {
                if (std::ferror(f_)) {
                    error_ = errno;
                    return Status::Error;
                }
                return line.empty() && !pendingLine_ ? Status::End : finish();
            }
            pendingLine_ = true;
            if (c == '\n')
                return finish();
            if (c == '\r') {
                const int n = std::getc(f_);
                if (n != '\n' && n != EOF)
                    std::ungetc(n, f_);
                return finish();
            }
            if (c == 0)
                return Status::ZeroByte;
            if (line.size() >= kMaxSendLineChars)
                return Status::TooLong;
            line.push_back(char(c));
        }
    }
    // The number of the line last asked for, from 1.
    long number() const { return number_; }
    int error() const { return error_; }

private:
    Status finish()
    {
        pendingLine_ = false;
        return Status::Line;
    }

    std::FILE* f_;
    long number_ = 0;
    int error_ = 0;
    bool pendingLine_ = false;
};

std::string errorText(int err) { return std::strerror(err ? err : EIO); }

} // namespace

TextSender::TextSender(Terminal& t) : t_(t) {}

void TextSender::choosePacing(int ms)
{
    // A running send keeps the pacing it was started with (and a parameter upload restores
    // the one chosen before it).
    if (t_.sequenceRunning()) {
        t_.ui().refresh();
        return;
    }
    checked_ = ms;
    t_.pacingMs = ms;
    t_.ui().refresh();
}

void TextSender::cancel()
{
    cancel_ = true;
    if (sending_ && t_.abortFlag == 0)
        t_.abortFlag = kAbortCancelled; // ends the pacing wait in progress
}

std::string TextSender::cancelWindowText(const std::string& path) const
{
    return "Send Text File - Pacing: " + std::to_string(t_.pacingMs) + (loop_ ? ",  Loop" : ",  No Loop") +
           "\r" + path;
}

bool TextSender::lineToSend(const std::string& line, bool parameterMode, std::string& out)
{
    out.clear();
    if (parameterMode) {
        if (!line.empty() && (line[0] == '\'' || line[0] == '>'))
            return false;
        const std::string upToComment = line.substr(0, line.find('\''));
        for (char c : upToComment)
            if (c != '\t')
                out.push_back(c);
    } else {
        if (!line.empty() && line[0] == '\'')
            return false;
        out = line;
    }
    out += kCrLf;
    return true;
}

TextSender::Result TextSender::SendTextFile(const std::string& path) { return run(path); }

TextSender::Result TextSender::ParameterUpload(const std::string& path)
{
    if (t_.sequenceRunning())
        return Result::Busy;
    t_.ClearScreen();
    const int previous = t_.pacingMs;
    t_.pacingMs = kParameterUploadPacingMs;
    const Result r = run(path);
    t_.pacingMs = previous;
    t_.ui().refresh();
    return r;
}

void TextSender::show(bool on, const std::string& path)
{
    if (onCancelWindow)
        onCancelWindow(on, kCancelSendCaption, on ? cancelWindowText(path) : std::string());
}

TextSender::Result TextSender::run(const std::string& path)
{
    Terminal::Sequence seq(t_);
    if (!seq.started())
        return Result::Busy;

    auto warn = [this](const std::string& text) {
        t_.ui().message(text, kSendTextDialogTitle, TerminalUi::Buttons::Ok, TerminalUi::Icon::Exclamation);
    };

    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path, ec)) {
        warn(path + " not found!");
        return Result::NotFound;
    }

    auto open = [&]() -> File {
        File f(std::fopen(path.c_str(), "rb"));
        if (!f)
            warn("Cannot open " + path + "\r" + errorText(errno));
        return f;
    };

    // One pass over the whole file first, so a file that is not text (a zero byte, a line far
    // longer than any command) or cannot be read sends nothing at all.
    auto problem = [&](LineReader::Status s, const LineReader& r, bool beforeSending) {
        const std::string where = path + ", line " + std::to_string(r.number());
        const std::string outcome = beforeSending ? "\rNothing was sent." : "\rThe send stopped there.";
        switch (s) {
        case LineReader::Status::ZeroByte:
            warn(where + ": the file holds a zero byte, so it is not a text file." + outcome);
            break;
        case LineReader::Status::TooLong:
            warn(where + ": the line is longer than " + std::to_string(kMaxSendLineChars) +
                 " characters, so the file is not a command or parameter file." + outcome);
            break;
        default:
            warn("Cannot read " + where + "\r" + errorText(r.error()));
            break;
        }
    };
    {
        File f = open();
        if (!f)
            return Result::Failed;
        LineReader r(f.get());
        std::string line;
        for (;;) {
            const auto s = r.next(line);
            if (s == LineReader::Status::End)
                break;
            if (s != LineReader::Status::Line) {
                problem(s, r, true);
                return Result::Failed;
            }
        }
    }

    cancel_ = false;
    if (t_.abortFlag == kAbortLinkClosed)
        t_.abortFlag = 0;
    sending_ = true;
    show(true, path);
    struct Finish {
        TextSender& s;
        ~Finish()
        {
            s.sending_ = false;
            if (s.cancel_ && s.t_.abortFlag == kAbortCancelled)
                s.t_.abortFlag = 0;
            s.show(false, {});
        }
    } finish{*this};

    const bool parameterMode = t_.pacingMs == kParameterUploadPacingMs;
    auto stopped = [this] { return cancel_ || (t_.abortFlag != 0 && t_.abortFlag != kAbortLinkClosed); };

    for (;;) {
        File f = open();
        if (!f)
            return Result::Failed;
        LineReader r(f.get());
        std::string line, out;
        long lines = 0;
        while (!stopped()) {
            const auto s = r.next(line);
            if (s == LineReader::Status::End)
                break;
            if (s != LineReader::Status::Line) {
                // The file changed under the send.
                problem(s, r, false);
                return Result::Failed;
            }
            ++lines;
            if (lineToSend(line, parameterMode, out))
                t_.CommOut(out);
            else
                t_.LogLine(line);
            // A closed link has warned for this line; the send goes on (only Cancel stops it),
            // so the closed-link mark must not cut the pacing wait short.
            if (t_.abortFlag == kAbortLinkClosed)
                t_.abortFlag = 0;
            if (stopped())
                break;
            t_.Pause(Ms{t_.pacingMs});
        }
        if (stopped())
            return Result::Cancelled;
        // A file with no lines cannot be looped: there would be nothing to wait for.
        if (!loop_ || lines == 0)
            return Result::Done;
    }
}

} // namespace term
