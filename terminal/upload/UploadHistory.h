#pragma once
// The upload history: one line for every upload, from the window or from the command line,
// appended to a CSV file in the user's data folder ($XDG_DATA_HOME/tessaro/uploads.csv, else
// ~/.local/share/tessaro/uploads.csv) and flushed at the end of the run whatever its result,
// so a technician can show what was loaded into which unit and when.
#include <cstdint>
#include <string>

namespace upload {

struct UploadRecord {
    std::string when;          // local date and time the upload ended, "YYYY-MM-DD hh:mm:ss"
    std::string modulePath;    // the module list entry's code ("TAV8a")
    std::string file;          // the image's path
    std::uint64_t size = 0;    // bytes
    std::string sha256;        // of the file's bytes, hexadecimal
    std::string fileVersion;   // found in the image
    std::string moduleVersion; // as the module reported it, when it was read
    std::string result;        // complete, errors detected, cancelled, or the step it failed at
    double seconds = 0;        // duration
};

inline constexpr const char* kHistoryHeader =
    "date and time,module path,file,size,SHA-256,file version,module version,result,seconds";

class UploadHistory {
public:
    // The history file; the default is the user's data folder.
    explicit UploadHistory(std::string path = defaultPath());
    static std::string defaultPath();
    const std::string& path() const { return path_; }

    // Appends the record (the header first when the file is new), flushed and closed. False,
    // with the reason in error, when it could not be written.
    bool append(const UploadRecord& r, std::string& error) const;

    // Size and SHA-256 of a file; false when it cannot be read.
    static bool fingerprint(const std::string& file, std::uint64_t& size, std::string& sha256);
    // The local time now as the record writes it.
    static std::string now();
    // A field as CSV carries it (quoted when it holds a comma, a quote or a line break).
    static std::string csvField(const std::string& text);

private:
    std::string path_;
};

} // namespace upload
