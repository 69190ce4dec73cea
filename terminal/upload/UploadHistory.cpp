#include "UploadHistory.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace upload {

UploadHistory::UploadHistory(std::string path) : path_(std::move(path)) {}

std::string UploadHistory::defaultPath()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.local/share";
    }
    return base + "/tessaro/uploads.csv";
}

std::string UploadHistory::csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string UploadHistory::now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString();
}

bool UploadHistory::fingerprint(const std::string& file, std::uint64_t& size, std::string& sha256)
{
    QFile f(QString::fromStdString(file));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        return false;
    size = std::uint64_t(f.size());
    sha256 = hash.result().toHex().toStdString();
    return true;
}

bool UploadHistory::append(const UploadRecord& r, std::string& error) const
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    const bool fresh = !std::filesystem::exists(path_, ec) || std::filesystem::file_size(path_, ec) == 0;
    std::FILE* f = std::fopen(path_.c_str(), "ab");
    if (!f) {
        error = path_ + ": " + std::strerror(errno);
        return false;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
    std::string line;
    if (fresh)
        line += std::string(kHistoryHeader) + "\n";
    for (const std::string* field : {&r.when, &r.modulePath, &r.file})
        line += csvField(*field) + ",";
    line += std::to_string(r.size) + ",";
    for (const std::string* field : {&r.sha256, &r.fileVersion, &r.moduleVersion, &r.result})
        line += csvField(*field) + ",";
    line += std::string(seconds) + "\n";
    const bool written = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    const bool flushed = std::fflush(f) == 0;
    const int err = errno;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed) {
        error = path_ + ": " + std::strerror(err ? err : EIO);
        return false;
    }
    return true;
}

} // namespace upload
