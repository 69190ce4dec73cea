#include "CaptureReplay.h"

#include "panel/core/Format.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace panel {

namespace {

using Icon = PanelUi::Icon;

// A capture file read line by line. Only regular files are read, and never more bytes than
// the file held when it was opened, so a file that grows meanwhile cannot keep a page going.
class CaptureFile {
public:
    enum class Read { Line, End, Error };

    CaptureFile() = default;
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;
    ~CaptureFile()
    {
        if (f_)
            std::fclose(f_);
    }

    // False with error() when the file cannot be read.
    bool open(const std::string& path)
    {
        // Not blocking: a named pipe chosen in the dialog must not hang the open.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return fail(std::strerror(errno));
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            const int err = errno;
            ::close(fd);
            return fail(std::strerror(err));
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            // A directory in the system's words; a device or a pipe is no file type we load.
            return fail(S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : kCaptureUnknownText);
        }
        f_ = ::fdopen(fd, "rb");
        if (!f_) {
            const int err = errno;
            ::close(fd);
            return fail(std::strerror(err));
        }
        left_ = st.st_size;
        return true;
    }

    // The next line without its end (CR LF, LF or a lone CR), cut at kMaxLine characters (the
    // rest of a longer line is read and dropped).
    Read readLine(std::string& line)
    {
        line.clear();
        bool any = false;
        while (left_ > 0) {
            errno = 0;
            const int c = getc_unlocked(f_);
            if (c == EOF)
                break;
            --left_;
            any = true;
            if (c == '\n')
                return Read::Line;
            if (c == '\r') {
                if (left_ > 0) {
                    const int next = getc_unlocked(f_);
                    if (next == '\n')
                        --left_;
                    else if (next != EOF)
                        ungetc(next, f_);
                }
                return Read::Line;
            }
            if (line.size() < CaptureReplay::kMaxLine)
                line.push_back(char(c));
        }
        if (std::ferror(f_)) {
            error_ = std::strerror(errno != 0 ? errno : EIO);
            return Read::Error;
        }
        return any ? Read::Line : Read::End;
    }

    // The next record: the end of the file and the first line of the parameter dump appended
    // to the capture both end it.
    Read readRecord(std::string& line)
    {
        const Read r = readLine(line);
        return r == Read::Line && !line.empty() && line[0] == '\'' ? Read::End : r;
    }

    const std::string& error() const { return error_; }

private:
    bool fail(std::string text)
    {
        error_ = std::move(text);
        return false;
    }

    std::FILE* f_ = nullptr;
    off_t left_ = 0;
    std::string error_;
};

// The first fields of a record (field 0 is the time); missing fields are empty.
using Fields = std::array<std::string_view, 10>;

Fields split(std::string_view line)
{
    Fields f{};
    size_t from = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        const size_t comma = line.find(',', from);
        f[i] = line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from);
        if (comma == std::string_view::npos)
            break;
        from = comma + 1;
    }
    return f;
}

// A field's leading number; 0 when none stands there.
double number(std::string_view field)
{
    return Val(std::string(field));
}

std::int16_t to16(double v)
{
    const long r = roundEven(v);
    return std::int16_t(std::clamp<long>(r, std::numeric_limits<std::int16_t>::min(),
                                         std::numeric_limits<std::int16_t>::max()));
}

// A number written back as text: its shortest exact decimal form ("2.35", "235", "0"); "0"
// for one too long to be a double.
std::string numberText(double v)
{
    if (!std::isfinite(v))
        return "0";
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v + 0.0); // no "-0"
    return std::string(buf, res.ptr);
}

// While a page is replayed: its records keep their logged times, the Rel text of a stream
// record stands in for the decoded one, and no replayed record reaches an open data log.
// Everything is put back when the page is done.
class ReplayScope {
public:
    ReplayScope(GraphModel& graph, MainState& main)
        : graph_(graph), main_(main), onRecord_(std::exchange(graph.onRecord, nullptr)),
          timeOfDay_(std::move(graph.timeOfDay)), relText_(main.relText)
    {
        graph_.timeOfDay = [this] { return time_; };
    }
    ~ReplayScope()
    {
        graph_.onRecord = std::move(onRecord_);
        graph_.timeOfDay = std::move(timeOfDay_);
        main_.relText = std::move(relText_);
    }
    ReplayScope(const ReplayScope&) = delete;
    ReplayScope& operator=(const ReplayScope&) = delete;

