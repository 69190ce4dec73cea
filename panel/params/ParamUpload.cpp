#include "ParamUpload.h"

#include "panel/core/PanelLink.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sys/stat.h>

namespace panel {

std::string cleanUploadLine(std::string line)
{
    if (!line.empty() && line[0] == '>')
        return {};
    if (const auto quote = line.find('\''); quote != std::string::npos)
        line.resize(quote);
    std::erase(line, '\t');
    return line;
}

ParamUpload::ParamUpload(PanelShared& shared, MainState& main, PanelLink& link, FileUi& ui)
    : s_(shared), m_(main), link_(link), ui_(ui)
{
    link_.uploadOpen = [this] { return running(); };
    link_.uploadNextLine = [this] { return nextLine(); };
}

ParamUpload::~ParamUpload()
{
    link_.uploadOpen = nullptr;
    link_.uploadNextLine = nullptr;
    if (file_)
        std::fclose(file_);
}

void ParamUpload::mnuParamUP_Click(bool dumpRunning)
{
    if (!s_.open) {
        ui_.showError(kPortClosedText);
        return;
    }
    if (dumpRunning) {
        ui_.showError(kDumpRunningText);
        return;
    }
    if (running()) // the menu entry again while sending: the upload goes on
        return;
    if (!openDialog)
        return;
    for (;;) {
        const auto path = openDialog(kUploadTitle, kUploadFilter, "");
        if (!path || path->empty())
            return;
        std::error_code ec;
        if (std::filesystem::exists(*path, ec)) {
            start(*path);
            return;
        }
        ui_.showError(*path + kNotFound);
    }
}

bool ParamUpload::start(const std::string& path)
{
    if (running())
        return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    struct stat st {};
    if (f && (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode))) {
        std::fclose(f);
        f = nullptr;
        errno = EISDIR;
    }
    if (!f) {
        ui_.showError(std::strerror(errno));
        return false;
    }
    file_ = f;
    cancel_ = false;
    readError_ = false;
    lines_ = 0;
    sent_ = 0;
    link_.timer3().setInterval(common::Ms{PanelLink::kDumpPacingMs});
    if (progress_) {
        progress_->progress(0);
        progress_->show(kSendingParams);
    }
    return true;
}

// A line ends at CR, LF or CR LF; false at the end of the file (or a read error) with nothing
// read.
bool ParamUpload::readLine(std::string& line)
{
    line.clear();
    bool any = false;
    for (;;) {
        const int c = std::getc(file_);
        if (c == EOF) {
            if (std::ferror(file_))
                readError_ = true;
            return any;
        }
        any = true;
        if (c == '\n')
            return true;
        if (c == '\r') {
            const int n = std::getc(file_);
            if (n != '\n' && n != EOF)
                std::ungetc(n, file_);
            return true;
        }
        if (line.size() < kUploadLineCap)
            line.push_back(static_cast<char>(c));
    }
}

std::string ParamUpload::nextLine()
{
    if (!file_)
        return {};
    std::string line;
    if (cancel_ || !readLine(line)) {
        finish();
        return {};
    }
    if (lines_ < std::numeric_limits<std::int16_t>::max())
        ++lines_;
    if (progress_ && lines_ < kUploadBarMaximum)
        progress_->progress(lines_);
    line = cleanUploadLine(std::move(line));
    if (line.empty())
        return {};
    ++sent_;
    return line + "\r\n";
}

void ParamUpload::finish()
{
    if (!file_)
        return;
    std::fclose(file_);
    file_ = nullptr;
    link_.timer3().setInterval(common::Ms{m_.pacingMs});
    if (progress_)
        progress_->hide();
    if (readError_)
        ui_.showError(std::strerror(EIO));
    if (finished)
        finished();
}

void ParamUpload::cancel()
{
    cancel_ = true;
    if (!s_.open)
        finish();
}

void ParamUpload::abort()
{
    cancel_ = true;
    finish();
}

} // namespace panel