    // One record into the sample values, then Pgraph.
    void plot(int mode, std::string_view record)
    {
        const Fields f = split(record);
        time_.assign(f[0]);
        GraphInputs& in = graph_.in;
        if (mode == kModeAdmc) {
            // Degrees as logged, tenths as plotted; the cross-level keeps its value.
            in.lv = to16(number(f[1]) * 10);
            in.az = to16(number(f[2]) * 10);
            in.rel = to16(number(f[4]) * 10);
            in.hdg = to16(number(f[5]) * 10);
            in.signal = to16(number(f[6]));
            in.extAgc = numberText(number(f[9]));
        } else {
            for (size_t i = 0; i < 3; ++i)
                in.stream[i] = to16(number(f[i + 1]));
            main_.relText.assign(f[4]);
            if (mode == kModeIvc)
                in.stream[3] = -32;
            else if (mode == kModeXY)
                in.stream[3] = to16(number(f[5])); // the phase
        }
        graph_.Pgraph();
    }

private:
    GraphModel& graph_;
    MainState& main_;
    std::function<void(const std::string&)> onRecord_;
    std::function<std::string()> timeOfDay_;
    std::string relText_;
    std::string time_;
};

} // namespace

std::optional<int> captureMode(std::string_view header)
{
    for (const CaptureType& t : kCaptureTypes)
        if (header.find(t.marker) != std::string_view::npos)
            return t.mode;
    return std::nullopt;
}

CaptureReplay::CaptureReplay(PanelShared& shared, MainState& main, GraphModel& graph, CaptureUi& ui)
    : s_(shared), m_(main), graph_(graph), ui_(ui)
{
}

void CaptureReplay::setStop(bool on)
{
    s_.diagStop = on;
    ui_.diagStopChanged();
}

CaptureReplay::Page CaptureReplay::loadPage()
{
    using Read = CaptureFile::Read;
    const bool first = !loaded();
    std::string path = fileName_;
    if (first) {
        auto chosen = ui_.openFileDialog(kCaptureFilter, "");
        if (!chosen || chosen->empty())
            return Page::Failed;
        path = std::move(*chosen);
        position_ = 0;
    }
    const auto fail = [this](const std::string& text) {
        ui_.message(text, "", Icon::Exclamation);
        return Page::Failed;
    };

    CaptureFile file;
    if (!file.open(path))
        return fail(file.error());
    std::string line;
    const Read header = file.readLine(line);
    if (header == Read::Error)
        return fail(file.error());
    const std::optional<int> mode = header == Read::Line ? captureMode(line) : std::nullopt;
    if (!mode)
        return fail(kCaptureUnknownText);

    // Skip to the page, then take its first record: none means the page lies past the end.
    Read r = Read::Line;
    for (int i = 0; i < position_ && r == Read::Line; ++i)
        r = file.readRecord(line);
    if (r == Read::Line)
        r = file.readRecord(line);
    if (r == Read::Error)
        return fail(file.error());
    if (r == Read::End) {
        position_ = std::max(0, position_ - kPage);
        ui_.message(kCaptureEndText, kCaptureEndTitle, Icon::Information);
        return Page::End;
    }

    if (first) {
        fileName_ = path;
        ui_.captureChanged();
    }
    if (graph_.mode() != *mode) {
        graph_.selectItem(4, *mode);
        graph_.Combo1_Click(4); // the mode setup, as the mode selector runs it
    }
    setStop(true);
    graph_.cmdClear_Click();
    const bool firstPage = position_ == 0;
    // In ADMC mode Center All lets the next sample re-centre every trace: on the first page
    // that is the page's first record. The other modes centre on what the page holds.
    if (firstPage && *mode == kModeAdmc)
        graph_.cmdOffset_Click();
    {
        ReplayScope replay(graph_, m_);
        for (int n = 0; n < kPage && graph_.sampleCounter() < kPage && r == Read::Line; ++n) {
            replay.plot(*mode, line);
            r = file.readRecord(line);
        }
    }
    if (firstPage && *mode != kModeAdmc)
        graph_.cmdOffset_Click();
    if (r == Read::Error)
        fail(file.error()); // the records read so far stay shown
    return Page::Shown;
}

void CaptureReplay::mnuLoadDataLog_Click()
{
    loadPage();
}

void CaptureReplay::cmdLDLScrollForward_Click()
{
    if (!loaded())
        return;
    position_ += kPage;
    if (loadPage() == Page::Failed)
        position_ -= kPage; // the file could not be read: a retry asks for the same page
}

void CaptureReplay::cmdLDLScrollBack_Click()
{
    if (!loaded())
        return;
    if (position_ < 0) {
        position_ = 0;
        return;
    }
    if (position_ == 0) {
        ui_.message(kCaptureStartText, kCaptureStartTitle, Icon::Information);
        return;
    }
    position_ -= kPage;
    if (loadPage() == Page::Failed)
        position_ += kPage;
}

void CaptureReplay::mnuUnloadDataLog_Click()
{
    if (!loaded())
        return;
    fileName_.clear();
    position_ = 0;
    ui_.captureChanged();
    graph_.cmdClear_Click();
    setStop(false);
}

} // namespace panel
